// A fresh stand-in engine per test, optionally with the default game's classes, and a
// device that captures the log lines the code under test writes; engine vectors of either width.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Game.hpp>
#include <Sim/Output.hpp>
#include <Sim/Types.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// The clock is the engine's everywhere: on Windows the engine points the mod's imports of the
// system's performance counter at it.
#define ORV_SKIP_WITHOUT_ENGINE_CLOCK() static_cast<void>(0)

// The keys are the simulated player's everywhere: on Windows the engine points the mod's
// imports of the system's key state at them.
#define ORV_SKIP_WITHOUT_SIMULATED_KEYS() static_cast<void>(0)

// Fault tests jump out of signal handlers, which the address sanitizer's own handlers and
// bookkeeping do not survive; they run in the plain build.
#if defined(__SANITIZE_ADDRESS__)
#define ORV_SKIP_IF_SANITIZED() GTEST_SKIP() << "deliberate faults are not run under AddressSanitizer"
#else
#define ORV_SKIP_IF_SANITIZED() (void)0
#endif

namespace OrvTest
{
// As a game whose blueprints implement the actors' and components' begin- and end-play events
// on the classes themselves: then those events run, and so do their hooks. Without it the
// engine calls nothing for them, as a shipped game does for events nothing implements.
// Three reals of a vector or rotator value in the running engine's width: floats before 5.0,
// doubles from 5.0 on.
inline std::array<double, 3> ReadEngineVector(const void* at)
{
    if (RC::Unreal::Version::IsBelow(5, 0))
    {
        float v[3];
        std::memcpy(v, at, sizeof(v));
        return {v[0], v[1], v[2]};
    }
    double v[3];
    std::memcpy(v, at, sizeof(v));
    return {v[0], v[1], v[2]};
}

inline void WriteEngineVector(void* at, double x, double y, double z)
{
    if (RC::Unreal::Version::IsBelow(5, 0))
    {
        const float v[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
        std::memcpy(at, v, sizeof(v));
        return;
    }
    const double v[3] = {x, y, z};
    std::memcpy(at, v, sizeof(v));
}

inline void ImplementPlayEvents()
{
    for (const wchar_t* path : {L"/Script/Engine.Actor:ReceiveBeginPlay", L"/Script/Engine.Actor:ReceiveEndPlay",
                                L"/Script/Engine.ActorComponent:ReceiveBeginPlay",
                                L"/Script/Engine.ActorComponent:ReceiveEndPlay"})
    {
        Sim::SetFunctionScript(Sim::FindFunctionByPath(path), [](Sim::Call&) {});
    }
}

class EngineFixture : public ::testing::Test
{
  protected:
    void SetUp() override { StartEngine(); }

    void StartEngine(int major = 5, int minor = 1, const Sim::GameOptions& game = {})
    {
        Sim::ResetEngine({.VersionMajor = major, .VersionMinor = minor});
        Sim::DefineDefaultGame(game);
        Sim::ResetCounters();
    }

    std::vector<Sim::LogLine> Lines() const { return captured_->Lines(); }

    Sim::CapturingOutputDevice* captured_ = new Sim::CapturingOutputDevice(true);
    Sim::ScopedOutputDevice captureScope_{std::unique_ptr<RC::Output::OutputDevice>(captured_)};
};
} // namespace OrvTest
