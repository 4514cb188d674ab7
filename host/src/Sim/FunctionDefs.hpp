// How the stand-in declares its engine's script functions: a native member function as
// UFUNCTION(BlueprintCallable) makes one, and a static library function, which script calls on
// its class's default object.
#pragma once

#include <Sim/Types.hpp>

#include <string>
#include <utility>
#include <vector>

namespace Sim::Detail
{
inline constexpr uint32 kLibraryFunction = FUNC_Native | FUNC_Static | FUNC_Public | FUNC_BlueprintCallable;

inline FunctionDef Native(std::wstring name, std::vector<ParamDef> params, NativeFunction body)
{
    return {std::move(name), std::move(params), std::move(body)};
}

inline FunctionDef Library(std::wstring name, std::vector<ParamDef> params, NativeFunction body)
{
    return {std::move(name), std::move(params), std::move(body), kLibraryFunction};
}
} // namespace Sim::Detail
