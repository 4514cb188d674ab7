// The game's screen as the engine would show it: the world behind the HUD, then the viewport's
// widgets laid out and painted by Slate's rules (panels, slots, brushes, texts, render
// transforms), for people to look at and for tests to probe at places they compute. Drawing
// reads widgets as the engine does, never through script calls, so it costs a mod nothing.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Types.hpp>

#include <array>
#include <filesystem>
#include <vector>

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
    // What the widget asked of its slot (Slate's desired size): for a text block, its text
    // measured at its font, which a rect smaller than this cuts off or lets spill.
    double desiredWidth = 0, desiredHeight = 0;
};

// The screen at the viewport's size and scale, RGBA8 rows from the top, opaque.
UE4SS_API void RenderScreen(RenderTargetImage& out);
// False when the file cannot be written or this build has no PNG support.
UE4SS_API bool WriteScreenPng(const std::filesystem::path& path);
// The layout alone, for placements without drawing.
UE4SS_API void LayOutScreen();
UE4SS_API WidgetPlacement PlacementOf(const UObject* widget);
// How a screenshot shows an image widget's picture, in linear light: the screen's pixels over
// the picture's middle (a disc of 0.46 of its side, inside a round frame too) fitted as gain ×
// the picture's own pixel + offset. A grey tint shows as the gain, one gain for the three
// channels, fitted over all of them (a single channel of a dark scene spans too few levels to
// tell it well); each channel's own gain is there for coloured tints. Alpha below 1 shows as
// the gain falling and the offsets rising towards what lies behind. Pixels where other widgets
// cover the picture (markers, an arrow) fall out as outliers, and so do pixels the screen
// clipped at black or white. From the last layout: render the screen first. Not found for a
// widget that was not drawn, is turned by a render transform, or shows no picture.
struct PictureOnScreen
{
    bool found = false;
    double gain = 0;
    std::array<double, 3> offset{};
    std::array<double, 3> channelGain{};
    int32 samples = 0; // pixels the fit kept
};
UE4SS_API PictureOnScreen MeasurePictureOnScreen(const RenderTargetImage& screen, const UObject* image);

// What the screen holds of the widgets of a user widget in the viewport: Slate's copy, built
// when the user widget was added and changed since only by the engine's setters and by children
// added to its panels. A member at a dotted path as the screen draws it; a brush member as the
// widget holds it now, since the screen reads brushes through a pointer. No address for an
// object the screen does not hold, nor for a member that owns memory (texts, arrays).
UE4SS_API MemberRef ScreenMember(const UObject* widgetOrSlot, StringViewType path);
// The widgets the screen draws inside one, with their slots, in slot order; a user widget's
// root comes without a slot.
struct ScreenChild
{
    UObject* widget = nullptr;
    UObject* slot = nullptr;
};
UE4SS_API std::vector<ScreenChild> ScreenChildren(const UObject* widget);

// Whether texts are drawn: this build has FreeType and a DejaVu font was found.
UE4SS_API bool ScreenDrawsText();
} // namespace Sim
