// The stand-in's performance counter in plain integers, for the platform layer that hands it
// to the mod under the Windows names.
#pragma once

#include <cstdint>

namespace Sim::Detail
{
// The engine clock in counter ticks, and the ticks per second (fixed, as on Windows).
std::int64_t PerformanceCount();
std::int64_t PerformanceFrequency();
} // namespace Sim::Detail
