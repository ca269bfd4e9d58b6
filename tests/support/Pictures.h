// Picture objects made in code, for tests that hand pictures to controls and look for their
// colours in a rendering.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "controls/base/ComPtr.h"

namespace testsupport {

// Plain colours for pictures and renderings, told apart in a pixel check.
namespace colours {
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kGreen = RGB(0, 255, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);
inline constexpr COLORREF kMagenta = RGB(255, 0, 255);
inline constexpr COLORREF kNavy = RGB(0, 0, 128);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
}  // namespace colours

// A bitmap picture (owning its bitmap) of cx x cy pixels: `inner`, inside a frame `frame`
// pixels wide of `outer`.
ComPtr<IPicture> BitmapPicture(int cx, int cy, COLORREF inner, COLORREF outer = 0, int frame = 0);
// The same picture as its dispatch interface, as properties take pictures.
ComPtr<IPictureDisp> AsPictureDisp(IPicture* picture);

}  // namespace testsupport
