// The shapes a script-function hook sees: the stack frame with the call's parameter block,
// and the callable type the loader stores for each hook.
#pragma once

#include <Unreal/Common.hpp>

#include <functional>

namespace RC::Unreal
{
struct FFrame
{
    UFunction* Node = nullptr;
    UObject* Object = nullptr;
    uint8* Code = nullptr;
    uint8* LocalsData = nullptr;

    uint8* Locals() const { return LocalsData; }
};

struct UnrealScriptFunctionCallableContext
{
    UObject* Context;
    FFrame& TheStack;
    void* RESULT_DECL;
};

using UnrealScriptFunctionCallable = std::function<void(UnrealScriptFunctionCallableContext&, void* CustomData)>;
using CallbackId = int32_t;
} // namespace RC::Unreal
