// Fuzzing the state.ini reader: whatever the bytes, reading never crashes, every value taken
// lies in its accepted range, and load → save → load is a fixed point: the file written
// after a load reads back complete and is written again byte for byte. (The record itself
// may move by the rounding to six digits on the first save, never after it.)
#include "FileScratch.hpp"
#include "settings/SettingsFile.hpp"

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
    using Orv::ModSettings;

    using OrvFuzz::ReadBytes;
    using OrvFuzz::Require;

    // Written independently of the reader's key table, so a wrong range there shows here.
    void RequireAccepted(const ModSettings& s)
    {
        Require(Orv::IsAcceptedPosition(s.PositionX) && Orv::IsAcceptedPosition(s.PositionY));
        Require(Orv::kZoomRange.Contains(s.Zoom) && Orv::kZoomRange.Contains(s.IndoorZoom) &&
                Orv::kZoomRange.Contains(s.DungeonZoom));
        Require(Orv::kSizeRange.Contains(s.Size));
        Require(Orv::kBrightnessRange.Contains(s.BrightnessTrim) && Orv::kBrightnessRange.Contains(s.DayBrightness) &&
                Orv::kBrightnessRange.Contains(s.NightBrightness));
        Require(Orv::kFpsRange.Contains(s.CaptureFPS) && Orv::kFpsRange.Contains(s.MarkerFPS));
        Require(Orv::kRenderScaleRange.Contains(s.RenderScale));
        Require(Orv::kIconScaleRange.Contains(s.AiIconScale) && Orv::kIconScaleRange.Contains(s.PoiIconScale));
        Require(Orv::kMarkerOpacityRange.Contains(s.MarkerOpacity));
        Require(Orv::kIndoorCheckIntervalRange.Contains(s.IndoorCheckInterval));
        Require(Orv::kIndoorCeilingOffsetRange.Contains(s.IndoorCeilingOffset));
        Require(Orv::kIndoorTransitionSpeedRange.Contains(s.IndoorTransitionSpeed));
        Require(Orv::kIndoorFallbackHeightRange.Contains(s.IndoorFallbackHeight));
        Require(Orv::kIndoorRoofTraceDistanceRange.Contains(s.IndoorRoofTraceDistance));
        Require(Orv::kIndoorShelterThresholdRange.Contains(s.IndoorShelterThreshold));
        Require(Orv::kDungeonBrightnessRange.Contains(s.DungeonBrightnessV2));
        Require(Orv::kDungeonCeilingOffsetRange.Contains(s.DungeonCeilingOffset));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const OrvFuzz::Scratch scratch("orvanta-settings-fuzz");
    static const bool defaultsAccepted = (RequireAccepted(Orv::DefaultSettings()), true);
    (void)defaultsAccepted;

    const std::string input(reinterpret_cast<const char*>(data), size);

    // In memory: the reader alone.
    ModSettings first;
    std::istringstream text(input);
    const auto result = Orv::ReadSettingsText(first, text);
    Require(result != Orv::SettingsReadResult::ReadError);
    RequireAccepted(first);

    const std::string saved = Orv::FormatSettingsText(first);
    ModSettings second;
    std::istringstream again(saved);
    Require(Orv::ReadSettingsText(second, again) == Orv::SettingsReadResult::Complete);
    RequireAccepted(second);
    Require(Orv::FormatSettingsText(second) == saved);

    // On disk: the file is rewritten exactly when the reader asked for it, and a second load
    // of what was written neither changes the record nor writes anything different.
    const fs::path file = scratch.folder / "state.ini";
    const std::wstring path = file.wstring();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    ModSettings loaded;
    Orv::LoadSettingsFile(loaded, path);
    Require(loaded == first);
    const std::string onDisk = ReadBytes(file);
    Require(onDisk == (result == Orv::SettingsReadResult::Complete ? input : saved));

    ModSettings reloaded;
    Orv::LoadSettingsFile(reloaded, path);
    Require(reloaded == (result == Orv::SettingsReadResult::Complete ? first : second));
    Require(ReadBytes(file) == onDisk);
    Require(Orv::SaveSettingsFile(reloaded, path));
    Require(ReadBytes(file) == saved);
    return 0;
}
