// FScriptArray: an engine array seen without its element type, {data, count, capacity}.
// Code that knows an element's size and alignment from reflection grows it in place.
#pragma once

#include <Unreal/FMemory.hpp>

namespace RC::Unreal
{
class UE4SS_API FScriptArray
{
  public:
    void* GetData() { return Data; }
    const void* GetData() const { return Data; }
    int32 Num() const { return ArrayNum; }
    int32 Max() const { return ArrayMax; }
    bool IsValidIndex(int32 index) const { return index >= 0 && index < ArrayNum; }

    // Adds count uninitialised elements and returns the index of the first. The storage is
    // reallocated when full, so element addresses taken before may no longer hold.
    int32 Add(int32 count, int32 numBytesPerElement, uint32 alignmentOfElement);
    int32 AddZeroed(int32 count, int32 numBytesPerElement, uint32 alignmentOfElement);
    // Takes count elements out from index (already destroyed), moving the later ones down.
    void Remove(int32 index, int32 count, int32 numBytesPerElement, uint32 alignmentOfElement);
    // Drops the storage (elements must already be destroyed) and keeps room for slack.
    void Empty(int32 slack, int32 numBytesPerElement, uint32 alignmentOfElement);

  private:
    void* Data = nullptr;
    int32 ArrayNum = 0;
    int32 ArrayMax = 0;
};
static_assert(sizeof(FScriptArray) == 16);
} // namespace RC::Unreal
