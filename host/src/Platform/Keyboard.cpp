// The stand-in's key state and mouse: the keys the simulated player holds and where the mouse
// is, kept for the engine's life so a fresh engine starts with every key up and no mouse.
#include "Sim/EngineState.hpp"

#include <Sim/Input.hpp>

#ifndef _WIN32
#include <Platform/Windows.hpp>
#endif

namespace Sim
{
namespace
{
bool IsKeyCode(int code) { return code >= 0 && code < 256; }
} // namespace

void SetKeyDown(int virtualKey, bool down)
{
    if (IsKeyCode(virtualKey))
    {
        Detail::State().play.keysDown[static_cast<std::size_t>(virtualKey)] = down;
    }
}

bool IsKeyDown(int virtualKey)
{
    return IsKeyCode(virtualKey) && Detail::State().play.keysDown[static_cast<std::size_t>(virtualKey)];
}

void SetMousePosition(double x, double y)
{
    auto& play = Detail::State().play;
    play.mouseOverViewport = true;
    play.mouseX = x;
    play.mouseY = y;
}

void ClearMousePosition() { Detail::State().play.mouseOverViewport = false; }

MousePosition CurrentMousePosition()
{
    const auto& play = Detail::State().play;
    return {play.mouseOverViewport, play.mouseX, play.mouseY};
}
} // namespace Sim

// On Windows the mod asks the system itself.
#ifndef _WIN32
extern "C"
{
    SHORT GetAsyncKeyState(int vKey) { return Sim::IsKeyDown(vKey) ? static_cast<SHORT>(0x8000) : 0; }
}
#endif
