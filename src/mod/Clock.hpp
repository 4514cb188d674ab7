// The frame driver's clock: the platform's monotonic performance counter in nanoseconds.
#pragma once

#include "mod/MapSession.hpp"

namespace Orv
{
Nanoseconds ReadMonotonicClock();

// A deadline is due when now is at or past it; 0 is always due.
inline bool IsDue(Nanoseconds now, Nanoseconds deadline) { return now >= deadline; }
} // namespace Orv
