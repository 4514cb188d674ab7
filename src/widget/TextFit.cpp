// Text widths from a table of glyph advances.
#include "widget/TextFit.hpp"

#include <algorithm>
#include <cstdint>

namespace Orv
{
namespace
{
// Advances of ' ' to '~' in thousandths of an em, rounded up: a bold sans wider than Roboto
// Bold, so a text that fits here fits in the game.
constexpr std::uint16_t kAdvances[] = {
    349, 457, 521, 838, 696, 1002, 873, 307, 458, 458, 523, 838, 380, 416, 380, 366,  // ' ' to '/'
    696, 696, 696, 696, 696, 696,  696, 696, 696, 696, 400, 400, 838, 838, 838, 581,  // '0' to '?'
    1000, 774, 763, 734, 831, 684, 684, 821, 837, 373, 373, 775, 638, 996, 837, 851,  // '@' to 'O'
    733, 851, 771, 721, 683, 813, 774, 1104, 771, 725, 726, 458, 366, 458, 838, 500,  // 'P' to '_'
    500, 675, 716, 593, 716, 679, 436, 716, 712, 343, 343, 666, 343, 1042, 712, 688,  // '`' to 'o'
    716, 716, 494, 596, 479, 712, 652, 924, 646, 652, 583, 712, 366, 712, 838,        // 'p' to '~'
};
constexpr wchar_t kFirst = L' ';
constexpr wchar_t kLast = L'~';

double AdvanceEm(wchar_t c)
{
    return c >= kFirst && c <= kLast ? kAdvances[c - kFirst] / 1000.0 : 1.0;
}
} // namespace

double TextWidthEm(std::wstring_view text)
{
    double width = 0.0;
    for (const wchar_t c : text)
    {
        width += AdvanceEm(c);
    }
    return width;
}

double FittedFontSize(std::wstring_view text, double nominal, double roomWidth, double roomHeight)
{
    double size = std::min(nominal, roomHeight / (kLineHeightEm * kUnitsPerPoint));
    const double em = TextWidthEm(text);
    if (em > 0.0)
    {
        size = std::min(size, roomWidth / (em * kUnitsPerPoint));
    }
    return std::max(size, 0.0);
}

std::size_t CharactersBeforeCaretThatFit(std::wstring_view text, std::wstring_view caret, double size, double width)
{
    const double unitsPerEm = size * kUnitsPerPoint;
    double used = TextWidthEm(caret) * unitsPerEm;
    std::size_t count = 0;
    for (auto c = text.rbegin(); c != text.rend(); ++c)
    {
        used += AdvanceEm(*c) * unitsPerEm;
        if (used > width)
        {
            break;
        }
        ++count;
    }
    return count;
}
} // namespace Orv
