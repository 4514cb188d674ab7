// The worlds' scenes and what the game asks of them: the ground, houses and caves each world is
// made of, line traces against them, the dungeon and shelter queries, the day's turning from
// day to night, and what the engine does with them every frame (shelter scores on the player
// characters, captures that run by themselves).
#include "Sim/WorldScene.hpp"

#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"

#include <Sim/Scene.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/NameTypes.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace Sim::Detail
{
namespace
{
constexpr Colour kGrass{86, 140, 62};
// Ground that steps up or down by less than this is walked onto.
constexpr double kStepHeight = 50;
// The ring the shelter score samples: its radius and how far up it looks for a roof.
constexpr double kShelterRadius = 150;
constexpr double kShelterReach = 2500;
constexpr int kShelterSamples = 8;

enum SurfaceMask : unsigned
{
    kGround = 1,
    kSlabs = 2,
    kBlocks = 4,
    kEverything = kGround | kSlabs | kBlocks,
};

UObject* TimeSubsystemOf(const UObject* world)
{
    auto found = State().play.timeSubsystems.find(world);
    return found != State().play.timeSubsystems.end() && Holds(found->second) ? found->second : nullptr;
}

Colour BandColour(const Terrain& terrain, double height)
{
    if (terrain.bands.empty())
    {
        return kGrass;
    }
    for (const auto& band : terrain.bands)
    {
        if (height < band.below)
        {
            return band.colour;
        }
    }
    return terrain.bands.back().colour;
}

uint32 Pack(Colour c) { return static_cast<uint32>(c.r) | static_cast<uint32>(c.g) << 8 | static_cast<uint32>(c.b) << 16; }

uint8 Scale(uint8 value, double factor)
{
    return static_cast<uint8>(std::clamp(std::lround(static_cast<double>(value) * factor), 0L, 255L));
}

// Each sample's band colour, lit a little by the slope so hills read from above.
void ColourTerrain(SceneRecord& scene)
{
    const Terrain& t = scene.terrain;
    scene.ground.clear();
    if (!HasGrid(t))
    {
        return;
    }
    scene.ground.resize(static_cast<std::size_t>(t.columns) * static_cast<std::size_t>(t.rows));
    auto height = [&t](int32 column, int32 row) {
        column = std::clamp(column, 0, t.columns - 1);
        row = std::clamp(row, 0, t.rows - 1);
        return static_cast<double>(t.heights[static_cast<std::size_t>(row) * static_cast<std::size_t>(t.columns) +
                                             static_cast<std::size_t>(column)]);
    };
    for (int32 row = 0; row < t.rows; ++row)
    {
        for (int32 column = 0; column < t.columns; ++column)
        {
            const double h = height(column, row);
            // Light from low X and low Y: slopes facing it brighten, the others darken.
            const double slope = ((height(column - 1, row) - height(column + 1, row)) +
                                  (height(column, row - 1) - height(column, row + 1))) /
                                 (2 * t.cellSize);
            const double light = std::clamp(1.0 + slope * 1.5, 0.85, 1.15);
            Colour c = BandColour(t, t.originZ + h);
            scene.ground[static_cast<std::size_t>(row) * static_cast<std::size_t>(t.columns) + static_cast<std::size_t>(column)] = {
                static_cast<float>(h), Pack({Scale(c.r, light), Scale(c.g, light), Scale(c.b, light)})};
        }
    }
}

// Where the segment crosses the ground, as a share of its length; none when it stays on one
// side. A segment that starts on the ground leaves it without hitting it.
bool CrossGround(const Terrain& terrain, const double (&s)[3], const double (&e)[3], double& t)
{
    auto above = [&](double at) {
        const double x = s[0] + (e[0] - s[0]) * at;
        const double y = s[1] + (e[1] - s[1]) * at;
        return s[2] + (e[2] - s[2]) * at - GroundAt(terrain, x, y);
    };
    const double horizontal = std::hypot(e[0] - s[0], e[1] - s[1]);
    if (!HasGrid(terrain) || horizontal == 0.0)
    {
        // The ground under the segment is one height: a plane.
        const double ground = GroundAt(terrain, s[0], s[1]);
        const double from = s[2] - ground;
        const double to = e[2] - ground;
        if (from == 0.0 || ((from > 0) == (to > 0) && to != 0.0))
        {
            return false;
        }
        t = from / (from - to);
        return true;
    }
    // Half a cell at a time, then halving the step that changed sides.
    const int steps = std::max(1, static_cast<int>(std::ceil(horizontal / (terrain.cellSize * 0.5))));
    double t0 = 0;
    double f0 = above(0);
    for (int step = 1; step <= steps; ++step)
    {
        const double t1 = static_cast<double>(step) / steps;
        const double f1 = above(t1);
        if (f0 != 0.0 && (f1 == 0.0 || (f0 > 0) != (f1 > 0)))
        {
            double low = t0;
            double high = t1;
            for (int i = 0; i < 48; ++i)
            {
                const double mid = 0.5 * (low + high);
                if ((above(mid) > 0) == (f0 > 0))
                {
                    low = mid;
                }
                else
                {
                    high = mid;
                }
            }
            t = high;
            return true;
        }
        t0 = t1;
        f0 = f1;
    }
    return false;
}

bool CrossSlab(const Slab& slab, const double (&s)[3], const double (&e)[3], double& t)
{
    const double from = s[2] - slab.z;
    const double to = e[2] - slab.z;
    if (from == 0.0 || ((from > 0) == (to > 0) && to != 0.0))
    {
        return false;
    }
    t = from / (from - to);
    return slab.area.Contains(s[0] + (e[0] - s[0]) * t, s[1] + (e[1] - s[1]) * t);
}

bool EnterBlock(const Block& block, const double (&s)[3], const double (&e)[3], double& t)
{
    const double low[3] = {block.area.minX, block.area.minY, block.minZ};
    const double high[3] = {block.area.maxX, block.area.maxY, block.maxZ};
    double enter = 0;
    double leave = 1;
    for (int axis = 0; axis < 3; ++axis)
    {
        const double d = e[axis] - s[axis];
        if (d == 0.0)
        {
            if (s[axis] < low[axis] || s[axis] > high[axis])
            {
                return false;
            }
            continue;
        }
        double a = (low[axis] - s[axis]) / d;
        double b = (high[axis] - s[axis]) / d;
        if (a > b)
        {
            std::swap(a, b);
        }
        enter = std::max(enter, a);
        leave = std::min(leave, b);
        if (enter > leave)
        {
            return false;
        }
    }
    t = enter;
    return true;
}

TraceHit Trace(const SceneRecord& scene, const double (&s)[3], const double (&e)[3], unsigned mask)
{
    double best = std::numeric_limits<double>::infinity();
    double t = 0;
    if ((mask & kGround) != 0 && CrossGround(scene.terrain, s, e, t))
    {
        best = std::min(best, t);
    }
    if ((mask & kSlabs) != 0)
    {
        for (const auto& slab : scene.slabs)
        {
            if (CrossSlab(slab, s, e, t))
            {
                best = std::min(best, t);
            }
        }
    }
    if ((mask & kBlocks) != 0)
    {
        for (const auto& block : scene.blocks)
        {
            if (EnterBlock(block, s, e, t))
            {
                best = std::min(best, t);
            }
        }
    }
    if (!(best <= 1.0))
    {
        return {};
    }
    return {true, s[0] + (e[0] - s[0]) * best, s[1] + (e[1] - s[1]) * best, s[2] + (e[2] - s[2]) * best};
}

bool InsideAnyDungeon(const SceneRecord& scene, double x, double y, double z)
{
    for (const auto& dungeon : scene.dungeons)
    {
        // Down to a little under the cave floor: one who stands on it is in the dungeon.
        if (dungeon.region.Contains(x, y) && z >= dungeon.floorZ - 200 && z < GroundAt(scene.terrain, x, y))
        {
            return true;
        }
    }
    return false;
}

float Shelter(const SceneRecord& scene, double x, double y, double z)
{
    int covered = 0;
    for (int i = 0; i <= kShelterSamples; ++i)
    {
        double px = x;
        double py = y;
        if (i > 0)
        {
            const double angle = (i - 1) * 2 * std::numbers::pi / kShelterSamples;
            px += kShelterRadius * std::cos(angle);
            py += kShelterRadius * std::sin(angle);
        }
        // Roofs, ceilings and storeys above; the ground over a cave is the cave's ceiling's
        // business, and a wall the point stands in is no roof.
        const double start[3] = {px, py, z};
        const double end[3] = {px, py, z + kShelterReach};
        TraceHit hit = Trace(scene, start, end, kSlabs | kBlocks);
        covered += hit.hit && hit.z > z ? 1 : 0;
    }
    return static_cast<float>(covered) / static_cast<float>(kShelterSamples + 1);
}

double Floor(const SceneRecord& scene, double x, double y, double z)
{
    double best = -std::numeric_limits<double>::infinity();
    const double ground = GroundAt(scene.terrain, x, y);
    if (ground <= z + kStepHeight)
    {
        best = ground;
    }
    for (const auto& slab : scene.slabs)
    {
        if (slab.z <= z + kStepHeight && slab.z > best && slab.area.Contains(x, y))
        {
            best = slab.z;
        }
    }
    return std::isinf(best) ? std::numeric_limits<double>::quiet_NaN() : best;
}

// The day's state at the clock: night in the last share of each day.
bool NightAt(const DayCycle& day, int64 clock)
{
    const int64 into = ((clock - day.startNanoseconds) % day.lengthNanoseconds + day.lengthNanoseconds) % day.lengthNanoseconds;
    return static_cast<double>(into) >= (1.0 - day.nightShare) * static_cast<double>(day.lengthNanoseconds);
}

void StepDays()
{
    std::vector<std::pair<UObject*, bool>> flips;
    for (const auto& [world, scene] : State().play.scenes)
    {
        if (scene.day.lengthNanoseconds <= 0 || !Holds(world))
        {
            continue;
        }
        auto* asWorld = reinterpret_cast<UWorld*>(const_cast<UObject*>(world));
        const bool night = NightAt(scene.day, State().play.clockNanoseconds);
        if (night != IsNight(asWorld))
        {
            flips.emplace_back(const_cast<UObject*>(world), night);
        }
    }
    // The game hears of each flip, and its hooks may change any world meanwhile.
    for (const auto& [world, night] : flips)
    {
        if (Holds(world))
        {
            SetNight(reinterpret_cast<UWorld*>(world), night);
        }
    }
}

void StepShelters()
{
    UClass* playerClass = FindClass(L"/Script/Umbrafel.UmbrafelPlayerCharacter");
    if (playerClass == nullptr)
    {
        return;
    }
    std::vector<UObject*> players;
    for (const auto& [actor, record] : State().play.actors)
    {
        if (IsLiveObject(actor) && actor->IsA(playerClass))
        {
            players.push_back(const_cast<UObject*>(actor));
        }
    }
    for (UObject* player : players)
    {
        UObject* shelter = ObjectReference(player, L"CharacterShelterComponent");
        auto* score = IsLiveObject(shelter) ? FieldOf<float>(shelter, L"CachedValidityScore") : nullptr;
        if (score == nullptr)
        {
            continue;
        }
        const Placement at = ActorPlacement(player);
        *score = ShelterScore(reinterpret_cast<const UObject*>(player->GetWorld()), at.x, at.y, at.z);
    }
}

bool Moved(const Placement& a, const Placement& b)
{
    return a.x != b.x || a.y != b.y || a.z != b.z || a.pitch != b.pitch || a.yaw != b.yaw || a.roll != b.roll;
}

// The engine captures by itself for a component that asks for every frame, or for every
// move of it.
void StepAutomaticCaptures()
{
    UClass* captureClass = FindClass(L"/Script/Engine.SceneCaptureComponent2D");
    if (captureClass == nullptr)
    {
        return;
    }
    std::vector<UObject*> captures;
    for (const auto& [component, record] : State().play.components)
    {
        if (record.begunPlay && IsLiveObject(component) && component->IsA(captureClass))
        {
            captures.push_back(const_cast<UObject*>(component));
        }
    }
    std::sort(captures.begin(), captures.end(),
              [](const UObject* a, const UObject* b) { return a->GetInternalIndex() < b->GetInternalIndex(); });
    for (UObject* component : captures)
    {
        if (!IsLiveObject(component))
        {
            continue;
        }
        UObject* owner = ComponentOwner(component);
        const Placement at = Holds(owner) ? ActorPlacement(owner) : Placement{};
        auto [last, first] = State().play.captureMoves.try_emplace(component, at);
        const bool moved = !first && Moved(last->second, at);
        last->second = at;
        if (Flag(component, L"bCaptureEveryFrame") || (moved && Flag(component, L"bCaptureOnMovement")))
        {
            ++State().play.observed.automaticCaptures;
            RenderCapture(component);
        }
    }
}
} // namespace

const SceneRecord& SceneOf(const UObject* world)
{
    static const SceneRecord openGround;
    auto found = State().play.scenes.find(world);
    return found != State().play.scenes.end() ? found->second : openGround;
}

bool HasGrid(const Terrain& terrain)
{
    return terrain.columns > 0 && terrain.rows > 0 && terrain.cellSize > 0 &&
           terrain.heights.size() >= static_cast<std::size_t>(terrain.columns) * static_cast<std::size_t>(terrain.rows);
}

double GroundAt(const Terrain& terrain, double x, double y)
{
    if (!HasGrid(terrain))
    {
        return terrain.originZ;
    }
    const double gx = std::clamp((x - terrain.originX) / terrain.cellSize, 0.0, static_cast<double>(terrain.columns - 1));
    const double gy = std::clamp((y - terrain.originY) / terrain.cellSize, 0.0, static_cast<double>(terrain.rows - 1));
    const int32 ix = std::min(static_cast<int32>(gx), std::max(terrain.columns - 2, 0));
    const int32 iy = std::min(static_cast<int32>(gy), std::max(terrain.rows - 2, 0));
    const int32 ix1 = std::min(ix + 1, terrain.columns - 1);
    const int32 iy1 = std::min(iy + 1, terrain.rows - 1);
    const double tx = gx - ix;
    const double ty = gy - iy;
    auto at = [&](int32 column, int32 row) {
        return static_cast<double>(terrain.heights[static_cast<std::size_t>(row) * static_cast<std::size_t>(terrain.columns) +
                                                   static_cast<std::size_t>(column)]);
    };
    const double low = at(ix, iy) + (at(ix1, iy) - at(ix, iy)) * tx;
    const double high = at(ix, iy1) + (at(ix1, iy1) - at(ix, iy1)) * tx;
    return terrain.originZ + low + (high - low) * ty;
}

TraceHit TraceSegment(const UObject* world, const double (&start)[3], const double (&end)[3])
{
    return Trace(SceneOf(world), start, end, kEverything);
}

bool InsideDungeon(const UObject* world, double x, double y, double z) { return InsideAnyDungeon(SceneOf(world), x, y, z); }

float ShelterScore(const UObject* world, double x, double y, double z) { return Shelter(SceneOf(world), x, y, z); }

void ApplyConstructionDefaults(UObject* component)
{
    if (UClass* shelter = FindClass(L"/Script/Umbrafel.CharacterShelterComponent"); shelter != nullptr && component->IsA(shelter))
    {
        auto* profile = PropertyOf<FStructProperty>(component->GetClassPrivate(), L"RoofTraceCollisionProfileName");
        FProperty* name = profile != nullptr ? FindPropertyUncounted(profile->GetStruct(), L"Name") : nullptr;
        if (name != nullptr)
        {
            *name->ContainerPtrToValuePtr<FName>(profile->ContainerPtrToValuePtr(component)) = FName(L"RoofTrace");
        }
    }
    if (UClass* capture = FindClass(L"/Script/Engine.SceneCaptureComponent2D"); capture != nullptr && component->IsA(capture))
    {
        // The engine's constructor: a perspective view that captures every frame and on every
        // move until told otherwise, with post-process settings at full weight.
        SetFlag(component, L"bCaptureEveryFrame", true);
        SetFlag(component, L"bCaptureOnMovement", true);
        for (auto [property, value] : {std::pair{L"FOVAngle", 90.0f}, std::pair{L"OrthoWidth", 512.0f},
                                       std::pair{L"PostProcessBlendWeight", 1.0f}, std::pair{L"LODDistanceFactor", 1.0f},
                                       std::pair{L"MaxViewDistanceOverride", -1.0f}})
        {
            if (auto* field = FieldOf<float>(component, property))
            {
                *field = value;
            }
        }
    }
}

void StepScenes()
{
    StepDays();
    StepShelters();
    StepAutomaticCaptures();
}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

namespace
{
const UObject* AsObject(UWorld* world) { return reinterpret_cast<const UObject*>(world); }

// The world's scene to build on; null for anything that is no live world.
SceneRecord* EditScene(UWorld* world)
{
    const UObject* object = AsObject(world);
    if (!Holds(object) || State().worldClass == nullptr || !object->IsA(State().worldClass))
    {
        return nullptr;
    }
    return &State().play.scenes[object];
}

// Terrain noise from the seed alone: a handful of long waves of seeded direction and phase.
struct Wave
{
    double kx, ky, phase, amplitude;
};

uint64 NextRandom(uint64& state)
{
    // splitmix64: the same sequence on every standard library.
    uint64 z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double Unit(uint64& state) { return static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-53; }
} // namespace

void SetNight(UWorld* world, bool night)
{
    UObject* time = TimeSubsystemOf(AsObject(world));
    auto* flag = time != nullptr ? PropertyOf<FBoolProperty>(time->GetClassPrivate(), L"bIsNight") : nullptr;
    if (flag == nullptr || flag->GetPropertyValue(flag->ContainerPtrToValuePtr(time)) == night)
    {
        return;
    }
    flag->SetPropertyValue(flag->ContainerPtrToValuePtr(time), night);
    CallScriptFunction(time, L"OnDayOrNightChangedDynamic", [&](uint8* parms) {
        auto* param = static_cast<FBoolProperty*>(FindPropertyUncounted(FindFunctionByPath(
                                                                            L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic"),
                                                                        L"bIsNight"));
        param->SetPropertyValue(param->ContainerPtrToValuePtr(parms), night);
    });
}

bool IsNight(UWorld* world)
{
    UObject* time = TimeSubsystemOf(AsObject(world));
    auto* flag = time != nullptr ? PropertyOf<FBoolProperty>(time->GetClassPrivate(), L"bIsNight") : nullptr;
    return flag != nullptr && flag->GetPropertyValue(flag->ContainerPtrToValuePtr(time));
}

void SetDayLength(UWorld* world, double seconds, double nightShare)
{
    if (SceneRecord* scene = EditScene(world))
    {
        const double nanoseconds = seconds * 1e9;
        scene->day.lengthNanoseconds = nanoseconds >= 1 && nanoseconds < 9e18 ? static_cast<int64>(nanoseconds) : 0;
        scene->day.startNanoseconds = ClockNanoseconds();
        scene->day.nightShare = std::clamp(std::isnan(nightShare) ? 0.5 : nightShare, 0.0, 1.0);
    }
}

Terrain RollingHills(double halfExtent, double cellSize, double hillHeight, uint64 seed)
{
    Terrain terrain;
    if (!(halfExtent > 0) || !(cellSize > 0))
    {
        return terrain;
    }
    const int32 samples = static_cast<int32>(std::min(std::ceil(2 * halfExtent / cellSize), 4096.0)) + 1;
    terrain.originX = -halfExtent;
    terrain.originY = -halfExtent;
    terrain.cellSize = cellSize;
    terrain.columns = samples;
    terrain.rows = samples;
    uint64 state = seed;
    std::vector<Wave> waves;
    double total = 0;
    for (int i = 0; i < 5; ++i)
    {
        const double wavelength = 9000.0 / (1 + i * 0.8) * (0.8 + 0.4 * Unit(state));
        const double direction = Unit(state) * 2 * std::numbers::pi;
        const double k = 2 * std::numbers::pi / wavelength;
        const double amplitude = 1.0 / (1 + i);
        waves.push_back({k * std::cos(direction), k * std::sin(direction), Unit(state) * 2 * std::numbers::pi, amplitude});
        total += amplitude;
    }
    // Each wave is sin(a + b) with a along the columns and b along the rows: sin a cos b +
    // cos a sin b, from one table per axis, so a large grid costs no trigonometry per sample.
    const std::size_t n = static_cast<std::size_t>(samples);
    std::vector<double> sinX(waves.size() * n), cosX(waves.size() * n), sinY(waves.size() * n), cosY(waves.size() * n);
    for (std::size_t w = 0; w < waves.size(); ++w)
    {
        for (std::size_t i = 0; i < n; ++i)
        {
            const double along = terrain.originX + static_cast<double>(i) * cellSize;
            const double a = waves[w].kx * along;
            const double b = waves[w].ky * along + waves[w].phase;
            sinX[w * n + i] = std::sin(a) * waves[w].amplitude;
            cosX[w * n + i] = std::cos(a) * waves[w].amplitude;
            sinY[w * n + i] = std::sin(b);
            cosY[w * n + i] = std::cos(b);
        }
    }
    terrain.heights.resize(n * n);
    const double scale = hillHeight / total;
    for (std::size_t row = 0; row < n; ++row)
    {
        for (std::size_t column = 0; column < n; ++column)
        {
            double h = 0;
            for (std::size_t w = 0; w < waves.size(); ++w)
            {
                h += sinX[w * n + column] * cosY[w * n + row] + cosX[w * n + column] * sinY[w * n + row];
            }
            terrain.heights[row * n + column] = static_cast<float>(h * scale);
        }
    }
    terrain.bands = {{-0.45 * hillHeight, {196, 180, 130}},
                     {0.35 * hillHeight, {86, 140, 62}},
                     {0.6 * hillHeight, {68, 116, 52}},
                     {std::numeric_limits<double>::infinity(), {132, 127, 118}}};
    return terrain;
}

void SetTerrain(UWorld* world, Terrain terrain)
{
    if (SceneRecord* scene = EditScene(world))
    {
        scene->terrain = std::move(terrain);
        ColourTerrain(*scene);
    }
}

double GroundHeight(UWorld* world, double x, double y) { return GroundAt(SceneOf(AsObject(world)).terrain, x, y); }

void AddBuilding(UWorld* world, const Building& b)
{
    SceneRecord* scene = EditScene(world);
    if (scene == nullptr || b.footprint.Empty() || !(b.roofZ > b.floorZ))
    {
        return;
    }
    const Area& f = b.footprint;
    const double t = std::clamp(b.wallThickness, 1.0, std::min(f.maxX - f.minX, f.maxY - f.minY) / 2);
    scene->slabs.push_back({f, b.floorZ, b.floor});
    scene->slabs.push_back({f, b.roofZ, b.roof});
    scene->shadows.push_back({f, b.roofZ, b.roofZ - b.floorZ});
    auto wall = [&](Area area, double low = std::numeric_limits<double>::quiet_NaN()) {
        scene->blocks.push_back({area, std::isnan(low) ? b.floorZ : low, b.roofZ, b.wall});
    };
    wall({f.minX, f.maxY - t, f.maxX, f.maxY});
    wall({f.minX, f.minY + t, f.minX + t, f.maxY - t});
    wall({f.maxX - t, f.minY + t, f.maxX, f.maxY - t});
    const double middle = 0.5 * (f.minX + f.maxX);
    const double door = std::clamp(b.doorWidth, 0.0, f.maxX - f.minX - 2 * t);
    if (door <= 0)
    {
        wall({f.minX, f.minY, f.maxX, f.minY + t});
        return;
    }
    wall({f.minX, f.minY, middle - door / 2, f.minY + t});
    wall({middle + door / 2, f.minY, f.maxX, f.minY + t});
    const double lintel = b.floorZ + std::clamp(b.doorHeight, 0.0, b.roofZ - b.floorZ);
    if (lintel < b.roofZ)
    {
        wall({middle - door / 2, f.minY, middle + door / 2, f.minY + t}, lintel);
    }
}

void AddDungeon(UWorld* world, const Dungeon& dungeon)
{
    SceneRecord* scene = EditScene(world);
    if (scene == nullptr || dungeon.region.Empty())
    {
        return;
    }
    scene->dungeons.push_back(dungeon);
    scene->slabs.push_back({dungeon.region, dungeon.floorZ, dungeon.floor});
    for (const auto& ceiling : dungeon.ceilings)
    {
        if (!ceiling.area.Empty())
        {
            scene->slabs.push_back({ceiling.area, ceiling.z, dungeon.ceiling});
        }
    }
    if (!dungeon.upperArea.Empty())
    {
        scene->slabs.push_back({dungeon.upperArea, dungeon.upperFloorZ, dungeon.upperFloor});
        if (dungeon.upperCeilingZ > dungeon.upperFloorZ)
        {
            scene->slabs.push_back({dungeon.upperArea, dungeon.upperCeilingZ, dungeon.ceiling});
        }
    }
}

TraceResult TraceLine(UWorld* world, double startX, double startY, double startZ, double endX, double endY, double endZ)
{
    const double start[3] = {startX, startY, startZ};
    const double end[3] = {endX, endY, endZ};
    TraceHit hit = TraceSegment(AsObject(world), start, end);
    return {hit.hit, hit.x, hit.y, hit.z};
}

bool InsideDungeon(UWorld* world, double x, double y, double z) { return Detail::InsideDungeon(AsObject(world), x, y, z); }

float ShelterScore(UWorld* world, double x, double y, double z) { return Detail::ShelterScore(AsObject(world), x, y, z); }

double FloorBelow(UWorld* world, double x, double y, double z) { return Floor(SceneOf(AsObject(world)), x, y, z); }
} // namespace Sim
