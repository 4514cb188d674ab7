// The engine's scene capture as a mod drives it: render targets made and resized by the
// rendering library, the SceneCapture2D actor with its 2-D capture component (projection,
// width, target, show flags, hidden components, post-process exposure), CaptureScene drawing the
// scene into the target, and the game's queries a capture camera needs: traces, the dungeon
// test and the time of day.
#include "Sim/FunctionDefs.hpp"
#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"
#include "Sim/WorldScene.hpp"

#include <Sim/Scene.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/FStrProperty.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Sim
{
using namespace Detail;

namespace
{
void SetBit(UObject* object, StringViewType name, bool value)
{
    if (auto* flag = PropertyOf<FBoolProperty>(object->GetClassPrivate(), name))
    {
        flag->SetPropertyValue(flag->ContainerPtrToValuePtr(object), value);
    }
}

template <typename T> void SetField(UObject* object, StringViewType name, T value)
{
    if (T* field = FieldOf<T>(object, name))
    {
        *field = value;
    }
}

constexpr const wchar_t* kSceneCaptureComponent = L"/Script/Engine.SceneCaptureComponent";
constexpr const wchar_t* kRenderTarget2D = L"/Script/Engine.TextureRenderTarget2D";

// The show flags the engine knows by name (FEngineShowFlags, the Niagara plugin's included);
// a setting naming anything else is passed over.
constexpr const wchar_t* kKnownShowFlags[] = {
    L"AmbientOcclusion", L"Atmosphere",    L"Bloom",          L"CapsuleShadows", L"Cloud",         L"ContactShadows",
    L"Decals",           L"DepthOfField",  L"DistanceFieldAO", L"DynamicShadows", L"Fog",          L"InstancedFoliage",
    L"Landscape",        L"LensFlares",    L"Lighting",       L"LightShafts",    L"MotionBlur",    L"Niagara",
    L"Particles",        L"PostProcessing", L"ScreenSpaceAO", L"SkeletalMeshes", L"SkyLighting",   L"StaticMeshes",
    L"Translucency",     L"VolumetricFog"};

const wchar_t* KnownShowFlag(StringViewType name)
{
    constexpr FoldedPathEqual same{};
    for (const wchar_t* known : kKnownShowFlags)
    {
        if (same(name, known))
        {
            return known;
        }
    }
    return nullptr;
}

// USceneCaptureComponent::UpdateShowFlags: the renderer's flags start from the engine's
// defaults (all on) and take each setting of ShowFlagSettings in turn, a later one for the same
// flag winning. Only this copies the settings to the renderer: the component's registration
// (OnRegister) and, from 5.5, SetShowFlagSettings call it.
void UpdateShowFlags(UObject* component)
{
    CaptureShowFlags& flags = State().play.captureShowFlags[component];
    flags = {};
    auto* settings = DeclaredMember<FArrayProperty>(kSceneCaptureComponent, L"ShowFlagSettings");
    auto* element = settings != nullptr ? dynamic_cast<FStructProperty*>(settings->GetInner()) : nullptr;
    FProperty* nameMember = element != nullptr ? FindPropertyUncounted(element->GetStruct(), L"ShowFlagName") : nullptr;
    auto* enabledMember = element != nullptr ? dynamic_cast<FBoolProperty*>(FindPropertyUncounted(element->GetStruct(), L"Enabled")) : nullptr;
    if (nameMember == nullptr || enabledMember == nullptr)
    {
        return;
    }
    void* value = settings->ContainerPtrToValuePtr(component);
    constexpr FoldedPathEqual same{};
    for (int32 i = 0; i < ArrayNum(value); ++i)
    {
        void* entry = ArrayElement(settings, value, i);
        const wchar_t* flag = KnownShowFlag(nameMember->ContainerPtrToValuePtr<FString>(entry)->View());
        if (flag == nullptr)
        {
            continue;
        }
        const bool on = enabledMember->GetPropertyValue(enabledMember->ContainerPtrToValuePtr(entry));
        std::erase_if(flags.off, [flag](const std::wstring& off) { return off == flag; });
        if (!on)
        {
            flags.off.emplace_back(flag);
        }
        if (same(flag, L"fog"))
        {
            flags.drawn.fog = on;
        }
        else if (same(flag, L"atmosphere"))
        {
            flags.drawn.atmosphere = on;
        }
        else if (same(flag, L"dynamicshadows"))
        {
            flags.drawn.shadows = on;
        }
    }
}

// As the engine's constructors leave a capture component: capturing every frame and on
// movement, in perspective, of scene colour in high dynamic range.
void CaptureComponentDefaults(UObject* component)
{
    SetBit(component, L"bAutoActivate", true);
    SetBit(component, L"bCaptureEveryFrame", true);
    SetBit(component, L"bCaptureOnMovement", true);
    SetField(component, L"LODDistanceFactor", 1.0f);
    SetField(component, L"MaxViewDistanceOverride", -1.0f);
}

void CaptureComponent2DDefaults(UObject* component)
{
    SetField(component, L"FOVAngle", 90.0f);
    SetField(component, L"OrthoWidth", 512.0f);
    SetField(component, L"PostProcessBlendWeight", 1.0f);
}

void FillPixels(RenderTargetPixels& pixels, int32 width, int32 height, const float* clear)
{
    pixels.width = std::max(width, 0);
    pixels.height = std::max(height, 0);
    uint8 colour[4];
    for (std::size_t c = 0; c < 4; ++c)
    {
        colour[c] = static_cast<uint8>(std::lround(std::clamp(clear[c], 0.0f, 1.0f) * 255.0f));
    }
    // Converted once, copied to every pixel: targets are resized whenever a player changes the
    // map's size or quality.
    pixels.rgba.resize(static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height) * 4);
    for (std::size_t i = 0; i < pixels.rgba.size(); i += 4)
    {
        std::memcpy(pixels.rgba.data() + i, colour, sizeof(colour));
    }
}

void SetTargetSize(UObject* target, int32 width, int32 height)
{
    if (auto* sizeX = DeclaredMember(kRenderTarget2D, L"SizeX"))
    {
        *sizeX->ContainerPtrToValuePtr<int32>(target) = width;
    }
    if (auto* sizeY = DeclaredMember(kRenderTarget2D, L"SizeY"))
    {
        *sizeY->ContainerPtrToValuePtr<int32>(target) = height;
    }
}

void CreateRenderTarget(Call& call)
{
    const int32 width = call.Get<int32>(L"Width");
    const int32 height = call.Get<int32>(L"Height");
    // UKismetRenderingLibrary::CreateRenderTarget2D: no world from the context object
    // (GetWorldFromContextObject), no target; the target is made inside the context object, so
    // it lives no longer than the context's outer chain unless something keeps it.
    UObject* context = call.Get<UObject*>(L"WorldContextObject");
    const bool inWorld = context != nullptr && HoldsObject(context) && context->GetWorld() != nullptr;
    if (width <= 0 || height <= 0 || !inWorld)
    {
        return;
    }
    UObject* target = NewObject(FindClass(L"/Script/Engine.TextureRenderTarget2D"), context);
    SetTargetSize(target, width, height);
    const auto* clear = static_cast<const float*>(call.ParamAddress(L"ClearColor"));
    std::memcpy(FieldOf<float>(target, L"ClearColor"), clear, 4 * sizeof(float));
    *FieldOf<uint8>(target, L"RenderTargetFormat") = call.Get<uint8>(L"Format");
    RenderTargetPixels& pixels = State().play.renderTargets[target];
    pixels.made = ++State().play.renderTargetsMade;
    FillPixels(pixels, width, height, clear);
    call.Get<UObject*>(L"ReturnValue") = target;
}

void ResizeRenderTarget(Call& call)
{
    UObject* target = call.Get<UObject*>(L"TextureRenderTarget");
    const int32 width = call.Get<int32>(L"Width");
    const int32 height = call.Get<int32>(L"Height");
    auto found = State().play.renderTargets.find(target);
    if (found == State().play.renderTargets.end() || width <= 0 || height <= 0)
    {
        return;
    }
    SetTargetSize(target, width, height);
    FillPixels(found->second, width, height, DeclaredMember(kRenderTarget2D, L"ClearColor")->ContainerPtrToValuePtr<float>(target));
}

// USceneCaptureComponent::HideActorComponents: every primitive component the actor has now
// joins the hidden components once (AddUnique), those of its child actors too when asked, as
// AActor::GetComponents(Components, bIncludeFromChildActors) lists them. The list holds weak
// pointers: a component added later is not on it, and one that takes a freed one's memory or
// slot is another object to it.
void CollectPrimitives(UObject* actor, bool includeChildActors, std::vector<UObject*>& out)
{
    UClass* primitive = FindClass(L"/Script/Engine.PrimitiveComponent");
    UClass* childActor = FindClass(L"/Script/Engine.ChildActorComponent");
    ActorRecord* record = ActorRecordOf(actor);
    if (record == nullptr)
    {
        return;
    }
    for (UObject* component : record->components)
    {
        if (primitive != nullptr && component->IsA(primitive))
        {
            out.push_back(component);
        }
        UObject* child = childActor != nullptr && component->IsA(childActor) ? ObjectReference(component, L"ChildActor") : nullptr;
        if (includeChildActors && child != nullptr && HoldsObject(child))
        {
            CollectPrimitives(child, true, out);
        }
    }
}

void HideActorComponents(Call& call)
{
    UObject* actor = call.Get<UObject*>(L"InActor");
    auto* hidden = DeclaredMember<FArrayProperty>(kSceneCaptureComponent, L"HiddenComponents");
    if (actor == nullptr || hidden == nullptr)
    {
        return;
    }
    // Kept between calls, as the engine's own scratch lists keep their memory.
    static std::vector<UObject*> primitives;
    primitives.clear();
    CollectPrimitives(actor, call.GetBool(L"bIncludeFromChildActors"), primitives);
    auto* entry = dynamic_cast<FObjectPropertyBase*>(hidden->GetInner());
    if (entry == nullptr)
    {
        return;
    }
    void* value = hidden->ContainerPtrToValuePtr(call.Self());
    for (UObject* component : primitives)
    {
        bool listed = false;
        for (int32 i = 0; i < ArrayNum(value) && !listed; ++i)
        {
            listed = entry->GetObjectPropertyValue(ArrayElement(hidden, value, i)) == component;
        }
        if (!listed)
        {
            ArrayAdd(hidden, value, [entry, component](void* element) { entry->SetObjectPropertyValue(element, component); });
        }
    }
}

// USceneCaptureComponent::ClearHiddenComponents empties the hidden components alone; hidden
// actors are another list.
void ClearHiddenComponents(UObject* component)
{
    auto* hidden = DeclaredMember<FArrayProperty>(kSceneCaptureComponent, L"HiddenComponents");
    if (hidden == nullptr)
    {
        return;
    }
    hidden->DestroyValueInternal(hidden->ContainerPtrToValuePtr(component));
    hidden->InitializeValueInternal(hidden->ContainerPtrToValuePtr(component));
}

void AttachedActors(const UObject* parent, bool recursive, std::vector<UObject*>& out)
{
    for (const auto& [actor, record] : State().play.actors)
    {
        // A destroyed actor is detached at once, before the collector frees it.
        if (record.attachParent == parent && HoldsObject(actor) && actor->GetObjectItem()->IsValid(false))
        {
            out.push_back(const_cast<UObject*>(actor));
            if (recursive)
            {
                AttachedActors(actor, true, out);
            }
        }
    }
}

void GetAttachedActors(Call& call)
{
    auto* array = static_cast<FArrayProperty*>(call.Param(L"OutActors"));
    void* value = call.ParamAddress(L"OutActors");
    if (call.GetBool(L"bResetArray"))
    {
        array->DestroyValueInternal(value);
        array->InitializeValueInternal(value);
    }
    std::vector<UObject*> attached;
    AttachedActors(call.Self(), call.GetBool(L"bRecursivelyIncludeAttachedActors"), attached);
    std::sort(attached.begin(), attached.end(), [](const UObject* a, const UObject* b) {
        return a->GetInternalIndex() < b->GetInternalIndex();
    });
    for (UObject* actor : attached)
    {
        ArrayAdd(array, value, [actor](void* element) { std::memcpy(element, &actor, sizeof(actor)); });
    }
}

void LineTrace(Call& call)
{
    double start[3];
    double end[3];
    ReadVectorValue(call.ParamAddress(L"Start"), start[0], start[1], start[2]);
    ReadVectorValue(call.ParamAddress(L"End"), end[0], end[1], end[2]);
    UObject* context = call.Get<UObject*>(L"WorldContextObject");
    const UObject* world = context != nullptr ? reinterpret_cast<const UObject*>(context->GetWorld()) : nullptr;
    TraceHit hit = TraceSegment(world, start, end);
    UStruct* hitLayout = static_cast<FStructProperty*>(call.Param(L"OutHit"))->GetStruct();
    auto* out = static_cast<uint8*>(call.ParamAddress(L"OutHit"));
    if (hit.hit)
    {
        WriteVectorValue(FindPropertyUncounted(hitLayout, L"ImpactPoint")->ContainerPtrToValuePtr(out), hit.x, hit.y, hit.z);
        WriteVectorValue(FindPropertyUncounted(hitLayout, L"Location")->ContainerPtrToValuePtr(out), hit.x, hit.y, hit.z);
        static_cast<FBoolProperty*>(FindPropertyUncounted(hitLayout, L"bBlockingHit"))
            ->SetPropertyValue(FindPropertyUncounted(hitLayout, L"bBlockingHit")->ContainerPtrToValuePtr(out), true);
        // How far along: as a share of the segment, and in world units.
        const double distance = std::sqrt((hit.x - start[0]) * (hit.x - start[0]) + (hit.y - start[1]) * (hit.y - start[1]) +
                                          (hit.z - start[2]) * (hit.z - start[2]));
        const double length = std::sqrt((end[0] - start[0]) * (end[0] - start[0]) + (end[1] - start[1]) * (end[1] - start[1]) +
                                        (end[2] - start[2]) * (end[2] - start[2]));
        *FindPropertyUncounted(hitLayout, L"Distance")->ContainerPtrToValuePtr<float>(out) = static_cast<float>(distance);
        *FindPropertyUncounted(hitLayout, L"Time")->ContainerPtrToValuePtr<float>(out) =
            static_cast<float>(length > 0 ? distance / length : 0.0);
    }
    WriteVectorValue(FindPropertyUncounted(hitLayout, L"TraceStart")->ContainerPtrToValuePtr(out), start[0], start[1], start[2]);
    WriteVectorValue(FindPropertyUncounted(hitLayout, L"TraceEnd")->ContainerPtrToValuePtr(out), end[0], end[1], end[2]);
    call.SetBool(L"ReturnValue", hit.hit);
}

const UObject* WorldOfContext(Call& call)
{
    UObject* context = call.Get<UObject*>(L"WorldContextObject");
    return context != nullptr && HoldsObject(context) ? reinterpret_cast<const UObject*>(context->GetWorld()) : nullptr;
}
} // namespace

void DefineCaptureClasses()
{
    auto vector = Struct(L"/Script/CoreUObject.Vector");
    auto linearColor = Struct(L"/Script/CoreUObject.LinearColor");
    DefineEnum({L"/Script/Engine.ETextureRenderTargetFormat", {{L"RTF_R8", 0}, {L"RTF_RG8", 1}, {L"RTF_RGBA8", 2}}});

    DefineClass({.path = L"/Script/Engine.Texture"});
    DefineClass({.path = L"/Script/Engine.TextureRenderTarget", .super = L"/Script/Engine.Texture"});
    DefineClass({.path = L"/Script/Engine.TextureRenderTarget2D",
                 .super = L"/Script/Engine.TextureRenderTarget",
                 .properties = {{L"SizeX", Int()}, {L"SizeY", Int()}, {L"ClearColor", linearColor},
                                {L"RenderTargetFormat", Enum(L"/Script/Engine.ETextureRenderTargetFormat")}}});

    DefineClass({.path = L"/Script/Engine.BlueprintFunctionLibrary"});
    DefineClass({.path = L"/Script/Engine.KismetRenderingLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {Library(L"CreateRenderTarget2D",
                                       {In(L"WorldContextObject", Object()), In(L"Width", Int()), In(L"Height", Int()),
                                        In(L"Format", Enum(L"/Script/Engine.ETextureRenderTargetFormat")),
                                        In(L"ClearColor", linearColor), In(L"bAutoGenerateMipMaps", Bool()),
                                        In(L"bSupportUAVs", Bool()),
                                        Return(Object(L"/Script/Engine.TextureRenderTarget2D"))},
                                       &CreateRenderTarget),
                               Library(L"ResizeRenderTarget2D",
                                       {In(L"TextureRenderTarget", Object(L"/Script/Engine.TextureRenderTarget2D")),
                                        In(L"Width", Int()), In(L"Height", Int())},
                                       &ResizeRenderTarget)}});
    DefineEnum({L"/Script/Engine.EDrawDebugTrace", {{L"None", 0}, {L"ForOneFrame", 1}, {L"ForDuration", 2}, {L"Persistent", 3}}});
    DefineClass({.path = L"/Script/Engine.KismetSystemLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {Library(L"LineTraceSingleByProfile",
                                       {In(L"WorldContextObject", Object()), In(L"Start", vector), In(L"End", vector),
                                        In(L"ProfileName", Name()), In(L"bTraceComplex", Bool()),
                                        In(L"ActorsToIgnore", Array(Object(L"/Script/Engine.Actor"))),
                                        In(L"DrawDebugType", Enum(L"/Script/Engine.EDrawDebugTrace")),
                                        Out(L"OutHit", Struct(L"/Script/Engine.HitResult")), In(L"bIgnoreSelf", Bool()),
                                        In(L"TraceColor", linearColor), In(L"TraceHitColor", linearColor),
                                        In(L"DrawTime", Float()), Return(Bool())},
                                       &LineTrace)}});
    DefineClass({.path = L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {Library(L"IsLocationInsideDungeon",
                                       {In(L"WorldContextObject", Object()), In(L"Location", vector), Return(Bool())},
                                       [](Call& call) {
                                           double at[3];
                                           ReadVectorValue(call.ParamAddress(L"Location"), at[0], at[1], at[2]);
                                           call.SetBool(L"ReturnValue", InsideDungeon(WorldOfContext(call), at[0], at[1], at[2]));
                                       })}});
    DefineClass({.path = L"/Script/Umbrafel.InGameTimeFunctionLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {Library(L"IsNighttime", {In(L"WorldContextObject", Object()), Return(Bool())},
                                       [](Call& call) {
                                           const UObject* world = WorldOfContext(call);
                                           call.SetBool(L"ReturnValue",
                                                        world != nullptr && IsNight(reinterpret_cast<UWorld*>(const_cast<UObject*>(world))));
                                       })}});

    DefineClass({.path = L"/Script/Engine.SceneCaptureComponent",
                 .super = L"/Script/Engine.SceneComponent",
                 .properties = {{L"bCaptureEveryFrame", Bitfield()}, {L"bCaptureOnMovement", Bitfield()},
                                {L"bAlwaysPersistRenderingState", Bitfield()},
                                {L"HiddenComponents", Array(WeakObject(L"/Script/Engine.PrimitiveComponent"))},
                                {L"HiddenActors", Array(Object(L"/Script/Engine.Actor"))},
                                {L"ShowFlagSettings", Array(Struct(L"/Script/Engine.EngineShowFlagsSetting"))},
                                {L"MaxViewDistanceOverride", Float()}, {L"LODDistanceFactor", Float()}},
                 .functions = {Native(L"HideActorComponents",
                                      {In(L"InActor", Object(L"/Script/Engine.Actor")), In(L"bIncludeFromChildActors", Bool())},
                                      &HideActorComponents),
                               Native(L"ClearHiddenComponents", {}, [](Call& call) { ClearHiddenComponents(call.Self()); }),
                               // USceneCaptureComponent::SetShowFlagSettings (5.5 on): the
                               // settings, then the renderer's flags at once.
                               Native(L"SetShowFlagSettings",
                                      {In(L"InShowFlagSettings", Array(Struct(L"/Script/Engine.EngineShowFlagsSetting")))},
                                      [](Call& call) {
                                          auto* settings = DeclaredMember<FArrayProperty>(kSceneCaptureComponent, L"ShowFlagSettings");
                                          if (settings == nullptr)
                                          {
                                              return;
                                          }
                                          settings->CopyValuesInternal(settings->ContainerPtrToValuePtr(call.Self()),
                                                                       call.ParamAddress(L"InShowFlagSettings"), 1);
                                          UpdateShowFlags(call.Self());
                                      })},
                 .defaults = &CaptureComponentDefaults});
    DefineClass({.path = L"/Script/Engine.SceneCaptureComponent2D",
                 .super = L"/Script/Engine.SceneCaptureComponent",
                 .properties = {{L"ProjectionType", Byte()},
                                {L"FOVAngle", Float()},
                                {L"OrthoWidth", Float()},
                                {L"TextureTarget", Object(L"/Script/Engine.TextureRenderTarget2D")},
                                {L"CaptureSource", Byte()},
                                {L"PostProcessSettings", Struct(L"/Script/Engine.PostProcessSettings")},
                                {L"PostProcessBlendWeight", Float()},
                                {L"UnlitViewmode", Byte()}},
                 .functions = {Native(L"CaptureScene", {}, [](Call& call) {
                     auto& observed = State().play.observed;
                     ++observed.captureScenes;
                     UObject* controller = ObjectReference(LocalPlayer(), L"PlayerController");
                     UObject* pawn = controller != nullptr ? ObjectReference(controller, L"Pawn") : nullptr;
                     observed.lastCaptureHeight = pawn != nullptr && HoldsObject(pawn)
                                                      ? ActorPlacement(call.Self()->GetOuter()).z - ActorPlacement(pawn).z
                                                      : std::numeric_limits<double>::quiet_NaN();
                     QueueCapture(call.Self());
                 })},
                 .defaults = &CaptureComponent2DDefaults});
    DefineClass({.path = L"/Script/Engine.SceneCapture", .super = L"/Script/Engine.Actor"});
    UClass* capture = DefineClass(
        {.path = L"/Script/Engine.SceneCapture2D",
         .super = L"/Script/Engine.SceneCapture",
         // ASceneCapture2D::GetCaptureComponent2D is a plain C++ accessor: no script call reaches it.
         .properties = {{L"CaptureComponent2D", Object(L"/Script/Engine.SceneCaptureComponent2D")}}});
    // Its capture component is its root.
    SetDefaultComponents(capture, {{L"CaptureComponent2D", L"/Script/Engine.SceneCaptureComponent2D", L"CaptureComponent2D"}});
}

void DefineActorQueries()
{
    auto vector = Struct(L"/Script/CoreUObject.Vector");
    UClass* actor = FindClass(L"/Script/Engine.Actor");
    AddFunction(actor, Native(L"GetAttachedActors",
                              {Out(L"OutActors", Array(Object(L"/Script/Engine.Actor"))), In(L"bResetArray", Bool()),
                               In(L"bRecursivelyIncludeAttachedActors", Bool())},
                              &GetAttachedActors));
    AddFunction(actor, Native(L"GetVelocity", {Return(vector)}, [](Call& call) {
                    const ActorRecord* record = ActorRecordOf(call.Self());
                    const double* v = record != nullptr ? record->velocity : nullptr;
                    WriteVectorValue(call.ParamAddress(L"ReturnValue"), v ? v[0] : 0.0, v ? v[1] : 0.0, v ? v[2] : 0.0);
                }));
    AddFunction(FindClass(L"/Script/Engine.ActorComponent"),
                Native(L"Activate", {In(L"bReset", Bool())}, [](Call& call) {
                    // UActorComponent::Activate: an active component is activated again only
                    // when reset (ShouldActivate answers !IsActive()).
                    auto* active = DeclaredMember<FBoolProperty>(L"/Script/Engine.ActorComponent", L"bIsActive");
                    void* bits = active->ContainerPtrToValuePtr(call.Self());
                    if (call.GetBool(L"bReset") || !active->GetPropertyValue(bits))
                    {
                        active->SetPropertyValue(bits, true);
                        ++State().play.observed.componentActivations;
                    }
                }));
}

void Detail::ComponentRegistered(UObject* component)
{
    // USceneCaptureComponent::OnRegister hands the component's show flag settings to the
    // renderer; writes to them after this show nowhere until it registers again.
    UClass* capture = FindClass(kSceneCaptureComponent);
    if (capture != nullptr && component->IsA(capture))
    {
        UpdateShowFlags(component);
    }
}

const ShowFlags& Detail::DrawnShowFlags(const UObject* component)
{
    static const ShowFlags defaults;
    auto found = State().play.captureShowFlags.find(component);
    return found != State().play.captureShowFlags.end() ? found->second.drawn : defaults;
}

std::vector<std::wstring> CaptureShowFlagsOff(const UObject* component)
{
    auto found = State().play.captureShowFlags.find(component);
    return found != State().play.captureShowFlags.end() ? found->second.off : std::vector<std::wstring>{};
}

bool ActorCollides(UObject* actor)
{
    const ActorRecord* record = ActorRecordOf(actor);
    return record != nullptr && record->collisionEnabled;
}

bool ActorTicks(UObject* actor)
{
    const ActorRecord* record = ActorRecordOf(actor);
    return record != nullptr && record->tickEnabled;
}

void AttachActor(UObject* child, UObject* parent)
{
    if (auto* record = ActorRecordOf(child))
    {
        record->attachParent = parent;
    }
    AttachRoot(child, parent);
}

void SetActorVelocity(UObject* actor, double x, double y, double z)
{
    if (auto* record = ActorRecordOf(actor))
    {
        record->velocity[0] = x;
        record->velocity[1] = y;
        record->velocity[2] = z;
    }
}

void SetControlRotation(UObject* controller, double pitch, double yaw, double roll)
{
    auto* property = controller != nullptr ? PropertyOf<FStructProperty>(controller->GetClassPrivate(), L"ControlRotation") : nullptr;
    if (property != nullptr && HoldsObject(controller))
    {
        WriteRotatorValue(property->ContainerPtrToValuePtr(controller), pitch, yaw, roll);
    }
}

bool ReadRenderTarget(const UObject* renderTarget, RenderTargetImage& out)
{
    // Reading pixels back waits for the renderer, as the engine's read-back does.
    FlushCaptures();
    auto found = State().play.renderTargets.find(renderTarget);
    if (found == State().play.renderTargets.end())
    {
        return false;
    }
    out.width = found->second.width;
    out.height = found->second.height;
    out.rgba = found->second.rgba;
    return true;
}
} // namespace Sim
