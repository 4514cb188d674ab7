// The engine heap: malloc underneath, with a registry of live blocks so that tests see a
// leak as a block that stays live and a double free as an invalid free instead of a crash.
#include "Sim/AddressMap.hpp"
#include "Sim/Heap.hpp"

#include <Sim/Values.hpp>
#include <Unreal/FMemory.hpp>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

namespace
{
struct HeapRegistry
{
    std::mutex mutex;
    Sim::Detail::AddressMap<std::size_t> live;
    Sim::HeapStats stats;
};

HeapRegistry& Registry()
{
    // Never destroyed: engine values may be released by static destructors at exit.
    static auto* registry = new HeapRegistry();
    return *registry;
}

void CheckAlignment(RC::Unreal::uint32 alignment)
{
    // malloc's blocks are aligned for every engine type the stand-in has.
    if (alignment > alignof(std::max_align_t))
    {
        std::fprintf(stderr, "stand-in engine: FMemory cannot align to %u bytes\n", alignment);
        std::abort();
    }
}
} // namespace

namespace Sim::Detail
{
bool IsLiveHeapBlock(const void* block)
{
    auto& heap = Registry();
    std::lock_guard lock(heap.mutex);
    return heap.live.Contains(block);
}

void ReportInvalidFree(const void* block, const char* what)
{
    auto& heap = Registry();
    {
        std::lock_guard lock(heap.mutex);
        ++heap.stats.InvalidFrees;
    }
    std::fprintf(stderr, "stand-in engine: %s of %p, which is not a live heap block (freed twice?)\n", what, block);
}
} // namespace Sim::Detail

namespace RC::Unreal
{
void* FMemory::Malloc(std::size_t count, uint32 alignment)
{
    CheckAlignment(alignment);
    void* block = std::malloc(count == 0 ? 1 : count);
    if (block == nullptr)
    {
        throw std::bad_alloc();
    }
    auto& heap = Registry();
    std::lock_guard lock(heap.mutex);
    heap.live.Set(block, count);
    ++heap.stats.Allocations;
    return block;
}

void* FMemory::Realloc(void* original, std::size_t count, uint32 alignment)
{
    if (original == nullptr)
    {
        return Malloc(count, alignment);
    }
    CheckAlignment(alignment);
    auto& heap = Registry();
    std::unique_lock lock(heap.mutex);
    if (!heap.live.Erase(original))
    {
        lock.unlock();
        Sim::Detail::ReportInvalidFree(original, "FMemory::Realloc");
        return Malloc(count, alignment);
    }
    void* moved = std::realloc(original, count == 0 ? 1 : count);
    if (moved == nullptr)
    {
        heap.live.Set(original, count);
        throw std::bad_alloc();
    }
    heap.live.Set(moved, count);
    ++heap.stats.Allocations;
    ++heap.stats.Frees;
    return moved;
}

void FMemory::Free(void* original)
{
    if (original == nullptr)
    {
        return;
    }
    auto& heap = Registry();
    std::unique_lock lock(heap.mutex);
    if (!heap.live.Erase(original))
    {
        lock.unlock();
        // Not freed: handing it to free() again would corrupt the process heap.
        Sim::Detail::ReportInvalidFree(original, "FMemory::Free");
        return;
    }
    ++heap.stats.Frees;
    lock.unlock();
    std::free(original);
}
} // namespace RC::Unreal

namespace Sim
{
HeapStats Heap()
{
    auto& heap = Registry();
    std::lock_guard lock(heap.mutex);
    HeapStats stats = heap.stats;
    stats.LiveBlocks = heap.live.size();
    return stats;
}
} // namespace Sim
