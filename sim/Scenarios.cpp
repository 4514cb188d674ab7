// The scenarios orvanta-sim can play: an open world of hills, houses and a cave under them, with
// a player who walks the fields, into a house, down into the cave and out again while night
// falls, creatures that come and go, and the map's data changing on the way; the main menu,
// travel to the dungeon's own world, a respawn, the two games that refuse the mod something
// (no world-change function, no tick), a crowd of creatures and map-icon components, and a
// player working through the minimap's edit mode with the mouse and keys.
#include "Scenarios.hpp"
#include "Dice.hpp"
#include "MapScenery.hpp"
#include "WidgetReport.hpp"

#include <Sim/Faults.hpp>
#include <Sim/Input.hpp>
#include <Sim/Scene.hpp>
#include <Sim/World.hpp>
#include <Unreal/UObjectArray.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace OrvSim
{
namespace
{
constexpr double kPi = std::numbers::pi;

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

// Where the scripted walk is at a share of the run: it walks straight from one stop to the next.
struct Stop
{
    double share = 0;
    double x = 0, y = 0;
    double look = 0; // degrees to look aside while standing here
};

struct Game
{
    explicit Game(std::uint64_t seed) : dice(seed), scenery(seed), crowd(seed) {}

    Dice dice;
    WalkScenery scenery; // the map data, with dice of its own
    CrowdScenery crowd;
    RC::Unreal::UWorld* world = nullptr;
    RC::Unreal::UClass* creatureClass = nullptr; // the level's own blueprint creature
    RC::Unreal::UClass* npcClass = nullptr;      // the villager's blueprint, which the level uses
    RC::Unreal::UObject* gameInstance = nullptr;
    RC::Unreal::UObject* controller = nullptr;
    RC::Unreal::UObject* pawn = nullptr; // the walker; null while there is none to move
    RC::Unreal::UObject* remotePawn = nullptr; // the other player's character in the open world
    double circle = 0; // how far round the crowd's player has walked, in radians
    Sim::Placement at{0, 0, 100, 0};
    Leg leg;
    double legLeft = 0;
    Sim::int64 lastClock = 0;
    std::vector<Creature> creatures;
    Creature npc;
    std::vector<Sim::Area> houses; // what a wandering player walks around
    std::vector<Stop> fields;      // the scripted walk above ground, into and out of the house
    std::vector<Stop> cave;        // and below it
    bool inCave = false;
    bool nightFell = false;
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

// The clock's step since the scenario last looked, in seconds.
double Step(Game& game)
{
    Sim::int64 now = Sim::ClockNanoseconds();
    double dt = game.lastClock == 0 ? 0 : static_cast<double>(now - game.lastClock) * 1e-9;
    game.lastClock = now;
    return dt;
}

// A character climbs a porch's step or two and follows the ground and floors down.
constexpr double kStepUp = 150;
constexpr double kHalfHeight = 90;

double StandingHeight(Game& game, double x, double y, double z)
{
    double floor = Sim::FloorBelow(game.world, x, y, z - kHalfHeight + kStepUp);
    return std::isnan(floor) ? z : floor + kHalfHeight;
}

bool NearAHouse(const Game& game, double x, double y)
{
    constexpr double kMargin = 200;
    return std::any_of(game.houses.begin(), game.houses.end(), [&](const Sim::Area& house) {
        return Sim::Area{house.minX - kMargin, house.minY - kMargin, house.maxX + kMargin, house.maxY + kMargin}.Contains(x, y);
    });
}

// Where the player is goes to the pawn, and what it does to the pawn's velocity and the
// controller's view.
void Place(Game& game, double vx, double vy)
{
    if (game.pawn == nullptr)
    {
        return;
    }
    Sim::SetActorPlacement(game.pawn, game.at);
    Sim::SetActorVelocity(game.pawn, vx, vy, 0);
    if (game.controller != nullptr)
    {
        Sim::SetControlRotation(game.controller, 0, game.at.yaw, 0);
    }
}

// Random legs of walking, standing and turning, turning back at the houses' walls.
void Wander(Game& game, double dt)
{
    double vx = 0;
    double vy = 0;
    const double seconds = dt;
    while (dt > 0)
    {
        if (game.legLeft <= 0)
        {
            NextLeg(game);
        }
        double step = std::min(dt, game.legLeft);
        double heading = game.at.yaw * kPi / 180;
        double x = game.at.x + game.leg.speed * step * std::cos(heading);
        double y = game.at.y + game.leg.speed * step * std::sin(heading);
        if (game.leg.speed > 0 && NearAHouse(game, x, y) && !NearAHouse(game, game.at.x, game.at.y))
        {
            game.at.yaw = std::remainder(game.at.yaw + 180, 360.0);
        }
        else
        {
            vx += x - game.at.x;
            vy += y - game.at.y;
            game.at.x = x;
            game.at.y = y;
        }
        game.at.yaw = std::remainder(game.at.yaw + game.leg.turnRate * step, 360.0);
        game.legLeft -= step;
        dt -= step;
    }
    game.at.z = StandingHeight(game, game.at.x, game.at.y, game.at.z);
    Place(game, seconds > 0 ? vx / seconds : 0, seconds > 0 ? vy / seconds : 0);
}

void Walk(Game& game)
{
    double dt = Step(game);
    if (game.pawn != nullptr)
    {
        Wander(game, dt);
    }
}

// Along the stops by the share of the run, facing the way it goes, or looking aside where it
// stands; turning no faster than a person would.
void FollowStops(Game& game, const std::vector<Stop>& stops, double share, double dt)
{
    auto next = std::find_if(stops.begin(), stops.end(), [share](const Stop& s) { return s.share > share; });
    const Stop& to = next == stops.end() ? stops.back() : *next;
    const Stop& from = next == stops.begin() ? stops.front() : *(next - 1);
    const double span = to.share - from.share;
    const double t = span > 0 ? std::clamp((share - from.share) / span, 0.0, 1.0) : 1.0;
    const double x = from.x + (to.x - from.x) * t;
    const double y = from.y + (to.y - from.y) * t;
    const double dx = x - game.at.x;
    const double dy = y - game.at.y;
    const bool moving = std::hypot(to.x - from.x, to.y - from.y) > 1;
    const double wanted = moving ? std::atan2(to.y - from.y, to.x - from.x) * 180 / kPi : game.at.yaw + from.look;
    const double turn = std::remainder(wanted - game.at.yaw, 360.0);
    const double most = 360 * dt;
    game.at.yaw = std::remainder(game.at.yaw + std::clamp(turn, -most, most), 360.0);
    game.at.x = x;
    game.at.y = y;
    game.at.z = StandingHeight(game, x, y, game.at.z);
    Place(game, dt > 0 ? dx / dt : 0, dt > 0 ? dy / dt : 0);
}

Sim::Placement Near(Game& game, double radius)
{
    double angle = game.dice.Between(0, 2 * kPi);
    double distance = game.dice.Between(radius / 4, radius);
    double x = game.at.x + distance * std::cos(angle);
    double y = game.at.y + distance * std::sin(angle);
    return {x, y, StandingHeight(game, x, y, game.at.z), game.dice.Between(-180, 180)};
}

// Travel leaves everyone of the old world behind: its players, creatures, houses and map data.
void LeaveWorld(Game& game)
{
    game.pawn = nullptr;
    game.remotePawn = nullptr;
    game.scenery.LeaveWorld();
    game.houses.clear();
    game.creatures.clear();
    game.npc = {};
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
                                         .overrides = {{L"ReceiveBeginPlay", [](Sim::Call&) {}}}});
}

// The villagers who come and go are a blueprint of the game's NPC class, which greets and says
// goodbye in its own begin and end of play; every map with villagers uses it.
RC::Unreal::UClass* DefineVillager(RC::Unreal::UWorld* world)
{
    return Sim::DefineLevelClass(world, {.path = L"/Game/Characters/BP_Villager.BP_Villager_C",
                                         .super = L"/Script/Umbrafel.InteractableNPC",
                                         .overrides = {{L"ReceiveBeginPlay", [](Sim::Call&) {}},
                                                       {L"ReceiveEndPlay", [](Sim::Call&) {}}}});
}

void DefineLevelClasses(Game& game, RC::Unreal::UWorld* world, std::wstring_view map)
{
    game.creatureClass = DefineCreature(world, map);
    game.npcClass = DefineVillager(world);
}

// The game instance is a blueprint of the game's own class that implements the world-change
// event itself, as a shipped game's does: the engine runs the blueprint's function, so a hook
// on the native declaration hears nothing. A game without the event has nothing to implement.
RC::Unreal::UObject* NewGameInstance(RC::Unreal::UWorld* world)
{
    const bool hasEvent = Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged") != nullptr;
    Sim::ClassDef blueprint{.path = L"/Game/Core/BP_UmbrafelGameInstance.BP_UmbrafelGameInstance_C",
                            .super = L"/Script/Umbrafel.UmbrafelGameInstance",
                            .blueprint = true};
    if (hasEvent)
    {
        blueprint.overrides = {{L"K2_OnWorldChanged", [](Sim::Call&) {}}};
    }
    return Sim::CreateGameInstanceOf(world, Sim::DefineClass(blueprint));
}

// What the map data needs to know of the world and who is in it. Things stand on the ground:
// the map cares for where they are across, not for the floor they stand on.
SceneryCast Cast(const Game& game)
{
    RC::Unreal::UWorld* world = game.world;
    return {world, game.controller, game.remotePawn, game.creatureClass, game.npcClass,
            [world](double x, double y) { return Sim::GroundHeight(world, x, y) + kHalfHeight; }};
}

RC::Unreal::UObject* SpawnCreature(Game& game, double radius)
{
    const Sim::Placement at = Near(game, radius);
    bool boss = false;
    std::uint8_t archetype = 0;
    game.scenery.RollCreature(boss, archetype);
    return SpawnMarkedCreature(Cast(game), at, boss, archetype);
}

// The open map, the same in every session: hills, four houses (the first one's door faces the
// start, 1000 units north-east of it) and a cave 2600 under the fields south-west of the
// start, its ceiling low in the west, high in the east, with an upper level over its southern
// part 1500 above the cave floor.
constexpr Sim::Area kHome{200, 1200, 1400, 2200};
constexpr double kCaveFloor = -2600;

double HighestGround(Game& game, const Sim::Area& area)
{
    double highest = -1e300;
    for (double x = area.minX; x <= area.maxX; x += 50)
    {
        for (double y = area.minY; y <= area.maxY; y += 50)
        {
            highest = std::max(highest, Sim::GroundHeight(game.world, x, y));
        }
    }
    return highest;
}

void BuildOpenMap(Game& game)
{
    Sim::SetTerrain(game.world, Sim::RollingHills(12000, 40, 120, 20240611));
    const struct
    {
        Sim::Area footprint;
        Sim::Colour roof;
    } houses[] = {{kHome, {170, 60, 45}},
                  {{2600, 2600, 3600, 3400}, {90, 100, 120}},
                  {{-2600, 2000, -1600, 2900}, {120, 80, 50}},
                  {{3000, -1800, 3800, -800}, {60, 120, 120}}};
    for (const auto& house : houses)
    {
        // Floors sit just over the highest ground they cover.
        const double floor = HighestGround(game, house.footprint) + 8;
        Sim::AddBuilding(game.world, {.footprint = house.footprint, .floorZ = floor, .roofZ = floor + 460, .roof = house.roof});
        game.houses.push_back(house.footprint);
    }
    Sim::AddDungeon(game.world, {.region = {-3600, -3200, 800, 900},
                                 .floorZ = kCaveFloor,
                                 .ceilings = {{{-3600, -3200, -1800, 900}, kCaveFloor + 400},
                                              {{-1800, -3200, -400, 900}, kCaveFloor + 650},
                                              {{-400, -3200, 800, 900}, kCaveFloor + 900}},
                                 .upperArea = {-3600, -3200, -600, -1000},
                                 .upperFloorZ = kCaveFloor + 1500,
                                 .upperCeilingZ = kCaveFloor + 1900});
}

// The walk's stops, with a little of the seed in where it wanders and looks. Above ground: out
// over the field, a look around, through the house's door (in its southern wall, x 800), about
// the house, out again and over to where the cave lies below. Below: from where the player
// comes down, under the middle ceiling with the upper level above, to under the low one.
void PlanWalk(Game& game)
{
    const double fieldX = 350 + game.dice.Between(-150, 150);
    const double fieldY = 400 + game.dice.Between(-150, 150);
    const double look = game.dice.Between(0, 1) < 0.5 ? -90.0 : 90.0;
    const double roomX = 500 + game.dice.Between(-60, 60);
    const double roomY = 1800 + game.dice.Between(-60, 60);
    game.fields = {{0.00, 0, 0},          {0.08, fieldX, fieldY, look}, {0.12, fieldX, fieldY},
                   {0.20, 800, 1050},     {0.24, 800, 1450},            {0.29, roomX, roomY, -look},
                   {0.32, roomX, roomY},  {0.36, 950, 1700},            {0.40, 800, 1350},
                   {0.43, 800, 1050},     {0.50, 300, 500}};
    game.cave = {{0.50, -900, -700}, {0.57, -1100, -1300}, {0.64, -1900, -1300, look}, {0.70, -1900, -1300}};
    game.at.yaw = std::atan2(fieldY, fieldX) * 180 / kPi;
}

// A world with the local player, another (remote) player, and a few creatures about, some of
// them in the glade streamed into it.
void OpenWorld(Game& game, std::wstring_view map)
{
    game.world = Sim::CreateWorld(map);
    BuildOpenMap(game);
    DefineLevelClasses(game, game.world, map);
    game.at.z = StandingHeight(game, game.at.x, game.at.y, game.at.z);
    EnterPlayer(game);
    auto* remote = Sim::CreatePlayerController(game.world, Sim::ControllerKind::Game, false);
    game.remotePawn = Sim::SpawnActor(game.world, L"/Script/Umbrafel.UmbrafelPlayerCharacter", Near(game, 2000));
    Sim::Possess(remote, game.remotePawn);
    for (int i = 0; i < 3; ++i)
    {
        game.creatures.push_back({SpawnCreature(game, 3000), 120 + game.dice.Below(240)});
    }
    StreamGlade(Cast(game), map);
}

// The dungeon's own map: one wide cave 2000 under flat ground, with an upper level in the south.
void BuildDungeonMap(RC::Unreal::UWorld* world)
{
    constexpr double kFloor = -2090;
    Sim::AddDungeon(world, {.region = {-8000, -8000, 8000, 8000},
                            .floorZ = kFloor,
                            .ceilings = {{{-8000, -8000, 0, 8000}, kFloor + 400}, {{0, -8000, 8000, 8000}, kFloor + 650}},
                            .upperArea = {-8000, -8000, 8000, -1000},
                            .upperFloorZ = kFloor + 1500,
                            .upperCeilingZ = kFloor + 1850});
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
        game.npc = {Sim::SpawnActor(game.world, game.npcClass, Near(game, 1500)), frame + 300};
    }
    if (game.npc.actor != nullptr && frame >= game.npc.leavesAtFrame)
    {
        Sim::DestroyActor(game.npc.actor);
        game.npc = {};
    }
}

// The walk, at shares of the run: the fields until a fifth in, the house from about a quarter
// to two fifths, the cave from half to seven tenths (down and up again in a step), then the
// fields again, wandering, as night falls at eight tenths.
void PlayWalk(Scenario& out, const std::shared_ptr<Game>& game, int frames)
{
    out.setUp = [game] {
        OpenWorld(*game, L"Umbrafel_Open");
        PlanWalk(*game);
        game->gameInstance = NewGameInstance(game->world);
        game->scenery.SetUp(Cast(*game));
    };
    out.beforeFrame = [game, frames](int frame) {
        const double share = static_cast<double>(frame) / std::max(frames, 1);
        const double dt = Step(*game);
        const bool below = share >= game->cave.front().share && share < game->cave.back().share;
        if (below != game->inCave)
        {
            game->inCave = below;
            const Stop& to = below ? game->cave.front() : game->fields.back();
            game->at.x = to.x;
            game->at.y = to.y;
            game->at.z = below ? kCaveFloor + kHalfHeight : Sim::GroundHeight(game->world, to.x, to.y) + kHalfHeight;
        }
        if (share < game->cave.back().share)
        {
            FollowStops(*game, below ? game->cave : game->fields, share, dt);
        }
        else
        {
            Wander(*game, dt);
        }
        if (!game->nightFell && share >= 0.8)
        {
            game->nightFell = true;
            Sim::SetNight(game->world, true);
        }
        ComeAndGo(*game, frame);
        game->scenery.Step(share, frame, dt, game->at);
    };
}

// The crowd: the player strolls a small circle at a fifth of a walker's pace among 500
// creatures and 500 marked things.
void PlayCrowd(Scenario& out, const std::shared_ptr<Game>& game)
{
    out.setUp = [game] {
        game->world = Sim::CreateWorld(L"Umbrafel_Crowd");
        Sim::SetTerrain(game->world, Sim::RollingHills(8000, 40, 80, 20240612));
        DefineLevelClasses(*game, game->world, L"Umbrafel_Crowd");
        game->at.z = StandingHeight(*game, game->at.x, game->at.y, game->at.z);
        EnterPlayer(*game);
        game->gameInstance = NewGameInstance(game->world);
        game->crowd.SetUp(Cast(*game));
    };
    out.beforeFrame = [game](int frame) {
        constexpr double kRadius = 300;
        constexpr double kSpeed = 80;
        const double dt = Step(*game);
        const double x = game->at.x;
        const double y = game->at.y;
        game->circle += kSpeed / kRadius * dt;
        game->at.x = kRadius * std::sin(game->circle);
        game->at.y = kRadius - kRadius * std::cos(game->circle);
        game->at.yaw = std::remainder(game->circle * 180 / kPi, 360.0);
        game->at.z = StandingHeight(*game, game->at.x, game->at.y, game->at.z);
        Place(*game, dt > 0 ? (game->at.x - x) / dt : 0, dt > 0 ? (game->at.y - y) / dt : 0);
        game->crowd.Step(frame);
    };
}

// The edit mode worked through as a player would, with pauses between the steps so that
// screenshots show each: EDIT; the frame dragged by its map; the handle dragged; "+" twice; each
// toggle once; 120 typed into MAP FPS and ".5" into QUALITY; RESET DEFAULTS; LOCK pressed and
// held while the mouse slips off it. Where to click is read from the screen when the step
// comes, since the frame moves and resizes on the way.
enum class EditAction
{
    MouseToControl, // the mouse to the middle of a control (by its index)
    MouseToMap,     // the mouse to the middle of the map
    MouseBy,        // the mouse moved by pixels
    KeyDown,
    KeyUp,
};

struct EditStep
{
    int frame = 0;
    EditAction action = EditAction::KeyUp;
    std::size_t control = 0;
    double dx = 0, dy = 0;
    int key = 0;
};

// The controls by the HUD's order.
constexpr std::size_t kEditControl = 0;
constexpr std::size_t kZoomInControl = 1;
constexpr std::size_t kFirstToggle = 3; // AI, O, IN, RES, QUEST, POI
constexpr std::size_t kToggles = 6;
constexpr std::size_t kMapFpsField = 9;
constexpr std::size_t kQualityField = 11;
constexpr std::size_t kResetControl = 12;
constexpr std::size_t kResizeHandle = 13;

class EditScript
{
  public:
    EditScript() : left_(Sim::KeyCodeByName("left")) {}

    // A click: the mouse to the control, the button down there and up two frames later.
    int Click(int frame, std::size_t control)
    {
        Add({frame, EditAction::MouseToControl, control});
        Add({frame, EditAction::KeyDown, 0, 0, 0, left_});
        Add({frame + 2, EditAction::KeyUp, 0, 0, 0, left_});
        return frame + 2;
    }

    int Tap(int frame, const char* key)
    {
        const int code = Sim::KeyCodeByName(key);
        Add({frame, EditAction::KeyDown, 0, 0, 0, code});
        Add({frame + 1, EditAction::KeyUp, 0, 0, 0, code});
        return frame + 1;
    }

    // The button pressed where the mouse goes, moved in even steps every `every` frames, and
    // released a few frames after the last.
    int Drag(int frame, EditStep grab, double dx, double dy, int steps, int every)
    {
        grab.frame = frame;
        Add(grab);
        Add({frame, EditAction::KeyDown, 0, 0, 0, left_});
        for (int step = 1; step <= steps; ++step)
        {
            Add({frame + step * every, EditAction::MouseBy, 0, dx / steps, dy / steps});
        }
        const int release = frame + steps * every + 4;
        Add({release, EditAction::KeyUp, 0, 0, 0, left_});
        return release;
    }

    bool Done() const { return next_ >= steps_.size(); }

    void Play(int frame)
    {
        while (next_ < steps_.size() && steps_[next_].frame <= frame)
        {
            Apply(steps_[next_++]);
        }
    }

  private:
    void Add(const EditStep& step) { steps_.push_back(step); }

    static void MouseToMiddle(const ControlOnScreen& at)
    {
        Sim::SetMousePosition(at.x + at.width / 2, at.y + at.height / 2);
    }

    // A control or map not on screen (the HUD not built yet) leaves the mouse where it is.
    static void Apply(const EditStep& step)
    {
        switch (step.action)
        {
        case EditAction::MouseToControl:
        {
            const std::vector<ControlOnScreen> controls = ControlsOnScreen();
            if (step.control < controls.size() && controls[step.control].visible)
            {
                MouseToMiddle(controls[step.control]);
            }
            break;
        }
        case EditAction::MouseToMap:
            if (const auto map = MapOnScreen())
            {
                MouseToMiddle(*map);
            }
            break;
        case EditAction::MouseBy:
        {
            const Sim::MousePosition at = Sim::CurrentMousePosition();
            if (at.overViewport)
            {
                Sim::SetMousePosition(at.x + step.dx, at.y + step.dy);
            }
            break;
        }
        case EditAction::KeyDown: Sim::SetKeyDown(step.key, true); break;
        case EditAction::KeyUp: Sim::SetKeyDown(step.key, false); break;
        }
    }

    int left_;
    std::vector<EditStep> steps_; // in frame order, as added
    std::size_t next_ = 0;
};

// The steps from frame 60, once the HUD has long been up, to about frame 430; each step's
// frames follow the last one's with a pause of 25.
std::shared_ptr<EditScript> PlanEditing()
{
    constexpr int kPause = 25;
    auto script = std::make_shared<EditScript>();
    int at = script->Click(60, kEditControl);
    at = script->Drag(at + kPause, {0, EditAction::MouseToMap}, -200, 150, 8, 2);
    at = script->Drag(at + kPause, {0, EditAction::MouseToControl, kResizeHandle}, 60, 60, 4, 2);
    at = script->Click(at + kPause, kZoomInControl);
    at = script->Click(at + 8, kZoomInControl);
    at += kPause - 8;
    for (std::size_t toggle = kFirstToggle; toggle < kFirstToggle + kToggles; ++toggle)
    {
        at = script->Click(at + 8, toggle);
    }
    at = script->Click(at + kPause, kMapFpsField);
    for (const char* key : {"1", "2", "0", "VK_RETURN"})
    {
        at = script->Tap(at + 5, key);
    }
    at = script->Click(at + kPause, kQualityField);
    for (const char* key : {"VK_OEM_PERIOD", "5", "VK_RETURN"})
    {
        at = script->Tap(at + 5, key);
    }
    at = script->Click(at + kPause, kResetControl);
    // LOCK pressed, and the mouse slipping off it while the button is held.
    script->Drag(at + kPause, {0, EditAction::MouseToControl, kEditControl}, -30, 24, 6, 3);
    return script;
}

// The walk at an eighth of its pace: the player strolls the field while the edit mode is used.
constexpr int kEditWalkSlowdown = 8;

void PlayEdit(Scenario& out, const std::shared_ptr<Game>& game, int frames)
{
    PlayWalk(out, game, frames > INT_MAX / kEditWalkSlowdown ? INT_MAX : frames * kEditWalkSlowdown);
    out.beforeFrame = [walk = out.beforeFrame, script = PlanEditing()](int frame) {
        walk(frame);
        script->Play(frame);
    };
}

// The soak: what a long evening of play does to the mod, in an order the seed draws. Map loads
// and seamless travel between open worlds and caves, trips to the main menu and back, respawns,
// creatures and NPCs that come and go (some begin and end play between two of the mod's
// ticks), the mod's widget taken off the screen and its capture actor destroyed by the game,
// engine functions that fault for a stretch, stretches in which no hook fires, and the edit
// mode worked by mouse and keys. Every so often it collects garbage and notes the objects
// alive and the process's resident memory, so a run shows whether either grows.
enum class SoakPlace
{
    Open,
    Cave,
    Menu,
};

struct SoakSample
{
    int frame = 0;
    std::size_t objects = 0;
    long long residentKb = -1; // -1 where the platform does not say
};

// The process's resident set, from the kernel's page counts.
long long ResidentKilobytes()
{
#if defined(__linux__)
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
    {
        return -1;
    }
    long long size = 0;
    long long resident = -1;
    const int read = std::fscanf(statm, "%lld %lld", &size, &resident);
    std::fclose(statm);
    return read == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : -1;
#else
    return -1;
#endif
}

bool IsOfClass(const RC::Unreal::UObject* object, const wchar_t* classPath)
{
    RC::Unreal::UClass* cls = Sim::FindClass(classPath);
    return object != nullptr && Sim::HoldsObject(object) && cls != nullptr && object->GetClassPrivate()->IsChildOf(cls);
}

// Functions the mod calls every frame or on every session, that a broken build may fault in.
// Engine faults jump out of signal handlers, which the sanitizers' own handlers and bookkeeping
// do not survive: a sanitized build plays everything else.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kEngineFaultsPlayable = false;
#else
constexpr bool kEngineFaultsPlayable = true;
#endif

constexpr const wchar_t* kFaultingFunctions[] = {
    L"/Script/UMG.CanvasPanelSlot:SetPosition",
    L"/Script/UMG.CanvasPanelSlot:SetSize",
    L"/Script/UMG.Widget:SetVisibility",
    L"/Script/UMG.UserWidget:AddToViewport",
    L"/Script/Engine.SceneCaptureComponent2D:CaptureScene",
    L"/Script/Engine.Actor:K2_GetActorLocation",
    L"/Script/Engine.Actor:K2_SetActorLocationAndRotation",
    L"/Script/Engine.KismetSystemLibrary:LineTraceSingleByProfile",
    L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D",
    L"/Script/Engine.PlayerController:GetMousePosition",
    L"/Script/Umbrafel.UmbrafelRuntimeBlueprintLibrary:IsLocationInsideDungeon",
};

class Soak
{
  public:
    Soak(std::shared_ptr<Game> game, std::uint64_t seed, int frames)
        : game_(std::move(game)), dice_(seed * 0x2545F4914F6CDD1DULL + 99), frames_(frames),
          sampleEvery_(std::max(250, frames / 100))
    {
    }

    void SetUp()
    {
        OpenWorld(*game_, L"Umbrafel_Open");
        game_->gameInstance = NewGameInstance(game_->world);
        game_->scenery.SetUp(Cast(*game_));
    }

    void BeforeFrame(int frame)
    {
        if (frame % sampleEvery_ == 0)
        {
            Sample(frame);
        }
        EndStretches(frame);
        if (arriveAt_ == frame)
        {
            Arrive();
        }
        if (leaveMenuAt_ == frame)
        {
            Travel(frame, dice_.Below(2) == 0 ? SoakPlace::Open : SoakPlace::Cave, false);
        }
        Roll(frame);
        if (edit_ != nullptr)
        {
            edit_->Play(frame);
            if (edit_->Done())
            {
                edit_ = nullptr;
            }
        }
        Walk(*game_);
        ComeAndGo(*game_, frame);
        game_->scenery.Step(static_cast<double>(frame) / std::max(frames_, 1), frame, 1.0 / 60, game_->at);
    }

    nlohmann::json Describe() const
    {
        nlohmann::json samples = nlohmann::json::array();
        for (const SoakSample& sample : samples_)
        {
            samples.push_back({{"frame", sample.frame},
                               {"objects_alive", sample.objects},
                               {"resident_kb", sample.residentKb < 0 ? nlohmann::json(nullptr) : nlohmann::json(sample.residentKb)}});
        }
        return {{"events", events_}, {"samples", samples}};
    }

  private:
    // Each kind of event is drawn by its own chance a frame, so that ten thousand frames hold
    // dozens of each; a world change waits for the last one's arrival and dying world.
    void Roll(int frame)
    {
        const bool settled = arriveAt_ < 0 && leaveMenuAt_ < 0 && frame >= nextTravel_;
        if (settled && place_ != SoakPlace::Menu && Chance(200))
        {
            const int kind = dice_.Below(3);
            if (kind == 2)
            {
                Travel(frame, SoakPlace::Menu, false);
            }
            else
            {
                Travel(frame, dice_.Below(2) == 0 ? SoakPlace::Open : SoakPlace::Cave, kind == 1);
            }
        }
        if (game_->pawn != nullptr && game_->controller != nullptr && Chance(220))
        {
            const Sim::Placement diedAt = game_->at;
            game_->at.x += dice_.Between(-600, 600);
            game_->pawn = Sim::Respawn(game_->controller, game_->at);
            game_->scenery.Respawned(diedAt, game_->pawn);
            Count("respawns");
        }
        if (game_->pawn != nullptr && game_->creatureClass != nullptr && Chance(25))
        {
            SpawnAndDestroy();
        }
        if (game_->pawn != nullptr && !game_->creatures.empty() && Chance(60))
        {
            // A creature killed before its time.
            Creature& victim = game_->creatures[static_cast<std::size_t>(dice_.Below(static_cast<int>(game_->creatures.size())))];
            victim.leavesAtFrame = frame;
            Count("creatures_killed");
        }
        if (Chance(260))
        {
            RemoveWidget();
        }
        if (Chance(260))
        {
            DestroyCaptureActor();
        }
        if (faulted_ == nullptr && Chance(400) && kEngineFaultsPlayable)
        {
            StartFault(frame);
        }
        // A run that is silent throughout stays so.
        if (silentUntil_ < 0 && !Sim::Options().SilentEvents && Chance(600))
        {
            Sim::SetSilentEvents(true);
            silentUntil_ = frame + 30 + dice_.Below(600);
            Count("silent_stretches");
        }
        if (edit_ == nullptr && Chance(200))
        {
            PlanEditSession(frame);
        }
    }

    bool Chance(int oneIn) { return dice_.Below(oneIn) == 0; }
    void Count(const char* what) { ++events_[what]; }

    void EndStretches(int frame)
    {
        if (faulted_ != nullptr && frame >= faultUntil_)
        {
            Sim::MakeFunctionFault(faulted_, Sim::FaultKind::None);
            faulted_ = nullptr;
        }
        if (silentUntil_ >= 0 && frame >= silentUntil_)
        {
            Sim::SetSilentEvents(false);
            silentUntil_ = -1;
        }
    }

    void StartFault(int frame)
    {
        const std::size_t which = static_cast<std::size_t>(dice_.Below(static_cast<int>(std::size(kFaultingFunctions))));
        RC::Unreal::UFunction* function = Sim::FindFunctionByPath(kFaultingFunctions[which]);
        if (function == nullptr)
        {
            return;
        }
        faulted_ = function;
        faultUntil_ = frame + 10 + dice_.Below(300);
        Sim::MakeFunctionFault(function, dice_.Below(2) == 0 ? Sim::FaultKind::NullWrite : Sim::FaultKind::DivideByZero);
        Count("fault_stretches");
    }

    // A creature or an NPC begins and ends play before the mod ticks again: its hooks fire,
    // and by the tick it is gone.
    void SpawnAndDestroy()
    {
        RC::Unreal::UObject* actor = dice_.Below(3) == 0
                                         ? Sim::SpawnActor(game_->world, game_->npcClass, Near(*game_, 1500))
                                         : SpawnCreature(*game_, 2000);
        if (actor != nullptr)
        {
            Sim::DestroyActor(actor);
            Count("spawned_and_destroyed");
        }
    }

    // The game's own code takes the mod's widget off the screen, and now and then has it
    // destroyed as well when nothing holds it.
    void RemoveWidget()
    {
        RC::Unreal::UObject* widget = ModWidgetOnScreen();
        if (widget == nullptr)
        {
            return;
        }
        Sim::CallScriptFunction(widget, L"RemoveFromParent");
        Count("widgets_removed");
        auto* item = widget->GetObjectItem();
        if (dice_.Below(2) == 0 && item != nullptr && !item->IsRootSet())
        {
            Sim::MarkPendingKill(widget);
            Count("widgets_destroyed");
        }
    }

    void DestroyCaptureActor()
    {
        if (game_->world == nullptr)
        {
            return;
        }
        for (RC::Unreal::UObject* actor : Sim::ActorsOf(game_->world))
        {
            if (IsOfClass(actor, L"/Script/Engine.SceneCapture2D"))
            {
                Sim::DestroyActor(actor);
                Count("capture_actors_destroyed");
                return;
            }
        }
    }

    // Whoever the old world held is left behind; the next place is loaded (or travelled to
    // seamlessly), and its player enters a third of a second later.
    void Travel(int frame, SoakPlace to, bool seamless)
    {
        LeaveWorld(*game_);
        game_->controller = nullptr;
        game_->creatureClass = nullptr;
        game_->npcClass = nullptr;
        // The maps take turns by name, so the one loaded has long left memory.
        const int turn = worlds_++ % 4;
        std::wstring map = to == SoakPlace::Menu ? L"MainMenu"
                           : to == SoakPlace::Open ? L"Umbrafel_Open" + std::to_wstring(turn)
                                                   : L"Umbrafel_Cave" + std::to_wstring(turn);
        auto* world = Sim::CreateWorld(map, seamless);
        game_->world = world;
        leaveMenuAt_ = -1;
        if (to == SoakPlace::Menu)
        {
            game_->controller = Sim::CreatePlayerController(world, Sim::ControllerKind::Menu);
            leaveMenuAt_ = frame + 60 + dice_.Below(180);
            Count("menu_trips");
        }
        else
        {
            if (to == SoakPlace::Open)
            {
                BuildOpenMap(*game_);
            }
            else
            {
                BuildDungeonMap(world);
            }
            DefineLevelClasses(*game_, world, map);
            arriveAt_ = frame + 20;
            Count(seamless ? "seamless_travels" : "map_loads");
        }
        place_ = to;
        nextTravel_ = frame + 120;
        if (seamless)
        {
            Sim::TravelSeamless(game_->gameInstance, world, dice_.Below(90));
        }
        else
        {
            Sim::Travel(game_->gameInstance, world);
        }
    }

    void Arrive()
    {
        arriveAt_ = -1;
        game_->at = {0, 0, place_ == SoakPlace::Cave ? -2000.0 : 100.0, 0};
        game_->at.z = StandingHeight(*game_, game_->at.x, game_->at.y, game_->at.z);
        EnterPlayer(*game_);
        game_->scenery.EnterWorld(Cast(*game_), game_->at);
    }

    // EDIT; the map dragged; a toggle; a value field clicked and a value typed (digits and
    // points as they come, sometimes too many or too large) and entered; LOCK.
    void PlanEditSession(int frame)
    {
        auto script = std::make_shared<EditScript>();
        int at = script->Click(frame, kEditControl);
        at = script->Drag(at + 5, {0, EditAction::MouseToMap}, dice_.Between(-300, 300), dice_.Between(-200, 200), 4, 2);
        at = script->Click(at + 5, kFirstToggle + static_cast<std::size_t>(dice_.Below(static_cast<int>(kToggles))));
        at = script->Click(at + 5, kMapFpsField + static_cast<std::size_t>(dice_.Below(3)));
        static constexpr const char* kTyped[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "VK_OEM_PERIOD", "VK_DECIMAL",
                                                 "VK_BACK"};
        const int keys = 1 + dice_.Below(8);
        for (int key = 0; key < keys; ++key)
        {
            at = script->Tap(at + 2, kTyped[dice_.Below(static_cast<int>(std::size(kTyped)))]);
        }
        at = script->Tap(at + 2, "VK_RETURN");
        script->Click(at + 5, kEditControl);
        edit_ = std::move(script);
        Count("edit_sessions");
    }

    void Sample(int frame)
    {
        Sim::CollectGarbage(true);
        samples_.push_back({frame, Sim::LiveObjectCount(), ResidentKilobytes()});
    }

    std::shared_ptr<Game> game_;
    Dice dice_;
    int frames_;
    int sampleEvery_;
    SoakPlace place_ = SoakPlace::Open;
    int worlds_ = 0;
    int arriveAt_ = -1;
    int leaveMenuAt_ = -1;
    int nextTravel_ = 0;
    RC::Unreal::UFunction* faulted_ = nullptr;
    int faultUntil_ = -1;
    int silentUntil_ = -1;
    std::shared_ptr<EditScript> edit_;
    std::map<std::string, int> events_;
    std::vector<SoakSample> samples_;
};
} // namespace

bool MakeScenario(const std::string& name, std::uint64_t seed, int frames, bool seamlessTravel, Scenario& out, int loads)
{
    out = {};
    out.name = name;
    auto game = std::make_shared<Game>(seed);
    if (name == "walk")
    {
        PlayWalk(out, game, frames);
        return true;
    }
    if (name == "hot-reload")
    {
        PlayWalk(out, game, frames);
        out.hotReloadFrames = {frames / 3, 2 * frames / 3};
        return true;
    }
    if (name == "edit")
    {
        PlayEdit(out, game, frames);
        return true;
    }
    if (name == "crowd")
    {
        PlayCrowd(out, game);
        return true;
    }
    if (name == "menu")
    {
        out.setUp = [game] {
            game->world = Sim::CreateWorld(L"MainMenu");
            game->gameInstance = NewGameInstance(game->world);
            game->controller = Sim::CreatePlayerController(game->world, Sim::ControllerKind::Menu);
        };
        return true;
    }
    if (name == "world-change")
    {
        // A third of the way in the player travels: the dungeon's map loads within the frame (or,
        // seamlessly, the old world takes a second and a half to die), and the new world's player
        // appears a third of a second after the travel. Further loads, spread evenly over the
        // rest of the run, go on to dungeons of their own ("Umbrafel_Dungeon2", ...).
        PlayWalk(out, game, frames);
        const int first = std::max(1, frames / 3);
        const int spacing = std::max(1, (frames - first) / std::max(loads, 1));
        out.beforeFrame = [game, frames, seamlessTravel, first, spacing, loads, travelFrame = -1, done = 0](int frame) mutable {
            if (done < loads && frame == first + done * spacing)
            {
                travelFrame = frame;
                ++done;
                const std::wstring map = done == 1 ? L"Umbrafel_Dungeon" : L"Umbrafel_Dungeon" + std::to_wstring(done);
                auto* dungeon = Sim::CreateWorld(map, seamlessTravel);
                BuildDungeonMap(dungeon);
                LeaveWorld(*game);
                game->world = dungeon;
                DefineLevelClasses(*game, dungeon, map);
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
                game->scenery.EnterWorld(Cast(*game), game->at);
            }
            Walk(*game);
            ComeAndGo(*game, frame);
            game->scenery.Step(static_cast<double>(frame) / std::max(frames, 1), frame, 1.0 / 60, game->at);
        };
        return true;
    }
    if (name == "respawn")
    {
        PlayWalk(out, game, frames);
        out.beforeFrame = [game, frames](int frame) {
            if (frame == std::max(1, frames / 2))
            {
                const Sim::Placement diedAt = game->at;
                game->at.x += 500;
                game->pawn = Sim::Respawn(game->controller, game->at);
                game->scenery.Respawned(diedAt, game->pawn);
            }
            Walk(*game);
            ComeAndGo(*game, frame);
            game->scenery.Step(static_cast<double>(frame) / std::max(frames, 1), frame, 1.0 / 60, game->at);
        };
        return true;
    }
    if (name == "no-world-hook")
    {
        PlayWalk(out, game, frames);
        out.game.missingFunctions.push_back(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged");
        return true;
    }
    if (name == "soak")
    {
        auto soak = std::make_shared<Soak>(game, seed, frames);
        out.gcThread = true;
        out.setUp = [soak] { soak->SetUp(); };
        out.beforeFrame = [soak](int frame) { soak->BeforeFrame(frame); };
        out.describe = [soak] { return soak->Describe(); };
        return true;
    }
    if (name == "no-tick")
    {
        PlayWalk(out, game, frames);
        out.refuseTick = true;
        return true;
    }
    return false;
}
} // namespace OrvSim
