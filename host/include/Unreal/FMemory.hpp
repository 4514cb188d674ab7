// FMemory: the engine's heap. Every block behind an engine string, text or container comes
// from here, so the stand-in can tell a leaked block, and a block freed twice, from a sound one.
#pragma once

#include <Unreal/Common.hpp>

namespace RC::Unreal
{
struct UE4SS_API FMemory
{
    static void* Malloc(std::size_t count, uint32 alignment = 0);
    // Moves the block's bytes as raw memory, as the engine's allocator does.
    static void* Realloc(void* original, std::size_t count, uint32 alignment = 0);
    static void Free(void* original);
};
} // namespace RC::Unreal
