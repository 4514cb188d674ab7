// What a marker update spares the engine without changing what the screen shows: a slot is not
// sent the place it already has, an actor whose root hangs on nothing is located from the root's
// own members (on both engine widths), an attached one still by asking the engine, and a dead
// actor is known from its object's flags without a call.
#include "markers/MapDataFixture.hpp"

#include <Sim/Scene.hpp>
#include <Sim/World.hpp>

#include <gtest/gtest.h>

namespace OrvTest
{
namespace
{
class MarkerCalls : public MapDataFixture
{
  protected:
    std::uint64_t PlacesSent(std::size_t index) const { return Sim::CallCount(DiamondSlot(index).slot, L"SetPosition"); }
    Rect DiamondAt(std::size_t index) const { return SlotRect(DiamondSlot(index).slot); }
};

TEST_F(MarkerCalls, ASlotIsSentAPlaceOnlyWhenItDiffersFromTheLastOneSent)
{
    StartMarkers();
    UObject* hostile = Sim::SpawnCreature(world_, {.x = 300}, false, 0);
    IconAt(1000, 500, L"Lodestone", L"T_MapIcon_Lodestone");
    markers_->RebuildMapMarkers();
    markers_->FullAiScan();
    markers_->UpdateAiMarkers();
    const std::vector<Spot> icons = DrawnSpots();
    ASSERT_EQ(icons, (std::vector<Spot>{{1000, 500}}));
    // 300 ahead: 136 − 10.2 − 9 down, 136 − 9 right.
    EXPECT_NEAR(DiamondAt(0).y, 116.8, 1e-4);
    EXPECT_EQ(DiamondAt(0).x, 127);

    // Nothing moved: neither slot hears of its place again, and the screen is as it was.
    Sim::ForgetCalls();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(DrawnSpots(), icons);
    EXPECT_EQ(PlacesSent(0), 0u);
    EXPECT_EQ(Sim::CallCount(IconSlot(0).slot, L"SetPosition"), 0u);
    EXPECT_NEAR(DiamondAt(0).y, 116.8, 1e-4);

    // Moved: the new place goes out once, exactly the place a full send gives.
    Sim::SetActorPlacement(hostile, {.x = 600});
    markers_->UpdateAiMarkers();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(PlacesSent(0), 1u);
    EXPECT_NEAR(Sim::LastCall(DiamondSlot(0).slot, L"SetPosition").Number(L"InPosition.Y"), 106.6, 1e-4);
    EXPECT_NEAR(DiamondAt(0).y, 106.6, 1e-4);

    // The player moving moves every marker on the map.
    Sim::SetActorPlacement(pawn_, {.y = 100});
    markers_->UpdateAiMarkers();
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{1000, 400}}));
    EXPECT_EQ(PlacesSent(0), 2u);
    EXPECT_NEAR(DiamondAt(0).x, 127 - 3.4, 1e-4);

    // A new session's pool starts knowing no place: its first update places every slot, even
    // one standing where the old pool's did.
    Sim::SetActorPlacement(pawn_, {});
    Sim::SetActorPlacement(hostile, {.x = 300});
    markers_->UpdateAiMarkers();
    pawn_ = Sim::Respawn(controller_);
    FramesFor(Orv::kSecond);
    ASSERT_EQ(Session().discovery.pawn, pawn_);
    EXPECT_NEAR(DiamondAt(0).y, 116.8, 1e-4);
    EXPECT_EQ(DiamondAt(0).x, 127);
    EXPECT_EQ(DrawnSpots(), icons);
}

// An actor dies between updates: its diamond goes at the next update, it is queued for removal
// once, and no update nor the AI list's refresh asks the engine whether it is being destroyed.
TEST_F(MarkerCalls, ADeadActorIsKnownFromItsObjectFlagsAlone)
{
    StartMarkers();
    UObject* first = Sim::SpawnCreature(world_, {.x = 300}, false, 0);
    UObject* second = Sim::SpawnCreature(world_, {.x = 600}, true, 0);
    markers_->FullAiScan();
    markers_->UpdateAiMarkers();
    ASSERT_EQ(VisibilityOf(DiamondSlot(1).root), 3);
    Sim::ForgetCalls();

    Sim::DestroyActor(first);
    markers_->UpdateAiMarkers();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(Session().actors.pendingEndPlay, std::vector<UObject*>{first}) << "the end-play event's queue entry, once";
    EXPECT_NEAR(DiamondAt(0).y, 106.6, 1e-4) << "the boss moved up to the first slot";
    EXPECT_EQ(VisibilityOf(DiamondSlot(1).root), 1);
    FramesFor(Orv::kSecond);
    EXPECT_EQ(Session().actors.trackedActors, std::vector<UObject*>{second});
    EXPECT_EQ(Sim::CallCount(L"IsActorBeingDestroyed"), 0u);
}

// The two widths of the engine's vectors: 4.x keeps floats, 5.x doubles.
class ActorPlaces : public MarkerCalls, public ::testing::WithParamInterface<std::pair<int, int>>
{
  protected:
    void SetUp() override { UseEngine(GetParam().first, GetParam().second); }
};

TEST_P(ActorPlaces, AnUnattachedRootIsReadInPlaceAndAnAttachedActorIsAskedForItsWorldPlace)
{
    StartMarkers();
    UObject* walker = Sim::SpawnCreature(world_, {.x = 500, .y = -300}, false, 2);
    // A rider 300 to the right of a carrier that faces world +Y, 1000 ahead: the rider's root
    // holds its offset from the carrier, not its place in the world.
    UObject* carrier = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 1000, .yaw = 90});
    UObject* rider = Sim::SpawnCreature(world_, {.x = 1000, .y = 300}, false, 2);
    Sim::AttachActor(rider, carrier);
    Sim::SetActorPlacement(carrier, {.x = 1500, .yaw = 90});
    markers_->FullAiScan();
    Sim::ForgetCalls();
    markers_->UpdateAiMarkers();
    // (−10.2, −17) and (+10.2, −51) from the centre at 136, 18-unit slots.
    EXPECT_NEAR(DiamondAt(0).x, 116.8, 1e-3);
    EXPECT_NEAR(DiamondAt(0).y, 110, 1e-3);
    EXPECT_NEAR(DiamondAt(1).x, 137.2, 1e-3);
    EXPECT_NEAR(DiamondAt(1).y, 76, 1e-3);
    EXPECT_EQ(Sim::CallCount(walker, L"K2_GetActorLocation"), 0u);
    EXPECT_EQ(Sim::CallCount(rider, L"K2_GetActorLocation"), 1u);
    EXPECT_EQ(Sim::CallCount(pawn_, L"K2_GetActorLocation"), 0u) << "the player stands on its own too";
}

INSTANTIATE_TEST_SUITE_P(EngineWidths, ActorPlaces, ::testing::Values(std::pair{4, 27}, std::pair{5, 1}),
                         [](const auto& engine) { return "UE" + std::to_string(engine.param.first); });
} // namespace
} // namespace OrvTest
