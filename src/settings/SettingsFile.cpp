// Reading and writing state.ini, and finding it beside the library. The file is handled as
// bytes with the shared machinery of IniText.
#include "settings/SettingsFile.hpp"

#include "reflection/Host.hpp"

#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <variant>

namespace Orv
{
    namespace
    {
        namespace fs = std::filesystem;

        // Its address identifies the library that holds this code.
        const wchar_t moduleAnchor = L'\0';

        constexpr DWORD kModulePathCapacity = 32768;

        using FieldRef = std::variant<double ModSettings::*, float ModSettings::*, bool ModSettings::*>;

        // What the absence of a key's line means when the file is read.
        enum class Presence : std::uint8_t
        {
            Optional, // nothing
            Required, // the file is rewritten
            Counted,  // one of the thirteen lines the file must carry at least
        };

        // One line of the file. The table below is in the order written; a key whose section
        // differs from the one before it opens that section.
        struct Key
        {
            std::string_view section;
            std::string_view name;
            FieldRef field;
            SettingRange range; // of the 32-bit fields; positions have their own rule
            Presence presence;
            bool blankLineAfter = false;
        };

        constexpr Key kKeys[] = {
            {"Layout", "PositionX", &ModSettings::PositionX, kPositionRange, Presence::Optional},
            {"Layout", "PositionY", &ModSettings::PositionY, kPositionRange, Presence::Optional},
            {"Layout", "Size", &ModSettings::Size, kSizeRange, Presence::Optional},
            {"Layout", "Circular", &ModSettings::Circular, {}, Presence::Required},

            {"Map", "Zoom", &ModSettings::Zoom, kZoomRange, Presence::Optional},
            {"Map", "BrightnessTrim", &ModSettings::BrightnessTrim, kBrightnessRange, Presence::Optional},
            {"Map", "DayBrightness", &ModSettings::DayBrightness, kBrightnessRange, Presence::Required},
            {"Map", "NightBrightness", &ModSettings::NightBrightness, kBrightnessRange, Presence::Required},
            {"Map", "HidePlayer", &ModSettings::HidePlayer, {}, Presence::Optional},
            {"Map", "HideWeather", &ModSettings::HideWeather, {}, Presence::Optional},
            {"Map", "Shadows", &ModSettings::Shadows, {}, Presence::Optional},
            {"Map", "ShowAi", &ModSettings::ShowAi, {}, Presence::Optional, true},
            {"Map", "ShowResources", &ModSettings::ShowResources, {}, Presence::Optional},
            {"Map", "ShowQuests", &ModSettings::ShowQuests, {}, Presence::Optional},
            {"Map", "ShowPois", &ModSettings::ShowPois, {}, Presence::Optional},

            {"Markers", "AiIconScale", &ModSettings::AiIconScale, kIconScaleRange, Presence::Counted},
            {"Markers", "PoiIconScale", &ModSettings::PoiIconScale, kIconScaleRange, Presence::Counted},
            {"Markers", "MarkerOpacity", &ModSettings::MarkerOpacity, kMarkerOpacityRange, Presence::Counted},

            {"IndoorCamera", "IndoorCameraEnabled", &ModSettings::IndoorCameraEnabled, {}, Presence::Required},
            {"IndoorCamera", "IndoorCheckInterval", &ModSettings::IndoorCheckInterval, kIndoorCheckIntervalRange,
             Presence::Counted},
            {"IndoorCamera", "IndoorCeilingOffset", &ModSettings::IndoorCeilingOffset, kIndoorCeilingOffsetRange,
             Presence::Counted},
            {"IndoorCamera", "IndoorTransitionSpeed", &ModSettings::IndoorTransitionSpeed,
             kIndoorTransitionSpeedRange, Presence::Counted},
            {"IndoorCamera", "IndoorFallbackHeight", &ModSettings::IndoorFallbackHeight, kIndoorFallbackHeightRange,
             Presence::Counted},
            {"IndoorCamera", "IndoorRoofTraceDistance", &ModSettings::IndoorRoofTraceDistance,
             kIndoorRoofTraceDistanceRange, Presence::Counted},
            {"IndoorCamera", "IndoorShelterThreshold", &ModSettings::IndoorShelterThreshold,
             kIndoorShelterThresholdRange, Presence::Counted},
            {"IndoorCamera", "IndoorZoom", &ModSettings::IndoorZoom, kZoomRange, Presence::Counted},

            {"Dungeon", "DungeonZoom", &ModSettings::DungeonZoom, kZoomRange, Presence::Counted},
            {"Dungeon", "DungeonBrightnessV2", &ModSettings::DungeonBrightnessV2, kDungeonBrightnessRange,
             Presence::Counted},
            {"Dungeon", "DungeonCeilingOffset", &ModSettings::DungeonCeilingOffset, kDungeonCeilingOffsetRange,
             Presence::Counted},

            {"Performance", "CaptureFPS", &ModSettings::CaptureFPS, kFpsRange, Presence::Required},
            {"Performance", "MarkerFPS", &ModSettings::MarkerFPS, kFpsRange, Presence::Required},
            {"Performance", "RenderScale", &ModSettings::RenderScale, kRenderScaleRange, Presence::Required},
        };

        // A file written before these lines existed carries fewer of them than this.
        constexpr std::size_t kCountedLinesExpected = 13;

        // Keys of earlier versions of the file: read, converted, never written again.
        enum class Conversion : std::uint8_t
        {
            AsIs,      // validated like a current key; the old name alone is no reason to rewrite
            ZoomSteps, // steps of 500 above the closest zoom
            MinusHalf,
            PlusHalf,
            Ignored,
        };

        struct OlderKey
        {
            std::string_view name;
            float ModSettings::*target;
            Conversion conversion;
        };

        constexpr OlderKey kOlderKeys[] = {
            {"Brightness", &ModSettings::BrightnessTrim, Conversion::AsIs},
            {"IndoorAutoZoomSteps", &ModSettings::IndoorZoom, Conversion::ZoomSteps},
            {"DungeonZoomStepsFromClosest", &ModSettings::DungeonZoom, Conversion::ZoomSteps},
            {"DungeonAutoZoomSteps", &ModSettings::DungeonZoom, Conversion::ZoomSteps},
            {"DungeonBrightnessBoost", &ModSettings::DungeonBrightnessV2, Conversion::MinusHalf},
            {"DungeonBrightness", &ModSettings::DungeonBrightnessV2, Conversion::PlusHalf},
            {"IndoorRoofClipping", nullptr, Conversion::Ignored},
            {"IndoorClipHeight", nullptr, Conversion::Ignored},
        };

        // Stores a valid, accepted value; anything else leaves the field alone and asks for
        // the file to be rewritten with what the record holds.
        bool ApplyCurrentKey(ModSettings& settings, const Key& key, const std::wstring& line)
        {
            const std::size_t valueStart = key.name.size() + 1;
            if (const auto* position = std::get_if<double ModSettings::*>(&key.field))
            {
                const auto value = ParseIniDouble(line, valueStart);
                if (!value || !IsAcceptedPosition(*value)) return false;
                settings.*(*position) = *value;
            }
            else if (const auto* number = std::get_if<float ModSettings::*>(&key.field))
            {
                const auto value = ParseIniFloat(line, valueStart);
                if (!value || !key.range.Contains(*value)) return false;
                settings.*(*number) = *value;
            }
            else
            {
                const auto value = ParseIniBool(std::wstring_view(line).substr(valueStart));
                if (!value) return false;
                settings.*std::get<bool ModSettings::*>(key.field) = *value;
            }
            return true;
        }

        // Returns whether the file needs rewriting because of this line.
        bool ApplyOlderKey(ModSettings& settings, const OlderKey& key, const std::wstring& line)
        {
            if (key.conversion == Conversion::Ignored) return true;
            const auto value = ParseIniFloat(line, key.name.size() + 1);
            switch (key.conversion)
            {
            case Conversion::AsIs:
                if (!value || !kBrightnessRange.Contains(*value)) return true;
                settings.*key.target = *value;
                return false;
            case Conversion::ZoomSteps:
                if (value) settings.*key.target = kZoomRange.Clamp(*value * 500.0f + 1500.0f);
                return true;
            case Conversion::MinusHalf:
                if (value) settings.*key.target = kDungeonBrightnessRange.Clamp(*value - 0.5f);
                return true;
            case Conversion::PlusHalf:
                if (value) settings.*key.target = kDungeonBrightnessRange.Clamp(*value + 0.5f);
                return true;
            case Conversion::Ignored:
                break;
            }
            return true;
        }

        void ClampLiveValues(ModSettings& settings)
        {
            settings.Zoom = kZoomRange.Clamp(settings.Zoom);
            settings.Size = kSizeRange.Clamp(settings.Size);
            settings.BrightnessTrim = kBrightnessRange.Clamp(settings.BrightnessTrim);
            settings.DayBrightness = kBrightnessRange.Clamp(settings.DayBrightness);
            settings.NightBrightness = kBrightnessRange.Clamp(settings.NightBrightness);
            settings.CaptureFPS = kFpsRange.Clamp(settings.CaptureFPS);
            settings.MarkerFPS = kFpsRange.Clamp(settings.MarkerFPS);
            settings.RenderScale = kRenderScaleRange.Clamp(settings.RenderScale);
            settings.AiIconScale = kIconScaleRange.Clamp(settings.AiIconScale);
            settings.PoiIconScale = kIconScaleRange.Clamp(settings.PoiIconScale);
            settings.MarkerOpacity = kMarkerOpacityRange.Clamp(settings.MarkerOpacity);
        }
    }

    SettingsReadResult ReadSettingsText(ModSettings& settings, std::istream& text)
    {
        bool needsRewrite = false;
        std::size_t countedLines = 0;
        bool seen[std::size(kKeys)]{};

        std::string bytes;
        std::wstring line;
        while (NextIniLine(text, bytes, line))
        {
            bool matched = false;
            for (std::size_t k = 0; k < std::size(kKeys) && !matched; ++k)
            {
                if (!IsLineForKey(line, kKeys[k].name)) continue;
                matched = true;
                seen[k] = true;
                if (kKeys[k].presence == Presence::Counted) ++countedLines;
                if (!ApplyCurrentKey(settings, kKeys[k], line)) needsRewrite = true;
            }
            for (std::size_t k = 0; k < std::size(kOlderKeys) && !matched; ++k)
            {
                if (!IsLineForKey(line, kOlderKeys[k].name)) continue;
                matched = true;
                if (ApplyOlderKey(settings, kOlderKeys[k], line)) needsRewrite = true;
            }
        }
        // A stream that failed before its end (a read error, or a line too long to hold)
        // is not a short file: judging it by what arrived would replace good settings.
        if (text.bad()) return SettingsReadResult::ReadError;

        ClampLiveValues(settings);

        for (std::size_t k = 0; k < std::size(kKeys); ++k)
        {
            if (kKeys[k].presence == Presence::Required && !seen[k]) needsRewrite = true;
        }
        if (countedLines < kCountedLinesExpected) needsRewrite = true;
        return needsRewrite ? SettingsReadResult::NeedsRewrite : SettingsReadResult::Complete;
    }

    std::string FormatSettingsText(const ModSettings& settings)
    {
        IniWriter writer;
        for (const auto& key : kKeys)
        {
            std::ostream& value = writer.Key(key.section, key.name);
            std::visit([&](auto field) { value << settings.*field; }, key.field);
            writer.EndLine(key.blankLineAfter);
        }
        return std::move(writer).Text();
    }

    void LoadSettingsFile(ModSettings& settings, const std::wstring& path)
    {
        LoadIniRecord(settings, path, ReadSettingsText, SaveSettingsFile);
    }

    bool SaveSettingsFile(const ModSettings& settings, const std::wstring& path)
    {
        if (path.empty()) return false;
        return ReplaceFileWithText(path, FormatSettingsText(settings));
    }

    std::wstring SettingsFolderFromModulePath(const std::wstring& modulePath)
    {
        const auto module = ToFsPath(modulePath);
        if (!module) return {};
        fs::path folder = module->parent_path();
        // The loader's layout is Mods/<name>/dlls/main.dll; the mod's files belong to
        // Mods/<name>. Compared as written: "DLLs" is some other folder.
        if (folder.filename().native() == fs::path("dlls").native()) folder = folder.parent_path();
        return FromFsPath(folder).value_or(std::wstring{});
    }

    std::wstring SettingsPathInFolder(const std::wstring& folder)
    {
        return FileInFolder(folder, "state.ini");
    }

    std::wstring ModuleFolder()
    {
        HMODULE module = nullptr;
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               &moduleAnchor, &module) == FALSE ||
            module == nullptr)
            return {};
        std::wstring modulePath(kModulePathCapacity, L'\0');
        const DWORD length = GetModuleFileNameW(module, modulePath.data(), kModulePathCapacity);
        if (length < 1 || length >= kModulePathCapacity) return {};
        modulePath.resize(length);
        return SettingsFolderFromModulePath(modulePath);
    }

    namespace
    {
        std::wstring& ChosenSettingsFolder()
        {
            static std::wstring folder;
            return folder;
        }
    }

    void UseSettingsFolder(std::wstring folder)
    {
        ChosenSettingsFolder() = std::move(folder);
    }

    std::wstring SettingsFolder()
    {
        const std::wstring& chosen = ChosenSettingsFolder();
        return chosen.empty() ? ModuleFolder() : chosen;
    }

    std::wstring SettingsFilePath()
    {
        return SettingsPathInFolder(SettingsFolder());
    }

    void LoadSettings(ModSettings& settings)
    {
        LoadSettingsFile(settings, SettingsFilePath());
    }

    bool SaveSettings(const ModSettings& settings)
    {
        return SaveSettingsFile(settings, SettingsFilePath());
    }
}
