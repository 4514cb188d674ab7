// The played game on the stand-in engine: what a mod's session logic relies on (begin and end
// of play through hooks, travel, respawn, possession, locality, the clock, the collector
// following worlds) must happen as the engine does it, or the mod's tests prove nothing.
#include "support/EngineFixture.hpp"

// The performance counter as the mod reaches it, the system's on Windows.
#include "reflection/Host.hpp"

#include <Sim/Scene.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>
#include <Unreal/AActor.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UObjectGlobals.hpp>
#include <Sim/Values.hpp>
#include <Unreal/UnrealVersion.hpp>
#include <Unreal/World.hpp>

#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

constexpr float kFrame = 1.0f / 60.0f;

// Asked of the engine's records: a freed object's memory is poisoned or another object's.
bool IsLive(const UObject* object) { return Sim::HoldsObject(object) && object->GetObjectItem()->IsValid(false); }

bool IsFreed(const UObject* object) { return !Sim::HoldsObject(object); }


using OrvTest::PlayingBlueprint;

// Worlds come back as UWorld, which these tests need as the object it is.
UObject* AsObject(UWorld* world) { return reinterpret_cast<UObject*>(world); }

void Call(UObject* object, const wchar_t* functionPath)
{
    auto* function = Sim::FindFunctionByPath(functionPath);
    ASSERT_NE(function, nullptr);
    std::vector<uint8> parms(function->GetParmsSize() + 8u, 0);
    object->ProcessEvent(function, parms.data());
}

// A script call as a mod makes it: a zeroed parameter block through ProcessEvent, then the
// return value read from it.
template <typename T> T CallReturning(UObject* object, const wchar_t* functionPath)
{
    auto* function = Sim::FindFunctionByPath(functionPath);
    EXPECT_NE(function, nullptr) << "missing " << Sim::ToUtf8(functionPath);
    if (function == nullptr)
    {
        return T{};
    }
    std::vector<uint8> parms(function->GetParmsSize() + 8u, 0);
    object->ProcessEvent(function, parms.data());
    T value{};
    std::memcpy(&value, parms.data() + Sim::FindPropertyUncounted(function, L"ReturnValue")->GetOffset_Internal(),
                sizeof(T));
    return value;
}

// Whether anything was freed by the time the listener's owner asks.
struct DeletionOrder final : FUObjectDeleteListener
{
    void NotifyUObjectDeleted(const UObjectBase*, int32) override { freedBeforeBegin = true; }
    void OnUObjectArrayShutdown() override {}
    bool freedBeforeBegin = false;
};

class World : public OrvTest::EngineFixture
{
  protected:
    // Records each hooked call as "<function> <object name>" plus what the hook saw.
    void Record(const wchar_t* functionPath, bool pre, std::function<std::string(UObject*, uint8*)> detail = {})
    {
        auto* function = Sim::FindFunctionByPath(functionPath);
        ASSERT_NE(function, nullptr);
        std::string name = Sim::ToUtf8(function->GetName());
        auto callback = [this, name, detail](UnrealScriptFunctionCallableContext& context, void*) {
            std::string line = name + " " + Sim::ToUtf8(context.Context->GetName());
            if (detail)
            {
                line += " " + detail(context.Context, context.TheStack.Locals());
            }
            events_.push_back(line);
        };
        pre ? function->RegisterPreHook(callback) : function->RegisterPostHook(callback);
    }

    // Records the loader's callbacks on the engine's own BeginPlay, EndPlay and LoadMap as
    // "<function> <pre|post> <object name>", an end of play with what endDetail says of it.
    void RecordLoaderCallbacks(std::function<std::string(AActor*, EEndPlayReason)> endDetail = {})
    {
        Hook::FCallbackOptions options;
        options.OwnerModName = STR("Test");
        auto named = [](const char* what, UObject* object) { return std::string(what) + " " + Sim::ToUtf8(object->GetName()); };
        for (bool pre : {true, false})
        {
            const char* when = pre ? "pre" : "post";
            auto begin = [this, when, named](Hook::TCallbackIterationData<void>&, AActor* actor) {
                events_.push_back(named("BeginPlay", actor).insert(9, std::string(" ") + when));
            };
            auto end = [this, when, named, endDetail](Hook::TCallbackIterationData<void>&, AActor* actor, EEndPlayReason reason) {
                std::string line = named("EndPlay", actor).insert(7, std::string(" ") + when);
                events_.push_back(endDetail ? line + " " + endDetail(actor, reason) : line);
            };
            auto load = [this, when](Hook::TCallbackIterationData<bool>&, UEngine*, FWorldContext&, FURL url, UPendingNetGame*, FString&) {
                events_.push_back(std::string("LoadMap ") + when + " " + Sim::ToUtf8(url.Map.View()));
            };
            if (pre)
            {
                Hook::RegisterBeginPlayPreCallback(begin, options);
                Hook::RegisterEndPlayPreCallback(end, options);
                Hook::RegisterLoadMapPreCallback(load, options);
            }
            else
            {
                Hook::RegisterBeginPlayPostCallback(begin, options);
                Hook::RegisterEndPlayPostCallback(end, options);
                Hook::RegisterLoadMapPostCallback(load, options);
            }
        }
    }

    std::vector<std::string> events_;
};

TEST_F(World, TheClockStartsAwayFromZeroAndMovesOnlyByWholeFrames)
{
    int64 start = Sim::ClockNanoseconds();
    EXPECT_GT(start, 0);
    Sim::TickEngine(kFrame);
    EXPECT_EQ(Sim::ClockNanoseconds() - start, 16'666'668) << "the float delta 0.0166666675 s, rounded to nanoseconds";
    Sim::TickEngine(-1.0f);
    Sim::AdvanceClock(-5);
    EXPECT_EQ(Sim::ClockNanoseconds() - start, 16'666'668) << "a monotonic clock never runs back";

    // The performance counter is the engine clock; on Windows the system's calls are routed to it.
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_TRUE(QueryPerformanceCounter(&counter));
    EXPECT_EQ(frequency.QuadPart, 10'000'000);
    EXPECT_EQ(counter.QuadPart, Sim::ClockNanoseconds() / 100);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));

    Sim::ResetEngine();
    EXPECT_EQ(Sim::ClockNanoseconds(), start) << "a fresh engine starts its clock afresh";
}

// A level's actors begin with their world: the loader's callbacks on AActor::BeginPlay around
// the components' and then the actor's own script events, and on AActor::EndPlay around the
// actor's and then the components' ends, all while the actor is still live and in its world.
TEST_F(World, ActorsBeginAfterTheirComponentsAndEndBeforeThemWhileStillLive)
{
    auto* world = Sim::CreateWorld(L"Field", false);
    UClass* villager = PlayingBlueprint(world, L"BP_Villager", L"/Script/Umbrafel.InteractableNPC");
    PlayingBlueprint(world, L"BP_Badge", L"/Script/Engine.ActorComponent");
    auto endOfActor = [world](UObject* actor, uint8 reason) {
        auto actors = Sim::ActorsOf(world);
        bool inWorld = std::find(actors.begin(), actors.end(), actor) != actors.end();
        bool destroying = CallReturning<bool>(actor, L"/Script/Engine.Actor:IsActorBeingDestroyed");
        return std::to_string(reason) + (IsLive(actor) ? " live" : " dead") + (inWorld ? " in-world" : "") +
               (destroying ? " destroying" : "");
    };
    Record(L"/Game/Test/BP_Badge.BP_Badge_C:ReceiveBeginPlay", false);
    Record(L"/Game/Test/BP_Villager.BP_Villager_C:ReceiveBeginPlay", false);
    Record(L"/Game/Test/BP_Badge.BP_Badge_C:ReceiveEndPlay", true, [](UObject* object, uint8* parms) {
        return std::to_string(parms[0]) + (IsLive(object) ? " live" : " dead");
    });
    Record(L"/Game/Test/BP_Villager.BP_Villager_C:ReceiveEndPlay", true,
           [endOfActor](UObject* actor, uint8* parms) { return endOfActor(actor, parms[0]); });
    RecordLoaderCallbacks([endOfActor](AActor* actor, EEndPlayReason reason) {
        return endOfActor(actor, static_cast<uint8>(reason));
    });

    auto* npc = Sim::SpawnActor(world, villager, {}, L"Npc");
    ASSERT_NE(npc, nullptr);
    ASSERT_NE(Sim::AddComponent(npc, L"/Game/Test/BP_Badge.BP_Badge_C", L"Badge"), nullptr);
    EXPECT_TRUE(events_.empty()) << "nothing plays before its world does";
    Sim::BeginWorldPlay(world);
    EXPECT_EQ(npc->GetWorld(), world) << "actor, level, world";
    EXPECT_EQ(Sim::ComponentsOf(npc).front()->GetWorld(), world);
    EXPECT_EQ(npc->GetPathName(), L"/Game/Maps/Field.Field:PersistentLevel.Npc");
    EXPECT_FALSE(CallReturning<bool>(npc, L"/Script/Engine.Actor:IsActorBeingDestroyed"));

    Call(npc, L"/Script/Engine.Actor:K2_DestroyActor");
    EXPECT_EQ(events_, (std::vector<std::string>{"BeginPlay pre Npc", "ReceiveBeginPlay Badge", "ReceiveBeginPlay Npc",
                                                 "BeginPlay post Npc", "EndPlay pre Npc 0 live in-world destroying",
                                                 "ReceiveEndPlay Npc 0 live in-world destroying", "ReceiveEndPlay Badge 0 live",
                                                 "EndPlay post Npc 0 live in-world destroying"}));
    EXPECT_TRUE(npc->GetObjectItem()->IsPendingKill());
    EXPECT_TRUE(Sim::ActorsOf(world).empty());
    EXPECT_TRUE(CallReturning<bool>(npc, L"/Script/Engine.Actor:IsActorBeingDestroyed"));

    events_.clear();
    Sim::DestroyActor(npc);
    EXPECT_TRUE(events_.empty()) << "an actor ends play once";
    Sim::CollectGarbage();
    EXPECT_TRUE(IsFreed(npc));
}

TEST_F(World, CallbacksMayDestroyAndSpawnWhileAnActorEnds)
{
    auto* world = Sim::CreateWorld(L"Field");
    auto* ai = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");
    auto* extra = Sim::AddComponent(ai, L"/Script/Umbrafel.PingComponent", L"Ping");
    int ends = 0;
    Hook::RegisterEndPlayPreCallback(
        [&](Hook::TCallbackIterationData<void>&, AActor* actor, EEndPlayReason) {
            ++ends;
            Sim::DestroyActor(actor);
            Sim::DestroyObject(extra);
            Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");
        },
        {});
    Sim::DestroyActor(ai);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(Sim::ActorsOf(world).size(), 1u);
    EXPECT_EQ(Sim::ComponentsOf(ai).size(), 2u) << "the freed component left its owner's list: capsule and mesh stay";
}

TEST_F(World, SeamlessTravelNotifiesTheGameInstanceAndTheOldWorldDiesOverTheNextFrames)
{
    auto* oldWorld = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(oldWorld);
    auto* controller = Sim::CreatePlayerController(oldWorld, Sim::ControllerKind::Game);
    for (int i = 0; i < 5; ++i)
    {
        Sim::SpawnActor(oldWorld, L"/Script/Umbrafel.UmbrafelAICharacter");
    }
    auto* newWorld = Sim::CreateWorld(L"Dungeon");
    auto* survivor = Sim::SpawnActor(newWorld, L"/Script/Umbrafel.InteractableNPC");
    ASSERT_EQ(instance->GetWorld(), oldWorld);

    Record(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged", true, [](UObject* self, uint8* parms) {
        UObject* worlds[2];
        std::memcpy(worlds, parms, sizeof(worlds));
        return Sim::ToUtf8(worlds[0]->GetName() + L">" + worlds[1]->GetName() + L" now " +
                           AsObject(self->GetWorld())->GetName());
    });
    int ended = 0;
    Hook::RegisterEndPlayPreCallback(
        [&](Hook::TCallbackIterationData<void>&, AActor* actor, EEndPlayReason reason) {
            EXPECT_EQ(reason, EEndPlayReason::LevelTransition);
            EXPECT_TRUE(IsLive(actor));
            ++ended;
        },
        {});
    int loads = 0;
    Hook::RegisterLoadMapPreCallback([&](auto&, UEngine*, FWorldContext&, FURL, UPendingNetGame*, FString&) { ++loads; }, {});

    Sim::TravelSeamless(instance, newWorld, 3);
    EXPECT_EQ(events_, (std::vector<std::string>{"K2_OnWorldChanged UmbrafelGameInstance_0 Open>Dungeon now Dungeon"}));
    EXPECT_EQ(ended, 0);

    Sim::TickEngine(kFrame);
    Sim::TickEngine(kFrame);
    EXPECT_EQ(ended, 4) << "two thirds of six actors";
    EXPECT_TRUE(IsLive(controller)) << "the old world's actors stay live until it dies";
    EXPECT_TRUE(CallReturning<bool>(controller, L"/Script/Engine.Controller:IsLocalController"));
    EXPECT_TRUE(IsLive(AsObject(oldWorld)));

    Sim::TickEngine(kFrame);
    EXPECT_EQ(ended, 6);
    EXPECT_TRUE(IsFreed(AsObject(oldWorld)));
    EXPECT_TRUE(IsFreed(controller));
    EXPECT_TRUE(IsLive(AsObject(newWorld)));
    EXPECT_TRUE(IsLive(survivor));
    EXPECT_TRUE(IsLive(instance));
    EXPECT_EQ(loads, 0) << "seamless travel loads no map";
}

TEST_F(World, TravelWorksWithoutTheGamesWorldChangeFunctionAndAtOnceWithNoDyingFrames)
{
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged"));
    auto* oldWorld = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(oldWorld);
    auto* newWorld = Sim::CreateWorld(L"Dungeon");
    Sim::TravelSeamless(instance, newWorld, 0);
    EXPECT_TRUE(IsFreed(AsObject(oldWorld)));
    EXPECT_EQ(instance->GetWorld(), newWorld);
    auto* third = Sim::CreateWorld(L"Caves");
    Sim::Travel(instance, third);
    EXPECT_TRUE(IsFreed(AsObject(newWorld)));
    EXPECT_EQ(instance->GetWorld(), third);
}

TEST_F(World, AGameInstanceAnswersItsWorldUntilThatWorldIsGone)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* plain = Sim::CreateGameInstance(world, false);
    EXPECT_EQ(plain->GetClassPrivate()->GetName(), L"GameInstance");
    EXPECT_EQ(plain->GetWorld(), world);
    EXPECT_EQ(Sim::ObjectReference(AsObject(world), L"OwningGameInstance"), plain);
    Sim::SetGameInstanceWorld(plain, nullptr);
    EXPECT_EQ(plain->GetWorld(), nullptr);
    Sim::SetGameInstanceWorld(plain, world);
    Sim::DestroyObject(AsObject(world));
    EXPECT_EQ(plain->GetWorld(), nullptr);
}

TEST_F(World, ThePawnGetterAnswersThePossessedPawnEvenWithThePawnPropertyNulled)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* local = Sim::CreatePlayerController(world, Sim::ControllerKind::Game);
    auto* remote = Sim::CreatePlayerController(world, Sim::ControllerKind::Game, false);
    auto* pawn = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    Sim::Possess(local, pawn);
    EXPECT_EQ(Sim::ObjectReference(local, L"Pawn"), pawn);
    EXPECT_EQ(Sim::ObjectReference(pawn, L"Controller"), local);

    ASSERT_TRUE(Sim::SetObjectReference(local, L"Pawn", nullptr));
    EXPECT_EQ(CallReturning<UObject*>(local, L"/Script/Engine.Controller:K2_GetPawn"), pawn);

    EXPECT_TRUE(CallReturning<bool>(local, L"/Script/Engine.Controller:IsLocalController"));
    EXPECT_FALSE(CallReturning<bool>(remote, L"/Script/Engine.Controller:IsLocalController"));
    EXPECT_EQ(Sim::ObjectReference(local, L"Player"), Sim::LocalPlayer());
    EXPECT_EQ(Sim::ObjectReference(remote, L"Player"), nullptr);
    Sim::SetObjectReference(local, L"Player", nullptr);
    EXPECT_TRUE(CallReturning<bool>(local, L"/Script/Engine.Controller:IsLocalController"))
        << "locality was decided when the local player was handed over";

    // A second controller taking the pawn takes it from the first.
    Sim::Possess(remote, pawn);
    EXPECT_EQ(CallReturning<UObject*>(local, L"/Script/Engine.Controller:K2_GetPawn"), nullptr);
    Sim::DestroyActor(pawn);
    EXPECT_EQ(CallReturning<UObject*>(remote, L"/Script/Engine.Controller:K2_GetPawn"), nullptr);
    EXPECT_EQ(Sim::ObjectReference(remote, L"Pawn"), nullptr);

    // A pawn freed outright, as a test may do at any time, is no answer either.
    auto* other = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    Sim::Possess(local, other);
    Sim::DestroyObject(other);
    EXPECT_EQ(CallReturning<UObject*>(local, L"/Script/Engine.Controller:K2_GetPawn"), nullptr);
}

TEST_F(World, MenuAndGameControllersShareABaseButNotAClass)
{
    auto* world = Sim::CreateWorld(L"Menu");
    auto* menu = Sim::CreatePlayerController(world, Sim::ControllerKind::Menu);
    EXPECT_TRUE(menu->IsA(Sim::FindClass(L"/Script/Umbrafel.UmbrafelPlayerControllerBase")));
    EXPECT_FALSE(menu->IsA(Sim::FindClass(L"/Script/Umbrafel.UmbrafelPlayerController")));
    EXPECT_TRUE(menu->IsA(Sim::FindClass(L"/Script/Engine.PlayerController")));
    auto* plain = Sim::CreatePlayerController(world, Sim::ControllerKind::Plain);
    EXPECT_EQ(plain->GetClassPrivate()->GetName(), L"PlayerController");
}

TEST_F(World, RespawnPossessesANewCharacterAndDestroysTheOldOne)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* controller = Sim::CreatePlayerController(world, Sim::ControllerKind::Game);
    auto* first = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {}, L"First");
    Sim::Possess(controller, first);
    Record(L"/Script/Umbrafel.PlayerEquipmentComponent:ReceiveControllerChanged", false, [](UObject*, uint8* parms) {
        UObject* values[3];
        std::memcpy(values, parms, sizeof(values));
        return Sim::ToUtf8(values[0]->GetName()) + (values[1] ? " from" : "") + (values[2] ? " to" : "");
    });
    RecordLoaderCallbacks();

    auto* second = Sim::Respawn(controller, {100, 200, 300, 90});
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CallReturning<UObject*>(controller, L"/Script/Engine.Controller:K2_GetPawn"), second);
    EXPECT_EQ(Sim::ObjectReference(controller, L"Pawn"), second);
    EXPECT_EQ(Sim::ObjectReference(first, L"Controller"), nullptr);
    EXPECT_TRUE(first->GetObjectItem()->IsPendingKill());
    EXPECT_EQ(second->GetWorld(), world);
    EXPECT_EQ(Sim::ActorPlacement(second).yaw, 90);
    const std::string secondName = Sim::ToUtf8(second->GetName());
    EXPECT_EQ(events_, (std::vector<std::string>{"BeginPlay pre " + secondName, "BeginPlay post " + secondName,
                                                 "ReceiveControllerChanged EquipmentComponent First from",
                                                 "ReceiveControllerChanged EquipmentComponent " + secondName + " to",
                                                 "EndPlay pre First", "EndPlay post First"}))
        << "the new character plays before it is possessed, the old one ends after";
}

TEST_F(World, PlacementIsStoredInTheRootWithTheEnginesVectorWidth)
{
    for (int major : {4, 5})
    {
        StartEngine(major, major == 4 ? 27 : 1);
        auto* world = Sim::CreateWorld(L"Open");
        auto* actor = Sim::SpawnActor(world, L"/Script/Engine.Actor", {1.5, -2.25, 3, 45});
        auto* root = Sim::ObjectReference(actor, L"RootComponent");
        ASSERT_NE(root, nullptr);
        auto* location = Sim::FindPropertyUncounted(root->GetClassPrivate(), L"RelativeLocation");
        const auto* bytes = location->ContainerPtrToValuePtr<uint8>(root);
        double y = 0;
        if (major == 4)
        {
            float value = 0;
            std::memcpy(&value, bytes + 4, 4);
            y = static_cast<double>(value);
        }
        else
        {
            std::memcpy(&y, bytes + 8, 8);
        }
        EXPECT_EQ(y, -2.25) << "engine " << major;
        auto placement = Sim::ActorPlacement(actor);
        EXPECT_EQ(placement.x, 1.5);
        EXPECT_EQ(placement.z, 3);
        EXPECT_EQ(placement.yaw, 45);
    }
}

TEST_F(World, TheCollectorKeepsALiveWorldsActorsAndComponentsAndFreesADeadWorlds)
{
    auto* kept = Sim::CreateWorld(L"Kept");
    auto* keptActor = Sim::SpawnActor(kept, L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    auto* keptComponent = Sim::AddComponent(keptActor, L"/Script/MinimapPlugin.MapIconComponent");
    auto* dead = Sim::CreateWorld(L"Dead");
    auto* instance = Sim::CreateGameInstance(dead);
    auto* deadActor = Sim::SpawnActor(dead, L"/Script/Umbrafel.UmbrafelAICharacter");
    auto* removed = Sim::SpawnActor(kept, L"/Script/Umbrafel.UmbrafelAICharacter");
    Sim::DestroyActor(removed);

    Sim::CollectGarbage();
    for (auto* object : {AsObject(kept), keptActor, keptComponent, AsObject(dead), deadActor, instance})
    {
        EXPECT_TRUE(IsLive(object)) << Sim::ToUtf8(object->GetFullName());
    }
    EXPECT_TRUE(IsFreed(removed));

    Sim::TravelSeamless(instance, kept, 1);
    Sim::TickEngine(kFrame);
    EXPECT_TRUE(IsFreed(AsObject(dead)));
    EXPECT_TRUE(IsFreed(deadActor));
    EXPECT_TRUE(IsLive(keptComponent));
}

TEST_F(World, TheEngineCollectsOnItsOwnPeriodOnceOneIsSet)
{
    auto* loose = Sim::NewObject(Sim::FindClass(L"/Script/Engine.Actor"), nullptr, L"Loose");
    Sim::TickEngine(10.0f);
    EXPECT_TRUE(IsLive(loose)) << "no collection unless asked";
    Sim::SetGarbageCollectionPeriod(1'000'000'000);
    Sim::TickEngine(0.5f);
    EXPECT_TRUE(IsLive(loose));
    Sim::TickEngine(0.5f);
    EXPECT_TRUE(IsFreed(loose));
}

TEST_F(World, TheViewportKeepsWidgetsAliveAndCountsWhatEntersAndLeavesIt)
{
    auto* instance = Sim::CreateGameInstance(Sim::CreateWorld(L"Open"));
    auto* widgetClass = Sim::FindClass(L"/Script/UMG.UserWidget");
    auto* shown = Sim::NewObject(widgetClass, instance, L"Shown");
    auto* never = Sim::NewObject(widgetClass, instance, L"Never");
    auto* add = Sim::FindFunctionByPath(L"/Script/UMG.UserWidget:AddToViewport");
    int32 zOrder = 50;
    shown->ProcessEvent(add, &zOrder);
    shown->ProcessEvent(add, &zOrder);
    EXPECT_EQ(Sim::Observations().addToViewport, 1u) << "the second add changes nothing";
    Sim::CollectGarbage();
    EXPECT_TRUE(IsLive(shown));
    EXPECT_TRUE(IsFreed(never));

    auto* remove = Sim::FindFunctionByPath(L"/Script/UMG.Widget:RemoveFromParent");
    shown->ProcessEvent(remove, nullptr);
    shown->ProcessEvent(remove, nullptr);
    EXPECT_EQ(Sim::Observations().removeFromParent, 1u);
    EXPECT_TRUE(Sim::ViewportWidgets().empty());
    Sim::CollectGarbage();
    EXPECT_TRUE(IsFreed(shown));
}

TEST_F(World, SpawnsCountCaptureActorsAndFailAsTheEnginesDo)
{
    auto* world = Sim::CreateWorld(L"Open");
    Sim::SpawnActor(world, L"/Script/Engine.Actor", {}, L"Taken");
    auto* capture = Sim::SpawnActor(world, L"/Script/Engine.SceneCapture2D");
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    Sim::DestroyActor(capture);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    EXPECT_EQ(Sim::SpawnActor(world, L"/Script/Engine.ActorComponent"), nullptr) << "only actors spawn";
    EXPECT_EQ(Sim::SpawnActor(world, L"/Script/Engine.SceneCapture2D", {}, L"Taken"), nullptr);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
}

TEST_F(World, ActorsAndWorldsAreObjectsOfTheEnginesCppTypes)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* pawn = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    EXPECT_NE(dynamic_cast<AActor*>(pawn), nullptr);
    EXPECT_NE(dynamic_cast<UWorld*>(AsObject(world)), nullptr);
    EXPECT_EQ(dynamic_cast<AActor*>(Sim::PersistentLevelOf(world)), nullptr);
    EXPECT_EQ(dynamic_cast<AActor*>(Sim::ComponentsOf(pawn).front()), nullptr);
}

TEST_F(World, AWorldBeingLeftRefusesSpawnsAndTakesItsWidgetsOffTheViewport)
{
    auto* oldWorld = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(oldWorld);
    auto* controller = Sim::CreatePlayerController(oldWorld, Sim::ControllerKind::Game);
    auto* widgetClass = Sim::FindClass(L"/Script/UMG.UserWidget");
    auto* ofOldWorld = Sim::NewObject(widgetClass, AsObject(oldWorld), L"OfOldWorld");
    auto* ofInstance = Sim::NewObject(widgetClass, instance, L"OfInstance");
    auto* add = Sim::FindFunctionByPath(L"/Script/UMG.UserWidget:AddToViewport");
    int32 zOrder = 50;
    ofOldWorld->ProcessEvent(add, &zOrder);
    ofInstance->ProcessEvent(add, &zOrder);

    Sim::TravelSeamless(instance, Sim::CreateWorld(L"Dungeon"), 2);
    EXPECT_EQ(Sim::SpawnActor(oldWorld, L"/Script/Engine.SceneCapture2D"), nullptr);
    EXPECT_EQ(Sim::Respawn(controller), nullptr);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 0u);

    Sim::TickEngine(kFrame);
    Sim::TickEngine(kFrame);
    EXPECT_EQ(Sim::ViewportWidgets(), (std::vector<UObject*>{ofInstance})) << "the instance went on to the new world";
    EXPECT_EQ(Sim::Observations().removeFromParent, 0u) << "the engine's removal is not the mod's";
    EXPECT_TRUE(IsFreed(ofOldWorld));
}

TEST_F(World, AMapLoadEndsPlayClearsTheViewportNotifiesTwiceAndPurgesBeforeTheNewWorldBegins)
{
    auto* oldWorld = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(oldWorld);
    auto* controller = Sim::CreatePlayerController(oldWorld, Sim::ControllerKind::Game);
    UClass* crawler = Sim::DefineLevelClass(oldWorld, {.path = L"/Game/Open/BP_Crawler.BP_Crawler_C",
                                                       .super = L"/Script/Umbrafel.UmbrafelAICharacter"});
    ASSERT_NE(crawler, nullptr);
    Sim::SpawnActor(oldWorld, crawler, {}, L"Crawler");
    auto* widget = Sim::NewObject(Sim::FindClass(L"/Script/UMG.UserWidget"), instance, L"Hud");
    int32 zOrder = 50;
    widget->ProcessEvent(Sim::FindFunctionByPath(L"/Script/UMG.UserWidget:AddToViewport"), &zOrder);

    auto* newWorld = Sim::CreateWorld(L"Dungeon", false);
    auto* waiting = Sim::SpawnActor(newWorld, L"/Script/Umbrafel.InteractableNPC", {}, L"Waiting");
    EXPECT_FALSE(Sim::WorldHasBegunPlay(newWorld));
    EXPECT_FALSE(CallReturning<bool>(waiting, L"/Script/Engine.Actor:IsActorBeingDestroyed"));

    RecordLoaderCallbacks();
    Record(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged", true, [&](UObject*, uint8* parms) {
        UObject* worlds[2];
        std::memcpy(worlds, parms, sizeof(worlds));
        auto name = [](UObject* world) { return world != nullptr ? Sim::ToUtf8(world->GetName()) : std::string("null"); };
        return name(worlds[0]) + ">" + name(worlds[1]) + (Sim::ViewportWidgets().empty() ? " viewport-empty" : "") +
               (IsFreed(AsObject(oldWorld)) ? " old-freed" : IsLive(AsObject(oldWorld)) ? " old-live" : " old-marked");
    });
    DeletionOrder deletions;
    FUObjectArray::AddUObjectDeleteListener(&deletions);
    Sim::Travel(instance, newWorld);
    FUObjectArray::RemoveUObjectDeleteListener(&deletions);

    EXPECT_EQ(events_, (std::vector<std::string>{
                           "LoadMap pre Dungeon", "EndPlay pre UmbrafelPlayerController_0",
                           "EndPlay post UmbrafelPlayerController_0", "EndPlay pre Crawler", "EndPlay post Crawler",
                           "K2_OnWorldChanged UmbrafelGameInstance_0 Open>null viewport-empty old-marked",
                           "K2_OnWorldChanged UmbrafelGameInstance_0 null>Dungeon viewport-empty old-freed",
                           "BeginPlay pre Waiting", "BeginPlay post Waiting", "LoadMap post Dungeon"}))
        << "marked before the world is let go, collected before the new one is set and begins, all inside the load";
    EXPECT_TRUE(deletions.freedBeforeBegin) << "the old world went within the load";
    EXPECT_TRUE(IsFreed(AsObject(oldWorld)));
    EXPECT_TRUE(IsFreed(controller));
    EXPECT_EQ(Sim::FindClass(L"/Game/Open/BP_Crawler.BP_Crawler_C"), nullptr) << "only the old level used it";
    EXPECT_TRUE(IsFreed(widget)) << "off the viewport, nothing keeps it";
    EXPECT_TRUE(Sim::ViewportWidgets().empty());
    EXPECT_EQ(Sim::Observations().removeFromParent, 0u);
    EXPECT_TRUE(Sim::WorldHasBegunPlay(newWorld));
    EXPECT_EQ(instance->GetWorld(), newWorld);
}

TEST_F(World, ActorsRunNoScriptBeforeTheirWorldPlaysNorWhileItIsTornDown)
{
    auto* waitingWorld = Sim::CreateWorld(L"Loading", false);
    auto* controller = Sim::CreatePlayerController(waitingWorld, Sim::ControllerKind::Game);
    EXPECT_FALSE(CallReturning<bool>(controller, L"/Script/Engine.Controller:IsLocalController"))
        << "the call returns at once, leaving the zeroed result";
    Sim::BeginWorldPlay(waitingWorld);
    EXPECT_TRUE(CallReturning<bool>(controller, L"/Script/Engine.Controller:IsLocalController"));

    auto* instance = Sim::CreateGameInstance(waitingWorld);
    bool calledWhileTornDown = true;
    Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged")
        ->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) {
            if (Sim::HoldsObject(controller))
            {
                calledWhileTornDown = CallReturning<bool>(controller, L"/Script/Engine.Controller:IsLocalController");
            }
        });
    Sim::Travel(instance, Sim::CreateWorld(L"Next"));
    EXPECT_FALSE(calledWhileTornDown);
}

TEST_F(World, TheGamesAiSubsystemKeepsTheAiCharactersThatPlay)
{
    auto* world = Sim::CreateWorld(L"Open");
    std::vector<UObject*> found;
    UObjectGlobals::FindAllOf(STR("UmbrafelAISubsystem"), found);
    ASSERT_EQ(found.size(), 1u);
    UObject* subsystem = found.front();
    EXPECT_EQ(subsystem->GetWorld(), world);
    auto* set = static_cast<FSetProperty*>(Sim::FindPropertyUncounted(subsystem->GetClassPrivate(), L"AllAiCharacters"));
    void* value = set->ContainerPtrToValuePtr(subsystem);

    auto* first = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");
    auto* second = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");
    Sim::SpawnActor(world, L"/Script/Umbrafel.InteractableNPC");
    EXPECT_EQ(Sim::SetNum(value), 2);
    Sim::DestroyActor(first);
    EXPECT_EQ(Sim::SetNum(value), 1);
    EXPECT_EQ(Sim::SetElement(set, value, 0), nullptr) << "a hole where the first was";
    EXPECT_EQ(*static_cast<UObject**>(Sim::SetElement(set, value, 1)), second);
}

// A root attached to nothing holds the actor's world place in its relative members, as
// USceneComponent does; an attached root holds its offset from the parent's root, the actor's
// place follows the parent, and the parent's destruction detaches it where it stands.
TEST_F(World, AnAttachedRootHoldsItsOffsetAndFollowsItsParent)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* carrier = static_cast<AActor*>(Sim::SpawnActor(world, L"/Script/Engine.Actor", {100, 0, 0, 90}));
    auto* rider = static_cast<AActor*>(Sim::SpawnActor(world, L"/Script/Engine.Actor", {100, 50, 10, 0}));
    auto relative = [](UObject* actor) {
        UObject* root = Sim::ObjectReference(actor, L"RootComponent");
        auto* location = Sim::FindPropertyUncounted(root->GetClassPrivate(), L"RelativeLocation");
        double xyz[3];
        std::memcpy(xyz, location->ContainerPtrToValuePtr<uint8>(root), sizeof(xyz));
        return std::vector<double>(xyz, xyz + 3);
    };
    auto isAt = [](FVector v, double x, double y, double z) {
        return std::abs(v.X() - x) < 1e-9 && std::abs(v.Y() - y) < 1e-9 && std::abs(v.Z() - z) < 1e-9;
    };
    EXPECT_EQ(relative(rider), (std::vector<double>{100, 50, 10}));
    EXPECT_EQ(Sim::ObjectReference(Sim::ObjectReference(rider, L"RootComponent"), L"AttachParent"), nullptr);

    Sim::AttachActor(rider, carrier);
    EXPECT_EQ(Sim::ObjectReference(Sim::ObjectReference(rider, L"RootComponent"), L"AttachParent"),
              Sim::ObjectReference(carrier, L"RootComponent"));
    EXPECT_TRUE(isAt(rider->K2_GetActorLocation(), 100, 50, 10)) << "attached where it stood";
    const std::vector<double> offset = relative(rider);
    EXPECT_NEAR(offset[0], 50, 1e-9) << "the carrier faces world +Y: the rider is ahead of it";
    EXPECT_NEAR(offset[1], 0, 1e-9);

    Sim::SetActorPlacement(carrier, {300, 0, 0, 180});
    EXPECT_TRUE(isAt(rider->K2_GetActorLocation(), 250, 0, 10)) << "turned and carried with its parent";
    Sim::SetActorPlacement(rider, {0, 0, 0, 0});
    EXPECT_TRUE(isAt(rider->K2_GetActorLocation(), 0, 0, 0));
    EXPECT_NEAR(relative(rider)[0], 300, 1e-9);

    Sim::SetActorPlacement(rider, {250, 0, 10, 0});
    Sim::DestroyActor(carrier);
    EXPECT_EQ(Sim::ObjectReference(Sim::ObjectReference(rider, L"RootComponent"), L"AttachParent"), nullptr);
    EXPECT_TRUE(isAt(rider->K2_GetActorLocation(), 250, 0, 10));
    EXPECT_NEAR(relative(rider)[0], 250, 1e-9) << "its relative members hold its world place again";
}

TEST_F(World, TheLoadersActorWrappersAndSpawnSpeakTheEnginesVectorLayout)
{
    for (int major : {4, 5})
    {
        StartEngine(major, major == 4 ? 27 : 1);
        auto* world = Sim::CreateWorld(L"Open");
        UClass* npcClass = Sim::FindClass(L"/Script/Umbrafel.InteractableNPC");
        FVector at(100.5, -200.25, 30.0);
        FRotator turned(0.0, 135.0, 0.0);
        AActor* npc = world->SpawnActor(npcClass, &at, &turned);
        ASSERT_NE(npc, nullptr) << "engine " << major;
        EXPECT_EQ(npc->GetWorld(), world);
        FVector location = npc->K2_GetActorLocation();
        EXPECT_EQ(location.X(), 100.5);
        EXPECT_EQ(location.Y(), -200.25);
        EXPECT_EQ(npc->K2_GetActorRotation().GetYaw(), 135.0);

        FHitResult hit;
        EXPECT_TRUE(npc->K2_SetActorLocation(FVector(1.0, 2.0, 3.0), false, hit, true));
        EXPECT_EQ(Sim::ActorPlacement(npc).z, 3.0);
        EXPECT_TRUE(npc->K2_SetActorRotation(FRotator(0.0, -45.0, 0.0), false));
        EXPECT_EQ(Sim::ActorPlacement(npc).yaw, -45.0);

        FTransform placed(FRotator(0.0, 10.0, 0.0), FVector(7.0, 8.0, 9.0));
        AActor* other = world->SpawnActor(npcClass, &placed);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->K2_GetActorLocation().Y(), 8.0);
        EXPECT_EQ(world->SpawnActor(Sim::FindClass(L"/Script/Engine.ActorComponent")), nullptr);
        npc->K2_DestroyActor();
        EXPECT_FALSE(IsLive(npc));
    }
}
TEST_F(World, ABlueprintThatOverridesAnEventHasItsOwnFunctionWhichTheParentsHooksNeverSee)
{
    auto* world = Sim::CreateWorld(L"Open");
    int overrideRuns = 0;
    UClass* creature = Sim::DefineLevelClass(
        world, {.path = L"/Game/Creatures/BP_Howler.BP_Howler_C",
                .super = L"/Script/Umbrafel.UmbrafelAICharacter",
                .functions = {{L"ReceiveBeginPlay", {}, {}, FUNC_Event | FUNC_BlueprintEvent,
                               [&](Sim::Call&) { ++overrideRuns; }}}});
    int parentHooks = 0;
    int overrideHooks = 0;
    Sim::FindFunctionByPath(L"/Script/Engine.Actor:ReceiveBeginPlay")
        ->RegisterPostHook([&](UnrealScriptFunctionCallableContext&, void*) { ++parentHooks; });
    Sim::FindFunctionByPath(L"/Game/Creatures/BP_Howler.BP_Howler_C:ReceiveBeginPlay")
        ->RegisterPostHook([&](UnrealScriptFunctionCallableContext&, void*) { ++overrideHooks; });

    Sim::SpawnActor(world, creature);
    Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");
    EXPECT_EQ(overrideRuns, 1);
    EXPECT_EQ(overrideHooks, 1);
    EXPECT_EQ(parentHooks, 0) << "neither the override's call nor an unimplemented event reaches the parent's hook";
}
// A streamed level is a world object of its own in its own package, its level owned by the
// world it streams into: the engine's GetWorld answers the owning world for what is in it, the
// loader's walk of an actor's outers the level's own world. Its actors play with the owning
// world and end with it, and the level's world is counted with it.
TEST_F(World, AStreamedLevelsActorsAreTheOwningWorldsButTheirOutersHoldTheLevelsOwnWorld)
{
    auto* open = Sim::CreateWorld(L"Open", false);
    auto* instance = Sim::CreateGameInstance(open);
    UWorld* glade = Sim::StreamLevel(open, L"Open_Glade");
    ASSERT_NE(glade, nullptr);
    EXPECT_EQ(Sim::StreamLevel(glade, L"Open_Glade_Deeper"), nullptr) << "a streamed level streams nothing itself";
    EXPECT_EQ(AsObject(glade)->GetPathName(), L"/Game/Maps/Open_Glade.Open_Glade");
    auto* above = Sim::SpawnActor(open, L"/Script/Umbrafel.UmbrafelAICharacter", {}, L"Above");
    auto* creature = static_cast<AActor*>(Sim::SpawnActor(glade, L"/Script/Umbrafel.UmbrafelAICharacter", {}, L"Stag"));
    ASSERT_NE(creature, nullptr);
    EXPECT_EQ(creature->GetPathName(), L"/Game/Maps/Open_Glade.Open_Glade:PersistentLevel.Stag");
    EXPECT_EQ(static_cast<UObject*>(creature)->GetWorld(), open);
    EXPECT_EQ(creature->GetWorld(), glade);
    EXPECT_EQ(static_cast<AActor*>(above)->GetWorld(), open);
    EXPECT_EQ(Sim::ComponentsOf(creature).front()->GetWorld(), open);
    EXPECT_EQ(static_cast<AActor*>(Sim::FindClass(L"/Script/Engine.Actor")->GetClassDefaultObject())->GetWorld(), nullptr);
    EXPECT_EQ(Sim::ActorsOf(open), (std::vector<UObject*>{above, creature}));
    EXPECT_EQ(Sim::ActorsOf(glade), (std::vector<UObject*>{creature}));
    EXPECT_EQ(Sim::LiveWorldCount(), 1u);

    std::vector<std::string> begun;
    Hook::RegisterBeginPlayPostCallback([&](auto&, AActor* actor) { begun.push_back(Sim::ToUtf8(actor->GetName())); }, {});
    Sim::BeginWorldPlay(open);
    EXPECT_EQ(begun, (std::vector<std::string>{"Above", "Stag"}));
    Sim::CollectGarbage();
    EXPECT_TRUE(IsLive(creature)) << "the owning world keeps the level";

    int endedInGlade = 0;
    Hook::RegisterEndPlayPreCallback(
        [&](auto&, AActor* actor, EEndPlayReason reason) {
            endedInGlade += actor == creature && reason == EEndPlayReason::LevelTransition ? 1 : 0;
        },
        {});
    Sim::Travel(instance, Sim::CreateWorld(L"Next"));
    EXPECT_EQ(endedInGlade, 1);
    EXPECT_TRUE(IsFreed(creature));
    EXPECT_TRUE(IsFreed(AsObject(glade)));
    EXPECT_EQ(Sim::LiveWorldCount(), 1u);
}

// A blueprint overriding an event with native code runs its own function instead: neither the
// declaration's native body nor its hooks run for the blueprint's objects, both still do for
// the native class's. The override has the declaration's parameters.
TEST_F(World, ABlueprintOverridingANativeEventKeepsItsBodyAndHooksFromItsObjects)
{
    auto* world = Sim::CreateWorld(L"Open");
    std::vector<std::string> runs;
    UClass* blueprint = Sim::DefineClass({.path = L"/Game/Core/BP_Game.BP_Game_C",
                                          .super = L"/Script/Umbrafel.UmbrafelGameInstance",
                                          .blueprint = true,
                                          .overrides = {{L"K2_OnWorldChanged", [&](Sim::Call& call) {
                                                             UObject* from = call.Get<UObject*>(L"OldWorld");
                                                             runs.push_back("blueprint from " + Sim::ToUtf8(from->GetName()));
                                                         }}}});
    auto* declaration = Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged");
    declaration->RegisterPreHook([&](UnrealScriptFunctionCallableContext& context, void*) {
        runs.push_back("declaration's hook for " + Sim::ToUtf8(context.Context->GetClassPrivate()->GetName()));
    });
    auto* own = Sim::CreateGameInstanceOf(world, blueprint);
    auto* native = Sim::CreateGameInstance(world);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(Sim::CreateGameInstanceOf(world, Sim::FindClass(L"/Script/Engine.Actor")), nullptr);
    for (UObject* instance : {own, native})
    {
        Sim::CallScriptFunction(instance, L"K2_OnWorldChanged", [&](uint8* parms) {
            std::memcpy(parms, &world, sizeof(world));
        });
    }
    EXPECT_EQ(runs, (std::vector<std::string>{"blueprint from Open", "declaration's hook for UmbrafelGameInstance"}));
    EXPECT_THROW(Sim::OverrideEvent(Sim::FindClass(L"/Script/Umbrafel.UmbrafelGameInstance"), L"K2_OnWorldChanged", {}),
                 std::runtime_error)
        << "a native class has no blueprint to override with";
    EXPECT_THROW(Sim::OverrideEvent(blueprint, L"NoSuchEvent", {}), std::runtime_error);
}

TEST_F(World, ALevelKeepsItsBlueprintClassesAliveUntilItDies)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(world);
    const Sim::ClassDef ghost{.path = L"/Game/Creatures/BP_Ghost.BP_Ghost_C", .super = L"/Script/Engine.Actor"};
    UClass* cls = Sim::DefineLevelClass(world, ghost);
    EXPECT_EQ(Sim::DefineLevelClass(world, ghost), cls) << "the same class, used once more";
    Sim::CollectGarbage(true);
    EXPECT_TRUE(Sim::HoldsObject(cls)) << "no instance yet, but its level uses it";
    Sim::Travel(instance, Sim::CreateWorld(L"Next"));
    EXPECT_FALSE(Sim::HoldsObject(cls));
}

TEST_F(World, OnlyAControllerPossessesAndOnlyAPawn)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* controller = Sim::CreatePlayerController(world, Sim::ControllerKind::Game);
    auto* pawn = Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    auto* notAPawn = Sim::SpawnActor(world, L"/Script/Engine.Actor");
    auto* notAController = Sim::SpawnActor(world, L"/Script/Umbrafel.InteractableNPC");
    Sim::Possess(controller, notAPawn);
    EXPECT_EQ(CallReturning<UObject*>(controller, L"/Script/Engine.Controller:K2_GetPawn"), nullptr);
    Sim::Possess(notAController, pawn);
    EXPECT_EQ(Sim::ObjectReference(pawn, L"Controller"), nullptr);
    Sim::Possess(controller, pawn);
    EXPECT_EQ(CallReturning<UObject*>(controller, L"/Script/Engine.Controller:K2_GetPawn"), pawn);
}
TEST_F(World, ComponentsAreAddedOnlyToPlayingActorsAndOnlyOfComponentClasses)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* actor = Sim::SpawnActor(world, L"/Script/Engine.Actor");
    auto* loose = Sim::NewObject(Sim::FindClass(L"/Script/Engine.Actor"), nullptr);
    EXPECT_NE(Sim::AddComponent(actor, L"/Script/Umbrafel.PingComponent"), nullptr);
    EXPECT_EQ(Sim::AddComponent(actor, L"/Script/Engine.Actor"), nullptr) << "an actor is no component";
    EXPECT_EQ(Sim::AddComponent(actor, L"/Script/Test.NoSuchComponent"), nullptr);
    EXPECT_EQ(Sim::AddComponent(loose, L"/Script/Umbrafel.PingComponent"), nullptr) << "not an actor of a world";
    Sim::DestroyActor(actor);
    Sim::CollectGarbage(true);
    EXPECT_EQ(Sim::AddComponent(Sim::SpawnActor(world, L"/Script/Engine.Actor"), L"/Script/Engine.ActorComponent")
                  ->GetClassPrivate()
                  ->GetName(),
              L"ActorComponent");
}

TEST_F(World, ActorsRunScriptAgainOnceTheCollectorHasMarked)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* controller = Sim::CreatePlayerController(world, Sim::ControllerKind::Game);
    Sim::CollectGarbage(false);
    EXPECT_TRUE(CallReturning<bool>(controller, L"/Script/Engine.Controller:IsLocalController"))
        << "only while the collector runs do actors run nothing";
    Sim::PurgeGarbage();
    EXPECT_TRUE(CallReturning<bool>(controller, L"/Script/Engine.Controller:IsLocalController"));
}
} // namespace

namespace
{
// The render target CreateRenderTarget2D makes for the context, or null.
UObject* RenderTargetFor(UObject* context)
{
    UFunction* create = Sim::FindFunctionByPath(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D");
    const std::size_t before = Sim::RenderTargets().size();
    Sim::CallScriptFunction(Sim::FindClass(L"/Script/Engine.KismetRenderingLibrary")->GetClassDefaultObject(), create,
                            [&](uint8* parms) {
                                const int32 side = 64;
                                auto at = [&](const wchar_t* name) {
                                    return parms + Sim::FindPropertyUncounted(create, name)->GetOffset_Internal();
                                };
                                std::memcpy(at(L"WorldContextObject"), &context, sizeof(context));
                                std::memcpy(at(L"Width"), &side, sizeof(side));
                                std::memcpy(at(L"Height"), &side, sizeof(side));
                            });
    UObject* made = Sim::RenderTargets().size() > before ? Sim::RenderTargets().back() : nullptr;
    return made;
}
} // namespace

TEST_F(World, ObjectsAreMadeInsideTheOuterGivenAndOnlyAPackageWithoutOne)
{
    auto* world = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(world);
    auto* widgetClass = Sim::FindClass(L"/Script/UMG.UserWidget");
    UObject* hud = UObjectGlobals::StaticConstructObject(FStaticConstructObjectParameters(widgetClass, instance));
    ASSERT_NE(hud, nullptr);
    EXPECT_EQ(hud->GetOuter(), instance);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u);
    EXPECT_EQ(UObjectGlobals::StaticConstructObject(FStaticConstructObjectParameters(widgetClass, nullptr)), nullptr);
    ASSERT_EQ(Sim::FailedChecks().size(), 1u);
    EXPECT_EQ(Sim::FailedChecks().front(), L"StaticConstructObject: Object is not packaged: UserWidget");

    // The render target is made inside its world context, and needs one that has a world.
    auto* pawn = Sim::EnterLocalPlayer(world).pawn;
    UObject* target = RenderTargetFor(pawn);
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetOuter(), pawn);
    EXPECT_EQ(RenderTargetFor(instance)->GetOuter(), instance);
    EXPECT_EQ(RenderTargetFor(nullptr), nullptr);
    EXPECT_EQ(RenderTargetFor(Sim::NewObject(widgetClass, Sim::FindObjectByPath(L"/Engine/Transient"))), nullptr);
}

TEST_F(World, AMapLoadMarksRootedObjectsTooAFailedCheckAndTheRootKeepsTheWholeWorld)
{
    auto* oldWorld = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(oldWorld);
    auto* pawn = Sim::EnterLocalPlayer(oldWorld).pawn;
    UObject* kept = RenderTargetFor(pawn);
    ASSERT_NE(kept, nullptr);
    kept->GetObjectItem()->SetRootSet();
    Sim::Travel(instance, Sim::CreateWorld(L"Dungeon"));

    ASSERT_EQ(Sim::Stats().ChecksFailed, 1u);
    EXPECT_EQ(Sim::FailedChecks().front(), L"MarkPendingKill " + kept->GetPathName());
    EXPECT_TRUE(kept->GetObjectItem()->IsPendingKill()) << "a shipping build goes on and marks it";
    EXPECT_FALSE(IsFreed(pawn)) << "the outer of something reachable stays, pending kill or not";
    EXPECT_FALSE(IsFreed(AsObject(oldWorld)));
    EXPECT_EQ(Sim::LiveWorldCount(), 2u);

    kept->GetObjectItem()->UnsetRootSet();
    Sim::CollectGarbage();
    EXPECT_TRUE(IsFreed(AsObject(oldWorld)));
    EXPECT_EQ(Sim::LiveWorldCount(), 1u);
}
