// The markers' arithmetic.
#include "markers/MarkerMath.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Orv
{
namespace
{
// The map's drawn side is taken 8 units short of the map size, inside the rims.
constexpr double kRimInset = 8.0;

struct GroupRule
{
    double multiplier;
    float lower;
    float upper;
};

GroupRule RuleOf(IconGroup group)
{
    switch (group)
    {
    case IconGroup::Resources: return {1.85, 1.45f, 2.1f};
    case IconGroup::Players:
    case IconGroup::Quests:
    case IconGroup::Pois:
    case IconGroup::Never: break;
    }
    return {group == IconGroup::Players ? 1.0 : 1.1, 0.65f, 1.38f};
}
} // namespace

MapView MakeMapView(double size, double zoom, double yawDegrees, double pawnX, double pawnY, bool circular)
{
    const double length = size - kRimInset;
    const double radians = yawDegrees * std::numbers::pi / 180.0;
    return {length * 0.5, length / zoom, std::sin(radians), std::cos(radians), pawnX, pawnY, 0.0, circular};
}

MapPoint ProjectToMap(const MapView& view, double x, double y, double margin)
{
    const double dx = x - view.pawnX;
    const double dy = y - view.pawnY;
    MapPoint point;
    point.right = (dy * view.cosYaw - dx * view.sinYaw) * view.scale;
    point.down = -(dy * view.sinYaw + dx * view.cosYaw) * view.scale;
    point.inside = FitsInside(view, point, margin);
    return point;
}

bool FitsInside(const MapView& view, const MapPoint& point, double reach)
{
    const double radius = view.half - reach;
    return view.circular ? radius * radius >= point.right * point.right + point.down * point.down
                         : std::abs(point.right) <= radius && std::abs(point.down) <= radius;
}

MapPoint PinToRim(const MapView& view, const MapPoint& point, double reach)
{
    const double radius = std::max(view.half - reach, 0.0);
    const double extent = view.circular ? std::hypot(point.right, point.down)
                                        : std::max(std::abs(point.right), std::abs(point.down));
    if (extent <= 0.0)
    {
        return {true, 0.0, 0.0};
    }
    const double shrink = std::min(radius / extent, 1.0);
    return {true, point.right * shrink, point.down * shrink};
}

bool OnOtherFloor(const MapView& view, double z)
{
    return std::abs(z - view.pawnZ) > kOtherFloorHeight;
}

IconGroup GroupOf(std::uint8_t category)
{
    if (category == 1)
    {
        return IconGroup::Never;
    }
    if (category == 2)
    {
        return IconGroup::Players;
    }
    if ((category >= 11 && category <= 16) || (category >= 51 && category <= 53))
    {
        return IconGroup::Quests;
    }
    if (category >= 23 && category <= 49)
    {
        return IconGroup::Resources;
    }
    return IconGroup::Pois;
}

bool PinsToRim(std::uint8_t category)
{
    return category == kWaypointCategory || GroupOf(category) == IconGroup::Players;
}

std::int32_t LayerOf(std::uint8_t category)
{
    if (category == kWaypointCategory)
    {
        return kWaypointLayer;
    }
    switch (GroupOf(category))
    {
    case IconGroup::Players: return kPlayerLayer;
    case IconGroup::Quests: return kQuestLayer;
    default: return kIconLayer;
    }
}

int PriorityRank(std::uint8_t category, bool waypointWithPlayers)
{
    if (waypointWithPlayers && category == kWaypointCategory)
    {
        return 0;
    }
    switch (GroupOf(category))
    {
    case IconGroup::Players: return 0;
    case IconGroup::Quests: return 1;
    case IconGroup::Resources: return 2;
    case IconGroup::Pois:
    case IconGroup::Never: break;
    }
    return 3;
}

float IconScale(float iconSize, IconGroup group, float poiIconScale)
{
    const GroupRule rule = RuleOf(group);
    const auto base = static_cast<float>(static_cast<double>(iconSize) * 0.03125 * rule.multiplier);
    float scale = std::clamp(base, rule.lower, rule.upper);
    if (group != IconGroup::Players)
    {
        scale *= poiIconScale;
    }
    return scale;
}

std::uint8_t DiamondKindOf(bool boss, bool hasArchetype, std::uint8_t archetype)
{
    if (boss)
    {
        return kDiamondBoss;
    }
    return hasArchetype && archetype <= 1 ? kDiamondHostile : kDiamondOther;
}

DiamondLook DiamondLookOf(std::uint8_t kind)
{
    switch (kind)
    {
    case kDiamondBoss: return {0.88f, 0.38f, 1.0f, 0.72f};
    case kDiamondHostile: return {1.0f, 0.16f, 0.08f, 0.58f};
    default: return {0.42f, 1.0f, 0.26f, 0.48f};
    }
}
} // namespace Orv
