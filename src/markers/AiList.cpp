// The tracked AI and NPC list: a full scan when a snapshot is due, and a periodic refresh from
// the game's AI subsystem, which keeps the list fresh even when no begin-play event arrives.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/EngineSets.hpp"
#include "reflection/PropertyAccess.hpp"

#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

void LiveOrvantaMod::FullAiScan()
{
    session.actors = ActorLists{};
    RefreshAiList();
    ScanForNpcs();
    aiSnapshotTaken = true;
}

void LiveOrvantaMod::ScanForNpcs()
{
    for (UObject* npc : FindAllInstances(L"InteractableNPC"))
    {
        TrackActor(npc);
    }
}

UObject* LiveOrvantaMod::FindAiSubsystem()
{
    UObject*& subsystem = session.gameData.aiSubsystem;
    if (IsLive(subsystem, true) && subsystem->GetWorld() == session.discovery.world)
    {
        return subsystem;
    }
    subsystem = nullptr;
    for (UObject* candidate : FindAllInstances(L"UmbrafelAISubsystem"))
    {
        if (IsLive(candidate, true) && candidate->GetWorld() == session.discovery.world)
        {
            subsystem = candidate;
            break;
        }
    }
    return subsystem;
}

void LiveOrvantaMod::RefreshAiList()
{
    session.deadlines.nextAiRefresh = ReadMonotonicClock() + kSecond / 2;
    UObject* subsystem = FindAiSubsystem();
    if (subsystem == nullptr)
    {
        return;
    }
    FProperty* characters = reflection.LookupProperty(subsystem, L"AllAiCharacters");
    if (PropertyClassOf(characters) != PropertyClass::Set)
    {
        return;
    }
    FProperty* element = static_cast<FSetProperty*>(characters)->GetElementProp();
    if (element == nullptr)
    {
        return;
    }
    const auto elementSize = static_cast<std::size_t>(element->GetElementSize()) * static_cast<std::size_t>(element->GetArrayDim());
    const auto elementAlignment = static_cast<std::size_t>(element->GetMinAlignment());
    const auto* setValue = reinterpret_cast<const std::uint8_t*>(subsystem) + characters->GetOffset_Internal();
    // Tracking calls into the engine, which may grow or shrink the set meanwhile: the set is
    // looked at anew for each element, never through storage an earlier call may have moved.
    for (std::int32_t index = 0;; ++index)
    {
        EngineSetView set = ViewEngineSet(setValue, elementSize, elementAlignment);
        if (index >= set.count)
        {
            break;
        }
        if (!set.IsElement(index))
        {
            continue;
        }
        UObject* actor = nullptr;
        std::memcpy(&actor, set.At(index), sizeof(actor));
        TrackActor(actor);
    }
}
} // namespace Orv
