// Fitting the edit mode's texts into their boxes without asking the engine: a text's width from
// a table of glyph advances, the font size a caption may take in a box, and how much of a typed
// value fits its field.
#pragma once

#include <cstddef>
#include <string_view>

namespace Orv
{
// Slate sizes fonts in points at 96 DPI: a point is 4/3 of a layout unit.
inline constexpr double kUnitsPerPoint = 4.0 / 3.0;
// A line's height, ascent to descent, in ems.
inline constexpr double kLineHeightEm = 1.17;
// A control's caption keeps this far from each side of the control's fill.
inline constexpr double kCaptionSideMargin = 2.0;

// The text's width in ems of the widest face a game's UI is likely to draw it in: a bold sans
// at least as wide as the engine's own Roboto Bold in every printable ASCII character; others
// count a whole em.
double TextWidthEm(std::wstring_view text);

// The nominal size, or the largest smaller one at which the text fits the room in width and
// height.
double FittedFontSize(std::wstring_view text, double nominal, double roomWidth, double roomHeight);

// How many of the text's last characters fit the width at the size with the caret after them.
std::size_t CharactersBeforeCaretThatFit(std::wstring_view text, std::wstring_view caret, double size, double width);
} // namespace Orv
