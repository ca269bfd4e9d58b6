#include "controls/buttons/ButtonBase.h"

#include "controls/buttons/ButtonDraw.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VTableHandle.h"
#include "controls/base/VisualStyles.h"
#include "host/DataObject.h"

namespace ButtonBase {

namespace {

constexpr int32_t kHookKinds[] = {VTableHandle::kOleInPlaceActiveObject, VTableHandle::kOleControl,
                                  VTableHandle::kPerPropertyBrowsing};
constexpr DWORD kVerticalByValue[] = {BS_TOP, BS_VCENTER, BS_BOTTOM};

// The virtual key of a caption's access key; 0 when it has none or the keyboard cannot type
// it.
BYTE AccessKeyVk(const std::wstring& caption) {
    const wchar_t key = Common::AccessKey(caption);
    if (!key) return 0;
    const SHORT scan = VkKeyScanW(key);
    return scan == -1 ? 0 : LOBYTE(scan);
}

}  // namespace

// ---- Member table rows ----------------------------------------------------------------------

namespace {
using BC = ButtonControl;
using Host::Property;
using Host::ReadOnly;
// The buttons' own members count up from here.
constexpr DISPID kOwn = 0x68030000;
const std::wstring_view kZOrderArgs[] = {L"Position"};
const std::wstring_view kDragArgs[] = {L"Action"};
}  // namespace

std::array<Host::Member, 15> HeadMembers() {
    return {
        ReadOnly<&BC::Name>(L"Name", kOwn + 1),
        ReadOnly<&BC::ButtonHandle>(L"hWnd", DISPID_HWND),
        ReadOnly<&BC::hWndUserControl>(L"hWndUserControl", kOwn + 2),
        Property<&BC::Font, &BC::SetFont>(L"Font", DISPID_FONT),
        Property<&BC::VisualStyles, &BC::SetVisualStyles>(L"VisualStyles", kOwn + 3),
        Property<&BC::Appearance, &BC::SetAppearance>(L"Appearance", DISPID_APPEARANCE),
        Property<&BC::BackColor, &BC::SetBackColor>(L"BackColor", DISPID_BACKCOLOR),
        Property<&BC::ForeColor, &BC::SetForeColor>(L"ForeColor", DISPID_FORECOLOR),
        Property<&BC::Enabled, &BC::SetEnabled>(L"Enabled", DISPID_ENABLED),
        Property<&BC::OLEDropMode, &BC::SetOLEDropMode>(L"OLEDropMode", kOwn + 4),
        Property<&BC::MousePointer, &BC::SetMousePointer>(L"MousePointer", DISPID_MOUSEPOINTER),
        Property<&BC::MouseIcon, &BC::SetMouseIcon>(L"MouseIcon", DISPID_MOUSEICON),
        Property<&BC::MouseTrack, &BC::SetMouseTrack>(L"MouseTrack", kOwn + 5),
        Property<&BC::RightToLeft, &BC::SetRightToLeft>(L"RightToLeft", kOwn + 6),
        Property<&BC::RightToLeftMode, &BC::SetRightToLeftMode>(L"RightToLeftMode", kOwn + 7),
    };
}

std::array<Host::Member, 3> ImageListMembers(DISPID imageList, DISPID alignment) {
    return {
        Property<&BC::ImageList, &BC::SetImageList>(L"ImageList", imageList),
        Property<&BC::ImageListAlignment, &BC::SetImageListAlignment>(L"ImageListAlignment",
                                                                      alignment),
        Property<&BC::ImageListMargin, &BC::SetImageListMargin>(L"ImageListMargin", alignment + 1),
    };
}

std::array<Host::Member, 1> CaptionMember() {
    return {Property<&BC::Caption, &BC::SetCaption>(L"Caption", DISPID_CAPTION)};
}

std::array<Host::Member, 1> PictureMember() {
    return {Property<&BC::Picture, &BC::SetPicture>(L"Picture", DISPID_PICTURE)};
}

std::array<Host::Member, 2> WrapMembers() {
    return {
        Property<&BC::WordWrap, &BC::SetWordWrap>(L"WordWrap", kOwn + 14),
        Property<&BC::Transparent, &BC::SetTransparent>(L"Transparent", kOwn + 15),
    };
}

std::array<Host::Member, 6> GraphicalMembers(DISPID style) {
    return {
        Property<&BC::Style, &BC::SetStyle>(L"Style", style),
        Property<&BC::DisabledPicture, &BC::SetDisabledPicture>(L"DisabledPicture", style + 1),
        Property<&BC::DownPicture, &BC::SetDownPicture>(L"DownPicture", style + 2),
        Property<&BC::UseMaskColor, &BC::SetUseMaskColor>(L"UseMaskColor", style + 3),
        Property<&BC::MaskColor, &BC::SetMaskColor>(L"MaskColor", style + 4),
        Property<&BC::DrawMode, &BC::SetDrawMode>(L"DrawMode", style + 5),
    };
}

std::array<Host::Member, 2> StateMembers(DISPID pushed) {
    return {
        Property<&BC::Pushed, &BC::SetPushed>(L"Pushed", pushed),
        Property<&BC::Hot, &BC::SetHot>(L"Hot", pushed + 1, Host::Access::ReadOnly),
    };
}

std::array<Host::Member, 1> RefreshMember() {
    return {Host::Method<&BC::Refresh>(L"Refresh", DISPID_REFRESH)};
}

std::array<Host::Member, 4> ExtenderMethods(DISPID setFocus) {
    return {
        Host::Method<&BC::SetFocus>(L"SetFocus", setFocus),
        Host::Method<&BC::ZOrder>(L"ZOrder", setFocus + 1, kZOrderArgs),
        Host::Method<&BC::Drag>(L"Drag", setFocus + 2, kDragArgs),
        Host::Method<&BC::OLEDrag>(L"OLEDrag", setFocus + 3),
    };
}

void ApplyCaption(Host::ControlSite& site, HWND button, const std::wstring& caption) {
    if (button) SetWindowTextW(button, caption.c_str());
    const wchar_t key = Common::AccessKey(caption);
    site.SetAccessKeys(key ? std::wstring(1, key) : std::wstring());
}

bool IsClick(HWND button, UINT msg, WPARAM wParam, LPARAM lParam) {
    return button && msg == WM_COMMAND && reinterpret_cast<HWND>(lParam) == button &&
           HIWORD(wParam) == BN_CLICKED;
}

bool IsOwnerDrawn(HWND button) {
    return button &&
           (static_cast<DWORD>(GetWindowLongPtrW(button, GWL_STYLE)) & kOwnerDrawn) == kOwnerDrawn;
}

bool EditButtonStyle(HWND button, DWORD mask, DWORD bits) {
    if (!button || IsOwnerDrawn(button)) return false;
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(button, GWL_STYLE));
    const DWORD wanted = (style & ~mask) | (bits & mask);
    if (wanted == style) return true;
    SetWindowLongPtrW(button, GWL_STYLE, static_cast<LONG_PTR>(wanted));
    return false;
}

// ---- Life -----------------------------------------------------------------------------------

void ButtonControl::Initialize() {
    Common::ShellModAddRef();
    ComCtlsBase::InitCommonControlsClass(ICC_STANDARD_CLASSES);
    for (int32_t kind : kHookKinds)
        VTableHandle::SetVTableHandling(Object(), kind);
}

void ButtonControl::Terminate() {
    for (int32_t kind : kHookKinds)
        VTableHandle::RemoveVTableHandling(Object(), kind);
    DestroySystemWindow();
    Common::ShellModRelease();
}

void ButtonControl::BeginProperties() {
    DesignMode = !Site().GetAmbient().UserMode();
}

DWORD ButtonControl::SharedStyle(DWORD typeAndOwn, DWORD horizontal) {
    DWORD style = BS_NOTIFY | typeAndOwn;
    if (Site().Appearance() == 0) style |= BS_FLAT;
    style |= horizontal;
    style |= kVerticalByValue[PropVerticalAlignment >= 0 && PropVerticalAlignment <= 2
                                  ? PropVerticalAlignment
                                  : 1];
    if (PropWordWrap) style |= BS_MULTILINE;
    if (PropDrawMode != 0) PropStyle = 0;
    if (PropStyle == 1 || PropDrawMode == 1) style |= kOwnerDrawn;
    // Owner drawing takes no other button style.
    if ((style & kOwnerDrawn) == kOwnerDrawn) style = kOwnerDrawn;
    return style;
}

void ButtonControl::ApplyCreatedWindow() {
    ComCtlsBase::ClearFocusCues(hWnd());
    SetVisualStyles(PropVisualStyles);
    SetCaption(PropCaption);
    if (PropPicture) SetPicture(PropPicture);
}

void ButtonControl::SubclassWindows() {
    if (!DesignMode) {
        ButtonSkeleton::SubclassWindows();
    } else if (PropStyle == 1) {
        // The graphical button draws itself in the designer too; the designer keeps the mouse.
        ComCtlsBase::InstallSubclass(Site().Hwnd(), this, kRefDesignTime);
        Refresh();
    }
}

void ButtonControl::WindowDestroyed() {
    AccelHandle.Reset();
    TransparentBrush.Reset();
    CheckedBrush.Reset();
    ImageListHandle = nullptr;
}

void ButtonControl::ReadHeadKeys(Host::PropertyStore& store) {
    ReadFontKey(store);
    PropVisualStyles = kVisualStylesKey.ReadBool(store);
    SetAppearance(kAppearanceKey.ReadInt32(store));
    SetBackColor(static_cast<OLE_COLOR>(kBackColorKey.ReadInt32(store)));
    SetForeColor(static_cast<OLE_COLOR>(kForeColorKey.ReadInt32(store)));
    SetEnabled(kEnabledKey.ReadBool(store));
    SetOLEDropMode(kOLEDropModeKey.ReadInt32(store));
    ReadPointerKeys(store);
    PropImageListName = kImageListKey.ReadString(store);
    PropImageListAlignment = kImageListAlignmentKey.ReadInt32(store);
    PropImageListMargin = kImageListMarginKey.ReadInt32(store);
}

void ButtonControl::WriteHeadKeys(Host::PropertyStore& store) const {
    using Host::Variant;
    WriteFontKey(store);
    kVisualStylesKey.Write(store, Variant::Bool(PropVisualStyles));
    kAppearanceKey.Write(store, Variant::Int32(Appearance()));
    kBackColorKey.Write(store, Variant::Int32(static_cast<int32_t>(BackColor())));
    kForeColorKey.Write(store, Variant::Int32(static_cast<int32_t>(ForeColor())));
    kEnabledKey.Write(store, Variant::Bool(Enabled()));
    kOLEDropModeKey.Write(store, Variant::Int32(OLEDropMode()));
    WritePointerKeys(store);
    kImageListKey.Write(store, Variant::String(PropImageListName));
    kImageListAlignmentKey.Write(store, Variant::Int32(PropImageListAlignment));
    kImageListMarginKey.Write(store, Variant::Int32(PropImageListMargin));
}

void ButtonControl::ReadTailKeys(Host::PropertyStore& store) {
    PropStyle = kStyleKey.ReadInt32(store);
    PropDisabledPicture = kDisabledPictureKey.ReadPicture(store);
    PropDownPicture = kDownPictureKey.ReadPicture(store);
    PropUseMaskColor = kUseMaskColorKey.ReadBool(store);
    PropMaskColor = static_cast<OLE_COLOR>(kMaskColorKey.ReadInt32(store));
    PropDrawMode = kDrawModeKey.ReadInt32(store);
}

void ButtonControl::WriteTailKeys(Host::PropertyStore& store) const {
    using Host::Variant;
    kStyleKey.Write(store, Variant::Int32(PropStyle));
    kDisabledPictureKey.Write(store, ObjectValue(PropDisabledPicture.Get()));
    kDownPictureKey.Write(store, ObjectValue(PropDownPicture.Get()));
    kUseMaskColorKey.Write(store, Variant::Bool(PropUseMaskColor));
    kMaskColorKey.Write(store, Variant::Int32(static_cast<int32_t>(PropMaskColor)));
    kDrawModeKey.Write(store, Variant::Int32(PropDrawMode));
}

void ButtonControl::ReCreate() {
    if (!hWnd()) return;
    ReCreateSystemWindow();
    Resize();
    if (DesignMode ? PropImageListName != kNoImageList : !ImageListObject.empty()) {
        ApplyImageList();
    }
    Refresh();
}

void ButtonControl::StyleSetter(DWORD mask, DWORD bits) {
    EditButtonStyle(hWnd(), mask, bits);
    Refresh();
}

// ---- Members ----------------------------------------------------------------------------------

std::wstring ButtonControl::Name() const {
    return Site().GetAmbient().DisplayName();
}

void ButtonControl::Refresh() {
    TransparentBrush.Reset();
    CheckedBrush.Reset();
    RefreshWindows();
}

int32_t ButtonControl::Appearance() const {
    return Site().Appearance();
}

void ButtonControl::SetAppearance(int32_t value) {
    if (value != 0 && value != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    Site().SetAppearance(value);
    StyleSetter(BS_FLAT, value == 0 ? BS_FLAT : 0);
    Site().PropertyChanged(L"Appearance");
}

OLE_COLOR ButtonControl::BackColor() const {
    return Site().BackColor();
}

void ButtonControl::SetBackColor(OLE_COLOR color) {
    Site().SetBackColor(color);
    Refresh();
    Site().PropertyChanged(L"BackColor");
}

OLE_COLOR ButtonControl::ForeColor() const {
    return Site().ForeColor();
}

void ButtonControl::SetForeColor(OLE_COLOR color) {
    Site().SetForeColor(color);
    Refresh();
    Site().PropertyChanged(L"ForeColor");
}

int32_t ButtonControl::OLEDropMode() const {
    return Site().OLEDropMode();
}

void ButtonControl::SetOLEDropMode(int32_t mode) {
    if (mode != 0 && mode != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    Site().SetOLEDropMode(mode);
    Site().PropertyChanged(L"OLEDropMode");
}

void ButtonControl::SetRightToLeft(bool value) {
    PropRightToLeft = value;
    Site().SetRightToLeft(value);
    bool resolved = Site().RightToLeft();
    Common::ResolveRightToLeft(resolved, Site().RightToLeft(), PropRightToLeftMode);
    if (hWnd()) {
        Common::SetRightToLeftStyles(hWnd(), resolved ? WS_EX_RTLREADING : 0);
        MirrorAlignments(resolved);
    }
    Site().PropertyChanged(L"RightToLeft");
}

std::wstring ButtonControl::Caption() const {
    if (!hWnd()) return PropCaption;
    const auto length = SendMessageW(hWnd(), WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(hWnd(), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

void ButtonControl::SetCaption(const std::wstring& caption) {
    PropCaption = caption;
    if (hWnd()) {
        SendMessageW(hWnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(PropCaption.c_str()));
        // The access key changed with the text: the container asks for it again.
        VTableHandle::NotifyControlInfoChanged(Object(), false);
    }
    Site().PropertyChanged(L"Caption");
}

void ButtonControl::SetVerticalAlignment(int32_t value) {
    if (value < 0 || value > 2) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropVerticalAlignment = value;
    StyleSetter(kVerticalBits, kVerticalByValue[value]);
    Site().PropertyChanged(L"VerticalAlignment");
}

void ButtonControl::SetWordWrap(bool value) {
    PropWordWrap = value;
    StyleSetter(BS_MULTILINE, value ? BS_MULTILINE : 0);
    Site().PropertyChanged(L"WordWrap");
}

void ButtonControl::SetTransparent(bool value) {
    PropTransparent = value;
    Refresh();
    Site().PropertyChanged(L"Transparent");
}

void ButtonControl::SetStyle(int32_t value) {
    if (value != 0 && value != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    if (value == 1 && PropDrawMode != 0) {
        static constexpr wchar_t kText[] =
            L"Style must be 0 - Standard when DrawMode is not 0 - Normal";
        if (!DesignMode) ControlErrors::Raise(ControlErrors::kReadOnly, kText);
        Common::ShowMessageBox(kText, MB_ICONHAND);
        return;
    }
    PropStyle = value;
    ReCreate();
    Site().PropertyChanged(L"Style");
}

void ButtonControl::SetDrawMode(int32_t value) {
    if (value != 0 && value != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropDrawMode = value;
    ReCreate();
    Site().PropertyChanged(L"DrawMode");
}

ComPtr<IPictureDisp> ButtonControl::StoredCopy(IPictureDisp* picture) {
    if (!picture) return {};
    ComPtr<IPicture> source;
    picture->QueryInterface(IID_IPicture, source.PutVoid());
    return Common::CopyPicture(source.Get()).As<IPictureDisp>(IID_IPictureDisp);
}

void ButtonControl::SetPicture(ComPtr<IPictureDisp> picture) {
    // The window's own picture is the control's copy, whatever the caller does with its own.
    if (picture.Get() != PropPicture.Get()) PropPicture = StoredCopy(picture.Get());
    ApplyPicture();
    Site().PropertyChanged(L"Picture");
}

void ButtonControl::SetDisabledPicture(ComPtr<IPictureDisp> picture) {
    PropDisabledPicture = StoredCopy(picture.Get());
    Refresh();
    Site().PropertyChanged(L"DisabledPicture");
}

void ButtonControl::SetDownPicture(ComPtr<IPictureDisp> picture) {
    PropDownPicture = StoredCopy(picture.Get());
    Refresh();
    Site().PropertyChanged(L"DownPicture");
}

void ButtonControl::SetUseMaskColor(bool value) {
    PropUseMaskColor = value;
    Refresh();
    Site().PropertyChanged(L"UseMaskColor");
}

void ButtonControl::SetMaskColor(OLE_COLOR color) {
    PropMaskColor = color;
    Refresh();
    Site().PropertyChanged(L"MaskColor");
}

void ButtonControl::SetImageListAlignment(int32_t value) {
    if (value < 0 || value > 4) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropImageListAlignment = value;
    if (hWnd() && ::VisualStyles::ComCtlsSupportLevel() >= 1) ApplyImageList();
    Site().PropertyChanged(L"ImageListAlignment");
}

float ButtonControl::ImageListMargin() const {
    return static_cast<float>(
        Site().ScaleX(PropImageListMargin, Units::Unit::Pixels, Units::Unit::ContainerSize));
}

void ButtonControl::SetImageListMargin(float value) {
    if (value < 0) return InvalidValue();
    PropImageListMargin = static_cast<int32_t>(
        Site().ScaleX(value, Units::Unit::ContainerSize, Units::Unit::Pixels) + 0.5);
    if (hWnd() && ::VisualStyles::ComCtlsSupportLevel() >= 1) ApplyImageList();
    Site().PropertyChanged(L"ImageListMargin");
}

void ButtonControl::EndReadProperties() {
    if (PropImageListName != kNoImageList) TimerImageList.SetEnabled(true);
}

void ButtonControl::ImageListTimerTick() {
    if (!ImageListInitDone) {
        ImageListInitDone = true;
        SetImageList(Host::Variant::String(PropImageListName));
    }
    TimerImageList.SetEnabled(false);
}

Host::Variant ButtonControl::ImageList() {
    if (DesignMode) return Host::Variant::String(PropImageListName);
    if (!ImageListInitDone && ImageListObject.empty() && PropImageListName != kNoImageList) {
        ImageListInitDone = true;
        SetImageList(Host::Variant::String(PropImageListName));
    }
    return Host::Variant::Object(ButtonDraw::ImageListObject(Site(), ImageListObject).Get());
}

void ButtonControl::SetImageList(const Host::Variant& value) {
    // Not found, unreadable or of another type: the button goes without a list.
    const ButtonDraw::FoundImageList found = ButtonDraw::FindImageList(Site(), value.Get());
    PropImageListName = found.found ? found.name : kNoImageList;
    ImageListObject = found.found && !DesignMode ? found.name : std::wstring();
    GiveImageList(found.handle);
    Site().PropertyChanged(L"ImageList");
}

void ButtonControl::GiveImageList(HIMAGELIST handle) {
    if (!hWnd() || ::VisualStyles::ComCtlsSupportLevel() < 1) return;
    ImageListHandle = handle;
    ButtonDraw::GiveImageList(hWnd(), handle, PropImageListAlignment, PropImageListMargin);
    if (!handle) return ApplyPicture();  // the picture comes back (and is refreshed)
    Refresh();
}

bool ButtonControl::Pushed() const {
    return hWnd() && (SendMessageW(hWnd(), BM_GETSTATE, 0, 0) & BST_PUSHED);
}

void ButtonControl::SetPushed(bool value) {
    if (hWnd()) SendMessageW(hWnd(), BM_SETSTATE, value ? TRUE : FALSE, 0);
}

bool ButtonControl::Hot() const {
    return ::VisualStyles::ComCtlsSupportLevel() >= 1 && hWnd() &&
           (SendMessageW(hWnd(), BM_GETSTATE, 0, 0) & BST_HOT);
}

void ButtonControl::SetHot(bool) {
    ControlErrors::Raise(ControlErrors::kReadOnly);
}

void ButtonControl::SetFocus() {
    Site().GetExtender().SetFocus();
}

void ButtonControl::ZOrder(std::optional<int32_t> position) {
    Site().GetExtender().ZOrder(position.value_or(0));
}

void ButtonControl::Drag(std::optional<int32_t> action) {
    Site().GetExtender().Drag(action.value_or(1));
}

void ButtonControl::OLEDrag() {
    Site().OLEDrag();
}

// ---- Drag and drop ------------------------------------------------------------------------------

void ButtonControl::OLEDragOver(IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                                float x, float y, int16_t state) {
    auto cx =
        static_cast<float>(Site().ScaleX(x, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    auto cy =
        static_cast<float>(Site().ScaleY(y, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    RaiseEvent(events_.oleDragOver, Host::EventArg::Unknown(data), Host::EventArg::ByRef(effect),
               Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
               Host::EventArg::ByRef(cx), Host::EventArg::ByRef(cy), Host::EventArg::ByRef(state));
}

void ButtonControl::OLEDragDrop(IDataObject* data, int32_t& effect, int16_t button, int16_t shift,
                                float x, float y) {
    auto cx =
        static_cast<float>(Site().ScaleX(x, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    auto cy =
        static_cast<float>(Site().ScaleY(y, Units::Unit::Pixels, Units::Unit::ContainerPosition));
    RaiseEvent(events_.oleDragDrop, Host::EventArg::Unknown(data), Host::EventArg::ByRef(effect),
               Host::EventArg::ByRef(button), Host::EventArg::ByRef(shift),
               Host::EventArg::ByRef(cx), Host::EventArg::ByRef(cy));
}

void ButtonControl::OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) {
    RaiseEvent(events_.oleStartDrag, Host::EventArg::Unknown(&data),
               Host::EventArg::ByRef(allowedEffects));
}

void ButtonControl::OLESetData(Host::DataObject& data, int16_t& format) {
    RaiseEvent(events_.oleSetData, Host::EventArg::Unknown(&data), Host::EventArg::ByRef(format));
}

void ButtonControl::OLEGiveFeedback(int32_t& effect, bool& defaultCursors) {
    RaiseEvent(events_.oleGiveFeedback, Host::EventArg::ByRef(effect),
               Host::EventArg::ByRef(defaultCursors));
}

void ButtonControl::OLECompleteDrag(int32_t& effect) {
    RaiseEvent(events_.oleCompleteDrag, Host::EventArg::ByRef(effect));
}

// ---- Drawing entry points -------------------------------------------------------------------

LRESULT ButtonControl::DrawGraphical(const DRAWITEMSTRUCT& item) {
    const ComPtr<IPicture> picture = PropPicture.As<IPicture>(IID_IPicture);
    const ComPtr<IPicture> disabled = PropDisabledPicture.As<IPicture>(IID_IPicture);
    const ComPtr<IPicture> down = PropDownPicture.As<IPicture>(IID_IPicture);
    ButtonDraw::Look look;
    look.picture = picture.Get();
    look.disabledPicture = disabled.Get();
    look.downPicture = down.Get();
    look.useMaskColor = PropUseMaskColor;
    look.maskColor = PropMaskColor;
    look.backColor = BackColor();
    look.foreColor = ForeColor();
    look.appearance = Appearance();
    look.visualStyles = PropVisualStyles && ::VisualStyles::EnabledVisualStyles();
    look.hot = MouseTrackFlags[0];
    look.caption = Caption();
    DescribeLook(look);
    ButtonDraw::DrawGraphical(item, look);
    return 1;
}

LRESULT ButtonControl::ControlColor(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const LRESULT answer = ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
    return ButtonDraw::ControlColor(Site().Hwnd(), reinterpret_cast<HDC>(wParam), PropTransparent,
                                    TransparentBrush, answer);
}

void ButtonControl::ApplyPicture() {
    if (!hWnd() || ImageListHandle) return;
    const ComPtr<IPicture> picture = PropPicture.As<IPicture>(IID_IPicture);
    ButtonDraw::ShowPicture(hWnd(), picture.Get(),
                            PictureWithCaption() && ::VisualStyles::ComCtlsSupportLevel() >= 2);
    Refresh();
}

void ButtonControl::ApplyImageList() {
    if (PropImageListName != kNoImageList) SetImageList(Host::Variant::String(PropImageListName));
}

// ---- Window procedures --------------------------------------------------------------------------

LRESULT ButtonControl::SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    switch (msg) {
        case WM_SETFOCUS:
            // Focus from anywhere but the user control window goes there first; it hands the
            // focus back, so the host sees the control take it.
            if (reinterpret_cast<HWND>(wParam) != Site().Hwnd()) {
                ::SetFocus(Site().Hwnd());
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && ApplyMousePointer()) return 1;
            break;
        case WM_MOUSEACTIVATE:
            return MouseActivate(hWnd, wParam, lParam);
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return RaiseKey(kKeyDown, hWnd, msg, wParam, lParam, msg == WM_KEYDOWN);
        case WM_KEYUP:
        case WM_SYSKEYUP:
            return RaiseKey(kKeyUp, hWnd, msg, wParam, lParam, msg == WM_KEYUP);
        case WM_CHAR: {
            const int32_t code = PendingCharCode ? PendingCharCode : LOWORD(wParam);
            PendingCharCode = 0;
            int16_t keyChar = Common::UnsignedToInteger(code & 0xFFFF);
            RaiseEvent(kKeyPress, Host::EventArg::ByRef(keyChar));
            return ComCtlsBase::CallDefaultProc(hWnd, msg, Common::IntegerToUnsigned(keyChar),
                                                lParam);
        }
        case WM_UNICHAR:
            if (wParam == UNICODE_NOCHAR) return 0;
            if (wParam > 0xFFFF) {
                // Beyond the basic plane a character is two UTF-16 units: high, then low.
                const WPARAM c = wParam - 0x10000;
                SendMessageW(hWnd, WM_CHAR, 0xD800 + ((c >> 10) & 0x3FF), lParam);
                SendMessageW(hWnd, WM_CHAR, 0xDC00 + (c & 0x3FF), lParam);
            } else {
                SendMessageW(hWnd, WM_CHAR, wParam, lParam);
            }
            return 1;
        case WM_IME_CHAR:
            SendMessageW(hWnd, WM_CHAR, wParam, lParam);
            return 0;
        case WM_LBUTTONDBLCLK:
            // An owner-drawn button takes the second press of a double click as a press.
            if (IsOwnerDrawn(hWnd)) {
                return ComCtlsBase::CallDefaultProc(hWnd, WM_LBUTTONDOWN, wParam, lParam);
            }
            break;
        default:
            break;
    }
    result = ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
    switch (msg) {
        case WM_LBUTTONDOWN:
            RaiseMouseEvent(kMouseDown, 1, wParam, lParam);
            break;
        case WM_RBUTTONDOWN:
            RaiseMouseEvent(kMouseDown, 2, wParam, lParam);
            break;
        case WM_MBUTTONDOWN:
            RaiseMouseEvent(kMouseDown, 4, wParam, lParam);
            break;
        case WM_LBUTTONUP:
            RaiseMouseEvent(kMouseUp, 1, wParam, lParam);
            break;
        case WM_RBUTTONUP:
            RaiseMouseEvent(kMouseUp, 2, wParam, lParam);
            break;
        case WM_MBUTTONUP:
            RaiseMouseEvent(kMouseUp, 4, wParam, lParam);
            break;
        case WM_MOUSEMOVE:
            TrackMouse(msg);
            RaiseMouseEvent(kMouseMove, Common::ButtonFromMouseFlags(wParam), wParam, lParam);
            break;
        case WM_MOUSELEAVE:
            TrackMouse(msg);
            break;
        default:
            break;
    }
    return result;
}

LRESULT ButtonControl::UserControlWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (!item || item->CtlType != ODT_BUTTON || !this->hWnd() ||
                item->hwndItem != this->hWnd()) {
                break;
            }
            if (PropStyle == 1) return DrawGraphical(*item);
            OwnerDraw(*item);
            return 1;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && this->hWnd() && header->hwndFrom == this->hWnd()) {
                if (header->code == BCN_HOTITEMCHANGE) {
                    const DWORD flags = reinterpret_cast<const NMBCHOTITEM*>(lParam)->dwFlags;
                    if ((flags & HICF_MOUSE) && (flags & (HICF_ENTERING | HICF_LEAVING))) {
                        RaiseEvent(events_.hotChanged);
                    }
                } else if (header->code == BCN_DROPDOWN && events_.dropDown) {
                    RaiseEvent(*events_.dropDown);
                }
            }
            break;
        }
        case WM_COMMAND:
            // The second press of a quick double click comes as BN_DOUBLECLICKED: a press too.
            // A disabled button takes no click, whoever sent it.
            if (this->hWnd() && reinterpret_cast<HWND>(lParam) == this->hWnd() &&
                (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED) &&
                IsWindowEnabled(this->hWnd())) {
                ButtonClicked();
            }
            break;
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
            return ControlColor(hWnd, msg, wParam, lParam);
        case WM_SETFOCUS: {
            const LRESULT result = ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
            if (this->hWnd()) ::SetFocus(this->hWnd());
            return result;
        }
        default:
            break;
    }
    return ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
}

LRESULT ButtonControl::DesignTimeWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DRAWITEM || msg == WM_CTLCOLORBTN) {
        return UserControlWindowMessage(hWnd, msg, wParam, lParam);
    }
    const LRESULT result = ComCtlsBase::CallDefaultProc(hWnd, msg, wParam, lParam);
    if (msg == WM_DESTROY || msg == WM_NCDESTROY) ComCtlsBase::RemoveSubclass(hWnd);
    return result;
}

LRESULT ButtonControl::RaiseKey(const Host::EventInfo& event, HWND hWnd, UINT msg, WPARAM wParam,
                                LPARAM lParam, bool peek) {
    int16_t keyCode = static_cast<int16_t>(wParam & 0xFF);
    int16_t shift = Common::GetShiftState();
    RaiseEvent(event, Host::EventArg::ByRef(keyCode), Host::EventArg::ByRef(shift));
    if (peek) PendingCharCode = Common::PeekCharCode(hWnd);
    return ComCtlsBase::CallDefaultProc(
        hWnd, msg, static_cast<WPARAM>(static_cast<uint16_t>(keyCode)), lParam);
}

LRESULT ButtonControl::MouseActivate(HWND hWnd, WPARAM wParam, LPARAM lParam) {
    if (GetFocus() != hWnd && !DesignMode) {
        if (InValidate) return MA_ACTIVATEANDEAT;
        if (HIWORD(lParam) == WM_LBUTTONDOWN) {
            bool refused = false;
            try {
                if (Site().GetExtender().CausesValidation()) {
                    Common::FlagScope validating(InValidate);
                    Site().ValidateTopParent();
                }
            } catch (const ControlError& e) {
                refused = e.Number() == ControlErrors::kInvalidPropertyValue;
            } catch (...) {
                // Other failures do not stop the click.
            }
            if (refused) return MA_ACTIVATEANDEAT;
            ::SetFocus(Site().Hwnd());
            return MA_NOACTIVATE;
        }
    }
    return ComCtlsBase::CallDefaultProc(hWnd, WM_MOUSEACTIVATE, wParam, lParam);
}

void ButtonControl::TrackMouse(UINT msg) {
    if (msg == WM_MOUSEMOVE) {
        const bool graphical = !MouseTrackFlags[0] && PropStyle == 1;
        const bool track = !MouseTrackFlags[1] && PropMouseTrack;
        if (!graphical && !track) return;
        if (graphical && PropVisualStyles && ::VisualStyles::EnabledVisualStyles()) {
            MouseTrackFlags[0] = true;
            InvalidateRect(hWnd(), nullptr, FALSE);
        }
        if (track) {
            MouseTrackFlags[1] = true;
            RaiseEvent(events_.mouseEnter);
        }
        if ((MouseTrackFlags[0] || MouseTrackFlags[1]) && hWnd()) Common::RequestMouseLeave(hWnd());
        return;
    }
    if (MouseTrackFlags[0]) {
        MouseTrackFlags[0] = false;
        InvalidateRect(hWnd(), nullptr, FALSE);
    }
    if (MouseTrackFlags[1]) {
        MouseTrackFlags[1] = false;
        RaiseEvent(events_.mouseLeave);
    }
}

// ---- Keyboard hooks ---------------------------------------------------------------------------

HRESULT ButtonControl::TranslateAccelerator(VARIANT_BOOL* handled, LONG*, LONG msg, LONG_PTR wParam,
                                            LONG_PTR lParam, LONG) {
    return ControlErrors::AtComBoundary([&] {
        if (handled) *handled = VARIANT_FALSE;
        if (msg != WM_KEYDOWN && msg != WM_KEYUP) return;
        const auto keyCode = static_cast<int16_t>(wParam & 0xFF);
        bool isInputKey = false;
        RaiseEvent(msg == WM_KEYDOWN ? events_.previewKeyDown : events_.previewKeyUp,
                   Host::EventArg::ByVal(keyCode), Host::EventArg::ByRef(isInputKey));
        // Keys a PreviewKeyDown handler may claim for the button instead of the form.
        const bool claimable = Common::IsNavigationKey(keyCode) || Common::IsDialogKey(keyCode);
        if (!isInputKey || !claimable || !hWnd()) return;
        SendMessageW(hWnd(), static_cast<UINT>(msg), static_cast<WPARAM>(wParam), lParam);
        if (handled) *handled = VARIANT_TRUE;
    });
}

HRESULT ButtonControl::GetControlInfo(VARIANT_BOOL* handled, USHORT* accelCount, HACCEL* accelTable,
                                      DWORD* flags) {
    return ControlErrors::AtComBoundary([&] {
        if (handled) *handled = VARIANT_FALSE;
        AccelHandle.Reset();
        if (!hWnd()) return;
        const BYTE vk = AccessKeyVk(PropCaption);
        if (!vk) return;
        // Each table gets a command of its own, so the container never mixes an old table's
        // command with the new one.
        AccelCounter = AccelCounter == 0 ? 1000 : AccelCounter + 100;
        ACCEL entry{FALT | FVIRTKEY, vk, LOWORD(AccelCounter)};
        if (AccelCounter >= 2147483600) AccelCounter = 0;
        AccelHandle.Reset(CreateAcceleratorTableW(&entry, 1));
        if (!AccelHandle) return;
        if (accelCount) *accelCount = 1;
        if (accelTable) *accelTable = AccelHandle.Get();
        if (flags) *flags = 0;
        if (handled) *handled = VARIANT_TRUE;
    });
}

HRESULT ButtonControl::OnMnemonic(VARIANT_BOOL* handled, LONG msg, LONG_PTR wParam, LONG_PTR,
                                  LONG) {
    return ControlErrors::AtComBoundary([&] {
        if (handled) *handled = VARIANT_FALSE;
        if (!hWnd() || msg != WM_SYSKEYDOWN) return;
        const BYTE vk = AccessKeyVk(PropCaption);
        if (!vk || vk != LOBYTE(wParam)) return;
        ButtonClicked();
        if (handled) *handled = VARIANT_TRUE;
    });
}

// ---- Property browsing ------------------------------------------------------------------------

bool ButtonControl::OfferFor(DISPID id, Offer& offer) {
    if (id != imageListId_) return false;
    offer.display = PropImageListName;
    std::vector<std::wstring> names;
    Common::ImageListPredefinedStrings(offer.names, offer.cookies, Site().SiblingControls(), names);
    offer.chooseName = true;
    return true;
}

}  // namespace ButtonBase
