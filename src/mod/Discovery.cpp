// Local player discovery: which controller is this machine's player, its world, pawn and
// game instance, and whether a session built on them still stands.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"

#include <array>
#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
// Controller classes by short name; the first with a local, live controller in a current
// world wins, which is why a menu controller is found (and then refused) before a game one.
constexpr std::array<std::wstring_view, 4> kControllerClassNames = {
    L"UmbrafelPlayerControllerMenu",
    L"UmbrafelPlayerController",
    L"UmbrafelPlayerControllerBase",
    L"PlayerController",
};

constexpr std::array<std::wstring_view, 2> kGameInstanceClassNames = {L"UmbrafelGameInstance", L"GameInstance"};

} // namespace

bool GameClassTest::Matches(const UObject* object)
{
    if (object == nullptr)
    {
        return false;
    }
    if (cached_ == nullptr && !missed_)
    {
        cached_ = static_cast<UClass*>(UObjectGlobals::FindObject(nullptr, nullptr, path_, false, nullptr));
        missed_ = cached_ == nullptr;
    }
    return cached_ != nullptr && object->IsA(cached_);
}

bool LiveOrvantaMod::IsMenuController(const UObject* object) { return menuControllerClass.Matches(object); }
bool LiveOrvantaMod::IsGameController(const UObject* object) { return gameControllerClass.Matches(object); }
bool LiveOrvantaMod::IsPlayerCharacter(const UObject* object) { return playerCharacterClass.Matches(object); }

UObject* LiveOrvantaMod::FindLocalController()
{
    for (std::wstring_view className : kControllerClassNames)
    {
        for (UObject* controller : FindAllInstances(className))
        {
            if (!IsLive(controller, false) || !CallAndReadBool(reflection, controller, L"IsLocalController"))
            {
                continue;
            }
            UWorld* world = controller->GetWorld();
            if (IsLive(world, false) && world != leftWorld)
            {
                return controller;
            }
        }
    }
    return nullptr;
}

UObject* LiveOrvantaMod::PawnOf(UObject* controller)
{
    if (void* slot = PropertyAddress(reflection, controller, L"Pawn"))
    {
        UObject* pawn = nullptr;
        std::memcpy(&pawn, slot, sizeof(pawn));
        if (pawn != nullptr)
        {
            return pawn;
        }
    }
    return CallAndReadObject(reflection, controller, L"K2_GetPawn");
}

bool LiveOrvantaMod::AcquireSession()
{
    menuControllerClass.RetryMisses();
    gameControllerClass.RetryMisses();
    playerCharacterClass.RetryMisses();
    UObject* controller = FindLocalController();
    if (!IsLive(controller, false))
    {
        return false;
    }
    UWorld* world = controller->GetWorld();
    if (!IsLive(world, false))
    {
        return false;
    }
    UObject* pawn = PawnOf(controller);
    if (!IsLive(pawn, false))
    {
        return false;
    }
    UObject* gameInstance = nullptr;
    for (std::wstring_view className : kGameInstanceClassNames)
    {
        for (UObject* candidate : FindAllInstances(className))
        {
            if (IsLive(candidate, false) && candidate->GetWorld() == world)
            {
                gameInstance = candidate;
                break;
            }
        }
        if (gameInstance != nullptr)
        {
            break;
        }
    }
    if (gameInstance == nullptr)
    {
        return false;
    }
    if (world == leftWorld || IsMenuController(controller) || !IsGameController(controller) || !IsPlayerCharacter(pawn))
    {
        return false;
    }

    session.discovery = DiscoveryState{world, gameInstance, controller, pawn};
    leftWorld = nullptr;

    session.gameData = GameDataState{};

    session.brightness.nightStateKnown = false;
    RefreshBrightness(true);

    const Nanoseconds acquiredAt = ReadMonotonicClock();
    session.deadlines.nextBrightnessRefresh = acquiredAt + 10 * kSecond;
    session.deadlines.nextPlayerHiding = acquiredAt;
    session.deadlines.nextIconStyleAttempt = acquiredAt;

    mapDataDirty = true;
    playerHidingDirty = true;
    brightnessDirty = false;
    aiSnapshotTaken = false;
    return true;
}

bool LiveOrvantaMod::GameInstanceMovedOn()
{
    const DiscoveryState& found = session.discovery;
    return found.world != nullptr && IsLive(found.gameInstance, false) && found.gameInstance->GetWorld() != found.world;
}

bool LiveOrvantaMod::SessionStillValid()
{
    DiscoveryState& found = session.discovery;
    UWorld* world = found.world;
    if (!IsLive(world, false) || !IsLive(found.gameInstance, false) || !IsLive(found.playerController, false) ||
        !IsLive(found.pawn, false))
    {
        return false;
    }
    if (world == leftWorld)
    {
        return false;
    }
    if (IsMenuController(found.playerController) || !IsGameController(found.playerController) ||
        !IsPlayerCharacter(found.pawn))
    {
        return false;
    }
    // The engine's GetWorld for each (see InSessionWorld).
    if (found.playerController->GetWorld() != world || found.pawn->GetWorld() != world || found.gameInstance->GetWorld() != world)
    {
        return false;
    }
    return PawnOf(found.playerController) == found.pawn;
}
} // namespace Orv
