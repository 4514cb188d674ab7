// The mod object's life against the stand-in: what it registers as the loader starts it (the
// tick from the loader's thread, the rest on the first frame), what it logs, how registration
// failures leave it, the world-change note, and that destruction takes back every
// registration.
#include "support/EngineFixture.hpp"

#include "mod/LiveOrvantaMod.hpp"
#include "mod/Log.hpp"
#include "settings/ModSettings.hpp"

#include <Sim/Types.hpp>

#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <thread>
#include <utility>

namespace
{
using namespace RC::Unreal;
using Orv::LiveOrvantaMod;

// Reaches the set-up steps one at a time.
class SteppedMod : public LiveOrvantaMod
{
  public:
    using LiveOrvantaMod::RegisterRuntimeHook;
    using LiveOrvantaMod::TakeWorkingCopies;
};

// The table's 35 less the four play events of actors and components, which the default game
// leaves to blueprints: no hook on their declarations is ever reached.
constexpr std::size_t kRuntimeHooks = 31;
constexpr const wchar_t* kUnhookedLine =
    L"[Orvanta] [warning] Not hooked, as no hook on a blueprint event without native code is ever reached: "
    L"/Script/Engine.Actor:ReceiveBeginPlay, /Script/Engine.Actor:ReceiveEndPlay, /Script/Engine.ActorComponent:ReceiveBeginPlay, "
    L"/Script/Engine.ActorComponent:ReceiveEndPlay. Actors' begin and end of play come from the loader's actor callbacks, "
    L"world changes from its map loads and the frames.\n";
constexpr float kFrame = 1.0f / 60.0f;

// As the loader starts a mod: the engine-initialised callback on the loader's own thread, then
// the engine's next frame, whose tick makes the rest of the set-up on the game thread.
void StartAsTheLoaderDoes(LiveOrvantaMod& mod)
{
    std::thread loader([&mod] { mod.on_unreal_init(); });
    loader.join();
    Sim::TickEngine(kFrame);
}

class ModLifecycle : public OrvTest::EngineFixture
{
  protected:
    void TearDown() override { Orv::Settings() = Orv::DefaultSettings(); }
};

TEST_F(ModLifecycle, TheLoadersThreadRegistersTheTickAndTheFirstFrameEverythingElseThenTheBanner)
{
    auto mod = std::make_unique<LiveOrvantaMod>();
    EXPECT_EQ(mod->ModName, L"Orvanta");
    EXPECT_EQ(mod->ModVersion, L"1.0.1");
    EXPECT_EQ(mod->ModDescription, L"A permanent low-overhead live top-down minimap.");
    std::thread loader([&mod] { mod->on_unreal_init(); });
    loader.join();
    EXPECT_NE(mod->TickHandle(), 0u);
    EXPECT_EQ(Sim::TickCallbackCount(), 1u);
    EXPECT_EQ(Sim::ScriptHookCount(), 0u) << "no engine call from the loader's thread";
    EXPECT_EQ(Sim::Counters().FindObject, 0u);
    EXPECT_TRUE(Lines().empty());

    Sim::TickEngine(kFrame);
    EXPECT_GT(mod->WorldHookId(), 0);
    EXPECT_EQ(mod->RuntimeHookCount(), kRuntimeHooks);
    EXPECT_EQ(Sim::ScriptHookCount(), kRuntimeHooks + 1);
    EXPECT_EQ(Sim::TickCallbackCount(), 1u);
    EXPECT_NE(mod->AiCharacterClass(), nullptr);
    EXPECT_NE(mod->NpcClass(), nullptr);
    EXPECT_NE(mod->MapIconComponentClass(), nullptr);
    EXPECT_EQ(mod->RuntimeHookAt(0).function->GetPathName(), L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_PlayerCharacters");
    EXPECT_EQ(mod->RuntimeHookAt(30).function->GetPathName(),
              L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic");
    EXPECT_TRUE(Sim::FailedChecks().empty());
    EXPECT_EQ(Sim::ActorCallbackCount(), 2u) << "after every actor's begin, before every actor's end";
    EXPECT_EQ(Sim::MapCallbackCount(), 1u);

    auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, kUnhookedLine);
    EXPECT_EQ(lines[0].level, 3);
    EXPECT_EQ(lines[1].text, L"Orvanta V1.0.1 by " + mod->ModAuthors + L"\n");
    EXPECT_EQ(lines[1].level, 2);

    Sim::TickEngine(kFrame);
    EXPECT_EQ(Sim::ScriptHookCount(), kRuntimeHooks + 1) << "set up once";
    Sim::ResetCounters();
    mod.reset();
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
    EXPECT_EQ(Sim::TickCallbackCount(), 0u);
    EXPECT_EQ(Sim::ActorCallbackCount(), 0u);
    EXPECT_EQ(Sim::MapCallbackCount(), 0u);
    EXPECT_EQ(Sim::Counters().UnregisterLoaderCallback, 3u);
}

TEST_F(ModLifecycle, DevicesWithoutALevelGetThePlainLine)
{
    auto* plain = new Sim::CapturingOutputDevice(false);
    Sim::ScopedOutputDevice scope{std::unique_ptr<RC::Output::OutputDevice>(plain)};
    Orv::LogError(L"Something broke.\n");
    ASSERT_EQ(plain->Lines().size(), 1u);
    EXPECT_EQ(plain->Lines()[0].text, L"[Orvanta] [error] Something broke.\n");
    EXPECT_EQ(plain->Lines()[0].level, -1);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].level, 4);
}

TEST_F(ModLifecycle, WithoutTheWorldChangeFunctionTheModStaysInertWithOneErrorLine)
{
    StartEngine(5, 1, {.missingFunctions = {L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged"}});
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);

    auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, L"[Orvanta] [error] World-change hook registration failed.\n");
    EXPECT_EQ(lines[0].level, 4);
    EXPECT_EQ(mod->RuntimeHookCount(), 0u);
    EXPECT_EQ(mod->TickHandle(), 0u);
    EXPECT_EQ(mod->AiCharacterClass(), nullptr) << "no class is looked up";
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
    EXPECT_EQ(Sim::TickCallbackCount(), 0u) << "an inert mod takes its tick back on the frame it finds itself inert";
    Sim::TickEngine(kFrame);
    EXPECT_EQ(Lines().size(), 1u) << "said once";
    EXPECT_EQ(Sim::Counters().RegisterLoaderCallback, 0u);

    Sim::ResetCounters();
    mod.reset();
    EXPECT_EQ(Sim::Counters().UnregisterHook, 0u);
    EXPECT_EQ(Sim::Counters().UnregisterTick, 0u);
    EXPECT_EQ(Sim::Counters().UnregisterLoaderCallback, 0u);
}

TEST_F(ModLifecycle, ARefusedWorldHookIsAFailureToo)
{
    Sim::RefuseHooksOn(Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged"));
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    EXPECT_EQ(mod->WorldHookId(), 0);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].text, L"[Orvanta] [error] World-change hook registration failed.\n");
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
}

// Everything but the tick is registered from the game thread, which only the tick reaches:
// without it nothing else is, where the mod once hooked the game's functions from the
// loader's thread.
TEST_F(ModLifecycle, ARefusedTickLeavesNothingRegistered)
{
    Sim::RefuseTickCallbacks(true);
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);

    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].text, L"[Orvanta] [error] Runtime tick registration failed.\n");
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
    EXPECT_EQ(Sim::Counters().FindObject, 0u);

    mod.reset();
    EXPECT_EQ(Sim::Counters().UnregisterTick, 0u) << "nothing to unregister for a refused tick";
    EXPECT_EQ(Sim::Counters().UnregisterHook, 0u);
}

TEST_F(ModLifecycle, MissingOrRefusedRuntimeHooksLeaveNoTrace)
{
    StartEngine(5, 1, {.missingFunctions = {L"/Script/Umbrafel.MapUIAPI:PlacePin"}});
    Sim::RefuseHooksOn(Sim::FindFunctionByPath(L"/Script/Umbrafel.MapUIAPI:ClearPin"));
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    EXPECT_EQ(mod->RuntimeHookCount(), kRuntimeHooks - 2);
    ASSERT_EQ(Lines().size(), 2u) << "only what is never hooked, and the banner";
    EXPECT_EQ(Lines()[0].text, kUnhookedLine);
    for (std::size_t i = 0; i < mod->RuntimeHookCount(); ++i)
    {
        EXPECT_GT(mod->RuntimeHookAt(i).id, 0);
    }
}

TEST_F(ModLifecycle, TheHookListIgnoresRegistrationsBeyondItsFortyEntries)
{
    auto mod = std::make_unique<SteppedMod>();
    StartAsTheLoaderDoes(*mod);
    for (std::size_t extra = kRuntimeHooks; extra < 40; ++extra)
    {
        mod->RegisterRuntimeHook(L"/Script/Umbrafel.MapUIAPI:PlacePin", LiveOrvantaMod::RuntimeEvent::MapDataChanged, false);
    }
    EXPECT_EQ(mod->RuntimeHookCount(), 40u);
    auto registered = Sim::ScriptHookCount();
    mod->RegisterRuntimeHook(L"/Script/Umbrafel.MapUIAPI:PlacePin", LiveOrvantaMod::RuntimeEvent::MapDataChanged, false);
    EXPECT_EQ(mod->RuntimeHookCount(), 40u);
    EXPECT_EQ(Sim::ScriptHookCount(), registered) << "the 41st is not even registered with the host";
    mod.reset();
    EXPECT_EQ(Sim::ScriptHookCount(), 0u);
}

TEST_F(ModLifecycle, WorkingCopiesAreLimitedToTheirRangesButLetNaNThrough)
{
    auto mod = std::make_unique<SteppedMod>();
    EXPECT_EQ(mod->WorkingZoom(), 8000.0f);
    EXPECT_EQ(mod->WorkingSize(), 280.0);
    EXPECT_EQ(mod->WorkingRenderScale(), 4.0f);

    auto& settings = Orv::Settings();
    settings.CaptureFPS = 0.0f;
    settings.MarkerFPS = 500.0f;
    settings.Size = 1000.0f;
    settings.RenderScale = 0.1f;
    settings.BrightnessTrim = -5.0f;
    settings.Zoom = 1000.0f;
    settings.Circular = false;
    mod->TakeWorkingCopies();
    EXPECT_EQ(mod->WorkingCaptureFPS(), 1.0f);
    EXPECT_EQ(mod->WorkingMarkerFPS(), 240.0f);
    EXPECT_EQ(mod->WorkingSize(), 720.0);
    EXPECT_EQ(mod->WorkingRenderScale(), 0.25f);
    EXPECT_EQ(mod->WorkingBrightnessTrim(), -2.0f);
    EXPECT_EQ(mod->WorkingZoom(), 1500.0f);
    EXPECT_FALSE(mod->WorkingCircular());

    settings.Zoom = std::numeric_limits<float>::quiet_NaN();
    mod->TakeWorkingCopies();
    EXPECT_TRUE(std::isnan(mod->WorkingZoom()));
}

TEST_F(ModLifecycle, AWorldChangeLeavesANoteAndResetsTheOnceOnlyReports)
{
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    EXPECT_TRUE(Orv::ReportOnce(L"CreateCaptureFailed"));
    EXPECT_FALSE(Orv::ReportOnce(L"CreateCaptureFailed"));

    auto* worldClass = Sim::FindClass(L"/Script/Engine.World");
    auto* oldWorld = Sim::NewObject(worldClass, nullptr, L"OldWorld");
    auto* newWorld = Sim::NewObject(worldClass, nullptr, L"NewWorld");
    auto* gameInstance = Sim::NewObject(Sim::FindClass(L"/Script/Umbrafel.UmbrafelGameInstance"), nullptr, L"Game");
    Sim::CallScriptFunction(gameInstance, L"K2_OnWorldChanged", [&](uint8* parms) {
        std::memcpy(parms, &oldWorld, sizeof(oldWorld));
        std::memcpy(parms + sizeof(oldWorld), &newWorld, sizeof(newWorld));
    });

    EXPECT_TRUE(mod->WorldChangePending());
    EXPECT_EQ(mod->LeftWorld(), static_cast<void*>(oldWorld));
    EXPECT_TRUE(Orv::ReportOnce(L"CreateCaptureFailed")) << "a new world reports its failures again";
}

TEST_F(ModLifecycle, InitialisationEmptiesTheOnceOnlyReports)
{
    Orv::ReportOnce(L"CreateWidgetFailed");
    LiveOrvantaMod mod;
    StartAsTheLoaderDoes(mod);
    EXPECT_TRUE(Orv::ReportOnce(L"CreateWidgetFailed"));
}

// Each working copy keeps a value inside its range as it is and takes the nearer bound for
// one outside, at both ends.
TEST_F(ModLifecycle, EachWorkingCopyIsLimitedAtBothEndsOfItsRange)
{
    using Field = float Orv::ModSettings::*;
    using Read = std::function<double(const SteppedMod&)>;
    struct Case
    {
        const char* what;
        Field field;
        Read working;
        float min;
        float max;
    };
    const Case cases[] = {
        {"Zoom", &Orv::ModSettings::Zoom, [](const SteppedMod& m) { return double{m.WorkingZoom()}; }, 1500.0f, 8000.0f},
        {"Size", &Orv::ModSettings::Size, [](const SteppedMod& m) { return m.WorkingSize(); }, 160.0f, 720.0f},
        {"BrightnessTrim", &Orv::ModSettings::BrightnessTrim,
         [](const SteppedMod& m) { return double{m.WorkingBrightnessTrim()}; }, -2.0f, 6.0f},
        {"CaptureFPS", &Orv::ModSettings::CaptureFPS, [](const SteppedMod& m) { return double{m.WorkingCaptureFPS()}; },
         1.0f, 240.0f},
        {"MarkerFPS", &Orv::ModSettings::MarkerFPS, [](const SteppedMod& m) { return double{m.WorkingMarkerFPS()}; }, 1.0f,
         240.0f},
        {"RenderScale", &Orv::ModSettings::RenderScale,
         [](const SteppedMod& m) { return double{m.WorkingRenderScale()}; }, 0.25f, 4.0f},
    };
    SteppedMod mod;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const float inside = c.min + (c.max - c.min) / 3.0f;
        const std::pair<float, float> valuesAndResults[] = {
            {c.min - 0.01f, c.min}, {c.min, c.min},   {inside, inside},
            {c.max, c.max},         {c.max + 0.01f, c.max},
        };
        for (auto [value, expected] : valuesAndResults)
        {
            Orv::Settings().*c.field = value;
            mod.TakeWorkingCopies();
            EXPECT_EQ(c.working(mod), double{expected}) << "from " << value;
        }
        Orv::Settings() = Orv::DefaultSettings();
    }
}

TEST_F(ModLifecycle, TheRuntimeHooksAreRegisteredInTheGamesTableOrder)
{
    const wchar_t* const expected[] = {
        L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_PlayerCharacters",
        L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Lodestones",
        L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Gravestones",
        L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Beds",
        L"/Script/Umbrafel.RevealedMapIconsComponent:Client_UpdateRevealedLandmark",
        L"/Script/Umbrafel.MapCustomizationComponent:Client_NotifyWaypointStateLoaded",
        L"/Script/Umbrafel.MapCustomizationComponent:Client_NotifyPinsSet",
        L"/Script/Umbrafel.PingComponent:Client_NotifyPing",
        L"/Script/Umbrafel.PoiDiscoverySystemActor:OnRep_PoiDiscoverySystemDataPerPlayer",
        L"/Script/Umbrafel.MapUIAPI:PlaceWaypoint",
        L"/Script/Umbrafel.MapUIAPI:ClearWaypoint",
        L"/Script/Umbrafel.MapUIAPI:PlacePin",
        L"/Script/Umbrafel.MapUIAPI:ClearPin",
        L"/Script/MinimapPlugin.MapIconComponent:SetIconVisible",
        L"/Script/MinimapPlugin.MapIconComponent:SetIconTexture",
        L"/Script/MinimapPlugin.MapIconComponent:SetIconSize",
        L"/Script/MinimapPlugin.MapIconComponent:SetIconDrawColor",
        L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_HeldEquipmentActorRight",
        L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_HeldEquipmentActorLeft",
        L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentLegsWearable",
        L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentHeadWearable",
        L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentCapeWearable",
        L"/Script/Umbrafel.PlayerEquipmentComponent:OnRep_CurrentBodyWearable",
        L"/Script/Umbrafel.PlayerEquipmentComponent:ReceiveControllerChanged",
        L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnHeldRightItemChanged",
        L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnHeldLeftItemChanged",
        L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnLegsItemChanged",
        L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnHeadItemChanged",
        L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnCapeItemChanged",
        L"/Script/Umbrafel.UmbrafelPlayerCharacter:OnBodyItemChanged",
        L"/Script/Umbrafel.InGameTimeSubsystem:OnDayOrNightChangedDynamic",
    };
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    ASSERT_EQ(mod->RuntimeHookCount(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i)
    {
        SCOPED_TRACE(i);
        ASSERT_NE(mod->RuntimeHookAt(i).function, nullptr);
        EXPECT_EQ(mod->RuntimeHookAt(i).function->GetPathName(), expected[i]);
        EXPECT_GT(mod->RuntimeHookAt(i).id, 0);
    }
}
TEST_F(ModLifecycle, TheTickIsRegisteredUnderTheModsNameAsAnEveryFrameCallbackThatMayChangeThings)
{
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    auto options = Sim::TickCallbackOptions();
    ASSERT_EQ(options.size(), 1u);
    EXPECT_FALSE(options[0].bOnce) << "every frame, not once";
    EXPECT_FALSE(options[0].bReadonly) << "the frame driver changes the game";
    EXPECT_EQ(options[0].OwnerModName, L"Orvanta");
    EXPECT_EQ(options[0].HookName, L"Runtime");
}

TEST_F(ModLifecycle, AHookIdOfZeroIsARefusalToo)
{
    Sim::RefuseHooksOn(Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged"), true, 0);
    Sim::RefuseHooksOn(Sim::FindFunctionByPath(L"/Script/Umbrafel.MapUIAPI:ClearPin"), true, 0);
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    EXPECT_EQ(mod->WorldHookId(), 0);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].text, L"[Orvanta] [error] World-change hook registration failed.\n");

    Sim::RefuseHooksOn(Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged"), false);
    auto second = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*second);
    EXPECT_EQ(second->RuntimeHookCount(), kRuntimeHooks - 1) << "the runtime hook answered 0 is not kept";
}
// A play event a game build gives native code can be hooked and is, in the table's place; what
// no hook can reach is named in one line and left alone.
TEST_F(ModLifecycle, OnlyWhatAHookCanReachIsHookedAndTheRestIsNamedOnce)
{
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/Engine.ActorComponent:ReceiveBeginPlay"));
    Sim::AddFunction(Sim::FindClass(L"/Script/Engine.ActorComponent"),
                     {L"ReceiveBeginPlay", {}, [](Sim::Call&) {}, FUNC_Event | FUNC_BlueprintEvent | FUNC_Native | FUNC_Public});
    Sim::ResetCounters();
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    ASSERT_EQ(mod->RuntimeHookCount(), kRuntimeHooks + 1);
    EXPECT_EQ(mod->RuntimeHookAt(0).function->GetPathName(), L"/Script/Engine.ActorComponent:ReceiveBeginPlay");
    EXPECT_EQ(Sim::Counters().RegisterHook, kRuntimeHooks + 2) << "and the world hook; nothing on the other three";
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[0].text,
              L"[Orvanta] [warning] Not hooked, as no hook on a blueprint event without native code is ever reached: "
              L"/Script/Engine.Actor:ReceiveBeginPlay, /Script/Engine.Actor:ReceiveEndPlay, "
              L"/Script/Engine.ActorComponent:ReceiveEndPlay. Actors' begin and end of play come from the loader's actor "
              L"callbacks, world changes from its map loads and the frames.\n");
}

// A game whose world-change event is its blueprint's alone: the mod does not hook it and says
// so, and is otherwise whole.
TEST_F(ModLifecycle, AWorldChangeEventWithoutNativeCodeIsNotHookedYetTheModStartsWhole)
{
    OrvTest::LeaveWorldChangeToBlueprints();
    ASSERT_NE(Sim::FindFunctionByPath(L"/Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged"), nullptr);
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    EXPECT_EQ(mod->WorldHookId(), 0);
    EXPECT_EQ(mod->RuntimeHookCount(), kRuntimeHooks);
    EXPECT_EQ(Sim::ScriptHookCount(), kRuntimeHooks);
    EXPECT_NE(mod->TickHandle(), 0u);
    EXPECT_EQ(Sim::MapCallbackCount(), 1u);
    EXPECT_EQ(Sim::ActorCallbackCount(), 2u);
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_NE(Lines()[0].text.find(L"ever reached: /Script/Umbrafel.UmbrafelGameInstance:K2_OnWorldChanged, "
                                   L"/Script/Engine.Actor:ReceiveBeginPlay"),
              std::wstring::npos);
    EXPECT_EQ(Lines()[1].text, L"Orvanta V1.0.1 by " + mod->ModAuthors + L"\n");
}

// A loader whose settings leave out its actor and map hooks refuses the callbacks: the mod says
// what it does instead, and has nothing of them to take back.
TEST_F(ModLifecycle, WithoutTheLoadersActorCallbacksTheModSaysSoAndRunsOn)
{
    Sim::RefuseLoaderCallbacks(true);
    auto mod = std::make_unique<LiveOrvantaMod>();
    StartAsTheLoaderDoes(*mod);
    EXPECT_NE(mod->TickHandle(), 0u);
    EXPECT_EQ(Sim::Counters().RegisterLoaderCallback, 3u);
    ASSERT_EQ(Lines().size(), 3u);
    EXPECT_EQ(Lines()[0].text,
              L"[Orvanta] [error] Actor begin-play callback registration failed; NPCs are looked for every two seconds instead.\n");
    EXPECT_EQ(Lines()[0].level, 4);
    Sim::ResetCounters();
    mod.reset();
    EXPECT_EQ(Sim::Counters().UnregisterLoaderCallback, 0u);
}
} // namespace
