// The simulated engine's own controls, for the simulator and the tests: start a fresh engine
// of a chosen version, run frames, make objects live and die, collect garbage, make the
// loader refuse hooks, and read the counters of host calls the mod made.
#pragma once

#include <Unreal/FProperty.hpp>
#include <Unreal/UClass.hpp>
#include <Unreal/UFunction.hpp>

#include <cstddef>
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
    uint64 InitializeValue = 0;
    uint64 CopyValue = 0;
    uint64 DestroyValue = 0;
};

// Which type FSlateFontInfo's "Size" has: engines before 5.0 keep an int32, later ones a float.
enum class FontSizeKind
{
    ByVersion,
    Int,
    Float,
};

struct EngineOptions
{
    int32 VersionMajor = 5;
    int32 VersionMinor = 1;
    FontSizeKind FontSize = FontSizeKind::ByVersion;
};

UE4SS_API HostCounters& Counters();
UE4SS_API void ResetCounters();

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
// Destroys at once: flags raised, values destroyed, the slot freed for reuse. The memory stays
// readable in the engine's pool and may be taken by a later object.
UE4SS_API void DestroyObject(UObject* object);
UE4SS_API std::size_t LiveObjectCount();

// Objects the collector treats as referenced besides the root set (worlds, the viewport).
UE4SS_API void AddGarbageRoot(UObject* object);
UE4SS_API void RemoveGarbageRoot(UObject* object);
// Marks everything neither rooted nor reachable through object references as unreachable,
// then, with purge, destroys it. Returns how many objects became unreachable.
UE4SS_API std::size_t CollectGarbage(bool purge = true);
UE4SS_API std::size_t PurgeGarbage();

// The loader's side of hooks.
UE4SS_API void RefuseHooksOn(UFunction* function, bool refuse = true);
UE4SS_API void RefuseTickCallbacks(bool refuse);
UE4SS_API std::size_t ScriptHookCount();
UE4SS_API std::size_t TickCallbackCount();
} // namespace Sim
