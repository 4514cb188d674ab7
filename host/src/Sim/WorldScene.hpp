// The engine side of what a capture sees and what traces hit: each world's scene (ground,
// buildings, the dungeon) as the surfaces and solids it is made of, the time of day, and
// drawing a capture component's view into its render target.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Scene.hpp>

#include <string>
#include <vector>

namespace Sim::Detail
{
// A horizontal surface of no thickness: a floor, a roof, a ceiling.
struct Slab
{
    Area area;
    double z = 0;
    Colour colour;
    bool roof = false; // shelters what is under it (floors count too: the storey above's floor)
};

// A solid box: a wall, a lintel.
struct Block
{
    Area area;
    double minZ = 0, maxZ = 0;
    Colour colour;
};

// A building's shadow on what lies lower beside it.
struct ShadowCaster
{
    Area footprint;
    double topZ = 0;
    double height = 0;
};

struct DayCycle
{
    int64 lengthNanoseconds = 0; // 0: no cycle
    int64 startNanoseconds = 0;
    double nightShare = 0.5;
};

struct SceneRecord
{
    Terrain terrain;
    // Per terrain sample, its height and its colour packed as 0x00BBGGRR side by side, so
    // drawing reads one place per pixel and looks up no band.
    struct GroundSample
    {
        float height;
        uint32 colour;
    };
    std::vector<GroundSample> ground;
    std::vector<Slab> slabs;
    std::vector<Block> blocks;
    std::vector<ShadowCaster> shadows;
    std::vector<Dungeon> dungeons;
    DayCycle day;
};

// A world's scene; open ground for a world nobody built one for.
const SceneRecord& SceneOf(const UObject* world);
bool HasGrid(const Terrain& terrain);
// The ground's height at a point, between the samples as the engine's height fields are.
double GroundAt(const Terrain& terrain, double x, double y);

struct TraceHit
{
    bool hit = false;
    double x = 0, y = 0, z = 0;
};

// The first surface the segment meets, going from start to end.
TraceHit TraceSegment(const UObject* world, const double (&start)[3], const double (&end)[3]);
bool InsideDungeon(const UObject* world, double x, double y, double z);
// How sheltered a point is, 0 in the open to 1 under a full roof.
float ShelterScore(const UObject* world, double x, double y, double z);
struct ShowFlags
{
    bool fog = true;
    bool atmosphere = true;
    bool shadows = true;
};

// A capture's show flags as the renderer holds them (the engine's FEngineShowFlags): what the
// picture draws, and the names of the flags turned off, in the order the settings gave them.
struct CaptureShowFlags
{
    ShowFlags drawn;
    std::vector<std::wstring> off;
};
// What the renderer draws the component with: the engine's defaults until it registers.
const ShowFlags& DrawnShowFlags(const UObject* component);

// What one picture is taken with: where from, how wide, what shows and how bright.
struct Shot
{
    Placement at;
    double across = 512;
    ShowFlags flags;
    double exposure = 1;
    uint8 format = 2;
    UObject* component = nullptr; // whose hidden actors stay out of the picture
    bool daylight = false;        // lit as by day wherever it looks, night and caves too
};

// A picture asked for during a frame, drawn when the frame's game work is done, as a render
// thread would: the view as set up at the call, the scene as it stands at the end.
struct PendingCapture
{
    Shot shot;
    UObject* target = nullptr;
    const UObject* world = nullptr;
};

// Draws the component's view from straight above into its render target at once.
void RenderCapture(UObject* captureComponent);
// Takes the component's view now and draws it at the next flush.
void QueueCapture(UObject* captureComponent);
// Draws every picture asked for since the last flush: at the end of each engine frame, and
// before anyone reads a render target's pixels.
void FlushCaptures();
// What a component of the class has when the engine constructs it, beyond zeroed memory.
void ApplyConstructionDefaults(UObject* component);
// One frame of the scenes, after the clock moved: the time of day, shelter scores, and the
// captures the engine takes by itself.
void StepScenes();
} // namespace Sim::Detail
