// state.ini: where it lives, its exact text, how it is read (validated, with the older key
// names and the self-repair rewrite) and how it is written (whole, through state.ini.tmp).
#pragma once

#include "settings/IniText.hpp"
#include "settings/ModSettings.hpp"

#include <iosfwd>
#include <string>

namespace Orv
{
    // Resets the record to the defaults, then fills it from the file beside the library. A
    // missing file is created; an incomplete or damaged one is rewritten; one that cannot be
    // read is left alone and the defaults stay.
    void LoadSettings(ModSettings& settings);

    // True only if state.ini was replaced by the new text.
    bool SaveSettings(const ModSettings& settings);

    // Empty when the library's location cannot be determined; reading and writing are then off.
    [[nodiscard]] std::wstring SettingsFilePath();

    // Keeps state.ini and hud.ini in this folder instead of beside the library, for a host
    // that stores the mod's files elsewhere and for tests that must not share one file. Empty
    // goes back.
    void UseSettingsFolder(std::wstring folder);

    // The folder chosen above, or else ModuleFolder(): where both settings files live.
    [[nodiscard]] std::wstring SettingsFolder();

    // The folder that holds state.ini: the library's own folder, or the one above it when the
    // library sits in a folder named exactly "dlls" (the loader's mod layout).
    [[nodiscard]] std::wstring ModuleFolder();

    // The same operations with the location given, for callers that know it (and for tests).
    [[nodiscard]] std::wstring SettingsFolderFromModulePath(const std::wstring& modulePath);
    [[nodiscard]] std::wstring SettingsPathInFolder(const std::wstring& folder);
    void LoadSettingsFile(ModSettings& settings, const std::wstring& path);
    bool SaveSettingsFile(const ModSettings& settings, const std::wstring& path);

    // Applies every recognised line of the text on top of what the record holds, then clamps.
    SettingsReadResult ReadSettingsText(ModSettings& settings, std::istream& text);

    // The exact bytes of state.ini for the record (CR LF line ends on every platform).
    [[nodiscard]] std::string FormatSettingsText(const ModSettings& settings);
}
