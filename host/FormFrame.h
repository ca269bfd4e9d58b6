// FormFrame: the in-place frame of a form. Controls register their in-place active object
// with it when they take the focus (SetActiveObject); the form's keyboard handling offers
// every key to that object first.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"

namespace Host {

class FormFrame final : public ComObject<Also<IOleInPlaceFrame, IOleInPlaceUIWindow, IOleWindow>> {
public:
    static ComPtr<FormFrame> Create(HWND form);
    void Detach();  // the form is going: lets go of the active object

    // Registers the in-place active object of a control taking the focus
    // (VTableHandle::ActiveObjectFor). The process's one active-object wrapper stands for one
    // control at a time, so the frame of any form that holds it lets go first: no other
    // form's frame goes on offering its keys to this control.
    void ActivateControl(IUnknown* control);

    // The registered active object (may be null).
    IOleInPlaceActiveObject* ActiveObject() const { return active_.Get(); }
    int SetActiveObjectCalls() const { return setActiveObjectCalls_; }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override;

    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    explicit FormFrame(HWND form) : form_(form) {}
    ~FormFrame() override;

    HWND form_;
    ComPtr<IOleInPlaceActiveObject> active_;
    int setActiveObjectCalls_ = 0;
};

}  // namespace Host
