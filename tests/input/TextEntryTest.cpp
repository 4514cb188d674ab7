// Typing a performance value as a player does, one key per engine frame: what the field shows
// while typing, the edit rules, and what an accepted value does to the engine and to state.ini.
#include "input/InputFixture.hpp"

#include "widget/Controls.hpp"

#include <Sim/Calls.hpp>

#include <gtest/gtest.h>

#include <string>

namespace OrvTest
{
namespace
{
class TextEntry : public InputFixture
{
  protected:
    void SetUp() override
    {
        InputFixture::SetUp();
        Sim::AdvanceClock(7 * Orv::kSecond);
        StartHud();
        EnterEditMode();
    }

    std::wstring Field(std::size_t control) const { return Caption(control); }
    // The mouse parked where no control is, so clicks elsewhere are deliberate.
    static void ParkMouse() { MouseTo({5, 5}); }
};

TEST_F(TextEntry, TheFirstDigitReplacesTheShownValueAndEnterAppliesIt)
{
    Click(Orv::kCaptureRateField);
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"60_");
    EXPECT_EQ(BrushColourCalled(Widget().controls[Orv::kCaptureRateField].fill), Look::kHover);
    ParkMouse();
    Frame();
    EXPECT_EQ(BrushColourCalled(Widget().controls[Orv::kCaptureRateField].fill), Look::kActive) << "typed into";
    Type("1");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"1_");
    Type("20");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"120_");
    EXPECT_EQ(SavedSetting("CaptureFPS"), "60") << "nothing typed is saved before Enter";
    Tap(VK_RETURN);
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"120");
    EXPECT_EQ(SavedSetting("CaptureFPS"), "120");
    EXPECT_EQ(SavedSetting("MarkerFPS"), "60");
    EXPECT_EQ(BrushColourCalled(Widget().controls[Orv::kCaptureRateField].fill), Look::kControlDarkFill);
    // Typing is over: digits go to the game alone.
    Type("5");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"120");
}

// Keys typed into another program in front of the game reach no field, Enter included; a key
// held as the game comes back is no press, and typing goes on once the game is in front.
TEST_F(TextEntry, KeysTypedWhileAnotherProgramIsInFrontReachNoField)
{
    Click(Orv::kCaptureRateField);
    ParkMouse();
    Type("2");
    for (Sim::Foreground elsewhere : {Sim::Foreground::OtherProgram, Sim::Foreground::GameConsole, Sim::Foreground::None})
    {
        Sim::SetForegroundWindow(elsewhere);
        Type("15");
        Tap(VK_RETURN);
        EXPECT_EQ(Field(Orv::kCaptureRateField), L"2_");
        EXPECT_EQ(SavedSetting("CaptureFPS"), "60");
    }
    Sim::SetKeyDown('7', true);
    Frame();
    Sim::SetForegroundWindow(Sim::Foreground::Game);
    Frame();
    Sim::SetKeyDown('7', false);
    Frame();
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"2_") << "held since another program had the keys";
    Type("5");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("CaptureFPS"), "25");
}

TEST_F(TextEntry, KeypadDigitsCountAndADigitOnBothKeysInOneFrameGoesInOnce)
{
    Click(Orv::kMarkerRateField);
    Tap(VK_NUMPAD7);
    Sim::SetKeyDown('3', true);
    Sim::SetKeyDown(VK_NUMPAD3, true);
    Frame();
    Sim::SetKeyDown('3', false);
    Sim::SetKeyDown(VK_NUMPAD3, false);
    Frame();
    EXPECT_EQ(Field(Orv::kMarkerRateField), L"73_");
    // Held down, a key is one press.
    Sim::SetKeyDown('9', true);
    Frame();
    Frame();
    Frame();
    Sim::SetKeyDown('9', false);
    Frame();
    EXPECT_EQ(Field(Orv::kMarkerRateField), L"739_");
    // Keys go in ascending digit order within one frame.
    Sim::SetKeyDown('8', true);
    Sim::SetKeyDown(VK_NUMPAD1, true);
    Frame();
    Sim::SetKeyDown('8', false);
    Sim::SetKeyDown(VK_NUMPAD1, false);
    Frame();
    EXPECT_EQ(Field(Orv::kMarkerRateField), L"73918_");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("MarkerFPS"), "240") << "73918 is limited to 240";
}

TEST_F(TextEntry, AKeyHeldAsTypingStartsIsNotAPress)
{
    Sim::SetKeyDown('4', true);
    Frame();
    Click(Orv::kCaptureRateField);
    Frame();
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"60_");
    Sim::SetKeyDown('4', false);
    Frame();
    Type("4");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"4_");
}

TEST_F(TextEntry, TheRenderScaleTakesOnePointAndAPointFirstShowsAZero)
{
    const auto resizes = Sim::CallCount(L"ResizeRenderTarget2D");
    Click(Orv::kRenderScaleField);
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"4.00_");
    Type(".");
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"0._");
    Tap(VK_DECIMAL);
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"0._");
    Type("5");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("RenderScale"), "0.5");
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"0.50");
    // ceil(0.5 × 280 / 64) × 64
    EXPECT_EQ(Sim::CallCount(L"ResizeRenderTarget2D"), resizes + 1);
    EXPECT_EQ(Sim::LastCallOf(L"ResizeRenderTarget2D").Number(L"Width"), 192.0);

    // The keypad's point as well, after digits.
    Click(Orv::kRenderScaleField);
    Type("2");
    Tap(VK_DECIMAL);
    Type("5");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("RenderScale"), "2.5");
}

TEST_F(TextEntry, TheRatesTakeNoPoint)
{
    Click(Orv::kMarkerRateField);
    Type("3.5");
    EXPECT_EQ(Field(Orv::kMarkerRateField), L"35_");
    // Keys next to the digits' codes are no digits.
    Tap(0x3A);
    Tap(VK_MULTIPLY);
    EXPECT_EQ(Field(Orv::kMarkerRateField), L"35_");
    Tap(VK_OEM_PERIOD);
    Tap(VK_DECIMAL);
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("MarkerFPS"), "35");
}

TEST_F(TextEntry, EraseEmptiesTheReplacedValueThenTakesOneCharacterAtATime)
{
    Click(Orv::kCaptureRateField);
    Tap(VK_BACK);
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"_") << "the shown value counted as selected";
    Type("123");
    Tap(VK_BACK);
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"12_");
    Tap(VK_DELETE);
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"1_");
    // Both at once erase one.
    Sim::SetKeyDown(VK_BACK, true);
    Sim::SetKeyDown(VK_DELETE, true);
    Frame();
    Sim::SetKeyDown(VK_BACK, false);
    Sim::SetKeyDown(VK_DELETE, false);
    Frame();
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"_");
    Tap(VK_BACK);
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"_");
    ForgetSavedFile();
    Tap(VK_RETURN);
    EXPECT_FALSE(Saved()) << "Enter on nothing changes nothing";
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"60");
}

TEST_F(TextEntry, EscapeCancelsAndALonePointIsNoNumber)
{
    Click(Orv::kCaptureRateField);
    Type("99");
    ForgetSavedFile();
    Tap(VK_ESCAPE);
    EXPECT_FALSE(Saved());
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"60");
    Tap(VK_RETURN);
    EXPECT_FALSE(Saved()) << "no longer typing";

    Click(Orv::kRenderScaleField);
    Tap(VK_BACK);
    Type(".");
    Tap(VK_BACK);
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"0_");
    Tap(VK_BACK);
    Type(".");
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"0._");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("RenderScale"), "0.25") << "0. is a number: 0, limited to 0.25";
}

TEST_F(TextEntry, AtMostFifteenCharactersOfWhichALongValueShowsItsLast)
{
    Click(Orv::kRenderScaleField);
    Type("1234567890123");
    Type(".");
    Type("45");
    // Ten digits and the caret fill the 96-unit field; the latest typed stay in view.
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"67890123.4_");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("RenderScale"), "4");

    // A point still fits as the fifteenth character; a digit after it does not (0.5 would stay
    // 0.5, 000000000000005 would be limited to 4).
    Click(Orv::kRenderScaleField);
    Type("00000000000000");
    Type(".");
    Type("5");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("RenderScale"), "0.25");

    Click(Orv::kCaptureRateField);
    Type("000000000000001");
    Type("2");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"0000000001_");
    Tap(VK_BACK);
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"0000000000_") << "the dropped digit left nothing behind";
    Type("1");
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting("CaptureFPS"), "1");
}

struct Limit
{
    std::size_t field;
    const char* typed;
    const char* key;
    const char* saved;
    const wchar_t* shown;
};

void PrintTo(const Limit& limit, std::ostream* out) { *out << limit.key << " typed " << limit.typed; }

class TextEntryLimits : public TextEntry, public ::testing::WithParamInterface<Limit>
{
};

TEST_P(TextEntryLimits, ValuesAreLimitedAndRatesRounded)
{
    const Limit& limit = GetParam();
    Click(limit.field);
    Type(limit.typed);
    Tap(VK_RETURN);
    EXPECT_EQ(SavedSetting(limit.key), limit.saved);
    EXPECT_EQ(Field(limit.field), limit.shown);
}

INSTANTIATE_TEST_SUITE_P(Values, TextEntryLimits,
                         ::testing::Values(Limit{Orv::kCaptureRateField, "0", "CaptureFPS", "1", L"1"},
                                           Limit{Orv::kCaptureRateField, "241", "CaptureFPS", "240", L"240"},
                                           Limit{Orv::kMarkerRateField, "240", "MarkerFPS", "240", L"240"},
                                           Limit{Orv::kMarkerRateField, "1", "MarkerFPS", "1", L"1"},
                                           Limit{Orv::kRenderScaleField, "9", "RenderScale", "4", L"4.00"},
                                           Limit{Orv::kRenderScaleField, ".1", "RenderScale", "0.25", L"0.25"},
                                           Limit{Orv::kRenderScaleField, ".26", "RenderScale", "0.26", L"0.26"},
                                           Limit{Orv::kRenderScaleField, "1.2345", "RenderScale", "1.2345", L"1.23"}),
                         [](const auto& limit) { return "Case" + std::to_string(limit.index); });

TEST_F(TextEntry, AClickElsewhereAcceptsTheTypedValue)
{
    // On the map: the value is taken and the frame grabbed in the same press.
    const Rect hud = Hud();
    Click(Orv::kCaptureRateField);
    Type("30");
    const Point start = OnMap();
    MouseTo(start);
    Press();
    EXPECT_EQ(SavedSetting("CaptureFPS"), "30");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"30");
    MouseTo({start.x - 40, start.y + 30});
    Frame();
    Release();
    EXPECT_EQ(Hud().x, hud.x - 40);
    EXPECT_EQ(Hud().y, hud.y + 30);

    // On another field: the first is taken, the second starts from its own value.
    Click(Orv::kCaptureRateField);
    Type("45");
    Click(Orv::kMarkerRateField);
    EXPECT_EQ(SavedSetting("CaptureFPS"), "45");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"45");
    EXPECT_EQ(Field(Orv::kMarkerRateField), L"60_");

    // On its own field: typing starts over and what was typed is dropped.
    Type("7");
    Click(Orv::kMarkerRateField);
    EXPECT_EQ(Field(Orv::kMarkerRateField), L"60_");
    EXPECT_EQ(SavedSetting("MarkerFPS"), "60");

    // On LOCK: the value is taken as the edit mode ends.
    Type("50");
    Click(Orv::kEditButton);
    EXPECT_EQ(SavedSetting("MarkerFPS"), "50");
    EXPECT_FALSE(Input().showMouseCursor);
}

TEST_F(TextEntry, ResetDefaultsWhileTypingTakesTheTypedValueFirst)
{
    Click(Orv::kRenderScaleField);
    Type("2");
    const auto resizes = Sim::CallCount(L"ResizeRenderTarget2D");
    Click(Orv::kResetButton);
    // 2 × 280 → 576 first, then back to 4 × 280 → 1152.
    EXPECT_EQ(Sim::CallCount(L"ResizeRenderTarget2D"), resizes + 2);
    EXPECT_EQ(Sim::LastCallOf(L"ResizeRenderTarget2D").Number(L"Width"), 1152.0);
    EXPECT_EQ(SavedSetting("RenderScale"), "4");
    EXPECT_EQ(Field(Orv::kRenderScaleField), L"4.00");

    Click(Orv::kCaptureRateField);
    Type("12");
    Tap(VK_RETURN);
    Click(Orv::kResetButton);
    EXPECT_EQ(SavedSetting("CaptureFPS"), "60");
    EXPECT_EQ(Field(Orv::kCaptureRateField), L"60");
}

TEST_F(TextEntry, ANewRateTakesEffectOnTheNextFrame)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    UObject* creature = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelAICharacter", {.x = 600, .y = 300, .z = 100});
    // One capture and one marker update a second, then a third of a second into that period
    // faster rates: the next of each is due at once rather than when the slow period ends.
    Click(Orv::kCaptureRateField);
    Type("1");
    Tap(VK_RETURN);
    Click(Orv::kMarkerRateField);
    Type("1");
    Tap(VK_RETURN);
    FramesFor(2 * Orv::kSecond);
    UObject* diamond = Session().markers.diamondSlots[0].slot;
    ASSERT_GT(Sim::CallCount(diamond, L"SetPosition"), 0u);

    Click(Orv::kCaptureRateField);
    Type("30");
    const auto captures = Sim::Observations().captureScenes;
    Tap(VK_RETURN);
    EXPECT_EQ(Sim::Observations().captureScenes, captures + 1);

    Click(Orv::kMarkerRateField);
    Type("20");
    // Moved, so that the update sends its diamond a new place.
    Sim::SetActorPlacement(creature, {.x = 700, .y = 300, .z = 100});
    const auto positions = Sim::CallCount(diamond, L"SetPosition");
    Tap(VK_RETURN);
    EXPECT_EQ(Sim::CallCount(diamond, L"SetPosition"), positions + 1);
}
} // namespace
} // namespace OrvTest
