// The running engine's version. Below 5.0 engine vectors hold 32-bit floats, from 5.0 on 64-bit reals.
#pragma once

#include <Unreal/Common.hpp>

namespace RC::Unreal::Version
{
UE4SS_API extern int32 Major;
UE4SS_API extern int32 Minor;

inline bool IsEqual(int32 major, int32 minor) { return Major == major && Minor == minor; }
inline bool IsBelow(int32 major, int32 minor) { return Major < major || (Major == major && Minor < minor); }
inline bool IsAtLeast(int32 major, int32 minor) { return !IsBelow(major, minor); }
inline bool IsAtMost(int32 major, int32 minor) { return Major < major || (Major == major && Minor <= minor); }
} // namespace RC::Unreal::Version
