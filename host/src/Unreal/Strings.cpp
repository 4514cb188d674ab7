// Engine strings and the untyped engine array: every byte they own comes from the engine heap,
// so their leaks and double frees are visible to tests.
#include <Unreal/Core/Containers/ScriptArray.hpp>
#include <Unreal/FString.hpp>

#include <algorithm>
#include <cstring>

namespace RC::Unreal
{
namespace
{
int32 GrownCapacity(int32 current, int32 wanted)
{
    if (current == 0 && wanted <= 4)
    {
        return 4;
    }
    return std::max(wanted, wanted + wanted * 3 / 8 + 16);
}
} // namespace

FString::FString(const CharType* text) : FString(StringViewType(text != nullptr ? text : STR(""))) {}

FString::FString(StringViewType text) { Append(text.data(), static_cast<int32>(text.size())); }

FString::FString(const FString& other) { Append(other); }

FString& FString::operator=(const FString& other)
{
    if (this != &other)
    {
        Data.Empty();
        Append(other);
    }
    return *this;
}

FString& FString::Append(const CharType* text, int32 count)
{
    if (text == nullptr || count <= 0)
    {
        return *this;
    }
    int32 wanted = Len() + count + 1;
    if (wanted > Data.Max())
    {
        Data.Reserve(GrownCapacity(Data.Max(), wanted));
    }
    if (Data.Num() > 0)
    {
        Data.RemoveAt(Data.Num() - 1);
    }
    Data.Append(text, count);
    Data.Add(CharType{0});
    return *this;
}

int32 FScriptArray::Add(int32 count, int32 numBytesPerElement, uint32 alignmentOfElement)
{
    int32 first = ArrayNum;
    if (count <= 0)
    {
        return first;
    }
    if (ArrayNum + count > ArrayMax)
    {
        int32 capacity = GrownCapacity(ArrayMax, ArrayNum + count);
        Data = FMemory::Realloc(Data, static_cast<std::size_t>(capacity) * static_cast<std::size_t>(numBytesPerElement),
                                alignmentOfElement);
        ArrayMax = capacity;
    }
    ArrayNum += count;
    return first;
}

int32 FScriptArray::AddZeroed(int32 count, int32 numBytesPerElement, uint32 alignmentOfElement)
{
    int32 first = Add(count, numBytesPerElement, alignmentOfElement);
    if (count > 0)
    {
        std::memset(static_cast<uint8*>(Data) + static_cast<std::size_t>(first) * static_cast<std::size_t>(numBytesPerElement), 0,
                    static_cast<std::size_t>(count) * static_cast<std::size_t>(numBytesPerElement));
    }
    return first;
}

void FScriptArray::Remove(int32 index, int32 count, int32 numBytesPerElement, uint32)
{
    if (count <= 0 || index < 0 || index + count > ArrayNum)
    {
        return;
    }
    auto* bytes = static_cast<uint8*>(Data);
    const std::size_t size = static_cast<std::size_t>(numBytesPerElement);
    std::memmove(bytes + static_cast<std::size_t>(index) * size, bytes + static_cast<std::size_t>(index + count) * size,
                 static_cast<std::size_t>(ArrayNum - index - count) * size);
    ArrayNum -= count;
}

void FScriptArray::Empty(int32 slack, int32 numBytesPerElement, uint32 alignmentOfElement)
{
    ArrayNum = 0;
    if (slack == ArrayMax)
    {
        return;
    }
    FMemory::Free(Data);
    Data = nullptr;
    ArrayMax = 0;
    if (slack > 0)
    {
        Data = FMemory::Malloc(static_cast<std::size_t>(slack) * static_cast<std::size_t>(numBytesPerElement), alignmentOfElement);
        ArrayMax = slack;
    }
}
} // namespace RC::Unreal
