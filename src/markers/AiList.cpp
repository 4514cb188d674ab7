// The tracked AI and NPC list: a full scan when a snapshot is due, and a periodic refresh.
#include "mod/LiveOrvantaMod.hpp"

namespace Orv
{
void LiveOrvantaMod::FullAiScan()
{
    session.trackedActors.clear();
    session.pendingBeginPlay.clear();
    session.pendingEndPlay.clear();
    RefreshAiList();
    for (UObject* npc : FindAllInstances(L"InteractableNPC"))
    {
        TrackActor(npc);
    }
    aiSnapshotTaken = true;
}

void LiveOrvantaMod::RefreshAiList()
{
    session.nextAiRefresh = ReadMonotonicClock() + kSecond / 2;
    // Reading the game's AI subsystem joins here with the AI markers.
}
} // namespace Orv
