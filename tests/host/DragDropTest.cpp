// OLE drag and drop between the host's controls, through the system's own drag loop: a
// button is the source, an edit box (windowed) and a label (windowless) are targets.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

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
            if (n == L"OLEDragOver")
                line += L" " + e.StringArg(0) + L" " + std::to_wstring(e.Int16Arg(4));
            if (n == L"OLEDragDrop") line += L" " + e.StringArg(0) + L" " + e.StringArg(1);
            if (n == L"OLECompleteDrag") line += L" " + std::to_wstring(e.Int32Arg(0));
            events_.push_back(line);
        });
        TheJournal().Clear();
        ASSERT_TRUE(ShowInFront(*form_));
    }
    void TearDown() override { form_->Unload(); }

    // Drags from cmdOk with the pointer resting over `target` and no button held: the drag
    // loop drops at once.
    int32_t DragOnto(HWND window, POINT client) {
        ClientToScreen(window, &client);
        EXPECT_TRUE(MoveCursor(client));
        return form_->Site(L"cmdOk").OLEDrag();
    }

    std::unique_ptr<Host::Form> form_;
    std::vector<std::wstring> events_;
};

}  // namespace

TEST_F(DragDrop, AWindowedTargetGetsTheDataAndTheSourceLearnsTheEffect) {
    Host::ControlSite& city = form_->Site(L"txtCity");
    city.SetOLEDropMode(1);
    form_->On(L"txtCity", L"OLEDragOver",
              [](Host::Event& e) { e.SetArg(1, int32_t{DROPEFFECT_COPY}); });
    form_->On(L"txtCity", L"OLEDragDrop", [](Host::Event& e) {
        EXPECT_EQ(e.Int32Arg(2) & DROPEFFECT_COPY, DROPEFFECT_COPY);  // what the source allows
        e.SetArg(2, int32_t{DROPEFFECT_COPY});
        EXPECT_FLOAT_EQ(e.FloatArg(3), 100);  // pixels from the control's corner
        EXPECT_FLOAT_EQ(e.FloatArg(4), 12);
    });
    const int32_t effect = DragOnto(city.Hwnd(), POINT{100, 12});
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    ASSERT_GE(events_.size(), 3u);
    EXPECT_EQ(events_.front(), L"cmdOk OLEStartDrag");
    EXPECT_EQ(events_[events_.size() - 2], L"txtCity OLEDragDrop &OK rendered");
    EXPECT_EQ(events_.back(), L"cmdOk OLECompleteDrag 1");
    // The announced format was rendered by the source only when the target asked for it.
    EXPECT_TRUE(TheJournal().Has(L"cmdOk OLESetData"));

    // Without drop mode the control hears nothing and the drop does nothing.
    city.SetOLEDropMode(0);
    events_.clear();
    EXPECT_EQ(DragOnto(city.Hwnd(), POINT{100, 12}), DROPEFFECT_NONE);
    EXPECT_EQ(events_,
              (std::vector<std::wstring>{L"cmdOk OLEStartDrag", L"cmdOk OLECompleteDrag 0"}));
}

TEST_F(DragDrop, AWindowlessTargetGetsDropsOnItsRectangle) {
    form_->Site(L"lblCity").SetOLEDropMode(1);
    form_->On(L"lblCity", L"OLEDragDrop",
              [](Host::Event& e) { e.SetArg(2, int32_t{DROPEFFECT_MOVE}); });
    // The label is at (20, 60) pixels on the form.
    EXPECT_EQ(DragOnto(form_->Hwnd(), POINT{30, 65}), DROPEFFECT_MOVE);
    EXPECT_EQ(events_[events_.size() - 2], L"lblCity OLEDragDrop &OK rendered");
    // Beside it, nothing takes the drop.
    events_.clear();
    EXPECT_EQ(DragOnto(form_->Hwnd(), POINT{390, 120}), DROPEFFECT_NONE);
    EXPECT_EQ(events_.back(), L"cmdOk OLECompleteDrag 0");
}

TEST_F(DragDrop, ASourceThatAllowsNothingStartsNoDrag) {
    form_->Site(L"txtCity").SetOLEDropMode(1);
    form_->On(L"cmdOk", L"OLEStartDrag", [](Host::Event& e) { e.SetArg(0, int32_t{0}); });
    EXPECT_EQ(DragOnto(form_->Site(L"txtCity").Hwnd(), POINT{10, 10}), DROPEFFECT_NONE);
    EXPECT_EQ(events_, std::vector<std::wstring>{L"cmdOk OLEStartDrag"});
}
