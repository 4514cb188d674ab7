// The simulated player's mouse buttons and keys, as the platform's key-state query reads them.
#pragma once

#include <Sim/Engine.hpp>

namespace Sim
{
// Virtual key codes as Windows numbers them (1 the left mouse button). All keys are up after
// ResetEngine.
UE4SS_API void SetKeyDown(int virtualKey, bool down);
UE4SS_API bool IsKeyDown(int virtualKey);
} // namespace Sim
