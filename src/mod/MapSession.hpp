// All per-world state of the mod: what one local player in one world needs, one plain struct
// per subsystem. Tearing a session down returns every field to these initial values in one
// place, so a field added here is reset with the others.
#pragma once

#include "reflection/Host.hpp"

#include <cstdint>
#include <vector>

namespace Orv
{
// Monotonic nanoseconds; a deadline is due when now is at or past it, and 0 is always due.
using Nanoseconds = std::int64_t;

inline constexpr Nanoseconds kSecond = 1'000'000'000;
// The capture camera's height over the pawn in the open; from there a roof or a cave ceiling
// would hide everything below it.
inline constexpr double kOpenCameraHeight = 8000.0;

// The local player this session follows.
struct DiscoveryState
{
    UWorld* world = nullptr;
    UObject* gameInstance = nullptr;
    UObject* playerController = nullptr;
    UObject* pawn = nullptr;
};

// The scene capture that draws the map.
struct CaptureState
{
    UObject* captureActor = nullptr;
    UObject* captureComponent = nullptr;
    UObject* renderTarget = nullptr;
};

// The HUD widget tree.
struct WidgetState
{
    UObject* userWidget = nullptr;
    UObject* arrowImage = nullptr;
    UObject* mapImage = nullptr; // shows the render target
};

// Where the capture camera is and how it moves. Its smoothed yaw is also the markers'.
struct CameraState
{
    Nanoseconds lastUpdateTime = 0; // the last picture's
    double cameraYaw = 0.0; // degrees
    Nanoseconds cameraYawTime = 0;
    bool yawSmoothingStarted = false;
    double targetHeight = kOpenCameraHeight; // above the pawn, world units
    double smoothedHeight = kOpenCameraHeight;
    Nanoseconds heightTime = 0;
    bool heightSmoothingStarted = false;
    Nanoseconds nextDungeonCheck = 0;
    bool inDungeon = false;
    bool zoomOverrideActive = false; // the indoor or dungeon width was last applied
    bool zoomOverrideWasDungeon = false;
    double lastPawnX = 0.0;
    double lastPawnY = 0.0;
    double lastPawnYaw = 0.0;
    bool movementTestStarted = false;
};

// Whether the player stands under a roof, and the ceiling above when indoors or underground.
struct IndoorState
{
    Nanoseconds nextIndoorCheck = 0;
    bool indoors = false;
    bool roofTraceDone = false; // a result is held for the last trace position
    bool roofFound = false;
    double roofHeight = 0.0; // world Z
    double lastTraceX = 0.0;
    double lastTraceY = 0.0;
    double lastTraceZ = 0.0;
};

// The frame's place on screen, in layout units, as last measured.
struct LayoutState
{
    double frameX = 0.0;
    double frameY = 0.0;
    double viewportWidth = 0.0;
    double viewportHeight = 0.0;
};

// The game's own objects the markers read, found on demand.
struct GameDataState
{
    UObject* mapApi = nullptr;
    UObject* mapTracker = nullptr;
    UObject* objectRegistry = nullptr;
    UObject* revealedIconsComponent = nullptr;
    UObject* mapCustomizationComponent = nullptr;
    UObject* poiSystem = nullptr;
    UObject* aiSubsystem = nullptr;
    bool mapApiSearched = false;
    bool registryScanned = false;
    bool poiScanned = false;
};

// Actors the AI and NPC markers draw from, and the queues runtime events fill between frames.
// None holds a pointer twice.
struct ActorLists
{
    std::vector<UObject*> trackedActors;
    std::vector<UObject*> pendingBeginPlay;
    std::vector<UObject*> pendingEndPlay;
};

// Day and night as the brightness last saw them.
struct BrightnessState
{
    bool nightStateKnown = false;
    bool lastNightState = false;
};

// When each periodic sub-update of the frame driver is next due.
struct FrameDeadlines
{
    Nanoseconds nextCameraUpdate = 0;
    Nanoseconds nextMarkerUpdate = 0;
    Nanoseconds nextPlayerHiding = 0;
    Nanoseconds nextBrightnessRefresh = 0;
    Nanoseconds nextIconStyleAttempt = 0;
    Nanoseconds nextAiRefresh = 0;
    Nanoseconds nextMapTrackerCheck = 0;
};

struct MapSession
{
    DiscoveryState discovery;
    CaptureState capture;
    WidgetState widget;
    GameDataState gameData;
    ActorLists actors;
    CameraState camera;
    IndoorState indoor;
    BrightnessState brightness;
    LayoutState layout;
    FrameDeadlines deadlines;
};
} // namespace Orv
