// Where the frame's pieces go, apart from the engine: the seventeen controls, the performance
// panel and its captions, the coordinates, the map and the positioned canvas, all relative to
// the frame's top-left, for a map size, a frame position, a viewport and the control scale. The
// mod sends what this computes; the hit test reads it back.
#pragma once

#include "widget/Controls.hpp"

#include <array>
#include <cstddef>

namespace Orv
{
struct LayoutBox
{
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    bool Contains(double px, double py) const { return px >= x && px <= x + width && py >= y && py <= y + height; }
};

struct FrameLayoutInput
{
    double mapSize = 0.0;
    double frameX = 0.0;
    double frameY = 0.0;
    double viewportWidth = 0.0;
    double viewportHeight = 0.0;
    double controlScale = 1.0;
    bool editMode = false;
};

struct FrameLayout
{
    std::array<LayoutBox, kControlCount> controls{};
    std::array<bool, kControlCount> visible{};
    LayoutBox panel;
    bool panelOnLeft = true;
    std::array<LayoutBox, kPerfTextCount> captions{};
    LayoutBox coordinates;
    LayoutBox map;
    LayoutBox hud; // the positioned canvas's size; its place is the frame's
};

// The panel's place. Beside the frame as long as it fits the viewport: left of it from
// x = 202 on, else right of the map, or right of the resize handle where the handle would lie
// over it; raised where its bottom would leave the screen. Where neither side fits, it lies
// over the map's left part, above the picture and below every control.
LayoutBox PanelPlace(const FrameLayoutInput& in);

// Updates the layout for the input. While the edit mode is off, the hidden buttons of the row
// over the map keep the places they had.
void ComputeFrameLayout(const FrameLayoutInput& in, FrameLayout& layout);

// The control drawn on top (the highest index: later controls draw over earlier ones) that is
// shown, usable and contains the point, relative to the frame; kControlCount for none.
template <class Usable>
std::size_t TopmostControlAt(const FrameLayout& layout, double x, double y, Usable usable)
{
    for (std::size_t index = kControlCount; index-- > 0;)
    {
        if (layout.visible[index] && usable(index) && layout.controls[index].Contains(x, y))
        {
            return index;
        }
    }
    return kControlCount;
}
} // namespace Orv
