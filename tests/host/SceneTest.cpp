// What the capture and the game's queries see of a world: traces meet roofs, ceilings and the
// dungeon's upper floor where they are; the dungeon and shelter answers; the day turning to
// night; the picture a capture draws (roof or floor by camera height, hidden actors, haze,
// night, exposure, heading); render targets as the rendering library makes, resizes and the
// collector keeps them. A camera mod is only as well tested as this scene is right.
#include "support/EngineFixture.hpp"

#include <Sim/Scene.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/FStrProperty.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

constexpr float kFrame = 1.0f / 60.0f;

// The field every test plays in, on flat ground at 0: a house east of the origin, and west of
// it a cave whose western half has a low ceiling and its eastern half a high one, with an upper
// level over its southern half.
constexpr Sim::Area kHouse{1000, -300, 1600, 300};
constexpr double kHouseFloor = 10;
constexpr double kHouseRoof = 460;
constexpr Sim::Area kCave{-4000, -1500, -1000, 1500};
constexpr double kCaveFloor = -3000;
constexpr double kLowCeiling = -2600;
constexpr double kHighCeiling = -2300;
constexpr double kUpperFloor = -1500;
constexpr double kUpperCeiling = -1100;

const Sim::Building kHouseDef{.footprint = kHouse, .floorZ = kHouseFloor, .roofZ = kHouseRoof};

bool IsFreed(const UObject* object) { return !Sim::HoldsObject(object); }

// A script call's parameter block as a mod builds it, vectors in the running engine's width.
class Parms
{
  public:
    explicit Parms(const wchar_t* path) : function_(Sim::FindFunctionByPath(path))
    {
        EXPECT_NE(function_, nullptr) << Sim::ToUtf8(path);
        bytes_.assign(function_ != nullptr ? function_->GetParmsSize() + 16u : 16u, 0);
    }

    uint8* At(const wchar_t* name) { return bytes_.data() + Param(name)->GetOffset_Internal(); }
    template <typename T> void Set(const wchar_t* name, T value) { std::memcpy(At(name), &value, sizeof(T)); }
    bool Bool(const wchar_t* name) { return static_cast<FBoolProperty*>(Param(name))->GetPropertyValue(At(name)); }
    void SetVector(const wchar_t* name, double x, double y, double z) { OrvTest::WriteEngineVector(At(name), x, y, z); }

    // A member of a struct parameter.
    uint8* Member(const wchar_t* name, const wchar_t* member)
    {
        auto* layout = static_cast<FStructProperty*>(Param(name))->GetStruct();
        return At(name) + Sim::FindPropertyUncounted(layout, member)->GetOffset_Internal();
    }

    void CallOn(UObject* target) { target->ProcessEvent(function_, bytes_.data()); }

  private:
    FProperty* Param(const wchar_t* name)
    {
        FProperty* property = Sim::FindPropertyUncounted(function_, name);
        EXPECT_NE(property, nullptr) << Sim::ToUtf8(name);
        return property;
    }

    UFunction* function_;
    std::vector<uint8> bytes_;
};

UObject* LibraryObject(const wchar_t* classPath) { return Sim::FindClass(classPath)->GetClassDefaultObject(); }

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) { return out << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

Rgb Of(Sim::Colour c) { return {c.r, c.g, c.b}; }

Rgb Scaled(Sim::Colour c, double factor)
{
    auto channel = [factor](int v) { return static_cast<int>(std::min(std::lround(v * factor), 255L)); };
    return {channel(c.r), channel(c.g), channel(c.b)};
}

// The field on an engine of the given version, and what the tests do with captures in it.
class SceneFixture : public OrvTest::EngineFixture
{
  protected:
    void SetUpScene(int major, int minor)
    {
        StartEngine(major, minor);
        world_ = Sim::CreateWorld(L"Field");
        Sim::AddBuilding(world_, kHouseDef);
        Sim::AddDungeon(world_, {.region = kCave,
                                 .floorZ = kCaveFloor,
                                 .ceilings = {{{-4000, -1500, -2500, 1500}, kLowCeiling}, {{-2500, -1500, -1000, 1500}, kHighCeiling}},
                                 .upperArea = {-4000, -1500, -1000, 0},
                                 .upperFloorZ = kUpperFloor,
                                 .upperCeilingZ = kUpperCeiling});
    }

    UObject* World() const { return reinterpret_cast<UObject*>(world_); }

    UObject* MakeRenderTarget(int32 width, int32 height)
    {
        Parms create(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D");
        create.Set(L"WorldContextObject", World());
        create.Set(L"Width", width);
        create.Set(L"Height", height);
        create.Set<uint8>(L"Format", 2);
        const float clear[4] = {0, 0, 0, 1};
        std::memcpy(create.At(L"ClearColor"), clear, sizeof(clear));
        create.CallOn(LibraryObject(L"/Script/Engine.KismetRenderingLibrary"));
        UObject* target = nullptr;
        std::memcpy(&target, create.At(L"ReturnValue"), sizeof(target));
        return target;
    }

    // A capture looking straight down from the placement, orthographic over width units,
    // drawing into a square target of its own; the engine's own captures are switched off.
    UObject* MakeCapture(Sim::Placement at, float width, int32 size = 32)
    {
        at.pitch = -90;
        UObject* actor = Sim::SpawnActor(world_, L"/Script/Engine.SceneCapture2D", at);
        UObject* component = Sim::ObjectReference(actor, L"CaptureComponent2D");
        EXPECT_NE(component, nullptr);
        *Field<uint8>(component, L"ProjectionType") = 1;
        *Field<float>(component, L"OrthoWidth") = width;
        SetBit(component, L"bCaptureEveryFrame", false);
        SetBit(component, L"bCaptureOnMovement", false);
        Sim::SetObjectReference(component, L"TextureTarget", MakeRenderTarget(size, size));
        return component;
    }

    static void Capture(UObject* component)
    {
        Sim::CallScriptFunction(component, L"CaptureScene");
    }

    static Rgb Pixel(UObject* component, int32 column, int32 row)
    {
        Sim::RenderTargetImage image;
        EXPECT_TRUE(Sim::ReadRenderTarget(Sim::ObjectReference(component, L"TextureTarget"), image));
        const std::size_t at = (static_cast<std::size_t>(row) * static_cast<std::size_t>(image.width) +
                                static_cast<std::size_t>(column)) *
                               4;
        return {image.rgba[at], image.rgba[at + 1], image.rgba[at + 2]};
    }

    static Rgb Centre(UObject* component) { return Pixel(component, 16, 16); }

    template <typename T> static T* Field(UObject* object, const wchar_t* name)
    {
        return Sim::FindPropertyUncounted(object->GetClassPrivate(), name)->ContainerPtrToValuePtr<T>(object);
    }

    static void SetBit(UObject* object, const wchar_t* name, bool value)
    {
        auto* property = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(object->GetClassPrivate(), name));
        property->SetPropertyValue(property->ContainerPtrToValuePtr(object), value);
    }

    using FlagList = std::vector<std::pair<std::wstring, bool>>;

    // An engine array of show flag settings (of the list property's layout) filled in place.
    static void FillFlagList(FArrayProperty* list, void* value, const FlagList& flags)
    {
        auto* layout = static_cast<FStructProperty*>(list->GetInner())->GetStruct();
        for (const auto& [name, enabled] : flags)
        {
            Sim::ArrayAdd(list, value, [&](void* element) {
                Sim::WriteString(static_cast<uint8*>(element) + Sim::FindPropertyUncounted(layout, L"ShowFlagName")->GetOffset_Internal(), name);
                auto* on = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(layout, L"Enabled"));
                on->SetPropertyValue(on->ContainerPtrToValuePtr(element), enabled);
            });
        }
    }

    // Straight into the component's settings, as a mod without the setter writes them.
    static void WriteShowFlagSettings(UObject* component, const FlagList& flags)
    {
        auto* list = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(component->GetClassPrivate(), L"ShowFlagSettings"));
        void* value = list->ContainerPtrToValuePtr<void>(component);
        list->DestroyValue(value);
        list->InitializeValue(value);
        FillFlagList(list, value, flags);
    }

    // Through the component's own setter (engine 5.5), as a mod hands over its list.
    static void SendShowFlags(UObject* component, const FlagList& flags)
    {
        auto* function = Sim::FindFunctionByPath(L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings");
        ASSERT_NE(function, nullptr);
        auto* list = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(function, L"InShowFlagSettings"));
        std::vector<uint8> parms(function->GetParmsSize() + 16u, 0);
        void* value = parms.data() + list->GetOffset_Internal();
        list->InitializeValue(value);
        FillFlagList(list, value, flags);
        component->ProcessEvent(function, parms.data());
        list->DestroyValue(value);
    }

    // Into the settings, then registered again so the renderer takes them, as a capture placed
    // in a level has its flags from the start on every engine version.
    static void SetShowFlags(UObject* component, const FlagList& flags)
    {
        WriteShowFlagSettings(component, flags);
        Sim::ReregisterComponent(component);
    }

    static void ClearAir(UObject* component)
    {
        SetShowFlags(component, {{L"Fog", false}, {L"Atmosphere", false}, {L"DynamicShadows", false}});
    }

    static void SetExposure(UObject* component, bool override, float bias, float weight)
    {
        auto* settings = static_cast<FStructProperty*>(Sim::FindPropertyUncounted(component->GetClassPrivate(), L"PostProcessSettings"));
        void* value = settings->ContainerPtrToValuePtr(component);
        auto* flag = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(settings->GetStruct(), L"bOverride_AutoExposureBias"));
        flag->SetPropertyValue(flag->ContainerPtrToValuePtr(value), override);
        *Sim::FindPropertyUncounted(settings->GetStruct(), L"AutoExposureBias")->ContainerPtrToValuePtr<float>(value) = bias;
        *Field<float>(component, L"PostProcessBlendWeight") = weight;
    }

    UWorld* world_ = nullptr;
};

class Scene : public SceneFixture, public ::testing::WithParamInterface<int>
{
  protected:
    void SetUp() override { SetUpScene(GetParam(), GetParam() == 4 ? 27 : 1); }
};

INSTANTIATE_TEST_SUITE_P(Engines, Scene, ::testing::Values(4, 5),
                         [](const auto& version) { return "UE" + std::to_string(version.param); });

TEST_P(Scene, TracesMeetRoofsCeilingsAndTheUpperFloorFromBelowAndMissTheOpenSky)
{
    struct Case
    {
        const char* name;
        std::array<double, 3> start, end;
        bool hit;
        std::array<double, 3> impact;
    };
    const double up = 3000;
    const std::vector<Case> cases = {
        {"the house's roof from its floor", {1300, 0, 100}, {1300, 0, up}, true, {1300, 0, kHouseRoof}},
        {"the roof from above", {1300, 0, 1000}, {1300, 0, 0}, true, {1300, 0, kHouseRoof}},
        {"nothing over open ground", {0, 0, 100}, {0, 0, up}, false, {}},
        {"the ground from above", {0, 0, 100}, {0, 0, -100}, true, {0, 0, 0}},
        {"the cave's low ceiling", {-3000, -500, kCaveFloor + 90}, {-3000, -500, kCaveFloor + up}, true, {-3000, -500, kLowCeiling}},
        {"on past it, the upper floor", {-3000, -500, kLowCeiling + 50}, {-3000, -500, kLowCeiling + up}, true,
         {-3000, -500, kUpperFloor}},
        {"on past that, the upper level's ceiling", {-3000, -500, kUpperFloor + 50}, {-3000, -500, kUpperFloor + up}, true,
         {-3000, -500, kUpperCeiling}},
        {"and the ground over the cave from below", {-3000, -500, kUpperCeiling + 50}, {-3000, -500, 1000}, true, {-3000, -500, 0}},
        {"the high ceiling", {-2000, 500, kCaveFloor + 90}, {-2000, 500, kCaveFloor + up}, true, {-2000, 500, kHighCeiling}},
        {"no upper level in the north", {-2000, 500, kHighCeiling + 50}, {-2000, 500, 1000}, true, {-2000, 500, 0}},
        {"the house's wall from outside", {800, 100, 100}, {1400, 100, 100}, true, {1000, 100, 100}},
        {"in through the door", {1300, -600, 100}, {1300, 0, 100}, false, {}},
        {"the lintel over the door", {1300, -600, 300}, {1300, 0, 300}, true, {1300, -300, 300}},
        {"a trace that ends short of the roof", {1300, 0, 100}, {1300, 0, 400}, false, {}},
    };
    UObject* library = LibraryObject(L"/Script/Engine.KismetSystemLibrary");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Parms trace(L"/Script/Engine.KismetSystemLibrary:LineTraceSingleByProfile");
        trace.Set(L"WorldContextObject", World());
        trace.SetVector(L"Start", c.start[0], c.start[1], c.start[2]);
        trace.SetVector(L"End", c.end[0], c.end[1], c.end[2]);
        trace.CallOn(library);
        ASSERT_EQ(trace.Bool(L"ReturnValue"), c.hit);
        if (c.hit)
        {
            auto impact = OrvTest::ReadEngineVector(trace.Member(L"OutHit", L"ImpactPoint"));
            for (int axis = 0; axis < 3; ++axis)
            {
                EXPECT_NEAR(impact[static_cast<std::size_t>(axis)], c.impact[static_cast<std::size_t>(axis)], 1e-3) << "axis " << axis;
            }
            const double length = std::hypot(c.end[0] - c.start[0], c.end[1] - c.start[1], c.end[2] - c.start[2]);
            const double distance = std::hypot(c.impact[0] - c.start[0], c.impact[1] - c.start[1], c.impact[2] - c.start[2]);
            float time = 0;
            float along = 0;
            std::memcpy(&time, trace.Member(L"OutHit", L"Time"), sizeof(time));
            std::memcpy(&along, trace.Member(L"OutHit", L"Distance"), sizeof(along));
            EXPECT_NEAR(time, distance / length, 1e-5);
            EXPECT_NEAR(along, distance, 1e-2);
        }
        auto direct = Sim::TraceLine(world_, c.start[0], c.start[1], c.start[2], c.end[0], c.end[1], c.end[2]);
        EXPECT_EQ(direct.hit, c.hit);
    }
}

TEST_P(Scene, TheGroundOfHillsIsWhereTracesMeetItFromEitherSide)
{
    Sim::SetTerrain(world_, Sim::RollingHills(5000, 50, 200, 7));
    double lowest = 1e9;
    double highest = -1e9;
    for (double x = -4000; x <= 4000; x += 250)
    {
        const double ground = Sim::GroundHeight(world_, x, 0.37 * x);
        lowest = std::min(lowest, ground);
        highest = std::max(highest, ground);
        auto down = Sim::TraceLine(world_, x, 0.37 * x, 1000, x, 0.37 * x, -1000);
        ASSERT_TRUE(down.hit);
        EXPECT_NEAR(down.z, ground, 1e-6);
        auto up = Sim::TraceLine(world_, x, 0.37 * x, -1000, x, 0.37 * x, 1000);
        ASSERT_TRUE(up.hit);
        EXPECT_NEAR(up.z, ground, 1e-6);
    }
    EXPECT_GT(highest - lowest, 100) << "hills, not a plain";
    EXPECT_LE(highest, 200);
    EXPECT_GE(lowest, -200);

    // A slanting trace stops on the slope, within a hair of the ground under the impact.
    auto slant = Sim::TraceLine(world_, -3000, -200, 600, 3000, 400, -600);
    ASSERT_TRUE(slant.hit);
    EXPECT_NEAR(slant.z, Sim::GroundHeight(world_, slant.x, slant.y), 0.01);
    EXPECT_EQ(Sim::RollingHills(5000, 50, 200, 7).heights, Sim::RollingHills(5000, 50, 200, 7).heights);
    EXPECT_NE(Sim::RollingHills(5000, 50, 200, 7).heights, Sim::RollingHills(5000, 50, 200, 8).heights);
}

TEST_P(Scene, TheDungeonIsTheCaveUnderTheGroundAndNothingElse)
{
    struct Case
    {
        const char* name;
        std::array<double, 3> at;
        bool inside;
    };
    const std::vector<Case> cases = {
        {"standing on the cave floor", {-3000, -500, kCaveFloor + 90}, true},
        {"on the upper level", {-3000, -500, kUpperFloor + 90}, true},
        {"on the ground above the cave", {-3000, -500, 90}, false},
        {"in the rock beside the cave", {0, 0, kCaveFloor + 90}, false},
        {"far under the cave floor", {-3000, -500, kCaveFloor - 2000}, false},
        {"in the house", {1300, 0, 100}, false},
    };
    UObject* library = LibraryObject(L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary");
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Parms query(L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary:IsLocationInsideDungeon");
        query.Set(L"WorldContextObject", World());
        query.SetVector(L"Location", c.at[0], c.at[1], c.at[2]);
        query.CallOn(library);
        EXPECT_EQ(query.Bool(L"ReturnValue"), c.inside);
        EXPECT_EQ(Sim::InsideDungeon(world_, c.at[0], c.at[1], c.at[2]), c.inside);
    }
    EXPECT_FALSE(Sim::InsideDungeon(Sim::CreateWorld(L"Plain"), -3000, -500, kCaveFloor + 90)) << "another world has no cave";
}

TEST_P(Scene, ShelterIsNoneInTheOpenAndFullUnderARoofOrACeiling)
{
    struct Case
    {
        const char* name;
        std::array<double, 3> at;
        float low, high;
    };
    const std::vector<Case> cases = {
        {"in the open", {0, 0, 100}, 0.0f, 0.0f},
        {"in the middle of the house", {1300, 0, 100}, 1.0f, 1.0f},
        {"outside, beside its wall", {900, 0, 100}, 0.1f, 0.45f},
        {"on the roof", {1300, 0, kHouseRoof + 90}, 0.0f, 0.0f},
        {"in the cave", {-3000, -500, kCaveFloor + 90}, 1.0f, 1.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const float score = Sim::ShelterScore(world_, c.at[0], c.at[1], c.at[2]);
        EXPECT_GE(score, c.low);
        EXPECT_LE(score, c.high);
    }
}

TEST_P(Scene, EveryFrameThePlayerCharactersShelterComponentScoresWhereTheCharacterStands)
{
    UObject* pawn = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {1300, 0, 100});
    UObject* shelter = Sim::ObjectReference(pawn, L"CharacterShelterComponent");
    ASSERT_NE(shelter, nullptr);
    auto* profile = static_cast<FStructProperty*>(Sim::FindPropertyUncounted(shelter->GetClassPrivate(), L"RoofTraceCollisionProfileName"));
    const auto* name = Sim::FindPropertyUncounted(profile->GetStruct(), L"Name")->ContainerPtrToValuePtr<FName>(profile->ContainerPtrToValuePtr(shelter));
    EXPECT_EQ(name->ToString(), L"RoofTrace") << "the profile is there before the first frame";

    auto* score = Field<float>(shelter, L"CachedValidityScore");
    EXPECT_EQ(*score, 0.0f);
    Sim::TickEngine(kFrame);
    EXPECT_GE(*score, 0.5f);
    Sim::SetActorPlacement(pawn, {0, 0, 100});
    Sim::TickEngine(kFrame);
    EXPECT_EQ(*score, 0.0f);
    Sim::SetActorPlacement(pawn, {-3000, -500, kCaveFloor + 90});
    Sim::TickEngine(kFrame);
    EXPECT_EQ(*score, 1.0f);
}

TEST_P(Scene, NightFallsAndDayBreaksOnTheClockAndTheGameHearsOfEachChangeOnce)
{
    std::vector<bool> heard;
    Sim::FindFunctionByPath(L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic")
        ->RegisterPostHook([&](UnrealScriptFunctionCallableContext& context, void*) { heard.push_back(context.TheStack.Locals()[0] != 0); });

    Sim::SetNight(world_, true);
    Sim::SetNight(world_, true);
    EXPECT_EQ(heard, (std::vector<bool>{true}));
    Sim::SetNight(world_, false);
    EXPECT_EQ(heard, (std::vector<bool>{true, false}));

    heard.clear();
    Sim::SetDayLength(world_, 1.0, 0.25);
    std::vector<int> flips;
    bool night = Sim::IsNight(world_);
    for (int frame = 1; frame <= 130; ++frame)
    {
        Sim::TickEngine(kFrame);
        if (Sim::IsNight(world_) != night)
        {
            night = !night;
            flips.push_back(frame);
        }
    }
    EXPECT_EQ(heard, (std::vector<bool>{true, false, true, false}));
    // Dusk three quarters into each 60-frame day, dawn at its end.
    EXPECT_EQ(flips, (std::vector<int>{45, 60, 105, 120}));

    Parms ask(L"/Script/Umbrafel.InGameTimeFunctionLibrary:IsNighttime");
    ask.Set(L"WorldContextObject", World());
    ask.CallOn(LibraryObject(L"/Script/Umbrafel.InGameTimeFunctionLibrary"));
    EXPECT_FALSE(ask.Bool(L"ReturnValue"));

    Sim::SetDayLength(world_, 0);
    Sim::SetNight(world_, true);
    for (int frame = 0; frame < 120; ++frame)
    {
        Sim::TickEngine(kFrame);
    }
    EXPECT_TRUE(Sim::IsNight(world_)) << "without a cycle the night stays";
}

TEST_P(Scene, ACaptureDrawsWhatLiesHighestUnderItsCameraLitByDayNightCaveAndExposure)
{
    const Sim::Colour roof = kHouseDef.roof;
    const Sim::Colour floor = kHouseDef.floor;
    const Sim::Colour caveFloor = Sim::Dungeon{}.floor;
    struct Case
    {
        const char* name;
        std::array<double, 3> camera;
        bool night;
        bool override;
        float bias, weight;
        Rgb expected;
    };
    const std::vector<Case> cases = {
        {"the roof from above the house", {1300, 0, 2000}, false, false, 0, 1, Of(roof)},
        {"the floor from under the roof", {1300, 0, kHouseRoof - 40}, false, false, 0, 1, Of(floor)},
        {"the roof by night", {1300, 0, 2000}, true, false, 0, 1, Scaled(roof, 0.25)},
        {"an exposure bias brightens", {1300, 0, 2000}, false, true, 1, 1, Scaled(roof, 2)},
        {"and lifts the night back", {1300, 0, 2000}, true, true, 2, 1, Of(roof)},
        {"at half weight, half the stops", {1300, 0, 2000}, false, true, 2, 0.5f, Scaled(roof, 2)},
        {"a bias not overridden does nothing", {1300, 0, 2000}, false, false, 3, 1, Of(roof)},
        {"the cave floor, dark by day", {-3000, -500, kCaveFloor + 300}, false, false, 0, 1, Scaled(caveFloor, 0.3)},
        {"and no darker by night", {-3000, -500, kCaveFloor + 300}, true, false, 0, 1, Scaled(caveFloor, 0.3)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Sim::SetNight(world_, c.night);
        UObject* component = MakeCapture({c.camera[0], c.camera[1], c.camera[2]}, 400);
        ClearAir(component);
        SetExposure(component, c.override, c.bias, c.weight);
        Capture(component);
        EXPECT_EQ(Centre(component), c.expected);
    }
}

TEST_P(Scene, HazeAndShadowsFollowTheShowFlags)
{
    // Looking down at the ground just beyond the house's far corner, where its shadow falls.
    UObject* component = MakeCapture({1700, 400, 3000}, 200);
    const Rgb grass{86, 140, 62};
    ClearAir(component);
    Capture(component);
    EXPECT_EQ(Centre(component), grass);

    SetShowFlags(component, {{L"Fog", false}, {L"Atmosphere", false}});
    Capture(component);
    const Rgb shaded = Centre(component);
    EXPECT_LT(shaded.g, grass.g) << "in the house's shadow";
    EXPECT_GT(shaded.g, grass.g / 2) << "a little darker, not black";

    SetShowFlags(component, {{L"DynamicShadows", false}});
    Capture(component);
    const Rgb hazy = Centre(component);
    EXPECT_GT(hazy.r, grass.r) << "haze is paler than grass";
    EXPECT_GT(hazy.b, grass.b);

    SetShowFlags(component, {{L"DynamicShadows", false}, {L"Fog", false}});
    Capture(component);
    const Rgb thinner = Centre(component);
    EXPECT_GT(thinner.r, grass.r) << "the atmosphere alone still hazes";
    EXPECT_LT(thinner.r, hazy.r);
}

// The renderer copies a capture's show flag settings when the component registers; only engine
// 5.5 has a setter that hands new ones over at once. A plain write shows nowhere until the
// component registers again.
class ShowFlagVersions : public SceneFixture, public ::testing::WithParamInterface<std::pair<int, int>>
{
  protected:
    void SetUp() override { SetUpScene(GetParam().first, GetParam().second); }
};

TEST_P(ShowFlagVersions, SettingsReachThePictureOnlyWhenTheRendererTakesThem)
{
    const bool setter = GetParam() >= std::pair{5, 5};
    EXPECT_EQ(Sim::FindFunctionByPath(L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings") != nullptr, setter);
    UObject* component = MakeCapture({1700, 400, 3000}, 200);
    Capture(component);
    const Rgb engineFlags = Centre(component);
    const Rgb grass{86, 140, 62};
    ASSERT_NE(engineFlags, grass) << "hazed and shaded by the engine's own flags";
    const FlagList clear = {{L"Fog", false}, {L"Atmosphere", false}, {L"DynamicShadows", false}};

    WriteShowFlagSettings(component, clear);
    Capture(component);
    EXPECT_EQ(Centre(component), engineFlags) << "written after registration: not the renderer's";
    EXPECT_TRUE(Sim::CaptureShowFlagsOff(component).empty());

    if (setter)
    {
        SendShowFlags(component, clear);
        Capture(component);
        EXPECT_EQ(Centre(component), grass) << "the setter hands them over at once";
        SendShowFlags(component, {});
        Capture(component);
        EXPECT_EQ(Centre(component), engineFlags) << "and an empty list gives the engine's flags back";
        WriteShowFlagSettings(component, clear);
    }
    Sim::ReregisterComponent(component);
    Capture(component);
    EXPECT_EQ(Centre(component), grass) << "registered again, the component's settings are the renderer's";
    EXPECT_EQ(Sim::CaptureShowFlagsOff(component), (std::vector<std::wstring>{L"Fog", L"Atmosphere", L"DynamicShadows"}));
}

// The renderer knows flags by name, without regard to case, and a later setting of a flag wins.
TEST_P(ShowFlagVersions, TheRendererTakesKnownFlagsByNameAndTheLastSettingOfEach)
{
    UObject* component = MakeCapture({1700, 400, 3000}, 200);
    SetShowFlags(component, {{L"Fog", false}, {L"Atmosphere", false}, {L"DynamicShadows", false}});
    Capture(component);
    const Rgb grass = Centre(component);

    SetShowFlags(component, {{L"fog", false}, {L"NoSuchFlag", false}, {L"ATMOSPHERE", false}, {L"DynamicShadows", false},
                             {L"Atmosphere", true}, {L"Atmosphere", false}});
    Capture(component);
    EXPECT_EQ(Centre(component), grass);
    EXPECT_EQ(Sim::CaptureShowFlagsOff(component), (std::vector<std::wstring>{L"Fog", L"DynamicShadows", L"Atmosphere"}));

    SetShowFlags(component, {{L"Fog", false}, {L"Atmosphere", false}, {L"DynamicShadows", false}, {L"DynamicShadows", true}});
    Capture(component);
    EXPECT_LT(Centre(component).g, grass.g) << "shadows back on";
}

INSTANTIATE_TEST_SUITE_P(Engines, ShowFlagVersions, ::testing::Values(std::pair{4, 27}, std::pair{5, 1}, std::pair{5, 5}),
                         [](const auto& engine) {
                             return "UE" + std::to_string(engine.param.first) + "_" + std::to_string(engine.param.second);
                         });

TEST_P(Scene, ActorsShowAsDotsUnlessHiddenOrUnderARoof)
{
    UObject* player = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {0, 0, 90});
    Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelAICharacter", {1300, 0, 100});
    UObject* overField = MakeCapture({0, 0, 2000}, 400);
    UObject* overHouse = MakeCapture({1300, 0, 2000}, 400);
    UObject* inHouse = MakeCapture({1300, 0, kHouseRoof - 40}, 400);
    for (UObject* component : {overField, overHouse, inHouse})
    {
        ClearAir(component);
        Capture(component);
    }
    const Rgb playerDot{70, 150, 255};
    EXPECT_EQ(Centre(overField), playerDot);
    EXPECT_EQ(Centre(overHouse), Of(kHouseDef.roof)) << "the roof hides the creature";
    EXPECT_EQ(Centre(inHouse), (Rgb{225, 55, 45})) << "seen from under the roof";

    Parms hide(L"/Script/Engine.SceneCaptureComponent:HideActorComponents");
    hide.Set(L"InActor", player);
    hide.CallOn(overField);
    Capture(overField);
    EXPECT_EQ(Centre(overField), (Rgb{86, 140, 62}));

    Sim::CallScriptFunction(overField, L"ClearHiddenComponents");
    Capture(overField);
    EXPECT_EQ(Centre(overField), playerDot);
}

// What a capture hides is primitives, one list, and actors, another: HideActorComponents puts
// an actor's primitives on the first (its child actors' too only when asked), clearing empties
// the first alone, and a pawn is left out when its mesh is hidden or it is a hidden actor.
TEST_P(Scene, ACaptureHidesPrimitivesOfAnActorAndItsChildActorsOnlyWhenAsked)
{
    UObject* player = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {0, 0, 90});
    UObject* lantern = Sim::AddChildActor(player, L"/Script/Engine.StaticMeshActor");
    ASSERT_NE(lantern, nullptr);
    UObject* overField = MakeCapture({0, 0, 2000}, 400);
    ClearAir(overField);
    auto hidden = [overField] {
        auto* array = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(overField->GetClassPrivate(), L"HiddenComponents"));
        auto* entry = static_cast<FObjectPropertyBase*>(array->GetInner());
        void* value = array->ContainerPtrToValuePtr<void>(overField);
        std::vector<std::wstring> names;
        for (int32 i = 0; i < Sim::ArrayNum(value); ++i)
        {
            names.push_back(entry->GetObjectPropertyValue(Sim::ArrayElement(array, value, i))->GetName());
        }
        return names;
    };
    auto hide = [overField](UObject* actor, bool children) {
        Parms call(L"/Script/Engine.SceneCaptureComponent:HideActorComponents");
        call.Set(L"InActor", actor);
        call.Set(L"bIncludeFromChildActors", children);
        call.CallOn(overField);
    };
    hide(player, false);
    EXPECT_EQ(hidden(), (std::vector<std::wstring>{L"CollisionCylinder", L"CharacterMesh0"})) << "primitives only";
    hide(player, true);
    EXPECT_EQ(hidden(), (std::vector<std::wstring>{L"CollisionCylinder", L"CharacterMesh0", L"StaticMeshComponent0"}))
        << "each once, the child actor's added";
    Capture(overField);
    EXPECT_EQ(Centre(overField), (Rgb{86, 140, 62})) << "the pawn's mesh is hidden";

    Sim::CallScriptFunction(overField, L"ClearHiddenComponents");
    EXPECT_TRUE(hidden().empty());
    auto* actors = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(overField->GetClassPrivate(), L"HiddenActors"));
    for (UObject* actor : {player, lantern})
    {
        Sim::ArrayAdd(actors, actors->ContainerPtrToValuePtr<void>(overField),
                      [actor](void* element) { std::memcpy(element, &actor, sizeof(actor)); });
    }
    Sim::CallScriptFunction(overField, L"ClearHiddenComponents");
    Capture(overField);
    EXPECT_EQ(Centre(overField), (Rgb{86, 140, 62})) << "hidden actors stay hidden: clearing is for components";
}

// A pawn is drawn with what hangs on it, all the way down: its dot is left out only when every
// primitive of the pawn and of the actors attached to it is, whichever list hides it.
TEST_P(Scene, APawnShowsWhileAnythingHangingOnItIsNotHidden)
{
    UObject* player = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {0, 0, 90});
    UObject* lantern = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor", {0, 0, 90});
    UObject* flame = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor", {0, 0, 90});
    Sim::AttachActor(lantern, player);
    Sim::AttachActor(flame, lantern);
    UObject* overField = MakeCapture({0, 0, 2000}, 400);
    ClearAir(overField);
    const Rgb playerDot{70, 150, 255};
    const Rgb grass{86, 140, 62};
    auto hide = [overField](UObject* actor) {
        Parms call(L"/Script/Engine.SceneCaptureComponent:HideActorComponents");
        call.Set(L"InActor", actor);
        call.Set(L"bIncludeFromChildActors", true);
        call.CallOn(overField);
    };
    hide(player);
    Capture(overField);
    EXPECT_EQ(Centre(overField), playerDot) << "the lantern is not hidden";
    hide(lantern);
    Capture(overField);
    EXPECT_EQ(Centre(overField), playerDot) << "nor is its flame";
    auto* actors = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(overField->GetClassPrivate(), L"HiddenActors"));
    Sim::ArrayAdd(actors, actors->ContainerPtrToValuePtr<void>(overField),
                  [flame](void* element) { std::memcpy(element, &flame, sizeof(flame)); });
    Capture(overField);
    EXPECT_EQ(Centre(overField), grass) << "the flame hidden as an actor";

    Sim::DestroyActor(flame);
    UObject* sword = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor", {0, 0, 90});
    Sim::AttachActor(sword, player);
    Capture(overField);
    EXPECT_EQ(Centre(overField), playerDot) << "gear taken up since shows";
    hide(sword);
    Capture(overField);
    EXPECT_EQ(Centre(overField), grass);
}

// HideActorComponents hides the primitives the actor has at the call, and the capture keeps
// them by weak pointer (TWeakObjectPtr): a primitive added later shows until the actor is
// hidden again, and one given a freed primitive's memory and slot is not the freed one.
class HidingByWeakPointer : public Scene
{
  protected:
    void Hide(UObject* capture, UObject* actor) const
    {
        Parms call(L"/Script/Engine.SceneCaptureComponent:HideActorComponents");
        call.Set(L"InActor", actor);
        call.CallOn(capture);
    }

    // The pawn's dot is drawn at the centre; a corner shows the same ground without it.
    static bool PawnShows(UObject* capture)
    {
        Capture(capture);
        return !(Centre(capture) == Pixel(capture, 2, 2));
    }
};

// Which engine does not matter here: the list is weak on both.
INSTANTIATE_TEST_SUITE_P(Engine, HidingByWeakPointer, ::testing::Values(5),
                         [](const auto& version) { return "UE" + std::to_string(version.param); });

TEST_P(HidingByWeakPointer, APrimitiveAddedAfterTheCallShowsUntilTheActorIsHiddenAgain)
{
    UObject* player = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {0, 0, 90});
    UObject* overField = MakeCapture({0, 0, 2000}, 400);
    ASSERT_TRUE(PawnShows(overField));
    Hide(overField, player);
    ASSERT_FALSE(PawnShows(overField));

    ASSERT_NE(Sim::AddComponent(player, L"/Script/Engine.StaticMeshComponent"), nullptr);
    EXPECT_TRUE(PawnShows(overField)) << "the new primitive was not there to be hidden";
    Hide(overField, player);
    EXPECT_FALSE(PawnShows(overField));

    auto* hidden = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(overField->GetClassPrivate(), L"HiddenComponents"));
    EXPECT_EQ(hidden->GetInner()->GetClass().GetName(), L"WeakObjectProperty");
    EXPECT_EQ(hidden->GetInner()->GetElementSize(), 8) << "index and serial number";
}

TEST_P(HidingByWeakPointer, APrimitiveInAFreedOnesMemoryAndSlotIsNotHidden)
{
    UObject* player = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {0, 0, 90});
    UObject* overField = MakeCapture({0, 0, 2000}, 400);
    Hide(overField, player);
    ASSERT_FALSE(PawnShows(overField));

    UObject* mesh = Sim::ObjectReference(player, L"Mesh");
    const int32 slot = mesh->GetInternalIndex();
    Sim::DestroyComponent(mesh);
    Sim::CollectGarbage();
    ASSERT_TRUE(IsFreed(mesh));
    UObject* replacement = Sim::AddComponent(player, L"/Script/Engine.SkeletalMeshComponent");
    ASSERT_EQ(replacement, mesh) << "the engine hands freed memory to the next object";
    ASSERT_EQ(replacement->GetInternalIndex(), slot);
    EXPECT_TRUE(PawnShows(overField));

    Hide(overField, player);
    EXPECT_FALSE(PawnShows(overField));
}

// UActorComponent::Activate: a capture component is active from its registration, and asking
// again does something only with a reset.
TEST_P(Scene, AnActiveComponentIsActivatedAgainOnlyWhenReset)
{
    UObject* actor = Sim::SpawnActor(world_, L"/Script/Engine.SceneCapture2D", {0, 0, 2000, 0, -90});
    UObject* component = Sim::ObjectReference(actor, L"CaptureComponent2D");
    auto* active = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(component->GetClassPrivate(), L"bIsActive"));
    EXPECT_TRUE(active->GetPropertyValue(active->ContainerPtrToValuePtr<void>(component))) << "auto-activated";
    for (bool reset : {false, true})
    {
        Parms activate(L"/Script/Engine.ActorComponent:Activate");
        activate.Set(L"bReset", reset);
        activate.CallOn(component);
    }
    EXPECT_EQ(Sim::Observations().componentActivations, 1u) << "the reset alone activated it again";
}

// As a render thread would, the engine draws after the frame's game work: with the view the
// capture had when asked, and the scene as it stands by then.
TEST_P(Scene, APictureHasTheViewOfItsCallAndTheSceneOfTheFramesEnd)
{
    UObject* player = Sim::SpawnActor(world_, L"/Script/Umbrafel.UmbrafelPlayerCharacter", {0, 0, 90});
    UObject* overField = MakeCapture({0, 0, 2000}, 400);
    ClearAir(overField);
    Capture(overField);
    Sim::SetActorPlacement(overField->GetOuter(), {.x = 1300, .z = 2000, .pitch = -90});
    Sim::SetActorPlacement(player, {.x = 150, .z = 90});
    EXPECT_EQ(Centre(overField), (Rgb{86, 140, 62})) << "the field, not the house; the player has walked on";

    Sim::SetActorPlacement(overField->GetOuter(), {.z = 2000, .pitch = -90});
    Capture(overField);
    Sim::TickEngine(0.0f);
    Sim::SetActorPlacement(player, {.z = 90});
    EXPECT_EQ(Centre(overField), (Rgb{86, 140, 62})) << "drawn at the frame's end, before the player came back";
}

TEST_P(Scene, TheViewsHeadingIsAtTheTopOfThePicture)
{
    // From west of the house, the house lies at +X: ahead when facing yaw 0.
    struct Case
    {
        double yaw;
        int32 column, row; // where the roof shows
        int32 otherColumn, otherRow;
    };
    const std::vector<Case> cases = {
        {0, 16, 1, 16, 30},
        {180, 16, 30, 16, 1},
        {90, 1, 16, 30, 16},
        {-90, 30, 16, 1, 16},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.yaw);
        UObject* component = MakeCapture({700, 0, 3000, c.yaw}, 1200);
        ClearAir(component);
        Capture(component);
        EXPECT_EQ(Pixel(component, c.column, c.row), Of(kHouseDef.roof));
        EXPECT_EQ(Pixel(component, c.otherColumn, c.otherRow), (Rgb{86, 140, 62}));
    }
}

TEST_P(Scene, TheEnginesOwnOverviewShowsCavesAndNightsAsByDay)
{
    Sim::SetNight(world_, true);
    auto near = [](Rgb seen, Sim::Colour lit) {
        return std::abs(seen.r - lit.r) <= 12 && std::abs(seen.g - lit.g) <= 12 && std::abs(seen.b - lit.b) <= 12;
    };
    auto centre = [this](Sim::Placement camera) {
        Sim::RenderTargetImage image;
        EXPECT_TRUE(Sim::DrawOverview(world_, camera, 400, 32, image));
        const std::size_t at = (16u * 32u + 16u) * 4u;
        return Rgb{image.rgba[at], image.rgba[at + 1], image.rgba[at + 2]};
    };
    EXPECT_PRED2(near, centre({1300, 0, 2000}), kHouseDef.roof) << "only a little haze over the roof";
    EXPECT_PRED2(near, centre({-3000, -500, kCaveFloor + 300}), Sim::Dungeon{}.floor);
    Sim::RenderTargetImage image;
    EXPECT_FALSE(Sim::DrawOverview(reinterpret_cast<UWorld*>(MakeRenderTarget(8, 8)), {}, 400, 32, image));
}

TEST_P(Scene, RenderTargetsTakeTheirSizeFromTheRenderingLibrary)
{
    UObject* target = MakeRenderTarget(100, 60);
    ASSERT_NE(target, nullptr);
    Sim::RenderTargetImage image;
    ASSERT_TRUE(Sim::ReadRenderTarget(target, image));
    EXPECT_EQ(image.width, 100);
    EXPECT_EQ(image.height, 60);
    EXPECT_EQ(image.rgba.size(), 100u * 60u * 4u);
    EXPECT_EQ(*Field<int32>(target, L"SizeX"), 100);
    EXPECT_EQ(*Field<int32>(target, L"SizeY"), 60);
    EXPECT_EQ((std::vector<uint8>(image.rgba.begin(), image.rgba.begin() + 4)), (std::vector<uint8>{0, 0, 0, 255}));

    Parms resize(L"/Script/Engine.KismetRenderingLibrary:ResizeRenderTarget2D");
    resize.Set(L"TextureRenderTarget", target);
    resize.Set<int32>(L"Width", 64);
    resize.Set<int32>(L"Height", 32);
    resize.CallOn(LibraryObject(L"/Script/Engine.KismetRenderingLibrary"));
    ASSERT_TRUE(Sim::ReadRenderTarget(target, image));
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 32);
    EXPECT_EQ(image.rgba.size(), 64u * 32u * 4u);
    EXPECT_EQ(*Field<int32>(target, L"SizeX"), 64);
    EXPECT_EQ(*Field<int32>(target, L"SizeY"), 32);

    EXPECT_EQ(MakeRenderTarget(0, 16), nullptr) << "no target without pixels";
    EXPECT_EQ(Sim::RenderTargets(), (std::vector<UObject*>{target}));
}

TEST_P(Scene, TheCollectorTakesRenderTargetsNothingRootsOrReferences)
{
    UObject* loose = MakeRenderTarget(16, 16);
    UObject* rooted = MakeRenderTarget(16, 16);
    rooted->GetObjectItem()->SetRootSet();
    UObject* component = MakeCapture({0, 0, 2000}, 400, 16);
    UObject* held = Sim::ObjectReference(component, L"TextureTarget");

    Sim::CollectGarbage();
    EXPECT_TRUE(IsFreed(loose));
    Sim::RenderTargetImage image;
    EXPECT_FALSE(Sim::ReadRenderTarget(loose, image));
    EXPECT_TRUE(Sim::ReadRenderTarget(rooted, image));
    EXPECT_TRUE(Sim::ReadRenderTarget(held, image)) << "the capture component's target";
    EXPECT_EQ(Sim::RenderTargets(), (std::vector<UObject*>{rooted, held}));
    EXPECT_EQ(Sim::CaptureTargets(), (std::vector<UObject*>{held}));

    rooted->GetObjectItem()->UnsetRootSet();
    Sim::DestroyActor(component->GetOuter());
    Sim::CollectGarbage();
    EXPECT_TRUE(IsFreed(rooted));
    EXPECT_TRUE(IsFreed(held));
    EXPECT_TRUE(Sim::RenderTargets().empty());
}

TEST_P(Scene, TheEngineCapturesByItselfUntilTheComponentIsToldNotTo)
{
    UObject* actor = Sim::SpawnActor(world_, L"/Script/Engine.SceneCapture2D", {0, 0, 2000, 0, -90});
    UObject* component = Sim::ObjectReference(actor, L"CaptureComponent2D");
    Sim::SetObjectReference(component, L"TextureTarget", MakeRenderTarget(8, 8));
    EXPECT_EQ(*Field<float>(component, L"PostProcessBlendWeight"), 1.0f) << "as the engine constructs it";
    EXPECT_EQ(*Field<uint8>(component, L"ProjectionType"), 0) << "perspective";

    Sim::TickEngine(kFrame);
    Sim::TickEngine(kFrame);
    EXPECT_EQ(Sim::Observations().automaticCaptures, 2u) << "every frame";
    const Rgb field = Pixel(component, 4, 4);
    EXPECT_GT(field.g, field.r) << "a picture of the field, not the clear colour";

    SetBit(component, L"bCaptureEveryFrame", false);
    Sim::TickEngine(kFrame);
    EXPECT_EQ(Sim::Observations().automaticCaptures, 2u) << "standing still";
    Sim::SetActorPlacement(actor, {50, 0, 2000, 0, -90});
    Sim::TickEngine(kFrame);
    EXPECT_EQ(Sim::Observations().automaticCaptures, 3u) << "on a move";
    SetBit(component, L"bCaptureOnMovement", false);
    Sim::SetActorPlacement(actor, {100, 0, 2000, 0, -90});
    Sim::TickEngine(kFrame);
    EXPECT_EQ(Sim::Observations().automaticCaptures, 3u);
    EXPECT_EQ(Sim::Observations().captureScenes, 0u) << "none of them was asked for";
}

TEST_P(Scene, ARenderTargetIsWrittenAsAPicture)
{
    UObject* component = MakeCapture({1300, 0, 2000}, 1600, 48);
    Capture(component);
    const auto path = std::filesystem::temp_directory_path() / ("orvanta-scene-" + std::to_string(std::random_device{}()) + ".png");
    const bool written = Sim::WriteRenderTargetPng(Sim::ObjectReference(component, L"TextureTarget"), path);
#ifdef _WIN32
    EXPECT_FALSE(written) << "the Windows build writes no pictures";
#else
    ASSERT_TRUE(written);
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> head(24);
    file.read(reinterpret_cast<char*>(head.data()), 24);
    EXPECT_EQ((std::vector<unsigned char>(head.begin(), head.begin() + 8)),
              (std::vector<unsigned char>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    EXPECT_EQ(head[19], 48) << "the width";
    EXPECT_EQ(head[23], 48) << "the height";
    file.close();
    std::filesystem::remove(path);
#endif
    EXPECT_FALSE(Sim::WriteRenderTargetPng(World(), path)) << "a world is no render target";
}
} // namespace
