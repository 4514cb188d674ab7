// The mod against an engine that frees and reuses memory at once: whatever the engine frees,
// the mod forgets before it could read it or take the next object at that address for it; a
// map load within one frame costs nothing and risks nothing; with the game's hooks silent the
// mod still follows world changes, respawns and creatures; and a set-up on the loader's own
// thread is safe while the game ticks.
#include "ModFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>
#include <Unreal/UObjectArray.hpp>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

namespace
{
using namespace RC::Unreal;
using Orv::LiveOrvantaMod;

using OrvTest::AsObject;
using OrvTest::Contains;
using OrvTest::kFrame;
using OrvTest::MakePlayer;
using OrvTest::Player;

class ObjectLifetime : public OrvTest::ModFixture
{
  protected:
    // A player in a world with a session of the mod built on it.
    Player LivePlayer(std::wstring_view map = L"Valley")
    {
        Player player = MakePlayer(map);
        StartMod();
        Frames(1);
        EXPECT_EQ(Session().discovery.pawn, player.pawn);
        return player;
    }
};

TEST_F(ObjectLifetime, TheModListensForDeletionsFromInitialisationUntilItGoes)
{
    mod_ = std::make_unique<OrvTest::TestMod>();
    EXPECT_FALSE(mod_->ListensForDeletions()) << "nothing of the engine before it is ready";
    mod_->on_unreal_init();
    mod_->StartOnGameThread();
    EXPECT_TRUE(mod_->ListensForDeletions());
    mod_.reset();
    // Had the mod stayed on the list, this would call into a deleted object.
    Sim::DestroyObject(Sim::NewObject(Sim::FindClass(L"/Script/Engine.Actor"), nullptr));
}

TEST_F(ObjectLifetime, EachDiscoveryReferenceGoesTheMomentItsObjectIsFreed)
{
    using Pick = std::function<UObject*(const Player&)>;
    using Kept = std::function<const void*(const Orv::DiscoveryState&)>;
    struct Case
    {
        const char* what;
        Pick freed;
        Kept kept;
    };
    const Case cases[] = {
        {"pawn", [](const Player& p) { return p.pawn; }, [](const auto& d) -> const void* { return d.pawn; }},
        {"controller", [](const Player& p) { return p.controller; },
         [](const auto& d) -> const void* { return d.playerController; }},
        {"game instance", [](const Player& p) { return p.gameInstance; },
         [](const auto& d) -> const void* { return d.gameInstance; }},
        {"world", [](const Player& p) { return AsObject(p.world); }, [](const auto& d) -> const void* { return d.world; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        StartEngine();
        Player player = LivePlayer();
        UObject* freed = c.freed(player);
        ASSERT_EQ(c.kept(Session().discovery), freed);
        Sim::DestroyObject(freed);
        const Orv::DiscoveryState& found = Session().discovery;
        EXPECT_EQ(c.kept(found), nullptr);
        const int kept = (found.world != nullptr) + (found.gameInstance != nullptr) +
                         (found.playerController != nullptr) + (found.pawn != nullptr);
        EXPECT_EQ(kept, 3) << "only what was freed goes";
        mod_.reset();
    }
}

TEST_F(ObjectLifetime, TrackedAndQueuedActorsAndTheAiSubsystemGoWhenFreed)
{
    Player player = LivePlayer();
    ASSERT_NE(Session().gameData.aiSubsystem, nullptr) << "the first frame's full scan found it";
    auto* tracked = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
    auto* arriving = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
    auto* leaving = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
    mod_->TrackActor(tracked);
    mod_->OnRuntimeEvent(LiveOrvantaMod::RuntimeEvent::ActorBeginPlay, arriving);
    mod_->OnRuntimeEvent(LiveOrvantaMod::RuntimeEvent::ActorEndPlay, leaving);
    ASSERT_TRUE(Contains(Session().actors.trackedActors, tracked));
    ASSERT_TRUE(Contains(Session().actors.pendingBeginPlay, arriving));
    ASSERT_TRUE(Contains(Session().actors.pendingEndPlay, leaving));

    for (UObject* actor : {tracked, arriving, leaving})
    {
        Sim::DestroyObject(actor);
    }
    EXPECT_TRUE(Session().actors.trackedActors.empty());
    EXPECT_TRUE(Session().actors.pendingBeginPlay.empty());
    EXPECT_TRUE(Session().actors.pendingEndPlay.empty());

    Sim::DestroyObject(Session().gameData.aiSubsystem);
    EXPECT_EQ(Session().gameData.aiSubsystem, nullptr);
    Frames(40);
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}

TEST_F(ObjectLifetime, ALeftWorldOnceFreedIsNoLongerCompared)
{
    Player player = LivePlayer();
    Sim::CallScriptFunction(player.gameInstance, L"K2_OnWorldChanged", [&](uint8* parms) {
        UWorld* worlds[2] = {player.world, nullptr};
        std::memcpy(parms, worlds, sizeof(worlds));
    });
    ASSERT_EQ(mod_->LeftWorld(), static_cast<void*>(player.world));
    Sim::DestroyObject(AsObject(player.world));
    EXPECT_EQ(mod_->LeftWorld(), nullptr) << "a new world at its address is not the world left";
}

TEST_F(ObjectLifetime, TheWorldBeingLeftSurvivesTheLoadsSecondNotification)
{
    Player player = LivePlayer();
    auto* next = Sim::CreateWorld(L"Caves");
    auto notify = [&](UWorld* left, UWorld* entered) {
        Sim::CallScriptFunction(player.gameInstance, L"K2_OnWorldChanged", [&](uint8* parms) {
            UWorld* worlds[2] = {left, entered};
            std::memcpy(parms, worlds, sizeof(worlds));
        });
    };
    notify(player.world, nullptr);
    notify(nullptr, next);
    EXPECT_EQ(mod_->LeftWorld(), static_cast<void*>(player.world));
    EXPECT_TRUE(mod_->WorldChangePending());

    // The world left is still there and its player still local: it is not taken again.
    Frames(1);
    EXPECT_EQ(Session().discovery.world, nullptr);
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Frames(45);
    EXPECT_EQ(Session().discovery.world, nullptr);
}

TEST_F(ObjectLifetime, AClassFreedWithItsLevelLeavesNoCacheEntryForTheNextClassAtItsAddress)
{
    Player player = LivePlayer(L"Open");
    const Sim::ClassDef crawler{.path = L"/Game/Creatures/BP_Crawler.BP_Crawler_C",
                                .super = L"/Script/Umbrafel.UmbrafelAICharacter",
                                .blueprint = true};
    UClass* first = Sim::DefineLevelClass(player.world, crawler);
    auto* creature = Sim::SpawnActor(player.world, first);
    mod_->TrackActor(creature); // looks "IsActorBeingDestroyed" up on the blueprint class
    ASSERT_TRUE(Contains(Session().actors.trackedActors, creature));

    UWorld* caves = Sim::CreateWorld(L"Caves");
    Sim::Travel(player.gameInstance, caves);
    ASSERT_FALSE(Sim::HoldsObject(first));
    // The next class of that size takes the freed class's memory; this one answers that every
    // actor of it is on its way out.
    UClass* second = Sim::DefineLevelClass(
        caves, {.path = L"/Game/Creatures/BP_Doomed.BP_Doomed_C",
                .super = L"/Script/Umbrafel.UmbrafelAICharacter",
                .functions = {{L"IsActorBeingDestroyed", {Sim::Return(Sim::Bool())},
                               [](Sim::Call& call) { call.SetBool(L"ReturnValue", true); }}},
                .blueprint = true});
    ASSERT_EQ(static_cast<void*>(second), static_cast<void*>(first)) << "the engine reused the address";
    Sim::EnterLocalPlayer(caves);
    Frames(1);
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Frames(30);
    ASSERT_EQ(Session().discovery.world, caves);
    auto* doomed = Sim::SpawnActor(caves, second);
    ASSERT_NE(doomed, nullptr);
    mod_->TrackActor(doomed);
    EXPECT_FALSE(Contains(Session().actors.trackedActors, doomed)) << "asked the new class, not the old one's answer";
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}

TEST_F(ObjectLifetime, AMapLoadWithinOneFrameCostsNothingAndTheNextSessionIsInTheNewWorld)
{
    Player player = LivePlayer(L"Open");
    for (int i = 0; i < 4; ++i)
    {
        mod_->TrackActor(Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter"));
    }
    auto* dungeon = Sim::CreateWorld(L"Dungeon", false);
    Sim::ResetCounters();
    Sim::Travel(player.gameInstance, dungeon);

    // Everything of the old world is freed already; the mod holds none of it.
    EXPECT_FALSE(Sim::HoldsObject(AsObject(player.world)));
    EXPECT_EQ(Session().discovery.world, nullptr);
    EXPECT_EQ(Session().discovery.pawn, nullptr);
    EXPECT_TRUE(Session().actors.trackedActors.empty());
    EXPECT_EQ(mod_->LeftWorld(), nullptr);
    EXPECT_TRUE(mod_->WorldChangePending());
    Frames(1);
    EXPECT_FALSE(mod_->WorldChangePending());
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u) << "nothing left to take down";

    auto entered = Sim::EnterLocalPlayer(dungeon);
    Frames(1);
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Frames(30);
    EXPECT_EQ(Session().discovery.world, dungeon);
    EXPECT_EQ(Session().discovery.pawn, entered.pawn);
    EXPECT_EQ(Session().discovery.gameInstance, player.gameInstance);
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}

// A game that clears its viewport leaves the map's tree to the collector, which frees it over
// several frames in any order: a marker widget may go while the tree's root still stands,
// unreachable, and a new widget may take its address. The map lets the old tree go at once
// and is back on screen the next frame, calling nothing on the stranger.
TEST_F(ObjectLifetime, ATreeFreedPieceByPieceIsLetGoWholeAndTheMapComesBack)
{
    Player player = LivePlayer();
    const std::vector<UObject*> before = Sim::ViewportWidgets();
    ASSERT_EQ(before.size(), 1u);
    UObject* markerRoot = Session().markers.iconSlots[3].root;
    ASSERT_NE(markerRoot, nullptr);
    UClass* overlay = markerRoot->GetClassPrivate();

    Sim::RemoveAllViewportWidgets();
    Sim::CollectGarbage(false);
    ASSERT_TRUE(Sim::HoldsObject(before.front())) << "marked, not yet freed";
    Sim::DestroyObject(markerRoot);
    UObject* stranger = Sim::NewObject(overlay, AsObject(player.world));
    ASSERT_EQ(stranger, markerRoot) << "the engine reuses the freed memory at once";
    Sim::ForgetCalls();
    Frames(1);

    const std::vector<UObject*> after = Sim::ViewportWidgets();
    ASSERT_EQ(after.size(), 1u) << "the map is back on screen";
    EXPECT_NE(after.front(), before.front());
    EXPECT_EQ(Sim::CallCount(stranger, L"SetVisibility"), 0u);
    EXPECT_EQ(Sim::CallCount(stranger, L"SetRenderTransformAngle"), 0u);
    Sim::CollectGarbage();
    Frames(5);
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
    EXPECT_EQ(Sim::ViewportWidgets(), after);
}

// Told nothing at all: no script hook fires, and the loader's settings leave out its actor and
// map-load callbacks.
class SilentEvents : public ObjectLifetime
{
  protected:
    void SetUp() override
    {
        ObjectLifetime::SetUp();
        Sim::SetSilentEvents(true);
        Sim::RefuseLoaderCallbacks(true);
    }
};

TEST_F(SilentEvents, TheModFollowsAWorldChangeItIsNeverToldOf)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Player player = LivePlayer(L"Open");
    auto* dungeon = Sim::CreateWorld(L"Dungeon", false);
    Sim::Travel(player.gameInstance, dungeon);
    EXPECT_FALSE(mod_->WorldChangePending()) << "no hook ran";
    Frames(1);
    EXPECT_EQ(Session().discovery.world, nullptr) << "the freed world made the session stale";
    auto entered = Sim::EnterLocalPlayer(dungeon);
    Frames(31);
    EXPECT_EQ(Session().discovery.world, dungeon);
    EXPECT_EQ(Session().discovery.pawn, entered.pawn);
    EXPECT_EQ(Sim::Stats().ScriptHooksFired, 0u);
}

TEST_F(SilentEvents, TheModFollowsARespawnAndCreaturesComingAndGoing)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Player player = LivePlayer(L"Open");
    auto* newPawn = Sim::Respawn(player.controller);
    Frames(1);
    EXPECT_EQ(Session().discovery.pawn, newPawn);

    auto* creature = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
    Frames(1);
    EXPECT_FALSE(Contains(Session().actors.trackedActors, creature)) << "no begin-play event told of it";
    Frames(31);
    EXPECT_TRUE(Contains(Session().actors.trackedActors, creature)) << "the AI list's refresh found it";

    Sim::DestroyActor(creature);
    Sim::CollectGarbage(true);
    EXPECT_FALSE(Contains(Session().actors.trackedActors, creature));
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}

TEST_F(ObjectLifetime, WhenTheObjectArrayShutsDownTheModLetsGoOfTheEngineEntirely)
{
    Player player = LivePlayer();
    static_cast<void>(player);
    Sim::ResetEngine();
    EXPECT_FALSE(mod_->ListensForDeletions());
    EXPECT_EQ(mod_->Session().discovery.world, nullptr);
    EXPECT_EQ(mod_->RuntimeHookCount(), 0u);
    EXPECT_EQ(mod_->WorldHookId(), 0);
    for (std::size_t i = 0; i < LiveOrvantaMod::kRuntimeHookCapacity; ++i)
    {
        EXPECT_EQ(mod_->RuntimeHookAt(i).function, nullptr) << "no entry keeps a function of the old engine";
    }
    Sim::DefineDefaultGame();
    Sim::ResetCounters();
    mod_.reset();
    EXPECT_EQ(Sim::Counters().UnregisterHook, 0u) << "the hooked functions died with the engine";
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
}

TEST_F(ObjectLifetime, ASetUpOnTheLoadersThreadIsSafeWhileTheGameTicksAndFrees)
{
    Player player = MakePlayer(L"Valley");
    mod_ = std::make_unique<OrvTest::TestMod>();
    std::atomic<bool> done{false};
    std::thread loader([&] {
        mod_->on_unreal_init();
        done = true;
    });
    // The game goes on: creatures come and go, and the collector frees them, while the
    // loader's thread registers.
    int frames = 0;
    while (!done.load() || frames < 3)
    {
        auto* creature = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
        Sim::DestroyActor(creature);
        Sim::CollectGarbage(true);
        Sim::TickEngine(kFrame);
        ++frames;
        std::this_thread::yield();
    }
    loader.join();
    Frames(1);
    EXPECT_EQ(mod_->RuntimeHookCount(), 31u);
    EXPECT_NE(mod_->TickHandle(), 0u);
    Frames(2);
    EXPECT_EQ(Session().discovery.pawn, player.pawn);
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
    EXPECT_TRUE(Sim::FailedChecks().empty()) << "no engine call from the loader's thread";
}

// The loader's hot reload uninstalls from its own thread while the game ticks: the mod's
// engine side goes on the game thread's next frame, and the uninstall waits for it.
TEST_F(ObjectLifetime, AnUninstallFromTheLoadersThreadTakesTheMapDownOnTheGameThread)
{
    LivePlayer();
    ASSERT_FALSE(Sim::ViewportWidgets().empty());
    const Sim::Observed before = Sim::Observations();
    std::atomic<bool> done{false};
    std::thread loader([&] {
        Orv::LiveOrvantaMod::Uninstall(mod_.release());
        done = true;
    });
    int frames = 0;
    while (!done.load())
    {
        Sim::TickEngine(kFrame);
        ++frames;
        std::this_thread::yield();
    }
    loader.join();
    EXPECT_TRUE(Sim::FailedChecks().empty()) << "no engine call off the game thread";
    EXPECT_GE(frames, 1) << "the uninstall waited for a frame";
    EXPECT_TRUE(Sim::ViewportWidgets().empty());
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, before.captureActorsDestroyed + 1);
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
    EXPECT_EQ(Sim::TickCallbackCount(), 0u);
    EXPECT_EQ(Sim::ActorCallbackCount() + Sim::MapCallbackCount(), 0u);
    Frames(3);
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}

// Without a one-shot tick to go on (the loader refuses it), a mod uninstalled from the
// loader's thread is left retired, and the next instance's first tick takes it down before it
// starts: one map, one set of hooks.
TEST_F(ObjectLifetime, WhatAnUninstalledModCouldNotTakeDownTheNextOneDoes)
{
    Player player = LivePlayer();
    Sim::RefuseTickCallbacks(true);
    std::thread loader([this] { Orv::LiveOrvantaMod::Uninstall(mod_.release()); });
    loader.join();
    EXPECT_TRUE(Sim::FailedChecks().empty());
    EXPECT_EQ(Sim::ScriptHookCount(), 32u) << "still registered: nothing ran on the game thread yet";
    Frames(2);
    EXPECT_FALSE(Sim::ViewportWidgets().empty()) << "retired, it leaves the world as it is";
    Sim::RefuseTickCallbacks(false);

    mod_ = std::make_unique<OrvTest::TestMod>();
    std::thread next([this] { mod_->on_unreal_init(); });
    next.join();
    const Sim::Observed before = Sim::Observations();
    Frames(2);
    EXPECT_EQ(Sim::ScriptHookCount(), 32u) << "the old hooks went before the new ones came";
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, before.captureActorsDestroyed + 1);
    EXPECT_EQ(Sim::ViewportWidgets().size(), 1u);
    EXPECT_EQ(Session().discovery.pawn, player.pawn);
    EXPECT_TRUE(Sim::FailedChecks().empty());
}

// A hooked function the engine frees leaves its registration behind: at destruction the mod
// unregisters every other hook, and calls nothing on the freed function.
TEST_F(ObjectLifetime, AFreedHookedFunctionIsNotUnregisteredButEveryOtherHookIs)
{
    const wchar_t* const freedFunctions[] = {
        L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_PlayerCharacters",  // the first runtime hook
        L"/Script/Umbrafel.MapUIAPI:PlacePin",                              // one in the middle
        L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic", // the last
        L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged",         // the world hook
    };
    for (const wchar_t* path : freedFunctions)
    {
        SCOPED_TRACE(testing::PrintToString(std::wstring(path)));
        mod_.reset();
        StartEngine();
        StartMod();
        ASSERT_EQ(Sim::ScriptHookCount(), 32u);
        UFunction* function = Sim::FindFunctionByPath(path);
        ASSERT_NE(function, nullptr);
        ASSERT_TRUE(Sim::RemoveFunction(path));
        Sim::DestroyObject(function);

        std::size_t forgotten = 0;
        for (std::size_t i = 0; i < mod_->RuntimeHookCount(); ++i)
        {
            if (mod_->RuntimeHookAt(i).function == nullptr)
            {
                EXPECT_EQ(mod_->RuntimeHookAt(i).id, 0);
                ++forgotten;
            }
            EXPECT_NE(static_cast<const void*>(mod_->RuntimeHookAt(i).function), static_cast<const void*>(function));
        }
        const bool worldHook = mod_->WorldHookId() == 0;
        EXPECT_EQ(forgotten + (worldHook ? 1u : 0u), 1u) << "exactly the freed function's registration goes";

        Sim::ResetCounters();
        mod_.reset();
        EXPECT_EQ(Sim::Counters().UnregisterHook, 31u);
    }
}

TEST_F(ObjectLifetime, ObjectsComingAndGoingLeaveEveryRegistrationToBeTakenBack)
{
    Player player = LivePlayer();
    for (int i = 0; i < 8; ++i)
    {
        Sim::DestroyActor(Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter"));
    }
    Sim::CollectGarbage(true);
    Frames(2);
    EXPECT_GT(mod_->WorldHookId(), 0);
    EXPECT_EQ(mod_->RuntimeHookCount(), 31u);
    for (std::size_t i = 0; i < mod_->RuntimeHookCount(); ++i)
    {
        EXPECT_NE(mod_->RuntimeHookAt(i).function, nullptr);
    }
    mod_.reset();
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
    EXPECT_EQ(Sim::TickCallbackCount(), 0u);
}
} // namespace
