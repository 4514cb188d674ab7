// FEnumProperty: an enumeration stored in a numeric property of its own. The loader declares it
// here alone, not with the other property types, so code that names it includes this header.
#pragma once

#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

namespace RC::Unreal
{
class UEnum;

class UE4SS_API FEnumProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();
    FNumericProperty* GetUnderlyingProperty() { return UnderlyingProp; }
    UEnum* GetEnum() const { return Enum; }

  protected:
    FNumericProperty* UnderlyingProp = nullptr;
    UEnum* Enum = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};
} // namespace RC::Unreal
