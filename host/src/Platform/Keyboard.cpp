// The stand-in's key state and mouse: the keys the simulated player holds, read as Windows
// reads them, and where the mouse is, kept for the engine's life so a fresh engine starts
// with every key up and no mouse.
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

// Windows' codes of the modifiers: the generic one, then its left and right keys.
constexpr int kShift = 0x10, kLeftShift = 0xA0, kRightShift = 0xA1;
constexpr int kControl = 0x11, kLeftControl = 0xA2, kRightControl = 0xA3;
constexpr int kMenu = 0x12, kLeftMenu = 0xA4, kRightMenu = 0xA5;

bool Held(int code) { return IsKeyCode(code) && Detail::State().play.keysDown[static_cast<std::size_t>(code)]; }
} // namespace

void SetKeyDown(int virtualKey, bool down)
{
    if (IsKeyCode(virtualKey))
    {
        Detail::State().play.keysDown[static_cast<std::size_t>(virtualKey)] = down;
    }
}

// GetAsyncKeyState: a keyboard only has sided modifier keys, and the system keeps the generic
// code's state as the union of both sides'.
bool IsKeyDown(int virtualKey)
{
    if (Held(virtualKey))
    {
        return true;
    }
    switch (virtualKey)
    {
    case kShift: return Held(kLeftShift) || Held(kRightShift);
    case kControl: return Held(kLeftControl) || Held(kRightControl);
    case kMenu: return Held(kLeftMenu) || Held(kRightMenu);
    default: return false;
    }
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
