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
    BrightnessState brightness;
    FrameDeadlines deadlines;
};
} // namespace Orv
