// Kept for mods written against older loaders: forwards to <Unreal/CoreUObject/UObject/Class.hpp>.
#pragma once

#if defined(__GNUC__)
#pragma GCC warning "<Unreal/UClass.hpp> is deprecated: include <Unreal/CoreUObject/UObject/Class.hpp>"
#endif

#include <Unreal/CoreUObject/UObject/Class.hpp>
