// ISubclass: the callback through which a subclassed window's messages reach the object that
// subclassed it (see ComCtlsBase::InstallSubclass).
//
// A COM-style interface: the IUnknown and IDispatch slots come first, then Message. The
// subclass identifier handed to the system is the receiver's ISubclass address; the subclass
// procedure turns it back with QueryInterface(IID_ISubclass), so a receiver must answer that
// interface, and it holds that counted reference for the duration of each call.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {342429CA-CCE9-4F49-8667-92BD1E63613F}
inline constexpr IID IID_ISubclass = {
    0x342429ca, 0xcce9, 0x4f49, {0x86, 0x67, 0x92, 0xbd, 0x1e, 0x63, 0x61, 0x3f}};

struct ISubclass : public IDispatch {
    // Called for every message of a window subclassed by this receiver, except WM_DESTROY,
    // WM_NCDESTROY and 0x0090. `dwRefData` is the value given to InstallSubclass, so one
    // receiver can tell its windows apart (1 the inner control window, 2 its own window).
    // The result is the window procedure's result; call ComCtlsBase::CallDefaultProc for
    // whatever is not fully handled here. COM rules apply: nothing may be thrown out of it.
    virtual LRESULT STDMETHODCALLTYPE Message(HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                                              DWORD_PTR dwRefData) = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ISubclass, 0x342429ca, 0xcce9, 0x4f49, 0x86, 0x67, 0x92, 0xbd, 0x1e, 0x63, 0x61,
                0x3f)
#endif
