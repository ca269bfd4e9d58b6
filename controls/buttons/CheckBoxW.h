// CheckBoxW: a three-state check box over the system "Button" window.
//
// The window is a non-automatic three-state button: it never changes its own check state.
// The control does, through Value, so that every change (a click, the access key, code, or a
// stored value applied while loading) raises Click exactly once. A click turns 0 into 1 and
// 1 or 2 into 0; the grayed state comes only from code or from the store. The check box is
// no default or cancel button: Return and Escape are not its keys.
//
// Events (identifiers): Click (-600), HotChanged (1), OwnerDraw(Action, State, hDC, Left,
// Top, Right, Bottom) (2), PreviewKeyDown(KeyCode, IsInputKey) (3), PreviewKeyUp (4),
// MouseEnter (5), MouseLeave (6), OLECompleteDrag (7), OLEDragDrop (8), OLEDragOver (9),
// OLEGiveFeedback (10), OLESetData (11), OLEStartDrag (12), KeyDown, KeyUp (KeyCode, Shift),
// KeyPress (KeyChar), MouseDown, MouseMove, MouseUp (Button, Shift, X, Y in twips). The
// shared members and messages are ButtonBase's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "controls/buttons/ButtonBase.h"

class CheckBoxW : public ButtonBase::ButtonControl {
public:
    static constexpr wchar_t kTypeName[] = L"CheckBoxW";
    static constexpr int16_t kUnchecked = 0;
    static constexpr int16_t kChecked = 1;
    static constexpr int16_t kGrayed = 2;
    static constexpr DISPID kDispIdMousePointer = DISPID_MOUSEPOINTER;
    static constexpr DISPID kDispIdImageList = 0x68030008;

    CheckBoxW();

    // The window's state while a normal window exists, else the stored one. The default
    // member.
    int16_t Value() const;
    // 0, 1, 2; -1 (true) is taken as 1; error 380 otherwise. Raises Click when it changes.
    void SetValue(int16_t value);
    // 0 box left of the text, 1 box right of it.
    int32_t Alignment() const { return PropAlignment; }
    void SetAlignment(int32_t value);
    // Where the text sits: 0 left, 1 right, 2 centre.
    int32_t TextAlignment() const { return PropTextAlignment; }
    void SetTextAlignment(int32_t value);
    bool PushLike() const { return PropPushLike; }
    void SetPushLike(bool value);

    // --- host ------------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;

private:
    Host::WindowShape DescribeWindow() override;
    void WindowCreated() override;
    // Value's names, then the shared ones.
    bool OfferFor(DISPID id, Offer& offer) override;
    // The click cycle: 0 becomes 1, 1 and 2 become 0.
    void ButtonClicked() override;
    void OwnerDraw(const DRAWITEMSTRUCT& item) override;
    void DescribeLook(ButtonDraw::Look& look) override {
        look.checkBox = true;
        look.value = PropValue;
        look.checkedBrush = &CheckedBrush;
    }
    // The text follows the reading order; the side of the box stays where it was put.
    void MirrorAlignments(bool rightToLeft) override;

    // Set when the window is made for the first time: only then does the stored Value count
    // as a change (a re-created window keeps the state it had).
    bool windowMadeBefore_ = false;
    // The Value changes whose Click is being raised (old, new): a handler that makes the same
    // change again is not heard twice.
    std::vector<std::pair<int16_t, int16_t>> clicksRaising_;

    int16_t PropValue = kUnchecked;
    int32_t PropAlignment = 0;
    int32_t PropTextAlignment = 0;
    bool PropPushLike = false;
};
