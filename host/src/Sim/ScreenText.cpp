// Text runs for the screen: one font face loaded on first use, advances taken unhinted in font
// units so a text's box is the same at every DPI scale, and whole strings rasterised once and
// kept while they keep being drawn.
#include "Sim/ScreenText.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

#ifdef ORVANTA_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#endif

namespace Sim::Detail
{
namespace
{
// Slate's sizes are points at 96 DPI.
constexpr double kPixelsPerPoint = 4.0 / 3.0;
// Without a font: DejaVu Sans Bold's average advance and line height, as shares of the size.
constexpr double kFallbackAdvance = 0.65;
constexpr double kFallbackLineHeight = 1.164;
// Enough strings for a HUD's labels; the cache starts over when they change past it.
constexpr std::size_t kCachedTexts = 256;

using CacheKey = std::tuple<std::wstring, double, double>;

struct Fonts
{
    std::mutex lock;
    std::map<CacheKey, TextMask> masks;
    TextMask empty;
#ifdef ORVANTA_HAVE_FREETYPE
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    bool tried = false;

    ~Fonts()
    {
        if (face != nullptr)
        {
            FT_Done_Face(face);
        }
        if (library != nullptr)
        {
            FT_Done_FreeType(library);
        }
    }

    FT_Face Face()
    {
        if (!tried)
        {
            tried = true;
            if (FT_Init_FreeType(&library) == 0)
            {
                for (const char* path : {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                                         "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"})
                {
                    if (FT_New_Face(library, path, 0, &face) == 0)
                    {
                        break;
                    }
                    face = nullptr;
                }
            }
        }
        return face;
    }
#endif
};

Fonts& Shared()
{
    static Fonts fonts;
    return fonts;
}

template <typename Line> void ForEachLine(std::wstring_view text, Line&& line)
{
    std::size_t start = 0;
    while (true)
    {
        const std::size_t end = text.find(L'\n', start);
        line(text.substr(start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start));
        if (end == std::wstring_view::npos)
        {
            return;
        }
        start = end + 1;
    }
}

#ifdef ORVANTA_HAVE_FREETYPE
double AdvanceUnits(FT_Face face, wchar_t c)
{
    FT_Fixed advance = 0;
    FT_Get_Advance(face, FT_Get_Char_Index(face, static_cast<FT_ULong>(c)), FT_LOAD_NO_SCALE, &advance);
    return static_cast<double>(advance);
}
#endif

// In multiples of the font's pixel size.
void MeasureShares(Fonts& fonts, std::wstring_view text, double& width, double& lineHeight, double& ascent, int& lines)
{
    width = 0;
    lines = 0;
    lineHeight = kFallbackLineHeight;
    ascent = kFallbackLineHeight * 0.8;
#ifdef ORVANTA_HAVE_FREETYPE
    FT_Face face = fonts.Face();
    if (face != nullptr)
    {
        const double em = face->units_per_EM;
        lineHeight = (face->ascender - face->descender) / em;
        ascent = face->ascender / em;
        ForEachLine(text, [&](std::wstring_view line) {
            double units = 0;
            for (wchar_t c : line)
            {
                units += AdvanceUnits(face, c);
            }
            width = std::max(width, units / em);
            ++lines;
        });
        return;
    }
#else
    static_cast<void>(fonts);
#endif
    ForEachLine(text, [&](std::wstring_view line) {
        width = std::max(width, static_cast<double>(line.size()) * kFallbackAdvance);
        ++lines;
    });
}
} // namespace

bool CanDrawText()
{
#ifdef ORVANTA_HAVE_FREETYPE
    Fonts& fonts = Shared();
    std::lock_guard guard(fonts.lock);
    return fonts.Face() != nullptr;
#else
    return false;
#endif
}

void MeasureText(std::wstring_view text, double size, double& width, double& height)
{
    Fonts& fonts = Shared();
    std::lock_guard guard(fonts.lock);
    double widthShare, lineShare, ascentShare;
    int lines;
    MeasureShares(fonts, text, widthShare, lineShare, ascentShare, lines);
    const double pixels = std::max(size, 0.0) * kPixelsPerPoint;
    width = widthShare * pixels;
    height = lineShare * pixels * lines;
}

const TextMask& RasteriseText(std::wstring_view text, double size, double scale)
{
    Fonts& fonts = Shared();
    std::lock_guard guard(fonts.lock);
#ifdef ORVANTA_HAVE_FREETYPE
    FT_Face face = fonts.Face();
    const double pixels = std::max(size, 0.0) * kPixelsPerPoint * scale;
    if (face == nullptr || text.empty() || !(pixels >= 1) || pixels > 4096)
    {
        return fonts.empty;
    }
    CacheKey key{std::wstring(text), size, scale};
    if (auto found = fonts.masks.find(key); found != fonts.masks.end())
    {
        return found->second;
    }
    if (fonts.masks.size() >= kCachedTexts)
    {
        fonts.masks.clear();
    }
    double widthShare, lineShare, ascentShare;
    int lines;
    MeasureShares(fonts, text, widthShare, lineShare, ascentShare, lines);
    TextMask& mask = fonts.masks[key];
    mask.width = static_cast<int32>(std::ceil(widthShare * pixels));
    mask.height = static_cast<int32>(std::ceil(lineShare * pixels * lines));
    mask.alpha.assign(static_cast<std::size_t>(mask.width) * static_cast<std::size_t>(mask.height), 0);
    if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(pixels * 64)), 72, 72) != 0)
    {
        return mask;
    }
    const double em = face->units_per_EM;
    int line = 0;
    ForEachLine(text, [&](std::wstring_view run) {
        const double baseline = (line * lineShare + ascentShare) * pixels;
        double pen = 0;
        for (wchar_t c : run)
        {
            const double advance = AdvanceUnits(face, c) / em * pixels;
            if (FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0)
            {
                const FT_Bitmap& bitmap = face->glyph->bitmap;
                const int32 left = static_cast<int32>(std::lround(pen)) + face->glyph->bitmap_left;
                const int32 top = static_cast<int32>(std::lround(baseline)) - face->glyph->bitmap_top;
                for (int32 row = 0; row < static_cast<int32>(bitmap.rows); ++row)
                {
                    const int32 y = top + row;
                    if (y < 0 || y >= mask.height)
                    {
                        continue;
                    }
                    for (int32 column = 0; column < static_cast<int32>(bitmap.width); ++column)
                    {
                        const int32 x = left + column;
                        if (x < 0 || x >= mask.width)
                        {
                            continue;
                        }
                        uint8& out = mask.alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(mask.width) + static_cast<std::size_t>(x)];
                        out = std::max(out, bitmap.buffer[row * bitmap.pitch + column]);
                    }
                }
            }
            pen += advance;
        }
        ++line;
    });
    return mask;
#else
    static_cast<void>(text), static_cast<void>(size), static_cast<void>(scale);
    return fonts.empty;
#endif
}
} // namespace Sim::Detail
