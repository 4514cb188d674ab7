// Storage of the one process-wide hud.ini record.
#include "settings/HudSettings.hpp"

namespace Orv
{
    namespace
    {
        // Constant-initialised, so the defaults are in place before any code of the library runs.
        constinit HudSettings hudInstance{};
    }

    HudSettings& Hud()
    {
        return hudInstance;
    }
}
