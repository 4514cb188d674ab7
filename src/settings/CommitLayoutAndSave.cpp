// What the edit mode changed goes into the settings record and to disk at once: the frame's
// place and size, the zoom of the camera mode the player is in, the trim and the shape.
#include "mod/LiveOrvantaMod.hpp"

#include "settings/ModSettings.hpp"
#include "settings/SettingsFile.hpp"
#include "widget/LayoutMath.hpp"

namespace Orv
{
void LiveOrvantaMod::CommitLayoutAndSave()
{
    ModSettings& settings = Settings();
    const LayoutState& layout = session.layout;
    const double size = workingSize;
    // Before the layout has measured a viewport there is no place to store: the position the
    // file holds is kept rather than overwritten with the left and top edges.
    if (layout.viewportWidth > 0.0 || layout.viewportHeight > 0.0)
    {
        const FreeSpace free = FrameFreeSpace(layout.viewportWidth, layout.viewportHeight, size, layout.controlScale);
        settings.PositionX = free.width > 0.0 ? layout.frameX / free.width : 0.0;
        settings.PositionY = free.height > 0.0 ? layout.frameY / free.height : 0.0;
    }
    settings.Size = static_cast<float>(size);
    if (session.camera.inDungeon)
    {
        settings.DungeonZoom = workingZoom;
    }
    else if (session.camera.zoomOverrideActive)
    {
        settings.IndoorZoom = workingZoom;
    }
    else
    {
        settings.Zoom = workingZoom;
    }
    settings.BrightnessTrim = workingBrightnessTrim;
    settings.Circular = workingCircular;
    SaveSettings(settings);
}
} // namespace Orv
