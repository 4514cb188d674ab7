// The frame's geometry in layout units.
#include "widget/LayoutMath.hpp"

#include <algorithm>

namespace Orv
{
double ControlScale(double viewportScale) { return viewportScale > 0.0 && viewportScale < 1.0 ? 1.0 / viewportScale : 1.0; }

FreeSpace FrameFreeSpace(double viewportWidth, double viewportHeight, double mapSize, double controlScale)
{
    return {std::max(viewportWidth - (mapSize + kFrameExtraWidth * controlScale), 0.0),
            std::max(viewportHeight - (mapSize + kFrameExtraHeight * controlScale), 0.0)};
}

double ClampMapSize(double requested, double viewportWidth, double viewportHeight, double controlScale)
{
    const double smallest = kMinMapSize * controlScale;
    double largest = std::max(kMaxMapSize, smallest);
    if (viewportWidth > 0.0 && viewportHeight > 0.0)
    {
        const double byHeight = std::max(smallest, viewportHeight - kFrameExtraHeight * controlScale);
        const double byWidth = std::max(smallest, viewportWidth - kFrameExtraWidth * controlScale);
        largest = std::min(byHeight, std::min(byWidth, largest));
    }
    return requested > largest ? largest : std::max(requested, smallest);
}

double StoredPositionX(double stored, double freeWidth)
{
    return stored >= 0.0 ? freeWidth * stored : std::max(freeWidth - kDefaultEdgeMargin, 0.0);
}

double StoredPositionY(double stored, double freeHeight)
{
    return stored >= 0.0 ? freeHeight * stored : std::min(freeHeight, kDefaultEdgeMargin);
}
} // namespace Orv
