// The three engine objects that take the map's picture, made once per session: the render
// target (rooted while the session lives), the SceneCapture2D actor high above the player and
// its capture component, set up to render only when asked. Also the capture's show flags, the
// player hidden from the picture, and the render target resized with the map.
#include "mod/LiveOrvantaMod.hpp"

#include "capture/CaptureMath.hpp"
#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "settings/ModSettings.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr std::wstring_view kRenderingLibrary = L"/Script/Engine.KismetRenderingLibrary";
constexpr double kCaptureRise = 8000.0;
constexpr std::uint8_t kOrthographic = 1;
constexpr std::uint8_t kFinalColorLdr = 2;
constexpr std::uint8_t kRgba8 = 2;
constexpr float kMaxViewDistance = 14000.0f;
constexpr float kOpenWorldLodFactor = 2.0f;
constexpr double kLookStraightDown = -90.0;

// Weather and post effects a map does without, then the shadows, in the order they are sent.
constexpr std::wstring_view kWeatherFlags[] = {L"Fog",         L"VolumetricFog", L"Atmosphere", L"Cloud",
                                               L"Particles",   L"Niagara",       L"LightShafts", L"LensFlares",
                                               L"Bloom",       L"MotionBlur",    L"DepthOfField"};
constexpr std::wstring_view kShadowFlags[] = {L"DynamicShadows",  L"CapsuleShadows",   L"ContactShadows",
                                              L"DistanceFieldAO", L"AmbientOcclusion", L"ScreenSpaceAO"};

bool RootObject(UObject* object)
{
    FUObjectItem* item = FUObjectArray::IndexToObject(object->GetInternalIndex());
    if (item == nullptr)
    {
        return false;
    }
    item->SetRootSet();
    return true;
}
} // namespace

bool LiveOrvantaMod::CreateRenderTarget()
{
    UObject* library = reflection.LookupClassDefault(kRenderingLibrary);
    UFunction* create = LookupFunctionByPath(reflection, L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D");
    if (library == nullptr || create == nullptr)
    {
        return false;
    }
    const std::int32_t side = RenderTargetSide(workingSize, workingRenderScale);
    renderTargetSize = side;
    UObject* target = nullptr;
    const bool made = InvokeFunction(
        reflection, library, create,
        [&](CallFrame& frame) {
            // The target is made inside its world context: the game instance outlives the
            // world, where a pawn would tie the rooted target, and through it the whole world,
            // to the world's end.
            UObject* context = session.discovery.gameInstance;
            const std::uint8_t format = kRgba8;
            const LinearColor clear{0.0f, 0.0f, 0.0f, 1.0f};
            const std::uint8_t no = 0;
            // Engines before 5.2 have no bSupportUAVs; false is what they do anyway.
            return frame.WriteRaw(L"WorldContextObject", &context, sizeof(context)) &&
                   frame.WriteRaw(L"Width", &side, sizeof(side)) && frame.WriteRaw(L"Height", &side, sizeof(side)) &&
                   frame.WriteRaw(L"Format", &format, 1) && frame.WriteByCopy(L"ClearColor", &clear) &&
                   frame.WriteRaw(L"bAutoGenerateMipMaps", &no, 1) && frame.WriteRawIfDeclared(L"bSupportUAVs", &no, 1);
        },
        [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &target, sizeof(target)); });
    if (!made || !IsLive(target, true) || !RootObject(target))
    {
        return false;
    }
    session.capture.renderTarget = target;
    return true;
}

void LiveOrvantaMod::ReleaseRenderTarget()
{
    // Still allocated while the delete listener has not dropped it, pending kill or not: a
    // rooted target marked pending kill would otherwise stay rooted, and kept, for good.
    UObject* target = session.capture.renderTarget;
    session.capture.renderTarget = nullptr;
    if (target == nullptr)
    {
        return;
    }
    FUObjectItem* item = FUObjectArray::IndexToObject(target->GetInternalIndex());
    if (item != nullptr && item->GetUObject() == target && item->IsRootSet())
    {
        item->UnsetRootSet();
    }
}

bool LiveOrvantaMod::CreateCapture()
{
    // A capture remade after its actor died would otherwise leave the last target rooted for
    // the rest of the game.
    ReleaseRenderTarget();
    if (!CreateRenderTarget())
    {
        return false;
    }
    auto* captureClass = static_cast<UClass*>(
        UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.SceneCapture2D"), false, nullptr));
    UWorld* world = session.discovery.world;
    UObject* pawn = session.discovery.pawn;
    if (captureClass == nullptr || !IsLive(world, false) || !IsLive(pawn, false))
    {
        return false;
    }
    Vector3d pawnAt;
    double pawnYaw = 0.0;
    if (!ReadActorLocation(reflection, pawn, pawnAt) || !ReadActorYaw(pawn, pawnYaw))
    {
        return false;
    }
    FVector at(pawnAt.x, pawnAt.y, pawnAt.z + kCaptureRise);

    CameraState& camera = session.camera;
    camera.cameraYaw = pawnYaw;
    camera.yawSmoothingStarted = true;
    camera.cameraYawTime = ReadMonotonicClock();

    const FRotator level;
    AActor* actor = world->SpawnActor(captureClass, &at, &level);
    if (!IsLive(actor, false))
    {
        session.capture.captureActor = nullptr;
        return false;
    }
    session.capture.captureActor = actor;
    if (!SetActorRotation(reflection, actor, {kLookStraightDown, MapYaw(), 0.0}))
    {
        actor->K2_DestroyActor();
        session.capture.captureActor = nullptr;
        return false;
    }
    actor->SetActorEnableCollision(false);
    actor->SetActorTickEnabled(false);

    UObject* component = nullptr;
    ReadPropertyValue(reflection, actor, L"CaptureComponent2D", component);
    if (component == nullptr)
    {
        component = CallAndReadObject(reflection, actor, L"GetCaptureComponent2D");
    }
    if (component == nullptr)
    {
        return false;
    }
    session.capture.captureComponent = component;
    return ConfigureCaptureComponent(component);
}

bool LiveOrvantaMod::ConfigureCaptureComponent(UObject* component)
{
    if (!IsLive(component, false))
    {
        return false;
    }
    // Required: without these the capture would render on its own or not into the map.
    if (!WritePropertyValue(reflection, component, L"ProjectionType", kOrthographic) ||
        !WritePropertyValue(reflection, component, L"OrthoWidth", workingZoom) ||
        !WritePropertyValue(reflection, component, L"TextureTarget", session.capture.renderTarget) ||
        !WriteBoolProperty(reflection, component, L"bCaptureEveryFrame", false) ||
        !WriteBoolProperty(reflection, component, L"bCaptureOnMovement", false) ||
        !WritePropertyValue(reflection, component, L"CaptureSource", kFinalColorLdr))
    {
        return false;
    }
    WriteBoolProperty(reflection, component, L"bAbsoluteRotation", false);
    WriteBoolProperty(reflection, component, L"bAlwaysPersistRenderingState", true);
    WritePropertyValue(reflection, component, L"MaxViewDistanceOverride", kMaxViewDistance);
    WritePropertyValue(reflection, component, L"LODDistanceFactor", kOpenWorldLodFactor);
    InvokeFunction(
        reflection, component, L"Activate",
        [](CallFrame& frame) {
            const std::uint8_t reset = 1;
            return frame.WriteRaw(L"bReset", &reset, 1);
        },
        NoResults);
    if (IsLive(session.capture.captureComponent, false))
    {
        WritePropertyValue(reflection, session.capture.captureComponent, L"UnlitViewmode", std::uint8_t{0});
        WritePropertyValue(reflection, session.capture.captureComponent, L"CaptureSource", kFinalColorLdr);
    }
    ApplyShowFlags();
    ApplyBrightness();
    if (Settings().HidePlayer)
    {
        HidePlayer();
    }
    return true;
}

namespace
{
// Turns each of the settings' flags off in an engine array of FEngineShowFlagsSetting: an
// element made in the array and filled in place. False, with the elements added so far left
// in the array, when the element lacks its name or switch.
bool AddShowFlagsOff(FScriptArray& settings, FProperty* element)
{
    const auto elementSize = element->GetElementSize();
    const auto alignment = static_cast<uint32>(element->GetMinAlignment());
    auto add = [&](std::wstring_view flag) {
        const int32 index = settings.Add(1, elementSize, alignment);
        auto* value = static_cast<std::uint8_t*>(settings.GetData()) + static_cast<std::size_t>(index) * static_cast<std::size_t>(elementSize);
        element->InitializeValue(value);
        FProperty* nameProperty = nullptr;
        FProperty* enabledProperty = nullptr;
        void* name = StructMemberAddress(element, value, L"ShowFlagName", &nameProperty);
        void* enabled = StructMemberAddress(element, value, L"Enabled", &enabledProperty);
        if (name == nullptr || enabled == nullptr || PropertyClassOf(nameProperty) != PropertyClass::Str ||
            PropertyClassOf(enabledProperty) != PropertyClass::Bool)
        {
            return false;
        }
        static_cast<FString*>(name)->Append(flag.data(), static_cast<int32>(flag.size()));
        WriteBoolBit(enabledProperty, enabled, false);
        return true;
    };
    if (Settings().HideWeather)
    {
        for (std::wstring_view flag : kWeatherFlags)
        {
            if (!add(flag))
            {
                return false;
            }
        }
    }
    if (!Settings().Shadows)
    {
        for (std::wstring_view flag : kShadowFlags)
        {
            if (!add(flag))
            {
                return false;
            }
        }
    }
    return true;
}

FProperty* ArrayInner(FProperty* property)
{
    return PropertyClassOf(property) == PropertyClass::Array ? static_cast<FArrayProperty*>(property)->GetInner() : nullptr;
}
} // namespace

void LiveOrvantaMod::ApplyShowFlags()
{
    UObject* component = session.capture.captureComponent;
    if (!IsLive(component, false))
    {
        return;
    }
    CallFrame frame(reflection, reflection.LookupFunction(component, L"SetShowFlagSettings"));
    if (!frame.IsBound())
    {
        WriteShowFlagSettings(component);
        return;
    }
    FProperty* arrayProperty = nullptr;
    void* slot = frame.ParameterSlot(L"InShowFlagSettings", &arrayProperty);
    FProperty* element = ArrayInner(arrayProperty);
    if (slot == nullptr || element == nullptr || !AddShowFlagsOff(*static_cast<FScriptArray*>(slot), element))
    {
        return;
    }
    frame.Invoke(component);
}

void LiveOrvantaMod::WriteShowFlagSettings(UObject* component)
{
    // Engines before 5.5 have no setter: the list goes straight into the component's settings,
    // which the renderer reads when the component registers.
    FProperty* arrayProperty = reflection.LookupProperty(component, L"ShowFlagSettings");
    void* value = PropertyAddress(reflection, component, L"ShowFlagSettings");
    FProperty* element = ArrayInner(arrayProperty);
    if (value == nullptr || element == nullptr)
    {
        return;
    }
    // The list replaces the earlier one whole, and a list that cannot be made is left empty.
    auto empty = [&] {
        arrayProperty->DestroyValue(value);
        arrayProperty->InitializeValue(value);
    };
    empty();
    if (!AddShowFlagsOff(*static_cast<FScriptArray*>(value), element))
    {
        empty();
    }
}

void LiveOrvantaMod::HideActor(UObject* actor)
{
    if (!IsLive(actor, false))
    {
        return;
    }
    InvokeFunction(
        reflection, session.capture.captureComponent, L"HideActorComponents",
        [&](CallFrame& frame) {
            const std::uint8_t includeChildren = 1;
            return frame.WriteRaw(L"InActor", &actor, sizeof(actor)) &&
                   frame.WriteRaw(L"bIncludeFromChildActors", &includeChildren, 1);
        },
        NoResults);
}

void LiveOrvantaMod::HidePlayer()
{
    UObject* pawn = session.discovery.pawn;
    UObject* component = session.capture.captureComponent;
    if (!IsLive(pawn, false) || !IsLive(component, false))
    {
        return;
    }
    // Rebuilt from nothing each time, so equipment taken up since is hidden too.
    CallWithoutArguments(reflection, component, L"ClearHiddenComponents");
    HideActor(pawn);
    InvokeFunction(
        reflection, pawn, L"GetAttachedActors",
        [](CallFrame& frame) {
            const std::uint8_t yes = 1;
            return frame.WriteRaw(L"bResetArray", &yes, 1) && frame.WriteRaw(L"bRecursivelyIncludeAttachedActors", &yes, 1);
        },
        [&](CallFrame& frame) {
            auto* attached = static_cast<FScriptArray*>(frame.ResultSlot(L"OutActors"));
            if (attached == nullptr)
            {
                return false;
            }
            for (int32 index = 0; index < attached->Num(); ++index)
            {
                UObject* actor = nullptr;
                std::memcpy(&actor, static_cast<const std::uint8_t*>(attached->GetData()) + index * sizeof(actor), sizeof(actor));
                HideActor(actor);
            }
            return true;
        });
}

void LiveOrvantaMod::ResizeRenderTarget()
{
    const std::int32_t side = RenderTargetSide(workingSize, workingRenderScale);
    if (side == renderTargetSize)
    {
        return;
    }
    UObject* target = session.capture.renderTarget;
    UObject* library = reflection.LookupClassDefault(kRenderingLibrary);
    UFunction* resize = LookupFunctionByPath(reflection, L"/Script/Engine.KismetRenderingLibrary:ResizeRenderTarget2D");
    if (!IsLive(target, true) || library == nullptr || resize == nullptr)
    {
        return;
    }
    const bool resized = InvokeFunction(
        reflection, library, resize,
        [&](CallFrame& frame) {
            return frame.WriteRaw(L"TextureRenderTarget", &target, sizeof(target)) &&
                   frame.WriteRaw(L"Width", &side, sizeof(side)) && frame.WriteRaw(L"Height", &side, sizeof(side));
        },
        NoResults);
    if (!resized)
    {
        return;
    }
    renderTargetSize = side;
    if (IsLive(session.widget.mapImage, false))
    {
        // The frame's shape is applied again with the widget's own code, once the HUD exists.
        SetBrushResourceObject(reflection, session.widget.mapImage, target);
    }
    UpdateCamera();
}
} // namespace Orv
