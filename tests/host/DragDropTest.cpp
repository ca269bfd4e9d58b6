// OLE drag and drop of hosted controls: the drop targets the host registers (one per windowed
// control, one on the form for the windowless ones) and the drag a control starts.
//
// The drops are delivered by calling the registered kind of target as the system's drag loop
// does: under Wine the loop takes the pointer position from its messages, which after a
// capture can be where the X server last had the pointer, so a drop there lands wherever
// that was. One drag goes through the real loop where the position does not matter.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "host/DataObject.h"
#include "host/DropTarget.h"
#include "host/Form.h"
#include "tests/host/HostTestSupport.h"
#include "tests/host/TestControls.h"
#include "tests/support/Pump.h"

using namespace testhost;

namespace {

class DragDrop : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = NewTestForm();
        form_->OnAnyEvent([this](Host::Event& e) {
            const std::wstring n(e.Name());
            if (n.rfind(L"OLE", 0) != 0) return;
            std::wstring line = e.Source()->Name() + L" " + n;
            if (n == L"OLEDragOver") {
                line += L" " + e.StringArg(0) + L" " + std::to_wstring(e.Int16Arg(4));
            }
            if (n == L"OLEDragDrop") line += L" " + e.StringArg(0) + L" " + e.StringArg(1);
            if (n == L"OLECompleteDrag") line += L" " + std::to_wstring(e.Int32Arg(0));
            events_.push_back(line);
        });
        TheJournal().Clear();
        form_->Show();
    }
    void TearDown() override { form_->Unload(); }

    static POINTL Screen(HWND window, POINT client) {
        ClientToScreen(window, &client);
        return POINTL{client.x, client.y};
    }
    // True when some drop target is registered for the window.
    static bool Registered(HWND window) {
        ComPtr<Host::DropTarget> probe = Host::DropTarget::Create(*DummyForm(), nullptr);
        const HRESULT hr = RegisterDragDrop(window, probe.Get());
        if (hr == S_OK) RevokeDragDrop(window);
        return hr == DRAGDROP_E_ALREADYREGISTERED;
    }
    static Host::Form* DummyForm() {
        static auto form = NewTestForm();
        return form.get();
    }

    std::unique_ptr<Host::Form> form_;
    std::vector<std::wstring> events_;
};

}  // namespace

TEST_F(DragDrop, WindowedControlsGetDropsOnTheirWindow) {
    Host::ControlSite& city = form_->Site(L"txtCity");
    EXPECT_FALSE(Registered(city.Hwnd()));
    city.SetOLEDropMode(1);
    EXPECT_TRUE(Registered(city.Hwnd()));
    EXPECT_THROW(city.SetOLEDropMode(2), ControlError);

    form_->On(L"txtCity", L"OLEDragOver",
              [](Host::Event& e) { e.SetArg(1, int32_t{DROPEFFECT_COPY}); });
    form_->On(L"txtCity", L"OLEDragDrop", [](Host::Event& e) {
        EXPECT_EQ(e.Int32Arg(2), DROPEFFECT_COPY | DROPEFFECT_MOVE);  // what the source allows
        e.SetArg(2, int32_t{DROPEFFECT_COPY});
        EXPECT_FLOAT_EQ(e.FloatArg(3), 100);  // pixels from the control's corner
        EXPECT_FLOAT_EQ(e.FloatArg(4), 12);
    });
    ComPtr<Host::DataObject> data = Host::DataObject::Create();
    data->SetText(L"Пермь");
    ComPtr<Host::DropTarget> target = Host::DropTarget::Create(*form_, &city);
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, Screen(city.Hwnd(), {10, 5}), &effect),
              S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    target->DragOver(MK_LBUTTON, Screen(city.Hwnd(), {20, 5}), &effect);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->Drop(data.Get(), 0, Screen(city.Hwnd(), {100, 12}), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(events_, (std::vector<std::wstring>{L"txtCity OLEDragOver Пермь 0",
                                                  L"txtCity OLEDragOver Пермь 2",
                                                  L"txtCity OLEDragDrop Пермь "}));
    // Leaving is the last word of a drag that does not drop.
    events_.clear();
    effect = DROPEFFECT_COPY;
    target->DragEnter(data.Get(), MK_LBUTTON, Screen(city.Hwnd(), {10, 5}), &effect);
    target->DragLeave();
    EXPECT_EQ(events_.back(), L"txtCity OLEDragOver Пермь 1");

    city.SetOLEDropMode(0);
    EXPECT_FALSE(Registered(city.Hwnd()));
}

TEST_F(DragDrop, WindowlessControlsGetDropsOnTheirRectangle) {
    EXPECT_FALSE(Registered(form_->Hwnd()));
    form_->Site(L"lblCity").SetOLEDropMode(1);
    EXPECT_TRUE(Registered(form_->Hwnd()));
    form_->On(L"lblCity", L"OLEDragDrop",
              [](Host::Event& e) { e.SetArg(2, int32_t{DROPEFFECT_MOVE}); });
    ComPtr<Host::DataObject> data = Host::DataObject::Create();
    data->SetText(L"x");
    ComPtr<Host::DropTarget> target = Host::DropTarget::Create(*form_, nullptr);
    // The label is at (20, 60) pixels on the form; beside it nothing takes the drop.
    DWORD effect = DROPEFFECT_MOVE;
    target->DragEnter(data.Get(), MK_LBUTTON, Screen(form_->Hwnd(), {390, 120}), &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_TRUE(events_.empty());
    // Moving onto it enters it; moving off leaves it.
    effect = DROPEFFECT_MOVE;
    target->DragOver(MK_LBUTTON, Screen(form_->Hwnd(), {30, 65}), &effect);
    effect = DROPEFFECT_MOVE;
    target->DragOver(MK_LBUTTON, Screen(form_->Hwnd(), {390, 120}), &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_MOVE;
    target->Drop(data.Get(), 0, Screen(form_->Hwnd(), {30, 65}), &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(events_,
              (std::vector<std::wstring>{L"lblCity OLEDragOver x 0", L"lblCity OLEDragOver x 1",
                                         L"lblCity OLEDragDrop x "}));
    form_->Site(L"lblCity").SetOLEDropMode(0);
    EXPECT_FALSE(Registered(form_->Hwnd()));

    // Unloaded while a windowless control wants drops, the form takes its target with it;
    // loaded again, it registers afresh.
    form_->Site(L"lblCity").SetOLEDropMode(1);
    ASSERT_TRUE(form_->Unload());
    form_->Show();
    EXPECT_FALSE(Registered(form_->Hwnd()));
    form_->Site(L"lblCity").SetOLEDropMode(1);
    EXPECT_TRUE(Registered(form_->Hwnd()));
}

TEST_F(DragDrop, TheSourceFillsTheDataAndRendersAnnouncedFormatsOnRequest) {
    bool refuse = true;
    form_->On(L"cmdOk", L"OLEStartDrag", [&](Host::Event& e) {
        if (!refuse) return;
        EXPECT_EQ(e.Int32Arg(0), DROPEFFECT_COPY | DROPEFFECT_MOVE);
        e.SetArg(0, int32_t{0});  // nothing allowed: no drag at all
    });
    EXPECT_EQ(form_->Site(L"cmdOk").OLEDrag(), DROPEFFECT_NONE);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"cmdOk OLEStartDrag"});

    // The announced format is rendered only when asked for, by the source control.
    refuse = false;
    auto& button = form_->ControlAs<TestButton>(L"cmdOk");
    ComPtr<Host::DataObject> data = Host::DataObject::Create();
    int32_t allowed = DROPEFFECT_COPY;
    button.OLEStartDrag(*data.Get(), allowed);
    data->SetRenderer([&](CLIPFORMAT format) {
        int16_t f = static_cast<int16_t>(format);
        button.OLESetData(*data.Get(), f);
    });
    EXPECT_EQ(Host::DataObject::TextOf(data.Get()), L"&OK");
    EXPECT_FALSE(TheJournal().Has(L"cmdOk OLESetData"));
    FORMATETC format{TestFormat(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&format), S_OK);
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&format, &medium), S_OK);
    EXPECT_TRUE(TheJournal().Has(L"cmdOk OLESetData"));
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(medium.hGlobal)), 8), "rendered");
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    FORMATETC missing{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&missing), DV_E_FORMATETC);
    ComPtr<IEnumFORMATETC> formats;
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.Put()), S_OK);
    FORMATETC listed[4];
    ULONG count = 0;
    formats->Next(4, listed, &count);
    EXPECT_EQ(count, 2u);
}

TEST_F(DragDrop, ADragThroughTheSystemLoopEndsWithItsEffect) {
    // No control of the test wants drops, so wherever the pointer is the drag ends with no
    // effect; the button hears the start and the end.
    const POINTL over = Screen(form_->Site(L"txtName").Hwnd(), {5, 5});
    MoveCursor(POINT{over.x, over.y});
    EXPECT_EQ(form_->Site(L"cmdOk").OLEDrag(), DROPEFFECT_NONE);
    EXPECT_EQ(events_,
              (std::vector<std::wstring>{L"cmdOk OLEStartDrag", L"cmdOk OLECompleteDrag 0"}));
}
