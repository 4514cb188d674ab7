// The map data the scenarios lay out and change: who and what the registry lists where, which
// landmarks and dungeons the local player has found, the waypoint, creatures of every kind near
// the walk, and the map-icon components actors carry (some of the kinds a map leaves out).
#include "MapScenery.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace OrvSim
{
namespace
{
using RC::Unreal::UObject;

constexpr Sim::Guid kFriendGuid{0x5EED0002, 0x0B0B0B0B, 0x3, 0x4};
constexpr Sim::Guid kStrangerGuid{0x5EED0003, 0x0C0C0C0C, 0x5, 0x6};
constexpr Sim::Guid kCryptGuid{0xD0000001, 0x1, 0x2, 0x3};
constexpr Sim::Guid kFarCryptGuid{0xD0000002, 0x1, 0x2, 0x3};
constexpr Sim::Guid kMineGuid{0xD0000003, 0x1, 0x2, 0x3};
constexpr Sim::Guid kLairGuid{0xD0000004, 0x1, 0x2, 0x3};

// Players replicate their places ten times a second.
constexpr int kReplicationFrames = 6;

Sim::MapPoint Ground(const SceneryCast& cast, double x, double y) { return {x, y, cast.standAt(x, y)}; }

Sim::Placement Standing(const SceneryCast& cast, double x, double y, double yaw = 0)
{
    return {x, y, cast.standAt(x, y), yaw};
}

UObject* SpawnThing(const SceneryCast& cast, double x, double y)
{
    return Sim::SpawnActor(cast.world, L"/Script/Engine.Actor", Standing(cast, x, y));
}

void Mark(UObject* actor, const wchar_t* category, const wchar_t* texture, bool visible = true)
{
    Sim::AddMapIconComponent(actor, {.category = category,
                                     .texture = texture != nullptr ? Sim::GameTexture(texture) : nullptr,
                                     .visible = visible});
}
} // namespace

UObject* SpawnMarkedCreature(const SceneryCast& cast, const Sim::Placement& at, bool boss, std::uint8_t archetype)
{
    UObject* creature = Sim::SpawnCreature(cast.world, at, boss, archetype, cast.creatureClass);
    if (creature != nullptr)
    {
        Mark(creature, L"Creature", L"T_MapIcon_Creature");
    }
    return creature;
}

void StreamGlade(const SceneryCast& cast, std::wstring_view map)
{
    SceneryCast glade = cast;
    glade.world = Sim::StreamLevel(cast.world, std::wstring(map) + L"_Glade");
    if (glade.world == nullptr)
    {
        return;
    }
    SpawnMarkedCreature(glade, Standing(cast, -900, 500, 30), false, 0);
    SpawnMarkedCreature(glade, Standing(cast, 250, -1100, 200), false, 2);
    Mark(SpawnThing(glade, -1100, 300), L"Resource", L"T_MapIcon_Resource");
    Mark(SpawnThing(glade, 1300, -700), L"Resource", L"T_MapIcon_Resource");
}

// ---- The walk ----

void WalkScenery::SetUp(const SceneryCast& cast)
{
    cast_ = cast;
    UObject* controller = cast.controller;
    Sim::SetCharacterGuid(controller, kOwnGuid);
    Sim::Placement self = Sim::ActorPlacement(Sim::ObjectReference(controller, L"Pawn"));
    Sim::AddRegistryPlayer(cast.world, kOwnGuid, {self.x, self.y, self.z}, {1, 1, 1, 1}, L"Wanderer");
    if (cast.remotePawn != nullptr)
    {
        Sim::Placement remote = Sim::ActorPlacement(cast.remotePawn);
        Sim::AddRegistryPlayer(cast.world, kFriendGuid, {remote.x, remote.y, remote.z}, {0.3f, 0.9f, 0.4f, 1}, L"Friend");
    }
    Sim::AddRegistryPlayer(cast.world, kStrangerGuid, Ground(cast, 6000, strangerY_), {0.9f, 0.5f, 0.2f, 1}, L"Stranger");

    Sim::AddGravestone(cast.world, kOwnGuid, Ground(cast, -1200, 2600));
    Sim::AddGravestone(cast.world, kFriendGuid, Ground(cast, 2200, -2600));
    // The first two stand closer than ten units to each other.
    Sim::AddLodestone(cast.world, Ground(cast, 1800, -400));
    Sim::AddLodestone(cast.world, Ground(cast, 1806, -395));
    Sim::AddLodestone(cast.world, Ground(cast, -2400, -2400));
    Sim::AddBed(cast.world, kOwnGuid, Ground(cast, 1200, 2000));
    Sim::AddBed(cast.world, kFriendGuid, Ground(cast, 3100, 3000));
    Sim::AddBed(cast.world, {}, Ground(cast, -2100, 2450));

    Sim::AddLandmark(cast.world, L"Landmark_WatchTower", L"Map.Landmark.Tower", Ground(cast, 1600, 600), true);
    Sim::AddLandmark(cast.world, L"Landmark_Hamlet", L"Map.Landmark.Village", Ground(cast, 3200, 3000), false);
    Sim::AddLandmark(cast.world, L"Landmark_StandingStones", L"Map.Landmark.Shrine", Ground(cast, -3000, -600), true);
    Sim::AddLandmark(cast.world, L"Landmark_HuntersCamp", L"Map.Landmark.Camp", Ground(cast, 200, -1500), true);
    Sim::AddLandmark(cast.world, L"Landmark_CaveMouth", L"Map.Landmark.Cave", Ground(cast, 450, 650), false);
    // A style with only the placeholder's picture, a tag naming the local player's type, and a
    // tag the table lacks: none of them is a landmark to show.
    Sim::AddLandmark(cast.world, L"Landmark_OldRuins", L"Map.Landmark.Ruins", Ground(cast, -1500, 1200), false);
    Sim::AddLandmark(cast.world, L"Landmark_SpawnMarker", L"Map.Player.Marker", Ground(cast, 100, 100), false);
    Sim::AddLandmark(cast.world, L"Landmark_Wreck", L"Map.Landmark.Wreck", Ground(cast, -600, 3000), false);

    Sim::AddDungeonEntrance(cast.world, kCryptGuid, L"Map.Dungeon.Crypt", Ground(cast, 320, 520), true);
    Sim::AddDungeonEntrance(cast.world, kFarCryptGuid, L"Map.Dungeon.Crypt", Ground(cast, 5000, 5000), true);
    Sim::AddDungeonEntrance(cast.world, kMineGuid, L"Map.Dungeon.Mine", Ground(cast, 3400, -1300), false);
    Sim::AddDungeonEntrance(cast.world, kLairGuid, L"Map.Dungeon.Lair", Ground(cast, -3000, 3000), false);
    Sim::AddDiscoverableDungeon(cast.world, kCryptGuid);
    Sim::AddDiscoverableDungeon(cast.world, kFarCryptGuid);

    // Landmarks found in earlier sessions; two forgotten again, which leaves the set holes.
    for (const wchar_t* name : {L"Landmark_Hamlet", L"Landmark_OldMill", L"Landmark_Ferry", L"Landmark_Lighthouse"})
    {
        Sim::RevealLandmark(controller, name);
    }
    Sim::ForgetLandmark(controller, L"Landmark_OldMill");
    Sim::ForgetLandmark(controller, L"Landmark_Ferry");

    // Creatures of each kind near the path, a boss in the cave, NPCs by the houses.
    SpawnMarkedCreature(cast, Standing(cast, 600, 150), false, 0);
    doomed_ = SpawnMarkedCreature(cast, Standing(cast, 1400, 300), false, 1);
    SpawnMarkedCreature(cast, Standing(cast, -400, 900), false, 2);
    SpawnMarkedCreature(cast, {-1500, -1400, -2600 + 90, 45}, true, 2);
    UObject* merchant = cast.npcClass != nullptr ? Sim::SpawnActor(cast.world, cast.npcClass, Standing(cast, 950, 950, -90))
                                                 : Sim::SpawnActor(cast.world, L"/Script/Umbrafel.InteractableNPC",
                                                                   Standing(cast, 950, 950, -90));
    Mark(merchant, L"QuestGiver", L"T_MapIcon_Quest");
    Sim::SpawnActor(cast.world, L"/Script/Umbrafel.InteractableNPC", Standing(cast, 2900, 2500));

    // Map-icon components the game puts on things: resources, one hidden; a region's label; a
    // passing effect; the player's own; one with no category showing a lodestone's picture.
    const double resources[][2] = {{700, -300}, {-200, 300}, {1100, 800}, {-800, -200}, {2000, 1000}};
    for (const auto& at : resources)
    {
        Mark(SpawnThing(cast, at[0], at[1]), L"Resource", L"T_MapIcon_Resource");
    }
    Mark(SpawnThing(cast, 300, -800), L"Resource", L"T_MapIcon_Resource", false);
    Mark(SpawnThing(cast, 0, 2600), L"MapRegionLabel", nullptr);
    Mark(SpawnThing(cast, 900, 400), L"Temp", L"T_MapIcon_Pin");
    Mark(Sim::ObjectReference(controller, L"Pawn"), L"LocalPlayerCharacter", L"T_MapIcon_Arrow");
    Mark(SpawnThing(cast, 1800, -400), L"", L"T_MapIcon_Lodestone");
}

bool WalkScenery::Once(double share, double at)
{
    if (share < at || std::find(done_.begin(), done_.end(), at) != done_.end())
    {
        return false;
    }
    done_.push_back(at);
    return true;
}

void WalkScenery::MovePlayers(double dt, const Sim::Placement& player, bool replicate)
{
    // The friend walks a circle south-east of the start at a walker's pace; the stranger, far
    // off, goes north.
    constexpr double kRadius = 700;
    constexpr double kSpeed = 250;
    remoteAngle_ += kSpeed / kRadius * dt;
    strangerY_ += 300 * dt;
    Sim::MapPoint friendAt{2000 + kRadius * std::cos(remoteAngle_), -300 + kRadius * std::sin(remoteAngle_), 0};
    friendAt.z = cast_.standAt(friendAt.x, friendAt.y);
    if (cast_.remotePawn != nullptr && Sim::HoldsObject(cast_.remotePawn))
    {
        const double heading = remoteAngle_ + std::numbers::pi / 2;
        Sim::SetActorPlacement(cast_.remotePawn, {friendAt.x, friendAt.y, friendAt.z, heading * 180 / std::numbers::pi});
        Sim::SetActorVelocity(cast_.remotePawn, kSpeed * std::cos(heading), kSpeed * std::sin(heading), 0);
    }
    if (replicate)
    {
        Sim::MoveRegistryPlayer(cast_.world, kOwnGuid, {player.x, player.y, player.z});
        if (cast_.remotePawn != nullptr)
        {
            Sim::MoveRegistryPlayer(cast_.world, kFriendGuid, friendAt);
        }
        Sim::MoveRegistryPlayer(cast_.world, kStrangerGuid, Ground(cast_, 6000, strangerY_));
    }
}

void WalkScenery::Step(double share, int frame, double dt, const Sim::Placement& player)
{
    if (cast_.world == nullptr)
    {
        return;
    }
    MovePlayers(dt, player, frame % kReplicationFrames == 0);
    if (Once(share, 0.10))
    {
        Sim::PlaceWaypoint(cast_.world, Ground(cast_, 2600, 600));
    }
    if (Once(share, 0.15))
    {
        Sim::RevealLandmark(cast_.controller, L"Landmark_WatchTower");
    }
    if (Once(share, 0.30))
    {
        Sim::PlaceWaypoint(cast_.world, Ground(cast_, -2000, -1500));
    }
    if (Once(share, 0.35) && doomed_ != nullptr)
    {
        Sim::DestroyActor(doomed_);
        doomed_ = nullptr;
    }
    if (Once(share, 0.45))
    {
        Sim::RevealLandmark(cast_.controller, L"Landmark_HuntersCamp");
    }
    if (Once(share, 0.48))
    {
        Sim::DiscoverDungeon(cast_.world, kCryptGuid);
    }
    if (Once(share, 0.60))
    {
        Sim::ForgetLandmark(cast_.controller, L"Landmark_Lighthouse");
        Sim::AddBed(cast_.world, kFriendGuid, Ground(cast_, -2300, 2200));
    }
    if (Once(share, 0.65))
    {
        // The friend took back what their gravestone held.
        Sim::RemoveRegistryEntry(cast_.world, L"Gravestones", 1);
    }
    if (Once(share, 0.75))
    {
        SpawnMarkedCreature(cast_, Standing(cast_, player.x + 900, player.y - 600, 180), true, 2);
    }
    if (Once(share, 0.90))
    {
        Sim::ClearWaypoint(cast_.world);
    }
}

void WalkScenery::RollCreature(bool& boss, std::uint8_t& archetype)
{
    boss = dice_.Below(8) == 0;
    archetype = static_cast<std::uint8_t>(dice_.Below(3));
}

void WalkScenery::Respawned(const Sim::Placement& diedAt, UObject* pawn)
{
    if (cast_.world != nullptr)
    {
        Sim::AddGravestone(cast_.world, kOwnGuid, {diedAt.x, diedAt.y, diedAt.z});
        Mark(pawn, L"LocalPlayerCharacter", L"T_MapIcon_Arrow");
    }
}

void WalkScenery::EnterWorld(const SceneryCast& cast, const Sim::Placement& player)
{
    cast_ = cast;
    done_ = {0.10, 0.15, 0.30, 0.35, 0.45, 0.48, 0.60, 0.65, 0.75, 0.90};
    doomed_ = nullptr;
    Sim::SetCharacterGuid(cast.controller, kOwnGuid);
    Sim::AddRegistryPlayer(cast.world, kOwnGuid, {player.x, player.y, player.z}, {1, 1, 1, 1}, L"Wanderer");
    Sim::AddLodestone(cast.world, {player.x + 600, player.y, player.z});
}

// ---- The crowd ----

Sim::Placement CrowdScenery::Around(double from, double to)
{
    const double angle = dice_.Between(0, 2 * std::numbers::pi);
    const double distance = dice_.Between(from, to);
    return Standing(cast_, distance * std::cos(angle), distance * std::sin(angle), dice_.Between(-180, 180));
}

void CrowdScenery::SetUp(const SceneryCast& cast)
{
    cast_ = cast;
    Sim::SetCharacterGuid(cast.controller, kOwnGuid);
    Sim::AddRegistryPlayer(cast.world, kOwnGuid, {0, 0, cast.standAt(0, 0)}, {1, 1, 1, 1}, L"Wanderer");
    for (std::uint32_t i = 0; i < 7; ++i)
    {
        const Sim::Placement at = Around(800, 6000);
        Sim::AddRegistryPlayer(cast.world, {0xC0000000 + i, i, i, i}, {at.x, at.y, at.z}, {0.4f, 0.7f, 1, 1},
                               L"Player" + std::to_wstring(i));
    }
    for (int i = 0; i < 10; ++i)
    {
        const Sim::Placement at = Around(500, 6000);
        Sim::AddLodestone(cast.world, {at.x, at.y, at.z});
    }
    for (int i = 0; i < 6; ++i)
    {
        const Sim::Placement at = Around(500, 6000);
        Sim::AddLandmark(cast.world, L"Landmark_Crowd" + std::to_wstring(i), L"Map.Landmark.Tower", {at.x, at.y, at.z}, i % 2 == 0);
    }
    for (int i = 0; i < 500; ++i)
    {
        const bool boss = dice_.Below(20) == 0;
        creatures_.push_back(SpawnMarkedCreature(cast, Around(300, 5000), boss, static_cast<std::uint8_t>(dice_.Below(3))));
    }
    // Resource nodes and the other kinds of map-icon component, one each on 500 actors.
    for (int i = 0; i < 500; ++i)
    {
        const Sim::Placement at = Around(200, 5000);
        UObject* thing = SpawnThing(cast, at.x, at.y);
        const int kind = dice_.Below(20);
        if (kind == 0)
        {
            Mark(thing, L"Temp", L"T_MapIcon_Pin");
        }
        else if (kind == 1)
        {
            Mark(thing, L"MapRegionLabel", nullptr);
        }
        else if (kind == 2 || kind == 3)
        {
            Mark(thing, L"", kind == 2 ? L"T_MapIcon_Lodestone" : L"T_MapIcon_Bed");
        }
        else
        {
            Mark(thing, L"Resource", L"T_MapIcon_Resource", kind != 4);
        }
    }
}

void CrowdScenery::Step(int frame)
{
    if (frame % 30 != 15 || creatures_.empty())
    {
        return;
    }
    const auto index = static_cast<std::size_t>(dice_.Below(static_cast<int>(creatures_.size())));
    Sim::DestroyActor(creatures_[index]);
    creatures_[index] = SpawnMarkedCreature(cast_, Around(300, 5000), dice_.Below(20) == 0, static_cast<std::uint8_t>(dice_.Below(3)));
}
} // namespace OrvSim
