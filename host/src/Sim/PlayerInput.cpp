// The player controller's input as the engine keeps it: the ignore counters every controller
// has, the mouse position a player controller reads through its local player's viewport, its
// input mode and pressed keys, and UMG's library calls that hand the input to the game.
#include "Sim/FunctionDefs.hpp"
#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"

#include <Sim/Input.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <cmath>

namespace Sim
{
using namespace Detail;

namespace
{
ControllerRecord* RecordOf(const UObject* controller)
{
    auto& controllers = State().play.controllers;
    auto found = controllers.find(controller);
    return found != controllers.end() ? &found->second : nullptr;
}

bool IsController(const UObject* object)
{
    return IsLiveObject(object) && object->IsA(FindClass(L"/Script/Engine.Controller"));
}

// AController::SetIgnoreMoveInput and SetIgnoreLookInput:
// Counter = FMath::Max(Counter + (bNew ? +1 : -1), 0), stored back into the uint8.
void CountIgnore(uint8& counter, bool ignore) { counter = static_cast<uint8>(std::max(counter + (ignore ? 1 : -1), 0)); }

// Cast<ULocalPlayer>(Player) with a viewport client: only the engine's local player has one.
// The engine reads the member natively, so a controller whose "Player" was cleared has none.
bool HasGameViewport(UObject* controller)
{
    static NativeMember<> playerMember{L"/Script/Engine.PlayerController", L"Player"};
    auto* member = playerMember.Get();
    if (member == nullptr || !IsLiveObject(controller))
    {
        return false;
    }
    UObject* player = *member->ContainerPtrToValuePtr<UObject*>(controller);
    return player != nullptr && player == State().play.localPlayer && IsLiveObject(player);
}

// APlayerController::GetMousePosition through UGameViewportClient::GetMousePosition: the
// viewport keeps the pixel the cursor is over, negative left of or above it, and (-1, -1)
// while the cursor is elsewhere. Without a position the out parameters are not written: the
// caller keeps what it passed.
void MousePositionBody(Call& call)
{
    bool found = false;
    const MousePosition mouse = CurrentMousePosition();
    if (HasGameViewport(call.Self()) && mouse.overViewport)
    {
        const double x = std::floor(mouse.x), y = std::floor(mouse.y);
        if (x >= 0 && y >= 0)
        {
            call.Get<float>(L"LocationX") = static_cast<float>(x);
            call.Get<float>(L"LocationY") = static_cast<float>(y);
            found = true;
        }
    }
    call.SetBool(L"ReturnValue", found);
}

// APlayerController::SetInputMode applies a mode only where it has a local player and a game
// viewport; FInputModeGameOnly gives that viewport the user focus.
void SetGameOnly(UObject* controller)
{
    if (!HasGameViewport(controller))
    {
        return;
    }
    State().play.controllers[controller].inputMode = InputMode::GameOnly;
    State().play.gameViewportFocused = true;
}

// APlayerController::FlushPressedKeys: only a local controller has a player input to flush.
void FlushPressedKeys(UObject* controller)
{
    if (IsLocalController(controller))
    {
        ++State().play.controllers[controller].flushes;
    }
}

// UWidgetBlueprintLibrary::SetInputMode_GameOnly; engines without bFlushInput never flush.
void GameOnlyBody(Call& call)
{
    UObject* controller = call.Get<UObject*>(L"PlayerController");
    if (controller == nullptr || !Holds(controller))
    {
        return;
    }
    SetGameOnly(controller);
    if (call.Param(L"bFlushInput") != nullptr && call.GetBool(L"bFlushInput"))
    {
        FlushPressedKeys(controller);
    }
}
} // namespace

namespace Detail
{
void ResetIgnoreInputFlags(UObject* controller)
{
    if (ControllerRecord* record = RecordOf(controller))
    {
        record->ignoreMove = 0;
        record->ignoreLook = 0;
    }
}
} // namespace Detail

void DefineInputFunctions()
{
    UClass* controller = FindClass(L"/Script/Engine.Controller");
    AddFunction(controller, Native(L"SetIgnoreMoveInput", {In(L"bNewMoveInput", Bool())}, [](Call& call) {
                    CountIgnore(State().play.controllers[call.Self()].ignoreMove, call.GetBool(L"bNewMoveInput"));
                }));
    AddFunction(controller, Native(L"IsMoveInputIgnored", {Return(Bool())}, [](Call& call) {
                    const ControllerRecord* record = RecordOf(call.Self());
                    call.SetBool(L"ReturnValue", record != nullptr && record->ignoreMove > 0);
                }));
    AddFunction(controller, Native(L"SetIgnoreLookInput", {In(L"bNewLookInput", Bool())}, [](Call& call) {
                    CountIgnore(State().play.controllers[call.Self()].ignoreLook, call.GetBool(L"bNewLookInput"));
                }));
    AddFunction(controller, Native(L"IsLookInputIgnored", {Return(Bool())}, [](Call& call) {
                    const ControllerRecord* record = RecordOf(call.Self());
                    call.SetBool(L"ReturnValue", record != nullptr && record->ignoreLook > 0);
                }));
    AddFunction(FindClass(L"/Script/Engine.PlayerController"),
                Native(L"GetMousePosition", {Out(L"LocationX", Float()), Out(L"LocationY", Float()), Return(Bool())},
                       &MousePositionBody));
    DefineClass({.path = L"/Script/UMG.WidgetBlueprintLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {{L"SetInputMode_GameOnly",
                                {In(L"PlayerController", Object(L"/Script/Engine.PlayerController")), In(L"bFlushInput", Bool())},
                                &GameOnlyBody,
                                kLibraryFunction},
                               // FSlateApplication::SetAllUserFocusToGameViewport.
                               {L"SetFocusToGameViewport", {}, [](Call&) { State().play.gameViewportFocused = true; },
                                kLibraryFunction}}});
}

ControllerInput InputStateOf(const UObject* controller)
{
    ControllerInput state;
    if (!IsController(controller))
    {
        return state;
    }
    if (const ControllerRecord* record = RecordOf(controller))
    {
        state.ignoreMove = record->ignoreMove;
        state.ignoreLook = record->ignoreLook;
        state.mode = record->inputMode;
        state.flushes = record->flushes;
    }
    state.showMouseCursor = Flag(controller, L"bShowMouseCursor");
    state.clickEvents = Flag(controller, L"bEnableClickEvents");
    state.mouseOverEvents = Flag(controller, L"bEnableMouseOverEvents");
    return state;
}

void IgnoreInput(UObject* controller, bool move, bool look)
{
    auto guard = LockEngine();
    if (!IsController(controller))
    {
        return;
    }
    ControllerRecord& record = State().play.controllers[controller];
    if (move)
    {
        CountIgnore(record.ignoreMove, true);
    }
    if (look)
    {
        CountIgnore(record.ignoreLook, true);
    }
}

bool GameViewportHasFocus() { return State().play.gameViewportFocused; }

void TakeGameViewportFocus() { State().play.gameViewportFocused = false; }
} // namespace Sim
