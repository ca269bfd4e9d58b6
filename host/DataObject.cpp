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

void DataObject::SetData(CLIPFORMAT format, const void* bytes, size_t size) {
    std::vector<uint8_t> data(static_cast<const uint8_t*>(bytes),
                              static_cast<const uint8_t*>(bytes) + size);
    if (Entry* e = Find(format)) {
        e->bytes = std::move(data);
    } else {
        entries_.push_back(Entry{format, std::move(data)});
    }
}

void DataObject::SetText(std::wstring_view text) {
    std::wstring terminated(text);
    SetData(CF_UNICODETEXT, terminated.c_str(), (terminated.size() + 1) * sizeof(wchar_t));
}

void DataObject::Announce(CLIPFORMAT format) {
    if (!Find(format)) entries_.push_back(Entry{format, std::nullopt});
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

HRESULT DataObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DataObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG DataObject::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT DataObject::QueryGetData(FORMATETC* format) {
    if (!format) return E_POINTER;
    if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return Find(format->cfFormat) ? S_OK : DV_E_FORMATETC;
}

HRESULT DataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!format || !medium) return E_POINTER;
        const HRESULT ok = QueryGetData(format);
        if (FAILED(ok)) return ok;
        Entry* entry = Find(format->cfFormat);
        if (!entry->bytes && renderer_) {
            // The source control renders announced data on demand.
            renderer_(format->cfFormat);
            entry = Find(format->cfFormat);
        }
        if (!entry || !entry->bytes) return DV_E_FORMATETC;
        HGLOBAL memory =
            GlobalAlloc(GMEM_MOVEABLE, entry->bytes->size() ? entry->bytes->size() : 1);
        if (!memory) return E_OUTOFMEMORY;
        if (!entry->bytes->empty()) {
            std::memcpy(GlobalLock(memory), entry->bytes->data(), entry->bytes->size());
            GlobalUnlock(memory);
        }
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
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
        if (medium->tymed != TYMED_HGLOBAL || !medium->hGlobal) return DV_E_TYMED;
        const size_t size = GlobalSize(medium->hGlobal);
        if (const void* p = GlobalLock(medium->hGlobal)) {
            SetData(format->cfFormat, p, size);
            GlobalUnlock(medium->hGlobal);
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
            list.push_back(FORMATETC{e.format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
        }
        return SHCreateStdEnumFmtEtc(static_cast<UINT>(list.size()), list.data(), formats);
    });
}

}  // namespace Host
