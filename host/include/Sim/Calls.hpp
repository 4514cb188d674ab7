// What a mod asked the engine to run: for every object and script function it called through
// ProcessEvent, how many times, and the arguments of the latest call as the parameters held
// them when the call began. Tests read what the engine was told, not what the mod meant.
#pragma once

#include <Sim/Engine.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Sim
{
// A copy of one call's parameters, safe to keep after the engine moved on. Parameters and
// their struct members are named by dotted paths ("NewLocation.Z", "InPadding.Left",
// "InColorAndOpacity.A"). Reading a path the function lacks, or of another kind, answers 0,
// false, null or an empty text, and Has tells those apart.
class UE4SS_API RecordedCall
{
  public:
    RecordedCall() = default;

    // Whether any call was recorded.
    explicit operator bool() const { return count_ > 0; }
    // Calls recorded: of the function on the object, or of the function on any object.
    std::uint64_t Count() const { return count_; }
    // The latest call's object (which may have been freed since) and function.
    const UObject* Target() const { return target_; }
    const UFunction* Function() const { return function_; }

    bool Has(StringViewType path) const;
    bool Bool(StringViewType path) const;
    // Any number: integers, bytes, enums, floats and doubles of either engine width, bools.
    double Number(StringViewType path) const;
    UObject* Object(StringViewType path) const;
    // Strings and texts as they were passed, names as text.
    std::wstring Text(StringViewType path) const;

  private:
    friend struct CallLogAccess;
    struct Found;
    Found Locate(StringViewType path) const;

    std::uint64_t count_ = 0;
    std::uint64_t sequence_ = 0;
    const UObject* target_ = nullptr;
    const UFunction* function_ = nullptr;
    std::vector<uint8> parms_;
    // Owning values copied as text, since the engine frees them after the call.
    std::vector<std::pair<const FProperty*, std::wstring>> texts_;
};

// The latest call of the function on the object. The function is named by its short name
// ("SetPosition") or its path ("/Script/UMG.CanvasPanelSlot:SetPosition").
UE4SS_API RecordedCall LastCall(const UObject* object, StringViewType function);
// The latest call of the function on any object; Count() counts the calls on every object.
UE4SS_API RecordedCall LastCallOf(StringViewType function);
UE4SS_API std::uint64_t CallCount(const UObject* object, StringViewType function);
UE4SS_API std::uint64_t CallCount(StringViewType function);
// Forgets every recorded call, so a test can look at what follows alone. A new engine and
// an object's death forget too: memory reused by a new object starts with no calls.
UE4SS_API void ForgetCalls();
} // namespace Sim
