// Declaring the game's and the engine's classes, structs and enums as data: a property is a
// name and a type, a function is a name, its parameters and a small native body. The engine
// lays the members out as the real one does (alignment, shared bool bytes, version-sized
// vectors) and builds the reflection objects a mod walks.
#pragma once

#include <Sim/Engine.hpp>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace Sim
{
enum class Kind
{
    Bool,     // a whole byte
    Bitfield, // one bit of a uint8 field; consecutive bitfields share a byte
    Bitfield32, // one bit of a uint32 field (element size 4); consecutive ones share the field
    Byte,
    Int8,
    Int16,
    Int,
    Int64,
    UInt16,
    UInt32,
    UInt64,
    Float,
    Double,
    Name,
    Object,    // a raw object pointer member; from engine 5.0 a class or struct member is a TObjectPtr
    ObjectPtr, // a TObjectPtr member on any engine
    WeakObject, // a TWeakObjectPtr: slot index and serial number
    Class,
    Struct,
    Enum, // an enum with an underlying byte
    Str,   // FString
    Text,  // FText
    Array, // engine array of inner[0]
    Set,   // engine set of inner[0]
    Map,   // engine map from inner[0] to inner[1]
};

struct Type
{
    Kind kind = Kind::Int;
    std::wstring path; // struct, class or enum path where the kind needs one
    int32 arrayDim = 1;
    std::vector<Type> inner; // element types of the container kinds
};

inline Type Bool() { return {Kind::Bool, {}}; }
inline Type Bitfield() { return {Kind::Bitfield, {}}; }
inline Type Bitfield32() { return {Kind::Bitfield32, {}}; }
inline Type Byte() { return {Kind::Byte, {}}; }
inline Type Int() { return {Kind::Int, {}}; }
inline Type Int64() { return {Kind::Int64, {}}; }
inline Type UInt16() { return {Kind::UInt16, {}}; }
inline Type UInt32() { return {Kind::UInt32, {}}; }
inline Type UInt64() { return {Kind::UInt64, {}}; }
inline Type Float() { return {Kind::Float, {}}; }
inline Type Double() { return {Kind::Double, {}}; }
inline Type Name() { return {Kind::Name, {}}; }
inline Type Object(std::wstring classPath = L"/Script/CoreUObject.Object") { return {Kind::Object, std::move(classPath)}; }
inline Type ObjectPtr(std::wstring classPath = L"/Script/CoreUObject.Object") { return {Kind::ObjectPtr, std::move(classPath)}; }
inline Type WeakObject(std::wstring classPath = L"/Script/CoreUObject.Object") { return {Kind::WeakObject, std::move(classPath)}; }
inline Type ClassRef(std::wstring metaClassPath = L"/Script/CoreUObject.Object") { return {Kind::Class, std::move(metaClassPath)}; }
inline Type Struct(std::wstring structPath) { return {Kind::Struct, std::move(structPath)}; }
inline Type Enum(std::wstring enumPath) { return {Kind::Enum, std::move(enumPath)}; }
inline Type Str() { return {Kind::Str, {}}; }
inline Type Text() { return {Kind::Text, {}}; }
inline Type Array(Type element) { return {Kind::Array, {}, 1, {std::move(element)}}; }
inline Type Set(Type element) { return {Kind::Set, {}, 1, {std::move(element)}}; }
inline Type Map(Type key, Type value) { return {Kind::Map, {}, 1, {std::move(key), std::move(value)}}; }
// The same type as a fixed-size C array of dim elements.
inline Type Fixed(Type element, int32 dim)
{
    element.arrayDim = dim;
    return element;
}

struct PropertyDef
{
    std::wstring name;
    Type type;
    uint64 flags = 0;
};

// A body reads its arguments from the engine's copy of the parameters (the frame's locals)
// and writes results and out parameters straight into the caller's buffer, as the engine's
// out parameters refer to the caller's memory.
class UE4SS_API Call
{
  public:
    Call(UObject* self, FFrame& frame, void* callerParms = nullptr) : self_(self), frame_(frame), callerParms_(callerParms)
    {
    }

    UObject* Self() const { return self_; }
    UFunction* Function() const { return frame_.Node; }
    uint8* Locals() const { return frame_.Locals(); }
    // The parameter's property; null if the function has no parameter of that name.
    FProperty* Param(StringViewType name) const;
    template <typename T> T& Get(StringViewType name) const { return *static_cast<T*>(ParamAddress(name)); }
    bool GetBool(StringViewType name) const;
    void SetBool(StringViewType name, bool value) const;
    void* ParamAddress(StringViewType name) const;

  private:
    uint8* AddressOf(FProperty* property) const;

    UObject* self_;
    FFrame& frame_;
    void* callerParms_;
};

using NativeFunction = std::function<void(Call&)>;

struct ParamDef
{
    std::wstring name;
    Type type;
    uint64 flags = CPF_Parm;
};

inline ParamDef In(std::wstring name, Type type) { return {std::move(name), std::move(type), CPF_Parm}; }
inline ParamDef Out(std::wstring name, Type type) { return {std::move(name), std::move(type), CPF_Parm | CPF_OutParm}; }
inline ParamDef Return(Type type) { return {L"ReturnValue", std::move(type), CPF_Parm | CPF_OutParm | CPF_ReturnParm}; }

// A function runs when it is native (FUNC_Native) or has a blueprint script; the engine calls
// neither body nor hooks of one that has neither, such as an event no blueprint implements.
struct FunctionDef
{
    std::wstring name;
    std::vector<ParamDef> params;
    NativeFunction native;
    uint32 flags = FUNC_Native | FUNC_Public | FUNC_BlueprintCallable;
    NativeFunction script; // what a blueprint's graph for the function does
};

// An event a blueprint class implements itself: the blueprint compiler gives the class a
// function of its own under the inherited event's name and parameters, run as script. The
// engine runs that function for the class's objects, never the declaration the class inherits.
struct EventOverride
{
    std::wstring name;
    NativeFunction script;
};

struct ClassDef
{
    std::wstring path;                      // "/Script/Module.Name"
    std::wstring super = L"/Script/CoreUObject.Object";
    std::vector<PropertyDef> properties;
    std::vector<FunctionDef> functions;
    std::vector<std::wstring> interfaces;   // interface class paths
    EClassCastFlags castFlags = CASTCLASS_None;
    bool isInterface = false;
    // Generated from a blueprint: neither the class, its default object nor its functions are
    // rooted, so the class lives only while something references it (its level, its objects).
    bool blueprint = false;
    // What the class's constructor sets beyond zeroes, run on every new object of it or of a
    // subclass (supers first), its default object included.
    std::function<void(UObject*)> defaults;
    // Inherited events a blueprint class implements (see OverrideEvent).
    std::vector<EventOverride> overrides;
};

struct StructDef
{
    std::wstring path;
    std::wstring super;
    std::vector<PropertyDef> properties;
};

struct EnumDef
{
    std::wstring path;
    std::vector<std::pair<std::wstring, int64>> names;
};

// Each returns the existing type when the path is already defined with the same kind.
UE4SS_API UClass* DefineClass(const ClassDef& def);
UE4SS_API UScriptStruct* DefineStruct(const StructDef& def);
UE4SS_API UEnum* DefineEnum(const EnumDef& def);

// Adds a function to a class that is already defined (a later game build, or a test's
// fixture); null when the running engine version does not declare it.
UE4SS_API UFunction* AddFunction(UClass* cls, const FunctionDef& def);
// Gives a blueprint class's own function its script; an empty script takes it away again. A
// native class's function has no script to give: a blueprint implements an event it inherits
// with a function of its own (OverrideEvent). False for a function that is not a blueprint's.
UE4SS_API bool SetFunctionScript(UFunction* function, NativeFunction script);
// The blueprint class's own function for an event it inherits, with the declaration's name,
// parameters and flags but no native body, running the script. A hook on the declaration never
// sees the class's objects from then on, nor does the declaration's native body run for them.
// Throws for a class that is not a blueprint's or an event it does not inherit.
UE4SS_API UFunction* OverrideEvent(UClass* blueprintClass, StringViewType name, NativeFunction script);
// Inserts a non-function field into a class's function chain, as the engine's chains may hold.
UE4SS_API void AddNonFunctionChild(UClass* cls, StringViewType name);

UE4SS_API UFunction* FindFunctionByPath(StringViewType path);
UE4SS_API FProperty* FindPropertyUncounted(const UStruct* owner, StringViewType name);

// A member of an object reached through its struct members by a dotted path
// ("Brush.OutlineSettings.Width"), found without counting as a mod's lookups; both null when a
// step of the path is missing.
struct MemberRef
{
    FProperty* property = nullptr;
    void* address = nullptr;
};
UE4SS_API MemberRef FindMemberByPath(UObject* object, StringViewType path);

// Calls a script function the way the engine's script VM would, so its hooks fire. The
// parameter block is built from the function's parameters; fill lets the caller write
// arguments into it before the call.
UE4SS_API void CallScriptFunction(UObject* target, UFunction* function,
                                  const std::function<void(uint8* parms)>& fill = {});
UE4SS_API void CallScriptFunction(UObject* target, StringViewType functionName,
                                  const std::function<void(uint8* parms)>& fill = {});
} // namespace Sim
