// PPRichTextBoxGeneral: the "General" property page of the rich text box, on which a
// development environment edits the general properties of the first selected rich text box.
//
// Check boxes, lists and text boxes each stand for the property of the same name. The page
// loads them on every selection change (with Freeze set, so that loading is no change),
// validates the numeric and character boxes as the user leaves them, offers the file
// browser, and on Apply writes to the first selected control, in a fixed order, each
// property whose value on the page differs from the control's.
//
// What "numeric" means in the boxes (NumericValue): optional spaces around, an optional
// sign, decimal digits with at most one decimal separator (the user's locale's, or '.'), and
// an optional exponent ('e' or 'E', an optional sign, digits); at least one digit before the
// exponent. No thousands separators, currency symbols or hexadecimal. A whole-number box
// takes the value rounded to the nearest integer (a half to the even one), as the system's
// conversion does, and refuses what lies outside 32 bits; BulletIndent refuses what lies
// outside single precision. An accepted value is written back in plain decimal form (no
// exponent, the locale's separator).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "host/PropertyPage.h"

namespace Host {
class TextBox;
class ComboBox;
}  // namespace Host

class PPRichTextBoxGeneral final : public Host::PropertyPage {
public:
    PPRichTextBoxGeneral();

    // Makes the page known to property frames under the rich text box's page identifier.
    static void Register();

    // True while the page loads values into its controls.
    bool Freeze = false;

    // The number a box holds, by the rules above; none when it is not numeric.
    static std::optional<double> NumericValue(std::wstring_view text);

protected:
    void Initialize() override;
    void SelectionChanged() override;
    void ApplyChanges() override;
    bool EditSingleProperty(DISPID id) override;

private:
    IDispatch* First() const { return SelectedControls().front().Get(); }
    Host::TextBox& Text(std::wstring_view name) const;
    Host::ComboBox& Combo(std::wstring_view name) const;
    void HookEvents();
    void MarkChanged();
    // The control's current value of the property a box edits, as the box shows it.
    std::wstring CurrentText(std::wstring_view box) const;
    // False (and the box restored, the user told) when the box's value is refused.
    bool ValidateBox(std::wstring_view box);
    void Browse();
    void FocusAll(std::wstring_view box);
};
