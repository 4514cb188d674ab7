// Each sub-update of the frame driver at its own rate, as the engine sees the calls it makes,
// to the hundred nanoseconds the performance counter resolves: markers placed at the marker
// rate, AI diamonds only while AI shows, the time of day asked every ten seconds, the map
// tracker's icons read every second, and a capture that cannot be made tried once a second.
#include "markers/MapDataFixture.hpp"

#include <Sim/Calls.hpp>

#include <gtest/gtest.h>

namespace OrvTest
{
namespace
{
using Orv::kSecond;
using Orv::Nanoseconds;

constexpr Nanoseconds kCounterTick = 100;

class FrameRates : public MapDataFixture
{
  protected:
    static Nanoseconds Now() { return Sim::ClockNanoseconds(); }

    static void FrameAt(Nanoseconds instant)
    {
        Sim::AdvanceClock(instant - Now());
        Sim::TickEngine(0.0f);
    }

    // A creature and a map icon near the player, both drawn from the first frame on.
    void StartWithMarkers()
    {
        StartMarkers({}, [this] {
            icon_ = IconAt(600, 0, L"Lodestone", nullptr);
            creature_ = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelAICharacter", {.x = -600});
        });
        started_ = Now();
    }

    std::uint64_t IconPlacements() const { return Sim::CallCount(Session().markers.iconSlots[0].slot, L"SetPosition"); }
    std::uint64_t DiamondPlacements() const { return Sim::CallCount(Session().markers.diamondSlots[0].slot, L"SetPosition"); }
    static std::uint64_t NightQuestions() { return Sim::CallCount(L"IsNighttime"); }

    UObject* icon_ = nullptr;
    UObject* creature_ = nullptr;
    Nanoseconds started_ = 0;
};

TEST_F(FrameRates, MarkersArePlacedAtTheMarkerRateAndDiamondsOnlyWhileAiShows)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartWithMarkers();
    widgetMod_->workingMarkerFPS = 10.0f;
    // Beyond the pool's own first placement, each update places a drawn marker once, the player
    // stepping before every frame so that no marker keeps its place. The first frame's update
    // was due at once, the next a 60th of a second later (the rate it set then), then every 0.1 s.
    double y = 0;
    const auto stepAt = [&](Nanoseconds time) {
        Sim::SetActorPlacement(pawn_, {.y = y += 1});
        FrameAt(time);
    };
    const std::uint64_t diamonds = DiamondPlacements();
    stepAt(started_ + kFrameNs);
    const std::uint64_t icons = IconPlacements();
    const Nanoseconds last = Now();
    stepAt(last + kSecond / 10 - kCounterTick);
    EXPECT_EQ(IconPlacements(), icons) << "not before a tenth of a second";
    stepAt(last + kSecond / 10);
    EXPECT_EQ(IconPlacements(), icons + 1);
    EXPECT_EQ(DiamondPlacements(), diamonds + 2);

    Orv::Settings().ShowAi = false;
    stepAt(last + 2 * kSecond / 10);
    EXPECT_EQ(IconPlacements(), icons + 2);
    EXPECT_EQ(DiamondPlacements(), diamonds + 2) << "no diamond is placed while AI is hidden";
}

TEST_F(FrameRates, TheTimeOfDayIsAskedEveryTenSecondsAndOnTheFrameAfterItsEvent)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartWithMarkers();
    const std::uint64_t asked = NightQuestions();
    ASSERT_GE(asked, 1u);
    FrameAt(started_ + 10 * kSecond - kCounterTick);
    EXPECT_EQ(NightQuestions(), asked);
    const auto tinted = Sim::CallCount(Widget().mapImage, L"SetColorAndOpacity");
    const auto pictures = Sim::CallCount(Session().capture.captureComponent, L"CaptureScene");
    FrameAt(started_ + 10 * kSecond);
    EXPECT_EQ(NightQuestions(), asked + 1);
    EXPECT_EQ(Sim::CallCount(Widget().mapImage, L"SetColorAndOpacity"), tinted) << "the same answer changes nothing";
    EXPECT_EQ(Sim::CallCount(Session().capture.captureComponent, L"CaptureScene"), pictures);

    markers_->OnRuntimeEvent(Orv::LiveOrvantaMod::RuntimeEvent::DayNightChanged, nullptr);
    FrameAt(started_ + 12 * kSecond);
    EXPECT_EQ(NightQuestions(), asked + 2) << "the event's frame";
    FrameAt(started_ + 22 * kSecond - kCounterTick);
    EXPECT_EQ(NightQuestions(), asked + 2) << "ten seconds from the event's refresh";
    FrameAt(started_ + 22 * kSecond);
    EXPECT_EQ(NightQuestions(), asked + 3);
}

TEST_F(FrameRates, TheTrackersIconsAreReadEverySecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartWithMarkers();
    const std::uint64_t read = Sim::CallCount(icon_, L"IsIconVisible");
    ASSERT_GE(read, 1u);
    FrameAt(started_ + kSecond - kCounterTick);
    EXPECT_EQ(Sim::CallCount(icon_, L"IsIconVisible"), read);
    FrameAt(started_ + kSecond);
    EXPECT_EQ(Sim::CallCount(icon_, L"IsIconVisible"), read + 1);
    FrameAt(started_ + 2 * kSecond);
    EXPECT_EQ(Sim::CallCount(icon_, L"IsIconVisible"), read + 2);
}

TEST_F(FrameRates, ACaptureThatCannotBeMadeIsToldOnceAndTriedAgainEverySecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Engine.Actor:K2_SetActorRotation"));
    StartMarkers();
    const Nanoseconds start = Now();
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    FrameAt(start + kSecond - kCounterTick);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u) << "not within the second";
    FrameAt(start + kSecond);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 2u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 2u) << "none stays half made";
    int told = 0;
    for (const auto& line : Lines())
    {
        told += line.text.find(L"The minimap capture could not be created") != std::wstring::npos ? 1 : 0;
    }
    EXPECT_EQ(told, 1);
}
TEST_F(FrameRates, AWidgetThatCannotBeMadeTakesItsCaptureAlongEachSecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    UseEngine(5, 1, {.missingClasses = {L"/Script/UMG.Overlay"}});
    StartMarkers();
    const Nanoseconds start = Now();
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u) << "no capture stays without its map";
    FrameAt(start + kSecond - kCounterTick);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    FrameAt(start + kSecond);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 2u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 2u);
}
} // namespace
} // namespace OrvTest
