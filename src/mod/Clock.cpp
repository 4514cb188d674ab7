// Reads the performance counter and converts its ticks to nanoseconds without overflow.
#include "mod/Clock.hpp"

#include "reflection/Host.hpp"

namespace Orv
{
namespace
{
std::int64_t CounterFrequency()
{
    // The frequency is fixed at boot, so one query serves the whole process.
    static const std::int64_t frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return value.QuadPart > 0 ? static_cast<std::int64_t>(value.QuadPart) : std::int64_t{1};
    }();
    return frequency;
}
} // namespace

Nanoseconds ReadMonotonicClock()
{
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const std::int64_t frequency = CounterFrequency();
    const auto ticks = static_cast<std::int64_t>(counter.QuadPart);
    // Whole seconds and the remainder apart, so ticks × 10⁹ never overflows.
    return ticks / frequency * kSecond + ticks % frequency * kSecond / frequency;
}
} // namespace Orv
