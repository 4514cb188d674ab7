// The distance beside the game's waypoint while it is pinned to the rim: whole metres from the
// player, a text that changes at most ten times a second and only when its number does, in a
// box sized to it and kept on the map's side of the pin.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Setters.hpp"
#include "widget/TextFit.hpp"
#include "widget/WidgetTree.hpp"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <cmath>

namespace Orv
{
namespace
{
constexpr Nanoseconds kDistancePeriod = kSecond / 10;
// World units are centimetres.
constexpr double kUnitsPerMetre = 100.0;
// Between the text and its backdrop's sides, and between the backdrop and the pin, at a
// control scale of 1.
constexpr double kLabelPadding = 2.0;
constexpr double kLabelGap = 2.0;
} // namespace

void LiveOrvantaMod::HideWaypointDistance()
{
    DistanceLabel& label = session.markers.waypointDistance;
    if (!label.shown)
    {
        return;
    }
    label.shown = false;
    if (IsLive(label.backdrop, false))
    {
        SetVisibility(reflection, label.backdrop, kVisibilityCollapsed);
    }
}

void LiveOrvantaMod::ShowWaypointDistance(const MapView& view, const MapPoint& pin, double pinReach, const Vector3d& waypoint)
{
    DistanceLabel& label = session.markers.waypointDistance;
    const double fromCentre = std::hypot(pin.right, pin.down);
    if (!IsLive(label.backdrop, false) || !IsLive(label.text, false) || !IsLive(label.slot, false) || fromCentre <= 0.0)
    {
        HideWaypointDistance();
        return;
    }
    const double k = session.layout.controlScale;
    bool resized = false;
    if (IsDue(now, label.nextText))
    {
        const double distance = std::hypot(waypoint.x - view.pawnX, waypoint.y - view.pawnY, waypoint.z - view.pawnZ);
        const auto metres = static_cast<std::int64_t>(std::llround(distance / kUnitsPerMetre));
        if (metres != label.metres)
        {
            label.nextText = now + kDistancePeriod;
            label.metres = metres;
            wchar_t text[24] = {};
            *fmt::format_to_n(text, std::size(text) - 1, L"{} m", metres).out = L'\0';
            SetText(reflection, label.text, text);
            const double points = static_cast<double>(kDistanceFontSize) * k;
            label.size = {TextWidthEm(text) * points * kUnitsPerPoint + 2.0 * kLabelPadding * k,
                          kLineHeightEm * points * kUnitsPerPoint};
            resized = true;
        }
    }
    // Towards the middle from the pin, far enough that the box clears it.
    const double towardsX = -pin.right / fromCentre;
    const double towardsY = -pin.down / fromCentre;
    const double boxReach = (std::abs(towardsX) * label.size.x + std::abs(towardsY) * label.size.y) * 0.5;
    const double step = pinReach + kLabelGap * k + boxReach;
    const Vector2d corner{pin.right + towardsX * step + view.half - label.size.x * 0.5,
                          pin.down + towardsY * step + view.half - label.size.y * 0.5};
    if (resized)
    {
        SetSlotPositionAndSize(reflection, label.slot, corner, label.size);
        label.sentPosition = corner;
    }
    else
    {
        MoveSlot(reflection, label.slot, corner, label.sentPosition);
    }
    if (!label.shown)
    {
        label.shown = true;
        SetVisibility(reflection, label.backdrop, kVisibilityShown);
    }
}
} // namespace Orv
