// Fields and structs: the function chain (Children), the property chain (ChildProperties),
// the super struct and the struct's size.
#pragma once

#include <Unreal/UObject.hpp>

namespace RC::Unreal
{
class UE4SS_API UField : public UObject
{
  public:
    static UClass* StaticClass();
    UField* GetNext() const;

  protected:
    UField* Next = nullptr;

    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API UStruct : public UField
{
  public:
    static UClass* StaticClass();

    UStruct* GetSuperStruct() const;
    UField* GetChildren() const;
    FField* GetChildProperties() const { return ChildProperties; }
    int32 GetPropertiesSize() const { return PropertiesSize; }
    int32 GetMinAlignment() const { return MinAlignment; }
    bool IsChildOf(const UStruct* other) const;
    // Searches this struct's properties, then its super structs'.
    FProperty* FindProperty(FName name) const;

  protected:
    UStruct* SuperStruct = nullptr;
    UField* Children = nullptr;
    FField* ChildProperties = nullptr;
    int32 PropertiesSize = 0;
    int32 MinAlignment = 1;

    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API UScriptStruct : public UStruct
{
  public:
    static UClass* StaticClass();
};
} // namespace RC::Unreal
