// The engine versions the stand-in plays, each with what its headers declare of the calls and
// members a mod reaches: a mod that writes a parameter its version lacks fails there as it
// would in the game, so what each version has must be right here.
#include "support/EngineFixture.hpp"

#include <Sim/Types.hpp>

#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

struct Declares
{
    int major;
    int minor;
    bool supportUAVs;
    bool showFlagSetter;
    bool hitActor;
    bool hitObjectHandle;
    bool unlitViewmode;
};

class EngineVersionDeclarations : public OrvTest::EngineFixture, public ::testing::WithParamInterface<Declares>
{
  protected:
    void SetUp() override { StartEngine(GetParam().major, GetParam().minor); }

    static bool Has(const wchar_t* owner, const wchar_t* member)
    {
        auto* found = Sim::FindObjectByPath(owner);
        return found != nullptr && Sim::FindPropertyUncounted(static_cast<UStruct*>(found), member) != nullptr;
    }
};

TEST_P(EngineVersionDeclarations, EachVersionHasTheFunctionsParametersAndMembersItsHeadersDeclare)
{
    const Declares& version = GetParam();
    EXPECT_EQ(Has(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D", L"bSupportUAVs"), version.supportUAVs);
    EXPECT_TRUE(Has(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D", L"bAutoGenerateMipMaps"));
    EXPECT_EQ(Sim::FindFunctionByPath(L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings") != nullptr,
              version.showFlagSetter);
    EXPECT_TRUE(Has(L"/Script/Engine.SceneCaptureComponent", L"ShowFlagSettings")) << "the settings are a property on every version";
    EXPECT_EQ(Has(L"/Script/Engine.HitResult", L"Actor"), version.hitActor);
    EXPECT_EQ(Has(L"/Script/Engine.HitResult", L"HitObjectHandle"), version.hitObjectHandle);
    EXPECT_TRUE(Has(L"/Script/Engine.HitResult", L"ImpactPoint"));
    EXPECT_TRUE(Has(L"/Script/Engine.SceneCaptureComponent:HideActorComponents", L"bIncludeFromChildActors"));
    EXPECT_EQ(Has(L"/Script/Engine.SceneCaptureComponent2D", L"UnlitViewmode"), version.unlitViewmode);

    // A parameter a version lacks is not in the function at all.
    auto* create = Sim::FindFunctionByPath(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D");
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->GetNumParms(), version.supportUAVs ? 8 : 7);
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineVersionDeclarations,
                         ::testing::Values(Declares{4, 27, false, false, true, false, false},
                                           Declares{5, 1, false, false, false, true, true},
                                           Declares{5, 5, true, true, false, true, true}),
                         [](const auto& engine) {
                             return "UE" + std::to_string(engine.param.major) + "_" + std::to_string(engine.param.minor);
                         });

TEST(EngineVersions, TheStandInPlaysThreeVersionsNamedInFullOrByTheirShortNames)
{
    EXPECT_EQ(Sim::OfferedEngineVersions(),
              (std::vector<Sim::EngineVersion>{{4, 27}, {5, 1}, {5, 5}}));
    const std::vector<std::pair<std::string, Sim::EngineVersion>> named = {
        {"4.27", {4, 27}}, {"5.1", {5, 1}}, {"5.5", {5, 5}}, {"4", {4, 27}}, {"5", {5, 5}}};
    for (const auto& [text, expected] : named)
    {
        Sim::EngineVersion version{0, 0};
        EXPECT_TRUE(Sim::ParseEngineVersion(text, version)) << text;
        EXPECT_EQ(version, expected) << text;
    }
    for (const std::string text : {"5.2", "5.0", "4.26", "6", "", "5.", "5.5.0", " 5.5", "5.10"})
    {
        Sim::EngineVersion version{0, 0};
        EXPECT_FALSE(Sim::ParseEngineVersion(text, version)) << text;
        EXPECT_EQ(version, (Sim::EngineVersion{0, 0})) << "left alone: " << text;
    }
}

// Members a build leaves out go the same way as a version's: whole functions and parameters too.
TEST(EngineVersions, ABuildCanLackAFunctionOrAParameterAsAVersionDoes)
{
    Sim::ResetEngine({.VersionMajor = 5,
                      .VersionMinor = 5,
                      .MissingProperties = {L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings",
                                            L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D:bAutoGenerateMipMaps"}});
    Sim::DefineDefaultGame();
    EXPECT_EQ(Sim::FindFunctionByPath(L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings"), nullptr);
    auto* create = Sim::FindFunctionByPath(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D");
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(Sim::FindPropertyUncounted(create, L"bAutoGenerateMipMaps"), nullptr);
    EXPECT_NE(Sim::FindPropertyUncounted(create, L"bSupportUAVs"), nullptr);
    Sim::ResetEngine();
}
} // namespace
