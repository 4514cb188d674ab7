// What a game event leads the engine to see on the next frame: the map data read anew (a
// map-icon component asked whether it shows), the player's gear hidden again, the time of day
// asked; and what the event filters leave alone. Seen from the engine's side, within the
// first second of a session, before the map tracker's own once-a-second reading.
#include "markers/MapDataFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Output.hpp>

#include <gtest/gtest.h>

namespace OrvTest
{
namespace
{
using Event = Orv::LiveOrvantaMod::RuntimeEvent;

class EventEffects : public MapDataFixture
{
  protected:
    void SetUp() override
    {
        MapDataFixture::SetUp();
        StartMarkers();
        icon_ = IconAt(1000, 0, L"Lodestone", nullptr);
        Sim::GameplayObjectRegistryOf(world_);
        // Listed once by a rebuild of its own, so a later rebuild shows as one more question.
        markers_->OnRuntimeEvent(Event::MapDataChanged, nullptr);
        Frame();
    }

    // Whether the event, on its own, makes the next frame read the map data again.
    bool Rebuilds(Event event, UObject* context)
    {
        const auto asked = Sim::CallCount(icon_, L"IsIconVisible");
        markers_->OnRuntimeEvent(event, context);
        Frame();
        return Sim::CallCount(icon_, L"IsIconVisible") > asked;
    }

    UObject* icon_ = nullptr;
};

TEST_F(EventEffects, MapDataIsReadAgainForItsOwnWorldItsGameDataOrNoObjectButNotForAnotherWorld)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ASSERT_GT(Sim::CallCount(icon_, L"IsIconVisible"), 0u) << "the icon is read at all";
    EXPECT_FALSE(Rebuilds(Event::MapDataChanged, Sim::SpawnActor(Sim::CreateWorld(L"Elsewhere"), L"/Script/Engine.Actor")))
        << "another world's news";
    EXPECT_TRUE(Rebuilds(Event::MapDataChanged, nullptr));
    EXPECT_TRUE(Rebuilds(Event::MapDataChanged, Sim::SpawnActor(world_, L"/Script/Engine.Actor")));
}

TEST_F(EventEffects, MapDataNewsFromTheSessionsGameDataCountsEvenOnItsWayOut)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    const Orv::GameDataState& data = Session().gameData;
    // Each of them, alone, no longer answers the session's world: only being the session's own
    // object lets its news through.
    UObject* objects[] = {data.mapApi, data.mapTracker, data.objectRegistry, data.revealedIconsComponent,
                          data.mapCustomizationComponent, data.poiSystem};
    for (std::size_t i = 0; i < std::size(objects); ++i)
    {
        ASSERT_NE(objects[i], nullptr) << i;
    }
    for (UObject* object : objects)
    {
        Sim::MarkPendingKill(object);
        EXPECT_TRUE(Rebuilds(Event::MapDataChanged, object)) << Sim::ToUtf8(object->GetName());
    }
}

// Gear and the time of day: news from the session's world or without an object counts, news
// from another world does not. Seen as the player's components hidden afresh and the time of
// day asked on the next frame.
TEST_F(EventEffects, GearAndTimeOfDayNewsCountsFromTheSessionsWorldOrWithoutAnObjectOnly)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    UObject* component = Session().capture.captureComponent;
    auto answers = [&](Event event, UObject* context) {
        const auto hidden = Sim::CallCount(component, L"ClearHiddenComponents");
        const auto asked = Sim::CallCount(L"IsNighttime");
        markers_->OnRuntimeEvent(event, context);
        Frame();
        return event == Event::EquipmentChanged ? Sim::CallCount(component, L"ClearHiddenComponents") > hidden
                                                : Sim::CallCount(L"IsNighttime") > asked;
    };
    UObject* stranger = Sim::SpawnActor(Sim::CreateWorld(L"Elsewhere"), L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    for (Event event : {Event::EquipmentChanged, Event::DayNightChanged})
    {
        const int which = static_cast<int>(event);
        EXPECT_FALSE(answers(event, stranger)) << which << ": another world's";
        EXPECT_TRUE(answers(event, nullptr)) << which;
        EXPECT_TRUE(answers(event, pawn_)) << which;
    }
}

TEST_F(EventEffects, OnlyMapIconComponentsThatAreLiveMakeTheirPlayEventsCount)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    UObject* holder = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    EXPECT_FALSE(Rebuilds(Event::ComponentBeginPlay, Sim::ComponentsOf(holder).front())) << "not a map icon";
    UObject* other = IconAt(2000, 0, L"Lodestone", nullptr);
    EXPECT_TRUE(Rebuilds(Event::ComponentBeginPlay, other));
    EXPECT_TRUE(Rebuilds(Event::ComponentEndPlay, other));
    Sim::MarkPendingKill(other);
    EXPECT_FALSE(Rebuilds(Event::ComponentEndPlay, other)) << "one already gone";
}
} // namespace
} // namespace OrvTest
