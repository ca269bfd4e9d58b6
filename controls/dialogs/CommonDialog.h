// CommonDialog: the system's open, save, colour, font, print, page-setup, help, folder and
// find/replace dialogs behind properties and Show... methods.
//
// The caller fills properties, calls a method, and reads the results back from the same
// properties. Failures, and cancellation when CancelError is set, are thrown as ControlError
// with fixed numbers and texts. With HookEvents the object hooks the dialog and raises its
// notifications as events (InitDialog, FileValidate, ...), whose by-reference arguments the
// handlers may change. The focus is given back to where it was before each event when a
// handler moved it.
//
// The object has no window. It can live on a form as an invisible control (type name
// "CommonDialog"; its events go to the form's handlers), or stand alone, its events going to its
// own event source (Events()).
//
// Hooks reach the object through ISubclass::Message: reference codes below 1 come from a
// dialog hook (the table below), 1 or more from the owner window's subclass (the dialog kind:
// help requests, and the modeless find/replace dialog's notifications).
//   kind  hook                       window property holding the object
//    -1   open, explorer style       ComCtlsCdlOFN1CallbackProcCustData
//  -1001  open, old style            ComCtlsCdlOFN1CallbackProcOldStyleCustData
//    -2   save, explorer style       ComCtlsCdlOFN2CallbackProcCustData
//  -1002  save, old style            ComCtlsCdlOFN2CallbackProcOldStyleCustData
//    -3   colour                     ComCtlsCdlCCCallbackProcCustData
//    -4   font                       ComCtlsCdlCFCallbackProcCustData
//    -5   print (WM_INITDIALOG only) none
//    -7   page setup                 ComCtlsCdlPSDCallbackProcCustData
//    -8   folder browser callback    none (the callback's own data)
//    -9   find                       ComCtlsCdlFR9CallbackProcCustData
//   -10   replace                    ComCtlsCdlFR10CallbackProcCustData
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "controls/base/ComObject.h"
#include "controls/base/Handles.h"
#include "controls/base/ISubclass.h"
#include "controls/base/Variant.h"
#include "host/ControlDescription.h"
#include "host/Events.h"
#include "host/HostedControl.h"

// Its ISubclass is the object's own, not the host's framework object: the hooks and the
// owner's subclass need it also when the object is not sited. The C++ owner decides its life.
class CommonDialog : public Host::HostedControl,
                     public UnownedComObject<Also<ISubclass, IDispatch>> {
public:
    static constexpr wchar_t kTypeName[] = L"CommonDialog";

    // Event identifiers, in declaration order.
    enum EventId : DISPID {
        kEventInitDialog = 1,      // (kind As Integer, hDlg As Long)
        kEventHelp,                // (Handled As Boolean ByRef, kind As Integer, hDlg As Long)
        kEventFileShareViolation,  // (FileName As String, Reply As Long ByRef, hDlg As Long)
        kEventFileValidate,        // (FileName, FileTitle As String, FileOffset As Integer,
                                   //  Cancel As Boolean ByRef, hDlg As Long)
        kEventColorValidate,       // (Color As Long ByRef, Cancel As Boolean ByRef, hDlg As Long)
        kEventFontApply,           // (Flags As Long, Name As String, Size As Single, Bold, Italic,
                                   //  Strikethru, Underline As Boolean, Charset As Integer,
                                   //  Color As Long, hDlg As Long)
        kEventFolderBrowserValidateFailed,  // (Name As String, Cancel As Boolean ByRef,
                                            //  hDlg As Long)
        kEventFindNext,
        kEventReplace,
        kEventReplaceAll,
    };

    CommonDialog();
    ~CommonDialog() override;

    // Where the events go while the object is not sited on a form (a dialog made by code).
    Host::EventSource& Events() { return events_; }

    // --- shared properties ---------------------------------------------------------------
    // The object itself: the form's object for it when sited.
    ComPtr<IDispatch> Object() const;
    bool CancelError() const { return PropCancelError; }
    void SetCancelError(bool value) { PropCancelError = value; }
    bool HookEvents() const { return PropHookEvents; }
    void SetHookEvents(bool value) { PropHookEvents = value; }
    const std::wstring& Tag() const { return PropTag; }
    void SetTag(const std::wstring& value) { PropTag = value; }
    // The printer device context of the last print dialog that returned one; the object owns
    // it. Read-only (383).
    HDC hDC() const { return PropHDC.Get(); }
    int32_t Flags() const { return PropFlags; }
    void SetFlags(int32_t value) { PropFlags = value; }
    const std::wstring& DialogTitle() const { return PropDialogTitle; }
    void SetDialogTitle(const std::wstring& value) { PropDialogTitle = value; }

    // --- file dialogs --------------------------------------------------------------------
    int32_t MaxFileSize() const { return PropMaxFileSize; }
    void SetMaxFileSize(int32_t value);  // >= 1
    const std::wstring& FileName() const { return PropFileName; }
    void SetFileName(const std::wstring& value) { PropFileName = value; }
    const std::wstring& FileTitle() const { return PropFileTitle; }  // read-only (383)
    int16_t FileOffset() const { return PropFileOffset; }            // read-only (383)
    const std::wstring& Filter() const { return PropFilter; }
    void SetFilter(const std::wstring& value) { PropFilter = value; }
    int32_t FilterIndex() const { return PropFilterIndex; }
    void SetFilterIndex(int32_t value);  // >= 0
    const std::wstring& InitDir() const { return PropInitDir; }
    void SetInitDir(const std::wstring& value) { PropInitDir = value; }
    const std::wstring& DefaultExt() const { return PropDefaultExt; }
    void SetDefaultExt(const std::wstring& value) { PropDefaultExt = value; }

    // --- colour and font -----------------------------------------------------------------
    OLE_COLOR Color() const { return PropColor; }
    void SetColor(OLE_COLOR value) { PropColor = value; }
    const std::wstring& FontName() const { return PropFontName; }
    void SetFontName(const std::wstring& value) { PropFontName = value; }
    float FontSize() const { return PropFontSize; }
    void SetFontSize(float value);  // 0 to 32767 points
    bool FontBold() const { return PropFontBold; }
    void SetFontBold(bool value) { PropFontBold = value; }
    bool FontItalic() const { return PropFontItalic; }
    void SetFontItalic(bool value) { PropFontItalic = value; }
    bool FontStrikethru() const { return PropFontStrikethru; }
    void SetFontStrikethru(bool value) { PropFontStrikethru = value; }
    bool FontUnderline() const { return PropFontUnderline; }
    void SetFontUnderline(bool value) { PropFontUnderline = value; }
    int16_t FontCharset() const { return PropFontCharset; }
    void SetFontCharset(int16_t value) { PropFontCharset = value; }
    // Font sizes for the font dialog, page numbers for the print dialogs: 0 to 65535 (the
    // print dialogs keep them in 16 bits).
    int32_t Min() const { return PropMin; }
    void SetMin(int32_t value);
    int32_t Max() const { return PropMax; }
    void SetMax(int32_t value);
    int32_t FromPage() const { return PropFromPage; }
    void SetFromPage(int32_t value);
    int32_t ToPage() const { return PropToPage; }
    void SetToPage(int32_t value);

    // --- printer ---------------------------------------------------------------------------
    // Until one of these six is set (or a dialog returns it), the printer's own value applies.
    int32_t Orientation() const { return PropOrientation; }
    void SetOrientation(int32_t value);  // 1 portrait, 2 landscape
    int32_t PaperSize() const { return PropPaperSize; }
    void SetPaperSize(int32_t value);  // 1 to 32767
    int32_t PaperBin() const { return PropPaperBin; }
    void SetPaperBin(int32_t value);  // 1 to 32767
    int32_t PrintQuality() const { return PropPrintQuality; }
    void SetPrintQuality(int32_t value);  // -4 to -1, or 0 to 32767
    int32_t ColorMode() const { return PropColorMode; }
    void SetColorMode(int32_t value);  // 1 monochrome, 2 colour
    int32_t Duplex() const { return PropDuplex; }
    void SetDuplex(int32_t value);  // 1 to 3
    int16_t Copies() const { return PropCopies; }
    void SetCopies(int16_t value);  // >= 1
    // Whether a printer chosen in the print dialog becomes the system's default printer.
    bool PrinterDefault() const { return PropPrinterDefault; }
    void SetPrinterDefault(bool value) { PropPrinterDefault = value; }
    // Whether the print dialogs open on the default printer rather than the named one.
    bool PrinterDefaultInit() const { return PropPrinterDefaultInit; }
    void SetPrinterDefaultInit(bool value) { PropPrinterDefaultInit = value; }
    const std::wstring& PrinterDriver() const { return PropPrinterDriver; }
    void SetPrinterDriver(const std::wstring& value) { PropPrinterDriver = value; }
    const std::wstring& PrinterName() const { return PropPrinterName; }
    void SetPrinterName(const std::wstring& value) { PropPrinterName = value; }
    const std::wstring& PrinterPort() const { return PropPrinterPort; }
    void SetPrinterPort(const std::wstring& value) { PropPrinterPort = value; }
    // Page margins, left, top, right, bottom, and the four minimum margins (>= 0).
    enum Margin { kLeft, kTop, kRight, kBottom, kLeftMin, kTopMin, kRightMin, kBottomMin };
    int32_t PageMargin(Margin which) const { return PropPageMargins[which]; }
    void SetPageMargin(Margin which, int32_t value);
    template <Margin M>
    int32_t PageMarginOf() const {
        return PageMargin(M);
    }
    template <Margin M>
    void SetPageMarginOf(int32_t value) {
        SetPageMargin(M, value);
    }

    // --- help, folder, find --------------------------------------------------------------
    const std::wstring& HelpFile() const { return PropHelpFile; }
    void SetHelpFile(const std::wstring& value) { PropHelpFile = value; }
    int32_t HelpCommand() const { return PropHelpCommand; }
    void SetHelpCommand(int32_t value);  // 0 to 5, 8, 9, 257, 258 or 261
    int32_t HelpContext() const { return PropHelpContext; }
    void SetHelpContext(int32_t value) { PropHelpContext = value; }
    const std::wstring& HelpKey() const { return PropHelpKey; }
    void SetHelpKey(const std::wstring& value) { PropHelpKey = value; }
    // Empty (the desktop), a number (a shell folder identifier, CSIDL_...) or a path.
    const ::Variant& RootFolder() const { return PropRootFolder; }
    void SetRootFolder(const ::Variant& value);
    const std::wstring& FindWhat() const { return PropFindWhat; }
    void SetFindWhat(const std::wstring& value) { PropFindWhat = value; }
    const std::wstring& ReplaceWith() const { return PropReplaceWith; }
    void SetReplaceWith(const std::wstring& value) { PropReplaceWith = value; }

    // --- methods ---------------------------------------------------------------------------
    // True when the user confirmed; false when cancelled without CancelError.
    bool ShowOpen();
    bool ShowSave();
    bool ShowColor();
    bool ShowFont();
    bool ShowPrinter();
    bool ShowPrinterEx();
    bool ShowPageSetup();
    bool ShowFolderBrowser();
    void ShowHelp();
    // Modeless: the dialog's window, or 0 when one of this object's is open already.
    HWND ShowFind();
    HWND ShowReplace();
    // The window of the open find/replace dialog; 0 when none is.
    HWND FindDialog() const { return findDialog_; }
    // Runs a dialog: 1 open, 2 save, 3 colour, 4 font, 5 printer, 6 help, 7 page setup,
    // 8 folder, 9 find, 10 replace. Reading Action raises 394.
    void SetAction(int16_t action);

    // --- host ------------------------------------------------------------------------------
    Host::SiteKind Kind() const override { return Host::SiteKind::Windowless; }
    bool CanGetFocus() const override { return false; }
    bool HitTest(int, int) override { return false; }
    // Members and events for late-bound callers (the properties, the methods, Action
    // write-only); nothing is persisted.
    const Host::ControlDescription& Describe() const override;

    // --- ISubclass -------------------------------------------------------------------------
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    LRESULT STDMETHODCALLTYPE Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                      DWORD_PTR dwRefData) override;

private:
    struct FindState;
    struct PrinterResult;
    class HelpRoute;
    friend class HelpRoute;

    bool ShowFileDialog(int16_t kind);
    LRESULT FileHook(HWND hWnd, UINT wMsg, LPARAM lParam, int16_t kind, bool explorer);
    LRESULT ColorHook(HWND hWnd, UINT wMsg, LPARAM lParam);
    LRESULT FontHook(HWND hWnd, UINT wMsg, WPARAM wParam);
    LRESULT FolderCallback(HWND hWnd, UINT wMsg, LPARAM lParam);
    LRESULT OwnerMessage(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam, DWORD_PTR kind);
    HWND ShowFindReplace(int16_t kind);
    void EndFindReplace();
    void RaiseFileValidate(HWND hWnd, const OPENFILENAMEW& ofn, bool& cancel);
    // Raises an event and gives the focus back to where it was before it.
    void RaiseEvent(std::wstring_view name, DISPID id, std::span<Host::EventArg> args);
    template <class... A>
    void RaiseEvent(std::wstring_view name, DISPID id, A... args) {
        std::array<Host::EventArg, sizeof...(A)> list{args...};
        RaiseEvent(name, id, std::span<Host::EventArg>(list));
    }
    void SetPrinterField(DWORD field, int32_t& prop, int32_t value, bool valid);
    void BuildDeviceBlocks(DWORD fields, UniqueGlobal& devMode, UniqueGlobal& devNames) const;
    void TakePrinterResult(const PrinterResult& result, DWORD fields, bool names);
    UINT Registered(UINT& message, const wchar_t* name);

    bool PropCancelError = false;
    bool PropHookEvents = false;
    std::wstring PropTag;
    UniqueCreatedDC PropHDC;
    int32_t PropFlags = 0;
    std::wstring PropDialogTitle;
    int32_t PropMaxFileSize = 260;
    std::wstring PropFileName;
    std::wstring PropFileTitle;
    int16_t PropFileOffset = 0;
    std::wstring PropFilter;
    int32_t PropFilterIndex = 0;
    std::wstring PropInitDir;
    std::wstring PropDefaultExt;
    OLE_COLOR PropColor = 0;
    std::wstring PropFontName;
    float PropFontSize = 8;
    bool PropFontBold = false, PropFontItalic = false, PropFontStrikethru = false,
         PropFontUnderline = false;
    int16_t PropFontCharset = 0;
    int32_t PropMin = 0, PropMax = 0, PropFromPage = 0, PropToPage = 0;
    int32_t PropOrientation = DMORIENT_PORTRAIT;
    int32_t PropPaperSize;
    int16_t PropCopies = 1;
    int32_t PropPaperBin = DMBIN_AUTO;
    int32_t PropPrintQuality = DMRES_HIGH;
    int32_t PropColorMode = DMCOLOR_COLOR;
    int32_t PropDuplex = DMDUP_SIMPLEX;
    bool PropPrinterDefault = true;
    bool PropPrinterDefaultInit = true;
    std::wstring PropPrinterDriver, PropPrinterName, PropPrinterPort;
    std::wstring PropHelpFile;
    int32_t PropHelpCommand = 0;
    int32_t PropHelpContext = 0;
    std::wstring PropHelpKey;
    std::array<int32_t, 8> PropPageMargins{};
    ::Variant PropRootFolder;
    std::wstring PropFindWhat, PropReplaceWith;

    // Printer fields (DM_...) the caller has not set: left out of the device mode handed to
    // the system, so that the printer's own values apply.
    DWORD unsetPrinterFields_;
    std::array<COLORREF, 16> customColors_{};
    bool customColorsSet_ = false;
    UINT msgHelp_ = 0, msgShareViolation_ = 0, msgFileNameOK_ = 0, msgColorOK_ = 0,
         msgSetRGBColor_ = 0, msgFindReplace_ = 0;
    std::unique_ptr<FindState> find_;
    HWND findDialog_ = nullptr;
    Host::EventSource events_{std::wstring(kTypeName)};
};

namespace CommonDialogs::Testing {

// Stand-ins for the system's dialog functions; a null member keeps the system's own.
struct DialogFunctions {
    BOOL(WINAPI* getOpenFileName)(OPENFILENAMEW*) = nullptr;
    BOOL(WINAPI* getSaveFileName)(OPENFILENAMEW*) = nullptr;
    BOOL(WINAPI* chooseColor)(CHOOSECOLORW*) = nullptr;
    BOOL(WINAPI* chooseFont)(CHOOSEFONTW*) = nullptr;
    BOOL(WINAPI* printDlg)(PRINTDLGW*) = nullptr;
    HRESULT(WINAPI* printDlgEx)(PRINTDLGEXW*) = nullptr;
    BOOL(WINAPI* pageSetupDlg)(PAGESETUPDLGW*) = nullptr;
    HWND(WINAPI* findText)(FINDREPLACEW*) = nullptr;
    HWND(WINAPI* replaceText)(FINDREPLACEW*) = nullptr;
    DWORD(WINAPI* commDlgExtendedError)() = nullptr;
    PIDLIST_ABSOLUTE(WINAPI* browseForFolder)(BROWSEINFOW*) = nullptr;
    BOOL(WINAPI* winHelp)(HWND, LPCWSTR, UINT, ULONG_PTR) = nullptr;
    BOOL(WINAPI* getDefaultPrinter)(LPWSTR, LPDWORD) = nullptr;
    BOOL(WINAPI* setDefaultPrinter)(LPCWSTR) = nullptr;
};

// Replaces the system's functions (nullptr: the system's own again).
void SetDialogFunctions(const DialogFunctions* functions);

}  // namespace CommonDialogs::Testing
