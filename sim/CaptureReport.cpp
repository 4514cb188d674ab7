// Reads the capture component through the engine's own reflection, as any tool beside the mod
// would: the values are what the renderer uses, not what the mod meant to write.
#include "CaptureReport.hpp"

#include <Sim/Output.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/UObjectArray.hpp>

#include <algorithm>
#include <cmath>

namespace OrvSim
{
namespace
{
using namespace RC::Unreal;

void* ValueOf(FProperty* property, void* container)
{
    return property != nullptr ? property->ContainerPtrToValuePtr<void>(container) : nullptr;
}

// A float or double property of the container, as a JSON number; null when it is missing.
nlohmann::json Real(const UStruct* owner, void* container, const wchar_t* name)
{
    FProperty* property = Sim::FindPropertyUncounted(owner, name);
    void* value = ValueOf(property, container);
    if (value == nullptr)
    {
        return nullptr;
    }
    if (dynamic_cast<FDoubleProperty*>(property) != nullptr)
    {
        return *static_cast<const double*>(value);
    }
    if (dynamic_cast<FFloatProperty*>(property) != nullptr)
    {
        return *static_cast<const float*>(value);
    }
    return nullptr;
}

nlohmann::json ExposureBias(UObject* component)
{
    auto* settings = dynamic_cast<FStructProperty*>(Sim::FindPropertyUncounted(component->GetClassPrivate(), L"PostProcessSettings"));
    if (settings == nullptr)
    {
        return nullptr;
    }
    return Real(settings->GetStruct(), ValueOf(settings, component), L"AutoExposureBias");
}

// The names of the show flags the component's settings turn off, in the order given, whether
// or not the renderer has taken them.
nlohmann::json ShowFlagSettingsOff(UObject* component)
{
    nlohmann::json off = nlohmann::json::array();
    auto* array = dynamic_cast<FArrayProperty*>(Sim::FindPropertyUncounted(component->GetClassPrivate(), L"ShowFlagSettings"));
    auto* element = array != nullptr ? dynamic_cast<FStructProperty*>(array->GetInner()) : nullptr;
    if (element == nullptr)
    {
        return off;
    }
    FProperty* name = Sim::FindPropertyUncounted(element->GetStruct(), L"ShowFlagName");
    auto* enabled = dynamic_cast<FBoolProperty*>(Sim::FindPropertyUncounted(element->GetStruct(), L"Enabled"));
    void* value = ValueOf(array, component);
    for (int32 i = 0; name != nullptr && enabled != nullptr && i < Sim::ArrayNum(value); ++i)
    {
        void* entry = Sim::ArrayElement(array, value, i);
        if (!enabled->GetPropertyValue(enabled->ContainerPtrToValuePtr<void>(entry)))
        {
            off.push_back(Sim::ToUtf8(Sim::ReadString(ValueOf(name, entry))));
        }
    }
    return off;
}

// Actors the capture leaves out: those it hides whole, and the owners of the primitives it
// hides, each counted once.
int32 HiddenActorCount(UObject* component)
{
    std::vector<const UObject*> actors;
    auto note = [&actors](const UObject* actor) {
        if (actor != nullptr && std::find(actors.begin(), actors.end(), actor) == actors.end())
        {
            actors.push_back(actor);
        }
    };
    for (const wchar_t* list : {L"HiddenActors", L"HiddenComponents"})
    {
        auto* array = dynamic_cast<FArrayProperty*>(Sim::FindPropertyUncounted(component->GetClassPrivate(), list));
        auto* held = array != nullptr ? dynamic_cast<FObjectPropertyBase*>(array->GetInner()) : nullptr;
        void* value = held != nullptr ? ValueOf(array, component) : nullptr;
        for (int32 i = 0; value != nullptr && i < Sim::ArrayNum(value); ++i)
        {
            // Hidden components are weak pointers: one freed since reads as nothing.
            const UObject* entry = held->GetObjectPropertyValue(Sim::ArrayElement(array, value, i));
            const bool isComponent = std::wstring_view(list) == L"HiddenComponents";
            note(isComponent && entry != nullptr && Sim::HoldsObject(entry) ? entry->GetOuter() : entry);
        }
    }
    return static_cast<int32>(actors.size());
}

} // namespace

nlohmann::json DescribeCapture()
{
    const std::vector<UObject*> components = Sim::CaptureComponents();
    if (components.empty())
    {
        return nlohmann::json::object();
    }
    // Should an old capture still live beside the mod's current one, the current one draws
    // into the newest render target.
    UObject* component = components.front();
    const std::vector<UObject*> targets = Sim::CaptureTargets();
    for (UObject* candidate : components)
    {
        if (!targets.empty() && Sim::ObjectReference(candidate, L"TextureTarget") == targets.back())
        {
            component = candidate;
        }
    }
    nlohmann::json described;
    UObject* target = Sim::ObjectReference(component, L"TextureTarget");
    Sim::RenderTargetImage image;
    if (target != nullptr && Sim::ReadRenderTarget(target, image))
    {
        described["render_target"] = {image.width, image.height};
        described["rooted"] = target->GetObjectItem()->IsRootSet();
    }
    else
    {
        described["render_target"] = nullptr;
        described["rooted"] = false;
    }
    const UClass* layout = component->GetClassPrivate();
    described["ortho_width"] = Real(layout, component, L"OrthoWidth");
    described["lod_factor"] = Real(layout, component, L"LODDistanceFactor");
    const double height = Sim::Observations().lastCaptureHeight;
    described["camera_height"] = std::isnan(height) ? nlohmann::json(nullptr) : nlohmann::json(height);
    described["exposure_bias"] = ExposureBias(component);
    nlohmann::json drawnOff = nlohmann::json::array();
    for (const std::wstring& flag : Sim::CaptureShowFlagsOff(component))
    {
        drawnOff.push_back(Sim::ToUtf8(flag));
    }
    described["show_flags"] = drawnOff;
    described["show_flag_settings"] = ShowFlagSettingsOff(component);
    described["hidden_actors"] = HiddenActorCount(component);
    return described;
}
} // namespace OrvSim
