// ControlDescription: a control's late-bound surface, declared once as tables.
//
// Each control declares its members (properties and methods with their dispatch
// identifiers, types and access), its events (identifiers and arguments) and its persisted
// keys (stored type and default), and returns them from HostedControl::Describe(). The host's
// framework object dispatches through the member table (Dispatch below), so the standard
// dispatch errors and the access errors 382, 383 and 394 come from one place; the tables can
// also be walked at run time (ControlTypes::Describe) to list what a control offers.
//
//   const Host::Member kMembers[] = {
//       Host::Property<&MyBox::Caption, &MyBox::SetCaption>(L"Caption", DISPID_CAPTION),
//       Host::ReadOnly<&MyBox::hWnd>(L"hWnd", 0x68030001),
//       Host::Method<&MyBox::Refresh>(L"Refresh", DISPID_REFRESH),
//   };
//
// Getters and setters are member functions of the control; a setter's argument type must be
// the getter's result type. Method arguments of type std::optional<T> may be omitted; a
// method's parameters of type T& are outputs (written back to by-reference arguments).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "host/Variant.h"

namespace Host {

class HostedControl;
class PropertyStore;

// ---- members ----------------------------------------------------------------------------

enum class Access : uint8_t {
    ReadWrite,
    ReadOnly,           // error 383 "Property is read-only" on assignment
    ReadOnlyAtRunTime,  // error 382 "<Name> property is read-only at run time" in user mode
    WriteOnly,          // error 394 "Property is write-only" on reading
};

// How a C++ type travels in a VARIANT. A value handed to From() is already of kType.
template <class T>
struct VarType;

// The numbers and booleans: one field of the VARIANT each.
template <class T, VARTYPE VT>
struct ScalarVarType {
    static constexpr VARTYPE kType = VT;
    static T From(const VARIANT& v) {
        if constexpr (VT == VT_BOOL) {
            return v.boolVal != VARIANT_FALSE;
        } else {
            return static_cast<T>(ScalarField<VT>(const_cast<VARIANT&>(v)));
        }
    }
    static void To(T value, VARIANT& out) {
        out.vt = VT;
        if constexpr (VT == VT_BOOL) {
            out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
            ScalarField<VT>(out) = value;
        }
    }
};
template <>
struct VarType<bool> : ScalarVarType<bool, VT_BOOL> {};
template <>
struct VarType<int16_t> : ScalarVarType<int16_t, VT_I2> {};
template <>
struct VarType<int32_t> : ScalarVarType<int32_t, VT_I4> {};
template <>
struct VarType<float> : ScalarVarType<float, VT_R4> {};
template <>
struct VarType<double> : ScalarVarType<double, VT_R8> {};
template <>
struct VarType<std::wstring> {
    static constexpr VARTYPE kType = VT_BSTR;
    static std::wstring From(const VARIANT& v) {
        return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
    }
    static void To(const std::wstring& value, VARIANT& out) {
        BSTR text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        if (!text) throw std::bad_alloc();
        out.vt = VT_BSTR;
        out.bstrVal = text;
    }
};
// Window handles and device contexts keep 32 significant bits on every architecture.
template <class H>
struct HandleVarType {
    static constexpr VARTYPE kType = VT_I4;
    static H From(const VARIANT& v) { return reinterpret_cast<H>(static_cast<LONG_PTR>(v.lVal)); }
    static void To(H value, VARIANT& out) {
        out.vt = VT_I4;
        out.lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(value));
    }
};
template <>
struct VarType<HWND> : HandleVarType<HWND> {};
template <>
struct VarType<HDC> : HandleVarType<HDC> {};
template <class T>
struct VarType<std::optional<T>> : VarType<T> {};
// Any value: a member whose answer may be Null or Empty besides a value of its own type, or
// that decides for itself which types it accepts. By-reference values arrive dereferenced.
template <>
struct VarType<Variant> {
    static constexpr VARTYPE kType = VT_VARIANT;
    static Variant From(const VARIANT& v) { return Variant(v); }
    static void To(const Variant& value, VARIANT& out) { out = Variant(value).Detach(); }
};
// OLE colours travel as 32-bit integers (system colours 0x800000nn as negative ones).
template <>
struct VarType<OLE_COLOR> : ScalarVarType<OLE_COLOR, VT_I4> {};
// Objects (fonts, pictures) as their dispatch interface; none is a null object. An object of
// another kind is a type mismatch (error 13).
template <class I>
struct VarType<ComPtr<I>> {
    static constexpr VARTYPE kType = VT_DISPATCH;
    static ComPtr<I> From(const VARIANT& v) {
        ComPtr<I> result;
        if (v.pdispVal && FAILED(v.pdispVal->QueryInterface(__uuidof(I), result.PutVoid()))) {
            ControlErrors::Raise(ControlErrors::kTypeMismatch);
        }
        return result;
    }
    static void To(const ComPtr<I>& value, VARIANT& out) {
        out.vt = VT_DISPATCH;
        out.pdispVal = nullptr;
        if (value) value->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&out.pdispVal));
    }
};

// Objects without a dispatch interface (an embedded object, a rich edit window's
// interface) travel as VT_UNKNOWN; the caller gets a reference of its own.
template <>
struct VarType<ComPtr<IUnknown>> {
    static constexpr VARTYPE kType = VT_UNKNOWN;
    static ComPtr<IUnknown> From(const VARIANT& v) {
        ComPtr<IUnknown> result;
        if (v.punkVal) v.punkVal->QueryInterface(IID_IUnknown, result.PutVoid());
        return result;
    }
    static void To(const ComPtr<IUnknown>& value, VARIANT& out) {
        out.vt = VT_UNKNOWN;
        out.punkVal = value.Get();
        if (out.punkVal) out.punkVal->AddRef();
    }
};

struct Member {
    std::wstring_view name;
    DISPID id = DISPID_UNKNOWN;
    bool isMethod = false;
    // The property's type, or the method's result (VT_EMPTY: none).
    VARTYPE type = VT_EMPTY;
    Access access = Access::ReadWrite;
    // Methods: the arguments in declaration order; the first `required` must be given.
    // Indexed properties: the index arguments, all required.
    std::span<const VARTYPE> argumentTypes;
    std::span<const std::wstring_view> argumentNames;
    size_t required = 0;

    // Bit n: argument n is an output (a method's `T&` parameter), written back into the
    // caller's variable when it was passed by reference.
    uint32_t outputs = 0;

    void (*get)(HostedControl&, VARIANT& out) = nullptr;
    void (*put)(HostedControl&, const VARIANT& value) = nullptr;  // value already of `type`
    // Arguments already of their types, in declaration order; an omitted one is VT_ERROR
    // with DISP_E_PARAMNOTFOUND. Outputs are left in `args`.
    // Indexed properties read through `call` and are assigned through `putAt`.
    void (*call)(HostedControl&, std::span<Variant> args, VARIANT& result) = nullptr;
    void (*putAt)(HostedControl&, std::span<Variant> indexes, const VARIANT& value) = nullptr;

    bool Indexed() const { return !isMethod && !argumentTypes.empty(); }
};

namespace detail {

template <class F>
struct MemberFunction;
template <class C, class R, class... A>
struct MemberFunction<R (C::*)(A...)> {
    using Class = C;
    using Result = std::remove_cvref_t<R>;
    using Args = std::tuple<std::remove_cvref_t<A>...>;
    static constexpr size_t kArity = sizeof...(A);
    // A parameter taken by non-const reference is an output.
    static constexpr uint32_t kOutputs = [] {
        constexpr bool output[] = {false, (std::is_lvalue_reference_v<A> &&
                                           !std::is_const_v<std::remove_reference_t<A>>)...};
        static_assert(sizeof...(A) <= 32, "outputs are kept as bits");
        uint32_t bits = 0;
        for (size_t i = 0; i < sizeof...(A); ++i)
            if (output[i + 1]) bits |= 1u << i;
        return bits;
    }();
};
template <class C, class R, class... A>
struct MemberFunction<R (C::*)(A...) const> : MemberFunction<R (C::*)(A...)> {};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <auto Fn>
using Of = MemberFunction<decltype(Fn)>;

template <auto Getter>
void GetThunk(HostedControl& control, VARIANT& out) {
    auto& self = static_cast<typename Of<Getter>::Class&>(control);
    VarType<typename Of<Getter>::Result>::To((self.*Getter)(), out);
}

template <auto Setter>
void PutThunk(HostedControl& control, const VARIANT& value) {
    auto& self = static_cast<typename Of<Setter>::Class&>(control);
    using T = std::tuple_element_t<0, typename Of<Setter>::Args>;
    (self.*Setter)(VarType<T>::From(value));
}

template <class T>
T ArgumentOf(const VARIANT& v) {
    if constexpr (IsOptional<T>::value) {
        if (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) return std::nullopt;
    }
    return VarType<T>::From(v);
}

// An output is handed to the member as an lvalue; any other argument is moved in.
template <uint32_t Outputs, size_t I, class Values>
decltype(auto) Pass(Values& values) {
    if constexpr ((Outputs >> I) & 1u) {
        return (std::get<I>(values));
    } else {
        return std::move(std::get<I>(values));
    }
}

template <auto Fn, size_t... I>
void CallThunkOf(HostedControl& control, [[maybe_unused]] std::span<Variant> args, VARIANT& result,
                 std::index_sequence<I...>) {
    auto& self = static_cast<typename Of<Fn>::Class&>(control);
    using Args = typename Of<Fn>::Args;
    using R = typename Of<Fn>::Result;
    constexpr uint32_t kOutputs = Of<Fn>::kOutputs;
    // Braces convert the arguments in order.
    Args values{ArgumentOf<std::tuple_element_t<I, Args>>(args[I].Get())...};
    if constexpr (std::is_void_v<R>) {
        (self.*Fn)(Pass<kOutputs, I>(values)...);
    } else {
        VarType<R>::To((self.*Fn)(Pass<kOutputs, I>(values)...), result);
    }
    (
        [&] {
            if constexpr ((kOutputs >> I) & 1u) {
                VarType<std::tuple_element_t<I, Args>>::To(std::get<I>(values), *args[I].Put());
            }
        }(),
        ...);
}

template <auto Fn>
void CallThunk(HostedControl& control, std::span<Variant> args, VARIANT& result) {
    CallThunkOf<Fn>(control, args, result, std::make_index_sequence<Of<Fn>::kArity>());
}

template <auto Setter, size_t... I>
void PutAtThunkOf(HostedControl& control, [[maybe_unused]] std::span<Variant> indexes,
                  const VARIANT& value, std::index_sequence<I...>) {
    auto& self = static_cast<typename Of<Setter>::Class&>(control);
    using Args = typename Of<Setter>::Args;
    using T = std::tuple_element_t<sizeof...(I), Args>;
    (self.*Setter)(ArgumentOf<std::tuple_element_t<I, Args>>(indexes[I].Get())...,
                   VarType<T>::From(value));
}

// The setter takes the indexes, then the value.
template <auto Setter>
void PutAtThunk(HostedControl& control, std::span<Variant> indexes, const VARIANT& value) {
    PutAtThunkOf<Setter>(control, indexes, value,
                         std::make_index_sequence<Of<Setter>::kArity - 1>());
}

template <auto Fn, size_t... I>
constexpr std::array<VARTYPE, sizeof...(I)> ArgumentTypes(std::index_sequence<I...>) {
    return {VarType<std::tuple_element_t<I, typename Of<Fn>::Args>>::kType...};
}
template <auto Fn>
inline constexpr auto kArgumentTypes =
    ArgumentTypes<Fn>(std::make_index_sequence<Of<Fn>::kArity>());

// Arguments up to the last one that is not optional.
template <auto Fn, size_t... I>
constexpr size_t Required(std::index_sequence<I...>) {
    constexpr std::array<bool, sizeof...(I)> optional{
        IsOptional<std::tuple_element_t<I, typename Of<Fn>::Args>>::value...};
    size_t required = 0;
    for (size_t i = 0; i < optional.size(); ++i)
        if (!optional[i]) required = i + 1;
    return required;
}

template <class R>
constexpr VARTYPE ResultType() {
    if constexpr (std::is_void_v<R>) {
        return VT_EMPTY;
    } else {
        return VarType<R>::kType;
    }
}

constexpr Member MakeMember(std::wstring_view name, DISPID id, bool isMethod, VARTYPE type,
                            Access access) {
    Member m;
    m.name = name;
    m.id = id;
    m.isMethod = isMethod;
    m.type = type;
    m.access = access;
    return m;
}

}  // namespace detail

template <auto Getter, auto Setter>
constexpr Member Property(std::wstring_view name, DISPID id, Access access = Access::ReadWrite) {
    using T = typename detail::Of<Getter>::Result;
    static_assert(std::is_same_v<T, std::tuple_element_t<0, typename detail::Of<Setter>::Args>>,
                  "a setter takes what its getter returns");
    Member m = detail::MakeMember(name, id, false, VarType<T>::kType, access);
    m.get = &detail::GetThunk<Getter>;
    m.put = &detail::PutThunk<Setter>;
    return m;
}

template <auto Getter>
constexpr Member ReadOnly(std::wstring_view name, DISPID id) {
    Member m = detail::MakeMember(
        name, id, false, VarType<typename detail::Of<Getter>::Result>::kType, Access::ReadOnly);
    m.get = &detail::GetThunk<Getter>;
    return m;
}

template <auto Setter>
constexpr Member WriteOnly(std::wstring_view name, DISPID id) {
    using T = std::tuple_element_t<0, typename detail::Of<Setter>::Args>;
    Member m = detail::MakeMember(name, id, false, VarType<T>::kType, Access::WriteOnly);
    m.put = &detail::PutThunk<Setter>;
    return m;
}

// A property with indexes, Name(Index) = value: the getter takes the indexes, the setter
// the same indexes followed by the value. `names` names the indexes.
template <auto Getter, auto Setter>
constexpr Member IndexedProperty(std::wstring_view name, DISPID id,
                                 std::span<const std::wstring_view> names = {}) {
    using T = typename detail::Of<Getter>::Result;
    using Args = typename detail::Of<Setter>::Args;
    static_assert(detail::Of<Getter>::kArity >= 1 &&
                      detail::Of<Setter>::kArity == detail::Of<Getter>::kArity + 1,
                  "the setter takes the getter's indexes and the value");
    static_assert(std::is_same_v<T, std::tuple_element_t<std::tuple_size_v<Args> - 1, Args>>,
                  "a setter takes what its getter returns");
    Member m = detail::MakeMember(name, id, false, VarType<T>::kType, Access::ReadWrite);
    m.argumentTypes = detail::kArgumentTypes<Getter>;
    m.argumentNames = names;
    m.required = m.argumentTypes.size();
    m.call = &detail::CallThunk<Getter>;
    m.putAt = &detail::PutAtThunk<Setter>;
    return m;
}

// `names` names the arguments (for listings); it must outlive the table.
template <auto Fn>
constexpr Member Method(std::wstring_view name, DISPID id,
                        std::span<const std::wstring_view> names = {}) {
    Member m = detail::MakeMember(
        name, id, true, detail::ResultType<typename detail::Of<Fn>::Result>(), Access::ReadWrite);
    m.argumentTypes = detail::kArgumentTypes<Fn>;
    m.argumentNames = names;
    m.required = detail::Required<Fn>(std::make_index_sequence<detail::Of<Fn>::kArity>());
    m.outputs = detail::Of<Fn>::kOutputs;
    m.call = &detail::CallThunk<Fn>;
    return m;
}

// ---- events -------------------------------------------------------------------------------

struct EventParameter {
    std::wstring_view name;
    VARTYPE type = VT_EMPTY;
    bool byRef = false;  // a handler may change it; the control reads it back
};

struct EventInfo {
    std::wstring_view name;
    DISPID id = DISPID_UNKNOWN;
    std::span<const EventParameter> parameters;
};

// ---- persisted keys -----------------------------------------------------------------------

enum class StoredType : uint8_t {
    Boolean,
    Int16,
    Int32,
    Single,
    OleColor,
    String,         // a string value
    StringAsBytes,  // a byte array of the UTF-16LE code units (Common::StrToVar)
    Font,
    Picture,
};

struct StoredKey {
    std::wstring_view key;
    StoredType type = StoredType::Int32;
    double number = 0;       // the default of a number, colour or boolean (0 false, 1 true)
    std::wstring_view text;  // the default of a string; objects default to none

    // The default as the store compares it.
    Variant Default() const;
    // The stored value, or the default when the key is absent; ControlError 13 when the
    // stored value cannot be had as the key's type.
    bool ReadBool(const PropertyStore& store) const;
    int16_t ReadInt16(const PropertyStore& store) const;
    int32_t ReadInt32(const PropertyStore& store) const;
    float ReadSingle(const PropertyStore& store) const;
    std::wstring ReadString(const PropertyStore& store) const;
    Variant Read(const PropertyStore& store) const;
    // A stored font or picture object; none when the key is absent or holds none.
    ComPtr<IFontDisp> ReadFont(const PropertyStore& store) const;
    ComPtr<IPictureDisp> ReadPicture(const PropertyStore& store) const;
    // Stores the value (in the key's stored form), or removes the key at the default.
    void Write(PropertyStore& store, const Variant& value) const;
    void WriteString(PropertyStore& store, std::wstring_view value) const;
};

constexpr StoredKey BoolKey(std::wstring_view key, bool def) {
    return {key, StoredType::Boolean, def ? 1.0 : 0.0, {}};
}
constexpr StoredKey Int16Key(std::wstring_view key, int16_t def) {
    return {key, StoredType::Int16, static_cast<double>(def), {}};
}
constexpr StoredKey Int32Key(std::wstring_view key, int32_t def) {
    return {key, StoredType::Int32, static_cast<double>(def), {}};
}
constexpr StoredKey ColorKey(std::wstring_view key, OLE_COLOR def) {
    return {key, StoredType::OleColor, static_cast<double>(def), {}};
}
constexpr StoredKey TextKey(std::wstring_view key, std::wstring_view def = {}) {
    return {key, StoredType::StringAsBytes, 0, def};
}

// ---- the whole description ----------------------------------------------------------------

struct ControlDescription {
    std::wstring_view typeName;
    std::span<const Member> members;
    std::span<const EventInfo> events;
    std::span<const StoredKey> keys;

    const Member* FindMember(std::wstring_view name) const;
    const Member* FindMember(DISPID id) const;
    const EventInfo* FindEvent(std::wstring_view name) const;
    const StoredKey* FindKey(std::wstring_view key) const;
};

// The extender's Enabled, which reaches the control's own.
inline constexpr DISPID kDispIdEnabled = static_cast<DISPID>(0x8001000D);

// Members every control has, kept by the host for it: Enabled.
const ControlDescription& HostMembers();

// Whether `name` names `member`, ignoring case as automation does.
bool MemberNameIs(std::wstring_view name, std::wstring_view member);

// IDispatch over a control's description, then HostMembers(). GetIDsOfNames: one name,
// no named arguments. Invoke: DISP_E_MEMBERNOTFOUND for an unknown identifier or a
// method assigned to, DISP_E_BADPARAMCOUNT, DISP_E_NONAMEDARGS, DISP_E_TYPEMISMATCH (with
// `argError`, counted from the last argument as DISPPARAMS keeps them); errors the member
// raises (and 382, 383, 394) come back as DISP_E_EXCEPTION with `exception` filled, or as
// their own HRESULT with the thread's error information when there is no `exception`.
HRESULT DispatchIdsOfNames(const HostedControl& control, LPOLESTR* names, UINT count, DISPID* ids);
HRESULT DispatchInvoke(HostedControl& control, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* argError);

// The access rule of one member for an assignment: 383 read-only, 382 read-only at run
// time while the control runs (its site's ambient user mode). Setters called from C++ use
// it too, so both routes refuse alike.
void CheckAssignment(const HostedControl& control, const Member& member);
// Error 382 for `propertyName` while the control runs.
void RequireDesignTime(const HostedControl& control, std::wstring_view propertyName);

}  // namespace Host
