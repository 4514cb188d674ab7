// The mod's own vectors, rotators and colours, and their conversion to the engine's layout:
// the mod computes in 64-bit reals, while engine vectors, rotators and 2D vectors hold 32-bit
// floats below engine 5.0 and 64-bit reals from 5.0 on.
#pragma once

#include <cstddef>

namespace Orv
{
struct Vector2d
{
    double x = 0.0;
    double y = 0.0;
};

struct Vector3d
{
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

struct Rotator3d
{
    double pitch = 0.0;
    double yaw = 0.0;
    double roll = 0.0;
};

// A linear colour goes to the engine as it is: four 32-bit floats, R, G, B, A.
struct LinearColor
{
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};
static_assert(sizeof(LinearColor) == 16);

// Room for the largest engine form of any of these: four 64-bit reals.
struct EngineReals
{
    alignas(8) unsigned char bytes[32];
    std::size_t size;
};

// 4 below engine 5.0, 8 from 5.0 on.
std::size_t EngineRealSize();
EngineReals ToEngine(Vector2d value);
EngineReals ToEngine(Vector3d value);
EngineReals ToEngine(Rotator3d value);
// Two 2D vectors back to back, as a layout's anchors (minimum, maximum) are kept.
EngineReals ToEngine(Vector2d first, Vector2d second);
// Reads three engine reals (an engine vector or rotator) at the address.
Vector3d Vector3FromEngine(const void* reals);
} // namespace Orv
