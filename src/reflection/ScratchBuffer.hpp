// A zeroed scratch buffer for values laid out by the engine: up to 256 bytes in place, so the
// calls of a steady frame allocate nothing, and larger sizes on the heap.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orv
{
class ScratchBuffer
{
  public:
    static constexpr std::size_t kInlineSize = 256;

    // Zeroed bytes for size; the inline bytes start zeroed already.
    void Reserve(std::size_t size)
    {
        if (size > kInlineSize)
        {
            heap_.assign(size, 0);
        }
    }
    std::uint8_t* Data() { return heap_.empty() ? inline_.data() : heap_.data(); }

  private:
    alignas(16) std::array<std::uint8_t, kInlineSize> inline_{};
    std::vector<std::uint8_t> heap_;
};
} // namespace Orv
