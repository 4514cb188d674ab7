// The markers' arithmetic apart from the engine: where a world position lands in the frame,
// which group an icon type belongs to (whether it is drawn, how big, how important), and the
// look of the three kinds of AI diamonds.
#pragma once

#include "reflection/EngineValues.hpp"

#include <cstdint>

namespace Orv
{
// The map as one update draws it: the frame's size, the capture's width, the turn of the map
// and the pawn at its centre (its height tells the floor it stands on).
struct MapView
{
    double half = 0.0;  // half the picture's side inside the rims
    double scale = 0.0; // layout units per world unit
    double sinYaw = 0.0;
    double cosYaw = 1.0;
    double pawnX = 0.0;
    double pawnY = 0.0;
    double pawnZ = 0.0;
    bool circular = true;
};

// size: the map size S; zoom: the orthographic width Z; yaw in degrees (0 when unturned).
MapView MakeMapView(double size, double zoom, double yawDegrees, double pawnX, double pawnY, bool circular);

struct MapPoint
{
    bool inside = false;
    double right = 0.0; // layout units right of the centre
    double down = 0.0;  // layout units below the centre
};

// World +X is up on the unturned map and +Y is right. A point is inside when it lies within
// margin of the disc's or square's edge.
MapPoint ProjectToMap(const MapView& view, double x, double y, double margin);
// Whether a marker reaching this far from its centre lies wholly inside the picture.
bool FitsInside(const MapView& view, const MapPoint& point, double reach);
// A point beyond the edge brought in along its direction from the centre until a marker
// reaching this far fits just inside: on the disc's rim, or on the square's edge it points at.
MapPoint PinToRim(const MapView& view, const MapPoint& point, double reach);

// A marker this much above or below the pawn stands on another floor: a cave under the
// fields, a house's upper storey.
inline constexpr double kOtherFloorHeight = 400.0;
bool OnOtherFloor(const MapView& view, double z);
// How much of its opacity a marker of another floor keeps when dimmed.
inline constexpr float kOtherFloorOpacity = 0.5f;

// Top-left of a marker slot of half-side halfSlot centred on the point.
inline Vector2d SlotPosition(const MapView& view, const MapPoint& point, double halfSlot)
{
    return {point.right + view.half - halfSlot, point.down + view.half - halfSlot};
}

enum class IconGroup : std::uint8_t
{
    Never,   // the local player's own type: the arrow shows it
    Players,
    Quests,
    Resources,
    Pois,
};

// The game's icon type for its own waypoint.
inline constexpr std::uint8_t kWaypointCategory = 10;

IconGroup GroupOf(std::uint8_t category);
// The game's waypoint and other players stay on the rim beyond the edge (EdgePins).
bool PinsToRim(std::uint8_t category);
// Players before quests before resources before everything else. With waypointWithPlayers the
// game's waypoint ranks with the players: pinned to the rim it is drawn however crowded the
// frame is.
int PriorityRank(std::uint8_t category, bool waypointWithPlayers);

// The marker canvas draws bottom up by these: resources and every other icon; the creatures'
// diamonds; quests; players; the game's waypoint; markers pinned to the rim; the compass
// letters. A marker the player needs is never hidden under one they need less.
inline constexpr std::int32_t kIconLayer = 0;
inline constexpr std::int32_t kDiamondLayer = 1;
inline constexpr std::int32_t kQuestLayer = 2;
inline constexpr std::int32_t kPlayerLayer = 3;
inline constexpr std::int32_t kWaypointLayer = 4;
inline constexpr std::int32_t kRimPinLayer = 6;
inline constexpr std::int32_t kCompassLayer = 7;
std::int32_t LayerOf(std::uint8_t category);
// The icon's render scale: its size against the 32-unit slot, the group's multiplier and clamp,
// then the points-of-interest scale for every group but players (which may pass the clamp).
float IconScale(float iconSize, IconGroup group, float poiIconScale);

inline constexpr std::uint8_t kDiamondOther = 0;
inline constexpr std::uint8_t kDiamondHostile = 1;
inline constexpr std::uint8_t kDiamondBoss = 2;

std::uint8_t DiamondKindOf(bool boss, bool hasArchetype, std::uint8_t archetype);

struct DiamondLook
{
    float r, g, b;
    float scale;
};
DiamondLook DiamondLookOf(std::uint8_t kind);
} // namespace Orv
