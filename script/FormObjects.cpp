#include "script/FormObjects.h"

#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "host/Layout.h"
#include "host/ControlDescription.h"
#include "host/DispatchCall.h"
#include "host/StoredValue.h"
#include "script/Runner.h"

namespace FormScript {

namespace {

using Host::Variant;

Variant Nothing() {
    return Variant::Object(nullptr);
}

Variant Handle(HWND hwnd) {
    return Variant::Int32(HandleValue(hwnd));
}

// A property: the getter's value, or the setter given the put's value.
template <class Get, class Set>
Handler Property(Get get, Set set) {
    return [get, set](const Call& call) -> Variant {
        if (call.IsPut()) {
            set(Variant(call.Value()));
            return {};
        }
        return get();
    };
}

class FormObject;

class ControlObject final : public ScriptObject {
public:
    // The extender's members (the host's, with the control's own behind them) answer
    // through the host's extender object; Parent and Container are the script's form.
    ControlObject(Runner& runner, Host::Form& form, Host::ControlSite& site)
        : form_(form), name_(site.Name()), extender_(site.ExtenderObject()) {
        site.Object()->QueryInterface(IID_IUnknown, identity_.PutVoid());
        site.Object()->QueryInterface(IID_IDispatch, control_.PutVoid());
        auto parent = [this, &runner](const Call& c) {
            c.ReadOnly();
            Site();  // still on its form
            return Variant::Object(runner.ObjectOf(form_));
        };
        Add(L"Parent", parent);
        Add(L"Container", parent);
    }

    // The site while the control is on its form; error 730 once it has been removed.
    Host::ControlSite& Site() const {
        Host::ControlSite* site = form_.FindSite(name_);
        if (!site || site->Object() != identity_.Get()) {
            throw ControlError(730, L"Control '" + name_ + L"' not found");
        }
        return *site;
    }

protected:
    HRESULT ForwardIdOfName(LPOLESTR name, DISPID& id) override {
        // The control's own names too once it has been removed, so that a call gets 730.
        if (SUCCEEDED(extender_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id)) ||
            (control_ && SUCCEEDED(control_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id)))) {
            return S_OK;
        }
        if (Host::MemberNameIs(name, L"hWnd")) {
            id = kHwndId;
            return S_OK;
        }
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT ForwardInvoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception) override {
        try {
            Site();
            if (id == kHwndId) {
                Call(flags, params).ReadOnly();
                if (result) *result = Handle(Site().Hwnd()).Detach();
                return S_OK;
            }
        } catch (const ControlError& e) {
            return Host::DispatchCall::Failure(e, exception);
        }
        if (exception) *exception = EXCEPINFO{};
        const HRESULT hr =
            extender_->Invoke(id, IID_NULL, 0, flags, params, result, exception, nullptr);
        if (SUCCEEDED(hr) || hr == DISP_E_EXCEPTION) return hr;
        if (const int32_t number = ControlErrors::FromHResult(hr); number != 0) {
            // A numbered error told only through the thread's error object.
            std::wstring description = ControlErrors::StandardDescription(number);
            ComPtr<IErrorInfo> info;
            if (GetErrorInfo(0, info.Put()) == S_OK && info) {
                UniqueBstr text;
                if (SUCCEEDED(info->GetDescription(text.Put())) && text && *text.Get())
                    description = text.Get();
            }
            return Host::DispatchCall::Failure(ControlError(number, description), exception);
        }
        return hr;
    }

private:
    static constexpr DISPID kHwndId = kFirstId - 1;
    Host::Form& form_;
    std::wstring name_;
    ComPtr<IDispatch> extender_;
    ComPtr<IUnknown> identity_;
    ComPtr<IDispatch> control_;
};

class ControlsObject final : public ScriptObject {
public:
    ControlsObject(Runner& runner, Host::Form& form) : runner_(runner), form_(form) {
        Enumerable([this] {
            std::vector<Variant> items;
            for (Host::ControlSite* site : form_.Controls())
                items.push_back(Variant::Object(runner_.ObjectOf(form_, *site)));
            return items;
        });
        Add(L"Count", [this](const Call& c) {
            c.ReadOnly();
            return Variant::Int32(static_cast<int32_t>(form_.Controls().size()));
        });
        Add(
            L"Item", [this](const Call& c) { return Item(c); }, true);
        Add(L"Add", [this](const Call& c) {
            c.Expect(2, 6);
            // A new control starts at the top-left corner with the size of a command button,
            // unless placed here.
            Host::ControlSite& site =
                form_.AddControl(c.String(0), c.String(1), c.IntOr(2, 0), c.IntOr(3, 0),
                                 c.IntOr(4, 1215), c.IntOr(5, 495));
            return Variant::Object(runner_.ObjectOf(form_, site));
        });
        Add(L"Remove", [this](const Call& c) {
            c.Expect(1, 1);
            Host::ControlSite& site = form_.Site(c.String(0));
            IUnknown* identity = site.Object();
            form_.RemoveControl(site.Name());
            runner_.Forget(identity);
            return Variant();
        });
    }

    Variant Item(const Call& c) {
        c.ReadOnly();
        c.Expect(1, 1);
        const VARIANT& key = c.Arg(0);
        if (key.vt == VT_BSTR)
            return Variant::Object(runner_.ObjectOf(form_, form_.Site(c.String(0))));
        const int32_t index = c.Int(0);
        const auto& all = form_.Controls();
        if (index < 0 || static_cast<size_t>(index) >= all.size()) {
            ControlErrors::Raise(ControlErrors::kSubscriptOutOfRange);
        }
        return Variant::Object(runner_.ObjectOf(form_, *all[static_cast<size_t>(index)]));
    }

private:
    Runner& runner_;
    Host::Form& form_;
};

class FormObject final : public ScriptObject {
public:
    FormObject(Runner& runner, Host::Form& form) : form_(form) {
        items_ = new ControlsObject(runner, form);
        controls_ = ComPtr<IDispatch>::Attach(items_);
        Add(L"Show", [this](const Call& c) {
            c.Expect(0, 2);
            form_.Show(c.IntOr(0, 0) == 1 ? Host::ShowMode::Modal : Host::ShowMode::Modeless,
                       HandleOf(c.Has(1) ? c.Arg(1) : VARIANT{}));
            return Variant();
        });
        Add(L"Hide", [this](const Call& c) {
            c.Expect(0, 0);
            form_.Hide();
            return Variant();
        });
        Add(L"Unload", [this](const Call& c) {
            c.Expect(0, 0);
            return Variant::Bool(form_.Unload());
        });
        Add(L"Caption", Property([this] { return Variant::String(form_.Caption()); },
                                 [this](const Variant& v) { form_.SetCaption(v.ToString()); }));
        Add(L"Name", [this](const Call& c) {
            c.ReadOnly();
            return Variant::String(form_.Name());
        });
        Add(L"hWnd", [this](const Call& c) {
            c.ReadOnly();
            form_.Load();
            return Handle(form_.Hwnd());
        });
        Add(L"Visible", Property([this] { return Variant::Bool(form_.Visible()); },
                                 [this](const Variant& v) {
                                     if (v.ToBool()) {
                                         form_.Show();
                                     } else {
                                         form_.Hide();
                                     }
                                 }));
        Add(L"ActiveControl", [this, &runner](const Call& c) {
            c.ReadOnly();
            Host::ControlSite* site = form_.Loaded() ? form_.ActiveControl() : nullptr;
            return site ? Variant::Object(runner.ObjectOf(form_, *site)) : Nothing();
        });
        Add(L"ScaleWidth", [this](const Call& c) {
            c.ReadOnly();
            return Variant::Double(form_.ScaleWidth());
        });
        Add(L"ScaleHeight", [this](const Call& c) {
            c.ReadOnly();
            return Variant::Double(form_.ScaleHeight());
        });
        Add(L"Controls", [this](const Call& c) {
            c.ReadOnly();
            if (c.Count() == 0) return Variant::Object(controls_.Get());
            return items_->Item(c);  // Controls(name) is Controls.Item(name)
        });
        Add(L"SaveLayout", [this](const Call& c) {
            c.Expect(1, 1);
            const std::string text = Layout::Write(form_.SaveLayout());
            const std::wstring path = c.String(0);
            UniqueHandle<HANDLE, HandleTraits::File> file(
                CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (!file ||
                !WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                           nullptr) ||
                written != text.size()) {
                ControlErrors::Raise(ControlErrors::kPathFileAccess);
            }
            return Variant();
        });
    }

    Host::Form& GetForm() const { return form_; }

private:
    Host::Form& form_;
    ControlsObject* items_;  // held by controls_
    ComPtr<IDispatch> controls_;
};

}  // namespace

ComPtr<IDispatch> NewFormObject(Runner& runner, Host::Form& form) {
    return ComPtr<IDispatch>::Attach(new FormObject(runner, form));
}

ComPtr<IDispatch> NewControlObject(Runner& runner, Host::Form& form, Host::ControlSite& site) {
    return ComPtr<IDispatch>::Attach(new ControlObject(runner, form, site));
}

Host::Form* FormOf(const VARIANT& value) {
    auto* form = dynamic_cast<FormObject*>(ScriptObject::From(value));
    return form ? &form->GetForm() : nullptr;
}

Host::ControlSite* SiteOf(const VARIANT& value) {
    auto* control = dynamic_cast<ControlObject*>(ScriptObject::From(value));
    return control ? &control->Site() : nullptr;
}

int32_t HandleValue(HWND hwnd) {
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(hwnd));
}

HWND HandleOf(const VARIANT& value) {
    const VARIANT& v = Deref(value);
    if (v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND)) return nullptr;
    if (Host::Form* form = FormOf(v)) return form->Hwnd();
    if (Host::ControlSite* site = SiteOf(v)) return site->Hwnd();
    return reinterpret_cast<HWND>(static_cast<intptr_t>(Variant(v).ToInt32()));
}

}  // namespace FormScript
