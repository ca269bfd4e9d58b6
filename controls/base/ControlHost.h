// ControlHost: what the shared control helpers need to know of the host that sites the
// controls. The host implements these interfaces; the helpers in Common use them.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <optional>
#include <string>

namespace ControlHost {

// A control as it appears in its container's list of controls.
class IControl {
public:
    // The control's type name: "ImageList" for an image list, "CommandButtonW", ...
    virtual std::wstring TypeName() const = 0;
    virtual std::wstring Name() const = 0;
    // The index of a member of a control array; none for a control that is not one.
    virtual std::optional<int32_t> Index() const = 0;

protected:
    ~IControl() = default;
};

class IContainer;

// A user control: a control that may itself sit inside another user control.
class IUserControl {
public:
    // What holds the control: a form, a property page, another user control, ...; nullptr
    // while it is not sited.
    virtual IContainer* Container() const = 0;

protected:
    ~IUserControl() = default;
};

// The object that holds a control.
class IContainer {
public:
    // The user control this container is, when it is one; nullptr otherwise.
    virtual IUserControl* AsUserControl() = 0;
    // True for a form of the host.
    virtual bool IsForm() const = 0;
    // The container's COM identity, for asking it for other interfaces (a property page
    // answers IPropertyPage); nullptr when it has none.
    virtual IUnknown* Unknown() = 0;
    // For a form or a property page: validates the control that has the focus. Raises
    // ControlError 380 when that control refuses to lose the focus.
    virtual void ValidateControls() = 0;

protected:
    ~IContainer() = default;
};

// Process-wide answers of the host.
class IHostServices {
public:
    // The host's twips per screen pixel along X (15 at 96 dots per inch when it measures the
    // screen as the system does).
    virtual double TwipsPerPixelX() const = 0;

protected:
    ~IHostServices() = default;
};

// The host registers itself at start-up, before any control exists; nullptr unregisters.
void SetHostServices(IHostServices* services);
IHostServices* HostServices();

}  // namespace ControlHost
