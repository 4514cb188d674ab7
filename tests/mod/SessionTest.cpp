// Session life against a simulated game: discovery refuses menus and stale worlds, the frame
// driver keeps, drops and rebuilds the session at the right frames, and runtime events feed
// the tracked-actor lists only with what belongs to the session's world.
#include "ModFixture.hpp"

#include <Sim/Types.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <cstring>
#include <functional>

namespace
{
using namespace RC::Unreal;
using Orv::LiveOrvantaMod;

using OrvTest::AsObject;
using OrvTest::Contains;
using OrvTest::kFrame;
using OrvTest::MakePlayer;
using OrvTest::NotifyWorldChange;
using OrvTest::Player;
using OrvTest::Tracks;

class Session : public OrvTest::ModFixture
{
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
    EXPECT_FALSE(mod_->MapDataDirty()) << "the first frame lists the map's markers";
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

// Each of these worlds has a local player of a sort, and none of them is one to follow: no
// session is built and discovery is retried later.
TEST_F(Session, DiscoveryRefusesAnythingButALiveGameControllerWithAPlayerCharacterAndItsGameInstance)
{
    using Build = std::function<void(UWorld*)>;
    auto playerCharacter = [](UWorld* world) { return Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter"); };
    auto controlled = [&](Sim::ControllerKind kind) {
        return [=](UWorld* world) {
            Sim::CreateGameInstance(world);
            Sim::Possess(Sim::CreatePlayerController(world, kind), playerCharacter(world));
        };
    };
    struct Case
    {
        const char* what;
        Build build;
    };
    const Case cases[] = {
        {"nobody at all", [](UWorld* world) { Sim::CreateGameInstance(world); }},
        {"a game controller without a pawn",
         [](UWorld* world) {
             Sim::CreateGameInstance(world);
             Sim::CreatePlayerController(world, Sim::ControllerKind::Game);
         }},
        {"no game instance of this world",
         [&](UWorld* world) {
             Sim::CreateGameInstance(Sim::CreateWorld(L"Elsewhere"));
             Sim::EnterLocalPlayer(world);
         }},
        {"the game's base controller", controlled(Sim::ControllerKind::Base)},
        {"the engine's plain controller", controlled(Sim::ControllerKind::Plain)},
        {"a menu controller beside the game's",
         [](UWorld* world) {
             Sim::CreateGameInstance(world);
             Sim::EnterLocalPlayer(world);
             Sim::CreatePlayerController(world, Sim::ControllerKind::Menu);
         }},
        {"a class default object in the pawn slot",
         [](UWorld* world) {
             Sim::CreateGameInstance(world);
             auto entered = Sim::EnterLocalPlayer(world);
             UObject* defaults = Sim::FindClass(L"/Script/Umbrafel.UmbrafelPlayerCharacter")->GetClassDefaultObject();
             ASSERT_TRUE(Sim::SetObjectReference(entered.controller, L"Pawn", defaults));
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        mod_.reset();
        StartEngine();
        c.build(Sim::CreateWorld(L"Valley"));
        StartMod();
        Frames(1);
        EXPECT_EQ(mod_->Session().discovery.world, nullptr);
        EXPECT_EQ(mod_->Session().discovery.pawn, nullptr);
        EXPECT_GT(mod_->NextSessionAttempt(), 0) << "the failed attempt set the next one";
        EXPECT_FALSE(mod_->AiSnapshotTaken()) << "nothing of a session ran";
    }
}

TEST_F(Session, AnAttemptThatFindsNoGameInstanceAsksForBothClassesAndNoOther)
{
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::EnterLocalPlayer(world);
    StartMod();
    Sim::ResetCounters();
    Frames(1);
    // Two controller classes until the game's is found, then the game's and the engine's
    // game-instance classes.
    EXPECT_EQ(Sim::Counters().FindAllOf, 4u);
    EXPECT_EQ(mod_->Session().discovery.world, nullptr);
}

// The local player is there, and so is a controller found before it that must be passed over.
TEST_F(Session, DiscoveryPassesOverControllersThatAreRemoteDeadOrInADeadWorld)
{
    using Distract = std::function<void(const Player&)>;
    auto withPawn = [](UWorld* world, bool local) {
        UObject* controller = Sim::CreatePlayerController(world, Sim::ControllerKind::Game, local);
        Sim::Possess(controller, Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter"));
        return controller;
    };
    struct Case
    {
        const char* what;
        Distract distract;
    };
    const Case cases[] = {
        {"another machine's player", [&](const Player& p) { withPawn(p.world, false); }},
        {"a local controller on its way out", [&](const Player& p) { Sim::MarkPendingKill(withPawn(p.world, true)); }},
        {"a local controller in a dying world",
         [&](const Player&) {
             UWorld* dying = Sim::CreateWorld(L"Dying");
             Sim::CreateGameInstance(dying);
             withPawn(dying, true);
             Sim::MarkPendingKill(AsObject(dying));
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        mod_.reset();
        StartEngine();
        Player player = MakePlayer(L"Valley");
        c.distract(player);
        StartMod();
        Frames(1);
        EXPECT_EQ(mod_->Session().discovery.playerController, player.controller);
        EXPECT_EQ(mod_->Session().discovery.pawn, player.pawn);
        EXPECT_EQ(mod_->Session().discovery.world, player.world);
    }
}

TEST_F(Session, TheEnginesGameInstanceOfThisWorldIsChosenOverTheGamesOfAnother)
{
    auto* elsewhere = Sim::CreateWorld(L"Elsewhere");
    auto* world = Sim::CreateWorld(L"Valley");
    auto* engineInstance = Sim::CreateGameInstance(world, false);
    Sim::CreateGameInstance(Sim::CreateWorld(L"Yonder"), false);
    Sim::CreateGameInstance(elsewhere);
    Sim::EnterLocalPlayer(world);
    StartMod();
    Frames(1);
    EXPECT_EQ(mod_->Session().discovery.gameInstance, engineInstance);
}

// A session stands only while every one of its references does; each case breaks one alone.
TEST_F(Session, EachReferenceThatBreaksAloneMakesTheSessionStale)
{
    using Break = std::function<void(const Player&)>;
    struct Case
    {
        const char* what;
        Break breakIt;
    };
    const Case cases[] = {
        {"the world dies", [](const Player& p) { Sim::MarkPendingKill(AsObject(p.world)); }},
        {"the game instance dies", [](const Player& p) { Sim::MarkPendingKill(p.gameInstance); }},
        {"the controller dies", [](const Player& p) { Sim::MarkPendingKill(p.controller); }},
        {"the pawn dies", [](const Player& p) { Sim::MarkPendingKill(p.pawn); }},
        {"the world is being left", [](const Player& p) { NotifyWorldChange(p.gameInstance, p.world, nullptr); }},
        {"the game instance moves on to another world",
         [](const Player& p) { Sim::SetGameInstanceWorld(p.gameInstance, Sim::CreateWorld(L"Elsewhere")); }},
        // Seamless travel carries the controller over and leaves the pawn behind; the
        // stand-in's world override, made for game instances, answers the controller's world
        // the same way.
        {"the controller is carried into another world",
         [](const Player& p) { Sim::SetGameInstanceWorld(p.controller, Sim::CreateWorld(L"Elsewhere")); }},
        {"the controller possesses another character",
         [](const Player& p) {
             Sim::Possess(p.controller, Sim::SpawnActor(p.world, L"/Script/Umbrafel.UmbrafelPlayerCharacter"));
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        mod_.reset();
        StartEngine();
        Player player = MakePlayer(L"Valley");
        StartMod();
        Frames(1);
        ASSERT_EQ(mod_->Session().discovery.pawn, player.pawn);
        ASSERT_TRUE(mod_->SessionStillValid());
        c.breakIt(player);
        EXPECT_FALSE(mod_->SessionStillValid());
    }
}

TEST_F(Session, ANonPlayerCharacterFoundBeforeTheSessionIsTrackedOnItsFirstFrame)
{
    Player player = MakePlayer(L"Valley");
    auto* npc = Sim::SpawnActor(player.world, L"/Script/Umbrafel.InteractableNPC");
    auto* strangerElsewhere = Sim::SpawnActor(Sim::CreateWorld(L"Elsewhere"), L"/Script/Umbrafel.InteractableNPC");
    StartMod();
    Frames(1);
    EXPECT_TRUE(Tracks(*mod_, npc));
    EXPECT_FALSE(Tracks(*mod_, strangerElsewhere)) << "another world's NPC is not ours to draw";
}

TEST_F(Session, TheClassTestsKnowTheGamesControllersAndCharacterAndNothingElse)
{
    Player player = MakePlayer(L"Valley");
    auto* menu = Sim::CreatePlayerController(player.world, Sim::ControllerKind::Menu, false);
    auto* base = Sim::CreatePlayerController(player.world, Sim::ControllerKind::Base, false);
    auto* creature = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
    StartMod();
    struct Case
    {
        const char* what;
        UObject* object;
        bool menuController;
        bool gameController;
        bool playerCharacter;
    };
    const Case cases[] = {
        {"the menu's controller", menu, true, false, false},
        {"the game's controller", player.controller, false, true, false},
        {"the controllers' common base", base, false, false, false},
        {"the player character", player.pawn, false, false, true},
        {"a creature", creature, false, false, false},
        {"no object", nullptr, false, false, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(mod_->IsMenuController(c.object), c.menuController);
        EXPECT_EQ(mod_->IsGameController(c.object), c.gameController);
        EXPECT_EQ(mod_->IsPlayerCharacter(c.object), c.playerCharacter);
    }
}

TEST_F(Session, TheAiListIsReadFromTheSessionWorldsSubsystemOnly)
{
    Player player = MakePlayer(L"Valley");
    auto* ours = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
    // Its subsystem is newer, so the engine lists it first.
    auto* other = Sim::CreateWorld(L"Elsewhere");
    auto* theirs = Sim::SpawnActor(other, L"/Script/Umbrafel.UmbrafelAICharacter");
    StartMod();
    Frames(1);
    EXPECT_TRUE(Tracks(*mod_, ours));
    EXPECT_FALSE(Tracks(*mod_, theirs));
    ASSERT_NE(mod_->Session().gameData.aiSubsystem, nullptr);
    EXPECT_EQ(mod_->Session().gameData.aiSubsystem->GetWorld(), player.world);
}

TEST_F(Session, AnAiSubsystemOnItsWayOutIsNoLongerRead)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    // Only the subsystem could tell of the creature: the loader's settings leave its actor
    // callbacks out.
    Sim::RefuseLoaderCallbacks(true);
    Player player = MakePlayer(L"Valley");
    StartMod();
    Frames(1);
    UObject* subsystem = mod_->Session().gameData.aiSubsystem;
    ASSERT_NE(subsystem, nullptr);
    Sim::MarkPendingKill(subsystem);
    auto* creature = Sim::SpawnActor(player.world, L"/Script/Umbrafel.UmbrafelAICharacter");
    Frames(31);
    EXPECT_EQ(mod_->Session().gameData.aiSubsystem, nullptr);
    EXPECT_FALSE(Tracks(*mod_, creature)) << "read from a dead subsystem";
}

TEST_F(Session, HidingAiEmptiesTheListsAndTheSnapshotEvenWithNothingTracked)
{
    Player player = MakePlayer(L"Valley");
    StartMod();
    Frames(1);
    ASSERT_TRUE(mod_->AiSnapshotTaken());
    ASSERT_TRUE(mod_->Session().actors.trackedActors.empty());
    Orv::Settings().ShowAi = false;
    Frames(1);
    EXPECT_FALSE(mod_->AiSnapshotTaken());
    EXPECT_EQ(mod_->Session().deadlines.nextAiRefresh, 0);
    EXPECT_EQ(mod_->Session().discovery.pawn, player.pawn);
}

// Actors' begin and end of play reach the mod through the loader's callbacks on the engine's
// own functions, whichever blueprint implements the script events.
class RuntimeEvents : public Session
{
  protected:
    void SetUp() override
    {
        Session::SetUp();
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
    mod_->OnRuntimeEvent(Orv::LiveOrvantaMod::RuntimeEvent::ActorBeginPlay, creature);
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

// The actor events as the hooks deliver them, with the game's own begin-play events kept
// silent while the objects are made, so that only the calls under test count.
TEST_F(RuntimeEvents, ActorEventsQueueOnlyLiveCreaturesAndNpcsAndBeginPlayOnlyFromTheSessionWorld)
{
    using Event = LiveOrvantaMod::RuntimeEvent;
    Sim::SetSilentEvents(true);
    auto* creature = SpawnCreature(player_.world);
    auto* npc = Sim::SpawnActor(player_.world, L"/Script/Umbrafel.InteractableNPC");
    auto* character = Sim::SpawnActor(player_.world, L"/Script/Engine.Character");
    auto* stranger = SpawnCreature(Sim::CreateWorld(L"Sublevel"));
    auto* dying = SpawnCreature(player_.world);
    Sim::MarkPendingKill(dying);
    UObject* defaults = Sim::FindClass(L"/Script/Umbrafel.UmbrafelAICharacter")->GetClassDefaultObject();
    Sim::SetSilentEvents(false);

    struct Case
    {
        const char* what;
        UObject* object;
        bool showAi;
        bool queuedOnBegin;
        bool queuedOnEnd;
    };
    const Case cases[] = {
        {"a creature", creature, true, true, true},
        {"an NPC", npc, true, true, true},
        {"a creature while AI is hidden", creature, false, false, false},
        {"a character of no tracked kind", character, true, false, false},
        // An actor leaving play is dropped from the lists whatever its world.
        {"a creature of another world", stranger, true, false, true},
        {"a creature on its way out", dying, true, false, false},
        {"the creature class's default object", defaults, true, false, false},
        {"no object", nullptr, true, false, false},
    };
    const auto& actors = mod_->Session().actors;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Frames(1); // empties both queues
        ASSERT_TRUE(actors.pendingBeginPlay.empty());
        ASSERT_TRUE(actors.pendingEndPlay.empty());
        Orv::Settings().ShowAi = c.showAi;
        mod_->OnRuntimeEvent(Event::ActorBeginPlay, c.object);
        mod_->OnRuntimeEvent(Event::ActorEndPlay, c.object);
        EXPECT_EQ(actors.pendingBeginPlay.size(), c.queuedOnBegin ? 1u : 0u);
        EXPECT_EQ(actors.pendingEndPlay.size(), c.queuedOnEnd ? 1u : 0u);
        Orv::Settings().ShowAi = true;
    }
}

TEST_F(RuntimeEvents, EventValuesBeyondTheSevenKnownAreIgnored)
{
    using Event = LiveOrvantaMod::RuntimeEvent;
    auto* creature = SpawnCreature(player_.world);
    Frames(1);
    ASSERT_TRUE(mod_->Session().actors.pendingBeginPlay.empty());
    ASSERT_FALSE(mod_->BrightnessDirty());
    for (int value : {7, 8, 255})
    {
        mod_->OnRuntimeEvent(static_cast<Event>(value), creature);
        mod_->OnRuntimeEvent(static_cast<Event>(value), nullptr);
    }
    EXPECT_TRUE(mod_->Session().actors.pendingBeginPlay.empty());
    EXPECT_TRUE(mod_->Session().actors.pendingEndPlay.empty());
    EXPECT_FALSE(mod_->BrightnessDirty());
}

TEST_F(RuntimeEvents, DayNightChangesCountFromTheSessionWorldOrWithoutAnObjectButNotFromTheDead)
{
    auto* timeClass = Sim::FindClass(L"/Script/Umbrafel.InGameTimeSubsystem");
    auto* dead = Sim::NewObject(timeClass, player_.world, L"OldTime");
    Sim::MarkPendingKill(dead);
    struct Case
    {
        const char* what;
        UObject* object;
        bool raises;
    };
    const Case cases[] = {
        {"the session world's clock", Sim::NewObject(timeClass, player_.world, L"Time"), true},
        {"another world's clock", Sim::NewObject(timeClass, Sim::CreateWorld(L"Elsewhere"), L"OtherTime"), false},
        {"no object", nullptr, true},
        {"a clock on its way out", dead, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Frames(1);
        ASSERT_FALSE(mod_->BrightnessDirty());
        mod_->OnRuntimeEvent(LiveOrvantaMod::RuntimeEvent::DayNightChanged, c.object);
        EXPECT_EQ(mod_->BrightnessDirty(), c.raises);
    }
}

TEST_F(RuntimeEvents, ADayNightChangeWhileTheSessionWorldIsGoneIsKeptForTheNextSession)
{
    ASSERT_FALSE(mod_->BrightnessDirty());
    auto* dungeon = Sim::CreateWorld(L"Dungeon", false);
    Sim::Travel(player_.gameInstance, dungeon);
    ASSERT_EQ(mod_->Session().discovery.world, nullptr) << "freed with the map";
    ASSERT_FALSE(mod_->BrightnessDirty()) << "no frame has run since";
    auto* time = Sim::NewObject(Sim::FindClass(L"/Script/Umbrafel.InGameTimeSubsystem"), dungeon, L"Time");
    Sim::CallScriptFunction(time, L"OnDayOrNightChangedDynamic");
    EXPECT_TRUE(mod_->BrightnessDirty());
}

// Begin play and day/night are seen once the game has done its part, end play while the
// actor still is what it was.
TEST_F(RuntimeEvents, BeginPlayAndDayNightAreSeenAfterTheGamesOwnWorkAndEndPlayBefore)
{
    const auto& actors = mod_->Session().actors;
    bool queuedBeforeItsBeginPlay = true;
    bool queuedBeforeItsEndPlay = false;
    UClass* howler = OrvTest::PlayingBlueprint(
        player_.world, L"BP_Howler", L"/Script/Umbrafel.UmbrafelAICharacter",
        [&](Sim::Call& call) { queuedBeforeItsBeginPlay = Contains(actors.pendingBeginPlay, call.Self()); },
        [&](Sim::Call& call) { queuedBeforeItsEndPlay = Contains(actors.pendingEndPlay, call.Self()); });
    auto* creature = Sim::SpawnActor(player_.world, howler);
    EXPECT_FALSE(queuedBeforeItsBeginPlay);
    EXPECT_TRUE(Contains(actors.pendingBeginPlay, creature));
    Sim::DestroyActor(creature);
    EXPECT_TRUE(queuedBeforeItsEndPlay);

    // The day/night event's body is the game's own; a hook of the test's, registered after the
    // mod's, runs before it among the pre-hooks and after it among the post-hooks.
    auto* dayNight = Sim::FindFunctionByPath(L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic");
    bool dirtyBeforeTheChange = true;
    auto hook = dayNight->RegisterPreHook(
        [&](UnrealScriptFunctionCallableContext&, void*) { dirtyBeforeTheChange = mod_->BrightnessDirty(); });
    ASSERT_FALSE(mod_->BrightnessDirty());
    Sim::CallScriptFunction(Sim::NewObject(Sim::FindClass(L"/Script/Umbrafel.InGameTimeSubsystem"), player_.world),
                            L"OnDayOrNightChangedDynamic");
    dayNight->UnregisterHook(hook);
    EXPECT_FALSE(dirtyBeforeTheChange);
    EXPECT_TRUE(mod_->BrightnessDirty());
}

TEST_F(RuntimeEvents, AnActorIsGoneWhenItIsNotLiveOrSaysItIsBeingDestroyed)
{
    auto* standing = SpawnCreature(player_.world);
    auto* finished = SpawnCreature(player_.world);
    Sim::MarkPendingKill(finished);
    UObject* defaults = Sim::FindClass(L"/Script/Umbrafel.UmbrafelAICharacter")->GetClassDefaultObject();
    EXPECT_FALSE(mod_->IsActorGone(standing));
    EXPECT_TRUE(mod_->IsActorGone(finished));
    EXPECT_TRUE(mod_->IsActorGone(defaults)) << "a class default object is no actor in play";
    EXPECT_TRUE(mod_->IsActorGone(nullptr));

    bool goneDuringItsEndPlay = false;
    UClass* howler = OrvTest::PlayingBlueprint(player_.world, L"BP_Howler", L"/Script/Umbrafel.UmbrafelAICharacter", {},
                                               [&](Sim::Call& call) { goneDuringItsEndPlay = mod_->IsActorGone(call.Self()); });
    auto* leaving = Sim::SpawnActor(player_.world, howler);
    Sim::DestroyActor(leaving);
    EXPECT_TRUE(goneDuringItsEndPlay) << "still live, but being destroyed";
}

TEST_F(RuntimeEvents, AnActorBeingDestroyedIsNotTracked)
{
    bool trackedDuringItsEndPlay = true;
    // While it ends play the creature is live and says it is being destroyed.
    UClass* howler = OrvTest::PlayingBlueprint(player_.world, L"BP_Howler", L"/Script/Umbrafel.UmbrafelAICharacter", {},
                                               [&](Sim::Call& call) {
                                                   mod_->TrackActor(call.Self());
                                                   trackedDuringItsEndPlay = Tracks(*mod_, call.Self());
                                               });
    auto* creature = Sim::SpawnActor(player_.world, howler);
    Sim::DestroyActor(creature);
    EXPECT_FALSE(trackedDuringItsEndPlay);
}

TEST_F(RuntimeEvents, HidingAiBeforeTheNextFrameDropsWhatWasQueuedMeanwhile)
{
    auto* leaving = SpawnCreature(player_.world);
    Frames(1);
    ASSERT_TRUE(Tracks(*mod_, leaving));
    Orv::Settings().ShowAi = false;
    Frames(1);
    ASSERT_FALSE(mod_->AiSnapshotTaken());

    const auto& actors = mod_->Session().actors;
    // Shown again, an event queues, and AI is hidden before any frame took a snapshot.
    Orv::Settings().ShowAi = true;
    SpawnCreature(player_.world);
    ASSERT_EQ(actors.pendingBeginPlay.size(), 1u);
    Orv::Settings().ShowAi = false;
    Frames(1);
    EXPECT_TRUE(actors.pendingBeginPlay.empty());

    Orv::Settings().ShowAi = true;
    Sim::DestroyActor(leaving);
    ASSERT_EQ(actors.pendingEndPlay.size(), 1u);
    Orv::Settings().ShowAi = false;
    Frames(1);
    EXPECT_TRUE(actors.pendingEndPlay.empty());
}

} // namespace
