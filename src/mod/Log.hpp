// The mod's log lines on the loader's default output devices, and the once-only report keys
// that keep a failure from being logged more than once per world.
#pragma once

#include <string_view>

namespace Orv
{
inline constexpr int kBannerLogLevel = 2;
inline constexpr int kWarningLogLevel = 3;
inline constexpr int kErrorLogLevel = 4;

// Sends one line to every default device: with the level to devices that take it, as plain
// text to the others.
void LogLine(std::wstring_view text, int level);
// "[Orvanta] [error] " followed by the message (which ends in a line break) at level 4.
void LogError(std::wstring_view message);
// "[Orvanta] [warning] " followed by the message at level 3: the mod works, in another way
// than it would like.
void LogWarning(std::wstring_view message);

// Records the key; true only the first time since the last reset. Thread-safe: the key set is
// the one piece of state behind a lock.
bool ReportOnce(std::wstring_view key);
void ResetReports();
} // namespace Orv
