// The map marker list and the icon markers: requests from the game's map data and its map-icon
// components enter the list through one gate (a texture, room, no near twin), the list is
// ordered most important and nearest first, and each update draws its first 96 visible
// entries into the icon pool (the waypoint and other players beyond the edge pinned to the rim,
// markers of other floors dimmed or left out), re-dressing a slot only when what it shows
// changes.
#include "mod/LiveOrvantaMod.hpp"

#include "markers/MarkerList.hpp"

#include "reflection/Calls.hpp"
#include "reflection/EngineSets.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudSettings.hpp"
#include "settings/ModSettings.hpp"
#include "widget/Palette.hpp"

#include <cmath>
#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr double kIconMargin = 20.0;
constexpr double kIconHalfSlot = 10.0;
// Fixed markers this close in both X and Y with the same picture are one marker.
constexpr double kTwinDistance = 10.0;
// The game's own icon for a player this close to the pawn is the local player's.
constexpr double kOwnIconDistance = 100.0;
constexpr float kBackgroundScale = 1.12f;
// A marker pinned to the rim is smaller and fainter than one on the map.
constexpr float kPinScale = 0.75f;
constexpr float kPinOpacity = 0.6f;
constexpr std::uint8_t kLocalPlayerType = 1;
constexpr std::uint8_t kOtherPlayersType = 2;

bool DrawnUnderSettings(IconGroup group, const ModSettings& settings)
{
    switch (group)
    {
    case IconGroup::Never: return false;
    case IconGroup::Players: return true;
    case IconGroup::Quests: return settings.ShowQuests;
    case IconGroup::Resources: return settings.ShowResources;
    case IconGroup::Pois: return settings.ShowPois;
    }
    return false;
}

// How an icon is drawn beyond its entry's own look.
struct IconPlacing
{
    bool pinned = false;
    bool dimmed = false;
};

float IconRenderScale(const MapIconEntry& entry, const ModSettings& settings, bool pinned)
{
    const float scale = IconScale(entry.iconSize, GroupOf(entry.category), settings.PoiIconScale);
    return pinned ? scale * kPinScale : scale;
}

// How far from its centre an icon may lie inside the picture's edge: its backdrop's half side
// reaching to the rim, or the fixed margin.
double IconReach(const MapIconEntry& entry, const ModSettings& settings, bool pinned)
{
    if (!Hud().MarkersToRim)
    {
        return kIconMargin;
    }
    return kIconHalfSlot * static_cast<double>(IconRenderScale(entry, settings, pinned) * kBackgroundScale);
}

bool IconSlotLive(IconMarkerSlot& slot)
{
    return IsLive(slot.root, false) && IsLive(slot.background, false) && IsLive(slot.icon, false);
}

// An unordered comparison (a NaN) counts as a change.
bool SameAppearance(const IconMarkerSlot& slot, const MapIconEntry& entry, IconPlacing placing)
{
    return slot.category == entry.category && slot.tint.r == entry.tint.r && slot.tint.g == entry.tint.g &&
           slot.tint.b == entry.tint.b && slot.tint.a == entry.tint.a && slot.iconSize == entry.iconSize &&
           slot.rotationOffset == entry.rotationOffset && slot.pinned == placing.pinned && slot.dimmed == placing.dimmed;
}
} // namespace

bool MarkerPriority(const MapIconEntry& a, const MapIconEntry& b, double px, double py, bool waypointWithPlayers)
{
    const int rankA = PriorityRank(a.category, waypointWithPlayers);
    const int rankB = PriorityRank(b.category, waypointWithPlayers);
    if (rankA != rankB)
    {
        return rankA < rankB;
    }
    const double da = (a.x - px) * (a.x - px) + (a.y - py) * (a.y - py);
    const double db = (b.x - px) * (b.x - px) + (b.y - py) * (b.y - py);
    return da < db;
}

void SortByPriority(MapIconList& list, double px, double py, bool waypointWithPlayers)
{
    for (std::size_t i = 1; i < list.count; ++i)
    {
        const MapIconEntry moving = list.entries[i];
        std::size_t j = i;
        while (j > 0 && MarkerPriority(moving, list.entries[j - 1], px, py, waypointWithPlayers))
        {
            list.entries[j] = list.entries[j - 1];
            --j;
        }
        list.entries[j] = moving;
    }
}

void LiveOrvantaMod::AddMapMarker(const Vector3d& at, const IconStyle& style, UObject* component)
{
    MapIconList& list = session.mapIcons;
    if (!IsTexture2D(style.texture) || style.texture == placeholderTexture || list.Full())
    {
        return;
    }
    for (const MapIconEntry& entry : list)
    {
        const bool twin = component != nullptr
                              ? entry.component == component
                              : entry.component == nullptr && entry.texture == style.texture &&
                                    std::abs(entry.x - at.x) < kTwinDistance && std::abs(entry.y - at.y) < kTwinDistance;
        if (twin)
        {
            return;
        }
    }
    list.entries[list.count++] = {at.x, at.y, at.z, component, style.category, style.texture, style.tint, style.iconSize, style.rotationOffset};
}

void LiveOrvantaMod::RebuildMapMarkers()
{
    session.mapIcons.Clear();
    if (iconStyles.empty() && !LoadIconStyles())
    {
        return;
    }
    ReadRegistryMarkers();
    ReadWaypointMarker();
    if (UObject* tracker = FindMapTracker())
    {
        AddTrackedIconComponents(tracker);
    }
    else
    {
        for (UObject* component : FindAllInstances(L"MapIconComponent"))
        {
            AddIconComponent(component);
        }
    }
    UObject* pawn = session.discovery.pawn;
    Vector3d at;
    if (IsLive(pawn, false) && ReadActorLocation(reflection, pawn, at))
    {
        SortByPriority(session.mapIcons, at.x, at.y, Hud().EdgePins);
    }
}

void LiveOrvantaMod::AddTrackedIconComponents(UObject* tracker)
{
    FProperty* icons = reflection.LookupProperty(tracker, L"MapIcons");
    if (PropertyClassOf(icons) != PropertyClass::Array)
    {
        return;
    }
    // Only plain object references are components: a game that keeps weak pointers or
    // structs here lays its elements out otherwise, and those bytes are no object to ask.
    FProperty* inner = static_cast<FArrayProperty*>(icons)->GetInner();
    const PropertyClass held = PropertyClassOf(inner);
    if (held != PropertyClass::Object && held != PropertyClass::ObjectPtr)
    {
        return;
    }
    const auto stride = static_cast<std::size_t>(inner->GetElementSize());
    const auto* header = reinterpret_cast<const std::uint8_t*>(tracker) + icons->GetOffset_Internal();
    // The array is read anew for each component: calling into the game may grow it.
    for (std::int32_t index = 0;; ++index)
    {
        const EngineArrayView array = ViewEngineArray(header, stride);
        if (index >= array.count)
        {
            return;
        }
        if (UObject* component = ReadObjectProperty(inner, array.At(index)))
        {
            AddIconComponent(component);
        }
    }
}

CategoryMeaning LiveOrvantaMod::MeaningOfCategory(FName category)
{
    for (std::size_t i = 0; i < categoryMeaningCount; ++i)
    {
        if (categoryMeanings[i].name == category)
        {
            return categoryMeanings[i];
        }
    }
    CategoryMeaning meaning;
    meaning.name = category;
    const std::wstring text = category.ToString();
    meaning.excluded = text == L"Temp" || text == L"LocalPlayerCharacter" || text == L"MapRegionLabel";
    for (std::size_t i = 0; i < iconStyles.size() && !text.empty(); ++i)
    {
        if (iconStyles[i].name == text)
        {
            meaning.styleIndex = static_cast<int>(i);
            break;
        }
    }
    // Beyond the kept names a category is worked out each time, at the price of its text.
    if (categoryMeaningCount < categoryMeanings.size())
    {
        categoryMeanings[categoryMeaningCount++] = meaning;
    }
    return meaning;
}

void LiveOrvantaMod::AddIconComponent(UObject* component)
{
    if (session.mapIcons.Full() || !IsSessionObject(component))
    {
        return;
    }
    UObject* owner = CallAndReadObject(reflection, component, L"GetOwner");
    if (owner != nullptr && (owner == session.discovery.pawn || owner == session.capture.captureActor))
    {
        return;
    }
    FName category;
    FProperty* categoryProperty = reflection.LookupProperty(component, L"IconCategory");
    if (PropertyClassOf(categoryProperty) == PropertyClass::Name)
    {
        std::memcpy(&category, PropertyAddress(reflection, component, L"IconCategory"), sizeof(category));
    }
    const CategoryMeaning meaning = MeaningOfCategory(category);
    if (meaning.excluded)
    {
        return;
    }
    UObject* texture = CallAndReadObject(reflection, component, L"GetIconTexture");
    const bool textureCounts = texture != nullptr && IsTexture2D(texture);
    const IconStyle* style = meaning.styleIndex >= 0 ? &iconStyles[static_cast<std::size_t>(meaning.styleIndex)] : nullptr;
    if (style == nullptr && textureCounts && texture != placeholderTexture)
    {
        for (const IconStyle& candidate : iconStyles)
        {
            if (candidate.texture == texture)
            {
                style = &candidate;
                break;
            }
        }
    }
    if (style == nullptr || !CallAndReadBool(reflection, component, L"IsIconVisible"))
    {
        return;
    }
    Vector3d at;
    if (!CallAndReadVector(reflection, component, L"K2_GetComponentLocation", at) || style->category == kLocalPlayerType)
    {
        return;
    }
    UObject* pawn = session.discovery.pawn;
    Vector3d pawnAt;
    if (IsLive(pawn, false) && ReadActorLocation(reflection, pawn, pawnAt))
    {
        const IconStyle* own = FindStyleById(kLocalPlayerType);
        const IconStyle* others = FindStyleById(kOtherPlayersType);
        const bool playerPicture = (own != nullptr && style->texture == own->texture) || (others != nullptr && style->texture == others->texture);
        if (playerPicture && std::abs(at.x - pawnAt.x) < kOwnIconDistance && std::abs(at.y - pawnAt.y) < kOwnIconDistance)
        {
            return;
        }
    }
    AddMapMarker(at, *style, component);
}

MapView LiveOrvantaMod::CurrentMapView(bool& pawnLive)
{
    UObject* pawn = session.discovery.pawn;
    Vector3d at;
    // A pawn whose place could not be read this frame places nothing on the map.
    pawnLive = IsLive(pawn, false) && ReadActorLocation(reflection, pawn, at);
    if (!pawnLive)
    {
        return {};
    }
    MapView view = MakeMapView(workingSize, workingZoom, MapYaw(), at.x, at.y, workingCircular);
    view.pawnZ = at.z;
    return view;
}

void LiveOrvantaMod::ApplyIconAppearance(IconMarkerSlot& slot, const MapIconEntry& entry, bool pinned, bool dimmed)
{
    const IconPlacing placing{pinned, dimmed};
    const bool newTexture = slot.texture != entry.texture;
    if (newTexture)
    {
        slot.texture = entry.texture;
        SetBrushFromTexture(reflection, slot.background, entry.texture);
        SetBrushFromTexture(reflection, slot.icon, entry.texture);
    }
    if (!newTexture && SameAppearance(slot, entry, placing))
    {
        return;
    }
    slot.category = entry.category;
    const std::int32_t layer = pinned ? kRimPinLayer : LayerOf(entry.category);
    if (layer != slot.layer && SetSlotZOrder(reflection, slot.slot, layer))
    {
        slot.layer = layer;
    }
    slot.tint = entry.tint;
    slot.iconSize = entry.iconSize;
    slot.rotationOffset = entry.rotationOffset;
    slot.pinned = pinned;
    slot.dimmed = dimmed;
    const ModSettings& settings = Settings();
    const float opacity = settings.MarkerOpacity * (pinned ? kPinOpacity : 1.0f) * (dimmed ? kOtherFloorOpacity : 1.0f);
    LinearColor backdrop = Palette::kIconBackdrop;
    backdrop.a *= opacity;
    SetImageColor(reflection, slot.background, backdrop);
    SetImageColor(reflection, slot.icon, {entry.tint.r, entry.tint.g, entry.tint.b, entry.tint.a * opacity});
    const float scale = IconRenderScale(entry, settings, pinned);
    const double backgroundScale = static_cast<double>(scale * kBackgroundScale);
    SetRenderScale(reflection, slot.background, {backgroundScale, backgroundScale});
    SetRenderScale(reflection, slot.icon, {static_cast<double>(scale), static_cast<double>(scale)});
    SetRenderAngle(reflection, slot.background, entry.rotationOffset);
    SetRenderAngle(reflection, slot.icon, entry.rotationOffset);
}

void LiveOrvantaMod::CollapseIconMarkers(std::size_t from)
{
    auto& slots = session.markers.iconSlots;
    for (std::size_t index = from; index < slots.size(); ++index)
    {
        IconMarkerSlot& slot = slots[index];
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

void LiveOrvantaMod::UpdateMapIconMarkers()
{
    bool pawnLive = false;
    const MapView view = CurrentMapView(pawnLive);
    if (!pawnLive)
    {
        CollapseIconMarkers(0);
        HideWaypointDistance();
        return;
    }
    const ModSettings& settings = Settings();
    const HudSettings& hud = Hud();
    MapIconList& list = session.mapIcons;
    auto& slots = session.markers.iconSlots;
    // The game's waypoint as pinned to the rim this update, for its distance.
    bool waypointPinned = false;
    MapPoint waypointPin;
    Vector3d waypointAt;
    double waypointReach = 0.0;
    std::size_t used = 0;
    std::size_t index = 0;
    // Once every slot is taken the rest of the list stays as it is.
    while (index < list.count && used < slots.size())
    {
        MapIconEntry& entry = list.entries[index];
        if (entry.component != nullptr)
        {
            if (!IsSessionObject(entry.component))
            {
                list.RemoveAt(index);
                continue;
            }
            Vector3d at;
            if (!CallAndReadVector(reflection, entry.component, L"K2_GetComponentLocation", at))
            {
                ++index;
                continue;
            }
            entry.x = at.x;
            entry.y = at.y;
            entry.z = at.z;
        }
        if (entry.texture == nullptr || !IsTexture2D(entry.texture))
        {
            list.RemoveAt(index);
            continue;
        }
        ++index;
        const bool otherFloor = OnOtherFloor(view, entry.z);
        if (!DrawnUnderSettings(GroupOf(entry.category), settings) || (otherFloor && hud.OtherFloors == OtherFloorsMode::Hide))
        {
            continue;
        }
        MapPoint point = ProjectToMap(view, entry.x, entry.y, IconReach(entry, settings, false));
        const bool pinned = !point.inside && hud.EdgePins && PinsToRim(entry.category);
        if (!point.inside && !pinned)
        {
            continue;
        }
        const double pinReach = pinned ? IconReach(entry, settings, true) : 0.0;
        if (pinned)
        {
            point = PinToRim(view, point, pinReach);
        }
        // A slot whose widgets died is passed over, not kept free: kept free, it would turn
        // away every later entry too and leave the map without icons.
        while (used < slots.size() && !IconSlotLive(slots[used]))
        {
            ++used;
        }
        if (used == slots.size())
        {
            break;
        }
        IconMarkerSlot& slot = slots[used];
        ApplyIconAppearance(slot, entry, pinned, otherFloor && hud.OtherFloors == OtherFloorsMode::Dim);
        MoveSlot(reflection, slot.slot, SlotPosition(view, point, kIconHalfSlot), slot.sentPosition);
        if (!slot.shown)
        {
            slot.shown = true;
            SetVisibility(reflection, slot.root, kVisibilityShown);
        }
        ++used;
        if (pinned && entry.category == kWaypointCategory && !waypointPinned)
        {
            waypointPinned = true;
            waypointPin = point;
            waypointAt = {entry.x, entry.y, entry.z};
            waypointReach = pinReach;
        }
    }
    CollapseIconMarkers(used);
    if (waypointPinned)
    {
        ShowWaypointDistance(view, waypointPin, waypointReach, waypointAt);
    }
    else
    {
        HideWaypointDistance();
    }
}
} // namespace Orv
