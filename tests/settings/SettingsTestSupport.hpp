// Shared pieces of the settings tests: a private temporary folder per test, whole-file
// reads and writes, and the file as it must be written with every default.
#pragma once

#include "settings/HudFile.hpp"
#include "settings/SettingsFile.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <clocale>
#include <cwchar>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>

#include <unistd.h>

namespace Orv
{
    // A record that differs in a test shows as the lines it would be written as.
    inline void PrintTo(const ModSettings& settings, std::ostream* out)
    {
        std::string text = FormatSettingsText(settings);
        for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.replace(at, 2, " ");
        *out << text;
    }

    inline void PrintTo(const HudSettings& hud, std::ostream* out)
    {
        std::string text = FormatHudText(hud);
        for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.replace(at, 2, " ");
        *out << text;
    }
}

namespace OrvTest
{
    namespace fs = std::filesystem;

    inline const std::string kDefaultFile =
        "[Layout]\r\nPositionX=-1\r\nPositionY=-1\r\nSize=280\r\nCircular=1\r\n\r\n"
        "[Map]\r\nZoom=8000\r\nBrightnessTrim=0\r\nDayBrightness=0.5\r\nNightBrightness=2.5\r\n"
        "HidePlayer=1\r\nHideWeather=1\r\nShadows=0\r\nShowAi=1\r\n\r\n"
        "ShowResources=1\r\nShowQuests=1\r\nShowPois=1\r\n\r\n"
        "[Markers]\r\nAiIconScale=1\r\nPoiIconScale=1\r\nMarkerOpacity=1\r\n\r\n"
        "[IndoorCamera]\r\nIndoorCameraEnabled=1\r\nIndoorCheckInterval=0.15\r\nIndoorCeilingOffset=40\r\n"
        "IndoorTransitionSpeed=8\r\nIndoorFallbackHeight=350\r\nIndoorRoofTraceDistance=2000\r\n"
        "IndoorShelterThreshold=0.5\r\nIndoorZoom=3500\r\n\r\n"
        "[Dungeon]\r\nDungeonZoom=2500\r\nDungeonBrightnessV2=1.5\r\nDungeonCeilingOffset=200\r\n\r\n"
        "[Performance]\r\nCaptureFPS=60\r\nMarkerFPS=60\r\nRenderScale=4\r\n";

    inline const std::string kDefaultHudFile =
        "[Keys]\r\nToggleKey=Ctrl+M\r\nZoomInKey=Ctrl+VK_OEM_PLUS\r\nZoomOutKey=Ctrl+VK_OEM_MINUS\r\n\r\n"
        "[Hud]\r\nHidden=0\r\nNorthUp=0\r\nCompassLetters=1\r\nCoordinates=0\r\nMapOpacity=1\r\nMarkersToRim=1\r\nNearestFirst=1\r\nEdgePins=1\r\nOtherFloors=dim\r\n";

    // Groups thousands and writes a decimal comma, as many user locales do.
    struct CommaNumbers : std::numpunct<char>
    {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
        std::string do_truename() const override { return "ja"; }
        std::string do_falsename() const override { return "nein"; }
    };

    // Switches the process to a locale whose decimal mark is a comma for its lifetime, as a
    // game may; Active() is false where the machine has no such locale.
    class CommaProcessLocale
    {
    public:
        CommaProcessLocale() : before_(std::setlocale(LC_NUMERIC, nullptr))
        {
            for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252", "fr_FR.UTF-8"})
            {
                if (std::setlocale(LC_NUMERIC, name) == nullptr) continue;
                active_ = std::wcstod(L"0,5", nullptr) == 0.5;
                return;
            }
        }
        CommaProcessLocale(const CommaProcessLocale&) = delete;
        CommaProcessLocale& operator=(const CommaProcessLocale&) = delete;
        ~CommaProcessLocale() { std::setlocale(LC_NUMERIC, before_.c_str()); }

        bool Active() const { return active_; }

    private:
        std::string before_;
        bool active_ = false;
    };

    // The text without the first line, after its first, that starts with `key=`.
    inline std::string WithoutLine(std::string text, const std::string& key)
    {
        const auto newline = text.find("\n" + key + "=");
        if (newline == std::string::npos)
        {
            ADD_FAILURE() << "no line for " << key;
            return text;
        }
        const auto at = newline + 1;
        text.erase(at, text.find('\n', at) + 1 - at);
        return text;
    }

    // The default file without the line that starts with `key=`.
    inline std::string DefaultFileWithout(const std::string& key)
    {
        return WithoutLine(kDefaultFile, key);
    }

    inline std::string ReadBytes(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        if (in) bytes << in.rdbuf();
        return std::move(bytes).str();
    }

    inline void WriteBytes(const fs::path& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    // Each test works in a folder of its own, named after the test and the process, so tests
    // run in parallel never meet; the folder goes when the test ends.
    class TempFolderTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            folder = fs::temp_directory_path() /
                     ("orvanta-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                      std::to_string(getpid()));
            fs::remove_all(folder);
            fs::create_directories(folder);
        }

        void TearDown() override
        {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }

        fs::path StateFile() const { return folder / "state.ini"; }
        fs::path TempFile() const { return folder / "state.ini.tmp"; }
        fs::path HudFile() const { return folder / "hud.ini"; }
        fs::path HudTempFile() const { return folder / "hud.ini.tmp"; }

        fs::path folder;
    };
}
