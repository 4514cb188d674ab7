// The frame's geometry in layout units.
#include "widget/LayoutMath.hpp"

#include <algorithm>

namespace Orv
{
FreeSpace FrameFreeSpace(double viewportWidth, double viewportHeight, double mapSize)
{
    return {std::max(viewportWidth - (mapSize + kFrameExtraWidth), 0.0),
            std::max(viewportHeight - (mapSize + kFrameExtraHeight), 0.0)};
}

double ClampMapSize(double requested, double viewportWidth, double viewportHeight)
{
    double largest = kMaxMapSize;
    if (viewportWidth > 0.0 && viewportHeight > 0.0)
    {
        const double byHeight = std::max(kMinMapSize, viewportHeight - kFrameExtraHeight);
        const double byWidth = std::max(kMinMapSize, viewportWidth - kFrameExtraWidth);
        largest = std::min(byHeight, std::min(byWidth, kMaxMapSize));
    }
    return requested > largest ? largest : std::max(requested, kMinMapSize);
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
