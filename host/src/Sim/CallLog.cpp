// The record of the script calls a mod made through ProcessEvent: per object and function the
// count and the latest call's parameters, copied as the call began (owning values as text, as
// the engine frees them afterwards). An object's records die with it, so memory that a new
// object takes starts clean.
#include "Sim/EngineState.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Values.hpp>
#include <Unreal/CoreUObject/UObject/FStrProperty.hpp>
#include <Unreal/Property/FEnumProperty.hpp>

#include <cstring>
#include <unordered_map>

namespace Sim
{
using namespace Detail;

struct RecordedCall::Found
{
    const FProperty* property = nullptr;
    const uint8* address = nullptr;
};

namespace
{
// Found on a function's first call and kept with it, as the call record runs on every call.
const std::vector<FProperty*>& TextParams(const UFunction* function)
{
    FunctionState* state = EngineAccess::StateOf(const_cast<UFunction*>(function));
    if (!state->textParamsFound)
    {
        for (auto* p = static_cast<FProperty*>(EngineAccess::ChildProperties(function)); p != nullptr; p = p->GetNextFieldAsProperty())
        {
            if (dynamic_cast<FStrProperty*>(p) != nullptr || dynamic_cast<FTextProperty*>(p) != nullptr)
            {
                state->textParams.push_back(p);
            }
        }
        state->textParamsFound = true;
    }
    return state->textParams;
}
} // namespace

struct CallLogAccess
{
    static void Record(RecordedCall& call, const UObject* target, const UFunction* function, const void* parms,
                       std::uint64_t sequence)
    {
        ++call.count_;
        call.sequence_ = sequence;
        call.target_ = target;
        call.function_ = function;
        const auto* bytes = static_cast<const uint8*>(parms);
        const std::size_t size = parms != nullptr ? function->GetParmsSize() : 0;
        call.parms_.assign(bytes, bytes + size);
        std::size_t texts = 0;
        static const std::vector<FProperty*> none;
        for (FProperty* p : parms != nullptr ? TextParams(function) : none)
        {
            const void* value = p->ContainerPtrToValuePtr<void>(parms);
            if (call.texts_.size() <= texts)
            {
                call.texts_.emplace_back();
            }
            call.texts_[texts].first = p;
            call.texts_[texts].second = dynamic_cast<FStrProperty*>(p) != nullptr ? ReadString(value) : ReadText(value);
            ++texts;
        }
        call.texts_.resize(texts);
    }
    static const UFunction* FunctionOf(const RecordedCall& call) { return call.function_; }
    static std::uint64_t SequenceOf(const RecordedCall& call) { return call.sequence_; }
    static void SetCount(RecordedCall& call, std::uint64_t count) { call.count_ = count; }
};

namespace
{
struct CallLog
{
    // An object is called through few functions: a short list each, searched in order.
    std::unordered_map<const UObject*, std::vector<RecordedCall>> byObject;
    std::unordered_map<const UFunction*, RecordedCall> byFunction;
    std::uint64_t calls = 0; // numbers the calls, so the latest of several functions is known
};

CallLog& Log()
{
    static CallLog log;
    return log;
}

// A short name matches the function's name, a path its path name.
bool Names(const UFunction* function, StringViewType name)
{
    if (function == nullptr || !HoldsObject(function))
    {
        return false;
    }
    const bool isPath = name.find(L':') != StringViewType::npos || name.find(L'/') != StringViewType::npos;
    return (isPath ? function->GetPathName() : function->GetName()) == name;
}
} // namespace

namespace Detail
{
void RecordCall(const UObject* target, const UFunction* function, const void* parms)
{
    auto& log = Log();
    auto& calls = log.byObject[target];
    RecordedCall* record = nullptr;
    for (auto& call : calls)
    {
        if (CallLogAccess::FunctionOf(call) == function)
        {
            record = &call;
            break;
        }
    }
    if (record == nullptr)
    {
        record = &calls.emplace_back();
    }
    ++log.calls;
    CallLogAccess::Record(*record, target, function, parms, log.calls);
    CallLogAccess::Record(log.byFunction[function], target, function, parms, log.calls);
}

void ForgetCallsOf(const UObject* object)
{
    auto& log = Log();
    log.byObject.erase(object);
    if (log.byFunction.erase(reinterpret_cast<const UFunction*>(object)) == 0)
    {
        return;
    }
    for (auto& [target, calls] : log.byObject)
    {
        std::erase_if(calls, [object](const RecordedCall& call) {
            return CallLogAccess::FunctionOf(call) == reinterpret_cast<const UFunction*>(object);
        });
    }
}
} // namespace Detail

RecordedCall::Found RecordedCall::Locate(StringViewType path) const
{
    if (function_ == nullptr || parms_.empty())
    {
        return {};
    }
    const UStruct* layout = function_;
    const uint8* container = parms_.data();
    Found found;
    while (!path.empty())
    {
        const std::size_t dot = path.find(L'.');
        const StringViewType step = path.substr(0, dot);
        path = dot == StringViewType::npos ? StringViewType{} : path.substr(dot + 1);
        if (layout == nullptr)
        {
            return {};
        }
        const FProperty* property = FindPropertyUncounted(layout, step);
        if (property == nullptr)
        {
            return {};
        }
        found = {property, property->ContainerPtrToValuePtr<uint8>(container)};
        const auto* asStruct = dynamic_cast<const FStructProperty*>(property);
        layout = asStruct != nullptr ? asStruct->GetStruct() : nullptr;
        container = found.address;
    }
    return found;
}

bool RecordedCall::Has(StringViewType path) const { return Locate(path).property != nullptr; }

bool RecordedCall::Bool(StringViewType path) const
{
    const Found found = Locate(path);
    if (const auto* flag = dynamic_cast<const FBoolProperty*>(found.property))
    {
        return flag->GetPropertyValue(found.address);
    }
    return false;
}

double RecordedCall::Number(StringViewType path) const
{
    const Found found = Locate(path);
    auto* property = const_cast<FProperty*>(found.property);
    if (auto* flag = dynamic_cast<FBoolProperty*>(property))
    {
        return flag->GetPropertyValue(found.address) ? 1.0 : 0.0;
    }
    if (auto* asEnum = dynamic_cast<FEnumProperty*>(property))
    {
        property = asEnum->GetUnderlyingProperty();
    }
    if (auto* number = dynamic_cast<FNumericProperty*>(property))
    {
        return number->IsFloatingPoint() ? number->GetFloatingPointPropertyValue(found.address)
                                         : static_cast<double>(number->GetSignedIntPropertyValue(found.address));
    }
    return 0.0;
}

UObject* RecordedCall::Object(StringViewType path) const
{
    const Found found = Locate(path);
    if (const auto* reference = dynamic_cast<const FObjectPropertyBase*>(found.property))
    {
        return reference->GetObjectPropertyValue(found.address);
    }
    return nullptr;
}

std::wstring RecordedCall::Text(StringViewType path) const
{
    const Found found = Locate(path);
    if (dynamic_cast<const FNameProperty*>(found.property) != nullptr)
    {
        FName name;
        std::memcpy(static_cast<void*>(&name), found.address, sizeof(name));
        return name.ToString();
    }
    for (const auto& [property, text] : texts_)
    {
        if (property == found.property)
        {
            return text;
        }
    }
    return {};
}

RecordedCall LastCall(const UObject* object, StringViewType function)
{
    auto guard = LockEngine();
    const auto& log = Log();
    const auto calls = log.byObject.find(object);
    if (calls == log.byObject.end())
    {
        return {};
    }
    for (const auto& call : calls->second)
    {
        if (Names(CallLogAccess::FunctionOf(call), function))
        {
            return call;
        }
    }
    return {};
}

RecordedCall LastCallOf(StringViewType function)
{
    auto guard = LockEngine();
    // Several functions may share a short name; the counts add up and the latest is any one's.
    RecordedCall latest;
    std::uint64_t count = 0;
    for (const auto& [key, call] : Log().byFunction)
    {
        if (Names(key, function))
        {
            count += call.Count();
            if (CallLogAccess::SequenceOf(call) > CallLogAccess::SequenceOf(latest))
            {
                latest = call;
            }
        }
    }
    CallLogAccess::SetCount(latest, count);
    return latest;
}

std::uint64_t CallCount(const UObject* object, StringViewType function) { return LastCall(object, function).Count(); }
std::uint64_t CallCount(StringViewType function) { return LastCallOf(function).Count(); }

void ForgetCalls()
{
    auto guard = LockEngine();
    Log().byObject.clear();
    Log().byFunction.clear();
}
} // namespace Sim
