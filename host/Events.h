// Events: what a control raises to its owner, and the owner's handlers.
//
// A control raises an event by name and dispatch identifier with its arguments; arguments
// that a handler may change are passed by reference and written back into the control's
// variables when the handlers return. Owners register handlers on the form by control name
// and event name (both case-insensitive).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/Variant.h"

namespace Host {

class ControlSite;
class Form;

// Standard event identifiers.
inline constexpr DISPID kDispIdClick = -600;
inline constexpr DISPID kDispIdDblClick = -601;
inline constexpr DISPID kDispIdKeyDown = -602;
inline constexpr DISPID kDispIdKeyPress = -603;
inline constexpr DISPID kDispIdKeyUp = -604;
inline constexpr DISPID kDispIdMouseDown = -605;
inline constexpr DISPID kDispIdMouseMove = -606;
inline constexpr DISPID kDispIdMouseUp = -607;

// One argument: a value, or a reference to one of the raiser's variables.
class EventArg {
public:
    template <class T>
    static EventArg ByVal(const T& value) {
        EventArg a;
        a.value_ = Make(value);
        return a;
    }
    // T: bool, int16_t, int32_t, int64_t, float, double or std::wstring (a pointer-sized
    // value is intptr_t).
    template <class T>
    static EventArg ByRef(T& variable) {
        EventArg a;
        a.value_ = Make(variable);
        a.target_ = &variable;
        a.write_ = &WriteBack<T>;
        a.byRef_ = true;
        return a;
    }
    static EventArg Object(IDispatch* object, bool byRef = false);
    // An object without a dispatch interface (a data object), by value.
    static EventArg Unknown(IUnknown* object);

    bool IsByRef() const { return byRef_; }
    const Variant& Value() const { return value_; }
    // An object argument passed by reference is read back by the raiser from Value().
    // A handler's assignment: converted to the argument's own type (error 13 when it
    // cannot be), and refused (error 5) for an argument passed by value.
    void Set(const Variant& value);
    void WriteBack() const {
        if (write_) write_(value_, target_);
    }

private:
    static Variant Make(bool v) { return Variant::Bool(v); }
    static Variant Make(int16_t v) { return Variant::Int16(v); }
    static Variant Make(int32_t v) { return Variant::Int32(v); }
    static Variant Make(int64_t v) { return Variant::Int64(v); }
    static Variant Make(float v) { return Variant::Float(v); }
    static Variant Make(double v) { return Variant::Double(v); }
    static Variant Make(const std::wstring& v) { return Variant::String(v); }
    static Variant Make(const wchar_t* v) { return Variant::String(v ? v : L""); }
    template <class T>
    static void WriteBack(const Variant& v, void* target);

    Variant value_;
    void* target_ = nullptr;
    void (*write_)(const Variant&, void*) = nullptr;
    bool byRef_ = false;
};

template <>
inline void EventArg::WriteBack<bool>(const Variant& v, void* t) {
    *static_cast<bool*>(t) = v.ToBool();
}
template <>
inline void EventArg::WriteBack<int16_t>(const Variant& v, void* t) {
    *static_cast<int16_t*>(t) = v.ToInt16();
}
template <>
inline void EventArg::WriteBack<int32_t>(const Variant& v, void* t) {
    *static_cast<int32_t*>(t) = v.ToInt32();
}
template <>
inline void EventArg::WriteBack<int64_t>(const Variant& v, void* t) {
    *static_cast<int64_t*>(t) = v.ToInt64();
}
template <>
inline void EventArg::WriteBack<float>(const Variant& v, void* t) {
    *static_cast<float*>(t) = v.ToFloat();
}
template <>
inline void EventArg::WriteBack<double>(const Variant& v, void* t) {
    *static_cast<double*>(t) = v.ToDouble();
}
template <>
inline void EventArg::WriteBack<std::wstring>(const Variant& v, void* t) {
    *static_cast<std::wstring*>(t) = v.ToString();
}

// What a handler gets.
class Event {
public:
    Event(Form& form, ControlSite* source, std::wstring_view name, DISPID id,
          std::span<EventArg> args)
        : form_(&form), source_(source), name_(name), id_(id), args_(args) {}
    // An event of an object that is not a sited control (EventSource).
    Event(std::wstring_view sourceName, std::wstring_view name, DISPID id, std::span<EventArg> args)
        : sourceName_(sourceName), name_(name), id_(id), args_(args) {}

    // The form of a control's or the form's own event; null for an EventSource's.
    Form* GetForm() const { return form_; }
    ControlSite* Source() const { return source_; }  // null for the form's own events
    // The raising EventSource's name; empty for the events of a form and its controls.
    std::wstring_view SourceName() const { return sourceName_; }
    std::wstring_view Name() const { return name_; }
    DISPID Id() const { return id_; }
    size_t ArgCount() const { return args_.size(); }

    // Argument i (error 9 beyond the last).
    const Variant& Arg(size_t i) const;
    bool BoolArg(size_t i) const { return Arg(i).ToBool(); }
    int16_t Int16Arg(size_t i) const { return Arg(i).ToInt16(); }
    int32_t Int32Arg(size_t i) const { return Arg(i).ToInt32(); }
    float FloatArg(size_t i) const { return Arg(i).ToFloat(); }
    std::wstring StringArg(size_t i) const { return Arg(i).ToString(); }
    // Changes a by-reference argument.
    void SetArg(size_t i, const Variant& value);
    void SetArg(size_t i, bool value) { SetArg(i, Variant::Bool(value)); }
    void SetArg(size_t i, int32_t value) { SetArg(i, Variant::Int32(value)); }
    void SetArg(size_t i, double value) { SetArg(i, Variant::Double(value)); }
    void SetArg(size_t i, std::wstring_view value) { SetArg(i, Variant::String(value)); }

private:
    Form* form_ = nullptr;
    ControlSite* source_ = nullptr;
    std::wstring_view sourceName_;
    std::wstring_view name_;
    DISPID id_;
    std::span<EventArg> args_;
};

using EventHandler = std::function<void(Event&)>;

// Calls the handlers of one event in order, as every raiser does. Events are raised from
// window procedures and COM methods, so nothing a handler throws reaches the raiser: the
// first ControlError (or other exception) stops the remaining handlers and is shown as a
// run-time error message box. The raiser reads its by-reference arguments back afterwards,
// whatever the handlers did. While handlers run, EventsInProgress() counts the event.
void RunHandlers(Event& event, std::span<const std::vector<EventHandler>* const> lists);

// Events being raised at the moment, by forms, controls and event sources together: a form
// unloaded from a handler waits until none is before its controls and window go.
int EventsInProgress();
class EventScope {
public:
    EventScope();
    ~EventScope();
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;
};

// The events of an object that is not a sited control: a dialog object, or any object the
// owner's code makes and keeps. The object holds an EventSource and raises through it; its
// owner registers handlers on it by event name (case-insensitive), e.g.
//   dialog.Events().On(L"FileOk", [&](Host::Event& e) { if (bad) e.SetArg(0, true); });
// Handlers get an Event like those of controls (Source() and GetForm() null, SourceName()
// the object's name); by-reference arguments are written back into the raiser's variables
// when the handlers return, and a handler's error stops the rest and is reported, never
// thrown to the object (RunHandlers). Raising while frozen (Freeze) does nothing. The source
// keeps no reference to its owner: handlers that capture the owner must not outlive it, so an
// owner that goes before the object clears them (Clear).
class EventSource {
public:
    explicit EventSource(std::wstring name = {}) : name_(std::move(name)) {}
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    const std::wstring& Name() const { return name_; }
    void On(std::wstring_view eventName, EventHandler handler);
    // Every event, after its own handlers.
    void OnAny(EventHandler handler) { any_.push_back(std::move(handler)); }
    void Clear();
    bool HasHandlers(std::wstring_view eventName) const;

    // Nested: events raised while frozen are dropped.
    void Freeze() { ++frozen_; }
    void Unfreeze() {
        if (frozen_ > 0) --frozen_;
    }

    void Raise(std::wstring_view eventName, DISPID id, std::span<EventArg> args = {});
    template <class... A>
    void Raise(std::wstring_view eventName, DISPID id, EventArg first, A&&... rest) {
        EventArg args[] = {std::move(first), std::forward<A>(rest)...};
        Raise(eventName, id, std::span<EventArg>(args));
    }

private:
    std::wstring name_;
    std::vector<EventHandler>* Find(std::wstring_view eventName);

    std::vector<std::pair<std::wstring, std::vector<EventHandler>>> handlers_;  // by event name
    std::vector<EventHandler> any_;
    int frozen_ = 0;
};

}  // namespace Host
