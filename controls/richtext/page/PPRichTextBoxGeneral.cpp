#include "controls/richtext/page/PPRichTextBoxGeneral.h"

#include <oleauto.h>

#include <charconv>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/buttons/CheckBoxW.h"
#include "controls/dialogs/CommonDialog.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/RichTextBoxBase.h"
#include "host/ComboBox.h"
#include "host/LateBound.h"
#include "host/TextBox.h"

namespace {

extern const char kLayout[];

// How a page control stands for its property; the box's name is the kind's prefix and the
// property's name.
enum class Kind { Check, List, Text, WholeNumber, Single };

struct Binding {
    Kind kind;
    std::wstring_view property;
};

// Also the order in which Apply writes them.
constexpr Binding kBindings[] = {
    {Kind::Check, L"Enabled"},
    {Kind::Check, L"Locked"},
    {Kind::Check, L"VisualStyles"},
    {Kind::List, L"MousePointer"},
    {Kind::Text, L"PasswordChar"},
    {Kind::WholeNumber, L"MaxLength"},
    {Kind::List, L"ScrollBars"},
    {Kind::Single, L"BulletIndent"},
    {Kind::List, L"TextMode"},
    {Kind::WholeNumber, L"UndoLimit"},
    {Kind::List, L"IMEMode"},
    {Kind::Check, L"MouseTrack"},
    {Kind::Check, L"OLEDragDrop"},
    {Kind::Check, L"HideSelection"},
    {Kind::Check, L"UseSystemPasswordChar"},
    {Kind::Check, L"MultiLine"},
    {Kind::Check, L"WantReturn"},
    {Kind::Check, L"DisableNoScroll"},
    {Kind::Check, L"AutoURLDetect"},
    {Kind::Check, L"SelectionBar"},
    {Kind::Check, L"AllowOverType"},
    {Kind::Check, L"OverTypeMode"},
    {Kind::Text, L"FileName"},
};

std::wstring BoxName(const Binding& b) {
    switch (b.kind) {
        case Kind::Check:
            return L"Check" + std::wstring(b.property);
        case Kind::List:
            return L"Combo" + std::wstring(b.property);
        default:
            return L"Text" + std::wstring(b.property);
    }
}

const Binding& BindingOf(std::wstring_view box) {
    for (const Binding& b : kBindings) {
        if (BoxName(b) == box) return b;
    }
    ControlErrors::Raise(ControlErrors::kControlNotFound);
}

const std::wstring_view kScrollBarNames[] = {L"None", L"Horizontal", L"Vertical", L"Both"};
const std::wstring_view kTextModeNames[] = {L"RichText", L"PlainText"};
const std::wstring_view kIMEModeNames[] = {
    L"NoControl",    L"On",        L"Off",   L"Disable",    L"Hiragana", L"Katakana",
    L"KatakanaHalf", L"AlphaFull", L"Alpha", L"HangulFull", L"Hangul"};

constexpr wchar_t kFileNameInvalid[] = L"The specified file name cannot be accessed or is invalid.";

wchar_t DecimalSeparator() {
    wchar_t separator[8] = {};
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 1 ? separator[0]
                                                                                  : L'.';
}

// A number as the boxes show it: plain decimal, the shortest form that reads back the same.
std::wstring PlainDecimal(float value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    std::wstring text(buffer, result.ptr);
    for (wchar_t& c : text) {
        if (c == L'.') c = DecimalSeparator();
    }
    return text;
}

std::optional<int32_t> WholeNumber(std::wstring_view text) {
    const std::optional<double> value = PPRichTextBoxGeneral::NumericValue(text);
    LONG whole = 0;
    if (!value || FAILED(VarI4FromR8(*value, &whole))) return std::nullopt;
    return static_cast<int32_t>(whole);
}

std::optional<float> SingleNumber(std::wstring_view text) {
    const std::optional<double> value = PPRichTextBoxGeneral::NumericValue(text);
    FLOAT single = 0;
    if (!value || FAILED(VarR4FromR8(*value, &single))) return std::nullopt;
    return single;
}

// A property's string as a box shows it: a character property without a character answers
// a NUL.
std::wstring StringOf(const Host::Variant& value) {
    std::wstring text = value.ToString();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

}  // namespace

std::optional<double> PPRichTextBoxGeneral::NumericValue(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ')
        text.remove_suffix(1);
    const wchar_t separator = DecimalSeparator();
    std::string ascii;
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9')
            ascii += static_cast<char>(text[i++]);
        return i - start;
    };
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        if (text[i] == L'-') ascii += '-';
        ++i;
    }
    size_t mantissa = digits();
    if (i < text.size() && (text[i] == separator || text[i] == L'.')) {
        ascii += '.';
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return std::nullopt;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        ascii += 'e';
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
            ascii += static_cast<char>(text[i++]);
        }
        if (digits() == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

PPRichTextBoxGeneral::PPRichTextBoxGeneral()
    : PropertyPage(kLayout, "PPRichTextBoxGeneral", L"General") {}

void PPRichTextBoxGeneral::Register() {
    Host::PropertyPages::Register(RichTextBox::kGeneralPage, [] {
        return ComPtr<IPropertyPage>::Attach(new PPRichTextBoxGeneral());
    });
}

Host::TextBox& PPRichTextBoxGeneral::Text(std::wstring_view name) const {
    return PageControl<Host::TextBox>(name);
}

Host::ComboBox& PPRichTextBoxGeneral::Combo(std::wstring_view name) const {
    return PageControl<Host::ComboBox>(name);
}

void PPRichTextBoxGeneral::Initialize() {
    std::vector<std::wstring> pointers;
    std::vector<int32_t> codes;
    Common::PointerPredefinedStrings(pointers, codes);
    Host::ComboBox& mousePointer = Combo(L"ComboMousePointer");
    for (size_t i = 0; i < pointers.size(); ++i) {
        mousePointer.AddItem(pointers[i]);
        mousePointer.SetItemData(static_cast<int32_t>(i), codes[i]);
    }
    auto fill = [this](std::wstring_view box, std::span<const std::wstring_view> names) {
        Host::ComboBox& combo = Combo(box);
        for (size_t i = 0; i < names.size(); ++i) {
            combo.AddItem(std::to_wstring(i) + L" - " + std::wstring(names[i]));
            combo.SetItemData(static_cast<int32_t>(i), static_cast<int32_t>(i));
        }
    };
    fill(L"ComboScrollBars", kScrollBarNames);
    fill(L"ComboTextMode", kTextModeNames);
    fill(L"ComboIMEMode", kIMEModeNames);
    HookEvents();
}

void PPRichTextBoxGeneral::HookEvents() {
    Host::Form& form = *PageForm();
    for (const Binding& b : kBindings) {
        const std::wstring box = BoxName(b);
        switch (b.kind) {
            case Kind::Check:
            case Kind::List:
                form.On(box, L"Click", [this](Host::Event&) { MarkChanged(); });
                continue;
            case Kind::Text:
                form.On(box, L"Change", [this](Host::Event&) { MarkChanged(); });
                break;
            case Kind::WholeNumber:
            case Kind::Single:
                form.On(box, L"Change", [this, box](Host::Event&) {
                    if (Freeze) return;
                    Host::TextBox& text = Text(box);
                    if (text.Text().empty()) {
                        // An empty number box shows the value it would otherwise lose.
                        text.SetText(CurrentText(box));
                        text.SetSelStart(0);
                        text.SetSelLength(static_cast<int32_t>(text.Text().size()));
                    }
                    MarkChanged();
                });
                break;
        }
        form.On(box, L"GotFocus", [this, box](Host::Event&) {
            Host::TextBox& text = Text(box);
            if (text.SelStart() == 0) text.SetSelLength(static_cast<int32_t>(text.Text().size()));
        });
        form.On(box, L"LostFocus", [this, box](Host::Event&) { Text(box).SetSelStart(0); });
        if (b.property != L"FileName") {
            form.On(box, L"Validate", [this, box](Host::Event& e) {
                if (!ValidateBox(box)) e.SetArg(0, true);
            });
        }
        if (b.kind == Kind::WholeNumber) {
            form.On(box, L"KeyPress", [](Host::Event& e) {
                const int16_t key = e.Int16Arg(0);
                // Digits, and the control characters: backspace and the editing shortcuts
                // (Ctrl+C, Ctrl+V, Ctrl+X, Ctrl+Z...); a pasted value is validated on leaving.
                const bool digit = key >= L'0' && key <= L'9';
                if (!digit && !(key >= 0 && key < 0x20)) e.SetArg(0, int32_t{0});
            });
        }
    }
    form.On(L"CommandFileName", L"Click", [this](Host::Event&) { Browse(); });
}

void PPRichTextBoxGeneral::MarkChanged() {
    if (!Freeze) SetChanged(true);
}

std::wstring PPRichTextBoxGeneral::CurrentText(std::wstring_view box) const {
    const Binding& b = BindingOf(box);
    const Host::Variant value = Host::LateBound::Get(First(), b.property);
    switch (b.kind) {
        case Kind::WholeNumber:
            return std::to_wstring(value.ToInt32());
        case Kind::Single:
            return PlainDecimal(value.ToFloat());
        default:
            return StringOf(value);
    }
}

void PPRichTextBoxGeneral::SelectionChanged() {
    const Common::FlagScope frozen(Freeze);
    for (const Binding& b : kBindings) {
        const std::wstring box = BoxName(b);
        switch (b.kind) {
            case Kind::Check:
                PageControl<CheckBoxW>(box).SetValue(
                    Host::LateBound::Get(First(), b.property).ToBool() ? CheckBoxW::kChecked
                                                                       : CheckBoxW::kUnchecked);
                break;
            case Kind::List: {
                Host::ComboBox& combo = Combo(box);
                const int32_t value = Host::LateBound::Get(First(), b.property).ToInt32();
                int32_t index = -1;
                for (int32_t i = 0; i < combo.ListCount() && index < 0; ++i) {
                    if (combo.ItemData(i) == value) index = i;
                }
                combo.SetListIndex(index);
                break;
            }
            default:
                Text(box).SetText(CurrentText(box));
                break;
        }
    }
}

bool PPRichTextBoxGeneral::ValidateBox(std::wstring_view box) {
    const Binding& b = BindingOf(box);
    Host::TextBox& text = Text(box);
    const std::wstring value = text.Text();
    std::optional<std::wstring> accepted;
    if (b.kind == Kind::Text) {
        if (value.size() <= 1) accepted = value;
    } else if (b.kind == Kind::WholeNumber) {
        if (std::optional<int32_t> n = WholeNumber(value); n && *n >= 0) {
            accepted = std::to_wstring(*n);
        }
    } else if (std::optional<float> f = SingleNumber(value)) {
        accepted = PlainDecimal(*f);
    }
    if (accepted) {
        if (*accepted != value) text.SetText(*accepted);
        return true;
    }
    Common::ShowMessageBox(ControlErrors::StandardDescription(ControlErrors::kInvalidPropertyValue),
                           MB_ICONHAND);
    {
        // The control's own value again: no change of the page.
        const Common::FlagScope frozen(Freeze);
        text.SetText(CurrentText(box));
    }
    FocusAll(box);
    return false;
}

void PPRichTextBoxGeneral::FocusAll(std::wstring_view box) {
    Host::TextBox& text = Text(box);
    if (text.hWnd()) SetFocus(text.hWnd());
    text.SetSelStart(0);
    text.SetSelLength(static_cast<int32_t>(text.Text().size()));
}

void PPRichTextBoxGeneral::Browse() {
    CommonDialog dialog;
    dialog.SetFlags(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    dialog.SetFilter(L"Rich Text Files (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT");
    dialog.SetDialogTitle(L"Select File");
    if (!dialog.ShowOpen()) return;
    Text(L"TextFileName").SetText(dialog.FileName());
    SetChanged(true);
}

void PPRichTextBoxGeneral::ApplyChanges() {
    try {
        PageForm()->ValidateControls();
    } catch (const ControlError& e) {
        if (e.Number() != ControlErrors::kInvalidPropertyValue) throw;
        SetChanged(true);
        return;
    }
    const std::wstring fileName = Text(L"TextFileName").Text();
    if (!fileName.empty() && !RichTextBoxBase::FileExists(fileName)) {
        Common::ShowMessageBox(kFileNameInvalid, MB_ICONEXCLAMATION);
        FocusAll(L"TextFileName");
        SetChanged(true);
        return;
    }
    try {
        // Each value is compared with the control's as it is now: an earlier write may have
        // changed a later property (TextMode empties FileName while designing).
        for (const Binding& b : kBindings) {
            const std::wstring box = BoxName(b);
            const Host::Variant current = Host::LateBound::Get(First(), b.property);
            Host::Variant value;
            switch (b.kind) {
                case Kind::Check: {
                    const bool checked = PageControl<CheckBoxW>(box).Value() == CheckBoxW::kChecked;
                    if (checked == current.ToBool()) continue;
                    value = Host::Variant::Bool(checked);
                    break;
                }
                case Kind::List: {
                    Host::ComboBox& combo = Combo(box);
                    // A list without a chosen item has no value to give.
                    if (combo.ListIndex() < 0) continue;
                    const int32_t data = combo.ItemData(combo.ListIndex());
                    if (data == current.ToInt32()) continue;
                    value = Host::Variant::Int32(data);
                    break;
                }
                case Kind::Text: {
                    const std::wstring text = Text(box).Text();
                    if (text == StringOf(current)) continue;
                    value = Host::Variant::String(text);
                    break;
                }
                case Kind::WholeNumber: {
                    const std::optional<int32_t> n = WholeNumber(Text(box).Text());
                    if (!n) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
                    if (*n == current.ToInt32()) continue;
                    value = Host::Variant::Int32(*n);
                    break;
                }
                case Kind::Single: {
                    const std::optional<float> f = SingleNumber(Text(box).Text());
                    if (!f) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
                    if (*f == current.ToFloat()) continue;
                    value = Host::Variant::Float(*f);
                    break;
                }
            }
            Host::LateBound::Put(First(), b.property, value);
        }
    } catch (...) {
        // What was not written stays on the page, unapplied.
        SetChanged(true);
        throw;
    }
}

bool PPRichTextBoxGeneral::EditSingleProperty(DISPID id) {
    std::wstring name = L"FileName";
    LPOLESTR names[] = {name.data()};
    DISPID fileName = DISPID_UNKNOWN;
    if (FAILED(First()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &fileName)) ||
        id != fileName) {
        return false;
    }
    FocusAll(L"TextFileName");
    return true;
}

namespace {

// The page's stored layout: captions on the left, the values beside them, the check boxes on
// the right; tab order down the left column, then down the right one.
const char kLayout[] = R"(# The rich text box's General page.
PaylevixLayout 1
Begin Form PPRichTextBoxGeneral
    ClientWidth = 6900
    ClientHeight = 4440
    Font = Font(Name = "Tahoma", Size = 8.25, Charset = 1, Weight = 400)
    Begin LabelW LabelFileName
        Left = 120
        Top = 165
        Width = 1380
        Height = 255
        TabIndex = 0
        Property Caption = Utf16("&File name:")
    End
    Begin TextBox TextFileName
        Left = 1560
        Top = 120
        Width = 2070
        Height = 315
        TabIndex = 1
    End
    Begin CommandButtonW CommandFileName
        Left = 3660
        Top = 120
        Width = 300
        Height = 315
        TabIndex = 2
        Property Caption = Utf16("...")
    End
    Begin LabelW LabelMousePointer
        Left = 120
        Top = 645
        Width = 1380
        Height = 255
        TabIndex = 3
        Property Caption = Utf16("Mouse &pointer:")
    End
    Begin ComboBox ComboMousePointer
        Left = 1560
        Top = 600
        Width = 2400
        Height = 315
        TabIndex = 4
    End
    Begin LabelW LabelPasswordChar
        Left = 120
        Top = 1125
        Width = 1380
        Height = 255
        TabIndex = 5
        Property Caption = Utf16("Pass&word char:")
    End
    Begin TextBox TextPasswordChar
        Left = 1560
        Top = 1080
        Width = 2400
        Height = 315
        TabIndex = 6
    End
    Begin LabelW LabelMaxLength
        Left = 120
        Top = 1605
        Width = 1380
        Height = 255
        TabIndex = 7
        Property Caption = Utf16("&Max length:")
    End
    Begin TextBox TextMaxLength
        Left = 1560
        Top = 1560
        Width = 2400
        Height = 315
        TabIndex = 8
    End
    Begin LabelW LabelScrollBars
        Left = 120
        Top = 2085
        Width = 1380
        Height = 255
        TabIndex = 9
        Property Caption = Utf16("&Scroll bars:")
    End
    Begin ComboBox ComboScrollBars
        Left = 1560
        Top = 2040
        Width = 2400
        Height = 315
        TabIndex = 10
    End
    Begin LabelW LabelBulletIndent
        Left = 120
        Top = 2565
        Width = 1380
        Height = 255
        TabIndex = 11
        Property Caption = Utf16("&Bullet indent:")
    End
    Begin TextBox TextBulletIndent
        Left = 1560
        Top = 2520
        Width = 2400
        Height = 315
        TabIndex = 12
    End
    Begin LabelW LabelTextMode
        Left = 120
        Top = 3045
        Width = 1380
        Height = 255
        TabIndex = 13
        Property Caption = Utf16("Te&xt mode:")
    End
    Begin ComboBox ComboTextMode
        Left = 1560
        Top = 3000
        Width = 2400
        Height = 315
        TabIndex = 14
    End
    Begin LabelW LabelUndoLimit
        Left = 120
        Top = 3525
        Width = 1380
        Height = 255
        TabIndex = 15
        Property Caption = Utf16("&Undo limit:")
    End
    Begin TextBox TextUndoLimit
        Left = 1560
        Top = 3480
        Width = 2400
        Height = 315
        TabIndex = 16
    End
    Begin LabelW LabelIMEMode
        Left = 120
        Top = 4005
        Width = 1380
        Height = 255
        TabIndex = 17
        Property Caption = Utf16("&IME mode:")
    End
    Begin ComboBox ComboIMEMode
        Left = 1560
        Top = 3960
        Width = 2400
        Height = 315
        TabIndex = 18
    End
    Begin CheckBoxW CheckEnabled
        Left = 4200
        Top = 120
        Width = 2580
        Height = 285
        TabIndex = 19
        Property Caption = Utf16("&Enabled")
    End
    Begin CheckBoxW CheckLocked
        Left = 4200
        Top = 420
        Width = 2580
        Height = 285
        TabIndex = 20
        Property Caption = Utf16("&Locked")
    End
    Begin CheckBoxW CheckVisualStyles
        Left = 4200
        Top = 720
        Width = 2580
        Height = 285
        TabIndex = 21
        Property Caption = Utf16("&VisualStyles")
    End
    Begin CheckBoxW CheckMouseTrack
        Left = 4200
        Top = 1020
        Width = 2580
        Height = 285
        TabIndex = 22
        Property Caption = Utf16("Mouse&Track")
    End
    Begin CheckBoxW CheckOLEDragDrop
        Left = 4200
        Top = 1320
        Width = 2580
        Height = 285
        TabIndex = 23
        Property Caption = Utf16("&OLEDragDrop")
    End
    Begin CheckBoxW CheckHideSelection
        Left = 4200
        Top = 1620
        Width = 2580
        Height = 285
        TabIndex = 24
        Property Caption = Utf16("&HideSelection")
    End
    Begin CheckBoxW CheckUseSystemPasswordChar
        Left = 4200
        Top = 1920
        Width = 2580
        Height = 285
        TabIndex = 25
        Property Caption = Utf16("UseSystemPasswordChar")
    End
    Begin CheckBoxW CheckMultiLine
        Left = 4200
        Top = 2220
        Width = 2580
        Height = 285
        TabIndex = 26
        Property Caption = Utf16("MultiLine")
    End
    Begin CheckBoxW CheckWantReturn
        Left = 4200
        Top = 2520
        Width = 2580
        Height = 285
        TabIndex = 27
        Property Caption = Utf16("WantReturn")
    End
    Begin CheckBoxW CheckDisableNoScroll
        Left = 4200
        Top = 2820
        Width = 2580
        Height = 285
        TabIndex = 28
        Property Caption = Utf16("DisableNoScroll")
    End
    Begin CheckBoxW CheckAutoURLDetect
        Left = 4200
        Top = 3120
        Width = 2580
        Height = 285
        TabIndex = 29
        Property Caption = Utf16("AutoURLDetect")
    End
    Begin CheckBoxW CheckSelectionBar
        Left = 4200
        Top = 3420
        Width = 2580
        Height = 285
        TabIndex = 30
        Property Caption = Utf16("SelectionBar")
    End
    Begin CheckBoxW CheckAllowOverType
        Left = 4200
        Top = 3720
        Width = 2580
        Height = 285
        TabIndex = 31
        Property Caption = Utf16("AllowOverType")
    End
    Begin CheckBoxW CheckOverTypeMode
        Left = 4200
        Top = 4020
        Width = 2580
        Height = 285
        TabIndex = 32
        Property Caption = Utf16("OverTypeMode")
    End
End
)";

}  // namespace
