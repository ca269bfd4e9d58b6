#include "host/StoredValue.h"

#include <olectl.h>

#include <cstring>

#include "controls/base/ComPtr.h"
#include "controls/base/Handles.h"
#include "controls/base/ControlError.h"

namespace StoredValue {

namespace {

[[noreturn]] void BadPicture(const wchar_t* what) {
    throw ControlError(ControlErrors::kInvalidPropertyValue, what);
}

Host::Variant PictureObject(const std::vector<uint8_t>& data) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, data.size());
    if (!memory) ControlErrors::Raise(ControlErrors::kOutOfMemory);
    std::memcpy(GlobalLock(memory), data.data(), data.size());
    GlobalUnlock(memory);
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Put()))) {
        GlobalFree(memory);
        ControlErrors::Raise(ControlErrors::kOutOfMemory);
    }
    ComPtr<IPictureDisp> picture;
    if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(data.size()), FALSE, IID_IPictureDisp,
                              picture.PutVoid())) ||
        !picture) {
        BadPicture(L"Invalid picture");
    }
    return Host::Variant::Object(picture.Get());
}

std::vector<uint8_t> StreamBytes(IStream* stream) {
    HGLOBAL memory = nullptr;
    GetHGlobalFromStream(stream, &memory);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    if (!bytes.empty()) {
        std::memcpy(bytes.data(), GlobalLock(memory), bytes.size());
        GlobalUnlock(memory);
    }
    return bytes;
}

std::vector<uint8_t> BitmapFileOf(HBITMAP bitmap) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0) {
        return {};
    }
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = info.bmWidth;
    header.biHeight = info.bmHeight;  // bottom-up, as files keep it
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(info.bmWidth) * 3 + 3) & ~size_t{3};
    const size_t pixels = stride * static_cast<size_t>(info.bmHeight);
    header.biSizeImage = static_cast<DWORD>(pixels);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels);
    std::vector<uint8_t> bytes(file.bfSize);
    std::memcpy(bytes.data(), &file, sizeof(file));
    std::memcpy(bytes.data() + sizeof(file), &header, sizeof(header));
    WindowDC screen;
    BITMAPINFO asked{};
    asked.bmiHeader = header;
    if (!screen || GetDIBits(screen.Get(), bitmap, 0, static_cast<UINT>(info.bmHeight),
                             bytes.data() + file.bfOffBits, &asked, DIB_RGB_COLORS) == 0) {
        return {};
    }
    return bytes;
}

std::vector<uint8_t> PictureBytes(IPicture* picture) {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) {
        ControlErrors::Raise(ControlErrors::kOutOfMemory);
    }
    LONG size = 0;
    if (FAILED(picture->SaveAsFile(stream.Get(), TRUE, &size))) {
        BadPicture(L"The picture cannot be saved");
    }
    std::vector<uint8_t> bytes = StreamBytes(stream.Get());
    if (!bytes.empty()) return bytes;
    // Some picture objects save nothing as a file for a picture made from a handle (no file
    // data behind it): a bitmap is then written as a 24-bit bitmap file.
    SHORT type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    picture->get_Type(&type);
    picture->get_Handle(&handle);
    if (type == PICTYPE_BITMAP) bytes = BitmapFileOf(static_cast<HBITMAP>(LongToHandle(handle)));
    return bytes;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::string Utf8FromWide(std::wstring_view s) {
    return Layout::ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(s.data()), s.size()));
}

Host::Variant FontObject(const Layout::Font& font) {
    const std::wstring name = Wide(font.name);
    FONTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.lpstrName = const_cast<LPOLESTR>(name.c_str());
    desc.cySize.int64 = font.size;
    desc.sWeight = font.weight;
    desc.sCharset = font.charset;
    desc.fItalic = font.italic;
    desc.fUnderline = font.underline;
    desc.fStrikethrough = font.strikethrough;
    ComPtr<IFontDisp> object;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFontDisp, object.PutVoid())) || !object) {
        ControlErrors::Raise(ControlErrors::kOutOfMemory);
    }
    return Host::Variant::Object(object.Get());
}

Layout::Font FontOf(IUnknown* object) {
    ComPtr<IFont> font;
    if (!object || FAILED(object->QueryInterface(IID_IFont, font.PutVoid()))) {
        ControlErrors::Raise(ControlErrors::kTypeMismatch);
    }
    Layout::Font f;
    UniqueBstr name;
    font->get_Name(name.Put());
    f.name = Utf16(std::wstring_view(name ? name.Get() : L"", SysStringLen(name.Get())));
    CY size{};
    font->get_Size(&size);
    f.size = size.int64;
    SHORT weight = 400, charset = 1;
    font->get_Weight(&weight);
    font->get_Charset(&charset);
    f.weight = weight;
    f.charset = charset;
    BOOL flag = FALSE;
    font->get_Italic(&flag);
    f.italic = flag != FALSE;
    font->get_Underline(&flag);
    f.underline = flag != FALSE;
    font->get_Strikethrough(&flag);
    f.strikethrough = flag != FALSE;
    return f;
}

Host::Variant ToVariant(const Layout::Value& value) {
    struct Visitor {
        Host::Variant operator()(const Layout::Empty&) const { return {}; }
        Host::Variant operator()(const Layout::Nothing&) const {
            return Host::Variant::Object(nullptr);
        }
        Host::Variant operator()(bool v) const { return Host::Variant::Bool(v); }
        Host::Variant operator()(int16_t v) const { return Host::Variant::Int16(v); }
        Host::Variant operator()(int32_t v) const { return Host::Variant::Int32(v); }
        Host::Variant operator()(float v) const { return Host::Variant::Float(v); }
        Host::Variant operator()(double v) const { return Host::Variant::Double(v); }
        Host::Variant operator()(const std::u16string& v) const {
            return Host::Variant::String(Wide(v));
        }
        Host::Variant operator()(const Layout::Bytes& v) const {
            return Host::Variant::Bytes(v.data.data(), v.data.size());
        }
        Host::Variant operator()(const Layout::Font& v) const { return FontObject(v); }
        Host::Variant operator()(const Layout::Picture& v) const {
            if (v.data.empty()) return Host::Variant::Object(nullptr);
            return PictureObject(v.data);
        }
    };
    return std::visit(Visitor{}, value);
}

Layout::Value FromVariant(const VARIANT& v0) {
    const Host::Variant copy(v0);
    const VARIANT& v = copy.Get();
    switch (v.vt) {
        case VT_EMPTY:
            return Layout::Empty{};
        case VT_BOOL:
            return v.boolVal != VARIANT_FALSE;
        case VT_I2:
            return static_cast<int16_t>(v.iVal);
        case VT_I4:
            return static_cast<int32_t>(v.lVal);
        case VT_R4:
            return v.fltVal;
        case VT_R8:
            return v.dblVal;
        case VT_BSTR:
            return Utf16(std::wstring_view(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal)));
        case VT_ARRAY | VT_UI1: {
            Layout::Bytes b;
            if (const size_t n = ArrayLength(v.parray)) {
                b.data.resize(n);
                void* p = nullptr;
                SafeArrayAccessData(v.parray, &p);
                std::memcpy(b.data.data(), p, n);
                SafeArrayUnaccessData(v.parray);
            }
            return b;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            if (!v.punkVal) return Layout::Nothing{};
            ComPtr<IFont> font;
            if (SUCCEEDED(v.punkVal->QueryInterface(IID_IFont, font.PutVoid()))) {
                return FontOf(font.Get());
            }
            ComPtr<IPicture> picture;
            if (SUCCEEDED(v.punkVal->QueryInterface(IID_IPicture, picture.PutVoid()))) {
                OLE_HANDLE handle = 0;
                picture->get_Handle(&handle);
                if (!handle) return Layout::Nothing{};
                return Layout::Picture{PictureBytes(picture.Get())};
            }
            break;
        }
        default:
            break;
    }
    ControlErrors::Raise(ControlErrors::kTypeMismatch);
}

}  // namespace StoredValue
