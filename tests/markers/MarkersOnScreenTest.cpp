// The markers' extras in the screen's pixels, each on and off: the game's waypoint beyond the
// edge on the rim with its distance beside it; an icon near the rim drawn only when its body
// may reach it; the north mark of a turning map without letters; a boss underfoot dimmed,
// solid or gone.
#include "widget/WidgetFixture.hpp"

#include <Sim/MapData.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Screen.hpp>

#include <gtest/gtest.h>

#include <cmath>

namespace OrvTest
{
namespace
{
struct Pixel
{
    int r = 0, g = 0, b = 0;
};

class MarkersOnScreen : public WidgetFixture
{
  protected:
    // North up and no letters: the world's +Y is right on the map, and nothing covers its rim.
    void StartNorthUp()
    {
        Orv::Hud().NorthUp = true;
        Orv::Hud().CompassLetters = false;
        StartHud();
        pawnAt_ = Sim::ActorPlacement(pawn_);
    }

    void Render()
    {
        Sim::RenderScreen(screen_);
        Sim::LayOutScreen();
    }

    Pixel At(double x, double y) const
    {
        const auto index = (static_cast<std::size_t>(y) * static_cast<std::size_t>(screen_.width) + static_cast<std::size_t>(x)) * 4;
        return {screen_.rgba[index], screen_.rgba[index + 1], screen_.rgba[index + 2]};
    }

    // Pixels inside the rect (screen pixels at scale 1) that pass the test.
    template <typename Test> int Count(const Sim::LayoutRect& rect, Test test) const
    {
        int count = 0;
        for (double y = std::ceil(rect.y); y < rect.Bottom(); ++y)
        {
            for (double x = std::ceil(rect.x); x < rect.Right(); ++x)
            {
                count += test(At(x, y)) ? 1 : 0;
            }
        }
        return count;
    }

    const Orv::IconMarkerSlot* ShownIcon(std::uint8_t category) const
    {
        for (const Orv::IconMarkerSlot& slot : Session().markers.iconSlots)
        {
            if (slot.category == category && Sim::PlacementOf(slot.root).drawn)
            {
                return &slot;
            }
        }
        return nullptr;
    }

    Sim::RenderTargetImage screen_;
    Sim::Placement pawnAt_;
};

// The pin's yellow (1, 0.85, 0.2) at 60 % over the map's greens and browns, never in them.
bool Yellowish(Pixel p) { return p.r > 150 && p.g > 120 && p.b < 120 && p.r - p.b > 70; }
// The caption colour of the distance's text.
bool Light(Pixel p) { return p.r > 190 && p.g > 160 && p.b > 100; }

TEST_F(MarkersOnScreen, TheWaypointBeyondTheEdgeIsOnTheRimWithItsDistanceAndGoneWithoutThePins)
{
    StartNorthUp();
    Sim::PlaceWaypoint(world_, {pawnAt_.x, pawnAt_.y + 60000, pawnAt_.z});
    FramesFor(Orv::kSecond + 2 * kFrameNs);
    Render();
    const Sim::LayoutRect map = Sim::PlacementOf(Widget().mapImage).rect;
    const Orv::IconMarkerSlot* pin = ShownIcon(Sim::MapIconType::Waypoint);
    ASSERT_NE(pin, nullptr);
    const Sim::LayoutRect at = Sim::PlacementOf(pin->root).rect;
    // On the right rim, level with the middle: its body (the pin's size 24 is 0.825 of the
    // slot, at three quarters on the rim, and its backdrop 12 % more) just inside the picture.
    const double reach = 10.0 * 0.825 * 0.75 * 1.12;
    EXPECT_LE(at.x + at.width / 2 + reach, map.Right());
    EXPECT_GE(at.x + at.width / 2 + reach, map.Right() - 3.0);
    EXPECT_NEAR(at.y + at.height / 2, map.y + map.height / 2, 1.5);
    const Sim::LayoutRect middle{at.x + at.width * 0.3, at.y + at.height * 0.3, at.width * 0.4, at.height * 0.4};
    EXPECT_GE(Count(middle, Yellowish), 6);

    // The distance left of the pin: a dark box with light text, inside the picture.
    const Orv::DistanceLabel& distance = Session().markers.waypointDistance;
    const Sim::WidgetPlacement label = Sim::PlacementOf(distance.backdrop);
    ASSERT_TRUE(label.drawn);
    EXPECT_EQ(TextOf(distance.text), L"600 m");
    EXPECT_LT(label.rect.Right(), at.x + at.width / 2);
    EXPECT_GT(label.rect.x, map.x + map.width / 2);
    EXPECT_GT(Count(label.rect, [](Pixel p) { return p.r < 70 && p.g < 70 && p.b < 70; }), label.rect.width * label.rect.height / 3);
    if (Sim::ScreenDrawsText())
    {
        EXPECT_GE(Count(label.rect, Light), 10);
    }

    // Without the pins, neither shows.
    Orv::Hud().EdgePins = false;
    Frames(2);
    Render();
    EXPECT_EQ(ShownIcon(Sim::MapIconType::Waypoint), nullptr);
    EXPECT_FALSE(Sim::PlacementOf(distance.backdrop).drawn);
    EXPECT_EQ(Count(middle, Yellowish), 0);
    EXPECT_EQ(Count(label.rect, Light), 0);
}

TEST_F(MarkersOnScreen, AnIconWhoseBodyFitsIsDrawnUpToTheRimOnlyWithMarkersToRim)
{
    StartNorthUp();
    Render();
    const Sim::LayoutRect map = Sim::PlacementOf(Widget().mapImage).rect;
    const std::vector<UObject*> captures = Sim::CaptureComponents();
    ASSERT_EQ(captures.size(), 1u);
    const double perWorldUnit = map.width / RealMember(captures.front(), L"OrthoWidth");
    // Its centre 15 units inside the edge: nearer than the fixed margin of 20, and a
    // lodestone's body (size 20: 10 × 0.6875 × 1.1 × 1.12 ≈ 8.5) fits.
    Sim::AddLodestone(world_, {pawnAt_.x, pawnAt_.y + (map.width / 2 - 15) / perWorldUnit, pawnAt_.z});
    FramesFor(Orv::kSecond + 2 * kFrameNs);
    Render();
    const Orv::IconMarkerSlot* lodestone = ShownIcon(Sim::MapIconType::Lodestone);
    ASSERT_NE(lodestone, nullptr);
    const Sim::LayoutRect at = Sim::PlacementOf(lodestone->root).rect;
    EXPECT_NEAR(at.x + at.width / 2, map.Right() - 15, 2.0);
    const Sim::RenderTargetImage drawn = screen_;

    Orv::Hud().MarkersToRim = false;
    Frames(2);
    Render();
    EXPECT_EQ(ShownIcon(Sim::MapIconType::Lodestone), nullptr);
    int changed = 0;
    for (double y = std::ceil(at.y); y < at.Bottom(); ++y)
    {
        for (double x = std::ceil(at.x); x < at.Right(); ++x)
        {
            const auto index = (static_cast<std::size_t>(y) * static_cast<std::size_t>(screen_.width) + static_cast<std::size_t>(x)) * 4;
            changed += std::abs(drawn.rgba[index] - screen_.rgba[index]) + std::abs(drawn.rgba[index + 2] - screen_.rgba[index + 2]) > 60;
        }
    }
    EXPECT_GE(changed, 30) << "the icon's pixels are gone";
}

// The north mark's red (0.95, 0.22, 0.12 in linear light; 250, 130, 97 on screen), nowhere in
// the map's colours.
bool Red(Pixel p) { return p.r > 220 && p.g < 160 && p.b < 130 && p.r - p.g > 80; }

TEST_F(MarkersOnScreen, WithoutLettersTheNorthMarkIsOnTheRimOfATurningMap)
{
    Orv::Hud().CompassLetters = false;
    StartHud();
    Sim::SetControlRotation(controller_, 0, 90.0, 0);
    FramesFor(4 * Orv::kSecond);
    Render();
    const Sim::LayoutRect map = Sim::PlacementOf(Widget().mapImage).rect;
    // Looking east, north is to the left: the mark on the left rim, level with the middle.
    EXPECT_GE(Count({map.x, map.y + map.height / 2 - 8, 12, 16}, Red), 10);
    EXPECT_EQ(Count({map.x + map.width / 2 - 8, map.y, 16, 12}, Red), 0);
}

TEST_F(MarkersOnScreen, ANorthUpMapNeedsNoNorthMark)
{
    Orv::Hud().CompassLetters = false;
    StartNorthUp();
    Sim::SetControlRotation(controller_, 0, 90.0, 0);
    FramesFor(4 * Orv::kSecond);
    Render();
    const Sim::LayoutRect map = Sim::PlacementOf(Widget().mapImage).rect;
    EXPECT_EQ(Count({map.x + map.width / 2 - 8, map.y, 16, 12}, Red), 0);
    EXPECT_EQ(Count({map.x, map.y + map.height / 2 - 8, 12, 16}, Red), 0);
}

TEST_F(MarkersOnScreen, ABossUnderfootIsDimmedShownSolidOrLeftOut)
{
    StartNorthUp();
    Sim::SpawnCreature(world_, {.x = pawnAt_.x, .y = pawnAt_.y + 1500, .z = pawnAt_.z - 2500}, true, 2);
    FramesFor(2 * Orv::kSecond);
    const Orv::DiamondMarkerSlot& slot = Session().markers.diamondSlots[0];
    // The fill's middle, and how far it lies from the boss's purple (0.88, 0.38, 1).
    const auto offPurple = [&] {
        Render();
        const Sim::WidgetPlacement fill = Sim::PlacementOf(slot.fill);
        if (!fill.drawn)
        {
            return -1.0;
        }
        const Pixel p = At(fill.rect.x + fill.rect.width / 2, fill.rect.y + fill.rect.height / 2);
        return std::hypot(p.r - 241, p.g - 166, p.b - 255);
    };
    const double dim = offPurple();
    ASSERT_GE(dim, 0.0) << "the boss has its diamond";
    EXPECT_GT(dim, 40.0) << "half its opacity: the map shows through";
    Orv::Hud().OtherFloors = Orv::OtherFloorsMode::Show;
    Frames(2);
    EXPECT_LT(offPurple(), 6.0) << "solid";
    Orv::Hud().OtherFloors = Orv::OtherFloorsMode::Hide;
    Frames(2);
    EXPECT_EQ(offPurple(), -1.0) << "not drawn";
}
} // namespace
} // namespace OrvTest
