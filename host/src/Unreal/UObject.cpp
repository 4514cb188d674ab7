// The engine object types' methods: object header queries, paths, the object array, class
// and struct accessors (counted, so tests see what a mod asked the host), and ProcessEvent.
#include "Sim/EngineState.hpp"

#include <Unreal/UClass.hpp>
#include <Unreal/UFunction.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <fmt/format.h>
#include <fmt/xchar.h>

namespace RC::Unreal
{
using Sim::Detail::EngineAccess;
using Sim::Detail::State;

namespace Version
{
int32 Major = 5;
int32 Minor = 1;
} // namespace Version

void ThrowArrayInvariantFailure() { throw std::runtime_error("Array failed invariants check, ArrayNum exceeds ArrayMax."); }

void ThrowArrayIndexOutOfBounds(int32 index, int32 count)
{
    throw std::runtime_error(fmt::format("Array index out of bounds: {} from an array of size {}", index, count));
}

void FUObjectItem::SetRootSet() { Flags |= static_cast<int32>(EInternalObjectFlags::RootSet); }
void FUObjectItem::UnsetRootSet() { Flags &= ~static_cast<int32>(EInternalObjectFlags::RootSet); }

bool FUObjectItem::IsValid(bool bEvenIfPendingKill) const
{
    return Object != nullptr && !IsUnreachable() && (bEvenIfPendingKill || !IsPendingKill());
}

FUObjectItem* FUObjectArray::IndexToObject(int32 index) { return EngineAccess::Item(index); }
int32 FUObjectArray::GetObjectArrayNum() { return State().numItems; }

UObjectBase::~UObjectBase() = default;

FUObjectItem* UObjectBase::GetObjectItem() const { return EngineAccess::Item(InternalIndex); }

bool UObjectBase::IsA(const UClass* cls) const
{
    for (const UStruct* s = ClassPrivate; s != nullptr; s = EngineAccess::Super(s))
    {
        if (s == cls)
        {
            return true;
        }
    }
    return false;
}

UClass* UObject::StaticClass() { return State().objectClass; }

void UObject::ProcessEvent(UFunction* function, void* parms)
{
    ++State().counters.ProcessEvent;
    if (function == nullptr)
    {
        return;
    }
    EngineAccess::Invoke(this, function, parms);
}

// The engine's GetWorld is virtual: most objects ask their outer, a world is its own, and a
// game instance answers the world its context holds. The override table plays that part; a
// world that has died since is no answer.
UWorld* UObject::GetWorld() const
{
    const auto& overrides = State().worldOverrides;
    for (const UObject* o = this; o != nullptr; o = o->GetOuter())
    {
        if (auto found = overrides.find(o); found != overrides.end())
        {
            UObject* world = found->second;
            auto* item = world != nullptr ? world->GetObjectItem() : nullptr;
            return item != nullptr && item->Object == world ? reinterpret_cast<UWorld*>(world) : nullptr;
        }
        if (o->GetClassPrivate() != nullptr && o->GetClassPrivate()->HasAnyCastFlags(CASTCLASS_UWorld))
        {
            return reinterpret_cast<UWorld*>(const_cast<UObject*>(o));
        }
    }
    return nullptr;
}

StringType UObject::GetName() const { return NamePrivate.ToString(); }

StringType UObject::GetPathName() const
{
    if (OuterPrivate == nullptr)
    {
        return GetName();
    }
    // A subobject of a top-level object is joined with ':', everything else with '.'.
    const UObject* outer = OuterPrivate;
    bool outerIsPackage = outer->GetClassPrivate()->HasAnyCastFlags(CASTCLASS_UPackage);
    bool outersOuterIsPackage = outer->GetOuter() != nullptr &&
                                outer->GetOuter()->GetClassPrivate()->HasAnyCastFlags(CASTCLASS_UPackage);
    wchar_t delimiter = !outerIsPackage && outersOuterIsPackage ? L':' : L'.';
    return outer->GetPathName() + delimiter + GetName();
}

StringType UObject::GetFullName() const
{
    return (ClassPrivate != nullptr ? ClassPrivate->GetName() : StringType(L"None")) + L" " + GetPathName();
}

UClass* UField::StaticClass() { return State().fieldClass; }

UField* UField::GetNext() const
{
    ++State().counters.GetNext;
    return Next;
}

UClass* UStruct::StaticClass() { return State().structClass; }

UStruct* UStruct::GetSuperStruct() const
{
    ++State().counters.GetSuperStruct;
    return SuperStruct;
}

UField* UStruct::GetChildren() const
{
    ++State().counters.GetChildren;
    return Children;
}

bool UStruct::IsChildOf(const UStruct* other) const
{
    for (const UStruct* s = this; s != nullptr; s = s->SuperStruct)
    {
        if (s == other)
        {
            return true;
        }
    }
    return false;
}

FProperty* UStruct::FindProperty(FName name) const
{
    ++State().counters.FindProperty;
    if (name.IsNone())
    {
        return nullptr;
    }
    for (const UStruct* s = this; s != nullptr; s = s->SuperStruct)
    {
        for (FField* f = s->ChildProperties; f != nullptr; f = f->GetNext())
        {
            if (f->GetFName() == name)
            {
                return static_cast<FProperty*>(f);
            }
        }
    }
    return nullptr;
}

UClass* UScriptStruct::StaticClass() { return State().scriptStructClass; }
UClass* UClass::StaticClass() { return State().classClass; }
UClass* UPackage::StaticClass() { return State().packageClass; }
UClass* UEnum::StaticClass() { return State().enumClass; }
UClass* UFunction::StaticClass() { return Sim::Detail::State().functionClass; }

bool UClass::HasAllCastFlags(EClassCastFlags flags) const { return (ClassCastFlags & flags) == flags; }
bool UClass::HasAnyCastFlags(EClassCastFlags flags) const { return (ClassCastFlags & flags) != 0; }

TArray<FImplementedInterface>& UClass::GetInterfaces()
{
    ++State().counters.GetInterfaces;
    return Interfaces;
}

UClass* UClass::GetSuperClass() const { return static_cast<UClass*>(SuperStruct); }

FName UEnum::GetNameByValue(int64 value) const
{
    for (const auto& entry : Names)
    {
        if (entry.Value == value)
        {
            return entry.Name;
        }
    }
    return NAME_None;
}

namespace
{
CallbackId RegisterHook(Sim::Detail::FunctionState* state, const UnrealScriptFunctionCallable& callable, void* data,
                        bool pre)
{
    ++State().counters.RegisterHook;
    if (state == nullptr || state->refuseHooks || !callable)
    {
        return -1;
    }
    CallbackId id = State().nextHookId++;
    state->hooks.push_back({id, callable, data, pre});
    return id;
}
} // namespace

CallbackId UFunction::RegisterPreHook(const UnrealScriptFunctionCallable& callable, void* customData)
{
    return RegisterHook(State, callable, customData, true);
}

CallbackId UFunction::RegisterPostHook(const UnrealScriptFunctionCallable& callable, void* customData)
{
    return RegisterHook(State, callable, customData, false);
}

bool UFunction::UnregisterHook(CallbackId id)
{
    ++Sim::Detail::State().counters.UnregisterHook;
    if (State == nullptr)
    {
        return false;
    }
    auto& hooks = State->hooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it)
    {
        if (it->id == id)
        {
            hooks.erase(it);
            return true;
        }
    }
    return false;
}
} // namespace RC::Unreal
