// The call frame: parameter buffer, checked writes and reads, the guarded engine call and the
// destruction of the values the buffer owns.
#include "reflection/CallFrame.hpp"

#include "reflection/FaultGuard.hpp"
#include "reflection/PropertyAccess.hpp"

#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
struct EngineCall
{
    UObject* target;
    UFunction* function;
    void* parms;
};

void CallEngine(void* context)
{
    auto* call = static_cast<EngineCall*>(context);
    call->target->ProcessEvent(call->function, call->parms);
}

// The object must still hold its slot (a freed slot may belong to another object by now)
// and must not have been found unreachable by the collector.
bool IsCallable(const UObject* object)
{
    if (object == nullptr)
    {
        return false;
    }
    FUObjectItem* item = FUObjectArray::IndexToObject(object->GetInternalIndex());
    return item != nullptr && item->GetUObject() == object && !item->IsUnreachable();
}

std::size_t ValueSize(const FProperty* property)
{
    auto size = static_cast<std::int64_t>(property->GetElementSize()) * property->GetArrayDim();
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}
} // namespace

CallFrame::CallFrame(Reflection& reflection, UFunction* function) : reflection_(reflection), function_(function)
{
    if (function_ == nullptr)
    {
        return;
    }
    size_ = function_->GetParmsSize();
    if (size_ == 0)
    {
        size_ = 1;
    }
    buffer_.Reserve(size_);
}

CallFrame::~CallFrame()
{
    DestroyUnreadResults();
    for (std::size_t i = readCount_; i-- > 0;)
    {
        read_[i]->DestroyValue(Buffer() + read_[i]->GetOffset_Internal());
    }
    for (std::size_t i = constructedCount_; i-- > 0;)
    {
        // A value both constructed and read was destroyed above, once.
        if (!Contains(read_, readCount_, constructed_[i]))
        {
            constructed_[i]->DestroyValue(Buffer() + constructed_[i]->GetOffset_Internal());
        }
    }
}

// What the engine wrote into result and out parameters owns memory just as what the mod
// reads does; a result nobody asked for would otherwise leak with every call. Only after a
// call that completed: a faulted one may have left them half-built.
void CallFrame::DestroyUnreadResults()
{
    if (!completed_)
    {
        return;
    }
    for (FProperty* parameter : reflection_.LookupOutParameters(function_))
    {
        if (Contains(read_, readCount_, parameter) || Contains(constructed_, constructedCount_, parameter))
        {
            continue;
        }
        std::int64_t offset = parameter->GetOffset_Internal();
        if (offset >= 0 && static_cast<std::uint64_t>(offset) + ValueSize(parameter) <= size_)
        {
            parameter->DestroyValue(Buffer() + offset);
        }
    }
}

bool CallFrame::Contains(const std::array<FProperty*, kMaxValues>& list, std::size_t count, const FProperty* property)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        if (list[i] == property)
        {
            return true;
        }
    }
    return false;
}

FProperty* CallFrame::Parameter(std::wstring_view name) { return reflection_.LookupParameter(function_, name); }

CallFrame::Located CallFrame::Locate(std::wstring_view name, std::size_t length)
{
    return LocateProperty(Parameter(name), length);
}

CallFrame::Located CallFrame::LocateWhole(std::wstring_view name)
{
    FProperty* property = Parameter(name);
    return property != nullptr ? LocateProperty(property, ValueSize(property)) : Located{};
}

CallFrame::Located CallFrame::LocateProperty(FProperty* property, std::size_t length)
{
    if (property == nullptr)
    {
        return {};
    }
    std::int64_t offset = property->GetOffset_Internal();
    if (offset < 0 || static_cast<std::uint64_t>(offset) + length > size_)
    {
        return {};
    }
    return {property, Buffer() + offset};
}

void CallFrame::RememberRead(FProperty* property)
{
    if (!Contains(read_, readCount_, property) && readCount_ < kMaxValues)
    {
        read_[readCount_++] = property;
    }
}

CallFrame::Located CallFrame::LocateRaw(std::wstring_view name, std::size_t length)
{
    Located at = Locate(name, length);
    if (at.property == nullptr || length > ValueSize(at.property))
    {
        return {};
    }
    if (length == 1 && PropertyClassOf(at.property) == PropertyClass::Bool)
    {
        auto byteOffset = static_cast<const FBoolProperty*>(at.property)->GetByteOffset();
        if (static_cast<std::size_t>(at.address - Buffer()) + byteOffset >= size_)
        {
            return {};
        }
        at.boolBit = true;
    }
    return at;
}

bool CallFrame::WriteRaw(std::wstring_view name, const void* source, std::size_t length)
{
    if (source == nullptr || called_ || !IsBound())
    {
        return false;
    }
    Located at = LocateRaw(name, length);
    if (at.property == nullptr)
    {
        return false;
    }
    if (at.boolBit)
    {
        WriteBoolBit(at.property, at.address, *static_cast<const std::uint8_t*>(source) != 0);
        return true;
    }
    std::memcpy(at.address, source, length);
    return true;
}

bool CallFrame::WriteRawIfDeclared(std::wstring_view name, const void* source, std::size_t length)
{
    if (IsBound() && !called_ && source != nullptr && Parameter(name) == nullptr)
    {
        return true;
    }
    return WriteRaw(name, source, length);
}

bool CallFrame::WriteByCopy(std::wstring_view name, const void* source)
{
    if (source == nullptr || called_ || !IsBound())
    {
        return false;
    }
    Located at = LocateWhole(name);
    FProperty* property = at.property;
    if (property == nullptr || Contains(constructed_, constructedCount_, property) || constructedCount_ == kMaxValues)
    {
        return false;
    }
    property->InitializeValue(at.address);
    property->CopySingleValue(at.address, source);
    constructed_[constructedCount_++] = property;
    return true;
}

void* CallFrame::ParameterSlot(std::wstring_view name, FProperty** property)
{
    if (property != nullptr)
    {
        *property = nullptr;
    }
    if (called_ || !IsBound())
    {
        return nullptr;
    }
    Located at = LocateWhole(name);
    FProperty* parameter = at.property;
    if (parameter == nullptr)
    {
        return nullptr;
    }
    if (!Contains(constructed_, constructedCount_, parameter))
    {
        if (constructedCount_ == kMaxValues)
        {
            return nullptr;
        }
        constructed_[constructedCount_++] = parameter;
    }
    if (property != nullptr)
    {
        *property = parameter;
    }
    return at.address;
}

bool CallFrame::Invoke(UObject* target)
{
    if (called_ || !IsCallable(target) || !IsCallable(function_))
    {
        return false;
    }
    called_ = true;
    EngineCall call{target, function_, Buffer()};
    completed_ = RunContained(&CallEngine, &call);
    return completed_;
}

bool CallFrame::Read(std::wstring_view name, void* destination, std::size_t length)
{
    if (destination == nullptr || !called_)
    {
        return false;
    }
    Located at = LocateRaw(name, length);
    if (at.property == nullptr)
    {
        return false;
    }
    if (at.boolBit)
    {
        *static_cast<std::uint8_t*>(destination) = ReadBoolBit(at.property, at.address) ? 1 : 0;
    }
    else
    {
        std::memcpy(destination, at.address, length);
    }
    RememberRead(at.property);
    return true;
}

void* CallFrame::ResultSlot(std::wstring_view name)
{
    if (!called_)
    {
        return nullptr;
    }
    Located at = LocateWhole(name);
    if (at.property == nullptr)
    {
        return nullptr;
    }
    // A full read list does not fail the slot.
    RememberRead(at.property);
    return at.address;
}
} // namespace Orv
