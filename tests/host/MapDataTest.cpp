// The game's map data on the stand-in engine as a minimap reads it: the styles map and the tag
// table walked in place as the engine lays them out, the revealed-landmark set with its holes,
// the registry's arrays on either engine, the tracker following map-icon components through
// their lives, the character guid comparison, the waypoint, the points of interest, creatures'
// data, and builds that lack members, functions or the tracker itself.
#include "reflection/EngineSets.hpp"
#include "support/EngineFixture.hpp"

#include <Sim/MapData.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UObjectGlobals.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

constexpr const wchar_t* kIconTextures[] = {L"T_MapIcon_Arrow",    L"T_MapIcon_Player", L"T_MapIcon_Gravestone", L"T_MapIcon_Lodestone",
                                            L"T_MapIcon_Bed",      L"T_MapIcon_Tower",  L"T_MapIcon_House",      L"T_MapIcon_Skull",
                                            L"T_MapIcon_Tent",     L"T_MapIcon_Pin",    L"T_MapIcon_Quest",      L"T_MapIcon_Cave",
                                            L"T_MapIcon_Shrine",   L"T_MapIcon_Resource", L"T_MapIcon_Creature", L"T_MapIcon_Unknown"};

bool IsLive(const UObject* object) { return Sim::HoldsObject(object) && object->GetObjectItem()->IsValid(false); }

// A script call as a mod makes it: a zeroed parameter block through ProcessEvent.
std::vector<uint8> Invoke(UObject* self, const std::wstring& path, const std::function<void(UFunction*, uint8*)>& fill = {})
{
    UFunction* function = Sim::FindFunctionByPath(path);
    EXPECT_NE(function, nullptr) << Sim::ToUtf8(path);
    if (function == nullptr)
    {
        return {};
    }
    std::vector<uint8> parms(function->GetParmsSize() + 16u, 0);
    if (fill)
    {
        fill(function, parms.data());
    }
    self->ProcessEvent(function, parms.data());
    return parms;
}

template <typename T> T Returned(const std::wstring& path, const std::vector<uint8>& parms)
{
    T value{};
    FProperty* result = Sim::FindPropertyUncounted(Sim::FindFunctionByPath(path), L"ReturnValue");
    if (result != nullptr && !parms.empty())
    {
        std::memcpy(&value, parms.data() + result->GetOffset_Internal(), sizeof(T));
    }
    return value;
}

void* Field(UObject* object, const wchar_t* name)
{
    FProperty* property = Sim::FindPropertyUncounted(object->GetClassPrivate(), name);
    EXPECT_NE(property, nullptr) << Sim::ToUtf8(name);
    return property != nullptr ? property->ContainerPtrToValuePtr<void>(object) : nullptr;
}

int32 Offset(const UStruct* layout, const wchar_t* name)
{
    FProperty* property = Sim::FindPropertyUncounted(layout, name);
    EXPECT_NE(property, nullptr) << Sim::ToUtf8(name);
    return property != nullptr ? property->GetOffset_Internal() : -1;
}

const UStruct* StructNamed(const wchar_t* path) { return static_cast<const UStruct*>(Sim::FindObjectByPath(path)); }

std::wstring NameAt(const void* at) { return static_cast<const FName*>(at)->ToString(); }

class MapData : public OrvTest::EngineFixture
{
  protected:
    // The hooked calls of a function, with what the hook saw of its parameters.
    int Count(const wchar_t* path, std::function<void(uint8*)> seen = {})
    {
        UFunction* function = Sim::FindFunctionByPath(path);
        EXPECT_NE(function, nullptr) << Sim::ToUtf8(path);
        auto counter = std::make_shared<int>(0);
        counters_.push_back(counter);
        if (function != nullptr)
        {
            function->RegisterPostHook([counter, seen](UnrealScriptFunctionCallableContext& context, void*) {
                ++*counter;
                if (seen)
                {
                    seen(context.TheStack.Locals());
                }
            });
        }
        return static_cast<int>(counters_.size()) - 1;
    }
    int Calls(int counter) const { return *counters_[static_cast<std::size_t>(counter)]; }

    std::vector<std::shared_ptr<int>> counters_;
};

// ---- Textures ----

TEST_F(MapData, TheGamesIconPicturesAreDistinctRootedTexturesThatOutliveCollections)
{
    std::set<std::vector<uint8>> pictures;
    for (const wchar_t* name : kIconTextures)
    {
        SCOPED_TRACE(Sim::ToUtf8(name));
        UObject* texture = Sim::GameTexture(name);
        ASSERT_NE(texture, nullptr);
        EXPECT_TRUE(texture->IsA(Sim::FindClass(L"/Script/Engine.Texture2D")));
        EXPECT_TRUE(texture->IsA(Sim::FindClass(L"/Script/Engine.Texture")));
        EXPECT_EQ(texture->GetPathName(), L"/Game/UI/Map/Icons/" + std::wstring(name) + L"." + name);
        Sim::RenderTargetImage pixels;
        ASSERT_TRUE(Sim::ReadTexture(texture, pixels));
        EXPECT_EQ(pixels.width, 32);
        EXPECT_EQ(pixels.height, 32);
        EXPECT_TRUE(pictures.insert(pixels.rgba).second) << "the same picture as another icon";
        const std::wstring sizeX = L"/Script/Engine.Texture2D:Blueprint_GetSizeX";
        EXPECT_EQ(Returned<int32>(sizeX, Invoke(texture, sizeX)), 32);
    }
    Sim::CollectGarbage(true);
    for (const wchar_t* name : kIconTextures)
    {
        EXPECT_TRUE(IsLive(Sim::GameTexture(name))) << Sim::ToUtf8(name);
    }
    EXPECT_EQ(Sim::GameTexture(L"T_MapIcon_Nothing"), nullptr);
    EXPECT_EQ(Sim::MakeTexture(L"T_Short", 2, 2, std::vector<uint8>(15, 0)), nullptr) << "pixels that do not fill the size";
}

TEST_F(MapData, TheArrowPointsToThePicturesRightAndThePlaceholderIsAQuestionOnPurple)
{
    Sim::RenderTargetImage arrow;
    ASSERT_TRUE(Sim::ReadTexture(Sim::GameTexture(L"T_MapIcon_Arrow"), arrow));
    auto alpha = [&](const Sim::RenderTargetImage& image, int x, int y) {
        return image.rgba[(static_cast<std::size_t>(y) * 32 + static_cast<std::size_t>(x)) * 4 + 3];
    };
    EXPECT_EQ(alpha(arrow, 27, 16), 255) << "the tip";
    EXPECT_EQ(alpha(arrow, 6, 8), 255) << "the upper barb";
    EXPECT_EQ(alpha(arrow, 6, 23), 255) << "the lower barb";
    EXPECT_EQ(alpha(arrow, 4, 16), 0) << "the notch between the barbs";
    EXPECT_EQ(alpha(arrow, 28, 3), 0);
    EXPECT_EQ(alpha(arrow, 28, 28), 0);
    EXPECT_EQ(arrow.rgba[(16 * 32 + 23) * 4], 255) << "white, for the style to tint";

    Sim::RenderTargetImage unknown;
    ASSERT_TRUE(Sim::ReadTexture(Sim::GameTexture(L"T_MapIcon_Unknown"), unknown));
    const uint8* rim = &unknown.rgba[(16 * 32 + 3) * 4];
    EXPECT_GT(rim[0], 100);
    EXPECT_LT(rim[1], 60);
    EXPECT_GT(rim[2], 100);
    const uint8* dot = &unknown.rgba[(25 * 32 + 16) * 4];
    EXPECT_EQ(dot[0], 255) << "the question's dot";
    EXPECT_EQ(dot[1], 255);
}

// ---- Styles and tags, walked as the engine lays them out ----

struct StyleSeen
{
    UObject* texture = nullptr;
    float tint[4] = {};
    float size = 0;
    float rotation = 0;
};

// Every live entry of the styles map, read in place: a pair of the one-byte type and the
// display info at the info's alignment, followed by the set's hash fields.
std::map<int, StyleSeen> WalkStyles(Orv::EngineSetView* viewOut = nullptr)
{
    UObject* collection = Sim::MapIconStyles();
    const UStruct* info = StructNamed(L"/Script/Umbrafel.MapIconDisplayInfo");
    const auto valueOffset = static_cast<std::size_t>(std::max<int32>(info->GetMinAlignment(), 1));
    const Orv::EngineSetView view = Orv::ViewEngineSet(Field(collection, L"MapIcons"), valueOffset + static_cast<std::size_t>(info->GetPropertiesSize()),
                                                       static_cast<std::size_t>(info->GetMinAlignment()));
    if (viewOut != nullptr)
    {
        *viewOut = view;
    }
    std::map<int, StyleSeen> styles;
    for (int32 index = 0; index < view.count; ++index)
    {
        if (!view.IsElement(index))
        {
            continue;
        }
        const uint8* pair = view.At(index);
        StyleSeen seen;
        std::memcpy(&seen.texture, pair + valueOffset, sizeof(UObject*));
        std::memcpy(seen.tint, pair + valueOffset + 8, sizeof(seen.tint));
        std::memcpy(&seen.size, pair + valueOffset + 24, sizeof(float));
        std::memcpy(&seen.rotation, pair + valueOffset + 28, sizeof(float));
        styles[pair[0]] = seen;
    }
    return styles;
}

TEST_F(MapData, TheStylesMapGivesEveryShownTypeItsPictureAndTwoTypesOnlyThePlaceholders)
{
    const UStruct* info = StructNamed(L"/Script/Umbrafel.MapIconDisplayInfo");
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(Offset(info, L"Texture"), 0);
    EXPECT_EQ(Offset(info, L"Tint"), 8);
    EXPECT_EQ(Offset(info, L"IconSize"), 24);
    EXPECT_EQ(Offset(info, L"RotationOffset"), 28);
    EXPECT_EQ(info->GetPropertiesSize(), 32);

    const std::map<int, StyleSeen> styles = WalkStyles();
    const std::map<int, const wchar_t*> pictures = {
        {1, L"T_MapIcon_Arrow"}, {2, L"T_MapIcon_Player"}, {3, L"T_MapIcon_Gravestone"}, {4, L"T_MapIcon_Lodestone"},
        {5, L"T_MapIcon_Bed"},   {6, L"T_MapIcon_Tower"},  {7, L"T_MapIcon_House"},      {8, L"T_MapIcon_Skull"},
        {9, L"T_MapIcon_Tent"},  {10, L"T_MapIcon_Pin"},   {11, L"T_MapIcon_Quest"},     {17, L"T_MapIcon_Cave"},
        {20, L"T_MapIcon_Shrine"}, {23, L"T_MapIcon_Resource"}, {53, L"T_MapIcon_Quest"}};
    for (const auto& [type, picture] : pictures)
    {
        SCOPED_TRACE(type);
        ASSERT_TRUE(styles.contains(type));
        EXPECT_EQ(styles.at(type).texture, Sim::GameTexture(picture));
        EXPECT_GT(styles.at(type).size, 0.0f);
        EXPECT_EQ(styles.at(type).rotation, 0.0f);
    }
    EXPECT_EQ(styles.at(1).tint[0], 1.0f);
    EXPECT_EQ(styles.at(1).size, 28.0f);
    EXPECT_FALSE(styles.contains(0)) << "None has no style";
    UObject* placeholder = Sim::GameTexture(L"T_MapIcon_Unknown");
    std::vector<int> usingPlaceholder;
    for (const auto& [type, style] : styles)
    {
        if (style.texture == placeholder)
        {
            usingPlaceholder.push_back(type);
        }
    }
    EXPECT_EQ(usingPlaceholder, (std::vector<int>{18, 22}));
    auto* placeholderInfo = Field(Sim::MapIconStyles(), L"PlaceholderMapIcon");
    UObject* placeholderTexture = nullptr;
    std::memcpy(&placeholderTexture, placeholderInfo, sizeof(placeholderTexture));
    EXPECT_EQ(placeholderTexture, placeholder);

    // Taking a style out leaves a hole its next entry fills.
    Orv::EngineSetView before;
    WalkStyles(&before);
    int32 lodestoneIndex = -1;
    for (int32 index = 0; index < before.count; ++index)
    {
        lodestoneIndex = before.IsElement(index) && before.At(index)[0] == 4 ? index : lodestoneIndex;
    }
    ASSERT_GE(lodestoneIndex, 0);
    ASSERT_TRUE(Sim::RemoveStyle(4));
    Orv::EngineSetView holed;
    EXPECT_FALSE(WalkStyles(&holed).contains(4));
    EXPECT_EQ(holed.count, before.count);
    EXPECT_FALSE(holed.IsElement(lodestoneIndex));
    Sim::SetStyle(40, {Sim::GameTexture(L"T_MapIcon_Resource"), {1, 0, 0, 1}, 14, 90});
    Orv::EngineSetView refilled;
    const auto after = WalkStyles(&refilled);
    EXPECT_TRUE(refilled.IsElement(lodestoneIndex));
    EXPECT_EQ(refilled.At(lodestoneIndex)[0], 40);
    EXPECT_EQ(after.at(40).rotation, 90.0f);
    Sim::MapIconStyle read;
    ASSERT_TRUE(Sim::StyleOf(40, read));
    EXPECT_EQ(read.iconSize, 14.0f);
    EXPECT_FALSE(Sim::StyleOf(4, read));
}

TEST_F(MapData, TheTagTableMapsTheWorldsTagsAndLeavesTheLairOut)
{
    UObject* settings = Sim::MapSettingsDefaults();
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->HasAnyFlags(RF_ClassDefaultObject));
    // A pair of the tag's name and the one-byte type, then the hash fields.
    const auto walk = [&](Orv::EngineSetView* viewOut = nullptr) {
        const Orv::EngineSetView view = Orv::ViewEngineSet(Field(settings, L"GameplayTagToMapIconType"), 12, 4);
        if (viewOut != nullptr)
        {
            *viewOut = view;
        }
        std::map<std::wstring, int> tags;
        for (int32 index = 0; index < view.count; ++index)
        {
            if (view.IsElement(index))
            {
                tags[NameAt(view.At(index))] = view.At(index)[8];
            }
        }
        return tags;
    };
    const auto tags = walk();
    EXPECT_EQ(tags.at(L"Map.Landmark.Tower"), 6);
    EXPECT_EQ(tags.at(L"Map.Landmark.Village"), 7);
    EXPECT_EQ(tags.at(L"Map.Dungeon.Crypt"), 8);
    EXPECT_EQ(tags.at(L"Map.Dungeon.Mine"), 8);
    EXPECT_EQ(tags.at(L"Map.Landmark.Ruins"), 18);
    EXPECT_EQ(tags.at(L"Map.Player.Marker"), 1);
    EXPECT_FALSE(tags.contains(L"Map.Dungeon.Lair"));
    EXPECT_FALSE(tags.contains(L"Map.Landmark.Wreck"));

    ASSERT_TRUE(Sim::UnmapTag(L"Map.Landmark.Village"));
    EXPECT_FALSE(Sim::UnmapTag(L"Map.Landmark.Village"));
    Orv::EngineSetView holed;
    EXPECT_FALSE(walk(&holed).contains(L"Map.Landmark.Village"));
    EXPECT_LT(static_cast<std::size_t>(Sim::MapNum(Field(settings, L"GameplayTagToMapIconType"))), static_cast<std::size_t>(holed.count));
    Sim::MapTagToIconType(L"Map.Dungeon.Lair", 8);
    EXPECT_EQ(walk().at(L"Map.Dungeon.Lair"), 8);
}

// ---- The registry ----

class MapDataOnEngines : public MapData, public ::testing::WithParamInterface<int>
{
  protected:
    void SetUp() override { StartEngine(GetParam(), GetParam() == 4 ? 27 : 1); }
};

TEST_P(MapDataOnEngines, TheRegistrysArraysHoldEntriesInTheEnginesLayoutAndNotifyEachChange)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    UObject* registry = Sim::GameplayObjectRegistryOf(world);
    ASSERT_NE(registry, nullptr);
    EXPECT_EQ(Sim::GameplayObjectRegistryOf(world), registry) << "one registry a world";
    EXPECT_EQ(Sim::ObjectReference(Sim::GameplayObjectSubsystemOf(world), L"ObjectRegistry"), registry);
    EXPECT_EQ(Sim::ObjectReference(Sim::MapUIAPIOf(world), L"GameplayObjectRegistry"), registry);
    const int players = Count(L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_PlayerCharacters");
    const int graves = Count(L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Gravestones");
    const int landmarks = Count(L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Landmarks");
    const int dungeons = Count(L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Dungeons");

    const bool doubles = !Version::IsBelow(5, 0);
    const UStruct* player = StructNamed(L"/Script/Umbrafel.PlayerCharacterRegistryEntry");
    EXPECT_EQ(Offset(player, L"OwningCharacterGuid"), 0);
    EXPECT_EQ(Offset(player, L"Location"), 32);
    EXPECT_EQ(Offset(player, L"Color"), doubles ? 56 : 44);
    EXPECT_EQ(player->GetPropertiesSize(), doubles ? 72 : 64);
    const UStruct* landmark = StructNamed(L"/Script/Umbrafel.LandmarkRegistryEntry");
    EXPECT_EQ(Offset(landmark, L"InternalName"), 4);
    EXPECT_EQ(Offset(landmark, L"GameplayTag"), 12);
    EXPECT_EQ(Offset(landmark, L"Location"), doubles ? 24 : 20);

    const Sim::Guid self{1, 2, 3, 4};
    Sim::AddRegistryPlayer(world, self, {100, 200, 300}, {1, 0.5f, 0.25f, 1}, L"Someone");
    Sim::AddRegistryPlayer(world, {5, 6, 7, 8}, {-1, -2, -3}, {0, 1, 0, 1});
    ASSERT_TRUE(Sim::MoveRegistryPlayer(world, self, {110, 220, 330}));
    EXPECT_FALSE(Sim::MoveRegistryPlayer(world, {9, 9, 9, 9}, {}));
    auto* array = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(registry->GetClassPrivate(), L"PlayerCharacters"));
    void* list = Field(registry, L"PlayerCharacters");
    ASSERT_EQ(Sim::ArrayNum(list), 2);
    auto* first = static_cast<uint8*>(Sim::ArrayElement(array, list, 0));
    EXPECT_EQ(static_cast<uint8*>(Sim::ArrayElement(array, list, 1)) - first, player->GetPropertiesSize());
    uint32 guid[4];
    std::memcpy(guid, first, sizeof(guid));
    EXPECT_EQ(guid[3], 4u);
    EXPECT_EQ(Sim::ReadString(first + 16), L"Someone");
    EXPECT_EQ(OrvTest::ReadEngineVector(first + 32), (std::array<double, 3>{110, 220, 330}));
    float colour[4];
    std::memcpy(colour, first + Offset(player, L"Color"), sizeof(colour));
    EXPECT_EQ(colour[2], 0.25f);
    EXPECT_EQ(Calls(players), 3) << "two added, one moved";

    Sim::AddGravestone(world, self, {1, 1, 1});
    Sim::AddGravestone(world, {5, 6, 7, 8}, {2, 2, 2});
    ASSERT_TRUE(Sim::RemoveRegistryEntry(world, L"Gravestones", 0));
    EXPECT_FALSE(Sim::RemoveRegistryEntry(world, L"Gravestones", 1));
    EXPECT_EQ(Sim::RegistryCount(world, L"Gravestones"), 1);
    auto* graveArray = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(registry->GetClassPrivate(), L"Gravestones"));
    auto* left = static_cast<uint8*>(Sim::ArrayElement(graveArray, Field(registry, L"Gravestones"), 0));
    std::memcpy(guid, left, sizeof(guid));
    EXPECT_EQ(guid[0], 5u) << "the later one moved down";
    EXPECT_EQ(Calls(graves), 3);

    Sim::AddLandmark(world, L"Landmark_Tower", L"Map.Landmark.Tower", {7, 8, 9}, true);
    auto* landmarkArray = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(registry->GetClassPrivate(), L"Landmarks"));
    auto* entry = static_cast<uint8*>(Sim::ArrayElement(landmarkArray, Field(registry, L"Landmarks"), 0));
    EXPECT_EQ(entry[0], 1) << "needs discovering";
    EXPECT_EQ(NameAt(entry + 4), L"Landmark_Tower");
    EXPECT_EQ(NameAt(entry + 12), L"Map.Landmark.Tower");
    EXPECT_EQ(OrvTest::ReadEngineVector(entry + Offset(landmark, L"Location")), (std::array<double, 3>{7, 8, 9}));
    Sim::AddDungeonEntrance(world, {0xD, 0, 0, 1}, L"Map.Dungeon.Crypt", {4, 5, 6}, false);
    EXPECT_EQ(Sim::RegistryCount(world, L"Dungeons"), 1);
    EXPECT_EQ(Calls(landmarks), 1);
    EXPECT_EQ(Calls(dungeons), 1);
    Sim::AddLodestone(world, {0, 0, 0});
    Sim::AddBed(world, self, {0, 0, 0});
    EXPECT_EQ(Sim::RegistryCount(world, L"Lodestones"), 1);
    EXPECT_EQ(Sim::RegistryCount(world, L"Beds"), 1);
    EXPECT_TRUE(Sim::RemoveRegistryPlayer(world, self));
    EXPECT_EQ(Sim::RegistryCount(world, L"PlayerCharacters"), 1);
}

TEST_P(MapDataOnEngines, ComponentsAnswerTheirIconAndTheirPlaceTurnedWithTheirOwner)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    UObject* actor = Sim::SpawnActor(world, L"/Script/Engine.Actor", {100, 200, 300, 90});
    UObject* arrow = Sim::GameTexture(L"T_MapIcon_Arrow");
    UObject* icon = Sim::AddMapIconComponent(actor, {.category = L"Resource", .texture = arrow, .offset = {10, 0, 5}});
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(NameAt(Field(icon, L"IconCategory")), L"Resource");
    const std::wstring get = L"/Script/MinimapPlugin.MapIconComponent:GetIconTexture";
    const std::wstring visible = L"/Script/MinimapPlugin.MapIconComponent:IsIconVisible";
    EXPECT_EQ(Returned<UObject*>(get, Invoke(icon, get)), arrow);
    EXPECT_TRUE(Returned<bool>(visible, Invoke(icon, visible)));
    Invoke(icon, L"/Script/MinimapPlugin.MapIconComponent:SetIconVisible", [](UFunction*, uint8* parms) { parms[0] = 0; });
    EXPECT_FALSE(Returned<bool>(visible, Invoke(icon, visible)));

    const std::wstring where = L"/Script/Engine.SceneComponent:K2_GetComponentLocation";
    auto located = Invoke(icon, where);
    auto at = OrvTest::ReadEngineVector(located.data() + Sim::FindPropertyUncounted(Sim::FindFunctionByPath(where), L"ReturnValue")->GetOffset_Internal());
    EXPECT_NEAR(at[0], 100, 1e-4) << "ten ahead of an owner facing +Y is ten along +Y";
    EXPECT_NEAR(at[1], 210, 1e-4);
    EXPECT_NEAR(at[2], 305, 1e-4);
    UObject* root = Sim::ObjectReference(actor, L"RootComponent");
    located = Invoke(root, where);
    at = OrvTest::ReadEngineVector(located.data() + Sim::FindPropertyUncounted(Sim::FindFunctionByPath(where), L"ReturnValue")->GetOffset_Internal());
    EXPECT_EQ(at, (std::array<double, 3>{100, 200, 300}));
    Sim::SetActorPlacement(actor, {-50, 0, 0, 180});
    const Sim::MapPoint moved = Sim::ComponentWorldLocation(icon);
    EXPECT_NEAR(moved.x, -60, 1e-4);
    EXPECT_NEAR(moved.y, 0, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Engines, MapDataOnEngines, ::testing::Values(4, 5),
                         [](const auto& instance) { return "UE" + std::to_string(instance.param); });

// ---- The tracker ----

TEST_F(MapData, TheTrackerListsMapIconComponentsOnlyWhileTheyPlayInItsWorld)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    UWorld* other = Sim::CreateWorld(L"Elsewhere");
    UObject* tracker = Sim::MapTrackerOf(world);
    ASSERT_NE(tracker, nullptr);
    EXPECT_EQ(reinterpret_cast<UObject*>(tracker->GetWorld()), reinterpret_cast<UObject*>(world));
    UObject* a = Sim::SpawnActor(world, L"/Script/Engine.Actor");
    UObject* b = Sim::SpawnActor(world, L"/Script/Engine.Actor");
    UObject* first = Sim::AddMapIconComponent(a, {.category = L"Creature"});
    UObject* second = Sim::AddMapIconComponent(b, {.category = L"Temp"});
    UObject* third = Sim::AddMapIconComponent(a, {.category = L""});
    UObject* away = Sim::AddMapIconComponent(Sim::SpawnActor(other, L"/Script/Engine.Actor"), {.category = L"Creature"});
    Sim::AddComponent(a, L"/Script/Engine.SceneComponent");
    EXPECT_EQ(Sim::TrackedMapIcons(world), (std::vector<UObject*>{first, second, third}));
    EXPECT_EQ(Sim::TrackedMapIcons(other), (std::vector<UObject*>{away}));

    const std::wstring getTracker = L"/Script/MinimapPlugin.MapFunctionLibrary:GetMapTracker";
    UObject* library = Sim::FindClass(L"/Script/MinimapPlugin.MapFunctionLibrary")->GetClassDefaultObject();
    auto asked = Invoke(library, getTracker, [&](UFunction* f, uint8* parms) {
        std::memcpy(parms + Sim::FindPropertyUncounted(f, L"WorldContextObject")->GetOffset_Internal(), &b, sizeof(b));
    });
    EXPECT_EQ(Returned<UObject*>(getTracker, asked), tracker);

    Sim::DestroyComponent(second);
    EXPECT_EQ(Sim::TrackedMapIcons(world), (std::vector<UObject*>{first, third}));
    Sim::DestroyActor(a);
    EXPECT_TRUE(Sim::TrackedMapIcons(world).empty()) << "an actor's components leave with it";
    Sim::CollectGarbage(true);
    EXPECT_FALSE(Sim::HoldsObject(first));
    EXPECT_TRUE(IsLive(tracker));

    // A world still loading holds components that have not begun play: none is listed yet.
    UWorld* loading = Sim::CreateWorld(L"Loading", false);
    UObject* early = Sim::AddMapIconComponent(Sim::SpawnActor(loading, L"/Script/Engine.Actor"), {.category = L"Creature"});
    EXPECT_TRUE(Sim::TrackedMapIcons(loading).empty());
    Sim::BeginWorldPlay(loading);
    EXPECT_EQ(Sim::TrackedMapIcons(loading), (std::vector<UObject*>{early}));
}

TEST_F(MapData, AGameWithoutTheTrackerLeavesComponentsToBeFoundByLooking)
{
    StartEngine(5, 1, {.mapTracker = false});
    EXPECT_EQ(Sim::FindClass(L"/Script/MinimapPlugin.MapTracker"), nullptr);
    EXPECT_EQ(Sim::FindObjectByPath(L"/Script/MinimapPlugin.MapFunctionLibrary"), nullptr);
    UWorld* world = Sim::CreateWorld(L"Field");
    EXPECT_EQ(Sim::MapTrackerOf(world), nullptr);
    UObject* icon = Sim::AddMapIconComponent(Sim::SpawnActor(world, L"/Script/Engine.Actor"), {.category = L"Creature"});
    ASSERT_NE(icon, nullptr);
    std::vector<UObject*> found;
    UObjectGlobals::FindAllOf(STR("MapIconComponent"), found);
    EXPECT_EQ(found, (std::vector<UObject*>{icon}));
    EXPECT_NE(Sim::MapUIAPIOf(world), nullptr) << "the rest of the map data is there";
}

// ---- The local player ----

TEST_F(MapData, TheControllerRecognisesItsOwnCharactersGuidInEveryWord)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    auto player = Sim::EnterLocalPlayer(world);
    const Sim::Guid own{0x11, 0x22, 0x33, 0x44};
    Sim::SetCharacterGuid(player.controller, own);
    EXPECT_EQ(Sim::CharacterGuidOf(player.controller), own);
    const std::wstring path = L"/Script/Umbrafel.UmbrafelPlayerController:IsCharacterGuidEqual";
    auto ask = [&](const Sim::Guid& guid) {
        auto parms = Invoke(player.controller, path, [&](UFunction* f, uint8* at) {
            const uint32 words[4] = {guid.a, guid.b, guid.c, guid.d};
            std::memcpy(at + Sim::FindPropertyUncounted(f, L"InGuid")->GetOffset_Internal(), words, sizeof(words));
        });
        return Returned<bool>(path, parms);
    };
    EXPECT_TRUE(ask(own));
    EXPECT_FALSE(ask({0x12, 0x22, 0x33, 0x44}));
    EXPECT_FALSE(ask({0x11, 0x22, 0x33, 0x45}));
    EXPECT_FALSE(ask({}));

    // Its map components, handed to the world's map UI as the local player's.
    UObject* revealed = Sim::ObjectReference(player.controller, L"RevealedMapIconsComponent");
    UObject* customization = Sim::ObjectReference(player.controller, L"MapCustomizationComponent");
    ASSERT_TRUE(IsLive(revealed));
    ASSERT_TRUE(IsLive(customization));
    EXPECT_EQ(Sim::ObjectReference(Sim::MapUIAPIOf(world), L"LocalPlayerRevealedMapIconsComponent"), revealed);
    EXPECT_EQ(Sim::ObjectReference(Sim::MapUIAPIOf(world), L"LocalPlayerMapCustomizationComponent"), customization);
    EXPECT_EQ(Sim::ObjectReference(Sim::MapUIAPIOf(world), L"MapIconDisplayInfoCollection"), Sim::MapIconStyles());
    UObject* remote = Sim::CreatePlayerController(world, Sim::ControllerKind::Game, false);
    EXPECT_EQ(Sim::ObjectReference(Sim::MapUIAPIOf(world), L"LocalPlayerRevealedMapIconsComponent"), revealed)
        << "another player's controller is not the local one";
    EXPECT_NE(Sim::ObjectReference(remote, L"RevealedMapIconsComponent"), revealed);

    // Its character points at the registry, whichever came first.
    EXPECT_EQ(Sim::ObjectReference(player.pawn, L"GameplayObjectRegistry"), nullptr);
    UObject* registry = Sim::GameplayObjectRegistryOf(world);
    EXPECT_EQ(Sim::ObjectReference(player.pawn, L"GameplayObjectRegistry"), registry);
    UObject* respawned = Sim::Respawn(player.controller, {});
    EXPECT_EQ(Sim::ObjectReference(respawned, L"GameplayObjectRegistry"), registry);
}

TEST_F(MapData, RevealingAndForgettingLandmarksLeavesHolesTheNextRevealFills)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    auto player = Sim::EnterLocalPlayer(world);
    std::vector<std::pair<std::wstring, bool>> told;
    const int updates = Count(L"/Script/Umbrafel.RevealedMapIconsComponent:Client_UpdateRevealedLandmark", [&](uint8* parms) {
        UFunction* f = Sim::FindFunctionByPath(L"/Script/Umbrafel.RevealedMapIconsComponent:Client_UpdateRevealedLandmark");
        auto* flag = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(f, L"bRevealed"));
        told.push_back({NameAt(parms + Sim::FindPropertyUncounted(f, L"LandmarkId")->GetOffset_Internal()),
                        flag->GetPropertyValue(flag->ContainerPtrToValuePtr<void>(parms))});
    });
    for (const wchar_t* name : {L"Landmark_A", L"Landmark_B", L"Landmark_C", L"Landmark_D"})
    {
        EXPECT_TRUE(Sim::RevealLandmark(player.controller, name));
    }
    EXPECT_FALSE(Sim::RevealLandmark(player.controller, L"Landmark_B")) << "a set holds a name once";
    EXPECT_TRUE(Sim::ForgetLandmark(player.controller, L"Landmark_B"));
    EXPECT_TRUE(Sim::ForgetLandmark(player.controller, L"Landmark_C"));
    EXPECT_FALSE(Sim::ForgetLandmark(player.controller, L"Landmark_C"));

    UObject* component = Sim::ObjectReference(player.controller, L"RevealedMapIconsComponent");
    // The set as a mod walks it: eight-byte names, then the hash fields.
    Orv::EngineSetView view = Orv::ViewEngineSet(Field(component, L"RevealedLandmarkNames"), 8, 4);
    EXPECT_EQ(view.count, 4);
    EXPECT_EQ(view.stride, 16u);
    std::vector<std::wstring> live;
    for (int32 index = 0; index < view.count; ++index)
    {
        if (view.IsElement(index))
        {
            live.push_back(NameAt(view.At(index)));
        }
    }
    EXPECT_EQ(live, (std::vector<std::wstring>{L"Landmark_A", L"Landmark_D"}));
    EXPECT_FALSE(view.IsElement(1));
    EXPECT_FALSE(view.IsElement(2));

    EXPECT_TRUE(Sim::RevealLandmark(player.controller, L"Landmark_E"));
    view = Orv::ViewEngineSet(Field(component, L"RevealedLandmarkNames"), 8, 4);
    EXPECT_TRUE(view.IsElement(2)) << "the most recently freed slot first";
    EXPECT_EQ(NameAt(view.At(2)), L"Landmark_E");
    EXPECT_EQ(Sim::RevealedLandmarks(player.controller), (std::vector<std::wstring>{L"Landmark_A", L"Landmark_E", L"Landmark_D"}));
    EXPECT_EQ(Calls(updates), 7);
    EXPECT_EQ(told[4], (std::pair<std::wstring, bool>{L"Landmark_B", false}));
    EXPECT_EQ(told.back(), (std::pair<std::wstring, bool>{L"Landmark_E", true}));
}

TEST_F(MapData, AMovedWaypointIsANewActorAndAClearedOneIsNull)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    auto player = Sim::EnterLocalPlayer(world);
    const int placed = Count(L"/Script/Umbrafel.MapUIAPI:PlaceWaypoint");
    EXPECT_EQ(Sim::CurrentWaypoint(player.controller), nullptr);
    UObject* first = Sim::PlaceWaypoint(world, {100, 200, 0});
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->IsA(Sim::FindClass(L"/Script/Umbrafel.WaypointActor")));
    EXPECT_EQ(Sim::ObjectReference(Sim::ObjectReference(player.controller, L"MapCustomizationComponent"), L"CurrentWaypoint"), first);
    EXPECT_EQ(Sim::ActorPlacement(first).y, 200);
    UObject* second = Sim::PlaceWaypoint(world, {-300, 0, 0});
    EXPECT_NE(second, first);
    EXPECT_FALSE(IsLive(first)) << "the old waypoint is destroyed";
    EXPECT_EQ(Sim::ActorPlacement(second).x, -300);
    EXPECT_EQ(Calls(placed), 2);
    Sim::ClearWaypoint(world);
    EXPECT_EQ(Sim::CurrentWaypoint(player.controller), nullptr);
    EXPECT_FALSE(IsLive(second));
}

TEST_F(MapData, DiscoveringADungeonTakesItOffTheListAndTellsTheDiscoveryActor)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    UObject* poi = Sim::PoiDiscoverySystemOf(world);
    ASSERT_NE(poi, nullptr);
    EXPECT_EQ(reinterpret_cast<UObject*>(poi->GetWorld()), reinterpret_cast<UObject*>(world));
    const int told = Count(L"/Script/Umbrafel.PoiDiscoverySystemActor:OnRep_PoiDiscoverySystemDataPerPlayer");
    Sim::AddDiscoverableDungeon(world, {1, 0, 0, 0});
    Sim::AddDiscoverableDungeon(world, {2, 0, 0, 0});
    Sim::AddDiscoverableDungeon(world, {3, 0, 0, 0});
    EXPECT_TRUE(Sim::DiscoverDungeon(world, {2, 0, 0, 0}));
    EXPECT_FALSE(Sim::DiscoverDungeon(world, {2, 0, 0, 0}));
    EXPECT_FALSE(Sim::DiscoverDungeon(world, {0, 0, 0, 2}));
    auto* array = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(poi->GetClassPrivate(), L"DiscoverableDungeons"));
    void* list = Field(poi, L"DiscoverableDungeons");
    ASSERT_EQ(Sim::ArrayNum(list), 2);
    EXPECT_EQ(*static_cast<uint32*>(Sim::ArrayElement(array, list, 0)), 1u);
    EXPECT_EQ(*static_cast<uint32*>(Sim::ArrayElement(array, list, 1)), 3u);
    EXPECT_EQ(Calls(told), 1);
    EXPECT_TRUE(Sim::PoiDiscoverySystemActorOf(world)->IsA(Sim::FindClass(L"/Script/Umbrafel.PoiDiscoverySystemActor")));
}

TEST_F(MapData, CreaturesHaveTheirDataBeforeTheyBeginAndJoinTheAISet)
{
    UWorld* world = Sim::CreateWorld(L"Field");
    std::vector<UObject*> dataAtBegin;
    Hook::RegisterBeginPlayPreCallback(
        [&](Hook::TCallbackIterationData<void>&, AActor* actor) {
            dataAtBegin.push_back(Sim::ObjectReference(actor, L"LoadedData"));
        },
        {});
    UObject* boss = Sim::SpawnCreature(world, {}, true, 2);
    UObject* deer = Sim::SpawnCreature(world, {}, false, 0);
    ASSERT_EQ(dataAtBegin.size(), 2u);
    EXPECT_EQ(dataAtBegin[0], Sim::CreatureData(true, 2));
    UObject* data = Sim::ObjectReference(boss, L"LoadedData");
    EXPECT_EQ(*static_cast<uint8*>(Field(data, L"bIsBoss")), 1);
    EXPECT_EQ(*static_cast<uint8*>(Field(data, L"Archetype")), 2);
    UObject* deerData = Sim::ObjectReference(deer, L"LoadedData");
    EXPECT_EQ(*static_cast<uint8*>(Field(deerData, L"bIsBoss")), 0);
    EXPECT_EQ(*static_cast<uint8*>(Field(deerData, L"Archetype")), 0);
    EXPECT_NE(Sim::CreatureData(false, 1), Sim::CreatureData(true, 1));

    std::vector<UObject*> subsystems;
    UObjectGlobals::FindAllOf(STR("UmbrafelAISubsystem"), subsystems);
    ASSERT_EQ(subsystems.size(), 1u);
    void* set = Field(subsystems[0], L"AllAiCharacters");
    EXPECT_EQ(Sim::SetNum(set), 2);
    Sim::DestroyActor(boss);
    Sim::CollectGarbage(true);
    EXPECT_EQ(Sim::SetNum(set), 1);
    EXPECT_TRUE(IsLive(data)) << "data assets outlive their creatures";
}

// ---- Builds that lack parts ----

TEST_F(MapData, ABuildWithoutMembersOrEventsKeepsWhatItHasAndRefusesTheRest)
{
    StartEngine(5, 1,
                {.missingFunctions = {L"/Script/Umbrafel.GameplayObjectRegistry:OnRep_Beds"},
                 .missingProperties = {L"/Script/Umbrafel.UmbrafelPlayerController:CharacterGuid",
                                       L"/Script/Umbrafel.RevealedMapIconsComponent:RevealedLandmarkNames",
                                       L"/Script/Umbrafel.PlayerCharacterRegistryEntry:Color",
                                       L"/Script/MinimapPlugin.MapIconComponent:IconCategory"},
                 .missingClasses = {L"/Script/Umbrafel.PoiDiscoverySystem"}});
    UWorld* world = Sim::CreateWorld(L"Field");
    auto player = Sim::EnterLocalPlayer(world);
    Sim::SetCharacterGuid(player.controller, {1, 2, 3, 4});
    EXPECT_EQ(Sim::CharacterGuidOf(player.controller), Sim::Guid{});
    const std::wstring path = L"/Script/Umbrafel.UmbrafelPlayerController:IsCharacterGuidEqual";
    EXPECT_FALSE(Returned<bool>(path, Invoke(player.controller, path))) << "no guid to be equal to";
    EXPECT_FALSE(Sim::RevealLandmark(player.controller, L"Landmark_A"));
    EXPECT_TRUE(Sim::RevealedLandmarks(player.controller).empty());

    Sim::AddRegistryPlayer(world, {1, 2, 3, 4}, {1, 2, 3}, {1, 0, 0, 1});
    EXPECT_EQ(Sim::RegistryCount(world, L"PlayerCharacters"), 1);
    EXPECT_EQ(Sim::FindPropertyUncounted(StructNamed(L"/Script/Umbrafel.PlayerCharacterRegistryEntry"), L"Color"), nullptr);
    Sim::AddBed(world, {}, {0, 0, 0});
    EXPECT_EQ(Sim::RegistryCount(world, L"Beds"), 1) << "the bed is there though nobody is told";

    EXPECT_EQ(Sim::PoiDiscoverySystemOf(world), nullptr);
    Sim::AddDiscoverableDungeon(world, {1, 0, 0, 0});
    EXPECT_FALSE(Sim::DiscoverDungeon(world, {1, 0, 0, 0}));

    UObject* icon = Sim::AddMapIconComponent(Sim::SpawnActor(world, L"/Script/Engine.Actor"), {.category = L"Creature"});
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(Sim::FindPropertyUncounted(icon->GetClassPrivate(), L"IconCategory"), nullptr);
    EXPECT_EQ(Sim::TrackedMapIcons(world), (std::vector<UObject*>{icon}));
}
} // namespace
