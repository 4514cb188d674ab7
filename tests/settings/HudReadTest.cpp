// Reading and writing the text of hud.ini: its exact bytes, each key, the values each key
// takes or rejects, and the rules that decide whether the file gets rewritten.
#include "SettingsTestSupport.hpp"

#include "settings/HudFile.hpp"

#include <cmath>
#include <locale>
#include <sstream>
#include <streambuf>
#include <string>

namespace
{
    using namespace OrvTest;
    using Orv::HudSettings;
    using Orv::KeyChord;
    using Orv::SettingsReadResult;

    struct HudOutcome
    {
        HudSettings hud;
        SettingsReadResult result;
    };

    HudOutcome Read(const std::string& text, HudSettings start = {})
    {
        std::istringstream in(text);
        HudOutcome outcome{start, SettingsReadResult::Complete};
        outcome.result = Orv::ReadHudText(outcome.hud, in);
        return outcome;
    }

    // The complete default file with extra lines after it, so that only those lines decide.
    HudOutcome ReadWith(const std::string& extraLines)
    {
        return Read(kDefaultHudFile + extraLines);
    }

    const char* const kAllKeys[] = {"ToggleKey", "ZoomInKey", "ZoomOutKey", "Hidden",
                                    "NorthUp",   "CompassLetters", "Coordinates", "MapOpacity", "MarkersToRim", "NearestFirst", "EdgePins", "OtherFloors"};

    TEST(HudFormat, DefaultsAndEveryFieldByteForByte)
    {
        EXPECT_EQ(Orv::FormatHudText(HudSettings{}), kDefaultHudFile);

        HudSettings changed;
        changed.ToggleKey = KeyChord{0x74, false, true};
        changed.ZoomInKey = KeyChord{0x6B};
        changed.ZoomOutKey = KeyChord{0xE9, true, true, true};
        changed.Hidden = true;
        changed.NorthUp = true;
        changed.CompassLetters = false;
        changed.Coordinates = true;
        changed.MapOpacity = 0.123456789f;
        changed.MarkersToRim = false;
        changed.NearestFirst = false;
        changed.EdgePins = false;
        changed.OtherFloors = Orv::OtherFloorsMode::Show;
        EXPECT_EQ(Orv::FormatHudText(changed),
                  "[Keys]\r\nToggleKey=Shift+VK_F5\r\nZoomInKey=VK_ADD\r\nZoomOutKey=Ctrl+Shift+Alt+0xE9\r\n\r\n"
                  "[Hud]\r\nHidden=1\r\nNorthUp=1\r\nCompassLetters=0\r\nCoordinates=1\r\nMapOpacity=0.123457\r\nMarkersToRim=0\r\nNearestFirst=0\r\n"
                  "EdgePins=0\r\nOtherFloors=show\r\n");
        changed.OtherFloors = Orv::OtherFloorsMode::Hide;
        EXPECT_NE(Orv::FormatHudText(changed).find("\r\nOtherFloors=hide\r\n"), std::string::npos);
        // A value no name belongs to is written as the default, never as stray bytes.
        changed.OtherFloors = static_cast<Orv::OtherFloorsMode>(7);
        EXPECT_NE(Orv::FormatHudText(changed).find("\r\nOtherFloors=dim\r\n"), std::string::npos);
    }

    TEST(HudFormat, ProgramWideLocaleDoesNotChangeTheFile)
    {
        HudSettings hud;
        hud.MapOpacity = 0.25f;
        hud.Hidden = true;
        const std::locale before = std::locale::global(std::locale(std::locale::classic(), new CommaNumbers));
        const std::string text = Orv::FormatHudText(hud);
        std::locale::global(before);
        EXPECT_NE(text.find("\r\nMapOpacity=0.25\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\r\nHidden=1\r\n"), std::string::npos) << text;
    }

    TEST(HudRead, CompleteFileNeedsNoRewriteAndWrittenFileReadsBack)
    {
        const auto defaults = Read(kDefaultHudFile);
        EXPECT_EQ(defaults.result, SettingsReadResult::Complete);
        EXPECT_EQ(defaults.hud, HudSettings{});

        HudSettings changed;
        changed.ToggleKey = KeyChord{0x48, false, false, true};
        changed.ZoomInKey = KeyChord{0x21};
        changed.ZoomOutKey = KeyChord{0x22, false, true};
        changed.Hidden = true;
        changed.NorthUp = true;
        changed.CompassLetters = false;
        changed.Coordinates = true;
        changed.MapOpacity = 0.2f;
        changed.MarkersToRim = false;
        changed.NearestFirst = false;
        changed.EdgePins = false;
        changed.OtherFloors = Orv::OtherFloorsMode::Hide;
        const auto back = Read(Orv::FormatHudText(changed));
        EXPECT_EQ(back.result, SettingsReadResult::Complete);
        EXPECT_EQ(back.hud, changed);
    }

    TEST(HudRead, EachKeyIsReadIntoItsOwnField)
    {
        struct Line
        {
            const char* text;
            void (*set)(HudSettings&);
        };
        const Line lines[] = {
            {"ToggleKey=VK_F5", [](HudSettings& h) { h.ToggleKey = KeyChord{0x74}; }},
            {"ZoomInKey=Shift+0x6B", [](HudSettings& h) { h.ZoomInKey = KeyChord{0x6B, false, true}; }},
            {"ZoomOutKey=alt+109", [](HudSettings& h) { h.ZoomOutKey = KeyChord{0x6D, false, false, true}; }},
            {"Hidden=1", [](HudSettings& h) { h.Hidden = true; }},
            {"NorthUp=true", [](HudSettings& h) { h.NorthUp = true; }},
            {"CompassLetters=False", [](HudSettings& h) { h.CompassLetters = false; }},
            {"Coordinates=True", [](HudSettings& h) { h.Coordinates = true; }},
            {"MapOpacity=0.55", [](HudSettings& h) { h.MapOpacity = 0.55f; }},
            {"MarkersToRim=0", [](HudSettings& h) { h.MarkersToRim = false; }},
            {"NearestFirst=0", [](HudSettings& h) { h.NearestFirst = false; }},
            {"EdgePins=0", [](HudSettings& h) { h.EdgePins = false; }},
            {"OtherFloors=show", [](HudSettings& h) { h.OtherFloors = Orv::OtherFloorsMode::Show; }},
            {"OtherFloors=Hide", [](HudSettings& h) { h.OtherFloors = Orv::OtherFloorsMode::Hide; }},
        };
        for (const auto& [text, set] : lines)
        {
            HudSettings expected;
            set(expected);
            const auto outcome = ReadWith(std::string(text) + "\r\n");
            EXPECT_EQ(outcome.hud, expected) << text;
            EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << text;
        }
    }

    TEST(HudRead, EveryMissingLineForcesARewriteAndKeepsTheRest)
    {
        const std::string changedFile =
            "[Keys]\r\nToggleKey=H\r\nZoomInKey=VK_PRIOR\r\nZoomOutKey=VK_NEXT\r\n\r\n"
            "[Hud]\r\nHidden=1\r\nNorthUp=1\r\nCompassLetters=0\r\nCoordinates=1\r\nMapOpacity=0.5\r\nMarkersToRim=0\r\nNearestFirst=0\r\n"
            "EdgePins=0\r\nOtherFloors=show\r\n";
        const HudSettings changed = Read(changedFile).hud;
        for (const char* key : kAllKeys)
        {
            const auto outcome = Read(WithoutLine(changedFile, key));
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << key;
            // The missing field keeps what the record held: here the defaults.
            HudSettings expected = changed;
            const HudSettings defaults;
            const std::string name = key;
            if (name == "ToggleKey") expected.ToggleKey = defaults.ToggleKey;
            if (name == "ZoomInKey") expected.ZoomInKey = defaults.ZoomInKey;
            if (name == "ZoomOutKey") expected.ZoomOutKey = defaults.ZoomOutKey;
            if (name == "Hidden") expected.Hidden = defaults.Hidden;
            if (name == "NorthUp") expected.NorthUp = defaults.NorthUp;
            if (name == "CompassLetters") expected.CompassLetters = defaults.CompassLetters;
            if (name == "Coordinates") expected.Coordinates = defaults.Coordinates;
            if (name == "MapOpacity") expected.MapOpacity = defaults.MapOpacity;
            if (name == "MarkersToRim") expected.MarkersToRim = defaults.MarkersToRim;
            if (name == "NearestFirst") expected.NearestFirst = defaults.NearestFirst;
            if (name == "EdgePins") expected.EdgePins = defaults.EdgePins;
            if (name == "OtherFloors") expected.OtherFloors = defaults.OtherFloors;
            EXPECT_EQ(outcome.hud, expected) << key;
        }
        EXPECT_EQ(Read("").result, SettingsReadResult::NeedsRewrite);
        EXPECT_EQ(Read("").hud, HudSettings{});
    }

    TEST(HudRead, UnknownKeysAndLinesAreIgnored)
    {
        for (const char* ignored :
             {"hidden=1\r\n", " Hidden=1\r\n", "Hidden =1\r\n", "HiddenMap=1\r\n", "[Hidden=1]\r\n", "; Hidden=1\r\n",
              "Hidden\r\n", "Zoom=3000\r\n", "MarkerOpacity=0.5\r\n", "ToggleKeys=VK_F5\r\n", "[Other]\r\n"})
        {
            const auto outcome = ReadWith(ignored);
            EXPECT_EQ(outcome.hud, HudSettings{}) << ignored;
            EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << ignored;
        }
        // Sections do not scope keys, as in state.ini.
        EXPECT_TRUE(ReadWith("[Keys]\r\nHidden=1\r\n").hud.Hidden);
    }

    TEST(HudRead, BooleansTakeTheSixWordsOfStateIniAndNothingElse)
    {
        bool HudSettings::*const fields[] = {&HudSettings::Hidden, &HudSettings::NorthUp,
                                             &HudSettings::CompassLetters, &HudSettings::Coordinates};
        const char* const names[] = {"Hidden", "NorthUp", "CompassLetters", "Coordinates"};
        for (std::size_t i = 0; i < std::size(fields); ++i)
        {
            const std::string name = names[i];
            for (const bool value : {false, true})
            {
                HudSettings expected;
                expected.*fields[i] = value;
                // The opposite first, so the word must do the work.
                const std::string earlier = name + (value ? "=0\r\n" : "=1\r\n");
                static const char* const trueWords[] = {"1", "true", "True"};
                static const char* const falseWords[] = {"0", "false", "False"};
                for (const char* word : value ? trueWords : falseWords)
                {
                    const auto outcome = ReadWith(earlier + name + "=" + word + "\r\n");
                    EXPECT_EQ(outcome.hud, expected) << name << "=" << word;
                    EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << name << "=" << word;
                }
                for (const char* word : {"TRUE", "FALSE", "yes", "no", "on", " 1", "1 ", "01", "2", "-1", "1.0", ""})
                {
                    const auto outcome = ReadWith(name + (value ? "=1\r\n" : "=0\r\n") + name + "=" + word + "\r\n");
                    EXPECT_EQ(outcome.hud, expected) << name << "=" << word;
                    EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << name << "=" << word;
                }
            }
        }
    }

    // The three words, as written or capitalised; anything else keeps the value before it.
    TEST(HudRead, OtherFloorsTakesDimShowOrHideAndNothingElse)
    {
        using Orv::OtherFloorsMode;
        for (const auto& [text, mode] : {std::pair{"dim", OtherFloorsMode::Dim}, std::pair{"Dim", OtherFloorsMode::Dim},
                                         std::pair{"show", OtherFloorsMode::Show}, std::pair{"Show", OtherFloorsMode::Show},
                                         std::pair{"hide", OtherFloorsMode::Hide}, std::pair{"Hide", OtherFloorsMode::Hide}})
        {
            const auto outcome = ReadWith(std::string("OtherFloors=show\r\nOtherFloors=hide\r\nOtherFloors=") + text + "\r\n");
            EXPECT_EQ(outcome.hud.OtherFloors, mode) << text;
            EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << text;
        }
        for (const char* text : {"", "HIDE", "hidden", " show", "show ", "0", "1", "2", "dim\x01", "dimm"})
        {
            const auto outcome = ReadWith(std::string("OtherFloors=hide\r\nOtherFloors=") + text + "\r\n");
            EXPECT_EQ(outcome.hud.OtherFloors, OtherFloorsMode::Hide) << text;
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << text;
        }
    }

    // A rejected opacity is not clamped: the value before it stays, as state.ini does.
    TEST(HudRead, OpacityBoundsAreTakenAndAnythingBeyondRejected)
    {
        for (const auto& [text, value] : {std::pair{"0.2", 0.2f}, std::pair{"1", 1.0f}, std::pair{"0.2000001", 0.2000001f},
                                          std::pair{"0.9999999", 0.9999999f}, std::pair{" 0.5", 0.5f},
                                          std::pair{"+6e-1", 0.6f}})
        {
            const auto outcome = ReadWith(std::string("MapOpacity=0.7\r\nMapOpacity=") + text + "\r\n");
            EXPECT_EQ(outcome.hud.MapOpacity, value) << text;
            EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << text;
        }
        for (const char* text : {"0.1999999", "1.000001", "0", "-0.5", "100", "", " ", "0.5 ", "0,5", "0.5x", "50%",
                                 "nan", "inf", "-inf", "1e39"})
        {
            const auto outcome = ReadWith(std::string("MapOpacity=0.7\r\nMapOpacity=") + text + "\r\n");
            EXPECT_EQ(outcome.hud.MapOpacity, 0.7f) << text;
            EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << text;
        }
        EXPECT_EQ(ReadWith("MapOpacity=0.1\r\n").hud.MapOpacity, 1.0f);
    }

    TEST(HudRead, ChordsAreReadWithEveryFormAndRejectedOnesRepaired)
    {
        KeyChord HudSettings::*const fields[] = {&HudSettings::ToggleKey, &HudSettings::ZoomInKey,
                                                 &HudSettings::ZoomOutKey};
        const char* const names[] = {"ToggleKey", "ZoomInKey", "ZoomOutKey"};
        for (std::size_t i = 0; i < std::size(fields); ++i)
        {
            const std::string name = names[i];
            for (const auto& [text, chord] :
                 {std::pair{"m", KeyChord{0x4D}}, std::pair{"Ctrl + Shift + VK_F12", KeyChord{0x7B, true, true}},
                  std::pair{"0xDE", KeyChord{0xDE}}, std::pair{"Alt+65", KeyChord{0x41, false, false, true}}})
            {
                HudSettings expected;
                expected.*fields[i] = chord;
                const auto outcome = ReadWith(name + "=" + text + "\r\n");
                EXPECT_EQ(outcome.hud, expected) << name << "=" << text;
                EXPECT_EQ(outcome.result, SettingsReadResult::Complete) << name << "=" << text;
            }
            for (const char* text : {"", "Ctrl+", "VK_NOPE", "0x00", "0xFF", "0x01", "0x11", "VK_LSHIFT",
                                     "Ctrl+Ctrl+M", "Ctrl+M\x01"})
            {
                const auto outcome = ReadWith(name + "=" + text + "\r\n");
                EXPECT_EQ(outcome.hud, HudSettings{}) << name << "=" << text;
                EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite) << name << "=" << text;
            }
        }
        // A NUL ends no value early.
        EXPECT_EQ(ReadWith(std::string("ToggleKey=M\0\r\n", 14)).result, SettingsReadResult::NeedsRewrite);
    }

    TEST(HudRead, LastValidOccurrenceWins)
    {
        const auto outcome = ReadWith("ToggleKey=H\r\nToggleKey=J\r\nToggleKey=0x02\r\nMapOpacity=0.4\r\nMapOpacity=2\r\n");
        EXPECT_EQ(outcome.hud.ToggleKey, KeyChord{0x4A});
        EXPECT_EQ(outcome.hud.MapOpacity, 0.4f);
        EXPECT_EQ(outcome.result, SettingsReadResult::NeedsRewrite);
    }

    TEST(HudRead, WhatNoLineReplacedIsMadeUsable)
    {
        // The reader works on top of the record it is given: an opacity outside its range is
        // clamped, a chord no key can be goes back to its default; neither asks for a rewrite.
        HudSettings start;
        start.MapOpacity = 5.0f;
        start.ToggleKey = KeyChord{0x11, true};
        start.ZoomInKey = KeyChord{0x00};
        start.ZoomOutKey = KeyChord{0x41, false, true};
        HudSettings expected;
        expected.MapOpacity = 1.0f;
        expected.ZoomOutKey = KeyChord{0x41, false, true};
        std::string noKeys = kDefaultHudFile;
        for (const char* key : {"ToggleKey", "ZoomInKey", "ZoomOutKey", "MapOpacity"}) noKeys = WithoutLine(noKeys, key);
        EXPECT_EQ(Read(noKeys, start).hud, expected);

        start.MapOpacity = 0.0f;
        start.ToggleKey = KeyChord{0xFF};
        start.ZoomInKey = KeyChord{0x01, true};
        start.ZoomOutKey = KeyChord{0xA5};
        expected = HudSettings{};
        expected.MapOpacity = 0.2f;
        EXPECT_EQ(Read(noKeys, start).hud, expected);

        start.MapOpacity = std::nanf("");
        EXPECT_EQ(Read(kDefaultHudFile, start).hud.MapOpacity, 1.0f) << "the line replaces it";
        EXPECT_EQ(Read(noKeys, start).hud.MapOpacity, 0.2f);

        start = HudSettings{};
        start.MapOpacity = 0.3f;
        EXPECT_EQ(Read(noKeys, start).hud.MapOpacity, 0.3f);
    }

    TEST(HudRead, LineEndsAndBytesAbove127)
    {
        EXPECT_TRUE(Read("Hidden=0\nNorthUp=1").hud.NorthUp);
        EXPECT_TRUE(Read("Hidden=1\r\r\n").hud.Hidden);
        EXPECT_FALSE(Read("Hidden=1\r\r\r\n").hud.Hidden);
        const auto outcome = Read("; caf\xE9 \xFF\xFE\r\n" + kDefaultHudFile + "Coordinates=1\r\n");
        EXPECT_TRUE(outcome.hud.Coordinates);
        EXPECT_EQ(outcome.result, SettingsReadResult::Complete);
    }

    // Gives its text, then fails as a disk that cannot be read does.
    class FailingBuffer : public std::streambuf
    {
    public:
        explicit FailingBuffer(std::string text) : text_(std::move(text))
        {
            setg(text_.data(), text_.data(), text_.data() + text_.size());
        }

    protected:
        int_type underflow() override { throw std::ios_base::failure("read error"); }

    private:
        std::string text_;
    };

    TEST(HudRead, ReadErrorIsNotAShortFile)
    {
        FailingBuffer buffer("Hidden=1\r\nToggleKey=H\r\n");
        std::istream in(&buffer);
        HudSettings hud;
        EXPECT_EQ(Orv::ReadHudText(hud, in), SettingsReadResult::ReadError);
    }
}
