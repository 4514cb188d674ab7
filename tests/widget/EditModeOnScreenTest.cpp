// The edit mode as the screen lays it out on the screens players have: every control and the
// panel inside the viewport, every text inside its box as the engine measures it and at least
// 9 pixels tall (its font's pixel size on screen), the coordinates on screen, and controls no
// smaller than at 1080 lines on a smaller screen.
#include "widget/WidgetFixture.hpp"

#include <Sim/Screen.hpp>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace OrvTest
{
namespace
{
struct ScreenCase
{
    int width, height;
    std::optional<float> scale; // none: the engine's own, by the shortest side
    double positionX, positionY;
    float size;
};

std::ostream& operator<<(std::ostream& out, const ScreenCase& c)
{
    return out << c.width << "x" << c.height << " at " << (c.scale ? std::to_string(*c.scale) : "own scale") << ", map "
               << c.size << " at (" << c.positionX << ", " << c.positionY << ")";
}

class EditModeOnScreen : public WidgetFixture, public ::testing::WithParamInterface<ScreenCase>
{
  protected:
    void SetUp() override
    {
        WidgetFixture::SetUp();
        const ScreenCase& c = GetParam();
        Orv::Settings().PositionX = c.positionX;
        Orv::Settings().PositionY = c.positionY;
        Orv::Settings().Size = c.size;
        Orv::Hud().Coordinates = true;
        StartHud(c.width, c.height, c.scale);
        Edit().editMode = true;
        widgetMod_->LayoutControls();
        Sim::LayOutScreen();
        scale_ = widgetMod_->ViewportScale();
    }

    // The placement in screen pixels, which must lie inside the viewport.
    void ExpectOnScreen(UObject* widget, const std::string& what) const
    {
        const Sim::WidgetPlacement at = Sim::PlacementOf(widget);
        ASSERT_TRUE(at.drawn) << what;
        const double right = (at.rect.x + at.rect.width) * scale_;
        const double bottom = (at.rect.y + at.rect.height) * scale_;
        EXPECT_GE(at.rect.x, 0) << what;
        EXPECT_GE(at.rect.y, 0) << what;
        EXPECT_LE(right, GetParam().width + 0.01) << what;
        EXPECT_LE(bottom, GetParam().height + 0.01) << what;
    }

    // The text as the engine measures it fits the box it is laid out in, at 9 pixels or more.
    void ExpectReadable(UObject* text, const Sim::WidgetPlacement& box, const std::string& what) const
    {
        const Sim::WidgetPlacement at = Sim::PlacementOf(text);
        ASSERT_TRUE(at.drawn) << what;
        EXPECT_GE(RealMember(text, L"Font.Size") * 4.0 / 3.0 * scale_, 9.0) << what;
        // A build without the fonts measures a text by a rough width per character only.
        if (Sim::ScreenDrawsText())
        {
            EXPECT_LE(at.desiredWidth, box.rect.width + 1e-9) << what;
            EXPECT_LE(at.desiredHeight, box.rect.height + 1e-9) << what;
        }
    }

    double scale_ = 1.0;
};

TEST_P(EditModeOnScreen, EveryControlAndTextIsOnScreenFitsItsBoxAndCanBeRead)
{
    const Orv::WidgetState& w = Widget();
    ExpectOnScreen(w.perfPanel, "the panel");
    for (std::size_t i = 0; i < Orv::kControlCount; ++i)
    {
        const Orv::ControlWidget& control = w.controls[i];
        ExpectOnScreen(control.frame, "control " + std::to_string(i));
        if (control.text != nullptr)
        {
            ExpectReadable(control.text, Sim::PlacementOf(control.fill), "control " + std::to_string(i));
        }
    }
    for (std::size_t i = 0; i < Orv::kPerfTextCount; ++i)
    {
        ExpectOnScreen(w.perfTexts[i].text, "caption " + std::to_string(i));
        ExpectReadable(w.perfTexts[i].text, Sim::PlacementOf(w.perfTexts[i].text), "caption " + std::to_string(i));
    }
    ExpectOnScreen(w.coordinatesBackdrop, "the coordinates");
    EXPECT_GE(RealMember(w.coordinatesText, L"Font.Size") * 4.0 / 3.0 * scale_, 9.0);
    for (const Orv::CompassLetter& letter : w.compass)
    {
        ExpectReadable(letter.text, Sim::PlacementOf(letter.backdrop), "a compass letter");
    }
    // A target no smaller than at 1080 lines: EDIT is 38 × 20 pixels there.
    const Sim::WidgetPlacement edit = Sim::PlacementOf(w.controls[Orv::kEditButton].frame);
    EXPECT_GE(edit.rect.width * scale_, 38.0 - 1e-9);
    EXPECT_GE(edit.rect.height * scale_, 20.0 - 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Screens, EditModeOnScreen,
                         ::testing::Values(ScreenCase{1280, 720, std::nullopt, 0, 1, 160}, ScreenCase{1280, 720, std::nullopt, 1, 0, 720},
                                           ScreenCase{1280, 720, 1.0f, 0, 1, 160}, ScreenCase{1280, 720, 2.0f, 0.02, 0, 720},
                                           ScreenCase{1280, 720, 2.0f, 1, 1, 160}, ScreenCase{1920, 1080, 1.0f, 0, 1, 170},
                                           ScreenCase{1920, 1080, 1.0f, 0.5, 0.5, 280}, ScreenCase{3840, 2160, std::nullopt, 1, 1, 160},
                                           ScreenCase{3440, 1440, std::nullopt, 0, 0, 720}));
} // namespace
} // namespace OrvTest
