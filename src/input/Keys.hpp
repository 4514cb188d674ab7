// The operating system's key state as the edit mode polls it: a key is down while the high bit
// of its asynchronous state is set. Windows gives the digit keys their characters' codes.
#pragma once

#include "reflection/Host.hpp"

namespace Orv
{
inline constexpr int kDigitKey0 = 0x30;
inline constexpr int kVirtualKeyCount = 256;

inline bool IsKeyDown(int virtualKey)
{
    return (static_cast<unsigned short>(GetAsyncKeyState(virtualKey)) & 0x8000u) != 0;
}
} // namespace Orv
