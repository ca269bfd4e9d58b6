// PropertyPage: a property page built from a stored layout, as a development environment
// shows it in its property frame (host/PropertyFrame.h) for a set of selected controls.
//
// The page is a COM object (IPropertyPage2). While active, its controls live on a form built
// from the page's layout whose window is a child of the frame's (Form::SetParentWindow); the
// page's controls run as at run time. A page class derives from PropertyPage and supplies
// the four calls the environment makes:
//   Initialize        once per activation, after the page's form has loaded (fill lists)
//   SelectionChanged  whenever the set of selected objects changes, and after Initialize
//   ApplyChanges      the environment applies: write the page's values to the objects; the
//                     changed flag is already cleared, set it again to keep the page unapplied
//   EditSingleProperty  the user asked to edit one property (its dispatch identifier); false
//                     when the page does not show that one
// The page tells the environment that it holds unapplied changes with SetChanged(true)
// (IPropertyPageSite::OnStatusChange). The selected objects are reached late-bound, through
// their IDispatch (host/LateBound.h), as a page of any environment reaches them.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComObject.h"
#include "controls/base/ComPtr.h"
#include "host/Form.h"

namespace Host {

// Registers the host's own controls that pages are built from ("TextBox", "ComboBox");
// calling it again changes nothing.
void RegisterHostControls();

class PropertyPage : public ComObject<Also<IPropertyPage2, IPropertyPage>> {
public:
    // IPropertyPage, IPropertyPage2
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE EditProperty(DISPID id) override;

    // The page's form while the page is active; null otherwise.
    Form* PageForm() const { return form_.get(); }
    bool Changed() const { return changed_; }
    // Marks the page changed (or not) and tells the environment.
    void SetChanged(bool changed);

protected:
    // `layout`: the page's stored layout (UTF-8 text); `name` names it in layout errors.
    PropertyPage(std::string layout, std::string name, std::wstring title);
    ~PropertyPage() override;

    virtual void Initialize() {}
    virtual void SelectionChanged() {}
    virtual void ApplyChanges() {}
    virtual bool EditSingleProperty(DISPID id) {
        (void)id;
        return false;
    }

    // The selected objects, in the environment's order.
    const std::vector<ComPtr<IDispatch>>& SelectedControls() const { return selected_; }
    template <class T>
    T& PageControl(std::wstring_view name) const {
        return form_->ControlAs<T>(name);
    }

private:
    std::string layout_;
    std::string name_;
    std::wstring title_;
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IDispatch>> selected_;
    std::unique_ptr<Form> form_;
    bool changed_ = false;
};

namespace PropertyPages {

using Factory = std::function<ComPtr<IPropertyPage>()>;
// Registers (or replaces) the page of a class identifier, as a program that carries its pages
// makes them known; a page not registered here is created through COM.
void Register(const CLSID& clsid, Factory factory);
// A new page of that class; ControlError 429 when it cannot be created.
ComPtr<IPropertyPage> Create(const CLSID& clsid);

}  // namespace PropertyPages

}  // namespace Host
