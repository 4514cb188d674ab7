// The stand-in engine's private state: the name table, the object array and its memory pool,
// the path index, hook and tick registrations, and the well-known classes. Only host sources
// include this; EngineAccess is the one friend of the engine types.
#pragma once

#include "Sim/AddressMap.hpp"
#include "Sim/PlayState.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Faults.hpp>
#include <Sim/Types.hpp>
#include <Unreal/Hooks/Hooks.hpp>
#include <Unreal/UObjectArray.hpp>

#include <array>
#include <cwctype>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
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
    // A blueprint body: the function does something even without native code. A function
    // with neither runs nothing, its hooks included.
    NativeFunction script;
    // The parameters as declared, for a blueprint override of the function to repeat.
    std::vector<ParamDef> declaredParams;
    std::vector<FunctionHook> hooks;
    CallbackId nextHookId = 1; // ids count from 1 for each function
    bool refuseHooks = false;
    CallbackId refusalAnswer = -1;
    FaultKind fault = FaultKind::None;
    // The parameters whose values own memory (strings, texts), found once for the call record.
    std::vector<FProperty*> textParams;
    bool textParamsFound = false;
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
    std::function<void(UObject*)> defaults;
    uint32 nextNameNumber = 0;
};

// Object memory comes from chunks the engine never hands back while it runs, as a small-block
// allocator keeps its pages: a freed object's bytes stay mapped, and the next object of the
// same size takes the most recently freed block (unless a quarantine of later deaths is asked
// for), so a stale pointer then reads whatever the new owner wrote. Under AddressSanitizer a
// block is poisoned while no object owns it.
class ObjectPool
{
  public:
    // Whether the block came from a freed object.
    void* Allocate(std::size_t size, std::size_t quarantine, bool& reused);
    // Poisoned unless held back by a quarantine: the tests that ask for one read stale
    // pointers on purpose.
    void Release(void* memory, std::size_t size, bool poison);
    void FreeAll();

  private:
    std::vector<std::unique_ptr<unsigned char[]>> blocks_;
    std::vector<std::size_t> blockSizes_;
    std::unordered_map<std::size_t, std::deque<void*>> released_;
};

// Objects by path, compared as the engine compares paths: without regard to case. Lookups take
// any view and fold as they hash, so finding an object never allocates.
struct FoldedPathHash
{
    using is_transparent = void;
    std::size_t operator()(StringViewType path) const noexcept;
};
struct FoldedPathEqual
{
    using is_transparent = void;
    bool operator()(StringViewType a, StringViewType b) const noexcept;
};
using PathIndex = std::unordered_map<std::wstring, UObject*, FoldedPathHash, FoldedPathEqual>;
using MemberIndex = std::unordered_map<std::wstring, FProperty*, FoldedPathHash, FoldedPathEqual>;
// A dotted member path ("LayoutData.Offsets.Left") as the compiled code that reaches it holds
// it: the innermost property and its offset from the start of the object.
struct MemberPath
{
    FProperty* property = nullptr;
    std::ptrdiff_t offset = 0;
};
using MemberPathIndex = std::unordered_map<std::wstring, MemberPath, FoldedPathHash, FoldedPathEqual>;

// A real member of an engine struct, in the width the running engine gives it.
struct RealMember
{
    FProperty* property = nullptr;
    bool isDouble = false;
};
struct RealTriple
{
    RealMember members[3];
};

struct EngineState
{
    // Held by the game thread through each frame and by every engine call a mod makes, so a
    // loader thread's calls fall between frames, as the engine's own locks have them.
    std::recursive_mutex lock;
    EngineOptions options;
    // What the game being defined leaves out of its classes, as "/script/module.class:property".
    std::unordered_set<std::wstring> missingProperties;
    bool running = false;
    uint64 frame = 0;
    HostCounters counters;
    // A ring, so counting a destruction never allocates in a frame under test.
    static constexpr std::size_t kDestroyedKept = 16;
    std::array<const void*, kDestroyedKept> destroyedValues{};
    uint64 destroyedTotal = 0;

    // Object array: chunked so item addresses never move.
    static constexpr int32 kItemsPerChunk = 65536;
    std::vector<std::unique_ptr<FUObjectItem[]>> itemChunks;
    int32 numItems = 0;
    std::vector<int32> freeIndices; // reused last-freed first, as the engine does
    std::vector<std::size_t> allocationSize; // by index, for live objects
    ObjectPool pool;
    // Live objects by address, so the engine can tell a stale pointer without reading it.
    AddressMap<int32> liveAddresses;
    // Every address an object ever had, to count reuse.
    std::unordered_set<const void*> usedAddresses;
    // By index: the folded path of the slot's object, which FindObject compares walking the array.
    std::vector<std::wstring> foldedPaths;
    std::vector<FUObjectDeleteListener*> deleteListeners;
    int32 nextSerialNumber = 1000;
    EngineStats stats;
    static constexpr std::size_t kFailedChecksKept = 64;
    std::vector<std::wstring> failedChecks;

    PathIndex byPath;
    // The members the engine's own code has found by name, per struct: its compiled code reads
    // them at fixed offsets, so the stand-in resolves each name once. Emptied, and the
    // generation counted on, whenever a type is made, gains members or dies.
    std::unordered_map<const UStruct*, MemberIndex> memberMemo;
    std::unordered_map<const UStruct*, MemberPathIndex> memberPathMemo;
    uint64 typeGeneration = 0;
    // The engine's vector and rotator members, which its code reads on every placement at
    // fixed offsets: found once per engine run.
    RealTriple vectorLayout;
    RealTriple rotatorLayout;
    RealTriple vector2DLayout; // X and Y; the third member stays empty
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
    bool refuseTicks = false;
    bool refuseLoaderCallbacks = false; // the loader's settings leave its BeginPlay, EndPlay and LoadMap hooks out
    // StaticConstructObject calls still answered before it answers null; negative for always.
    int64 constructionsBeforeRefusal = -1;
    UObject* engineObject = nullptr; // what tick callbacks get as the engine
    std::unordered_set<const UClass*> blueprintClasses;
    bool collecting = false; // the collector is marking or purging

    UClass* objectClass = nullptr;
    UClass* fieldClass = nullptr;
    UClass* structClass = nullptr;
    UClass* scriptStructClass = nullptr;
    UClass* classClass = nullptr;
    UClass* functionClass = nullptr;
    UClass* enumClass = nullptr;
    UClass* packageClass = nullptr;
    UClass* interfaceClass = nullptr;
    UClass* worldClass = nullptr; // the game's, once defined
    UClass* actorClass = nullptr; // likewise
};

// One engine per process, made on first use so that the order of static initialisers never
// matters. Inline: nearly every engine function asks for it.
inline EngineState& State()
{
    static EngineState state;
    return state;
}

// A type was made, gained members or died: names resolved before are resolved again.
inline void TypesChanged()
{
    State().memberMemo.clear();
    State().memberPathMemo.clear();
    ++State().typeGeneration;
}

inline std::unique_lock<std::recursive_mutex> LockEngine() { return std::unique_lock(State().lock); }

// The record of a mod's script calls (Sim/Calls.hpp): each call as ProcessEvent takes it, and
// an object's records dropped as it is freed.
void RecordCall(const UObject* target, const UFunction* function, const void* parms);
void ForgetCallsOf(const UObject* object);

// Does what a broken native body would: writes through null or divides by zero.
void RaiseFault(FaultKind fault);

// UObject::ProcessEvent's checks, as a build with checks makes them before a call: the
// function belongs to the target's class (or to an interface the class implements), and each
// object argument is null or an object of its parameter's class. Native code would write at
// the wrong offsets: a call that fails them counts a failed check by the function's name, and
// the caller runs nothing.
bool CallFits(UObject* target, UFunction* function, const void* parms);

void MarkBlueprintClass(UClass* cls);
bool IsBlueprintClass(const UClass* cls);
// Whether actors of the world may run script: it is live, its actors are initialised and it
// is not being torn down.
bool WorldRunsScript(const UWorld* world);

// Reals of an engine struct by member name, in the width the running engine gives them.
void WriteReal(const UStruct* layout, void* value, StringViewType member, double real);
double ReadReal(const UStruct* layout, const void* value, StringViewType member);
// Finds the members of an engine vector or rotator by name, once per engine run; a null name
// leaves its member empty.
RealTriple ResolveTriple(StringViewType structPath, const wchar_t* const (&names)[3]);
// Engine vectors and rotators in place, in the running engine's layout.
void WriteVectorValue(void* value, double x, double y, double z);
void ReadVector2DValue(const void* value, double& x, double& y);
void ReadVectorValue(const void* value, double& x, double& y, double& z);
void WriteRotatorValue(void* value, double pitch, double yaw, double roll);
void ReadRotatorValue(const void* value, double& pitch, double& yaw, double& roll);
// The native side of an actor: its collision and tick switches.
ActorRecord* ActorRecordOf(const UObject* actor);

struct EngineAccess
{
    static UObject* Construct(UClass* cls, UObject* outer, FName name, EObjectFlags flags);
    static void Destroy(UObject* object);
    static void Bootstrap();
    static UClass* MakeBootstrapClass(UClass* classOfClasses, const wchar_t* name, std::size_t nativeSize,
                                      NativeConstructor construct, EClassCastFlags castFlags);
    static void TearDown();
    static FUObjectItem* Item(int32 index);
    // The item of a live object at that address, found without reading the address; null for
    // a freed or foreign pointer.
    static FUObjectItem* SlotOf(const void* address);
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
    static void ApplyClassDefaults(const UClass* cls, UObject* object);
    static void InitializeStruct(const UStruct* layout, void* dest);
    static void DestroyStruct(const UStruct* layout, void* dest);
    static void CopyStruct(const UStruct* layout, void* dest, const void* src);
    static void Invoke(UObject* target, UFunction* function, void* parms);

    // Private engine fields the builders and the collector reach without counting host calls.
    static FunctionState* StateOf(UFunction* f) { return f->State; }
    static void AddInterface(UClass* c, UClass* i) { c->Interfaces.Add({i, 0, false}); }
    static const TArray<FImplementedInterface>& InterfacesOf(const UClass* c) { return c->Interfaces; }
    static void SetDefaultObject(UClass* c, UObject* o) { c->ClassDefaultObject = o; }
    static void StartStruct(UStruct* st, UStruct* super)
    {
        TypesChanged();
        st->SuperStruct = super;
        st->PropertiesSize = super ? super->PropertiesSize : 0;
        st->MinAlignment = super ? super->MinAlignment : 1;
    }
    static void AddEnumName(UEnum* e, FName n, int64 v) { e->Names.Add({n, v}); }
    static UObject* DefaultObject(const UClass* c) { return c->ClassDefaultObject; }
    static UField* Children(const UStruct* st) { return st->Children; }
    static UStruct* Super(const UStruct* st) { return st->SuperStruct; }
    static UField* Next(const UField* f) { return f->Next; }
    static FField* NextField(const FField* f) { return f->Next; }
    static void RaiseFlags(UObject* o, EObjectFlags f) { o->ObjectFlags = o->ObjectFlags | f; }
};

std::wstring PackageOf(StringViewType path);
std::wstring ShortName(StringViewType path);
// Lower case, as the engine compares names and paths. Names are almost always ASCII, which
// folds without the C library's tables.
inline wchar_t FoldChar(wchar_t c)
{
    if (c < 0x80)
    {
        return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    }
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}
std::wstring FoldCase(StringViewType text);
} // namespace Sim::Detail
