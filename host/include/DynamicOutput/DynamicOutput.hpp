// The loader's default output devices, where mods send their log lines.
#pragma once

#include <DynamicOutput/OutputDevice.hpp>

#include <memory>
#include <vector>

namespace RC::Output::DefaultTargets
{
UE4SS_API std::vector<std::unique_ptr<OutputDevice>>& get_default_devices_ref();
} // namespace RC::Output::DefaultTargets
