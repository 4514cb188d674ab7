// The edit mode as a player drives it, one engine frame at a time: entering and leaving it and
// what that does to the game's cursor and input, the control under the mouse, moving and
// resizing the frame, the zoom steps and the toggles, each read back from the engine and from
// state.ini on disk.
#include "input/InputFixture.hpp"

#include "widget/Controls.hpp"

#include <Sim/Calls.hpp>
#include <Sim/World.hpp>

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace OrvTest
{
namespace
{
class EditMode : public InputFixture
{
  protected:
    void SetUp() override
    {
        InputFixture::SetUp();
        Sim::AdvanceClock(7 * Orv::kSecond);
    }

    UObject* WidgetLibrary() const { return Sim::FindClass(L"/Script/UMG.WidgetBlueprintLibrary")->GetClassDefaultObject(); }
};

TEST_F(EditMode, EnteringTakesCursorAndInputAndLeavingGivesBackWhatTheGameHad)
{
    StartHud();
    // The game shows click events of its own; the other two switches are off.
    GameSets(controller_, L"bEnableClickEvents", true);
    EXPECT_EQ(Caption(Orv::kEditButton), L"EDIT");
    EXPECT_TRUE(ControlShown(Orv::kEditButton));
    for (std::size_t control = 1; control < Orv::kControlCount; ++control)
    {
        EXPECT_FALSE(ControlShown(control)) << control;
    }

    EnterEditMode();
    Sim::ControllerInput input = Input();
    EXPECT_TRUE(input.showMouseCursor);
    EXPECT_TRUE(input.clickEvents);
    EXPECT_TRUE(input.mouseOverEvents);
    EXPECT_EQ(input.ignoreMove, 1);
    EXPECT_EQ(input.ignoreLook, 1);
    EXPECT_EQ(Caption(Orv::kEditButton), L"LOCK");
    for (std::size_t control = 0; control < Orv::kControlCount; ++control)
    {
        EXPECT_TRUE(ControlShown(control)) << control;
    }
    EXPECT_EQ(Sim::CallCount(Widget().userWidget, L"InvalidateLayoutAndVolatility"), 1u);
    EXPECT_EQ(Sim::CallCount(WidgetLibrary(), L"SetInputMode_GameOnly"), 0u);

    Click(Orv::kEditButton);
    input = Input();
    EXPECT_FALSE(input.showMouseCursor);
    EXPECT_TRUE(input.clickEvents) << "the game's own value comes back";
    EXPECT_FALSE(input.mouseOverEvents);
    EXPECT_EQ(input.ignoreMove, 0);
    EXPECT_EQ(input.ignoreLook, 0);
    EXPECT_EQ(input.mode, Sim::InputMode::GameOnly);
    EXPECT_EQ(input.flushes, 1);
    EXPECT_TRUE(Sim::GameViewportHasFocus());
    const Sim::RecordedCall gameOnly = Sim::LastCall(WidgetLibrary(), L"SetInputMode_GameOnly");
    EXPECT_EQ(gameOnly.Object(L"PlayerController"), controller_);
    EXPECT_TRUE(gameOnly.Bool(L"bFlushInput"));
    EXPECT_EQ(Sim::CallCount(WidgetLibrary(), L"SetFocusToGameViewport"), 1u);
    EXPECT_EQ(Caption(Orv::kEditButton), L"EDIT");
    for (std::size_t control = 1; control < Orv::kControlCount; ++control)
    {
        EXPECT_FALSE(ControlShown(control)) << control;
    }
    EXPECT_EQ(Sim::CallCount(Widget().userWidget, L"InvalidateLayoutAndVolatility"), 2u);
}

TEST_F(EditMode, AnEngineWithoutTheFlushParameterStillGetsTheGameOnlyMode)
{
    StartEngine(4, 27);
    StartHud();
    EnterEditMode();
    Click(Orv::kEditButton);
    EXPECT_EQ(Input().mode, Sim::InputMode::GameOnly);
    EXPECT_EQ(Input().flushes, 0);
    EXPECT_EQ(Input().ignoreMove, 0);
    EXPECT_EQ(Sim::CallCount(WidgetLibrary(), L"SetFocusToGameViewport"), 1u);
}

TEST_F(EditMode, LockPressedWithTheButtonDownKeepsInputSuspendedUntilTheRelease)
{
    StartHud();
    EnterEditMode();
    MouseTo(Centre(Orv::kEditButton));
    Press();
    EXPECT_EQ(Caption(Orv::kEditButton), L"EDIT");
    EXPECT_FALSE(ControlShown(Orv::kZoomInButton));
    // Held, moved away and still held: the game still has no input.
    MouseTo({100, 900});
    Frame();
    Frame();
    EXPECT_TRUE(Input().showMouseCursor);
    EXPECT_EQ(Input().ignoreMove, 1);
    EXPECT_EQ(Input().ignoreLook, 1);
    EXPECT_EQ(Sim::CallCount(WidgetLibrary(), L"SetInputMode_GameOnly"), 0u);
    Release();
    EXPECT_FALSE(Input().showMouseCursor);
    EXPECT_EQ(Input().ignoreMove, 0);
    EXPECT_EQ(Input().ignoreLook, 0);
    EXPECT_EQ(Sim::CallCount(WidgetLibrary(), L"SetInputMode_GameOnly"), 1u);
    // Given back once: later frames leave the controller to the game.
    GameSets(controller_, L"bShowMouseCursor", true);
    Frame();
    Press();
    Release();
    EXPECT_TRUE(Input().showMouseCursor);
    EXPECT_EQ(Sim::CallCount(WidgetLibrary(), L"SetInputMode_GameOnly"), 1u);
}

TEST_F(EditMode, TheCursorIsForcedOnEveryFrameAndLeavingRestoresItsValueFromBefore)
{
    StartHud();
    GameSets(controller_, L"bShowMouseCursor", true);
    EnterEditMode();
    // The game hides the cursor and switches hover events off while the edit mode is on.
    GameSets(controller_, L"bShowMouseCursor", false);
    GameSets(controller_, L"bEnableMouseOverEvents", false);
    Frame();
    EXPECT_TRUE(Input().showMouseCursor);
    EXPECT_TRUE(Input().mouseOverEvents);
    Click(Orv::kEditButton);
    EXPECT_TRUE(Input().showMouseCursor) << "as it was when the edit mode began";
    EXPECT_FALSE(Input().mouseOverEvents);
}

TEST_F(EditMode, EachCursorSwitchComesBackToItsOwnValue)
{
    StartHud();
    // Only hover events on: a value put back into the wrong switch shows.
    GameSets(controller_, L"bEnableMouseOverEvents", true);
    EnterEditMode();
    Click(Orv::kEditButton);
    EXPECT_FALSE(Input().showMouseCursor);
    EXPECT_FALSE(Input().clickEvents);
    EXPECT_TRUE(Input().mouseOverEvents);
}

TEST_F(EditMode, InputTheGameAlreadyIgnoredStaysIgnored)
{
    StartHud();
    Sim::IgnoreInput(controller_, true, false);
    EnterEditMode();
    EXPECT_EQ(Input().ignoreMove, 1) << "the mod adds nothing to the game's own";
    EXPECT_EQ(Input().ignoreLook, 1);
    Click(Orv::kEditButton);
    EXPECT_EQ(Input().ignoreMove, 1);
    EXPECT_EQ(Input().ignoreLook, 0);
    EXPECT_EQ(Sim::CallCount(controller_, L"SetIgnoreMoveInput"), 0u);
}

TEST_F(EditMode, InTheLockedStateOnlyEditAnswers)
{
    StartHud();
    const Rect hud = Hud();
    ForgetSavedFile();
    for (std::size_t control = 1; control < Orv::kControlCount; ++control)
    {
        ClickAt(Centre(control));
    }
    // A drag over the map picture moves nothing.
    MouseTo(OnMap());
    Press();
    MouseTo({OnMap().x - 200, OnMap().y + 100});
    Frame();
    Release();
    EXPECT_EQ(Hud(), hud);
    EXPECT_FALSE(Saved());
    EXPECT_FALSE(Input().showMouseCursor);
    EXPECT_EQ(Sim::CallCount(controller_, L"SetIgnoreMoveInput"), 0u);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 8000.0);
}

TEST_F(EditMode, TheControlUnderTheMouseLightsUpWithinItsEdgesInclusive)
{
    StartHud();
    EnterEditMode();
    const Sim::LayoutRect zoomIn = ControlOnScreen(Orv::kZoomInButton);
    UObject* fill = Widget().controls[Orv::kZoomInButton].fill;
    MouseTo({zoomIn.Right(), zoomIn.Bottom()});
    Frame();
    EXPECT_EQ(BrushColourCalled(fill), Look::kHover);
    MouseTo({zoomIn.x, zoomIn.y});
    Frame();
    EXPECT_EQ(BrushColourCalled(fill), Look::kHover);
    const auto calls = Sim::CallCount(fill, L"SetBrushColor");
    Frame();
    EXPECT_EQ(Sim::CallCount(fill, L"SetBrushColor"), calls) << "no repaint while the hover stays";
    // The engine reports whole pixels: one pixel right of the edge (the gap before EDIT) is no
    // control, nor one below it.
    MouseTo({zoomIn.Right() + 1, zoomIn.y + 1});
    Frame();
    EXPECT_EQ(BrushColourCalled(fill), Look::kControlDarkFill);
    MouseTo({zoomIn.x + 1, zoomIn.Bottom() + 1});
    Frame();
    EXPECT_EQ(BrushColourCalled(fill), Look::kControlDarkFill);
    // Leaving the viewport clears the hover too.
    MouseTo(Centre(Orv::kZoomInButton));
    Frame();
    Sim::ClearMousePosition();
    Frame();
    EXPECT_EQ(BrushColourCalled(fill), Look::kControlDarkFill);
}

TEST_F(EditMode, AtTwiceTheScaleTheMouseIsMeasuredInLayoutUnits)
{
    StartHud(3840, 2160, 2.0f);
    const Rect hud = Hud();
    EnterEditMode();
    const Point start = OnMap();
    MouseTo(start);
    Press();
    MouseTo({start.x - 300, start.y + 200});
    Frame();
    Release();
    EXPECT_EQ(Hud().x, hud.x - 150);
    EXPECT_EQ(Hud().y, hud.y + 100);
    // The scale is asked once a frame, for the layout check and the mouse alike.
    const auto asked = Sim::CallCount(L"GetViewportScale");
    Frame();
    EXPECT_EQ(Sim::CallCount(L"GetViewportScale"), asked + 1);
}

TEST_F(EditMode, DraggingTheMapMovesTheFrameAndSavesItsPlaceAtTheRelease)
{
    StartHud();
    EnterEditMode();
    const Rect hud = Hud();
    const Point start = OnMap(0.3, 0.6);
    ForgetSavedFile();
    MouseTo(start);
    Press();
    MouseTo({start.x - 100, start.y + 40});
    Frame();
    MouseTo({start.x - 250, start.y + 120});
    Frame();
    EXPECT_EQ(Hud().x, hud.x - 250);
    EXPECT_EQ(Hud().y, hud.y + 120);
    EXPECT_FALSE(Saved()) << "nothing is written while the drag goes on";
    Release();
    EXPECT_TRUE(Saved());
    // The room left is 1920 − 299 across and 1080 − 322 down.
    EXPECT_EQ(SavedSetting("PositionX"), fmt::format("{:g}", (hud.x - 250) / 1621.0));
    EXPECT_EQ(SavedSetting("PositionY"), fmt::format("{:g}", (hud.y + 120) / 758.0));
    // After the release the mouse moves freely.
    MouseTo({start.x, start.y});
    Frame();
    EXPECT_EQ(Hud().x, hud.x - 250);
}

TEST_F(EditMode, APressOnTheMapWithoutMovingSavesOnceAndOnlyTheMapAreaGrabs)
{
    StartHud();
    EnterEditMode();
    ForgetSavedFile();
    MouseTo(OnMap(0.5, 0.5));
    Press();
    EXPECT_FALSE(Saved());
    Release();
    EXPECT_TRUE(Saved());

    // The control bar beside the buttons and the margin right of the map are not the map.
    const Rect hud = Hud();
    ForgetSavedFile();
    const Sim::LayoutRect map = OnScreen(Widget().mapSizeBox);
    for (Point outside : {Point{map.x + 5, map.y - 3}, Point{map.Right() + 2, map.y + 50}})
    {
        MouseTo(outside);
        Press();
        MouseTo({outside.x - 80, outside.y + 80});
        Frame();
        Release();
    }
    EXPECT_EQ(Hud(), hud);
    EXPECT_FALSE(Saved());
    // Its edges are the map's: either corner still grabs.
    ClickAt({map.Right(), map.Bottom()});
    EXPECT_TRUE(Saved());
    ForgetSavedFile();
    ClickAt({map.x, map.y});
    EXPECT_TRUE(Saved());
}

TEST_F(EditMode, TheHandleResizesByTheLargerMovementAndTheTargetFollowsAtTheRelease)
{
    StartHud();
    EnterEditMode();
    const Point handle = Centre(Orv::kResizeHandle);
    const auto resizes = Sim::CallCount(L"ResizeRenderTarget2D");
    MouseTo(handle);
    Press();
    MouseTo({handle.x + 30, handle.y + 50});
    Frame();
    EXPECT_EQ(SlotRect(Widget().mapSlot).width, 330.0);
    MouseTo({handle.x + 60, handle.y - 10});
    Frame();
    EXPECT_EQ(SlotRect(Widget().mapSlot).width, 340.0);
    EXPECT_EQ(Sim::CallCount(L"ResizeRenderTarget2D"), resizes) << "the target waits for the release";
    Release();
    // ceil(4 × 340 / 64) × 64
    EXPECT_EQ(Sim::LastCallOf(L"ResizeRenderTarget2D").Number(L"Width"), 1408.0);
    EXPECT_EQ(SavedSetting("Size"), "340");
}

// A small map at the bottom-left corner: the panel stands right of it and rises to the screen's
// bottom, and the handle, which its AI toggle once lay under, still takes its own click.
TEST_F(EditMode, ASmallMapsHandleAtTheBottomLeftResizesAndTogglesNothing)
{
    Orv::Settings().Size = 170;
    Orv::Settings().PositionX = 0;
    Orv::Settings().PositionY = 1;
    StartHud();
    EnterEditMode();
    const Point handle = Centre(Orv::kResizeHandle);
    const Sim::LayoutRect panel = OnScreen(Widget().perfPanel);
    EXPECT_EQ(panel.y + panel.height, 1080.0);
    // Clear of the handle: right of it, with the gap the panel keeps from the frame.
    EXPECT_EQ(panel.x, handle.x + 8 + 6);
    MouseTo(handle);
    Press();
    MouseTo({handle.x + 40, handle.y + 20});
    Frame();
    Release();
    EXPECT_EQ(SlotRect(Widget().mapSlot).width, 210.0);
    EXPECT_EQ(SavedSetting("ShowAi"), "1");
}

TEST_F(EditMode, ZoomStepsSaveOnlyWhenTheWidthChanges)
{
    StartHud();
    EnterEditMode();
    Click(Orv::kZoomInButton);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 7500.0);
    EXPECT_EQ(SavedSetting("Zoom"), "7500");
    Click(Orv::kZoomOutButton);
    Click(Orv::kZoomOutButton);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 8000.0) << "8000 is the widest";
    EXPECT_EQ(SavedSetting("Zoom"), "8000");
    for (int step = 0; step < 13; ++step)
    {
        Click(Orv::kZoomInButton);
    }
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 1500.0);
    ForgetSavedFile();
    const auto widths = Sim::CallCount(Component(), L"SetOrthoWidth") + Sim::CallCount(L"K2_SetWorldLocationAndRotation");
    Click(Orv::kZoomInButton);
    EXPECT_FALSE(Saved()) << "+ at 1500 writes nothing";
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 1500.0);
    EXPECT_EQ(Sim::CallCount(Component(), L"SetOrthoWidth") + Sim::CallCount(L"K2_SetWorldLocationAndRotation"), widths);
}

TEST_F(EditMode, EachToggleFlipsItsSettingOnDiskAndItsColour)
{
    StartHud();
    EnterEditMode();
    struct Toggle
    {
        std::size_t control;
        const char* key;
    };
    for (const Toggle toggle : {Toggle{Orv::kAiToggle, "ShowAi"}, Toggle{Orv::kShapeToggle, "Circular"},
                                Toggle{Orv::kIndoorToggle, "IndoorCameraEnabled"}, Toggle{Orv::kResourcesToggle, "ShowResources"},
                                Toggle{Orv::kQuestsToggle, "ShowQuests"}, Toggle{Orv::kPoisToggle, "ShowPois"}})
    {
        MouseTo({5, 5});
        Frame();
        ASSERT_EQ(BrushColourCalled(Widget().controls[toggle.control].fill), Look::kActive) << toggle.key;
        Click(toggle.control);
        EXPECT_EQ(SavedSetting(toggle.key), "0") << toggle.key;
        MouseTo({5, 5});
        Frame();
        EXPECT_EQ(BrushColourCalled(Widget().controls[toggle.control].fill), Look::kControlDarkFill) << toggle.key;
        Click(toggle.control);
        EXPECT_EQ(SavedSetting(toggle.key), "1") << toggle.key;
    }
}

// The left button is read from the whole desktop: a click in another program's window in front
// of the game presses nothing and drags nothing; the same click with the game in front does.
TEST_F(EditMode, AClickWhileAnotherProgramIsInFrontPressesNothing)
{
    StartHud();
    EnterEditMode();
    const Sim::LayoutRect before = OnScreen(Widget().mapSizeBox);
    Sim::SetForegroundWindow(Sim::Foreground::OtherProgram);
    Click(Orv::kAiToggle);
    EXPECT_EQ(SavedSetting("ShowAi"), "1");
    MouseTo(OnMap());
    Press();
    MouseTo(OnMap(0.2, 0.2));
    Frame();
    Release();
    EXPECT_EQ(OnScreen(Widget().mapSizeBox).x, before.x) << "no drag";
    EXPECT_EQ(OnScreen(Widget().mapSizeBox).y, before.y);

    Sim::SetForegroundWindow(Sim::Foreground::Game);
    Click(Orv::kAiToggle);
    EXPECT_EQ(SavedSetting("ShowAi"), "0");
}

TEST_F(EditMode, TheShapeToggleReshapesTheFrameAtOnce)
{
    StartHud();
    EnterEditMode();
    const auto invalidations = Sim::CallCount(L"InvalidateLayoutAndVolatility");
    Click(Orv::kShapeToggle);
    EXPECT_EQ(ByteMember(Widget().mapImage, L"Brush.DrawAs"), 3) << "a square picture is drawn as an image";
    for (UObject* widget : {Widget().userWidget, Widget().mapImage, Widget().outerRim, Widget().middleRim, Widget().innerRim})
    {
        EXPECT_EQ(Sim::CallCount(widget, L"InvalidateLayoutAndVolatility"), widget == Widget().userWidget ? 2u : 1u);
    }
    EXPECT_EQ(Sim::CallCount(L"InvalidateLayoutAndVolatility"), invalidations + 5);
    EXPECT_EQ(SavedSetting("Circular"), "0");
}

TEST_F(EditMode, SwitchingAiOffEmptiesTheMapOfDiamondsAtOnce)
{
    // The creature joins the list at the AI list's next timed refresh.
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartHud();
    Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelAICharacter", {.x = 600, .y = 300, .z = 100});
    FramesFor(Orv::kSecond);
    const auto& diamond = Session().markers.diamondSlots[0];
    ASSERT_EQ(VisibilityOf(diamond.root), Orv::kVisibilityShown);
    EnterEditMode();
    Click(Orv::kAiToggle);
    EXPECT_EQ(VisibilityOf(diamond.root), Orv::kVisibilityCollapsed);
    EXPECT_EQ(SavedSetting("ShowAi"), "0");
    const auto positions = Sim::CallCount(diamond.slot, L"SetPosition");
    FramesFor(Orv::kSecond);
    EXPECT_EQ(Sim::CallCount(diamond.slot, L"SetPosition"), positions) << "no AI update while AI is off";
    Click(Orv::kAiToggle);
    EXPECT_EQ(VisibilityOf(diamond.root), Orv::kVisibilityShown) << "found again at once";
}

TEST_F(EditMode, TheIndoorToggleStartsTheDetectionOverAtOnce)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    // Under a roof 300 above the player, with detections two seconds apart.
    Orv::Settings().IndoorCheckInterval = 2.0f;
    StartHud();
    Sim::AddBuilding(world_, {.footprint = {-1500, -1500, 1500, 1500}, .roofZ = 400});
    FramesFor(3 * Orv::kSecond);
    EnterEditMode();
    const double low = Sim::ActorPlacement(Session().capture.captureActor).z;
    Click(Orv::kIndoorToggle);
    EXPECT_EQ(SavedSetting("IndoorCameraEnabled"), "0");
    FramesFor(Orv::kSecond / 3);
    EXPECT_GT(Sim::ActorPlacement(Session().capture.captureActor).z, low + 100) << "off: the camera rises at once";

    const auto traces = Sim::CallCount(L"LineTraceSingleByProfile");
    Click(Orv::kIndoorToggle);
    EXPECT_EQ(SavedSetting("IndoorCameraEnabled"), "1");
    FramesFor(Orv::kSecond / 3);
    EXPECT_GT(Sim::CallCount(L"LineTraceSingleByProfile"), traces) << "on: the roof is traced again at once";
}

TEST_F(EditMode, AControllerThatDiedInTheEditModeIsForgottenNotWrittenTo)
{
    StartHud();
    EnterEditMode();
    UObject* old = controller_;
    // The player's controller is replaced: the session goes with it, and the new controller at
    // the same address (the engine reuses freed memory at once) is another controller.
    Sim::DestroyActor(old);
    Sim::CollectGarbage(true);
    auto fresh = Sim::EnterLocalPlayer(world_);
    controller_ = fresh.controller;
    Sim::ForgetCalls();
    FramesFor(Orv::kSecond);
    EXPECT_EQ(Sim::CallCount(L"SetIgnoreMoveInput"), 0u);
    EXPECT_EQ(Sim::CallCount(L"SetInputMode_GameOnly"), 0u);
    EXPECT_FALSE(Input().showMouseCursor);
    EXPECT_EQ(Input().ignoreMove, 0);
    EXPECT_EQ(Caption(Orv::kEditButton), L"EDIT") << "the new session starts locked";
}

TEST_F(EditMode, AMapLoadInTheEditModeLeavesTheNewWorldsControllerAlone)
{
    StartHud();
    EnterEditMode();
    UWorld* dungeon = Sim::CreateWorld(L"Crypt");
    Sim::Travel(gameInstance_, dungeon);
    auto entered = Sim::EnterLocalPlayer(dungeon);
    Sim::ForgetCalls();
    FramesFor(2 * Orv::kSecond);
    const Sim::ControllerInput input = Sim::InputStateOf(entered.controller);
    EXPECT_FALSE(input.showMouseCursor);
    EXPECT_EQ(input.ignoreMove, 0);
    EXPECT_EQ(input.ignoreLook, 0);
    EXPECT_EQ(input.mode, Sim::InputMode::Unchanged);
    EXPECT_EQ(Sim::CallCount(L"SetIgnoreMoveInput"), 0u);
    EXPECT_EQ(Sim::CallCount(L"SetInputMode_GameOnly"), 0u);
}

TEST_F(EditMode, ASessionEndingWithTheButtonHeldStillGivesTheInputBack)
{
    StartHud();
    EnterEditMode();
    MouseTo(OnMap());
    Press();
    ForgetSavedFile();
    // The player respawns mid-drag: the session ends while the button is still down.
    Sim::Respawn(controller_, {.x = 500, .y = 0, .z = 100});
    Frame();
    const Sim::ControllerInput input = Input();
    EXPECT_FALSE(input.showMouseCursor);
    EXPECT_EQ(input.ignoreMove, 0);
    EXPECT_EQ(input.mode, Sim::InputMode::GameOnly);
    EXPECT_TRUE(Saved()) << "the drag in progress is saved as it ends";
    Release();
    EXPECT_EQ(Sim::CallCount(WidgetLibrary(), L"SetInputMode_GameOnly"), 1u);
}

TEST_F(EditMode, ASessionEndingMidResizeKeepsTheNewSizeAndItsTarget)
{
    StartHud();
    EnterEditMode();
    const Point handle = Centre(Orv::kResizeHandle);
    MouseTo(handle);
    Press();
    MouseTo({handle.x + 40, handle.y + 40});
    Frame();
    const auto resizes = Sim::CallCount(L"ResizeRenderTarget2D");
    Sim::Respawn(controller_, {.x = 500, .y = 0, .z = 100});
    Frame();
    EXPECT_EQ(SavedSetting("Size"), "320");
    EXPECT_EQ(Sim::CallCount(L"ResizeRenderTarget2D"), resizes + 1);
    EXPECT_EQ(Sim::LastCallOf(L"ResizeRenderTarget2D").Number(L"Width"), 1280.0);
    Release();
}

TEST_F(EditMode, UnloadingTheModInTheEditModeGivesTheInputBack)
{
    StartHud();
    Sim::IgnoreInput(controller_, false, true);
    EnterEditMode();
    mod_.reset();
    EXPECT_FALSE(Input().showMouseCursor);
    EXPECT_EQ(Input().ignoreMove, 0);
    EXPECT_EQ(Input().ignoreLook, 1);
}
} // namespace
} // namespace OrvTest
