// A fresh stand-in engine per test, optionally with the default game's classes, and a
// device that captures the log lines the code under test writes; engine vectors of either width.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Game.hpp>
#include <Sim/Output.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>
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

// A blueprint class of the world's level deriving from the native one, implementing its begin
// and end of play itself (an empty script where none is given), as a shipped game's actors
// and components do: the engine runs these functions of its own for it, never the native
// declarations.
inline RC::Unreal::UClass* PlayingBlueprint(RC::Unreal::UWorld* world, const std::wstring& name, const std::wstring& super,
                                           Sim::NativeFunction onBegin = {}, Sim::NativeFunction onEnd = {})
{
    auto orEmpty = [](Sim::NativeFunction script) { return script ? script : Sim::NativeFunction([](Sim::Call&) {}); };
    return Sim::DefineLevelClass(world, {.path = L"/Game/Test/" + name + L"." + name + L"_C",
                                         .super = super,
                                         .overrides = {{L"ReceiveBeginPlay", orEmpty(std::move(onBegin))},
                                                       {L"ReceiveEndPlay", orEmpty(std::move(onEnd))}}});
}

// A game build whose world-change event is left to blueprints: no native code, so a hook on the
// declaration is never reached.
inline void LeaveWorldChangeToBlueprints()
{
    const Sim::Type world = Sim::Object(L"/Script/Engine.World");
    Sim::RemoveFunction(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged");
    Sim::AddFunction(Sim::FindClass(L"/Script/Umbrafel.UmbrafelGameInstance"),
                     {L"K2_OnWorldChanged",
                      {Sim::In(L"OldWorld", world), Sim::In(L"NewWorld", world)},
                      {},
                      RC::Unreal::FUNC_Event | RC::Unreal::FUNC_BlueprintEvent | RC::Unreal::FUNC_Public});
}

// The game instance as a shipped game has it: a blueprint of the game's class that implements
// the world-change event itself, so the engine never runs the declaration for it.
inline RC::Unreal::UObject* BlueprintGameInstance(RC::Unreal::UWorld* world)
{
    RC::Unreal::UClass* cls = Sim::DefineClass({.path = L"/Game/Test/BP_GameInstance.BP_GameInstance_C",
                                                .super = L"/Script/Umbrafel.UmbrafelGameInstance",
                                                .blueprint = true,
                                                .overrides = {{L"K2_OnWorldChanged", [](Sim::Call&) {}}}});
    return Sim::CreateGameInstanceOf(world, cls);
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
