// Wide text to UTF-8 bytes, for paths handed to the file system and for lines printed by the
// simulator. One encoder serves both, so they never disagree on a character.
#pragma once

#include <cstdint>
#include <string>

namespace Sim::Detail
{
// A code point that UTF-8 can carry: not a surrogate, not beyond U+10FFFF.
inline bool IsScalarValue(std::uint32_t code) { return code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF); }

// Appends the encoding of a scalar value; callers check IsScalarValue first.
inline void AppendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80)
    {
        out.push_back(static_cast<char>(code));
    }
    else if (code < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    else if (code < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}
} // namespace Sim::Detail
