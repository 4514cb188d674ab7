// Timed input for a session: the mouse over the viewport and the keys the simulated player
// presses, read from a script of one event per line and played before the engine's frames.
#pragma once

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
    };
    int frame = 0; // applied before this engine frame (0-based)
    Kind kind = Kind::MouseNone;
    int key = 0; // virtual-key code, for KeyDown and KeyUp
    double x = 0;
    double y = 0;
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
// none", "FRAME down KEY", "FRAME up KEY" and "FRAME tap KEY" (down at FRAME, up at FRAME + 1);
// KEY as the engine's key table names it; "#" starts a comment; blank lines are skipped.
bool ParseInputScript(std::string_view script, InputScript& out, ScriptError& error);

// Hands the engine one event: the mouse or a key as the simulated player moves it.
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
