// The loader's FText and its text library wrappers, run as the loader's sources run them
// (FText.cpp, UKismetTextLibrary.cpp and the native-call macros of BPMacros.hpp): the function
// and the library's default object are found once, the parameter block is zeroed memory that is
// freed without destroying anything in it, a missing function or parameter throws, and the
// text that comes back is copied out byte for byte.
#include "Sim/EngineState.hpp"
#include "Sim/EngineVersions.hpp"

#include <Sim/Output.hpp>

#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/FText.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <cstring>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

namespace RC::Unreal
{
namespace
{
using Sim::Detail::EngineAccess;
using Sim::Detail::LoaderStatics;
using Sim::Detail::State;

// UE_BEGIN_NATIVE_FUNCTION_BODY and UE_SET_STATIC_SELF: function-local statics, looked up on
// the first call only, whatever they found. The default object is looked for only once the
// function was found (the macro throws before it otherwise).
LoaderStatics::NativeCall& FindNativeCall(const wchar_t* functionPath, const wchar_t* selfPath)
{
    auto& call = State().loader.nativeCalls[functionPath];
    if (!call.looked)
    {
        call.looked = true;
        UObject* found = UObjectGlobals::FindObject(nullptr, nullptr, functionPath);
        call.function = found != nullptr && found->IsA(UFunction::StaticClass()) ? static_cast<UFunction*>(found) : nullptr;
    }
    if (call.function != nullptr && !call.selfLooked)
    {
        call.selfLooked = true;
        call.self = UObjectGlobals::FindObject(nullptr, nullptr, selfPath);
    }
    return call;
}

// _malloca and FMemory::Memzero: the block is zeroed, and _freea later frees it without a
// destructor for anything it holds.
class ParamBlock
{
  public:
    explicit ParamBlock(std::size_t size) : words_((size + sizeof(uint64) - 1) / sizeof(uint64) + 1, 0) {}
    uint8* At(int32 offset) { return reinterpret_cast<uint8*>(words_.data()) + offset; }

  private:
    std::vector<uint64> words_;
};

FProperty* RequiredProperty(UFunction* function, const CharType* name, const char* what)
{
    FProperty* property = function->FindProperty(FName(name, FNAME_Find));
    if (property == nullptr)
    {
        throw std::runtime_error{what};
    }
    return property;
}

// UFunction::GetReturnProperty, and UE_RETURN_PROPERTY_INTERNAL's throw without one.
FProperty* RequiredReturnProperty(UFunction* function)
{
    for (FField* f = EngineAccess::ChildProperties(function); f != nullptr; f = EngineAccess::NextField(f))
    {
        auto* property = static_cast<FProperty*>(f);
        if (property->HasAnyPropertyFlags(CPF_ReturnParm))
        {
            return property;
        }
    }
    throw std::runtime_error{fmt::format("ReturnProperty is nullptr for '{}'", Sim::ToUtf8(function->GetFullName()))};
}

// UE_CALL_STATIC_FUNCTION: ProcessEvent on the default object found once.
void CallStatic(const LoaderStatics::NativeCall& call, ParamBlock& parms)
{
    if (call.self == nullptr)
    {
        // The loader would call through a null object: in a game, a crash.
        ++State().counters.CallsOnFreedObjects;
        return;
    }
    call.self->ProcessEvent(call.function, parms.At(0));
}

// FText.cpp's CopyFText: an engine text smaller than the loader's (engine 5's 16 bytes) is
// copied at its own size; otherwise the four members.
FText& CopyFText(FText& self, const FText& other)
{
    const int32 size = FText::StaticSize();
    if (size != static_cast<int32>(sizeof(FText)) && size < static_cast<int32>(sizeof(FText)))
    {
        std::memcpy(static_cast<void*>(&self), &other, static_cast<std::size_t>(size));
        return self;
    }
    self.Data = other.Data;
    self.SharedRefCollector = other.SharedRefCollector;
    self.Flags = other.Flags;
    self.Unk = other.Unk;
    return self;
}
} // namespace

// The loader learns the engine's text size at start-up and keeps it for the process; the
// stand-in's engine may change version between runs, so it asks the running one.
int32 FText::StaticSize()
{
    if (!State().running)
    {
        throw std::runtime_error{"[FText::StaticSize] StaticClassStorage is not valid"};
    }
    return Sim::Detail::Layout().compactText ? 16 : 24;
}

FText::FText(const FText& Other) { CopyFText(*this, Other); }

FText& FText::operator=(const FText& Other) { return CopyFText(*this, Other); }

FString FText::ToFString() const
{
    if (Data == nullptr)
    {
        return FString(STR(""));
    }
    return UKismetTextLibrary::Conv_TextToString(*this);
}

StringType FText::ToString() const
{
    if (Data == nullptr)
    {
        return {};
    }
    return StringType(*ToFString());
}

FText UKismetTextLibrary::Conv_StringToText(const FString& InString)
{
    auto& call = FindNativeCall(STR("/Script/Engine.KismetTextLibrary:Conv_StringToText"),
                                STR("/Script/Engine.Default__KismetTextLibrary"));
    if (call.function == nullptr)
    {
        throw std::runtime_error{"Unable to find '/Script/Engine.KismetTextLibrary:Conv_StringToText'"};
    }
    ParamBlock parms(call.function->GetParmsSize());
    FProperty* string = RequiredProperty(call.function, STR("InString"), "Property not found: 'InString'");
    // UE_COPY_PROPERTY: assigned into the zeroed block, never destroyed.
    *reinterpret_cast<FString*>(parms.At(string->GetOffset_Internal())) = static_cast<FString>(InString);
    CallStatic(call, parms);
    FProperty* returned = RequiredReturnProperty(call.function);
    // UE_RETURN_PROPERTY: the engine's text is copied out, and the block it lay in freed.
    FText value = *reinterpret_cast<const FText*>(parms.At(returned->GetOffset_Internal()));
    return value;
}

FString UKismetTextLibrary::Conv_TextToString(const FText& InText)
{
    auto& call = FindNativeCall(STR("/Script/Engine.KismetTextLibrary:Conv_TextToString"),
                                STR("/Script/Engine.Default__KismetTextLibrary"));
    if (call.function == nullptr)
    {
        throw std::runtime_error{"Unable to find '/Script/Engine.KismetTextLibrary:Conv_TextToString'"};
    }
    ParamBlock parms(call.function->GetParmsSize());
    FProperty* text = RequiredProperty(call.function, STR("InText"), "Property not found: 'InText'");
    *reinterpret_cast<FText*>(parms.At(text->GetOffset_Internal())) = static_cast<FText>(InText);
    CallStatic(call, parms);
    FProperty* returned = RequiredReturnProperty(call.function);
    // The string the engine wrote stays in the freed block, never destroyed.
    FString value = *reinterpret_cast<const FString*>(parms.At(returned->GetOffset_Internal()));
    return value;
}
} // namespace RC::Unreal
