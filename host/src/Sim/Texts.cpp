// Engine text values: the text data on the engine heap with the count of the values sharing
// it, the value operations the text property runs, the engine's text library, and the count of
// texts that nothing can free any more.
#include "Sim/Texts.hpp"

#include "Sim/EngineState.hpp"
#include "Sim/EngineVersions.hpp"
#include "Sim/FunctionDefs.hpp"
#include "Sim/Heap.hpp"

#include <Sim/Values.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/FMemory.hpp>
#include <Unreal/FString.hpp>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>

namespace RC::Unreal
{
// What FText::FromString makes: the display string, and the count of the text values sharing
// it (the engine keeps that count beside the data, in one allocation with it).
class ITextData
{
  public:
    explicit ITextData(std::wstring_view text) : DisplayString(text) {}

    std::atomic<int32> References{1};
    FString DisplayString;
};
} // namespace RC::Unreal

namespace Sim::Detail
{
using namespace RC::Unreal;

namespace
{
// Every text data alive, so a report can tell which of them nothing holds any more. Never
// destroyed: values may be released by static destructors at exit.
struct TextRegistry
{
    std::mutex mutex;
    std::unordered_set<const ITextData*> live;
};

TextRegistry& Registry()
{
    static auto* registry = new TextRegistry();
    return *registry;
}

// The data pointer leads both layouts; 4.x follows it with the shared reference's controller.
struct TextHead
{
    ITextData* data;
};

ITextData*& DataOf(void* value) { return static_cast<TextHead*>(value)->data; }
ITextData* DataOf(const void* value) { return static_cast<const TextHead*>(value)->data; }

uint8* ValueAt(void* values, int32 index) { return static_cast<uint8*>(values) + static_cast<std::size_t>(index) * TextValueSize(); }
const uint8* ValueAt(const void* values, int32 index)
{
    return static_cast<const uint8*>(values) + static_cast<std::size_t>(index) * TextValueSize();
}

ITextData* NewTextData(std::wstring_view text)
{
    void* memory = FMemory::Malloc(sizeof(ITextData), alignof(ITextData));
    auto* data = new (memory) ITextData(text);
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.live.insert(data);
    return data;
}

void AddReference(ITextData* data)
{
    if (data != nullptr)
    {
        data->References.fetch_add(1);
    }
}

// The last reference frees the data (TSharedRef's controller, or TRefCountPtr's Release).
void Release(ITextData* data)
{
    if (data == nullptr)
    {
        return;
    }
    // Data that is no longer live must not be read: its string may be gone too.
    if (!IsLiveHeapBlock(data))
    {
        ReportInvalidFree(data, "FText release");
        return;
    }
    if (data->References.fetch_sub(1) != 1)
    {
        return;
    }
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        registry.live.erase(data);
    }
    data->~ITextData();
    FMemory::Free(data);
}

// Points the value at the data, as a freshly made FText of either layout.
void SetData(void* value, ITextData* data)
{
    std::memset(value, 0, static_cast<std::size_t>(TextValueSize()));
    DataOf(value) = data;
    if (!Layout().compactText)
    {
        static_cast<void**>(value)[1] = data;
    }
}

using HeldCounts = std::unordered_map<const ITextData*, int64>;

void CountHeldInStruct(const UStruct* layout, const void* container, HeldCounts& held);

void CountHeldInValue(const FProperty* property, const void* value, HeldCounts& held)
{
    if (dynamic_cast<const FTextProperty*>(property) != nullptr)
    {
        if (const ITextData* data = DataOf(value))
        {
            ++held[data];
        }
    }
    else if (auto* structProperty = dynamic_cast<const FStructProperty*>(property))
    {
        CountHeldInStruct(structProperty->GetStruct(), value, held);
    }
    else
    {
        EngineAccess::ForEachContainedValue(property, value, [&](const FProperty* element, const void* elementValue) {
            CountHeldInValue(element, elementValue, held);
        });
    }
}

void CountHeldInStruct(const UStruct* layout, const void* container, HeldCounts& held)
{
    for (const UStruct* s = layout; s != nullptr; s = EngineAccess::Super(s))
    {
        for (FField* f = EngineAccess::ChildProperties(s); f != nullptr; f = EngineAccess::NextField(f))
        {
            auto* property = static_cast<FProperty*>(f);
            for (int32 i = 0; i < property->GetArrayDim(); ++i)
            {
                CountHeldInValue(property, property->ContainerPtrToValuePtr(container, i), held);
            }
        }
    }
}
} // namespace

int32 TextValueSize() { return Layout().compactText ? 16 : 24; }

void InitializeTextValues(void* dest, int32 count)
{
    std::memset(dest, 0, static_cast<std::size_t>(TextValueSize()) * static_cast<std::size_t>(count));
}

void CopyTextValues(void* dest, const void* src, int32 count)
{
    for (int32 i = 0; i < count; ++i)
    {
        uint8* to = ValueAt(dest, i);
        const uint8* from = ValueAt(src, i);
        // Taken before the old data goes: the two may be the same.
        AddReference(DataOf(from));
        Release(DataOf(to));
        std::memmove(to, from, static_cast<std::size_t>(TextValueSize()));
    }
}

void DestroyTextValues(void* dest, int32 count)
{
    for (int32 i = 0; i < count; ++i)
    {
        Release(DataOf(ValueAt(dest, i)));
    }
}

void WriteTextValue(void* value, std::wstring_view text)
{
    ITextData* data = NewTextData(text);
    Release(DataOf(value));
    SetData(value, data);
}

std::wstring ReadTextValue(const void* value)
{
    const ITextData* data = DataOf(value);
    return data != nullptr ? std::wstring(data->DisplayString.View()) : std::wstring();
}

void ForgetTexts()
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.live.clear();
}

void DefineTextLibrary()
{
    DefineClass({.path = L"/Script/Engine.BlueprintFunctionLibrary"});
    // UKismetTextLibrary::Conv_StringToText is FText::FromString: new data, one reference,
    // held by the result.
    DefineClass({.path = L"/Script/Engine.KismetTextLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {Library(L"Conv_StringToText", {In(L"InString", Str()), Return(Text())},
                                       [](Call& call) {
                                           WriteTextValue(call.ParamAddress(L"ReturnValue"),
                                                          ReadString(call.ParamAddress(L"InString")));
                                       }),
                               Library(L"Conv_TextToString", {In(L"InText", Text()), Return(Str())}, [](Call& call) {
                                   WriteString(call.ParamAddress(L"ReturnValue"), ReadTextValue(call.ParamAddress(L"InText")));
                               })}});
}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

uint64 TextsLeaked()
{
    auto guard = LockEngine();
    HeldCounts held;
    auto& s = State();
    for (int32 index = 0; index < s.numItems; ++index)
    {
        const UObject* object = EngineAccess::Item(index)->GetUObject();
        // Types and packages hold no values of their own, as the engine's teardown has it.
        if (object != nullptr && !object->GetClassPrivate()->HasAnyCastFlags(CASTCLASS_UField | CASTCLASS_UPackage))
        {
            CountHeldInStruct(object->GetClassPrivate(), object, held);
        }
    }
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    uint64 leaked = 0;
    for (const ITextData* data : registry.live)
    {
        auto found = held.find(data);
        if (data->References.load() > (found != held.end() ? found->second : 0))
        {
            ++leaked;
        }
    }
    return leaked;
}
} // namespace Sim
