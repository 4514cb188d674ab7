// Finding and constructing objects, and the engine tick callbacks.
#include "Sim/Detours.hpp"
#include "Sim/EngineState.hpp"

#include <Unreal/Hooks/Hooks.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <algorithm>

namespace RC::Unreal
{
using Sim::Detail::EngineAccess;
using Sim::Detail::State;

namespace UObjectGlobals
{
// As the loader's own search does, every lookup walks the whole object array, found or not, so
// a lookup made every frame costs what it costs in a large game; paths compare without regard
// to case, as the engine's names do.
UObject* FindObject(UClass* cls, UObject* outer, const CharType* name, bool exactClass, ObjectSearcher*)
{
    auto guard = Sim::Detail::LockEngine();
    auto& s = State();
    ++s.counters.FindObject;
    if (name == nullptr)
    {
        return nullptr;
    }
    const std::wstring wanted = Sim::Detail::FoldCase(name);
    UObject* match = nullptr;
    s.counters.ObjectsWalked += static_cast<uint64>(s.numItems);
    for (int32 index = 0; index < s.numItems; ++index)
    {
        auto* item = EngineAccess::Item(index);
        if (match != nullptr || item->Object == nullptr || item->IsUnreachable() ||
            s.foldedPaths[static_cast<std::size_t>(index)] != wanted)
        {
            continue;
        }
        UObject* object = item->Object;
        if (outer != nullptr && object->GetOuter() != outer)
        {
            continue;
        }
        if (cls != nullptr && (exactClass ? object->GetClassPrivate() != cls : !object->IsA(cls)))
        {
            continue;
        }
        match = object;
    }
    return match;
}

// Instances of the class of that name and of its subclasses, pending kill or not; default
// objects and archetypes are not instances.
void FindAllOf(StringViewType className, std::vector<UObject*>& out)
{
    auto guard = Sim::Detail::LockEngine();
    auto& s = State();
    ++s.counters.FindAllOf;
    // The loader's own name probe, not the mod's.
    const uint64 namesFound = s.counters.NameFind;
    const FName wanted(className, FNAME_Find);
    s.counters.NameFind = namesFound;
    s.counters.ObjectsWalked += static_cast<uint64>(s.numItems);
    if (wanted.IsNone())
    {
        return;
    }
    for (int32 index = 0; index < s.numItems; ++index)
    {
        UObject* object = EngineAccess::Item(index)->Object;
        if (object == nullptr || object->HasAnyFlags(static_cast<EObjectFlags>(RF_ClassDefaultObject | RF_ArchetypeObject)))
        {
            continue;
        }
        for (const UStruct* c = object->GetClassPrivate(); c != nullptr; c = EngineAccess::Super(c))
        {
            if (c->GetNamePrivate() == wanted)
            {
                out.push_back(object);
                break;
            }
        }
    }
}

UObject* StaticConstructObject(const FStaticConstructObjectParameters& params)
{
    auto guard = Sim::Detail::LockEngine();
    ++State().counters.StaticConstructObject;
    if (params.Class == nullptr || State().constructionsBeforeRefusal == 0)
    {
        return nullptr;
    }
    if (State().constructionsBeforeRefusal > 0)
    {
        --State().constructionsBeforeRefusal;
    }
    // StaticAllocateObject: only a package may stand outside every outer; anything else is
    // "Object is not packaged", a fatal error even in a shipping build. Here it makes nothing.
    if (params.Outer == nullptr && params.Class != State().packageClass)
    {
        Sim::FailCheck(L"StaticConstructObject: Object is not packaged: " + params.Class->GetName());
        return nullptr;
    }
    UObject* made = EngineAccess::Construct(const_cast<UClass*>(params.Class), params.Outer, params.Name, params.SetFlags);
    if (UClass* widgetClass = Sim::FindClass(L"/Script/UMG.Widget"); made != nullptr && widgetClass != nullptr && made->IsA(widgetClass))
    {
        ++State().play.observed.widgetsConstructed;
    }
    return made;
}
} // namespace UObjectGlobals

namespace Hook
{
GlobalCallbackId RegisterEngineTickPostCallback(EngineTickCallbackWithData callback, FCallbackOptions options)
{
    auto guard = Sim::Detail::LockEngine();
    auto& s = State();
    ++s.counters.RegisterTick;
    if (s.refuseTicks || !callback)
    {
        return ERROR_ID;
    }
    GlobalCallbackId id = s.nextTickId++;
    s.ticks.push_back({id, std::move(callback), std::move(options)});
    return id;
}

GlobalCallbackId RegisterEngineTickPostCallback(EngineTickCallbackWithData callback)
{
    return RegisterEngineTickPostCallback(std::move(callback), FCallbackOptions{});
}

bool UnregisterCallback(GlobalCallbackId id)
{
    auto guard = Sim::Detail::LockEngine();
    // The loader finds the detour by the bit the id carries (Hook::UnregisterCallback).
    if (bool removed = false; Sim::Detail::UnregisterDetourCallback(id, removed))
    {
        return removed;
    }
    auto& s = State();
    ++s.counters.UnregisterTick;
    auto found = std::find_if(s.ticks.begin(), s.ticks.end(), [id](const Sim::Detail::TickCallback& t) { return t.id == id; });
    if (found == s.ticks.end())
    {
        return false;
    }
    s.ticks.erase(found);
    return true;
}
} // namespace Hook
} // namespace RC::Unreal
