// Key chords as hud.ini holds them: the forms a player may write, each rejected key, and the
// written form reading back as the same chord.
#include "settings/KeyChord.hpp"

#include <Sim/Input.hpp>

#include <gtest/gtest.h>

#include <string>

namespace
{
    using Orv::KeyChord;

    // The chord the text reads as, or {0xFF} (which no text gives) when it is rejected.
    KeyChord Parsed(const std::string& text)
    {
        KeyChord chord{0xFF, true, true, true};
        if (!Orv::ParseKeyChord(text, chord)) return KeyChord{0xFF};
        return chord;
    }

    TEST(KeyChordParse, LettersDigitsNamesAndCodes)
    {
        EXPECT_EQ(Parsed("M"), (KeyChord{0x4D}));
        EXPECT_EQ(Parsed("m"), (KeyChord{0x4D}));
        EXPECT_EQ(Parsed("A"), (KeyChord{0x41}));
        EXPECT_EQ(Parsed("z"), (KeyChord{0x5A}));
        EXPECT_EQ(Parsed("0"), (KeyChord{0x30}));
        EXPECT_EQ(Parsed("9"), (KeyChord{0x39}));
        EXPECT_EQ(Parsed("VK_F5"), (KeyChord{0x74}));
        EXPECT_EQ(Parsed("vk_f5"), (KeyChord{0x74}));
        EXPECT_EQ(Parsed("VK_OEM_PLUS"), (KeyChord{0xBB}));
        EXPECT_EQ(Parsed("VK_OEM_MINUS"), (KeyChord{0xBD}));
        EXPECT_EQ(Parsed("VK_SPACE"), (KeyChord{0x20}));
        EXPECT_EQ(Parsed("VK_NUMPAD0"), (KeyChord{0x60}));
        EXPECT_EQ(Parsed("VK_F24"), (KeyChord{0x87}));
        EXPECT_EQ(Parsed("VK_OEM_102"), (KeyChord{0xE2}));
        EXPECT_EQ(Parsed("0x4D"), (KeyChord{0x4D}));
        EXPECT_EQ(Parsed("0X4d"), (KeyChord{0x4D}));
        EXPECT_EQ(Parsed("0xFE"), (KeyChord{0xFE}));
        EXPECT_EQ(Parsed("0x3"), (KeyChord{0x03}));
        EXPECT_EQ(Parsed("77"), (KeyChord{0x4D}));
        EXPECT_EQ(Parsed("254"), (KeyChord{0xFE}));
        EXPECT_EQ(Parsed("07"), (KeyChord{0x07}));
        // One digit is the digit's key, never the code of that number.
        EXPECT_EQ(Parsed("7"), (KeyChord{0x37}));
    }

    TEST(KeyChordParse, PrefixesInAnyOrderAndCase)
    {
        EXPECT_EQ(Parsed("Ctrl+M"), (KeyChord{0x4D, true}));
        EXPECT_EQ(Parsed("Shift+M"), (KeyChord{0x4D, false, true}));
        EXPECT_EQ(Parsed("Alt+M"), (KeyChord{0x4D, false, false, true}));
        EXPECT_EQ(Parsed("CTRL+shift+aLt+VK_F1"), (KeyChord{0x70, true, true, true}));
        EXPECT_EQ(Parsed("Alt+Ctrl+0x4D"), (KeyChord{0x4D, true, false, true}));
        EXPECT_EQ(Parsed("Shift+Alt+77"), (KeyChord{0x4D, false, true, true}));
        EXPECT_EQ(Parsed("Ctrl + M"), (KeyChord{0x4D, true}));
        EXPECT_EQ(Parsed(" Ctrl\t+\tShift +VK_OEM_PLUS "), (KeyChord{0xBB, true, true}));
        EXPECT_EQ(Parsed(" m\t"), (KeyChord{0x4D}));
    }

    TEST(KeyChordParse, RejectedTextLeavesTheChordAlone)
    {
        for (const char* text :
             {"", " ", "+", "Ctrl+", "+M", "Ctrl", "Shift", "Alt", "Ctrl+Ctrl+M", "ctrl+CTRL+M", "Shift+Shift+M",
              "Alt+Alt+M", "Control+M", "Win+M", "Ctrl++", "Ctrl+M+", "Ctrl M", "MM", "VK_F25", "VK_", "VK_A",
              "VK_F5x", "F5", "0x", "0x4G", "0x 4D", "0x4D h", "x4D", "4D", "-5", "+5", "1e2", "0x-1", "Ctrl+\xC4"})
        {
            KeyChord chord{0x70, false, true, false};
            EXPECT_FALSE(Orv::ParseKeyChord(text, chord)) << text;
            EXPECT_EQ(chord, (KeyChord{0x70, false, true, false})) << text;
        }
        EXPECT_EQ(Parsed(std::string("M\0", 2)), KeyChord{0xFF});
    }

    TEST(KeyChordParse, CodesAChordCannotUse)
    {
        // Code 0 and anything from 0xFF up.
        // Codes from 0x100 up are refused whole, not cut to their low byte ("0x141" is no 'A').
        for (const char* text : {"00", "0x0", "0x00", "255", "0xFF", "256", "0x100", "0x141", "321", "0x10000004D",
                                 "99999999999999999999"})
            EXPECT_EQ(Parsed(text), KeyChord{0xFF}) << text;
        // The mouse buttons.
        for (const char* text : {"0x01", "0x02", "0x04", "0x05", "0x06", "01", "06", "Ctrl+0x02"})
            EXPECT_EQ(Parsed(text), KeyChord{0xFF}) << text;
        // The modifiers themselves, by code or by name.
        for (const char* text : {"0x10", "0x11", "0x12", "0xA0", "0xA1", "0xA2", "0xA3", "0xA4", "0xA5", "16", "165",
                                 "VK_SHIFT", "VK_CONTROL", "VK_MENU", "VK_LSHIFT", "VK_RMENU", "Ctrl+VK_LCONTROL"})
            EXPECT_EQ(Parsed(text), KeyChord{0xFF}) << text;
        // Their neighbours are keys.
        for (unsigned code : {0x03u, 0x07u, 0x0Fu, 0x13u, 0x9Fu, 0xA6u, 0xFEu})
        {
            EXPECT_EQ(Parsed("0" + std::to_string(code)), KeyChord{static_cast<std::uint8_t>(code)}) << code;
            EXPECT_TRUE(Orv::IsChordKey(static_cast<std::uint8_t>(code))) << code;
        }
    }

    TEST(KeyChordFormat, PrefixesInOrderThenTheKeyByItsBestName)
    {
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x4D, true}), "Ctrl+M");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0xBB, true}), "Ctrl+VK_OEM_PLUS");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0xBD, true}), "Ctrl+VK_OEM_MINUS");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x30}), "0");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x39, false, false, true}), "Alt+9");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x41, true, true, true}), "Ctrl+Shift+Alt+A");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x5A, false, true, true}), "Shift+Alt+Z");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x74, false, true}), "Shift+VK_F5");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x1B}), "VK_ESCAPE");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x07}), "0x07");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0xE9, true}), "Ctrl+0xE9");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x3A}), "0x3A");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x40}), "0x40");
        EXPECT_EQ(Orv::FormatKeyChord(KeyChord{0x5B}), "VK_LWIN");
    }

    TEST(KeyChordFormat, EveryUsableChordReadsBackAsItself)
    {
        int usable = 0;
        for (unsigned code = 0; code <= 0xFF; ++code)
        {
            for (unsigned modifiers = 0; modifiers < 8; ++modifiers)
            {
                const KeyChord chord{static_cast<std::uint8_t>(code), (modifiers & 1) != 0, (modifiers & 2) != 0,
                                     (modifiers & 4) != 0};
                const std::string text = Orv::FormatKeyChord(chord);
                KeyChord back{};
                const bool read = Orv::ParseKeyChord(text, back);
                EXPECT_EQ(read, Orv::IsChordKey(chord.key)) << text;
                if (!read) continue;
                EXPECT_EQ(back, chord) << text;
                if (modifiers == 0) ++usable;
            }
        }
        // 256 codes less 0, 0xFF, five mouse buttons and nine modifiers.
        EXPECT_EQ(usable, 256 - 2 - 5 - 9);
    }

    TEST(KeyChordFormat, TheKeyIsWrittenAsWindowsNamesIt)
    {
        // The stand-in's key table follows Windows' headers; wherever it knows the name the mod
        // writes, it must mean the same key.
        // Letters, digits and codes it reads all.
        for (unsigned code = 1; code < 0xFF; ++code)
        {
            const std::string text = Orv::FormatKeyChord(KeyChord{static_cast<std::uint8_t>(code)});
            const int windows = Sim::KeyCodeByName(text);
            if (windows == -1 && text.starts_with("VK_")) continue;
            EXPECT_EQ(windows, static_cast<int>(code)) << text;
        }
        // The names of keys a chord cannot end in, known to Windows, are refused by the mod.
        for (const char* name : {"VK_LBUTTON", "VK_RBUTTON", "VK_MBUTTON", "VK_SHIFT", "VK_CONTROL", "VK_MENU",
                                 "VK_LSHIFT", "VK_RSHIFT", "VK_LCONTROL", "VK_RCONTROL", "VK_LMENU", "VK_RMENU"})
        {
            ASSERT_NE(Sim::KeyCodeByName(name), -1) << name;
            EXPECT_EQ(Parsed(name), KeyChord{0xFF}) << name;
        }
        // Names Windows has beyond the stand-in's table.
        EXPECT_EQ(Parsed("VK_F13"), (KeyChord{0x7C}));
        EXPECT_EQ(Parsed("VK_SNAPSHOT"), (KeyChord{0x2C}));
        EXPECT_EQ(Parsed("VK_APPS"), (KeyChord{0x5D}));
        EXPECT_EQ(Parsed("VK_NUMLOCK"), (KeyChord{0x90}));
        EXPECT_EQ(Parsed("VK_SCROLL"), (KeyChord{0x91}));
        EXPECT_EQ(Parsed("VK_VOLUME_MUTE"), (KeyChord{0xAD}));
        EXPECT_EQ(Parsed("VK_MEDIA_PLAY_PAUSE"), (KeyChord{0xB3}));
        EXPECT_EQ(Parsed("VK_LAUNCH_APP2"), (KeyChord{0xB7}));
        EXPECT_EQ(Parsed("VK_OEM_3"), (KeyChord{0xC0}));
        EXPECT_EQ(Parsed("VK_OEM_4"), (KeyChord{0xDB}));
        EXPECT_EQ(Parsed("VK_OEM_8"), (KeyChord{0xDF}));
    }
}
