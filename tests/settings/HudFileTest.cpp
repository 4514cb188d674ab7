// hud.ini on disk: creation beside state.ini, repair, the replace through hud.ini.tmp, and
// the failures that must leave the real file alone.
#include "SettingsTestSupport.hpp"

#include "settings/HudFile.hpp"
#include "settings/SettingsFile.hpp"

namespace
{
    using namespace OrvTest;
    using Orv::HudSettings;
    using Orv::KeyChord;

    class HudFileTest : public TempFolderTest
    {
    protected:
        HudSettings LoadWithContent(const std::string& content)
        {
            WriteBytes(HudFile(), content);
            return Load();
        }

        HudSettings Load()
        {
            HudSettings hud;
            hud.Hidden = true; // loading must start from the defaults, not from this
            hud.ToggleKey = KeyChord{0x74};
            Orv::LoadHudSettingsFile(hud, HudFile().wstring());
            return hud;
        }
    };

    TEST_F(HudFileTest, MissingFileIsCreatedWithDefaults)
    {
        EXPECT_EQ(Load(), HudSettings{});
        EXPECT_EQ(ReadBytes(HudFile()), kDefaultHudFile);
        EXPECT_FALSE(fs::exists(HudTempFile()));
    }

    TEST_F(HudFileTest, CompleteFileIsLeftAsItIs)
    {
        // LF line ends, a comment, an unknown key and a chord written unlike the writer would:
        // a rewrite would be visible in the bytes.
        std::string text = "; mine\nFutureKey=7\n";
        for (char c : kDefaultHudFile)
            if (c != '\r') text += c;
        text.replace(text.find("ToggleKey=Ctrl+M"), 16, "ToggleKey=shift + f");
        text.replace(text.find("MapOpacity=1"), 12, "MapOpacity=0.6");
        const HudSettings hud = LoadWithContent(text);
        EXPECT_EQ(hud.ToggleKey, (KeyChord{0x46, false, true}));
        EXPECT_EQ(hud.MapOpacity, 0.6f);
        EXPECT_EQ(ReadBytes(HudFile()), text);
        EXPECT_FALSE(fs::exists(HudTempFile()));
    }

    TEST_F(HudFileTest, EachBadValueIsRepairedAndTheRestKept)
    {
        const std::string good =
            "[Keys]\r\nToggleKey=Alt+H\r\nZoomInKey=VK_ADD\r\nZoomOutKey=VK_SUBTRACT\r\n\r\n"
            "[Hud]\r\nHidden=1\r\nNorthUp=1\r\nCompassLetters=0\r\nCoordinates=1\r\nMapOpacity=0.4\r\nMarkersToRim=0\r\nNearestFirst=1\r\nEdgePins=0\r\nOtherFloors=hide\r\n";
        const HudSettings kept = LoadWithContent(good);
        ASSERT_EQ(ReadBytes(HudFile()), good);
        const struct
        {
            const char* line;
            void (*toDefault)(HudSettings&);
        } bad[] = {
            {"ToggleKey=Ctrl+VK_LBUTTON", [](HudSettings& h) { h.ToggleKey = HudSettings{}.ToggleKey; }},
            {"ZoomInKey=0x00", [](HudSettings& h) { h.ZoomInKey = HudSettings{}.ZoomInKey; }},
            {"ZoomOutKey=VK_CONTROL", [](HudSettings& h) { h.ZoomOutKey = HudSettings{}.ZoomOutKey; }},
            {"Hidden=yes", [](HudSettings& h) { h.Hidden = HudSettings{}.Hidden; }},
            {"NorthUp=2", [](HudSettings& h) { h.NorthUp = HudSettings{}.NorthUp; }},
            {"CompassLetters=", [](HudSettings& h) { h.CompassLetters = HudSettings{}.CompassLetters; }},
            {"Coordinates=TRUE", [](HudSettings& h) { h.Coordinates = HudSettings{}.Coordinates; }},
            {"MapOpacity=0.15", [](HudSettings& h) { h.MapOpacity = HudSettings{}.MapOpacity; }},
            {"MapOpacity=1.5", [](HudSettings& h) { h.MapOpacity = HudSettings{}.MapOpacity; }},
            {"MapOpacity=x", [](HudSettings& h) { h.MapOpacity = HudSettings{}.MapOpacity; }},
            {"EdgePins=off", [](HudSettings& h) { h.EdgePins = HudSettings{}.EdgePins; }},
            {"OtherFloors=DIM", [](HudSettings& h) { h.OtherFloors = HudSettings{}.OtherFloors; }},
        };
        for (const auto& [line, toDefault] : bad)
        {
            const std::string key = std::string(line).substr(0, std::string(line).find('='));
            const std::string text = WithoutLine(good, key) + line + "\r\n";
            HudSettings expected = kept;
            toDefault(expected);
            EXPECT_EQ(LoadWithContent(text), expected) << line;
            EXPECT_EQ(ReadBytes(HudFile()), Orv::FormatHudText(expected)) << line;
            EXPECT_FALSE(fs::exists(HudTempFile())) << line;
        }
    }

    TEST_F(HudFileTest, MissingKeysAreWrittenBackWithTheirDefaults)
    {
        const HudSettings hud = LoadWithContent("[Hud]\r\nNorthUp=1\r\nFutureKey=3\r\n");
        HudSettings expected;
        expected.NorthUp = true;
        EXPECT_EQ(hud, expected);
        EXPECT_EQ(ReadBytes(HudFile()), Orv::FormatHudText(expected));
        EXPECT_EQ(ReadBytes(HudFile()).find("FutureKey"), std::string::npos) << "unknown keys are not kept";
    }

    TEST_F(HudFileTest, NumbersAreReadWithAFullStopWhateverTheProcessLocale)
    {
#if defined(__MINGW32__)
        GTEST_SKIP() << "the MinGW test build's C runtime has no conversion that takes a locale";
#endif
        const std::string text = WithoutLine(kDefaultHudFile, "MapOpacity") + "MapOpacity=0.25\r\n";
        HudSettings hud;
        {
            const CommaProcessLocale comma;
            if (!comma.Active()) GTEST_SKIP() << "no comma-decimal locale on this machine";
            hud = LoadWithContent(text);
            // The writer ignores the process locale as well.
            EXPECT_TRUE(Orv::SaveHudSettingsFile(hud, (folder / "copy.ini").wstring()));
        }
        EXPECT_EQ(hud.MapOpacity, 0.25f);
        EXPECT_EQ(ReadBytes(HudFile()), text) << "nothing rejected, nothing rewritten";
        EXPECT_NE(ReadBytes(folder / "copy.ini").find("\r\nMapOpacity=0.25\r\n"), std::string::npos);
    }

    TEST_F(HudFileTest, ReadErrorGivesDefaultsAndLeavesTheFile)
    {
        // The shared load with a reader that stops as a failing disk makes it stop.
        const std::string text = "Hidden=1\r\n";
        WriteBytes(HudFile(), text);
        HudSettings hud;
        hud.Coordinates = true;
        Orv::LoadIniRecord<HudSettings>(
            hud, HudFile().wstring(),
            [](HudSettings& record, std::istream&) {
                record.Hidden = true;
                return Orv::SettingsReadResult::ReadError;
            },
            Orv::SaveHudSettingsFile);
        EXPECT_EQ(hud, HudSettings{});
        EXPECT_EQ(ReadBytes(HudFile()), text);
        EXPECT_FALSE(fs::exists(HudTempFile()));
    }

    TEST_F(HudFileTest, HudFileThatIsAFolderIsNeitherReadNorReplaced)
    {
        fs::create_directory(HudFile());
        WriteBytes(HudFile() / "keep", "x");
        EXPECT_EQ(Load(), HudSettings{});
        EXPECT_EQ(ReadBytes(HudFile() / "keep"), "x");
        EXPECT_FALSE(fs::exists(HudTempFile()));
        EXPECT_FALSE(Orv::SaveHudSettingsFile(HudSettings{}, HudFile().wstring()));
        EXPECT_EQ(ReadBytes(HudFile() / "keep"), "x");
        EXPECT_FALSE(fs::exists(HudTempFile())) << "a failed replace deletes the temporary";
    }

    TEST_F(HudFileTest, FailedWriteLeavesTheRealFileUntouched)
    {
        // A folder in the temporary file's place refuses to be opened for writing, even for root.
        fs::create_directory(HudTempFile());
        const std::string text = WithoutLine(kDefaultHudFile, "Hidden") + "Coordinates=1\r\n";
        EXPECT_TRUE(LoadWithContent(text).Coordinates);
        EXPECT_EQ(ReadBytes(HudFile()), text);
        EXPECT_FALSE(Orv::SaveHudSettingsFile(HudSettings{}, HudFile().wstring()));
        EXPECT_EQ(ReadBytes(HudFile()), text);
    }

    TEST_F(HudFileTest, SaveReplacesTheFileAndTruncatesALeftoverTemporary)
    {
        WriteBytes(HudTempFile(), std::string(100000, 'z'));
        WriteBytes(HudFile(), "old");
        HudSettings hud;
        hud.Hidden = true;
        EXPECT_TRUE(Orv::SaveHudSettingsFile(hud, HudFile().wstring()));
        EXPECT_EQ(ReadBytes(HudFile()), Orv::FormatHudText(hud));
        EXPECT_FALSE(fs::exists(HudTempFile()));
    }

    TEST_F(HudFileTest, UnusablePathsDisableReadingAndWriting)
    {
        HudSettings hud;
        hud.Hidden = true;
        Orv::LoadHudSettingsFile(hud, L"");
        EXPECT_EQ(hud, HudSettings{});
        EXPECT_FALSE(Orv::SaveHudSettingsFile(hud, L""));

        // A path whose folder is a regular file cannot be created by anyone (ENOTDIR).
        WriteBytes(folder / "file", "contents");
        const auto inside = (folder / "file" / "hud.ini").wstring();
        hud.Hidden = true;
        EXPECT_NO_THROW(Orv::LoadHudSettingsFile(hud, inside));
        EXPECT_EQ(hud, HudSettings{});
        EXPECT_FALSE(Orv::SaveHudSettingsFile(hud, inside));
        EXPECT_EQ(ReadBytes(folder / "file"), "contents");
    }

    TEST_F(HudFileTest, LivesBesideStateIniInTheChosenFolder)
    {
        EXPECT_EQ(Orv::HudPathInFolder(L""), L"");
        EXPECT_EQ(Orv::HudPathInFolder(L"/game"), (fs::path("/game") / "hud.ini").wstring());

        Orv::UseSettingsFolder(folder.wstring());
        EXPECT_EQ(Orv::HudFilePath(), HudFile().wstring());
        HudSettings hud;
        hud.NorthUp = true;
        EXPECT_TRUE(Orv::SaveHudSettings(hud));
        HudSettings loaded;
        Orv::LoadHudSettings(loaded);
        Orv::UseSettingsFolder(L"");
        EXPECT_EQ(loaded, hud);
        EXPECT_EQ(ReadBytes(HudFile()), Orv::FormatHudText(hud));
        EXPECT_FALSE(fs::exists(StateFile())) << "hud.ini is a file of its own";
        EXPECT_EQ(Orv::HudFilePath(), (fs::path(Orv::ModuleFolder()) / "hud.ini").wstring());
    }
}
