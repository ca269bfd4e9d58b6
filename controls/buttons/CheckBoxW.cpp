#include "controls/buttons/CheckBoxW.h"

#include <uxtheme.h>

#include <array>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VTableHandle.h"
#include "controls/base/VisualStyles.h"
#include "controls/buttons/ButtonBase.h"
#include "host/ControlDescription.h"
#include "host/DataObject.h"
#include "host/Events.h"

namespace {

using CB = CheckBoxW;

constexpr wchar_t kNoImageList[] = L"(None)";
constexpr wchar_t kStyleRefused[] = L"Style must be 0 - Standard when DrawMode is not 0 - Normal";
// The window style's owner-draw type: the graphical style and owner drawing use it, and
// it drops every other button style.
constexpr DWORD kOwnerDraw = BS_OWNERDRAW;
constexpr DWORD kHorizontalBits = BS_LEFT | BS_RIGHT | BS_CENTER;
constexpr DWORD kVerticalBits = BS_TOP | BS_BOTTOM | BS_VCENTER;
constexpr DWORD kByTextAlignment[] = {BS_LEFT, BS_RIGHT, BS_CENTER};
constexpr DWORD kByVerticalAlignment[] = {BS_TOP, BS_VCENTER, BS_BOTTOM};
constexpr const wchar_t* kValueNames[] = {L"0 - Unchecked", L"1 - Checked", L"2 - Grayed"};

// `value` when it is within lo..hi, else error 380.
int32_t Checked(int32_t value, int32_t lo, int32_t hi) {
    if (value < lo || value > hi) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    return value;
}

// A check state as given: -1 (true) means checked.
int16_t CheckState(int16_t value) {
    return static_cast<int16_t>(Checked(value == -1 ? CB::kChecked : value, 0, 2));
}

bool ValidPointer(int32_t pointer) {
    return (pointer >= 0 && pointer <= 16) || pointer == 99;
}

template <class I>
ComPtr<I> StoredObject(const Host::Variant& value) {
    const VARIANT& v = value.Get();
    IUnknown* object = v.vt == VT_DISPATCH ? v.pdispVal : v.vt == VT_UNKNOWN ? v.punkVal : nullptr;
    ComPtr<I> result;
    if (object) object->QueryInterface(__uuidof(I), result.PutVoid());
    return result;
}

Host::Variant ObjectValue(IDispatch* object) {
    return object ? Host::Variant::Object(object) : Host::Variant();
}

// An independent copy of a picture, as the control keeps every picture it is given.
ComPtr<IPictureDisp> PictureCopy(const ComPtr<IPictureDisp>& picture) {
    ComPtr<IPictureDisp> copy;
    if (!picture) return copy;
    ComPtr<IPicture> source;
    picture->QueryInterface(IID_IPicture, source.PutVoid());
    if (ComPtr<IPicture> made = Common::CopyPicture(source.Get())) {
        made->QueryInterface(IID_IPictureDisp, copy.PutVoid());
    } else {
        copy = picture;  // an empty picture stays as it was given
    }
    return copy;
}

// --- the declared surface -------------------------------------------------------------------

constexpr DISPID kDispIdHwndUserControl = 1;
constexpr DISPID kDispIdVisualStyles = 2;
constexpr DISPID kDispIdOLEDropMode = 3;
constexpr DISPID kDispIdMouseTrack = 4;
constexpr DISPID kDispIdRightToLeftMode = 5;
constexpr DISPID kDispIdImageList = 6;
constexpr DISPID kDispIdImageListAlignment = 7;
constexpr DISPID kDispIdImageListMargin = 8;
constexpr DISPID kDispIdAlignment = 9;
constexpr DISPID kDispIdTextAlignment = 10;
constexpr DISPID kDispIdVerticalAlignment = 11;
constexpr DISPID kDispIdPushLike = 12;
constexpr DISPID kDispIdWordWrap = 13;
constexpr DISPID kDispIdTransparent = 14;
constexpr DISPID kDispIdStyle = 15;
constexpr DISPID kDispIdDisabledPicture = 16;
constexpr DISPID kDispIdDownPicture = 17;
constexpr DISPID kDispIdUseMaskColor = 18;
constexpr DISPID kDispIdMaskColor = 19;
constexpr DISPID kDispIdDrawMode = 20;
constexpr DISPID kDispIdPushed = 21;
constexpr DISPID kDispIdHot = 22;
constexpr DISPID kDispIdSetFocus = 23;
constexpr DISPID kDispIdZOrder = 24;
constexpr DISPID kDispIdDrag = 25;
constexpr DISPID kDispIdOLEDrag = 26;

const std::wstring_view kDragArgs[] = {L"Action"};
const std::wstring_view kZOrderArgs[] = {L"Position"};

const Host::Member kMembers[] = {
    Host::Property<&CB::Value, &CB::SetValue>(L"Value", DISPID_VALUE),
    Host::ReadOnly<&CB::Name>(L"Name", DISPID_Name),
    Host::ReadOnly<&CB::CheckBoxHandle>(L"hWnd", DISPID_HWND),
    Host::ReadOnly<&CB::hWndUserControl>(L"hWndUserControl", kDispIdHwndUserControl),
    Host::Property<&CB::Font, &CB::SetFont>(L"Font", DISPID_FONT),
    Host::Property<&CB::VisualStyles, &CB::SetVisualStyles>(L"VisualStyles", kDispIdVisualStyles),
    Host::Property<&CB::Appearance, &CB::SetAppearance>(L"Appearance", DISPID_APPEARANCE),
    Host::Property<&CB::BackColor, &CB::SetBackColor>(L"BackColor", DISPID_BACKCOLOR),
    Host::Property<&CB::ForeColor, &CB::SetForeColor>(L"ForeColor", DISPID_FORECOLOR),
    Host::Property<&CB::Enabled, &CB::SetEnabled>(L"Enabled", DISPID_ENABLED),
    Host::Property<&CB::OLEDropMode, &CB::SetOLEDropMode>(L"OLEDropMode", kDispIdOLEDropMode),
    Host::Property<&CB::MousePointer, &CB::SetMousePointer>(L"MousePointer", DISPID_MOUSEPOINTER),
    Host::Property<&CB::MouseIcon, &CB::SetMouseIcon>(L"MouseIcon", DISPID_MOUSEICON),
    Host::Property<&CB::MouseTrack, &CB::SetMouseTrack>(L"MouseTrack", kDispIdMouseTrack),
    Host::Property<&CB::RightToLeft, &CB::SetRightToLeft>(L"RightToLeft", DISPID_RIGHTTOLEFT),
    Host::Property<&CB::RightToLeftMode, &CB::SetRightToLeftMode>(L"RightToLeftMode",
                                                                  kDispIdRightToLeftMode),
    Host::Property<&CB::ImageList, &CB::SetImageList>(L"ImageList", kDispIdImageList),
    Host::Property<&CB::ImageListAlignment, &CB::SetImageListAlignment>(L"ImageListAlignment",
                                                                        kDispIdImageListAlignment),
    Host::Property<&CB::ImageListMargin, &CB::SetImageListMargin>(L"ImageListMargin",
                                                                  kDispIdImageListMargin),
    Host::Property<&CB::Caption, &CB::SetCaption>(L"Caption", DISPID_CAPTION),
    Host::Property<&CB::Alignment, &CB::SetAlignment>(L"Alignment", kDispIdAlignment),
    Host::Property<&CB::TextAlignment, &CB::SetTextAlignment>(L"TextAlignment",
                                                              kDispIdTextAlignment),
    Host::Property<&CB::VerticalAlignment, &CB::SetVerticalAlignment>(L"VerticalAlignment",
                                                                      kDispIdVerticalAlignment),
    Host::Property<&CB::PushLike, &CB::SetPushLike>(L"PushLike", kDispIdPushLike),
    Host::Property<&CB::WordWrap, &CB::SetWordWrap>(L"WordWrap", kDispIdWordWrap),
    Host::Property<&CB::Transparent, &CB::SetTransparent>(L"Transparent", kDispIdTransparent),
    Host::Property<&CB::Picture, &CB::SetPicture>(L"Picture", DISPID_PICTURE),
    Host::Property<&CB::Style, &CB::SetStyle>(L"Style", kDispIdStyle),
    Host::Property<&CB::DisabledPicture, &CB::SetDisabledPicture>(L"DisabledPicture",
                                                                  kDispIdDisabledPicture),
    Host::Property<&CB::DownPicture, &CB::SetDownPicture>(L"DownPicture", kDispIdDownPicture),
    Host::Property<&CB::UseMaskColor, &CB::SetUseMaskColor>(L"UseMaskColor", kDispIdUseMaskColor),
    Host::Property<&CB::MaskColor, &CB::SetMaskColor>(L"MaskColor", kDispIdMaskColor),
    Host::Property<&CB::DrawMode, &CB::SetDrawMode>(L"DrawMode", kDispIdDrawMode),
    Host::Property<&CB::Pushed, &CB::SetPushed>(L"Pushed", kDispIdPushed),
    Host::ReadOnly<&CB::Hot>(L"Hot", kDispIdHot),
    Host::Method<&CB::Refresh>(L"Refresh", DISPID_REFRESH),
    Host::Method<&CB::SetFocusToControl>(L"SetFocus", kDispIdSetFocus),
    Host::Method<&CB::ZOrder>(L"ZOrder", kDispIdZOrder, kZOrderArgs),
    Host::Method<&CB::Drag>(L"Drag", kDispIdDrag, kDragArgs),
    Host::Method<&CB::OLEDrag>(L"OLEDrag", kDispIdOLEDrag),
};

constexpr Host::EventParameter kOwnerDrawArgs[] = {
    {L"Action", VT_I4, false}, {L"State", VT_I4, false}, {L"hDC", VT_I4, false},
    {L"Left", VT_I4, false},   {L"Top", VT_I4, false},   {L"Right", VT_I4, false},
    {L"Bottom", VT_I4, false}};
constexpr Host::EventParameter kPreviewKeyArgs[] = {{L"KeyCode", VT_I2, false},
                                                    {L"IsInputKey", VT_BOOL, true}};
constexpr Host::EventParameter kKeyArgs[] = {{L"KeyCode", VT_I2, true}, {L"Shift", VT_I2, true}};
constexpr Host::EventParameter kKeyPressArgs[] = {{L"KeyChar", VT_I2, true}};
constexpr Host::EventParameter kMouseArgs[] = {
    {L"Button", VT_I2, true}, {L"Shift", VT_I2, true}, {L"X", VT_R4, true}, {L"Y", VT_R4, true}};
constexpr Host::EventParameter kEffectArgs[] = {{L"Effect", VT_I4, true}};
constexpr Host::EventParameter kDragDropArgs[] = {
    {L"Data", VT_UNKNOWN, false}, {L"Effect", VT_I4, true}, {L"Button", VT_I2, true},
    {L"Shift", VT_I2, true},      {L"X", VT_R4, true},      {L"Y", VT_R4, true}};
constexpr Host::EventParameter kDragOverArgs[] = {
    {L"Data", VT_UNKNOWN, false}, {L"Effect", VT_I4, true}, {L"Button", VT_I2, true},
    {L"Shift", VT_I2, true},      {L"X", VT_R4, true},      {L"Y", VT_R4, true},
    {L"State", VT_I2, true}};
constexpr Host::EventParameter kGiveFeedbackArgs[] = {{L"Effect", VT_I4, true},
                                                      {L"DefaultCursors", VT_BOOL, true}};
constexpr Host::EventParameter kSetDataArgs[] = {{L"Data", VT_UNKNOWN, false},
                                                 {L"DataFormat", VT_I2, true}};
constexpr Host::EventParameter kStartDragArgs[] = {{L"Data", VT_UNKNOWN, false},
                                                   {L"AllowedEffects", VT_I4, true}};

constexpr Host::EventInfo kHotChanged{L"HotChanged", CB::kDispIdHotChanged, {}};
constexpr Host::EventInfo kOwnerDrawEvent{L"OwnerDraw", CB::kDispIdOwnerDraw, kOwnerDrawArgs};
constexpr Host::EventInfo kPreviewKeyDown{L"PreviewKeyDown", CB::kDispIdPreviewKeyDown,
                                          kPreviewKeyArgs};
constexpr Host::EventInfo kPreviewKeyUp{L"PreviewKeyUp", CB::kDispIdPreviewKeyUp, kPreviewKeyArgs};
constexpr Host::EventInfo kMouseEnter{L"MouseEnter", CB::kDispIdMouseEnter, {}};
constexpr Host::EventInfo kMouseLeave{L"MouseLeave", CB::kDispIdMouseLeave, {}};
constexpr Host::EventInfo kOLECompleteDrag{L"OLECompleteDrag", CB::kDispIdOLECompleteDrag,
                                           kEffectArgs};
constexpr Host::EventInfo kOLEDragDrop{L"OLEDragDrop", CB::kDispIdOLEDragDrop, kDragDropArgs};
constexpr Host::EventInfo kOLEDragOver{L"OLEDragOver", CB::kDispIdOLEDragOver, kDragOverArgs};
constexpr Host::EventInfo kOLEGiveFeedback{L"OLEGiveFeedback", CB::kDispIdOLEGiveFeedback,
                                           kGiveFeedbackArgs};
constexpr Host::EventInfo kOLESetData{L"OLESetData", CB::kDispIdOLESetData, kSetDataArgs};
constexpr Host::EventInfo kOLEStartDrag{L"OLEStartDrag", CB::kDispIdOLEStartDrag, kStartDragArgs};
constexpr Host::EventInfo kKeyDown{L"KeyDown", Host::kDispIdKeyDown, kKeyArgs};
constexpr Host::EventInfo kKeyUp{L"KeyUp", Host::kDispIdKeyUp, kKeyArgs};
constexpr Host::EventInfo kKeyPress{L"KeyPress", Host::kDispIdKeyPress, kKeyPressArgs};
constexpr Host::EventInfo kMouseDown{L"MouseDown", Host::kDispIdMouseDown, kMouseArgs};
constexpr Host::EventInfo kMouseMove{L"MouseMove", Host::kDispIdMouseMove, kMouseArgs};
constexpr Host::EventInfo kMouseUp{L"MouseUp", Host::kDispIdMouseUp, kMouseArgs};
const Host::EventInfo kEvents[] = {
    ButtonBase::kClick, kHotChanged, kOwnerDrawEvent,  kPreviewKeyDown, kPreviewKeyUp,
    kMouseEnter,        kMouseLeave, kOLECompleteDrag, kOLEDragDrop,    kOLEDragOver,
    kOLEGiveFeedback,   kOLESetData, kOLEStartDrag,    kKeyDown,        kKeyUp,
    kKeyPress,          kMouseDown,  kMouseMove,       kMouseUp};

// The stored keys, in the order they are read and written.
constexpr Host::StoredKey kFontKey{L"Font", Host::StoredType::Font, 0, {}};
constexpr Host::StoredKey kVisualStylesKey = Host::BoolKey(L"VisualStyles", true);
constexpr Host::StoredKey kAppearanceKey = Host::Int32Key(L"Appearance", 1);
constexpr Host::StoredKey kBackColorKey = Host::ColorKey(L"BackColor", 0x8000000F);
constexpr Host::StoredKey kForeColorKey = Host::ColorKey(L"ForeColor", 0x80000012);
constexpr Host::StoredKey kEnabledKey = Host::BoolKey(L"Enabled", true);
constexpr Host::StoredKey kOLEDropModeKey = Host::Int32Key(L"OLEDropMode", 0);
constexpr Host::StoredKey kMousePointerKey = Host::Int16Key(L"MousePointer", 0);
constexpr Host::StoredKey kMouseIconKey{L"MouseIcon", Host::StoredType::Picture, 0, {}};
constexpr Host::StoredKey kMouseTrackKey = Host::BoolKey(L"MouseTrack", false);
constexpr Host::StoredKey kRightToLeftKey = Host::BoolKey(L"RightToLeft", false);
constexpr Host::StoredKey kRightToLeftModeKey = Host::Int32Key(L"RightToLeftMode", 1);
constexpr Host::StoredKey kImageListKey{L"ImageList", Host::StoredType::String, 0, kNoImageList};
constexpr Host::StoredKey kImageListAlignmentKey = Host::Int32Key(L"ImageListAlignment", 0);
// A 32-bit value whose default is kept as a 16-bit 0, as stored layouts have it.
constexpr Host::StoredKey kImageListMarginKey = Host::Int16Key(L"ImageListMargin", 0);
// A 16-bit value whose default is kept as a 32-bit 0.
constexpr Host::StoredKey kValueKey = Host::Int32Key(L"Value", 0);
constexpr Host::StoredKey kAlignmentKey = Host::Int32Key(L"Alignment", 0);
constexpr Host::StoredKey kTextAlignmentKey = Host::Int32Key(L"TextAlignment", 0);
constexpr Host::StoredKey kPushLikeKey = Host::BoolKey(L"PushLike", false);
constexpr Host::StoredKey kPictureKey{L"Picture", Host::StoredType::Picture, 0, {}};
constexpr Host::StoredKey kWordWrapKey = Host::BoolKey(L"WordWrap", true);
constexpr Host::StoredKey kTransparentKey = Host::BoolKey(L"Transparent", false);
constexpr Host::StoredKey kVerticalAlignmentKey = Host::Int32Key(L"VerticalAlignment", 1);
constexpr Host::StoredKey kStyleKey = Host::Int32Key(L"Style", 0);
constexpr Host::StoredKey kDisabledPictureKey{L"DisabledPicture", Host::StoredType::Picture, 0, {}};
constexpr Host::StoredKey kDownPictureKey{L"DownPicture", Host::StoredType::Picture, 0, {}};
constexpr Host::StoredKey kUseMaskColorKey = Host::BoolKey(L"UseMaskColor", false);
constexpr Host::StoredKey kMaskColorKey = Host::ColorKey(L"MaskColor", 0xC0C0C0);
constexpr Host::StoredKey kDrawModeKey = Host::Int32Key(L"DrawMode", 0);
const Host::StoredKey kKeys[] = {kFontKey,
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
                                 ButtonBase::kCaptionKey,
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
                                 kDrawModeKey};

// Keys that PreviewKeyDown/PreviewKeyUp may claim for the check box.
bool NavigationKey(int16_t keyCode) {
    switch (keyCode) {
        case VK_UP:
        case VK_DOWN:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_NEXT:
        case VK_PRIOR:
        case VK_HOME:
        case VK_END:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
            return true;
        default:
            return false;
    }
}

// The access key of a caption as the keyboard sends it (the low byte of its virtual key).
int AccessVirtualKey(const std::wstring& caption) {
    const wchar_t key = Common::AccessKey(caption);
    if (!key) return -1;
    const SHORT scan = VkKeyScanW(key);
    return scan == -1 ? -1 : (scan & 0xFF);
}

}  // namespace

const Host::ControlDescription& CheckBoxW::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, kEvents, kKeys};
    return description;
}

// --- life --------------------------------------------------------------------------------------

CheckBoxW::CheckBoxW() {
    Common::ShellModAddRef();
}

CheckBoxW::~CheckBoxW() {
    Common::ShellModRelease();
}

void CheckBoxW::Initialize() {
    ComCtlsBase::InitCommonControlsClass(ICC_STANDARD_CLASSES);
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kOleInPlaceActiveObject);
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kOleControl);
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
    ImageListNames.assign(1, std::wstring());
}

void CheckBoxW::Terminate() {
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kOleInPlaceActiveObject);
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kOleControl);
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
    DestroySystemWindow();
}

void CheckBoxW::LookUpDispIds() {
    ComPtr<IDispatch> self;
    if (!Object() || FAILED(Object()->QueryInterface(IID_IDispatch, self.PutVoid()))) return;
    const std::pair<const wchar_t*, DISPID*> wanted[] = {{L"Value", &DispIDValue},
                                                         {L"MousePointer", &DispIDMousePointer},
                                                         {L"ImageList", &DispIDImageList}};
    for (const auto& [name, id] : wanted) {
        if (*id != DISPID_UNKNOWN) continue;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        self->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    }
}

bool CheckBoxW::DesignMode() const {
    return !Site().GetAmbient().UserMode();
}

void CheckBoxW::InvalidValue() const {
    if (!DesignMode()) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    Common::ShowMessageBox(ControlErrors::StandardDescription(ControlErrors::kInvalidPropertyValue),
                           MB_ICONHAND);
}

void CheckBoxW::InitProperties() {
    LookUpDispIds();
    Host::Ambient ambient = Site().GetAmbient();
    PropCaption = ambient.DisplayName();
    PropValue = kUnchecked;
    PropRightToLeft = ambient.RightToLeft();
    if (PropRightToLeft) SetRightToLeft(true);
    const int32_t side = PropRightToLeft ? 1 : 0;
    PropAlignment = PropTextAlignment = PropImageListAlignment = side;
    CreateSystemWindow();
}

void CheckBoxW::ReadProperties(Host::PropertyStore& store) {
    LookUpDispIds();
    Host::ControlSite& site = Site();
    if (ComPtr<IFontDisp> font = StoredObject<IFontDisp>(kFontKey.Read(store))) {
        site.SetFont(font.Get());
    }
    PropVisualStyles = kVisualStylesKey.ReadBool(store);
    site.SetAppearance(kAppearanceKey.ReadInt32(store));
    site.SetBackColor(static_cast<OLE_COLOR>(kBackColorKey.ReadInt32(store)));
    site.SetForeColor(static_cast<OLE_COLOR>(kForeColorKey.ReadInt32(store)));
    site.SetEnabled(kEnabledKey.ReadBool(store));
    site.SetOLEDropMode(kOLEDropModeKey.ReadInt32(store));
    const int16_t pointer = kMousePointerKey.ReadInt16(store);
    if (!ValidPointer(pointer)) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropMousePointer = pointer;
    PropMouseIcon = StoredObject<IPictureDisp>(kMouseIconKey.Read(store));
    PropMouseTrack = kMouseTrackKey.ReadBool(store);
    const bool rightToLeft = kRightToLeftKey.ReadBool(store);
    PropRightToLeftMode = Checked(kRightToLeftModeKey.ReadInt32(store), 0, 4);
    PropRightToLeft = rightToLeft;
    if (rightToLeft) SetRightToLeft(true);
    PropImageListName = kImageListKey.ReadString(store);
    PropImageListAlignment = Checked(kImageListAlignmentKey.ReadInt32(store), 0, 4);
    PropImageListMargin = Checked(kImageListMarginKey.ReadInt32(store), 0, INT32_MAX);
    PropValue = CheckState(kValueKey.ReadInt16(store));
    PropCaption = ButtonBase::kCaptionKey.ReadString(store);
    PropAlignment = Checked(kAlignmentKey.ReadInt32(store), 0, 1);
    PropTextAlignment = Checked(kTextAlignmentKey.ReadInt32(store), 0, 2);
    PropPushLike = kPushLikeKey.ReadBool(store);
    PropPicture = StoredObject<IPictureDisp>(kPictureKey.Read(store));
    PropWordWrap = kWordWrapKey.ReadBool(store);
    PropTransparent = kTransparentKey.ReadBool(store);
    PropVerticalAlignment = Checked(kVerticalAlignmentKey.ReadInt32(store), 0, 2);
    PropStyle = Checked(kStyleKey.ReadInt32(store), 0, 1);
    PropDisabledPicture = StoredObject<IPictureDisp>(kDisabledPictureKey.Read(store));
    PropDownPicture = StoredObject<IPictureDisp>(kDownPictureKey.Read(store));
    PropUseMaskColor = kUseMaskColorKey.ReadBool(store);
    PropMaskColor = static_cast<OLE_COLOR>(kMaskColorKey.ReadInt32(store));
    PropDrawMode = Checked(kDrawModeKey.ReadInt32(store), 0, 1);
    CreateSystemWindow();
}

void CheckBoxW::WriteProperties(Host::PropertyStore& store) {
    using Host::Variant;
    Host::ControlSite& site = Site();
    // The container's own font is stored as none, so the control follows it.
    const ComPtr<IFontDisp> own = site.Font();
    const ComPtr<IFont> font = own.As<IFont>(IID_IFont);
    const ComPtr<IFont> ambient = site.GetAmbient().Font().As<IFont>(IID_IFont);
    const bool differs = font && !Common::FontsEqual(font.Get(), ambient.Get());
    kFontKey.Write(store, differs ? ObjectValue(own.Get()) : Variant());
    kVisualStylesKey.Write(store, Variant::Bool(PropVisualStyles));
    kAppearanceKey.Write(store, Variant::Int32(site.Appearance()));
    kBackColorKey.Write(store, Variant::Int32(static_cast<int32_t>(site.BackColor())));
    kForeColorKey.Write(store, Variant::Int32(static_cast<int32_t>(site.ForeColor())));
    kEnabledKey.Write(store, Variant::Bool(Enabled()));
    kOLEDropModeKey.Write(store, Variant::Int32(site.OLEDropMode()));
    kMousePointerKey.Write(store, Variant::Int16(PropMousePointer));
    kMouseIconKey.Write(store, ObjectValue(PropMouseIcon.Get()));
    kMouseTrackKey.Write(store, Variant::Bool(PropMouseTrack));
    kRightToLeftKey.Write(store, Variant::Bool(PropRightToLeft));
    kRightToLeftModeKey.Write(store, Variant::Int32(PropRightToLeftMode));
    kImageListKey.Write(store, Variant::String(PropImageListName));
    kImageListAlignmentKey.Write(store, Variant::Int32(PropImageListAlignment));
    kImageListMarginKey.Write(store, Variant::Int32(PropImageListMargin));
    kValueKey.Write(store, Variant::Int16(Value()));
    ButtonBase::kCaptionKey.WriteString(store, Caption());
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
    DWORD style = BS_NOTIFY | BS_3STATE;
    if (Site().Appearance() == 0) style |= BS_FLAT;
    if (PropAlignment == 1) style |= BS_LEFTTEXT;
    style |= kByTextAlignment[PropTextAlignment] | kByVerticalAlignment[PropVerticalAlignment];
    if (PropPushLike) style |= BS_PUSHLIKE;
    if (PropWordWrap) style |= BS_MULTILINE;
    if (PropDrawMode != 0) PropStyle = 0;
    // Owner drawing drops every other button style.
    if (PropStyle == 1 || PropDrawMode == 1) style = kOwnerDraw;
    return {L"Button", style, PropRightToLeft ? static_cast<DWORD>(WS_EX_RTLREADING) : 0, {}};
}

void CheckBoxW::WindowCreated() {
    ComCtlsBase::ClearFocusCues(hWnd());
    SetVisualStyles(PropVisualStyles);
    if (windowMadeBefore_) {
        // A re-created window shows the state the old one had: no change, no Click.
        if (!OwnerDrawn()) SendMessageW(hWnd(), BM_SETCHECK, static_cast<WPARAM>(PropValue), 0);
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
    AccelHandle.Reset();
}

void CheckBoxW::Resize() {
    if (InResize) return;
    InResize = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{InResize};
    // A host whose twips per pixel differ from the system's places the window only after
    // the control has moved once.
    if (Common::DPICorrectionFactor() != 1.0) {
        Host::ControlSite& site = Site();
        Host::Extender extender = site.GetExtender();
        const double dx = site.ScaleX(1, Units::Unit::Pixels, Units::Unit::ContainerPosition);
        const double dy = site.ScaleY(1, Units::Unit::Pixels, Units::Unit::ContainerPosition);
        const double left = extender.Left(), top = extender.Top();
        extender.Move(left + dx, top + dy);
        extender.Move(left, top);
    }
    FitSystemWindow();
}

// --- value and click -----------------------------------------------------------------------

bool CheckBoxW::OwnerDrawn() const {
    return hWnd() && (GetWindowLongPtrW(hWnd(), GWL_STYLE) & kOwnerDraw) == kOwnerDraw;
}

int16_t CheckBoxW::Value() const {
    if (hWnd() && !OwnerDrawn()) {
        return static_cast<int16_t>(SendMessageW(hWnd(), BM_GETCHECK, 0, 0));
    }
    return PropValue;
}

void CheckBoxW::SetValue(int16_t value) {
    value = CheckState(value);
    const int16_t old = Value();
    PropValue = value;
    if (hWnd()) {
        if (OwnerDrawn()) {
            Refresh();
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
    Raise(ButtonBase::kClick);
}

void CheckBoxW::ClickCycle() {
    SetValue(Value() == kUnchecked ? kChecked : kUnchecked);
}

bool CheckBoxW::UserControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (!hWnd()) return false;
    if (msg == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (!item || item->CtlType != ODT_BUTTON || item->hwndItem != hWnd()) return false;
        result = 1;
        if (PropStyle == 1) return true;
        const DRAWITEMSTRUCT copy = *item;
        try {
            Raise(kOwnerDrawEvent, Host::EventArg::ByVal(static_cast<int32_t>(copy.itemAction)),
                  Host::EventArg::ByVal(static_cast<int32_t>(copy.itemState)),
                  Host::EventArg::ByVal(static_cast<int32_t>(reinterpret_cast<LONG_PTR>(copy.hDC))),
                  Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.left)),
                  Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.top)),
                  Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.right)),
                  Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.bottom)));
        } catch (const ControlError&) {
            // A handler's error has nowhere to go from a window procedure.
        }
        return true;
    }
    if (msg != WM_COMMAND || reinterpret_cast<HWND>(lParam) != hWnd()) return false;
    const WORD code = HIWORD(wParam);
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED) return false;
    result = 0;
    // A disabled box takes no input, whoever sent the click.
    if (!IsWindowEnabled(hWnd())) return true;
    try {
        ClickCycle();
    } catch (const ControlError&) {
        // A Click handler's error has nowhere to go from a window procedure.
    }
    return true;
}

// --- look -----------------------------------------------------------------------------------

void CheckBoxW::SetStyleBits(DWORD mask, DWORD bits) {
    if (hWnd() && !OwnerDrawn()) {
        const LONG_PTR style = GetWindowLongPtrW(hWnd(), GWL_STYLE);
        SetWindowLongPtrW(hWnd(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(mask)) | bits);
    }
    Refresh();
}

std::wstring CheckBoxW::Caption() const {
    if (!hWnd()) return PropCaption;
    const int length = static_cast<int>(SendMessageW(hWnd(), WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = static_cast<int>(
        SendMessageW(hWnd(), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void CheckBoxW::SetCaption(const std::wstring& caption) {
    PropCaption = caption;
    ButtonBase::ApplyCaption(Site(), hWnd(), PropCaption);
    // The container asks again for the access key's accelerator.
    if (hWnd()) VTableHandle::NotifyControlInfoChanged(Object(), false);
    Site().PropertyChanged(L"Caption");
}

ComPtr<IFontDisp> CheckBoxW::Font() const {
    ComPtr<IFontDisp> font = Site().Font();
    return font ? font : Site().GetAmbient().Font();
}

void CheckBoxW::SetFont(const ComPtr<IFontDisp>& font) {
    Site().SetFont(font ? font.Get() : Site().GetAmbient().Font().Get());
    ApplyFont();
    Site().PropertyChanged(L"Font");
}

void CheckBoxW::SetVisualStyles(bool value) {
    PropVisualStyles = value;
    ThemeActive = ::VisualStyles::EnabledVisualStyles();
    if (hWnd() && ThemeActive) {
        if (value) {
            SetWindowTheme(hWnd(), nullptr, nullptr);
        } else {
            SetWindowTheme(hWnd(), L" ", L" ");
        }
    }
    Refresh();
    Site().PropertyChanged(L"VisualStyles");
}

int32_t CheckBoxW::Appearance() const {
    return Site().Appearance();
}

void CheckBoxW::SetAppearance(int32_t value) {
    Site().SetAppearance(value);
    SetStyleBits(BS_FLAT, value == 0 ? BS_FLAT : 0);
    Site().PropertyChanged(L"Appearance");
}

OLE_COLOR CheckBoxW::BackColor() const {
    return Site().BackColor();
}

void CheckBoxW::SetBackColor(OLE_COLOR color) {
    Site().SetBackColor(color);
    Refresh();
    Site().PropertyChanged(L"BackColor");
}

OLE_COLOR CheckBoxW::ForeColor() const {
    return Site().ForeColor();
}

void CheckBoxW::SetForeColor(OLE_COLOR color) {
    Site().SetForeColor(color);
    Refresh();
    Site().PropertyChanged(L"ForeColor");
}

int32_t CheckBoxW::OLEDropMode() const {
    return Site().OLEDropMode();
}

void CheckBoxW::SetOLEDropMode(int32_t mode) {
    Site().SetOLEDropMode(mode);
    Site().PropertyChanged(L"OLEDropMode");
}

void CheckBoxW::SetMousePointer(int16_t pointer) {
    if (!ValidPointer(pointer)) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropMousePointer = pointer;
    Site().PropertyChanged(L"MousePointer");
}

void CheckBoxW::SetMouseIcon(const ComPtr<IPictureDisp>& icon) {
    if (icon) {
        ComPtr<IPicture> picture;
        OLE_HANDLE handle = 0;
        SHORT type = PICTYPE_NONE;
        const bool valid = SUCCEEDED(icon->QueryInterface(IID_IPicture, picture.PutVoid())) &&
                           SUCCEEDED(picture->get_Handle(&handle)) &&
                           SUCCEEDED(picture->get_Type(&type)) &&
                           (handle == 0 || type == PICTYPE_ICON);
        if (!valid) return InvalidValue();
    }
    PropMouseIcon = icon;
    Site().PropertyChanged(L"MouseIcon");
}

void CheckBoxW::SetMouseTrack(bool value) {
    PropMouseTrack = value;
    Site().PropertyChanged(L"MouseTrack");
}

void CheckBoxW::SetRightToLeft(bool value) {
    Host::ControlSite& site = Site();
    PropRightToLeft = value;
    site.SetRightToLeft(value);
    bool resolved = site.RightToLeft();
    Common::ResolveRightToLeft(resolved, site.GetAmbient().RightToLeft(), PropRightToLeftMode);
    if (hWnd()) {
        Common::SetRightToLeftStyles(hWnd(), resolved ? WS_EX_RTLREADING : 0);
        // The text follows the reading order; the side of the box stays where it was put.
        const int32_t from = resolved ? 0 : 1, to = resolved ? 1 : 0;
        if (PropImageListAlignment == from) SetImageListAlignment(to);
        if (PropTextAlignment == from) SetTextAlignment(to);
    }
    site.PropertyChanged(L"RightToLeft");
}

void CheckBoxW::SetRightToLeftMode(int32_t mode) {
    PropRightToLeftMode = Checked(mode, 0, 4);
    SetRightToLeft(PropRightToLeft);
    Site().PropertyChanged(L"RightToLeftMode");
}

void CheckBoxW::SetImageList(const std::wstring& name) {
    PropImageListName = name.empty() ? std::wstring(kNoImageList) : name;
    Site().PropertyChanged(L"ImageList");
}

void CheckBoxW::SetImageListAlignment(int32_t value) {
    PropImageListAlignment = Checked(value, 0, 4);
    Site().PropertyChanged(L"ImageListAlignment");
}

float CheckBoxW::ImageListMargin() const {
    return static_cast<float>(
        Site().ScaleX(PropImageListMargin, Units::Unit::Pixels, Units::Unit::ContainerSize));
}

void CheckBoxW::SetImageListMargin(float value) {
    if (value < 0) return InvalidValue();
    PropImageListMargin =
        static_cast<int32_t>(Site().ScaleX(value, Units::Unit::ContainerSize, Units::Unit::Pixels));
    Site().PropertyChanged(L"ImageListMargin");
}

void CheckBoxW::SetAlignment(int32_t value) {
    PropAlignment = Checked(value, 0, 1);
    SetStyleBits(BS_LEFTTEXT, value == 1 ? BS_LEFTTEXT : 0);
    Site().PropertyChanged(L"Alignment");
}

void CheckBoxW::SetTextAlignment(int32_t value) {
    PropTextAlignment = Checked(value, 0, 2);
    SetStyleBits(kHorizontalBits, kByTextAlignment[value]);
    Site().PropertyChanged(L"TextAlignment");
}

void CheckBoxW::SetVerticalAlignment(int32_t value) {
    PropVerticalAlignment = Checked(value, 0, 2);
    SetStyleBits(kVerticalBits, kByVerticalAlignment[value]);
    Site().PropertyChanged(L"VerticalAlignment");
}

void CheckBoxW::SetPushLike(bool value) {
    PropPushLike = value;
    SetStyleBits(BS_PUSHLIKE, value ? BS_PUSHLIKE : 0);
    Site().PropertyChanged(L"PushLike");
}

void CheckBoxW::SetWordWrap(bool value) {
    PropWordWrap = value;
    SetStyleBits(BS_MULTILINE, value ? BS_MULTILINE : 0);
    Site().PropertyChanged(L"WordWrap");
}

void CheckBoxW::SetPicture(const ComPtr<IPictureDisp>& picture) {
    PropPicture = PictureCopy(picture);
    Refresh();
    Site().PropertyChanged(L"Picture");
}

void CheckBoxW::SetDisabledPicture(const ComPtr<IPictureDisp>& picture) {
    PropDisabledPicture = PictureCopy(picture);
    Refresh();
    Site().PropertyChanged(L"DisabledPicture");
}

void CheckBoxW::SetDownPicture(const ComPtr<IPictureDisp>& picture) {
    PropDownPicture = PictureCopy(picture);
    Refresh();
    Site().PropertyChanged(L"DownPicture");
}

void CheckBoxW::SetUseMaskColor(bool value) {
    PropUseMaskColor = value;
    Refresh();
    Site().PropertyChanged(L"UseMaskColor");
}

void CheckBoxW::SetMaskColor(OLE_COLOR color) {
    PropMaskColor = color;
    Refresh();
    Site().PropertyChanged(L"MaskColor");
}

void CheckBoxW::SetTransparent(bool value) {
    PropTransparent = value;
    Refresh();
    Site().PropertyChanged(L"Transparent");
}

void CheckBoxW::SetStyle(int32_t value) {
    Checked(value, 0, 1);
    if (value == 1 && PropDrawMode != 0) {
        if (!DesignMode()) ControlErrors::Raise(ControlErrors::kReadOnly, kStyleRefused);
        Common::ShowMessageBox(kStyleRefused, MB_ICONHAND);
        return;
    }
    PropStyle = value;
    if (hWnd()) {
        ReCreateSystemWindow();
        Refresh();
    }
    Site().PropertyChanged(L"Style");
}

void CheckBoxW::SetDrawMode(int32_t value) {
    PropDrawMode = Checked(value, 0, 1);
    if (hWnd()) {
        ReCreateSystemWindow();
        Refresh();
    }
    Site().PropertyChanged(L"DrawMode");
}

bool CheckBoxW::Pushed() const {
    return hWnd() && (SendMessageW(hWnd(), BM_GETSTATE, 0, 0) & BST_PUSHED);
}

void CheckBoxW::SetPushed(bool value) {
    if (hWnd()) SendMessageW(hWnd(), BM_SETSTATE, value ? TRUE : FALSE, 0);
}

bool CheckBoxW::Hot() const {
    return ::VisualStyles::ComCtlsSupportLevel() >= 1 && hWnd() &&
           (SendMessageW(hWnd(), BM_GETSTATE, 0, 0) & BST_HOT);
}

// --- methods and the extender's ---------------------------------------------------------------

HWND CheckBoxW::hWndUserControl() const {
    return Site().Hwnd();
}

std::wstring CheckBoxW::Name() const {
    return Site().GetAmbient().DisplayName();
}

void CheckBoxW::Refresh() {
    Site().Refresh();
    if (HWND window = Site().Hwnd()) {
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

void CheckBoxW::SetFocusToControl() {
    Site().GetExtender().SetFocus();
}

void CheckBoxW::ZOrder(std::optional<int16_t> position) {
    Site().GetExtender().ZOrder(position.value_or(0));
}

void CheckBoxW::Drag(std::optional<int16_t> action) {
    Site().GetExtender().Drag(action.value_or(1));
}

int32_t CheckBoxW::OLEDrag() {
    return Site().OLEDrag();
}

// --- OLE drag and drop, passed on -------------------------------------------------------------

void CheckBoxW::RaiseDrag(bool drop, IDataObject* data, int32_t& effect, int16_t button,
                          int16_t shift, float x, float y, int16_t state) {
    Host::ControlSite& site = Site();
    float cx =
        static_cast<float>(site.ScaleX(x, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    float cy =
        static_cast<float>(site.ScaleY(y, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    if (drop) {
        Raise(kOLEDragDrop, Host::EventArg::Unknown(data), Host::EventArg::ByRef(effect),
              Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
              Host::EventArg::ByRef(cx), Host::EventArg::ByRef(cy));
    } else {
        Raise(kOLEDragOver, Host::EventArg::Unknown(data), Host::EventArg::ByRef(effect),
              Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
              Host::EventArg::ByRef(cx), Host::EventArg::ByRef(cy), Host::EventArg::ByRef(state));
    }
}

void CheckBoxW::OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                            float x, float y, int16_t state) {
    RaiseDrag(false, data, effect, button, shift, x, y, state);
}

void CheckBoxW::OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                            float x, float y) {
    RaiseDrag(true, data, effect, button, shift, x, y, 0);
}

void CheckBoxW::OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) {
    Raise(kOLEStartDrag, Host::EventArg::Unknown(&data), Host::EventArg::ByRef(allowedEffects));
}

void CheckBoxW::OLESetData(Host::DataObject& data, int16_t& format) {
    Raise(kOLESetData, Host::EventArg::Unknown(&data), Host::EventArg::ByRef(format));
}

void CheckBoxW::OLEGiveFeedback(int32_t& effect, bool& defaultCursors) {
    Raise(kOLEGiveFeedback, Host::EventArg::ByRef(effect), Host::EventArg::ByRef(defaultCursors));
}

void CheckBoxW::OLECompleteDrag(int32_t& effect) {
    Raise(kOLECompleteDrag, Host::EventArg::ByRef(effect));
}

// --- keyboard and access key --------------------------------------------------------------------

HRESULT CheckBoxW::TranslateAccelerator(VARIANT_BOOL* Handled, LONG* RetVal, LONG wMsg,
                                        LONG_PTR wParam, LONG_PTR lParam, LONG) {
    (void)RetVal;
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (Handled) *Handled = VARIANT_FALSE;
        if (wMsg != WM_KEYDOWN && wMsg != WM_KEYUP) return S_OK;
        const int16_t keyCode = static_cast<int16_t>(wParam & 0xFF);
        bool isInputKey = false;
        Raise(wMsg == WM_KEYDOWN ? kPreviewKeyDown : kPreviewKeyUp, Host::EventArg::ByVal(keyCode),
              Host::EventArg::ByRef(isInputKey));
        // A key the handler claims goes to the box instead of the form's own keyboard use.
        if (isInputKey && NavigationKey(keyCode) && hWnd()) {
            SendMessageW(hWnd(), static_cast<UINT>(wMsg), static_cast<WPARAM>(wParam), lParam);
            if (Handled) *Handled = VARIANT_TRUE;
        }
        return S_OK;
    });
}

HRESULT CheckBoxW::GetControlInfo(VARIANT_BOOL* Handled, USHORT* AccelCount, HACCEL* AccelTable,
                                  DWORD* Flags) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (Handled) *Handled = VARIANT_FALSE;
        AccelHandle.Reset();
        const int key = hWnd() ? AccessVirtualKey(Caption()) : -1;
        if (key < 0 || !AccelCount || !AccelTable || !Flags) return S_OK;
        // Each table gets command identifiers of its own.
        AccelCounter = AccelCounter == 0 ? 1000 : AccelCounter + 100;
        if (AccelCounter >= 2147483600) AccelCounter = 0;
        ACCEL accel{FALT | FVIRTKEY, static_cast<WORD>(key), LOWORD(AccelCounter)};
        AccelHandle.Reset(CreateAcceleratorTableW(&accel, 1));
        if (!AccelHandle) return S_OK;
        *AccelCount = 1;
        *AccelTable = AccelHandle.Get();
        *Flags = 0;
        if (Handled) *Handled = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CheckBoxW::OnMnemonic(VARIANT_BOOL* Handled, LONG wMsg, LONG_PTR wParam, LONG_PTR, LONG) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (Handled) *Handled = VARIANT_FALSE;
        if (!hWnd() || wMsg != WM_SYSKEYDOWN) return S_OK;
        const int key = AccessVirtualKey(Caption());
        if (key < 0 || key != static_cast<int>(wParam & 0xFF)) return S_OK;
        if (Handled) *Handled = VARIANT_TRUE;
        if (IsWindowEnabled(hWnd())) ClickCycle();
        return S_OK;
    });
}

// --- property browsing and safety ------------------------------------------------------------

HRESULT CheckBoxW::GetDisplayString(VARIANT_BOOL* Handled, DISPID DispID, BSTR* DisplayName) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        *Handled = VARIANT_FALSE;
        std::wstring text;
        if (DispID == DISPID_UNKNOWN) return S_OK;
        if (DispID == DispIDValue) {
            text = kValueNames[Value()];
        } else if (DispID == DispIDMousePointer) {
            text = Common::PointerDisplayString(PropMousePointer);
        } else if (DispID == DispIDImageList) {
            text = PropImageListName;
        } else {
            return S_OK;
        }
        *DisplayName = SysAllocString(text.c_str());
        *Handled = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CheckBoxW::GetPredefinedStrings(VARIANT_BOOL* Handled, DISPID DispID,
                                        SAFEARRAY** StringsOut, SAFEARRAY** CookiesOut) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        *Handled = VARIANT_FALSE;
        std::vector<std::wstring> strings;
        std::vector<int32_t> cookies;
        if (DispID == DISPID_UNKNOWN) return S_OK;
        if (DispID == DispIDValue) {
            for (int32_t i = 0; i < 3; ++i) {
                strings.emplace_back(kValueNames[i]);
                cookies.push_back(i);
            }
        } else if (DispID == DispIDMousePointer) {
            Common::PointerPredefinedStrings(strings, cookies);
        } else if (DispID == DispIDImageList) {
            const auto siblings = Site().SiblingControls();
            Common::ImageListPredefinedStrings(strings, cookies, siblings, ImageListNames);
        } else {
            return S_OK;
        }
        if (!Common::PredefinedStringsToArrays(strings, cookies, StringsOut, CookiesOut)) {
            return E_OUTOFMEMORY;
        }
        *Handled = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CheckBoxW::GetPredefinedValue(VARIANT_BOOL* Handled, DISPID DispID, LONG Cookie,
                                      VARIANT* Value) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        *Handled = VARIANT_FALSE;
        if (DispID == DISPID_UNKNOWN) return S_OK;
        if (DispID == DispIDValue || DispID == DispIDMousePointer) {
            VariantInit(Value);
            Value->vt = VT_I4;
            Value->lVal = Cookie;
        } else if (DispID == DispIDImageList) {
            if (Cookie < 0 || static_cast<size_t>(Cookie) >= ImageListNames.size()) return S_OK;
            VariantInit(Value);
            Value->vt = VT_BSTR;
            Value->bstrVal = SysAllocString(ImageListNames[static_cast<size_t>(Cookie)].c_str());
        } else {
            return S_OK;
        }
        *Handled = VARIANT_TRUE;
        return S_OK;
    });
}

HRESULT CheckBoxW::GetInterfaceSafetyOptions(REFIID, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = *enabled = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    return S_OK;
}

HRESULT CheckBoxW::SetInterfaceSafetyOptions(REFIID, DWORD, DWORD) {
    return S_OK;
}
