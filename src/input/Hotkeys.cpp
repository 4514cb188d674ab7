// The hotkeys' edges, their modifiers and the focus test.
#include "input/Hotkeys.hpp"

#include "input/Keys.hpp"

#include <cwchar>

namespace Orv
{
namespace
{
// Unreal's FWindowsWindow registers every window it makes under this class.
constexpr wchar_t kEngineWindowClass[] = L"UnrealWindow";
constexpr int kClassNameCapacity = 32;
constexpr float kOpacitySteps[] = {1.0f, 0.8f, 0.6f, 0.4f};
// A value read back from the file may sit a rounding away from its step.
constexpr float kOpacityTolerance = 0.001f;
} // namespace

float NextMapOpacity(float current)
{
    for (const float step : kOpacitySteps)
    {
        if (step < current - kOpacityTolerance)
        {
            return step;
        }
    }
    return kOpacitySteps[0];
}

bool ModifiersMatch(const KeyChord& chord)
{
    return IsKeyDown(VK_CONTROL) == chord.ctrl && IsKeyDown(VK_SHIFT) == chord.shift && IsKeyDown(VK_MENU) == chord.alt;
}

bool GameWindowInFront()
{
    HWND window = GetForegroundWindow();
    if (window == nullptr)
    {
        return false;
    }
    DWORD process = 0;
    if (GetWindowThreadProcessId(window, &process) == 0 || process != GetCurrentProcessId())
    {
        return false;
    }
    wchar_t className[kClassNameCapacity] = {};
    const int length = GetClassNameW(window, className, kClassNameCapacity);
    return length > 0 && std::wcscmp(className, kEngineWindowClass) == 0;
}

void SettleHotkeys(HotkeyState& state, const std::array<KeyChord, kHotkeyCount>& chords)
{
    for (std::size_t index = 0; index < kHotkeyCount; ++index)
    {
        state.keyWasDown[index] = chords[index].key != 0 && IsKeyDown(chords[index].key);
    }
}

std::array<bool, kHotkeyCount> PollChords(HotkeyState& state, const std::array<KeyChord, kHotkeyCount>& chords)
{
    std::array<bool, kHotkeyCount> pressed{};
    bool anyWentDown = false;
    for (std::size_t index = 0; index < kHotkeyCount; ++index)
    {
        const bool down = chords[index].key != 0 && IsKeyDown(chords[index].key);
        pressed[index] = down && !state.keyWasDown[index];
        state.keyWasDown[index] = down;
        anyWentDown = anyWentDown || pressed[index];
    }
    if (!anyWentDown)
    {
        return pressed;
    }
    const bool focused = GameWindowInFront();
    for (std::size_t index = 0; index < kHotkeyCount; ++index)
    {
        pressed[index] = pressed[index] && focused && ModifiersMatch(chords[index]);
    }
    return pressed;
}
} // namespace Orv
