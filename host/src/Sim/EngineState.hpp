// The stand-in engine's private state: the name table, the object array and its memory pool,
// the path index, hook and tick registrations, and the well-known classes. Only host sources
// include this; EngineAccess is the one friend of the engine types.
#pragma once

#include "Sim/AddressMap.hpp"
#include "Sim/PlayState.hpp"
#include "Unreal/CallbackRegistry.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Faults.hpp>
#include <Sim/Types.hpp>
#include <Unreal/Hooks/Hooks.hpp>
#include <Unreal/UObjectArray.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <new>
#include <cwctype>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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

// Windows ends every other thread at ExitProcess, before the static destructors run; a
// condition variable one of them waited on cannot be destroyed after that (winpthreads'
// pthread_cond_destroy spins for ever on the inner lock the ended waiter held). There it is left
// with the process, as the threads are (LetGoAtProcessEnd).
class ProcessWait
{
  public:
    ProcessWait() { new (storage_) std::condition_variable(); }
    ~ProcessWait()
    {
#ifndef _WIN32
        Get().~condition_variable();
#endif
    }
    ProcessWait(const ProcessWait&) = delete;
    ProcessWait& operator=(const ProcessWait&) = delete;
    std::condition_variable& Get() { return *std::launder(reinterpret_cast<std::condition_variable*>(storage_)); }
    std::condition_variable* operator->() { return &Get(); }

  private:
    alignas(std::condition_variable) unsigned char storage_[sizeof(std::condition_variable)];
};

// FAsyncPurge: the part of a purge the engine hands to a thread of its own. The game thread
// marks the objects unreachable and finishes destroying them (FinishDestroy); that thread then
// runs what is left of each object's death (~UObjectBase, FUObjectArray::FreeUObjectIndex
// with its delete listeners, the memory's free) while the game thread goes on with its frame.
struct AsyncPurge
{
    ~AsyncPurge();
    std::thread thread;
    std::mutex lock;
    ProcessWait wake;
    ProcessWait idle;
    std::vector<std::pair<UObject*, int32>> pending;
    bool busy = false;
    bool stop = false;
};

// The loader's FCallbackGarbageCollector: a thread of its own that wakes every few seconds and
// prunes the removed callbacks of one registry that has any.
struct CallbackCollector
{
    ~CallbackCollector();
    std::thread thread;
    std::mutex lock;
    ProcessWait wake;
    bool stop = false;
    bool forced = false;
    std::chrono::milliseconds period{3000}; // HOOK_GC_INTERVAL_SECONDS
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

// The loader's function-local statics: UStruct::FindProperty's cache of hits, keyed by the
// struct's address and the name and never cleared, and what its native-call wrappers look up
// once. The loader keeps them for the life of the game's process, which holds one engine: here
// they go with the engine.
struct LoaderStatics
{
    struct PropertyKey
    {
        const void* owner;
        uint32 nameIndex;
        int32 nameNumber;
        bool operator==(const PropertyKey&) const = default;
    };
    struct PropertyKeyHash
    {
        std::size_t operator()(const PropertyKey& key) const noexcept
        {
            const uint64 name = (uint64{key.nameIndex} << 32) | static_cast<uint32>(key.nameNumber);
            return std::hash<const void*>()(key.owner) ^ (std::hash<uint64>()(name) * 31);
        }
    };
    std::unordered_map<PropertyKey, FProperty*, PropertyKeyHash> foundProperties;

    struct NativeCall
    {
        bool looked = false;
        UFunction* function = nullptr;
        bool selfLooked = false;
        UObject* self = nullptr;
    };
    std::unordered_map<std::wstring, NativeCall> nativeCalls;
};

// The stand-in's one lock over its own records, taken by the frame's game work and by every
// engine call, on whichever thread makes it. Recursive: a native inside an engine call calls
// the engine again. A fault contained inside an engine call jumps past that call's release, so
// the game thread, which holds nothing between its frames' steps, lets go of what such a jump
// left behind (ReleaseLeftByThisThread).
class EngineLock
{
  public:
    void lock()
    {
        const auto self = std::this_thread::get_id();
        if (owner_.load(std::memory_order_relaxed) == self)
        {
            ++depth_;
            return;
        }
        mutex_.lock();
        owner_.store(self, std::memory_order_relaxed);
        depth_ = 1;
    }
    void unlock()
    {
        if (--depth_ == 0)
        {
            owner_.store(std::thread::id{}, std::memory_order_relaxed);
            mutex_.unlock();
        }
    }
    // Lets go of every hold this thread has, for a stretch that must not run under it; the count
    // to take it back with.
    int ReleaseAll()
    {
        if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id())
        {
            return 0;
        }
        const int held = depth_;
        depth_ = 0;
        owner_.store(std::thread::id{}, std::memory_order_relaxed);
        mutex_.unlock();
        return held;
    }
    void Retake(int held)
    {
        if (held == 0)
        {
            return;
        }
        mutex_.lock();
        owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
        depth_ = held;
    }
    void ReleaseLeftByThisThread()
    {
        if (owner_.load(std::memory_order_relaxed) == std::this_thread::get_id())
        {
            depth_ = 0;
            owner_.store(std::thread::id{}, std::memory_order_relaxed);
            mutex_.unlock();
        }
    }

  private:
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0;
};

struct EngineState
{
    EngineLock lock;
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
    // The engine's UObjectDeleteListeners and their critical section, which FreeUObjectIndex
    // holds while it tells them of a free, on whichever thread frees.
    std::vector<FUObjectDeleteListener*> deleteListeners;
    std::recursive_mutex listenerLock;
    bool objectArrayShutDown = false;
    AsyncPurge asyncPurge;
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

    // The loader's registries on the engine's native functions (its TDetourInstances).
    Hook::Internal::CallbackRegistry<void, UEngine*, float, bool> ticks{Hook::Internal::kEngineTickDetour, L"EngineTick"};
    Hook::Internal::CallbackRegistry<void, AActor*> beginPlay{Hook::Internal::kBeginPlayDetour, L"BeginPlay"};
    Hook::Internal::CallbackRegistry<void, AActor*, EEndPlayReason> endPlay{Hook::Internal::kEndPlayDetour, L"EndPlay"};
    Hook::Internal::CallbackRegistry<bool, UEngine*, FWorldContext&, FURL, UPendingNetGame*, FString&> loadMap{
        Hook::Internal::kLoadMapDetour, L"LoadMap"};
    std::atomic<bool> refuseTicks{false};
    // The loader's settings leave its BeginPlay, EndPlay and LoadMap hooks out.
    std::atomic<bool> refuseLoaderCallbacks{false};
    CallbackCollector callbackCollector;
    // The thread the engine runs its frames on (GGameThreadId); engine calls belong there.
    std::thread::id gameThread;
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
    LoaderStatics loader;
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

inline std::unique_lock<EngineLock> LockEngine() { return std::unique_lock(State().lock); }

// IsInGameThread: the engine's own calls check it (check(IsInGameThread())) and a build with
// checks stops at a call made from elsewhere; here it is a failed check named "IsInGameThread".
inline bool IsGameThread() { return std::this_thread::get_id() == State().gameThread; }
void RequireGameThread();
// The loader's callback collector thread, started with the engine and stopped with it.
void StartCallbackCollector();
void StopCallbackCollector();
void StopAsyncPurge();
// Hands objects the game thread finished destroying to the purge thread, started at need.
void HandToPurgeThread(std::vector<std::pair<UObject*, int32>> objects);
// Purges what the last collection found unreachable; with handOnPart, part of it on the purge
// thread.
std::size_t PurgeUnreachable(bool handOnPart);
void WaitForPurgeThread();

// The loader's throwing calls (Sim::MakeLoaderCallThrow) throw only where a mod makes them:
// inside the engine's tick callbacks, outside the engine's own code (a native body, the
// frame's game work), which calls the engine directly and never through the loader.
struct EngineCodeScope
{
    EngineCodeScope() { ++Depth(); }
    ~EngineCodeScope() { --Depth(); }
    EngineCodeScope(const EngineCodeScope&) = delete;
    EngineCodeScope& operator=(const EngineCodeScope&) = delete;
    static int& Depth()
    {
        thread_local int depth = 0;
        return depth;
    }
};
bool& InTickCallbacks();
void ThrowIfAsked(LoaderCall call);
void ForgetLoaderThrows();

// A line from the loader itself (not the mod) to its default output devices.
inline constexpr int32 kLoaderErrorLevel = 4; // LogLevel::Error
void SendLoaderLine(StringViewType line, int32 level);

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
// A class whose objects (its default object included) are of an engine C++ type.
UClass* DefineNativeClass(const ClassDef& def, NativeConstructor construct, std::size_t nativeSize);
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
    // The game thread's part of an object's death (ConditionalBeginDestroy, FinishDestroy):
    // flags, values and the engine's records of it; the slot's index, or -1 for no object.
    static int32 FinishDestroy(UObject* object);
    // The rest (~UObjectBase, FreeUObjectIndex, the memory's free), on whichever thread purges.
    static void FreeObject(UObject* object, int32 index);
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
    static FField* ChildProperties(const UStruct* st) { return st->ChildProperties; }
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
