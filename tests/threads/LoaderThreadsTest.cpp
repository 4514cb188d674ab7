// The loader's threads and the engine's against the built mod, played in this process: the
// mod's start on the loader's thread, a hot reload while the game ticks, the game's exit, the
// engine's purge thread, and loader calls that throw. Each is judged by what the engine holds
// and was told, not by the mod's fields. A ThreadSanitizer build runs this suite alone.
#ifdef ORVANTA_WITH_SIM
#include "SimRun.hpp"
#include "support/SimSessions.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Faults.hpp>
#include <Sim/Scene.hpp>
#include <Sim/World.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
const nlohmann::json kNothingRegistered = {{"script", 0}, {"tick", 0}, {"actor", 0}, {"map", 0}};

// Under ThreadSanitizer every access is watched and a frame costs ten times as much: there the
// threads are played once each, on one engine.
#if defined(__SANITIZE_THREAD__)
constexpr bool kWatched = true;
#else
constexpr bool kWatched = false;
#endif

std::vector<std::string> Engines(std::vector<std::string> all)
{
    if (kWatched)
    {
        all.resize(1);
    }
    return all;
}

// What the engine holds of the mod at one moment: its widgets still in the viewport and its
// capture actors still in a world.
struct OnScreen
{
    long long widgets = -1;
    long long captureActors = -1;
};

OnScreen CountOnScreen()
{
    const Sim::Observed& seen = Sim::Observations();
    return {static_cast<long long>(seen.addToViewport) - static_cast<long long>(seen.removeFromParent) -
                static_cast<long long>(seen.removedByEngine),
            static_cast<long long>(seen.captureActorsSpawned) - static_cast<long long>(seen.captureActorsDestroyed)};
}

int CountLines(const nlohmann::json& log, const std::string& start)
{
    int count = 0;
    for (const auto& line : log)
    {
        count += line.get<std::string>().rfind(start, 0) == 0 ? 1 : 0;
    }
    return count;
}

class LoaderThreads : public OrvTest::SimSessions
{
  protected:
    // A session whose engine made no failed check.
    nlohmann::json Play(const std::string& scenario, int frames, const std::string& engine,
                        const std::function<void(OrvSim::RunOptions&)>& adjust = {})
    {
        nlohmann::json report = SimSessions::Play(scenario, frames, engine, 1, adjust);
        EXPECT_EQ(report["engine"]["checks_failed"], 0) << report["engine"]["failed_checks"].dump();
        return report;
    }
};

// The loader reloads the library on its own thread while the game ticks: the old mod goes on
// the game thread, the library stays mapped, and a second later the new one's map is on
// screen, alone.
TEST_F(LoaderThreads, AHotReloadPutsOneMapBackOnScreenWithinASecondAndLeavesNothingBehind)
{
    for (const std::string& engine : Engines({"5.5", "4.27"}))
    {
        for (const int reload : kWatched ? std::vector<int>{301} : std::vector<int>{300, 301, 1200})
        {
            SCOPED_TRACE(engine + " reload before frame " + std::to_string(reload));
            OnScreen atSecond;
            const auto report = Play("walk", reload + 90, engine, [&](OrvSim::RunOptions& options) {
                options.hotReloadFrames = {reload};
                options.pictureFrame = reload + 60;
                options.atPictures = [&] { atSecond = CountOnScreen(); };
            });
            EXPECT_EQ(report["hot_reloads"], 1);
            EXPECT_EQ(report["library_pinned"], true) << "the loader freed a library whose callables it still held";
            EXPECT_EQ(atSecond.widgets, 1);
            EXPECT_EQ(atSecond.captureActors, 1);
            EXPECT_EQ(report["widget"]["in_viewport"], true);
            EXPECT_FALSE(report["capture"]["map_tint"].is_null()) << "the map shows the new capture's picture";
            EXPECT_EQ(report["capture"]["rooted"], true);
            EXPECT_EQ(CountLines(report["log"], "Orvanta V1.0.1 by "), 2);
            EXPECT_EQ(CountLines(report["log"], "[Orvanta] [error]"), 0) << report["log"].dump();
            EXPECT_EQ(report["hooks_registered"], (nlohmann::json{{"script", 32}, {"tick", 1}, {"actor", 2}, {"map", 1}}));
            EXPECT_EQ(report["hooks_after_unload"], kNothingRegistered);
            EXPECT_EQ(report["capture"]["actors_spawned"], report["capture"]["actors_destroyed"]);
            EXPECT_EQ(report["engine"]["worlds_alive"], 1);
        }
    }
}

// The edit mode holds the game's input through a drag; the reload in the middle of it gives
// the input back, and the new mod starts locked.
TEST_F(LoaderThreads, AHotReloadDuringADragGivesTheGameItsInputBack)
{
    for (const std::string& engine : Engines({"4.27", "5.5"}))
    {
        SCOPED_TRACE(engine);
        OnScreen atSecond;
        const auto report = Play("edit", 200, engine, [&](OrvSim::RunOptions& options) {
            options.hotReloadFrames = {95}; // the map is dragged from frame 87 to 107
            options.pictureFrame = 160;
            options.atPictures = [&] { atSecond = CountOnScreen(); };
        });
        EXPECT_EQ(report["input"], (nlohmann::json{{"edit_mode", false},
                                                   {"typing", 0},
                                                   {"cursor_shown", false},
                                                   {"click_events", false},
                                                   {"mouse_over_events", false},
                                                   {"move_ignored", false},
                                                   {"look_ignored", false}}));
        EXPECT_EQ(atSecond.widgets, 1);
        EXPECT_EQ(atSecond.captureActors, 1);
        EXPECT_EQ(report["hooks_after_unload"], kNothingRegistered);
    }
}

// The game's exit uninstalls nothing: the engine tells its delete listeners the object array
// ends, and one still registered after that stops the game.
// One test per scenario, so that each stays within the suite's time limit under the sanitizers.
class EveryScenarioEnding : public LoaderThreads, public ::testing::WithParamInterface<std::string>
{
};

std::vector<std::string> ScenariosToEnd()
{
    std::vector<std::string> names = OrvSim::ScenarioNames();
    if (kWatched)
    {
        names = {"walk", "hot-reload"};
    }
    return names;
}

TEST_P(EveryScenarioEnding, WithTheGamesExitWithoutAFatalError)
{
    for (const std::string& engine : Engines({"5.5", "4.27", "5.1"}))
    {
        SCOPED_TRACE(GetParam() + " " + engine);
        const auto report = Play(GetParam(), 240, engine, [](OrvSim::RunOptions& options) { options.ending = "exit"; });
        EXPECT_EQ(report["ending"], "exit");
    }
}
INSTANTIATE_TEST_SUITE_P(LoaderThreads, EveryScenarioEnding, ::testing::ValuesIn(ScenariosToEnd()), OrvTest::ScenarioTestName);

// Part of each purge finishes on the engine's purge thread, which tells the delete listeners
// there while the game thread runs the mod: nothing freed is touched, and every check holds.
TEST_F(LoaderThreads, ObjectsFreedOnThePurgeThreadAreNeverTouched)
{
    for (const std::string scenario : {"world-change", "crowd", "respawn"})
    {
        if (kWatched && scenario != "world-change")
        {
            continue;
        }
        SCOPED_TRACE(scenario);
        const auto report = Play(scenario, 600, "5", [](OrvSim::RunOptions& options) {
            options.gcThread = true;
            options.loads = 3;
        });
        EXPECT_GT(report["engine"]["objects_freed_on_purge_thread"].get<int>(), 0);
        EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
        EXPECT_EQ(report["hooks_after_unload"], kNothingRegistered);
        EXPECT_EQ(report["engine"]["worlds_alive"], 1);
        EXPECT_EQ(report["widget"]["in_viewport"], true);
    }
}

// A loader call that throws, wherever the mod makes it: the loader keeps the tick (an exception
// out of it would remove it for good), the mod says so once, and the map goes on.
TEST_F(LoaderThreads, ALoaderCallThatThrowsLeavesTheTickAndTheMapGoingOn)
{
    for (int index = 0; index < Sim::kLoaderCallCount; ++index)
    {
        const auto call = static_cast<Sim::LoaderCall>(index);
        if (call == Sim::LoaderCall::K2_GetActorLocation)
        {
            continue; // the walk's actors have unattached roots, whose places are read in place
        }
        if (kWatched && call != Sim::LoaderCall::ProcessEvent)
        {
            continue;
        }
        SCOPED_TRACE(Sim::LoaderCallName(call));
        unsigned long long capturesBefore = 0;
        int left = -1;
        const auto report = Play("walk", 240, "5", [&](OrvSim::RunOptions& options) {
            options.beforeFrame = [&](int frame) {
                if (frame == 120)
                {
                    // The capture's component goes, so that the mod takes its actor down and
                    // builds its capture again: every loader call the mod makes has its turn.
                    Sim::MakeLoaderCallThrow(call, 1);
                    capturesBefore = Sim::Observations().captureScenes;
                    for (RC::Unreal::UObject* component : Sim::CaptureComponents())
                    {
                        Sim::DestroyObject(component);
                    }
                }
            };
            options.atPictures = [&] { left = Sim::LoaderCallThrowsLeft(call); };
        });
        EXPECT_EQ(left, 0) << "the call was made, and threw";
        EXPECT_EQ(report["hooks_registered"]["tick"], 1);
        EXPECT_EQ(CountLines(report["log"], "[Orvanta.EngineTick."), 0) << "no callback removed by the loader";
        EXPECT_EQ(CountLines(report["log"], "[Orvanta] [error] The minimap's frame stopped on an error"), 1)
            << report["log"].dump();
        EXPECT_EQ(CountLines(report["log"], "[Orvanta] [error]"), 1) << report["log"].dump();
        EXPECT_GT(report["capture"]["captures"].get<unsigned long long>(), capturesBefore + 5);
        EXPECT_EQ(report["widget"]["in_viewport"], true);
        EXPECT_FALSE(report["capture"]["map_tint"].is_null());
    }
}
} // namespace
#endif
