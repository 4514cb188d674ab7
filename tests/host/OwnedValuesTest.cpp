// The stand-in's values that own memory, and the struct layouts of each engine flavour. A mod's
// leak and double-destroy tests are only as good as these: a copy must really allocate, a
// destroy must really free, and a second destroy must be caught, not absorbed.
#include "support/EngineFixture.hpp"

#include <Sim/Faults.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Unreal/Core/Containers/ScriptArray.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <algorithm>
#include <array>
#include <cstring>

namespace
{
using namespace RC::Unreal;

class OwnedValues : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        holder_ = Sim::DefineClass({.path = L"/Script/Test.Holder",
                                    .properties = {{L"Label", Sim::Str()},
                                                   {L"Caption", Sim::Text()},
                                                   {L"Labels", Sim::Array(Sim::Str())},
                                                   {L"Names", Sim::Set(Sim::Name())},
                                                   {L"Wide", Sim::Set(Sim::Struct(L"/Script/CoreUObject.Vector"))},
                                                   {L"Sizes", Sim::Map(Sim::Name(), Sim::Double())},
                                                   {L"Tagged", Sim::Map(Sim::Int(), Sim::Str())}}});
        invalidAtStart_ = Sim::Heap().InvalidFrees;
    }

    void TearDown() override { EXPECT_EQ(Sim::Heap().InvalidFrees, invalidAtStart_) << "a value was freed twice"; }

    template <typename T> T* Prop(const wchar_t* name) { return static_cast<T*>(Sim::FindPropertyUncounted(holder_, name)); }

    // A value of the property on the stack, constructed and destroyed through the counted calls.
    struct Value
    {
        FProperty* property;
        alignas(16) std::array<uint8, 128> bytes{};
        explicit Value(FProperty* p) : property(p) { property->InitializeValue(bytes.data()); }
        ~Value() { property->DestroyValue(bytes.data()); }
        void* Data() { return bytes.data(); }
    };

    static uint64 Live() { return Sim::Heap().LiveBlocks; }

    UClass* holder_ = nullptr;
    uint64 invalidAtStart_ = 0;
};

TEST_F(OwnedValues, StringsAppendGrowAndStayZeroTerminated)
{
    auto before = Live();
    {
        FString text;
        EXPECT_EQ(text.Len(), 0);
        EXPECT_STREQ(*text, L"");
        EXPECT_EQ(Live(), before) << "an empty string owns nothing";
        text.Append(L"Orv");
        const RC::CharType* first = text.GetCharArray().GetData();
        for (int i = 0; i < 20; ++i)
        {
            text.Append(L"anta");
        }
        EXPECT_EQ(text.Len(), 83);
        EXPECT_NE(text.GetCharArray().GetData(), first) << "storage is reallocated when full";
        EXPECT_EQ((*text)[83], L'\0');
        EXPECT_EQ(Live(), before + 1);
        FString copy = text;
        EXPECT_EQ(copy.View(), text.View());
        EXPECT_EQ(Live(), before + 2);
    }
    EXPECT_EQ(Live(), before);
}

TEST_F(OwnedValues, StringAndTextPropertiesConstructCopyAndFreeTheirStorage)
{
    auto before = Live();
    {
        Value source(Prop<FProperty>(L"Label"));
        Value copy(Prop<FProperty>(L"Label"));
        Sim::WriteString(source.Data(), L"lodestone");
        source.property->CopySingleValue(copy.Data(), source.Data());
        Sim::WriteString(source.Data(), L"changed");
        EXPECT_EQ(Sim::ReadString(copy.Data()), L"lodestone") << "a copy is deep";
        EXPECT_EQ(Live(), before + 2);

        Value caption(Prop<FProperty>(L"Caption"));
        Value captionCopy(Prop<FProperty>(L"Caption"));
        Sim::WriteText(caption.Data(), L"PERFORMANCE");
        caption.property->CopySingleValue(captionCopy.Data(), caption.Data());
        EXPECT_EQ(Sim::ReadText(captionCopy.Data()), L"PERFORMANCE");
        EXPECT_EQ(Live(), before + 4) << "a text's copy shares its data (and the data's string)";
        Sim::WriteText(caption.Data(), L"CHANGED");
        EXPECT_EQ(Sim::ReadText(captionCopy.Data()), L"PERFORMANCE") << "new data, the copy keeps the old";
        EXPECT_EQ(Live(), before + 6);
    }
    EXPECT_EQ(Live(), before);
    EXPECT_EQ(Sim::Counters().InitializeValue, 4u);
    EXPECT_EQ(Sim::Counters().CopyValue, 2u);
    EXPECT_EQ(Sim::Counters().DestroyValue, 4u);
}

TEST_F(OwnedValues, DestroyingAValueTwiceIsReportedNotAbsorbed)
{
    for (const wchar_t* name : {L"Label", L"Caption", L"Labels"})
    {
        auto* property = Prop<FProperty>(name);
        alignas(16) std::array<uint8, 64> bytes{};
        property->InitializeValue(bytes.data());
        if (std::wstring_view(name) == L"Labels")
        {
            Sim::ArrayAdd(static_cast<FArrayProperty*>(property), bytes.data());
        }
        else if (std::wstring_view(name) == L"Label")
        {
            Sim::WriteString(bytes.data(), L"once");
        }
        else
        {
            Sim::WriteText(bytes.data(), L"once");
        }
        auto before = Sim::Heap().InvalidFrees;
        property->DestroyValue(bytes.data());
        EXPECT_EQ(Sim::Heap().InvalidFrees, before) << std::wstring(name);
        property->DestroyValue(bytes.data());
        EXPECT_EQ(Sim::Heap().InvalidFrees, before + 1) << std::wstring(name);
    }
    invalidAtStart_ = Sim::Heap().InvalidFrees;
}

TEST_F(OwnedValues, TheLatestSixteenDestroyedAddressesAreKeptInOrderUntilTheCountersReset)
{
    auto* property = Prop<FProperty>(L"Label");
    alignas(16) std::array<uint8, 20 * 16> bytes{};
    std::vector<const void*> destroyed;
    for (std::size_t i = 0; i < 20; ++i)
    {
        void* value = bytes.data() + i * 16;
        property->InitializeValue(value);
        property->DestroyValue(value);
        destroyed.push_back(value);
    }
    EXPECT_EQ(Sim::DestroyedValues(), std::vector<const void*>(destroyed.begin() + 4, destroyed.end()));
    Sim::ResetCounters();
    EXPECT_TRUE(Sim::DestroyedValues().empty());
    property->DestroyValue(bytes.data());
    EXPECT_EQ(Sim::DestroyedValues(), std::vector<const void*>{bytes.data()});
}

TEST_F(OwnedValues, ArraysReallocateWhenFullAndCopyElementByElement)
{
    auto* labels = Prop<FArrayProperty>(L"Labels");
    EXPECT_EQ(labels->GetClass().GetName(), L"ArrayProperty");
    EXPECT_EQ(labels->GetInner()->GetClass().GetName(), L"StrProperty");
    EXPECT_EQ(labels->GetElementSize(), 16);
    auto before = Live();
    {
        Value array(labels);
        void* first = Sim::ArrayAdd(labels, array.Data(), [](void* e) { Sim::WriteString(e, L"a"); });
        for (int i = 1; i < 5; ++i)
        {
            Sim::ArrayAdd(labels, array.Data(), [&](void* e) { Sim::WriteString(e, std::wstring(1, L'a' + i)); });
        }
        EXPECT_EQ(Sim::ArrayNum(array.Data()), 5);
        EXPECT_NE(Sim::ArrayElement(labels, array.Data(), 0), first) << "the fifth element outgrew the first block";
        EXPECT_EQ(Sim::ReadString(Sim::ArrayElement(labels, array.Data(), 4)), L"e");
        EXPECT_EQ(Sim::ArrayElement(labels, array.Data(), 5), nullptr);

        Value copy(labels);
        labels->CopySingleValue(copy.Data(), array.Data());
        labels->CopySingleValue(copy.Data(), array.Data()); // assigning again frees the first copy
        EXPECT_EQ(Sim::ReadString(Sim::ArrayElement(labels, copy.Data(), 2)), L"c");
        EXPECT_EQ(Live(), before + 2 * 6);
    }
    EXPECT_EQ(Live(), before);
}

TEST_F(OwnedValues, ScriptArraysGrowByTheEngineRule)
{
    FScriptArray array{};
    EXPECT_EQ(array.Add(1, 24, 8), 0);
    EXPECT_EQ(array.Max(), 4);
    EXPECT_EQ(array.AddZeroed(4, 24, 8), 1);
    EXPECT_EQ(array.Num(), 5);
    EXPECT_EQ(array.Max(), 5 + 5 * 3 / 8 + 16);
    const auto* bytes = static_cast<const uint8*>(array.GetData());
    EXPECT_TRUE(std::all_of(bytes + 24, bytes + 5 * 24, [](uint8 b) { return b == 0; }));
    array.Empty(0, 24, 8);
    EXPECT_EQ(array.GetData(), nullptr);
}

// The walk a mod makes over an engine set, written from the layout alone.
std::vector<int32> AllocatedIndices(const void* set)
{
    const auto* bytes = static_cast<const uint8*>(set);
    int32 count = 0;
    int32 bitCount = 0;
    const uint32* heapWords = nullptr;
    std::memcpy(&count, bytes + 8, 4);
    std::memcpy(static_cast<void*>(&heapWords), bytes + 32, 8);
    std::memcpy(&bitCount, bytes + 40, 4);
    const auto* words = heapWords != nullptr ? heapWords : reinterpret_cast<const uint32*>(bytes + 16);
    std::vector<int32> indices;
    for (int32 i = 0; i < count && i < bitCount; ++i)
    {
        if ((words[i / 32] >> (i % 32)) & 1u)
        {
            indices.push_back(i);
        }
    }
    return indices;
}

TEST_F(OwnedValues, SetsKeepHolesInTheSparseArrayAndReuseTheLastFreedSlotFirst)
{
    auto* names = Prop<FSetProperty>(L"Names");
    EXPECT_EQ(names->GetElementSize(), 80);
    Value set(names);
    for (const wchar_t* text : {L"A", L"B", L"C", L"D"})
    {
        Sim::SetAdd(names, set.Data(), [&](void* e) {
            FName name(text);
            std::memcpy(e, &name, sizeof(name));
        });
    }
    EXPECT_TRUE(Sim::SetRemoveAt(names, set.Data(), 1));
    EXPECT_TRUE(Sim::SetRemoveAt(names, set.Data(), 2));
    EXPECT_FALSE(Sim::SetRemoveAt(names, set.Data(), 2));
    EXPECT_EQ(AllocatedIndices(set.Data()), (std::vector<int32>{0, 3}));
    EXPECT_EQ(Sim::SetNum(set.Data()), 2);
    EXPECT_EQ(Sim::SetElement(names, set.Data(), 1), nullptr);
    EXPECT_EQ(Sim::SetAdd(names, set.Data()), 2);
    EXPECT_EQ(Sim::SetAdd(names, set.Data()), 1);
    EXPECT_EQ(Sim::SetAdd(names, set.Data()), 4);
    // A name element is 8 bytes, then the two hash fields: a 16-byte stride.
    auto* base = static_cast<uint8*>(Sim::SetElement(names, set.Data(), 0));
    EXPECT_EQ(static_cast<uint8*>(Sim::SetElement(names, set.Data(), 3)) - base, 3 * 16);
    FName third;
    std::memcpy(&third, base + 3 * 16, sizeof(third));
    EXPECT_EQ(third.ToString(), L"D");
}

TEST_F(OwnedValues, ABitArrayBeyondFourWordsMovesToTheHeapAndTheWalkFollowsIt)
{
    auto* wide = Prop<FSetProperty>(L"Wide");
    auto before = Live();
    {
        Value set(wide);
        for (int i = 0; i < 200; ++i)
        {
            Sim::SetAdd(wide, set.Data());
        }
        Sim::SetRemoveAt(wide, set.Data(), 150);
        auto indices = AllocatedIndices(set.Data());
        EXPECT_EQ(indices.size(), 199u);
        EXPECT_EQ(std::count(indices.begin(), indices.end(), 150), 0);
        EXPECT_EQ(Live(), before + 2) << "elements and heap bit words";

        Value copy(wide);
        wide->CopySingleValue(copy.Data(), set.Data());
        EXPECT_EQ(Sim::SetNum(copy.Data()), 199);
        EXPECT_EQ(AllocatedIndices(copy.Data()).back(), 198) << "a copy is compact";
    }
    EXPECT_EQ(Live(), before);
}

TEST_F(OwnedValues, MapsPlaceTheValueAfterTheKeyAtTheValuesAlignment)
{
    auto* sizes = Prop<FMapProperty>(L"Sizes");
    auto* tagged = Prop<FMapProperty>(L"Tagged");
    auto before = Live();
    {
        Value map(sizes);
        int32 index = Sim::MapAdd(sizes, map.Data(), [](void* key, void* value) {
            FName name(L"Dungeon");
            std::memcpy(key, &name, sizeof(name));
            double size = 2.5;
            std::memcpy(value, &size, sizeof(size));
        });
        auto* key = static_cast<uint8*>(Sim::MapKey(sizes, map.Data(), index));
        EXPECT_EQ(static_cast<uint8*>(Sim::MapValue(sizes, map.Data(), index)) - key, 8);

        Value strings(tagged);
        for (int i = 0; i < 3; ++i)
        {
            Sim::MapAdd(tagged, strings.Data(), [&](void* k, void* v) {
                std::memcpy(k, &i, sizeof(i));
                Sim::WriteString(v, L"icon");
            });
        }
        // An int key (4 bytes) then an FString at 8: pair of 24 bytes, stride 32.
        auto* first = static_cast<uint8*>(Sim::MapKey(tagged, strings.Data(), 0));
        EXPECT_EQ(static_cast<uint8*>(Sim::MapValue(tagged, strings.Data(), 0)) - first, 8);
        EXPECT_EQ(static_cast<uint8*>(Sim::MapKey(tagged, strings.Data(), 2)) - first, 64);
        EXPECT_TRUE(Sim::MapRemoveAt(tagged, strings.Data(), 1));
        EXPECT_EQ(Sim::MapNum(strings.Data()), 2);
        EXPECT_EQ(Live(), before + 2 + 2) << "two element blocks and the two strings left";
    }
    EXPECT_EQ(Live(), before);
}

TEST_F(OwnedValues, ObjectsHeldOnlyInContainersSurviveCollection)
{
    auto* keeper = Sim::DefineClass(
        {.path = L"/Script/Test.Keeper", .properties = {{L"Held", Sim::Array(Sim::Object())}, {L"Keyed", Sim::Map(Sim::Int(), Sim::Object())}}});
    auto* owner = Sim::NewObject(keeper, nullptr, L"Owner");
    owner->GetObjectItem()->SetRootSet();
    auto* inArray = Sim::NewObject(holder_, nullptr, L"InArray");
    auto* inMap = Sim::NewObject(holder_, nullptr, L"InMap");
    auto* loose = Sim::NewObject(holder_, nullptr, L"Loose");
    auto* held = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(keeper, L"Held"));
    auto* keyed = static_cast<FMapProperty*>(Sim::FindPropertyUncounted(keeper, L"Keyed"));
    Sim::ArrayAdd(held, held->ContainerPtrToValuePtr(owner), [&](void* e) { std::memcpy(e, &inArray, 8); });
    Sim::MapAdd(keyed, keyed->ContainerPtrToValuePtr(owner), [&](void*, void* v) { std::memcpy(v, &inMap, 8); });

    Sim::CollectGarbage();
    EXPECT_TRUE(Sim::HoldsObject(inArray));
    EXPECT_TRUE(Sim::HoldsObject(inMap));
    EXPECT_FALSE(Sim::HoldsObject(loose));
}

class EngineFlavours : public OrvTest::EngineFixture, public ::testing::WithParamInterface<int>
{
};

TEST_P(EngineFlavours, VectorsRotatorsAndFontSizesFollowTheEngineVersion)
{
    int major = GetParam();
    StartEngine(major, major == 4 ? 27 : 1);
    auto size = [](const wchar_t* path) { return static_cast<UStruct*>(Sim::FindObjectByPath(path))->GetPropertiesSize(); };
    int real = major < 5 ? 4 : 8;
    EXPECT_EQ(size(L"/Script/CoreUObject.Vector"), 3 * real);
    EXPECT_EQ(size(L"/Script/CoreUObject.Rotator"), 3 * real);
    EXPECT_EQ(size(L"/Script/CoreUObject.Vector2D"), 2 * real);
    EXPECT_EQ(size(L"/Script/Slate.Anchors"), 4 * real);
    auto* font = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/SlateCore.SlateFontInfo"));
    EXPECT_EQ(Sim::FindPropertyUncounted(font, L"Size")->GetClass().GetName(), major < 5 ? L"IntProperty" : L"FloatProperty");

    Sim::ResetEngine({.VersionMajor = major, .VersionMinor = 1, .FontSize = Sim::FontSizeKind::Int});
    font = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/SlateCore.SlateFontInfo"));
    EXPECT_EQ(Sim::FindPropertyUncounted(font, L"Size")->GetClass().GetName(), L"IntProperty");
}

INSTANTIATE_TEST_SUITE_P(Versions, EngineFlavours, ::testing::Values(4, 5),
                         [](const auto& version) { return "UE" + std::to_string(version.param); });

TEST_F(OwnedValues, SlateAndGameplayStructsHaveTheirMembers)
{
    auto* color = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/SlateCore.SlateColor"));
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(Sim::FindPropertyUncounted(color, L"SpecifiedColor")->GetOffset_Internal(), 0);
    EXPECT_EQ(Sim::FindPropertyUncounted(color, L"ColorUseRule")->GetOffset_Internal(), 16);
    auto* tag = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/GameplayTags.GameplayTag"));
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(Sim::FindPropertyUncounted(tag, L"TagName")->GetClass().GetName(), L"NameProperty");
    auto* hit = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/Engine.HitResult"));
    ASSERT_NE(hit, nullptr);
    EXPECT_EQ(Sim::FindPropertyUncounted(hit, L"bBlockingHit")->GetClass().GetName(), L"BoolProperty");
}
} // namespace
