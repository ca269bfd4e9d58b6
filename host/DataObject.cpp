#include "host/DataObject.h"

#include <shlobj.h>

#include <cstring>

#include "controls/base/ControlError.h"

namespace Host {

ComPtr<DataObject> DataObject::Create() {
    return ComPtr<DataObject>::Attach(new DataObject());
}

DataObject::Entry* DataObject::Find(CLIPFORMAT format) {
    for (Entry& e : entries_) {
        if (e.format == format) return &e;
    }
    return nullptr;
}

namespace {

// The medium each format travels in.
DWORD TymedOf(CLIPFORMAT format) {
    switch (format) {
        case CF_BITMAP:
            return TYMED_GDI;
        case CF_ENHMETAFILE:
            return TYMED_ENHMF;
        case CF_METAFILEPICT:
            return TYMED_MFPICT;
        default:
            return TYMED_HGLOBAL;
    }
}

HBITMAP CopyBitmap(HBITMAP bitmap) {
    return static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0));
}

}  // namespace

DataObject::Entry& DataObject::Slot(CLIPFORMAT format) {
    if (Entry* e = Find(format)) {
        *e = Entry{format, TymedOf(format)};
        return *e;
    }
    return entries_.emplace_back(Entry{format, TymedOf(format)});
}

void DataObject::SetData(CLIPFORMAT format, const void* bytes, size_t size) {
    Slot(format).bytes.emplace(static_cast<const uint8_t*>(bytes),
                               static_cast<const uint8_t*>(bytes) + size);
}

void DataObject::SetBitmap(UniqueBitmap bitmap) {
    Slot(CF_BITMAP).bitmap = std::move(bitmap);
}

void DataObject::SetEnhMetafile(UniqueEnhMetafile metafile) {
    Slot(CF_ENHMETAFILE).enhMetafile = std::move(metafile);
}

void DataObject::SetMetafilePict(UniqueMetafile metafile, LONG mapMode, LONG xExt, LONG yExt) {
    Entry& e = Slot(CF_METAFILEPICT);
    e.metafile = std::move(metafile);
    e.mapMode = mapMode;
    e.xExt = xExt;
    e.yExt = yExt;
}

void DataObject::SetText(std::wstring_view text) {
    std::wstring terminated(text);
    SetData(CF_UNICODETEXT, terminated.c_str(), (terminated.size() + 1) * sizeof(wchar_t));
}

void DataObject::Announce(CLIPFORMAT format) {
    if (!Find(format)) entries_.push_back(Entry{format, TymedOf(format)});
}

bool DataObject::HasFormat(CLIPFORMAT format) const {
    for (const Entry& e : entries_) {
        if (e.format == format) return true;
    }
    return false;
}

std::optional<std::wstring> DataObject::TextOf(IDataObject* data) {
    if (!data) return std::nullopt;
    FORMATETC format{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return std::nullopt;
    std::optional<std::wstring> text;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        const size_t size = GlobalSize(medium.hGlobal) / sizeof(wchar_t);
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(medium.hGlobal))) {
            text = std::wstring(p, wcsnlen(p, size));
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    return text;
}

HRESULT DataObject::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    const Entry* entry = Find(format->cfFormat);
    if (!entry) return DV_E_FORMATETC;
    return (format->tymed & entry->tymed) ? S_OK : DV_E_TYMED;
}

HRESULT DataObject::Copy(const Entry& entry, STGMEDIUM& medium) const {
    medium.pUnkForRelease = nullptr;
    switch (entry.tymed) {
        case TYMED_GDI:
            medium.hBitmap = CopyBitmap(entry.bitmap.Get());
            break;
        case TYMED_ENHMF:
            medium.hEnhMetaFile = CopyEnhMetaFileW(entry.enhMetafile.Get(), nullptr);
            break;
        case TYMED_MFPICT: {
            UniqueMetafile metafile(CopyMetaFileW(entry.metafile.Get(), nullptr));
            HGLOBAL memory = metafile ? GlobalAlloc(GMEM_MOVEABLE, sizeof(METAFILEPICT)) : nullptr;
            if (!memory) return E_OUTOFMEMORY;
            auto* pict = static_cast<METAFILEPICT*>(GlobalLock(memory));
            *pict = METAFILEPICT{entry.mapMode, entry.xExt, entry.yExt, metafile.Release()};
            GlobalUnlock(memory);
            medium.hMetaFilePict = memory;
            break;
        }
        default: {
            const std::vector<uint8_t>& bytes = *entry.bytes;
            HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
            if (!memory) return E_OUTOFMEMORY;
            if (!bytes.empty()) {
                std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
                GlobalUnlock(memory);
            }
            medium.hGlobal = memory;
            break;
        }
    }
    // A null handle is a copy that failed (GDI out of resources).
    if (!medium.hGlobal) return E_OUTOFMEMORY;
    medium.tymed = entry.tymed;
    return S_OK;
}

HRESULT DataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!format || !medium) return E_POINTER;
        const HRESULT ok = QueryGetData(format);
        if (FAILED(ok)) return ok;
        Entry* entry = Find(format->cfFormat);
        if (!entry->Rendered() && renderer_) {
            // The source control renders announced data on demand.
            renderer_(format->cfFormat);
            entry = Find(format->cfFormat);
        }
        if (!entry || !entry->Rendered()) return DV_E_FORMATETC;
        return Copy(*entry, *medium);
    });
}

HRESULT DataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (!out) return E_POINTER;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT DataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!format || !medium) return E_POINTER;
        const CLIPFORMAT cf = format->cfFormat;
        if (medium->tymed != TymedOf(cf) || !medium->hGlobal) return DV_E_TYMED;
        // A copy, whoever owns the medium: with pUnkForRelease set, the handle stays its
        // owner's even when we are told to release.
        switch (medium->tymed) {
            case TYMED_GDI: {
                UniqueBitmap copy(CopyBitmap(medium->hBitmap));
                if (!copy) return E_OUTOFMEMORY;
                SetBitmap(std::move(copy));
                break;
            }
            case TYMED_ENHMF: {
                UniqueEnhMetafile copy(CopyEnhMetaFileW(medium->hEnhMetaFile, nullptr));
                if (!copy) return E_OUTOFMEMORY;
                SetEnhMetafile(std::move(copy));
                break;
            }
            case TYMED_MFPICT: {
                const auto* pict =
                    static_cast<const METAFILEPICT*>(GlobalLock(medium->hMetaFilePict));
                if (!pict) return E_INVALIDARG;
                UniqueMetafile copy(CopyMetaFileW(pict->hMF, nullptr));
                const METAFILEPICT facts = *pict;
                GlobalUnlock(medium->hMetaFilePict);
                if (!copy) return E_OUTOFMEMORY;
                SetMetafilePict(std::move(copy), facts.mm, facts.xExt, facts.yExt);
                break;
            }
            default: {
                const size_t size = GlobalSize(medium->hGlobal);
                const void* p = GlobalLock(medium->hGlobal);
                if (!p) return E_INVALIDARG;
                SetData(cf, p, size);
                GlobalUnlock(medium->hGlobal);
                break;
            }
        }
        if (release) ReleaseStgMedium(medium);
        return S_OK;
    });
}

HRESULT DataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!formats) return E_POINTER;
        *formats = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> list;
        for (const Entry& e : entries_) {
            list.push_back(FORMATETC{e.format, nullptr, DVASPECT_CONTENT, -1, e.tymed});
        }
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(list.size()), list.data(), formats);
    });
}

}  // namespace Host
