// The engine side of what a capture sees and what traces hit: each world's scene (ground,
// buildings, the dungeon), the time of day, and drawing a capture component's view into its
// render target.
#pragma once

#include <Sim/Engine.hpp>

namespace Sim::Detail
{
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
// Draws the component's orthographic view from straight above into its render target.
void RenderCapture(UObject* captureComponent);
// One frame of the scenes, after the clock moved: the time of day, shelter scores.
void StepScenes();
} // namespace Sim::Detail
