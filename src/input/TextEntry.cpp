// Typing a performance value in the edit mode's panel: the keys polled while a value is typed,
// the edit rules (the shown value replaced by the first key, one point for the render scale
// only, 15 characters at most), and applying an accepted value or RESET DEFAULTS.
#include "mod/LiveOrvantaMod.hpp"

#include "input/Keys.hpp"
#include "settings/ModSettings.hpp"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace Orv
{
namespace
{
constexpr std::size_t kMaxEntryLength = kEntryCapacity - 1;

// Limits that let a NaN through unchanged; the rates are then whole frames per second.
float LimitRate(float rate)
{
    if (rate < kFpsRange.min)
    {
        rate = kFpsRange.min;
    }
    else if (rate > kFpsRange.max)
    {
        rate = kFpsRange.max;
    }
    return std::round(rate);
}

float LimitRenderScale(float scale)
{
    if (scale < kRenderScaleRange.min)
    {
        return kRenderScaleRange.min;
    }
    return scale > kRenderScaleRange.max ? kRenderScaleRange.max : scale;
}

// The whole text as one finite number, read the same way whatever locale the game runs in.
// Only digits and points can be typed, so the narrow copy loses nothing.
bool ParseEntry(const EditState& edit, float& value)
{
    char narrow[kEntryCapacity] = {};
    const std::size_t length = std::min(edit.entryLength, kMaxEntryLength);
    for (std::size_t i = 0; i < length; ++i)
    {
        const wchar_t c = edit.entryText[i];
        if ((c < L'0' || c > L'9') && c != L'.')
        {
            return false;
        }
        narrow[i] = static_cast<char>(c);
    }
    const auto parsed = std::from_chars(narrow, narrow + length, value);
    return parsed.ec == std::errc{} && parsed.ptr == narrow + length && std::isfinite(value);
}

void ClearEntry(EditState& edit)
{
    edit.entryText.fill(L'\0');
    edit.entryLength = 0;
}

void AppendToEntry(EditState& edit, wchar_t c)
{
    edit.entryText[edit.entryLength++] = c;
    edit.entryText[edit.entryLength] = L'\0';
}

// The old value counts as selected until the first key replaces it.
void TakeReplacement(EditState& edit)
{
    if (edit.entryReplacePending)
    {
        ClearEntry(edit);
        edit.entryReplacePending = false;
    }
}
} // namespace

bool LiveOrvantaMod::KeyPressed(int virtualKey, bool inFront)
{
    if (virtualKey < 0 || virtualKey >= kVirtualKeyCount)
    {
        return false;
    }
    const bool down = IsKeyDown(virtualKey);
    bool& wasDown = session.edit.keyWasDown[static_cast<std::size_t>(virtualKey)];
    // The state is kept either way, so a key held while the game comes back is no press.
    const bool pressed = down && !wasDown && inFront;
    wasDown = down;
    return pressed;
}

void LiveOrvantaMod::StartTextEntry(EditingField field)
{
    EditState& edit = session.edit;
    edit.editingField = field;
    const bool scale = field == EditingField::RenderScale;
    const float value = field == EditingField::CaptureRate ? workingCaptureFPS
                        : field == EditingField::MarkerRate ? workingMarkerFPS
                                                            : workingRenderScale;
    ClearEntry(edit);
    const auto written = fmt::format_to_n(edit.entryText.data(), kMaxEntryLength, scale ? L"{:.2f}" : L"{:.0f}", value);
    edit.entryLength = std::min(written.size, kMaxEntryLength);
    edit.entryReplacePending = true;
    // Keys held as typing starts (the button that clicked, say) are not presses.
    for (int code = 0; code < kVirtualKeyCount; ++code)
    {
        edit.keyWasDown[static_cast<std::size_t>(code)] = IsKeyDown(code);
    }
    RefreshValueFields();
    RefreshControlColours();
}

void LiveOrvantaMod::ProcessTextEntryKeys(bool inFront)
{
    EditState& edit = session.edit;
    if (edit.editingField == EditingField::None)
    {
        return;
    }
    if (KeyPressed(VK_ESCAPE, inFront))
    {
        EndTextEntry(false);
        return;
    }
    if (KeyPressed(VK_RETURN, inFront))
    {
        EndTextEntry(true);
        return;
    }
    bool changed = false;
    // Delete is looked at only when backspace brought no press.
    if (KeyPressed(VK_BACK, inFront) || KeyPressed(VK_DELETE, inFront))
    {
        if (edit.entryReplacePending)
        {
            TakeReplacement(edit);
        }
        else if (edit.entryLength > 0)
        {
            edit.entryText[--edit.entryLength] = L'\0';
        }
        changed = true;
    }
    for (int digit = 0; digit <= 9; ++digit)
    {
        // Both keys are polled every tick so neither keeps a stale state; a digit goes in once.
        const bool mainRow = KeyPressed(kDigitKey0 + digit, inFront);
        const bool keypad = KeyPressed(VK_NUMPAD0 + digit, inFront);
        if (!mainRow && !keypad)
        {
            continue;
        }
        TakeReplacement(edit);
        if (edit.entryLength + 1 < kEntryCapacity)
        {
            AppendToEntry(edit, static_cast<wchar_t>(L'0' + digit));
            changed = true;
        }
    }
    const bool period = KeyPressed(VK_OEM_PERIOD, inFront);
    const bool decimal = KeyPressed(VK_DECIMAL, inFront);
    // The shown value's own point does not count while that value is about to be replaced.
    const bool hasPoint = !edit.entryReplacePending &&
                          std::find(edit.entryText.begin(), edit.entryText.begin() + edit.entryLength, L'.') !=
                              edit.entryText.begin() + edit.entryLength;
    // The rates are whole numbers: only the render scale takes a point.
    if ((period || decimal) && edit.editingField == EditingField::RenderScale && !hasPoint)
    {
        TakeReplacement(edit);
        if (edit.entryLength == 0)
        {
            AppendToEntry(edit, L'0');
            changed = true;
        }
        if (edit.entryLength + 1 <= kMaxEntryLength)
        {
            AppendToEntry(edit, L'.');
            changed = true;
        }
    }
    if (changed)
    {
        RefreshValueFields();
    }
}

void LiveOrvantaMod::EndTextEntry(bool commit)
{
    EditState& edit = session.edit;
    const EditingField field = edit.editingField;
    if (field == EditingField::None)
    {
        return;
    }
    float typed = 0.0f;
    const bool accepted = commit && edit.entryLength > 0 && ParseEntry(edit, typed);
    edit.editingField = EditingField::None;
    if (accepted)
    {
        ApplyPerformanceSettings(field == EditingField::CaptureRate ? typed : workingCaptureFPS,
                                 field == EditingField::MarkerRate ? typed : workingMarkerFPS,
                                 field == EditingField::RenderScale ? typed : workingRenderScale);
    }
    ClearEntry(edit);
    edit.entryReplacePending = false;
    RefreshValueFields();
    RefreshControlColours();
}

void LiveOrvantaMod::ApplyPerformanceSettings(float captureFPS, float markerFPS, float renderScale)
{
    captureFPS = LimitRate(captureFPS);
    markerFPS = LimitRate(markerFPS);
    renderScale = LimitRenderScale(renderScale);
    const bool captureRateChanged = std::abs(captureFPS - workingCaptureFPS) >= 0.01f;
    const bool markerRateChanged = std::abs(markerFPS - workingMarkerFPS) >= 0.01f;
    const bool renderScaleChanged = std::abs(renderScale - workingRenderScale) >= 0.001f;

    ModSettings& settings = Settings();
    workingCaptureFPS = settings.CaptureFPS = captureFPS;
    workingMarkerFPS = settings.MarkerFPS = markerFPS;
    workingRenderScale = settings.RenderScale = renderScale;

    // A new rate takes effect on the next frame, not after the old period runs out.
    const Nanoseconds at = ReadMonotonicClock();
    if (captureRateChanged)
    {
        session.deadlines.nextCameraUpdate = at;
    }
    if (markerRateChanged)
    {
        session.deadlines.nextMarkerUpdate = at;
    }
    if (renderScaleChanged)
    {
        ResizeRenderTarget();
        UpdateCamera();
    }
    CommitLayoutAndSave();
    RefreshValueFields();
    RefreshControlColours();
}
} // namespace Orv
