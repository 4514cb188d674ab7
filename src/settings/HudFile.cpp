// Reading and writing hud.ini, with the machinery state.ini is handled with (IniText): the
// same line reading, numbers, booleans, layout, repair and replace through a temporary.
#include "settings/HudFile.hpp"

#include "settings/SettingsFile.hpp"

#include <istream>
#include <optional>
#include <string_view>
#include <variant>

namespace Orv
{
    namespace
    {
        using HudField = std::variant<KeyChord HudSettings::*, bool HudSettings::*, float HudSettings::*,
                                      OtherFloorsMode HudSettings::*>;

        // As written, then as also read: the value's own spelling, and capitalised like True.
        constexpr std::wstring_view kOtherFloorsNames[][2] = {{L"dim", L"Dim"}, {L"show", L"Show"}, {L"hide", L"Hide"}};

        std::optional<OtherFloorsMode> ParseOtherFloors(std::wstring_view value)
        {
            for (std::size_t i = 0; i < std::size(kOtherFloorsNames); ++i)
            {
                if (value == kOtherFloorsNames[i][0] || value == kOtherFloorsNames[i][1])
                    return static_cast<OtherFloorsMode>(i);
            }
            return std::nullopt;
        }

        // A value no name belongs to is written as the default.
        std::wstring_view OtherFloorsName(OtherFloorsMode mode)
        {
            const auto index = static_cast<std::size_t>(mode);
            return kOtherFloorsNames[index < std::size(kOtherFloorsNames) ? index : 0][0];
        }

        // One line of the file, in the order written; a key whose section differs from the one
        // before it opens that section. Every line must be there, or the file is rewritten.
        struct HudKey
        {
            std::string_view section;
            std::string_view name;
            HudField field;
        };

        constexpr HudKey kHudKeys[] = {
            {"Keys", "ToggleKey", &HudSettings::ToggleKey},
            {"Keys", "ZoomInKey", &HudSettings::ZoomInKey},
            {"Keys", "ZoomOutKey", &HudSettings::ZoomOutKey},

            {"Hud", "Hidden", &HudSettings::Hidden},
            {"Hud", "NorthUp", &HudSettings::NorthUp},
            {"Hud", "CompassLetters", &HudSettings::CompassLetters},
            {"Hud", "Coordinates", &HudSettings::Coordinates},
            {"Hud", "MapOpacity", &HudSettings::MapOpacity},
            {"Hud", "MarkersToRim", &HudSettings::MarkersToRim},
            {"Hud", "NearestFirst", &HudSettings::NearestFirst},
            {"Hud", "EdgePins", &HudSettings::EdgePins},
            {"Hud", "OtherFloors", &HudSettings::OtherFloors},
        };

        // Stores a valid value; anything else leaves the field alone (the default on a load, or
        // an earlier valid line's value) and asks for the file to be rewritten with it. As in
        // state.ini, an opacity outside its range is rejected, not clamped.
        bool ApplyHudKey(HudSettings& hud, const HudKey& key, const std::string& bytes, const std::wstring& line)
        {
            const std::size_t valueStart = key.name.size() + 1;
            if (const auto* chord = std::get_if<KeyChord HudSettings::*>(&key.field))
                return ParseKeyChord(std::string_view(bytes).substr(valueStart), hud.*(*chord));
            if (const auto* flag = std::get_if<bool HudSettings::*>(&key.field))
            {
                const auto value = ParseIniBool(std::wstring_view(line).substr(valueStart));
                if (!value) return false;
                hud.*(*flag) = *value;
                return true;
            }
            if (const auto* mode = std::get_if<OtherFloorsMode HudSettings::*>(&key.field))
            {
                const auto value = ParseOtherFloors(std::wstring_view(line).substr(valueStart));
                if (!value) return false;
                hud.*(*mode) = *value;
                return true;
            }
            const auto value = ParseIniFloat(line, valueStart);
            if (!value || !kMapOpacityRange.Contains(*value)) return false;
            hud.*std::get<float HudSettings::*>(key.field) = *value;
            return true;
        }

        // What the record held before the read and no line replaced is made usable, without a
        // rewrite, as state.ini's live values are.
        void MakeUsable(HudSettings& hud)
        {
            hud.MapOpacity = kMapOpacityRange.Clamp(hud.MapOpacity);
            constexpr HudSettings defaults{};
            if (static_cast<std::size_t>(hud.OtherFloors) >= std::size(kOtherFloorsNames)) hud.OtherFloors = defaults.OtherFloors;
            for (KeyChord HudSettings::*chord : {&HudSettings::ToggleKey, &HudSettings::ZoomInKey,
                                                 &HudSettings::ZoomOutKey})
            {
                if (!IsChordKey((hud.*chord).key)) hud.*chord = defaults.*chord;
            }
        }
    }

    SettingsReadResult ReadHudText(HudSettings& hud, std::istream& text)
    {
        bool needsRewrite = false;
        bool seen[std::size(kHudKeys)]{};

        std::string bytes;
        std::wstring line;
        while (NextIniLine(text, bytes, line))
        {
            for (std::size_t k = 0; k < std::size(kHudKeys); ++k)
            {
                if (!IsLineForKey(line, kHudKeys[k].name)) continue;
                seen[k] = true;
                if (!ApplyHudKey(hud, kHudKeys[k], bytes, line)) needsRewrite = true;
                break;
            }
        }
        // A stream that failed before its end is not a short file: judging it by what arrived
        // would replace good settings.
        if (text.bad()) return SettingsReadResult::ReadError;

        MakeUsable(hud);
        for (const bool present : seen)
        {
            if (!present) needsRewrite = true;
        }
        return needsRewrite ? SettingsReadResult::NeedsRewrite : SettingsReadResult::Complete;
    }

    std::string FormatHudText(const HudSettings& hud)
    {
        IniWriter writer;
        for (const auto& key : kHudKeys)
        {
            std::ostream& value = writer.Key(key.section, key.name);
            if (const auto* chord = std::get_if<KeyChord HudSettings::*>(&key.field))
                value << FormatKeyChord(hud.*(*chord));
            else if (const auto* flag = std::get_if<bool HudSettings::*>(&key.field))
                value << hud.*(*flag);
            else if (const auto* mode = std::get_if<OtherFloorsMode HudSettings::*>(&key.field))
                for (const wchar_t c : OtherFloorsName(hud.*(*mode))) value << static_cast<char>(c);
            else
                value << hud.*std::get<float HudSettings::*>(key.field);
            writer.EndLine();
        }
        return std::move(writer).Text();
    }

    void LoadHudSettingsFile(HudSettings& hud, const std::wstring& path)
    {
        LoadIniRecord(hud, path, ReadHudText, SaveHudSettingsFile);
    }

    bool SaveHudSettingsFile(const HudSettings& hud, const std::wstring& path)
    {
        if (path.empty()) return false;
        return ReplaceFileWithText(path, FormatHudText(hud));
    }

    std::wstring HudPathInFolder(const std::wstring& folder)
    {
        return FileInFolder(folder, "hud.ini");
    }

    std::wstring HudFilePath()
    {
        return HudPathInFolder(SettingsFolder());
    }

    void LoadHudSettings(HudSettings& hud)
    {
        LoadHudSettingsFile(hud, HudFilePath());
    }

    bool SaveHudSettings(const HudSettings& hud)
    {
        return SaveHudSettingsFile(hud, HudFilePath());
    }
}
