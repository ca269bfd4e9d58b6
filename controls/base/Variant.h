// Variant: an owned VARIANT, cleared when replaced and when it goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const VARIANT& other) {
        VariantInit(&v_);
        VariantCopy(&v_, const_cast<VARIANT*>(&other));  // not written to
    }
    Variant(const Variant& other) : Variant(other.v_) {}
    Variant(Variant&& other) noexcept {
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    Variant& operator=(const Variant& other) {
        Variant(other).Swap(*this);
        return *this;
    }
    Variant& operator=(Variant&& other) noexcept {
        Variant(std::move(other)).Swap(*this);
        return *this;
    }
    ~Variant() { VariantClear(&v_); }

    const VARIANT& Get() const { return v_; }
    // Clears the value and hands out the VARIANT to be filled (an out parameter).
    VARIANT* Put() {
        VariantClear(&v_);
        return &v_;
    }
    // Gives the value up; the caller clears it.
    VARIANT Detach() {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }
    VARTYPE Type() const { return v_.vt; }
    void Swap(Variant& other) noexcept { std::swap(v_, other.v_); }

private:
    VARIANT v_;
};

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
