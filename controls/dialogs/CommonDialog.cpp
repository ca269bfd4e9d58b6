#include "controls/dialogs/CommonDialog.h"

#include <cderr.h>
#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "controls/base/ComCtlsBase.h"
#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/ControlSite.h"

#ifdef __CRT_UUID_DECL
// The system headers give this interface no identifier for __uuidof.
__CRT_UUID_DECL(IPrintDialogCallback, 0x5852a2c3, 0x6530, 0x11d1, 0xb6, 0xa3, 0x00, 0x00, 0xf8,
                0x75, 0x7b, 0xf9)
#endif

namespace {

using ControlErrors::Raise;

const CommonDialogs::Testing::DialogFunctions* g_functions = nullptr;

// The system function, or its stand-in.
template <class F>
F Fn(F CommonDialogs::Testing::DialogFunctions::*member, F system) {
    return g_functions && g_functions->*member ? g_functions->*member : system;
}
#define CDLG_FN(member, system) Fn(&CommonDialogs::Testing::DialogFunctions::member, &system)

// Dialog kinds, as events and help report them.
constexpr int16_t kOpen = 1, kSave = 2, kColor = 3, kFont = 4, kPrint = 5, kPageSetup = 7,
                  kFolder = 8, kFind = 9, kReplace = 10;
// Hook reference codes of the old-style file dialogs.
constexpr LONG_PTR kOldStyle = 1000;

constexpr DWORD kAllPrinterFields =
    DM_ORIENTATION | DM_PAPERSIZE | DM_DEFAULTSOURCE | DM_PRINTQUALITY | DM_COLOR | DM_DUPLEX;
constexpr DWORD kPrintFields = kAllPrinterFields | DM_COPIES | DM_COLLATE;
constexpr DWORD kPageSetupFields = DM_ORIENTATION | DM_PAPERSIZE | DM_DEFAULTSOURCE;

constexpr wchar_t kUnexpected[] = L"Unexpected error.";
constexpr int kPageMax = 65535;  // the print dialogs keep page numbers in 16 bits

void Check(bool valid) {
    if (!valid) Raise(ControlErrors::kInvalidPropertyValue);
}

// The text of `buffer` up to its first NUL, at most `limit` characters.
std::wstring UpToNul(const wchar_t* buffer, size_t limit) {
    if (!buffer) return {};
    return std::wstring(buffer, std::find(buffer, buffer + limit, L'\0'));
}

// The text of a file buffer up to its first pair of NULs (a folder and the names chosen in
// it), at most `limit` characters.
std::wstring UpToDoubleNul(const wchar_t* buffer, size_t limit) {
    size_t n = 0;
    while (n < limit && !(buffer[n] == 0 && (n + 1 >= limit || buffer[n + 1] == 0)))
        ++n;
    return std::wstring(buffer, n);
}

// Copies `text` into a buffer of `size` characters, cut so that the terminator fits.
template <size_t N>
void CopyTerminated(wchar_t (&buffer)[N], const std::wstring& text) {
    const size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
}

// "Text|*.txt|All|*.*" as the dialog wants it: NUL separated, ended by two NULs.
std::wstring FilterText(const std::wstring& filter) {
    std::wstring text = filter;
    std::replace(text.begin(), text.end(), L'|', L'\0');
    while (text.size() < 2 || text[text.size() - 1] != 0 || text[text.size() - 2] != 0)
        text.push_back(L'\0');
    return text;
}

// The owner of every dialog: the active window, or the active child of an MDI frame.
HWND OwnerWindow() {
    HWND active = GetActiveWindow();
    if (!active) return nullptr;
    if (HWND client = FindWindowExW(active, nullptr, L"MDIClient", nullptr)) {
        if (auto child = reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)))
            return child;
    }
    return active;
}

// Window handles travel in events as 32-bit numbers (handles fit in 32 bits on 64-bit
// systems too).
Host::EventArg WindowArg(HWND hWnd) {
    return Host::EventArg::ByVal(static_cast<int32_t>(HandleToLong(hWnd)));
}

HINSTANCE ModuleInstance() {
    return GetModuleHandleW(nullptr);
}

// The failure of a dialog: 0 is cancellation (error 32755 with CancelError, else false);
// a listed code raises its error, any other "Unexpected error." under its own number.
struct FailureText {
    DWORD code;
    int32_t number;
    const wchar_t* text;
};

bool Failed(DWORD code, bool cancelError, std::span<const FailureText> table) {
    if (code == 0) {
        if (cancelError) Raise(ControlErrors::kCancelSelected);
        return false;
    }
    for (const FailureText& f : table)
        if (f.code == code) Raise(f.number, f.text);
    Raise(static_cast<int32_t>(code), kUnexpected);
}

constexpr FailureText kOpenFailures[] = {
    {FNERR_SUBCLASSFAILURE, 20478,
     L"An attempt to subclass a listbox failed due to insufficient memory."},
    {FNERR_INVALIDFILENAME, 20477, L"File name is invalid."},
    {FNERR_BUFFERTOOSMALL, 20476, L"The buffer at which the member LpstrFile points is too small."},
};
constexpr FailureText kSaveFailures[] = {
    {FNERR_SUBCLASSFAILURE, 20478,
     L"An attempt to subclass a list box failed due to insufficient memory."},
    {FNERR_INVALIDFILENAME, 20477, L"File name is invalid."},
    {FNERR_BUFFERTOOSMALL, 20476, L"The buffer at which the member lpstrFile points is too small."},
};
constexpr FailureText kFontFailures[] = {
    {CFERR_NOFONTS, 24574, L"No fonts exist."},
    {CFERR_MAXLESSTHANMIN, 24573,
     L"The size specified in the nSizeMax member is less than the size specified in the "
     L"nSizeMin member."},
};
constexpr FailureText kPrintFailures[] = {
    {PDERR_PARSEFAILURE, 28669, L"The PrintDlg function failed to parse the strings in WIN.INI."},
    {PDERR_RETDEFFAILURE, 28668, L"The PDReturnDefault flag was set, but a field was nonzero."},
    {PDERR_LOADDRVFAILURE, 28667,
     L"The PrintDlg function failed to load the specified printer's device driver."},
    {PDERR_GETDEVMODEFAIL, 28666,
     L"The printer-device driver failed to initialize a DevMode data structure."},
    {PDERR_INITFAILURE, 28665, L"The PrintDlg function failed during initialization."},
    {PDERR_NODEVICES, 28664, L"No printer device-drivers were found."},
    {PDERR_NODEFAULTPRN, 28663, L"A default printer does not exist."},
    {PDERR_DNDMMISMATCH, 28662,
     L"DevMode and DevNames data structures describe two different printers."},
    {PDERR_CREATEICFAILURE, 28661,
     L"The PrintDlg function failed when creating an information context."},
    {PDERR_PRINTERNOTFOUND, 28660,
     L"The [devices] section of WIN.INI does not contain an entry for the printer."},
};
constexpr FailureText kPageSetupFailures[] = {
    {PDERR_PARSEFAILURE, 28669,
     L"The PageSetupDlg function failed to parse the strings in WIN.INI."},
    {PDERR_RETDEFFAILURE, 28668, L"The PDReturnDefault flag was set, but a field was nonzero."},
    {PDERR_LOADDRVFAILURE, 28667,
     L"The PageSetupDlg function failed to load the specified printer's device driver."},
    {PDERR_GETDEVMODEFAIL, 28666,
     L"The printer-device driver failed to initialize a DevMode data structure."},
    {PDERR_INITFAILURE, 28665, L"The PageSetupDlg function failed during initialization."},
    {PDERR_NODEVICES, 28664, L"No printer device-drivers were found."},
    {PDERR_NODEFAULTPRN, 28663, L"A default printer does not exist."},
    {PDERR_DNDMMISMATCH, 28662,
     L"DevMode and DevNames data structures describe two different printers."},
    {PDERR_CREATEICFAILURE, 28661,
     L"The PageSetupDlg function failed when creating an information context."},
    {PDERR_PRINTERNOTFOUND, 28660,
     L"The [devices] section of WIN.INI does not contain an entry for the printer."},
};
constexpr FailureText kFindFailures[] = {
    {FRERR_BUFFERLENGTHZERO, 36848,
     L"The buffer at which the member LpstrFindWhat points is invalid."},
};
constexpr FailureText kReplaceFailures[] = {
    {FRERR_BUFFERLENGTHZERO, 36848,
     L"The buffer at which the member LpstrFindWhat and/or LpstrReplaceWith points is invalid."},
};

DWORD ExtendedError() {
    return CDLG_FN(commDlgExtendedError, CommDlgExtendedError)();
}

// ---- hook procedures ----------------------------------------------------------------------

// The object's callback interface, kept on the dialog window from WM_INITDIALOG on: the
// structure that WM_INITDIALOG points to carries it in its custom data.
template <class Structure, const wchar_t* Property, LONG_PTR Code>
UINT_PTR CALLBACK DialogHook(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    ISubclass* receiver = nullptr;
    if (msg == WM_INITDIALOG) {
        receiver = reinterpret_cast<ISubclass*>(reinterpret_cast<Structure*>(lParam)->lCustData);
        SetPropW(hDlg, Property, receiver);
    } else {
        receiver = static_cast<ISubclass*>(GetPropW(hDlg, Property));
    }
    if (!receiver) return 0;
    const LRESULT result =
        receiver->Message(hDlg, msg, wParam, lParam, static_cast<DWORD_PTR>(Code));
    if (msg == WM_DESTROY) RemovePropW(hDlg, Property);
    return static_cast<UINT_PTR>(result);
}

constexpr wchar_t kPropOpen[] = L"ComCtlsCdlOFN1CallbackProcCustData";
constexpr wchar_t kPropOpenOld[] = L"ComCtlsCdlOFN1CallbackProcOldStyleCustData";
constexpr wchar_t kPropSave[] = L"ComCtlsCdlOFN2CallbackProcCustData";
constexpr wchar_t kPropSaveOld[] = L"ComCtlsCdlOFN2CallbackProcOldStyleCustData";
constexpr wchar_t kPropColor[] = L"ComCtlsCdlCCCallbackProcCustData";
constexpr wchar_t kPropFont[] = L"ComCtlsCdlCFCallbackProcCustData";
constexpr wchar_t kPropPageSetup[] = L"ComCtlsCdlPSDCallbackProcCustData";
constexpr wchar_t kPropFind[] = L"ComCtlsCdlFR9CallbackProcCustData";
constexpr wchar_t kPropReplace[] = L"ComCtlsCdlFR10CallbackProcCustData";

constexpr LONG_PTR Ref(int16_t kind) {
    return -kind;
}

// The print dialog's hook sees only WM_INITDIALOG through to the object.
UINT_PTR CALLBACK PrintHook(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_INITDIALOG) return 0;
    auto* receiver = reinterpret_cast<ISubclass*>(reinterpret_cast<PRINTDLGW*>(lParam)->lCustData);
    return receiver ? static_cast<UINT_PTR>(receiver->Message(hDlg, msg, wParam, lParam,
                                                              static_cast<DWORD_PTR>(Ref(kPrint))))
                    : 0;
}

int CALLBACK FolderCallbackProc(HWND hWnd, UINT msg, LPARAM lParam, LPARAM data) {
    auto* receiver = reinterpret_cast<ISubclass*>(data);
    return receiver ? static_cast<int>(receiver->Message(hWnd, msg, 0, lParam,
                                                         static_cast<DWORD_PTR>(Ref(kFolder))))
                    : 0;
}

// The property-sheet print dialog's callback: WM_INITDIALOG of its general page reaches the
// object as the print hook's does.
class PrintCallback final : public ComObject<IPrintDialogCallback> {
public:
    explicit PrintCallback(ISubclass* receiver) : receiver_(receiver) {}
    HRESULT STDMETHODCALLTYPE InitDone() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SelectionChange() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE HandleMessage(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam,
                                            LRESULT* result) override {
        if (msg != WM_INITDIALOG || !receiver_) return S_FALSE;
        const LRESULT r =
            receiver_->Message(hDlg, msg, wParam, lParam, static_cast<DWORD_PTR>(Ref(kPrint)));
        if (result) *result = r;
        return S_FALSE;  // the dialog goes on with its own handling
    }

private:
    ISubclass* receiver_;
};

// The path of a shell item list (at most MAX_PATH characters); empty when it has none.
std::wstring PathOfItem(PCIDLIST_ABSOLUTE item) {
    wchar_t path[MAX_PATH]{};
    if (!item || !SHGetPathFromIDListW(item, path)) return {};
    return UpToNul(path, MAX_PATH);
}

bool IsFolder(const std::wstring& path) {
    if (path.empty()) return false;
    try {
        return (Common::GetAttributesLong(path) &
                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
    } catch (const ControlError&) {
        return false;
    }
}

}  // namespace

// ---- help routing -------------------------------------------------------------------------

// While a modal dialog that offers help runs, the owner window is subclassed so that the
// dialog's help requests reach the object.
class CommonDialog::HelpRoute {
public:
    HelpRoute(CommonDialog& dialog, HWND owner, bool wanted, int16_t kind)
        : owner_(wanted ? owner : nullptr), prefix_(L"commdlg_help_" + std::to_wstring(kind)) {
        if (!wanted) return;
        dialog.Registered(dialog.msgHelp_, HELPMSGSTRINGW);
        ComCtlsBase::InstallSubclass(owner_, &dialog, static_cast<DWORD_PTR>(kind), prefix_);
    }
    ~HelpRoute() { ComCtlsBase::RemoveSubclass(owner_, prefix_); }
    HelpRoute(const HelpRoute&) = delete;
    HelpRoute& operator=(const HelpRoute&) = delete;

private:
    HWND owner_;
    std::wstring prefix_;
};

// The modeless find/replace dialog's structure and buffers: the dialog reads and writes
// them for as long as it lives.
struct CommonDialog::FindState {
    FINDREPLACEW fr{};
    // The dialog is told 256 and some systems take that as characters, others as bytes:
    // 256 characters hold either.
    wchar_t findWhat[256]{};
    wchar_t replaceWith[256]{};
    HWND owner = nullptr;
    std::wstring prefix;
};

// What the print dialogs hand back.
struct CommonDialog::PrinterResult {
    DWORD flags = 0;
    HGLOBAL devMode = nullptr;
    HGLOBAL devNames = nullptr;
    HDC hdc = nullptr;
    int32_t fromPage = 0, toPage = 0, minPage = 0, maxPage = 0;
};

// ---- object -------------------------------------------------------------------------------

CommonDialog::CommonDialog() : unsetPrinterFields_(kAllPrinterFields) {
    DWORD measure = 0;
    const bool known =
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IMEASURE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&measure), sizeof(measure) / sizeof(wchar_t)) != 0;
    PropPaperSize = known && measure == 0 ? DMPAPER_A4 : DMPAPER_LETTER;
}

CommonDialog::~CommonDialog() {
    if (!find_) return;
    if (IsWindow(findDialog_)) {
        // Closing the dialog tells the owner (FR_DIALOGTERM), which ends it here.
        SendMessageW(findDialog_, WM_CLOSE, 0, 0);
        MSG msg;
        while (find_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The owner's subclass must not outlive its receiver.
    if (find_) EndFindReplace();
}

UINT CommonDialog::Registered(UINT& message, const wchar_t* name) {
    if (!message) message = RegisterWindowMessageW(name);
    return message;
}

void CommonDialog::RaiseEvent(std::wstring_view name, DISPID id, std::span<Host::EventArg> args) {
    const HWND focus = GetFocus();
    if (Sited()) {
        Site().RaiseEvent(name, id, args);
    } else {
        events_.Raise(name, id, args);
    }
    if (focus && GetFocus() != focus) SetFocus(focus);
}

// ---- properties ---------------------------------------------------------------------------

void CommonDialog::SetMaxFileSize(int32_t value) {
    Check(value >= 1);
    PropMaxFileSize = value;
}

void CommonDialog::SetFilterIndex(int32_t value) {
    Check(value >= 0);
    PropFilterIndex = value;
}

void CommonDialog::SetFontSize(float value) {
    Check(value >= 0 && value <= SHRT_MAX);
    PropFontSize = value;
}

void CommonDialog::SetMin(int32_t value) {
    Check(value >= 0 && value <= kPageMax);
    PropMin = value;
}

void CommonDialog::SetMax(int32_t value) {
    Check(value >= 0 && value <= kPageMax);
    PropMax = value;
}

void CommonDialog::SetFromPage(int32_t value) {
    Check(value >= 0 && value <= kPageMax);
    PropFromPage = value;
}

void CommonDialog::SetToPage(int32_t value) {
    Check(value >= 0 && value <= kPageMax);
    PropToPage = value;
}

void CommonDialog::SetPrinterField(DWORD field, int32_t& prop, int32_t value, bool valid) {
    Check(valid);
    prop = value;
    unsetPrinterFields_ &= ~field;
}

void CommonDialog::SetOrientation(int32_t value) {
    SetPrinterField(DM_ORIENTATION, PropOrientation, value, value >= 1 && value <= 2);
}

void CommonDialog::SetPaperSize(int32_t value) {
    SetPrinterField(DM_PAPERSIZE, PropPaperSize, value, value >= 1 && value <= SHRT_MAX);
}

void CommonDialog::SetPaperBin(int32_t value) {
    SetPrinterField(DM_DEFAULTSOURCE, PropPaperBin, value, value >= 1 && value <= SHRT_MAX);
}

void CommonDialog::SetPrintQuality(int32_t value) {
    SetPrinterField(DM_PRINTQUALITY, PropPrintQuality, value, value >= -4 && value <= SHRT_MAX);
}

void CommonDialog::SetColorMode(int32_t value) {
    SetPrinterField(DM_COLOR, PropColorMode, value, value >= 1 && value <= 2);
}

void CommonDialog::SetDuplex(int32_t value) {
    SetPrinterField(DM_DUPLEX, PropDuplex, value, value >= 1 && value <= 3);
}

void CommonDialog::SetCopies(int16_t value) {
    Check(value >= 1);
    PropCopies = value;
}

void CommonDialog::SetPageMargin(Margin which, int32_t value) {
    Check(value >= 0);
    PropPageMargins[which] = value;
}

void CommonDialog::SetHelpCommand(int32_t value) {
    Check((value >= 0 && value <= 5) || value == HELP_PARTIALKEY || value == HELP_FINDER ||
          value == HELP_KEY || value == HELP_MULTIKEY || value == HELP_COMMAND);
    PropHelpCommand = value;
}

void CommonDialog::SetRootFolder(const ::Variant& value) {
    const VARTYPE type = value.Type();  // a reference was followed when the copy was made
    Check(type == VT_EMPTY || type == VT_BSTR || IsNumberType(type));
    PropRootFolder = value;
}

ComPtr<IDispatch> CommonDialog::Object() const {
    if (!Sited())
        return ComPtr<IDispatch>(static_cast<ISubclass*>(const_cast<CommonDialog*>(this)));
    ComPtr<IDispatch> self;
    Site().Object()->QueryInterface(IID_IDispatch, self.PutVoid());
    return self;
}

void CommonDialog::SetAction(int16_t action) {
    switch (action) {
        case 1:
            ShowOpen();
            return;
        case 2:
            ShowSave();
            return;
        case 3:
            ShowColor();
            return;
        case 4:
            ShowFont();
            return;
        case 5:
            ShowPrinter();
            return;
        case 6:
            ShowHelp();
            return;
        case 7:
            ShowPageSetup();
            return;
        case 8:
            ShowFolderBrowser();
            return;
        case 9:
            ShowFind();
            return;
        case 10:
            ShowReplace();
            return;
        default:
            Raise(ControlErrors::kInvalidPropertyValue);
    }
}

// ---- file dialogs -------------------------------------------------------------------------

bool CommonDialog::ShowOpen() {
    return ShowFileDialog(kOpen);
}

bool CommonDialog::ShowSave() {
    return ShowFileDialog(kSave);
}

bool CommonDialog::ShowFileDialog(int16_t kind) {
    const bool save = kind == kSave;
    // The name is cut so that its terminator fits: the dialog reads up to the first NUL.
    std::wstring buffer(static_cast<size_t>(PropMaxFileSize), L'\0');
    std::copy_n(PropFileName.data(),
                std::min(PropFileName.size(), static_cast<size_t>(PropMaxFileSize) - 1),
                buffer.begin());
    const std::wstring filter = FilterText(PropFilter);
    const wchar_t* const noText = L"";

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = OwnerWindow();
    ofn.hInstance = ModuleInstance();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(PropFilterIndex);
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(PropMaxFileSize);
    ofn.lpstrInitialDir = PropInitDir.empty() ? nullptr : PropInitDir.c_str();
    ofn.lpstrTitle = PropDialogTitle.empty() ? nullptr : PropDialogTitle.c_str();
    // The save dialog always gets an extension text, empty when none is set.
    if (save) ofn.lpstrDefExt = PropDefaultExt.empty() ? noText : PropDefaultExt.c_str();
    ofn.Flags = static_cast<DWORD>(PropFlags);
    if (PropHookEvents) {
        const bool explorer = (ofn.Flags & OFN_EXPLORER) != 0;
        ofn.Flags |= OFN_ENABLEHOOK | OFN_ENABLESIZING;
        ofn.lCustData = reinterpret_cast<LPARAM>(static_cast<ISubclass*>(this));
        if (save) {
            ofn.lpfnHook = explorer
                               ? DialogHook<OPENFILENAMEW, kPropSave, Ref(kSave)>
                               : DialogHook<OPENFILENAMEW, kPropSaveOld, Ref(kSave) - kOldStyle>;
        } else {
            ofn.lpfnHook = explorer
                               ? DialogHook<OPENFILENAMEW, kPropOpen, Ref(kOpen)>
                               : DialogHook<OPENFILENAMEW, kPropOpenOld, Ref(kOpen) - kOldStyle>;
        }
    }

    BOOL ok;
    {
        HelpRoute help(*this, ofn.hwndOwner, (ofn.Flags & OFN_SHOWHELP) != 0, kind);
        ok = save ? CDLG_FN(getSaveFileName, GetSaveFileNameW)(&ofn)
                  : CDLG_FN(getOpenFileName, GetOpenFileNameW)(&ofn);
    }
    if (!ok) return Failed(ExtendedError(), PropCancelError, save ? kSaveFailures : kOpenFailures);

    constexpr DWORD kHookBits = OFN_ENABLEHOOK | OFN_ENABLESIZING;
    PropFlags = static_cast<int32_t>(ofn.Flags & ~kHookBits);
    const size_t size = buffer.size();
    if (ofn.nFileOffset > 0 && ofn.nFileOffset < size) {
        if (buffer[ofn.nFileOffset - 1] == 0) {
            PropFileName = UpToDoubleNul(buffer.data(), size);
            PropFileTitle.clear();
        } else {
            PropFileName = UpToNul(buffer.data(), size);
            PropFileTitle =
                PropFileName.substr(std::min<size_t>(ofn.nFileOffset, PropFileName.size()));
        }
    }
    PropFilterIndex = static_cast<int32_t>(ofn.nFilterIndex);
    PropFileOffset = static_cast<int16_t>(ofn.nFileOffset);
    return true;
}

void CommonDialog::RaiseFileValidate(HWND hWnd, const OPENFILENAMEW& ofn, bool& cancel) {
    const size_t limit = std::min<size_t>(ofn.nMaxFile, static_cast<size_t>(PropMaxFileSize));
    const wchar_t* file = ofn.lpstrFile;
    if (!file || ofn.nFileOffset == 0 || ofn.nFileOffset >= limit) return;
    std::wstring name, title;
    if (file[ofn.nFileOffset - 1] == 0) {
        name = UpToDoubleNul(file, limit);
    } else {
        name = UpToNul(file, limit);
        title = name.substr(std::min<size_t>(ofn.nFileOffset, name.size()));
    }
    RaiseEvent(L"FileValidate", kEventFileValidate, Host::EventArg::ByVal(name),
               Host::EventArg::ByVal(title),
               Host::EventArg::ByVal(static_cast<int16_t>(ofn.nFileOffset)),
               Host::EventArg::ByRef(cancel), WindowArg(hWnd));
}

LRESULT CommonDialog::FileHook(HWND hWnd, UINT wMsg, LPARAM lParam, int16_t kind, bool explorer) {
    if (explorer) {
        if (wMsg != WM_NOTIFY) return 0;
        const auto* notify = reinterpret_cast<const OFNOTIFYW*>(lParam);
        switch (notify->hdr.code) {
            case CDN_INITDONE:
                RaiseEvent(L"InitDialog", kEventInitDialog, Host::EventArg::ByVal(kind),
                           WindowArg(hWnd));
                return 0;
            case CDN_SHAREVIOLATION: {
                const std::wstring name =
                    UpToNul(notify->pszFile, static_cast<size_t>(PropMaxFileSize));
                int32_t reply = 0;
                RaiseEvent(L"FileShareViolation", kEventFileShareViolation,
                           Host::EventArg::ByVal(name), Host::EventArg::ByRef(reply),
                           WindowArg(hWnd));
                SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, reply);
                return reply;
            }
            case CDN_FILEOK: {
                bool cancel = false;
                if (notify->lpOFN) RaiseFileValidate(hWnd, *notify->lpOFN, cancel);
                if (!cancel) return 0;
                // A non-zero message result keeps the dialog open.
                SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, 1);
                return 1;
            }
            default:
                return 0;
        }
    }
    if (wMsg == WM_INITDIALOG) {
        Registered(msgShareViolation_, SHAREVISTRINGW);
        Registered(msgFileNameOK_, FILEOKSTRINGW);
        RaiseEvent(L"InitDialog", kEventInitDialog, Host::EventArg::ByVal(kind), WindowArg(hWnd));
        return TRUE;  // the dialog sets the focus as it would without a hook
    }
    if (wMsg == msgShareViolation_ && wMsg) {
        const std::wstring name =
            UpToNul(reinterpret_cast<const wchar_t*>(lParam), static_cast<size_t>(PropMaxFileSize));
        int32_t reply = 0;
        RaiseEvent(L"FileShareViolation", kEventFileShareViolation, Host::EventArg::ByVal(name),
                   Host::EventArg::ByRef(reply), WindowArg(hWnd));
        return reply;
    }
    if (wMsg == msgFileNameOK_ && wMsg) {
        bool cancel = false;
        if (lParam)
            RaiseFileValidate(hWnd, *reinterpret_cast<const OPENFILENAMEW*>(lParam), cancel);
        return cancel ? 1 : 0;
    }
    return 0;
}

// ---- colour and font ----------------------------------------------------------------------

bool CommonDialog::ShowColor() {
    if (!customColorsSet_) {
        for (int i = 0; i < 16; ++i)
            customColors_[i] = RGB(255 - 16 * i, 255 - 16 * i, 255 - 16 * i);
        customColorsSet_ = true;
    }
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = OwnerWindow();
    cc.hInstance = reinterpret_cast<HWND>(ModuleInstance());
    cc.rgbResult = Common::WinColor(PropColor);
    cc.lpCustColors = customColors_.data();
    cc.Flags = static_cast<DWORD>(PropFlags);
    if (PropHookEvents) {
        cc.Flags |= CC_ENABLEHOOK;
        cc.lpfnHook = DialogHook<CHOOSECOLORW, kPropColor, Ref(kColor)>;
        cc.lCustData = reinterpret_cast<LPARAM>(static_cast<ISubclass*>(this));
    }
    BOOL ok;
    {
        HelpRoute help(*this, cc.hwndOwner, (cc.Flags & CC_SHOWHELP) != 0, kColor);
        ok = CDLG_FN(chooseColor, ChooseColorW)(&cc);
    }
    if (!ok) return Failed(ExtendedError(), PropCancelError, {});
    PropFlags = static_cast<int32_t>(cc.Flags & ~CC_ENABLEHOOK);
    PropColor = cc.rgbResult;
    return true;
}

LRESULT CommonDialog::ColorHook(HWND hWnd, UINT wMsg, LPARAM lParam) {
    if (wMsg == WM_INITDIALOG) {
        Registered(msgColorOK_, COLOROKSTRINGW);
        RaiseEvent(L"InitDialog", kEventInitDialog, Host::EventArg::ByVal(kColor), WindowArg(hWnd));
        return TRUE;
    }
    if (wMsg && wMsg == msgColorOK_ && lParam) {
        const COLORREF chosen = reinterpret_cast<const CHOOSECOLORW*>(lParam)->rgbResult;
        int32_t color = static_cast<int32_t>(chosen);
        bool cancel = false;
        RaiseEvent(L"ColorValidate", kEventColorValidate, Host::EventArg::ByRef(color),
                   Host::EventArg::ByRef(cancel), WindowArg(hWnd));
        if (!cancel) return 0;
        if (static_cast<COLORREF>(color) != chosen)
            SendMessageW(hWnd, Registered(msgSetRGBColor_, SETRGBSTRINGW), 0, color);
        return 1;
    }
    return 0;
}

bool CommonDialog::ShowFont() {
    CY size{};
    size.int64 = std::llround(static_cast<double>(PropFontSize) * 10000);
    LOGFONTW lf = Common::LogFontOf({PropFontName, size, PropFontBold, PropFontItalic,
                                     PropFontUnderline, PropFontStrikethru, PropFontCharset});
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = OwnerWindow();
    cf.lpLogFont = &lf;
    cf.Flags = static_cast<DWORD>(PropFlags) | CF_INITTOLOGFONTSTRUCT;
    cf.rgbColors = Common::WinColor(PropColor);
    cf.nSizeMin = PropMin;
    cf.nSizeMax = PropMax;
    if (PropHookEvents) {
        cf.Flags |= CF_ENABLEHOOK;
        cf.lpfnHook = DialogHook<CHOOSEFONTW, kPropFont, Ref(kFont)>;
        cf.lCustData = reinterpret_cast<LPARAM>(static_cast<ISubclass*>(this));
    }
    BOOL ok;
    {
        HelpRoute help(*this, cf.hwndOwner, (cf.Flags & CF_SHOWHELP) != 0, kFont);
        ok = CDLG_FN(chooseFont, ChooseFontW)(&cf);
    }
    if (!ok) return Failed(ExtendedError(), PropCancelError, kFontFailures);
    const DWORD flags = cf.Flags & ~(CF_INITTOLOGFONTSTRUCT | CF_ENABLEHOOK);
    PropFlags = static_cast<int32_t>(flags);
    if (!(flags & CF_NOFACESEL)) PropFontName = UpToNul(lf.lfFaceName, LF_FACESIZE);
    if (!(flags & CF_NOSTYLESEL)) {
        PropFontBold = lf.lfWeight == FW_BOLD;
        PropFontItalic = lf.lfItalic != 0;
    }
    if (!(flags & CF_NOSIZESEL)) PropFontSize = static_cast<float>(cf.iPointSize) / 10;
    if (flags & CF_EFFECTS) {
        PropFontStrikethru = lf.lfStrikeOut != 0;
        PropFontUnderline = lf.lfUnderline != 0;
        PropColor = cf.rgbColors;
    }
    if (!(flags & CF_NOSCRIPTSEL)) PropFontCharset = lf.lfCharSet;
    return true;
}

LRESULT CommonDialog::FontHook(HWND hWnd, UINT wMsg, WPARAM wParam) {
    constexpr int kApply = 1026, kColorCombo = 1139;
    if (wMsg == WM_INITDIALOG) {
        RaiseEvent(L"InitDialog", kEventInitDialog, Host::EventArg::ByVal(kFont), WindowArg(hWnd));
        return TRUE;
    }
    if (wMsg != WM_COMMAND || HIWORD(wParam) != 0 || LOWORD(wParam) != kApply) return 0;
    LOGFONTW lf{};
    SendMessageW(hWnd, WM_CHOOSEFONT_GETLOGFONT, 0, reinterpret_cast<LPARAM>(&lf));
    int32_t color = 0;
    if (HWND combo = GetDlgItem(hWnd, kColorCombo)) {
        const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (index != CB_ERR)
            color = static_cast<int32_t>(SendMessageW(combo, CB_GETITEMDATA, index, 0));
    }
    const int dpi = Common::DPI_Y();
    const float points = dpi ? static_cast<float>(MulDiv(-lf.lfHeight, 72, dpi)) : 0;
    RaiseEvent(L"FontApply", kEventFontApply, Host::EventArg::ByVal(PropFlags),
               Host::EventArg::ByVal(UpToNul(lf.lfFaceName, LF_FACESIZE)),
               Host::EventArg::ByVal(points), Host::EventArg::ByVal(lf.lfWeight == FW_BOLD),
               Host::EventArg::ByVal(lf.lfItalic != 0), Host::EventArg::ByVal(lf.lfStrikeOut != 0),
               Host::EventArg::ByVal(lf.lfUnderline != 0),
               Host::EventArg::ByVal(static_cast<int16_t>(lf.lfCharSet)),
               Host::EventArg::ByVal(color), WindowArg(hWnd));
    return 0;
}

// ---- printer and page setup ---------------------------------------------------------------

void CommonDialog::BuildDeviceBlocks(DWORD fields, UniqueGlobal& devMode,
                                     UniqueGlobal& devNames) const {
    const bool named = !PropPrinterDriver.empty() && !PropPrinterName.empty() &&
                       !PropPrinterPort.empty() && !PropPrinterDefaultInit;
    devMode.Reset(GlobalAlloc(GHND, sizeof(DEVMODEW)));
    if (!devMode) Raise(ControlErrors::kOutOfMemory);
    auto* dm = static_cast<DEVMODEW*>(GlobalLock(devMode.Get()));
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmSize = sizeof(DEVMODEW);
    if (named) CopyTerminated(dm->dmDeviceName, PropPrinterName);
    dm->dmFields = fields & ~unsetPrinterFields_;
    dm->dmOrientation = static_cast<short>(PropOrientation);
    dm->dmPaperSize = static_cast<short>(PropPaperSize);
    dm->dmDefaultSource = static_cast<short>(PropPaperBin);
    dm->dmPrintQuality = static_cast<short>(PropPrintQuality);
    dm->dmColor = static_cast<short>(PropColorMode);
    dm->dmDuplex = static_cast<short>(PropDuplex);
    if (fields & DM_COPIES) dm->dmCopies = PropCopies;
    if (fields & DM_COLLATE) dm->dmCollate = (PropFlags & PD_COLLATE) ? DMCOLLATE_TRUE : 0;
    GlobalUnlock(devMode.Get());
    if (!named) return;

    // Each name is terminated; the block is as long as the names need (offsets in characters).
    constexpr size_t kHeader = sizeof(DEVNAMES) / sizeof(wchar_t);
    const size_t driver = kHeader, device = driver + PropPrinterDriver.size() + 1,
                 port = device + PropPrinterName.size() + 1,
                 total = port + PropPrinterPort.size() + 1;
    if (total > 0xFFFF) Raise(ControlErrors::kInvalidPropertyValue);
    devNames.Reset(GlobalAlloc(GHND, total * sizeof(wchar_t)));
    if (!devNames) Raise(ControlErrors::kOutOfMemory);
    auto* dn = static_cast<DEVNAMES*>(GlobalLock(devNames.Get()));
    auto* text = reinterpret_cast<wchar_t*>(dn);
    dn->wDriverOffset = static_cast<WORD>(driver);
    dn->wDeviceOffset = static_cast<WORD>(device);
    dn->wOutputOffset = static_cast<WORD>(port);
    dn->wDefault = 0;
    std::copy(PropPrinterDriver.begin(), PropPrinterDriver.end(), text + driver);
    std::copy(PropPrinterName.begin(), PropPrinterName.end(), text + device);
    std::copy(PropPrinterPort.begin(), PropPrinterPort.end(), text + port);
    GlobalUnlock(devNames.Get());
}

void CommonDialog::TakePrinterResult(const PrinterResult& result, DWORD fields, bool names) {
    UniqueGlobal devMode(result.devMode), devNames(result.devNames);
    if (names && devNames) {
        const auto* dn = static_cast<const DEVNAMES*>(GlobalLock(devNames.Get()));
        const auto* text = reinterpret_cast<const wchar_t*>(dn);
        const size_t size = GlobalSize(devNames.Get()) / sizeof(wchar_t);
        auto name = [&](WORD offset) {
            return offset < size ? UpToNul(text + offset, size - offset) : std::wstring();
        };
        const bool isDefault = (dn->wDefault & DN_DEFAULTPRN) != 0;
        std::wstring driver = name(dn->wDriverOffset), device = name(dn->wDeviceOffset),
                     port = name(dn->wOutputOffset);
        GlobalUnlock(devNames.Get());
        if (isDefault) {
            driver.clear(), device.clear(), port.clear();
        } else if (PropPrinterDefault) {
            wchar_t current[1024]{};
            DWORD length = ARRAYSIZE(current);
            const bool known =
                CDLG_FN(getDefaultPrinter, GetDefaultPrinterW)(current, &length) != FALSE;
            if (!known || CompareStringOrdinal(current, -1, device.c_str(), -1, TRUE) != CSTR_EQUAL)
                CDLG_FN(setDefaultPrinter, SetDefaultPrinterW)(device.c_str());
            driver.clear(), device.clear(), port.clear();
        }
        PropPrinterDriver = driver;
        PropPrinterName = device;
        PropPrinterPort = port;
    }
    DWORD flags = result.flags;
    if (devMode) {
        const auto* dm = static_cast<const DEVMODEW*>(GlobalLock(devMode.Get()));
        const DWORD present = dm->dmFields & fields;
        auto take = [&](DWORD field, int32_t& prop, short value) {
            if (!(present & field)) return;
            prop = value;
            unsetPrinterFields_ &= ~field;
        };
        take(DM_ORIENTATION, PropOrientation, dm->dmOrientation);
        take(DM_PAPERSIZE, PropPaperSize, dm->dmPaperSize);
        take(DM_DEFAULTSOURCE, PropPaperBin, dm->dmDefaultSource);
        take(DM_PRINTQUALITY, PropPrintQuality, dm->dmPrintQuality);
        take(DM_COLOR, PropColorMode, dm->dmColor);
        take(DM_DUPLEX, PropDuplex, dm->dmDuplex);
        if ((present & DM_COPIES) && dm->dmCopies >= 1) PropCopies = dm->dmCopies;
        if ((present & DM_COLLATE) && (flags & PD_USEDEVMODECOPIESANDCOLLATE) &&
            dm->dmCollate == DMCOLLATE_TRUE)
            flags |= PD_COLLATE;
        GlobalUnlock(devMode.Get());
    }
    PropFlags = static_cast<int32_t>(flags);
}

bool CommonDialog::ShowPrinter() {
    PRINTDLGW pd{};
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = OwnerWindow();
    pd.Flags = static_cast<DWORD>(PropFlags);
    if (PropHookEvents) {
        pd.Flags |= PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK;
        pd.lpfnPrintHook = PrintHook;
        pd.lpfnSetupHook = PrintHook;
        pd.lCustData = reinterpret_cast<LPARAM>(static_cast<ISubclass*>(this));
    }
    pd.nFromPage = static_cast<WORD>(PropFromPage);
    pd.nToPage = static_cast<WORD>(PropToPage);
    pd.nMinPage = static_cast<WORD>(PropMin);
    pd.nMaxPage = static_cast<WORD>(PropMax);
    pd.nCopies = static_cast<WORD>(PropCopies);
    UniqueGlobal devMode, devNames;
    if (!(pd.Flags & PD_RETURNDEFAULT)) BuildDeviceBlocks(kPrintFields, devMode, devNames);
    pd.hDevMode = devMode.Release();
    pd.hDevNames = devNames.Release();
    BOOL ok;
    {
        HelpRoute help(*this, pd.hwndOwner, (pd.Flags & PD_SHOWHELP) != 0, kPrint);
        ok = CDLG_FN(printDlg, PrintDlgW)(&pd);
    }
    // The system may have replaced the blocks: whatever the structure holds now is ours.
    if (!ok) {
        devMode.Reset(pd.hDevMode);
        devNames.Reset(pd.hDevNames);
        return Failed(ExtendedError(), PropCancelError, kPrintFailures);
    }
    PrinterResult result;
    result.flags = pd.Flags & ~(PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK);
    result.devMode = pd.hDevMode;
    result.devNames = pd.hDevNames;
    TakePrinterResult(result, kPrintFields, true);
    PropFromPage = pd.nFromPage;
    PropToPage = pd.nToPage;
    PropMin = pd.nMinPage;
    PropMax = pd.nMaxPage;
    if (result.flags & (PD_RETURNDC | PD_RETURNIC)) PropHDC.Reset(pd.hDC);
    return true;
}

bool CommonDialog::ShowPrinterEx() {
    PRINTPAGERANGE range{static_cast<DWORD>(PropFromPage), static_cast<DWORD>(PropToPage)};
    PRINTDLGEXW pd{};
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = OwnerWindow();
    pd.Flags = static_cast<DWORD>(PropFlags);
    pd.nPageRanges = 1;
    pd.nMaxPageRanges = 1;
    pd.lpPageRanges = &range;
    pd.nMinPage = static_cast<DWORD>(PropMin);
    pd.nMaxPage = static_cast<DWORD>(PropMax);
    pd.nCopies = static_cast<DWORD>(PropCopies);
    pd.nStartPage = START_PAGE_GENERAL;
    UniqueGlobal devMode, devNames;
    if (!(pd.Flags & PD_RETURNDEFAULT)) BuildDeviceBlocks(kPrintFields, devMode, devNames);
    pd.hDevMode = devMode.Release();
    pd.hDevNames = devNames.Release();
    ComPtr<IPrintDialogCallback> callback;
    if (PropHookEvents) {
        callback = ComPtr<IPrintDialogCallback>::Attach(new PrintCallback(this));
        pd.lpCallback = callback.Get();
    }
    const HRESULT hr = CDLG_FN(printDlgEx, PrintDlgExW)(&pd);
    if (FAILED(hr)) {
        devMode.Reset(pd.hDevMode);
        devNames.Reset(pd.hDevNames);
        if (hr == E_POINTER || hr == E_FAIL || hr == E_HANDLE || hr == E_OUTOFMEMORY ||
            hr == E_INVALIDARG)
            Raise(28665, L"The PrintDlgEx function failed during initialization.");
        Raise(static_cast<int32_t>(hr), kUnexpected);
    }
    if (pd.dwResultAction == PD_RESULT_CANCEL && !(pd.Flags & PD_RETURNDEFAULT)) {
        devMode.Reset(pd.hDevMode);
        devNames.Reset(pd.hDevNames);
        return Failed(0, PropCancelError, {});
    }
    PrinterResult result;
    result.flags = pd.Flags;
    result.devMode = pd.hDevMode;
    result.devNames = pd.hDevNames;
    TakePrinterResult(result, kPrintFields, true);
    PropFromPage = static_cast<int32_t>(std::min<DWORD>(range.nFromPage, kPageMax));
    PropToPage = static_cast<int32_t>(std::min<DWORD>(range.nToPage, kPageMax));
    PropMin = static_cast<int32_t>(std::min<DWORD>(pd.nMinPage, kPageMax));
    PropMax = static_cast<int32_t>(std::min<DWORD>(pd.nMaxPage, kPageMax));
    if (result.flags & (PD_RETURNDC | PD_RETURNIC)) PropHDC.Reset(pd.hDC);
    return true;
}

bool CommonDialog::ShowPageSetup() {
    PAGESETUPDLGW psd{};
    psd.lStructSize = sizeof(psd);
    psd.hwndOwner = OwnerWindow();
    psd.Flags = static_cast<DWORD>(PropFlags);
    if (PropHookEvents) {
        psd.Flags |= PSD_ENABLEPAGESETUPHOOK;
        psd.lpfnPageSetupHook = DialogHook<PAGESETUPDLGW, kPropPageSetup, Ref(kPageSetup)>;
        psd.lCustData = reinterpret_cast<LPARAM>(static_cast<ISubclass*>(this));
    }
    const auto& m = PropPageMargins;
    psd.rtMargin = {m[kLeft], m[kTop], m[kRight], m[kBottom]};
    psd.rtMinMargin = {m[kLeftMin], m[kTopMin], m[kRightMin], m[kBottomMin]};
    UniqueGlobal devMode, devNames;
    BuildDeviceBlocks(kPageSetupFields, devMode, devNames);
    psd.hDevMode = devMode.Release();
    psd.hDevNames = devNames.Release();
    BOOL ok;
    {
        HelpRoute help(*this, psd.hwndOwner, (psd.Flags & PSD_SHOWHELP) != 0, kPageSetup);
        ok = CDLG_FN(pageSetupDlg, PageSetupDlgW)(&psd);
    }
    if (!ok) {
        devMode.Reset(psd.hDevMode);
        devNames.Reset(psd.hDevNames);
        return Failed(ExtendedError(), PropCancelError, kPageSetupFailures);
    }
    PrinterResult result;
    result.flags = psd.Flags & ~PSD_ENABLEPAGESETUPHOOK;
    result.devMode = psd.hDevMode;
    result.devNames = psd.hDevNames;
    TakePrinterResult(result, kPageSetupFields, false);
    PropPageMargins[kLeft] = psd.rtMargin.left;
    PropPageMargins[kTop] = psd.rtMargin.top;
    PropPageMargins[kRight] = psd.rtMargin.right;
    PropPageMargins[kBottom] = psd.rtMargin.bottom;
    return true;
}

// ---- help ---------------------------------------------------------------------------------

void CommonDialog::ShowHelp() {
    if (PropHelpCommand == 0) return;
    ULONG_PTR data = 0;
    switch (PropHelpCommand) {
        case HELP_CONTEXT:
        case HELP_SETCONTENTS:
        case HELP_CONTEXTPOPUP:
            data = static_cast<ULONG_PTR>(static_cast<uint32_t>(PropHelpContext));
            break;
        case HELP_KEY:
        case HELP_COMMAND:
        case HELP_PARTIALKEY:
            data = reinterpret_cast<ULONG_PTR>(PropHelpKey.c_str());
            break;
        default:
            break;
    }
    if (!CDLG_FN(winHelp, WinHelpW)(nullptr, PropHelpFile.c_str(),
                                    static_cast<UINT>(PropHelpCommand), data))
        Raise(32751, L"Call to windows help failed.");
}

// ---- folder browser -----------------------------------------------------------------------

bool CommonDialog::ShowFolderBrowser() {
    UniqueTaskMem<ITEMIDLIST_ABSOLUTE> root;
    const VARIANT& folder = PropRootFolder.Get();
    if (folder.vt == VT_BSTR) {
        root.Reset(ILCreateFromPathW(folder.bstrVal ? folder.bstrVal : L""));
    } else if (folder.vt != VT_EMPTY) {
        ::Variant number;
        if (SUCCEEDED(VariantChangeType(number.Put(), const_cast<VARIANT*>(&folder), 0, VT_I4))) {
            PIDLIST_ABSOLUTE item = nullptr;
            if (SUCCEEDED(SHGetFolderLocation(nullptr, number.Get().lVal, nullptr, 0, &item)))
                root.Reset(item);
        }
    }
    wchar_t displayName[MAX_PATH]{};
    BROWSEINFOW bi{};
    bi.hwndOwner = OwnerWindow();
    bi.pidlRoot = root.Get();
    bi.pszDisplayName = displayName;
    bi.lpszTitle = PropDialogTitle.empty() ? nullptr : PropDialogTitle.c_str();
    bi.ulFlags = static_cast<UINT>(PropFlags);
    bi.lpfn = FolderCallbackProc;
    bi.lParam = reinterpret_cast<LPARAM>(static_cast<ISubclass*>(this));
    UniqueTaskMem<ITEMIDLIST_ABSOLUTE> chosen(CDLG_FN(browseForFolder, SHBrowseForFolderW)(&bi));
    root.Reset();
    if (!chosen) return Failed(0, PropCancelError, {});
    std::wstring path = PathOfItem(chosen.Get());
    chosen.Reset();
    if (IsFolder(path)) {
        if (path.back() != L'\\') path.push_back(L'\\');
        PropFileTitle.clear();
    } else {
        const size_t slash = path.rfind(L'\\');
        PropFileTitle = slash == std::wstring::npos ? path : path.substr(slash + 1);
    }
    PropFileName = path;
    return true;
}

LRESULT CommonDialog::FolderCallback(HWND hWnd, UINT wMsg, LPARAM lParam) {
    switch (wMsg) {
        case BFFM_INITIALIZED:
            if (!PropInitDir.empty())
                SendMessageW(hWnd, BFFM_SETSELECTIONW, TRUE,
                             reinterpret_cast<LPARAM>(PropInitDir.c_str()));
            RaiseEvent(L"InitDialog", kEventInitDialog, Host::EventArg::ByVal(kFolder),
                       WindowArg(hWnd));
            return 0;
        case BFFM_SELCHANGED: {
            std::wstring path = PathOfItem(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam));
            if (IsFolder(path) && path.back() != L'\\') path.push_back(L'\\');
            if (PropFlags & BIF_STATUSTEXT)
                SendMessageW(hWnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path.c_str()));
            if (PropFlags & BIF_RETURNONLYFSDIRS)
                SendMessageW(hWnd, BFFM_ENABLEOK, 0, !path.empty());
            return 0;
        }
        case BFFM_VALIDATEFAILEDW: {
            const std::wstring name = UpToNul(reinterpret_cast<const wchar_t*>(lParam), MAX_PATH);
            bool cancel = false;
            RaiseEvent(L"FolderBrowserValidateFailed", kEventFolderBrowserValidateFailed,
                       Host::EventArg::ByVal(name), Host::EventArg::ByRef(cancel), WindowArg(hWnd));
            return cancel ? 1 : 0;
        }
        default:
            return 0;
    }
}

// ---- find and replace ---------------------------------------------------------------------

HWND CommonDialog::ShowFind() {
    return ShowFindReplace(kFind);
}

HWND CommonDialog::ShowReplace() {
    return ShowFindReplace(kReplace);
}

HWND CommonDialog::ShowFindReplace(int16_t kind) {
    if (find_) return nullptr;
    const bool replace = kind == kReplace;
    auto state = std::make_unique<FindState>();
    FINDREPLACEW& fr = state->fr;
    fr.lStructSize = sizeof(fr);
    fr.hwndOwner = OwnerWindow();
    fr.hInstance = ModuleInstance();
    fr.Flags = static_cast<DWORD>(PropFlags);
    CopyTerminated(state->findWhat, PropFindWhat);
    fr.lpstrFindWhat = state->findWhat;
    fr.wFindWhatLen = 256;
    if (replace) {
        CopyTerminated(state->replaceWith, PropReplaceWith);
        fr.lpstrReplaceWith = state->replaceWith;
        fr.wReplaceWithLen = 256;
    }
    if (PropHookEvents) {
        fr.Flags |= FR_ENABLEHOOK;
        fr.lpfnHook = replace ? DialogHook<FINDREPLACEW, kPropReplace, Ref(kReplace)>
                              : DialogHook<FINDREPLACEW, kPropFind, Ref(kFind)>;
        fr.lCustData = reinterpret_cast<LPARAM>(static_cast<ISubclass*>(this));
    }
    if (fr.Flags & FR_SHOWHELP) Registered(msgHelp_, HELPMSGSTRINGW);
    Registered(msgFindReplace_, FINDMSGSTRINGW);
    const HWND dialog =
        replace ? CDLG_FN(replaceText, ReplaceTextW)(&fr) : CDLG_FN(findText, FindTextW)(&fr);
    if (!dialog) {
        const DWORD code = ExtendedError();
        if (code == 0) return nullptr;
        Failed(code, false, replace ? kReplaceFailures : kFindFailures);
    }
    // From now on the structure names its dialog, so that the owner can tell its
    // notifications from those of other dialogs it owns.
    fr.lCustData = reinterpret_cast<LPARAM>(dialog);
    state->owner = fr.hwndOwner;
    state->prefix = std::wstring(L"commdlg_FindReplace_") + std::to_wstring(kind) + L"_" +
                    std::to_wstring(reinterpret_cast<uintptr_t>(dialog));
    find_ = std::move(state);
    findDialog_ = dialog;
    ComCtlsBase::InstallSubclass(find_->owner, this, static_cast<DWORD_PTR>(kind), find_->prefix);
    Common::AddModelessDialog(dialog);
    return dialog;
}

void CommonDialog::EndFindReplace() {
    ComCtlsBase::RemoveSubclass(find_->owner, find_->prefix);
    Common::RemoveModelessDialog(findDialog_);
    findDialog_ = nullptr;
    find_.reset();
}

// ---- messages -----------------------------------------------------------------------------

LRESULT CommonDialog::OwnerMessage(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                   DWORD_PTR kind) {
    if (wMsg && wMsg == msgHelp_) {
        bool handled = false;
        RaiseEvent(L"Help", kEventHelp, Host::EventArg::ByRef(handled),
                   Host::EventArg::ByVal(static_cast<int16_t>(LOWORD(kind))),
                   Host::EventArg::ByVal(static_cast<int32_t>(wParam)));
        if (!handled) ShowHelp();
        return 0;
    }
    if (wMsg && wMsg == msgFindReplace_ && lParam && find_) {
        const FINDREPLACEW fr = *reinterpret_cast<const FINDREPLACEW*>(lParam);
        if (fr.lCustData == 0 || reinterpret_cast<HWND>(fr.lCustData) == findDialog_) {
            if (fr.Flags & FR_DIALOGTERM) {
                const LRESULT result = ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
                EndFindReplace();
                return result;
            }
            PropFlags = static_cast<int32_t>(fr.Flags & ~FR_ENABLEHOOK);
            PropFindWhat = UpToNul(fr.lpstrFindWhat, std::size(find_->findWhat));
            if (fr.lpstrReplaceWith)
                PropReplaceWith = UpToNul(fr.lpstrReplaceWith, std::size(find_->replaceWith));
            if (fr.Flags & FR_FINDNEXT) {
                RaiseEvent(L"FindNext", kEventFindNext, std::span<Host::EventArg>());
            } else if (fr.Flags & FR_REPLACE) {
                RaiseEvent(L"Replace", kEventReplace, std::span<Host::EventArg>());
            } else if (fr.Flags & FR_REPLACEALL) {
                RaiseEvent(L"ReplaceAll", kEventReplaceAll, std::span<Host::EventArg>());
            }
            return 0;
        }
    }
    return ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
}

LRESULT STDMETHODCALLTYPE CommonDialog::Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                                DWORD_PTR dwRefData) {
    const auto code = static_cast<LONG_PTR>(dwRefData);
    try {
        if (code >= 1) return OwnerMessage(hWnd, wMsg, wParam, lParam, dwRefData);
        switch (code) {
            case Ref(kOpen):
            case Ref(kSave):
                return FileHook(hWnd, wMsg, lParam, static_cast<int16_t>(-code), true);
            case Ref(kOpen) - kOldStyle:
            case Ref(kSave) - kOldStyle:
                return FileHook(hWnd, wMsg, lParam, static_cast<int16_t>(-(code + kOldStyle)),
                                false);
            case Ref(kColor):
                return ColorHook(hWnd, wMsg, lParam);
            case Ref(kFont):
                return FontHook(hWnd, wMsg, wParam);
            case Ref(kFolder):
                return FolderCallback(hWnd, wMsg, lParam);
            case Ref(kPrint):
            case Ref(kPageSetup):
            case Ref(kFind):
            case Ref(kReplace):
                if (wMsg != WM_INITDIALOG) return 0;
                RaiseEvent(L"InitDialog", kEventInitDialog,
                           Host::EventArg::ByVal(static_cast<int16_t>(-code)), WindowArg(hWnd));
                return TRUE;
            default:
                return 0;
        }
    } catch (...) {
        // Hooks run inside the system's dialog code: nothing may unwind through it.
        return 0;
    }
}

// ---- late-bound surface -----------------------------------------------------------------

namespace {

using D = CommonDialog;
// Members and their identifiers.
const Host::Member kMembers[] = {
    Host::ReadOnly<&D::Object>(L"Object", 65),
    Host::Property<&D::CancelError, &D::SetCancelError>(L"CancelError", 1),
    Host::Property<&D::HookEvents, &D::SetHookEvents>(L"HookEvents", 2),
    Host::Property<&D::Tag, &D::SetTag>(L"Tag", 3),
    Host::ReadOnly<&D::hDC>(L"hDC", 4),
    Host::Property<&D::Flags, &D::SetFlags>(L"Flags", 5),
    Host::Property<&D::DialogTitle, &D::SetDialogTitle>(L"DialogTitle", 6),
    Host::Property<&D::MaxFileSize, &D::SetMaxFileSize>(L"MaxFileSize", 7),
    Host::Property<&D::FileName, &D::SetFileName>(L"FileName", 8),
    Host::ReadOnly<&D::FileTitle>(L"FileTitle", 9),
    Host::ReadOnly<&D::FileOffset>(L"FileOffset", 10),
    Host::Property<&D::Filter, &D::SetFilter>(L"Filter", 11),
    Host::Property<&D::FilterIndex, &D::SetFilterIndex>(L"FilterIndex", 12),
    Host::Property<&D::InitDir, &D::SetInitDir>(L"InitDir", 13),
    Host::Property<&D::DefaultExt, &D::SetDefaultExt>(L"DefaultExt", 14),
    Host::WriteOnly<&D::SetAction>(L"Action", 15),
    Host::Property<&D::Color, &D::SetColor>(L"Color", 16),
    Host::Property<&D::FontName, &D::SetFontName>(L"FontName", 17),
    Host::Property<&D::FontSize, &D::SetFontSize>(L"FontSize", 18),
    Host::Property<&D::FontBold, &D::SetFontBold>(L"FontBold", 19),
    Host::Property<&D::FontItalic, &D::SetFontItalic>(L"FontItalic", 20),
    Host::Property<&D::FontStrikethru, &D::SetFontStrikethru>(L"FontStrikethru", 21),
    Host::Property<&D::FontUnderline, &D::SetFontUnderline>(L"FontUnderline", 22),
    Host::Property<&D::FontCharset, &D::SetFontCharset>(L"FontCharset", 23),
    Host::Property<&D::Min, &D::SetMin>(L"Min", 24),
    Host::Property<&D::Max, &D::SetMax>(L"Max", 25),
    Host::Property<&D::FromPage, &D::SetFromPage>(L"FromPage", 26),
    Host::Property<&D::ToPage, &D::SetToPage>(L"ToPage", 27),
    Host::Property<&D::Orientation, &D::SetOrientation>(L"Orientation", 28),
    Host::Property<&D::PaperSize, &D::SetPaperSize>(L"PaperSize", 29),
    Host::Property<&D::Copies, &D::SetCopies>(L"Copies", 30),
    Host::Property<&D::PaperBin, &D::SetPaperBin>(L"PaperBin", 31),
    Host::Property<&D::PrintQuality, &D::SetPrintQuality>(L"PrintQuality", 32),
    Host::Property<&D::ColorMode, &D::SetColorMode>(L"ColorMode", 33),
    Host::Property<&D::Duplex, &D::SetDuplex>(L"Duplex", 34),
    Host::Property<&D::PrinterDefault, &D::SetPrinterDefault>(L"PrinterDefault", 35),
    Host::Property<&D::PrinterDefaultInit, &D::SetPrinterDefaultInit>(L"PrinterDefaultInit", 36),
    Host::Property<&D::PrinterDriver, &D::SetPrinterDriver>(L"PrinterDriver", 37),
    Host::Property<&D::PrinterName, &D::SetPrinterName>(L"PrinterName", 38),
    Host::Property<&D::PrinterPort, &D::SetPrinterPort>(L"PrinterPort", 39),
    Host::Property<&D::HelpFile, &D::SetHelpFile>(L"HelpFile", 40),
    Host::Property<&D::HelpCommand, &D::SetHelpCommand>(L"HelpCommand", 41),
    Host::Property<&D::HelpContext, &D::SetHelpContext>(L"HelpContext", 42),
    Host::Property<&D::HelpKey, &D::SetHelpKey>(L"HelpKey", 43),
    Host::Property<&D::PageMarginOf<D::kLeft>, &D::SetPageMarginOf<D::kLeft>>(L"PageLeftMargin",
                                                                              44),
    Host::Property<&D::PageMarginOf<D::kTop>, &D::SetPageMarginOf<D::kTop>>(L"PageTopMargin", 45),
    Host::Property<&D::PageMarginOf<D::kRight>, &D::SetPageMarginOf<D::kRight>>(L"PageRightMargin",
                                                                                46),
    Host::Property<&D::PageMarginOf<D::kBottom>, &D::SetPageMarginOf<D::kBottom>>(
        L"PageBottomMargin", 47),
    Host::Property<&D::PageMarginOf<D::kLeftMin>, &D::SetPageMarginOf<D::kLeftMin>>(
        L"PageLeftMinMargin", 48),
    Host::Property<&D::PageMarginOf<D::kTopMin>, &D::SetPageMarginOf<D::kTopMin>>(
        L"PageTopMinMargin", 49),
    Host::Property<&D::PageMarginOf<D::kRightMin>, &D::SetPageMarginOf<D::kRightMin>>(
        L"PageRightMinMargin", 50),
    Host::Property<&D::PageMarginOf<D::kBottomMin>, &D::SetPageMarginOf<D::kBottomMin>>(
        L"PageBottomMinMargin", 51),
    Host::Property<&D::FindWhat, &D::SetFindWhat>(L"FindWhat", 52),
    Host::Property<&D::ReplaceWith, &D::SetReplaceWith>(L"ReplaceWith", 53),
    Host::Property<&D::RootFolder, &D::SetRootFolder>(L"RootFolder", 66),
    Host::Method<&D::ShowOpen>(L"ShowOpen", 54),
    Host::Method<&D::ShowSave>(L"ShowSave", 55),
    Host::Method<&D::ShowColor>(L"ShowColor", 56),
    Host::Method<&D::ShowFont>(L"ShowFont", 57),
    Host::Method<&D::ShowPrinter>(L"ShowPrinter", 58),
    Host::Method<&D::ShowPrinterEx>(L"ShowPrinterEx", 59),
    Host::Method<&D::ShowHelp>(L"ShowHelp", 60),
    Host::Method<&D::ShowPageSetup>(L"ShowPageSetup", 61),
    Host::Method<&D::ShowFolderBrowser>(L"ShowFolderBrowser", 62),
    Host::Method<&D::ShowFind>(L"ShowFind", 63),
    Host::Method<&D::ShowReplace>(L"ShowReplace", 64),
};

const Host::EventParameter kInitDialogArgs[] = {{L"DialogType", VT_I2}, {L"hDlg", VT_I4}};
const Host::EventParameter kHelpArgs[] = {
    {L"Handled", VT_BOOL, true}, {L"DialogType", VT_I2}, {L"hDlg", VT_I4}};
const Host::EventParameter kShareViolationArgs[] = {
    {L"FileName", VT_BSTR}, {L"Reply", VT_I4, true}, {L"hDlg", VT_I4}};
const Host::EventParameter kFileValidateArgs[] = {{L"FileName", VT_BSTR},
                                                  {L"FileTitle", VT_BSTR},
                                                  {L"FileOffset", VT_I2},
                                                  {L"Cancel", VT_BOOL, true},
                                                  {L"hDlg", VT_I4}};
const Host::EventParameter kColorValidateArgs[] = {
    {L"Color", VT_I4, true}, {L"Cancel", VT_BOOL, true}, {L"hDlg", VT_I4}};
const Host::EventParameter kFontApplyArgs[] = {
    {L"Flags", VT_I4},           {L"FontName", VT_BSTR},
    {L"FontSize", VT_R4},        {L"FontBold", VT_BOOL},
    {L"FontItalic", VT_BOOL},    {L"FontStrikethru", VT_BOOL},
    {L"FontUnderline", VT_BOOL}, {L"FontCharset", VT_I2},
    {L"Color", VT_I4},           {L"hDlg", VT_I4}};
const Host::EventParameter kValidateFailedArgs[] = {
    {L"Name", VT_BSTR}, {L"Cancel", VT_BOOL, true}, {L"hDlg", VT_I4}};
const Host::EventInfo kEvents[] = {
    {L"InitDialog", D::kEventInitDialog, kInitDialogArgs},
    {L"Help", D::kEventHelp, kHelpArgs},
    {L"FileShareViolation", D::kEventFileShareViolation, kShareViolationArgs},
    {L"FileValidate", D::kEventFileValidate, kFileValidateArgs},
    {L"ColorValidate", D::kEventColorValidate, kColorValidateArgs},
    {L"FontApply", D::kEventFontApply, kFontApplyArgs},
    {L"FolderBrowserValidateFailed", D::kEventFolderBrowserValidateFailed, kValidateFailedArgs},
    {L"FindNext", D::kEventFindNext, {}},
    {L"Replace", D::kEventReplace, {}},
    {L"ReplaceAll", D::kEventReplaceAll, {}},
};

}  // namespace

const Host::ControlDescription& CommonDialog::Describe() const {
    static const Host::ControlDescription description{kTypeName, kMembers, kEvents, {}};
    return description;
}

// ---- COM ----------------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CommonDialog::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CommonDialog::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE CommonDialog::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CommonDialog::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                               EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

// ---- testing seam -------------------------------------------------------------------------

namespace CommonDialogs::Testing {

void SetDialogFunctions(const DialogFunctions* functions) {
    g_functions = functions;
}

}  // namespace CommonDialogs::Testing
