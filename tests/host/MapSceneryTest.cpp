// orvanta-sim's map data as the engine holds it, without a mod: what the walk lists from the
// start, what changes at its moments (waypoint, revealed landmarks, the crypt, a gravestone,
// a bed), players' entries following their characters, creatures of every kind, the tracker
// holding only live components, and the crowd's numbers. A mod's marker tests are only as good
// as this data is true.
#ifdef ORVANTA_WITH_SIM
#include "MapScenery.hpp"
#include "Scenarios.hpp"

#include "support/EngineFixture.hpp"

#include <Sim/MapData.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

constexpr int kFrames = 600;

UObject* Controller() { return Sim::ObjectReference(Sim::LocalPlayer(), L"PlayerController"); }
UObject* Pawn() { return Sim::ObjectReference(Controller(), L"Pawn"); }
UWorld* World() { return Pawn() != nullptr ? Pawn()->GetWorld() : nullptr; }

void* Field(UObject* object, const wchar_t* name)
{
    return Sim::FindPropertyUncounted(object->GetClassPrivate(), name)->ContainerPtrToValuePtr<void>(object);
}

// A registry array's element as bytes, and a vector member of it.
uint8* Entry(const wchar_t* array, int32 index)
{
    UObject* registry = Sim::GameplayObjectRegistryOf(World());
    auto* property = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(registry->GetClassPrivate(), array));
    return static_cast<uint8*>(Sim::ArrayElement(property, Field(registry, array), index));
}

std::array<double, 3> VectorIn(const wchar_t* structPath, const uint8* element, const wchar_t* member)
{
    const auto* layout = static_cast<const UStruct*>(Sim::FindObjectByPath(structPath));
    return OrvTest::ReadEngineVector(element + Sim::FindPropertyUncounted(layout, member)->GetOffset_Internal());
}

int32 DiscoverableDungeons() { return Sim::ArrayNum(Field(Sim::PoiDiscoverySystemOf(World()), L"DiscoverableDungeons")); }

class MapScenery : public OrvTest::EngineFixture, public ::testing::WithParamInterface<int>
{
  protected:
    void SetUp() override {}

    // Plays the scenario as orvanta-sim does, minus the mod; each frame's look after its tick.
    void Play(const std::string& name, int frames, const std::function<void(int frame)>& look)
    {
        OrvSim::Scenario scenario;
        ASSERT_TRUE(OrvSim::MakeScenario(name, 1, frames, false, scenario));
        StartEngine(GetParam(), GetParam() == 4 ? 27 : 1, scenario.game);
        Sim::SetGarbageCollectionPeriod(1'000'000'000);
        scenario.setUp();
        look(-1);
        for (int frame = 0; frame < frames; ++frame)
        {
            scenario.beforeFrame(frame);
            Sim::TickEngine(1.0f / 60.0f);
            look(frame);
        }
    }

    // Every tracked component is live and playing in the tracker's world, and every live
    // component that plays is tracked.
    static void ExpectTrackerTrue()
    {
        std::vector<UObject*> tracked = Sim::TrackedMapIcons(World());
        std::set<UObject*> unique(tracked.begin(), tracked.end());
        EXPECT_EQ(unique.size(), tracked.size()) << "a component listed twice";
        std::vector<UObject*> all;
        UObjectGlobals::FindAllOf(STR("MapIconComponent"), all);
        std::size_t playing = 0;
        for (UObject* component : all)
        {
            // A destroyed actor's components are marked for the collector as it leaves the world.
            const bool live = component->GetObjectItem()->IsValid(false);
            playing += live && reinterpret_cast<UObject*>(component->GetWorld()) == reinterpret_cast<UObject*>(World()) ? 1 : 0;
        }
        for (UObject* component : tracked)
        {
            ASSERT_TRUE(Sim::HoldsObject(component)) << "a freed component left in the list";
            EXPECT_TRUE(component->GetObjectItem()->IsValid(false));
        }
        EXPECT_EQ(tracked.size(), playing);
    }
};

// The glade's level is a world object of its own, owned by the walk's: the engine answers the
// walk's world for everything in it, the loader's walk of the outers the glade's; its icons are
// in the walk's tracker.
void ExpectTheGladeStreamedIn(UWorld* world)
{
    auto* glade = reinterpret_cast<UWorld*>(Sim::FindObjectByPath(L"/Game/Maps/Umbrafel_Open_Glade.Umbrafel_Open_Glade"));
    ASSERT_NE(glade, nullptr);
    const std::vector<UObject*> inGlade = Sim::ActorsOf(glade);
    ASSERT_EQ(inGlade.size(), 4u);
    const std::vector<UObject*> inWorld = Sim::ActorsOf(world);
    const std::vector<UObject*> tracked = Sim::TrackedMapIcons(world);
    int creatures = 0;
    for (UObject* actor : inGlade)
    {
        EXPECT_EQ(actor->GetWorld(), world);
        EXPECT_EQ(static_cast<AActor*>(actor)->GetWorld(), glade);
        EXPECT_NE(std::find(inWorld.begin(), inWorld.end(), actor), inWorld.end()) << "the world's actors include the glade's";
        const auto components = Sim::ComponentsOf(actor);
        EXPECT_TRUE(std::any_of(components.begin(), components.end(), [&](UObject* component) {
            return std::find(tracked.begin(), tracked.end(), component) != tracked.end();
        }));
        creatures += actor->IsA(Sim::FindClass(L"/Script/Umbrafel.UmbrafelAICharacter")) ? 1 : 0;
    }
    EXPECT_EQ(creatures, 2);
    EXPECT_EQ(Sim::LiveWorldCount(), 1u) << "a streamed level's world counts with its owner";
}

std::vector<std::wstring> Revealed() { return Sim::RevealedLandmarks(Controller()); }

bool Has(const std::vector<std::wstring>& names, const wchar_t* name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Creatures by their data: bosses, and which archetypes are about.
struct Creatures
{
    int count = 0;
    int bosses = 0;
    std::set<int> archetypes;
    int withoutData = 0;
};

Creatures CountCreatures()
{
    Creatures seen;
    std::vector<UObject*> all;
    UObjectGlobals::FindAllOf(STR("UmbrafelAICharacter"), all);
    for (UObject* creature : all)
    {
        if (!creature->GetObjectItem()->IsValid(false))
        {
            continue;
        }
        ++seen.count;
        UObject* data = Sim::ObjectReference(creature, L"LoadedData");
        if (data == nullptr)
        {
            ++seen.withoutData;
            continue;
        }
        seen.bosses += *static_cast<uint8*>(Field(data, L"bIsBoss")) != 0 ? 1 : 0;
        seen.archetypes.insert(*static_cast<uint8*>(Field(data, L"Archetype")));
    }
    return seen;
}

TEST_P(MapScenery, TheWalksMapListsEveryKindFromTheStartAndChangesAtItsMoments)
{
    std::vector<UObject*> waypoints;
    Sim::Placement remoteBefore;
    UObject* remote = nullptr;
    int bossesAtStart = 0;
    Play("walk", kFrames, [&](int frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        UWorld* world = World();
        if (frame < 0)
        {
            EXPECT_EQ(Sim::RegistryCount(world, L"PlayerCharacters"), 3);
            EXPECT_EQ(Sim::RegistryCount(world, L"Gravestones"), 2);
            EXPECT_EQ(Sim::RegistryCount(world, L"Lodestones"), 3);
            EXPECT_EQ(Sim::RegistryCount(world, L"Beds"), 3);
            EXPECT_EQ(Sim::RegistryCount(world, L"Landmarks"), 8);
            EXPECT_EQ(Sim::RegistryCount(world, L"Dungeons"), 4);
            EXPECT_EQ(DiscoverableDungeons(), 2);
            const auto first = VectorIn(L"/Script/Umbrafel.LodestoneRegistryEntry", Entry(L"Lodestones", 0), L"Location");
            const auto second = VectorIn(L"/Script/Umbrafel.LodestoneRegistryEntry", Entry(L"Lodestones", 1), L"Location");
            EXPECT_LT(std::hypot(first[0] - second[0], first[1] - second[1]), 10.0) << "two lodestones closer than ten";
            EXPECT_EQ(Revealed(), (std::vector<std::wstring>{L"Landmark_Hamlet", L"Landmark_Lighthouse"}));
            EXPECT_EQ(Sim::CharacterGuidOf(Controller()), OrvSim::kOwnGuid);
            const Creatures creatures = CountCreatures();
            EXPECT_EQ(creatures.withoutData, 0);
            EXPECT_GE(creatures.bosses, 1);
            EXPECT_EQ(creatures.archetypes, (std::set<int>{0, 1, 2}));
            bossesAtStart = creatures.bosses;
            std::vector<UObject*> npcs;
            UObjectGlobals::FindAllOf(STR("InteractableNPC"), npcs);
            EXPECT_GE(npcs.size(), 2u);
            ExpectTrackerTrue();
            // Three come-and-go creatures, four near the path, the merchant, six resources, a
            // label, a passing effect, the player's own and a lodestone's double; and the
            // glade's two creatures and two resources, whose level is streamed in.
            EXPECT_EQ(Sim::TrackedMapIcons(world).size(), 22u);
            ExpectTheGladeStreamedIn(world);
            return;
        }
        UObject* waypoint = Sim::CurrentWaypoint(Controller());
        if (waypoints.empty() || waypoints.back() != waypoint)
        {
            waypoints.push_back(waypoint);
        }
        EXPECT_EQ(waypoint != nullptr, frame >= 60 && frame < 540);
        EXPECT_EQ(Has(Revealed(), L"Landmark_WatchTower"), frame >= 90);
        EXPECT_EQ(Has(Revealed(), L"Landmark_HuntersCamp"), frame >= 270);
        EXPECT_EQ(Has(Revealed(), L"Landmark_Lighthouse"), frame < 360);
        EXPECT_EQ(DiscoverableDungeons(), frame < 288 ? 2 : 1);
        EXPECT_EQ(Sim::RegistryCount(world, L"Beds"), frame < 360 ? 3 : 4);
        EXPECT_EQ(Sim::RegistryCount(world, L"Gravestones"), frame < 390 ? 2 : 1);
        if (frame == 449 || frame == 450)
        {
            EXPECT_EQ(CountCreatures().bosses - bossesAtStart, frame == 450 ? 1 : 0) << "a boss arrives three quarters in";
        }
        // The player's own entry follows its character ten times a second.
        if (frame % 6 == 0)
        {
            const Sim::Placement at = Sim::ActorPlacement(Pawn());
            const auto listed = VectorIn(L"/Script/Umbrafel.PlayerCharacterRegistryEntry", Entry(L"PlayerCharacters", 0), L"Location");
            EXPECT_NEAR(listed[0], at.x, 0.01);
            EXPECT_NEAR(listed[1], at.y, 0.01);
        }
        // The other player walks, and says so.
        if (remote == nullptr)
        {
            std::vector<UObject*> characters;
            UObjectGlobals::FindAllOf(STR("UmbrafelPlayerCharacter"), characters);
            for (UObject* character : characters)
            {
                remote = character != Pawn() ? character : remote;
            }
        }
        else
        {
            const Sim::Placement now = Sim::ActorPlacement(remote);
            auto* velocity = Sim::FindFunctionByPath(L"/Script/Engine.Actor:GetVelocity");
            std::vector<uint8> parms(velocity->GetParmsSize() + 8u, 0);
            remote->ProcessEvent(velocity, parms.data());
            const auto v = OrvTest::ReadEngineVector(parms.data());
            EXPECT_NEAR(std::hypot(v[0], v[1]), 250, 0.5);
            if (frame > 1)
            {
                EXPECT_NEAR(std::hypot(now.x - remoteBefore.x, now.y - remoteBefore.y), 250.0 / 60, 0.05);
            }
        }
        if (remote != nullptr)
        {
            remoteBefore = Sim::ActorPlacement(remote);
        }
        if (frame % 30 == 0)
        {
            ExpectTrackerTrue();
        }
    });
    ASSERT_EQ(waypoints.size(), 4u) << "none, set, moved, cleared";
    EXPECT_EQ(waypoints.back(), nullptr);
    EXPECT_NE(waypoints[1], waypoints[2]);
}

TEST_P(MapScenery, ARespawnLeavesAGravestoneWhereThePlayerFell)
{
    Sim::Placement before;
    Play("respawn", kFrames, [&](int frame) {
        if (frame == kFrames / 2 - 1)
        {
            before = Sim::ActorPlacement(Pawn());
        }
        if (frame == kFrames / 2)
        {
            ASSERT_EQ(Sim::RegistryCount(World(), L"Gravestones"), 3);
            const auto grave = VectorIn(L"/Script/Umbrafel.GravestoneRegistryEntry", Entry(L"Gravestones", 2), L"Location");
            EXPECT_LT(std::hypot(grave[0] - before.x, grave[1] - before.y), 20.0);
        }
    });
}

TEST_P(MapScenery, TheDungeonsWorldListsOnlyThePlayerAndALodestone)
{
    Play("world-change", kFrames, [](int) {});
    UWorld* world = World();
    EXPECT_EQ(Sim::RegistryCount(world, L"PlayerCharacters"), 1);
    EXPECT_EQ(Sim::RegistryCount(world, L"Lodestones"), 1);
    EXPECT_EQ(Sim::CharacterGuidOf(Controller()), OrvSim::kOwnGuid);
    ExpectTrackerTrue();
}

TEST_P(MapScenery, TheCrowdKeepsFiveHundredCreaturesAndAThousandTrackedComponents)
{
    std::vector<UObject*> subsystems;
    Play("crowd", 120, [&](int frame) {
        if (frame % 30 != 29 && frame >= 0)
        {
            return;
        }
        SCOPED_TRACE("frame " + std::to_string(frame));
        EXPECT_EQ(Sim::TrackedMapIcons(World()).size(), 1000u);
        subsystems.clear();
        UObjectGlobals::FindAllOf(STR("UmbrafelAISubsystem"), subsystems);
        ASSERT_EQ(subsystems.size(), 1u);
        EXPECT_EQ(Sim::SetNum(Field(subsystems[0], L"AllAiCharacters")), 500);
        if (frame >= 0)
        {
            auto* velocity = Sim::FindFunctionByPath(L"/Script/Engine.Actor:GetVelocity");
            std::vector<uint8> parms(velocity->GetParmsSize() + 8u, 0);
            Pawn()->ProcessEvent(velocity, parms.data());
            const auto v = OrvTest::ReadEngineVector(parms.data());
            EXPECT_NEAR(std::hypot(v[0], v[1]), 80, 1) << "a slow stroll";
        }
    });
    const Creatures creatures = CountCreatures();
    EXPECT_EQ(creatures.count, 500);
    EXPECT_GT(creatures.bosses, 5);
    EXPECT_EQ(creatures.archetypes, (std::set<int>{0, 1, 2}));
    ExpectTrackerTrue();
}

INSTANTIATE_TEST_SUITE_P(Engines, MapScenery, ::testing::Values(4, 5),
                         [](const auto& instance) { return "UE" + std::to_string(instance.param); });
} // namespace
#endif
