// Creatures, bosses and NPCs as coloured diamonds from the 64-slot pool: each tracked actor in
// the frame gets the next slot, coloured by its kind, and the dead ones are queued for removal
// instead of drawn.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudSettings.hpp"
#include "settings/ModSettings.hpp"
#include "widget/Palette.hpp"

#include <algorithm>
#include <numbers>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr double kDiamondMargin = 18.0;
constexpr double kDiamondHalfSlot = 9.0;

// How far from its centre a diamond may lie inside the picture's edge: its turned square's half
// diagonal reaching to the rim, or the fixed margin.
double DiamondReach(std::uint8_t kind, const ModSettings& settings)
{
    if (!Hud().MarkersToRim)
    {
        return kDiamondMargin;
    }
    return kDiamondHalfSlot * std::numbers::sqrt2 * static_cast<double>(settings.AiIconScale * DiamondLookOf(kind).scale);
}
} // namespace

void LiveOrvantaMod::CollapseDiamonds(std::size_t from)
{
    auto& slots = session.markers.diamondSlots;
    for (std::size_t index = from; index < slots.size(); ++index)
    {
        DiamondMarkerSlot& slot = slots[index];
        if (!slot.shown)
        {
            continue;
        }
        slot.shown = false;
        if (IsLive(slot.root, false))
        {
            SetVisibility(reflection, slot.root, kVisibilityCollapsed);
        }
    }
}

std::uint8_t LiveOrvantaMod::DiamondKind(UObject* actor)
{
    UObject* data = nullptr;
    if (!ReadPropertyValue(reflection, actor, L"LoadedData", data) || !IsLive(data, true))
    {
        return kDiamondOther;
    }
    const bool boss = ReadBoolProperty(reflection, data, L"bIsBoss");
    std::uint8_t archetype = 0;
    const bool hasArchetype = ReadPropertyValue(reflection, data, L"Archetype", archetype);
    return DiamondKindOf(boss, hasArchetype, archetype);
}

void LiveOrvantaMod::UpdateAiMarkers()
{
    bool pawnLive = false;
    const MapView view = CurrentMapView(pawnLive);
    const ModSettings& settings = Settings();
    if (!settings.ShowAi || !pawnLive)
    {
        CollapseDiamonds(0);
        return;
    }
    auto& slots = session.markers.diamondSlots;
    std::vector<UObject*>& pendingEndPlay = session.actors.pendingEndPlay;
    std::size_t used = 0;
    for (UObject* actor : session.actors.trackedActors)
    {
        if (used == slots.size())
        {
            return;
        }
        // UWorld::DestroyActor raises an actor's being-destroyed flag and marks it pending kill in
        // one go, and frames never run inside it: the object's flags tell a dying actor here
        // without the script call per actor per update that "IsActorBeingDestroyed" would be.
        if (!IsLive(actor, false) || actor->GetWorld() != session.discovery.world)
        {
            if (actor != nullptr && std::find(pendingEndPlay.begin(), pendingEndPlay.end(), actor) == pendingEndPlay.end())
            {
                pendingEndPlay.push_back(actor);
            }
            continue;
        }
        Vector3d at;
        if (!ReadActorLocation(reflection, actor, at))
        {
            continue;
        }
        const MapPoint point = ProjectToMap(view, at.x, at.y, 0.0);
        if (!point.inside)
        {
            continue;
        }
        const std::uint8_t kind = DiamondKind(actor);
        if (!FitsInside(view, point, DiamondReach(kind, settings)))
        {
            continue;
        }
        // A dead slot is passed over; kept free, it would turn every later actor away.
        while (used < slots.size() && !(IsLive(slots[used].root, false) && IsLive(slots[used].frame, false) &&
                                        IsLive(slots[used].fill, false)))
        {
            ++used;
        }
        if (used == slots.size())
        {
            return;
        }
        DiamondMarkerSlot& slot = slots[used];
        if (kind != slot.kind)
        {
            slot.kind = kind;
            const DiamondLook look = DiamondLookOf(kind);
            SetBrushColor(reflection, slot.fill, {look.r, look.g, look.b, settings.MarkerOpacity});
            LinearColor edge = Palette::kDiamondEdge;
            edge.a = settings.MarkerOpacity;
            SetBrushColor(reflection, slot.frame, edge);
            const double scale = static_cast<double>(settings.AiIconScale * look.scale);
            SetRenderScale(reflection, slot.frame, {scale, scale});
        }
        MoveSlot(reflection, slot.slot, SlotPosition(view, point, kDiamondHalfSlot), slot.sentPosition);
        if (!slot.shown)
        {
            slot.shown = true;
            SetVisibility(reflection, slot.root, kVisibilityShown);
        }
        ++used;
    }
    CollapseDiamonds(used);
}
} // namespace Orv
