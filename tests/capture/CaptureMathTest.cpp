// The capture's arithmetic on its own: the render target's side in whole tiles of 64 within
// 64 … 3072, how far the camera's height and yaw move in a frame gap (with the gaps capped),
// the short way round, and the exposure and map tint by day, at night and underground.
#include "capture/CaptureMath.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
using namespace Orv;

TEST(RenderTargetSide, IsTheScaledMapSizeRoundedUpToTilesOf64WithinLimits)
{
    EXPECT_EQ(RenderTargetSide(280.0, 4.0), 1152);
    EXPECT_EQ(RenderTargetSide(160.0, 0.25), 64) << "40 pixels round up to one tile";
    EXPECT_EQ(RenderTargetSide(720.0, 4.0), 2880);
    EXPECT_EQ(RenderTargetSide(300.0, 1.0), 320);
    EXPECT_EQ(RenderTargetSide(128.0, 1.0), 128) << "a whole number of tiles stays";
    EXPECT_EQ(RenderTargetSide(128.5, 1.0), 192);
    EXPECT_EQ(RenderTargetSide(768.0, 4.0), 3072) << "the largest side is allowed";
    EXPECT_EQ(RenderTargetSide(769.0, 4.0), 3072) << "3136 is limited";
    EXPECT_EQ(RenderTargetSide(1e12, 4.0), 3072) << "far beyond a 32-bit integer";
    EXPECT_EQ(RenderTargetSide(0.0, 4.0), 64);
    EXPECT_EQ(RenderTargetSide(-300.0, 4.0), 64);
    EXPECT_EQ(RenderTargetSide(std::numeric_limits<double>::quiet_NaN(), 4.0), 64);
}

TEST(CameraSmoothing, TheHeightMovesByTheTransitionSpeedWithGapsCappedAtAQuarterSecond)
{
    EXPECT_NEAR(HeightBlend(0.1, 8.0), 1.0 - std::exp(-0.8), 1e-12);
    EXPECT_NEAR(HeightBlend(0.25, 8.0), 0.8647, 1e-4);
    EXPECT_DOUBLE_EQ(HeightBlend(2.0, 8.0), HeightBlend(0.25, 8.0)) << "a two second gap moves as a quarter second";
    EXPECT_NEAR(HeightBlend(0.25, 4.0), 1.0 - std::exp(-1.0), 1e-12);
    EXPECT_DOUBLE_EQ(HeightBlend(-1.0, 8.0), 0.0) << "a clock that went back moves nothing";
}

TEST(CameraSmoothing, TheYawTurnsTheShortWayByTheFractionOfItsCappedGap)
{
    // 170 to -170 is 20 degrees through 180; a one second gap counts as 0.1 s: 1 - e^-1.
    const double fraction = 1.0 - std::exp(-1.0);
    EXPECT_NEAR(SmoothYaw(170.0, -170.0, 1.0), std::remainder(170.0 + fraction * 20.0, 360.0), 1e-9);
    EXPECT_NEAR(SmoothYaw(-170.0, 170.0, 1.0), std::remainder(-170.0 - fraction * 20.0, 360.0), 1e-9);
    EXPECT_NEAR(SmoothYaw(0.0, 100.0, 0.1), 63.212, 1e-3);
    EXPECT_DOUBLE_EQ(SmoothYaw(0.0, 100.0, 1.0), SmoothYaw(0.0, 100.0, 0.1));
    EXPECT_NEAR(SmoothYaw(0.0, 100.0, 0.05), 100.0 * (1.0 - std::exp(-0.5)), 1e-9);
    EXPECT_DOUBLE_EQ(SmoothYaw(30.0, 100.0, -1.0), 30.0);
    // The result stays within -180 … 180 however far it turned.
    EXPECT_NEAR(SmoothYaw(179.0, -179.0, 0.1), std::remainder(179.0 + 2.0 * (1.0 - std::exp(-1.0)), 360.0), 1e-9);
    EXPECT_LT(SmoothYaw(179.0, -179.0, 0.1), 0.0);
}

// Underground the clock outside changes nothing.
TEST(Exposure, TheDefaultsGiveTheStopsOfDayNightAndDungeon)
{
    const float day = 0.5f;
    const float night = 2.5f;
    const float dungeon = 1.5f;
    EXPECT_FLOAT_EQ(Exposure(false, false, day, night, 0.0f, dungeon), -0.5f);
    EXPECT_FLOAT_EQ(Exposure(true, false, day, night, 0.0f, dungeon), 1.5f);
    EXPECT_FLOAT_EQ(Exposure(false, true, day, night, 0.0f, dungeon), 1.5f);
    EXPECT_FLOAT_EQ(Exposure(true, true, day, night, 0.0f, dungeon), 1.5f);
    EXPECT_FLOAT_EQ(Exposure(true, true, day, night, -0.5f, dungeon), 1.0f);
    EXPECT_FLOAT_EQ(Exposure(false, false, day, night, -2.0f, dungeon), -2.5f);
    EXPECT_FLOAT_EQ(Exposure(true, false, day, night, 1.0f, dungeon), 2.5f);
}

TEST(Exposure, TheTintDarkensByHalfAStopPerUnitAndBrightensOnlyWithoutTheBias)
{
    EXPECT_NEAR(TintFor(-0.5f, false), 0.8409f, 1e-4f);
    EXPECT_FLOAT_EQ(TintFor(1.5f, false), 1.0f) << "the bias carries the positive part";
    EXPECT_NEAR(TintFor(-2.5f, false), 0.4204f, 1e-4f);
    EXPECT_NEAR(TintFor(1.5f, true), 1.6818f, 1e-4f);
    EXPECT_NEAR(TintFor(-0.5f, true), 0.8409f, 1e-4f);
    EXPECT_FLOAT_EQ(TintFor(0.0f, false), 1.0f);
}
} // namespace
