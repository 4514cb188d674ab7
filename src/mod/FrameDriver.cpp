// The frame driver: once per engine frame it keeps a session for the local player (building
// it, keeping it, or throwing it away on a world change or a stale player) and runs each
// sub-update at its own rate off one clock reading.
#include "mod/LiveOrvantaMod.hpp"

#include "mod/Log.hpp"
#include "reflection/Calls.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudSettings.hpp"
#include "settings/ModSettings.hpp"

#include <algorithm>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr Nanoseconds kDiscoveryRetry = kSecond / 2;
constexpr Nanoseconds kCreationRetry = kSecond;
constexpr Nanoseconds kPlayerHidingPeriod = 30 * kSecond;
constexpr Nanoseconds kBrightnessPeriod = 10 * kSecond;
constexpr Nanoseconds kIconStyleRetry = 5 * kSecond;
constexpr Nanoseconds kMapTrackerPeriod = kSecond;
// While the player stands still the picture needs refreshing no more than this often.
constexpr float kStillCaptureRate = 5.0f;

// One period of a rate, in whole nanoseconds.
Nanoseconds PeriodOf(float rate) { return static_cast<Nanoseconds>(1e9 / static_cast<double>(rate)); }
} // namespace

void LiveOrvantaMod::OnTick()
{
    now = ReadMonotonicClock();

    // Seamless travel moves the game instance on while the old world lives a little longer. The
    // world-change hook may never hear of it (the game's blueprint implements the event), and
    // no map load happens: the frame sees it here.
    if (!worldChanged && GameInstanceMovedOn())
    {
        NoteWorldChange(session.discovery.world);
    }
    if (worldChanged)
    {
        // The dying world takes the capture actor with it.
        worldChanged = false;
        TearDownSession(false);
        nextSessionAttempt = now + kDiscoveryRetry;
        return;
    }

    PollHotkeys();
    if (Hud().Hidden)
    {
        return;
    }

    if (!SessionStillValid())
    {
        TearDownSession(true);
        if (!IsDue(now, nextSessionAttempt))
        {
            return;
        }
        if (!AcquireSession())
        {
            nextSessionAttempt = now + kDiscoveryRetry;
            return;
        }
    }

    // A part the game destroyed is gone for the map from that moment: waiting for the collector
    // to free it would freeze the map until the next purge, which in a game may be a minute away.
    const CaptureState& capture = session.capture;
    if (!IsLive(capture.captureActor, false) || !IsLive(capture.captureComponent, false) ||
        !IsLive(capture.renderTarget, true))
    {
        // What is left of a broken capture goes: an actor that lost its component would
        // otherwise stay in the world beside its replacement.
        if (IsLive(capture.captureActor, false))
        {
            DestroyActor(capture.captureActor);
        }
        if (!CreateCapture())
        {
            AbandonCreation(L"CreateCaptureFailed", L"The minimap capture could not be created for the active session.\n");
            return;
        }
        // A HUD built for the last capture shows its target until told of the new one, and
        // the map would freeze on the last picture; the new brush is shaped as a resize's is.
        if (IsLive(session.widget.mapImage, false))
        {
            SetBrushResourceObject(reflection, session.widget.mapImage, capture.renderTarget);
            ApplyFrameShape();
        }
        FrameDeadlines& fresh = session.deadlines;
        fresh.nextCameraUpdate = fresh.nextMarkerUpdate = fresh.nextAiRefresh = now;
        fresh.nextMapTrackerCheck = fresh.nextPlayerHiding = fresh.nextBrightnessRefresh = now;
        mapDataDirty = true;
        playerHidingDirty = true;
        brightnessDirty = true;
        aiSnapshotTaken = false;
    }

    const WidgetState& widget = session.widget;
    if (widget.userWidget == nullptr || widget.arrowImage == nullptr)
    {
        if (!CreateMapWidget())
        {
            AbandonCreation(L"CreateWidgetFailed", L"The minimap widget could not be created for the active session.\n");
            return;
        }
    }

    FrameDeadlines& deadlines = session.deadlines;
    if (iconStyles.empty() && IsDue(now, deadlines.nextIconStyleAttempt))
    {
        mapDataDirty = LoadIconStyles() || mapDataDirty;
        deadlines.nextIconStyleAttempt = now + kIconStyleRetry;
    }
    if (IsDue(now, deadlines.nextMapTrackerCheck))
    {
        // While the game keeps a tracker, its icons are listed anew every second; without one,
        // after actors arrived, whose components may be icons no event told of.
        mapDataDirty = FindMapTracker() != nullptr || session.gameData.actorsArrived || mapDataDirty;
        session.gameData.actorsArrived = false;
        deadlines.nextMapTrackerCheck = now + kMapTrackerPeriod;
    }
    if (mapDataDirty)
    {
        RebuildMapMarkers();
        mapDataDirty = false;
    }

    const bool showAi = Settings().ShowAi;
    ProcessActorQueues();

    if (Settings().HidePlayer && (playerHidingDirty || IsDue(now, deadlines.nextPlayerHiding)))
    {
        HidePlayer();
        playerHidingDirty = false;
        deadlines.nextPlayerHiding = now + kPlayerHidingPeriod;
    }

    if (brightnessDirty || IsDue(now, deadlines.nextBrightnessRefresh))
    {
        RefreshBrightness(false);
        brightnessDirty = false;
        deadlines.nextBrightnessRefresh = now + kBrightnessPeriod;
    }

    const bool moved = MovementTest();
    Nanoseconds& nextCameraUpdate = deadlines.nextCameraUpdate;
    if (moved && now < nextCameraUpdate)
    {
        // Movement brings the next picture forward, to now at the soonest and never sooner
        // than the configured rate allows after the last one.
        const Nanoseconds movingDeadline = session.camera.lastUpdateTime + PeriodOf(workingCaptureFPS);
        nextCameraUpdate = std::max(now, std::min(nextCameraUpdate, movingDeadline));
    }
    if (IsDue(now, nextCameraUpdate))
    {
        UpdateCamera();
        nextCameraUpdate = now + PeriodOf(moved ? workingCaptureFPS : std::min(kStillCaptureRate, workingCaptureFPS));
    }

    UpdatePlayerArrow();
    if (IsDue(now, deadlines.nextMarkerUpdate))
    {
        UpdateMapIconMarkers();
        if (showAi)
        {
            UpdateAiMarkers();
        }
        UpdateCompassLetters();
        deadlines.nextMarkerUpdate = now + PeriodOf(workingMarkerFPS);
    }
    UpdateCoordinates();

    UpdateInput();
}

void LiveOrvantaMod::AbandonCreation(std::wstring_view reportKey, std::wstring_view message)
{
    // Told once per world; the session goes, its capture actor with it, and is tried again.
    if (ReportOnce(reportKey))
    {
        LogError(message);
    }
    TearDownSession(true);
    nextSessionAttempt = now + kCreationRetry;
}

void LiveOrvantaMod::TearDownSession(bool destroyActors)
{
    // The game gets its input back now, even with the button held: after the session no frame
    // would see the release and give it back then.
    if (session.edit.editMode)
    {
        SetEditMode(false);
    }
    RestoreGameInputMode();
    if (IsLive(session.widget.userWidget, false))
    {
        CallWithoutArguments(reflection, session.widget.userWidget, L"RemoveFromParent");
    }
    if (destroyActors && IsLive(session.capture.captureActor, false))
    {
        DestroyActor(session.capture.captureActor);
    }
    ReleaseRenderTarget();
    // Every per-world field goes back to its start value at once, lists emptied with it.
    session = MapSession{};
    // The override state just went back to the open world, and the width goes with it: a
    // player who fell in a dungeon and rose in the open would otherwise keep the dungeon's
    // width, and the next zoom step would save it as the open world's.
    workingZoom = OpenWorldZoom();
    mapDataDirty = true;
    playerHidingDirty = true;
    brightnessDirty = true;
    aiSnapshotTaken = false;
}
} // namespace Orv
