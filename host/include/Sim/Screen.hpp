// The game's screen as the engine would show it: the world behind the HUD, then the viewport's
// widgets laid out and painted by Slate's rules (panels, slots, brushes, texts, render
// transforms), for people to look at and for tests to probe at places they compute. Drawing
// reads widgets as the engine does, never through script calls, so it costs a mod nothing.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Scene.hpp>

#include <filesystem>

namespace Sim
{
// In layout units: the viewport is its pixels divided by its DPI scale across.
struct LayoutRect
{
    double x = 0, y = 0, width = 0, height = 0;
    double Right() const { return x + width; }
    double Bottom() const { return y + height; }
};

// Where the last layout put a widget, before its render transform. A widget the layout did not
// reach (not in the viewport, collapsed, or under a collapsed or hidden one) is not arranged;
// an arranged one is drawn unless it or a widget above it is hidden.
struct WidgetPlacement
{
    bool arranged = false;
    bool drawn = false;
    LayoutRect rect;
};

// The screen at the viewport's size and scale, RGBA8 rows from the top, opaque.
UE4SS_API void RenderScreen(RenderTargetImage& out);
// False when the file cannot be written or this build has no PNG support.
UE4SS_API bool WriteScreenPng(const std::filesystem::path& path);
// The layout alone, for placements without drawing.
UE4SS_API void LayOutScreen();
UE4SS_API WidgetPlacement PlacementOf(const UObject* widget);
// Whether texts are drawn: this build has FreeType and a DejaVu font was found.
UE4SS_API bool ScreenDrawsText();
} // namespace Sim
