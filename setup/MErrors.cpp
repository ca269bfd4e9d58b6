#include "setup/MErrors.h"

#include <cwchar>

namespace MErrors {

namespace {

constexpr wchar_t kNoSystemText[] = L"Системная ошибка";
constexpr wchar_t kAutomationError[] = L"Ошибка автоматизации";

}  // namespace

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", buffer ? length : 0);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return text;
}

ControlError FromWin32(DWORD code) {
    std::wstring text = SystemMessage(code);
    if (text.empty()) text = kNoSystemText;
    return ControlError(static_cast<int32_t>(code), text);
}

ControlError FromHResult(HRESULT hr, EXCEPINFO* excepInfo) {
    int32_t number = static_cast<int32_t>(hr);
    std::wstring text;
    if (hr == DISP_E_EXCEPTION && excepInfo) {
        if (excepInfo->pfnDeferredFillIn) excepInfo->pfnDeferredFillIn(excepInfo);
        if (excepInfo->scode)
            number = static_cast<int32_t>(excepInfo->scode);
        else if (excepInfo->wCode)
            number = static_cast<int32_t>(ControlErrors::ToHResult(excepInfo->wCode));
        if (excepInfo->bstrDescription) text = excepInfo->bstrDescription;
    }
    if (text.empty()) text = SystemMessage(static_cast<DWORD>(number));
    // A Win32 error in HRESULT form has its text under the plain code.
    if (text.empty() && HRESULT_FACILITY(number) == FACILITY_WIN32)
        text = SystemMessage(HRESULT_CODE(number));
    if (text.empty()) text = kAutomationError;
    return ControlError(number, text);
}

}  // namespace MErrors
