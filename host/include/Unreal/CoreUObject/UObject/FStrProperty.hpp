// The engine's string property: a value that owns heap memory, so constructing, copying and
// destroying it allocates and frees.
#pragma once

#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

namespace RC::Unreal
{
class UE4SS_API FStrProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();

    void InitializeValueInternal(void* dest) const override;
    void CopyValuesInternal(void* dest, const void* src, int32 count) const override;
    void DestroyValueInternal(void* dest) const override;
};
} // namespace RC::Unreal
