// The game's map data on the engine's side: the icon types, the registry's entry structs, the
// styles collection and the tag table with the assets that fill them, the icon textures the
// screen draws, each world's subsystem, map UI, points of interest and map tracker, map-icon
// components entering and leaving the tracker, the local player's revealed landmarks,
// waypoint and character guid, and creatures with their data assets.
#include "Sim/FunctionDefs.hpp"
#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"

#include <Sim/Game.hpp>
#include <Sim/MapData.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <utility>

namespace Sim
{
using namespace Detail;

namespace
{
constexpr const wchar_t* kIconType = L"/Script/Umbrafel.EMapIconType";
constexpr const wchar_t* kStylesPath = L"/Game/UI/Map/DA_MapIconDisplayInfo.DA_MapIconDisplayInfo";
constexpr const wchar_t* kRegistryClass = L"/Script/Umbrafel.GameplayObjectRegistry";
constexpr int32 kIconPixels = 32;

UObject* AsObject(UWorld* world) { return reinterpret_cast<UObject*>(world); }

bool IsOf(const UObject* object, StringViewType classPath)
{
    UClass* cls = FindClass(classPath);
    return cls != nullptr && IsLiveObject(object) && object->IsA(cls);
}

// ---- Members of struct values by name; a member the build lacks is left alone ----

void* MemberOf(const UStruct* layout, void* value, StringViewType name)
{
    FProperty* property = layout != nullptr ? FindPropertyUncounted(layout, name) : nullptr;
    return property != nullptr ? property->ContainerPtrToValuePtr<void>(value) : nullptr;
}

void PutPoint(const UStruct* layout, void* value, StringViewType name, const MapPoint& at)
{
    if (void* member = MemberOf(layout, value, name))
    {
        WriteVectorValue(member, at.x, at.y, at.z);
    }
}

void PutGuid(const UStruct* layout, void* value, StringViewType name, const Guid& guid)
{
    if (void* member = MemberOf(layout, value, name))
    {
        const uint32 parts[4] = {guid.a, guid.b, guid.c, guid.d};
        std::memcpy(member, parts, sizeof(parts));
    }
}

Guid ReadGuid(const void* value)
{
    uint32 parts[4];
    std::memcpy(parts, value, sizeof(parts));
    return {parts[0], parts[1], parts[2], parts[3]};
}

void PutColour(const UStruct* layout, void* value, StringViewType name, const LinearColour& colour)
{
    if (void* member = MemberOf(layout, value, name))
    {
        const float parts[4] = {colour.r, colour.g, colour.b, colour.a};
        std::memcpy(member, parts, sizeof(parts));
    }
}

void PutName(const UStruct* layout, void* value, StringViewType name, StringViewType text)
{
    if (void* member = MemberOf(layout, value, name))
    {
        *static_cast<FName*>(member) = FName(text);
    }
}

void PutBool(const UStruct* layout, void* value, StringViewType name, bool flag)
{
    auto* property = layout != nullptr ? PropertyOf<FBoolProperty>(layout, name) : nullptr;
    if (property != nullptr)
    {
        property->SetPropertyValue(property->ContainerPtrToValuePtr<void>(value), flag);
    }
}

void PutFloat(const UStruct* layout, void* value, StringViewType name, float real)
{
    if (void* member = MemberOf(layout, value, name))
    {
        std::memcpy(member, &real, sizeof(real));
    }
}

void PutObject(const UStruct* layout, void* value, StringViewType name, UObject* object)
{
    auto* property = layout != nullptr ? PropertyOf<FObjectPropertyBase>(layout, name) : nullptr;
    if (property != nullptr)
    {
        property->SetObjectPropertyValue(property->ContainerPtrToValuePtr<void>(value), object);
    }
}

// A gameplay tag member: the tag struct's name.
void PutTag(const UStruct* layout, void* value, StringViewType name, StringViewType tag)
{
    auto* property = layout != nullptr ? PropertyOf<FStructProperty>(layout, name) : nullptr;
    if (property != nullptr)
    {
        PutName(property->GetStruct(), property->ContainerPtrToValuePtr<void>(value), L"TagName", tag);
    }
}

const UStruct* InnerStruct(const FArrayProperty* array)
{
    auto* inner = array != nullptr ? dynamic_cast<FStructProperty*>(array->GetInner()) : nullptr;
    return inner != nullptr ? inner->GetStruct() : nullptr;
}

// Calls the game's event when this build has it; hooks fire as the game's call would fire them.
void Notify(UObject* target, StringViewType classPath, StringViewType event,
            const std::function<void(UFunction*, uint8*)>& fill = {})
{
    UFunction* function = FindFunctionByPath(std::wstring(classPath) + L":" + std::wstring(event));
    if (function == nullptr || !IsLiveObject(target))
    {
        return;
    }
    CallScriptFunction(target, function, [&](uint8* parms) {
        if (fill)
        {
            fill(function, parms);
        }
    });
}

// ---- Icon pictures: shapes covered at 4 × 4 samples a pixel, painted in order ----

using Shape = std::function<bool(double x, double y)>;

struct Layer
{
    Shape shape;
    float grey = 1; // white pictures: the style's tint gives them their colour
    float r = -1, g = -1, b = -1; // a colour of its own instead
};

Shape Disc(double cx, double cy, double radius)
{
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; };
}

Shape Box(double x0, double y0, double x1, double y1)
{
    return [=](double x, double y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
}

Shape Polygon(std::vector<std::pair<double, double>> points)
{
    return [points = std::move(points)](double x, double y) {
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++)
        {
            const auto [xi, yi] = points[i];
            const auto [xj, yj] = points[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            {
                inside = !inside;
            }
        }
        return inside;
    };
}

Shape Either(Shape a, Shape b)
{
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) || b(x, y); };
}

Shape Without(Shape a, Shape b)
{
    return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && !b(x, y); };
}

std::vector<uint8> Paint(const std::vector<Layer>& layers)
{
    std::vector<uint8> rgba(static_cast<std::size_t>(kIconPixels * kIconPixels) * 4, 0);
    for (int32 py = 0; py < kIconPixels; ++py)
    {
        for (int32 px = 0; px < kIconPixels; ++px)
        {
            float r = 0, g = 0, b = 0, a = 0;
            for (const Layer& layer : layers)
            {
                int covered = 0;
                for (int sy = 0; sy < 4; ++sy)
                {
                    for (int sx = 0; sx < 4; ++sx)
                    {
                        covered += layer.shape(px + (sx + 0.5) / 4, py + (sy + 0.5) / 4) ? 1 : 0;
                    }
                }
                const float coverage = static_cast<float>(covered) / 16.0f;
                const float lr = layer.r >= 0 ? layer.r : layer.grey;
                const float lg = layer.g >= 0 ? layer.g : layer.grey;
                const float lb = layer.b >= 0 ? layer.b : layer.grey;
                r += (lr - r) * coverage;
                g += (lg - g) * coverage;
                b += (lb - b) * coverage;
                a += (1 - a) * coverage;
            }
            uint8* out = &rgba[(static_cast<std::size_t>(py) * kIconPixels + static_cast<std::size_t>(px)) * 4];
            out[0] = static_cast<uint8>(std::lround(r * 255));
            out[1] = static_cast<uint8>(std::lround(g * 255));
            out[2] = static_cast<uint8>(std::lround(b * 255));
            out[3] = static_cast<uint8>(std::lround(a * 255));
        }
    }
    return rgba;
}

Shape Star(double cx, double cy, double outer, double inner)
{
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 10; ++i)
    {
        const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const double radius = i % 2 == 0 ? outer : inner;
        points.push_back({cx + radius * std::cos(angle), cy + radius * std::sin(angle)});
    }
    return Polygon(std::move(points));
}

// The game's icon pictures, 32 × 32. The arrow points to the picture's right, along the
// world's +X, as the game draws its player; the minimap turns it up.
std::vector<std::pair<std::wstring, std::vector<Layer>>> IconPictures()
{
    constexpr float kDark = 0.15f;
    return {
        {L"T_MapIcon_Arrow", {{Polygon({{30.5, 16}, {2.5, 28.5}, {10, 16}, {2.5, 3.5}})}}},
        {L"T_MapIcon_Player", {{Disc(16, 16, 11), kDark}, {Disc(16, 16, 8.5)}}},
        {L"T_MapIcon_Gravestone",
         {{Either(Box(9, 12, 23, 29), Disc(16, 12, 7)), 0.85f}, {Either(Box(15, 8, 17, 23), Box(11, 12, 21, 14)), kDark}}},
        {L"T_MapIcon_Lodestone",
         {{Polygon({{16, 2}, {26, 16}, {16, 30}, {6, 16}})}, {Polygon({{16, 9}, {21, 16}, {16, 23}, {11, 16}}), 0.6f}}},
        {L"T_MapIcon_Bed",
         {{Box(4, 12, 28, 24)}, {Box(5.5, 13.5, 11, 18.5), 0.65f}, {Either(Box(4, 24, 7, 28), Box(25, 24, 28, 28))}}},
        {L"T_MapIcon_Tower",
         {{Either(Box(11, 8, 21, 29), Either(Box(9, 4, 12.5, 9), Either(Box(14.25, 4, 17.75, 9), Box(19.5, 4, 23, 9))))},
          {Box(14, 21, 18, 29), kDark}}},
        {L"T_MapIcon_House", {{Either(Polygon({{16, 3}, {29.5, 15}, {2.5, 15}}), Box(6, 15, 26, 29))}, {Box(14, 20, 18, 29), kDark}}},
        {L"T_MapIcon_Skull",
         {{Either(Disc(16, 13, 10.5), Box(10, 18, 22, 27))},
          {Either(Disc(12, 13, 3), Either(Disc(20, 13, 3), Either(Box(12.5, 23, 14.5, 27), Box(17.5, 23, 19.5, 27)))), kDark}}},
        {L"T_MapIcon_Tent", {{Polygon({{16, 4}, {30, 28}, {2, 28}})}, {Polygon({{16, 14}, {21, 28}, {11, 28}}), kDark}}},
        {L"T_MapIcon_Pin", {{Either(Disc(16, 11, 8.5), Polygon({{8.5, 13}, {23.5, 13}, {16, 30.5}}))}, {Disc(16, 11, 3.5), kDark}}},
        {L"T_MapIcon_Quest", {{Either(Box(13, 3, 19, 20), Disc(16, 26.5, 3.5))}}},
        {L"T_MapIcon_Cave", {{Without(Disc(16, 22, 13), Box(0, 28, 32, 32))}, {Either(Disc(16, 22, 6), Box(10, 22, 22, 28)), kDark}}},
        {L"T_MapIcon_Shrine", {{Star(16, 17, 14, 6)}}},
        {L"T_MapIcon_Resource", {{Disc(16, 16, 8)}, {Disc(13, 13, 3), 0.75f}}},
        {L"T_MapIcon_Creature", {{Polygon({{16, 4}, {27, 16}, {16, 28}, {5, 16}}), 0.9f}, {Disc(16, 16, 4), kDark}}},
        // The placeholder the game shows for a type it has no picture for.
        {L"T_MapIcon_Unknown",
         {{Disc(16, 16, 15), 0, 0.55f, 0.1f, 0.55f},
          {Without(Without(Disc(16, 11, 7), Disc(16, 11, 3.5)), Box(8, 11, 15.5, 20))},
          {Box(14.5, 14, 17.5, 21)},
          {Disc(16, 25.5, 2.2)}}},
    };
}

UObject* NewTexture(StringViewType name, int32 width, int32 height, std::vector<uint8> rgba)
{
    UClass* cls = FindClass(L"/Script/Engine.Texture2D");
    if (cls == nullptr || width <= 0 || height <= 0 ||
        rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
    {
        return nullptr;
    }
    const std::wstring shortName(name);
    UObject* texture = NewObject(cls, EngineAccess::Package(L"/Game/UI/Map/Icons/" + shortName), shortName, RF_Public);
    if (texture == nullptr)
    {
        return nullptr;
    }
    texture->GetObjectItem()->SetRootSet();
    RenderTargetPixels& pixels = State().play.textures[texture];
    pixels.width = width;
    pixels.height = height;
    pixels.rgba = std::move(rgba);
    return texture;
}

// ---- Styles, tags and creature data ----

struct StyleDef
{
    uint8 type;
    const wchar_t* texture;
    LinearColour tint;
    float size;
    float rotationOffset = 0;
};

// Every type the scenarios show has a style; Ruins (18) and Portal (22) only have the
// placeholder's picture, which a map must not take for a real icon.
std::vector<StyleDef> GameStyles()
{
    std::vector<StyleDef> styles = {
        {MapIconType::LocalPlayer, L"T_MapIcon_Arrow", {1, 1, 1, 1}, 28},
        {MapIconType::OtherPlayer, L"T_MapIcon_Player", {0.35f, 0.75f, 1, 1}, 18},
        {MapIconType::Gravestone, L"T_MapIcon_Gravestone", {0.75f, 0.75f, 0.8f, 1}, 18},
        {MapIconType::Lodestone, L"T_MapIcon_Lodestone", {0.45f, 0.6f, 1, 1}, 20},
        {MapIconType::Bed, L"T_MapIcon_Bed", {0.95f, 0.65f, 0.35f, 1}, 18},
        {MapIconType::Landmark, L"T_MapIcon_Tower", {1, 0.9f, 0.6f, 1}, 22},
        {MapIconType::Village, L"T_MapIcon_House", {0.9f, 0.8f, 0.6f, 1}, 22},
        {MapIconType::Dungeon, L"T_MapIcon_Skull", {0.95f, 0.35f, 0.3f, 1}, 22},
        {MapIconType::Camp, L"T_MapIcon_Tent", {0.8f, 0.7f, 0.5f, 1}, 20},
        {MapIconType::Waypoint, L"T_MapIcon_Pin", {1, 0.85f, 0.2f, 1}, 24},
        {MapIconType::Cave, L"T_MapIcon_Cave", {0.7f, 0.6f, 0.5f, 1}, 20},
        {MapIconType::Ruins, L"T_MapIcon_Unknown", {1, 1, 1, 1}, 20},
        {MapIconType::Shrine, L"T_MapIcon_Shrine", {0.7f, 0.9f, 1, 1}, 20},
        {MapIconType::Portal, L"T_MapIcon_Unknown", {1, 1, 1, 1}, 20},
    };
    for (uint8 quest : {11, 12, 13, 14, 15, 16, 51, 52, 53})
    {
        styles.push_back({quest, L"T_MapIcon_Quest", {1, 0.8f, 0.1f, 1}, 22});
    }
    const LinearColour ores[] = {{0.8f, 0.5f, 0.3f, 1}, {0.75f, 0.75f, 0.8f, 1}, {1, 0.85f, 0.3f, 1},
                                 {0.4f, 0.8f, 0.4f, 1}, {0.6f, 0.4f, 0.9f, 1}, {0.3f, 0.8f, 0.9f, 1}};
    for (uint8 resource = MapIconType::FirstResource; resource < MapIconType::FirstResource + 6; ++resource)
    {
        styles.push_back({resource, L"T_MapIcon_Resource", ores[resource - MapIconType::FirstResource], 12});
    }
    return styles;
}

// Tags the world's landmarks and dungeons carry; "Map.Dungeon.Lair" is left out on purpose,
// and "Map.Player.Marker" names the local player's type, which no landmark may show as.
const std::vector<std::pair<const wchar_t*, uint8>>& GameTags()
{
    static const std::vector<std::pair<const wchar_t*, uint8>> tags = {
        {L"Map.Landmark.Tower", MapIconType::Landmark}, {L"Map.Landmark.Village", MapIconType::Village},
        {L"Map.Landmark.Camp", MapIconType::Camp},      {L"Map.Landmark.Cave", MapIconType::Cave},
        {L"Map.Landmark.Shrine", MapIconType::Shrine},  {L"Map.Landmark.Ruins", MapIconType::Ruins},
        {L"Map.Dungeon.Crypt", MapIconType::Dungeon},   {L"Map.Dungeon.Mine", MapIconType::Dungeon},
        {L"Map.Player.Marker", MapIconType::LocalPlayer},
    };
    return tags;
}

std::wstring CreatureDataName(bool boss, uint8 archetype)
{
    return std::wstring(boss ? L"DA_Boss_" : L"DA_Creature_") + std::to_wstring(archetype);
}

// The styles map of the collection asset.
struct StylesMap
{
    FMapProperty* property = nullptr;
    void* value = nullptr;
    const UStruct* style = nullptr;
};

StylesMap Styles()
{
    UObject* collection = MapIconStyles();
    auto* property = collection != nullptr ? PropertyOf<FMapProperty>(collection->GetClassPrivate(), L"MapIcons") : nullptr;
    if (property == nullptr)
    {
        return {};
    }
    auto* valueProperty = dynamic_cast<FStructProperty*>(property->GetValueProp());
    return {property, property->ContainerPtrToValuePtr<void>(collection), valueProperty != nullptr ? valueProperty->GetStruct() : nullptr};
}

int32 FindStyle(const StylesMap& styles, uint8 type)
{
    for (int32 index = 0; styles.property != nullptr && index < SetMaxIndex(styles.value); ++index)
    {
        auto* key = static_cast<uint8*>(MapKey(styles.property, styles.value, index));
        if (key != nullptr && *key == type)
        {
            return index;
        }
    }
    return -1;
}

void WriteStyle(const UStruct* layout, void* value, const MapIconStyle& style)
{
    PutObject(layout, value, L"Texture", style.texture);
    PutColour(layout, value, L"Tint", style.tint);
    PutFloat(layout, value, L"IconSize", style.iconSize);
    PutFloat(layout, value, L"RotationOffset", style.rotationOffset);
}

struct TagMap
{
    FMapProperty* property = nullptr;
    void* value = nullptr;
    const UStruct* tag = nullptr;
};

TagMap Tags()
{
    UObject* settings = MapSettingsDefaults();
    auto* property = settings != nullptr ? PropertyOf<FMapProperty>(settings->GetClassPrivate(), L"GameplayTagToMapIconType") : nullptr;
    if (property == nullptr)
    {
        return {};
    }
    auto* key = dynamic_cast<FStructProperty*>(property->GetKeyProp());
    return {property, property->ContainerPtrToValuePtr<void>(settings), key != nullptr ? key->GetStruct() : nullptr};
}

int32 FindTag(const TagMap& tags, StringViewType tag)
{
    const FName wanted(tag);
    for (int32 index = 0; tags.property != nullptr && index < SetMaxIndex(tags.value); ++index)
    {
        void* key = MapKey(tags.property, tags.value, index);
        auto* name = key != nullptr ? static_cast<FName*>(MemberOf(tags.tag, key, L"TagName")) : nullptr;
        if (name != nullptr && *name == wanted)
        {
            return index;
        }
    }
    return -1;
}

// ---- Worlds ----

MapWorldRecord* RecordOf(const UObject* world)
{
    auto found = State().play.mapWorlds.find(world);
    return found != State().play.mapWorlds.end() ? &found->second : nullptr;
}

UObject* Live(UObject* object) { return IsLiveObject(object) ? object : nullptr; }

// A registry array with its element layout, the registry spawned when there is none yet.
struct RegistryArray
{
    UObject* registry = nullptr;
    FArrayProperty* property = nullptr;
    void* value = nullptr;
    const UStruct* layout = nullptr;
};

RegistryArray ArrayOf(UWorld* world, StringViewType name, bool spawn = true)
{
    UObject* registry = spawn ? GameplayObjectRegistryOf(world) : nullptr;
    if (!spawn)
    {
        auto* record = RecordOf(AsObject(world));
        registry = record != nullptr ? Live(record->registry) : nullptr;
    }
    auto* property = registry != nullptr ? PropertyOf<FArrayProperty>(registry->GetClassPrivate(), name) : nullptr;
    if (property == nullptr)
    {
        return {};
    }
    return {registry, property, property->ContainerPtrToValuePtr<void>(registry), InnerStruct(property)};
}

void AddTo(UWorld* world, StringViewType array, StringViewType event,
           const std::function<void(const UStruct*, void*)>& fill)
{
    RegistryArray entries = ArrayOf(world, array);
    if (entries.property == nullptr)
    {
        return;
    }
    ArrayAdd(entries.property, entries.value, [&](void* element) { fill(entries.layout, element); });
    Notify(entries.registry, kRegistryClass, event);
}

int32 FindPlayer(const RegistryArray& players, const Guid& character)
{
    for (int32 index = 0; players.property != nullptr && index < ArrayNum(players.value); ++index)
    {
        void* guid = MemberOf(players.layout, ArrayElement(players.property, players.value, index), L"OwningCharacterGuid");
        if (guid != nullptr && ReadGuid(guid) == character)
        {
            return index;
        }
    }
    return -1;
}

UObject* ControllerComponent(UObject* controller, StringViewType property)
{
    return IsLiveObject(controller) ? Live(ObjectReference(controller, property)) : nullptr;
}

// The local player's game controller in the world.
UObject* LocalControllerIn(const UObject* world)
{
    UObject* controller = ObjectReference(LocalPlayer(), L"PlayerController");
    return IsLiveObject(controller) && reinterpret_cast<const UObject*>(controller->GetWorld()) == world ? controller : nullptr;
}

// The tracker's list of map-icon components, and where in an element the component is: the
// element itself (an object reference or a weak pointer), or its struct's "Component" member.
struct IconList
{
    FArrayProperty* property = nullptr;
    void* value = nullptr;
    FObjectPropertyBase* reference = nullptr;
    int32 offset = 0;
};

IconList IconsOf(UObject* tracker)
{
    auto* property = Holds(tracker) ? PropertyOf<FArrayProperty>(tracker->GetClassPrivate(), L"MapIcons") : nullptr;
    if (property == nullptr)
    {
        return {};
    }
    IconList icons{property, property->ContainerPtrToValuePtr<void>(tracker)};
    if (auto* entry = dynamic_cast<FStructProperty*>(property->GetInner()))
    {
        icons.reference = PropertyOf<FObjectPropertyBase>(entry->GetStruct(), L"Component");
        icons.offset = icons.reference != nullptr ? icons.reference->GetOffset_Internal() : 0;
    }
    else
    {
        icons.reference = dynamic_cast<FObjectPropertyBase*>(property->GetInner());
    }
    return icons.reference != nullptr ? icons : IconList{};
}

UObject* IconAt(const IconList& icons, int32 index)
{
    return icons.reference->GetObjectPropertyValue(static_cast<uint8*>(ArrayElement(icons.property, icons.value, index)) +
                                                   icons.offset);
}

// Entries that no longer name a component (a weak pointer to one gone) go with it.
void RemoveIcon(UObject* tracker, const UObject* component)
{
    IconList icons = IconsOf(tracker);
    for (int32 index = icons.property != nullptr ? ArrayNum(icons.value) - 1 : -1; index >= 0; --index)
    {
        const UObject* held = IconAt(icons, index);
        if (held == component || held == nullptr)
        {
            ArrayRemoveAt(icons.property, icons.value, index);
        }
    }
}

// USceneComponent::GetComponentLocation, from the relative members up the attachment chain.
void WorldLocation(UObject* component, double (&out)[3], double& yaw, int depth = 0)
{
    static NativeMember<FStructProperty> relativeLocation{L"/Script/Engine.SceneComponent", L"RelativeLocation"};
    static NativeMember<FStructProperty> relativeRotation{L"/Script/Engine.SceneComponent", L"RelativeRotation"};
    static NativeMember<FObjectPropertyBase> attachParent{L"/Script/Engine.SceneComponent", L"AttachParent"};
    auto* location = relativeLocation.Get();
    auto* rotation = relativeRotation.Get();
    double relative[3] = {0, 0, 0};
    double pitch = 0, ownYaw = 0, roll = 0;
    if (location != nullptr)
    {
        ReadVectorValue(location->ContainerPtrToValuePtr<void>(component), relative[0], relative[1], relative[2]);
    }
    if (rotation != nullptr)
    {
        ReadRotatorValue(rotation->ContainerPtrToValuePtr<void>(component), pitch, ownYaw, roll);
    }
    auto* parentMember = attachParent.Get();
    UObject* parent = parentMember != nullptr ? parentMember->GetObjectPropertyValue(parentMember->ContainerPtrToValuePtr<void>(component)) : nullptr;
    if (parent == nullptr || !Holds(parent) || parent == component || depth > 32)
    {
        std::copy(relative, relative + 3, out);
        yaw = ownYaw;
        return;
    }
    double base[3];
    double parentYaw = 0;
    WorldLocation(parent, base, parentYaw, depth + 1);
    const double turn = parentYaw * std::numbers::pi / 180;
    out[0] = base[0] + relative[0] * std::cos(turn) - relative[1] * std::sin(turn);
    out[1] = base[1] + relative[0] * std::sin(turn) + relative[1] * std::cos(turn);
    out[2] = base[2] + relative[2];
    yaw = parentYaw + ownYaw;
}

void GetComponentLocation(Call& call)
{
    const MapPoint at = ComponentWorldLocation(call.Self());
    WriteVectorValue(call.ParamAddress(L"ReturnValue"), at.x, at.y, at.z);
}

void GetMapTracker(Call& call)
{
    UObject* context = call.Get<UObject*>(L"WorldContextObject");
    UWorld* world = context != nullptr && Holds(context) ? context->GetWorld() : nullptr;
    call.Get<UObject*>(L"ReturnValue") = world != nullptr ? MapTrackerOf(world) : nullptr;
}

void SpawnWaypoint(UObject* mapUi, UObject* customization, const MapPoint& at)
{
    if (UObject* old = Live(ObjectReference(customization, L"CurrentWaypoint")))
    {
        DestroyActor(old);
    }
    UObject* waypoint = SpawnActor(mapUi->GetWorld(), L"/Script/Umbrafel.WaypointActor", {at.x, at.y, at.z});
    SetObjectReference(customization, L"CurrentWaypoint", waypoint);
}
} // namespace

// ---- Definitions ----

// What the game's own classes refer to, defined before them.
void DefineMapTypes()
{
    auto vector = Struct(L"/Script/CoreUObject.Vector");
    auto guid = Struct(L"/Script/CoreUObject.Guid");
    auto tag = Struct(L"/Script/GameplayTags.GameplayTag");
    DefineClass({.path = L"/Script/Engine.Texture"});
    DefineClass({.path = L"/Script/Engine.Texture2D",
                 .super = L"/Script/Engine.Texture",
                 .functions = {{L"Blueprint_GetSizeX", {Return(Int())},
                                [](Call& call) {
                                    auto found = State().play.textures.find(call.Self());
                                    call.Get<int32>(L"ReturnValue") = found != State().play.textures.end() ? found->second.width : 0;
                                }},
                               {L"Blueprint_GetSizeY", {Return(Int())}, [](Call& call) {
                                    auto found = State().play.textures.find(call.Self());
                                    call.Get<int32>(L"ReturnValue") = found != State().play.textures.end() ? found->second.height : 0;
                                }}}});
    DefineClass({.path = L"/Script/Engine.DataAsset"});
    DefineClass({.path = L"/Script/Engine.PrimaryDataAsset", .super = L"/Script/Engine.DataAsset"});

    std::vector<std::pair<std::wstring, int64>> types = {
        {L"None", 0},         {L"LocalPlayer", 1},    {L"OtherPlayer", 2},   {L"Gravestone", 3},     {L"Lodestone", 4},
        {L"Bed", 5},          {L"Landmark", 6},       {L"Village", 7},       {L"Dungeon", 8},        {L"Camp", 9},
        {L"Waypoint", 10},    {L"QuestMain", 11},     {L"QuestSide", 12},    {L"QuestObjective", 13}, {L"QuestTurnIn", 14},
        {L"QuestAvailable", 15}, {L"QuestArea", 16},  {L"Cave", 17},         {L"Ruins", 18},         {L"Tower", 19},
        {L"Shrine", 20},      {L"Merchant", 21},      {L"Portal", 22}};
    const wchar_t* resources[] = {L"Copper", L"Tin", L"Iron", L"Silver", L"Gold", L"Mithril", L"Coal", L"Salt", L"Clay",
                                  L"Flint", L"Obsidian", L"Crystal", L"Amber", L"Oak", L"Pine", L"Birch", L"Yew",
                                  L"Herb", L"Mushroom", L"Berry", L"Flax", L"Cotton", L"Reed", L"Honey", L"Fish",
                                  L"Hide", L"Bone"};
    int64 value = MapIconType::FirstResource;
    for (const wchar_t* resource : resources)
    {
        types.push_back({std::wstring(L"Resource") + resource, value++});
    }
    types.push_back({L"Arena", 50});
    types.push_back({L"QuestTracked", 51});
    types.push_back({L"QuestCompleted", 52});
    types.push_back({L"QuestFailed", 53});
    types.push_back({L"EMapIconType_MAX", 54});
    for (auto& [name, number] : types)
    {
        name = L"EMapIconType::" + name;
    }
    DefineEnum({kIconType, types});
    DefineEnum({L"/Script/Umbrafel.EAICharacterArchetype",
                {{L"EAICharacterArchetype::Passive", 0},
                 {L"EAICharacterArchetype::Neutral", 1},
                 {L"EAICharacterArchetype::Aggressive", 2},
                 {L"EAICharacterArchetype::EAICharacterArchetype_MAX", 3}}});

    DefineStruct({L"/Script/Umbrafel.MapIconDisplayInfo",
                  {},
                  {{L"Texture", Object(L"/Script/Engine.Texture2D")},
                   {L"Tint", Struct(L"/Script/CoreUObject.LinearColor")},
                   {L"IconSize", Float()},
                   {L"RotationOffset", Float()}}});
    DefineStruct({L"/Script/Umbrafel.PlayerCharacterRegistryEntry",
                  {},
                  {{L"OwningCharacterGuid", guid},
                   {L"CharacterName", Str()},
                   {L"Location", vector},
                   {L"Color", Struct(L"/Script/CoreUObject.LinearColor")}}});
    DefineStruct({L"/Script/Umbrafel.GravestoneRegistryEntry", {}, {{L"OwningCharGuid", guid}, {L"Location", vector}}});
    DefineStruct({L"/Script/Umbrafel.LodestoneRegistryEntry", {}, {{L"Location", vector}}});
    DefineStruct({L"/Script/Umbrafel.BedRegistryEntry", {}, {{L"ClaimingCharacterGuid", guid}, {L"Location", vector}}});
    DefineStruct({L"/Script/Umbrafel.LandmarkRegistryEntry",
                  {},
                  {{L"bNeedsToBeDiscovered", Bool()}, {L"InternalName", Name()}, {L"GameplayTag", tag}, {L"Location", vector}}});
    DefineStruct({L"/Script/Umbrafel.DungeonRegistryEntry",
                  {},
                  {{L"bNeedsToBeDiscovered", Bool()},
                   {L"Identifier", guid},
                   {L"DungeonTag", tag},
                   {L"EntranceLocation", vector}}});
    DefineStruct({L"/Script/Umbrafel.DiscoverableDungeonEntry", {}, {{L"Identifier", guid}, {L"DiscoveryRadius", Float()}}});

    DefineClass({.path = L"/Script/Umbrafel.WaypointActor", .super = L"/Script/Engine.Actor"});
    DefineClass({.path = L"/Script/Umbrafel.AICharacterData",
                 .super = L"/Script/Engine.PrimaryDataAsset",
                 .properties = {{L"bIsBoss", Bool()}, {L"Archetype", Enum(L"/Script/Umbrafel.EAICharacterArchetype")}}});
}

// The map's own classes and the assets that fill them, after the game's classes.
void DefineMapClasses(TrackedIcons trackedIcons)
{
    auto style = Struct(L"/Script/Umbrafel.MapIconDisplayInfo");
    DefineClass({.path = L"/Script/Umbrafel.MapIconDisplayInfoCollection",
                 .super = L"/Script/Engine.PrimaryDataAsset",
                 .properties = {{L"MapIcons", Map(Enum(kIconType), style)}, {L"PlaceholderMapIcon", style}}});
    DefineClass({.path = L"/Script/DeveloperSettings.DeveloperSettings"});
    DefineClass({.path = L"/Script/Umbrafel.MapSettings",
                 .super = L"/Script/DeveloperSettings.DeveloperSettings",
                 .properties = {{L"GameplayTagToMapIconType", Map(Struct(L"/Script/GameplayTags.GameplayTag"), Enum(kIconType))}}});
    DefineClass({.path = L"/Script/Umbrafel.GameplayObjectSubsystem",
                 .properties = {{L"ObjectRegistry", Object(kRegistryClass)}}});
    DefineClass({.path = L"/Script/Umbrafel.PoiDiscoverySystem",
                 .properties = {{L"DiscoverableDungeons", Array(Struct(L"/Script/Umbrafel.DiscoverableDungeonEntry"))}}});
    auto icon = Object(L"/Script/MinimapPlugin.MapIconComponent");
    if (trackedIcons == TrackedIcons::WeakPointers)
    {
        icon = WeakObject(L"/Script/MinimapPlugin.MapIconComponent");
    }
    if (trackedIcons == TrackedIcons::Structs)
    {
        DefineStruct({L"/Script/MinimapPlugin.TrackedMapIcon", {}, {{L"Component", icon}, {L"Priority", Float()}}});
        icon = Struct(L"/Script/MinimapPlugin.TrackedMapIcon");
    }
    DefineClass({.path = L"/Script/MinimapPlugin.MapTracker", .properties = {{L"MapIcons", Array(icon)}}});
    DefineClass({.path = L"/Script/Engine.BlueprintFunctionLibrary"});
    DefineClass({.path = L"/Script/MinimapPlugin.MapFunctionLibrary",
                 .super = L"/Script/Engine.BlueprintFunctionLibrary",
                 .functions = {{L"GetMapTracker",
                                {In(L"WorldContextObject", Object()), Return(Object(L"/Script/MinimapPlugin.MapTracker"))},
                                &GetMapTracker,
                                kLibraryFunction}}});
    AddFunction(FindClass(L"/Script/Engine.SceneComponent"),
                {L"K2_GetComponentLocation", {Return(Struct(L"/Script/CoreUObject.Vector"))}, &GetComponentLocation});

    for (auto& [name, layers] : IconPictures())
    {
        NewTexture(name, kIconPixels, kIconPixels, Paint(layers));
    }
    if (UClass* collectionClass = FindClass(L"/Script/Umbrafel.MapIconDisplayInfoCollection"))
    {
        UObject* collection = NewObject(collectionClass, EngineAccess::Package(L"/Game/UI/Map/DA_MapIconDisplayInfo"),
                                        L"DA_MapIconDisplayInfo", RF_Public);
        collection->GetObjectItem()->SetRootSet();
        for (const StyleDef& def : GameStyles())
        {
            SetStyle(def.type, {GameTexture(def.texture), def.tint, def.size, def.rotationOffset});
        }
        auto* placeholder = PropertyOf<FStructProperty>(collectionClass, L"PlaceholderMapIcon");
        if (placeholder != nullptr)
        {
            WriteStyle(placeholder->GetStruct(), placeholder->ContainerPtrToValuePtr<void>(collection),
                       {GameTexture(L"T_MapIcon_Unknown"), {1, 1, 1, 1}, 20, 0});
        }
    }
    for (const auto& [tag, type] : GameTags())
    {
        MapTagToIconType(tag, type);
    }
    if (UClass* dataClass = FindClass(L"/Script/Umbrafel.AICharacterData"))
    {
        for (bool boss : {false, true})
        {
            for (uint8 archetype = 0; archetype < 3; ++archetype)
            {
                const std::wstring name = CreatureDataName(boss, archetype);
                UObject* data = NewObject(dataClass, EngineAccess::Package(L"/Game/Data/Creatures/" + name), name, RF_Public);
                data->GetObjectItem()->SetRootSet();
                PutBool(dataClass, data, L"bIsBoss", boss);
                if (void* member = MemberOf(dataClass, data, L"Archetype"))
                {
                    *static_cast<uint8*>(member) = archetype;
                }
            }
        }
    }
}
} // namespace Sim

namespace Sim::Detail
{
void CreateMapObjects(UObject* world, std::vector<UObject*>& keep)
{
    MapWorldRecord record;
    auto make = [&](StringViewType classPath, StringViewType name) -> UObject* {
        UClass* cls = FindClass(classPath);
        UObject* object = cls != nullptr ? NewObject(cls, world, name) : nullptr;
        if (object != nullptr)
        {
            keep.push_back(object);
        }
        return object;
    };
    record.subsystem = make(L"/Script/Umbrafel.GameplayObjectSubsystem", L"GameplayObjectSubsystem");
    record.tracker = make(L"/Script/MinimapPlugin.MapTracker", L"MapTracker");
    record.poi = make(L"/Script/Umbrafel.PoiDiscoverySystem", L"PoiDiscoverySystem");
    record.mapUi = make(L"/Script/Umbrafel.MapUIAPI", L"MapUIAPI");
    SetObjectReference(record.mapUi, L"MapIconDisplayInfoCollection", MapIconStyles());
    State().play.mapWorlds[world] = record;
}

void MapActorBegins(UObject* actor)
{
    auto* record = RecordOf(reinterpret_cast<const UObject*>(actor->GetWorld()));
    if (record != nullptr && IsOf(actor, L"/Script/Umbrafel.UmbrafelPlayerCharacter"))
    {
        SetObjectReference(actor, L"GameplayObjectRegistry", Live(record->registry));
    }
}

void TrackMapIcon(UObject* component, bool playing)
{
    UClass* iconClass = FindClass(L"/Script/MinimapPlugin.MapIconComponent");
    if (iconClass == nullptr || !component->IsA(iconClass))
    {
        return;
    }
    auto& tracked = State().play.trackedIcons;
    if (!playing)
    {
        if (auto found = tracked.find(component); found != tracked.end())
        {
            UObject* tracker = found->second;
            tracked.erase(found);
            RemoveIcon(tracker, component);
        }
        return;
    }
    auto* record = RecordOf(reinterpret_cast<const UObject*>(component->GetWorld()));
    UObject* tracker = record != nullptr ? Live(record->tracker) : nullptr;
    IconList icons = IconsOf(tracker);
    if (icons.property == nullptr || tracked.contains(component))
    {
        return;
    }
    tracked[component] = tracker;
    ArrayAdd(icons.property, icons.value, [&icons, component](void* element) {
        icons.reference->SetObjectPropertyValue(static_cast<uint8*>(element) + icons.offset, component);
    });
}

void NoteLocalController(UObject* controller)
{
    auto* record = RecordOf(reinterpret_cast<const UObject*>(controller->GetWorld()));
    UObject* mapUi = record != nullptr ? Live(record->mapUi) : nullptr;
    if (mapUi == nullptr || !IsOf(controller, L"/Script/Umbrafel.UmbrafelPlayerController"))
    {
        return;
    }
    SetObjectReference(mapUi, L"LocalPlayerRevealedMapIconsComponent", ControllerComponent(controller, L"RevealedMapIconsComponent"));
    SetObjectReference(mapUi, L"LocalPlayerMapCustomizationComponent", ControllerComponent(controller, L"MapCustomizationComponent"));
}

void ForgetMapObject(PlayState& play, const UObject* object)
{
    play.textures.erase(object);
    play.mapWorlds.erase(object);
    for (auto& [world, record] : play.mapWorlds)
    {
        for (UObject** field : {&record.subsystem, &record.tracker, &record.mapUi, &record.poi, &record.registry, &record.poiActor})
        {
            if (*field == object)
            {
                *field = nullptr;
            }
        }
    }
    if (auto found = play.trackedIcons.find(object); found != play.trackedIcons.end())
    {
        UObject* tracker = found->second;
        play.trackedIcons.erase(found);
        RemoveIcon(tracker, object);
    }
    std::erase_if(play.trackedIcons, [object](const auto& entry) { return entry.second == object; });
}

void PlaceWaypointBody(Call& call)
{
    UObject* controller = LocalControllerIn(reinterpret_cast<const UObject*>(call.Self()->GetWorld()));
    UObject* customization = ControllerComponent(controller, L"MapCustomizationComponent");
    if (customization == nullptr)
    {
        return;
    }
    MapPoint at;
    ReadVectorValue(call.ParamAddress(L"Location"), at.x, at.y, at.z);
    SpawnWaypoint(call.Self(), customization, at);
}

void ClearWaypointBody(Call& call)
{
    UObject* controller = LocalControllerIn(reinterpret_cast<const UObject*>(call.Self()->GetWorld()));
    UObject* customization = ControllerComponent(controller, L"MapCustomizationComponent");
    if (customization == nullptr)
    {
        return;
    }
    UObject* old = Live(ObjectReference(customization, L"CurrentWaypoint"));
    SetObjectReference(customization, L"CurrentWaypoint", nullptr);
    if (old != nullptr)
    {
        DestroyActor(old);
    }
}
} // namespace Sim::Detail

namespace Sim
{
UObject* MakeTexture(StringViewType name, int32 width, int32 height, std::vector<uint8> rgba)
{
    auto guard = LockEngine();
    return NewTexture(name, width, height, std::move(rgba));
}

UObject* GameTexture(StringViewType name)
{
    const std::wstring shortName(name);
    UObject* found = FindObjectByPath(L"/Game/UI/Map/Icons/" + shortName + L"." + shortName);
    return IsOf(found, L"/Script/Engine.Texture2D") ? found : nullptr;
}

bool ReadTexture(const UObject* texture, RenderTargetImage& out)
{
    auto found = State().play.textures.find(texture);
    if (found == State().play.textures.end())
    {
        return false;
    }
    out.width = found->second.width;
    out.height = found->second.height;
    out.rgba = found->second.rgba;
    return true;
}

UObject* MapIconStyles()
{
    UObject* found = FindObjectByPath(kStylesPath);
    return IsOf(found, L"/Script/Umbrafel.MapIconDisplayInfoCollection") ? found : nullptr;
}

UObject* MapSettingsDefaults()
{
    UClass* cls = FindClass(L"/Script/Umbrafel.MapSettings");
    return cls != nullptr ? EngineAccess::DefaultObject(cls) : nullptr;
}

bool StyleOf(uint8 type, MapIconStyle& out)
{
    StylesMap styles = Styles();
    const int32 index = FindStyle(styles, type);
    if (index < 0)
    {
        return false;
    }
    void* value = MapValue(styles.property, styles.value, index);
    out = {};
    if (auto* texture = PropertyOf<FObjectPropertyBase>(styles.style, L"Texture"))
    {
        out.texture = texture->GetObjectPropertyValue(texture->ContainerPtrToValuePtr<void>(value));
    }
    if (void* tint = MemberOf(styles.style, value, L"Tint"))
    {
        std::memcpy(&out.tint, tint, sizeof(out.tint));
    }
    if (void* size = MemberOf(styles.style, value, L"IconSize"))
    {
        std::memcpy(&out.iconSize, size, sizeof(float));
    }
    if (void* offset = MemberOf(styles.style, value, L"RotationOffset"))
    {
        std::memcpy(&out.rotationOffset, offset, sizeof(float));
    }
    return true;
}

void SetStyle(uint8 type, const MapIconStyle& style)
{
    StylesMap styles = Styles();
    if (styles.property == nullptr)
    {
        return;
    }
    int32 index = FindStyle(styles, type);
    if (index < 0)
    {
        index = MapAdd(styles.property, styles.value, [type](void* key, void*) { *static_cast<uint8*>(key) = type; });
    }
    WriteStyle(styles.style, MapValue(styles.property, styles.value, index), style);
}

bool RemoveStyle(uint8 type)
{
    StylesMap styles = Styles();
    const int32 index = FindStyle(styles, type);
    return index >= 0 && MapRemoveAt(styles.property, styles.value, index);
}

void MapTagToIconType(StringViewType tag, uint8 type)
{
    TagMap tags = Tags();
    if (tags.property == nullptr)
    {
        return;
    }
    int32 index = FindTag(tags, tag);
    if (index < 0)
    {
        index = MapAdd(tags.property, tags.value, [&](void* key, void*) { PutName(tags.tag, key, L"TagName", tag); });
    }
    *static_cast<uint8*>(MapValue(tags.property, tags.value, index)) = type;
}

bool UnmapTag(StringViewType tag)
{
    TagMap tags = Tags();
    const int32 index = FindTag(tags, tag);
    return index >= 0 && MapRemoveAt(tags.property, tags.value, index);
}

UObject* GameplayObjectRegistryOf(UWorld* world)
{
    auto* record = RecordOf(AsObject(world));
    if (record == nullptr || !IsLiveObject(AsObject(world)))
    {
        return nullptr;
    }
    if (UObject* existing = Live(record->registry))
    {
        return existing;
    }
    UObject* registry = SpawnActor(world, kRegistryClass);
    record = RecordOf(AsObject(world));
    if (registry == nullptr || record == nullptr)
    {
        return nullptr;
    }
    record->registry = registry;
    SetObjectReference(Live(record->subsystem), L"ObjectRegistry", registry);
    SetObjectReference(Live(record->mapUi), L"GameplayObjectRegistry", registry);
    for (UObject* actor : ActorsOf(world))
    {
        if (IsOf(actor, L"/Script/Umbrafel.UmbrafelPlayerCharacter"))
        {
            SetObjectReference(actor, L"GameplayObjectRegistry", registry);
        }
    }
    return registry;
}

UObject* GameplayObjectSubsystemOf(UWorld* world)
{
    auto* record = RecordOf(AsObject(world));
    return record != nullptr ? Live(record->subsystem) : nullptr;
}

UObject* MapTrackerOf(UWorld* world)
{
    auto* record = RecordOf(AsObject(world));
    return record != nullptr ? Live(record->tracker) : nullptr;
}

UObject* MapUIAPIOf(UWorld* world)
{
    auto* record = RecordOf(AsObject(world));
    return record != nullptr ? Live(record->mapUi) : nullptr;
}

UObject* PoiDiscoverySystemOf(UWorld* world)
{
    auto* record = RecordOf(AsObject(world));
    return record != nullptr ? Live(record->poi) : nullptr;
}

UObject* PoiDiscoverySystemActorOf(UWorld* world)
{
    auto* record = RecordOf(AsObject(world));
    if (record == nullptr)
    {
        return nullptr;
    }
    if (UObject* existing = Live(record->poiActor))
    {
        return existing;
    }
    UObject* actor = SpawnActor(world, L"/Script/Umbrafel.PoiDiscoverySystemActor");
    if (auto* again = RecordOf(AsObject(world)); again != nullptr)
    {
        again->poiActor = actor;
    }
    return actor;
}

void AddRegistryPlayer(UWorld* world, const Guid& character, const MapPoint& at, const LinearColour& colour, StringViewType name)
{
    AddTo(world, L"PlayerCharacters", L"OnRep_PlayerCharacters", [&](const UStruct* layout, void* element) {
        PutGuid(layout, element, L"OwningCharacterGuid", character);
        if (void* text = MemberOf(layout, element, L"CharacterName"))
        {
            WriteString(text, name);
        }
        PutPoint(layout, element, L"Location", at);
        PutColour(layout, element, L"Color", colour);
    });
}

bool MoveRegistryPlayer(UWorld* world, const Guid& character, const MapPoint& at)
{
    RegistryArray players = ArrayOf(world, L"PlayerCharacters", false);
    const int32 index = FindPlayer(players, character);
    if (index < 0)
    {
        return false;
    }
    PutPoint(players.layout, ArrayElement(players.property, players.value, index), L"Location", at);
    Notify(players.registry, kRegistryClass, L"OnRep_PlayerCharacters");
    return true;
}

bool RemoveRegistryPlayer(UWorld* world, const Guid& character)
{
    RegistryArray players = ArrayOf(world, L"PlayerCharacters", false);
    const int32 index = FindPlayer(players, character);
    if (index < 0)
    {
        return false;
    }
    ArrayRemoveAt(players.property, players.value, index);
    Notify(players.registry, kRegistryClass, L"OnRep_PlayerCharacters");
    return true;
}

void AddGravestone(UWorld* world, const Guid& owner, const MapPoint& at)
{
    AddTo(world, L"Gravestones", L"OnRep_Gravestones", [&](const UStruct* layout, void* element) {
        PutGuid(layout, element, L"OwningCharGuid", owner);
        PutPoint(layout, element, L"Location", at);
    });
}

void AddLodestone(UWorld* world, const MapPoint& at)
{
    AddTo(world, L"Lodestones", L"OnRep_Lodestones",
          [&](const UStruct* layout, void* element) { PutPoint(layout, element, L"Location", at); });
}

void AddBed(UWorld* world, const Guid& claimedBy, const MapPoint& at)
{
    AddTo(world, L"Beds", L"OnRep_Beds", [&](const UStruct* layout, void* element) {
        PutGuid(layout, element, L"ClaimingCharacterGuid", claimedBy);
        PutPoint(layout, element, L"Location", at);
    });
}

void AddLandmark(UWorld* world, StringViewType internalName, StringViewType tag, const MapPoint& at, bool needsDiscovery)
{
    AddTo(world, L"Landmarks", L"OnRep_Landmarks", [&](const UStruct* layout, void* element) {
        PutBool(layout, element, L"bNeedsToBeDiscovered", needsDiscovery);
        PutName(layout, element, L"InternalName", internalName);
        PutTag(layout, element, L"GameplayTag", tag);
        PutPoint(layout, element, L"Location", at);
    });
}

void AddDungeonEntrance(UWorld* world, const Guid& identifier, StringViewType tag, const MapPoint& entrance, bool needsDiscovery)
{
    AddTo(world, L"Dungeons", L"OnRep_Dungeons", [&](const UStruct* layout, void* element) {
        PutBool(layout, element, L"bNeedsToBeDiscovered", needsDiscovery);
        PutGuid(layout, element, L"Identifier", identifier);
        PutTag(layout, element, L"DungeonTag", tag);
        PutPoint(layout, element, L"EntranceLocation", entrance);
    });
}

bool RemoveRegistryEntry(UWorld* world, StringViewType array, int32 index)
{
    RegistryArray entries = ArrayOf(world, array, false);
    if (entries.property == nullptr || !ArrayRemoveAt(entries.property, entries.value, index))
    {
        return false;
    }
    Notify(entries.registry, kRegistryClass, L"OnRep_" + std::wstring(array));
    return true;
}

int32 RegistryCount(UWorld* world, StringViewType array)
{
    RegistryArray entries = ArrayOf(world, array, false);
    return entries.property != nullptr ? ArrayNum(entries.value) : 0;
}

void AddDiscoverableDungeon(UWorld* world, const Guid& identifier)
{
    UObject* poi = PoiDiscoverySystemOf(world);
    auto* property = poi != nullptr ? PropertyOf<FArrayProperty>(poi->GetClassPrivate(), L"DiscoverableDungeons") : nullptr;
    if (property == nullptr)
    {
        return;
    }
    ArrayAdd(property, property->ContainerPtrToValuePtr<void>(poi), [&](void* element) {
        PutGuid(InnerStruct(property), element, L"Identifier", identifier);
        PutFloat(InnerStruct(property), element, L"DiscoveryRadius", 1500);
    });
}

bool DiscoverDungeon(UWorld* world, const Guid& identifier)
{
    UObject* poi = PoiDiscoverySystemOf(world);
    auto* property = poi != nullptr ? PropertyOf<FArrayProperty>(poi->GetClassPrivate(), L"DiscoverableDungeons") : nullptr;
    if (property == nullptr)
    {
        return false;
    }
    void* list = property->ContainerPtrToValuePtr<void>(poi);
    for (int32 index = 0; index < ArrayNum(list); ++index)
    {
        void* guid = MemberOf(InnerStruct(property), ArrayElement(property, list, index), L"Identifier");
        if (guid != nullptr && ReadGuid(guid) == identifier)
        {
            ArrayRemoveAt(property, list, index);
            Notify(PoiDiscoverySystemActorOf(world), L"/Script/Umbrafel.PoiDiscoverySystemActor",
                   L"OnRep_PoiDiscoverySystemDataPerPlayer");
            return true;
        }
    }
    return false;
}

void SetCharacterGuid(UObject* controller, const Guid& character)
{
    auto* property = IsLiveObject(controller) ? PropertyOf<FStructProperty>(controller->GetClassPrivate(), L"CharacterGuid") : nullptr;
    if (property != nullptr)
    {
        PutGuid(controller->GetClassPrivate(), controller, L"CharacterGuid", character);
    }
}

Guid CharacterGuidOf(UObject* controller)
{
    auto* property = IsLiveObject(controller) ? PropertyOf<FStructProperty>(controller->GetClassPrivate(), L"CharacterGuid") : nullptr;
    return property != nullptr ? ReadGuid(property->ContainerPtrToValuePtr<void>(controller)) : Guid{};
}

namespace
{
struct NameSet
{
    UObject* component = nullptr;
    FSetProperty* property = nullptr;
    void* value = nullptr;
};

NameSet RevealedOf(UObject* controller)
{
    UObject* component = ControllerComponent(controller, L"RevealedMapIconsComponent");
    auto* property = component != nullptr ? PropertyOf<FSetProperty>(component->GetClassPrivate(), L"RevealedLandmarkNames") : nullptr;
    return property != nullptr ? NameSet{component, property, property->ContainerPtrToValuePtr<void>(component)} : NameSet{component};
}

int32 FindName(const NameSet& set, const FName& name)
{
    for (int32 index = 0; set.property != nullptr && index < SetMaxIndex(set.value); ++index)
    {
        auto* element = static_cast<FName*>(SetElement(set.property, set.value, index));
        if (element != nullptr && *element == name)
        {
            return index;
        }
    }
    return -1;
}

void TellRevealed(UObject* component, const FName& name, bool revealed)
{
    Notify(component, L"/Script/Umbrafel.RevealedMapIconsComponent", L"Client_UpdateRevealedLandmark",
           [&](UFunction* function, uint8* parms) {
               if (auto* id = FindPropertyUncounted(function, L"LandmarkId"))
               {
                   *id->ContainerPtrToValuePtr<FName>(parms) = name;
               }
               if (auto* flag = dynamic_cast<FBoolProperty*>(FindPropertyUncounted(function, L"bRevealed")))
               {
                   flag->SetPropertyValue(flag->ContainerPtrToValuePtr<void>(parms), revealed);
               }
           });
}
} // namespace

bool RevealLandmark(UObject* controller, StringViewType internalName)
{
    NameSet set = RevealedOf(controller);
    const FName name(internalName);
    if (set.property == nullptr || FindName(set, name) >= 0)
    {
        return false;
    }
    SetAdd(set.property, set.value, [&name](void* element) { *static_cast<FName*>(element) = name; });
    TellRevealed(set.component, name, true);
    return true;
}

bool ForgetLandmark(UObject* controller, StringViewType internalName)
{
    NameSet set = RevealedOf(controller);
    const FName name(internalName);
    const int32 index = FindName(set, name);
    if (index < 0)
    {
        return false;
    }
    SetRemoveAt(set.property, set.value, index);
    TellRevealed(set.component, name, false);
    return true;
}

std::vector<std::wstring> RevealedLandmarks(UObject* controller)
{
    std::vector<std::wstring> names;
    NameSet set = RevealedOf(controller);
    for (int32 index = 0; set.property != nullptr && index < SetMaxIndex(set.value); ++index)
    {
        if (auto* element = static_cast<FName*>(SetElement(set.property, set.value, index)))
        {
            names.push_back(element->ToString());
        }
    }
    return names;
}

UObject* PlaceWaypoint(UWorld* world, const MapPoint& at)
{
    UObject* mapUi = MapUIAPIOf(world);
    Notify(mapUi, L"/Script/Umbrafel.MapUIAPI", L"PlaceWaypoint", [&](UFunction* function, uint8* parms) {
        if (auto* location = FindPropertyUncounted(function, L"Location"))
        {
            WriteVectorValue(location->ContainerPtrToValuePtr<void>(parms), at.x, at.y, at.z);
        }
    });
    return CurrentWaypoint(LocalControllerIn(AsObject(world)));
}

void ClearWaypoint(UWorld* world) { Notify(MapUIAPIOf(world), L"/Script/Umbrafel.MapUIAPI", L"ClearWaypoint"); }

UObject* CurrentWaypoint(UObject* controller)
{
    return Live(ObjectReference(ControllerComponent(controller, L"MapCustomizationComponent"), L"CurrentWaypoint"));
}

UObject* CreatureData(bool boss, uint8 archetype)
{
    const std::wstring name = CreatureDataName(boss, archetype);
    UObject* found = FindObjectByPath(L"/Game/Data/Creatures/" + name + L"." + name);
    return IsOf(found, L"/Script/Umbrafel.AICharacterData") ? found : nullptr;
}

UObject* SpawnCreature(UWorld* world, const Placement& at, bool boss, uint8 archetype, UClass* cls)
{
    UClass* creatureClass = cls != nullptr ? cls : FindClass(L"/Script/Umbrafel.UmbrafelAICharacter");
    // The data is loaded before the creature begins play, as the game's spawn does.
    UObject* data = CreatureData(boss, archetype);
    return SpawnActorWith(world, creatureClass, at, [data](UObject* creature) { SetObjectReference(creature, L"LoadedData", data); });
}

UObject* AddMapIconComponent(UObject* actor, const MapIconSetup& setup)
{
    // Set up as the component's blueprint defaults would have it before it begins play.
    UObject* component = AddComponentWith(actor, L"/Script/MinimapPlugin.MapIconComponent", [&setup](UObject* made) {
        UClass* cls = made->GetClassPrivate();
        PutName(cls, made, L"IconCategory", setup.category);
        PutObject(cls, made, L"IconTexture", setup.texture);
        PutBool(cls, made, L"bIconVisible", setup.visible);
        PutFloat(cls, made, L"IconSize", setup.size);
        PutColour(cls, made, L"IconDrawColor", {1, 1, 1, 1});
        PutPoint(cls, made, L"RelativeLocation", setup.offset);
    });
    return component != nullptr && IsLiveObject(component) ? component : nullptr;
}

std::vector<UObject*> TrackedMapIcons(UWorld* world)
{
    std::vector<UObject*> icons;
    IconList list = IconsOf(MapTrackerOf(world));
    for (int32 index = 0; list.property != nullptr && index < ArrayNum(list.value); ++index)
    {
        icons.push_back(IconAt(list, index));
    }
    return icons;
}

MapPoint ComponentWorldLocation(UObject* component)
{
    if (!Holds(component))
    {
        return {};
    }
    double at[3];
    double yaw = 0;
    WorldLocation(component, at, yaw);
    return {at[0], at[1], at[2]};
}
} // namespace Sim
