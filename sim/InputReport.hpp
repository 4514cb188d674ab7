// The report's look at the game's input at the end of a run: whether the HUD shows its edit
// controls and a value being typed, and the local player controller's input switches and
// ignore counters as the engine holds them.
#pragma once

#include <nlohmann/json.hpp>

namespace OrvSim
{
// The "input" key: edit_mode, typing (0 none, else 1 to 3 for the value field showing a text
// cursor), cursor_shown, click_events, mouse_over_events, move_ignored, look_ignored; the
// controller's entries are null without a local controller.
nlohmann::json DescribeInput();
} // namespace OrvSim
