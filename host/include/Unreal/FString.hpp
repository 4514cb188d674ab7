// FString: the engine's owning string, a TArray of characters whose count includes the
// terminating zero (an empty string has no storage at all).
#pragma once

#include <Unreal/TArray.hpp>

namespace RC::Unreal
{
class UE4SS_API FString
{
  public:
    FString() = default;
    FString(const CharType* text);
    explicit FString(StringViewType text);
    FString(const FString& other);
    FString(FString&& other) noexcept = default;
    FString& operator=(const FString& other);
    FString& operator=(FString&& other) noexcept = default;
    ~FString() = default;

    int32 Len() const { return Data.Num() > 0 ? Data.Num() - 1 : 0; }
    bool IsEmpty() const { return Len() == 0; }
    // Always zero-terminated, also for an empty string.
    const CharType* operator*() const { return Data.Num() > 0 ? Data.GetData() : STR(""); }
    StringViewType View() const { return StringViewType(**this, static_cast<std::size_t>(Len())); }
    TArray<CharType>& GetCharArray() { return Data; }
    const TArray<CharType>& GetCharArray() const { return Data; }

    // Grows the storage when full, as the engine does.
    FString& Append(const CharType* text, int32 count);
    FString& Append(const CharType* text) { return text != nullptr ? Append(text, static_cast<int32>(StringViewType(text).size())) : *this; }
    FString& Append(const FString& text) { return Append(*text, text.Len()); }
    void Empty() { Data.Empty(); }

  private:
    TArray<CharType> Data;
};
static_assert(sizeof(FString) == 16);
} // namespace RC::Unreal
