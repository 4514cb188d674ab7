// The map's exposure by day and at night on both engines: the positive part goes to the
// capture's post-process exposure bias (its override bit set without touching its neighbours),
// a capture without those members is left to the image tint, and a refresh only acts when the
// night state changed or it is forced.
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

    // Night falls: the game's event makes the next frame look, apply and take a picture.
    const auto captures = Sim::Observations().captureScenes;
    Sim::SetNight(world_, true);
    EXPECT_TRUE(mod_->BrightnessDirty());
    Frame();
    EXPECT_FALSE(mod_->BrightnessDirty());
    EXPECT_EQ(ExposureBias(component), 1.5);
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

TEST_P(BrightnessWithoutMember, ACaptureWithoutTheExposureMembersLeavesItAllToTheTint)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame({.missingProperties = {GetParam()}});
    Sim::AdvanceClock(7 * kSecond);
    StartSession();
    ASSERT_NE(Component(), nullptr) << "the capture works without them";
    EXPECT_TRUE(mod_->ExposureBiasFailed());
}

INSTANTIATE_TEST_SUITE_P(Members, BrightnessWithoutMember,
                         ::testing::Values(L"/Script/Engine.SceneCaptureComponent2D:PostProcessSettings",
                                           L"/Script/Engine.SceneCaptureComponent2D:PostProcessBlendWeight"),
                         [](const auto& member) { return member.index == 0 ? "PostProcessSettings" : "PostProcessBlendWeight"; });
} // namespace
