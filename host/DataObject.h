// DataObject: the host's data object for OLE drags that a control starts, and for pictures a
// control hands to OLE (a picture inserted into a rich text box).
//
// Each format holds one medium: bytes (given to callers as an HGLOBAL), or, for CF_BITMAP,
// CF_ENHMETAFILE and CF_METAFILEPICT, a GDI bitmap (TYMED_GDI), an enhanced metafile
// (TYMED_ENHMF) or a metafile picture (TYMED_MFPICT). The object owns what it holds. GetData
// hands every caller a copy of its own (pUnkForRelease null), which the caller frees with
// ReleaseStgMedium; SetData copies what it is given and, when told to, then releases the
// caller's medium with ReleaseStgMedium. A format may also be announced without data and
// rendered when a drop target asks for it (the source control's OLESetData).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"

namespace Host {

class DataObject final : public ComObject<IDataObject> {
public:
    static ComPtr<DataObject> Create();

    // Stores `bytes` as the rendering of `format`, replacing what it held.
    void SetData(CLIPFORMAT format, const void* bytes, size_t size);
    // Text as CF_UNICODETEXT (NUL-terminated).
    void SetText(std::wstring_view text);
    // GDI media, taken over by the object: CF_BITMAP, CF_ENHMETAFILE, and CF_METAFILEPICT
    // with its mapping mode and extent (HIMETRIC for MM_ANISOTROPIC and MM_ISOTROPIC).
    void SetBitmap(UniqueBitmap bitmap);
    void SetEnhMetafile(UniqueEnhMetafile metafile);
    void SetMetafilePict(UniqueMetafile metafile, LONG mapMode, LONG xExt, LONG yExt);
    // Announces `format` with no data yet: the renderer supplies it when asked (through the
    // setter of its medium).
    void Announce(CLIPFORMAT format);
    void Clear() { entries_.clear(); }
    bool HasFormat(CLIPFORMAT format) const;
    // Called with a format that was announced and not yet stored.
    void SetRenderer(std::function<void(CLIPFORMAT)> renderer) { renderer_ = std::move(renderer); }

    // The text of any data object (CF_UNICODETEXT), if it has one.
    static std::optional<std::wstring> TextOf(IDataObject* data);

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    struct Entry {
        CLIPFORMAT format;
        DWORD tymed;  // the one medium of the format
        // What is held, by medium; none of them while announced and not rendered.
        std::optional<std::vector<uint8_t>> bytes{};
        UniqueBitmap bitmap{};
        UniqueEnhMetafile enhMetafile{};
        UniqueMetafile metafile{};
        LONG mapMode = MM_ANISOTROPIC, xExt = 0, yExt = 0;
        bool Rendered() const { return bytes || bitmap || enhMetafile || metafile; }
    };
    DataObject() = default;
    ~DataObject() override = default;
    Entry* Find(CLIPFORMAT format);
    Entry& Slot(CLIPFORMAT format);  // emptied, or new
    HRESULT Copy(const Entry& entry, STGMEDIUM& medium) const;

    std::vector<Entry> entries_;
    std::function<void(CLIPFORMAT)> renderer_;
};

}  // namespace Host
