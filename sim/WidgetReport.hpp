// The report's look at the minimap's widget as the screen holds it: whether it is on screen,
// where its panel sits, how big and how round the map is, the tint the map is drawn with, and
// the markers and arrow it shows.
#pragma once

#include <nlohmann/json.hpp>

namespace OrvSim
{
// The "widget" key: in_viewport, zorder, hud, map_size, circular, widgets_constructed; pieces
// the tree lacks are null (or false).
nlohmann::json DescribeWidget();
// The "markers" key: icons_shown and diamonds_shown (the marker canvas's icon overlays and
// diamond borders drawn hit-test invisible, i.e. shown), arrow_angle (the arrow image's render
// angle) and arrow_texture (whether the arrow image draws a Texture2D); 0, null or false for
// what the tree lacks.
nlohmann::json DescribeMarkers();
// The colour the image showing the capture's render target is drawn with; null without one.
nlohmann::json MapTint();
} // namespace OrvSim
