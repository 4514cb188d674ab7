// The simulated player's mouse and keyboard: the keys as the platform's key-state query reads
// them, the desktop window in front as the platform's window queries read it, the mouse over
// the viewport as the player controller's GetMousePosition reads it, and the controller's input
// switches as the engine holds them.
#pragma once

#include <Sim/Engine.hpp>

#include <string_view>

namespace Sim
{
// Virtual key codes as Windows numbers them (1 the left mouse button). All keys are up after
// ResetEngine. The key state is the whole system's: it reads the same whichever window is in
// front. IsKeyDown reads a key as GetAsyncKeyState does: the generic VK_SHIFT, VK_CONTROL and
// VK_MENU read down while either side's key (VK_LSHIFT or VK_RSHIFT, and so on) is down, but
// pressing a generic one presses neither side.
UE4SS_API void SetKeyDown(int virtualKey, bool down);
UE4SS_API bool IsKeyDown(int virtualKey);

// The desktop's windows, one of which (or none) is in front as GetForegroundWindow reads it:
// the game's main window (class "UnrealWindow"), the loader's console, a window of the game's
// own process that is not its main window (class "ConsoleWindowClass"), and a window of
// another program (class "Chrome_WidgetWin_1", another process). Each keeps its handle for
// the engine's life. The game's window is in front after ResetEngine: a game starts focused.
enum class Foreground
{
    Game,
    GameConsole,
    OtherProgram,
    None, // no window in front, as while one is losing activation
};
UE4SS_API void SetForegroundWindow(Foreground which);
UE4SS_API Foreground CurrentForeground();

// The key table: a virtual-key name as Windows' headers spell it ("VK_RETURN", "VK_NUMPAD7",
// "VK_OEM_PERIOD"), "left" for the left mouse button, a digit or an upper-case letter as
// itself, or a code "0x41" from 0x01 to 0xFE. -1 for anything else.
UE4SS_API int KeyCodeByName(std::string_view name);

// The mouse in viewport pixels from the top left; "none" while it is not over the viewport
// (another window, or the cursor captured away). None after ResetEngine.
struct MousePosition
{
    bool overViewport = false;
    double x = 0;
    double y = 0;
};
UE4SS_API void SetMousePosition(double x, double y);
UE4SS_API void ClearMousePosition();
UE4SS_API MousePosition CurrentMousePosition();

// What APlayerController::SetInputMode last applied to a controller.
enum class InputMode
{
    Unchanged, // nothing since the controller was made
    GameOnly,
    GameAndUI,
    UIOnly,
};

// A controller's input state as the engine holds it: its ignore counters (AController's
// IgnoreMoveInput and IgnoreLookInput), its three mouse switches, its input mode, how often
// its pressed keys were flushed, and whether the game viewport has the keyboard focus.
struct ControllerInput
{
    int ignoreMove = 0;
    int ignoreLook = 0;
    bool showMouseCursor = false;
    bool clickEvents = false;
    bool mouseOverEvents = false;
    InputMode mode = InputMode::Unchanged;
    int flushes = 0;
};
UE4SS_API ControllerInput InputStateOf(const UObject* controller);
// The game's own code ignoring input, as a cutscene or a menu does: AController's
// SetIgnoreMoveInput and SetIgnoreLookInput, counted the same way.
UE4SS_API void IgnoreInput(UObject* controller, bool move, bool look);
UE4SS_API bool GameViewportHasFocus();
// Another widget takes the keyboard focus from the game viewport, as a menu or a chat box does.
UE4SS_API void TakeGameViewportFocus();
} // namespace Sim
