// The markers the game's map data gives: the registry's players, gravestones, lodestones,
// beds, landmarks and dungeons and the waypoint, each shown or left out by whose it is, what
// the player has found and which styles the game has, at the places both engines' vectors
// hold; and the game's objects searched for once a session.
#include "markers/MapDataFixture.hpp"

#include <Sim/Game.hpp>

#include <gtest/gtest.h>

namespace OrvTest
{
namespace
{
namespace Icon = Sim::MapIconType;

class RegistryMarkers : public MapDataFixture, public ::testing::WithParamInterface<int>
{
  protected:
    void SetUp() override
    {
        MapDataFixture::SetUp();
        UseEngine(GetParam(), GetParam() == 4 ? 27 : 1);
    }
};

TEST_P(RegistryMarkers, PlayersShowEveryoneButTheLocalPlayerInTheirOwnColour)
{
    StartMarkers();
    Sim::AddRegistryPlayer(world_, kOwnGuid, {100, 200, 0}, {1, 0, 0, 1}, L"Me");
    Sim::AddRegistryPlayer(world_, kOtherGuid, {-300.5, 400.25, 10}, {0.2f, 0.4f, 0.6f, 0.8f}, L"Friend");
    // Differs from the local player's guid only in its last word.
    Sim::AddRegistryPlayer(world_, {0xA1, 0xA2, 0xA3, 0xA5}, {900, -900, 0}, {0, 1, 0, 1}, L"Lookalike");
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::OtherPlayer), (std::vector<Spot>{{-300.5, 400.25}, {900, -900}}));
    ASSERT_EQ(List().count, 2u);
    const Orv::MapIconEntry& friendly = List().entries[0];
    EXPECT_EQ(Colour(friendly.tint), (std::array<float, 4>{0.2f, 0.4f, 0.6f, 0.8f}));
    EXPECT_EQ(friendly.texture, Sim::GameTexture(L"T_MapIcon_Player"));
    EXPECT_EQ(friendly.iconSize, 18.0f);
    EXPECT_EQ(friendly.component, nullptr);
    EXPECT_EQ(Colour(List().entries[1].tint), (std::array<float, 4>{0, 1, 0, 1}));

    ASSERT_TRUE(Sim::MoveRegistryPlayer(world_, kOtherGuid, {-100, 50, 0}));
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::OtherPlayer), (std::vector<Spot>{{-100, 50}, {900, -900}}));
}

TEST_P(RegistryMarkers, GravestonesAndBedsShowOnlyTheLocalPlayers)
{
    StartMarkers();
    Sim::AddGravestone(world_, kOwnGuid, {1000, 0, 0});
    Sim::AddGravestone(world_, kOtherGuid, {2000, 0, 0});
    Sim::AddBed(world_, kOtherGuid, {0, 2000, 0});
    Sim::AddBed(world_, kOwnGuid, {0, -1000.75, 0});
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Gravestone), (std::vector<Spot>{{1000, 0}}));
    EXPECT_EQ(SpotsOf(Icon::Bed), (std::vector<Spot>{{0, -1000.75}}));
    EXPECT_EQ(List().count, 2u);
}

TEST_P(RegistryMarkers, LodestonesAlwaysShowAndANearTwinWithTheSamePictureIsOne)
{
    StartMarkers();
    for (const Sim::MapPoint& at : std::vector<Sim::MapPoint>{
             {0, 0, 0}, {9.99, 9.99, 0},        // closer than 10 both ways: one
             {100, 0, 0}, {110, 0, 0},          // 10 apart in X: two
             {200, 0, 0}, {200, 10, 0},         // 10 apart in Y: two
             {300, 0, 0}, {300, -9.99, 0},      // below, within 10: one
             {400, 0, 0}, {400, 50, 0},         // far above: two
             {500, 0, 0}, {550, 0, 0}})         // far ahead: two
    {
        Sim::AddLodestone(world_, at);
    }
    // Another picture at a lodestone's place is a marker of its own.
    Sim::AddGravestone(world_, kOwnGuid, {0, 0, 0});
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Lodestone), (std::vector<Spot>{{0, 0}, {100, 0}, {110, 0}, {200, 0}, {200, 10}, {300, 0},
                                                            {400, 0}, {400, 50}, {500, 0}, {550, 0}}));
    EXPECT_EQ(SpotsOf(Icon::Gravestone), (std::vector<Spot>{{0, 0}}));
}

TEST_P(RegistryMarkers, LandmarksShowWhenOpenOrRevealedAndNeverAsTheLocalPlayer)
{
    StartMarkers();
    Sim::AddLandmark(world_, L"Landmark_Tower", L"Map.Landmark.Tower", {1000, 250.5, 0}, false);
    Sim::AddLandmark(world_, L"Landmark_Village", L"Map.Landmark.Village", {2000, 0, 0}, true);
    Sim::AddLandmark(world_, L"Landmark_Self", L"Map.Player.Marker", {3000, 0, 0}, false);
    Sim::AddLandmark(world_, L"Landmark_Ruins", L"Map.Landmark.Ruins", {4000, 0, 0}, false);
    Sim::AddLandmark(world_, L"Landmark_Wreck", L"Map.Landmark.Wreck", {5000, 0, 0}, false);
    Sim::AddLandmark(world_, L"Landmark_Shrine", L"Map.Landmark.Shrine", {6000, 0, 0}, true);
    Rebuild();
    EXPECT_EQ(Categories(), (std::vector<std::uint8_t>{Icon::Landmark}));
    EXPECT_EQ(SpotsOf(Icon::Landmark), (std::vector<Spot>{{1000, 250.5}}));

    ASSERT_TRUE(Sim::RevealLandmark(controller_, L"Landmark_Other"));
    ASSERT_TRUE(Sim::RevealLandmark(controller_, L"Landmark_Village"));
    ASSERT_TRUE(Sim::ForgetLandmark(controller_, L"Landmark_Other"));
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Village), (std::vector<Spot>{{2000, 0}})) << "revealed, behind a hole in the set";
    EXPECT_TRUE(SpotsOf(Icon::Shrine).empty());

    ASSERT_TRUE(Sim::ForgetLandmark(controller_, L"Landmark_Village"));
    Rebuild();
    EXPECT_TRUE(SpotsOf(Icon::Village).empty()) << "forgotten again";
    EXPECT_TRUE(SpotsOf(Icon::LocalPlayer).empty());
    EXPECT_EQ(List().count, 1u);
}

TEST_P(RegistryMarkers, DungeonsShowOnceDiscoveredWithTheirTagsStyleOrTheDungeons)
{
    StartMarkers();
    const Sim::Guid hidden{0xD, 0, 0, 1};
    const Sim::Guid listedOpen{0xD, 0, 0, 2};
    Sim::AddDiscoverableDungeon(world_, hidden);
    Sim::AddDiscoverableDungeon(world_, listedOpen);
    Sim::AddDungeonEntrance(world_, hidden, L"Map.Dungeon.Crypt", {1000, 0, 0}, true);
    // Needs discovering and differs from a listed one only in its last word: discovered.
    Sim::AddDungeonEntrance(world_, {0xD, 0, 0, 3}, L"Map.Dungeon.Mine", {2000, 0, 0}, true);
    Sim::AddDungeonEntrance(world_, listedOpen, L"Map.Dungeon.Crypt", {3000, 0, 0}, false);
    Sim::AddDungeonEntrance(world_, {0xD, 0, 0, 4}, L"Map.Dungeon.Lair", {4000, 0, 0}, false);
    Sim::AddDungeonEntrance(world_, {0xD, 0, 0, 5}, L"Map.Landmark.Tower", {5000, -20.25, 0}, false);
    Sim::AddDungeonEntrance(world_, {0xD, 0, 0, 6}, L"Map.Landmark.Ruins", {6000, 0, 0}, false);
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Dungeon), (std::vector<Spot>{{2000, 0}, {3000, 0}, {4000, 0}, {6000, 0}}))
        << "an unmapped tag, or one whose type has no style, takes the dungeons' style";
    EXPECT_EQ(SpotsOf(Icon::Landmark), (std::vector<Spot>{{5000, -20.25}}));

    ASSERT_TRUE(Sim::DiscoverDungeon(world_, hidden));
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Dungeon), (std::vector<Spot>{{1000, 0}, {2000, 0}, {3000, 0}, {4000, 0}, {6000, 0}}));
}

TEST_P(RegistryMarkers, TheWaypointShowsWhereItIsPlaced)
{
    StartMarkers();
    Rebuild();
    EXPECT_TRUE(SpotsOf(Icon::Waypoint).empty());
    Sim::PlaceWaypoint(world_, {500.5, -600.25, 30});
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Waypoint), (std::vector<Spot>{{500.5, -600.25}}));
    ASSERT_EQ(List().count, 1u);
    EXPECT_EQ(List().entries[0].texture, Sim::GameTexture(L"T_MapIcon_Pin"));

    Sim::PlaceWaypoint(world_, {-100, 50, 0});
    Frame();
    EXPECT_EQ(SpotsOf(Icon::Waypoint), (std::vector<Spot>{{-100, 50}})) << "the frame after the move";
    Sim::ClearWaypoint(world_);
    Frame();
    EXPECT_TRUE(SpotsOf(Icon::Waypoint).empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, RegistryMarkers, ::testing::Values(4, 5),
                         [](const auto& instance) { return "UE" + std::to_string(instance.param); });

class MapDataSources : public MapDataFixture
{
};

TEST_F(MapDataSources, APlayerWithoutAColourTakesTheStylesTint)
{
    UseEngine(5, 1, {.missingProperties = {L"/Script/Umbrafel.PlayerCharacterRegistryEntry:Color"}});
    StartMarkers();
    Sim::AddRegistryPlayer(world_, kOtherGuid, {300, 0, 0}, {0.2f, 0.4f, 0.6f, 0.8f});
    Rebuild();
    ASSERT_EQ(SpotsOf(Icon::OtherPlayer), (std::vector<Spot>{{300, 0}}));
    EXPECT_EQ(Colour(List().entries[0].tint), (std::array<float, 4>{0.35f, 0.75f, 1.0f, 1.0f}));
}

TEST_F(MapDataSources, AKindWithoutItsStyleShowsNothing)
{
    StartMarkers({}, [] {
        for (std::uint8_t type : {Icon::OtherPlayer, Icon::Gravestone, Icon::Lodestone, Icon::Bed, Icon::Waypoint})
        {
            ASSERT_TRUE(Sim::RemoveStyle(type));
        }
    });
    Sim::AddRegistryPlayer(world_, kOtherGuid, {300, 0, 0}, {1, 1, 1, 1});
    Sim::AddGravestone(world_, kOwnGuid, {400, 0, 0});
    Sim::AddLodestone(world_, {500, 0, 0});
    Sim::AddBed(world_, kOwnGuid, {600, 0, 0});
    Sim::PlaceWaypoint(world_, {700, 0, 0});
    Sim::AddLandmark(world_, L"Landmark_Tower", L"Map.Landmark.Tower", {800, 0, 0}, false);
    Rebuild();
    EXPECT_EQ(Categories(), (std::vector<std::uint8_t>{Icon::Landmark})) << "the rest still shows";
}

TEST_F(MapDataSources, TheMapApiRegistryAndPointsOfInterestAreLookedForOnceASession)
{
    UseEngine(5, 1, {.missingClasses = {L"/Script/Umbrafel.MapUIAPI", L"/Script/Umbrafel.PoiDiscoverySystem"}});
    StartMarkers();
    // Without a registry on the pawn each rebuild asks for the map API and the registry.
    auto searches = Sim::Counters().FindAllOf;
    Rebuild();
    Rebuild();
    EXPECT_EQ(Sim::Counters().FindAllOf, searches);

    Sim::AddDungeonEntrance(world_, {0xD, 0, 0, 1}, L"Map.Dungeon.Crypt", {1000, 0, 0}, true);
    Sim::AddLodestone(world_, {500, 0, 0});
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Lodestone), (std::vector<Spot>{{500, 0}}));
    EXPECT_TRUE(SpotsOf(Icon::Dungeon).empty()) << "undiscovered as far as can be known";
    // Now the dungeon asks for the points of interest each time.
    searches = Sim::Counters().FindAllOf;
    Rebuild();
    Rebuild();
    EXPECT_EQ(Sim::Counters().FindAllOf, searches);
}

TEST_F(MapDataSources, EachSessionFindsItsOwnWorldsMapObjects)
{
    UWorld* elsewhere = nullptr;
    // A later world's objects come first in a search.
    StartMarkers({}, [&] { elsewhere = Sim::CreateWorld(L"Elsewhere"); });
    EXPECT_EQ(markers_->FindMapApi(), Sim::MapUIAPIOf(world_));
    EXPECT_EQ(markers_->FindPoiDiscoverySystem(), Sim::PoiDiscoverySystemOf(world_));

    UWorld* caves = Sim::CreateWorld(L"Caves", false);
    Sim::Travel(gameInstance_, caves);
    const auto entered = Sim::EnterLocalPlayer(caves);
    Sim::SetCharacterGuid(entered.controller, kOwnGuid);
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    FramesFor(Orv::kSecond);
    ASSERT_EQ(Session().discovery.world, caves);
    EXPECT_EQ(markers_->FindMapApi(), Sim::MapUIAPIOf(caves));
    EXPECT_EQ(markers_->FindPoiDiscoverySystem(), Sim::PoiDiscoverySystemOf(caves));
    EXPECT_NE(Sim::MapUIAPIOf(elsewhere), nullptr);
}

// Where the registry is found: the pawn's, else the map API's, else the first object subsystem's
// of the session's world; each route alone still shows the registry's markers.
class RegistryRoutes : public MapDataFixture, public ::testing::WithParamInterface<int>
{
};

TEST_P(RegistryRoutes, EachRouteAloneFindsTheRegistry)
{
    const int route = GetParam();
    StartMarkers({}, [this, route] {
        UObject* registry = Sim::GameplayObjectRegistryOf(world_);
        ASSERT_NE(registry, nullptr);
        Sim::AddLodestone(world_, {500, 0, 0});
        Sim::SetObjectReference(pawn_, L"GameplayObjectRegistry", route == 0 ? registry : nullptr);
        Sim::SetObjectReference(Sim::MapUIAPIOf(world_), L"GameplayObjectRegistry", route == 1 ? registry : nullptr);
        Sim::SetObjectReference(Sim::GameplayObjectSubsystemOf(world_), L"ObjectRegistry", route == 2 ? registry : nullptr);
    });
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{500, 0}}));
    Sim::AddLodestone(world_, {900, 0, 0});
    Rebuild();
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{500, 0}, {900, 0}}));
}

INSTANTIATE_TEST_SUITE_P(Routes, RegistryRoutes, ::testing::Values(0, 1, 2),
                         [](const auto& instance) { return std::string(std::array{"Pawn", "MapApi", "Subsystem"}[instance.param]); });

TEST_F(MapDataSources, TheTrackerIsAskedForInTheSessionsWorldAndAskedAgainOnlyWhileItIsMissing)
{
    StartMarkers();
    const Sim::RecordedCall asked = Sim::LastCallOf(L"GetMapTracker");
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked.Object(L"WorldContextObject"), world_);
    Sim::ForgetCalls();
    Rebuild();
    Rebuild();
    EXPECT_EQ(Sim::CallCount(L"GetMapTracker"), 0u) << "kept while it lives";

    // On its way out: no longer the session's tracker, so every rebuild asks again.
    Sim::MarkPendingKill(Sim::MapTrackerOf(world_));
    Rebuild();
    Rebuild();
    EXPECT_EQ(Sim::CallCount(L"GetMapTracker"), 2u);
}

TEST_F(MapDataSources, SteadyFramesScanTheObjectTableForNothing)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartMarkers();
    Sim::SpawnCreature(world_, {.x = 300}, false, 1);
    Sim::AddLodestone(world_, {500, 0, 0});
    FramesFor(Orv::kSecond / 10);
    const auto scans = Sim::Counters().FindAllOf;
    // Marker updates, AI list readings, tracker checks and rebuilds: all from what was found.
    FramesFor(2 * Orv::kSecond);
    EXPECT_EQ(Sim::Counters().FindAllOf, scans);
}

// An engine whose gameplay tags lack the TagName member: the tag table's keys are read as names
// themselves, and the styles still load.
TEST_F(MapDataSources, TagsWithoutATagNameMemberStillLetTheStylesLoad)
{
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1, .MissingProperties = {L"/Script/GameplayTags.GameplayTag:TagName"}});
    Sim::DefineDefaultGame();
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartMarkers();
    EXPECT_FALSE(mod_->IconStyles().empty());
    Sim::AddLodestone(world_, {500, 0, 0});
    Rebuild();
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{500, 0}}));
}
} // namespace
} // namespace OrvTest
