#include "controls/richtext/RichTextOleObjects.h"

#include <ole2.h>

#include <cstring>
#include <functional>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "controls/richtext/RichTextOleCallback.h"

namespace RichTextOleObjects {

namespace {

using Maker = std::function<HRESULT(IOleClientSite*, IStorage*, IOleObject**)>;

// The common part of every insertion: site, storage, the object, then the window takes it.
// The HRESULT of making the object; nothing is inserted when that failed.
HRESULT Insert(HWND richEdit, const Maker& make) {
    const ComPtr<IRichEditOle> ole = OleInterface(richEdit);
    if (!ole) return S_FALSE;
    ComPtr<IOleClientSite> site;
    if (FAILED(ole->GetClientSite(site.Put())) || !site) return S_FALSE;
    ComPtr<IStorage> storage;
    if (FAILED(RichTextOleCallback::NewStorage(storage.Put()))) return S_FALSE;
    CLSID clsid{};
    if (FAILED(CLSIDFromString(L"{00000112-0000-0000-C000-000000000046}", &clsid))) {
        return S_FALSE;
    }
    ComPtr<IOleObject> object;
    const HRESULT made = make(site.Get(), storage.Get(), object.Put());
    if (FAILED(made) || !object) return made;
    OleSetContainedObject(object.Get(), TRUE);
    REOBJECT reo{};
    reo.cbStruct = sizeof(reo);
    reo.cp = REO_CP_SELECTION;
    reo.clsid = clsid;
    reo.poleobj = object.Get();
    reo.pstg = storage.Get();
    reo.polesite = site.Get();
    reo.dvaspect = DVASPECT_CONTENT;
    reo.dwFlags = REO_RESIZABLE | REO_BELOWBASELINE | REO_DYNAMICSIZE;
    ole->InsertObject(&reo);
    return made;
}

// A packed DIB (header and bits, 32 bits per pixel) of a bitmap.
std::vector<uint8_t> PackedDib(HBITMAP bitmap) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info)) return {};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const size_t stride = static_cast<size_t>(info.bmWidth) * 4;
    std::vector<uint8_t> packed(sizeof(header) + stride * static_cast<size_t>(info.bmHeight));
    std::memcpy(packed.data(), &header, sizeof(header));
    const WindowDC screen;
    const int lines = GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(info.bmHeight),
                                packed.data() + sizeof(header),
                                reinterpret_cast<BITMAPINFO*>(packed.data()), DIB_RGB_COLORS);
    if (lines != info.bmHeight) return {};
    return packed;
}

}  // namespace

ComPtr<IRichEditOle> OleInterface(HWND richEdit) {
    ComPtr<IRichEditOle> ole;
    if (richEdit)
        SendMessageW(richEdit, EM_GETOLEINTERFACE, 0, reinterpret_cast<LPARAM>(ole.Put()));
    return ole;
}

int32_t Count(HWND richEdit) {
    const ComPtr<IRichEditOle> ole = OleInterface(richEdit);
    return ole ? static_cast<int32_t>(ole->GetObjectCount()) : 0;
}

void Add(HWND richEdit, IUnknown* given) {
    ComPtr<IOleObject> object;
    if (given) given->QueryInterface(IID_IOleObject, object.PutVoid());
    if (!object) return;
    Insert(richEdit, [&](IOleClientSite*, IStorage*, IOleObject** out) {
        *out = object.Get();
        object->AddRef();
        return S_OK;
    });
}

void AddFromFile(HWND richEdit, const std::wstring& fileName, bool link) {
    if (!richEdit) return;
    // A missing file is the caller's error, whatever the object libraries make of it.
    if (GetFileAttributesW(fileName.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ControlErrors::Raise(ControlErrors::kFileNotFound);
    }
    const HRESULT hr =
        Insert(richEdit, [&](IOleClientSite* site, IStorage* storage, IOleObject** out) {
            if (link) {
                return OleCreateLinkToFile(fileName.c_str(), IID_IOleObject, OLERENDER_DRAW,
                                           nullptr, site, storage, reinterpret_cast<void**>(out));
            }
            return OleCreateFromFile(CLSID_NULL, fileName.c_str(), IID_IOleObject, OLERENDER_DRAW,
                                     nullptr, site, storage, reinterpret_cast<void**>(out));
        });
    if (hr == STG_E_FILENOTFOUND) ControlErrors::Raise(ControlErrors::kFileNotFound);
}

void AddFromData(HWND richEdit, IDataObject* data, CLIPFORMAT format) {
    if (!data) return;
    Insert(richEdit, [&](IOleClientSite* site, IStorage* storage, IOleObject** out) {
        void** object = reinterpret_cast<void**>(out);
        const HRESULT query = OleQueryCreateFromData(data);
        if (query == S_OK) {
            return OleCreateFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site, storage,
                                     object);
        }
        // Some systems do not count an enhanced metafile as static data; a picture put into
        // the data object for insertion is one whatever they say.
        if (query != OLE_S_STATIC && !format) return query;
        HRESULT hr = OleCreateStaticFromData(data, IID_IOleObject, OLERENDER_DRAW, nullptr, site,
                                             storage, object);
        if (FAILED(hr) && format) {
            // Some systems draw a static object only from a cache of a named format.
            FORMATETC wanted{format, nullptr, DVASPECT_CONTENT, -1,
                             static_cast<DWORD>(format == CF_BITMAP         ? TYMED_GDI
                                                : format == CF_METAFILEPICT ? TYMED_MFPICT
                                                : format == CF_ENHMETAFILE  ? TYMED_ENHMF
                                                                            : TYMED_HGLOBAL)};
            hr = OleCreateStaticFromData(data, IID_IOleObject, OLERENDER_FORMAT, &wanted, site,
                                         storage, object);
        }
        return hr;
    });
}

ComPtr<IUnknown> Get(HWND richEdit, int32_t index, int32_t charPos) {
    const ComPtr<IRichEditOle> ole = OleInterface(richEdit);
    if (!ole) return {};
    REOBJECT reo{};
    reo.cbStruct = sizeof(reo);
    if (index == static_cast<int32_t>(REO_IOB_USE_CP)) reo.cp = charPos;
    if (FAILED(ole->GetObject(index, &reo, REO_GETOBJ_POLEOBJ)) || !reo.poleobj) return {};
    // The window handed out a reference: it becomes the caller's.
    ComPtr<IOleObject> object = ComPtr<IOleObject>::Attach(reo.poleobj);
    return object.As<IUnknown>(IID_IUnknown);
}

CLIPFORMAT PictureFormat(IPicture* picture, std::optional<int32_t> format) {
    SHORT type = PICTYPE_NONE;
    if (!picture || FAILED(picture->get_Type(&type)) ||
        (type != PICTYPE_BITMAP && type != PICTYPE_METAFILE && type != PICTYPE_ENHMETAFILE)) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    const CLIPFORMAT own = type == PICTYPE_BITMAP     ? CF_BITMAP
                           : type == PICTYPE_METAFILE ? CF_METAFILEPICT
                                                      : CF_ENHMETAFILE;
    if (!format) return own;
    const bool fits = *format == own || (*format == CF_DIB && own == CF_BITMAP);
    if (!fits) ControlErrors::Raise(kFormatMismatchNumber, kFormatMismatch);
    return static_cast<CLIPFORMAT>(*format);
}

void PutPicture(Host::DataObject& data, IPicture* picture, CLIPFORMAT format) {
    OLE_HANDLE handle = 0;
    if (!picture || FAILED(picture->get_Handle(&handle)) || !handle) return;
    const auto h = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle));
    switch (format) {
        case CF_BITMAP:
            data.SetBitmap(UniqueBitmap(
                static_cast<HBITMAP>(CopyImage(h, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))));
            break;
        case CF_DIB: {
            const std::vector<uint8_t> dib = PackedDib(static_cast<HBITMAP>(h));
            if (!dib.empty()) data.SetData(CF_DIB, dib.data(), dib.size());
            break;
        }
        case CF_METAFILEPICT: {
            OLE_XSIZE_HIMETRIC width = 0;
            OLE_YSIZE_HIMETRIC height = 0;
            picture->get_Width(&width);
            picture->get_Height(&height);
            data.SetMetafilePict(UniqueMetafile(CopyMetaFileW(static_cast<HMETAFILE>(h), nullptr)),
                                 MM_ANISOTROPIC, width, height);
            break;
        }
        case CF_ENHMETAFILE:
            data.SetEnhMetafile(
                UniqueEnhMetafile(CopyEnhMetaFileW(static_cast<HENHMETAFILE>(h), nullptr)));
            break;
        default:
            break;
    }
}

}  // namespace RichTextOleObjects
