// The simulated desktop: the game's main window, the loader's console in the game's process,
// another program's window, and which of them is in front. The windows are fixed for the
// engine's life; only the choice in front is engine state, so a fresh engine starts focused.
#include "Platform/Desktop.hpp"

#include "Sim/EngineState.hpp"

#include <Sim/Input.hpp>

#ifndef _WIN32
#include <Platform/Windows.hpp>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <cwchar>

namespace Sim
{
namespace
{
struct DesktopWindow
{
    Foreground which;
    // User handles are small even numbers, never addresses: a caller that reads through one
    // crashes here as it would on Windows.
    std::uintptr_t handle;
    std::uint32_t thread;
    bool gameProcess;
    const wchar_t* className;
};

// The console window is conhost's, but conhost names its client as the window's owner, so
// Windows reports the game's process for it.
constexpr std::array kWindows = {
    DesktopWindow{Foreground::Game, 0x000A0C2E, 0x1F3C, true, L"UnrealWindow"},
    DesktopWindow{Foreground::GameConsole, 0x00050D1A, 0x2A10, true, L"ConsoleWindowClass"},
    DesktopWindow{Foreground::OtherProgram, 0x00120F44, 0x3B04, false, L"Chrome_WidgetWin_1"},
};

// Windows' process ids are multiples of 4; the other program's must never be ours.
constexpr std::uint32_t kOtherProcess = 0x2F58;

const DesktopWindow* WindowByHandle(std::uintptr_t handle)
{
    for (const DesktopWindow& window : kWindows)
    {
        if (window.handle == handle)
        {
            return &window;
        }
    }
    return nullptr;
}
} // namespace

void SetForegroundWindow(Foreground which) { Detail::State().play.foreground = which; }

Foreground CurrentForeground() { return Detail::State().play.foreground; }

namespace Detail
{
std::uintptr_t ForegroundWindowHandle()
{
    const Foreground front = State().play.foreground;
    for (const DesktopWindow& window : kWindows)
    {
        if (window.which == front)
        {
            return window.handle;
        }
    }
    return 0;
}

std::uint32_t WindowThreadProcessId(std::uintptr_t handle, std::uint32_t* processId, std::uint32_t ourProcess)
{
    const DesktopWindow* window = WindowByHandle(handle);
    if (window == nullptr)
    {
        return 0;
    }
    if (processId != nullptr)
    {
        *processId = window->gameProcess ? ourProcess : (kOtherProcess != ourProcess ? kOtherProcess : kOtherProcess + 4);
    }
    return window->thread;
}

int WindowClassName(std::uintptr_t handle, wchar_t* buffer, int capacity)
{
    const DesktopWindow* window = WindowByHandle(handle);
    if (window == nullptr || buffer == nullptr || capacity <= 0)
    {
        return 0;
    }
    const std::size_t length = std::min(std::wcslen(window->className), static_cast<std::size_t>(capacity) - 1);
    std::memcpy(buffer, window->className, length * sizeof(wchar_t));
    buffer[length] = L'\0';
    return static_cast<int>(length);
}
} // namespace Detail
} // namespace Sim

// On Windows the mod asks user32 itself, whose imports the engine routes here.
#ifndef _WIN32
extern "C"
{
    HWND GetForegroundWindow() { return reinterpret_cast<HWND>(Sim::Detail::ForegroundWindowHandle()); }

    DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
    {
        return Sim::Detail::WindowThreadProcessId(reinterpret_cast<std::uintptr_t>(hWnd), lpdwProcessId, GetCurrentProcessId());
    }

    int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount)
    {
        return Sim::Detail::WindowClassName(reinterpret_cast<std::uintptr_t>(hWnd), lpClassName, nMaxCount);
    }
}
#endif
