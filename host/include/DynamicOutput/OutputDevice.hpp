// A destination for log lines. Devices that take the optional argument get the log level.
#pragma once

#include <File/Macros.hpp>

namespace RC::Output
{
class UE4SS_API OutputDevice
{
  public:
    OutputDevice() = default;
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;
    virtual ~OutputDevice();

    virtual bool has_optional_arg() const { return false; }
    virtual void receive(File::StringViewType text) const = 0;
    // Throws: only call it when has_optional_arg() is true.
    virtual void receive_with_optional_arg(File::StringViewType text, int32_t level) const;
};
} // namespace RC::Output
