// Keeping the map readable by day, at night and underground: one exposure from the day or
// night brightness, the user's trim and the dungeon boost, its positive part carried by the
// capture's post-process exposure bias and the rest (or all of it, when the bias cannot be set)
// by a grey tint on the map image.
#include "mod/LiveOrvantaMod.hpp"

#include "capture/CaptureMath.hpp"
#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "settings/ModSettings.hpp"

#include <algorithm>

namespace Orv
{
using namespace RC::Unreal;

float LiveOrvantaMod::ExposureValue() const
{
    const ModSettings& settings = Settings();
    return Exposure(session.brightness.lastNightState, session.camera.inDungeon, settings.DayBrightness,
                    settings.NightBrightness, workingBrightnessTrim, settings.DungeonBrightnessV2);
}

void LiveOrvantaMod::ApplyBrightness()
{
    const float exposure = ExposureValue();
    UObject* component = session.capture.captureComponent;
    if (IsLive(component, false))
    {
        bool applied = WriteBoolMember(reflection, component, L"PostProcessSettings", L"bOverride_AutoExposureBias", true) &&
                       WriteRealMember(reflection, component, L"PostProcessSettings", L"AutoExposureBias", std::max(exposure, 0.0f));
        const float full = 1.0f;
        applied = applied && WritePropertyValue(reflection, component, L"PostProcessBlendWeight", full);
        exposureBiasFailed = !applied;
    }
    if (IsLive(session.widget.mapImage, false))
    {
        const float grey = TintFor(exposure, exposureBiasFailed);
        SetImageColor(reflection, session.widget.mapImage, {grey, grey, grey, 1.0f});
    }
}

void LiveOrvantaMod::RefreshBrightness(bool force)
{
    UWorld* world = session.discovery.world;
    if (!IsLive(world, false))
    {
        return;
    }
    UObject* library = reflection.LookupClassDefault(L"/Script/Umbrafel.InGameTimeFunctionLibrary");
    if (!IsLive(library, true))
    {
        return;
    }
    std::uint8_t night = 0;
    const bool asked = InvokeFunction(
        reflection, library, L"IsNighttime",
        [&](CallFrame& frame) { return frame.WriteRaw(L"WorldContextObject", &world, sizeof(world)); },
        [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &night, 1); });
    if (!asked)
    {
        return;
    }
    BrightnessState& brightness = session.brightness;
    const bool isNight = night != 0;
    if (!force && brightness.nightStateKnown && isNight == brightness.lastNightState)
    {
        return;
    }
    brightness.lastNightState = isNight;
    brightness.nightStateKnown = true;
    ApplyBrightness();
    if (IsLive(session.capture.captureComponent, false))
    {
        UpdateCamera();
    }
}
} // namespace Orv
