// RichTextOleCallback: the object a rich text box gives its rich edit window
// (EM_SETOLECALLBACK) to supply storage for new embedded objects and to turn the window's
// questions about them into the control's events.
//
// The window holds the object; the control keeps a reference of its own only to cut the
// object loose (Detach) when its window goes, so that a window that outlives the control
// never calls into it. Answers: IUnknown and IRichEditOleCallback.
#pragma once

#include <windows.h>
#include <richedit.h>
#include <richole.h>

#include <cstdint>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"

// The system headers give the interface no identifier for __uuidof.
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IRichEditOleCallback, 0x00020D03, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)
#endif

// What the object asks of its control. Each call may throw; the object then answers the
// window E_NOTIMPL.
class RichTextOleEvents {
public:
    // An object is about to be deleted from the content.
    virtual void OnDeleteObject(IOleObject* object) = 0;
    // The window starts a drag of its selection: `allowedEffects` (DROPEFFECT_...) may be
    // narrowed.
    virtual void OnStartDrag(int32_t& allowedEffects) = 0;
    // Something is dragged over the window: `effect` may be changed. `keyState` holds the
    // MK_ flags, `screen` the pointer.
    virtual void OnGetDropEffect(int32_t& effect, DWORD keyState, POINT screen) = 0;
    // The context menu for a selection (with the object under it, if any); a menu the window
    // shows and destroys, or null for none.
    virtual HMENU OnGetContextMenu(WORD selectionType, IOleObject* object,
                                   const CHARRANGE& range) = 0;

protected:
    ~RichTextOleEvents() = default;
};

class RichTextOleCallback final : public ComObject<IRichEditOleCallback> {
public:
    // A new object with one reference, the caller's.
    static ComPtr<RichTextOleCallback> Create(RichTextOleEvents& owner);
    // The control is going: later questions get the answers of an object without events.
    void Detach() { owner_ = nullptr; }
    // Objects alive in the process (each window's, and any a caller still holds).
    static LONG LiveObjects();

    // A storage that is deleted when its last reference goes.
    static HRESULT NewStorage(IStorage** storage);

    HRESULT STDMETHODCALLTYPE GetNewStorage(LPSTORAGE* storage) override;
    HRESULT STDMETHODCALLTYPE GetInPlaceContext(LPOLEINPLACEFRAME*, LPOLEINPLACEUIWINDOW*,
                                                LPOLEINPLACEFRAMEINFO) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ShowContainerUI(BOOL) override { return E_NOTIMPL; }
    // Every object is accepted.
    HRESULT STDMETHODCALLTYPE QueryInsertObject(LPCLSID, LPSTORAGE, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeleteObject(LPOLEOBJECT object) override;
    // The window decides what it accepts.
    HRESULT STDMETHODCALLTYPE QueryAcceptData(LPDATAOBJECT, CLIPFORMAT*, DWORD, BOOL,
                                              HGLOBAL) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(CHARRANGE*, DWORD, LPDATAOBJECT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDragDropEffect(BOOL drag, DWORD keyState, LPDWORD effect) override;
    HRESULT STDMETHODCALLTYPE GetContextMenu(WORD selectionType, LPOLEOBJECT object,
                                             CHARRANGE* range, HMENU* menu) override;

private:
    explicit RichTextOleCallback(RichTextOleEvents& owner);
    ~RichTextOleCallback() override;

    RichTextOleEvents* owner_;  // not held: the control outlives its window's use of us
};
