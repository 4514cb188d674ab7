// The capture's engine objects on both engine generations: the rooted render target of the
// map's side, the SceneCapture2D high above the player looking down, configured to render only
// when asked; the show flags for weather and shadows; the player and what hangs on it hidden
// from the picture; the target resized with the map; and what a failure leaves behind.
#include "CaptureFixture.hpp"

#include <Sim/Faults.hpp>

#include <Unreal/UObjectArray.hpp>

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>

namespace
{
using namespace OrvTest;
using RC::Unreal::FUObjectArray;

bool IsRooted(UObject* object)
{
    auto* item = FUObjectArray::IndexToObject(object->GetInternalIndex());
    return item != nullptr && item->IsRootSet();
}

class CaptureObjects : public CaptureFixture
{
};

class CaptureOnEngine : public CaptureFixture, public ::testing::WithParamInterface<std::pair<int, int>>
{
  protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        StartEngine(GetParam().first, GetParam().second);
        Sim::AdvanceClock(7 * Orv::kSecond);
    }

    bool AtLeast(int major, int minor) const { return GetParam() >= std::pair{major, minor}; }
};

std::string EngineName(const ::testing::TestParamInfo<std::pair<int, int>>& engine)
{
    return "UE" + std::to_string(engine.param.first) + "_" + std::to_string(engine.param.second);
}

TEST_P(CaptureOnEngine, ARootedTargetAndACaptureHighAboveThePlayerThatRendersOnlyWhenAsked)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    std::uint64_t activationsBefore = 0;
    StartSession({.x = 1200, .y = -300, .z = 150, .yaw = 40},
                 [&](CaptureMod&) { activationsBefore = Sim::Observations().componentActivations; });
    ASSERT_NE(CaptureActor(), nullptr);
    ASSERT_NE(Component(), nullptr);
    ASSERT_NE(RenderTarget(), nullptr);

    EXPECT_EQ(mod_->RenderTargetSize(), 1152);
    Sim::RenderTargetImage image;
    ASSERT_TRUE(Sim::ReadRenderTarget(RenderTarget(), image));
    EXPECT_EQ(image.width, 1152);
    EXPECT_EQ(image.height, 1152);
    EXPECT_EQ(ValueField<std::uint8_t>(RenderTarget(), L"RenderTargetFormat"), 2) << "8-bit RGBA";
    float clear[4];
    std::memcpy(clear, FieldAddress(RenderTarget(), L"ClearColor"), sizeof(clear));
    EXPECT_THAT(clear, ::testing::ElementsAre(0.0f, 0.0f, 0.0f, 1.0f)) << "opaque black";
    EXPECT_TRUE(IsRooted(RenderTarget()));

    // Seeded with the pawn's own yaw, so the first picture does not swing towards the view.
    const Vector at = CaptureLocation();
    EXPECT_DOUBLE_EQ(at.x, 1200.0);
    EXPECT_DOUBLE_EQ(at.y, -300.0);
    EXPECT_DOUBLE_EQ(at.z, 150.0 + 8000.0);
    const auto placement = Sim::ActorPlacement(CaptureActor());
    EXPECT_DOUBLE_EQ(placement.pitch, -90.0);
    EXPECT_DOUBLE_EQ(placement.yaw, 40.0);
    EXPECT_FALSE(Sim::ActorCollides(CaptureActor()));
    EXPECT_FALSE(Sim::ActorTicks(CaptureActor()));

    UObject* component = Component();
    EXPECT_EQ(ValueField<std::uint8_t>(component, L"ProjectionType"), 1) << "orthographic";
    EXPECT_EQ(RealField(component, L"OrthoWidth"), 8000.0);
    EXPECT_EQ(Sim::ObjectReference(component, L"TextureTarget"), RenderTarget());
    EXPECT_FALSE(BoolField(component, L"bCaptureEveryFrame"));
    EXPECT_FALSE(BoolField(component, L"bCaptureOnMovement"));
    EXPECT_EQ(ValueField<std::uint8_t>(component, L"CaptureSource"), 2) << "final colour, low dynamic range";
    EXPECT_TRUE(BoolField(component, L"bAlwaysPersistRenderingState"));
    EXPECT_FALSE(BoolField(component, L"bAbsoluteRotation")) << "it turns with its actor";
    EXPECT_EQ(RealField(component, L"MaxViewDistanceOverride"), 14000.0);
    EXPECT_EQ(RealField(component, L"LODDistanceFactor"), 2.0);
    EXPECT_TRUE(BoolField(component, L"bIsActive"));
    EXPECT_EQ(Sim::Observations().captureScenes, 1u) << "one picture, taken by the first camera update";
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);

    // What the engine was asked for: a square, opaque black, 8-bit target for the player's world,
    // with no mips and no unordered access; engines before 5.2 have no such switch, and the call
    // goes without it rather than failing.
    const Sim::RecordedCall made = Sim::LastCallOf(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D");
    EXPECT_EQ(made.Count(), 1u);
    EXPECT_EQ(made.Object(L"WorldContextObject"), gameInstance_);
    ASSERT_NE(RenderTarget(), nullptr);
    EXPECT_EQ(RenderTarget()->GetOuter(), gameInstance_) << "made inside something that outlives the world";
    EXPECT_EQ(made.Number(L"Width"), 1152.0);
    EXPECT_EQ(made.Number(L"Height"), 1152.0);
    EXPECT_EQ(made.Number(L"Format"), 2.0);
    EXPECT_EQ((std::vector<double>{made.Number(L"ClearColor.R"), made.Number(L"ClearColor.G"), made.Number(L"ClearColor.B"),
                                   made.Number(L"ClearColor.A")}),
              (std::vector<double>{0.0, 0.0, 0.0, 1.0}));
    ASSERT_TRUE(made.Has(L"bAutoGenerateMipMaps"));
    EXPECT_FALSE(made.Bool(L"bAutoGenerateMipMaps"));
    EXPECT_EQ(made.Has(L"bSupportUAVs"), AtLeast(5, 2));
    EXPECT_FALSE(made.Bool(L"bSupportUAVs"));
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u);

    // Registration activated the component already: only a reset starts it afresh.
    const Sim::RecordedCall activate = Sim::LastCall(component, L"Activate");
    EXPECT_EQ(activate.Count(), 1u);
    EXPECT_TRUE(activate.Bool(L"bReset"));
    EXPECT_EQ(Sim::Observations().componentActivations, activationsBefore + 1) << "the reset, on a component already active";
    EXPECT_FALSE(Sim::LastCall(CaptureActor(), L"SetActorEnableCollision").Bool(L"bNewActorEnableCollision"));
    EXPECT_FALSE(Sim::LastCall(CaptureActor(), L"SetActorTickEnabled").Bool(L"bEnabled"));
}

// Configuring a capture puts it back to a lit, final-colour, orthographic view that renders
// only when asked, whatever the component held (a game blueprint may change its defaults); the
// unlit view mode exists only on the newer engine.
TEST_P(CaptureOnEngine, ConfiguringPutsEveryRenderingSettingBackWhateverTheComponentHeld)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    UObject* component = Component();
    ASSERT_NE(component, nullptr);
    auto* unlit = static_cast<std::uint8_t*>(FieldAddress(component, L"UnlitViewmode"));
    EXPECT_EQ(unlit != nullptr, GetParam().first >= 5);
    if (unlit != nullptr)
    {
        *unlit = 1;
    }
    *static_cast<std::uint8_t*>(FieldAddress(component, L"ProjectionType")) = 0;
    *static_cast<std::uint8_t*>(FieldAddress(component, L"CaptureSource")) = 0;
    *static_cast<float*>(FieldAddress(component, L"OrthoWidth")) = 512.0f;
    *static_cast<float*>(FieldAddress(component, L"MaxViewDistanceOverride")) = -1.0f;
    *static_cast<float*>(FieldAddress(component, L"LODDistanceFactor")) = 1.0f;
    Sim::ForgetCalls();

    capture_->workingZoom = 6000.0f;
    capture_->ConfigureCaptureComponent(component);
    if (unlit != nullptr)
    {
        EXPECT_EQ(*unlit, 0) << "lit";
    }
    EXPECT_EQ(ValueField<std::uint8_t>(component, L"ProjectionType"), 1);
    EXPECT_EQ(ValueField<std::uint8_t>(component, L"CaptureSource"), 2);
    EXPECT_EQ(RealField(component, L"OrthoWidth"), 6000.0) << "the zoom in use";
    EXPECT_EQ(RealField(component, L"MaxViewDistanceOverride"), 14000.0);
    EXPECT_EQ(RealField(component, L"LODDistanceFactor"), 2.0);
    EXPECT_TRUE(Sim::LastCall(component, L"Activate").Bool(L"bReset"));
    // The weather and shadow flags go through the setter where the engine has one (5.5), else
    // straight into the settings.
    EXPECT_EQ(Sim::CallCount(component, L"SetShowFlagSettings"), AtLeast(5, 5) ? 1u : 0u);
    EXPECT_EQ(ShowFlags(component).size(), 17u);
    EXPECT_EQ(Sim::CallCount(component, L"HideActorComponents"), 1u) << "the player hidden again";
}

INSTANTIATE_TEST_SUITE_P(Engines, CaptureOnEngine, ::testing::Values(std::pair{4, 27}, std::pair{5, 1}, std::pair{5, 5}),
                         EngineName);

TEST_F(CaptureObjects, TheTargetSideFollowsTheMapSizeAndRenderScaleAndSurvivesCollectionOnlyWhileRooted)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession({}, [](CaptureMod& mod) {
        mod.workingSize = 300.0;
        mod.workingRenderScale = 1.0f;
    });
    EXPECT_EQ(mod_->RenderTargetSize(), 320);
    UObject* first = RenderTarget();

    // The capture actor goes with the collector; the next frame makes a new capture, and the
    // first target is let go rather than kept rooted for the rest of the game.
    Sim::DestroyActor(CaptureActor());
    Sim::CollectGarbage();
    Frame();
    ASSERT_NE(CaptureActor(), nullptr);
    UObject* target = RenderTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_FALSE(Sim::HoldsObject(first) && first != target && IsRooted(first));
    Sim::CollectGarbage();
    EXPECT_TRUE(Sim::HoldsObject(target)) << "rooted while the session lives";
    EXPECT_TRUE(IsRooted(target));

    // The player's pawn goes: the session ends and lets go of its target.
    Sim::DestroyActor(pawn_);
    Frame();
    EXPECT_EQ(RenderTarget(), nullptr);
    EXPECT_FALSE(IsRooted(target));
    Sim::CollectGarbage();
    EXPECT_FALSE(Sim::HoldsObject(target));
}

TEST_F(CaptureObjects, ResizingMakesANewSideAndAFreshPictureAndNothingWhenTheSideIsTheSame)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    CallCounter resizes(L"/Script/Engine.KismetRenderingLibrary:ResizeRenderTarget2D");
    const auto captures = Sim::Observations().captureScenes;

    capture_->workingSize = 287.0; // 1148 pixels: still 1152
    capture_->ResizeRenderTarget();
    EXPECT_EQ(resizes.Count(), 0);
    EXPECT_EQ(Sim::Observations().captureScenes, captures);

    capture_->workingSize = 720.0;
    capture_->ResizeRenderTarget();
    EXPECT_EQ(resizes.Count(), 1);
    EXPECT_EQ(mod_->RenderTargetSize(), 2880);
    Sim::RenderTargetImage image;
    ASSERT_TRUE(Sim::ReadRenderTarget(RenderTarget(), image));
    EXPECT_EQ(image.width, 2880);
    EXPECT_EQ(image.height, 2880);
    EXPECT_EQ(Sim::Observations().captureScenes, captures + 1) << "the new target gets its picture at once";
    const Sim::RecordedCall resized = Sim::LastCallOf(L"/Script/Engine.KismetRenderingLibrary:ResizeRenderTarget2D");
    EXPECT_EQ(resized.Object(L"TextureRenderTarget"), RenderTarget());
    EXPECT_EQ(resized.Number(L"Width"), 2880.0);
    EXPECT_EQ(resized.Number(L"Height"), 2880.0);
    // The map image is pointed at the target again, so it draws the new size.
    const Sim::RecordedCall brush = Sim::LastCall(Session().widget.mapImage, L"SetBrushResourceObject");
    EXPECT_EQ(brush.Count(), 2u) << "once when the HUD was built, once now";
    EXPECT_EQ(brush.Object(L"ResourceObject"), RenderTarget());

    capture_->workingRenderScale = 0.25f;
    capture_->workingSize = 160.0;
    capture_->ResizeRenderTarget();
    EXPECT_EQ(mod_->RenderTargetSize(), 64);
}

TEST_F(CaptureObjects, AResizeTheEngineCannotMakeChangesNothing)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Engine.KismetRenderingLibrary:ResizeRenderTarget2D"));
    capture_->workingSize = 720.0;
    capture_->ResizeRenderTarget();
    EXPECT_EQ(mod_->RenderTargetSize(), 1152);
    Sim::RenderTargetImage image;
    ASSERT_TRUE(Sim::ReadRenderTarget(RenderTarget(), image));
    EXPECT_EQ(image.width, 1152);
}

std::int64_t CaptureFailureReports(const std::vector<Sim::LogLine>& lines)
{
    return std::count_if(lines.begin(), lines.end(), [](const Sim::LogLine& line) {
        return line.text.find(L"The minimap capture could not be created for the active session.") != std::wstring::npos;
    });
}

TEST_F(CaptureObjects, AGameWithoutTheCaptureActorClassHasNoCaptureAndSaysSoOnce)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame({.missingClasses = {L"/Script/Engine.SceneCapture2D"}});
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartSession();
    FramesFor(2 * Orv::kSecond);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 0u);
    EXPECT_EQ(Sim::Observations().addToViewport, 0u) << "no HUD without a picture";
    EXPECT_EQ(CaptureFailureReports(Lines()), 1);
}

TEST_F(CaptureObjects, ACaptureThatCannotBeTurnedToLookDownIsDestroyedAtOnce)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ORV_SKIP_IF_SANITIZED();
    Sim::MakeFunctionFault(Sim::FindFunctionByPath(L"/Script/Engine.Actor:K2_SetActorRotation"), Sim::FaultKind::NullWrite);
    StartSession();
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u);
    EXPECT_EQ(Sim::Observations().addToViewport, 0u);
    EXPECT_EQ(CaptureFailureReports(Lines()), 1);
}

class CaptureWithoutProperty : public CaptureFixture, public ::testing::WithParamInterface<std::pair<const wchar_t*, bool>>
{
};

// A component that cannot be made to render orthographically into the target, and only when
// asked, is no capture; the view distance, detail factor and rotation mode are extras.
TEST_P(CaptureWithoutProperty, OnlyTheRenderingEssentialsAreRequired)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    const auto [missing, required] = GetParam();
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame({.missingProperties = {missing}});
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartSession();
    if (required)
    {
        EXPECT_EQ(Session().discovery.pawn, nullptr) << "the session is given up and retried";
        EXPECT_EQ(Sim::Observations().captureActorsDestroyed, Sim::Observations().captureActorsSpawned);
    }
    else
    {
        EXPECT_NE(Component(), nullptr);
        EXPECT_EQ(Session().discovery.pawn, pawn_);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Properties, CaptureWithoutProperty,
    ::testing::Values(std::pair{L"/Script/Engine.SceneCaptureComponent2D:ProjectionType", true},
                      std::pair{L"/Script/Engine.SceneCaptureComponent2D:OrthoWidth", true},
                      std::pair{L"/Script/Engine.SceneCaptureComponent2D:TextureTarget", true},
                      std::pair{L"/Script/Engine.SceneCaptureComponent:bCaptureEveryFrame", true},
                      std::pair{L"/Script/Engine.SceneCaptureComponent:bCaptureOnMovement", true},
                      std::pair{L"/Script/Engine.SceneCaptureComponent2D:CaptureSource", true},
                      std::pair{L"/Script/Engine.SceneComponent:bAbsoluteRotation", false},
                      std::pair{L"/Script/Engine.SceneCaptureComponent:bAlwaysPersistRenderingState", false},
                      std::pair{L"/Script/Engine.SceneCaptureComponent:MaxViewDistanceOverride", false},
                      std::pair{L"/Script/Engine.SceneCaptureComponent:LODDistanceFactor", false}),
    [](const auto& property) {
        std::wstring path = property.param.first;
        std::string name;
        for (wchar_t c : path.substr(path.find(L':') + 1))
        {
            name.push_back(static_cast<char>(c));
        }
        return name;
    });

// The engine's accessor for the component is plain C++: a build that does not reflect the
// component leaves the mod no way to it, and no half-made capture behind.
TEST_F(CaptureObjects, ACaptureActorWithoutAReflectedComponentIsNoCapture)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame({.missingProperties = {L"/Script/Engine.SceneCapture2D:CaptureComponent2D"}});
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartSession();
    EXPECT_EQ(Component(), nullptr);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u) << "the teardown takes the actor out again";
    EXPECT_EQ(Sim::LastCallOf(L"/Script/Engine.SceneCaptureComponent2D:CaptureScene").Count(), 0u);
}

TEST_F(CaptureObjects, ARenderTargetThatCannotBeMadeLeavesNoCaptureAndIsReportedOnce)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D"));
    StartSession();
    EXPECT_EQ(CaptureActor(), nullptr);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 0u);
    EXPECT_EQ(mod_->RenderTargetSize(), 256) << "the side is only taken once the library is there";
    FramesFor(3 * Orv::kSecond);
    const auto lines = Lines();
    const auto reports = std::count_if(lines.begin(), lines.end(), [](const Sim::LogLine& line) {
        return line.text.find(L"The minimap capture could not be created for the active session.") != std::wstring::npos;
    });
    EXPECT_EQ(reports, 1);
}

TEST_F(CaptureObjects, ARenderTargetCallThatFaultsLeavesNoCapture)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    ORV_SKIP_IF_SANITIZED();
    Sim::MakeFunctionFault(Sim::FindFunctionByPath(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D"),
                           Sim::FaultKind::NullWrite);
    StartSession();
    EXPECT_EQ(RenderTarget(), nullptr);
    EXPECT_EQ(CaptureActor(), nullptr);
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 0u);
}

// Each load marks everything inside the old world pending kill, rooted or not: a target the
// mod roots must not sit inside a world, or it fails the engine's check and keeps that world.
TEST_P(CaptureOnEngine, WorldChangesLeaveTheCaptureToTheDyingWorldAndKeepOneWorldAlive)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    CallCounter destroys(L"/Script/Engine.Actor:K2_DestroyActor");
    constexpr int kLoads = 20;
    UWorld* last = nullptr;
    for (int load = 0; load < kLoads; ++load)
    {
        last = Sim::CreateWorld(load % 2 == 0 ? L"Caves" : L"Valley");
        Sim::Travel(gameInstance_, last);
        Sim::EnterLocalPlayer(last);
        FramesFor(Orv::kSecond);
    }
    EXPECT_EQ(destroys.Count(), 0) << "the dying world takes its actors with it";
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, kLoads + 1u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, static_cast<std::uint64_t>(kLoads));
    ASSERT_NE(CaptureActor(), nullptr);
    EXPECT_EQ(CaptureActor()->GetWorld(), last);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u) << (Sim::FailedChecks().empty() ? "" : Sim::ToUtf8(Sim::FailedChecks().front()));
    Sim::CollectGarbage();
    EXPECT_EQ(Sim::LiveWorldCount(), 1u);
    ASSERT_EQ(Sim::RenderTargets().size(), 1u) << "every old target was let go";
    EXPECT_EQ(Sim::RenderTargets().front(), RenderTarget());
    EXPECT_TRUE(IsRooted(RenderTarget()));
}

// Pending kill is no proof the engine will free it: a rooted object stays until it is unrooted.
TEST_F(CaptureObjects, ATargetMarkedPendingKillIsStillUnrootedAtTheTeardown)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    UObject* marked = RenderTarget();
    ASSERT_NE(marked, nullptr);
    Sim::MarkPendingKill(marked);
    UWorld* caves = Sim::CreateWorld(L"Caves");
    Sim::Travel(gameInstance_, caves);
    Sim::EnterLocalPlayer(caves);
    FramesFor(Orv::kSecond);
    ASSERT_NE(RenderTarget(), nullptr);
    Sim::CollectGarbage();
    EXPECT_EQ(Sim::RenderTargets(), std::vector<UObject*>{RenderTarget()}) << "the marked target was let go";
}

// Before 5.5 the settings are only a property, which the renderer copied when the component
// registered at its spawn: the flags are written there all the same, and the picture keeps
// the engine's own flags. From 5.5 the setter hands them to the renderer at once.
class ShowFlagsOnEngine : public CaptureOnEngine
{
};

TEST_P(ShowFlagsOnEngine, WeatherThenShadowsAreTurnedOffAndAnEmptyListClearsEarlierOnes)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    const std::vector<std::wstring> weather = {L"Fog",       L"VolumetricFog", L"Atmosphere",  L"Cloud",
                                               L"Particles", L"Niagara",       L"LightShafts", L"LensFlares",
                                               L"Bloom",     L"MotionBlur",    L"DepthOfField"};
    const std::vector<std::wstring> shadows = {L"DynamicShadows",  L"CapsuleShadows",   L"ContactShadows",
                                               L"DistanceFieldAO", L"AmbientOcclusion", L"ScreenSpaceAO"};
    auto names = [](const std::vector<std::pair<std::wstring, bool>>& flags) {
        std::vector<std::wstring> out;
        for (const auto& [name, enabled] : flags)
        {
            EXPECT_FALSE(enabled) << "every flag sent turns its feature off";
            out.push_back(name);
        }
        return out;
    };
    const bool setter = AtLeast(5, 5);
    auto drawn = [&](const std::vector<std::wstring>& sent) { return setter ? sent : std::vector<std::wstring>{}; };
    Orv::Settings().HideWeather = true;
    Orv::Settings().Shadows = false;
    StartSession();
    std::vector<std::wstring> both = weather;
    both.insert(both.end(), shadows.begin(), shadows.end());
    EXPECT_EQ(names(ShowFlags(Component())), both);
    EXPECT_EQ(Sim::CaptureShowFlagsOff(Component()), drawn(both));

    Orv::Settings().Shadows = true;
    capture_->ApplyShowFlags();
    EXPECT_EQ(names(ShowFlags(Component())), weather);
    EXPECT_EQ(Sim::CaptureShowFlagsOff(Component()), drawn(weather));

    Orv::Settings().HideWeather = false;
    Orv::Settings().Shadows = false;
    capture_->ApplyShowFlags();
    EXPECT_EQ(names(ShowFlags(Component())), shadows);
    EXPECT_EQ(Sim::CaptureShowFlagsOff(Component()), drawn(shadows));

    CallCounter sent(L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings");
    Orv::Settings().Shadows = true;
    capture_->ApplyShowFlags();
    EXPECT_EQ(sent.Count(), setter ? 1 : 0) << "sent even with nothing to turn off";
    EXPECT_TRUE(ShowFlags(Component()).empty());
    EXPECT_TRUE(Sim::CaptureShowFlagsOff(Component()).empty());
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u);
}

TEST_P(ShowFlagsOnEngine, ASettingWithoutItsSwitchLeavesNoList)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Sim::ResetEngine({.VersionMajor = GetParam().first,
                      .VersionMinor = GetParam().second,
                      .MissingProperties = {L"/Script/Engine.EngineShowFlagsSetting:Enabled"}});
    Sim::DefineDefaultGame();
    Sim::AdvanceClock(7 * Orv::kSecond);
    CallCounter sent(L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings");
    StartSession();
    ASSERT_NE(Component(), nullptr) << "the flags are an extra";
    EXPECT_EQ(sent.Count(), 0);
    auto* settings = static_cast<RC::Unreal::FArrayProperty*>(PropertyNamed(Component()->GetClassPrivate(), L"ShowFlagSettings"));
    EXPECT_EQ(Sim::ArrayNum(settings->ContainerPtrToValuePtr<void>(Component())), 0) << "no half-made list is left";
    EXPECT_TRUE(Sim::CaptureShowFlagsOff(Component()).empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, ShowFlagsOnEngine, ::testing::Values(std::pair{5, 1}, std::pair{5, 5}), EngineName);

TEST_F(CaptureObjects, HidingCoversThePlayerAndEverythingAttachedAndIsRebuiltEachTime)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    EXPECT_EQ(HiddenActors(Component()), std::vector<UObject*>{pawn_}) << "a pawn with nothing attached is hidden alone";

    UObject* lantern = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    UObject* flame = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    UObject* bystander = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    Sim::AttachActor(lantern, pawn_);
    Sim::AttachActor(flame, lantern);
    capture_->HidePlayer();
    EXPECT_EQ(HiddenActors(Component()), (std::vector<UObject*>{pawn_, lantern, flame}))
        << "attachments of attachments too";

    Sim::DestroyActor(lantern);
    Sim::DestroyActor(flame);
    capture_->HidePlayer();
    EXPECT_EQ(HiddenActors(Component()), std::vector<UObject*>{pawn_}) << "what was put away is no longer hidden";
    static_cast<void>(bystander);

    // Both of the character's primitives go, the capsule and the mesh.
    auto* hidden = static_cast<RC::Unreal::FArrayProperty*>(PropertyNamed(Component()->GetClassPrivate(), L"HiddenComponents"));
    EXPECT_EQ(Sim::ArrayNum(hidden->ContainerPtrToValuePtr<void>(Component())), 2);

    // Gear the character's blueprint carries as child actors goes with it; the attachments are
    // asked for afresh, all the way down.
    UObject* backpack = Sim::AddChildActor(pawn_, L"/Script/Engine.StaticMeshActor");
    capture_->HidePlayer();
    EXPECT_TRUE(Contains(HiddenActors(Component()), backpack));
    const Sim::RecordedCall hide = Sim::LastCall(Component(), L"HideActorComponents");
    EXPECT_TRUE(hide.Bool(L"bIncludeFromChildActors"));
    const Sim::RecordedCall attached = Sim::LastCall(pawn_, L"GetAttachedActors");
    EXPECT_TRUE(attached.Bool(L"bResetArray"));
    EXPECT_TRUE(attached.Bool(L"bRecursivelyIncludeAttachedActors"));
}

TEST_F(CaptureObjects, ACaptureTheWorldWillNotSpawnIsReportedAndTheSessionGivenUp)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    // The world starts tearing down while nothing has told the mod yet: its actors still live,
    // but the engine spawns nothing more into it.
    UObject* elsewhere = Sim::CreateGameInstance(world_);
    Sim::SetSilentEvents(true);
    Sim::TravelSeamless(elsewhere, Sim::CreateWorld(L"Caves"), 3);
    Sim::SetSilentEvents(false);
    Sim::DestroyActor(CaptureActor());
    Sim::CollectGarbage();
    const auto removed = Sim::Observations().removeFromParent;
    Frame();
    EXPECT_EQ(Sim::Observations().captureActorsSpawned, 1u);
    EXPECT_EQ(CaptureFailureReports(Lines()), 1);
    EXPECT_EQ(Sim::Observations().removeFromParent, removed + 1) << "the session's HUD is taken down";
}

TEST_F(CaptureObjects, TheFrameDriverHidesThePlayerEveryHalfMinuteAndAfterEquipmentChanges)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    UObject* sword = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    Sim::AttachActor(sword, pawn_);
    FramesFor(29 * Orv::kSecond);
    EXPECT_EQ(HiddenActors(Component()).size(), 1u) << "not looked at again within 30 s";
    FramesFor(Orv::kSecond + kFrameNs);
    EXPECT_EQ(HiddenActors(Component()).size(), 2u);

    UObject* shield = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    Sim::AttachActor(shield, pawn_);
    Sim::CallScriptFunction(Sim::ObjectReference(pawn_, L"EquipmentComponent"), L"OnRep_HeldEquipmentActorRight");
    Frame();
    EXPECT_EQ(HiddenActors(Component()).size(), 3u) << "an equipment event hides the new gear on the next frame";
}

// What the frame driver hides reaches the picture: gear taken up shows with the player's dot
// until the game tells of it, and is gone from the next pictures after that.
TEST_F(CaptureObjects, GearTakenUpShowsInThePictureUntilTheGameTellsOfIt)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartSession();
    // The player stands on even ground: where it is hidden, its place looks like the ground
    // beside it.
    const auto playerShows = [this] {
        Sim::RenderTargetImage image;
        EXPECT_TRUE(Sim::ReadRenderTarget(RenderTarget(), image));
        const auto pixel = [&image](int column) {
            const std::size_t at = (static_cast<std::size_t>(image.height / 2) * static_cast<std::size_t>(image.width) +
                                    static_cast<std::size_t>(column)) * 4;
            return std::vector<std::uint8_t>(image.rgba.begin() + static_cast<std::ptrdiff_t>(at),
                                             image.rgba.begin() + static_cast<std::ptrdiff_t>(at + 3));
        };
        return pixel(image.width / 2) != pixel(image.width / 2 + 40);
    };
    FramesFor(Orv::kSecond / 2);
    ASSERT_FALSE(playerShows());

    UObject* sword = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    Sim::AttachActor(sword, pawn_);
    FramesFor(Orv::kSecond / 2);
    EXPECT_TRUE(playerShows()) << "hidden at the next half-minute, or when the game tells";
    Sim::CallScriptFunction(Sim::ObjectReference(pawn_, L"EquipmentComponent"), L"OnRep_HeldEquipmentActorRight");
    FramesFor(Orv::kSecond / 2);
    EXPECT_FALSE(playerShows());
}

TEST_F(CaptureObjects, WithHidingOffThePlayerStaysInThePicture)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    Orv::Settings().HidePlayer = false;
    StartSession();
    Sim::CallScriptFunction(Sim::ObjectReference(pawn_, L"EquipmentComponent"), L"OnRep_HeldEquipmentActorRight");
    FramesFor(31 * Orv::kSecond);
    EXPECT_TRUE(HiddenActors(Component()).empty());
}
} // namespace
