// UMG as a mod builds a HUD from it at run time: the widget classes with their engine layouts
// (brushes, margins, render transforms, slots), panels that own their children through slots
// as the engine's do (so the collector keeps a tree alive through its root), the setters (which
// hand their values on to the screen, as the engine's do to Slate), user widgets in the
// viewport, and the viewport's size and DPI scale.
#include "Sim/FunctionDefs.hpp"
#include "Sim/EngineState.hpp"
#include "Sim/EngineVersions.hpp"
#include "Sim/ObjectFields.hpp"
#include "Sim/ScreenTree.hpp"
#include "Sim/Texts.hpp"

#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>

namespace Sim
{
using namespace Detail;

namespace
{
using Member = MemberRef;

Member FindMember(UObject* object, std::wstring_view path) { return FindMemberByPath(object, path); }

// A widget of a build that lacks the member simply does not keep the value. What a setter
// stores, the screen is handed too.
void CopyInto(UObject* object, std::wstring_view path, const void* source, FProperty* sourceProperty)
{
    Member member = FindMember(object, path);
    if (member.property == nullptr || sourceProperty == nullptr)
    {
        return;
    }
    if (dynamic_cast<FTextProperty*>(member.property) != nullptr)
    {
        if (dynamic_cast<FTextProperty*>(sourceProperty) == nullptr)
        {
            return;
        }
        // The widget shares the caller's text, as an FText assignment does.
        CopyTextValues(member.address, source, 1);
    }
    else
    {
        const auto size = std::min(member.property->GetElementSize(), sourceProperty->GetElementSize());
        std::memcpy(member.address, source, static_cast<std::size_t>(size));
    }
    PushToScreen(object, path);
}

// A setter that stores its one argument in a member.
NativeFunction Keep(std::wstring parameter, std::wstring path)
{
    return [parameter = std::move(parameter), path = std::move(path)](Call& call) {
        CopyInto(call.Self(), path, call.ParamAddress(parameter), call.Param(parameter));
    };
}

const UStruct* StructOfParam(const Call& call, StringViewType name)
{
    auto* property = dynamic_cast<FStructProperty*>(call.Param(name));
    return property != nullptr ? property->GetStruct() : nullptr;
}

void WriteRealMember(UObject* object, std::wstring_view path, double value)
{
    Member member = FindMember(object, path);
    if (dynamic_cast<FFloatProperty*>(member.property) != nullptr)
    {
        *static_cast<float*>(member.address) = static_cast<float>(value);
    }
    else if (dynamic_cast<FDoubleProperty*>(member.property) != nullptr)
    {
        *static_cast<double*>(member.address) = value;
    }
}

void WriteColourMember(UObject* object, std::wstring_view path, float r, float g, float b, float a)
{
    Member member = FindMember(object, path);
    if (member.property != nullptr && member.property->GetElementSize() >= 16)
    {
        const float colour[4] = {r, g, b, a};
        std::memcpy(member.address, colour, sizeof(colour));
    }
}

template <typename T> void WriteMember(UObject* object, std::wstring_view path, T value)
{
    Member member = FindMember(object, path);
    if (member.property != nullptr && static_cast<std::size_t>(member.property->GetElementSize()) == sizeof(T))
    {
        std::memcpy(member.address, &value, sizeof(T));
    }
}

template <typename T> T ReadMember(UObject* object, std::wstring_view path, T fallback = {})
{
    Member member = FindMember(object, path);
    if (member.property == nullptr || static_cast<std::size_t>(member.property->GetElementSize()) != sizeof(T))
    {
        return fallback;
    }
    T value{};
    std::memcpy(&value, member.address, sizeof(T));
    return value;
}

// A Vector2D argument stored as the two float members a canvas slot keeps its offsets in.
NativeFunction KeepPair(std::wstring parameter, std::wstring first, std::wstring second)
{
    return [parameter = std::move(parameter), first = std::move(first), second = std::move(second)](Call& call) {
        double x = 0, y = 0;
        ReadVector2DValue(call.ParamAddress(parameter), x, y);
        WriteMember<float>(call.Self(), first, static_cast<float>(x));
        WriteMember<float>(call.Self(), second, static_cast<float>(y));
        PushToScreen(call.Self(), first);
        PushToScreen(call.Self(), second);
    };
}

void SetMemberFlag(UObject* object, std::wstring_view name, bool value)
{
    SetFlag(object, name, value);
    PushToScreen(object, name);
}

// A size box's override takes effect with its flag raised.
NativeFunction KeepOverride(std::wstring parameter, std::wstring member)
{
    return [parameter = std::move(parameter), member = std::move(member)](Call& call) {
        CopyInto(call.Self(), member, call.ParamAddress(parameter), call.Param(parameter));
        SetMemberFlag(call.Self(), L"bOverride_" + member, true);
    };
}

UObject* ObjectMember(UObject* object, std::wstring_view name)
{
    UObject* value = ReadMember<UObject*>(object, name);
    return Holds(value) ? value : nullptr;
}

// ---- Panels and their slots ----

FArrayProperty* SlotsProperty(UObject* panel)
{
    return PropertyOf<FArrayProperty>(panel->GetClassPrivate(), L"Slots");
}

// Takes the child out of the panel that holds it: its slot leaves the panel's list and the
// child no longer names a slot, as the engine's RemoveChild leaves them.
bool DetachFromPanel(UObject* child)
{
    UObject* slot = ObjectMember(child, L"Slot");
    if (slot == nullptr)
    {
        return false;
    }
    UObject* panel = ObjectMember(slot, L"Parent");
    if (panel != nullptr)
    {
        ScreenChildRemoved(panel, child);
        if (FArrayProperty* slots = SlotsProperty(panel))
        {
            // The engine keeps a panel's slots in a plain array of pointers.
            auto& list = *slots->ContainerPtrToValuePtr<TArray<UObject*>>(panel);
            for (int32 i = list.Num() - 1; i >= 0; --i)
            {
                if (list[i] == slot)
                {
                    list.RemoveAt(i);
                }
            }
        }
    }
    WriteMember<UObject*>(slot, L"Parent", nullptr);
    WriteMember<UObject*>(slot, L"Content", nullptr);
    WriteMember<UObject*>(child, L"Slot", nullptr);
    return true;
}

// The engine's AddChild: a single-child panel that already has one refuses; a child in another
// panel leaves it first; the new slot is owned by the panel, and on a panel the screen holds the
// child is built into it there and then, from its members as they are (UPanelWidget::AddChild →
// OnSlotAdded). prepare sets the new slot up before that.
UObject* AddChild(UObject* panel, UObject* child, StringViewType slotClassPath,
                  const std::function<void(UObject*)>& prepare = {})
{
    FArrayProperty* slots = SlotsProperty(panel);
    if (!IsLiveObject(child) || slots == nullptr)
    {
        return nullptr;
    }
    void* list = slots->ContainerPtrToValuePtr<void>(panel);
    const bool singleChild = panel->IsA(FindClass(L"/Script/UMG.ContentWidget"));
    if (singleChild && ArrayNum(list) > 0)
    {
        return nullptr;
    }
    DetachFromPanel(child);
    UObject* slot = NewObject(FindClass(slotClassPath), panel);
    WriteMember<UObject*>(slot, L"Parent", panel);
    WriteMember<UObject*>(slot, L"Content", child);
    ArrayAdd(slots, list, [slot](void* element) { std::memcpy(element, &slot, sizeof(slot)); });
    WriteMember<UObject*>(child, L"Slot", slot);
    if (prepare)
    {
        prepare(slot);
    }
    ScreenChildAdded(panel, slot, child);
    return slot;
}

NativeFunction AddChildBody(std::wstring slotClassPath)
{
    return [slotClassPath = std::move(slotClassPath)](Call& call) {
        call.Get<UObject*>(L"ReturnValue") = AddChild(call.Self(), call.Get<UObject*>(L"Content"), slotClassPath);
    };
}

UObject* ContentOf(UObject* panel)
{
    FArrayProperty* slots = SlotsProperty(panel);
    void* list = slots != nullptr ? slots->ContainerPtrToValuePtr<void>(panel) : nullptr;
    if (list == nullptr || ArrayNum(list) == 0)
    {
        return nullptr;
    }
    UObject* slot = *static_cast<UObject**>(ArrayElement(slots, list, 0));
    return Holds(slot) ? ObjectMember(slot, L"Content") : nullptr;
}

// The engine's SetContent: the previous content leaves, the new one (if any) is added.
void SetContent(Call& call)
{
    UObject* self = call.Self();
    if (UObject* previous = ContentOf(self))
    {
        DetachFromPanel(previous);
    }
    const bool border = self->IsA(FindClass(L"/Script/UMG.Border"));
    const wchar_t* slotClass = border ? L"/Script/UMG.BorderSlot" : L"/Script/UMG.SizeBoxSlot";
    UObject* content = call.Get<UObject*>(L"Content");
    // A border's slot takes the border's padding and alignment (UBorder::OnSlotAdded).
    auto takeBorders = [self](UObject* slot) {
        WriteMember(slot, L"Padding", ReadMember<std::array<float, 4>>(self, L"Padding"));
        WriteMember(slot, L"HorizontalAlignment", ReadMember<uint8>(self, L"HorizontalAlignment"));
        WriteMember(slot, L"VerticalAlignment", ReadMember<uint8>(self, L"VerticalAlignment"));
    };
    call.Get<UObject*>(L"ReturnValue") =
        content != nullptr ? AddChild(self, content, slotClass, border ? takeBorders : std::function<void(UObject*)>{}) : nullptr;
}

// A border slot's setters reach the border itself, where the engine keeps the values.
NativeFunction KeepInSlotAndBorder(std::wstring parameter, std::wstring member)
{
    return [parameter = std::move(parameter), member = std::move(member)](Call& call) {
        CopyInto(call.Self(), member, call.ParamAddress(parameter), call.Param(parameter));
        if (UObject* border = ObjectMember(call.Self(), L"Parent"))
        {
            CopyInto(border, member, call.ParamAddress(parameter), call.Param(parameter));
        }
    };
}

// A border's padding and alignment setters keep its content slot in step.
NativeFunction KeepInBorderAndSlot(std::wstring parameter, std::wstring member)
{
    return [parameter = std::move(parameter), member = std::move(member)](Call& call) {
        CopyInto(call.Self(), member, call.ParamAddress(parameter), call.Param(parameter));
        if (UObject* content = ContentOf(call.Self()))
        {
            if (UObject* slot = ObjectMember(content, L"Slot"))
            {
                CopyInto(slot, member, call.ParamAddress(parameter), call.Param(parameter));
            }
        }
    };
}

// ---- Defaults of the engine's constructors ----

void BrushDefaults(UObject* widget, std::wstring_view brush)
{
    const std::wstring prefix = std::wstring(brush) + L".";
    WriteRealMember(widget, prefix + L"ImageSize.X", 32.0);
    WriteRealMember(widget, prefix + L"ImageSize.Y", 32.0);
    WriteColourMember(widget, prefix + L"TintColor.SpecifiedColor", 1, 1, 1, 1);
    WriteMember<uint8>(widget, prefix + L"DrawAs", 3);
}

void WidgetDefaults(UObject* widget)
{
    WriteRealMember(widget, L"RenderTransform.Scale.X", 1.0);
    WriteRealMember(widget, L"RenderTransform.Scale.Y", 1.0);
    WriteRealMember(widget, L"RenderTransformPivot.X", 0.5);
    WriteRealMember(widget, L"RenderTransformPivot.Y", 0.5);
    WriteMember<float>(widget, L"RenderOpacity", 1.0f);
}

void UserWidgetDefaults(UObject* widget) { WriteMember<uint8>(widget, L"Visibility", 4); }

void CanvasSlotDefaults(UObject* slot)
{
    WriteMember<float>(slot, L"LayoutData.Offsets.Right", 100.0f);
    WriteMember<float>(slot, L"LayoutData.Offsets.Bottom", 30.0f);
}

void TopLeftAligned(UObject* slot)
{
    WriteMember<uint8>(slot, L"HorizontalAlignment", 1);
    WriteMember<uint8>(slot, L"VerticalAlignment", 1);
}

void BorderDefaults(UObject* border)
{
    WriteMember<float>(border, L"Padding.Left", 4.0f);
    WriteMember<float>(border, L"Padding.Top", 2.0f);
    WriteMember<float>(border, L"Padding.Right", 4.0f);
    WriteMember<float>(border, L"Padding.Bottom", 2.0f);
    WriteColourMember(border, L"BrushColor", 1, 1, 1, 1);
    WriteColourMember(border, L"ContentColorAndOpacity", 1, 1, 1, 1);
    BrushDefaults(border, L"Background");
}

void ImageDefaults(UObject* image)
{
    WriteColourMember(image, L"ColorAndOpacity", 1, 1, 1, 1);
    BrushDefaults(image, L"Brush");
}

void TextBlockDefaults(UObject* text)
{
    WriteColourMember(text, L"ColorAndOpacity.SpecifiedColor", 1, 1, 1, 1);
    Member size = FindMember(text, L"Font.Size");
    if (dynamic_cast<FFloatProperty*>(size.property) != nullptr)
    {
        *static_cast<float*>(size.address) = 24.0f;
    }
    else if (size.property != nullptr && size.property->GetElementSize() == 4)
    {
        *static_cast<int32*>(size.address) = 24;
    }
}

float CurveScale(int32 width, int32 height)
{
    const int32 shortest = std::min(width, height);
    return shortest > 0 ? static_cast<float>(shortest) / 1080.0f : 1.0f;
}

void DefineWidgetStructs()
{
    Type real = RealType();
    auto vector2D = Struct(L"/Script/CoreUObject.Vector2D");
    auto slateColor = Struct(L"/Script/SlateCore.SlateColor");
    auto margin = Struct(L"/Script/SlateCore.Margin");
    DefineStruct({L"/Script/CoreUObject.Vector4", {}, {{L"X", real}, {L"Y", real}, {L"Z", real}, {L"W", real}}});
    DefineStruct({L"/Script/CoreUObject.Box2D", {}, {{L"Min", vector2D}, {L"Max", vector2D}, {L"bIsValid", Bool()}}});
    DefineStruct({L"/Script/SlateCore.SlateBrushOutlineSettings",
                  {},
                  {{L"CornerRadii", Struct(L"/Script/CoreUObject.Vector4")},
                   {L"Color", slateColor},
                   {L"Width", Float()},
                   {L"RoundingType", Byte()},
                   {L"bUseBrushTransparency", Bool()}}});
    DefineStruct({L"/Script/SlateCore.SlateBrush",
                  {},
                  {{L"ImageSize", vector2D},
                   {L"Margin", margin},
                   {L"TintColor", slateColor},
                   {L"OutlineSettings", Struct(L"/Script/SlateCore.SlateBrushOutlineSettings")},
                   {L"ResourceObject", ObjectPtr()},
                   {L"ResourceName", Name()},
                   {L"UVRegion", Struct(L"/Script/CoreUObject.Box2D")},
                   {L"DrawAs", Byte()},
                   {L"Tiling", Byte()},
                   {L"Mirroring", Byte()},
                   {L"ImageType", Byte()}}});
    DefineStruct({L"/Script/UMG.WidgetTransform",
                  {},
                  {{L"Translation", vector2D}, {L"Scale", vector2D}, {L"Shear", vector2D}, {L"Angle", Float()}}});
    DefineStruct({L"/Script/UMG.AnchorData",
                  {},
                  {{L"Offsets", margin}, {L"Anchors", Struct(L"/Script/Slate.Anchors")}, {L"Alignment", vector2D}}});
    DefineEnum({L"/Script/UMG.ESlateVisibility",
                {{L"Visible", 0}, {L"Collapsed", 1}, {L"Hidden", 2}, {L"HitTestInvisible", 3}, {L"SelfHitTestInvisible", 4}}});
}

std::vector<FunctionDef> AlignmentSetters(bool reachBorder)
{
    auto keep = reachBorder ? &KeepInSlotAndBorder : &Keep;
    return {Native(L"SetPadding", {In(L"InPadding", Struct(L"/Script/SlateCore.Margin"))}, keep(L"InPadding", L"Padding")),
            Native(L"SetHorizontalAlignment", {In(L"InHorizontalAlignment", Byte())},
                   keep(L"InHorizontalAlignment", L"HorizontalAlignment")),
            Native(L"SetVerticalAlignment", {In(L"InVerticalAlignment", Byte())}, keep(L"InVerticalAlignment", L"VerticalAlignment"))};
}

void DefineWidgetBase()
{
    auto vector2D = Struct(L"/Script/CoreUObject.Vector2D");
    DefineClass({.path = L"/Script/UMG.Visual"});
    DefineClass({.path = L"/Script/UMG.PanelSlot",
                 .super = L"/Script/UMG.Visual",
                 .properties = {{L"Parent", Object(L"/Script/UMG.PanelWidget")}, {L"Content", Object(L"/Script/UMG.Widget")}}});
    DefineClass(
        {.path = L"/Script/UMG.Widget",
         .super = L"/Script/UMG.Visual",
         .properties = {{L"Slot", Object(L"/Script/UMG.PanelSlot")},
                        {L"RenderTransform", Struct(L"/Script/UMG.WidgetTransform")},
                        {L"RenderTransformPivot", vector2D},
                        {L"Visibility", Enum(L"/Script/UMG.ESlateVisibility")},
                        {L"RenderOpacity", Float()}},
         .functions = {Native(L"SetVisibility", {In(L"InVisibility", Enum(L"/Script/UMG.ESlateVisibility"))},
                              Keep(L"InVisibility", L"Visibility")),
                       Native(L"GetVisibility", {Return(Enum(L"/Script/UMG.ESlateVisibility"))},
                              [](Call& call) { call.Get<uint8>(L"ReturnValue") = ReadMember<uint8>(call.Self(), L"Visibility"); }),
                       Native(L"SetRenderTransformPivot", {In(L"Pivot", vector2D)}, Keep(L"Pivot", L"RenderTransformPivot")),
                       Native(L"SetRenderTransformAngle", {In(L"Angle", Float())}, Keep(L"Angle", L"RenderTransform.Angle")),
                       Native(L"SetRenderScale", {In(L"Scale", vector2D)}, Keep(L"Scale", L"RenderTransform.Scale")),
                       Native(L"SetRenderOpacity", {In(L"InOpacity", Float())}, Keep(L"InOpacity", L"RenderOpacity")),
                       Native(L"InvalidateLayoutAndVolatility", {}, [](Call&) {}),
                       // A widget in the viewport leaves it; one in a panel leaves the panel.
                       Native(L"RemoveFromParent", {},
                              [](Call& call) {
                                  if (ViewportZOrder(call.Self()).has_value())
                                  {
                                      RemoveFromParent(call.Self());
                                      return;
                                  }
                                  DetachFromPanel(call.Self());
                              })},
         .defaults = &WidgetDefaults});
    DefineClass({.path = L"/Script/UMG.PanelWidget",
                 .super = L"/Script/UMG.Widget",
                 .properties = {{L"Slots", Array(Object(L"/Script/UMG.PanelSlot"))}},
                 .functions = {Native(L"AddChild", {In(L"Content", Object(L"/Script/UMG.Widget")), Return(Object(L"/Script/UMG.PanelSlot"))},
                                      AddChildBody(L"/Script/UMG.PanelSlot")),
                               Native(L"GetChildrenCount", {Return(Int())}, [](Call& call) {
                                   FArrayProperty* slots = SlotsProperty(call.Self());
                                   call.Get<int32>(L"ReturnValue") =
                                       slots != nullptr ? ArrayNum(slots->ContainerPtrToValuePtr<void>(call.Self())) : 0;
                               })}});
    DefineClass({.path = L"/Script/UMG.ContentWidget",
                 .super = L"/Script/UMG.PanelWidget",
                 .functions = {Native(L"SetContent",
                                      {In(L"Content", Object(L"/Script/UMG.Widget")), Return(Object(L"/Script/UMG.PanelSlot"))},
                                      &SetContent),
                               Native(L"GetContent", {Return(Object(L"/Script/UMG.Widget"))},
                                      [](Call& call) { call.Get<UObject*>(L"ReturnValue") = ContentOf(call.Self()); })}});
}

void DefinePanels()
{
    auto vector2D = Struct(L"/Script/CoreUObject.Vector2D");
    auto margin = Struct(L"/Script/SlateCore.Margin");
    DefineClass({.path = L"/Script/UMG.CanvasPanelSlot",
                 .super = L"/Script/UMG.PanelSlot",
                 .properties = {{L"LayoutData", Struct(L"/Script/UMG.AnchorData")}, {L"bAutoSize", Bool()}, {L"ZOrder", Int()}},
                 .functions = {Native(L"SetPosition", {In(L"InPosition", vector2D)},
                                      KeepPair(L"InPosition", L"LayoutData.Offsets.Left", L"LayoutData.Offsets.Top")),
                               Native(L"SetSize", {In(L"InSize", vector2D)},
                                      KeepPair(L"InSize", L"LayoutData.Offsets.Right", L"LayoutData.Offsets.Bottom")),
                               Native(L"SetOffsets", {In(L"InOffset", margin)}, Keep(L"InOffset", L"LayoutData.Offsets")),
                               Native(L"SetAnchors", {In(L"InAnchors", Struct(L"/Script/Slate.Anchors"))},
                                      Keep(L"InAnchors", L"LayoutData.Anchors")),
                               Native(L"SetAlignment", {In(L"InAlignment", vector2D)}, Keep(L"InAlignment", L"LayoutData.Alignment")),
                               Native(L"SetAutoSize", {In(L"InbAutoSize", Bool())}, Keep(L"InbAutoSize", L"bAutoSize")),
                               Native(L"SetZOrder", {In(L"InZOrder", Int())}, Keep(L"InZOrder", L"ZOrder"))},
                 .defaults = &CanvasSlotDefaults});
    DefineClass({.path = L"/Script/UMG.CanvasPanel",
                 .super = L"/Script/UMG.PanelWidget",
                 .functions = {Native(L"AddChildToCanvas",
                                      {In(L"Content", Object(L"/Script/UMG.Widget")), Return(Object(L"/Script/UMG.CanvasPanelSlot"))},
                                      AddChildBody(L"/Script/UMG.CanvasPanelSlot"))}});
    std::vector<PropertyDef> alignment = {
        {L"Padding", margin}, {L"HorizontalAlignment", Byte()}, {L"VerticalAlignment", Byte()}};
    DefineClass({.path = L"/Script/UMG.OverlaySlot",
                 .super = L"/Script/UMG.PanelSlot",
                 .properties = alignment,
                 .functions = AlignmentSetters(false),
                 .defaults = &TopLeftAligned});
    DefineClass({.path = L"/Script/UMG.Overlay",
                 .super = L"/Script/UMG.PanelWidget",
                 .functions = {Native(L"AddChildToOverlay",
                                      {In(L"Content", Object(L"/Script/UMG.Widget")), Return(Object(L"/Script/UMG.OverlaySlot"))},
                                      AddChildBody(L"/Script/UMG.OverlaySlot"))}});
    DefineClass({.path = L"/Script/UMG.SizeBoxSlot", .super = L"/Script/UMG.PanelSlot", .properties = alignment,
                 .functions = AlignmentSetters(false)});
    DefineClass({.path = L"/Script/UMG.SizeBox",
                 .super = L"/Script/UMG.ContentWidget",
                 .properties = {{L"WidthOverride", Float()},
                                {L"HeightOverride", Float()},
                                {L"bOverride_WidthOverride", Bitfield()},
                                {L"bOverride_HeightOverride", Bitfield()}},
                 .functions = {Native(L"SetWidthOverride", {In(L"InWidthOverride", Float())},
                                      KeepOverride(L"InWidthOverride", L"WidthOverride")),
                               Native(L"SetHeightOverride", {In(L"InHeightOverride", Float())},
                                      KeepOverride(L"InHeightOverride", L"HeightOverride")),
                               Native(L"ClearWidthOverride", {},
                                      [](Call& call) { SetMemberFlag(call.Self(), L"bOverride_WidthOverride", false); }),
                               Native(L"ClearHeightOverride", {},
                                      [](Call& call) { SetMemberFlag(call.Self(), L"bOverride_HeightOverride", false); })}});
    DefineClass({.path = L"/Script/UMG.BorderSlot", .super = L"/Script/UMG.PanelSlot", .properties = alignment,
                 .functions = AlignmentSetters(true)});
}

void DefineLeafWidgets()
{
    auto linear = Struct(L"/Script/CoreUObject.LinearColor");
    auto brush = Struct(L"/Script/SlateCore.SlateBrush");
    auto slateColor = Struct(L"/Script/SlateCore.SlateColor");
    auto margin = Struct(L"/Script/SlateCore.Margin");
    auto font = Struct(L"/Script/SlateCore.SlateFontInfo");
    DefineClass({.path = L"/Script/UMG.Border",
                 .super = L"/Script/UMG.ContentWidget",
                 .properties = {{L"HorizontalAlignment", Byte()},
                                {L"VerticalAlignment", Byte()},
                                {L"ContentColorAndOpacity", linear},
                                {L"Padding", margin},
                                {L"Background", brush},
                                {L"BrushColor", linear}},
                 .functions = {Native(L"SetBrushColor", {In(L"InBrushColor", linear)}, Keep(L"InBrushColor", L"BrushColor")),
                               Native(L"SetContentColorAndOpacity", {In(L"InContentColorAndOpacity", linear)},
                                      Keep(L"InContentColorAndOpacity", L"ContentColorAndOpacity")),
                               Native(L"SetPadding", {In(L"InPadding", margin)}, KeepInBorderAndSlot(L"InPadding", L"Padding")),
                               Native(L"SetHorizontalAlignment", {In(L"InHorizontalAlignment", Byte())},
                                      KeepInBorderAndSlot(L"InHorizontalAlignment", L"HorizontalAlignment")),
                               Native(L"SetVerticalAlignment", {In(L"InVerticalAlignment", Byte())},
                                      KeepInBorderAndSlot(L"InVerticalAlignment", L"VerticalAlignment")),
                               Native(L"SetBrush", {In(L"InBrush", brush)}, Keep(L"InBrush", L"Background")),
                               Native(L"SetBrushFromTexture", {In(L"Texture", Object(L"/Script/Engine.Texture2D"))},
                                      Keep(L"Texture", L"Background.ResourceObject"))},
                 .defaults = &BorderDefaults});
    DefineClass({.path = L"/Script/UMG.Image",
                 .super = L"/Script/UMG.Widget",
                 .properties = {{L"Brush", brush}, {L"ColorAndOpacity", linear}},
                 .functions = {Native(L"SetColorAndOpacity", {In(L"InColorAndOpacity", linear)},
                                      Keep(L"InColorAndOpacity", L"ColorAndOpacity")),
                               Native(L"SetOpacity", {In(L"InOpacity", Float())}, Keep(L"InOpacity", L"ColorAndOpacity.A")),
                               Native(L"SetBrush", {In(L"InBrush", brush)}, Keep(L"InBrush", L"Brush")),
                               Native(L"SetBrushTintColor", {In(L"TintColor", slateColor)}, Keep(L"TintColor", L"Brush.TintColor")),
                               Native(L"SetBrushResourceObject", {In(L"ResourceObject", Object())},
                                      Keep(L"ResourceObject", L"Brush.ResourceObject")),
                               Native(L"SetBrushFromTexture", {In(L"Texture", Object(L"/Script/Engine.Texture2D")), In(L"bMatchSize", Bool())},
                                      Keep(L"Texture", L"Brush.ResourceObject"))},
                 .defaults = &ImageDefaults});
    DefineClass({.path = L"/Script/UMG.TextBlock",
                 .super = L"/Script/UMG.Widget",
                 .properties = {{L"Text", Text()}, {L"ColorAndOpacity", slateColor}, {L"Font", font}, {L"Justification", Byte()}},
                 .functions = {Native(L"SetText", {In(L"InText", Text())}, Keep(L"InText", L"Text")),
                               Native(L"GetText", {Return(Text())},
                                      [](Call& call) {
                                          Member text = FindMember(call.Self(), L"Text");
                                          if (text.property != nullptr)
                                          {
                                              CopyTextValues(call.ParamAddress(L"ReturnValue"), text.address, 1);
                                          }
                                      }),
                               Native(L"SetColorAndOpacity", {In(L"InColorAndOpacity", slateColor)},
                                      Keep(L"InColorAndOpacity", L"ColorAndOpacity")),
                               Native(L"SetFont", {In(L"InFontInfo", font)}, Keep(L"InFontInfo", L"Font")),
                               Native(L"SetJustification", {In(L"InJustification", Byte())}, Keep(L"InJustification", L"Justification"))},
                 .defaults = &TextBlockDefaults});
}

void DefineUserWidgets()
{
    DefineClass({.path = L"/Script/UMG.WidgetTree", .properties = {{L"RootWidget", Object(L"/Script/UMG.Widget")}}});
    DefineClass({.path = L"/Script/UMG.UserWidget",
                 .super = L"/Script/UMG.Widget",
                 .properties = {{L"WidgetTree", Object(L"/Script/UMG.WidgetTree")}},
                 .functions = {Native(L"AddToViewport", {In(L"ZOrder", Int())},
                                      [](Call& call) { AddToViewport(call.Self(), call.Get<int32>(L"ZOrder")); }),
                               Native(L"SetOwningPlayer", {In(L"LocalPlayerController", Object(L"/Script/Engine.PlayerController"))},
                                      [](Call& call) {
                                          UObject* player = call.Get<UObject*>(L"LocalPlayerController");
                                          if (IsLiveObject(player))
                                          {
                                              State().play.widgetOwners[call.Self()] = player;
                                          }
                                      }),
                               Native(L"GetOwningPlayer", {Return(Object(L"/Script/Engine.PlayerController"))},
                                      [](Call& call) { call.Get<UObject*>(L"ReturnValue") = OwningPlayerOf(call.Self()); })},
                 .defaults = &UserWidgetDefaults});
    // The layout library answers for the game viewport of the context object's world.
    DefineClass({.path = L"/Script/Engine.BlueprintFunctionLibrary"});
    DefineClass({.path = L"/Script/UMG.WidgetLayoutLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {{L"GetViewportScale",
                                {In(L"WorldContextObject", Object()), Return(Float())},
                                [](Call& call) {
                                    UObject* context = call.Get<UObject*>(L"WorldContextObject");
                                    call.Get<float>(L"ReturnValue") = IsLiveObject(context) ? ViewportScale() : 1.0f;
                                },
                                kLibraryFunction},
                               {L"GetViewportSize",
                                {In(L"WorldContextObject", Object()), Return(Struct(L"/Script/CoreUObject.Vector2D"))},
                                [](Call& call) {
                                    const UStruct* v = StructOfParam(call, L"ReturnValue");
                                    const ViewportSize size = ViewportPixels();
                                    WriteReal(v, call.ParamAddress(L"ReturnValue"), L"X", size.width);
                                    WriteReal(v, call.ParamAddress(L"ReturnValue"), L"Y", size.height);
                                },
                                kLibraryFunction}}});
    // Only a local player's controller has a viewport to measure.
    AddFunction(FindClass(L"/Script/Engine.PlayerController"),
                Native(L"GetViewportSize", {Out(L"SizeX", Int()), Out(L"SizeY", Int())}, [](Call& call) {
                    const bool local = IsLocalController(call.Self());
                    const ViewportSize size = ViewportPixels();
                    call.Get<int32>(L"SizeX") = local ? size.width : 0;
                    call.Get<int32>(L"SizeY") = local ? size.height : 0;
                }));
}
} // namespace

void DefineWidgetClasses()
{
    DefineWidgetStructs();
    DefineWidgetBase();
    DefinePanels();
    DefineLeafWidgets();
    DefineUserWidgets();
}

ViewportSize ViewportPixels() { return {State().play.viewportWidth, State().play.viewportHeight}; }

void SetViewportPixels(int32 width, int32 height)
{
    State().play.viewportWidth = width;
    State().play.viewportHeight = height;
}

float ViewportScale()
{
    const auto& play = State().play;
    return play.viewportScale.value_or(CurveScale(play.viewportWidth, play.viewportHeight));
}

void SetViewportScale(float scale) { State().play.viewportScale = scale; }
void ResetViewportScale() { State().play.viewportScale.reset(); }

std::optional<int32> ViewportZOrder(const UObject* widget)
{
    const auto& layers = State().play.viewportLayers;
    auto found = layers.find(widget);
    if (found == layers.end())
    {
        return std::nullopt;
    }
    return found->second.zOrder;
}

void AddViewportContent(UObject* userWidget, int32 layer)
{
    auto guard = LockEngine();
    const auto& viewport = State().play.viewport;
    if (IsLiveObject(userWidget) && std::find(viewport.begin(), viewport.end(), userWidget) == viewport.end())
    {
        AddToViewportLayer(userWidget, layer, layer);
    }
}

UObject* OwningPlayerOf(const UObject* userWidget)
{
    const auto& owners = State().play.widgetOwners;
    auto found = owners.find(userWidget);
    return found != owners.end() && IsLiveObject(found->second) ? found->second : nullptr;
}
} // namespace Sim
