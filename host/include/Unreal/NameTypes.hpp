// FName: an index into the engine's name table and a number. As in a game build, names that
// differ only in case share one entry, the text is the spelling the entry was first added with,
// and a trailing "_<n>" is kept as the number n + 1 beside the entry of the rest.
#pragma once

#include <Unreal/Common.hpp>

namespace RC::Unreal
{
enum EFindName
{
    FNAME_Find = 0,
    FNAME_Add = 1,
};

class UE4SS_API FName
{
  public:
    FName() = default;
    FName(StringViewType name, EFindName findType = FNAME_Add);
    FName(const CharType* name, EFindName findType = FNAME_Add);

    StringType ToString() const;
    bool IsNone() const { return ComparisonIndex == 0 && Number == 0; }
    uint32 GetComparisonIndex() const { return ComparisonIndex; }
    int32 GetNumber() const { return Number; }

    bool operator==(const FName& other) const
    {
        return ComparisonIndex == other.ComparisonIndex && Number == other.Number;
    }
    bool operator!=(const FName& other) const { return !(*this == other); }

  private:
    uint32 ComparisonIndex = 0;
    int32 Number = 0;
};
static_assert(sizeof(FName) == 8);

constexpr FName NAME_None{};
} // namespace RC::Unreal
