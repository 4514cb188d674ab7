// The engine set's layout: {data pointer, int32 count, int32 capacity}, then the allocation
// bits {four inline 32-bit words, heap word pointer, int32 bit count, int32 bit capacity}.
#include "reflection/EngineSets.hpp"

#include <algorithm>

namespace Orv
{
namespace
{
constexpr std::size_t kCountOffset = 8;
constexpr std::size_t kCapacityOffset = 12;
constexpr std::size_t kInlineWordsOffset = 16;
constexpr std::size_t kHeapWordsOffset = 32;
constexpr std::size_t kBitCountOffset = 40;
constexpr std::size_t kBitCapacityOffset = 44;
// TBitArray's inline allocator holds four words; more bits live on the heap.
constexpr std::int32_t kInlineBits = 4 * 32;
constexpr std::size_t kHashFieldsSize = 8;

std::size_t RoundUp(std::size_t value, std::size_t multiple) { return (value + multiple - 1) / multiple * multiple; }

template <typename T> T ReadAt(const void* base, std::size_t offset)
{
    T value{};
    std::memcpy(&value, static_cast<const std::uint8_t*>(base) + offset, sizeof(T));
    return value;
}
} // namespace

EngineArrayView ViewEngineArray(const void* arrayValue, std::size_t elementSize)
{
    EngineArrayView view;
    if (arrayValue == nullptr)
    {
        return view;
    }
    const auto* data = ReadAt<const std::uint8_t*>(arrayValue, 0);
    const auto count = ReadAt<std::int32_t>(arrayValue, kCountOffset);
    const auto capacity = ReadAt<std::int32_t>(arrayValue, kCapacityOffset);
    if (data == nullptr || count <= 0 || count > capacity)
    {
        return view;
    }
    view.elements = data;
    view.count = count;
    view.stride = elementSize;
    return view;
}

EngineSetView ViewEngineSet(const void* setValue, std::size_t elementSize, std::size_t elementAlignment)
{
    EngineSetView view;
    if (setValue == nullptr)
    {
        return view;
    }
    const std::size_t alignment = std::max<std::size_t>(elementAlignment, 4);
    view.stride = std::max<std::size_t>(RoundUp(RoundUp(elementSize, 4) + kHashFieldsSize, alignment), 8);
    const auto* elements = ReadAt<const std::uint8_t*>(setValue, 0);
    const auto count = ReadAt<std::int32_t>(setValue, kCountOffset);
    const auto capacity = ReadAt<std::int32_t>(setValue, kCapacityOffset);
    auto* heapWords = ReadAt<const std::uint32_t*>(setValue, kHeapWordsOffset);
    const auto bitCount = ReadAt<std::int32_t>(setValue, kBitCountOffset);
    const auto bitCapacity = ReadAt<std::int32_t>(setValue, kBitCapacityOffset);
    const std::int32_t bitRoom = heapWords != nullptr ? bitCapacity : std::min(bitCapacity, kInlineBits);
    if (elements == nullptr || count <= 0 || count > capacity || bitCount < 0 || bitCount > bitRoom)
    {
        return view;
    }
    view.elements = elements;
    view.count = count;
    view.allocationWords = heapWords != nullptr
                               ? heapWords
                               : reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(setValue) +
                                                                         kInlineWordsOffset);
    view.bitCount = bitCount;
    return view;
}

EngineMapView ViewEngineMap(const void* mapValue, std::size_t keySize, std::size_t keyAlignment, std::size_t valueSize,
                            std::size_t valueAlignment)
{
    const std::size_t valueAlign = std::max<std::size_t>(valueAlignment, 1);
    const std::size_t pairAlign = std::max(std::max<std::size_t>(keyAlignment, 1), valueAlign);
    EngineMapView view;
    view.valueOffset = RoundUp(keySize, valueAlign);
    const std::size_t pairSize = RoundUp(view.valueOffset + valueSize, pairAlign);
    view.pairs = ViewEngineSet(mapValue, pairSize, pairAlign);
    return view;
}
} // namespace Orv
