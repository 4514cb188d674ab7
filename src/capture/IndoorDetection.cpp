// Indoors and underground: whether the player stands under a roof (the game's shelter score),
// and the ceiling above found by line traces, which sets how high above the pawn the camera
// may go. From 8000 units up a roof or a cave ceiling would hide everything below it.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "settings/ModSettings.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr double kLowestHeight = 100.0;
constexpr double kRetraceDistanceSquared = 200.0 * 200.0;
constexpr double kRetraceRise = 75.0;
constexpr double kOverheadRetraceDistanceSquared = 25.0 * 25.0;
constexpr int kGridReach = 3;              // columns -3 … 3 each way in a dungeon
constexpr int kGridRadiusSquared = 9;      // the disc a round map shows
constexpr double kGridSpacingShare = 0.15; // of the orthographic width
constexpr int kDungeonTraces = 8;          // stacked upward through floors
constexpr double kLowCeilingReach = 1000.0;
constexpr double kTraceStep = 50.0;

// Whether the pawn went far enough, or rose or fell enough, from where it was traced from.
bool MovedFrom(double x, double y, double z, double fromX, double fromY, double fromZ, double distanceSquared)
{
    const double dx = x - fromX;
    const double dy = y - fromY;
    return dx * dx + dy * dy >= distanceSquared || std::abs(z - fromZ) >= kRetraceRise;
}

UObject* ShelterComponentOf(Reflection& reflection, UObject* pawn)
{
    UObject* component = nullptr;
    ReadPropertyValue(reflection, pawn, L"CharacterShelterComponent", component);
    return component;
}
} // namespace

void LiveOrvantaMod::ResetIndoorDetection()
{
    session.indoor.nextIndoorCheck = 0;
    session.indoor.indoors = false;
    session.indoor.roofTraceDone = false;
    session.indoor.roofFound = false;
    session.camera.targetHeight = kOpenCameraHeight;
}

void LiveOrvantaMod::DetectIndoors()
{
    IndoorState& indoor = session.indoor;
    const Nanoseconds at = ReadMonotonicClock();
    if (!IsDue(at, indoor.nextIndoorCheck))
    {
        return;
    }
    const ModSettings& settings = Settings();
    indoor.nextIndoorCheck = at + static_cast<Nanoseconds>(static_cast<double>(settings.IndoorCheckInterval) * 1e9);

    UObject* pawn = session.discovery.pawn;
    indoor.indoors = false;
    if (settings.IndoorCameraEnabled && IsLive(pawn, false))
    {
        float score = 0.0f;
        UObject* shelter = ShelterComponentOf(reflection, pawn);
        if (shelter != nullptr && ReadPropertyValue(reflection, shelter, L"CachedValidityScore", score))
        {
            indoor.indoors = score >= settings.IndoorShelterThreshold;
        }
    }
    CameraState& camera = session.camera;
    camera.targetHeight = kOpenCameraHeight;
    if (!indoor.indoors && !camera.inDungeon)
    {
        indoor.roofTraceDone = false;
        indoor.roofFound = false;
        return;
    }
    if (!IsLive(pawn, false))
    {
        return;
    }
    Vector3d location;
    if (!ReadActorLocation(reflection, pawn, location))
    {
        return;
    }
    const double x = location.x;
    const double y = location.y;
    const double z = location.z;
    const bool retrace = !indoor.roofTraceDone ||
                         MovedFrom(x, y, z, indoor.lastTraceX, indoor.lastTraceY, indoor.lastTraceZ, kRetraceDistanceSquared);
    if (retrace)
    {
        indoor.roofFound = TraceRoof(x, y, z, indoor.roofHeight);
        indoor.roofTraceDone = true;
        // The grid's own trace from here took the ceiling over the player into account.
        indoor.overheadFound = false;
        indoor.overheadX = x;
        indoor.overheadY = y;
        indoor.overheadFromZ = z;
        indoor.lastTraceX = x;
        indoor.lastTraceY = y;
        indoor.lastTraceZ = z;
    }
    if (indoor.roofFound)
    {
        // Underground the ceilings differ from place to place and the grid is only traced again
        // after a walk: the ceiling right over the player is traced again after every step
        // between, and a player standing still traces nothing.
        double roof = indoor.roofHeight;
        if (camera.inDungeon && !retrace)
        {
            if (MovedFrom(x, y, z, indoor.overheadX, indoor.overheadY, indoor.overheadFromZ, kOverheadRetraceDistanceSquared))
            {
                indoor.overheadFound = TraceOverhead(x, y, z, indoor.overheadZ);
                indoor.overheadX = x;
                indoor.overheadY = y;
                indoor.overheadFromZ = z;
            }
            if (indoor.overheadFound)
            {
                roof = std::min(roof, indoor.overheadZ);
            }
        }
        const double offset = camera.inDungeon ? settings.DungeonCeilingOffset : settings.IndoorCeilingOffset;
        camera.targetHeight = std::max(roof - z - offset, kLowestHeight);
    }
    else
    {
        camera.targetHeight = settings.IndoorFallbackHeight;
    }
}

bool LiveOrvantaMod::TraceUp(const Vector3d& start, const Vector3d& end, const void* profileName, double& impactZ)
{
    UObject* library = reflection.LookupClassDefault(L"/Script/Engine.KismetSystemLibrary");
    UFunction* trace = LookupFunctionByPath(reflection, L"/Script/Engine.KismetSystemLibrary:LineTraceSingleByProfile");
    CallFrame frame(reflection, trace);
    if (library == nullptr || !frame.IsBound())
    {
        return false;
    }
    FProperty* hitProperty = nullptr;
    void* hit = frame.ParameterSlot(L"OutHit", &hitProperty);
    UObject* context = session.discovery.pawn;
    const EngineReals from = ToEngine(start);
    const EngineReals to = ToEngine(end);
    const LinearColor black{0.0f, 0.0f, 0.0f, 1.0f};
    const std::uint8_t no = 0;
    const std::uint8_t yes = 1;
    const float drawTime = 0.0f;
    const bool written = hit != nullptr && frame.WriteRaw(L"WorldContextObject", &context, sizeof(context)) &&
                         frame.WriteByCopy(L"Start", from.bytes) && frame.WriteByCopy(L"End", to.bytes) &&
                         frame.WriteByCopy(L"ProfileName", profileName) && frame.WriteRaw(L"bTraceComplex", &no, 1) &&
                         frame.WriteRaw(L"DrawDebugType", &no, 1) && frame.WriteRaw(L"bIgnoreSelf", &yes, 1) &&
                         frame.WriteByCopy(L"TraceColor", &black) && frame.WriteByCopy(L"TraceHitColor", &black) &&
                         frame.WriteRaw(L"DrawTime", &drawTime, sizeof(drawTime));
    if (!written || !frame.Invoke(library))
    {
        return false;
    }
    std::uint8_t blocked = 0;
    void* impact = StructMemberAddress(hitProperty, hit, L"ImpactPoint");
    if (!frame.Read(L"ReturnValue", &blocked, 1) || blocked == 0 || impact == nullptr)
    {
        return false;
    }
    impactZ = Vector3FromEngine(impact).z;
    return impactZ > start.z;
}

const void* LiveOrvantaMod::RoofTraceProfile()
{
    UObject* pawn = session.discovery.pawn;
    if (!IsLive(pawn, false))
    {
        return nullptr;
    }
    UObject* shelter = ShelterComponentOf(reflection, pawn);
    if (shelter == nullptr)
    {
        return nullptr;
    }
    FProperty* profile = reflection.LookupProperty(shelter, L"RoofTraceCollisionProfileName");
    void* profileValue = PropertyAddress(reflection, shelter, L"RoofTraceCollisionProfileName");
    void* profileName = StructMemberAddress(profile, profileValue, L"Name");
    if (profileName == nullptr || reflection.LookupClassDefault(L"/Script/Engine.KismetSystemLibrary") == nullptr ||
        LookupFunctionByPath(reflection, L"/Script/Engine.KismetSystemLibrary:LineTraceSingleByProfile") == nullptr)
    {
        return nullptr;
    }
    return profileName;
}

bool LiveOrvantaMod::TraceOverhead(double x, double y, double z, double& ceilingZ)
{
    const void* profileName = RoofTraceProfile();
    return profileName != nullptr && TraceUp({x, y, z}, {x, y, z + static_cast<double>(Settings().IndoorRoofTraceDistance)}, profileName, ceilingZ);
}

bool LiveOrvantaMod::TraceRoof(double x, double y, double z, double& ceilingZ)
{
    const void* profileName = RoofTraceProfile();
    if (profileName == nullptr)
    {
        return false;
    }

    const bool dungeon = session.camera.inDungeon;
    const int reach = dungeon ? kGridReach : 0;
    const int traces = dungeon ? kDungeonTraces : 1;
    const double spacing = static_cast<double>(workingZoom) * kGridSpacingShare;
    const double reachUp = Settings().IndoorRoofTraceDistance;
    bool found = false;
    double kept = 0.0;
    double overheadZ = std::numeric_limits<double>::infinity(); // none over the player
    for (int j = -reach; j <= reach; ++j)
    {
        for (int i = -reach; i <= reach; ++i)
        {
            if (dungeon && workingCircular && i * i + j * j > kGridRadiusSquared)
            {
                continue;
            }
            Vector3d start{x + i * spacing, y + j * spacing, z};
            const Vector3d end{start.x, start.y, z + reachUp};
            bool columnHit = false;
            bool columnLowHit = false;
            double lastHit = 0.0;
            double lastLowHit = 0.0;
            for (int trace = 0; trace < traces; ++trace)
            {
                double impactZ = 0.0;
                if (!TraceUp(start, end, profileName, impactZ))
                {
                    break;
                }
                if (!columnHit && i == 0 && j == 0)
                {
                    overheadZ = impactZ;
                }
                columnHit = true;
                lastHit = impactZ;
                if (dungeon && impactZ <= z + kLowCeilingReach)
                {
                    columnLowHit = true;
                    lastLowHit = impactZ;
                }
                start.z = impactZ + kTraceStep;
            }
            // Outside a dungeon the first ceiling above counts; underground the highest one
            // within reach above the player.
            const bool result = dungeon ? columnLowHit : columnHit;
            const double value = dungeon ? lastLowHit : lastHit;
            if (!result)
            {
                continue;
            }
            if (!found || (dungeon ? value > kept : value < kept))
            {
                kept = value;
            }
            found = true;
        }
    }
    // A camera above the ceiling right over the player shows that ceiling's top and nothing of
    // the floor under it: a higher ceiling elsewhere in the grid never lifts it past that one.
    if (found)
    {
        ceilingZ = std::min(kept, overheadZ);
    }
    return found;
}
} // namespace Orv
