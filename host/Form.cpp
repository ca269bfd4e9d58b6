#include "host/Form.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cwctype>

#include "controls/base/Common.h"
#include "host/ControlObject.h"
#include "host/ControlTypes.h"
#include "host/DispatchObject.h"
#include "host/DropTarget.h"
#include "host/FormAccessible.h"
#include "host/FormFrame.h"
#include "host/FormInput.h"
#include "host/Program.h"
#include "host/StoredValue.h"
#include "host/Units.h"
#include "host/WindowClass.h"

namespace Host {

namespace {

// Posted to a form whose teardown had to wait for the events in progress to return.
constexpr UINT kTeardownMessage = WM_APP + 0x2A1;

std::wstring Upper(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(std::towupper(c));
    return out;
}

std::wstring HandlerKey(std::wstring_view control, std::wstring_view event) {
    return Upper(control) + L"|" + Upper(event);
}

// The font a form offers when its layout names none: the system's message font.
ComPtr<IFontDisp> DefaultFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    Layout::Font font;
    font.name = u"MS Sans Serif";
    font.size = 82500;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) &&
        metrics.lfMessageFont.lfFaceName[0]) {
        font.name = StoredValue::Utf16(metrics.lfMessageFont.lfFaceName);
        const LONG height = std::abs(metrics.lfMessageFont.lfHeight);
        if (height > 0) {
            font.size = static_cast<int64_t>(
                std::llround(height * 72.0 * 10000.0 / Units::Dpi(Units::Axis::Y)));
        }
        font.weight = static_cast<int16_t>(metrics.lfMessageFont.lfWeight);
        font.charset = metrics.lfMessageFont.lfCharSet;
    }
    Variant v = StoredValue::FontObject(font);
    ComPtr<IFontDisp> result;
    v.Get().pdispVal->QueryInterface(IID_IFontDisp, result.PutVoid());
    return result;
}

std::string Narrow(std::wstring_view s) {
    return StoredValue::Utf8FromWide(s);
}

// The windows a modal form disables: visible, enabled top-level windows of the thread other
// than the form, its own popups and the hidden main window.
struct ModalCollect {
    HWND self;
    HWND main;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectModalBlocked(HWND w, LPARAM p) {
    auto* c = reinterpret_cast<ModalCollect*>(p);
    if (w != c->self && w != c->main && IsWindowVisible(w) && IsWindowEnabled(w) &&
        GetWindow(w, GW_OWNER) != c->self) {
        c->windows.push_back(w);
    }
    return TRUE;
}

}  // namespace

// --- construction and handlers -------------------------------------------------------------

Form::Form(Layout::FormLayout layout)
    : layout_(std::move(layout)), name_(StoredValue::WideFromUtf8(layout_.name)) {
    for (const Layout::ControlLayout& c : layout_.controls) {
        if (!ControlTypes::IsRegistered(StoredValue::WideFromUtf8(c.type))) {
            throw Layout::LayoutError(layout_.file, c.line, 1,
                                      "unknown control type \"" + c.type + "\"");
        }
    }
}

std::unique_ptr<Form> Form::FromText(std::string_view text, std::string_view fileName) {
    return std::make_unique<Form>(Layout::Parse(text, fileName));
}

std::unique_ptr<Form> Form::FromResource(HMODULE module, const wchar_t* name, const wchar_t* type) {
    HRSRC resource = FindResourceW(module, name, type);
    HGLOBAL data = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    const std::string file = IS_INTRESOURCE(name)
                                 ? "resource " + std::to_string(reinterpret_cast<UINT_PTR>(name))
                                 : "resource " + Narrow(name);
    if (!bytes) throw Layout::LayoutError(file, 1, 1, "the layout resource is missing");
    return FromText(
        std::string_view(static_cast<const char*>(bytes), SizeofResource(module, resource)), file);
}

Form::~Form() {
    if (loaded_ || unloadPending_ || hwnd_) Teardown();
    if (object_) object_->Detach();
}

ComPtr<IDispatch> Form::Object() {
    if (!object_) {
        using M = DispatchObject::Member;
        auto none = [](std::span<const Variant>) { return Variant(); };
        std::vector<M> members = {
            {L"Name", [this] { return Variant::String(name_); }},
            {L"Caption", [this] { return Variant::String(Caption()); },
             [this](const Variant& v) { SetCaption(v.ToString()); }},
            {L"hWnd", [this] { return Variant::Int32(HandleToLong(hwnd_)); }},
            {L"Visible", [this] { return Variant::Bool(Visible()); }},
            {L"ScaleWidth", [this] { return Variant::Double(ScaleWidth()); }},
            {L"ScaleHeight", [this] { return Variant::Double(ScaleHeight()); }},
            {L"BackColor", [this] { return Variant::Int32(static_cast<int32_t>(BackColor())); }},
            {L"ForeColor", [this] { return Variant::Int32(static_cast<int32_t>(ForeColor())); }},
            {L"ActiveControl",
             [this] {
                 ControlSite* site = loaded_ ? ActiveControl() : nullptr;
                 return Variant::Object(site ? site->ExtenderObject().Get() : nullptr);
             }},
            {L"Hide",
             {},
             {},
             [this, none](std::span<const Variant> args) {
                 Hide();
                 return none(args);
             }},
            {L"ValidateControls",
             {},
             {},
             [this, none](std::span<const Variant> args) {
                 ValidateControls();
                 return none(args);
             }},
        };
        object_ = DispatchObject::Create(name_, std::move(members));
    }
    return ComPtr<IDispatch>(object_.Get());
}

void Form::operator delete(Form* form, std::destroying_delete_t) {
    if (form->hwnd_ && (EventsInProgress() > 0 || form->modalLoops_ > 0)) {
        form->deletePending_ = true;
        if (!form->unloadPending_) form->DeferTeardown();
        return;
    }
    form->~Form();
    ::operator delete(form);
}

void Form::On(std::wstring_view controlName, std::wstring_view eventName, EventHandler handler) {
    handlers_[HandlerKey(controlName, eventName)].push_back(std::move(handler));
}

void Form::OnForm(std::wstring_view eventName, EventHandler handler) {
    handlers_[HandlerKey(L"", eventName)].push_back(std::move(handler));
}

int Form::EventDepth() {
    return EventsInProgress();
}

void Form::RaiseEvent(ControlSite* source, std::wstring_view name, DISPID id,
                      std::span<EventArg> args) {
    Event event(*this, source, name, id, args);
    const std::wstring key = HandlerKey(source ? std::wstring_view(source->Name()) : L"", name);
    const auto it = handlers_.find(key);
    const std::vector<EventHandler>* lists[] = {it != handlers_.end() ? &it->second : nullptr,
                                                &anyHandlers_};
    RunHandlers(event, lists);
    if (EventsInProgress() == 0 && (unloadPending_ || !removed_.empty()) && hwnd_) {
        PostMessageW(hwnd_, kTeardownMessage, 0, 0);
    }
}

// --- life ------------------------------------------------------------------------------------

void Form::Load() {
    if (loaded_) return;
    if (unloadPending_) Teardown();
    // The hidden main window carries the process marker of the in-place hooks, which the
    // controls install while they load.
    Program::MainWindow();
    font_ = layout_.font ? ComPtr<IFontDisp>() : DefaultFont();
    if (layout_.font) {
        Variant v = StoredValue::FontObject(*layout_.font);
        v.Get().pdispVal->QueryInterface(IID_IFontDisp, font_.PutVoid());
    }
    CreateWindowFromLayout();
    FormInput::AddForm();
    frame_ = FormFrame::Create(hwnd_);
    try {
        for (const Layout::ControlLayout& c : layout_.controls) {
            try {
                CreateSite(c, true);
            } catch (const ControlError& e) {
                throw Layout::LayoutError(layout_.file, c.line, 1,
                                          "control \"" + c.name + "\": " + Narrow(e.Description()));
            }
        }
    } catch (...) {
        Teardown();
        throw;
    }
    ApplyDefaultAndCancel();
    loaded_ = true;
    if (loadHandler_) {
        EventScope depth;
        loadHandler_();
    }
    // Deleted by the handler: the caller (Show) still runs on this form; the posted
    // teardown ends it.
    if (EventsInProgress() == 0 && unloadPending_ && !deletePending_) Teardown();
}

void Form::CreateWindowFromLayout() {
    WindowClass::Register(kWindowClass, WindowClass::Forward<Form, &Form::WindowProc>);
    DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    bool minMax = false;
    switch (layout_.borderStyle) {
        case 0:
            style |= WS_POPUP;
            break;
        case 1:
            style |= WS_OVERLAPPED | WS_CAPTION;
            minMax = true;
            break;
        case 2:
            style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
            minMax = true;
            break;
        case 3:
            style |= WS_POPUP | WS_CAPTION;
            exStyle |= WS_EX_DLGMODALFRAME;
            break;
        case 4:
            style |= WS_POPUP | WS_CAPTION;
            exStyle |= WS_EX_TOOLWINDOW;
            break;
        default:
            style |= WS_POPUP | WS_CAPTION | WS_THICKFRAME;
            exStyle |= WS_EX_TOOLWINDOW;
            break;
    }
    if (parentWindow_) {
        // A page inside its frame: the frame's dialog navigation may step into it.
        style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
        exStyle = WS_EX_CONTROLPARENT;
    }
    if (!parentWindow_ && layout_.borderStyle != 0 && layout_.controlBox) style |= WS_SYSMENU;
    if (minMax && layout_.controlBox && layout_.minButton) style |= WS_MINIMIZEBOX;
    if (minMax && layout_.controlBox && layout_.maxButton) style |= WS_MAXIMIZEBOX;
    // A form left out of the taskbar is owned by the hidden main window, which has no button.
    HWND owner = parentWindow_;
    if (parentWindow_) {
    } else if (layout_.showInTaskbar) {
        exStyle |= WS_EX_APPWINDOW;
    } else {
        owner = Program::MainWindow();
    }

    RECT r{0, 0, Units::TwipsToPixels(layout_.clientWidth, Units::Axis::X),
           Units::TwipsToPixels(layout_.clientHeight, Units::Axis::Y)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    if (parentWindow_) {
        x = y = 0;
    } else if (layout_.startUpPosition == 0) {
        x = Units::TwipsToPixels(layout_.left, Units::Axis::X);
        y = Units::TwipsToPixels(layout_.top, Units::Axis::Y);
    } else if (layout_.startUpPosition == 1 || layout_.startUpPosition == 2) {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        x = work.left + (work.right - work.left - width) / 2;
        y = work.top + (work.bottom - work.top - height) / 2;
    }
    const std::wstring caption = StoredValue::Wide(layout_.caption);
    hwnd_ = CreateWindowExW(exStyle, kWindowClass, caption.c_str(), style, x, y, width, height,
                            owner, nullptr, Program::Instance(), this);
    if (!hwnd_) ControlErrors::Raise(ControlErrors::kOutOfMemory);
    if (layout_.icon) {
        // Shared icons: the system keeps them for the process, nothing to free.
        const auto id = MAKEINTRESOURCEW(layout_.icon);
        if (HANDLE big =
                LoadImageW(Program::Instance(), id, IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                           GetSystemMetrics(SM_CYICON), LR_SHARED)) {
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        }
        if (HANDLE small =
                LoadImageW(Program::Instance(), id, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                           GetSystemMetrics(SM_CYSMICON), LR_SHARED)) {
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
        }
    }
}

ControlSite& Form::CreateSite(const Layout::ControlLayout& layout, bool fromLayout) {
    const std::wstring type = StoredValue::WideFromUtf8(layout.type);
    std::unique_ptr<HostedControl> control = ControlTypes::Create(type);
    if (!control)
        throw ControlError(ControlErrors::kInvalidClassString, L"Invalid class string: " + type);
    ComPtr<ControlObject> object = ControlObject::Create(std::move(control));
    sites_.push_back(std::make_unique<ControlSite>(*this, layout, object, type));
    ControlSite& site = *sites_.back();
    order_.push_back(&site);
    if (site.Windowless()) paintOrder_.push_back(&site);
    site.Create();
    site.Load(fromLayout);
    UpdateToolTip(site);
    if (site.Windowless()) InvalidateSite(site);
    return site;
}

void Form::ApplyDefaultAndCancel() {
    defaultSite_ = cancelSite_ = nullptr;
    for (ControlSite* site : order_) {
        if (site->StoredLayout().isDefault && !defaultSite_) defaultSite_ = site;
        if (site->StoredLayout().isCancel && !cancelSite_) cancelSite_ = site;
    }
    UpdateDisplayAsDefault();
}

void Form::Show(ShowMode mode, HWND owner) {
    Load();
    if (!hwnd_ || !loaded_) return;
    if (layout_.startUpPosition == 1 && owner && IsWindow(owner)) {
        RECT o, me;
        GetWindowRect(owner, &o);
        GetWindowRect(hwnd_, &me);
        SetWindowPos(hwnd_, nullptr, o.left + ((o.right - o.left) - (me.right - me.left)) / 2,
                     o.top + ((o.bottom - o.top) - (me.bottom - me.top)) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (mode == ShowMode::Modeless) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        UpdateWindow(hwnd_);
        return;
    }

    // Modal: every other window of the thread waits.
    HWND previous = GetActiveWindow();
    ModalCollect collect{hwnd_, Program::MainWindow(), {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectModalBlocked,
                      reinterpret_cast<LPARAM>(&collect));
    if (owner && IsWindow(owner) && IsWindowEnabled(owner) &&
        std::find(collect.windows.begin(), collect.windows.end(), owner) == collect.windows.end()) {
        collect.windows.push_back(owner);
    }
    for (HWND w : collect.windows)
        EnableWindow(w, FALSE);

    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    MSG msg;
    ++modalLoops_;
    while (loaded_ && !unloadPending_ && hwnd_ && IsWindowVisible(hwnd_)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            break;
        }
        if (got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    --modalLoops_;
    for (HWND w : collect.windows) {
        if (IsWindow(w)) EnableWindow(w, TRUE);
    }
    if (previous && previous != hwnd_ && IsWindow(previous) && IsWindowVisible(previous)) {
        SetActiveWindow(previous);
    }
    // Deleted while the loop ran: the object goes once the caller's events have returned.
    if (deletePending_) PostMessageW(hwnd_, kTeardownMessage, 0, 0);
}

void Form::Hide() {
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_HIDE);
    Common::ClearOwnActiveWindow(hwnd_);
    // Wakes a modal loop that waits for a message.
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

bool Form::Unload() {
    return QueryUnloadAndUnload(kUnloadFromCode);
}

bool Form::QueryUnloadAndUnload(int32_t mode) {
    if (!loaded_) return true;
    bool cancel = false;
    {
        std::array<EventArg, 2> args{EventArg::ByRef(cancel),
                                     EventArg::ByVal(static_cast<int16_t>(mode))};
        RaiseEvent(nullptr, L"QueryUnload", 0, args);
        for (const EventArg& a : args)
            a.WriteBack();
    }
    if (cancel) return false;
    {
        std::array<EventArg, 1> args{EventArg::ByRef(cancel)};
        RaiseEvent(nullptr, L"Unload", 0, args);
        args[0].WriteBack();
    }
    if (cancel) return false;
    loaded_ = false;
    if (EventsInProgress() > 0) {
        DeferTeardown();
    } else {
        Teardown();
    }
    return true;
}

void Form::DeferTeardown() {
    // A handler further up the stack may still be inside one of the controls: the controls
    // and windows go once every event in progress has returned.
    loaded_ = false;
    unloadPending_ = true;
    ShowWindow(hwnd_, SW_HIDE);
    Common::ClearOwnActiveWindow(hwnd_);
    PostMessageW(hwnd_, kTeardownMessage, 0, 0);
}

void Form::Teardown() {
    unloadPending_ = false;
    loaded_ = false;
    dragSite_ = nullptr;  // a drag in progress just ends: nobody is told any more
    dragTarget_.reset();
    if (mouseSite_ && GetCapture() == hwnd_) ReleaseCapture();
    mouseSite_ = nullptr;
    // The frame lets go of the active object while it still stands for its control.
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    // Destroying a focused control's window moves the focus while its neighbours are half
    // gone: forget the focused and default sites first (OnSiteFocus ignores an unloading form).
    activeSite_ = defaultSite_ = cancelSite_ = displayedDefault_ = dragSite_ = nullptr;
    TerminateRemoved();
    for (auto it = sites_.rbegin(); it != sites_.rend(); ++it)
        (*it)->Terminate();
    dragTarget_.reset();
    order_.clear();
    paintOrder_.clear();
    sites_.clear();
    if (frame_) {
        frame_->Detach();
        frame_.Reset();
    }
    toolTip_ = nullptr;  // owned by the form's window
    if (hwnd_) {
        // OLE would keep the windowless controls' target, pointing at this form, past the
        // window; and a form loaded again must register afresh.
        if (dropTarget_) {
            RevokeDragDrop(hwnd_);
            dropTarget_->Detach();
            dropTarget_.Reset();
        }
        HWND hwnd = std::exchange(hwnd_, nullptr);
        Common::ClearOwnActiveWindow(hwnd);
        WindowClass::Release(hwnd);
        DestroyWindow(hwnd);
        FormInput::RemoveForm();
    }
    lastFocus_ = nullptr;
    font_.Reset();
}

// --- properties ------------------------------------------------------------------------------

std::wstring Form::Caption() const {
    if (!hwnd_) return StoredValue::Wide(layout_.caption);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Form::SetCaption(std::wstring_view caption) {
    layout_.caption = StoredValue::Utf16(caption);
    if (hwnd_) SetWindowTextW(hwnd_, std::wstring(caption).c_str());
}

ComPtr<IFontDisp> Form::Font() const {
    if (font_) return font_;
    return DefaultFont();
}

double Form::ScaleWidth() const {
    RECT r{};
    if (hwnd_) GetClientRect(hwnd_, &r);
    return hwnd_ ? Units::PixelsToTwips(r.right, Units::Axis::X) : layout_.clientWidth;
}

double Form::ScaleHeight() const {
    RECT r{};
    if (hwnd_) GetClientRect(hwnd_, &r);
    return hwnd_ ? Units::PixelsToTwips(r.bottom, Units::Axis::Y) : layout_.clientHeight;
}

// --- controls ------------------------------------------------------------------------------

ControlSite* Form::FindSite(std::wstring_view name) const {
    for (ControlSite* site : order_) {
        if (CompareStringOrdinal(site->Name().c_str(), -1, std::wstring(name).c_str(), -1, TRUE) ==
            CSTR_EQUAL) {
            return site;
        }
    }
    return nullptr;
}

ControlSite& Form::Site(std::wstring_view name) const {
    ControlSite* site = FindSite(name);
    if (!site)
        throw ControlError(ControlErrors::kControlNotFound,
                           L"Control '" + std::wstring(name) + L"' not found");
    return *site;
}

ControlSite& Form::AddControl(std::wstring_view typeName, std::wstring_view name, int32_t left,
                              int32_t top, int32_t width, int32_t height) {
    if (!loaded_) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    const std::string narrowName = Narrow(name);
    if (!Layout::IsIdentifier(narrowName) ||
        CompareStringOrdinal(std::wstring(name).c_str(), -1, name_.c_str(), -1, TRUE) ==
            CSTR_EQUAL) {
        ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    }
    if (FindSite(name)) {
        throw ControlError(
            ControlErrors::kDuplicateName,
            L"There is already a control with the name '" + std::wstring(name) + L"'");
    }
    if (width < 0 || height < 0) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    Layout::ControlLayout layout;
    layout.type = Narrow(typeName);
    layout.name = narrowName;
    layout.left = left;
    layout.top = top;
    layout.width = width;
    layout.height = height;
    int16_t next = 0;
    for (ControlSite* site : order_) {
        if (site->StoredLayout().tabIndex) {
            next =
                std::max<int16_t>(next, static_cast<int16_t>(*site->StoredLayout().tabIndex + 1));
        }
    }
    layout.tabIndex = next;
    return CreateSite(layout, false);
}

void Form::RemoveControl(std::wstring_view name) {
    ControlSite& site = Site(name);
    if (site.Windowless()) InvalidateSite(site);
    if (dragSite_ == &site) EndDrag(false);
    if (dragTarget_ && *dragTarget_ == &site) dragTarget_.reset();
    if (mouseSite_ == &site) {
        mouseSite_ = nullptr;
        if (GetCapture() == hwnd_) ReleaseCapture();
    }
    for (ControlSite** p : {&activeSite_, &defaultSite_, &cancelSite_, &displayedDefault_}) {
        if (*p == &site) *p = nullptr;
    }
    if (site.Hwnd()) {
        // The focus leaves for the form before the window goes, not to a half-gone neighbour.
        if (HWND focus = GetFocus(); focus && site.ContainsWindow(focus)) ::SetFocus(hwnd_);
        if (lastFocus_ && site.ContainsWindow(lastFocus_)) lastFocus_ = nullptr;
        ShowWindow(site.Hwnd(), SW_HIDE);
    }
    std::erase(order_, &site);
    std::erase(paintOrder_, &site);
    auto owned =
        std::find_if(sites_.begin(), sites_.end(),
                     [&](const std::unique_ptr<ControlSite>& s) { return s.get() == &site; });
    removed_.push_back(std::move(*owned));
    sites_.erase(owned);
    UpdateWindowlessDropTarget();
    if (EventsInProgress() == 0) TerminateRemoved();
}

void Form::TerminateRemoved() {
    std::vector<std::unique_ptr<ControlSite>> removed = std::move(removed_);
    for (const std::unique_ptr<ControlSite>& site : removed)
        site->Terminate();
}

ControlSite* Form::ActiveControl() const {
    if (ControlSite* focused = FocusedSite()) return focused;
    return activeSite_;
}

Form* Form::FromWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    DWORD pid = 0;
    if (GetWindowThreadProcessId(hwnd, &pid) != GetCurrentThreadId()) return nullptr;
    wchar_t cls[64];
    if (!GetClassNameW(hwnd, cls, 64) || std::wstring_view(cls) != kWindowClass) return nullptr;
    auto* form = static_cast<Form*>(WindowClass::OwnerOf(hwnd));
    return form && form->hwnd_ == hwnd ? form : nullptr;
}

Form* Form::Containing(HWND hwnd) {
    for (HWND w = hwnd; w;
         w = (GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr) {
        if (Form* form = FromWindow(w)) return form;
    }
    return nullptr;
}

void Form::SetUserMode(bool userMode) {
    if (userMode == userMode_) return;
    userMode_ = userMode;
    if (!loaded_) return;
    for (ControlSite* site : order_)
        site->NotifyAmbientChanged(DISPID_AMBIENT_USERMODE);
}

ControlSite* Form::SiteOfWindow(HWND hwnd) const {
    if (!hwnd) return nullptr;
    for (ControlSite* site : order_) {
        if (site->ContainsWindow(hwnd)) return site;
    }
    return nullptr;
}

ControlSite* Form::FocusedSite() const {
    return SiteOfWindow(GetFocus());
}

std::vector<ControlSite*> Form::TabOrder() const {
    std::vector<ControlSite*> order = order_;
    std::stable_sort(order.begin(), order.end(), [](ControlSite* a, ControlSite* b) {
        return a->StoredLayout().tabIndex.value_or(INT16_MAX) <
               b->StoredLayout().tabIndex.value_or(INT16_MAX);
    });
    return order;
}

void Form::RenumberTabIndex(ControlSite& site, int16_t index) {
    std::vector<ControlSite*> order = TabOrder();
    order.erase(std::find(order.begin(), order.end(), &site));
    const size_t at = std::min<size_t>(static_cast<size_t>(index), order.size());
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(at), &site);
    for (size_t i = 0; i < order.size(); ++i) {
        order[i]->EditLayout().tabIndex = static_cast<int16_t>(i);
    }
}

// --- focus and validation ------------------------------------------------------------------

bool Form::ValidateSite(ControlSite& site) {
    if (validating_) return true;
    validating_ = true;
    bool cancel = false;
    std::array<EventArg, 1> args{EventArg::ByRef(cancel)};
    RaiseEvent(&site, L"Validate", 0, args);
    args[0].WriteBack();
    validating_ = false;
    return !cancel;
}

void Form::ValidateControls() {
    ControlSite* site = FocusedSite();
    if (!site) site = activeSite_;
    if (site && !ValidateSite(*site)) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
}

bool Form::MoveFocusTo(ControlSite& target) {
    if (!target.CanTakeFocus()) return false;
    ControlSite* current = FocusedSite();
    if (current && current != &target && target.StoredLayout().causesValidation &&
        !ValidateSite(*current)) {
        return false;
    }
    if (!target.ContainsWindow(GetFocus())) ::SetFocus(target.Hwnd());
    return true;
}

bool Form::TabFocus(bool forward) {
    const std::vector<ControlSite*> order = TabOrder();
    auto eligible = [](ControlSite* s) { return s->CanTakeFocus() && s->StoredLayout().tabStop; };
    ControlSite* current = FocusedSite();
    const size_t n = order.size();
    if (n == 0) return false;
    size_t start;
    if (current) {
        start = static_cast<size_t>(std::find(order.begin(), order.end(), current) - order.begin());
    } else {
        start = forward ? n - 1 : 0;  // the first step lands on the first (or last) control
    }
    for (size_t step = 1; step <= n; ++step) {
        const size_t i = forward ? (start + step) % n : (start + n - step % n) % n;
        if (order[i] == current) break;
        if (eligible(order[i])) return MoveFocusTo(*order[i]);
    }
    return false;
}

void Form::OnSiteFocus(ControlSite& site) {
    if (!loaded_) return;
    if (&site == activeSite_) {
        ActiveObjectFor(site);
        return;
    }
    ControlSite* before = activeSite_;
    activeSite_ = &site;
    ActiveObjectFor(site);
    UpdateDisplayAsDefault();
    if (before) {
        before->Control().ExitFocus();
        RaiseEvent(before, L"LostFocus", 0, {});
    }
    site.Control().EnterFocus();
    RaiseEvent(&site, L"GotFocus", 0, {});
}

void Form::RestoreFocus() {
    if (!loaded_) return;
    if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) &&
        IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) {
        ::SetFocus(lastFocus_);
        return;
    }
    for (ControlSite* site : TabOrder()) {
        if (site->CanTakeFocus() && site->StoredLayout().tabStop) {
            ::SetFocus(site->Hwnd());
            return;
        }
    }
}

void Form::OnControlInfoChanged(ControlSite&) {
    // Keyboard information is asked for afresh on every key that needs it; nothing is kept.
    ++controlInfoChanges_;
}

IOleInPlaceActiveObject* Form::ActiveObjectFor(ControlSite& site) {
    if (!frame_) return nullptr;
    if (IOleInPlaceActiveObject* current = frame_->ActiveObject()) {
        HWND window = nullptr;
        if (SUCCEEDED(current->GetWindow(&window)) && site.ContainsWindow(window)) return current;
    }
    frame_->ActivateControl(site.Object());
    return frame_->ActiveObject();
}

IOleInPlaceFrame* Form::Frame() const {
    return frame_.Get();
}

// --- default and cancel buttons ------------------------------------------------------------

ControlSite* Form::DisplayedDefault() const {
    if (activeSite_ && activeSite_->Control().DefaultCancel() && FocusedSite() == activeSite_) {
        return activeSite_;
    }
    return defaultSite_;
}

ControlSite* Form::DefaultSite() const {
    return defaultSite_;
}
ControlSite* Form::CancelSite() const {
    return cancelSite_;
}

void Form::SetDefaultSite(ControlSite* site) {
    defaultSite_ = site;
    for (ControlSite* s : order_) {
        s->EditLayout().isDefault = s == site;
    }
    UpdateDisplayAsDefault();
}

void Form::SetCancelSite(ControlSite* site) {
    cancelSite_ = site;
    for (ControlSite* s : order_) {
        s->EditLayout().isCancel = s == site;
    }
}

void Form::UpdateDisplayAsDefault() {
    ControlSite* now = DisplayedDefault();
    if (now == displayedDefault_) return;
    ControlSite* old = std::exchange(displayedDefault_, now);
    if (old) old->NotifyAmbientChanged(DISPID_AMBIENT_DISPLAYASDEFAULT);
    if (now) now->NotifyAmbientChanged(DISPID_AMBIENT_DISPLAYASDEFAULT);
}

// --- layout ------------------------------------------------------------------------------------

Layout::FormLayout Form::SaveLayout() {
    if (!loaded_) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    Layout::FormLayout out = layout_;
    out.caption = StoredValue::Utf16(Caption());
    out.controls.clear();
    for (ControlSite* site : order_)
        out.controls.push_back(site->Save());
    return out;
}

// --- windowless controls, z-order, tooltips, drag --------------------------------------------

void Form::InvalidateSite(const ControlSite& site) {
    if (!hwnd_) return;
    const RECT r = site.Bounds();
    InvalidateRect(hwnd_, &r, TRUE);
}

void Form::ZOrder(ControlSite& site, int32_t position) {
    if (site.Hwnd()) {
        SetWindowPos(site.Hwnd(), position == 0 ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    auto it = std::find(paintOrder_.begin(), paintOrder_.end(), &site);
    if (it == paintOrder_.end()) return;
    paintOrder_.erase(it);
    if (position == 0) {
        paintOrder_.push_back(&site);
    } else {
        paintOrder_.insert(paintOrder_.begin(), &site);
    }
    InvalidateSite(site);
}

void Form::PaintBackground(HDC dc) {
    RECT r;
    GetClientRect(hwnd_, &r);
    PaintSurface{dc, r.right, r.bottom}.DrawBox(0, 0, r.right, r.bottom,
                                                Common::DrawColor(BackColor()), true);
}

void Form::PaintInto(HDC dc, bool erase) {
    if (!dc) return;
    if (erase) PaintBackground(dc);
    // The caller's clipping and origin say which part it wants; everything when it clips
    // nothing away.
    RECT update;
    GetClientRect(hwnd_, &update);
    RECT clip;
    if (GetClipBox(dc, &clip) > NULLREGION) IntersectRect(&update, &update, &clip);
    PaintWindowless(dc, update);
}

void Form::PaintWindowless(HDC dc, const RECT& update) {
    for (ControlSite* site : paintOrder_) {
        if (!site->StoredLayout().visible) continue;
        const RECT b = site->Bounds();
        RECT overlap;
        if (!IntersectRect(&overlap, &b, &update)) continue;
        const int w = b.right - b.left;
        const int h = b.bottom - b.top;
        const int saved = SaveDC(dc);
        // Relative to the context's own origin: a caller may have moved it.
        OffsetViewportOrgEx(dc, b.left, b.top, nullptr);
        IntersectClipRect(dc, 0, 0, w, h);
        if (HFONT font = site->PaintFont()) SelectObject(dc, font);
        SetTextColor(dc, Common::DrawColor(site->ForeColor()));
        SetBkMode(dc, TRANSPARENT);
        if (site->BackStyle() == 1) {
            PaintSurface{dc, w, h}.DrawBox(0, 0, w, h, Common::DrawColor(site->BackColor()), true);
        }
        try {
            site->Control().Paint(PaintSurface{dc, w, h});
        } catch (...) {
            // A control that fails to paint leaves its rectangle as it is.
        }
        RestoreDC(dc, saved);
    }
}

ControlSite* Form::WindowlessAt(POINT client) const {
    for (auto it = paintOrder_.rbegin(); it != paintOrder_.rend(); ++it) {
        ControlSite* site = *it;
        const RECT b = site->Bounds();
        if (site->StoredLayout().visible && PtInRect(&b, client) &&
            site->Control().HitTest(client.x - b.left, client.y - b.top)) {
            return site;
        }
    }
    return nullptr;
}

bool Form::RouteMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (dragSite_) {
        POINT screen = pt;
        ClientToScreen(hwnd_, &screen);
        if (msg == WM_MOUSEMOVE) DragTrack(screen, false);
        if (msg == WM_LBUTTONUP) EndDrag(true, &screen);
        return true;
    }
    ControlSite* site = mouseSite_ ? mouseSite_ : WindowlessAt(pt);
    if (!site || !site->Enabled()) return false;
    const RECT b = site->Bounds();
    const int x = pt.x - b.left;
    const int y = pt.y - b.top;
    const int16_t shift = Common::ShiftFromMouseFlags(wParam);
    int16_t button = 0;
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            button = 1;
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            button = 2;
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            button = 4;
            break;
        default:
            break;
    }
    HostedControl& control = site->Control();
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (button == 1 && site->StoredLayout().dragMode == 1) {
                BeginDrag(*site);
                return true;
            }
            mouseSite_ = site;
            mouseButtons_ |= button;
            SetCapture(hwnd_);
            control.MouseDown(button, shift, x, y);
            return true;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            mouseSite_ = site;
            mouseButtons_ |= button;
            SetCapture(hwnd_);
            if (button == 1) {
                mouseButtons_ |= 0x100;  // the release that follows is no click
                control.DblClick();
            } else {
                control.MouseDown(button, shift, x, y);
            }
            return true;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            const bool afterDoubleClick = button == 1 && (mouseButtons_ & 0x100);
            mouseButtons_ &= static_cast<int16_t>(~(button | (button == 1 ? 0x100 : 0)));
            if ((mouseButtons_ & 7) == 0) {
                mouseSite_ = nullptr;
                if (GetCapture() == hwnd_) ReleaseCapture();
            }
            control.MouseUp(button, shift, x, y);
            if (button == 1 && !afterDoubleClick && PtInRect(&b, pt)) control.Click();
            return true;
        }
        case WM_MOUSEMOVE: {
            int16_t held = 0;
            if (wParam & MK_LBUTTON) held |= 1;
            if (wParam & MK_RBUTTON) held |= 2;
            if (wParam & MK_MBUTTON) held |= 4;
            control.MouseMove(held, shift, x, y);
            return true;
        }
        default:
            return false;
    }
}

void Form::UpdateToolTip(ControlSite& site) {
    if (!hwnd_) return;
    const std::wstring text = StoredValue::Wide(site.StoredLayout().toolTipText);
    if (text.empty() && !toolTip_) return;
    if (!toolTip_) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   Program::Instance(), nullptr);
        if (!toolTip_) return;
    }
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = hwnd_;
    info.uId = reinterpret_cast<UINT_PTR>(&site);
    SendMessageW(toolTip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    if (text.empty()) return;
    info.rect = site.Bounds();
    info.lpszText = const_cast<LPWSTR>(text.c_str());
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void Form::RelayToolTipMessage(const MSG& msg) {
    if (!toolTip_ || !hwnd_) return;
    MSG relay = msg;
    POINT pt{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    MapWindowPoints(msg.hwnd, hwnd_, &pt, 1);
    relay.hwnd = hwnd_;
    relay.lParam = MAKELPARAM(pt.x, pt.y);
    SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
}

void Form::UpdateWindowlessDropTarget() {
    if (!hwnd_) return;
    bool wanted = false;
    for (ControlSite* site : paintOrder_)
        wanted = wanted || site->OLEDropMode() == 1;
    if (wanted && !dropTarget_) {
        dropTarget_ = DropTarget::Create(*this, nullptr);
        if (FAILED(RegisterDragDrop(hwnd_, dropTarget_.Get()))) {
            dropTarget_->Detach();
            dropTarget_.Reset();
        }
    } else if (!wanted && dropTarget_) {
        RevokeDragDrop(hwnd_);
        dropTarget_->Detach();
        dropTarget_.Reset();
    }
}

void Form::BeginDrag(ControlSite& site) {
    if (!hwnd_) return;
    dragSite_ = &site;
    SetCapture(hwnd_);
    ComPtr<IPicture> picture;
    if (site.GetExtender().DragIcon() &&
        SUCCEEDED(site.GetExtender().DragIcon()->QueryInterface(IID_IPicture, picture.PutVoid()))) {
        OLE_HANDLE handle = 0;
        picture->get_Handle(&handle);
        if (handle) SetCursor(reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(handle)));
    }
}

void Form::RaiseDrag(std::optional<ControlSite*> target, POINT client, bool drop, int16_t state) {
    double x = Units::PixelsToTwips(client.x, Units::Axis::X);
    double y = Units::PixelsToTwips(client.y, Units::Axis::Y);
    if (*target) {
        const RECT b = (*target)->Bounds();
        x = Units::PixelsToTwips(client.x - b.left, Units::Axis::X);
        y = Units::PixelsToTwips(client.y - b.top, Units::Axis::Y);
    }
    ComPtr<IDispatch> source;
    dragSite_->Object()->QueryInterface(IID_IDispatch, source.PutVoid());
    if (drop) {
        std::array<EventArg, 3> args{EventArg::Object(source.Get()),
                                     EventArg::ByVal(static_cast<float>(x)),
                                     EventArg::ByVal(static_cast<float>(y))};
        RaiseEvent(*target, L"DragDrop", 0, args);
    } else {
        std::array<EventArg, 4> args{
            EventArg::Object(source.Get()), EventArg::ByVal(static_cast<float>(x)),
            EventArg::ByVal(static_cast<float>(y)), EventArg::ByVal(state)};
        RaiseEvent(*target, L"DragOver", 0, args);
    }
}

void Form::DragTrack(POINT screen, bool drop) {
    if (!dragSite_ || !hwnd_) return;
    POINT client = screen;
    ScreenToClient(hwnd_, &client);
    // What is under the point: a control, the form itself (null), or nothing of this form.
    std::optional<ControlSite*> target;
    HWND under = WindowFromPoint(screen);
    if (under && (under == hwnd_ || IsChild(hwnd_, under))) {
        ControlSite* site = SiteOfWindow(under);
        target = site ? site : WindowlessAt(client);
    }
    // The one it was over hears that it was left (state 1), the new one that it was
    // entered (0); the same one that it is still over (2).
    if (dragTarget_ && dragTarget_ != target) RaiseDrag(dragTarget_, client, false, 1);
    if (!target) {
        dragTarget_.reset();
        return;
    }
    if (drop) {
        dragTarget_.reset();
        RaiseDrag(target, client, true, 0);
        return;
    }
    const int16_t state = dragTarget_ == target ? 2 : 0;
    dragTarget_ = target;
    RaiseDrag(target, client, false, state);
}

void Form::EndDrag(bool drop, const POINT* screen) {
    if (!dragSite_) return;
    if (drop) {
        POINT at{};
        if (screen) {
            at = *screen;
        } else {
            GetCursorPos(&at);
        }
        DragTrack(at, true);
    } else if (dragTarget_ && hwnd_) {
        // A cancelled drag leaves what it was over.
        RaiseDrag(dragTarget_, POINT{}, false, 1);
    }
    dragSite_ = nullptr;
    dragTarget_.reset();
    if (hwnd_ && GetCapture() == hwnd_) ReleaseCapture();
}

// --- the window procedure ----------------------------------------------------------------------

LRESULT Form::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                Common::SetOwnActiveWindow(hwnd);
                if (loaded_) RaiseEvent(nullptr, L"Activate", 0, {});
            } else {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) lastFocus_ = focus;
                if (loaded_) RaiseEvent(nullptr, L"Deactivate", 0, {});
            }
            break;
        case WM_SETFOCUS:
            RestoreFocus();
            return 0;
        case WM_CLOSE:
            QueryUnloadAndUnload(kUnloadFromControlMenu);
            return 0;
        case WM_ERASEBKGND:
            PaintBackground(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_PRINTCLIENT:
            PaintInto(reinterpret_cast<HDC>(wParam), (lParam & PRF_ERASEBKGND) != 0);
            return 0;
        case WM_PAINT: {
            // A caller's device context (a transparent control copying what lies behind it)
            // gets the whole picture: no WM_ERASEBKGND comes with it.
            if (wParam) {
                PaintInto(reinterpret_cast<HDC>(wParam), true);
                return 0;
            }
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            PaintWindowless(dc, ps.rcPaint);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_SIZE:
            if (loaded_) RaiseEvent(nullptr, L"Resize", 0, {});
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            if (loaded_ && RouteMouse(msg, wParam, lParam)) return 0;
            break;
        case WM_CAPTURECHANGED:
            if (dragSite_ && reinterpret_cast<HWND>(lParam) != hwnd) EndDrag(false);
            if (mouseSite_ && reinterpret_cast<HWND>(lParam) != hwnd) {
                mouseSite_ = nullptr;
                mouseButtons_ = 0;
            }
            break;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == hwnd && LOWORD(lParam) == HTCLIENT) {
                POINT pt;
                GetCursorPos(&pt);
                ScreenToClient(hwnd, &pt);
                if (ControlSite* site = WindowlessAt(pt); site && site->ApplyPointer()) return TRUE;
            }
            break;
        case WM_GETOBJECT:
            // Windowless controls have no window of their own for accessibility clients to
            // find: the client area answers for them.
            if (static_cast<LONG>(lParam) == OBJID_CLIENT && loaded_) {
                if (ComPtr<IAccessible> accessible = CreateFormAccessible(hwnd)) {
                    return LresultFromObject(__uuidof(IAccessible), wParam, accessible.Get());
                }
            }
            break;
        case FormInput::kFocusChangedMessage:
            if (loaded_) {
                if (ControlSite* site = FocusedSite()) OnSiteFocus(*site);
            }
            return 0;
        case kTeardownMessage:
            if (EventsInProgress() > 0) return 0;
            if (deletePending_) {
                // The modal show still running on this form asks again when it returns.
                if (modalLoops_ == 0) delete this;
                return 0;
            }
            if (unloadPending_) {
                Teardown();
            } else {
                TerminateRemoved();
            }
            return 0;
        case WM_DESTROY:
            Common::ClearOwnActiveWindow(hwnd);
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace Host
