// Markers at the map's edge and on other floors, as the engine's widgets show them: the game's
// waypoint and other players pinned to the rim beyond the edge, smaller, fainter and above the
// markers, the waypoint's distance beside its pin; markers far above or below the player
// dimmed, shown or left out by the setting.
#include "markers/MapDataFixture.hpp"

#include <Sim/Game.hpp>
#include <Sim/Screen.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace OrvTest
{
namespace
{
using Orv::kVisibilityShown;

constexpr std::uint8_t kPlayer = 2;
constexpr std::uint8_t kWaypoint = 10;
constexpr std::uint8_t kLodestone = 4;
constexpr std::uint8_t kOre = 25;

struct Centre
{
    double right = 0, down = 0; // from the picture's middle, layout units
};

class EdgePinsDrawn : public MapDataFixture
{
  protected:
    // S 264 and Z 8192: half 128, 1/32 of a layout unit per world unit; the pawn at the origin
    // facing world +X, so +X is up the map and +Y right.
    void StartSmallMap()
    {
        StartMarkers();
        ClearList();
        widgetMod_->workingSize = 264;
        widgetMod_->workingZoom = 8192;
    }

    void Add(double x, double y, std::uint8_t category, double z = 0.0) const
    {
        markers_->AddMapMarker({x, y, z}, StyleFor(category), nullptr);
    }

    // The slot's centre as its offsets put it, from the picture's middle (10-unit half slots).
    // Offsets are floats on some engines: places compare to a ten-thousandth.
    static Centre CentreOf(const Orv::IconMarkerSlot& slot)
    {
        const Rect at = SlotRect(slot.slot);
        return {at.x + 10.0 - 128.0, at.y + 10.0 - 128.0};
    }

    // The first shown slot of the type, or null.
    const Orv::IconMarkerSlot* Shown(std::uint8_t category) const
    {
        for (const Orv::IconMarkerSlot& slot : Session().markers.iconSlots)
        {
            if (VisibilityOf(slot.root) == kVisibilityShown && slot.category == category)
            {
                return &slot;
            }
        }
        return nullptr;
    }

    static std::int32_t ZOrderOf(UObject* slot) { return *static_cast<const std::int32_t*>(MemberAt(slot, L"ZOrder").second); }

    static double ScaleOf(UObject* image) { return Sim::LastCall(image, L"SetRenderScale").Number(L"Scale.X"); }

    static double AlphaOf(UObject* image) { return Sim::LastCall(image, L"SetColorAndOpacity").Number(L"InColorAndOpacity.A"); }

    const Orv::DistanceLabel& Distance() const { return Session().markers.waypointDistance; }
};

TEST_F(EdgePinsDrawn, BeyondTheEdgeTheWaypointAndOtherPlayersStayOnTheRimSmallerFainterAndAboveTheMarkers)
{
    StartSmallMap();
    Add(-20000, 0, kPlayer);      // far behind: down the map
    Add(6400, 6400, kWaypoint);   // ahead and right, on the diagonal
    Add(10000, 0, kOre);          // beyond the edge too, but no pin
    Add(0, -10000, kLodestone);   // and this one
    Add(0, 1000, kLodestone);     // on the map
    markers_->UpdateMapIconMarkers();

    const Orv::IconMarkerSlot* player = Shown(kPlayer);
    const Orv::IconMarkerSlot* waypoint = Shown(kWaypoint);
    ASSERT_NE(player, nullptr);
    ASSERT_NE(waypoint, nullptr);
    EXPECT_EQ(Shown(kOre), nullptr);
    const Orv::IconMarkerSlot* onMap = Shown(kLodestone);
    ASSERT_NE(onMap, nullptr);
    EXPECT_NEAR(CentreOf(*onMap).right, 1000.0 / 32, 1e-9) << "only the lodestone on the map is drawn";

    // A pin's body reaches its backdrop's half side: 10 × its icon scale × 1.12 × 0.75.
    const double playerScale = static_cast<double>(Orv::IconScale(32, Orv::IconGroup::Players, 1.0f)) * 0.75;
    const double playerReach = 10.0 * playerScale * 1.12;
    EXPECT_NEAR(CentreOf(*player).right, 0.0, 1e-9);
    EXPECT_NEAR(CentreOf(*player).down, 128.0 - playerReach, 1e-4);
    const double waypointScale = static_cast<double>(Orv::IconScale(32, Orv::IconGroup::Pois, 1.0f)) * 0.75;
    const double waypointReach = 10.0 * waypointScale * 1.12;
    const double along = (128.0 - waypointReach) / std::numbers::sqrt2;
    EXPECT_NEAR(CentreOf(*waypoint).right, along, 1e-4);
    EXPECT_NEAR(CentreOf(*waypoint).down, -along, 1e-4);

    // Smaller and fainter than on the map.
    EXPECT_NEAR(ScaleOf(player->icon), playerScale, 1e-6);
    EXPECT_NEAR(ScaleOf(player->background), playerScale * 1.12, 1e-6);
    EXPECT_NEAR(ScaleOf(waypoint->icon), waypointScale, 1e-6);
    EXPECT_NEAR(AlphaOf(waypoint->icon), 0.6, 1e-6);
    EXPECT_NEAR(AlphaOf(waypoint->background), 0.92 * 0.6, 1e-6);
    EXPECT_NEAR(AlphaOf(onMap->icon), 1.0, 1e-6);

    // Above every marker on the map, below the compass letters.
    const std::int32_t letters = ZOrderOf(Session().widget.compass[0].slot);
    EXPECT_GT(ZOrderOf(player->slot), 4) << "above the waypoint's own layer";
    EXPECT_EQ(ZOrderOf(waypoint->slot), ZOrderOf(player->slot));
    EXPECT_LT(ZOrderOf(player->slot), letters);

    // The square frame pins to the edge the direction points at, corners included.
    widgetMod_->workingCircular = false;
    markers_->UpdateMapIconMarkers();
    EXPECT_NEAR(CentreOf(*Shown(kWaypoint)).right, 128.0 - waypointReach, 1e-4);
    EXPECT_NEAR(CentreOf(*Shown(kWaypoint)).down, -(128.0 - waypointReach), 1e-4);

    // Off, neither is drawn beyond the edge.
    Orv::Hud().EdgePins = false;
    markers_->UpdateMapIconMarkers();
    EXPECT_EQ(Shown(kPlayer), nullptr);
    EXPECT_EQ(Shown(kWaypoint), nullptr);
    EXPECT_NE(Shown(kLodestone), nullptr);
}

TEST_F(EdgePinsDrawn, APinnedMarkerBackOnTheMapTakesItsFullSizeOpacityAndLayer)
{
    StartSmallMap();
    Add(-20000, 0, kPlayer);
    markers_->UpdateMapIconMarkers();
    const Orv::IconMarkerSlot& slot = *Shown(kPlayer);
    const std::int32_t pinnedLayer = ZOrderOf(slot.slot);
    ClearList();
    Add(-2000, 0, kPlayer);
    markers_->UpdateMapIconMarkers();
    ASSERT_EQ(Shown(kPlayer), &slot);
    EXPECT_NEAR(CentreOf(slot).down, 2000.0 / 32, 1e-9);
    EXPECT_NEAR(ScaleOf(slot.icon), static_cast<double>(Orv::IconScale(32, Orv::IconGroup::Players, 1.0f)), 1e-6);
    EXPECT_NEAR(AlphaOf(slot.icon), 1.0, 1e-6);
    EXPECT_LT(ZOrderOf(slot.slot), pinnedLayer);
}

TEST_F(EdgePinsDrawn, TheWaypointsDistanceShowsInWholeMetresBesideItsPinTowardsTheMiddle)
{
    StartSmallMap();
    const double z = Sim::ActorPlacement(pawn_).z;
    Add(0, 30049, kWaypoint, z); // right of the pawn, 300.49 m away
    markers_->UpdateMapIconMarkers();
    const Orv::DistanceLabel& label = Distance();
    ASSERT_EQ(VisibilityOf(label.backdrop), kVisibilityShown);
    EXPECT_EQ(TextOf(label.text), L"300 m");

    // Left of the pin, level with it, and wholly inside the picture.
    const Orv::IconMarkerSlot& pin = *Shown(kWaypoint);
    const double pinReach = 10.0 * static_cast<double>(Orv::IconScale(32, Orv::IconGroup::Pois, 1.0f)) * 0.75 * 1.12;
    const Rect box = SlotRect(label.slot);
    const Centre pinAt = CentreOf(pin);
    EXPECT_NEAR(box.x + box.width, 128.0 + pinAt.right - pinReach - 2.0, 1e-4);
    EXPECT_NEAR(box.y + box.height / 2, 128.0 + pinAt.down, 1e-4);
    EXPECT_GT(box.x, 0.0);
    EXPECT_GT(box.width, 20.0);
    // The engine measures the text inside its box.
    if (Sim::ScreenDrawsText())
    {
        Sim::LayOutScreen();
        const Sim::WidgetPlacement text = Sim::PlacementOf(label.text);
        EXPECT_LE(text.desiredWidth, box.width + 1e-9);
        EXPECT_LE(text.desiredHeight, box.height + 1e-9);
        EXPECT_GE(RealMember(label.text, L"Font.Size") * 4.0 / 3.0, 9.0);
    }

    // Counted in three dimensions, rounded to the nearest metre; hidden once the pin goes.
    FramesFor(Orv::kSecond / 5);
    ClearList();
    Add(0, 30000, kWaypoint, z + 4051); // 302.72 m
    markers_->UpdateMapIconMarkers();
    EXPECT_EQ(TextOf(label.text), L"303 m");
    ClearList();
    Add(0, 1000, kWaypoint, z);
    markers_->UpdateMapIconMarkers();
    EXPECT_NE(VisibilityOf(label.backdrop), kVisibilityShown) << "on the map, the waypoint has no distance";
    ClearList();
    Add(0, 30000, kWaypoint, z);
    Orv::Hud().EdgePins = false;
    markers_->UpdateMapIconMarkers();
    EXPECT_NE(VisibilityOf(label.backdrop), kVisibilityShown);
}

TEST_F(EdgePinsDrawn, TheDistanceTextChangesAtMostTenTimesASecondAndOnlyWithItsNumber)
{
    StartMarkers();
    const Sim::Placement start = Sim::ActorPlacement(pawn_);
    Sim::PlaceWaypoint(world_, {start.x, start.y + 60000, start.z});
    FramesFor(Orv::kSecond + kFrameNs);
    const Orv::DistanceLabel& label = Distance();
    ASSERT_EQ(VisibilityOf(label.backdrop), kVisibilityShown);
    EXPECT_EQ(TextOf(label.text), L"600 m");

    // Standing still: no text is sent.
    Sim::ForgetCalls();
    FramesFor(Orv::kSecond / 2);
    EXPECT_EQ(Sim::CallCount(label.text, L"SetText"), 0u);

    // Walking 1 m a frame away from it for a second: ten changes at most.
    Sim::Placement at = start;
    for (int frame = 0; frame < 60; ++frame)
    {
        at.y -= 100;
        Sim::SetActorPlacement(pawn_, at);
        Frame();
    }
    const std::uint64_t changes = Sim::CallCount(label.text, L"SetText");
    EXPECT_GE(changes, 9u);
    EXPECT_LE(changes, 10u);
    FramesFor(Orv::kSecond / 5);
    EXPECT_EQ(TextOf(label.text), L"660 m");
}

class OtherFloorMarkers : public EdgePinsDrawn
{
};

TEST_F(OtherFloorMarkers, MarkersMoreThanFourHundredUnitsAboveOrBelowAreDimmedShownOrLeftOut)
{
    StartSmallMap();
    const double z = Sim::ActorPlacement(pawn_).z;
    Add(1000, 0, kLodestone, z + 400);    // the same floor
    Add(2000, 0, kLodestone, z - 401);    // the floor below
    Add(3000, 0, kLodestone, z + 2500);   // far above
    Add(-20000, 0, kPlayer, z - 2500);    // pinned, and underground
    Sim::SpawnCreature(world_, {.x = 1500, .z = z - 2500}, true, 2);
    Sim::SpawnCreature(world_, {.x = -1500, .z = z + 300}, true, 2);
    markers_->FullAiScan();

    const auto alphas = [&] {
        markers_->UpdateMapIconMarkers();
        markers_->UpdateAiMarkers();
        std::vector<double> seen;
        for (std::size_t i = 0; i < 4; ++i)
        {
            seen.push_back(VisibilityOf(IconSlot(i).root) == kVisibilityShown ? AlphaOf(IconSlot(i).icon) : -1.0);
        }
        for (std::size_t i = 0; i < 2; ++i)
        {
            seen.push_back(VisibilityOf(DiamondSlot(i).root) == kVisibilityShown
                               ? Sim::LastCall(DiamondSlot(i).fill, L"SetBrushColor").Number(L"InBrushColor.A")
                               : -1.0);
        }
        return seen;
    };
    const auto expectAlphas = [&](std::vector<double> expected, const char* what) {
        const std::vector<double> seen = alphas();
        ASSERT_EQ(seen.size(), expected.size());
        for (std::size_t i = 0; i < seen.size(); ++i)
        {
            EXPECT_NEAR(seen[i], expected[i], 1e-6) << what << ", marker " << i;
        }
    };
    // Dim by default: half the opacity, on top of the pin's.
    expectAlphas({1.0, 0.5, 0.5, 0.3, 0.5, 1.0}, "dim");
    EXPECT_NEAR(Sim::LastCall(DiamondSlot(0).frame, L"SetBrushColor").Number(L"InBrushColor.A"), 0.5, 1e-6);
    Orv::Hud().OtherFloors = Orv::OtherFloorsMode::Show;
    expectAlphas({1.0, 1.0, 1.0, 0.6, 1.0, 1.0}, "show");
    // Left out, the next markers move up into the freed slots.
    Orv::Hud().OtherFloors = Orv::OtherFloorsMode::Hide;
    expectAlphas({1.0, -1.0, -1.0, -1.0, 1.0, -1.0}, "hide");
    EXPECT_NEAR(CentreOf(IconSlot(0)).down, -1000.0 / 32, 1e-9);
    EXPECT_NEAR(Sim::LastCall(DiamondSlot(0).slot, L"SetPosition").Number(L"InPosition.Y"), 128.0 + 1500.0 / 32 - 9.0, 1e-6)
        << "the creature of the player's floor";
}
} // namespace
} // namespace OrvTest
