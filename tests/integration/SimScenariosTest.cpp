// orvanta-sim's scenarios played in this process with the built mod loaded: each report says
// what the engine saw, and the engine left behind shows what the scenario did to the game.
#ifdef ORVANTA_WITH_SIM
#include "SimRun.hpp"
#include "support/EngineFixture.hpp"
#include "support/SimSessions.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Scene.hpp>
#include <Sim/World.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <string>

namespace
{
namespace fs = std::filesystem;
using RC::Unreal::UObject;

struct Expected
{
    int scriptHooks;
    int tickHooks;
    int actorCallbacks;
    int mapCallbacks;
};

const nlohmann::json kNothingRegistered = {{"script", 0}, {"tick", 0}, {"actor", 0}, {"map", 0}};

// The mean luminance (Rec. 709) of a disc of the radius in pixels at the picture's middle.
double MeanLuminanceOfDisc(const Sim::RenderTargetImage& image, double radius)
{
    const double cx = image.width / 2.0;
    const double cy = image.height / 2.0;
    double sum = 0.0;
    int count = 0;
    for (int y = 0; y < image.height; ++y)
    {
        for (int x = 0; x < image.width; ++x)
        {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            if (dx * dx + dy * dy > radius * radius)
            {
                continue;
            }
            const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
            sum += 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
            ++count;
        }
    }
    return count > 0 ? sum / count : 0.0;
}

class SimScenarioRuns : public OrvTest::SimSessions
{
  protected:
    // The controller the engine last gave its local player, and that controller's pawn.
    static UObject* LocalController() { return Sim::ObjectReference(Sim::LocalPlayer(), L"PlayerController"); }
    static UObject* LocalPawn() { return Sim::ObjectReference(LocalController(), L"Pawn"); }

    static bool Lives(const UObject* object)
    {
        auto* item = object != nullptr ? object->GetObjectItem() : nullptr;
        return item != nullptr && item->GetUObject() == object && item->IsValid(false);
    }

};

TEST_F(SimScenarioRuns, EveryScenarioRegistersWhatTheGameAllowsAndUnloadsClean)
{
    // The table's hooks but the four play events no hook reaches, and the world hook. Without
    // its tick the mod never reaches the game thread, where all of them are registered.
    const std::map<std::string, Expected> expected = {
        {"walk", {32, 1, 2, 1}},         {"menu", {32, 1, 2, 1}},  {"world-change", {32, 1, 2, 1}},
        {"respawn", {32, 1, 2, 1}},      {"no-world-hook", {0, 0, 0, 0}}, {"no-tick", {0, 0, 0, 0}},
        {"crowd", {32, 1, 2, 1}},        {"edit", {32, 1, 2, 1}},  {"soak", {32, 1, 2, 1}},
        {"hot-reload", {32, 1, 2, 1}}};
    ASSERT_EQ(OrvSim::ScenarioNames().size(), expected.size());
    for (const auto& name : OrvSim::ScenarioNames())
    {
        SCOPED_TRACE(name);
        auto report = Play(name, 600);
        EXPECT_EQ(report["scenario"], name);
        EXPECT_EQ(report["frames"], 600);
        EXPECT_EQ(report["hooks_registered"]["script"], expected.at(name).scriptHooks);
        EXPECT_EQ(report["hooks_registered"]["tick"], expected.at(name).tickHooks);
        EXPECT_EQ(report["hooks_registered"]["actor"], expected.at(name).actorCallbacks);
        EXPECT_EQ(report["hooks_registered"]["map"], expected.at(name).mapCallbacks);
        EXPECT_EQ(report["hooks_after_unload"], kNothingRegistered);
        EXPECT_EQ(report["sessions"].get<int>(), report["teardowns"].get<int>() + report["widgets_removed_by_engine"].get<int>())
            << "every widget the mod showed, it or a map load took down";
        EXPECT_GE(report["log"].size(), 1u);
        EXPECT_EQ(Sim::ScriptHookCount(), 0u);
        EXPECT_EQ(Sim::TickCallbackCount(), 0u);
        EXPECT_EQ(Sim::ActorCallbackCount(), 0u);
        EXPECT_EQ(Sim::MapCallbackCount(), 0u);
        EXPECT_TRUE(Sim::ViewportWidgets().empty());
    }
}

// The coordinates line sends a new text up to ten times a second: none of the texts the engine
// made for it, or for any caption, outlives the widget that showed it.
TEST_F(SimScenarioRuns, TheCoordinatesLeaveNoTextBehindOnEitherEngine)
{
    for (const std::string engine : {"4", "5"})
    {
        SCOPED_TRACE(engine);
        const fs::path modDir = root_ / ("coordinates-" + engine);
        fs::create_directories(modDir);
        std::ofstream(modDir / "hud.ini") << "[Hud]\nCoordinates=1\n";
        auto report = Play("walk", 600, engine, 1, [&](OrvSim::RunOptions& options) { options.modDir = modDir; });
        ASSERT_TRUE(report["extras"]["coordinates"].is_string()) << report["extras"]["coordinates"];
        EXPECT_EQ(report["engine"]["texts_leaked"], 0);
    }
}

TEST_F(SimScenarioRuns, ASeedPlaysTheSameGameEveryTimeOnEitherEngine)
{
    // The capture's updates, and the names they resolve, follow the mod's clock.
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto first = Play("walk", 300, "4", 7);
    auto firstPlace = Sim::ActorPlacement(LocalPawn());
    EXPECT_EQ(first["engine_version"], "4.27");
    auto again = Play("walk", 300, "4", 7);
    auto againPlace = Sim::ActorPlacement(LocalPawn());
    EXPECT_EQ(first, again);
    EXPECT_EQ(firstPlace.x, againPlace.x);
    EXPECT_EQ(firstPlace.yaw, againPlace.yaw);

    Play("walk", 300, "5", 8);
    auto other = Sim::ActorPlacement(LocalPawn());
    EXPECT_NE(other.x, firstPlace.x) << "another seed walks another path";
    EXPECT_GT(std::abs(other.x) + std::abs(other.y), 100.0) << "the player walked";
}

TEST_F(SimScenarioRuns, WalkHasCreaturesComingAndGoingAroundALocalAndARemotePlayer)
{
    Play("walk", 600);
    std::vector<UObject*> creatures;
    RC::Unreal::UObjectGlobals::FindAllOf(STR("UmbrafelAICharacter"), creatures);
    EXPECT_FALSE(creatures.empty());
    EXPECT_EQ(Sim::FindObjectByPath(L"/Game/Maps/Umbrafel_Open.Umbrafel_Open:PersistentLevel.UmbrafelAICharacter_0"),
              nullptr)
        << "a creature from the start has left and been collected";
    std::vector<UObject*> controllers;
    RC::Unreal::UObjectGlobals::FindAllOf(STR("UmbrafelPlayerController"), controllers);
    EXPECT_EQ(controllers.size(), 2u);
    EXPECT_TRUE(Lives(LocalPawn()));
}

// Half a second after the villager who comes a second into the walk began play, every creature
// and NPC on the round map has its diamond: the glade's, whose level is streamed into the world,
// and the villager, whose blueprint implements its own begin of play. On a round map a thing
// is drawn when it stands within half the orthographic width of the player, less a diamond's
// margin of 18 of the map's layout units: counted a little inside and a little outside that
// edge, the diamonds shown lie between the two counts.
TEST_F(SimScenarioRuns, EveryCreatureAndNpcOnTheMapHasItsDiamondStreamedInOrArrivedLate)
{
    struct Count
    {
        int inside = 0;  // surely on the map
        int reached = 0; // perhaps on its very edge
        int streamed = 0;
        int villagers = 0;
    } count;
    const nlohmann::json report = Play("walk", 600, "5", 1, [&](OrvSim::RunOptions& options) {
        options.pictureFrame = 90;
        options.atPictures = [&] {
            UObject* pawn = LocalPawn();
            ASSERT_NE(pawn, nullptr);
            const double zoom = 8000;
            const double edge = zoom / 2 - 18 * zoom / (280 - 8);
            const Sim::Placement at = Sim::ActorPlacement(pawn);
            for (UObject* actor : Sim::ActorsOf(pawn->GetWorld()))
            {
                const bool tracked = actor->IsA(Sim::FindClass(L"/Script/Umbrafel.UmbrafelAICharacter")) ||
                                     actor->IsA(Sim::FindClass(L"/Script/Umbrafel.InteractableNPC"));
                if (!Lives(actor) || !tracked)
                {
                    continue;
                }
                const Sim::Placement there = Sim::ActorPlacement(actor);
                const double distance = std::hypot(there.x - at.x, there.y - at.y);
                count.reached += distance <= edge + 50 ? 1 : 0;
                if (distance > edge - 50)
                {
                    continue;
                }
                ++count.inside;
                count.streamed += static_cast<RC::Unreal::AActor*>(actor)->GetWorld() != pawn->GetWorld() ? 1 : 0;
                count.villagers += actor->GetClassPrivate()->GetName() == L"BP_Villager_C" ? 1 : 0;
            }
        };
    });
    ASSERT_EQ(report["capture"]["ortho_width"], 8000.0);
    ASSERT_EQ(report["widget"]["map_size"], 280.0);
    ASSERT_EQ(count.streamed, 2) << "the glade's two creatures are on the map";
    ASSERT_EQ(count.villagers, 2) << "the merchant, and the villager who came at frame 60";
    ASSERT_LT(count.reached - count.inside, 3) << "few enough on the edge for three missing diamonds to show";
    const int diamonds = report["markers"]["diamonds_shown"].get<int>();
    EXPECT_GE(diamonds, count.inside);
    EXPECT_LE(diamonds, count.reached);
}

// The walk at four moments: in the fields by day (a tenth in), standing in the house (a third
// in), under the cave's ceilings (two thirds in) and in the open at night (the end, on the
// float engine).
TEST_F(SimScenarioRuns, TheWalksCaptureFollowsThePlayerInTheOpenIndoorsUndergroundAndAtNight)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto at = [](int frame) { return [frame](OrvSim::RunOptions& options) { options.pictureFrame = frame; }; };
    const nlohmann::json open = Play("walk", 600, "5", 1, at(60))["capture"];
    const nlohmann::json house = Play("walk", 600, "5", 1, at(200))["capture"];
    const nlohmann::json cave = Play("walk", 600, "5", 1, at(390))["capture"];
    const nlohmann::json night = Play("walk", 600, "4.27")["capture"];

    EXPECT_EQ(open["camera_height"], 8000.0);
    EXPECT_EQ(open["ortho_width"], 8000.0);
    EXPECT_EQ(open["lod_factor"], 2.0);
    EXPECT_EQ(open["exposure_bias"], 0.0);
    // The roof 370 over the pawn, 40 kept below it, the last few units still to go.
    EXPECT_NEAR(house["camera_height"].get<double>(), 330.0, 5.0);
    EXPECT_EQ(house["ortho_width"], 3500.0);
    EXPECT_EQ(house["lod_factor"], 2.0);
    EXPECT_EQ(house["exposure_bias"], 0.0);
    // The highest ceiling within the grid is 560 over the pawn, but the low one right over it
    // 310, and 200 are kept below it; underground the height snaps, and the day outside does
    // not darken the picture.
    EXPECT_EQ(cave["camera_height"], 110.0);
    EXPECT_EQ(cave["ortho_width"], 2500.0);
    EXPECT_EQ(cave["lod_factor"], 1.0);
    EXPECT_EQ(cave["exposure_bias"], 1.5);
    EXPECT_NEAR(night["camera_height"].get<double>(), 8000.0, 0.01);
    EXPECT_EQ(night["ortho_width"], 8000.0);
    EXPECT_EQ(night["exposure_bias"], 1.5);
    EXPECT_EQ(night["frame"], 600);

    for (const nlohmann::json* run : {&open, &house, &cave, &night})
    {
        const nlohmann::json& capture = *run;
        EXPECT_EQ(capture["actors_spawned"], 1);
        EXPECT_EQ(capture["actors_destroyed"], 1) << "the mod took its capture away when it unloaded";
        EXPECT_GT(capture["captures"].get<int>(), 100);
        EXPECT_EQ(capture["automatic_captures"], 0) << "the engine never captured by itself";
        EXPECT_EQ(capture["render_target"], (nlohmann::json{1152, 1152}));
        EXPECT_EQ(capture["rooted"], true);
        EXPECT_EQ(capture["hidden_actors"], 1) << "the player's own character";
        EXPECT_EQ(capture["show_flag_settings"].front(), "Fog");
    }
    // Only engine 5.5 hands a registered capture's flags to the renderer; on 4.27 the night's
    // picture keeps the engine's own weather and shadows.
    EXPECT_EQ(open["show_flags"], open["show_flag_settings"]);
    EXPECT_EQ(night["show_flags"], nlohmann::json::array());
}

// Underground the map shows the floor the player stands on: the capture stays under the ceiling
// right over them, and the picture's middle (a disc an eighth of it across) is bright enough to
// read, in the walk's cave under its middle and its low ceiling and in the dungeon's own map.
TEST_F(SimScenarioRuns, UndergroundTheMapsMiddleShowsTheFloorUnderThePlayerBrightEnoughToRead)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    struct Stop
    {
        const char* scenario;
        int frames;
        int frame;
    };
    for (const Stop& stop : {Stop{"walk", 1000, 540}, Stop{"walk", 1000, 660}, Stop{"world-change", 600, 500}})
    {
        SCOPED_TRACE(std::string(stop.scenario) + " frame " + std::to_string(stop.frame));
        double middle = -1.0;
        double ceilingOverPawn = 0.0;
        double pawnZ = 0.0;
        const nlohmann::json report = Play(stop.scenario, stop.frames, "5", 1, [&](OrvSim::RunOptions& options) {
            options.pictureFrame = stop.frame;
            options.atPictures = [&] {
                UObject* pawn = LocalPawn();
                const Sim::Placement at = Sim::ActorPlacement(pawn);
                pawnZ = at.z;
                const Sim::TraceResult up = Sim::TraceLine(pawn->GetWorld(), at.x, at.y, at.z, at.x, at.y, at.z + 5000);
                ceilingOverPawn = up.hit ? up.z : std::numeric_limits<double>::infinity();
                Sim::RenderTargetImage image;
                const std::vector<UObject*> targets = Sim::CaptureTargets();
                if (!targets.empty() && Sim::ReadRenderTarget(targets.back(), image))
                {
                    middle = MeanLuminanceOfDisc(image, image.width / 16.0);
                }
            };
        });
        EXPECT_LT(pawnZ + report["capture"]["camera_height"].get<double>(), ceilingOverPawn)
            << "the camera is under the ceiling over the player";
        EXPECT_GE(middle, 55.0);
    }
}

// Each engine version declares its own script functions and parameters: on every one the
// capture is made at the first try, the walk's markers show and no engine check fails.
TEST_F(SimScenarioRuns, TheWalkHasItsCaptureAndMarkersOnEveryEngineVersion)
{
    for (const Sim::EngineVersion& version : Sim::OfferedEngineVersions())
    {
        const std::string name = std::to_string(version.Major) + "." + std::to_string(version.Minor);
        SCOPED_TRACE(name);
        auto report = Play("walk", 180, name);
        EXPECT_EQ(report["engine_version"], name);
        EXPECT_EQ(report["capture"]["actors_spawned"], 1);
        EXPECT_EQ(report["capture"]["render_target"], (nlohmann::json{1152, 1152}));
        EXPECT_GT(report["capture"]["captures"].get<int>(), 0);
        EXPECT_GT(report["markers"]["icons_shown"].get<int>(), 0);
        EXPECT_EQ(report["engine"]["checks_failed"], 0) << report["engine"]["failed_checks"];
        EXPECT_EQ(report["log"].size(), 2u) << "what is never hooked, the banner, and no capture that could not be made";
    }
}

TEST_F(SimScenarioRuns, WorldChangeLeavesOnlyTheNewWorldWithItsOwnPlayer)
{
    Play("world-change", 600);
    auto* dungeon = Sim::FindObjectByPath(L"/Game/Maps/Umbrafel_Dungeon.Umbrafel_Dungeon");
    ASSERT_TRUE(Lives(dungeon));
    EXPECT_EQ(Sim::FindObjectByPath(L"/Game/Maps/Umbrafel_Open.Umbrafel_Open"), nullptr);
    std::vector<UObject*> instances;
    RC::Unreal::UObjectGlobals::FindAllOf(STR("UmbrafelGameInstance"), instances);
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(reinterpret_cast<UObject*>(instances[0]->GetWorld()), dungeon);
    EXPECT_EQ(reinterpret_cast<UObject*>(LocalController()->GetWorld()), dungeon);
    EXPECT_EQ(reinterpret_cast<UObject*>(LocalPawn()->GetWorld()), dungeon);
}

TEST_F(SimScenarioRuns, RespawnLeavesTheControllerWithANewCharacter)
{
    Play("respawn", 600);
    UObject* pawn = LocalPawn();
    ASSERT_TRUE(Lives(pawn));
    EXPECT_EQ(pawn->GetName(), L"UmbrafelPlayerCharacter_2") << "after the local and the remote player's";
    EXPECT_EQ(Sim::FindObjectByPath(L"/Game/Maps/Umbrafel_Open.Umbrafel_Open:PersistentLevel.UmbrafelPlayerCharacter_0"),
              nullptr);
}

TEST_F(SimScenarioRuns, TheMenuNeverGainsAPawnAndNothingPilesUpWhileItRuns)
{
    auto brief = Play("menu", 60);
    auto longer = Play("menu", 600);
    EXPECT_EQ(brief["objects_alive"], longer["objects_alive"]);
    EXPECT_EQ(longer["sessions"], 0);
    EXPECT_EQ(longer["capture_actors"], 0);
    EXPECT_TRUE(LocalController()->IsA(Sim::FindClass(L"/Script/Umbrafel.UmbrafelPlayerControllerMenu")));
    EXPECT_EQ(LocalPawn(), nullptr);
}

// Every scenario on every engine, with the game's hooks firing and (on the first and last
// engine) with them silent: the mod never calls into freed memory, fails no engine check, leaves
// nothing registered and no old world behind, and the engine really did reuse memory and slots
// under it.
// One test per scenario, so that each stays within the suite's time limit under the sanitizers.
class EveryScenario : public SimScenarioRuns, public ::testing::WithParamInterface<std::string>
{
};

TEST_P(EveryScenario, OnEveryEngineWithOrWithoutHooksTouchesNoFreedObject)
{
    const std::string& name = GetParam();
    for (const std::string engine : {"4.27", "5.1", "5.5"})
    {
        for (bool silent : {false, true})
        {
            if (silent && engine == "5.1")
            {
                continue;
            }
            SCOPED_TRACE(name + " engine " + engine + (silent ? " silent" : ""));
            auto report = Play(name, 600, engine, 1, [&](OrvSim::RunOptions& options) { options.silentEvents = silent; });
            EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
            EXPECT_EQ(report["hooks_after_unload"], kNothingRegistered);
            EXPECT_EQ(report["silent_events"], silent);
            const auto& engineReport = report["engine"];
            EXPECT_GE(engineReport["collections"].get<int>(), 9) << "one a second, and one after unload";
            EXPECT_EQ(engineReport["checks_failed"], 0) << engineReport["failed_checks"].dump();
            EXPECT_EQ(engineReport["worlds_alive"], 1) << "a map load leaves nothing of the old world behind";
            if (name == "walk" || name == "world-change" || name == "respawn")
            {
                EXPECT_GT(engineReport["addresses_reused"].get<int>(), 0);
                EXPECT_GT(engineReport["slots_reused"].get<int>(), 0);
            }
            if (silent)
            {
                EXPECT_EQ(engineReport["script_hooks_fired"], 0);
            }
        }
    }
}
INSTANTIATE_TEST_SUITE_P(SimScenarioRuns, EveryScenario, ::testing::ValuesIn(OrvSim::ScenarioNames()), OrvTest::ScenarioTestName);

TEST_F(SimScenarioRuns, WorldChangesByMapLoadOrSeamlessTravelEndInTheLastWorldAloneWithItsMap)
{
    for (const std::string travel : {"load", "seamless"})
    {
        SCOPED_TRACE(travel);
        auto report = Play("world-change", 600, "5", 1, [&](OrvSim::RunOptions& options) {
            options.travel = travel;
            options.loads = 3;
        });
        EXPECT_EQ(report["travel"], travel);
        ASSERT_TRUE(Lives(Sim::FindObjectByPath(L"/Game/Maps/Umbrafel_Dungeon3.Umbrafel_Dungeon3")));
        for (const wchar_t* left : {L"/Game/Maps/Umbrafel_Open.Umbrafel_Open", L"/Game/Maps/Umbrafel_Dungeon.Umbrafel_Dungeon",
                                    L"/Game/Maps/Umbrafel_Dungeon2.Umbrafel_Dungeon2"})
        {
            EXPECT_EQ(Sim::FindObjectByPath(left), nullptr) << Sim::ToUtf8(left);
        }
        EXPECT_EQ(report["engine"]["worlds_alive"], 1);
        EXPECT_EQ(report["engine"]["checks_failed"], 0);
        EXPECT_EQ(report["capture"]["actors_spawned"], 4) << "a capture in every world";
        EXPECT_EQ(Sim::FindClass(L"/Game/Creatures/BP_Umbrafel_OpenCreature.BP_Umbrafel_OpenCreature_C"), nullptr)
            << "the open world's creature class went with its map";
        EXPECT_GE(report["engine"]["script_hooks_fired"].get<int>(), travel == "load" ? 6 : 3)
            << "a load notifies twice, seamless travel once";
        EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
    }
}

TEST_F(SimScenarioRuns, TheModLooksNothingUpPerFrameEvenInALargeGame)
{
    // The capture's updates, and the names they resolve, follow the mod's clock.
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    auto brief = Play("walk", 60);
    auto longer = Play("walk", 600, "5", 1, [](OrvSim::RunOptions& options) { options.objects = 20000; });
    EXPECT_EQ(brief["engine"]["find_object_calls"], longer["engine"]["find_object_calls"])
        << "every name resolved once, whatever the frames and objects";
    EXPECT_GE(longer["objects_alive"].get<int>(), 20000);
}

TEST_F(SimScenarioRuns, ASetUpOnTheLoadersThreadEndsRegisteredAsTheUsualOne)
{
    auto report = Play("walk", 300, "5", 1, [](OrvSim::RunOptions& options) { options.initOnLoaderThread = true; });
    EXPECT_EQ(report["hooks_registered"], (nlohmann::json{{"script", 32}, {"tick", 1}, {"actor", 2}, {"map", 1}}));
    EXPECT_EQ(report["hooks_after_unload"], kNothingRegistered);
    EXPECT_EQ(report["log"].size(), 2u) << "what is never hooked, the banner, and nothing went wrong";
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}
} // namespace
#endif
