// The engine versions the stand-in plays and, as data, what each one declares: the few script
// functions, parameters and struct members that came or went between them, and the layouts
// that engine 5.0 changed. Definitions elsewhere list the union; nothing else branches on the
// version.
#include "Sim/EngineVersions.hpp"

#include "Sim/EngineState.hpp"

#include <Unreal/UnrealVersion.hpp>

#include <array>
#include <limits>

namespace Sim
{
namespace
{
constexpr EngineVersion kOffered[] = {{4, 27}, {5, 1}, {5, 5}};

constexpr EngineVersion kFirst{0, 0};
constexpr EngineVersion kNever{std::numeric_limits<int32>::max(), 0};

constexpr bool Before(EngineVersion a, EngineVersion b) { return a.Major < b.Major || (a.Major == b.Major && a.Minor < b.Minor); }

// Declared from `since` on, and no longer from `until` on.
struct VersionedDeclaration
{
    const wchar_t* path;
    EngineVersion since;
    EngineVersion until;
};

// Everything a mod reaches that is not listed here is declared alike by every version, e.g.
// USceneCaptureComponent::HideActorComponents with its bIncludeFromChildActors.
constexpr VersionedDeclaration kDeclarations[] = {
    // UKismetRenderingLibrary::CreateRenderTarget2D gained bSupportUAVs in 5.2.
    {L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D:bSupportUAVs", {5, 2}, kNever},
    // USceneCaptureComponent::SetShowFlagSettings is new in 5.5; before it, ShowFlagSettings is
    // only a property, read when the component registers.
    {L"/Script/Engine.SceneCaptureComponent:SetShowFlagSettings", {5, 5}, kNever},
    // FHitResult's weak actor became an actor instance handle in 5.0.
    {L"/Script/Engine.HitResult:Actor", kFirst, {5, 0}},
    {L"/Script/Engine.HitResult:HitObjectHandle", {5, 0}, kNever},
    // USceneCaptureComponent2D::UnlitViewmode came with 5.0.
    {L"/Script/Engine.SceneCaptureComponent2D:UnlitViewmode", {5, 0}, kNever},
    // UWidgetBlueprintLibrary::SetInputMode_GameOnly takes bFlushInput in 5's headers; 4.27's
    // takes the controller alone.
    {L"/Script/UMG.WidgetBlueprintLibrary:SetInputMode_GameOnly:bFlushInput", {5, 0}, kNever},
};

struct LayoutSince
{
    EngineVersion since;
    Detail::VersionLayout layout;
};

// Latest first: the first row the running version reaches is its layout.
constexpr LayoutSince kLayouts[] = {
    {{5, 0},
     {.doubleReals = true, .objectPtrMembers = true, .compactText = true, .floatFontSize = true, .byteOverrideBits = true}},
    {kFirst, {}},
};

EngineVersion Running() { return {RC::Unreal::Version::Major, RC::Unreal::Version::Minor}; }

bool SamePath(StringViewType a, StringViewType b)
{
    constexpr Detail::FoldedPathEqual same{};
    return same(a, b);
}
} // namespace

std::vector<EngineVersion> OfferedEngineVersions() { return {std::begin(kOffered), std::end(kOffered)}; }

bool ParseEngineVersion(std::string_view text, EngineVersion& out)
{
    // The short names stand for the oldest and the newest version offered.
    if (text == "4")
    {
        out = kOffered[0];
        return true;
    }
    if (text == "5")
    {
        out = kOffered[std::size(kOffered) - 1];
        return true;
    }
    for (const EngineVersion& version : kOffered)
    {
        if (text == std::to_string(version.Major) + "." + std::to_string(version.Minor))
        {
            out = version;
            return true;
        }
    }
    return false;
}
} // namespace Sim

namespace Sim::Detail
{
const VersionLayout& Layout()
{
    for (const LayoutSince& row : kLayouts)
    {
        if (!Before(Running(), row.since))
        {
            return row.layout;
        }
    }
    return kLayouts[std::size(kLayouts) - 1].layout;
}

bool VersionDeclares(StringViewType path)
{
    for (const VersionedDeclaration& entry : kDeclarations)
    {
        if (SamePath(path, entry.path))
        {
            return !Before(Running(), entry.since) && Before(Running(), entry.until);
        }
    }
    return true;
}

bool Declared(StringViewType path)
{
    return VersionDeclares(path) && !State().missingProperties.contains(FoldCase(path));
}
} // namespace Sim::Detail
