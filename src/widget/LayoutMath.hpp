// The frame's geometry in layout units, apart from the engine: the footprint of the positioned
// canvas around an S × S map, the map size a viewport allows, and the stored position (a
// fraction of the free space) as a place on screen.
//
// Every control-sized length is multiplied by the control scale k (ControlScale): 1 on a
// screen of 1080 lines and up, so the controls keep their 1080p size in pixels on smaller
// screens, where the engine's DPI scale would shrink them to targets and texts too small to use.
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

// 1 at a DPI scale of 1 and above; below it, the factor that brings the controls back to
// their size at scale 1.
double ControlScale(double viewportScale);

// How far the positioned canvas can move within the viewport; never negative.
FreeSpace FrameFreeSpace(double viewportWidth, double viewportHeight, double mapSize, double controlScale);

// 160 (times the control scale, so the rows of controls fit over and under the map) to 720,
// no larger than fits the viewport once measured, but at least the smallest on any viewport.
double ClampMapSize(double requested, double viewportWidth, double viewportHeight, double controlScale);

// A stored position is a fraction of the free space; a negative one is the default place,
// 24 units in from the right edge and from the top (or less on a tiny screen).
double StoredPositionX(double stored, double freeWidth);
double StoredPositionY(double stored, double freeHeight);
} // namespace Orv
