// orvanta-sim: the command line around one simulated session.
#include "SimRun.hpp"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    CLI::App app{"orvanta-sim: plays a scripted game session against the stand-in engine with the Orvanta mod loaded"};
    OrvSim::RunOptions options;
    options.library = ORVANTA_MAIN_LIBRARY;
    std::string viewport = "1920x1080";
    std::string reportPath;
    std::string logPath;

    app.add_option("--mod-dir", options.modDir, "Mod folder (default: a new folder under the system temp folder)");
    app.add_option("--frames", options.frames, "Engine frames to run; 0 initialises and unloads")->check(CLI::NonNegativeNumber);
    app.add_option("--fps", options.fps, "Engine frames per second")->check(CLI::PositiveNumber);
    app.add_option("--scenario", options.scenario, "Scenario to play")
        ->check(CLI::IsMember(OrvSim::ScenarioNames()));
    app.add_option("--seed", options.seed, "Seed of the scenario's randomness");
    std::string engine = "5";
    app.add_option("--engine", engine,
                   "Engine version: 4.27, 5.1 or 5.5, each with the script functions and parameters its headers "
                   "declare; 4 and 5 are short for 4.27 and 5.5 (default)")
        ->check([](const std::string& text) {
            Sim::EngineVersion version;
            return Sim::ParseEngineVersion(text, version) ? std::string{} : "not an engine version the stand-in plays: " + text;
        });
    app.add_option("--viewport", viewport, "Viewport size in pixels, WxH");
    app.add_option("--dpi-scale", options.dpiScale, "Viewport DPI scale (default: the engine's for the shortest side, 1080 pixels → 1)")
        ->check(CLI::PositiveNumber);
    app.add_option("--report", reportPath, "Write the session report (JSON) here");
    app.add_option("--log", logPath, "Write the mod's log lines here");
    app.add_option("--library", options.library, "The mod library to install (default: the built one)");
    app.add_option("--travel", options.travel, "World change: a map load within one frame, or seamless travel over frames")
        ->check(CLI::IsMember({"load", "seamless"}));
    app.add_option("--loads", options.loads, "World changes in the world-change scenario, the first a third of the way in")
        ->check(CLI::Range(1, 1000));
    app.add_flag("--silent-events", options.silentEvents, "No hooked script function runs its hooks, world change included");
    app.add_option("--objects", options.objects, "Pad the engine's object array to this many objects")
        ->check(CLI::NonNegativeNumber);
    bool noMapTracker = false;
    app.add_flag("--no-map-tracker", noMapTracker,
                 "A game without the minimap plugin's map tracker: map-icon components are only found by looking");
    app.add_flag("--init-thread", options.initOnLoaderThread,
                 "Run the mod's engine-initialised callback on the loader's thread while frames run (the default, "
                 "as the loader does)");
    bool initOnGameThread = false;
    app.add_flag("--init-on-game-thread", initOnGameThread,
                 "Run the mod's engine-initialised callback on the game thread before the first frame");
    app.add_option("--ending", options.ending,
                   "How the run ends: unload (the loader uninstalls the mod; default) or exit (the game exits: the "
                   "engine's object array shuts down and the loader frees the library without uninstalling the mod)")
        ->check(CLI::IsMember({"unload", "exit"}));
    app.add_option("--hot-reload", options.hotReloadFrames,
                   "Before this frame (0-based; may be given more than once) the loader reloads the mod on its own "
                   "thread while the game ticks, as its hot-reload key does")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--gc-thread", options.gcThread,
                 "Part of each purge is finished on the engine's purge thread, whose delete listeners hear of those "
                 "objects there");
    app.add_option("--capture-png", options.capturePng,
                   "Write what the mod's capture holds at the end of the run (before the mod unloads) as a PNG");
    app.add_option("--overview-png", options.overviewPng,
                   "Write the engine's own view straight down on the local player as a PNG, whatever the mod captures");
    app.add_option("--picture-frame", options.pictureFrame,
                   "Take the pictures after this frame (0-based) instead of at the end");
    app.add_option("--screenshot", options.screenshot,
                   "Write the screen (the world behind the HUD and the viewport's widgets) as a PNG with the other pictures");
    auto* every = app.add_option("--every", options.screenshotEvery, "With --screenshots: frames between screenshots")
                      ->check(CLI::PositiveNumber);
    app.add_option("--screenshots", options.screenshotDir,
                   "Write a screenshot every --every frames into this folder (created), as frame-NNNNNN.png")
        ->needs(every);
    std::string inputPath;
    app.add_option("--input", inputPath,
                   "Play timed mouse and key events from this file before the frames they name: one event a line, "
                   "FRAME mouse X Y | FRAME mouse none | FRAME down KEY | FRAME up KEY | FRAME tap KEY | "
                   "FRAME focus game|console|other|none; # starts a comment");
    app.add_flag("--no-mod", options.noMod, "Play the scenario without loading the mod");
    try
    {
        app.parse(argc, argv);
    }
    catch (const CLI::ParseError& error)
    {
        // Help and version end well; any other fault in the command line is a usage error, as
        // a fault in the input script is.
        return app.exit(error) == 0 ? 0 : 2;
    }
    options.mapTracker = !noMapTracker;
    options.initOnLoaderThread = !initOnGameThread;
    Sim::ParseEngineVersion(engine, options.engine);

    if (std::sscanf(viewport.c_str(), "%dx%d", &options.viewportWidth, &options.viewportHeight) != 2 ||
        options.viewportWidth <= 0 || options.viewportHeight <= 0)
    {
        std::cerr << "orvanta-sim: --viewport takes WxH, e.g. 1920x1080\n";
        return 2;
    }

    // The whole script is read before the first frame: a fault in it stops the run unplayed.
    if (!inputPath.empty())
    {
        std::ifstream in(inputPath, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in)
        {
            std::cerr << "orvanta-sim: cannot read " << inputPath << "\n";
            return 2;
        }
        OrvSim::ScriptError error;
        if (!OrvSim::ParseInputScript(text.str(), options.input, error))
        {
            std::cerr << "orvanta-sim: " << inputPath << " line " << error.line << ": " << error.reason << ": " << error.text
                      << "\n";
            return 2;
        }
    }

    OrvSim::RunResult result = OrvSim::RunSession(options);
    for (const auto& note : result.notes)
    {
        std::cerr << "orvanta-sim: " << note << "\n";
    }
    if (!result.ok)
    {
        std::cerr << "orvanta-sim: " << result.error << "\n";
        return 1;
    }
    if (!logPath.empty())
    {
        std::ofstream log(logPath);
        for (const auto& line : result.report["log"])
        {
            log << line.get<std::string>();
        }
    }
    if (!reportPath.empty())
    {
        std::ofstream report(reportPath);
        report << result.report.dump(2) << "\n";
        if (!report)
        {
            std::cerr << "orvanta-sim: cannot write " << reportPath << "\n";
            return 1;
        }
    }
    std::cout << "mod folder: " << result.modDir.string() << "\n";
    if (!reportPath.empty())
    {
        std::cout << "report: " << reportPath << "\n";
    }
    if (!options.screenshot.empty() && std::filesystem::exists(options.screenshot))
    {
        std::cout << "screenshot: " << options.screenshot.string() << "\n";
    }
    return 0;
}
