// Text on the screen: measured in layout units and rasterised to coverage masks with FreeType
// and the DejaVu fonts, as Slate lays out and draws a text block's single run. A build without
// FreeType (the Windows one) still measures, roughly, but draws no glyphs.
#pragma once

#include <Sim/Engine.hpp>

#include <string_view>
#include <vector>

namespace Sim::Detail
{
struct TextMask
{
    int32 width = 0;
    int32 height = 0;
    std::vector<uint8> alpha; // rows from the top
};

bool CanDrawText();
// The box the text takes at a Slate font size (points at 96 DPI), in layout units; lines
// break at '\n'.
void MeasureText(std::wstring_view text, double size, double& width, double& height);
// The text's coverage at the DPI scale, one mask pixel a screen pixel, the box MeasureText
// gives times the scale (rounded up). Valid until the next call.
const TextMask& RasteriseText(std::wstring_view text, double size, double scale);
} // namespace Sim::Detail
