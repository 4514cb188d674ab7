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
// faulting thread. Elsewhere: handlers for SIGSEGV, SIGBUS, SIGFPE and SIGILL, installed
// only for the duration of the call and restored to whatever was there before.
bool RunContained(void (*body)(void* context), void* context);
} // namespace Orv
