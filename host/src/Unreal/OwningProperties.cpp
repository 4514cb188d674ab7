// The property kinds whose values own engine heap memory: strings, texts, arrays, sets and
// maps. Their layouts are the engine's (sets and maps as a sparse array with an allocation bit
// array, then the hash), and constructing, copying and destroying really allocate and free.
#include "Sim/EngineState.hpp"
#include "Sim/EngineVersions.hpp"
#include "Sim/Heap.hpp"
#include "Sim/Texts.hpp"

#include <Sim/Values.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/FStrProperty.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/Core/Containers/ScriptArray.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace RC::Unreal
{
namespace
{
int32 AlignUp(int32 value, int32 alignment) { return (value + alignment - 1) / alignment * alignment; }

uint8* Bytes(void* p) { return static_cast<uint8*>(p); }

// The engine's set storage. The bit array keeps four words inline; beyond 128 elements its
// words move to the heap and the inline words are no longer used.
struct ScriptBitArray
{
    uint32 InlineWords[4];
    uint32* HeapWords;
    int32 NumBits;
    int32 MaxBits;
};

struct ScriptSparseArray
{
    FScriptArray Data;
    ScriptBitArray AllocationFlags;
    int32 FirstFreeIndex;
    int32 NumFreeIndices;
};

struct ScriptSet
{
    ScriptSparseArray Elements;
    int32 InlineHash;
    int32* HeapHash;
    int32 HashSize;
};
static_assert(sizeof(ScriptBitArray) == 32);
static_assert(sizeof(ScriptSparseArray) == 56);
static_assert(sizeof(ScriptSet) == 80);

constexpr int32 kInlineBits = 128;
constexpr int32 kIndexNone = -1;

// One set element: a value (sets) or a key/value pair (maps), then the two 32-bit hash fields.
struct ElementLayout
{
    const FProperty* first = nullptr;
    const FProperty* second = nullptr;
    int32 secondOffset = 0;
    int32 hashOffset = 0;
    int32 stride = 0;
    int32 alignment = 4;
};

ElementLayout SetLayout(const FProperty* element)
{
    ElementLayout layout;
    layout.first = element;
    layout.alignment = std::max(element->GetMinAlignment(), 4);
    layout.hashOffset = AlignUp(element->GetSize(), 4);
    layout.stride = std::max(AlignUp(layout.hashOffset + 8, layout.alignment), 8);
    return layout;
}

ElementLayout MapLayout(const FProperty* key, const FProperty* value)
{
    ElementLayout layout;
    layout.first = key;
    layout.second = value;
    layout.secondOffset = AlignUp(key->GetSize(), value->GetMinAlignment());
    int32 pairAlignment = std::max(key->GetMinAlignment(), value->GetMinAlignment());
    layout.hashOffset = AlignUp(AlignUp(layout.secondOffset + value->GetSize(), pairAlignment), 4);
    layout.alignment = std::max(pairAlignment, 4);
    layout.stride = std::max(AlignUp(layout.hashOffset + 8, layout.alignment), 8);
    return layout;
}

void InitializeElement(const ElementLayout& layout, uint8* element)
{
    layout.first->InitializeValueInternal(element);
    if (layout.second != nullptr)
    {
        layout.second->InitializeValueInternal(element + layout.secondOffset);
    }
    int32 hash[2] = {kIndexNone, 0};
    std::memcpy(element + layout.hashOffset, hash, sizeof(hash));
}

void CopyElement(const ElementLayout& layout, uint8* dest, const uint8* src)
{
    layout.first->CopyValuesInternal(dest, src, layout.first->GetArrayDim());
    if (layout.second != nullptr)
    {
        layout.second->CopyValuesInternal(dest + layout.secondOffset, src + layout.secondOffset,
                                          layout.second->GetArrayDim());
    }
}

void DestroyElement(const ElementLayout& layout, uint8* element)
{
    layout.first->DestroyValueInternal(element);
    if (layout.second != nullptr)
    {
        layout.second->DestroyValueInternal(element + layout.secondOffset);
    }
}

uint32* Words(ScriptBitArray& bits) { return bits.HeapWords != nullptr ? bits.HeapWords : bits.InlineWords; }
const uint32* Words(const ScriptBitArray& bits) { return bits.HeapWords != nullptr ? bits.HeapWords : bits.InlineWords; }

bool IsAllocated(const ScriptSet& set, int32 index)
{
    const auto& bits = set.Elements.AllocationFlags;
    return index >= 0 && index < set.Elements.Data.Num() && index < bits.NumBits &&
           (Words(bits)[index / 32] & (1u << (index % 32))) != 0;
}

void SetBit(ScriptBitArray& bits, int32 index, bool value)
{
    uint32& word = Words(bits)[index / 32];
    word = value ? word | (1u << (index % 32)) : word & ~(1u << (index % 32));
}

void AddBit(ScriptBitArray& bits)
{
    if (bits.NumBits == bits.MaxBits)
    {
        int32 grownBits = std::max(bits.MaxBits * 2, kInlineBits * 2);
        auto grownBytes = static_cast<std::size_t>(grownBits / 32) * sizeof(uint32);
        bool wasInline = bits.HeapWords == nullptr;
        auto* words = static_cast<uint32*>(FMemory::Realloc(bits.HeapWords, grownBytes, alignof(uint32)));
        auto keptBytes = static_cast<std::size_t>(bits.MaxBits / 32) * sizeof(uint32);
        if (wasInline)
        {
            std::memcpy(words, bits.InlineWords, keptBytes);
        }
        std::memset(Bytes(words) + keptBytes, 0, grownBytes - keptBytes);
        bits.HeapWords = words;
        bits.MaxBits = grownBits;
    }
    SetBit(bits, bits.NumBits++, false);
}

uint8* ElementAt(ScriptSet& set, const ElementLayout& layout, int32 index)
{
    return Bytes(set.Elements.Data.GetData()) + static_cast<std::size_t>(index) * static_cast<std::size_t>(layout.stride);
}

// A free slot holds the free list's links where the element was: previous, then next.
void WriteLinks(uint8* slot, int32 previous, int32 next)
{
    int32 links[2] = {previous, next};
    std::memcpy(slot, links, sizeof(links));
}

int32 NextFree(const uint8* slot)
{
    int32 links[2];
    std::memcpy(links, slot, sizeof(links));
    return links[1];
}

void InitializeSet(void* value)
{
    std::memset(value, 0, sizeof(ScriptSet));
    auto& set = *static_cast<ScriptSet*>(value);
    set.Elements.AllocationFlags.MaxBits = kInlineBits;
    set.Elements.FirstFreeIndex = kIndexNone;
    set.InlineHash = kIndexNone;
}

int32 AddToSet(ScriptSet& set, const ElementLayout& layout)
{
    auto& elements = set.Elements;
    int32 index;
    if (elements.NumFreeIndices > 0)
    {
        index = elements.FirstFreeIndex;
        elements.FirstFreeIndex = NextFree(ElementAt(set, layout, index));
        if (--elements.NumFreeIndices > 0)
        {
            WriteLinks(ElementAt(set, layout, elements.FirstFreeIndex), kIndexNone, NextFree(ElementAt(set, layout, elements.FirstFreeIndex)));
        }
    }
    else
    {
        index = elements.Data.Add(1, layout.stride, static_cast<uint32>(layout.alignment));
        AddBit(elements.AllocationFlags);
    }
    SetBit(elements.AllocationFlags, index, true);
    InitializeElement(layout, ElementAt(set, layout, index));
    return index;
}

bool RemoveFromSet(ScriptSet& set, const ElementLayout& layout, int32 index)
{
    if (!IsAllocated(set, index))
    {
        return false;
    }
    auto& elements = set.Elements;
    uint8* slot = ElementAt(set, layout, index);
    DestroyElement(layout, slot);
    WriteLinks(slot, kIndexNone, elements.NumFreeIndices > 0 ? elements.FirstFreeIndex : kIndexNone);
    if (elements.NumFreeIndices > 0)
    {
        uint8* head = ElementAt(set, layout, elements.FirstFreeIndex);
        WriteLinks(head, index, NextFree(head));
    }
    elements.FirstFreeIndex = index;
    ++elements.NumFreeIndices;
    SetBit(elements.AllocationFlags, index, false);
    return true;
}

// Frees everything the set owns. Storage that is no longer live means the value was destroyed
// before: reported, and not walked again.
void DestroySet(ScriptSet& set, const ElementLayout& layout)
{
    void* data = set.Elements.Data.GetData();
    if (data != nullptr && !Sim::Detail::IsLiveHeapBlock(data))
    {
        Sim::Detail::ReportInvalidFree(data, "set or map destruction");
        return;
    }
    for (int32 index = 0; index < set.Elements.Data.Num(); ++index)
    {
        if (IsAllocated(set, index))
        {
            DestroyElement(layout, ElementAt(set, layout, index));
        }
    }
    FMemory::Free(data);
    FMemory::Free(set.Elements.AllocationFlags.HeapWords);
    FMemory::Free(set.HeapHash);
}

void CopySet(ScriptSet& dest, const ScriptSet& src, const ElementLayout& layout)
{
    if (&dest == &src)
    {
        return;
    }
    DestroySet(dest, layout);
    InitializeSet(&dest);
    auto& from = const_cast<ScriptSet&>(src);
    for (int32 index = 0; index < src.Elements.Data.Num(); ++index)
    {
        if (IsAllocated(src, index))
        {
            int32 added = AddToSet(dest, layout);
            CopyElement(layout, ElementAt(dest, layout, added), ElementAt(from, layout, index));
        }
    }
}

int32 LiveCount(const void* value)
{
    const auto& set = *static_cast<const ScriptSet*>(value);
    return set.Elements.Data.Num() - set.Elements.NumFreeIndices;
}

uint8* ArrayElementAt(const FProperty* inner, FScriptArray& array, int32 index)
{
    return Bytes(array.GetData()) + static_cast<std::size_t>(index) * static_cast<std::size_t>(inner->GetElementSize());
}

void DestroyArray(const FProperty* inner, FScriptArray& array)
{
    void* data = array.GetData();
    if (data != nullptr && !Sim::Detail::IsLiveHeapBlock(data))
    {
        Sim::Detail::ReportInvalidFree(data, "array destruction");
        return;
    }
    for (int32 index = 0; index < array.Num(); ++index)
    {
        inner->DestroyValueInternal(ArrayElementAt(inner, array, index));
    }
    FMemory::Free(data);
}
} // namespace

#define ORV_FIELD_CLASS(Type, Name, Flag)                                                                              \
    FFieldClass* Type::StaticClass()                                                                                   \
    {                                                                                                                  \
        static FFieldClass fieldClass(L##Name, Flag | FProperty::StaticClass()->GetCastFlags(), FProperty::StaticClass()); \
        return &fieldClass;                                                                                            \
    }

ORV_FIELD_CLASS(FStrProperty, "StrProperty", CASTCLASS_FStrProperty)
ORV_FIELD_CLASS(FTextProperty, "TextProperty", CASTCLASS_FTextProperty)
ORV_FIELD_CLASS(FArrayProperty, "ArrayProperty", CASTCLASS_FArrayProperty)
ORV_FIELD_CLASS(FSetProperty, "SetProperty", CASTCLASS_FSetProperty)
ORV_FIELD_CLASS(FMapProperty, "MapProperty", CASTCLASS_FMapProperty)

#undef ORV_FIELD_CLASS

template <typename Value> void ConstructEach(void* dest, int32 count)
{
    for (int32 i = 0; i < count; ++i)
    {
        new (static_cast<Value*>(dest) + i) Value();
    }
}

template <typename Value> void AssignEach(void* dest, const void* src, int32 count)
{
    for (int32 i = 0; i < count; ++i)
    {
        static_cast<Value*>(dest)[i] = static_cast<const Value*>(src)[i];
    }
}

template <typename Value> void DestroyEach(void* dest, int32 count)
{
    for (int32 i = 0; i < count; ++i)
    {
        std::destroy_at(static_cast<Value*>(dest) + i);
    }
}

void FStrProperty::InitializeValueInternal(void* dest) const { ConstructEach<FString>(dest, ArrayDim); }
void FStrProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const { AssignEach<FString>(dest, src, count); }
void FStrProperty::DestroyValueInternal(void* dest) const { DestroyEach<FString>(dest, ArrayDim); }

void FTextProperty::InitializeValueInternal(void* dest) const { Sim::Detail::InitializeTextValues(dest, ArrayDim); }
void FTextProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const { Sim::Detail::CopyTextValues(dest, src, count); }
void FTextProperty::DestroyValueInternal(void* dest) const { Sim::Detail::DestroyTextValues(dest, ArrayDim); }

void FArrayProperty::InitializeValueInternal(void* dest) const
{
    std::memset(dest, 0, static_cast<std::size_t>(ElementSize) * static_cast<std::size_t>(ArrayDim));
}

void FArrayProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const
{
    for (int32 i = 0; i < count; ++i)
    {
        auto& to = static_cast<FScriptArray*>(dest)[i];
        auto& from = const_cast<FScriptArray&>(static_cast<const FScriptArray*>(src)[i]);
        if (&to == &from)
        {
            continue;
        }
        DestroyArray(Inner, to);
        std::memset(static_cast<void*>(&to), 0, sizeof(FScriptArray));
        if (from.Num() == 0)
        {
            continue;
        }
        to.Add(from.Num(), Inner->GetElementSize(), static_cast<uint32>(Inner->GetMinAlignment()));
        for (int32 index = 0; index < from.Num(); ++index)
        {
            Inner->InitializeValueInternal(ArrayElementAt(Inner, to, index));
            Inner->CopyValuesInternal(ArrayElementAt(Inner, to, index), ArrayElementAt(Inner, from, index), 1);
        }
    }
}

void FArrayProperty::DestroyValueInternal(void* dest) const
{
    for (int32 i = 0; i < ArrayDim; ++i)
    {
        DestroyArray(Inner, static_cast<FScriptArray*>(dest)[i]);
    }
}

void FSetProperty::InitializeValueInternal(void* dest) const
{
    for (int32 i = 0; i < ArrayDim; ++i)
    {
        InitializeSet(static_cast<ScriptSet*>(dest) + i);
    }
}

void FSetProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const
{
    for (int32 i = 0; i < count; ++i)
    {
        CopySet(static_cast<ScriptSet*>(dest)[i], static_cast<const ScriptSet*>(src)[i], SetLayout(ElementProp));
    }
}

void FSetProperty::DestroyValueInternal(void* dest) const
{
    for (int32 i = 0; i < ArrayDim; ++i)
    {
        DestroySet(static_cast<ScriptSet*>(dest)[i], SetLayout(ElementProp));
    }
}

void FMapProperty::InitializeValueInternal(void* dest) const
{
    for (int32 i = 0; i < ArrayDim; ++i)
    {
        InitializeSet(static_cast<ScriptSet*>(dest) + i);
    }
}

void FMapProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const
{
    for (int32 i = 0; i < count; ++i)
    {
        CopySet(static_cast<ScriptSet*>(dest)[i], static_cast<const ScriptSet*>(src)[i], MapLayout(KeyProp, ValueProp));
    }
}

void FMapProperty::DestroyValueInternal(void* dest) const
{
    for (int32 i = 0; i < ArrayDim; ++i)
    {
        DestroySet(static_cast<ScriptSet*>(dest)[i], MapLayout(KeyProp, ValueProp));
    }
}
} // namespace RC::Unreal

namespace Sim::Detail
{
std::unique_ptr<FProperty> EngineAccess::MakeOwningProperty(UStruct* owner, const std::wstring& name, const Type& type,
                                                            FFieldClass*& fieldClass, int32& size, int32& alignment)
{
    auto innerOf = [&](std::size_t which, FField* outer) {
        FProperty* inner = MakeProperty(owner, name, type.inner.at(which), 0);
        inner->Owner = FFieldVariant(outer);
        return inner;
    };
    alignment = 8;
    switch (type.kind)
    {
    case Kind::Str:
        fieldClass = FStrProperty::StaticClass();
        size = sizeof(FString);
        return std::make_unique<FStrProperty>();
    case Kind::Text:
        fieldClass = FTextProperty::StaticClass();
        size = Sim::Detail::TextValueSize();
        return std::make_unique<FTextProperty>();
    case Kind::Array: {
        auto property = std::make_unique<FArrayProperty>();
        property->Inner = innerOf(0, property.get());
        fieldClass = FArrayProperty::StaticClass();
        size = sizeof(FScriptArray);
        return property;
    }
    case Kind::Set: {
        auto property = std::make_unique<FSetProperty>();
        property->ElementProp = innerOf(0, property.get());
        fieldClass = FSetProperty::StaticClass();
        size = sizeof(ScriptSet);
        return property;
    }
    case Kind::Map: {
        auto property = std::make_unique<FMapProperty>();
        property->KeyProp = innerOf(0, property.get());
        property->ValueProp = innerOf(1, property.get());
        fieldClass = FMapProperty::StaticClass();
        size = sizeof(ScriptSet);
        return property;
    }
    default:
        return nullptr;
    }
}

void EngineAccess::ForEachContainedValue(const FProperty* property, const void* value,
                                         const std::function<void(const FProperty*, const void*)>& visit)
{
    if (auto* array = dynamic_cast<const FArrayProperty*>(property))
    {
        auto& script = const_cast<FScriptArray&>(*static_cast<const FScriptArray*>(value));
        for (int32 index = 0; index < script.Num(); ++index)
        {
            visit(array->Inner, ArrayElementAt(array->Inner, script, index));
        }
        return;
    }
    ElementLayout layout;
    if (auto* set = dynamic_cast<const FSetProperty*>(property))
    {
        layout = SetLayout(set->ElementProp);
    }
    else if (auto* map = dynamic_cast<const FMapProperty*>(property))
    {
        layout = MapLayout(map->KeyProp, map->ValueProp);
    }
    else
    {
        return;
    }
    auto& script = const_cast<ScriptSet&>(*static_cast<const ScriptSet*>(value));
    for (int32 index = 0; index < script.Elements.Data.Num(); ++index)
    {
        if (!IsAllocated(script, index))
        {
            continue;
        }
        uint8* element = ElementAt(script, layout, index);
        visit(layout.first, element);
        if (layout.second != nullptr)
        {
            visit(layout.second, element + layout.secondOffset);
        }
    }
}
} // namespace Sim::Detail

namespace Sim
{
using namespace RC::Unreal;

StringType ReadString(const void* value) { return StringType(static_cast<const FString*>(value)->View()); }
void WriteString(void* value, StringViewType text) { *static_cast<FString*>(value) = FString(text); }
StringType ReadText(const void* value) { return Sim::Detail::ReadTextValue(value); }
void WriteText(void* value, StringViewType text) { Sim::Detail::WriteTextValue(value, text); }

void* ArrayAdd(const FArrayProperty* property, void* arrayValue, const std::function<void(void* element)>& fill)
{
    const FProperty* inner = property->GetInner();
    auto& array = *static_cast<FScriptArray*>(arrayValue);
    int32 index = array.Add(1, inner->GetElementSize(), static_cast<uint32>(inner->GetMinAlignment()));
    uint8* element = ArrayElementAt(inner, array, index);
    inner->InitializeValueInternal(element);
    if (fill)
    {
        fill(element);
    }
    return element;
}

int32 ArrayNum(const void* arrayValue) { return static_cast<const FScriptArray*>(arrayValue)->Num(); }

bool ArrayRemoveAt(const FArrayProperty* property, void* arrayValue, int32 index)
{
    const FProperty* inner = property->GetInner();
    auto& array = *static_cast<FScriptArray*>(arrayValue);
    if (!array.IsValidIndex(index))
    {
        return false;
    }
    inner->DestroyValueInternal(ArrayElementAt(inner, array, index));
    array.Remove(index, 1, inner->GetElementSize(), static_cast<uint32>(inner->GetMinAlignment()));
    return true;
}

void* ArrayElement(const FArrayProperty* property, void* arrayValue, int32 index)
{
    auto& array = *static_cast<FScriptArray*>(arrayValue);
    return array.IsValidIndex(index) ? ArrayElementAt(property->GetInner(), array, index) : nullptr;
}

int32 SetAdd(const FSetProperty* property, void* setValue, const std::function<void(void* element)>& fill)
{
    auto layout = SetLayout(property->GetElementProp());
    auto& set = *static_cast<ScriptSet*>(setValue);
    int32 index = AddToSet(set, layout);
    if (fill)
    {
        fill(ElementAt(set, layout, index));
    }
    return index;
}

bool SetRemoveAt(const FSetProperty* property, void* setValue, int32 index)
{
    return RemoveFromSet(*static_cast<ScriptSet*>(setValue), SetLayout(property->GetElementProp()), index);
}

int32 SetNum(const void* setValue) { return LiveCount(setValue); }

int32 SetMaxIndex(const void* setValue) { return static_cast<const ScriptSet*>(setValue)->Elements.Data.Num(); }

void* SetElement(const FSetProperty* property, void* setValue, int32 index)
{
    auto& set = *static_cast<ScriptSet*>(setValue);
    return IsAllocated(set, index) ? ElementAt(set, SetLayout(property->GetElementProp()), index) : nullptr;
}

int32 MapAdd(const FMapProperty* property, void* mapValue, const std::function<void(void* key, void* value)>& fill)
{
    auto layout = MapLayout(property->GetKeyProp(), property->GetValueProp());
    auto& map = *static_cast<ScriptSet*>(mapValue);
    int32 index = AddToSet(map, layout);
    if (fill)
    {
        uint8* element = ElementAt(map, layout, index);
        fill(element, element + layout.secondOffset);
    }
    return index;
}

bool MapRemoveAt(const FMapProperty* property, void* mapValue, int32 index)
{
    return RemoveFromSet(*static_cast<ScriptSet*>(mapValue), MapLayout(property->GetKeyProp(), property->GetValueProp()), index);
}

int32 MapNum(const void* mapValue) { return LiveCount(mapValue); }

void* MapKey(const FMapProperty* property, void* mapValue, int32 index)
{
    auto& map = *static_cast<ScriptSet*>(mapValue);
    return IsAllocated(map, index) ? ElementAt(map, MapLayout(property->GetKeyProp(), property->GetValueProp()), index) : nullptr;
}

void* MapValue(const FMapProperty* property, void* mapValue, int32 index)
{
    auto layout = MapLayout(property->GetKeyProp(), property->GetValueProp());
    auto* key = static_cast<uint8*>(MapKey(property, mapValue, index));
    return key != nullptr ? key + layout.secondOffset : nullptr;
}
} // namespace Sim
