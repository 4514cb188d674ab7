// Drawing the markers into their pools: icons placed where the projection puts them, capped at
// 96 and dressed only on change, hidden by group; AI diamonds by kind, capped at 64, dead
// actors queued once; the arrow's angle from heading and reference; and the crowd's steady
// frames, which allocate nothing and resolve no name.
#include "widget/WidgetFixture.hpp"

#include "markers/MarkerMath.hpp"
#include "support/CountingNew.hpp"

#include <Sim/MapData.hpp>
#include <Sim/Scene.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace OrvTest
{
namespace
{
using Orv::kVisibilityCollapsed;
using Orv::kVisibilityShown;

// Under the sanitizer, which owns operator new, nothing is counted and the count test skips.
long Allocations()
{
#if ORV_COUNTING_NEW
    return allocationCount.load();
#else
    return 0;
#endif
}

class MarkerMod : public WidgetMod
{
  public:
    using LiveOrvantaMod::FullAiScan;
    using LiveOrvantaMod::LoadIconStyles;
    using LiveOrvantaMod::RebuildMapMarkers;
    using LiveOrvantaMod::UpdateAiMarkers;
    using LiveOrvantaMod::UpdateMapIconMarkers;
    using LiveOrvantaMod::UpdatePlayerArrow;
};

class Markers : public WidgetFixture
{
  protected:
    void StartMarkers()
    {
        Sim::SetViewportPixels(1920, 1080);
        Sim::SetViewportScale(1.0f);
        world_ = Sim::CreateWorld(L"Valley");
        gameInstance_ = Sim::CreateGameInstance(world_);
        auto local = Sim::EnterLocalPlayer(world_);
        controller_ = local.controller;
        pawn_ = local.pawn;
        auto mod = std::make_unique<MarkerMod>();
        markerMod_ = mod.get();
        widgetMod_ = mod.get();
        capture_ = mod.get();
        mod_ = std::move(mod);
        mod_->on_unreal_init();
        mod_->StartOnGameThread();
        Frame();
    }

    // Lists the map anew and draws it, as a frame with new map data does.
    void Redraw() const
    {
        markerMod_->RebuildMapMarkers();
        markerMod_->UpdateMapIconMarkers();
    }

    std::size_t IconsShown() const
    {
        std::size_t shown = 0;
        for (const auto& slot : Session().markers.iconSlots)
        {
            shown += VisibilityOf(slot.root) == kVisibilityShown ? 1 : 0;
        }
        return shown;
    }

    std::size_t DiamondsShown() const
    {
        std::size_t shown = 0;
        for (const auto& slot : Session().markers.diamondSlots)
        {
            shown += VisibilityOf(slot.root) == kVisibilityShown ? 1 : 0;
        }
        return shown;
    }

    const Orv::IconMarkerSlot& Icon(std::size_t index) const { return Session().markers.iconSlots[index]; }
    const Orv::DiamondMarkerSlot& Diamond(std::size_t index) const { return Session().markers.diamondSlots[index]; }

    MarkerMod* markerMod_ = nullptr;
};

TEST_F(Markers, IconsArePlacedWhereTheProjectionPutsThem)
{
    StartMarkers();
    // Straight ahead (world +X is up), and to the right.
    Sim::AddLodestone(world_, {1000, 0, 0});
    Sim::AddLodestone(world_, {0, 2000, 0});
    Redraw();
    ASSERT_EQ(IconsShown(), 2u);
    // S 280, Z 8000: half 136, k 0.034; slots are 20 units, so −10.
    EXPECT_EQ(SlotRect(Icon(0).slot), (Rect{126, 126 - 34, 20, 20}));
    EXPECT_EQ(SlotRect(Icon(1).slot), (Rect{126 + 68, 126, 20, 20}));
}

TEST_F(Markers, IconsTurnWithTheMap)
{
    // The camera's turn is smoothed over the mod's own time.
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartMarkers();
    Sim::AddLodestone(world_, {1000, 0, 0});
    Sim::AddLodestone(world_, {0, 2000, 0});
    Redraw();
    // Facing world +Y, the second lodestone is straight ahead and the first lies to the left.
    Sim::SetControlRotation(controller_, 0.0, 90.0, 0.0);
    FramesFor(8 * Orv::kSecond);
    EXPECT_NEAR(SlotRect(Icon(1).slot).y, 126 - 68, 0.1);
    EXPECT_NEAR(SlotRect(Icon(1).slot).x, 126, 0.1);
    EXPECT_NEAR(SlotRect(Icon(0).slot).x, 126 - 34, 0.1);
    EXPECT_NEAR(SlotRect(Icon(0).slot).y, 126, 0.1);
}

TEST_F(Markers, OnlyTheFirst96IconsAreDrawnAndTheRestAreNotEvenLocated)
{
    StartMarkers();
    for (int i = 0; i < 100; ++i)
    {
        Sim::AddLodestone(world_, {30.0 * (i + 1), 0, 0});
    }
    Redraw();
    EXPECT_EQ(Session().mapIcons.count, 100u);
    EXPECT_EQ(IconsShown(), 96u);
    // Nearest first: the 96th slot holds the 96th lodestone.
    EXPECT_NEAR(SlotRect(Icon(95).slot).y, 126 - 96 * 30 * 0.034, 1e-3);
    // Beyond the disc's edge (3411 units) nothing is drawn, and slots drawn before are collapsed.
    Sim::SetActorPlacement(pawn_, {.x = 30000});
    Redraw();
    EXPECT_EQ(IconsShown(), 0u);
    for (const auto& slot : Session().markers.iconSlots)
    {
        EXPECT_FALSE(slot.shown);
    }
}

TEST_F(Markers, TheRoundFrameDrawsToItsEdgeAndTheSquareIntoItsCorners)
{
    StartMarkers();
    Orv::Hud().MarkersToRim = false;
    const double edge = 116.0 / 0.034;
    Sim::AddLodestone(world_, {edge - 1, 0, 0});
    Sim::AddLodestone(world_, {edge * 0.9, edge * 0.9, 0});
    Sim::AddLodestone(world_, {-edge - 2, 0, 0});
    Redraw();
    EXPECT_EQ(IconsShown(), 1u);
    widgetMod_->workingCircular = false;
    markerMod_->UpdateMapIconMarkers();
    EXPECT_EQ(IconsShown(), 2u);
}

TEST_F(Markers, GroupsHideWithTheirSettingsButPlayersAlwaysShow)
{
    StartMarkers();
    Sim::AddLodestone(world_, {500, 0, 0});
    Sim::AddRegistryPlayer(world_, {7, 7, 7, 7}, {0, 500, 0}, {0.2f, 0.4f, 1.0f, 1.0f});
    Redraw();
    ASSERT_EQ(IconsShown(), 2u);
    Orv::Settings().ShowPois = false;
    Orv::Settings().ShowQuests = false;
    Orv::Settings().ShowResources = false;
    markerMod_->UpdateMapIconMarkers();
    EXPECT_EQ(IconsShown(), 1u);
    EXPECT_EQ(Icon(0).category, 2) << "the other player";
    EXPECT_EQ(ColourField(Icon(0).icon, L"ColorAndOpacity"), (std::array<float, 4>{0.2f, 0.4f, 1.0f, 1.0f}));
    Orv::Settings().ShowPois = true;
    markerMod_->UpdateMapIconMarkers();
    EXPECT_EQ(IconsShown(), 2u);
}

TEST_F(Markers, AnIconIsDressedByItsStyleAndScaledByItsGroup)
{
    StartMarkers();
    Sim::MapIconStyle lodestone;
    ASSERT_TRUE(Sim::StyleOf(Sim::MapIconType::Lodestone, lodestone));
    lodestone.iconSize = 64;
    lodestone.rotationOffset = 15;
    lodestone.tint = {0.5f, 0.6f, 0.7f, 0.8f};
    Sim::SetStyle(Sim::MapIconType::Lodestone, lodestone);
    markerMod_->LoadIconStyles();
    Orv::Settings().PoiIconScale = 2.0f;
    Orv::Settings().MarkerOpacity = 0.5f;
    Sim::AddLodestone(world_, {500, 0, 0});
    Redraw();
    const auto& slot = Icon(0);
    ASSERT_TRUE(slot.shown);
    EXPECT_EQ(*static_cast<UObject**>(MemberAt(slot.icon, L"Brush.ResourceObject").second), lodestone.texture);
    EXPECT_EQ(*static_cast<UObject**>(MemberAt(slot.background, L"Brush.ResourceObject").second), lodestone.texture);
    // 64 × 0.03125 × 1.1 = 2.2, clamped to 1.38, doubled: 2.76; the backdrop 12 % larger.
    EXPECT_FLOAT_EQ(static_cast<float>(RealMember(slot.icon, L"RenderTransform.Scale.X")), 2.76f);
    EXPECT_FLOAT_EQ(static_cast<float>(RealMember(slot.background, L"RenderTransform.Scale.Y")), 3.0912f);
    EXPECT_EQ(RealMember(slot.icon, L"RenderTransform.Angle"), 15);
    EXPECT_EQ(RealMember(slot.background, L"RenderTransform.Angle"), 15);
    EXPECT_EQ(ColourField(slot.icon, L"ColorAndOpacity"), (std::array<float, 4>{0.5f, 0.6f, 0.7f, 0.4f}));
    EXPECT_EQ(ColourField(slot.background, L"ColorAndOpacity"), (std::array<float, 4>{0.015f, 0.01f, 0.006f, 0.92f * 0.5f}));
}

TEST_F(Markers, ASlotIsDressedOnlyWhenWhatItShowsChanges)
{
    StartMarkers();
    Sim::AddLodestone(world_, {500, 0, 0});
    Redraw();
    CallCounter textures(L"/Script/UMG.Image:SetBrushFromTexture");
    CallCounter colours(L"/Script/UMG.Image:SetColorAndOpacity");
    CallCounter places(L"/Script/UMG.CanvasPanelSlot:SetPosition");
    CallCounter shows(L"/Script/UMG.Widget:SetVisibility");
    markerMod_->UpdateMapIconMarkers();
    markerMod_->UpdateMapIconMarkers();
    EXPECT_EQ(textures.Count(), 0);
    EXPECT_EQ(colours.Count(), 0);
    EXPECT_EQ(shows.Count(), 0);
    EXPECT_EQ(places.Count(), 0) << "a still icon keeps the place it was sent";
    // A nearer gravestone takes slot 0: the lodestone moves to slot 1 and both are dressed.
    Sim::SetCharacterGuid(controller_, {1, 2, 3, 4});
    Sim::AddGravestone(world_, {1, 2, 3, 4}, {100, 0, 0});
    Redraw();
    EXPECT_EQ(textures.Count(), 4);
    EXPECT_EQ(colours.Count(), 4);
    EXPECT_EQ(shows.Count(), 1);
    // A changed tint alone re-dresses without a new texture.
    markerMod_->MutableSession().mapIcons.entries[0].tint.g = 0.25f;
    markerMod_->UpdateMapIconMarkers();
    EXPECT_EQ(textures.Count(), 4);
    EXPECT_EQ(colours.Count(), 6);
}

TEST_F(Markers, ASlotWhoseWidgetsDiedIsPassedOver)
{
    StartMarkers();
    Sim::AddLodestone(world_, {500, 0, 0});
    Sim::AddLodestone(world_, {900, 0, 0});
    // On their way out: the tree still holds them, so the engine cannot have freed them yet.
    Sim::MarkPendingKill(Icon(0).icon);
    Sim::MarkPendingKill(Diamond(0).fill);
    Sim::SpawnCreature(world_, {.x = 300}, false, 1);
    Redraw();
    markerMod_->FullAiScan();
    markerMod_->UpdateAiMarkers();
    EXPECT_FALSE(Icon(0).shown);
    EXPECT_TRUE(Icon(1).shown);
    EXPECT_TRUE(Icon(2).shown) << "the entry kept for slot 0 went to the next slot";
    EXPECT_FALSE(Diamond(0).shown);
    EXPECT_TRUE(Diamond(1).shown);
}

TEST_F(Markers, AnotherPlayersPictureOnThePawnIsTheLocalPlayerEvenWithoutItsOwnStyle)
{
    Sim::RemoveStyle(Sim::MapIconType::LocalPlayer);
    StartMarkers();
    Sim::MapIconStyle players;
    ASSERT_TRUE(Sim::StyleOf(Sim::MapIconType::OtherPlayer, players));
    UObject* closeBy = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 60, .y = -60});
    UObject* away = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 150});
    Sim::AddMapIconComponent(closeBy, {.texture = players.texture});
    Sim::AddMapIconComponent(away, {.texture = players.texture});
    markerMod_->RebuildMapMarkers();
    ASSERT_EQ(Session().mapIcons.count, 1u);
    EXPECT_EQ(Session().mapIcons.entries[0].x, 150);
    EXPECT_EQ(Session().mapIcons.entries[0].category, Sim::MapIconType::OtherPlayer);
}

TEST_F(Markers, WithoutALivePawnEveryIconCollapses)
{
    StartMarkers();
    Sim::AddLodestone(world_, {500, 0, 0});
    Redraw();
    ASSERT_EQ(IconsShown(), 1u);
    Sim::DestroyActor(pawn_);
    markerMod_->UpdateMapIconMarkers();
    EXPECT_EQ(IconsShown(), 0u);
}

// ---- AI and NPC diamonds ----

// What the player needs most is drawn last, whatever order the list and the pools hold:
// resources and other places under the creatures' diamonds, quests over those, players over
// quests, the game's waypoint over players, the compass letters over every marker. The engine
// draws a canvas's children by their slots' z-order.
TEST_F(Markers, EachKindOfMarkerIsDrawnInItsLayerBottomUp)
{
    StartMarkers();
    Sim::SpawnCreature(world_, {.x = 400}, false, 1);
    UObject* giver = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 400});
    Sim::AddMapIconComponent(giver, {.category = L"QuestAvailable"});
    UObject* ore = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 400});
    Sim::AddMapIconComponent(ore, {.category = L"ResourceIron"});
    Sim::AddLodestone(world_, {400, 0, 0});
    Sim::AddRegistryPlayer(world_, {7, 7, 7, 7}, {400, 0, 0}, {0.2f, 0.4f, 1.0f, 1.0f});
    Sim::PlaceWaypoint(world_, {400, 0, 0});
    Frames(30);
    markerMod_->FullAiScan();
    markerMod_->UpdateAiMarkers();
    Redraw();

    auto zOrderOf = [](const UObject* slot) { return *static_cast<const std::int32_t*>(MemberAt(const_cast<UObject*>(slot), L"ZOrder").second); };
    std::map<std::uint8_t, std::int32_t> byCategory;
    for (const auto& slot : Session().markers.iconSlots)
    {
        if (VisibilityOf(slot.root) == kVisibilityShown)
        {
            byCategory[slot.category] = zOrderOf(slot.slot);
        }
    }
    ASSERT_TRUE(byCategory.contains(Sim::MapIconType::Lodestone));
    ASSERT_TRUE(byCategory.contains(Sim::MapIconType::FirstResource + 2)) << "iron";
    ASSERT_TRUE(byCategory.contains(15)) << "a quest to take";
    ASSERT_TRUE(byCategory.contains(Sim::MapIconType::OtherPlayer));
    ASSERT_TRUE(byCategory.contains(Sim::MapIconType::Waypoint));
    ASSERT_EQ(DiamondsShown(), 1u);
    const std::int32_t diamond = zOrderOf(Diamond(0).slot);
    const std::int32_t letters = zOrderOf(Session().widget.compass[0].slot);

    EXPECT_EQ(byCategory[Sim::MapIconType::Lodestone], byCategory[Sim::MapIconType::FirstResource + 2]);
    EXPECT_LT(byCategory[Sim::MapIconType::Lodestone], diamond);
    EXPECT_LT(diamond, byCategory[15]);
    EXPECT_LT(byCategory[15], byCategory[Sim::MapIconType::OtherPlayer]);
    EXPECT_LT(byCategory[Sim::MapIconType::OtherPlayer], byCategory[Sim::MapIconType::Waypoint]);
    EXPECT_LT(byCategory[Sim::MapIconType::Waypoint], letters);
    for (const auto& letter : Session().widget.compass)
    {
        EXPECT_EQ(zOrderOf(letter.slot), letters);
    }
}

TEST_F(Markers, DiamondsShowEachKindInItsColourAndScale)
{
    StartMarkers();
    Orv::Settings().AiIconScale = 2.0f;
    Orv::Settings().MarkerOpacity = 0.75f;
    UObject* boss = Sim::SpawnCreature(world_, {.x = 300}, true, 1);
    UObject* hostile = Sim::SpawnCreature(world_, {.x = 600}, false, 1);
    UObject* passive = Sim::SpawnCreature(world_, {.x = 900}, false, 2);
    UObject* npc = Sim::SpawnActor(world_, L"/Script/Umbrafel.InteractableNPC", {.x = 1200});
    ASSERT_NE(npc, nullptr);
    markerMod_->FullAiScan();
    markerMod_->UpdateAiMarkers();
    ASSERT_EQ(DiamondsShown(), 4u);
    struct Expected
    {
        UObject* actor;
        std::uint8_t kind;
        std::array<float, 4> fill;
        double scale;
    };
    const Expected expected[] = {{boss, 2, {0.88f, 0.38f, 1.0f, 0.75f}, 2 * 0.72f},
                                 {hostile, 1, {1.0f, 0.16f, 0.08f, 0.75f}, 2 * 0.58f},
                                 {passive, 0, {0.42f, 1.0f, 0.26f, 0.75f}, 2 * 0.48f},
                                 {npc, 0, {0.42f, 1.0f, 0.26f, 0.75f}, 2 * 0.48f}};
    for (std::size_t i = 0; i < std::size(expected); ++i)
    {
        // Slots follow the tracked list's order.
        const auto& tracked = Session().actors.trackedActors;
        const auto at = static_cast<std::size_t>(std::find(tracked.begin(), tracked.end(), expected[i].actor) - tracked.begin());
        ASSERT_LT(at, tracked.size());
        const auto& slot = Diamond(at);
        EXPECT_EQ(slot.kind, expected[i].kind) << i;
        EXPECT_EQ(ColourField(slot.fill, L"BrushColor"), expected[i].fill) << i;
        EXPECT_EQ(ColourField(slot.frame, L"BrushColor"), (std::array<float, 4>{0.01f, 0.006f, 0.003f, 0.75f}));
        EXPECT_FLOAT_EQ(static_cast<float>(RealMember(slot.frame, L"RenderTransform.Scale.X")), static_cast<float>(expected[i].scale));
        const Sim::Placement place = Sim::ActorPlacement(expected[i].actor);
        // 18-unit slots: centred on the projection, −9.
        EXPECT_NEAR(SlotRect(slot.slot).y, 136 - place.x * 0.034 - 9, 1e-3) << i;
    }
}

TEST_F(Markers, OnlySixtyFourDiamondsAndOnlyWithinTheFrame)
{
    StartMarkers();
    for (int i = 0; i < 70; ++i)
    {
        Sim::SpawnCreature(world_, {.x = 40.0 * (i + 1)}, false, 2);
    }
    UObject* distant = Sim::SpawnCreature(world_, {.y = 118.0 / 0.034 + 5}, false, 2);
    markerMod_->FullAiScan();
    ASSERT_GE(Session().actors.trackedActors.size(), 71u);
    markerMod_->UpdateAiMarkers();
    EXPECT_EQ(DiamondsShown(), 64u);
    Orv::Settings().ShowAi = false;
    markerMod_->UpdateAiMarkers();
    EXPECT_EQ(DiamondsShown(), 0u);
    Orv::Settings().ShowAi = true;
    Sim::SetActorPlacement(distant, {.y = 118.0 / 0.034 - 1});
    for (UObject* actor : std::vector<UObject*>(Session().actors.trackedActors))
    {
        if (actor != distant)
        {
            Sim::DestroyActor(actor);
        }
    }
    Frame();
    markerMod_->UpdateAiMarkers();
    EXPECT_EQ(DiamondsShown(), 1u) << "a diamond 118 units out is still on the round map";
}

TEST_F(Markers, AnActorOnItsWayOutIsQueuedOnceAndNeverDrawn)
{
    StartMarkers();
    UObject* creature = Sim::SpawnCreature(world_, {.x = 300}, false, 1);
    markerMod_->FullAiScan();
    Sim::BeginDestroy(creature);
    markerMod_->UpdateAiMarkers();
    markerMod_->UpdateAiMarkers();
    EXPECT_EQ(DiamondsShown(), 0u);
    const auto& pending = Session().actors.pendingEndPlay;
    EXPECT_EQ(std::count(pending.begin(), pending.end(), creature), 1);
}

TEST_F(Markers, WithSilentEventsMarkersStillComeAndGoThroughThePeriodicRefreshes)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    // Told nothing: no script hook fires, and the loader's settings leave its actor callbacks out.
    Sim::SetSilentEvents(true);
    Sim::RefuseLoaderCallbacks(true);
    StartMarkers();
    FramesFor(Orv::kSecond);
    UObject* creature = Sim::SpawnCreature(world_, {.x = 300}, false, 1);
    Sim::AddLodestone(world_, {0, 400, 0});
    Frame();
    EXPECT_EQ(DiamondsShown(), 0u) << "no event told of it";
    // The AI set is read every half second, the map listed anew every second.
    FramesFor(Orv::kSecond);
    EXPECT_EQ(DiamondsShown(), 1u);
    EXPECT_EQ(IconsShown(), 1u);
    Sim::DestroyActor(creature);
    FramesFor(Orv::kSecond / 5);
    EXPECT_EQ(DiamondsShown(), 0u);
    EXPECT_TRUE(Session().actors.trackedActors.empty());
    Sim::SetSilentEvents(false);
}

// The villager's blueprint implements its begin of play itself: no hook on the actor's event
// hears of one that arrives once the session runs, yet it has its diamond within half a second.
TEST_F(Markers, ALateVillagerWhoseBlueprintImplementsItsBeginPlayHasItsDiamondWithinHalfASecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartMarkers();
    RC::Unreal::UClass* villager = PlayingBlueprint(world_, L"BP_Villager", L"/Script/Umbrafel.InteractableNPC");
    FramesFor(Orv::kSecond);
    ASSERT_EQ(DiamondsShown(), 0u);
    Sim::SpawnActor(world_, villager, {.x = 400});
    FramesFor(Orv::kSecond / 2);
    EXPECT_EQ(DiamondsShown(), 1u);
}

// A level streamed into the world is the world's own: its creatures show as diamonds and the
// map icons of what stands in it as icons, as those of the persistent level do.
TEST_F(Markers, CreaturesAndIconsOfALevelStreamedIntoTheWorldShow)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartMarkers();
    RC::Unreal::UWorld* glade = Sim::StreamLevel(world_, L"Valley_Glade");
    ASSERT_NE(glade, nullptr);
    Sim::SpawnCreature(glade, {.x = 300}, false, 1);
    Sim::AddMapIconComponent(Sim::SpawnActor(glade, L"/Script/Engine.Actor", {.y = 500}), {.category = L"Lodestone"});
    FramesFor(Orv::kSecond + Orv::kSecond / 10);
    EXPECT_EQ(DiamondsShown(), 1u);
    EXPECT_EQ(IconsShown(), 1u);
}

// ---- The player's arrow ----

class Arrow : public Markers
{
  protected:
    float Angle() const { return static_cast<float>(RealMember(Widget().arrowImage, L"RenderTransform.Angle")); }
};

TEST_F(Arrow, StandingStillItPointsUpTheMapAndMovingItTurnsWithTheHeading)
{
    StartMarkers();
    EXPECT_EQ(*static_cast<UObject**>(MemberAt(Widget().arrowImage, L"Brush.ResourceObject").second),
              Sim::GameTexture(L"T_MapIcon_Arrow"));
    EXPECT_FLOAT_EQ(Angle(), 270.0f);
    // Moving to the map's right (the reference yaw is 0, so world +Y).
    Sim::SetActorVelocity(pawn_, 0, 300, 0);
    markerMod_->UpdatePlayerArrow();
    EXPECT_FLOAT_EQ(Angle(), 360.0f);
    // 181° from the reference is −179: the arrow turns the short way.
    const double radians = 181.0 * 3.14159265358979323846 / 180.0;
    Sim::SetActorVelocity(pawn_, 300 * std::cos(radians), 300 * std::sin(radians), 0);
    markerMod_->UpdatePlayerArrow();
    EXPECT_NEAR(Angle(), 91.0f, 1e-3);
    // Exactly 5 units a second is standing still.
    Sim::SetActorVelocity(pawn_, 3, 4, 0);
    markerMod_->UpdatePlayerArrow();
    EXPECT_FLOAT_EQ(Angle(), 270.0f);
}

TEST_F(Arrow, TheStylesRotationOffsetTurnsItAndTinyTurnsAreNotSent)
{
    Sim::MapIconStyle own;
    ASSERT_TRUE(Sim::StyleOf(Sim::MapIconType::LocalPlayer, own));
    own.rotationOffset = 90;
    own.tint = {1.0f, 0.9f, 0.2f, 1.0f};
    Sim::SetStyle(Sim::MapIconType::LocalPlayer, own);
    StartMarkers();
    EXPECT_FLOAT_EQ(Angle(), 360.0f);
    EXPECT_EQ(ColourField(Widget().arrowImage, L"ColorAndOpacity"), (std::array<float, 4>{1.0f, 0.9f, 0.2f, 1.0f}));
    CallCounter turns(L"/Script/UMG.Widget:SetRenderTransformAngle");
    const double tiny = 0.005 * 3.14159265358979323846 / 180.0;
    Sim::SetActorVelocity(pawn_, 300 * std::cos(tiny), 300 * std::sin(tiny), 0);
    markerMod_->UpdatePlayerArrow();
    EXPECT_EQ(turns.Count(), 0);
    const double small = 0.02 * 3.14159265358979323846 / 180.0;
    Sim::SetActorVelocity(pawn_, 300 * std::cos(small), 300 * std::sin(small), 0);
    markerMod_->UpdatePlayerArrow();
    EXPECT_EQ(turns.Count(), 1);
}

TEST_F(Arrow, WithoutALocalPlayerStyleTheArrowKeepsItsBuiltAngle)
{
    Sim::RemoveStyle(Sim::MapIconType::LocalPlayer);
    StartMarkers();
    Sim::SetActorVelocity(pawn_, 0, 300, 0);
    markerMod_->UpdatePlayerArrow();
    EXPECT_FLOAT_EQ(Angle(), 270.0f);
    EXPECT_EQ(Session().arrow.arrowTexture, nullptr);
}

// ---- The crowd ----

TEST_F(Markers, TheCrowdsSteadyFramesAllocateNothingAndResolveNoName)
{
#if !ORV_COUNTING_NEW
    GTEST_SKIP() << "the sanitizer owns operator new";
#endif
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartMarkers();
    for (int i = 0; i < 200; ++i)
    {
        const double angle = i * 0.7;
        Sim::SpawnCreature(world_, {.x = std::cos(angle) * (200 + i * 15), .y = std::sin(angle) * (200 + i * 15)}, i % 9 == 0,
                           static_cast<Sim::uint8>(i % 3));
    }
    UObject* post = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 50});
    for (int i = 0; i < 300; ++i)
    {
        Sim::AddMapIconComponent(post, {.category = L"Lodestone", .offset = {12.0 * i, 25.0 * (i % 7), 0}});
    }
    FramesFor(2 * Orv::kSecond);
    ASSERT_GT(Session().mapIcons.count, 96u);
    ASSERT_EQ(DiamondsShown(), 64u);
    ASSERT_EQ(IconsShown(), 96u);
    const Sim::HostCounters before = Sim::Counters();
    long allocations = 0;
    Sim::SetActorVelocity(pawn_, 100, 0, 0);
    // The mod's frames alone: the engine's own work between them may allocate as it likes.
    for (int frame = 0; frame < 150; ++frame)
    {
        Sim::SetActorPlacement(pawn_, {.x = frame * 2.0});
        Sim::AdvanceClock(kFrameNs);
        const long start = Allocations();
        mod_->OnTick();
        allocations += Allocations() - start;
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(Sim::Counters().NameFind, before.NameFind);
    EXPECT_EQ(Sim::Counters().FindObject, before.FindObject);
    EXPECT_EQ(Sim::Counters().PropertyWalks, before.PropertyWalks);
}
} // namespace
} // namespace OrvTest
