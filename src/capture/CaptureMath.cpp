// The capture's arithmetic.
#include "capture/CaptureMath.hpp"

#include <algorithm>
#include <cmath>

namespace Orv
{
namespace
{
constexpr double kTargetGranule = 64.0;
constexpr double kLargestTarget = 3072.0;
constexpr double kLongestHeightStep = 0.25;
constexpr double kLongestYawStep = 0.1;
constexpr double kYawRate = 10.0;
} // namespace

std::int32_t RenderTargetSide(double mapSize, double renderScale)
{
    const double side = std::ceil(renderScale * mapSize / kTargetGranule) * kTargetGranule;
    // NaN and the ends of the range go to the limits rather than through an undefined cast.
    if (!(side >= kTargetGranule))
    {
        return static_cast<std::int32_t>(kTargetGranule);
    }
    return static_cast<std::int32_t>(std::min(side, kLargestTarget));
}

double HeightBlend(double dtSeconds, double transitionSpeed)
{
    const double dt = std::clamp(dtSeconds, 0.0, kLongestHeightStep);
    return 1.0 - std::exp(-dt * transitionSpeed);
}

double SmoothYaw(double current, double target, double dtSeconds)
{
    const double dt = std::clamp(dtSeconds, 0.0, kLongestYawStep);
    const double difference = std::remainder(target - current, 360.0);
    return std::remainder(current + (1.0 - std::exp(-kYawRate * dt)) * difference, 360.0);
}

float Exposure(bool night, bool inDungeon, float dayBrightness, float nightBrightness, float trim, float dungeonBoost)
{
    // Neither the sun nor the night reaches a cave: the day's brightness, which tones down a
    // sunlit map, would darken it, and the night's would flood it four times over.
    if (inDungeon)
    {
        return trim + dungeonBoost;
    }
    return (night ? nightBrightness : dayBrightness) + trim - 1.0f;
}

float TintFor(float exposure, bool biasFailed)
{
    // With the bias working the capture carries the positive part; the tint only darkens.
    const float t = biasFailed ? exposure : std::min(exposure, 0.0f);
    return std::pow(2.0f, t * 0.5f);
}
} // namespace Orv
