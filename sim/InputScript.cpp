// The input script's reading, line by line; the key names are the engine's key table's.
#include "InputScript.hpp"

#include <Sim/Input.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace OrvSim
{
namespace
{
std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (true)
    {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos)
        {
            return fields;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
}

bool WholeNumber(std::string_view text, int& out)
{
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, out);
    // A tap's release comes a frame later: that frame must be one too.
    return parsed.ec == std::errc{} && parsed.ptr == end && out >= 0 && out < std::numeric_limits<int>::max();
}

bool Coordinate(std::string_view text, double& out)
{
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, out);
    return parsed.ec == std::errc{} && parsed.ptr == end && std::isfinite(out);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool WindowByName(std::string_view name, Sim::Foreground& out)
{
    constexpr std::pair<std::string_view, Sim::Foreground> kWindows[] = {
        {"game", Sim::Foreground::Game},
        {"console", Sim::Foreground::GameConsole},
        {"other", Sim::Foreground::OtherProgram},
        {"none", Sim::Foreground::None},
    };
    for (const auto& [known, window] : kWindows)
    {
        if (known == name)
        {
            out = window;
            return true;
        }
    }
    return false;
}

// One line's events; the reason when it is malformed.
bool ParseLine(const std::vector<std::string_view>& fields, std::vector<InputEvent>& out, std::string& reason)
{
    int frame = 0;
    if (!WholeNumber(fields[0], frame))
    {
        reason = "the frame is not a whole number from 0: " + Quoted(fields[0]);
        return false;
    }
    if (fields.size() < 2)
    {
        reason = "no event after the frame";
        return false;
    }
    const std::string_view verb = fields[1];
    if (verb == "mouse")
    {
        if (fields.size() > 2 && fields[2] == "none")
        {
            if (fields.size() != 3)
            {
                reason = "mouse none takes nothing after it";
                return false;
            }
            out.push_back({frame, InputEvent::Kind::MouseNone});
            return true;
        }
        if (fields.size() != 4)
        {
            reason = "mouse takes X Y or none";
            return false;
        }
        InputEvent event{frame, InputEvent::Kind::MouseAt};
        if (!Coordinate(fields[2], event.x) || !Coordinate(fields[3], event.y))
        {
            reason = "mouse takes two numbers of pixels";
            return false;
        }
        out.push_back(event);
        return true;
    }
    if (verb == "focus")
    {
        InputEvent event{frame, InputEvent::Kind::Focus};
        if (fields.size() != 3 || !WindowByName(fields[2], event.window))
        {
            reason = "focus takes one window: game, console, other or none";
            return false;
        }
        out.push_back(event);
        return true;
    }
    if (verb != "down" && verb != "up" && verb != "tap")
    {
        reason = "unknown event " + Quoted(verb) + " (mouse, down, up, tap or focus)";
        return false;
    }
    if (fields.size() != 3)
    {
        reason = std::string(verb) + " takes one key";
        return false;
    }
    const int key = Sim::KeyCodeByName(fields[2]);
    if (key < 0)
    {
        reason = "unknown key " + Quoted(fields[2]);
        return false;
    }
    if (verb == "up")
    {
        out.push_back({frame, InputEvent::Kind::KeyUp, key});
        return true;
    }
    out.push_back({frame, InputEvent::Kind::KeyDown, key});
    if (verb == "tap")
    {
        // The release a frame later, so the mod's poll of the frame sees the key down.
        out.push_back({frame + 1, InputEvent::Kind::KeyUp, key});
    }
    return true;
}
} // namespace

bool ParseInputScript(std::string_view script, InputScript& out, ScriptError& error)
{
    InputScript events;
    int number = 0;
    while (!script.empty())
    {
        ++number;
        const std::size_t end = std::min(script.find('\n'), script.size());
        std::string_view line = script.substr(0, end);
        script.remove_prefix(std::min(end + 1, script.size()));
        if (!line.empty() && line.back() == '\r')
        {
            line.remove_suffix(1);
        }
        const std::vector<std::string_view> fields = Fields(line.substr(0, line.find('#')));
        if (fields.empty())
        {
            continue;
        }
        std::string reason;
        if (!ParseLine(fields, events, reason))
        {
            error = {number, std::string(line), reason};
            return false;
        }
    }
    // A stable sort keeps the script's order within a frame.
    std::stable_sort(events.begin(), events.end(), [](const InputEvent& a, const InputEvent& b) { return a.frame < b.frame; });
    out = std::move(events);
    return true;
}
} // namespace OrvSim
