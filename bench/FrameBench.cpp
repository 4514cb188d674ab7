// What a steady frame costs: the frame driver with a live session and its capture among
// tracked creatures, in a small game and in one of 100,000 objects (where any lookup made per
// frame would show, as the engine's lookups walk the whole object array), a cached function
// lookup against an engine lookup, and one widget setter through a reflective call.
#include "mod/LiveOrvantaMod.hpp"
#include "reflection/CallFrame.hpp"
#include "reflection/FaultGuard.hpp"
#include "reflection/Lookup.hpp"
#include "reflection/Setters.hpp"
#include "settings/ModSettings.hpp"

#include <Sim/Engine.hpp>
#include <Sim/MapData.hpp>
#include <Sim/Game.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace
{
using namespace RC::Unreal;

void StartGame()
{
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame();
}

void BM_FrameWithLiveSession(benchmark::State& state)
{
    StartGame();
    Sim::PadObjectArray(static_cast<std::size_t>(state.range(1)));
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    auto* pawn = Sim::EnterLocalPlayer(world).pawn;
    auto mod = std::make_unique<Orv::LiveOrvantaMod>();
    mod->on_unreal_init();
    Sim::TickEngine(1.0f / 60.0f);
    // Creatures that begin play under a live session are tracked by the AI list's next refresh.
    for (int64_t i = 0; i < state.range(0); ++i)
    {
        Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter", {static_cast<double>(i) * 100.0, 0, 0, 0});
    }
    for (int i = 0; i < 40; ++i)
    {
        Sim::TickEngine(1.0f / 60.0f);
    }
    if (mod->Session().discovery.pawn != pawn)
    {
        state.SkipWithError("no session");
        return;
    }
    // The mod's frame alone: the engine's own step and the drawing of the pictures it asked
    // for are the game's cost, not the mod's.
    const auto callsBefore = Sim::Counters().ProcessEvent;
    for (auto _ : state)
    {
        Sim::AdvanceClock(16'666'667);
        mod->OnTick();
    }
    state.counters["engine_calls_per_frame"] = static_cast<double>(Sim::Counters().ProcessEvent - callsBefore) /
                                               static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["tracked"] = static_cast<double>(mod->Session().actors.trackedActors.size());
    state.counters["lookups"] = static_cast<double>(Sim::Counters().FindObject + Sim::Counters().FindAllOf);
    mod.reset();
}
BENCHMARK(BM_FrameWithLiveSession)->ArgNames({"creatures", "objects"})->Args({0, 0})->Args({64, 0})->Args({64, 100000});

// The crowd: 500 creatures and 1000 of the game's map icons around a standing player, every
// pool full. The average includes the list's rebuild once a second.
void BM_FrameInACrowd(benchmark::State& state)
{
    StartGame();
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    Sim::EnterLocalPlayer(world);
    auto mod = std::make_unique<Orv::LiveOrvantaMod>();
    mod->on_unreal_init();
    Sim::TickEngine(1.0f / 60.0f);
    for (int i = 0; i < 500; ++i)
    {
        const double angle = i * 0.618 * 6.283;
        const double distance = 150.0 + 12.0 * i;
        Sim::SpawnCreature(world, {distance * std::cos(angle), distance * std::sin(angle), 0, 0}, i % 25 == 0,
                           static_cast<Sim::uint8>(i % 3));
    }
    UObject* post = Sim::SpawnActor(world, L"/Script/Engine.Actor", {0, 0, 0, 0});
    for (int i = 0; i < 1000; ++i)
    {
        const double angle = i * 0.382 * 6.283;
        const double distance = 200.0 + 6.0 * i;
        Sim::AddMapIconComponent(post, {.category = L"Lodestone", .offset = {distance * std::cos(angle), distance * std::sin(angle), 0}});
    }
    for (int i = 0; i < 120; ++i)
    {
        Sim::TickEngine(1.0f / 60.0f);
    }
    const auto callsBefore = Sim::Counters().ProcessEvent;
    for (auto _ : state)
    {
        Sim::AdvanceClock(16'666'667);
        mod->OnTick();
    }
    const auto frames = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["engine_calls_per_frame"] = static_cast<double>(Sim::Counters().ProcessEvent - callsBefore) / frames;
    state.counters["listed"] = static_cast<double>(mod->Session().mapIcons.count);
    state.counters["tracked"] = static_cast<double>(mod->Session().actors.trackedActors.size());
    mod.reset();
}
BENCHMARK(BM_FrameInACrowd)->Unit(benchmark::kMicrosecond);

// What one engine lookup costs in a game of that size: the price a per-frame lookup would pay.
void BM_EngineLookupAmong100000Objects(benchmark::State& state)
{
    StartGame();
    Sim::PadObjectArray(100000);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.Actor"), false, nullptr));
    }
}
BENCHMARK(BM_EngineLookupAmong100000Objects)->Unit(benchmark::kMicrosecond);

void BM_CachedFunctionLookup(benchmark::State& state)
{
    StartGame();
    auto* actor = Sim::NewObject(Sim::FindClass(L"/Script/Engine.Actor"), nullptr, L"Subject");
    Orv::Reflection reflection;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(reflection.LookupFunction(actor, L"ReceiveEndPlay"));
    }
}
BENCHMARK(BM_CachedFunctionLookup);

void BM_SetVisibility(benchmark::State& state)
{
    StartGame();
    auto* widget = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Widget"), nullptr, L"Widget");
    Sim::AddFunction(static_cast<UClass*>(widget->GetClassPrivate()),
                     {L"SetVisibility", {Sim::In(L"InVisibility", Sim::Byte())}, [](Sim::Call&) {}});
    Orv::Reflection reflection;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(Orv::SetVisibility(reflection, widget, Orv::kVisibilityShown));
    }
}
BENCHMARK(BM_SetVisibility);

// The same widget setter through the same call frame, once through the guarded Invoke and once
// straight into the engine's ProcessEvent: what the fault guard adds to an engine call.
void BM_SetterCall(benchmark::State& state)
{
    const bool guarded = state.range(0) != 0;
    StartGame();
    auto* widget = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Widget"), nullptr, L"Widget");
    Sim::AddFunction(static_cast<UClass*>(widget->GetClassPrivate()),
                     {L"SetVisibility", {Sim::In(L"InVisibility", Sim::Byte())}, [](Sim::Call&) {}});
    Orv::Reflection reflection;
    UFunction* function = reflection.LookupFunction(widget, L"SetVisibility");
    const std::uint8_t visibility = Orv::kVisibilityShown;
    for (auto _ : state)
    {
        Orv::CallFrame frame(reflection, function);
        frame.WriteRaw(L"InVisibility", &visibility, sizeof(visibility));
        if (guarded)
        {
            benchmark::DoNotOptimize(frame.Invoke(widget));
        }
        else
        {
            widget->ProcessEvent(function, frame.Buffer());
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SetterCall)->ArgName("guarded")->Arg(0)->Arg(1);

struct EngineCall
{
    UObject* target;
    UFunction* function;
    std::uint8_t* parms;
};

void CallEngine(void* context)
{
    auto* call = static_cast<EngineCall*>(context);
    call->target->ProcessEvent(call->function, call->parms);
}

// The guard alone around the cheapest engine call there is, a script function without
// parameters or body.
void BM_GuardAroundProcessEvent(benchmark::State& state)
{
    const bool guarded = state.range(0) != 0;
    StartGame();
    auto* widget = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Widget"), nullptr, L"Widget");
    Sim::AddFunction(static_cast<UClass*>(widget->GetClassPrivate()), {L"Nothing", {}, [](Sim::Call&) {}});
    Orv::Reflection reflection;
    std::uint8_t parms[1] = {};
    EngineCall call{widget, reflection.LookupFunction(widget, L"Nothing"), parms};
    for (auto _ : state)
    {
        if (guarded)
        {
            benchmark::DoNotOptimize(Orv::RunContained(&CallEngine, &call));
        }
        else
        {
            CallEngine(&call);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GuardAroundProcessEvent)->ArgName("guarded")->Arg(0)->Arg(1);
} // namespace

BENCHMARK_MAIN();
