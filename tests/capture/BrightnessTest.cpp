// The map's exposure by day and at night on both engines: the positive part goes to the
// capture's post-process exposure bias (its override bit set without touching its neighbours),
// the negative part darkens the map as the screen shows it, a capture without those members is
// left to the image tint alone, and a refresh only acts when the night state changed or it is
// forced.
#include "CaptureFixture.hpp"

namespace
{
using namespace OrvTest;
using Orv::kSecond;

bool OverrideBit(UObject* component, const wchar_t* name)
{
    auto [flag, settings] = StructMember(component, L"PostProcessSettings", name);
    return BoolAt(flag, settings);
}

void SetExposureBias(UObject* component, float value)
{
    auto [bias, settings] = StructMember(component, L"PostProcessSettings", L"AutoExposureBias");
    *bias->ContainerPtrToValuePtr<float>(settings) = value;
}

class Brightness : public CaptureFixture
{
};

class BrightnessOnEngine : public CaptureFixture, public ::testing::WithParamInterface<std::pair<int, int>>
{
  protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        StartEngine(GetParam().first, GetParam().second);
        Sim::AdvanceClock(7 * kSecond);
    }
};

TEST_P(BrightnessOnEngine, ByDayTheBiasIsZeroAndAtNightItCarriesThePositiveExposure)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    UObject* component = Component();
    EXPECT_TRUE(OverrideBit(component, L"bOverride_AutoExposureBias"));
    EXPECT_FALSE(OverrideBit(component, L"bOverride_BloomThreshold")) << "the neighbouring overrides stay off";
    EXPECT_FALSE(OverrideBit(component, L"bOverride_AutoExposureMinBrightness"));
    EXPECT_EQ(ExposureBias(component), 0.0) << "day: -0.5 stops, all of it left to the tint";
    EXPECT_EQ(RealField(component, L"PostProcessBlendWeight"), 1.0);
    EXPECT_FALSE(mod_->ExposureBiasFailed());
    EXPECT_FLOAT_EQ(capture_->ExposureValue(), -0.5f);
    const Sim::RecordedCall asked = Sim::LastCallOf(L"/Script/Umbrafel.InGameTimeFunctionLibrary:IsNighttime");
    EXPECT_EQ(asked.Object(L"WorldContextObject"), AsObject(world_));

    // Night falls: the game's event makes the next frame look, apply and take a picture, the
    // bias at full weight whatever weight the component was left with.
    *static_cast<float*>(FieldAddress(component, L"PostProcessBlendWeight")) = 0.25f;
    const auto captures = Sim::Observations().captureScenes;
    Sim::SetNight(world_, true);
    EXPECT_TRUE(mod_->BrightnessDirty());
    Frame();
    EXPECT_FALSE(mod_->BrightnessDirty());
    EXPECT_EQ(ExposureBias(component), 1.5);
    EXPECT_EQ(RealField(component, L"PostProcessBlendWeight"), 1.0);
    EXPECT_GE(Sim::Observations().captureScenes, captures + 1);
    EXPECT_TRUE(Session().brightness.lastNightState);

    Sim::SetNight(world_, false);
    Frame();
    EXPECT_EQ(ExposureBias(component), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Engines, BrightnessOnEngine, ::testing::Values(std::pair{4, 27}, std::pair{5, 1}),
                         [](const auto& engine) {
                             return "UE" + std::to_string(engine.param.first) + "_" + std::to_string(engine.param.second);
                         });

TEST_F(Brightness, TheTrimShiftsTheExposureAndTheBiasNeverGoesBelowZero)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({}, [](CaptureMod& mod) { mod.workingBrightnessTrim = -2.0f; });
    EXPECT_FLOAT_EQ(capture_->ExposureValue(), -2.5f);
    EXPECT_EQ(ExposureBias(Component()), 0.0);

    capture_->workingBrightnessTrim = 1.0f;
    capture_->ApplyBrightness();
    EXPECT_EQ(ExposureBias(Component()), 0.5);
}

TEST_F(Brightness, AnUnchangedNightIsLeftAloneUnlessTheRefreshIsForced)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    Sim::SetNight(world_, true);
    Frame();
    ASSERT_EQ(ExposureBias(Component()), 1.5);

    SetExposureBias(Component(), 7.0f);
    const auto captures = Sim::Observations().captureScenes;
    capture_->RefreshBrightness(false);
    EXPECT_EQ(ExposureBias(Component()), 7.0) << "the same night: nothing written";
    EXPECT_EQ(Sim::Observations().captureScenes, captures) << "and no picture taken";

    capture_->RefreshBrightness(true);
    EXPECT_EQ(ExposureBias(Component()), 1.5);
    EXPECT_EQ(Sim::Observations().captureScenes, captures + 1);
}

TEST_F(Brightness, TheTenSecondRefreshNoticesANightThatFellWithoutAnEvent)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    // The game's time subsystem changes its mind without telling anyone.
    Sim::SetSilentEvents(true);
    Sim::SetNight(world_, true);
    Sim::SetSilentEvents(false);
    FramesFor(9 * kSecond);
    EXPECT_EQ(ExposureBias(Component()), 0.0);
    FramesFor(kSecond + kFrameNs);
    EXPECT_EQ(ExposureBias(Component()), 1.5);
}

TEST_F(Brightness, WithoutANightQueryTheDayExposureStays)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Umbrafel.InGameTimeFunctionLibrary:IsNighttime"));
    StartSession();
    Sim::SetNight(world_, true);
    FramesFor(11 * kSecond);
    EXPECT_FALSE(Session().brightness.nightStateKnown);
    EXPECT_EQ(ExposureBias(Component()), 0.0);
}

class BrightnessWithoutMember : public CaptureFixture, public ::testing::WithParamInterface<const wchar_t*>
{
};

// How the screen shows the map's picture: the tint measured over the render target's own
// pixels, in hilly country so the picture has contrast to measure by. The picture stays opaque.
class MapPicture : public CaptureFixture
{
  protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        Sim::SetViewportPixels(960, 540);
        // The letters sit on the picture's edge; the tint is the picture's alone.
        Orv::Hud().CompassLetters = false;
    }

    void StartInHills(const Sim::Placement& at = {}, const std::function<void(CaptureMod&)>& prepare = {})
    {
        StartSession(at, [&](CaptureMod& mod) {
            Sim::SetTerrain(world_, Sim::RollingHills(6000, 100, 300, 7));
            if (prepare)
            {
                prepare(mod);
            }
        });
    }

    void ExpectTint(double gain, double within, const char* when) const
    {
        const Sim::PictureOnScreen picture = MapPictureOnScreen();
        ASSERT_TRUE(picture.found) << when;
        EXPECT_NEAR(picture.gain, gain, within) << when;
        for (double offset : picture.offset)
        {
            EXPECT_NEAR(offset, 0.0, 0.005) << when << ": nothing shows through";
        }
    }
};

TEST_F(MapPicture, ByDayTheFirstScreenAlreadyShowsThePictureAQuarterStopDarkerAndAtNightUntinted)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartInHills();
    ExpectTint(0.841, 0.005, "by day, on the frame the HUD was built");
    Sim::SetNight(world_, true);
    Frame();
    ExpectTint(1.0, 0.005, "at night the bias carries it all");
}

TEST_F(MapPicture, TheTrimDarkensByHalfAStopPerUnit)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartInHills({}, [](CaptureMod& mod) { mod.workingBrightnessTrim = -2.0f; });
    ExpectTint(0.420, 0.005, "-2.5 stops by day");
}

TEST_F(MapPicture, UndergroundByDayTheDungeonsBoostLeavesThePictureUntinted)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartInHills({.x = 9000.0, .z = 90.0});
    ExpectTint(0.841, 0.005, "in the open by day");
    Sim::AddDungeon(world_, {.region = {-8000, -8000, 8000, 8000},
                             .floorZ = -2090.0,
                             .ceilings = {{{-8000, -8000, 0, 8000}, -1600.0}, {{0, -8000, 8000, 8000}, -1400.0}}});
    MovePawn(0.0, 0.0, -2000.0);
    FramesFor(kSecond / 2);
    ASSERT_EQ(ExposureBias(Component()), 1.5) << "the dungeon's 1.5 stops; the day outside does not reach it";
    ExpectTint(1.0, 0.01, "in the dungeon");
}

TEST_P(BrightnessWithoutMember, ACaptureWithoutTheExposureMembersLeavesItAllToTheTint)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame({.missingProperties = {GetParam()}});
    Sim::AdvanceClock(7 * kSecond);
    Sim::SetViewportPixels(960, 540);
    StartSession({}, [this](CaptureMod&) { Sim::SetTerrain(world_, Sim::RollingHills(6000, 100, 300, 7)); });
    ASSERT_NE(Component(), nullptr) << "the capture works without them";
    EXPECT_TRUE(mod_->ExposureBiasFailed());

    // At night all of the 1.5 stops brighten the map by its tint: 2^0.75.
    Sim::SetNight(world_, true);
    Frame();
    const Sim::PictureOnScreen picture = MapPictureOnScreen();
    ASSERT_TRUE(picture.found);
    EXPECT_NEAR(picture.gain, 1.682, 0.02);
    const Sim::RecordedCall tint = Sim::LastCall(Session().widget.mapImage, L"SetColorAndOpacity");
    EXPECT_NEAR(tint.Number(L"InColorAndOpacity.R"), 1.682, 1e-3);
    EXPECT_EQ(tint.Number(L"InColorAndOpacity.A"), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Members, BrightnessWithoutMember,
                         ::testing::Values(L"/Script/Engine.SceneCaptureComponent2D:PostProcessSettings",
                                           L"/Script/Engine.SceneCaptureComponent2D:PostProcessBlendWeight"),
                         [](const auto& member) { return member.index == 0 ? "PostProcessSettings" : "PostProcessBlendWeight"; });
} // namespace
