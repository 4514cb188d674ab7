// The key table that names the keys, apart from the engine: a script reader needs the names
// without a running engine.
#include <Sim/Input.hpp>

#include <array>
#include <charconv>
#include <string_view>

namespace Sim
{
namespace
{
struct NamedKey
{
    std::string_view name;
    int code;
};

// Windows' own names for the keys a player or a script is likely to press.
constexpr std::array kNamedKeys = {
    NamedKey{"left", 0x01},         NamedKey{"VK_LBUTTON", 0x01},   NamedKey{"VK_RBUTTON", 0x02},
    NamedKey{"VK_MBUTTON", 0x04},   NamedKey{"VK_BACK", 0x08},      NamedKey{"VK_TAB", 0x09},
    NamedKey{"VK_RETURN", 0x0D},    NamedKey{"VK_SHIFT", 0x10},     NamedKey{"VK_CONTROL", 0x11},
    NamedKey{"VK_MENU", 0x12},      NamedKey{"VK_PAUSE", 0x13},     NamedKey{"VK_CAPITAL", 0x14},
    NamedKey{"VK_ESCAPE", 0x1B},    NamedKey{"VK_SPACE", 0x20},     NamedKey{"VK_PRIOR", 0x21},
    NamedKey{"VK_NEXT", 0x22},      NamedKey{"VK_END", 0x23},       NamedKey{"VK_HOME", 0x24},
    NamedKey{"VK_LEFT", 0x25},      NamedKey{"VK_UP", 0x26},        NamedKey{"VK_RIGHT", 0x27},
    NamedKey{"VK_DOWN", 0x28},      NamedKey{"VK_INSERT", 0x2D},    NamedKey{"VK_DELETE", 0x2E},
    NamedKey{"VK_NUMPAD0", 0x60},   NamedKey{"VK_NUMPAD1", 0x61},   NamedKey{"VK_NUMPAD2", 0x62},
    NamedKey{"VK_NUMPAD3", 0x63},   NamedKey{"VK_NUMPAD4", 0x64},   NamedKey{"VK_NUMPAD5", 0x65},
    NamedKey{"VK_NUMPAD6", 0x66},   NamedKey{"VK_NUMPAD7", 0x67},   NamedKey{"VK_NUMPAD8", 0x68},
    NamedKey{"VK_NUMPAD9", 0x69},   NamedKey{"VK_MULTIPLY", 0x6A},  NamedKey{"VK_ADD", 0x6B},
    NamedKey{"VK_SUBTRACT", 0x6D},  NamedKey{"VK_DECIMAL", 0x6E},   NamedKey{"VK_DIVIDE", 0x6F},
    NamedKey{"VK_F1", 0x70},        NamedKey{"VK_F2", 0x71},        NamedKey{"VK_F3", 0x72},
    NamedKey{"VK_F4", 0x73},        NamedKey{"VK_F5", 0x74},        NamedKey{"VK_F6", 0x75},
    NamedKey{"VK_F7", 0x76},        NamedKey{"VK_F8", 0x77},        NamedKey{"VK_F9", 0x78},
    NamedKey{"VK_F10", 0x79},       NamedKey{"VK_F11", 0x7A},       NamedKey{"VK_F12", 0x7B},
    NamedKey{"VK_LSHIFT", 0xA0},    NamedKey{"VK_RSHIFT", 0xA1},    NamedKey{"VK_LCONTROL", 0xA2},
    NamedKey{"VK_RCONTROL", 0xA3},  NamedKey{"VK_LMENU", 0xA4},     NamedKey{"VK_RMENU", 0xA5},
    NamedKey{"VK_OEM_1", 0xBA},     NamedKey{"VK_OEM_PLUS", 0xBB},  NamedKey{"VK_OEM_COMMA", 0xBC},
    NamedKey{"VK_OEM_MINUS", 0xBD}, NamedKey{"VK_OEM_PERIOD", 0xBE}, NamedKey{"VK_OEM_2", 0xBF},
};
} // namespace

int KeyCodeByName(std::string_view name)
{
    if (name.size() == 1 && ((name[0] >= '0' && name[0] <= '9') || (name[0] >= 'A' && name[0] <= 'Z')))
    {
        // Windows gives digits and letters their ASCII codes.
        return name[0];
    }
    if (name.size() > 2 && name[0] == '0' && (name[1] == 'x' || name[1] == 'X'))
    {
        int code = -1;
        const char* end = name.data() + name.size();
        const auto parsed = std::from_chars(name.data() + 2, end, code, 16);
        // 0 and 0xFF are no key on Windows.
        return parsed.ec == std::errc{} && parsed.ptr == end && code > 0 && code < 0xFF ? code : -1;
    }
    for (const NamedKey& key : kNamedKeys)
    {
        if (key.name == name)
        {
            return key.code;
        }
    }
    return -1;
}
} // namespace Sim
