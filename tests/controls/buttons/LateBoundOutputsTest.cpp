// Output arguments of a late-bound method come back in the caller's variables: GetIdealSize
// through IDispatch, with the variables passed as automation clients and script engines pass
// them (by reference of their own type, or as VT_BYREF | VT_VARIANT).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "controls/base/ComPtr.h"
#include "controls/buttons/CommandButtonW.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/ComCtlVersion.h"
#include "tests/support/FormLayout.h"

namespace {

const std::string kLayout =
    testsupport::LayoutText("FOutputs", 4000, 1500, {},
                            {{"CommandButtonW", "cmdSized", 150, 150, 1500, 600,
                              "Property Caption = Utf16(\"A rather long caption\")"}});

// A caller's variable of one type, held where a by-reference argument can point.
struct Slot {
    VARIANT value;  // what the pointer reaches
    VARIANT inner;  // the variant a VT_BYREF | VT_VARIANT argument points to
    Slot() {
        VariantInit(&value);
        VariantInit(&inner);
    }
    ~Slot() {
        VariantClear(&value);
        VariantClear(&inner);
    }
    // The argument for DISPPARAMS: by reference to a `type` variable holding 7, to a variant
    // holding `type` 7, or by value.
    enum Kind { ByRef, ByRefVariant, ByValue };
    VARIANT Argument(Kind kind, VARTYPE type) {
        VARIANT seven;
        VariantInit(&seven);
        seven.vt = VT_I4;
        seven.lVal = 7;
        VARIANT& target = kind == ByRefVariant ? inner : value;
        EXPECT_EQ(VariantChangeType(&target, &seven, 0, type), S_OK);
        VARIANT arg;
        VariantInit(&arg);
        if (kind == ByValue) return value;  // borrowed: the slot keeps it
        if (kind == ByRefVariant) {
            arg.vt = VT_BYREF | VT_VARIANT;
            arg.pvarVal = &inner;
            return arg;
        }
        arg.vt = VT_BYREF | type;
        arg.byref = &value.lVal;  // every field of the union starts there
        return arg;
    }
    // What the caller's variable holds now, as a double.
    double Now(Kind kind) const {
        VARIANT d;
        VariantInit(&d);
        VariantChangeType(&d, const_cast<VARIANT*>(kind == ByRefVariant ? &inner : &value), 0,
                          VT_R8);
        return d.dblVal;
    }
    VARTYPE TypeNow(Kind kind) const { return kind == ByRefVariant ? inner.vt : value.vt; }
};

}  // namespace

TEST(LateBoundOutputs, GetIdealSizeWritesBackIntoByReferenceVariables) {
    testsupport::ComCtlVersion comctl(6, 10);  // the message is version 6's
    auto form = testsupport::FormOf<CommandButtonW>(kLayout);
    form->Load();
    auto& button = form->ControlAs<CommandButtonW>(L"cmdSized");
    float width = -1, height = -1;
    button.GetIdealSize(width, height);
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);

    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(form->Site(L"cmdSized").Object()->QueryInterface(IID_IDispatch, dispatch.PutVoid()),
              S_OK);
    LPOLESTR name = const_cast<LPOLESTR>(L"getidealsize");
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);

    using K = Slot::Kind;
    const struct {
        const char* what;
        K kind;
        VARTYPE type;
        VARTYPE after;  // the variable's type afterwards
        bool written;
    } cases[] = {
        {"single by reference", K::ByRef, VT_R4, VT_R4, true},
        {"double by reference", K::ByRef, VT_R8, VT_R8, true},
        {"string by reference", K::ByRef, VT_BSTR, VT_BSTR, true},
        {"script variable holding a string", K::ByRefVariant, VT_BSTR, VT_R4, true},
        {"script variable holding nothing", K::ByRefVariant, VT_EMPTY, VT_R4, true},
        {"by value", K::ByValue, VT_I4, VT_I4, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Slot w, h;
        // DISPPARAMS keeps the last argument first.
        VARIANT args[] = {h.Argument(c.kind, c.type), w.Argument(c.kind, c.type)};
        DISPPARAMS params{args, nullptr, 2, 0};
        EXPECT_EQ(
            dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
            S_OK);
        EXPECT_EQ(w.TypeNow(c.kind), c.after);
        const double expectedWidth = c.written ? width : 7, expectedHeight = c.written ? height : 7;
        // A string holds the number as text: compare to the precision the text keeps.
        EXPECT_NEAR(w.Now(c.kind), expectedWidth, 0.01);
        EXPECT_NEAR(h.Now(c.kind), expectedHeight, 0.01);
    }

    // A value that is no number is refused before the call, naming the argument.
    VARIANT text;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"wide");
    VARIANT args[] = {text, text};
    DISPPARAMS params{args, nullptr, 2, 0};
    UINT bad = 99;
    EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &bad),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(bad, 1u);
    VariantClear(&text);
    form->Unload();
}
