// The frame's geometry in layout units, apart from the engine: the footprint of the positioned
// canvas around an S × S map, the map size a viewport allows, and the stored position (a
// fraction of the free space) as a place on screen.
#pragma once

namespace Orv
{
// A 23-unit button row above the map, and a 3-unit gap and 16-unit resize handle to its right
// and below it.
inline constexpr double kButtonRowHeight = 23.0;
inline constexpr double kHandleGap = 3.0;
inline constexpr double kHandleSize = 16.0;
inline constexpr double kFrameExtraWidth = kHandleGap + kHandleSize;
inline constexpr double kFrameExtraHeight = kButtonRowHeight + kHandleGap + kHandleSize;
inline constexpr double kMinMapSize = 160.0;
inline constexpr double kMaxMapSize = 720.0;
// Distance of the default place from the viewport's right and top edges.
inline constexpr double kDefaultEdgeMargin = 24.0;
// The viewport when it has never been measured.
inline constexpr double kFallbackViewportWidth = 1920.0;
inline constexpr double kFallbackViewportHeight = 1080.0;

struct FreeSpace
{
    double width = 0.0;
    double height = 0.0;
};

// How far the positioned canvas can move within the viewport; never negative.
FreeSpace FrameFreeSpace(double viewportWidth, double viewportHeight, double mapSize);

// 160 to 720, no larger than fits the viewport once measured, but at least 160 on any viewport.
double ClampMapSize(double requested, double viewportWidth, double viewportHeight);

// A stored position is a fraction of the free space; a negative one is the default place,
// 24 units in from the right edge and from the top (or less on a tiny screen).
double StoredPositionX(double stored, double freeWidth);
double StoredPositionY(double stored, double freeHeight);
} // namespace Orv
