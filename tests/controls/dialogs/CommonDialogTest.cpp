// The common dialog object: the real open, save, colour, font, folder and find/replace
// dialogs driven through their hooks and posted commands, and the printer, page-setup, help
// and failure paths through stand-ins for the dialog functions that record what they get.
#include <windows.h>
#include <cderr.h>
#include <dlgs.h>
#include <shlobj.h>
#include <commctrl.h>
#include <cstdio>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/dialogs/CommonDialog.h"
#include "host/ControlDescription.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/ControlErrors.h"
#include "tests/support/GuiResources.h"
#include "tests/support/MessageBoxCatcher.h"
#include "tests/support/Pump.h"
#include "tests/support/TestWindow.h"

namespace {

using CommonDialogs::Testing::DialogFunctions;

struct Raised {
    std::wstring name;
    std::vector<Host::Variant> args;
};

// An active owner window, an object whose events are recorded and answered by `onEvent`,
// and the stand-ins of each test.
class CommonDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                 300, 200, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner_);
        SetForegroundWindow(owner_);
        SetActiveWindow(owner_);
        ASSERT_TRUE(testsupport::PumpUntil([&] { return GetActiveWindow() == owner_; }));
        dialog_ = std::make_unique<CommonDialog>();
        dialog_->Events().OnAny([this](Host::Event& e) {
            Raised r{std::wstring(e.Name()), {}};
            for (size_t i = 0; i < e.ArgCount(); ++i)
                r.args.push_back(e.Arg(i));
            events_.push_back(r);
            if (onEvent) onEvent(r.name, e);
        });
    }
    void TearDown() override {
        dialog_.reset();
        CommonDialogs::Testing::SetDialogFunctions(nullptr);
        DestroyWindow(owner_);
    }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& e : events_)
            names.push_back(e.name);
        return names;
    }

    HWND owner_ = nullptr;
    std::unique_ptr<CommonDialog> dialog_;
    std::vector<Raised> events_;
    std::function<void(const std::wstring&, Host::Event&)> onEvent;
    // At InitDialog, the dialog's window (the hook's) is driven by `act`.
    void OnInitDialog(const std::function<void(HWND)>& act) {
        onEvent = [act](const std::wstring& name, Host::Event& e) {
            if (name != L"InitDialog") return;
            HWND dlg = static_cast<HWND>(LongToHandle(e.Arg(1).ToInt32()));
            testsupport::DrivenDialog(dlg);
            act(dlg);
        };
    }
};

// The call first, as the cases here read best.
template <class F>
void ExpectError(F&& f, int32_t number, const std::wstring& text) {
    testsupport::ExpectControlError(number, text.c_str(), f);
}

// A folder with two files, removed afterwards.
struct TempFolder {
    std::wstring path;
    TempFolder() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path = std::wstring(base) + L"cdlgtest" + std::to_wstring(GetTickCount());
        CreateDirectoryW(path.c_str(), nullptr);
        for (const wchar_t* name : {L"\\a.txt", L"\\b.txt"}) {
            HANDLE h = CreateFileW((path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   0, nullptr);
            CloseHandle(h);
        }
    }
    ~TempFolder() {
        DeleteFileW((path + L"\\a.txt").c_str());
        DeleteFileW((path + L"\\b.txt").c_str());
        RemoveDirectoryW(path.c_str());
    }
};

// Types a name into an explorer-style file dialog (from its hook window) and presses OK.
void ChooseFile(HWND hookWindow, const std::wstring& name) {
    HWND dlg = GetParent(hookWindow);
    testsupport::DrivenDialog(dlg);
    SendMessageW(dlg, CDM_SETCONTROLTEXT, cmb13, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(dlg, CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(name.c_str()));
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
}

TEST_F(CommonDialogTest, PropertiesRefuseValuesOutOfRange) {
    CommonDialog& d = *dialog_;
    EXPECT_EQ(d.MaxFileSize(), 260);
    EXPECT_EQ(d.Copies(), 1);
    EXPECT_EQ(d.PaperBin(), 7);
    EXPECT_TRUE(d.PrinterDefault());
    const std::vector<std::function<void()>> refused = {
        [&] { d.SetMaxFileSize(0); },
        [&] { d.SetFilterIndex(-1); },
        [&] { d.SetAction(0); },
        [&] { d.SetAction(11); },
        [&] { d.SetFromPage(70000); },
        [&] { d.SetToPage(-1); },
        [&] { d.SetMin(65536); },
        [&] { d.SetHelpCommand(6); },
        [&] { d.SetOrientation(3); },
        [&] { d.SetCopies(0); },
        [&] { d.SetPrintQuality(-5); },
        [&] { d.SetDuplex(4); },
        [&] { d.SetPageMargin(CommonDialog::kTop, -1); },
        [&] {
            VARIANT v;
            v.vt = VT_DISPATCH;
            v.pdispVal = nullptr;
            d.SetRootFolder(v);
        },
    };
    for (size_t i = 0; i < refused.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectError(refused[i], 380, L"Invalid property value");
    }
    d.SetToPage(65535);
    d.SetHelpCommand(261);
    EXPECT_EQ(d.ToPage(), 65535);
}

TEST_F(CommonDialogTest, OpenDialogRaisesEventsKeepsFocusAndCopiesResultsBack) {
    TempFolder folder;
    dialog_->SetHookEvents(true);
    dialog_->SetInitDir(folder.path);
    dialog_->SetFilter(L"Text|*.txt|All|*.*");
    dialog_->SetFilterIndex(2);
    dialog_->SetFlags(OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING | OFN_HIDEREADONLY);
    HWND hook = nullptr, dialogWindow = nullptr, focusFirst = nullptr, focusSecond = nullptr;
    int validations = 0;
    onEvent = [&](const std::wstring& name, Host::Event& e) {
        if (name == L"InitDialog") {
            hook = static_cast<HWND>(LongToHandle(e.Arg(1).ToInt32()));
            dialogWindow = GetParent(hook);
            ChooseFile(hook, L"a.txt");
        } else if (name == L"FileValidate" && ++validations == 1) {
            // Refused once, with the focus moved away: the dialog stays, the focus comes back.
            focusFirst = GetFocus();
            SetFocus(GetDlgItem(GetParent(hook), IDCANCEL));
            e.SetArg(3, Host::Variant::Bool(true));
            PostMessageW(GetParent(hook), WM_COMMAND, IDOK, 0);
        } else if (name == L"FileValidate") {
            focusSecond = GetFocus();
        }
    };
    ASSERT_TRUE(dialog_->ShowOpen());
    EXPECT_EQ(Names(),
              (std::vector<std::wstring>{L"InitDialog", L"FileValidate", L"FileValidate"}));
    EXPECT_EQ(events_[0].args[0].ToInt16(), 1);
    // The hook window is the system dialog's child.
    EXPECT_TRUE(dialogWindow != nullptr);
    const std::wstring file = folder.path + L"\\a.txt";
    EXPECT_EQ(events_[1].args[0].ToString(), file);
    EXPECT_EQ(events_[1].args[1].ToString(), L"a.txt");
    EXPECT_EQ(events_[1].args[2].ToInt16(), static_cast<int16_t>(folder.path.size() + 1));
    EXPECT_TRUE(focusFirst != nullptr);
    EXPECT_EQ(focusSecond, focusFirst);
    EXPECT_EQ(dialog_->FileName(), file);
    EXPECT_EQ(dialog_->FileTitle(), L"a.txt");
    EXPECT_EQ(dialog_->FileOffset(), static_cast<int16_t>(folder.path.size() + 1));
    EXPECT_EQ(dialog_->FilterIndex(), 2);
    EXPECT_EQ(dialog_->Flags() & (OFN_ENABLEHOOK | OFN_ENABLESIZING), 0);
    EXPECT_NE(dialog_->Flags() & OFN_EXPLORER, 0);
}

TEST_F(CommonDialogTest, CancelAndTooSmallBufferRaiseTheirErrors) {
    TempFolder folder;
    dialog_->SetHookEvents(true);
    dialog_->SetInitDir(folder.path);
    dialog_->SetFlags(OFN_EXPLORER);
    dialog_->SetFileName(L"keep");
    bool cancel = true;
    onEvent = [&](const std::wstring& name, Host::Event& e) {
        if (name != L"InitDialog") return;
        HWND hook = static_cast<HWND>(LongToHandle(e.Arg(1).ToInt32()));
        testsupport::DrivenDialog(GetParent(hook));
        if (cancel)
            PostMessageW(GetParent(hook), WM_COMMAND, IDCANCEL, 0);
        else
            ChooseFile(hook, L"a.txt");
    };
    EXPECT_FALSE(dialog_->ShowOpen());
    dialog_->SetCancelError(true);
    ExpectError([&] { dialog_->ShowSave(); }, 32755, L"Cancel was selected.");
    EXPECT_EQ(dialog_->FileName(), L"keep");
    cancel = false;
    dialog_->SetFileName(L"");
    dialog_->SetMaxFileSize(4);
    ExpectError([&] { dialog_->ShowOpen(); }, 20476,
                L"The buffer at which the member LpstrFile points is too small.");
    ExpectError([&] { dialog_->ShowSave(); }, 20476,
                L"The buffer at which the member lpstrFile points is too small.");
    EXPECT_EQ(dialog_->FileName(), L"");
}

// ---- stand-ins --------------------------------------------------------------------------

struct Recorded {
    OPENFILENAMEW ofn{};
    std::wstring file, filter, defExt;
    DWORD error = 0;
    BOOL result = FALSE;
    std::function<void(OPENFILENAMEW*)> during;
} g_rec;

BOOL WINAPI FakeOpen(OPENFILENAMEW* ofn) {
    g_rec.ofn = *ofn;
    g_rec.file.assign(ofn->lpstrFile, ofn->nMaxFile);
    const wchar_t* f = ofn->lpstrFilter;
    while (f && (f[0] || f[1]))
        ++f;
    g_rec.filter.assign(ofn->lpstrFilter, f ? f - ofn->lpstrFilter + 2 : 0);
    g_rec.defExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : L"<null>";
    if (g_rec.during) g_rec.during(ofn);
    return g_rec.result;
}
DWORD WINAPI FakeError() {
    return g_rec.error;
}

TEST_F(CommonDialogTest, FileStructureIsFilledSafely) {
    DialogFunctions fns;
    fns.getOpenFileName = FakeOpen;
    fns.getSaveFileName = FakeOpen;
    fns.commDlgExtendedError = FakeError;
    CommonDialogs::Testing::SetDialogFunctions(&fns);
    g_rec = {};
    // A name longer than the buffer is cut so that its terminator fits.
    dialog_->SetFileName(std::wstring(300, L'x'));
    dialog_->SetFilter(L"A|*.a");
    EXPECT_FALSE(dialog_->ShowOpen());
    EXPECT_EQ(g_rec.ofn.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(g_rec.ofn.nMaxFile, 260u);
    EXPECT_EQ(g_rec.ofn.hwndOwner, owner_);
    EXPECT_EQ(g_rec.file, std::wstring(259, L'x') + L'\0');
    EXPECT_EQ(g_rec.filter, std::wstring(L"A\0*.a\0\0", 7));
    EXPECT_EQ(g_rec.defExt, L"<null>");
    EXPECT_EQ(g_rec.ofn.lpfnHook, nullptr);
    dialog_->SetHookEvents(true);
    dialog_->ShowSave();
    EXPECT_EQ(g_rec.defExt, L"");
    EXPECT_EQ(g_rec.ofn.Flags & (OFN_ENABLEHOOK | OFN_ENABLESIZING),
              DWORD(OFN_ENABLEHOOK | OFN_ENABLESIZING));
    EXPECT_EQ(g_rec.ofn.lCustData,
              reinterpret_cast<LPARAM>(static_cast<ISubclass*>(dialog_.get())));

    // Multiple selection: the folder and the names, an empty title.
    g_rec.result = TRUE;
    dialog_->SetMaxFileSize(64);
    g_rec.during = [](OPENFILENAMEW* ofn) {
        const wchar_t chosen[] = L"C:\\dir\0one.txt\0two.txt\0";
        std::copy(std::begin(chosen), std::end(chosen), ofn->lpstrFile);
        ofn->nFileOffset = 7;
        ofn->Flags |= OFN_ENABLEHOOK;
    };
    ASSERT_TRUE(dialog_->ShowOpen());
    EXPECT_EQ(dialog_->FileName(), std::wstring(L"C:\\dir\0one.txt\0two.txt", 22));
    EXPECT_EQ(dialog_->FileTitle(), L"");
    EXPECT_EQ(dialog_->FileOffset(), 7);
    EXPECT_EQ(dialog_->Flags() & OFN_ENABLEHOOK, 0);
}

// The old-style dialog (no OFN_EXPLORER) reports through registered messages.
TEST_F(CommonDialogTest, OldStyleOpenDialogRaisesItsEvents) {
    TempFolder folder;
    dialog_->SetHookEvents(true);
    dialog_->SetInitDir(folder.path);
    OnInitDialog([](HWND dlg) {
        SetDlgItemTextW(dlg, edt1, L"b.txt");
        PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(dialog_->ShowOpen());
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog", L"FileValidate"}));
    EXPECT_EQ(events_[0].args[0].ToInt16(), 1);
    EXPECT_EQ(events_[1].args[1].ToString(), L"b.txt");
    EXPECT_EQ(dialog_->FileTitle(), L"b.txt");
}

// A sharing violation, as the explorer-style dialog reports it to the hook.
LRESULT g_shareAnswer, g_shareResult;
BOOL WINAPI PlayShareViolation(OPENFILENAMEW* ofn) {
    HWND dlg = CreateWindowW(testsupport::WindowClass(L"HookDialog", DefDlgProcW, DLGWINDOWEXTRA),
                             L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ofn->lpfnHook(dlg, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(ofn));
    OFNOTIFYW notify{};
    notify.hdr.hwndFrom = dlg;
    notify.hdr.code = CDN_SHAREVIOLATION;
    notify.lpOFN = ofn;
    wchar_t file[] = L"C:\\locked.txt";
    notify.pszFile = file;
    g_shareAnswer = ofn->lpfnHook(dlg, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
    g_shareResult = GetWindowLongPtrW(dlg, DWLP_MSGRESULT);
    DestroyWindow(dlg);
    return FALSE;
}

TEST_F(CommonDialogTest, ShareViolationRepliesThroughTheMessageResult) {
    DialogFunctions fns;
    fns.getOpenFileName = PlayShareViolation;
    fns.commDlgExtendedError = FakeError;
    CommonDialogs::Testing::SetDialogFunctions(&fns);
    g_rec.error = 0;
    dialog_->SetHookEvents(true);
    dialog_->SetFlags(OFN_EXPLORER);
    onEvent = [&](const std::wstring& name, Host::Event& e) {
        if (name == L"FileShareViolation") e.SetArg(1, Host::Variant::Int32(OFN_SHARENOWARN));
    };
    EXPECT_FALSE(dialog_->ShowOpen());
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"FileShareViolation"}));
    EXPECT_EQ(events_[0].args[0].ToString(), L"C:\\locked.txt");
    EXPECT_EQ(g_shareAnswer, OFN_SHARENOWARN);
    EXPECT_EQ(g_shareResult, OFN_SHARENOWARN);
}

struct FailureCase {
    const char* what;
    DWORD code;
    int32_t number;
    const wchar_t* text;
};

BOOL WINAPI FailOfn(OPENFILENAMEW*) {
    return FALSE;
}
BOOL WINAPI FailFont(CHOOSEFONTW*) {
    return FALSE;
}
BOOL WINAPI FailPrint(PRINTDLGW*) {
    return FALSE;
}
BOOL WINAPI FailPageSetup(PAGESETUPDLGW*) {
    return FALSE;
}
HWND WINAPI FailFind(FINDREPLACEW*) {
    return nullptr;
}

TEST_F(CommonDialogTest, FailuresRaiseTheirNumbersAndTexts) {
    DialogFunctions fns;
    fns.getOpenFileName = fns.getSaveFileName = FailOfn;
    fns.chooseFont = FailFont;
    fns.printDlg = FailPrint;
    fns.pageSetupDlg = FailPageSetup;
    fns.findText = fns.replaceText = FailFind;
    fns.commDlgExtendedError = FakeError;
    CommonDialogs::Testing::SetDialogFunctions(&fns);
    CommonDialog& d = *dialog_;
    struct Case {
        std::function<void()> show;
        DWORD code;
        int32_t number;
        std::wstring text;
    };
    const Case cases[] = {
        {[&] { d.ShowOpen(); }, FNERR_SUBCLASSFAILURE, 20478,
         L"An attempt to subclass a listbox failed due to insufficient memory."},
        {[&] { d.ShowSave(); }, FNERR_SUBCLASSFAILURE, 20478,
         L"An attempt to subclass a list box failed due to insufficient memory."},
        {[&] { d.ShowSave(); }, FNERR_INVALIDFILENAME, 20477, L"File name is invalid."},
        {[&] { d.ShowOpen(); }, CDERR_DIALOGFAILURE, 0xFFFF, L"Unexpected error."},
        {[&] { d.ShowFont(); }, CFERR_NOFONTS, 24574, L"No fonts exist."},
        {[&] { d.ShowFont(); }, CFERR_MAXLESSTHANMIN, 24573,
         L"The size specified in the nSizeMax member is less than the size specified in the "
         L"nSizeMin member."},
        {[&] { d.ShowPrinter(); }, PDERR_NODEFAULTPRN, 28663, L"A default printer does not exist."},
        {[&] { d.ShowPrinter(); }, PDERR_INITFAILURE, 28665,
         L"The PrintDlg function failed during initialization."},
        {[&] { d.ShowPageSetup(); }, PDERR_INITFAILURE, 28665,
         L"The PageSetupDlg function failed during initialization."},
        {[&] { d.ShowPageSetup(); }, PDERR_PRINTERNOTFOUND, 28660,
         L"The [devices] section of WIN.INI does not contain an entry for the printer."},
        {[&] { d.ShowFind(); }, FRERR_BUFFERLENGTHZERO, 36848,
         L"The buffer at which the member LpstrFindWhat points is invalid."},
        {[&] { d.ShowReplace(); }, FRERR_BUFFERLENGTHZERO, 36848,
         L"The buffer at which the member LpstrFindWhat and/or LpstrReplaceWith points is "
         L"invalid."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        g_rec.error = c.code;
        ExpectError(c.show, c.number, c.text);
    }
    g_rec.error = 0;
    EXPECT_FALSE(d.ShowPrinter());
    d.SetCancelError(true);
    ExpectError([&] { d.ShowPageSetup(); }, 32755, L"Cancel was selected.");
}

// ---- colour, font, folder ----------------------------------------------------------------

TEST_F(CommonDialogTest, ColorRoundTrip) {
    dialog_->SetHookEvents(true);
    dialog_->SetColor(RGB(10, 20, 30));
    dialog_->SetFlags(CC_RGBINIT);
    OnInitDialog([](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDOK, 0); });
    ASSERT_TRUE(dialog_->ShowColor());
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog"}));
    EXPECT_EQ(events_[0].args[0].ToInt16(), 3);
    EXPECT_EQ(dialog_->Color(), RGB(10, 20, 30));
    EXPECT_EQ(dialog_->Flags(), CC_RGBINIT);
}

// This system's colour dialog neither sends the colour-OK message nor takes a colour set by
// message: a stand-in plays the dialog, calling the hook as the system does.
struct DialogMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    std::wstring text;  // lParam's text for the messages that carry one
};
std::vector<DialogMessage> g_dialogMessages;
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER) {
        const bool text = msg == BFFM_SETSELECTIONW || msg == BFFM_SETSTATUSTEXTW;
        g_dialogMessages.push_back(
            {msg, wParam, lParam, text ? reinterpret_cast<const wchar_t*>(lParam) : L""});
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A window that stands for a system dialog and records what it is sent.
HWND RecordingDialog() {
    return CreateWindowW(testsupport::WindowClass(L"RecordingDialog", RecordingProc), L"", 0, 0, 0,
                         0, 0, nullptr, nullptr, nullptr, nullptr);
}

LRESULT g_hookAnswers[2];
BOOL WINAPI PlayColorDialog(CHOOSECOLORW* cc) {
    HWND dlg = RecordingDialog();
    const UINT ok = RegisterWindowMessageW(COLOROKSTRINGW);
    cc->lpfnHook(dlg, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(cc));
    cc->rgbResult = RGB(10, 20, 30);
    g_hookAnswers[0] = cc->lpfnHook(dlg, ok, 0, reinterpret_cast<LPARAM>(cc));
    cc->rgbResult = RGB(1, 2, 3);
    g_hookAnswers[1] = cc->lpfnHook(dlg, ok, 0, reinterpret_cast<LPARAM>(cc));
    DestroyWindow(dlg);
    return TRUE;
}

TEST_F(CommonDialogTest, ColorValidateKeepsTheDialogAndSetsTheNewColor) {
    DialogFunctions fns;
    fns.chooseColor = PlayColorDialog;
    CommonDialogs::Testing::SetDialogFunctions(&fns);
    g_dialogMessages.clear();
    dialog_->SetHookEvents(true);
    int validations = 0;
    onEvent = [&](const std::wstring& name, Host::Event& e) {
        if (name == L"ColorValidate" && ++validations == 1) {
            e.SetArg(0, Host::Variant::Int32(RGB(1, 2, 3)));
            e.SetArg(1, Host::Variant::Bool(true));
        }
    };
    ASSERT_TRUE(dialog_->ShowColor());
    EXPECT_EQ(Names(),
              (std::vector<std::wstring>{L"InitDialog", L"ColorValidate", L"ColorValidate"}));
    EXPECT_EQ(events_[1].args[0].ToInt32(), RGB(10, 20, 30));
    EXPECT_EQ(g_hookAnswers[0], 1);
    EXPECT_EQ(g_hookAnswers[1], 0);
    ASSERT_EQ(g_dialogMessages.size(), 1u);
    EXPECT_EQ(g_dialogMessages[0].msg, RegisterWindowMessageW(SETRGBSTRINGW));
    EXPECT_EQ(g_dialogMessages[0].lParam, LPARAM(RGB(1, 2, 3)));
    EXPECT_EQ(dialog_->Color(), RGB(1, 2, 3));
}

COLORREF g_custom[16];
BOOL WINAPI FakeColor(CHOOSECOLORW* cc) {
    std::copy_n(cc->lpCustColors, 16, g_custom);
    cc->lpCustColors[5] = RGB(9, 9, 9);
    return FALSE;
}

TEST_F(CommonDialogTest, CustomColorsStartGreyAndAreKept) {
    DialogFunctions fns;
    fns.chooseColor = FakeColor;
    fns.commDlgExtendedError = FakeError;
    CommonDialogs::Testing::SetDialogFunctions(&fns);
    g_rec.error = 0;
    EXPECT_FALSE(dialog_->ShowColor());
    EXPECT_EQ(g_custom[0], RGB(255, 255, 255));
    EXPECT_EQ(g_custom[15], RGB(15, 15, 15));
    dialog_->ShowColor();
    EXPECT_EQ(g_custom[5], RGB(9, 9, 9));
}

int CALLBACK TakeTrueTypeFace(const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM out) {
    if (!(type & TRUETYPE_FONTTYPE) || lf->lfFaceName[0] == L'@') return 1;
    *reinterpret_cast<std::wstring*>(out) = lf->lfFaceName;
    return 0;
}

// A scalable face this system has (the font dialog lists only installed faces).
std::wstring AnyTrueTypeFace() {
    std::wstring face;
    HDC dc = GetDC(nullptr);
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &lf, TakeTrueTypeFace, reinterpret_cast<LPARAM>(&face), 0);
    ReleaseDC(nullptr, dc);
    return face;
}

TEST_F(CommonDialogTest, FontRoundTripWithApply) {
    dialog_->SetHookEvents(true);
    const std::wstring face = AnyTrueTypeFace();
    ASSERT_FALSE(face.empty());
    dialog_->SetFontName(face);
    dialog_->SetFontSize(12);
    dialog_->SetFontBold(true);
    dialog_->SetFlags(CF_SCREENFONTS | CF_EFFECTS | CF_APPLY);
    OnInitDialog([](HWND dlg) {
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(psh3, 0), 0);
        PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(dialog_->ShowFont());
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog", L"FontApply"}));
    const auto& apply = events_[1].args;
    EXPECT_EQ(apply[1].ToString(), face);
    EXPECT_EQ(apply[2].ToFloat(), 12.0f);
    EXPECT_TRUE(apply[3].ToBool());
    EXPECT_EQ(dialog_->FontName(), face);
    EXPECT_EQ(dialog_->FontSize(), 12.0f);
    EXPECT_TRUE(dialog_->FontBold());
    EXPECT_EQ(dialog_->Flags() & (CF_ENABLEHOOK | CF_INITTOLOGFONTSTRUCT), 0);
}

LOGFONTW g_font;
BOOL WINAPI FakeFont(CHOOSEFONTW* cf) {
    g_font = *cf->lpLogFont;
    cf->lpLogFont->lfWeight = 600;  // semibold is not bold
    cf->iPointSize = 95;
    return TRUE;
}

TEST_F(CommonDialogTest, FontFaceIsTerminatedAndOnlyWeight700IsBold) {
    DialogFunctions fns;
    fns.chooseFont = FakeFont;
    CommonDialogs::Testing::SetDialogFunctions(&fns);
    dialog_->SetFontName(std::wstring(40, L'f'));
    dialog_->SetFontBold(true);
    ASSERT_TRUE(dialog_->ShowFont());
    EXPECT_EQ(std::wstring(g_font.lfFaceName), std::wstring(31, L'f'));
    EXPECT_EQ(g_font.lfWeight, 700);
    EXPECT_FALSE(dialog_->FontBold());
    EXPECT_EQ(dialog_->FontSize(), 9.5f);
}

// Without a root and a selection, this system's dialog returns the desktop folder.
TEST_F(CommonDialogTest, FolderBrowserReturnsTheFolderWithItsBackslash) {
    dialog_->SetFlags(BIF_RETURNONLYFSDIRS);
    OnInitDialog([](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDOK, 0); });
    ASSERT_TRUE(dialog_->ShowFolderBrowser());
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog"}));
    EXPECT_EQ(events_[0].args[0].ToInt16(), 8);
    wchar_t desktop[MAX_PATH]{};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    EXPECT_EQ(dialog_->FileName(), std::wstring(desktop) + L"\\");
    EXPECT_EQ(dialog_->FileTitle(), L"");
}

// This system's folder dialog neither selects a path it is given nor validates typed names:
// a stand-in calls the callback as the system does.
std::wstring g_folder;
int g_callbackAnswers[2];
PIDLIST_ABSOLUTE WINAPI PlayFolderDialog(BROWSEINFOW* bi) {
    HWND dlg = RecordingDialog();
    bi->lpfn(dlg, BFFM_INITIALIZED, 0, bi->lParam);
    PIDLIST_ABSOLUTE item = ILCreateFromPathW(g_folder.c_str());
    bi->lpfn(dlg, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(item), bi->lParam);
    for (int& answer : g_callbackAnswers)
        answer =
            bi->lpfn(dlg, BFFM_VALIDATEFAILEDW, reinterpret_cast<LPARAM>(L"typed"), bi->lParam);
    DestroyWindow(dlg);
    return item;
}

TEST_F(CommonDialogTest, FolderCallbackSelectsShowsAndValidates) {
    TempFolder folder;
    g_folder = folder.path;
    g_dialogMessages.clear();
    DialogFunctions fns;
    fns.browseForFolder = PlayFolderDialog;
    CommonDialogs::Testing::SetDialogFunctions(&fns);
    dialog_->SetInitDir(L"C:\\start");
    dialog_->SetFlags(BIF_STATUSTEXT | BIF_RETURNONLYFSDIRS);
    int failures = 0;
    onEvent = [&](const std::wstring& name, Host::Event& e) {
        if (name == L"FolderBrowserValidateFailed" && ++failures == 1)
            e.SetArg(1, Host::Variant::Bool(true));
    };
    ASSERT_TRUE(dialog_->ShowFolderBrowser());
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog", L"FolderBrowserValidateFailed",
                                                  L"FolderBrowserValidateFailed"}));
    EXPECT_EQ(events_[1].args[0].ToString(), L"typed");
    EXPECT_EQ(g_callbackAnswers[0], 1);
    EXPECT_EQ(g_callbackAnswers[1], 0);
    ASSERT_EQ(g_dialogMessages.size(), 3u);
    EXPECT_EQ(g_dialogMessages[0].msg, UINT(BFFM_SETSELECTIONW));
    EXPECT_EQ(g_dialogMessages[0].text, L"C:\\start");
    EXPECT_EQ(g_dialogMessages[1].msg, UINT(BFFM_SETSTATUSTEXTW));
    EXPECT_EQ(g_dialogMessages[1].text, folder.path + L"\\");
    EXPECT_EQ(g_dialogMessages[2].msg, UINT(BFFM_ENABLEOK));
    EXPECT_EQ(g_dialogMessages[2].lParam, 1);
    EXPECT_EQ(dialog_->FileName(), folder.path + L"\\");
}

// ---- find and replace ---------------------------------------------------------------------

std::wstring PropOfOwner(HWND dlg) {
    return L"commdlg_FindReplace_9_" + std::to_wstring(reinterpret_cast<uintptr_t>(dlg)) +
           L"SubclassInit";
}

TEST_F(CommonDialogTest, FindIsModelessOneAtATimeAndRaisesOneEventPerPress) {
    dialog_->SetFindWhat(std::wstring(200, L'w'));  // more than the old 128-character buffer
    HWND dlg = dialog_->ShowFind();
    ASSERT_TRUE(IsWindow(dlg));
    testsupport::DrivenDialog(dlg);
    EXPECT_EQ(dialog_->ShowFind(), nullptr);
    EXPECT_EQ(dialog_->ShowReplace(), nullptr);
    EXPECT_TRUE(GetPropW(owner_, PropOfOwner(dlg).c_str()));
    SetDlgItemTextW(dlg, edt1, L"needle");
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !events_.empty(); }));
    testsupport::PumpFor(50);
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"FindNext"}));
    EXPECT_EQ(dialog_->FindWhat(), L"needle");
    EXPECT_NE(dialog_->Flags() & FR_FINDNEXT, 0);

    // Closing the dialog ends it in the object: a new one can open.
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return dialog_->FindDialog() == nullptr; }));
    EXPECT_FALSE(GetPropW(owner_, PropOfOwner(dlg).c_str()));
    EXPECT_FALSE(IsWindow(dlg));

    // Destroying the object closes an open dialog and takes its subclass off the owner.
    const auto before = testsupport::CountGuiObjects();
    dialog_->SetFindWhat(std::wstring(300, L'w'));
    dlg = dialog_->ShowFind();
    ASSERT_TRUE(IsWindow(dlg));
    testsupport::DrivenDialog(dlg);
    wchar_t text[400]{};
    GetDlgItemTextW(dlg, edt1, text, 400);
    EXPECT_EQ(std::wstring(text).size(), 255u);
    dialog_.reset();
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_FALSE(GetPropW(owner_, PropOfOwner(dlg).c_str()));
    testsupport::PumpFor(50);
    EXPECT_EQ(testsupport::CountGuiObjects(), before);
}

// Keys reach the modeless dialog through the thread's message hook: Tab moves on from the
// edit, which on its own ignores it.
TEST_F(CommonDialogTest, FindDialogGetsItsKeysFromTheProgramsLoop) {
    dialog_->SetFindWhat(L"x");
    HWND dlg = dialog_->ShowFind();
    ASSERT_TRUE(dlg);
    testsupport::DrivenDialog(dlg);
    HWND edit = GetDlgItem(dlg, edt1);
    SetFocus(edit);
    ASSERT_EQ(GetFocus(), edit);
    PostMessageW(edit, WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(edit, WM_KEYUP, VK_TAB, 0xC0000001);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return GetFocus() != edit; }));
    EXPECT_TRUE(IsChild(dlg, GetFocus()));
}

TEST_F(CommonDialogTest, ReplaceReportsEachButtonWithBothTexts) {
    dialog_->SetHookEvents(true);
    dialog_->SetFindWhat(L"old");
    dialog_->SetReplaceWith(L"new");
    HWND dlg = dialog_->ShowReplace();
    ASSERT_TRUE(dlg);
    testsupport::DrivenDialog(dlg);
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog"}));
    EXPECT_EQ(events_[0].args[0].ToInt16(), 10);
    SetDlgItemTextW(dlg, edt2, L"newer");
    PostMessageW(dlg, WM_COMMAND, psh1, 0);  // Replace
    PostMessageW(dlg, WM_COMMAND, psh2, 0);  // Replace All
    ASSERT_TRUE(testsupport::PumpUntil([&] { return events_.size() == 3; }));
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog", L"Replace", L"ReplaceAll"}));
    EXPECT_EQ(dialog_->FindWhat(), L"old");
    EXPECT_EQ(dialog_->ReplaceWith(), L"newer");
    EXPECT_EQ(dialog_->Flags() & FR_ENABLEHOOK, 0);
}

// ---- printer, page setup, help: stand-ins (no printers here) ------------------------------

struct PrintCall {
    PRINTDLGW pd{};
    DEVMODEW dm{};
    bool haveDevMode = false;
    std::vector<std::wstring> names;  // driver, device, port
    size_t namesBytes = 0;
};
std::vector<PrintCall> g_prints;
std::function<void(PRINTDLGW*)> g_printAnswer;

void ReadBlocks(HGLOBAL devMode, HGLOBAL devNames, PrintCall& call) {
    if (devMode) {
        call.dm = *static_cast<DEVMODEW*>(GlobalLock(devMode));
        call.haveDevMode = true;
        GlobalUnlock(devMode);
    }
    if (devNames) {
        const auto* dn = static_cast<const DEVNAMES*>(GlobalLock(devNames));
        const auto* text = reinterpret_cast<const wchar_t*>(dn);
        for (WORD offset : {dn->wDriverOffset, dn->wDeviceOffset, dn->wOutputOffset})
            call.names.push_back(text + offset);
        call.namesBytes = GlobalSize(devNames);
        GlobalUnlock(devNames);
    }
}

// Blocks as the system hands them back: a device mode and the names of a printer.
HGLOBAL NewDevMode(DWORD fields, short orientation, short copies, short collate) {
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DEVMODEW));
    auto* dm = static_cast<DEVMODEW*>(GlobalLock(h));
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmFields = fields;
    dm->dmOrientation = orientation;
    dm->dmCopies = copies;
    dm->dmCollate = collate;
    GlobalUnlock(h);
    return h;
}
HGLOBAL NewDevNames(const std::wstring& driver, const std::wstring& device,
                    const std::wstring& port, WORD flags) {
    const std::wstring text = driver + L'\0' + device + L'\0' + port + L'\0';
    HGLOBAL h = GlobalAlloc(GHND, sizeof(DEVNAMES) + text.size() * sizeof(wchar_t));
    auto* dn = static_cast<DEVNAMES*>(GlobalLock(h));
    dn->wDriverOffset = 4;
    dn->wDeviceOffset = static_cast<WORD>(4 + driver.size() + 1);
    dn->wOutputOffset = static_cast<WORD>(dn->wDeviceOffset + device.size() + 1);
    dn->wDefault = flags;
    std::copy(text.begin(), text.end(), reinterpret_cast<wchar_t*>(dn) + 4);
    GlobalUnlock(h);
    return h;
}

BOOL WINAPI FakePrint(PRINTDLGW* pd) {
    PrintCall call;
    call.pd = *pd;
    ReadBlocks(pd->hDevMode, pd->hDevNames, call);
    g_prints.push_back(call);
    if (!g_printAnswer) return FALSE;
    g_printAnswer(pd);
    return TRUE;
}

std::vector<std::wstring> g_printerCalls;
BOOL WINAPI FakeGetDefaultPrinter(LPWSTR buffer, LPDWORD size) {
    wcscpy(buffer, L"Office");
    *size = 7;
    g_printerCalls.push_back(L"get");
    return TRUE;
}
BOOL WINAPI FakeSetDefaultPrinter(LPCWSTR name) {
    g_printerCalls.push_back(L"set " + std::wstring(name));
    return TRUE;
}

class PrinterTest : public CommonDialogTest {
protected:
    void SetUp() override {
        CommonDialogTest::SetUp();
        g_prints.clear();
        g_printerCalls.clear();
        g_printAnswer = nullptr;
        g_rec.error = 0;
        fns_.printDlg = FakePrint;
        fns_.commDlgExtendedError = FakeError;
        fns_.getDefaultPrinter = FakeGetDefaultPrinter;
        fns_.setDefaultPrinter = FakeSetDefaultPrinter;
        CommonDialogs::Testing::SetDialogFunctions(&fns_);
    }
    DialogFunctions fns_;
};

TEST_F(PrinterTest, OnlyTheFieldsSetArePassed) {
    CommonDialog& d = *dialog_;
    d.SetFromPage(2);
    d.SetToPage(65535);
    d.SetMax(70);
    d.SetCopies(3);
    d.SetFlags(PD_COLLATE);
    EXPECT_FALSE(d.ShowPrinter());
    d.SetOrientation(2);
    d.SetDuplex(3);
    d.SetPrinterDefaultInit(false);
    d.SetPrinterDriver(L"winspool");
    d.SetPrinterName(std::wstring(40, L'P'));
    d.SetPrinterPort(L"LPT1:");
    d.SetHookEvents(true);
    EXPECT_FALSE(d.ShowPrinter());
    ASSERT_EQ(g_prints.size(), 2u);
    const PrintCall& first = g_prints[0];
    EXPECT_EQ(first.pd.lStructSize, sizeof(PRINTDLGW));
    EXPECT_EQ(first.pd.hwndOwner, owner_);
    EXPECT_EQ(first.pd.nFromPage, 2);
    EXPECT_EQ(first.pd.nToPage, 65535);
    EXPECT_EQ(first.pd.nMaxPage, 70);
    EXPECT_EQ(first.pd.nCopies, 3);
    ASSERT_TRUE(first.haveDevMode);
    EXPECT_EQ(first.dm.dmSize, sizeof(DEVMODEW));
    EXPECT_EQ(first.dm.dmFields, DWORD(DM_COPIES | DM_COLLATE));
    EXPECT_EQ(first.dm.dmCollate, DMCOLLATE_TRUE);
    EXPECT_TRUE(first.names.empty());
    const PrintCall& second = g_prints[1];
    EXPECT_EQ(second.dm.dmFields, DWORD(DM_COPIES | DM_COLLATE | DM_ORIENTATION | DM_DUPLEX));
    EXPECT_EQ(second.dm.dmOrientation, 2);
    EXPECT_EQ(second.dm.dmDuplex, 3);
    // A device name is cut to 31 characters and its terminator; the names block holds the
    // whole names.
    EXPECT_EQ(std::wstring(second.dm.dmDeviceName), std::wstring(31, L'P'));
    EXPECT_EQ(second.names,
              (std::vector<std::wstring>{L"winspool", std::wstring(40, L'P'), L"LPT1:"}));
    EXPECT_GE(second.namesBytes, sizeof(DEVNAMES) + (9 + 41 + 6) * sizeof(wchar_t));
    EXPECT_EQ(second.pd.Flags & (PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK),
              DWORD(PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK));
    EXPECT_TRUE(second.pd.lpfnPrintHook && second.pd.lpfnSetupHook);

    d.SetFlags(PD_RETURNDEFAULT);
    d.ShowPrinter();
    EXPECT_FALSE(g_prints[2].haveDevMode);
}

TEST_F(PrinterTest, ResultsComeBackAndTheChosenPrinterBecomesDefault) {
    CommonDialog& d = *dialog_;
    d.SetHookEvents(true);
    g_printAnswer = [](PRINTDLGW* pd) {
        GlobalFree(pd->hDevMode);
        GlobalFree(pd->hDevNames);
        pd->hDevMode = NewDevMode(DM_ORIENTATION | DM_COPIES | DM_COLLATE, 2, 4, DMCOLLATE_TRUE);
        pd->hDevNames = NewDevNames(L"drv", L"Lab", L"LPT2:", 0);
        pd->Flags |= PD_USEDEVMODECOPIESANDCOLLATE;
        pd->nFromPage = 5;
        pd->nToPage = 9;
    };
    ASSERT_TRUE(d.ShowPrinter());
    EXPECT_EQ(d.Orientation(), 2);
    EXPECT_EQ(d.Copies(), 4);
    EXPECT_EQ(d.FromPage(), 5);
    EXPECT_EQ(d.ToPage(), 9);
    EXPECT_EQ(d.Flags(), PD_USEDEVMODECOPIESANDCOLLATE | PD_COLLATE);
    EXPECT_EQ(g_printerCalls, (std::vector<std::wstring>{L"get", L"set Lab"}));
    EXPECT_EQ(d.PrinterName(), L"");
    // The orientation the dialog returned counts as set from now on.
    g_printAnswer = nullptr;
    d.ShowPrinter();
    EXPECT_NE(g_prints.back().dm.dmFields & DM_ORIENTATION, 0u);

    d.SetPrinterDefault(false);
    g_printerCalls.clear();
    g_printAnswer = [](PRINTDLGW* pd) {
        GlobalFree(pd->hDevNames);
        pd->hDevNames = NewDevNames(L"drv", L"Lab", L"LPT2:", 0);
    };
    ASSERT_TRUE(d.ShowPrinter());
    EXPECT_TRUE(g_printerCalls.empty());
    EXPECT_EQ(d.PrinterDriver(), L"drv");
    EXPECT_EQ(d.PrinterName(), L"Lab");
    EXPECT_EQ(d.PrinterPort(), L"LPT2:");
    g_printAnswer = [](PRINTDLGW* pd) {
        GlobalFree(pd->hDevNames);
        pd->hDevNames = NewDevNames(L"drv", L"Main", L"LPT1:", DN_DEFAULTPRN);
    };
    ASSERT_TRUE(d.ShowPrinter());
    EXPECT_EQ(d.PrinterName(), L"");
}

TEST_F(PrinterTest, AReturnedDCReplacesAndDeletesThePreviousOne) {
    const auto before = testsupport::CountGuiObjects();
    dialog_->SetFlags(PD_RETURNDC);
    g_printAnswer = [](PRINTDLGW* pd) { pd->hDC = CreateCompatibleDC(nullptr); };
    ASSERT_TRUE(dialog_->ShowPrinter());
    const HDC first = dialog_->hDC();
    ASSERT_TRUE(dialog_->ShowPrinter());
    EXPECT_NE(dialog_->hDC(), first);
    EXPECT_EQ(testsupport::CountGuiObjects().gdi, before.gdi + 1);
    dialog_.reset();
    EXPECT_EQ(testsupport::CountGuiObjects(), before);
}

BOOL WINAPI PlayPrintHook(PRINTDLGW* pd) {
    HWND dlg = RecordingDialog();
    pd->lpfnPrintHook(dlg, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(pd));
    pd->lpfnPrintHook(dlg, WM_COMMAND, IDOK, 0);
    DestroyWindow(dlg);
    return FALSE;
}

TEST_F(PrinterTest, PrintHookRaisesInitDialog) {
    fns_.printDlg = PlayPrintHook;
    dialog_->SetHookEvents(true);
    EXPECT_FALSE(dialog_->ShowPrinter());
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog"}));
    EXPECT_EQ(events_[0].args[0].ToInt16(), 5);
}

PRINTDLGEXW g_printEx;
HRESULT g_printExResult;
HRESULT WINAPI FakePrintEx(PRINTDLGEXW* pd) {
    g_printEx = *pd;
    if (pd->lpCallback) {
        ComPtr<IPrintDialogCallback> callback;
        pd->lpCallback->QueryInterface(IID_IPrintDialogCallback, callback.PutVoid());
        LRESULT result = 0;
        HWND dlg = RecordingDialog();
        callback->HandleMessage(dlg, WM_INITDIALOG, 0, 0, &result);
        DestroyWindow(dlg);
    }
    pd->dwResultAction = PD_RESULT_CANCEL;
    return g_printExResult;
}

TEST_F(PrinterTest, PrinterExCancelsAndFailsWithItsOwnTexts) {
    fns_.printDlgEx = FakePrintEx;
    dialog_->SetHookEvents(true);
    dialog_->SetFromPage(3);
    dialog_->SetToPage(4);
    g_printExResult = S_OK;
    EXPECT_FALSE(dialog_->ShowPrinterEx());
    EXPECT_EQ(g_printEx.lStructSize, sizeof(PRINTDLGEXW));
    EXPECT_EQ(g_printEx.nPageRanges, 1u);
    EXPECT_EQ(g_printEx.nStartPage, START_PAGE_GENERAL);
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"InitDialog"}));
    EXPECT_EQ(events_[0].args[0].ToInt16(), 5);
    g_printExResult = E_INVALIDARG;
    ExpectError([&] { dialog_->ShowPrinterEx(); }, 28665,
                L"The PrintDlgEx function failed during initialization.");
    g_printExResult = E_ACCESSDENIED;
    ExpectError([&] { dialog_->ShowPrinterEx(); }, static_cast<int32_t>(E_ACCESSDENIED),
                L"Unexpected error.");
}

PAGESETUPDLGW g_pageSetup;
PrintCall g_pageSetupBlocks;
BOOL WINAPI FakePageSetup(PAGESETUPDLGW* psd) {
    g_pageSetup = *psd;
    g_pageSetupBlocks = {};
    ReadBlocks(psd->hDevMode, psd->hDevNames, g_pageSetupBlocks);
    psd->rtMargin = {100, 200, 300, 400};
    GlobalFree(psd->hDevMode);
    psd->hDevMode = NewDevMode(DM_ORIENTATION | DM_COPIES, 2, 7, 0);
    return TRUE;
}

TEST_F(PrinterTest, PageSetupPassesAndTakesMargins) {
    fns_.pageSetupDlg = FakePageSetup;
    CommonDialog& d = *dialog_;
    d.SetHookEvents(true);
    d.SetPageMargin(CommonDialog::kLeft, 10);
    d.SetPageMargin(CommonDialog::kBottomMin, 5);
    d.SetPrintQuality(300);
    d.SetPaperBin(2);
    d.SetFlags(PSD_MARGINS);
    ASSERT_TRUE(d.ShowPageSetup());
    EXPECT_EQ(g_pageSetup.lStructSize, sizeof(PAGESETUPDLGW));
    EXPECT_EQ(g_pageSetup.rtMargin.left, 10);
    EXPECT_EQ(g_pageSetup.rtMinMargin.bottom, 5);
    EXPECT_NE(g_pageSetup.Flags & PSD_ENABLEPAGESETUPHOOK, 0u);
    EXPECT_EQ(g_pageSetupBlocks.dm.dmFields, DWORD(DM_DEFAULTSOURCE));
    EXPECT_EQ(d.Flags(), PSD_MARGINS);
    EXPECT_EQ(d.PageMargin(CommonDialog::kTop), 200);
    EXPECT_EQ(d.PageMargin(CommonDialog::kBottom), 400);
    EXPECT_EQ(d.Orientation(), 2);
    EXPECT_EQ(d.Copies(), 1);  // not a page-setup field
}

struct HelpCall {
    HWND owner;
    std::wstring file;
    UINT command;
    ULONG_PTR data;
    std::wstring key;
};
std::vector<HelpCall> g_help;
BOOL g_helpResult = TRUE;
BOOL WINAPI FakeWinHelp(HWND owner, LPCWSTR file, UINT command, ULONG_PTR data) {
    const bool key = command == HELP_KEY || command == HELP_PARTIALKEY || command == HELP_COMMAND;
    g_help.push_back(
        {owner, file, command, data, key ? reinterpret_cast<const wchar_t*>(data) : L""});
    return g_helpResult;
}

TEST_F(PrinterTest, HelpCallsWindowsHelpWithTheDataOfItsCommand) {
    fns_.winHelp = FakeWinHelp;
    g_help.clear();
    g_helpResult = TRUE;
    CommonDialog& d = *dialog_;
    d.ShowHelp();
    EXPECT_TRUE(g_help.empty());
    d.SetHelpFile(L"app.hlp");
    d.SetHelpContext(42);
    d.SetHelpKey(L"topic");
    for (int32_t command : {HELP_CONTEXT, HELP_KEY, HELP_QUIT}) {
        d.SetHelpCommand(command);
        d.ShowHelp();
    }
    ASSERT_EQ(g_help.size(), 3u);
    EXPECT_EQ(g_help[0].owner, nullptr);
    EXPECT_EQ(g_help[0].file, L"app.hlp");
    EXPECT_EQ(g_help[0].data, 42u);
    EXPECT_EQ(g_help[1].key, L"topic");
    EXPECT_EQ(g_help[2].data, 0u);
    g_helpResult = FALSE;
    ExpectError([&] { d.ShowHelp(); }, 32751, L"Call to windows help failed.");
}

// A dialog asks for help through its owner: the object raises Help, and shows the help
// itself unless a handler did.
BOOL WINAPI AskForHelp(OPENFILENAMEW* ofn) {
    SendMessageW(ofn->hwndOwner, RegisterWindowMessageW(HELPMSGSTRINGW), 0x1234, 0);
    return FALSE;
}

TEST_F(PrinterTest, HelpRequestsReachTheObjectThroughTheOwner) {
    fns_.winHelp = FakeWinHelp;
    fns_.getSaveFileName = AskForHelp;
    g_help.clear();
    g_helpResult = TRUE;
    dialog_->SetHelpCommand(HELP_CONTENTS);
    dialog_->SetFlags(OFN_SHOWHELP);
    bool handled = false;
    onEvent = [&](const std::wstring&, Host::Event& e) {
        if (handled) e.SetArg(0, Host::Variant::Bool(true));
    };
    dialog_->ShowSave();
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"Help"}));
    EXPECT_EQ(events_[0].args[1].ToInt16(), 2);
    EXPECT_EQ(events_[0].args[2].ToInt32(), 0x1234);
    EXPECT_EQ(g_help.size(), 1u);
    handled = true;
    dialog_->ShowSave();
    EXPECT_EQ(g_help.size(), 1u);
    // Only while the dialog runs.
    EXPECT_FALSE(GetPropW(owner_, L"commdlg_help_2SubclassInit"));
}

// ---- on a form -------------------------------------------------------------------------------

TEST(CommonDialogOnForm, IsAnInvisibleControlWhoseEventsReachTheFormsHandlers) {
    ControlTypes::Register<CommonDialog>(CommonDialog::kTypeName);
    auto form = Host::Form::FromText(
        "PaylevixLayout 1\nBegin Form FDialogs\n    ClientWidth = 3000\n    ClientHeight = "
        "2000\nEnd\n",
        "dialogs.layout");
    form->Show();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return GetActiveWindow() == form->Hwnd(); }));
    Host::ControlSite& site = form->AddControl(CommonDialog::kTypeName, L"cdlg", 0, 0, 480, 480);
    auto& dialog = form->ControlAs<CommonDialog>(L"cdlg");
    std::vector<std::wstring> raised;
    form->On(L"cdlg", L"InitDialog", [&](Host::Event& e) {
        raised.push_back(std::wstring(e.Name()) + L" " + std::to_wstring(e.Int16Arg(0)));
    });
    form->On(L"cdlg", L"FindNext",
             [&](Host::Event& e) { raised.push_back(std::wstring(e.Name())); });
    EXPECT_FALSE(site.Control().CanGetFocus());
    ComPtr<IUnknown> object;
    dialog.Object()->QueryInterface(IID_IUnknown, object.PutVoid());
    EXPECT_EQ(object.Get(), site.Object());  // the form's object for it
    dialog.SetHookEvents(true);
    dialog.SetFindWhat(L"x");
    HWND dlg = dialog.ShowFind();
    ASSERT_TRUE(dlg);
    testsupport::DrivenDialog(dlg);
    EXPECT_EQ(GetWindow(dlg, GW_OWNER), form->Hwnd());
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return raised.size() == 2; }));
    EXPECT_EQ(raised, (std::vector<std::wstring>{L"InitDialog 9", L"FindNext"}));
    form->Unload();
    EXPECT_FALSE(IsWindow(dlg));
}

TEST(CommonDialogLateBound, MembersFromTheTableActionWriteOnly) {
    CommonDialog dialog;
    auto call = [&](const wchar_t* name, WORD flags, VARIANT* arg, VARIANT* result,
                    EXCEPINFO* error) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        EXPECT_EQ(Host::DispatchIdsOfNames(dialog, names, 1, &id), S_OK) << name;
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{arg, arg && flags == DISPATCH_PROPERTYPUT ? &named : nullptr,
                          arg ? 1u : 0u, arg && flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        return Host::DispatchInvoke(dialog, id, flags, &params, result, error, nullptr);
    };
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"a.txt");
    EXPECT_EQ(call(L"filename", DISPATCH_PROPERTYPUT, &value, nullptr, nullptr), S_OK);
    VariantClear(&value);
    EXPECT_EQ(dialog.FileName(), L"a.txt");
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(call(L"MaxFileSize", DISPATCH_PROPERTYGET, nullptr, &result, nullptr), S_OK);
    EXPECT_EQ(result.lVal, 260);
    EXCEPINFO error{};
    EXPECT_EQ(call(L"Action", DISPATCH_PROPERTYGET, nullptr, &result, &error), DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, ControlErrors::ToHResult(394));
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrSource);
    value.vt = VT_I4;
    value.lVal = 1;
    error = {};
    EXPECT_EQ(call(L"FileTitle", DISPATCH_PROPERTYPUT, &value, nullptr, &error), DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, ControlErrors::ToHResult(383));
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrSource);

    // RootFolder keeps a folder's path or a special folder's number as given.
    value.vt = VT_I2;
    value.iVal = 17;
    EXPECT_EQ(call(L"RootFolder", DISPATCH_PROPERTYPUT, &value, nullptr, nullptr), S_OK);
    EXPECT_EQ(call(L"RootFolder", DISPATCH_PROPERTYGET, nullptr, &result, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_I2);
    EXPECT_EQ(result.iVal, 17);
    value.vt = VT_DISPATCH;
    value.pdispVal = nullptr;
    error = {};
    EXPECT_EQ(call(L"RootFolder", DISPATCH_PROPERTYPUT, &value, nullptr, &error), DISP_E_EXCEPTION);
    EXPECT_EQ(error.scode, ControlErrors::ToHResult(380));
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrSource);
    // Object: the object itself.
    EXPECT_EQ(call(L"Object", DISPATCH_PROPERTYGET, nullptr, &result, nullptr), S_OK);
    ASSERT_EQ(result.vt, VT_DISPATCH);
    ComPtr<IUnknown> self, given;
    dialog.QueryInterface(IID_IUnknown, self.PutVoid());
    result.pdispVal->QueryInterface(IID_IUnknown, given.PutVoid());
    EXPECT_EQ(self.Get(), given.Get());
    VariantClear(&result);
}

// Two subclasses of one receiver on one owner: help while the find dialog is open.
TEST_F(PrinterTest, HelpWhileFindIsOpenKeepsTheFindSubclass) {
    fns_.winHelp = FakeWinHelp;
    fns_.getSaveFileName = AskForHelp;
    g_help.clear();
    dialog_->SetFindWhat(L"x");
    HWND dlg = dialog_->ShowFind();
    ASSERT_TRUE(dlg);
    testsupport::DrivenDialog(dlg);
    dialog_->SetFlags(OFN_SHOWHELP);
    dialog_->ShowSave();
    ASSERT_EQ(Names(), (std::vector<std::wstring>{L"Help"}));
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return events_.size() == 2; }));
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"Help", L"FindNext"}));
}
}  // namespace
