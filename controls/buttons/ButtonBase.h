// ButtonBase: what the command button and the check box share over the system button.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "host/ControlDescription.h"
#include "host/ControlSite.h"

namespace ButtonBase {

// The persisted caption, and Click (-600) as both buttons raise it.
inline constexpr Host::StoredKey kCaptionKey = Host::TextKey(L"Caption");
inline constexpr Host::EventInfo kClick{L"Click", Host::kDispIdClick, {}};

// Shows a caption in the button window (when there is one) and routes its access key
// (Common::AccessKey).
void ApplyCaption(Host::ControlSite& site, HWND button, const std::wstring& caption);
// Whether a message of the user control window is the button's BN_CLICKED.
bool IsClick(HWND button, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace ButtonBase
