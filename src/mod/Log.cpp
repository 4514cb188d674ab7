// Log output and once-only report keys.
#include "mod/Log.hpp"

#include "reflection/Host.hpp"

#include <mutex>
#include <string>
#include <unordered_set>

namespace Orv
{
namespace
{
constexpr std::wstring_view kErrorPrefix = L"[Orvanta] [error] ";
constexpr std::wstring_view kWarningPrefix = L"[Orvanta] [warning] ";

void LogPrefixed(std::wstring_view prefix, std::wstring_view message, int level)
{
    std::wstring line;
    line.reserve(prefix.size() + message.size());
    line.append(prefix).append(message);
    LogLine(line, level);
}

struct ReportKeys
{
    std::mutex mutex;
    std::unordered_set<std::wstring> keys;
};

ReportKeys& Reports()
{
    static ReportKeys reports;
    return reports;
}
} // namespace

void LogLine(std::wstring_view text, int level)
{
    for (const auto& device : RC::Output::DefaultTargets::get_default_devices_ref())
    {
        if (device == nullptr)
        {
            continue;
        }
        if (device->has_optional_arg())
        {
            device->receive_with_optional_arg(text, level);
        }
        else
        {
            device->receive(text);
        }
    }
}

void LogError(std::wstring_view message) { LogPrefixed(kErrorPrefix, message, kErrorLogLevel); }

void LogWarning(std::wstring_view message) { LogPrefixed(kWarningPrefix, message, kWarningLogLevel); }

bool ReportOnce(std::wstring_view key)
{
    auto& reports = Reports();
    std::lock_guard lock(reports.mutex);
    return reports.keys.emplace(key).second;
}

void ResetReports()
{
    auto& reports = Reports();
    std::lock_guard lock(reports.mutex);
    reports.keys.clear();
}
} // namespace Orv
