// Session life against a simulated game: discovery refuses menus and stale worlds, the frame
// driver keeps, drops and rebuilds the session at the right frames, and runtime events feed
// the tracked-actor lists only with what belongs to the session's world.
#include "support/EngineFixture.hpp"

#include "mod/LiveOrvantaMod.hpp"
#include "settings/ModSettings.hpp"

#include <Sim/Types.hpp>
#include <Sim/World.hpp>

#include <algorithm>

namespace
{
using namespace RC::Unreal;
using Orv::LiveOrvantaMod;

constexpr float kFrame = 1.0f / 60.0f;

class SteppedMod : public LiveOrvantaMod
{
  public:
    using LiveOrvantaMod::TrackActor;
};

struct Player
{
    UWorld* world = nullptr;
    UObject* gameInstance = nullptr;
    UObject* controller = nullptr;
    UObject* pawn = nullptr;
};

Player MakePlayer(std::wstring_view map, UObject* gameInstance = nullptr)
{
    Player player;
    player.world = Sim::CreateWorld(map);
    player.gameInstance = gameInstance != nullptr ? gameInstance : Sim::CreateGameInstance(player.world);
    auto local = Sim::EnterLocalPlayer(player.world);
    player.controller = local.controller;
    player.pawn = local.pawn;
    return player;
}

bool Tracks(const LiveOrvantaMod& mod, const UObject* actor)
{
    const auto& tracked = mod.Session().actors.trackedActors;
    return std::find(tracked.begin(), tracked.end(), actor) != tracked.end();
}

class Session : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        Orv::Settings() = Orv::DefaultSettings();
    }

    void TearDown() override
    {
        mod_.reset();
        Orv::Settings() = Orv::DefaultSettings();
    }

    void StartMod()
    {
        mod_ = std::make_unique<SteppedMod>();
        mod_->on_unreal_init();
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            Sim::TickEngine(kFrame);
        }
    }

    std::unique_ptr<SteppedMod> mod_;
};

TEST_F(Session, TheLocalPlayerInTheCurrentWorldGetsASession)
{
    Player player = MakePlayer(L"Valley");
    StartMod();
    Frames(1);
    const auto& session = mod_->Session();
    EXPECT_EQ(session.discovery.world, player.world);
    EXPECT_EQ(session.discovery.playerController, player.controller);
    EXPECT_EQ(session.discovery.pawn, player.pawn);
    EXPECT_EQ(session.discovery.gameInstance, player.gameInstance);
    EXPECT_TRUE(mod_->MapDataDirty());
    EXPECT_TRUE(mod_->AiSnapshotTaken()) << "the first frame with AI shown takes the full scan";
}

TEST_F(Session, MenusNeverBuildASessionAndDiscoveryIsThrottled)
{
    auto* world = Sim::CreateWorld(L"MainMenu");
    Sim::CreateGameInstance(world);
    Sim::CreatePlayerController(world, Sim::ControllerKind::Menu);
    StartMod();
    Frames(1);
    auto firstRetry = mod_->NextSessionAttempt();
    EXPECT_GT(firstRetry, 0);
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Frames(20);
    EXPECT_EQ(mod_->NextSessionAttempt(), firstRetry) << "no attempt before half a second";
    Frames(20);
    EXPECT_GT(mod_->NextSessionAttempt(), firstRetry);
    EXPECT_EQ(mod_->Session().discovery.playerController, nullptr);
    EXPECT_EQ(Sim::Observations().addToViewport, 0u);
}

TEST_F(Session, AControllerWhosePawnPropertyIsNullStillYieldsThePawnItAnswers)
{
    Player player = MakePlayer(L"Valley");
    auto* pawnProperty = Sim::FindPropertyUncounted(player.controller->GetClassPrivate(), L"Pawn");
    ASSERT_NE(pawnProperty, nullptr);
    *pawnProperty->ContainerPtrToValuePtr<UObject*>(player.controller) = nullptr;
    StartMod();
    Frames(1);
    EXPECT_EQ(mod_->Session().discovery.pawn, player.pawn);
}

TEST_F(Session, APawnThatIsNoPlayerCharacterIsRefusedAndMakesALiveSessionStale)
{
    Player player = MakePlayer(L"Valley");
    StartMod();
    Frames(1);
    ASSERT_EQ(mod_->Session().discovery.pawn, player.pawn);

    auto* vehicle = Sim::SpawnActor(player.world, L"/Script/Engine.Pawn");
    Sim::Possess(player.controller, vehicle);
    Frames(1);
    EXPECT_EQ(mod_->Session().discovery.pawn, nullptr);
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Frames(60);
    EXPECT_EQ(mod_->Session().discovery.pawn, nullptr);

    Sim::Possess(player.controller, player.pawn);
    Frames(31);
    EXPECT_EQ(mod_->Session().discovery.pawn, player.pawn);
}

TEST_F(Session, ARespawnRebuildsTheSessionOnTheSameFrame)
{
    Player player = MakePlayer(L"Valley");
    StartMod();
    Frames(60);
    auto* newPawn = Sim::Respawn(player.controller);
    Frames(1);
    EXPECT_EQ(mod_->Session().discovery.pawn, newPawn);
    EXPECT_EQ(mod_->Session().discovery.world, player.world);
}

TEST_F(Session, AfterAWorldChangeTheOldWorldsControllerIsSkippedUntilTheNewWorldHasOne)
{
    Player first = MakePlayer(L"Valley");
    StartMod();
    Frames(1);
    ASSERT_EQ(mod_->Session().discovery.world, first.world);

    auto* second = Sim::CreateWorld(L"Caves");
    Sim::TravelSeamless(first.gameInstance, second, 120);
    EXPECT_TRUE(mod_->WorldChangePending());
    EXPECT_EQ(mod_->LeftWorld(), static_cast<void*>(first.world));

    Frames(1);
    EXPECT_FALSE(mod_->WorldChangePending());
    EXPECT_EQ(mod_->Session().discovery.world, nullptr);
    EXPECT_TRUE(Orv::IsLive(first.controller, false)) << "the old world is still dying";
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Frames(60);
    EXPECT_EQ(mod_->Session().discovery.world, nullptr) << "the old world's controller is never taken";

    auto* controller = Sim::CreatePlayerController(second, Sim::ControllerKind::Game);
    auto* pawn = Sim::SpawnActor(second, L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    Sim::Possess(controller, pawn);
    Frames(31);
    EXPECT_EQ(mod_->Session().discovery.world, second);
    EXPECT_EQ(mod_->Session().discovery.pawn, pawn);
    EXPECT_EQ(mod_->LeftWorld(), nullptr);
}

TEST_F(Session, TheGameInstanceOfTheControllersWorldIsChosenWhateverTheHostsOrder)
{
    auto* elsewhere = Sim::CreateWorld(L"Elsewhere");
    Sim::CreateGameInstance(elsewhere);
    Player player = MakePlayer(L"Valley");
    Sim::CreateGameInstance(Sim::CreateWorld(L"Yonder"));
    StartMod();
    Frames(1);
    EXPECT_EQ(mod_->Session().discovery.gameInstance, player.gameInstance);
}

TEST_F(Session, TheEnginesGameInstanceClassIsTheFallback)
{
    auto* world = Sim::CreateWorld(L"Valley");
    Player player = MakePlayer(L"Valley2", Sim::CreateGameInstance(world, false));
    Sim::SetGameInstanceWorld(player.gameInstance, player.world);
    StartMod();
    Frames(1);
    EXPECT_EQ(mod_->Session().discovery.gameInstance, player.gameInstance);
}

// The actor events reach the mod only where the game implements them; these tests play such
// a game. Without them the mod follows creatures through its refreshes (tests further down).
class RuntimeEvents : public Session
{
  protected:
    void SetUp() override
    {
        Session::SetUp();
        OrvTest::ImplementPlayEvents();
        player_ = MakePlayer(L"Valley");
        StartMod();
        Frames(1);
        ASSERT_EQ(mod_->Session().discovery.world, player_.world);
    }

    UObject* SpawnCreature(UWorld* world) { return Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter"); }

    Player player_;
};

TEST_F(RuntimeEvents, ACreatureThatBeginsPlayIsTrackedOnTheNextFrame)
{
    auto* creature = SpawnCreature(player_.world);
    EXPECT_FALSE(Tracks(*mod_, creature));
    EXPECT_EQ(mod_->Session().actors.pendingBeginPlay.size(), 1u);
    Frames(1);
    EXPECT_TRUE(Tracks(*mod_, creature));
    Sim::DestroyActor(creature);
    Frames(1);
    EXPECT_FALSE(Tracks(*mod_, creature));
}

TEST_F(RuntimeEvents, BeginThenEndBeforeTheNextFrameIsNeverTracked)
{
    auto* creature = SpawnCreature(player_.world);
    Sim::DestroyActor(creature);
    Frames(1);
    EXPECT_FALSE(Tracks(*mod_, creature));
    EXPECT_TRUE(mod_->Session().actors.pendingBeginPlay.empty());
    EXPECT_TRUE(mod_->Session().actors.pendingEndPlay.empty());
}

TEST_F(RuntimeEvents, TheSameBeginPlayTwiceIsQueuedOnce)
{
    auto* creature = SpawnCreature(player_.world);
    Sim::CallScriptFunction(creature, L"ReceiveBeginPlay");
    EXPECT_EQ(mod_->Session().actors.pendingBeginPlay.size(), 1u);
}

TEST_F(RuntimeEvents, ACreatureOfAnotherWorldIsNotQueued)
{
    auto* other = Sim::CreateWorld(L"Sublevel");
    SpawnCreature(other);
    EXPECT_TRUE(mod_->Session().actors.pendingBeginPlay.empty());
}

TEST_F(RuntimeEvents, WithAiHiddenActorEventsAreDroppedAndTheListsEmptied)
{
    auto* tracked = SpawnCreature(player_.world);
    Frames(1);
    ASSERT_TRUE(Tracks(*mod_, tracked));
    Orv::Settings().ShowAi = false;
    SpawnCreature(player_.world);
    EXPECT_TRUE(mod_->Session().actors.pendingBeginPlay.empty());
    Frames(1);
    EXPECT_TRUE(mod_->Session().actors.trackedActors.empty());
    EXPECT_FALSE(mod_->AiSnapshotTaken());

    Orv::Settings().ShowAi = true;
    Frames(1);
    EXPECT_TRUE(mod_->AiSnapshotTaken()) << "showing AI again takes a full scan";
}

TEST_F(RuntimeEvents, ThePawnIsNeverTracked)
{
    mod_->TrackActor(player_.pawn);
    EXPECT_FALSE(Tracks(*mod_, player_.pawn));
    auto* creature = SpawnCreature(player_.world);
    mod_->TrackActor(creature);
    EXPECT_TRUE(Tracks(*mod_, creature));
}

TEST_F(RuntimeEvents, NpcsAreFoundByTheFullScan)
{
    Orv::Settings().ShowAi = false;
    Frames(1);
    auto* npc = Sim::SpawnActor(player_.world, L"/Script/Umbrafel.InteractableNPC");
    Orv::Settings().ShowAi = true;
    Frames(1);
    EXPECT_TRUE(Tracks(*mod_, npc));
}

TEST_F(RuntimeEvents, AScriptCallThatQueuesDuringTheQueueWalkLeavesTheWalkValid)
{
    // While the walk asks a queued creature whether it is being destroyed, another creature
    // begins play and is queued behind it.
    UObject* latecomer = nullptr;
    auto* isBeingDestroyed = Sim::FindFunctionByPath(L"/Script/Engine.Actor:IsActorBeingDestroyed");
    ASSERT_NE(isBeingDestroyed, nullptr);
    auto hook = isBeingDestroyed->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) {
        if (latecomer == nullptr)
        {
            latecomer = SpawnCreature(player_.world);
            for (int i = 0; i < 64; ++i)
            {
                SpawnCreature(player_.world); // enough to make the queue reallocate
            }
        }
    });
    auto* first = SpawnCreature(player_.world);
    Frames(1);
    isBeingDestroyed->UnregisterHook(hook);
    EXPECT_TRUE(Tracks(*mod_, first));
    EXPECT_TRUE(Tracks(*mod_, latecomer));
    EXPECT_EQ(mod_->Session().actors.trackedActors.size(), 66u);
}

TEST_F(RuntimeEvents, DayNightChangesCountOnlyFromTheSessionsWorld)
{
    Frames(1);
    ASSERT_FALSE(mod_->BrightnessDirty());
    auto* other = Sim::CreateWorld(L"Elsewhere");
    auto* timeClass = Sim::FindClass(L"/Script/Umbrafel.InGameTimeSubsystem");
    Sim::CallScriptFunction(Sim::NewObject(timeClass, other, L"OtherTime"), L"OnDayOrNightChangedDynamic");
    EXPECT_FALSE(mod_->BrightnessDirty()) << "another world's day/night change";
    Sim::CallScriptFunction(Sim::NewObject(timeClass, player_.world, L"Time"), L"OnDayOrNightChangedDynamic");
    EXPECT_TRUE(mod_->BrightnessDirty());
}

} // namespace
