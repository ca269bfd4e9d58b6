#include "setup/MResources.h"

#include "setup/MErrors.h"

namespace MResources {

namespace {

[[noreturn]] void RaiseLastError(DWORD fallback) {
    const DWORD code = GetLastError();
    throw MErrors::FromWin32(code ? code : fallback);
}

}  // namespace

std::vector<uint8_t> LoadCustom(WORD id) {
    HMODULE module = GetModuleHandleW(nullptr);
    SetLastError(0);
    // The payloads are Russian; any language will do for a build that carries another.
    HRSRC info = FindResourceExW(module, L"CUSTOM", MAKEINTRESOURCEW(id),
                                 MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
    if (!info) info = FindResourceW(module, MAKEINTRESOURCEW(id), L"CUSTOM");
    if (!info) RaiseLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    const DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data && size) RaiseLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    SetLastError(0);
    // With no buffer the call answers a pointer into the resource and the full length: a
    // copy into a buffer would cut a long string at the buffer's size.
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) RaiseLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return std::wstring(text, static_cast<size_t>(length));
}

}  // namespace MResources
