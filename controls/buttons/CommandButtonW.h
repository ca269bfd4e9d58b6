// CommandButtonW: a command button over the system "Button" window.
//
// Events (identifiers): Click (-600; raised for BN_CLICKED and BN_DOUBLECLICKED, the
// caption's access key, Return or Escape routed to it as the form's default or cancel
// button, and Value = True), HotChanged (1), DropDown (2), OwnerDraw (3), PreviewKeyDown (4),
// PreviewKeyUp (5), KeyDown, KeyUp, KeyPress, MouseDown, MouseMove, MouseUp, MouseEnter (6),
// MouseLeave (7), OLECompleteDrag (8), OLEDragDrop (9), OLEDragOver (10), OLEGiveFeedback (11),
// OLESetData (12), OLEStartDrag (13). The shared members and messages are ButtonBase's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "controls/buttons/ButtonBase.h"

class CommandButtonW : public ButtonBase::ButtonControl {
public:
    static constexpr wchar_t kTypeName[] = L"CommandButtonW";
    static constexpr DISPID kDispIdMousePointer = DISPID_MOUSEPOINTER;
    static constexpr DISPID kDispIdImageList = 0x68030010;

    CommandButtonW();

    // The default-button frame (BS_DEFPUSHBUTTON), following the container.
    bool DisplayAsDefault() const { return PropDisplayAsDefault; }
    int32_t Alignment() const { return PropAlignment; }
    void SetAlignment(int32_t value);  // 0 left, 1 right, 2 centre
    // Shows Picture beside the caption (common controls 6.1 or later) instead of alone.
    bool PictureAndCaption() const { return PropPictureAndCaption; }
    void SetPictureAndCaption(bool value);
    bool SplitButton() const { return PropSplitButton; }
    void SetSplitButton(bool value);
    int32_t SplitButtonAlignment() const { return PropSplitButtonAlignment; }
    void SetSplitButtonAlignment(int32_t value);  // 0 left, 1 right
    bool SplitButtonNoSplit() const { return PropSplitButtonNoSplit; }
    void SetSplitButtonNoSplit(bool value);
    ComPtr<IPictureDisp> SplitButtonGlyph() const { return PropSplitButtonGlyph; }
    void SetSplitButtonGlyph(ComPtr<IPictureDisp> picture);
    // True only while a Click the control raised is handled; assigning True clicks.
    bool Value() const { return ButtonValue; }
    void SetValue(bool value);
    bool DroppedDown() const;
    void SetDroppedDown(bool value);

    // Activates the form, focuses the button and clicks it (BM_CLICK).
    void PerformClick();
    // The elevation shield (common controls 6.1); the message's answer, 0 when not sent.
    int32_t SetShield(bool state);
    // The window's preferred size in container units (common controls 6.0); the arguments
    // stay as given without a window.
    void GetIdealSize(float& width, float& height);

    // --- host ------------------------------------------------------------------------------
    const Host::ControlDescription& Describe() const override;
    bool DefaultCancel() const override { return true; }
    void InitProperties() override;
    void ReadProperties(Host::PropertyStore& store) override;
    void WriteProperties(Host::PropertyStore& store) override;
    void AmbientChanged(std::wstring_view name) override;
    void AccessKeyPress(int16_t keyAscii) override;

private:
    Host::WindowShape DescribeWindow() override;
    void WindowCreated() override;
    void WindowDestroyed() override;
    void ButtonClicked() override;
    void OwnerDraw(const DRAWITEMSTRUCT& item) override;
    void MirrorAlignments(bool rightToLeft) override;
    bool PictureWithCaption() const override { return PropPictureAndCaption; }
    void DescribeLook(ButtonDraw::Look& look) override {
        look.displayAsDefault = PropDisplayAsDefault;
    }
    // Sets and clears a split style bit (BCSS_...) of the window.
    void EditSplitStyle(UINT bit, bool on);

    bool ButtonValue = false;
    bool PropDisplayAsDefault = false;
    int32_t PropAlignment = 2;
    bool PropPictureAndCaption = false;
    bool PropSplitButton = false;
    int32_t PropSplitButtonAlignment = 1;
    bool PropSplitButtonNoSplit = false;
    ComPtr<IPictureDisp> PropSplitButtonGlyph;
    UniqueImageList SplitGlyphImageList;
    HIMAGELIST DefaultSplitGlyph = nullptr;  // the window's own
};
