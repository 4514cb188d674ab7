// Timed input for a session: the mouse over the viewport, the keys the simulated player
// presses and the desktop window in front, read from a script of one event per line and
// played before the engine's frames.
#pragma once

#include <Sim/Input.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace OrvSim
{
struct InputEvent
{
    enum class Kind
    {
        MouseAt,   // the mouse over the viewport at x, y (pixels from the top left)
        MouseNone, // no mouse over the viewport
        KeyDown,
        KeyUp,
        Focus, // another desktop window in front, or none
    };
    int frame = 0; // applied before this engine frame (0-based)
    Kind kind = Kind::MouseNone;
    int key = 0; // virtual-key code, for KeyDown and KeyUp
    double x = 0;
    double y = 0;
    Sim::Foreground window = Sim::Foreground::Game; // for Focus
};

// Events by frame, in script order within a frame.
using InputScript = std::vector<InputEvent>;

struct ScriptError
{
    int line = 0;     // 1-based
    std::string text; // the line as written
    std::string reason;
};

// The whole script, or the first malformed line. Lines are "FRAME mouse X Y", "FRAME mouse
// none", "FRAME down KEY", "FRAME up KEY", "FRAME tap KEY" (down at FRAME, up at FRAME + 1)
// and "FRAME focus WINDOW" (WINDOW game, console, other or none: the game's main window, the
// game's console, another program's window or no window in front); KEY as the engine's key
// table names it ("VK_LCONTROL", "M"); "#" starts a comment; blank lines are skipped.
bool ParseInputScript(std::string_view script, InputScript& out, ScriptError& error);

// Hands the engine one event: the mouse, a key or the window in front as the simulated player
// moves it.
void ApplyInputEvent(const InputEvent& event);

// Plays a script frame by frame: before each frame, the events due by then.
class InputPlayer
{
  public:
    explicit InputPlayer(const InputScript& script) : script_(script) {}
    void BeforeFrame(int frame);

  private:
    const InputScript& script_;
    std::size_t next_ = 0;
};
} // namespace OrvSim
