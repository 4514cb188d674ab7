// The stand-in's performance counter: the simulated engine clock in 100 ns ticks, the unit a
// Windows counter commonly has, so the mod converts ticks exactly as it would there.
#include <Platform/Windows.hpp>
#include <Sim/World.hpp>

namespace
{
constexpr LONGLONG kPerformanceFrequency = 10'000'000;
} // namespace

extern "C"
{
    BOOL QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
    {
        if (lpPerformanceCount == nullptr) return FALSE;
        lpPerformanceCount->QuadPart = Sim::ClockNanoseconds() / (1'000'000'000 / kPerformanceFrequency);
        return TRUE;
    }

    BOOL QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency)
    {
        if (lpFrequency == nullptr) return FALSE;
        lpFrequency->QuadPart = kPerformanceFrequency;
        return TRUE;
    }
}
