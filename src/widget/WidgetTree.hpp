// Building the minimap's widgets through the engine's reflection: the eight UMG classes, and
// the builders of the parts the tree is assembled from (marker pools, the performance panel
// and its captions, the edit-mode controls). Every widget is made here, up front, once per
// session; nothing else constructs widgets.
#pragma once

#include "mod/MapSession.hpp"
#include "reflection/Lookup.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Orv
{
struct WidgetClasses
{
    UClass* userWidget = nullptr;
    UClass* widgetTree = nullptr;
    UClass* canvasPanel = nullptr;
    UClass* sizeBox = nullptr;
    UClass* border = nullptr;
    UClass* overlay = nullptr;
    UClass* image = nullptr;
    UClass* textBlock = nullptr;
};

// True only when the engine has all eight.
bool FindWidgetClasses(Reflection& reflection, WidgetClasses& classes);

// Writes round (a disc-cornered rounded box) or square (the given draw type) straight into the
// widget's brush struct. False when the brush or its draw type is missing, and for round when
// the engine's brushes have no outline settings to round with.
bool SetBrushShape(Reflection& reflection, UObject* widget, std::wstring_view brushName, bool round,
                   std::uint8_t squareDrawType);

// A brush drawn as a plain box: the square frame's rims, and the backdrops.
inline constexpr std::uint8_t kDrawAsBox = 1;
// A compass letter's disc, on the marker canvas, at a control scale of 1.
inline constexpr double kCompassLetterBoxSize = 16.0;
inline constexpr float kCompassLetterFontSize = 9.0f;
// The north mark's square, turned a quarter of a right angle into a point.
inline constexpr double kNorthTickSize = 7.0;
inline constexpr float kCoordinatesFontSize = 8.0f;
// The waypoint's distance beside its pin on the rim.
inline constexpr float kDistanceFontSize = 8.0f;
// The bronze edge of a control, the panel and each rim.
inline constexpr float kRimPadding = 1.0f;

// The size a text block's font would have, as a render scale of the engine's default 24 when
// the block has no usable font.
inline constexpr float kDefaultFontSize = 24.0f;

// "SetFont" with the size, or a render scale of size / 24 when the block has no font.
void ApplyFontSize(Reflection& reflection, UObject* textBlock, float size);
// The width a control's caption may take: its box less the bronze edge and the side margins.
double CaptionRoomWidth(const LayoutBox& box, double controlScale);

// Makes widgets inside one widget tree. Each Create returns false at the first step the tree
// cannot do without; widgets made before it are left to the engine's collector.
class WidgetBuilder
{
  public:
    WidgetBuilder(Reflection& reflection, const WidgetClasses& classes, UObject* widgetTree)
        : reflection_(reflection), classes_(classes), tree_(widgetTree)
    {
    }

    // A new widget of the class, owned by the tree; null when the engine refuses.
    UObject* Make(UClass* cls) const;

    bool CreateIconMarkerPool(UObject* markerCanvas, MarkerPools& pools) const;
    bool CreateDiamondMarkerPool(UObject* markerCanvas, MarkerPools& pools) const;
    // The panel's background and its five captions, children of the positioned canvas.
    bool CreatePerformancePanel(WidgetState& widget) const;
    bool CreatePerfText(WidgetState& widget, std::size_t index, const wchar_t* text) const;
    // Frame, fill and (for a non-empty text) caption, added to the positioned canvas.
    bool CreateControl(WidgetState& widget, std::size_t index, const wchar_t* text) const;
    // N, E, S and W on dark discs, and the north mark, on the marker canvas above every marker.
    bool CreateCompassLetters(UObject* markerCanvas, WidgetState& widget) const;
    // The coordinates' text on a dark backdrop, on the positioned canvas.
    bool CreateCoordinates(WidgetState& widget) const;
    // The waypoint's distance on a dark backdrop, on the marker canvas with the rim pins.
    bool CreateWaypointDistance(UObject* markerCanvas, MarkerPools& pools) const;

  private:
    // An empty caption, centred on a collapsed backdrop of the fill added to the canvas; the
    // canvas slot, or null at the first step that failed.
    UObject* CreateTextOnBackdrop(UObject* canvas, const LinearColor& fill, UObject*& backdrop, UObject*& text) const;
    // Visibility, text and colour of a caption; its size comes with the layout (ApplyTextSizes).
    void DressCaption(UObject* textBlock, const wchar_t* text, std::uint8_t visibility) const;

    Reflection& reflection_;
    const WidgetClasses& classes_;
    UObject* tree_;
};
} // namespace Orv
