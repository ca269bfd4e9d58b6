#include "host/ControlSite.h"

#include <olectl.h>

#include <cmath>

#include "controls/base/ComObject.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "host/ClientSite.h"
#include "host/ControlObject.h"
#include "host/DataObject.h"
#include "host/DispatchObject.h"
#include "host/DropTarget.h"
#include "host/Form.h"
#include "host/Program.h"
#include "host/StoredValue.h"
#include "host/WindowClass.h"

namespace Host {

namespace {

constexpr wchar_t kUserControlClass[] = L"PaylevixUserControl";

int32_t ToTwips(double value) {
    if (!std::isfinite(value) || value < -Layout::kMaxLength || value > Layout::kMaxLength) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    return static_cast<int32_t>(std::lround(value));
}

}  // namespace

// --- Ambient -----------------------------------------------------------------------------------

bool Ambient::UserMode() const {
    return site_.form_.UserMode();
}
ComPtr<IFontDisp> Ambient::Font() const {
    // A copy: a control that changes the font it was given must not change the form's.
    ComPtr<IFontDisp> form = site_.form_.Font();
    ComPtr<IFont> font, clone;
    ComPtr<IFontDisp> result;
    if (form && SUCCEEDED(form->QueryInterface(IID_IFont, font.PutVoid())) &&
        SUCCEEDED(font->Clone(clone.Put()))) {
        clone->QueryInterface(IID_IFontDisp, result.PutVoid());
    }
    return result;
}
bool Ambient::RightToLeft() const {
    return site_.form_.RightToLeft();
}
std::wstring Ambient::DisplayName() const {
    return site_.name_;
}
bool Ambient::DisplayAsDefault() const {
    return site_.form_.DisplayedDefault() == &site_;
}
OLE_COLOR Ambient::BackColor() const {
    return site_.form_.BackColor();
}
OLE_COLOR Ambient::ForeColor() const {
    return site_.form_.ForeColor();
}

// --- Extender ----------------------------------------------------------------------------------

const std::wstring& Extender::Name() const {
    return site_.name_;
}
Form& Extender::Parent() const {
    return site_.form_;
}
Form& Extender::Container() const {
    return site_.form_;
}

std::wstring Extender::Tag() const {
    return StoredValue::Wide(site_.layout_.tag);
}
void Extender::SetTag(std::wstring_view tag) {
    site_.layout_.tag = StoredValue::Utf16(tag);
}

double Extender::Left() const {
    return site_.layout_.left;
}
double Extender::Top() const {
    return site_.layout_.top;
}
double Extender::Width() const {
    return site_.layout_.width;
}
double Extender::Height() const {
    return site_.layout_.height;
}
void Extender::SetLeft(double twips) {
    Move(twips);
}
void Extender::SetTop(double twips) {
    Move(Left(), twips);
}
void Extender::SetWidth(double twips) {
    Move(Left(), Top(), twips);
}
void Extender::SetHeight(double twips) {
    Move(Left(), Top(), Width(), twips);
}

void Extender::Move(double left, double top, double width, double height) {
    const int32_t l = ToTwips(left);
    const int32_t t = std::isnan(top) ? site_.layout_.top : ToTwips(top);
    const int32_t w = std::isnan(width) ? site_.layout_.width : ToTwips(width);
    const int32_t h = std::isnan(height) ? site_.layout_.height : ToTwips(height);
    if (w < 0 || h < 0) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    site_.layout_.left = l;
    site_.layout_.top = t;
    site_.layout_.width = w;
    site_.layout_.height = h;
    site_.UpdatePlacement();
}

bool Extender::Visible() const {
    return site_.layout_.visible;
}

void Extender::SetVisible(bool visible) {
    if (visible == site_.layout_.visible) return;
    const bool hadFocus = !visible && site_.form_.FocusedSite() == &site_;
    site_.layout_.visible = visible;
    if (site_.hwnd_) {
        ShowWindow(site_.hwnd_, visible ? SW_SHOWNA : SW_HIDE);
    } else {
        site_.form_.InvalidateSite(site_);
    }
    // A hidden window keeps the focus unless someone moves it.
    if (hadFocus) site_.form_.TabFocus(true);
}

bool Extender::Enabled() const {
    return site_.Control().Enabled();
}
void Extender::SetEnabled(bool enabled) {
    site_.Control().SetEnabled(enabled);
}

std::wstring Extender::ToolTipText() const {
    return StoredValue::Wide(site_.layout_.toolTipText);
}
void Extender::SetToolTipText(std::wstring_view text) {
    site_.layout_.toolTipText = StoredValue::Utf16(text);
    site_.form_.UpdateToolTip(site_);
}

int32_t Extender::HelpContextID() const {
    return site_.layout_.helpContextId;
}
void Extender::SetHelpContextID(int32_t id) {
    site_.layout_.helpContextId = id;
}
int32_t Extender::WhatsThisHelpID() const {
    return site_.layout_.whatsThisHelpId;
}
void Extender::SetWhatsThisHelpID(int32_t id) {
    site_.layout_.whatsThisHelpId = id;
}
ComPtr<IPictureDisp> Extender::DragIcon() const {
    return site_.dragIcon_;
}
void Extender::SetDragIcon(IPictureDisp* icon) {
    site_.dragIcon_ = ComPtr<IPictureDisp>(icon);
}
int32_t Extender::DragMode() const {
    return site_.layout_.dragMode;
}

void Extender::SetDragMode(int32_t mode) {
    if (mode != 0 && mode != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    site_.layout_.dragMode = mode;
}

bool Extender::CausesValidation() const {
    return site_.layout_.causesValidation;
}
void Extender::SetCausesValidation(bool value) {
    site_.layout_.causesValidation = value;
}
bool Extender::DataChanged() const {
    return site_.dataChanged_;
}
void Extender::SetDataChanged(bool value) {
    site_.dataChanged_ = value;
}
int16_t Extender::TabIndex() const {
    return site_.layout_.tabIndex.value_or(0);
}
void Extender::SetTabIndex(int16_t index) {
    if (index < 0) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    site_.form_.RenumberTabIndex(site_, index);
}
bool Extender::TabStop() const {
    return site_.layout_.tabStop;
}
void Extender::SetTabStop(bool value) {
    site_.layout_.tabStop = value;
}
bool Extender::Default() const {
    return site_.form_.DefaultSite() == &site_;
}

void Extender::SetDefault(bool value) {
    if (value) {
        site_.form_.SetDefaultSite(&site_);
    } else if (Default()) {
        site_.form_.SetDefaultSite(nullptr);
    }
}

bool Extender::Cancel() const {
    return site_.form_.CancelSite() == &site_;
}

void Extender::SetCancel(bool value) {
    if (value) {
        site_.form_.SetCancelSite(&site_);
    } else if (Cancel()) {
        site_.form_.SetCancelSite(nullptr);
    }
}

void Extender::Drag(int32_t action) {
    switch (action) {
        case 0:
            site_.form_.EndDrag(false);
            break;
        case 1:
            site_.form_.BeginDrag(site_);
            break;
        case 2:
            site_.form_.EndDrag(true);
            break;
        default:
            ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
}

void Extender::SetFocus() {
    if (!site_.CanTakeFocus() || !site_.form_.Visible()) {
        ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    }
    site_.form_.MoveFocusTo(site_);
}

void Extender::ZOrder(int32_t position) {
    if (position != 0 && position != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    site_.form_.ZOrder(site_, position);
}

// --- SiteIdentity
// ----------------------------------------------------------------------------------

std::wstring SiteIdentity::TypeName() const {
    return site_.TypeName();
}
std::wstring SiteIdentity::Name() const {
    return site_.Name();
}
ControlHost::IContainer* SiteIdentity::Container() const {
    return &site_.Parent();
}

// --- ControlSite ---------------------------------------------------------------------------------

ControlSite::ControlSite(Form& form, const Layout::ControlLayout& layout,
                         ComPtr<ControlObject> object, std::wstring typeName)
    : form_(form),
      layout_(layout),
      object_(std::move(object)),
      name_(StoredValue::WideFromUtf8(layout.name)),
      typeName_(std::move(typeName)) {
    kind_ = object_->Control()->Kind();
    object_->AttachSite(this);
    if (layout_.dragIcon) {
        Variant icon = StoredValue::ToVariant(*layout_.dragIcon);
        if (icon.Type() == VT_DISPATCH && icon.Get().pdispVal) {
            icon.Get().pdispVal->QueryInterface(IID_IPictureDisp, dragIcon_.PutVoid());
        }
    }
}

ControlSite::~ControlSite() {
    Terminate();
}

HostedControl& ControlSite::Control() const {
    HostedControl* control = object_ ? object_->Control() : nullptr;
    if (!control) ControlErrors::Raise(ControlErrors::kObjectNotSet);
    return *control;
}

IUnknown* ControlSite::Object() const {
    return object_ ? object_->Identity() : nullptr;
}

HWND ControlSite::ContainerHwnd() const {
    return form_.Hwnd();
}

RECT ControlSite::Bounds() const {
    RECT r;
    r.left = Units::TwipsToPixels(layout_.left, Units::Axis::X);
    r.top = Units::TwipsToPixels(layout_.top, Units::Axis::Y);
    r.right = r.left + Units::TwipsToPixels(layout_.width, Units::Axis::X);
    r.bottom = r.top + Units::TwipsToPixels(layout_.height, Units::Axis::Y);
    return r;
}

int ControlSite::ScaleWidth() const {
    if (hwnd_) {
        RECT r;
        GetClientRect(hwnd_, &r);
        return r.right;
    }
    const RECT b = Bounds();
    return b.right - b.left;
}

int ControlSite::ScaleHeight() const {
    if (hwnd_) {
        RECT r;
        GetClientRect(hwnd_, &r);
        return r.bottom;
    }
    const RECT b = Bounds();
    return b.bottom - b.top;
}

void ControlSite::SetAppearance(int32_t value) {
    if (value != 0 && value != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    appearance_ = value;
}

void ControlSite::SetBackColor(OLE_COLOR color) {
    backColor_ = color;
    Refresh();
}

void ControlSite::SetForeColor(OLE_COLOR color) {
    foreColor_ = color;
    Refresh();
}

void ControlSite::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (hwnd_) {
        EnableWindow(hwnd_, enabled);
    } else {
        Refresh();
    }
}

void ControlSite::SetOLEDropMode(int32_t mode) {
    if (mode != 0 && mode != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    oleDropMode_ = mode;
    if (!hwnd_) {
        form_.UpdateWindowlessDropTarget();
        return;
    }
    if (mode == 1 && !dropTarget_) {
        dropTarget_ = DropTarget::Create(form_, this);
        // Without OLE on the thread there is no dropping; the setting stays.
        if (FAILED(RegisterDragDrop(hwnd_, dropTarget_.Get()))) {
            dropTarget_->Detach();
            dropTarget_.Reset();
        }
    } else if (mode == 0 && dropTarget_) {
        RevokeDragDrop(hwnd_);
        dropTarget_->Detach();
        dropTarget_.Reset();
    }
}

namespace {

// The source side of a control's OLE drag.
// Lives on the stack of OLEDrag, which outlasts the drag.
class DropSource final : public UnownedComObject<IDropSource> {
public:
    explicit DropSource(HostedControl& control) : control_(control) {}
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) return DRAGDROP_S_CANCEL;
        if (!(keys & (MK_LBUTTON | MK_RBUTTON))) return DRAGDROP_S_DROP;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
        int32_t e = static_cast<int32_t>(effect);
        bool defaultCursors = true;
        try {
            control_.OLEGiveFeedback(e, defaultCursors);
        } catch (...) {
            defaultCursors = true;
        }
        return defaultCursors ? DRAGDROP_S_USEDEFAULTCURSORS : S_OK;
    }

private:
    HostedControl& control_;
};

}  // namespace

int32_t ControlSite::OLEDrag() {
    HostedControl& control = Control();
    ComPtr<DataObject> data = DataObject::Create();
    DataObject* raw = data.Get();
    data->SetRenderer([&control, raw](CLIPFORMAT format) {
        int16_t f = static_cast<int16_t>(format);
        control.OLESetData(*raw, f);
    });
    int32_t allowed = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    control.OLEStartDrag(*data.Get(), allowed);
    if (allowed == DROPEFFECT_NONE) return DROPEFFECT_NONE;
    DropSource source(control);
    DWORD effect = DROPEFFECT_NONE;
    if (DoDragDrop(data.Get(), &source, static_cast<DWORD>(allowed), &effect) != DRAGDROP_S_DROP) {
        effect = DROPEFFECT_NONE;
    }
    // A target may keep the data object: it must not call back into a control that is gone.
    data->SetRenderer(nullptr);
    int32_t done = static_cast<int32_t>(effect);
    control.OLECompleteDrag(done);
    return done;
}

void ControlSite::SetRightToLeft(bool value) {
    rightToLeft_ = value;
}

void ControlSite::SetBackStyle(int32_t style) {
    if (style != 0 && style != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    backStyle_ = style;
    Refresh();
}

void ControlSite::SetMousePointer(int16_t pointer) {
    if (!((pointer >= 0 && pointer <= 16) || pointer == 99)) {
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    mousePointer_ = pointer;
}

void ControlSite::SetMouseIcon(IPictureDisp* icon) {
    mouseIcon_ = ComPtr<IPictureDisp>(icon);
}

ComPtr<IFontDisp> ControlSite::Font() const {
    return font_ ? font_ : form_.Font();
}

void ControlSite::SetFont(IFontDisp* font) {
    font_ = ComPtr<IFontDisp>(font);
    Refresh();
}

void ControlSite::SetAccessKeys(std::wstring_view keys) {
    if (keys == accessKeys_) return;
    accessKeys_ = keys;
    form_.OnControlInfoChanged(*this);
}

void ControlSite::Refresh() {
    if (hwnd_) {
        InvalidateRect(hwnd_, nullptr, TRUE);
    } else {
        form_.InvalidateSite(*this);
    }
}

const std::vector<ControlSite*>& ControlSite::Siblings() const {
    return form_.Controls();
}

std::vector<const ControlHost::IControl*> ControlSite::SiblingControls() const {
    std::vector<const ControlHost::IControl*> controls;
    for (ControlSite* site : form_.Controls())
        controls.push_back(&site->identity_);
    return controls;
}

IOleClientSite* ControlSite::ClientSite() const {
    return static_cast<IOleClientSite*>(clientSite_.Get());
}

void ControlSite::ValidateTopParent() {
    form_.ValidateControls();
}

void ControlSite::RaiseEvent(std::wstring_view name, DISPID id, std::span<EventArg> args) {
    if (FreezeCount() > 0) return;
    form_.RaiseEvent(this, name, id, args);
    for (const EventArg& arg : args)
        arg.WriteBack();
}

int32_t ControlSite::FreezeCount() const {
    return object_ ? object_->FreezeCount() : 0;
}

void ControlSite::Create() {
    clientSite_ = ClientSite::Create(*this);
    object_->SetClientSite(static_cast<IOleClientSite*>(clientSite_.Get()));
    if (kind_ != SiteKind::Windowed) return;
    WindowClass::Register(kUserControlClass,
                          WindowClass::Forward<ControlSite, &ControlSite::UserControlProc>);
    const RECT b = Bounds();
    hwnd_ = CreateWindowExW(
        WS_EX_CONTROLPARENT, kUserControlClass, name_.c_str(),
        WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (layout_.visible ? WS_VISIBLE : 0), b.left,
        b.top, b.right - b.left, b.bottom - b.top, form_.Hwnd(), nullptr, Program::Instance(),
        this);
    if (!hwnd_) ControlErrors::Raise(ControlErrors::kOutOfMemory);
}

void ControlSite::Load(bool fromLayout) {
    HostedControl& control = Control();
    control.Initialize();
    if (fromLayout) {
        for (const Layout::Property& p : layout_.properties) {
            store_.Put(StoredValue::WideFromUtf8(p.key), StoredValue::ToVariant(p.value));
        }
        control.ReadProperties(store_);
    } else {
        control.InitProperties();
    }
    store_.SetDirty(false);
    loaded_ = true;
    control.Resize();
}

ComPtr<IDispatch> ControlSite::ExtenderObject() {
    Control();  // error 91 once the site has ended
    if (!extenderObject_) {
        using M = DispatchObject::Member;
        auto x = [this] { return GetExtender(); };
        auto text = [](std::wstring s) { return Variant::String(s); };
        auto optional = [](std::span<const Variant> args, size_t i, double otherwise) {
            return i < args.size() && args[i].Type() != VT_ERROR ? args[i].ToDouble() : otherwise;
        };
        std::vector<M> members = {
            {L"Name", [=] { return text(x().Name()); }},
            {L"Parent", [this] { return Variant::Object(form_.Object().Get()); }},
            {L"Container", [this] { return Variant::Object(form_.Object().Get()); }},
            {L"Object",
             [this] {
                 ComPtr<IDispatch> control;
                 object_->QueryInterface(IID_IDispatch, control.PutVoid());
                 return Variant::Object(control.Get());
             }},
            {L"Tag", [=] { return text(x().Tag()); },
             [=](const Variant& v) { x().SetTag(v.ToString()); }},
            {L"Left", [=] { return Variant::Double(x().Left()); },
             [=](const Variant& v) { x().SetLeft(v.ToDouble()); }},
            {L"Top", [=] { return Variant::Double(x().Top()); },
             [=](const Variant& v) { x().SetTop(v.ToDouble()); }},
            {L"Width", [=] { return Variant::Double(x().Width()); },
             [=](const Variant& v) { x().SetWidth(v.ToDouble()); }},
            {L"Height", [=] { return Variant::Double(x().Height()); },
             [=](const Variant& v) { x().SetHeight(v.ToDouble()); }},
            {L"Visible", [=] { return Variant::Bool(x().Visible()); },
             [=](const Variant& v) { x().SetVisible(v.ToBool()); }},
            {L"Enabled", [=] { return Variant::Bool(x().Enabled()); },
             [=](const Variant& v) { x().SetEnabled(v.ToBool()); }},
            {L"ToolTipText", [=] { return text(x().ToolTipText()); },
             [=](const Variant& v) { x().SetToolTipText(v.ToString()); }},
            {L"HelpContextID", [=] { return Variant::Int32(x().HelpContextID()); },
             [=](const Variant& v) { x().SetHelpContextID(v.ToInt32()); }},
            {L"WhatsThisHelpID", [=] { return Variant::Int32(x().WhatsThisHelpID()); },
             [=](const Variant& v) { x().SetWhatsThisHelpID(v.ToInt32()); }},
            {L"DragIcon",
             [=] {
                 ComPtr<IPictureDisp> icon = x().DragIcon();
                 return Variant::Object(icon.Get());
             },
             [=](const Variant& v) {
                 ComPtr<IPictureDisp> icon;
                 if (v.Type() == VT_DISPATCH && v.Get().pdispVal) {
                     v.Get().pdispVal->QueryInterface(IID_IPictureDisp, icon.PutVoid());
                     if (!icon) ControlErrors::Raise(ControlErrors::kTypeMismatch);
                 }
                 x().SetDragIcon(icon.Get());
             }},
            {L"DragMode", [=] { return Variant::Int32(x().DragMode()); },
             [=](const Variant& v) { x().SetDragMode(v.ToInt32()); }},
            {L"CausesValidation", [=] { return Variant::Bool(x().CausesValidation()); },
             [=](const Variant& v) { x().SetCausesValidation(v.ToBool()); }},
            {L"DataChanged", [=] { return Variant::Bool(x().DataChanged()); },
             [=](const Variant& v) { x().SetDataChanged(v.ToBool()); }},
            {L"TabIndex", [=] { return Variant::Int16(x().TabIndex()); },
             [=](const Variant& v) { x().SetTabIndex(v.ToInt16()); }},
            {L"TabStop", [=] { return Variant::Bool(x().TabStop()); },
             [=](const Variant& v) { x().SetTabStop(v.ToBool()); }},
            {L"Default", [=] { return Variant::Bool(x().Default()); },
             [=](const Variant& v) { x().SetDefault(v.ToBool()); }},
            {L"Cancel", [=] { return Variant::Bool(x().Cancel()); },
             [=](const Variant& v) { x().SetCancel(v.ToBool()); }},
            {L"Move",
             {},
             {},
             [=](std::span<const Variant> args) {
                 if (args.empty()) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
                 x().Move(args[0].ToDouble(), optional(args, 1, Extender::kKeep),
                          optional(args, 2, Extender::kKeep), optional(args, 3, Extender::kKeep));
                 return Variant();
             }},
            {L"SetFocus",
             {},
             {},
             [=](std::span<const Variant>) {
                 x().SetFocus();
                 return Variant();
             }},
            {L"ZOrder",
             {},
             {},
             [=](std::span<const Variant> args) {
                 x().ZOrder(static_cast<int32_t>(optional(args, 0, 0)));
                 return Variant();
             }},
            {L"Drag",
             {},
             {},
             [=](std::span<const Variant> args) {
                 x().Drag(static_cast<int32_t>(optional(args, 0, 1)));
                 return Variant();
             }},
        };
        ComPtr<IDispatch> control;
        object_->QueryInterface(IID_IDispatch, control.PutVoid());
        extenderObject_ = DispatchObject::Create(typeName_, std::move(members), control);
    }
    return ComPtr<IDispatch>(extenderObject_.Get());
}

void ControlSite::Terminate() {
    if (!object_) return;
    if (HostedControl* control = object_->Control(); control && control->Sited()) {
        try {
            control->Terminate();
        } catch (...) {
            // A control that fails to end cleanly must not keep the form from going.
        }
    }
    if (dropTarget_) {
        if (hwnd_) RevokeDragDrop(hwnd_);
        dropTarget_->Detach();
        dropTarget_.Reset();
    }
    if (hwnd_) {
        HWND hwnd = std::exchange(hwnd_, nullptr);
        WindowClass::Release(hwnd);
        DestroyWindow(hwnd);
    }
    if (extenderObject_) std::exchange(extenderObject_, {})->Detach();
    object_->SetClientSite(nullptr);
    object_->DetachSite();
    if (clientSite_) clientSite_->Detach();
    clientSite_.Reset();
    object_.Reset();
    loaded_ = false;
}

Layout::ControlLayout ControlSite::Save() {
    store_.Clear();
    Control().WriteProperties(store_);
    Layout::ControlLayout saved = layout_;
    saved.properties.clear();
    for (const auto& [key, value] : store_.Entries()) {
        Layout::Property p;
        p.key = StoredValue::Utf8FromWide(key);
        p.value = StoredValue::FromVariant(value.Get());
        saved.properties.push_back(std::move(p));
    }
    saved.dragIcon.reset();
    if (dragIcon_) {
        Layout::Value icon = StoredValue::FromVariant(Variant::Object(dragIcon_.Get()).Get());
        if (auto* picture = std::get_if<Layout::Picture>(&icon)) saved.dragIcon = *picture;
    }
    store_.SetDirty(false);
    return saved;
}

bool ControlSite::CanTakeFocus() const {
    if (!hwnd_ || !object_ || !object_->Control() || !object_->Control()->CanGetFocus()) {
        return false;
    }
    return (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE) && IsWindowEnabled(hwnd_);
}

bool ControlSite::ContainsWindow(HWND hwnd) const {
    return hwnd_ && hwnd && (hwnd == hwnd_ || IsChild(hwnd_, hwnd));
}

void ControlSite::NotifyAmbientChanged(DISPID id) {
    ComPtr<IOleControl> control;
    if (Object() && SUCCEEDED(Object()->QueryInterface(IID_IOleControl, control.PutVoid()))) {
        control->OnAmbientPropertyChange(id);
    }
}

void ControlSite::UpdatePlacement() {
    const RECT b = Bounds();
    if (hwnd_) {
        // WM_SIZE from the move tells the control (Resize).
        MoveWindow(hwnd_, b.left, b.top, b.right - b.left, b.bottom - b.top, TRUE);
    } else {
        InvalidateRect(form_.Hwnd(), nullptr, TRUE);
        if (loaded_ && object_ && object_->Control()) object_->Control()->Resize();
    }
    form_.UpdateToolTip(*this);
}

HFONT ControlSite::PaintFont() const {
    ComPtr<IFontDisp> font = Font();
    ComPtr<IFont> f;
    if (!font || FAILED(font->QueryInterface(IID_IFont, f.PutVoid()))) return nullptr;
    HFONT handle = nullptr;
    f->get_hFont(&handle);
    return handle;
}

LRESULT ControlSite::UserControlProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = hwnd_;
    HostedControl* control = object_ ? object_->Control() : nullptr;
    if (control && loaded_) {
        LRESULT result = 0;
        if (control->UserControlMessage(msg, wParam, lParam, result)) return result;
    }
    switch (msg) {
        case WM_SIZE:
            if (control && loaded_) control->Resize();
            return 0;
        case WM_SETFOCUS: {
            form_.OnSiteFocus(*this);
            // Focus given to the user control window goes on to its first child, as a control
            // that sizes a child into it expects.
            if (HWND child = GetWindow(hwnd, GW_CHILD)) {
                if (IsWindowEnabled(child) && IsWindowVisible(child)) ::SetFocus(child);
            }
            return 0;
        }
        case WM_MOUSEACTIVATE: {
            // A click that would take the focus into this control first asks the focused
            // control to let it go.
            if (HIWORD(lParam) == WM_LBUTTONDOWN && layout_.causesValidation && form_.Visible() &&
                !ContainsWindow(GetFocus())) {
                try {
                    form_.ValidateControls();
                } catch (const ControlError& e) {
                    if (e.Number() == ControlErrors::kInvalidPropertyValue)
                        return MA_ACTIVATEANDEAT;
                }
            }
            break;
        }
        case WM_ERASEBKGND: {
            RECT r;
            GetClientRect(hwnd, &r);
            const UniqueBrush brush(CreateSolidBrush(Common::DrawColor(backColor_)));
            FillRect(reinterpret_cast<HDC>(wParam), &r, brush.Get());
            return 1;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && ApplyPointer()) return TRUE;
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool ControlSite::ApplyPointer() const {
    if (mousePointer_ == 0) return false;
    HCURSOR cursor = nullptr;
    if (mousePointer_ == 99) {
        ComPtr<IPicture> picture;
        if (mouseIcon_ && SUCCEEDED(mouseIcon_->QueryInterface(IID_IPicture, picture.PutVoid()))) {
            OLE_HANDLE handle = 0;
            picture->get_Handle(&handle);
            cursor = reinterpret_cast<HCURSOR>(static_cast<UINT_PTR>(handle));
        }
    } else {
        cursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(Common::MousePointerID(mousePointer_)));
    }
    if (!cursor) return false;
    SetCursor(cursor);
    return true;
}

// --- PaintSurface
// ----------------------------------------------------------------------------------

void PaintSurface::DrawBox(int left, int top, int right, int bottom, COLORREF color,
                           bool filled) const {
    if (!hdc) return;
    const RECT r{left, top, right, bottom};
    const UniqueBrush brush(CreateSolidBrush(color));
    if (filled) {
        FillRect(hdc, &r, brush.Get());
    } else {
        FrameRect(hdc, &r, brush.Get());
    }
}

// --- HostedControl
// ---------------------------------------------------------------------------------

ControlSite& HostedControl::Site() const {
    if (!site_) ControlErrors::Raise(ControlErrors::kObjectNotSet);
    return *site_;
}

bool HostedControl::Enabled() const {
    return Site().Enabled();
}
void HostedControl::SetEnabled(bool enabled) {
    Site().SetEnabled(enabled);
}

HRESULT HostedControl::OuterQueryInterface(REFIID iid, void** object) const {
    if (!object) return E_POINTER;
    if (!object_) {
        *object = nullptr;
        return E_UNEXPECTED;
    }
    return object_->QueryInterface(iid, object);
}

ULONG HostedControl::OuterAddRef() const {
    return object_ ? object_->AddRef() : 1;
}
ULONG HostedControl::OuterRelease() const {
    return object_ ? object_->Release() : 1;
}

}  // namespace Host
