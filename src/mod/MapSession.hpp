// All per-world state of the mod: what one local player in one world needs. Tearing down a
// session returns every field to these initial values in one place.
#pragma once

#include "reflection/Host.hpp"

namespace Orv
{
struct MapSession
{
    // Discovery.
    UWorld* world = nullptr;
    UObject* gameInstance = nullptr;
    UObject* playerController = nullptr;
    UObject* pawn = nullptr;
};
} // namespace Orv
