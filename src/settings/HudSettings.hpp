// The record of hud.ini: the keys that hide the map and step its zoom, and the extras of the
// frame (north-up, compass letters, coordinates, opacity, how markers meet the rim and other
// floors). Plain data like ModSettings, so it
// is copied and reset by assignment; the one live instance is reached through Hud().
#pragma once

#include "settings/KeyChord.hpp"
#include "settings/ModSettings.hpp"

#include <cstdint>

namespace Orv
{
    // MapOpacity: the map picture; below 1 the rims fade out with it.
    inline constexpr SettingRange kMapOpacityRange{0.2f, 1.0f};

    // How a marker far above or below the player is drawn: at half opacity, as any other, or
    // not at all. hud.ini spells them dim, show and hide.
    enum class OtherFloorsMode : std::uint8_t
    {
        Dim,
        Show,
        Hide,
    };

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
        // Beyond the picture's edge, the game's waypoint and other players stay on the rim in
        // their direction, smaller and dimmed, the waypoint with its distance; off, they are
        // not drawn there.
        bool EdgePins = true;
        OtherFloorsMode OtherFloors = OtherFloorsMode::Dim;

        friend bool operator==(const HudSettings&, const HudSettings&) = default;
    };

    // The one process-wide record. Holds the defaults from load of the library on.
    [[nodiscard]] HudSettings& Hud();
}
