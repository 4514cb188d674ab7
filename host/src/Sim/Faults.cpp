// Faults on demand: a function marked to fault does, in place of its native body, what a
// broken native would do, so a mod's containment of engine faults can be tested for real.
#include "Sim/EngineState.hpp"

#include <Sim/Faults.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace Sim::Detail
{
void RaiseFault(FaultKind fault)
{
    switch (fault)
    {
    case FaultKind::NullWrite: {
        // Volatile both ways, so the compiler can neither see the null nor drop the store.
        volatile int* volatile target = nullptr;
        *target = 0x0BAD;
        break;
    }
    case FaultKind::DivideByZero: {
        // Neither operand known, or the division is folded into compares and never traps.
        volatile int dividend = 1;
        volatile int divisor = 0;
        volatile int quotient = dividend / divisor;
        (void)quotient;
        break;
    }
    case FaultKind::None: return;
    }
    // A platform that does not trap on these would otherwise go on as if nothing happened.
    std::fprintf(stderr, "stand-in engine: fault %d did not trap\n", static_cast<int>(fault));
    std::abort();
}
} // namespace Sim::Detail

namespace Sim::Detail
{
namespace
{
std::atomic<int> throwsLeft[kLoaderCallCount]{};
} // namespace

bool& InTickCallbacks()
{
    thread_local bool inside = false;
    return inside;
}

void ThrowIfAsked(LoaderCall call)
{
    if (!InTickCallbacks() || EngineCodeScope::Depth() > 0)
    {
        return;
    }
    std::atomic<int>& left = throwsLeft[static_cast<int>(call)];
    int now = left.load();
    while (now > 0 && !left.compare_exchange_weak(now, now - 1))
    {
    }
    if (now <= 0)
    {
        return;
    }
    switch (call)
    {
    case LoaderCall::ProcessEvent:
        throw std::runtime_error{"Virtual UObject::ProcessEvent is unavailable, possibly unsupported in engine version"};
    case LoaderCall::GetWorld:
        throw std::runtime_error{"Virtual UObject::GetWorld is unavailable, possibly unsupported in engine version"};
    case LoaderCall::K2_DestroyActor: throw std::runtime_error{"Unable to find '/Script/Engine.Actor:K2_DestroyActor'"};
    case LoaderCall::K2_GetActorLocation:
        throw std::runtime_error{"Unable to find '/Script/Engine.Actor:K2_GetActorLocation'"};
    case LoaderCall::K2_GetActorRotation:
        throw std::runtime_error{"Unable to find '/Script/Engine.Actor:K2_GetActorRotation'"};
    case LoaderCall::K2_SetActorLocation: throw std::runtime_error{"Property not found: 'NewLocation'"};
    case LoaderCall::SetActorEnableCollision: throw std::runtime_error{"Property not found: 'bNewActorEnableCollision'"};
    case LoaderCall::SetActorTickEnabled: throw std::runtime_error{"Property not found: 'bEnabled'"};
    }
}

void ForgetLoaderThrows()
{
    for (auto& left : throwsLeft)
    {
        left.store(0);
    }
}
} // namespace Sim::Detail

namespace Sim
{
const char* LoaderCallName(LoaderCall call)
{
    static const char* const names[kLoaderCallCount] = {"UObject::ProcessEvent",      "UObject::GetWorld",
                                                        "AActor::K2_DestroyActor",    "AActor::K2_GetActorLocation",
                                                        "AActor::K2_GetActorRotation", "AActor::K2_SetActorLocation",
                                                        "AActor::SetActorEnableCollision", "AActor::SetActorTickEnabled"};
    return names[static_cast<int>(call)];
}

void MakeLoaderCallThrow(LoaderCall call, int times) { Detail::throwsLeft[static_cast<int>(call)].store(times); }
int LoaderCallThrowsLeft(LoaderCall call) { return Detail::throwsLeft[static_cast<int>(call)].load(); }

void MakeFunctionFault(UFunction* function, FaultKind fault)
{
    if (auto* state = function != nullptr ? Detail::EngineAccess::StateOf(function) : nullptr)
    {
        state->fault = fault;
    }
}
} // namespace Sim
