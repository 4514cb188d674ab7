// Name-to-engine-pointer lookups with the mod's caches, the one validity test for engine
// objects, and the enumeration of a class's instances. Nothing here logs or throws: every
// failure is a null or false result.
#pragma once

#include "reflection/Host.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Orv
{
// Hashes wide strings and views alike, so a cache hit never builds a key string. FNV-1a over
// whole characters, inline: the names are short, and a lookup runs per engine call.
struct WideStringHash
{
    using is_transparent = void;
    std::size_t operator()(std::wstring_view text) const noexcept
    {
        std::uint64_t hash = 14695981039346656037ull;
        for (const wchar_t c : text)
        {
            hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
        }
        return static_cast<std::size_t>(hash);
    }
};

template <typename Value>
using WideNameMap = std::unordered_map<std::wstring, Value, WideStringHash, std::equal_to<>>;

// The four lookup caches. Entries are only ever added; a remembered miss of a function,
// property or parameter is final for the life of the cache, which keeps names a game build
// lacks from costing a field walk every frame.
class Reflection
{
  public:
    // Full path: "/Script/Module.Class" or "/Script/Module.Class:Function". Misses are not remembered.
    UObject* LookupObject(std::wstring_view path);
    // The default object of a script class, by class path ("/Script/Engine.KismetSystemLibrary").
    UObject* LookupClassDefault(std::wstring_view classPath);
    // A function of the object's class, its interfaces or its supers, own fields first.
    UFunction* LookupFunction(UObject* object, std::wstring_view name);
    FProperty* LookupProperty(UObject* object, std::wstring_view name);
    FProperty* LookupParameter(UFunction* function, std::wstring_view name);
    // The function's out and return parameters in declaration order, found once: a call frame
    // destroys those its caller left unread, and finding them at every call would walk the
    // function's fields with every call.
    const std::vector<FProperty*>& LookupOutParameters(UFunction* function);

    // Drops every entry whose key or value is the object, which the engine is freeing: a
    // blueprint class that unloads with its level may be followed by another at its address.
    void Forget(const void* object);
    void Clear();

    // The last function and parameter found, by owner and name: a marker update asks the same
    // pair for every element, and this answers without hashing the name. The name points into
    // the cache's own key, so every erase forgets them.
    template <typename Value> struct RecentLookup
    {
        const void* owner = nullptr;
        const std::wstring* name = nullptr;
        Value value{};

        bool Matches(const void* wantedOwner, std::wstring_view wantedName) const
        {
            return owner == wantedOwner && name != nullptr && *name == wantedName;
        }
    };

  private:
    struct ClassMembers
    {
        WideNameMap<UFunction*> functions;
        WideNameMap<FProperty*> properties;
    };
    RecentLookup<UFunction*> recentFunction_;
    RecentLookup<FProperty*> recentParameter_;

    WideNameMap<UObject*> objects_;
    WideNameMap<UObject*> classDefaults_;
    std::unordered_map<const UStruct*, ClassMembers> classMembers_;
    std::unordered_map<const UStruct*, WideNameMap<FProperty*>> parameters_;
    std::unordered_map<const UStruct*, std::vector<FProperty*>> outParameters_;
    // Every object some entry holds as its value, so Forget scans the maps only for those.
    std::unordered_set<const void*> heldValues_;
};

#if defined(ORVANTA_LOOKUP_CACHE_SWITCH)
// Only in a build made to measure the caches: every lookup asks the engine, nothing is kept.
void BypassLookupCaches(bool bypass);
#endif

// The struct's property of that name, its supers' included, from the struct's own chain. Not
// through UStruct::FindProperty: the loader remembers that one's hits by the struct's address
// for good, so a struct made where a freed one lay would be answered with the freed one's member.
FProperty* FindPropertyInChain(UStruct* owner, std::wstring_view name);

// True only for an object that still holds its slot, is valid and not being destroyed; a class
// default object counts only when the caller allows it.
bool IsLive(UObject* object, bool allowClassDefault);

// The host's instances of a class by short name, in reverse of the host's order.
std::vector<UObject*> FindAllInstances(std::wstring_view className);
} // namespace Orv
