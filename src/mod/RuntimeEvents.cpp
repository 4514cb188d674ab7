// Game events: each hooked script function only raises a frame-driver flag or queues an
// actor; the next frame applies the queues to the tracked AI and NPC actors.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Calls.hpp"
#include "settings/ModSettings.hpp"

#include <algorithm>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
bool Contains(const std::vector<UObject*>& list, const UObject* object)
{
    return std::find(list.begin(), list.end(), object) != list.end();
}

void AppendOnce(std::vector<UObject*>& list, UObject* object)
{
    if (!Contains(list, object))
    {
        list.push_back(object);
    }
}

void RemoveAll(std::vector<UObject*>& list, const UObject* object)
{
    list.erase(std::remove(list.begin(), list.end(), object), list.end());
}
} // namespace

// Worlds are compared through the engine's virtual UObject::GetWorld, which answers the world
// that owns an actor's level. The loader's AActor::GetWorld answers the first world among the
// outers instead, which for an actor of a streamed level or a World Partition cell is the
// level's own world, never the session's.
bool LiveOrvantaMod::InSessionWorld(UObject* object) const
{
    return IsLive(object, false) && object->GetWorld() == session.discovery.world;
}

bool LiveOrvantaMod::IsSessionGameDataObject(const UObject* object) const
{
    return object == session.gameData.mapApi || object == session.gameData.mapTracker || object == session.gameData.objectRegistry ||
           object == session.gameData.revealedIconsComponent || object == session.gameData.mapCustomizationComponent ||
           object == session.gameData.poiSystem;
}

void LiveOrvantaMod::OnRuntimeEvent(RuntimeEvent event, UObject* context)
{
    // Cheapest tests first: this runs inside every begin and end of play in the game.
    switch (event)
    {
    case RuntimeEvent::ActorBeginPlay:
        // The actor's components began with it, map icons among them: the next check of the
        // map's sources looks for them.
        if (session.discovery.world != nullptr)
        {
            session.gameData.actorsArrived = true;
        }
        if (Settings().ShowAi && IsTrackedKind(context) && context->GetWorld() == session.discovery.world)
        {
            AppendOnce(session.actors.pendingBeginPlay, context);
        }
        return;
    case RuntimeEvent::ActorEndPlay:
        // A pre-hook: the actor is still live here. Without a session (a hidden map, or the
        // menu) nothing is tracked that could end, and the queue would only grow.
        if (Settings().ShowAi && session.discovery.world != nullptr && IsTrackedKind(context))
        {
            AppendOnce(session.actors.pendingEndPlay, context);
        }
        return;
    case RuntimeEvent::ComponentBeginPlay:
    case RuntimeEvent::ComponentEndPlay:
        if (IsLive(context, false) && mapIconComponentClass != nullptr && context->IsA(mapIconComponentClass))
        {
            mapDataDirty = true;
        }
        return;
    case RuntimeEvent::MapDataChanged:
        if (session.discovery.world == nullptr || context == nullptr || InSessionWorld(context) || IsSessionGameDataObject(context))
        {
            mapDataDirty = true;
        }
        return;
    case RuntimeEvent::EquipmentChanged:
        if (session.discovery.world == nullptr || context == nullptr || InSessionWorld(context))
        {
            playerHidingDirty = true;
        }
        return;
    case RuntimeEvent::DayNightChanged:
        if (session.discovery.world == nullptr || context == nullptr || InSessionWorld(context))
        {
            brightnessDirty = true;
        }
        return;
    }
    // Any other value is not an event of ours.
}

bool LiveOrvantaMod::IsTrackedKind(UObject* object) const
{
    if (!IsLive(object, false))
    {
        return false;
    }
    return (aiCharacterClass != nullptr && object->IsA(aiCharacterClass)) ||
           (npcClass != nullptr && object->IsA(npcClass));
}

bool LiveOrvantaMod::IsActorGone(UObject* actor)
{
    if (!IsLive(actor, false))
    {
        return true;
    }
    return CallAndReadBool(reflection, actor, L"IsActorBeingDestroyed");
}

void LiveOrvantaMod::TrackActor(UObject* actor)
{
    if (!IsLive(actor, false) || actor->GetWorld() != session.discovery.world)
    {
        return;
    }
    // An actor tracked already is not asked again: the AI list's refresh offers every creature
    // twice a second, and the answer would change nothing.
    if (actor == session.discovery.pawn || actor == session.capture.captureActor ||
        Contains(session.actors.trackedActors, actor) || IsActorGone(actor))
    {
        return;
    }
    session.actors.trackedActors.push_back(actor);
}

void LiveOrvantaMod::ProcessActorQueues()
{
    if (!Settings().ShowAi)
    {
        if (aiSnapshotTaken || !session.actors.trackedActors.empty() || !session.actors.pendingBeginPlay.empty() ||
            !session.actors.pendingEndPlay.empty())
        {
            session.actors.trackedActors.clear();
            session.actors.pendingBeginPlay.clear();
            session.actors.pendingEndPlay.clear();
            aiSnapshotTaken = false;
            session.deadlines.nextAiRefresh = 0;
        }
        return;
    }

    // Removals before additions, so an actor that began and ended play between two frames is
    // never tracked. Walks go by index: a script call inside may append to a queue.
    for (std::size_t index = 0; index < session.actors.pendingEndPlay.size(); ++index)
    {
        if (UObject* gone = session.actors.pendingEndPlay[index])
        {
            RemoveAll(session.actors.trackedActors, gone);
            RemoveAll(session.actors.pendingBeginPlay, gone);
        }
    }
    session.actors.pendingEndPlay.clear();
    for (std::size_t index = 0; index < session.actors.pendingBeginPlay.size(); ++index)
    {
        TrackActor(session.actors.pendingBeginPlay[index]);
    }
    session.actors.pendingBeginPlay.clear();

    // Without the loader's begin-play callback nothing tells of an NPC that arrives later: the
    // AI set keeps the creatures, and the NPCs are looked for now and then.
    constexpr Nanoseconds kNpcScanPeriod = 2 * kSecond;
    if (!aiSnapshotTaken)
    {
        FullAiScan();
        session.deadlines.nextNpcScan = now + kNpcScanPeriod;
        return;
    }
    if (IsDue(now, session.deadlines.nextAiRefresh))
    {
        RefreshAiList();
    }
    if (beginPlayCallback == 0 && IsDue(now, session.deadlines.nextNpcScan))
    {
        ScanForNpcs();
        session.deadlines.nextNpcScan = now + kNpcScanPeriod;
    }
}
} // namespace Orv
