#include "host/FormAccessible.h"

#include <string>
#include <type_traits>
#include <vector>

#include "controls/base/ComObject.h"
#include "host/Form.h"

namespace Host {

namespace {

class FormAccessible final : public ComObject<Also<IAccessible, IDispatch>> {
public:
    FormAccessible(HWND form, ComPtr<IAccessible> system)
        : form_(form), system_(std::move(system)) {}

    // No IEnumVARIANT: clients then ask for the children one by one, ours included.

    // IDispatch: accessibility clients call through the function table.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return system_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (!count) return E_POINTER;
        LONG own = 0;
        if (HRESULT hr = system_->get_accChildCount(&own); FAILED(hr)) return hr;
        *count = own + static_cast<LONG>(Windowless().size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override {
        if (!dispatch) return E_POINTER;
        if (!Ours(child)) return system_->get_accChild(child, dispatch);
        *dispatch = nullptr;
        return S_FALSE;  // a simple element: its parent answers for it
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Text(child, name, &IAccessible::get_accName,
                    [](ControlSite& s) { return s.Control().AccessibleName(); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Text(child, value, &IAccessible::get_accValue, nullptr);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return Text(child, text, &IAccessible::get_accDescription, nullptr);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (!role) return E_POINTER;
        ControlSite* site = Ours(child);
        if (!site) return system_->get_accRole(child, role);
        VariantInit(role);
        role->vt = VT_I4;
        role->lVal = site->Control().AccessibleRole();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (!state) return E_POINTER;
        ControlSite* site = Ours(child);
        if (!site) return system_->get_accState(child, state);
        VariantInit(state);
        state->vt = VT_I4;
        state->lVal = STATE_SYSTEM_READONLY;
        if (!site->StoredLayout().visible) state->lVal |= STATE_SYSTEM_INVISIBLE;
        if (!site->Enabled()) state->lVal |= STATE_SYSTEM_UNAVAILABLE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Text(child, help, &IAccessible::get_accHelp, nullptr);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (!Ours(child)) return system_->get_accHelpTopic(file, child, topic);
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return Text(child, shortcut, &IAccessible::get_accKeyboardShortcut, [](ControlSite& s) {
            const std::wstring& keys = s.AccessKeys();
            return keys.empty() ? std::wstring() : L"Alt+" + keys.substr(0, 1);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        return system_->get_accFocus(focus);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return system_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return Text(child, action, &IAccessible::get_accDefaultAction, nullptr);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        if (!Ours(child)) return system_->accSelect(flags, child);
        return DISP_E_MEMBERNOTFOUND;  // windowless controls take no focus here
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        ControlSite* site = Ours(child);
        if (!site) return system_->accLocation(left, top, width, height, child);
        if (!left || !top || !width || !height) return E_POINTER;
        RECT b = site->Bounds();
        MapWindowPoints(form_, nullptr, reinterpret_cast<POINT*>(&b), 2);
        *left = b.left;
        *top = b.top;
        *width = b.right - b.left;
        *height = b.bottom - b.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (!Ours(start)) return system_->accNavigate(direction, start, end);
        if (end) VariantInit(end);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (!child) return E_POINTER;
        Form* form = Form::FromWindow(form_);
        POINT pt{x, y};
        ScreenToClient(form_, &pt);
        if (ControlSite* site = form ? form->WindowlessAt(pt) : nullptr) {
            const std::vector<ControlSite*> ours = Windowless();
            for (size_t i = 0; i < ours.size(); ++i) {
                if (ours[i] != site) continue;
                VariantInit(child);
                child->vt = VT_I4;
                child->lVal = FirstId() + static_cast<LONG>(i);
                return S_OK;
            }
        }
        return system_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (!Ours(child)) return system_->accDoDefaultAction(child);
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    ~FormAccessible() = default;

    // The windowless controls that show themselves, in creation order; none once the form
    // is gone.
    std::vector<ControlSite*> Windowless() const {
        std::vector<ControlSite*> sites;
        Form* form = Form::FromWindow(form_);
        if (!form || !form->Loaded()) return sites;
        for (ControlSite* site : form->Controls()) {
            if (site->Windowless() && site->Control().AccessibleRole() != 0) sites.push_back(site);
        }
        return sites;
    }
    LONG FirstId() const {
        LONG own = 0;
        system_->get_accChildCount(&own);
        return own + 1;
    }
    // The windowless control a child identifier names, or null for the system's own.
    ControlSite* Ours(const VARIANT& child) const {
        if (child.vt != VT_I4 || child.lVal == CHILDID_SELF) return nullptr;
        const std::vector<ControlSite*> ours = Windowless();
        const LONG index = child.lVal - FirstId();
        if (index < 0 || index >= static_cast<LONG>(ours.size())) return nullptr;
        return ours[static_cast<size_t>(index)];
    }
    template <class Method, class Get>
    HRESULT Text(const VARIANT& child, BSTR* out, Method method, Get get) {
        if (!out) return E_POINTER;
        ControlSite* site = Ours(child);
        if (!site) return (system_.Get()->*method)(child, out);
        *out = nullptr;
        if constexpr (!std::is_same_v<Get, std::nullptr_t>) {
            const std::wstring text = get(*site);
            if (!text.empty()) *out = SysAllocString(text.c_str());
        }
        return *out ? S_OK : S_FALSE;
    }

    HWND form_;
    ComPtr<IAccessible> system_;
};

}  // namespace

ComPtr<IAccessible> CreateFormAccessible(HWND form) {
    ComPtr<IAccessible> system;
    if (FAILED(CreateStdAccessibleObject(form, OBJID_CLIENT, __uuidof(IAccessible),
                                         system.PutVoid())) ||
        !system) {
        return {};
    }
    return ComPtr<IAccessible>::Attach(new FormAccessible(form, std::move(system)));
}

}  // namespace Host
