// Numbered errors: thrown to C++ callers, HRESULT and error information at COM boundaries,
// and back again.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "controls/base/ControlError.h"
#include "tests/support/ControlErrors.h"

using testsupport::ExpectControlError;

namespace {

struct Info {
    std::wstring description, source;
    GUID guid{};
};

// Takes the thread's error information (and so clears it).
Info TakeErrorInfo() {
    Info result;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return result;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)) && text) result.description = text;
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(info->GetSource(&text)) && text) result.source = text;
    SysFreeString(text);
    info->GetGUID(&result.guid);
    info->Release();
    return result;
}

}  // namespace

TEST(ControlError, NumbersCarryTheirStandardTexts) {
    EXPECT_EQ(ControlError(380).Description(), L"Invalid property value");
    EXPECT_EQ(ControlError(381).Description(), L"Invalid property array index");
    EXPECT_EQ(ControlError(461).Description(), L"Method or data member not found");
    EXPECT_EQ(ControlError(482).Description(), L"Printer error");
    EXPECT_EQ(ControlError(383).Description(), L"Property is read-only");
    EXPECT_EQ(ControlError(394).Description(), L"Property is write-only");
    EXPECT_EQ(ControlError(6).Description(), L"Overflow");
    EXPECT_EQ(ControlError(9).Description(), L"Subscript out of range");
    EXPECT_EQ(ControlError(53).Description(), L"File not found");
    EXPECT_EQ(ControlError(32755).Description(), L"Cancel was selected.");
    EXPECT_EQ(ControlError(380, L"Own text").Description(), L"Own text");
    ExpectControlError(382, L"MultiLine property is read-only at run time",
                       [] { ControlErrors::RaiseReadOnlyAtRunTime(L"MultiLine"); });
    EXPECT_STREQ(ControlError(382, L"MultiLine property is read-only at run time").what(),
                 "error 382: MultiLine property is read-only at run time");
}

TEST(ControlError, AtComBoundaryTurnsErrorsIntoHResultsWithErrorInformation) {
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(ControlErrors::AtComBoundary([] {}), S_OK);

    const HRESULT hr = ControlErrors::AtComBoundary([] { ControlErrors::Raise(380); },
                                                    L"Paylevix.CommandButtonW", IID_IDispatch);
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800A017C));
    EXPECT_EQ(ControlErrors::FromHResult(hr), 380);
    const Info info = TakeErrorInfo();
    EXPECT_EQ(info.description, L"Invalid property value");
    EXPECT_EQ(info.source, L"Paylevix.CommandButtonW");
    EXPECT_TRUE(IsEqualGUID(info.guid, IID_IDispatch));

    EXPECT_EQ(ControlErrors::AtComBoundary([] { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(ControlErrors::AtComBoundary([] { throw std::runtime_error("x"); }), E_FAIL);
    EXPECT_EQ(ControlErrors::FromHResult(E_FAIL), 0);
    EXPECT_EQ(ControlErrors::ToHResult(32755), static_cast<HRESULT>(0x800A7FF3));
}

TEST(ControlError, RaiseIfFailedBringsTheErrorBackToACppCaller) {
    EXPECT_NO_THROW(ControlErrors::RaiseIfFailed(S_OK));
    EXPECT_NO_THROW(ControlErrors::RaiseIfFailed(S_FALSE));

    const HRESULT hr =
        ControlErrors::AtComBoundary([] { ControlErrors::Raise(380, L"Значение вне диапазона"); });
    ExpectControlError(380, L"Значение вне диапазона", [&] { ControlErrors::RaiseIfFailed(hr); });

    SetErrorInfo(0, nullptr);
    ExpectControlError(53, L"File not found",
                       [] { ControlErrors::RaiseIfFailed(ControlErrors::ToHResult(53)); });
    ExpectControlError(7, nullptr, [] { ControlErrors::RaiseIfFailed(E_OUTOFMEMORY); });
    ExpectControlError(static_cast<int32_t>(E_INVALIDARG), nullptr,
                       [] { ControlErrors::RaiseIfFailed(E_INVALIDARG); });
}
