// Strings and the export macro of the stand-in loader: the same names the real loader's
// SDK gives a mod (RC::StringType, STR), plus the one macro that marks what the loader's
// shared library exports.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#ifndef UE4SS_API
#if defined(_WIN32)
#if defined(RC_UE_BUILDING_HOST)
#define UE4SS_API __declspec(dllexport)
#else
#define UE4SS_API __declspec(dllimport)
#endif
#else
#define UE4SS_API __attribute__((visibility("default")))
#endif
#endif

#define STR(text) L##text

namespace RC
{
using CharType = wchar_t;
using StringType = std::wstring;
using StringViewType = std::wstring_view;

namespace File
{
using CharType = RC::CharType;
using StringType = RC::StringType;
using StringViewType = RC::StringViewType;
} // namespace File
} // namespace RC
