#include "script/HostObject.h"

#include <cmath>
#include <string>
#include <vector>

#include "controls/base/ControlError.h"
#include "host/ControlSite.h"
#include "host/Layout.h"
#include "host/PropertyFrame.h"
#include "host/StoredValue.h"
#include "host/Units.h"
#include "script/Boxes.h"
#include "script/FormObjects.h"
#include "script/Input.h"
#include "script/Runner.h"

namespace FormScript {

namespace {

using Host::Variant;

// A value as Echo writes it: booleans as the script language spells them, Null as "Null".
std::wstring EchoText(const VARIANT& value, Language language) {
    const VARIANT& v = Deref(value);
    if (v.vt == VT_BOOL) {
        const bool b = v.boolVal != VARIANT_FALSE;
        if (language == Language::JScript) return b ? L"true" : L"false";
        return b ? L"True" : L"False";
    }
    if (v.vt == VT_NULL) return L"Null";
    if (v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND)) return L"";
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&v), VARIANT_ALPHABOOL, VT_BSTR))) {
        ControlErrors::Raise(ControlErrors::kTypeMismatch);
    }
    std::wstring s(text.bstrVal ? text.bstrVal : L"", SysStringLen(text.bstrVal));
    VariantClear(&text);
    return s;
}

// The window of a script's target: a control's form for a windowless one.
HWND TargetWindow(const VARIANT& target) {
    if (Host::ControlSite* site = SiteOf(target)) {
        return site->Hwnd() ? site->Hwnd() : site->Parent().Hwnd();
    }
    return HandleOf(target);
}

// Where a script's target lies on the screen: a control (its rectangle on its form), a form
// (its client area) or a window handle (its client area).
RECT TargetRect(const VARIANT& target) {
    RECT r{};
    POINT origin{};
    if (Host::ControlSite* site = SiteOf(target)) {
        r = site->Bounds();
        ClientToScreen(site->Parent().Hwnd(), &origin);
    } else {
        HWND hwnd = HandleOf(target);
        if (!hwnd || !IsWindow(hwnd)) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
        GetClientRect(hwnd, &r);
        ClientToScreen(hwnd, &origin);
    }
    OffsetRect(&r, origin.x, origin.y);
    return r;
}

// Arguments: target [, x, y [, button [, shift]]], x and y in twips from the top-left
// corner (the centre when omitted).
std::vector<INPUT> MouseInput(const Call& c, Input::MouseAction action) {
    c.Expect(1, 5);
    const RECT r = TargetRect(c.Arg(0));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    if (c.Has(1) || c.Has(2)) {
        p.x = r.left + Units::TwipsToPixels(c.Double(1), Units::Axis::X);
        p.y = r.top + Units::TwipsToPixels(c.Double(2), Units::Axis::Y);
    }
    // A click that no window can get is an error, not a click lost without a word.
    if (!MonitorFromPoint(p, MONITOR_DEFAULTTONULL)) {
        throw ControlError(ControlErrors::kInvalidProcedureCall, L"The point is not on the screen");
    }
    // A press inside the target waits for the target to be where it is aimed at.
    if (action != Input::MouseAction::Up && action != Input::MouseAction::Move && PtInRect(&r, p)) {
        Input::WaitUntilOnTop(p, GetAncestor(TargetWindow(c.Arg(0)), GA_ROOT));
    }
    return Input::Mouse(p, action, c.IntOr(3, 1), c.IntOr(4, 0));
}

class ArgumentsObject final : public ScriptObject {
public:
    explicit ArgumentsObject(std::vector<std::wstring> values) : values_(std::move(values)) {
        Enumerable([this] {
            std::vector<Variant> items;
            for (const std::wstring& value : values_)
                items.push_back(Variant::String(value));
            return items;
        });
        auto count = [this](const Call& c) {
            c.ReadOnly();
            return Variant::Int32(static_cast<int32_t>(values_.size()));
        };
        Add(L"Count", count);
        Add(L"length", count);
        Add(
            L"Item", [this](const Call& c) { return Item(c); }, true);
    }
    Variant Item(const Call& c) const {
        c.ReadOnly();
        c.Expect(1, 1);
        const int32_t i = c.Int(0);
        if (i < 0 || static_cast<size_t>(i) >= values_.size()) {
            ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
        }
        return Variant::String(values_[static_cast<size_t>(i)]);
    }

private:
    std::vector<std::wstring> values_;
};

class HostObject final : public ScriptObject {
public:
    HostObject(Runner& runner, Boxes& boxes) : runner_(runner), boxes_(boxes) {
        arguments_ = new ArgumentsObject(runner.GetOptions().arguments);
        argumentsRef_ = ComPtr<IDispatch>::Attach(arguments_);
        Add(L"Echo", [this](const Call& c) {
            std::wstring line;
            for (size_t i = 0; i < c.Count(); ++i) {
                if (i) line += L' ';
                line += EchoText(c.Arg(i), runner_.ScriptLanguage());
            }
            runner_.Echo(line);
            return Variant();
        });
        Add(L"Pump", [](const Call& c) {
            c.Expect(1, 1);
            const int32_t ms = c.Int(0);
            if (ms < 0) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
            Input::Pump(static_cast<DWORD>(ms));
            return Variant();
        });
        Add(L"SendKeys", [](const Call& c) {
            c.Expect(1, 1);
            std::vector<INPUT> keys = Input::ParseKeys(c.String(0));
            Input::WaitForForeground();
            Input::Send(keys);
            return Variant();
        });
        auto mouse = [](Input::MouseAction action) {
            return [action](const Call& c) {
                Input::Send(MouseInput(c, action));
                return Variant();
            };
        };
        Add(L"Click", mouse(Input::MouseAction::Click));
        Add(L"DblClick", mouse(Input::MouseAction::DblClick));
        Add(L"MouseDown", mouse(Input::MouseAction::Down));
        Add(L"MouseUp", mouse(Input::MouseAction::Up));
        Add(L"MoveMouse", [](const Call& c) {
            c.Expect(3, 3);
            Input::Send(MouseInput(c, Input::MouseAction::Move));
            return Variant();
        });
        Add(L"FocusedWindow", [](const Call& c) {
            c.ReadOnly();
            return Variant::Int32(HandleValue(GetFocus()));
        });
        Add(L"DialogKeys", [this](const Call& c) {
            c.Expect(1, 1);
            boxes_.KeysForNextDialog(c.String(0));
            return Variant();
        });
        Add(L"AnswerBoxes", [this](const Call& c) {
            c.Expect(1, 1);
            boxes_.AnswerWith(c.Int(0));
            return Variant();
        });
        Add(L"LoadPicture", [](const Call& c) {
            c.Expect(1, 1);
            const std::optional<std::string> bytes = ReadWholeFile(c.String(0));
            if (!bytes) ControlErrors::Raise(ControlErrors::kFileNotFound);
            return StoredValue::ToVariant(
                Layout::Picture{std::vector<uint8_t>(bytes->begin(), bytes->end())});
        });
        Add(L"ScriptFolder", [this](const Call& c) {
            c.ReadOnly();
            std::wstring path = runner_.GetOptions().script;
            wchar_t full[MAX_PATH * 4];
            const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
            if (n > 0 && n < MAX_PATH * 4) path = full;
            const size_t slash = path.find_last_of(L"\\/");
            return Variant::String(slash == std::wstring::npos ? L"." : path.substr(0, slash));
        });
        Add(L"LoadForm", [this](const Call& c) {
            c.Expect(1, 1);
            Host::Form& form = runner_.LoadForm(c.String(0));
            return Variant::Object(runner_.ObjectOf(form));
        });
        Add(L"Arguments", [this](const Call& c) {
            c.ReadOnly();
            if (c.Count() == 0) return Variant::Object(argumentsRef_.Get());
            return arguments_->Item(c);
        });
        Add(L"Quit", [this](const Call& c) -> Variant {
            c.Expect(0, 1);
            runner_.Quit(c.IntOr(0, 0));
        });
        Add(L"ShowPropertyPages", [](const Call& c) {
            c.Expect(1, 2);
            Host::ControlSite* site = SiteOf(c.Arg(0));
            if (!site) ControlErrors::Raise(ControlErrors::kTypeMismatch);
            // Pages edit a control as it is being designed: its form is in design mode
            // while the frame is shown.
            Host::Form& form = site->Parent();
            const bool userMode = form.UserMode();
            form.SetUserMode(false);
            struct Restore {
                Host::Form& form;
                bool userMode;
                ~Restore() { form.SetUserMode(userMode); }
            } restore{form, userMode};
            IUnknown* objects[] = {site->Object()};
            const int result =
                Host::ShowPropertyFrame(form.Hwnd(), site->Name() + L" Properties", objects,
                                        c.Has(1) ? c.String(1) : std::wstring());
            return Variant::Bool(result == IDOK);
        });
        Add(L"SendMessage", [](const Call& c) {
            c.Expect(4, 4);
            const LRESULT r = SendMessageW(HandleOf(c.Arg(0)), static_cast<UINT>(c.Int(1)),
                                           static_cast<WPARAM>(static_cast<intptr_t>(c.Int(2))),
                                           static_cast<LPARAM>(c.Int(3)));
            return Variant::Int32(static_cast<int32_t>(r));
        });
        Add(L"GetWindowLong", [](const Call& c) {
            c.Expect(2, 2);
            return Variant::Int32(
                static_cast<int32_t>(GetWindowLongPtrW(HandleOf(c.Arg(0)), c.Int(1))));
        });
        Add(L"ClassName", [](const Call& c) {
            c.Expect(1, 1);
            wchar_t name[256] = {};
            GetClassNameW(HandleOf(c.Arg(0)), name, 256);
            return Variant::String(name);
        });
        Add(L"WindowText", [](const Call& c) {
            c.Expect(1, 1);
            HWND hwnd = HandleOf(c.Arg(0));
            std::wstring text(static_cast<size_t>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0)) + 1,
                              L'\0');
            text.resize(static_cast<size_t>(SendMessageW(hwnd, WM_GETTEXT, text.size(),
                                                         reinterpret_cast<LPARAM>(text.data()))));
            return Variant::String(text);
        });
        Add(L"Pixel", [](const Call& c) {
            c.Expect(3, 3);
            HWND hwnd = HandleOf(c.Arg(0));
            if (!IsWindow(hwnd)) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
            // What the window shows: painted now, children included.
            RedrawWindow(hwnd, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
            HDC dc = GetDC(hwnd);
            const COLORREF color = GetPixel(dc, c.Int(1), c.Int(2));
            ReleaseDC(hwnd, dc);
            if (color == CLR_INVALID) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
            return Variant::Int32(static_cast<int32_t>(color));
        });
        Add(L"ClipboardText", [](const Call& c) {
            c.ReadOnly();
            std::wstring text;
            if (OpenClipboard(nullptr)) {
                if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                    if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
                        text.assign(p, wcsnlen(p, GlobalSize(data) / sizeof(wchar_t)));
                        GlobalUnlock(data);
                    }
                }
                CloseClipboard();
            }
            return Variant::String(text);
        });
    }

private:
    Runner& runner_;
    Boxes& boxes_;
    ArgumentsObject* arguments_;  // held by argumentsRef_
    ComPtr<IDispatch> argumentsRef_;
};

}  // namespace

ComPtr<IDispatch> NewHostObject(Runner& runner, Boxes& boxes) {
    return ComPtr<IDispatch>::Attach(new HostObject(runner, boxes));
}

}  // namespace FormScript
