// A frame of the driver with a live session, its capture and tracked creatures allocates
// nothing and looks nothing up: the queues keep their capacity and every name is resolved by
// then, indoors and underground too, among 100,000 objects, and in a game build that lacks a
// class the mod asks about.
#include "support/CountingNew.hpp"
#include "support/EngineFixture.hpp"

#include "mod/LiveOrvantaMod.hpp"
#include "settings/HudFile.hpp"
#include "settings/ModSettings.hpp"
#include "settings/SettingsFile.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Game.hpp>
#include <Sim/Input.hpp>
#include <Sim/MapData.hpp>
#include <Sim/Scene.hpp>
#include <Sim/World.hpp>

#include <filesystem>
#include <functional>
#include <string>

#include <unistd.h>
#include <memory>

namespace
{
using RC::Unreal::UObject;
using RC::Unreal::UWorld;

constexpr Sim::int64 kFrame = 16'666'667;

// Under the sanitizer, which owns operator new, nothing is counted and the tests skip.
long Allocations()
{
#if ORV_COUNTING_NEW
    return OrvTest::allocationCount.load();
#else
    return 0;
#endif
}

class SteadyFrame : public OrvTest::EngineFixture
{
  protected:
    void StartSession(UWorld* world, const Sim::Placement& at = {})
    {
        Orv::Settings() = Orv::DefaultSettings();
        Sim::CreateGameInstance(world);
        const Sim::EnteredPlayer entered = Sim::EnterLocalPlayer(world, at);
        pawn_ = entered.pawn;
        controller_ = entered.controller;
        mod_ = std::make_unique<Orv::LiveOrvantaMod>();
        mod_->on_unreal_init();
        mod_->StartOnGameThread();
        Frames(1);
    }

    // Frames of the engine clock, the scene moved before each; returns what the mod's frames
    // themselves allocated.
    long Frames(int count, const std::function<void()>& beforeEach = {})
    {
        long allocations = 0;
        for (int i = 0; i < count; ++i)
        {
            if (beforeEach)
            {
                beforeEach();
            }
            Sim::AdvanceClock(kFrame);
            const long before = Allocations();
            mod_->OnTick();
            allocations += Allocations() - before;
        }
        return allocations;
    }

    // After a warm-up in which the queues reach their size and every refresh deadline passes
    // once, frames allocate nothing and resolve nothing by name.
    void ExpectSteadyFrames(const std::function<void()>& beforeEach = {})
    {
        Frames(60, beforeEach);
        ASSERT_GT(Allocations(), 0) << "the counting operator new is not in use";
        const Sim::HostCounters lookups = Sim::Counters();
        EXPECT_EQ(Frames(120, beforeEach), 0);
        EXPECT_EQ(Sim::Counters().NameFind, lookups.NameFind);
        EXPECT_EQ(Sim::Counters().FindObject, lookups.FindObject);
        EXPECT_EQ(Sim::Counters().FindAllOf, lookups.FindAllOf);
        EXPECT_EQ(Sim::Counters().PropertyWalks, lookups.PropertyWalks);
        EXPECT_EQ(Sim::Counters().GetChildren, lookups.GetChildren) << "no walk of a class's fields";
        EXPECT_EQ(Sim::Counters().ObjectsWalked, lookups.ObjectsWalked) << "no walk of the object array";
        EXPECT_GT(Sim::Counters().ProcessEvent, lookups.ProcessEvent) << "the frames did call into the engine";
        EXPECT_EQ(mod_->Session().discovery.pawn, pawn_);
    }

    std::unique_ptr<Orv::LiveOrvantaMod> mod_;
    UObject* pawn_ = nullptr;
    UObject* controller_ = nullptr;
};

TEST_F(SteadyFrame, TheFrameDriverAllocatesNothingOnceTheSessionRuns)
{
    if (!ORV_COUNTING_NEW)
    {
        GTEST_SKIP() << "the sanitizer owns operator new";
    }
    // Creatures enter the list through the loader's begin-play callback, whatever clock the
    // platform's performance counter runs on.
    auto* world = Sim::CreateWorld(L"Valley");
    StartSession(world);
    for (int i = 0; i < 16; ++i)
    {
        Sim::SpawnActor(world, L"/Script/Umbrafel.UmbrafelAICharacter");
    }
    ExpectSteadyFrames();
    EXPECT_EQ(mod_->Session().actors.trackedActors.size(), 16u);
}

// Among 100,000 objects, where any walk of the object array would cost a game dearly, and with
// the menu's controller class missing from the build: the miss is not asked again every frame.
TEST_F(SteadyFrame, AMissingClassCostsNoWalkOfALargeObjectArrayPerFrame)
{
    if (!ORV_COUNTING_NEW)
    {
        GTEST_SKIP() << "the sanitizer owns operator new";
    }
    StartEngine(5, 1, {.missingClasses = {L"/Script/Umbrafel.UmbrafelPlayerControllerMenu"}});
    Sim::PadObjectArray(100000);
    auto* world = Sim::CreateWorld(L"Valley");
    StartSession(world);
    ASSERT_EQ(mod_->Session().discovery.pawn, pawn_);
    for (int i = 0; i < 16; ++i)
    {
        Sim::SpawnCreature(world, {.x = 200.0 * i}, i == 0, static_cast<Sim::uint8>(i % 3));
    }
    ExpectSteadyFrames();
    EXPECT_EQ(mod_->Session().actors.trackedActors.size(), 16u);

    // A new session asks for the class once more, and then no more.
    pawn_ = Sim::Respawn(controller_);
    ExpectSteadyFrames();
}

// The mouse over the locked frame, crossing EDIT and the map, costs a call for its position and
// the viewport's scale, and a recolouring as it enters and leaves EDIT, and nothing more.
TEST_F(SteadyFrame, TheMouseOverTheLockedFrameAllocatesNothing)
{
    if (!ORV_COUNTING_NEW)
    {
        GTEST_SKIP() << "the sanitizer owns operator new";
    }
    auto* world = Sim::CreateWorld(L"Valley");
    StartSession(world);
    int step = 0;
    // From the map's left edge across EDIT (top right of the frame) and back, row by row.
    ExpectSteadyFrames([&] {
        ++step;
        Sim::SetMousePosition(1600.0 + (step * 7) % 300, 20.0 + (step * 3) % 60);
    });
}

// Every extra on: north kept up, the letters, the coordinates, a see-through map. Standing
// still or walking and turning, a frame allocates nothing and resolves nothing by name; the
// coordinates' text goes into fixed storage.
TEST_F(SteadyFrame, EveryExtraOnStillAllocatesNothing)
{
    if (!ORV_COUNTING_NEW)
    {
        GTEST_SKIP() << "the sanitizer owns operator new";
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("orvanta-steady-extras-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    Orv::UseSettingsFolder(folder.wstring());
    Orv::HudSettings extras;
    extras.NorthUp = true;
    extras.Coordinates = true;
    extras.MapOpacity = 0.6f;
    ASSERT_TRUE(Orv::SaveHudSettings(extras));
    auto* world = Sim::CreateWorld(L"Valley");
    StartSession(world);
    ExpectSteadyFrames();
    // Walking and turning: only a frame that sends a new text for the coordinates allocates,
    // and that is the engine's text record, not the formatting.
    int step = 0;
    const auto walk = [&] {
        ++step;
        Sim::SetActorPlacement(pawn_, {.x = 40.0 * step, .y = 10.0 * step, .yaw = 3.0 * step});
        Sim::SetControlRotation(controller_, 0, 3.0 * step, 0);
    };
    Frames(60, walk);
    const Sim::HostCounters lookups = Sim::Counters();
    UObject* text = mod_->Session().widget.coordinatesText;
    int texts = 0;
    for (int frame = 0; frame < 120; ++frame)
    {
        const std::uint64_t sent = Sim::CallCount(text, L"SetText");
        const long allocated = Frames(1, walk);
        if (Sim::CallCount(text, L"SetText") == sent)
        {
            EXPECT_EQ(allocated, 0) << frame;
        }
        else
        {
            ++texts;
        }
    }
    EXPECT_GE(texts, 19);
    EXPECT_LE(texts, 20);
    EXPECT_EQ(Sim::Counters().NameFind, lookups.NameFind);
    EXPECT_EQ(Sim::Counters().PropertyWalks, lookups.PropertyWalks);
    EXPECT_EQ(Sim::Counters().ObjectsWalked, lookups.ObjectsWalked);
    mod_.reset();
    Orv::UseSettingsFolder({});
    Orv::Hud() = Orv::HudSettings{};
    std::filesystem::remove_all(folder);
}

// A walk traces the roof again every 200 units, with a parameter block too large to keep in
// place and a member search per trace; standing under the ceiling costs neither.
TEST_F(SteadyFrame, StandingInACaveAllocatesNothingOnceTheCeilingIsFound)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    if (!ORV_COUNTING_NEW)
    {
        GTEST_SKIP() << "the sanitizer owns operator new";
    }
    auto* world = Sim::CreateWorld(L"Valley");
    Sim::AddDungeon(world, {.region = {-8000, -8000, 8000, 8000},
                            .floorZ = -2090,
                            .ceilings = {{{-8000, -8000, 0, 8000}, -1600}, {{0, -8000, 8000, 8000}, -1350}},
                            .upperArea = {-8000, -8000, 8000, -500},
                            .upperFloorZ = -1100,
                            .upperCeilingZ = -700});
    StartSession(world, {.x = -3000, .z = -2000});
    double x = -3000;
    Frames(60, [&] { Sim::SetActorPlacement(pawn_, {.x = x += 10, .z = -2000}); });
    ExpectSteadyFrames();
    EXPECT_TRUE(mod_->Session().camera.inDungeon);
    EXPECT_TRUE(mod_->Session().indoor.roofFound);
}
} // namespace
