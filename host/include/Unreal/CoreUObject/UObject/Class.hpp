// The reflection objects: fields, structs (the function chain, the property chain, the super
// struct and the struct's size), classes with their cast flags, default object and interfaces,
// enums, packages, and script functions with their parameter block and the loader's hooks.
#pragma once

#include <Unreal/FField.hpp>
#include <Unreal/TArray.hpp>
#include <Unreal/UFunctionStructs.hpp>
#include <Unreal/UObject.hpp>

namespace Sim::Detail
{
struct FunctionState;
} // namespace Sim::Detail

namespace RC::Unreal
{
// The engine's class cast flags, with the engine's values. A class carries the flag of every
// native type it is or derives from.
enum EClassCastFlags : uint64
{
    CASTCLASS_None = 0x0000000000000000,
    CASTCLASS_UField = 0x0000000000000001,
    CASTCLASS_FInt8Property = 0x0000000000000002,
    CASTCLASS_UEnum = 0x0000000000000004,
    CASTCLASS_UStruct = 0x0000000000000008,
    CASTCLASS_UScriptStruct = 0x0000000000000010,
    CASTCLASS_UClass = 0x0000000000000020,
    CASTCLASS_FByteProperty = 0x0000000000000040,
    CASTCLASS_FIntProperty = 0x0000000000000080,
    CASTCLASS_FFloatProperty = 0x0000000000000100,
    CASTCLASS_FUInt64Property = 0x0000000000000200,
    CASTCLASS_FClassProperty = 0x0000000000000400,
    CASTCLASS_FUInt32Property = 0x0000000000000800,
    CASTCLASS_FInterfaceProperty = 0x0000000000001000,
    CASTCLASS_FNameProperty = 0x0000000000002000,
    CASTCLASS_FStrProperty = 0x0000000000004000,
    CASTCLASS_FProperty = 0x0000000000008000,
    CASTCLASS_FObjectProperty = 0x0000000000010000,
    CASTCLASS_FBoolProperty = 0x0000000000020000,
    CASTCLASS_FUInt16Property = 0x0000000000040000,
    CASTCLASS_UFunction = 0x0000000000080000,
    CASTCLASS_FStructProperty = 0x0000000000100000,
    CASTCLASS_FArrayProperty = 0x0000000000200000,
    CASTCLASS_FInt64Property = 0x0000000000400000,
    CASTCLASS_FDelegateProperty = 0x0000000000800000,
    CASTCLASS_FNumericProperty = 0x0000000001000000,
    CASTCLASS_FMulticastDelegateProperty = 0x0000000002000000,
    CASTCLASS_FObjectPropertyBase = 0x0000000004000000,
    CASTCLASS_FWeakObjectProperty = 0x0000000008000000,
    CASTCLASS_FLazyObjectProperty = 0x0000000010000000,
    CASTCLASS_FSoftObjectProperty = 0x0000000020000000,
    CASTCLASS_FTextProperty = 0x0000000040000000,
    CASTCLASS_FInt16Property = 0x0000000080000000,
    CASTCLASS_FDoubleProperty = 0x0000000100000000,
    CASTCLASS_FSoftClassProperty = 0x0000000200000000,
    CASTCLASS_UPackage = 0x0000000400000000,
    CASTCLASS_ULevel = 0x0000000800000000,
    CASTCLASS_AActor = 0x0000001000000000,
    CASTCLASS_APlayerController = 0x0000002000000000,
    CASTCLASS_APawn = 0x0000004000000000,
    CASTCLASS_USceneComponent = 0x0000008000000000,
    CASTCLASS_UPrimitiveComponent = 0x0000010000000000,
    CASTCLASS_USkinnedMeshComponent = 0x0000020000000000,
    CASTCLASS_USkeletalMeshComponent = 0x0000040000000000,
    CASTCLASS_UBlueprint = 0x0000080000000000,
    CASTCLASS_UDelegateFunction = 0x0000100000000000,
    CASTCLASS_UStaticMeshComponent = 0x0000200000000000,
    CASTCLASS_FMapProperty = 0x0000400000000000,
    CASTCLASS_FSetProperty = 0x0000800000000000,
    CASTCLASS_FEnumProperty = 0x0001000000000000,
    CASTCLASS_USparseDelegateFunction = 0x0002000000000000,
    CASTCLASS_FMulticastInlineDelegateProperty = 0x0004000000000000,
    CASTCLASS_FMulticastSparseDelegateProperty = 0x0008000000000000,
    CASTCLASS_FFieldPathProperty = 0x0010000000000000,
    CASTCLASS_FObjectPtrProperty = 0x0020000000000000,
    CASTCLASS_FClassPtrProperty = 0x0040000000000000,
    CASTCLASS_FLargeWorldCoordinatesRealProperty = 0x0080000000000000,
};

inline EClassCastFlags operator|(EClassCastFlags a, EClassCastFlags b)
{
    return static_cast<EClassCastFlags>(static_cast<uint64>(a) | static_cast<uint64>(b));
}

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
    // The first of the struct's own properties; the chain goes on with GetNextFieldAsProperty.
    FField* GetChildProperties() const;
    int32 GetPropertiesSize() const { return PropertiesSize; }
    int32 GetMinAlignment() const { return MinAlignment; }
    bool IsChildOf(const UStruct* other) const;
    // Searches this struct's properties, then its super structs'. The loader remembers each
    // hit by the struct's address and the name for the rest of the process, so a struct made
    // later at a freed one's address is answered with the freed one's property.
    FProperty* FindProperty(FName name);
    // The same search through the engine's own virtual lookup, for a const struct.
    FProperty* CustomFindProperty(FName name) const;

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

enum EFunctionFlags : uint32
{
    FUNC_None = 0,
    FUNC_Final = 0x1,
    FUNC_Native = 0x400,
    FUNC_Event = 0x800,
    FUNC_Static = 0x2000,
    FUNC_Public = 0x20000,
    FUNC_BlueprintCallable = 0x4000000,
    FUNC_BlueprintEvent = 0x8000000,
};

// A script function with its parameter block size, its body (native code or blueprint script)
// and the loader's pre- and post-hooks.
class UE4SS_API UFunction : public UStruct
{
  public:
    static UClass* StaticClass();

    uint16 GetParmsSize() const { return ParmsSize; }
    uint8 GetNumParms() const { return NumParms; }
    uint16 GetReturnValueOffset() const { return ReturnValueOffset; }
    uint32 GetFunctionFlags() const { return FunctionFlags; }
    // Not const, as the loader declares them.
    bool HasAnyFunctionFlags(EFunctionFlags flags) { return (GetFunctionFlags() & flags) != 0; }
    bool HasAllFunctionFlags(EFunctionFlags flags) { return (GetFunctionFlags() & flags) == flags; }

    // Ids above 0 are registrations, counted from 1 for each function; anything else means
    // the loader refused the hook.
    CallbackId RegisterPreHook(const UnrealScriptFunctionCallable& callable, void* customData = nullptr);
    CallbackId RegisterPostHook(const UnrealScriptFunctionCallable& callable, void* customData = nullptr);
    bool UnregisterHook(CallbackId id);

  protected:
    uint32 FunctionFlags = FUNC_None;
    uint8 NumParms = 0;
    uint16 ParmsSize = 0;
    uint16 ReturnValueOffset = 0xFFFF;
    Sim::Detail::FunctionState* State = nullptr;

    friend struct ::Sim::Detail::EngineAccess;
};
} // namespace RC::Unreal
