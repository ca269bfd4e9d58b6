#include "host/DispatchObject.h"

#include "controls/base/ControlError.h"
#include "host/ControlDescription.h"
#include "host/TypeInfo.h"

namespace Host {

ComPtr<DispatchObject> DispatchObject::Create(std::wstring typeName, std::vector<Member> members,
                                              ComPtr<IDispatch> fallback) {
    return ComPtr<DispatchObject>::Attach(
        new DispatchObject(std::move(typeName), std::move(members), std::move(fallback)));
}

DispatchObject::DispatchObject(std::wstring typeName, std::vector<Member> members,
                               ComPtr<IDispatch> fallback)
    : typeName_(std::move(typeName)),
      members_(std::move(members)),
      fallback_(std::move(fallback)) {}

void DispatchObject::Detach() {
    detached_ = true;
    // The members' captures and the fallback may hold what is going.
    members_.clear();
    fallback_ = {};
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = NamedTypeInfo(typeName_).Detach();
    return S_OK;
}

HRESULT DispatchObject::GetClassInfo(ITypeInfo** info) {
    return GetTypeInfo(0, 0, info);
}

HRESULT DispatchObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                      DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    if (detached_) return E_UNEXPECTED;
    const std::wstring_view name(names[0] ? names[0] : L"");
    for (size_t i = 0; i < members_.size(); ++i) {
        if (!MemberNameIs(name, members_[i].name)) continue;
        ids[0] = kFirstId + static_cast<DISPID>(i);
        for (UINT n = 1; n < count; ++n)
            ids[n] = DISPID_UNKNOWN;
        return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;  // members take no named arguments
    }
    if (fallback_) return fallback_->GetIDsOfNames(iid, names, count, lcid, ids);
    for (UINT n = 0; n < count; ++n)
        ids[n] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (detached_) return E_UNEXPECTED;
    const size_t index = static_cast<size_t>(id - kFirstId);
    if (id < kFirstId || index >= members_.size()) {
        return fallback_
                   ? fallback_->Invoke(id, iid, lcid, flags, params, result, exception, argError)
                   : DISP_E_MEMBERNOTFOUND;
    }
    // A copy: a member may detach this object (a method that unloads the form).
    const Member member = members_[index];
    const UINT argCount = params ? params->cArgs : 0;
    if (argCount > 0 && !params->rgvarg) return E_INVALIDARG;
    HRESULT status = DISP_E_MEMBERNOTFOUND;
    const HRESULT hr = ControlErrors::AtComBoundary([&] {
        Variant value;
        if ((flags & DISPATCH_PROPERTYGET) && member.get && argCount == 0) {
            value = member.get();
        } else if ((flags & DISPATCH_METHOD) && member.call) {
            // Arguments come last first.
            std::vector<Variant> args;
            for (UINT n = argCount; n-- > 0;)
                args.emplace_back(params->rgvarg[n]);
            value = member.call(args);
        } else if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && member.put) {
            if (argCount != 1) {
                status = DISP_E_BADPARAMCOUNT;
                return;
            }
            member.put(Variant(params->rgvarg[0]));
        } else {
            return;
        }
        status = S_OK;
        if (result) *result = value.Detach();
    });
    if (SUCCEEDED(hr)) return status;
    if (exception) {
        // The description the boundary put into the thread's error information.
        *exception = EXCEPINFO{};
        exception->scode = hr;
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.Put()) == S_OK && info) {
            info->GetDescription(&exception->bstrDescription);
            info->GetSource(&exception->bstrSource);
        }
        return DISP_E_EXCEPTION;
    }
    return hr;
}

}  // namespace Host
