// TypeInfo: the type information the host's late-bound objects give about themselves.
//
// A caller asks an object for its type name the way automation clients do (Common::TypeNameOf
// in controls/base): IProvideClassInfo::GetClassInfo, then ITypeInfo::GetDocumentation with
// MEMBERID_NIL. The host's objects (a control's framework object, its extender, a form)
// answer IProvideClassInfo with a NamedTypeInfo: a type that has a name ("ImageList",
// "CommandButtonW", the form's name) and a TYPEATTR of kind TKIND_COCLASS, and describes no
// members (they are reached through IDispatch::GetIDsOfNames).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "controls/base/ComPtr.h"

namespace Host {

ComPtr<ITypeInfo> NamedTypeInfo(std::wstring name);

}  // namespace Host
