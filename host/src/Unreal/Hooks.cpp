// The loader's callback registries on the engine's native functions: the callbacks' run state,
// what a running callback may ask, the engine-tick registrations, and the loader's line for a
// callback that threw.
#include "Sim/EngineState.hpp"

#include <DynamicOutput/DynamicOutput.hpp>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <stdexcept>
#include <thread>

namespace RC::Unreal::Hook
{
namespace Internal
{
bool FCallbackMetadata::TryBeginExecution(bool once)
{
    uint64_t current = State.load(std::memory_order_acquire);
    for (;;)
    {
        if ((current & INVALID_BIT) != 0 || (current & EXECUTOR_MASK) == EXECUTOR_MASK)
        {
            return false;
        }
        uint64_t desired = current + 1;
        if (once)
        {
            desired |= INVALID_BIT;
        }
        if (State.compare_exchange_weak(current, desired, std::memory_order_acq_rel, std::memory_order_acquire))
        {
            return true;
        }
    }
}

// The loader parks a waiter with the atomic's wait and wakes it with notify_all. MinGW's
// standard library parks atomic waits in a static pool of condition variables, destroyed after
// ExitProcess has ended the threads: one ended inside a notify leaves the destructor spinning
// for ever. There the stand-in's waiter yields instead, and no notify is needed.
void FCallbackMetadata::EndExecution()
{
    [[maybe_unused]] const uint64_t before = State.fetch_sub(1, std::memory_order_acq_rel);
#ifndef _WIN32
    if ((before & EXECUTOR_MASK) == 1)
    {
        State.notify_all();
    }
#endif
}

void FCallbackMetadata::WaitForExecutorsToFinish()
{
    uint64_t current = State.load(std::memory_order_acquire);
    while ((current & EXECUTOR_MASK) != 0)
    {
#ifdef _WIN32
        std::this_thread::yield();
#else
        State.wait(current, std::memory_order_acquire);
#endif
        current = State.load(std::memory_order_acquire);
    }
}

FCallbackIterationDataCommonImpl::FCallbackIterationDataCommonImpl(StringViewType InOwnerDetourName)
    : OwnerDetourName(InOwnerDetourName)
{
}

StringViewType FCallbackIterationDataCommonImpl::GetCallbackName() const
{
    return CurrentCallbackInfo != nullptr ? StringViewType(CurrentCallbackInfo->HookName) : L"NoCallback";
}

StringViewType FCallbackIterationDataCommonImpl::GetOwnerModName() const
{
    return CurrentCallbackInfo != nullptr ? StringViewType(CurrentCallbackInfo->OwnerModName) : L"NoCallback";
}

StringViewType FCallbackIterationDataCommonImpl::GetDetourName() const { return OwnerDetourName; }

void FCallbackIterationDataCommonImpl::RemoveSelf()
{
    if (CurrentCallbackInfo == nullptr)
    {
        throw std::runtime_error("Can't call RemoveSelf (or any function within TCallbackIterationData) outside of a callback!");
    }
    // Marked only: the registry is not told it has something to prune (the loader's own
    // RemoveSelf leaves that to the next removal or once-callback).
    CurrentCallbackInfo->Invalidate();
}

void FCallbackIterationDataCommonImpl::SetCurrentCallbackInfo(FCallbackMetadata* Data) { CurrentCallbackInfo = Data; }
FCallbackMetadata* FCallbackIterationDataCommonImpl::GetCurrentCallbackInfo() const { return CurrentCallbackInfo; }

std::vector<const FCallbackMetadata*>& RunningHere()
{
    thread_local std::vector<const FCallbackMetadata*> running;
    return running;
}

void ReportRemovalFromInside(StringViewType detour)
{
    Sim::FailCheck(std::wstring(L"UnregisterCallback inside the callback it removes: the loader waits for it for ever: ") +
                   std::wstring(detour));
}

void ReportRemovedThrower(StringViewType owner, StringViewType detour, StringViewType hook, const char* what)
{
    std::wstring line;
    if (what != nullptr)
    {
        std::wstring text;
        for (const char* c = what; *c != '\0'; ++c)
        {
            text.push_back(static_cast<unsigned char>(*c));
        }
        line = fmt::format(L"[{}.{}.{}] Hook threw exception: \"{}\", removing hook!\n", owner, detour, hook, text);
    }
    else
    {
        line = fmt::format(L"[{}.{}.{}] Hook threw non-standard exception, removing hook!\n", owner, detour, hook);
    }
    Sim::Detail::SendLoaderLine(line, Sim::Detail::kLoaderErrorLevel);
}
} // namespace Internal

GlobalCallbackId RegisterEngineTickPostCallback(EngineTickCallbackWithData callback, FCallbackOptions options)
{
    auto& s = Sim::Detail::State();
    ++s.counters.RegisterTick;
    if (s.refuseTicks.load() || !callback)
    {
        return ERROR_ID;
    }
    return s.ticks.Add(std::move(callback), false, std::move(options));
}

GlobalCallbackId RegisterEngineTickPostCallback(EngineTickCallbackWithData callback)
{
    return RegisterEngineTickPostCallback(std::move(callback), FCallbackOptions{});
}

namespace
{
template <typename Registry, typename Callback>
GlobalCallbackId RegisterLoaderCallback(Registry& registry, Callback callback, bool pre, FCallbackOptions options)
{
    auto& s = Sim::Detail::State();
    ++s.counters.RegisterLoaderCallback;
    // The loader's settings may leave the detour out (HookBeginPlay = 0 and so on): then it
    // cannot be installed and the registration fails.
    if (s.refuseLoaderCallbacks.load() || !callback)
    {
        return ERROR_ID;
    }
    return registry.Add(std::move(callback), pre, std::move(options));
}
} // namespace

GlobalCallbackId RegisterBeginPlayPreCallback(BeginPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return RegisterLoaderCallback(Sim::Detail::State().beginPlay, std::move(Callback), true, std::move(Options));
}

GlobalCallbackId RegisterBeginPlayPostCallback(BeginPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return RegisterLoaderCallback(Sim::Detail::State().beginPlay, std::move(Callback), false, std::move(Options));
}

GlobalCallbackId RegisterEndPlayPreCallback(EndPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return RegisterLoaderCallback(Sim::Detail::State().endPlay, std::move(Callback), true, std::move(Options));
}

GlobalCallbackId RegisterEndPlayPostCallback(EndPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return RegisterLoaderCallback(Sim::Detail::State().endPlay, std::move(Callback), false, std::move(Options));
}

GlobalCallbackId RegisterLoadMapPreCallback(LoadMapCallbackWithData Callback, FCallbackOptions Options)
{
    return RegisterLoaderCallback(Sim::Detail::State().loadMap, std::move(Callback), true, std::move(Options));
}

GlobalCallbackId RegisterLoadMapPostCallback(LoadMapCallbackWithData Callback, FCallbackOptions Options)
{
    return RegisterLoaderCallback(Sim::Detail::State().loadMap, std::move(Callback), false, std::move(Options));
}

// Hook::UnregisterCallback picks the registry by the id's detour bit.
bool UnregisterCallback(GlobalCallbackId id)
{
    auto& s = Sim::Detail::State();
    switch (id & Internal::kDetourMask)
    {
    case Internal::kEngineTickDetour: ++s.counters.UnregisterTick; return s.ticks.Remove(id);
    case Internal::kBeginPlayDetour: ++s.counters.UnregisterLoaderCallback; return s.beginPlay.Remove(id);
    case Internal::kEndPlayDetour: ++s.counters.UnregisterLoaderCallback; return s.endPlay.Remove(id);
    case Internal::kLoadMapDetour: ++s.counters.UnregisterLoaderCallback; return s.loadMap.Remove(id);
    default: return false;
    }
}
} // namespace RC::Unreal::Hook

namespace Sim::Detail
{
void SendLoaderLine(StringViewType line, int32 level)
{
    for (const auto& device : RC::Output::DefaultTargets::get_default_devices_ref())
    {
        if (device == nullptr)
        {
            continue;
        }
        if (device->has_optional_arg())
        {
            device->receive_with_optional_arg(line, level);
        }
        else
        {
            device->receive(line);
        }
    }
}
} // namespace Sim::Detail
