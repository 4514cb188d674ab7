// Output devices for the simulator and the tests: one that keeps every line with its level,
// and one that prints to a stream.
#pragma once

#include <DynamicOutput/DynamicOutput.hpp>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace Sim
{
struct LogLine
{
    std::wstring text;
    int32_t level; // -1 when the line came without a level
};

// Takes the optional argument, so a mod that honours has_optional_arg() sends levels here.
class UE4SS_API CapturingOutputDevice : public RC::Output::OutputDevice
{
  public:
    explicit CapturingOutputDevice(bool takesLevel = true) : takesLevel_(takesLevel) {}

    bool has_optional_arg() const override { return takesLevel_; }
    void receive(RC::File::StringViewType text) const override;
    void receive_with_optional_arg(RC::File::StringViewType text, int32_t level) const override;

    std::vector<LogLine> Lines() const;
    void Clear();

  private:
    bool takesLevel_;
    mutable std::mutex mutex_;
    mutable std::vector<LogLine> lines_;
};

// Installs a device among the default targets for the life of this object.
class UE4SS_API ScopedOutputDevice
{
  public:
    explicit ScopedOutputDevice(std::unique_ptr<RC::Output::OutputDevice> device);
    ScopedOutputDevice(const ScopedOutputDevice&) = delete;
    ScopedOutputDevice& operator=(const ScopedOutputDevice&) = delete;
    ~ScopedOutputDevice();

  private:
    RC::Output::OutputDevice* device_;
};

// Narrows a wide log line to UTF-8 for printing and reports; a character UTF-8 cannot carry
// becomes '?'.
UE4SS_API std::string ToUtf8(std::wstring_view text);
} // namespace Sim
