// The report's look at the minimap's capture as the engine holds it: where the camera hangs
// over the player, how wide it sees, what it leaves out and how bright it renders.
#pragma once

#include <nlohmann/json.hpp>

namespace OrvSim
{
// The newest live 2-D capture component's state, with the capture's height over the pawn at
// the last picture; an empty object when there is no capture.
nlohmann::json DescribeCapture();
} // namespace OrvSim
