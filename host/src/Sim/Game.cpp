// The default game's classes: engine basics (actors, components, worlds, game instances) and
// the game's own classes whose functions carry the events a minimap listens to.
#include "Sim/EngineState.hpp"

#include <Sim/Game.hpp>

namespace Sim
{
using namespace Detail;

namespace
{
FunctionDef Event(std::wstring name, std::vector<ParamDef> params = {})
{
    return {std::move(name), std::move(params), {}, FUNC_Event | FUNC_BlueprintEvent | FUNC_Public};
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
                                {L"bHiddenInGame", Bitfield()}}});
    DefineClass({.path = L"/Script/Engine.Actor",
                 .properties = {{L"bHidden", Bitfield()}, {L"bActorIsBeingDestroyed", Bitfield()}, {L"bCanBeDamaged", Bitfield()},
                                {L"Owner", Object(L"/Script/Engine.Actor")},
                                {L"RootComponent", Object(L"/Script/Engine.SceneComponent")}},
                 .functions = {Event(L"ReceiveBeginPlay"),
                               Event(L"ReceiveEndPlay", {In(L"EndPlayReason", Enum(L"/Script/Engine.EEndPlayReason"))})},
                 .castFlags = CASTCLASS_AActor});
    DefineClass({.path = L"/Script/Engine.Pawn", .super = L"/Script/Engine.Actor",
                 .properties = {{L"Controller", Object(L"/Script/Engine.Actor")}}});
    DefineClass({.path = L"/Script/Engine.Character", .super = L"/Script/Engine.Pawn"});
    DefineClass({.path = L"/Script/Engine.World",
                 .properties = {{L"OwningGameInstance", Object(L"/Script/Engine.GameInstance")}},
                 .castFlags = CASTCLASS_UWorld});
    DefineClass({.path = L"/Script/Engine.GameInstance"});
}

void DefineGameClasses()
{
    auto world = Object(L"/Script/Engine.World");
    auto vector = Struct(L"/Script/CoreUObject.Vector");
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelGameInstance",
                 .super = L"/Script/Engine.GameInstance",
                 .functions = {Event(L"K2_OnWorldChanged", {In(L"OldWorld", world), In(L"NewWorld", world)})}});
    DefineClass({.path = L"/Script/Umbrafel.GameplayObjectRegistry",
                 .super = L"/Script/Engine.Actor",
                 .functions = {Event(L"OnRep_PlayerCharacters"), Event(L"OnRep_Lodestones"), Event(L"OnRep_Gravestones"),
                               Event(L"OnRep_Beds")}});
    DefineClass({.path = L"/Script/Umbrafel.RevealedMapIconsComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .functions = {Event(L"Client_UpdateRevealedLandmark", {In(L"LandmarkId", Name()), In(L"bRevealed", Bool())})}});
    DefineClass({.path = L"/Script/Umbrafel.MapCustomizationComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .functions = {Event(L"Client_NotifyWaypointStateLoaded"), Event(L"Client_NotifyPinsSet")}});
    DefineClass({.path = L"/Script/Umbrafel.PingComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .functions = {Event(L"Client_NotifyPing", {In(L"Location", vector)})}});
    DefineClass({.path = L"/Script/Umbrafel.PoiDiscoverySystemActor",
                 .super = L"/Script/Engine.Actor",
                 .functions = {Event(L"OnRep_PoiDiscoverySystemDataPerPlayer")}});
    DefineClass({.path = L"/Script/Umbrafel.MapUIAPI",
                 .functions = {Event(L"PlaceWaypoint", {In(L"Location", vector)}), Event(L"ClearWaypoint"),
                               Event(L"PlacePin", {In(L"Location", vector)}), Event(L"ClearPin", {In(L"PinIndex", Int())})}});
    DefineClass({.path = L"/Script/MinimapPlugin.MapIconComponent",
                 .super = L"/Script/Engine.SceneComponent",
                 .properties = {{L"IconTexture", Object()}, {L"IconSize", Float()},
                                {L"IconDrawColor", Struct(L"/Script/CoreUObject.LinearColor")}, {L"bIconVisible", Bool()}},
                 .functions = {Event(L"SetIconVisible", {In(L"bNewVisible", Bool())}),
                               Event(L"SetIconTexture", {In(L"NewTexture", Object())}),
                               Event(L"SetIconSize", {In(L"NewSize", Float())}),
                               Event(L"SetIconDrawColor", {In(L"NewDrawColor", Struct(L"/Script/CoreUObject.LinearColor"))})}});
    DefineClass({.path = L"/Script/Umbrafel.PlayerEquipmentComponent",
                 .super = L"/Script/Engine.ActorComponent",
                 .functions = {Event(L"OnRep_HeldEquipmentActorRight"), Event(L"OnRep_HeldEquipmentActorLeft"),
                               Event(L"OnRep_CurrentLegsWearable"), Event(L"OnRep_CurrentHeadWearable"),
                               Event(L"OnRep_CurrentCapeWearable"), Event(L"OnRep_CurrentBodyWearable"),
                               Event(L"ReceiveControllerChanged",
                                     {In(L"Pawn", Object(L"/Script/Engine.Pawn")), In(L"OldController", Object()),
                                      In(L"NewController", Object())})}});
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelPlayerCharacter",
                 .super = L"/Script/Engine.Character",
                 .properties = {{L"EquipmentComponent", Object(L"/Script/Umbrafel.PlayerEquipmentComponent")}},
                 .functions = {Event(L"OnHeldRightItemChanged"), Event(L"OnHeldLeftItemChanged"), Event(L"OnLegsItemChanged"),
                               Event(L"OnHeadItemChanged"), Event(L"OnCapeItemChanged"), Event(L"OnBodyItemChanged")}});
    DefineClass({.path = L"/Script/Umbrafel.InGameTimeSubsystem",
                 .properties = {{L"bIsNight", Bool()}},
                 .functions = {Event(L"OnDayOrNightChangedDynamic", {In(L"bIsNight", Bool())})}});
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelAICharacter", .super = L"/Script/Engine.Character"});
    DefineClass({.path = L"/Script/Umbrafel.InteractableNPC", .super = L"/Script/Engine.Character"});
}
} // namespace

void DefineDefaultGame(const GameOptions& options)
{
    DefineEngineClasses();
    DefineGameClasses();
    for (const auto& path : options.missingFunctions)
    {
        RemoveFunction(path);
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
    State().byPath.erase(std::wstring(path));
    return true;
}
} // namespace Sim
