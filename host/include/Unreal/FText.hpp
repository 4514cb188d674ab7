// FText: display text. Each text value owns its own heap record, so a text that is never
// destroyed is a leaked block and one destroyed twice is a reported double free. The loader's
// type has the 24-byte layout engine 4.27 keeps: the record, its reference controller, the
// flags. Engine 5 keeps 16 bytes, the record and the flags.
#pragma once

#include <Unreal/FString.hpp>

namespace RC::Unreal
{
struct FTextData;

class UE4SS_API FText
{
  public:
    // The empty text; all-zero bytes are this value too.
    FText() = default;
    FText(const CharType* text);
    explicit FText(StringViewType text);
    FText(const FText& other);
    FText(FText&& other) noexcept;
    FText& operator=(const FText& other);
    FText& operator=(FText&& other) noexcept;
    ~FText();

    StringType ToString() const;
    bool IsEmpty() const;

  private:
    void Release();

    FTextData* Data = nullptr;
    void* ReferenceController = nullptr;
    uint32 Flags = 0;
};
static_assert(sizeof(FText) == 24);
} // namespace RC::Unreal
