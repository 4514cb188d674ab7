// Widgets, slots and an actor whose native functions keep what they were called with, on a
// fresh engine of a chosen version, plus the heap and call counters the leak checks use.
#pragma once

#include "support/EngineFixture.hpp"

#include "reflection/Lookup.hpp"

#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Unreal/UObjectArray.hpp>

#include <cstring>

namespace OrvTest
{
using namespace RC::Unreal;

// The value of the object's property of that name (the engine's view, uncounted).
inline void* Field(UObject* object, const wchar_t* name)
{
    return Sim::FindPropertyUncounted(object->GetClassPrivate(), name)->ContainerPtrToValuePtr(object);
}

template <typename T> T FieldAs(UObject* object, const wchar_t* name)
{
    T value{};
    std::memcpy(static_cast<void*>(&value), Field(object, name), sizeof(T));
    return value;
}

// Copies a parameter's bytes into the target's property of the same size.
inline Sim::NativeFunction Keep(const wchar_t* parameter, const wchar_t* property)
{
    return [=](Sim::Call& call) {
        auto* source = call.Param(parameter);
        std::memcpy(Field(call.Self(), property), call.ParamAddress(parameter),
                    static_cast<std::size_t>(source->GetElementSize()));
    };
}

class CallFixture : public EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        DefineWidgets();
    }

    void TearDown() override { EXPECT_EQ(Sim::Heap().InvalidFrees, invalidAtStart_) << "a value was destroyed twice"; }

    void Restart(int major, int minor)
    {
        StartEngine(major, minor);
        DefineWidgets();
        reflection_.Clear();
    }

    void DefineWidgets()
    {
        using namespace Sim;
        auto linear = Struct(L"/Script/CoreUObject.LinearColor");
        auto vector2D = Struct(L"/Script/CoreUObject.Vector2D");
        auto slateColor = Struct(L"/Script/SlateCore.SlateColor");
        auto font = Struct(L"/Script/SlateCore.SlateFontInfo");
        DefineClass({.path = L"/Script/TestUMG.CanvasPanelSlot",
                     .properties = {{L"Anchors", Struct(L"/Script/Slate.Anchors")},
                                    {L"Alignment", vector2D},
                                    {L"Position", vector2D},
                                    {L"Size", vector2D},
                                    {L"Horizontal", Byte()},
                                    {L"Vertical", Byte()},
                                    {L"Calls", Int()}},
                     .functions = {{L"SetAnchors", {In(L"InAnchors", Struct(L"/Script/Slate.Anchors"))}, Keep(L"InAnchors", L"Anchors")},
                                   {L"SetAlignment", {In(L"InAlignment", vector2D)}, Keep(L"InAlignment", L"Alignment")},
                                   {L"SetPosition", {In(L"InPosition", vector2D)}, Keep(L"InPosition", L"Position")},
                                   {L"SetSize", {In(L"InSize", vector2D)}, Keep(L"InSize", L"Size")},
                                   {L"SetHorizontalAlignment", {In(L"InHorizontalAlignment", Byte())},
                                    Keep(L"InHorizontalAlignment", L"Horizontal")},
                                   {L"SetVerticalAlignment", {In(L"InVerticalAlignment", Byte())},
                                    Keep(L"InVerticalAlignment", L"Vertical")}}});
        DefineClass({.path = L"/Script/TestUMG.Widget",
                     .properties = {{L"Slot", Object(L"/Script/TestUMG.CanvasPanelSlot")}, {L"Visibility", Byte()}},
                     .functions = {{L"SetVisibility", {In(L"InVisibility", Byte())}, Keep(L"InVisibility", L"Visibility")}}});
        DefineClass({.path = L"/Script/TestUMG.Image",
                     .super = L"/Script/TestUMG.Widget",
                     .properties = {{L"Tint", linear}, {L"Resource", Object()}, {L"MatchSize", Bool()}},
                     .functions = {{L"SetColorAndOpacity", {In(L"InColorAndOpacity", linear)}, Keep(L"InColorAndOpacity", L"Tint")},
                                   {L"SetBrushResourceObject", {In(L"ResourceObject", Object())}, Keep(L"ResourceObject", L"Resource")},
                                   {L"SetBrushFromTexture",
                                    {In(L"Texture", Object()), In(L"bMatchSize", Bool())},
                                    [](Call& call) {
                                        Keep(L"Texture", L"Resource")(call);
                                        Keep(L"bMatchSize", L"MatchSize")(call);
                                    }}}});
        DefineClass({.path = L"/Script/TestUMG.TextBlock",
                     .super = L"/Script/TestUMG.Widget",
                     .properties = {{L"ColorAndOpacity", slateColor}, {L"Font", font}, {L"Text", Text()}},
                     .functions = {{L"SetColorAndOpacity", {In(L"InColorAndOpacity", slateColor)},
                                    Keep(L"InColorAndOpacity", L"ColorAndOpacity")},
                                   {L"SetFont", {In(L"InFontInfo", font)}, Keep(L"InFontInfo", L"Font")},
                                   {L"SetText", {In(L"InText", Text())}, [](Call& call) {
                                        // UTextBlock::SetText assigns: the widget shares the argument's text.
                                        call.Param(L"InText")->CopySingleValue(Field(call.Self(), L"Text"), call.ParamAddress(L"InText"));
                                    }}}});
        DefineClass({.path = L"/Script/TestUMG.Border",
                     .super = L"/Script/TestUMG.Widget",
                     .properties = {{L"BrushColor", linear}},
                     .functions = {{L"SetBrushColor", {In(L"InBrushColor", linear)}, Keep(L"InBrushColor", L"BrushColor")}}});
        DefineClass({.path = L"/Script/TestUMG.CanvasPanel",
                     .super = L"/Script/TestUMG.Widget",
                     .functions = {{L"AddChildToCanvas",
                                    {In(L"Content", Object(L"/Script/TestUMG.Widget")), Return(Object(L"/Script/TestUMG.CanvasPanelSlot"))},
                                    [](Call& call) {
                                        UObject* child = call.Get<UObject*>(L"Content");
                                        if (child == nullptr)
                                        {
                                            return;
                                        }
                                        UObject* slot = NewObject(FindClass(L"/Script/TestUMG.CanvasPanelSlot"), call.Self());
                                        std::memcpy(Field(child, L"Slot"), &slot, sizeof(slot));
                                        call.Get<UObject*>(L"ReturnValue") = slot;
                                    }}}});
        auto rotator = Struct(L"/Script/CoreUObject.Rotator");
        auto vector = Struct(L"/Script/CoreUObject.Vector");
        DefineClass({.path = L"/Script/Test.Mover",
                     .super = L"/Script/Engine.Actor",
                     .properties = {{L"Rotation", rotator}, {L"Teleported", Bool()}, {L"Velocity", vector}},
                     .functions = {{L"K2_SetActorRotation",
                                    {In(L"NewRotation", rotator), In(L"bTeleportPhysics", Bool()), Return(Bool())},
                                    [](Call& call) {
                                        Keep(L"NewRotation", L"Rotation")(call);
                                        Keep(L"bTeleportPhysics", L"Teleported")(call);
                                        call.SetBool(L"ReturnValue", true);
                                    }},
                                   {L"GetVelocity", {Return(vector)}, [](Call& call) {
                                        std::memcpy(call.ParamAddress(L"ReturnValue"), Field(call.Self(), L"Velocity"),
                                                    static_cast<std::size_t>(call.Param(L"ReturnValue")->GetElementSize()));
                                    }}}});
        Sim::ResetCounters();
        invalidAtStart_ = Sim::Heap().InvalidFrees;
    }

    UObject* Make(const wchar_t* classPath, const wchar_t* name = L"")
    {
        return Sim::NewObject(Sim::FindClass(classPath), nullptr, name);
    }

    static uint64 LiveBlocks() { return Sim::Heap().LiveBlocks; }

    Orv::Reflection reflection_;
    uint64 invalidAtStart_ = 0;
};
} // namespace OrvTest
