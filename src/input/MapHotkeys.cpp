// What the hotkeys do: hide or show the whole map, and step its zoom as the edit mode's + and
// - buttons do. Polled at the start of every frame, before the session is looked at, since a
// hidden map has no session to poll from.
#include "mod/LiveOrvantaMod.hpp"

#include "capture/CaptureMath.hpp"
#include "settings/HudFile.hpp"

namespace Orv
{
void LiveOrvantaMod::PollHotkeys()
{
    const HudSettings& hud = Hud();
    const std::array<KeyChord, kHotkeyCount> chords{hud.ToggleKey, hud.ZoomInKey, hud.ZoomOutKey};
    // A value being typed owns the keyboard; a key still held when typing ends is no press.
    if (session.edit.editingField != EditingField::None)
    {
        SettleHotkeys(hotkeys, chords);
        return;
    }
    const std::array<bool, kHotkeyCount> pressed = PollChords(hotkeys, chords);
    if (pressed[kToggleHotkey])
    {
        SetMapHidden(!hud.Hidden);
    }
    if (hud.Hidden || !IsLive(session.capture.captureComponent, false))
    {
        return;
    }
    if (pressed[kZoomInHotkey])
    {
        StepZoom(-kZoomStep);
    }
    if (pressed[kZoomOutHotkey])
    {
        StepZoom(kZoomStep);
    }
}

void LiveOrvantaMod::SetMapHidden(bool hidden)
{
    HudSettings& hud = Hud();
    hud.Hidden = hidden;
    SaveHudSettings(hud);
    if (hidden)
    {
        // Nothing is left to poll or draw: the widget, the capture and the markers all go.
        TearDownSession(true);
    }
    nextSessionAttempt = now;
}
} // namespace Orv
