// The capture camera: each update moves the capture straight above the pawn, lowered under a
// roof or a cave ceiling, turned with the player's view (smoothed), and takes one picture. The
// movement test decides how often that happens; the zoom follows the open world, indoors and
// dungeons, and the user's zoom steps.
#include "mod/LiveOrvantaMod.hpp"

#include "capture/CaptureMath.hpp"
#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudSettings.hpp"
#include "settings/ModSettings.hpp"

#include <algorithm>
#include <cmath>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr Nanoseconds kDungeonCheckPeriod = kSecond / 4;
constexpr double kLookStraightDown = -90.0;
constexpr float kMinZoom = 1500.0f;
constexpr float kMaxZoom = 8000.0f;
constexpr double kMovedDistance = 1.0;
constexpr double kTurnedDegrees = 0.05;

double Seconds(Nanoseconds span) { return static_cast<double>(span) / 1e9; }

float LimitZoom(float width) { return std::clamp(width, kMinZoom, kMaxZoom); }

} // namespace

bool LiveOrvantaMod::ReadViewYaw(double& yaw)
{
    Vector3d rotation;
    if (IsLive(session.discovery.playerController, false) &&
        CallAndReadVector(reflection, session.discovery.playerController, L"GetControlRotation", rotation))
    {
        yaw = rotation.y;
        return true;
    }
    if (!IsLive(session.discovery.pawn, false))
    {
        return false;
    }
    return ReadActorYaw(session.discovery.pawn, yaw);
}

bool LiveOrvantaMod::MovementTest()
{
    UObject* pawn = session.discovery.pawn;
    if (!IsLive(pawn, false))
    {
        return false;
    }
    Vector3d at;
    if (!ReadActorLocation(reflection, pawn, at))
    {
        return false;
    }
    double yaw = 0.0;
    ReadViewYaw(yaw);
    CameraState& camera = session.camera;
    bool moved = true;
    if (camera.movementTestStarted)
    {
        // With north kept up a turn changes the arrow only, not the picture.
        const bool turned = !Hud().NorthUp && std::abs(std::remainder(yaw - camera.lastPawnYaw, 360.0)) >= kTurnedDegrees;
        moved = std::abs(at.x - camera.lastPawnX) >= kMovedDistance || std::abs(at.y - camera.lastPawnY) >= kMovedDistance || turned;
    }
    camera.lastPawnX = at.x;
    camera.lastPawnY = at.y;
    camera.lastPawnYaw = yaw;
    camera.movementTestStarted = true;
    return moved;
}

void LiveOrvantaMod::UpdateCamera()
{
    UObject* pawn = session.discovery.pawn;
    UObject* actor = session.capture.captureActor;
    UObject* component = session.capture.captureComponent;
    if (!IsLive(pawn, false) || !IsLive(actor, false) || !IsLive(component, false))
    {
        return;
    }
    const Nanoseconds at = ReadMonotonicClock();
    CameraState& camera = session.camera;
    camera.lastUpdateTime = at;

    if (IsDue(at, camera.nextDungeonCheck))
    {
        camera.nextDungeonCheck = at + kDungeonCheckPeriod;
        bool inside = false;
        UObject* library = reflection.LookupClassDefault(L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary");
        UFunction* test =
            LookupFunctionByPath(reflection, L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary:IsLocationInsideDungeon");
        Vector3d pawnAt;
        if (library != nullptr && test != nullptr && ReadActorLocation(reflection, pawn, pawnAt))
        {
            const EngineReals location = ToEngine(pawnAt);
            std::uint8_t answer = 0;
            const bool asked = InvokeFunction(
                reflection, library, test,
                [&](CallFrame& frame) {
                    UWorld* world = session.discovery.world;
                    return frame.WriteRaw(L"WorldContextObject", &world, sizeof(world)) &&
                           frame.WriteByCopy(L"Location", location.bytes);
                },
                [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &answer, 1); });
            inside = asked && answer != 0;
        }
        if (inside != camera.inDungeon)
        {
            camera.inDungeon = inside;
            session.indoor.roofTraceDone = false;
            session.indoor.roofFound = false;
            ApplyBrightness();
            ApplyShowFlags();
        }
    }

    if (Settings().IndoorCameraEnabled || camera.inDungeon)
    {
        DetectIndoors();
    }
    else
    {
        session.indoor.indoors = false;
        session.indoor.roofTraceDone = false;
        camera.targetHeight = kOpenCameraHeight;
    }
    SelectZoom();

    Vector3d pawnAt;
    if (!ReadActorLocation(reflection, pawn, pawnAt))
    {
        return;
    }
    if (!camera.inDungeon && camera.heightSmoothingStarted)
    {
        const double k = HeightBlend(Seconds(at - camera.heightTime), Settings().IndoorTransitionSpeed);
        camera.smoothedHeight += k * (camera.targetHeight - camera.smoothedHeight);
    }
    else
    {
        camera.smoothedHeight = camera.targetHeight;
        camera.heightSmoothingStarted = true;
    }
    camera.heightTime = at;

    double yaw = 0.0;
    ReadViewYaw(yaw);
    if (camera.yawSmoothingStarted)
    {
        camera.cameraYaw = SmoothYaw(camera.cameraYaw, yaw, Seconds(at - camera.cameraYawTime));
    }
    else
    {
        camera.cameraYaw = yaw;
        camera.yawSmoothingStarted = true;
    }
    camera.cameraYawTime = at;

    MoveActorTo(actor, {pawnAt.x, pawnAt.y, pawnAt.z + camera.smoothedHeight});
    if (SetActorRotation(reflection, actor, {kLookStraightDown, MapYaw(), 0.0}))
    {
        CallWithoutArguments(reflection, component, L"CaptureScene");
    }
}

void LiveOrvantaMod::SelectZoom()
{
    CameraState& camera = session.camera;
    const bool active = (Settings().IndoorCameraEnabled && session.indoor.indoors) || camera.inDungeon;
    if (active == camera.zoomOverrideActive && (!active || camera.inDungeon == camera.zoomOverrideWasDungeon))
    {
        return;
    }
    camera.zoomOverrideActive = active;
    camera.zoomOverrideWasDungeon = active && camera.inDungeon;
    const ModSettings& settings = Settings();
    const float width = LimitZoom(!active ? settings.Zoom : camera.inDungeon ? settings.DungeonZoom : settings.IndoorZoom);
    if (std::abs(width - workingZoom) > 0.01f)
    {
        SetCaptureWidth(width);
    }
    UObject* component = session.capture.captureComponent;
    if (IsLive(component, false))
    {
        const float factor = camera.inDungeon ? 1.0f : 2.0f;
        WritePropertyValue(reflection, component, L"LODDistanceFactor", factor);
    }
}

float LiveOrvantaMod::OpenWorldZoom() const { return LimitZoom(Settings().Zoom); }

void LiveOrvantaMod::SetCaptureWidth(float width)
{
    workingZoom = width;
    // The dungeon's trace grid is spaced by the width.
    session.indoor.roofTraceDone = false;
    UObject* component = session.capture.captureComponent;
    if (IsLive(component, false))
    {
        WritePropertyValue(reflection, component, L"OrthoWidth", width);
    }
}

void LiveOrvantaMod::StepZoom(float step)
{
    const float width = LimitZoom(workingZoom + step);
    if (std::abs(width - workingZoom) < 0.01f)
    {
        return;
    }
    SetCaptureWidth(width);
    if (IsLive(session.capture.captureComponent, false))
    {
        UpdateCamera();
    }
    CommitLayoutAndSave();
}
} // namespace Orv
