// The spreadsheet automation stand-in, driven as the real server it is: created through COM
// in the project's prefix, called through IDispatch, its journal and state read back.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/base/Handles.h"
#include "controls/base/ComPtr.h"
#include "tests/support/Process.h"
#include "tests/tools/StandInWorld.h"
#include "tools/StandInConfig.h"
#include "tests/support/Dispatch.h"

using standin::StandInWorld;
using Lines = std::vector<std::wstring>;

namespace {

// One IDispatch call with everything the server answers.
struct Answer {
    HRESULT hr = E_UNEXPECTED;
    VARIANT result;
    OwnedExcepInfo excepInfo;
    UINT argErr = 0xFFFF;
    Answer() { VariantInit(&result); }
    ~Answer() { VariantClear(&result); }
    std::wstring Text() const { return V_VT(&result) == VT_BSTR ? V_BSTR(&result) : L"?"; }
    std::wstring Description() const {
        return excepInfo.bstrDescription ? excepInfo.bstrDescription : L"";
    }
    ComPtr<IDispatch> Object() const {
        return V_VT(&result) == VT_DISPATCH ? ComPtr<IDispatch>(V_DISPATCH(&result))
                                            : ComPtr<IDispatch>();
    }
};

DISPID Id(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// `args` in the caller's order; a put passes its value as the only argument.
void Invoke(Answer& answer, IDispatch* object, DISPID id, WORD flags,
            std::vector<VARIANT> args = {}, bool namedPut = true) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      static_cast<UINT>(reversed.size()), 0};
    if ((flags & DISPATCH_PROPERTYPUT) && namedPut) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    answer.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &answer.result,
                               &answer.excepInfo, &answer.argErr);
}

void Invoke(Answer& answer, IDispatch* object, const wchar_t* name, WORD flags,
            std::vector<VARIANT> args = {}) {
    Invoke(answer, object, Id(object, name), flags, std::move(args));
}

struct Bstr {
    VARIANT v;
    explicit Bstr(const wchar_t* text) {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
    }
    ~Bstr() { VariantClear(&v); }
};

ComPtr<IDispatch> Create(HRESULT* result = nullptr) {
    ComPtr<IDispatch> object;
    const HRESULT hr = CoCreateInstance(StandInConfig::kClsid, nullptr, CLSCTX_LOCAL_SERVER,
                                        IID_IDispatch, object.PutVoid());
    if (result) *result = hr;
    return object;
}

void Touch(const std::wstring& path) {
    testsupport::WriteFileBytes(path, "workbook");
}

constexpr WORD kGet = DISPATCH_PROPERTYGET | DISPATCH_METHOD;

}  // namespace

TEST(StandInRegistration, TheProgIdNamesTheStandInAndIsNeverTakenFromAnotherClass) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(StandInConfig::kProgId, &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, StandInConfig::kClsid));
    const std::wstring server = standin::ServerPath();
    ASSERT_TRUE(testsupport::FileExists(server)) << server;

    // Registering again over the own registration succeeds; over another class's it refuses
    // and leaves that registration alone.
    testsupport::ChildProcess reg;
    ASSERT_TRUE(reg.Start(L"\"" + server + L"\" /RegServer"));
    EXPECT_EQ(reg.Wait(15000), 0);
    const std::wstring key = std::wstring(StandInConfig::kProgId) + L"\\CLSID";
    const wchar_t other[] = L"{00000000-1111-2222-3333-444444444444}";
    ASSERT_EQ(RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, other, sizeof(other)),
              ERROR_SUCCESS);
    ASSERT_TRUE(reg.Start(L"\"" + server + L"\" /RegServer"));
    const long refused = reg.Wait(15000);
    wchar_t value[64] = L"";
    LONG size = sizeof(value);
    RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), value, &size);
    RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, StandInConfig::kClsidText,
                 sizeof(StandInConfig::kClsidText));
    EXPECT_EQ(refused, 2);
    EXPECT_STREQ(value, other);
}

TEST(StandInDispatch, BadRequestsGetTheStandardErrorsAndTheServerSurvivesThem) {
    StandInWorld world(L"standin-dispatch");
    Touch(world.addIns + L"\\B.xla");
    Touch(world.addIns + L"\\a.xla");
    Touch(world.addIns + L"\\c.xlam");                               // not a workbook it lists
    CreateDirectoryW((world.addIns + L"\\d.xla").c_str(), nullptr);  // nor a folder
    ComPtr<IDispatch> app = Create();
    ASSERT_TRUE(app);

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    DISPID id = 0;
    EXPECT_EQ(app->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    const DISPID addIns = Id(app.Get(), L"aDDiNS");  // names are not case-sensitive
    EXPECT_NE(addIns, DISPID_UNKNOWN);
    {
        Answer a;
        Invoke(a, app.Get(), 12345, kGet);
        EXPECT_EQ(a.hr, DISP_E_MEMBERNOTFOUND);
    }
    {
        Answer a;
        Invoke(a, app.Get(), addIns, kGet);
        EXPECT_EQ(a.hr, DISP_E_BADPARAMCOUNT);
    }
    {
        Bstr one(L"a"), two(L"b");
        Answer a;
        Invoke(a, app.Get(), addIns, kGet, {one.v, two.v});
        EXPECT_EQ(a.hr, DISP_E_BADPARAMCOUNT);
    }
    {
        // An array is no name and no position.
        SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
        VARIANT v;
        V_VT(&v) = VT_ARRAY | VT_I4;
        V_ARRAY(&v) = array;
        Answer a;
        Invoke(a, app.Get(), addIns, kGet, {v});
        EXPECT_EQ(a.hr, DISP_E_TYPEMISMATCH);
        EXPECT_EQ(a.argErr, 0u);
        VariantClear(&v);
    }
    {
        Answer a;
        Invoke(a, app.Get(), L"Path", DISPATCH_PROPERTYPUT, {testsupport::I4(1)});
        EXPECT_EQ(a.hr, DISP_E_MEMBERNOTFOUND);
        Answer b;
        Invoke(b, app.Get(), L"Quit", DISPATCH_PROPERTYGET);
        EXPECT_EQ(b.hr, DISP_E_MEMBERNOTFOUND);
    }
    {
        Bstr missing(L"Missing");
        Answer a;
        Invoke(a, app.Get(), addIns, kGet, {missing.v});
        EXPECT_EQ(a.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(a.excepInfo.scode, StandInConfig::kAddInNotFound);
        EXPECT_NE(a.Description().find(L"\"Missing\""), std::wstring::npos) << a.Description();
        EXPECT_NE(a.Description().find(world.addIns), std::wstring::npos) << a.Description();
    }
    // By name without regard to case, and by position in name order.
    {
        Bstr name(L"b");
        Answer a;
        Invoke(a, app.Get(), addIns, kGet, {name.v});
        ASSERT_EQ(a.hr, S_OK);
        Answer fullName;
        Invoke(fullName, a.Object().Get(), L"FullName", kGet);
        EXPECT_EQ(fullName.Text(), world.addIns + L"\\B.xla");
        const DISPID installed = Id(a.Object().Get(), L"Installed");
        Answer notNamed;  // a put without the value named as such
        Invoke(notNamed, a.Object().Get(), installed, DISPATCH_PROPERTYPUT,
               {testsupport::Bool(true)}, false);
        EXPECT_EQ(notNamed.hr, DISP_E_PARAMNOTOPTIONAL);
        Bstr text(L"not a boolean");
        Answer wrongType;
        Invoke(wrongType, a.Object().Get(), installed, DISPATCH_PROPERTYPUT, {text.v});
        EXPECT_EQ(wrongType.hr, DISP_E_TYPEMISMATCH);
    }
    for (LONG index = 1; index <= 3; ++index) {
        Answer a;
        Invoke(a, app.Get(), addIns, kGet, {testsupport::I4(index)});
        if (index == 3) {
            EXPECT_EQ(a.hr, DISP_E_EXCEPTION);
            continue;
        }
        ASSERT_EQ(a.hr, S_OK);
        Answer name;
        Invoke(name, a.Object().Get(), L"Name", kGet);
        EXPECT_EQ(name.Text(), index == 1 ? L"a.xla" : L"B.xla");
    }
    Answer name;
    Invoke(name, app.Get(), L"Name", kGet);
    EXPECT_EQ(name.hr, S_OK);
    EXPECT_EQ(name.Text(), L"Paylevix spreadsheet stand-in");

    Answer quit;
    Invoke(quit, app.Get(), L"Quit", DISPATCH_METHOD);
    EXPECT_EQ(quit.hr, S_OK);
    // As the real application does, it stays until its client lets go of it.
    Answer afterQuit;
    Invoke(afterQuit, app.Get(), L"Name", kGet);
    EXPECT_EQ(afterQuit.hr, S_OK);
    app.Reset();
    ASSERT_TRUE(world.WaitForExit());
    const Lines journal = world.Journal();
    ASSERT_GE(journal.size(), 7u);
    EXPECT_EQ(journal[0], L"start embedding");
    EXPECT_EQ(journal[1], L"create");
    EXPECT_EQ(journal[2], L"GetIDsOfNames(NoSuchMember) -> error 0x80020006");
    EXPECT_EQ(journal[3], L"Invoke(12345) -> error 0x80020003");
    EXPECT_EQ(journal[4], L"AddIns -> error 0x8002000E");
    EXPECT_EQ(journal.end()[-4], L"Quit");
    EXPECT_EQ(journal.end()[-3], L"Name");
    EXPECT_EQ(journal.end()[-2], L"release");
    EXPECT_EQ(journal.end()[-1], L"exit");
}

TEST(StandInState, InstalledPersistsBetweenRunsAndPathIsAnExistingProgramFolder) {
    StandInWorld world(L"standin-state");
    Touch(world.addIns + L"\\Paylevix.xla");
    Bstr name(L"Paylevix");
    {
        ComPtr<IDispatch> app = Create();
        ASSERT_TRUE(app);
        Answer addIn, before, put, path, quit;
        Invoke(addIn, app.Get(), L"AddIns", kGet, {name.v});
        ASSERT_EQ(addIn.hr, S_OK);
        Invoke(before, addIn.Object().Get(), L"Installed", kGet);
        EXPECT_EQ(V_VT(&before.result), VT_BOOL);
        EXPECT_EQ(V_BOOL(&before.result), VARIANT_FALSE);
        Invoke(put, addIn.Object().Get(), L"Installed", DISPATCH_PROPERTYPUT,
               {testsupport::Bool(true)});
        EXPECT_EQ(put.hr, S_OK);
        Invoke(path, app.Get(), L"Path", kGet);
        EXPECT_EQ(path.Text(), world.programFolder);
        Invoke(quit, app.Get(), L"Quit", DISPATCH_METHOD);
        EXPECT_EQ(quit.hr, S_OK);
    }
    ASSERT_TRUE(world.WaitForExit());
    EXPECT_TRUE(world.Installed(L"Paylevix"));

    // A second run sees it; its Path is the stand-in's own folder when the test names none.
    world.settings.programFolder.clear();
    world.Apply();
    {
        ComPtr<IDispatch> app = Create();
        ASSERT_TRUE(app);
        Answer addIn, installed, put, path;
        Invoke(addIn, app.Get(), L"AddIns", kGet, {name.v});
        Invoke(installed, addIn.Object().Get(), L"Installed", kGet);
        EXPECT_EQ(V_BOOL(&installed.result), VARIANT_TRUE);
        Invoke(put, addIn.Object().Get(), L"Installed", DISPATCH_PROPERTYPUT,
               {testsupport::Bool(false)});
        Invoke(path, app.Get(), L"Path", kGet);
        ASSERT_EQ(path.hr, S_OK);
        const std::wstring folder = path.Text();
        EXPECT_EQ(folder, StandInConfig::DefaultProgramFolder());
        EXPECT_NE(folder.back(), L'\\');
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES &&
                    (attributes & FILE_ATTRIBUTE_DIRECTORY));
        // No Quit: the last release ends the process.
    }
    ASSERT_TRUE(world.WaitForExit());
    EXPECT_FALSE(world.Installed(L"Paylevix"));
    EXPECT_EQ(world.Journal(),
              (Lines{L"start embedding", L"create", L"AddIns(Paylevix)", L"Paylevix.Installed",
                     L"Paylevix.Installed = True", L"Path", L"Quit", L"release", L"exit",
                     L"start embedding", L"create", L"AddIns(Paylevix)", L"Paylevix.Installed",
                     L"Paylevix.Installed = False", L"Path", L"release", L"exit"}));
}

TEST(StandInFaults, CreationAndMembersFailAsTheTestChose) {
    StandInWorld world(L"standin-faults");
    Touch(world.addIns + L"\\Paylevix.xla");
    world.settings.failCreate = REGDB_E_CLASSNOTREG;
    world.Apply();
    HRESULT hr = S_OK;
    EXPECT_FALSE(Create(&hr));
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    ASSERT_TRUE(world.WaitForExit());

    world.settings.failCreate = S_OK;
    world.settings.faults[L"Path"] = {static_cast<HRESULT>(0x800A03EC), L"Путь недоступен"};
    world.settings.faults[L"AddIns"] = {E_ACCESSDENIED, L""};
    world.settings.faults[L"Quit"] = {E_FAIL, L"Не закрывается"};
    world.Apply();
    {
        ComPtr<IDispatch> app = Create();
        ASSERT_TRUE(app);
        Answer path, addIns, quit, name;
        Invoke(path, app.Get(), L"Path", kGet);
        EXPECT_EQ(path.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(path.excepInfo.scode, static_cast<HRESULT>(0x800A03EC));
        EXPECT_EQ(path.Description(), L"Путь недоступен");
        Bstr addInName(L"Paylevix");
        // Without a description the call answers the HRESULT itself.
        Invoke(addIns, app.Get(), L"AddIns", kGet, {addInName.v});
        EXPECT_EQ(addIns.hr, E_ACCESSDENIED);
        Invoke(quit, app.Get(), L"Quit", DISPATCH_METHOD);
        EXPECT_EQ(quit.hr, DISP_E_EXCEPTION);
        // A Quit that failed left the server up.
        Invoke(name, app.Get(), L"Name", kGet);
        EXPECT_EQ(name.hr, S_OK);
    }
    ASSERT_TRUE(world.WaitForExit());
    EXPECT_EQ(world.Journal(), (Lines{L"start embedding", L"create -> error 0x80040154", L"exit",
                                      L"start embedding", L"create", L"Path -> error 0x800A03EC",
                                      L"AddIns(Paylevix) -> error 0x80070005",
                                      L"Quit -> error 0x80004005", L"Name", L"release", L"exit"}));
}

TEST(StandInRunning, OnlyTheRunningModeIsTheActiveObject) {
    StandInWorld world(L"standin-running");
    // An instance created through COM is not the active object.
    ComPtr<IDispatch> created = Create();
    ASSERT_TRUE(created);
    IUnknown* active = nullptr;
    EXPECT_EQ(GetActiveObject(StandInConfig::kClsid, nullptr, &active), MK_E_UNAVAILABLE);
    created.Reset();
    ASSERT_TRUE(world.WaitForExit());

    {
        standin::RunningStandIn running;
        ASSERT_TRUE(running.Start());
        auto object = ComPtr<IUnknown>::Attach(standin::ActiveObject());
        ASSERT_TRUE(object);
        ComPtr<IDispatch> app = object.As<IDispatch>(IID_IDispatch);
        ASSERT_TRUE(app);
        Answer name;
        Invoke(name, app.Get(), L"Name", kGet);
        EXPECT_EQ(name.Text(), L"Paylevix spreadsheet stand-in");
        app.Reset();
        object.Reset();
        EXPECT_TRUE(running.Running());  // the clients' releases do not end it
        EXPECT_EQ(running.Stop(), 0);
    }
    EXPECT_EQ(GetActiveObject(StandInConfig::kClsid, nullptr, &active), MK_E_UNAVAILABLE);

    // Quit ends it as well.
    standin::RunningStandIn running;
    ASSERT_TRUE(running.Start());
    {
        auto object = ComPtr<IUnknown>::Attach(standin::ActiveObject());
        ComPtr<IDispatch> app = object.As<IDispatch>(IID_IDispatch);
        ASSERT_TRUE(app);
        Answer quit;
        Invoke(quit, app.Get(), L"Quit", DISPATCH_METHOD);
        EXPECT_EQ(quit.hr, S_OK);
    }
    ASSERT_TRUE(world.WaitForExit());
    EXPECT_EQ(world.Journal(),
              (Lines{L"start embedding", L"create", L"release", L"exit", L"start running", L"Name",
                     L"release", L"exit", L"start running", L"Quit", L"release", L"exit"}));
}
