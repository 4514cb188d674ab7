// Property kinds: their field classes (the names code dispatches on) and how each kind
// constructs, copies and destroys its values. Counted entry points wrap the engine's own.
#include "Sim/EngineState.hpp"

#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/Property/FEnumProperty.hpp>

#include <cstring>

namespace RC::Unreal
{
using Sim::Detail::EngineAccess;
using Sim::Detail::State;

FFieldClass::FFieldClass(const CharType* name, uint64 castFlags, FFieldClass* superClass)
    : Name(name), CastFlags(castFlags), SuperClass(superClass)
{
}

bool FFieldClass::IsChildOf(const FFieldClass* other) const
{
    for (const FFieldClass* c = this; c != nullptr; c = c->SuperClass)
    {
        if (c == other)
        {
            return true;
        }
    }
    return false;
}

StringType FFieldClassVariant::GetName() const { return Field ? Field->GetName() : StringType(L"None"); }
FName FFieldClassVariant::GetFName() const { return Field ? Field->GetFName() : NAME_None; }
EClassCastFlags FFieldClassVariant::GetClassCastFlags() const
{
    return static_cast<EClassCastFlags>(Field != nullptr ? Field->GetCastFlags() : 0);
}

FField::~FField() = default;

FProperty* FField::GetNextFieldAsProperty() const { return static_cast<FProperty*>(Next); }

bool FField::IsA(const FFieldClass* fieldClass) const { return ClassPrivate != nullptr && ClassPrivate->IsChildOf(fieldClass); }

// Each field class carries the engine's cast flag of its kind and those of its supers.
#define ORV_FIELD_CLASS(Type, Name, Flag, Super)                                                                       \
    FFieldClass* Type::StaticClass()                                                                                   \
    {                                                                                                                  \
        FFieldClass* super = Super;                                                                                    \
        static FFieldClass fieldClass(L##Name, Flag | (super != nullptr ? super->GetCastFlags() : 0), super);          \
        return &fieldClass;                                                                                            \
    }

ORV_FIELD_CLASS(FProperty, "Property", CASTCLASS_FProperty, nullptr)
ORV_FIELD_CLASS(FNumericProperty, "NumericProperty", CASTCLASS_FNumericProperty, FProperty::StaticClass())
ORV_FIELD_CLASS(FByteProperty, "ByteProperty", CASTCLASS_FByteProperty, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FInt8Property, "Int8Property", CASTCLASS_FInt8Property, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FInt16Property, "Int16Property", CASTCLASS_FInt16Property, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FIntProperty, "IntProperty", CASTCLASS_FIntProperty, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FInt64Property, "Int64Property", CASTCLASS_FInt64Property, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FUInt16Property, "UInt16Property", CASTCLASS_FUInt16Property, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FUInt32Property, "UInt32Property", CASTCLASS_FUInt32Property, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FUInt64Property, "UInt64Property", CASTCLASS_FUInt64Property, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FFloatProperty, "FloatProperty", CASTCLASS_FFloatProperty, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FDoubleProperty, "DoubleProperty", CASTCLASS_FDoubleProperty, FNumericProperty::StaticClass())
ORV_FIELD_CLASS(FBoolProperty, "BoolProperty", CASTCLASS_FBoolProperty, FProperty::StaticClass())
ORV_FIELD_CLASS(FNameProperty, "NameProperty", CASTCLASS_FNameProperty, FProperty::StaticClass())
ORV_FIELD_CLASS(FObjectPropertyBase, "ObjectPropertyBase", CASTCLASS_FObjectPropertyBase, FProperty::StaticClass())
ORV_FIELD_CLASS(FObjectProperty, "ObjectProperty", CASTCLASS_FObjectProperty, FObjectPropertyBase::StaticClass())
ORV_FIELD_CLASS(FObjectPtrProperty, "ObjectPtrProperty", CASTCLASS_FObjectPtrProperty, FObjectProperty::StaticClass())
ORV_FIELD_CLASS(FWeakObjectProperty, "WeakObjectProperty", CASTCLASS_FWeakObjectProperty, FObjectPropertyBase::StaticClass())
ORV_FIELD_CLASS(FClassProperty, "ClassProperty", CASTCLASS_FClassProperty, FObjectProperty::StaticClass())
ORV_FIELD_CLASS(FStructProperty, "StructProperty", CASTCLASS_FStructProperty, FProperty::StaticClass())
ORV_FIELD_CLASS(FEnumProperty, "EnumProperty", CASTCLASS_FEnumProperty, FProperty::StaticClass())

#undef ORV_FIELD_CLASS

void FProperty::InitializeValue(void* dest) const
{
    ++State().counters.InitializeValue;
    InitializeValueInternal(dest);
}

void FProperty::CopySingleValue(void* dest, const void* src)
{
    ++State().counters.CopyValue;
    CopyValuesInternal(dest, src, 1);
}

void FProperty::CopyCompleteValue(void* dest, const void* src) const
{
    ++State().counters.CopyValue;
    CopyValuesInternal(dest, src, ArrayDim);
}

void FProperty::DestroyValue(void* dest) const
{
    auto& s = State();
    ++s.counters.DestroyValue;
    s.destroyedValues[s.destroyedTotal++ % s.kDestroyedKept] = dest;
    DestroyValueInternal(dest);
}

void FProperty::InitializeValueInternal(void* dest) const
{
    std::memset(dest, 0, static_cast<std::size_t>(ElementSize) * static_cast<std::size_t>(ArrayDim));
}

void FProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const
{
    if (dest != src)
    {
        std::memmove(dest, src, static_cast<std::size_t>(ElementSize) * static_cast<std::size_t>(count));
    }
}

void FProperty::DestroyValueInternal(void*) const {}

uint64 FNumericProperty::GetUnsignedIntPropertyValue(const void*) { return 0; }
int64 FNumericProperty::GetSignedIntPropertyValue(const void*) const { return 0; }
double FNumericProperty::GetFloatingPointPropertyValue(const void*) const { return 0.0; }

bool FBoolProperty::GetPropertyValue(const void* valueAddress) const
{
    return (static_cast<const uint8*>(valueAddress)[ByteOffset] & FieldMask) != 0;
}

void FBoolProperty::SetPropertyValue(void* valueAddress, bool value) const
{
    uint8& byte = static_cast<uint8*>(valueAddress)[ByteOffset];
    byte = static_cast<uint8>((byte & ~FieldMask) | (value ? ByteMask : 0));
}

// A bitfield bool shares its byte: only its own bit is the value.
void FBoolProperty::InitializeValueInternal(void* dest) const { SetPropertyValue(dest, false); }

void FBoolProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const
{
    for (int32 i = 0; i < count; ++i)
    {
        SetPropertyValue(static_cast<uint8*>(dest) + i * ElementSize,
                         GetPropertyValue(static_cast<const uint8*>(src) + i * ElementSize));
    }
}

UObject* FObjectPropertyBase::GetObjectPropertyValue(const void* valueAddress) const
{
    UObject* value = nullptr;
    std::memcpy(&value, valueAddress, sizeof(value));
    return value;
}

void FObjectPropertyBase::SetObjectPropertyValue(void* valueAddress, UObject* value) const
{
    std::memcpy(valueAddress, &value, sizeof(value));
}

namespace
{
// FWeakObjectPtr as the engine lays it out.
struct WeakObjectPtr
{
    int32 ObjectIndex = 0;
    int32 ObjectSerialNumber = 0;
};
static_assert(sizeof(WeakObjectPtr) == 8);
} // namespace

// FWeakObjectPtr::Get: a serial number of 0 is no object; otherwise the slot must still carry
// that serial number and hold an object neither unreachable nor pending kill.
UObject* FWeakObjectProperty::GetObjectPropertyValue(const void* valueAddress) const
{
    WeakObjectPtr weak;
    std::memcpy(&weak, valueAddress, sizeof(weak));
    if (weak.ObjectSerialNumber == 0)
    {
        return nullptr;
    }
    FUObjectItem* item = FUObjectArray::IndexToObject(weak.ObjectIndex);
    if (item == nullptr || item->GetSerialNumber() != weak.ObjectSerialNumber || !item->IsValid(false))
    {
        return nullptr;
    }
    return item->GetUObject();
}

// FWeakObjectPtr::operator=: the object's slot is given a serial number if it has none yet.
void FWeakObjectProperty::SetObjectPropertyValue(void* valueAddress, UObject* value) const
{
    WeakObjectPtr weak;
    if (value != nullptr)
    {
        weak.ObjectIndex = value->GetInternalIndex();
        weak.ObjectSerialNumber = FUObjectArray::AllocateSerialNumber(weak.ObjectIndex);
    }
    std::memcpy(valueAddress, &weak, sizeof(weak));
}

void FStructProperty::InitializeValueInternal(void* dest) const
{
    for (int32 i = 0; i < ArrayDim; ++i)
    {
        void* element = static_cast<uint8*>(dest) + i * ElementSize;
        std::memset(element, 0, static_cast<std::size_t>(ElementSize));
        EngineAccess::InitializeStruct(Struct, element);
    }
}

void FStructProperty::CopyValuesInternal(void* dest, const void* src, int32 count) const
{
    for (int32 i = 0; i < count; ++i)
    {
        EngineAccess::CopyStruct(Struct, static_cast<uint8*>(dest) + i * ElementSize,
                                 static_cast<const uint8*>(src) + i * ElementSize);
    }
}

void FStructProperty::DestroyValueInternal(void* dest) const
{
    for (int32 i = 0; i < ArrayDim; ++i)
    {
        EngineAccess::DestroyStruct(Struct, static_cast<uint8*>(dest) + i * ElementSize);
    }
}
} // namespace RC::Unreal
