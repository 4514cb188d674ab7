// The report's look at the minimap's widget as the screen holds it: whether it is on screen,
// where its panel sits, how big and how round the map is, the tint the map is drawn with, and
// the markers and arrow it shows.
#pragma once

#include <Sim/Engine.hpp>

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

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
// One of the HUD's seventeen controls as the screen draws it: its caption ("" without a text
// block), whether the screen arranges and draws it, and where, in viewport pixels.
struct ControlOnScreen
{
    std::string label;
    bool visible = false;
    double x = 0, y = 0, width = 0, height = 0;
};
// The controls in the order the HUD holds them (the framed borders after the HUD panel's last
// caption), laid out now; empty unless there are seventeen.
std::vector<ControlOnScreen> ControlsOnScreen();
// The "widget.controls" key: each control as {"label", "visible", "rect": [x, y, w, h]}.
nlohmann::json DescribeControls(const std::vector<ControlOnScreen>& controls);
// The map's size box as the screen draws it, laid out now, in viewport pixels; none without
// one drawn.
std::optional<ControlOnScreen> MapOnScreen();
// The mod's user widget in the game viewport; null while there is none.
RC::Unreal::UObject* ModWidgetOnScreen();
// The colour the image showing the capture's render target is drawn with; null without one.
nlohmann::json MapTint();
// The "extras" key, as the engine holds them: hidden (a local pawn stands in a world, the mod
// is loaded, yet no mod widget is in the viewport and no capture actor in that world),
// north_up (the capture actor's yaw is 0; null without one), compass_letters (N, E, S and W
// all drawn) with compass_places (letter → [x, y], its centre in viewport pixels),
// coordinates (the text drawn under the map, or false) and map_opacity (the map size box's
// render opacity); the last four null without a mod widget.
nlohmann::json DescribeExtras(bool modLoaded);
} // namespace OrvSim
