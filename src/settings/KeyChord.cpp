// Reading and writing key chords, with the mod's own table of virtual-key names.
#include "settings/KeyChord.hpp"

#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <system_error>

namespace Orv
{
    namespace
    {
        struct NamedKey
        {
            std::string_view name;
            std::uint8_t code;
        };

        // The names Windows gives the keys a player can press on a keyboard, one name per code
        // (the first of the aliases Windows lists) so that a chord is always written the same
        // way. Letters and digits have no VK_ name: they are written as themselves.
        constexpr NamedKey kNamedKeys[] = {
            {"VK_CANCEL", 0x03},
            {"VK_BACK", 0x08},
            {"VK_TAB", 0x09},
            {"VK_CLEAR", 0x0C},
            {"VK_RETURN", 0x0D},
            {"VK_PAUSE", 0x13},
            {"VK_CAPITAL", 0x14},
            {"VK_ESCAPE", 0x1B},
            {"VK_SPACE", 0x20},
            {"VK_PRIOR", 0x21},
            {"VK_NEXT", 0x22},
            {"VK_END", 0x23},
            {"VK_HOME", 0x24},
            {"VK_LEFT", 0x25},
            {"VK_UP", 0x26},
            {"VK_RIGHT", 0x27},
            {"VK_DOWN", 0x28},
            {"VK_SELECT", 0x29},
            {"VK_PRINT", 0x2A},
            {"VK_EXECUTE", 0x2B},
            {"VK_SNAPSHOT", 0x2C},
            {"VK_INSERT", 0x2D},
            {"VK_DELETE", 0x2E},
            {"VK_HELP", 0x2F},
            {"VK_LWIN", 0x5B},
            {"VK_RWIN", 0x5C},
            {"VK_APPS", 0x5D},
            {"VK_SLEEP", 0x5F},
            {"VK_NUMPAD0", 0x60},
            {"VK_NUMPAD1", 0x61},
            {"VK_NUMPAD2", 0x62},
            {"VK_NUMPAD3", 0x63},
            {"VK_NUMPAD4", 0x64},
            {"VK_NUMPAD5", 0x65},
            {"VK_NUMPAD6", 0x66},
            {"VK_NUMPAD7", 0x67},
            {"VK_NUMPAD8", 0x68},
            {"VK_NUMPAD9", 0x69},
            {"VK_MULTIPLY", 0x6A},
            {"VK_ADD", 0x6B},
            {"VK_SEPARATOR", 0x6C},
            {"VK_SUBTRACT", 0x6D},
            {"VK_DECIMAL", 0x6E},
            {"VK_DIVIDE", 0x6F},
            {"VK_F1", 0x70},
            {"VK_F2", 0x71},
            {"VK_F3", 0x72},
            {"VK_F4", 0x73},
            {"VK_F5", 0x74},
            {"VK_F6", 0x75},
            {"VK_F7", 0x76},
            {"VK_F8", 0x77},
            {"VK_F9", 0x78},
            {"VK_F10", 0x79},
            {"VK_F11", 0x7A},
            {"VK_F12", 0x7B},
            {"VK_F13", 0x7C},
            {"VK_F14", 0x7D},
            {"VK_F15", 0x7E},
            {"VK_F16", 0x7F},
            {"VK_F17", 0x80},
            {"VK_F18", 0x81},
            {"VK_F19", 0x82},
            {"VK_F20", 0x83},
            {"VK_F21", 0x84},
            {"VK_F22", 0x85},
            {"VK_F23", 0x86},
            {"VK_F24", 0x87},
            {"VK_NUMLOCK", 0x90},
            {"VK_SCROLL", 0x91},
            {"VK_BROWSER_BACK", 0xA6},
            {"VK_BROWSER_FORWARD", 0xA7},
            {"VK_BROWSER_REFRESH", 0xA8},
            {"VK_BROWSER_STOP", 0xA9},
            {"VK_BROWSER_SEARCH", 0xAA},
            {"VK_BROWSER_FAVORITES", 0xAB},
            {"VK_BROWSER_HOME", 0xAC},
            {"VK_VOLUME_MUTE", 0xAD},
            {"VK_VOLUME_DOWN", 0xAE},
            {"VK_VOLUME_UP", 0xAF},
            {"VK_MEDIA_NEXT_TRACK", 0xB0},
            {"VK_MEDIA_PREV_TRACK", 0xB1},
            {"VK_MEDIA_STOP", 0xB2},
            {"VK_MEDIA_PLAY_PAUSE", 0xB3},
            {"VK_LAUNCH_MAIL", 0xB4},
            {"VK_LAUNCH_MEDIA_SELECT", 0xB5},
            {"VK_LAUNCH_APP1", 0xB6},
            {"VK_LAUNCH_APP2", 0xB7},
            {"VK_OEM_1", 0xBA},
            {"VK_OEM_PLUS", 0xBB},
            {"VK_OEM_COMMA", 0xBC},
            {"VK_OEM_MINUS", 0xBD},
            {"VK_OEM_PERIOD", 0xBE},
            {"VK_OEM_2", 0xBF},
            {"VK_OEM_3", 0xC0},
            {"VK_OEM_4", 0xDB},
            {"VK_OEM_5", 0xDC},
            {"VK_OEM_6", 0xDD},
            {"VK_OEM_7", 0xDE},
            {"VK_OEM_8", 0xDF},
            {"VK_OEM_102", 0xE2},
        };

        char Upper(char c)
        {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }

        bool SameIgnoringCase(std::string_view a, std::string_view b)
        {
            if (a.size() != b.size()) return false;
            for (std::size_t i = 0; i < a.size(); ++i)
            {
                if (Upper(a[i]) != Upper(b[i])) return false;
            }
            return true;
        }

        bool IsLetterOrDigit(char c)
        {
            const char upper = Upper(c);
            return (upper >= 'A' && upper <= 'Z') || (c >= '0' && c <= '9');
        }

        std::string_view TrimSpaces(std::string_view text)
        {
            while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
            return text;
        }

        // All of `digits` as one number in `base`; anything left over, or nothing at all, fails.
        std::optional<unsigned> WholeNumber(std::string_view digits, int base)
        {
            unsigned value = 0;
            const char* end = digits.data() + digits.size();
            const auto [stop, error] = std::from_chars(digits.data(), end, value, base);
            if (digits.empty() || error != std::errc{} || stop != end) return std::nullopt;
            return value;
        }

        // The code the key's text names, before any check of whether a chord may use it.
        std::optional<unsigned> KeyCode(std::string_view text)
        {
            if (text.size() == 1 && IsLetterOrDigit(text[0])) return static_cast<unsigned char>(Upper(text[0]));
            for (const auto& named : kNamedKeys)
            {
                if (SameIgnoringCase(text, named.name)) return named.code;
            }
            if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
                return WholeNumber(text.substr(2), 16);
            // from_chars takes no sign, so "+5" and "-5" fail here as they should.
            return WholeNumber(text, 10);
        }

        // Sets the modifier `word` names; false when it names none or one already set.
        bool TakeModifier(std::string_view word, KeyChord& chord)
        {
            bool* flag = SameIgnoringCase(word, "Ctrl")    ? &chord.ctrl
                         : SameIgnoringCase(word, "Shift") ? &chord.shift
                         : SameIgnoringCase(word, "Alt")   ? &chord.alt
                                                           : nullptr;
            if (flag == nullptr || *flag) return false;
            *flag = true;
            return true;
        }
    }

    bool IsChordKey(std::uint8_t key)
    {
        switch (key)
        {
        case 0x00:
        case 0xFF:
        case 0x01: // VK_LBUTTON
        case 0x02: // VK_RBUTTON
        case 0x04: // VK_MBUTTON
        case 0x05: // VK_XBUTTON1
        case 0x06: // VK_XBUTTON2
            return false;
        default:
            break;
        }
        // VK_SHIFT, VK_CONTROL, VK_MENU and their left and right forms are held, not pressed.
        if (key >= 0x10 && key <= 0x12) return false;
        if (key >= 0xA0 && key <= 0xA5) return false;
        return true;
    }

    bool ParseKeyChord(std::string_view text, KeyChord& chord)
    {
        KeyChord read;
        std::size_t plus = text.find('+');
        while (plus != std::string_view::npos)
        {
            if (!TakeModifier(TrimSpaces(text.substr(0, plus)), read)) return false;
            text.remove_prefix(plus + 1);
            plus = text.find('+');
        }
        const auto code = KeyCode(TrimSpaces(text));
        if (!code || *code > 0xFF || !IsChordKey(static_cast<std::uint8_t>(*code))) return false;
        read.key = static_cast<std::uint8_t>(*code);
        chord = read;
        return true;
    }

    std::string FormatKeyChord(KeyChord chord)
    {
        std::string text;
        if (chord.ctrl) text += "Ctrl+";
        if (chord.shift) text += "Shift+";
        if (chord.alt) text += "Alt+";
        const char asCharacter = static_cast<char>(chord.key);
        if ((asCharacter >= 'A' && asCharacter <= 'Z') || (asCharacter >= '0' && asCharacter <= '9'))
            return text += asCharacter;
        for (const auto& named : kNamedKeys)
        {
            if (named.code == chord.key) return text += named.name;
        }
        std::array<char, 8> code{};
        std::snprintf(code.data(), code.size(), "0x%02X", static_cast<unsigned>(chord.key));
        return text += code.data();
    }
}
