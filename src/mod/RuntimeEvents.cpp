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

bool LiveOrvantaMod::InSessionWorld(const UObject* object) const
{
    return IsLive(object, false) && object->GetWorld() == session.world;
}

bool LiveOrvantaMod::IsSessionGameDataObject(const UObject* object) const
{
    return object == session.mapApi || object == session.mapTracker || object == session.objectRegistry ||
           object == session.revealedIconsComponent || object == session.mapCustomizationComponent ||
           object == session.poiSystem;
}

void LiveOrvantaMod::OnRuntimeEvent(RuntimeEvent event, UObject* context)
{
    // Cheapest tests first: this runs inside every begin and end of play in the game.
    switch (event)
    {
    case RuntimeEvent::ActorBeginPlay:
        if (Settings().ShowAi && IsTrackedKind(context) && static_cast<AActor*>(context)->GetWorld() == session.world)
        {
            AppendOnce(session.pendingBeginPlay, context);
        }
        return;
    case RuntimeEvent::ActorEndPlay:
        // A pre-hook: the actor is still live here.
        if (Settings().ShowAi && IsTrackedKind(context))
        {
            AppendOnce(session.pendingEndPlay, context);
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
        if (session.world == nullptr || context == nullptr || InSessionWorld(context) || IsSessionGameDataObject(context))
        {
            mapDataDirty = true;
        }
        return;
    case RuntimeEvent::EquipmentChanged:
        if (session.world == nullptr || context == nullptr || InSessionWorld(context))
        {
            playerHidingDirty = true;
        }
        return;
    case RuntimeEvent::DayNightChanged:
        if (session.world == nullptr || context == nullptr || InSessionWorld(context))
        {
            brightnessDirty = true;
        }
        return;
    }
    // Any other value is not an event of ours.
}

bool LiveOrvantaMod::IsTrackedKind(const UObject* object) const
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
    if (!IsLive(actor, false) || static_cast<AActor*>(actor)->GetWorld() != session.world)
    {
        return;
    }
    if (actor == session.pawn || actor == session.captureActor || IsActorGone(actor))
    {
        return;
    }
    AppendOnce(session.trackedActors, actor);
}

void LiveOrvantaMod::ProcessActorQueues()
{
    if (!Settings().ShowAi)
    {
        if (aiSnapshotTaken || !session.trackedActors.empty() || !session.pendingBeginPlay.empty() ||
            !session.pendingEndPlay.empty())
        {
            session.trackedActors.clear();
            session.pendingBeginPlay.clear();
            session.pendingEndPlay.clear();
            aiSnapshotTaken = false;
            session.nextAiRefresh = 0;
        }
        return;
    }

    // Removals before additions, so an actor that began and ended play between two frames is
    // never tracked. Walks go by index: a script call inside may append to a queue.
    for (std::size_t index = 0; index < session.pendingEndPlay.size(); ++index)
    {
        if (UObject* gone = session.pendingEndPlay[index])
        {
            RemoveAll(session.trackedActors, gone);
            RemoveAll(session.pendingBeginPlay, gone);
        }
    }
    session.pendingEndPlay.clear();
    for (std::size_t index = 0; index < session.pendingBeginPlay.size(); ++index)
    {
        TrackActor(session.pendingBeginPlay[index]);
    }
    session.pendingBeginPlay.clear();

    if (!aiSnapshotTaken)
    {
        FullAiScan();
    }
    else if (IsDue(now, session.nextAiRefresh))
    {
        RefreshAiList();
    }
}
} // namespace Orv
