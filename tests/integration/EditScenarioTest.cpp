// The edit scenario played with the built mod: what the screen shows of the HUD's controls, the
// controller's input as the engine holds it, and the state.ini on disk, before the edit mode,
// while values are typed, while LOCK is held and at the end; orvanta-sim's --input scripts
// played from the command line, the extras script among them; and the extras on a 4K screen.
#ifdef ORVANTA_WITH_SIM
#include "SimRun.hpp"
#include "support/EngineFixture.hpp"
#include "widget/Palette.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Input.hpp>
#include <Sim/Screen.hpp>
#include <Sim/World.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace
{
namespace fs = std::filesystem;

// state.ini's (or hud.ini's) keys and values as written, sections aside.
std::map<std::string, std::string> ReadState(const fs::path& modDir, const char* file = "state.ini")
{
    std::map<std::string, std::string> values;
    std::ifstream in(modDir / file, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
    {
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        const auto equals = line.find('=');
        if (equals != std::string::npos)
        {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

// The map's centre in viewport pixels at scale 1: the map sits 23 units under the frame's top.
std::array<double, 2> MapCentre(const nlohmann::json& widget)
{
    const double half = widget["map_size"].get<double>() / 2;
    return {widget["hud"][0].get<double>() + half, widget["hud"][1].get<double>() + 23 + half};
}

bool IsCoordinatesText(const nlohmann::json& text)
{
    return text.is_string() && std::regex_match(text.get<std::string>(), std::regex(R"(X -?\d+\.\d m  Y -?\d+\.\d m)"));
}

// The frames the scenario's steps are done by (the script is timed at 60 frames a second):
// values typed at 365, LOCK held at 420, all done by 440.
constexpr int kTyped = 365;
constexpr int kLockHeld = 420;

class EditScenario : public ::testing::Test
{
  protected:
    void SetUp() override { ORV_SKIP_WITHOUT_SIMULATED_KEYS(); }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // The report of the edit scenario with its pictures and report state taken after
    // pictureFrame (-1: at the end); atPictures runs at that moment.
    nlohmann::json Play(int frames, int pictureFrame, const std::string& engine = "5",
                        const std::function<void(const fs::path&)>& atPictures = {})
    {
        OrvSim::RunOptions options;
        options.library = ORVANTA_MAIN_LIBRARY;
        options.modDir = root_ / ("edit-" + std::to_string(runs_++));
        options.scenario = "edit";
        options.frames = frames;
        options.pictureFrame = pictureFrame;
        options.echoLog = false;
        EXPECT_TRUE(Sim::ParseEngineVersion(engine, options.engine)) << engine;
        if (atPictures)
        {
            options.atPictures = [atPictures, dir = options.modDir] { atPictures(dir); };
        }
        lastModDir_ = options.modDir;
        OrvSim::RunResult result = OrvSim::RunSession(options);
        EXPECT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.report["engine"]["checks_failed"], 0) << result.report["engine"]["failed_checks"].dump();
        return result.report;
    }

    fs::path root_ = fs::temp_directory_path() / ("orvanta-edit-" + std::to_string(std::random_device{}()));
    fs::path lastModDir_;
    int runs_ = 0;
};

TEST_F(EditScenario, TheFrameIsMovedResizedZoomedToggledAndResetAndTheGameGetsItsInputBack)
{
    const nlohmann::json before = Play(50, -1);
    ASSERT_TRUE(before["widget"]["hud"].is_array());
    const std::vector<double> start = before["widget"]["hud"];
    EXPECT_EQ(before["input"]["edit_mode"], false);
    ASSERT_EQ(before["widget"]["controls"].size(), 17u);
    EXPECT_EQ(before["widget"]["controls"][0]["label"], "EDIT");
    for (std::size_t i = 1; i < 17; ++i)
    {
        EXPECT_EQ(before["widget"]["controls"][i]["visible"], false) << "only EDIT shows while locked: " << i;
    }

    for (const std::string engine : {"4", "5"})
    {
        SCOPED_TRACE(engine);
        const nlohmann::json report = Play(600, -1, engine);
        const auto& hud = report["widget"]["hud"];
        ASSERT_TRUE(hud.is_array());
        // Dragged 200 pixels left and 150 down by the map, then the handle 60 down-right.
        EXPECT_EQ(hud, (nlohmann::json{start[0] - 200, start[1] + 150, start[2] + 60, start[3] + 60}));
        EXPECT_EQ(report["widget"]["map_size"], 340);
        EXPECT_EQ(report["widget"]["circular"], false) << "the shape toggled to square";
        const auto& controls = report["widget"]["controls"];
        ASSERT_EQ(controls.size(), 17u);
        EXPECT_EQ(controls[0]["label"], "EDIT");
        EXPECT_EQ(controls[0]["visible"], true);
        EXPECT_EQ(controls[0]["rect"][0], start[0] - 200 + 340 - 38) << "EDIT at the moved map's right edge";
        EXPECT_EQ(controls[1]["visible"], false);
        EXPECT_EQ(report["input"],
                  (nlohmann::json{{"edit_mode", false},
                                  {"typing", 0},
                                  {"cursor_shown", false},
                                  {"click_events", false},
                                  {"mouse_over_events", false},
                                  {"move_ignored", false},
                                  {"look_ignored", false}}))
            << "the game has its input back as it was";

        const auto state = ReadState(lastModDir_);
        EXPECT_EQ(state.at("Size"), "340");
        EXPECT_NE(state.at("PositionX"), "-1");
        EXPECT_NE(state.at("PositionY"), "-1");
        EXPECT_EQ(state.at("Zoom"), "7000") << "\"+\" twice from 8000";
        for (const char* toggle : {"Circular", "ShowAi", "IndoorCameraEnabled", "ShowResources", "ShowQuests", "ShowPois"})
        {
            EXPECT_EQ(state.at(toggle), "0") << toggle << " inverted once from its default";
        }
        EXPECT_EQ(state.at("CaptureFPS"), "60") << "RESET DEFAULTS";
        EXPECT_EQ(state.at("MarkerFPS"), "60");
        EXPECT_EQ(state.at("RenderScale"), "4");
        EXPECT_EQ(report["markers"]["diamonds_shown"], 0) << "AI off leaves no diamonds";
    }
}

TEST_F(EditScenario, TypedValuesAreOnDiskAndOnScreenWhileTheEditModeHoldsTheInput)
{
    std::map<std::string, std::string> state;
    const nlohmann::json report = Play(600, kTyped, "5", [&](const fs::path& dir) { state = ReadState(dir); });
    EXPECT_EQ(state.at("CaptureFPS"), "120");
    EXPECT_EQ(state.at("RenderScale"), "0.5") << "a point typed first replaces the shown 4.00";
    EXPECT_EQ(state.at("MarkerFPS"), "60");
    const auto& controls = report["widget"]["controls"];
    ASSERT_EQ(controls.size(), 17u);
    EXPECT_EQ(controls[0]["label"], "LOCK");
    EXPECT_EQ(controls[9]["label"], "120");
    EXPECT_EQ(controls[11]["label"], "0.50");
    EXPECT_EQ(controls[14]["label"], "N-UP");
    EXPECT_EQ(controls[15]["label"], "XY");
    EXPECT_EQ(controls[16]["label"], "100%");
    // The second row sits under the map, clear of the resize handle at its corner.
    const auto& handle = controls[13]["rect"];
    EXPECT_EQ(controls[14]["rect"][1], handle[1]);
    EXPECT_LT(controls[16]["rect"][0].get<double>() + controls[16]["rect"][2].get<double>(), handle[0].get<double>());
    for (const auto& control : controls)
    {
        EXPECT_EQ(control["visible"], true) << control["label"];
    }
    EXPECT_EQ(report["input"],
              (nlohmann::json{{"edit_mode", true},
                              {"typing", 0},
                              {"cursor_shown", true},
                              {"click_events", true},
                              {"mouse_over_events", true},
                              {"move_ignored", true},
                              {"look_ignored", true}}));
}

TEST_F(EditScenario, LockHeldDownLeavesTheEditModeButKeepsTheInputUntilTheRelease)
{
    bool held = false;
    const nlohmann::json report = Play(600, kLockHeld, "5", [&](const fs::path&) { held = Sim::IsKeyDown(0x01); });
    EXPECT_TRUE(held) << "the button is still down at this frame";
    ASSERT_EQ(report["widget"]["controls"].size(), 17u);
    EXPECT_EQ(report["widget"]["controls"][0]["label"], "EDIT");
    EXPECT_EQ(report["input"]["edit_mode"], false);
    EXPECT_EQ(report["input"]["cursor_shown"], true);
    EXPECT_EQ(report["input"]["move_ignored"], true);
    EXPECT_EQ(report["input"]["look_ignored"], true);
}

#ifndef _WIN32
// orvanta-sim from the command line: its exit status, standard error and report.
class InputScripts : public EditScenario
{
  protected:
    int Run(const std::string& arguments, std::string& errors)
    {
        const fs::path err = root_ / ("run-" + std::to_string(runs_++) + ".err");
        fs::create_directories(root_);
        const std::string command = std::string(ORVANTA_SIM_EXECUTABLE) + " " + arguments + " > /dev/null 2> " + err.string();
        const int status = std::system(command.c_str());
        std::ifstream in(err);
        std::stringstream text;
        text << in.rdbuf();
        errors = text.str();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path Script(const std::string& text)
    {
        fs::create_directories(root_);
        const fs::path path = root_ / ("script-" + std::to_string(runs_++) + ".txt");
        std::ofstream(path) << text;
        return path;
    }

    nlohmann::json Report(const fs::path& path)
    {
        std::ifstream in(path);
        return nlohmann::json::parse(in, nullptr, false);
    }
};

TEST_F(InputScripts, AMalformedLineOrCommandLineStopsTheRunBeforeItsFirstFrameWithStatus2)
{
    const fs::path modDir = root_ / "refused";
    const fs::path script = Script("# click EDIT\n40 mouse 100 100\n40 down left\n42 up lft\n50 tap VK_RETURN\n");
    std::string errors;
    EXPECT_EQ(Run("--frames 60 --mod-dir " + modDir.string() + " --input " + script.string(), errors), 2);
    EXPECT_NE(errors.find("line 4"), std::string::npos) << errors;
    EXPECT_NE(errors.find("42 up lft"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(modDir / "state.ini")) << "no frame played, no mod loaded";

    EXPECT_EQ(Run("--frames 0 --input " + (root_ / "missing.txt").string(), errors), 2);
    EXPECT_NE(errors.find("missing.txt"), std::string::npos) << errors;
    EXPECT_EQ(Run("--frames 0 --scenario nowhere", errors), 2) << "a fault in the command line is a usage error too";
    EXPECT_EQ(Run("--frames 0 --viewport wide", errors), 2);
    EXPECT_EQ(Run("--help", errors), 0);
}

TEST_F(InputScripts, AScriptClicksAControlWhereTheReportSaysItIsOnAnyScenario)
{
    const fs::path first = root_ / "first.json";
    std::string errors;
    ASSERT_EQ(Run("--scenario walk --frames 40 --report " + first.string(), errors), 0) << errors;
    const nlohmann::json rect = Report(first)["widget"]["controls"][0]["rect"];
    ASSERT_TRUE(rect.is_array());
    const double x = rect[0].get<double>() + rect[2].get<double>() / 2;
    const double y = rect[1].get<double>() + rect[3].get<double>() / 2;

    std::ostringstream text;
    text << "40 mouse " << x << " " << y << "  # over EDIT\n40 down left\n42 up left\n";
    const fs::path script = Script(text.str());
    const fs::path report = root_ / "clicked.json";
    const fs::path modDir = root_ / "clicked";
    ASSERT_EQ(Run("--scenario walk --frames 60 --mod-dir " + modDir.string() + " --report " + report.string() + " --input " +
                      script.string(),
                  errors),
              0)
        << errors;
    const nlohmann::json clicked = Report(report);
    EXPECT_EQ(clicked["input"]["edit_mode"], true);
    EXPECT_EQ(clicked["input"]["cursor_shown"], true);
    EXPECT_EQ(clicked["widget"]["controls"][0]["label"], "LOCK");
}


TEST_F(InputScripts, TheExtrasScriptPlaysEveryKeyAndExtraAndLeavesThemOnScreenAndOnDisk)
{
    const fs::path modDir = root_ / "extras";
    const fs::path report = root_ / "extras.json";
    std::string errors;
    ASSERT_EQ(Run("--scenario walk --mod-dir " + modDir.string() + " --report " + report.string() +
                      " --input " ORVANTA_SIM_SCRIPTS "/extras.txt",
                  errors),
              0)
        << errors;
    const nlohmann::json played = Report(report);
    EXPECT_EQ(played["engine"]["checks_failed"], 0) << played["engine"]["failed_checks"].dump();
    // Ctrl+M took the widget and the capture away and brought both back once; M alone and
    // Ctrl+M with another program in front did nothing.
    EXPECT_EQ(played["sessions"], 2);
    EXPECT_EQ(played["capture"]["actors_spawned"], 2);
    EXPECT_EQ(played["capture"]["ortho_width"], 7500.0) << "Ctrl+= twice and Ctrl+- once from 8000";
    EXPECT_EQ(ReadState(modDir).at("Zoom"), "7500");

    const nlohmann::json& extras = played["extras"];
    EXPECT_EQ(extras["hidden"], false);
    EXPECT_EQ(extras["north_up"], true);
    EXPECT_EQ(extras["compass_letters"], true);
    EXPECT_TRUE(IsCoordinatesText(extras["coordinates"])) << extras["coordinates"];
    ASSERT_TRUE(extras["map_opacity"].is_number());
    EXPECT_NEAR(extras["map_opacity"].get<double>(), 0.6, 1e-6) << "100 % → 80 % → 60 %";

    // North-up: N straight above the map's centre and S below it, E right and W left, each
    // 11 units inside the 272-unit picture.
    const nlohmann::json& places = extras["compass_places"];
    ASSERT_EQ(places.size(), 4u) << places;
    const auto [centreX, centreY] = MapCentre(played["widget"]);
    EXPECT_NEAR(places["N"][0].get<double>(), centreX, 1.5);
    EXPECT_NEAR(places["S"][0].get<double>(), centreX, 1.5);
    EXPECT_NEAR(places["E"][1].get<double>(), centreY, 1.5);
    EXPECT_NEAR(places["W"][1].get<double>(), centreY, 1.5);
    EXPECT_EQ(places["S"][1].get<double>() - places["N"][1].get<double>(), 250.0);
    EXPECT_EQ(places["E"][0].get<double>() - places["W"][0].get<double>(), 250.0);
    EXPECT_NEAR((places["N"][1].get<double>() + places["S"][1].get<double>()) / 2, centreY, 1.5);

    // LOCK: the second row went with the rest of the edit controls.
    const nlohmann::json& controls = played["widget"]["controls"];
    ASSERT_EQ(controls.size(), 17u);
    EXPECT_EQ(controls[0]["label"], "EDIT");
    EXPECT_EQ(controls[16]["label"], "60%");
    for (std::size_t i = 14; i < 17; ++i)
    {
        EXPECT_EQ(controls[i]["visible"], false) << controls[i]["label"];
    }
    EXPECT_EQ(played["input"]["edit_mode"], false);

    const auto hud = ReadState(modDir, "hud.ini");
    EXPECT_EQ(hud, (std::map<std::string, std::string>{{"ToggleKey", "Ctrl+M"},
                                                       {"ZoomInKey", "Ctrl+VK_OEM_PLUS"},
                                                       {"ZoomOutKey", "Ctrl+VK_OEM_MINUS"},
                                                       {"Hidden", "0"},
                                                       {"NorthUp", "1"},
                                                       {"CompassLetters", "1"},
                                                       {"Coordinates", "1"},
                                                       {"MapOpacity", "0.6"},
                                                       {"MarkersToRim", "1"},
                                                       {"NearestFirst", "1"},
                                                       {"EdgePins", "1"},
                                                       {"OtherFloors", "dim"}}));
}

TEST_F(InputScripts, AMapHiddenByCtrlMHasNoWidgetNorCaptureAndStartsHiddenNextTime)
{
    const fs::path modDir = root_ / "hidden";
    const fs::path report = root_ / "hidden.json";
    std::string errors;
    const fs::path hide = Script("20 down VK_CONTROL\n21 tap M\n24 up VK_CONTROL\n");
    ASSERT_EQ(Run("--frames 120 --mod-dir " + modDir.string() + " --report " + report.string() + " --input " + hide.string(),
                  errors),
              0)
        << errors;
    nlohmann::json played = Report(report);
    EXPECT_EQ(played["engine"]["checks_failed"], 0) << played["engine"]["failed_checks"].dump();
    EXPECT_EQ(played["extras"], (nlohmann::json{{"hidden", true},
                                                {"north_up", nullptr},
                                                {"compass_letters", nullptr},
                                                {"compass_places", nullptr},
                                                {"coordinates", nullptr},
                                                {"map_opacity", nullptr}}));
    EXPECT_EQ(played["widget"]["in_viewport"], false);
    EXPECT_EQ(played["sessions"], 1);
    EXPECT_EQ(played["capture"]["actors_spawned"], 1);
    EXPECT_EQ(played["capture"]["actors_destroyed"], 1);
    EXPECT_FALSE(played["capture"].contains("ortho_width")) << "no capture component left at the end";
    EXPECT_EQ(ReadState(modDir, "hud.ini").at("Hidden"), "1");

    // The next start reads the choice: nothing is built until Ctrl+M shows the map again.
    const fs::path show = Script("30 down VK_CONTROL\n31 tap M\n34 up VK_CONTROL\n");
    ASSERT_EQ(Run("--frames 90 --picture-frame 25 --mod-dir " + modDir.string() + " --report " + report.string() +
                      " --input " + show.string(),
                  errors),
              0)
        << errors;
    played = Report(report);
    EXPECT_EQ(played["extras"]["hidden"], true) << "hidden from the start, before Ctrl+M";
    EXPECT_EQ(played["sessions"], 1) << "built once Ctrl+M was pressed";
    EXPECT_EQ(ReadState(modDir, "hud.ini").at("Hidden"), "0");
}
#endif

int Srgb(double linear)
{
    const double l = std::clamp(linear, 0.0, 1.0);
    return static_cast<int>(std::lround((l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055) * 255));
}

// A 4K screen (scale 2) with north-up, the letters and the coordinates on, set in hud.ini
// before the start, as a player would.
TEST_F(EditScenario, NorthUpLettersAndCoordinatesShowOnA4KScreen)
{
    const fs::path modDir = root_ / "4k";
    const fs::path shot = root_ / "4k.png";
    fs::create_directories(modDir);
    std::ofstream(modDir / "hud.ini") << "[Hud]\nNorthUp=1\nCoordinates=1\n";
    Sim::RenderTargetImage image;
    OrvSim::RunOptions options;
    options.library = ORVANTA_MAIN_LIBRARY;
    options.modDir = modDir;
    options.frames = 180;
    options.echoLog = false;
    options.viewportWidth = 3840;
    options.viewportHeight = 2160;
    options.screenshot = shot;
    options.atPictures = [&] { Sim::RenderScreen(image); };
    const OrvSim::RunResult result = OrvSim::RunSession(options);
    ASSERT_TRUE(result.ok) << result.error;
    const nlohmann::json& report = result.report;
    EXPECT_EQ(report["engine"]["checks_failed"], 0) << report["engine"]["failed_checks"].dump();
#ifndef _WIN32
    EXPECT_TRUE(fs::exists(shot)) << "the Linux build writes its screenshot";
#endif
    const nlohmann::json& extras = report["extras"];
    EXPECT_EQ(extras["north_up"], true);
    EXPECT_EQ(extras["compass_letters"], true);
    EXPECT_TRUE(IsCoordinatesText(extras["coordinates"])) << extras["coordinates"];
    EXPECT_EQ(extras["map_opacity"], 1.0);
    ASSERT_EQ(image.width, 3840);

    auto pixel = [&](double x, double y) {
        const auto at = (static_cast<std::size_t>(y) * 3840 + static_cast<std::size_t>(x)) * 4;
        return std::array<int, 3>{image.rgba[at], image.rgba[at + 1], image.rgba[at + 2]};
    };
    auto near = [](const std::array<int, 3>& seen, const std::array<int, 3>& wanted, int tolerance) {
        for (int c = 0; c < 3; ++c)
        {
            if (std::abs(seen[c] - wanted[c]) > tolerance)
            {
                return false;
            }
        }
        return true;
    };
    // Pixels of a colour in a box of pixels.
    auto count = [&](double left, double top, int width, int height, const std::array<int, 3>& colour) {
        int found = 0;
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                found += near(pixel(left + x, top + y), colour, 30) ? 1 : 0;
            }
        }
        return found;
    };
    auto dark = [&](double x, double y) { return near(pixel(x, y), {0, 0, 0}, 70); };
    namespace Palette = Orv::Palette;
    const std::array<int, 3> caption{Srgb(Palette::kCaptionText.r), Srgb(Palette::kCaptionText.g), Srgb(Palette::kCaptionText.b)};
    const std::array<int, 3> north{Srgb(Palette::kCompassNorth.r), Srgb(Palette::kCompassNorth.g), Srgb(Palette::kCompassNorth.b)};

    // The letters' and the coordinates' glyphs only where the screen draws texts (the Windows
    // build has no font renderer); their dark discs and backdrop everywhere.
    const bool glyphs = Sim::ScreenDrawsText();

    // Each letter in its colour on its dark 16-unit (32-pixel) disc, N in red, the others in
    // the captions' colour; twice the full-HD places, N above S.
    const nlohmann::json& places = extras["compass_places"];
    ASSERT_EQ(places.size(), 4u) << places;
    EXPECT_EQ(places["S"][1].get<double>() - places["N"][1].get<double>(), 500.0);
    for (const char* letter : {"N", "E", "S", "W"})
    {
        SCOPED_TRACE(letter);
        const double x = places[letter][0].get<double>();
        const double y = places[letter][1].get<double>();
        const bool isNorth = std::string(letter) == "N";
        const int own = count(x - 16, y - 16, 32, 32, isNorth ? north : caption);
        // A marker may peek out from under a disc, in any colour.
        if (glyphs)
        {
            EXPECT_GT(own, 60);
            EXPECT_GT(own, 2 * count(x - 16, y - 16, 32, 32, isNorth ? caption : north));
        }
        EXPECT_TRUE(dark(x, y + 13)) << "the disc below the letter";
        EXPECT_TRUE(dark(x - 13, y)) << "the disc beside the letter";
    }

    // The coordinates under the locked map: 3 units below it, 280 × 16 units, text on dark.
    const nlohmann::json& hud = report["widget"]["hud"];
    const double left = hud[0].get<double>() * 2;
    const double top = (hud[1].get<double>() + 23 + 280 + 3) * 2;
    if (glyphs)
    {
        EXPECT_GT(count(left, top, 560, 32, caption), 200);
    }
    EXPECT_TRUE(dark(left + 4, top + 16)) << "the backdrop left of the text";
    EXPECT_EQ(count(left, top + 36, 560, 32, caption), 0) << "nothing below it";
}
} // namespace
#endif
