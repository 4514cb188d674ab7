// The game's own map data: the objects that hold it (map API, object registry, map tracker, the
// local player's revealed-icons and map-customisation components, the point-of-interest
// system, the icon style collection), found and kept per session, and the registry's lists and
// the waypoint read into marker requests.
#include "mod/LiveOrvantaMod.hpp"

#include "markers/MarkerMath.hpp"
#include "reflection/Calls.hpp"
#include "reflection/EngineSets.hpp"
#include "reflection/PropertyAccess.hpp"

#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr std::uint8_t kOtherPlayersType = 2;
constexpr std::uint8_t kGravestoneType = 3;
constexpr std::uint8_t kLodestoneType = 4;
constexpr std::uint8_t kBedType = 5;
constexpr std::uint8_t kDungeonType = 8;
constexpr std::uint8_t kLocalPlayerType = 1;
constexpr std::size_t kGuidSize = 16;

UObject* ObjectAt(Reflection& reflection, UObject* object, std::wstring_view property)
{
    return IsLive(object, false) ? ReadObjectProperty(reflection.LookupProperty(object, property),
                                                      PropertyAddress(reflection, object, property))
                                 : nullptr;
}

// An engine vector member of an array element.
bool ReadLocation(FProperty* element, void* address, std::wstring_view member, Vector3d& at)
{
    const void* vector = StructMemberAddress(element, address, member);
    if (vector == nullptr)
    {
        return false;
    }
    at = Vector3FromEngine(vector);
    return true;
}

bool ReadBoolOrFalse(FProperty* element, void* address, std::wstring_view member)
{
    return ReadBoolMember(element, address, member);
}

// Visits each element of an object's engine array property in index order: (inner property,
// element address).
template <typename Visit> void ForEachArrayElement(Reflection& reflection, UObject* object, std::wstring_view name, Visit&& visit)
{
    FProperty* property = reflection.LookupProperty(object, name);
    if (PropertyClassOf(property) != PropertyClass::Array)
    {
        return;
    }
    FProperty* inner = static_cast<FArrayProperty*>(property)->GetInner();
    if (inner == nullptr)
    {
        return;
    }
    const EngineArrayView array = ViewEngineArray(reinterpret_cast<const std::uint8_t*>(object) + property->GetOffset_Internal(),
                                                  static_cast<std::size_t>(inner->GetElementSize()));
    for (std::int32_t index = 0; index < array.count; ++index)
    {
        visit(inner, const_cast<std::uint8_t*>(array.At(index)));
    }
}

// Whether the set of names holds the name. The same text is the same engine name, so names are
// compared as names.
bool SetHoldsName(Reflection& reflection, UObject* component, FName name)
{
    FProperty* property = component != nullptr ? reflection.LookupProperty(component, L"RevealedLandmarkNames") : nullptr;
    if (PropertyClassOf(property) != PropertyClass::Set)
    {
        return false;
    }
    FProperty* element = static_cast<FSetProperty*>(property)->GetElementProp();
    if (element == nullptr)
    {
        return false;
    }
    const EngineSetView set =
        ViewEngineSet(reinterpret_cast<const std::uint8_t*>(component) + property->GetOffset_Internal(),
                      static_cast<std::size_t>(element->GetElementSize()) * static_cast<std::size_t>(element->GetArrayDim()),
                      static_cast<std::size_t>(element->GetMinAlignment()));
    for (std::int32_t index = 0; index < set.count; ++index)
    {
        FName held;
        if (set.IsElement(index) && (std::memcpy(&held, set.At(index), sizeof(held)), held == name))
        {
            return true;
        }
    }
    return false;
}
} // namespace

bool LiveOrvantaMod::IsSessionObject(UObject* object) const
{
    return IsLive(object, false) && object->GetWorld() == session.discovery.world;
}

UObject* LiveOrvantaMod::FindSearchedOnce(UObject*& cached, bool& searched, std::wstring_view className)
{
    if (IsSessionObject(cached))
    {
        return cached;
    }
    cached = nullptr;
    if (searched)
    {
        return nullptr;
    }
    searched = true;
    for (UObject* candidate : FindAllInstances(className))
    {
        if (IsSessionObject(candidate))
        {
            cached = candidate;
            break;
        }
    }
    return cached;
}

UObject* LiveOrvantaMod::FindMapApi()
{
    return FindSearchedOnce(session.gameData.mapApi, session.gameData.mapApiSearched, L"MapUIAPI");
}

UObject* LiveOrvantaMod::FindObjectRegistry()
{
    GameDataState& data = session.gameData;
    if (IsSessionObject(data.objectRegistry))
    {
        return data.objectRegistry;
    }
    data.objectRegistry = nullptr;
    if (UObject* registry = ObjectAt(reflection, session.discovery.pawn, L"GameplayObjectRegistry"))
    {
        return data.objectRegistry = registry;
    }
    if (UObject* registry = ObjectAt(reflection, FindMapApi(), L"GameplayObjectRegistry"))
    {
        return data.objectRegistry = registry;
    }
    if (data.registryScanned)
    {
        return nullptr;
    }
    data.registryScanned = true;
    for (UObject* subsystem : FindAllInstances(L"GameplayObjectSubsystem"))
    {
        if (!IsSessionObject(subsystem))
        {
            continue;
        }
        if (UObject* registry = ObjectAt(reflection, subsystem, L"ObjectRegistry"))
        {
            return data.objectRegistry = registry;
        }
    }
    return nullptr;
}

UObject* LiveOrvantaMod::FindMapTracker()
{
    GameDataState& data = session.gameData;
    if (IsSessionObject(data.mapTracker))
    {
        return data.mapTracker;
    }
    data.mapTracker = nullptr;
    UObject* library = reflection.LookupClassDefault(L"/Script/MinimapPlugin.MapFunctionLibrary");
    UFunction* getTracker = LookupFunctionByPath(reflection, L"/Script/MinimapPlugin.MapFunctionLibrary:GetMapTracker");
    if (!IsLive(library, true))
    {
        return nullptr;
    }
    UWorld* world = session.discovery.world;
    UObject* tracker = nullptr;
    const bool read = InvokeFunction(
        reflection, library, getTracker, [&](CallFrame& frame) { return frame.WriteRaw(L"WorldContextObject", &world, sizeof(world)); },
        [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &tracker, sizeof(tracker)); });
    if (read && IsSessionObject(tracker))
    {
        data.mapTracker = tracker;
    }
    return data.mapTracker;
}

UObject* LiveOrvantaMod::FindPlayerComponent(UObject*& cached, std::wstring_view onMapApi, std::wstring_view onController)
{
    if (IsSessionObject(cached))
    {
        return cached;
    }
    cached = ObjectAt(reflection, FindMapApi(), onMapApi);
    if (cached == nullptr)
    {
        cached = ObjectAt(reflection, session.discovery.playerController, onController);
    }
    return cached;
}

UObject* LiveOrvantaMod::FindRevealedIconsComponent()
{
    return FindPlayerComponent(session.gameData.revealedIconsComponent, L"LocalPlayerRevealedMapIconsComponent",
                               L"RevealedMapIconsComponent");
}

UObject* LiveOrvantaMod::FindMapCustomizationComponent()
{
    return FindPlayerComponent(session.gameData.mapCustomizationComponent, L"LocalPlayerMapCustomizationComponent",
                               L"MapCustomizationComponent");
}

UObject* LiveOrvantaMod::FindPoiDiscoverySystem()
{
    return FindSearchedOnce(session.gameData.poiSystem, session.gameData.poiScanned, L"PoiDiscoverySystem");
}

UObject* LiveOrvantaMod::FindIconDisplayInfoCollection()
{
    if (UObject* collection = ObjectAt(reflection, FindMapApi(), L"MapIconDisplayInfoCollection"))
    {
        return collection;
    }
    for (UObject* candidate : FindAllInstances(L"MapIconDisplayInfoCollection"))
    {
        if (IsLive(candidate, true))
        {
            return candidate;
        }
    }
    return nullptr;
}

bool LiveOrvantaMod::IsOwnCharacterGuid(FProperty* element, void* address, std::wstring_view member)
{
    UObject* controller = session.discovery.playerController;
    if (controller == nullptr || element == nullptr || address == nullptr)
    {
        return false;
    }
    const void* guid = StructMemberAddress(element, address, member);
    if (guid == nullptr)
    {
        return false;
    }
    std::uint8_t equal = 0;
    const bool asked = InvokeFunction(
        reflection, controller, L"IsCharacterGuidEqual", [&](CallFrame& frame) { return frame.WriteByCopy(L"InGuid", guid); },
        [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &equal, sizeof(equal)); });
    return asked && equal != 0;
}

void LiveOrvantaMod::ReadRegistryMarkers()
{
    UObject* registry = FindObjectRegistry();
    if (!IsLive(registry, false))
    {
        return;
    }
    const IconStyle* players = FindStyleById(kOtherPlayersType);
    const IconStyle* gravestones = FindStyleById(kGravestoneType);
    const IconStyle* lodestones = FindStyleById(kLodestoneType);
    const IconStyle* beds = FindStyleById(kBedType);
    UObject* revealed = FindRevealedIconsComponent();
    Vector3d at;

    ForEachArrayElement(reflection, registry, L"PlayerCharacters", [&](FProperty* element, void* entry) {
        if (players == nullptr || IsOwnCharacterGuid(element, entry, L"OwningCharacterGuid") ||
            !ReadLocation(element, entry, L"Location", at))
        {
            return;
        }
        const std::size_t before = session.mapIcons.count;
        AddMapMarker(at, *players, nullptr);
        FProperty* colourMember = nullptr;
        const void* colour = StructMemberAddress(element, entry, L"Color", &colourMember);
        if (session.mapIcons.count == before + 1 && colour != nullptr)
        {
            // Each player keeps the colour the game gave them.
            std::memcpy(&session.mapIcons.entries[before].tint, colour, sizeof(LinearColor));
        }
    });
    ForEachArrayElement(reflection, registry, L"Gravestones", [&](FProperty* element, void* entry) {
        if (gravestones != nullptr && IsOwnCharacterGuid(element, entry, L"OwningCharGuid") &&
            ReadLocation(element, entry, L"Location", at))
        {
            AddMapMarker(at, *gravestones, nullptr);
        }
    });
    ForEachArrayElement(reflection, registry, L"Lodestones", [&](FProperty* element, void* entry) {
        if (lodestones != nullptr && ReadLocation(element, entry, L"Location", at))
        {
            AddMapMarker(at, *lodestones, nullptr);
        }
    });
    ForEachArrayElement(reflection, registry, L"Beds", [&](FProperty* element, void* entry) {
        if (beds != nullptr && IsOwnCharacterGuid(element, entry, L"ClaimingCharacterGuid") &&
            ReadLocation(element, entry, L"Location", at))
        {
            AddMapMarker(at, *beds, nullptr);
        }
    });
    std::wstring tag;
    ForEachArrayElement(reflection, registry, L"Landmarks", [&](FProperty* element, void* entry) {
        if (ReadBoolOrFalse(element, entry, L"bNeedsToBeDiscovered"))
        {
            FProperty* nameMember = nullptr;
            const void* name = StructMemberAddress(element, entry, L"InternalName", &nameMember);
            if (name == nullptr || PropertyClassOf(nameMember) != PropertyClass::Name ||
                !SetHoldsName(reflection, revealed, *static_cast<const FName*>(name)))
            {
                return;
            }
        }
        if (!ReadGameplayTagName(element, entry, L"GameplayTag", tag))
        {
            return;
        }
        const IconStyle* style = FindStyleByTag(tag);
        if (style != nullptr && style->category != kLocalPlayerType && ReadLocation(element, entry, L"Location", at))
        {
            AddMapMarker(at, *style, nullptr);
        }
    });
    UObject* poiSystem = FindPoiDiscoverySystem();
    ForEachArrayElement(reflection, registry, L"Dungeons", [&](FProperty* element, void* entry) {
        if (ReadBoolOrFalse(element, entry, L"bNeedsToBeDiscovered"))
        {
            const void* identifier = StructMemberAddress(element, entry, L"Identifier");
            if (identifier == nullptr || !IsLive(poiSystem, false))
            {
                return;
            }
            bool undiscovered = false;
            ForEachArrayElement(reflection, poiSystem, L"DiscoverableDungeons", [&](FProperty* listed, void* listedEntry) {
                const void* other = StructMemberAddress(listed, listedEntry, L"Identifier");
                undiscovered = undiscovered || (other != nullptr && std::memcmp(other, identifier, kGuidSize) == 0);
            });
            if (undiscovered)
            {
                return;
            }
        }
        const IconStyle* style = ReadGameplayTagName(element, entry, L"DungeonTag", tag) ? FindStyleByTag(tag) : nullptr;
        if (style == nullptr)
        {
            style = FindStyleById(kDungeonType);
        }
        if (style != nullptr && ReadLocation(element, entry, L"EntranceLocation", at))
        {
            AddMapMarker(at, *style, nullptr);
        }
    });
}

void LiveOrvantaMod::ReadWaypointMarker()
{
    UObject* component = FindMapCustomizationComponent();
    const IconStyle* style = FindStyleById(kWaypointCategory);
    if (style == nullptr || !IsLive(component, false))
    {
        return;
    }
    UObject* waypoint = ObjectAt(reflection, component, L"CurrentWaypoint");
    if (!IsLive(waypoint, false))
    {
        return;
    }
    Vector3d at;
    if (!ReadActorLocation(reflection, waypoint, at))
    {
        return;
    }
    AddMapMarker(at, *style, nullptr);
}
} // namespace Orv
