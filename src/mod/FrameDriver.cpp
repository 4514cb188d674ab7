// The frame driver: once per engine frame it keeps a session for the local player (building
// it, keeping it, or throwing it away on a world change or a stale player) and runs each
// sub-update at its own rate off one clock reading.
#include "mod/LiveOrvantaMod.hpp"

#include "mod/Log.hpp"
#include "reflection/Calls.hpp"
#include "settings/ModSettings.hpp"

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr Nanoseconds kDiscoveryRetry = kSecond / 2;
} // namespace

void LiveOrvantaMod::OnTick()
{
    now = ReadMonotonicClock();

    if (worldChanged)
    {
        // The dying world takes the capture actor with it.
        worldChanged = false;
        TearDownSession(false);
        nextSessionAttempt = now + kDiscoveryRetry;
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

    // Capture and widget creation, map data, player hiding, camera, arrow, markers and input
    // join here in frame order as they are built.

    ProcessActorQueues();

    if (brightnessDirty || IsDue(now, session.deadlines.nextBrightnessRefresh))
    {
        RefreshBrightness(false);
        brightnessDirty = false;
        session.deadlines.nextBrightnessRefresh = now + 10 * kSecond;
    }
}

void LiveOrvantaMod::TearDownSession(bool destroyActors)
{
    if (IsLive(session.widget.userWidget, false))
    {
        CallWithoutArguments(reflection, session.widget.userWidget, L"RemoveFromParent");
    }
    if (destroyActors && IsLive(session.capture.captureActor, false))
    {
        static_cast<AActor*>(session.capture.captureActor)->K2_DestroyActor();
    }
    if (IsLive(session.capture.renderTarget, true))
    {
        FUObjectItem* item = FUObjectArray::IndexToObject(session.capture.renderTarget->GetInternalIndex());
        if (item != nullptr && item->IsRootSet())
        {
            item->UnsetRootSet();
        }
    }
    // Every per-world field goes back to its start value at once, lists emptied with it.
    session = MapSession{};
    mapDataDirty = true;
    playerHidingDirty = true;
    brightnessDirty = true;
    aiSnapshotTaken = false;
}

void LiveOrvantaMod::RefreshBrightness(bool) {}
} // namespace Orv
