// The input script's playing through the engine's own mouse, key and desktop state.
#include "InputScript.hpp"

#include <Sim/Input.hpp>

namespace OrvSim
{
void ApplyInputEvent(const InputEvent& event)
{
    switch (event.kind)
    {
    case InputEvent::Kind::MouseAt: Sim::SetMousePosition(event.x, event.y); break;
    case InputEvent::Kind::MouseNone: Sim::ClearMousePosition(); break;
    case InputEvent::Kind::KeyDown: Sim::SetKeyDown(event.key, true); break;
    case InputEvent::Kind::KeyUp: Sim::SetKeyDown(event.key, false); break;
    case InputEvent::Kind::Focus: Sim::SetForegroundWindow(event.window); break;
    }
}

void InputPlayer::BeforeFrame(int frame)
{
    while (next_ < script_.size() && script_[next_].frame <= frame)
    {
        ApplyInputEvent(script_[next_]);
        ++next_;
    }
}
} // namespace OrvSim
