// The icon styles and the tag table as the mod loads them from the game: which entries of the
// collection become styles and in what order, their names, looks and defaults, the tag lookups,
// and loading without the collection, then again once it is there.
#include "markers/MapDataFixture.hpp"

#include <Sim/Game.hpp>
#include <Unreal/UObjectArray.hpp>

#include <gtest/gtest.h>

#include <map>

namespace OrvTest
{
namespace
{
using RC::Unreal::EInternalObjectFlags;

constexpr auto kPendingKill = static_cast<RC::Unreal::int32>(EInternalObjectFlags::PendingKill);

std::vector<std::uint8_t> StyleCategories(const std::vector<Orv::IconStyle>& styles)
{
    std::vector<std::uint8_t> categories;
    for (const Orv::IconStyle& style : styles)
    {
        categories.push_back(style.category);
    }
    return categories;
}

std::array<float, 4> Tint(const Orv::IconStyle& style) { return Colour(style.tint); }

class IconStyles : public MapDataFixture
{
  protected:
    // Neither the map API nor a search finds the collection while it is hidden; the flag can
    // be lowered again, where a real pending kill could not.
    void HideCollection(bool hidden)
    {
        if (collection_ == nullptr)
        {
            collection_ = Sim::MapIconStyles();
        }
        Sim::SetObjectReference(Sim::MapUIAPIOf(world_), L"MapIconDisplayInfoCollection", hidden ? nullptr : collection_);
        auto* item = collection_->GetObjectItem();
        item->Flags = hidden ? (item->Flags | kPendingKill) : (item->Flags & ~kPendingKill);
    }

    UObject* collection_ = nullptr;

    const Orv::IconStyle& StyleOf(std::uint8_t category) const
    {
        const Orv::IconStyle* style = markers_->FindStyleById(category);
        EXPECT_NE(style, nullptr) << int{category};
        static const Orv::IconStyle none;
        return style != nullptr ? *style : none;
    }
};

TEST_F(IconStyles, EveryPicturedEntryIsAStyleInTheCollectionsOrder)
{
    StartMarkers({}, [] {
        // Taking the bed out leaves a hole that type 40 then fills, ahead of the later types.
        ASSERT_TRUE(Sim::RemoveStyle(Sim::MapIconType::Bed));
        Sim::SetStyle(40, {Sim::GameTexture(L"T_MapIcon_Resource"), {0.1f, 0.2f, 0.3f, 0.4f}, 17, 45});
        // Entries whose picture is no texture the map can draw.
        Sim::SetStyle(41, {Sim::MapIconStyles(), {1, 1, 1, 1}, 20, 0});
        Sim::SetStyle(42, {nullptr, {1, 1, 1, 1}, 20, 0});
    });
    const std::vector<std::uint8_t> expected = {1,  2,  3,  4,  40, 6,  7,  8,  9,  10, 17, 20, 11, 12,
                                                13, 14, 15, 16, 51, 52, 53, 23, 24, 25, 26, 27, 28};
    EXPECT_EQ(StyleCategories(mod_->IconStyles()), expected)
        << "Ruins (18) and Portal (22) only have the placeholder's picture";
    UObject* placeholder = Sim::GameTexture(L"T_MapIcon_Unknown");
    EXPECT_EQ(mod_->PlaceholderTexture(), placeholder);
    for (const Orv::IconStyle& style : mod_->IconStyles())
    {
        EXPECT_NE(style.texture, placeholder) << int{style.category};
    }

    const Orv::IconStyle& added = StyleOf(40);
    EXPECT_EQ(added.texture, Sim::GameTexture(L"T_MapIcon_Resource"));
    EXPECT_EQ(Tint(added), (std::array<float, 4>{0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_EQ(added.iconSize, 17.0f);
    EXPECT_EQ(added.rotationOffset, 45.0f);
    const Orv::IconStyle& others = StyleOf(Sim::MapIconType::OtherPlayer);
    EXPECT_EQ(others.texture, Sim::GameTexture(L"T_MapIcon_Player"));
    EXPECT_EQ(Tint(others), (std::array<float, 4>{0.35f, 0.75f, 1.0f, 1.0f}));
    EXPECT_EQ(others.iconSize, 18.0f);
    EXPECT_EQ(StyleOf(Sim::MapIconType::LocalPlayer).iconSize, 28.0f);
    EXPECT_EQ(markers_->FindStyleById(Sim::MapIconType::Bed), nullptr);
    EXPECT_EQ(markers_->FindStyleById(Sim::MapIconType::Ruins), nullptr);
    EXPECT_EQ(markers_->FindStyleById(0), nullptr);
}

TEST_F(IconStyles, AStylesNameIsItsTypesNameWithoutTheEnumeration)
{
    StartMarkers();
    EXPECT_EQ(StyleOf(Sim::MapIconType::Lodestone).name, L"Lodestone");
    EXPECT_EQ(StyleOf(Sim::MapIconType::OtherPlayer).name, L"OtherPlayer");
    EXPECT_EQ(StyleOf(Sim::MapIconType::FirstResource).name, L"ResourceCopper");
    EXPECT_EQ(StyleOf(Sim::MapIconType::QuestTracked).name, L"QuestTracked");
}

TEST_F(IconStyles, NamesWithoutTheEnumerationsPrefixAreKeptWhole)
{
    // A build whose enumeration spells some names bare: defined first, the game's own
    // definition then keeps it.
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineEnum({L"/Script/Umbrafel.EMapIconType",
                     {{L"EMapIconType::None", 0}, {L"EMapIconType::LocalPlayer", 1}, {L"X", 2}, {L"Lodestone", 4},
                      {L"EMapIconType::Bed", 5}}});
    Sim::DefineDefaultGame();
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartMarkers();
    EXPECT_EQ(StyleOf(Sim::MapIconType::OtherPlayer).name, L"X");
    EXPECT_EQ(StyleOf(Sim::MapIconType::Lodestone).name, L"Lodestone");
    EXPECT_EQ(StyleOf(Sim::MapIconType::Bed).name, L"Bed");
}

TEST_F(IconStyles, MembersTheBuildLacksLeaveTheDefaultLook)
{
    UseEngine(5, 1,
              {.missingProperties = {L"/Script/Umbrafel.MapIconDisplayInfo:Tint", L"/Script/Umbrafel.MapIconDisplayInfo:IconSize",
                                     L"/Script/Umbrafel.MapIconDisplayInfo:RotationOffset"}});
    StartMarkers({}, [] { Sim::SetStyle(40, {Sim::GameTexture(L"T_MapIcon_Resource"), {0.1f, 0.2f, 0.3f, 0.4f}, 17, 45}); });
    ASSERT_FALSE(mod_->IconStyles().empty());
    for (const Orv::IconStyle& style : mod_->IconStyles())
    {
        SCOPED_TRACE(int{style.category});
        EXPECT_EQ(Tint(style), (std::array<float, 4>{1, 1, 1, 1}));
        EXPECT_EQ(style.iconSize, 32.0f);
        EXPECT_EQ(style.rotationOffset, 0.0f);
    }
    EXPECT_EQ(StyleOf(Sim::MapIconType::Lodestone).texture, Sim::GameTexture(L"T_MapIcon_Lodestone"));
}

TEST_F(IconStyles, TagsFindTheStyleOfTheirTypeByTheWholeName)
{
    StartMarkers({}, [] {
        Sim::MapTagToIconType(L"Map.Landmark.Obelisk", Sim::MapIconType::Shrine);
        ASSERT_TRUE(Sim::UnmapTag(L"Map.Landmark.Camp"));
    });
    std::map<std::wstring, int> table;
    for (const Orv::TagIconType& entry : mod_->TagIconTypes())
    {
        table[entry.tagName] = entry.category;
    }
    const std::map<std::wstring, int> expected = {
        {L"Map.Landmark.Tower", 6}, {L"Map.Landmark.Village", 7}, {L"Map.Landmark.Cave", 17}, {L"Map.Landmark.Shrine", 20},
        {L"Map.Landmark.Ruins", 18}, {L"Map.Dungeon.Crypt", 8},   {L"Map.Dungeon.Mine", 8},   {L"Map.Player.Marker", 1},
        {L"Map.Landmark.Obelisk", 20}};
    EXPECT_EQ(table, expected);
    EXPECT_EQ(mod_->TagIconTypes().size(), expected.size());

    const Orv::IconStyle* tower = markers_->FindStyleByTag(L"Map.Landmark.Tower");
    ASSERT_NE(tower, nullptr);
    EXPECT_EQ(tower->category, 6);
    ASSERT_NE(markers_->FindStyleByTag(L"Map.Landmark.Obelisk"), nullptr);
    EXPECT_EQ(markers_->FindStyleByTag(L"Map.Landmark.Obelisk")->category, 20);
    EXPECT_EQ(markers_->FindStyleByTag(L"Map.Dungeon.Mine")->category, 8);
    EXPECT_EQ(markers_->FindStyleByTag(L"Map.Landmark.Ruins"), nullptr) << "its type has no style";
    EXPECT_EQ(markers_->FindStyleByTag(L"Map.Landmark.Camp"), nullptr) << "taken out of the table";
    EXPECT_EQ(markers_->FindStyleByTag(L"Map.Landmark"), nullptr);
    EXPECT_EQ(markers_->FindStyleByTag(L"Map.Landmark.Towers"), nullptr);
    EXPECT_EQ(markers_->FindStyleByTag(L"Map.Landmark.Towe"), nullptr);
    EXPECT_EQ(markers_->FindStyleByTag(L""), nullptr);
}

TEST_F(IconStyles, WithoutTheCollectionLoadingFailsAndKeepsWhatWasLoaded)
{
    StartMarkers();
    const std::vector<std::uint8_t> styles = StyleCategories(mod_->IconStyles());
    const std::size_t tags = mod_->TagIconTypes().size();
    ASSERT_FALSE(styles.empty());
    ASSERT_GT(tags, 0u);

    HideCollection(true);
    EXPECT_FALSE(markers_->LoadIconStyles());
    EXPECT_EQ(StyleCategories(mod_->IconStyles()), styles);
    EXPECT_EQ(mod_->TagIconTypes().size(), tags);
    EXPECT_EQ(mod_->PlaceholderTexture(), Sim::GameTexture(L"T_MapIcon_Unknown"));
    HideCollection(false);
    EXPECT_TRUE(markers_->LoadIconStyles());
    EXPECT_EQ(StyleCategories(mod_->IconStyles()), styles) << "a load starts the tables afresh";
    EXPECT_EQ(mod_->TagIconTypes().size(), tags);
}

TEST_F(IconStyles, TheFrameTriesTheCollectionAgainEveryFiveSeconds)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    // Without a tracker nothing else rebuilds the list each second, which would load them too.
    UseEngine(5, 1, {.mapTracker = false});
    StartMarkers({}, [this] {
        HideCollection(true);
        Sim::AddLodestone(world_, {500, 0, 0});
    });
    const Orv::Nanoseconds firstTry = Sim::ClockNanoseconds();
    EXPECT_TRUE(mod_->IconStyles().empty());
    EXPECT_EQ(List().count, 0u) << "no styles, no markers";

    FramesFor(Orv::kSecond);
    HideCollection(false);
    while (Sim::ClockNanoseconds() + kFrameNs < firstTry + 5 * Orv::kSecond)
    {
        Frame();
    }
    EXPECT_TRUE(mod_->IconStyles().empty()) << "before five seconds";
    Frame();
    EXPECT_FALSE(mod_->IconStyles().empty());
    EXPECT_EQ(SpotsOf(Sim::MapIconType::Lodestone), (std::vector<Spot>{{500, 0}})) << "the list is rebuilt with them";
}
} // namespace
} // namespace OrvTest
