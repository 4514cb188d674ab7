// What the mod's session tests share: a player in a world of the stand-in game, the mod with
// its protected steps reachable, frames of the engine, and the world-change notification as
// the game instance sends it.
#pragma once

#include "support/EngineFixture.hpp"

#include "mod/LiveOrvantaMod.hpp"
#include "settings/HudSettings.hpp"
#include "settings/ModSettings.hpp"
#include "settings/SettingsFile.hpp"

#include <Sim/Types.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace OrvTest
{
using RC::Unreal::UObject;
using RC::Unreal::UWorld;

inline constexpr float kFrame = 1.0f / 60.0f;

// The mod with the steps tests drive one at a time.
class TestMod : public Orv::LiveOrvantaMod
{
  public:
    using LiveOrvantaMod::IsActorGone;
    using LiveOrvantaMod::IsGameController;
    using LiveOrvantaMod::IsMenuController;
    using LiveOrvantaMod::IsPlayerCharacter;
    using LiveOrvantaMod::SessionStillValid;
    using LiveOrvantaMod::TrackActor;
};

struct Player
{
    UWorld* world = nullptr;
    UObject* gameInstance = nullptr;
    UObject* controller = nullptr;
    UObject* pawn = nullptr;
};

// This machine's player in a new world of that map, with the world's game instance unless one
// is given.
inline Player MakePlayer(std::wstring_view map, UObject* gameInstance = nullptr)
{
    Player player;
    player.world = Sim::CreateWorld(map);
    player.gameInstance = gameInstance != nullptr ? gameInstance : Sim::CreateGameInstance(player.world);
    auto local = Sim::EnterLocalPlayer(player.world);
    player.controller = local.controller;
    player.pawn = local.pawn;
    return player;
}

inline UObject* AsObject(UWorld* world) { return reinterpret_cast<UObject*>(world); }

// K2_OnWorldChanged(left, entered) as the game instance runs it, so its hooks fire.
inline void NotifyWorldChange(UObject* gameInstance, UWorld* left, UWorld* entered)
{
    Sim::CallScriptFunction(gameInstance, L"K2_OnWorldChanged", [&](RC::Unreal::uint8* parms) {
        UWorld* worlds[2] = {left, entered};
        std::memcpy(parms, worlds, sizeof(worlds));
    });
}

inline bool Contains(const std::vector<UObject*>& list, const void* object)
{
    return std::find(list.begin(), list.end(), object) != list.end();
}

// The value state.ini holds for the key, as written; empty when the key is missing.
inline std::string SavedSetting(const std::string& key)
{
    std::ifstream file(std::filesystem::path(Orv::SettingsFilePath()), std::ios::binary);
    std::string line;
    while (std::getline(file, line))
    {
        if (line.rfind(key + "=", 0) == 0)
        {
            const std::string value = line.substr(key.size() + 1);
            return !value.empty() && value.back() == '\r' ? value.substr(0, value.size() - 1) : value;
        }
    }
    return {};
}

inline bool Tracks(const Orv::LiveOrvantaMod& mod, const void* actor)
{
    return Contains(mod.Session().actors.trackedActors, actor);
}

// A fresh engine, default settings and a state.ini of the test's own for each test (cases run
// in parallel processes, and a mod that saves would otherwise hand its settings to the next);
// the mod, once started, goes before the engine does.
class ModFixture : public EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        Orv::Settings() = Orv::DefaultSettings();
        Orv::Hud() = Orv::HudSettings{};
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process too: two test runs on one machine (a build and a mutation run, say) must
        // not share a folder.
        settingsFolder_ = std::filesystem::temp_directory_path() / (std::string("orvanta-") + test->test_suite_name() + "-" +
                                                                    test->name() + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(settingsFolder_);
        std::filesystem::create_directories(settingsFolder_);
        Orv::UseSettingsFolder(settingsFolder_.wstring());
    }

    void TearDown() override
    {
        mod_.reset();
        Orv::Settings() = Orv::DefaultSettings();
        Orv::Hud() = Orv::HudSettings{};
        Orv::UseSettingsFolder({});
        std::error_code ignored;
        std::filesystem::remove_all(settingsFolder_, ignored);
    }

    void StartMod()
    {
        mod_ = std::make_unique<TestMod>();
        mod_->on_unreal_init();
        mod_->StartOnGameThread();
    }

    static void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
        {
            Sim::TickEngine(kFrame);
        }
    }

    const Orv::MapSession& Session() const { return mod_->Session(); }

    std::unique_ptr<TestMod> mod_;
    std::filesystem::path settingsFolder_;
};
} // namespace OrvTest
