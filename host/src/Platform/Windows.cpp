// The stand-in's implementation of the Win32 calls the mod makes itself: module lookup via
// the dynamic loader, file moves and deletes and the process id via POSIX. Windows paths are
// wide strings; the file system here takes UTF-8 bytes, so every path is converted strictly in
// both directions: a path that cannot be converted is a failed call, never a different file.
#include <Platform/Windows.hpp>

#include "Platform/Utf8.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace
{
    std::optional<std::string> ToUtf8(LPCWSTR wide)
    {
        if (wide == nullptr) return std::nullopt;
        std::string out;
        for (; *wide != L'\0'; ++wide)
        {
            const auto c = static_cast<std::uint32_t>(*wide);
            if (!Sim::Detail::IsScalarValue(c)) return std::nullopt;
            Sim::Detail::AppendUtf8(out, c);
        }
        return out;
    }

    // Rejects overlong forms, surrogates and truncated sequences: such bytes have no wide
    // spelling that would lead back to the same file.
    std::optional<std::wstring> FromUtf8(const std::string& bytes)
    {
        std::wstring out;
        std::size_t i = 0;
        while (i < bytes.size())
        {
            const auto lead = static_cast<unsigned char>(bytes[i]);
            std::uint32_t code = 0;
            std::size_t length = 0;
            std::uint32_t smallest = 0;
            if (lead < 0x80) { code = lead; length = 1; }
            else if ((lead & 0xE0) == 0xC0) { code = lead & 0x1Fu; length = 2; smallest = 0x80; }
            else if ((lead & 0xF0) == 0xE0) { code = lead & 0x0Fu; length = 3; smallest = 0x800; }
            else if ((lead & 0xF8) == 0xF0) { code = lead & 0x07u; length = 4; smallest = 0x10000; }
            else return std::nullopt;
            if (i + length > bytes.size()) return std::nullopt;
            for (std::size_t k = 1; k < length; ++k)
            {
                const auto next = static_cast<unsigned char>(bytes[i + k]);
                if ((next & 0xC0) != 0x80) return std::nullopt;
                code = (code << 6) | (next & 0x3Fu);
            }
            if (code < smallest || !Sim::Detail::IsScalarValue(code)) return std::nullopt;
            out.push_back(static_cast<wchar_t>(code));
            i += length;
        }
        return out;
    }

    // The dynamic loader names the main program by its argv[0], which may be relative or
    // bare; the program's own path comes from the kernel instead.
    bool IsMainProgram(const void* moduleBase)
    {
        const auto headers = getauxval(AT_PHDR);
        Dl_info info{};
        return headers != 0 && dladdr(reinterpret_cast<const void*>(headers), &info) != 0 &&
               info.dli_fbase == moduleBase;
    }

    std::optional<std::string> MainProgramPath()
    {
        std::error_code error;
        auto path = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) return std::nullopt;
        return path.string();
    }

    std::optional<std::string> ModulePath(HMODULE module)
    {
        if (module == nullptr) return MainProgramPath();
        Dl_info info{};
        if (dladdr(module, &info) == 0 || info.dli_fbase != module) return std::nullopt;
        if (IsMainProgram(info.dli_fbase)) return MainProgramPath();
        if (info.dli_fname == nullptr || info.dli_fname[0] == '\0') return std::nullopt;
        std::error_code error;
        auto absolute = std::filesystem::absolute(info.dli_fname, error);
        if (error) return std::nullopt;
        return absolute.string();
    }

    bool IsDirectory(const std::string& path)
    {
        struct stat status{};
        return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }

    // Opened read-only: fsync needs no write access, and directories open no other way.
    bool FlushToDisk(const std::string& path)
    {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        const bool flushed = fsync(fd) == 0 || errno == EINVAL;
        close(fd);
        return flushed;
    }
}

extern "C"
{
    BOOL GetModuleHandleExW(DWORD dwFlags, LPCWSTR lpModuleName, HMODULE* phModule)
    {
        if (phModule == nullptr) return FALSE;
        *phModule = nullptr;
        if ((dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) != 0)
        {
            Dl_info info{};
            if (lpModuleName == nullptr || dladdr(lpModuleName, &info) == 0 || info.dli_fbase == nullptr)
                return FALSE;
            // The dynamic loader's own reference and pin: a load of the same library that is
            // already mapped, which counts one more reference, and with the pin never unmaps.
            const bool pin = (dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN) != 0;
            if (pin || (dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) == 0)
            {
                if (dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | (pin ? RTLD_NODELETE : 0)) == nullptr)
                    return FALSE;
            }
            *phModule = static_cast<HMODULE>(info.dli_fbase);
            return TRUE;
        }
        if (lpModuleName != nullptr) return FALSE;
        const auto headers = getauxval(AT_PHDR);
        Dl_info info{};
        if (headers == 0 || dladdr(reinterpret_cast<const void*>(headers), &info) == 0) return FALSE;
        *phModule = static_cast<HMODULE>(info.dli_fbase);
        return TRUE;
    }

    DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
    {
        if (lpFilename == nullptr || nSize == 0) return 0;
        const auto bytes = ModulePath(hModule);
        if (!bytes) return 0;
        const auto wide = FromUtf8(*bytes);
        if (!wide || wide->empty()) return 0;
        if (wide->size() < nSize)
        {
            std::memcpy(lpFilename, wide->c_str(), (wide->size() + 1) * sizeof(wchar_t));
            return static_cast<DWORD>(wide->size());
        }
        std::memcpy(lpFilename, wide->data(), (nSize - 1) * sizeof(wchar_t));
        lpFilename[nSize - 1] = L'\0';
        return nSize;
    }

    BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags)
    {
        const auto from = ToUtf8(lpExistingFileName);
        const auto to = ToUtf8(lpNewFileName);
        if (!from || !to || from->empty() || to->empty()) return FALSE;
        if (IsDirectory(*to)) return FALSE;
        const bool writeThrough = (dwFlags & MOVEFILE_WRITE_THROUGH) != 0;
        if (writeThrough && !FlushToDisk(*from)) return FALSE;
        if ((dwFlags & MOVEFILE_REPLACE_EXISTING) != 0)
        {
            if (rename(from->c_str(), to->c_str()) != 0) return FALSE;
        }
        else if (renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) != 0)
        {
            return FALSE;
        }
        if (writeThrough)
        {
            std::filesystem::path folder = std::filesystem::path(*to).parent_path();
            // The move itself has happened; a folder that cannot be flushed does not undo it.
            FlushToDisk(folder.empty() ? std::string(".") : folder.string());
        }
        return TRUE;
    }

    BOOL DeleteFileW(LPCWSTR lpFileName)
    {
        const auto path = ToUtf8(lpFileName);
        if (!path || path->empty()) return FALSE;
        return unlink(path->c_str()) == 0 ? TRUE : FALSE;
    }

    DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
}
