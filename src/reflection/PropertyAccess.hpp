// Typed access to property values by name: where a value lives (object, struct value or
// parameter buffer plus the property's offset), the class-name checks that make a layout
// safe to read, and the reads and writes the mod makes. Nothing here logs or throws: a failed
// check is a false or null result and the output is left alone.
#pragma once

#include "reflection/Lookup.hpp"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace Orv
{
// The property classes the mod tells apart, decided by the exact class name the host reports
// ("BoolProperty", ...). Any other name is Other.
enum class PropertyClass : std::uint8_t
{
    Other,
    Bool,
    Struct,
    Object,
    ObjectPtr,
    Name,
    Enum,
    Byte,
    Int,
    Int64,
    UInt16,
    UInt32,
    UInt64,
    Float,
    Double,
    Str,
    Text,
    Array,
    Set,
    Map,
};

// Other for a null property. The name is asked of the host once per property class.
PropertyClass PropertyClassOf(FProperty* property);

// The object's address plus the property's offset, or null when the class lacks the property.
// No class check: the caller knows the value's layout.
void* PropertyAddress(Reflection& reflection, UObject* object, std::wstring_view propertyName);

// A member inside a struct value, found by the struct's own (uncached) search. The member
// output, when given, is cleared first and receives the member property on success.
void* StructMemberAddress(FProperty* structProperty, void* structValue, std::wstring_view memberName,
                          FProperty** member = nullptr);
void* ObjectStructMemberAddress(Reflection& reflection, UObject* object, std::wstring_view propertyName,
                                std::wstring_view memberName, FProperty** member = nullptr);

// Booleans follow the engine's bit rule: the value is the byte at the byte offset ANDed with
// the field mask; a write keeps every bit outside the field mask.
bool ReadBoolProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName);
// As above, telling a false value from a property that could not be read.
bool ReadBoolProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName, bool& value);
bool ReadBoolMember(FProperty* structProperty, void* structValue, std::wstring_view memberName);

// ObjectProperty or ObjectPtrProperty only; null for anything else.
UObject* ReadObjectProperty(FProperty* property, const void* valueAddress);

// Names come back as text. The text is assigned once the checks pass, also when it comes out
// empty; the result is true only for non-empty text.
bool ReadNameProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName, std::wstring& text);
bool ReadNameMember(FProperty* structProperty, void* structValue, std::wstring_view memberName, std::wstring& text);
// The member's "TagName" when the member is a gameplay-tag struct, else the member itself read
// as a name.
bool ReadGameplayTagName(FProperty* structProperty, void* structValue, std::wstring_view memberName,
                         std::wstring& text);

// An enum (through its underlying property) or an integer property, truncated to its low byte.
bool ReadSmallUnsigned(FProperty* property, const void* valueAddress, std::uint8_t& value);

// A plain value (a float, an integer, an object pointer) copied to or from the property's
// address, with no class check: the caller knows the layout. False when the class lacks it.
template <typename T> bool WritePropertyValue(Reflection& reflection, UObject* object, std::wstring_view propertyName, const T& value)
{
    void* address = PropertyAddress(reflection, object, propertyName);
    if (address == nullptr)
    {
        return false;
    }
    std::memcpy(address, &value, sizeof(value));
    return true;
}
template <typename T> bool ReadPropertyValue(Reflection& reflection, UObject* object, std::wstring_view propertyName, T& value)
{
    const void* address = PropertyAddress(reflection, object, propertyName);
    if (address == nullptr)
    {
        return false;
    }
    std::memcpy(&value, address, sizeof(value));
    return true;
}

bool WriteBoolProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName, bool value);
bool WriteBoolMember(Reflection& reflection, UObject* object, std::wstring_view structPropertyName,
                     std::wstring_view memberName, bool value);
// Stored as a 32-bit float into a FloatProperty member, widened into a DoubleProperty member.
bool WriteRealMember(Reflection& reflection, UObject* object, std::wstring_view structPropertyName,
                     std::wstring_view memberName, float value);

// The bit rule on a raw value address, for parameter buffers too.
bool ReadBoolBit(const FProperty* boolProperty, const void* valueAddress);
void WriteBoolBit(const FProperty* boolProperty, void* valueAddress, bool value);
} // namespace Orv
