// The engine heap's registry of live blocks, for engine code that must check a block
// before it reads through it (a text record freed twice must not be read again).
#pragma once

#include <string>
#include <string_view>

namespace Sim::Detail
{
bool IsLiveHeapBlock(const void* block);
// Counts and reports a release of memory that is not a live block.
void ReportInvalidFree(const void* block, const char* what);

// Text records, for engine text values laid out as engine 5 keeps them ({record, flags}).
void* CopyTextRecord(const void* record);
void* NewTextRecord(std::wstring_view text);
void ReleaseTextRecord(void* record);
std::wstring TextRecordString(const void* record);
} // namespace Sim::Detail
