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

// The loader's own calls that throw std::runtime_error in its source, and throw here on demand
// with the loader's message: its virtual-call wrappers when the engine's table lacks the
// function (UnrealVirtualBaseVC.hpp), and its native-function wrappers when the function or a
// parameter is not found (BPMacros.hpp).
enum class LoaderCall
{
    ProcessEvent,       // UObject::ProcessEvent, a virtual-call wrapper
    GetWorld,           // UObject::GetWorld, a virtual-call wrapper
    K2_DestroyActor,    // AActor::K2_DestroyActor
    K2_GetActorLocation,
    K2_GetActorRotation,
    K2_SetActorLocation,
    SetActorEnableCollision,
    SetActorTickEnabled,
};
inline constexpr int kLoaderCallCount = 8;
UE4SS_API const char* LoaderCallName(LoaderCall call);
// The next `times` calls of it throw, as the loader's would in a game it cannot fully read.
UE4SS_API void MakeLoaderCallThrow(LoaderCall call, int times);
// The throws asked for that have not happened yet.
UE4SS_API int LoaderCallThrowsLeft(LoaderCall call);
} // namespace Sim
