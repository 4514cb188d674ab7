// What the engine is told for the AI diamonds and the player's arrow: a diamond's colours and
// scale sent only when its slot's kind changes, its place, its collapse without a pawn, the AI
// set read every half second; the arrow's picture sent once, its angle from the heading against
// the camera's or the pawn's yaw.
#include "markers/MapDataFixture.hpp"

#include <Sim/Game.hpp>
#include <Sim/Screen.hpp>
#include <Sim/World.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace OrvTest
{
namespace
{
class DiamondPool : public MapDataFixture
{
  protected:
    static std::array<double, 4> BrushSent(UObject* border)
    {
        const Sim::RecordedCall call = Sim::LastCall(border, L"SetBrushColor");
        return {call.Number(L"InBrushColor.R"), call.Number(L"InBrushColor.G"), call.Number(L"InBrushColor.B"),
                call.Number(L"InBrushColor.A")};
    }

    static double ScaleSent(UObject* widget)
    {
        const Sim::RecordedCall call = Sim::LastCall(widget, L"SetRenderScale");
        EXPECT_EQ(call.Number(L"Scale.X"), call.Number(L"Scale.Y"));
        return call.Number(L"Scale.X");
    }

    static std::array<double, 4> Fill(float r, float g, float b, float a) { return {r, g, b, a}; }
    static std::array<double, 4> Edge(float a) { return {0.01f, 0.006f, 0.003f, a}; }

    std::uint64_t BrushCalls(std::size_t index) const
    {
        return Sim::CallCount(DiamondSlot(index).fill, L"SetBrushColor") + Sim::CallCount(DiamondSlot(index).frame, L"SetBrushColor") +
               Sim::CallCount(DiamondSlot(index).frame, L"SetRenderScale");
    }
};

TEST_F(DiamondPool, ASlotsColoursAndScaleAreSentOnlyWhenItsKindChanges)
{
    StartMarkers();
    Orv::Settings().AiIconScale = 2.0f;
    Orv::Settings().MarkerOpacity = 0.8f;
    UObject* hostile = Sim::SpawnCreature(world_, {.x = 300}, false, 0);
    Sim::SpawnCreature(world_, {.x = 600}, true, 2);
    markers_->FullAiScan();
    markers_->UpdateAiMarkers();
    // 300 ahead: 136 − 10.2 − 9; 600 ahead: 136 − 20.4 − 9.
    ASSERT_NEAR(Sim::LastCall(DiamondSlot(0).slot, L"SetPosition").Number(L"InPosition.Y"), 116.8, 1e-4);
    ASSERT_NEAR(Sim::LastCall(DiamondSlot(1).slot, L"SetPosition").Number(L"InPosition.Y"), 106.6, 1e-4);
    EXPECT_EQ(Sim::LastCall(DiamondSlot(0).slot, L"SetPosition").Number(L"InPosition.X"), 127);
    EXPECT_EQ(BrushSent(DiamondSlot(0).fill), Fill(1.0f, 0.16f, 0.08f, 0.8f)) << "archetype 0";
    EXPECT_EQ(BrushSent(DiamondSlot(0).frame), Edge(0.8f));
    EXPECT_NEAR(ScaleSent(DiamondSlot(0).frame), 2 * 0.58, 1e-6);
    EXPECT_EQ(BrushSent(DiamondSlot(1).fill), Fill(0.88f, 0.38f, 1.0f, 0.8f)) << "a boss whatever its archetype";
    EXPECT_EQ(BrushSent(DiamondSlot(1).frame), Edge(0.8f));
    EXPECT_NEAR(ScaleSent(DiamondSlot(1).frame), 2 * 0.72, 1e-6);

    // The same kinds in the same slots and places: nothing is sent, and new settings wait for a
    // change of kind.
    Orv::Settings().AiIconScale = 3.0f;
    Orv::Settings().MarkerOpacity = 0.4f;
    Sim::ForgetCalls();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(BrushCalls(0) + BrushCalls(1), 0u);
    EXPECT_EQ(Sim::CallCount(DiamondSlot(0).slot, L"SetPosition"), 0u);
    EXPECT_EQ(Sim::CallCount(DiamondSlot(1).slot, L"SetPosition"), 0u);
    EXPECT_EQ(ColourField(DiamondSlot(0).fill, L"BrushColor")[3], 0.8f);

    // The hostile leaves the frame: the boss takes slot 0 and brings its look; slot 1 collapses.
    Sim::SetActorPlacement(hostile, {.x = 5000});
    Sim::ForgetCalls();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(BrushSent(DiamondSlot(0).fill), Fill(0.88f, 0.38f, 1.0f, 0.4f));
    EXPECT_EQ(BrushSent(DiamondSlot(0).frame), Edge(0.4f));
    EXPECT_NEAR(ScaleSent(DiamondSlot(0).frame), 3 * 0.72, 1e-6);
    EXPECT_EQ(Sim::LastCall(DiamondSlot(1).root, L"SetVisibility").Number(L"InVisibility"), 1);
    EXPECT_EQ(Sim::CallCount(DiamondSlot(0).root, L"SetVisibility"), 0u) << "shown already";

    // Back again: slot 0 turns hostile; slot 1 still has the boss's look and is only shown.
    Sim::SetActorPlacement(hostile, {.x = 300});
    Sim::ForgetCalls();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(BrushSent(DiamondSlot(0).fill), Fill(1.0f, 0.16f, 0.08f, 0.4f));
    EXPECT_NEAR(ScaleSent(DiamondSlot(0).frame), 3 * 0.58, 1e-6);
    EXPECT_EQ(BrushCalls(1), 0u);
    EXPECT_EQ(Sim::LastCall(DiamondSlot(1).root, L"SetVisibility").Number(L"InVisibility"), 3);
    EXPECT_EQ(VisibilityOf(DiamondSlot(1).root), 3);
}

TEST_F(DiamondPool, ADiamondSitsWhereItsActorProjectsAndAllCollapseWithoutAPawn)
{
    StartMarkers();
    Sim::SpawnCreature(world_, {.x = 500, .y = -300}, false, 2);
    markers_->FullAiScan();
    markers_->UpdateAiMarkers();
    // 18-unit slots around (−10.2, −17) from the centre at 136.
    const Sim::RecordedCall place = Sim::LastCall(DiamondSlot(0).slot, L"SetPosition");
    EXPECT_NEAR(place.Number(L"InPosition.X"), 116.8, 1e-4);
    EXPECT_NEAR(place.Number(L"InPosition.Y"), 110, 1e-4);
    EXPECT_EQ(BrushSent(DiamondSlot(0).fill), Fill(0.42f, 1.0f, 0.26f, 1.0f)) << "archetype 2";
    EXPECT_EQ(VisibilityOf(DiamondSlot(0).root), 3);

    Sim::DestroyActor(pawn_);
    markers_->UpdateAiMarkers();
    EXPECT_EQ(Sim::LastCall(DiamondSlot(0).root, L"SetVisibility").Number(L"InVisibility"), 1);
    EXPECT_EQ(VisibilityOf(DiamondSlot(0).root), 1);
}

// A crowd larger than the pool: 70 creatures found first at three quarters of the radius, a
// boss among them farther out, then six close by. Nearest first, the boss and the six all get diamonds;
// in the list's order, the far ones took every diamond before the near were reached.
class CrowdedFrame : public DiamondPool, public ::testing::WithParamInterface<bool>
{
  protected:
    // Shown diamonds within 30 units of the map's middle, and whether the boss's colour shows.
    std::pair<int, bool> NearAndBossShown() const
    {
        int nearby = 0;
        bool boss = false;
        for (std::size_t index = 0; index < Orv::kDiamondMarkerCount; ++index)
        {
            if (VisibilityOf(DiamondSlot(index).root) != 3)
            {
                continue;
            }
            const Sim::RecordedCall place = Sim::LastCall(DiamondSlot(index).slot, L"SetPosition");
            const double dx = place.Number(L"InPosition.X") + 9 - 136;
            const double dy = place.Number(L"InPosition.Y") + 9 - 136;
            nearby += std::hypot(dx, dy) < 30 ? 1 : 0;
            boss = boss || BrushSent(DiamondSlot(index).fill) == Fill(0.88f, 0.38f, 1.0f, 1.0f);
        }
        return {nearby, boss};
    }
};

TEST_P(CrowdedFrame, TheDiamondsGoToTheBossThenTheNearestOrInTheListsOrder)
{
    Orv::Hud().NearestFirst = GetParam();
    StartMarkers();
    for (int i = 0; i < 70; ++i)
    {
        const double angle = i * 2 * std::numbers::pi / 70;
        // The boss farthest of all: only its rank brings it in.
        const double radius = i == 35 ? 3500 : 3000;
        Sim::SpawnCreature(world_, {.x = radius * std::cos(angle), .y = radius * std::sin(angle)}, i == 35, 0);
    }
    for (int i = 0; i < 6; ++i)
    {
        const double angle = i * 2 * std::numbers::pi / 6;
        Sim::SpawnCreature(world_, {.x = 400 * std::cos(angle), .y = 400 * std::sin(angle)}, false, 1);
    }
    markers_->FullAiScan();
    markers_->UpdateAiMarkers();
    const auto [nearby, boss] = NearAndBossShown();
    if (GetParam())
    {
        EXPECT_EQ(nearby, 6);
        EXPECT_TRUE(boss);
    }
    else
    {
        EXPECT_EQ(nearby, 0);
        EXPECT_TRUE(boss) << "the 36th found";
    }
}

INSTANTIATE_TEST_SUITE_P(NearestFirst, CrowdedFrame, ::testing::Bool());

TEST_F(DiamondPool, TheAiSetIsReadAgainEveryHalfSecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    // No begin-play event tells of the creature (no script hook fires, and the loader's settings
    // leave its actor callbacks out): only the AI set's reading finds it.
    Sim::SetSilentEvents(true);
    Sim::RefuseLoaderCallbacks(true);
    StartMarkers();
    const Orv::Nanoseconds read = Sim::ClockNanoseconds();
    Sim::SpawnCreature(world_, {.x = 300}, false, 1);
    while (Sim::ClockNanoseconds() + kFrameNs < read + Orv::kSecond / 2)
    {
        Frame();
    }
    EXPECT_NE(VisibilityOf(DiamondSlot(0).root), 3) << "before half a second";
    Frame();
    EXPECT_EQ(VisibilityOf(DiamondSlot(0).root), 3);
    Sim::SetSilentEvents(false);
}

TEST_F(DiamondPool, ACreatureWhoseDataIsTheClassDefaultIsReadFromIt)
{
    StartMarkers();
    UObject* creature = Sim::SpawnCreature(world_, {.x = 300}, false, 2);
    auto* dataClass = static_cast<RC::Unreal::UClass*>(Sim::FindObjectByPath(L"/Script/Umbrafel.AICharacterData"));
    ASSERT_NE(dataClass, nullptr);
    UObject* defaults = dataClass->GetClassDefaultObject();
    ASSERT_NE(defaults, nullptr);
    // The class default is neither a boss nor of a later archetype than 0: a hostile.
    Sim::SetObjectReference(creature, L"LoadedData", defaults);
    markers_->FullAiScan();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(BrushSent(DiamondSlot(0).fill), Fill(1.0f, 0.16f, 0.08f, 1.0f));
    EXPECT_NEAR(ScaleSent(DiamondSlot(0).frame), 0.58, 1e-6);
}

class PlayerArrow : public MapDataFixture
{
  protected:
    void Heading(double degrees) const
    {
        const double radians = degrees * std::numbers::pi / 180.0;
        Sim::SetActorVelocity(pawn_, 300 * std::cos(radians), 300 * std::sin(radians), 0);
        markers_->UpdatePlayerArrow();
    }

    double AngleSent() const { return Sim::LastCall(Widget().arrowImage, L"SetRenderTransformAngle").Number(L"Angle"); }
};

TEST_F(PlayerArrow, TheHeadingIsMeasuredFromTheCamerasYawOnceSmoothingStartedElseFromThePawns)
{
    StartMarkers({.yaw = 0});
    auto& camera = markers_->MutableSession().camera;
    camera.cameraYaw = 40;
    camera.yawSmoothingStarted = true;
    Heading(130);
    EXPECT_NEAR(AngleSent(), 360, 1e-3) << "a quarter turn right of the camera";
    Heading(40);
    EXPECT_NEAR(AngleSent(), 270, 1e-3);

    camera.yawSmoothingStarted = false;
    Sim::SetActorPlacement(pawn_, {.yaw = 100});
    Heading(40);
    EXPECT_NEAR(AngleSent(), 210, 1e-3) << "60° left of the pawn's facing";
    // Slower than 5 units a second: along the pawn's facing.
    Sim::SetActorVelocity(pawn_, 3, 4, 0);
    markers_->UpdatePlayerArrow();
    EXPECT_NEAR(AngleSent(), 270, 1e-3);
}

TEST_F(PlayerArrow, ThePictureAndTintAreSentOnceAndAnUnchangedAngleNotAgain)
{
    Sim::MapIconStyle own;
    ASSERT_TRUE(Sim::StyleOf(Sim::MapIconType::LocalPlayer, own));
    own.tint = {0.9f, 0.8f, 0.1f, 0.7f};
    Sim::SetStyle(Sim::MapIconType::LocalPlayer, own);
    StartMarkers();
    UObject* arrow = Widget().arrowImage;
    const Sim::RecordedCall picture = Sim::LastCall(arrow, L"SetBrushFromTexture");
    EXPECT_EQ(picture.Count(), 1u);
    EXPECT_EQ(picture.Object(L"Texture"), Sim::GameTexture(L"T_MapIcon_Arrow"));
    ASSERT_TRUE(picture.Has(L"bMatchSize"));
    EXPECT_FALSE(picture.Bool(L"bMatchSize")) << "the arrow keeps its 30-unit box";
    const Sim::RecordedCall tint = Sim::LastCall(arrow, L"SetColorAndOpacity");
    EXPECT_EQ(tint.Count(), 1u);
    EXPECT_EQ(tint.Number(L"InColorAndOpacity.R"), 0.9f);
    EXPECT_EQ(tint.Number(L"InColorAndOpacity.A"), 0.7f);

    Sim::ForgetCalls();
    for (int i = 0; i < 3; ++i)
    {
        markers_->UpdatePlayerArrow();
    }
    EXPECT_EQ(Sim::CallCount(arrow, L"SetBrushFromTexture"), 0u);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetColorAndOpacity"), 0u);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetRenderTransformAngle"), 0u);
    Heading(90);
    Heading(90);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetRenderTransformAngle"), 1u);
    EXPECT_NEAR(AngleSent(), 360, 1e-3);
    // A hundredth of a degree is the least turn sent, measured from the angle last sent.
    Heading(90.012);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetRenderTransformAngle"), 2u);
    Heading(90.017);
    Heading(90.021);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetRenderTransformAngle"), 2u);
    Heading(90.023);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetRenderTransformAngle"), 3u);
    // Just over 5 units a second is moving: (5, 1) heads 11.31° off the map's up.
    Sim::SetActorVelocity(pawn_, 5, 1, 0);
    markers_->UpdatePlayerArrow();
    EXPECT_NEAR(AngleSent(), 270 + std::atan2(1.0, 5.0) * 180 / std::numbers::pi, 1e-3);
}

// The image would take whatever it is handed for a Texture2D: a picture on its way out is not
// sent, and the arrow waits, unturned, for one it can show.
TEST_F(PlayerArrow, APictureOnItsWayOutIsNeverSent)
{
    StartMarkers();
    UObject* arrow = Widget().arrowImage;
    UObject* picture = Sim::GameTexture(L"T_MapIcon_Arrow");
    ASSERT_EQ(Sim::LastCall(arrow, L"SetBrushFromTexture").Object(L"Texture"), picture);
    markers_->MutableSession().arrow = {};
    Sim::MarkPendingKill(picture);
    Sim::ForgetCalls();
    Heading(90);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetBrushFromTexture"), 0u);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetColorAndOpacity"), 0u);
    EXPECT_EQ(Sim::CallCount(arrow, L"SetRenderTransformAngle"), 0u);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u);
}

TEST_F(PlayerArrow, WithoutALivePawnTheArrowIsLeftAsItIs)
{
    StartMarkers();
    Heading(90);
    ASSERT_NEAR(AngleSent(), 360, 1e-3);
    // It stops as it goes: the arrow would point along the reference, were the pawn still there.
    Sim::SetActorVelocity(pawn_, 0, 0, 0);
    Sim::ForgetCalls();
    Sim::DestroyActor(pawn_);
    markers_->UpdatePlayerArrow();
    EXPECT_EQ(Sim::CallCount(Widget().arrowImage, L"SetRenderTransformAngle"), 0u) << "no standing still for a pawn that is gone";
    EXPECT_EQ(RealMember(Widget().arrowImage, L"RenderTransform.Angle"), 360);
}

// The game's own interface may take every widget off the screen; the collector then frees the
// HUD and the mod builds a new one within the same session. The new arrow is a new image: it
// gets the picture and the angle again, as the screen shows them.
TEST_F(PlayerArrow, ANewHudTreeShowsTheArrowsPictureAndAngleAgain)
{
    StartMarkers();
    Heading(90);
    UObject* oldArrow = Widget().arrowImage;
    UObject* oldHud = Widget().userWidget;
    ASSERT_NE(Sim::ScreenMember(oldArrow, L"Brush.ResourceObject").address, nullptr);
    Sim::CallScriptFunction(oldHud, L"RemoveFromParent");
    Sim::CollectGarbage();
    ASSERT_FALSE(Sim::HoldsObject(oldHud)) << "nothing else keeps the tree";
    Frame();

    ASSERT_EQ(Sim::ViewportWidgets().size(), 1u);
    UObject* arrow = Widget().arrowImage;
    ASSERT_NE(arrow, nullptr);
    const Sim::MemberRef picture = Sim::ScreenMember(arrow, L"Brush.ResourceObject");
    ASSERT_NE(picture.address, nullptr) << "the new arrow is on the screen";
    EXPECT_EQ(*static_cast<UObject* const*>(picture.address), Sim::GameTexture(L"T_MapIcon_Arrow"));
    const Sim::MemberRef angle = Sim::ScreenMember(arrow, L"RenderTransform.Angle");
    ASSERT_NE(angle.address, nullptr);
    EXPECT_NEAR(*static_cast<const float*>(angle.address), 360, 1e-3) << "still heading right of the map's up";
}

class PlayerComponents : public MapDataFixture
{
};

TEST_F(PlayerComponents, WithoutTheMapApisReferencesTheControllersComponentsServe)
{
    StartMarkers({}, [this] {
        UObject* mapApi = Sim::MapUIAPIOf(world_);
        Sim::SetObjectReference(mapApi, L"LocalPlayerRevealedMapIconsComponent", nullptr);
        Sim::SetObjectReference(mapApi, L"LocalPlayerMapCustomizationComponent", nullptr);
    });
    Sim::AddLandmark(world_, L"Landmark_Village", L"Map.Landmark.Village", {2000, 0, 0}, true);
    ASSERT_TRUE(Sim::RevealLandmark(controller_, L"Landmark_Village"));
    ASSERT_NE(Sim::PlaceWaypoint(world_, {1500, 0, 0}), nullptr);
    Rebuild();
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{1500, 0}, {2000, 0}}));
}

TEST_F(PlayerComponents, WithoutTheControllersReferencesTheMapApisServe)
{
    StartMarkers({}, [this] {
        Sim::AddLandmark(world_, L"Landmark_Village", L"Map.Landmark.Village", {2000, 0, 0}, true);
        ASSERT_TRUE(Sim::RevealLandmark(controller_, L"Landmark_Village"));
        ASSERT_NE(Sim::PlaceWaypoint(world_, {1500, 0, 0}), nullptr);
        Sim::SetObjectReference(controller_, L"RevealedMapIconsComponent", nullptr);
        Sim::SetObjectReference(controller_, L"MapCustomizationComponent", nullptr);
    });
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{1500, 0}, {2000, 0}}));
}

TEST_F(PlayerComponents, ALandmarkToDiscoverNeedsTheRevealedNamesToBeShown)
{
    UseEngine(5, 1, {.missingProperties = {L"/Script/Umbrafel.RevealedMapIconsComponent:RevealedLandmarkNames"}});
    StartMarkers();
    Sim::AddLandmark(world_, L"Landmark_Tower", L"Map.Landmark.Tower", {1000, 0, 0}, false);
    Sim::AddLandmark(world_, L"Landmark_Village", L"Map.Landmark.Village", {2000, 0, 0}, true);
    Rebuild();
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{1000, 0}})) << "a component without the set reveals nothing";
}
} // namespace
} // namespace OrvTest
