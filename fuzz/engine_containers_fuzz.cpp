// Fuzzing the readers of engine arrays, sets and maps with headers the engine would never
// write: counts past the capacity, negative ones, bit counts past their words, holes anywhere,
// null storage. The storage is allocated exactly as large as the header's capacity says, so
// AddressSanitizer stops any read past it; and whatever the header, the view never reaches past
// the capacity it was given.
#include "reflection/EngineSets.hpp"
#include "support/RawContainerHeader.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
void Require(bool condition)
{
    if (!condition) std::abort();
}

std::size_t RoundUp(std::size_t value, std::size_t multiple) { return (value + multiple - 1) / multiple * multiple; }

using RawHeader = OrvTest::RawContainerHeader;

volatile std::uint8_t sink;

// Touches every byte, so a read out of bounds is seen.
void Touch(const std::uint8_t* bytes, std::size_t size)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    sink = sum;
}

// A count near the capacity most of the time, anything at all now and then.
std::int32_t Count(FuzzedDataProvider& in, std::int32_t capacity)
{
    capacity = std::clamp(capacity, 0, 1 << 20);
    switch (in.ConsumeIntegralInRange<int>(0, 3))
    {
    case 0: return in.ConsumeIntegral<std::int32_t>();
    case 1: return capacity + in.ConsumeIntegralInRange<std::int32_t>(-2, 2);
    default: return in.ConsumeIntegralInRange<std::int32_t>(-1, capacity + 3);
    }
}

std::size_t Alignment(FuzzedDataProvider& in) { return std::size_t{1} << in.ConsumeIntegralInRange<int>(0, 4); }

// Element storage of exactly capacity × stride bytes, filled from the input; null when the
// input says so.
std::unique_ptr<std::uint8_t[]> Storage(FuzzedDataProvider& in, std::int32_t capacity, std::size_t stride, RawHeader& header)
{
    const std::size_t bytes = static_cast<std::size_t>(capacity) * stride;
    std::unique_ptr<std::uint8_t[]> storage(new std::uint8_t[std::max<std::size_t>(bytes, 1)]);
    for (std::size_t i = 0; i < bytes; ++i) storage[i] = in.ConsumeIntegral<std::uint8_t>();
    header.data = in.ConsumeBool() ? storage.get() : nullptr;
    return storage;
}

void FuzzArray(FuzzedDataProvider& in)
{
    const std::size_t elementSize = in.ConsumeIntegralInRange<std::size_t>(1, 48);
    const std::int32_t capacity = in.ConsumeIntegralInRange<std::int32_t>(0, 40);
    RawHeader header{};
    auto storage = Storage(in, capacity, elementSize, header);
    header.count = Count(in, capacity);
    header.capacity = capacity;
    const Orv::EngineArrayView view = Orv::ViewEngineArray(&header, elementSize);
    Require(view.count >= 0 && view.count <= capacity);
    Require(view.count == 0 || view.elements == header.data);
    for (std::int32_t index = 0; index < view.count; ++index) Touch(view.At(index), elementSize);
}

// Allocation bits inline (at most 128, the header's own words) or on the heap, exactly as many
// words as the bit capacity needs; holes wherever the input puts them.
std::unique_ptr<std::uint32_t[]> Bits(FuzzedDataProvider& in, std::int32_t capacity, RawHeader& header)
{
    std::unique_ptr<std::uint32_t[]> heap;
    if (in.ConsumeBool())
    {
        header.bitCapacity = in.ConsumeIntegralInRange<std::int32_t>(0, 128);
        for (auto& word : header.inlineWords) word = in.ConsumeIntegral<std::uint32_t>();
        // What the inline words cannot hold, the capacity may still claim.
        if (in.ConsumeBool()) header.bitCapacity = in.ConsumeIntegral<std::int32_t>();
    }
    else
    {
        const std::int32_t words = in.ConsumeIntegralInRange<std::int32_t>(1, 8);
        heap.reset(new std::uint32_t[static_cast<std::size_t>(words)]);
        for (std::int32_t i = 0; i < words; ++i) heap[static_cast<std::size_t>(i)] = in.ConsumeIntegral<std::uint32_t>();
        header.heapWords = heap.get();
        header.bitCapacity = words * 32;
    }
    header.bitCount = Count(in, std::min(capacity, header.bitCapacity));
    return heap;
}

// A set of elementSize-byte elements, or a map's pairs when valueSize is non-zero.
void FuzzSet(FuzzedDataProvider& in, bool map)
{
    const std::size_t keySize = in.ConsumeIntegralInRange<std::size_t>(0, 40);
    const std::size_t keyAlign = Alignment(in);
    const std::size_t valueSize = map ? in.ConsumeIntegralInRange<std::size_t>(0, 40) : 0;
    const std::size_t valueAlign = map ? Alignment(in) : 1;
    // TSetElement: the element (a map's pair: key, value at its alignment), two int32 hash
    // fields, aligned to the larger of the element's alignment and 4, at least 8 bytes.
    const std::size_t valueOffset = RoundUp(keySize, valueAlign);
    const std::size_t pairAlign = std::max(keyAlign, valueAlign);
    const std::size_t elementSize = map ? RoundUp(valueOffset + valueSize, pairAlign) : keySize;
    const std::size_t alignment = std::max<std::size_t>(pairAlign, 4);
    const std::size_t stride = std::max<std::size_t>(RoundUp(RoundUp(elementSize, 4) + 8, alignment), 8);

    const std::int32_t capacity = in.ConsumeIntegralInRange<std::int32_t>(0, 200);
    RawHeader header{};
    auto storage = Storage(in, capacity, stride, header);
    header.capacity = capacity;
    auto heap = Bits(in, capacity, header);
    header.count = Count(in, capacity);

    const std::int32_t bitRoom =
        std::max(header.heapWords != nullptr ? header.bitCapacity : std::min(header.bitCapacity, 128), 0);
    if (map)
    {
        const Orv::EngineMapView view = Orv::ViewEngineMap(&header, keySize, keyAlign, valueSize, valueAlign);
        Require(view.pairs.stride == stride && view.valueOffset == valueOffset);
        Require(view.pairs.count >= 0 && view.pairs.count <= capacity);
        Require(view.pairs.bitCount <= bitRoom);
        for (std::int32_t index = -1; index <= view.pairs.count + 1; ++index)
        {
            if (!view.pairs.IsElement(index)) continue;
            Touch(view.pairs.At(index), keySize);
            Touch(view.pairs.At(index) + view.valueOffset, valueSize);
        }
        return;
    }
    const Orv::EngineSetView view = Orv::ViewEngineSet(&header, keySize, keyAlign);
    Require(view.stride == stride);
    Require(view.count >= 0 && view.count <= capacity);
    Require(view.bitCount <= bitRoom);
    for (std::int32_t index = -1; index <= view.count + 1; ++index)
    {
        if (view.IsElement(index)) Touch(view.At(index), keySize);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 2))
    {
    case 0: FuzzArray(in); break;
    case 1: FuzzSet(in, false); break;
    default: FuzzSet(in, true); break;
    }
    return 0;
}
