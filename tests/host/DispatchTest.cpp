// The standard dispatch errors come alike from the host's own objects (the form object) and
// from a control's typed members.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "host/ControlSite.h"
#include "tests/host/HostTestSupport.h"
#include "tests/support/Dispatch.h"

using testsupport::I4;

namespace {

struct Call {
    HRESULT hr = S_OK;
    EXCEPINFO error{};
    VARIANT result;
};

// `args` last first, as DISPPARAMS keeps them; `named` names the first of them.
Call Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args,
            DISPID named = DISPID_UNKNOWN, bool withError = true) {
    Call call;
    VariantInit(&call.result);
    DISPPARAMS params{args.data(), named == DISPID_UNKNOWN ? nullptr : &named,
                      static_cast<UINT>(args.size()), named == DISPID_UNKNOWN ? 0u : 1u};
    call.hr = object->Invoke(id, IID_NULL, 0, flags, &params, &call.result,
                             withError ? &call.error : nullptr, nullptr);
    return call;
}

}  // namespace

TEST(Dispatch, StandardErrorsComeAlikeFromTheFormObjectAndAControl) {
    auto form = testhost::NewTestForm();
    form->Load();
    ComPtr<IDispatch> control;
    ASSERT_EQ(form->Site(L"cmdOk").Object()->QueryInterface(IID_IDispatch, control.PutVoid()),
              S_OK);
    VARIANT nothing;
    VariantInit(&nothing);
    nothing.vt = VT_UNKNOWN;  // no text, no number
    const struct {
        const char* what;
        IDispatch* object;
        const wchar_t* property;  // readable and assignable
        const wchar_t* method;    // takes at most one argument
        const wchar_t* raising;   // raises `number` when assigned or called with `arg`
        WORD raisingFlags;
        VARIANT arg;
        int32_t number;
        const wchar_t* text;
    } targets[] = {
        {"form", form->Object().Get(), L"Caption", L"ValidateControls", L"Caption",
         DISPATCH_PROPERTYPUT, nothing, 13, L"Type mismatch"},
        {"control", control.Get(), L"Enabled", L"Fail", L"Fail", DISPATCH_METHOD, I4(3), 380,
         L"Invalid property value"},
    };
    for (const auto& t : targets) {
        SCOPED_TRACE(t.what);
        auto idOf = [&](const wchar_t* name) {
            LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
            DISPID id = 0;
            EXPECT_EQ(t.object->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
            return id;
        };
        // Names: an unknown one, and a named argument after a known one.
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"NoSuchMember"), const_cast<LPOLESTR>(L"x")};
        DISPID ids[2] = {0, 0};
        EXPECT_EQ(t.object->GetIDsOfNames(IID_NULL, names, 1, 0, ids), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], DISPID_UNKNOWN);
        names[0] = const_cast<LPOLESTR>(t.property);
        EXPECT_EQ(t.object->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids[0], idOf(t.property));
        EXPECT_EQ(ids[1], DISPID_UNKNOWN);

        const DISPID property = idOf(t.property), method = idOf(t.method);
        const struct {
            const char* what;
            DISPID id;
            WORD flags;
            std::vector<VARIANT> args;
            DISPID named;
            HRESULT hr;
        } cases[] = {
            {"no such member",
             12345,
             DISPATCH_PROPERTYGET,
             {},
             DISPID_UNKNOWN,
             DISP_E_MEMBERNOTFOUND},
            {"read with an argument",
             property,
             DISPATCH_PROPERTYGET,
             {I4(1)},
             DISPID_UNKNOWN,
             DISP_E_BADPARAMCOUNT},
            {"assigned two values",
             property,
             DISPATCH_PROPERTYPUT,
             {I4(1), I4(2)},
             DISPID_PROPERTYPUT,
             DISP_E_BADPARAMCOUNT},
            {"assigned nothing",
             property,
             DISPATCH_PROPERTYPUT,
             {},
             DISPID_UNKNOWN,
             DISP_E_BADPARAMCOUNT},
            {"named argument", method, DISPATCH_METHOD, {I4(1)}, 0, DISP_E_NONAMEDARGS},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            Call call = Invoke(t.object, c.id, c.flags, c.args, c.named);
            EXPECT_EQ(call.hr, c.hr);
            EXPECT_EQ(call.result.vt, VT_EMPTY);
        }

        // A member's error: in the EXCEPINFO, or as its HRESULT with the error information.
        const DISPID raising = idOf(t.raising);
        const DISPID named =
            t.raisingFlags == DISPATCH_PROPERTYPUT ? DISPID_PROPERTYPUT : DISPID_UNKNOWN;
        Call call = Invoke(t.object, raising, t.raisingFlags, {t.arg}, named);
        EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(call.error.scode, static_cast<SCODE>(0x800A0000 | t.number));
        EXPECT_STREQ(call.error.bstrDescription, t.text);
        SysFreeString(call.error.bstrDescription);
        SysFreeString(call.error.bstrSource);
        call = Invoke(t.object, raising, t.raisingFlags, {t.arg}, named, false);
        EXPECT_EQ(call.hr, ControlErrors::ToHResult(t.number));
        ComPtr<IErrorInfo> info;
        ASSERT_EQ(GetErrorInfo(0, info.Put()), S_OK);
        BSTR description = nullptr;
        info->GetDescription(&description);
        EXPECT_STREQ(description, t.text);
        SysFreeString(description);
    }
    form->Unload();
}
