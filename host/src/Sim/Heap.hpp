// The engine heap's registry of live blocks, for engine code that must check a block
// before it reads through it (text data freed twice must not be read again).
#pragma once

namespace Sim::Detail
{
bool IsLiveHeapBlock(const void* block);
// Counts and reports a release of memory that is not a live block.
void ReportInvalidFree(const void* block, const char* what);
} // namespace Sim::Detail
