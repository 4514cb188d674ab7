// A value per address, for the engine's registries asked on nearly every call: the object
// array's slot of each live object (is this pointer still an object?) and the heap's live
// blocks. A flat open-addressed table: one hash and usually one probe into contiguous memory
// where a node-based map chases a pointer, and no allocation but its growth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace Sim::Detail
{
template <typename Value> class AddressMap
{
  public:
    // The address's value, or null; null is never a key.
    const Value* Find(const void* address) const
    {
        if (size_ == 0 || address == nullptr)
        {
            return nullptr;
        }
        for (std::size_t at = Home(address);; at = (at + 1) & mask_)
        {
            const Entry& entry = entries_[at];
            if (entry.address == address)
            {
                return &entry.value;
            }
            if (entry.address == nullptr)
            {
                return nullptr;
            }
        }
    }

    bool Contains(const void* address) const { return Find(address) != nullptr; }

    void Set(const void* address, Value value)
    {
        if ((size_ + 1) * 2 > entries_.size())
        {
            Grow();
        }
        std::size_t at = Home(address);
        while (entries_[at].address != nullptr && entries_[at].address != address)
        {
            at = (at + 1) & mask_;
        }
        size_ += entries_[at].address == nullptr ? 1 : 0;
        entries_[at] = {address, value};
    }

    // Linear probing's deletion without tombstones: later entries of the run move back into
    // the gap when their home lies at or before it.
    // Whether the address had a value.
    bool Erase(const void* address)
    {
        if (size_ == 0 || address == nullptr)
        {
            return false;
        }
        std::size_t gap = Home(address);
        while (entries_[gap].address != address)
        {
            if (entries_[gap].address == nullptr)
            {
                return false;
            }
            gap = (gap + 1) & mask_;
        }
        entries_[gap] = {};
        --size_;
        for (std::size_t next = (gap + 1) & mask_; entries_[next].address != nullptr; next = (next + 1) & mask_)
        {
            const std::size_t home = Home(entries_[next].address);
            // The entry may fill the gap unless its home lies cyclically in (gap, next].
            const bool homeAfterGap = ((next - home) & mask_) < ((next - gap) & mask_);
            if (!homeAfterGap)
            {
                entries_[gap] = entries_[next];
                entries_[next] = {};
                gap = next;
            }
        }
        return true;
    }

    void Clear()
    {
        entries_.clear();
        mask_ = 0;
        size_ = 0;
    }

    std::size_t size() const { return size_; }

  private:
    struct Entry
    {
        const void* address = nullptr;
        Value value{};
    };

    std::size_t Home(const void* address) const
    {
        // Fibonacci hashing: object addresses share their low bits, the multiply spreads them.
        const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(address));
        return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
    }

    void Grow()
    {
        std::vector<Entry> old = std::move(entries_);
        entries_.assign(old.empty() ? 1024 : old.size() * 2, Entry{});
        mask_ = entries_.size() - 1;
        size_ = 0;
        for (const Entry& entry : old)
        {
            if (entry.address != nullptr)
            {
                Set(entry.address, entry.value);
            }
        }
    }

    std::vector<Entry> entries_;
    std::size_t mask_ = 0;
    std::size_t size_ = 0;
};
} // namespace Sim::Detail
