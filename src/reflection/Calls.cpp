// The call-and-read helpers: complete reflective calls that read one result.
#include "reflection/Calls.hpp"

#include "reflection/FaultGuard.hpp"
#include "reflection/PropertyAccess.hpp"

#include <type_traits>

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

namespace
{
// The body runs inside the guard; what it writes is kept only when it ran to its end.
template <typename Body> bool Contained(Body&& body)
{
    return RunContained([](void* context) { (*static_cast<std::remove_reference_t<Body>*>(context))(); }, &body);
}

void* MemberOf(UObject* object, FProperty* property)
{
    return reinterpret_cast<std::uint8_t*>(object) + property->GetOffset_Internal();
}

// The unattached root's "RelativeLocation", or null when the root is attached, gone, or laid
// out otherwise than as three engine reals.
const void* UnattachedRootLocation(Reflection& reflection, UObject* actor)
{
    FProperty* rootProperty = reflection.LookupProperty(actor, L"RootComponent");
    if (rootProperty == nullptr)
    {
        return nullptr;
    }
    UObject* root = ReadObjectProperty(rootProperty, MemberOf(actor, rootProperty));
    if (!IsLive(root, false))
    {
        return nullptr;
    }
    FProperty* parentProperty = reflection.LookupProperty(root, L"AttachParent");
    FProperty* location = reflection.LookupProperty(root, L"RelativeLocation");
    const PropertyClass parentClass = PropertyClassOf(parentProperty);
    if ((parentClass != PropertyClass::Object && parentClass != PropertyClass::ObjectPtr) ||
        PropertyClassOf(location) != PropertyClass::Struct ||
        static_cast<std::size_t>(location->GetElementSize()) != 3 * EngineRealSize())
    {
        return nullptr;
    }
    if (ReadObjectProperty(parentProperty, MemberOf(root, parentProperty)) != nullptr)
    {
        return nullptr;
    }
    return MemberOf(root, location);
}
} // namespace

bool ReadActorLocation(Reflection& reflection, UObject* actor, Vector3d& at)
{
    if (const void* reals = UnattachedRootLocation(reflection, actor))
    {
        at = Vector3FromEngine(reals);
        return true;
    }
    RC::Unreal::FVector read;
    if (!Contained([&] { read = static_cast<AActor*>(actor)->K2_GetActorLocation(); }))
    {
        return false;
    }
    at = {read.X(), read.Y(), read.Z()};
    return true;
}

bool ReadActorYaw(UObject* actor, double& yaw)
{
    double read = 0.0;
    if (!Contained([&] { read = static_cast<AActor*>(actor)->K2_GetActorRotation().GetYaw(); }))
    {
        return false;
    }
    yaw = read;
    return true;
}

bool MoveActorTo(UObject* actor, Vector3d at)
{
    return Contained([&] {
        RC::Unreal::FHitResult ignored;
        static_cast<AActor*>(actor)->K2_SetActorLocation(RC::Unreal::FVector(at.x, at.y, at.z), false, ignored, true);
    });
}

bool DestroyActor(UObject* actor)
{
    return Contained([&] { static_cast<AActor*>(actor)->K2_DestroyActor(); });
}
} // namespace Orv
