// The report's look at the minimap's capture as the engine holds it: where the camera hangs
// over the player, how wide it sees, what it leaves out and how bright it renders.
#pragma once

#include <nlohmann/json.hpp>

namespace OrvSim
{
// The newest live 2-D capture component's state, or null when there is none.
nlohmann::json DescribeCapture();
} // namespace OrvSim
