// The loader's callback registries on the engine's native functions: the callbacks' run state,
// what a running callback may ask, the engine-tick registrations, and the loader's line for a
// callback that threw.
#include "Sim/EngineState.hpp"

#include <DynamicOutput/DynamicOutput.hpp>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <stdexcept>

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

void FCallbackMetadata::EndExecution()
{
    const uint64_t before = State.fetch_sub(1, std::memory_order_acq_rel);
    if ((before & EXECUTOR_MASK) == 1)
    {
        State.notify_all();
    }
}

void FCallbackMetadata::WaitForExecutorsToFinish()
{
    uint64_t current = State.load(std::memory_order_acquire);
    while ((current & EXECUTOR_MASK) != 0)
    {
        State.wait(current, std::memory_order_acquire);
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

bool UnregisterCallback(GlobalCallbackId id)
{
    auto& s = Sim::Detail::State();
    ++s.counters.UnregisterTick;
    // Hook::UnregisterCallback picks the registry by the id's detour bit.
    if ((id & Internal::kDetourMask) == s.ticks.DetourBit())
    {
        return s.ticks.Remove(id);
    }
    return false;
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
