// Loads a mod the way the loader does: <mod folder>/dlls/main.so (main.dll on Windows),
// its two C entry points, then the mod object's callbacks in the loader's order.
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
    // As the loader may: the engine-initialised callback on the loader's own thread while the
    // game thread goes on ticking. The engine serialises the two at each engine call, so the
    // mod's first hooks and ticks may fire before its set-up has finished.
    void StartUnrealInitOnLoaderThread();
    bool UnrealInitFinished() const { return initDone_.load(); }
    void WaitForUnrealInit();
    void Uninstall();
    void Unload();

    RC::CppUserModBase* Mod() const { return mod_; }
    std::filesystem::path LibraryPath() const;

  private:
    std::filesystem::path folder_;
    void* library_ = nullptr;
    RC::CppUserModBase* (*startMod_)() = nullptr;
    void (*uninstallMod_)(RC::CppUserModBase*) = nullptr;
    RC::CppUserModBase* mod_ = nullptr;
    std::thread initThread_;
    std::atomic<bool> initDone_{false};
};
} // namespace Sim
