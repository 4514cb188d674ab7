// Finding and constructing objects, and the engine tick callbacks.
#include "Sim/EngineState.hpp"

#include <Unreal/Hooks.hpp>
#include <Unreal/UClass.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <algorithm>

namespace RC::Unreal
{
using Sim::Detail::EngineAccess;
using Sim::Detail::State;

namespace UObjectGlobals
{
UObject* FindObject(UClass* cls, UObject* outer, const CharType* name, bool exactClass, ObjectSearcher*)
{
    ++State().counters.FindObject;
    if (name == nullptr)
    {
        return nullptr;
    }
    auto found = State().byPath.find(StringType(name));
    if (found == State().byPath.end())
    {
        return nullptr;
    }
    UObject* object = found->second;
    auto* item = object->GetObjectItem();
    if (item == nullptr || item->IsUnreachable())
    {
        return nullptr;
    }
    if (outer != nullptr && object->GetOuter() != outer)
    {
        return nullptr;
    }
    if (cls != nullptr && (exactClass ? object->GetClassPrivate() != cls : !object->IsA(cls)))
    {
        return nullptr;
    }
    return object;
}

void FindAllOf(StringViewType className, std::vector<UObject*>& out)
{
    ++State().counters.FindAllOf;
    for (int32 index = 0; index < State().numItems; ++index)
    {
        auto* item = EngineAccess::Item(index);
        UObject* object = item->Object;
        if (object == nullptr || !item->IsValid(false) || object->HasAnyFlags(RF_ClassDefaultObject))
        {
            continue;
        }
        if (object->GetClassPrivate()->GetName() == className)
        {
            out.push_back(object);
        }
    }
}

UObject* StaticConstructObject(const FStaticConstructObjectParameters& params)
{
    ++State().counters.StaticConstructObject;
    if (params.Class == nullptr)
    {
        return nullptr;
    }
    UObject* outer = params.Outer != nullptr ? params.Outer : EngineAccess::Package(L"/Engine/Transient");
    return EngineAccess::Construct(const_cast<UClass*>(params.Class), outer, params.Name, params.SetFlags);
}
} // namespace UObjectGlobals

namespace Hook
{
GlobalCallbackId RegisterEngineTickPostCallback(EngineTickCallbackWithData callback, FCallbackOptions options)
{
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

bool UnregisterCallback(GlobalCallbackId id)
{
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
