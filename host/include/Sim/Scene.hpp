// What a capture sees and what the game's queries answer, for scenarios and tests: each
// world's scene (ground, buildings, dungeons), the time of day, the pixels a render target
// holds, and the actors' attachments, velocities and control rotations that the capture
// camera reads.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/World.hpp>

#include <filesystem>
#include <vector>

namespace Sim
{
struct RenderTargetImage
{
    int32 width = 0;
    int32 height = 0;
    std::vector<uint8> rgba; // rows from the top, four bytes a pixel
};
// False when the object is no render target the engine made.
UE4SS_API bool ReadRenderTarget(const UObject* renderTarget, RenderTargetImage& out);
// What the render target holds, as an RGBA PNG. False when the object is no render target,
// the file cannot be written, or this build has no PNG support (the Windows one).
UE4SS_API bool WriteRenderTargetPng(const UObject* renderTarget, const std::filesystem::path& path);
// A picture as a PNG; false when it cannot be written or this build has no PNG support.
UE4SS_API bool WriteImagePng(const RenderTargetImage& image, const std::filesystem::path& path);
// The engine's own look at a world, as a capture straight down from the camera's place with
// its heading up would draw it (default show flags, nothing hidden), but lit as by day in
// caves and at night too: for people to see a scene whatever a mod captures. False for
// anything but a live world.
UE4SS_API bool DrawOverview(UWorld* world, const Placement& camera, double width, int32 size, RenderTargetImage& out);
// Every render target the engine holds pixels for, oldest first.
UE4SS_API std::vector<UObject*> RenderTargets();
// The live 2-D capture components, in no particular order.
UE4SS_API std::vector<UObject*> CaptureComponents();
// The render targets that live 2-D capture components draw into, oldest first.
UE4SS_API std::vector<UObject*> CaptureTargets();
// The show flags the renderer holds off for a capture component, in the order its settings
// gave them: what its registration (or, from engine 5.5, SetShowFlagSettings) copied from its
// ShowFlagSettings, whatever those hold now.
UE4SS_API std::vector<std::wstring> CaptureShowFlagsOff(const UObject* component);

// Night falls or day breaks in the world now: its time subsystem notifies the game
// (OnDayOrNightChangedDynamic) when the state changes.
UE4SS_API void SetNight(UWorld* world, bool night);
UE4SS_API bool IsNight(UWorld* world);
// A day of the given length on the engine clock, starting now with morning: the last
// nightShare of each day is night. The engine flips the world's night state as the clock
// passes dusk and dawn, each flip notifying the game once. 0 seconds stops the cycle.
UE4SS_API void SetDayLength(UWorld* world, double seconds, double nightShare = 0.5);

UE4SS_API void AttachActor(UObject* child, UObject* parent);
UE4SS_API void SetActorVelocity(UObject* actor, double x, double y, double z);
UE4SS_API void SetControlRotation(UObject* controller, double pitch, double yaw, double roll);

// The scene. A world nobody set a scene for has flat grass at height 0 and nothing else.
// Everything is in world units; Z is up; surfaces block traces from either side.
struct Colour
{
    uint8 r = 0, g = 0, b = 0;
};

// An axis-aligned rectangle in X and Y, edges included.
struct Area
{
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool Contains(double x, double y) const { return x >= minX && x <= maxX && y >= minY && y <= maxY; }
    bool Empty() const { return !(maxX > minX && maxY > minY); }
};

// Heights above originZ on a square grid: sample (column, row) lies at (originX + column ×
// cellSize, originY + row × cellSize); between samples the ground is interpolated, beyond the
// grid the edge samples carry on. A grid without samples is flat ground at originZ.
struct TerrainBand
{
    double below = 0; // world heights under this take the colour (bands by rising height)
    Colour colour;
};
struct Terrain
{
    double originX = 0, originY = 0, originZ = 0;
    double cellSize = 100;
    int32 columns = 0, rows = 0;
    std::vector<float> heights; // row by row, rows × columns
    // Heights above the last band take its colour; no bands: grass everywhere.
    std::vector<TerrainBand> bands;
};
// Gentle hills covering ±halfExtent around the origin, within ±hillHeight of 0, with sand in
// the hollows, grass and rock on the tops. The same seed makes the same hills.
UE4SS_API Terrain RollingHills(double halfExtent, double cellSize, double hillHeight, uint64 seed);
UE4SS_API void SetTerrain(UWorld* world, Terrain terrain);
UE4SS_API double GroundHeight(UWorld* world, double x, double y);

// A rectangular house: a floor, walls of the given thickness inside the footprint's edges
// (with a door in the middle of the wall at minY, unless doorWidth is 0) and a flat roof
// covering the footprint.
struct Building
{
    Area footprint;
    double floorZ = 0;
    double roofZ = 450;
    Colour wall{150, 120, 95};
    Colour roof{170, 60, 45};
    Colour floor{125, 95, 65};
    double wallThickness = 30;
    double doorWidth = 220;
    double doorHeight = 250;
};
UE4SS_API void AddBuilding(UWorld* world, const Building& building);

// A cave below ground: a floor over the region, ceilings at their own heights over parts of
// it, and an upper level (its floor and its ceiling over its own area) above.
struct CeilingArea
{
    Area area;
    double z = 0;
};
struct Dungeon
{
    Area region;
    double floorZ = -3000;
    std::vector<CeilingArea> ceilings;
    Area upperArea;             // empty: no upper level
    double upperFloorZ = 0;
    double upperCeilingZ = 0;   // at or below upperFloorZ: the upper level has no ceiling of its own
    Colour floor{95, 85, 75};
    Colour ceiling{60, 55, 50};
    Colour upperFloor{120, 105, 85};
};
UE4SS_API void AddDungeon(UWorld* world, const Dungeon& dungeon);

// The game's queries, as the engine answers them to a mod.
struct TraceResult
{
    bool hit = false;
    double x = 0, y = 0, z = 0;
};
// The first surface along the segment; a segment that starts inside a wall hits at its start.
UE4SS_API TraceResult TraceLine(UWorld* world, double startX, double startY, double startZ, double endX, double endY,
                                double endZ);
// Inside a dungeon's region, under the ground there.
UE4SS_API bool InsideDungeon(UWorld* world, double x, double y, double z);
// The share of a small ring around the point (and the point itself) that has a roof or a
// ceiling over it: 0 in the open, 1 well inside a house or a cave.
UE4SS_API float ShelterScore(UWorld* world, double x, double y, double z);
// What one stands on at (x, y) from height z: the highest floor or ground no more than a step
// above z. NaN when there is none (in the rock outside a cave).
UE4SS_API double FloorBelow(UWorld* world, double x, double y, double z);
} // namespace Sim
