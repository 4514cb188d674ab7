// The header of an engine array or sparse set as TArray and TSparseArray lay it out on 64-bit
// builds, for tests and fuzzers that write headers by hand: the data pointer, count and
// capacity, then the allocation bits (four inline words or heap words) with their count and
// capacity, then the free-list and hash fields.
#pragma once

#include <cstdint>

namespace OrvTest
{
struct RawContainerHeader
{
    const void* data;
    std::int32_t count;
    std::int32_t capacity;
    std::uint32_t inlineWords[4];
    const std::uint32_t* heapWords;
    std::int32_t bitCount;
    std::int32_t bitCapacity;
    std::uint8_t rest[32];
};
static_assert(sizeof(RawContainerHeader) == 80);
} // namespace OrvTest
