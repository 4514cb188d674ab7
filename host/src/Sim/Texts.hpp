// The engine's text values in place: the text data they share, counted as the engine's FText
// counts it (the TSharedRef's controller on 4.x, the data's own TRefCountPtr count from 5.0),
// and freed when the last value lets go of it.
#pragma once

#include <Unreal/Common.hpp>

#include <string>
#include <string_view>

namespace Sim::Detail
{
// The size of one text value in the running engine: 24 bytes on 4.x ({data, controller,
// flags}), 16 from 5.0 ({data, flags}). All-zero bytes are the empty text in either layout.
RC::Unreal::int32 TextValueSize();

void InitializeTextValues(void* dest, RC::Unreal::int32 count);
// Shares each source value's data with its destination, as the engine's FText assignment does.
void CopyTextValues(void* dest, const void* src, RC::Unreal::int32 count);
// Lets go of each value's data; the data pointer stays, so a second destroy is reported.
void DestroyTextValues(void* dest, RC::Unreal::int32 count);

// A value that already holds a text (or is all zero) takes new data made from the string.
void WriteTextValue(void* value, std::wstring_view text);
std::wstring ReadTextValue(const void* value);

// The engine's KismetTextLibrary, whose Conv_StringToText the loader's FText runs.
void DefineTextLibrary();
// Every text data still alive is forgotten (left allocated): the next engine counts its own.
void ForgetTexts();
} // namespace Sim::Detail
