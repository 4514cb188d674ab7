// Reading and writing state.ini, and finding it beside the library.
//
// The file is handled as bytes on every platform: one byte is one character (a byte above
// 127 stands for the character of the same number, as the classic locale's wide streams
// treat it on Windows), lines are cut at LF, and the writer puts CR LF itself. That gives
// the same file and the same reading on Windows and on the stand-in, where a wide stream in
// the classic locale would silently stop at the first byte above 127 and lose the rest.
#include "settings/SettingsFile.hpp"

#include "reflection/Host.hpp"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <locale.h>
#include <stdlib.h>
#include <wchar.h>
#include <exception>
#include <filesystem>
#include <fstream>
#include <istream>
#include <clocale>
#include <locale>
#include <optional>
#include <sstream>
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

        // On Windows a wide string is the native path. Elsewhere wchar_t holds whole code
        // points, and going through char32_t makes the path UTF-8 whatever the process locale
        // is (a wide string would be converted through the locale and fail on non-ASCII).
        std::optional<fs::path> ToFsPath(const std::wstring& wide)
        {
            try
            {
                if constexpr (sizeof(wchar_t) == sizeof(char32_t))
                    return fs::path(std::u32string(wide.begin(), wide.end()));
                else
                    return fs::path(wide);
            }
            catch (const std::exception&)
            {
                return std::nullopt;
            }
        }

        std::optional<std::wstring> FromFsPath(const fs::path& path)
        {
            try
            {
                if constexpr (sizeof(wchar_t) == sizeof(char32_t))
                {
                    const std::u32string points = path.u32string();
                    return std::wstring(points.begin(), points.end());
                }
                else
                {
                    return path.wstring();
                }
            }
            catch (const std::exception&)
            {
                return std::nullopt;
            }
        }

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

        // Keys are case-sensitive, start in column 0 and are followed directly by '='. Since
        // the '=' is part of the match, no key can match a line meant for a longer one.
        bool IsLineForKey(std::wstring_view line, std::string_view key)
        {
            if (line.size() <= key.size() || line[key.size()] != L'=') return false;
            for (std::size_t i = 0; i < key.size(); ++i)
            {
                if (line[i] != static_cast<wchar_t>(key[i])) return false;
            }
            return true;
        }

        // The file's numbers have a full stop whatever locale the game set: the conversion
        // runs in the C locale, so a comma-decimal process locale cannot reject "0.15" and
        // have the file rewritten with defaults.
#if defined(__MINGW32__)
        // The Windows test build's msvcrt has no conversion that takes a locale; it converts
        // in the process locale, which the tests leave as C.
        float ToNumber(const wchar_t* text, wchar_t** end, float) { return std::wcstof(text, end); }
        double ToNumber(const wchar_t* text, wchar_t** end, double) { return std::wcstod(text, end); }
#elif defined(_WIN32)
        _locale_t ClassicNumbers()
        {
            static const _locale_t classic = _create_locale(LC_NUMERIC, "C");
            return classic;
        }
        float ToNumber(const wchar_t* text, wchar_t** end, float) { return _wcstof_l(text, end, ClassicNumbers()); }
        double ToNumber(const wchar_t* text, wchar_t** end, double) { return _wcstod_l(text, end, ClassicNumbers()); }
#else
        locale_t ClassicNumbers()
        {
            static const locale_t classic = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
            return classic;
        }
        float ToNumber(const wchar_t* text, wchar_t** end, float) { return wcstof_l(text, end, ClassicNumbers()); }
        double ToNumber(const wchar_t* text, wchar_t** end, double) { return wcstod_l(text, end, ClassicNumbers()); }
#endif

        // The whole rest of the line must be one number. Infinity and NaN parse but are never
        // a usable setting, so they count as invalid.
        template <typename T>
        std::optional<T> ParseNumber(const std::wstring& line, std::size_t valueStart)
        {
            const wchar_t* begin = line.c_str() + valueStart;
            const wchar_t* lineEnd = line.c_str() + line.size();
            wchar_t* end = nullptr;
            errno = 0;
            const T value = ToNumber(begin, &end, T{});
            const bool rangeError = errno == ERANGE;
            if (end == begin || end != lineEnd || rangeError || !std::isfinite(value)) return std::nullopt;
            return value;
        }

        std::optional<bool> ParseBool(std::wstring_view value)
        {
            if (value == L"1" || value == L"true" || value == L"True") return true;
            if (value == L"0" || value == L"false" || value == L"False") return false;
            return std::nullopt;
        }

        // Stores a valid, accepted value; anything else leaves the field alone and asks for
        // the file to be rewritten with what the record holds.
        bool ApplyCurrentKey(ModSettings& settings, const Key& key, const std::wstring& line)
        {
            const std::size_t valueStart = key.name.size() + 1;
            if (const auto* position = std::get_if<double ModSettings::*>(&key.field))
            {
                const auto value = ParseNumber<double>(line, valueStart);
                if (!value || !IsAcceptedPosition(*value)) return false;
                settings.*(*position) = *value;
            }
            else if (const auto* number = std::get_if<float ModSettings::*>(&key.field))
            {
                const auto value = ParseNumber<float>(line, valueStart);
                if (!value || !key.range.Contains(*value)) return false;
                settings.*(*number) = *value;
            }
            else
            {
                const auto value = ParseBool(std::wstring_view(line).substr(valueStart));
                if (!value) return false;
                settings.*std::get<bool ModSettings::*>(key.field) = *value;
            }
            return true;
        }

        // Returns whether the file needs rewriting because of this line.
        bool ApplyOlderKey(ModSettings& settings, const OlderKey& key, const std::wstring& line)
        {
            if (key.conversion == Conversion::Ignored) return true;
            const auto value = ParseNumber<float>(line, key.name.size() + 1);
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
        while (std::getline(text, bytes))
        {
            // A line cut at LF ends in the CR of its CR LF; one more CR before that is
            // dropped as well, as a text-mode read of the file would leave it.
            if (!text.eof() && !bytes.empty() && bytes.back() == '\r') bytes.pop_back();
            if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
            line.resize(bytes.size());
            for (std::size_t i = 0; i < bytes.size(); ++i)
                line[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));

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
        // The classic locale's defaults are the file's number format: %g with six
        // significant digits, a full stop, no grouping; booleans as 1 and 0.
        std::ostringstream out;
        out.imbue(std::locale::classic());
        std::string_view section;
        for (const auto& key : kKeys)
        {
            if (key.section != section)
            {
                if (!section.empty()) out << "\r\n";
                section = key.section;
                out << '[' << section << "]\r\n";
            }
            out << key.name << '=';
            std::visit([&](auto field) { out << settings.*field; }, key.field);
            out << "\r\n";
            if (key.blankLineAfter) out << "\r\n";
        }
        return std::move(out).str();
    }

    void LoadSettingsFile(ModSettings& settings, const std::wstring& path)
    {
        settings = DefaultSettings();
        if (path.empty()) return;
        const auto file = ToFsPath(path);
        if (!file) return;

        std::error_code error;
        const auto status = fs::status(*file, error);
        if (error || !fs::exists(status))
        {
            SaveSettingsFile(settings, path);
            return;
        }
        // A folder or a device under the name holds no settings, and must not be replaced
        // (nor, for a pipe, waited on).
        if (!fs::is_regular_file(status)) return;

        std::ifstream in(*file, std::ios::binary);
        if (!in.is_open()) return;
        switch (ReadSettingsText(settings, in))
        {
        case SettingsReadResult::Complete:
            break;
        case SettingsReadResult::NeedsRewrite:
            in.close();
            SaveSettingsFile(settings, path);
            break;
        case SettingsReadResult::ReadError:
            settings = DefaultSettings();
            break;
        }
    }

    bool SaveSettingsFile(const ModSettings& settings, const std::wstring& path)
    {
        if (path.empty()) return false;
        const std::wstring temporary = path + L".tmp";
        const auto temporaryFile = ToFsPath(temporary);
        if (!temporaryFile) return false;

        const std::string text = FormatSettingsText(settings);
        std::ofstream out(*temporaryFile, std::ios::binary | std::ios::trunc);
        if (out)
        {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.flush();
        }
        // A failed write leaves state.ini as it was; the next save truncates the leftover.
        if (!out) return false;
        out.close();
        if (!out) return false;

        if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE)
            return true;
        DeleteFileW(temporary.c_str());
        return false;
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
        if (folder.empty()) return {};
        const auto base = ToFsPath(folder);
        if (!base) return {};
        return FromFsPath(*base / "state.ini").value_or(std::wstring{});
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

    std::wstring SettingsFilePath()
    {
        const std::wstring& chosen = ChosenSettingsFolder();
        return SettingsPathInFolder(chosen.empty() ? ModuleFolder() : chosen);
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
