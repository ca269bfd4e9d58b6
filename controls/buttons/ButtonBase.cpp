#include "controls/buttons/ButtonBase.h"

namespace ButtonBase {

wchar_t AccessKeyOf(std::wstring_view caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] == L'&') {
            ++i;
            continue;
        }
        return static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(caption[i + 1])))));
    }
    return 0;
}

void ApplyCaption(Host::ControlSite& site, HWND button, const std::wstring& caption) {
    if (button) SetWindowTextW(button, caption.c_str());
    const wchar_t key = AccessKeyOf(caption);
    site.SetAccessKeys(key ? std::wstring(1, key) : std::wstring());
}

bool IsClick(HWND button, UINT msg, WPARAM wParam, LPARAM lParam) {
    return button && msg == WM_COMMAND && reinterpret_cast<HWND>(lParam) == button &&
           HIWORD(wParam) == BN_CLICKED;
}

}  // namespace ButtonBase
