// Variant: an owned VARIANT, cleared when replaced and when it goes. The one wrapper of the
// library: copies are deep (by-reference values are dereferenced) and a copy that fails
// raises instead of leaving an empty value.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const VARIANT& other);  // VariantCopyInd; ControlError 7 when it fails
    Variant(const Variant& other) : Variant(other.v_) {}
    Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    ~Variant() { VariantClear(&v_); }
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;

    // The common kinds. Booleans are VT_BOOL (-1 / 0), strings VT_BSTR.
    static Variant Bool(bool value);
    static Variant Int16(int16_t value);
    static Variant Int32(int32_t value);
    static Variant Int64(int64_t value);
    static Variant Float(float value);
    static Variant Double(double value);
    static Variant String(std::wstring_view value);
    static Variant Bytes(const void* data, size_t size);  // a VT_UI1 array
    static Variant Object(IDispatch* value);              // AddRefs; null gives a null object
    static Variant Unknown(IUnknown* value);

    VARTYPE Type() const { return v_.vt; }
    bool IsEmpty() const { return v_.vt == VT_EMPTY; }
    const VARIANT& Get() const { return v_; }
    VARIANT& Get() { return v_; }
    VARIANT* Ptr() { return &v_; }
    // Clears the value and hands out the VARIANT to be filled (an out parameter).
    VARIANT* Put() {
        VariantClear(&v_);
        return &v_;
    }
    // Gives the value to a caller that will clear it.
    VARIANT Detach() {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }
    void Swap(Variant& other) noexcept { std::swap(v_, other.v_); }

    // Conversions with the system's coercion rules; ControlError 13 (type mismatch) when
    // the value cannot be converted.
    bool ToBool() const;
    int16_t ToInt16() const;
    int32_t ToInt32() const;
    int64_t ToInt64() const;
    float ToFloat() const;
    double ToDouble() const;
    std::wstring ToString() const;

private:
    VARIANT v_;
};

// The field of a VARIANT that holds a value of the scalar type `VT`.
template <VARTYPE VT>
auto& ScalarField(VARIANT& v) {
    if constexpr (VT == VT_BOOL) {
        return v.boolVal;
    } else if constexpr (VT == VT_I2) {
        return v.iVal;
    } else if constexpr (VT == VT_I4) {
        return v.lVal;
    } else if constexpr (VT == VT_I8) {
        return v.llVal;
    } else if constexpr (VT == VT_R4) {
        return v.fltVal;
    } else {
        static_assert(VT == VT_R8, "a scalar type");
        return v.dblVal;
    }
}

// Whether a variant of this type (held by reference or not) is a number: an integer of any
// size, a single, a double or a decimal.
inline bool IsNumberType(VARTYPE type) {
    switch (type & ~VT_BYREF) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

// Equality as a property store decides "equal to the default": numbers and booleans by
// value whatever their type (True is -1), strings and byte arrays by content, an empty
// value equal to 0, False, an empty string and an empty array, fonts by their attributes
// (Common::FontsEqual), other objects by identity.
bool VariantsEqual(const VARIANT& a, const VARIANT& b);

// The number of elements of a one-dimensional array; 0 for none.
size_t ArrayLength(SAFEARRAY* array);

// A number rounded as the system converts it (halves to even) into the integer that a
// message or structure field carries; ControlError 6 (overflow) when it does not fit, never
// an undefined conversion.
int32_t RoundToInt32(double value);
int16_t RoundToInt16(double value);
