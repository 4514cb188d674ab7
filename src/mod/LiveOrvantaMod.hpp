// The one mod object: metadata, hook registrations, working copies of seven settings, the
// world-change note, the reflection caches and the session. The loader creates it through
// start_mod and deletes it through uninstall_mod.
#pragma once

#include "mod/MapSession.hpp"
#include "reflection/Host.hpp"
#include "reflection/Lookup.hpp"

#include <array>
#include <cstdint>
#include <string_view>

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
    ~LiveOrvantaMod() override;

    void on_unreal_init() override;

    // The frame driver: the tick callback's whole work.
    void OnTick();
    // Game events only raise flags and queue actors; the next frame does the work.
    void OnRuntimeEvent(RuntimeEvent event, UObject* context);

    // Read-only views for the host's tests and the simulator's report.
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

  protected:
    // The set-up steps, reachable by a derived test harness one at a time.
    bool RegisterWorldHook();
    bool RegisterTick();
    void RegisterRuntimeHook(std::wstring_view functionPath, RuntimeEvent event, bool preHook);
    void TakeWorkingCopies();

  private:
    void LookUpEventClasses();
    void UnregisterAll();
    void TearDownSession(bool destroyActors);

    static void OnWorldChanged(RC::Unreal::UnrealScriptFunctionCallableContext& context, void* customData);

    // Hook registrations.
    std::uint64_t tickHandle = 0;
    UFunction* worldHookFunction = nullptr;
    std::int32_t worldHookId = 0;
    std::array<RuntimeHookRecord, kRuntimeHookCapacity> runtimeHooks{};
    std::size_t runtimeHookCount = 0;

    // Classes the event filters compare with; null when the game lacks them.
    UClass* aiCharacterClass = nullptr;
    UClass* npcClass = nullptr;
    UClass* mapIconComponentClass = nullptr;

    // World-change note, left by the hook for the next frame.
    bool worldChanged = false;
    UWorld* leftWorld = nullptr; // compared, never dereferenced

    // Working copies of settings, the values the running mod uses.
    float workingZoom = 8000.0f;
    double workingSize = 280.0;
    float workingBrightnessTrim = 0.0f;
    bool workingCircular = true;
    float workingCaptureFPS = 60.0f;
    float workingMarkerFPS = 60.0f;
    float workingRenderScale = 4.0f;

    // Frame-driver flags consumed by the sub-updates.
    bool mapDataDirty = true;
    bool playerHidingDirty = true;
    bool brightnessDirty = true;
    bool aiSnapshotTaken = false;

    Reflection reflection;
    MapSession session;
};
} // namespace Orv
