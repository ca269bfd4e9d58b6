// Test forms: layouts written a line a control, and forms read from them with their control
// types registered.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/Pump.h"

namespace testsupport {

// One control of a layout: its type, name and bounds in twips, and further lines of its own
// ("TabIndex = 1\nProperty Style = 1"), one after each "\n".
struct LayoutControl {
    std::string type;
    std::string name;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::string lines = {};
};

// The Font lines most of the test forms carry.
inline constexpr char kArial[] = R"(Font = Font(Name = "Arial", Size = 9.75, Charset = 204))";
inline constexpr char kTahoma[] = R"(Font = Font(Name = "Tahoma", Size = 9.75, Charset = 204))";

// The text of form `name`, `width` x `height` twips inside, with `lines` of its own (font,
// colours) and `controls` in stored order.
inline std::string LayoutText(const std::string& name, int width, int height,
                              const std::vector<std::string>& lines,
                              const std::vector<LayoutControl>& controls) {
    std::string text = "PaylevixLayout 1\nBegin Form " + name +
                       "\n    ClientWidth = " + std::to_string(width) +
                       "\n    ClientHeight = " + std::to_string(height) + "\n";
    for (const std::string& line : lines)
        text += "    " + line + "\n";
    for (const LayoutControl& c : controls) {
        text += "    Begin " + c.type + " " + c.name + "\n";
        for (const auto& [attribute, value] :
             {std::pair{"Left", c.left}, std::pair{"Top", c.top}, std::pair{"Width", c.width},
              std::pair{"Height", c.height}})
            text += std::string("        ") + attribute + " = " + std::to_string(value) + "\n";
        for (size_t at = 0; at < c.lines.size();) {
            size_t end = c.lines.find('\n', at);
            if (end == std::string::npos) end = c.lines.size();
            if (end > at) text += "        " + c.lines.substr(at, end - at) + "\n";
            at = end + 1;
        }
        text += "    End\n";
    }
    return text + "End\n";
}

// A form read from `layout` (not loaded), with the types `Controls` registered first under
// their own names.
template <class... Controls>
std::unique_ptr<Host::Form> FormOf(const std::string& layout, const char* file = "test.layout") {
    (ControlTypes::Register<Controls>(Controls::kTypeName), ...);
    return Host::Form::FromText(layout, file);
}

// Shows the form modelessly in front and waits until it is the foreground window and, when
// `focus` is given, until that window has the focus; false when that does not happen.
inline bool ShowInFront(Host::Form& form, HWND focus = nullptr) {
    form.Show(Host::ShowMode::Modeless);
    SetForegroundWindow(form.Hwnd());
    if (focus) SetFocus(focus);
    return PumpUntil(
        [&] { return GetForegroundWindow() == form.Hwnd() && (!focus || GetFocus() == focus); });
}

}  // namespace testsupport
