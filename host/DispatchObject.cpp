#include "host/DispatchObject.h"

#include <cstdint>

#include "host/ControlDescription.h"
#include "host/DispatchCall.h"
#include "host/TypeInfo.h"

namespace Host {

namespace {
// Methods take any number of arguments, each as given: the member decides what it accepts.
constexpr DispatchCall::Signature kAnyArguments{{}, 0, 0, true};
}  // namespace

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
    if (detached_) return E_UNEXPECTED;
    const HRESULT hr =
        DispatchCall::IdsOfNames(names, count, ids, [&](std::wstring_view name) -> DISPID {
            for (size_t i = 0; i < members_.size(); ++i)
                if (MemberNameIs(name, members_[i].name)) return kFirstId + static_cast<DISPID>(i);
            return DISPID_UNKNOWN;
        });
    // The fallback object answers the names this table lacks.
    if (hr == DISP_E_UNKNOWNNAME && ids[0] == DISPID_UNKNOWN && fallback_) {
        return fallback_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (detached_) return E_UNEXPECTED;
    // Unsigned: an identifier below the base wraps past the end of the table.
    const size_t index = static_cast<uint32_t>(id) - static_cast<uint32_t>(kFirstId);
    if (index >= members_.size()) {
        return fallback_
                   ? fallback_->Invoke(id, iid, lcid, flags, params, result, exception, argError)
                   : DISP_E_MEMBERNOTFOUND;
    }
    // A copy: a member may detach this object (a method that unloads the form).
    const Member member = members_[index];
    DISPPARAMS none{};
    const DISPPARAMS& given = params ? *params : none;
    return DispatchCall::Run(result, exception, [&]() -> HRESULT {
        const bool assign = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
        DispatchCall::Arguments args;
        Variant value;
        if (assign) {
            if (!member.put) return DISP_E_MEMBERNOTFOUND;
            if (HRESULT hr = args.Take(given, true, {}, argError); FAILED(hr)) return hr;
            if (HRESULT hr = DispatchCall::AssignedValue(given, VT_VARIANT, value, argError);
                FAILED(hr)) {
                return hr;
            }
            member.put(value);
            return S_OK;
        }
        if ((flags & DISPATCH_METHOD) && member.call) {
            if (HRESULT hr = args.Take(given, false, kAnyArguments, argError); FAILED(hr)) {
                return hr;
            }
            value = member.call(args.Values());
        } else if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) && member.get) {
            if (HRESULT hr = args.Take(given, false, {}, argError); FAILED(hr)) return hr;
            value = member.get();
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result) *result = value.Detach();
        return S_OK;
    });
}

}  // namespace Host
