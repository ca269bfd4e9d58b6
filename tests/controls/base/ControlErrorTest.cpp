// Numbered errors: thrown to C++ callers, HRESULT and error information at COM boundaries,
// and back again.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <set>
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
    // Every named number has a text of its own; one without a name has none.
    using namespace ControlErrors;
    const int32_t named[] = {kInvalidProcedureCall,
                             kOverflow,
                             kOutOfMemory,
                             kSubscriptOutOfRange,
                             kTypeMismatch,
                             kFileNotFound,
                             kPathFileAccess,
                             kObjectNotSet,
                             kInvalidPropertyValue,
                             kInvalidPropertyArrayIndex,
                             kReadOnlyAtRunTime,
                             kReadOnly,
                             kWriteOnly,
                             kMemberNotFound,
                             kPrinterError,
                             kCancelSelected};
    std::set<std::wstring> texts;
    for (int32_t number : named) {
        const std::wstring text = ControlError(number).Description();
        EXPECT_FALSE(text.empty()) << number;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(named));
    EXPECT_TRUE(ControlError(12345).Description().empty());
    EXPECT_EQ(ControlError(380).Description(), L"Invalid property value");
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
