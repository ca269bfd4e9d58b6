// StandInDispatch: the IDispatch plumbing shared by the stand-in's objects: member names to
// identifiers, the standard dispatch errors for bad requests, injected faults, raised
// errors with a description, and the journal line of each call.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <span>
#include <string>

#include "controls/base/ComObject.h"
#include "tools/StandInConfig.h"

class StandInDispatch : public WithoutTypeInfo<ComObject<IDispatch>> {
public:
    struct Member {
        const wchar_t* name;
        DISPID id;
    };

    // IDispatch: no type information; names are resolved without regard to case.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                     UINT* argErr) override;

protected:
    // One call being served.
    class Call {
    public:
        Call(WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr,
             std::wstring text);

        bool IsGet() const { return (flags_ & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0; }
        bool IsPut() const { return (flags_ & DISPATCH_PROPERTYPUT) != 0; }
        bool IsMethod() const { return (flags_ & DISPATCH_METHOD) != 0; }

        // The standard errors for a call that does not take `count` positional arguments
        // (a property put takes `count` plus its value).
        HRESULT CheckArguments(UINT count) const;
        // Argument `index` (0 = first in the caller's order, or the value of a put) as
        // `type`; DISP_E_TYPEMISMATCH with the argument's position when it cannot be.
        HRESULT Argument(UINT index, VARTYPE type, VARIANT& value) const;
        // The raw argument, by-reference indirection removed.
        const VARIANT& RawArgument(UINT index) const;
        // The injected fault of `member`, raised; S_OK when there is none.
        HRESULT Fault(const wchar_t* member);
        // Fails the call with `hr`; with a description, as an exception carrying both.
        HRESULT Raise(HRESULT hr, const std::wstring& description);

        void SetResult(VARIANT& value);  // takes ownership of `value`
        const StandInConfig::Settings& Settings() const { return settings_; }
        // Adds to the call's journal line (arguments, the value put).
        void Describe(const std::wstring& more) { text_ += more; }
        // Writes the journal line, with the error when the call failed; returns `hr`.
        HRESULT Finish(HRESULT hr);

    private:
        UINT Position(UINT index) const;
        WORD flags_;
        DISPPARAMS* params_;
        VARIANT* result_;
        EXCEPINFO* excepInfo_;
        UINT* argErr_;
        std::wstring text_;
        HRESULT raised_ = S_OK;
        StandInConfig::Settings settings_;
    };

    explicit StandInDispatch(std::span<const Member> members);
    ~StandInDispatch() override;

    // Serves member `id` (one of the object's own) for `call`.
    virtual HRESULT Serve(DISPID id, Call& call) = 0;
    // What the object's lines start with in the journal ("" or "Paylevix.").
    virtual std::wstring JournalPrefix() const = 0;

private:
    std::span<const Member> members_;
};
