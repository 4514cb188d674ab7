// UFunction: a script function with its parameter block size, its native body and the
// loader's pre- and post-hooks.
#pragma once

#include <Unreal/UFunctionStructs.hpp>
#include <Unreal/UStruct.hpp>

namespace Sim::Detail
{
struct FunctionState;
} // namespace Sim::Detail

namespace RC::Unreal
{
enum EFunctionFlags : uint32
{
    FUNC_None = 0,
    FUNC_Final = 0x1,
    FUNC_Native = 0x400,
    FUNC_Event = 0x800,
    FUNC_Static = 0x2000,
    FUNC_Public = 0x20000,
    FUNC_BlueprintCallable = 0x4000000,
    FUNC_BlueprintEvent = 0x8000000,
};

class UE4SS_API UFunction : public UStruct
{
  public:
    static UClass* StaticClass();

    uint16 GetParmsSize() const { return ParmsSize; }
    uint8 GetNumParms() const { return NumParms; }
    uint16 GetReturnValueOffset() const { return ReturnValueOffset; }
    uint32 GetFunctionFlags() const { return FunctionFlags; }

    // Ids above 0 are registrations; anything else means the loader refused the hook.
    CallbackId RegisterPreHook(const UnrealScriptFunctionCallable& callable, void* customData = nullptr);
    CallbackId RegisterPostHook(const UnrealScriptFunctionCallable& callable, void* customData = nullptr);
    bool UnregisterHook(CallbackId id);

  protected:
    uint32 FunctionFlags = FUNC_None;
    uint8 NumParms = 0;
    uint16 ParmsSize = 0;
    uint16 ReturnValueOffset = 0xFFFF;
    Sim::Detail::FunctionState* State = nullptr;

    friend struct ::Sim::Detail::EngineAccess;
};
} // namespace RC::Unreal
