// RichTextBox: a rich text box over the system rich edit window.
//
// Dispatch identifiers (the member table in RichTextBox.cpp holds them): the control's own
// properties count down from Locked (0x6803002F) in member order and up from it for those
// before it; the content members follow below TextMode's neighbours:
//   IDEStop 0x6803003D, hWnd 0x6803003C, hWndUserControl 0x6803003B, Font 0x6803003A,
//   VisualStyles 0x68030039, OLEDragDrop 0x68030037, MousePointer 0x68030036,
//   MouseIcon 0x68030035, MouseTrack 0x68030034, RightToLeft 0x68030033,
//   RightToLeftMode 0x68030032, Border 0x68030031, BackColor 0x68030030, Locked 0x6803002F,
//   HideSelection 0x6803002E, PasswordChar 0x6803002D, UseSystemPasswordChar 0x6803002C,
//   MultiLine 0x6803002B, MaxLength 0x6803002A, ScrollBars 0x68030029, WantReturn 0x68030028,
//   DisableNoScroll 0x68030027, AutoURLDetect 0x68030026, BulletIndent 0x68030025,
//   SelectionBar 0x68030024, FileName 0x68030023, TextMode 0x68030022, UndoLimit 0x68030021,
//   IMEMode 0x68030020, AllowOverType 0x6803001F, OverTypeMode 0x6803001E,
//   Refresh -550 (DISPID_REFRESH), Text 0x6803001B, TextRTF 0x6803001A, Default 0
//   (the default member), SelText 0x68030019, SelRTF 0x68030018, SaveFile 0x68030017,
//   LoadFile 0x68030016, GetOLEInterface 0x68030015, OLEObjectsAdd 0x68030014,
//   OLEObjectsAddFromFile 0x68030013, OLEObjectsAddFromPicture 0x68030012,
//   OLEObjectsGet 0x68030011, OLEObjectsCount 0x68030010; Enabled is the host's 0x8001000D.
// Events and their identifiers: RichTextBoxEvents.h.
// Selection, printing and editing count down from 0x6803000F: SelStart 0x6803000F,
//   SelLength 0x6803000E, SelBold 0x6803000D, SelItalic 0x6803000C, SelStrikethru 0x6803000B,
//   SelUnderline 0x6803000A, SelProtected 0x68030009, SelVisible 0x68030008,
//   SelCharOffset 0x68030007, SelColor 0x68030006, SelBkColor 0x68030005,
//   SelFontName 0x68030004, SelFontSize 0x68030003, SelFontCharset 0x68030002,
//   SelAlignment 0x68030001, SelBullet 0x68030000, SelIndent 0x6802FFFF,
//   SelRightIndent 0x6802FFFE, SelHangingIndent 0x6802FFFD, SelTabCount 0x6802FFFC,
//   SelTabs 0x6802FFFB, SelPrint 0x6802FFFA, PrintDoc 0x6802FFF9, Copy 0x6802FFF8,
//   Cut 0x6802FFF7, Paste 0x6802FFF6, CanPaste 0x6802FFF5, PasteSpecial 0x6802FFF4,
//   Clear 0x6802FFF3, Undo 0x6802FFF2, UndoType 0x6802FFF1, CanUndo 0x6802FFF0,
//   StopUndoAction 0x6802FFEF, ResetUndoQueue 0x6802FFEE, Redo 0x6802FFED,
//   RedoType 0x6802FFEC, CanRedo 0x6802FFEB, Modified 0x6802FFEA, GetSelType 0x6802FFE9,
//   GetLineCount 0x6802FFE8, ScrollToCaret 0x6802FFE7, Find 0x6802FFE6, GetLine 0x6802FFE5,
//   ScrollToLine 0x6802FFE4, GetLineFromChar 0x6802FFE3, CharFromPos 0x6802FFE2,
//   LeftMargin 0x6802FFE1, RightMargin 0x6802FFE0, ZoomFactor 0x6802FFDF.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "controls/base/ComPtr.h"
#include "controls/richtext/RichTextIme.h"
#include "controls/richtext/RichTextOleCallback.h"
#include "host/PointerBrowsing.h"
#include "controls/richtext/RichTextEditing.h"
#include "controls/richtext/RichTextSelection.h"
#include "host/SystemWindowControl.h"

class RichTextBox
    : public Host::SystemWindowControl<Host::OleInPlaceActiveObjectVBDefaults,
                                       Host::OleControlVBDefaults, Host::PointerBrowsing,
                                       Host::ObjectSafetyReportsSafe>,
      private RichTextOleEvents {
public:
    static constexpr wchar_t kTypeName[] = L"RichTextBox";
    static constexpr DISPID kDispIdTextRTF = 0x6803001A;
    static constexpr DISPID kDispIdScrollBars = 0x68030029;
    static constexpr DISPID kDispIdLocked = 0x6803002F;
    static constexpr DISPID kDispIdMousePointer = 0x68030036;
    // The General property page (controls/richtext/page/PPRichTextBoxGeneral).
    static constexpr CLSID kGeneralPage = {
        0x3f6b8e21, 0x7c4d, 0x4a19, {0xb2, 0x5e, 0x0d, 0x81, 0x6a, 0x93, 0xc4, 0x17}};

    // --- the control's life --------------------------------------------------------------
    // Destroys the rich edit window; the control stays without one.
    void IDEStop();
    // hWnd: the rich edit window; hWndUserControl: the control's own.
    HWND RichEditHandle() const { return hWnd(); }

    // --- look ----------------------------------------------------------------------------
    bool Border() const { return PropBorder; }
    void SetBorder(bool value);
    OLE_COLOR BackColor() const { return PropBackColor; }
    void SetBackColor(OLE_COLOR color);
    // Settles the reading order (RightToLeftMode) and re-creates the window in it.
    void SetRightToLeft(bool value) override;

    // --- behaviour -------------------------------------------------------------------------
    bool OLEDragDrop() const { return PropOLEDragDrop; }
    void SetOLEDragDrop(bool value);
    // The user may scroll, select and copy, but not change the text.
    bool Locked() const;
    void SetLocked(bool value);
    bool HideSelection() const { return PropHideSelection; }
    void SetHideSelection(bool value);
    // The character shown for each one typed; empty for none. Ignored while
    // UseSystemPasswordChar is set.
    std::wstring PasswordChar() const;
    void SetPasswordChar(const std::wstring& value);
    bool UseSystemPasswordChar() const { return PropUseSystemPasswordChar; }
    void SetUseSystemPasswordChar(bool value);
    // Several lines; error 382 when set at run time.
    bool MultiLine() const { return PropMultiLine; }
    void SetMultiLine(bool value);
    // Characters the user may type; 0 the window's default. Loads are never cut by it.
    int32_t MaxLength() const { return PropMaxLength; }
    void SetMaxLength(int32_t value);
    // 0 none, 1 horizontal, 2 vertical, 3 both; error 380 otherwise. Changing it re-creates
    // the window, keeping content, selection and the scroll position of each axis that
    // keeps its bar.
    int32_t ScrollBars() const { return PropScrollBars; }
    void SetScrollBars(int32_t value);
    bool WantReturn() const { return PropWantReturn; }
    void SetWantReturn(bool value);
    // Scroll bars shown disabled when not needed; error 382 when set at run time.
    bool DisableNoScroll() const { return PropDisableNoScroll; }
    void SetDisableNoScroll(bool value);
    bool AutoURLDetect() const;
    void SetAutoURLDetect(bool value);
    // In the container's size units.
    float BulletIndent() const;
    void SetBulletIndent(float value);
    bool SelectionBar() const { return PropSelectionBar; }
    void SetSelectionBar(bool value);
    // 0 rich text, 1 plain text; changing it empties the control (the same value changes
    // nothing).
    int32_t TextMode() const;
    void SetTextMode(int32_t value);
    int32_t UndoLimit() const { return PropUndoLimit; }
    void SetUndoLimit(int32_t value);
    // 0 to 10.
    int32_t IMEMode() const { return PropIMEMode; }
    void SetIMEMode(int32_t value);
    bool AllowOverType() const { return PropAllowOverType; }
    void SetAllowOverType(bool value);
    bool OverTypeMode() const { return PropOverTypeMode; }
    void SetOverTypeMode(bool value);

    // --- content ---------------------------------------------------------------------------
    // The whole content as plain Unicode text.
    std::wstring Text() const;
    void SetText(const std::wstring& text);
    // The whole content as Rich Text Format; assigning replaces it. Also the default member.
    std::wstring TextRTF() const;
    void SetTextRTF(const std::wstring& rtf);
    // The selected text; assigning replaces the selection (undoably).
    std::wstring SelText() const;
    void SetSelText(const std::wstring& text);
    // The selection as RTF; assigning replaces the selection with the document.
    std::wstring SelRTF() const;
    void SetSelRTF(const std::wstring& rtf);
    // Format 0 RTF, 1 ANSI text, 2 Unicode text (UTF-16LE; loading needs a byte-order mark).
    // Error 75 when the file is missing or cannot be read or written; while designing a
    // message box instead. A save replaces the file only when the whole content was written.
    void LoadFile(const std::wstring& fileName, std::optional<int32_t> format = {},
                  std::optional<bool> selectionOnly = {});
    void SaveFile(const std::wstring& fileName, std::optional<int32_t> format = {},
                  std::optional<bool> selectionOnly = {});
    // The file loaded while designing; assigning loads it in the format its first bytes
    // announce (RTF only in rich-text mode), empty clears the content.
    std::wstring FileName() const { return PropFileName; }
    void SetFileName(const std::wstring& fileName);

    // --- embedded objects -----------------------------------------------------------------------
    // The window's IRichEditOle; none without a window.
    ComPtr<IUnknown> GetOLEInterface() const;
    int32_t OLEObjectsCount() const;
    // Inserts an object (its IOleObject) at the selection.
    void OLEObjectsAdd(ComPtr<IUnknown> object);
    // Inserts an object made from a file, embedded or linked; error 53 when it is missing.
    void OLEObjectsAddFromFile(const std::wstring& fileName, bool linkToFile);
    // Inserts a bitmap or (enhanced) metafile picture as a static object; error 380 for
    // another picture, 461 for a format other than 2, 3, 8 or 14 or one that does not fit.
    void OLEObjectsAddFromPicture(ComPtr<IPictureDisp> picture, std::optional<int32_t> format = {});
    // The object at a position in the list, or at character position CharPos for an index of
    // -2; a reference the caller owns; none when there is no such object.
    ComPtr<IUnknown> OLEObjectsGet(int32_t indexObj, std::optional<int32_t> charPos = {}) const;
    // --- the selection and its formatting (RichTextSelection) -----------------------------
    // Attributes read Null where they differ across the selection, Empty without a window.
    int32_t SelStart() const { return RichTextSelection::SelStart(hWnd()); }
    void SetSelStart(int32_t v) { RichTextSelection::SetSelStart(hWnd(), v); }
    int32_t SelLength() const { return RichTextSelection::SelLength(hWnd()); }
    void SetSelLength(int32_t v) { RichTextSelection::SetSelLength(hWnd(), v); }
    Host::Variant SelBold() const { return RichTextSelection::Effect(hWnd(), CFM_BOLD); }
    void SetSelBold(const Host::Variant& v) { RichTextSelection::SetEffect(hWnd(), CFM_BOLD, v); }
    Host::Variant SelItalic() const { return RichTextSelection::Effect(hWnd(), CFM_ITALIC); }
    void SetSelItalic(const Host::Variant& v) {
        RichTextSelection::SetEffect(hWnd(), CFM_ITALIC, v);
    }
    Host::Variant SelStrikethru() const { return RichTextSelection::Effect(hWnd(), CFM_STRIKEOUT); }
    void SetSelStrikethru(const Host::Variant& v) {
        RichTextSelection::SetEffect(hWnd(), CFM_STRIKEOUT, v);
    }
    Host::Variant SelUnderline() const { return RichTextSelection::Effect(hWnd(), CFM_UNDERLINE); }
    void SetSelUnderline(const Host::Variant& v) {
        RichTextSelection::SetEffect(hWnd(), CFM_UNDERLINE, v);
    }
    Host::Variant SelProtected() const { return RichTextSelection::Effect(hWnd(), CFM_PROTECTED); }
    void SetSelProtected(const Host::Variant& v) {
        RichTextSelection::SetEffect(hWnd(), CFM_PROTECTED, v);
    }
    Host::Variant SelVisible() const { return RichTextSelection::Visible(hWnd()); }
    void SetSelVisible(const Host::Variant& v) { RichTextSelection::SetVisible(hWnd(), v); }
    Host::Variant SelCharOffset() const { return RichTextSelection::CharOffset(hWnd(), Site()); }
    void SetSelCharOffset(const Host::Variant& v) {
        RichTextSelection::SetCharOffset(hWnd(), Site(), v);
    }
    Host::Variant SelColor() const { return RichTextSelection::Color(hWnd(), CFM_COLOR); }
    void SetSelColor(const Host::Variant& v) { RichTextSelection::SetColor(hWnd(), CFM_COLOR, v); }
    Host::Variant SelBkColor() const { return RichTextSelection::Color(hWnd(), CFM_BACKCOLOR); }
    void SetSelBkColor(const Host::Variant& v) {
        RichTextSelection::SetColor(hWnd(), CFM_BACKCOLOR, v);
    }
    Host::Variant SelFontName() const { return RichTextSelection::FontName(hWnd()); }
    void SetSelFontName(const Host::Variant& v) { RichTextSelection::SetFontName(hWnd(), v); }
    // Points.
    Host::Variant SelFontSize() const { return RichTextSelection::FontSize(hWnd()); }
    void SetSelFontSize(const Host::Variant& v) { RichTextSelection::SetFontSize(hWnd(), v); }
    Host::Variant SelFontCharset() const { return RichTextSelection::FontCharset(hWnd()); }
    void SetSelFontCharset(const Host::Variant& v) { RichTextSelection::SetFontCharset(hWnd(), v); }
    // 0 left, 1 right, 2 centre, 3 justified.
    Host::Variant SelAlignment() const { return RichTextSelection::Alignment(hWnd()); }
    void SetSelAlignment(const Host::Variant& v) { RichTextSelection::SetAlignment(hWnd(), v); }
    // Bullets indented by BulletIndent.
    Host::Variant SelBullet() const { return RichTextSelection::Bullet(hWnd()); }
    void SetSelBullet(const Host::Variant& v) {
        RichTextSelection::SetBullet(hWnd(), Site(), PropBulletIndent, v);
    }
    Host::Variant SelIndent() const {
        return RichTextSelection::Indent(hWnd(), Site(), PFM_STARTINDENT);
    }
    void SetSelIndent(const Host::Variant& v) {
        RichTextSelection::SetIndent(hWnd(), Site(), PFM_STARTINDENT, v);
    }
    Host::Variant SelRightIndent() const {
        return RichTextSelection::Indent(hWnd(), Site(), PFM_RIGHTINDENT);
    }
    void SetSelRightIndent(const Host::Variant& v) {
        RichTextSelection::SetIndent(hWnd(), Site(), PFM_RIGHTINDENT, v);
    }
    Host::Variant SelHangingIndent() const {
        return RichTextSelection::Indent(hWnd(), Site(), PFM_OFFSET);
    }
    void SetSelHangingIndent(const Host::Variant& v) {
        RichTextSelection::SetIndent(hWnd(), Site(), PFM_OFFSET, v);
    }
    // 0 to 32 tab stops; SelTabs(Element) is one of them (error 381 for any other index).
    Host::Variant SelTabCount() const { return RichTextSelection::TabCount(hWnd()); }
    void SetSelTabCount(const Host::Variant& v) { RichTextSelection::SetTabCount(hWnd(), v); }
    Host::Variant SelTabs(int16_t element) const {
        return RichTextSelection::Tab(hWnd(), Site(), element);
    }
    void SetSelTabs(int16_t element, const Host::Variant& v) {
        RichTextSelection::SetTab(hWnd(), Site(), element, v);
    }

    // --- printing (RichTextPrint) ------------------------------------------------------------
    // Prints onto a device context: a printer page by page (inside a document of DocName the
    // control opens and closes unless CallStartEndDoc is false), any other context in one
    // rendering. Margins in twips, an inch when omitted. Error 482 when the document cannot
    // be started. SelPrint prints the whole text when nothing is selected.
    void PrintDoc(HDC hDC, std::optional<bool> callStartEndDoc = {},
                  std::optional<std::wstring> docName = {}, std::optional<int32_t> leftMargin = {},
                  std::optional<int32_t> topMargin = {}, std::optional<int32_t> rightMargin = {},
                  std::optional<int32_t> bottomMargin = {});
    void SelPrint(HDC hDC, std::optional<bool> callStartEndDoc = {},
                  std::optional<std::wstring> docName = {}, std::optional<int32_t> leftMargin = {},
                  std::optional<int32_t> topMargin = {}, std::optional<int32_t> rightMargin = {},
                  std::optional<int32_t> bottomMargin = {});

    // --- editing (RichTextEditing) --------------------------------------------------------
    void Copy() { RichTextEditing::Send(hWnd(), WM_COPY); }
    void Cut() { RichTextEditing::Send(hWnd(), WM_CUT); }
    void Paste() { RichTextEditing::Send(hWnd(), WM_PASTE); }
    // Whether the clipboard holds anything the window can paste.
    bool CanPaste() const { return RichTextEditing::Send(hWnd(), EM_CANPASTE) != 0; }
    void PasteSpecial(int32_t clipboardFormat) {
        RichTextEditing::Send(hWnd(), EM_PASTESPECIAL, static_cast<UINT>(clipboardFormat));
    }
    void Clear() { RichTextEditing::Send(hWnd(), WM_CLEAR); }
    void Undo() { RichTextEditing::Send(hWnd(), EM_UNDO); }
    // What the next undo (redo) undoes: 0 unknown, 1 typing, 2 delete, 3 drag and drop,
    // 4 cut, 5 paste, 6 automatic table.
    int32_t UndoType() const {
        return static_cast<int32_t>(RichTextEditing::Send(hWnd(), EM_GETUNDONAME));
    }
    bool CanUndo() const { return RichTextEditing::Send(hWnd(), EM_CANUNDO) != 0; }
    // Ends the undo step of the typing so far.
    void StopUndoAction() { RichTextEditing::Send(hWnd(), EM_STOPGROUPTYPING); }
    void ResetUndoQueue() { RichTextEditing::Send(hWnd(), EM_EMPTYUNDOBUFFER); }
    void Redo() { RichTextEditing::Send(hWnd(), EM_REDO); }
    int32_t RedoType() const {
        return static_cast<int32_t>(RichTextEditing::Send(hWnd(), EM_GETREDONAME));
    }
    bool CanRedo() const { return RichTextEditing::Send(hWnd(), EM_CANREDO) != 0; }
    bool Modified() const { return RichTextEditing::Send(hWnd(), EM_GETMODIFY) != 0; }
    void SetModified(bool value) { RichTextEditing::Send(hWnd(), EM_SETMODIFY, value ? 1 : 0); }
    // The SEL_* flags of the selection.
    int16_t GetSelType() const {
        return static_cast<int16_t>(RichTextEditing::Send(hWnd(), EM_SELECTIONTYPE));
    }
    int32_t GetLineCount() const {
        return static_cast<int32_t>(RichTextEditing::Send(hWnd(), EM_GETLINECOUNT));
    }
    void ScrollToCaret() { RichTextEditing::Send(hWnd(), EM_SCROLLCARET); }
    // Options: 2 whole words, 4 match case, 8 leave the selection alone. End -1 (the
    // default) searches to the end.
    int32_t Find(const std::wstring& text, std::optional<int32_t> start = {},
                 std::optional<int32_t> end = {}, std::optional<int32_t> options = {}) {
        return RichTextEditing::Find(hWnd(), text, start.value_or(0), end.value_or(-1),
                                     options.value_or(0));
    }
    // Lines count from 1; 0 is the caret's line.
    std::wstring GetLine(int32_t lineNumber) const {
        return RichTextEditing::GetLine(hWnd(), lineNumber);
    }
    void ScrollToLine(int32_t lineNumber) { RichTextEditing::ScrollToLine(hWnd(), lineNumber); }
    int32_t GetLineFromChar(int32_t charIndex) const {
        return RichTextEditing::GetLineFromChar(hWnd(), charIndex);
    }
    int32_t CharFromPos(float x, float y) const {
        return RichTextEditing::CharFromPos(hWnd(), Site(), x, y);
    }
    // In the container's size units; 65535 or -1 lets the font decide.
    float LeftMargin() const { return RichTextEditing::Margin(hWnd(), Site(), false); }
    void SetLeftMargin(float v) { RichTextEditing::SetMargin(hWnd(), Site(), false, v); }
    float RightMargin() const { return RichTextEditing::Margin(hWnd(), Site(), true); }
    void SetRightMargin(float v) { RichTextEditing::SetMargin(hWnd(), Site(), true, v); }
    double ZoomFactor() const { return RichTextEditing::Zoom(hWnd()); }
    void SetZoomFactor(double v) { RichTextEditing::SetZoom(hWnd(), Site(), v); }

    // --- host ----------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    std::span<const CLSID> PropertyPages() const override { return {&kGeneralPage, 1}; }
    void Initialize() override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void Terminate() override;

    void OLEStartDrag(Host::DataObject& data, int32_t& allowedEffects) override;

    // --- keyboard ------------------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(VARIANT_BOOL* handled, LONG* retVal, LONG wMsg,
                                                   LONG_PTR wParam, LONG_PTR lParam,
                                                   LONG shift) override;
    HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* handled, USHORT* accelCount,
                                             HACCEL* accelTable, DWORD* flags) override;

    // --- property browsing -----------------------------------------------------------------
    DISPID BrowsedPointerDispId() const override { return kDispIdMousePointer; }
    int16_t BrowsedPointer() const override { return PropMousePointer; }

private:
    Host::WindowShape DescribeWindow() override;
    void WindowCreated() override;
    std::function<void()> KeepWindowState() override;
    void WindowClosing() override;
    void WindowDestroyed() override;
    LRESULT SystemWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT UserControlWindowMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The rich edit window's messages (RichTextBoxEvents.cpp): those handled before the
    // window's own procedure, which may answer them (true) ...
    bool BeforeRichEdit(UINT msg, WPARAM& wParam, LPARAM lParam, LRESULT& result);
    // ... and those looked at after it.
    void AfterRichEdit(UINT msg, WPARAM wParam, LPARAM lParam);
    bool KeyMessage(UINT msg, WPARAM& wParam, LRESULT& result);
    bool CharMessage(WPARAM& wParam, LRESULT& result);
    void DeliverChar(uint32_t code, LPARAM lParam);
    bool ContextMenuMessage(LPARAM lParam);
    bool MouseActivate(LPARAM lParam, LRESULT& result);
    LRESULT PaintThemedBorder(WPARAM region, LRESULT passedOn);
    void MouseMoveMessage(WPARAM wParam, LPARAM lParam);
    void MouseButtonMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void MouseLeaveMessage();
    bool NotifyMessage(const NMHDR& header, LRESULT& result);
    void CommandMessage(WPARAM wParam, LPARAM lParam);
    // The themed border is drawn by the control: border, visual styles on and active.
    bool ThemedBorder() const;
    void RepaintFrame() const;
    void ApplyIMEMode() const;
    // The control becomes the frame's active object while its window has the focus.
    void ActivateInPlace();
    void DeactivateInPlace();

    // RichTextOleEvents: the callback object's questions as events.
    void OnDeleteObject(IOleObject* object) override;
    void OnStartDrag(int32_t& allowedEffects) override;
    void OnGetDropEffect(int32_t& effect, DWORD keyState, POINT screen) override;
    HMENU OnGetContextMenu(WORD selectionType, IOleObject* object, const CHARRANGE& range) override;

    bool DesignMode() const { return Designing(); }
    // The content's stream format: Unicode text in plain-text mode, else RTF.
    DWORD ContentFormat() const;
    // A new document shows its top, the caret first.
    void ShowFromTop();
    // Runs a file operation; while designing, error 75 becomes its message box.
    template <class Body>
    void FileOperation(Body&& body);

    bool libraryHeld_ = false;
    bool PropOLEDragDrop = true;
    bool PropBorder = true;
    OLE_COLOR PropBackColor = 0x80000005;
    bool PropLocked = false;
    bool PropHideSelection = true;
    wchar_t PropPasswordChar = 0;
    bool PropUseSystemPasswordChar = false;
    bool PropMultiLine = true;
    int32_t PropMaxLength = 0;
    int32_t PropScrollBars = 0;
    bool PropWantReturn = true;
    bool PropDisableNoScroll = false;
    bool PropAutoURLDetect = true;
    int32_t PropBulletIndent = 0;  // pixels
    bool PropSelectionBar = false;
    std::wstring PropFileName;
    int32_t PropTextMode = 0;
    int32_t PropUndoLimit = 100;
    int32_t PropIMEMode = 0;
    bool PropAllowOverType = true;
    bool PropOverTypeMode = false;
    // The content a layout carries, until the window takes it.
    std::wstring pendingContent_;

    // What lives with the window.
    ComPtr<RichTextOleCallback> oleCallback_;  // the window's; kept to cut it loose
    RichTextIme::OwnContext imeContext_;
    ComPtr<IOleInPlaceUIWindow> activeFrame_, activeDocument_;

    // Message state.
    bool hasFocus_ = false;
    bool mouseOverBorder_ = false;  // the hot border
    bool mouseOverTrack_ = false;   // MouseEnter was raised
    bool buttonDown_ = false;
    int32_t pendingKeyChar_ = 0;
    bool inMouseActivate_ = false;

    // A picture being inserted (through the host's drag start) and its format.
    ComPtr<IPicture> pendingPicture_;
    CLIPFORMAT pendingFormat_ = 0;
};
