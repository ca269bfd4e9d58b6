#include "controls/buttons/CommandButtonW.h"

#include "controls/buttons/ButtonDraw.h"

#include <commctrl.h>
#include <olectl.h>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VisualStyles.h"
#include "host/PropertyStore.h"

namespace {

using CB = CommandButtonW;
using Host::Property;

// The control's own members count up from here in member order.
constexpr DISPID kOwn = 0x68030000;

const std::wstring_view kShieldArgs[] = {L"State"};
const std::wstring_view kIdealSizeArgs[] = {L"Width", L"Height"};

using namespace ButtonBase;
const auto kMembers = Join(
    HeadMembers(), ImageListMembers(CB::kDispIdImageList, kOwn + 8), CaptionMember(),
    std::to_array<Host::Member>({
        Property<&CB::Alignment, &CB::SetAlignment>(L"Alignment", kOwn + 11),
        Property<&CB::VerticalAlignment, &CB::SetVerticalAlignment>(L"VerticalAlignment",
                                                                    kOwn + 12),
    }),
    PictureMember(),
    std::to_array<Host::Member>({
        Property<&CB::PictureAndCaption, &CB::SetPictureAndCaption>(L"PictureAndCaption",
                                                                    kOwn + 13),
    }),
    WrapMembers(),
    std::to_array<Host::Member>({
        Property<&CB::SplitButton, &CB::SetSplitButton>(L"SplitButton", kOwn + 17),
        Property<&CB::SplitButtonAlignment, &CB::SetSplitButtonAlignment>(L"SplitButtonAlignment",
                                                                          kOwn + 18),
        Property<&CB::SplitButtonNoSplit, &CB::SetSplitButtonNoSplit>(L"SplitButtonNoSplit",
                                                                      kOwn + 19),
        Property<&CB::SplitButtonGlyph, &CB::SetSplitButtonGlyph>(L"SplitButtonGlyph", kOwn + 20),
    }),
    GraphicalMembers(kOwn + 21),
    std::to_array<Host::Member>({Property<&CB::Value, &CB::SetValue>(L"Value", DISPID_VALUE)}),
    StateMembers(kOwn + 27),
    std::to_array<Host::Member>({
        Property<&CB::DroppedDown, &CB::SetDroppedDown>(L"DroppedDown", kOwn + 29),
    }),
    RefreshMember(),
    std::to_array<Host::Member>({
        Host::Method<&CB::PerformClick>(L"PerformClick", kOwn + 30),
        Host::Method<&CB::SetShield>(L"SetShield", kOwn + 31, kShieldArgs),
    }),
    ExtenderMethods(kOwn + 32),
    std::to_array<Host::Member>({
        Host::Method<&CB::GetIdealSize>(L"GetIdealSize", kOwn + 36, kIdealSizeArgs),
    }));

const Host::EventParameter kOwnerDrawArgs[] = {{L"DisplayAsDefault", VT_BOOL, false},
                                               {L"Action", VT_I4, false},
                                               {L"State", VT_I4, false},
                                               {L"hDC", VT_I4, false},
                                               {L"Left", VT_I4, false},
                                               {L"Top", VT_I4, false},
                                               {L"Right", VT_I4, false},
                                               {L"Bottom", VT_I4, false}};
constexpr Host::EventInfo kHotChanged{L"HotChanged", 1, {}};
constexpr Host::EventInfo kDropDown{L"DropDown", 2, {}};
const Host::EventInfo kOwnerDraw{L"OwnerDraw", 3, kOwnerDrawArgs};
constexpr auto kPreview = PreviewEvents(4);
constexpr auto kTrackAndDrag = TrackAndDragEvents(6);

const auto kEvents =
    Join(std::to_array<Host::EventInfo>({kClick, kHotChanged, kDropDown, kOwnerDraw}), kPreview,
         kStandardEvents, kTrackAndDrag);

const ButtonEvents kButtonEvents = EventsOf(kHotChanged, &kDropDown, kPreview, kTrackAndDrag);

constexpr Host::StoredKey kDefaultKey = Host::BoolKey(L"Default", false);
constexpr Host::StoredKey kAlignmentKey = Host::Int32Key(L"Alignment", 2);
constexpr Host::StoredKey kPictureAndCaptionKey = Host::BoolKey(L"PictureAndCaption", false);
constexpr Host::StoredKey kSplitButtonKey = Host::BoolKey(L"SplitButton", false);
constexpr Host::StoredKey kSplitButtonAlignmentKey = Host::Int32Key(L"SplitButtonAlignment", 1);
constexpr Host::StoredKey kSplitButtonNoSplitKey = Host::BoolKey(L"SplitButtonNoSplit", false);
constexpr Host::StoredKey kSplitButtonGlyphKey{
    L"SplitButtonGlyph", Host::StoredType::Picture, 0, {}};
// In reading and writing order.
constexpr auto kKeys =
    Join(std::to_array<Host::StoredKey>({kDefaultKey}), kHeadKeys,
         std::to_array<Host::StoredKey>({kCaptionKey, kAlignmentKey, kVerticalAlignmentKey,
                                         kPictureKey, kPictureAndCaptionKey, kWordWrapKey,
                                         kTransparentKey, kSplitButtonKey, kSplitButtonAlignmentKey,
                                         kSplitButtonNoSplitKey, kSplitButtonGlyphKey}),
         kTailKeys);

constexpr DWORD kHorizontalByValue[] = {BS_LEFT, BS_RIGHT, BS_CENTER};

void CheckRange(int32_t value, int32_t last) {
    if (value < 0 || value > last) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
}

}  // namespace

CommandButtonW::CommandButtonW()
    : ButtonControl(kButtonEvents, kDispIdMousePointer, kDispIdImageList) {}

const Host::ControlDescription& CommandButtonW::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, kEvents, kKeys};
    return description;
}

// ---- Life ---------------------------------------------------------------------------------

void CommandButtonW::InitProperties() {
    BeginProperties();
    Host::Ambient ambient = Site().GetAmbient();
    Site().SetFont(ambient.Font().Get());
    PropCaption = ambient.DisplayName();
    PropDisplayAsDefault = ambient.DisplayAsDefault();
    PropRightToLeft = ambient.RightToLeft();
    if (PropRightToLeft) SetRightToLeft(true);
    PropImageListAlignment = PropRightToLeft ? 1 : 0;
    PropSplitButtonAlignment = PropRightToLeft ? 0 : 1;
    PropImageListName = kNoImageList;
    CreateSystemWindow();
}

void CommandButtonW::ReadProperties(Host::PropertyStore& store) {
    BeginProperties();
    PropDisplayAsDefault = kDefaultKey.ReadBool(store);
    ReadHeadKeys(store);
    PropCaption = kCaptionKey.ReadString(store);
    PropAlignment = kAlignmentKey.ReadInt32(store);
    PropVerticalAlignment = kVerticalAlignmentKey.ReadInt32(store);
    PropPicture = kPictureKey.ReadPicture(store);
    PropPictureAndCaption = kPictureAndCaptionKey.ReadBool(store);
    PropWordWrap = kWordWrapKey.ReadBool(store);
    PropTransparent = kTransparentKey.ReadBool(store);
    PropSplitButton = kSplitButtonKey.ReadBool(store);
    PropSplitButtonAlignment = kSplitButtonAlignmentKey.ReadInt32(store);
    PropSplitButtonNoSplit = kSplitButtonNoSplitKey.ReadBool(store);
    PropSplitButtonGlyph = kSplitButtonGlyphKey.ReadPicture(store);
    ReadTailKeys(store);
    CreateSystemWindow();
    EndReadProperties();
}

void CommandButtonW::WriteProperties(Host::PropertyStore& store) {
    using Host::Variant;
    kDefaultKey.Write(store, Variant::Bool(PropDisplayAsDefault));
    WriteHeadKeys(store);
    kCaptionKey.WriteString(store, PropCaption);
    kAlignmentKey.Write(store, Variant::Int32(PropAlignment));
    kVerticalAlignmentKey.Write(store, Variant::Int32(PropVerticalAlignment));
    kPictureKey.Write(store, ObjectValue(PropPicture.Get()));
    kPictureAndCaptionKey.Write(store, Variant::Bool(PropPictureAndCaption));
    kWordWrapKey.Write(store, Variant::Bool(PropWordWrap));
    kTransparentKey.Write(store, Variant::Bool(PropTransparent));
    kSplitButtonKey.Write(store, Variant::Bool(PropSplitButton));
    kSplitButtonAlignmentKey.Write(store, Variant::Int32(PropSplitButtonAlignment));
    kSplitButtonNoSplitKey.Write(store, Variant::Bool(PropSplitButtonNoSplit));
    kSplitButtonGlyphKey.Write(store, ObjectValue(PropSplitButtonGlyph.Get()));
    WriteTailKeys(store);
}

Host::WindowShape CommandButtonW::DescribeWindow() {
    DWORD own = BS_PUSHBUTTON;
    if (PropDisplayAsDefault) own |= BS_DEFPUSHBUTTON;
    if (PropSplitButton && ::VisualStyles::ComCtlsSupportLevel() >= 2) own |= BS_SPLITBUTTON;
    const DWORD horizontal =
        kHorizontalByValue[PropAlignment >= 0 && PropAlignment <= 2 ? PropAlignment : 2];
    // The caption comes through its setter, after the font.
    return {L"Button", SharedStyle(own, horizontal), SharedExStyle(), {}};
}

void CommandButtonW::WindowCreated() {
    if (::VisualStyles::ComCtlsSupportLevel() >= 2) {
        BUTTON_SPLITINFO info{};
        info.mask = BCSIF_GLYPH;
        if (SendMessageW(hWnd(), BCM_GETSPLITINFO, 0, reinterpret_cast<LPARAM>(&info))) {
            DefaultSplitGlyph = info.himlGlyph;
        }
    }
    ApplyCreatedWindow();
    SetSplitButtonAlignment(PropSplitButtonAlignment);
    SetSplitButtonNoSplit(PropSplitButtonNoSplit);
    if (PropSplitButtonGlyph) SetSplitButtonGlyph(PropSplitButtonGlyph);
}

void CommandButtonW::WindowDestroyed() {
    ButtonControl::WindowDestroyed();
    SplitGlyphImageList.Reset();
    DefaultSplitGlyph = nullptr;
}

void CommandButtonW::AmbientChanged(std::wstring_view name) {
    ButtonControl::AmbientChanged(name);
    if (name != L"DisplayAsDefault") return;
    PropDisplayAsDefault = Site().GetAmbient().DisplayAsDefault();
    const bool owner = ButtonBase::IsOwnerDrawn(hWnd());
    const bool already =
        EditButtonStyle(hWnd(), BS_DEFPUSHBUTTON, PropDisplayAsDefault ? BS_DEFPUSHBUTTON : 0);
    if (!already || owner) Refresh();
}

// ---- Clicks ---------------------------------------------------------------------------------

void CommandButtonW::ButtonClicked() {
    SetValue(true);
}

void CommandButtonW::SetValue(bool value) {
    // Value reads True only while the Click it raises is handled; a handler that sets it
    // again is not heard twice.
    if (!value || ButtonValue) return;
    ButtonValue = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{ButtonValue};
    Raise(ButtonBase::kClick);
}

void CommandButtonW::AccessKeyPress(int16_t keyAscii) {
    // The host routes Return and Escape here as the form's default or cancel button.
    if (keyAscii == 13 || keyAscii == 27) SetValue(true);
}

void CommandButtonW::PerformClick() {
    if (!hWnd()) return;
    if (HWND root = GetAncestor(hWnd(), GA_ROOT)) SetActiveWindow(root);
    ::SetFocus(Site().Hwnd());
    SendMessageW(hWnd(), BM_CLICK, 0, 0);
}

void CommandButtonW::OwnerDraw(const DRAWITEMSTRUCT& item) {
    const DRAWITEMSTRUCT copy = item;
    Raise(kOwnerDraw, Host::EventArg::ByVal(PropDisplayAsDefault),
          Host::EventArg::ByVal(static_cast<int32_t>(copy.itemAction)),
          Host::EventArg::ByVal(static_cast<int32_t>(copy.itemState)),
          Host::EventArg::ByVal(static_cast<int32_t>(reinterpret_cast<LONG_PTR>(copy.hDC))),
          Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.left)),
          Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.top)),
          Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.right)),
          Host::EventArg::ByVal(static_cast<int32_t>(copy.rcItem.bottom)));
}

// ---- Properties -----------------------------------------------------------------------------

void CommandButtonW::SetAlignment(int32_t value) {
    CheckRange(value, 2);
    PropAlignment = value;
    StyleSetter(ButtonBase::kHorizontalBits, kHorizontalByValue[value]);
    Site().PropertyChanged(L"Alignment");
}

void CommandButtonW::MirrorAlignments(bool rightToLeft) {
    // Left becomes right and back; the drop-down part goes to the other side.
    const int32_t from = rightToLeft ? 0 : 1, to = rightToLeft ? 1 : 0;
    if (PropImageListAlignment == from) SetImageListAlignment(to);
    if (PropAlignment == from) SetAlignment(to);
    if (PropSplitButtonAlignment == to) SetSplitButtonAlignment(from);
}

void CommandButtonW::SetPictureAndCaption(bool value) {
    PropPictureAndCaption = value;
    SetPicture(PropPicture);
    Site().PropertyChanged(L"PictureAndCaption");
}

void CommandButtonW::SetSplitButton(bool value) {
    PropSplitButton = value;
    if (::VisualStyles::ComCtlsSupportLevel() >= 2) {
        StyleSetter(BS_TYPEMASK, value ? BS_SPLITBUTTON
                                       : (PropDisplayAsDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
    }
    Site().PropertyChanged(L"SplitButton");
}

void CommandButtonW::EditSplitStyle(UINT bit, bool on) {
    if (!hWnd() || ::VisualStyles::ComCtlsSupportLevel() < 2) return;
    ButtonDraw::SetSplitStyle(hWnd(), bit, on);
    Refresh();
}

void CommandButtonW::SetSplitButtonAlignment(int32_t value) {
    CheckRange(value, 1);
    PropSplitButtonAlignment = value;
    EditSplitStyle(BCSS_ALIGNLEFT, value == 0);
    Site().PropertyChanged(L"SplitButtonAlignment");
}

void CommandButtonW::SetSplitButtonNoSplit(bool value) {
    PropSplitButtonNoSplit = value;
    EditSplitStyle(BCSS_NOSPLIT, value);
    Site().PropertyChanged(L"SplitButtonNoSplit");
}

void CommandButtonW::SetSplitButtonGlyph(ComPtr<IPictureDisp> picture) {
    if (picture.Get() != PropSplitButtonGlyph.Get()) {
        ComPtr<IPicture> source = picture.As<IPicture>(IID_IPicture);
        PropSplitButtonGlyph = Common::CopyPicture(source.Get()).As<IPictureDisp>(IID_IPictureDisp);
    }
    if (hWnd() && ::VisualStyles::ComCtlsSupportLevel() >= 2) {
        const ComPtr<IPicture> glyph = PropSplitButtonGlyph.As<IPicture>(IID_IPicture);
        UniqueImageList made = ButtonDraw::SetSplitGlyph(hWnd(), glyph.Get(), DefaultSplitGlyph);
        Refresh();
        // The window no longer uses the previous list: it goes only now.
        SplitGlyphImageList = std::move(made);
    }
    Site().PropertyChanged(L"SplitButtonGlyph");
}

bool CommandButtonW::DroppedDown() const {
    return ::VisualStyles::ComCtlsSupportLevel() >= 2 && hWnd() &&
           (SendMessageW(hWnd(), BM_GETSTATE, 0, 0) & BST_DROPDOWNPUSHED);
}

void CommandButtonW::SetDroppedDown(bool value) {
    if (::VisualStyles::ComCtlsSupportLevel() >= 2 && hWnd()) {
        SendMessageW(hWnd(), BCM_SETDROPDOWNSTATE, value ? TRUE : FALSE, 0);
    }
}

int32_t CommandButtonW::SetShield(bool state) {
    if (::VisualStyles::ComCtlsSupportLevel() < 2 || !hWnd()) return 0;
    const auto result =
        static_cast<int32_t>(SendMessageW(hWnd(), BCM_SETSHIELD, 0, state ? TRUE : FALSE));
    // The shield took the image's place: the picture comes back.
    if (!state) SetPicture(PropPicture);
    return result;
}

void CommandButtonW::GetIdealSize(float& width, float& height) {
    if (::VisualStyles::ComCtlsSupportLevel() < 1 || !hWnd()) return;
    width = 0;
    height = 0;
    SIZE size{};
    SendMessageW(hWnd(), BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&size));
    width =
        static_cast<float>(Site().ScaleX(size.cx, Units::Unit::Pixels, Units::Unit::ContainerSize));
    height =
        static_cast<float>(Site().ScaleY(size.cy, Units::Unit::Pixels, Units::Unit::ContainerSize));
}
