// Engine texts and the loader's FText, on both text layouts: the engine's values share their
// data and the last one frees it; the loader's FText is made by the engine's Conv_StringToText
// and keeps a reference it never gives back; the leak count sees exactly the data that no live
// object holds, wherever in an object a text sits.
#include "support/EngineFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/FText.hpp>

#include <array>
#include <stdexcept>
#include <string>

namespace
{
using namespace RC::Unreal;

struct Flavour
{
    int major;
    int minor;
    int textSize;
};

class Texts : public OrvTest::EngineFixture, public ::testing::WithParamInterface<Flavour>
{
  protected:
    void SetUp() override
    {
        StartEngine(GetParam().major, GetParam().minor);
        DefineHolder();
    }

    void DefineHolder()
    {
        Sim::DefineStruct({L"/Script/Test.Labelled", {}, {{L"Id", Sim::Int()}, {L"Label", Sim::Text()}}});
        holder_ = Sim::DefineClass({.path = L"/Script/Test.TextHolder",
                                    .properties = {{L"Caption", Sim::Text()},
                                                   {L"Captions", Sim::Array(Sim::Text())},
                                                   {L"ByName", Sim::Map(Sim::Name(), Sim::Text())},
                                                   {L"Entry", Sim::Struct(L"/Script/Test.Labelled")}}});
    }

    FProperty* Prop(const wchar_t* name) const { return Sim::FindPropertyUncounted(holder_, name); }
    void* At(UObject* object, const wchar_t* name) const { return Prop(name)->ContainerPtrToValuePtr<void>(object); }
    UObject* Holder() const { return Sim::NewObject(holder_, nullptr); }

    static uint64 Live() { return Sim::Heap().LiveBlocks; }

    UClass* holder_ = nullptr;
};

TEST_P(Texts, ALoaderTextIsTheEnginesConversionAndItsReferenceIsNeverGivenBack)
{
    EXPECT_EQ(FText::StaticSize(), GetParam().textSize);
    const auto live = Live();
    {
        FText text(STR("Orvanta"));
        const Sim::RecordedCall made = Sim::LastCallOf(L"/Script/Engine.KismetTextLibrary:Conv_StringToText");
        EXPECT_EQ(made.Count(), 1u);
        EXPECT_EQ(made.Text(L"InString"), L"Orvanta");
        EXPECT_EQ(made.Target(), Sim::FindObjectByPath(L"/Script/Engine.Default__KismetTextLibrary"));
        ASSERT_NE(text.Data, nullptr);
        EXPECT_EQ(text.SharedRefCollector != nullptr, GetParam().major < 5) << "4.x's shared reference has a controller";
        EXPECT_EQ(Sim::TextsLeaked(), 1u) << "the reference the call returned is held by no object";

        const FText copy = text;
        EXPECT_EQ(copy.Data, text.Data) << "a copy is the same pointers";
        EXPECT_EQ(Sim::TextsLeaked(), 1u) << "and takes no reference";

        UObject* holder = Holder();
        Prop(L"Caption")->CopySingleValue(At(holder, L"Caption"), &text);
        EXPECT_EQ(Sim::ReadText(At(holder, L"Caption")), L"Orvanta");
        EXPECT_EQ(Sim::TextsLeaked(), 1u) << "the object holds one of the two references";
        Sim::DestroyObject(holder);
        EXPECT_EQ(Sim::ReadText(&text), L"Orvanta") << "the loader's reference keeps the text";
    }
    EXPECT_EQ(Sim::TextsLeaked(), 1u) << "no destructor gives it back";
    EXPECT_EQ(Live(), live + 3) << "the text, its string, and the string left in the call's parameters";
}

TEST_P(Texts, ALoaderTextReadsThroughTheEnginesConversionBack)
{
    FText text(STR("XY"));
    EXPECT_EQ(text.ToString(), L"XY");
    EXPECT_EQ(Sim::CallCount(L"/Script/Engine.KismetTextLibrary:Conv_TextToString"), 1u);
    EXPECT_EQ(FText().ToString(), L"") << "a text without data asks nothing";
    EXPECT_EQ(Sim::CallCount(L"/Script/Engine.KismetTextLibrary:Conv_TextToString"), 1u);
}

// The loader's native-call macros throw for a function the engine lacks, and look for it only
// once.
TEST_P(Texts, ALoaderTextThrowsWithoutTheEnginesConversion)
{
    StartEngine(GetParam().major, GetParam().minor, {.missingFunctions = {L"/Script/Engine.KismetTextLibrary:Conv_StringToText"}});
    const auto finds = Sim::Counters().FindObject;
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        try
        {
            FText text(STR("LOCK"));
            ADD_FAILURE() << "no text without the conversion";
        }
        catch (const std::runtime_error& error)
        {
            EXPECT_EQ(std::string(error.what()), "Unable to find '/Script/Engine.KismetTextLibrary:Conv_StringToText'");
        }
    }
    EXPECT_EQ(Sim::Counters().FindObject, finds + 1);
    EXPECT_EQ(Sim::TextsLeaked(), 0u);
}

TEST_P(Texts, CopiesShareTheDataAndTheLastOneFreesIt)
{
    UObject* first = Holder();
    UObject* second = Holder();
    const auto live = Live();
    Sim::WriteText(At(first, L"Caption"), L"MAP FPS");
    Prop(L"Caption")->CopySingleValue(At(second, L"Caption"), At(first, L"Caption"));
    EXPECT_EQ(Live(), live + 2) << "one text and its string";
    Sim::DestroyObject(first);
    EXPECT_EQ(Sim::ReadText(At(second, L"Caption")), L"MAP FPS");
    EXPECT_EQ(Live(), live + 2);
    Prop(L"Caption")->CopySingleValue(At(second, L"Caption"), At(second, L"Caption"));
    EXPECT_EQ(Live(), live + 2) << "a text copied onto itself stays";
    EXPECT_EQ(Sim::TextsLeaked(), 0u);
    Sim::DestroyObject(second);
    EXPECT_EQ(Live(), live);
}

// Texts in members, arrays, maps and structs of live objects are held; a value outside any
// object that was never destroyed is not, and counts until it is.
TEST_P(Texts, OnlyTextsNoLiveObjectHoldsCountAsLeaked)
{
    UObject* holder = Holder();
    Sim::WriteText(At(holder, L"Caption"), L"one");
    Sim::ArrayAdd(static_cast<FArrayProperty*>(Prop(L"Captions")), At(holder, L"Captions"),
                  [](void* element) { Sim::WriteText(element, L"two"); });
    Sim::MapAdd(static_cast<FMapProperty*>(Prop(L"ByName")), At(holder, L"ByName"),
                [](void*, void* value) { Sim::WriteText(value, L"three"); });
    Sim::WriteText(Sim::FindMemberByPath(holder, L"Entry.Label").address, L"four");
    EXPECT_EQ(Sim::TextsLeaked(), 0u);

    alignas(16) std::array<uint8, 32> loose{};
    Prop(L"Caption")->InitializeValue(loose.data());
    Prop(L"Caption")->CopySingleValue(loose.data(), At(holder, L"Caption"));
    EXPECT_EQ(Sim::TextsLeaked(), 1u) << "one reference more than objects hold";
    Prop(L"Caption")->DestroyValue(loose.data());
    EXPECT_EQ(Sim::TextsLeaked(), 0u);

    Sim::DestroyObject(holder);
    EXPECT_EQ(Sim::TextsLeaked(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Engines, Texts, ::testing::Values(Flavour{4, 27, 24}, Flavour{5, 1, 16}),
                         [](const auto& instance) { return instance.param.major == 4 ? "UE4_27" : "UE5_1"; });
} // namespace
