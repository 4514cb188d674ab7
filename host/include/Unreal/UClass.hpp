// UClass: cast flags, the class default object and the implemented interfaces.
#pragma once

#include <Unreal/TArray.hpp>
#include <Unreal/UStruct.hpp>

namespace RC::Unreal
{
enum EClassCastFlags : uint64
{
    CASTCLASS_None = 0,
    CASTCLASS_UField = 0x1,
    CASTCLASS_UEnum = 0x4,
    CASTCLASS_UStruct = 0x8,
    CASTCLASS_UScriptStruct = 0x10,
    CASTCLASS_UClass = 0x20,
    CASTCLASS_UPackage = 0x400,
    CASTCLASS_UFunction = 0x80000,
    CASTCLASS_UWorld = 0x10000000,
    CASTCLASS_AActor = 0x2000000000,
};

inline EClassCastFlags operator|(EClassCastFlags a, EClassCastFlags b)
{
    return static_cast<EClassCastFlags>(static_cast<uint64>(a) | static_cast<uint64>(b));
}

struct FImplementedInterface
{
    UClass* Class = nullptr;
    int32 PointerOffset = 0;
    bool bImplementedByK2 = false;
};

class UE4SS_API UClass : public UStruct
{
  public:
    static UClass* StaticClass();

    bool HasAllCastFlags(EClassCastFlags flags) const;
    bool HasAnyCastFlags(EClassCastFlags flags) const;
    UObject* GetClassDefaultObject() const { return ClassDefaultObject; }
    TArray<FImplementedInterface>& GetInterfaces();
    UClass* GetSuperClass() const;

  protected:
    EClassCastFlags ClassCastFlags = CASTCLASS_None;
    UObject* ClassDefaultObject = nullptr;
    TArray<FImplementedInterface> Interfaces;

    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API UPackage : public UObject
{
  public:
    static UClass* StaticClass();
};

class UE4SS_API UEnum : public UField
{
  public:
    static UClass* StaticClass();
    // NAME_None for a value the enum does not list.
    FName GetNameByValue(int64 value) const;

  protected:
    struct NameValue
    {
        FName Name;
        int64 Value;
    };
    TArray<NameValue> Names;

    friend struct ::Sim::Detail::EngineAccess;
};
} // namespace RC::Unreal
