// Fuzzing orvanta-sim's input script reader: whatever the bytes, reading never crashes; a
// script it takes holds only events a player could make (frames from 0 in playing order, keys
// of the key table, finite mouse positions, windows of the desktop), and written back out event by event it reads as
// the same events; a script it refuses names a line that is there, and why.
#include "InputScript.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

namespace
{
void Require(bool condition)
{
    if (!condition) std::abort();
}

bool SameEvents(const OrvSim::InputScript& a, const OrvSim::InputScript& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const OrvSim::InputEvent& x, const OrvSim::InputEvent& y) {
        return x.frame == y.frame && x.kind == y.kind && x.key == y.key && x.x == y.x && x.y == y.y && x.window == y.window;
    });
}

const char* WindowName(Sim::Foreground window)
{
    switch (window)
    {
    case Sim::Foreground::Game: return "game";
    case Sim::Foreground::GameConsole: return "console";
    case Sim::Foreground::OtherProgram: return "other";
    case Sim::Foreground::None: return "none";
    }
    std::abort();
}

// One line per event, keys by their codes.
std::string Written(const OrvSim::InputScript& events)
{
    std::string text;
    char line[128];
    for (const OrvSim::InputEvent& event : events)
    {
        switch (event.kind)
        {
        case OrvSim::InputEvent::Kind::MouseAt:
            std::snprintf(line, sizeof(line), "%d mouse %.17g %.17g\n", event.frame, event.x, event.y);
            break;
        case OrvSim::InputEvent::Kind::MouseNone: std::snprintf(line, sizeof(line), "%d mouse none\n", event.frame); break;
        case OrvSim::InputEvent::Kind::KeyDown: std::snprintf(line, sizeof(line), "%d down 0x%X\n", event.frame, event.key); break;
        case OrvSim::InputEvent::Kind::KeyUp: std::snprintf(line, sizeof(line), "%d up 0x%X\n", event.frame, event.key); break;
        case OrvSim::InputEvent::Kind::Focus:
            std::snprintf(line, sizeof(line), "%d focus %s\n", event.frame, WindowName(event.window));
            break;
        }
        text += line;
    }
    return text;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    OrvSim::InputScript events;
    OrvSim::ScriptError error;
    if (!OrvSim::ParseInputScript(script, events, error))
    {
        const auto lines = static_cast<int>(std::count(script.begin(), script.end(), '\n')) + 1;
        Require(error.line >= 1 && error.line <= lines);
        Require(!error.reason.empty());
        Require(error.text.find('\n') == std::string::npos);
        Require(events.empty());
        return 0;
    }
    int last = 0;
    for (const OrvSim::InputEvent& event : events)
    {
        Require(event.frame >= last);
        last = event.frame;
        switch (event.kind)
        {
        case OrvSim::InputEvent::Kind::MouseAt: Require(std::isfinite(event.x) && std::isfinite(event.y)); break;
        case OrvSim::InputEvent::Kind::MouseNone: break;
        case OrvSim::InputEvent::Kind::KeyDown:
        case OrvSim::InputEvent::Kind::KeyUp: Require(event.key > 0 && event.key < 0xFF); break;
        case OrvSim::InputEvent::Kind::Focus: WindowName(event.window); break;
        }
    }
    // A tap on the last frame a line may name releases on the frame after it, which no line
    // can name: such a script is played, not written back.
    if (last == std::numeric_limits<int>::max())
    {
        return 0;
    }
    OrvSim::InputScript again;
    Require(OrvSim::ParseInputScript(Written(events), again, error));
    Require(SameEvents(events, again));
    return 0;
}
