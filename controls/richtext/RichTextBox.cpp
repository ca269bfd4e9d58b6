#include "controls/richtext/RichTextBox.h"

#include <richedit.h>
#include <uxtheme.h>

#include <algorithm>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/VTableHandle.h"
#include "controls/base/VisualStyles.h"
#include "controls/richtext/RichTextBoxBase.h"
#include "controls/richtext/RichTextBoxEvents.h"
#include "controls/richtext/RichTextOleObjects.h"
#include "host/DataObject.h"
#include "controls/richtext/RichTextPrint.h"
#include "host/PropertyStore.h"

namespace {

using RTB = RichTextBox;

const std::wstring_view kFileArgs[] = {L"FileName", L"Format", L"SelectionOnly"};
const std::wstring_view kObjectArgs[] = {L"LpOleObject"};
const std::wstring_view kObjectFileArgs[] = {L"FileName", L"LinkToFile"};
const std::wstring_view kObjectPictureArgs[] = {L"Picture", L"Format"};
const std::wstring_view kObjectGetArgs[] = {L"IndexObj", L"CharPos"};
const std::wstring_view kTabsArgs[] = {L"Element"};
const std::wstring_view kPrintArgs[] = {L"hDC",         L"CallStartEndDoc", L"DocName",
                                        L"LeftMargin",  L"TopMargin",       L"RightMargin",
                                        L"BottomMargin"};
const std::wstring_view kPasteSpecialArgs[] = {L"wFormat"};
const std::wstring_view kFindArgs[] = {L"String", L"Start", L"End", L"Options"};
const std::wstring_view kLineArgs[] = {L"LineNumber"};
const std::wstring_view kCharArgs[] = {L"CharIndex"};
const std::wstring_view kPointArgs[] = {L"X", L"Y"};

const Host::Member kMembers[] = {
    Host::Method<&RTB::IDEStop>(L"IDEStop", 0x6803003D),
    Host::ReadOnly<&RTB::RichEditHandle>(L"hWnd", 0x6803003C),
    Host::ReadOnly<&RTB::hWndUserControl>(L"hWndUserControl", 0x6803003B),
    Host::Property<&RTB::Font, &RTB::SetFont>(L"Font", 0x6803003A),
    Host::Property<&RTB::VisualStyles, &RTB::SetVisualStyles>(L"VisualStyles", 0x68030039),
    Host::Property<&RTB::OLEDragDrop, &RTB::SetOLEDragDrop>(L"OLEDragDrop", 0x68030037),
    Host::Property<&RTB::MousePointer, &RTB::SetMousePointer>(L"MousePointer",
                                                              RTB::kDispIdMousePointer),
    Host::Property<&RTB::MouseIcon, &RTB::SetMouseIcon>(L"MouseIcon", 0x68030035),
    Host::Property<&RTB::MouseTrack, &RTB::SetMouseTrack>(L"MouseTrack", 0x68030034),
    Host::Property<&RTB::RightToLeft, &RTB::SetRightToLeft>(L"RightToLeft", 0x68030033),
    Host::Property<&RTB::RightToLeftMode, &RTB::SetRightToLeftMode>(L"RightToLeftMode", 0x68030032),
    Host::Property<&RTB::Border, &RTB::SetBorder>(L"Border", 0x68030031),
    Host::Property<&RTB::BackColor, &RTB::SetBackColor>(L"BackColor", 0x68030030),
    Host::Property<&RTB::Locked, &RTB::SetLocked>(L"Locked", RTB::kDispIdLocked),
    Host::Property<&RTB::HideSelection, &RTB::SetHideSelection>(L"HideSelection", 0x6803002E),
    Host::Property<&RTB::PasswordChar, &RTB::SetPasswordChar>(L"PasswordChar", 0x6803002D),
    Host::Property<&RTB::UseSystemPasswordChar, &RTB::SetUseSystemPasswordChar>(
        L"UseSystemPasswordChar", 0x6803002C),
    Host::Property<&RTB::MultiLine, &RTB::SetMultiLine>(L"MultiLine", 0x6803002B,
                                                        Host::Access::ReadOnlyAtRunTime),
    Host::Property<&RTB::MaxLength, &RTB::SetMaxLength>(L"MaxLength", 0x6803002A),
    Host::Property<&RTB::ScrollBars, &RTB::SetScrollBars>(L"ScrollBars", RTB::kDispIdScrollBars),
    Host::Property<&RTB::WantReturn, &RTB::SetWantReturn>(L"WantReturn", 0x68030028),
    Host::Property<&RTB::DisableNoScroll, &RTB::SetDisableNoScroll>(
        L"DisableNoScroll", 0x68030027, Host::Access::ReadOnlyAtRunTime),
    Host::Property<&RTB::AutoURLDetect, &RTB::SetAutoURLDetect>(L"AutoURLDetect", 0x68030026),
    Host::Property<&RTB::BulletIndent, &RTB::SetBulletIndent>(L"BulletIndent", 0x68030025),
    Host::Property<&RTB::SelectionBar, &RTB::SetSelectionBar>(L"SelectionBar", 0x68030024),
    Host::Property<&RTB::FileName, &RTB::SetFileName>(L"FileName", 0x68030023),
    Host::Property<&RTB::TextMode, &RTB::SetTextMode>(L"TextMode", 0x68030022),
    Host::Property<&RTB::UndoLimit, &RTB::SetUndoLimit>(L"UndoLimit", 0x68030021),
    Host::Property<&RTB::IMEMode, &RTB::SetIMEMode>(L"IMEMode", 0x68030020),
    Host::Property<&RTB::AllowOverType, &RTB::SetAllowOverType>(L"AllowOverType", 0x6803001F),
    Host::Property<&RTB::OverTypeMode, &RTB::SetOverTypeMode>(L"OverTypeMode", 0x6803001E),
    Host::Method<&RTB::Refresh>(L"Refresh", DISPID_REFRESH),
    Host::Property<&RTB::Text, &RTB::SetText>(L"Text", 0x6803001B),
    Host::Property<&RTB::TextRTF, &RTB::SetTextRTF>(L"TextRTF", RTB::kDispIdTextRTF),
    Host::Property<&RTB::TextRTF, &RTB::SetTextRTF>(L"Default", DISPID_VALUE),
    Host::Property<&RTB::SelText, &RTB::SetSelText>(L"SelText", 0x68030019),
    Host::Property<&RTB::SelRTF, &RTB::SetSelRTF>(L"SelRTF", 0x68030018),
    Host::Method<&RTB::SaveFile>(L"SaveFile", 0x68030017, kFileArgs),
    Host::Method<&RTB::LoadFile>(L"LoadFile", 0x68030016, kFileArgs),
    Host::Method<&RTB::GetOLEInterface>(L"GetOLEInterface", 0x68030015),
    Host::Method<&RTB::OLEObjectsAdd>(L"OLEObjectsAdd", 0x68030014, kObjectArgs),
    Host::Method<&RTB::OLEObjectsAddFromFile>(L"OLEObjectsAddFromFile", 0x68030013,
                                              kObjectFileArgs),
    Host::Method<&RTB::OLEObjectsAddFromPicture>(L"OLEObjectsAddFromPicture", 0x68030012,
                                                 kObjectPictureArgs),
    Host::Method<&RTB::OLEObjectsGet>(L"OLEObjectsGet", 0x68030011, kObjectGetArgs),
    Host::ReadOnly<&RTB::OLEObjectsCount>(L"OLEObjectsCount", 0x68030010),
    Host::Property<&RTB::SelStart, &RTB::SetSelStart>(L"SelStart", 0x6803000F),
    Host::Property<&RTB::SelLength, &RTB::SetSelLength>(L"SelLength", 0x6803000E),
    Host::Property<&RTB::SelBold, &RTB::SetSelBold>(L"SelBold", 0x6803000D),
    Host::Property<&RTB::SelItalic, &RTB::SetSelItalic>(L"SelItalic", 0x6803000C),
    Host::Property<&RTB::SelStrikethru, &RTB::SetSelStrikethru>(L"SelStrikethru", 0x6803000B),
    Host::Property<&RTB::SelUnderline, &RTB::SetSelUnderline>(L"SelUnderline", 0x6803000A),
    Host::Property<&RTB::SelProtected, &RTB::SetSelProtected>(L"SelProtected", 0x68030009),
    Host::Property<&RTB::SelVisible, &RTB::SetSelVisible>(L"SelVisible", 0x68030008),
    Host::Property<&RTB::SelCharOffset, &RTB::SetSelCharOffset>(L"SelCharOffset", 0x68030007),
    Host::Property<&RTB::SelColor, &RTB::SetSelColor>(L"SelColor", 0x68030006),
    Host::Property<&RTB::SelBkColor, &RTB::SetSelBkColor>(L"SelBkColor", 0x68030005),
    Host::Property<&RTB::SelFontName, &RTB::SetSelFontName>(L"SelFontName", 0x68030004),
    Host::Property<&RTB::SelFontSize, &RTB::SetSelFontSize>(L"SelFontSize", 0x68030003),
    Host::Property<&RTB::SelFontCharset, &RTB::SetSelFontCharset>(L"SelFontCharset", 0x68030002),
    Host::Property<&RTB::SelAlignment, &RTB::SetSelAlignment>(L"SelAlignment", 0x68030001),
    Host::Property<&RTB::SelBullet, &RTB::SetSelBullet>(L"SelBullet", 0x68030000),
    Host::Property<&RTB::SelIndent, &RTB::SetSelIndent>(L"SelIndent", 0x6802FFFF),
    Host::Property<&RTB::SelRightIndent, &RTB::SetSelRightIndent>(L"SelRightIndent", 0x6802FFFE),
    Host::Property<&RTB::SelHangingIndent, &RTB::SetSelHangingIndent>(L"SelHangingIndent",
                                                                      0x6802FFFD),
    Host::Property<&RTB::SelTabCount, &RTB::SetSelTabCount>(L"SelTabCount", 0x6802FFFC),
    Host::IndexedProperty<&RTB::SelTabs, &RTB::SetSelTabs>(L"SelTabs", 0x6802FFFB, kTabsArgs),
    Host::Method<&RTB::SelPrint>(L"SelPrint", 0x6802FFFA, kPrintArgs),
    Host::Method<&RTB::PrintDoc>(L"PrintDoc", 0x6802FFF9, kPrintArgs),
    Host::Method<&RTB::Copy>(L"Copy", 0x6802FFF8),
    Host::Method<&RTB::Cut>(L"Cut", 0x6802FFF7),
    Host::Method<&RTB::Paste>(L"Paste", 0x6802FFF6),
    Host::Method<&RTB::CanPaste>(L"CanPaste", 0x6802FFF5),
    Host::Method<&RTB::PasteSpecial>(L"PasteSpecial", 0x6802FFF4, kPasteSpecialArgs),
    Host::Method<&RTB::Clear>(L"Clear", 0x6802FFF3),
    Host::Method<&RTB::Undo>(L"Undo", 0x6802FFF2),
    Host::ReadOnly<&RTB::UndoType>(L"UndoType", 0x6802FFF1),
    Host::Method<&RTB::CanUndo>(L"CanUndo", 0x6802FFF0),
    Host::Method<&RTB::StopUndoAction>(L"StopUndoAction", 0x6802FFEF),
    Host::Method<&RTB::ResetUndoQueue>(L"ResetUndoQueue", 0x6802FFEE),
    Host::Method<&RTB::Redo>(L"Redo", 0x6802FFED),
    Host::ReadOnly<&RTB::RedoType>(L"RedoType", 0x6802FFEC),
    Host::Method<&RTB::CanRedo>(L"CanRedo", 0x6802FFEB),
    Host::Property<&RTB::Modified, &RTB::SetModified>(L"Modified", 0x6802FFEA),
    Host::Method<&RTB::GetSelType>(L"GetSelType", 0x6802FFE9),
    Host::Method<&RTB::GetLineCount>(L"GetLineCount", 0x6802FFE8),
    Host::Method<&RTB::ScrollToCaret>(L"ScrollToCaret", 0x6802FFE7),
    Host::Method<&RTB::Find>(L"Find", 0x6802FFE6, kFindArgs),
    Host::Method<&RTB::GetLine>(L"GetLine", 0x6802FFE5, kLineArgs),
    Host::Method<&RTB::ScrollToLine>(L"ScrollToLine", 0x6802FFE4, kLineArgs),
    Host::Method<&RTB::GetLineFromChar>(L"GetLineFromChar", 0x6802FFE3, kCharArgs),
    Host::Method<&RTB::CharFromPos>(L"CharFromPos", 0x6802FFE2, kPointArgs),
    Host::Property<&RTB::LeftMargin, &RTB::SetLeftMargin>(L"LeftMargin", 0x6802FFE1),
    Host::Property<&RTB::RightMargin, &RTB::SetRightMargin>(L"RightMargin", 0x6802FFE0),
    Host::Property<&RTB::ZoomFactor, &RTB::SetZoomFactor>(L"ZoomFactor", 0x6802FFDF),
};

// In reading and writing order.
constexpr Host::StoredKey kVisualStylesKey = Host::BoolKey(L"VisualStyles", true);
constexpr Host::StoredKey kEnabledKey = Host::BoolKey(L"Enabled", true);
constexpr Host::StoredKey kOLEDragDropKey = Host::BoolKey(L"OLEDragDrop", true);
constexpr Host::StoredKey kBorderKey = Host::BoolKey(L"Border", true);
constexpr Host::StoredKey kBackColorKey = Host::ColorKey(L"BackColor", 0x80000005);
constexpr Host::StoredKey kLockedKey = Host::BoolKey(L"Locked", false);
constexpr Host::StoredKey kHideSelectionKey = Host::BoolKey(L"HideSelection", true);
constexpr Host::StoredKey kPasswordCharKey = Host::Int16Key(L"PasswordChar", 0);
constexpr Host::StoredKey kUseSystemPasswordCharKey =
    Host::BoolKey(L"UseSystemPasswordChar", false);
// A new instance starts multi-line, so it always writes this key.
constexpr Host::StoredKey kMultiLineKey = Host::BoolKey(L"MultiLine", false);
constexpr Host::StoredKey kMaxLengthKey = Host::Int32Key(L"MaxLength", 0);
constexpr Host::StoredKey kScrollBarsKey = Host::Int32Key(L"ScrollBars", 0);
constexpr Host::StoredKey kWantReturnKey = Host::BoolKey(L"WantReturn", true);
constexpr Host::StoredKey kDisableNoScrollKey = Host::BoolKey(L"DisableNoScroll", false);
constexpr Host::StoredKey kAutoURLDetectKey = Host::BoolKey(L"AutoURLDetect", true);
constexpr Host::StoredKey kBulletIndentKey = Host::Int32Key(L"BulletIndent", 0);
constexpr Host::StoredKey kSelectionBarKey = Host::BoolKey(L"SelectionBar", false);
constexpr Host::StoredKey kFileNameKey = Host::TextKey(L"FileName");
constexpr Host::StoredKey kTextModeKey = Host::Int32Key(L"TextMode", 0);
constexpr Host::StoredKey kUndoLimitKey = Host::Int32Key(L"UndoLimit", 100);
constexpr Host::StoredKey kIMEModeKey = Host::Int32Key(L"IMEMode", 0);
constexpr Host::StoredKey kAllowOverTypeKey = Host::BoolKey(L"AllowOverType", true);
constexpr Host::StoredKey kOverTypeModeKey = Host::BoolKey(L"OverTypeMode", false);
constexpr Host::StoredKey kTextKey = Host::TextKey(L"Text");
constexpr Host::StoredKey kTextRTFKey = Host::TextKey(L"TextRTF");
const Host::StoredKey kKeys[] = {
    Host::kFontKey,       kVisualStylesKey,       kEnabledKey,
    kOLEDragDropKey,      Host::kMousePointerKey, Host::kMouseIconKey,
    Host::kMouseTrackKey, Host::kRightToLeftKey,  Host::kRightToLeftModeKey,
    kBorderKey,           kBackColorKey,          kLockedKey,
    kHideSelectionKey,    kPasswordCharKey,       kUseSystemPasswordCharKey,
    kMultiLineKey,        kMaxLengthKey,          kScrollBarsKey,
    kWantReturnKey,       kDisableNoScrollKey,    kAutoURLDetectKey,
    kBulletIndentKey,     kSelectionBarKey,       kFileNameKey,
    kTextModeKey,         kUndoLimitKey,          kIMEModeKey,
    kAllowOverTypeKey,    kOverTypeModeKey,       kTextKey,
    kTextRTFKey,
};

constexpr DWORD kUnicodeText = SF_TEXT | SF_UNICODE;
constexpr int32_t kHookKinds[] = {VTableHandle::kOleInPlaceActiveObject, VTableHandle::kOleControl,
                                  VTableHandle::kPerPropertyBrowsing};

// A window style bit set or cleared.
void SetStyleBit(HWND hwnd, int index, DWORD bit, bool on) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, index));
    SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(on ? style | bit : style & ~bit));
}

}  // namespace

const Host::ControlDescription& RichTextBox::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, RichTextBoxEvents::All(),
                                                      kKeys};
    return description;
}

// ---- Life ---------------------------------------------------------------------------------

void RichTextBox::Initialize() {
    // Held for the instance's whole life: re-creating the window never reloads it.
    libraryHeld_ = RichTextBoxBase::InitRichTextBox();
    Common::ShellModAddRef();
    for (int32_t kind : kHookKinds)
        VTableHandle::SetVTableHandling(Object(), kind);
}

void RichTextBox::Terminate() {
    for (int32_t kind : kHookKinds)
        VTableHandle::RemoveVTableHandling(Object(), kind);
    // The window goes before the library it belongs to.
    DestroySystemWindow();
    Common::ShellModRelease();
    if (libraryHeld_) RichTextBoxBase::ReleaseRichTextBox();
    libraryHeld_ = false;
}

void RichTextBox::InitProperties() {
    // A copy of the container's font: a change through Font never reaches the container's.
    Site().SetFont(Site().GetAmbient().Font().Get());
    PropRightToLeft = Site().GetAmbient().RightToLeft();
    if (PropRightToLeft) SetRightToLeft(true);
    CreateSystemWindow();
    SetText(Site().GetAmbient().DisplayName());
}

void RichTextBox::ReadProperties(Host::PropertyStore& store) {
    ReadFontKey(store);
    PropVisualStyles = kVisualStylesKey.ReadBool(store);
    SetEnabled(kEnabledKey.ReadBool(store));
    PropOLEDragDrop = kOLEDragDropKey.ReadBool(store);
    ReadPointerKeys(store);
    PropBorder = kBorderKey.ReadBool(store);
    PropBackColor = static_cast<OLE_COLOR>(kBackColorKey.ReadInt32(store));
    PropLocked = kLockedKey.ReadBool(store);
    PropHideSelection = kHideSelectionKey.ReadBool(store);
    PropPasswordChar = static_cast<wchar_t>(kPasswordCharKey.ReadInt16(store));
    PropUseSystemPasswordChar = kUseSystemPasswordCharKey.ReadBool(store);
    PropMultiLine = kMultiLineKey.ReadBool(store);
    PropMaxLength = kMaxLengthKey.ReadInt32(store);
    PropScrollBars = kScrollBarsKey.ReadInt32(store);
    PropWantReturn = kWantReturnKey.ReadBool(store);
    PropDisableNoScroll = kDisableNoScrollKey.ReadBool(store);
    PropAutoURLDetect = kAutoURLDetectKey.ReadBool(store);
    PropBulletIndent = kBulletIndentKey.ReadInt32(store);
    PropSelectionBar = kSelectionBarKey.ReadBool(store);
    PropFileName = kFileNameKey.ReadString(store);
    PropTextMode = kTextModeKey.ReadInt32(store);
    PropUndoLimit = kUndoLimitKey.ReadInt32(store);
    PropIMEMode = kIMEModeKey.ReadInt32(store);
    PropAllowOverType = kAllowOverTypeKey.ReadBool(store);
    PropOverTypeMode = kOverTypeModeKey.ReadBool(store);
    CreateSystemWindow();
    if (PropTextMode != 0) {
        RichTextBoxBase::StreamStringIn(hWnd(), kTextKey.ReadString(store), kUnicodeText,
                                        PropMaxLength);
    } else {
        RichTextBoxBase::StreamStringIn(hWnd(), kTextRTFKey.ReadString(store), SF_RTF,
                                        PropMaxLength);
    }
}

void RichTextBox::WriteProperties(Host::PropertyStore& store) {
    WriteFontKey(store);
    kVisualStylesKey.Write(store, Host::Variant::Bool(PropVisualStyles));
    kEnabledKey.Write(store, Host::Variant::Bool(Enabled()));
    kOLEDragDropKey.Write(store, Host::Variant::Bool(PropOLEDragDrop));
    WritePointerKeys(store);
    kBorderKey.Write(store, Host::Variant::Bool(PropBorder));
    kBackColorKey.Write(store, Host::Variant::Int32(static_cast<int32_t>(PropBackColor)));
    kLockedKey.Write(store, Host::Variant::Bool(PropLocked));
    kHideSelectionKey.Write(store, Host::Variant::Bool(PropHideSelection));
    kPasswordCharKey.Write(store, Host::Variant::Int16(static_cast<int16_t>(PropPasswordChar)));
    kUseSystemPasswordCharKey.Write(store, Host::Variant::Bool(PropUseSystemPasswordChar));
    kMultiLineKey.Write(store, Host::Variant::Bool(PropMultiLine));
    kMaxLengthKey.Write(store, Host::Variant::Int32(PropMaxLength));
    kScrollBarsKey.Write(store, Host::Variant::Int32(PropScrollBars));
    kWantReturnKey.Write(store, Host::Variant::Bool(PropWantReturn));
    kDisableNoScrollKey.Write(store, Host::Variant::Bool(PropDisableNoScroll));
    kAutoURLDetectKey.Write(store, Host::Variant::Bool(PropAutoURLDetect));
    kBulletIndentKey.Write(store, Host::Variant::Int32(PropBulletIndent));
    kSelectionBarKey.Write(store, Host::Variant::Bool(PropSelectionBar));
    kFileNameKey.WriteString(store, PropFileName);
    kTextModeKey.Write(store, Host::Variant::Int32(PropTextMode));
    kUndoLimitKey.Write(store, Host::Variant::Int32(PropUndoLimit));
    kIMEModeKey.Write(store, Host::Variant::Int32(PropIMEMode));
    kAllowOverTypeKey.Write(store, Host::Variant::Bool(PropAllowOverType));
    kOverTypeModeKey.Write(store, Host::Variant::Bool(PropOverTypeMode));
    kTextKey.WriteString(store, Text());
    kTextRTFKey.WriteString(store, TextRTF());
}

Host::WindowShape RichTextBox::DescribeWindow() {
    if (!libraryHeld_) return {};
    DWORD style = 0, exStyle = 0;
    if (!PropOLEDragDrop) style |= ES_NOOLEDRAGDROP;
    if (PropRightToLeft) exStyle |= WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR;
    if (PropBorder) {
        style |= ES_SUNKEN;
        exStyle |= WS_EX_CLIENTEDGE;
    }
    if (PropLocked) style |= ES_READONLY;
    if (!PropHideSelection) style |= ES_NOHIDESEL;
    if (PropUseSystemPasswordChar) style |= ES_PASSWORD;
    if (PropMultiLine) {
        constexpr DWORD kByScrollBars[] = {
            ES_AUTOVSCROLL, WS_HSCROLL | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
            WS_VSCROLL | ES_AUTOVSCROLL, WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL | ES_AUTOVSCROLL};
        style |= ES_MULTILINE | kByScrollBars[PropScrollBars & 3];
    } else {
        style |= ES_AUTOHSCROLL;
    }
    if (PropDisableNoScroll) style |= ES_DISABLENOSCROLL;
    if (PropSelectionBar) style |= ES_SELECTIONBAR;
    return {RichTextBoxBase::RichEditClass(), style, exStyle, {}};
}

void RichTextBox::WindowCreated() {
    const HWND hwnd = hWnd();
    if (PropPasswordChar && !PropUseSystemPasswordChar) {
        SendMessageW(hwnd, EM_SETPASSWORDCHAR, PropPasswordChar, 0);
    }
    SendMessageW(hwnd, EM_EXLIMITTEXT, 0, PropMaxLength);
    SendMessageW(hwnd, EM_SETTYPOGRAPHYOPTIONS, TO_ADVANCEDTYPOGRAPHY, TO_ADVANCEDTYPOGRAPHY);
    // A multi-line box wraps at its right edge unless it scrolls horizontally.
    const bool wrap = PropMultiLine && !(PropScrollBars & 1);
    SendMessageW(hwnd, EM_SETTARGETDEVICE, 0, wrap ? 0 : 1);
    if (PropTextMode == 1) {
        // Only a window with nothing to undo changes its mode.
        SendMessageW(hwnd, EM_EMPTYUNDOBUFFER, 0, 0);
        SendMessageW(hwnd, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
    }
    // The font and the enabled state are already set; the rest in this order.
    SetVisualStyles(PropVisualStyles);
    SetBackColor(PropBackColor);
    SetAutoURLDetect(PropAutoURLDetect);
    if (PropUndoLimit != 100) SetUndoLimit(PropUndoLimit);
    // The window holds the callback object; the control's reference only cuts it loose.
    oleCallback_ = RichTextOleCallback::Create(*this);
    if (oleCallback_ &&
        !SendMessageW(hwnd, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(oleCallback_.Get()))) {
        oleCallback_->Detach();
        oleCallback_.Reset();
    }
    if (!DesignMode()) {
        imeContext_.Create(hwnd);
        SendMessageW(
            hwnd, EM_SETEVENTMASK, 0,
            ENM_CHANGE | ENM_SCROLL | ENM_DRAGDROPDONE | ENM_SELCHANGE | ENM_PROTECTED | ENM_LINK);
        SendMessageW(hwnd, EM_SETEDITSTYLE, SES_BEEPONMAXTEXT, SES_BEEPONMAXTEXT);
        if (PropAllowOverType && PropOverTypeMode) {
            // The window starts in insert mode: one Insert key switches it.
            PropOverTypeMode = false;
            SendMessageW(hwnd, WM_KEYDOWN, VK_INSERT, 0);
            SendMessageW(hwnd, WM_KEYUP, VK_INSERT, 0);
        }
    }
}

std::function<void()> RichTextBox::KeepWindowState() {
    const DWORD format = ContentFormat();
    std::wstring content = RichTextBoxBase::StreamStringOut(hWnd(), format);
    if (DesignMode()) {
        return [this, format, content = std::move(content)] {
            // A file gone since it was loaded leaves the content as it was.
            if (!PropFileName.empty() && RichTextBoxBase::FileExists(PropFileName)) {
                SetFileName(PropFileName);
            } else {
                RichTextBoxBase::StreamStringIn(hWnd(), content, format, PropMaxLength);
            }
        };
    }
    CHARRANGE selection{};
    SendMessageW(hWnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    POINT scroll{};
    SendMessageW(hWnd(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
    if (!(PropScrollBars & 1)) scroll.x = 0;
    if (!(PropScrollBars & 2)) scroll.y = 0;
    return [this, format, content = std::move(content), selection, scroll]() mutable {
        if (!hWnd()) return;
        Resize();
        RichTextBoxBase::StreamStringIn(hWnd(), content, format, PropMaxLength);
        SendMessageW(hWnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        if (scroll.x > 0 || scroll.y > 0) {
            SendMessageW(hWnd(), EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
        }
        Refresh();
    };
}

void RichTextBox::WindowClosing() {
    imeContext_.Reset();
    if (oleCallback_) {
        // The window lets go of the callback; what it still holds calls nobody.
        SendMessageW(hWnd(), EM_SETOLECALLBACK, 0, 0);
        oleCallback_->Detach();
        oleCallback_.Reset();
    }
}

void RichTextBox::WindowDestroyed() {
    DeactivateInPlace();
    hasFocus_ = mouseOverBorder_ = mouseOverTrack_ = buttonDown_ = false;
    pendingKeyChar_ = 0;
}

void RichTextBox::IDEStop() {
    DestroySystemWindow();
}

// ---- Look -----------------------------------------------------------------------------------

void RichTextBox::SetBorder(bool value) {
    PropBorder = value;
    if (hWnd()) {
        SetStyleBit(hWnd(), GWL_STYLE, ES_SUNKEN, value);
        SetStyleBit(hWnd(), GWL_EXSTYLE, WS_EX_CLIENTEDGE, value);
        Common::FrameChanged(hWnd());
    }
    Site().PropertyChanged(L"Border");
}

void RichTextBox::SetBackColor(OLE_COLOR color) {
    PropBackColor = color;
    if (hWnd()) {
        SendMessageW(hWnd(), EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(Common::WinColor(color)));
        RedrawWindow(hWnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    }
    Site().PropertyChanged(L"BackColor");
}

void RichTextBox::SetRightToLeft(bool value) {
    PropRightToLeft = value;
    Site().SetRightToLeft(value);
    PropRightToLeft = Site().RightToLeft();
    Common::ResolveRightToLeft(PropRightToLeft, Site().GetAmbient().RightToLeft(),
                               PropRightToLeftMode);
    if (hWnd()) {
        // A formatted document keeps its paragraph directions: start afresh.
        if (TextMode() == 0) SetWindowTextW(hWnd(), L"");
        ReCreateSystemWindow();
    }
    Site().PropertyChanged(L"RightToLeft");
}

// ---- Behaviour ------------------------------------------------------------------------------

void RichTextBox::SetOLEDragDrop(bool value) {
    PropOLEDragDrop = value;
    ReCreateSystemWindow();
    Site().PropertyChanged(L"OLEDragDrop");
}

bool RichTextBox::Locked() const {
    if (!hWnd()) return PropLocked;
    return GetWindowLongPtrW(hWnd(), GWL_STYLE) & ES_READONLY;
}

void RichTextBox::SetLocked(bool value) {
    PropLocked = value;
    if (hWnd()) SendMessageW(hWnd(), EM_SETREADONLY, value ? TRUE : FALSE, 0);
    Site().PropertyChanged(L"Locked");
}

void RichTextBox::SetHideSelection(bool value) {
    PropHideSelection = value;
    if (hWnd()) SendMessageW(hWnd(), EM_HIDESELECTION, value ? TRUE : FALSE, 0);
    Site().PropertyChanged(L"HideSelection");
}

std::wstring RichTextBox::PasswordChar() const {
    const wchar_t c = hWnd() ? static_cast<wchar_t>(SendMessageW(hWnd(), EM_GETPASSWORDCHAR, 0, 0))
                             : PropPasswordChar;
    return std::wstring(1, c);
}

void RichTextBox::SetPasswordChar(const std::wstring& value) {
    if (PropUseSystemPasswordChar) return;
    if (value.size() > 1) return InvalidValue();
    PropPasswordChar = value.empty() ? 0 : value[0];
    if (hWnd()) SendMessageW(hWnd(), EM_SETPASSWORDCHAR, PropPasswordChar, 0);
    Refresh();
    Site().PropertyChanged(L"PasswordChar");
}

void RichTextBox::SetUseSystemPasswordChar(bool value) {
    PropUseSystemPasswordChar = value;
    ReCreateSystemWindow();
    Site().PropertyChanged(L"UseSystemPasswordChar");
}

void RichTextBox::SetMultiLine(bool value) {
    // Kept in the window style: fixed once the program runs.
    Host::RequireDesignTime(*this, L"MultiLine");
    PropMultiLine = value;
    ReCreateSystemWindow();
    Site().PropertyChanged(L"MultiLine");
}

void RichTextBox::SetMaxLength(int32_t value) {
    if (value < 0) return InvalidValue();
    PropMaxLength = value;
    if (hWnd()) SendMessageW(hWnd(), EM_EXLIMITTEXT, 0, value);
    Site().PropertyChanged(L"MaxLength");
}

void RichTextBox::SetScrollBars(int32_t value) {
    if (value < 0 || value > 3) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    // An unchanged value keeps the window: re-creating it would read the whole document again.
    if (value == PropScrollBars) return;
    PropScrollBars = value;
    ReCreateSystemWindow();
    Site().PropertyChanged(L"ScrollBars");
}

void RichTextBox::SetWantReturn(bool value) {
    if (value == PropWantReturn) return;
    PropWantReturn = value;
    if (hWnd() && !DesignMode()) {
        // The container asks again which keys the control keeps.
        VTableHandle::NotifyControlInfoChanged(Object(), GetFocus() == hWnd());
    }
    Site().PropertyChanged(L"WantReturn");
}

void RichTextBox::SetDisableNoScroll(bool value) {
    Host::RequireDesignTime(*this, L"DisableNoScroll");
    PropDisableNoScroll = value;
    ReCreateSystemWindow();
    Site().PropertyChanged(L"DisableNoScroll");
}

bool RichTextBox::AutoURLDetect() const {
    if (!hWnd()) return PropAutoURLDetect;
    return SendMessageW(hWnd(), EM_GETAUTOURLDETECT, 0, 0) == 1;
}

void RichTextBox::SetAutoURLDetect(bool value) {
    PropAutoURLDetect = value;
    if (hWnd()) SendMessageW(hWnd(), EM_AUTOURLDETECT, value ? TRUE : FALSE, 0);
    Site().PropertyChanged(L"AutoURLDetect");
}

float RichTextBox::BulletIndent() const {
    return static_cast<float>(
        Site().ScaleX(PropBulletIndent, Units::Unit::Pixels, Units::Unit::ContainerSize));
}

void RichTextBox::SetBulletIndent(float value) {
    if (!(value >= 0)) return InvalidValue();
    // Too many pixels for the field is an overflow, not a wrapped indent.
    PropBulletIndent =
        RoundToInt32(Site().ScaleX(value, Units::Unit::ContainerSize, Units::Unit::Pixels));
    Site().PropertyChanged(L"BulletIndent");
}

void RichTextBox::SetSelectionBar(bool value) {
    PropSelectionBar = value;
    if (hWnd()) {
        auto options = static_cast<DWORD>(SendMessageW(hWnd(), EM_GETOPTIONS, 0, 0));
        options = value ? options | ECO_SELECTIONBAR : options & ~ECO_SELECTIONBAR;
        SendMessageW(hWnd(), EM_SETOPTIONS, ECOOP_SET, options);
    }
    Site().PropertyChanged(L"SelectionBar");
}

int32_t RichTextBox::TextMode() const {
    if (!hWnd()) return PropTextMode;
    return (SendMessageW(hWnd(), EM_GETTEXTMODE, 0, 0) & TM_RICHTEXT) ? 0 : 1;
}

void RichTextBox::SetTextMode(int32_t value) {
    if (value != 0 && value != 1) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    // Changing the mode empties the window: the mode it has already must not cost the content.
    if (value == TextMode()) return;
    if (DesignMode()) PropFileName.clear();
    PropTextMode = value;
    if (hWnd()) {
        // The window changes its mode only while it is empty, with nothing to undo.
        SetWindowTextW(hWnd(), L"");
        SendMessageW(hWnd(), EM_EMPTYUNDOBUFFER, 0, 0);
        SendMessageW(hWnd(), EM_SETTEXTMODE, value == 0 ? TM_RICHTEXT : TM_PLAINTEXT, 0);
    }
    Site().PropertyChanged(L"TextMode");
}

void RichTextBox::SetUndoLimit(int32_t value) {
    if (value < 0) return InvalidValue();
    if (!hWnd()) return;
    SendMessageW(hWnd(), EM_SETTEXTMODE, value > 1 ? TM_MULTILEVELUNDO : TM_SINGLELEVELUNDO, 0);
    PropUndoLimit = static_cast<int32_t>(SendMessageW(hWnd(), EM_SETUNDOLIMIT, value, 0));
    Site().PropertyChanged(L"UndoLimit");
}

void RichTextBox::SetIMEMode(int32_t value) {
    if (value < 0 || value > 10) ControlErrors::Raise(ControlErrors::kInvalidPropertyValue);
    PropIMEMode = value;
    if (hWnd() && !DesignMode() && GetFocus() == hWnd()) ApplyIMEMode();
    Site().PropertyChanged(L"IMEMode");
}

void RichTextBox::SetAllowOverType(bool value) {
    PropAllowOverType = value;
    if (!value) SetOverTypeMode(false);
    Site().PropertyChanged(L"AllowOverType");
}

void RichTextBox::SetOverTypeMode(bool value) {
    if (value == PropOverTypeMode) return;
    if (hWnd() && !DesignMode()) {
        // The window's own switch; the key handler keeps the field.
        SendMessageW(hWnd(), WM_KEYDOWN, VK_INSERT, 0);
        SendMessageW(hWnd(), WM_KEYUP, VK_INSERT, 0);
    } else {
        PropOverTypeMode = value && PropAllowOverType;
    }
    Site().PropertyChanged(L"OverTypeMode");
}

// ---- Content --------------------------------------------------------------------------------

DWORD RichTextBox::ContentFormat() const {
    return TextMode() == 1 ? kUnicodeText : SF_RTF;
}

std::wstring RichTextBox::Text() const {
    return RichTextBoxBase::StreamStringOut(hWnd(), kUnicodeText);
}

void RichTextBox::SetText(const std::wstring& text) {
    if (DesignMode()) PropFileName.clear();
    RichTextBoxBase::StreamStringIn(hWnd(), text, kUnicodeText, PropMaxLength);
    ShowFromTop();
    Site().PropertyChanged(L"Text");
}

void RichTextBox::ShowFromTop() {
    if (!hWnd()) return;
    CHARRANGE start{0, 0};
    SendMessageW(hWnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
    POINT top{0, 0};
    SendMessageW(hWnd(), EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&top));
}

std::wstring RichTextBox::TextRTF() const {
    return RichTextBoxBase::StreamStringOut(hWnd(), SF_RTF);
}

void RichTextBox::SetTextRTF(const std::wstring& rtf) {
    RichTextBoxBase::StreamStringIn(hWnd(), rtf, SF_RTF, PropMaxLength);
    ShowFromTop();
    Site().PropertyChanged(L"TextRTF");
}

std::wstring RichTextBox::SelText() const {
    if (!hWnd()) return {};
    GETTEXTLENGTHEX length{GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
    const LRESULT whole =
        SendMessageW(hWnd(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    if (whole <= 0) return {};
    // The window writes a terminator after the selected text.
    std::wstring text(static_cast<size_t>(whole) + 1, L'\0');
    const LRESULT n = SendMessageW(hWnd(), EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(n > 0 ? std::min(static_cast<size_t>(n), text.size() - 1) : 0);
    return text;
}

void RichTextBox::SetSelText(const std::wstring& text) {
    if (hWnd()) SendMessageW(hWnd(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring RichTextBox::SelRTF() const {
    return RichTextBoxBase::StreamStringOut(hWnd(), SFF_SELECTION | SF_RTF);
}

void RichTextBox::SetSelRTF(const std::wstring& rtf) {
    RichTextBoxBase::StreamStringIn(hWnd(), rtf, SFF_SELECTION | SF_RTF, PropMaxLength);
}

// ---- Printing ---------------------------------------------------------------------------------

namespace {

// One inch all round unless the caller chose.
constexpr int32_t kDefaultPrintMargin = 1440;

RichTextPrint::Job PrintJob(HDC hDC, std::optional<bool> callStartEndDoc,
                            std::optional<std::wstring> docName, std::optional<int32_t> left,
                            std::optional<int32_t> top, std::optional<int32_t> right,
                            std::optional<int32_t> bottom) {
    return {hDC,
            callStartEndDoc.value_or(true),
            docName.value_or(std::wstring()),
            left.value_or(kDefaultPrintMargin),
            top.value_or(kDefaultPrintMargin),
            right.value_or(kDefaultPrintMargin),
            bottom.value_or(kDefaultPrintMargin)};
}

}  // namespace

void RichTextBox::PrintDoc(HDC hDC, std::optional<bool> callStartEndDoc,
                           std::optional<std::wstring> docName, std::optional<int32_t> leftMargin,
                           std::optional<int32_t> topMargin, std::optional<int32_t> rightMargin,
                           std::optional<int32_t> bottomMargin) {
    RichTextPrint::PrintDoc(hWnd(), PrintJob(hDC, callStartEndDoc, std::move(docName), leftMargin,
                                             topMargin, rightMargin, bottomMargin));
}

void RichTextBox::SelPrint(HDC hDC, std::optional<bool> callStartEndDoc,
                           std::optional<std::wstring> docName, std::optional<int32_t> leftMargin,
                           std::optional<int32_t> topMargin, std::optional<int32_t> rightMargin,
                           std::optional<int32_t> bottomMargin) {
    RichTextPrint::SelPrint(hWnd(), PrintJob(hDC, callStartEndDoc, std::move(docName), leftMargin,
                                             topMargin, rightMargin, bottomMargin));
}

template <class Body>
void RichTextBox::FileOperation(Body&& body) {
    try {
        body();
    } catch (const ControlError& e) {
        if (e.Number() != ControlErrors::kPathFileAccess || !DesignMode()) throw;
        Common::ShowMessageBox(e.Description() + L".", MB_ICONHAND);
    }
}

void RichTextBox::LoadFile(const std::wstring& fileName, std::optional<int32_t> format,
                           std::optional<bool> selectionOnly) {
    FileOperation([&] {
        RichTextBoxBase::LoadFile(hWnd(), fileName, format.value_or(0),
                                  selectionOnly.value_or(false), PropMaxLength);
    });
}

void RichTextBox::SaveFile(const std::wstring& fileName, std::optional<int32_t> format,
                           std::optional<bool> selectionOnly) {
    FileOperation([&] {
        RichTextBoxBase::SaveFile(hWnd(), fileName, format.value_or(0),
                                  selectionOnly.value_or(false));
    });
}

void RichTextBox::SetFileName(const std::wstring& fileName) {
    if (fileName.empty()) {
        PropFileName.clear();
        if (hWnd()) SetWindowTextW(hWnd(), L"");
        Site().PropertyChanged(L"FileName");
        return;
    }
    FileOperation([&] {
        if (!RichTextBoxBase::FileExists(fileName)) RichTextBoxBase::RaiseFileAccess();
        const int32_t format = RichTextBoxBase::DetectFileFormat(fileName);
        // Plain-text mode cannot hold a formatted document.
        if (format == RichTextBoxBase::kFormatRTF && TextMode() != 0) {
            PropFileName.clear();
            return;
        }
        RichTextBoxBase::LoadFile(hWnd(), fileName, format, false, PropMaxLength);
        PropFileName = fileName;
        Site().PropertyChanged(L"FileName");
    });
}

// ---- Embedded objects -----------------------------------------------------------------------

ComPtr<IUnknown> RichTextBox::GetOLEInterface() const {
    return RichTextOleObjects::OleInterface(hWnd()).As<IUnknown>(IID_IUnknown);
}

int32_t RichTextBox::OLEObjectsCount() const {
    return RichTextOleObjects::Count(hWnd());
}

void RichTextBox::OLEObjectsAdd(ComPtr<IUnknown> object) {
    RichTextOleObjects::Add(hWnd(), object.Get());
}

void RichTextBox::OLEObjectsAddFromFile(const std::wstring& fileName, bool linkToFile) {
    RichTextOleObjects::AddFromFile(hWnd(), fileName, linkToFile);
}

void RichTextBox::OLEObjectsAddFromPicture(ComPtr<IPictureDisp> picture,
                                           std::optional<int32_t> format) {
    const ComPtr<IPicture> image = picture.As<IPicture>(IID_IPicture);
    pendingFormat_ = RichTextOleObjects::PictureFormat(image.Get(), format);
    pendingPicture_ = image;
    // The picture goes in through the host's drag start, which gives it a data object; no
    // drag takes place (OLEStartDrag allows none).
    struct Done {
        RichTextBox& box;
        ~Done() {
            box.pendingPicture_.Reset();
            box.pendingFormat_ = 0;
        }
    } done{*this};
    Site().OLEDrag();
}

ComPtr<IUnknown> RichTextBox::OLEObjectsGet(int32_t indexObj,
                                            std::optional<int32_t> charPos) const {
    return RichTextOleObjects::Get(hWnd(), indexObj, charPos.value_or(0));
}

void RichTextBox::OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) {
    if (!pendingPicture_ || !hWnd()) return;
    allowedEffects = DROPEFFECT_NONE;
    RichTextOleObjects::PutPicture(data, pendingPicture_.Get(), pendingFormat_);
    RichTextOleObjects::AddFromData(hWnd(), &data, pendingFormat_);
}
