#include "controls/buttons/CheckBoxW.h"

#include <olectl.h>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/PropertyStore.h"

namespace {

using CB = CheckBoxW;
using Host::Property;

// The control's own members count up from here in member order.
constexpr DISPID kOwn = 0x68030000;

using namespace ButtonBase;
const auto kMembers =
    Join(std::to_array<Host::Member>({Property<&CB::Value, &CB::SetValue>(L"Value", DISPID_VALUE)}),
         HeadMembers(), ImageListMembers(CB::kDispIdImageList, kOwn + 9), CaptionMember(),
         std::to_array<Host::Member>({
             Property<&CB::Alignment, &CB::SetAlignment>(L"Alignment", kOwn + 11),
             Property<&CB::TextAlignment, &CB::SetTextAlignment>(L"TextAlignment", kOwn + 12),
             Property<&CB::PushLike, &CB::SetPushLike>(L"PushLike", kOwn + 13),
         }),
         PictureMember(), WrapMembers(),
         std::to_array<Host::Member>({
             Property<&CB::VerticalAlignment, &CB::SetVerticalAlignment>(L"VerticalAlignment",
                                                                         kOwn + 16),
         }),
         GraphicalMembers(kOwn + 17), StateMembers(kOwn + 23), RefreshMember(),
         ExtenderMethods(kOwn + 25));

// The check box's own events, numbered in declaration order.
const Host::EventParameter kOwnerDrawArgs[] = {{L"Action", VT_I4, false}, {L"State", VT_I4, false},
                                               {L"hDC", VT_I4, false},    {L"Left", VT_I4, false},
                                               {L"Top", VT_I4, false},    {L"Right", VT_I4, false},
                                               {L"Bottom", VT_I4, false}};
constexpr Host::EventInfo kHotChanged{L"HotChanged", 1, {}};
const Host::EventInfo kOwnerDraw{L"OwnerDraw", 2, kOwnerDrawArgs};
constexpr auto kPreview = PreviewEvents(3);
constexpr auto kTrackAndDrag = TrackAndDragEvents(5);

const auto kEvents = Join(std::to_array<Host::EventInfo>({kClick, kHotChanged, kOwnerDraw}),
                          kPreview, kTrackAndDrag, kStandardEvents);

// No drop-down part.
const ButtonEvents kButtonEvents = EventsOf(kHotChanged, nullptr, kPreview, kTrackAndDrag);

// A 16-bit value whose default is kept as a 32-bit 0.
constexpr Host::StoredKey kValueKey = Host::Int32Key(L"Value", 0);
constexpr Host::StoredKey kAlignmentKey = Host::Int32Key(L"Alignment", 0);
constexpr Host::StoredKey kTextAlignmentKey = Host::Int32Key(L"TextAlignment", 0);
constexpr Host::StoredKey kPushLikeKey = Host::BoolKey(L"PushLike", false);
// In reading and writing order.
constexpr auto kKeys =
    Join(kHeadKeys,
         std::to_array<Host::StoredKey>({kValueKey, kCaptionKey, kAlignmentKey, kTextAlignmentKey,
                                         kPushLikeKey, kPictureKey, kWordWrapKey, kTransparentKey,
                                         kVerticalAlignmentKey}),
         kTailKeys);

constexpr DWORD kByTextAlignment[] = {BS_LEFT, BS_RIGHT, BS_CENTER};
constexpr const wchar_t* kValueNames[] = {L"0 - Unchecked", L"1 - Checked", L"2 - Grayed"};

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
    ReadHeadKeys(store);
    PropValue = CheckState(kValueKey.ReadInt16(store));
    PropCaption = kCaptionKey.ReadString(store);
    PropAlignment = Checked(kAlignmentKey.ReadInt32(store), 1);
    PropTextAlignment = Checked(kTextAlignmentKey.ReadInt32(store), 2);
    PropPushLike = kPushLikeKey.ReadBool(store);
    PropPicture = kPictureKey.ReadPicture(store);
    PropWordWrap = kWordWrapKey.ReadBool(store);
    PropTransparent = kTransparentKey.ReadBool(store);
    PropVerticalAlignment = kVerticalAlignmentKey.ReadInt32(store);
    ReadTailKeys(store);
    CreateSystemWindow();
    EndReadProperties();
}

void CheckBoxW::WriteProperties(Host::PropertyStore& store) {
    using Host::Variant;
    WriteHeadKeys(store);
    kValueKey.Write(store, Variant::Int16(Value()));
    kCaptionKey.WriteString(store, Caption());
    kAlignmentKey.Write(store, Variant::Int32(PropAlignment));
    kTextAlignmentKey.Write(store, Variant::Int32(PropTextAlignment));
    kPushLikeKey.Write(store, Variant::Bool(PropPushLike));
    kPictureKey.Write(store, ObjectValue(PropPicture.Get()));
    kWordWrapKey.Write(store, Variant::Bool(PropWordWrap));
    kTransparentKey.Write(store, Variant::Bool(PropTransparent));
    kVerticalAlignmentKey.Write(store, Variant::Int32(PropVerticalAlignment));
    WriteTailKeys(store);
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

// ---- Property browsing
// ---------------------------------------------------------------------------

bool CheckBoxW::OfferFor(DISPID id, Offer& offer) {
    if (id != DISPID_VALUE) return ButtonControl::OfferFor(id, offer);
    offer.display = kValueNames[Value()];
    offer.names.assign(std::begin(kValueNames), std::end(kValueNames));
    offer.cookies = {kUnchecked, kChecked, kGrayed};
    return true;
}
