// One engine call as the guard timings make it: the script function run on its object with a
// parameter block, handed to the guard through a context pointer.
#pragma once

#include "reflection/Host.hpp"

#include <cstdint>

namespace OrvBench
{
struct EngineCall
{
    Orv::UObject* target;
    Orv::UFunction* function;
    std::uint8_t* parms;
};

inline void CallEngine(void* context)
{
    auto* call = static_cast<EngineCall*>(context);
    call->target->ProcessEvent(call->function, call->parms);
}
} // namespace OrvBench
