// The map's extras: which way is up (the view's, or north's), the compass letters just inside
// the rim, the player's coordinates under the map, and the opacity of the map and its rims.
#include "mod/LiveOrvantaMod.hpp"

#include "markers/MarkerMath.hpp"
#include "reflection/Calls.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudSettings.hpp"
#include "widget/Palette.hpp"
#include "widget/WidgetTree.hpp"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace Orv
{
namespace
{
// From the picture's edge to a letter's centre: inside the rim, clear of the edge markers.
constexpr double kLetterInset = 11.0;
// From the picture's edge to the north mark's centre: on the rim itself.
constexpr double kTickInset = 5.0;
constexpr Nanoseconds kCoordinatesPeriod = kSecond / 10;

// N, E, S and W as world directions: +X is north and +Y east, as the unturned map shows them.
constexpr double kLetterDirectionX[kCompassLetterCount] = {1.0, 0.0, -1.0, 0.0};
constexpr double kLetterDirectionY[kCompassLetterCount] = {0.0, 1.0, 0.0, -1.0};

// World units are centimetres. Rounded to the tenth shown, so a player standing at -0.04 m
// reads 0.0, not -0.0.
double ShownMetres(double units) { return std::round(units / 10.0) / 10.0 + 0.0; }
} // namespace

double LiveOrvantaMod::MapYaw() const
{
    const CameraState& camera = session.camera;
    if (Hud().NorthUp || !camera.yawSmoothingStarted)
    {
        return 0.0;
    }
    return camera.cameraYaw;
}

void LiveOrvantaMod::ApplyExtrasVisibility()
{
    const HudSettings& hud = Hud();
    WidgetState& widget = session.widget;
    for (const CompassLetter& letter : widget.compass)
    {
        if (IsLive(letter.backdrop, false))
        {
            SetVisibility(reflection, letter.backdrop, hud.CompassLetters ? kVisibilityShown : kVisibilityCollapsed);
        }
    }
    if (IsLive(widget.northTick.backdrop, false))
    {
        SetVisibility(reflection, widget.northTick.backdrop, NorthTickShown() ? kVisibilityShown : kVisibilityCollapsed);
        widget.northTick.sentPosition = kNoPosition;
    }
    if (IsLive(widget.coordinatesBackdrop, false))
    {
        SetVisibility(reflection, widget.coordinatesBackdrop, hud.Coordinates ? kVisibilityShown : kVisibilityCollapsed);
    }
    // Shown again, the text is due at once rather than at the end of the last period.
    session.coordinates = CoordinatesState{};
}

void LiveOrvantaMod::ApplyMapOpacity()
{
    const WidgetState& widget = session.widget;
    const float opacity = kMapOpacityRange.Clamp(Hud().MapOpacity);
    // The picture alone fades: the markers, the arrow and the letters a player reads stay solid.
    if (IsLive(widget.mapImage, false))
    {
        SetRenderOpacity(reflection, widget.mapImage, opacity);
    }
    // The engine paints each widget at its own opacity, and each rim is a filled box beneath
    // the picture: rims left at any strength would cover the very world a see-through map is
    // meant to show. Below full opacity they fade out whole, and the picture's own round or
    // square edge frames the map.
    const bool solid = opacity >= kMapOpacityRange.max;
    const std::pair<UObject*, LinearColor> rims[] = {
        {widget.outerRim, Palette::kBronze}, {widget.middleRim, Palette::kRimDarkFill}, {widget.innerRim, Palette::kRimLightBronze}};
    for (auto [rim, colour] : rims)
    {
        if (IsLive(rim, false))
        {
            SetBrushColor(reflection, rim, {colour.r, colour.g, colour.b, solid ? colour.a : 0.0f});
        }
    }
}

void LiveOrvantaMod::RefreshOpacityCaption()
{
    UObject* text = session.widget.controls[kOpacityButton].text;
    if (!IsLive(text, false))
    {
        return;
    }
    wchar_t caption[8] = {};
    const auto percent = static_cast<int>(std::lround(kMapOpacityRange.Clamp(Hud().MapOpacity) * 100.0f));
    *fmt::format_to_n(caption, std::size(caption) - 1, L"{}%", percent).out = L'\0';
    SetText(reflection, text, caption);
}

bool LiveOrvantaMod::NorthTickShown() const
{
    const HudSettings& hud = Hud();
    return !hud.CompassLetters && !hud.NorthUp;
}

void LiveOrvantaMod::UpdateCompassLetters()
{
    const bool letters = Hud().CompassLetters;
    if (!letters && !NorthTickShown())
    {
        return;
    }
    // A unit map around the origin: each letter's direction on screen, turned as the markers are.
    const MapView view = MakeMapView(workingSize, 1.0, MapYaw(), 0.0, 0.0, workingCircular);
    const double k = session.layout.controlScale;
    if (!letters)
    {
        CompassLetter& tick = session.widget.northTick;
        PlaceOnRim(view, 0, view.half - kTickInset * k, kNorthTickSize * k, tick);
        return;
    }
    for (std::size_t index = 0; index < kCompassLetterCount; ++index)
    {
        PlaceOnRim(view, index, view.half - kLetterInset * k, kCompassLetterBoxSize * k, session.widget.compass[index]);
    }
}

void LiveOrvantaMod::PlaceOnRim(const MapView& view, std::size_t direction, double reach, double boxSize, CompassLetter& mark)
{
    if (!IsLive(mark.slot, false))
    {
        return;
    }
    const MapPoint onMap = ProjectToMap(view, kLetterDirectionX[direction], kLetterDirectionY[direction], 0.0);
    const double right = onMap.right / view.scale;
    const double down = onMap.down / view.scale;
    // On the square frame a mark goes out to the edge it points at, corners included.
    const double distance = view.circular ? reach : reach / std::max(std::abs(right), std::abs(down));
    const MapPoint place{true, right * distance, down * distance};
    MoveSlot(reflection, mark.slot, SlotPosition(view, place, boxSize * 0.5), mark.sentPosition);
}

void LiveOrvantaMod::UpdateCoordinates()
{
    CoordinatesState& state = session.coordinates;
    UObject* text = session.widget.coordinatesText;
    UObject* pawn = session.discovery.pawn;
    if (!Hud().Coordinates || !IsDue(now, state.nextUpdate) || !IsLive(text, false) || !IsLive(pawn, false))
    {
        return;
    }
    state.nextUpdate = now + kCoordinatesPeriod;
    Vector3d at;
    if (!ReadActorLocation(reflection, pawn, at))
    {
        return;
    }
    std::array<wchar_t, kCoordinatesCapacity> line{};
    // fmt formats without the game's locale and into the fixed buffer, never allocating.
    const auto written =
        fmt::format_to_n(line.data(), line.size() - 1, L"X {:.1f} m  Y {:.1f} m", ShownMetres(at.x), ShownMetres(at.y));
    *written.out = L'\0';
    if (line == state.shown)
    {
        return;
    }
    state.shown = line;
    SetText(reflection, text, line.data());
}
} // namespace Orv
