// FProperty and the property kinds: where a value lives in its container (offset, size,
// array dimension, alignment) and how the engine constructs, copies and destroys it. The
// string property has a header of its own.
#pragma once

#include <Unreal/FField.hpp>

namespace RC::Unreal
{
enum EPropertyFlags : uint64
{
    CPF_None = 0,
    CPF_Edit = 0x1,
    CPF_ConstParm = 0x2,
    CPF_BlueprintVisible = 0x4,
    CPF_Parm = 0x80,
    CPF_OutParm = 0x100,
    CPF_ReturnParm = 0x400,
    CPF_ZeroConstructor = 0x200,
    CPF_ReferenceParm = 0x8000000,
    CPF_IsPlainOldData = 0x40000000,
    CPF_NoDestructor = 0x1000000000000,
};

class UE4SS_API FProperty : public FField
{
  public:
    static FFieldClass* StaticClass();

    int32 GetArrayDim() const { return ArrayDim; }
    int32 GetElementSize() const { return ElementSize; }
    int32 GetSize() const { return ArrayDim * ElementSize; }
    int32 GetOffset_Internal() const { return Offset_Internal; }
    EPropertyFlags GetPropertyFlags() const { return PropertyFlags; }
    bool HasAnyPropertyFlags(EPropertyFlags flags) const { return (PropertyFlags & flags) != 0; }
    virtual int32 GetMinAlignment() const { return MinAlignment; }

    template <typename T = void> T* ContainerPtrToValuePtr(void* container, int32 arrayIndex = 0) const
    {
        return static_cast<T*>(static_cast<void*>(static_cast<uint8*>(container) + Offset_Internal + ElementSize * arrayIndex));
    }
    template <typename T = void> const T* ContainerPtrToValuePtr(const void* container, int32 arrayIndex = 0) const
    {
        return static_cast<const T*>(
            static_cast<const void*>(static_cast<const uint8*>(container) + Offset_Internal + ElementSize * arrayIndex));
    }

    // Construct, copy and destroy whole values (all ArrayDim elements). The stand-in counts
    // each call, so a leak or a double destroy shows up in tests.
    void InitializeValue(void* dest) const;
    // Not const, as the engine declares it.
    void CopySingleValue(void* dest, const void* src);
    void CopyCompleteValue(void* dest, const void* src) const;
    void DestroyValue(void* dest) const;

    // Uncounted forms, for the engine's own bookkeeping (object construction and death).
    virtual void InitializeValueInternal(void* dest) const;
    virtual void CopyValuesInternal(void* dest, const void* src, int32 count) const;
    virtual void DestroyValueInternal(void* dest) const;

  protected:
    int32 ArrayDim = 1;
    int32 ElementSize = 0;
    EPropertyFlags PropertyFlags = CPF_None;
    uint16 RepIndex = 0;
    int32 Offset_Internal = 0;
    int32 MinAlignment = 1;
    FProperty* PropertyLinkNext = nullptr;

    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API FNumericProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();
    virtual bool IsFloatingPoint() const { return false; }
    virtual bool IsInteger() const { return true; }
    virtual uint64 GetUnsignedIntPropertyValue(const void* data);
    virtual int64 GetSignedIntPropertyValue(const void* data) const;
    virtual double GetFloatingPointPropertyValue(const void* data) const;
};

// One numeric kind per engine type; the value is read with the engine type's width and
// signedness, then converted as the engine converts it.
template <typename T> class TNumericProperty : public FNumericProperty
{
  public:
    bool IsFloatingPoint() const override { return static_cast<T>(0.5) != static_cast<T>(0); }
    bool IsInteger() const override { return !IsFloatingPoint(); }
    uint64 GetUnsignedIntPropertyValue(const void* data) override
    {
        return static_cast<uint64>(*static_cast<const T*>(data));
    }
    int64 GetSignedIntPropertyValue(const void* data) const override { return static_cast<int64>(*static_cast<const T*>(data)); }
    double GetFloatingPointPropertyValue(const void* data) const override
    {
        return static_cast<double>(*static_cast<const T*>(data));
    }
};

class UE4SS_API FByteProperty : public TNumericProperty<uint8>
{
  public:
    static FFieldClass* StaticClass();
    UEnum* GetEnum() const { return Enum; }

  protected:
    UEnum* Enum = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};
class UE4SS_API FInt8Property : public TNumericProperty<int8> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FInt16Property : public TNumericProperty<int16> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FIntProperty : public TNumericProperty<int32> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FInt64Property : public TNumericProperty<int64> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FUInt16Property : public TNumericProperty<uint16> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FUInt32Property : public TNumericProperty<uint32> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FUInt64Property : public TNumericProperty<uint64> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FFloatProperty : public TNumericProperty<float> { public: static FFieldClass* StaticClass(); };
class UE4SS_API FDoubleProperty : public TNumericProperty<double> { public: static FFieldClass* StaticClass(); };

class UE4SS_API FBoolProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();

    uint8 GetFieldSize() const { return FieldSize; }
    uint8 GetByteOffset() const { return ByteOffset; }
    uint8 GetByteMask() const { return ByteMask; }
    uint8 GetFieldMask() const { return FieldMask; }
    bool IsNativeBool() const { return FieldMask == 0xFF; }

    bool GetPropertyValue(const void* valueAddress) const;
    void SetPropertyValue(void* valueAddress, bool value) const;

    void InitializeValueInternal(void* dest) const override;
    void CopyValuesInternal(void* dest, const void* src, int32 count) const override;

  protected:
    uint8 FieldSize = 1;
    uint8 ByteOffset = 0;
    // A native bool is the whole byte (field mask 0xFF) and true is stored as 1.
    uint8 ByteMask = 0x01;
    uint8 FieldMask = 0xFF;

    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API FNameProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();
};

class UE4SS_API FObjectPropertyBase : public FProperty
{
  public:
    static FFieldClass* StaticClass();

    UClass* GetPropertyClass() const { return PropertyClass; }
    // Each kind reads and writes its own form of reference: an address, or a weak pointer.
    virtual UObject* GetObjectPropertyValue(const void* valueAddress) const;
    virtual void SetObjectPropertyValue(void* valueAddress, UObject* value) const;

  protected:
    UClass* PropertyClass = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API FObjectProperty : public FObjectPropertyBase
{
  public:
    static FFieldClass* StaticClass();
};

class UE4SS_API FObjectPtrProperty : public FObjectProperty
{
  public:
    static FFieldClass* StaticClass();
};

// A TWeakObjectPtr: the object's slot index and the slot's serial number, not its address. It
// reads as null once the object is pending kill or gone, whatever its slot or memory holds
// since, and it keeps nothing alive.
class UE4SS_API FWeakObjectProperty : public FObjectPropertyBase
{
  public:
    static FFieldClass* StaticClass();
    UObject* GetObjectPropertyValue(const void* valueAddress) const override;
    void SetObjectPropertyValue(void* valueAddress, UObject* value) const override;
};

class UE4SS_API FClassProperty : public FObjectProperty
{
  public:
    static FFieldClass* StaticClass();
    UClass* GetMetaClass() const { return MetaClass; }

  protected:
    UClass* MetaClass = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};

class UE4SS_API FStructProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();
    UScriptStruct* GetStruct() const { return Struct; }

    void InitializeValueInternal(void* dest) const override;
    void CopyValuesInternal(void* dest, const void* src, int32 count) const override;
    void DestroyValueInternal(void* dest) const override;

  protected:
    UScriptStruct* Struct = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};

// Values that own heap memory: constructing, copying and destroying them allocates and frees.
class UE4SS_API FTextProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();

    void InitializeValueInternal(void* dest) const override;
    void CopyValuesInternal(void* dest, const void* src, int32 count) const override;
    void DestroyValueInternal(void* dest) const override;
};

// An engine array (FScriptArray) of the inner property's values.
class UE4SS_API FArrayProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();
    FProperty* GetInner() const { return Inner; }

    void InitializeValueInternal(void* dest) const override;
    void CopyValuesInternal(void* dest, const void* src, int32 count) const override;
    void DestroyValueInternal(void* dest) const override;

  protected:
    FProperty* Inner = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};

// An engine set: a sparse array of elements with an allocation bit array, then the hash.
class UE4SS_API FSetProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();
    FProperty* GetElementProp() const { return ElementProp; }

    void InitializeValueInternal(void* dest) const override;
    void CopyValuesInternal(void* dest, const void* src, int32 count) const override;
    void DestroyValueInternal(void* dest) const override;

  protected:
    FProperty* ElementProp = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};

// An engine map: a set of key/value pairs, the value at the key's size rounded up to the
// value's alignment.
class UE4SS_API FMapProperty : public FProperty
{
  public:
    static FFieldClass* StaticClass();
    FProperty* GetKeyProp() const { return KeyProp; }
    FProperty* GetValueProp() const { return ValueProp; }

    void InitializeValueInternal(void* dest) const override;
    void CopyValuesInternal(void* dest, const void* src, int32 count) const override;
    void DestroyValueInternal(void* dest) const override;

  protected:
    FProperty* KeyProp = nullptr;
    FProperty* ValueProp = nullptr;
    friend struct ::Sim::Detail::EngineAccess;
};
} // namespace RC::Unreal
