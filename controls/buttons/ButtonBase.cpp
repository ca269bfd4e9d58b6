#include "controls/buttons/ButtonBase.h"

#include "controls/base/Common.h"

namespace ButtonBase {

void ApplyCaption(Host::ControlSite& site, HWND button, const std::wstring& caption) {
    if (button) SetWindowTextW(button, caption.c_str());
    const wchar_t key = Common::AccessKey(caption);
    site.SetAccessKeys(key ? std::wstring(1, key) : std::wstring());
}

bool IsClick(HWND button, UINT msg, WPARAM wParam, LPARAM lParam) {
    return button && msg == WM_COMMAND && reinterpret_cast<HWND>(lParam) == button &&
           HIWORD(wParam) == BN_CLICKED;
}

}  // namespace ButtonBase
