// Faults on demand: a function marked to fault does, in place of its native body, what a
// broken native would do, so a mod's containment of engine faults can be tested for real.
#include "Sim/EngineState.hpp"

#include <Sim/Faults.hpp>

#include <cstdio>
#include <cstdlib>

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

namespace Sim
{
void MakeFunctionFault(UFunction* function, FaultKind fault)
{
    if (auto* state = function != nullptr ? Detail::EngineAccess::StateOf(function) : nullptr)
    {
        state->fault = fault;
    }
}
} // namespace Sim
