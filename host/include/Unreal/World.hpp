// UWorld: the world objects live in, and spawning actors into it.
#pragma once

#include <Unreal/AActor.hpp>

namespace RC::Unreal
{
class UE4SS_API UWorld : public UObject
{
  public:
    static UClass* StaticClass();

    // Null when the class is no actor class or the world refuses (it is being torn down).
    AActor* SpawnActor(UClass* Class, const FVector* Location = nullptr, const FRotator* Rotation = nullptr);
    AActor* SpawnActor(UClass* Class, const FTransform* Transform);
};
} // namespace RC::Unreal
