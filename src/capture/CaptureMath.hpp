// The capture's arithmetic, apart from the engine: the render target's side, the smoothing of
// the camera's height and yaw, and the exposure of the map. All in 64-bit reals.
#pragma once

#include <cstdint>

namespace Orv
{
// One step of the zoom buttons and keys, in world units of orthographic width.
inline constexpr float kZoomStep = 500.0f;

// ceil(scale × size / 64) × 64 pixels, at least 64 and at most 3072.
std::int32_t RenderTargetSide(double mapSize, double renderScale);

// The fraction of the way to its target the camera's height moves in dt seconds (dt limited
// to 0 … 0.25 s) at the indoor transition speed.
double HeightBlend(double dtSeconds, double transitionSpeed);
// The smoothed yaw after dt seconds (limited to 0 … 0.1 s), turning the short way round.
double SmoothYaw(double current, double target, double dtSeconds);
// Exposure in stops: above ground the day or night brightness and the user's trim, less one;
// underground the trim and the dungeon boost alone.
float Exposure(bool night, bool inDungeon, float dayBrightness, float nightBrightness, float trim, float dungeonBoost);
// The map image's grey for an exposure that the capture's bias does not carry: 2^(t × 0.5).
float TintFor(float exposure, bool biasFailed);
} // namespace Orv
