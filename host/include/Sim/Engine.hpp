// The simulated engine's own controls, for the simulator and the tests: start a fresh engine
// of a chosen version, run frames, make objects live and die, collect garbage, make the
// loader refuse hooks, and read the counters of host calls the mod made.
#pragma once

#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/Hooks/Hooks.hpp>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Sim
{
using namespace RC::Unreal;
using RC::CharType;
using RC::StringType;
using RC::StringViewType;

// One counter per host operation a mod can call. Tests assert on differences, e.g. that a
// cached lookup made no FindObject call.
struct HostCounters
{
    uint64 FindObject = 0;
    uint64 FindAllOf = 0;
    uint64 StaticConstructObject = 0;
    uint64 FindProperty = 0;
    // Walks of a struct's property chain, supers included, however far each goes: counted at
    // GetChildProperties of the struct a walk starts from (one GetSuperStruct did not hand out).
    uint64 PropertyWalks = 0;
    uint64 GetChildren = 0;
    uint64 GetNext = 0;
    uint64 GetSuperStruct = 0;
    uint64 GetInterfaces = 0;
    uint64 NameFind = 0;
    uint64 ProcessEvent = 0;
    uint64 RegisterHook = 0;
    uint64 UnregisterHook = 0;
    uint64 RegisterTick = 0;
    uint64 UnregisterTick = 0;
    // The loader's callbacks on AActor::BeginPlay, AActor::EndPlay and UEngine::LoadMap.
    uint64 RegisterLoaderCallback = 0;
    uint64 UnregisterLoaderCallback = 0;
    uint64 InitializeValue = 0;
    uint64 CopyValue = 0;
    uint64 DestroyValue = 0;
    // Slots of the object array looked at by FindObject and FindAllOf: each walks the array.
    uint64 ObjectsWalked = 0;
    // ProcessEvent on memory that holds no object any more: in a game, a crash or worse.
    uint64 CallsOnFreedObjects = 0;
};

// What the engine's object system has done since it started; not reset with the counters.
struct EngineStats
{
    uint64 ObjectsCreated = 0;
    uint64 ObjectsFreed = 0;
    // New objects placed at the address of a freed one, and in a freed slot.
    uint64 AddressesReused = 0;
    uint64 SlotsReused = 0;
    uint64 Collections = 0;
    // Script-function hooks that ran (pre and post), the world-change hook's included.
    uint64 ScriptHooksFired = 0;
    // Engine checks that failed: a build with checks would have stopped there.
    uint64 ChecksFailed = 0;
    // Objects whose death the purge thread finished (EngineOptions::AsyncPurge).
    uint64 ObjectsFreedOnPurgeThread = 0;
};

// Which type FSlateFontInfo's "Size" has: engines before 5.0 keep an int32, later ones a float.
enum class FontSizeKind
{
    ByVersion,
    Int,
    Float,
};

struct EngineVersion
{
    int32 Major = 5;
    int32 Minor = 5;
    bool operator==(const EngineVersion&) const = default;
};

// The engine versions the stand-in plays, oldest first: 4.27, 5.1 and 5.5. Each declares the
// script functions, parameters and members its headers have, and no others.
UE4SS_API std::vector<EngineVersion> OfferedEngineVersions();
// "4.27", "5.1" or "5.5", or the short names "4" for 4.27 and "5" for 5.5; false otherwise.
UE4SS_API bool ParseEngineVersion(std::string_view text, EngineVersion& out);

// The defaults are a shipped game's: freed memory is taken again at once, and hooks fire only
// where the game runs the hooked function. A test may ask for a gentler engine.
struct EngineOptions
{
    int32 VersionMajor = 5;
    int32 VersionMinor = 1;
    FontSizeKind FontSize = FontSizeKind::ByVersion;
    // Later deaths of the same size an object's memory waits for before it is reused; 0
    // reuses it for the very next object of that size. Held-back memory stays readable (not
    // poisoned), for the tests that read stale pointers on purpose.
    int32 MemoryQuarantine = 0;
    // No hooked script function runs its hooks, as in a game whose blueprints implement none
    // of the hooked events.
    bool SilentEvents = false;
    // Part of each purge (every other unreachable object) is finished on the engine's purge
    // thread while the game thread goes on with its frame, as with the engine's multithreaded
    // destruction: those objects' delete listeners hear of them on that thread. The frame
    // waits for it before it ends.
    bool AsyncPurge = false;
    // Members, functions and parameters the engine's own classes and structs lack in this build
    // ("/Script/Engine.Struct:Member", "/Script/Engine.Class:Function:Parameter"); a game's are
    // in its GameOptions.
    std::vector<std::wstring> MissingProperties;
};

// A failed engine check (check, checkf, ensure in the engine's code): counted in the stats and
// kept by what failed ("MarkPendingKill /Game/Maps/Vale.Vale:PersistentLevel.Pawn_0", or the
// function a wrong call was made to). The caller then goes on as a shipping build would, or
// does nothing where native code would corrupt memory. The first 64 are kept.
UE4SS_API void FailCheck(StringViewType what);
UE4SS_API std::vector<std::wstring> FailedChecks();

UE4SS_API HostCounters& Counters();
// Also forgets the destroyed values below.
UE4SS_API void ResetCounters();
// The addresses the latest counted DestroyValue calls were given, oldest first (up to the last
// 16): the order a caller frees what it owns, whatever the allocator does with the memory.
UE4SS_API std::vector<const void*> DestroyedValues();
UE4SS_API const EngineStats& Stats();
UE4SS_API const EngineOptions& Options();
// Switches silent events on or off while the engine runs.
UE4SS_API void SetSilentEvents(bool silent);

// Destroys everything of the previous engine (objects, types, hooks, tick callbacks) and
// starts a new one with the core types defined.
UE4SS_API void ResetEngine(const EngineOptions& options = {});
UE4SS_API bool EngineRunning();

// One engine frame: every tick callback runs once, in registration order.
UE4SS_API void TickEngine(float deltaSeconds);
UE4SS_API uint64 FrameNumber();

// Object life. Names default to "<Class>_<n>".
UE4SS_API UObject* NewObject(UClass* cls, UObject* outer, StringViewType name = {}, EObjectFlags flags = RF_NoFlags);
UE4SS_API UClass* FindClass(StringViewType path);
UE4SS_API UObject* FindObjectByPath(StringViewType path);
UE4SS_API void MarkPendingKill(UObject* object);
// Raises the begin-destroyed flag only: the object is on its way out but still in its slot.
UE4SS_API void BeginDestroy(UObject* object);
// Destroys at once: flags raised, values destroyed, the delete listeners told, the slot freed
// for reuse. The memory stays mapped in the engine's pool (under AddressSanitizer it is
// poisoned until a later object takes it) and the next object of its size gets it.
UE4SS_API void DestroyObject(UObject* object);
UE4SS_API std::size_t LiveObjectCount();
// Whether the address holds a live (not yet freed) object, found without reading it.
UE4SS_API bool HoldsObject(const void* address);
// Pads the object array with plain objects until it holds at least count objects, as a large
// game's would; every walk of the array then costs what it costs there.
UE4SS_API void PadObjectArray(std::size_t count);

// Objects the collector treats as referenced besides the root set (worlds, the viewport).
UE4SS_API void AddGarbageRoot(UObject* object);
UE4SS_API void RemoveGarbageRoot(UObject* object);
// Marks everything neither rooted nor reachable through object references as unreachable,
// then, with purge, destroys it. Returns how many objects became unreachable.
UE4SS_API std::size_t CollectGarbage(bool purge = true);
UE4SS_API std::size_t PurgeGarbage();
// The collection a frame makes every so often: marks, then purges incrementally (with
// EngineOptions::AsyncPurge, part of it on the purge thread while the frame goes on).
UE4SS_API void CollectGarbageInFrame();
// Waits until the purge thread has finished what it was handed (not while holding the engine).
UE4SS_API void FlushAsyncPurge();
// The engine's exit (FUObjectArray::ShutdownUObjectArray): every delete listener, newest first,
// hears that the object array ends; one still registered after that is a failed check ("All
// UObject delete listeners should be unregistered when shutting down the UObject array"),
// where the game stops with a fatal error.
UE4SS_API void ShutdownObjectArray();

// The loader's side of hooks.
// A refused registration answers the id given (the loader's refusals are not always -1).
UE4SS_API void RefuseHooksOn(UFunction* function, bool refuse = true, CallbackId answer = -1);
UE4SS_API void RefuseTickCallbacks(bool refuse);
// As a loader whose settings leave out its hooks of AActor::BeginPlay, AActor::EndPlay and
// UEngine::LoadMap (HookBeginPlay = 0 and so on): their callbacks cannot be registered.
UE4SS_API void RefuseLoaderCallbacks(bool refuse);
// After count more objects, StaticConstructObject answers null, as an engine out of memory or
// refusing a class would; a negative count (the default) never refuses.
UE4SS_API void RefuseConstructionAfter(int64 count);
UE4SS_API std::size_t ScriptHookCount();
// Tick callbacks registered and neither removed nor used up.
UE4SS_API std::size_t TickCallbackCount();
// Tick callables the loader still holds, removed ones it has not pruned yet included.
UE4SS_API std::size_t HeldTickCallbacks();
// The loader's callbacks registered on AActor::BeginPlay and AActor::EndPlay, and on
// UEngine::LoadMap, before and after together.
UE4SS_API std::size_t ActorCallbackCount();
UE4SS_API std::size_t MapCallbackCount();
// The options each tick callback was registered with, in registration order.
UE4SS_API std::vector<Hook::FCallbackOptions> TickCallbackOptions();
// How often the loader's collector thread prunes removed callbacks (3 s in the loader).
UE4SS_API void SetCallbackCollectorPeriod(std::chrono::milliseconds period);
// One pass of the collector over every registry now, on its thread; returns when it is done.
UE4SS_API void CollectStaleCallbacks();
} // namespace Sim
