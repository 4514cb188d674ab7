// The player's arrow at the frame's centre: the game's own local-player icon, turned to the
// direction the player moves relative to the map's up, or along the map's reference when the
// player stands still. The engine is told only of a new picture or a turn of 0.01° or more.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Calls.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudSettings.hpp"

#include <cmath>
#include <numbers>

namespace Orv
{
namespace
{
constexpr std::uint8_t kLocalPlayerType = 1;
// Slower than this (5 units a second) the player counts as standing still.
constexpr double kStillSpeedSquared = 25.0;
constexpr double kArrowBaseAngle = 270.0;
constexpr double kAngleTolerance = 0.01;
} // namespace

void LiveOrvantaMod::UpdatePlayerArrow()
{
    UObject* pawn = session.discovery.pawn;
    UObject* arrow = session.widget.arrowImage;
    if (!IsLive(pawn, false) || !IsLive(arrow, false))
    {
        return;
    }
    ArrowState& state = session.arrow;
    const IconStyle* style = FindStyleById(kLocalPlayerType);
    // The engine's image takes a live Texture2D only: anything else it would read as one.
    if (style != nullptr && style->texture != state.arrowTexture && IsTexture2D(style->texture))
    {
        state.arrowTexture = style->texture;
        SetBrushFromTexture(reflection, arrow, style->texture);
        SetImageColor(reflection, arrow, style->tint);
    }
    if (state.arrowTexture == nullptr || !IsTexture2D(state.arrowTexture))
    {
        return;
    }
    const CameraState& camera = session.camera;
    double view = camera.cameraYaw;
    if (!camera.yawSmoothingStarted && !ReadActorYaw(pawn, view))
    {
        return;
    }
    // Standing still the arrow points where the player looks. The turning map puts that up;
    // with north kept up the arrow turns instead, to this frame's view (read by the movement
    // test) rather than the camera's smoothed one.
    const bool northUp = Hud().NorthUp;
    if (northUp && camera.movementTestStarted)
    {
        view = camera.lastPawnYaw;
    }
    const double reference = northUp ? 0.0 : view;
    double heading = view;
    Vector3d velocity;
    if (CallAndReadVector(reflection, pawn, L"GetVelocity", velocity) &&
        velocity.x * velocity.x + velocity.y * velocity.y > kStillSpeedSquared)
    {
        heading = std::atan2(velocity.y, velocity.x) * 180.0 / std::numbers::pi;
    }
    const double offset = style != nullptr ? static_cast<double>(style->rotationOffset) : 0.0;
    const auto angle = static_cast<float>(std::remainder(heading - reference, 360.0) + (offset + kArrowBaseAngle));
    if (std::abs(static_cast<double>(angle) - static_cast<double>(state.arrowAngle)) < kAngleTolerance)
    {
        return;
    }
    state.arrowAngle = angle;
    SetRenderAngle(reflection, arrow, angle);
}
} // namespace Orv
