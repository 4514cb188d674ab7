// The engine's and Slate's script structs beyond the core ones: slate colours and font info,
// layout anchors and margins, gameplay tags and trace hits, with each engine flavour's layout.
#include "Sim/EngineState.hpp"
#include "Sim/EngineVersions.hpp"

namespace Sim
{
namespace
{
Type FontSizeType()
{
    switch (Detail::State().options.FontSize)
    {
    case FontSizeKind::Int: return Int();
    case FontSizeKind::Float: return Float();
    case FontSizeKind::ByVersion: break;
    }
    return Detail::Layout().floatFontSize ? Float() : Int();
}
} // namespace

void DefineEngineStructs()
{
    auto linearColor = Struct(L"/Script/CoreUObject.LinearColor");
    auto vector = Struct(L"/Script/CoreUObject.Vector");
    auto vector2D = Struct(L"/Script/CoreUObject.Vector2D");
    DefineStruct({L"/Script/SlateCore.SlateColor", {}, {{L"SpecifiedColor", linearColor}, {L"ColorUseRule", Byte()}}});
    DefineStruct({L"/Script/SlateCore.FontOutlineSettings",
                  {},
                  {{L"OutlineSize", Int()},
                   {L"bSeparateFillAlpha", Bool()},
                   {L"bApplyOutlineToDropShadows", Bool()},
                   {L"OutlineMaterial", Object()},
                   {L"OutlineColor", linearColor}}});
    DefineStruct({L"/Script/SlateCore.SlateFontInfo",
                  {},
                  {{L"FontObject", Object()},
                   {L"FontMaterial", Object()},
                   {L"OutlineSettings", Struct(L"/Script/SlateCore.FontOutlineSettings")},
                   {L"TypefaceFontName", Name()},
                   {L"Size", FontSizeType()},
                   {L"LetterSpacing", Int()}}});
    DefineStruct({L"/Script/SlateCore.Margin", {}, {{L"Left", Float()}, {L"Top", Float()}, {L"Right", Float()}, {L"Bottom", Float()}}});
    DefineStruct({L"/Script/Slate.Anchors", {}, {{L"Minimum", vector2D}, {L"Maximum", vector2D}}});
    DefineStruct({L"/Script/GameplayTags.GameplayTag", {}, {{L"TagName", Name()}}});
    // Engine 4.27 keeps the post-process overrides in 32-bit bitfields, engine 5 in 8-bit ones.
    Type overrideBit = Detail::Layout().byteOverrideBits ? Bitfield() : Bitfield32();
    std::vector<PropertyDef> postProcess;
    for (const wchar_t* name :
         {L"bOverride_WhiteTemp", L"bOverride_WhiteTint", L"bOverride_ColorSaturation", L"bOverride_ColorContrast",
          L"bOverride_ColorGamma", L"bOverride_ColorGain", L"bOverride_ColorOffset", L"bOverride_BloomIntensity",
          L"bOverride_BloomThreshold", L"bOverride_AutoExposureBias", L"bOverride_AutoExposureMinBrightness"})
    {
        postProcess.push_back({name, overrideBit});
    }
    postProcess.push_back({L"WhiteTemp", Float()});
    postProcess.push_back({L"BloomIntensity", Float()});
    postProcess.push_back({L"AutoExposureBias", Float()});
    postProcess.push_back({L"AutoExposureMinBrightness", Float()});
    DefineStruct({L"/Script/Engine.PostProcessSettings", {}, postProcess});
    DefineStruct({L"/Script/Engine.EngineShowFlagsSetting", {}, {{L"ShowFlagName", Str()}, {L"Enabled", Bool()}}});
    DefineStruct({L"/Script/Engine.CollisionProfileName", {}, {{L"Name", Name()}}});

    // An actor instance handle (5.0 on) names the actor hit, or an instance standing for one.
    DefineStruct({L"/Script/Engine.ActorInstanceHandle", {}, {{L"Actor", Object(L"/Script/Engine.Actor")}, {L"InstanceIndex", Int()}}});
    // The weak object references of a hit are plain references here. Each version keeps only
    // its own way of naming the actor hit: 4.27 the actor, 5.x a handle.
    DefineStruct({L"/Script/Engine.HitResult",
                  {},
                  {{L"FaceIndex", Int()},
                   {L"Time", Float()},
                   {L"Distance", Float()},
                   {L"Location", vector},
                   {L"ImpactPoint", vector},
                   {L"Normal", vector},
                   {L"ImpactNormal", vector},
                   {L"TraceStart", vector},
                   {L"TraceEnd", vector},
                   {L"PenetrationDepth", Float()},
                   {L"Item", Int()},
                   {L"ElementIndex", Byte()},
                   {L"bBlockingHit", Bitfield()},
                   {L"bStartPenetrating", Bitfield()},
                   {L"PhysMaterial", Object()},
                   {L"Actor", Object(L"/Script/Engine.Actor")},
                   {L"HitObjectHandle", Struct(L"/Script/Engine.ActorInstanceHandle")},
                   {L"Component", Object()},
                   {L"BoneName", Name()},
                   {L"MyBoneName", Name()}}});
}
} // namespace Sim
