// The engine's own quick reads of objects it holds: whether an address still holds an object,
// and properties and bool flags found by name without counting as a mod's lookups.
#pragma once

#include "Sim/EngineState.hpp"

#include <Sim/Types.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

namespace Sim::Detail
{
// Still in its slot: not freed, though perhaps pending kill. Asked of the engine's records, so
// a pointer to freed memory is never read.
inline bool Holds(const void* object) { return EngineAccess::SlotOf(object) != nullptr; }

inline bool IsLiveObject(const UObject* object) { return Holds(object) && object->GetObjectItem()->IsValid(false); }

// CastField: a property's kind told by its field class, as the engine tells it, not by RTTI.
template <typename P> P* CastField(FField* field)
{
    return field != nullptr && field->IsA(P::StaticClass()) ? static_cast<P*>(field) : nullptr;
}
template <typename P> const P* CastField(const FField* field)
{
    return field != nullptr && field->IsA(P::StaticClass()) ? static_cast<const P*>(field) : nullptr;
}

template <typename P> P* PropertyOf(const UStruct* owner, StringViewType name)
{
    return owner != nullptr ? CastField<P>(FindPropertyUncounted(owner, name)) : nullptr;
}

template <typename T> T* FieldOf(UObject* object, StringViewType name)
{
    FProperty* property = object != nullptr ? FindPropertyUncounted(object->GetClassPrivate(), name) : nullptr;
    return property != nullptr ? property->ContainerPtrToValuePtr<T>(object) : nullptr;
}

// A member where its declaring class puts it, as the engine's compiled code reaches it: at that
// class's fixed offset on whatever object it is handed, never looked up on the object's own
// class. Null only when the build does not declare the member.
template <typename P = FProperty> P* DeclaredMember(StringViewType classPath, StringViewType name)
{
    return PropertyOf<P>(FindClass(classPath), name);
}

// A DeclaredMember as compiled engine code holds it: resolved once per generation of the
// engine's types, so a native body that runs every frame makes no lookup.
template <typename P = FProperty> class NativeMember
{
  public:
    constexpr NativeMember(const wchar_t* classPath, const wchar_t* name) : classPath_(classPath), name_(name) {}

    P* Get()
    {
        if (generation_ != State().typeGeneration)
        {
            property_ = DeclaredMember<P>(classPath_, name_);
            generation_ = State().typeGeneration;
        }
        return property_;
    }

  private:
    const wchar_t* classPath_;
    const wchar_t* name_;
    P* property_ = nullptr;
    // No generation the engine counts: the first Get always resolves.
    uint64 generation_ = ~uint64{0};
};

inline bool Flag(const UObject* object, StringViewType name)
{
    auto* property = object != nullptr ? PropertyOf<FBoolProperty>(object->GetClassPrivate(), name) : nullptr;
    return property != nullptr && property->GetPropertyValue(property->ContainerPtrToValuePtr(object));
}

inline void SetFlag(UObject* object, StringViewType name, bool value)
{
    if (auto* property = object != nullptr ? PropertyOf<FBoolProperty>(object->GetClassPrivate(), name) : nullptr)
    {
        property->SetPropertyValue(property->ContainerPtrToValuePtr(object), value);
    }
}
} // namespace Sim::Detail
