// Storage of the one process-wide settings record.
#include "settings/ModSettings.hpp"

namespace Orv
{
    namespace
    {
        // Constant-initialised, so the defaults are in place before any code of the library runs.
        constinit ModSettings settingsInstance{};
    }

    ModSettings& Settings()
    {
        return settingsInstance;
    }
}
