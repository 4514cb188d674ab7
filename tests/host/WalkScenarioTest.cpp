// orvanta-sim's walk as the engine sees it, without a mod: where the player stands at each
// share of the run (the fields, under the house's roof, down in the cave, out again), how
// sheltered the game scores them, when night falls, and that the controller looks where the
// pawn walks. A mod's camera tests are only as good as this timeline is true.
#ifdef ORVANTA_WITH_SIM
#include "Scenarios.hpp"

#include "support/EngineFixture.hpp"

#include <Sim/Scene.hpp>
#include <Sim/World.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using RC::Unreal::UObject;

constexpr int kFrames = 600;

struct Moment
{
    Sim::Placement at;
    float shelter = 0;
    bool inDungeon = false;
    bool night = false;
    double ground = 0;         // under the pawn, or the floor it stands on
    double controlYaw = 0;
    double speed = 0;
};

class WalkScenario : public OrvTest::EngineFixture, public ::testing::WithParamInterface<std::tuple<int, int>>
{
  protected:
    void SetUp() override {}

    // Plays the scenario frame by frame as orvanta-sim does, minus the mod.
    std::vector<Moment> Play(const std::string& name, std::uint64_t seed)
    {
        const int engine = std::get<0>(GetParam());
        OrvSim::Scenario scenario;
        EXPECT_TRUE(OrvSim::MakeScenario(name, seed, kFrames, false, scenario));
        StartEngine(engine, engine == 4 ? 27 : 1, scenario.game);
        scenario.setUp();
        std::vector<Moment> moments;
        for (int frame = 0; frame < kFrames; ++frame)
        {
            scenario.beforeFrame(frame);
            Sim::TickEngine(1.0f / 60.0f);
            moments.push_back(Now());
        }
        return moments;
    }

    static Moment Now()
    {
        Moment m;
        UObject* controller = Sim::ObjectReference(Sim::LocalPlayer(), L"PlayerController");
        UObject* pawn = Sim::ObjectReference(controller, L"Pawn");
        if (pawn == nullptr)
        {
            return m;
        }
        auto* world = pawn->GetWorld();
        m.at = Sim::ActorPlacement(pawn);
        UObject* shelter = Sim::ObjectReference(pawn, L"CharacterShelterComponent");
        m.shelter = *Sim::FindPropertyUncounted(shelter->GetClassPrivate(), L"CachedValidityScore")->ContainerPtrToValuePtr<float>(shelter);
        m.inDungeon = Sim::InsideDungeon(world, m.at.x, m.at.y, m.at.z);
        m.night = Sim::IsNight(world);
        m.ground = Sim::FloorBelow(world, m.at.x, m.at.y, m.at.z - 90);
        auto rotation = OrvTest::ReadEngineVector(Sim::FindPropertyUncounted(controller->GetClassPrivate(), L"ControlRotation")->ContainerPtrToValuePtr<void>(controller));
        m.controlYaw = rotation[1];
        auto* velocity = Sim::FindFunctionByPath(L"/Script/Engine.Actor:GetVelocity");
        std::vector<RC::Unreal::uint8> parms(velocity->GetParmsSize() + 8u, 0);
        pawn->ProcessEvent(velocity, parms.data());
        auto v = OrvTest::ReadEngineVector(parms.data());
        m.speed = std::hypot(v[0], v[1]);
        return m;
    }
};

TEST_P(WalkScenario, TheFieldsTheHouseTheCaveTheFieldsAgainAndNightFalls)
{
    const auto moments = Play("walk", static_cast<std::uint64_t>(std::get<1>(GetParam())));
    auto inShare = [](int frame, double from, double to) { return frame >= from * kFrames && frame < to * kFrames; };
    int walking = 0;
    for (int frame = 0; frame < kFrames; ++frame)
    {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const Moment& m = moments[static_cast<std::size_t>(frame)];
        if (inShare(frame, 0, 0.2) || inShare(frame, 0.45, 0.5) || inShare(frame, 0.7, 1))
        {
            EXPECT_LT(m.shelter, 0.5f) << "in the open";
            EXPECT_FALSE(m.inDungeon);
        }
        if (inShare(frame, 0.25, 0.4))
        {
            EXPECT_GE(m.shelter, 0.5f) << "under the house's roof";
            EXPECT_FALSE(m.inDungeon);
        }
        if (inShare(frame, 0.5, 0.7))
        {
            EXPECT_TRUE(m.inDungeon) << "in the cave";
            EXPECT_EQ(m.shelter, 1.0f);
        }
        EXPECT_EQ(m.night, frame >= 0.8 * kFrames);
        EXPECT_NEAR(m.at.z - m.ground, 90, 0.01) << "standing on what is under it";
        EXPECT_NEAR(m.controlYaw, m.at.yaw, 1e-3) << "the view follows the pawn";
        EXPECT_LT(m.speed, 1600) << "no teleport counts as walking";
        walking += m.speed > 100 ? 1 : 0;
    }
    EXPECT_GT(walking, kFrames / 2) << "the player walks most of the time";
}

TEST_P(WalkScenario, TheDungeonsOwnWorldIsACaveFromTheStart)
{
    const auto moments = Play("world-change", static_cast<std::uint64_t>(std::get<1>(GetParam())));
    const Moment& last = moments.back();
    EXPECT_TRUE(last.inDungeon);
    EXPECT_EQ(last.shelter, 1.0f);
    EXPECT_NEAR(last.at.z, -2000, 0.01);
}

INSTANTIATE_TEST_SUITE_P(EnginesAndSeeds, WalkScenario, ::testing::Combine(::testing::Values(4, 5), ::testing::Values(1, 7)),
                         [](const auto& instance) {
                             return "UE" + std::to_string(std::get<0>(instance.param)) + "_seed" + std::to_string(std::get<1>(instance.param));
                         });
} // namespace
#endif
