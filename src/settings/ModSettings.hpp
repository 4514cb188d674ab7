// The persisted settings record: every value the player can keep across runs, its defaults,
// and the ranges a value must lie in. The record is plain data so it can be copied and reset
// by assignment; the one live instance is reached through Settings().
#pragma once

namespace Orv
{
    // Inclusive on both ends. Bounds are single-precision because almost every setting is,
    // and a value read from the file must compare against exactly the bound it will be
    // stored next to (0.05f, not 0.05).
    struct SettingRange
    {
        float min;
        float max;

        // NaN fails both comparisons, so it is never inside a range.
        [[nodiscard]] constexpr bool Contains(float value) const
        {
            return value >= min && value <= max;
        }

        [[nodiscard]] constexpr bool Contains(double value) const
        {
            return value >= static_cast<double>(min) && value <= static_cast<double>(max);
        }

        // Anything not at or above the minimum (NaN included) becomes the minimum, so a
        // clamped value is always a usable one.
        [[nodiscard]] constexpr float Clamp(float value) const
        {
            if (!(value >= min)) return min;
            if (value > max) return max;
            return value;
        }

        [[nodiscard]] constexpr double Clamp(double value) const
        {
            if (!(value >= static_cast<double>(min))) return static_cast<double>(min);
            if (value > static_cast<double>(max)) return static_cast<double>(max);
            return value;
        }
    };

    // Zoom, IndoorZoom and DungeonZoom: orthographic width in world units.
    inline constexpr SettingRange kZoomRange{1500.0f, 8000.0f};
    inline constexpr SettingRange kSizeRange{160.0f, 720.0f};
    // BrightnessTrim, DayBrightness and NightBrightness.
    inline constexpr SettingRange kBrightnessRange{-2.0f, 6.0f};
    // CaptureFPS and MarkerFPS.
    inline constexpr SettingRange kFpsRange{1.0f, 240.0f};
    inline constexpr SettingRange kRenderScaleRange{0.25f, 4.0f};
    // AiIconScale and PoiIconScale.
    inline constexpr SettingRange kIconScaleRange{0.5f, 3.0f};
    inline constexpr SettingRange kMarkerOpacityRange{0.1f, 1.0f};
    inline constexpr SettingRange kIndoorCheckIntervalRange{0.05f, 2.0f};
    inline constexpr SettingRange kIndoorCeilingOffsetRange{10.0f, 300.0f};
    inline constexpr SettingRange kIndoorTransitionSpeedRange{0.5f, 30.0f};
    inline constexpr SettingRange kIndoorFallbackHeightRange{150.0f, 1500.0f};
    inline constexpr SettingRange kIndoorRoofTraceDistanceRange{500.0f, 5000.0f};
    inline constexpr SettingRange kIndoorShelterThresholdRange{0.0f, 1.0f};
    inline constexpr SettingRange kDungeonBrightnessRange{0.0f, 6.0f};
    inline constexpr SettingRange kDungeonCeilingOffsetRange{50.0f, 500.0f};

    // PositionX / PositionY are fractions of the free space (0 … 1); this exact value instead
    // asks for the default placement.
    inline constexpr double kDefaultPlacement = -1.0;
    inline constexpr SettingRange kPositionRange{0.0f, 1.0f};

    [[nodiscard]] constexpr bool IsAcceptedPosition(double value)
    {
        return value == kDefaultPlacement || kPositionRange.Contains(value);
    }

    // Field names are the INI keys; the member initialisers are the defaults.
    struct ModSettings
    {
        double PositionX = kDefaultPlacement;
        double PositionY = kDefaultPlacement;
        float Zoom = 8000.0f;
        float Size = 280.0f;
        bool Circular = true;
        float BrightnessTrim = 0.0f;
        float DayBrightness = 0.5f;
        float NightBrightness = 2.5f;
        bool HidePlayer = true;
        bool HideWeather = true;
        bool Shadows = false;
        bool ShowAi = true;
        bool ShowResources = true;
        bool ShowQuests = true;
        bool ShowPois = true;
        float CaptureFPS = 60.0f;
        float MarkerFPS = 60.0f;
        float RenderScale = 4.0f;
        float AiIconScale = 1.0f;
        float PoiIconScale = 1.0f;
        float MarkerOpacity = 1.0f;
        bool IndoorCameraEnabled = true;
        float IndoorCheckInterval = 0.15f;
        float IndoorCeilingOffset = 40.0f;
        float IndoorTransitionSpeed = 8.0f;
        float IndoorFallbackHeight = 350.0f;
        float IndoorRoofTraceDistance = 2000.0f;
        float IndoorShelterThreshold = 0.5f;
        float IndoorZoom = 3500.0f;
        float DungeonZoom = 2500.0f;
        float DungeonBrightnessV2 = 1.5f;
        float DungeonCeilingOffset = 200.0f;

        friend bool operator==(const ModSettings&, const ModSettings&) = default;
    };

    [[nodiscard]] constexpr ModSettings DefaultSettings()
    {
        return ModSettings{};
    }

    // The one process-wide record. Holds the defaults from load of the library on.
    [[nodiscard]] ModSettings& Settings();
}
