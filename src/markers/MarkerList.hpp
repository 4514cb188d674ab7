// The order of the map marker list: players, then quests, resources and everything else, each
// nearest to the pawn first.
#pragma once

#include "mod/MapSession.hpp"

namespace Orv
{
bool MarkerPriority(const MapIconEntry& a, const MapIconEntry& b, double pawnX, double pawnY);
// Stable, in place and without a buffer: the list holds at most 512 entries and is sorted on
// every rebuild, where an allocating sort would cost the frame an allocation.
void SortByPriority(MapIconList& list, double pawnX, double pawnY);
} // namespace Orv
