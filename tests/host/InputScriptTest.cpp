// orvanta-sim's input: the script's reading (events by frame, the first malformed line named
// with its number and text), its playing through the engine's mouse, keys and window in
// front, and the report's "widget.controls" and "input" read off a hand-built HUD as the
// screen draws it.
#ifdef ORVANTA_WITH_SIM
#include "InputReport.hpp"
#include "InputScript.hpp"
#include "WidgetReport.hpp"

#include "support/EngineFixture.hpp"
#include "support/HandBuiltWidgets.hpp"

#include <Sim/Input.hpp>
#include <Sim/Output.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;
using Kind = OrvSim::InputEvent::Kind;

struct Event
{
    int frame;
    Kind kind;
    int key;
    double x, y;
    Sim::Foreground window = Sim::Foreground::Game;
    bool operator==(const Event&) const = default;
};

std::vector<Event> Events(const OrvSim::InputScript& script)
{
    std::vector<Event> events;
    for (const OrvSim::InputEvent& e : script)
    {
        events.push_back({e.frame, e.kind, e.key, e.x, e.y, e.window});
    }
    return events;
}

TEST(InputScript, ReadsEveryEventByFrameKeepingTheScriptsOrderWithinAFrame)
{
    const std::string script = "# the mouse first\n"
                               "30 mouse 100.5 200   # over the map\n"
                               "\n"
                               "   \t\n"
                               "10 tap VK_RETURN\n"
                               "11\tdown left\n"
                               "11 up 0x41\n"
                               "5 mouse none\r\n"
                               "11 down 7\n"
                               "12 up Z#no space before the comment\n"
                               "0 tap VK_NUMPAD9";
    OrvSim::InputScript read;
    OrvSim::ScriptError error;
    ASSERT_TRUE(OrvSim::ParseInputScript(script, read, error)) << error.line << ": " << error.reason;
    EXPECT_EQ(Events(read), (std::vector<Event>{{0, Kind::KeyDown, 0x69, 0, 0},
                                                {1, Kind::KeyUp, 0x69, 0, 0},
                                                {5, Kind::MouseNone, 0, 0, 0},
                                                {10, Kind::KeyDown, 0x0D, 0, 0},
                                                {11, Kind::KeyUp, 0x0D, 0, 0},
                                                {11, Kind::KeyDown, 0x01, 0, 0},
                                                {11, Kind::KeyUp, 0x41, 0, 0},
                                                {11, Kind::KeyDown, '7', 0, 0},
                                                {12, Kind::KeyUp, 'Z', 0, 0},
                                                {30, Kind::MouseAt, 0, 100.5, 200}}));

    ASSERT_TRUE(OrvSim::ParseInputScript("# nothing to play\n\n", read, error));
    EXPECT_TRUE(read.empty());
}

TEST(InputScript, ReadsTheWindowInFrontAndSidedModifiers)
{
    const std::string script = "4 focus none\n"
                               "1 focus other  # another program\n"
                               "30 down VK_LCONTROL\n"
                               "31 tap M\n"
                               "2 focus console\n"
                               "3\tfocus\tgame\n"
                               "32 up VK_RCONTROL\n"
                               "32 down VK_RMENU\n"
                               "32 down VK_LSHIFT\n";
    OrvSim::InputScript read;
    OrvSim::ScriptError error;
    ASSERT_TRUE(OrvSim::ParseInputScript(script, read, error)) << error.line << ": " << error.reason;
    using W = Sim::Foreground;
    EXPECT_EQ(Events(read), (std::vector<Event>{{1, Kind::Focus, 0, 0, 0, W::OtherProgram},
                                                {2, Kind::Focus, 0, 0, 0, W::GameConsole},
                                                {3, Kind::Focus, 0, 0, 0, W::Game},
                                                {4, Kind::Focus, 0, 0, 0, W::None},
                                                {30, Kind::KeyDown, 0xA2, 0, 0},
                                                {31, Kind::KeyDown, 'M', 0, 0},
                                                {32, Kind::KeyUp, 'M', 0, 0},
                                                {32, Kind::KeyUp, 0xA3, 0, 0},
                                                {32, Kind::KeyDown, 0xA5, 0, 0},
                                                {32, Kind::KeyDown, 0xA0, 0, 0}}));
}

TEST(InputScript, TheFirstMalformedLineIsNamedByNumberAndTextAndNothingIsKept)
{
    const struct
    {
        std::string script;
        int line;
        std::string text;
        std::string reason;
    } cases[] = {
        {"x mouse 1 2", 1, "x mouse 1 2", "frame"},
        {"-1 tap A", 1, "-1 tap A", "frame"},
        {"1.5 tap A", 1, "1.5 tap A", "frame"},
        {"99999999999 tap A", 1, "99999999999 tap A", "frame"},
        {"2147483647 tap A", 1, "2147483647 tap A", "frame"},
        {"3", 1, "3", "no event"},
        {"3 click left", 1, "3 click left", "unknown event \"click\""},
        {"3 tap", 1, "3 tap", "one key"},
        {"3 down A B", 1, "3 down A B", "one key"},
        {"3 up VK_NOPE", 1, "3 up VK_NOPE", "unknown key \"VK_NOPE\""},
        {"3 tap a", 1, "3 tap a", "unknown key \"a\""},
        {"3 tap 0x100", 1, "3 tap 0x100", "unknown key"},
        {"3 mouse 10", 1, "3 mouse 10", "X Y or none"},
        {"3 mouse 10 20 30", 1, "3 mouse 10 20 30", "X Y or none"},
        {"3 mouse none 5", 1, "3 mouse none 5", "none takes nothing"},
        {"3 mouse ten 20", 1, "3 mouse ten 20", "numbers"},
        {"3 mouse 10 20px", 1, "3 mouse 10 20px", "numbers"},
        {"3 mouse nan 20", 1, "3 mouse nan 20", "numbers"},
        {"3 mouse 10 inf", 1, "3 mouse 10 inf", "numbers"},
        {"# a comment\n\n1 tap A\r\n2 tup A  # typo\n3 tap Q\n", 4, "2 tup A  # typo", "unknown event \"tup\""},
        {"1 tap A\n2 tap B\n3 tap C\n4 mouse 1 2 3\n5 nope\n", 4, "4 mouse 1 2 3", "X Y or none"},
        {"3 focus", 1, "3 focus", "one window: game, console, other or none"},
        {"3 focus game other", 1, "3 focus game other", "one window"},
        {"3 focus Game", 1, "3 focus Game", "one window"},
        {"3 focus chrome", 1, "3 focus chrome", "one window"},
        {"3 focus 0", 1, "3 focus 0", "one window"},
        {"x focus game", 1, "x focus game", "frame"},
        {"1 focus other\n2 focused game\n", 2, "2 focused game", "unknown event \"focused\""},
        {"3 tap VK_LCTRL", 1, "3 tap VK_LCTRL", "unknown key \"VK_LCTRL\""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.script);
        OrvSim::InputScript read{{7, Kind::MouseNone}};
        OrvSim::ScriptError error;
        EXPECT_FALSE(OrvSim::ParseInputScript(c.script, read, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(error.text, c.text);
        EXPECT_NE(error.reason.find(c.reason), std::string::npos) << error.reason;
        ASSERT_EQ(read.size(), 1u) << "a script that fails leaves what the caller had";
        EXPECT_EQ(read[0].frame, 7);
    }
}

class InputPlaying : public OrvTest::EngineFixture
{
};

TEST_F(InputPlaying, EachEventReachesTheEnginesMouseAndKeysBeforeItsFrame)
{
    OrvSim::InputScript script;
    OrvSim::ScriptError error;
    ASSERT_TRUE(OrvSim::ParseInputScript("0 mouse 10 20\n2 tap VK_RETURN\n3 down left\n3 mouse none\n"
                                         "5 up left\n5 mouse 30 40\n9 down 0x41\n",
                                         script, error));
    OrvSim::InputPlayer player(script);
    const auto mouse = [] { return Sim::CurrentMousePosition(); };

    player.BeforeFrame(0);
    EXPECT_TRUE(mouse().overViewport);
    EXPECT_EQ(mouse().x, 10);
    EXPECT_EQ(mouse().y, 20);
    EXPECT_FALSE(Sim::IsKeyDown(0x0D));
    player.BeforeFrame(1);
    EXPECT_FALSE(Sim::IsKeyDown(0x0D));
    player.BeforeFrame(2);
    EXPECT_TRUE(Sim::IsKeyDown(0x0D)) << "a tap is down for its own frame";
    player.BeforeFrame(3);
    EXPECT_FALSE(Sim::IsKeyDown(0x0D)) << "and up the next";
    EXPECT_TRUE(Sim::IsKeyDown(0x01));
    EXPECT_FALSE(mouse().overViewport);
    player.BeforeFrame(4);
    EXPECT_TRUE(Sim::IsKeyDown(0x01)) << "held until its release";
    player.BeforeFrame(5);
    EXPECT_FALSE(Sim::IsKeyDown(0x01));
    EXPECT_EQ(mouse().x, 30);
    EXPECT_EQ(mouse().y, 40);
    player.BeforeFrame(8);
    EXPECT_FALSE(Sim::IsKeyDown(0x41)) << "not before its frame";
    player.BeforeFrame(20);
    EXPECT_TRUE(Sim::IsKeyDown(0x41)) << "a frame not played on its own still plays its events";
}

TEST_F(InputPlaying, AFocusLineMovesTheDesktopsWindowInFrontFromItsFrameOn)
{
    OrvSim::InputScript script;
    OrvSim::ScriptError error;
    ASSERT_TRUE(OrvSim::ParseInputScript("2 focus other\n2 down VK_LCONTROL\n4 focus none\n6 focus console\n8 focus game\n",
                                         script, error));
    OrvSim::InputPlayer player(script);
    player.BeforeFrame(1);
    EXPECT_EQ(Sim::CurrentForeground(), Sim::Foreground::Game) << "the game starts in front";
    player.BeforeFrame(2);
    EXPECT_EQ(Sim::CurrentForeground(), Sim::Foreground::OtherProgram);
    EXPECT_TRUE(Sim::IsKeyDown(0x11)) << "the left Ctrl reads as Ctrl, with another window in front too";
    player.BeforeFrame(3);
    EXPECT_EQ(Sim::CurrentForeground(), Sim::Foreground::OtherProgram) << "until the next focus line";
    player.BeforeFrame(4);
    EXPECT_EQ(Sim::CurrentForeground(), Sim::Foreground::None);
    player.BeforeFrame(6);
    EXPECT_EQ(Sim::CurrentForeground(), Sim::Foreground::GameConsole);
    player.BeforeFrame(8);
    EXPECT_EQ(Sim::CurrentForeground(), Sim::Foreground::Game);
}

// ---- the report's look at the HUD's controls ----

constexpr uint8 kShown = 0;
constexpr uint8 kCollapsed = 1;
constexpr std::size_t kControls = 17;
const wchar_t* const kCaptions[kControls] = {L"LOCK", L"+",    L"-",    L"AI",  L"O",    L"IN",
                                             L"RES",  L"QUEST", L"POI", L"60",  L"60",   L"4.00",
                                             L"RESET DEFAULTS", L"", L"N-UP", L"XY", L"100%"};

UObject* Make(const std::wstring& name) { return OrvTest::MakeWidget(name); }

UObject* Add(UObject* panel, const wchar_t* function, UObject* child) { return OrvTest::AddToPanel(panel, function, child); }

void Visibility(UObject* widget, uint8 visibility)
{
    *static_cast<uint8*>(Sim::FindMemberByPath(widget, L"Visibility").address) = visibility;
}

void Caption(UObject* text, const std::wstring& value) { Sim::WriteText(Sim::FindMemberByPath(text, L"Text").address, value); }

// A point-anchored canvas slot at x, y of size w × h (margins are floats on every engine).
void Place(UObject* slot, float x, float y, float w, float h)
{
    const float offsets[4] = {x, y, w, h};
    std::memcpy(Sim::FindMemberByPath(slot, L"LayoutData.Offsets").address, offsets, sizeof(offsets));
}

// The mod's HUD as the screen gets it: a root canvas holding the HUD canvas at (100, 50), and
// in it the map's size box, the performance panel (a framed border), a caption, the
// coordinates (a border holding a text block), and the seventeen controls, each a border
// framing a border with a caption (none on the resize handle). Control i sits at (10 i, 5),
// 8 × 10 units; the controls in `collapsed` are collapsed.
struct Hud
{
    std::vector<UObject*> frames;
    std::vector<UObject*> captions;
    UObject* map = nullptr;
};

Hud BuildHud(const std::vector<std::size_t>& collapsed = {}, std::size_t controls = kControls)
{
    Hud hud;
    UObject* root = Make(L"CanvasPanel");
    UObject* canvas = Make(L"CanvasPanel");
    Place(Add(root, L"AddChildToCanvas", canvas), 100, 50, 400, 400);
    hud.map = Make(L"SizeBox");
    Place(Add(canvas, L"AddChildToCanvas", hud.map), 0, 23, 280, 280);
    UObject* panel = Make(L"Border");
    Add(panel, L"SetContent", Make(L"Border"));
    Place(Add(canvas, L"AddChildToCanvas", panel), -200, 23, 196, 199);
    UObject* heading = Make(L"TextBlock");
    Caption(heading, L"PERFORMANCE");
    Add(canvas, L"AddChildToCanvas", heading);
    UObject* coordinates = Make(L"Border");
    UObject* coordinatesText = Make(L"TextBlock");
    Caption(coordinatesText, L"X 1.0 m  Y 2.0 m");
    Add(coordinates, L"SetContent", coordinatesText);
    Place(Add(canvas, L"AddChildToCanvas", coordinates), 0, 330, 280, 20);
    for (std::size_t i = 0; i < controls; ++i)
    {
        UObject* frame = Make(L"Border");
        UObject* fill = Make(L"Border");
        UObject* caption = nullptr;
        if (kCaptions[i][0] != L'\0')
        {
            caption = Make(L"TextBlock");
            Caption(caption, kCaptions[i]);
            Add(fill, L"SetContent", caption);
        }
        Add(frame, L"SetContent", fill);
        if (std::find(collapsed.begin(), collapsed.end(), i) != collapsed.end())
        {
            Visibility(frame, kCollapsed);
        }
        Place(Add(canvas, L"AddChildToCanvas", frame), 10.0f * static_cast<float>(i), 5, 8, 10);
        hud.frames.push_back(frame);
        hud.captions.push_back(caption);
    }
    OrvTest::ShowInViewport(root);
    return hud;
}

// The engine's own setters, as the mod calls them once the HUD is shown.
void SetText(UObject* text, const std::wstring& value)
{
    UFunction* f = OrvTest::FunctionOf(text, L"SetText");
    Sim::CallScriptFunction(text, f, [&](uint8* parms) {
        Sim::WriteText(parms + Sim::FindPropertyUncounted(f, L"InText")->GetOffset_Internal(), value);
    });
}

void SetVisibility(UObject* widget, uint8 visibility)
{
    UFunction* f = OrvTest::FunctionOf(widget, L"SetVisibility");
    Sim::CallScriptFunction(widget, f, [&](uint8* parms) {
        parms[Sim::FindPropertyUncounted(f, L"InVisibility")->GetOffset_Internal()] = visibility;
    });
}

class ControlsReport : public OrvTest::EngineFixture
{
};

TEST_F(ControlsReport, ListsTheSeventeenControlsInPixelsWithTheirCaptionsAsDrawn)
{
    Sim::SetViewportScale(2.0f);
    BuildHud({2, 13});
    const nlohmann::json controls = OrvSim::DescribeControls(OrvSim::ControlsOnScreen());
    ASSERT_EQ(controls.size(), kControls) << "the performance panel, also a framed border, is no control";
    for (std::size_t i = 0; i < kControls; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(controls[i]["label"], Sim::ToUtf8(kCaptions[i]));
        const bool shown = i != 2 && i != 13;
        EXPECT_EQ(controls[i]["visible"], shown);
        if (shown)
        {
            // (100 + 10 i, 50 + 5) units at two pixels a unit.
            EXPECT_EQ(controls[i]["rect"], (nlohmann::json{200.0 + 20.0 * static_cast<double>(i), 110.0, 16.0, 20.0}));
        }
    }
    const auto map = OrvSim::MapOnScreen();
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ((std::vector<double>{map->x, map->y, map->width, map->height}), (std::vector<double>{200, 146, 560, 560}));
}

TEST_F(ControlsReport, AHudWithoutItsControlsListsNone)
{
    BuildHud({}, kControls - 1);
    EXPECT_TRUE(OrvSim::ControlsOnScreen().empty()) << "the panel and sixteen framed borders are not the controls";
    EXPECT_EQ(OrvSim::DescribeInput()["edit_mode"], false);
    EXPECT_EQ(OrvSim::DescribeInput()["typing"], 0);
}

TEST_F(ControlsReport, TheEditModeAndTheTypedFieldAreWhatTheScreenShows)
{
    Hud hud = BuildHud({1});
    EXPECT_EQ(OrvSim::DescribeInput()["edit_mode"], false) << "\"+\" is hidden outside the edit mode";
    EXPECT_EQ(OrvSim::DescribeInput()["typing"], 0);

    SetVisibility(hud.frames[1], kShown);
    SetText(hud.captions[10], L"12_");
    nlohmann::json input = OrvSim::DescribeInput();
    EXPECT_EQ(input["edit_mode"], true);
    EXPECT_EQ(input["typing"], 2);
    EXPECT_EQ(OrvSim::DescribeControls(OrvSim::ControlsOnScreen())[10]["label"], "12_");

    SetText(hud.captions[10], L"120");
    SetText(hud.captions[11], L"0._");
    EXPECT_EQ(OrvSim::DescribeInput()["typing"], 3);
    SetVisibility(hud.frames[11], kCollapsed);
    EXPECT_EQ(OrvSim::DescribeInput()["typing"], 0) << "a field the screen does not draw is not being typed";
    SetText(hud.captions[9], L"_");
    EXPECT_EQ(OrvSim::DescribeInput()["typing"], 1);
}

TEST_F(ControlsReport, TheControllersInputIsReadFromTheEngineAndNullWithoutAPlayer)
{
    BuildHud();
    nlohmann::json input = OrvSim::DescribeInput();
    for (const char* key : {"cursor_shown", "click_events", "mouse_over_events", "move_ignored", "look_ignored"})
    {
        EXPECT_EQ(input[key], nullptr) << key;
    }

    UWorld* world = Sim::CreateWorld(L"Field");
    UObject* controller = Sim::EnterLocalPlayer(world).controller;
    input = OrvSim::DescribeInput();
    for (const char* key : {"cursor_shown", "click_events", "mouse_over_events", "move_ignored", "look_ignored"})
    {
        EXPECT_EQ(input[key], false) << key;
    }
    Sim::IgnoreInput(controller, true, false);
    Sim::IgnoreInput(controller, true, true);
    input = OrvSim::DescribeInput();
    EXPECT_EQ(input["move_ignored"], true);
    EXPECT_EQ(input["look_ignored"], true);
}
} // namespace
#endif
