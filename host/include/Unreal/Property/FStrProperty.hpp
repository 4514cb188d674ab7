// Included by path, as with the real loader; the kinds live together in FProperty.hpp.
#pragma once

#include <Unreal/FProperty.hpp>
