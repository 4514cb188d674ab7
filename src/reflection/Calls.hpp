// Reflective calls by name: the one pattern every call follows (resolve, bind a frame, write
// the arguments in order, invoke, read the results, destroy), and the call-and-read helpers
// built on it. Failures are false or null results; the frame is destroyed on every path.
#pragma once

#include "reflection/CallFrame.hpp"
#include "reflection/EngineValues.hpp"

#include <string_view>

namespace Orv
{
// write(CallFrame&) -> bool writes the arguments and returns false at the first failing write,
// which skips the call; read(CallFrame&) -> bool runs only after a successful call, and its
// answer is the result.
template <typename Write, typename Read>
bool InvokeFunction(Reflection& reflection, UObject* target, UFunction* function, Write&& write, Read&& read)
{
    CallFrame frame(reflection, function);
    if (!frame.IsBound() || !write(frame) || !frame.Invoke(target))
    {
        return false;
    }
    return read(frame);
}

// A member function of the target's class, its interfaces or its supers.
template <typename Write, typename Read>
bool InvokeFunction(Reflection& reflection, UObject* target, std::wstring_view functionName, Write&& write, Read&& read)
{
    return InvokeFunction(reflection, target, reflection.LookupFunction(target, functionName), write, read);
}

// The script function at a full path ("/Script/Module.Class:Function"), or null when the path
// names nothing or something other than a function. Library functions are called on their
// class's default object (LookupClassDefault).
UFunction* LookupFunctionByPath(Reflection& reflection, std::wstring_view functionPath);

inline bool NoArguments(CallFrame&) { return true; }
inline bool NoResults(CallFrame&) { return true; }

bool CallWithoutArguments(Reflection& reflection, UObject* target, std::wstring_view functionName);
// "ReturnValue" as a one-byte bool; false when any step fails.
bool CallAndReadBool(Reflection& reflection, UObject* target, std::wstring_view functionName);
// "ReturnValue" as an object pointer; null when any step fails.
UObject* CallAndReadObject(Reflection& reflection, UObject* target, std::wstring_view functionName);
// "ReturnValue" as an engine vector or rotator (three engine reals), widened to 64 bits.
bool CallAndReadVector(Reflection& reflection, UObject* target, std::wstring_view functionName, Vector3d& value);
// The object goes raw into the named parameter; "ReturnValue" is read as an object pointer.
UObject* CallWithObjectAndReadObject(Reflection& reflection, UObject* target, std::wstring_view functionName,
                                  std::wstring_view parameterName, UObject* object);
bool CallWithObject(Reflection& reflection, UObject* target, std::wstring_view functionName,
                    std::wstring_view parameterName, UObject* object);
// The host's own actor accessors. Each calls a script function of the engine like any other
// call, so each runs inside the fault guard: false, with nothing read or done, when the engine
// faulted in it.
// Where a live actor is, in 64-bit reals. A root component attached to nothing holds the
// actor's world location in its own "RelativeLocation" (the engine keeps the two equal), which
// is read without a script call; any other actor is asked with "K2_GetActorLocation".
bool ReadActorLocation(Reflection& reflection, UObject* actor, Vector3d& at);
bool ReadActorYaw(UObject* actor, double& yaw);
bool MoveActorTo(UObject* actor, Vector3d at);
bool DestroyActor(UObject* actor);
} // namespace Orv
