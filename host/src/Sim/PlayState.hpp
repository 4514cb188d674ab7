// The engine's C++ side of the game being played: each world's persistent level and its
// actors, each actor's components and whether they have begun play, each controller's
// possession and locality, worlds dying after travel, the viewport's widgets, the clock and
// what the engine observed of a mod. Held in the engine state, so a reset drops it all.
#pragma once

#include "Sim/ScreenTree.hpp"
#include "Sim/WorldScene.hpp"

#include <Sim/Input.hpp>
#include <Sim/World.hpp>

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Sim::Detail
{
// Not zero, so a mod that treats a zero clock reading as "never" is caught.
inline constexpr int64 kClockStartNanoseconds = 1000LL * 1000 * 1000 * 1000;

struct LevelRecord
{
    UObject* world = nullptr;
    std::vector<UObject*> actors;  // spawn order
    std::vector<UObject*> classes; // the blueprint classes the level uses, kept alive by it
};

struct ActorRecord
{
    UObject* level = nullptr;
    std::vector<UObject*> components;
    bool begunPlay = false;
    bool collisionEnabled = true;
    bool tickEnabled = true;
    UObject* attachParent = nullptr; // the actor this one is attached to
    double velocity[3] = {0, 0, 0};
};

// A render target's pixels, RGBA8, rows from the top.
struct RenderTargetPixels
{
    int32 width = 0;
    int32 height = 0;
    std::vector<uint8> rgba;
    uint64 made = 0; // the engine's count of render targets when this one was made
};

struct ComponentRecord
{
    UObject* owner = nullptr;
    bool begunPlay = false;
};

struct ControllerRecord
{
    UObject* pawn = nullptr; // what GetPawn answers, kept apart from the "Pawn" property
    bool local = false;      // decided when the controller got its local player
    // AController's IgnoreMoveInput and IgnoreLookInput: counts of the calls that asked for
    // the input to be ignored, less those that gave it back.
    uint8 ignoreMove = 0;
    uint8 ignoreLook = 0;
    InputMode inputMode = InputMode::Unchanged;
    int flushes = 0; // FlushPressedKeys on its player input
};

// The map data objects a world has from its creation, and the actors spawned for it on
// first ask; found by the world and dropped with it.
struct MapWorldRecord
{
    UObject* subsystem = nullptr; // GameplayObjectSubsystem
    UObject* tracker = nullptr;   // MapTracker, when the build has one
    UObject* mapUi = nullptr;     // MapUIAPI
    UObject* poi = nullptr;       // PoiDiscoverySystem
    UObject* registry = nullptr;  // the GameplayObjectRegistry actor
    UObject* poiActor = nullptr;  // the PoiDiscoverySystemActor
};

// A user widget's place among the viewport's layers: the z-order a script asked for, and the
// layer the viewport client put it at.
struct ViewportLayer
{
    int32 zOrder = 0;
    int32 layer = 0;
};

struct DyingWorld
{
    UObject* world = nullptr;
    int framesLeft = 0;
};

struct PlayState
{
    int64 clockNanoseconds = kClockStartNanoseconds;
    int64 garbagePeriodNanoseconds = 0;
    int64 nextGarbageCollection = 0;

    std::unordered_map<const UObject*, UObject*> persistentLevels; // world → level
    std::unordered_map<const UObject*, LevelRecord> levels;
    // Streamed levels (sublevels, World Partition cells): each is the level of a world object
    // of its own, owned by the world it was streamed into.
    std::unordered_map<const UObject*, std::vector<UObject*>> streamedLevels; // owning world → streamed worlds
    std::unordered_map<const UObject*, UObject*> streamedInto;               // streamed world → owning world
    std::unordered_map<const UObject*, ActorRecord> actors;
    std::unordered_map<const UObject*, ComponentRecord> components;
    std::unordered_map<const UObject*, ControllerRecord> controllers;
    std::unordered_map<const UClass*, std::vector<DefaultComponent>> defaultComponents;
    std::vector<DyingWorld> dying;
    std::unordered_map<const UObject*, UObject*> aiSubsystems; // world → its AI subsystem
    std::unordered_map<const UObject*, UObject*> timeSubsystems; // world → its in-game time
    std::unordered_map<const UObject*, RenderTargetPixels> renderTargets;
    uint64 renderTargetsMade = 0;
    // Texture2D assets' pixels, drawn where a brush names them.
    std::unordered_map<const UObject*, RenderTargetPixels> textures;
    std::unordered_map<const UObject*, MapWorldRecord> mapWorlds;
    // Map-icon components in a tracker's list → that tracker.
    std::unordered_map<const UObject*, UObject*> trackedIcons;
    std::vector<PendingCapture> pendingCaptures;
    std::unordered_map<const UObject*, SceneRecord> scenes; // world → what is in it
    // Capture component → where it was when the engine last looked, for capture on movement.
    std::unordered_map<const UObject*, Placement> captureMoves;
    // Capture component → the show flags the renderer draws it with, copied from its settings
    // when it registered (and, from 5.5, by SetShowFlagSettings).
    std::unordered_map<const UObject*, CaptureShowFlags> captureShowFlags;
    std::unordered_set<const UObject*> playing;  // worlds whose actors are initialised
    std::unordered_set<const UObject*> tornDown; // worlds being torn down: their actors run nothing
    std::vector<UObject*> viewport; // in the order added
    std::unordered_map<const UObject*, ViewportLayer> viewportLayers;
    ScreenCopies screen;
    std::unordered_map<const UObject*, UObject*> widgetOwners; // user widget → owning player
    int32 viewportWidth = 1920;
    int32 viewportHeight = 1080;
    std::optional<float> viewportScale; // set by a test; otherwise the DPI curve's
    std::array<bool, 256> keysDown{};
    Foreground foreground = Foreground::Game; // a game starts focused
    bool mouseOverViewport = false;
    double mouseX = 0;
    double mouseY = 0;
    bool gameViewportFocused = true; // the game viewport has the keyboard focus
    UObject* localPlayer = nullptr;
    Observed observed;

    // Drops every record of an object the engine is freeing, and every link to it.
    void Forget(const UObject* object);
};

// A world's levels: its persistent level, then those streamed into it, in streaming order.
std::vector<UObject*> LevelsOfWorld(const UObject* world);

// One frame of the worlds, after the clock moved and before the tick callbacks: dying worlds
// end play and die, and garbage is collected when its period is due.
void StepWorlds();

// The native bodies of the game's script functions.
UObject* PossessedPawn(const UObject* controller);
bool IsLocalController(const UObject* controller);
bool IsActorBeingDestroyed(const UObject* actor);
UObject* ComponentOwner(const UObject* component);
// What a component's class does as it registers with its world (OnRegister).
void ComponentRegistered(UObject* component);
void AddToViewport(UObject* widget, int32 zOrder);
void RemoveFromParent(UObject* widget);
// UGameViewportClient::AddViewportWidgetContent: the user widget's screen at that layer.
void AddToViewportLayer(UObject* widget, int32 zOrder, int32 layer);

// The map data's part in a world's life: its objects made with the world (and kept by it),
// a player character pointed at the registry as it begins play, map-icon components entering
// and leaving their world's tracker, and a local controller's components handed to the
// world's MapUIAPI.
void CreateMapObjects(UObject* world, std::vector<UObject*>& keep);
void MapActorBegins(UObject* actor);
void TrackMapIcon(UObject* component, bool playing);
void NoteLocalController(UObject* controller);
// AController::ResetIgnoreInputFlags: both counters back to the class default's, none.
void ResetIgnoreInputFlags(UObject* controller);
// A freed object leaves the map data's records and its tracker's list, as the collector
// clears references to what it frees.
void ForgetMapObject(PlayState& play, const UObject* object);
// The bodies of MapUIAPI's PlaceWaypoint and ClearWaypoint.
void PlaceWaypointBody(Call& call);
void ClearWaypointBody(Call& call);
} // namespace Sim::Detail

namespace Sim
{
// AActor::AttachToActor with KeepWorldTransform: the child's root joins the parent's root.
void AttachRoot(UObject* child, UObject* parent);
// What UWorld::DestroyActor does first: every actor attached to this one is detached, keeping
// its place in the world.
void DetachChildren(UObject* parent);
} // namespace Sim
