// The one mod object: metadata, hook registrations, working copies of seven settings, the
// world-change note, the reflection caches and the session. The loader creates it through
// start_mod and deletes it through uninstall_mod.
#pragma once

#include "input/Hotkeys.hpp"
#include "mod/Clock.hpp"
#include "markers/IconStyles.hpp"
#include "markers/MarkerMath.hpp"
#include "mod/MapSession.hpp"
#include "reflection/EngineValues.hpp"
#include "reflection/Host.hpp"
#include "reflection/Lookup.hpp"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace Orv
{
inline constexpr std::wstring_view kModName = L"Orvanta";
inline constexpr std::wstring_view kModVersion = L"1.0.1";
inline constexpr std::wstring_view kModDescription = L"A permanent low-overhead live top-down minimap.";
inline constexpr std::wstring_view kModAuthor = L"The Orvanta developers";

inline constexpr std::wstring_view kWorldChangeFunction = L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged";
inline constexpr std::wstring_view kAiCharacterClassPath = L"/Script/Umbrafel.UmbrafelAICharacter";
inline constexpr std::wstring_view kNpcClassPath = L"/Script/Umbrafel.InteractableNPC";
inline constexpr std::wstring_view kMapIconComponentClassPath = L"/Script/MinimapPlugin.MapIconComponent";

// Whether an object is an instance of one of the game's classes. The class is found by path
// once and then kept. A miss is remembered until the next attempt to start a session
// (RetryMisses): a class the game lacks would otherwise cost a walk of the whole object array
// on every frame, and a class that arrives later comes with a world change, after which a
// session is sought anew. A null object is never an instance.
class GameClassTest
{
  public:
    explicit constexpr GameClassTest(const wchar_t* path) : path_(path) {}
    bool Matches(const UObject* object);
    void RetryMisses() { missed_ = false; }
    // Drops the class if it is the one freed, so a class later at its address is looked up.
    void Forget(const void* object)
    {
        if (cached_ == object)
        {
            cached_ = nullptr;
        }
    }
    void Reset()
    {
        cached_ = nullptr;
        missed_ = false;
    }

  private:
    const wchar_t* path_;
    UClass* cached_ = nullptr;
    bool missed_ = false;
};

class LiveOrvantaMod : public RC::CppUserModBase
{
  public:
    enum class RuntimeEvent : std::uint8_t
    {
        ActorBeginPlay = 0,
        ActorEndPlay = 1,
        ComponentBeginPlay = 2,
        ComponentEndPlay = 3,
        MapDataChanged = 4,
        EquipmentChanged = 5,
        DayNightChanged = 6,
    };

    struct RuntimeHookRecord
    {
        UFunction* function = nullptr;
        std::int32_t id = 0;
    };
    static constexpr std::size_t kRuntimeHookCapacity = 40;

    LiveOrvantaMod();
    // On the game thread, or before the first tick: no engine call is made from any other thread.
    ~LiveOrvantaMod() override;
    LiveOrvantaMod(const LiveOrvantaMod&) = delete;
    LiveOrvantaMod& operator=(const LiveOrvantaMod&) = delete;

    // The loader calls it on its own thread while the game may already tick: the settings and
    // the tick registration, nothing of the engine's. The rest starts on the first tick.
    void on_unreal_init() override;

    // uninstall_mod's work. On the game thread (or before the first tick) the mod goes at once;
    // from another thread (the loader's hot reload) its engine side is handed to the next
    // frame, and this returns once that frame has taken it down.
    static void Uninstall(LiveOrvantaMod* mod);

    // The frame driver: the tick callback's whole work.
    void OnTick();
    // Game events only raise flags and queue actors; the next frame does the work.
    void OnRuntimeEvent(RuntimeEvent event, UObject* context);

    // Read-only views for tests.
    std::uint64_t TickHandle() const { return tickHandle; }
    std::int32_t WorldHookId() const { return worldHookId; }
    std::size_t RuntimeHookCount() const { return runtimeHookCount; }
    const RuntimeHookRecord& RuntimeHookAt(std::size_t index) const { return runtimeHooks[index]; }
    bool WorldChangePending() const { return worldChanged; }
    const UWorld* LeftWorld() const { return leftWorld; }
    float WorkingZoom() const { return workingZoom; }
    double WorkingSize() const { return workingSize; }
    float WorkingBrightnessTrim() const { return workingBrightnessTrim; }
    bool WorkingCircular() const { return workingCircular; }
    float WorkingCaptureFPS() const { return workingCaptureFPS; }
    float WorkingMarkerFPS() const { return workingMarkerFPS; }
    float WorkingRenderScale() const { return workingRenderScale; }
    const UClass* AiCharacterClass() const { return aiCharacterClass; }
    const UClass* NpcClass() const { return npcClass; }
    const UClass* MapIconComponentClass() const { return mapIconComponentClass; }
    const MapSession& Session() const { return session; }
    Nanoseconds NextSessionAttempt() const { return nextSessionAttempt; }
    bool MapDataDirty() const { return mapDataDirty; }
    bool PlayerHidingDirty() const { return playerHidingDirty; }
    bool BrightnessDirty() const { return brightnessDirty; }
    bool AiSnapshotTaken() const { return aiSnapshotTaken; }
    bool ListensForDeletions() const { return forgetter.registered; }
    std::int32_t RenderTargetSize() const { return renderTargetSize; }
    const std::vector<IconStyle>& IconStyles() const { return iconStyles; }
    const std::vector<TagIconType>& TagIconTypes() const { return tagIconTypes; }
    const UObject* PlaceholderTexture() const { return placeholderTexture; }
    bool ExposureBiasFailed() const { return exposureBiasFailed; }

    // The first tick's set-up on the game thread: the delete listener, the world-change hook
    // (without it the mod stays inert: false), the event classes and the runtime hooks. Made
    // once; a harness that plays the loader on the game thread may make it before any frame.
    bool StartOnGameThread();

  protected:
    // ---- Set-up, reachable by a derived test harness one step at a time ----
    bool RegisterWorldHook();
    bool RegisterTick();
    void RegisterRuntimeHook(std::wstring_view functionPath, RuntimeEvent event, bool preHook);
    // The loader's callbacks on every actor's native BeginPlay and EndPlay, which no blueprint
    // keeps from running, unlike the script events the runtime hooks would wait for.
    void RegisterActorCallbacks();
    // The loader's callback on UEngine::LoadMap: a map load, whoever implements the game's
    // world-change event.
    void RegisterMapLoadCallback();
    // One line naming the events left unhooked because no hook on them could ever fire.
    void ReportUnhookedEvents();
    void TakeWorkingCopies();
    // The session as the edit mode changes it, for a harness that plays the edit mode's part.
    MapSession& MutableSession() { return session; }

    // ---- Local player discovery ----
    bool IsMenuController(const UObject* object);
    bool IsGameController(const UObject* object);
    bool IsPlayerCharacter(const UObject* object);
    UObject* FindLocalController();
    UObject* PawnOf(UObject* controller);
    bool AcquireSession();
    bool SessionStillValid();

    // ---- Session life ----
    void TearDownSession(bool destroyActors);
    // A capture or widget that could not be made: reported once, the session dropped and retried.
    void AbandonCreation(std::wstring_view reportKey, std::wstring_view message);

    // ---- Runtime events and the actor lists they feed ----
    bool IsTrackedKind(UObject* object) const;
    void TrackActor(UObject* actor);
    bool IsActorGone(UObject* actor);
    void ProcessActorQueues();
    void FullAiScan();
    void RefreshAiList();

    // ---- Scene capture: the capture actor and render target ----
    bool CreateCapture();
    bool CreateRenderTarget();
    void ReleaseRenderTarget();
    bool ConfigureCaptureComponent(UObject* component);
    void ApplyShowFlags();
    void WriteShowFlagSettings(UObject* component);
    void HidePlayer();
    void ResizeRenderTarget();

    // ---- Scene capture: the camera and its zoom ----
    void UpdateCamera();
    bool MovementTest();
    void SelectZoom();
    // The capture's orthographic width, and a new roof trace for it.
    void SetCaptureWidth(float width);
    // The width a session starts from before its own detection says indoors or underground.
    float OpenWorldZoom() const;
    void StepZoom(float step);

    // ---- Scene capture: indoors and dungeons ----
    void DetectIndoors();
    bool TraceRoof(double x, double y, double z, double& ceilingZ);
    // The first ceiling straight over the point.
    bool TraceOverhead(double x, double y, double z, double& ceilingZ);
    // The pawn's roof-trace collision profile's name, or null when a roof cannot be traced.
    const void* RoofTraceProfile();
    void ResetIndoorDetection();

    // ---- Scene capture: brightness by day, at night and underground ----
    float ExposureValue() const;
    void ApplyBrightness();
    void RefreshBrightness(bool force);

    // ---- Map widget: the tree, its shape and the controls' colours ----
    bool CreateMapWidget();
    void ApplyFrameShape();
    bool IsControlActive(std::size_t index) const;
    void RefreshControlColours();

    // ---- Map widget: layout on screen ----
    double ViewportScale();
    bool ViewportSize(double& width, double& height);
    // The same at a scale the caller already read this frame.
    bool ViewportSize(double scale, double& width, double& height);
    void ApplyLayout();
    void SetMapSize(double requested);
    void SetFramePosition(double x, double y);
    // What the pure layout needs of the session.
    FrameLayoutInput LayoutInput() const;
    void LayoutControls();
    void LayoutPerformancePanel();
    void RefreshValueFields();
    // Every text's font at the size that fits its box, times the control scale; the compass
    // discs at their size. Sent again when the control scale changes.
    void ApplyTextSizes();

    // ---- Map widget: compass letters, coordinates, north-up and opacity ----
    // The map's turn in degrees: the smoothed view yaw, or 0 when north is kept up.
    double MapYaw() const;
    void ApplyExtrasVisibility();
    void ApplyMapOpacity();
    // The opacity button shows the map's opacity in whole percent.
    void RefreshOpacityCaption();
    void UpdateCompassLetters();
    // Without the letters and on a turning map, the north mark shows on the rim.
    bool NorthTickShown() const;
    // Moves a letter or the north mark to the rim point in the direction (N, E, S, W) at reach
    // from the map's middle.
    void PlaceOnRim(const MapView& view, std::size_t direction, double reach, double boxSize, CompassLetter& mark);
    void UpdateCoordinates();

    // ---- Markers: the map icons, the arrow and the AI diamonds ----
    MapView CurrentMapView(bool& pawnLive);
    void UpdateMapIconMarkers();
    void CollapseIconMarkers(std::size_t from);
    // pinned: on the rim beyond the edge; dimmed: on another floor.
    void ApplyIconAppearance(IconMarkerSlot& slot, const MapIconEntry& entry, bool pinned, bool dimmed);
    // The distance from the pawn to the waypoint, beside its pin (reaching pinReach from its
    // centre) on the side towards the map's middle.
    void ShowWaypointDistance(const MapView& view, const MapPoint& pin, double pinReach, const Vector3d& waypoint);
    void HideWaypointDistance();
    void UpdatePlayerArrow();
    void UpdateAiMarkers();
    // The tracked actors inside the frame, with their places and kinds; the dead ones are
    // queued for removal on the way.
    void GatherDiamondCandidates(const MapView& view, std::vector<DiamondCandidate>& candidates);
    void DrawDiamonds(const MapView& view, const std::vector<DiamondCandidate>& candidates);
    void CollapseDiamonds(std::size_t from);
    std::uint8_t DiamondKind(UObject* actor);

    // ---- Markers: the marker list and the game's icon styles ----
    bool IsTexture2D(UObject* object);
    void AddMapMarker(const Vector3d& at, const IconStyle& style, UObject* component);
    void RebuildMapMarkers();
    void AddIconComponent(UObject* component);
    // Each component the game's map tracker lists in its "MapIcons" array.
    void AddTrackedIconComponents(UObject* tracker);
    CategoryMeaning MeaningOfCategory(FName category);
    bool LoadIconStyles();
    bool FillIconStyles(UObject* collection);
    bool FillTagTable();
    const IconStyle* FindStyleById(std::uint8_t category) const;
    const IconStyle* FindStyleByTag(std::wstring_view tagName) const;

    // ---- Markers: the game's map data ----
    bool IsSessionObject(UObject* object) const;
    // The first instance of the class in the session's world, searched for once a session.
    UObject* FindSearchedOnce(UObject*& cached, bool& searched, std::wstring_view className);
    // The local player's component, through the map API or else the player controller.
    UObject* FindPlayerComponent(UObject*& cached, std::wstring_view onMapApi, std::wstring_view onController);
    UObject* FindMapApi();
    UObject* FindObjectRegistry();
    UObject* FindMapTracker();
    UObject* FindRevealedIconsComponent();
    UObject* FindMapCustomizationComponent();
    UObject* FindPoiDiscoverySystem();
    UObject* FindIconDisplayInfoCollection();
    bool IsOwnCharacterGuid(FProperty* element, void* address, std::wstring_view member);
    void ReadRegistryMarkers();
    void ReadWaypointMarker();

    // ---- Input and edit mode: the mouse, the controls and the drags ----
    void UpdateInput();
    // A new viewport size lays the frame out again, unless a drag is holding it.
    void FollowViewportSize(double scale);
    // The mouse over the viewport in layout units; false when the engine has no position.
    bool ReadMousePosition(double scale, double& x, double& y);
    // The first visible control containing the point; kControlCount for none.
    std::size_t ControlAt(double x, double y) const;
    void PressControl(std::size_t control, double x, double y);
    void StartMove(double x, double y);
    void DragTo(double x, double y);
    void EndDrag();
    void ToggleAi();
    void ToggleFrameShape();
    void ToggleIndoorCamera();
    void ToggleMapCategory(bool& shown);
    void ToggleNorthUp();
    void ToggleCoordinates();
    void CycleMapOpacity();
    void SetEditMode(bool on);

    // ---- Input and edit mode: the game's input while the edit mode is on ----
    void EnterEditInputMode();
    void RestoreGameInputMode();
    // True when the mod itself set the controller to ignore that input.
    bool SuspendInput(UObject* controller, std::wstring_view isIgnored, std::wstring_view setIgnored,
                      std::wstring_view parameter);
    bool SetInputIgnored(UObject* controller, std::wstring_view setIgnored, std::wstring_view parameter, bool ignore);

    // ---- Input: the hotkeys, polled every frame, with or without a session ----
    void PollHotkeys();
    // Hiding takes the whole session down; showing lets the next frame build it again.
    void SetMapHidden(bool hidden);

    // ---- Input and edit mode: typed performance values ----
    // True once per press: the key is down now and was up at its last poll, and the game's
    // window is in front.
    bool KeyPressed(int virtualKey, bool inFront);
    void StartTextEntry(EditingField field);
    void ProcessTextEntryKeys(bool inFront);
    void EndTextEntry(bool commit);
    void ApplyPerformanceSettings(float captureFPS, float markerFPS, float renderScale);

    // ---- Settings persistence ----
    void CommitLayoutAndSave();

    // ---- Engine object lifetime ----
    // What the mod holds of an object the engine is freeing goes, before the memory is reused.
    void ForgetObject(const void* object);
    // The engine is gone: nothing of it may be touched again, not even to unregister.
    void ForgetEngine();

    // ---- Working copies of settings, the values the running mod uses ----
    float workingZoom = 8000.0f;
    double workingSize = 280.0;
    float workingBrightnessTrim = 0.0f;
    bool workingCircular = true;
    float workingCaptureFPS = 60.0f;
    float workingMarkerFPS = 60.0f;
    float workingRenderScale = 4.0f;

  private:
    // Told by the engine of every object it frees. Registered from engine initialisation until
    // the mod goes or the object array shuts down.
    class ObjectForgetter final : public RC::Unreal::FUObjectDeleteListener
    {
      public:
        explicit ObjectForgetter(LiveOrvantaMod& owner) : mod(owner) {}
        void NotifyUObjectDeleted(const RC::Unreal::UObjectBase* object, RC::Unreal::int32 index) override;
        void OnUObjectArrayShutdown() override;

        LiveOrvantaMod& mod;
        bool registered = false;
    };

    void LookUpEventClasses();
    void UnregisterAll();
    // Notes the events a hook could never reach, for ReportUnhookedEvents.
    void NoteUnhooked(std::wstring_view functionPath);
    // The world-change note: the world left (null: none), read by the next frame.
    void NoteWorldChange(UWorld* left);
    // The session's game instance has gone on to another world, which no hook may have said.
    bool GameInstanceMovedOn();
    void ScanForNpcs();

    // ---- Threads: the game thread's work, and what other threads hand it ----
    void RunTick(RC::Unreal::Hook::TCallbackIterationData<void>& run);
    // A hook's work on the game thread; false when the mod is going.
    template <typename Work> void RunHook(Work&& work);
    bool OnGameThread() const { return std::this_thread::get_id() == gameThread.load(std::memory_order_acquire); }
    // At every entry, before anything is read: objects freed on another thread are forgotten,
    // and a widget tree the collector marked is let go whole. gameWork is held.
    void CatchUpWithTheCollector();
    void DropWidgetTree();
    // An exception stopped the work: logged once per world, and the next frame goes on.
    void ReportCaught(std::wstring_view where, const char* what);
    // True when the mod may go on this thread at once: on the game thread, or with nothing of
    // the engine's started. From now on the tick does nothing.
    bool BeginRetirement();
    // Registers the delete listener, once; never while gameWork is held.
    void ListenForDeletions();
    bool IsSessionGameDataObject(const UObject* object) const;
    bool InSessionWorld(UObject* object) const;
    UObject* FindAiSubsystem();
    bool ReadViewYaw(double& yaw);
    void HideActor(UObject* actor);
    bool TraceUp(const Vector3d& start, const Vector3d& end, const void* profileName, double& impactZ);

    static void OnWorldChanged(RC::Unreal::UnrealScriptFunctionCallableContext& context, void* customData);

    // ---- Threads ----
    // Held by the game thread whenever mod code runs there (tick and hooks, nested), and by a
    // purge on the collector's thread while it hands over a freed object: an object is then
    // never freed under running mod code without the mod knowing, and the next entry forgets
    // it before anything is read.
    std::recursive_mutex gameWork;
    std::vector<const void*> freedElsewhere; // under gameWork
    std::atomic<std::thread::id> gameThread{};  // learnt at the first tick
    std::atomic<bool> engineStarted{false};      // the first tick began the engine-side set-up
    bool retiring = false;                        // under gameWork
    bool inert = false;                           // no world-change hook: nothing to run

    // ---- Hook registrations ----
    std::uint64_t tickHandle = 0;
    UFunction* worldHookFunction = nullptr;
    std::int32_t worldHookId = 0;
    std::array<RuntimeHookRecord, kRuntimeHookCapacity> runtimeHooks{};
    std::size_t runtimeHookCount = 0;
    std::uint64_t beginPlayCallback = 0;
    std::uint64_t endPlayCallback = 0;
    std::uint64_t loadMapCallback = 0;
    // Paths of the table's constants, kept until they are reported.
    std::array<std::wstring_view, kRuntimeHookCapacity + 1> unhookedEvents{};
    std::size_t unhookedEventCount = 0;
    ObjectForgetter forgetter{*this};

    // ---- Classes the event filters compare with; null when the game lacks them ----
    UClass* aiCharacterClass = nullptr;
    UClass* npcClass = nullptr;
    UClass* mapIconComponentClass = nullptr;

    // ---- World-change note, left by the hook for the next frame ----
    bool worldChanged = false;
    UWorld* leftWorld = nullptr; // compared, never dereferenced

    // ---- Scene capture state that outlives sessions ----
    std::int32_t renderTargetSize = 256; // side in pixels as last created or resized
    bool exposureBiasFailed = false;     // the capture's exposure bias could not be set last time

    // ---- Icon styles, kept from their first load for the mod's life ----
    std::vector<IconStyle> iconStyles;
    std::vector<TagIconType> tagIconTypes;
    UObject* placeholderTexture = nullptr;
    std::array<CategoryMeaning, kCategoryMeaningCapacity> categoryMeanings{};
    std::size_t categoryMeaningCount = 0;

    // ---- Frame driver: the frame's one clock reading, retry time and dirty flags ----
    Nanoseconds now = 0;
    Nanoseconds nextSessionAttempt = 0;
    bool mapDataDirty = true;
    bool playerHidingDirty = true;
    bool brightnessDirty = true;
    bool aiSnapshotTaken = false;

    // ---- Reflection caches and the game's classes, found once for the mod's life ----
    Reflection reflection;
    GameClassTest menuControllerClass{L"/Script/Umbrafel.UmbrafelPlayerControllerMenu"};
    GameClassTest gameControllerClass{L"/Script/Umbrafel.UmbrafelPlayerController"};
    GameClassTest playerCharacterClass{L"/Script/Umbrafel.UmbrafelPlayerCharacter"};

    // ---- Hotkey edges, kept while no session exists (a hidden map has none) ----
    HotkeyState hotkeys;

    // ---- Per-world state ----
    MapSession session;
};
} // namespace Orv
