// The widget and actor setters the mod drives the game's HUD and actors with. Each is one
// reflective call (or a short fixed sequence) on the given object; none compares with the
// last value it set: callers that skip redundant calls keep their own last-applied values.
#pragma once

#include "reflection/EngineValues.hpp"
#include "reflection/Lookup.hpp"

#include <cstdint>

namespace Orv
{
// Widget visibilities the mod uses: shown but never hit-testable, and collapsed.
inline constexpr std::uint8_t kVisibilityShown = 3;
inline constexpr std::uint8_t kVisibilityCollapsed = 1;

// "SetColorAndOpacity" on an image: the tint as four raw floats.
bool SetImageColor(Reflection& reflection, UObject* image, const LinearColor& color);
// "SetColorAndOpacity" on a text block: a copy of the block's current "ColorAndOpacity" with
// its leading linear colour replaced, so every other member of the value is kept.
bool SetTextColor(Reflection& reflection, UObject* textBlock, const LinearColor& color);
bool SetBrushResourceObject(Reflection& reflection, UObject* image, UObject* resource);
// "SetBrushFromTexture", never matching the texture's size.
bool SetBrushFromTexture(Reflection& reflection, UObject* image, UObject* texture);
// "SetText" with a text the engine makes from the zero-terminated string (KismetTextLibrary's
// Conv_StringToText); false for null text or when the engine cannot make one.
bool SetText(Reflection& reflection, UObject* textBlock, const wchar_t* text);
bool SetVisibility(Reflection& reflection, UObject* widget, std::uint8_t visibility);
// Adds the child to the canvas, then anchors the new slot at the top-left corner with a
// top-left alignment. Returns the canvas slot, or null.
UObject* AddChildToCanvas(Reflection& reflection, UObject* canvas, UObject* child);
// Horizontal, then vertical alignment on the widget's "Slot"; each call independent of the other.
void SetSlotAlignment(Reflection& reflection, UObject* widget, std::uint8_t horizontal, std::uint8_t vertical);
// Nothing happens unless the canvas slot is live.
void SetSlotPosition(Reflection& reflection, UObject* slot, Vector2d position);
// As SetSlotPosition, skipped when lastSent holds exactly this position; a call that went
// through is remembered there. Start lastSent at NaN, which equals nothing.
void MoveSlot(Reflection& reflection, UObject* slot, Vector2d position, Vector2d& lastSent);
void SetSlotPositionAndSize(Reflection& reflection, UObject* slot, Vector2d position, Vector2d size);
// A canvas slot's place in its panel's drawing order: higher draws later, over lower.
bool SetSlotZOrder(Reflection& reflection, UObject* slot, std::int32_t zOrder);
bool SetBrushColor(Reflection& reflection, UObject* border, const LinearColor& color);
// "SetFont" with a copy of the block's current "Font" whose "Size" is replaced: as is for a
// float size, truncated toward zero for an integer size. False for a size that is not a number.
bool SetFontSize(Reflection& reflection, UObject* textBlock, float size);
// "SetPadding": the same padding on all four sides.
bool SetPadding(Reflection& reflection, UObject* widget, float padding);
// "SetWidthOverride" and "SetHeightOverride" on a size box, each called whatever the other gave.
bool SetSizeOverrides(Reflection& reflection, UObject* sizeBox, float width, float height);
// "SetContent" on a single-child panel (a border or a size box).
bool SetContent(Reflection& reflection, UObject* panel, UObject* content);
// "AddChildToOverlay"; the overlay slot, or null.
UObject* AddChildToOverlay(Reflection& reflection, UObject* overlay, UObject* child);
// The render transform: pivot as a fraction of the widget's box, angle in degrees, scale.
bool SetRenderPivot(Reflection& reflection, UObject* widget, Vector2d pivot);
bool SetRenderAngle(Reflection& reflection, UObject* widget, float degrees);
bool SetRenderScale(Reflection& reflection, UObject* widget, Vector2d scale);
// The widget's own opacity, which the engine multiplies into everything drawn inside it.
bool SetRenderOpacity(Reflection& reflection, UObject* widget, float opacity);
// "K2_SetActorRotation" without teleporting physics.
bool SetActorRotation(Reflection& reflection, UObject* actor, const Rotator3d& rotation);
} // namespace Orv
