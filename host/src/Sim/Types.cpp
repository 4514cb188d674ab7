// Declared types become reflection objects: properties laid out as the engine lays them out,
// functions with parameter blocks and native bodies, class default objects, interfaces.
#include "Sim/EngineState.hpp"
#include "Sim/EngineVersions.hpp"
#include "Sim/ObjectFields.hpp"

#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/Property/FEnumProperty.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace Sim::Detail
{
namespace
{
int32 AlignUp(int32 value, int32 alignment) { return (value + alignment - 1) / alignment * alignment; }

std::runtime_error DefinitionError(const std::wstring& what, const std::wstring& path)
{
    std::string text = "stand-in engine: ";
    for (wchar_t c : what + L" " + path)
    {
        text.push_back(c < 128 ? static_cast<char>(c) : '?');
    }
    return std::runtime_error(text);
}

template <typename T> T* Own(std::unique_ptr<T> field)
{
    T* raw = field.get();
    State().ownedFields.push_back(std::move(field));
    return raw;
}
} // namespace

FProperty* EngineAccess::MakeProperty(UStruct* owner, const std::wstring& name, const Type& type, uint64 flags)
{
    std::unique_ptr<FProperty> made;
    FFieldClass* fieldClass = nullptr;
    int32 size = 0;
    int32 alignment = 1;
    auto numeric = [&](auto property, FFieldClass* cls, int32 bytes) {
        made = std::move(property);
        fieldClass = cls;
        size = bytes;
        alignment = bytes;
    };
    switch (type.kind)
    {
    case Kind::Bool:
    case Kind::Bitfield:
        numeric(std::make_unique<FBoolProperty>(), FBoolProperty::StaticClass(), 1);
        break;
    case Kind::Bitfield32:
        numeric(std::make_unique<FBoolProperty>(), FBoolProperty::StaticClass(), 4);
        static_cast<FBoolProperty*>(made.get())->FieldSize = 4;
        break;
    case Kind::Byte: numeric(std::make_unique<FByteProperty>(), FByteProperty::StaticClass(), 1); break;
    case Kind::Int8: numeric(std::make_unique<FInt8Property>(), FInt8Property::StaticClass(), 1); break;
    case Kind::Int16: numeric(std::make_unique<FInt16Property>(), FInt16Property::StaticClass(), 2); break;
    case Kind::Int: numeric(std::make_unique<FIntProperty>(), FIntProperty::StaticClass(), 4); break;
    case Kind::Int64: numeric(std::make_unique<FInt64Property>(), FInt64Property::StaticClass(), 8); break;
    case Kind::UInt16: numeric(std::make_unique<FUInt16Property>(), FUInt16Property::StaticClass(), 2); break;
    case Kind::UInt32: numeric(std::make_unique<FUInt32Property>(), FUInt32Property::StaticClass(), 4); break;
    case Kind::UInt64: numeric(std::make_unique<FUInt64Property>(), FUInt64Property::StaticClass(), 8); break;
    case Kind::Float: numeric(std::make_unique<FFloatProperty>(), FFloatProperty::StaticClass(), 4); break;
    case Kind::Double: numeric(std::make_unique<FDoubleProperty>(), FDoubleProperty::StaticClass(), 8); break;
    case Kind::Name:
        made = std::make_unique<FNameProperty>();
        fieldClass = FNameProperty::StaticClass();
        size = sizeof(FName);
        alignment = 4;
        break;
    case Kind::Object:
    case Kind::ObjectPtr:
    case Kind::Class: {
        // Engine 5 declares object members of classes and structs as TObjectPtr; parameters
        // stay raw pointers.
        const bool objectPtr = type.kind == Kind::ObjectPtr ||
                               (type.kind == Kind::Object && (flags & CPF_Parm) == 0 && Layout().objectPtrMembers);
        std::unique_ptr<FObjectPropertyBase> object;
        if (type.kind == Kind::Class)
        {
            auto cls = std::make_unique<FClassProperty>();
            cls->MetaClass = FindClass(type.path);
            fieldClass = FClassProperty::StaticClass();
            object = std::move(cls);
        }
        else if (objectPtr)
        {
            object = std::make_unique<FObjectPtrProperty>();
            fieldClass = FObjectPtrProperty::StaticClass();
        }
        else
        {
            object = std::make_unique<FObjectProperty>();
            fieldClass = FObjectProperty::StaticClass();
        }
        object->PropertyClass = type.kind == Kind::Class ? State().classClass : FindClass(type.path);
        // A parameter's class is what ProcessEvent checks its arguments against: it must exist.
        if (object->PropertyClass == nullptr && (flags & CPF_Parm) != 0)
        {
            throw DefinitionError(L"parameter of an unknown class", type.path);
        }
        made = std::move(object);
        size = 8;
        alignment = 8;
        break;
    }
    case Kind::WeakObject: {
        auto weak = std::make_unique<FWeakObjectProperty>();
        weak->PropertyClass = FindClass(type.path);
        fieldClass = FWeakObjectProperty::StaticClass();
        made = std::move(weak);
        size = 8;
        alignment = 4;
        break;
    }
    case Kind::Struct: {
        auto* found = FindObjectByPath(type.path);
        if (found == nullptr || !found->IsA(State().scriptStructClass))
        {
            throw DefinitionError(L"unknown struct", type.path);
        }
        auto property = std::make_unique<FStructProperty>();
        property->Struct = static_cast<UScriptStruct*>(found);
        size = property->Struct->GetPropertiesSize();
        alignment = property->Struct->GetMinAlignment();
        fieldClass = FStructProperty::StaticClass();
        made = std::move(property);
        break;
    }
    case Kind::Enum: {
        auto* found = FindObjectByPath(type.path);
        auto property = std::make_unique<FEnumProperty>();
        property->Enum = found != nullptr && found->IsA(State().enumClass) ? static_cast<UEnum*>(found) : nullptr;
        auto underlying = std::make_unique<FByteProperty>();
        underlying->ClassPrivate = FByteProperty::StaticClass();
        underlying->NamePrivate = FName(L"UnderlyingType");
        underlying->ElementSize = 1;
        underlying->MinAlignment = 1;
        underlying->Owner = FFieldVariant(static_cast<FField*>(property.get()));
        property->UnderlyingProp = Own(std::move(underlying));
        fieldClass = FEnumProperty::StaticClass();
        size = 1;
        alignment = 1;
        made = std::move(property);
        break;
    }
    case Kind::Str:
    case Kind::Text:
    case Kind::Array:
    case Kind::Set:
    case Kind::Map:
        made = MakeOwningProperty(owner, name, type, fieldClass, size, alignment);
        break;
    }
    made->ClassPrivate = fieldClass;
    made->NamePrivate = FName(name);
    made->Owner = FFieldVariant(static_cast<UObject*>(owner));
    made->ElementSize = size;
    made->ArrayDim = type.arrayDim;
    made->MinAlignment = alignment;
    made->PropertyFlags = static_cast<EPropertyFlags>(flags);
    return Own(std::move(made));
}

void EngineAccess::LayOut(UStruct* owner, const std::vector<PropertyDef>& props, bool padToAlignment, uint64 extraFlags)
{
    int32 offset = owner->PropertiesSize;
    int32 minAlignment = owner->MinAlignment;
    // Names found before may now resolve to the new members, in this struct or below it.
    TypesChanged();
    FField** link = &owner->ChildProperties;
    while (*link != nullptr)
    {
        link = &(*link)->Next;
    }
    FBoolProperty* lastBitfield = nullptr;
    int32 bitInField = 0;
    for (const auto& def : props)
    {
        FProperty* property = MakeProperty(owner, def.name, def.type, def.flags | extraFlags);
        const bool bitfield = def.type.kind == Kind::Bitfield || def.type.kind == Kind::Bitfield32;
        if (bitfield)
        {
            // A bit shares the field of the bitfield before it while the field has bits left;
            // the byte offset and mask pick the bit inside the field.
            auto* bit = static_cast<FBoolProperty*>(property);
            const int32 fieldBits = bit->FieldSize * 8;
            if (lastBitfield != nullptr && lastBitfield->FieldSize == bit->FieldSize && bitInField + 1 < fieldBits)
            {
                ++bitInField;
                bit->Offset_Internal = lastBitfield->Offset_Internal;
            }
            else
            {
                bitInField = 0;
                offset = AlignUp(offset, bit->FieldSize);
                bit->Offset_Internal = offset;
                offset += bit->FieldSize;
            }
            bit->ByteOffset = static_cast<uint8>(bitInField / 8);
            bit->ByteMask = bit->FieldMask = static_cast<uint8>(1u << (bitInField % 8));
            lastBitfield = bit;
        }
        else
        {
            lastBitfield = nullptr;
            offset = AlignUp(offset, property->MinAlignment);
            property->Offset_Internal = offset;
            offset += property->ElementSize * property->ArrayDim;
        }
        minAlignment = std::max(minAlignment, property->MinAlignment);
        *link = property;
        link = &property->Next;
    }
    owner->MinAlignment = minAlignment;
    owner->PropertiesSize = padToAlignment ? AlignUp(offset, minAlignment) : offset;
}

void EngineAccess::AppendChild(UClass* cls, UField* field)
{
    UField** link = &cls->Children;
    while (*link != nullptr)
    {
        link = &(*link)->Next;
    }
    *link = field;
}

void EngineAccess::UnlinkChild(UClass* cls, UField* field)
{
    for (UField** link = &cls->Children; *link != nullptr; link = &(*link)->Next)
    {
        if (*link == field)
        {
            *link = field->Next;
            field->Next = nullptr;
            return;
        }
    }
}

UFunction* EngineAccess::MakeFunction(UClass* cls, const FunctionDef& def)
{
    auto& s = State();
    auto* function = static_cast<UFunction*>(Construct(s.functionClass, cls, FName(def.name), RF_Public | RF_MarkAsNative));
    if (!IsBlueprintClass(cls))
    {
        function->GetObjectItem()->SetRootSet();
    }
    function->FunctionFlags = def.flags;
    function->PropertiesSize = 0;
    function->MinAlignment = 1;
    std::vector<PropertyDef> params;
    std::vector<ParamDef> declared;
    const std::wstring functionPath = cls->GetPathName() + L":" + def.name;
    for (const auto& param : def.params)
    {
        if (Declared(functionPath + L":" + param.name))
        {
            params.push_back({param.name, param.type, param.flags});
            declared.push_back(param);
        }
    }
    LayOut(function, params, true, 0);
    function->ParmsSize = static_cast<uint16>(function->PropertiesSize);
    function->NumParms = static_cast<uint8>(params.size());
    for (FField* f = function->ChildProperties; f != nullptr; f = f->Next)
    {
        auto* p = static_cast<FProperty*>(f);
        if (p->HasAnyPropertyFlags(CPF_ReturnParm))
        {
            function->ReturnValueOffset = static_cast<uint16>(p->Offset_Internal);
        }
    }
    s.functionStates.push_back(std::make_unique<FunctionState>());
    function->State = s.functionStates.back().get();
    function->State->native = def.native;
    function->State->script = def.script;
    function->State->declaredParams = std::move(declared);
    AppendChild(cls, function);
    return function;
}

namespace
{
// The engine's copy of the parameters a call runs on. Up to 512 bytes it lives on the stack,
// so a call allocates nothing.
class CallLocals
{
  public:
    CallLocals(const void* parms, std::size_t size) : size_(size)
    {
        if (size_ > inline_.size())
        {
            heap_.assign(size_, 0);
        }
        if (parms != nullptr && size_ > 0)
        {
            std::memcpy(Data(), parms, size_);
        }
    }
    uint8* Data() { return heap_.empty() ? inline_.data() : heap_.data(); }

  private:
    std::size_t size_;
    alignas(16) std::array<uint8, 512> inline_{};
    std::vector<uint8> heap_;
};

// An actor runs script only while its world plays: not before the world is initialised, not
// while it is torn down, and not while the collector runs.
bool ActorMayRun(UObject* target)
{
    auto& s = State();
    if (s.actorClass == nullptr || !target->IsA(s.actorClass) || target->HasAnyFlags(RF_ClassDefaultObject))
    {
        return true;
    }
    return !s.collecting && WorldRunsScript(target->GetWorld());
}
} // namespace

namespace
{
bool ImplementsInterface(const UClass* cls, const UClass* interfaceClass)
{
    for (const UStruct* s = cls; s != nullptr; s = EngineAccess::Super(s))
    {
        const TArray<FImplementedInterface>& interfaces = EngineAccess::InterfacesOf(static_cast<const UClass*>(s));
        for (int32 i = 0; i < interfaces.Num(); ++i)
        {
            if (interfaces[i].Class == interfaceClass)
            {
                return true;
            }
        }
    }
    return false;
}

bool IsOfFunctionsClass(const UObject* target, const UFunction* function)
{
    auto* owner = static_cast<UClass*>(function->GetOuter());
    if (owner == nullptr || target->IsA(owner))
    {
        return true;
    }
    return owner->IsChildOf(State().interfaceClass) && ImplementsInterface(target->GetClassPrivate(), owner);
}

// An object argument is null or an object of the parameter's class (a class of its meta class
// for class parameters); a pointer that holds no object at all fits nothing.
bool ArgumentFits(const FObjectPropertyBase* parameter, const void* parms)
{
    UObject* argument = nullptr;
    std::memcpy(&argument, static_cast<const uint8*>(parms) + parameter->GetOffset_Internal(), sizeof(argument));
    if (argument == nullptr)
    {
        return true;
    }
    if (EngineAccess::SlotOf(argument) == nullptr)
    {
        return false;
    }
    UClass* wanted = parameter->GetPropertyClass();
    if (wanted != nullptr && !argument->IsA(wanted))
    {
        return false;
    }
    auto* classParameter = CastField<FClassProperty>(parameter);
    UClass* meta = classParameter != nullptr ? classParameter->GetMetaClass() : nullptr;
    return meta == nullptr || static_cast<UClass*>(argument)->IsChildOf(meta);
}
} // namespace

bool CallFits(UObject* target, UFunction* function, const void* parms)
{
    bool fits = IsOfFunctionsClass(target, function);
    for (FField* f = EngineAccess::ChildProperties(function); fits && parms != nullptr && f != nullptr; f = EngineAccess::NextField(f))
    {
        auto* parameter = CastField<FObjectPropertyBase>(f);
        if (parameter != nullptr && parameter->HasAnyPropertyFlags(CPF_Parm) && !parameter->HasAnyPropertyFlags(CPF_OutParm))
        {
            fits = ArgumentFits(parameter, parms);
        }
    }
    if (!fits)
    {
        FailCheck(function->GetName());
    }
    return fits;
}

void EngineAccess::Invoke(UObject* target, UFunction* function, void* parms)
{
    auto* state = function->State;
    FUObjectItem* item = SlotOf(target);
    // Returns at once, leaving the caller's buffer as it was: an object the collector found
    // unreachable, an actor whose world does not play, a function with no body at all.
    if (state == nullptr || item == nullptr || item->IsUnreachable() || !ActorMayRun(target))
    {
        return;
    }
    const bool hasBody = (function->FunctionFlags & FUNC_Native) != 0 || static_cast<bool>(state->script);
    if (!hasBody)
    {
        return;
    }
    CallLocals locals(parms, function->ParmsSize);
    FFrame frame;
    frame.Node = function;
    frame.Object = target;
    frame.LocalsData = locals.Data();
    void* result = function->ReturnValueOffset != 0xFFFF && parms != nullptr
                       ? static_cast<uint8*>(parms) + function->ReturnValueOffset
                       : nullptr;
    // The hooks in force when the call starts stay in force until it ends, even if one is
    // removed meanwhile; only a call that has hooks copies them.
    const bool silent = State().options.SilentEvents;
    std::vector<FunctionHook> hooks;
    if (!silent && !state->hooks.empty())
    {
        hooks = state->hooks;
    }
    auto runHooks = [&](bool pre) {
        for (auto& hook : hooks)
        {
            if (hook.pre == pre)
            {
                ++State().stats.ScriptHooksFired;
                UnrealScriptFunctionCallableContext context{target, frame, result};
                hook.callable(context, hook.customData);
            }
        }
    };
    runHooks(true);
    if (state->fault != FaultKind::None)
    {
        RaiseFault(state->fault);
    }
    else if (state->native)
    {
        EngineCodeScope engineCode;
        Call call(target, frame, parms);
        state->native(call);
    }
    else if (state->script)
    {
        EngineCodeScope engineCode;
        Call call(target, frame, parms);
        state->script(call);
    }
    runHooks(false);
}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

UClass* DefineClass(const ClassDef& def) { return DefineNativeClass(def, nullptr, 0); }

// The engine builds a class's default object with the class's own C++ constructor, so the
// native type must be known before the default object is made.
UClass* Detail::DefineNativeClass(const ClassDef& def, NativeConstructor construct, std::size_t nativeSize)
{
    auto& s = State();
    if (auto* existing = FindClass(def.path))
    {
        return existing;
    }
    UClass* super = def.isInterface ? s.interfaceClass : FindClass(def.super);
    if (super == nullptr)
    {
        throw DefinitionError(L"unknown super class", def.super);
    }
    UClass* cls = EngineAccess::MakeClass(def.path, super, construct, nativeSize, def.castFlags);
    if (def.blueprint)
    {
        MarkBlueprintClass(cls);
    }
    std::vector<PropertyDef> declared;
    for (const auto& property : def.properties)
    {
        if (Declared(def.path + L":" + property.name))
        {
            declared.push_back(property);
        }
    }
    EngineAccess::LayOut(cls, declared, false, 0);
    s.classInfo[cls].defaults = def.defaults;
    for (const auto& function : def.functions)
    {
        if (Declared(def.path + L":" + function.name))
        {
            EngineAccess::MakeFunction(cls, function);
        }
    }
    for (const auto& event : def.overrides)
    {
        OverrideEvent(cls, event.name, event.script);
    }
    for (const auto& interfacePath : def.interfaces)
    {
        auto* interfaceClass = FindClass(interfacePath);
        if (interfaceClass == nullptr)
        {
            throw DefinitionError(L"unknown interface", interfacePath);
        }
        EngineAccess::AddInterface(cls, interfaceClass);
    }
    auto* defaultObject = EngineAccess::Construct(cls, EngineAccess::Package(PackageOf(def.path)),
                                                  FName(L"Default__" + ShortName(def.path)), RF_ClassDefaultObject | RF_Public);
    if (!def.blueprint)
    {
        defaultObject->GetObjectItem()->SetRootSet();
    }
    EngineAccess::SetDefaultObject(cls, defaultObject);
    return cls;
}

UScriptStruct* DefineStruct(const StructDef& def)
{
    auto& s = State();
    if (auto* existing = FindObjectByPath(def.path); existing != nullptr && existing->IsA(s.scriptStructClass))
    {
        return static_cast<UScriptStruct*>(existing);
    }
    UStruct* super = nullptr;
    if (!def.super.empty())
    {
        auto* found = FindObjectByPath(def.super);
        if (found == nullptr || !found->IsA(s.scriptStructClass))
        {
            throw DefinitionError(L"unknown super struct", def.super);
        }
        super = static_cast<UStruct*>(found);
    }
    auto* package = EngineAccess::Package(PackageOf(def.path));
    auto* scriptStruct = static_cast<UScriptStruct*>(
        EngineAccess::Construct(s.scriptStructClass, package, FName(ShortName(def.path)), RF_Public | RF_MarkAsNative));
    scriptStruct->GetObjectItem()->SetRootSet();
    EngineAccess::StartStruct(scriptStruct, super);
    std::vector<PropertyDef> declared;
    for (const auto& property : def.properties)
    {
        if (Declared(def.path + L":" + property.name))
        {
            declared.push_back(property);
        }
    }
    EngineAccess::LayOut(scriptStruct, declared, true, 0);
    return scriptStruct;
}

UEnum* DefineEnum(const EnumDef& def)
{
    auto& s = State();
    if (auto* existing = FindObjectByPath(def.path); existing != nullptr && existing->IsA(s.enumClass))
    {
        return static_cast<UEnum*>(existing);
    }
    auto* package = EngineAccess::Package(PackageOf(def.path));
    auto* uenum = static_cast<UEnum*>(EngineAccess::Construct(s.enumClass, package, FName(ShortName(def.path)), RF_Public));
    uenum->GetObjectItem()->SetRootSet();
    for (const auto& [name, value] : def.names)
    {
        EngineAccess::AddEnumName(uenum, FName(name), value);
    }
    return uenum;
}

UFunction* AddFunction(UClass* cls, const FunctionDef& def)
{
    return Declared(cls->GetPathName() + L":" + def.name) ? EngineAccess::MakeFunction(cls, def) : nullptr;
}

bool SetFunctionScript(UFunction* function, NativeFunction script)
{
    auto* state = function != nullptr ? EngineAccess::StateOf(function) : nullptr;
    if (state == nullptr || !IsBlueprintClass(static_cast<const UClass*>(function->GetOuter())))
    {
        return false;
    }
    state->script = std::move(script);
    return true;
}

UFunction* OverrideEvent(UClass* blueprintClass, StringViewType name, NativeFunction script)
{
    if (blueprintClass == nullptr || !IsBlueprintClass(blueprintClass))
    {
        throw DefinitionError(L"only a blueprint class overrides an event:", std::wstring(name));
    }
    UFunction* declaration = nullptr;
    for (const UStruct* s = EngineAccess::Super(blueprintClass); s != nullptr && declaration == nullptr; s = EngineAccess::Super(s))
    {
        for (UField* f = EngineAccess::Children(s); f != nullptr; f = EngineAccess::Next(f))
        {
            if (f->IsA(State().functionClass) && f->GetName() == name)
            {
                declaration = static_cast<UFunction*>(f);
                break;
            }
        }
    }
    if (declaration == nullptr || (declaration->GetFunctionFlags() & FUNC_BlueprintEvent) == 0)
    {
        throw DefinitionError(L"no inherited blueprint event", std::wstring(name));
    }
    FunctionDef def;
    def.name = std::wstring(name);
    def.params = EngineAccess::StateOf(declaration)->declaredParams;
    def.flags = declaration->GetFunctionFlags() & ~static_cast<uint32>(FUNC_Native);
    def.script = std::move(script);
    return EngineAccess::MakeFunction(blueprintClass, def);
}

void AddNonFunctionChild(UClass* cls, StringViewType name)
{
    auto* field = static_cast<UField*>(EngineAccess::Construct(State().enumClass, cls, FName(name), RF_Public));
    field->GetObjectItem()->SetRootSet();
    EngineAccess::AppendChild(cls, field);
}

UFunction* FindFunctionByPath(StringViewType path)
{
    auto* object = FindObjectByPath(path);
    return object != nullptr && object->IsA(State().functionClass) ? static_cast<UFunction*>(object) : nullptr;
}

namespace
{
FProperty* WalkForProperty(const UStruct* owner, StringViewType name)
{
    // The engine's own lookups are not the mod's: they leave the counters alone.
    auto savedFinds = State().counters.NameFind;
    FName wanted(name, FNAME_Find);
    State().counters.NameFind = savedFinds;
    if (wanted.IsNone())
    {
        return nullptr;
    }
    for (const UStruct* s = owner; s != nullptr; s = EngineAccess::Super(s))
    {
        for (FField* f = EngineAccess::ChildProperties(s); f != nullptr; f = EngineAccess::NextField(f))
        {
            if (f->GetFName() == wanted)
            {
                return static_cast<FProperty*>(f);
            }
        }
    }
    return nullptr;
}
} // namespace

FProperty* FindPropertyUncounted(const UStruct* owner, StringViewType name)
{
    if (owner == nullptr)
    {
        return nullptr;
    }
    MemberIndex& members = State().memberMemo[owner];
    if (auto found = members.find(name); found != members.end())
    {
        return found->second;
    }
    FProperty* property = WalkForProperty(owner, name);
    members.emplace(name, property);
    return property;
}

namespace
{
MemberPath WalkMemberPath(const UStruct* layout, StringViewType path)
{
    std::ptrdiff_t offset = 0;
    while (layout != nullptr)
    {
        const auto dot = path.find(L'.');
        FProperty* property = FindPropertyUncounted(layout, path.substr(0, dot));
        if (property == nullptr)
        {
            return {};
        }
        offset += property->GetOffset_Internal();
        if (dot == StringViewType::npos)
        {
            return {property, offset};
        }
        auto* structProperty = CastField<FStructProperty>(property);
        layout = structProperty != nullptr ? structProperty->GetStruct() : nullptr;
        path.remove_prefix(dot + 1);
    }
    return {};
}
} // namespace

MemberRef FindMemberByPath(UObject* object, StringViewType path)
{
    if (object == nullptr)
    {
        return {};
    }
    const UStruct* layout = object->GetClassPrivate();
    MemberPathIndex& paths = State().memberPathMemo[layout];
    auto found = paths.find(path);
    if (found == paths.end())
    {
        found = paths.emplace(path, WalkMemberPath(layout, path)).first;
    }
    const MemberPath& member = found->second;
    if (member.property == nullptr)
    {
        return {};
    }
    return {member.property, reinterpret_cast<uint8*>(object) + member.offset};
}

FProperty* Call::Param(StringViewType name) const { return FindPropertyUncounted(frame_.Node, name); }

uint8* Call::AddressOf(FProperty* property) const
{
    uint8* container = property->HasAnyPropertyFlags(CPF_OutParm) && callerParms_ != nullptr
                           ? static_cast<uint8*>(callerParms_)
                           : frame_.Locals();
    return property->ContainerPtrToValuePtr<uint8>(container);
}

void* Call::ParamAddress(StringViewType name) const
{
    auto* property = Param(name);
    if (property == nullptr)
    {
        throw DefinitionError(L"native reads a missing parameter", std::wstring(name));
    }
    return AddressOf(property);
}

bool Call::GetBool(StringViewType name) const
{
    auto* property = static_cast<FBoolProperty*>(Param(name));
    return property != nullptr && property->GetPropertyValue(AddressOf(property));
}

void Call::SetBool(StringViewType name, bool value) const
{
    if (auto* property = static_cast<FBoolProperty*>(Param(name)))
    {
        property->SetPropertyValue(AddressOf(property), value);
    }
}

void CallScriptFunction(UObject* target, UFunction* function, const std::function<void(uint8* parms)>& fill)
{
    if (function == nullptr)
    {
        return;
    }
    std::vector<uint8> parms(std::max<std::size_t>(function->GetParmsSize(), 1), 0);
    EngineAccess::InitializeStruct(function, parms.data());
    if (fill)
    {
        fill(parms.data());
    }
    if (target != nullptr && EngineAccess::SlotOf(target) != nullptr && CallFits(target, function, parms.data()))
    {
        EngineAccess::Invoke(target, function, parms.data());
    }
    EngineAccess::DestroyStruct(function, parms.data());
}

void CallScriptFunction(UObject* target, StringViewType functionName, const std::function<void(uint8* parms)>& fill)
{
    if (target == nullptr)
    {
        return;
    }
    for (const UStruct* s = target->GetClassPrivate(); s != nullptr; s = EngineAccess::Super(s))
    {
        for (UField* f = EngineAccess::Children(s); f != nullptr; f = EngineAccess::Next(f))
        {
            if (f->IsA(State().functionClass) && f->GetName() == functionName)
            {
                CallScriptFunction(target, static_cast<UFunction*>(f), fill);
                return;
            }
        }
    }
    throw DefinitionError(L"no script function", std::wstring(functionName));
}

// Engine structs every game has. Vectors and rotators hold 32-bit floats before 5.0 and
// 64-bit reals from 5.0 on.
void DefineCoreTypes()
{
    Type real = RealType();
    DefineStruct({L"/Script/CoreUObject.Vector", {}, {{L"X", real}, {L"Y", real}, {L"Z", real}}});
    DefineStruct({L"/Script/CoreUObject.Rotator", {}, {{L"Pitch", real}, {L"Yaw", real}, {L"Roll", real}}});
    DefineStruct({L"/Script/CoreUObject.Vector2D", {}, {{L"X", real}, {L"Y", real}}});
    DefineStruct({L"/Script/CoreUObject.LinearColor", {}, {{L"R", Float()}, {L"G", Float()}, {L"B", Float()}, {L"A", Float()}}});
    DefineStruct({L"/Script/CoreUObject.Guid", {}, {{L"A", UInt32()}, {L"B", UInt32()}, {L"C", UInt32()}, {L"D", UInt32()}}});
    void DefineEngineStructs();
    DefineEngineStructs();
}
} // namespace Sim
