// orvanta-sim's sessions played in the test's own process with the built mod loaded, each in a
// mod folder of its own under one temporary folder that goes with the test.
#pragma once

#include "SimRun.hpp"

#include <Sim/Engine.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

namespace OrvTest
{
// A scenario's name as a test's name: gtest takes letters, digits and underscores.
inline std::string ScenarioTestName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

class SimSessions : public ::testing::Test
{
  protected:
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // A session of the options as adjusted, in a mod folder of its own.
    OrvSim::RunResult Run(int frames, const std::function<void(OrvSim::RunOptions&)>& adjust = {})
    {
        OrvSim::RunOptions options;
        options.library = ORVANTA_MAIN_LIBRARY;
        options.modDir = root_ / ("mod-" + std::to_string(runs_++));
        options.frames = frames;
        options.echoLog = false;
        if (adjust)
        {
            adjust(options);
        }
        OrvSim::RunResult result = OrvSim::RunSession(options);
        EXPECT_TRUE(result.ok) << result.error;
        return result;
    }

    // The engine by its version or short name ("4.27", "5.1", "5.5"; "4", "5").
    nlohmann::json Play(const std::string& scenario, int frames, const std::string& engine = "5", std::uint64_t seed = 1,
                        const std::function<void(OrvSim::RunOptions&)>& adjust = {})
    {
        return Run(frames, [&](OrvSim::RunOptions& options) {
                   options.scenario = scenario;
                   EXPECT_TRUE(Sim::ParseEngineVersion(engine, options.engine)) << engine;
                   options.seed = seed;
                   if (adjust)
                   {
                       adjust(options);
                   }
               }).report;
    }

    std::filesystem::path root_ = std::filesystem::temp_directory_path() /
                                  ("orvanta-sessions-" + std::to_string(std::random_device{}()));
    int runs_ = 0;
};
} // namespace OrvTest
