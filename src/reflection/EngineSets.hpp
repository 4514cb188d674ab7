// Walking an engine set in place: a sparse array of elements with an allocation bit array,
// read as the engine lays it out, without copying it and without asking the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Orv
{
// Where the elements of one set value lie.
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
