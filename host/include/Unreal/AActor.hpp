// AActor as the loader wraps it: native helpers that call the engine's script functions of
// the same names on the actor.
#pragma once

#include <Unreal/UObject.hpp>

namespace RC::Unreal
{
class UE4SS_API AActor : public UObject
{
  public:
    static UClass* StaticClass();

    UWorld* GetWorld() const { return UObject::GetWorld(); }
    // Runs the actor's "K2_DestroyActor"; the actor ends play and is gone by the next collection.
    void K2_DestroyActor();
    void SetActorEnableCollision(bool enabled);
    void SetActorTickEnabled(bool enabled);
};
} // namespace RC::Unreal
