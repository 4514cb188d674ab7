// Windows only: the mod asks user32.dll's GetAsyncKeyState for the keys, so a module's import
// of it is pointed at the simulated player's key table instead. Free of windows.h, whose
// macros would rename engine members in the files that call these.
#pragma once

#ifdef _WIN32
namespace Sim::Detail
{
// Rewrites the loaded module's import address table entries for user32.dll's
// GetAsyncKeyState to the stand-in's key state; returns how many it rewrote (0 for a module
// that does not import it). The module is its HMODULE.
int RouteKeyStateQueries(void* module);
// The same for the running program, which holds the mod itself when linked into a test.
int RouteKeyStateQueriesOfProgram();
} // namespace Sim::Detail
#endif
