// The stand-in engine's private state: the name table, the object array and its memory pool,
// the path index, hook and tick registrations, and the well-known classes. Only host sources
// include this; EngineAccess is the one friend of the engine types.
#pragma once

#include "Sim/PlayState.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Faults.hpp>
#include <Sim/Types.hpp>
#include <Unreal/Hooks.hpp>
#include <Unreal/UObjectArray.hpp>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Sim::Detail
{
struct FunctionHook
{
    CallbackId id;
    UnrealScriptFunctionCallable callable;
    void* customData;
    bool pre;
};

struct FunctionState
{
    NativeFunction native;
    std::vector<FunctionHook> hooks;
    bool refuseHooks = false;
    FaultKind fault = FaultKind::None;
};

struct TickCallback
{
    Hook::GlobalCallbackId id;
    Hook::EngineTickCallbackWithData callback;
    Hook::FCallbackOptions options;
};

using NativeConstructor = UObject* (*)(void* memory);

struct ClassInfo
{
    NativeConstructor construct = nullptr;
    std::size_t nativeSize = 0;
    uint32 nextNameNumber = 0;
};

// Object memory comes from chunks the engine never hands back while it runs: a dead object's
// bytes stay readable, and are taken again only after a quarantine of later deaths of the same
// size, so stale-pointer checks in a mod are well defined (also under AddressSanitizer).
class ObjectPool
{
  public:
    static constexpr std::size_t kQuarantine = 64;

    void* Allocate(std::size_t size);
    void Release(void* memory, std::size_t size);
    void FreeAll();

  private:
    std::vector<std::unique_ptr<unsigned char[]>> blocks_;
    std::unordered_map<std::size_t, std::deque<void*>> released_;
};

struct EngineState
{
    EngineOptions options;
    bool running = false;
    uint64 frame = 0;
    HostCounters counters;

    // Object array: chunked so item addresses never move.
    static constexpr int32 kItemsPerChunk = 65536;
    std::vector<std::unique_ptr<FUObjectItem[]>> itemChunks;
    int32 numItems = 0;
    std::vector<int32> freeIndices; // reused last-freed first, as the engine does
    std::vector<std::size_t> allocationSize; // by index, for live objects
    ObjectPool pool;

    std::unordered_map<std::wstring, UObject*> byPath;
    std::unordered_map<const UClass*, ClassInfo> classInfo;
    std::unordered_set<UObject*> garbageRoots;
    // The engine's C++ side of objects beyond their properties, dropped when an object dies:
    // references the collector follows (a level's actors), and the GetWorld answer of classes
    // whose GetWorld does not walk the outers (game instances).
    std::unordered_map<const UObject*, std::function<void(std::vector<UObject*>&)>> nativeReferences;
    std::unordered_map<const UObject*, UObject*> worldOverrides;
    PlayState play;
    std::vector<std::unique_ptr<FField>> ownedFields;
    std::vector<std::unique_ptr<FunctionState>> functionStates;

    std::vector<TickCallback> ticks;
    Hook::GlobalCallbackId nextTickId = 1;
    CallbackId nextHookId = 1;
    bool refuseTicks = false;

    UClass* objectClass = nullptr;
    UClass* fieldClass = nullptr;
    UClass* structClass = nullptr;
    UClass* scriptStructClass = nullptr;
    UClass* classClass = nullptr;
    UClass* functionClass = nullptr;
    UClass* enumClass = nullptr;
    UClass* packageClass = nullptr;
    UClass* interfaceClass = nullptr;
};

EngineState& State();

// Does what a broken native body would: writes through null or divides by zero.
void RaiseFault(FaultKind fault);

struct EngineAccess
{
    static UObject* Construct(UClass* cls, UObject* outer, FName name, EObjectFlags flags);
    static void Destroy(UObject* object);
    static void Bootstrap();
    static UClass* MakeBootstrapClass(UClass* classOfClasses, const wchar_t* name, std::size_t nativeSize,
                                      NativeConstructor construct, EClassCastFlags castFlags);
    static void TearDown();
    static FUObjectItem* Item(int32 index);
    static UPackage* Package(StringViewType name);

    static UClass* MakeClass(StringViewType path, UClass* super, NativeConstructor construct, std::size_t nativeSize,
                             EClassCastFlags castFlags);
    static void LayOut(UStruct* owner, const std::vector<PropertyDef>& props, bool padToAlignment, uint64 extraFlags);
    static FProperty* MakeProperty(UStruct* owner, const std::wstring& name, const Type& type, uint64 flags);
    // Strings, texts, arrays, sets and maps; null for any other kind.
    static std::unique_ptr<FProperty> MakeOwningProperty(UStruct* owner, const std::wstring& name, const Type& type,
                                                         FFieldClass*& fieldClass, int32& size, int32& alignment);
    // Every element value of an array, set or map value (keys and values of a map); nothing
    // for other kinds.
    static void ForEachContainedValue(const FProperty* property, const void* value,
                                      const std::function<void(const FProperty*, const void*)>& visit);
    static UFunction* MakeFunction(UClass* cls, const FunctionDef& def);
    static void AppendChild(UClass* cls, UField* field);
    static void UnlinkChild(UClass* cls, UField* field);
    static void CollectReferences(const UStruct* layout, const void* container, std::vector<UObject*>& out);
    static void CollectValueReferences(const FProperty* property, const void* value, std::vector<UObject*>& out);
    static void InitializeStruct(const UStruct* layout, void* dest);
    static void DestroyStruct(const UStruct* layout, void* dest);
    static void CopyStruct(const UStruct* layout, void* dest, const void* src);
    static void Invoke(UObject* target, UFunction* function, void* parms);

    // Private engine fields the builders and the collector reach without counting host calls.
    static FunctionState* StateOf(UFunction* f) { return f->State; }
    static void AddInterface(UClass* c, UClass* i) { c->Interfaces.Add({i, 0, false}); }
    static void SetDefaultObject(UClass* c, UObject* o) { c->ClassDefaultObject = o; }
    static void StartStruct(UStruct* st, UStruct* super)
    {
        st->SuperStruct = super;
        st->PropertiesSize = super ? super->PropertiesSize : 0;
        st->MinAlignment = super ? super->MinAlignment : 1;
    }
    static void AddEnumName(UEnum* e, FName n, int64 v) { e->Names.Add({n, v}); }
    static UField* Children(const UStruct* st) { return st->Children; }
    static UStruct* Super(const UStruct* st) { return st->SuperStruct; }
    static UField* Next(const UField* f) { return f->Next; }
    static void RaiseFlags(UObject* o, EObjectFlags f) { o->ObjectFlags = o->ObjectFlags | f; }
};

std::wstring PackageOf(StringViewType path);
std::wstring ShortName(StringViewType path);
} // namespace Sim::Detail
