// One simulated game session: the mod folder, the engine, the mod loaded as the loader loads
// it, the scripted frames, and the report of what the engine observed.
#pragma once

#include "InputScript.hpp"

#include <Sim/Engine.hpp>

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace OrvSim
{
struct RunOptions
{
    std::filesystem::path library;  // the built mod library to install
    std::filesystem::path modDir;   // empty: a new folder under the system temp folder
    int frames = 600;
    double fps = 60.0;
    std::string scenario = "walk";
    std::uint64_t seed = 1;
    Sim::EngineVersion engine{5, 5}; // one of Sim::OfferedEngineVersions()
    int viewportWidth = 1920;
    int viewportHeight = 1080;
    double dpiScale = 0.0; // 0: the engine's scale for the viewport's shortest side
    bool echoLog = true; // the mod's lines to standard output as they come
    std::string travel = "load"; // "load": a map load within one frame; "seamless": over frames
    int loads = 1;               // world changes in the world-change scenario
    bool silentEvents = false;   // no hooked script function runs its hooks
    std::size_t objects = 0;     // pad the object array to this many objects
    // The engine-initialised callback on the loader's own thread while frames run, as the loader
    // does at every start; false calls it on the game thread before the first frame.
    bool initOnLoaderThread = true;
    // How the run ends: "unload" (the loader uninstalls the mod, then the engine collects) or
    // "exit" (the game exits: the engine's object array shuts down, and the loader frees the
    // library without uninstalling the mod).
    std::string ending = "unload";
    // Frames (0-based) before which the loader's hot reload starts on its own thread.
    std::vector<int> hotReloadFrames;
    // Part of each purge is finished on the engine's purge thread.
    bool gcThread = false;
    bool mapTracker = true;          // false: a game without the minimap plugin's map tracker
    // Pictures, taken after the frame pictureFrame (0-based; -1 or past the run: at its end,
    // before the mod unloads): what the mod's capture holds, and the engine's own overview of
    // the local player's surroundings.
    std::filesystem::path capturePng;
    std::filesystem::path overviewPng;
    int pictureFrame = -1;
    // The screen as the player sees it, at the same moment as the other pictures.
    std::filesystem::path screenshot;
    // One screenshot every screenshotEvery frames into screenshotDir, named by frame number.
    std::filesystem::path screenshotDir;
    int screenshotEvery = 0;
    // Timed mouse and keys, played before each frame after the scenario's own events.
    InputScript input;
    // The same scenario without the mod: the game as it looks without the minimap.
    bool noMod = false;
    // Runs at the picture moment, with the mod still loaded, for callers in this process.
    std::function<void()> atPictures;
    // Runs before each frame, after the scenario's and the input's events, for callers in this
    // process.
    std::function<void(int frame)> beforeFrame;
};

struct RunResult
{
    bool ok = false;
    std::string error;
    std::filesystem::path modDir;
    nlohmann::json report;
    std::vector<std::string> notes; // what could not be done besides, for standard error
};

RunResult RunSession(const RunOptions& options);
std::vector<std::string> ScenarioNames();
} // namespace OrvSim
