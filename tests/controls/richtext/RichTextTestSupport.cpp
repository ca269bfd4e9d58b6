#include "controls/base/Handles.h"
#include "tests/controls/richtext/RichTextTestSupport.h"

#include <richedit.h>

#include <algorithm>

#include "controls/base/ComPtr.h"
#include "controls/base/ControlError.h"
#include "controls/richtext/RichTextBox.h"
#include "host/ControlTypes.h"
#include "tests/support/FormLayout.h"

namespace richtexttest {

std::unique_ptr<Host::Form> FormOf(const std::vector<testsupport::LayoutControl>& controls,
                                   bool userMode) {
    auto form = testsupport::FormOf<RichTextBox>(
        testsupport::LayoutText("FTest", 9000, 6000, {}, controls));
    form->SetUserMode(userMode);
    return form;
}

testsupport::LayoutControl Box(const std::string& name, const std::string& properties) {
    return {"RichTextBox", name, 0, 0, 3000, 1500, properties};
}

Call Invoke(Host::Form& form, const wchar_t* control, const wchar_t* member, WORD flags,
            const std::vector<Host::Variant>& given) {
    std::vector<VARIANT> args;
    for (const Host::Variant& v : given)
        args.push_back(v.Get());  // the callee only reads
    ComPtr<IDispatch> dispatch;
    form.Site(control).Object()->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
    DISPID id = 0;
    Call call;
    call.hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    if (FAILED(call.hr)) return call;
    std::reverse(args.begin(), args.end());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.data(), (flags & DISPATCH_PROPERTYPUT) ? &put : nullptr,
                      static_cast<UINT>(args.size()), (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
    OwnedExcepInfo error;
    call.hr = dispatch->Invoke(id, IID_NULL, 0, flags, &params, call.result.Put(), &error, nullptr);
    if (call.hr == DISP_E_EXCEPTION) {
        call.number = ControlErrors::FromHResult(error.scode);
        call.description = error.Description();
    }
    return call;
}

Host::Variant I4(int32_t value) {
    return Host::Variant::Int32(value);
}

Host::Variant R8(double value) {
    return Host::Variant::Double(value);
}

Host::Variant Str(const wchar_t* text) {
    return Host::Variant::String(text);
}

Host::Variant Null() {
    Host::Variant v;
    v.Get().vt = VT_NULL;
    return v;
}

LoadedBox::LoadedBox(const wchar_t* text) : form(FormOf({Box("rtbText", kMultiLine)})) {
    form->Load();
    box = &form->ControlAs<RichTextBox>(L"rtbText");
    box->SetText(text);
}

LoadedBox::~LoadedBox() {
    form->Unload();
}

void LoadedBox::Select(int32_t start, int32_t end) {
    CHARRANGE range{start, end};
    SendMessageW(box->hWnd(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

CHARRANGE LoadedBox::Selection() const {
    CHARRANGE range{};
    SendMessageW(box->hWnd(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return range;
}

Call LoadedBox::Get(const wchar_t* member, const std::vector<Host::Variant>& index) {
    return Invoke(*form, L"rtbText", member, DISPATCH_PROPERTYGET, index);
}

Call LoadedBox::Put(const wchar_t* member, const std::vector<Host::Variant>& indexAndValue) {
    return Invoke(*form, L"rtbText", member, DISPATCH_PROPERTYPUT, indexAndValue);
}

Call LoadedBox::Do(const wchar_t* member, const std::vector<Host::Variant>& args) {
    return Invoke(*form, L"rtbText", member, DISPATCH_METHOD, args);
}

LRESULT CALLBACK Recorder::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR data) {
    const bool edit = msg >= EM_GETSEL && msg <= EM_GETIMESTATUS;
    const bool clipboard = msg >= WM_CUT && msg <= WM_CLEAR;
    if (edit || clipboard || (msg >= WM_USER && msg < 0x500) || msg == WM_KEYDOWN ||
        msg == WM_KEYUP) {
        reinterpret_cast<std::vector<Sent>*>(data)->push_back({msg, wParam, lParam});
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace richtexttest
