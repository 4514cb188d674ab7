// The frame's pieces placed relative to its top-left, in layout units times the control scale.
#include "widget/ControlLayout.hpp"

#include "widget/LayoutMath.hpp"

#include <algorithm>

namespace Orv
{
namespace
{
constexpr double kRowHeight = 20.0;
constexpr double kRowSpacing = 3.0;
constexpr double kEditButtonWidth = 38.0;
constexpr double kZoomButtonWidth = 20.0;
constexpr double kRowToggleWidth = 22.0;
constexpr double kPanelWidth = 196.0;
constexpr double kPanelHeight = 199.0;
constexpr double kPanelGap = 6.0;
// At or beyond this x the panel fits left of the frame: its width and the gap.
constexpr double kPanelLeftRoom = kPanelWidth + kPanelGap;
constexpr double kPanelInset = 8.0;
constexpr double kValueFieldWidth = 96.0;
constexpr double kValueFieldHeight = 20.0;
constexpr double kToggleStride = 45.75;
constexpr double kToggleWidth = 42.75;
constexpr double kPanelButtonHeight = 22.0;
constexpr double kSecondRowWidths[] = {38.0, 26.0, 40.0}; // N-UP, XY, opacity

constexpr LayoutBox kCaptionPlaces[kPerfTextCount] = {
    {8, 5, 180, 18}, {8, 32, 70, 20}, {8, 59, 70, 20}, {8, 86, 70, 20}, {8, 111, 180, 14},
};

LayoutBox Scaled(const LayoutBox& box, double k) { return {box.x * k, box.y * k, box.width * k, box.height * k}; }

LayoutBox HandleBox(double size, double k)
{
    return {size + kHandleGap * k, size + (kButtonRowHeight + kHandleGap) * k, kHandleSize * k, kHandleSize * k};
}

bool Overlap(double top, double height, const LayoutBox& box) { return box.y < top + height && box.y + box.height > top; }

void PlacePanelPieces(const LayoutBox& panel, double k, FrameLayout& layout)
{
    for (std::size_t index = 0; index < kPerfTextCount; ++index)
    {
        const LayoutBox place = Scaled(kCaptionPlaces[index], k);
        layout.captions[index] = {panel.x + place.x, panel.y + place.y, place.width, place.height};
    }
    auto& c = layout.controls;
    const double valueX = panel.x + (kPanelWidth - kPanelInset - kValueFieldWidth) * k;
    const double fieldTops[] = {29.0, 56.0, 83.0};
    const std::size_t fields[] = {kCaptureRateField, kMarkerRateField, kRenderScaleField};
    for (std::size_t k2 = 0; k2 < std::size(fields); ++k2)
    {
        c[fields[k2]] = {valueX, panel.y + fieldTops[k2] * k, kValueFieldWidth * k, kValueFieldHeight * k};
    }
    c[kResetButton] = {panel.x + kPanelInset * k, panel.y + 133.0 * k, 180.0 * k, kPanelButtonHeight * k};
    const std::size_t toggles[] = {kAiToggle, kResourcesToggle, kQuestsToggle, kPoisToggle};
    for (std::size_t n = 0; n < std::size(toggles); ++n)
    {
        c[toggles[n]] = {panel.x + (kPanelInset + static_cast<double>(n) * kToggleStride) * k, panel.y + 165.0 * k,
                         kToggleWidth * k, kPanelButtonHeight * k};
    }
}
} // namespace

LayoutBox PanelPlace(const FrameLayoutInput& in)
{
    const double k = in.controlScale;
    const double size = in.mapSize;
    const double width = kPanelWidth * k;
    const double height = kPanelHeight * k;
    // Level with the map's top, unless that takes its bottom off the screen.
    const double y = std::max(std::min(kButtonRowHeight * k, in.viewportHeight - in.frameY - height), -in.frameY);
    if (in.frameX >= kPanelLeftRoom * k)
    {
        return {-kPanelLeftRoom * k, y, width, height};
    }
    const LayoutBox handle = HandleBox(size, k);
    const double besideMap = size + kPanelGap * k;
    const double x = Overlap(y, height, handle) ? handle.x + handle.width + kPanelGap * k : besideMap;
    if (in.frameX + x + width <= in.viewportWidth)
    {
        return {x, y, width, height};
    }
    const double overMap = std::max(std::min(0.0, in.viewportWidth - width - in.frameX), -in.frameX);
    return {overMap, y, width, height};
}

void ComputeFrameLayout(const FrameLayoutInput& in, FrameLayout& layout)
{
    const double k = in.controlScale;
    const double size = in.mapSize;
    const bool edit = in.editMode;
    auto& c = layout.controls;
    layout.visible.fill(edit);
    layout.visible[kEditButton] = true;

    const double rowHeight = kRowHeight * k;
    c[kEditButton] = {size - kEditButtonWidth * k, 0.0, kEditButtonWidth * k, rowHeight};
    // The row runs leftwards from the map's right edge, 3 units apart.
    const std::pair<std::size_t, double> row[] = {
        {kZoomInButton, kZoomButtonWidth}, {kZoomOutButton, kZoomButtonWidth}, {kIndoorToggle, kRowToggleWidth}, {kShapeToggle, kRowToggleWidth}};
    double left = c[kEditButton].x;
    for (const auto& [index, width] : row)
    {
        left -= (kRowSpacing + width) * k;
        c[index] = {edit ? left : c[index].x, 0.0, width * k, rowHeight};
    }

    layout.panel = PanelPlace(in);
    layout.panelOnLeft = in.frameX >= kPanelLeftRoom * k;
    PlacePanelPieces(layout.panel, k, layout);

    // Under the map, at the handle's height: the locked layout keeps every place it had.
    const LayoutBox handle = HandleBox(size, k);
    c[kResizeHandle] = handle;
    const std::size_t second[] = {kNorthUpToggle, kCoordinatesToggle, kOpacityButton};
    double x = 0.0;
    for (std::size_t n = 0; n < std::size(second); ++n)
    {
        c[second[n]] = {x, handle.y, kSecondRowWidths[n] * k, kHandleSize * k};
        x += (kSecondRowWidths[n] + kRowSpacing) * k;
    }

    // The coordinates sit under the map, and under the second row while it is shown; where that
    // is off the screen, along the picture's bottom edge.
    const double lineHeight = kHandleSize * k;
    const double belowRow = handle.y + lineHeight + kRowSpacing * k;
    const double mapTop = kButtonRowHeight * k;
    double coordinatesY = handle.y;
    if (edit)
    {
        coordinatesY = in.frameY + belowRow + lineHeight <= in.viewportHeight ? belowRow : mapTop + size - lineHeight;
    }
    layout.coordinates = {0.0, coordinatesY, size, lineHeight};
    layout.map = {0.0, mapTop, size, size};
    layout.hud = {0.0, 0.0, size + kFrameExtraWidth * k, size + kFrameExtraHeight * k};
}
} // namespace Orv
