// A key with its modifiers, as the player writes it in hud.ini ("Ctrl+M", "Shift+VK_F5",
// "Alt+0x4D") and as the input code compares it against the keyboard.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Orv
{
    struct KeyChord
    {
        std::uint8_t key = 0; // Windows virtual-key code
        bool ctrl = false;
        bool shift = false;
        bool alt = false;

        friend bool operator==(const KeyChord&, const KeyChord&) = default;
    };

    // A code a chord may end in: 1 … 0xFE, but no mouse button and no modifier key.
    [[nodiscard]] bool IsChordKey(std::uint8_t key);

    // Zero or more of "Ctrl+", "Shift+", "Alt+" (any order and case, each once, spaces
    // around the '+' allowed), then the key: a virtual-key name ("VK_F5", any case), one
    // letter or digit, a hexadecimal "0x4D" or a decimal "77". On false `chord` is unchanged.
    [[nodiscard]] bool ParseKeyChord(std::string_view text, KeyChord& chord);

    // The prefixes in the order Ctrl+Shift+Alt+, then a letter or digit as itself, a named key
    // by its VK_ name and any other code as "0xNN". ParseKeyChord reads it back unchanged.
    [[nodiscard]] std::string FormatKeyChord(KeyChord chord);
}
