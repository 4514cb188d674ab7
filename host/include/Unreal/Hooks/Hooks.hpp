// Engine tick callbacks. The loader runs each post-tick callback once per engine frame.
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
UE4SS_API bool UnregisterCallback(GlobalCallbackId id);
} // namespace RC::Unreal::Hook
