// The call-and-read helpers: complete reflective calls that read one result.
#include "reflection/Calls.hpp"

namespace Orv
{
UFunction* LookupFunctionByPath(Reflection& reflection, std::wstring_view functionPath)
{
    UObject* found = reflection.LookupObject(functionPath);
    if (found == nullptr || !found->IsA(UFunction::StaticClass()))
    {
        return nullptr;
    }
    return static_cast<UFunction*>(found);
}

bool CallWithoutArguments(Reflection& reflection, UObject* target, std::wstring_view functionName)
{
    return InvokeFunction(reflection, target, functionName, NoArguments, NoResults);
}

bool CallAndReadBool(Reflection& reflection, UObject* target, std::wstring_view functionName)
{
    std::uint8_t value = 0;
    bool read = InvokeFunction(reflection, target, functionName, NoArguments,
                               [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &value, sizeof(value)); });
    return read && value != 0;
}

UObject* CallAndReadObject(Reflection& reflection, UObject* target, std::wstring_view functionName)
{
    UObject* value = nullptr;
    InvokeFunction(reflection, target, functionName, NoArguments,
                   [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &value, sizeof(value)); });
    return value;
}

bool CallAndReadVector(Reflection& reflection, UObject* target, std::wstring_view functionName, Vector3d& value)
{
    // Three engine reals: 12 bytes below engine 5.0, 24 from 5.0 on.
    EngineReals reals{};
    reals.size = 3 * EngineRealSize();
    bool read = InvokeFunction(reflection, target, functionName, NoArguments,
                               [&](CallFrame& frame) { return frame.Read(L"ReturnValue", reals.bytes, reals.size); });
    if (read)
    {
        value = Vector3FromEngine(reals.bytes);
    }
    return read;
}

UObject* CallWithObjectAndReadObject(Reflection& reflection, UObject* target, std::wstring_view functionName,
                                  std::wstring_view parameterName, UObject* object)
{
    UObject* value = nullptr;
    InvokeFunction(
        reflection, target, functionName,
        [&](CallFrame& frame) { return frame.WriteRaw(parameterName, &object, sizeof(object)); },
        [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &value, sizeof(value)); });
    return value;
}

bool CallWithObject(Reflection& reflection, UObject* target, std::wstring_view functionName,
                    std::wstring_view parameterName, UObject* object)
{
    return InvokeFunction(
        reflection, target, functionName,
        [&](CallFrame& frame) { return frame.WriteRaw(parameterName, &object, sizeof(object)); }, NoResults);
}

Vector3d ActorLocation(UObject* actor)
{
    RC::Unreal::FVector at = static_cast<AActor*>(actor)->K2_GetActorLocation();
    return {at.X(), at.Y(), at.Z()};
}
} // namespace Orv
