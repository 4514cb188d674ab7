// The engine object types' methods: object header queries, paths, the object array, class
// and struct accessors (counted, so tests see what a mod asked the host), and ProcessEvent.
#include "Sim/EngineState.hpp"

#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <algorithm>
#include <stdexcept>

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

bool FUObjectArray::IsValid(FUObjectItem* item, bool bEvenIfPendingKill)
{
    return item != nullptr && item->IsValid(bEvenIfPendingKill);
}

int32 FUObjectArray::AllocateSerialNumber(int32 index)
{
    FUObjectItem* item = EngineAccess::Item(index);
    if (item == nullptr)
    {
        return 0;
    }
    if (item->SerialNumber == 0)
    {
        item->SerialNumber = State().nextSerialNumber++;
    }
    return item->SerialNumber;
}

// The loader's UObjectArray::AddUObjectDeleteListener: a listener already in the list is an
// exception, not a second entry.
void FUObjectArray::AddUObjectDeleteListener(FUObjectDeleteListener* listener)
{
    Sim::Detail::RequireGameThread();
    std::lock_guard guard(State().listenerLock);
    auto& listeners = State().deleteListeners;
    if (std::find(listeners.begin(), listeners.end(), listener) != listeners.end())
    {
        throw std::runtime_error{"Cannot add a listener because it already exists in TArray"};
    }
    listeners.push_back(listener);
}

// RemoveSingleSwap: the first entry goes, the last takes its place.
void FUObjectArray::RemoveUObjectDeleteListener(FUObjectDeleteListener* listener)
{
    Sim::Detail::RequireGameThread();
    std::lock_guard guard(State().listenerLock);
    auto& listeners = State().deleteListeners;
    auto found = std::find(listeners.begin(), listeners.end(), listener);
    if (found != listeners.end())
    {
        *found = listeners.back();
        listeners.pop_back();
    }
}

UObjectBase::~UObjectBase() = default;

EObjectFlags& UObjectBase::GetObjectFlags() { return ObjectFlags; }
const EObjectFlags& UObjectBase::GetObjectFlags() const { return ObjectFlags; }

FUObjectItem* UObjectBase::GetObjectItem() { return EngineAccess::Item(InternalIndex); }
const FUObjectItem* UObjectBase::GetObjectItem() const { return EngineAccess::Item(InternalIndex); }

bool UObjectBase::IsA(UClass* cls) const
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
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::ProcessEvent);
    auto guard = Sim::Detail::LockEngine();
    ++State().counters.ProcessEvent;
    Sim::Detail::RequireGameThread();
    if (function == nullptr)
    {
        return;
    }
    if (EngineAccess::SlotOf(this) == nullptr || EngineAccess::SlotOf(function) == nullptr)
    {
        ++State().counters.CallsOnFreedObjects;
        return;
    }
    if (!Sim::Detail::CallFits(this, function, parms))
    {
        return;
    }
    Sim::Detail::RecordCall(this, function, parms);
    EngineAccess::Invoke(this, function, parms);
}

// The engine's GetWorld is virtual: most objects ask their outer, a world is its own, and a
// game instance answers the world its context holds. The override table plays that part; a
// world that has died since is no answer, and neither is an outer chain broken by a freed
// object (a test may free a world while its actors stay).
UWorld* UObject::GetWorld() const
{
    Sim::Detail::ThrowIfAsked(Sim::LoaderCall::GetWorld);
    // The purge thread frees objects under the engine's records while the game thread asks.
    auto guard = Sim::Detail::LockEngine();
    const auto& overrides = State().worldOverrides;
    for (const UObject* o = this; o != nullptr; o = o->GetOuter())
    {
        if (EngineAccess::SlotOf(o) == nullptr)
        {
            return nullptr;
        }
        if (auto found = overrides.find(o); found != overrides.end())
        {
            UObject* world = found->second;
            return EngineAccess::SlotOf(world) != nullptr ? reinterpret_cast<UWorld*>(world) : nullptr;
        }
        if (State().worldClass != nullptr && o->IsA(State().worldClass))
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

namespace
{
// The super struct GetSuperStruct last handed out on this thread, until another walk begins:
// a property walk that goes on into it is the same walk.
thread_local const UStruct* superHandedOut = nullptr;
} // namespace

UStruct* UStruct::GetSuperStruct() const
{
    ++State().counters.GetSuperStruct;
    superHandedOut = SuperStruct;
    return SuperStruct;
}

UField* UStruct::GetChildren() const
{
    ++State().counters.GetChildren;
    superHandedOut = nullptr;
    return Children;
}

FField* UStruct::GetChildProperties() const
{
    if (this != superHandedOut)
    {
        ++State().counters.PropertyWalks;
    }
    superHandedOut = nullptr;
    return ChildProperties;
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

namespace
{
FProperty* FindPropertyInChain(const UStruct* start, FName name)
{
    ++State().counters.FindProperty;
    if (name.IsNone())
    {
        return nullptr;
    }
    for (const UStruct* s = start; s != nullptr; s = EngineAccess::Super(s))
    {
        for (FField* f = EngineAccess::ChildProperties(s); f != nullptr; f = EngineAccess::NextField(f))
        {
            if (f->GetFName() == name)
            {
                return static_cast<FProperty*>(f);
            }
        }
    }
    return nullptr;
}
} // namespace

// UStruct::FindProperty (the loader's UStruct.cpp): a static cache of hits by the struct's
// address and the name, consulted before the struct itself and never cleared.
FProperty* UStruct::FindProperty(FName name)
{
    auto& cache = State().loader.foundProperties;
    const Sim::Detail::LoaderStatics::PropertyKey key{this, name.GetComparisonIndex(), name.GetNumber()};
    if (auto found = cache.find(key); found != cache.end())
    {
        ++State().counters.FindProperty;
        return found->second;
    }
    FProperty* property = FindPropertyInChain(this, name);
    if (property != nullptr)
    {
        cache.emplace(key, property);
    }
    return property;
}

FProperty* UStruct::CustomFindProperty(FName name) const { return FindPropertyInChain(this, name); }

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
    auto guard = Sim::Detail::LockEngine();
    ++State().counters.RegisterHook;
    Sim::Detail::RequireGameThread();
    if (state == nullptr || !callable)
    {
        return -1;
    }
    if (state->refuseHooks)
    {
        return state->refusalAnswer;
    }
    CallbackId id = state->nextHookId++;
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
    auto guard = Sim::Detail::LockEngine();
    ++Sim::Detail::State().counters.UnregisterHook;
    Sim::Detail::RequireGameThread();
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
