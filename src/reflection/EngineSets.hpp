// Walking engine arrays, sets and maps in place, read as the engine lays them out, without
// copying them and without asking the engine. A header the engine could not have written (a
// count past its capacity, bits past the words that hold them) reads as empty: the memory
// behind it is not the container's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Orv
{
// Where the elements of one array value lie.
struct EngineArrayView
{
    const std::uint8_t* elements = nullptr;
    std::int32_t count = 0;
    std::size_t stride = 0;

    const std::uint8_t* At(std::int32_t index) const { return elements + static_cast<std::size_t>(index) * stride; }
};

// The array at arrayValue, {data pointer, int32 count, int32 capacity}, of elementSize-byte
// elements.
EngineArrayView ViewEngineArray(const void* arrayValue, std::size_t elementSize);

// Where the elements of one set value lie: a sparse array with an allocation bit array.
struct EngineSetView
{
    const std::uint8_t* elements = nullptr; // element 0
    std::int32_t count = 0;                 // elements and holes
    const std::uint32_t* allocationWords = nullptr;
    std::int32_t bitCount = 0;
    std::size_t stride = 0;

    bool IsElement(std::int32_t index) const
    {
        if (index < 0 || index >= count || index >= bitCount)
        {
            return false;
        }
        return ((allocationWords[index / 32] >> (index % 32)) & 1u) != 0;
    }
    const std::uint8_t* At(std::int32_t index) const { return elements + static_cast<std::size_t>(index) * stride; }
};

// The set at setValue whose elements are elementSize bytes with the given alignment. Each
// element is followed by the set's two 32-bit hash fields.
EngineSetView ViewEngineSet(const void* setValue, std::size_t elementSize, std::size_t elementAlignment);

// An engine map is a set of key-value pairs: the key at the start of each element, the value
// after it at the value's alignment.
struct EngineMapView
{
    EngineSetView pairs;
    std::size_t valueOffset = 0;
};
EngineMapView ViewEngineMap(const void* mapValue, std::size_t keySize, std::size_t keyAlignment, std::size_t valueSize,
                            std::size_t valueAlignment);
} // namespace Orv
