#include "host/PropertyFrame.h"

#include "controls/base/ComObject.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/base/Handles.h"
#include "host/Form.h"
#include "host/PropertyPage.h"

namespace Host {

namespace {

constexpr int kMargin = 7;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 6;

// An empty dialog box: the frame places its tabs, pages and buttons itself once it knows
// the pages' sizes.
std::vector<WORD> DialogTemplate(const std::wstring& caption) {
    DLGTEMPLATE header{};
    header.style = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header.dwExtendedStyle = WS_EX_CONTROLPARENT;
    std::vector<WORD> words((sizeof(DLGTEMPLATE) + 1) / 2);
    memcpy(words.data(), &header, sizeof(DLGTEMPLATE));
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog class
    for (wchar_t c : caption)
        words.push_back(c);
    words.push_back(0);
    words.push_back(8);  // the font's point size
    for (wchar_t c : std::wstring_view(L"MS Shell Dlg"))
        words.push_back(c);
    words.push_back(0);
    return words;
}

std::vector<GUID> PagesOf(IUnknown* object) {
    std::vector<GUID> list;
    ComPtr<ISpecifyPropertyPages> specify;
    if (!object || FAILED(object->QueryInterface(IID_ISpecifyPropertyPages, specify.PutVoid()))) {
        return list;
    }
    CAUUID pages{};
    if (SUCCEEDED(specify->GetPages(&pages))) {
        list.assign(pages.pElems, pages.pElems + pages.cElems);
        CoTaskMemFree(pages.pElems);
    }
    return list;
}

}  // namespace

// The frame as its pages' site. It outlives nothing: the frame cuts it off when it goes.
class PropertyFrame::Site final : public ComObject<IPropertyPageSite> {
public:
    explicit Site(PropertyFrame& frame) : frame_(&frame) {}
    void Detach() { frame_ = nullptr; }

    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override {
        if (frame_) frame_->UpdateApply();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
        if (!locale) return E_POINTER;
        *locale = GetUserDefaultLCID();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
        if (container) *container = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

private:
    ~Site() override = default;
    PropertyFrame* frame_;
};

PropertyFrame::PropertyFrame(std::wstring caption, std::span<IUnknown* const> objects)
    : caption_(std::move(caption)) {
    for (IUnknown* object : objects)
        objects_.push_back(ComPtr<IUnknown>(object));
}

PropertyFrame::~PropertyFrame() {
    if (hwnd_) DestroyWindow(hwnd_);
    Teardown();
}

void PropertyFrame::MakePages() {
    if (!pages_.empty()) return;
    if (objects_.empty()) ControlErrors::Raise(ControlErrors::kInvalidProcedureCall);
    // Only the pages that every selected object has can edit them all.
    std::vector<GUID> common = PagesOf(objects_.front().Get());
    for (size_t i = 1; i < objects_.size(); ++i) {
        const std::vector<GUID> other = PagesOf(objects_[i].Get());
        std::erase_if(common, [&](const GUID& g) {
            return std::none_of(other.begin(), other.end(),
                                [&](const GUID& o) { return IsEqualGUID(g, o); });
        });
    }
    if (common.empty()) {
        ControlErrors::Raise(ControlErrors::kInvalidProcedureCall,
                             L"The object has no property pages");
    }
    site_ = ComPtr<Site>::Attach(new Site(*this));
    std::vector<IUnknown*> raw;
    for (const ComPtr<IUnknown>& o : objects_)
        raw.push_back(o.Get());
    for (const GUID& clsid : common) {
        Entry entry;
        entry.page = PropertyPages::Create(clsid);
        ControlErrors::RaiseIfFailed(entry.page->SetPageSite(site_.Get()));
        ControlErrors::RaiseIfFailed(
            entry.page->SetObjects(static_cast<ULONG>(raw.size()), raw.data()));
        PROPPAGEINFO info{};
        info.cb = sizeof(info);
        ControlErrors::RaiseIfFailed(entry.page->GetPageInfo(&info));
        entry.title = info.pszTitle ? info.pszTitle : L"";
        entry.size = info.size;
        CoTaskMemFree(info.pszTitle);
        CoTaskMemFree(info.pszDocString);
        CoTaskMemFree(info.pszHelpFile);
        pages_.push_back(std::move(entry));
    }
}

HWND PropertyFrame::Create(HWND owner) {
    if (hwnd_) return hwnd_;
    MakePages();
    owner_ = owner;
    modal_ = false;
    const std::vector<WORD> t = DialogTemplate(caption_);
    hwnd_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                       reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner,
                                       DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd_) ControlErrors::Raise(ControlErrors::kOutOfMemory);
    Common::AddModelessDialog(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    return hwnd_;
}

int PropertyFrame::ShowModal(HWND owner, std::wstring_view property) {
    MakePages();
    owner_ = owner;
    modal_ = true;
    pendingProperty_ = property;
    const std::vector<WORD> t = DialogTemplate(caption_);
    const INT_PTR result = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner,
        DialogProc, reinterpret_cast<LPARAM>(this));
    Teardown();
    if (result == -1) ControlErrors::Raise(ControlErrors::kOutOfMemory);
    return static_cast<int>(result);
}

void PropertyFrame::Build(HWND hwnd) {
    hwnd_ = hwnd;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    SIZE page{0, 0};
    for (const Entry& e : pages_) {
        page.cx = std::max(page.cx, e.size.cx);
        page.cy = std::max(page.cy, e.size.cy);
    }
    HWND tabs = CreateWindowExW(
        0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0,
        hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabsId)), nullptr, nullptr);
    SendMessageW(tabs, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (size_t i = 0; i < pages_.size(); ++i) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = pages_[i].title.data();
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    // The tabs around the largest page; the buttons below, on the right.
    RECT tabRect{kMargin, kMargin, kMargin + page.cx, kMargin + page.cy};
    SendMessageW(tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    OffsetRect(&tabRect, kMargin - tabRect.left, kMargin - tabRect.top);
    MoveWindow(tabs, tabRect.left, tabRect.top, tabRect.right - tabRect.left,
               tabRect.bottom - tabRect.top, FALSE);
    RECT pageRect = tabRect;
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pageRect));

    const int clientWidth = tabRect.right + kMargin;
    const int buttonTop = tabRect.bottom + kMargin;
    const struct {
        int id;
        const wchar_t* text;
        DWORD style;
    } buttons[] = {{IDOK, L"OK", BS_DEFPUSHBUTTON},
                   {IDCANCEL, L"Cancel", BS_PUSHBUTTON},
                   {kApplyId, L"&Apply", BS_PUSHBUTTON}};
    int x = clientWidth - kMargin - 3 * kButtonWidth - 2 * kButtonGap;
    for (const auto& b : buttons) {
        HWND button =
            CreateWindowExW(0, L"Button", b.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style, x,
                            buttonTop, kButtonWidth, kButtonHeight, hwnd,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), nullptr, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        x += kButtonWidth + kButtonGap;
    }
    RECT frame{0, 0, clientWidth, buttonTop + kButtonHeight + kMargin};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    RECT area{};
    if (owner_ && IsWindow(owner_)) {
        GetWindowRect(owner_, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(hwnd, nullptr, std::max(0L, area.left + (area.right - area.left - width) / 2),
                 std::max(0L, area.top + (area.bottom - area.top - height) / 2), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    for (Entry& e : pages_) {
        ControlErrors::RaiseIfFailed(e.page->Activate(hwnd, &pageRect, modal_));
        e.page->Show(SW_HIDE);
    }
    // New child windows go to the bottom: the pages must lie above the tabs, and come first
    // in the dialog's own tab order.
    for (HWND child = GetWindow(hwnd, GW_CHILD); child;) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        wchar_t name[32] = {};
        GetClassNameW(child, name, 32);
        if (std::wstring_view(name) == Form::kWindowClass) {
            SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        child = next;
    }
    SelectPage(0);
    UpdateApply();
}

void PropertyFrame::SelectPage(size_t index) {
    if (index >= pages_.size()) return;
    if (hwnd_) {
        SendDlgItemMessageW(hwnd_, kTabsId, TCM_SETCURSEL, index, 0);
        if (current_ != index) pages_[current_].page->Show(SW_HIDE);
    }
    current_ = index;
    pages_[index].page->Show(SW_SHOW);
}

bool PropertyFrame::Apply() {
    bool clean = true;
    for (Entry& e : pages_) {
        if (e.page->IsPageDirty() != S_OK) continue;
        const HRESULT hr = e.page->Apply();
        if (FAILED(hr)) {
            clean = false;
            try {
                ControlErrors::RaiseIfFailed(hr);
            } catch (const ControlError& error) {
                Common::ShowMessageBox(error.Description(), MB_ICONEXCLAMATION);
            }
        } else if (e.page->IsPageDirty() == S_OK) {
            clean = false;
        }
    }
    UpdateApply();
    return clean;
}

bool PropertyFrame::EditProperty(std::wstring_view name) {
    ComPtr<IDispatch> object;
    if (objects_.empty() ||
        FAILED(objects_.front()->QueryInterface(IID_IDispatch, object.PutVoid()))) {
        return false;
    }
    std::wstring copy(name);
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
    for (size_t i = 0; i < pages_.size(); ++i) {
        ComPtr<IPropertyPage2> page;
        if (FAILED(pages_[i].page->QueryInterface(IID_IPropertyPage2, page.PutVoid()))) continue;
        SelectPage(i);
        if (page->EditProperty(id) == S_OK) return true;
    }
    return false;
}

void PropertyFrame::UpdateApply() {
    if (!hwnd_) return;
    bool dirty = false;
    for (const Entry& e : pages_)
        dirty = dirty || e.page->IsPageDirty() == S_OK;
    EnableWindow(GetDlgItem(hwnd_, kApplyId), dirty);
}

void PropertyFrame::Close(int result) {
    if (modal_) {
        EndDialog(hwnd_, result);
    } else {
        DestroyWindow(hwnd_);
    }
}

void PropertyFrame::Teardown() {
    for (Entry& e : pages_) {
        e.page->Deactivate();
        e.page->SetObjects(0, nullptr);
        e.page->SetPageSite(nullptr);
    }
    pages_.clear();
    if (site_) site_->Detach();
    site_.Reset();
}

INT_PTR CALLBACK PropertyFrame::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* frame = reinterpret_cast<PropertyFrame*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            frame = reinterpret_cast<PropertyFrame*>(lParam);
            SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
            try {
                frame->Build(hwnd);
                if (!frame->pendingProperty_.empty()) {
                    frame->EditProperty(std::exchange(frame->pendingProperty_, {}));
                    return FALSE;  // the page has placed the focus
                }
            } catch (const ControlError& error) {
                Common::ShowMessageBox(error.Description(), MB_ICONEXCLAMATION);
            }
            return TRUE;
        case WM_COMMAND:
            if (!frame) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (frame->Apply()) frame->Close(IDOK);
                    return TRUE;
                case IDCANCEL:
                    frame->Close(IDCANCEL);
                    return TRUE;
                case kApplyId:
                    frame->Apply();
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (frame && header->idFrom == kTabsId && header->code == TCN_SELCHANGE) {
                frame->SelectPage(
                    static_cast<size_t>(SendDlgItemMessageW(hwnd, kTabsId, TCM_GETCURSEL, 0, 0)));
            }
            return FALSE;
        }
        case WM_ACTIVATE:
            // The pages' message boxes belong to the frame while it is in front.
            if (LOWORD(wParam) != WA_INACTIVE) Common::SetOwnActiveWindow(hwnd);
            return FALSE;
        case WM_DESTROY:
            Common::ClearOwnActiveWindow(hwnd);
            if (frame) {
                // The pages' windows are still there: they go before the frame's.
                if (!frame->modal_) Common::RemoveModelessDialog(hwnd);
                frame->Teardown();
            }
            if (frame) frame->hwnd_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

int ShowPropertyFrame(HWND owner, const std::wstring& caption, std::span<IUnknown* const> objects,
                      std::wstring_view property) {
    PropertyFrame frame(caption, objects);
    return frame.ShowModal(owner, property);
}

}  // namespace Host
