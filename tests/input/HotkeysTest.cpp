// The hotkeys as a player presses them: Ctrl+M takes the whole map off the screen and brings it
// back, Ctrl+= and Ctrl+- step the capture's width as the + and - buttons do. A key without its
// modifier or with one too many, a key held, a key pressed while another window is in front, and
// a key typed into a value field do nothing. A hidden map stays hidden across a map load and a
// restart, and costs the engine nothing while it is.
#include "input/InputFixture.hpp"

#include <Sim/World.hpp>


namespace OrvTest
{
namespace
{
class Hotkeys : public InputFixture
{
  protected:
    static bool MapShown() { return !Sim::ViewportWidgets().empty(); }
    // The capture components alive in the engine: the mod's is the only one.
    static std::size_t Captures() { return Sim::CaptureComponents().size(); }
    static double CaptureWidth()
    {
        const std::vector<UObject*> components = Sim::CaptureComponents();
        EXPECT_EQ(components.size(), 1u);
        return components.empty() ? 0.0 : RealField(components.front(), L"OrthoWidth");
    }
};

TEST_F(Hotkeys, CtrlMHidesTheWholeMapAndShowsItAgainOncePerPress)
{
    StartHud();
    ASSERT_TRUE(MapShown());
    ASSERT_EQ(Captures(), 1u);

    // Held over many frames it is one press: hidden, not hidden and shown again.
    Sim::SetKeyDown(VK_RCONTROL, true);
    Sim::SetKeyDown('M', true);
    for (int frame = 0; frame < 10; ++frame)
    {
        Frame();
    }
    EXPECT_FALSE(MapShown());
    EXPECT_EQ(Captures(), 0u);
    EXPECT_NE(HudFileText().find("Hidden=1\r\n"), std::string::npos) << HudFileText();
    Sim::SetKeyDown('M', false);
    Sim::SetKeyDown(VK_RCONTROL, false);
    Frame();

    // Hidden, a frame asks the engine for nothing at all.
    Sim::ResetCounters();
    for (int frame = 0; frame < 30; ++frame)
    {
        Frame();
    }
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
    EXPECT_EQ(Sim::Counters().FindObject, 0u);
    EXPECT_FALSE(MapShown());

    CtrlM();
    EXPECT_TRUE(MapShown());
    EXPECT_EQ(Captures(), 1u);
    EXPECT_NE(HudFileText().find("Hidden=0\r\n"), std::string::npos);
}

TEST_F(Hotkeys, OnlyTheExactChordInTheGamesOwnWindowCounts)
{
    StartHud();
    Tap('M');
    EXPECT_TRUE(MapShown()) << "M alone";
    PressChord({VK_CONTROL, VK_SHIFT}, 'M');
    EXPECT_TRUE(MapShown()) << "Ctrl+Shift+M";
    PressChord({VK_CONTROL, VK_MENU}, 'M');
    EXPECT_TRUE(MapShown()) << "Ctrl+Alt+M";
    // Ctrl pressed after M went down is no chord either.
    Sim::SetKeyDown('M', true);
    Frame();
    Sim::SetKeyDown(VK_CONTROL, true);
    Frame();
    Sim::SetKeyDown('M', false);
    Sim::SetKeyDown(VK_CONTROL, false);
    Frame();
    EXPECT_TRUE(MapShown()) << "M, then Ctrl";

    for (Sim::Foreground elsewhere : {Sim::Foreground::OtherProgram, Sim::Foreground::GameConsole, Sim::Foreground::None})
    {
        Sim::SetForegroundWindow(elsewhere);
        CtrlM();
        EXPECT_TRUE(MapShown()) << static_cast<int>(elsewhere);
    }
    Sim::SetForegroundWindow(Sim::Foreground::Game);
    CtrlM();
    EXPECT_FALSE(MapShown());
}

TEST_F(Hotkeys, ZoomKeysStepTheWidthAsTheButtonsDoAndSaveIt)
{
    StartHud();
    ASSERT_EQ(CaptureWidth(), 8000.0);
    PressChord({VK_CONTROL}, VK_OEM_PLUS);
    EXPECT_EQ(CaptureWidth(), 7500.0);
    EXPECT_EQ(SavedSetting("Zoom"), "7500");
    PressChord({VK_CONTROL}, VK_OEM_PLUS);
    EXPECT_EQ(CaptureWidth(), 7000.0);
    PressChord({VK_CONTROL}, VK_OEM_MINUS);
    EXPECT_EQ(CaptureWidth(), 7500.0);
    // Without Ctrl, or in another window, the keys are the game's.
    Tap(VK_OEM_PLUS);
    Sim::SetForegroundWindow(Sim::Foreground::OtherProgram);
    PressChord({VK_CONTROL}, VK_OEM_MINUS);
    Sim::SetForegroundWindow(Sim::Foreground::Game);
    EXPECT_EQ(CaptureWidth(), 7500.0);
    EXPECT_EQ(SavedSetting("Zoom"), "7500");

    // In the edit mode too.
    EnterEditMode();
    PressChord({VK_CONTROL}, VK_OEM_MINUS);
    EXPECT_EQ(CaptureWidth(), 8000.0);
    EXPECT_EQ(SavedSetting("Zoom"), "8000");

    // With no map to zoom (the player gone, no session), the keys change nothing saved.
    Sim::DestroyActor(pawn_);
    Frame();
    ASSERT_EQ(Captures(), 0u);
    PressChord({VK_CONTROL}, VK_OEM_PLUS);
    EXPECT_EQ(SavedSetting("Zoom"), "8000");
}

TEST_F(Hotkeys, NoHotkeyActsWhileAValueIsTyped)
{
    StartHud();
    EnterEditMode();
    Click(Orv::kCaptureRateField);
    CtrlM();
    PressChord({VK_CONTROL}, VK_OEM_PLUS);
    EXPECT_TRUE(MapShown());
    EXPECT_EQ(CaptureWidth(), 8000.0);
    // Ctrl+M held while Enter ends the typing is not a press either.
    Sim::SetKeyDown(VK_CONTROL, true);
    Sim::SetKeyDown('M', true);
    Frame();
    Tap(VK_RETURN);
    Frame();
    EXPECT_TRUE(MapShown());
    Sim::SetKeyDown('M', false);
    Frame();
    Tap('M');
    EXPECT_FALSE(MapShown()) << "a fresh press after the typing ended";
    Sim::SetKeyDown(VK_CONTROL, false);
}

TEST_F(Hotkeys, AHiddenMapStaysHiddenAcrossAMapLoadAndARestart)
{
    StartHud();
    CtrlM();
    ASSERT_FALSE(MapShown());
    UWorld* caves = Sim::CreateWorld(L"Caves");
    Sim::Travel(gameInstance_, caves);
    UObject* nextController = Sim::EnterLocalPlayer(caves).controller;
    for (int frame = 0; frame < 120; ++frame)
    {
        Frame();
    }
    EXPECT_FALSE(MapShown());
    EXPECT_EQ(Captures(), 0u);

    CtrlM();
    Frame();
    ASSERT_TRUE(MapShown());
    EXPECT_EQ(Sim::OwningPlayerOf(Sim::ViewportWidgets().front()), nextController);

    // Hidden again and the game restarted: the next mod starts hidden, from hud.ini.
    CtrlM();
    mod_.reset();
    Orv::Hud() = Orv::HudSettings{};
    StartMod();
    for (int frame = 0; frame < 120; ++frame)
    {
        Frame();
    }
    EXPECT_FALSE(MapShown());
    CtrlM();
    Frame();
    EXPECT_TRUE(MapShown());
}

TEST_F(Hotkeys, ChordsFromHudIniReplaceTheDefaults)
{
    StartHud();
    Orv::HudSettings keys;
    keys.ToggleKey = {0x76 /* F7 */, false, true, false};
    keys.ZoomInKey = {'I', false, false, true};
    ASSERT_TRUE(Orv::SaveHudSettings(keys));
    mod_.reset();
    StartMod();
    Frame();
    ASSERT_TRUE(MapShown());
    CtrlM();
    EXPECT_TRUE(MapShown());
    PressChord({VK_MENU}, 'I');
    EXPECT_EQ(CaptureWidth(), 7500.0);
    PressChord({VK_LSHIFT}, 0x76);
    EXPECT_FALSE(MapShown());
}
} // namespace
} // namespace OrvTest
