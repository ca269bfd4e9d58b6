#include "controls/label/LabelW.h"

#include <oleacc.h>
#include <windowsx.h>

#include <cmath>
#include <utility>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "controls/base/VTableHandle.h"
#include "host/DataObject.h"
#include "host/Events.h"
#include "host/ControlDescription.h"
#include "host/Form.h"

namespace {

constexpr OLE_COLOR kWindowText = 0x80000008;
constexpr OLE_COLOR kButtonText = 0x80000012;
constexpr OLE_COLOR kGrayText = 0x80000011;
constexpr COLORREF kFlatBorder = RGB(100, 100, 100);

// The border's thickness: what painting and sizing leave free around the text.
SIZE BorderSize(int32_t style) {
    switch (style) {
        case 1:
        case 2:
            return {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
        case 3:
            return {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
        case 4:
            return {GetSystemMetrics(SM_CXFIXEDFRAME), GetSystemMetrics(SM_CYFIXEDFRAME)};
        default:
            return {0, 0};
    }
}

// `value` when it is within lo..hi, else error 380.
int32_t Checked(int32_t value, int32_t lo, int32_t hi) {
    if (value < lo || value > hi) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    return value;
}

ComPtr<IFont> FontOf(IFontDisp* disp) {
    ComPtr<IFont> font;
    if (disp) disp->QueryInterface(IID_IFont, font.PutVoid());
    return font;
}

ComPtr<IFontDisp> FontFromVariant(const VARIANT& v) {
    ComPtr<IFontDisp> font;
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) {
        v.punkVal->QueryInterface(IID_IFontDisp, font.PutVoid());
    }
    return font;
}

ComPtr<IPictureDisp> PictureFromVariant(const VARIANT& v) {
    ComPtr<IPictureDisp> picture;
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) {
        v.punkVal->QueryInterface(IID_IPictureDisp, picture.PutVoid());
    }
    return picture;
}

// The host's access-key list for a caption: its one access key, or none.
std::wstring AccessKeyList(const std::wstring& caption) {
    const wchar_t key = Common::AccessKey(caption);
    return key ? std::wstring(1, key) : std::wstring();
}

// --- the declared surface -------------------------------------------------------------------

constexpr DISPID kDispIdOLEDrag = 1;
constexpr DISPID kDispIdTag = 2;
constexpr DISPID kDispIdLeft = 3;
constexpr DISPID kDispIdTop = 4;
constexpr DISPID kDispIdWidth = 5;
constexpr DISPID kDispIdHeight = 6;
constexpr DISPID kDispIdVisible = 7;
constexpr DISPID kDispIdToolTipText = 8;
constexpr DISPID kDispIdWhatsThisHelpID = 9;
constexpr DISPID kDispIdDragIcon = 10;
constexpr DISPID kDispIdDragMode = 11;
constexpr DISPID kDispIdDrag = 12;
constexpr DISPID kDispIdZOrder = 13;
constexpr DISPID kDispIdOLEDropMode = 14;
constexpr DISPID kDispIdMouseTrack = 15;
constexpr DISPID kDispIdRightToLeftMode = 16;
constexpr DISPID kDispIdAlignment = 17;
constexpr DISPID kDispIdUseMnemonic = 18;
constexpr DISPID kDispIdEllipsisFormat = 19;
constexpr DISPID kDispIdVerticalAlignment = 20;
constexpr DISPID kDispIdDisplayedCaption = 21;

const std::wstring_view kDragArgs[] = {L"Action"};
const std::wstring_view kZOrderArgs[] = {L"Position"};

const Host::Member kMembers[] = {
    Host::Method<&LabelW::OLEDrag>(L"OLEDrag", kDispIdOLEDrag),
    Host::ReadOnly<&LabelW::Name>(L"Name", DISPID_Name),
    Host::Property<&LabelW::Tag, &LabelW::SetTag>(L"Tag", kDispIdTag),
    Host::Property<&LabelW::Left, &LabelW::SetLeft>(L"Left", kDispIdLeft),
    Host::Property<&LabelW::Top, &LabelW::SetTop>(L"Top", kDispIdTop),
    Host::Property<&LabelW::Width, &LabelW::SetWidth>(L"Width", kDispIdWidth),
    Host::Property<&LabelW::Height, &LabelW::SetHeight>(L"Height", kDispIdHeight),
    Host::Property<&LabelW::Visible, &LabelW::SetVisible>(L"Visible", kDispIdVisible),
    Host::Property<&LabelW::ToolTipText, &LabelW::SetToolTipText>(L"ToolTipText",
                                                                  kDispIdToolTipText),
    Host::Property<&LabelW::WhatsThisHelpID, &LabelW::SetWhatsThisHelpID>(L"WhatsThisHelpID",
                                                                          kDispIdWhatsThisHelpID),
    Host::Property<&LabelW::DragIcon, &LabelW::SetDragIcon>(L"DragIcon", kDispIdDragIcon),
    Host::Property<&LabelW::DragMode, &LabelW::SetDragMode>(L"DragMode", kDispIdDragMode),
    Host::Method<&LabelW::Drag>(L"Drag", kDispIdDrag, kDragArgs),
    Host::Method<&LabelW::ZOrder>(L"ZOrder", kDispIdZOrder, kZOrderArgs),
    Host::Property<&LabelW::Font, &LabelW::SetFont>(L"Font", DISPID_FONT),
    Host::Property<&LabelW::Appearance, &LabelW::SetAppearance>(L"Appearance", DISPID_APPEARANCE),
    Host::Property<&LabelW::BackColor, &LabelW::SetBackColor>(L"BackColor", DISPID_BACKCOLOR),
    Host::Property<&LabelW::ForeColor, &LabelW::SetForeColor>(L"ForeColor", DISPID_FORECOLOR),
    Host::Property<&LabelW::Enabled, &LabelW::SetEnabled>(L"Enabled", DISPID_ENABLED),
    Host::Property<&LabelW::OLEDropMode, &LabelW::SetOLEDropMode>(L"OLEDropMode",
                                                                  kDispIdOLEDropMode),
    Host::Property<&LabelW::MousePointer, &LabelW::SetMousePointer>(L"MousePointer",
                                                                    DISPID_MOUSEPOINTER),
    Host::Property<&LabelW::MouseIcon, &LabelW::SetMouseIcon>(L"MouseIcon", DISPID_MOUSEICON),
    Host::Property<&LabelW::MouseTrack, &LabelW::SetMouseTrack>(L"MouseTrack", kDispIdMouseTrack),
    Host::Property<&LabelW::RightToLeft, &LabelW::SetRightToLeft>(L"RightToLeft",
                                                                  DISPID_RIGHTTOLEFT),
    Host::Property<&LabelW::RightToLeftMode, &LabelW::SetRightToLeftMode>(L"RightToLeftMode",
                                                                          kDispIdRightToLeftMode),
    Host::Property<&LabelW::Alignment, &LabelW::SetAlignment>(L"Alignment", kDispIdAlignment),
    Host::Property<&LabelW::BorderStyle, &LabelW::SetBorderStyle>(L"BorderStyle",
                                                                  DISPID_BORDERSTYLE),
    Host::Property<&LabelW::BackStyle, &LabelW::SetBackStyle>(L"BackStyle", DISPID_BACKSTYLE),
    Host::Property<&LabelW::Caption, &LabelW::SetCaption>(L"Caption", DISPID_CAPTION),
    Host::Property<&LabelW::Default, &LabelW::SetDefault>(L"Default", DISPID_VALUE),
    Host::Property<&LabelW::UseMnemonic, &LabelW::SetUseMnemonic>(L"UseMnemonic",
                                                                  kDispIdUseMnemonic),
    Host::Property<&LabelW::AutoSize, &LabelW::SetAutoSize>(L"AutoSize", DISPID_AUTOSIZE),
    Host::Property<&LabelW::WordWrap, &LabelW::SetWordWrap>(L"WordWrap", DISPID_WORDWRAP),
    Host::Property<&LabelW::EllipsisFormat, &LabelW::SetEllipsisFormat>(L"EllipsisFormat",
                                                                        kDispIdEllipsisFormat),
    Host::Property<&LabelW::VerticalAlignment, &LabelW::SetVerticalAlignment>(
        L"VerticalAlignment", kDispIdVerticalAlignment),
    Host::Method<&LabelW::Refresh>(L"Refresh", DISPID_REFRESH),
    Host::ReadOnly<&LabelW::DisplayedCaption>(L"DisplayedCaption", kDispIdDisplayedCaption),
};

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

constexpr Host::EventInfo kClick{L"Click", Host::kDispIdClick, {}};
constexpr Host::EventInfo kDblClick{L"DblClick", Host::kDispIdDblClick, {}};
constexpr Host::EventInfo kChange{L"Change", LabelW::kDispIdChange, {}};
constexpr Host::EventInfo kMouseEnter{L"MouseEnter", LabelW::kDispIdMouseEnter, {}};
constexpr Host::EventInfo kMouseLeave{L"MouseLeave", LabelW::kDispIdMouseLeave, {}};
constexpr Host::EventInfo kOLECompleteDrag{L"OLECompleteDrag", LabelW::kDispIdOLECompleteDrag,
                                           kEffectArgs};
constexpr Host::EventInfo kOLEDragDrop{L"OLEDragDrop", LabelW::kDispIdOLEDragDrop, kDragDropArgs};
constexpr Host::EventInfo kOLEDragOver{L"OLEDragOver", LabelW::kDispIdOLEDragOver, kDragOverArgs};
constexpr Host::EventInfo kOLEGiveFeedback{L"OLEGiveFeedback", LabelW::kDispIdOLEGiveFeedback,
                                           kGiveFeedbackArgs};
constexpr Host::EventInfo kOLESetData{L"OLESetData", LabelW::kDispIdOLESetData, kSetDataArgs};
constexpr Host::EventInfo kOLEStartDrag{L"OLEStartDrag", LabelW::kDispIdOLEStartDrag,
                                        kStartDragArgs};
constexpr Host::EventInfo kMouseDown{L"MouseDown", Host::kDispIdMouseDown, kMouseArgs};
constexpr Host::EventInfo kMouseMove{L"MouseMove", Host::kDispIdMouseMove, kMouseArgs};
constexpr Host::EventInfo kMouseUp{L"MouseUp", Host::kDispIdMouseUp, kMouseArgs};
const Host::EventInfo kEvents[] = {kClick,           kDblClick,        kChange,       kMouseEnter,
                                   kMouseLeave,      kOLECompleteDrag, kOLEDragDrop,  kOLEDragOver,
                                   kOLEGiveFeedback, kOLESetData,      kOLEStartDrag, kMouseDown,
                                   kMouseMove,       kMouseUp};

// The stored keys, in the order they are read and written.
constexpr Host::StoredKey kFontKey{L"Font", Host::StoredType::Font, 0, {}};
constexpr Host::StoredKey kAppearanceKey = Host::Int32Key(L"Appearance", 1);
constexpr Host::StoredKey kBackColorKey = Host::ColorKey(L"BackColor", 0x8000000F);
constexpr Host::StoredKey kForeColorKey = Host::ColorKey(L"ForeColor", kButtonText);
constexpr Host::StoredKey kEnabledKey = Host::BoolKey(L"Enabled", true);
constexpr Host::StoredKey kOLEDropModeKey = Host::Int32Key(L"OLEDropMode", 0);
constexpr Host::StoredKey kMousePointerKey = Host::Int16Key(L"MousePointer", 0);
constexpr Host::StoredKey kMouseIconKey{L"MouseIcon", Host::StoredType::Picture, 0, {}};
constexpr Host::StoredKey kMouseTrackKey = Host::BoolKey(L"MouseTrack", false);
constexpr Host::StoredKey kRightToLeftKey = Host::BoolKey(L"RightToLeft", false);
constexpr Host::StoredKey kRightToLeftModeKey = Host::Int32Key(L"RightToLeftMode", 1);
constexpr Host::StoredKey kAlignmentKey = Host::Int32Key(L"Alignment", 0);
constexpr Host::StoredKey kBorderStyleKey = Host::Int32Key(L"BorderStyle", 0);
constexpr Host::StoredKey kBackStyleKey = Host::Int32Key(L"BackStyle", 1);
constexpr Host::StoredKey kCaptionKey = Host::TextKey(L"Caption");
constexpr Host::StoredKey kUseMnemonicKey = Host::BoolKey(L"UseMnemonic", true);
constexpr Host::StoredKey kAutoSizeKey = Host::BoolKey(L"AutoSize", false);
constexpr Host::StoredKey kWordWrapKey = Host::BoolKey(L"WordWrap", false);
constexpr Host::StoredKey kEllipsisFormatKey = Host::Int32Key(L"EllipsisFormat", 0);
constexpr Host::StoredKey kVerticalAlignmentKey = Host::Int32Key(L"VerticalAlignment", 0);
const Host::StoredKey kKeys[] = {
    kFontKey,        kAppearanceKey,  kBackColorKey,       kForeColorKey,
    kEnabledKey,     kOLEDropModeKey, kMousePointerKey,    kMouseIconKey,
    kMouseTrackKey,  kRightToLeftKey, kRightToLeftModeKey, kAlignmentKey,
    kBorderStyleKey, kBackStyleKey,   kCaptionKey,         kUseMnemonicKey,
    kAutoSizeKey,    kWordWrapKey,    kEllipsisFormatKey,  kVerticalAlignmentKey};

// Raises a declared event with its arguments.
template <class... A>
void Raise(Host::ControlSite& site, const Host::EventInfo& event, A&&... args) {
    site.RaiseEvent(event.name, event.id, std::forward<A>(args)...);
}

}  // namespace

const Host::ControlDescription& LabelW::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, kEvents, kKeys};
    return description;
}

// --- life --------------------------------------------------------------------------------------

LabelW::LabelW()
    : TimerMouseTrack([this] { MouseTrackTick(); }, kMouseTrackInterval, false),
      fontWatch_([this] { FontChanged(); }) {
    Common::ShellModAddRef();
}

LabelW::~LabelW() {
    Common::ShellModRelease();
}

void LabelW::Initialize() {
    // Only property browsing: the label never takes the focus, so no keyboard hooks.
    VTableHandle::SetVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
}

void LabelW::Terminate() {
    TimerMouseTrack.SetEnabled(false);
    MouseOver = false;
    fontWatch_.Stop();
    VTableHandle::RemoveVTableHandling(Object(), VTableHandle::kPerPropertyBrowsing);
}

void LabelW::LookUpDispIds() {
    ComPtr<IDispatch> self;
    DispIDMousePointer = DISPID_UNKNOWN;
    if (!Object() || FAILED(Object()->QueryInterface(IID_IDispatch, self.PutVoid()))) return;
    LPOLESTR name = const_cast<LPOLESTR>(L"MousePointer");
    DISPID id = DISPID_UNKNOWN;
    if (SUCCEEDED(self->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) {
        DispIDMousePointer = id;
    }
}

void LabelW::InitProperties() {
    Host::ControlSite& site = Site();
    DesignMode = !site.GetAmbient().UserMode();
    LookUpDispIds();
    ApplyFont(site.GetAmbient().Font().Get());
    PropMousePointer = 0;
    PropMouseIcon.Reset();
    PropMouseTrack = false;
    PropRightToLeft = site.GetAmbient().RightToLeft();
    PropRightToLeftMode = 1;
    if (PropRightToLeft) SetRightToLeft(true);
    PropAlignment = PropRightToLeft ? 1 : 0;
    PropBorderStyle = 0;
    PropCaption = site.GetAmbient().DisplayName();
    PropUseMnemonic = true;
    PropAutoSize = PropWordWrap = false;
    PropEllipsisFormat = PropVerticalAlignment = 0;
    ApplyAccessKeys();
}

void LabelW::ReadProperties(Host::PropertyStore& store) {
    Host::ControlSite& site = Site();
    DesignMode = !site.GetAmbient().UserMode();
    LookUpDispIds();
    ComPtr<IFontDisp> font = FontFromVariant(kFontKey.Read(store).Get());
    ApplyFont(font ? font.Get() : site.GetAmbient().Font().Get());
    // Appearance resets ForeColor and the border: the stored values read after it win.
    SetAppearance(kAppearanceKey.ReadInt32(store));
    SetBackColor(static_cast<OLE_COLOR>(kBackColorKey.ReadInt32(store)));
    SetForeColor(static_cast<OLE_COLOR>(kForeColorKey.ReadInt32(store)));
    SetEnabled(kEnabledKey.ReadBool(store));
    SetOLEDropMode(kOLEDropModeKey.ReadInt32(store));
    const int16_t pointer = kMousePointerKey.ReadInt16(store);
    if (!Common::ValidMousePointer(pointer))
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropMousePointer = pointer;
    PropMouseIcon = PictureFromVariant(kMouseIconKey.Read(store).Get());
    ApplyMousePointer();
    PropMouseTrack = kMouseTrackKey.ReadBool(store);
    PropRightToLeft = kRightToLeftKey.ReadBool(store);
    PropRightToLeftMode = Checked(kRightToLeftModeKey.ReadInt32(store), 0, 4);
    if (PropRightToLeft) SetRightToLeft(true);
    PropAlignment = Checked(kAlignmentKey.ReadInt32(store), 0, 2);
    PropBorderStyle = Checked(kBorderStyleKey.ReadInt32(store), 0, 4);
    SetBackStyle(kBackStyleKey.ReadInt32(store));
    PropCaption = kCaptionKey.ReadString(store);
    PropUseMnemonic = kUseMnemonicKey.ReadBool(store);
    PropAutoSize = kAutoSizeKey.ReadBool(store);
    PropWordWrap = kWordWrapKey.ReadBool(store);
    PropEllipsisFormat = Checked(kEllipsisFormatKey.ReadInt32(store), 0, 3);
    PropVerticalAlignment = Checked(kVerticalAlignmentKey.ReadInt32(store), 0, 2);
    ApplyAccessKeys();
}

void LabelW::WriteProperties(Host::PropertyStore& store) {
    using Host::Variant;
    Host::ControlSite& site = Site();
    ComPtr<IFontDisp> container = site.GetAmbient().Font();
    if (!Common::FontsEqual(FontOf(PropFont.Get()).Get(), FontOf(container.Get()).Get())) {
        kFontKey.Write(store, Variant::Object(PropFont.Get()));
    }
    kAppearanceKey.Write(store, Variant::Int32(site.Appearance()));
    kBackColorKey.Write(store, Variant::Int32(static_cast<int32_t>(site.BackColor())));
    kForeColorKey.Write(store, Variant::Int32(static_cast<int32_t>(site.ForeColor())));
    kEnabledKey.Write(store, Variant::Bool(site.Enabled()));
    kOLEDropModeKey.Write(store, Variant::Int32(site.OLEDropMode()));
    kMousePointerKey.Write(store, Variant::Int16(PropMousePointer));
    // No icon is the key's default: nothing is written.
    kMouseIconKey.Write(store, PropMouseIcon ? Variant::Object(PropMouseIcon.Get()) : Variant());
    kMouseTrackKey.Write(store, Variant::Bool(PropMouseTrack));
    kRightToLeftKey.Write(store, Variant::Bool(PropRightToLeft));
    kRightToLeftModeKey.Write(store, Variant::Int32(PropRightToLeftMode));
    kAlignmentKey.Write(store, Variant::Int32(PropAlignment));
    kBorderStyleKey.Write(store, Variant::Int32(PropBorderStyle));
    kBackStyleKey.Write(store, Variant::Int32(site.BackStyle()));
    kCaptionKey.WriteString(store, PropCaption);
    kUseMnemonicKey.Write(store, Variant::Bool(PropUseMnemonic));
    kAutoSizeKey.Write(store, Variant::Bool(PropAutoSize));
    kWordWrapKey.Write(store, Variant::Bool(PropWordWrap));
    kEllipsisFormatKey.Write(store, Variant::Int32(PropEllipsisFormat));
    kVerticalAlignmentKey.Write(store, Variant::Int32(PropVerticalAlignment));
}

// --- properties ----------------------------------------------------------------------------------

void LabelW::ApplyFont(IFontDisp* font) {
    PropFont = ComPtr<IFontDisp>(font);
    fontWatch_.Watch(font);
    Site().SetFont(font);
}

void LabelW::SetFont(const ComPtr<IFontDisp>& font) {
    ComPtr<IFontDisp> chosen = font;
    if (!chosen) chosen = Site().GetAmbient().Font();
    ApplyFont(chosen.Get());
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"Font");
}

void LabelW::FontChanged() {
    if (!Sited()) return;
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"Font");
}

int32_t LabelW::Appearance() const {
    return Site().Appearance();
}

void LabelW::SetAppearance(int32_t value) {
    Checked(value, 0, 1);
    Host::ControlSite& site = Site();
    site.SetAppearance(value);
    site.SetForeColor(value == 0 ? kWindowText : kButtonText);
    if (PropBorderStyle != 0) {
        const int32_t border = value == 1 ? 3 : 1;
        // The label sized to its text must make room for the new border too.
        if (border != PropBorderStyle) AutoSizePending = PropAutoSize;
        PropBorderStyle = border;
    }
    Redraw();
    site.PropertyChanged(L"Appearance");
}

OLE_COLOR LabelW::BackColor() const {
    return Site().BackColor();
}

void LabelW::SetBackColor(OLE_COLOR color) {
    Site().SetBackColor(color);
    Redraw();
    Site().PropertyChanged(L"BackColor");
}

OLE_COLOR LabelW::ForeColor() const {
    return Site().ForeColor();
}

void LabelW::SetForeColor(OLE_COLOR color) {
    Site().SetForeColor(color);
    Redraw();
    Site().PropertyChanged(L"ForeColor");
}

bool LabelW::Enabled() const {
    return !Sited() || Site().Enabled();
}

void LabelW::SetEnabled(bool enabled) {
    Site().SetEnabled(enabled);
    Site().PropertyChanged(L"Enabled");
}

int32_t LabelW::OLEDropMode() const {
    return Site().OLEDropMode();
}

void LabelW::SetOLEDropMode(int32_t mode) {
    Site().SetOLEDropMode(Checked(mode, 0, 1));
    Site().PropertyChanged(L"OLEDropMode");
}

void LabelW::SetMousePointer(int16_t pointer) {
    if (!Common::ValidMousePointer(pointer))
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropMousePointer = pointer;
    ApplyMousePointer();
    Site().PropertyChanged(L"MousePointer");
}

void LabelW::SetMouseIcon(const ComPtr<IPictureDisp>& icon) {
    bool valid = true;
    if (icon) {
        ComPtr<IPicture> picture;
        OLE_HANDLE handle = 0;
        SHORT type = PICTYPE_NONE;
        valid = SUCCEEDED(icon->QueryInterface(IID_IPicture, picture.PutVoid())) &&
                SUCCEEDED(picture->get_Handle(&handle)) && SUCCEEDED(picture->get_Type(&type)) &&
                (handle == 0 || type == PICTYPE_ICON);
    }
    if (!valid) {
        if (DesignMode) {
            Common::ShowMessageBox(
                ControlErrors::StandardDescription(ControlErrors::kInvalidPropertyValue),
                MB_ICONERROR);
            return;
        }
        ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    }
    PropMouseIcon = icon;
    ApplyMousePointer();
    Site().PropertyChanged(L"MouseIcon");
}

void LabelW::SetMouseTrack(bool track) {
    PropMouseTrack = track;
    Site().PropertyChanged(L"MouseTrack");
}

void LabelW::SetRightToLeft(bool value) {
    Host::ControlSite& site = Site();
    PropRightToLeft = value;
    site.SetRightToLeft(value);
    Common::ResolveRightToLeft(PropRightToLeft, site.RightToLeft(), PropRightToLeftMode);
    Redraw();
    site.PropertyChanged(L"RightToLeft");
}

void LabelW::SetRightToLeftMode(int32_t mode) {
    PropRightToLeftMode = Checked(mode, 0, 4);
    SetRightToLeft(PropRightToLeft);
    Site().PropertyChanged(L"RightToLeftMode");
}

void LabelW::SetAlignment(int32_t value) {
    PropAlignment = Checked(value, 0, 2);
    Redraw();
    Site().PropertyChanged(L"Alignment");
}

void LabelW::SetBorderStyle(int32_t value) {
    PropBorderStyle = Checked(value, 0, 4);
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"BorderStyle");
}

int32_t LabelW::BackStyle() const {
    return Site().BackStyle();
}

void LabelW::SetBackStyle(int32_t style) {
    Site().SetBackStyle(Checked(style, 0, 1));
    Redraw();
    Site().PropertyChanged(L"BackStyle");
}

void LabelW::SetCaption(const std::wstring& caption) {
    if (caption == PropCaption) return;
    PropCaption = caption;
    if (PropUseMnemonic) ApplyAccessKeys();
    AutoSizePending = PropAutoSize;
    Redraw();
    Host::ControlSite& site = Site();
    site.PropertyChanged(L"Caption");
    try {
        site.GetExtender().SetDataChanged(true);
    } catch (const ControlError&) {
        // A container without data binding refuses it; nothing depends on it.
    }
    Raise(site, kChange);
}

void LabelW::SetUseMnemonic(bool value) {
    PropUseMnemonic = value;
    ApplyAccessKeys();
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"UseMnemonic");
}

void LabelW::SetAutoSize(bool value) {
    PropAutoSize = value;
    AutoSizePending = value;
    Redraw();
    Site().PropertyChanged(L"AutoSize");
}

void LabelW::SetWordWrap(bool value) {
    PropWordWrap = value;
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"WordWrap");
}

void LabelW::SetEllipsisFormat(int32_t value) {
    PropEllipsisFormat = Checked(value, 0, 3);
    AutoSizePending = PropAutoSize;
    Redraw();
    Site().PropertyChanged(L"EllipsisFormat");
}

void LabelW::SetVerticalAlignment(int32_t value) {
    PropVerticalAlignment = Checked(value, 0, 2);
    Redraw();
    Site().PropertyChanged(L"VerticalAlignment");
}

void LabelW::ApplyAccessKeys() {
    Site().SetAccessKeys(PropUseMnemonic ? AccessKeyList(PropCaption) : std::wstring());
}

void LabelW::ApplyMousePointer() {
    if (DesignMode) return;
    Host::ControlSite& site = Site();
    switch (PropMousePointer) {
        case 4:
        case 16: {
            // The hand and the arrow with a disc as custom icons over the shared system
            // cursors, which belong to the system and are never destroyed.
            HCURSOR cursor =
                LoadCursorW(nullptr, MAKEINTRESOURCEW(Common::MousePointerID(PropMousePointer)));
            ComPtr<IPictureDisp> icon;
            if (ComPtr<IPicture> picture = Common::PictureFromHandle(cursor, PICTYPE_ICON, false)) {
                picture->QueryInterface(IID_IPictureDisp, icon.PutVoid());
            }
            site.SetMouseIcon(icon.Get());
            site.SetMousePointer(99);
            break;
        }
        case 99:
            site.SetMouseIcon(PropMouseIcon.Get());
            site.SetMousePointer(99);
            break;
        default:
            site.SetMousePointer(PropMousePointer);
            break;
    }
}

// --- drawing -------------------------------------------------------------------------------------

UINT LabelW::TextFormat() const {
    UINT format = DT_NOCLIP;
    if (PropAlignment == 1) format |= DT_RIGHT;
    if (PropAlignment == 2) format |= DT_CENTER;
    if (PropRightToLeft) format |= DT_RTLREADING;
    if (!PropUseMnemonic) format |= DT_NOPREFIX;
    if (PropWordWrap) format |= DT_WORDBREAK;
    return format;
}

void LabelW::Redraw() {
    if (!AutoSizePending) {
        Site().Refresh();
        return;
    }
    // Cleared first: the move that sizing makes resizes the label through the host, which
    // redraws again and must not size a second time.
    AutoSizePending = false;
    WindowDC screen;
    if (!screen) return;
    UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
    if (!dc) return;
    UniqueFont font = Common::CreateGDIFont(FontOf(PropFont.Get()).Get());
    SelectedObject selected(dc.Get(), font.Get());
    AutoSizeTo(dc.Get());
}

void LabelW::AutoSizeTo(HDC dc) {
    Host::ControlSite& site = Site();
    const SIZE border = BorderSize(PropBorderStyle == 2 ? 1 : PropBorderStyle);
    RECT measured{0, 0, site.ScaleWidth(), site.ScaleHeight()};
    DrawTextW(dc, PropCaption.empty() ? L" " : PropCaption.c_str(), -1, &measured,
              TextFormat() | DT_CALCRECT);
    const int w = measured.right - measured.left + 2 * border.cx;
    const int h = measured.bottom - measured.top + 2 * border.cy;
    const double width = site.ScaleX(w, Units::Unit::Pixels, Units::Unit::ContainerSize);
    const double height = site.ScaleY(h, Units::Unit::Pixels, Units::Unit::ContainerSize);

    Host::Extender extender = site.GetExtender();
    const double right = extender.Left() + extender.Width();
    const double centreX = extender.Left() + extender.Width() / 2;
    const double bottom = extender.Top() + extender.Height();
    const double centreY = extender.Top() + extender.Height() / 2;
    extender.Move(extender.Left(), extender.Top(), width, height);

    // Keep the edge the text is aligned to where it was.
    Common::FlagScope inAutoSize(InAutoSize);
    double left = extender.Left();
    if (PropAlignment == 1) left = right - extender.Width();
    if (PropAlignment == 2) left = centreX - extender.Width() / 2;
    if (left != extender.Left()) extender.SetLeft(left);
    double top = extender.Top();
    if (PropVerticalAlignment == 2) top = bottom - extender.Height();
    if (PropVerticalAlignment == 1) top = centreY - extender.Height() / 2;
    if (top != extender.Top()) extender.SetTop(top);
}

void LabelW::Paint(const Host::PaintSurface& surface) {
    if (InAutoSize) return;
    HDC dc = surface.hdc;
    RECT box{0, 0, surface.width, surface.height};
    const SIZE border = BorderSize(PropBorderStyle);
    switch (PropBorderStyle) {
        case 1:
            // A one-pixel outline whose far corner is (W - cx, H - cy).
            surface.DrawBox(0, 0, box.right - border.cx + 1, box.bottom - border.cy + 1,
                            kFlatBorder);
            break;
        case 2:
            DrawEdge(dc, &box, BDR_SUNKENOUTER, BF_RECT);
            break;
        case 3:
            DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
            break;
        case 4:
            DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
            break;
        default:
            break;
    }
    if (!Site().Enabled()) SetTextColor(dc, Common::WinColor(kGrayText));
    const UINT format = TextFormat();
    if (PropVerticalAlignment != 0) {
        RECT measured = box;
        DrawTextW(dc, PropCaption.empty() ? L" " : PropCaption.c_str(), -1, &measured,
                  format | DT_CALCRECT);
        const int free = (box.bottom - box.top) - 2 * border.cy - (measured.bottom - measured.top);
        // Centred: half the free space, an exact half going to the even neighbour.
        const long offset = PropVerticalAlignment == 1 ? std::lrint(free / 2.0) : free;
        if (offset > 0) box.top += static_cast<int>(offset);
    }
    if (PropCaption.empty()) return;
    RECT text{box.left + border.cx, box.top + border.cy, box.right - border.cx,
              box.bottom - border.cy};
    UINT ellipsis = 0;
    if (PropEllipsisFormat == 1) ellipsis = DT_END_ELLIPSIS;
    if (PropEllipsisFormat == 2) ellipsis = DT_PATH_ELLIPSIS;
    if (PropEllipsisFormat == 3) ellipsis = DT_WORD_ELLIPSIS;
    // The system may write up to four characters more than the caption when it shortens it.
    std::wstring buffer = PropCaption;
    buffer.append(4, L'\0');
    DrawTextW(dc, buffer.data(), -1, &text, format | ellipsis | DT_MODIFYSTRING);
    DisplayedCaptionBuffer.assign(buffer.c_str());
}

bool LabelW::HitTest(int, int) {
    return true;
}

// --- the extender's ------------------------------------------------------------------------------

std::wstring LabelW::Name() const {
    return Site().GetExtender().Name();
}
std::wstring LabelW::Tag() const {
    return Site().GetExtender().Tag();
}
void LabelW::SetTag(const std::wstring& tag) {
    Site().GetExtender().SetTag(tag);
}
float LabelW::Left() const {
    return static_cast<float>(Site().GetExtender().Left());
}
void LabelW::SetLeft(float value) {
    Site().GetExtender().SetLeft(value);
}
float LabelW::Top() const {
    return static_cast<float>(Site().GetExtender().Top());
}
void LabelW::SetTop(float value) {
    Site().GetExtender().SetTop(value);
}
float LabelW::Width() const {
    return static_cast<float>(Site().GetExtender().Width());
}
void LabelW::SetWidth(float value) {
    Site().GetExtender().SetWidth(value);
}
float LabelW::Height() const {
    return static_cast<float>(Site().GetExtender().Height());
}
void LabelW::SetHeight(float value) {
    Site().GetExtender().SetHeight(value);
}
bool LabelW::Visible() const {
    return Site().GetExtender().Visible();
}
void LabelW::SetVisible(bool visible) {
    Site().GetExtender().SetVisible(visible);
}
std::wstring LabelW::ToolTipText() const {
    return Site().GetExtender().ToolTipText();
}
void LabelW::SetToolTipText(const std::wstring& text) {
    Site().GetExtender().SetToolTipText(text);
}
int32_t LabelW::WhatsThisHelpID() const {
    return Site().GetExtender().WhatsThisHelpID();
}
void LabelW::SetWhatsThisHelpID(int32_t id) {
    Site().GetExtender().SetWhatsThisHelpID(id);
}
ComPtr<IPictureDisp> LabelW::DragIcon() const {
    return Site().GetExtender().DragIcon();
}
void LabelW::SetDragIcon(const ComPtr<IPictureDisp>& icon) {
    Site().GetExtender().SetDragIcon(icon.Get());
}
int32_t LabelW::DragMode() const {
    return Site().GetExtender().DragMode();
}
void LabelW::SetDragMode(int32_t mode) {
    Site().GetExtender().SetDragMode(mode);
}
void LabelW::Drag(std::optional<int16_t> action) {
    Site().GetExtender().Drag(action.value_or(1));
}
void LabelW::ZOrder(std::optional<int16_t> position) {
    Site().GetExtender().ZOrder(position.value_or(0));
}

// --- methods -------------------------------------------------------------------------------------

void LabelW::Refresh() {
    Redraw();
    // Paint now: the paints waiting for the container go out before this returns. A
    // WM_PAINT stays queued until its window validates itself, so a painter that never does
    // would keep the loop going for ever: it is bounded.
    HWND container = Site().ContainerHwnd();
    if (!container) return;
    MSG msg;
    for (int i = 0;
         i < kRefreshPaintLimit && PeekMessageW(&msg, container, WM_PAINT, WM_PAINT, PM_REMOVE);
         ++i) {
        DispatchMessageW(&msg);
    }
}

int32_t LabelW::OLEDrag() {
    return Site().OLEDrag();
}

void LabelW::Resize() {
    if (InResize) return;
    Common::FlagScope inResize(InResize);
    if (Common::DPICorrectionFactor() != 1.0) {
        // A host that scales differently from the system settles the placement only after
        // a move.
        Host::ControlSite& site = Site();
        Host::Extender extender = site.GetExtender();
        const double left = extender.Left();
        const double top = extender.Top();
        extender.Move(left + site.ScaleX(1, Units::Unit::Pixels, Units::Unit::ContainerPosition),
                      top + site.ScaleY(1, Units::Unit::Pixels, Units::Unit::ContainerPosition));
        extender.Move(left, top);
    }
    Redraw();
}

// --- mouse ---------------------------------------------------------------------------------------

float LabelW::TwipsX(int pixels) const {
    return static_cast<float>(Site().ScaleX(pixels, Units::Unit::Pixels, Units::Unit::Twips));
}

float LabelW::TwipsY(int pixels) const {
    return static_cast<float>(Site().ScaleY(pixels, Units::Unit::Pixels, Units::Unit::Twips));
}

void LabelW::RaiseMouse(const Host::EventInfo& event, int16_t button, int16_t shift, int x, int y) {
    float tx = TwipsX(x);
    float ty = TwipsY(y);
    Raise(Site(), event, Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
          Host::EventArg::ByRef(tx), Host::EventArg::ByRef(ty));
}

void LabelW::MouseDown(int16_t button, int16_t shift, int x, int y) {
    RaiseMouse(kMouseDown, button, shift, x, y);
}

void LabelW::MouseMove(int16_t button, int16_t shift, int x, int y) {
    if (PropMouseTrack) {
        if (!MouseOver) {
            MouseOver = true;
            Raise(Site(), kMouseEnter);
            LastMousePos = GetMessagePos();
            TimerMouseTrack.SetEnabled(true);
        } else {
            LastMousePos = GetMessagePos();
        }
    }
    RaiseMouse(kMouseMove, button, shift, x, y);
}

void LabelW::MouseUp(int16_t button, int16_t shift, int x, int y) {
    RaiseMouse(kMouseUp, button, shift, x, y);
}

void LabelW::Click() {
    Raise(Site(), kClick);
}

void LabelW::DblClick() {
    Raise(Site(), kDblClick);
}

long LabelW::AccessibleRole() const {
    return ROLE_SYSTEM_STATICTEXT;
}

std::wstring LabelW::AccessibleName() const {
    if (!PropUseMnemonic) return PropCaption;
    std::wstring name;
    for (size_t i = 0; i < PropCaption.size(); ++i) {
        // "&x" shows x underlined, "&&" one ampersand.
        if (PropCaption[i] == L'&' && i + 1 < PropCaption.size()) ++i;
        name += PropCaption[i];
    }
    return name;
}

bool LabelW::PointerOnLabel(DWORD messagePos) const {
    Host::ControlSite& site = Site();
    POINT pt{GET_X_LPARAM(messagePos), GET_Y_LPARAM(messagePos)};
    HWND container = site.ContainerHwnd();
    if (WindowFromPoint(pt) != container) return false;
    ScreenToClient(container, &pt);
    return site.Parent().WindowlessAt(pt) == &site;
}

void LabelW::MouseTrackTick() {
    if (!Sited() || !MouseOver) return;
    HWND container = Site().ContainerHwnd();
    // While the container holds the mouse (a button is down) the label is not left.
    if (GetCapture() == container) {
        LastMousePos = 0;
        return;
    }
    const DWORD pos = GetMessagePos();
    POINT pt{GET_X_LPARAM(pos), GET_Y_LPARAM(pos)};
    if (WindowFromPoint(pt) == container) {
        // A position the label's own mouse messages did not report means it moved off the
        // label, unless it is on it all the same (the capture just ended over it).
        if (pos == LastMousePos) return;
        if (PointerOnLabel(pos)) {
            LastMousePos = pos;
            return;
        }
    }
    MouseOver = false;
    TimerMouseTrack.SetEnabled(false);
    Raise(Site(), kMouseLeave);
}

// --- OLE drag and drop ---------------------------------------------------------------------------

void LabelW::RaiseDrag(bool drop, IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                       float x, float y, int16_t state) {
    Host::ControlSite& site = Site();
    float cx =
        static_cast<float>(site.ScaleX(x, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    float cy =
        static_cast<float>(site.ScaleY(y, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    if (drop) {
        Raise(site, kOLEDragDrop, Host::EventArg::Unknown(data), Host::EventArg::ByRef(effect),
              Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
              Host::EventArg::ByRef(cx), Host::EventArg::ByRef(cy));
    } else {
        Raise(site, kOLEDragOver, Host::EventArg::Unknown(data), Host::EventArg::ByRef(effect),
              Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
              Host::EventArg::ByRef(cx), Host::EventArg::ByRef(cy), Host::EventArg::ByRef(state));
    }
}

void LabelW::OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                         float y, int16_t state) {
    RaiseDrag(false, data, effect, button, shift, x, y, state);
}

void LabelW::OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift, float x,
                         float y) {
    RaiseDrag(true, data, effect, button, shift, x, y, 0);
}

void LabelW::OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) {
    Raise(Site(), kOLEStartDrag, Host::EventArg::Unknown(&data),
          Host::EventArg::ByRef(allowedEffects));
}

void LabelW::OLESetData(Host::DataObject& data, int16_t& format) {
    Raise(Site(), kOLESetData, Host::EventArg::Unknown(&data), Host::EventArg::ByRef(format));
}

void LabelW::OLEGiveFeedback(int32_t& effect, bool& defaultCursors) {
    Raise(Site(), kOLEGiveFeedback, Host::EventArg::ByRef(effect),
          Host::EventArg::ByRef(defaultCursors));
}

void LabelW::OLECompleteDrag(int32_t& effect) {
    Raise(Site(), kOLECompleteDrag, Host::EventArg::ByRef(effect));
}

// --- property browsing ----------------------------------------------------------------------
