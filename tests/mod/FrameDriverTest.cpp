// The frame driver's clock against the stand-in engine's, to the hundred nanoseconds the
// performance counter resolves: discovery is retried every half second and waits half a
// second after a world change, the brightness is refreshed every ten seconds and after a
// day/night change, the AI list every half second; a session that stays valid costs no
// discovery; teardown and acquisition leave the frame driver's flags as the next frame needs.
#include "ModFixture.hpp"

#include "mod/Log.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <cstring>

namespace
{
using namespace RC::Unreal;
using Orv::kSecond;
using Orv::LiveOrvantaMod;
using Orv::Nanoseconds;

// The mod reads a 10 MHz counter: instants a whole number of its ticks apart are exact.
constexpr Nanoseconds kCounterTick = 100;
constexpr Nanoseconds kHalfSecond = kSecond / 2;

using OrvTest::NotifyWorldChange;
using OrvTest::Tracks;

class FrameDriver : public OrvTest::ModFixture
{
  protected:
    void SetUp() override
    {
        ModFixture::SetUp();
        // Away from 0, which as a deadline is always due.
        Sim::AdvanceClock(7 * kSecond);
    }

    static Nanoseconds Now() { return Sim::ClockNanoseconds(); }

    // One engine frame at the given instant.
    static void FrameAt(Nanoseconds instant)
    {
        Sim::AdvanceClock(instant - Now());
        Sim::TickEngine(0.0f);
    }

    // A player in the world and the mod started; returns the instant of the frame that made
    // the session.
    Nanoseconds StartSessionIn(UWorld* world)
    {
        Sim::CreateGameInstance(world);
        Sim::EnterLocalPlayer(world);
        StartMod();
        const Nanoseconds acquired = Now();
        FrameAt(acquired);
        return acquired;
    }
};

TEST_F(FrameDriver, DiscoveryIsRetriedEveryHalfSecondAndNotBefore)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    StartMod();

    const Nanoseconds start = Now();
    Sim::ResetCounters();
    FrameAt(start);
    // An attempt with nobody to follow asks for the four controller classes, nothing more.
    EXPECT_EQ(Sim::Counters().FindAllOf, 4u);
    EXPECT_EQ(mod_->NextSessionAttempt(), start + kHalfSecond);

    FrameAt(start + kHalfSecond - kCounterTick);
    EXPECT_EQ(Sim::Counters().FindAllOf, 4u) << "no attempt before half a second";
    FrameAt(start + kHalfSecond);
    EXPECT_EQ(Sim::Counters().FindAllOf, 8u);
    EXPECT_EQ(mod_->NextSessionAttempt(), start + 2 * kHalfSecond);

    auto entered = Sim::EnterLocalPlayer(world);
    FrameAt(start + 2 * kHalfSecond - kCounterTick);
    EXPECT_EQ(Session().discovery.pawn, nullptr);
    FrameAt(start + 2 * kHalfSecond);
    EXPECT_EQ(Session().discovery.pawn, entered.pawn);
}

TEST_F(FrameDriver, AWorldChangeTearsDownAndDiscoveryWaitsHalfASecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    // The next world's player is already there, and found after the first world's.
    auto* caves = Sim::CreateWorld(L"Caves");
    auto next = Sim::EnterLocalPlayer(caves);
    auto* valley = Sim::CreateWorld(L"Valley");
    auto* gameInstance = Sim::CreateGameInstance(valley);
    auto first = Sim::EnterLocalPlayer(valley);
    StartMod();
    FrameAt(Now());
    ASSERT_EQ(Session().discovery.pawn, first.pawn);
    ASSERT_FALSE(mod_->BrightnessDirty());
    ASSERT_TRUE(mod_->AiSnapshotTaken());

    Sim::SetGameInstanceWorld(gameInstance, caves);
    NotifyWorldChange(gameInstance, valley, caves);
    const Nanoseconds changed = Now() + kSecond;
    FrameAt(changed);
    EXPECT_FALSE(mod_->WorldChangePending());
    EXPECT_EQ(Session().discovery.world, nullptr);
    EXPECT_EQ(mod_->NextSessionAttempt(), changed + kHalfSecond);
    // The next session starts from scratch: all map data, hiding and brightness anew, and a
    // full AI scan.
    EXPECT_TRUE(mod_->MapDataDirty());
    EXPECT_TRUE(mod_->PlayerHidingDirty());
    EXPECT_TRUE(mod_->BrightnessDirty());
    EXPECT_FALSE(mod_->AiSnapshotTaken());

    Sim::ResetCounters();
    FrameAt(changed + kHalfSecond - kCounterTick);
    EXPECT_EQ(Sim::Counters().FindAllOf, 0u) << "no discovery attempt within the half second";
    EXPECT_EQ(Session().discovery.world, nullptr);
    FrameAt(changed + kHalfSecond);
    EXPECT_EQ(Session().discovery.world, caves) << "the left world's controller, found first, is passed over";
    EXPECT_EQ(Session().discovery.pawn, next.pawn);
    EXPECT_EQ(Session().discovery.gameInstance, gameInstance);
}

// The game's blueprint implements the world-change event, or the game leaves the event to
// blueprints altogether: either way no hook hears of a map load. The loader's LoadMap callback
// does, and the session goes as at any world change: discovery waits half a second, and the
// new world's failures are reported anew.
TEST_F(FrameDriver, AMapLoadThatNoHookHearsOfStillTearsDownAndDiscoveryWaitsHalfASecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    for (bool leftToBlueprints : {false, true})
    {
        SCOPED_TRACE(leftToBlueprints ? "the event has no native code" : "the game's blueprint implements the event");
        mod_.reset();
        StartEngine();
        Sim::AdvanceClock(7 * kSecond);
        if (leftToBlueprints)
        {
            OrvTest::LeaveWorldChangeToBlueprints();
        }
        auto* caves = Sim::CreateWorld(L"Caves");
        auto next = Sim::EnterLocalPlayer(caves);
        auto* valley = Sim::CreateWorld(L"Valley");
        UObject* gameInstance = leftToBlueprints ? Sim::CreateGameInstance(valley) : OrvTest::BlueprintGameInstance(valley);
        auto first = Sim::EnterLocalPlayer(valley);
        StartMod();
        FrameAt(Now());
        ASSERT_EQ(Session().discovery.pawn, first.pawn);
        ASSERT_TRUE(Orv::ReportOnce(L"SomethingFailed"));

        Sim::Travel(gameInstance, caves);
        const Nanoseconds changed = Now() + kSecond;
        FrameAt(changed);
        EXPECT_EQ(Session().discovery.world, nullptr);
        EXPECT_EQ(mod_->NextSessionAttempt(), changed + kHalfSecond);
        EXPECT_TRUE(Orv::ReportOnce(L"SomethingFailed")) << "a new world reports its failures again";
        Sim::ResetCounters();
        FrameAt(changed + kHalfSecond - kCounterTick);
        EXPECT_EQ(Sim::Counters().FindAllOf, 0u) << "no discovery attempt within the half second";
        FrameAt(changed + kHalfSecond);
        EXPECT_EQ(Session().discovery.world, caves);
        EXPECT_EQ(Session().discovery.pawn, next.pawn);
    }
}

// Seamless travel no hook hears of: the frame sees the game instance gone on to the new world,
// and the session goes as at any world change, leaving its capture actor to the dying world
// and never taking the old world's player again.
TEST_F(FrameDriver, SeamlessTravelThatNoHookHearsOfLeavesTheCaptureToTheDyingWorld)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto* valley = Sim::CreateWorld(L"Valley");
    UObject* gameInstance = OrvTest::BlueprintGameInstance(valley);
    auto first = Sim::EnterLocalPlayer(valley);
    StartMod();
    FrameAt(Now());
    ASSERT_EQ(Session().discovery.pawn, first.pawn);
    UObject* capture = Session().capture.captureActor;
    ASSERT_NE(capture, nullptr);

    auto* caves = Sim::CreateWorld(L"Caves");
    Sim::TravelSeamless(gameInstance, caves, 120);
    const Nanoseconds changed = Now() + kSecond / 60;
    FrameAt(changed);
    EXPECT_EQ(Session().discovery.world, nullptr);
    EXPECT_EQ(Sim::CallCount(capture, L"K2_DestroyActor"), 0u) << "left to the dying world";
    EXPECT_TRUE(Sim::HoldsObject(capture) && capture->GetObjectItem()->IsValid(false));
    for (int frame = 1; frame <= 60; ++frame)
    {
        FrameAt(changed + frame * (kSecond / 60));
    }
    EXPECT_EQ(Session().discovery.world, nullptr) << "the old world's player is never taken";
    EXPECT_TRUE(Sim::HoldsObject(first.controller)) << "while its world is still dying";

    auto next = Sim::EnterLocalPlayer(caves);
    FrameAt(changed + 2 * kSecond);
    EXPECT_EQ(Session().discovery.world, caves);
    EXPECT_EQ(Session().discovery.pawn, next.pawn);
}

TEST_F(FrameDriver, AcquisitionSetsTheFirstDeadlinesAndFlags)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto* world = Sim::CreateWorld(L"Valley");
    const Nanoseconds acquired = StartSessionIn(world);
    const auto& deadlines = Session().deadlines;
    ASSERT_NE(Session().capture.renderTarget, nullptr);
    // The capture is made in the acquiring frame, and hiding and brightness follow at once.
    EXPECT_EQ(deadlines.nextBrightnessRefresh, acquired + 10 * kSecond);
    EXPECT_EQ(deadlines.nextPlayerHiding, acquired + 30 * kSecond);
    EXPECT_EQ(deadlines.nextAiRefresh, acquired + kHalfSecond) << "set by the first frame's full scan";
    EXPECT_FALSE(mod_->PlayerHidingDirty());
    EXPECT_FALSE(mod_->BrightnessDirty());
    EXPECT_TRUE(mod_->AiSnapshotTaken());
}

TEST_F(FrameDriver, ACaptureThatCannotBeMadeEndsTheSessionAndWaitsASecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    Sim::EnterLocalPlayer(world);
    // The capture actor is spawned, then cannot be turned to look down.
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Engine.Actor:K2_SetActorRotation"));
    StartMod();
    const Nanoseconds start = Now();
    FrameAt(start);
    EXPECT_EQ(Session().discovery.world, nullptr);
    EXPECT_EQ(Session().capture.captureActor, nullptr);
    EXPECT_EQ(mod_->NextSessionAttempt(), start + kSecond);
    // The session's flags stand as acquisition left them, for the next attempt.
    EXPECT_TRUE(mod_->MapDataDirty());
    EXPECT_TRUE(mod_->PlayerHidingDirty());
    EXPECT_FALSE(mod_->AiSnapshotTaken());
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u) << "a half-made capture does not stay in the world";
}

TEST_F(FrameDriver, TheBrightnessIsRefreshedEveryTenSecondsAndOnTheFrameAfterADayNightChange)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    Sim::EnterLocalPlayer(world);
    auto* time = Sim::NewObject(Sim::FindClass(L"/Script/Umbrafel.InGameTimeSubsystem"), world, L"Time");
    StartMod();
    const Nanoseconds acquired = Now();
    FrameAt(acquired);
    const auto& deadlines = Session().deadlines;

    FrameAt(acquired + 10 * kSecond - kCounterTick);
    EXPECT_EQ(deadlines.nextBrightnessRefresh, acquired + 10 * kSecond) << "not due yet";
    FrameAt(acquired + 10 * kSecond);
    EXPECT_EQ(deadlines.nextBrightnessRefresh, acquired + 20 * kSecond);

    const Nanoseconds night = acquired + 12 * kSecond;
    FrameAt(night);
    Sim::CallScriptFunction(time, L"OnDayOrNightChangedDynamic");
    EXPECT_TRUE(mod_->BrightnessDirty());
    const Nanoseconds next = night + 3 * kCounterTick;
    FrameAt(next);
    EXPECT_FALSE(mod_->BrightnessDirty()) << "consumed by the next frame";
    EXPECT_EQ(deadlines.nextBrightnessRefresh, next + 10 * kSecond);
    FrameAt(next + kSecond);
    EXPECT_EQ(deadlines.nextBrightnessRefresh, next + 10 * kSecond) << "a clean flag waits for the deadline";
}

TEST_F(FrameDriver, TheAiListIsRefreshedEveryHalfSecondFromTheKeptSubsystem)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    // No begin-play event tells of creatures here (the loader's settings leave its actor
    // callbacks out): only the refresh finds them.
    Sim::RefuseLoaderCallbacks(true);
    auto* world = Sim::CreateWorld(L"Valley");
    const Nanoseconds acquired = StartSessionIn(world);
    ASSERT_NE(Session().gameData.aiSubsystem, nullptr);
    auto* creature = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");

    Sim::ResetCounters();
    FrameAt(acquired + kHalfSecond - kCounterTick);
    EXPECT_FALSE(Tracks(*mod_, creature));
    EXPECT_EQ(Session().deadlines.nextAiRefresh, acquired + kHalfSecond);
    FrameAt(acquired + kHalfSecond);
    EXPECT_TRUE(Tracks(*mod_, creature));
    EXPECT_EQ(Session().deadlines.nextAiRefresh, acquired + 2 * kHalfSecond);
    FrameAt(acquired + 3 * kHalfSecond);
    EXPECT_EQ(Session().deadlines.nextAiRefresh, acquired + 4 * kHalfSecond);
    EXPECT_EQ(Sim::Counters().FindAllOf, 0u) << "the subsystem is searched only when the kept one is lost";
}

// Without the loader's begin-play callback, an NPC arriving later is looked for every two
// seconds, counted from the session's first scan; the AI set needs no such walk.
TEST_F(FrameDriver, WithoutTheLoadersActorCallbacksNpcsAreLookedForEveryTwoSeconds)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Sim::RefuseLoaderCallbacks(true);
    auto* world = Sim::CreateWorld(L"Valley");
    const Nanoseconds acquired = StartSessionIn(world);
    auto* npc = Sim::SpawnActor(world, L"/Script/Umbrafel.InteractableNPC");
    Sim::ResetCounters();
    FrameAt(acquired + 4 * kHalfSecond - kCounterTick);
    EXPECT_FALSE(Tracks(*mod_, npc));
    EXPECT_EQ(Sim::Counters().FindAllOf, 0u);
    FrameAt(acquired + 4 * kHalfSecond);
    EXPECT_TRUE(Tracks(*mod_, npc));
    EXPECT_EQ(Sim::Counters().FindAllOf, 1u);
    FrameAt(acquired + 7 * kHalfSecond);
    EXPECT_EQ(Sim::Counters().FindAllOf, 1u);
}

TEST_F(FrameDriver, AValidSessionIsKeptFrameAfterFrameWithoutAnotherDiscovery)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto* world = Sim::CreateWorld(L"Valley");
    auto* gameInstance = Sim::CreateGameInstance(world);
    auto entered = Sim::EnterLocalPlayer(world);
    StartMod();
    FrameAt(Now());
    ASSERT_EQ(Session().discovery.pawn, entered.pawn);
    Sim::ResetCounters();
    for (int frame = 0; frame < 90; ++frame)
    {
        Sim::TickEngine(1.0f / 60.0f);
    }
    EXPECT_EQ(Sim::Counters().FindAllOf, 0u);
    EXPECT_EQ(mod_->NextSessionAttempt(), 0) << "never failed, never retried";
    EXPECT_EQ(Session().discovery.world, world);
    EXPECT_EQ(Session().discovery.gameInstance, gameInstance);
    EXPECT_EQ(Session().discovery.playerController, entered.controller);
}
} // namespace
