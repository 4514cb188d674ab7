// Property addresses, class-name checks and the typed reads and writes of engine values.
#include "reflection/PropertyAccess.hpp"

#include <array>
#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
struct ClassName
{
    std::wstring_view name;
    PropertyClass kind;
};

constexpr std::array<ClassName, 19> kClassNames{{
    {L"BoolProperty", PropertyClass::Bool},
    {L"StructProperty", PropertyClass::Struct},
    {L"ObjectProperty", PropertyClass::Object},
    {L"ObjectPtrProperty", PropertyClass::ObjectPtr},
    {L"NameProperty", PropertyClass::Name},
    {L"EnumProperty", PropertyClass::Enum},
    {L"ByteProperty", PropertyClass::Byte},
    {L"IntProperty", PropertyClass::Int},
    {L"Int64Property", PropertyClass::Int64},
    {L"UInt16Property", PropertyClass::UInt16},
    {L"UInt32Property", PropertyClass::UInt32},
    {L"UInt64Property", PropertyClass::UInt64},
    {L"FloatProperty", PropertyClass::Float},
    {L"DoubleProperty", PropertyClass::Double},
    {L"StrProperty", PropertyClass::Str},
    {L"TextProperty", PropertyClass::Text},
    {L"ArrayProperty", PropertyClass::Array},
    {L"SetProperty", PropertyClass::Set},
    {L"MapProperty", PropertyClass::Map},
}};

PropertyClass ClassFromName(std::wstring_view name)
{
    for (const auto& entry : kClassNames)
    {
        if (entry.name == name)
        {
            return entry.kind;
        }
    }
    return PropertyClass::Other;
}

// The host hands out a property's class name as a fresh string. Field classes are permanent
// engine objects, so each one's answer is remembered with the class, which variants compare by
// identity: after the first frame a class check is a short scan with no allocation. The game
// thread is the only caller.
struct ClassMemo
{
    RC::Unreal::FFieldClassVariant fieldClass;
    PropertyClass kind;
};
std::array<ClassMemo, 64> classMemo{};
std::size_t classMemoCount = 0;

bool Is(FProperty* property, PropertyClass kind) { return PropertyClassOf(property) == kind; }

bool IsNumericForSmallUnsigned(PropertyClass kind)
{
    switch (kind)
    {
    case PropertyClass::Byte:
    case PropertyClass::Int:
    case PropertyClass::Int64:
    case PropertyClass::UInt16:
    case PropertyClass::UInt32:
    case PropertyClass::UInt64: return true;
    default: return false;
    }
}

bool ReadNameAt(const void* valueAddress, std::wstring& text)
{
    FName name;
    std::memcpy(static_cast<void*>(&name), valueAddress, sizeof(FName));
    text = name.ToString();
    return !text.empty();
}
} // namespace

PropertyClass PropertyClassOf(FProperty* property)
{
    if (property == nullptr)
    {
        return PropertyClass::Other;
    }
    const RC::Unreal::FFieldClassVariant fieldClass = property->GetClass();
    for (std::size_t i = 0; i < classMemoCount; ++i)
    {
        if (classMemo[i].fieldClass == fieldClass)
        {
            return classMemo[i].kind;
        }
    }
    PropertyClass kind = ClassFromName(fieldClass.GetName());
    if (fieldClass.IsValid() && classMemoCount < classMemo.size())
    {
        classMemo[classMemoCount++] = {fieldClass, kind};
    }
    return kind;
}

bool ReadBoolBit(const FProperty* boolProperty, const void* valueAddress)
{
    const auto* bits = static_cast<const FBoolProperty*>(boolProperty);
    const auto* byte = static_cast<const uint8*>(valueAddress) + bits->GetByteOffset();
    return (*byte & bits->GetFieldMask()) != 0;
}

void WriteBoolBit(const FProperty* boolProperty, void* valueAddress, bool value)
{
    const auto* bits = static_cast<const FBoolProperty*>(boolProperty);
    auto* byte = static_cast<uint8*>(valueAddress) + bits->GetByteOffset();
    *byte = static_cast<uint8>((*byte & ~bits->GetFieldMask()) | (value ? bits->GetByteMask() : 0));
}

void* PropertyAddress(Reflection& reflection, UObject* object, std::wstring_view propertyName)
{
    FProperty* property = reflection.LookupProperty(object, propertyName);
    if (property == nullptr)
    {
        return nullptr;
    }
    return reinterpret_cast<uint8*>(object) + property->GetOffset_Internal();
}

void* StructMemberAddress(FProperty* structProperty, void* structValue, std::wstring_view memberName,
                          FProperty** member)
{
    if (member != nullptr)
    {
        *member = nullptr;
    }
    if (structProperty == nullptr || structValue == nullptr || !Is(structProperty, PropertyClass::Struct))
    {
        return nullptr;
    }
    UScriptStruct* layout = static_cast<FStructProperty*>(structProperty)->GetStruct();
    if (layout == nullptr)
    {
        return nullptr;
    }
    FProperty* found = FindPropertyInChain(layout, memberName);
    if (found == nullptr)
    {
        return nullptr;
    }
    if (member != nullptr)
    {
        *member = found;
    }
    return static_cast<uint8*>(structValue) + found->GetOffset_Internal();
}

void* ObjectStructMemberAddress(Reflection& reflection, UObject* object, std::wstring_view propertyName,
                                std::wstring_view memberName, FProperty** member)
{
    if (member != nullptr)
    {
        *member = nullptr;
    }
    void* structValue = PropertyAddress(reflection, object, propertyName);
    if (structValue == nullptr)
    {
        return nullptr;
    }
    return StructMemberAddress(reflection.LookupProperty(object, propertyName), structValue, memberName, member);
}

bool ReadBoolProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName)
{
    bool value = false;
    return ReadBoolProperty(reflection, object, propertyName, value) && value;
}

bool ReadBoolProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName, bool& value)
{
    FProperty* property = reflection.LookupProperty(object, propertyName);
    if (!Is(property, PropertyClass::Bool))
    {
        return false;
    }
    value = ReadBoolBit(property, reinterpret_cast<uint8*>(object) + property->GetOffset_Internal());
    return true;
}

bool ReadBoolMember(FProperty* structProperty, void* structValue, std::wstring_view memberName)
{
    FProperty* member = nullptr;
    void* address = StructMemberAddress(structProperty, structValue, memberName, &member);
    if (address == nullptr || !Is(member, PropertyClass::Bool))
    {
        return false;
    }
    return ReadBoolBit(member, address);
}

UObject* ReadObjectProperty(FProperty* property, const void* valueAddress)
{
    if (property == nullptr || valueAddress == nullptr)
    {
        return nullptr;
    }
    PropertyClass kind = PropertyClassOf(property);
    if (kind != PropertyClass::Object && kind != PropertyClass::ObjectPtr)
    {
        return nullptr;
    }
    return static_cast<FObjectPropertyBase*>(property)->GetObjectPropertyValue(valueAddress);
}

bool ReadNameProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName, std::wstring& text)
{
    FProperty* property = reflection.LookupProperty(object, propertyName);
    if (!Is(property, PropertyClass::Name))
    {
        return false;
    }
    return ReadNameAt(reinterpret_cast<uint8*>(object) + property->GetOffset_Internal(), text);
}

bool ReadNameMember(FProperty* structProperty, void* structValue, std::wstring_view memberName, std::wstring& text)
{
    FProperty* member = nullptr;
    void* address = StructMemberAddress(structProperty, structValue, memberName, &member);
    if (address == nullptr || !Is(member, PropertyClass::Name))
    {
        return false;
    }
    return ReadNameAt(address, text);
}

bool ReadGameplayTagName(FProperty* structProperty, void* structValue, std::wstring_view memberName,
                         std::wstring& text)
{
    FProperty* member = nullptr;
    void* address = StructMemberAddress(structProperty, structValue, memberName, &member);
    if (address == nullptr)
    {
        return false;
    }
    FProperty* tagName = nullptr;
    void* tagAddress = StructMemberAddress(member, address, L"TagName", &tagName);
    if (tagAddress != nullptr && Is(tagName, PropertyClass::Name))
    {
        return ReadNameAt(tagAddress, text);
    }
    // Reading any other layout as a name would take foreign bytes for a name-table index.
    if (!Is(member, PropertyClass::Name))
    {
        return false;
    }
    return ReadNameAt(address, text);
}

bool ReadSmallUnsigned(FProperty* property, const void* valueAddress, std::uint8_t& value)
{
    if (property == nullptr || valueAddress == nullptr)
    {
        return false;
    }
    PropertyClass kind = PropertyClassOf(property);
    FProperty* numeric = property;
    if (kind == PropertyClass::Enum)
    {
        numeric = static_cast<FEnumProperty*>(property)->GetUnderlyingProperty();
        if (numeric == nullptr)
        {
            return false;
        }
    }
    else if (!IsNumericForSmallUnsigned(kind))
    {
        return false;
    }
    uint64 raw = static_cast<FNumericProperty*>(numeric)->GetUnsignedIntPropertyValue(valueAddress);
    value = static_cast<std::uint8_t>(raw & 0xFFu);
    return true;
}

bool WriteBoolProperty(Reflection& reflection, UObject* object, std::wstring_view propertyName, bool value)
{
    FProperty* property = reflection.LookupProperty(object, propertyName);
    if (!Is(property, PropertyClass::Bool))
    {
        return false;
    }
    WriteBoolBit(property, reinterpret_cast<uint8*>(object) + property->GetOffset_Internal(), value);
    return true;
}

bool WriteBoolMember(Reflection& reflection, UObject* object, std::wstring_view structPropertyName,
                     std::wstring_view memberName, bool value)
{
    FProperty* member = nullptr;
    void* address = ObjectStructMemberAddress(reflection, object, structPropertyName, memberName, &member);
    if (address == nullptr || !Is(member, PropertyClass::Bool))
    {
        return false;
    }
    WriteBoolBit(member, address, value);
    return true;
}

bool WriteRealMember(Reflection& reflection, UObject* object, std::wstring_view structPropertyName,
                     std::wstring_view memberName, float value)
{
    FProperty* member = nullptr;
    void* address = ObjectStructMemberAddress(reflection, object, structPropertyName, memberName, &member);
    if (address == nullptr)
    {
        return false;
    }
    switch (PropertyClassOf(member))
    {
    case PropertyClass::Float: std::memcpy(address, &value, sizeof(value)); return true;
    case PropertyClass::Double: {
        double widened = static_cast<double>(value);
        std::memcpy(address, &widened, sizeof(widened));
        return true;
    }
    default: return false;
    }
}
} // namespace Orv
