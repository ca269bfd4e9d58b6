#include "controls/base/Variant.h"

#include <olectl.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "controls/base/ComPtr.h"
#include "controls/base/Common.h"
#include "controls/base/ControlError.h"

namespace {

VARIANT Coerce(const VARIANT& v, VARTYPE type) {
    VARIANT out;
    VariantInit(&out);
    if (FAILED(VariantChangeType(&out, const_cast<VARIANT*>(&v), 0, type))) {
        ControlErrors::Raise(ControlErrors::kTypeMismatch);
    }
    return out;
}

bool IsNumber(VARTYPE t) {
    switch (t) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DECIMAL:
        case VT_BOOL:
            return true;
        default:
            return false;
    }
}

bool IsByteArray(const VARIANT& v) {
    return v.vt == (VT_ARRAY | VT_UI1) && v.parray && SafeArrayGetDim(v.parray) == 1;
}

size_t ArrayBytes(const VARIANT& v) {
    return ArrayLength(v.parray);
}

bool IsBlank(const VARIANT& v) {
    if (v.vt == VT_EMPTY) return true;
    if (v.vt == VT_BSTR) return SysStringLen(v.bstrVal) == 0;
    if (IsByteArray(v)) return ArrayBytes(v) == 0;
    if (v.vt == (VT_ARRAY | VT_UI1) && !v.parray) return true;
    if (IsNumber(v.vt)) {
        Variant d(v);
        return d.ToDouble() == 0;
    }
    return false;
}

}  // namespace

Variant::Variant(const VARIANT& other) {
    VariantInit(&v_);
    if (FAILED(VariantCopyInd(&v_, const_cast<VARIANT*>(&other)))) {
        ControlErrors::Raise(ControlErrors::kOutOfMemory);
    }
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        std::swap(v_, copy.v_);
    }
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&v_);
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    return *this;
}

namespace {
template <VARTYPE VT, class T>
Variant Scalar(T value) {
    Variant v;
    ScalarField<VT>(v.Get()) = value;
    v.Get().vt = VT;
    return v;
}
}  // namespace

Variant Variant::Bool(bool value) {
    return Scalar<VT_BOOL>(static_cast<VARIANT_BOOL>(value ? VARIANT_TRUE : VARIANT_FALSE));
}
Variant Variant::Int16(int16_t value) {
    return Scalar<VT_I2>(value);
}
Variant Variant::Int32(int32_t value) {
    return Scalar<VT_I4>(static_cast<LONG>(value));
}
Variant Variant::Int64(int64_t value) {
    return Scalar<VT_I8>(static_cast<LONGLONG>(value));
}
Variant Variant::Float(float value) {
    return Scalar<VT_R4>(value);
}
Variant Variant::Double(double value) {
    return Scalar<VT_R8>(value);
}

Variant Variant::String(std::wstring_view value) {
    Variant v;
    v.v_.bstrVal = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (!v.v_.bstrVal) ControlErrors::Raise(ControlErrors::kOutOfMemory);
    v.v_.vt = VT_BSTR;
    return v;
}

Variant Variant::Bytes(const void* data, size_t size) {
    Variant v;
    if (size > ULONG_MAX) ControlErrors::Raise(ControlErrors::kOutOfMemory);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (!array) ControlErrors::Raise(ControlErrors::kOutOfMemory);
    if (size) {
        void* p = nullptr;
        SafeArrayAccessData(array, &p);
        std::memcpy(p, data, size);
        SafeArrayUnaccessData(array);
    }
    v.v_.vt = VT_ARRAY | VT_UI1;
    v.v_.parray = array;
    return v;
}

namespace {
// An object reference of its own; VT_DISPATCH and VT_UNKNOWN share the field.
Variant Reference(VARTYPE type, IUnknown* value) {
    Variant v;
    v.Get().punkVal = value;
    v.Get().vt = type;
    if (value) value->AddRef();
    return v;
}
}  // namespace

Variant Variant::Object(IDispatch* value) {
    return Reference(VT_DISPATCH, value);
}

Variant Variant::Unknown(IUnknown* value) {
    return Reference(VT_UNKNOWN, value);
}

bool Variant::ToBool() const {
    VARIANT c = Coerce(v_, VT_BOOL);
    return c.boolVal != VARIANT_FALSE;
}

int16_t Variant::ToInt16() const {
    return Coerce(v_, VT_I2).iVal;
}
int32_t Variant::ToInt32() const {
    return Coerce(v_, VT_I4).lVal;
}
int64_t Variant::ToInt64() const {
    return Coerce(v_, VT_I8).llVal;
}
float Variant::ToFloat() const {
    return Coerce(v_, VT_R4).fltVal;
}
double Variant::ToDouble() const {
    return Coerce(v_, VT_R8).dblVal;
}

std::wstring Variant::ToString() const {
    VARIANT c = Coerce(v_, VT_BSTR);
    std::wstring s(c.bstrVal ? c.bstrVal : L"", SysStringLen(c.bstrVal));
    VariantClear(&c);
    return s;
}

bool VariantsEqual(const VARIANT& a0, const VARIANT& b0) {
    const Variant a(a0), b(b0);  // by-reference values dereferenced
    const VARIANT& x = a.Get();
    const VARIANT& y = b.Get();
    if (x.vt == VT_EMPTY || y.vt == VT_EMPTY) return IsBlank(x) && IsBlank(y);
    if (IsNumber(x.vt) && IsNumber(y.vt)) {
        if (x.vt == y.vt && x.vt == VT_I4) return x.lVal == y.lVal;
        return a.ToDouble() == b.ToDouble();
    }
    if (x.vt == VT_BSTR && y.vt == VT_BSTR) {
        const UINT n = SysStringLen(x.bstrVal);
        return n == SysStringLen(y.bstrVal) &&
               (n == 0 || std::wmemcmp(x.bstrVal, y.bstrVal, n) == 0);
    }
    if (IsByteArray(x) && IsByteArray(y)) {
        const size_t n = ArrayBytes(x);
        if (n != ArrayBytes(y)) return false;
        if (n == 0) return true;
        void* px = nullptr;
        void* py = nullptr;
        SafeArrayAccessData(x.parray, &px);
        SafeArrayAccessData(y.parray, &py);
        const bool same = std::memcmp(px, py, n) == 0;
        SafeArrayUnaccessData(x.parray);
        SafeArrayUnaccessData(y.parray);
        return same;
    }
    const bool xo = x.vt == VT_DISPATCH || x.vt == VT_UNKNOWN;
    const bool yo = y.vt == VT_DISPATCH || y.vt == VT_UNKNOWN;
    if (xo && yo) {
        IUnknown* ux = x.punkVal;
        IUnknown* uy = y.punkVal;
        if (!ux || !uy) return !ux && !uy;
        ComPtr<IFont> fx, fy;
        ux->QueryInterface(IID_IFont, fx.PutVoid());
        uy->QueryInterface(IID_IFont, fy.PutVoid());
        if (fx && fy) return Common::FontsEqual(fx.Get(), fy.Get());
        ComPtr<IUnknown> ix, iy;
        ux->QueryInterface(IID_IUnknown, ix.PutVoid());
        uy->QueryInterface(IID_IUnknown, iy.PutVoid());
        return ix.Get() == iy.Get();
    }
    return false;
}

size_t ArrayLength(SAFEARRAY* array) {
    if (!array || SafeArrayGetDim(array) != 1) return 0;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(array, 1, &lo);
    SafeArrayGetUBound(array, 1, &hi);
    return hi >= lo ? static_cast<size_t>(hi - lo) + 1 : 0;
}

int32_t RoundToInt32(double value) {
    LONG result = 0;
    if (FAILED(VarI4FromR8(value, &result))) ControlErrors::Raise(ControlErrors::kOverflow);
    return result;
}

int16_t RoundToInt16(double value) {
    SHORT result = 0;
    if (FAILED(VarI2FromR8(value, &result))) ControlErrors::Raise(ControlErrors::kOverflow);
    return result;
}
