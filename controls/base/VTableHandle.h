// VTableHandle: routes the container's keyboard, mnemonic, control-information and
// property-browsing calls to the controls.
//
// The host's per-control framework object answers IOleControl, IOleInPlaceActiveObject and
// IPerPropertyBrowsing with its own defaults. A control that wants to answer them itself
// implements the partner interfaces below (each method reports whether it handled the call
// in `Handled`) and asks for handling here: the shared function tables of the framework's
// interfaces are patched so that the container's calls reach the partner first and fall back
// to the framework's own function when the control leaves `Handled` false or fails.
//
// Because a patch is of the table that every framework object shares, one control's
// installation reroutes the calls of all of them; controls without a partner simply get the
// framework's answer through the fallback. A process marker (a window property on the
// host's hidden main window) keeps a second copy of this module from patching again.
//
// User-interface thread only.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oaidl.h>
#include <olectl.h>

#include <cstdint>

#include "controls/base/ComPtr.h"

// The partner interfaces: the IUnknown and IDispatch slots first, then the methods in this
// order. `Handled` is an output (VARIANT_TRUE when the control answered); `Shift` is the
// keyboard state when the call is made (1 Shift, 2 Ctrl, 4 Alt). Message parameters are
// pointer-sized so that 64-bit builds lose nothing.

// {38584260-0CFB-45E7-8FBB-5D20B311F5B8}
inline constexpr IID IID_IOleInPlaceActiveObjectVB = {
    0x38584260, 0x0cfb, 0x45e7, {0x8f, 0xbb, 0x5d, 0x20, 0xb3, 0x11, 0xf5, 0xb8}};

struct IOleInPlaceActiveObjectVB : public IDispatch {
    // `RetVal` starts as S_OK; when handled it is what the container gets.
    virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(VARIANT_BOOL* Handled, LONG* RetVal,
                                                           LONG wMsg, LONG_PTR wParam,
                                                           LONG_PTR lParam, LONG Shift) = 0;
};

// {C895C8F9-6564-4123-8760-529F72AB9322}
inline constexpr IID IID_IOleControlVB = {
    0xc895c8f9, 0x6564, 0x4123, {0x87, 0x60, 0x52, 0x9f, 0x72, 0xab, 0x93, 0x22}};

struct IOleControlVB : public IDispatch {
    // The outputs are the fields of the container's CONTROLINFO record. The accelerator
    // table stays the control's: it destroys it when it builds the next one.
    virtual HRESULT STDMETHODCALLTYPE GetControlInfo(VARIANT_BOOL* Handled, USHORT* AccelCount,
                                                     HACCEL* AccelTable, DWORD* Flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnMnemonic(VARIANT_BOOL* Handled, LONG wMsg, LONG_PTR wParam,
                                                 LONG_PTR lParam, LONG Shift) = 0;
};

// {D5D3BBE3-DB60-4522-AF5B-D767FE736DDB}
inline constexpr IID IID_IPerPropertyBrowsingVB = {
    0xd5d3bbe3, 0xdb60, 0x4522, {0xaf, 0x5b, 0xd7, 0x67, 0xfe, 0x73, 0x6d, 0xdb}};

struct IPerPropertyBrowsingVB : public IDispatch {
    // `DisplayName` comes in null; the caller frees what the control puts there.
    virtual HRESULT STDMETHODCALLTYPE GetDisplayString(VARIANT_BOOL* Handled, DISPID DispID,
                                                       BSTR* DisplayName) = 0;
    // The two arrays come in as one-dimensional arrays of one element (an empty string, a
    // 0 cookie), VT_BSTR and VT_I4; the control may replace them (destroying the ones it
    // got) or resize them. A cookie array shorter than the strings is padded with 0.
    virtual HRESULT STDMETHODCALLTYPE GetPredefinedStrings(VARIANT_BOOL* Handled, DISPID DispID,
                                                           SAFEARRAY** StringsOut,
                                                           SAFEARRAY** CookiesOut) = 0;
    // `Value` comes in empty; the caller clears what the control puts there.
    virtual HRESULT STDMETHODCALLTYPE GetPredefinedValue(VARIANT_BOOL* Handled, DISPID DispID,
                                                         LONG Cookie, VARIANT* Value) = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IOleInPlaceActiveObjectVB, 0x38584260, 0x0cfb, 0x45e7, 0x8f, 0xbb, 0x5d, 0x20, 0xb3,
                0x11, 0xf5, 0xb8)
__CRT_UUID_DECL(IOleControlVB, 0xc895c8f9, 0x6564, 0x4123, 0x87, 0x60, 0x52, 0x9f, 0x72, 0xab, 0x93,
                0x22)
__CRT_UUID_DECL(IPerPropertyBrowsingVB, 0xd5d3bbe3, 0xdb60, 0x4522, 0xaf, 0x5b, 0xd7, 0x67, 0xfe,
                0x73, 0x6d, 0xdb)
#endif

namespace VTableHandle {

// Kinds of handling.
inline constexpr int32_t kOleControl = 1;              // IOleControl entries 4 and 5
inline constexpr int32_t kOleInPlaceActiveObject = 2;  // users of the active-object wrapper
inline constexpr int32_t kPerPropertyBrowsing = 3;     // IPerPropertyBrowsing entries 4, 6, 7

// The window properties that mark a patch made in this process.
inline constexpr wchar_t kControlMarker[] = L"VTableSubclassControlInit";
inline constexpr wchar_t kPropertyBrowsingMarker[] = L"VTableSubclassPPBInit";

// Installs handling of `kind` for a control object (its COM identity, which answers both the
// framework's interface and the partner). Does nothing for a control that does not answer
// both. Controls call it for kinds 2, 1 and 3 when they are created.
void SetVTableHandling(IUnknown* control, int32_t kind);

// The reverse, for kinds 2, 1 and 3 when the control ends. The shared table is put back when
// the last control that installed the kind removes it.
void RemoveVTableHandling(IUnknown* control, int32_t kind);

// True when `control` answers both the standard interface of `kind` and its partner.
bool VTableHandlingSupported(IUnknown* control, int32_t kind);

// Tells the control's site that its keyboard information changed
// (IOleControlSite::OnControlInfoChanged, reached through IOleObject::GetClientSite), and
// with `setFocus` also that it has the focus (OnFocus(TRUE)). Failures are ignored.
void NotifyControlInfoChanged(IUnknown* control, bool setFocus);

// What a control hands to its frame (IOleInPlaceUIWindow::SetActiveObject) when it takes the
// focus: while kind 2 has users and the control answers IOleInPlaceActiveObjectVB, the
// process's one active-object wrapper, pointed at this control, through which the frame's
// TranslateAccelerator reaches the partner first; otherwise the control's own
// IOleInPlaceActiveObject. The wrapper holds the control it points at (until another
// control takes it or the control removes kind 2); callers' references are the wrapper's
// own, so a holder that keeps it while another control takes the focus releases nothing of
// either control.
ComPtr<IOleInPlaceActiveObject> ActiveObjectFor(IUnknown* control);

// True when `object` is the process's active-object wrapper.
bool IsActiveObjectWrapper(const IUnknown* object);

// The number of controls that installed kind 2.
int32_t ActiveObjectUsers();

}  // namespace VTableHandle
