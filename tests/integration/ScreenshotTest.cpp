// orvanta-sim's screen: screenshots at the end and every few frames, the same scenario without
// the mod, the report's widget key, and the minimap on the screen where its layout puts it: its
// rims in their brush colours and the player's arrow in the middle of the map.
#ifdef ORVANTA_WITH_SIM
#include "SimRun.hpp"
#include "support/SimSessions.hpp"
#include "widget/Palette.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using namespace RC::Unreal;

bool IsPng(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    char signature[8] = {};
    in.read(signature, sizeof(signature));
    return in && std::string(signature + 1, 3) == "PNG";
}

class Screenshots : public OrvTest::SimSessions
{
  protected:
    OrvSim::RunResult Play(int frames, const std::function<void(OrvSim::RunOptions&)>& adjust = {})
    {
        return Run(frames, adjust);
    }
};

TEST_F(Screenshots, ARunWritesItsScreenAtTheEndAndEveryFewFramesIntoAFolderItMakes)
{
#ifdef _WIN32
    GTEST_SKIP() << "the Windows build writes no pictures";
#endif
    const fs::path shot = root_ / "end.png";
    const fs::path folder = root_ / "frames" / "walk";
    auto result = Play(130, [&](OrvSim::RunOptions& o) {
        o.screenshot = shot;
        o.screenshotDir = folder;
        o.screenshotEvery = 60;
    });
    EXPECT_TRUE(result.notes.empty()) << result.notes.front();
    EXPECT_TRUE(IsPng(shot));
    EXPECT_TRUE(IsPng(folder / "frame-000060.png"));
    EXPECT_TRUE(IsPng(folder / "frame-000120.png"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(Screenshots, WithoutTheModTheScenarioPlaysAndTheReportShowsNoWidget)
{
    bool loaded = true;
    auto result = Play(120, [&](OrvSim::RunOptions& o) {
        o.noMod = true;
        o.atPictures = [&] { loaded = !Sim::ViewportWidgets().empty() || Sim::ScriptHookCount() > 0 || Sim::TickCallbackCount() > 0; };
    });
    EXPECT_FALSE(loaded) << "nothing hooked, ticked or shown";
    const auto& report = result.report;
    EXPECT_EQ(report["mod_loaded"], false);
    EXPECT_EQ(report["sessions"], 0);
    EXPECT_TRUE(report["log"].empty());
    EXPECT_EQ(report["widget"],
              (nlohmann::json{{"in_viewport", false}, {"zorder", nullptr}, {"hud", nullptr}, {"map_size", nullptr}, {"circular", false},
                              {"widgets_constructed", 0}, {"controls", nlohmann::json::array()}}));
    EXPECT_TRUE(report["capture"]["map_tint"].is_null());
}

// Linear colour over linear colour, as the screen blends before it writes sRGB.
Orv::LinearColor Over(const Orv::LinearColor& top, const Orv::LinearColor& below)
{
    auto mix = [&](float t, float b) { return t * top.a + b * (1.0f - top.a); };
    return {mix(top.r, below.r), mix(top.g, below.g), mix(top.b, below.b), 1.0f};
}

int Srgb(double linear)
{
    const double l = std::clamp(linear, 0.0, 1.0);
    return static_cast<int>(std::lround((l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055) * 255));
}

std::array<int, 3> Srgb(const Orv::LinearColor& c) { return {Srgb(c.r), Srgb(c.g), Srgb(c.b)}; }

TEST_F(Screenshots, TheMinimapsRimsAndArrowAreOnTheScreenWhereItsLayoutPutsThem)
{
    // A 4K screen at scale 2 has the layout of a full-HD one: the frame at (1597, 24), the 280
    // unit map 23 units below that, three one-unit rims (two pixels each) and the arrow's
    // 30-unit box in the map's middle.
    Sim::RenderTargetImage image;
    auto result = Play(180, [&](OrvSim::RunOptions& o) {
        o.viewportWidth = 3840;
        o.viewportHeight = 2160;
        o.atPictures = [&] { Sim::RenderScreen(image); };
    });
    const auto& widget = result.report["widget"];
    ASSERT_EQ(widget["in_viewport"], true);
    EXPECT_EQ(widget["zorder"], 50);
    EXPECT_EQ(widget["hud"], (nlohmann::json{1597.0, 24.0, 299.0, 322.0}));
    EXPECT_EQ(widget["map_size"], 280.0);
    EXPECT_EQ(widget["circular"], true);
    // The frame, its markers and controls, and the extras: four letters on their discs and the
    // coordinates on theirs.
    EXPECT_EQ(widget["widgets_constructed"], 498);
    ASSERT_EQ(image.width, 3840);

    auto pixel = [&](double x, double y) {
        const auto at = (static_cast<std::size_t>(y * 2) * 3840 + static_cast<std::size_t>(x * 2)) * 4;
        return std::array<int, 3>{image.rgba[at], image.rgba[at + 1], image.rgba[at + 2]};
    };
    auto expectNear = [&](const char* what, double x, double y, const std::array<int, 3>& wanted) {
        const auto seen = pixel(x, y);
        for (int c = 0; c < 3; ++c)
        {
            EXPECT_NEAR(seen[c], wanted[c], 3) << what << " channel " << c;
        }
    };
    namespace Palette = Orv::Palette;
    const double left = 1597.0;
    const double top = 24.0 + 23.0;
    const double middleY = top + 140.0;
    // Each rim is drawn over the one outside it.
    const Orv::LinearColor middle = Over(Palette::kRimDarkFill, Palette::kBronze);
    const Orv::LinearColor inner = Over(Palette::kRimLightBronze, middle);
    expectNear("outer rim", left + 0.5, middleY, Srgb(Palette::kBronze));
    expectNear("middle rim", left + 1.5, middleY, Srgb(middle));
    expectNear("inner rim", left + 2.5, middleY, Srgb(inner));
    // A round frame leaves its square's corners to the world behind it, and its top to the rim.
    EXPECT_NE(pixel(left + 2, top + 2), Srgb(Palette::kBronze)) << "the frame's corner is cut away";
    expectNear("top of the outer rim", left + 140, top + 0.5, Srgb(Palette::kBronze));
    // The player's arrow, in the game's white, turned to point up the map: its tip above the
    // centre, the notch of its tail below, nothing of it beside the centre.
    const std::array<int, 3> white{255, 255, 255};
    expectNear("arrow's middle", left + 140, middleY, white);
    expectNear("arrow's tip", left + 140, middleY - 8, white);
    EXPECT_NE(pixel(left + 140, middleY + 8), white) << "the notch in the arrow's tail";
    EXPECT_NE(pixel(left + 140 - 10, middleY), white) << "left of the arrow";
    EXPECT_NE(pixel(left + 140 + 10, middleY), white) << "right of the arrow";
    // The locked frame shows its edit button at the map's top right, bronze-edged.
    expectNear("edit button's edge", left + 280 - 38 + 0.5, 24.0 + 10.0, Srgb(Palette::kBronze));
}
} // namespace
#endif
