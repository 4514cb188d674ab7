// Cached lookups of engine objects, functions, properties and parameters by name.
#include "reflection/Lookup.hpp"

#include <algorithm>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
UObject* FindByFullPath(const std::wstring& path)
{
    return UObjectGlobals::FindObject(nullptr, nullptr, path.c_str(), false, nullptr);
}

// Only the struct's own chain: supers and interfaces are the caller's walk.
UFunction* FindOwnFunction(UStruct* owner, std::wstring_view name)
{
    for (UField* field = owner->GetChildren(); field != nullptr; field = field->GetNext())
    {
        UClass* fieldClass = field->GetClassPrivate();
        if (fieldClass == nullptr || !fieldClass->HasAllCastFlags(CASTCLASS_UFunction))
        {
            continue;
        }
        if (field->GetName() == name)
        {
            return static_cast<UFunction*>(field);
        }
    }
    return nullptr;
}

UFunction* FindFunctionInHierarchy(UStruct* start, std::wstring_view name)
{
    bool startIsClass = start->IsA(UClass::StaticClass());
    for (UStruct* owner = start; owner != nullptr; owner = owner->GetSuperStruct())
    {
        if (UFunction* own = FindOwnFunction(owner, name))
        {
            return own;
        }
        if (!startIsClass)
        {
            continue;
        }
        auto& interfaces = static_cast<UClass*>(owner)->GetInterfaces();
        for (int32 index = 0; index < interfaces.Num(); ++index)
        {
            UClass* interfaceClass = interfaces[index].Class;
            if (interfaceClass == nullptr)
            {
                continue;
            }
            if (UFunction* declared = FindOwnFunction(interfaceClass, name))
            {
                return declared;
            }
        }
    }
    return nullptr;
}

#if defined(ORVANTA_LOOKUP_CACHE_SWITCH)
bool cachesBypassed = false;
#else
constexpr bool cachesBypassed = false;
#endif

template <typename Value, typename Resolve>
Value CachedOrResolved(WideNameMap<Value>& cache, std::wstring_view name, Resolve&& resolve)
{
    if (cachesBypassed)
    {
        return resolve();
    }
    if (auto found = cache.find(name); found != cache.end())
    {
        return found->second;
    }
    Value value = resolve();
    cache.emplace(std::wstring(name), value);
    return value;
}

// Points the recent lookup at the cache's entry for the name, or clears it when the caches
// keep nothing.
template <typename Value>
void RememberRecent(Reflection::RecentLookup<Value>& recent, const WideNameMap<Value>& cache, const void* owner, std::wstring_view name)
{
    auto found = cache.find(name);
    recent = found != cache.end() ? Reflection::RecentLookup<Value>{owner, &found->first, found->second} : Reflection::RecentLookup<Value>{};
}

} // namespace

FProperty* FindPropertyInChain(UStruct* owner, std::wstring_view name)
{
    if (owner == nullptr)
    {
        return nullptr;
    }
    // Find-only: probing a name must never grow the engine's name table, and a name the table
    // lacks names no property.
    FName wanted(name, FNAME_Find);
    if (wanted.IsNone())
    {
        return nullptr;
    }
    for (UStruct* layout = owner; layout != nullptr; layout = layout->GetSuperStruct())
    {
        auto* property = static_cast<FProperty*>(layout->GetChildProperties());
        for (; property != nullptr; property = property->GetNextFieldAsProperty())
        {
            if (property->GetFName() == wanted)
            {
                return property;
            }
        }
    }
    return nullptr;
}

#if defined(ORVANTA_LOOKUP_CACHE_SWITCH)
void BypassLookupCaches(bool bypass) { cachesBypassed = bypass; }
#endif

UObject* Reflection::LookupObject(std::wstring_view path)
{
    if (cachesBypassed)
    {
        return FindByFullPath(std::wstring(path));
    }
    if (auto found = objects_.find(path); found != objects_.end())
    {
        return found->second;
    }
    std::wstring key(path);
    UObject* object = FindByFullPath(key);
    if (object != nullptr)
    {
        objects_.emplace(std::move(key), object);
        heldValues_.insert(object);
    }
    return object;
}

UObject* Reflection::LookupClassDefault(std::wstring_view classPath)
{
    if (auto found = classDefaults_.find(classPath); !cachesBypassed && found != classDefaults_.end())
    {
        return found->second;
    }
    auto lastDot = classPath.rfind(L'.');
    if (classPath.empty() || lastDot == std::wstring_view::npos)
    {
        return nullptr;
    }
    std::wstring defaultPath;
    defaultPath.reserve(classPath.size() + 9);
    defaultPath.append(classPath.substr(0, lastDot + 1)).append(L"Default__").append(classPath.substr(lastDot + 1));
    UObject* defaultObject = FindByFullPath(defaultPath);
    if (defaultObject != nullptr && !cachesBypassed)
    {
        classDefaults_.emplace(std::wstring(classPath), defaultObject);
        heldValues_.insert(defaultObject);
    }
    return defaultObject;
}

UFunction* Reflection::LookupFunction(UObject* object, std::wstring_view name)
{
    UClass* cls = object != nullptr ? object->GetClassPrivate() : nullptr;
    if (cls == nullptr)
    {
        return nullptr;
    }
    if (recentFunction_.Matches(cls, name))
    {
        return recentFunction_.value;
    }
    WideNameMap<UFunction*>& functions = classMembers_[cls].functions;
    UFunction* function = CachedOrResolved(functions, name, [&] {
        UFunction* found = FindFunctionInHierarchy(cls, name);
        if (found != nullptr)
        {
            heldValues_.insert(found);
        }
        return found;
    });
    RememberRecent(recentFunction_, functions, cls, name);
    return function;
}

FProperty* Reflection::LookupProperty(UObject* object, std::wstring_view name)
{
    UClass* cls = object != nullptr ? object->GetClassPrivate() : nullptr;
    if (cls == nullptr)
    {
        return nullptr;
    }
    return CachedOrResolved(classMembers_[cls].properties, name, [&] { return FindPropertyInChain(cls, name); });
}

FProperty* Reflection::LookupParameter(UFunction* function, std::wstring_view name)
{
    if (function == nullptr)
    {
        return nullptr;
    }
    if (recentParameter_.Matches(function, name))
    {
        return recentParameter_.value;
    }
    WideNameMap<FProperty*>& parameters = parameters_[function];
    FProperty* parameter = CachedOrResolved(parameters, name, [&] { return FindPropertyInChain(function, name); });
    RememberRecent(recentParameter_, parameters, function, name);
    return parameter;
}

const std::vector<FProperty*>& Reflection::LookupOutParameters(UFunction* function)
{
    auto [entry, added] = outParameters_.try_emplace(function);
    std::vector<FProperty*>& outParameters = entry->second;
    if (!added && !cachesBypassed)
    {
        return outParameters;
    }
    outParameters.clear();
    // A function's chain holds its parameters only.
    auto* first = static_cast<FProperty*>(function->GetChildProperties());
    for (FProperty* parameter = first; parameter != nullptr; parameter = parameter->GetNextFieldAsProperty())
    {
        if (parameter->HasAnyPropertyFlags(CPF_OutParm))
        {
            outParameters.push_back(parameter);
        }
    }
    return outParameters;
}

void Reflection::Forget(const void* object)
{
    recentFunction_ = {};
    recentParameter_ = {};
    // Keys first: a class's or function's own entries go with it.
    classMembers_.erase(reinterpret_cast<const UStruct*>(object));
    parameters_.erase(reinterpret_cast<const UStruct*>(object));
    outParameters_.erase(reinterpret_cast<const UStruct*>(object));
    if (heldValues_.erase(object) == 0)
    {
        return;
    }
    auto holds = [object](const auto& entry) { return entry.second == object; };
    std::erase_if(objects_, holds);
    std::erase_if(classDefaults_, holds);
    for (auto& [owner, members] : classMembers_)
    {
        std::erase_if(members.functions, holds);
    }
}

void Reflection::Clear()
{
    recentFunction_ = {};
    recentParameter_ = {};
    objects_.clear();
    classDefaults_.clear();
    classMembers_.clear();
    parameters_.clear();
    outParameters_.clear();
    heldValues_.clear();
}

bool IsLive(UObject* object, bool allowClassDefault)
{
    if (object == nullptr)
    {
        return false;
    }
    FUObjectItem* item = object->GetObjectItem();
    if (item == nullptr || item->GetUObject() != object)
    {
        return false;
    }
    if (!item->IsValid(false))
    {
        return false;
    }
    // The flags through their exported accessor: the loader's HasAnyFlags is inline and reads a
    // table its library does not export.
    const EObjectFlags flags = object->GetObjectFlags();
    if ((flags & (RF_BeginDestroyed | RF_FinishDestroyed)) != 0)
    {
        return false;
    }
    return allowClassDefault || (flags & RF_ClassDefaultObject) == 0;
}

std::vector<UObject*> FindAllInstances(std::wstring_view className)
{
    std::vector<UObject*> instances;
    UObjectGlobals::FindAllOf(className, instances);
    std::reverse(instances.begin(), instances.end());
    return instances;
}
} // namespace Orv
