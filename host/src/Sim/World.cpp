// The game as it plays, on the engine's side: the clock, worlds with their persistent level,
// game instances, controllers and possession, actors and components that begin and end play
// through the game's script functions (so a mod's hooks fire), travel with the old world
// dying over frames, respawn, the viewport, and the counts of what a mod did there.
#include "Sim/Detours.hpp"
#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"
#include "Sim/WorldScene.hpp"

#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstring>
#include <unordered_set>

namespace Sim::Detail
{
namespace
{
constexpr uint8 kEndPlayDestroyed = 0;
constexpr uint8 kEndPlayLevelTransition = 1;

PlayState& Play() { return State().play; }

UObject* AsObject(UWorld* world) { return reinterpret_cast<UObject*>(world); }
UWorld* AsWorld(UObject* object) { return reinterpret_cast<UWorld*>(object); }

bool IsWorld(const UObject* object)
{
    return IsLiveObject(object) && State().worldClass != nullptr && object->IsA(State().worldClass);
}

// A streamed level's world goes with the world that owns it.
const UObject* OwnerOf(const UObject* world)
{
    auto found = State().play.streamedInto.find(world);
    return found != State().play.streamedInto.end() ? found->second : world;
}

// Left by seamless travel and ending play over frames, or torn down by a load.
bool IsTearingDown(const UObject* streamedOrNot)
{
    const UObject* world = OwnerOf(streamedOrNot);
    const auto& play = State().play;
    return play.tornDown.contains(world) ||
           std::any_of(play.dying.begin(), play.dying.end(), [world](const DyingWorld& d) { return d.world == world; });
}

// The game may lack any function (a test removes it): then the engine has nothing to call.
UFunction* FindScriptFunction(const UObject* object, StringViewType name)
{
    for (const UStruct* s = object->GetClassPrivate(); s != nullptr; s = EngineAccess::Super(s))
    {
        for (UField* f = EngineAccess::Children(s); f != nullptr; f = EngineAccess::Next(f))
        {
            if (f->IsA(State().functionClass) && f->GetName() == name)
            {
                return static_cast<UFunction*>(f);
            }
        }
    }
    return nullptr;
}

void WriteParam(UFunction* function, uint8* parms, StringViewType name, const void* value, std::size_t size)
{
    if (auto* property = FindPropertyUncounted(function, name))
    {
        std::memcpy(property->ContainerPtrToValuePtr(parms), value, size);
    }
}

void CallEvent(UObject* target, StringViewType name,
               const std::function<void(UFunction*, uint8*)>& fill = {})
{
    if (UFunction* function = FindScriptFunction(target, name))
    {
        CallScriptFunction(target, function, [&](uint8* parms) {
            if (fill)
            {
                fill(function, parms);
            }
        });
    }
}

void CallEndPlay(UObject* target, uint8 reason)
{
    CallEvent(target, L"ReceiveEndPlay", [&](UFunction* function, uint8* parms) {
        WriteParam(function, parms, L"EndPlayReason", &reason, sizeof(reason));
    });
}

ActorRecord* ActorOf(const UObject* actor)
{
    auto found = Play().actors.find(actor);
    return found == Play().actors.end() ? nullptr : &found->second;
}
} // namespace

ActorRecord* ActorRecordOf(const UObject* actor) { return ActorOf(actor); }

namespace
{

ComponentRecord* ComponentOf(const UObject* component)
{
    auto found = Play().components.find(component);
    return found == Play().components.end() ? nullptr : &found->second;
}

LevelRecord* LevelOf(const UObject* level)
{
    auto found = Play().levels.find(level);
    return found == Play().levels.end() ? nullptr : &found->second;
}

LevelRecord* WorldLevel(const UObject* world)
{
    auto found = Play().persistentLevels.find(world);
    return found == Play().persistentLevels.end() ? nullptr : LevelOf(found->second);
}

// The world's AI subsystem keeps the set of its AI characters that play, as the game's does.
void UpdateAiRegistry(UObject* actor, bool playing)
{
    UClass* aiClass = FindClass(L"/Script/Umbrafel.UmbrafelAICharacter");
    if (aiClass == nullptr || !actor->IsA(aiClass))
    {
        return;
    }
    auto found = Play().aiSubsystems.find(AsObject(actor->GetWorld()));
    if (found == Play().aiSubsystems.end() || !Holds(found->second))
    {
        return;
    }
    UObject* subsystem = found->second;
    auto* set = PropertyOf<FSetProperty>(subsystem->GetClassPrivate(), L"AllAiCharacters");
    if (set == nullptr)
    {
        return;
    }
    void* value = set->ContainerPtrToValuePtr(subsystem);
    for (int32 index = 0; index < SetMaxIndex(value); ++index)
    {
        void* element = SetElement(set, value, index);
        if (element != nullptr && *static_cast<UObject**>(element) == actor)
        {
            if (!playing)
            {
                SetRemoveAt(set, value, index);
            }
            return;
        }
    }
    if (playing)
    {
        SetAdd(set, value, [actor](void* element) { *static_cast<UObject**>(element) = actor; });
    }
}

// Hooks run inside these calls and may spawn, destroy or free anything, so records are looked
// up again after every call instead of being held across it.
void BeginPlayComponent(UObject* component)
{
    auto* record = ComponentOf(component);
    if (record == nullptr || record->begunPlay || !IsLiveObject(component))
    {
        return;
    }
    record->begunPlay = true;
    TrackMapIcon(component, true);
    CallEvent(component, L"ReceiveBeginPlay");
}

void EndPlayComponent(UObject* component, uint8 reason)
{
    auto* record = ComponentOf(component);
    if (record == nullptr || !record->begunPlay)
    {
        return;
    }
    record->begunPlay = false;
    CallEndPlay(component, reason);
    if (Holds(component))
    {
        TrackMapIcon(component, false);
    }
}

// The engine begins an actor's components before the actor itself, and only once its world
// has begun play.
void BeginPlayActor(UObject* actor)
{
    auto* record = ActorOf(actor);
    if (record == nullptr || record->begunPlay)
    {
        return;
    }
    if (auto* level = LevelOf(record->level); level == nullptr || !Play().playing.contains(level->world))
    {
        return;
    }
    record->begunPlay = true;
    // AActor::DispatchBeginPlay calls the virtual BeginPlay, around which the loader's detour
    // runs its callbacks: before the components begin, and after the actor's own script event.
    RunBeginPlay(actor, [actor] {
        std::vector<UObject*> components = ActorOf(actor) != nullptr ? ActorOf(actor)->components : std::vector<UObject*>{};
        for (auto* component : components)
        {
            BeginPlayComponent(component);
        }
        if (IsLiveObject(actor))
        {
            UpdateAiRegistry(actor, true);
            MapActorBegins(actor);
            CallEvent(actor, L"ReceiveBeginPlay");
        }
    });
}

// And ends the actor before its components.
void EndPlayActor(UObject* actor, uint8 reason)
{
    auto* record = ActorOf(actor);
    if (record == nullptr || !record->begunPlay)
    {
        return;
    }
    record->begunPlay = false;
    // AActor::EndPlay, inside the loader's detour: its callbacks run before the actor's script
    // event, and after its components have ended too.
    RunEndPlay(actor, reason, [actor, reason] {
        CallEndPlay(actor, reason);
        if (Holds(actor))
        {
            UpdateAiRegistry(actor, false);
        }
        if (auto* again = ActorOf(actor))
        {
            std::vector<UObject*> components = again->components;
            for (auto* component : components)
            {
                EndPlayComponent(component, reason);
            }
        }
    });
}

// An actor's play ends with its world's: a capture among them counts as taken out.
void EndPlayWithWorld(UObject* actor)
{
    if (UClass* capture = FindClass(L"/Script/Engine.SceneCapture2D"); capture != nullptr && actor->IsA(capture))
    {
        ++Play().observed.captureActorsDestroyed;
    }
    EndPlayActor(actor, kEndPlayLevelTransition);
}

UObject* CreateComponent(UObject* owner, UClass* cls, StringViewType name)
{
    auto* component = NewObject(cls, owner, name);
    Play().components[component] = {owner, false};
    if (auto* record = ActorOf(owner))
    {
        record->components.push_back(component);
    }
    ApplyConstructionDefaults(component);
    // UActorComponent::RegisterComponentWithWorld: a component that auto-activates is active
    // from its registration on, before any script asks.
    SetFlag(component, L"bRegistered", true);
    if (Flag(component, L"bAutoActivate"))
    {
        SetFlag(component, L"bIsActive", true);
    }
    ComponentRegistered(component);
    if (component->IsA(FindClass(L"/Script/Engine.SceneComponent")))
    {
        UObject* root = ObjectReference(owner, L"RootComponent");
        if (!Holds(root))
        {
            SetObjectReference(owner, L"RootComponent", component);
        }
        else
        {
            SetObjectReference(component, L"AttachParent", root);
        }
    }
    return component;
}

void CreateDefaultComponents(UObject* actor)
{
    std::unordered_set<std::wstring> done;
    for (const UStruct* s = actor->GetClassPrivate(); s != nullptr; s = EngineAccess::Super(s))
    {
        auto found = Play().defaultComponents.find(static_cast<const UClass*>(s));
        if (found == Play().defaultComponents.end())
        {
            continue;
        }
        std::vector<DefaultComponent> entries = found->second;
        for (const auto& entry : entries)
        {
            UClass* cls = FindClass(entry.classPath);
            if (cls == nullptr || !done.insert(entry.property).second)
            {
                continue;
            }
            // A subclass's first scene component became the root already.
            if (entry.property == L"RootComponent" && Holds(ObjectReference(actor, L"RootComponent")))
            {
                continue;
            }
            UObject* component = CreateComponent(actor, cls, entry.name);
            if (entry.property != L"RootComponent")
            {
                SetObjectReference(actor, entry.property, component);
            }
        }
    }
}

// The game's player character tells its equipment when its controller changes.
void NotifyControllerChanged(UObject* pawn, UObject* oldController, UObject* newController)
{
    UObject* equipment = ObjectReference(pawn, L"EquipmentComponent");
    if (!IsLiveObject(equipment))
    {
        return;
    }
    CallEvent(equipment, L"ReceiveControllerChanged", [&](UFunction* function, uint8* parms) {
        WriteParam(function, parms, L"Pawn", &pawn, sizeof(pawn));
        WriteParam(function, parms, L"OldController", &oldController, sizeof(oldController));
        WriteParam(function, parms, L"NewController", &newController, sizeof(newController));
    });
}

void LeaveWorld(UObject* actor)
{
    auto* record = ActorOf(actor);
    if (record == nullptr)
    {
        MarkPendingKill(actor);
        return;
    }
    if (auto* level = LevelOf(record->level))
    {
        std::erase(level->actors, actor);
    }
    for (auto* component : record->components)
    {
        MarkPendingKill(component);
    }
    MarkPendingKill(actor);
}

void DestroyActorFor(UObject* actor, uint8 reason)
{
    if (!IsLiveObject(actor) || !actor->IsA(FindClass(L"/Script/Engine.Actor")) ||
        Flag(actor, L"bActorIsBeingDestroyed"))
    {
        return;
    }
    // Raised before the actor hears of it, so everything from here on sees it going.
    SetFlag(actor, L"bActorIsBeingDestroyed", true);
    if (UClass* capture = FindClass(L"/Script/Engine.SceneCapture2D"); capture != nullptr && actor->IsA(capture))
    {
        ++Play().observed.captureActorsDestroyed;
    }
    if (Play().controllers.count(actor) != 0)
    {
        Possess(actor, nullptr);
    }
    std::vector<UObject*> possessors;
    for (const auto& [controller, record] : Play().controllers)
    {
        if (record.pawn == actor)
        {
            possessors.push_back(const_cast<UObject*>(controller));
        }
    }
    for (auto* controller : possessors)
    {
        Possess(controller, nullptr);
    }
    EndPlayActor(actor, reason);
    if (Holds(actor))
    {
        DetachChildren(actor);
        LeaveWorld(actor);
    }
}

bool IsInside(const UObject* object, const UObject* outer)
{
    for (const UObject* o = object; o != nullptr; o = o->GetOuter())
    {
        if (o == outer)
        {
            return true;
        }
    }
    return false;
}

std::vector<UObject*> BegunActors(const UObject* world)
{
    std::vector<UObject*> begun;
    for (UObject* levelObject : LevelsOfWorld(world))
    {
        for (auto* actor : LevelOf(levelObject)->actors)
        {
            if (auto* record = ActorOf(actor); record != nullptr && record->begunPlay)
            {
                begun.push_back(actor);
            }
        }
    }
    return begun;
}

void RemoveFromViewport(UObject* widget)
{
    std::erase(Play().viewport, widget);
    Play().viewportLayers.erase(widget);
    DropScreenTree(widget);
    RemoveGarbageRoot(widget);
    ++Play().observed.removedByEngine;
}

// UWorld::MarkObjectsPendingKill: the world stops being kept and everything inside it is marked
// for the collector, rooted or not. UObjectBaseUtility::MarkPendingKill checks that the object
// is not rooted; a shipping build marks it all the same, and the root then keeps it, and through
// it its whole outer chain, alive.
void AbandonWorld(UObject* world)
{
    RemoveGarbageRoot(world);
    // UWorld::CleanupWorld takes the levels streamed into the world with it.
    std::vector<UObject*> worlds{world};
    if (auto streamed = Play().streamedLevels.find(world); streamed != Play().streamedLevels.end())
    {
        worlds.insert(worlds.end(), streamed->second.begin(), streamed->second.end());
    }
    for (int32 index = 0; index < State().numItems; ++index)
    {
        auto* item = EngineAccess::Item(index);
        if (item->Object == nullptr || item->IsPendingKill() ||
            std::none_of(worlds.begin(), worlds.end(), [item](UObject* w) { return IsInside(item->Object, w); }))
        {
            continue;
        }
        if (item->IsRootSet())
        {
            FailCheck(L"MarkPendingKill " + item->Object->GetPathName());
        }
        MarkPendingKill(item->Object);
    }
}

// UUserWidget leaves the viewport with the world it belongs to (its world's cleanup removes it);
// widgets of other worlds stay.
void RemoveWorldWidgets(UObject* world)
{
    std::vector<UObject*> viewport = Play().viewport;
    for (auto* widget : viewport)
    {
        if (Holds(widget) && AsObject(widget->GetWorld()) == world)
        {
            RemoveFromViewport(widget);
        }
    }
}

// As the engine cleans up a world it leaves: its widgets leave the viewport, the actors end
// play, and everything inside it is marked for the collector, which runs at once.
void KillWorld(UObject* world)
{
    if (Holds(world))
    {
        RemoveWorldWidgets(world);
    }
    for (auto* actor : BegunActors(world))
    {
        EndPlayWithWorld(actor);
    }
    if (!Holds(world))
    {
        return;
    }
    Play().tornDown.insert(world);
    AbandonWorld(world);
    CollectGarbage(true);
}

void NotifyWorldChanged(UObject* gameInstance, UObject* from, UObject* to)
{
    CallEvent(gameInstance, L"K2_OnWorldChanged", [&](UFunction* function, uint8* parms) {
        WriteParam(function, parms, L"OldWorld", &from, sizeof(from));
        WriteParam(function, parms, L"NewWorld", &to, sizeof(to));
    });
}
} // namespace

// Vector and rotator members are floats before engine 5.0 and doubles from it on; the
// engine's own struct layout says which.
void WriteReal(const UStruct* layout, void* value, StringViewType member, double real)
{
    FProperty* property = FindPropertyUncounted(layout, member);
    if (CastField<FFloatProperty>(property) != nullptr)
    {
        *property->ContainerPtrToValuePtr<float>(value) = static_cast<float>(real);
    }
    else if (CastField<FDoubleProperty>(property) != nullptr)
    {
        *property->ContainerPtrToValuePtr<double>(value) = real;
    }
}

double ReadReal(const UStruct* layout, const void* value, StringViewType member)
{
    FProperty* property = FindPropertyUncounted(layout, member);
    if (CastField<FFloatProperty>(property) != nullptr)
    {
        return static_cast<double>(*property->ContainerPtrToValuePtr<float>(value));
    }
    if (CastField<FDoubleProperty>(property) != nullptr)
    {
        return *property->ContainerPtrToValuePtr<double>(value);
    }
    return 0;
}

RealTriple ResolveTriple(StringViewType structPath, const wchar_t* const (&names)[3])
{
    const auto* layout = static_cast<const UStruct*>(FindObjectByPath(structPath));
    RealTriple triple;
    for (int i = 0; layout != nullptr && i < 3 && names[i] != nullptr; ++i)
    {
        FProperty* property = FindPropertyUncounted(layout, names[i]);
        if (CastField<FFloatProperty>(property) != nullptr || CastField<FDoubleProperty>(property) != nullptr)
        {
            triple.members[i] = {property, CastField<FDoubleProperty>(property) != nullptr};
        }
    }
    return triple;
}

namespace
{
void WriteTriple(const RealTriple& triple, void* value, const double (&reals)[3])
{
    for (int i = 0; i < 3; ++i)
    {
        const RealMember& member = triple.members[i];
        if (member.property == nullptr)
        {
            continue;
        }
        if (member.isDouble)
        {
            *member.property->ContainerPtrToValuePtr<double>(value) = reals[i];
        }
        else
        {
            *member.property->ContainerPtrToValuePtr<float>(value) = static_cast<float>(reals[i]);
        }
    }
}

void ReadTriple(const RealTriple& triple, const void* value, double* (&&reals)[3])
{
    for (int i = 0; i < 3; ++i)
    {
        const RealMember& member = triple.members[i];
        if (member.property == nullptr)
        {
            *reals[i] = 0;
        }
        else if (member.isDouble)
        {
            *reals[i] = *member.property->ContainerPtrToValuePtr<double>(value);
        }
        else
        {
            *reals[i] = static_cast<double>(*member.property->ContainerPtrToValuePtr<float>(value));
        }
    }
}
} // namespace

void WriteVectorValue(void* value, double x, double y, double z) { WriteTriple(State().vectorLayout, value, {x, y, z}); }
void ReadVector2DValue(const void* value, double& x, double& y)
{
    double unused = 0;
    ReadTriple(State().vector2DLayout, value, {&x, &y, &unused});
}
void ReadVectorValue(const void* value, double& x, double& y, double& z) { ReadTriple(State().vectorLayout, value, {&x, &y, &z}); }
void WriteRotatorValue(void* value, double pitch, double yaw, double roll)
{
    WriteTriple(State().rotatorLayout, value, {pitch, yaw, roll});
}
void ReadRotatorValue(const void* value, double& pitch, double& yaw, double& roll)
{
    ReadTriple(State().rotatorLayout, value, {&pitch, &yaw, &roll});
}

void PlayState::Forget(const UObject* object)
{
    ForgetMapObject(*this, object);
    persistentLevels.erase(object);
    streamedLevels.erase(object);
    streamedInto.erase(object);
    for (auto& [owner, streamed] : streamedLevels)
    {
        std::erase(streamed, object);
    }
    viewportLayers.erase(object);
    ForgetOnScreen(screen, object);
    widgetOwners.erase(object);
    std::erase_if(widgetOwners, [object](const auto& entry) { return entry.second == object; });
    aiSubsystems.erase(object);
    timeSubsystems.erase(object);
    renderTargets.erase(object);
    scenes.erase(object);
    captureMoves.erase(object);
    captureShowFlags.erase(object);
    // A picture still to be drawn goes with its target or its world, not to whatever takes
    // their memory next.
    std::erase_if(pendingCaptures,
                  [object](const PendingCapture& p) { return p.target == object || p.world == object; });
    for (auto& [actor, record] : actors)
    {
        if (record.attachParent == object)
        {
            record.attachParent = nullptr;
        }
    }
    playing.erase(object);
    tornDown.erase(object);
    defaultComponents.erase(reinterpret_cast<const UClass*>(object));
    levels.erase(object);
    if (auto found = actors.find(object); found != actors.end())
    {
        if (auto level = levels.find(found->second.level); level != levels.end())
        {
            std::erase(level->second.actors, object);
        }
        actors.erase(found);
    }
    if (auto found = components.find(object); found != components.end())
    {
        if (auto owner = actors.find(found->second.owner); owner != actors.end())
        {
            std::erase(owner->second.components, object);
        }
        components.erase(found);
    }
    controllers.erase(object);
    for (auto& [controller, record] : controllers)
    {
        if (record.pawn == object)
        {
            record.pawn = nullptr;
        }
    }
    std::erase(viewport, object);
    std::erase_if(dying, [object](const DyingWorld& d) { return d.world == object; });
    if (localPlayer == object)
    {
        localPlayer = nullptr;
    }
}

void StepWorlds()
{
    auto& play = Play();
    StepScenes();
    // A world stays on the list until it is gone, so the engine refuses to spawn into it all
    // the while; hooks that run meanwhile may change the list, hence the copy.
    std::vector<DyingWorld> dying = play.dying;
    for (const auto& entry : dying)
    {
        if (!Holds(entry.world))
        {
            continue;
        }
        // An even share of the actors still playing ends on each frame the world has left.
        std::vector<UObject*> begun = BegunActors(entry.world);
        std::size_t share = (begun.size() + static_cast<std::size_t>(entry.framesLeft) - 1) /
                            static_cast<std::size_t>(std::max(entry.framesLeft, 1));
        for (std::size_t i = 0; i < share && i < begun.size(); ++i)
        {
            EndPlayWithWorld(begun[i]);
        }
        if (entry.framesLeft <= 1)
        {
            KillWorld(entry.world);
            std::erase_if(play.dying, [&entry](const DyingWorld& d) { return d.world == entry.world; });
        }
        else
        {
            for (auto& d : play.dying)
            {
                d.framesLeft -= d.world == entry.world ? 1 : 0;
            }
        }
    }
    if (play.garbagePeriodNanoseconds > 0 && play.clockNanoseconds >= play.nextGarbageCollection)
    {
        play.nextGarbageCollection = play.clockNanoseconds + play.garbagePeriodNanoseconds;
        CollectGarbageInFrame();
    }
}

std::vector<UObject*> LevelsOfWorld(const UObject* world)
{
    std::vector<UObject*> levels;
    auto persistent = Play().persistentLevels.find(world);
    if (persistent == Play().persistentLevels.end() || LevelOf(persistent->second) == nullptr)
    {
        return levels;
    }
    levels.push_back(persistent->second);
    if (auto streamed = Play().streamedLevels.find(world); streamed != Play().streamedLevels.end())
    {
        for (UObject* streamedWorld : streamed->second)
        {
            auto level = Play().persistentLevels.find(streamedWorld);
            if (level != Play().persistentLevels.end() && LevelOf(level->second) != nullptr)
            {
                levels.push_back(level->second);
            }
        }
    }
    return levels;
}

bool WorldRunsScript(const UWorld* world)
{
    const UObject* object = reinterpret_cast<const UObject*>(world);
    return Holds(object) && Play().playing.contains(object) && !Play().tornDown.contains(object);
}

UObject* PossessedPawn(const UObject* controller)
{
    auto found = Play().controllers.find(controller);
    return found != Play().controllers.end() && Holds(found->second.pawn) ? found->second.pawn : nullptr;
}

bool IsLocalController(const UObject* controller)
{
    auto found = Play().controllers.find(controller);
    return found != Play().controllers.end() && found->second.local;
}

bool IsActorBeingDestroyed(const UObject* actor) { return Flag(actor, L"bActorIsBeingDestroyed"); }

UObject* ComponentOwner(const UObject* component)
{
    UClass* actorClass = FindClass(L"/Script/Engine.Actor");
    for (UObject* o = component != nullptr ? component->GetOuter() : nullptr; o != nullptr; o = o->GetOuter())
    {
        if (o->IsA(actorClass))
        {
            return o;
        }
    }
    return nullptr;
}

namespace
{
// UWidget::GetParent: the panel its slot is in.
UObject* ParentPanelOf(const UObject* widget)
{
    UObject* slot = ObjectReference(widget, L"Slot");
    UObject* panel = slot != nullptr && Holds(slot) ? ObjectReference(slot, L"Parent") : nullptr;
    return panel != nullptr && Holds(panel) ? panel : nullptr;
}

// UUserWidget::GetWorld: the owning player's world when it has one, else the outers'.
UObject* UserWidgetWorld(const UObject* widget)
{
    if (UObject* player = OwningPlayerOf(widget))
    {
        if (UWorld* world = player->GetWorld())
        {
            return AsObject(world);
        }
    }
    return AsObject(widget->GetWorld());
}

// UWorld::GetGameViewport: the viewport client of the world's game instance.
bool HasGameViewport(UObject* world)
{
    if (world == nullptr || !IsLiveObject(world))
    {
        return false;
    }
    UObject* instance = ObjectReference(world, L"OwningGameInstance");
    return instance != nullptr && IsLiveObject(instance);
}
} // namespace

// UUserWidget::AddToScreen (UGameViewportSubsystem::AddWidget on later engines): a widget already
// in the viewport is refused with a warning, and so is one in a panel or one without a game
// world that has a viewport; only then is its screen built and put ten layers above its
// z-order, clear of the engine's own controls. Counted only when the viewport changes.
void AddToViewport(UObject* widget, int32 zOrder)
{
    auto& viewport = Play().viewport;
    if (!IsLiveObject(widget) || std::find(viewport.begin(), viewport.end(), widget) != viewport.end())
    {
        return;
    }
    if (ParentPanelOf(widget) != nullptr || !HasGameViewport(UserWidgetWorld(widget)))
    {
        return;
    }
    AddToViewportLayer(widget, zOrder, zOrder + 10);
    ++Play().observed.addToViewport;
}

// SOverlay::AddSlot: a layer goes above every layer at or below it, so among equals the later
// one is on top.
void AddToViewportLayer(UObject* widget, int32 zOrder, int32 layer)
{
    BuildScreenTree(widget);
    Play().viewport.push_back(widget);
    Play().viewportLayers[widget] = {zOrder, layer};
    AddGarbageRoot(widget);
}

void RemoveFromParent(UObject* widget)
{
    auto& viewport = Play().viewport;
    auto found = std::find(viewport.begin(), viewport.end(), widget);
    if (found == viewport.end())
    {
        return;
    }
    viewport.erase(found);
    Play().viewportLayers.erase(widget);
    DropScreenTree(widget);
    RemoveGarbageRoot(widget);
    ++Play().observed.removeFromParent;
}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

// Spawning and adding with something set up before play begins.
UObject* SpawnActorPrepared(UWorld* world, UClass* cls, const Placement& placement, StringViewType name,
                            const std::function<void(UObject*)>& prepare);
UObject* AddComponentPrepared(UObject* owner, StringViewType classPath, StringViewType name,
                              const std::function<void(UObject*)>& prepare);

int64 ClockNanoseconds() { return Play().clockNanoseconds; }

void AdvanceClock(int64 nanoseconds)
{
    if (nanoseconds > 0)
    {
        Play().clockNanoseconds += nanoseconds;
    }
}

void SetGarbageCollectionPeriod(int64 nanoseconds)
{
    auto& play = Play();
    play.garbagePeriodNanoseconds = std::max<int64>(nanoseconds, 0);
    play.nextGarbageCollection = play.clockNanoseconds + play.garbagePeriodNanoseconds;
}

UWorld* CreateWorld(StringViewType mapName, bool beginPlay)
{
    UClass* worldClass = FindClass(L"/Script/Engine.World");
    UClass* levelClass = FindClass(L"/Script/Engine.Level");
    if (worldClass == nullptr || levelClass == nullptr || mapName.empty())
    {
        return nullptr;
    }
    auto* package = EngineAccess::Package(L"/Game/Maps/" + std::wstring(mapName));
    UObject* world = NewObject(worldClass, package, mapName, RF_Public);
    UObject* level = NewObject(levelClass, world, L"PersistentLevel", RF_Public);
    SetObjectReference(world, L"PersistentLevel", level);
    auto& play = Play();
    play.persistentLevels[world] = level;
    play.levels[level] = {world, {}};
    // The level's actor list is native, as the engine's is: the collector asks for it.
    State().nativeReferences[level] = [level](std::vector<UObject*>& out) {
        if (auto* record = LevelOf(level))
        {
            out.insert(out.end(), record->actors.begin(), record->actors.end());
            out.insert(out.end(), record->classes.begin(), record->classes.end());
        }
    };
    // The world's subsystems live as long as it does.
    std::vector<UObject*> subsystems;
    if (UClass* aiSubsystem = FindClass(L"/Script/Umbrafel.UmbrafelAISubsystem"))
    {
        play.aiSubsystems[world] = NewObject(aiSubsystem, world, L"UmbrafelAISubsystem");
        subsystems.push_back(play.aiSubsystems[world]);
    }
    if (UClass* timeSubsystem = FindClass(L"/Script/Umbrafel.InGameTimeSubsystem"))
    {
        play.timeSubsystems[world] = NewObject(timeSubsystem, world, L"InGameTimeSubsystem");
        subsystems.push_back(play.timeSubsystems[world]);
    }
    CreateMapObjects(world, subsystems);
    // So are the levels streamed into it, as its streaming levels hold them.
    State().nativeReferences[world] = [world, subsystems](std::vector<UObject*>& out) {
        out.insert(out.end(), subsystems.begin(), subsystems.end());
        if (auto streamed = Play().streamedLevels.find(world); streamed != Play().streamedLevels.end())
        {
            out.insert(out.end(), streamed->second.begin(), streamed->second.end());
        }
    };
    AddGarbageRoot(world);
    if (beginPlay)
    {
        BeginWorldPlay(AsWorld(world));
    }
    return AsWorld(world);
}

void BeginWorldPlay(UWorld* world)
{
    UObject* object = AsObject(world);
    auto* level = WorldLevel(object);
    if (!IsWorld(object) || level == nullptr || Play().streamedInto.contains(object) || !Play().playing.insert(object).second)
    {
        return;
    }
    std::vector<UObject*> actors = ActorsOf(world);
    for (auto* actor : actors)
    {
        BeginPlayActor(actor);
    }
}

bool WorldHasBegunPlay(UWorld* world) { return Play().playing.contains(AsObject(world)); }

// ULevelStreaming loading a level into the world: the level's package holds a world object of
// its own with the level inside, and the level's OwningWorld is the world it streams into, which
// keeps it and whose play its actors share. The engine's GetWorld answers the owning world for
// everything in the level (ULevel::GetWorld), the way walking the outers never does.
UWorld* StreamLevel(UWorld* owner, StringViewType name)
{
    UClass* worldClass = FindClass(L"/Script/Engine.World");
    UClass* levelClass = FindClass(L"/Script/Engine.Level");
    UObject* owning = AsObject(owner);
    if (worldClass == nullptr || levelClass == nullptr || name.empty() || !IsWorld(owning) || Play().streamedInto.contains(owning) ||
        IsTearingDown(owning))
    {
        return nullptr;
    }
    auto* package = EngineAccess::Package(L"/Game/Maps/" + std::wstring(name));
    UObject* world = NewObject(worldClass, package, name, RF_Public);
    UObject* level = NewObject(levelClass, world, L"PersistentLevel", RF_Public);
    SetObjectReference(world, L"PersistentLevel", level);
    auto& play = Play();
    play.persistentLevels[world] = level;
    play.levels[level] = {owning, {}};
    play.streamedLevels[owning].push_back(world);
    play.streamedInto[world] = owning;
    State().worldOverrides[level] = owning;
    State().nativeReferences[level] = [level](std::vector<UObject*>& out) {
        if (auto* record = LevelOf(level))
        {
            out.insert(out.end(), record->actors.begin(), record->actors.end());
            out.insert(out.end(), record->classes.begin(), record->classes.end());
        }
    };
    return AsWorld(world);
}

UClass* DefineLevelClass(UWorld* world, ClassDef def)
{
    auto* level = WorldLevel(AsObject(world));
    if (!IsWorld(AsObject(world)) || level == nullptr)
    {
        return nullptr;
    }
    def.blueprint = true;
    UClass* cls = DefineClass(def);
    if (std::find(level->classes.begin(), level->classes.end(), cls) == level->classes.end())
    {
        level->classes.push_back(cls);
    }
    return cls;
}

std::vector<UObject*> ActorsOf(UWorld* world)
{
    std::vector<UObject*> actors;
    for (UObject* level : LevelsOfWorld(AsObject(world)))
    {
        const auto& own = LevelOf(level)->actors;
        actors.insert(actors.end(), own.begin(), own.end());
    }
    return actors;
}

UObject* PersistentLevelOf(UWorld* world)
{
    auto found = Play().persistentLevels.find(AsObject(world));
    return found != Play().persistentLevels.end() ? found->second : nullptr;
}

UObject* CreateGameInstance(UWorld* world, bool umbrafel)
{
    return CreateGameInstanceOf(world, FindClass(umbrafel ? L"/Script/Umbrafel.UmbrafelGameInstance" : L"/Script/Engine.GameInstance"));
}

UObject* CreateGameInstanceOf(UWorld* world, UClass* cls)
{
    UClass* base = FindClass(L"/Script/Engine.GameInstance");
    if (cls == nullptr || base == nullptr || !cls->IsChildOf(base))
    {
        return nullptr;
    }
    UObject* gameInstance = NewObject(cls, EngineAccess::Package(L"/Engine/Transient"));
    AddGarbageRoot(gameInstance);
    SetGameInstanceWorld(gameInstance, world);
    return gameInstance;
}

void SetGameInstanceWorld(UObject* gameInstance, UWorld* world)
{
    if (!Holds(gameInstance))
    {
        return;
    }
    State().worldOverrides[gameInstance] = AsObject(world);
    if (IsWorld(AsObject(world)))
    {
        SetObjectReference(AsObject(world), L"OwningGameInstance", gameInstance);
    }
}

UObject* LocalPlayer()
{
    auto& play = Play();
    if (!Holds(play.localPlayer))
    {
        UClass* cls = FindClass(L"/Script/Engine.LocalPlayer");
        if (cls == nullptr)
        {
            return nullptr;
        }
        play.localPlayer = NewObject(cls, EngineAccess::Package(L"/Engine/Transient"));
        AddGarbageRoot(play.localPlayer);
    }
    return play.localPlayer;
}

UObject* CreatePlayerController(UWorld* world, ControllerKind kind, bool local)
{
    const wchar_t* path = L"/Script/Engine.PlayerController";
    switch (kind)
    {
    case ControllerKind::Menu: path = L"/Script/Umbrafel.UmbrafelPlayerControllerMenu"; break;
    case ControllerKind::Game: path = L"/Script/Umbrafel.UmbrafelPlayerController"; break;
    case ControllerKind::Base: path = L"/Script/Umbrafel.UmbrafelPlayerControllerBase"; break;
    case ControllerKind::Plain: break;
    }
    UObject* controller = SpawnActor(world, path);
    if (controller == nullptr)
    {
        return nullptr;
    }
    // The engine hands a local player to a controller after spawning it; from then on the
    // controller is local, whatever later happens to its "Player".
    Play().controllers[controller].local = local;
    if (local)
    {
        UObject* player = LocalPlayer();
        SetObjectReference(controller, L"Player", player);
        SetObjectReference(player, L"PlayerController", controller);
        NoteLocalController(controller);
    }
    return controller;
}

void SetDefaultComponents(UClass* actorClass, std::vector<DefaultComponent> components)
{
    if (actorClass != nullptr)
    {
        Play().defaultComponents[actorClass] = std::move(components);
    }
}

UObject* SpawnActor(UWorld* world, UClass* cls, const Placement& placement, StringViewType name)
{
    return SpawnActorPrepared(world, cls, placement, name, {});
}

UObject* SpawnActorWith(UWorld* world, UClass* cls, const Placement& placement, const std::function<void(UObject*)>& prepare)
{
    return SpawnActorPrepared(world, cls, placement, {}, prepare);
}

UObject* SpawnActorPrepared(UWorld* world, UClass* cls, const Placement& placement, StringViewType name,
                            const std::function<void(UObject*)>& prepare)
{
    UClass* actorClass = FindClass(L"/Script/Engine.Actor");
    auto* level = PersistentLevelOf(world);
    // As the engine, which refuses to spawn into a world it is tearing down.
    if (!IsWorld(AsObject(world)) || level == nullptr || IsTearingDown(AsObject(world)) || cls == nullptr ||
        actorClass == nullptr || !cls->IsChildOf(actorClass))
    {
        return nullptr;
    }
    // The engine refuses a name already taken in the level.
    if (!name.empty() && Holds(FindObjectByPath(level->GetPathName() + L"." + std::wstring(name))))
    {
        return nullptr;
    }
    UObject* actor = NewObject(cls, level, name);
    auto& play = Play();
    play.actors[actor] = {level, {}, false};
    LevelOf(level)->actors.push_back(actor);
    State().nativeReferences[actor] = [actor](std::vector<UObject*>& out) {
        if (auto* record = ActorOf(actor))
        {
            out.insert(out.end(), record->components.begin(), record->components.end());
        }
    };
    if (cls->IsChildOf(FindClass(L"/Script/Engine.Controller")))
    {
        play.controllers[actor];
    }
    CreateDefaultComponents(actor);
    SetActorPlacement(actor, placement);
    if (UClass* capture = FindClass(L"/Script/Engine.SceneCapture2D"); capture != nullptr && cls->IsChildOf(capture))
    {
        ++play.observed.captureActorsSpawned;
    }
    if (prepare)
    {
        prepare(actor);
    }
    BeginPlayActor(actor);
    return actor;
}

UObject* SpawnActor(UWorld* world, StringViewType classPath, const Placement& placement, StringViewType name)
{
    return SpawnActor(world, FindClass(classPath), placement, name);
}

void DestroyActor(UObject* actor) { DestroyActorFor(actor, kEndPlayDestroyed); }

UObject* AddComponent(UObject* owner, StringViewType classPath, StringViewType name)
{
    return AddComponentPrepared(owner, classPath, name, {});
}

UObject* AddComponentWith(UObject* owner, StringViewType classPath, const std::function<void(UObject*)>& prepare)
{
    return AddComponentPrepared(owner, classPath, {}, prepare);
}

UObject* AddComponentPrepared(UObject* owner, StringViewType classPath, StringViewType name,
                              const std::function<void(UObject*)>& prepare)
{
    UClass* cls = FindClass(classPath);
    UClass* componentClass = FindClass(L"/Script/Engine.ActorComponent");
    if (!IsLiveObject(owner) || ActorOf(owner) == nullptr || cls == nullptr || componentClass == nullptr ||
        !cls->IsChildOf(componentClass))
    {
        return nullptr;
    }
    UObject* component = CreateComponent(owner, cls, name);
    if (prepare)
    {
        prepare(component);
    }
    if (ActorOf(owner) != nullptr && ActorOf(owner)->begunPlay)
    {
        BeginPlayComponent(component);
    }
    return component;
}

void ReregisterComponent(UObject* component)
{
    if (ComponentOf(component) == nullptr || !IsLiveObject(component))
    {
        return;
    }
    ComponentRegistered(component);
}

void DestroyComponent(UObject* component)
{
    auto* record = ComponentOf(component);
    if (record == nullptr || !IsLiveObject(component))
    {
        return;
    }
    EndPlayComponent(component, kEndPlayDestroyed);
    if (!Holds(component))
    {
        return;
    }
    if (auto* again = ComponentOf(component))
    {
        UObject* owner = again->owner;
        if (auto* actor = ActorOf(owner))
        {
            std::erase(actor->components, component);
        }
        if (ObjectReference(owner, L"RootComponent") == component)
        {
            SetObjectReference(owner, L"RootComponent", nullptr);
        }
    }
    MarkPendingKill(component);
}

UObject* AddChildActor(UObject* owner, StringViewType classPath)
{
    UObject* component = AddComponent(owner, L"/Script/Engine.ChildActorComponent");
    auto* world = component != nullptr ? owner->GetWorld() : nullptr;
    UObject* child = world != nullptr ? SpawnActor(world, classPath, ActorPlacement(owner)) : nullptr;
    if (child == nullptr)
    {
        return nullptr;
    }
    SetObjectReference(component, L"ChildActor", child);
    SetObjectReference(child, L"Owner", owner);
    AttachActor(child, owner);
    return child;
}

std::vector<UObject*> ComponentsOf(UObject* actor)
{
    auto* record = ActorOf(actor);
    return record != nullptr ? record->components : std::vector<UObject*>{};
}

void Possess(UObject* controller, UObject* pawn)
{
    if (!Holds(controller) || !controller->IsA(FindClass(L"/Script/Engine.Controller")) ||
        (pawn != nullptr && !pawn->IsA(FindClass(L"/Script/Engine.Pawn"))))
    {
        return;
    }
    auto& play = Play();
    UObject* oldPawn = PossessedPawn(controller);
    // APlayerController::OnPossess ends in ClientRestart, which a local controller runs at once
    // and which starts by resetting the ignore counters, even for the pawn it already has.
    const bool restarts = pawn != nullptr && IsLocalController(controller) &&
                          controller->IsA(FindClass(L"/Script/Engine.PlayerController"));
    if (oldPawn == pawn)
    {
        SetObjectReference(controller, L"Pawn", pawn);
        if (restarts)
        {
            ResetIgnoreInputFlags(controller);
        }
        return;
    }
    // A pawn has one controller: its previous one lets go first.
    if (pawn != nullptr)
    {
        UObject* previous = ObjectReference(pawn, L"Controller");
        if (previous != nullptr && previous != controller && PossessedPawn(previous) == pawn)
        {
            Possess(previous, nullptr);
        }
    }
    play.controllers[controller].pawn = pawn;
    SetObjectReference(controller, L"Pawn", pawn);
    if (oldPawn != nullptr)
    {
        SetObjectReference(oldPawn, L"Controller", nullptr);
        NotifyControllerChanged(oldPawn, controller, nullptr);
    }
    if (pawn != nullptr)
    {
        SetObjectReference(pawn, L"Controller", controller);
        NotifyControllerChanged(pawn, nullptr, controller);
    }
    if (restarts)
    {
        ResetIgnoreInputFlags(controller);
    }
}

EnteredPlayer EnterLocalPlayer(UWorld* world, const Placement& placement)
{
    EnteredPlayer player;
    player.controller = CreatePlayerController(world, ControllerKind::Game);
    player.pawn = SpawnActor(world, L"/Script/Umbrafel.UmbrafelPlayerCharacter", placement);
    Possess(player.controller, player.pawn);
    return player;
}

UObject* Respawn(UObject* controller, const Placement& placement)
{
    if (!IsLiveObject(controller))
    {
        return nullptr;
    }
    UObject* pawn = SpawnActor(controller->GetWorld(), L"/Script/Umbrafel.UmbrafelPlayerCharacter", placement);
    if (pawn == nullptr)
    {
        return nullptr;
    }
    UObject* oldPawn = PossessedPawn(controller);
    Possess(controller, pawn);
    if (oldPawn != nullptr)
    {
        DestroyActor(oldPawn);
    }
    return pawn;
}



namespace
{
// The root component's value of a struct property.
void* RootValue(UObject* actor, StringViewType name)
{
    UObject* root = ObjectReference(actor, L"RootComponent");
    if (!Holds(root))
    {
        return nullptr;
    }
    auto* property = PropertyOf<FStructProperty>(root->GetClassPrivate(), name);
    return property != nullptr ? property->ContainerPtrToValuePtr<void>(root) : nullptr;
}

// The actor whose root the actor's root is attached to (USceneComponent::GetAttachParent's
// owner), or null for an actor attached to nothing or to a component that is going.
UObject* AttachParentActor(UObject* actor)
{
    UObject* root = ObjectReference(actor, L"RootComponent");
    UObject* parent = Holds(root) ? ObjectReference(root, L"AttachParent") : nullptr;
    if (!Holds(parent) || !parent->GetObjectItem()->IsValid(false))
    {
        return nullptr;
    }
    auto found = Play().components.find(parent);
    return found != Play().components.end() && found->second.owner != actor ? found->second.owner : nullptr;
}

Placement RelativePlacement(UObject* actor)
{
    Placement placement;
    if (void* location = RootValue(actor, L"RelativeLocation"); location != nullptr)
    {
        ReadVectorValue(location, placement.x, placement.y, placement.z);
    }
    if (void* rotation = RootValue(actor, L"RelativeRotation"); rotation != nullptr)
    {
        ReadRotatorValue(rotation, placement.pitch, placement.yaw, placement.roll);
    }
    return placement;
}

void WriteRelativePlacement(UObject* actor, const Placement& placement)
{
    if (void* location = RootValue(actor, L"RelativeLocation"); location != nullptr)
    {
        WriteVectorValue(location, placement.x, placement.y, placement.z);
    }
    if (void* rotation = RootValue(actor, L"RelativeRotation"); rotation != nullptr)
    {
        WriteRotatorValue(rotation, placement.pitch, placement.yaw, placement.roll);
    }
}

// The world placement of an actor attached through its root, depth-limited against a cycle.
Placement WorldPlacement(UObject* actor, int depth)
{
    Placement at = RelativePlacement(actor);
    UObject* parent = depth < 32 ? AttachParentActor(actor) : nullptr;
    if (parent == nullptr)
    {
        return at;
    }
    // Only the parent's yaw turns the offset, as for every attachment this engine draws.
    const Placement base = WorldPlacement(parent, depth + 1);
    const double turn = base.yaw * std::numbers::pi / 180;
    return {base.x + at.x * std::cos(turn) - at.y * std::sin(turn), base.y + at.x * std::sin(turn) + at.y * std::cos(turn),
            base.z + at.z, base.yaw + at.yaw, at.pitch, at.roll};
}
} // namespace

// USceneComponent::SetWorldLocationAndRotation on the root: the root's relative members hold
// the world placement when it is attached to nothing, else the offset from its parent.
void SetActorPlacement(UObject* actor, const Placement& placement)
{
    UObject* parent = AttachParentActor(actor);
    if (parent == nullptr)
    {
        WriteRelativePlacement(actor, placement);
        return;
    }
    const Placement base = WorldPlacement(parent, 1);
    const double turn = base.yaw * std::numbers::pi / 180;
    const double dx = placement.x - base.x;
    const double dy = placement.y - base.y;
    WriteRelativePlacement(actor, {dx * std::cos(turn) + dy * std::sin(turn), -dx * std::sin(turn) + dy * std::cos(turn),
                                   placement.z - base.z, placement.yaw - base.yaw, placement.pitch, placement.roll});
}

// USceneComponent::GetComponentLocation of the root, which AActor::K2_GetActorLocation answers.
Placement ActorPlacement(UObject* actor) { return WorldPlacement(actor, 0); }

// The root keeps where it is in the world, so its relative members now hold the offset.
void AttachRoot(UObject* child, UObject* parent)
{
    UObject* root = ObjectReference(child, L"RootComponent");
    UObject* parentRoot = ObjectReference(parent, L"RootComponent");
    if (!Holds(root) || !Holds(parentRoot) || child == parent)
    {
        return;
    }
    const Placement at = ActorPlacement(child);
    SetObjectReference(root, L"AttachParent", parentRoot);
    SetActorPlacement(child, at);
}

// USceneComponent::DetachFromComponent with KeepWorldTransform for each.
void DetachChildren(UObject* parent)
{
    std::vector<UObject*> children;
    for (const auto& [actor, record] : Play().actors)
    {
        if (AttachParentActor(const_cast<UObject*>(actor)) == parent)
        {
            children.push_back(const_cast<UObject*>(actor));
        }
    }
    for (UObject* child : children)
    {
        const Placement at = ActorPlacement(child);
        SetObjectReference(ObjectReference(child, L"RootComponent"), L"AttachParent", nullptr);
        WriteRelativePlacement(child, at);
    }
}

// UEngine::LoadMap, in its order: the old world is cleaned up (its widgets leave the viewport,
// its actors end play, everything inside it is marked pending kill), the current world is set
// to none (FWorldContext::SetCurrentWorld runs K2_OnWorldChanged(old, null)), garbage is
// collected, the new world is set (K2_OnWorldChanged(null, new)) and begins play. The loader's
// LoadMap callbacks run before all of it and after it.
void Travel(UObject* gameInstance, UWorld* to)
{
    if (!IsLiveObject(gameInstance) || !IsWorld(AsObject(to)))
    {
        return;
    }
    UObject* from = AsObject(gameInstance->GetWorld());
    UObject* target = AsObject(to);
    if (from == target)
    {
        return;
    }
    FWorldContext context{reinterpret_cast<UWorld*>(from), gameInstance};
    FURL url;
    url.Map = FString(target->GetName().c_str());
    RunLoadMap(context, url, [&] {
        if (from != nullptr && Holds(from) && !IsTearingDown(from))
        {
            RemoveWorldWidgets(from);
            for (auto* actor : BegunActors(from))
            {
                EndPlayWithWorld(actor);
            }
            Play().tornDown.insert(from);
            if (Holds(from))
            {
                AbandonWorld(from);
            }
        }
        context.ThisCurrentWorld = nullptr;
        SetGameInstanceWorld(gameInstance, nullptr);
        NotifyWorldChanged(gameInstance, from, nullptr);
        CollectGarbage(true);
        context.ThisCurrentWorld = to;
        SetGameInstanceWorld(gameInstance, to);
        NotifyWorldChanged(gameInstance, nullptr, target);
        BeginWorldPlay(to);
        return true;
    });
}

void TravelSeamless(UObject* gameInstance, UWorld* to, int dyingFrames)
{
    if (!IsLiveObject(gameInstance) || !IsWorld(AsObject(to)))
    {
        return;
    }
    UObject* from = AsObject(gameInstance->GetWorld());
    UObject* target = AsObject(to);
    SetGameInstanceWorld(gameInstance, to);
    BeginWorldPlay(to);
    NotifyWorldChanged(gameInstance, from, target);
    if (from == nullptr || from == target || !Holds(from))
    {
        return;
    }
    if (IsTearingDown(from))
    {
        return;
    }
    if (dyingFrames <= 0)
    {
        KillWorld(from);
        return;
    }
    Play().dying.push_back({from, dyingFrames});
}

bool SetObjectReference(UObject* object, StringViewType property, UObject* value)
{
    auto* found = object != nullptr ? PropertyOf<FObjectPropertyBase>(object->GetClassPrivate(), property) : nullptr;
    if (found == nullptr)
    {
        return false;
    }
    found->SetObjectPropertyValue(found->ContainerPtrToValuePtr(object), value);
    return true;
}

UObject* ObjectReference(const UObject* object, StringViewType property)
{
    auto* found = Holds(object) ? PropertyOf<FObjectPropertyBase>(object->GetClassPrivate(), property) : nullptr;
    return found != nullptr ? found->GetObjectPropertyValue(found->ContainerPtrToValuePtr(object)) : nullptr;
}

std::vector<UObject*> ViewportWidgets() { return Play().viewport; }

void RemoveAllViewportWidgets()
{
    const std::vector<UObject*> viewport = Play().viewport;
    for (UObject* widget : viewport)
    {
        RemoveFromViewport(widget);
    }
}

std::size_t LiveWorldCount()
{
    std::size_t worlds = 0;
    for (int32 index = 0; index < State().numItems; ++index)
    {
        UObject* object = EngineAccess::Item(index)->Object;
        if (object == nullptr || !object->IsA(State().worldClass) || object->HasAnyFlags(RF_ClassDefaultObject))
        {
            continue;
        }
        // A streamed level's world counts with the world that holds it, and alone once that is gone.
        auto owner = Play().streamedInto.find(object);
        worlds += owner != Play().streamedInto.end() && Holds(owner->second) ? 0 : 1;
    }
    return worlds;
}

Observed& Observations() { return Play().observed; }
} // namespace Sim
