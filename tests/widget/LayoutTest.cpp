// Where the frame, the controls and the performance panel go for a viewport: the map size and
// position clamps, the default top-right place at any DPI scale, the button row and the panel
// that changes sides, the viewport measured and re-measured, and the value fields' texts.
#include "widget/WidgetFixture.hpp"

#include "widget/LayoutMath.hpp"

#include <Sim/Game.hpp>
#include <Sim/Screen.hpp>

#include <gtest/gtest.h>

#include <cstring>

namespace OrvTest
{
namespace
{
using Orv::ClampMapSize;
using Orv::FrameFreeSpace;

TEST(LayoutMath, TheMapSizeIsClampedToTheViewportButNeverBelow160)
{
    EXPECT_EQ(ClampMapSize(1000, 1920, 1080, 1), 720);
    EXPECT_EQ(ClampMapSize(1000, 600, 400, 1), 358);  // 400 − 42
    EXPECT_EQ(ClampMapSize(1000, 300, 1080, 1), 281); // 300 − 19
    EXPECT_EQ(ClampMapSize(100, 1920, 1080, 1), 160);
    EXPECT_EQ(ClampMapSize(300, 100, 100, 1), 160);
    EXPECT_EQ(ClampMapSize(719, 1920, 1080, 1), 719);
    // Before any measurement only the absolute limits hold.
    EXPECT_EQ(ClampMapSize(1000, 0, 1080, 1), 720);
    EXPECT_EQ(ClampMapSize(500, 1920, 0, 1), 500);
}

// Below a DPI scale of 1 the controls keep their size at 1: the footprint and the smallest map
// grow by the control scale, the largest map stays 720.
TEST(LayoutMath, AControlScaleGrowsTheFootprintAndTheSmallestMap)
{
    EXPECT_EQ(Orv::ControlScale(2.0 / 3.0), 1.5);
    EXPECT_EQ(Orv::ControlScale(1.0), 1.0);
    EXPECT_EQ(Orv::ControlScale(2.0), 1.0);
    EXPECT_EQ(Orv::ControlScale(0.0), 1.0);
    EXPECT_EQ(ClampMapSize(100, 1920, 1080, 1.5), 240);
    EXPECT_EQ(ClampMapSize(1000, 1920, 1080, 1.5), 720);
    EXPECT_EQ(ClampMapSize(1000, 1920, 400, 1.5), 337); // 400 − 63
    EXPECT_EQ(ClampMapSize(1000, 300, 1080, 1.5), 271.5); // 300 − 28.5
    const Orv::FreeSpace free = FrameFreeSpace(1920, 1080, 280, 1.5);
    EXPECT_EQ(free.width, 1611.5);
    EXPECT_EQ(free.height, 737);
}

TEST(LayoutMath, StoredPositionsAreFractionsOfTheFreeSpaceAndNegativeMeansTopRight)
{
    const Orv::FreeSpace free = FrameFreeSpace(1920, 1080, 280, 1);
    EXPECT_EQ(free.width, 1621);
    EXPECT_EQ(free.height, 758);
    EXPECT_EQ(FrameFreeSpace(200, 100, 280, 1).width, 0);
    EXPECT_EQ(FrameFreeSpace(200, 100, 280, 1).height, 0);
    EXPECT_EQ(Orv::StoredPositionX(-1, 1621), 1597);
    EXPECT_EQ(Orv::StoredPositionY(-1, 758), 24);
    EXPECT_EQ(Orv::StoredPositionX(-1, 10), 0);
    EXPECT_EQ(Orv::StoredPositionY(-1, 10), 10);
    EXPECT_EQ(Orv::StoredPositionX(0.5, 1621), 810.5);
    EXPECT_EQ(Orv::StoredPositionY(0, 758), 0);
    EXPECT_EQ(Orv::StoredPositionY(1, 758), 758);
}

class FrameLayout : public WidgetFixture
{
  protected:
    // Where the screen's last layout drew the widget; drawn it must be.
    static Rect DrawnRect(UObject* widget)
    {
        const Sim::WidgetPlacement placed = Sim::PlacementOf(widget);
        EXPECT_TRUE(placed.drawn);
        return Rect{placed.rect.x, placed.rect.y, placed.rect.width, placed.rect.height};
    }
};

TEST_F(FrameLayout, TheDefaultFrameSitsTopRightOnAFullHdViewport)
{
    StartHud(1920, 1080);
    EXPECT_EQ(Hud(), (Rect{1597, 24, 299, 322}));
    EXPECT_EQ(SlotRect(Widget().mapSlot), (Rect{0, 23, 280, 280}));
    EXPECT_EQ(widgetMod_->WorkingSize(), 280);
    EXPECT_EQ(Layout().viewportWidth, 1920);
    EXPECT_EQ(Layout().viewportHeight, 1080);
    // Locked: only the edit button shows, at the map's right edge.
    EXPECT_EQ(ControlRect(Orv::kEditButton), (Rect{242, 0, 38, 20}));
    EXPECT_EQ(VisibilityOf(Widget().controls[Orv::kEditButton].frame), Orv::kVisibilityShown);
    for (std::size_t index = 1; index < Orv::kControlCount; ++index)
    {
        EXPECT_EQ(VisibilityOf(Widget().controls[index].frame), Orv::kVisibilityCollapsed) << index;
    }
    EXPECT_EQ(SlotRect(Widget().controls[Orv::kResizeHandle].slot), (Rect{283, 306, 16, 16}));
}

TEST_F(FrameLayout, AViewportAtTwiceTheScaleHasTheSameLayout)
{
    StartHud(3840, 2160, std::nullopt);
    EXPECT_EQ(widgetMod_->ViewportScale(), 2.0);
    EXPECT_EQ(Hud(), (Rect{1597, 24, 299, 322}));
    EXPECT_EQ(Layout().viewportWidth, 1920);
    EXPECT_EQ(Layout().viewportHeight, 1080);
}

TEST_F(FrameLayout, StoredFractionsPlaceTheFrameAtTheEdges)
{
    Orv::Settings().PositionX = 0.0;
    Orv::Settings().PositionY = 1.0;
    StartHud();
    // Its bottom, handle included, on the bottom edge.
    EXPECT_EQ(Hud(), (Rect{0, 758, 299, 322}));
}

TEST_F(FrameLayout, TheMapSizeFollowsTheViewportItMustFitIn)
{
    StartHud(600, 400);
    widgetMod_->SetMapSize(1000);
    EXPECT_EQ(widgetMod_->WorkingSize(), 358);
    EXPECT_EQ(SlotRect(Widget().mapSlot), (Rect{0, 23, 358, 358}));
    EXPECT_EQ(Hud(), (Rect{223, 0, 377, 400}));
    widgetMod_->SetMapSize(100);
    EXPECT_EQ(widgetMod_->WorkingSize(), 160);
    EXPECT_EQ(SlotRect(Widget().mapSlot), (Rect{0, 23, 160, 160}));
}

TEST_F(FrameLayout, AGrownMapPullsTheFrameBackOnScreen)
{
    StartHud();
    widgetMod_->SetMapSize(1000);
    EXPECT_EQ(widgetMod_->WorkingSize(), 720);
    // The free width shrank to 1181: the frame stays at its right edge.
    EXPECT_EQ(Hud(), (Rect{1181, 24, 739, 762}));
    widgetMod_->SetFramePosition(-50, 5000);
    EXPECT_EQ(Hud(), (Rect{0, 318, 739, 762}));
}

TEST_F(FrameLayout, TheEditModeShowsTheButtonRowFromTheRightEdgeLeftwards)
{
    StartHud();
    Edit().editMode = true;
    widgetMod_->LayoutControls();
    EXPECT_EQ(ControlRect(Orv::kZoomInButton), (Rect{219, 0, 20, 20}));
    EXPECT_EQ(ControlRect(Orv::kZoomOutButton), (Rect{196, 0, 20, 20}));
    EXPECT_EQ(ControlRect(Orv::kIndoorToggle), (Rect{171, 0, 22, 20}));
    EXPECT_EQ(ControlRect(Orv::kShapeToggle), (Rect{146, 0, 22, 20}));
    // The second row under the map, at the handle's height, 3 units apart from the left edge.
    EXPECT_EQ(ControlRect(Orv::kNorthUpToggle), (Rect{0, 306, 38, 16}));
    EXPECT_EQ(ControlRect(Orv::kCoordinatesToggle), (Rect{41, 306, 26, 16}));
    EXPECT_EQ(ControlRect(Orv::kOpacityButton), (Rect{70, 306, 40, 16}));
    for (std::size_t index = 0; index < Orv::kControlCount; ++index)
    {
        EXPECT_EQ(VisibilityOf(Widget().controls[index].frame), Orv::kVisibilityShown) << index;
        EXPECT_TRUE(Session().layout.placed.visible[index]) << index;
    }
    EXPECT_EQ(VisibilityOf(Widget().perfPanel), Orv::kVisibilityShown);
    for (const auto& caption : Widget().perfTexts)
    {
        EXPECT_EQ(VisibilityOf(caption.text), Orv::kVisibilityShown);
    }

    // Locked again, the row keeps its places but hides.
    Edit().editMode = false;
    widgetMod_->SetMapSize(400);
    EXPECT_EQ(ControlRect(Orv::kEditButton), (Rect{362, 0, 38, 20}));
    EXPECT_EQ(ControlRect(Orv::kZoomInButton), (Rect{219, 0, 20, 20}));
    EXPECT_EQ(VisibilityOf(Widget().controls[Orv::kZoomInButton].frame), Orv::kVisibilityCollapsed);
    EXPECT_EQ(VisibilityOf(Widget().perfPanel), Orv::kVisibilityCollapsed);
    for (const auto& caption : Widget().perfTexts)
    {
        EXPECT_EQ(VisibilityOf(caption.text), Orv::kVisibilityCollapsed);
    }
    for (std::size_t index = 1; index < Orv::kControlCount; ++index)
    {
        EXPECT_EQ(Sim::LastCall(Widget().controls[index].frame, L"SetVisibility").Number(L"InVisibility"),
                  Orv::kVisibilityCollapsed)
            << index;
    }
}

TEST_F(FrameLayout, ThePerformancePanelMovesRightOfTheMapWhenTheFrameLeavesRoomForIt)
{
    StartHud();
    Edit().editMode = true;
    widgetMod_->SetFramePosition(202, 100);
    EXPECT_TRUE(Layout().panelOnLeft);
    EXPECT_EQ(SlotRect(Widget().perfPanelSlot), (Rect{-202, 23, 196, 199}));
    EXPECT_EQ(SlotRect(Widget().perfTexts[0].slot), (Rect{-194, 28, 180, 18}));
    EXPECT_EQ(SlotRect(Widget().perfTexts[4].slot), (Rect{-194, 134, 180, 14}));
    EXPECT_EQ(ControlRect(Orv::kCaptureRateField), (Rect{-110, 52, 96, 20}));

    widgetMod_->SetFramePosition(201, 100);
    EXPECT_FALSE(Layout().panelOnLeft);
    EXPECT_EQ(SlotRect(Widget().perfPanelSlot), (Rect{286, 23, 196, 199}));
    EXPECT_EQ(SlotRect(Widget().perfTexts[1].slot), (Rect{294, 55, 70, 20}));
    EXPECT_EQ(SlotRect(Widget().perfTexts[2].slot), (Rect{294, 82, 70, 20}));
    EXPECT_EQ(SlotRect(Widget().perfTexts[3].slot), (Rect{294, 109, 70, 20}));
    EXPECT_EQ(ControlRect(Orv::kCaptureRateField), (Rect{378, 52, 96, 20}));
    EXPECT_EQ(ControlRect(Orv::kMarkerRateField), (Rect{378, 79, 96, 20}));
    EXPECT_EQ(ControlRect(Orv::kRenderScaleField), (Rect{378, 106, 96, 20}));
    EXPECT_EQ(ControlRect(Orv::kResetButton), (Rect{294, 156, 180, 22}));
    EXPECT_EQ(ControlRect(Orv::kAiToggle), (Rect{294, 188, 42.75, 22}));
    EXPECT_EQ(ControlRect(Orv::kResourcesToggle), (Rect{339.75, 188, 42.75, 22}));
    EXPECT_EQ(ControlRect(Orv::kQuestsToggle), (Rect{385.5, 188, 42.75, 22}));
    EXPECT_EQ(ControlRect(Orv::kPoisToggle), (Rect{431.25, 188, 42.75, 22}));
}

TEST_F(FrameLayout, OnlyTheEditModeMovesThePanelWithTheFrame)
{
    StartHud();
    // Laid out before the frame had its place; hidden, it stays there while locked.
    ASSERT_FALSE(Layout().panelOnLeft);
    EXPECT_EQ(SlotRect(Widget().perfPanelSlot).x, 286);
    Sim::ForgetCalls();
    widgetMod_->SetFramePosition(500, 10);
    EXPECT_FALSE(Layout().panelOnLeft);
    EXPECT_EQ(SlotRect(Widget().perfPanelSlot).x, 286);
    EXPECT_EQ(Sim::CallCount(Widget().perfPanelSlot, L"SetPosition"), 0u);
    EXPECT_EQ(Hud().x, 500);
    Edit().editMode = true;
    widgetMod_->SetFramePosition(501, 10);
    EXPECT_TRUE(Layout().panelOnLeft);
    EXPECT_EQ(SlotRect(Widget().perfPanelSlot).x, -202);
    // Moving on the same side lays nothing out again.
    Sim::ForgetCalls();
    widgetMod_->SetFramePosition(700, 10);
    EXPECT_EQ(Sim::CallCount(Widget().perfPanelSlot, L"SetPosition"), 0u);
    EXPECT_EQ(Sim::LastCall(Widget().hudSlot, L"SetPosition").Number(L"InPosition.X"), 700);
    widgetMod_->SetFramePosition(201.5, 10);
    EXPECT_EQ(SlotRect(Widget().perfPanelSlot).x, 286);
}

TEST_F(FrameLayout, AViewportChangeOfMoreThanHalfAUnitLaysTheFrameOutAgain)
{
    // 384 × 216 layout units: the map as tall as fits, 216 − 42.
    StartHud(1920, 1080, 5.0f);
    EXPECT_EQ(Hud(), (Rect{167, 0, 193, 216}));
    Sim::SetViewportPixels(1922, 1082); // 0.4 units each way
    Frame();
    EXPECT_EQ(Hud(), (Rect{167, 0, 193, 216}));
    Sim::SetViewportPixels(1923, 1080); // 0.6 units wider
    Frame();
    EXPECT_FLOAT_EQ(static_cast<float>(Hud().x), 167.6f);
    EXPECT_EQ(SlotRect(Widget().mapSlot).width, 174);
    Sim::SetViewportPixels(1923, 1083); // and now 0.6 units taller
    Frame();
    EXPECT_FLOAT_EQ(static_cast<float>(SlotRect(Widget().mapSlot).width), 174.6f);
    EXPECT_DOUBLE_EQ(Layout().viewportHeight, 216.6);
}

// At scale 2 one pixel is half a unit: that much is the engine rounding, two pixels are not.
TEST_F(FrameLayout, AChangeOfExactlyHalfAUnitIsNoNewScreen)
{
    StartHud(1920, 1080, 2.0f);
    EXPECT_EQ(Hud().x, 960 - 299 - 24);
    Sim::SetViewportPixels(1921, 1081);
    Frame();
    EXPECT_EQ(Hud().x, 637);
    Sim::SetViewportPixels(1922, 1080);
    Frame();
    EXPECT_EQ(Hud().x, 638);
}

TEST_F(FrameLayout, NoNewLayoutWhileADragHoldsTheFrame)
{
    StartHud();
    Edit().moving = true;
    Sim::SetViewportPixels(1280, 720);
    widgetMod_->FollowViewportSize(widgetMod_->ViewportScale());
    EXPECT_EQ(Hud().x, 1597);
    Edit().moving = false;
    Edit().resizing = true;
    widgetMod_->FollowViewportSize(widgetMod_->ViewportScale());
    EXPECT_EQ(Hud().x, 1597);
    Edit().resizing = false;
    widgetMod_->FollowViewportSize(widgetMod_->ViewportScale());
    EXPECT_EQ(Layout().viewportWidth, 1280);
    EXPECT_EQ(Hud(), (Rect{1280 - 299 - 24, 24, 299, 322}));
}

TEST_F(FrameLayout, AScaleTheEngineCannotGiveCountsAsOne)
{
    // 3840 wide at scale 1: the default place is 3840 − 299 − 24 across.
    StartHud(3840, 2160, 0.0f);
    EXPECT_EQ(widgetMod_->ViewportScale(), 1.0);
    EXPECT_EQ(Hud().x, 3517);
    Sim::SetViewportScale(-2.0f);
    EXPECT_EQ(widgetMod_->ViewportScale(), 1.0);
    widgetMod_->ApplyLayout();
    EXPECT_EQ(Hud().x, 3517);
    Sim::SetViewportScale(1.25f);
    EXPECT_EQ(widgetMod_->ViewportScale(), 1.25);
    widgetMod_->ApplyLayout();
    EXPECT_EQ(Hud().x, 3072 - 299 - 24);
    // The scale is asked for the player's world.
    EXPECT_EQ(Sim::LastCallOf(L"GetViewportScale").Object(L"WorldContextObject"), pawn_);
}

TEST_F(FrameLayout, WithoutTheLayoutLibraryTheScaleIsOne)
{
    Sim::RemoveFunction(L"/Script/UMG.WidgetLayoutLibrary:GetViewportScale");
    StartHud(3840, 2160, std::nullopt);
    EXPECT_EQ(widgetMod_->ViewportScale(), 1.0);
    EXPECT_EQ(Hud().x, 3517);
}

TEST_F(FrameLayout, WithoutAPawnToAskForTheScaleItIsOne)
{
    StartHud(3840, 2160, std::nullopt);
    ASSERT_EQ(Hud().x, 1597);
    widgetMod_->MutableSession().discovery.pawn = nullptr;
    Sim::ForgetCalls();
    Sim::SetViewportPixels(3840, 2000);
    widgetMod_->ApplyLayout();
    EXPECT_EQ(Hud().x, 3517);
    EXPECT_EQ(Sim::CallCount(L"GetViewportScale"), 0u);
}

TEST_F(FrameLayout, AViewportThatCannotBeMeasuredKeepsTheLastSizeOrFullHd)
{
    Sim::RemoveFunction(L"/Script/Engine.PlayerController:GetViewportSize");
    Orv::Settings().PositionY = 1.0;
    StartHud(1280, 720);
    EXPECT_EQ(Layout().viewportWidth, 1920);
    EXPECT_EQ(Layout().viewportHeight, 1080);
    // The bottom edge of a full-HD screen.
    EXPECT_EQ(Hud(), (Rect{1597, 758, 299, 322}));
    double width = 0;
    double height = 0;
    EXPECT_FALSE(widgetMod_->ViewportSize(width, height));
}

TEST_F(FrameLayout, AViewportMeasuredAsEmptyFallsBackToTheLastMeasurement)
{
    StartHud(1280, 720);
    ASSERT_EQ(Layout().viewportWidth, 1280);
    Sim::SetViewportPixels(0, 720);
    widgetMod_->ApplyLayout();
    EXPECT_EQ(Layout().viewportWidth, 1280);
    EXPECT_EQ(Layout().viewportHeight, 720);
    EXPECT_EQ(Hud(), (Rect{957, 24, 299, 322}));
    Sim::SetViewportPixels(1000, 0);
    widgetMod_->ApplyLayout();
    EXPECT_EQ(Hud(), (Rect{957, 24, 299, 322}));
    double width = 0;
    double height = 0;
    EXPECT_FALSE(widgetMod_->ViewportSize(width, height));
    Sim::SetViewportPixels(1280, 0);
    EXPECT_FALSE(widgetMod_->ViewportSize(width, height));
    Sim::SetViewportPixels(1280, -5);
    EXPECT_FALSE(widgetMod_->ViewportSize(width, height));
    Sim::SetViewportPixels(1, 1);
    EXPECT_TRUE(widgetMod_->ViewportSize(width, height));
    EXPECT_EQ(width, 1);
}

TEST_F(FrameLayout, ValueFieldsShowTheWorkingRatesAndWhatIsBeingTyped)
{
    StartHud();
    const auto& controls = Widget().controls;
    EXPECT_EQ(TextOf(controls[Orv::kCaptureRateField].text), L"60");
    EXPECT_EQ(TextOf(controls[Orv::kMarkerRateField].text), L"60");
    EXPECT_EQ(TextOf(controls[Orv::kRenderScaleField].text), L"4.00");

    widgetMod_->workingCaptureFPS = 28.5f;
    widgetMod_->workingMarkerFPS = 240.0f;
    widgetMod_->workingRenderScale = 0.25f;
    Edit().editingField = Orv::EditingField{2};
    Edit().entryText[0] = L'1';
    Edit().entryText[1] = L'2';
    Edit().entryLength = 2;
    widgetMod_->RefreshValueFields();
    EXPECT_EQ(TextOf(controls[Orv::kCaptureRateField].text), L"28"); // as printf rounds an exact half
    EXPECT_EQ(TextOf(controls[Orv::kMarkerRateField].text), L"12_");
    EXPECT_EQ(TextOf(controls[Orv::kRenderScaleField].text), L"0.25");

    Edit().editingField = Orv::EditingField{3};
    Edit().entryLength = 0;
    widgetMod_->RefreshValueFields();
    EXPECT_EQ(TextOf(controls[Orv::kMarkerRateField].text), L"240");
    EXPECT_EQ(TextOf(controls[Orv::kRenderScaleField].text), L"_");
}

TEST_F(FrameLayout, TypedTextLongerThanItsFieldShowsItsLastCharactersThatFit)
{
    StartHud();
    Edit().editMode = true;
    widgetMod_->LayoutControls();
    Edit().editingField = Orv::EditingField{1};
    Edit().entryText.fill(L'7');
    Edit().entryText[0] = L'1';
    Edit().entryLength = 99;
    widgetMod_->RefreshValueFields();
    const std::wstring shown = TextOf(Widget().controls[Orv::kCaptureRateField].text);
    EXPECT_EQ(shown, std::wstring(10, L'7') + L"_");
    // As the screen lays it out, the text fits inside the field's bronze edge.
    Sim::LayOutScreen();
    const Sim::WidgetPlacement text = Sim::PlacementOf(Widget().controls[Orv::kCaptureRateField].text);
    const Sim::WidgetPlacement fill = Sim::PlacementOf(Widget().controls[Orv::kCaptureRateField].fill);
    ASSERT_TRUE(text.arranged);
    EXPECT_LE(text.desiredWidth, fill.rect.width);
    EXPECT_LE(text.desiredHeight, fill.rect.height);
}

TEST_F(FrameLayout, CommittedPlacesAreStoredAsFractionsOfTheFreeSpace)
{
    StartHud();
    widgetMod_->SetFramePosition(810.5, 379);
    widgetMod_->CommitLayoutAndSave();
    EXPECT_DOUBLE_EQ(Orv::Settings().PositionX, 0.5);
    EXPECT_DOUBLE_EQ(Orv::Settings().PositionY, 0.5);
    EXPECT_EQ(Orv::Settings().Size, 280.0f);
}

// What the screen makes of the tree: the frame inside its three one-unit rims, the arrow box
// centred on the picture, only the edit button shown while locked, and corners that are the
// world's when the frame is round and the bronze rim's when it is square.
TEST_F(FrameLayout, TheScreenShowsTheFrameWhereTheLayoutPutsIt)
{
    StartHud(960, 540);
    const Orv::WidgetState& w = Widget();
    Sim::LayOutScreen();
    // 960 − 299 − 24 across, 24 down, then the 23-unit button row.
    EXPECT_EQ(DrawnRect(w.mapSizeBox), (Rect{637, 47, 280, 280}));
    EXPECT_EQ(DrawnRect(w.middleRim), (Rect{638, 48, 278, 278}));
    EXPECT_EQ(DrawnRect(w.mapImage), (Rect{640, 50, 274, 274}));
    EXPECT_EQ(DrawnRect(w.arrowSizeBox), (Rect{762, 172, 30, 30}));
    EXPECT_EQ(DrawnRect(w.controls[Orv::kEditButton].frame), (Rect{879, 24, 38, 20}));
    EXPECT_FALSE(Sim::PlacementOf(w.controls[Orv::kZoomInButton].frame).arranged);
    EXPECT_FALSE(Sim::PlacementOf(w.perfPanel).arranged);
    EXPECT_FALSE(Sim::PlacementOf(Session().markers.iconSlots[0].root).arranged);

    const auto pixel = [](const Sim::RenderTargetImage& image, int x, int y) {
        const auto* at = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
        return std::array<int, 3>{at[0], at[1], at[2]};
    };
    Sim::RenderTargetImage round;
    Sim::RenderScreen(round);
    widgetMod_->workingCircular = false;
    widgetMod_->ApplyFrameShape();
    Sim::RenderTargetImage square;
    Sim::RenderScreen(square);
    // The outer rim's top-left corner and its top edge's middle.
    const auto bronze = pixel(square, 777, 47);
    EXPECT_GT(bronze[0], bronze[1]);
    EXPECT_GT(bronze[1], bronze[2]);
    EXPECT_EQ(pixel(square, 637, 47), bronze);
    EXPECT_EQ(pixel(round, 777, 47), bronze);
    EXPECT_NE(pixel(round, 637, 47), bronze);
    EXPECT_NE(pixel(round, 641, 51), pixel(square, 641, 51));
}

// The screen is built when the HUD enters the viewport; everything the mod changes afterwards
// must reach it through the engine's setters: the edit mode's controls and panel, the frame
// moved and resized, a control's colour under the mouse.
TEST_F(FrameLayout, WhatTheHudChangesAfterItIsShownReachesTheScreen)
{
    StartHud();
    const Orv::WidgetState& w = Widget();
    Edit().editMode = true;
    widgetMod_->SetFramePosition(300, 200);
    widgetMod_->SetMapSize(400);
    Edit().hoveredButton = Orv::kZoomInButton;
    widgetMod_->RefreshControlColours();
    Sim::LayOutScreen();

    EXPECT_EQ(DrawnRect(w.mapSizeBox), (Rect{300, 223, 400, 400}));
    EXPECT_EQ(DrawnRect(w.controls[Orv::kZoomInButton].frame), (Rect{300 + 339, 200, 20, 20}));
    EXPECT_EQ(DrawnRect(w.perfPanel), (Rect{300 - 202, 223, 196, 199}));
    EXPECT_TRUE(Sim::PlacementOf(w.perfTexts[0].text).drawn);
    const Sim::MemberRef fill = Sim::ScreenMember(w.controls[Orv::kZoomInButton].fill, L"BrushColor");
    ASSERT_NE(fill.address, nullptr);
    std::array<float, 4> shown{};
    std::memcpy(shown.data(), fill.address, sizeof(shown));
    EXPECT_EQ(shown, Look::kHover);
}

} // namespace
} // namespace OrvTest
