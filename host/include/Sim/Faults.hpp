// Making a script function fault inside the engine, as a broken game build or a bad
// argument would: the fault happens where the native body would run, after the pre-hooks.
#pragma once

#include <Sim/Engine.hpp>

namespace Sim
{
enum class FaultKind
{
    None,
    NullWrite,    // an access violation (SIGSEGV)
    DivideByZero, // an integer division by zero (SIGFPE)
};

// Every later call of the function faults until it is set back to FaultKind::None.
UE4SS_API void MakeFunctionFault(UFunction* function, FaultKind fault);
} // namespace Sim
