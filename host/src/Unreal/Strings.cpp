// Engine strings and texts, and the untyped engine array: every byte they own comes from the
// engine heap, so their leaks and double frees are visible to tests.
#include "Sim/Heap.hpp"

#include <Unreal/Core/Containers/ScriptArray.hpp>
#include <Unreal/FText.hpp>

#include <algorithm>
#include <cstring>
#include <new>

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

// The text record: what an FText owns on the engine heap.
struct FTextData
{
    FString Source;
};

FText::FText(const CharType* text) : FText(StringViewType(text != nullptr ? text : STR(""))) {}

FText::FText(StringViewType text)
{
    void* memory = FMemory::Malloc(sizeof(FTextData), alignof(FTextData));
    Data = new (memory) FTextData{FString(text)};
}

FText::FText(const FText& other) : Flags(other.Flags)
{
    if (other.Data != nullptr)
    {
        void* memory = FMemory::Malloc(sizeof(FTextData), alignof(FTextData));
        Data = new (memory) FTextData{other.Data->Source};
    }
}

FText::FText(FText&& other) noexcept : Data(other.Data), Flags(other.Flags) { other.Data = nullptr; }

FText& FText::operator=(const FText& other)
{
    if (this != &other)
    {
        FText copy(other);
        *this = std::move(copy);
    }
    return *this;
}

FText& FText::operator=(FText&& other) noexcept
{
    if (this != &other)
    {
        Release();
        Data = other.Data;
        Flags = other.Flags;
        other.Data = nullptr;
    }
    return *this;
}

// Like the engine's, leaves the record pointer in place: destroying the same value twice
// is then caught at the second release instead of passing silently.
FText::~FText() { Release(); }

void FText::Release()
{
    if (Data == nullptr)
    {
        return;
    }
    // A record that is no longer live must not be read: its string may be gone too.
    if (!Sim::Detail::IsLiveHeapBlock(Data))
    {
        Sim::Detail::ReportInvalidFree(Data, "FText release");
        return;
    }
    Data->~FTextData();
    FMemory::Free(Data);
}

StringType FText::ToString() const { return Data != nullptr ? StringType(Data->Source.View()) : StringType(); }
} // namespace RC::Unreal

namespace Sim::Detail
{
using namespace RC::Unreal;

void* CopyTextRecord(const void* record)
{
    if (record == nullptr)
    {
        return nullptr;
    }
    void* memory = FMemory::Malloc(sizeof(FTextData), alignof(FTextData));
    return new (memory) FTextData{static_cast<const FTextData*>(record)->Source};
}

void* NewTextRecord(std::wstring_view text)
{
    void* memory = FMemory::Malloc(sizeof(FTextData), alignof(FTextData));
    return new (memory) FTextData{FString(text)};
}

void ReleaseTextRecord(void* record)
{
    if (record == nullptr)
    {
        return;
    }
    if (!IsLiveHeapBlock(record))
    {
        ReportInvalidFree(record, "FText release");
        return;
    }
    static_cast<FTextData*>(record)->~FTextData();
    FMemory::Free(record);
}

std::wstring TextRecordString(const void* record)
{
    return record != nullptr ? std::wstring(static_cast<const FTextData*>(record)->Source.View()) : std::wstring();
}
} // namespace Sim::Detail

namespace RC::Unreal
{

bool FText::IsEmpty() const { return Data == nullptr || Data->Source.IsEmpty(); }

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
