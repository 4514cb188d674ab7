// UObjectBase and UObject: the engine object header (flags, slot index, class, name, outer)
// and the calls a mod makes on any object.
#pragma once

#include <Unreal/NameTypes.hpp>

namespace RC::Unreal
{
enum EObjectFlags : int32
{
    RF_NoFlags = 0,
    RF_Public = 0x1,
    RF_Standalone = 0x2,
    RF_MarkAsNative = 0x4,
    RF_Transactional = 0x8,
    RF_ClassDefaultObject = 0x10,
    RF_ArchetypeObject = 0x20,
    RF_Transient = 0x40,
    RF_BeginDestroyed = 0x8000,
    RF_FinishDestroyed = 0x10000,
};

inline EObjectFlags operator|(EObjectFlags a, EObjectFlags b)
{
    return static_cast<EObjectFlags>(static_cast<int32>(a) | static_cast<int32>(b));
}

class UE4SS_API UObjectBase
{
  public:
    UObjectBase() = default;
    UObjectBase(const UObjectBase&) = delete;
    UObjectBase& operator=(const UObjectBase&) = delete;
    virtual ~UObjectBase();

    // The const forms hand out const pointers, as the loader declares them.
    UClass*& GetClassPrivate() { return ClassPrivate; }
    const UClass*& GetClassPrivate() const { return const_cast<const UClass*&>(ClassPrivate); }
    FName GetNamePrivate() const { return NamePrivate; }
    UObject* GetOuterPrivate() const { return OuterPrivate; }
    // The loader's generated member accessors, exported by its library.
    EObjectFlags& GetObjectFlags();
    const EObjectFlags& GetObjectFlags() const;
    int32 GetInternalIndex() const { return InternalIndex; }
    FUObjectItem* GetObjectItem();
    const FUObjectItem* GetObjectItem() const;
    bool IsA(UClass* cls) const;
    template <typename T> bool IsA() const { return IsA(T::StaticClass()); }

  protected:
    EObjectFlags ObjectFlags = RF_NoFlags;
    int32 InternalIndex = -1;
    UClass* ClassPrivate = nullptr;
    FName NamePrivate;
    UObject* OuterPrivate = nullptr;

    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API UObject : public UObjectBase
{
  public:
    static UClass* StaticClass();

    // Runs a script function on this object with a parameter block laid out by the
    // function's parameter properties. Hooks registered on the function fire around it.
    void ProcessEvent(UFunction* function, void* parms);

    // Not const, as the engine declares it. The loader's is inline and reads a table its
    // library does not export: a mod that calls it may not link against the real loader.
    bool HasAnyFlags(EObjectFlags flags) { return (ObjectFlags & flags) != 0; }
    UWorld* GetWorld() const;
    UObject* GetOuter() const { return OuterPrivate; }
    StringType GetName() const;
    StringType GetPathName() const;
    StringType GetFullName() const;
};
} // namespace RC::Unreal
