// The mouse and the edit mode, polled once a frame as the frame's last step: the left button's
// edges, and the layout following a new viewport size.
#include "mod/LiveOrvantaMod.hpp"
#include "input/Keys.hpp"

namespace Orv
{
void LiveOrvantaMod::UpdateInput()
{
    const bool down = IsKeyDown(VK_LBUTTON);
    FollowViewportSize();
    session.edit.leftButtonWasDown = down;
}
} // namespace Orv
