#include "controls/buttons/CheckBoxW.h"

#include <olectl.h>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/PropertyStore.h"

namespace {

using CB = CheckBoxW;
using Host::Property;
using Host::ReadOnly;

// The control's own members count up from here in member order.
constexpr DISPID kOwn = 0x68030000;

const std::wstring_view kZOrderArgs[] = {L"Position"};
const std::wstring_view kDragArgs[] = {L"Action"};

const Host::Member kMembers[] = {
    Property<&CB::Value, &CB::SetValue>(L"Value", DISPID_VALUE),
    ReadOnly<&CB::Name>(L"Name", kOwn + 1),
    ReadOnly<&CB::ButtonHandle>(L"hWnd", DISPID_HWND),
    ReadOnly<&CB::hWndUserControl>(L"hWndUserControl", kOwn + 2),
    Property<&CB::Font, &CB::SetFont>(L"Font", DISPID_FONT),
    Property<&CB::VisualStyles, &CB::SetVisualStyles>(L"VisualStyles", kOwn + 3),
    Property<&CB::Appearance, &CB::SetAppearance>(L"Appearance", DISPID_APPEARANCE),
    Property<&CB::BackColor, &CB::SetBackColor>(L"BackColor", DISPID_BACKCOLOR),
    Property<&CB::ForeColor, &CB::SetForeColor>(L"ForeColor", DISPID_FORECOLOR),
    Property<&CB::Enabled, &CB::SetEnabled>(L"Enabled", DISPID_ENABLED),
    Property<&CB::OLEDropMode, &CB::SetOLEDropMode>(L"OLEDropMode", kOwn + 4),
    Property<&CB::MousePointer, &CB::SetMousePointer>(L"MousePointer", CB::kDispIdMousePointer),
    Property<&CB::MouseIcon, &CB::SetMouseIcon>(L"MouseIcon", DISPID_MOUSEICON),
    Property<&CB::MouseTrack, &CB::SetMouseTrack>(L"MouseTrack", kOwn + 5),
    Property<&CB::RightToLeft, &CB::SetRightToLeft>(L"RightToLeft", kOwn + 6),
    Property<&CB::RightToLeftMode, &CB::SetRightToLeftMode>(L"RightToLeftMode", kOwn + 7),
    Property<&CB::ImageList, &CB::SetImageList>(L"ImageList", CB::kDispIdImageList),
    Property<&CB::ImageListAlignment, &CB::SetImageListAlignment>(L"ImageListAlignment", kOwn + 9),
    Property<&CB::ImageListMargin, &CB::SetImageListMargin>(L"ImageListMargin", kOwn + 10),
    Property<&CB::Caption, &CB::SetCaption>(L"Caption", DISPID_CAPTION),
    Property<&CB::Alignment, &CB::SetAlignment>(L"Alignment", kOwn + 11),
    Property<&CB::TextAlignment, &CB::SetTextAlignment>(L"TextAlignment", kOwn + 12),
    Property<&CB::PushLike, &CB::SetPushLike>(L"PushLike", kOwn + 13),
    Property<&CB::Picture, &CB::SetPicture>(L"Picture", DISPID_PICTURE),
    Property<&CB::WordWrap, &CB::SetWordWrap>(L"WordWrap", kOwn + 14),
    Property<&CB::Transparent, &CB::SetTransparent>(L"Transparent", kOwn + 15),
    Property<&CB::VerticalAlignment, &CB::SetVerticalAlignment>(L"VerticalAlignment", kOwn + 16),
    Property<&CB::Style, &CB::SetStyle>(L"Style", kOwn + 17),
    Property<&CB::DisabledPicture, &CB::SetDisabledPicture>(L"DisabledPicture", kOwn + 18),
    Property<&CB::DownPicture, &CB::SetDownPicture>(L"DownPicture", kOwn + 19),
    Property<&CB::UseMaskColor, &CB::SetUseMaskColor>(L"UseMaskColor", kOwn + 20),
    Property<&CB::MaskColor, &CB::SetMaskColor>(L"MaskColor", kOwn + 21),
    Property<&CB::DrawMode, &CB::SetDrawMode>(L"DrawMode", kOwn + 22),
    Property<&CB::Pushed, &CB::SetPushed>(L"Pushed", kOwn + 23),
    Property<&CB::Hot, &CB::SetHot>(L"Hot", kOwn + 24, Host::Access::ReadOnly),
    Host::Method<&CB::Refresh>(L"Refresh", DISPID_REFRESH),
    Host::Method<&CB::SetFocus>(L"SetFocus", kOwn + 25),
    Host::Method<&CB::ZOrder>(L"ZOrder", kOwn + 26, kZOrderArgs),
    Host::Method<&CB::Drag>(L"Drag", kOwn + 27, kDragArgs),
    Host::Method<&CB::OLEDrag>(L"OLEDrag", kOwn + 28),
};

// The check box's own events, numbered in declaration order.
const Host::EventParameter kOwnerDrawArgs[] = {{L"Action", VT_I4, false}, {L"State", VT_I4, false},
                                               {L"hDC", VT_I4, false},    {L"Left", VT_I4, false},
                                               {L"Top", VT_I4, false},    {L"Right", VT_I4, false},
                                               {L"Bottom", VT_I4, false}};
constexpr Host::EventInfo kHotChanged{L"HotChanged", 1, {}};
const Host::EventInfo kOwnerDraw{L"OwnerDraw", 2, kOwnerDrawArgs};
constexpr Host::EventInfo kPreviewKeyDown{L"PreviewKeyDown", 3, ButtonBase::kPreviewKeyArgs};
constexpr Host::EventInfo kPreviewKeyUp{L"PreviewKeyUp", 4, ButtonBase::kPreviewKeyArgs};
constexpr Host::EventInfo kMouseEnter{L"MouseEnter", 5, {}};
constexpr Host::EventInfo kMouseLeave{L"MouseLeave", 6, {}};
constexpr Host::EventInfo kOLECompleteDrag{L"OLECompleteDrag", 7, ButtonBase::kOLECompleteDragArgs};
constexpr Host::EventInfo kOLEDragDrop{L"OLEDragDrop", 8, ButtonBase::kOLEDragDropArgs};
constexpr Host::EventInfo kOLEDragOver{L"OLEDragOver", 9, ButtonBase::kOLEDragOverArgs};
constexpr Host::EventInfo kOLEGiveFeedback{L"OLEGiveFeedback", 10,
                                           ButtonBase::kOLEGiveFeedbackArgs};
constexpr Host::EventInfo kOLESetData{L"OLESetData", 11, ButtonBase::kOLESetDataArgs};
constexpr Host::EventInfo kOLEStartDrag{L"OLEStartDrag", 12, ButtonBase::kOLEStartDragArgs};

const Host::EventInfo kEvents[] = {
    ButtonBase::kClick,
    kHotChanged,
    kOwnerDraw,
    kPreviewKeyDown,
    kPreviewKeyUp,
    kMouseEnter,
    kMouseLeave,
    kOLECompleteDrag,
    kOLEDragDrop,
    kOLEDragOver,
    kOLEGiveFeedback,
    kOLESetData,
    kOLEStartDrag,
    ButtonBase::kKeyDown,
    ButtonBase::kKeyUp,
    ButtonBase::kKeyPress,
    ButtonBase::kMouseDown,
    ButtonBase::kMouseMove,
    ButtonBase::kMouseUp,
};

// No drop-down part.
const ButtonBase::ButtonEvents kButtonEvents{
    kHotChanged,      nullptr,      kPreviewKeyDown, kPreviewKeyUp,    kMouseEnter, kMouseLeave,
    kOLECompleteDrag, kOLEDragDrop, kOLEDragOver,    kOLEGiveFeedback, kOLESetData, kOLEStartDrag,
};

using namespace ButtonBase;
// A 16-bit value whose default is kept as a 32-bit 0.
constexpr Host::StoredKey kValueKey = Host::Int32Key(L"Value", 0);
constexpr Host::StoredKey kAlignmentKey = Host::Int32Key(L"Alignment", 0);
constexpr Host::StoredKey kTextAlignmentKey = Host::Int32Key(L"TextAlignment", 0);
constexpr Host::StoredKey kPushLikeKey = Host::BoolKey(L"PushLike", false);
// In reading and writing order.
const Host::StoredKey kKeys[] = {
    kFontKey,
    kVisualStylesKey,
    kAppearanceKey,
    kBackColorKey,
    kForeColorKey,
    kEnabledKey,
    kOLEDropModeKey,
    kMousePointerKey,
    kMouseIconKey,
    kMouseTrackKey,
    kRightToLeftKey,
    kRightToLeftModeKey,
    kImageListKey,
    kImageListAlignmentKey,
    kImageListMarginKey,
    kValueKey,
    kCaptionKey,
    kAlignmentKey,
    kTextAlignmentKey,
    kPushLikeKey,
    kPictureKey,
    kWordWrapKey,
    kTransparentKey,
    kVerticalAlignmentKey,
    kStyleKey,
    kDisabledPictureKey,
    kDownPictureKey,
    kUseMaskColorKey,
    kMaskColorKey,
    kDrawModeKey,
};

constexpr DWORD kByTextAlignment[] = {BS_LEFT, BS_RIGHT, BS_CENTER};
constexpr const wchar_t* kValueNames[] = {L"0 - Unchecked", L"1 - Checked", L"2 - Grayed"};

Host::Variant ObjectValue(IDispatch* object) {
    return object ? Host::Variant::Object(object) : Host::Variant();
}

// `value` when it is within 0..last, else error 380.
int32_t Checked(int32_t value, int32_t last) {
    if (value < 0 || value > last) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    return value;
}

// A check state as given: -1 (true) means checked.
int16_t CheckState(int16_t value) {
    return static_cast<int16_t>(Checked(value == -1 ? CB::kChecked : value, 2));
}

}  // namespace

CheckBoxW::CheckBoxW() : ButtonControl(kButtonEvents, kDispIdMousePointer, kDispIdImageList) {}

const Host::ControlDescription& CheckBoxW::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, kEvents, kKeys};
    return description;
}

// ---- Life ---------------------------------------------------------------------------------

void CheckBoxW::InitProperties() {
    BeginProperties();
    Host::Ambient ambient = Site().GetAmbient();
    Site().SetFont(ambient.Font().Get());
    PropCaption = ambient.DisplayName();
    PropValue = kUnchecked;
    PropRightToLeft = ambient.RightToLeft();
    if (PropRightToLeft) SetRightToLeft(true);
    PropAlignment = PropTextAlignment = PropImageListAlignment = PropRightToLeft ? 1 : 0;
    PropImageListName = kNoImageList;
    CreateSystemWindow();
}

void CheckBoxW::ReadProperties(Host::PropertyStore& store) {
    BeginProperties();
    // A stored none is the container's font, which window creation falls back to.
    Site().SetFont(kFontKey.ReadFont(store).Get());
    PropVisualStyles = kVisualStylesKey.ReadBool(store);
    ReadHostKept(store);
    PropMousePointer = kMousePointerKey.ReadInt16(store);
    PropMouseIcon = kMouseIconKey.ReadPicture(store);
    PropMouseTrack = kMouseTrackKey.ReadBool(store);
    PropRightToLeft = kRightToLeftKey.ReadBool(store);
    PropRightToLeftMode = kRightToLeftModeKey.ReadInt32(store);
    if (PropRightToLeft) SetRightToLeft(true);
    PropImageListName = kImageListKey.ReadString(store);
    PropImageListAlignment = kImageListAlignmentKey.ReadInt32(store);
    PropImageListMargin = kImageListMarginKey.ReadInt32(store);
    PropValue = CheckState(kValueKey.ReadInt16(store));
    PropCaption = kCaptionKey.ReadString(store);
    PropAlignment = Checked(kAlignmentKey.ReadInt32(store), 1);
    PropTextAlignment = Checked(kTextAlignmentKey.ReadInt32(store), 2);
    PropPushLike = kPushLikeKey.ReadBool(store);
    PropPicture = kPictureKey.ReadPicture(store);
    PropWordWrap = kWordWrapKey.ReadBool(store);
    PropTransparent = kTransparentKey.ReadBool(store);
    PropVerticalAlignment = kVerticalAlignmentKey.ReadInt32(store);
    PropStyle = kStyleKey.ReadInt32(store);
    PropDisabledPicture = kDisabledPictureKey.ReadPicture(store);
    PropDownPicture = kDownPictureKey.ReadPicture(store);
    PropUseMaskColor = kUseMaskColorKey.ReadBool(store);
    PropMaskColor = static_cast<OLE_COLOR>(kMaskColorKey.ReadInt32(store));
    PropDrawMode = kDrawModeKey.ReadInt32(store);
    CreateSystemWindow();
    EndReadProperties();
}

void CheckBoxW::WriteProperties(Host::PropertyStore& store) {
    using Host::Variant;
    kFontKey.Write(store, StoredFont());
    kVisualStylesKey.Write(store, Variant::Bool(PropVisualStyles));
    WriteHostKept(store);
    kMousePointerKey.Write(store, Variant::Int16(PropMousePointer));
    kMouseIconKey.Write(store, ObjectValue(PropMouseIcon.Get()));
    kMouseTrackKey.Write(store, Variant::Bool(PropMouseTrack));
    kRightToLeftKey.Write(store, Variant::Bool(PropRightToLeft));
    kRightToLeftModeKey.Write(store, Variant::Int32(PropRightToLeftMode));
    kImageListKey.Write(store, Variant::String(PropImageListName));
    kImageListAlignmentKey.Write(store, Variant::Int32(PropImageListAlignment));
    kImageListMarginKey.Write(store, Variant::Int32(PropImageListMargin));
    kValueKey.Write(store, Variant::Int16(Value()));
    kCaptionKey.WriteString(store, Caption());
    kAlignmentKey.Write(store, Variant::Int32(PropAlignment));
    kTextAlignmentKey.Write(store, Variant::Int32(PropTextAlignment));
    kPushLikeKey.Write(store, Variant::Bool(PropPushLike));
    kPictureKey.Write(store, ObjectValue(PropPicture.Get()));
    kWordWrapKey.Write(store, Variant::Bool(PropWordWrap));
    kTransparentKey.Write(store, Variant::Bool(PropTransparent));
    kVerticalAlignmentKey.Write(store, Variant::Int32(PropVerticalAlignment));
    kStyleKey.Write(store, Variant::Int32(PropStyle));
    kDisabledPictureKey.Write(store, ObjectValue(PropDisabledPicture.Get()));
    kDownPictureKey.Write(store, ObjectValue(PropDownPicture.Get()));
    kUseMaskColorKey.Write(store, Variant::Bool(PropUseMaskColor));
    kMaskColorKey.Write(store, Variant::Int32(static_cast<int32_t>(PropMaskColor)));
    kDrawModeKey.Write(store, Variant::Int32(PropDrawMode));
}

Host::WindowShape CheckBoxW::DescribeWindow() {
    // Not an automatic style: the control decides the next state itself, so that the grayed
    // state goes to unchecked on a click and every change raises Click once.
    DWORD own = BS_3STATE;
    if (PropAlignment == 1) own |= BS_LEFTTEXT;
    if (PropPushLike) own |= BS_PUSHLIKE;
    const DWORD horizontal = kByTextAlignment[PropTextAlignment];
    // The caption comes through its setter, after the font.
    return {L"Button", SharedStyle(own, horizontal), SharedExStyle(), {}};
}

void CheckBoxW::WindowCreated() {
    ComCtlsBase::ClearFocusCues(hWnd());
    SetVisualStyles(PropVisualStyles);
    if (windowMadeBefore_) {
        // A re-created window shows the state the old one had: no change, no Click.
        if (!IsOwnerDrawn(hWnd())) {
            SendMessageW(hWnd(), BM_SETCHECK, static_cast<WPARAM>(PropValue), 0);
        }
    } else {
        // A fresh window is unchecked: a stored 1 or 2 is a change and raises Click, also
        // for a box that keeps the state itself.
        windowMadeBefore_ = true;
        const int16_t stored = PropValue;
        PropValue = kUnchecked;
        SetValue(stored);
    }
    SetCaption(PropCaption);
    if (PropPicture) SetPicture(PropPicture);
}

void CheckBoxW::WindowDestroyed() {
    CheckedBrush.Reset();
    ButtonControl::WindowDestroyed();
}

// ---- Value and Click ---------------------------------------------------------------------------

int16_t CheckBoxW::Value() const {
    if (hWnd() && !IsOwnerDrawn(hWnd())) {
        return static_cast<int16_t>(SendMessageW(hWnd(), BM_GETCHECK, 0, 0));
    }
    return PropValue;
}

void CheckBoxW::SetValue(int16_t value) {
    value = CheckState(value);
    const int16_t old = Value();
    PropValue = value;
    if (hWnd()) {
        if (IsOwnerDrawn(hWnd())) {
            Refresh();  // it draws the new state itself
        } else {
            SendMessageW(hWnd(), BM_SETCHECK, static_cast<WPARAM>(value), 0);
        }
    }
    Site().PropertyChanged(L"Value");
    if (value == old) return;
    try {
        Site().GetExtender().SetDataChanged(true);
    } catch (const ControlError&) {
        // A container without a data binding slot: the change still counts.
    }
    // Each change raises its own Click, also one made by a Click handler; only a handler
    // that makes the very change being raised again is not heard a second time (it would
    // call itself without end).
    const std::pair<int16_t, int16_t> change{old, value};
    for (const auto& raising : clicksRaising_)
        if (raising == change) return;
    clicksRaising_.push_back(change);
    struct Done {
        std::vector<std::pair<int16_t, int16_t>>& list;
        ~Done() { list.pop_back(); }
    } done{clicksRaising_};  // also when a handler's error comes through
    RaiseEvent(kClick);
}

void CheckBoxW::ButtonClicked() {
    try {
        SetValue(Value() == kUnchecked ? kChecked : kUnchecked);
    } catch (const ControlError&) {
        // A Click handler's error has nowhere to go from a window procedure.
    }
}

// ---- Look -----------------------------------------------------------------------------------

void CheckBoxW::SetAlignment(int32_t value) {
    PropAlignment = Checked(value, 1);
    StyleSetter(BS_LEFTTEXT, value == 1 ? BS_LEFTTEXT : 0);
    Site().PropertyChanged(L"Alignment");
}

void CheckBoxW::SetTextAlignment(int32_t value) {
    PropTextAlignment = Checked(value, 2);
    StyleSetter(kHorizontalBits, kByTextAlignment[value]);
    Site().PropertyChanged(L"TextAlignment");
}

void CheckBoxW::SetPushLike(bool value) {
    PropPushLike = value;
    StyleSetter(BS_PUSHLIKE, value ? BS_PUSHLIKE : 0);
    Site().PropertyChanged(L"PushLike");
}

void CheckBoxW::MirrorAlignments(bool rightToLeft) {
    const int32_t from = rightToLeft ? 0 : 1, to = rightToLeft ? 1 : 0;
    if (PropImageListAlignment == from) SetImageListAlignment(to);
    if (PropTextAlignment == from) SetTextAlignment(to);
}

void CheckBoxW::OwnerDraw(const DRAWITEMSTRUCT& item) {
    auto arg = [](auto v) { return Host::EventArg::ByVal(static_cast<int32_t>(v)); };
    RaiseEvent(kOwnerDraw, arg(item.itemAction), arg(item.itemState),
               arg(reinterpret_cast<LONG_PTR>(item.hDC)), arg(item.rcItem.left),
               arg(item.rcItem.top), arg(item.rcItem.right), arg(item.rcItem.bottom));
}

LRESULT CheckBoxW::DrawGraphical(const DRAWITEMSTRUCT& item) {
    return ButtonControl::DrawGraphical(item);
}

// ---- Property browsing
// ---------------------------------------------------------------------------

HRESULT CheckBoxW::GetDisplayString(VARIANT_BOOL* handled, DISPID id, BSTR* name) {
    if (id != DISPID_VALUE) return ButtonControl::GetDisplayString(handled, id, name);
    if (handled) *handled = VARIANT_FALSE;
    if (!name) return S_OK;
    *name = SysAllocString(kValueNames[Value()]);
    if (handled) *handled = VARIANT_TRUE;
    return S_OK;
}

HRESULT CheckBoxW::GetPredefinedStrings(VARIANT_BOOL* handled, DISPID id, SAFEARRAY** strings,
                                        SAFEARRAY** cookies) {
    if (id != DISPID_VALUE)
        return ButtonControl::GetPredefinedStrings(handled, id, strings, cookies);
    if (handled) *handled = VARIANT_FALSE;
    if (!strings || !cookies) return S_OK;
    const std::vector<std::wstring> names(std::begin(kValueNames), std::end(kValueNames));
    const std::vector<int32_t> values = {kUnchecked, kChecked, kGrayed};
    const HRESULT hr = Common::PutPredefinedStrings(names, values, *strings, *cookies);
    if (SUCCEEDED(hr) && handled) *handled = VARIANT_TRUE;
    return hr;
}

HRESULT CheckBoxW::GetPredefinedValue(VARIANT_BOOL* handled, DISPID id, LONG cookie,
                                      VARIANT* value) {
    if (id != DISPID_VALUE) return ButtonControl::GetPredefinedValue(handled, id, cookie, value);
    if (handled) *handled = VARIANT_FALSE;
    if (!value) return S_OK;
    value->vt = VT_I4;
    value->lVal = cookie;
    if (handled) *handled = VARIANT_TRUE;
    return S_OK;
}
