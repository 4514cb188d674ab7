// The loader's callbacks on the engine's native functions, of which the mod takes the engine
// tick. As the loader keeps them: a registration may come from any thread; a removed callback
// is only marked, and its callable destroyed later, when the registry is pruned (inside a
// later registration, or on the loader's own collector thread every few seconds); an
// exception that leaves a callback removes that callback for good.
#pragma once

#include <Unreal/Common.hpp>

#include <functional>

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

template <typename ReturnType> class TCallbackIterationData;

template <> class TCallbackIterationData<void>
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
// Marks the callback removed and waits until no thread runs it. Never from inside the callback
// it removes (RemoveSelf is for that).
UE4SS_API bool UnregisterCallback(GlobalCallbackId id);
} // namespace RC::Unreal::Hook
