// The built mod library loaded the way the loader loads it: from <mod>/dlls, through its two
// exported entry points, run for some frames and unloaded. Then orvanta-sim's scenarios, whose
// reports say what the engine saw.
#include "support/EngineFixture.hpp"

#include <Sim/ModLoader.hpp>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace
{
namespace fs = std::filesystem;

fs::path FreshFolder(const std::string& stem)
{
    std::random_device random;
    auto folder = fs::temp_directory_path() / (stem + "-" + std::to_string(random()));
    fs::create_directories(folder);
    return folder;
}

fs::path InstallMod(const fs::path& modFolder)
{
    fs::create_directories(modFolder / "dlls");
    auto installed = modFolder / "dlls" / Sim::ModLoader::LibraryFileName();
    fs::copy_file(ORVANTA_MAIN_LIBRARY, installed, fs::copy_options::overwrite_existing);
    return installed;
}

class LoadedLibrary : public OrvTest::EngineFixture
{
  protected:
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path root_ = FreshFolder("orvanta-load");
    fs::path modFolder_ = root_ / "Mods" / "Orvanta";
};

TEST_F(LoadedLibrary, LoadsRunsAndUnloadsThroughItsEntryPoints)
{
    InstallMod(modFolder_);
    Sim::ModLoader loader(modFolder_);
    std::string error;
    ASSERT_TRUE(loader.Load(error)) << error;
    ASSERT_NE(loader.StartMod(), nullptr);
    EXPECT_EQ(loader.Mod()->ModName, L"Orvanta");
    loader.UnrealInit();
    EXPECT_EQ(Sim::TickCallbackCount(), 1u);
    EXPECT_EQ(Sim::ScriptHookCount(), 0u) << "the game's functions are hooked from the game thread, on the first frame";
    EXPECT_EQ(Sim::ActorCallbackCount(), 0u);
    Sim::TickEngine(1.0f / 60.0f);
    EXPECT_EQ(Sim::ScriptHookCount(), 32u);
    EXPECT_EQ(Sim::TickCallbackCount(), 1u);
    EXPECT_EQ(Sim::ActorCallbackCount(), 2u);
    EXPECT_EQ(Sim::MapCallbackCount(), 1u);
    for (int frame = 0; frame < 5; ++frame)
    {
        Sim::TickEngine(1.0f / 60.0f);
    }
    loader.Unload();
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
    EXPECT_EQ(Sim::TickCallbackCount(), 0u);
    EXPECT_TRUE(loader.LibraryMapped()) << "pinned: the loader still holds its callables until it prunes them";
    EXPECT_EQ(Sim::ActorCallbackCount(), 0u);
    EXPECT_EQ(Sim::MapCallbackCount(), 0u);

    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[0].level, 3) << "what is never hooked";
    EXPECT_EQ(Lines()[1].text.rfind(L"Orvanta V1.0.1 by ", 0), 0u);
    EXPECT_TRUE(fs::exists(modFolder_ / "state.ini")) << "settings live next to the dlls folder";
    EXPECT_FALSE(fs::exists(modFolder_ / "dlls" / "state.ini"));
}

TEST_F(LoadedLibrary, UninstallWithANullModDoesNothing)
{
    auto installed = InstallMod(modFolder_);
#ifdef _WIN32
    HMODULE library = LoadLibraryW(installed.wstring().c_str());
    ASSERT_NE(library, nullptr);
    auto uninstall = reinterpret_cast<void (*)(RC::CppUserModBase*)>(
        reinterpret_cast<void*>(GetProcAddress(library, "uninstall_mod")));
    ASSERT_NE(uninstall, nullptr);
    uninstall(nullptr);
    FreeLibrary(library);
#else
    void* library = dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto uninstall = reinterpret_cast<void (*)(RC::CppUserModBase*)>(dlsym(library, "uninstall_mod"));
    ASSERT_NE(uninstall, nullptr);
    EXPECT_NE(dlsym(library, "start_mod"), nullptr);
    uninstall(nullptr);
    dlclose(library);
#endif
    EXPECT_TRUE(Lines().empty());
}

TEST_F(LoadedLibrary, AFolderWithoutTheLibraryIsRefusedWithAReason)
{
    Sim::ModLoader loader(modFolder_);
    std::string error;
    EXPECT_FALSE(loader.Load(error));
    EXPECT_NE(error.find("main."), std::string::npos) << error;
    EXPECT_EQ(loader.StartMod(), nullptr);
}

#ifndef _WIN32
// orvanta-sim's report of one scenario.
nlohmann::json RunScenario(const fs::path& root, const std::string& scenario, int frames, const std::string& extra = {})
{
    auto report = root / (scenario + ".json");
    std::string command = std::string(ORVANTA_SIM_EXECUTABLE) + " --scenario " + scenario + " --frames " +
                          std::to_string(frames) + " --mod-dir " + (root / scenario).string() + " --report " +
                          report.string() + " " + extra + " > " + (root / (scenario + ".out")).string() + " 2>&1";
    int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << command;
    std::ifstream in(report);
    return nlohmann::json::parse(in, nullptr, false);
}

class SimScenarios : public LoadedLibrary
{
};

TEST_F(SimScenarios, WalkRegistersEverythingAndUnloadsClean)
{
    auto report = RunScenario(root_, "walk", 30, "--engine 4");
    ASSERT_FALSE(report.is_discarded());
    EXPECT_EQ(report["frames"], 30);
    EXPECT_EQ(report["engine_version"], "4.27");
    EXPECT_EQ(report["hooks_registered"], (nlohmann::json{{"script", 32}, {"tick", 1}, {"actor", 2}, {"map", 1}}));
    EXPECT_EQ(report["hooks_after_unload"], (nlohmann::json{{"script", 0}, {"tick", 0}, {"actor", 0}, {"map", 0}}));
    ASSERT_EQ(report["log"].size(), 2u);
    EXPECT_EQ(report["log"][0].get<std::string>().rfind("[Orvanta] [warning] Not hooked", 0), 0u);
    EXPECT_EQ(report["log"][1].get<std::string>().rfind("Orvanta V1.0.1 by ", 0), 0u);
    EXPECT_TRUE(fs::exists(root_ / "walk" / "dlls" / "main.so"));
    EXPECT_TRUE(fs::exists(root_ / "walk" / "state.ini"));
}

TEST_F(SimScenarios, TheEngineIsChosenByVersionOrShortNameAndNoOtherIsPlayed)
{
    for (const auto& [given, played] : {std::pair{"5.1", "5.1"}, std::pair{"5", "5.5"}, std::pair{"4", "4.27"}})
    {
        auto report = RunScenario(root_, "menu", 0, std::string("--engine ") + given);
        ASSERT_FALSE(report.is_discarded()) << given;
        EXPECT_EQ(report["engine_version"], played) << given;
    }
    const std::string refused = std::string(ORVANTA_SIM_EXECUTABLE) + " --frames 0 --engine 5.3 > " +
                                (root_ / "refused.out").string() + " 2>&1";
    EXPECT_NE(std::system(refused.c_str()), 0) << "an engine the stand-in does not play";
}

TEST_F(SimScenarios, RegistrationFailuresShowInTheReport)
{
    auto noWorldHook = RunScenario(root_, "no-world-hook", 5);
    ASSERT_FALSE(noWorldHook.is_discarded());
    EXPECT_EQ(noWorldHook["log"], nlohmann::json::array({"[Orvanta] [error] World-change hook registration failed.\n"}));
    EXPECT_EQ(noWorldHook["hooks_registered"], (nlohmann::json{{"script", 0}, {"tick", 0}, {"actor", 0}, {"map", 0}}));

    // Without the tick the mod never reaches the game thread, where everything else is hooked.
    auto noTick = RunScenario(root_, "no-tick", 5);
    ASSERT_FALSE(noTick.is_discarded());
    EXPECT_EQ(noTick["log"], nlohmann::json::array({"[Orvanta] [error] Runtime tick registration failed.\n"}));
    EXPECT_EQ(noTick["hooks_registered"], (nlohmann::json{{"script", 0}, {"tick", 0}, {"actor", 0}, {"map", 0}}));
    EXPECT_EQ(noTick["hooks_after_unload"], (nlohmann::json{{"script", 0}, {"tick", 0}, {"actor", 0}, {"map", 0}}));
}

TEST_F(SimScenarios, AStateFileAlreadyInTheModFolderIsTheOneLoaded)
{
    fs::create_directories(root_ / "walk");
    {
        std::ofstream state(root_ / "walk" / "state.ini", std::ios::binary);
        state << "[Layout]\r\nSize=300\r\n";
    }
    auto report = RunScenario(root_, "walk", 0);
    ASSERT_FALSE(report.is_discarded());
    std::ifstream state(root_ / "walk" / "state.ini", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(state)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Size=300\r\n"), std::string::npos) << "the incomplete file was repaired, keeping its value";
    EXPECT_NE(text.find("RenderScale=4\r\n"), std::string::npos);
}
#endif
} // namespace
