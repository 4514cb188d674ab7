// A frame of the driver with a live session and tracked creatures allocates nothing: the
// queues keep their capacity and every name is resolved by then.
#include "support/CountingNew.hpp"
#include "support/EngineFixture.hpp"

#include "mod/LiveOrvantaMod.hpp"
#include "settings/ModSettings.hpp"

#include <Sim/World.hpp>

namespace
{
class SteadyFrame : public OrvTest::EngineFixture
{
};

TEST_F(SteadyFrame, TheFrameDriverAllocatesNothingOnceTheSessionRuns)
{
#if !ORV_COUNTING_NEW
    GTEST_SKIP() << "the sanitizer owns operator new";
#else
    Orv::Settings() = Orv::DefaultSettings();
    // Creatures enter the list through their begin-play events, whatever clock the platform's
    // performance counter runs on.
    OrvTest::ImplementPlayEvents();
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::CreateGameInstance(world);
    auto* pawn = Sim::EnterLocalPlayer(world).pawn;
    auto mod = std::make_unique<Orv::LiveOrvantaMod>();
    mod->on_unreal_init();
    constexpr Sim::int64 kFrame = 16'666'667;
    Sim::AdvanceClock(kFrame);
    mod->OnTick();
    for (int i = 0; i < 16; ++i)
    {
        Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");
    }
    // Warm-up: the queues reach their size and every refresh deadline passes once.
    for (int i = 0; i < 60; ++i)
    {
        Sim::AdvanceClock(kFrame);
        mod->OnTick();
    }
    ASSERT_EQ(mod->Session().actors.trackedActors.size(), 16u);
    ASSERT_GT(OrvTest::allocationCount.load(), 0) << "the counting operator new is not in use";

    long allocations = 0;
    for (int i = 0; i < 120; ++i)
    {
        Sim::AdvanceClock(kFrame);
        long before = OrvTest::allocationCount.load();
        mod->OnTick();
        allocations += OrvTest::allocationCount.load() - before;
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(mod->Session().discovery.pawn, pawn);
#endif
}
} // namespace
