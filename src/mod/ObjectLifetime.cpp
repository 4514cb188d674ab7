// Engine objects the mod holds, forgotten as the engine frees them. The engine reuses a freed
// object's memory and slot at once, so a pointer kept past the free would read another
// object's bytes, or take a new object at the old address for the old one. Every pointer the
// mod keeps across frames is dropped here, before that can happen.
#include "mod/LiveOrvantaMod.hpp"
#include "reflection/Lookup.hpp"

#include <algorithm>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
template <typename Pointer> void Drop(Pointer*& kept, const void* freed)
{
    if (kept == freed)
    {
        kept = nullptr;
    }
}

void DropFrom(std::vector<UObject*>& list, const void* freed)
{
    list.erase(std::remove(list.begin(), list.end(), freed), list.end());
}

bool HoldsFrameWidget(const WidgetState& widget, const void* freed)
{
    const UObject* const frame[] = {widget.userWidget,   widget.rootCanvas,   widget.hudCanvas,  widget.mapSizeBox,
                                    widget.outerRim,     widget.middleRim,    widget.innerRim,   widget.mapOverlay,
                                    widget.mapImage,     widget.markerCanvas, widget.arrowSizeBox, widget.arrowImage,
                                    widget.perfPanel,    widget.perfPanelFill};
    return std::find(std::begin(frame), std::end(frame), freed) != std::end(frame);
}
} // namespace

void LiveOrvantaMod::ObjectForgetter::NotifyUObjectDeleted(const UObjectBase* object, int32)
{
    // Only compares addresses: the object is half torn down by now.
    if (mod.OnGameThread())
    {
        mod.ForgetObject(object);
        return;
    }
    // A purge on the collector's thread: the object goes once this returns, so this waits
    // until no mod code runs on the game thread, and the game thread's next entry into the mod
    // forgets it before reading anything. The engine marked it unreachable on the game thread
    // before this purge began, and the liveness test sees that mark until then.
    std::lock_guard lock(mod.gameWork);
    mod.freedElsewhere.push_back(object);
}

void LiveOrvantaMod::ObjectForgetter::OnUObjectArrayShutdown()
{
    // FUObjectArray::ShutdownUObjectArray stops the game with a fatal error when a listener is
    // still registered after this call: out first.
    if (registered)
    {
        FUObjectArray::RemoveUObjectDeleteListener(this);
        registered = false;
    }
    mod.ForgetEngine();
}

void LiveOrvantaMod::CatchUpWithTheCollector()
{
    for (const void* object : freedElsewhere)
    {
        ForgetObject(object);
    }
    freedElsewhere.clear();
    // A purge frees an unreachable tree over several frames and in any order, so one of its
    // widgets may be gone while its root still stands. The collector marks the whole tree
    // before it frees any of it, and the root carries that mark until it goes itself.
    if (session.widget.userWidget != nullptr && !IsLive(session.widget.userWidget, false))
    {
        DropWidgetTree();
    }
}

void LiveOrvantaMod::DropWidgetTree()
{
    // Every handle into the tree goes, and with them what was last applied to its arrow, so
    // the next tree's arrow gets its picture and angle.
    session.widget = WidgetState{};
    session.markers = MarkerPools{};
    session.arrow = ArrowState{};
}

void LiveOrvantaMod::ForgetObject(const void* object)
{
    DiscoveryState& found = session.discovery;
    Drop(found.world, object);
    Drop(found.gameInstance, object);
    Drop(found.playerController, object);
    Drop(found.pawn, object);

    CaptureState& capture = session.capture;
    Drop(capture.captureActor, object);
    Drop(capture.captureComponent, object);
    Drop(capture.renderTarget, object);

    // The tree dies as a whole (nothing but its root holds it): one of its frame widgets
    // going means all of it goes.
    if (HoldsFrameWidget(session.widget, object))
    {
        DropWidgetTree();
    }
    Drop(session.arrow.arrowTexture, object);
    for (std::size_t index = session.mapIcons.count; index-- > 0;)
    {
        const MapIconEntry& entry = session.mapIcons.entries[index];
        if (entry.component == object || entry.texture == object)
        {
            session.mapIcons.RemoveAt(index);
        }
    }
    // A style without its texture could show another texture that takes the same address.
    for (IconStyle& style : iconStyles)
    {
        Drop(style.texture, object);
    }
    Drop(placeholderTexture, object);

    GameDataState& data = session.gameData;
    Drop(data.mapApi, object);
    Drop(data.mapTracker, object);
    Drop(data.objectRegistry, object);
    Drop(data.revealedIconsComponent, object);
    Drop(data.mapCustomizationComponent, object);
    Drop(data.poiSystem, object);
    Drop(data.aiSubsystem, object);

    // A controller at the saved one's address after a map load is the new world's: never restored.
    Drop(session.edit.saved.controller, object);

    DropFrom(session.actors.trackedActors, object);
    DropFrom(session.actors.pendingBeginPlay, object);
    DropFrom(session.actors.pendingEndPlay, object);

    // A new world at the left world's address is not the world that was left.
    Drop(leftWorld, object);
    menuControllerClass.Forget(object);
    gameControllerClass.Forget(object);
    playerCharacterClass.Forget(object);
    reflection.Forget(object);

    // Unregistering later would call into a freed function.
    if (worldHookFunction == object)
    {
        worldHookFunction = nullptr;
        worldHookId = 0;
    }
    for (std::size_t index = 0; index < runtimeHookCount; ++index)
    {
        if (runtimeHooks[index].function == object)
        {
            runtimeHooks[index] = {};
        }
    }

    Drop(aiCharacterClass, object);
    Drop(npcClass, object);
    Drop(mapIconComponentClass, object);
}

void LiveOrvantaMod::ForgetEngine()
{
    session = MapSession{};
    leftWorld = nullptr;
    menuControllerClass.Reset();
    gameControllerClass.Reset();
    playerCharacterClass.Reset();
    reflection.Clear();
    worldHookFunction = nullptr;
    worldHookId = 0;
    for (std::size_t index = 0; index < runtimeHookCount; ++index)
    {
        runtimeHooks[index] = {};
    }
    runtimeHookCount = 0;
    aiCharacterClass = npcClass = mapIconComponentClass = nullptr;
}
} // namespace Orv
