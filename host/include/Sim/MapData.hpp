// The game's map data as a minimap reads it, for scenarios and tests to set up and change:
// icon textures and their styles, the gameplay-tag table, each world's gameplay object
// registry (players, gravestones, lodestones, beds, landmarks, dungeons), the points of
// interest still to discover, the local player's revealed landmarks, waypoint and character
// guid, the map tracker with its map-icon components, and creatures with their data.
// Everything goes through the game's own members and events, so a mod sees what a game's
// replication would leave there.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Scene.hpp>
#include <Sim/World.hpp>

#include <string>
#include <vector>

namespace Sim
{
// The game's icon types that carry a meaning of their own.
namespace MapIconType
{
inline constexpr uint8 None = 0;
inline constexpr uint8 LocalPlayer = 1;
inline constexpr uint8 OtherPlayer = 2;
inline constexpr uint8 Gravestone = 3;
inline constexpr uint8 Lodestone = 4;
inline constexpr uint8 Bed = 5;
inline constexpr uint8 Landmark = 6;
inline constexpr uint8 Village = 7;
inline constexpr uint8 Dungeon = 8;
inline constexpr uint8 Camp = 9;
inline constexpr uint8 Waypoint = 10;
inline constexpr uint8 QuestMain = 11;  // 11 to 16 and 51 to 53 are quests
inline constexpr uint8 Cave = 17;
inline constexpr uint8 Ruins = 18;
inline constexpr uint8 Shrine = 20;
inline constexpr uint8 Portal = 22;
inline constexpr uint8 FirstResource = 23; // 23 to 49 are resources
inline constexpr uint8 LastResource = 49;
inline constexpr uint8 QuestTracked = 51;
} // namespace MapIconType

struct Guid
{
    uint32 a = 0, b = 0, c = 0, d = 0;
    bool operator==(const Guid&) const = default;
    bool IsValid() const { return (a | b | c | d) != 0; }
};

struct MapPoint
{
    double x = 0, y = 0, z = 0;
};

struct LinearColour
{
    float r = 1, g = 1, b = 1, a = 1;
};

// ---- Textures ----

// A Texture2D asset of RGBA8 pixels (rows from the top) under /Game/UI/Map/Icons, rooted as a
// loaded asset is kept. Null when the sizes do not match the pixels.
UE4SS_API UObject* MakeTexture(StringViewType name, int32 width, int32 height, std::vector<uint8> rgba);
// The game's own icon textures by short name ("T_MapIcon_Arrow"); null when there is none.
UE4SS_API UObject* GameTexture(StringViewType name);
// The pixels of a Texture2D the engine holds; false for anything else.
UE4SS_API bool ReadTexture(const UObject* texture, RenderTargetImage& out);

// ---- Styles and the tag table ----

// The game's MapIconDisplayInfoCollection asset.
UE4SS_API UObject* MapIconStyles();
// The MapSettings class default object holding GameplayTagToMapIconType.
UE4SS_API UObject* MapSettingsDefaults();
struct MapIconStyle
{
    UObject* texture = nullptr;
    LinearColour tint;
    float iconSize = 0;
    float rotationOffset = 0;
};
// What the collection's MapIcons say for a type; false when it has no entry.
UE4SS_API bool StyleOf(uint8 type, MapIconStyle& out);
// Adds or replaces a type's entry, or takes it out (leaving a hole in the map).
UE4SS_API void SetStyle(uint8 type, const MapIconStyle& style);
UE4SS_API bool RemoveStyle(uint8 type);
// The tag table: adds or replaces a tag's type, or takes it out.
UE4SS_API void MapTagToIconType(StringViewType tag, uint8 type);
UE4SS_API bool UnmapTag(StringViewType tag);

// ---- Per world ----

// The world's GameplayObjectRegistry actor, spawned on first ask (then the world's
// GameplayObjectSubsystem, its MapUIAPI and its player characters point at it); null for a
// world that is not live.
UE4SS_API UObject* GameplayObjectRegistryOf(UWorld* world);
// Objects every world has from its creation, outer in the world: null when the build lacks
// the class (a game without a map tracker has none).
UE4SS_API UObject* GameplayObjectSubsystemOf(UWorld* world);
UE4SS_API UObject* MapTrackerOf(UWorld* world);
UE4SS_API UObject* MapUIAPIOf(UWorld* world);
UE4SS_API UObject* PoiDiscoverySystemOf(UWorld* world);
// The world's PoiDiscoverySystemActor, spawned on first ask.
UE4SS_API UObject* PoiDiscoverySystemActorOf(UWorld* world);

// The registry's arrays. Each change fires the array's OnRep event on the registry, as
// replication does; players are found again by their guid, the others by their index.
UE4SS_API void AddRegistryPlayer(UWorld* world, const Guid& character, const MapPoint& at, const LinearColour& colour,
                                 StringViewType name = {});
UE4SS_API bool MoveRegistryPlayer(UWorld* world, const Guid& character, const MapPoint& at);
UE4SS_API bool RemoveRegistryPlayer(UWorld* world, const Guid& character);
UE4SS_API void AddGravestone(UWorld* world, const Guid& owner, const MapPoint& at);
UE4SS_API void AddLodestone(UWorld* world, const MapPoint& at);
UE4SS_API void AddBed(UWorld* world, const Guid& claimedBy, const MapPoint& at);
UE4SS_API void AddLandmark(UWorld* world, StringViewType internalName, StringViewType tag, const MapPoint& at,
                           bool needsDiscovery);
UE4SS_API void AddDungeonEntrance(UWorld* world, const Guid& identifier, StringViewType tag, const MapPoint& entrance,
                                  bool needsDiscovery);
// Removes element index of a registry array ("Gravestones", "Beds", ...) and fires its OnRep.
UE4SS_API bool RemoveRegistryEntry(UWorld* world, StringViewType array, int32 index);
// Entries in a registry array; 0 when there is no registry or no such array.
UE4SS_API int32 RegistryCount(UWorld* world, StringViewType array);

// A dungeon listed in the world's PoiDiscoverySystem is not discovered yet; discovering it
// takes it off the list and notifies the PoiDiscoverySystemActor.
UE4SS_API void AddDiscoverableDungeon(UWorld* world, const Guid& identifier);
UE4SS_API bool DiscoverDungeon(UWorld* world, const Guid& identifier);

// ---- The local player ----

// The character guid the controller answers IsCharacterGuidEqual against.
UE4SS_API void SetCharacterGuid(UObject* controller, const Guid& character);
UE4SS_API Guid CharacterGuidOf(UObject* controller);
// Adds the name to the controller's RevealedMapIconsComponent and tells it through
// Client_UpdateRevealedLandmark; Forget takes it out again (leaving a hole in the set).
UE4SS_API bool RevealLandmark(UObject* controller, StringViewType internalName);
UE4SS_API bool ForgetLandmark(UObject* controller, StringViewType internalName);
UE4SS_API std::vector<std::wstring> RevealedLandmarks(UObject* controller);
// Through the world's MapUIAPI, as the map screen does: the waypoint actor of the local
// player's MapCustomizationComponent is replaced by a new one, or cleared to null.
UE4SS_API UObject* PlaceWaypoint(UWorld* world, const MapPoint& at);
UE4SS_API void ClearWaypoint(UWorld* world);
UE4SS_API UObject* CurrentWaypoint(UObject* controller);

// ---- Creatures and map-icon components ----

// A creature of the class (UmbrafelAICharacter by default) whose LoadedData is the shared
// AICharacterData asset for the pair; it joins its world's AI set as it begins play.
UE4SS_API UObject* SpawnCreature(UWorld* world, const Placement& at, bool boss, uint8 archetype, UClass* cls = nullptr);
UE4SS_API UObject* CreatureData(bool boss, uint8 archetype);
// A MapIconComponent on the actor, offset from its root; it enters the world's tracker as it
// begins play and leaves as it ends play.
struct MapIconSetup
{
    std::wstring category;
    UObject* texture = nullptr;
    bool visible = true;
    MapPoint offset;
    float size = 24;
};
UE4SS_API UObject* AddMapIconComponent(UObject* actor, const MapIconSetup& setup);
// The components the world's tracker lists, in its order.
UE4SS_API std::vector<UObject*> TrackedMapIcons(UWorld* world);
// Where K2_GetComponentLocation puts a scene component: its parents' placements, each turned
// by its yaw, applied to its relative location.
UE4SS_API MapPoint ComponentWorldLocation(UObject* component);
} // namespace Sim
