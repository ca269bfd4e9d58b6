// ComObject: the one IUnknown of the program's own COM objects.
//
//   class Frame final : public ComObject<Also<IOleInPlaceFrame, IOleInPlaceUIWindow, IOleWindow>,
//                                        IDispatch> { ... };
//   ComPtr<Frame> frame = ComPtr<Frame>::Attach(new Frame(...));
//
// The object derives from every listed interface and answers QueryInterface for each of them,
// for IUnknown (through the first), and for the base interfaces an `Also<I, Bases...>` entry
// names (reached through I). A new object holds one reference, which its creator adopts; the
// last Release deletes it. Each interface needs an identifier for __uuidof.
//
// UnownedComObject answers the same way but leaves its life to its owner (an object on the
// stack of the call that hands it out, or a member of a C++ object): AddRef and Release only
// keep the callers' pairing honest.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

namespace ComObjects {

// Interface I, also answering for base interfaces of I that it is the only route to.
template <class I, class... Bases>
struct Also {};

template <class Item>
struct Entry {
    using Interface = Item;
    static bool Answers(REFIID iid) { return IsEqualIID(iid, __uuidof(Item)) != 0; }
};
template <class I, class... Bases>
struct Entry<Also<I, Bases...>> {
    using Interface = I;
    static bool Answers(REFIID iid) {
        return IsEqualIID(iid, __uuidof(I)) || (IsEqualIID(iid, __uuidof(Bases)) || ...);
    }
};

template <class First, class... Rest>
struct FirstOf {
    using Type = typename Entry<First>::Interface;
};

// The listed interface of `self` that answers `iid`, or null.
template <class... Items, class Self>
void* FindInterface(Self* self, REFIID iid) {
    void* found = nullptr;
    ((Entry<Items>::Answers(iid)
          ? (found = static_cast<typename Entry<Items>::Interface*>(self), true)
          : false) ||
     ...);
    return found;
}

// The interface list's QueryInterface, without the reference counting.
template <class... Items>
class Implements : public Entry<Items>::Interface... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        void* found = IsEqualIID(iid, IID_IUnknown)
                          ? static_cast<typename FirstOf<Items...>::Type*>(this)
                          : FindInterface<Items...>(this, iid);
        if (!found) return QueryOther(iid, object);
        *object = found;
        static_cast<IUnknown*>(static_cast<typename FirstOf<Items...>::Type*>(this))->AddRef();
        return S_OK;
    }

protected:
    Implements() = default;
    Implements(const Implements&) = delete;
    Implements& operator=(const Implements&) = delete;
    virtual ~Implements() = default;

    // Interfaces answered besides the list (an inner object's, say); `*object` is null on
    // entry, and a found interface must carry its own reference.
    virtual HRESULT QueryOther(REFIID, void**) { return E_NOINTERFACE; }
};

}  // namespace ComObjects

using ComObjects::Also;

template <class... Items>
class ComObject : public ComObjects::Implements<Items...> {
public:
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

private:
    LONG refs_ = 1;
};

template <class... Items>
class UnownedComObject : public ComObjects::Implements<Items...> {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

namespace ComObjects {
// IDispatch's type-information methods for an object that is called by name only.
inline HRESULT NoTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
inline HRESULT NoTypeInfo(ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}
}  // namespace ComObjects

// The same as a base of a COM object:
//   class Site final : public WithoutTypeInfo<ComObject<IOleClientSite, IDispatch>> { ... };
template <class Base>
class WithoutTypeInfo : public Base {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return ComObjects::NoTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        return ComObjects::NoTypeInfo(info);
    }
};
