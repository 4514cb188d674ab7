// The default game's classes: engine basics (actors, components, controllers, players,
// worlds, game instances, widgets) and the game's own classes whose functions carry the
// events a minimap listens to. Native bodies hand over to the played game's engine side.
#include "Sim/FunctionDefs.hpp"
#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"
#include "Sim/Texts.hpp"

#include <Sim/Game.hpp>
#include <Sim/World.hpp>
#include <Unreal/AActor.hpp>
#include <Unreal/World.hpp>

#include <cstring>
#include <new>

namespace Sim
{
using namespace Detail;

namespace
{
// An event a blueprint may implement: by itself it runs nothing, hooks included.
FunctionDef Event(std::wstring name, std::vector<ParamDef> params = {})
{
    return {std::move(name), std::move(params), {}, FUNC_Event | FUNC_BlueprintEvent | FUNC_Public};
}

// An event with a native body (a native event, a replication notification, a client call):
// the engine runs it, and its hooks, whenever it is called.
FunctionDef NativeEvent(std::wstring name, std::vector<ParamDef> params = {}, NativeFunction body = {})
{
    return {std::move(name), std::move(params), body ? std::move(body) : [](Call&) {},
            FUNC_Event | FUNC_BlueprintEvent | FUNC_Native | FUNC_Public};
}

void ReturnObject(Call& call, UObject* value) { call.Get<UObject*>(L"ReturnValue") = value; }

// A struct property's value inside an object.
void* ObjectField(UObject* object, StringViewType name)
{
    return FindPropertyUncounted(object->GetClassPrivate(), name)->ContainerPtrToValuePtr(object);
}

// Null when this build's class lacks the member.
void* ObjectFieldOrNull(UObject* object, StringViewType name)
{
    FProperty* property = FindPropertyUncounted(object->GetClassPrivate(), name);
    return property != nullptr ? property->ContainerPtrToValuePtr(object) : nullptr;
}

// A setter that keeps its argument in the member, when the build has the member.
NativeFunction KeepArgument(std::wstring parameter, std::wstring member)
{
    return [parameter = std::move(parameter), member = std::move(member)](Call& call) {
        FProperty* target = FindPropertyUncounted(call.Self()->GetClassPrivate(), member);
        FProperty* source = call.Param(parameter);
        if (target != nullptr && source != nullptr && target->GetElementSize() == source->GetElementSize())
        {
            std::memcpy(target->ContainerPtrToValuePtr(call.Self()), call.ParamAddress(parameter),
                        static_cast<std::size_t>(source->GetElementSize()));
        }
    };
}

void ActorLocation(Call& call)
{
    Placement at = ActorPlacement(call.Self());
    WriteVectorValue(call.ParamAddress(L"ReturnValue"), at.x, at.y, at.z);
}

void ActorRotation(Call& call)
{
    Placement at = ActorPlacement(call.Self());
    WriteRotatorValue(call.ParamAddress(L"ReturnValue"), at.pitch, at.yaw, at.roll);
}

void MoveActor(Call& call)
{
    Placement at = ActorPlacement(call.Self());
    ReadVectorValue(call.ParamAddress(L"NewLocation"), at.x, at.y, at.z);
    SetActorPlacement(call.Self(), at);
    call.SetBool(L"ReturnValue", true);
}

void TurnActor(Call& call)
{
    Placement at = ActorPlacement(call.Self());
    ReadRotatorValue(call.ParamAddress(L"NewRotation"), at.pitch, at.yaw, at.roll);
    SetActorPlacement(call.Self(), at);
    call.SetBool(L"ReturnValue", true);
}

// Instances of the class and its subclasses are objects of the engine's C++ type, as in the
// engine, so a mod's casts to that type are sound. The type adds no data to UObject.
template <typename T> UObject* ConstructAs(void* memory) { return new (memory) T(); }
template <typename T> UClass* DefineClassOfType(const ClassDef& def)
{
    static_assert(sizeof(T) == sizeof(UObject));
    return DefineNativeClass(def, &ConstructAs<T>, sizeof(T));
}

void DefineEngineClasses()
{
    DefineEnum({L"/Script/Engine.EEndPlayReason",
                {{L"Destroyed", 0}, {L"LevelTransition", 1}, {L"EndPlayInEditor", 2}, {L"RemovedFromWorld", 3}, {L"Quit", 4}}});
    DefineClass({.path = L"/Script/Engine.ActorComponent",
                 .properties = {{L"PrimaryComponentTick", Int64()}, {L"bRegistered", Bitfield()}, {L"bAutoActivate", Bitfield()},
                                {L"bIsActive", Bitfield()}},
                 .functions = {Event(L"ReceiveBeginPlay"),
                               Event(L"ReceiveEndPlay", {In(L"EndPlayReason", Enum(L"/Script/Engine.EEndPlayReason"))})}});
    DefineClass({.path = L"/Script/Engine.SceneComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .properties = {{L"AttachParent", Object(L"/Script/Engine.SceneComponent")},
                                {L"RelativeLocation", Struct(L"/Script/CoreUObject.Vector")},
                                {L"RelativeRotation", Struct(L"/Script/CoreUObject.Rotator")},
                                {L"bVisible", Bitfield()},
                                {L"bHiddenInGame", Bitfield()},
                                {L"bAbsoluteRotation", Bitfield()}},
                 .castFlags = CASTCLASS_USceneComponent});
    // What draws and collides. A capture hides primitives one by one (HiddenComponents); a
    // character's capsule collides but is hidden in game, its mesh is what one sees.
    DefineClass({.path = L"/Script/Engine.PrimitiveComponent", .super = L"/Script/Engine.SceneComponent"});
    DefineClass({.path = L"/Script/Engine.CapsuleComponent",
                 .super = L"/Script/Engine.PrimitiveComponent",
                 .defaults = [](UObject* capsule) { SetFlag(capsule, L"bHiddenInGame", true); }});
    DefineClass({.path = L"/Script/Engine.SkeletalMeshComponent", .super = L"/Script/Engine.PrimitiveComponent"});
    DefineClass({.path = L"/Script/Engine.StaticMeshComponent", .super = L"/Script/Engine.PrimitiveComponent"});
    // Spawns and owns an actor of its own, attached to it (UChildActorComponent::CreateChildActor).
    DefineClass({.path = L"/Script/Engine.ChildActorComponent",
                 .super = L"/Script/Engine.SceneComponent",
                 .properties = {{L"ChildActor", Object(L"/Script/Engine.Actor")}}});
    UClass* actorClass = DefineClassOfType<AActor>(
        {.path = L"/Script/Engine.Actor",
         .properties = {{L"bHidden", Bitfield()}, {L"bActorIsBeingDestroyed", Bitfield()}, {L"bCanBeDamaged", Bitfield()},
                        {L"Owner", Object(L"/Script/Engine.Actor")},
                        {L"RootComponent", Object(L"/Script/Engine.SceneComponent")}},
         .functions = {Event(L"ReceiveBeginPlay"),
                       Event(L"ReceiveEndPlay", {In(L"EndPlayReason", Enum(L"/Script/Engine.EEndPlayReason"))}),
                       Native(L"IsActorBeingDestroyed", {Return(Bool())},
                              [](Call& call) { call.SetBool(L"ReturnValue", IsActorBeingDestroyed(call.Self())); }),
                       Native(L"K2_DestroyActor", {}, [](Call& call) { DestroyActor(call.Self()); }),
                       Native(L"GetOwner", {Return(Object(L"/Script/Engine.Actor"))},
                              [](Call& call) { ReturnObject(call, ObjectReference(call.Self(), L"Owner")); }),
                       Native(L"K2_GetActorLocation", {Return(Struct(L"/Script/CoreUObject.Vector"))}, &ActorLocation),
                       Native(L"K2_GetActorRotation", {Return(Struct(L"/Script/CoreUObject.Rotator"))}, &ActorRotation),
                       Native(L"K2_SetActorLocation",
                              {In(L"NewLocation", Struct(L"/Script/CoreUObject.Vector")), In(L"bSweep", Bool()),
                               Out(L"SweepHitResult", Struct(L"/Script/Engine.HitResult")), In(L"bTeleport", Bool()),
                               Return(Bool())},
                              &MoveActor),
                       Native(L"K2_SetActorRotation",
                              {In(L"NewRotation", Struct(L"/Script/CoreUObject.Rotator")), In(L"bTeleportPhysics", Bool()),
                               Return(Bool())},
                              &TurnActor),
                       Native(L"SetActorEnableCollision", {In(L"bNewActorEnableCollision", Bool())},
                              [](Call& call) {
                                  if (auto* record = ActorRecordOf(call.Self()))
                                  {
                                      record->collisionEnabled = call.GetBool(L"bNewActorEnableCollision");
                                  }
                              }),
                       Native(L"SetActorTickEnabled", {In(L"bEnabled", Bool())},
                              [](Call& call) {
                                  if (auto* record = ActorRecordOf(call.Self()))
                                  {
                                      record->tickEnabled = call.GetBool(L"bEnabled");
                                  }
                              })},
         .castFlags = CASTCLASS_AActor});
    State().actorClass = actorClass;
    // Every actor gets a root to place it by; subclasses add theirs.
    SetDefaultComponents(actorClass, {{L"RootComponent", L"/Script/Engine.SceneComponent", L"DefaultSceneRoot"}});
    AddFunction(FindClass(L"/Script/Engine.ActorComponent"),
                Native(L"GetOwner", {Return(Object(L"/Script/Engine.Actor"))},
                       [](Call& call) { ReturnObject(call, ComponentOwner(call.Self())); }));
    DefineClass({.path = L"/Script/Engine.Pawn", .super = L"/Script/Engine.Actor",
                 .properties = {{L"Controller", Object(L"/Script/Engine.Actor")}},
                 .castFlags = CASTCLASS_APawn});
    // A placed or carried thing: one mesh, its root.
    UClass* meshActor = DefineClass({.path = L"/Script/Engine.StaticMeshActor",
                                     .super = L"/Script/Engine.Actor",
                                     .properties = {{L"StaticMeshComponent", Object(L"/Script/Engine.StaticMeshComponent")}}});
    SetDefaultComponents(meshActor, {{L"StaticMeshComponent", L"/Script/Engine.StaticMeshComponent", L"StaticMeshComponent0"}});
    UClass* character = DefineClass({.path = L"/Script/Engine.Character",
                                     .super = L"/Script/Engine.Pawn",
                                     .properties = {{L"Mesh", Object(L"/Script/Engine.SkeletalMeshComponent")},
                                                    {L"CapsuleComponent", Object(L"/Script/Engine.CapsuleComponent")}}});
    // ACharacter's constructor: the capsule is the root, the mesh hangs from it.
    SetDefaultComponents(character, {{L"CapsuleComponent", L"/Script/Engine.CapsuleComponent", L"CollisionCylinder"},
                                     {L"Mesh", L"/Script/Engine.SkeletalMeshComponent", L"CharacterMesh0"}});
    // The pawn getter answers the engine's own record, so a test can null the "Pawn" property
    // alone. Script knows it by its blueprint name only.
    DefineClass({.path = L"/Script/Engine.Controller",
                 .super = L"/Script/Engine.Actor",
                 .properties = {{L"Pawn", Object(L"/Script/Engine.Pawn")},
                                {L"ControlRotation", Struct(L"/Script/CoreUObject.Rotator")}},
                 .functions = {Native(L"GetControlRotation", {Return(Struct(L"/Script/CoreUObject.Rotator"))},
                                      [](Call& call) {
                                          double pitch = 0, yaw = 0, roll = 0;
                                          ReadRotatorValue(ObjectField(call.Self(), L"ControlRotation"), pitch, yaw, roll);
                                          WriteRotatorValue(call.ParamAddress(L"ReturnValue"), pitch, yaw, roll);
                                      }),
                               Native(L"K2_GetPawn", {Return(Object(L"/Script/Engine.Pawn"))},
                                      [](Call& call) { ReturnObject(call, PossessedPawn(call.Self())); }),
                               Native(L"IsLocalController", {Return(Bool())},
                                      [](Call& call) { call.SetBool(L"ReturnValue", IsLocalController(call.Self())); })}});
    DefineClass({.path = L"/Script/Engine.Player", .properties = {{L"PlayerController", Object(L"/Script/Engine.Controller")}}});
    DefineClass({.path = L"/Script/Engine.LocalPlayer", .super = L"/Script/Engine.Player"});
    // The mouse switches are one-bit members of a uint32 as APlayerController declares them,
    // with touch and force feedback between and after them; its constructor raises those two.
    DefineClass({.path = L"/Script/Engine.PlayerController",
                 .super = L"/Script/Engine.Controller",
                 .properties = {{L"Player", Object(L"/Script/Engine.Player")},
                                {L"bShowMouseCursor", Bitfield32()},
                                {L"bEnableClickEvents", Bitfield32()},
                                {L"bEnableTouchEvents", Bitfield32()},
                                {L"bEnableMouseOverEvents", Bitfield32()},
                                {L"bEnableTouchOverEvents", Bitfield32()},
                                {L"bForceFeedbackEnabled", Bitfield32()}},
                 .castFlags = CASTCLASS_APlayerController,
                 .defaults = [](UObject* controller) {
                     SetFlag(controller, L"bEnableTouchEvents", true);
                     SetFlag(controller, L"bForceFeedbackEnabled", true);
                 }});
    DefineClass({.path = L"/Script/Engine.GameInstance"});
    DefineClass({.path = L"/Script/Engine.Engine"});
    DefineClass({.path = L"/Script/Engine.GameEngine", .super = L"/Script/Engine.Engine"});
    DefineClass({.path = L"/Script/Engine.Level", .castFlags = CASTCLASS_ULevel});
    // The engine has no cast flag for worlds: a world is known by its class.
    UClass* worldClass = DefineClassOfType<UWorld>({.path = L"/Script/Engine.World",
                                      .properties = {{L"PersistentLevel", Object(L"/Script/Engine.Level")},
                                                     {L"OwningGameInstance", Object(L"/Script/Engine.GameInstance")}}});
    State().worldClass = worldClass;
}

void DefineGameClasses()
{
    auto world = Object(L"/Script/Engine.World");
    auto vector = Struct(L"/Script/CoreUObject.Vector");
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelGameInstance",
                 .super = L"/Script/Engine.GameInstance",
                 .functions = {NativeEvent(L"K2_OnWorldChanged", {In(L"OldWorld", world), In(L"NewWorld", world)})}});
    // The registry replicates what every player may see on the map; each array has its
    // replication notification.
    DefineClass({.path = L"/Script/Umbrafel.GameplayObjectRegistry",
                 .super = L"/Script/Engine.Actor",
                 .properties = {{L"PlayerCharacters", Array(Struct(L"/Script/Umbrafel.PlayerCharacterRegistryEntry"))},
                                {L"Gravestones", Array(Struct(L"/Script/Umbrafel.GravestoneRegistryEntry"))},
                                {L"Lodestones", Array(Struct(L"/Script/Umbrafel.LodestoneRegistryEntry"))},
                                {L"Beds", Array(Struct(L"/Script/Umbrafel.BedRegistryEntry"))},
                                {L"Landmarks", Array(Struct(L"/Script/Umbrafel.LandmarkRegistryEntry"))},
                                {L"Dungeons", Array(Struct(L"/Script/Umbrafel.DungeonRegistryEntry"))}},
                 .functions = {NativeEvent(L"OnRep_PlayerCharacters"), NativeEvent(L"OnRep_Lodestones"), NativeEvent(L"OnRep_Gravestones"),
                               NativeEvent(L"OnRep_Beds"), NativeEvent(L"OnRep_Landmarks"), NativeEvent(L"OnRep_Dungeons")}});
    DefineClass({.path = L"/Script/Umbrafel.RevealedMapIconsComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .properties = {{L"RevealedLandmarkNames", Set(Name())}},
                 .functions = {NativeEvent(L"Client_UpdateRevealedLandmark", {In(L"LandmarkId", Name()), In(L"bRevealed", Bool())})}});
    DefineClass({.path = L"/Script/Umbrafel.MapCustomizationComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .properties = {{L"CurrentWaypoint", Object(L"/Script/Umbrafel.WaypointActor")}},
                 .functions = {NativeEvent(L"Client_NotifyWaypointStateLoaded"), NativeEvent(L"Client_NotifyPinsSet")}});
    DefineClass({.path = L"/Script/Umbrafel.PingComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .functions = {NativeEvent(L"Client_NotifyPing", {In(L"Location", vector)})}});
    DefineClass({.path = L"/Script/Umbrafel.PoiDiscoverySystemActor",
                 .super = L"/Script/Engine.Actor",
                 .functions = {NativeEvent(L"OnRep_PoiDiscoverySystemDataPerPlayer")}});
    // One per world: the map screen's door to the map data and the local player's map state.
    DefineClass({.path = L"/Script/Umbrafel.MapUIAPI",
                 .properties = {{L"GameplayObjectRegistry", Object(L"/Script/Umbrafel.GameplayObjectRegistry")},
                                {L"LocalPlayerRevealedMapIconsComponent", Object(L"/Script/Umbrafel.RevealedMapIconsComponent")},
                                {L"LocalPlayerMapCustomizationComponent", Object(L"/Script/Umbrafel.MapCustomizationComponent")},
                                {L"MapIconDisplayInfoCollection", Object(L"/Script/Umbrafel.MapIconDisplayInfoCollection")}},
                 .functions = {NativeEvent(L"PlaceWaypoint", {In(L"Location", vector)}, &PlaceWaypointBody),
                               NativeEvent(L"ClearWaypoint", {}, &ClearWaypointBody),
                               NativeEvent(L"PlacePin", {In(L"Location", vector)}), NativeEvent(L"ClearPin", {In(L"PinIndex", Int())})}});
    DefineClass({.path = L"/Script/MinimapPlugin.MapIconComponent",
                 .super = L"/Script/Engine.SceneComponent",
                 .properties = {{L"IconTexture", Object()}, {L"IconSize", Float()},
                                {L"IconDrawColor", Struct(L"/Script/CoreUObject.LinearColor")}, {L"bIconVisible", Bool()},
                                {L"IconCategory", Name()}},
                 .functions = {NativeEvent(L"SetIconVisible", {In(L"bNewVisible", Bool())}, KeepArgument(L"bNewVisible", L"bIconVisible")),
                               NativeEvent(L"SetIconTexture", {In(L"NewTexture", Object())}, KeepArgument(L"NewTexture", L"IconTexture")),
                               NativeEvent(L"SetIconSize", {In(L"NewSize", Float())}, KeepArgument(L"NewSize", L"IconSize")),
                               NativeEvent(L"SetIconDrawColor", {In(L"NewDrawColor", Struct(L"/Script/CoreUObject.LinearColor"))},
                                           KeepArgument(L"NewDrawColor", L"IconDrawColor")),
                               Native(L"GetIconTexture", {Return(Object())},
                                      [](Call& call) { ReturnObject(call, ObjectReference(call.Self(), L"IconTexture")); }),
                               Native(L"IsIconVisible", {Return(Bool())},
                                      [](Call& call) { call.SetBool(L"ReturnValue", Flag(call.Self(), L"bIconVisible")); })}});
    DefineClass({.path = L"/Script/Umbrafel.PlayerEquipmentComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .functions = {NativeEvent(L"OnRep_HeldEquipmentActorRight"), NativeEvent(L"OnRep_HeldEquipmentActorLeft"),
                               NativeEvent(L"OnRep_CurrentLegsWearable"), NativeEvent(L"OnRep_CurrentHeadWearable"),
                               NativeEvent(L"OnRep_CurrentCapeWearable"), NativeEvent(L"OnRep_CurrentBodyWearable"),
                               NativeEvent(L"ReceiveControllerChanged",
                                     {In(L"Pawn", Object(L"/Script/Engine.Pawn")), In(L"OldController", Object()),
                                      In(L"NewController", Object())})}});
    // The game scores how sheltered the character stands from the roofs over it; the roof
    // trace profile is the collision profile the game traces roofs with.
    DefineClass({.path = L"/Script/Umbrafel.CharacterShelterComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .properties = {{L"CachedValidityScore", Float()},
                                {L"RoofTraceCollisionProfileName", Struct(L"/Script/Engine.CollisionProfileName")}}});
    UClass* playerCharacter = DefineClass(
        {.path = L"/Script/Umbrafel.UmbrafelPlayerCharacter",
         .super = L"/Script/Engine.Character",
         .properties = {{L"EquipmentComponent", Object(L"/Script/Umbrafel.PlayerEquipmentComponent")},
                        {L"CharacterShelterComponent", Object(L"/Script/Umbrafel.CharacterShelterComponent")},
                        {L"GameplayObjectRegistry", Object(L"/Script/Umbrafel.GameplayObjectRegistry")}},
         .functions = {NativeEvent(L"OnHeldRightItemChanged"), NativeEvent(L"OnHeldLeftItemChanged"), NativeEvent(L"OnLegsItemChanged"),
                       NativeEvent(L"OnHeadItemChanged"), NativeEvent(L"OnCapeItemChanged"), NativeEvent(L"OnBodyItemChanged")}});
    SetDefaultComponents(playerCharacter,
                         {{L"EquipmentComponent", L"/Script/Umbrafel.PlayerEquipmentComponent", L"EquipmentComponent"},
                          {L"CharacterShelterComponent", L"/Script/Umbrafel.CharacterShelterComponent",
                           L"CharacterShelterComponent"}});
    // The menu's controller shares the game's base but is not a game controller.
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelPlayerControllerBase", .super = L"/Script/Engine.PlayerController"});
    // The game's controller owns the player's map state and knows which character it plays.
    UClass* gameController = DefineClass(
        {.path = L"/Script/Umbrafel.UmbrafelPlayerController",
         .super = L"/Script/Umbrafel.UmbrafelPlayerControllerBase",
         .properties = {{L"RevealedMapIconsComponent", Object(L"/Script/Umbrafel.RevealedMapIconsComponent")},
                        {L"MapCustomizationComponent", Object(L"/Script/Umbrafel.MapCustomizationComponent")},
                        {L"CharacterGuid", Struct(L"/Script/CoreUObject.Guid")}},
         .functions = {Native(L"IsCharacterGuidEqual", {In(L"InGuid", Struct(L"/Script/CoreUObject.Guid")), Return(Bool())},
                              [](Call& call) {
                                  const void* own = ObjectFieldOrNull(call.Self(), L"CharacterGuid");
                                  call.SetBool(L"ReturnValue",
                                               own != nullptr && std::memcmp(own, call.ParamAddress(L"InGuid"), 16) == 0);
                              })}});
    SetDefaultComponents(gameController,
                         {{L"RevealedMapIconsComponent", L"/Script/Umbrafel.RevealedMapIconsComponent", L"RevealedMapIconsComponent"},
                          {L"MapCustomizationComponent", L"/Script/Umbrafel.MapCustomizationComponent", L"MapCustomizationComponent"}});
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelPlayerControllerMenu",
                 .super = L"/Script/Umbrafel.UmbrafelPlayerControllerBase"});
    DefineClass({.path = L"/Script/Umbrafel.InGameTimeSubsystem",
                 .properties = {{L"bIsNight", Bool()}},
                 .functions = {NativeEvent(L"OnDayOrNightChangedDynamic", {In(L"bIsNight", Bool())})}});
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelAICharacter",
                 .super = L"/Script/Engine.Character",
                 .properties = {{L"LoadedData", Object(L"/Script/Umbrafel.AICharacterData")}}});
    DefineClass({.path = L"/Script/Umbrafel.InteractableNPC", .super = L"/Script/Engine.Character"});
    // Every world has one; its AI characters enter the set as they begin play and leave it as
    // they end play.
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelAISubsystem",
                 .properties = {{L"AllAiCharacters", Set(Object(L"/Script/Umbrafel.UmbrafelAICharacter"))}}});
}

// Neither a path lookup nor a walk of the object array finds the object by its path any more.
void HidePath(StringViewType path)
{
    UObject* found = FindObjectByPath(path);
    if (found == nullptr)
    {
        return;
    }
    State().byPath.erase(FoldCase(path));
    State().foldedPaths[static_cast<std::size_t>(found->GetInternalIndex())].clear();
}
} // namespace

void DefineDefaultGame(const GameOptions& options)
{
    // The engine's own missing members, set at its reset, stay.
    for (const auto& path : options.missingProperties)
    {
        State().missingProperties.insert(FoldCase(path));
    }
    DefineEngineClasses();
    // Textures first: widgets take them as parameters.
    void DefineMapTypes();
    DefineMapTypes();
    void DefineWidgetClasses();
    DefineWidgetClasses();
    DefineTextLibrary();
    void DefineInputFunctions();
    DefineInputFunctions();
    DefineGameClasses();
    void DefineCaptureClasses();
    DefineCaptureClasses();
    void DefineActorQueries();
    DefineActorQueries();
    void DefineMapClasses(TrackedIcons trackedIcons);
    DefineMapClasses(options.trackedIcons);
    // The engine object the loader hands to tick callbacks.
    UObject* engine = NewObject(FindClass(L"/Script/Engine.GameEngine"), EngineAccess::Package(L"/Engine/Transient"),
                                L"GameEngine");
    engine->GetObjectItem()->SetRootSet();
    State().engineObject = engine;
    for (const auto& path : options.missingFunctions)
    {
        RemoveFunction(path);
    }
    std::vector<std::wstring> hidden = options.missingClasses;
    if (!options.mapTracker)
    {
        hidden.insert(hidden.end(), {L"/Script/MinimapPlugin.MapTracker", L"/Script/MinimapPlugin.MapFunctionLibrary"});
    }
    for (const auto& path : hidden)
    {
        HidePath(path);
    }
}

bool RemoveFunction(StringViewType path)
{
    UFunction* function = FindFunctionByPath(path);
    if (function == nullptr)
    {
        return false;
    }
    auto* owner = static_cast<UClass*>(function->GetOuter());
    EngineAccess::UnlinkChild(owner, function);
    HidePath(path);
    return true;
}
} // namespace Sim
