// DataObject: the host's data object for OLE drags that a control starts.
//
// Each format holds bytes (given to callers as an HGLOBAL); a format may also be announced
// without data and rendered when a drop target asks for it (the source control's OLESetData).
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComPtr.h"

namespace Host {

class DataObject final : public IDataObject {
public:
    static ComPtr<DataObject> Create();

    // Stores `bytes` as the rendering of `format`, replacing what it held.
    void SetData(CLIPFORMAT format, const void* bytes, size_t size);
    // Text as CF_UNICODETEXT (NUL-terminated).
    void SetText(std::wstring_view text);
    // Announces `format` with no data yet: the renderer supplies it when asked.
    void Announce(CLIPFORMAT format);
    void Clear() { entries_.clear(); }
    bool HasFormat(CLIPFORMAT format) const;
    // Called with a format that was announced and not yet stored.
    void SetRenderer(std::function<void(CLIPFORMAT)> renderer) { renderer_ = std::move(renderer); }

    // The text of any data object (CF_UNICODETEXT), if it has one.
    static std::optional<std::wstring> TextOf(IDataObject* data);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

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
        std::optional<std::vector<uint8_t>> bytes;  // none: announced, not rendered
    };
    DataObject() = default;
    ~DataObject() = default;
    Entry* Find(CLIPFORMAT format);

    LONG refs_ = 1;
    std::vector<Entry> entries_;
    std::function<void(CLIPFORMAT)> renderer_;
};

}  // namespace Host
