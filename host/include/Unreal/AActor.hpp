// AActor as the loader wraps it: native helpers that call the engine's script functions of
// the same names on the actor, converting vectors and rotators between the host's doubles and
// the engine's layout.
#pragma once

#include <Unreal/Rotator.hpp>
#include <Unreal/UObject.hpp>
#include <Unreal/UnrealCoreStructs.hpp>

namespace RC::Unreal
{
// Why an actor ends play, as the engine's EEndPlayReason numbers it.
enum class EEndPlayReason
{
    Destroyed,
    LevelTransition,
    EndPlayInEditor,
    RemovedFromWorld,
    Quit,
};

// What a sweeping move ran into. The loader keeps it opaque; the engine fills it.
struct UE4SS_API FHitResult
{
    bool bBlockingHit = false;
    FVector Location;
    FVector ImpactPoint;
    UObject* HitActor = nullptr;
};

class UE4SS_API AActor : public UObject
{
  public:
    static UClass* StaticClass();

    // The loader's own answer, not the engine's virtual UObject::GetWorld: the first world
    // among the actor's outers. For an actor of a streamed level that is the level's own
    // world, not the world that owns the level.
    UWorld* GetWorld();
    FVector K2_GetActorLocation();
    FRotator K2_GetActorRotation();
    bool K2_SetActorLocation(FVector NewLocation, bool bSweep, FHitResult& SweepHitResult, bool bTeleport);
    bool K2_SetActorRotation(FRotator NewRotation, bool bTeleportPhysics);
    // Runs the actor's "K2_DestroyActor"; the actor ends play and is gone by the next collection.
    void K2_DestroyActor();
    void SetActorEnableCollision(bool enabled);
    void SetActorTickEnabled(bool enabled);
};
} // namespace RC::Unreal
