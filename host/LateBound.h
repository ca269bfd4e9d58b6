// Helpers for a control's late-bound members (HostedControl::DispIdOfName and InvokeMember).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>

#include "controls/base/Variant.h"

namespace Host {

// Whether `name` names `member`, ignoring case as automation does.
inline bool MemberNameIs(std::wstring_view name, std::wstring_view member) {
    return CompareStringOrdinal(name.data(), static_cast<int>(name.size()), member.data(),
                                static_cast<int>(member.size()), TRUE) == CSTR_EQUAL;
}

// The one argument of a property put, converted to `type` into `value`.
inline HRESULT PutArgument(DISPPARAMS* params, VARTYPE type, ::Variant& value) {
    if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    return FAILED(VariantChangeType(value.Put(), &params->rgvarg[0], 0, type)) ? DISP_E_TYPEMISMATCH
                                                                               : S_OK;
}

}  // namespace Host
