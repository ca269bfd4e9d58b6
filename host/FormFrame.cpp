#include "host/FormFrame.h"

#include "controls/base/VTableHandle.h"

namespace Host {

namespace {

// The frame holding the active-object wrapper, if any: there is one at most.
FormFrame* g_wrapperHolder = nullptr;

}  // namespace

FormFrame::~FormFrame() {
    if (g_wrapperHolder == this) g_wrapperHolder = nullptr;
}

ComPtr<FormFrame> FormFrame::Create(HWND form) {
    return ComPtr<FormFrame>::Attach(new FormFrame(form));
}

void FormFrame::Detach() {
    SetActiveObject(nullptr, nullptr);
    form_ = nullptr;
}

void FormFrame::ActivateControl(IUnknown* control) {
    SetActiveObject(nullptr, nullptr);
    if (g_wrapperHolder) g_wrapperHolder->SetActiveObject(nullptr, nullptr);
    const ComPtr<IOleInPlaceActiveObject> object = VTableHandle::ActiveObjectFor(control);
    SetActiveObject(object.Get(), nullptr);
}

HRESULT FormFrame::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = form_;
    return form_ ? S_OK : E_FAIL;
}

HRESULT FormFrame::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    ++setActiveObjectCalls_;
    // The new reference is taken before the old one goes: they may be the same object.
    active_ = ComPtr<IOleInPlaceActiveObject>(form_ ? object : nullptr);
    if (VTableHandle::IsActiveObjectWrapper(active_.Get())) {
        g_wrapperHolder = this;
    } else if (g_wrapperHolder == this) {
        g_wrapperHolder = nullptr;
    }
    return S_OK;
}

}  // namespace Host
