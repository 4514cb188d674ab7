// The icon pool as the engine sees it: which groups each switch lets through, the render scale
// each group's size rule gives, when a slot is dressed again and with which opacity, where slots
// go when their widgets died, when slots are shown and collapsed, and where the drawing stops.
#include "markers/MapDataFixture.hpp"

#include <Sim/Faults.hpp>
#include <Sim/Game.hpp>
#include <Unreal/UObjectArray.hpp>

#include <gtest/gtest.h>

#include <numbers>

namespace OrvTest
{
namespace
{
// The appearance calls one slot received, both images together.
struct Dressing
{
    std::uint64_t textures = 0, colours = 0, scales = 0, angles = 0;
    friend bool operator==(const Dressing&, const Dressing&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Dressing& d)
    {
        return out << "{textures " << d.textures << ", colours " << d.colours << ", scales " << d.scales << ", angles "
                   << d.angles << "}";
    }
};

constexpr Dressing kNone{};
constexpr Dressing kRedressed{0, 2, 2, 2};
constexpr Dressing kFull{2, 2, 2, 2};

class IconPool : public MapDataFixture
{
  protected:
    // A fixed request straight ahead of the pawn (world +X), x units away.
    void Ahead(double x, const Orv::IconStyle& style, UObject* component = nullptr) const
    {
        markers_->AddMapMarker({x, 0, 0.0}, style, component);
    }

    static std::vector<Spot> AheadAt(std::initializer_list<double> xs)
    {
        std::vector<Spot> spots;
        for (double x : xs)
        {
            spots.push_back({x, 0});
        }
        return spots;
    }

    static std::array<double, 2> ScaleSent(UObject* widget)
    {
        const Sim::RecordedCall call = Sim::LastCall(widget, L"SetRenderScale");
        return {call.Number(L"Scale.X"), call.Number(L"Scale.Y")};
    }

    static std::array<double, 4> ColourSent(UObject* widget)
    {
        const Sim::RecordedCall call = Sim::LastCall(widget, L"SetColorAndOpacity");
        return {call.Number(L"InColorAndOpacity.R"), call.Number(L"InColorAndOpacity.G"), call.Number(L"InColorAndOpacity.B"),
                call.Number(L"InColorAndOpacity.A")};
    }

    Dressing DressingOf(std::size_t index) const
    {
        Dressing d;
        for (UObject* image : {IconSlot(index).background, IconSlot(index).icon})
        {
            d.textures += Sim::CallCount(image, L"SetBrushFromTexture");
            d.colours += Sim::CallCount(image, L"SetColorAndOpacity");
            d.scales += Sim::CallCount(image, L"SetRenderScale");
            d.angles += Sim::CallCount(image, L"SetRenderTransformAngle");
        }
        return d;
    }

};

TEST_F(IconPool, EachGroupIsDrawnUnderItsOwnSwitchPlayersAlwaysAndTheArrowsTypeNever)
{
    StartMarkers();
    ClearList();
    // Each type at its own distance ahead; the group edges on both sides.
    const std::pair<std::uint8_t, double> types[] = {{1, 100},  {2, 200},   {10, 300},  {11, 400},  {16, 500},
                                                     {17, 600}, {22, 700},  {23, 800},  {49, 900},  {50, 1000},
                                                     {51, 1100}, {53, 1200}, {54, 1300}, {0, 1400}, {255, 1500}};
    for (const auto& [type, x] : types)
    {
        Ahead(x, StyleFor(type));
    }
    const auto without = [](std::initializer_list<double> hidden) {
        std::vector<Spot> spots;
        for (double x : {200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200, 1300, 1400, 1500})
        {
            if (std::find(hidden.begin(), hidden.end(), x) == hidden.end())
            {
                spots.push_back({static_cast<double>(x), 0});
            }
        }
        return spots;
    };
    EXPECT_EQ(DrawnSpots(), without({})) << "type 1 is the arrow's, never an icon";

    Orv::Settings().ShowQuests = false;
    EXPECT_EQ(DrawnSpots(), without({400, 500, 1100, 1200})) << "quests: 11 to 16 and 51 to 53";
    Orv::Settings().ShowQuests = true;
    Orv::Settings().ShowResources = false;
    EXPECT_EQ(DrawnSpots(), without({800, 900})) << "resources: 23 to 49";
    Orv::Settings().ShowResources = true;
    Orv::Settings().ShowPois = false;
    EXPECT_EQ(DrawnSpots(), without({300, 600, 700, 1000, 1300, 1400, 1500})) << "points of interest: the rest";
    Orv::Settings().ShowQuests = false;
    Orv::Settings().ShowResources = false;
    EXPECT_EQ(DrawnSpots(), AheadAt({200})) << "players whatever the switches";
}

TEST_F(IconPool, EachGroupScalesItsSizeByItsMultiplierWithinItsClampThenByThePointsOfInterestScale)
{
    StartMarkers();
    ClearList();
    Orv::Settings().PoiIconScale = 1.5f;
    struct Case
    {
        std::uint8_t type;
        float size;
        double scale; // of the icon; the backdrop is 12 % larger
    };
    const Case cases[] = {
        {2, 32, 1.0},     // players: × 1, and the points-of-interest scale does not apply
        {2, 48, 1.38},    // 1.5 clamped
        {2, 16, 0.65},    // 0.5 clamped
        {11, 32, 1.65},   // quests: 1.1, then × 1.5
        {53, 8, 0.975},   // 0.275 clamped to 0.65, then × 1.5
        {16, 64, 2.07},   // 2.2 clamped to 1.38, then × 1.5
        {23, 32, 2.775},  // resources: 1.85, then × 1.5
        {49, 16, 2.175},  // 0.925 clamped to 1.45
        {30, 64, 3.15},   // 3.7 clamped to 2.1
        {22, 32, 1.65},   // the points of interest either side of the resources: 1.1
        {50, 32, 1.65},
        {4, 64, 2.07},    // 2.2 clamped to 1.38
        {17, 16, 0.975},  // 0.55 clamped to 0.65
    };
    double x = 100;
    for (const Case& c : cases)
    {
        Ahead(x, StyleFor(c.type, c.size, 5.0f * static_cast<float>(x / 100)));
        x += 100;
    }
    ASSERT_EQ(DrawnSpots().size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
    {
        SCOPED_TRACE(testing::Message() << "type " << int{cases[i].type} << " size " << cases[i].size);
        const std::array<double, 2> icon = ScaleSent(IconSlot(i).icon);
        const std::array<double, 2> backdrop = ScaleSent(IconSlot(i).background);
        EXPECT_NEAR(icon[0], cases[i].scale, 1e-5);
        EXPECT_NEAR(icon[1], cases[i].scale, 1e-5);
        EXPECT_NEAR(backdrop[0], cases[i].scale * 1.12, 1e-5);
        EXPECT_NEAR(backdrop[1], cases[i].scale * 1.12, 1e-5);
        // Both images turned by the style's rotation.
        EXPECT_EQ(Sim::LastCall(IconSlot(i).icon, L"SetRenderTransformAngle").Number(L"Angle"), 5.0 * static_cast<double>(i + 1));
        EXPECT_EQ(Sim::LastCall(IconSlot(i).background, L"SetRenderTransformAngle").Number(L"Angle"), 5.0 * static_cast<double>(i + 1));
    }
}

TEST_F(IconPool, ASlotIsDressedAgainWhenAnyPartOfItsLookChangesAndReadsTheOpacityOnlyThen)
{
    StartMarkers();
    ClearList();
    const Orv::LinearColor tint{0.5f, 0.6f, 0.7f, 0.8f};
    Ahead(500, StyleFor(4, 32, 0, L"T_MapIcon_Lodestone", tint));
    ASSERT_EQ(DrawnSpots(), AheadAt({500}));
    EXPECT_EQ(Sim::LastCall(IconSlot(0).icon, L"SetBrushFromTexture").Object(L"Texture"), Sim::GameTexture(L"T_MapIcon_Lodestone"));
    EXPECT_EQ(Sim::LastCall(IconSlot(0).background, L"SetBrushFromTexture").Object(L"Texture"),
              Sim::GameTexture(L"T_MapIcon_Lodestone"));
    EXPECT_EQ(ColourSent(IconSlot(0).icon), (std::array<double, 4>{0.5f, 0.6f, 0.7f, 0.8f}));
    EXPECT_EQ(ColourSent(IconSlot(0).background), (std::array<double, 4>{0.015f, 0.01f, 0.006f, 0.92f})) << "a near-black outline";

    // Each field alone: the same picture, so no new texture, but colours, scales and angles again.
    const Orv::IconStyle changed[] = {
        StyleFor(6, 32, 0, L"T_MapIcon_Lodestone", tint),                        // category
        StyleFor(6, 33, 0, L"T_MapIcon_Lodestone", tint),                        // size
        StyleFor(6, 33, 10, L"T_MapIcon_Lodestone", tint),                       // rotation
        StyleFor(6, 33, 10, L"T_MapIcon_Lodestone", {0.4f, 0.6f, 0.7f, 0.8f}),   // red
        StyleFor(6, 33, 10, L"T_MapIcon_Lodestone", {0.4f, 0.5f, 0.7f, 0.8f}),   // green
        StyleFor(6, 33, 10, L"T_MapIcon_Lodestone", {0.4f, 0.5f, 0.6f, 0.8f}),   // blue
        StyleFor(6, 33, 10, L"T_MapIcon_Lodestone", {0.4f, 0.5f, 0.6f, 0.9f}),   // alpha
    };
    for (std::size_t i = 0; i < std::size(changed); ++i)
    {
        SCOPED_TRACE(i);
        ClearList();
        Ahead(500, changed[i]);
        Sim::ForgetCalls();
        ASSERT_EQ(DrawnSpots(), AheadAt({500}));
        EXPECT_EQ(DressingOf(0), kRedressed);
        Sim::ForgetCalls();
        DrawnSpots();
        EXPECT_EQ(DressingOf(0), kNone) << "unchanged: nothing is sent, not even the place";
        EXPECT_EQ(Sim::CallCount(IconSlot(0).slot, L"SetPosition"), 0u);
    }
    EXPECT_EQ(ColourField(IconSlot(0).icon, L"ColorAndOpacity"), (std::array<float, 4>{0.4f, 0.5f, 0.6f, 0.9f}));
    EXPECT_NEAR(RealMember(IconSlot(0).icon, L"RenderTransform.Scale.X"), 33 * 0.03125 * 1.1, 1e-5);
    EXPECT_EQ(RealMember(IconSlot(0).icon, L"RenderTransform.Angle"), 10);

    // A new opacity waits for the next change of look.
    Orv::Settings().MarkerOpacity = 0.5f;
    DrawnSpots();
    EXPECT_EQ(ColourField(IconSlot(0).icon, L"ColorAndOpacity")[3], 0.9f);
    EXPECT_EQ(ColourField(IconSlot(0).background, L"ColorAndOpacity")[3], 0.92f);
    ClearList();
    Ahead(500, StyleFor(6, 33, 11, L"T_MapIcon_Lodestone", {0.4f, 0.5f, 0.6f, 0.9f}));
    DrawnSpots();
    EXPECT_EQ(ColourField(IconSlot(0).icon, L"ColorAndOpacity"), (std::array<float, 4>{0.4f, 0.5f, 0.6f, 0.9f * 0.5f}));
    EXPECT_EQ(ColourField(IconSlot(0).background, L"ColorAndOpacity"), (std::array<float, 4>{0.015f, 0.01f, 0.006f, 0.92f * 0.5f}));

    // A new picture: both images take it, and the rest of the look is sent with it.
    ClearList();
    Ahead(500, StyleFor(6, 33, 11, L"T_MapIcon_Skull", {0.4f, 0.5f, 0.6f, 0.9f}));
    Sim::ForgetCalls();
    DrawnSpots();
    EXPECT_EQ(DressingOf(0), kFull);
    EXPECT_EQ(Sim::LastCall(IconSlot(0).background, L"SetBrushFromTexture").Object(L"Texture"), Sim::GameTexture(L"T_MapIcon_Skull"));
    EXPECT_EQ(Sim::LastCall(IconSlot(0).icon, L"SetBrushFromTexture").Object(L"Texture"), Sim::GameTexture(L"T_MapIcon_Skull"));
}

TEST_F(IconPool, AnEntryMovingIntoASlotThatLooksTheSameIsOnlyMoved)
{
    StartMarkers();
    ClearList();
    Ahead(500, StyleFor(4));
    Ahead(900, StyleFor(4));
    Ahead(1300, StyleFor(6));
    Sim::ForgetCalls();
    ASSERT_EQ(DrawnSpots(), AheadAt({500, 900, 1300}));
    EXPECT_EQ(Sim::CallCount(IconSlot(0).root, L"SetVisibility"), 1u);
    EXPECT_EQ(Sim::LastCall(IconSlot(0).root, L"SetVisibility").Number(L"InVisibility"), 3);
    EXPECT_EQ(Sim::CallCount(IconSlot(3).root, L"SetVisibility"), 0u) << "a slot never shown is not collapsed";

    // The first goes: each later entry moves up one slot.
    ClearList();
    Ahead(900, StyleFor(4));
    Ahead(1300, StyleFor(6));
    Sim::ForgetCalls();
    ASSERT_EQ(DrawnSpots(), AheadAt({900, 1300}));
    EXPECT_EQ(DressingOf(0), kNone) << "the same look was there";
    EXPECT_EQ(DressingOf(1), kRedressed) << "type 6 where type 4 was";
    EXPECT_EQ(Sim::CallCount(IconSlot(0).root, L"SetVisibility"), 0u) << "shown already";
    EXPECT_EQ(Sim::CallCount(IconSlot(2).root, L"SetVisibility"), 1u);
    EXPECT_EQ(Sim::LastCall(IconSlot(2).root, L"SetVisibility").Number(L"InVisibility"), 1);
    EXPECT_EQ(Sim::CallCount(IconSlot(3).root, L"SetVisibility"), 0u);
    Sim::ForgetCalls();
    DrawnSpots();
    EXPECT_EQ(Sim::CallCount(IconSlot(2).root, L"SetVisibility"), 0u) << "collapsed once";
}

TEST_F(IconPool, ASlotWithADeadRootOrBackdropIsPassedOverAndItsEntryTakesTheNext)
{
    StartMarkers();
    ClearList();
    // On their way out, as a tree still held by the viewport can be.
    Sim::MarkPendingKill(IconSlot(0).root);
    Sim::MarkPendingKill(IconSlot(1).background);
    Ahead(500, StyleFor(4));
    Ahead(900, StyleFor(4));
    Sim::ForgetCalls();
    markers_->UpdateMapIconMarkers();
    for (std::size_t dead : {0u, 1u})
    {
        EXPECT_EQ(Sim::CallCount(IconSlot(dead).slot, L"SetPosition"), 0u) << dead;
        EXPECT_EQ(Sim::CallCount(IconSlot(dead).root, L"SetVisibility"), 0u) << dead;
        EXPECT_EQ(DressingOf(dead), kNone) << dead;
    }
    // 500 ahead: 126 − 17; 900 ahead: 126 − 30.6.
    EXPECT_NEAR(Sim::LastCall(IconSlot(2).slot, L"SetPosition").Number(L"InPosition.Y"), 109, 1e-4);
    EXPECT_NEAR(Sim::LastCall(IconSlot(3).slot, L"SetPosition").Number(L"InPosition.Y"), 95.4, 1e-4);
    EXPECT_EQ(Sim::LastCall(IconSlot(3).slot, L"SetPosition").Number(L"InPosition.X"), 126);
    EXPECT_EQ(VisibilityOf(IconSlot(3).root), 3);
}

TEST_F(IconPool, TheMapTurnsByTheCamerasYawOnlyOnceItsSmoothingHasStarted)
{
    StartMarkers();
    ClearList();
    Ahead(1000, StyleFor(4));
    auto& camera = markers_->MutableSession().camera;
    camera.cameraYaw = 90;
    camera.yawSmoothingStarted = true;
    // Facing world +Y, world +X lies to the left.
    EXPECT_EQ(DrawnSpots(), (std::vector<Spot>{{0, -1000}})) << "as an unturned map would place (0, −1000)";
    EXPECT_NEAR(Sim::LastCall(IconSlot(0).slot, L"SetPosition").Number(L"InPosition.X"), 126 - 34, 1e-4);
    camera.yawSmoothingStarted = false;
    EXPECT_EQ(DrawnSpots(), AheadAt({1000})) << "the map stays unturned until then";
}

TEST_F(IconPool, AfterNinetySixIconsTheRestAreNeitherLocatedNorDrawn)
{
    StartMarkers();
    ClearList();
    UObject* post = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 50});
    UObject* last = Sim::AddMapIconComponent(post, {.category = L"Lodestone"});
    for (int i = 0; i < 95; ++i)
    {
        Ahead(20.0 * (i + 1), StyleFor(4));
    }
    Ahead(3000, StyleFor(4), last);
    Sim::ForgetCalls();
    std::vector<Spot> drawn = DrawnSpots();
    ASSERT_EQ(drawn.size(), 96u);
    EXPECT_EQ(drawn.back(), (Spot{50, 0})) << "the 96th follows its component";
    EXPECT_EQ(Sim::CallCount(last, L"K2_GetComponentLocation"), 1u);

    ClearList();
    for (int i = 0; i < 96; ++i)
    {
        Ahead(20.0 * (i + 1), StyleFor(4));
    }
    Ahead(3000, StyleFor(4), last);
    Sim::ForgetCalls();
    drawn = DrawnSpots();
    ASSERT_EQ(drawn.size(), 96u);
    EXPECT_EQ(drawn.back(), (Spot{1920, 0}));
    EXPECT_EQ(Sim::CallCount(last, L"K2_GetComponentLocation"), 0u);
    EXPECT_EQ(Sim::CallCount(L"SetVisibility"), 0u) << "every slot stays as it was";
}

TEST_F(IconPool, AnEntryWhoseComponentCannotBeLocatedWaitsWhileOneWhosePictureDiedGoes)
{
    ORV_SKIP_IF_SANITIZED();
    StartMarkers();
    ClearList();
    UObject* post = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = 700});
    UObject* icon = Sim::AddMapIconComponent(post, {.category = L"Lodestone"});
    Ahead(0, StyleFor(4), icon);
    Ahead(300, StyleFor(4));
    UFunction* locate = Sim::FindFunctionByPath(L"/Script/Engine.SceneComponent:K2_GetComponentLocation");
    ASSERT_NE(locate, nullptr);
    Sim::MakeFunctionFault(locate, Sim::FaultKind::NullWrite);
    EXPECT_EQ(DrawnSpots(), AheadAt({300})) << "skipped: the slot goes to the next";
    Sim::MakeFunctionFault(locate, Sim::FaultKind::None);
    EXPECT_EQ(DrawnSpots(), AheadAt({700, 300})) << "kept for the next update";

    // A picture on its way out is no Texture2D any more: the entry leaves the list for good.
    UObject* picture = Sim::GameTexture(L"T_MapIcon_Lodestone");
    auto* item = picture->GetObjectItem();
    const auto flags = item->Flags;
    item->Flags = flags | static_cast<RC::Unreal::int32>(RC::Unreal::EInternalObjectFlags::PendingKill);
    EXPECT_TRUE(DrawnSpots().empty());
    item->Flags = flags;
    EXPECT_TRUE(DrawnSpots().empty()) << "not drawn again once the picture is back";
}

TEST_F(IconPool, AComponentOfAnotherWorldIsNeverLocatedOrDrawn)
{
    StartMarkers();
    ClearList();
    UWorld* elsewhere = Sim::CreateWorld(L"Elsewhere");
    UObject* post = Sim::SpawnActor(elsewhere, L"/Script/Engine.Actor", {.x = 300});
    UObject* foreign = Sim::AddMapIconComponent(post, {.category = L"Lodestone"});
    Ahead(0, StyleFor(4), foreign);
    Ahead(600, StyleFor(4));
    Sim::ForgetCalls();
    EXPECT_EQ(DrawnSpots(), AheadAt({600}));
    EXPECT_EQ(DrawnSpots(), AheadAt({600}));
    EXPECT_EQ(Sim::CallCount(foreign, L"K2_GetComponentLocation"), 0u);
}

TEST_F(IconPool, AMarkerOnTheFramesEdgeIsDrawnInRoundAndSquareFrames)
{
    Orv::Hud().MarkersToRim = false;
    StartMarkers();
    ClearList();
    // S 264 and Z 8192: L 256, half 128, k 1/32 exactly; icons keep 20 from the edge (radius 108)
    // and diamonds 18 (radius 110).
    widgetMod_->workingSize = 264;
    widgetMod_->workingZoom = 8192;
    markers_->AddMapMarker({108 * 32, 0, 0.0}, StyleFor(4), nullptr);                               // ahead, on the edge
    markers_->AddMapMarker({108 * 32 + 1, 0, 0.0}, StyleFor(6, 32, 0, L"T_MapIcon_Skull"), nullptr); // a unit past it
    markers_->AddMapMarker({0, -108 * 32, 0.0}, StyleFor(7), nullptr);                              // left, on the edge
    markers_->AddMapMarker({108 * 32, 108 * 32, 0.0}, StyleFor(9), nullptr);                        // the corner
    Sim::SpawnCreature(world_, {.y = 110 * 32}, false, 2);
    Sim::SpawnCreature(world_, {.y = -110 * 32 - 1}, false, 2);
    markers_->FullAiScan();
    const auto place = [](UObject* slot) {
        const Sim::RecordedCall call = Sim::LastCall(slot, L"SetPosition");
        return std::array<double, 2>{call.Number(L"InPosition.X"), call.Number(L"InPosition.Y")};
    };
    markers_->UpdateMapIconMarkers();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(VisibilityOf(IconSlot(0).root), 3);
    EXPECT_EQ(place(IconSlot(0).slot), (std::array<double, 2>{118, 10}));
    EXPECT_EQ(VisibilityOf(IconSlot(1).root), 3);
    EXPECT_EQ(place(IconSlot(1).slot), (std::array<double, 2>{10, 118}));
    EXPECT_NE(VisibilityOf(IconSlot(2).root), 3) << "a unit past the edge, and the round frame's corner";
    EXPECT_EQ(VisibilityOf(DiamondSlot(0).root), 3);
    EXPECT_EQ(place(DiamondSlot(0).slot), (std::array<double, 2>{229, 119}));
    EXPECT_NE(VisibilityOf(DiamondSlot(1).root), 3);

    widgetMod_->workingCircular = false;
    markers_->UpdateMapIconMarkers();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(place(IconSlot(1).slot), (std::array<double, 2>{10, 118}));
    EXPECT_EQ(VisibilityOf(IconSlot(2).root), 3) << "the square frame reaches its corners";
    EXPECT_EQ(place(IconSlot(2).slot), (std::array<double, 2>{226, 10}));
    EXPECT_NE(VisibilityOf(IconSlot(3).root), 3);
    EXPECT_EQ(VisibilityOf(DiamondSlot(0).root), 3);
    EXPECT_NE(VisibilityOf(DiamondSlot(1).root), 3);
}

// Up to the rim: a marker shows while its whole body fits inside the picture, whatever its size:
// an icon's backdrop (its half side, 10 units, at the icon's scale and 12 % more) and a diamond's
// turned square (its half diagonal, 9 √2, at its kind's scale).
TEST_F(IconPool, UpToTheRimAMarkerShowsWhileItsWholeBodyFitsInside)
{
    StartMarkers();
    ClearList();
    // S 264 and Z 8192: half 128, k 1/32 exactly.
    widgetMod_->workingSize = 264;
    widgetMod_->workingZoom = 8192;
    const double small = 10.0 * static_cast<double>(Orv::IconScale(16.0f, Orv::IconGroup::Pois, 1.0f) * 1.12f);
    const double large = 10.0 * static_cast<double>(Orv::IconScale(64.0f, Orv::IconGroup::Pois, 1.0f) * 1.12f);
    ASSERT_LT(small, large);
    markers_->AddMapMarker({(128 - small) * 32 - 1, 0, 0.0}, StyleFor(4, 16.0f), nullptr);             // fits, ahead
    markers_->AddMapMarker({0, -((128 - large) * 32 - 1), 0.0}, StyleFor(6, 64.0f), nullptr);          // fits, left
    markers_->AddMapMarker({-((128 - small) * 32 + 1), 0, 0.0}, StyleFor(7, 16.0f), nullptr);          // a unit too far, behind
    markers_->AddMapMarker({0, (128 - large) * 32 + 1, 0.0}, StyleFor(9, 64.0f), nullptr);             // a unit too far, right
    const double passive = 9.0 * std::numbers::sqrt2 * 0.48;
    Sim::SpawnCreature(world_, {.y = (128 - passive) * 32 - 1}, false, 2);
    Sim::SpawnCreature(world_, {.y = -((128 - passive) * 32 + 1)}, false, 2);
    markers_->FullAiScan();
    markers_->UpdateMapIconMarkers();
    markers_->UpdateAiMarkers();
    EXPECT_EQ(VisibilityOf(IconSlot(0).root), 3);
    EXPECT_EQ(VisibilityOf(IconSlot(1).root), 3);
    EXPECT_NE(VisibilityOf(IconSlot(2).root), 3);
    EXPECT_EQ(VisibilityOf(DiamondSlot(0).root), 3);
    EXPECT_NE(VisibilityOf(DiamondSlot(1).root), 3);
    EXPECT_GT(128 - small, 108.0) << "further out than the fixed margin of 20 allows";

    widgetMod_->workingCircular = false;
    markers_->UpdateMapIconMarkers();
    EXPECT_EQ(VisibilityOf(IconSlot(1).root), 3);
    EXPECT_NE(VisibilityOf(IconSlot(2).root), 3);
}
} // namespace
} // namespace OrvTest
