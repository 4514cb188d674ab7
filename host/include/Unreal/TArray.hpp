// TArray as the engine keeps it in memory: {data, count, capacity}. Indexing checks the
// array's invariants the way the engine's checked build does, and throws on violation.
#pragma once

#include <Unreal/Common.hpp>
#include <Unreal/FMemory.hpp>

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace RC::Unreal
{
[[noreturn]] UE4SS_API void ThrowArrayInvariantFailure();
[[noreturn]] UE4SS_API void ThrowArrayIndexOutOfBounds(int32 index, int32 count);

template <typename T> class TArray
{
  public:
    TArray() = default;
    TArray(const TArray&) = delete;
    TArray& operator=(const TArray&) = delete;
    TArray(TArray&& other) noexcept : Data(other.Data), ArrayNum(other.ArrayNum), ArrayMax(other.ArrayMax)
    {
        other.Data = nullptr;
        other.ArrayNum = other.ArrayMax = 0;
    }
    TArray& operator=(TArray&& other) noexcept
    {
        if (this != &other)
        {
            FMemory::Free(Data);
            Data = other.Data;
            ArrayNum = other.ArrayNum;
            ArrayMax = other.ArrayMax;
            other.Data = nullptr;
            other.ArrayNum = other.ArrayMax = 0;
        }
        return *this;
    }
    // Like the engine's, leaves its fields as they were: a second destruction frees the same
    // block again, and the stand-in's heap reports it instead of hiding it.
    ~TArray() { FMemory::Free(Data); }

    int32 Num() const { return ArrayNum; }
    int32 Max() const { return ArrayMax; }
    T* GetData() { return Data; }
    const T* GetData() const { return Data; }
    bool IsValidIndex(int32 index) const { return index >= 0 && index < ArrayNum; }

    T& operator[](int32 index) { return Data[CheckedIndex(index)]; }
    const T& operator[](int32 index) const { return Data[CheckedIndex(index)]; }

    T* begin() { return Data; }
    T* end() { return Data + ArrayNum; }
    const T* begin() const { return Data; }
    const T* end() const { return Data + ArrayNum; }

    // Grows by the engine's rule of thumb (about 3/8 extra), moving elements as raw bytes,
    // as the engine's allocator does.
    int32 Add(const T& value)
    {
        static_assert(std::is_trivially_copyable_v<T>, "the stand-in's TArray holds plain values");
        if (ArrayNum == ArrayMax)
        {
            Reserve(ArrayMax == 0 ? 4 : ArrayMax + ArrayMax * 3 / 8 + 16);
        }
        Data[ArrayNum] = value;
        return ArrayNum++;
    }

    void Append(const T* items, int32 count)
    {
        static_assert(std::is_trivially_copyable_v<T>, "the stand-in's TArray holds plain values");
        if (count <= 0)
        {
            return;
        }
        Reserve(ArrayNum + count);
        std::memcpy(static_cast<void*>(Data + ArrayNum), static_cast<const void*>(items), sizeof(T) * static_cast<std::size_t>(count));
        ArrayNum += count;
    }

    void Reserve(int32 capacity)
    {
        if (capacity <= ArrayMax)
        {
            return;
        }
        void* grown = FMemory::Realloc(static_cast<void*>(Data), sizeof(T) * static_cast<std::size_t>(capacity), alignof(T));
        if (grown == nullptr)
        {
            throw std::bad_alloc();
        }
        Data = static_cast<T*>(grown);
        ArrayMax = capacity;
    }

    void RemoveAt(int32 index)
    {
        CheckedIndex(index);
        std::memmove(static_cast<void*>(Data + index), static_cast<const void*>(Data + index + 1),
                     sizeof(T) * static_cast<std::size_t>(ArrayNum - index - 1));
        --ArrayNum;
    }

    void Empty()
    {
        FMemory::Free(static_cast<void*>(Data));
        Data = nullptr;
        ArrayNum = 0;
        ArrayMax = 0;
    }

  private:
    int32 CheckedIndex(int32 index) const
    {
        if (ArrayNum < 0 || ArrayNum > ArrayMax)
        {
            ThrowArrayInvariantFailure();
        }
        if (index < 0 || index >= ArrayNum)
        {
            ThrowArrayIndexOutOfBounds(index, ArrayNum);
        }
        return index;
    }

    T* Data = nullptr;
    int32 ArrayNum = 0;
    int32 ArrayMax = 0;

    friend struct ::Sim::Detail::EngineAccess;
};
static_assert(sizeof(TArray<int>) == 16);
} // namespace RC::Unreal
