// The player controller's input as the engine keeps it.
#include "Sim/EngineState.hpp"

#include <Sim/Input.hpp>

namespace Sim
{
ControllerInput InputStateOf(const UObject*) { return {}; }
void IgnoreInput(UObject*, bool, bool) {}
bool GameViewportHasFocus() { return true; }
} // namespace Sim
