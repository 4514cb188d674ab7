// The loader's actor and world wrappers: each call finds the script function on the actor's
// class and runs it through ProcessEvent, as the loader's own wrappers do.
#include "Sim/EngineState.hpp"

#include <Sim/Types.hpp>
#include <Unreal/AActor.hpp>
#include <Unreal/UClass.hpp>
#include <Unreal/UFunction.hpp>
#include <Unreal/World.hpp>

#include <cstring>
#include <vector>

namespace RC::Unreal
{
using Sim::Detail::EngineAccess;

namespace
{
UFunction* FindScriptFunction(const UObject* object, StringViewType name)
{
    for (const UStruct* s = object->GetClassPrivate(); s != nullptr; s = EngineAccess::Super(s))
    {
        for (UField* f = EngineAccess::Children(s); f != nullptr; f = EngineAccess::Next(f))
        {
            if (f->GetClassPrivate()->HasAnyCastFlags(CASTCLASS_UFunction) && f->GetName() == name)
            {
                return static_cast<UFunction*>(f);
            }
        }
    }
    return nullptr;
}

void CallWithBool(AActor* actor, StringViewType functionName, StringViewType parameter, bool value)
{
    UFunction* function = FindScriptFunction(actor, functionName);
    if (function == nullptr)
    {
        return;
    }
    std::vector<uint8> parms(function->GetParmsSize() + 1u, 0);
    if (auto* property = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(function, parameter)))
    {
        property->SetPropertyValue(property->ContainerPtrToValuePtr(parms.data()), value);
    }
    actor->ProcessEvent(function, parms.data());
}
} // namespace

UClass* AActor::StaticClass() { return Sim::FindClass(L"/Script/Engine.Actor"); }
UClass* UWorld::StaticClass() { return Sim::FindClass(L"/Script/Engine.World"); }

void AActor::K2_DestroyActor()
{
    if (UFunction* function = FindScriptFunction(this, L"K2_DestroyActor"))
    {
        std::vector<uint8> parms(function->GetParmsSize() + 1u, 0);
        ProcessEvent(function, parms.data());
    }
}

void AActor::SetActorEnableCollision(bool enabled) { CallWithBool(this, L"SetActorEnableCollision", L"bNewActorEnableCollision", enabled); }
void AActor::SetActorTickEnabled(bool enabled) { CallWithBool(this, L"SetActorTickEnabled", L"bEnabled", enabled); }
} // namespace RC::Unreal
