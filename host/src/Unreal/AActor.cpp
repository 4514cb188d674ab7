// The loader's actor and world wrappers: each call finds the script function on the actor's
// class and runs it through ProcessEvent, as the loader's own wrappers do, converting vectors
// and rotators between the host's doubles and the running engine's layout.
#include "Sim/EngineState.hpp"

#include <Sim/Types.hpp>
#include <Sim/World.hpp>
#include <Unreal/AActor.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/World.hpp>

#include <array>
#include <vector>

namespace RC::Unreal
{
using Sim::Detail::EngineAccess;

namespace
{
// By engine name, so finding a wrapped function allocates nothing; the loader's own name
// probe is not the mod's and leaves the counters alone.
UFunction* FindScriptFunction(const UObject* object, StringViewType name)
{
    auto& counters = Sim::Detail::State().counters;
    const uint64 namesFound = counters.NameFind;
    const FName wanted(name, FNAME_Find);
    counters.NameFind = namesFound;
    if (wanted.IsNone())
    {
        return nullptr;
    }
    for (const UStruct* s = object->GetClassPrivate(); s != nullptr; s = EngineAccess::Super(s))
    {
        for (UField* f = EngineAccess::Children(s); f != nullptr; f = EngineAccess::Next(f))
        {
            if (f->GetClassPrivate()->HasAnyCastFlags(CASTCLASS_UFunction) && f->GetNamePrivate() == wanted)
            {
                return static_cast<UFunction*>(f);
            }
        }
    }
    return nullptr;
}

// One call of the actor's script function with a parameter block built from its parameters,
// on the stack as the loader's wrappers keep it: a call allocates nothing.
class WrapperCall
{
  public:
    WrapperCall(AActor* actor, StringViewType name) : actor_(actor), function_(FindScriptFunction(actor, name))
    {
        if (function_ != nullptr && function_->GetParmsSize() >= parms_.size())
        {
            function_ = nullptr; // no wrapped function has a block this large
        }
        if (function_ != nullptr)
        {
            EngineAccess::InitializeStruct(function_, parms_.data());
        }
    }
    ~WrapperCall()
    {
        if (function_ != nullptr)
        {
            EngineAccess::DestroyStruct(function_, parms_.data());
        }
    }
    WrapperCall(const WrapperCall&) = delete;
    WrapperCall& operator=(const WrapperCall&) = delete;

    bool Found() const { return function_ != nullptr; }
    void* Param(StringViewType name)
    {
        FProperty* property = function_ != nullptr ? Sim::FindPropertyUncounted(function_, name) : nullptr;
        return property != nullptr ? property->ContainerPtrToValuePtr(parms_.data()) : nullptr;
    }
    void SetBool(StringViewType name, bool value)
    {
        if (auto* property = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(function_, name)))
        {
            property->SetPropertyValue(property->ContainerPtrToValuePtr(parms_.data()), value);
        }
    }
    bool GetBool(StringViewType name)
    {
        auto* property = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(function_, name));
        return property != nullptr && property->GetPropertyValue(property->ContainerPtrToValuePtr(parms_.data()));
    }
    void Run()
    {
        if (function_ != nullptr)
        {
            actor_->ProcessEvent(function_, parms_.data());
        }
    }

  private:
    AActor* actor_;
    UFunction* function_;
    alignas(16) std::array<uint8, 1024> parms_{};
};

void CallWithBool(AActor* actor, StringViewType functionName, StringViewType parameter, bool value)
{
    WrapperCall call(actor, functionName);
    if (!call.Found())
    {
        return;
    }
    call.SetBool(parameter, value);
    call.Run();
}

Sim::Placement PlacementOf(const FVector* location, const FRotator* rotation)
{
    Sim::Placement placement;
    if (location != nullptr)
    {
        placement.x = location->X();
        placement.y = location->Y();
        placement.z = location->Z();
    }
    if (rotation != nullptr)
    {
        placement.pitch = rotation->GetPitch();
        placement.yaw = rotation->GetYaw();
        placement.roll = rotation->GetRoll();
    }
    return placement;
}
} // namespace

UClass* AActor::StaticClass() { return Sim::FindClass(L"/Script/Engine.Actor"); }

// As the loader's AActor.cpp has it: no answer for a class default object or an actor whose
// outer is going, else the first outer whose class is named World. The engine's own
// AActor::GetWorld answers the level's owning world instead.
UWorld* AActor::GetWorld()
{
    UObject* outer = GetOuterPrivate();
    if (outer == nullptr || HasAnyFlags(RF_ClassDefaultObject) || outer->HasAnyFlags(RF_BeginDestroyed) ||
        outer->GetObjectItem()->IsUnreachable())
    {
        return nullptr;
    }
    // The loader knows the name from its start (TypeChecker::get_world_name): not a mod's lookup.
    auto& counters = Sim::Detail::State().counters;
    const uint64 namesFound = counters.NameFind;
    const FName worldName(L"World", FNAME_Find);
    counters.NameFind = namesFound;
    for (; outer != nullptr; outer = outer->GetOuterPrivate())
    {
        if (outer->GetClassPrivate()->GetNamePrivate() == worldName)
        {
            return reinterpret_cast<UWorld*>(outer);
        }
    }
    return nullptr;
}
UClass* UWorld::StaticClass() { return Sim::FindClass(L"/Script/Engine.World"); }

FVector AActor::K2_GetActorLocation()
{
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::K2_GetActorLocation);
    WrapperCall call(this, L"K2_GetActorLocation");
    call.Run();
    double x = 0, y = 0, z = 0;
    if (void* value = call.Param(L"ReturnValue"))
    {
        Sim::Detail::ReadVectorValue(value, x, y, z);
    }
    return {x, y, z};
}

FRotator AActor::K2_GetActorRotation()
{
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::K2_GetActorRotation);
    WrapperCall call(this, L"K2_GetActorRotation");
    call.Run();
    double pitch = 0, yaw = 0, roll = 0;
    if (void* value = call.Param(L"ReturnValue"))
    {
        Sim::Detail::ReadRotatorValue(value, pitch, yaw, roll);
    }
    return {pitch, yaw, roll};
}

bool AActor::K2_SetActorLocation(FVector NewLocation, bool bSweep, FHitResult& SweepHitResult, bool bTeleport)
{
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::K2_SetActorLocation);
    WrapperCall call(this, L"K2_SetActorLocation");
    if (!call.Found())
    {
        return false;
    }
    if (void* value = call.Param(L"NewLocation"))
    {
        Sim::Detail::WriteVectorValue(value, NewLocation.X(), NewLocation.Y(), NewLocation.Z());
    }
    call.SetBool(L"bSweep", bSweep);
    call.SetBool(L"bTeleport", bTeleport);
    call.Run();
    SweepHitResult = {};
    return call.GetBool(L"ReturnValue");
}

bool AActor::K2_SetActorRotation(FRotator NewRotation, bool bTeleportPhysics)
{
    WrapperCall call(this, L"K2_SetActorRotation");
    if (!call.Found())
    {
        return false;
    }
    if (void* value = call.Param(L"NewRotation"))
    {
        Sim::Detail::WriteRotatorValue(value, NewRotation.GetPitch(), NewRotation.GetYaw(), NewRotation.GetRoll());
    }
    call.SetBool(L"bTeleportPhysics", bTeleportPhysics);
    call.Run();
    return call.GetBool(L"ReturnValue");
}

void AActor::K2_DestroyActor()
{
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::K2_DestroyActor);
    WrapperCall call(this, L"K2_DestroyActor");
    call.Run();
}

void AActor::SetActorEnableCollision(bool enabled)
{
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::SetActorEnableCollision);
    CallWithBool(this, L"SetActorEnableCollision", L"bNewActorEnableCollision", enabled);
}

void AActor::SetActorTickEnabled(bool enabled)
{
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::SetActorTickEnabled);
    CallWithBool(this, L"SetActorTickEnabled", L"bEnabled", enabled);
}

AActor* UWorld::SpawnActor(UClass* Class, const FVector* Location, const FRotator* Rotation)
{
    // The loader spawns through UGameplayStatics' script functions, engine calls of the game thread.
    Sim::Detail::RequireGameThread();
    return static_cast<AActor*>(Sim::SpawnActor(this, Class, PlacementOf(Location, Rotation)));
}

AActor* UWorld::SpawnActor(UClass* Class, const FTransform* Transform)
{
    if (Transform == nullptr)
    {
        return SpawnActor(Class);
    }
    return SpawnActor(Class, &Transform->GetTranslation(), &Transform->GetRotation());
}
} // namespace RC::Unreal
