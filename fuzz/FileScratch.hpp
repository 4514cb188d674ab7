// What the settings-file fuzz targets share: a failed property ends the run, a scratch folder
// per fuzzing process for the files they write, and a file's bytes read back whole.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include <unistd.h>

namespace OrvFuzz
{
    inline void Require(bool condition)
    {
        if (!condition) std::abort();
    }

    inline std::string ReadBytes(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        if (in) bytes << in.rdbuf();
        return std::move(bytes).str();
    }

    // One folder per fuzzing process, removed when it ends. Every save flushes to disk, so
    // a memory-backed file system keeps the fuzzer fast where there is one.
    struct Scratch
    {
        std::filesystem::path folder;
        explicit Scratch(std::string_view name)
        {
            namespace fs = std::filesystem;
            std::error_code error;
            const fs::path base = fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
            folder = base / (std::string(name) + "-" + std::to_string(::getpid()));
            fs::create_directories(folder);
        }
        ~Scratch()
        {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
        Scratch(const Scratch&) = delete;
        Scratch& operator=(const Scratch&) = delete;
    };
}
