// The report's look at the minimap's widget as the engine holds it: whether it is on screen,
// where its panel sits, how big and how round the map is, and the tint the map is drawn with.
#pragma once

#include <nlohmann/json.hpp>

namespace OrvSim
{
// The "widget" key: in_viewport, zorder, hud, map_size, circular, widgets_constructed; pieces
// the tree lacks are null (or false).
nlohmann::json DescribeWidget();
// The colour the image showing the capture's render target is drawn with; null without one.
nlohmann::json MapTint();
} // namespace OrvSim
