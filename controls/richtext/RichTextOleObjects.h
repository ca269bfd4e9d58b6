// RichTextOleObjects: the embedded objects of a rich edit window: its IRichEditOle, inserting
// objects at the selection (an existing one, one made from a file, one made from data such as
// a picture) and fetching them. A 0 window does nothing (no interface, no objects).
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <richedit.h>
#include <richole.h>

#include <cstdint>
#include <optional>
#include <string>

#include "controls/base/ComPtr.h"
#include "host/DataObject.h"

namespace RichTextOleObjects {

inline constexpr wchar_t kFormatMismatch[] = L"Specified format doesn't match format of data";
inline constexpr int32_t kFormatMismatchNumber = 461;

ComPtr<IRichEditOle> OleInterface(HWND richEdit);
int32_t Count(HWND richEdit);

// Inserts the object's IOleObject at the selection; nothing for an object without one.
void Add(HWND richEdit, IUnknown* object);
// Inserts an object made from a file, embedded or linked; error 53 when the file is missing.
void AddFromFile(HWND richEdit, const std::wstring& fileName, bool link);
// Inserts an object made from data (a static picture when no server claims it), rendered
// in `format` where the system cannot draw it by itself.
void AddFromData(HWND richEdit, IDataObject* data, CLIPFORMAT format);
// The object at `index`, or at character position `charPos` for REO_IOB_USE_CP (-2); a
// reference the caller owns, empty when there is none.
ComPtr<IUnknown> Get(HWND richEdit, int32_t index, int32_t charPos);

// The clipboard format a picture goes in: `format` when given (CF_BITMAP or CF_DIB for a
// bitmap, CF_METAFILEPICT for a metafile, CF_ENHMETAFILE for an enhanced metafile), else the
// picture's own. Error 380 for no picture or one of another type, 461 for a format that is
// not one of these four or does not fit the picture.
CLIPFORMAT PictureFormat(IPicture* picture, std::optional<int32_t> format);
// Puts a copy of the picture into the data object in that format.
void PutPicture(Host::DataObject& data, IPicture* picture, CLIPFORMAT format);

}  // namespace RichTextOleObjects
