// The loader's mod base class, its output devices, and the loading of a mod library.
#include <DynamicOutput/DynamicOutput.hpp>
#include <Mod/CppUserModBase.hpp>
#include <Sim/ModLoader.hpp>
#include <Sim/Output.hpp>

#include "Platform/ImportRouting.hpp"
#include "Platform/Utf8.hpp"
#include "Sim/EngineState.hpp"

#include <algorithm>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace RC
{
CppUserModBase::CppUserModBase() = default;
CppUserModBase::~CppUserModBase() = default;

namespace Output
{
OutputDevice::~OutputDevice() = default;

void OutputDevice::receive_with_optional_arg(File::StringViewType, int32_t) const
{
    throw std::runtime_error("OutputDevice::receive_with_optional_arg called on a device that takes no optional argument");
}

namespace DefaultTargets
{
std::vector<std::unique_ptr<OutputDevice>>& get_default_devices_ref()
{
    static std::vector<std::unique_ptr<OutputDevice>> devices;
    return devices;
}
} // namespace DefaultTargets
} // namespace Output
} // namespace RC

namespace Sim
{
void CapturingOutputDevice::receive(RC::File::StringViewType text) const
{
    std::lock_guard lock(mutex_);
    lines_.push_back({std::wstring(text), -1});
}

void CapturingOutputDevice::receive_with_optional_arg(RC::File::StringViewType text, int32_t level) const
{
    if (!takesLevel_)
    {
        OutputDevice::receive_with_optional_arg(text, level);
    }
    std::lock_guard lock(mutex_);
    lines_.push_back({std::wstring(text), level});
}

std::vector<LogLine> CapturingOutputDevice::Lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

void CapturingOutputDevice::Clear()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
}

ScopedOutputDevice::ScopedOutputDevice(std::unique_ptr<RC::Output::OutputDevice> device) : device_(device.get())
{
    RC::Output::DefaultTargets::get_default_devices_ref().push_back(std::move(device));
}

ScopedOutputDevice::~ScopedOutputDevice()
{
    auto& devices = RC::Output::DefaultTargets::get_default_devices_ref();
    devices.erase(std::remove_if(devices.begin(), devices.end(), [this](const auto& d) { return d.get() == device_; }),
                  devices.end());
}

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wide : text)
    {
        auto code = static_cast<uint32_t>(wide);
        Detail::AppendUtf8(out, Detail::IsScalarValue(code) ? code : uint32_t{'?'});
    }
    return out;
}

namespace
{
// Whether the library at that path is still mapped into the process.
bool IsMapped(const std::filesystem::path& path)
{
#ifdef _WIN32
    return GetModuleHandleW(path.wstring().c_str()) != nullptr;
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
    {
        return false;
    }
    dlclose(handle);
    return true;
#endif
}
} // namespace

const char* ModLoader::LibraryFileName()
{
#ifdef _WIN32
    return "main.dll";
#else
    return "main.so";
#endif
}

ModLoader::ModLoader(std::filesystem::path modFolder) : folder_(std::move(modFolder)) {}

ModLoader::~ModLoader() { Unload(); }

std::filesystem::path ModLoader::LibraryPath() const { return folder_ / "dlls" / LibraryFileName(); }

bool ModLoader::Load(std::string& error)
{
    auto path = LibraryPath();
#ifdef _WIN32
    HMODULE module = LoadLibraryW(path.wstring().c_str());
    if (module == nullptr)
    {
        error = "cannot load " + path.string();
        return false;
    }
    library_ = module;
    // The mod reads its keys from user32.dll and its time from kernel32.dll; here they are the
    // simulated player's and the engine's.
    Detail::RouteSystemQueries(module);
    startMod_ = reinterpret_cast<RC::CppUserModBase* (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "start_mod")));
    uninstallMod_ =
        reinterpret_cast<void (*)(RC::CppUserModBase*)>(reinterpret_cast<void*>(GetProcAddress(module, "uninstall_mod")));
#else
    library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr)
    {
        const char* reason = dlerror();
        error = "cannot load " + path.string() + ": " + (reason ? reason : "unknown reason");
        return false;
    }
    startMod_ = reinterpret_cast<RC::CppUserModBase* (*)()>(dlsym(library_, "start_mod"));
    uninstallMod_ = reinterpret_cast<void (*)(RC::CppUserModBase*)>(dlsym(library_, "uninstall_mod"));
#endif
    if (startMod_ == nullptr || uninstallMod_ == nullptr)
    {
        error = path.string() + " does not export start_mod and uninstall_mod";
        Unload();
        return false;
    }
    return true;
}

RC::CppUserModBase* ModLoader::StartMod()
{
    if (startMod_ != nullptr && mod_ == nullptr)
    {
        mod_ = startMod_();
    }
    return mod_;
}

void ModLoader::UnrealInit()
{
    if (mod_ != nullptr)
    {
        mod_->on_unreal_init();
    }
}

void ModLoader::StartUnrealInitOnLoaderThread()
{
    if (mod_ == nullptr || initThread_.joinable())
    {
        return;
    }
    initDone_ = false;
    initStarted_ = true;
    initThread_ = std::thread([this] {
        mod_->on_unreal_init();
        initDone_ = true;
    });
}

void ModLoader::WaitForUnrealInit()
{
    if (initThread_.joinable())
    {
        initThread_.join();
    }
}

void ModLoader::StartHotReloadOnLoaderThread()
{
    WaitForUnrealInit();
    initDone_ = false;
    initThread_ = std::thread([this] {
        Reload();
        initDone_ = true;
    });
}

void ModLoader::Reload()
{
    // UE4SSProgram::queue_reinstall_mods: uninstall_mods (each mod's uninstall_mod, then the
    // mods list cleared, whose CppMod destructor frees the library), setup_mods and
    // start_cpp_mods (the library loaded anew, start_mod), fire_unreal_init_for_cpp_mods.
    Detail::SendLoaderLine(L"Re-installing all mods\n", 0);
    if (mod_ != nullptr)
    {
        Detail::SendLoaderLine(L"Stopping C++ mod '" + mod_->ModName + L"' for uninstall\n", 0);
    }
    const auto path = LibraryPath();
    UninstallHere();
    FreeHere();
    stayedMapped_ = IsMapped(path);
    std::string error;
    if (Load(error) && StartMod() != nullptr)
    {
        UnrealInit();
    }
    ++reloads_;
    Detail::SendLoaderLine(L"All mods re-installed\n", 0);
}

bool ModLoader::LibraryMapped() const { return IsMapped(LibraryPath()); }

void ModLoader::ExitWithTheGame()
{
    WaitForUnrealInit();
    // The game's process ends with the mod object still allocated, as the loader leaves it; the
    // list is never destroyed so that a leak check at exit still finds the objects held.
    static auto* leftAtExit = new std::vector<RC::CppUserModBase*>;
    if (mod_ != nullptr)
    {
        leftAtExit->push_back(mod_);
    }
    mod_ = nullptr;
    FreeHere();
}

void ModLoader::Uninstall()
{
    WaitForUnrealInit();
    UninstallHere();
}

void ModLoader::Unload()
{
    Uninstall();
    FreeHere();
}

// CppMod::uninstall, on the calling thread.
void ModLoader::UninstallHere()
{
    if (mod_ != nullptr && uninstallMod_ != nullptr)
    {
        uninstallMod_(mod_);
    }
    mod_ = nullptr;
}

// ~CppMod: FreeLibrary, on the calling thread.
void ModLoader::FreeHere()
{
    if (library_ != nullptr)
    {
#ifdef _WIN32
        FreeLibrary(static_cast<HMODULE>(library_));
#else
        dlclose(library_);
#endif
    }
    library_ = nullptr;
    startMod_ = nullptr;
    uninstallMod_ = nullptr;
}
} // namespace Sim
