#include "host/Events.h"

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "host/ControlDescription.h"
#include "host/StoredValue.h"

namespace Host {

namespace {

int g_eventsInProgress = 0;

}  // namespace

int EventsInProgress() {
    return g_eventsInProgress;
}

EventScope::EventScope() {
    ++g_eventsInProgress;
}

EventScope::~EventScope() {
    --g_eventsInProgress;
}

void RunHandlers(Event& event, std::span<const std::vector<EventHandler>* const> lists) {
    EventScope scope;
    try {
        for (const std::vector<EventHandler>* list : lists) {
            if (!list) continue;
            // A copy: a handler may register more handlers.
            const std::vector<EventHandler> handlers = *list;
            for (const EventHandler& handler : handlers)
                handler(event);
        }
    } catch (const ControlError& e) {
        Common::ShowMessageBox(
            L"Run-time error '" + std::to_wstring(e.Number()) + L"':\r\n\r\n" + e.Description(),
            MB_ICONHAND);
    } catch (const std::exception& e) {
        Common::ShowMessageBox(L"Run-time error:\r\n\r\n" + StoredValue::WideFromUtf8(e.what()),
                               MB_ICONHAND);
    }
}

std::vector<EventHandler>* EventSource::Find(std::wstring_view eventName) {
    for (auto& [name, handlers] : handlers_) {
        if (MemberNameIs(name, eventName)) return &handlers;
    }
    return nullptr;
}

void EventSource::On(std::wstring_view eventName, EventHandler handler) {
    if (std::vector<EventHandler>* handlers = Find(eventName)) {
        handlers->push_back(std::move(handler));
    } else {
        handlers_.emplace_back(std::wstring(eventName), std::vector{std::move(handler)});
    }
}

void EventSource::Clear() {
    handlers_.clear();
    any_.clear();
}

bool EventSource::HasHandlers(std::wstring_view eventName) const {
    const std::vector<EventHandler>* handlers = const_cast<EventSource*>(this)->Find(eventName);
    return (handlers && !handlers->empty()) || !any_.empty();
}

void EventSource::Raise(std::wstring_view eventName, DISPID id, std::span<EventArg> args) {
    if (frozen_ > 0) return;
    Event event(name_, eventName, id, args);
    const std::vector<EventHandler>* lists[] = {Find(eventName), &any_};
    RunHandlers(event, lists);
    for (const EventArg& arg : args)
        arg.WriteBack();
}

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
