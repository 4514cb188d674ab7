// Reads the minimap's widget tree through the engine's own reflection, as a tool beside the mod
// would: user widget → widget tree → root canvas → the positioned HUD canvas → the map's size
// box → the outer rim. Every object is checked to be live before it is read, so a tree the mod
// left half-built or freed reads as missing pieces.
#include "WidgetReport.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace OrvSim
{
namespace
{
using namespace RC::Unreal;

struct StructView
{
    const UStruct* layout = nullptr;
    const void* value = nullptr;
    explicit operator bool() const { return layout != nullptr && value != nullptr; }
};

bool Live(const UObject* object) { return object != nullptr && Sim::HoldsObject(object); }

StructView Of(const UObject* object) { return Live(object) ? StructView{object->GetClassPrivate(), object} : StructView{}; }

StructView Member(StructView in, const wchar_t* name)
{
    auto* property = in ? dynamic_cast<FStructProperty*>(Sim::FindPropertyUncounted(in.layout, name)) : nullptr;
    return property != nullptr ? StructView{property->GetStruct(), property->ContainerPtrToValuePtr<void>(in.value)} : StructView{};
}

nlohmann::json Number(StructView in, const wchar_t* name)
{
    auto* property = in ? dynamic_cast<FNumericProperty*>(Sim::FindPropertyUncounted(in.layout, name)) : nullptr;
    if (property == nullptr)
    {
        return nullptr;
    }
    const void* value = property->ContainerPtrToValuePtr<void>(in.value);
    if (property->IsFloatingPoint())
    {
        return property->GetFloatingPointPropertyValue(value);
    }
    return property->GetSignedIntPropertyValue(value);
}

UObject* Reference(StructView in, const wchar_t* name)
{
    auto* property = in ? dynamic_cast<FObjectPropertyBase*>(Sim::FindPropertyUncounted(in.layout, name)) : nullptr;
    UObject* object = property != nullptr ? property->GetObjectPropertyValue(property->ContainerPtrToValuePtr<void>(in.value)) : nullptr;
    return Live(object) ? object : nullptr;
}

bool IsA(const UObject* object, const wchar_t* classPath)
{
    UClass* cls = Sim::FindClass(classPath);
    return Live(object) && cls != nullptr && object->GetClassPrivate()->IsChildOf(cls);
}

std::vector<UObject*> Slots(const UObject* panel)
{
    std::vector<UObject*> slots;
    StructView self = Of(panel);
    auto* array = self ? dynamic_cast<FArrayProperty*>(Sim::FindPropertyUncounted(self.layout, L"Slots")) : nullptr;
    auto* inner = array != nullptr ? dynamic_cast<FObjectPropertyBase*>(array->GetInner()) : nullptr;
    if (inner == nullptr)
    {
        return slots;
    }
    void* value = const_cast<void*>(array->ContainerPtrToValuePtr<void>(self.value));
    for (int32 i = 0; i < Sim::ArrayNum(value); ++i)
    {
        UObject* slot = inner->GetObjectPropertyValue(Sim::ArrayElement(array, value, i));
        if (Live(slot))
        {
            slots.push_back(slot);
        }
    }
    return slots;
}

UObject* Content(const UObject* slot) { return Reference(Of(slot), L"Content"); }

UObject* RootOf(const UObject* userWidget)
{
    return Reference(Of(Reference(Of(userWidget), L"WidgetTree")), L"RootWidget");
}

// The mod's widget: the user widget in the viewport (the game's own screens add none here).
UObject* ModWidget()
{
    for (UObject* widget : Sim::ViewportWidgets())
    {
        if (IsA(widget, L"/Script/UMG.UserWidget"))
        {
            return widget;
        }
    }
    return nullptr;
}

nlohmann::json Offsets(const UObject* canvasSlot)
{
    StructView offsets = Member(Member(Of(canvasSlot), L"LayoutData"), L"Offsets");
    if (!offsets)
    {
        return nullptr;
    }
    return {Number(offsets, L"Left"), Number(offsets, L"Top"), Number(offsets, L"Right"), Number(offsets, L"Bottom")};
}

// Depth first through user widgets' trees and panels' slots.
UObject* FindWidget(UObject* widget, const std::function<bool(UObject*)>& wanted, int depth = 0)
{
    if (!Live(widget) || depth > 64)
    {
        return nullptr;
    }
    if (wanted(widget))
    {
        return widget;
    }
    if (UObject* found = FindWidget(RootOf(widget), wanted, depth + 1))
    {
        return found;
    }
    for (UObject* slot : Slots(widget))
    {
        if (UObject* found = FindWidget(Content(slot), wanted, depth + 1))
        {
            return found;
        }
    }
    return nullptr;
}
} // namespace

nlohmann::json DescribeWidget()
{
    nlohmann::json described = {{"in_viewport", false}, {"zorder", nullptr},   {"hud", nullptr},
                                {"map_size", nullptr},  {"circular", false},   {"widgets_constructed", Sim::Observations().widgetsConstructed}};
    UObject* user = ModWidget();
    if (user == nullptr)
    {
        return described;
    }
    described["in_viewport"] = true;
    const std::optional<int32> zOrder = Sim::ViewportZOrder(user);
    described["zorder"] = zOrder ? nlohmann::json(*zOrder) : nlohmann::json(nullptr);
    const std::vector<UObject*> rootSlots = Slots(RootOf(user));
    if (rootSlots.empty())
    {
        return described;
    }
    described["hud"] = Offsets(rootSlots.front());
    for (UObject* slot : Slots(Content(rootSlots.front())))
    {
        UObject* sizeBox = Content(slot);
        if (!IsA(sizeBox, L"/Script/UMG.SizeBox"))
        {
            continue;
        }
        const nlohmann::json offsets = Offsets(slot);
        described["map_size"] = offsets.is_array() ? offsets[2] : nlohmann::json(nullptr);
        const std::vector<UObject*> inner = Slots(sizeBox);
        UObject* rim = inner.empty() ? nullptr : Content(inner.front());
        described["circular"] = IsA(rim, L"/Script/UMG.Border") && Number(Member(Of(rim), L"Background"), L"DrawAs") == 4;
        break;
    }
    return described;
}

namespace
{
constexpr uint8 kHitTestInvisible = 3;

// The HUD's map size box: the first size box among the HUD canvas's children.
UObject* MapSizeBox(UObject* user)
{
    const std::vector<UObject*> rootSlots = Slots(RootOf(user));
    if (rootSlots.empty())
    {
        return nullptr;
    }
    for (UObject* slot : Slots(Content(rootSlots.front())))
    {
        if (UObject* sizeBox = Content(slot); IsA(sizeBox, L"/Script/UMG.SizeBox"))
        {
            return sizeBox;
        }
    }
    return nullptr;
}

// Inside the size box, through the rims (each holding one child), to the map's overlay.
UObject* MapOverlay(UObject* sizeBox)
{
    UObject* widget = sizeBox;
    for (int depth = 0; depth < 8 && Live(widget); ++depth)
    {
        const std::vector<UObject*> inner = Slots(widget);
        widget = inner.empty() ? nullptr : Content(inner.front());
        if (IsA(widget, L"/Script/UMG.Overlay"))
        {
            return widget;
        }
    }
    return nullptr;
}

bool Shown(UObject* widget)
{
    Sim::MemberRef visibility = Sim::FindMemberByPath(widget, L"Visibility");
    return visibility.address != nullptr && *static_cast<const uint8*>(visibility.address) == kHitTestInvisible;
}
} // namespace

nlohmann::json DescribeMarkers()
{
    nlohmann::json described = {{"icons_shown", 0}, {"diamonds_shown", 0}, {"arrow_angle", nullptr}, {"arrow_texture", false}};
    const std::vector<UObject*> layers = Slots(MapOverlay(MapSizeBox(ModWidget())));
    UObject* canvas = layers.size() > 1 ? Content(layers[1]) : nullptr;
    if (IsA(canvas, L"/Script/UMG.CanvasPanel"))
    {
        int icons = 0;
        int diamonds = 0;
        for (UObject* slot : Slots(canvas))
        {
            UObject* marker = Content(slot);
            if (!Shown(marker))
            {
                continue;
            }
            icons += IsA(marker, L"/Script/UMG.Overlay") ? 1 : 0;
            diamonds += IsA(marker, L"/Script/UMG.Border") ? 1 : 0;
        }
        described["icons_shown"] = icons;
        described["diamonds_shown"] = diamonds;
    }
    UObject* arrowBox = layers.size() > 2 ? Content(layers[2]) : nullptr;
    const std::vector<UObject*> arrowSlots = IsA(arrowBox, L"/Script/UMG.SizeBox") ? Slots(arrowBox) : std::vector<UObject*>{};
    UObject* arrow = arrowSlots.empty() ? nullptr : Content(arrowSlots.front());
    if (IsA(arrow, L"/Script/UMG.Image"))
    {
        described["arrow_angle"] = Number(Member(Of(arrow), L"RenderTransform"), L"Angle");
        described["arrow_texture"] = IsA(Reference(Member(Of(arrow), L"Brush"), L"ResourceObject"), L"/Script/Engine.Texture2D");
    }
    return described;
}

nlohmann::json MapTint()
{
    std::vector<UObject*> targets = Sim::CaptureTargets();
    if (targets.empty())
    {
        targets = Sim::RenderTargets();
    }
    UObject* image = FindWidget(ModWidget(), [&](UObject* widget) {
        if (!IsA(widget, L"/Script/UMG.Image"))
        {
            return false;
        }
        UObject* resource = Reference(Member(Of(widget), L"Brush"), L"ResourceObject");
        return resource != nullptr && std::find(targets.begin(), targets.end(), resource) != targets.end();
    });
    StructView colour = Member(Of(image), L"ColorAndOpacity");
    if (!colour)
    {
        return nullptr;
    }
    return {Number(colour, L"R"), Number(colour, L"G"), Number(colour, L"B"), Number(colour, L"A")};
}
} // namespace OrvSim
