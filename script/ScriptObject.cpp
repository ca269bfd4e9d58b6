#include "script/ScriptObject.h"

#include <algorithm>
#include <new>

#include "controls/base/ControlError.h"
#include "host/ControlDescription.h"
#include "host/DispatchCall.h"
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
    return Host::DispatchCall::IdsOfNames(names, count, ids, [&](std::wstring_view name) {
        if (items_ && Host::MemberNameIs(name, L"_NewEnum")) return DISPID(DISPID_NEWENUM);
        for (size_t i = 0; i < members_.size(); ++i) {
            if (Host::MemberNameIs(name, members_[i].name))
                return kFirstId + static_cast<DISPID>(i);
        }
        DISPID id = DISPID_UNKNOWN;
        return SUCCEEDED(ForwardIdOfName(names[0], id)) ? id : DISPID(DISPID_UNKNOWN);
    });
}

HRESULT ScriptObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT*) {
    if (id == DISPID_NEWENUM && items_) {
        if (!result) return E_POINTER;
        return Host::DispatchCall::Run(result, exception, [&] {
            result->vt = VT_UNKNOWN;
            result->punkVal = new Enumerator(items_());
            return S_OK;
        });
    }
    if (id == DISPID_VALUE && defaultMember_ >= 0) id = kFirstId + defaultMember_;
    const DISPID index = id - kFirstId;
    if (id < kFirstId || index >= static_cast<DISPID>(members_.size())) {
        return ForwardInvoke(id, flags, params, result, exception);
    }
    // The handler may release the last other reference (Unload, Remove).
    const ComPtr<IDispatch> hold(this);
    const Handler handler = members_[static_cast<size_t>(index)].handler;
    return Host::DispatchCall::Run(result, exception, [&] {
        Host::Variant value;
        try {
            value = handler(Call(flags, params));
        } catch (const ControlError&) {
            throw;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception& e) {
            // A layout refused while a form loads again, and the like.
            throw ControlError(ControlErrors::kInvalidProcedureCall,
                               StoredValue::WideFromUtf8(e.what()));
        }
        if (result) *result = value.Detach();
        return S_OK;
    });
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
