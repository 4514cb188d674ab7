// The screen's painting primitives: a linear-light frame, the affine maps from layout units to
// pixels that render transforms make, and shapes (boxes, rounded boxes, discs) filled through
// such a map by sending each covered pixel back into the shape's own space. Edges get their
// coverage from 4×4 samples, taken only where a pixel straddles one.
#pragma once

#include <Sim/Engine.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Sim::Detail
{
struct Rgba
{
    float r = 0, g = 0, b = 0, a = 0;
    Rgba operator*(const Rgba& o) const { return {r * o.r, g * o.g, b * o.b, a * o.a}; }
};

float SrgbToLinear(uint8 value);
uint8 LinearToSrgb(float value);

// Linear RGB, what Slate blends in before the back buffer turns it into sRGB.
struct Frame
{
    int32 width = 0;
    int32 height = 0;
    std::vector<float> rgb;

    void Reset(int32 w, int32 h)
    {
        width = w;
        height = h;
        rgb.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3, 0.0f);
    }
    void Blend(int32 x, int32 y, const Rgba& c, float coverage)
    {
        const float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
        float* p = &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
        p[0] += (std::max(c.r, 0.0f) - p[0]) * a;
        p[1] += (std::max(c.g, 0.0f) - p[1]) * a;
        p[2] += (std::max(c.b, 0.0f) - p[2]) * a;
    }
    // RGBA8 sRGB, opaque; channels above 1 clamp.
    void Encode(std::vector<uint8>& rgba) const;
};

// x' = a·x + b·y + c, y' = d·x + e·y + f.
struct Affine
{
    double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;

    static Affine Scale(double sx, double sy) { return {sx, 0, 0, 0, sy, 0}; }
    static Affine Translate(double x, double y) { return {1, 0, x, 0, 1, y}; }
    void Apply(double x, double y, double& ox, double& oy) const
    {
        ox = a * x + b * y + c;
        oy = d * x + e * y + f;
    }
    // This map after first.
    Affine After(const Affine& first) const
    {
        return {a * first.a + b * first.d, a * first.b + b * first.e, a * first.c + b * first.f + c,
                d * first.a + e * first.d, d * first.b + e * first.e, d * first.c + e * first.f + f};
    }
    double Determinant() const { return a * e - b * d; }
    Affine Inverse() const
    {
        const double det = Determinant();
        const double ia = e / det, ib = -b / det, id = -d / det, ie = a / det;
        return {ia, ib, -(ia * c + ib * f), id, ie, -(id * c + ie * f)};
    }
};

// A box in its own space with per-corner radii (top left, top right, bottom right, bottom
// left), each already no more than half the shorter side.
struct Shape
{
    double x = 0, y = 0, width = 0, height = 0;
    std::array<double, 4> radii{0, 0, 0, 0};

    // Signed distance from the outline, negative inside; exact for boxes and their rounded
    // corners, so it never changes faster than the point moves.
    double Distance(double px, double py) const
    {
        const double hx = width * 0.5, hy = height * 0.5;
        const double dx = px - (x + hx), dy = py - (y + hy);
        const double r = dx < 0 ? (dy < 0 ? radii[0] : radii[3]) : (dy < 0 ? radii[1] : radii[2]);
        const double qx = std::abs(dx) - hx + r, qy = std::abs(dy) - hy + r;
        const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
        return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
    }
};

// Fills the shape mapped to pixels by toPixels; colourAt(u, v) gives the colour at a point of
// the shape as fractions of its box (0..1 across and down).
template <typename ColourAt> void FillShape(Frame& frame, const Affine& toPixels, const Shape& shape, ColourAt&& colourAt)
{
    if (!(shape.width > 0) || !(shape.height > 0) || !(std::abs(toPixels.Determinant()) > 1e-12))
    {
        return;
    }
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (int corner = 0; corner < 4; ++corner)
    {
        double px, py;
        toPixels.Apply(shape.x + (corner & 1 ? shape.width : 0), shape.y + (corner & 2 ? shape.height : 0), px, py);
        minX = std::min(minX, px), maxX = std::max(maxX, px);
        minY = std::min(minY, py), maxY = std::max(maxY, py);
    }
    if (!(maxX > 0) || !(maxY > 0) || !(minX < frame.width) || !(minY < frame.height))
    {
        return;
    }
    const int32 x0 = std::max(0, static_cast<int32>(std::floor(minX)));
    const int32 y0 = std::max(0, static_cast<int32>(std::floor(minY)));
    const int32 x1 = std::min(frame.width, static_cast<int32>(std::ceil(maxX)));
    const int32 y1 = std::min(frame.height, static_cast<int32>(std::ceil(maxY)));
    const Affine back = toPixels.Inverse();
    // How far from a pixel's centre its corners lie in the shape's space: beyond that distance
    // from the outline a pixel is wholly inside or wholly outside.
    const double reach = 0.5 * std::max(std::hypot(back.a + back.b, back.d + back.e), std::hypot(back.a - back.b, back.d - back.e));
    const double invW = 1.0 / shape.width, invH = 1.0 / shape.height;
    for (int32 y = y0; y < y1; ++y)
    {
        for (int32 x = x0; x < x1; ++x)
        {
            double sx, sy;
            back.Apply(x + 0.5, y + 0.5, sx, sy);
            const double distance = shape.Distance(sx, sy);
            if (distance >= reach)
            {
                continue;
            }
            float coverage = 1.0f;
            if (distance > -reach)
            {
                int inside = 0;
                for (int j = 0; j < 4; ++j)
                {
                    for (int i = 0; i < 4; ++i)
                    {
                        double tx, ty;
                        back.Apply(x + (i + 0.5) * 0.25, y + (j + 0.5) * 0.25, tx, ty);
                        inside += shape.Distance(tx, ty) < 0 ? 1 : 0;
                    }
                }
                if (inside == 0)
                {
                    continue;
                }
                coverage = static_cast<float>(inside) / 16.0f;
            }
            const double u = std::clamp((sx - shape.x) * invW, 0.0, 1.0);
            const double v = std::clamp((sy - shape.y) * invH, 0.0, 1.0);
            frame.Blend(x, y, colourAt(u, v), coverage);
        }
    }
}
} // namespace Sim::Detail
