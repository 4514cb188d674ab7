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

std::wstring Fold(StringViewType text)
{
    std::wstring folded(text);
    for (auto& c : folded)
    {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return folded;
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
    auto& table = Names();
    std::lock_guard lock(table.mutex);
    auto folded = Fold(name);
    if (auto found = table.byFoldedText.find(folded); found != table.byFoldedText.end())
    {
        ComparisonIndex = found->second;
        return;
    }
    if (findType == FNAME_Find)
    {
        return;
    }
    ComparisonIndex = static_cast<uint32>(table.entries.size());
    table.entries.emplace_back(name);
    table.byFoldedText.emplace(std::move(folded), ComparisonIndex);
}

FName::FName(const CharType* name, EFindName findType) : FName(StringViewType(name ? name : L""), findType) {}

StringType FName::ToString() const
{
    auto& table = Names();
    std::lock_guard lock(table.mutex);
    return ComparisonIndex < table.entries.size() ? table.entries[ComparisonIndex] : StringType(L"None");
}
} // namespace RC::Unreal
