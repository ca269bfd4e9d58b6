#include "host/FormFrame.h"

namespace Host {

ComPtr<FormFrame> FormFrame::Create(HWND form) {
    return ComPtr<FormFrame>::Attach(new FormFrame(form));
}

void FormFrame::Detach() {
    active_.Reset();
    form_ = nullptr;
}

HRESULT FormFrame::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleWindow) ||
        IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
        *object = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG FormFrame::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG FormFrame::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
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
    return S_OK;
}

}  // namespace Host
