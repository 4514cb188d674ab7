// Kept for mods written against older loaders: forwards to <Unreal/CoreUObject/UObject/UnrealType.hpp>.
#pragma once

#if defined(__GNUC__)
#pragma GCC warning "<Unreal/Property/FSetProperty.hpp> is deprecated: include <Unreal/CoreUObject/UObject/UnrealType.hpp>"
#endif

#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
