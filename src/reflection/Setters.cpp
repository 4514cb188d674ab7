// Widget and actor setters: each a reflective call with its arguments in the engine's layout.
#include "reflection/Setters.hpp"

#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/ScratchBuffer.hpp"

#include <cmath>
#include <cstring>
#include <limits>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr std::wstring_view kReturnValue = L"ReturnValue";
constexpr std::wstring_view kTextLibrary = L"/Script/Engine.KismetTextLibrary";
constexpr std::wstring_view kStringToText = L"/Script/Engine.KismetTextLibrary:Conv_StringToText";

// A struct value copied out of an object, owned (and destroyed) by this scope. Values up to
// 256 bytes stay on the stack.
class StructCopy
{
  public:
    StructCopy(FProperty* property, const void* source) : property_(property)
    {
        buffer_.Reserve(static_cast<std::size_t>(property->GetElementSize()) *
                        static_cast<std::size_t>(property->GetArrayDim()));
        property_->InitializeValue(Data());
        property_->CopySingleValue(Data(), source);
    }
    ~StructCopy() { property_->DestroyValue(Data()); }
    StructCopy(const StructCopy&) = delete;
    StructCopy& operator=(const StructCopy&) = delete;

    std::uint8_t* Data() { return buffer_.Data(); }

  private:
    FProperty* property_;
    ScratchBuffer buffer_;
};

// By-copy arguments are copied with the parameter's own type: a source of another struct
// would be read past its end.
bool SameStruct(FProperty* parameter, FProperty* value)
{
    return PropertyClassOf(parameter) == PropertyClass::Struct && PropertyClassOf(value) == PropertyClass::Struct &&
           static_cast<const FStructProperty*>(parameter)->GetStruct() ==
               static_cast<const FStructProperty*>(value)->GetStruct();
}

bool CallWithRaw(Reflection& reflection, UObject* target, std::wstring_view functionName,
                 std::wstring_view parameterName, const void* value, std::size_t length)
{
    return InvokeFunction(
        reflection, target, functionName,
        [&](CallFrame& frame) { return frame.WriteRaw(parameterName, value, length); }, NoResults);
}

bool CallWithReals(Reflection& reflection, UObject* target, std::wstring_view functionName,
                   std::wstring_view parameterName, const EngineReals& reals)
{
    return CallWithRaw(reflection, target, functionName, parameterName, reals.bytes, reals.size);
}

// The object's struct property of that name and its value, for a copy-modify-pass setter.
struct StructValue
{
    FProperty* property = nullptr;
    void* address = nullptr;
};

StructValue FindStructValue(Reflection& reflection, UObject* object, std::wstring_view name)
{
    FProperty* property = reflection.LookupProperty(object, name);
    if (PropertyClassOf(property) != PropertyClass::Struct)
    {
        return {};
    }
    return {property, PropertyAddress(reflection, object, name)};
}

// Calls the function with a copy of the value whose fields edit() changes; edit returns false
// to call nothing.
template <typename Edit>
bool CallWithEditedCopy(Reflection& reflection, UObject* target, std::wstring_view functionName,
                        std::wstring_view parameterName, const StructValue& current, Edit&& edit)
{
    CallFrame frame(reflection, reflection.LookupFunction(target, functionName));
    if (!frame.IsBound() || !SameStruct(frame.Parameter(parameterName), current.property))
    {
        return false;
    }
    StructCopy copy(current.property, current.address);
    if (!edit(copy.Data()) || !frame.WriteByCopy(parameterName, copy.Data()))
    {
        return false;
    }
    return frame.Invoke(target);
}
} // namespace

bool SetImageColor(Reflection& reflection, UObject* image, const LinearColor& color)
{
    return CallWithRaw(reflection, image, L"SetColorAndOpacity", L"InColorAndOpacity", &color, sizeof(color));
}

bool SetTextColor(Reflection& reflection, UObject* textBlock, const LinearColor& color)
{
    StructValue current = FindStructValue(reflection, textBlock, L"ColorAndOpacity");
    if (current.property == nullptr || current.property->GetElementSize() < static_cast<int32>(sizeof(LinearColor)))
    {
        return false;
    }
    return CallWithEditedCopy(reflection, textBlock, L"SetColorAndOpacity", L"InColorAndOpacity", current,
                              [&](std::uint8_t* value) {
                                  std::memcpy(value, &color, sizeof(color));
                                  return true;
                              });
}

bool SetBrushResourceObject(Reflection& reflection, UObject* image, UObject* resource)
{
    return CallWithRaw(reflection, image, L"SetBrushResourceObject", L"ResourceObject", &resource, sizeof(resource));
}

bool SetBrushFromTexture(Reflection& reflection, UObject* image, UObject* texture)
{
    return InvokeFunction(
        reflection, image, L"SetBrushFromTexture",
        [&](CallFrame& frame) {
            std::uint8_t matchSize = 0;
            return frame.WriteRaw(L"Texture", &texture, sizeof(texture)) && frame.WriteRaw(L"bMatchSize", &matchSize, 1);
        },
        NoResults);
}

// The engine makes the text in one call frame and the text property copies it into SetText's;
// each frame lets go of what it holds, so the text lives on only in the widget. A text of the
// mod's own would leak: the loader's FText never gives its reference back.
bool SetText(Reflection& reflection, UObject* textBlock, const wchar_t* text)
{
    if (text == nullptr)
    {
        return false;
    }
    CallFrame setter(reflection, reflection.LookupFunction(textBlock, L"SetText"));
    if (!setter.IsBound() || PropertyClassOf(setter.Parameter(L"InText")) != PropertyClass::Text)
    {
        return false;
    }
    CallFrame conversion(reflection, LookupFunctionByPath(reflection, kStringToText));
    FProperty* stringProperty = nullptr;
    void* string = conversion.ParameterSlot(L"InString", &stringProperty);
    if (string == nullptr || PropertyClassOf(stringProperty) != PropertyClass::Str)
    {
        return false;
    }
    const std::wstring_view characters(text);
    static_cast<FString*>(string)->Append(characters.data(), static_cast<int32>(characters.size()));
    if (!conversion.Invoke(reflection.LookupClassDefault(kTextLibrary)) ||
        PropertyClassOf(conversion.Parameter(kReturnValue)) != PropertyClass::Text)
    {
        return false;
    }
    void* made = conversion.ResultSlot(kReturnValue);
    return made != nullptr && setter.WriteByCopy(L"InText", made) && setter.Invoke(textBlock);
}

bool SetVisibility(Reflection& reflection, UObject* widget, std::uint8_t visibility)
{
    return CallWithRaw(reflection, widget, L"SetVisibility", L"InVisibility", &visibility, sizeof(visibility));
}

UObject* AddChildToCanvas(Reflection& reflection, UObject* canvas, UObject* child)
{
    UObject* slot = CallWithObjectAndReadObject(reflection, canvas, L"AddChildToCanvas", L"Content", child);
    if (slot == nullptr)
    {
        return nullptr;
    }
    CallWithReals(reflection, slot, L"SetAnchors", L"InAnchors", ToEngine(Vector2d{}, Vector2d{}));
    CallWithReals(reflection, slot, L"SetAlignment", L"InAlignment", ToEngine(Vector2d{}));
    return slot;
}

void SetSlotAlignment(Reflection& reflection, UObject* widget, std::uint8_t horizontal, std::uint8_t vertical)
{
    void* slotAddress = PropertyAddress(reflection, widget, L"Slot");
    if (slotAddress == nullptr)
    {
        return;
    }
    UObject* slot = nullptr;
    std::memcpy(static_cast<void*>(&slot), slotAddress, sizeof(slot));
    if (slot == nullptr)
    {
        return;
    }
    CallWithRaw(reflection, slot, L"SetHorizontalAlignment", L"InHorizontalAlignment", &horizontal, 1);
    CallWithRaw(reflection, slot, L"SetVerticalAlignment", L"InVerticalAlignment", &vertical, 1);
}

void SetSlotPosition(Reflection& reflection, UObject* slot, Vector2d position)
{
    if (!IsLive(slot, false))
    {
        return;
    }
    CallWithReals(reflection, slot, L"SetPosition", L"InPosition", ToEngine(position));
}

void MoveSlot(Reflection& reflection, UObject* slot, Vector2d position, Vector2d& lastSent)
{
    if ((position.x == lastSent.x && position.y == lastSent.y) || !IsLive(slot, false))
    {
        return;
    }
    if (CallWithReals(reflection, slot, L"SetPosition", L"InPosition", ToEngine(position)))
    {
        lastSent = position;
    }
}

void SetSlotPositionAndSize(Reflection& reflection, UObject* slot, Vector2d position, Vector2d size)
{
    if (!IsLive(slot, false))
    {
        return;
    }
    CallWithReals(reflection, slot, L"SetPosition", L"InPosition", ToEngine(position));
    CallWithReals(reflection, slot, L"SetSize", L"InSize", ToEngine(size));
}

bool SetSlotZOrder(Reflection& reflection, UObject* slot, std::int32_t zOrder)
{
    return CallWithRaw(reflection, slot, L"SetZOrder", L"InZOrder", &zOrder, sizeof(zOrder));
}

bool SetBrushColor(Reflection& reflection, UObject* border, const LinearColor& color)
{
    return CallWithRaw(reflection, border, L"SetBrushColor", L"InBrushColor", &color, sizeof(color));
}

bool SetFontSize(Reflection& reflection, UObject* textBlock, float size)
{
    if (std::isnan(size))
    {
        return false;
    }
    StructValue current = FindStructValue(reflection, textBlock, L"Font");
    if (current.property == nullptr)
    {
        return false;
    }
    return CallWithEditedCopy(reflection, textBlock, L"SetFont", L"InFontInfo", current, [&](std::uint8_t* value) {
        FProperty* member = nullptr;
        void* address = StructMemberAddress(current.property, value, L"Size", &member);
        if (address == nullptr)
        {
            return false;
        }
        switch (PropertyClassOf(member))
        {
        case PropertyClass::Float: std::memcpy(address, &size, sizeof(size)); return true;
        case PropertyClass::Int: {
            // Truncated toward zero; a size beyond the integer's range would be undefined.
            constexpr float kLimit = 2147483520.0f;
            auto whole = static_cast<std::int32_t>(std::fmax(-kLimit, std::fmin(kLimit, size)));
            std::memcpy(address, &whole, sizeof(whole));
            return true;
        }
        default: return false;
        }
    });
}

bool SetPadding(Reflection& reflection, UObject* widget, float padding)
{
    const float margin[4] = {padding, padding, padding, padding};
    return CallWithRaw(reflection, widget, L"SetPadding", L"InPadding", margin, sizeof(margin));
}

bool SetSizeOverrides(Reflection& reflection, UObject* sizeBox, float width, float height)
{
    const bool widthSet = CallWithRaw(reflection, sizeBox, L"SetWidthOverride", L"InWidthOverride", &width, sizeof(width));
    const bool heightSet = CallWithRaw(reflection, sizeBox, L"SetHeightOverride", L"InHeightOverride", &height, sizeof(height));
    return widthSet && heightSet;
}

bool SetContent(Reflection& reflection, UObject* panel, UObject* content)
{
    return CallWithObject(reflection, panel, L"SetContent", L"Content", content);
}

UObject* AddChildToOverlay(Reflection& reflection, UObject* overlay, UObject* child)
{
    return CallWithObjectAndReadObject(reflection, overlay, L"AddChildToOverlay", L"Content", child);
}

bool SetRenderPivot(Reflection& reflection, UObject* widget, Vector2d pivot)
{
    return CallWithReals(reflection, widget, L"SetRenderTransformPivot", L"Pivot", ToEngine(pivot));
}

bool SetRenderAngle(Reflection& reflection, UObject* widget, float degrees)
{
    return CallWithRaw(reflection, widget, L"SetRenderTransformAngle", L"Angle", &degrees, sizeof(degrees));
}

bool SetRenderScale(Reflection& reflection, UObject* widget, Vector2d scale)
{
    return CallWithReals(reflection, widget, L"SetRenderScale", L"Scale", ToEngine(scale));
}

bool SetRenderOpacity(Reflection& reflection, UObject* widget, float opacity)
{
    return CallWithRaw(reflection, widget, L"SetRenderOpacity", L"InOpacity", &opacity, sizeof(opacity));
}

bool SetActorRotation(Reflection& reflection, UObject* actor, const Rotator3d& rotation)
{
    EngineReals rotator = ToEngine(rotation);
    return InvokeFunction(
        reflection, actor, L"K2_SetActorRotation",
        [&](CallFrame& frame) {
            // The copy reads a whole engine rotator from the source: the layouts must agree.
            FProperty* parameter = frame.Parameter(L"NewRotation");
            if (parameter == nullptr || static_cast<std::size_t>(parameter->GetElementSize()) != rotator.size)
            {
                return false;
            }
            std::uint8_t teleport = 0;
            return frame.WriteByCopy(L"NewRotation", rotator.bytes) && frame.WriteRaw(L"bTeleportPhysics", &teleport, 1);
        },
        NoResults);
}
} // namespace Orv
