// The loader's registry of callbacks on one engine function (its TDetourInstance): copy-on-write
// lists of pre- and post-callbacks that the engine's thread reads without waiting, each
// callback with an executor count and a removed bit in one atomic word (FCallbackMetadata).
// A removal only marks; the callable goes when the lists are pruned, inside a later
// registration or on the collector's thread (FCallbackGarbageCollector), so a removed
// callback's code must still be there then.
#pragma once

#include <Unreal/Hooks/Hooks.hpp>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RC::Unreal::Hook::Internal
{
struct FCallbackMetadata
{
    static constexpr uint64_t INVALID_BIT = uint64_t{1} << 63;
    static constexpr uint64_t EXECUTOR_MASK = ~INVALID_BIT;

    FCallbackMetadata(GlobalCallbackId id, const FCallbackOptions& options)
        : Id(id), OwnerModName(options.OwnerModName), HookName(options.HookName)
    {
    }
    virtual ~FCallbackMetadata() = default;

    bool IsInvalid() const { return (State.load(std::memory_order_acquire) & INVALID_BIT) != 0; }
    // Claims a run; a once-callback is removed by the same step, so only one thread runs it.
    bool TryBeginExecution(bool once);
    // True when this call is the one that removed it.
    bool Invalidate() { return (State.fetch_or(INVALID_BIT, std::memory_order_acq_rel) & INVALID_BIT) == 0; }
    void EndExecution();
    void WaitForExecutorsToFinish();

    GlobalCallbackId Id;
    StringType OwnerModName;
    StringType HookName;
    std::atomic<uint64_t> State{0};
};

// The detour bits and flag bits of a GlobalCallbackId, as the loader encodes them
// (EDetourTarget and EGlobalCallbackAttributeFlags in its Hooks/Internal/Constants.hpp).
inline constexpr uint64_t kOnceFlag = uint64_t{1} << 63;
inline constexpr uint64_t kReadonlyFlag = uint64_t{1} << 62;
inline constexpr uint64_t kPrehookFlag = uint64_t{1} << 61;
inline constexpr uint64_t kLoadMapDetour = uint64_t{1} << 54;
inline constexpr uint64_t kEngineTickDetour = uint64_t{1} << 53;
inline constexpr uint64_t kBeginPlayDetour = uint64_t{1} << 51;
inline constexpr uint64_t kEndPlayDetour = uint64_t{1} << 50;
inline constexpr uint64_t kDetourMask = uint64_t{0x7FF} << 46; // bits 46 to 56: the engine functions

// The callbacks running on this thread, innermost last: a removal from inside the callback it
// removes would wait for itself.
std::vector<const FCallbackMetadata*>& RunningHere();
// What the loader would do there is wait for ever; the stand-in counts a failed check instead.
void ReportRemovalFromInside(StringViewType detour);

template <typename ReturnType, typename... Args> class CallbackRegistry
{
  public:
    using Data = TCallbackIterationData<ReturnType>;
    using Callback = std::function<void(Data&, Args...)>;

    CallbackRegistry(uint64_t detourBit, StringViewType detourName) : detourBit_(detourBit), detourName_(detourName) {}

    uint64_t DetourBit() const { return detourBit_; }

    GlobalCallbackId Add(Callback callback, bool pre, FCallbackOptions options)
    {
        const uint64_t counter = nextId_.fetch_add(1, std::memory_order_relaxed);
        GlobalCallbackId id = counter | detourBit_;
        if (options.bOnce)
        {
            id |= kOnceFlag;
        }
        if (options.bReadonly)
        {
            id |= kReadonlyFlag;
        }
        if (pre)
        {
            id |= kPrehookFlag;
        }
        if (options.HookName.empty())
        {
            options.HookName = StringType(options.bOnce ? L"Once" : L"") + (pre ? L"PreHook" : L"PostHook");
        }
        auto entry = std::make_shared<Entry>(id, options, std::move(callback));
        std::lock_guard guard(writeMutex_);
        // The copy prunes what was removed, when anything was: a removed callable may go here,
        // on the registering thread.
        const bool prune = dirty_.exchange(false, std::memory_order_acq_rel);
        List& side = pre ? pre_ : post_;
        // Held by name: a range-for over a temporary's vector would outlive the temporary.
        const Snapshot current = Load(side);
        auto next = std::make_shared<std::vector<std::shared_ptr<Entry>>>();
        next->reserve(current->size() + 1);
        bool inserted = false;
        for (const auto& existing : *current)
        {
            if (prune && existing->IsInvalid())
            {
                continue;
            }
            // Readonly callbacks run after all others, each kind in registration order.
            if (!inserted && !options.bReadonly && (existing->Id & kReadonlyFlag) != 0)
            {
                next->push_back(entry);
                inserted = true;
            }
            next->push_back(existing);
        }
        if (!inserted)
        {
            next->push_back(entry);
        }
        Store(side, std::move(next));
        if (prune)
        {
            List& other = pre ? post_ : pre_;
            Store(other, Pruned(Load(other)));
        }
        return id;
    }

    bool Remove(GlobalCallbackId id)
    {
        if (id == ERROR_ID || (id & kDetourMask) != detourBit_)
        {
            return false;
        }
        auto list = Load((id & kPrehookFlag) != 0 ? pre_ : post_);
        for (const auto& entry : *list)
        {
            if (entry->Id != id)
            {
                continue;
            }
            if (entry->Invalidate())
            {
                dirty_.store(true, std::memory_order_release);
            }
            const auto& running = RunningHere();
            if (std::find(running.begin(), running.end(), entry.get()) != running.end())
            {
                ReportRemovalFromInside(detourName_);
                return true;
            }
            // A thread inside the callback finishes it first.
            entry->WaitForExecutorsToFinish();
            return true;
        }
        return false;
    }

    // One run's data, shared by its pre- and post-callbacks as TDetourInstance::Invoke shares it.
    Data MakeData() const { return Data(detourName_); }

    // One side's callbacks with these arguments, as TDetourInstance::InvokeCallbacks runs them:
    // the list as it stands when the run starts; one try around the whole run, so a callback
    // that throws is removed and the callbacks after it miss this run.
    void Invoke(bool pre, Data& data, Args... args)
    {
        auto list = Load(pre ? pre_ : post_);
        auto& running = RunningHere();
        try
        {
            for (const auto& entry : *list)
            {
                if (!entry->TryBeginExecution((entry->Id & kOnceFlag) != 0))
                {
                    continue;
                }
                if ((entry->Id & kOnceFlag) != 0)
                {
                    dirty_.store(true, std::memory_order_release);
                }
                data.SetCurrentCallbackInfo(entry.get());
                running.push_back(entry.get());
                entry->callback(data, args...);
                running.pop_back();
                entry->EndExecution();
            }
        }
        catch (const std::exception& exception)
        {
            running.pop_back();
            RemoveThrower(data, exception.what());
        }
        catch (...)
        {
            running.pop_back();
            RemoveThrower(data, nullptr);
        }
    }

    // FCallbackGarbageCollector's pass over this registry: true when something was pruned.
    bool CollectGarbage()
    {
        if (!dirty_.exchange(false, std::memory_order_acq_rel))
        {
            return false;
        }
        std::lock_guard guard(writeMutex_);
        Store(pre_, Pruned(Load(pre_)));
        Store(post_, Pruned(Load(post_)));
        return true;
    }

    // Callbacks neither removed nor used up.
    std::size_t LiveCount() const
    {
        std::size_t live = 0;
        for (const List* side : {&pre_, &post_})
        {
            const Snapshot list = Load(*side);
            for (const auto& entry : *list)
            {
                live += entry->IsInvalid() ? 0 : 1;
            }
        }
        return live;
    }

    // Callables still held, removed ones not yet pruned included.
    std::size_t HeldCount() const { return Load(pre_)->size() + Load(post_)->size(); }

    std::vector<FCallbackOptions> LiveOptions() const
    {
        std::vector<FCallbackOptions> options;
        for (const List* side : {&pre_, &post_})
        {
            const Snapshot list = Load(*side);
            for (const auto& entry : *list)
            {
                if (!entry->IsInvalid())
                {
                    options.push_back({(entry->Id & kOnceFlag) != 0, (entry->Id & kReadonlyFlag) != 0, entry->OwnerModName,
                                       entry->HookName});
                }
            }
        }
        return options;
    }

    // Drops every callable at once (a new engine starts).
    void Clear()
    {
        std::lock_guard guard(writeMutex_);
        Store(pre_, std::make_shared<const std::vector<std::shared_ptr<Entry>>>());
        Store(post_, std::make_shared<const std::vector<std::shared_ptr<Entry>>>());
        dirty_.store(false);
    }

  private:
    struct Entry : FCallbackMetadata
    {
        Entry(GlobalCallbackId id, const FCallbackOptions& options, Callback cb)
            : FCallbackMetadata(id, options), callback(std::move(cb))
        {
        }
        Callback callback;
    };
    using Snapshot = std::shared_ptr<const std::vector<std::shared_ptr<Entry>>>;
    // The loader swaps the lists with an atomic shared pointer; a small lock stands for it.
    struct List
    {
        mutable std::mutex lock;
        Snapshot items = std::make_shared<const std::vector<std::shared_ptr<Entry>>>();
    };

    static Snapshot Load(const List& list)
    {
        std::lock_guard guard(list.lock);
        return list.items;
    }
    static void Store(List& list, Snapshot next)
    {
        Snapshot old;
        {
            std::lock_guard guard(list.lock);
            old = std::exchange(list.items, std::move(next));
        }
        // The last reference to a pruned callable may go here, outside the swap's lock.
    }
    static Snapshot Pruned(const Snapshot& list)
    {
        auto kept = std::make_shared<std::vector<std::shared_ptr<Entry>>>();
        kept->reserve(list->size());
        for (const auto& entry : *list)
        {
            if (!entry->IsInvalid())
            {
                kept->push_back(entry);
            }
        }
        return kept;
    }

    void RemoveThrower(Data& data, const char* what);

    uint64_t detourBit_;
    StringViewType detourName_;
    std::mutex writeMutex_;
    List pre_;
    List post_;
    std::atomic<bool> dirty_{false};
    inline static std::atomic<uint64_t> nextId_{1};
};

// The loader's line for a callback removed because it threw, to its default output devices.
void ReportRemovedThrower(StringViewType owner, StringViewType detour, StringViewType hook, const char* what);

template <typename ReturnType, typename... Args>
void CallbackRegistry<ReturnType, Args...>::RemoveThrower(Data& data, const char* what)
{
    FCallbackMetadata* current = data.GetCurrentCallbackInfo();
    if (current != nullptr)
    {
        if (current->Invalidate())
        {
            dirty_.store(true, std::memory_order_release);
        }
        current->EndExecution();
    }
    ReportRemovedThrower(current != nullptr ? StringViewType(current->OwnerModName) : L"Unknown", detourName_,
                         current != nullptr ? StringViewType(current->HookName) : L"Unknown", what);
}
} // namespace RC::Unreal::Hook::Internal
