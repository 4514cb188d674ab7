// The scenarios orvanta-sim can play: an open world with a walking player and creatures that
// come and go, the main menu, travel to a second world, a respawn, and the two games that
// refuse the mod something (no world-change function, no tick).
#include "Scenarios.hpp"

#include <Sim/World.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace OrvSim
{
namespace
{
constexpr double kPi = std::numbers::pi;

// Draws from the generator's raw output only: the standard distributions differ between
// standard libraries, and a seed must play the same game everywhere.
class Dice
{
  public:
    explicit Dice(std::uint64_t seed) : engine_(seed) {}
    double Between(double low, double high) { return low + (high - low) * static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
    int Below(int count) { return static_cast<int>(engine_() % static_cast<std::uint64_t>(count)); }

  private:
    std::mt19937_64 engine_;
};

// The player's walk: legs of walking, standing and turning on the spot, each of its own length.
struct Leg
{
    double seconds = 0;
    double speed = 0;    // units per second
    double turnRate = 0; // degrees per second
};

struct Creature
{
    RC::Unreal::UObject* actor = nullptr;
    int leavesAtFrame = 0;
};

struct Game
{
    explicit Game(std::uint64_t seed) : dice(seed) {}

    Dice dice;
    RC::Unreal::UWorld* world = nullptr;
    RC::Unreal::UClass* creatureClass = nullptr; // the level's own blueprint creature
    RC::Unreal::UObject* gameInstance = nullptr;
    RC::Unreal::UObject* controller = nullptr;
    RC::Unreal::UObject* pawn = nullptr; // the walker; null while there is none to move
    Sim::Placement at{0, 0, 100, 0};
    Leg leg;
    double legLeft = 0;
    Sim::int64 lastClock = 0;
    std::vector<Creature> creatures;
    Creature npc;
};

void NextLeg(Game& game)
{
    switch (game.dice.Below(4))
    {
    case 0:
    case 1: game.leg = {game.dice.Between(2, 5), game.dice.Between(350, 600), game.dice.Between(-30, 30)}; break;
    case 2: game.leg = {game.dice.Between(1, 2), 0, 0}; break;
    default: game.leg = {game.dice.Between(0.5, 1), 0, game.dice.Between(0, 1) < 0.5 ? -90.0 : 90.0}; break;
    }
    game.legLeft = game.leg.seconds;
}

void Walk(Game& game)
{
    Sim::int64 now = Sim::ClockNanoseconds();
    double dt = game.lastClock == 0 ? 0 : static_cast<double>(now - game.lastClock) * 1e-9;
    game.lastClock = now;
    if (game.pawn == nullptr)
    {
        return;
    }
    while (dt > 0)
    {
        if (game.legLeft <= 0)
        {
            NextLeg(game);
        }
        double step = std::min(dt, game.legLeft);
        double heading = game.at.yaw * kPi / 180;
        game.at.x += game.leg.speed * step * std::cos(heading);
        game.at.y += game.leg.speed * step * std::sin(heading);
        game.at.yaw = std::remainder(game.at.yaw + game.leg.turnRate * step, 360.0);
        game.legLeft -= step;
        dt -= step;
    }
    Sim::SetActorPlacement(game.pawn, game.at);
}

Sim::Placement Near(Game& game, double radius)
{
    double angle = game.dice.Between(0, 2 * kPi);
    double distance = game.dice.Between(radius / 4, radius);
    return {game.at.x + distance * std::cos(angle), game.at.y + distance * std::sin(angle), game.at.z,
            game.dice.Between(-180, 180)};
}

void EnterPlayer(Game& game)
{
    auto player = Sim::EnterLocalPlayer(game.world, game.at);
    game.controller = player.controller;
    game.pawn = player.pawn;
}

// Each map brings its own blueprint creature, which implements begin play itself: its begin
// play never reaches a hook on the actor's, and the class goes when its map does.
RC::Unreal::UClass* DefineCreature(RC::Unreal::UWorld* world, std::wstring_view map)
{
    std::wstring name = L"BP_" + std::wstring(map) + L"Creature";
    return Sim::DefineLevelClass(world, {.path = L"/Game/Creatures/" + name + L"." + name + L"_C",
                                         .super = L"/Script/Umbrafel.UmbrafelAICharacter",
                                         .functions = {{L"ReceiveBeginPlay",
                                                        {},
                                                        {},
                                                        RC::Unreal::FUNC_Event | RC::Unreal::FUNC_BlueprintEvent,
                                                        [](Sim::Call&) {}}}});
}

RC::Unreal::UObject* SpawnCreature(Game& game, double radius)
{
    return Sim::SpawnActor(game.world, game.creatureClass, Near(game, radius));
}

// A world with the local player, another (remote) player, and a few creatures about.
void OpenWorld(Game& game, std::wstring_view map)
{
    game.world = Sim::CreateWorld(map);
    game.creatureClass = DefineCreature(game.world, map);
    EnterPlayer(game);
    auto* remote = Sim::CreatePlayerController(game.world, Sim::ControllerKind::Game, false);
    Sim::Possess(remote, Sim::SpawnActor(game.world, L"/Script/Umbrafel.UmbrafelPlayerCharacter", Near(game, 2000)));
    for (int i = 0; i < 3; ++i)
    {
        game.creatures.push_back({SpawnCreature(game, 3000), 120 + game.dice.Below(240)});
    }
}

// Creatures arrive every second and a half and stay a few seconds; an NPC shows up for five
// seconds out of every ten. Times count in frames at 60 per second.
void ComeAndGo(Game& game, int frame)
{
    for (auto& creature : game.creatures)
    {
        if (creature.actor != nullptr && frame >= creature.leavesAtFrame)
        {
            Sim::DestroyActor(creature.actor);
            creature.actor = nullptr;
        }
    }
    std::erase_if(game.creatures, [](const Creature& c) { return c.actor == nullptr; });
    if (game.world == nullptr || game.pawn == nullptr)
    {
        return;
    }
    if (frame % 90 == 45 && game.creatures.size() < 8)
    {
        game.creatures.push_back({SpawnCreature(game, 2500), frame + 240 + game.dice.Below(240)});
    }
    if (frame % 600 == 60)
    {
        game.npc = {Sim::SpawnActor(game.world, L"/Script/Umbrafel.InteractableNPC", Near(game, 1500)), frame + 300};
    }
    if (game.npc.actor != nullptr && frame >= game.npc.leavesAtFrame)
    {
        Sim::DestroyActor(game.npc.actor);
        game.npc = {};
    }
}

void PlayWalk(Scenario& out, const std::shared_ptr<Game>& game)
{
    out.setUp = [game] {
        OpenWorld(*game, L"Umbrafel_Open");
        game->gameInstance = Sim::CreateGameInstance(game->world);
    };
    out.beforeFrame = [game](int frame) {
        Walk(*game);
        ComeAndGo(*game, frame);
    };
}
} // namespace

bool MakeScenario(const std::string& name, std::uint64_t seed, int frames, bool seamlessTravel, Scenario& out)
{
    out = {};
    out.name = name;
    auto game = std::make_shared<Game>(seed);
    if (name == "walk")
    {
        PlayWalk(out, game);
        return true;
    }
    if (name == "menu")
    {
        out.setUp = [game] {
            game->world = Sim::CreateWorld(L"MainMenu");
            game->gameInstance = Sim::CreateGameInstance(game->world);
            game->controller = Sim::CreatePlayerController(game->world, Sim::ControllerKind::Menu);
        };
        return true;
    }
    if (name == "world-change")
    {
        // A third of the way in the player travels: the dungeon's map loads within the frame (or,
        // seamlessly, the old world takes a second and a half to die), and the new world's player
        // appears a third of a second after the travel.
        PlayWalk(out, game);
        out.beforeFrame = [game, frames, seamlessTravel, travelFrame = -1](int frame) mutable {
            if (travelFrame < 0 && frame == std::max(1, frames / 3))
            {
                travelFrame = frame;
                auto* dungeon = Sim::CreateWorld(L"Umbrafel_Dungeon", seamlessTravel);
                game->pawn = nullptr;
                game->creatures.clear();
                game->npc = {};
                game->world = dungeon;
                game->creatureClass = DefineCreature(dungeon, L"Umbrafel_Dungeon");
                for (int i = 0; i < 3; ++i)
                {
                    game->creatures.push_back({SpawnCreature(*game, 3000), frame + 120 + game->dice.Below(240)});
                }
                if (seamlessTravel)
                {
                    Sim::TravelSeamless(game->gameInstance, dungeon, 90);
                }
                else
                {
                    Sim::Travel(game->gameInstance, dungeon);
                }
            }
            if (travelFrame >= 0 && frame == travelFrame + 20)
            {
                game->at = {0, 0, -2000, 0};
                EnterPlayer(*game);
            }
            Walk(*game);
            ComeAndGo(*game, frame);
        };
        return true;
    }
    if (name == "respawn")
    {
        PlayWalk(out, game);
        out.beforeFrame = [game, frames](int frame) {
            if (frame == std::max(1, frames / 2))
            {
                game->at.x += 500;
                game->pawn = Sim::Respawn(game->controller, game->at);
            }
            Walk(*game);
            ComeAndGo(*game, frame);
        };
        return true;
    }
    if (name == "no-world-hook")
    {
        PlayWalk(out, game);
        out.game.missingFunctions.push_back(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged");
        return true;
    }
    if (name == "no-tick")
    {
        PlayWalk(out, game);
        out.refuseTick = true;
        return true;
    }
    return false;
}
} // namespace OrvSim
