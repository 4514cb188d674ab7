// The loader's callbacks on the engine's native AActor::BeginPlay, AActor::EndPlay and
// UEngine::LoadMap as its detours keep and run them: for every actor whichever blueprint
// implements its script events, in registration order with read-only callbacks last, ids that
// say their detour, a once-callback run once, a callback that throws removed for good, and no
// callback that may remove itself while it runs. A mod's use of them is only as good as this.
#include "support/EngineFixture.hpp"

#include <Sim/World.hpp>
#include <Unreal/AActor.hpp>
#include <Unreal/Hooks/Hooks.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

class LoaderCallbacks : public OrvTest::EngineFixture
{
  protected:
    static Hook::FCallbackOptions Options(const wchar_t* name, bool readonly = false, bool once = false)
    {
        Hook::FCallbackOptions options;
        options.bOnce = once;
        options.bReadonly = readonly;
        options.OwnerModName = STR("Test");
        options.HookName = name;
        return options;
    }

    Hook::GlobalCallbackId OnBegin(const std::string& label, bool pre = false, bool readonly = false, bool once = false)
    {
        auto callback = [this, label](Hook::TCallbackIterationData<void>&, AActor*) { calls_.push_back(label); };
        return pre ? Hook::RegisterBeginPlayPreCallback(callback, Options(L"Begin", readonly, once))
                   : Hook::RegisterBeginPlayPostCallback(callback, Options(L"Begin", readonly, once));
    }

    std::vector<std::string> calls_;
};

TEST_F(LoaderCallbacks, EveryActorBeginsAndEndsThroughThemWhateverItsBlueprintImplements)
{
    auto* world = Sim::CreateWorld(L"Field");
    UClass* villager = OrvTest::PlayingBlueprint(world, L"BP_Villager", L"/Script/Umbrafel.InteractableNPC");
    std::vector<UObject*> begun;
    std::vector<std::pair<UObject*, EEndPlayReason>> ended;
    Hook::RegisterBeginPlayPostCallback([&](auto&, AActor* actor) { begun.push_back(actor); }, Options(L"Begin"));
    Hook::RegisterEndPlayPreCallback([&](auto&, AActor* actor, EEndPlayReason why) { ended.emplace_back(actor, why); },
                                     Options(L"End"));
    auto* plain = Sim::SpawnActor(world, L"/Script/Umbrafel.InteractableNPC");
    auto* blueprint = Sim::SpawnActor(world, villager);
    EXPECT_EQ(begun, (std::vector<UObject*>{plain, blueprint}));
    EXPECT_EQ(Sim::ActorCallbackCount(), 2u);
    Sim::DestroyActor(blueprint);
    Sim::Travel(Sim::CreateGameInstance(world), Sim::CreateWorld(L"Next"));
    ASSERT_GE(ended.size(), 2u);
    EXPECT_EQ(ended[0], (std::pair<UObject*, EEndPlayReason>{blueprint, EEndPlayReason::Destroyed}));
    EXPECT_NE(std::find(ended.begin(), ended.end(), std::pair<UObject*, EEndPlayReason>{plain, EEndPlayReason::LevelTransition}),
              ended.end());
}

TEST_F(LoaderCallbacks, IdsSayTheirDetourAndRemoveOnlyTheirOwnCallback)
{
    const Hook::GlobalCallbackId begin = OnBegin("begin");
    const Hook::GlobalCallbackId end = Hook::RegisterEndPlayPreCallback([](auto&, AActor*, EEndPlayReason) {}, Options(L"End"));
    const Hook::GlobalCallbackId load =
        Hook::RegisterLoadMapPostCallback([](auto&, UEngine*, FWorldContext&, FURL, UPendingNetGame*, FString&) {}, Options(L"Load"));
    EXPECT_EQ(begin & (uint64{1} << 51), uint64{1} << 51);
    EXPECT_EQ(end & (uint64{1} << 50), uint64{1} << 50);
    EXPECT_EQ(end & (uint64{1} << 61), uint64{1} << 61) << "a pre-callback";
    EXPECT_EQ(load & (uint64{1} << 54), uint64{1} << 54);
    EXPECT_EQ(load & (uint64{1} << 61), 0u);
    const Hook::GlobalCallbackId tick =
        Hook::RegisterEngineTickPostCallback([](auto&, UEngine*, float, bool) {}, Options(L"Tick"));

    EXPECT_TRUE(Hook::UnregisterCallback(end));
    EXPECT_TRUE(Hook::UnregisterCallback(end)) << "marked only: still in the loader's list until it prunes";
    Sim::CollectStaleCallbacks();
    EXPECT_FALSE(Hook::UnregisterCallback(end)) << "pruned";
    EXPECT_EQ(Sim::ActorCallbackCount(), 1u);
    EXPECT_EQ(Sim::MapCallbackCount(), 1u);
    EXPECT_EQ(Sim::TickCallbackCount(), 1u);
    EXPECT_TRUE(Hook::UnregisterCallback(tick));
    EXPECT_TRUE(Hook::UnregisterCallback(load));
    EXPECT_TRUE(Hook::UnregisterCallback(begin));
    EXPECT_EQ(Sim::ActorCallbackCount() + Sim::MapCallbackCount() + Sim::TickCallbackCount(), 0u);
    EXPECT_EQ(Sim::Counters().RegisterLoaderCallback, 3u);
    EXPECT_EQ(Sim::Counters().UnregisterLoaderCallback, 5u);
}

TEST_F(LoaderCallbacks, ReadOnlyCallbacksRunLastAndAOnceCallbackOnce)
{
    auto* world = Sim::CreateWorld(L"Field");
    OnBegin("reader", false, true);
    OnBegin("first");
    OnBegin("once", false, false, true);
    OnBegin("before", true);
    Sim::SpawnActor(world, L"/Script/Engine.Actor");
    EXPECT_EQ(calls_, (std::vector<std::string>{"before", "first", "once", "reader"}));
    calls_.clear();
    Sim::SpawnActor(world, L"/Script/Engine.Actor");
    EXPECT_EQ(calls_, (std::vector<std::string>{"before", "first", "reader"}));
    EXPECT_EQ(Sim::ActorCallbackCount(), 3u);
}

// DetourInstance's one try around the walk: the throwing callback goes for good with the
// loader's error line, and the callbacks after it miss that one call.
TEST_F(LoaderCallbacks, ACallbackThatThrowsIsRemovedForGoodWithTheLoadersErrorLine)
{
    auto* world = Sim::CreateWorld(L"Field");
    OnBegin("first");
    Hook::RegisterBeginPlayPostCallback(
        [](auto&, AActor*) -> void { throw std::runtime_error("no such widget"); }, Options(L"Thrower"));
    OnBegin("after");
    Sim::SpawnActor(world, L"/Script/Engine.Actor");
    EXPECT_EQ(calls_, (std::vector<std::string>{"first"}));
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].text, L"[Test.BeginPlay.Thrower] Hook threw exception: \"no such widget\", removing hook!\n");
    EXPECT_EQ(Lines()[0].level, 4);
    EXPECT_EQ(Sim::ActorCallbackCount(), 2u);
    calls_.clear();
    Sim::SpawnActor(world, L"/Script/Engine.Actor");
    EXPECT_EQ(calls_, (std::vector<std::string>{"first", "after"}));
}

TEST_F(LoaderCallbacks, ACallbackRemovingItselfWouldWaitForItselfForEver)
{
    auto* world = Sim::CreateWorld(L"Field");
    Hook::GlobalCallbackId self = 0;
    self = Hook::RegisterBeginPlayPostCallback([&](auto&, AActor*) { Hook::UnregisterCallback(self); }, Options(L"Self"));
    Sim::SpawnActor(world, L"/Script/Engine.Actor");
    ASSERT_EQ(Sim::FailedChecks().size(), 1u);
    EXPECT_EQ(Sim::FailedChecks()[0].rfind(L"UnregisterCallback inside the callback it removes", 0), 0u);
}

TEST_F(LoaderCallbacks, ALoaderWithoutTheseHooksRefusesTheirCallbacks)
{
    Sim::RefuseLoaderCallbacks(true);
    EXPECT_EQ(OnBegin("never"), Hook::ERROR_ID);
    EXPECT_EQ(Hook::RegisterLoadMapPreCallback([](auto&, UEngine*, FWorldContext&, FURL, UPendingNetGame*, FString&) {},
                                               Options(L"Load")),
              Hook::ERROR_ID);
    Sim::SpawnActor(Sim::CreateWorld(L"Field"), L"/Script/Engine.Actor");
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(Sim::ActorCallbackCount(), 0u);
}

// Seamless travel loads no map; a load tells its callbacks where it goes and that it went.
TEST_F(LoaderCallbacks, OnlyAMapLoadRunsTheLoadMapCallbacks)
{
    auto* open = Sim::CreateWorld(L"Open");
    auto* instance = Sim::CreateGameInstance(open);
    std::vector<std::string> loads;
    Hook::RegisterLoadMapPreCallback(
        [&](auto&, UEngine* engine, FWorldContext&, FURL url, UPendingNetGame* pending, FString&) {
            loads.push_back("to " + Sim::ToUtf8(url.Map.View()) + (engine != nullptr ? " by the engine" : "") +
                            (pending == nullptr ? "" : " pending"));
        },
        Options(L"Pre"));
    Hook::RegisterLoadMapPostCallback(
        [&](Hook::TCallbackIterationData<bool>&, UEngine*, FWorldContext&, FURL, UPendingNetGame*, FString&) {
            loads.push_back(instance->GetWorld() != nullptr ? "into " + Sim::ToUtf8(reinterpret_cast<UObject*>(instance->GetWorld())->GetName())
                                                            : "nowhere");
        },
        Options(L"Post"));
    Sim::TravelSeamless(instance, Sim::CreateWorld(L"Caves"), 0);
    EXPECT_TRUE(loads.empty());
    Sim::Travel(instance, Sim::CreateWorld(L"Dungeon"));
    EXPECT_EQ(loads, (std::vector<std::string>{"to Dungeon by the engine", "into Dungeon"}));
}
// What a removed callback's callable costs its owner: the loader destroys it only when it
// prunes, inside the next registration or on its collector's thread, never at the removal. A
// library freed before then has its code run unmapped.
TEST_F(LoaderCallbacks, ARemovedCallableGoesOnlyWhenTheLoaderPrunesItsList)
{
    struct Witness
    {
        std::shared_ptr<int> alive = std::make_shared<int>(0);
        void operator()(Hook::TCallbackIterationData<void>&, UEngine*, float, bool) const {}
    };
    Witness first;
    std::weak_ptr<int> firstAlive = first.alive;
    const Hook::GlobalCallbackId id = Hook::RegisterEngineTickPostCallback(std::move(first), Options(L"First"));
    first.alive.reset();
    ASSERT_TRUE(Hook::UnregisterCallback(id));
    EXPECT_FALSE(firstAlive.expired()) << "marked, not destroyed";
    EXPECT_EQ(Sim::TickCallbackCount(), 0u);
    EXPECT_EQ(Sim::HeldTickCallbacks(), 1u);
    Sim::TickEngine(1.0f / 60.0f);
    EXPECT_FALSE(firstAlive.expired()) << "running the list prunes nothing";

    const Hook::GlobalCallbackId next = Hook::RegisterEngineTickPostCallback([](auto&, UEngine*, float, bool) {}, Options(L"Next"));
    EXPECT_TRUE(firstAlive.expired()) << "the next registration pruned it";
    EXPECT_EQ(Sim::HeldTickCallbacks(), 1u);

    Witness second;
    std::weak_ptr<int> secondAlive = second.alive;
    const Hook::GlobalCallbackId later = Hook::RegisterEngineTickPostCallback(std::move(second), Options(L"Later"));
    second.alive.reset();
    Hook::UnregisterCallback(later);
    EXPECT_FALSE(secondAlive.expired());
    Sim::CollectStaleCallbacks();
    EXPECT_TRUE(secondAlive.expired()) << "the collector's pass pruned it";
    EXPECT_TRUE(Hook::UnregisterCallback(next));
}

TEST_F(LoaderCallbacks, AOnceCallbackRunsOnceAndAThrowingTickIsRemovedForGood)
{
    int once = 0;
    int throws = 0;
    int after = 0;
    Hook::RegisterEngineTickPostCallback([&](auto&, UEngine*, float, bool) { ++once; }, Options(L"Once", false, true));
    Hook::RegisterEngineTickPostCallback(
        [&](auto&, UEngine*, float, bool) {
            ++throws;
            throw std::runtime_error("broken");
        },
        Options(L"Thrower"));
    Hook::RegisterEngineTickPostCallback([&](auto&, UEngine*, float, bool) { ++after; }, Options(L"After"));
    for (int frame = 0; frame < 3; ++frame)
    {
        Sim::TickEngine(1.0f / 60.0f);
    }
    EXPECT_EQ(once, 1);
    EXPECT_EQ(throws, 1);
    EXPECT_EQ(after, 2) << "the frame it threw, the callbacks after it missed";
    EXPECT_EQ(Sim::TickCallbackCount(), 1u);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].text, L"[Test.EngineTick.Thrower] Hook threw exception: \"broken\", removing hook!\n");
}

// The engine's own calls belong to the game thread (check(IsInGameThread()) in its code); the
// loader's registrations may come from anywhere.
TEST_F(LoaderCallbacks, EngineCallsFromAnotherThreadFailTheGameThreadCheck)
{
    UObject* actor = Sim::NewObject(Sim::FindClass(L"/Script/Engine.Actor"), Sim::FindObjectByPath(L"/Script/Engine"));
    std::thread loader([&] {
        Hook::RegisterEngineTickPostCallback([](auto&, UEngine*, float, bool) {}, Options(L"FromElsewhere"));
        UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.Actor"), false, nullptr);
        actor->ProcessEvent(Sim::FindFunctionByPath(L"/Script/Engine.Actor:K2_DestroyActor"), nullptr);
    });
    loader.join();
    EXPECT_EQ(Sim::FailedChecks(), (std::vector<std::wstring>{L"IsInGameThread", L"IsInGameThread"}));
    EXPECT_EQ(Sim::TickCallbackCount(), 1u);
}
} // namespace
