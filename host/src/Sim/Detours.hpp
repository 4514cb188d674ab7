// The loader's detours on three of the engine's native functions, AActor::BeginPlay,
// AActor::EndPlay and UEngine::LoadMap, as the simulated engine runs them: each wraps the
// function's own work between the callbacks mods registered before and after it.
#pragma once

#include <Unreal/Common.hpp>
#include <Unreal/FURL.hpp>
#include <Unreal/Hooks/Hooks.hpp>

#include <cstddef>
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
using RC::Unreal::uint64;
using RC::Unreal::uint8;
using RC::Unreal::UObject;

// The bits the loader's ids carry for their detour (EDetourTarget in its Hooks/Internal/Constants.hpp).
enum class DetourTarget : uint64
{
    LoadMap = uint64{1} << 54,
    BeginPlay = uint64{1} << 51,
    EndPlay = uint64{1} << 50,
};

// TDetourInstance::Invoke: the pre-callbacks, then the function's own work, then the
// post-callbacks, each set in registration order (read-only ones last).
void RunBeginPlay(UObject* actor, const std::function<void()>& original);
void RunEndPlay(UObject* actor, uint8 reason, const std::function<void()>& original);
bool RunLoadMap(RC::Unreal::FWorldContext& context, const RC::Unreal::FURL& url, const std::function<bool()>& original);

// Hook::UnregisterCallback for an id of these detours; false when the id is none of theirs.
bool UnregisterDetourCallback(RC::Unreal::Hook::GlobalCallbackId id, bool& removed);
std::size_t DetourCallbackCount(DetourTarget target);
// A fresh engine is a fresh process: the loader's registrations go with the old one.
void ClearDetours();
} // namespace Sim::Detail
