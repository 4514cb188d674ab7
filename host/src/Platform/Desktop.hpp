// The simulated desktop's windows as user32 answers for them, shared by the stand-in's own
// Win32 calls and, on Windows, the routes that replace user32's. Handles travel as integers so
// this header stays free of windows.h, whose macros would rename engine members.
#pragma once

#include <cstdint>

namespace Sim::Detail
{
// GetForegroundWindow: the handle of the window in front, 0 for none.
std::uintptr_t ForegroundWindowHandle();

// GetWindowThreadProcessId: the id of the thread that made the window, 0 for a handle that is
// no window (then *processId is left as it was). A non-null processId gets the owning
// process's id; the game's own windows report ourProcess, the system's id for this process.
std::uint32_t WindowThreadProcessId(std::uintptr_t window, std::uint32_t* processId, std::uint32_t ourProcess);

// GetClassNameW: at most capacity - 1 characters of the window's class and a terminator;
// the count copied, 0 for a handle that is no window or a null or empty buffer (which is
// then left untouched).
int WindowClassName(std::uintptr_t window, wchar_t* buffer, int capacity);
} // namespace Sim::Detail
