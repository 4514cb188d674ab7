// hud.ini: where it lives (beside state.ini), its exact text, how it is read (validated, with
// the self-repair rewrite) and how it is written (whole, through hud.ini.tmp).
#pragma once

#include "settings/HudSettings.hpp"
#include "settings/IniText.hpp"

#include <iosfwd>
#include <string>

namespace Orv
{
    // Resets the record to the defaults, then fills it from hud.ini in SettingsFolder(). A
    // missing file is created; an incomplete or damaged one is rewritten; one that cannot be
    // read is left alone and the defaults stay.
    void LoadHudSettings(HudSettings& hud);

    // True only if hud.ini was replaced by the new text.
    bool SaveHudSettings(const HudSettings& hud);

    // Empty when the settings folder cannot be determined; reading and writing are then off.
    [[nodiscard]] std::wstring HudFilePath();

    // The same operations with the location given, for callers that know it (and for tests).
    [[nodiscard]] std::wstring HudPathInFolder(const std::wstring& folder);
    void LoadHudSettingsFile(HudSettings& hud, const std::wstring& path);
    bool SaveHudSettingsFile(const HudSettings& hud, const std::wstring& path);

    // Applies every recognised line of the text on top of what the record holds, then brings
    // what no line replaced into range: the opacity clamped, an unusable chord its default.
    SettingsReadResult ReadHudText(HudSettings& hud, std::istream& text);

    // The exact bytes of hud.ini for the record (CR LF line ends on every platform).
    [[nodiscard]] std::string FormatHudText(const HudSettings& hud);
}
