#include "host/Events.h"

#include "controls/base/ControlError.h"

namespace Host {

EventArg EventArg::Object(IDispatch* object, bool byRef) {
    EventArg a;
    a.value_ = Variant::Object(object);
    a.byRef_ = byRef;
    return a;
}

EventArg EventArg::Unknown(IUnknown* object) {
    EventArg a;
    a.value_ = Variant::Unknown(object);
    return a;
}

void EventArg::Set(const Variant& value) {
    if (!byRef_) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    Variant converted;
    if (value_.Type() == VT_DISPATCH || value_.Type() == VT_UNKNOWN) {
        converted = value;
    } else if (FAILED(VariantChangeType(converted.Ptr(), const_cast<VARIANT*>(&value.Get()), 0,
                                        value_.Type()))) {
        ControlErrors::Raise(ControlErrors::kTypeMismatch);
    }
    value_ = std::move(converted);
}

const Variant& Event::Arg(size_t i) const {
    if (i >= args_.size()) ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
    return args_[i].Value();
}

void Event::SetArg(size_t i, const Variant& value) {
    if (i >= args_.size()) ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
    args_[i].Set(value);
}

}  // namespace Host
