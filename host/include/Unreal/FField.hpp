// FField: the base of properties (not objects). Each field's class is an FFieldClass whose
// name ("BoolProperty", "StructProperty", ...) is how code tells property layouts apart.
#pragma once

#include <Unreal/NameTypes.hpp>
#include <Unreal/UObject.hpp>

namespace RC::Unreal
{
class UE4SS_API FFieldClass
{
  public:
    FFieldClass(const CharType* name, uint64 castFlags, FFieldClass* superClass);
    FFieldClass(const FFieldClass&) = delete;
    FFieldClass& operator=(const FFieldClass&) = delete;

    FName GetFName() const { return Name; }
    StringType GetName() const { return Name.ToString(); }
    uint64 GetCastFlags() const { return CastFlags; }
    FFieldClass* GetSuperClass() const { return SuperClass; }
    bool IsChildOf(const FFieldClass* other) const;

  private:
    FName Name;
    uint64 CastFlags;
    FFieldClass* SuperClass;
};

enum EClassCastFlags : uint64;

// The loader keeps the field class itself to its own types: code outside them compares
// variants and asks them for names and cast flags.
class UE4SS_API FFieldClassVariant
{
  public:
    FFieldClassVariant() = default;
    FFieldClassVariant(FFieldClass* fieldClass) : Field(fieldClass) {}

    bool IsValid() const { return Field != nullptr; }
    StringType GetName() const;
    FName GetFName() const;
    EClassCastFlags GetClassCastFlags() const;
    bool HasAnyCastFlags(uint64 flags) const { return (static_cast<uint64>(GetClassCastFlags()) & flags) != 0; }
    bool operator==(const FFieldClassVariant& other) const { return Field == other.Field; }

  private:
    friend class UStruct;
    friend class FField;
    FFieldClass* ToFieldClass() const { return Field; }

    FFieldClass* Field = nullptr;
};

class UE4SS_API FFieldVariant
{
  public:
    FFieldVariant() = default;
    explicit FFieldVariant(FField* field) : Field(field) {}
    explicit FFieldVariant(UObject* object) : Object(object), bIsUObject(true) {}

    bool IsUObject() const { return bIsUObject; }
    FField* ToField() const { return bIsUObject ? nullptr : Field; }
    UObject* ToUObject() const { return bIsUObject ? Object : nullptr; }

  private:
    FField* Field = nullptr;
    UObject* Object = nullptr;
    bool bIsUObject = false;
};

class UE4SS_API FField
{
  public:
    FField() = default;
    FField(const FField&) = delete;
    FField& operator=(const FField&) = delete;
    virtual ~FField();

    // Not const, as the engine declares it.
    FFieldClassVariant GetClass() { return FFieldClassVariant(ClassPrivate); }
    bool HasNext() const { return Next != nullptr; }
    // The next field of the chain as a property; the chain of a struct holds properties only.
    FProperty* GetNextFieldAsProperty() const;
    FName GetFName() const { return NamePrivate; }
    StringType GetName() const { return NamePrivate.ToString(); }
    FFieldVariant GetOwnerVariant() const { return Owner; }
    bool IsA(const FFieldClass* fieldClass) const;

  protected:
    // The chain is walked with HasNext and GetNextFieldAsProperty, as the loader's headers
    // keep the raw link to themselves.
    FField* GetNext() const { return Next; }

    FFieldClass* ClassPrivate = nullptr;
    FFieldVariant Owner;
    FField* Next = nullptr;
    FName NamePrivate;
    EObjectFlags FlagsPrivate = RF_NoFlags;

    friend struct ::Sim::Detail::EngineAccess;
};
} // namespace RC::Unreal
