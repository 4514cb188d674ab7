// What the screen holds of the widgets in the viewport, as Slate holds it. A user widget's
// screen is built once, when it is added to the viewport (UUserWidget::TakeWidget →
// RebuildWidget, every panel's slots built by UPanelSlot::BuildSlot), from the widgets' members
// as they are at that moment. From then on only the engine's own paths reach it: a setter stores
// its member and hands the value on (UImage::SetColorAndOpacity → SImage::SetColorAndOpacity),
// a slot's setters do the same for the slot, and a child added to a built panel is built into it
// (UPanelWidget::OnSlotAdded). Brushes are the exception Slate makes itself: SImage and SBorder
// keep a pointer to the widget's brush, so a brush is read from the widget as it is painted.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Types.hpp>

#include <string>
#include <unordered_map>
#include <vector>

namespace Sim::Detail
{
// Slate's side of one widget or slot.
struct ScreenCopy
{
    // The members at the object's own offsets, as taken and as the setters handed them on since.
    // Members that own memory are zeroed here: the text is kept as a string, the children as a
    // list, and a brush is never read from the copy.
    std::vector<uint8> values;
    std::wstring text;
    std::vector<ScreenChild> children; // in slot order
    const UObject* parent = nullptr;   // the widget whose children hold this one
};

using ScreenCopies = std::unordered_map<const UObject*, ScreenCopy>;

// UUserWidget::TakeWidget as the viewport asks for it: the user widget and everything in its
// tree now, unless it is built already.
void BuildScreenTree(UObject* userWidget);
// The user widget left the viewport: its screen goes with the viewport's hold on it, so adding
// it again builds it again from its members.
void DropScreenTree(const UObject* userWidget);
// A setter stored the member at the path: the screen takes it if it holds the object.
void PushToScreen(UObject* object, StringViewType path);
// UPanelWidget::OnSlotAdded and OnSlotRemoved for a panel the screen holds.
void ScreenChildAdded(UObject* panel, UObject* slot, UObject* child);
void ScreenChildRemoved(const UObject* panel, const UObject* child);
// Null when the screen holds nothing of the object.
const ScreenCopy* ScreenCopyOf(const UObject* object);
// Strings, texts, arrays, sets and maps: never read from a copy.
bool OwnsMemory(const FProperty* property);
// Slate's brushes are pointers into the widget: a member of this type is read from the widget.
bool IsBrush(const FProperty* property);
// A freed object leaves the screen, and the panel that listed it.
void ForgetOnScreen(ScreenCopies& copies, const UObject* object);
} // namespace Sim::Detail
