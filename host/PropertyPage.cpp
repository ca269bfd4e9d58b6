#include "host/PropertyPage.h"

#include <map>

#include "controls/base/ControlError.h"
#include "host/ComboBox.h"
#include "host/ControlTypes.h"
#include "host/TextBox.h"
#include "host/Units.h"

namespace Host {

void RegisterHostControls() {
    ControlTypes::Register<TextBox>(TextBox::kTypeName);
    ControlTypes::Register<ComboBox>(ComboBox::kTypeName);
}

PropertyPage::PropertyPage(std::string layout, std::string name, std::wstring title)
    : layout_(std::move(layout)), name_(std::move(name)), title_(std::move(title)) {
    // Before anything reads the page's layout.
    RegisterHostControls();
}

PropertyPage::~PropertyPage() {
    if (form_) form_->Unload();
}

HRESULT PropertyPage::SetPageSite(IPropertyPageSite* site) {
    site_ = ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

HRESULT PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (form_) return E_UNEXPECTED;
        std::unique_ptr<Form> form = Form::FromText(layout_, name_);
        form->SetParentWindow(parent);
        form->Load();
        form_ = std::move(form);
        if (rect) Move(rect);
        changed_ = false;
        // Loading values into the page is not a change.
        Initialize();
        if (!selected_.empty()) SelectionChanged();
        return S_OK;
    });
}

HRESULT PropertyPage::Deactivate() {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!form_) return E_UNEXPECTED;
        std::unique_ptr<Form> form = std::move(form_);
        form->Unload();
        return S_OK;
    });
}

HRESULT PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!info) return E_POINTER;
        std::unique_ptr<Form> probe;
        const Layout::FormLayout* layout = nullptr;
        if (form_) {
            layout = &form_->StoredLayout();
        } else {
            probe = Form::FromText(layout_, name_);
            layout = &probe->StoredLayout();
        }
        const size_t bytes = (title_.size() + 1) * sizeof(wchar_t);
        auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!title) return E_OUTOFMEMORY;
        memcpy(title, title_.c_str(), bytes);
        info->cb = sizeof(PROPPAGEINFO);
        info->pszTitle = title;
        info->size.cx = Units::TwipsToPixels(layout->clientWidth, Units::Axis::X);
        info->size.cy = Units::TwipsToPixels(layout->clientHeight, Units::Axis::Y);
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return S_OK;
    });
}

HRESULT PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (count && !objects) return E_POINTER;
        std::vector<ComPtr<IDispatch>> selected;
        for (ULONG i = 0; i < count; ++i) {
            ComPtr<IDispatch> object;
            if (!objects[i] ||
                FAILED(objects[i]->QueryInterface(IID_IDispatch, object.PutVoid()))) {
                return E_NOINTERFACE;
            }
            selected.push_back(std::move(object));
        }
        selected_ = std::move(selected);
        if (form_ && !selected_.empty()) SelectionChanged();
        return S_OK;
    });
}

HRESULT PropertyPage::Show(UINT command) {
    if (!form_) return E_UNEXPECTED;
    ShowWindow(form_->Hwnd(), static_cast<int>(command));
    return S_OK;
}

HRESULT PropertyPage::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!form_) return E_UNEXPECTED;
    MoveWindow(form_->Hwnd(), rect->left, rect->top, rect->right - rect->left,
               rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT PropertyPage::IsPageDirty() {
    return changed_ ? S_OK : S_FALSE;
}

HRESULT PropertyPage::Apply() {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!form_ || selected_.empty()) return S_OK;
        SetChanged(false);
        ApplyChanges();
        return S_OK;
    });
}

HRESULT PropertyPage::TranslateAccelerator(MSG* msg) {
    // The page's form routes its keys itself (the host's keyboard hook).
    return msg ? S_FALSE : E_POINTER;
}

HRESULT PropertyPage::EditProperty(DISPID id) {
    return ControlErrors::AtComBoundary([&]() -> HRESULT {
        if (!form_) return E_UNEXPECTED;
        return EditSingleProperty(id) ? S_OK : E_NOTIMPL;
    });
}

void PropertyPage::SetChanged(bool changed) {
    changed_ = changed;
    if (site_) {
        site_->OnStatusChange(changed ? PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE
                                      : PROPPAGESTATUS_CLEAN);
    }
}

namespace PropertyPages {

namespace {

struct ClsidLess {
    bool operator()(const CLSID& a, const CLSID& b) const { return memcmp(&a, &b, sizeof a) < 0; }
};

std::map<CLSID, Factory, ClsidLess>& Registry() {
    static std::map<CLSID, Factory, ClsidLess> registry;
    return registry;
}

}  // namespace

void Register(const CLSID& clsid, Factory factory) {
    Registry()[clsid] = std::move(factory);
}

ComPtr<IPropertyPage> Create(const CLSID& clsid) {
    constexpr int32_t kCannotCreateObject = 429;
    ComPtr<IPropertyPage> page;
    if (auto it = Registry().find(clsid); it != Registry().end()) {
        page = it->second();
    } else {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.PutVoid());
    }
    if (!page) ControlErrors::Raise(kCannotCreateObject, L"ActiveX component can't create object");
    return page;
}

}  // namespace PropertyPages

}  // namespace Host
