// Creatures, bosses and NPCs as coloured diamonds from the 64-slot pool: each tracked actor in
// the frame gets the next slot, coloured by its kind and dimmed or left out on another floor,
// and the dead ones are queued for removal instead of drawn.
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
    if (!Settings().ShowAi || !pawnLive)
    {
        CollapseDiamonds(0);
        return;
    }
    std::vector<DiamondCandidate>& candidates = session.markers.diamondCandidates;
    GatherDiamondCandidates(view, candidates);
    const std::size_t pool = session.markers.diamondSlots.size();
    if (Hud().NearestFirst && candidates.size() > pool)
    {
        // Bosses first, then the rest, each nearest first; the chosen keep the list's order so
        // a diamond stays in its slot while the crowd moves.
        const auto before = [](const DiamondCandidate& a, const DiamondCandidate& b) {
            const bool aBoss = a.kind == kDiamondBoss;
            const bool bBoss = b.kind == kDiamondBoss;
            if (aBoss != bBoss)
            {
                return aBoss;
            }
            return a.right * a.right + a.down * a.down < b.right * b.right + b.down * b.down;
        };
        const auto chosenEnd = candidates.begin() + static_cast<std::ptrdiff_t>(pool);
        std::nth_element(candidates.begin(), chosenEnd - 1, candidates.end(), before);
        std::sort(candidates.begin(), chosenEnd, [](const DiamondCandidate& a, const DiamondCandidate& b) { return a.order < b.order; });
        candidates.resize(pool);
    }
    DrawDiamonds(view, candidates);
}

void LiveOrvantaMod::GatherDiamondCandidates(const MapView& view, std::vector<DiamondCandidate>& candidates)
{
    const ModSettings& settings = Settings();
    const OtherFloorsMode otherFloors = Hud().OtherFloors;
    std::vector<UObject*>& pendingEndPlay = session.actors.pendingEndPlay;
    // Without a choice to make, the list's first 64 are all that is drawn.
    const std::size_t enough = Hud().NearestFirst ? session.actors.trackedActors.size() : session.markers.diamondSlots.size();
    candidates.clear();
    for (UObject* actor : session.actors.trackedActors)
    {
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
        const bool otherFloor = OnOtherFloor(view, at.z);
        if (!point.inside || (otherFloor && otherFloors == OtherFloorsMode::Hide))
        {
            continue;
        }
        const std::uint8_t kind = DiamondKind(actor);
        if (!FitsInside(view, point, DiamondReach(kind, settings)))
        {
            continue;
        }
        candidates.push_back({actor, point.right, point.down, kind, candidates.size(), otherFloor && otherFloors == OtherFloorsMode::Dim});
        if (candidates.size() == enough)
        {
            return;
        }
    }
}

void LiveOrvantaMod::DrawDiamonds(const MapView& view, const std::vector<DiamondCandidate>& candidates)
{
    const ModSettings& settings = Settings();
    auto& slots = session.markers.diamondSlots;
    std::size_t used = 0;
    for (const DiamondCandidate& candidate : candidates)
    {
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
        const std::uint8_t kind = candidate.kind;
        if (kind != slot.kind || candidate.dimmed != slot.dimmed)
        {
            slot.kind = kind;
            slot.dimmed = candidate.dimmed;
            const DiamondLook look = DiamondLookOf(kind);
            const float opacity = settings.MarkerOpacity * (candidate.dimmed ? kOtherFloorOpacity : 1.0f);
            SetBrushColor(reflection, slot.fill, {look.r, look.g, look.b, opacity});
            LinearColor edge = Palette::kDiamondEdge;
            edge.a = opacity;
            SetBrushColor(reflection, slot.frame, edge);
            const double scale = static_cast<double>(settings.AiIconScale * look.scale);
            SetRenderScale(reflection, slot.frame, {scale, scale});
        }
        const MapPoint point{true, candidate.right, candidate.down};
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
