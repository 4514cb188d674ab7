// The order of the map marker list: players, then quests, resources and everything else, each
// nearest to the pawn first; with the edge pins on, the game's waypoint goes with the players.
#pragma once

#include "mod/MapSession.hpp"

namespace Orv
{
// waypointWithPlayers: the game's waypoint ranks with the players (PriorityRank).
bool MarkerPriority(const MapIconEntry& a, const MapIconEntry& b, double pawnX, double pawnY, bool waypointWithPlayers);
// Stable, in place and without a buffer: the list holds at most 512 entries and is sorted on
// every rebuild, where an allocating sort would cost the frame an allocation.
void SortByPriority(MapIconList& list, double pawnX, double pawnY, bool waypointWithPlayers);
} // namespace Orv
