// Where the engine's native AActor::BeginPlay, AActor::EndPlay and UEngine::LoadMap run the
// loader's callbacks around their own work, as its detours on them do.
#include "Sim/Detours.hpp"
#include "Sim/EngineState.hpp"

namespace Sim::Detail
{
namespace
{
using RC::Unreal::AActor;
using RC::Unreal::EEndPlayReason;
using RC::Unreal::FString;
using RC::Unreal::FURL;
using RC::Unreal::FWorldContext;
using RC::Unreal::UEngine;
using RC::Unreal::UObject;
using RC::Unreal::UPendingNetGame;

AActor* AsActor(UObject* object) { return static_cast<AActor*>(object); }

// The engine never frees an actor inside its own BeginPlay or EndPlay; only a test's hook can,
// and then there is no actor left to tell anyone of.
bool Held(const UObject* object) { return EngineAccess::SlotOf(object) != nullptr; }
} // namespace

void RunBeginPlay(UObject* actor, const std::function<void()>& original)
{
    auto& registry = State().beginPlay;
    auto data = registry.MakeData();
    registry.Invoke(true, data, AsActor(actor));
    original();
    if (Held(actor))
    {
        registry.Invoke(false, data, AsActor(actor));
    }
}

void RunEndPlay(UObject* actor, RC::Unreal::uint8 reason, const std::function<void()>& original)
{
    auto& registry = State().endPlay;
    auto data = registry.MakeData();
    const auto why = static_cast<EEndPlayReason>(reason);
    registry.Invoke(true, data, AsActor(actor), why);
    original();
    if (Held(actor))
    {
        registry.Invoke(false, data, AsActor(actor), why);
    }
}

bool RunLoadMap(FWorldContext& context, const FURL& url, const std::function<bool()>& original)
{
    auto& registry = State().loadMap;
    auto data = registry.MakeData();
    auto* engine = reinterpret_cast<UEngine*>(State().engineObject);
    FString error;
    UPendingNetGame* pending = nullptr;
    registry.Invoke(true, data, engine, context, url, pending, error);
    const bool loaded = original();
    registry.Invoke(false, data, engine, context, url, pending, error);
    return loaded;
}
} // namespace Sim::Detail
