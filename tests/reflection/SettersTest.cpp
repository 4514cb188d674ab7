// The widget and actor setters on both engine flavours: arguments arrive in the engine's
// layout (32-bit floats below 5.0, 64-bit reals from 5.0), copied values keep what they must,
// nothing leaks or is destroyed twice, and a fault inside a setter leaves the mod working.
#include "CallFixture.hpp"

#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"

#include <Sim/Faults.hpp>
#include <Sim/World.hpp>

#include <cmath>

namespace
{
using namespace RC::Unreal;
using namespace Orv;
using OrvTest::Field;
using OrvTest::FieldAs;

struct Flavour
{
    int major;
    int minor;
};

class Setters : public OrvTest::CallFixture, public ::testing::WithParamInterface<Flavour>
{
  protected:
    void SetUp() override
    {
        CallFixture::SetUp();
        Restart(GetParam().major, GetParam().minor);
    }

    bool Doubles() const { return GetParam().major >= 5; }

    // n engine reals at the address, widened.
    std::vector<double> Reals(const void* at, int n) const
    {
        std::vector<double> out;
        for (int i = 0; i < n; ++i)
        {
            if (Doubles())
            {
                double d = 0;
                std::memcpy(&d, static_cast<const uint8*>(at) + 8 * i, 8);
                out.push_back(d);
            }
            else
            {
                float f = 0;
                std::memcpy(&f, static_cast<const uint8*>(at) + 4 * i, 4);
                out.push_back(static_cast<double>(f));
            }
        }
        return out;
    }

    void WriteReals(void* at, std::initializer_list<double> values) const
    {
        int i = 0;
        for (double value : values)
        {
            if (Doubles())
            {
                std::memcpy(static_cast<uint8*>(at) + 8 * i, &value, 8);
            }
            else
            {
                auto f = static_cast<float>(value);
                std::memcpy(static_cast<uint8*>(at) + 4 * i, &f, 4);
            }
            ++i;
        }
    }
};

TEST_P(Setters, ColoursVisibilityAndBrushesReachTheWidget)
{
    UObject* image = Make(L"/Script/TestUMG.Image");
    UObject* border = Make(L"/Script/TestUMG.Border");
    UObject* texture = Make(L"/Script/TestUMG.Widget", L"Texture");
    LinearColor tint{0.25f, 0.5f, 0.75f, 1.0f};
    EXPECT_TRUE(SetImageColor(reflection_, image, tint));
    EXPECT_EQ(FieldAs<LinearColor>(image, L"Tint").g, 0.5f);
    EXPECT_TRUE(SetBrushColor(reflection_, border, tint));
    EXPECT_EQ(FieldAs<LinearColor>(border, L"BrushColor").b, 0.75f);
    EXPECT_TRUE(SetVisibility(reflection_, image, kVisibilityShown));
    EXPECT_EQ(FieldAs<uint8>(image, L"Visibility"), 3);
    EXPECT_TRUE(SetBrushResourceObject(reflection_, image, texture));
    EXPECT_EQ(FieldAs<UObject*>(image, L"Resource"), texture);
    *static_cast<bool*>(Field(image, L"MatchSize")) = true;
    EXPECT_TRUE(SetBrushFromTexture(reflection_, image, nullptr));
    EXPECT_EQ(FieldAs<UObject*>(image, L"Resource"), nullptr);
    EXPECT_FALSE(FieldAs<bool>(image, L"MatchSize"));
    EXPECT_FALSE(SetBrushColor(reflection_, image, tint)) << "an image has no SetBrushColor";
    EXPECT_FALSE(SetVisibility(reflection_, nullptr, kVisibilityCollapsed));
}

TEST_P(Setters, TextColourReplacesOnlyTheLinearColourOfTheCurrentValue)
{
    UObject* text = Make(L"/Script/TestUMG.TextBlock");
    auto* current = static_cast<uint8*>(Field(text, L"ColorAndOpacity"));
    current[16] = 2; // ColorUseRule
    std::memset(current + 17, 0, 3);
    LinearColor color{1.0f, 0.0f, 0.0f, 0.5f};
    EXPECT_TRUE(SetTextColor(reflection_, text, color));
    EXPECT_EQ(FieldAs<LinearColor>(text, L"ColorAndOpacity").a, 0.5f);
    EXPECT_EQ(current[16], 2) << "members beyond the colour are kept";
    EXPECT_EQ(Sim::Counters().InitializeValue, Sim::Counters().DestroyValue) << "temporary and argument destroyed";
    EXPECT_FALSE(SetTextColor(reflection_, Make(L"/Script/TestUMG.Image"), color)) << "no ColorAndOpacity struct";
}

TEST_P(Setters, TextAndFontSizeAreCopiedInWithoutLeaks)
{
    UObject* text = Make(L"/Script/TestUMG.TextBlock");
    auto live = LiveBlocks();
    EXPECT_TRUE(SetText(reflection_, text, L"MAP FPS"));
    EXPECT_TRUE(SetText(reflection_, text, L"ICON FPS"));
    EXPECT_EQ(Sim::ReadText(Field(text, L"Text")), L"ICON FPS");
    EXPECT_EQ(LiveBlocks(), live + 2) << "only the widget's own text (record and string) remains";
    EXPECT_FALSE(SetText(reflection_, text, nullptr));

    EXPECT_TRUE(SetFontSize(reflection_, text, 12.9f));
    FProperty* size = nullptr;
    void* at = StructMemberAddress(reflection_.LookupProperty(text, L"Font"), Field(text, L"Font"), L"Size", &size);
    ASSERT_NE(at, nullptr);
    if (PropertyClassOf(size) == PropertyClass::Int)
    {
        int32 value = 0;
        std::memcpy(&value, at, 4);
        EXPECT_EQ(value, 12) << "an integer size is truncated toward zero";
    }
    else
    {
        float value = 0;
        std::memcpy(&value, at, 4);
        EXPECT_EQ(value, 12.9f);
    }
    EXPECT_FALSE(SetFontSize(reflection_, text, std::nanf(""))) << "not a size";
    EXPECT_EQ(Sim::Counters().InitializeValue, Sim::Counters().DestroyValue);
}

TEST_P(Setters, CanvasSlotsAreAnchoredPlacedAndAligned)
{
    UObject* canvas = Make(L"/Script/TestUMG.CanvasPanel");
    UObject* child = Make(L"/Script/TestUMG.Image");
    UObject* slot = AddChildToCanvas(reflection_, canvas, child);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(FieldAs<UObject*>(child, L"Slot"), slot);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 3u) << "add, anchors, alignment";
    EXPECT_EQ(AddChildToCanvas(reflection_, canvas, nullptr), nullptr);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 4u) << "no slot, no anchoring";

    WriteReals(Field(slot, L"Anchors"), {9, 9, 9, 9});
    WriteReals(Field(slot, L"Alignment"), {9, 9});
    AddChildToCanvas(reflection_, canvas, child);
    slot = FieldAs<UObject*>(child, L"Slot");
    EXPECT_EQ(Reals(Field(slot, L"Anchors"), 4), (std::vector<double>{0, 0, 0, 0}));

    SetSlotPositionAndSize(reflection_, slot, {12.5, -40.25}, {200, 100});
    EXPECT_EQ(Reals(Field(slot, L"Position"), 2), (std::vector<double>{12.5, -40.25}));
    EXPECT_EQ(Reals(Field(slot, L"Size"), 2), (std::vector<double>{200, 100}));
    SetSlotPosition(reflection_, slot, {1, 2});
    EXPECT_EQ(Reals(Field(slot, L"Position"), 2), (std::vector<double>{1, 2}));

    SetSlotAlignment(reflection_, child, 2, 1);
    EXPECT_EQ(FieldAs<uint8>(slot, L"Horizontal"), 2);
    EXPECT_EQ(FieldAs<uint8>(slot, L"Vertical"), 1);

    auto calls = Sim::Counters().ProcessEvent;
    SetSlotAlignment(reflection_, Make(L"/Script/TestUMG.Image"), 2, 1);
    Sim::BeginDestroy(slot);
    SetSlotPosition(reflection_, slot, {5, 5});
    EXPECT_EQ(Sim::Counters().ProcessEvent, calls) << "no slot, or a slot on its way out: nothing is called";
}

TEST_P(Setters, RotationsAndVectorsCrossInTheEnginesLayout)
{
    // An actor runs script only in a world that plays.
    UObject* mover = Sim::SpawnActor(Sim::CreateWorld(L"Yard"), L"/Script/Test.Mover");
    ASSERT_NE(mover, nullptr);
    auto live = LiveBlocks();
    EXPECT_TRUE(SetActorRotation(reflection_, mover, {10.5, -90.25, 0.125}));
    EXPECT_EQ(Reals(Field(mover, L"Rotation"), 3), (std::vector<double>{10.5, -90.25, 0.125}));
    EXPECT_FALSE(FieldAs<bool>(mover, L"Teleported"));
    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_EQ(Sim::Counters().InitializeValue, 1u);
    EXPECT_EQ(Sim::Counters().DestroyValue, Sim::Counters().InitializeValue + 1) << "the argument and the unread result";

    WriteReals(Field(mover, L"Velocity"), {3, -4, 0.5});
    Vector3d velocity;
    EXPECT_TRUE(CallAndReadVector(reflection_, mover, L"GetVelocity", velocity));
    EXPECT_EQ(velocity.x, 3);
    EXPECT_EQ(velocity.y, -4);
    EXPECT_EQ(velocity.z, 0.5);
    Vector3d untouched{7, 7, 7};
    EXPECT_FALSE(CallAndReadVector(reflection_, mover, L"NoSuchFunction", untouched));
    EXPECT_EQ(untouched.x, 7);
}

TEST_P(Setters, AFaultInsideASetterIsContainedAndLaterSettersWork)
{
    ORV_SKIP_IF_SANITIZED();
    UObject* image = Make(L"/Script/TestUMG.Image");
    UObject* text = Make(L"/Script/TestUMG.TextBlock");
    UFunction* setText = reflection_.LookupFunction(text, L"SetText");
    Sim::MakeFunctionFault(setText, Sim::FaultKind::NullWrite);
    auto live = LiveBlocks();
    EXPECT_FALSE(SetText(reflection_, text, L"never shown"));
    EXPECT_EQ(LiveBlocks(), live) << "the copied-in text is still destroyed";
    Sim::MakeFunctionFault(reflection_.LookupFunction(image, L"SetVisibility"), Sim::FaultKind::DivideByZero);
    EXPECT_FALSE(SetVisibility(reflection_, image, kVisibilityShown));

    Sim::MakeFunctionFault(setText, Sim::FaultKind::None);
    EXPECT_TRUE(SetText(reflection_, text, L"shown"));
    EXPECT_EQ(Sim::ReadText(Field(text, L"Text")), L"shown");
    EXPECT_TRUE(SetImageColor(reflection_, image, {1, 1, 1, 1}));
}

INSTANTIATE_TEST_SUITE_P(Engines, Setters, ::testing::Values(Flavour{4, 27}, Flavour{5, 1}),
                         [](const auto& flavour) {
                             return "UE" + std::to_string(flavour.param.major) + "_" + std::to_string(flavour.param.minor);
                         });
} // namespace
