// Kept for mods written against older loaders: forwards to <Unreal/CoreUObject/UObject/FStrProperty.hpp>.
#pragma once

#if defined(__GNUC__)
#pragma GCC warning "<Unreal/Property/FStrProperty.hpp> is deprecated: include <Unreal/CoreUObject/UObject/FStrProperty.hpp>"
#endif

#include <Unreal/CoreUObject/UObject/FStrProperty.hpp>
