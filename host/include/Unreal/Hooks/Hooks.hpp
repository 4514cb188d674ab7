// The loader's callbacks on the engine's native functions: the engine tick (each post-tick
// callback once per engine frame), an actor's BeginPlay and EndPlay, and UEngine::LoadMap.
// Unlike a script function's hooks they run for every call of the native function itself.
#pragma once

#include <Unreal/AActor.hpp>
#include <Unreal/Common.hpp>
#include <Unreal/FURL.hpp>

#include <functional>

namespace RC::Unreal
{
class UPendingNetGame;
struct FWorldContext;
} // namespace RC::Unreal

namespace RC::Unreal::Hook
{
using GlobalCallbackId = uint64;
inline constexpr GlobalCallbackId ERROR_ID = 0;

struct FCallbackOptions
{
    bool bOnce = false;
    bool bReadonly = false;
    StringType OwnerModName;
    StringType HookName;
};

template <typename T> struct TCallbackIterationData
{
    bool bDisableFurtherCallbacks = false;
    T* CustomData = nullptr;
};

using EngineTickCallbackWithData =
    std::function<void(TCallbackIterationData<void>&, UEngine*, float DeltaSeconds, bool bIdleMode)>;

UE4SS_API GlobalCallbackId RegisterEngineTickPostCallback(EngineTickCallbackWithData callback,
                                                          FCallbackOptions options);
[[deprecated("pass FCallbackOptions")]] UE4SS_API GlobalCallbackId
RegisterEngineTickPostCallback(EngineTickCallbackWithData callback);

// Around AActor::BeginPlay (the actor's components and its ReceiveBeginPlay run inside it),
// AActor::EndPlay (its ReceiveEndPlay and its components' end run inside it) and
// UEngine::LoadMap (the old world's end, the collection and the new world's begin run inside
// it; the result says whether the load succeeded).
using BeginPlayCallbackWithData = std::function<void(TCallbackIterationData<void>&, AActor* Context)>;
using EndPlayCallbackWithData =
    std::function<void(TCallbackIterationData<void>&, AActor* Context, EEndPlayReason EndPlayReason)>;
using LoadMapCallbackWithData = std::function<void(TCallbackIterationData<bool>&, UEngine*, FWorldContext& WorldContext,
                                                   FURL URL, UPendingNetGame* PendingGame, FString& Error)>;

UE4SS_API GlobalCallbackId RegisterBeginPlayPreCallback(BeginPlayCallbackWithData Callback, FCallbackOptions Options);
UE4SS_API GlobalCallbackId RegisterBeginPlayPostCallback(BeginPlayCallbackWithData Callback, FCallbackOptions Options);
UE4SS_API GlobalCallbackId RegisterEndPlayPreCallback(EndPlayCallbackWithData Callback, FCallbackOptions Options);
UE4SS_API GlobalCallbackId RegisterEndPlayPostCallback(EndPlayCallbackWithData Callback, FCallbackOptions Options);
UE4SS_API GlobalCallbackId RegisterLoadMapPreCallback(LoadMapCallbackWithData Callback, FCallbackOptions Options);
UE4SS_API GlobalCallbackId RegisterLoadMapPostCallback(LoadMapCallbackWithData Callback, FCallbackOptions Options);

// Removes any of the callbacks above. Never from inside the callback being removed: the
// loader waits for that callback to finish first, for ever.
UE4SS_API bool UnregisterCallback(GlobalCallbackId id);
} // namespace RC::Unreal::Hook
