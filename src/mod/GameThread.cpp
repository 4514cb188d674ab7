// Which thread does what. The loader starts the mod and reloads it on threads of its own while
// the game ticks; the engine is only ever touched from the game thread. The tick is the mod's
// way onto that thread: its first run makes the engine-side set-up, and a mod uninstalled from
// another thread is taken down by a one-shot tick. Exceptions end at the tick's and the hooks'
// edges, where the loader would otherwise drop the callback for good.
#include "mod/LiveOrvantaMod.hpp"

#include "mod/Log.hpp"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <string>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
// Mods uninstalled from another thread, waiting for the game thread to take them down. The
// library is pinned, so this outlives a reload, and the next instance finds what the last
// one left if its one-shot tick never came.
struct RetiredMods
{
    std::mutex lock;
    std::condition_variable gone;
    std::vector<LiveOrvantaMod*> mods;
};

RetiredMods& Retired()
{
    // Never destroyed: at the game's exit a thread still waiting here has been ended by the
    // system, and a wait it held may not be torn down after that.
    static RetiredMods& retired = *new RetiredMods;
    return retired;
}

// How long an uninstall waits for the game thread before it lets the loader go on.
constexpr auto kRetirementWait = std::chrono::seconds(10);

std::wstring Widened(const char* text)
{
    std::wstring wide;
    for (const char* c = text; c != nullptr && *c != '\0'; ++c)
    {
        wide.push_back(static_cast<unsigned char>(*c));
    }
    return wide;
}
} // namespace

// On the game thread: every retired mod goes, its engine side with it.
void DeleteRetiredMods()
{
    std::vector<LiveOrvantaMod*> due;
    {
        std::lock_guard guard(Retired().lock);
        due.swap(Retired().mods);
    }
    for (LiveOrvantaMod* mod : due)
    {
        delete mod;
    }
    if (!due.empty())
    {
        std::lock_guard guard(Retired().lock);
        Retired().gone.notify_all();
    }
}

void LiveOrvantaMod::RunTick(Hook::TCallbackIterationData<void>& run)
{
    if (!engineStarted.load())
    {
        // A mod uninstalled from another thread whose one-shot tick never ran goes before this
        // one takes the engine.
        DeleteRetiredMods();
        // Outside gameWork, which a purge on the collector's thread takes inside the engine's
        // listener lock: the two are never taken the other way round.
        gameThread.store(std::this_thread::get_id(), std::memory_order_release);
        ListenForDeletions();
    }
    std::lock_guard lock(gameWork);
    if (retiring)
    {
        return;
    }
    try
    {
        CatchUpWithTheCollector();
        if (!engineStarted.load() && !StartOnGameThread())
        {
            // Inert: nothing would ever use the frames. The one safe way out of the loader's
            // list from inside the callback itself.
            run.RemoveSelf();
            tickHandle = 0;
            return;
        }
        OnTick();
    }
    catch (const std::exception& exception)
    {
        ReportCaught(L"frame", exception.what());
    }
    catch (...)
    {
        ReportCaught(L"frame", nullptr);
    }
}

void LiveOrvantaMod::ReportCaught(std::wstring_view where, const char* what)
{
    try
    {
        if (!ReportOnce(std::wstring(L"Caught:").append(where)))
        {
            return;
        }
        const std::wstring reason = what != nullptr ? Widened(what) : std::wstring(L"an unknown exception");
        LogError(fmt::format(L"The minimap's {} stopped on an error and goes on next time: {}\n", where, reason));
    }
    catch (...)
    {
        // Nothing left to tell it with.
    }
}

bool LiveOrvantaMod::BeginRetirement()
{
    // Waits out a frame or hook in progress; from here on the tick and the hooks do nothing.
    std::lock_guard lock(gameWork);
    retiring = true;
    return !engineStarted.load() || OnGameThread();
}

void LiveOrvantaMod::Uninstall(LiveOrvantaMod* mod)
{
    if (mod == nullptr)
    {
        return;
    }
    try
    {
        if (mod->BeginRetirement())
        {
            delete mod;
            return;
        }
        {
            std::lock_guard guard(Retired().lock);
            Retired().mods.push_back(mod);
        }
        Hook::FCallbackOptions once;
        once.bOnce = true;
        once.OwnerModName = STR("Orvanta");
        once.HookName = STR("Retire");
        if (Hook::RegisterEngineTickPostCallback(
                [](Hook::TCallbackIterationData<void>&, UEngine*, float, bool) { DeleteRetiredMods(); }, once) ==
            Hook::ERROR_ID)
        {
            return; // the next instance's first tick takes it down
        }
        // The loader starts the next instance right after this returns, and it reads the same
        // settings this one may still save as it goes: wait for the game thread, within reason.
        std::unique_lock guard(Retired().lock);
        Retired().gone.wait_for(guard, kRetirementWait, [&] {
            auto& mods = Retired().mods;
            return std::find(mods.begin(), mods.end(), mod) == mods.end();
        });
    }
    catch (...)
    {
        // The loader's reload goes on; the next instance's first tick takes down what is left.
    }
}
} // namespace Orv
