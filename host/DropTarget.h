// DropTarget: OLE drop notifications for controls whose OLEDropMode is 1 (manual).
//
// A windowed control's user control window gets its own target; the form's window gets one
// that passes drops to the windowless control under the pointer. Each control hears
// OLEDragOver (entering, moving over, leaving) and OLEDragDrop, with the pointer in pixels
// from its top-left corner.
#pragma once

#include <windows.h>
#include <oleidl.h>

#include <cstdint>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"

namespace Host {

class ControlSite;
class Form;

class DropTarget final : public ComObject<IDropTarget> {
public:
    // `site` null: the windowless controls of `form`.
    static ComPtr<DropTarget> Create(Form& form, ControlSite* site);
    void Detach() {
        form_ = nullptr;
        site_ = nullptr;
        over_ = nullptr;
        data_.Reset();
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL pt,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL pt, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL pt,
                                   DWORD* effect) override;

private:
    DropTarget(Form& form, ControlSite* site) : form_(&form), site_(site) {}
    ~DropTarget() override = default;
    ControlSite* TargetAt(POINTL screen, POINT& local) const;
    void Notify(ControlSite* site, DWORD keys, POINT local, DWORD* effect, int16_t state);

    Form* form_;
    ControlSite* site_;
    ControlSite* over_ = nullptr;
    ComPtr<IDataObject> data_;
};

}  // namespace Host
