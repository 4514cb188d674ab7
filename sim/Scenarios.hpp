// Scripted game sessions: what the game looks like before the mod loads, and what happens
// on given frames while it runs.
#pragma once

#include <Sim/Game.hpp>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace OrvSim
{
struct Scenario
{
    std::string name;
    Sim::GameOptions game;
    bool refuseTick = false;
    // Builds the world the session starts in, after the game's classes exist.
    std::function<void()> setUp;
    // Runs before engine frame `frame` (0-based).
    std::function<void(int frame)> beforeFrame;
    // What the scenario itself kept count of, for the report's key named after it; null for none.
    std::function<nlohmann::json()> describe;
    // Frames (0-based) before which the loader reloads every mod, as its hot-reload key does.
    std::vector<int> hotReloadFrames;
    // Part of each purge is finished on the engine's purge thread (the soak's long evening).
    bool gcThread = false;
};

// False when the name is unknown. Events happen at fixed frames or at shares of the run's
// frames (travel a third of the way in, respawn halfway), timed for 60 frames a second. The
// hot-reload scenario is the walk with the loader's hot reload a third and two thirds of the
// way in.
// seamlessTravel: the world change travels over frames instead of loading the map at once.
// loads: how many world changes the world-change scenario makes.
bool MakeScenario(const std::string& name, std::uint64_t seed, int frames, bool seamlessTravel, Scenario& out,
                  int loads = 1);
} // namespace OrvSim
