// UWorld: the world objects live in.
#pragma once

#include <Unreal/AActor.hpp>

namespace RC::Unreal
{
class UE4SS_API UWorld : public UObject
{
  public:
    static UClass* StaticClass();
};
} // namespace RC::Unreal
