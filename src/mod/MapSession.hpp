// All per-world state of the mod: what one local player in one world needs, one plain struct
// per subsystem. Tearing a session down returns every field to these initial values in one
// place, so a field added here is reset with the others.
#pragma once

#include "reflection/EngineValues.hpp"
#include "reflection/Host.hpp"
#include "widget/ControlLayout.hpp"
#include "widget/Controls.hpp"

#include <array>
#include <cstdint>
#include <limits>
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

// One button, value field or handle of the edit mode; where the layout put it is in
// LayoutState::placed under the same index.
struct ControlWidget
{
    UObject* frame = nullptr; // the coloured edge
    UObject* fill = nullptr;  // its colour shows the control's state
    UObject* text = nullptr;  // null for a control without a caption
    UObject* slot = nullptr;
};

struct PerfText
{
    UObject* text = nullptr;
    UObject* slot = nullptr;
};

// A position no slot was sent: NaN equals nothing, so a slot's first position always goes out.
inline constexpr Vector2d kNoPosition{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};

// One compass letter just inside the rim: a dark backdrop holding the letter, on the marker
// canvas, and where it was last sent.
struct CompassLetter
{
    UObject* backdrop = nullptr;
    UObject* text = nullptr;
    UObject* slot = nullptr;
    Vector2d sentPosition = kNoPosition;
};
inline constexpr std::size_t kCompassLetterCount = 4; // N, E, S, W

// The HUD widget tree: built whole once per session, after which widgets are only moved,
// recoloured, turned, shown and hidden. Built when userWidget and arrowImage are set.
struct WidgetState
{
    UObject* userWidget = nullptr;
    UObject* rootCanvas = nullptr; // fills the viewport
    UObject* hudCanvas = nullptr;  // the frame and every control; its slot is the minimap's place
    UObject* hudSlot = nullptr;
    UObject* mapSizeBox = nullptr;
    UObject* mapSlot = nullptr;
    UObject* outerRim = nullptr;
    UObject* middleRim = nullptr;
    UObject* innerRim = nullptr;
    UObject* mapOverlay = nullptr; // picture, markers and arrow, stacked
    UObject* mapImage = nullptr;   // shows the render target
    UObject* markerCanvas = nullptr;
    UObject* arrowSizeBox = nullptr;
    UObject* arrowImage = nullptr;
    UObject* perfPanel = nullptr;
    UObject* perfPanelFill = nullptr;
    UObject* perfPanelSlot = nullptr;
    std::array<PerfText, kPerfTextCount> perfTexts{};
    std::array<ControlWidget, kControlCount> controls{};
    std::array<CompassLetter, kCompassLetterCount> compass{};
    // Without the letters, a small north mark on the rim of a turning map; it holds no text.
    CompassLetter northTick{};
    UObject* coordinatesBackdrop = nullptr; // under the map, holding coordinatesText
    UObject* coordinatesText = nullptr;
    UObject* coordinatesSlot = nullptr;
};

// A marker kind no slot has yet, so the first real kind always applies.
inline constexpr std::uint8_t kNoMarkerKind = 255;
inline constexpr std::size_t kIconMarkerCount = 96;
inline constexpr std::size_t kDiamondMarkerCount = 64;

// An icon marker's widgets and the appearance last applied to them. The start values match no
// real appearance, so a slot's first use applies all of it.
struct IconMarkerSlot
{
    UObject* root = nullptr; // an overlay: backdrop under icon
    UObject* background = nullptr;
    UObject* icon = nullptr;
    UObject* slot = nullptr;
    UObject* texture = nullptr;
    std::uint8_t category = kNoMarkerKind;
    LinearColor tint{-1.0f, -1.0f, -1.0f, -1.0f};
    float iconSize = -1.0f;
    float rotationOffset = -10000.0f;
    std::int32_t layer = -1; // the drawing order last sent to the slot
    Vector2d sentPosition = kNoPosition; // as last sent to the slot
    bool shown = false;
    bool pinned = false; // on the rim, beyond the edge: smaller and fainter
    bool dimmed = false; // on another floor
};

struct DiamondMarkerSlot
{
    UObject* root = nullptr;
    UObject* frame = nullptr; // the same border as root: the dark edge
    UObject* fill = nullptr;
    UObject* slot = nullptr;
    std::uint8_t kind = kNoMarkerKind;
    Vector2d sentPosition = kNoPosition; // as last sent to the slot
    bool shown = false;
    bool dimmed = false; // on another floor
};

// One icon the map should show: where, following which component (or none for a fixed place),
// and its style's look.
struct MapIconEntry
{
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    UObject* component = nullptr;
    std::uint8_t category = 0;
    UObject* texture = nullptr;
    LinearColor tint{};
    float iconSize = 0.0f;
    float rotationOffset = 0.0f;
};

// The map marker list, most important and nearest first after a rebuild. Fixed storage: the
// list is refilled every second while the game has a map tracker.
inline constexpr std::size_t kMapIconCapacity = 512;
struct MapIconList
{
    std::array<MapIconEntry, kMapIconCapacity> entries{};
    std::size_t count = 0;

    bool Full() const { return count == kMapIconCapacity; }
    MapIconEntry* begin() { return entries.data(); }
    MapIconEntry* end() { return entries.data() + count; }
    const MapIconEntry* begin() const { return entries.data(); }
    const MapIconEntry* end() const { return entries.data() + count; }
    void Clear() { count = 0; }
    // Later entries move up one place.
    void RemoveAt(std::size_t index)
    {
        for (std::size_t i = index + 1; i < count; ++i)
        {
            entries[i - 1] = entries[i];
        }
        --count;
    }
};

// The player arrow's picture and angle as last applied.
struct ArrowState
{
    UObject* arrowTexture = nullptr;
    float arrowAngle = -10000.0f;
};

// A tracked actor inside the frame this update, waiting for a diamond.
struct DiamondCandidate
{
    UObject* actor = nullptr;
    double right = 0.0; // place on the map, as MapPoint has it
    double down = 0.0;
    std::uint8_t kind = 0;
    std::size_t order = 0; // in the tracked list
    bool dimmed = false;   // on another floor
};

// The distance beside the game's waypoint while it is pinned to the rim: a text on a dark
// backdrop, its box sized to the text.
struct DistanceLabel
{
    UObject* backdrop = nullptr;
    UObject* text = nullptr;
    UObject* slot = nullptr;
    Vector2d sentPosition = kNoPosition;
    Vector2d size{}; // the box as last sized
    bool shown = false;
    std::int64_t metres = -1; // what the text says; -1 until it says something
    Nanoseconds nextText = 0;
};

// Marker widgets made once with the tree and reused for whatever is nearest.
struct MarkerPools
{
    std::array<IconMarkerSlot, kIconMarkerCount> iconSlots{};
    std::array<DiamondMarkerSlot, kDiamondMarkerCount> diamondSlots{};
    DistanceLabel waypointDistance;
    // Kept between updates so a steady frame allocates nothing.
    std::vector<DiamondCandidate> diamondCandidates;
};

// What entering the edit mode changed on the player controller, so leaving it gives back
// exactly what the game had: each cursor switch as it was (if it could be read), and which
// ignore counters the mod raised.
struct SavedControllerInput
{
    UObject* controller = nullptr; // null: nothing saved
    bool showMouseCursor = false;
    bool showMouseCursorRead = false;
    bool clickEvents = false;
    bool clickEventsRead = false;
    bool mouseOverEvents = false;
    bool mouseOverEventsRead = false;
    bool moveIgnoredByMod = false;
    bool lookIgnoredByMod = false;
};

// The performance value being typed, if any.
enum class EditingField : std::uint8_t
{
    None = 0,
    CaptureRate = 1,
    MarkerRate = 2,
    RenderScale = 3,
};
inline constexpr std::size_t kEntryCapacity = 16; // 15 characters and the terminator
inline constexpr std::size_t kKeyCodeCount = 256;

// The edit mode's buttons, drags and typed entry.
struct EditState
{
    bool editMode = false;
    bool moving = false;   // a move drag is in progress
    bool resizing = false; // a resize drag is in progress
    bool inputRestorePending = false; // left while the button was down: given back at the release
    bool leftButtonWasDown = false;
    std::size_t hoveredButton = kControlCount; // the control under the mouse; kControlCount for none
    double grabOffsetX = 0.0; // the mouse minus the frame's corner when a move started
    double grabOffsetY = 0.0;
    double resizeStartMouseX = 0.0;
    double resizeStartMouseY = 0.0;
    double resizeStartSize = 0.0;
    SavedControllerInput saved;

    EditingField editingField = EditingField::None;
    std::array<wchar_t, kEntryCapacity> entryText{};
    std::size_t entryLength = 0;
    bool entryReplacePending = false; // the shown value counts as selected: the next key replaces it
    std::array<bool, kKeyCodeCount> keyWasDown{};
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
    // Underground: the first ceiling straight over the player, and where it was traced from.
    bool overheadFound = false;
    double overheadZ = 0.0; // world Z
    double overheadX = 0.0;
    double overheadY = 0.0;
    double overheadFromZ = 0.0;
};

// The frame's place on screen and the viewport it was fitted to, in layout units; the
// performance panel's side and place relative to the positioned canvas.
struct LayoutState
{
    double frameX = 0.0;
    double frameY = 0.0;
    double viewportWidth = 0.0; // 0 until measured
    double viewportHeight = 0.0;
    bool panelOnLeft = true;
    double panelX = 0.0;
    double panelY = 0.0;
    // 1 from 1080 lines up; above 1 the controls and their texts grow back to that size.
    double controlScale = 1.0;
    // The control scale the texts were last sized for; 0 before the first.
    double textScale = 0.0;
    FrameLayout placed;
    // The font size each control's caption was given.
    std::array<double, kControlCount> captionSizes{};
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
    // An actor began play since the map's sources were last checked: map-icon components may
    // have begun with it.
    bool actorsArrived = false;
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

// The player's coordinates as last shown, formatted into fixed storage.
inline constexpr std::size_t kCoordinatesCapacity = 48;
struct CoordinatesState
{
    Nanoseconds nextUpdate = 0;
    std::array<wchar_t, kCoordinatesCapacity> shown{};
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
    // Only while the loader gives no begin-play callback: NPCs are then looked for by walking.
    Nanoseconds nextNpcScan = 0;
};

struct MapSession
{
    DiscoveryState discovery;
    CaptureState capture;
    WidgetState widget;
    MarkerPools markers;
    MapIconList mapIcons;
    ArrowState arrow;
    GameDataState gameData;
    ActorLists actors;
    CameraState camera;
    IndoorState indoor;
    BrightnessState brightness;
    LayoutState layout;
    EditState edit;
    CoordinatesState coordinates;
    FrameDeadlines deadlines;
};
} // namespace Orv
