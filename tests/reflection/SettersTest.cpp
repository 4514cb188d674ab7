// The widget and actor setters on both engine flavours: arguments arrive in the engine's
// layout (32-bit floats below 5.0, 64-bit reals from 5.0), copied values keep what they must,
// nothing leaks or is destroyed twice, and a fault inside a setter leaves the mod working.
#include "CallFixture.hpp"

#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Faults.hpp>
#include <Sim/World.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace
{
using namespace RC::Unreal;
using namespace Orv;
using OrvTest::Field;
using OrvTest::FieldAs;

bool SameColor(const LinearColor& a, const LinearColor& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

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
    EXPECT_TRUE(SameColor(FieldAs<LinearColor>(image, L"Tint"), tint)) << "all 16 bytes";
    EXPECT_TRUE(SetBrushColor(reflection_, border, tint));
    EXPECT_EQ(FieldAs<LinearColor>(border, L"BrushColor").b, 0.75f);
    EXPECT_TRUE(SameColor(FieldAs<LinearColor>(border, L"BrushColor"), tint));
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
    // The engine makes each text: the string written in place and the text it returns are
    // destroyed beside the argument, which alone is constructed by copy.
    EXPECT_EQ(Sim::Counters().DestroyValue, Sim::Counters().InitializeValue + 4);

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
    EXPECT_EQ(Sim::Counters().DestroyValue, Sim::Counters().InitializeValue + 4) << "the font's temporary and argument";
}

// The coordinates line changes ten times a second: every text the engine makes for it must go
// when nothing holds it, the last one with the widget.
TEST_P(Setters, ATextIsMadeByTheEngineAndLivesOnOnlyInTheWidget)
{
    UObject* text = Make(L"/Script/TestUMG.TextBlock");
    auto live = LiveBlocks();
    for (int i = 0; i < 10; ++i)
    {
        EXPECT_TRUE(SetText(reflection_, text, i % 2 == 0 ? L"X 2.4 m  Y 2.2 m" : L"X 2.5 m  Y 2.2 m"));
    }
    const Sim::RecordedCall made = Sim::LastCallOf(L"/Script/Engine.KismetTextLibrary:Conv_StringToText");
    EXPECT_EQ(made.Count(), 10u);
    EXPECT_EQ(made.Text(L"InString"), L"X 2.5 m  Y 2.2 m");
    EXPECT_EQ(made.Target(), Sim::FindObjectByPath(L"/Script/Engine.Default__KismetTextLibrary"));
    EXPECT_EQ(Sim::LastCall(text, L"SetText").Text(L"InText"), L"X 2.5 m  Y 2.2 m");
    EXPECT_EQ(Sim::TextsLeaked(), 0u) << "no reference is left without a holder";
    Sim::DestroyObject(text);
    EXPECT_EQ(LiveBlocks(), live) << "the widget's text went with it";
    EXPECT_EQ(Sim::TextsLeaked(), 0u);
}

// A game without the engine's text library gets no text, and nothing is called or left over.
TEST_P(Setters, WithoutTheEnginesTextConversionNoTextIsSent)
{
    Sim::ResetEngine({.VersionMajor = GetParam().major, .VersionMinor = GetParam().minor});
    Sim::DefineDefaultGame({.missingFunctions = {L"/Script/Engine.KismetTextLibrary:Conv_StringToText"}});
    DefineWidgets();
    reflection_.Clear();
    UObject* text = Make(L"/Script/TestUMG.TextBlock");
    auto live = LiveBlocks();
    EXPECT_FALSE(SetText(reflection_, text, L"LOCK"));
    EXPECT_EQ(Sim::CallCount(text, L"SetText"), 0u);
    EXPECT_EQ(LiveBlocks(), live);
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
    EXPECT_EQ(Reals(Field(slot, L"Alignment"), 2), (std::vector<double>{0, 0}));

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

// The text colour is the leading linear colour of the widget's value: a value of exactly that
// size is enough, one byte less is refused before anything is made or called.
TEST_P(Setters, TextColourNeedsAValueOfAtLeastSixteenBytes)
{
    using namespace Sim;
    DefineStruct({L"/Script/Test.Colour15", {}, {{L"Bytes", Fixed(Byte(), 15)}}});
    for (auto [path, type] : {std::pair{L"/Script/TestUMG.PlainText", L"/Script/CoreUObject.LinearColor"},
                              std::pair{L"/Script/TestUMG.ShortText", L"/Script/Test.Colour15"}})
    {
        DefineClass({.path = path,
                     .super = L"/Script/TestUMG.Widget",
                     .properties = {{L"ColorAndOpacity", Struct(type)}},
                     .functions = {{L"SetColorAndOpacity", {In(L"InColorAndOpacity", Struct(type))},
                                    OrvTest::Keep(L"InColorAndOpacity", L"ColorAndOpacity")}}});
    }
    UObject* plain = Make(L"/Script/TestUMG.PlainText");
    UObject* shortText = Make(L"/Script/TestUMG.ShortText");
    ASSERT_EQ(reflection_.LookupProperty(plain, L"ColorAndOpacity")->GetElementSize(), 16);
    ASSERT_EQ(reflection_.LookupProperty(shortText, L"ColorAndOpacity")->GetElementSize(), 15);
    LinearColor color{0.1f, 0.2f, 0.3f, 0.4f};
    EXPECT_TRUE(SetTextColor(reflection_, plain, color));
    EXPECT_TRUE(SameColor(FieldAs<LinearColor>(plain, L"ColorAndOpacity"), color));
    Sim::ResetCounters();
    EXPECT_FALSE(SetTextColor(reflection_, shortText, color));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
    EXPECT_EQ(Sim::Counters().InitializeValue, 0u);
    auto* bytes = static_cast<uint8*>(Field(shortText, L"ColorAndOpacity"));
    EXPECT_TRUE(std::all_of(bytes, bytes + 15, [](uint8 b) { return b == 0; }));
}

// An integer size is cut toward zero and held inside the integer's range; a float size is
// passed as given. The rest of the font is the widget's own.
TEST_P(Setters, FontSizesAreTruncatedForIntegerSizesAndKeptForFloatOnes)
{
    UObject* text = Make(L"/Script/TestUMG.TextBlock");
    FProperty* font = reflection_.LookupProperty(text, L"Font");
    FProperty* size = nullptr;
    void* at = StructMemberAddress(font, Field(text, L"Font"), L"Size", &size);
    ASSERT_NE(at, nullptr);
    const bool integer = PropertyClassOf(size) == PropertyClass::Int;
    EXPECT_EQ(integer, !Doubles()) << "engines before 5.0 keep an integer size";
    auto* spacing = static_cast<int32*>(StructMemberAddress(font, Field(text, L"Font"), L"LetterSpacing"));
    ASSERT_NE(spacing, nullptr);
    *spacing = 7;
    struct Case
    {
        float given;
        int32 truncated;
    };
    for (auto [given, truncated] : {Case{12.9f, 12}, Case{-12.9f, -12}, Case{0.99f, 0}, Case{24.0f, 24},
                                    Case{1e10f, 2147483520}, Case{-1e10f, -2147483520}})
    {
        ASSERT_TRUE(SetFontSize(reflection_, text, given)) << given;
        if (integer)
        {
            int32 value = 0;
            std::memcpy(&value, at, 4);
            EXPECT_EQ(value, truncated) << given;
        }
        else
        {
            float value = 0;
            std::memcpy(&value, at, 4);
            EXPECT_EQ(value, given);
        }
    }
    EXPECT_EQ(*spacing, 7);
    EXPECT_EQ(Sim::Counters().InitializeValue, Sim::Counters().DestroyValue);
}

// Only a number can be a font size: a font without one, or with one of another kind, or a
// widget without a font, is left alone and nothing is called.
TEST_P(Setters, FontSizesGoOnlyIntoANumericSizeOfAFont)
{
    using namespace Sim;
    DefineStruct({L"/Script/Test.WideFont", {}, {{L"FontObject", Object()}, {L"Size", Double()}}});
    DefineStruct({L"/Script/Test.SizelessFont", {}, {{L"FontObject", Object()}, {L"Scale", Float()}}});
    for (auto [path, type] : {std::pair{L"/Script/TestUMG.WideText", L"/Script/Test.WideFont"},
                              std::pair{L"/Script/TestUMG.SizelessText", L"/Script/Test.SizelessFont"}})
    {
        DefineClass({.path = path,
                     .super = L"/Script/TestUMG.Widget",
                     .properties = {{L"Font", Struct(type)}},
                     .functions = {{L"SetFont", {In(L"InFontInfo", Struct(type))}, OrvTest::Keep(L"InFontInfo", L"Font")}}});
    }
    for (const wchar_t* path : {L"/Script/TestUMG.WideText", L"/Script/TestUMG.SizelessText", L"/Script/TestUMG.Image"})
    {
        UObject* widget = Make(path);
        EXPECT_FALSE(SetFontSize(reflection_, widget, 12.0f)) << path;
    }
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
    EXPECT_EQ(Sim::Counters().InitializeValue, Sim::Counters().DestroyValue) << "each temporary copy destroyed";
}

// Each argument of a call must be written for the call to be made: a texture parameter by
// another name stops it, although "bMatchSize" could still be written.
TEST_P(Setters, ABrushTextureThatCannotBeWrittenStopsTheCall)
{
    using namespace Sim;
    DefineClass({.path = L"/Script/TestUMG.OtherImage",
                 .super = L"/Script/TestUMG.Widget",
                 .functions = {{L"SetBrushFromTexture", {In(L"InTexture", Object()), In(L"bMatchSize", Bool())}, [](Call&) {}}}});
    UObject* image = Make(L"/Script/TestUMG.OtherImage");
    EXPECT_FALSE(SetBrushFromTexture(reflection_, image, Make(L"/Script/TestUMG.Widget")));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
}

// Text goes in only as an engine text: a widget whose "SetText" takes anything else is not
// handed one.
TEST_P(Setters, TextIsPassedOnlyToATextParameter)
{
    using namespace Sim;
    DefineClass({.path = L"/Script/TestUMG.Label",
                 .super = L"/Script/TestUMG.Widget",
                 .properties = {{L"Caption", Str()}},
                 .functions = {{L"SetText", {In(L"InText", Str())}, OrvTest::Keep(L"InText", L"Caption")}}});
    UObject* label = Make(L"/Script/TestUMG.Label");
    auto live = LiveBlocks();
    EXPECT_FALSE(SetText(reflection_, label, L"not a string"));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
    EXPECT_EQ(Sim::Counters().InitializeValue, 0u);
    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_FALSE(SetText(reflection_, Make(L"/Script/TestUMG.Image"), L"no SetText at all"));
}

// The rotation is copied with the engine's own rotator layout; a parameter of another size
// or name is not written, and a rotation that cannot be written stops the call even where
// the teleport flag could be.
TEST_P(Setters, ARotationThatCannotBeWrittenIsNotSent)
{
    using namespace Sim;
    DefineStruct({L"/Script/Test.Quat", {}, {{L"X", Float()}, {L"Y", Float()}, {L"Z", Float()}, {L"W", Float()}}});
    auto rotator = Struct(L"/Script/CoreUObject.Rotator");
    struct Variant
    {
        const wchar_t* path;
        std::vector<ParamDef> params;
    };
    const Variant variants[] = {
        {L"/Script/Test.QuatMover", {In(L"NewRotation", Struct(L"/Script/Test.Quat")), In(L"bTeleportPhysics", Bool())}},
        {L"/Script/Test.RenamedMover", {In(L"Rotation", rotator), In(L"bTeleportPhysics", Bool())}},
        // 16 bits cannot tell where the rotation lies: the buffer ends before it.
        {L"/Script/Test.FarMover",
         {In(L"bTeleportPhysics", Bool()), In(L"Pad", Fixed(Byte(), 65535)), In(L"NewRotation", rotator)}},
    };
    auto* world = CreateWorld(L"Yard");
    std::vector<UObject*> actors;
    for (const auto& variant : variants)
    {
        DefineClass({.path = variant.path,
                     .super = L"/Script/Engine.Actor",
                     .functions = {{L"K2_SetActorRotation", variant.params, [](Call&) {}}}});
        actors.push_back(SpawnActor(world, variant.path));
        ASSERT_NE(actors.back(), nullptr);
    }
    Sim::ResetCounters();
    for (UObject* actor : actors)
    {
        EXPECT_FALSE(SetActorRotation(reflection_, actor, {1, 2, 3})) << actor->GetName();
    }
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
}

// A copied value is read with the setter parameter's own type: a widget whose value is of
// another struct than the setter takes is left alone.
TEST_P(Setters, CopyModifySettersRefuseAValueOfAnotherStruct)
{
    using namespace Sim;
    auto linear = Struct(L"/Script/CoreUObject.LinearColor");
    DefineClass({.path = L"/Script/TestUMG.MixedText",
                 .super = L"/Script/TestUMG.Widget",
                 .properties = {{L"ColorAndOpacity", Struct(L"/Script/SlateCore.SlateColor")},
                                {L"Font", Struct(L"/Script/SlateCore.SlateFontInfo")}},
                 .functions = {{L"SetColorAndOpacity", {In(L"InColorAndOpacity", linear)}, [](Call&) {}},
                               {L"SetFont", {In(L"InFontInfo", Struct(L"/Script/SlateCore.Margin"))}, [](Call&) {}}}});
    DefineClass({.path = L"/Script/TestUMG.MuteText",
                 .super = L"/Script/TestUMG.Widget",
                 .properties = {{L"ColorAndOpacity", Struct(L"/Script/SlateCore.SlateColor")},
                                {L"Font", Struct(L"/Script/SlateCore.SlateFontInfo")}}});
    for (const wchar_t* path : {L"/Script/TestUMG.MixedText", L"/Script/TestUMG.MuteText"})
    {
        UObject* text = Make(path);
        EXPECT_FALSE(SetTextColor(reflection_, text, {1, 1, 1, 1})) << path;
        EXPECT_FALSE(SetFontSize(reflection_, text, 10.0f)) << path;
    }
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
    EXPECT_EQ(Sim::Counters().InitializeValue, 0u);
}

// Positions are set on canvas slots that live in the widget tree, never on a class's default
// object, which the whole class shares.
TEST_P(Setters, APositionIsNeverSetOnASlotClasssDefaultObject)
{
    UObject* defaults = Sim::FindClass(L"/Script/TestUMG.CanvasPanelSlot")->GetClassDefaultObject();
    SetSlotPosition(reflection_, defaults, {5, 5});
    SetSlotPositionAndSize(reflection_, defaults, {5, 5}, {6, 6});
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
}

TEST_P(Setters, ASlotsSizeIsSetEvenWhenItsPositionCannotBe)
{
    using namespace Sim;
    auto vector2D = Struct(L"/Script/CoreUObject.Vector2D");
    DefineClass({.path = L"/Script/TestUMG.SizeOnlySlot",
                 .properties = {{L"Size", vector2D}},
                 .functions = {{L"SetSize", {In(L"InSize", vector2D)}, OrvTest::Keep(L"InSize", L"Size")}}});
    UObject* slot = Make(L"/Script/TestUMG.SizeOnlySlot");
    SetSlotPositionAndSize(reflection_, slot, {1, 2}, {300, 150});
    EXPECT_EQ(Reals(Field(slot, L"Size"), 2), (std::vector<double>{300, 150}));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 1u);

    Sim::BeginDestroy(slot);
    SetSlotPositionAndSize(reflection_, slot, {1, 2}, {10, 10});
    EXPECT_EQ(Sim::Counters().ProcessEvent, 1u) << "a slot on its way out is left alone";
}

INSTANTIATE_TEST_SUITE_P(Engines, Setters, ::testing::Values(Flavour{4, 27}, Flavour{5, 1}),
                         [](const auto& flavour) {
                             return "UE" + std::to_string(flavour.param.major) + "_" + std::to_string(flavour.param.minor);
                         });
} // namespace
