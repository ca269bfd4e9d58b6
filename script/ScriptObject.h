// ScriptObject: a late-bound object for the script engines, built from a table of members.
//
// Each member is a name and one handler that serves every kind of call (get, put, method);
// the handler reads its arguments from Call and returns the result. A handler throws
// ControlError for a numbered error: the engines get DISP_E_EXCEPTION with the number's
// HRESULT and its text in EXCEPINFO, which is what sets Err.Number and Err.Description.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComObject.h"
#include "host/Variant.h"

namespace FormScript {

// One late-bound call: its kind and its arguments in the order the script wrote them.
class Call {
public:
    Call(WORD flags, DISPPARAMS* params);

    bool IsPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    // Positional arguments (the value of a put is not one of them).
    size_t Count() const { return args_.size(); }
    // Whether argument i was given (an omitted optional argument is not).
    bool Has(size_t i) const;
    const VARIANT& Arg(size_t i) const;  // error 450 when missing
    std::wstring String(size_t i) const;
    int32_t Int(size_t i) const;
    int32_t IntOr(size_t i, int32_t fallback) const { return Has(i) ? Int(i) : fallback; }
    double Double(size_t i) const;
    double DoubleOr(size_t i, double fallback) const { return Has(i) ? Double(i) : fallback; }
    bool Bool(size_t i) const;
    // The value assigned by a put (error 450 for any other call).
    const VARIANT& Value() const;
    // Error 450 unless the call has between `min` and `max` positional arguments.
    void Expect(size_t min, size_t max) const;
    // Error 383 for a put: the member is read-only.
    void ReadOnly() const;

private:
    WORD flags_;
    std::vector<const VARIANT*> args_;
    const VARIANT* value_ = nullptr;
};

using Handler = std::function<Host::Variant(const Call&)>;

// An interface of our own, by which the runner recognises its objects among the arguments a
// script passes.
struct IScriptObject : public IUnknown {};
// {6B1E7D2C-3F4A-4C55-9A0E-2F51C9E8A7D3}
inline constexpr IID kIidScriptObject = {
    0x6b1e7d2c, 0x3f4a, 0x4c55, {0x9a, 0x0e, 0x2f, 0x51, 0xc9, 0xe8, 0xa7, 0xd3}};
#ifdef __CRT_UUID_DECL
}  // namespace FormScript
__CRT_UUID_DECL(FormScript::IScriptObject, 0x6b1e7d2c, 0x3f4a, 0x4c55, 0x9a, 0x0e, 0x2f, 0x51, 0xc9,
                0xe8, 0xa7, 0xd3)
namespace FormScript {
#endif

class ScriptObject : public WithoutTypeInfo<ComObject<IDispatch, IScriptObject>> {
public:
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // The object behind an argument a script passed, when it is one of ours.
    static ScriptObject* From(const VARIANT& value);

protected:
    ScriptObject() = default;
    ~ScriptObject() override = default;
    // Adds a member; the first one added with `isDefault` answers DISPID_VALUE.
    void Add(std::wstring name, Handler handler, bool isDefault = false);
    // Makes the object a collection that `For Each` (VBScript) and `Enumerator` (JScript)
    // walk: `items` gives the elements at the moment the walk starts.
    void Enumerable(std::function<std::vector<Host::Variant>()> items) {
        items_ = std::move(items);
    }
    // Names this object does not know itself (a wrapped control's own members).
    virtual HRESULT ForwardIdOfName(LPOLESTR name, DISPID& id) {
        (void)name, (void)id;
        return DISP_E_UNKNOWNNAME;
    }
    virtual HRESULT ForwardInvoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception) {
        (void)id, (void)flags, (void)params, (void)result, (void)exception;
        return DISP_E_MEMBERNOTFOUND;
    }

    // Our members' identifiers: far from the standard (negative) and the controls' own.
    static constexpr DISPID kFirstId = 0x40000001;

private:
    struct Member {
        std::wstring name;
        Handler handler;
    };
    std::vector<Member> members_;
    int defaultMember_ = -1;
    std::function<std::vector<Host::Variant>()> items_;
};

// The value of an argument, following references.
const VARIANT& Deref(const VARIANT& value);

}  // namespace FormScript
