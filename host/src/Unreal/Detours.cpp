// The loader's callbacks on AActor::BeginPlay, AActor::EndPlay and UEngine::LoadMap, kept and
// run as its TDetourInstance (Hooks/Internal/DetourInstance.hpp) keeps and runs them: ids that
// carry their detour's bit, read-only callbacks after the others, once-callbacks dropped after
// their first run, and a callback that throws removed for good with an error line.
#include "Sim/Detours.hpp"
#include "Sim/EngineState.hpp"

#include <DynamicOutput/DynamicOutput.hpp>

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <memory>
#include <vector>

namespace Sim::Detail
{
namespace
{
using RC::Unreal::AActor;
using RC::Unreal::EEndPlayReason;
using RC::Unreal::FString;
using RC::Unreal::FURL;
using RC::Unreal::FWorldContext;
using RC::Unreal::UEngine;
using RC::Unreal::UPendingNetGame;
using RC::Unreal::Hook::FCallbackOptions;
using RC::Unreal::Hook::GlobalCallbackId;
using RC::Unreal::Hook::TCallbackIterationData;

// EGlobalCallbackAttributeFlags, and the bits below the lowest detour bit that count ids.
constexpr uint64 kReadonly = uint64{1} << 63;
constexpr uint64 kOnce = uint64{1} << 62;
constexpr uint64 kPrehook = uint64{1} << 61;
constexpr uint64 kCounterLimit = uint64{1} << 46;
constexpr uint64 kDetourMask = (uint64{1} << 61) - kCounterLimit;
constexpr int32 kErrorLevel = 4;

template <typename Callback> struct Registration
{
    GlobalCallbackId id = 0;
    FCallbackOptions options;
    Callback callback;
    bool valid = true;
    int running = 0; // calls inside it now
};

// One detour: its two callback lists, replaced whole on every change so that a call under way
// keeps walking the list it started with, as the loader's lists are swapped atomically.
template <typename Callback> class Detour
{
  public:
    using Entry = Registration<Callback>;
    using List = std::vector<std::shared_ptr<Entry>>;

    Detour(const wchar_t* name, DetourTarget target) : name_(name), target_(static_cast<uint64>(target)) {}

    // TDetourInstance::AddCallback: read-only callbacks go last, the others before the first
    // read-only one.
    GlobalCallbackId Add(Callback callback, bool pre, FCallbackOptions options)
    {
        if (!callback || nextCounter_ >= kCounterLimit)
        {
            return RC::Unreal::Hook::ERROR_ID;
        }
        GlobalCallbackId id = nextCounter_++ | target_ | (options.bOnce ? kOnce : 0) | (options.bReadonly ? kReadonly : 0) |
                              (pre ? kPrehook : 0);
        if (options.HookName.empty())
        {
            options.HookName = std::wstring(options.bOnce ? L"Once" : L"") + (pre ? L"PreHook" : L"PostHook");
        }
        if (options.OwnerModName.empty())
        {
            options.OwnerModName = L"UnknownMod";
        }
        auto entry = std::make_shared<Entry>();
        entry->id = id;
        entry->options = std::move(options);
        entry->callback = std::move(callback);
        auto list = std::make_shared<List>(Valid(ListOf(pre)));
        auto at = entry->options.bReadonly ? list->end()
                                           : std::find_if(list->begin(), list->end(),
                                                          [](const auto& e) { return e->options.bReadonly; });
        list->insert(at, std::move(entry));
        ListOf(pre) = std::move(list);
        return id;
    }

    // TDetourInstance::RemoveCallback. The loader waits for the callback's calls under way to
    // end before it returns, so a callback removing itself waits for ever.
    bool Remove(GlobalCallbackId id)
    {
        const bool pre = (id & kPrehook) != 0;
        std::shared_ptr<const List> list = ListOf(pre);
        auto found = std::find_if(list->begin(), list->end(), [id](const auto& e) { return e->id == id; });
        if (found == list->end() || !(*found)->valid)
        {
            return found != list->end();
        }
        if ((*found)->running > 0)
        {
            FailCheck(std::wstring(L"UnregisterCallback inside the callback it removes: the loader waits for it for ever: ") +
                      name_);
        }
        (*found)->valid = false;
        Prune(pre);
        return true;
    }

    // TDetourInstance::InvokeCallbacks: one try around the whole walk, so a callback that throws
    // is removed and the rest of that walk is skipped.
    template <typename Data, typename... Args> void Run(bool pre, Data& data, Args&&... args)
    {
        std::shared_ptr<const List> list = ListOf(pre);
        Entry* current = nullptr;
        try
        {
            for (const auto& entry : *list)
            {
                if (!entry->valid)
                {
                    continue;
                }
                current = entry.get();
                if (entry->options.bOnce)
                {
                    entry->valid = false;
                }
                ++entry->running;
                entry->callback(data, args...);
                --entry->running;
                current = nullptr;
            }
        }
        catch (const std::exception& thrown)
        {
            Drop(current, thrown.what());
        }
        catch (...)
        {
            Drop(current, nullptr);
        }
        if (std::any_of(list->begin(), list->end(), [](const auto& e) { return !e->valid; }))
        {
            Prune(pre);
        }
    }

    std::size_t Count() const
    {
        auto valid = [](const auto& e) { return e->valid; };
        return static_cast<std::size_t>(std::count_if(pre_->begin(), pre_->end(), valid) +
                                        std::count_if(post_->begin(), post_->end(), valid));
    }

    bool Owns(GlobalCallbackId id) const { return (id & kDetourMask) == target_; }

    void Clear()
    {
        pre_ = std::make_shared<const List>();
        post_ = std::make_shared<const List>();
        nextCounter_ = 1;
    }

  private:
    std::shared_ptr<const List>& ListOf(bool pre) { return pre ? pre_ : post_; }

    static List Valid(const std::shared_ptr<const List>& list)
    {
        List kept;
        std::copy_if(list->begin(), list->end(), std::back_inserter(kept), [](const auto& e) { return e->valid; });
        return kept;
    }

    // What the loader's callback collector does a few seconds later: invalid callbacks leave
    // the list. A call still walking the old list keeps it until it ends.
    void Prune(bool pre) { ListOf(pre) = std::make_shared<const List>(Valid(ListOf(pre))); }

    void Drop(Entry* entry, const char* what)
    {
        if (entry == nullptr)
        {
            return;
        }
        entry->valid = false;
        --entry->running;
        const std::wstring hook = fmt::format(L"[{}.{}.{}] ", entry->options.OwnerModName, name_, entry->options.HookName);
        std::wstring line;
        if (what != nullptr)
        {
            std::wstring wide;
            for (const char* c = what; *c != '\0'; ++c)
            {
                wide.push_back(static_cast<unsigned char>(*c) < 0x80 ? static_cast<wchar_t>(*c) : L'?');
            }
            line = hook + L"Hook threw exception: \"" + wide + L"\", removing hook!\n";
        }
        else
        {
            line = hook + L"Hook threw non-standard exception, removing hook!\n";
        }
        for (const auto& device : RC::Output::DefaultTargets::get_default_devices_ref())
        {
            if (device != nullptr && device->has_optional_arg())
            {
                device->receive_with_optional_arg(line, kErrorLevel);
            }
            else if (device != nullptr)
            {
                device->receive(line);
            }
        }
    }

    const wchar_t* name_;
    uint64 target_;
    uint64 nextCounter_ = 1;
    std::shared_ptr<const List> pre_ = std::make_shared<const List>();
    std::shared_ptr<const List> post_ = std::make_shared<const List>();
};

Detour<RC::Unreal::Hook::BeginPlayCallbackWithData>& BeginPlayDetour()
{
    static Detour<RC::Unreal::Hook::BeginPlayCallbackWithData> detour(L"BeginPlay", DetourTarget::BeginPlay);
    return detour;
}

Detour<RC::Unreal::Hook::EndPlayCallbackWithData>& EndPlayDetour()
{
    static Detour<RC::Unreal::Hook::EndPlayCallbackWithData> detour(L"EndPlay", DetourTarget::EndPlay);
    return detour;
}

Detour<RC::Unreal::Hook::LoadMapCallbackWithData>& LoadMapDetour()
{
    static Detour<RC::Unreal::Hook::LoadMapCallbackWithData> detour(L"LoadMap", DetourTarget::LoadMap);
    return detour;
}

template <typename Callback>
GlobalCallbackId Register(Detour<Callback>& detour, Callback callback, bool pre, FCallbackOptions options)
{
    auto guard = LockEngine();
    auto& s = State();
    ++s.counters.RegisterLoaderCallback;
    // The loader's settings may leave the detour out (HookBeginPlay = 0 and so on): then it
    // cannot be installed and the registration fails.
    if (s.refuseLoaderCallbacks)
    {
        return RC::Unreal::Hook::ERROR_ID;
    }
    return detour.Add(std::move(callback), pre, std::move(options));
}

AActor* AsActor(UObject* object) { return static_cast<AActor*>(object); }

// The engine never frees an actor inside its own BeginPlay or EndPlay; only a test's hook can,
// and then there is no actor left to tell anyone of.
bool Held(const UObject* object) { return EngineAccess::SlotOf(object) != nullptr; }
} // namespace

void RunBeginPlay(UObject* actor, const std::function<void()>& original)
{
    TCallbackIterationData<void> data;
    BeginPlayDetour().Run(true, data, AsActor(actor));
    original();
    if (Held(actor))
    {
        BeginPlayDetour().Run(false, data, AsActor(actor));
    }
}

void RunEndPlay(UObject* actor, uint8 reason, const std::function<void()>& original)
{
    TCallbackIterationData<void> data;
    const auto why = static_cast<EEndPlayReason>(reason);
    EndPlayDetour().Run(true, data, AsActor(actor), why);
    original();
    if (Held(actor))
    {
        EndPlayDetour().Run(false, data, AsActor(actor), why);
    }
}

bool RunLoadMap(FWorldContext& context, const FURL& url, const std::function<bool()>& original)
{
    TCallbackIterationData<bool> data;
    auto* engine = reinterpret_cast<UEngine*>(State().engineObject);
    FString error;
    UPendingNetGame* pending = nullptr;
    LoadMapDetour().Run(true, data, engine, context, url, pending, error);
    const bool loaded = original();
    LoadMapDetour().Run(false, data, engine, context, url, pending, error);
    return loaded;
}

bool UnregisterDetourCallback(GlobalCallbackId id, bool& removed)
{
    auto& s = State();
    auto take = [&](auto& detour) {
        ++s.counters.UnregisterLoaderCallback;
        removed = detour.Remove(id);
        return true;
    };
    if (BeginPlayDetour().Owns(id))
    {
        return take(BeginPlayDetour());
    }
    if (EndPlayDetour().Owns(id))
    {
        return take(EndPlayDetour());
    }
    if (LoadMapDetour().Owns(id))
    {
        return take(LoadMapDetour());
    }
    return false;
}

std::size_t DetourCallbackCount(DetourTarget target)
{
    switch (target)
    {
    case DetourTarget::BeginPlay: return BeginPlayDetour().Count();
    case DetourTarget::EndPlay: return EndPlayDetour().Count();
    case DetourTarget::LoadMap: return LoadMapDetour().Count();
    }
    return 0;
}

void ClearDetours()
{
    BeginPlayDetour().Clear();
    EndPlayDetour().Clear();
    LoadMapDetour().Clear();
}
} // namespace Sim::Detail

namespace RC::Unreal::Hook
{
using namespace Sim::Detail;

GlobalCallbackId RegisterBeginPlayPreCallback(BeginPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return Register(BeginPlayDetour(), std::move(Callback), true, std::move(Options));
}

GlobalCallbackId RegisterBeginPlayPostCallback(BeginPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return Register(BeginPlayDetour(), std::move(Callback), false, std::move(Options));
}

GlobalCallbackId RegisterEndPlayPreCallback(EndPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return Register(EndPlayDetour(), std::move(Callback), true, std::move(Options));
}

GlobalCallbackId RegisterEndPlayPostCallback(EndPlayCallbackWithData Callback, FCallbackOptions Options)
{
    return Register(EndPlayDetour(), std::move(Callback), false, std::move(Options));
}

GlobalCallbackId RegisterLoadMapPreCallback(LoadMapCallbackWithData Callback, FCallbackOptions Options)
{
    return Register(LoadMapDetour(), std::move(Callback), true, std::move(Options));
}

GlobalCallbackId RegisterLoadMapPostCallback(LoadMapCallbackWithData Callback, FCallbackOptions Options)
{
    return Register(LoadMapDetour(), std::move(Callback), false, std::move(Options));
}
} // namespace RC::Unreal::Hook
