// What the fault guard adds to an engine call, without Google Benchmark, so the Windows build
// (under Wine) measures it too: the cheapest script call straight into ProcessEvent and the
// same call through the guard, alternating rounds, best round of each.
#include "EngineCall.hpp"
#include "reflection/FaultGuard.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Game.hpp>
#include <Sim/Types.hpp>
#include <Unreal/UObject.hpp>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif


using OrvBench::CallEngine;
using OrvBench::EngineCall;

namespace
{
using namespace RC::Unreal;

// The engine routes the program's own counter imports to its clock, so the system's counter
// is fetched by name here.
double NowNanoseconds()
{
#ifdef _WIN32
    using Query = BOOL(WINAPI*)(LARGE_INTEGER*);
    static const auto counter = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryPerformanceCounter")));
    static const auto frequency = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryPerformanceFrequency")));
    LARGE_INTEGER ticks{};
    LARGE_INTEGER perSecond{};
    counter(&ticks);
    frequency(&perSecond);
    return static_cast<double>(ticks.QuadPart) * 1e9 / static_cast<double>(perSecond.QuadPart);
#else
    return static_cast<double>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
#endif
}


double RoundNanoseconds(EngineCall& call, bool guarded, int calls)
{
    const double start = NowNanoseconds();
    for (int i = 0; i < calls; ++i)
    {
        if (guarded)
        {
            Orv::RunContained(&CallEngine, &call);
        }
        else
        {
            CallEngine(&call);
        }
    }
    return (NowNanoseconds() - start) / calls;
}
} // namespace

int main()
{
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame();
    auto* widget = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Widget"), nullptr, L"Widget");
    UFunction* nothing = Sim::AddFunction(static_cast<UClass*>(widget->GetClassPrivate()), {L"Nothing", {}, [](Sim::Call&) {}});
    std::uint8_t parms[1] = {};
    EngineCall call{widget, nothing, parms};
    constexpr int kCalls = 200000;
    constexpr int kRounds = 15;
    double unguarded = 1e30;
    double guarded = 1e30;
    for (int round = 0; round < kRounds; ++round)
    {
        unguarded = std::min(unguarded, RoundNanoseconds(call, false, kCalls));
        guarded = std::min(guarded, RoundNanoseconds(call, true, kCalls));
    }
    std::printf("unguarded %.1f ns, guarded %.1f ns, ratio %.2f\n", unguarded, guarded, guarded / unguarded);
    return 0;
}
