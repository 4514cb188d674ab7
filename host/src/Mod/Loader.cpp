// The loader's mod base class, its output devices, and the loading of a mod library.
#include <DynamicOutput/DynamicOutput.hpp>
#include <Mod/CppUserModBase.hpp>
#include <Sim/ModLoader.hpp>
#include <Sim/Output.hpp>

#include <algorithm>
#include <stdexcept>

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
    for (wchar_t wc : text)
    {
        auto c = static_cast<uint32_t>(wc);
        if (c < 0x80)
        {
            out.push_back(static_cast<char>(c));
        }
        else if (c < 0x800)
        {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else if (c < 0x10000)
        {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
        else
        {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    std::wstring out;
    for (std::size_t i = 0; i < text.size();)
    {
        auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t code = extra == 0 ? c : (c & (0x3F >> extra));
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i)
        {
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        out.push_back(static_cast<wchar_t>(code));
    }
    return out;
}

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

void ModLoader::Uninstall()
{
    if (mod_ != nullptr && uninstallMod_ != nullptr)
    {
        uninstallMod_(mod_);
    }
    mod_ = nullptr;
}

void ModLoader::Unload()
{
    Uninstall();
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
