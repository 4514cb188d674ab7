// The loader's detours on three of the engine's native functions, AActor::BeginPlay,
// AActor::EndPlay and UEngine::LoadMap, as the simulated engine runs them: each wraps the
// function's own work between the callbacks mods registered before and after it.
#pragma once

#include <Unreal/Common.hpp>
#include <Unreal/FURL.hpp>
#include <Unreal/Hooks/Hooks.hpp>

#include <functional>

namespace RC::Unreal
{
// The engine's record of a world being played (the game's one, in a game): the world it holds
// now and the game instance it belongs to. The loader hands it to LoadMap callbacks opaque.
struct FWorldContext
{
    UWorld* ThisCurrentWorld = nullptr;
    UObject* OwningGameInstance = nullptr;
};
} // namespace RC::Unreal

namespace Sim::Detail
{
// TDetourInstance::Invoke: the pre-callbacks, then the function's own work, then the
// post-callbacks, each set in registration order (read-only ones last).
void RunBeginPlay(RC::Unreal::UObject* actor, const std::function<void()>& original);
void RunEndPlay(RC::Unreal::UObject* actor, RC::Unreal::uint8 reason, const std::function<void()>& original);
bool RunLoadMap(RC::Unreal::FWorldContext& context, const RC::Unreal::FURL& url, const std::function<bool()>& original);
} // namespace Sim::Detail
