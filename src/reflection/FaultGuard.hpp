// Containment of hardware faults inside engine calls. A fault inside the guarded call
// (an access violation, a division by zero, an illegal instruction, a bus error) ends that
// call and is reported as a failed call; the game goes on.
#pragma once

namespace Orv
{
// Runs body(context) and returns true, or false when a fault ended it. Guards nest. Nothing
// is allocated per call.
//
// MSVC: structured exception handling. MinGW: a vectored exception handler, added on first
// use and removed when the library unloads, that jumps back to the innermost guard of the
// faulting thread. Elsewhere: handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL, installed on
// first use and kept while the library is loaded; a guarded call then makes no system call.
// A fault outside every guarded call of its thread goes to the handler ours replaced.
bool RunContained(void (*body)(void* context), void* context);

#if !defined(_WIN32)
// Installs the signal handlers now, remembering the ones they replace; true once they are in.
bool InstallFaultHandlers();
// Puts back the replaced handlers, except for a signal whose handler another library has
// replaced since ours (that one is left alone). Runs by itself when the library unloads; a
// later guarded call installs them again.
void RestoreFaultHandlers();
#endif
} // namespace Orv
