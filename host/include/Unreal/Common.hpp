// Engine integer names and forward declarations shared by the stand-in engine headers.
#pragma once

#include <File/Macros.hpp>

#include <cstddef>
#include <cstdint>

namespace RC::Unreal
{
using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using int64 = std::int64_t;
using uint8 = std::uint8_t;
using uint16 = std::uint16_t;
using uint32 = std::uint32_t;
using uint64 = std::uint64_t;
using TCHAR = RC::CharType;

class UObjectBase;
class UObject;
class UField;
class UStruct;
class UClass;
class UFunction;
class UScriptStruct;
class UEnum;
class UWorld;
class UEngine;
class AActor;
class FField;
class FProperty;
struct FUObjectItem;
} // namespace RC::Unreal

// The stand-in engine's internals reach private engine state through this one door.
namespace Sim::Detail
{
struct EngineAccess;
} // namespace Sim::Detail
