// Embedded objects of the rich text box: the OLE callback object's table (its answers,
// events and reference counts), the control's events for the window's questions, inserting
// pictures and objects with balanced references, and the errors with their texts.
#include <windows.h>
#include <olectl.h>
#include <richedit.h>
#include <richole.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/base/Common.h"
#include "controls/base/ControlError.h"
#include "controls/richtext/RichTextBox.h"
#include "controls/richtext/RichTextOleCallback.h"
#include "host/ControlTypes.h"
#include "host/Form.h"
#include "tests/support/GuiResources.h"
#include "tests/support/ControlErrors.h"
#include "tests/support/FormLayout.h"

namespace {

// The questions the callback object passes on, and what it is told to answer.
struct FakeOwner final : RichTextOleEvents {
    std::vector<std::wstring> calls;
    bool fail = false;
    HMENU menu = nullptr;
    void Check() {
        if (fail) throw std::runtime_error("handler failed");
    }
    void OnDeleteObject(IOleObject*) override {
        Check();
        calls.push_back(L"delete");
    }
    void OnStartDrag(int32_t& effects) override {
        Check();
        calls.push_back(L"start " + std::to_wstring(effects));
        effects = DROPEFFECT_COPY;
    }
    void OnGetDropEffect(int32_t& effect, DWORD keyState, POINT) override {
        Check();
        calls.push_back(L"over " + std::to_wstring(effect) + L" " + std::to_wstring(keyState));
        effect = DROPEFFECT_NONE;
    }
    HMENU OnGetContextMenu(WORD type, IOleObject*, const CHARRANGE& range) override {
        Check();
        calls.push_back(L"menu " + std::to_wstring(type) + L" " + std::to_wstring(range.cpMin) +
                        L"-" + std::to_wstring(range.cpMax));
        return menu;
    }
};

std::unique_ptr<Host::Form> NewForm() {
    return testsupport::FormOf<RichTextBox>(testsupport::LayoutText(
        "FObjects", 6000, 4000, {}, {{"RichTextBox", "rtbText", 0, 0, 4500, 3000}}));
}

ComPtr<IPictureDisp> Picture(SHORT type) {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = type;
    if (type == PICTYPE_BITMAP) {
        const HDC screen = GetDC(nullptr);
        desc.bmp.hbitmap = CreateCompatibleBitmap(screen, 16, 16);
        ReleaseDC(nullptr, screen);
    } else if (type == PICTYPE_ICON) {
        desc.icon.hicon = CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
    } else if (type == PICTYPE_ENHMETAFILE) {
        const HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
        Rectangle(dc, 0, 0, 10, 10);
        desc.emf.hemf = CloseEnhMetaFile(dc);
    }
    ComPtr<IPictureDisp> picture;
    OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.PutVoid());
    return picture;
}

// The callback object the control hands its window, caught on the way.
struct CallbackCatcher {
    static inline IRichEditOleCallback* caught = nullptr;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
        if (msg == EM_SETOLECALLBACK && lParam) {
            caught = reinterpret_cast<IRichEditOleCallback*>(lParam);
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            wchar_t name[64] = {};
            GetClassNameW(reinterpret_cast<HWND>(wParam), name, 64);
            if (std::wstring(name).rfind(L"RichEdit", 0) == 0) {
                SetWindowSubclass(reinterpret_cast<HWND>(wParam), Proc, 77, 0);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

}  // namespace

TEST(RichTextOleCallback, TheTableAnswersAsItShould) {
    FakeOwner owner;
    ComPtr<RichTextOleCallback> callback = RichTextOleCallback::Create(owner);
    IRichEditOleCallback* c = callback.Get();
    const LONG live = RichTextOleCallback::LiveObjects();

    // Slots 0 to 2: identity and reference counts.
    EXPECT_EQ(c->QueryInterface(IID_IRichEditOleCallback, nullptr), E_POINTER);
    void* out = nullptr;
    EXPECT_EQ(c->QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(out, c);
    EXPECT_EQ(c->QueryInterface(IID_IRichEditOleCallback, &out), S_OK);
    EXPECT_EQ(c->QueryInterface(IID_IDataObject, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(c->AddRef(), 4u);
    EXPECT_EQ(c->Release(), 3u);
    EXPECT_EQ(c->Release(), 2u);
    EXPECT_EQ(c->Release(), 1u);

    // Slot 3: a storage that goes when released.
    ComPtr<IStorage> storage;
    EXPECT_EQ(c->GetNewStorage(storage.Put()), S_OK);
    ASSERT_TRUE(storage);
    STATSTG stat{};
    EXPECT_EQ(storage->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.grfMode & (STGM_READWRITE | STGM_SHARE_EXCLUSIVE),
              static_cast<DWORD>(STGM_READWRITE | STGM_SHARE_EXCLUSIVE));

    // Slots 4 to 6 and 8 to 10: fixed answers.
    EXPECT_EQ(c->GetInPlaceContext(nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(c->ShowContainerUI(TRUE), E_NOTIMPL);
    EXPECT_EQ(c->QueryInsertObject(nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(c->QueryAcceptData(nullptr, nullptr, 0, FALSE, nullptr), E_NOTIMPL);
    EXPECT_EQ(c->ContextSensitiveHelp(TRUE), E_NOTIMPL);
    EXPECT_EQ(c->GetClipboardData(nullptr, 0, nullptr), E_NOTIMPL);

    // Slots 7, 11 and 12 ask the owner.
    EXPECT_EQ(c->DeleteObject(nullptr), S_OK);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(c->GetDragDropEffect(TRUE, 0, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(c->GetDragDropEffect(FALSE, MK_LBUTTON, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    CHARRANGE range{2, 5};
    HMENU menu = reinterpret_cast<HMENU>(1);
    EXPECT_EQ(c->GetContextMenu(SEL_TEXT, nullptr, &range, &menu), E_INVALIDARG);
    EXPECT_EQ(menu, nullptr);
    owner.menu = CreatePopupMenu();
    EXPECT_EQ(c->GetContextMenu(SEL_TEXT, nullptr, &range, &menu), S_OK);
    EXPECT_EQ(menu, owner.menu);
    DestroyMenu(owner.menu);
    EXPECT_EQ(owner.calls, (std::vector<std::wstring>{L"delete", L"start 3", L"over 1 1",
                                                      L"menu 1 2-5", L"menu 1 2-5"}));

    // A failing handler, or a control that is gone, answers E_NOTIMPL.
    owner.fail = true;
    EXPECT_EQ(c->DeleteObject(nullptr), E_NOTIMPL);
    EXPECT_EQ(c->GetDragDropEffect(TRUE, 0, &effect), E_NOTIMPL);
    EXPECT_EQ(c->GetContextMenu(SEL_TEXT, nullptr, &range, &menu), E_NOTIMPL);
    owner.fail = false;
    callback->Detach();
    EXPECT_EQ(c->DeleteObject(nullptr), E_NOTIMPL);

    callback.Reset();
    EXPECT_EQ(RichTextOleCallback::LiveObjects(), live - 1);
}

TEST(RichTextObjects, TheWindowsQuestionsBecomeEvents) {
    auto form = NewForm();
    CallbackCatcher::caught = nullptr;
    HHOOK hook = SetWindowsHookExW(WH_CBT, CallbackCatcher::Hook, nullptr, GetCurrentThreadId());
    form->Show();
    UnhookWindowsHookEx(hook);
    IRichEditOleCallback* c = CallbackCatcher::caught;
    ASSERT_NE(c, nullptr);
    // The window holds the one reference: the control gave up the one it was made with.
    c->AddRef();
    EXPECT_EQ(c->Release(), 2u);  // the window's and the control's own, kept to cut it loose

    std::vector<std::wstring> seen;
    HMENU menu = CreatePopupMenu();
    form->OnAnyEvent([&](Host::Event& e) {
        seen.push_back(std::wstring(e.Name()) + L" " + std::to_wstring(e.Id()));
        if (e.Name() == L"OLEStartDrag") e.SetArg(0, int32_t{DROPEFFECT_LINK});
        if (e.Name() == L"OLEGetDropEffect") e.SetArg(0, int32_t{DROPEFFECT_MOVE});
        if (e.Name() == L"OLEGetContextMenu") {
            EXPECT_EQ(e.Int16Arg(0), SEL_OBJECT);
            EXPECT_EQ(e.Int32Arg(3), 4);
            e.SetArg(4, Host::Variant::Int64(reinterpret_cast<intptr_t>(menu)));
        }
        if (e.Name() == L"OLEDeleteObject") {
            EXPECT_EQ(e.Arg(0).Type(), VT_UNKNOWN);
        }
    });
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(c->GetDragDropEffect(TRUE, 0, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
    EXPECT_EQ(c->GetDragDropEffect(FALSE, MK_RBUTTON | MK_SHIFT, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    CHARRANGE range{3, 4};
    HMENU given = nullptr;
    EXPECT_EQ(c->GetContextMenu(SEL_OBJECT, nullptr, &range, &given), S_OK);
    EXPECT_EQ(given, menu);
    DestroyMenu(menu);
    ComPtr<IUnknown> object = Picture(PICTYPE_BITMAP).As<IUnknown>(IID_IUnknown);
    EXPECT_EQ(c->DeleteObject(reinterpret_cast<IOleObject*>(object.Get())), S_OK);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"OLEStartDrag 14", L"OLEGetDropEffect 13",
                                               L"OLEGetContextMenu 15", L"OLEDeleteObject 17"}));
    const LONG live = RichTextOleCallback::LiveObjects();
    form->Unload();
    EXPECT_EQ(RichTextOleCallback::LiveObjects(), live - 1);
}

TEST(RichTextObjects, PicturesGoInAndEveryReferenceIsBalanced) {
    auto form = NewForm();
    form->Show();
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    ASSERT_TRUE(box.GetOLEInterface());
    EXPECT_EQ(box.OLEObjectsCount(), 0);
    box.OLEObjectsAddFromPicture(Picture(PICTYPE_BITMAP));
    box.OLEObjectsAddFromPicture(Picture(PICTYPE_BITMAP), CF_DIB);
    box.OLEObjectsAddFromPicture(Picture(PICTYPE_ENHMETAFILE), CF_ENHMETAFILE);
    EXPECT_EQ(box.OLEObjectsCount(), 3);

    // The caller owns what OLEObjectsGet gives; by index or by character position.
    ComPtr<IUnknown> first = box.OLEObjectsGet(0);
    ASSERT_TRUE(first);
    ComPtr<IUnknown> atOne = box.OLEObjectsGet(REO_IOB_USE_CP, 1);
    ASSERT_TRUE(atOne);
    EXPECT_NE(first.Get(), atOne.Get());
    EXPECT_FALSE(box.OLEObjectsGet(7));

    // An object another box holds goes in as it is.
    box.OLEObjectsAdd(first);
    EXPECT_EQ(box.OLEObjectsCount(), 4);

    // Once the content is gone, only the caller's references are left.
    box.SetText(L"");
    EXPECT_EQ(box.OLEObjectsCount(), 0);
    EXPECT_EQ(atOne.Detach()->Release(), 0u);
    EXPECT_EQ(first.Detach()->Release(), 0u);
    form->Unload();
    EXPECT_EQ(box.OLEObjectsCount(), 0);  // no window: none
}

TEST(RichTextObjects, WrongPicturesFormatsAndFilesRaiseTheirErrors) {
    auto form = NewForm();
    form->Show();
    auto& box = form->ControlAs<RichTextBox>(L"rtbText");
    struct Case {
        SHORT type;
        std::optional<int32_t> format;
        int32_t number;
        std::wstring text;
    };
    const Case cases[] = {
        {PICTYPE_ICON, {}, 380, L"Invalid property value"},
        {PICTYPE_BITMAP, 5, 461, L"Specified format doesn't match format of data"},
        {PICTYPE_BITMAP, CF_ENHMETAFILE, 461, L"Specified format doesn't match format of data"},
    };
    for (const Case& c : cases) {
        testsupport::ExpectControlError(
            c.number, c.text, [&] { box.OLEObjectsAddFromPicture(Picture(c.type), c.format); });
    }
    testsupport::ExpectControlError(53, L"File not found", [&] {
        box.OLEObjectsAddFromFile(L"Z:\\no\\such\\file.bmp", false);
    });
    EXPECT_EQ(box.OLEObjectsCount(), 0);

    // Late bound, a Format that is no number is a type mismatch.
    ComPtr<IDispatch> dispatch;
    form->Site(L"rtbText").Object()->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    VARIANT args[2];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(L"bitmap");
    args[1].vt = VT_DISPATCH;
    ComPtr<IPictureDisp> picture = Picture(PICTYPE_BITMAP);
    args[1].pdispVal = picture.Get();
    DISPPARAMS params{args, nullptr, 2, 0};
    UINT argErr = 0;
    EXPECT_EQ(dispatch->Invoke(0x68030012, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                               &argErr),
              DISP_E_TYPEMISMATCH);
    SysFreeString(args[0].bstrVal);
    form->Unload();
}

TEST(RichTextObjects, BoxesWithAPictureLeaveNothingBehind) {
    auto form = NewForm();
    const LONG live = RichTextOleCallback::LiveObjects();
    testsupport::ExpectNoGuiLeaks(
        [&](int i) {
            form->Load();
            auto& box = form->ControlAs<RichTextBox>(L"rtbText");
            box.OLEObjectsAddFromPicture(Picture(PICTYPE_BITMAP));
            box.SetScrollBars(i % 4);  // re-created with the picture in it
            form->Unload();
        },
        4);
    EXPECT_EQ(RichTextOleCallback::LiveObjects(), live);
}
