// DispatchObject: a late-bound object of the host made of a table of members: the object of a
// form, and the extender of a control (what IOleClientSite::GetExtendedControl and the
// extender's Parent and Container give out).
//
// Members are found by name, ignoring case (GetIDsOfNames), and called through Invoke: a
// property get without arguments, a property put with one, or a method with its arguments
// in the order written. Names that are not in the table go to the fallback object when there
// is one (an extender passes them on to its control), so its members answer through this
// object too. A member fails by throwing ControlError: the caller gets the error's HRESULT,
// with the description in the EXCEPINFO or the thread's error information. The type name
// (Common::TypeNameOf) is answered through IProvideClassInfo (host/TypeInfo.h).
//
// The owner detaches the object when what the members reach goes (a site ends, a form is
// destroyed): from then on every call fails with E_UNEXPECTED, and the object itself lives on
// as long as a caller holds it.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"
#include "host/Variant.h"

namespace Host {

class DispatchObject final : public ComObject<IDispatch, IProvideClassInfo> {
public:
    struct Member {
        std::wstring name;
        std::function<Variant()> get{};                           // none: not readable
        std::function<void(const Variant&)> put{};                // none: read-only
        std::function<Variant(std::span<const Variant>)> call{};  // none: not a method
    };

    static ComPtr<DispatchObject> Create(std::wstring typeName, std::vector<Member> members,
                                         ComPtr<IDispatch> fallback = {});
    void Detach();
    const std::wstring& TypeName() const { return typeName_; }

    // The identifiers of the table's members: this base plus the member's position. The
    // range is the one extenders keep for their own members, apart from every identifier a
    // control gives its members (which reach the control through the fallback unchanged).
    static constexpr DISPID kFirstId = static_cast<DISPID>(0x80010000);

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

private:
    DispatchObject(std::wstring typeName, std::vector<Member> members, ComPtr<IDispatch> fallback);
    ~DispatchObject() override = default;

    bool detached_ = false;
    std::wstring typeName_;
    std::vector<Member> members_;
    ComPtr<IDispatch> fallback_;
};

}  // namespace Host
