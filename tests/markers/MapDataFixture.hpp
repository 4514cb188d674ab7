// What the marker-source tests share: the mod with its map-data and drawing steps reachable, a
// player whose first frame built the session, the marker list read back by icon type and place,
// and what the engine's icon widgets were told, read back as world places.
#pragma once

#include "widget/WidgetFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/MapData.hpp>

#include <cmath>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace OrvTest
{
class MarkerMod : public WidgetMod
{
  public:
    using LiveOrvantaMod::AddIconComponent;
    using LiveOrvantaMod::AddMapMarker;
    using LiveOrvantaMod::FullAiScan;
    using LiveOrvantaMod::FindMapApi;
    using LiveOrvantaMod::FindPoiDiscoverySystem;
    using LiveOrvantaMod::FindStyleById;
    using LiveOrvantaMod::FindStyleByTag;
    using LiveOrvantaMod::LoadIconStyles;
    using LiveOrvantaMod::RebuildMapMarkers;
    using LiveOrvantaMod::UpdateAiMarkers;
    using LiveOrvantaMod::UpdateMapIconMarkers;
    using LiveOrvantaMod::UpdatePlayerArrow;
};

// Where a marker sits, rounded to a thousandth so floats and doubles compare alike.
struct Spot
{
    double x = 0, y = 0;
    friend bool operator==(const Spot& a, const Spot& b) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Spot& s) { return out << "(" << s.x << ", " << s.y << ")"; }

inline double Thousandths(double value) { return static_cast<double>(std::llround(value * 1000.0)) / 1000.0; }

class MapDataFixture : public WidgetFixture
{
  protected:
    // An engine of that version with the game's options, its clock away from 0 again.
    void UseEngine(int major, int minor, const Sim::GameOptions& game = {})
    {
        StartEngine(major, minor, game);
        Sim::AdvanceClock(7 * Orv::kSecond);
    }

    // As StartHud, with the mod that exposes the marker steps; the player stands at the placement
    // and has its character guid. prepare runs after the player entered, before the mod starts.
    void StartMarkers(const Sim::Placement& at = {}, const std::function<void()>& prepare = {})
    {
        Sim::SetViewportPixels(1920, 1080);
        Sim::SetViewportScale(1.0f);
        world_ = Sim::CreateWorld(L"Valley");
        gameInstance_ = Sim::CreateGameInstance(world_);
        auto local = Sim::EnterLocalPlayer(world_, at);
        controller_ = local.controller;
        pawn_ = local.pawn;
        Sim::SetCharacterGuid(controller_, kOwnGuid);
        if (prepare)
        {
            prepare();
        }
        StartMarkerMod();
        Frame();
    }

    void StartMarkerMod()
    {
        const Orv::ModSettings wanted = Orv::Settings();
        const Orv::HudSettings wantedHud = Orv::Hud();
        auto mod = std::make_unique<MarkerMod>();
        markers_ = mod.get();
        widgetMod_ = mod.get();
        capture_ = mod.get();
        mod_ = std::move(mod);
        mod_->on_unreal_init();
        mod_->StartOnGameThread();
        Orv::Settings() = wanted;
        Orv::Hud() = wantedHud;
    }

    void Rebuild() const { markers_->RebuildMapMarkers(); }

    const Orv::MapIconList& List() const { return Session().mapIcons; }

    // The places of the list's entries of one icon type, in list order.
    std::vector<Spot> SpotsOf(std::uint8_t category) const
    {
        std::vector<Spot> spots;
        for (const Orv::MapIconEntry& entry : List())
        {
            if (entry.category == category)
            {
                spots.push_back({Thousandths(entry.x), Thousandths(entry.y)});
            }
        }
        return spots;
    }

    std::vector<std::uint8_t> Categories() const
    {
        std::vector<std::uint8_t> categories;
        for (const Orv::MapIconEntry& entry : List())
        {
            categories.push_back(entry.category);
        }
        return categories;
    }

    std::vector<Spot> Spots() const
    {
        std::vector<Spot> spots;
        for (const Orv::MapIconEntry& entry : List())
        {
            spots.push_back({Thousandths(entry.x), Thousandths(entry.y)});
        }
        return spots;
    }

    const Orv::MapIconEntry* EntryFor(const UObject* component) const
    {
        for (const Orv::MapIconEntry& entry : List())
        {
            if (entry.component == component)
            {
                return &entry;
            }
        }
        return nullptr;
    }

    // An actor at the place carrying one map-icon component.
    UObject* IconAt(double x, double y, const std::wstring& category, const wchar_t* texture, bool visible = true) const
    {
        UObject* actor = Sim::SpawnActor(world_, L"/Script/Engine.Actor", {.x = x, .y = y});
        return Sim::AddMapIconComponent(actor, {.category = category, .texture = texture != nullptr ? Sim::GameTexture(texture) : nullptr,
                                                .visible = visible});
    }

    const Orv::IconMarkerSlot& IconSlot(std::size_t index) const { return Session().markers.iconSlots[index]; }
    const Orv::DiamondMarkerSlot& DiamondSlot(std::size_t index) const { return Session().markers.diamondSlots[index]; }

    // The world places of the icons the screen shows after one marker update, in slot order, read
    // back from their slots' offsets: the pawn at the origin facing world +X, S 280, Z 8000 (k
    // 0.034, half 136, 20-unit slots), to the whole unit.
    std::vector<Spot> DrawnSpots() const
    {
        markers_->UpdateMapIconMarkers();
        return ShownSpots();
    }

    std::vector<Spot> ShownSpots() const
    {
        std::vector<Spot> spots;
        for (const Orv::IconMarkerSlot& slot : Session().markers.iconSlots)
        {
            if (VisibilityOf(slot.root) == 3)
            {
                const Rect at = SlotRect(slot.slot);
                spots.push_back({static_cast<double>(std::llround((126.0 - at.y) / 0.034)),
                                 static_cast<double>(std::llround((at.x - 126.0) / 0.034))});
            }
        }
        return spots;
    }

    // A style of the type with one of the game's pictures, for requests made straight to the list.
    static Orv::IconStyle StyleFor(std::uint8_t category, float iconSize = 32.0f, float rotationOffset = 0.0f,
                                   const wchar_t* texture = L"T_MapIcon_Lodestone", Orv::LinearColor tint = {1, 1, 1, 1})
    {
        return {.category = category, .texture = Sim::GameTexture(texture), .tint = tint, .iconSize = iconSize,
                .rotationOffset = rotationOffset};
    }

    // Empties the marker list, so that what a test adds is all there is to draw.
    void ClearList() const { markers_->MutableSession().mapIcons.Clear(); }

    static constexpr Sim::Guid kOwnGuid{0xA1, 0xA2, 0xA3, 0xA4};
    static constexpr Sim::Guid kOtherGuid{0xB1, 0xB2, 0xB3, 0xB4};

    MarkerMod* markers_ = nullptr;
};
} // namespace OrvTest
