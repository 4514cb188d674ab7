// One reflective call of a script function: a zeroed parameter buffer laid out by the
// function's reflection data, arguments written by parameter name, the guarded engine call,
// results read by name, and the destruction of every value the buffer came to own.
#pragma once

#include "reflection/Lookup.hpp"
#include "reflection/ScratchBuffer.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Orv
{
// Made on the stack for one call and never reused. Writes are allowed only before Invoke,
// reads only after it. Up to 256 bytes of parameters live inline, so a call allocates nothing.
class CallFrame
{
  public:
    static constexpr std::size_t kInlineSize = ScratchBuffer::kInlineSize;
    static constexpr std::size_t kMaxValues = 16;

    // A null function makes an unbound frame: nothing can be written or called.
    CallFrame(Reflection& reflection, UFunction* function);
    // Destroys the result and out parameters of a completed call that were never read, then
    // the values read after the call (last read first), then those constructed before it that
    // were not read (last constructed first), then frees the buffer.
    ~CallFrame();
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;

    bool IsBound() const { return function_ != nullptr; }
    bool Called() const { return called_; }
    std::size_t Size() const { return size_; }
    std::uint8_t* Buffer() { return buffer_.Data(); }
    // The function's parameter of that name, or null.
    FProperty* Parameter(std::wstring_view name);

    // Copies length bytes into the parameter; a 1-byte write into a "BoolProperty" follows
    // the bit rule. Recorded in neither list: such values must need no destruction.
    bool WriteRaw(std::wstring_view name, const void* source, std::size_t length);
    // As WriteRaw, for a value that only repeats the engine's own default: an engine version
    // whose function lacks the parameter gets the call without it (true, nothing written).
    bool WriteRawIfDeclared(std::wstring_view name, const void* source, std::size_t length);
    // Constructs the parameter in the buffer as a copy of a value of its own type.
    bool WriteByCopy(std::wstring_view name, const void* source);
    // The parameter's place for writing in place; the frame destroys it afterwards.
    void* ParameterSlot(std::wstring_view name, FProperty** property = nullptr);

    // Runs the function on the target under the fault guard; false if the target or function
    // is gone or unreachable, the frame was already called, or the call faulted.
    bool Invoke(UObject* target);

    // Copies a parameter or result out; a 1-byte read of a "BoolProperty" yields 0 or 1.
    bool Read(std::wstring_view name, void* destination, std::size_t length);
    // The result's bytes in the buffer, valid until the frame is destroyed.
    void* ResultSlot(std::wstring_view name);

  private:
    struct Located
    {
        FProperty* property = nullptr;
        std::uint8_t* address = nullptr;
        bool boolBit = false; // a one-byte access to a bool goes through its bit
    };

    // The parameter's place for an access of length bytes; empty when it is missing or the
    // access would leave the buffer. LocateWhole covers the whole value.
    Located Locate(std::wstring_view name, std::size_t length);
    Located LocateWhole(std::wstring_view name);
    Located LocateProperty(FProperty* property, std::size_t length);
    void RememberRead(FProperty* property);
    // Locate, plus the checks a raw write and a raw read share: the length fits the value,
    // and a bool's byte lies inside the buffer.
    Located LocateRaw(std::wstring_view name, std::size_t length);
    void DestroyUnreadResults();
    static bool Contains(const std::array<FProperty*, kMaxValues>& list, std::size_t count, const FProperty* property);

    Reflection& reflection_;
    UFunction* function_ = nullptr;
    std::size_t size_ = 0;
    ScratchBuffer buffer_;
    std::array<FProperty*, kMaxValues> constructed_{};
    std::array<FProperty*, kMaxValues> read_{};
    std::size_t constructedCount_ = 0;
    std::size_t readCount_ = 0;
    bool called_ = false;
    bool completed_ = false;
};
} // namespace Orv
