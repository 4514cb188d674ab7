// The scenarios orvanta-sim can play.
#include "Scenarios.hpp"

namespace OrvSim
{
bool MakeScenario(const std::string& name, std::uint64_t, Scenario& out)
{
    out = {};
    out.name = name;
    if (name == "walk" || name == "menu" || name == "world-change" || name == "respawn")
    {
        return true;
    }
    if (name == "no-world-hook")
    {
        out.game.missingFunctions.push_back(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged");
        return true;
    }
    if (name == "no-tick")
    {
        out.refuseTick = true;
        return true;
    }
    return false;
}
} // namespace OrvSim
