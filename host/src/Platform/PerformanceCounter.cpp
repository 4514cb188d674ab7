// The stand-in's performance counter: the simulated engine clock in 100 ns ticks, the unit a
// Windows counter commonly has, so the mod converts ticks exactly as it would there. Other
// systems export it under the Windows names; on Windows the mod's imports of kernel32's are
// pointed at it (ImportRouting.cpp).
#include "Platform/PerformanceCounter.hpp"

#include <Sim/World.hpp>

#ifndef _WIN32
#include <Platform/Windows.hpp>
#endif

namespace Sim::Detail
{
namespace
{
constexpr std::int64_t kPerformanceFrequency = 10'000'000;
} // namespace

std::int64_t PerformanceCount() { return ClockNanoseconds() / (1'000'000'000 / kPerformanceFrequency); }
std::int64_t PerformanceFrequency() { return kPerformanceFrequency; }
} // namespace Sim::Detail

#ifndef _WIN32
extern "C"
{
    BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
    {
        if (lpPerformanceCount == nullptr) return FALSE;
        lpPerformanceCount->QuadPart = Sim::Detail::PerformanceCount();
        return TRUE;
    }

    BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency)
    {
        if (lpFrequency == nullptr) return FALSE;
        lpFrequency->QuadPart = Sim::Detail::PerformanceFrequency();
        return TRUE;
    }
}
#endif
