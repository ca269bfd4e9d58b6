// PropertyFrame: the development environment's property frame: a dialog box that shows the
// property pages of a set of selected controls, one tab per page, with OK, Cancel and Apply.
//
// The pages are those that every selected object names through ISpecifyPropertyPages, in the
// first object's order; each is created (PropertyPages::Create), given the frame as its site
// and the selected objects, and activated inside the frame. Apply is enabled while a page is
// changed (IPropertyPageSite::OnStatusChange) and applies every changed page; OK applies and
// closes unless a page stays changed (it refused a value); Cancel closes without applying.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "controls/base/ComPtr.h"

namespace Host {

class PropertyFrame {
public:
    static constexpr int kApplyId = 0x3021;
    static constexpr int kTabsId = 0x3020;

    PropertyFrame(std::wstring caption, std::span<IUnknown* const> objects);
    ~PropertyFrame();
    PropertyFrame(const PropertyFrame&) = delete;
    PropertyFrame& operator=(const PropertyFrame&) = delete;

    // Modeless: creates and shows the frame owned by `owner`, its pages active. Returns its
    // window; ControlError when no page can be shown.
    HWND Create(HWND owner);
    // Modal: runs the frame until it is closed; IDOK or IDCANCEL. `property` (optional) is
    // the property the user asked to edit (EditProperty once the pages are active).
    int ShowModal(HWND owner, std::wstring_view property = {});

    HWND Hwnd() const { return hwnd_; }
    size_t PageCount() const { return pages_.size(); }
    IPropertyPage* Page(size_t index) const { return pages_.at(index).page.Get(); }
    // Applies every changed page; true when none is left changed and none failed.
    bool Apply();
    // Asks the pages in order to bring the user to the property; the first that shows it is
    // selected. False when none does.
    bool EditProperty(std::wstring_view name);
    // Shows the page at `index` (its tab is selected).
    void SelectPage(size_t index);

private:
    class Site;
    struct Entry {
        ComPtr<IPropertyPage> page;
        std::wstring title;
        SIZE size{};
    };

    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void MakePages();
    void Build(HWND hwnd);
    void Close(int result);
    void Teardown();
    void UpdateApply();

    std::wstring caption_;
    std::vector<ComPtr<IUnknown>> objects_;
    std::vector<Entry> pages_;
    ComPtr<Site> site_;
    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    bool modal_ = false;
    size_t current_ = 0;
    std::wstring pendingProperty_;
};

// Shows the property frame of these objects modally, as a development environment does when
// the user asks for a control's property pages; IDOK or IDCANCEL.
int ShowPropertyFrame(HWND owner, const std::wstring& caption, std::span<IUnknown* const> objects,
                      std::wstring_view property = {});

}  // namespace Host
