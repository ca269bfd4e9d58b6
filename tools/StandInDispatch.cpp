#include "tools/StandInDispatch.h"

#include "tools/StandInJournal.h"
#include "tools/StandInServer.h"

namespace {

constexpr wchar_t kSource[] = L"Paylevix spreadsheet stand-in";

}  // namespace

StandInDispatch::StandInDispatch(std::span<const Member> members) : members_(members) {
    StandInServer::ObjectCreated();
}

StandInDispatch::~StandInDispatch() {
    StandInServer::ObjectDestroyed();
}

HRESULT StandInDispatch::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                       DISPID* ids) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0) return E_INVALIDARG;
    // Only the member name is resolved: no member takes named arguments.
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (names[0]) {
        for (const Member& member : members_) {
            if (CompareStringOrdinal(names[0], -1, member.name, -1, TRUE) == CSTR_EQUAL) {
                ids[0] = member.id;
                break;
            }
        }
    }
    if (ids[0] == DISPID_UNKNOWN) {
        StandInJournal::Append(StandInConfig::Read().journal,
                               L"GetIDsOfNames(" + std::wstring(names[0] ? names[0] : L"") + L")" +
                                   StandInJournal::ErrorSuffix(DISP_E_UNKNOWNNAME));
        return DISP_E_UNKNOWNNAME;
    }
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT StandInDispatch::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    if (result) VariantInit(result);
    const Member* found = nullptr;
    for (const Member& member : members_) {
        if (member.id == id) found = &member;
    }
    Call call(flags, params, result, excepInfo, argErr,
              found ? JournalPrefix() + found->name
                    : JournalPrefix() + L"Invoke(" + std::to_wstring(id) + L")");
    if (!found) return call.Finish(DISP_E_MEMBERNOTFOUND);
    return call.Finish(Serve(id, call));
}

StandInDispatch::Call::Call(WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                            UINT* argErr, std::wstring text)
    : flags_(flags),
      params_(params),
      result_(result),
      excepInfo_(excepInfo),
      argErr_(argErr),
      text_(std::move(text)),
      settings_(StandInConfig::Read()) {}

HRESULT StandInDispatch::Call::CheckArguments(UINT count) const {
    if (IsPut()) {
        if (params_->cNamedArgs != 1 || !params_->rgdispidNamedArgs ||
            params_->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTOPTIONAL;
        ++count;
    } else if (params_->cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    if (params_->cArgs != count) return DISP_E_BADPARAMCOUNT;
    if (count && !params_->rgvarg) return E_INVALIDARG;
    return S_OK;
}

UINT StandInDispatch::Call::Position(UINT index) const {
    // Arguments come last-first; the value of a put is the named argument at position 0.
    if (IsPut()) return index == 0 ? 0 : params_->cArgs - index;
    return params_->cArgs - 1 - index;
}

const VARIANT& StandInDispatch::Call::RawArgument(UINT index) const {
    const VARIANT& arg = params_->rgvarg[Position(index)];
    if (V_VT(&arg) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&arg)) return *V_VARIANTREF(&arg);
    return arg;
}

HRESULT StandInDispatch::Call::Argument(UINT index, VARTYPE type, VARIANT& value) const {
    VariantInit(&value);
    if (FAILED(VariantChangeType(&value, &params_->rgvarg[Position(index)], 0, type))) {
        if (argErr_) *argErr_ = Position(index);
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

HRESULT StandInDispatch::Call::Fault(const wchar_t* member) {
    const auto fault = settings_.faults.find(member);
    if (fault == settings_.faults.end()) return S_OK;
    return Raise(fault->second.hr, fault->second.description);
}

HRESULT StandInDispatch::Call::Raise(HRESULT hr, const std::wstring& description) {
    raised_ = hr;
    if (description.empty() || !excepInfo_) return hr;
    *excepInfo_ = {};
    excepInfo_->bstrSource = SysAllocString(kSource);
    excepInfo_->bstrDescription = SysAllocString(description.c_str());
    excepInfo_->scode = hr;
    return DISP_E_EXCEPTION;
}

void StandInDispatch::Call::SetResult(VARIANT& value) {
    if (result_) {
        *result_ = value;
    } else {
        VariantClear(&value);
    }
    VariantInit(&value);
}

HRESULT StandInDispatch::Call::Finish(HRESULT hr) {
    std::wstring line = text_;
    if (FAILED(hr)) line += StandInJournal::ErrorSuffix(hr == DISP_E_EXCEPTION ? raised_ : hr);
    StandInJournal::Append(settings_.journal, line);
    return hr;
}
