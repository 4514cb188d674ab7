// The engine's own layouts the mod reads and writes without asking the engine: vectors and
// rotators as 32-bit floats before engine 5.0 and 64-bit reals from 5.0 on, and the sparse
// storage of an engine set.
#include "support/EngineFixture.hpp"
#include "support/RawContainerHeader.hpp"

#include "reflection/EngineSets.hpp"
#include "reflection/EngineValues.hpp"

#include <Sim/Types.hpp>
#include <Sim/Values.hpp>

#include <cstring>
#include <vector>

namespace
{
using namespace RC::Unreal;
using namespace Orv;

class EngineValues : public OrvTest::EngineFixture
{
  protected:
    // The reals of an engine value as the running engine lays them out, widened.
    static std::vector<double> Decode(const EngineReals& reals, std::size_t realSize)
    {
        std::vector<double> out;
        for (std::size_t at = 0; at + realSize <= reals.size; at += realSize)
        {
            if (realSize == sizeof(double))
            {
                double value = 0;
                std::memcpy(&value, reals.bytes + at, sizeof(value));
                out.push_back(value);
            }
            else
            {
                float value = 0;
                std::memcpy(&value, reals.bytes + at, sizeof(value));
                out.push_back(static_cast<double>(value));
            }
        }
        return out;
    }
};

TEST_F(EngineValues, RealsAreFloatsBeforeEngineFiveAndDoublesFromFiveZeroOn)
{
    struct Case
    {
        int major;
        int minor;
        std::size_t realSize;
    };
    // 0.1 tells the widths apart: as a float it is not the double 0.1.
    const double fine = 0.1;
    const double asFloat = static_cast<double>(static_cast<float>(fine));
    for (auto [major, minor, realSize] : {Case{4, 27, 4}, Case{4, 0, 4}, Case{5, 0, 8}, Case{5, 1, 8}})
    {
        SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor));
        StartEngine(major, minor);
        ASSERT_EQ(EngineRealSize(), realSize);
        const double kept = realSize == 8 ? fine : asFloat;

        EngineReals vector = ToEngine(Vector3d{fine, -2.5, 1e3});
        EXPECT_EQ(vector.size, 3 * realSize);
        EXPECT_EQ(Decode(vector, realSize), (std::vector<double>{kept, -2.5, 1e3}));
        Vector3d back = Vector3FromEngine(vector.bytes);
        EXPECT_EQ(back.x, kept);
        EXPECT_EQ(back.y, -2.5);
        EXPECT_EQ(back.z, 1e3);

        EngineReals rotator = ToEngine(Rotator3d{10.0, fine, -30.0});
        EXPECT_EQ(rotator.size, 3 * realSize);
        EXPECT_EQ(Decode(rotator, realSize), (std::vector<double>{10.0, kept, -30.0})) << "pitch, yaw, roll";

        EngineReals point = ToEngine(Vector2d{1.5, fine});
        EXPECT_EQ(point.size, 2 * realSize);
        EXPECT_EQ(Decode(point, realSize), (std::vector<double>{1.5, kept}));

        EngineReals anchors = ToEngine(Vector2d{1, 2}, Vector2d{3, 4});
        EXPECT_EQ(anchors.size, 4 * realSize);
        EXPECT_EQ(Decode(anchors, realSize), (std::vector<double>{1, 2, 3, 4})) << "minimum, then maximum";
    }
}

// What the engine's own set functions build must be what the view walks: the same element
// addresses, the same holes, inline allocation bits and heap ones.
class EngineSetViews : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        Sim::DefineStruct({L"/Script/Test.Nothing", {}, {}});
        Sim::DefineStruct({L"/Script/Test.FiveBytes", {}, {{L"Bytes", Sim::Fixed(Sim::Byte(), 5)}}});
        Sim::DefineStruct({L"/Script/Test.ThreeInts", {}, {{L"A", Sim::Int()}, {L"B", Sim::Int()}, {L"C", Sim::Int()}}});
        auto* cls = Sim::DefineClass({.path = L"/Script/Test.Registry",
                                      .properties = {{L"Bytes", Sim::Set(Sim::Byte())},
                                                     {L"Ints", Sim::Set(Sim::Int())},
                                                     {L"Objects", Sim::Set(Sim::Object())},
                                                     {L"Fives", Sim::Set(Sim::Struct(L"/Script/Test.FiveBytes"))},
                                                     {L"Triples", Sim::Set(Sim::Struct(L"/Script/Test.ThreeInts"))},
                                                     {L"Vectors", Sim::Set(Sim::Struct(L"/Script/CoreUObject.Vector"))},
                                                     {L"Empties", Sim::Set(Sim::Struct(L"/Script/Test.Nothing"))}}});
        registry_ = Sim::NewObject(cls, nullptr, L"Registry");
    }

    FSetProperty* SetProperty(const wchar_t* name)
    {
        return static_cast<FSetProperty*>(Sim::FindPropertyUncounted(registry_->GetClassPrivate(), name));
    }
    void* SetValue(const wchar_t* name) { return SetProperty(name)->ContainerPtrToValuePtr(registry_); }

    EngineSetView View(const wchar_t* name)
    {
        FProperty* element = SetProperty(name)->GetElementProp();
        return ViewEngineSet(SetValue(name),
                             static_cast<std::size_t>(element->GetElementSize()) *
                                 static_cast<std::size_t>(element->GetArrayDim()),
                             static_cast<std::size_t>(element->GetMinAlignment()));
    }

    // Every index from -1 to two past the end agrees with the engine's own answer.
    void ExpectViewMatchesEngine(const wchar_t* name)
    {
        SCOPED_TRACE(name);
        EngineSetView view = View(name);
        void* value = SetValue(name);
        ASSERT_EQ(view.count, Sim::SetMaxIndex(value));
        for (std::int32_t index = -1; index < view.count + 2; ++index)
        {
            void* element = Sim::SetElement(SetProperty(name), value, index);
            EXPECT_EQ(view.IsElement(index), element != nullptr) << index;
            if (element != nullptr)
            {
                EXPECT_EQ(view.At(index), element) << index;
            }
        }
    }

    UObject* registry_ = nullptr;
};

TEST_F(EngineSetViews, ElementsOfEverySizeAndAlignmentLieWhereTheEnginePutThem)
{
    struct Case
    {
        const wchar_t* name;
        std::size_t stride;
    };
    // Each element is padded to four bytes, followed by two 32-bit hash fields, and aligned
    // to the larger of its own alignment and four; the hash fields alone make eight.
    for (auto [name, stride] : {Case{L"Bytes", 12}, Case{L"Ints", 12}, Case{L"Objects", 16}, Case{L"Fives", 16},
                                Case{L"Triples", 20}, Case{L"Vectors", 32}, Case{L"Empties", 8}})
    {
        for (int i = 0; i < 5; ++i)
        {
            Sim::SetAdd(SetProperty(name), SetValue(name));
        }
        Sim::SetRemoveAt(SetProperty(name), SetValue(name), 1);
        EXPECT_EQ(View(name).stride, stride) << name;
        ExpectViewMatchesEngine(name);
    }
}

TEST_F(EngineSetViews, BeyondTheInlineBitsTheAllocationBitsAreReadFromTheHeap)
{
    for (int i = 0; i < 140; ++i)
    {
        Sim::SetAdd(SetProperty(L"Ints"), SetValue(L"Ints"));
    }
    for (int index : {0, 31, 32, 33, 127, 128, 139})
    {
        Sim::SetRemoveAt(SetProperty(L"Ints"), SetValue(L"Ints"), index);
    }
    EngineSetView view = View(L"Ints");
    ASSERT_EQ(view.count, 140);
    EXPECT_FALSE(view.IsElement(32));
    EXPECT_TRUE(view.IsElement(34));
    EXPECT_FALSE(view.IsElement(128));
    EXPECT_TRUE(view.IsElement(138));
    ExpectViewMatchesEngine(L"Ints");
}

TEST_F(EngineSetViews, AnEmptySetOrNoSetHasNoElements)
{
    EngineSetView empty = View(L"Ints");
    EXPECT_EQ(empty.count, 0);
    EXPECT_FALSE(empty.IsElement(0));
    EngineSetView none = ViewEngineSet(nullptr, 4, 4);
    EXPECT_EQ(none.elements, nullptr);
    EXPECT_EQ(none.count, 0);
    EXPECT_FALSE(none.IsElement(0));
}

// The set's own header as the engine lays it out, filled by hand to show what the view makes
// of counts that do not agree.
using RawSet = OrvTest::RawContainerHeader;

TEST(EngineSetView, AnIndexCountsOnlyWhereBothTheElementsAndTheBitsReach)
{
    std::uint8_t elements[12 * 40] = {};
    RawSet raw{};
    raw.data = elements;
    raw.capacity = 40;
    raw.bitCapacity = 128;
    raw.inlineWords[0] = 0xFFFFFFFFu;
    raw.inlineWords[1] = 0xFFFFFFFFu;

    raw.count = 3;
    raw.bitCount = 2;
    EngineSetView fewerBits = ViewEngineSet(&raw, 4, 4);
    EXPECT_TRUE(fewerBits.IsElement(1));
    EXPECT_FALSE(fewerBits.IsElement(2)) << "past the bits";

    raw.count = 2;
    raw.bitCount = 3;
    EngineSetView fewerElements = ViewEngineSet(&raw, 4, 4);
    EXPECT_FALSE(fewerElements.IsElement(2)) << "past the elements";
    EXPECT_EQ(fewerElements.At(1), elements + 12);

    raw.count = 40;
    raw.bitCount = 40;
    raw.inlineWords[1] = 0x1u << 3;
    EngineSetView wide = ViewEngineSet(&raw, 4, 4);
    EXPECT_TRUE(wide.IsElement(35));
    EXPECT_FALSE(wide.IsElement(34));
    EXPECT_FALSE(wide.IsElement(36));

    raw.count = -1;
    EXPECT_EQ(ViewEngineSet(&raw, 4, 4).count, 0) << "a negative count is no count";
    raw.count = 5;
    raw.data = nullptr;
    EXPECT_EQ(ViewEngineSet(&raw, 4, 4).count, 0) << "no element storage, no elements";

    const std::uint32_t heap[2] = {0x0u, 0x4u};
    raw.data = elements;
    raw.count = 40;
    raw.heapWords = heap;
    raw.bitCapacity = 64;
    EngineSetView onHeap = ViewEngineSet(&raw, 4, 4);
    EXPECT_TRUE(onHeap.IsElement(34));
    EXPECT_FALSE(onHeap.IsElement(35)) << "heap words replace the inline ones";
}

// Headers the engine never writes: whatever lies past the capacity is not the container's, so
// a count or bit count beyond it leaves nothing to read.
TEST(EngineSetView, ACountPastItsCapacityLeavesTheSetEmpty)
{
    std::uint8_t elements[12 * 8] = {};
    RawSet raw{};
    raw.data = elements;
    raw.count = 8;
    raw.capacity = 8;
    raw.bitCount = 8;
    raw.bitCapacity = 128;
    raw.inlineWords[0] = 0xFFu;
    ASSERT_EQ(ViewEngineSet(&raw, 4, 4).count, 8);
    EXPECT_TRUE(ViewEngineSet(&raw, 4, 4).IsElement(7));

    raw.count = 9;
    EXPECT_EQ(ViewEngineSet(&raw, 4, 4).count, 0) << "one element past the storage";
    raw.count = 8;
    raw.bitCount = 129;
    raw.bitCapacity = 129;
    EXPECT_EQ(ViewEngineSet(&raw, 4, 4).count, 0) << "inline words hold 128 bits, whatever the capacity says";
    raw.bitCount = 100;
    raw.bitCapacity = 64;
    EXPECT_EQ(ViewEngineSet(&raw, 4, 4).count, 0) << "more bits than their capacity";
    raw.bitCount = -1;
    raw.bitCapacity = 128;
    EXPECT_EQ(ViewEngineSet(&raw, 4, 4).count, 0);
    const std::uint32_t heap[8] = {0xFFu};
    raw.heapWords = heap;
    raw.bitCount = 200;
    raw.bitCapacity = 256;
    EngineSetView onHeap = ViewEngineSet(&raw, 4, 4);
    EXPECT_EQ(onHeap.count, 8) << "heap bits may pass the inline 128";
    EXPECT_TRUE(onHeap.IsElement(7));
}

struct RawArray
{
    const void* data;
    std::int32_t count;
    std::int32_t capacity;
};

TEST(EngineArrayView, ElementsLieAtTheirStrideAndOnlyUpToTheCapacity)
{
    std::uint64_t elements[6] = {};
    RawArray raw{elements, 4, 6};
    EngineArrayView view = ViewEngineArray(&raw, 8);
    ASSERT_EQ(view.count, 4);
    EXPECT_EQ(view.At(3), reinterpret_cast<const std::uint8_t*>(&elements[3]));

    raw.count = 6;
    EXPECT_EQ(ViewEngineArray(&raw, 8).count, 6) << "full to its capacity";
    raw.count = 7;
    EXPECT_EQ(ViewEngineArray(&raw, 8).count, 0) << "past the capacity";
    raw.count = -3;
    EXPECT_EQ(ViewEngineArray(&raw, 8).count, 0);
    raw = {nullptr, 2, 2};
    EXPECT_EQ(ViewEngineArray(&raw, 8).count, 0) << "no storage";
    EXPECT_EQ(ViewEngineArray(nullptr, 8).count, 0);
}
} // namespace
