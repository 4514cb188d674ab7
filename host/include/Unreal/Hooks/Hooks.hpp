// The loader's callbacks on the engine's native functions: the engine tick (each post-tick
// callback once per engine frame), an actor's BeginPlay and EndPlay, and UEngine::LoadMap.
// Unlike a script function's hooks they run for every call of the native function itself. As
// the loader keeps them: a registration may come from any thread; a removed callback is only
// marked, and its callable destroyed later, when the registry is pruned (inside a later
// registration, or on the loader's own collector thread every few seconds); an exception that
// leaves a callback removes that callback for good.
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

namespace Internal
{
struct FCallbackMetadata;

// What a running callback may ask of its run, as the loader's CallbackIterationDataCommonImpl.
class UE4SS_API FCallbackIterationDataCommonImpl
{
  public:
    explicit FCallbackIterationDataCommonImpl(StringViewType InOwnerDetourName);

    StringViewType GetCallbackName() const;
    StringViewType GetOwnerModName() const;
    StringViewType GetDetourName() const;
    // Marks the running callback removed; it never runs again. Throws outside a callback.
    void RemoveSelf();

    void SetCurrentCallbackInfo(FCallbackMetadata* Data);
    FCallbackMetadata* GetCurrentCallbackInfo() const;

  private:
    FCallbackMetadata* CurrentCallbackInfo = nullptr;
    StringViewType OwnerDetourName;
};
} // namespace Internal

// One run of a detour's callbacks, as the loader hands it to each (its shape for a function
// of any result: what the mod may ask is the same).
template <typename ReturnType> class TCallbackIterationData
{
  public:
    explicit TCallbackIterationData(StringViewType OwnerDetourName) : CommonImpl(OwnerDetourName) {}
    TCallbackIterationData(const TCallbackIterationData&) = delete;
    TCallbackIterationData& operator=(const TCallbackIterationData&) = delete;

    StringViewType GetCallbackName() const { return CommonImpl.GetCallbackName(); }
    StringViewType GetOwnerModName() const { return CommonImpl.GetOwnerModName(); }
    StringViewType GetDetourName() const { return CommonImpl.GetDetourName(); }
    // The one safe way for a callback to remove itself while it runs: UnregisterCallback from
    // inside the callback it removes waits for that very callback to finish, for ever.
    void RemoveSelf() { CommonImpl.RemoveSelf(); }

    // The registry's side: which callback runs now.
    void SetCurrentCallbackInfo(Internal::FCallbackMetadata* Data) { CommonImpl.SetCurrentCallbackInfo(Data); }
    Internal::FCallbackMetadata* GetCurrentCallbackInfo() const { return CommonImpl.GetCurrentCallbackInfo(); }

  private:
    Internal::FCallbackIterationDataCommonImpl CommonImpl;
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

// Removes any of the callbacks above: marks it removed and waits until no thread runs it.
// Never from inside the callback it removes (RemoveSelf is for that): the loader waits for
// that callback to finish first, for ever.
UE4SS_API bool UnregisterCallback(GlobalCallbackId id);
} // namespace RC::Unreal::Hook
