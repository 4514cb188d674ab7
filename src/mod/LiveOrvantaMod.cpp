// The mod object's life: construction, the engine-initialised set-up (settings, working
// copies, hooks, tick), the world-change note, and the orderly unregistration at destruction.
#include "mod/LiveOrvantaMod.hpp"

#include "mod/Log.hpp"
#include "settings/HudFile.hpp"
#include "settings/ModSettings.hpp"
#include "settings/SettingsFile.hpp"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
using Event = LiveOrvantaMod::RuntimeEvent;

struct RuntimeHookRow
{
    std::wstring_view functionPath;
    Event event;
    bool preHook;
};

// Registered in this order; end-play hooks run before the actor goes, so they are pre-hooks.
constexpr RuntimeHookRow kRuntimeHookTable[] = {
    {L"/Script/Engine.Actor:ReceiveBeginPlay", Event::ActorBeginPlay, false},
    {L"/Script/Engine.Actor:ReceiveEndPlay", Event::ActorEndPlay, true},
    {L"/Script/Engine.ActorComponent:ReceiveBeginPlay", Event::ComponentBeginPlay, false},
    {L"/Script/Engine.ActorComponent:ReceiveEndPlay", Event::ComponentEndPlay, true},
    {L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_PlayerCharacters", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Lodestones", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Gravestones", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Beds", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.RevealedMapIconsComponent:Client_UpdateRevealedLandmark", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.MapCustomizationComponent:Client_NotifyWaypointStateLoaded", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.MapCustomizationComponent:Client_NotifyPinsSet", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.PingComponent:Client_NotifyPing", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.PoiDiscoverySystemActor:OnRep_PoiDiscoverySystemDataPerPlayer", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.MapUIAPI:PlaceWaypoint", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.MapUIAPI:ClearWaypoint", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.MapUIAPI:PlacePin", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.MapUIAPI:ClearPin", Event::MapDataChanged, false},
    {L"/Script/MinimapPlugin.MapIconComponent:SetIconVisible", Event::MapDataChanged, false},
    {L"/Script/MinimapPlugin.MapIconComponent:SetIconTexture", Event::MapDataChanged, false},
    {L"/Script/MinimapPlugin.MapIconComponent:SetIconSize", Event::MapDataChanged, false},
    {L"/Script/MinimapPlugin.MapIconComponent:SetIconDrawColor", Event::MapDataChanged, false},
    {L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_HeldEquipmentActorRight", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_HeldEquipmentActorLeft", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentLegsWearable", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentHeadWearable", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentCapeWearable", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentBodyWearable", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.PlayerEquipmentComponent:ReceiveControllerChanged", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnHeldRightItemChanged", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnHeldLeftItemChanged", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnLegsItemChanged", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnHeadItemChanged", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnCapeItemChanged", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnBodyItemChanged", Event::EquipmentChanged, false},
    {L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic", Event::DayNightChanged, false},
};
static_assert(std::size(kRuntimeHookTable) == 35);
static_assert(std::size(kRuntimeHookTable) <= LiveOrvantaMod::kRuntimeHookCapacity);

// Below the range gives the minimum, above it the maximum; NaN compares false both ways and
// so passes through, as the working copies have always taken it.
template <typename T> T LimitToRange(T value, T min, T max)
{
    if (value < min)
    {
        return min;
    }
    if (value > max)
    {
        return max;
    }
    return value;
}

// Set-up finds what it hooks and compares with straight from the engine, not through the
// shared caches: the loader may run it on its own thread while the game thread already runs
// the mod's first hooks.
UObject* FindByPath(std::wstring_view path)
{
    std::wstring zeroTerminated(path);
    return UObjectGlobals::FindObject(nullptr, nullptr, zeroTerminated.c_str(), false, nullptr);
}

UClass* FindEventClass(std::wstring_view path) { return static_cast<UClass*>(FindByPath(path)); }

UFunction* FindHookedFunction(std::wstring_view path)
{
    UObject* found = FindByPath(path);
    return found != nullptr && found->IsA(UFunction::StaticClass()) ? static_cast<UFunction*>(found) : nullptr;
}

// A hook takes the place of the function's native code in that one function object. A function
// without native code is a blueprint event: the engine skips it where no blueprint implements
// it, and a blueprint that does gives its class a function of its own, which the engine runs
// instead. Either way the hook is never reached.
bool HookCanFire(UFunction* function) { return function->HasAnyFunctionFlags(RC::Unreal::FUNC_Native); }

Hook::FCallbackOptions CallbackOptions(const wchar_t* name)
{
    Hook::FCallbackOptions options;
    options.bOnce = false;
    options.bReadonly = false;
    options.OwnerModName = STR("Orvanta");
    options.HookName = name;
    return options;
}
} // namespace

LiveOrvantaMod::LiveOrvantaMod()
{
    ModName = kModName;
    ModVersion = kModVersion;
    ModDescription = kModDescription;
    ModAuthors = kModAuthor;
}

LiveOrvantaMod::~LiveOrvantaMod()
{
    // Nothing here may throw into the loader, and nothing of the engine's is called off the game
    // thread: Uninstall brings a started mod here on the game thread.
    try
    {
        if (!engineStarted.load())
        {
            // The loader's side only: the tick was all there was.
            if (tickHandle != 0)
            {
                Hook::UnregisterCallback(tickHandle);
                tickHandle = 0;
            }
            return;
        }
        {
            std::lock_guard lock(gameWork);
            CatchUpWithTheCollector();
            UnregisterAll();
            TearDownSession(true);
            reflection.Clear();
        }
        // Outside gameWork: a purge on the collector's thread may be inside the engine's
        // listener lock, waiting for gameWork to hand over an object. Last: whatever the
        // teardown made the engine free was still forgotten.
        if (forgetter.registered)
        {
            FUObjectArray::RemoveUObjectDeleteListener(&forgetter);
            forgetter.registered = false;
        }
    }
    catch (...)
    {
        // The game goes on; a mod being deleted has no later frame to try again in.
    }
}

void LiveOrvantaMod::on_unreal_init()
{
    try
    {
        ResetReports();
        LoadSettings(Settings());
        LoadHudSettings(Hud());
        TakeWorkingCopies();
        if (!RegisterTick())
        {
            LogError(L"Runtime tick registration failed.\n");
        }
    }
    catch (const std::exception& exception)
    {
        // Out of here it would end the loader's own start-up (UE4SSProgram::init).
        ReportCaught(L"start-up", exception.what());
    }
    catch (...)
    {
        ReportCaught(L"start-up", nullptr);
    }
}

void LiveOrvantaMod::ListenForDeletions()
{
    // Before the first engine pointer is kept, so none outlives its object unnoticed.
    if (forgetter.registered)
    {
        return;
    }
    freedElsewhere.reserve(256);
    FUObjectArray::AddUObjectDeleteListener(&forgetter);
    forgetter.registered = true;
}

bool LiveOrvantaMod::StartOnGameThread()
{
    if (engineStarted.exchange(true))
    {
        return !inert;
    }
    gameThread.store(std::this_thread::get_id(), std::memory_order_release);
    ListenForDeletions();
    if (!RegisterWorldHook())
    {
        LogError(L"World-change hook registration failed.\n");
        inert = true;
        return false;
    }
    LookUpEventClasses();
    for (const auto& row : kRuntimeHookTable)
    {
        RegisterRuntimeHook(row.functionPath, row.event, row.preHook);
    }
    RegisterActorCallbacks();
    RegisterMapLoadCallback();
    ReportUnhookedEvents();
    LogLine(fmt::format(L"Orvanta V{} by {}\n", ModVersion, ModAuthors), kBannerLogLevel);
    return true;
}

void LiveOrvantaMod::TakeWorkingCopies()
{
    const ModSettings& settings = Settings();
    workingZoom = LimitToRange(settings.Zoom, kZoomRange.min, kZoomRange.max);
    workingSize = LimitToRange(static_cast<double>(settings.Size), static_cast<double>(kSizeRange.min),
                               static_cast<double>(kSizeRange.max));
    workingBrightnessTrim = LimitToRange(settings.BrightnessTrim, kBrightnessRange.min, kBrightnessRange.max);
    workingCircular = settings.Circular;
    workingCaptureFPS = LimitToRange(settings.CaptureFPS, kFpsRange.min, kFpsRange.max);
    workingMarkerFPS = LimitToRange(settings.MarkerFPS, kFpsRange.min, kFpsRange.max);
    workingRenderScale = LimitToRange(settings.RenderScale, kRenderScaleRange.min, kRenderScaleRange.max);
}

bool LiveOrvantaMod::RegisterWorldHook()
{
    UFunction* function = FindHookedFunction(kWorldChangeFunction);
    if (function == nullptr)
    {
        return false;
    }
    // Not a failure: the map loads and the frames tell of world changes all the same.
    if (!HookCanFire(function))
    {
        NoteUnhooked(kWorldChangeFunction);
        return true;
    }
    CallbackId id = function->RegisterPreHook(&LiveOrvantaMod::OnWorldChanged, this);
    if (id <= 0)
    {
        return false;
    }
    worldHookFunction = function;
    worldHookId = id;
    return true;
}

void LiveOrvantaMod::LookUpEventClasses()
{
    UClass* aiCharacter = FindEventClass(kAiCharacterClassPath);
    UClass* npc = FindEventClass(kNpcClassPath);
    UClass* mapIconComponent = FindEventClass(kMapIconComponentClassPath);
    aiCharacterClass = aiCharacter;
    npcClass = npc;
    mapIconComponentClass = mapIconComponent;
}

template <typename Work> void LiveOrvantaMod::RunHook(Work&& work)
{
    std::lock_guard lock(gameWork);
    if (retiring)
    {
        return;
    }
    try
    {
        CatchUpWithTheCollector();
        work();
    }
    catch (const std::exception& exception)
    {
        // Out of a hook it would unwind through the engine's script call.
        ReportCaught(L"game event", exception.what());
    }
    catch (...)
    {
        ReportCaught(L"game event", nullptr);
    }
}

void LiveOrvantaMod::RegisterRuntimeHook(std::wstring_view functionPath, RuntimeEvent event, bool preHook)
{
    if (runtimeHookCount >= kRuntimeHookCapacity)
    {
        return;
    }
    UFunction* function = FindHookedFunction(functionPath);
    if (function == nullptr)
    {
        return;
    }
    if (!HookCanFire(function))
    {
        NoteUnhooked(functionPath);
        return;
    }
    auto callback = [this, event](UnrealScriptFunctionCallableContext& context, void*) {
        RunHook([&] { OnRuntimeEvent(event, context.Context); });
    };
    CallbackId id = preHook ? function->RegisterPreHook(callback, nullptr) : function->RegisterPostHook(callback, nullptr);
    if (id <= 0)
    {
        return;
    }
    runtimeHooks[runtimeHookCount++] = {function, id};
}

void LiveOrvantaMod::NoteUnhooked(std::wstring_view functionPath)
{
    if (unhookedEventCount < unhookedEvents.size())
    {
        unhookedEvents[unhookedEventCount++] = functionPath;
    }
}

void LiveOrvantaMod::ReportUnhookedEvents()
{
    if (unhookedEventCount == 0)
    {
        return;
    }
    std::wstring line = L"Not hooked, as no hook on a blueprint event without native code is ever reached:";
    for (std::size_t index = 0; index < unhookedEventCount; ++index)
    {
        line.append(index == 0 ? L" " : L", ").append(unhookedEvents[index]);
    }
    line.append(L". Actors' begin and end of play come from the loader's actor callbacks, world changes from its map loads "
                L"and the frames.\n");
    LogWarning(line);
    unhookedEventCount = 0;
}

void LiveOrvantaMod::RegisterActorCallbacks()
{
    const Hook::GlobalCallbackId beginPlay = Hook::RegisterBeginPlayPostCallback(
        [this](Hook::TCallbackIterationData<void>&, AActor* actor) {
            RunHook([&] { OnRuntimeEvent(RuntimeEvent::ActorBeginPlay, actor); });
        },
        CallbackOptions(STR("ActorBeginPlay")));
    // Before the actor's own end: it is still what it was, in its world.
    const Hook::GlobalCallbackId endPlay = Hook::RegisterEndPlayPreCallback(
        [this](Hook::TCallbackIterationData<void>&, AActor* actor, RC::Unreal::EEndPlayReason) {
            RunHook([&] { OnRuntimeEvent(RuntimeEvent::ActorEndPlay, actor); });
        },
        CallbackOptions(STR("ActorEndPlay")));
    if (beginPlay == Hook::ERROR_ID)
    {
        LogError(L"Actor begin-play callback registration failed; NPCs are looked for every two seconds instead.\n");
    }
    beginPlayCallback = beginPlay;
    endPlayCallback = endPlay;
}

void LiveOrvantaMod::RegisterMapLoadCallback()
{
    // Before the old world's end: the session's world is still the one being left.
    const Hook::GlobalCallbackId loadMap = Hook::RegisterLoadMapPreCallback(
        [this](Hook::TCallbackIterationData<bool>&, UEngine*, RC::Unreal::FWorldContext&, RC::Unreal::FURL,
               RC::Unreal::UPendingNetGame*, RC::Unreal::FString&) { RunHook([&] { NoteWorldChange(session.discovery.world); }); },
        CallbackOptions(STR("MapLoad")));
    loadMapCallback = loadMap;
}

bool LiveOrvantaMod::RegisterTick()
{
    tickHandle = Hook::RegisterEngineTickPostCallback(
        [this](Hook::TCallbackIterationData<void>& run, UEngine*, float, bool) { RunTick(run); }, CallbackOptions(STR("Runtime")));
    return tickHandle != 0;
}

void LiveOrvantaMod::OnWorldChanged(UnrealScriptFunctionCallableContext& context, void* customData)
{
    auto* mod = static_cast<LiveOrvantaMod*>(customData);
    if (mod == nullptr)
    {
        return;
    }
    mod->RunHook([&] {
        UWorld* worldLeft = nullptr;
        if (uint8* parms = context.TheStack.Locals())
        {
            std::memcpy(&worldLeft, parms, sizeof(worldLeft));
        }
        mod->NoteWorldChange(worldLeft);
    });
}

void LiveOrvantaMod::NoteWorldChange(UWorld* left)
{
    ResetReports();
    // A map load reports (old, null) and then (null, new): the second call leaves no world,
    // and must not make the one left a candidate again while it is still being torn down.
    if (left != nullptr)
    {
        leftWorld = left;
    }
    worldChanged = true;
}

void LiveOrvantaMod::UnregisterAll()
{
    for (std::uint64_t* callback : {&tickHandle, &beginPlayCallback, &endPlayCallback, &loadMapCallback})
    {
        if (*callback != 0)
        {
            Hook::UnregisterCallback(*callback);
            *callback = 0;
        }
    }
    if (worldHookFunction != nullptr && worldHookId > 0)
    {
        worldHookFunction->UnregisterHook(worldHookId);
    }
    worldHookFunction = nullptr;
    worldHookId = 0;
    for (std::size_t index = 0; index < runtimeHookCount; ++index)
    {
        auto& record = runtimeHooks[index];
        if (record.function != nullptr && record.id > 0)
        {
            record.function->UnregisterHook(record.id);
        }
        record = {};
    }
    runtimeHookCount = 0;
}

} // namespace Orv
