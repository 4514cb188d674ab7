// The frame driver's clock: the platform's monotonic performance counter in nanoseconds.
#pragma once

#include "mod/MapSession.hpp"

namespace Orv
{
Nanoseconds ReadMonotonicClock();
} // namespace Orv
