// Where world positions land in the frame, which icons are drawn how big, the order of the
// marker list and the look of the AI diamonds, apart from the engine.
#include "markers/MarkerList.hpp"
#include "markers/MarkerMath.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace Orv;

TEST(ProjectToMap, AnIconOnThePawnSitsInTheFramesCentre)
{
    const MapView view = MakeMapView(280, 8000, 37, 1000, -2000, true);
    const MapPoint point = ProjectToMap(view, 1000, -2000, 20);
    EXPECT_TRUE(point.inside);
    EXPECT_EQ(point.right, 0);
    EXPECT_EQ(point.down, 0);
    const Vector2d slot = SlotPosition(view, point, 10);
    EXPECT_EQ(slot.x, 126); // half 136 − 10
    EXPECT_EQ(slot.y, 126);
}

TEST(ProjectToMap, TheRoundFrameDrawsOutToItsRadiusLessTheMargin)
{
    // S 280, Z 8000: L 272, k 0.034, radius 116 for icons.
    const MapView view = MakeMapView(280, 8000, 0, 0, 0, true);
    const MapPoint ahead = ProjectToMap(view, 3411, 0, 20);
    EXPECT_TRUE(ahead.inside);
    EXPECT_NEAR(ahead.down, -115.974, 1e-9) << "world +X is up";
    EXPECT_EQ(ahead.right, 0);
    EXPECT_FALSE(ProjectToMap(view, 3413, 0, 20).inside);
    // Diamonds keep 18 from the edge: 118 units.
    EXPECT_TRUE(ProjectToMap(view, 0, 118.0 / 0.034 - 0.01, 18).inside);
    EXPECT_FALSE(ProjectToMap(view, 0, 118.0 / 0.034 + 0.1, 18).inside);
    const MapPoint right = ProjectToMap(view, 0, 1000, 20);
    EXPECT_NEAR(right.right, 34, 1e-9) << "world +Y is right";
    EXPECT_NEAR(right.down, 0, 1e-9);
}

TEST(ProjectToMap, TheSquareFrameDrawsIntoItsCorners)
{
    const MapView square = MakeMapView(280, 8000, 0, 0, 0, false);
    const MapView round = MakeMapView(280, 8000, 0, 0, 0, true);
    const double corner = 116.0 / 0.034; // 116 units each way
    EXPECT_TRUE(ProjectToMap(square, corner - 0.01, corner - 0.01, 20).inside);
    EXPECT_FALSE(ProjectToMap(round, corner - 0.01, corner - 0.01, 20).inside);
    EXPECT_FALSE(ProjectToMap(square, corner + 0.1, 0, 20).inside);
    EXPECT_FALSE(ProjectToMap(square, 0, -corner - 0.1, 20).inside);
}

TEST(ProjectToMap, TheMapTurnsWithTheView)
{
    // Facing world +Y (90°): that direction is up, and world +X lies to the left.
    const MapView view = MakeMapView(280, 8000, 90, 0, 0, true);
    const MapPoint ahead = ProjectToMap(view, 0, 1000, 20);
    EXPECT_NEAR(ahead.right, 0, 1e-9);
    EXPECT_NEAR(ahead.down, -34, 1e-9);
    const MapPoint formerUp = ProjectToMap(view, 1000, 0, 20);
    EXPECT_NEAR(formerUp.right, -34, 1e-9);
    EXPECT_NEAR(formerUp.down, 0, 1e-9);
    // A smaller map and a closer zoom scale alike.
    const MapView zoomed = MakeMapView(168, 2000, 0, 0, 0, true);
    EXPECT_NEAR(ProjectToMap(zoomed, 0, 100, 20).right, 8, 1e-9);
}

TEST(IconGroups, CategoriesFallIntoTheirGroupsAndRanks)
{
    EXPECT_EQ(GroupOf(1), IconGroup::Never);
    EXPECT_EQ(GroupOf(2), IconGroup::Players);
    for (int c : {11, 16, 51, 53})
    {
        EXPECT_EQ(GroupOf(static_cast<std::uint8_t>(c)), IconGroup::Quests) << c;
        EXPECT_EQ(PriorityRank(static_cast<std::uint8_t>(c), true), 1) << c;
    }
    for (int c : {23, 49})
    {
        EXPECT_EQ(GroupOf(static_cast<std::uint8_t>(c)), IconGroup::Resources) << c;
        EXPECT_EQ(PriorityRank(static_cast<std::uint8_t>(c), true), 2) << c;
    }
    for (int c : {0, 3, 10, 17, 22, 50, 54, 255})
    {
        EXPECT_EQ(GroupOf(static_cast<std::uint8_t>(c)), IconGroup::Pois) << c;
        EXPECT_EQ(PriorityRank(static_cast<std::uint8_t>(c), false), 3) << c;
    }
    EXPECT_EQ(PriorityRank(2, false), 0);
    EXPECT_EQ(PriorityRank(1, true), 3);
    // The game's waypoint alone joins the players when it may be pinned to the rim.
    EXPECT_EQ(PriorityRank(kWaypointCategory, true), 0);
    EXPECT_EQ(PriorityRank(9, true), 3);
    EXPECT_EQ(PriorityRank(11, false), 1);
}

TEST(RimPins, APointBeyondTheEdgeComesInAlongItsDirectionUntilItsMarkerFits)
{
    // half 100: a 208 map with its 8-unit rim inset.
    const MapView round = MakeMapView(208, 1000, 0, 0, 0, true);
    const MapPoint beyond{false, 300, -400}; // 500 out, along (0.6, -0.8)
    const MapPoint pinned = PinToRim(round, beyond, 10);
    EXPECT_TRUE(pinned.inside);
    EXPECT_NEAR(pinned.right, 54, 1e-9);
    EXPECT_NEAR(pinned.down, -72, 1e-9);
    EXPECT_TRUE(FitsInside(round, pinned, 10));
    // On the square the larger of the two offsets reaches the edge, corners included.
    const MapView square = MakeMapView(208, 1000, 0, 0, 0, false);
    const MapPoint onSide = PinToRim(square, beyond, 10);
    EXPECT_NEAR(onSide.right, 67.5, 1e-9);
    EXPECT_NEAR(onSide.down, -90, 1e-9);
    const MapPoint corner = PinToRim(square, {false, -500, -500}, 10);
    EXPECT_NEAR(corner.right, -90, 1e-9);
    EXPECT_NEAR(corner.down, -90, 1e-9);
    // A point already inside stays where it is; a marker wider than the map sits at the centre.
    const MapPoint within = PinToRim(round, {true, 30, 40}, 10);
    EXPECT_NEAR(within.right, 30, 1e-9);
    EXPECT_NEAR(within.down, 40, 1e-9);
    const MapPoint huge = PinToRim(round, beyond, 150);
    EXPECT_EQ(huge.right, 0);
    EXPECT_EQ(huge.down, 0);
    // The middle itself, with no direction to follow, stays the middle, never NaN.
    const MapPoint middle = PinToRim(round, {false, 0, 0}, 128);
    EXPECT_EQ(middle.right, 0);
    EXPECT_EQ(middle.down, 0);
}

TEST(OtherFloors, MoreThanFourHundredUnitsAboveOrBelowThePawn)
{
    MapView view = MakeMapView(208, 1000, 0, 0, 0, true);
    view.pawnZ = -2500;
    EXPECT_FALSE(OnOtherFloor(view, -2500 + 400));
    EXPECT_FALSE(OnOtherFloor(view, -2500 - 400));
    EXPECT_TRUE(OnOtherFloor(view, -2500 + 400.5));
    EXPECT_TRUE(OnOtherFloor(view, -2500 - 400.5));
    EXPECT_TRUE(OnOtherFloor(view, 0));
}

TEST(IconScale, TheClampComesBeforeThePointsOfInterestScale)
{
    // 64 × 0.03125 × 1.1 = 2.2, clamped to 1.38, then doubled.
    EXPECT_FLOAT_EQ(IconScale(64, IconGroup::Pois, 2), 2.76f);
    EXPECT_FLOAT_EQ(IconScale(64, IconGroup::Pois, 2) * 1.12f, 3.0912f);
    EXPECT_FLOAT_EQ(IconScale(32, IconGroup::Quests, 1), 1.1f);
    EXPECT_FLOAT_EQ(IconScale(8, IconGroup::Quests, 1), 0.65f);
    // Players ignore the scale and have no multiplier.
    EXPECT_FLOAT_EQ(IconScale(32, IconGroup::Players, 3), 1.0f);
    EXPECT_FLOAT_EQ(IconScale(100, IconGroup::Players, 3), 1.38f);
    // Resources: × 1.85 within 1.45 … 2.1.
    EXPECT_FLOAT_EQ(IconScale(32, IconGroup::Resources, 1), 1.85f);
    EXPECT_FLOAT_EQ(IconScale(16, IconGroup::Resources, 1), 1.45f);
    EXPECT_FLOAT_EQ(IconScale(64, IconGroup::Resources, 0.5f), 1.05f);
}

TEST(Diamonds, BossesWinThenArchetypesZeroAndOne)
{
    EXPECT_EQ(DiamondKindOf(true, true, 1), kDiamondBoss);
    EXPECT_EQ(DiamondKindOf(true, false, 0), kDiamondBoss);
    EXPECT_EQ(DiamondKindOf(false, true, 0), kDiamondHostile);
    EXPECT_EQ(DiamondKindOf(false, true, 1), kDiamondHostile);
    EXPECT_EQ(DiamondKindOf(false, true, 2), kDiamondOther);
    EXPECT_EQ(DiamondKindOf(false, false, 0), kDiamondOther);
    const DiamondLook boss = DiamondLookOf(kDiamondBoss);
    EXPECT_EQ((std::array<float, 4>{boss.r, boss.g, boss.b, boss.scale}), (std::array<float, 4>{0.88f, 0.38f, 1.0f, 0.72f}));
    const DiamondLook hostile = DiamondLookOf(kDiamondHostile);
    EXPECT_EQ((std::array<float, 4>{hostile.r, hostile.g, hostile.b, hostile.scale}), (std::array<float, 4>{1.0f, 0.16f, 0.08f, 0.58f}));
    const DiamondLook other = DiamondLookOf(kDiamondOther);
    EXPECT_EQ((std::array<float, 4>{other.r, other.g, other.b, other.scale}), (std::array<float, 4>{0.42f, 1.0f, 0.26f, 0.48f}));
}

MapIconEntry At(double x, double y, std::uint8_t category)
{
    MapIconEntry entry;
    entry.x = x;
    entry.y = y;
    entry.category = category;
    return entry;
}

TEST(MarkerOrder, PlayersFirstThenEachGroupNearestFirstAndTiesKeepTheirOrder)
{
    MapIconList list;
    const MapIconEntry added[] = {At(300, 0, 11), At(0, 200, 12), At(5000, 0, 2), At(10, 0, 30), At(0, 10, 7),
                                  At(-200, 0, 13), At(0, 5, 1)};
    for (const MapIconEntry& entry : added)
    {
        list.entries[list.count++] = entry;
    }
    list.entries[list.count++] = At(6000, 0, kWaypointCategory);
    MapIconList withPins = list;
    SortByPriority(list, 0, 0, false);
    const double expectedX[] = {5000, 0, -200, 300, 10, 0, 0, 6000};
    const double expectedY[] = {0, 200, 0, 0, 0, 5, 10, 0};
    for (std::size_t i = 0; i < list.count; ++i)
    {
        EXPECT_EQ(list.entries[i].x, expectedX[i]) << i;
        EXPECT_EQ(list.entries[i].y, expectedY[i]) << i;
    }
    // With the pins the far waypoint follows the nearer player, ahead of every quest.
    SortByPriority(withPins, 0, 0, true);
    EXPECT_EQ(withPins.entries[0].x, 5000);
    EXPECT_EQ(withPins.entries[1].x, 6000);
    EXPECT_EQ(withPins.entries[2].y, 200);
    EXPECT_TRUE(MarkerPriority(At(200, 0, 11), At(300, 0, 11), 0, 0, false));
    EXPECT_FALSE(MarkerPriority(At(300, 0, 11), At(300, 0, 11), 0, 0, false)) << "equal keys keep their order";
    EXPECT_TRUE(MarkerPriority(At(4, 0, 11), At(0, 5, 11), 0, 0, false)) << "squared distances";
}
} // namespace
