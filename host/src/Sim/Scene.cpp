// The worlds' scenes: for now open, flat ground at height 0 under a sky with no roofs, so
// traces find nothing above, no place is a dungeon and nothing is sheltered. The time of day
// is each world's time subsystem's flag.
#include "Sim/WorldScene.hpp"

#include "Sim/EngineState.hpp"

#include <Sim/Scene.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>

#include <algorithm>
#include <cmath>

namespace Sim::Detail
{
namespace
{
template <typename P> P* PropertyOf(const UStruct* owner, StringViewType name)
{
    return owner != nullptr ? dynamic_cast<P*>(FindPropertyUncounted(owner, name)) : nullptr;
}

UObject* TimeSubsystemOf(const UObject* world)
{
    auto found = State().play.timeSubsystems.find(world);
    return found != State().play.timeSubsystems.end() && HoldsObject(found->second) ? found->second : nullptr;
}
} // namespace

TraceHit TraceSegment(const UObject*, const double (&start)[3], const double (&end)[3])
{
    // The ground is the only surface: a segment that crosses height 0 going down hits it.
    TraceHit hit;
    if (start[2] >= 0.0 && end[2] < 0.0)
    {
        const double t = start[2] / (start[2] - end[2]);
        hit = {true, start[0] + t * (end[0] - start[0]), start[1] + t * (end[1] - start[1]), 0.0};
    }
    return hit;
}

bool InsideDungeon(const UObject*, double, double, double) { return false; }

float ShelterScore(const UObject*, double, double, double) { return 0.0f; }

void RenderCapture(UObject* component)
{
    UObject* target = ObjectReference(component, L"TextureTarget");
    auto found = State().play.renderTargets.find(target);
    if (found == State().play.renderTargets.end())
    {
        return;
    }
    for (std::size_t i = 0; i < found->second.rgba.size(); i += 4)
    {
        found->second.rgba[i] = 70;
        found->second.rgba[i + 1] = 120;
        found->second.rgba[i + 2] = 60;
        found->second.rgba[i + 3] = 255;
    }
}

void StepScenes() {}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

void SetNight(UWorld* world, bool night)
{
    UObject* time = TimeSubsystemOf(reinterpret_cast<const UObject*>(world));
    auto* flag = time != nullptr ? PropertyOf<FBoolProperty>(time->GetClassPrivate(), L"bIsNight") : nullptr;
    if (flag == nullptr || flag->GetPropertyValue(flag->ContainerPtrToValuePtr(time)) == night)
    {
        return;
    }
    flag->SetPropertyValue(flag->ContainerPtrToValuePtr(time), night);
    CallScriptFunction(time, L"OnDayOrNightChangedDynamic", [&](uint8* parms) {
        auto* param = static_cast<FBoolProperty*>(FindPropertyUncounted(FindFunctionByPath(
                                                                            L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic"),
                                                                        L"bIsNight"));
        param->SetPropertyValue(param->ContainerPtrToValuePtr(parms), night);
    });
}

bool IsNight(UWorld* world)
{
    UObject* time = TimeSubsystemOf(reinterpret_cast<const UObject*>(world));
    auto* flag = time != nullptr ? PropertyOf<FBoolProperty>(time->GetClassPrivate(), L"bIsNight") : nullptr;
    return flag != nullptr && flag->GetPropertyValue(flag->ContainerPtrToValuePtr(time));
}
} // namespace Sim
