// orvanta-sim's screen: screenshots at the end and every few frames, the same scenario without
// the mod, the report's widget key, and the minimap on the screen where its layout puts it: its
// rims in their brush colours and the player's arrow in the middle of the map.
#ifdef ORVANTA_WITH_SIM
#include "SimRun.hpp"

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
#include <random>
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

class Screenshots : public ::testing::Test
{
  protected:
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    OrvSim::RunResult Play(int frames, const std::function<void(OrvSim::RunOptions&)>& adjust = {})
    {
        OrvSim::RunOptions options;
        options.library = ORVANTA_MAIN_LIBRARY;
        options.modDir = root_ / ("mod-" + std::to_string(runs_++));
        options.frames = frames;
        options.echoLog = false;
        if (adjust)
        {
            adjust(options);
        }
        OrvSim::RunResult result = OrvSim::RunSession(options);
        EXPECT_TRUE(result.ok) << result.error;
        return result;
    }

    fs::path root_ = fs::temp_directory_path() / ("orvanta-screens-" + std::to_string(std::random_device{}()));
    int runs_ = 0;
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
                              {"widgets_constructed", 0}}));
    EXPECT_TRUE(report["capture"]["map_tint"].is_null());
}

// The minimap's tree as the mod builds it, read from the engine.
struct MapWidgets
{
    UObject* outer = nullptr;
    UObject* middle = nullptr;
    UObject* inner = nullptr;
    UObject* arrow = nullptr;
};

UObject* Reference(const UStruct* layout, const void* container, const wchar_t* name)
{
    auto* property = dynamic_cast<FObjectPropertyBase*>(Sim::FindPropertyUncounted(layout, name));
    UObject* object = property != nullptr ? property->GetObjectPropertyValue(property->ContainerPtrToValuePtr<void>(container)) : nullptr;
    return object != nullptr && Sim::HoldsObject(object) ? object : nullptr;
}

UObject* Reference(UObject* object, const wchar_t* name)
{
    return object != nullptr ? Reference(object->GetClassPrivate(), object, name) : nullptr;
}

std::vector<UObject*> Children(UObject* panel)
{
    std::vector<UObject*> children;
    auto* slots = panel != nullptr ? dynamic_cast<FArrayProperty*>(Sim::FindPropertyUncounted(panel->GetClassPrivate(), L"Slots")) : nullptr;
    if (slots == nullptr)
    {
        return children;
    }
    void* value = slots->ContainerPtrToValuePtr<void>(panel);
    for (int32 i = 0; i < Sim::ArrayNum(value); ++i)
    {
        auto* element = static_cast<UObject**>(Sim::ArrayElement(slots, value, i));
        UObject* slot = element != nullptr && Sim::HoldsObject(*element) ? *element : nullptr;
        children.push_back(Reference(slot, L"Content"));
    }
    return children;
}

UObject* Only(UObject* panel)
{
    auto children = Children(panel);
    return children.empty() ? nullptr : children.front();
}

bool IsA(const UObject* object, const wchar_t* path)
{
    UClass* cls = Sim::FindClass(path);
    return object != nullptr && cls != nullptr && object->GetClassPrivate()->IsChildOf(cls);
}

std::optional<MapWidgets> FindMap()
{
    for (UObject* user : Sim::ViewportWidgets())
    {
        UObject* root = Reference(Reference(user, L"WidgetTree"), L"RootWidget");
        for (UObject* sizeBox : Children(Only(root)))
        {
            if (!IsA(sizeBox, L"/Script/UMG.SizeBox"))
            {
                continue;
            }
            MapWidgets map;
            map.outer = Only(sizeBox);
            map.middle = Only(map.outer);
            map.inner = Only(map.middle);
            auto layers = Children(Only(map.inner));
            if (layers.size() >= 3)
            {
                map.arrow = Only(layers[2]);
            }
            return map;
        }
    }
    return std::nullopt;
}

struct Colour
{
    double r = 0, g = 0, b = 0, a = 0;
};

Colour LinearColour(const UStruct* layout, const void* container, const wchar_t* name)
{
    auto* property = dynamic_cast<FStructProperty*>(Sim::FindPropertyUncounted(layout, name));
    if (property == nullptr)
    {
        return {1, 1, 1, 1};
    }
    const auto* c = property->ContainerPtrToValuePtr<float>(container);
    return {c[0], c[1], c[2], c[3]};
}

// What the widget's brush paints, in linear light: its colour times the brush's tint.
Colour BrushPaint(UObject* widget, const wchar_t* brushName, const wchar_t* colourName)
{
    auto* brush = static_cast<FStructProperty*>(Sim::FindPropertyUncounted(widget->GetClassPrivate(), brushName));
    const void* brushValue = brush->ContainerPtrToValuePtr<void>(widget);
    auto* tint = static_cast<FStructProperty*>(Sim::FindPropertyUncounted(brush->GetStruct(), L"TintColor"));
    const Colour specified = LinearColour(tint->GetStruct(), tint->ContainerPtrToValuePtr<void>(brushValue), L"SpecifiedColor");
    const Colour own = LinearColour(widget->GetClassPrivate(), widget, colourName);
    return {own.r * specified.r, own.g * specified.g, own.b * specified.b, own.a * specified.a};
}

int Srgb(double linear)
{
    const double l = std::clamp(linear, 0.0, 1.0);
    return static_cast<int>(std::lround((l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055) * 255));
}

TEST_F(Screenshots, TheMinimapsRimsAndArrowAreOnTheScreenWhereItsLayoutPutsThem)
{
    // A 4K screen at scale 2: a rim one unit wide is two pixels.
    std::optional<MapWidgets> map;
    Sim::RenderTargetImage image;
    nlohmann::json widget;
    auto result = Play(180, [&](OrvSim::RunOptions& o) {
        o.viewportWidth = 3840;
        o.viewportHeight = 2160;
        o.atPictures = [&] {
            map = FindMap();
            if (map)
            {
                Sim::RenderScreen(image);
            }
        };
    });
    if (!map)
    {
        GTEST_SKIP() << "the mod in this build puts no minimap widget in the viewport";
    }
    ASSERT_NE(map->outer, nullptr);
    ASSERT_NE(map->middle, nullptr);
    ASSERT_NE(map->inner, nullptr);
    ASSERT_NE(map->arrow, nullptr);
    widget = result.report["widget"];
    EXPECT_EQ(widget["in_viewport"], true);
    EXPECT_EQ(widget["zorder"], 50);
    EXPECT_TRUE(widget["map_size"].is_number());

    const double scale = 2;
    auto pixel = [&](double x, double y) {
        const std::size_t at = (static_cast<std::size_t>(y * scale) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x * scale)) * 4;
        return std::array<int, 3>{image.rgba[at], image.rgba[at + 1], image.rgba[at + 2]};
    };
    auto expectPaint = [&](const char* what, double x, double y, const Colour& paint) {
        if (paint.a < 0.99)
        {
            return; // blended with what lies behind: no colour of its own to look for
        }
        const auto seen = pixel(x, y);
        EXPECT_NEAR(seen[0], Srgb(paint.r), 3) << what;
        EXPECT_NEAR(seen[1], Srgb(paint.g), 3) << what;
        EXPECT_NEAR(seen[2], Srgb(paint.b), 3) << what;
    };
    // Half way across each rim, at the middle of the map's left side: on the rim of a round
    // map as of a square one.
    const Sim::LayoutRect outer = Sim::PlacementOf(map->outer).rect;
    const Sim::LayoutRect middle = Sim::PlacementOf(map->middle).rect;
    const Sim::LayoutRect inner = Sim::PlacementOf(map->inner).rect;
    const double midY = outer.y + outer.height / 2;
    ASSERT_GT(middle.x - outer.x, 0.9) << "the outer rim has width";
    expectPaint("outer rim", (outer.x + middle.x) / 2, midY, BrushPaint(map->outer, L"Background", L"BrushColor"));
    if (inner.x - middle.x > 0.9)
    {
        expectPaint("middle rim", (middle.x + inner.x) / 2, midY, BrushPaint(map->middle, L"Background", L"BrushColor"));
    }
    const Sim::WidgetPlacement arrow = Sim::PlacementOf(map->arrow);
    ASSERT_TRUE(arrow.drawn);
    EXPECT_NEAR(arrow.rect.x + arrow.rect.width / 2, inner.x + inner.width / 2, 1) << "the arrow sits in the middle of the map";
    EXPECT_NEAR(arrow.rect.y + arrow.rect.height / 2, inner.y + inner.height / 2, 1);
    expectPaint("arrow", arrow.rect.x + arrow.rect.width / 2, arrow.rect.y + arrow.rect.height / 2,
                BrushPaint(map->arrow, L"Brush", L"ColorAndOpacity"));
}
} // namespace
#endif
