// A live session whose capture loses a part (the game destroys its actor, its component or its
// render target) gets a whole new capture on the next frame: one capture actor in the world,
// and the map on the HUD showing the new picture rather than freezing on the old one.
#include "widget/WidgetFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Screen.hpp>

#include <algorithm>

namespace
{
using namespace OrvTest;

class CaptureRemake : public WidgetFixture
{
  protected:
    // The render target the map image's brush shows, as the screen reads it.
    UObject* Shown() const
    {
        auto [property, address] = MemberAt(Widget().mapImage, L"Brush.ResourceObject");
        return property != nullptr ? *static_cast<UObject**>(address) : nullptr;
    }

    std::size_t CaptureActorsInWorld() const
    {
        RC::Unreal::UClass* capture = Sim::FindClass(L"/Script/Engine.SceneCapture2D");
        const std::vector<UObject*> actors = Sim::ActorsOf(world_);
        return static_cast<std::size_t>(
            std::count_if(actors.begin(), actors.end(), [capture](UObject* actor) { return actor->IsA(capture); }));
    }

    // After the loss and a collection, the next frame remakes it: the map shows a target that
    // a live capture component draws into, the only capture actor there is.
    // The new target may sit where the lost one was: the map is told of it all the same.
    void ExpectRemade()
    {
        Sim::CollectGarbage();
        const auto pictures = Sim::Observations().captureScenes;
        const auto bound = Sim::CallCount(Widget().mapImage, L"SetBrushResourceObject");
        Frame();
        const std::vector<UObject*> drawn = Sim::CaptureTargets();
        ASSERT_EQ(drawn.size(), 1u) << "one capture draws";
        const Sim::RecordedCall shown = Sim::LastCall(Widget().mapImage, L"SetBrushResourceObject");
        EXPECT_EQ(shown.Count(), bound + 1) << "the map is given the new picture";
        EXPECT_EQ(shown.Object(L"ResourceObject"), drawn.front());
        EXPECT_EQ(Shown(), drawn.front());
        EXPECT_EQ(CaptureActorsInWorld(), 1u);
        EXPECT_GT(Sim::Observations().captureScenes, pictures) << "and it is taken";
    }
};

TEST_F(CaptureRemake, ADestroyedCaptureActorIsRemadeAndShown)
{
    StartHud();
    ASSERT_EQ(Shown(), Session().capture.renderTarget);
    Sim::DestroyActor(Session().capture.captureActor);
    ExpectRemade();
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 2u);
}

TEST_F(CaptureRemake, ACaptureComponentDestroyedAloneTakesItsActorWithItsReplacement)
{
    StartHud();
    Sim::DestroyComponent(Session().capture.captureComponent);
    ExpectRemade();
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u) << "the actor left without a component goes";
}

TEST_F(CaptureRemake, ARenderTargetDestroyedAloneIsRemadeAndShown)
{
    StartHud();
    Sim::DestroyObject(Session().capture.renderTarget);
    ExpectRemade();
}
// The screen, not just the binding: a map frozen on the lost capture's last picture would still
// show the house the player has walked away from. The game destroys the actor and no collection
// follows, as in a game where the next purge may be a minute away.
TEST_F(CaptureRemake, AfterTheRemakeTheScreenShowsWhatTheNewCaptureSees)
{
    StartHud();
    Sim::AddBuilding(world_, {.footprint = {1000, -1500, 3500, 1500}});
    FramesFor(Orv::kSecond);
    Sim::RenderTargetImage before;
    Sim::RenderScreen(before);
    const Sim::LayoutRect map = Sim::PlacementOf(Widget().mapImage).rect;
    ASSERT_GT(map.width, 100.0);

    Sim::DestroyActor(Session().capture.captureActor);
    Sim::SetActorPlacement(pawn_, {.x = 30000, .y = 30000});
    FramesFor(Orv::kSecond);
    Sim::RenderTargetImage after;
    Sim::RenderScreen(after);
    ASSERT_EQ(after.width, before.width);

    int changed = 0, looked = 0;
    for (int y = static_cast<int>(map.y); y < static_cast<int>(map.Bottom()); y += 4)
    {
        for (int x = static_cast<int>(map.x); x < static_cast<int>(map.Right()); x += 4)
        {
            const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(before.width) + x) * 4;
            int difference = 0;
            for (int channel = 0; channel < 3; ++channel)
            {
                difference += std::abs(before.rgba[at + channel] - after.rgba[at + channel]);
            }
            changed += difference > 30 ? 1 : 0;
            ++looked;
        }
    }
    EXPECT_GT(changed, looked / 20) << "the house the player left is gone from the map";
}

// A stale session (the player respawned) goes whole: its capture actor leaves the world and
// its target the root set, and the new session's capture is the only one.
TEST_F(CaptureRemake, ASessionGoneStaleTakesItsCaptureAlong)
{
    StartHud();
    UObject* oldTarget = Session().capture.renderTarget;
    Sim::Respawn(controller_, {.x = 500});
    Frame();
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 2u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u);
    EXPECT_EQ(CaptureActorsInWorld(), 1u);
    Sim::CollectGarbage();
    EXPECT_FALSE(Sim::HoldsObject(oldTarget) && oldTarget != Session().capture.renderTarget) << "let go";
}
// On a world change the dying world takes the capture along, even when it dies slowly
// (seamless travel): the mod does not destroy an actor of a world being torn down.
TEST_F(CaptureRemake, ASlowlyDyingWorldKeepsTheCaptureUntilItsOwnEnd)
{
    StartHud();
    UObject* oldCapture = Session().capture.captureActor;
    UWorld* caves = Sim::CreateWorld(L"Caves");
    Sim::TravelSeamless(gameInstance_, caves, 3);
    Frame();
    ASSERT_TRUE(Sim::HoldsObject(oldCapture)) << "the old world still stands";
    EXPECT_EQ(Sim::CallCount(oldCapture, L"K2_DestroyActor"), 0u);
    Frame();
    Frame();
    Frame();
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u) << "gone with its world";
}
} // namespace
