// The game as it plays: the simulated clock, worlds, game instances, player controllers,
// pawns, actors and components that begin and end play (so the game's hooks fire), world
// travel, respawn and the main menu. What the engine observed of a mod (viewport widgets,
// capture actors) is counted here too, for the simulator's report.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Types.hpp>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace Sim
{
// The monotonic clock the platform's performance counter reads. TickEngine advances it by
// the frame's delta before the frame's callbacks run, so runs are deterministic.
UE4SS_API int64 ClockNanoseconds();
UE4SS_API void AdvanceClock(int64 nanoseconds);

// The engine collects garbage on its own every period of clock time (checked once a frame);
// 0, the default after ResetEngine, leaves collection to explicit CollectGarbage calls.
UE4SS_API void SetGarbageCollectionPeriod(int64 nanoseconds);

// A world with its persistent level, kept alive by the engine until it is left by travel or
// destroyed. Its path is "/Game/Maps/<mapName>.<mapName>". A world that has not begun play
// (a map being loaded) holds actors that have not begun play, and they run no script.
UE4SS_API UWorld* CreateWorld(StringViewType mapName, bool beginPlay = true);
// The world's actors are initialised and begin play; spawned actors then begin at once.
UE4SS_API void BeginWorldPlay(UWorld* world);
UE4SS_API bool WorldHasBegunPlay(UWorld* world);
// A level streamed into the world, as a sublevel or a World Partition cell is: its own package
// "/Game/Maps/<name>" holding a world object of its own with the level inside it, owned by the
// given world, kept by it and ending with it. Returns the level's own world, which SpawnActor
// takes to spawn into the level; its actors begin play with the owning world. The engine's
// UObject::GetWorld answers the owning world for everything in the level, while the first
// world among an actor's outers is the level's own. Null for a world that is itself streamed
// or is being left.
UE4SS_API UWorld* StreamLevel(UWorld* owner, StringViewType name);
// A blueprint class that only this level uses: it dies with the level unless another one
// uses it too. Returns the class already defined under that path, now used by this level too.
UE4SS_API UClass* DefineLevelClass(UWorld* world, ClassDef def);
// Every level's actors, the persistent level's first, as an actor iterator walks the world.
UE4SS_API std::vector<UObject*> ActorsOf(UWorld* world);
UE4SS_API UObject* PersistentLevelOf(UWorld* world);

// A game instance whose GetWorld() answers the given world; umbrafel picks the game's own
// class ("UmbrafelGameInstance") over the engine's ("GameInstance").
UE4SS_API UObject* CreateGameInstance(UWorld* world, bool umbrafel = true);
// The same of a class of the game's own, a blueprint's as a shipped game's is; null for a
// class that is no game instance class.
UE4SS_API UObject* CreateGameInstanceOf(UWorld* world, UClass* cls);
UE4SS_API void SetGameInstanceWorld(UObject* gameInstance, UWorld* world);

enum class ControllerKind
{
    Menu,  // "UmbrafelPlayerControllerMenu"
    Game,  // "UmbrafelPlayerController"
    Base,  // "UmbrafelPlayerControllerBase"
    Plain, // the engine's "PlayerController"
};

// A player controller in the world; a local one answers IsLocalController true and has the
// engine's one local player in its "Player" property.
UE4SS_API UObject* CreatePlayerController(UWorld* world, ControllerKind kind, bool local = true);
UE4SS_API UObject* LocalPlayer();

// Components an actor class creates in its constructor: the property gets a new component of
// the class, named name. A subclass's entry for a property replaces its super class's.
struct DefaultComponent
{
    std::wstring property;
    std::wstring classPath;
    std::wstring name;
};
UE4SS_API void SetDefaultComponents(UClass* actorClass, std::vector<DefaultComponent> components);

struct Placement
{
    double x = 0, y = 0, z = 0;
    double yaw = 0;
    double pitch = 0, roll = 0;
};

// Spawns into the world and begins play, so begin-play hooks fire.
UE4SS_API UObject* SpawnActor(UWorld* world, UClass* cls, const Placement& placement = {}, StringViewType name = {});
UE4SS_API UObject* SpawnActor(UWorld* world, StringViewType classPath, const Placement& placement = {},
                              StringViewType name = {});
// As SpawnActor, with prepare run on the new actor before it begins play: what the game's
// deferred spawn sets up (its data, its components' settings).
UE4SS_API UObject* SpawnActorWith(UWorld* world, UClass* cls, const Placement& placement,
                                  const std::function<void(UObject*)>& prepare);
// As the engine destroys an actor: it is marked being destroyed (IsActorBeingDestroyed
// answers true from here on), a possessed pawn is unpossessed, the actor and then its
// components end play (end-play pre-hooks see them live and still in their world), and only
// then are they marked pending kill and taken out of the world; the collector frees them.
UE4SS_API void DestroyActor(UObject* actor);
// A component owned by the actor; begins play.
UE4SS_API UObject* AddComponent(UObject* owner, StringViewType classPath, StringViewType name = {});
// As AddComponent, with prepare run on the new component before it begins play.
UE4SS_API UObject* AddComponentWith(UObject* owner, StringViewType classPath, const std::function<void(UObject*)>& prepare);
UE4SS_API void DestroyComponent(UObject* component);
// UActorComponent::ReregisterComponent: the component is unregistered and registered again, so
// what the engine copies from its properties when it registers (a capture's show flags) is
// copied anew, as after an edit of the component in the editor.
UE4SS_API void ReregisterComponent(UObject* component);
// A child actor component on the owner with its child actor of the class, spawned where the
// owner stands, owned by it and attached to it (UChildActorComponent::CreateChildActor).
// Returns the child actor.
UE4SS_API UObject* AddChildActor(UObject* owner, StringViewType classPath);
UE4SS_API std::vector<UObject*> ComponentsOf(UObject* actor);

struct EnteredPlayer
{
    UObject* controller = nullptr;
    UObject* pawn = nullptr;
};
// This machine's player entering the world: a local "UmbrafelPlayerController" possessing a
// new "UmbrafelPlayerCharacter" at the placement.
UE4SS_API EnteredPlayer EnterLocalPlayer(UWorld* world, const Placement& placement = {});

// Sets the controller's "Pawn" and what its GetPawn answers.
UE4SS_API void Possess(UObject* controller, UObject* pawn);
// The new player character: spawned, possessed, and the old pawn destroyed.
UE4SS_API UObject* Respawn(UObject* controller, const Placement& placement = {});

UE4SS_API void SetActorPlacement(UObject* actor, const Placement& placement);
UE4SS_API Placement ActorPlacement(UObject* actor);
// As SetActorEnableCollision and SetActorTickEnabled left the actor; false for no actor.
UE4SS_API bool ActorCollides(UObject* actor);
UE4SS_API bool ActorTicks(UObject* actor);

// A map load, all of it before the next frame's tick callbacks, in the engine's order: the old
// world's viewport widgets are removed and its actors end play; everything inside it is marked
// pending kill, rooted objects too (each a failed check, see FailCheck); the game instance's
// K2_OnWorldChanged(old world, null) runs; a full collection with purge frees what nothing
// reachable keeps (a reachable object keeps its outer chain, pending kill or not); then
// K2_OnWorldChanged(null, new world) runs and the new world begins play.
UE4SS_API void Travel(UObject* gameInstance, UWorld* to);
// Seamless travel: the game instance moves to the new world and its K2_OnWorldChanged(old,
// new) fires once (its GetWorld already answers the new world). Over the next dyingFrames
// frames the old world's actors end play, still live; on the last of them everything in the
// old world is marked pending kill, the world stops being kept alive, and garbage is
// collected. With dyingFrames 0 all of that happens at once.
UE4SS_API void TravelSeamless(UObject* gameInstance, UWorld* to, int dyingFrames = 3);

// Object-typed properties by name, for tests that break what the engine keeps consistent
// (a controller's "Pawn" nulled while GetPawn still answers). False or null when the
// object has no object property of that name.
UE4SS_API bool SetObjectReference(UObject* object, StringViewType property, UObject* value);
UE4SS_API UObject* ObjectReference(const UObject* object, StringViewType property);

// Widgets in the game viewport, kept alive by it until they are removed from it.
UE4SS_API std::vector<UObject*> ViewportWidgets();
// UGameViewportClient::RemoveAllViewportWidgets, as a game calls it when it resets its UI: every
// widget leaves the viewport, and whatever nothing else holds is the collector's.
UE4SS_API void RemoveAllViewportWidgets();
// Worlds still in the object array (class defaults aside), torn down or not.
UE4SS_API std::size_t LiveWorldCount();

// What the engine saw a mod do, for reports and integration tests.
struct Observed
{
    uint64 addToViewport = 0;    // widgets added to the game viewport
    uint64 removeFromParent = 0; // widgets removed again
    uint64 removedByEngine = 0;  // widgets a map load took out of the viewport
    uint64 captureActorsSpawned = 0;
    uint64 captureActorsDestroyed = 0; // taken out of the world, by the mod or by its world's end
    uint64 captureScenes = 0;          // CaptureScene calls
    // At the last CaptureScene call, the capture's height over the local player's pawn; NaN
    // when there was no pawn.
    double lastCaptureHeight = std::numeric_limits<double>::quiet_NaN();
    // Captures the engine took by itself, for components left to capture every frame or on
    // every move.
    uint64 automaticCaptures = 0;
    // Objects of widget classes made through StaticConstructObject.
    uint64 widgetsConstructed = 0;
    // Activate calls that activated a component (not those on an active one without a reset).
    uint64 componentActivations = 0;
};
UE4SS_API Observed& Observations();
} // namespace Sim
