// Forwards to the tick and callback API's own header.
#pragma once

#include <Unreal/Hooks/Hooks.hpp>
