// Plays one session: prepares the mod folder, starts the engine, loads the mod as the loader
// does (start_mod, the engine-initialised callback, frames, uninstall_mod) and reports what
// the engine saw.
#include "SimRun.hpp"
#include "CaptureReport.hpp"
#include "InputReport.hpp"
#include "Scenarios.hpp"
#include "WidgetReport.hpp"

#include <Sim/Engine.hpp>
#include <Sim/ModLoader.hpp>
#include <Sim/Output.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <fstream>
#include <optional>
#include <random>
#include <system_error>
#include <thread>

namespace OrvSim
{
namespace
{
// Prints each mod line to standard output as it arrives.
class EchoOutputDevice : public RC::Output::OutputDevice
{
  public:
    bool has_optional_arg() const override { return true; }
    void receive(RC::File::StringViewType text) const override { Print(text); }
    void receive_with_optional_arg(RC::File::StringViewType text, int32_t) const override { Print(text); }

  private:
    static void Print(RC::File::StringViewType text)
    {
        std::string line = Sim::ToUtf8(text);
        if (line.empty() || line.back() != '\n')
        {
            line.push_back('\n');
        }
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
};

// A folder of this run's own: the first free name of a random series.
std::filesystem::path MakeTempModDir()
{
    std::error_code ec;
    auto base = std::filesystem::temp_directory_path(ec);
    if (ec)
    {
        return {};
    }
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        auto folder = base / ("orvanta-sim-" + std::to_string(random()));
        if (std::filesystem::create_directory(folder, ec) && !ec)
        {
            return folder;
        }
    }
    return {};
}

bool InstallLibrary(const std::filesystem::path& library, const std::filesystem::path& modDir, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(modDir / "dlls", ec);
    if (ec)
    {
        error = "cannot create " + (modDir / "dlls").string() + ": " + ec.message();
        return false;
    }
    std::filesystem::copy_file(library, modDir / "dlls" / Sim::ModLoader::LibraryFileName(),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
    {
        error = "cannot install " + library.string() + ": " + ec.message();
        return false;
    }
    if (!std::filesystem::exists(modDir / "enabled.txt"))
    {
        std::ofstream enabled(modDir / "enabled.txt");
    }
    return true;
}

constexpr Sim::int64 kGarbageCollectionPeriod = 1'000'000'000;

// Script hooks, tick callbacks, and the loader's callbacks on actors' begin and end of play
// and on map loads.
nlohmann::json HookCounts()
{
    return {{"script", Sim::ScriptHookCount()},
            {"tick", Sim::TickCallbackCount()},
            {"actor", Sim::ActorCallbackCount()},
            {"map", Sim::MapCallbackCount()}};
}

// The picture in the render target the mod's capture draws into; failing a live capture, the
// newest render target the engine holds.
void WriteCapture(const std::filesystem::path& path, std::vector<std::string>& notes)
{
    std::vector<RC::Unreal::UObject*> targets = Sim::CaptureTargets();
    if (targets.empty())
    {
        targets = Sim::RenderTargets();
    }
    if (targets.empty())
    {
        notes.push_back("no capture picture written: the engine holds no render target");
    }
    else if (!Sim::WriteRenderTargetPng(targets.back(), path))
    {
        notes.push_back("cannot write the capture picture to " + path.string());
    }
}

// A view straight down on the local player, from just under whatever is over them (or from
// high above in the open), 8000 units across with the player's heading up.
void WriteOverview(const std::filesystem::path& path, std::vector<std::string>& notes)
{
    RC::Unreal::UObject* controller = Sim::ObjectReference(Sim::LocalPlayer(), L"PlayerController");
    RC::Unreal::UObject* pawn = controller != nullptr ? Sim::ObjectReference(controller, L"Pawn") : nullptr;
    if (pawn == nullptr || !Sim::HoldsObject(pawn))
    {
        notes.push_back("no overview written: no local player stands in a world");
        return;
    }
    Sim::Placement camera = Sim::ActorPlacement(pawn);
    auto over = Sim::TraceLine(pawn->GetWorld(), camera.x, camera.y, camera.z, camera.x, camera.y, camera.z + 8000);
    camera.z = over.hit ? std::max(over.z - 40, camera.z + 100) : camera.z + 8000;
    Sim::RenderTargetImage image;
    if (!Sim::DrawOverview(pawn->GetWorld(), camera, 8000, 1024, image) || !Sim::WriteImagePng(image, path))
    {
        notes.push_back("cannot write the overview picture to " + path.string());
    }
}

void WriteScreenshot(const std::filesystem::path& path, std::vector<std::string>& notes)
{
    if (!Sim::WriteScreenPng(path))
    {
        notes.push_back("cannot write the screenshot to " + path.string());
    }
}

// Screenshots named by the number of frames played, so they sort in playing order.
std::filesystem::path NumberedScreenshot(const std::filesystem::path& folder, int frames)
{
    char name[32];
    std::snprintf(name, sizeof(name), "frame-%06d.png", frames);
    return folder / name;
}

// The pictures, and the capture's and the widget's state for the report, at the same moment.
void TakePictures(const RunOptions& options, std::vector<std::string>& notes, nlohmann::json& captureState,
                  nlohmann::json& widgetState, nlohmann::json& markersState, nlohmann::json& inputState,
                  nlohmann::json& extrasState, int frame)
{
    captureState = DescribeCapture();
    captureState["frame"] = frame;
    captureState["map_tint"] = MapTint();
    widgetState = DescribeWidget();
    widgetState["controls"] = DescribeControls(ControlsOnScreen());
    inputState = DescribeInput();
    markersState = DescribeMarkers();
    extrasState = DescribeExtras(!options.noMod);
    if (options.atPictures)
    {
        options.atPictures();
    }
    if (!options.screenshot.empty())
    {
        WriteScreenshot(options.screenshot, notes);
    }
    if (!options.capturePng.empty())
    {
        WriteCapture(options.capturePng, notes);
    }
    if (!options.overviewPng.empty())
    {
        WriteOverview(options.overviewPng, notes);
    }
}
} // namespace

std::vector<std::string> ScenarioNames()
{
    return {"walk", "menu", "world-change", "respawn", "no-world-hook", "no-tick", "crowd", "edit", "soak", "hot-reload"};
}

RunResult RunSession(const RunOptions& options)
{
    RunResult result;
    Scenario scenario;
    if (options.travel != "load" && options.travel != "seamless")
    {
        result.error = "unknown travel: " + options.travel;
        return result;
    }
    if (options.ending != "unload" && options.ending != "exit")
    {
        result.error = "unknown ending: " + options.ending;
        return result;
    }
    if (!MakeScenario(options.scenario, options.seed, options.frames, options.travel == "seamless", scenario, options.loads))
    {
        result.error = "unknown scenario: " + options.scenario;
        return result;
    }
    result.modDir = options.modDir.empty() ? MakeTempModDir() : options.modDir;
    if (result.modDir.empty())
    {
        result.error = "cannot create a mod folder under the temp folder";
        return result;
    }
    if (!options.noMod && !InstallLibrary(options.library, result.modDir, result.error))
    {
        return result;
    }
    if (options.screenshotEvery > 0 && !options.screenshotDir.empty())
    {
        std::error_code ec;
        std::filesystem::create_directories(options.screenshotDir, ec);
        if (ec)
        {
            result.error = "cannot create " + options.screenshotDir.string() + ": " + ec.message();
            return result;
        }
    }

    Sim::ResetEngine({.VersionMajor = options.engine.Major,
                      .VersionMinor = options.engine.Minor,
                      .SilentEvents = options.silentEvents,
                      .AsyncPurge = options.gcThread || scenario.gcThread});
    scenario.game.mapTracker = scenario.game.mapTracker && options.mapTracker;
    Sim::DefineDefaultGame(scenario.game);
    Sim::RefuseTickCallbacks(scenario.refuseTick);
    // A game collects about once a minute; a short run collects every second, so freed memory
    // and slots are taken again by the creatures that come after.
    Sim::SetGarbageCollectionPeriod(kGarbageCollectionPeriod);
    Sim::PadObjectArray(options.objects);
    Sim::SetViewportPixels(options.viewportWidth, options.viewportHeight);
    if (options.dpiScale > 0)
    {
        Sim::SetViewportScale(static_cast<float>(options.dpiScale));
    }
    if (scenario.setUp)
    {
        scenario.setUp();
    }
    // From here on the engine's counters are the mod's doing.
    Sim::ResetCounters();

    auto capture = std::make_unique<Sim::CapturingOutputDevice>();
    auto* captured = capture.get();
    Sim::ScopedOutputDevice captureScope(std::move(capture));
    std::unique_ptr<Sim::ScopedOutputDevice> echoScope;
    if (options.echoLog)
    {
        echoScope = std::make_unique<Sim::ScopedOutputDevice>(std::make_unique<EchoOutputDevice>());
    }

    // Without the mod the same frames play with nothing loaded.
    std::optional<Sim::ModLoader> loader;
    if (!options.noMod)
    {
        loader.emplace(result.modDir);
        if (!loader->Load(result.error))
        {
            return result;
        }
        loader->StartMod();
    }
    // UE4SSProgram::init tells the mods of Unreal's start on its own thread once it has found the
    // engine, which by then ticks: here from the first frame's tick on. The run waits for it
    // before the second frame, so that the mod's first tick is that frame's in every run.
    RC::Unreal::Hook::GlobalCallbackId initCallback = RC::Unreal::Hook::ERROR_ID;
    if (loader && options.initOnLoaderThread)
    {
        initCallback = RC::Unreal::Hook::RegisterEngineTickPostCallback(
            [&loader](RC::Unreal::Hook::TCallbackIterationData<void>&, RC::Unreal::UEngine*, float, bool) {
                loader->StartUnrealInitOnLoaderThread();
            },
            {true, false, STR("UE4SS"), STR("UnrealInit")});
        // A loader whose tick hook is off still starts its mods.
        if (initCallback == RC::Unreal::Hook::ERROR_ID)
        {
            loader->StartUnrealInitOnLoaderThread();
        }
    }
    else if (loader)
    {
        loader->UnrealInit();
    }

    auto delta = static_cast<float>(1.0 / options.fps);
    nlohmann::json hooksAtLastFrame = HookCounts();
    nlohmann::json captureState;
    nlohmann::json widgetState;
    nlohmann::json markersState;
    nlohmann::json inputState;
    nlohmann::json extrasState;
    InputPlayer input(options.input);
    std::vector<int> reloadFrames = options.hotReloadFrames;
    reloadFrames.insert(reloadFrames.end(), scenario.hotReloadFrames.begin(), scenario.hotReloadFrames.end());
    for (int frame = 0; frame < options.frames; ++frame)
    {
        if (scenario.beforeFrame)
        {
            scenario.beforeFrame(frame);
        }
        input.BeforeFrame(frame);
        if (options.beforeFrame)
        {
            options.beforeFrame(frame);
        }
        if (loader && frame == 1 && options.initOnLoaderThread)
        {
            loader->WaitForUnrealInit();
        }
        if (loader && std::find(reloadFrames.begin(), reloadFrames.end(), frame) != reloadFrames.end())
        {
            loader->StartHotReloadOnLoaderThread();
        }
        // A game's frame takes its time, in which the loader's thread gets on with its work.
        if (loader && loader->LoaderThreadBusy())
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        Sim::TickEngine(delta);
        hooksAtLastFrame = HookCounts();
        if (frame == options.pictureFrame)
        {
            TakePictures(options, result.notes, captureState, widgetState, markersState, inputState, extrasState, frame);
        }
        if (options.screenshotEvery > 0 && !options.screenshotDir.empty() && (frame + 1) % options.screenshotEvery == 0)
        {
            WriteScreenshot(NumberedScreenshot(options.screenshotDir, frame + 1), result.notes);
        }
        // Leaves the loader's thread room to take the engine between frames.
        std::this_thread::yield();
    }
    if (initCallback != RC::Unreal::Hook::ERROR_ID)
    {
        // A run too short for a frame still initialises the mod.
        RC::Unreal::Hook::UnregisterCallback(initCallback);
        if (!loader->UnrealInitStarted())
        {
            loader->StartUnrealInitOnLoaderThread();
        }
    }
    if (loader)
    {
        loader->WaitForUnrealInit();
    }
    hooksAtLastFrame = HookCounts();
    if (options.pictureFrame < 0 || options.pictureFrame >= options.frames)
    {
        TakePictures(options, result.notes, captureState, widgetState, markersState, inputState, extrasState, options.frames);
    }
    const bool exited = options.ending == "exit";
    if (loader && exited)
    {
        Sim::ShutdownObjectArray();
        loader->ExitWithTheGame();
    }
    else if (loader)
    {
        loader->Unload();
    }
    // What the mod left behind is what survives a collection after it is gone.
    Sim::CollectGarbage(true);
    Sim::FlushAsyncPurge();

    auto& report = result.report;
    report["scenario"] = options.scenario;
    report["frames"] = options.frames;
    report["engine_version"] = std::to_string(RC::Unreal::Version::Major) + "." + std::to_string(RC::Unreal::Version::Minor);
    report["travel"] = options.travel;
    report["ending"] = options.ending;
    report["gc_thread"] = options.gcThread || scenario.gcThread;
    report["init_thread"] = options.initOnLoaderThread ? "loader" : "game";
    report["hot_reloads"] = loader ? loader->Reloads() : 0;
    report["library_pinned"] = loader && loader->Reloads() > 0 ? nlohmann::json(loader->StayedMappedOnReload()) : nlohmann::json(nullptr);
    report["loads"] = options.scenario == "world-change" ? options.loads : 0;
    report["silent_events"] = options.silentEvents;
    report["mod_loaded"] = !options.noMod;
    report["log"] = nlohmann::json::array();
    for (const auto& line : captured->Lines())
    {
        report["log"].push_back(Sim::ToUtf8(line.text));
    }
    report["hooks_registered"] = hooksAtLastFrame;
    report["hooks_after_unload"] = HookCounts();
    const Sim::Observed& observed = Sim::Observations();
    report["sessions"] = observed.addToViewport;
    report["teardowns"] = observed.removeFromParent;
    report["widgets_removed_by_engine"] = observed.removedByEngine;
    report["capture_actors"] = observed.captureActorsSpawned;
    report["capture"] = captureState;
    report["capture"].update({{"actors_spawned", observed.captureActorsSpawned},
                              {"actors_destroyed", observed.captureActorsDestroyed},
                              {"captures", observed.captureScenes},
                              {"automatic_captures", observed.automaticCaptures}});
    report["widget"] = widgetState;
    report["markers"] = markersState;
    report["input"] = inputState;
    report["extras"] = extrasState;
    report["objects_alive"] = Sim::LiveObjectCount();
    if (scenario.describe)
    {
        report[options.scenario] = scenario.describe();
    }
    const Sim::EngineStats& stats = Sim::Stats();
    report["engine"] = {{"objects_created", stats.ObjectsCreated},   {"objects_freed", stats.ObjectsFreed},
                        {"addresses_reused", stats.AddressesReused}, {"slots_reused", stats.SlotsReused},
                        {"collections", stats.Collections},          {"script_hooks_fired", stats.ScriptHooksFired},
                        {"find_object_calls", Sim::Counters().FindObject},
                        {"checks_failed", stats.ChecksFailed},
                        {"objects_freed_on_purge_thread", stats.ObjectsFreedOnPurgeThread},
                        {"worlds_alive", Sim::LiveWorldCount()},
                        {"texts_leaked", Sim::TextsLeaked()}};
    report["engine"]["failed_checks"] = nlohmann::json::array();
    for (const auto& what : Sim::FailedChecks())
    {
        report["engine"]["failed_checks"].push_back(Sim::ToUtf8(what));
    }
    result.ok = true;
    return result;
}
} // namespace OrvSim
