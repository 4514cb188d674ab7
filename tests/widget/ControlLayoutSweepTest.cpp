// The edit mode's layout over every screen a player may have: the frame at the edges, the
// corners and the middle, small to large maps, screens of 1280×720 to 3840×2160 at their own
// DPI scale and at 1 and 2. Every control lies on the screen, none overlaps another or the
// panel it is not part of, and a click at each one's centre reaches that one. The layout and
// the hit test are plain functions, so the sweep runs them without the engine.
#include "widget/ControlLayout.hpp"
#include "widget/LayoutMath.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace OrvTest
{
namespace
{
using Orv::FrameLayout;
using Orv::FrameLayoutInput;
using Orv::LayoutBox;

struct Screen
{
    double width, height, scale;
};

std::vector<Screen> Screens()
{
    const std::pair<double, double> sizes[] = {{1280, 720}, {1920, 1080}, {3840, 2160}, {3440, 1440}};
    std::vector<Screen> screens;
    for (const auto& [w, h] : sizes)
    {
        // The engine's own DPI curve follows the shortest side, 1 at 1080 lines.
        for (const double scale : {std::min(w, h) / 1080.0, 1.0, 2.0})
        {
            screens.push_back({w / scale, h / scale, scale});
        }
    }
    return screens;
}

std::vector<FrameLayoutInput> Placements(const Screen& screen)
{
    std::vector<FrameLayoutInput> inputs;
    const double k = Orv::ControlScale(screen.scale);
    for (const double requested : {160.0, 180.0, 280.0, 720.0})
    {
        const double size = Orv::ClampMapSize(requested, screen.width, screen.height, k);
        const Orv::FreeSpace free = Orv::FrameFreeSpace(screen.width, screen.height, size, k);
        // The panel changes sides at 202 (times the control scale): both sides of it too.
        for (const double x : {0.0, free.width / 2, free.width, std::min(202 * k - 1, free.width), std::min(202 * k, free.width)})
        {
            for (const double y : {0.0, free.height / 2, free.height})
            {
                inputs.push_back({size, x, y, screen.width, screen.height, k, true});
            }
        }
    }
    return inputs;
}

LayoutBox OnScreen(const LayoutBox& box, const FrameLayoutInput& in)
{
    return {in.frameX + box.x, in.frameY + box.y, box.width, box.height};
}

bool Inside(const LayoutBox& box, const FrameLayoutInput& in)
{
    const LayoutBox at = OnScreen(box, in);
    return at.x >= 0 && at.y >= 0 && at.x + at.width <= in.viewportWidth && at.y + at.height <= in.viewportHeight;
}

bool Overlap(const LayoutBox& a, const LayoutBox& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool InPanel(std::size_t index)
{
    switch (index)
    {
    case Orv::kAiToggle:
    case Orv::kResourcesToggle:
    case Orv::kQuestsToggle:
    case Orv::kPoisToggle:
    case Orv::kCaptureRateField:
    case Orv::kMarkerRateField:
    case Orv::kRenderScaleField:
    case Orv::kResetButton: return true;
    default: return false;
    }
}

std::string Where(const Screen& screen, const FrameLayoutInput& in)
{
    return "screen " + std::to_string(screen.width * screen.scale) + "x" + std::to_string(screen.height * screen.scale) +
           " at " + std::to_string(screen.scale) + ", map " + std::to_string(in.mapSize) + " at (" +
           std::to_string(in.frameX) + ", " + std::to_string(in.frameY) + ")";
}

TEST(ControlLayoutSweep, EveryControlIsOnScreenApartAndReachableWhereverTheFrameIs)
{
    int checked = 0;
    for (const Screen& screen : Screens())
    {
        for (const FrameLayoutInput& in : Placements(screen))
        {
            FrameLayout layout;
            Orv::ComputeFrameLayout(in, layout);
            const std::string where = Where(screen, in);
            ASSERT_TRUE(Inside(layout.panel, in)) << where;
            for (std::size_t i = 0; i < Orv::kControlCount; ++i)
            {
                const LayoutBox& box = layout.controls[i];
                ASSERT_TRUE(layout.visible[i]) << i;
                ASSERT_TRUE(Inside(box, in)) << "control " << i << ", " << where;
                for (std::size_t j = i + 1; j < Orv::kControlCount; ++j)
                {
                    ASSERT_FALSE(Overlap(box, layout.controls[j])) << "controls " << i << " and " << j << ", " << where;
                }
                ASSERT_EQ(InPanel(i), Overlap(box, layout.panel)) << "control " << i << " and the panel, " << where;
                const double cx = box.x + box.width / 2;
                const double cy = box.y + box.height / 2;
                ASSERT_EQ(Orv::TopmostControlAt(layout, cx, cy, [](std::size_t) { return true; }), i) << where;
            }
            for (const LayoutBox& caption : layout.captions)
            {
                ASSERT_TRUE(Inside(caption, in)) << where;
            }
            ASSERT_TRUE(Inside(layout.coordinates, in)) << "coordinates, " << where;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 12 * 4 * 15);
}

// Where the rules of the frame's geometry fit, they hold exactly: the panel left of a frame at
// x 202 or more, level with the map's top, else 6 right of the map.
TEST(ControlLayoutSweep, WhereItFitsThePanelKeepsItsPlaceBesideTheFrame)
{
    const FrameLayoutInput left{280, 202, 24, 1920, 1080, 1, true};
    EXPECT_EQ(Orv::PanelPlace(left).x, -202);
    EXPECT_EQ(Orv::PanelPlace(left).y, 23);
    const FrameLayoutInput right{280, 201, 24, 1920, 1080, 1, true};
    EXPECT_EQ(Orv::PanelPlace(right).x, 286);
    EXPECT_EQ(Orv::PanelPlace(right).y, 23);
}

// A small map at the bottom edge: the panel rises until its bottom is the screen's, and where
// the handle would lie over it, it stands right of the handle instead.
TEST(ControlLayoutSweep, ThePanelRisesFromTheBottomAndClearsTheHandle)
{
    const FrameLayoutInput bottomLeft{170, 0, 1080 - 212, 1920, 1080, 1, true};
    const LayoutBox panel = Orv::PanelPlace(bottomLeft);
    EXPECT_EQ(bottomLeft.frameY + panel.y + panel.height, 1080);
    EXPECT_EQ(panel.x, 170 + 19 + 6);
    // A tall map's handle lies below the panel: the panel stays at the map's side.
    const FrameLayoutInput tall{200, 0, 0, 1920, 1080, 1, true};
    EXPECT_EQ(Orv::PanelPlace(tall).x, 206);
}

// Neither side has room (a narrow layout, the frame just short of 202): the panel lies over the
// map's left part, and a press there moves nothing but what it hits.
TEST(ControlLayoutSweep, WithNoRoomBesideTheFrameThePanelLiesOverTheMap)
{
    const FrameLayoutInput narrow{318, 200, 0, 640, 360, 1, true};
    const LayoutBox panel = Orv::PanelPlace(narrow);
    EXPECT_EQ(panel.x, 0);
    EXPECT_EQ(panel.y, 23);
}

// The edit mode's coordinates sit under the second row while that is on the screen, else along
// the picture's bottom edge; locked, under the map.
TEST(ControlLayoutSweep, TheCoordinatesStayOnTheScreenUnderTheSecondRowOrOverThePicture)
{
    FrameLayout layout;
    Orv::ComputeFrameLayout({280, 0, 0, 1920, 1080, 1, true}, layout);
    EXPECT_EQ(layout.coordinates.y, 280 + 26 + 16 + 3);
    Orv::ComputeFrameLayout({280, 0, 1080 - 322, 1920, 1080, 1, true}, layout);
    EXPECT_EQ(layout.coordinates.y, 23 + 280 - 16);
    Orv::ComputeFrameLayout({280, 0, 1080 - 322, 1920, 1080, 1, false}, layout);
    EXPECT_EQ(layout.coordinates.y, 280 + 26);
}

// Where two controls overlap, the one drawn later (the higher index) takes the click.
TEST(ControlLayoutSweep, TheControlDrawnOnTopTakesTheClick)
{
    FrameLayout layout;
    layout.visible.fill(true);
    layout.controls[Orv::kAiToggle] = {0, 0, 10, 10};
    layout.controls[Orv::kResizeHandle] = {5, 5, 10, 10};
    const auto all = [](std::size_t) { return true; };
    EXPECT_EQ(Orv::TopmostControlAt(layout, 7, 7, all), Orv::kResizeHandle);
    EXPECT_EQ(Orv::TopmostControlAt(layout, 2, 2, all), Orv::kAiToggle);
    layout.visible[Orv::kResizeHandle] = false;
    EXPECT_EQ(Orv::TopmostControlAt(layout, 7, 7, all), Orv::kAiToggle);
    EXPECT_EQ(Orv::TopmostControlAt(layout, 7, 7, [](std::size_t i) { return i != Orv::kAiToggle; }), Orv::kControlCount);
}
} // namespace
} // namespace OrvTest
