// The markers' arithmetic apart from the engine: where a world position lands in the frame,
// which group an icon type belongs to (whether it is drawn, how big, how important), and the
// look of the three kinds of AI diamonds.
#pragma once

#include "reflection/EngineValues.hpp"

#include <cstdint>

namespace Orv
{
// The map as one update draws it: the frame's size, the capture's width, the turn of the map
// and the pawn at its centre.
struct MapView
{
    double half = 0.0;  // half the picture's side inside the rims
    double scale = 0.0; // layout units per world unit
    double sinYaw = 0.0;
    double cosYaw = 1.0;
    double pawnX = 0.0;
    double pawnY = 0.0;
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
// Players before quests before resources before everything else.
int PriorityRank(std::uint8_t category);

// The marker canvas draws bottom up by these: resources and every other icon; the creatures'
// diamonds; quests; players; the game's waypoint; the compass letters. A marker the player
// needs is never hidden under one they need less.
inline constexpr std::int32_t kIconLayer = 0;
inline constexpr std::int32_t kDiamondLayer = 1;
inline constexpr std::int32_t kQuestLayer = 2;
inline constexpr std::int32_t kPlayerLayer = 3;
inline constexpr std::int32_t kWaypointLayer = 4;
inline constexpr std::int32_t kCompassLayer = 6;
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
