#include "controls/richtext/RichTextOleCallback.h"

#include <new>

namespace {

// Runs an event; a failure of any kind answers E_NOTIMPL, as though there were no handler.
template <class Body>
HRESULT Answer(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return E_NOTIMPL;
    }
}

// User-interface thread only.
LONG g_live = 0;

}  // namespace

RichTextOleCallback::RichTextOleCallback(RichTextOleEvents& owner) : owner_(&owner) {
    ++g_live;
}

RichTextOleCallback::~RichTextOleCallback() {
    --g_live;
}

LONG RichTextOleCallback::LiveObjects() {
    return g_live;
}

ComPtr<RichTextOleCallback> RichTextOleCallback::Create(RichTextOleEvents& owner) {
    return ComPtr<RichTextOleCallback>::Attach(new (std::nothrow) RichTextOleCallback(owner));
}

HRESULT RichTextOleCallback::NewStorage(IStorage** storage) {
    return StgCreateDocfile(nullptr, STGM_DELETEONRELEASE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE,
                            0, storage);
}

HRESULT RichTextOleCallback::GetNewStorage(LPSTORAGE* storage) {
    if (!storage) return E_INVALIDARG;
    *storage = nullptr;
    const HRESULT hr = NewStorage(storage);
    return FAILED(hr) ? E_NOTIMPL : hr;
}

HRESULT RichTextOleCallback::DeleteObject(LPOLEOBJECT object) {
    return Answer([&] {
        if (!owner_) return E_NOTIMPL;
        owner_->OnDeleteObject(object);
        return S_OK;
    });
}

HRESULT RichTextOleCallback::GetDragDropEffect(BOOL drag, DWORD keyState, LPDWORD effect) {
    if (!effect) return E_INVALIDARG;
    return Answer([&] {
        if (!owner_) return E_NOTIMPL;
        auto value = static_cast<int32_t>(*effect);
        if (drag) {
            owner_->OnStartDrag(value);
        } else {
            const DWORD pos = GetMessagePos();
            owner_->OnGetDropEffect(
                value, keyState,
                POINT{static_cast<SHORT>(LOWORD(pos)), static_cast<SHORT>(HIWORD(pos))});
        }
        *effect = static_cast<DWORD>(value);
        return S_OK;
    });
}

HRESULT RichTextOleCallback::GetContextMenu(WORD selectionType, LPOLEOBJECT object,
                                            CHARRANGE* range, HMENU* menu) {
    if (!menu) return E_INVALIDARG;
    *menu = nullptr;
    return Answer([&] {
        if (!owner_) return E_NOTIMPL;
        const CHARRANGE none{0, 0};
        *menu = owner_->OnGetContextMenu(selectionType, object, range ? *range : none);
        return *menu ? S_OK : E_INVALIDARG;
    });
}
