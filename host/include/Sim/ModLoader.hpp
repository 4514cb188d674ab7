// Loads a mod the way the loader does: <mod folder>/dlls/main.so (main.dll on Windows),
// its two C entry points, then the mod object's callbacks in the loader's order, on the
// loader's threads: the engine-initialised callback on its init thread, a hot reload on its
// event-loop thread, both while the game goes on ticking.
#pragma once

#include <Mod/CppUserModBase.hpp>

#include <atomic>
#include <filesystem>
#include <thread>
#include <string>

namespace Sim
{
class UE4SS_API ModLoader
{
  public:
    static const char* LibraryFileName(); // "main.so" or "main.dll"

    explicit ModLoader(std::filesystem::path modFolder);
    ModLoader(const ModLoader&) = delete;
    ModLoader& operator=(const ModLoader&) = delete;
    ~ModLoader(); // uninstalls and unloads if still loaded

    // Opens the library and resolves start_mod and uninstall_mod; false with a reason otherwise.
    bool Load(std::string& error);
    // start_mod; the mod object is then owned by the loader until Uninstall.
    RC::CppUserModBase* StartMod();
    void UnrealInit();
    // As the loader does at every start (UE4SSProgram::init, fire_unreal_init_for_cpp_mods): the
    // engine-initialised callback on the loader's own thread while the game thread goes on
    // ticking.
    void StartUnrealInitOnLoaderThread();
    bool UnrealInitFinished() const { return initDone_.load(); }
    bool UnrealInitStarted() const { return initStarted_; }
    // The loader's thread is at work: the set-up or a reload not finished yet.
    bool LoaderThreadBusy() const { return initThread_.joinable() && !initDone_.load(); }
    // Waits for whatever the loader's thread is doing: the set-up, or a reload.
    void WaitForUnrealInit();
    // The hot-reload key (UE4SSProgram::queue_reinstall_mods), on the loader's event-loop thread
    // while the game ticks: uninstall_mod, the library freed (unmapped unless something pins
    // it), loaded again, start_mod and the engine-initialised callback. A reload still running
    // is waited for first.
    void StartHotReloadOnLoaderThread();
    int Reloads() const { return reloads_.load(); }
    // Whether the library was still mapped after the last reload freed it (it pinned itself).
    bool StayedMappedOnReload() const { return stayedMapped_.load(); }
    // Whether the library is mapped into the process now, loaded by this loader or not.
    bool LibraryMapped() const;
    void Uninstall();
    void Unload();
    // The game's exit (DLL_PROCESS_DETACH, UE4SSProgram::static_cleanup): the loader's program
    // object goes and frees the library without ever calling uninstall_mod. The mod object is
    // left as the process would leave it, reachable here so leak checkers see it as kept.
    void ExitWithTheGame();

    RC::CppUserModBase* Mod() const { return mod_; }
    std::filesystem::path LibraryPath() const;

  private:
    std::filesystem::path folder_;
    void* library_ = nullptr;
    RC::CppUserModBase* (*startMod_)() = nullptr;
    void (*uninstallMod_)(RC::CppUserModBase*) = nullptr;
    RC::CppUserModBase* mod_ = nullptr;
    void Reload();
    void UninstallHere();
    void FreeHere();

    std::thread initThread_;
    std::atomic<bool> initDone_{false};
    bool initStarted_ = false;
    std::atomic<int> reloads_{0};
    std::atomic<bool> stayedMapped_{false};
};
} // namespace Sim
