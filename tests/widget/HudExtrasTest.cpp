// The map's extras as the engine shows them: north-up keeps the capture unturned while the
// arrow turns, and the markers stay where north puts them; the compass letters sit just inside
// the rim of either frame, turning with the map; the coordinates under the map in metres, at
// most ten new texts a second; the opacity button's steps, on the map, its rims and its markers.
#include "input/InputFixture.hpp"

#include <Sim/MapData.hpp>
#include <Sim/Scene.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace OrvTest
{
namespace
{
class HudExtras : public InputFixture
{
  protected:
    void Look(double yaw) const
    {
        Sim::SetControlRotation(controller_, 0, yaw, 0);
        // Long enough for the camera's smoothed turn to arrive.
        for (int frame = 0; frame < 240; ++frame)
        {
            Frame();
        }
    }
    double CaptureYaw() const
    {
        const std::vector<UObject*> components = Sim::CaptureComponents();
        EXPECT_EQ(components.size(), 1u);
        return components.empty() ? 0.0 : Sim::ActorPlacement(components.front()->GetOuterPrivate()).yaw;
    }
    double ArrowAngle() const { return RealMember(Widget().arrowImage, L"RenderTransform.Angle"); }
    static Point SentPosition(UObject* slot)
    {
        const Sim::RecordedCall call = Sim::LastCall(slot, L"SetPosition");
        return {call.Number(L"InPosition.X"), call.Number(L"InPosition.Y")};
    }
    // A letter's centre on the 272-unit picture of the default 280-unit map.
    Point LetterCentre(std::size_t letter) const
    {
        const Point corner = SentPosition(Widget().compass[letter].slot);
        return {corner.x + 8, corner.y + 8};
    }
    static double Wrapped(double degrees) { return std::remainder(degrees, 360.0); }
};

// Where a widget was put against where it belongs; the caller's line in the trace.
#define EXPECT_AT(actual, expected, within)                                                                            \
    do                                                                                                                 \
    {                                                                                                                  \
        const Point got = (actual);                                                                                    \
        const Point want = (expected);                                                                                 \
        EXPECT_NEAR(got.x, want.x, within);                                                                            \
        EXPECT_NEAR(got.y, want.y, within);                                                                            \
    } while (false)

TEST_F(HudExtras, NorthUpKeepsTheCaptureUnturnedAndTurnsTheArrowAndTheMarkersStay)
{
    Orv::Hud().NorthUp = true;
    StartHud();
    // A creature 1000 units north (+X) of the player: 34 units above the centre at 8000 wide.
    Sim::SpawnCreature(world_, {.x = 1000}, false, 2);
    for (double yaw : {0.0, 30.0, 135.0, -90.0})
    {
        SCOPED_TRACE(yaw);
        Look(yaw);
        EXPECT_EQ(CaptureYaw(), 0.0);
        EXPECT_NEAR(Wrapped(ArrowAngle() - (yaw + 270.0)), 0.0, 1e-3);
        EXPECT_AT(SentPosition(Session().markers.diamondSlots[0].slot), (Point{136 - 9, 136 - 34 - 9}), 1e-6);
        EXPECT_AT(LetterCentre(0), (Point{136, 11}), 1e-9);
    }
    // Walking east the arrow points east, whatever the view.
    Sim::SetActorVelocity(pawn_, 0, 300, 0);
    Frame();
    EXPECT_NEAR(Wrapped(ArrowAngle() - 360.0), 0.0, 1e-3);

    // Turned off in the edit mode, the map turns with the view again and the arrow points up.
    Sim::SetActorVelocity(pawn_, 0, 0, 0);
    EnterEditMode();
    Click(Orv::kNorthUpToggle);
    Look(-90.0);
    EXPECT_NEAR(Wrapped(CaptureYaw() + 90.0), 0.0, 1e-3);
    EXPECT_NEAR(Wrapped(ArrowAngle() - 270.0), 0.0, 1e-3);
    // North is now to the player's right: the creature right of the centre.
    EXPECT_AT(SentPosition(Session().markers.diamondSlots[0].slot), (Point{136 + 34 - 9, 136 - 9}), 1e-3);
    EXPECT_NE(HudFileText().find("NorthUp=0\r\n"), std::string::npos);
}

TEST_F(HudExtras, TheLettersSitInsideTheRimOfEitherFrameAndTurnWithTheMap)
{
    StartHud();
    // Unturned: N at the top, E right, S at the bottom, W left, 11 units inside the picture.
    Look(0.0);
    EXPECT_AT(LetterCentre(0), (Point{136, 11}), 1e-9);
    EXPECT_AT(LetterCentre(1), (Point{261, 136}), 1e-9);
    EXPECT_AT(LetterCentre(2), (Point{136, 261}), 1e-9);
    EXPECT_AT(LetterCentre(3), (Point{11, 136}), 1e-9);
    // Looking east, north is on the left.
    Look(90.0);
    EXPECT_AT(LetterCentre(0), (Point{11, 136}), 1e-6);
    EXPECT_AT(LetterCentre(1), (Point{136, 11}), 1e-6);
    // Half way round the disc's edge, and out into the corner on the square frame.
    Look(45.0);
    const double diagonal = 125.0 / std::sqrt(2.0);
    EXPECT_AT(LetterCentre(0), (Point{136 - diagonal, 136 - diagonal}), 1e-6);
    EnterEditMode();
    Click(Orv::kShapeToggle);
    Frame();
    EXPECT_AT(LetterCentre(0), (Point{11, 11}), 1e-6);
    EXPECT_AT(LetterCentre(2), (Point{261, 261}), 1e-6);
    // Each letter is drawn on screen, inside the map's rectangle.
    const Sim::LayoutRect map = OnScreen(Widget().mapSizeBox);
    for (const Orv::CompassLetter& letter : Widget().compass)
    {
        Sim::LayOutScreen();
        const Sim::WidgetPlacement placed = Sim::PlacementOf(letter.backdrop);
        EXPECT_TRUE(placed.drawn);
        EXPECT_GE(placed.rect.x, map.x);
        EXPECT_LE(placed.rect.Right(), map.Right());
    }
}

TEST_F(HudExtras, LettersOffInHudIniAreNeverDrawn)
{
    Orv::Hud().CompassLetters = false;
    StartHud();
    Look(30.0);
    Sim::LayOutScreen();
    for (const Orv::CompassLetter& letter : Widget().compass)
    {
        EXPECT_FALSE(Sim::PlacementOf(letter.backdrop).drawn);
        EXPECT_EQ(Sim::CallCount(letter.slot, L"SetPosition"), 1u) << "only where it was made";
    }
}

// Without the letters a turning map still shows where north is: a small red mark on the rim,
// 5 units inside the picture's edge, which a north-up map has no need of.
TEST_F(HudExtras, WithoutLettersASmallNorthMarkStaysOnTheRimOfATurningMap)
{
    Orv::Hud().CompassLetters = false;
    StartHud();
    UObject* tick = Widget().northTick.backdrop;
    const auto tickCentre = [&] {
        const Point corner = SentPosition(Widget().northTick.slot);
        return Point{corner.x + 3.5, corner.y + 3.5};
    };
    Look(0.0);
    EXPECT_AT(tickCentre(), (Point{136, 5}), 1e-9);
    Look(90.0);
    EXPECT_AT(tickCentre(), (Point{5, 136}), 1e-6);
    Sim::LayOutScreen();
    const Sim::WidgetPlacement shown = Sim::PlacementOf(tick);
    EXPECT_TRUE(shown.drawn);
    EXPECT_EQ(shown.rect.width, 7.0);
    EXPECT_EQ(ColourField(tick, L"BrushColor"), (std::array<float, 4>{0.95f, 0.22f, 0.12f, 1.0f}));
    EXPECT_EQ(*static_cast<const std::int32_t*>(MemberAt(Widget().northTick.slot, L"ZOrder").second), Orv::kCompassLayer);

    EnterEditMode();
    Click(Orv::kNorthUpToggle);
    Sim::LayOutScreen();
    EXPECT_FALSE(Sim::PlacementOf(tick).drawn) << "north is up";
    Click(Orv::kNorthUpToggle);
    Sim::LayOutScreen();
    EXPECT_TRUE(Sim::PlacementOf(tick).drawn);
}

TEST_F(HudExtras, WithTheLettersThereIsNoNorthMark)
{
    StartHud();
    Look(30.0);
    Sim::LayOutScreen();
    EXPECT_FALSE(Sim::PlacementOf(Widget().northTick.backdrop).drawn);
}

// Hidden, the coordinates cost nothing: the walking player's place is never formatted and sent.
TEST_F(HudExtras, HiddenCoordinatesAreNeverSent)
{
    StartHud();
    const std::uint64_t before = Sim::CallCount(Widget().coordinatesText, L"SetText");
    for (int step = 0; step < 30; ++step)
    {
        Sim::SetActorPlacement(pawn_, {.x = 100.0 * step, .y = -50.0 * step});
        Frame();
    }
    EXPECT_EQ(Sim::CallCount(Widget().coordinatesText, L"SetText"), before);
}

TEST_F(HudExtras, CoordinatesShowMetresUnderTheMapAtMostTenTimesASecond)
{
    StartHud();
    Sim::LayOutScreen();
    EXPECT_FALSE(Sim::PlacementOf(Widget().coordinatesBackdrop).drawn) << "off by default";

    Sim::SetActorPlacement(pawn_, {.x = 12345, .y = -678});
    EnterEditMode();
    Click(Orv::kCoordinatesToggle);
    EXPECT_EQ(TextOf(Widget().coordinatesText), L"X 123.5 m  Y -6.8 m");
    Sim::LayOutScreen();
    const Sim::WidgetPlacement shown = Sim::PlacementOf(Widget().coordinatesBackdrop);
    const Sim::LayoutRect map = OnScreen(Widget().mapSizeBox);
    EXPECT_TRUE(shown.drawn);
    EXPECT_GE(shown.rect.y, map.Bottom()) << "under the map";
    Click(Orv::kEditButton);

    // A player walking for a second: a new place every frame, ten texts at most.
    const std::uint64_t before = Sim::CallCount(Widget().coordinatesText, L"SetText");
    for (int frame = 0; frame < 60; ++frame)
    {
        Sim::SetActorPlacement(pawn_, {.x = 20000.0 + 50.0 * frame, .y = -4});
        Frame();
    }
    const std::uint64_t texts = Sim::CallCount(Widget().coordinatesText, L"SetText") - before;
    EXPECT_GE(texts, 9u);
    EXPECT_LE(texts, 10u);
    // A rounding to nothing reads 0.0, not -0.0.
    EXPECT_EQ(TextOf(Widget().coordinatesText).substr(TextOf(Widget().coordinatesText).find(L"Y")), L"Y 0.0 m");
    // Standing still, nothing is sent at all.
    for (int frame = 0; frame < 30; ++frame)
    {
        Frame();
    }
    const std::uint64_t still = Sim::CallCount(Widget().coordinatesText, L"SetText");
    for (int frame = 0; frame < 60; ++frame)
    {
        Frame();
    }
    EXPECT_EQ(Sim::CallCount(Widget().coordinatesText, L"SetText"), still);
    EXPECT_NE(HudFileText().find("Coordinates=1\r\n"), std::string::npos);
}

// The picture at the opacity, over the world, and what a player reads on it (markers, the arrow,
// the letters) solid: the engine paints each widget at its own opacity, so the rims, filled
// boxes beneath the picture, fade out whole below 100 % and let the world through.
TEST_F(HudExtras, TheOpacityButtonStepsTheMapSeeThroughOnScreen)
{
    Orv::Hud().CompassLetters = false;
    StartHud();
    Frame();
    const Orv::WidgetState& w = Widget();
    EXPECT_FLOAT_EQ(ValueField<float>(w.mapImage, L"RenderOpacity"), 1.0f);
    Sim::RenderTargetImage opaque;
    Sim::RenderScreen(opaque);

    EnterEditMode();
    const float steps[] = {0.8f, 0.6f, 0.4f};
    const wchar_t* captions[] = {L"80%", L"60%", L"40%"};
    for (std::size_t step = 0; step < 3; ++step)
    {
        Click(Orv::kOpacityButton);
        EXPECT_FLOAT_EQ(ValueField<float>(w.mapImage, L"RenderOpacity"), steps[step]);
        EXPECT_EQ(Caption(Orv::kOpacityButton), captions[step]);
    }
    for (UObject* rim : {w.outerRim, w.middleRim, w.innerRim})
    {
        EXPECT_EQ(ColourField(rim, L"BrushColor")[3], 0.0f);
    }
    EXPECT_FLOAT_EQ(ValueField<float>(w.mapOverlay, L"RenderOpacity"), 1.0f);
    EXPECT_FLOAT_EQ(ValueField<float>(w.markerCanvas, L"RenderOpacity"), 1.0f);
    Click(Orv::kEditButton);
    Frame();
    Sim::RenderTargetImage faint;
    Sim::RenderScreen(faint);
    const Sim::LayoutRect rect = OnScreen(w.mapSizeBox);
    CtrlM();
    Sim::RenderTargetImage behind;
    Sim::RenderScreen(behind);
    // How much of the opaque map's pixel the faint one keeps over the world behind, in linear
    // light as the screen blends; NaN where the map and the world look alike.
    const auto kept = [&](double fx, double fy, int channel) {
        const auto x = static_cast<std::size_t>(rect.x + rect.width * fx);
        const auto y = static_cast<std::size_t>(rect.y + rect.height * fy);
        const auto linear = [&](const Sim::RenderTargetImage& image) {
            const double level = image.rgba[(y * static_cast<std::size_t>(image.width) + x) * 4 + static_cast<std::size_t>(channel)] / 255.0;
            return level <= 0.04045 ? level / 12.92 : std::pow((level + 0.055) / 1.055, 2.4);
        };
        const double o = linear(opaque), f = linear(faint), b = linear(behind);
        return std::abs(o - b) > 0.05 ? (f - b) / (o - b) : std::nan("");
    };
    std::vector<double> inside;
    for (double fx = 0.2; fx < 0.85; fx += 0.05)
    {
        for (double fy = 0.2; fy < 0.85; fy += 0.05)
        {
            for (int channel = 0; channel < 3; ++channel)
            {
                const double share = kept(fx, fy, channel);
                if (!std::isnan(share))
                {
                    inside.push_back(share);
                }
            }
        }
    }
    ASSERT_GE(inside.size(), 50u);
    std::sort(inside.begin(), inside.end());
    EXPECT_NEAR(inside[inside.size() / 2], 0.4, 0.02) << "the picture at 40 %, the world through the rest";
    // The arrow in the middle is as it was at full opacity.
    for (int channel = 0; channel < 3; ++channel)
    {
        const double arrow = kept(0.5, 0.5, channel);
        if (!std::isnan(arrow))
        {
            EXPECT_NEAR(arrow, 1.0, 0.02) << channel;
        }
    }
    // The outer rim's bronze, left of the middle, is gone.
    for (int channel = 0; channel < 3; ++channel)
    {
        const double rim = kept(0.002, 0.5, channel);
        if (!std::isnan(rim))
        {
            EXPECT_NEAR(rim, 0.0, 0.02) << channel;
        }
    }

    // From 40 % the button goes back to full, with the rims.
    CtrlM();
    EnterEditMode();
    Click(Orv::kOpacityButton);
    EXPECT_FLOAT_EQ(ValueField<float>(Widget().mapImage, L"RenderOpacity"), 1.0f);
    EXPECT_EQ(ColourField(Widget().outerRim, L"BrushColor"), Look::kBronze);
    EXPECT_EQ(ColourField(Widget().middleRim, L"BrushColor"), Look::kRimDarkFill);
    EXPECT_EQ(ColourField(Widget().innerRim, L"BrushColor"), Look::kRimLightBronze);
    EXPECT_EQ(Caption(Orv::kOpacityButton), L"100%");
}
} // namespace
} // namespace OrvTest
