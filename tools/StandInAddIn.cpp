#include "tools/StandInAddIn.h"

namespace {

enum : DISPID { kInstalled = 1, kName, kFullName, kPath };

constexpr StandInDispatch::Member kMembers[] = {
    {L"Installed", kInstalled}, {L"Name", kName}, {L"FullName", kFullName}, {L"Path", kPath}};

}  // namespace

StandInAddIn::StandInAddIn(std::wstring name, std::wstring fullName)
    : StandInDispatch(kMembers), name_(std::move(name)), fullName_(std::move(fullName)) {}

HRESULT StandInAddIn::Serve(DISPID id, Call& call) {
    HRESULT hr = S_OK;
    if (id == kInstalled && call.IsPut()) {
        if (FAILED(hr = call.CheckArguments(0))) return hr;
        VARIANT value;
        if (FAILED(hr = call.Argument(0, VT_BOOL, value))) return hr;
        const bool installed = V_BOOL(&value) != VARIANT_FALSE;
        call.Describe(installed ? L" = True" : L" = False");
        if (FAILED(hr = call.Fault(L"Installed"))) return hr;
        if (!StandInConfig::WriteInstalled(call.Settings(), name_, installed))
            return call.Raise(E_FAIL, L"The state of add-in " + name_ + L" cannot be stored in " +
                                          StandInConfig::StateFile(call.Settings()));
        return S_OK;
    }
    // Everything else is read-only.
    if (call.IsPut() || !call.IsGet()) return DISP_E_MEMBERNOTFOUND;
    if (FAILED(hr = call.CheckArguments(0))) return hr;
    const wchar_t* member = id == kInstalled  ? L"Installed"
                            : id == kName     ? L"Name"
                            : id == kFullName ? L"FullName"
                                              : L"Path";
    if (FAILED(hr = call.Fault(member))) return hr;
    VARIANT result;
    VariantInit(&result);
    const size_t slash = fullName_.find_last_of(L'\\');
    switch (id) {
        case kInstalled:
            V_VT(&result) = VT_BOOL;
            V_BOOL(&result) =
                StandInConfig::ReadInstalled(call.Settings(), name_) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case kName:
            V_VT(&result) = VT_BSTR;
            V_BSTR(&result) = SysAllocString(fullName_.substr(slash + 1).c_str());
            break;
        case kFullName:
            V_VT(&result) = VT_BSTR;
            V_BSTR(&result) = SysAllocString(fullName_.c_str());
            break;
        default:
            V_VT(&result) = VT_BSTR;
            V_BSTR(&result) = SysAllocString(fullName_.substr(0, slash).c_str());
            break;
    }
    call.SetResult(result);
    return S_OK;
}
