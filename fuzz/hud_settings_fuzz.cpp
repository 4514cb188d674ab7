// Fuzzing the hud.ini reader: whatever the bytes, reading never crashes, every value taken is
// usable (the opacity in its range, every chord one a key can end), and the text written for
// the record reads back complete as the same record and is written again byte for byte. (The
// opacity may move by the rounding to six digits on the first write, never after it.) On disk,
// the file is rewritten exactly when the reader asked for it.
#include "FileScratch.hpp"
#include "settings/HudFile.hpp"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace
{
    namespace fs = std::filesystem;
    using Orv::HudSettings;
    using Orv::KeyChord;

    using OrvFuzz::ReadBytes;
    using OrvFuzz::Require;

    // Written independently of the reader, so a wrong check there shows here.
    void RequireUsableChord(const KeyChord& chord)
    {
        const unsigned key = chord.key;
        Require(key != 0x00 && key != 0xFF);
        Require(key != 0x01 && key != 0x02 && key != 0x04 && key != 0x05 && key != 0x06);
        Require(!(key >= 0x10 && key <= 0x12) && !(key >= 0xA0 && key <= 0xA5));
        KeyChord back{};
        Require(Orv::ParseKeyChord(Orv::FormatKeyChord(chord), back) && back == chord);
    }

    void RequireUsable(const HudSettings& hud)
    {
        Require(hud.MapOpacity >= 0.2f && hud.MapOpacity <= 1.0f);
        Require(hud.OtherFloors == Orv::OtherFloorsMode::Dim || hud.OtherFloors == Orv::OtherFloorsMode::Show ||
                hud.OtherFloors == Orv::OtherFloorsMode::Hide);
        RequireUsableChord(hud.ToggleKey);
        RequireUsableChord(hud.ZoomInKey);
        RequireUsableChord(hud.ZoomOutKey);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const OrvFuzz::Scratch scratch("orvanta-hud-fuzz");
    static const bool defaultsUsable = (RequireUsable(HudSettings{}), true);
    (void)defaultsUsable;

    const std::string input(reinterpret_cast<const char*>(data), size);

    // In memory: the reader alone.
    HudSettings first;
    std::istringstream text(input);
    const auto result = Orv::ReadHudText(first, text);
    Require(result != Orv::SettingsReadResult::ReadError);
    RequireUsable(first);

    const std::string saved = Orv::FormatHudText(first);
    HudSettings second;
    std::istringstream again(saved);
    Require(Orv::ReadHudText(second, again) == Orv::SettingsReadResult::Complete);
    RequireUsable(second);
    Require(Orv::FormatHudText(second) == saved);
    HudSettings secondWithoutOpacity = second;
    secondWithoutOpacity.MapOpacity = first.MapOpacity;
    Require(secondWithoutOpacity == first);
    Require(std::fabs(second.MapOpacity - first.MapOpacity) <= 1e-6f);

    // On disk: rewritten exactly when the reader asked for it, and a second load of what was
    // written neither changes the record nor writes anything different.
    const fs::path file = scratch.folder / "hud.ini";
    const std::wstring path = file.wstring();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    HudSettings loaded;
    loaded.Hidden = !loaded.Hidden;
    Orv::LoadHudSettingsFile(loaded, path);
    Require(loaded == first);
    const std::string onDisk = ReadBytes(file);
    const bool complete = result == Orv::SettingsReadResult::Complete;
    Require(onDisk == (complete ? input : saved));
    Require(!fs::exists(scratch.folder / "hud.ini.tmp"));

    HudSettings reloaded;
    Orv::LoadHudSettingsFile(reloaded, path);
    Require(reloaded == (complete ? first : second));
    Require(ReadBytes(file) == onDisk);
    return 0;
}
