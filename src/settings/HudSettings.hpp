// The record of hud.ini: the keys that hide the map and step its zoom, and the extras of the
// frame (north-up, compass letters, coordinates, opacity). Plain data like ModSettings, so it
// is copied and reset by assignment; the one live instance is reached through Hud().
#pragma once

#include "settings/KeyChord.hpp"
#include "settings/ModSettings.hpp"

namespace Orv
{
    // MapOpacity: the map picture, its rims and the markers.
    inline constexpr SettingRange kMapOpacityRange{0.2f, 1.0f};

    // Field names are the INI keys; the member initialisers are the defaults.
    struct HudSettings
    {
        KeyChord ToggleKey{0x4D, true};  // Ctrl+M
        KeyChord ZoomInKey{0xBB, true};  // Ctrl+VK_OEM_PLUS
        KeyChord ZoomOutKey{0xBD, true}; // Ctrl+VK_OEM_MINUS
        bool Hidden = false;
        bool NorthUp = false;
        bool CompassLetters = true;
        bool Coordinates = false;
        float MapOpacity = 1.0f;
        // A marker shows while its whole body fits inside the picture; off, the fixed margins
        // of 20 (icons) and 18 (diamonds) from the picture's edge hold.
        bool MarkersToRim = true;
        // With more tracked actors in the frame than diamonds, bosses and then the others get
        // them nearest first; off, the tracked list's order decides.
        bool NearestFirst = true;

        friend bool operator==(const HudSettings&, const HudSettings&) = default;
    };

    // The one process-wide record. Holds the defaults from load of the library on.
    [[nodiscard]] HudSettings& Hud();
}
