// Indoors and underground: the game's shelter score decides whether the player is indoors, a
// roof trace lowers the camera to just below the ceiling (the highest low ceiling over a grid
// of columns in a dungeon), traces are repeated only after enough movement, and going down or
// coming up switches the zoom, the level of detail and the exposure.
#include "CaptureFixture.hpp"

#include <Sim/Faults.hpp>

#include <cmath>
#include <set>
#include <utility>

namespace
{
using namespace OrvTest;
using Orv::kSecond;

constexpr double kStand = 90.0; // the pawn's centre above what it stands on
constexpr Orv::Nanoseconds kDetectionDue = kSecond / 5;
constexpr const wchar_t* kTrace = L"/Script/Engine.KismetSystemLibrary:LineTraceSingleByProfile";

class IndoorDetection : public CaptureFixture
{
  protected:
    void SetUp() override
    {
        ORV_SKIP_WITHOUT_ENGINE_CLOCK();
        CaptureFixture::SetUp();
    }

    // The player in the middle of a wide house whose roof is roofAbove over the pawn's centre,
    // and time for the engine to score the shelter and the camera to trace the roof.
    void StartInHouse(double roofAbove)
    {
        StartSession({.z = kStand});
        Sim::AddBuilding(world_, {.footprint = {-1500, -1500, 1500, 1500}, .roofZ = kStand + roofAbove});
        FramesFor(kSecond / 2);
    }

    // The next detection, made due first.
    void Detect() const
    {
        Sim::AdvanceClock(kDetectionDue);
        capture_->DetectIndoors();
    }

    double TargetHeight() const { return Session().camera.targetHeight; }
};

struct Roof
{
    double above;  // over the pawn's centre
    double target; // the camera's height above the pawn
};

class UnderARoof : public IndoorDetection, public ::testing::WithParamInterface<Roof>
{
};

TEST_P(UnderARoof, TheCameraStopsTheOffsetBelowItOrAtTheFallbackHeightWithoutOne)
{
    StartInHouse(GetParam().above);
    Detect();
    EXPECT_TRUE(Session().indoor.indoors);
    EXPECT_EQ(TargetHeight(), GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(Heights, UnderARoof,
                         ::testing::Values(Roof{300.0, 260.0},   // 40 below the roof
                                           Roof{120.0, 100.0},   // never closer than 100 to the pawn
                                           Roof{2500.0, 350.0}), // beyond the trace's reach
                         [](const auto& roof) { return "Roof" + std::to_string(static_cast<int>(roof.param.above)); });

TEST_F(IndoorDetection, ARoofTraceThatFaultsFindsNoRoof)
{
    ORV_SKIP_IF_SANITIZED();
    StartInHouse(300.0);
    Sim::MakeFunctionFault(Sim::FindFunctionByPath(kTrace), Sim::FaultKind::NullWrite);
    MovePawn(300.0, 0.0, kStand);
    Detect();
    EXPECT_TRUE(Session().indoor.indoors);
    EXPECT_FALSE(Session().indoor.roofFound);
    EXPECT_EQ(TargetHeight(), 350.0);
}

TEST_F(IndoorDetection, AShelterScoreAtTheThresholdCountsAsIndoors)
{
    StartInHouse(300.0);
    // Close to a wall the ring the game scores around the pawn reaches out from under the roof.
    MovePawn(1410.0, 0.0, kStand);
    Frame();
    const float score = Sim::ShelterScore(world_, 1410.0, 0.0, kStand);
    ASSERT_GT(score, 0.0f);
    ASSERT_LT(score, 1.0f);

    Orv::Settings().IndoorShelterThreshold = score;
    Detect();
    EXPECT_TRUE(Session().indoor.indoors);
    EXPECT_EQ(TargetHeight(), 260.0);

    Orv::Settings().IndoorShelterThreshold = std::nextafter(score, 1.0f);
    Detect();
    EXPECT_FALSE(Session().indoor.indoors);
    EXPECT_EQ(TargetHeight(), 8000.0);
    EXPECT_FALSE(Session().indoor.roofTraceDone) << "the next time indoors traces afresh";
}

TEST_F(IndoorDetection, TheRoofIsTracedAgainOnlyAfterTheIntervalAndTwoHundredUnitsOrSeventyFiveUp)
{
    StartInHouse(600.0);
    CallCounter traces(kTrace);
    Detect();
    EXPECT_EQ(traces.Count(), 0) << "the frame's detection traced from here already";

    MovePawn(150.0, 0.0, kStand);
    Detect();
    EXPECT_EQ(traces.Count(), 0);
    MovePawn(120.0, 160.0, kStand); // 200 from where the roof was traced
    Sim::AdvanceClock(kSecond / 10);
    capture_->DetectIndoors();
    EXPECT_EQ(traces.Count(), 0) << "a tenth of a second is within the check interval";
    Sim::AdvanceClock(kSecond * 6 / 100);
    capture_->DetectIndoors();
    EXPECT_EQ(traces.Count(), 1);

    MovePawn(120.0, 160.0, kStand + 74.0);
    Detect();
    EXPECT_EQ(traces.Count(), 1);
    MovePawn(120.0, 160.0, kStand + 75.0);
    Detect();
    EXPECT_EQ(traces.Count(), 2);
    EXPECT_EQ(TargetHeight(), 600.0 - 75.0 - 40.0) << "measured from where the pawn is now";
}

// Turning the indoor camera off and on again forgets the roof: the next camera update traces
// it afresh where the player stands and the camera goes back under it.
TEST_F(IndoorDetection, AResetTracesTheRoofAgainAtOnceWhereThePlayerStands)
{
    Orv::Settings().IndoorTransitionSpeed = 30.0f;
    StartInHouse(300.0);
    ASSERT_NEAR(CaptureHeight(), 260.0, 1.0);
    const auto traced = Sim::CallCount(kTrace);
    capture_->ResetIndoorDetection();
    Sim::AdvanceClock(kSecond / 50);
    capture_->UpdateCamera();
    EXPECT_EQ(Sim::CallCount(kTrace), traced + 1);
    EXPECT_NEAR(CaptureHeight(), 260.0, 1.0);
}

// Stepping out (here: the shelter no longer scoring as indoors) and back in at the same spot
// traces the roof again, even when the zoom does not change on the way.
TEST_F(IndoorDetection, BackIndoorsAtTheSameSpotTheRoofIsTracedAfresh)
{
    Orv::Settings().IndoorTransitionSpeed = 30.0f;
    Orv::Settings().IndoorZoom = Orv::Settings().Zoom;
    StartInHouse(300.0);
    ASSERT_NEAR(CaptureHeight(), 260.0, 1.0);
    const auto traced = Sim::CallCount(kTrace);
    Orv::Settings().IndoorShelterThreshold = 1.0f + 1e-3f;
    FramesFor(kSecond);
    EXPECT_NEAR(CaptureHeight(), 8000.0, 1e-6);
    Orv::Settings().IndoorShelterThreshold = 0.5f;
    FramesFor(kSecond);
    EXPECT_EQ(Sim::CallCount(kTrace), traced + 1);
    EXPECT_NEAR(CaptureHeight(), 260.0, 1e-6);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), Orv::Settings().Zoom);
}

// The zoom and detail are written when the mode changes, not on every picture: whatever the
// engine holds meanwhile stays.
TEST_F(IndoorDetection, TheIndoorZoomIsWrittenOnceOnTheWayInNotOnEveryPicture)
{
    StartInHouse(300.0);
    ASSERT_EQ(RealField(Component(), L"OrthoWidth"), 3500.0);
    *static_cast<float*>(FieldAddress(Component(), L"LODDistanceFactor")) = 3.0f;
    FramesFor(kSecond);
    EXPECT_EQ(RealField(Component(), L"LODDistanceFactor"), 3.0);
}

TEST_F(IndoorDetection, WithoutTheIndoorCameraNoRoofIsTracedAndTheCameraStaysHigh)
{
    Orv::Settings().IndoorCameraEnabled = false;
    StartInHouse(300.0);
    CallCounter traces(kTrace);
    FramesFor(kSecond);
    EXPECT_EQ(traces.Count(), 0);
    EXPECT_FALSE(Session().indoor.indoors);
    EXPECT_EQ(CaptureLocation().z, kStand + 8000.0);
    EXPECT_EQ(capture_->workingZoom, Orv::Settings().Zoom);
}

TEST_F(IndoorDetection, WalkingInLowersTheCameraSmoothlyAndSwitchesToTheIndoorZoom)
{
    StartSession({.x = 3000.0, .z = kStand});
    Sim::AddBuilding(world_, {.footprint = {-1500, -1500, 1500, 1500}, .roofZ = kStand + 300.0});
    FramesFor(kSecond / 2);
    ASSERT_EQ(CaptureLocation().z, kStand + 8000.0);
    // One frame after a long stall: the engine scores the shelter, the camera finds the pawn
    // indoors and moves by the share a quarter of a second gives at speed 8.
    MovePawn(0.0, 0.0, kStand);
    Frame(2 * kSecond);
    const double moved = 8000.0 - (CaptureLocation().z - kStand);
    ASSERT_TRUE(Session().indoor.indoors);
    EXPECT_EQ(TargetHeight(), 260.0);
    EXPECT_NEAR(moved / (8000.0 - 260.0), 1.0 - std::exp(-2.0), 1e-6);
    EXPECT_EQ(capture_->workingZoom, 3500.0f);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 3500.0);
    EXPECT_EQ(RealField(Component(), L"LODDistanceFactor"), 2.0);
}

TEST_F(IndoorDetection, AZoomStepIndoorsTracesAgainAndSavesTheIndoorZoom)
{
    StartInHouse(300.0);
    FramesFor(kSecond / 2);
    ASSERT_EQ(capture_->workingZoom, 3500.0f);
    const float openZoom = Orv::Settings().Zoom;
    CallCounter traces(kTrace);
    capture_->StepZoom(500.0f);
    Detect();
    EXPECT_EQ(traces.Count(), 1);
    EXPECT_EQ(Orv::Settings().IndoorZoom, 4000.0f);
    EXPECT_EQ(Orv::Settings().Zoom, openZoom);
}

// Underground: a cave 90 under the pawn's centre, its ceilings and upper level given relative
// to the pawn.
constexpr double kDeep = -2000.0;
constexpr Sim::Area kCave{-8000, -8000, 8000, 8000};

struct Cave
{
    const char* name;
    std::vector<std::pair<Sim::Area, double>> ceilings;
    double upperFloor = 0; // 0: no upper level
    double upperCeiling = 0;
    double target = 0; // the camera's height above the pawn
};

void AddCave(UWorld* world, const Cave& cave)
{
    Sim::Dungeon dungeon{.region = kCave, .floorZ = kDeep - kStand};
    for (const auto& [area, above] : cave.ceilings)
    {
        dungeon.ceilings.push_back({area, kDeep + above});
    }
    if (cave.upperFloor != 0)
    {
        dungeon.upperArea = kCave;
        dungeon.upperFloorZ = kDeep + cave.upperFloor;
        dungeon.upperCeilingZ = kDeep + cave.upperCeiling;
    }
    Sim::AddDungeon(world, dungeon);
}

class Dungeon : public CaptureFixture
{
  protected:
    void SetUp() override
    {
        ORV_SKIP_WITHOUT_ENGINE_CLOCK();
        CaptureFixture::SetUp();
    }

    // The player in the cave, the dungeon noticed by the camera.
    void StartInCave(const Cave& cave, double x = 0.0)
    {
        StartSession({.x = x, .z = kDeep});
        AddCave(world_, cave);
        FramesFor(kSecond / 2);
        ASSERT_TRUE(Session().camera.inDungeon);
    }
};

// A player who falls in a dungeon and rises in the open: the new session's capture starts at
// the open world's width, and a zoom step there changes the open world's zoom in state.ini,
// leaving the dungeon's alone.
TEST_F(Dungeon, ARespawnInTheOpenTakesTheOpenZoomAndAStepThereSavesTheOpenZoom)
{
    Orv::Settings().Zoom = 6000.0f;
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    ASSERT_EQ(RealField(Component(), L"OrthoWidth"), 2500.0);

    pawn_ = Sim::Respawn(controller_, {.x = 9000.0, .z = kStand});
    Frame();
    std::vector<UObject*> captures = Sim::CaptureComponents();
    ASSERT_EQ(captures.size(), 1u) << "the session was made anew";
    EXPECT_EQ(RealField(captures.front(), L"OrthoWidth"), 6000.0) << "from its very first picture";
    FramesFor(kSecond / 2);
    ASSERT_FALSE(Session().camera.inDungeon);
    EXPECT_EQ(RealField(captures.front(), L"OrthoWidth"), 6000.0);

    capture_->StepZoom(-500.0f);
    EXPECT_EQ(RealField(captures.front(), L"OrthoWidth"), 5500.0);
    EXPECT_EQ(SavedSetting("Zoom"), "5500");
    EXPECT_EQ(SavedSetting("DungeonZoom"), "2500");
}

class DungeonCeiling : public Dungeon, public ::testing::WithParamInterface<Cave>
{
};

// The first ceiling straight over the player counts when it is within a thousand units: a
// camera above it would show its top and nothing of the floor under it. Without one there, the
// highest ceiling within a thousand units over the rest of the grid does.
TEST_P(DungeonCeiling, TheCeilingOverThePlayerOrElseTheHighestWithinAThousandOverTheGridCounts)
{
    StartInCave(GetParam());
    EXPECT_EQ(Session().camera.targetHeight, GetParam().target);
    EXPECT_EQ(CaptureLocation().z, kDeep + GetParam().target) << "underground the height snaps";
}

const Sim::Area kWest{-8000, -8000, 0, 8000};
const Sim::Area kEast{0, -8000, 8000, 8000};
// Beside the player: the grid's columns east of the middle one.
const Sim::Area kEastOfThePlayer{300, -8000, 8000, 8000};

INSTANTIATE_TEST_SUITE_P(
    Caves, DungeonCeiling,
    ::testing::Values(Cave{"UpperLevelBeyondReach", {{kCave, 400}}, 1500, 1850, 200},
                      Cave{"UpperFloorWithinReach", {{kCave, 400}}, 900, 1300, 200},
                      Cave{"CeilingAtExactlyAThousand", {{kCave, 1000}}, 0, 0, 800},
                      Cave{"HigherCeilingToTheEast", {{kWest, 400}, {kEast, 650}}, 0, 0, 200},
                      Cave{"OnlyCeilingsBeyondAThousand", {{kCave, 1100}}, 0, 0, 350},
                      Cave{"BeyondAThousandOverThePlayerLowerBeside", {{kCave, 1100}, {kEastOfThePlayer, 600}}, 0, 0, 400},
                      Cave{"LowestCeilingOverThePlayerKeepsTheLeastHeight",
                           {{kCave, 100}, {kCave, 200}, {kCave, 300}, {kCave, 400}, {kCave, 500}, {kCave, 600}, {kCave, 700},
                            {kCave, 800}, {kCave, 900}},
                           0, 0, 100}),
    [](const auto& cave) { return std::string(cave.param.name); });

// What the roof trace needs from the game, taken away one at a time: the fallback height holds.
enum class Missing
{
    ShelterComponent,
    ProfileName,
    TraceFunction,
};

class DungeonWithout : public Dungeon, public ::testing::WithParamInterface<Missing>
{
};

TEST_P(DungeonWithout, TheRoofTraceFailsAndTheFallbackHeightHolds)
{
    if (GetParam() == Missing::ProfileName)
    {
        StartEngine(5, 1, {.missingProperties = {L"/Script/Umbrafel.CharacterShelterComponent:RoofTraceCollisionProfileName"}});
        Sim::AdvanceClock(7 * kSecond);
    }
    if (GetParam() == Missing::TraceFunction)
    {
        ASSERT_TRUE(Sim::RemoveFunction(kTrace));
    }
    StartSession({.z = kDeep});
    if (GetParam() == Missing::ShelterComponent)
    {
        ASSERT_TRUE(Sim::SetObjectReference(pawn_, L"CharacterShelterComponent", nullptr));
    }
    AddCave(world_, {"Low", {{kCave, 400}}, 0, 0, 200});
    FramesFor(kSecond / 2);
    ASSERT_TRUE(Session().camera.inDungeon);
    EXPECT_FALSE(Session().indoor.roofFound);
    EXPECT_EQ(Session().camera.targetHeight, 350.0);
}

std::string MissingName(const ::testing::TestParamInfo<Missing>& missing)
{
    switch (missing.param)
    {
    case Missing::ShelterComponent: return "ShelterComponent";
    case Missing::ProfileName: return "ProfileName";
    case Missing::TraceFunction: return "TraceFunction";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Requirements, DungeonWithout,
                         ::testing::Values(Missing::ShelterComponent, Missing::ProfileName, Missing::TraceFunction),
                         MissingName);

TEST_F(Dungeon, AColumnThatStartsInsideStoneFindsNoCeilingThere)
{
    // A stone pillar rises through the cave where the grid's column (1, 0) starts: each trace
    // there would hit where it starts, which is no ceiling above the player.
    StartSession({.z = kDeep});
    AddCave(world_, {"Low", {{kCave, 200}}, 0, 0, 100});
    const double column = 2500.0 * 0.15;
    Sim::AddBuilding(world_, {.footprint = {column - 15.0, -15.0, column + 15.0, 15.0},
                              .floorZ = kDeep - kStand,
                              .roofZ = kDeep + 1000.0,
                              .wallThickness = 15.0,
                              .doorWidth = 0.0});
    // Long enough for a trace at the dungeon's own width, which spaces the grid.
    FramesFor(kSecond);
    ASSERT_TRUE(Session().camera.inDungeon);
    ASSERT_EQ(RealField(Component(), L"OrthoWidth"), 2500.0);
    EXPECT_EQ(CaptureHeight(), 100.0) << "the cave's ceiling 200 up, less the offset, at the lowest height";
}

// A few steps from where the grid was traced, under a lower ceiling: the camera goes under it
// at the next picture, long before the grid is traced again, and one trace straight up did it.
TEST_F(Dungeon, AFewStepsUnderALowerCeilingTakeTheCameraUnderItAtOnce)
{
    const Sim::Area west{-8000, -8000, -20, 8000};
    const Sim::Area east{-20, -8000, 8000, 8000};
    StartInCave({"Step", {{west, 400}, {east, 650}}, 0, 0, 450}, 10.0);
    FramesFor(kSecond);
    ASSERT_EQ(Session().camera.targetHeight, 450.0);
    CallCounter traces(kTrace);
    MovePawn(-50.0, 0.0, kDeep);
    FramesFor(kSecond / 2);
    EXPECT_EQ(Session().camera.targetHeight, 200.0);
    EXPECT_EQ(CaptureLocation().z, kDeep + 200.0);
    EXPECT_EQ(traces.Count(), 1);
    FramesFor(kSecond);
    EXPECT_EQ(traces.Count(), 1) << "standing still traces nothing";
}

TEST_F(Dungeon, EachColumnsTracesClimbFromAboveEachHitToTheSameEnd)
{
    StartInCave({"Stacked", {{kCave, 400}}, 900, 1300, 200});
    CallCounter traces(kTrace);
    FProperty* start = PropertyNamed(traces.Function(), L"Start");
    FProperty* end = PropertyNamed(traces.Function(), L"End");
    std::vector<double> starts;
    std::set<double> ends;
    traces.Observe([&](void* parms) {
        const Vector from = VectorAt(start, parms);
        if (from.x == 0.0 && from.y == 0.0)
        {
            starts.push_back(from.z - kDeep);
        }
        ends.insert(VectorAt(end, parms).z - kDeep);
    });
    double ceiling = 0.0;
    ASSERT_TRUE(capture_->TraceRoof(0.0, 0.0, kDeep, ceiling));
    EXPECT_EQ(ceiling, kDeep + 400.0) << "the upper floor at 900 is above the ceiling over the player";
    // The ceiling, the upper floor, the upper ceiling and the ground at the reach are hit; the
    // last trace, from above the ground back down to the fixed end, finds nothing above it.
    EXPECT_EQ(starts, (std::vector<double>{0.0, 450.0, 950.0, 1350.0, 2050.0}));
    EXPECT_EQ(ends, (std::set<double>{2000.0}));
}

TEST_F(Dungeon, EveryTraceIsTheGamesRoofTraceFromThePawnDrawingNothing)
{
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    CallCounter traces(kTrace);
    UFunction* trace = traces.Function();
    int checked = 0;
    traces.Observe([&](void* parms) {
        ++checked;
        EXPECT_EQ(ValueAt<UObject*>(trace, parms, L"WorldContextObject"), pawn_);
        EXPECT_EQ(ValueAt<FName>(trace, parms, L"ProfileName"), FName(L"RoofTrace"));
        EXPECT_FALSE(BoolAt(PropertyNamed(trace, L"bTraceComplex"), parms));
        EXPECT_TRUE(BoolAt(PropertyNamed(trace, L"bIgnoreSelf"), parms));
        EXPECT_EQ(ValueAt<std::uint8_t>(trace, parms, L"DrawDebugType"), 0);
        EXPECT_EQ(ValueAt<float>(trace, parms, L"DrawTime"), 0.0f);
        for (const wchar_t* colour : {L"TraceColor", L"TraceHitColor"})
        {
            const auto* rgba = &ValueAt<float>(trace, parms, colour);
            EXPECT_EQ((std::vector<float>{rgba[0], rgba[1], rgba[2], rgba[3]}), (std::vector<float>{0, 0, 0, 1}));
        }
    });
    double ceiling = 0.0;
    ASSERT_TRUE(capture_->TraceRoof(0.0, 0.0, kDeep, ceiling));
    EXPECT_GT(checked, 0);
}

TEST_F(Dungeon, WithoutTheIndoorCameraADungeonStillLowersTheCamera)
{
    Orv::Settings().IndoorCameraEnabled = false;
    Orv::Settings().IndoorTransitionSpeed = 30.0f;
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    EXPECT_EQ(Session().camera.targetHeight, 200.0);
    EXPECT_FALSE(Session().indoor.indoors) << "indoors is the indoor camera's business alone";
    EXPECT_EQ(capture_->workingZoom, 2500.0f);
    EXPECT_EQ(CaptureHeight(), 200.0);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 2500.0);

    // Back up under a roof: without the indoor camera the capture climbs back to 8000 over the
    // pawn and the open zoom.
    Sim::AddBuilding(world_, {.footprint = {9000, -1500, 12000, 1500}, .roofZ = kStand + 300.0});
    MovePawn(10500.0, 0.0, kStand);
    FramesFor(kSecond);
    EXPECT_NEAR(CaptureHeight(), 8000.0, 1e-6);
    EXPECT_NEAR(CaptureLocation().z, kStand + 8000.0, 1e-6);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 8000.0);
}

// The indoor and dungeon widths are held to 1500 … 8000 like every width the capture is given.
TEST_F(Dungeon, TheIndoorAndDungeonWidthsStayWithinTheZoomLimits)
{
    Orv::Settings().DungeonZoom = 1000.0f;
    Orv::Settings().IndoorZoom = 9000.0f;
    Orv::Settings().Zoom = 5000.0f;
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 1500.0);
    Sim::AddBuilding(world_, {.footprint = {9000, -1500, 12000, 1500}, .roofZ = kStand + 300.0});
    MovePawn(10500.0, 0.0, kStand);
    FramesFor(kSecond / 2);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 8000.0);
}

// The shape decides which columns are traced: switching it traces the roof again at the next
// check, now over the square's corners too, with the player where they were.
TEST_F(Dungeon, SwitchingTheShapeTracesTheRoofAgainOverTheNewShape)
{
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    FramesFor(kSecond);
    CallCounter traces(kTrace);
    FramesFor(kSecond / 2);
    ASSERT_EQ(traces.Count(), 0) << "standing still";
    capture_->ToggleFrameShape();
    FramesFor(kSecond / 2);
    EXPECT_EQ(traces.Count(), 49 * 3) << "up each of the square's 49 columns: the ceiling, the ground above, nothing beyond";
}

TEST_F(Dungeon, TheRoundMapTracesOnlyTheColumnsOfItsDisc)
{
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    CallCounter traces(kTrace);
    FProperty* start = PropertyNamed(traces.Function(), L"Start");
    std::set<std::pair<int, int>> columns;
    const double spacing = static_cast<double>(capture_->workingZoom) * 0.15;
    traces.Observe([&](void* parms) {
        const Vector from = VectorAt(start, parms);
        columns.insert({static_cast<int>(std::lround(from.x / spacing)), static_cast<int>(std::lround(from.y / spacing))});
    });
    double ceiling = 0.0;
    capture_->workingCircular = false;
    ASSERT_TRUE(capture_->TraceRoof(0.0, 0.0, kDeep, ceiling));
    EXPECT_EQ(columns.size(), 49u);
    EXPECT_TRUE(columns.contains({3, 3}));
    EXPECT_TRUE(columns.contains({-3, -3}));

    columns.clear();
    capture_->workingCircular = true;
    ASSERT_TRUE(capture_->TraceRoof(0.0, 0.0, kDeep, ceiling));
    EXPECT_EQ(columns.size(), 29u);
    for (std::pair<int, int> corner : {std::pair{3, 3}, {3, 1}, {2, 3}, {-3, -1}})
    {
        EXPECT_FALSE(columns.contains(corner)) << corner.first << ", " << corner.second;
    }
    for (std::pair<int, int> edge : {std::pair{3, 0}, {0, -3}, {-3, 0}, {0, 3}})
    {
        EXPECT_TRUE(columns.contains(edge)) << edge.first << ", " << edge.second;
    }
}

TEST_F(Dungeon, GoingDownSwitchesZoomDetailAndExposureAndComingUpRestoresThem)
{
    // The engine whose captures take show flags at any time, so sending them again matters.
    StartEngine(5, 5);
    Sim::AdvanceClock(7 * Orv::kSecond);
    Orv::Settings().Zoom = 6000.0f;
    StartSession({.x = 9000.0, .z = kStand});
    AddCave(world_, {"Low", {{kCave, 400}}, 0, 0, 200});
    FramesFor(kSecond / 2);
    ASSERT_FALSE(Session().camera.inDungeon);
    CallCounter flagsSent(L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings");

    MovePawn(0.0, 0.0, kDeep);
    FramesFor(kSecond / 2);
    ASSERT_TRUE(Session().camera.inDungeon);
    EXPECT_EQ(capture_->workingZoom, 2500.0f);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 2500.0);
    EXPECT_EQ(RealField(Component(), L"LODDistanceFactor"), 1.0);
    EXPECT_EQ(ExposureBias(Component()), 1.5) << "the dungeon's 1.5 stops; the day outside does not reach it";
    EXPECT_EQ(flagsSent.Count(), 1);

    MovePawn(9000.0, 0.0, kStand);
    FramesFor(kSecond / 2);
    ASSERT_FALSE(Session().camera.inDungeon);
    EXPECT_EQ(capture_->workingZoom, 6000.0f);
    EXPECT_EQ(RealField(Component(), L"LODDistanceFactor"), 2.0);
    EXPECT_EQ(ExposureBias(Component()), 0.0);
    EXPECT_EQ(flagsSent.Count(), 2);
    EXPECT_EQ(Session().camera.targetHeight, 8000.0);
}

TEST_F(Dungeon, ComingUpIntoAHouseTakesTheIndoorZoom)
{
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    Sim::AddBuilding(world_, {.footprint = {9000, -1500, 12000, 1500}, .roofZ = kStand + 300.0});
    MovePawn(10500.0, 0.0, kStand);
    FramesFor(kSecond / 2);
    ASSERT_FALSE(Session().camera.inDungeon);
    EXPECT_TRUE(Session().indoor.indoors);
    EXPECT_EQ(capture_->workingZoom, 3500.0f);
    EXPECT_EQ(RealField(Component(), L"LODDistanceFactor"), 2.0);
    EXPECT_EQ(Session().camera.targetHeight, 260.0);
}

TEST_F(Dungeon, WithoutTheGamesDungeonQueryACaveIsNoDungeon)
{
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary:IsLocationInsideDungeon"));
    StartSession({.z = kDeep});
    AddCave(world_, {"Low", {{kCave, 400}}, 0, 0, 200});
    FramesFor(kSecond / 2);
    EXPECT_FALSE(Session().camera.inDungeon);
    EXPECT_EQ(capture_->workingZoom, 3500.0f) << "under a ceiling it is indoors, not in a dungeon";
    EXPECT_EQ(RealField(Component(), L"LODDistanceFactor"), 2.0);
}

// The game's dungeon query answering no while it lives, whatever the place: a cave the game does
// not count as a dungeon.
class DungeonQueryDenied
{
  public:
    DungeonQueryDenied()
        : query_(Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary:IsLocationInsideDungeon"))
    {
        id_ = query_->RegisterPostHook([](RC::Unreal::UnrealScriptFunctionCallableContext& context, void*) {
            *static_cast<std::uint8_t*>(context.RESULT_DECL) = 0;
        });
    }
    ~DungeonQueryDenied() { query_->UnregisterHook(id_); }
    DungeonQueryDenied(const DungeonQueryDenied&) = delete;
    DungeonQueryDenied& operator=(const DungeonQueryDenied&) = delete;

  private:
    UFunction* query_;
    RC::Unreal::CallbackId id_ = 0;
};

TEST_F(Dungeon, ACaveThatBecomesADungeonHasItsCeilingTracedAfresh)
{
    // The same width indoors and underground, so only the dungeon itself calls for a new trace.
    Orv::Settings().IndoorZoom = Orv::Settings().DungeonZoom;
    {
        DungeonQueryDenied notYet;
        StartSession({.z = kDeep});
        AddCave(world_, {"Low", {{kCave, 400}}, 0, 0, 200});
        FramesFor(kSecond / 2);
        ASSERT_FALSE(Session().camera.inDungeon);
    }
    FramesFor(kSecond / 2);
    ASSERT_TRUE(Session().camera.inDungeon);
    EXPECT_EQ(CaptureHeight(), 200.0) << "200 below the ceiling, traced over the dungeon's grid";
}

TEST_F(Dungeon, TheDungeonIsAskedAboutThePawnsPlaceInThePlayersWorld)
{
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200}, 1234.0);
    MovePawn(1250.0, -75.0, kDeep);
    FramesFor(kSecond / 2);
    const Sim::RecordedCall asked = Sim::LastCallOf(L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary:IsLocationInsideDungeon");
    EXPECT_EQ(asked.Object(L"WorldContextObject"), AsObject(world_));
    EXPECT_EQ(asked.Number(L"Location.X"), 1250.0);
    EXPECT_EQ(asked.Number(L"Location.Y"), -75.0);
    EXPECT_EQ(asked.Number(L"Location.Z"), kDeep);
}

TEST_F(Dungeon, TheDungeonIsAskedAboutAtMostFourTimesASecond)
{
    Orv::Settings().CaptureFPS = 30;
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    CallCounter asked(L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary:IsLocationInsideDungeon");
    // Moving, the camera updates thirty times a second.
    double x = 0.0;
    for (Orv::Nanoseconds done = 0; done < 2 * kSecond; done += kFrameNs)
    {
        x += 10.0;
        MovePawn(x, 0.0, kDeep);
        Frame();
    }
    EXPECT_GE(asked.Count(), 7);
    EXPECT_LE(asked.Count(), 8);
}

TEST_F(Dungeon, AZoomStepUndergroundSavesTheDungeonZoom)
{
    StartInCave({"Low", {{kCave, 400}}, 0, 0, 200});
    const float openZoom = Orv::Settings().Zoom;
    capture_->StepZoom(-500.0f);
    EXPECT_EQ(Orv::Settings().DungeonZoom, 2000.0f);
    EXPECT_EQ(Orv::Settings().IndoorZoom, 3500.0f);
    EXPECT_EQ(Orv::Settings().Zoom, openZoom);
}
} // namespace
