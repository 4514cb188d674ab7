// The minimap's colours: bronze rims and edges, dark fills, the active and hover states of the
// edit-mode controls, caption text, and the backdrops of the markers. Linear colours.
#pragma once

#include "reflection/EngineValues.hpp"

namespace Orv::Palette
{
inline constexpr LinearColor kBronze{0.576f, 0.294f, 0.067f, 1.0f};
inline constexpr LinearColor kRimDarkFill{0.045f, 0.027f, 0.017f, 0.99f};
inline constexpr LinearColor kRimLightBronze{0.365f, 0.205f, 0.065f, 0.96f};
inline constexpr LinearColor kControlDarkFill{0.045f, 0.027f, 0.017f, 0.97f};
inline constexpr LinearColor kActive{0.365f, 0.205f, 0.065f, 1.0f};
inline constexpr LinearColor kHover{0.69f, 0.39f, 0.105f, 1.0f};
inline constexpr LinearColor kCaptionText{0.92f, 0.78f, 0.5f, 1.0f};
inline constexpr LinearColor kIconBackdrop{0.015f, 0.01f, 0.006f, 0.92f};
inline constexpr LinearColor kDiamondEdge{0.01f, 0.006f, 0.003f, 1.0f};
inline constexpr LinearColor kCompassNorth{0.95f, 0.22f, 0.12f, 1.0f};
inline constexpr LinearColor kWhite{1.0f, 1.0f, 1.0f, 1.0f};
} // namespace Orv::Palette
