// What the scenarios put on the game's map besides the terrain: the registry's players,
// gravestones, lodestones, beds, landmarks and dungeons, the local player's revealed landmarks
// and waypoint, creatures with their data, NPCs, and map-icon components on actors; and what
// changes on it as a walk goes on.
#pragma once

#include "Dice.hpp"

#include <Sim/MapData.hpp>
#include <Sim/World.hpp>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace OrvSim
{
// The world and who is in it, as a scenario made them.
struct SceneryCast
{
    RC::Unreal::UWorld* world = nullptr;
    RC::Unreal::UObject* controller = nullptr; // the local player's
    RC::Unreal::UObject* remotePawn = nullptr; // another player's character, if any
    RC::Unreal::UClass* creatureClass = nullptr;
    RC::Unreal::UClass* npcClass = nullptr; // the villagers'; the game's own NPC class without one
    // The height a character stands at over (x, y).
    std::function<double(double x, double y)> standAt;
};

// The local player's character guid in every scenario.
inline constexpr Sim::Guid kOwnGuid{0x5EED0001, 0x0A0A0A0A, 0x1, 0x2};

// A creature and the map-icon component it carries, which leaves the tracker as it dies.
RC::Unreal::UObject* SpawnMarkedCreature(const SceneryCast& cast, const Sim::Placement& at, bool boss, std::uint8_t archetype);

// The glade north-west and south of the start, streamed into the world as a level of its own
// ("<map>_Glade"): two creatures and two resources, each with its map icon.
void StreamGlade(const SceneryCast& cast, std::wstring_view map);

// The walk's map, with a dice of its own so the walk itself plays as it always has.
class WalkScenery
{
  public:
    explicit WalkScenery(std::uint64_t seed) : dice_(seed * 0x9E3779B97F4A7C15ULL + 17) {}

    void SetUp(const SceneryCast& cast);
    // At a share of the run: the waypoint set, moved and cleared, landmarks revealed, the
    // crypt discovered, a creature killed and a boss arriving; every tenth of a second the
    // players' places replicate. player is where the local player stands now.
    void Step(double share, int frame, double dt, const Sim::Placement& player);
    // A creature's data, as the walk's come-and-go creatures roll it.
    void RollCreature(bool& boss, std::uint8_t& archetype);
    // The player died where it stood and came back as a new character: a gravestone is left
    // there, and the new character carries the player's own map-icon component.
    void Respawned(const Sim::Placement& diedAt, RC::Unreal::UObject* pawn);
    // The world is left: nothing of it is touched any more.
    void LeaveWorld() { cast_ = {}; doomed_ = nullptr; }
    // A new world: the map data there is only the player's entry and a lodestone.
    void EnterWorld(const SceneryCast& cast, const Sim::Placement& player);

  private:
    Dice dice_;
    SceneryCast cast_;
    std::vector<double> done_; // the shares whose events have happened
    RC::Unreal::UObject* doomed_ = nullptr; // the creature killed a third of the way in
    double remoteAngle_ = 0;
    double strangerY_ = -4000;

    bool Once(double share, double at);
    void MovePlayers(double dt, const Sim::Placement& player, bool replicate);
};

// The crowd: 500 creatures and 1000 map-icon components around a player who hardly moves.
class CrowdScenery
{
  public:
    explicit CrowdScenery(std::uint64_t seed) : dice_(seed) {}

    void SetUp(const SceneryCast& cast);
    // One creature dies and another comes every half second, so the tracker's list changes.
    void Step(int frame);

  private:
    Dice dice_;
    SceneryCast cast_;
    std::vector<RC::Unreal::UObject*> creatures_;
    Sim::Placement Around(double from, double to);
};
} // namespace OrvSim
