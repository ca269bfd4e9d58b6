// What the rich text box's tests share: a form of rich text boxes, late-bound calls by
// member name, and a recorder of the messages the control sends to its rich edit window.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <memory>
#include <string>
#include <vector>

#include "host/Form.h"
#include "host/Variant.h"
#include "tests/support/FormLayout.h"

class RichTextBox;

namespace richtexttest {

// A form (9000 x 6000 twips) holding `controls` (see Box), loaded by the caller.
std::unique_ptr<Host::Form> FormOf(const std::vector<testsupport::LayoutControl>& controls,
                                   bool userMode = true);
// A rich text box of 3000 x 1500 twips at the form's corner, with extra property lines.
testsupport::LayoutControl Box(const std::string& name, const std::string& properties = {});
// The property line of a box of several lines (a stored box without it has one).
inline constexpr char kMultiLine[] = "Property MultiLine = True";

// A member invoked by name: the HRESULT and result, with the error's number and text.
struct Call {
    HRESULT hr = S_OK;
    int32_t number = 0;
    std::wstring description;
    Host::Variant result;
};
// Arguments in their written order (for an assignment the value last).
Call Invoke(Host::Form& form, const wchar_t* control, const wchar_t* member, WORD flags,
            const std::vector<Host::Variant>& given = {});

Host::Variant I4(int32_t value);
Host::Variant R8(double value);
Host::Variant Str(const wchar_t* text);
Host::Variant Null();

// A loaded form with one multi-line box "rtbText" holding `text`; unloaded at the end.
struct LoadedBox {
    explicit LoadedBox(const wchar_t* text);
    ~LoadedBox();
    std::unique_ptr<Host::Form> form;
    RichTextBox* box = nullptr;

    void Select(int32_t start, int32_t end);
    CHARRANGE Selection() const;
    Call Get(const wchar_t* member, const std::vector<Host::Variant>& index = {});
    Call Put(const wchar_t* member, const std::vector<Host::Variant>& indexAndValue);
    Call Do(const wchar_t* member, const std::vector<Host::Variant>& args = {});
};

// The edit messages sent to a rich edit window, recorded ahead of the control's own subclass:
// install with SetWindowSubclass(window, Recorder::Proc, id, &vector).
struct Recorder {
    struct Sent {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
        bool operator==(const Sent&) const = default;
    };
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR data);
};

}  // namespace richtexttest
