// The hotkeys apart from the mod object: a chord is pressed once when its key goes down while
// exactly its modifiers are held, and only while the game's own main window is in front (the
// key state is the whole desktop's, so a key typed into another program would reach us too).
#pragma once

#include "settings/HudSettings.hpp"

#include <array>
#include <cstddef>

namespace Orv
{
enum HotkeyIndex : std::size_t
{
    kToggleHotkey = 0,
    kZoomInHotkey = 1,
    kZoomOutHotkey = 2,
};
inline constexpr std::size_t kHotkeyCount = 3;

// The opacity button's steps, 100 % down to 40 %: the next below the current one, and from
// the lowest (or anything under it) back to full.
float NextMapOpacity(float current);

// Each chord's key as last polled.
struct HotkeyState
{
    std::array<bool, kHotkeyCount> keyWasDown{};
};

// Ctrl, Shift and Alt down exactly as the chord names them.
bool ModifiersMatch(const KeyChord& chord);

// The foreground window is this process's and of the engine's main window class.
bool GameWindowInFront();

// The chords' keys read as held now, so a key that is down already does not count as pressed.
void SettleHotkeys(HotkeyState& state, const std::array<KeyChord, kHotkeyCount>& chords);

// Which chords were pressed since the last poll. The modifiers and the focus are read only
// when a key went down, so a frame without a press costs three key reads.
std::array<bool, kHotkeyCount> PollChords(HotkeyState& state, const std::array<KeyChord, kHotkeyCount>& chords);
} // namespace Orv
