// The global object array: one item per object slot, holding the object pointer and the
// engine's internal flags (root set, unreachable, pending kill). Slots are reused after an
// object dies, which is why a stale pointer must be checked against its slot's item.
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
    int32 SerialNumber = 0;

    UObject* GetUObject() const { return Object; }
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

class UE4SS_API FUObjectArray
{
  public:
    static FUObjectItem* IndexToObject(int32 index);
    static int32 GetObjectArrayNum();
};
} // namespace RC::Unreal
