// Engine values that own memory, for the simulator and the tests: the engine heap's live
// blocks (a leak or a double free shows up here), reading and writing strings and texts in
// place, and filling engine arrays, sets and maps the way the engine grows them.
#pragma once

#include <Sim/Engine.hpp>
#include <Unreal/FString.hpp>
#include <Unreal/FText.hpp>

#include <functional>

namespace Sim
{
struct HeapStats
{
    uint64 LiveBlocks = 0;
    uint64 Allocations = 0;
    uint64 Frees = 0;
    // Frees of a block that is not live: a value destroyed twice, or memory the engine
    // never handed out. Each one is also reported on standard error.
    uint64 InvalidFrees = 0;
};

// Process-wide, like the engine's heap: it outlives ResetEngine.
UE4SS_API HeapStats Heap();

// Strings and texts in place: value points at an FString or FText that is already constructed.
UE4SS_API StringType ReadString(const void* value);
UE4SS_API void WriteString(void* value, StringViewType text);
UE4SS_API StringType ReadText(const void* value);
UE4SS_API void WriteText(void* value, StringViewType text);
// Engine texts that can never be freed any more: text data whose count of references exceeds
// the text values live objects hold of it (a reference copied out and never given back, as the
// loader's FText does). Counted over the running engine's texts.
UE4SS_API uint64 TextsLeaked();

// Engine arrays: Add constructs one new element at the end (reallocating when full) and
// returns it; fill may write it. Element addresses are valid until the next Add.
UE4SS_API void* ArrayAdd(const FArrayProperty* property, void* arrayValue, const std::function<void(void* element)>& fill = {});
UE4SS_API int32 ArrayNum(const void* arrayValue);
// Destroys the element and moves the later ones down; false for a bad index.
UE4SS_API bool ArrayRemoveAt(const FArrayProperty* property, void* arrayValue, int32 index);
UE4SS_API void* ArrayElement(const FArrayProperty* property, void* arrayValue, int32 index);

// Engine sets and maps: Add takes a free slot (the most recently freed first) or appends,
// constructs the element and returns its sparse index; RemoveAt destroys the element and
// leaves a hole. Num counts live elements; Element returns null for a hole or a bad index.
UE4SS_API int32 SetAdd(const FSetProperty* property, void* setValue, const std::function<void(void* element)>& fill = {});
UE4SS_API bool SetRemoveAt(const FSetProperty* property, void* setValue, int32 index);
UE4SS_API int32 SetNum(const void* setValue);
// One past the highest sparse index in use or freed: indices below it are elements or holes.
UE4SS_API int32 SetMaxIndex(const void* setValue);
UE4SS_API void* SetElement(const FSetProperty* property, void* setValue, int32 index);
UE4SS_API int32 MapAdd(const FMapProperty* property, void* mapValue,
                       const std::function<void(void* key, void* value)>& fill = {});
UE4SS_API bool MapRemoveAt(const FMapProperty* property, void* mapValue, int32 index);
UE4SS_API int32 MapNum(const void* mapValue);
UE4SS_API void* MapKey(const FMapProperty* property, void* mapValue, int32 index);
UE4SS_API void* MapValue(const FMapProperty* property, void* mapValue, int32 index);
} // namespace Sim
