// Owned system handles: each type releases its handle when replaced and when it goes, the
// way the handle's kind requires.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <utility>

template <class H, class Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(H h) : h_(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.h_, Traits::Invalid()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    H Get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Invalid(); }
    // Releases what is held and takes `h`.
    void Reset(H h = Traits::Invalid()) {
        const H old = std::exchange(h_, h);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    // Gives the handle up without releasing it.
    H Release() { return std::exchange(h_, Traits::Invalid()); }
    // Releases what is held and hands out the slot, for an out parameter.
    H* Put() {
        Reset();
        return &h_;
    }

private:
    H h_ = Traits::Invalid();
};

namespace HandleTraits {

template <class H>
struct GdiObject {
    static H Invalid() { return nullptr; }
    static void Close(H h) { DeleteObject(h); }
};
struct MemoryDC {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};
struct Module {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};
struct Hook {
    static HHOOK Invalid() { return nullptr; }
    static void Close(HHOOK h) { UnhookWindowsHookEx(h); }
};
struct File {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct Kernel {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct ImageList {
    static HIMAGELIST Invalid() { return nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};
struct Accel {
    static HACCEL Invalid() { return nullptr; }
    static void Close(HACCEL h) { DestroyAcceleratorTable(h); }
};
struct Icon {
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};
struct Window {
    static HWND Invalid() { return nullptr; }
    static void Close(HWND h) { DestroyWindow(h); }
};
struct GlobalMemory {
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL h) { GlobalFree(h); }
};
struct Metafile {
    static HMETAFILE Invalid() { return nullptr; }
    static void Close(HMETAFILE h) { DeleteMetaFile(h); }
};
struct EnhMetafile {
    static HENHMETAFILE Invalid() { return nullptr; }
    static void Close(HENHMETAFILE h) { DeleteEnhMetaFile(h); }
};

struct Bstr {
    static BSTR Invalid() { return nullptr; }
    static void Close(BSTR h) { SysFreeString(h); }
};
template <class T>
struct TaskMemory {
    static T* Invalid() { return nullptr; }
    static void Close(T* h) { CoTaskMemFree(h); }
};
}  // namespace HandleTraits

using UniqueFont = UniqueHandle<HFONT, HandleTraits::GdiObject<HFONT>>;
using UniqueBrush = UniqueHandle<HBRUSH, HandleTraits::GdiObject<HBRUSH>>;
using UniqueBitmap = UniqueHandle<HBITMAP, HandleTraits::GdiObject<HBITMAP>>;
using UniquePen = UniqueHandle<HPEN, HandleTraits::GdiObject<HPEN>>;
using UniqueRegion = UniqueHandle<HRGN, HandleTraits::GdiObject<HRGN>>;
using UniquePalette = UniqueHandle<HPALETTE, HandleTraits::GdiObject<HPALETTE>>;
using UniqueMemoryDC = UniqueHandle<HDC, HandleTraits::MemoryDC>;
// A device context made by CreateDC and its kind (a printer's): DeleteDC, like a memory one.
using UniqueCreatedDC = UniqueHandle<HDC, HandleTraits::MemoryDC>;
using UniqueModule = UniqueHandle<HMODULE, HandleTraits::Module>;
using UniqueHook = UniqueHandle<HHOOK, HandleTraits::Hook>;
using UniqueFile = UniqueHandle<HANDLE, HandleTraits::File>;
using UniqueKernelHandle = UniqueHandle<HANDLE, HandleTraits::Kernel>;
using UniqueImageList = UniqueHandle<HIMAGELIST, HandleTraits::ImageList>;
using UniqueAccel = UniqueHandle<HACCEL, HandleTraits::Accel>;
using UniqueIcon = UniqueHandle<HICON, HandleTraits::Icon>;
using UniqueWindow = UniqueHandle<HWND, HandleTraits::Window>;
using UniqueGlobal = UniqueHandle<HGLOBAL, HandleTraits::GlobalMemory>;
using UniqueMetafile = UniqueHandle<HMETAFILE, HandleTraits::Metafile>;
using UniqueEnhMetafile = UniqueHandle<HENHMETAFILE, HandleTraits::EnhMetafile>;
// A string handed out by a COM method (an out BSTR); Put() for the out parameter.
using UniqueBstr = UniqueHandle<BSTR, HandleTraits::Bstr>;
// What IDispatch::Invoke may leave in an EXCEPINFO, freed when it goes.
struct OwnedExcepInfo : EXCEPINFO {
    OwnedExcepInfo() : EXCEPINFO{} {}
    OwnedExcepInfo(const OwnedExcepInfo&) = delete;
    OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
    ~OwnedExcepInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
    // Lets a deferred filler run, once.
    void FillIn() {
        if (pfnDeferredFillIn) pfnDeferredFillIn(this);
        pfnDeferredFillIn = nullptr;
    }
    std::wstring Description() const {
        return bstrDescription ? std::wstring(bstrDescription, SysStringLen(bstrDescription))
                               : std::wstring();
    }
};
// Memory of the COM task allocator (CoTaskMemAlloc).
template <class T>
using UniqueTaskMem = UniqueHandle<T*, HandleTraits::TaskMemory<T>>;

// A window's (or the screen's, for a 0 window) device context from GetDC, given back with
// ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd = nullptr) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Selects an object into a device context and selects the former one back when it goes.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
