// The engine's name table. It lives for the whole process, like the engine's: a name added
// once stays, which is why find-only lookups matter to a mod that probes many names.
#include <Unreal/NameTypes.hpp>

#include "Sim/EngineState.hpp"

#include <cwctype>
#include <mutex>

namespace RC::Unreal
{
namespace
{
struct NameTable
{
    std::mutex mutex;
    std::vector<std::wstring> entries{L"None"};
    std::unordered_map<std::wstring, uint32> byFoldedText{{L"none", 0}};
};

NameTable& Names()
{
    static NameTable table;
    return table;
}

// Folds into a buffer that keeps its capacity, so looking up a known name allocates nothing.
const std::wstring& Fold(StringViewType text)
{
    thread_local std::wstring folded;
    folded.assign(text);
    for (auto& c : folded)
    {
        c = Sim::Detail::FoldChar(c);
    }
    return folded;
}
} // namespace

namespace
{
// "Actor_12" is kept as the entry "Actor" with number 13, as the engine splits a trailing
// "_<digits>" off a name: digits without a leading zero (a lone "0" aside) that fit a number.
struct SplitName
{
    StringViewType base;
    int32 number = 0;
};

SplitName Split(StringViewType name)
{
    std::size_t digits = 0;
    while (digits < name.size() && std::iswdigit(static_cast<wint_t>(name[name.size() - 1 - digits])) != 0)
    {
        ++digits;
    }
    if (digits == 0 || digits > 10 || digits + 1 >= name.size() || name[name.size() - 1 - digits] != L'_')
    {
        return {name, 0};
    }
    StringViewType text = name.substr(name.size() - digits);
    if (text.size() > 1 && text[0] == L'0')
    {
        return {name, 0};
    }
    long long value = 0;
    for (wchar_t c : text)
    {
        value = value * 10 + (c - L'0');
    }
    if (value >= 0x7FFFFFFF)
    {
        return {name, 0};
    }
    return {name.substr(0, name.size() - digits - 1), static_cast<int32>(value + 1)};
}
} // namespace

FName::FName(StringViewType name, EFindName findType)
{
    if (findType == FNAME_Find)
    {
        ++Sim::Detail::State().counters.NameFind;
    }
    if (name.empty())
    {
        return;
    }
    SplitName split = Split(name);
    auto& table = Names();
    std::lock_guard lock(table.mutex);
    const std::wstring& folded = Fold(split.base);
    if (auto found = table.byFoldedText.find(folded); found != table.byFoldedText.end())
    {
        ComparisonIndex = found->second;
        Number = split.number;
        return;
    }
    if (findType == FNAME_Find)
    {
        return;
    }
    ComparisonIndex = static_cast<uint32>(table.entries.size());
    Number = split.number;
    table.entries.emplace_back(split.base);
    table.byFoldedText.emplace(folded, ComparisonIndex);
}

FName::FName(const CharType* name, EFindName findType) : FName(StringViewType(name ? name : L""), findType) {}

StringType FName::ToString() const
{
    StringType text;
    {
        auto& table = Names();
        std::lock_guard lock(table.mutex);
        text = ComparisonIndex < table.entries.size() ? table.entries[ComparisonIndex] : StringType(L"None");
    }
    if (Number != 0)
    {
        text += L'_';
        text += std::to_wstring(Number - 1);
    }
    return text;
}
} // namespace RC::Unreal
