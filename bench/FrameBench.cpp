// What a steady frame costs: the frame driver with a live session and its capture among
// tracked creatures, in a small game and in one of 100,000 objects (where any lookup made per
// frame would show, as the engine's lookups walk the whole object array), a cached function
// lookup against an engine lookup, and one widget setter through a reflective call.
#include "EngineCall.hpp"
#include "support/CountingNew.hpp"

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

#include <Sim/Calls.hpp>
#include <Unreal/Hooks/Hooks.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>


using OrvBench::CallEngine;
using OrvBench::EngineCall;

namespace
{
using namespace RC::Unreal;

void StartGame()
{
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame();
}

// One measured frame of the mod. Kept out of line so that an instruction count can be limited
// to it: valgrind --tool=callgrind --collect-atstart=no --toggle-collect='*MeasuredFrame*'.
[[gnu::noinline]] void MeasuredFrame(Orv::LiveOrvantaMod& mod)
{
    Sim::AdvanceClock(16'666'667);
    mod.OnTick();
}

long Allocations()
{
#if ORV_COUNTING_NEW
    return OrvTest::allocationCount.load(std::memory_order_relaxed);
#else
    return 0;
#endif
}

std::uint64_t NameResolutions()
{
    const Sim::HostCounters& counters = Sim::Counters();
    return counters.FindObject + counters.FindAllOf + counters.NameFind + counters.FindProperty + counters.GetChildren;
}

// The engine's side of the measured frames, per frame: the calls it ran for the mod, the
// allocations the frames made, and the names it was asked to resolve.
class FrameFigures
{
  public:
    FrameFigures()
        : calls_(Sim::Counters().ProcessEvent), allocations_(Allocations()), lookups_(NameResolutions())
    {
    }
    void Report(benchmark::State& state) const
    {
        // Every figure is read before the first counter is written: writing one allocates.
        const auto frames = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
        const auto calls = static_cast<double>(Sim::Counters().ProcessEvent - calls_);
        const auto allocations = static_cast<double>(Allocations() - allocations_);
        const auto lookups = static_cast<double>(NameResolutions() - lookups_);
        state.counters["engine_calls_per_frame"] = calls / frames;
        state.counters["allocations_per_frame"] = allocations / frames;
        state.counters["lookups_per_frame"] = lookups / frames;
    }

  private:
    std::uint64_t calls_;
    long allocations_;
    std::uint64_t lookups_;
};

void BM_FrameWithLiveSession(benchmark::State& state)
{
    StartGame();
    Sim::PadObjectArray(static_cast<std::size_t>(state.range(1)));
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    auto* pawn = Sim::EnterLocalPlayer(world).pawn;
    auto mod = std::make_unique<Orv::LiveOrvantaMod>();
    mod->on_unreal_init();
    mod->StartOnGameThread();
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
    const FrameFigures figures;
    for (auto _ : state)
    {
        MeasuredFrame(*mod);
    }
    figures.Report(state);
    state.counters["tracked"] = static_cast<double>(mod->Session().actors.trackedActors.size());
    mod.reset();
}
BENCHMARK(BM_FrameWithLiveSession)->ArgNames({"creatures", "objects"})->Args({0, 0})->Args({64, 0})->Args({64, 100000});

// A still player in a small game, a few frames past its session's start.
std::unique_ptr<Orv::LiveOrvantaMod> StartSteadySession(UWorld*& world)
{
    StartGame();
    world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    Sim::EnterLocalPlayer(world);
    auto mod = std::make_unique<Orv::LiveOrvantaMod>();
    mod->on_unreal_init();
    mod->StartOnGameThread();
    for (int i = 0; i < 40; ++i)
    {
        Sim::TickEngine(1.0f / 60.0f);
    }
    return mod;
}

// The steady frame with every lookup asking the engine again, as it would without the caches;
// against BM_FrameWithLiveSession/creatures:0 of the same run.
void BM_FrameWithoutLookupCaches(benchmark::State& state)
{
    UWorld* world = nullptr;
    auto mod = StartSteadySession(world);
    Orv::BypassLookupCaches(true);
    const FrameFigures figures;
    for (auto _ : state)
    {
        MeasuredFrame(*mod);
    }
    figures.Report(state);
    Orv::BypassLookupCaches(false);
    mod.reset();
}
BENCHMARK(BM_FrameWithoutLookupCaches);

// The event every actor of the game raises as it begins play, for one the mod does not track.
void BM_BeginPlayOfAnUntrackedActor(benchmark::State& state)
{
    UWorld* world = nullptr;
    auto mod = StartSteadySession(world);
    UObject* bystander = Sim::SpawnActor(world, L"/Script/Engine.StaticMeshActor");
    Orv::BypassLookupCaches(state.range(0) == 0);
    for (auto _ : state)
    {
        mod->OnRuntimeEvent(Orv::LiveOrvantaMod::RuntimeEvent::ActorBeginPlay, bystander);
    }
    Orv::BypassLookupCaches(false);
    mod.reset();
}
BENCHMARK(BM_BeginPlayOfAnUntrackedActor)->ArgName("caches")->Arg(1)->Arg(0);

// The crowd: 500 creatures and 1000 of the game's map icons around the player, every pool
// full, with default settings. The average includes the list's rebuild once a second.
struct Crowd
{
    std::unique_ptr<Orv::LiveOrvantaMod> mod;
    std::vector<UObject*> creatures;
};

// The mod's tick callback is registered between two of the benchmark's own, which read the
// thread's processor clock: an engine frame can then run whole while only the mod is timed.
struct TickTimer
{
    timespec start{};
    double seconds = 0.0;
    std::uint64_t callsAtStart = 0;
    long allocationsAtStart = 0;
    std::uint64_t calls = 0;
    long allocations = 0;

    static double Between(const timespec& a, const timespec& b)
    {
        return static_cast<double>(b.tv_sec - a.tv_sec) + static_cast<double>(b.tv_nsec - a.tv_nsec) * 1e-9;
    }
    RC::Unreal::Hook::GlobalCallbackId Register(bool starts)
    {
        RC::Unreal::Hook::FCallbackOptions options;
        options.OwnerModName = STR("Bench");
        options.HookName = starts ? STR("Start") : STR("Stop");
        return RC::Unreal::Hook::RegisterEngineTickPostCallback(
            [this, starts](auto&, auto*, float, bool) {
                timespec at{};
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &at);
                if (starts)
                {
                    start = at;
                    callsAtStart = Sim::Counters().ProcessEvent;
                    allocationsAtStart = Allocations();
                }
                else
                {
                    seconds = Between(start, at);
                    calls += Sim::Counters().ProcessEvent - callsAtStart;
                    allocations += Allocations() - allocationsAtStart;
                }
            },
            options);
    }
};

Crowd StartCrowd(TickTimer* timer)
{
    StartGame();
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    Sim::EnterLocalPlayer(world);
    if (timer != nullptr)
    {
        timer->Register(true);
    }
    Crowd crowd{std::make_unique<Orv::LiveOrvantaMod>(), {}};
    crowd.mod->on_unreal_init();
    crowd.mod->StartOnGameThread();
    if (timer != nullptr)
    {
        timer->Register(false);
    }
    Sim::TickEngine(1.0f / 60.0f);
    for (int i = 0; i < 500; ++i)
    {
        const double angle = i * 0.618 * 6.283;
        const double distance = 150.0 + 12.0 * i;
        crowd.creatures.push_back(Sim::SpawnCreature(world, {distance * std::cos(angle), distance * std::sin(angle), 0, 0},
                                                     i % 25 == 0, static_cast<Sim::uint8>(i % 3)));
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
    return crowd;
}

// The calls a crowd costs most of, counted on any object.
constexpr std::array<const wchar_t*, 4> kCrowdCalls{L"IsActorBeingDestroyed", L"K2_GetActorLocation", L"K2_GetComponentLocation",
                                                     L"SetPosition"};

std::array<std::uint64_t, kCrowdCalls.size()> CrowdCallCounts()
{
    std::array<std::uint64_t, kCrowdCalls.size()> counts{};
    for (std::size_t i = 0; i < kCrowdCalls.size(); ++i)
    {
        counts[i] = Sim::CallCount(kCrowdCalls[i]);
    }
    return counts;
}

void ReportCrowd(benchmark::State& state, const Crowd& crowd, const std::array<std::uint64_t, kCrowdCalls.size()>& before)
{
    const auto frames = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    const auto after = CrowdCallCounts();
    for (std::size_t i = 0; i < kCrowdCalls.size(); ++i)
    {
        std::string name;
        for (const wchar_t* c = kCrowdCalls[i]; *c != 0; ++c)
        {
            name += static_cast<char>(*c);
        }
        state.counters[name] = static_cast<double>(after[i] - before[i]) / frames;
    }
    state.counters["listed"] = static_cast<double>(crowd.mod->Session().mapIcons.count);
    state.counters["tracked"] = static_cast<double>(crowd.mod->Session().actors.trackedActors.size());
}

// Standing: nothing moves, the mod's frame alone.
void BM_FrameInACrowd(benchmark::State& state)
{
    Crowd crowd = StartCrowd(nullptr);
    const auto callsBefore = CrowdCallCounts();
    const FrameFigures figures;
    for (auto _ : state)
    {
        MeasuredFrame(*crowd.mod);
    }
    figures.Report(state);
    ReportCrowd(state, crowd, callsBefore);
    crowd.mod.reset();
}
BENCHMARK(BM_FrameInACrowd)->Unit(benchmark::kMicrosecond);

// Strolling: every creature walks at its own pace on its own curve and the engine runs a whole
// frame (its scenes, its collector, its pictures); only the mod's tick inside it is timed.
void BM_FrameInAStrollingCrowd(benchmark::State& state)
{
    TickTimer timer;
    Crowd crowd = StartCrowd(&timer);
    std::vector<Sim::Placement> at;
    for (UObject* creature : crowd.creatures)
    {
        at.push_back(Sim::ActorPlacement(creature));
    }
    const auto callsBefore = CrowdCallCounts();
    timer.calls = 0;
    timer.allocations = 0;
    std::int64_t frame = 0;
    for (auto _ : state)
    {
        ++frame;
        for (std::size_t i = 0; i < crowd.creatures.size(); ++i)
        {
            // About 150 units a second, turning a little each frame.
            const double heading = static_cast<double>(i) + static_cast<double>(frame) * 0.01 * static_cast<double>(1 + i % 5);
            at[i].x += 2.5 * std::cos(heading);
            at[i].y += 2.5 * std::sin(heading);
            at[i].yaw = heading * 57.29577951308232;
            Sim::SetActorPlacement(crowd.creatures[i], at[i]);
        }
        Sim::TickEngine(1.0f / 60.0f);
        state.SetIterationTime(timer.seconds);
    }
    const auto frames = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["engine_calls_per_frame"] = static_cast<double>(timer.calls) / frames;
    state.counters["allocations_per_frame"] = static_cast<double>(timer.allocations) / frames;
    ReportCrowd(state, crowd, callsBefore);
    crowd.mod.reset();
}
BENCHMARK(BM_FrameInAStrollingCrowd)->UseManualTime()->Unit(benchmark::kMicrosecond);

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
