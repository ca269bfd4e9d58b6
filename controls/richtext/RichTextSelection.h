// RichTextSelection: the selection of a rich edit window and the character and paragraph
// formatting of the selected text (or of the insertion point).
//
// Every attribute is read and written alone: each call fills a fresh CHARFORMAT2W or
// PARAFORMAT2 with the one mask bit of its attribute. Getters answer a variant: Null when the
// attribute differs across the selection, Empty without a window. Setters take a variant and
// check it before anything is sent: error 13 for a value of the wrong type, 380 for one out
// of range, 381 for a bad tab index, 6 for a number too large for the field it goes to.
// Without a window (0) every member does nothing.
//
// Lengths are in the container's size units on this side and in twips in the structures:
// horizontal for the paragraph attributes, vertical for the character offset.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstdint>

#include "host/Variant.h"

namespace Host {
class ControlSite;
}

namespace RichTextSelection {

// Character positions; a negative value is error 380. Assigning SelStart collapses the
// selection there; SelLength keeps its start.
int32_t SelStart(HWND richEdit);
void SetSelStart(HWND richEdit, int32_t value);
int32_t SelLength(HWND richEdit);
void SetSelLength(HWND richEdit, int32_t value);

// A character effect: CFM_BOLD, CFM_ITALIC, CFM_STRIKEOUT, CFM_UNDERLINE or CFM_PROTECTED.
// Assigned Null it is set; a Boolean sets or clears it; a number sets it when not 0.
Variant Effect(HWND richEdit, DWORD mask);
void SetEffect(HWND richEdit, DWORD mask, const Variant& value);
// The inverse of the hidden effect, by the same rule (Null shows the text).
Variant Visible(HWND richEdit);
void SetVisible(HWND richEdit, const Variant& value);
// The offset from the base line (superscript above 0).
Variant CharOffset(HWND richEdit, const Host::ControlSite& site);
void SetCharOffset(HWND richEdit, const Host::ControlSite& site, const Variant& value);
// CFM_COLOR (text) or CFM_BACKCOLOR (background); assigning an OLE colour (system colours
// too) drops the automatic colour.
Variant Color(HWND richEdit, DWORD mask);
void SetColor(HWND richEdit, DWORD mask, const Variant& value);
// A face name longer than the structure's field keeps its first 31 characters.
Variant FontName(HWND richEdit);
void SetFontName(HWND richEdit, const Variant& value);
// Points, to a twentieth.
Variant FontSize(HWND richEdit);
void SetFontSize(HWND richEdit, const Variant& value);
// The character set; only the low 8 bits of an assigned number count.
Variant FontCharset(HWND richEdit);
void SetFontCharset(HWND richEdit, const Variant& value);

// 0 left, 1 right, 2 centre, 3 justified; any other alignment of the window reads Empty.
Variant Alignment(HWND richEdit);
void SetAlignment(HWND richEdit, const Variant& value);
// Bulleted paragraphs; the bullet's indent is `bulletIndentPixels`, set either way.
// Null is refused (13).
Variant Bullet(HWND richEdit);
void SetBullet(HWND richEdit, const Host::ControlSite& site, int32_t bulletIndentPixels,
               const Variant& value);
// A paragraph indent: PFM_STARTINDENT, PFM_RIGHTINDENT or PFM_OFFSET (hanging).
Variant Indent(HWND richEdit, const Host::ControlSite& site, DWORD mask);
void SetIndent(HWND richEdit, const Host::ControlSite& site, DWORD mask, const Variant& value);
// 0 to MAX_TAB_STOPS tab stops; assigning a count puts every stop at 0.
Variant TabCount(HWND richEdit);
void SetTabCount(HWND richEdit, const Variant& value);
// One tab stop's position, `element` counted from 0 below the current count.
Variant Tab(HWND richEdit, const Host::ControlSite& site, int16_t element);
void SetTab(HWND richEdit, const Host::ControlSite& site, int16_t element, const Variant& value);

}  // namespace RichTextSelection
