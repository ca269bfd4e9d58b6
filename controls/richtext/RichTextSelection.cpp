#include "controls/richtext/RichTextSelection.h"

#include <algorithm>
#include <string>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/ControlSite.h"

namespace RichTextSelection {

namespace {

using Units::Unit;

[[noreturn]] void TypeMismatch() {
    ControlErrors::Raise(ControlErrors::kTypeMismatch);
}

[[noreturn]] void OutOfRange() {
    ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
}

// The numbers a formatting property takes: integers, single, double and byte.
bool IsAcceptedNumber(VARTYPE type) {
    return type == VT_I2 || type == VT_I4 || type == VT_R4 || type == VT_R8 || type == VT_UI1;
}

double NumberOf(const Variant& value) {
    if (!IsAcceptedNumber(value.Type())) TypeMismatch();
    return value.ToDouble();
}

// True or false by the rule of the character effects: Null sets (when `nullSets`), a
// Boolean as it is, a number when it is not 0.
bool SwitchOf(const Variant& value, bool nullSets) {
    if (value.Type() == VT_NULL && nullSets) return true;
    if (value.Type() == VT_BOOL) return value.Get().boolVal != VARIANT_FALSE;
    return NumberOf(value) != 0;
}

Variant Null() {
    Variant v;
    v.Get().vt = VT_NULL;
    return v;
}

// A fresh structure asking for one attribute.
CHARFORMAT2W CharFormat(DWORD mask) {
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof(cf);
    cf.dwMask = mask;
    return cf;
}

PARAFORMAT2 ParaFormat(DWORD mask) {
    PARAFORMAT2 pf{};
    pf.cbSize = sizeof(pf);
    pf.dwMask = mask;
    return pf;
}

// The selection's attribute; false when it differs across the selection.
bool GetChar(HWND richEdit, CHARFORMAT2W& cf) {
    const DWORD mask = cf.dwMask;
    SendMessageW(richEdit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    return (cf.dwMask & mask) == mask;
}

void SetChar(HWND richEdit, CHARFORMAT2W& cf) {
    SendMessageW(richEdit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
}

bool GetPara(HWND richEdit, PARAFORMAT2& pf) {
    const DWORD mask = pf.dwMask;
    SendMessageW(richEdit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
    return (pf.dwMask & mask) == mask;
}

void SetPara(HWND richEdit, PARAFORMAT2& pf) {
    SendMessageW(richEdit, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&pf));
}

CHARRANGE Selection(HWND richEdit) {
    CHARRANGE range{};
    SendMessageW(richEdit, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

void Select(HWND richEdit, CHARRANGE range) {
    SendMessageW(richEdit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

// Lengths between the container's size units and twips.
Variant FromTwips(const Host::ControlSite& site, LONG twips, Units::Axis axis) {
    const double value = axis == Units::Axis::X
                             ? site.ScaleX(twips, Unit::Twips, Unit::ContainerSize)
                             : site.ScaleY(twips, Unit::Twips, Unit::ContainerSize);
    return Variant::Float(static_cast<float>(value));
}

LONG ToTwips(const Host::ControlSite& site, const Variant& value, Units::Axis axis) {
    const double length = NumberOf(value);
    return RoundToInt32(axis == Units::Axis::X
                            ? site.ScaleX(length, Unit::ContainerSize, Unit::Twips)
                            : site.ScaleY(length, Unit::ContainerSize, Unit::Twips));
}

// The position bits of a tab stop; the high byte holds its alignment and leader.
constexpr LONG kTabPosition = 0x00FFFFFF;

[[noreturn]] void BadIndex() {
    ControlErrors::Raise(ControlErrors::kInvalidPropertyArrayIndex);
}

void CheckTabIndex(int16_t element) {
    if (element < 0 || element >= MAX_TAB_STOPS) BadIndex();
}

// The tab stops of the selection (those of its first paragraph when they differ; false
// then). Error 381 unless `element` is one of them; stops that differ are let pass when
// `differingPass`, for a reader that answers Null.
bool TabStops(HWND richEdit, int16_t element, PARAFORMAT2& pf, bool differingPass) {
    CheckTabIndex(element);
    pf = ParaFormat(PFM_TABSTOPS);
    const bool same = GetPara(richEdit, pf);
    if ((same || !differingPass) && element >= pf.cTabCount) BadIndex();
    return same;
}

}  // namespace

// ---- Selection ------------------------------------------------------------------------------

int32_t SelStart(HWND richEdit) {
    return richEdit ? Selection(richEdit).cpMin : 0;
}

void SetSelStart(HWND richEdit, int32_t value) {
    if (!richEdit) return;
    if (value < 0) OutOfRange();
    Select(richEdit, {value, value});
}

int32_t SelLength(HWND richEdit) {
    if (!richEdit) return 0;
    const CHARRANGE range = Selection(richEdit);
    return range.cpMax - range.cpMin;
}

void SetSelLength(HWND richEdit, int32_t value) {
    if (!richEdit) return;
    if (value < 0) OutOfRange();
    CHARRANGE range = Selection(richEdit);
    range.cpMax = RoundToInt32(static_cast<double>(range.cpMin) + value);
    Select(richEdit, range);
}

// ---- Character attributes -------------------------------------------------------------------

Variant Effect(HWND richEdit, DWORD mask) {
    if (!richEdit) return {};
    CHARFORMAT2W cf = CharFormat(mask);
    if (!GetChar(richEdit, cf)) return Null();
    return Variant::Bool(cf.dwEffects & mask);
}

void SetEffect(HWND richEdit, DWORD mask, const Variant& value) {
    if (!richEdit) return;
    CHARFORMAT2W cf = CharFormat(mask);
    cf.dwEffects = SwitchOf(value, true) ? mask : 0;
    SetChar(richEdit, cf);
}

Variant Visible(HWND richEdit) {
    if (!richEdit) return {};
    CHARFORMAT2W cf = CharFormat(CFM_HIDDEN);
    if (!GetChar(richEdit, cf)) return Null();
    return Variant::Bool(!(cf.dwEffects & CFE_HIDDEN));
}

void SetVisible(HWND richEdit, const Variant& value) {
    if (!richEdit) return;
    CHARFORMAT2W cf = CharFormat(CFM_HIDDEN);
    cf.dwEffects = SwitchOf(value, true) ? 0 : CFE_HIDDEN;
    SetChar(richEdit, cf);
}

Variant CharOffset(HWND richEdit, const Host::ControlSite& site) {
    if (!richEdit) return {};
    CHARFORMAT2W cf = CharFormat(CFM_OFFSET);
    if (!GetChar(richEdit, cf)) return Null();
    return FromTwips(site, cf.yOffset, Units::Axis::Y);
}

void SetCharOffset(HWND richEdit, const Host::ControlSite& site, const Variant& value) {
    if (!richEdit) return;
    CHARFORMAT2W cf = CharFormat(CFM_OFFSET);
    cf.yOffset = ToTwips(site, value, Units::Axis::Y);
    SetChar(richEdit, cf);
}

Variant Color(HWND richEdit, DWORD mask) {
    if (!richEdit) return {};
    CHARFORMAT2W cf = CharFormat(mask);
    if (!GetChar(richEdit, cf)) return Null();
    const COLORREF color = mask == CFM_BACKCOLOR ? cf.crBackColor : cf.crTextColor;
    return Variant::Int32(static_cast<int32_t>(color));
}

void SetColor(HWND richEdit, DWORD mask, const Variant& value) {
    if (!richEdit) return;
    // OLE colours are unsigned: system colours (0x800000nn) come as large numbers or as
    // negative 32-bit ones.
    const double number = NumberOf(value);
    if (!(number >= INT32_MIN && number <= UINT32_MAX)) {
        ControlErrors::Raise(ControlErrors::kOverflow);
    }
    const auto ole = static_cast<OLE_COLOR>(static_cast<int64_t>(number));
    const COLORREF color = Common::WinColor(ole);
    if (color == CLR_INVALID) OutOfRange();
    CHARFORMAT2W cf = CharFormat(mask);  // the automatic-colour effect stays clear
    if (mask == CFM_BACKCOLOR) {
        cf.crBackColor = color;
    } else {
        cf.crTextColor = color;
    }
    SetChar(richEdit, cf);
}

Variant FontName(HWND richEdit) {
    if (!richEdit) return {};
    CHARFORMAT2W cf = CharFormat(CFM_FACE);
    if (!GetChar(richEdit, cf)) return Null();
    const size_t n = std::find(std::begin(cf.szFaceName), std::end(cf.szFaceName), L'\0') -
                     std::begin(cf.szFaceName);
    return Variant::String(std::wstring_view(cf.szFaceName, n));
}

void SetFontName(HWND richEdit, const Variant& value) {
    if (!richEdit) return;
    const std::wstring name = value.ToString();
    CHARFORMAT2W cf = CharFormat(CFM_FACE);
    // The window reads the name up to its terminator, so the field always keeps one.
    const size_t n = std::min(name.size(), static_cast<size_t>(LF_FACESIZE - 1));
    std::copy_n(name.begin(), n, cf.szFaceName);
    SetChar(richEdit, cf);
}

Variant FontSize(HWND richEdit) {
    if (!richEdit) return {};
    CHARFORMAT2W cf = CharFormat(CFM_SIZE);
    if (!GetChar(richEdit, cf)) return Null();
    return Variant::Float(static_cast<float>(cf.yHeight * 72.0 / 1440.0));
}

void SetFontSize(HWND richEdit, const Variant& value) {
    if (!richEdit) return;
    CHARFORMAT2W cf = CharFormat(CFM_SIZE);
    cf.yHeight = RoundToInt32(NumberOf(value) * 1440.0 / 72.0);
    SetChar(richEdit, cf);
}

Variant FontCharset(HWND richEdit) {
    if (!richEdit) return {};
    CHARFORMAT2W cf = CharFormat(CFM_CHARSET);
    if (!GetChar(richEdit, cf)) return Null();
    return Variant::Int16(cf.bCharSet);
}

void SetFontCharset(HWND richEdit, const Variant& value) {
    if (!richEdit) return;
    CHARFORMAT2W cf = CharFormat(CFM_CHARSET);
    cf.bCharSet = static_cast<BYTE>(RoundToInt32(NumberOf(value)) & 0xFF);
    SetChar(richEdit, cf);
}

// ---- Paragraph attributes -------------------------------------------------------------------

Variant Alignment(HWND richEdit) {
    if (!richEdit) return {};
    PARAFORMAT2 pf = ParaFormat(PFM_ALIGNMENT);
    if (!GetPara(richEdit, pf)) return Null();
    if (pf.wAlignment < PFA_LEFT || pf.wAlignment > PFA_JUSTIFY) return {};
    return Variant::Int16(static_cast<int16_t>(pf.wAlignment - PFA_LEFT));
}

void SetAlignment(HWND richEdit, const Variant& value) {
    if (!richEdit) return;
    const double number = NumberOf(value);
    if (!(number > -1 && number < 4)) OutOfRange();
    const int32_t alignment = RoundToInt32(number);
    if (alignment < 0 || alignment > 3) OutOfRange();
    PARAFORMAT2 pf = ParaFormat(PFM_ALIGNMENT);
    pf.wAlignment = static_cast<WORD>(alignment + PFA_LEFT);
    SetPara(richEdit, pf);
}

Variant Bullet(HWND richEdit) {
    if (!richEdit) return {};
    PARAFORMAT2 pf = ParaFormat(PFM_NUMBERING);
    if (!GetPara(richEdit, pf)) return Null();
    return Variant::Bool(pf.wNumbering == PFN_BULLET);
}

void SetBullet(HWND richEdit, const Host::ControlSite& site, int32_t bulletIndentPixels,
               const Variant& value) {
    if (!richEdit) return;
    const bool on = SwitchOf(value, false);
    PARAFORMAT2 pf = ParaFormat(PFM_NUMBERING | PFM_OFFSET);
    pf.wNumbering = on ? PFN_BULLET : 0;
    pf.dxOffset = RoundToInt32(site.ScaleX(bulletIndentPixels, Unit::Pixels, Unit::Twips));
    SetPara(richEdit, pf);
}

Variant Indent(HWND richEdit, const Host::ControlSite& site, DWORD mask) {
    if (!richEdit) return {};
    PARAFORMAT2 pf = ParaFormat(mask);
    if (!GetPara(richEdit, pf)) return Null();
    const LONG twips = mask == PFM_STARTINDENT   ? pf.dxStartIndent
                       : mask == PFM_RIGHTINDENT ? pf.dxRightIndent
                                                 : pf.dxOffset;
    return FromTwips(site, twips, Units::Axis::X);
}

void SetIndent(HWND richEdit, const Host::ControlSite& site, DWORD mask, const Variant& value) {
    if (!richEdit) return;
    const LONG twips = ToTwips(site, value, Units::Axis::X);
    PARAFORMAT2 pf = ParaFormat(mask);
    (mask == PFM_STARTINDENT   ? pf.dxStartIndent
     : mask == PFM_RIGHTINDENT ? pf.dxRightIndent
                               : pf.dxOffset) = twips;
    SetPara(richEdit, pf);
}

Variant TabCount(HWND richEdit) {
    if (!richEdit) return {};
    PARAFORMAT2 pf = ParaFormat(PFM_TABSTOPS);
    if (!GetPara(richEdit, pf)) return Null();
    return Variant::Int16(pf.cTabCount);
}

void SetTabCount(HWND richEdit, const Variant& value) {
    if (!richEdit) return;
    const double number = NumberOf(value);
    if (!(number > -1 && number < MAX_TAB_STOPS + 1)) OutOfRange();
    const int32_t count = RoundToInt32(number);
    if (count < 0 || count > MAX_TAB_STOPS) OutOfRange();
    PARAFORMAT2 pf = ParaFormat(PFM_TABSTOPS);
    pf.cTabCount = static_cast<SHORT>(count);
    SetPara(richEdit, pf);
}

Variant Tab(HWND richEdit, const Host::ControlSite& site, int16_t element) {
    if (!richEdit) return {};
    PARAFORMAT2 pf;
    if (!TabStops(richEdit, element, pf, true)) return Null();
    return FromTwips(site, pf.rgxTabs[element] & kTabPosition, Units::Axis::X);
}

void SetTab(HWND richEdit, const Host::ControlSite& site, int16_t element, const Variant& value) {
    if (!richEdit) return;
    CheckTabIndex(element);
    const LONG twips = ToTwips(site, value, Units::Axis::X);
    if (twips < 0 || twips > kTabPosition) OutOfRange();
    PARAFORMAT2 pf;
    TabStops(richEdit, element, pf, false);
    pf.dwMask = PFM_TABSTOPS;
    pf.rgxTabs[element] = (pf.rgxTabs[element] & ~kTabPosition) | twips;
    SetPara(richEdit, pf);
}

}  // namespace RichTextSelection
