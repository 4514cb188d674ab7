// The global object array: one item per object slot, holding the object pointer and the
// engine's internal flags (root set, unreachable, pending kill). Slots are reused after an
// object dies, which is why a stale pointer must be checked against its slot's item, and
// why code that keeps object pointers listens for deletions.
#pragma once

#include <Unreal/Common.hpp>

namespace RC::Unreal
{
enum class EInternalObjectFlags : int32
{
    None = 0,
    Native = 1 << 25,
    Unreachable = 1 << 28,
    PendingKill = 1 << 29,
    RootSet = 1 << 30,
};

struct UE4SS_API FUObjectItem
{
    UObject* Object = nullptr;
    int32 Flags = 0;
    int32 ClusterRootIndex = 0;
    // 0 until something asks for a weak reference to the slot's object; 0 again once the
    // slot is freed.
    int32 SerialNumber = 0;

    UObject* GetUObject() const { return Object; }
    int32 GetSerialNumber() const { return SerialNumber; }
    bool HasAnyFlags(EInternalObjectFlags flags) const { return (Flags & static_cast<int32>(flags)) != 0; }
    bool IsUnreachable() const { return HasAnyFlags(EInternalObjectFlags::Unreachable); }
    bool IsPendingKill() const { return HasAnyFlags(EInternalObjectFlags::PendingKill); }
    bool IsRootSet() const { return HasAnyFlags(EInternalObjectFlags::RootSet); }
    void SetRootSet();
    void UnsetRootSet();
    // A slot is valid when it holds an object that is neither unreachable nor, unless the
    // caller says otherwise, pending kill.
    bool IsValid(bool bEvenIfPendingKill) const;
};

// Told of each object as its slot is freed, and of the array's end. Called on the thread
// that frees the object, inside the engine's purge: a listener only forgets pointers, it
// never calls into the engine or reads the object.
class UE4SS_API FUObjectDeleteListener
{
  public:
    virtual ~FUObjectDeleteListener() = default;
    virtual void NotifyUObjectDeleted(const UObjectBase* Object, int32 Index) = 0;
    virtual void OnUObjectArrayShutdown() = 0;
};

class UE4SS_API FUObjectArray
{
  public:
    static FUObjectItem* IndexToObject(int32 index);
    static bool IsValid(FUObjectItem* item, bool bEvenIfPendingKill);
    // The slot's serial number, given one first if it has none yet.
    static int32 AllocateSerialNumber(int32 index);
    static int32 GetObjectArrayNum();

    static void AddUObjectDeleteListener(FUObjectDeleteListener* listener);
    static void RemoveUObjectDeleteListener(FUObjectDeleteListener* listener);
};
} // namespace RC::Unreal
