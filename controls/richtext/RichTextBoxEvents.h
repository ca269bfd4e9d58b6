// RichTextBoxEvents: the events of the rich text box, with their dispatch identifiers and
// arguments (by-reference ones are read back after the handlers ran).
//
// The standard ones keep the standard identifiers (-600 to -607); the control's own count
// from 1 in declaration order. Object arguments (LpOleObject) are the objects themselves, and
// a menu handle is pointer-sized, so nothing is cut on 64-bit systems.
#pragma once

#include <windows.h>

#include <span>

#include "host/ControlDescription.h"
#include "host/Events.h"

namespace RichTextBoxEvents {

using P = Host::EventParameter;
// A pointer-sized integer as the host's events carry it.
inline constexpr VARTYPE kPointerType = sizeof(void*) == 8 ? VT_I8 : VT_I4;

inline constexpr P kKeyArgs[] = {{L"KeyCode", VT_I2, true}, {L"Shift", VT_I2, true}};
inline constexpr P kKeyPressArgs[] = {{L"KeyChar", VT_I2, true}};
inline constexpr P kMouseArgs[] = {
    {L"Button", VT_I2, true}, {L"Shift", VT_I2, true}, {L"X", VT_R4, true}, {L"Y", VT_R4, true}};
inline constexpr P kSelChangeArgs[] = {
    {L"SelType", VT_I2, false}, {L"SelStart", VT_I4, false}, {L"SelEnd", VT_I4, false}};
inline constexpr P kLinkArgs[] = {{L"wMsg", VT_I4, false},
                                  {L"wParam", VT_I4, false},
                                  {L"lParam", VT_I4, false},
                                  {L"LinkStart", VT_I4, false},
                                  {L"LinkEnd", VT_I4, false}};
inline constexpr P kProtectedArgs[] = {
    {L"Allow", VT_BOOL, true}, {L"SelStart", VT_I4, false}, {L"SelEnd", VT_I4, false}};
inline constexpr P kContextMenuArgs[] = {
    {L"Handled", VT_BOOL, true}, {L"X", VT_R4, false}, {L"Y", VT_R4, false}};
inline constexpr P kPreviewArgs[] = {{L"KeyCode", VT_I2, false}, {L"IsInputKey", VT_BOOL, true}};
inline constexpr P kDropEffectArgs[] = {{L"Effect", VT_I4, true},
                                        {L"Button", VT_I2, false},
                                        {L"Shift", VT_I2, false},
                                        {L"X", VT_R4, false},
                                        {L"Y", VT_R4, false}};
inline constexpr P kStartDragArgs[] = {{L"AllowedEffects", VT_I4, true}};
inline constexpr P kObjectMenuArgs[] = {{L"SelType", VT_I2, false},
                                        {L"LpOleObject", VT_UNKNOWN, false},
                                        {L"SelStart", VT_I4, false},
                                        {L"SelEnd", VT_I4, false},
                                        {L"hMenu", kPointerType, true}};
inline constexpr P kMenuClickArgs[] = {{L"ID", VT_I4, false}};
inline constexpr P kObjectArgs[] = {{L"LpOleObject", VT_UNKNOWN, false}};

inline constexpr Host::EventInfo kClick{L"Click", Host::kDispIdClick, {}};
inline constexpr Host::EventInfo kDblClick{L"DblClick", Host::kDispIdDblClick, {}};
inline constexpr Host::EventInfo kKeyDown{L"KeyDown", Host::kDispIdKeyDown, kKeyArgs};
inline constexpr Host::EventInfo kKeyPress{L"KeyPress", Host::kDispIdKeyPress, kKeyPressArgs};
inline constexpr Host::EventInfo kKeyUp{L"KeyUp", Host::kDispIdKeyUp, kKeyArgs};
inline constexpr Host::EventInfo kMouseDown{L"MouseDown", Host::kDispIdMouseDown, kMouseArgs};
inline constexpr Host::EventInfo kMouseMove{L"MouseMove", Host::kDispIdMouseMove, kMouseArgs};
inline constexpr Host::EventInfo kMouseUp{L"MouseUp", Host::kDispIdMouseUp, kMouseArgs};
inline constexpr Host::EventInfo kChange{L"Change", 1, {}};
inline constexpr Host::EventInfo kMaxText{L"MaxText", 2, {}};
inline constexpr Host::EventInfo kSelChange{L"SelChange", 3, kSelChangeArgs};
inline constexpr Host::EventInfo kLinkEvent{L"LinkEvent", 4, kLinkArgs};
inline constexpr Host::EventInfo kModifyProtected{L"ModifyProtected", 5, kProtectedArgs};
inline constexpr Host::EventInfo kScroll{L"Scroll", 6, {}};
inline constexpr Host::EventInfo kContextMenu{L"ContextMenu", 7, kContextMenuArgs};
inline constexpr Host::EventInfo kPreviewKeyDown{L"PreviewKeyDown", 8, kPreviewArgs};
inline constexpr Host::EventInfo kPreviewKeyUp{L"PreviewKeyUp", 9, kPreviewArgs};
inline constexpr Host::EventInfo kMouseEnter{L"MouseEnter", 10, {}};
inline constexpr Host::EventInfo kMouseLeave{L"MouseLeave", 11, {}};
inline constexpr Host::EventInfo kOLECompleteDrag{L"OLECompleteDrag", 12, {}};
inline constexpr Host::EventInfo kOLEGetDropEffect{L"OLEGetDropEffect", 13, kDropEffectArgs};
inline constexpr Host::EventInfo kOLEStartDrag{L"OLEStartDrag", 14, kStartDragArgs};
inline constexpr Host::EventInfo kOLEGetContextMenu{L"OLEGetContextMenu", 15, kObjectMenuArgs};
inline constexpr Host::EventInfo kOLEContextMenuClick{L"OLEContextMenuClick", 16, kMenuClickArgs};
inline constexpr Host::EventInfo kOLEDeleteObject{L"OLEDeleteObject", 17, kObjectArgs};

// All 25, in declaration order.
std::span<const Host::EventInfo> All();

}  // namespace RichTextBoxEvents
