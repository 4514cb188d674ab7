// Reading the text of state.ini: validation, key matching, older keys, the clamps and the
// rules that decide whether the file gets rewritten.
#include "SettingsTestSupport.hpp"

#include "settings/SettingsFile.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <locale>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>
#include <variant>

namespace
{
    using namespace OrvTest;
    using Orv::ModSettings;
    using Orv::SettingsReadResult;

    struct ReadOutcome
    {
        ModSettings settings;
        SettingsReadResult result;
    };

    ReadOutcome Read(const std::string& text)
    {
        std::istringstream in(text);
        ReadOutcome outcome{};
        outcome.result = Orv::ReadSettingsText(outcome.settings, in);
        return outcome;
    }

    // The complete default file with extra lines after it, so that only those lines decide.
    ReadOutcome ReadWith(const std::string& extraLines)
    {
        return Read(kDefaultFile + extraLines);
    }

    TEST(SettingRange, ClampAlwaysGivesAUsableValue)
    {
        // The running mod clamps its working copies with these; NaN must not slip through.
        EXPECT_EQ(Orv::kZoomRange.Clamp(std::nanf("")), 1500.0f);
        EXPECT_EQ(Orv::kSizeRange.Clamp(std::nan("")), 160.0);
        EXPECT_EQ(Orv::kFpsRange.Clamp(1e9f), 240.0f);
        EXPECT_EQ(Orv::kRenderScaleRange.Clamp(-HUGE_VALF), 0.25f);
        EXPECT_FALSE(Orv::kBrightnessRange.Contains(std::nanf("")));
        EXPECT_TRUE(Orv::kBrightnessRange.Contains(-2.0f));
        EXPECT_FALSE(Orv::IsAcceptedPosition(std::nan("")));
    }

    TEST(SettingsFormat, DefaultRecordGivesTheListedFileByteForByte)
    {
        EXPECT_EQ(Orv::FormatSettingsText(Orv::DefaultSettings()), kDefaultFile);
    }

    TEST(SettingsFormat, NumbersUseSixSignificantDigits)
    {
        ModSettings settings;
        settings.PositionX = 0.8571428;
        settings.PositionY = 0.00001;
        const auto text = Orv::FormatSettingsText(settings);
        EXPECT_NE(text.find("\r\nPositionX=0.857143\r\n"), std::string::npos);
        EXPECT_NE(text.find("\r\nPositionY=1e-05\r\n"), std::string::npos);
    }

    TEST(SettingsFormat, EveryFieldOnItsOwnLineWithSixSignificantDigits)
    {
        ModSettings settings;
        settings.PositionX = 0.8571428;
        settings.PositionY = 0.00001;
        settings.Zoom = 1e6f;
        settings.Size = 1234567.0f;
        settings.Circular = false;
        settings.BrightnessTrim = -0.5f;
        settings.DayBrightness = 1.23456789f;
        settings.NightBrightness = 0.0001f;
        settings.HidePlayer = false;
        settings.HideWeather = false;
        settings.Shadows = true;
        settings.ShowAi = false;
        settings.ShowResources = false;
        settings.ShowQuests = false;
        settings.ShowPois = false;
        settings.CaptureFPS = 30.0f;
        settings.MarkerFPS = 144.0f;
        settings.RenderScale = 0.25f;
        settings.AiIconScale = 100000.0f;
        settings.PoiIconScale = 123456.7f;
        settings.MarkerOpacity = 0.3f;
        settings.IndoorCameraEnabled = false;
        settings.IndoorCheckInterval = 0.05f;
        settings.IndoorCeilingOffset = 41.0f;
        settings.IndoorTransitionSpeed = 8.5f;
        settings.IndoorFallbackHeight = 351.0f;
        settings.IndoorRoofTraceDistance = 2001.0f;
        settings.IndoorShelterThreshold = 0.0f;
        settings.IndoorZoom = 3501.0f;
        settings.DungeonZoom = 2501.0f;
        settings.DungeonBrightnessV2 = 6.0f;
        settings.DungeonCeilingOffset = 201.0f;
        EXPECT_EQ(Orv::FormatSettingsText(settings),
                  "[Layout]\r\nPositionX=0.857143\r\nPositionY=1e-05\r\nSize=1.23457e+06\r\nCircular=0\r\n\r\n"
                  "[Map]\r\nZoom=1e+06\r\nBrightnessTrim=-0.5\r\nDayBrightness=1.23457\r\nNightBrightness=0.0001\r\n"
                  "HidePlayer=0\r\nHideWeather=0\r\nShadows=1\r\nShowAi=0\r\n\r\n"
                  "ShowResources=0\r\nShowQuests=0\r\nShowPois=0\r\n\r\n"
                  "[Markers]\r\nAiIconScale=100000\r\nPoiIconScale=123457\r\nMarkerOpacity=0.3\r\n\r\n"
                  "[IndoorCamera]\r\nIndoorCameraEnabled=0\r\nIndoorCheckInterval=0.05\r\nIndoorCeilingOffset=41\r\n"
                  "IndoorTransitionSpeed=8.5\r\nIndoorFallbackHeight=351\r\nIndoorRoofTraceDistance=2001\r\n"
                  "IndoorShelterThreshold=0\r\nIndoorZoom=3501\r\n\r\n"
                  "[Dungeon]\r\nDungeonZoom=2501\r\nDungeonBrightnessV2=6\r\nDungeonCeilingOffset=201\r\n\r\n"
                  "[Performance]\r\nCaptureFPS=30\r\nMarkerFPS=144\r\nRenderScale=0.25\r\n");
    }

    TEST(SettingsFormat, ProgramWideLocaleDoesNotChangeTheFile)
    {
        const std::locale before = std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
        ModSettings settings;
        settings.PositionX = 0.5;
        const std::string text = Orv::FormatSettingsText(settings);
        std::locale::global(before);
        EXPECT_EQ(text, Orv::FormatSettingsText(settings));
        EXPECT_NE(text.find("\r\nPositionX=0.5\r\n"), std::string::npos);
        EXPECT_NE(text.find("\r\nZoom=8000\r\n"), std::string::npos);
    }

    TEST(SettingsRead, CompleteFileNeedsNoRewriteAndWrittenFileReadsBack)
    {
        EXPECT_EQ(Read(kDefaultFile).result, SettingsReadResult::Complete);

        ModSettings changed;
        changed.PositionX = 0.25;
        changed.Zoom = 3000.0f;
        changed.Circular = false;
        changed.IndoorCheckInterval = 0.05f;
        changed.MarkerOpacity = 0.1f;
        const auto back = Read(Orv::FormatSettingsText(changed));
        EXPECT_EQ(back.result, SettingsReadResult::Complete);
        EXPECT_EQ(back.settings, changed);
    }

    TEST(SettingsRead, MissingLinesThatForceARewrite)
    {
        for (const char* key :
             {"Circular", "DayBrightness", "NightBrightness", "CaptureFPS", "MarkerFPS", "RenderScale",
              "IndoorCameraEnabled", "AiIconScale", "PoiIconScale", "MarkerOpacity", "IndoorCheckInterval",
              "IndoorCeilingOffset", "IndoorTransitionSpeed", "IndoorFallbackHeight", "IndoorRoofTraceDistance",
              "IndoorShelterThreshold", "IndoorZoom", "DungeonZoom", "DungeonBrightnessV2", "DungeonCeilingOffset"})
            EXPECT_EQ(Read(DefaultFileWithout(key)).result, SettingsReadResult::NeedsRewrite) << key;
        for (const char* key : {"PositionX", "PositionY", "Size", "Zoom", "BrightnessTrim", "HidePlayer",
                                "HideWeather", "Shadows", "ShowAi", "ShowResources", "ShowQuests", "ShowPois"})
            EXPECT_EQ(Read(DefaultFileWithout(key)).result, SettingsReadResult::Complete) << key;
    }

    TEST(SettingsRead, ThirteenCountedLinesMayIncludeRepeats)
    {
        // IndoorZoom missing but DungeonZoom twice: thirteen lines, so nothing to repair.
        const auto outcome = Read(DefaultFileWithout("IndoorZoom") + "DungeonZoom=3000\r\n");
        EXPECT_EQ(outcome.result, SettingsReadResult::Complete);
        EXPECT_EQ(outcome.settings.IndoorZoom, 3500.0f);
        EXPECT_EQ(outcome.settings.DungeonZoom, 3000.0f);
    }

    TEST(SettingsRead, CountedLinesAreCountedNotNamed)
    {
        const auto twoShort = WithoutLine(DefaultFileWithout("IndoorZoom"), "DungeonZoom");
        EXPECT_EQ(Read(twoShort + "MarkerOpacity=1\r\n").result, SettingsReadResult::NeedsRewrite);
        EXPECT_EQ(Read(twoShort + "MarkerOpacity=1\r\nMarkerOpacity=1\r\n").result, SettingsReadResult::Complete);
        // A line that must be there is looked for by its name: no other line stands in for it.
        EXPECT_EQ(Read(DefaultFileWithout("CaptureFPS") + "MarkerFPS=60\r\n").result,
                  SettingsReadResult::NeedsRewrite);
    }

    TEST(SettingsRead, FileWithoutAnyOfTheOptionalLinesIsComplete)
    {
        std::string text = kDefaultFile;
        for (const char* key : {"PositionX", "PositionY", "Size", "Zoom", "BrightnessTrim", "HidePlayer",
                                "HideWeather", "Shadows", "ShowAi", "ShowResources", "ShowQuests", "ShowPois"})
            text = WithoutLine(text, key);
        const auto outcome = Read(text);
        EXPECT_EQ(outcome.settings, Orv::DefaultSettings());
        EXPECT_EQ(outcome.result, SettingsReadResult::Complete);
    }

    TEST(SettingsRead, ValuesMustBeTheWholeRestOfTheLine)
    {
        EXPECT_EQ(ReadWith("Zoom= 3000\r\n").settings.Zoom, 3000.0f);
        EXPECT_EQ(ReadWith("Zoom=3e3\n").settings.Zoom, 3000.0f);
        EXPECT_EQ(ReadWith("Zoom= 3000\n").result, SettingsReadResult::Complete);
        for (const char* bad : {"Zoom=3000 \r\n", "Zoom=\r\n", "Zoom=3000;wide\r\n", "Zoom=abc\r\n",
                                "Zoom=3000\tx\r\n", "Zoom=1e999\r\n"})
        {
            const auto outcome = ReadWith(std::string("Zoom=3000\r\n") + bad);
            EXPECT_EQ(outcome.settings.Zoom, 3000.0f) << bad;
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << bad;
        }
        // A NUL inside the value ends the C string, not the line.
        EXPECT_EQ(ReadWith(std::string("Zoom=3000\0x\r\n", 13)).result, SettingsReadResult::NeedsRewrite);
    }

    struct BoolKey
    {
        const char* key;
        bool ModSettings::*field;
    };

    const BoolKey kBoolKeys[] = {
        {"Circular", &ModSettings::Circular},
        {"HidePlayer", &ModSettings::HidePlayer},
        {"HideWeather", &ModSettings::HideWeather},
        {"Shadows", &ModSettings::Shadows},
        {"ShowAi", &ModSettings::ShowAi},
        {"ShowResources", &ModSettings::ShowResources},
        {"ShowQuests", &ModSettings::ShowQuests},
        {"ShowPois", &ModSettings::ShowPois},
        {"IndoorCameraEnabled", &ModSettings::IndoorCameraEnabled},
    };

    TEST(SettingsRead, EveryBooleanKeyTakesTheSixWordsAndNothingElse)
    {
        const char* const trueWords[] = {"1", "true", "True"};
        const char* const falseWords[] = {"0", "false", "False"};
        const char* const nearMisses[] = {"TRUE",  "FALSE", "tRUE",   "yes",   "no",   "on",    "off", " 1",
                                          "1 ",    "\t0",   "0 ",     "01",    "00",   "10",    "2",   "-1",
                                          "+1",    "1.0",   "0x1",    "",      "true ", " false", "Truee", "Fals"};
        for (const auto& [key, field] : kBoolKeys)
        {
            const std::string name = key;
            for (const bool value : {false, true})
            {
                ModSettings expected;
                expected.*field = value;
                // The opposite first, so the word must do the work.
                const std::string earlier = name + (value ? "=0\r\n" : "=1\r\n");
                for (const char* word : value ? trueWords : falseWords)
                {
                    const auto outcome = ReadWith(earlier + name + "=" + word + "\r\n");
                    EXPECT_EQ(outcome.settings, expected) << name << "=" << word;
                    EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << name << "=" << word;
                }
                for (const char* word : nearMisses)
                {
                    const auto outcome = ReadWith(name + (value ? "=1\r\n" : "=0\r\n") + name + "=" + word + "\r\n");
                    EXPECT_EQ(outcome.settings, expected) << name << "=" << word;
                    EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << name << "=" << word;
                }
            }
        }
    }

    TEST(SettingsRead, BooleanWords)
    {
        EXPECT_FALSE(ReadWith("Circular=0\r\n").settings.Circular);
        EXPECT_FALSE(ReadWith("Circular=False\r\n").settings.Circular);
        EXPECT_TRUE(ReadWith("Shadows=true\r\n").settings.Shadows);
        for (const char* bad : {"Circular=yes\r\n", "Circular=TRUE\r\n", "Circular=1 \r\n", "Circular=01\r\n"})
        {
            const auto outcome = ReadWith(std::string("Circular=0\r\n") + bad);
            EXPECT_FALSE(outcome.settings.Circular) << bad;
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << bad;
        }
    }

    TEST(SettingsRead, KeysMatchExactlyAtTheLineStart)
    {
        for (const char* ignored : {"zoom=3000\r\n", " Zoom=3000\r\n", "Zoom =3000\r\n", "[Zoom=3000]\r\n",
                                    "; Zoom=3000\r\n", "ZoomLevel=3000\r\n", "Zoom\r\n"})
        {
            const auto outcome = ReadWith(ignored);
            EXPECT_EQ(outcome.settings.Zoom, 8000.0f) << ignored;
            EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << ignored;
        }
        // Sections do not scope keys; a key before any header counts.
        EXPECT_EQ(Read("Size=300\r\n" + kDefaultFile + "[Elsewhere]\r\nSize=200\r\n").settings.Size, 200.0f);
    }

    TEST(SettingsRead, LastValidOccurrenceWins)
    {
        const auto outcome = ReadWith("Size=300\r\nSize=200\r\nSize=9999\r\n");
        EXPECT_EQ(outcome.settings.Size, 200.0f);
        EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite);
    }

    TEST(SettingsRead, OutOfRangeIsRejectedNotClamped)
    {
        EXPECT_EQ(ReadWith("Zoom=1200\r\n").settings.Zoom, 8000.0f);
        EXPECT_EQ(ReadWith("Zoom=1500\r\n").settings.Zoom, 1500.0f);
        EXPECT_EQ(ReadWith("IndoorCheckInterval=0.05\r\n").settings.IndoorCheckInterval, 0.05f);
        EXPECT_EQ(ReadWith("IndoorCheckInterval=0.04\r\n").settings.IndoorCheckInterval, 0.15f);
        EXPECT_EQ(ReadWith("MarkerOpacity=0.1\r\n").settings.MarkerOpacity, 0.1f);
        EXPECT_EQ(ReadWith("Zoom=1200\r\n").result, SettingsReadResult::NeedsRewrite);

        EXPECT_EQ(ReadWith("PositionX=1.5\r\n").settings.PositionX, -1.0);
        EXPECT_EQ(ReadWith("PositionX=-0.5\r\n").settings.PositionX, -1.0);
        EXPECT_EQ(ReadWith("PositionX=0.5\r\nPositionX=-1\r\n").settings.PositionX, -1.0);
        EXPECT_EQ(ReadWith("PositionX=-1\r\n").result, SettingsReadResult::Complete);
        EXPECT_EQ(ReadWith("PositionY=1\r\n").settings.PositionY, 1.0);
    }

    TEST(SettingsRead, NanAndInfinityAreNeverInRange)
    {
        for (const char* value : {"nan", "NAN(123)", "inf", "-infinity"})
        {
            for (const char* key : {"PositionX", "Zoom", "IndoorShelterThreshold", "Brightness",
                                    "IndoorAutoZoomSteps", "DungeonBrightness"})
            {
                const auto outcome = ReadWith(std::string(key) + "=" + value + "\r\n");
                EXPECT_EQ(outcome.settings, Orv::DefaultSettings()) << key << "=" << value;
                EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << key << "=" << value;
            }
        }
    }

    TEST(SettingsRead, OlderKeysAreConvertedAndClamped)
    {
        EXPECT_EQ(ReadWith("IndoorAutoZoomSteps=4\r\n").settings.IndoorZoom, 3500.0f);
        EXPECT_EQ(ReadWith("IndoorAutoZoomSteps=20\r\n").settings.IndoorZoom, 8000.0f);
        EXPECT_EQ(ReadWith("IndoorAutoZoomSteps=-5\r\n").settings.IndoorZoom, 1500.0f);
        EXPECT_EQ(ReadWith("IndoorAutoZoomSteps=1e30\r\n").settings.IndoorZoom, 8000.0f);
        EXPECT_EQ(ReadWith("DungeonZoomStepsFromClosest=2\r\n").settings.DungeonZoom, 2500.0f);
        EXPECT_EQ(ReadWith("DungeonAutoZoomSteps=3\r\n").settings.DungeonZoom, 3000.0f);
        EXPECT_EQ(ReadWith("DungeonBrightness=1\r\n").settings.DungeonBrightnessV2, 1.5f);
        EXPECT_EQ(ReadWith("DungeonBrightnessBoost=1\r\n").settings.DungeonBrightnessV2, 0.5f);
        EXPECT_EQ(ReadWith("DungeonBrightnessBoost=0.2\r\n").settings.DungeonBrightnessV2, 0.0f);
        // A current key after the older one still wins: lines apply in file order.
        EXPECT_EQ(Read("DungeonBrightness=3\r\n" + kDefaultFile).settings.DungeonBrightnessV2, 1.5f);

        for (const char* line : {"IndoorAutoZoomSteps=4\r\n", "DungeonBrightness=1\r\n", "IndoorClipHeight=50\r\n",
                                 "IndoorRoofClipping=1\r\n", "DungeonAutoZoomSteps=x\r\n"})
            EXPECT_EQ(ReadWith(line).result, SettingsReadResult::NeedsRewrite) << line;
        EXPECT_EQ(ReadWith("DungeonAutoZoomSteps=x\r\n").settings.DungeonZoom, 2500.0f);
    }

    TEST(SettingsRead, OlderKeysConvertEveryValueAndClampTheResult)
    {
        // Each line follows the default file, so its result wins over the current key's line.
        const struct
        {
            const char* line;
            float ModSettings::*target;
            float expected;
        } conversions[] = {
            {"IndoorAutoZoomSteps=2.5", &ModSettings::IndoorZoom, 2750.0f},
            {"IndoorAutoZoomSteps=0", &ModSettings::IndoorZoom, 1500.0f},
            {"IndoorAutoZoomSteps=13", &ModSettings::IndoorZoom, 8000.0f},
            {"IndoorAutoZoomSteps=13.5", &ModSettings::IndoorZoom, 8000.0f},
            {"IndoorAutoZoomSteps=-0.5", &ModSettings::IndoorZoom, 1500.0f},
            {"DungeonZoomStepsFromClosest=7", &ModSettings::DungeonZoom, 5000.0f},
            {"DungeonZoomStepsFromClosest=30", &ModSettings::DungeonZoom, 8000.0f},
            {"DungeonZoomStepsFromClosest=-2", &ModSettings::DungeonZoom, 1500.0f},
            {"DungeonAutoZoomSteps=5", &ModSettings::DungeonZoom, 4000.0f},
            {"DungeonAutoZoomSteps=14", &ModSettings::DungeonZoom, 8000.0f},
            {"DungeonAutoZoomSteps=-3", &ModSettings::DungeonZoom, 1500.0f},
            {"DungeonBrightnessBoost=3", &ModSettings::DungeonBrightnessV2, 2.5f},
            {"DungeonBrightnessBoost=6.5", &ModSettings::DungeonBrightnessV2, 6.0f},
            {"DungeonBrightnessBoost=10", &ModSettings::DungeonBrightnessV2, 6.0f},
            {"DungeonBrightnessBoost=0.5", &ModSettings::DungeonBrightnessV2, 0.0f},
            {"DungeonBrightnessBoost=-1", &ModSettings::DungeonBrightnessV2, 0.0f},
            {"DungeonBrightness=2", &ModSettings::DungeonBrightnessV2, 2.5f},
            {"DungeonBrightness=5.5", &ModSettings::DungeonBrightnessV2, 6.0f},
            {"DungeonBrightness=7", &ModSettings::DungeonBrightnessV2, 6.0f},
            {"DungeonBrightness=-0.5", &ModSettings::DungeonBrightnessV2, 0.0f},
            {"DungeonBrightness=-3", &ModSettings::DungeonBrightnessV2, 0.0f},
        };
        for (const auto& [line, target, value] : conversions)
        {
            ModSettings expected;
            expected.*target = value;
            const auto outcome = ReadWith(std::string(line) + "\r\n");
            EXPECT_EQ(outcome.settings, expected) << line;
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << line;
        }
    }

    TEST(SettingsRead, OlderKeysWithoutAUsableNumberChangeNothingButForceARewrite)
    {
        for (const char* key : {"Brightness", "IndoorAutoZoomSteps", "DungeonZoomStepsFromClosest",
                                "DungeonAutoZoomSteps", "DungeonBrightnessBoost", "DungeonBrightness",
                                "IndoorRoofClipping", "IndoorClipHeight"})
        {
            for (const char* value : {"", "x", "4 ", " 4x", "1e39", "-1e39", "nan"})
            {
                const auto outcome = ReadWith(std::string(key) + "=" + value + "\r\n");
                EXPECT_EQ(outcome.settings, Orv::DefaultSettings()) << key << "=" << value;
                EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << key << "=" << value;
            }
        }
        // The two that are no longer used are dropped whatever they hold.
        for (const char* line : {"IndoorRoofClipping=0\r\n", "IndoorRoofClipping=1\r\n", "IndoorClipHeight=50\r\n"})
        {
            const auto outcome = ReadWith(line);
            EXPECT_EQ(outcome.settings, Orv::DefaultSettings()) << line;
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << line;
        }
    }

    TEST(SettingsRead, OlderBrightnessIsTakenAsIsWithoutRewrite)
    {
        auto outcome = ReadWith("Brightness=1\r\n");
        EXPECT_EQ(outcome.settings.BrightnessTrim, 1.0f);
        EXPECT_EQ(outcome.result, SettingsReadResult::Complete);
        outcome = ReadWith("Brightness=7\r\n");
        EXPECT_EQ(outcome.settings.BrightnessTrim, 0.0f);
        EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite);
    }

    TEST(SettingsRead, RangeErrorOfTheConversionRejectsTheValue)
    {
        // A number too small for its type converts to 0 or near it. Whether the C library calls
        // that a range error is its own choice; where it does, 0 is not what the text said.
        errno = 0;
        static_cast<void>(std::wcstof(L"1e-50", nullptr));
        const bool floatUnderflowIsAnError = errno == ERANGE;
        errno = 0;
        static_cast<void>(std::wcstod(L"1e-400", nullptr));
        const bool doubleUnderflowIsAnError = errno == ERANGE;

        auto outcome = ReadWith("IndoorShelterThreshold=0.75\r\nIndoorShelterThreshold=1e-50\r\n");
        EXPECT_EQ(outcome.settings.IndoorShelterThreshold, floatUnderflowIsAnError ? 0.75f : 0.0f);
        EXPECT_EQ(outcome.result == SettingsReadResult::NeedsRewrite, floatUnderflowIsAnError);
        outcome = ReadWith("PositionX=0.75\r\nPositionX=1e-400\r\n");
        EXPECT_EQ(outcome.settings.PositionX, doubleUnderflowIsAnError ? 0.75 : 0.0);
        EXPECT_EQ(outcome.result == SettingsReadResult::NeedsRewrite, doubleUnderflowIsAnError);

        // A range error, the reader's own or one left behind by earlier code, says nothing about
        // the next value.
        errno = ERANGE;
        outcome = ReadWith("Zoom=1e39\r\nSize=300\r\n");
        EXPECT_EQ(outcome.settings.Zoom, 8000.0f);
        EXPECT_EQ(outcome.settings.Size, 300.0f);
        errno = ERANGE;
        EXPECT_EQ(Read(kDefaultFile).result, SettingsReadResult::Complete);
    }

    TEST(SettingsRead, LineEnds)
    {
        // LF only, CR LF, and one stray CR more are all the same line.
        EXPECT_EQ(Read("Zoom=3000\nSize=300").settings.Size, 300.0f);
        EXPECT_EQ(Read("Zoom=3000\r\r\n").settings.Zoom, 3000.0f);
        EXPECT_EQ(Read("Zoom=3000\r\r\r\n").settings.Zoom, 8000.0f);
        EXPECT_EQ(Read("Zoom=3000\r").settings.Zoom, 3000.0f);
    }

    TEST(SettingsRead, BytesAbove127DoNotEndTheFile)
    {
        const auto outcome = Read("; caf\xE9 \xFF\xFE\r\n" + kDefaultFile + "Zoom=3000\r\n");
        EXPECT_EQ(outcome.settings.Zoom, 3000.0f);
        EXPECT_EQ(outcome.result, SettingsReadResult::Complete);
    }

    TEST(SettingsRead, Utf16TextMatchesNoKey)
    {
        std::string utf16 = "\xFF\xFE";
        for (char c : "Zoom=3000\r\nSize=300\r\n" + kDefaultFile)
        {
            utf16.push_back(c);
            utf16.push_back('\0');
        }
        const auto outcome = Read(utf16);
        EXPECT_EQ(outcome.settings, Orv::DefaultSettings());
        EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite);
    }

    TEST(SettingsRead, VeryLongLinesAndManyLines)
    {
        EXPECT_EQ(ReadWith("Zoom=" + std::string(1 << 20, '3') + "\r\n").result, SettingsReadResult::NeedsRewrite);
        EXPECT_EQ(ReadWith("Zoom=" + std::string(1 << 20, '0') + "3000\r\n").settings.Zoom, 3000.0f);
        EXPECT_EQ(ReadWith("; " + std::string(1 << 22, 'x') + "\r\nZoom=2000\r\n").settings.Zoom, 2000.0f);

        std::string many;
        for (int i = 0; i < 10000; ++i) many += "Size=" + std::to_string(160 + i % 500) + "\r\n";
        EXPECT_EQ(ReadWith(many).settings.Size, 160.0f + 9999 % 500);
    }

    // Every number key with its accepted range, written out here rather than taken from the
    // code's constants so that a wrong bound there shows.
    using NumberField = std::variant<double ModSettings::*, float ModSettings::*>;

    struct NumberKey
    {
        const char* key;
        NumberField field;
        double min;
        double max;
        bool clampedAfterRead;
    };

    std::ostream& operator<<(std::ostream& out, const NumberKey& key)
    {
        return out << key.key;
    }

    const NumberKey kNumberKeys[] = {
        {"PositionX", &ModSettings::PositionX, 0, 1, false},
        {"PositionY", &ModSettings::PositionY, 0, 1, false},
        {"Zoom", &ModSettings::Zoom, 1500, 8000, true},
        {"Size", &ModSettings::Size, 160, 720, true},
        {"BrightnessTrim", &ModSettings::BrightnessTrim, -2, 6, true},
        {"DayBrightness", &ModSettings::DayBrightness, -2, 6, true},
        {"NightBrightness", &ModSettings::NightBrightness, -2, 6, true},
        {"CaptureFPS", &ModSettings::CaptureFPS, 1, 240, true},
        {"MarkerFPS", &ModSettings::MarkerFPS, 1, 240, true},
        {"RenderScale", &ModSettings::RenderScale, 0.25, 4, true},
        {"AiIconScale", &ModSettings::AiIconScale, 0.5, 3, true},
        {"PoiIconScale", &ModSettings::PoiIconScale, 0.5, 3, true},
        {"MarkerOpacity", &ModSettings::MarkerOpacity, 0.1, 1, true},
        {"IndoorCheckInterval", &ModSettings::IndoorCheckInterval, 0.05, 2, false},
        {"IndoorCeilingOffset", &ModSettings::IndoorCeilingOffset, 10, 300, false},
        {"IndoorTransitionSpeed", &ModSettings::IndoorTransitionSpeed, 0.5, 30, false},
        {"IndoorFallbackHeight", &ModSettings::IndoorFallbackHeight, 150, 1500, false},
        {"IndoorRoofTraceDistance", &ModSettings::IndoorRoofTraceDistance, 500, 5000, false},
        {"IndoorShelterThreshold", &ModSettings::IndoorShelterThreshold, 0, 1, false},
        {"IndoorZoom", &ModSettings::IndoorZoom, 1500, 8000, false},
        {"DungeonZoom", &ModSettings::DungeonZoom, 1500, 8000, false},
        {"DungeonBrightnessV2", &ModSettings::DungeonBrightnessV2, 0, 6, false},
        {"DungeonCeilingOffset", &ModSettings::DungeonCeilingOffset, 50, 500, false},
        // The older name of BrightnessTrim: the same range, and the name alone asks for no rewrite.
        {"Brightness", &ModSettings::BrightnessTrim, -2, 6, true},
    };

    // Nine significant digits name one float exactly; the texts below need no more.
    std::string Text(double value)
    {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.9g", value);
        return buffer;
    }

    void SetField(ModSettings& settings, const NumberField& field, double value)
    {
        std::visit(
            [&](auto member) {
                using Value = std::remove_reference_t<decltype(settings.*member)>;
                settings.*member = static_cast<Value>(value);
            },
            field);
    }

    // The default record with the field holding `text` as the wide conversion of the field's
    // type reads it.
    ModSettings DefaultsWith(const NumberField& field, const std::string& text)
    {
        const std::wstring wide(text.begin(), text.end());
        ModSettings settings;
        std::visit(
            [&](auto member) {
                using Value = std::remove_reference_t<decltype(settings.*member)>;
                if constexpr (std::is_same_v<Value, float>)
                    settings.*member = std::wcstof(wide.c_str(), nullptr);
                else
                    settings.*member = std::wcstod(wide.c_str(), nullptr);
            },
            field);
        return settings;
    }

    // A millionth of the bound, of 1 at least: several steps of a float at any bound, so the
    // value lands on its own side of the bound.
    double NearBound(double bound)
    {
        return std::fmax(std::fabs(bound), 1.0) * 1e-6;
    }

    class NumberKeyRead : public ::testing::TestWithParam<NumberKey>
    {
    protected:
        // Every case first sets the key to the middle of its range, so a rejected value shows
        // as the middle staying: neither a default nor a bound, unlike a reset or a clamp.
        std::string Middle() const { return Text((GetParam().min + GetParam().max) / 2); }

        ReadOutcome ReadValue(const std::string& value) const
        {
            const std::string key = GetParam().key;
            return ReadWith(key + "=" + Middle() + "\r\n" + key + "=" + value + "\r\n");
        }

        void ExpectTaken(const std::string& value) const
        {
            const auto outcome = ReadValue(value);
            EXPECT_EQ(outcome.settings, DefaultsWith(GetParam().field, value)) << GetParam().key << "=" << value;
            EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << GetParam().key << "=" << value;
        }

        void ExpectRejected(const std::string& value) const
        {
            const auto outcome = ReadValue(value);
            EXPECT_EQ(outcome.settings, DefaultsWith(GetParam().field, Middle())) << GetParam().key << "=" << value;
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << GetParam().key << "=" << value;
        }
    };

    TEST_P(NumberKeyRead, BoundsAreTakenAndValuesJustBeyondThemRejected)
    {
        const auto& key = GetParam();
        ExpectTaken(Text(key.min));
        ExpectTaken(Text(key.max));
        ExpectTaken(Text(key.min + NearBound(key.min)));
        ExpectTaken(Text(key.max - NearBound(key.max)));
        ExpectRejected(Text(key.min - NearBound(key.min)));
        ExpectRejected(Text(key.max + NearBound(key.max)));
    }

    TEST_P(NumberKeyRead, ValueMustBeOneWholeNumber)
    {
        const std::string middle = Middle();
        // What the conversion skips or allows around the digits.
        for (const std::string& taken : {" " + middle, "\t" + middle, "+" + middle, middle + "e0"})
            ExpectTaken(taken);
        // An empty value would convert to 0, which several ranges hold.
        for (const std::string& rejected : {std::string(), std::string(" "), middle + " ", middle + "\t", middle + "x",
                                            middle + ";note", "x" + middle, middle + "," + middle, std::string("--1")})
            ExpectRejected(rejected);
        // Beyond what a float or a double holds, and the values that are no number.
        for (const char* rejected : {"1e39", "-1e39", "1e309", "-1e309", "nan", "-nan", "NaN", "inf", "+INF",
                                     "-Infinity"})
            ExpectRejected(rejected);
    }

    TEST_P(NumberKeyRead, OnlyTheLiveValuesAreClampedAfterReading)
    {
        // The reader works on top of the record it is given; a value outside its range that no
        // line replaced is limited after the last line for the keys that are clamped.
        const auto& key = GetParam();
        for (const double outside : {key.min - 1000, key.max + 1000})
        {
            ModSettings settings;
            SetField(settings, key.field, outside);
            std::istringstream empty;
            Orv::ReadSettingsText(settings, empty);
            ModSettings expected;
            SetField(expected, key.field, !key.clampedAfterRead ? outside : outside < key.min ? key.min : key.max);
            EXPECT_EQ(settings, expected) << key.key << " held " << outside;
        }
        if (!key.clampedAfterRead) return;
        ModSettings settings;
        SetField(settings, key.field, std::nan(""));
        std::istringstream empty;
        Orv::ReadSettingsText(settings, empty);
        ModSettings expected;
        SetField(expected, key.field, key.min);
        EXPECT_EQ(settings, expected) << key.key << " held NaN";
    }

    INSTANTIATE_TEST_SUITE_P(EveryKey, NumberKeyRead, ::testing::ValuesIn(kNumberKeys),
                             [](const ::testing::TestParamInfo<NumberKey>& instance) {
                                 return std::string(instance.param.key);
                             });

    TEST(SettingsRead, PositionsTakeMinusOneExactlyBesideTheirRange)
    {
        for (const std::string key : {"PositionX", "PositionY"})
        {
            for (const char* value : {"-1", "-1.0", "-1e0", "-0.1e1"})
            {
                const auto outcome = ReadWith(key + "=0.5\r\n" + key + "=" + value + "\r\n");
                EXPECT_EQ(outcome.settings, Orv::DefaultSettings()) << key << "=" << value;
                EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << key << "=" << value;
            }
            for (const char* value : {"-1.000001", "-0.999999", "-2", "-1e-06"})
            {
                const auto outcome = ReadWith(key + "=0.5\r\n" + key + "=" + value + "\r\n");
                EXPECT_EQ(outcome.settings, DefaultsWith(key == "PositionX" ? NumberField(&ModSettings::PositionX)
                                                                            : NumberField(&ModSettings::PositionY),
                                                         "0.5"))
                    << key << "=" << value;
                EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << key << "=" << value;
            }
        }
    }
}
