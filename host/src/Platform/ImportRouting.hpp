// Windows only: the mod asks the system for the keys (user32.dll's GetAsyncKeyState), the
// window in front (user32.dll's GetForegroundWindow, GetWindowThreadProcessId and
// GetClassNameW) and the time (kernel32.dll's QueryPerformanceCounter and
// QueryPerformanceFrequency), so a module's imports of them are pointed at the simulated
// player's key table, the simulated desktop and the engine's clock instead. Free of windows.h, whose macros would rename engine members in the files that call
// these.
#pragma once

#ifdef _WIN32
namespace Sim::Detail
{
// Rewrites the loaded module's import address table entries for those system calls to the
// stand-in's; returns how many it rewrote (0 for a module that imports none). The module is
// its HMODULE.
int RouteSystemQueries(void* module);
// The same for the running program, which holds the mod itself when linked into a test.
int RouteSystemQueriesOfProgram();
} // namespace Sim::Detail
#endif
