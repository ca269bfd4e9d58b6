#include "host/DropTarget.h"

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"

#include "host/ControlSite.h"
#include "host/Form.h"

namespace Host {

namespace {

// The drag loop's key state carries Alt itself, unlike a mouse message's flags.
int16_t ShiftOf(DWORD keys) {
    return Common::ShiftBits(keys & MK_SHIFT, keys & MK_CONTROL, keys & MK_ALT);
}

}  // namespace

ComPtr<DropTarget> DropTarget::Create(Form& form, ControlSite* site) {
    return ComPtr<DropTarget>::Attach(new DropTarget(form, site));
}

ControlSite* DropTarget::TargetAt(POINTL screen, POINT& local) const {
    if (!form_ || !form_->Hwnd()) return nullptr;
    POINT client{screen.x, screen.y};
    ScreenToClient(form_->Hwnd(), &client);
    ControlSite* site = site_;
    if (!site) {
        site = form_->WindowlessAt(client);
        if (site && site->OLEDropMode() != 1) site = nullptr;
    }
    if (!site) return nullptr;
    const RECT b = site->Bounds();
    local = POINT{client.x - b.left, client.y - b.top};
    return site;
}

void DropTarget::Notify(ControlSite* site, DWORD keys, POINT local, DWORD* effect, int16_t state) {
    int32_t e = static_cast<int32_t>(*effect);
    try {
        site->Control().OLEDragOver(data_.Get(), e, Common::ButtonFromMouseFlags(keys),
                                    ShiftOf(keys), static_cast<float>(local.x),
                                    static_cast<float>(local.y), state);
    } catch (...) {
        e = DROPEFFECT_NONE;
    }
    *effect = static_cast<DWORD>(e);
}

HRESULT DropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!effect) return E_INVALIDARG;
        data_ = ComPtr<IDataObject>(data);
        POINT local{};
        over_ = TargetAt(pt, local);
        if (!over_) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        Notify(over_, keys, local, effect, 0);
        return S_OK;
    });
}

HRESULT DropTarget::DragOver(DWORD keys, POINTL pt, DWORD* effect) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!effect) return E_INVALIDARG;
        POINT local{};
        ControlSite* now = TargetAt(pt, local);
        if (now != over_ && over_) {
            DWORD none = DROPEFFECT_NONE;
            Notify(over_, keys, POINT{}, &none, 1);
        }
        const int16_t state = now == over_ ? 2 : 0;
        over_ = now;
        if (!over_) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        Notify(over_, keys, local, effect, state);
        return S_OK;
    });
}

HRESULT DropTarget::DragLeave() {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (over_) {
            DWORD none = DROPEFFECT_NONE;
            Notify(over_, 0, POINT{}, &none, 1);
        }
        over_ = nullptr;
        data_.Reset();
        return S_OK;
    });
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD keys, POINTL pt, DWORD* effect) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!effect) return E_INVALIDARG;
        POINT local{};
        ControlSite* site = TargetAt(pt, local);
        over_ = nullptr;
        data_.Reset();
        if (!site) {
            *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        int32_t e = static_cast<int32_t>(*effect);
        try {
            site->Control().OLEDragDrop(data, e, Common::ButtonFromMouseFlags(keys), ShiftOf(keys),
                                        static_cast<float>(local.x), static_cast<float>(local.y));
        } catch (...) {
            e = DROPEFFECT_NONE;
        }
        *effect = static_cast<DWORD>(e);
        return S_OK;
    });
}

}  // namespace Host
