// The edit mode's seventeen controls by index: the button row over the map, the performance
// panel's value fields, toggles and reset button, the resize handle at the map's corner, and
// the second row under the map (north-up, coordinates, map opacity).
#pragma once

#include <array>
#include <cstddef>

namespace Orv
{
enum ControlIndex : std::size_t
{
    kEditButton = 0,
    kZoomInButton = 1,
    kZoomOutButton = 2,
    kAiToggle = 3,
    kShapeToggle = 4,
    kIndoorToggle = 5,
    kResourcesToggle = 6,
    kQuestsToggle = 7,
    kPoisToggle = 8,
    kCaptureRateField = 9,
    kMarkerRateField = 10,
    kRenderScaleField = 11,
    kResetButton = 12,
    kResizeHandle = 13,
    kNorthUpToggle = 14,
    kCoordinatesToggle = 15,
    kOpacityButton = 16,
};
inline constexpr std::size_t kControlCount = 17;

struct ControlCaption
{
    const wchar_t* text; // empty: the control has no text block
    float fontSize;
};

// What each control shows when it is built; the value fields are rewritten at once.
inline constexpr std::array<ControlCaption, kControlCount> kControlCaptions = {{
    {L"EDIT", 9},
    {L"+", 12},
    {L"-", 12},
    {L"AI", 9},
    {L"O", 12},
    {L"IN", 9},
    {L"RES", 9},
    {L"QUEST", 9},
    {L"POI", 9},
    {L"60", 9},
    {L"60", 9},
    {L"4.00", 9},
    {L"RESET DEFAULTS", 9},
    {L"", 12},
    {L"N-UP", 8},
    {L"XY", 8},
    {L"100%", 8},
}};

inline constexpr std::size_t kPerfTextCount = 5;
inline constexpr std::array<ControlCaption, kPerfTextCount> kPerfCaptions = {{
    {L"PERFORMANCE", 10},
    {L"MAP FPS", 9},
    {L"ICON FPS", 9},
    {L"QUALITY", 9},
    {L"TYPE + ENTER  FPS 1-240  Q .25-4", 7},
}};
} // namespace Orv
