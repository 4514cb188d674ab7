// The capture camera in the open: it stays straight above the pawn, turns with the player's view
// (smoothed, the short way round, from the pawn's facing when there is no view), takes pictures
// five times a second while the player stands still and at the configured rate (never faster)
// while moving, and
// steps its zoom within 1500 … 8000, saving the zoom of the mode the player is in.
#include "CaptureFixture.hpp"

#include "settings/SettingsFile.hpp"

#include <Sim/Faults.hpp>

#include <cmath>
#include <fstream>
#include <sstream>

namespace
{
using namespace OrvTest;
using Orv::kSecond;

class Camera : public CaptureFixture
{
  protected:
    void SetView(double yaw) const { Sim::SetControlRotation(controller_, 0.0, yaw, 0.0); }

    // Pictures taken over the span, in frames of the given length.
    static std::uint64_t CapturesOver(Orv::Nanoseconds span, const std::function<void()>& eachFrame = {})
    {
        const auto before = Sim::Observations().captureScenes;
        for (Orv::Nanoseconds done = 0; done < span; done += kFrameNs)
        {
            if (eachFrame)
            {
                eachFrame();
            }
            Frame();
        }
        return Sim::Observations().captureScenes - before;
    }
};

TEST_F(Camera, TheCaptureStaysAboveThePawnAndTurnsWithTheViewTheShortWay)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({.x = 0, .y = 0, .z = 100, .yaw = 170});
    SetView(170.0);
    EXPECT_DOUBLE_EQ(CaptureYaw(), 170.0);

    // 20 degrees through 180, not 340 through 0; a second's gap counts as a tenth.
    SetView(-170.0);
    MovePawn(500.0, -250.0, 300.0, -170.0);
    Frame(kSecond);
    EXPECT_NEAR(CaptureYaw(), std::remainder(170.0 + (1.0 - std::exp(-1.0)) * 20.0, 360.0), 1e-9);
    const Vector at = CaptureLocation();
    EXPECT_DOUBLE_EQ(at.x, 500.0);
    EXPECT_DOUBLE_EQ(at.y, -250.0);
    EXPECT_DOUBLE_EQ(at.z, 300.0 + 8000.0);
    EXPECT_DOUBLE_EQ(Sim::ActorPlacement(CaptureActor()).pitch, -90.0);
    EXPECT_DOUBLE_EQ(Session().camera.cameraYaw, CaptureYaw()) << "the markers turn with the same yaw";

    // A frame later the turn goes on from there, by that frame's share only.
    const double before = CaptureYaw();
    MovePawn(510.0, -250.0, 300.0, -170.0);
    Frame();
    const double share = 1.0 - std::exp(-10.0 * static_cast<double>(kFrameNs) / 1e9);
    EXPECT_NEAR(CaptureYaw(), std::remainder(before + share * std::remainder(-170.0 - before, 360.0), 360.0), 1e-9);
}

TEST_F(Camera, EachPictureTeleportsTheCaptureWithoutSweepingAndTurnsItStraightDown)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({.x = 0, .y = 0, .z = 100, .yaw = 30});
    SetView(30.0);
    MovePawn(400.0, -50.0, 120.0, 30.0);
    Sim::ForgetCalls();
    Frame();
    const Sim::RecordedCall moved = Sim::LastCall(CaptureActor(), L"K2_SetActorLocation");
    EXPECT_EQ(moved.Count(), 1u);
    EXPECT_EQ(moved.Number(L"NewLocation.X"), 400.0);
    EXPECT_EQ(moved.Number(L"NewLocation.Y"), -50.0);
    EXPECT_EQ(moved.Number(L"NewLocation.Z"), 120.0 + 8000.0);
    ASSERT_TRUE(moved.Has(L"bSweep"));
    EXPECT_FALSE(moved.Bool(L"bSweep")) << "nothing in the way may stop the camera";
    EXPECT_TRUE(moved.Bool(L"bTeleport"));
    const Sim::RecordedCall turned = Sim::LastCall(CaptureActor(), L"K2_SetActorRotation");
    EXPECT_EQ(turned.Count(), 1u);
    EXPECT_EQ(turned.Number(L"NewRotation.Pitch"), -90.0);
    EXPECT_EQ(turned.Number(L"NewRotation.Yaw"), 30.0);
    EXPECT_EQ(turned.Number(L"NewRotation.Roll"), 0.0);
    EXPECT_EQ(Sim::CallCount(Component(), L"CaptureScene"), 1u);
}

TEST_F(Camera, TheFirstPictureFacesThePawnsWayThoughTheViewLooksElsewhere)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({.yaw = 40}, [this](CaptureMod&) { SetView(100.0); });
    ASSERT_EQ(Sim::CallCount(Component(), L"CaptureScene"), 1u);
    EXPECT_EQ(Sim::LastCall(CaptureActor(), L"K2_SetActorRotation").Number(L"NewRotation.Yaw"), 40.0)
        << "no swing on the first frame";
    Frame(kSecond);
    EXPECT_NEAR(CaptureYaw(), 40.0 + (1.0 - std::exp(-1.0)) * 60.0, 1e-9) << "then it turns towards the view";
}

TEST_F(Camera, TheViewOutweighsThePawnsFacing)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({.yaw = 30});
    SetView(90.0);
    Frame(kSecond);
    EXPECT_NEAR(CaptureYaw(), 30.0 + (1.0 - std::exp(-1.0)) * 60.0, 1e-9);
}

TEST_F(Camera, WithoutAViewTheCameraTurnsWithThePawn)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Engine.Controller:GetControlRotation"));
    StartSession({.yaw = 30});
    SetView(90.0);
    MovePawn(0.0, 0.0, 0.0, 60.0);
    Frame(kSecond);
    EXPECT_NEAR(CaptureYaw(), 30.0 + (1.0 - std::exp(-1.0)) * 30.0, 1e-9);
}

TEST_F(Camera, TheMovementTestIgnoresLessThanAUnitAndATwentiethOfADegree)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    EXPECT_FALSE(capture_->MovementTest()) << "standing still";
    MovePawn(0.999, 0.0, 0.0);
    EXPECT_FALSE(capture_->MovementTest());
    MovePawn(0.0, 0.0, 500.0);
    EXPECT_FALSE(capture_->MovementTest()) << "only the ground position counts";
    MovePawn(1.0, 0.0, 500.0);
    EXPECT_TRUE(capture_->MovementTest()) << "a whole unit is movement";
    MovePawn(1.0, -1.0, 500.0);
    EXPECT_TRUE(capture_->MovementTest());
    EXPECT_FALSE(capture_->MovementTest()) << "compared with the last test, not the first";

    SetView(0.04);
    EXPECT_FALSE(capture_->MovementTest());
    SetView(0.0);
    EXPECT_FALSE(capture_->MovementTest());
    SetView(0.05);
    EXPECT_TRUE(capture_->MovementTest());
    SetView(-0.05);
    EXPECT_TRUE(capture_->MovementTest()) << "turning either way";
    SetView(359.98);
    EXPECT_FALSE(capture_->MovementTest()) << "0.03 degrees across north";

    Sim::DestroyActor(pawn_);
    EXPECT_FALSE(capture_->MovementTest()) << "no pawn, no movement";
}

TEST_F(Camera, StandingStillTakesFivePicturesASecondAndMovingTakesTheConfiguredRate)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({}, [](CaptureMod& mod) { mod.workingCaptureFPS = 30.0f; });
    // The session's first update counts as movement: the next comes at the configured rate.
    EXPECT_EQ(CapturesOver(kSecond / 30), 1u);
    EXPECT_EQ(CapturesOver(kSecond / 10), 0u);
    EXPECT_EQ(CapturesOver(kSecond), 5u);
    double x = 0.0;
    const auto walk = [&] { MovePawn(x += 5.0, 0.0, 0.0); };
    EXPECT_EQ(CapturesOver(kSecond, walk), 30u);
    // Stopping drops back to the still rate.
    Frame();
    EXPECT_EQ(CapturesOver(kSecond), 5u);
    // A step after standing is pictured as soon as the configured rate allows: not in the
    // frame right after a picture (1/60 s), but in the next (1/30 s).
    auto captured = Sim::Observations().captureScenes;
    while (Sim::Observations().captureScenes == captured)
    {
        Frame();
    }
    captured = Sim::Observations().captureScenes;
    walk();
    Frame();
    EXPECT_EQ(Sim::Observations().captureScenes, captured);
    walk();
    Frame();
    EXPECT_EQ(Sim::Observations().captureScenes, captured + 1);
}

TEST_F(Camera, BelowFivePicturesASecondTheConfiguredRateHoldsEvenStandingStill)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({}, [](CaptureMod& mod) { mod.workingCaptureFPS = 2.0f; });
    Frame();
    EXPECT_EQ(CapturesOver(2 * kSecond), 4u);
}

TEST_F(Camera, AnUpdateWithoutItsCaptureOrItsPawnDoesNothing)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    const auto captures = Sim::Observations().captureScenes;
    // The collector takes the capture actor (and its component) away between frames.
    Sim::DestroyActor(CaptureActor());
    Sim::CollectGarbage();
    ASSERT_EQ(CaptureActor(), nullptr);
    capture_->UpdateCamera();
    EXPECT_EQ(Sim::Observations().captureScenes, captures);
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);

    Frame();
    ASSERT_NE(CaptureActor(), nullptr) << "made again";
    const auto remade = Sim::Observations().captureScenes;
    Sim::DestroyActor(pawn_);
    Sim::CollectGarbage();
    capture_->UpdateCamera();
    EXPECT_EQ(Sim::Observations().captureScenes, remade);
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}

TEST_F(Camera, AMissingRotationCallTakesNoPicture)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ORV_SKIP_IF_SANITIZED();
    StartSession();
    const auto captures = Sim::Observations().captureScenes;
    Sim::MakeFunctionFault(Sim::FindFunctionByPath(L"/Script/Engine.Actor:K2_SetActorRotation"), Sim::FaultKind::NullWrite);
    MovePawn(100.0, 0.0, 0.0);
    capture_->UpdateCamera();
    EXPECT_EQ(Sim::Observations().captureScenes, captures);
    EXPECT_DOUBLE_EQ(CaptureLocation().x, 100.0) << "the camera still moved";
}

TEST_F(Camera, ZoomStepsStayWithinTheLimitsAndSaveTheOpenWorldZoom)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    // A step that changes nothing saves nothing: the record keeps what it held.
    Orv::Settings().Zoom = 5000.0f;
    capture_->StepZoom(500.0f);
    EXPECT_EQ(capture_->workingZoom, 8000.0f);
    EXPECT_EQ(Orv::Settings().Zoom, 5000.0f);

    capture_->workingZoom = 7800.0f;
    const auto captures = Sim::Observations().captureScenes;
    capture_->StepZoom(500.0f);
    EXPECT_EQ(capture_->workingZoom, 8000.0f);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 8000.0);
    EXPECT_EQ(Sim::Observations().captureScenes, captures + 1) << "a fresh picture at the new width";
    EXPECT_EQ(Orv::Settings().Zoom, 8000.0f);
    std::ifstream file(std::filesystem::path(Orv::SettingsFilePath()), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("Zoom=8000\r\n"), std::string::npos) << "saved at once";

    capture_->workingZoom = 1700.0f;
    capture_->StepZoom(-500.0f);
    EXPECT_EQ(capture_->workingZoom, 1500.0f);
    EXPECT_EQ(RealField(Component(), L"OrthoWidth"), 1500.0);
    capture_->StepZoom(-500.0f);
    EXPECT_EQ(capture_->workingZoom, 1500.0f);
    EXPECT_EQ(Orv::Settings().IndoorZoom, Orv::DefaultSettings().IndoorZoom) << "in the open the open zoom is saved";
}

TEST_F(Camera, AZoomStepWithoutACaptureIsStillSavedAndKeepsThePlaceOfAMapNotYetLaidOut)
{
    StartCaptureMod();
    Orv::Settings().PositionX = 0.25;
    Orv::Settings().PositionY = 0.75;
    capture_->StepZoom(-500.0f);
    EXPECT_EQ(capture_->workingZoom, 7500.0f);
    EXPECT_EQ(Orv::Settings().Zoom, 7500.0f);
    // No viewport measured yet: there is no place to compute, and the saved one stays.
    EXPECT_EQ(Orv::Settings().PositionX, 0.25);
    EXPECT_EQ(Orv::Settings().PositionY, 0.75);
}
} // namespace
