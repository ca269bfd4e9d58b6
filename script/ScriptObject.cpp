#include "script/ScriptObject.h"

#include <algorithm>
#include <new>

#include "controls/base/ControlError.h"
#include "host/ControlDescription.h"
#include "host/StoredValue.h"

namespace FormScript {

namespace {

constexpr int32_t kWrongArguments = 450;

[[noreturn]] void WrongArguments() {
    throw ControlError(kWrongArguments,
                       L"Wrong number of arguments or invalid property assignment");
}

Host::Variant Copy(const VARIANT& value) {
    return Host::Variant(value);
}

// A walk over a snapshot of a collection's elements.
class Enumerator final : public ComObject<IEnumVARIANT> {
public:
    explicit Enumerator(std::vector<Host::Variant> items, size_t next = 0)
        : items_(std::move(items)), next_(next) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        for (; n < count && next_ < items_.size(); ++n, ++next_) {
            VariantInit(&out[n]);
            VariantCopy(&out[n], &items_[next_].Get());
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min<size_t>(items_.size(), next_ + count);
        return next_ < items_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
        if (!copy) return E_POINTER;
        *copy = new (std::nothrow) Enumerator(items_, next_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::vector<Host::Variant> items_;
    size_t next_;
};

}  // namespace

const VARIANT& Deref(const VARIANT& value) {
    const VARIANT* v = &value;
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    return *v;
}

HRESULT ToException(int32_t number, const std::wstring& description, EXCEPINFO* exception) {
    const HRESULT hr = ControlErrors::ToHResult(number);
    if (!exception) return hr;
    *exception = EXCEPINFO{};
    exception->scode = hr;
    exception->bstrSource = SysAllocString(L"formscript");
    exception->bstrDescription = SysAllocString(description.c_str());
    return DISP_E_EXCEPTION;
}

// --- Call ------------------------------------------------------------------------------------

Call::Call(WORD flags, DISPPARAMS* params) : flags_(flags) {
    if (!params) return;
    UINT positional = params->cArgs;
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
        if (params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
            value_ = &Deref(params->rgvarg[i]);
            --positional;
        }
    }
    // Positional arguments come last to first, after the named ones.
    for (UINT i = 0; i < positional; ++i)
        args_.push_back(&Deref(params->rgvarg[params->cArgs - 1 - i]));
}

bool Call::Has(size_t i) const {
    if (i >= args_.size()) return false;
    const VARIANT& v = *args_[i];
    return !(v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) && v.vt != VT_EMPTY;
}

const VARIANT& Call::Arg(size_t i) const {
    if (!Has(i)) WrongArguments();
    return *args_[i];
}

std::wstring Call::String(size_t i) const {
    return Copy(Arg(i)).ToString();
}

int32_t Call::Int(size_t i) const {
    return Copy(Arg(i)).ToInt32();
}

double Call::Double(size_t i) const {
    return Copy(Arg(i)).ToDouble();
}

bool Call::Bool(size_t i) const {
    return Copy(Arg(i)).ToBool();
}

const VARIANT& Call::Value() const {
    if (!value_) WrongArguments();
    return *value_;
}

void Call::Expect(size_t min, size_t max) const {
    if (args_.size() < min || args_.size() > max) WrongArguments();
}

void Call::ReadOnly() const {
    if (IsPut()) ControlErrors::Raise(ControlErrors::kReadOnly);
}

// --- ScriptObject ----------------------------------------------------------------------------

HRESULT ScriptObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (count > 1) return DISP_E_UNKNOWNNAME;  // no named arguments
    const std::wstring_view name(names[0] ? names[0] : L"");
    if (items_ && Host::MemberNameIs(name, L"_NewEnum")) {
        ids[0] = DISPID_NEWENUM;
        return S_OK;
    }
    for (size_t i = 0; i < members_.size(); ++i) {
        if (Host::MemberNameIs(name, members_[i].name)) {
            ids[0] = kFirstId + static_cast<DISPID>(i);
            return S_OK;
        }
    }
    return ForwardIdOfName(names[0], ids[0]);
}

HRESULT ScriptObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    (void)argError;
    if (id == DISPID_NEWENUM && items_) {
        try {
            if (!result) return E_POINTER;
            VariantInit(result);
            result->vt = VT_UNKNOWN;
            result->punkVal = new Enumerator(items_());
            return S_OK;
        } catch (const ControlError& e) {
            return ToException(e.Number(), e.Description(), exception);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    if (id == DISPID_VALUE && defaultMember_ >= 0) id = kFirstId + defaultMember_;
    const DISPID index = id - kFirstId;
    if (id < kFirstId || index >= static_cast<DISPID>(members_.size())) {
        return ForwardInvoke(id, flags, params, result, exception);
    }
    try {
        // The handler may release the last other reference (Unload, Remove).
        AddRef();
        struct Hold {
            ScriptObject* self;
            ~Hold() { self->Release(); }
        } hold{this};
        const Handler handler = members_[static_cast<size_t>(index)].handler;
        Host::Variant value = handler(Call(flags, params));
        if (result) {
            VariantInit(result);
            *result = value.Detach();
        }
        return S_OK;
    } catch (const ControlError& e) {
        return ToException(e.Number(), e.Description(), exception);
    } catch (const std::bad_alloc&) {
        return ToException(ControlErrors::kOutOfMemory,
                           ControlErrors::StandardDescription(ControlErrors::kOutOfMemory),
                           exception);
    } catch (const std::exception& e) {
        // A layout refused while a form loads again, and the like.
        return ToException(ControlErrors::kInvalidProcedureCall,
                           StoredValue::WideFromUtf8(e.what()), exception);
    } catch (...) {
        return E_FAIL;
    }
}

ScriptObject* ScriptObject::From(const VARIANT& value) {
    const VARIANT& v = Deref(value);
    if ((v.vt != VT_DISPATCH && v.vt != VT_UNKNOWN) || !v.punkVal) return nullptr;
    IScriptObject* ours = nullptr;
    if (FAILED(v.punkVal->QueryInterface(kIidScriptObject, reinterpret_cast<void**>(&ours))))
        return nullptr;
    ours->Release();  // the caller's argument keeps it alive
    return static_cast<ScriptObject*>(ours);
}

void ScriptObject::Add(std::wstring name, Handler handler, bool isDefault) {
    if (isDefault && defaultMember_ < 0) defaultMember_ = static_cast<int>(members_.size());
    members_.push_back(Member{std::move(name), std::move(handler)});
}

}  // namespace FormScript
