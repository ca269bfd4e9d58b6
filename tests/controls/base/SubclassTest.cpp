// Window subclassing through ComCtlsBase, on real windows and real messages.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/base/ComCtlsBase.h"
#include "tests/support/TestWindow.h"
#include "tests/support/WithoutTypeInfo.h"

namespace {

struct Call {
    std::wstring receiver;
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    DWORD_PTR refData;
};

// A receiver as the controls implement it: a COM object answering ISubclass, passing on
// everything it does not handle. Every call is appended to a shared log so that order
// between receivers shows.
class Receiver : public testsupport::WithoutTypeInfo<ISubclass> {
public:
    Receiver(std::wstring name, std::vector<Call>& log) : name_(std::move(name)), log_(log) {}
    virtual ~Receiver() = default;

    std::function<bool(UINT, LRESULT&)> handle;  // true: handled, with the result
    bool answerISubclass = true;
    bool throwOnUser = false;
    ULONG refsDuringLastCall = 0;
    ULONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch ||
            (answerISubclass && iid == IID_ISubclass)) {
            *out = static_cast<ISubclass*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // owned by the test
    LRESULT STDMETHODCALLTYPE Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                      DWORD_PTR dwRefData) override {
        log_.push_back({name_, hWnd, wMsg, wParam, lParam, dwRefData});
        refsDuringLastCall = refs;
        if (throwOnUser && wMsg == WM_USER) throw std::runtime_error("receiver fault");
        LRESULT result = 0;
        if (handle && handle(wMsg, result)) return result;
        return ComCtlsBase::CallDefaultProc(hWnd, wMsg, wParam, lParam);
    }

    const std::wstring& Name() const { return name_; }

    std::vector<UINT> Messages() const {
        std::vector<UINT> out;
        for (const Call& c : log_) {
            if (c.receiver == name_) out.push_back(c.msg);
        }
        return out;
    }
    bool Saw(UINT msg) const {
        for (const Call& c : log_) {
            if (c.receiver == name_ && c.msg == msg) return true;
        }
        return false;
    }

private:
    std::wstring name_;
    std::vector<Call>& log_;
};

struct Window {
    HWND hwnd;
    explicit Window(const wchar_t* cls = L"EDIT", DWORD style = WS_POPUP | ES_AUTOHSCROLL)
        : hwnd(CreateWindowExW(0, cls, L"", style, 0, 0, 200, 30, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr)) {}
    ~Window() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
};

HANDLE Prop(HWND hwnd, const wchar_t* name) {
    return GetPropW(hwnd, name);
}

// Whether the system's subclass list of `hwnd` holds our procedure under `id`.
// (Looked up at run time: not every import library of the common controls carries it.)
bool HasSystemSubclass(HWND hwnd, UINT_PTR id) {
    using GetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
    static const auto getWindowSubclass =
        reinterpret_cast<GetWindowSubclassFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "GetWindowSubclass")));
    if (!getWindowSubclass) {
        ADD_FAILURE() << "GetWindowSubclass not found";
        return false;
    }
    DWORD_PTR ref = 0;
    return id && getWindowSubclass(hwnd, ComCtlsBase::SubclassProc, id, &ref) != FALSE;
}

}  // namespace

TEST(Subclass, AMessageReachesTheReceiverWithItsReferenceDataAndItsResultIsReturned) {
    std::vector<Call> log;
    Receiver receiver(L"r", log);
    receiver.handle = [](UINT msg, LRESULT& result) {
        if (msg != WM_USER + 5) return false;
        result = 0x1234;
        return true;
    };
    Window w;
    ASSERT_TRUE(w.hwnd);
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &receiver, 7));

    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassInit"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassID"),
              static_cast<HANDLE>(static_cast<ISubclass*>(&receiver)));
    const UINT_PTR id = ComCtlsBase::Testing::SystemSubclassId(w.hwnd);
    EXPECT_TRUE(HasSystemSubclass(w.hwnd, id));

    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER + 5, 11, 22), 0x1234);
    ASSERT_FALSE(log.empty());
    const Call& c = log.back();
    EXPECT_EQ(c.hwnd, w.hwnd);
    EXPECT_EQ(c.msg, static_cast<UINT>(WM_USER + 5));
    EXPECT_EQ(c.wParam, 11u);
    EXPECT_EQ(c.lParam, 22);
    EXPECT_EQ(c.refData, 7u);
    // The subclass procedure held a counted reference of its own during the call, and gave
    // it back.
    EXPECT_EQ(receiver.refsDuringLastCall, 2u);
    EXPECT_EQ(receiver.refs, 1u);

    ComCtlsBase::RemoveSubclass(w.hwnd);
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassInit"), nullptr);
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassID"), nullptr);
    EXPECT_FALSE(HasSystemSubclass(w.hwnd, id));
    log.clear();
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER + 5, 0, 0), 0);
    EXPECT_TRUE(log.empty());
}

TEST(Subclass, TwoPrefixesOnOneWindowAreTwoSubclassesTheLaterFirstAlsoForOneReceiver) {
    for (const bool oneReceiver : {false, true}) {
        SCOPED_TRACE(oneReceiver ? "one receiver" : "two receivers");
        std::vector<Call> log;
        Receiver first(L"first", log), other(L"second", log);
        Receiver& second = oneReceiver ? first : other;
        Window w;
        ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &first, 1));
        ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &second, 2, L"Dlg"));
        EXPECT_EQ(Prop(w.hwnd, L"DlgSubclassInit"), reinterpret_cast<HANDLE>(1));
        EXPECT_EQ(Prop(w.hwnd, L"DlgSubclassID"),
                  static_cast<HANDLE>(static_cast<ISubclass*>(&second)));
        EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassID"),
                  static_cast<HANDLE>(static_cast<ISubclass*>(&first)));
        const UINT_PTR firstId = ComCtlsBase::Testing::SystemSubclassId(w.hwnd);
        const UINT_PTR secondId = ComCtlsBase::Testing::SystemSubclassId(w.hwnd, L"Dlg");
        EXPECT_NE(firstId, secondId);

        // Each subclass keeps its own reference data.
        SendMessageW(w.hwnd, WM_USER + 1, 0, 0);
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].receiver, second.Name());
        EXPECT_EQ(log[0].refData, 2u);
        EXPECT_EQ(log[1].receiver, L"first");
        EXPECT_EQ(log[1].refData, 1u);

        // Removing one prefix leaves the other in place.
        ComCtlsBase::RemoveSubclass(w.hwnd, L"Dlg");
        EXPECT_EQ(Prop(w.hwnd, L"DlgSubclassInit"), nullptr);
        EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassInit"), reinterpret_cast<HANDLE>(1));
        EXPECT_FALSE(HasSystemSubclass(w.hwnd, secondId));
        EXPECT_TRUE(HasSystemSubclass(w.hwnd, firstId));
        log.clear();
        SendMessageW(w.hwnd, WM_USER + 1, 0, 0);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].receiver, L"first");
        EXPECT_EQ(log[0].refData, 1u);
        ComCtlsBase::RemoveSubclass(w.hwnd, L"ComCtl");  // the default prefix by name
        EXPECT_FALSE(HasSystemSubclass(w.hwnd, firstId));
        EXPECT_EQ(first.refs, 1u);
    }
}

TEST(Subclass, InstallingTwiceWithOnePrefixIsANoOpAndRemovingWhatIsNotThereIsHarmless) {
    std::vector<Call> log;
    Receiver first(L"first", log), other(L"other", log);
    Window w;
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &first, 1));
    EXPECT_FALSE(ComCtlsBase::InstallSubclass(w.hwnd, &first, 5));
    const UINT_PTR id = ComCtlsBase::Testing::SystemSubclassId(w.hwnd);
    EXPECT_FALSE(ComCtlsBase::InstallSubclass(w.hwnd, &other, 9, L"ComCtl"));
    EXPECT_EQ(ComCtlsBase::Testing::SystemSubclassId(w.hwnd), id);
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassID"),
              static_cast<HANDLE>(static_cast<ISubclass*>(&first)));

    SendMessageW(w.hwnd, WM_USER, 0, 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].receiver, L"first");
    EXPECT_EQ(log[0].refData, 1u);

    ComCtlsBase::RemoveSubclass(w.hwnd);
    ComCtlsBase::RemoveSubclass(w.hwnd);
    ComCtlsBase::RemoveSubclass(w.hwnd, L"Never");
    ComCtlsBase::RemoveSubclass(nullptr);
    EXPECT_FALSE(ComCtlsBase::InstallSubclass(nullptr, &first, 1));
    EXPECT_FALSE(ComCtlsBase::InstallSubclass(w.hwnd, nullptr, 1));
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassInit"), nullptr);

    // Only the exact marker value counts as "subclassed through us".
    SetPropW(w.hwnd, L"ComCtlSubclassInit", reinterpret_cast<HANDLE>(2));
    ComCtlsBase::RemoveSubclass(w.hwnd);
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassInit"), reinterpret_cast<HANDLE>(2));
    RemovePropW(w.hwnd, L"ComCtlSubclassInit");

    // Subclassed again after removal.
    log.clear();
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &other, 3));
    SendMessageW(w.hwnd, WM_USER, 0, 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].receiver, L"other");
    ComCtlsBase::RemoveSubclass(w.hwnd);
}

namespace {

// What the window looked like right after its window procedure finished WM_NCDESTROY.
struct AfterNcDestroy {
    HWND hwnd = nullptr;
    bool seen = false;
    HANDLE init = nullptr;
    HANDLE id = nullptr;
    bool stillSubclassed = true;
    UINT_PTR subclassId = 0;
} g_after;

LRESULT CALLBACK CallWndRetProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* m = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && m->hwnd == g_after.hwnd && m->message == WM_NCDESTROY) {
        g_after.seen = true;
        g_after.init = GetPropW(m->hwnd, L"ComCtlSubclassInit");
        g_after.id = GetPropW(m->hwnd, L"ComCtlSubclassID");
        g_after.stillSubclassed = HasSystemSubclass(m->hwnd, g_after.subclassId);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST(Subclass, DestroyingTheWindowRemovesTheSubclassButNotThePropertiesAndHidesTheDestroyMessages) {
    std::vector<Call> log;
    Receiver receiver(L"r", log);
    HWND hwnd = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(hwnd, &receiver, 1));
    g_after = {};
    g_after.hwnd = hwnd;
    g_after.subclassId = ComCtlsBase::Testing::SystemSubclassId(hwnd);
    ASSERT_NE(g_after.subclassId, 0u);
    HHOOK hook =
        SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndRetProc, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    DestroyWindow(hwnd);
    UnhookWindowsHookEx(hook);

    ASSERT_TRUE(g_after.seen);
    EXPECT_EQ(g_after.init, reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(g_after.id, static_cast<HANDLE>(static_cast<ISubclass*>(&receiver)));
    EXPECT_FALSE(g_after.stillSubclassed);
    EXPECT_FALSE(receiver.Saw(WM_DESTROY));
    EXPECT_FALSE(receiver.Saw(WM_NCDESTROY));
    EXPECT_EQ(receiver.refs, 1u);

    // The receiver's own clean-up afterwards finds nothing to do on the dead handle.
    ComCtlsBase::RemoveSubclass(hwnd);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Subclass, TheDestroyNoticeRemovesTheSubclassOfALiveWindowAndKeepsItsProperties) {
    std::vector<Call> log;
    Receiver receiver(L"r", log);
    Window w;
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &receiver, 1));
    const UINT_PTR id = ComCtlsBase::Testing::SystemSubclassId(w.hwnd);
    SendMessageW(w.hwnd, 0x0090, 0, 0);
    EXPECT_FALSE(receiver.Saw(0x0090));
    EXPECT_FALSE(HasSystemSubclass(w.hwnd, id));
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassInit"), reinterpret_cast<HANDLE>(1));
    log.clear();
    SendMessageW(w.hwnd, WM_USER, 0, 0);
    EXPECT_TRUE(log.empty());
    // RemoveSubclass still tidies the properties away.
    ComCtlsBase::RemoveSubclass(w.hwnd);
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassInit"), nullptr);
    EXPECT_EQ(Prop(w.hwnd, L"ComCtlSubclassID"), nullptr);
}

namespace {

// Drives an edit window through a fixed script and returns every answer plus its text.
std::vector<LRESULT> EditScript(HWND edit, std::wstring& text) {
    std::vector<LRESULT> r;
    r.push_back(SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Hello, world")));
    r.push_back(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    r.push_back(SendMessageW(edit, EM_SETSEL, 7, 12));
    DWORD start = 0, end = 0;
    r.push_back(SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                             reinterpret_cast<LPARAM>(&end)));
    r.push_back(start);
    r.push_back(end);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"Ünïcödé 𝄞"));
    r.push_back(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    r.push_back(SendMessageW(edit, EM_CANUNDO, 0, 0));
    r.push_back(SendMessageW(edit, WM_GETDLGCODE, 0, 0));
    r.push_back(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0));
    r.push_back(SendMessageW(edit, WM_CHAR, L'!', 0));
    wchar_t buffer[64] = {};
    r.push_back(SendMessageW(edit, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buffer)));
    text = buffer;
    return r;
}

}  // namespace

TEST(Subclass, AReceiverThatHandlesNothingLeavesTheWindowUnchanged) {
    std::vector<Call> log;
    Receiver receiver(L"r", log);
    Window plain, subclassed;
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(subclassed.hwnd, &receiver, 1));
    std::wstring plainText, subclassedText;
    const std::vector<LRESULT> expected = EditScript(plain.hwnd, plainText);
    EXPECT_EQ(EditScript(subclassed.hwnd, subclassedText), expected);
    EXPECT_EQ(subclassedText, plainText);
    EXPECT_EQ(subclassedText, L"Hello, Ünïcödé 𝄞!");
    EXPECT_TRUE(receiver.Saw(EM_REPLACESEL));
    EXPECT_TRUE(receiver.Saw(WM_CHAR));
    ComCtlsBase::RemoveSubclass(subclassed.hwnd);
}

TEST(Subclass, AnObjectThatIsNoReceiverGetsNothingAndTheWindowKeepsWorking) {
    std::vector<Call> log;
    Receiver receiver(L"r", log);
    receiver.answerISubclass = false;
    Window w;
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &receiver, 1));
    SetWindowTextW(w.hwnd, L"still an edit");
    wchar_t buffer[32] = {};
    GetWindowTextW(w.hwnd, buffer, 32);
    EXPECT_STREQ(buffer, L"still an edit");
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(receiver.refs, 1u);
    ComCtlsBase::RemoveSubclass(w.hwnd);
}

TEST(Subclass, AnExceptionOutOfAReceiverStopsAtTheSubclassProcedure) {
    std::vector<Call> log;
    Receiver receiver(L"r", log);
    receiver.throwOnUser = true;
    Window w;
    ASSERT_TRUE(ComCtlsBase::InstallSubclass(w.hwnd, &receiver, 1));
    EXPECT_EQ(SendMessageW(w.hwnd, WM_USER, 0, 0), 0);
    EXPECT_EQ(receiver.refs, 1u);  // the reference was given back on the way out
    SetWindowTextW(w.hwnd, L"alive");
    EXPECT_EQ(GetWindowTextLengthW(w.hwnd), 5);
    ComCtlsBase::RemoveSubclass(w.hwnd);
}

namespace {

std::vector<std::pair<WPARAM, LPARAM>> g_uiStateChanges;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CHANGEUISTATE) g_uiStateChanges.emplace_back(wParam, lParam);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

const wchar_t* RecordingClass() {
    return testsupport::WindowClass(L"SubclassTestRecording", RecordingProc);
}

}  // namespace

TEST(ComCtlsBase, ClearFocusCuesAsksToShowFocusRectanglesAndAccessKeys) {
    Window top(RecordingClass(), WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(top.hwnd);
    g_uiStateChanges.clear();
    ComCtlsBase::ClearFocusCues(top.hwnd);
    ASSERT_EQ(g_uiStateChanges.size(), 1u);
    EXPECT_EQ(LOWORD(g_uiStateChanges[0].first), UIS_CLEAR);
    EXPECT_EQ(HIWORD(g_uiStateChanges[0].first), UISF_HIDEFOCUS | UISF_HIDEACCEL);
    EXPECT_EQ(g_uiStateChanges[0].second, 0);
    // Where the system keeps the state, it is clear now. (Wine does not keep it: there
    // WM_QUERYUISTATE answers 0 whatever was set.)
    EXPECT_EQ(SendMessageW(top.hwnd, WM_QUERYUISTATE, 0, 0) & (UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
}
