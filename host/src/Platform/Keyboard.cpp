// The stand-in's key-state query: the keys the simulated player holds, kept for the engine's
// life so a fresh engine starts with every key up.
#include "Sim/EngineState.hpp"

#include <Sim/Input.hpp>

#ifndef _WIN32
#include <Platform/Windows.hpp>
#endif

namespace Sim
{
void SetKeyDown(int virtualKey, bool down)
{
    if (virtualKey >= 0 && virtualKey < 256)
    {
        Detail::State().play.keysDown[static_cast<std::size_t>(virtualKey)] = down;
    }
}

bool IsKeyDown(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256 && Detail::State().play.keysDown[static_cast<std::size_t>(virtualKey)];
}
} // namespace Sim

// On Windows the mod asks the system itself.
#ifndef _WIN32
extern "C"
{
    SHORT GetAsyncKeyState(int vKey) { return Sim::IsKeyDown(vKey) ? static_cast<SHORT>(0x8000) : 0; }
}
#endif
