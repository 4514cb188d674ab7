// The game's map-icon components in the marker list: found through the tracker (when it keeps
// object references) or by looking, styled by their category's name or their picture, left out
// when they are the player's own, hidden or of a category the minimap never shows, followed as
// they move and dropped as they die; and the list as a whole: its room and its order.
#include "markers/MapDataFixture.hpp"

#include <Sim/Game.hpp>
#include <Sim/Output.hpp>

#include <gtest/gtest.h>

namespace OrvTest
{
namespace
{
namespace Icon = Sim::MapIconType;

class IconComponents : public MapDataFixture
{
};

TEST_F(IconComponents, ACategoryNamesItsStyleAndOtherwiseThePictureDoes)
{
    StartMarkers();
    UObject* named = IconAt(1000, 0, L"Lodestone", nullptr);
    UObject* pictured = IconAt(2000, 0, L"", L"T_MapIcon_Lodestone");
    UObject* twin = IconAt(2000, 0, L"", L"T_MapIcon_Lodestone");
    UObject* nameWins = IconAt(3000, 0, L"Dungeon", L"T_MapIcon_Lodestone");
    UObject* resource = IconAt(4000, 0, L"Resource", L"T_MapIcon_Resource");
    Sim::AddLodestone(world_, {1000, 0, 0});
    Rebuild();

    const Orv::MapIconEntry* entry = EntryFor(named);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->category, Icon::Lodestone);
    EXPECT_EQ(entry->texture, Sim::GameTexture(L"T_MapIcon_Lodestone")) << "the style's picture";
    EXPECT_EQ(entry->iconSize, 20.0f);
    EXPECT_EQ(Spot({entry->x, entry->y}), (Spot{1000, 0}));
    ASSERT_NE(EntryFor(pictured), nullptr);
    EXPECT_EQ(EntryFor(pictured)->category, Icon::Lodestone);
    ASSERT_NE(EntryFor(twin), nullptr) << "components are told apart by themselves, not by their place";
    ASSERT_NE(EntryFor(nameWins), nullptr);
    EXPECT_EQ(EntryFor(nameWins)->category, Icon::Dungeon);
    EXPECT_EQ(EntryFor(nameWins)->texture, Sim::GameTexture(L"T_MapIcon_Skull"));
    ASSERT_NE(EntryFor(resource), nullptr);
    EXPECT_EQ(EntryFor(resource)->category, Icon::FirstResource) << "the first style with the picture";
    EXPECT_EQ(SpotsOf(Icon::Lodestone), (std::vector<Spot>{{1000, 0}, {1000, 0}, {2000, 0}, {2000, 0}}))
        << "the registry's lodestone is no twin of a component's";
    EXPECT_EQ(List().count, 6u);
}

TEST_F(IconComponents, WhatTheMinimapNeverListsIsLeftOut)
{
    StartMarkers();
    for (const wchar_t* category : {L"Temp", L"LocalPlayerCharacter", L"MapRegionLabel"})
    {
        IconAt(1000, 0, category, L"T_MapIcon_Lodestone");
    }
    IconAt(2000, 0, L"", L"T_MapIcon_Unknown");         // the placeholder
    IconAt(2100, 0, L"Ruins", L"T_MapIcon_Unknown");    // a type with only the placeholder
    IconAt(2200, 0, L"", nullptr);                      // no picture
    IconAt(2300, 0, L"Wreck", L"T_MapIcon_Creature");   // a picture no style has
    IconAt(3000, 0, L"", L"T_MapIcon_Arrow");           // the local player's type
    IconAt(3100, 0, L"LocalPlayer", nullptr);
    UObject* hidden = IconAt(4000, 0, L"Lodestone", nullptr, false);
    UObject* own = Sim::AddMapIconComponent(pawn_, {.category = L"Lodestone", .offset = {500, 500, 0}});
    UObject* capture = Sim::AddMapIconComponent(CaptureActor(), {.category = L"Lodestone", .offset = {700, 700, 0}});
    ASSERT_NE(own, nullptr);
    ASSERT_NE(capture, nullptr);
    Rebuild();
    EXPECT_EQ(List().count, 0u);

    Sim::CallScriptFunction(hidden, L"SetIconVisible", [](RC::Unreal::uint8* parms) { parms[0] = 1; });
    Rebuild();
    EXPECT_EQ(SpotsOf(Icon::Lodestone), (std::vector<Spot>{{4000, 0}})) << "shown once visible";
}

TEST_F(IconComponents, APlayersPictureNextToThePawnIsThePawnsOwn)
{
    StartMarkers({.x = 1000, .y = 1000}, [] {
        // Another type drawn with the local player's picture.
        Sim::SetStyle(45, {Sim::GameTexture(L"T_MapIcon_Arrow"), {1, 1, 1, 1}, 20, 0});
    });
    const Sim::MapPoint closeBy[] = {{1050, 1000, 0}, {950, 901.5, 0}, {900.5, 1000, 0}};
    const Sim::MapPoint away[] = {{1150, 1000, 0}, {1050, 1150, 0}, {1000, 899, 0}, {1100, 1000, 0}, {840, 1000, 0}};
    for (const auto& at : closeBy)
    {
        IconAt(at.x, at.y, L"", L"T_MapIcon_Player");
        IconAt(at.x, at.y, L"ResourceReed", nullptr);
    }
    for (const auto& at : away)
    {
        IconAt(at.x, at.y, L"", L"T_MapIcon_Player");
        IconAt(at.x, at.y, L"ResourceReed", nullptr);
    }
    IconAt(1050, 1000, L"OtherPlayer", nullptr);
    IconAt(1010, 1010, L"", L"T_MapIcon_Lodestone");
    Rebuild();
    const std::vector<Spot> listed = {{1100, 1000}, {1000, 899}, {1150, 1000}, {1050, 1150}, {840, 1000}};
    EXPECT_EQ(SpotsOf(Icon::OtherPlayer), listed) << "a hundred away or more either way";
    EXPECT_EQ(SpotsOf(45), listed);
    EXPECT_EQ(SpotsOf(Icon::Lodestone), (std::vector<Spot>{{1010, 1010}})) << "other pictures show there";
}

class IconComponentsOnEngines : public MapDataFixture, public ::testing::WithParamInterface<int>
{
  protected:
    void SetUp() override
    {
        MapDataFixture::SetUp();
        UseEngine(GetParam(), GetParam() == 4 ? 27 : 1);
    }
};

TEST_P(IconComponentsOnEngines, AnEntryFollowsItsComponentAndGoesWithIt)
{
    // Entries are redrawn at the marker rate of the mod's own clock.
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartMarkers();
    UObject* mover = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 1000.5, .y = 20.25});
    UObject* moving = Sim::AddMapIconComponent(mover, {.category = L"Lodestone"});
    UObject* doomed = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = -1000});
    UObject* dying = Sim::AddMapIconComponent(doomed, {.category = L"Lodestone"});
    UObject* freed = IconAt(0, 1000, L"Lodestone", nullptr);
    Rebuild();
    ASSERT_EQ(List().count, 3u);
    ASSERT_NE(EntryFor(moving), nullptr);
    EXPECT_EQ(Spot({EntryFor(moving)->x, EntryFor(moving)->y}), (Spot{1000.5, 20.25}));

    // The next frame draws the markers; the list is not rebuilt for a second yet.
    Sim::SetActorPlacement(mover, {.x = 1500.75, .y = -200.5});
    Frame();
    ASSERT_NE(EntryFor(moving), nullptr);
    EXPECT_EQ(Spot({EntryFor(moving)->x, EntryFor(moving)->y}), (Spot{1500.75, -200.5}));

    Sim::DestroyActor(doomed);
    Frame();
    EXPECT_EQ(EntryFor(dying), nullptr) << "gone with its actor";
    EXPECT_EQ(List().count, 2u);

    Sim::DestroyComponent(freed);
    Sim::CollectGarbage(true);
    ASSERT_FALSE(Sim::HoldsObject(freed));
    EXPECT_EQ(EntryFor(freed), nullptr) << "dropped as the engine frees it, before any frame";
    EXPECT_EQ(List().count, 1u);
}

INSTANTIATE_TEST_SUITE_P(Engines, IconComponentsOnEngines, ::testing::Values(4, 5),
                         [](const auto& instance) { return "UE" + std::to_string(instance.param); });

TEST_F(IconComponents, WhileTheGameHasATrackerANewComponentIsListedWithinASecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartMarkers();
    const Orv::Nanoseconds checked = Sim::ClockNanoseconds();
    // The game tells nothing of its components' play here: only the tracker check finds it.
    UObject* icon = IconAt(1000, 0, L"Lodestone", nullptr);
    while (Sim::ClockNanoseconds() + kFrameNs < checked + Orv::kSecond)
    {
        Frame();
    }
    EXPECT_EQ(EntryFor(icon), nullptr);
    Frame();
    EXPECT_NE(EntryFor(icon), nullptr);
}

// Without a tracker, an actor beginning play is the change: its icons are looked for at the next
// second's check. A component added to an actor already playing waits for another change.
TEST_F(IconComponents, WithoutATrackerANewActorsIconIsLookedForWithinASecondAndALateComponentWaitsForAChange)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    UseEngine(5, 1, {.mapTracker = false});
    UObject* standing = nullptr;
    StartMarkers({}, [&] { standing = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = -1000}); });
    FramesFor(2 * Orv::kSecond);
    UObject* icon = IconAt(1000, 0, L"Lodestone", nullptr);
    Frame();
    EXPECT_EQ(EntryFor(icon), nullptr) << "not at once: the map is listed anew at most every second";
    FramesFor(Orv::kSecond);
    EXPECT_NE(EntryFor(icon), nullptr);

    UObject* late = Sim::AddMapIconComponent(standing, {.category = L"Lodestone"});
    FramesFor(2 * Orv::kSecond);
    EXPECT_EQ(EntryFor(late), nullptr);
    Sim::AddLodestone(world_, {-500, 0, 0});
    Frame();
    EXPECT_NE(EntryFor(late), nullptr);
}

TEST_F(IconComponents, WithoutATrackerComponentsAreFoundByLooking)
{
    UseEngine(5, 1, {.mapTracker = false});
    StartMarkers();
    UObject* first = IconAt(1000, 0, L"Lodestone", nullptr);
    UObject* second = IconAt(0, -2000, L"", L"T_MapIcon_Quest");
    IconAt(500, 0, L"Temp", L"T_MapIcon_Lodestone");
    IconAt(600, 0, L"Lodestone", nullptr, false);
    Rebuild();
    ASSERT_EQ(List().count, 2u);
    EXPECT_EQ(List().entries[0].component, second) << "quests before the rest";
    EXPECT_EQ(List().entries[1].component, first);
}

// A game whose tracker keeps weak pointers or structs in its "MapIcons" array: those bytes are
// no object references, so the mod neither lists nor asks anything of what they stand for,
// however often the tracker check rebuilds the list.
class IconsHeldOtherwise : public MapDataFixture, public ::testing::WithParamInterface<Sim::TrackedIcons>
{
};

TEST_P(IconsHeldOtherwise, AreNeitherListedNorAskedAnything)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    UseEngine(5, 1, {.trackedIcons = GetParam()});
    StartMarkers();
    UObject* icon = IconAt(1000, 0, L"Lodestone", nullptr);
    ASSERT_EQ(Sim::TrackedMapIcons(world_), std::vector<UObject*>{icon}) << "the tracker holds it, in its own form";
    FramesFor(3 * Orv::kSecond);
    EXPECT_EQ(EntryFor(icon), nullptr);
    for (const wchar_t* asked : {L"GetOwner", L"GetIconTexture", L"IsIconVisible", L"K2_GetComponentLocation"})
    {
        EXPECT_EQ(Sim::CallCount(icon, asked), 0u) << Sim::ToUtf8(asked);
    }
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
    EXPECT_TRUE(Sim::FailedChecks().empty());
}

INSTANTIATE_TEST_SUITE_P(Forms, IconsHeldOtherwise, ::testing::Values(Sim::TrackedIcons::WeakPointers, Sim::TrackedIcons::Structs),
                         [](const auto& form) {
                             return form.param == Sim::TrackedIcons::WeakPointers ? "WeakPointers" : "Structs";
                         });

class MarkerList : public MapDataFixture
{
};

TEST_F(MarkerList, HoldsAtMostFiveHundredAndTwelveAndKeepsTheFirstToCome)
{
    StartMarkers();
    for (int i = 0; i < 600; ++i)
    {
        Sim::AddLodestone(world_, {20.0 * i, 0, 0});
    }
    IconAt(-100, 0, L"", L"T_MapIcon_Quest");
    Rebuild();
    EXPECT_EQ(List().count, Orv::kMapIconCapacity);
    EXPECT_EQ(Orv::kMapIconCapacity, 512u);
    EXPECT_EQ(Spots().back(), (Spot{20.0 * 511, 0}));
    EXPECT_EQ(Spots().front(), (Spot{0, 0}));
    EXPECT_TRUE(SpotsOf(Icon::QuestMain).empty()) << "no room left for it";
}

TEST_F(MarkerList, PlayersComeFirstThenQuestsResourcesAndTheRestEachNearestFirst)
{
    const double px = 5000;
    const double py = -3000;
    Orv::Hud().EdgePins = false;
    StartMarkers({.x = px, .y = py});
    // Arrival order: registry (players, lodestones, landmarks), waypoint, components.
    Sim::AddRegistryPlayer(world_, kOtherGuid, {px + 3000, py, 0}, {1, 1, 1, 1});
    Sim::AddRegistryPlayer(world_, {0xC1, 0, 0, 1}, {px, py - 2000, 0}, {1, 1, 1, 1});
    Sim::AddLodestone(world_, {px, py + 230, 0});       // 230 away
    Sim::AddLodestone(world_, {px + 200, py + 100, 0}); // 223.6
    Sim::AddLodestone(world_, {px + 225, py, 0});       // 225
    Sim::AddLandmark(world_, L"Landmark_Tower", L"Map.Landmark.Tower", {px, py - 400, 0}, false);
    Sim::PlaceWaypoint(world_, {px - 600, py, 0});
    IconAt(px + 2500, py, L"", L"T_MapIcon_Quest");
    IconAt(px, py + 600, L"QuestSide", nullptr);
    IconAt(px + 1200, py, L"", L"T_MapIcon_Resource");
    IconAt(px + 50, py + 50, L"ResourceIron", nullptr);
    Rebuild();
    EXPECT_EQ(Categories(), (std::vector<std::uint8_t>{Icon::OtherPlayer, Icon::OtherPlayer, 12, Icon::QuestMain, 25,
                                                       Icon::FirstResource, Icon::Lodestone, Icon::Lodestone, Icon::Lodestone,
                                                       Icon::Landmark, Icon::Waypoint}));
    EXPECT_EQ(Spots(), (std::vector<Spot>{{px, py - 2000},
                                          {px + 3000, py},
                                          {px, py + 600},
                                          {px + 2500, py},
                                          {px + 50, py + 50},
                                          {px + 1200, py},
                                          {px + 200, py + 100},
                                          {px + 225, py},
                                          {px, py + 230},
                                          {px, py - 400},
                                          {px - 600, py}}));
    // Pinned to the rim, the waypoint ranks with the players: here nearer than both.
    Orv::Hud().EdgePins = true;
    Rebuild();
    EXPECT_EQ(Categories(), (std::vector<std::uint8_t>{Icon::Waypoint, Icon::OtherPlayer, Icon::OtherPlayer, 12, Icon::QuestMain,
                                                       25, Icon::FirstResource, Icon::Lodestone, Icon::Lodestone,
                                                       Icon::Lodestone, Icon::Landmark}));
}

TEST_F(MarkerList, WithoutALivePawnTheListKeepsItsArrivalOrder)
{
    StartMarkers();
    Sim::AddRegistryPlayer(world_, kOtherGuid, {4000, 0, 0}, {1, 1, 1, 1});
    Sim::AddGravestone(world_, kOwnGuid, {3500, 0, 0});
    Sim::AddLodestone(world_, {3000, 0, 0});
    Sim::AddBed(world_, kOwnGuid, {2500, 0, 0});
    Sim::AddLandmark(world_, L"Landmark_Tower", L"Map.Landmark.Tower", {2000, 0, 0}, false);
    Sim::AddDungeonEntrance(world_, {0xD, 0, 0, 1}, L"Map.Dungeon.Crypt", {1500, 0, 0}, false);
    Sim::PlaceWaypoint(world_, {1000, 0, 0});
    IconAt(500, 0, L"", L"T_MapIcon_Quest");
    IconAt(100, 0, L"", L"T_MapIcon_Resource");
    // Without a pawn there is no telling a player's picture by the pawn's own.
    IconAt(50, 0, L"", L"T_MapIcon_Player");
    markers_->MutableSession().discovery.pawn = nullptr;
    Rebuild();
    EXPECT_EQ(Categories(), (std::vector<std::uint8_t>{Icon::OtherPlayer, Icon::Gravestone, Icon::Lodestone, Icon::Bed, Icon::Landmark,
                                                       Icon::Dungeon, Icon::Waypoint, Icon::QuestMain, Icon::FirstResource,
                                                       Icon::OtherPlayer}));
}
} // namespace
} // namespace OrvTest

namespace OrvTest
{
namespace
{
class IconComponentStyles : public MapDataFixture
{
};

// The name search must stop at the table's end: with the table filling its storage exactly, a
// look one past it reads beyond the allocation, which the sanitizer build reports.
TEST_F(IconComponentStyles, ACategoryNamingNoStyleFallsBackToThePictureWithinTheTable)
{
    StartMarkers({}, [] {
        for (std::uint8_t type = 29; type <= 33; ++type)
        {
            Sim::SetStyle(type, {Sim::GameTexture(L"T_MapIcon_Resource"), {1, 1, 1, 1}, 20, 0});
        }
    });
    ASSERT_EQ(mod_->IconStyles().size(), mod_->IconStyles().capacity());
    UObject* wreck = IconAt(1000, 0, L"Wreck", L"T_MapIcon_Lodestone");
    Rebuild();
    ASSERT_NE(EntryFor(wreck), nullptr);
    EXPECT_EQ(EntryFor(wreck)->category, Sim::MapIconType::Lodestone);
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{1000, 0}}));
}

TEST_F(IconComponentStyles, CategoriesBeyondTheKeptNamesAreStillWorkedOut)
{
    StartMarkers();
    // More names than the mod keeps meanings for; each is pictured as a lodestone.
    std::vector<UObject*> icons;
    for (int i = 0; i < 70; ++i)
    {
        icons.push_back(IconAt(100.0 + 40.0 * i, 0, L"Kind" + std::to_wstring(i), L"T_MapIcon_Lodestone"));
    }
    UObject* temp = IconAt(-500, 0, L"Temp", L"T_MapIcon_Lodestone");
    UObject* named = IconAt(-900, 0, L"Dungeon", nullptr);
    for (int pass = 0; pass < 2; ++pass)
    {
        SCOPED_TRACE(pass);
        Rebuild();
        EXPECT_EQ(List().count, 71u);
        for (UObject* icon : icons)
        {
            ASSERT_NE(EntryFor(icon), nullptr);
            EXPECT_EQ(EntryFor(icon)->category, Sim::MapIconType::Lodestone);
        }
        EXPECT_EQ(EntryFor(temp), nullptr);
        ASSERT_NE(EntryFor(named), nullptr);
        EXPECT_EQ(EntryFor(named)->category, Sim::MapIconType::Dungeon);
    }
}

TEST_F(IconComponentStyles, ComponentsOfOtherWorldsOrOnTheirWayOutAreNotAskedAnything)
{
    UseEngine(5, 1, {.mapTracker = false});
    StartMarkers();
    UWorld* elsewhere = Sim::CreateWorld(L"Elsewhere");
    UObject* post = Sim::SpawnActor(elsewhere, L"/Script/Engine.Actor", {.x = 300});
    UObject* foreign = Sim::AddMapIconComponent(post, {.category = L"Lodestone"});
    UObject* dying = IconAt(600, 0, L"Lodestone", nullptr);
    UObject* own = IconAt(900, 0, L"Lodestone", nullptr);
    Sim::MarkPendingKill(dying);
    Sim::ForgetCalls();
    Rebuild();
    for (UObject* skipped : {foreign, dying})
    {
        EXPECT_EQ(Sim::CallCount(skipped, L"GetOwner"), 0u);
        EXPECT_EQ(Sim::CallCount(skipped, L"GetIconTexture"), 0u);
        EXPECT_EQ(Sim::CallCount(skipped, L"IsIconVisible"), 0u);
    }
    EXPECT_EQ(Sim::CallCount(own, L"GetOwner"), 1u);
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{900, 0}}));
}

// The frame that first meets more category names than the mod keeps meanings for still draws
// its markers, at the rate and time it would have anyway.
TEST_F(IconComponentStyles, TheFrameThatMeetsManyCategoryNamesStillDrawsThem)
{
    StartMarkers({}, [this] {
        for (int i = 0; i < 70; ++i)
        {
            IconAt(100.0 + 40.0 * i, 0, L"Kind" + std::to_wstring(i), L"T_MapIcon_Lodestone");
        }
    });
    const std::vector<Spot> shown = ShownSpots();
    ASSERT_EQ(shown.size(), 70u);
    EXPECT_EQ(shown.front(), (Spot{100, 0}));
    EXPECT_EQ(shown.back(), (Spot{2860, 0}));
}
} // namespace
} // namespace OrvTest
