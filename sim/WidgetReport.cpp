// Reads the minimap's widget tree as the screen holds it (what a player sees, not what the
// widgets' members say since), through the engine's own reflection, as a tool beside the mod
// would: user widget → its root canvas → the positioned HUD canvas → the map's size box → the
// outer rim, and beside the map the edit mode's controls, each a framed border with an optional
// caption. Every object is checked to be live before it is read, so a tree the mod left
// half-built or freed reads as missing pieces.
#include "WidgetReport.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Output.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>
#include <Unreal/Property/FEnumProperty.hpp>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <functional>
#include <optional>
#include <vector>

namespace OrvSim
{
namespace
{
using namespace RC::Unreal;

bool Live(const UObject* object) { return object != nullptr && Sim::HoldsObject(object); }

// A member as the screen draws it, by dotted path.
nlohmann::json Number(const UObject* object, const wchar_t* path)
{
    const Sim::MemberRef member = Live(object) ? Sim::ScreenMember(object, path) : Sim::MemberRef{};
    auto* property = dynamic_cast<FNumericProperty*>(member.property);
    if (auto* enumeration = dynamic_cast<FEnumProperty*>(member.property))
    {
        property = enumeration->GetUnderlyingProperty();
    }
    if (property == nullptr || member.address == nullptr)
    {
        return nullptr;
    }
    if (property->IsFloatingPoint())
    {
        return property->GetFloatingPointPropertyValue(member.address);
    }
    return property->GetSignedIntPropertyValue(member.address);
}

UObject* Reference(const UObject* object, const wchar_t* path)
{
    const Sim::MemberRef member = Live(object) ? Sim::ScreenMember(object, path) : Sim::MemberRef{};
    auto* property = dynamic_cast<FObjectPropertyBase*>(member.property);
    UObject* value = property != nullptr && member.address != nullptr ? property->GetObjectPropertyValue(member.address) : nullptr;
    return Live(value) ? value : nullptr;
}

bool IsA(const UObject* object, const wchar_t* classPath)
{
    UClass* cls = Sim::FindClass(classPath);
    return Live(object) && cls != nullptr && object->GetClassPrivate()->IsChildOf(cls);
}

// The live children the screen draws in a widget, with their slots.
std::vector<Sim::ScreenChild> Children(const UObject* widget)
{
    std::vector<Sim::ScreenChild> children = Live(widget) ? Sim::ScreenChildren(widget) : std::vector<Sim::ScreenChild>{};
    std::erase_if(children, [](const Sim::ScreenChild& child) { return !Live(child.widget); });
    return children;
}

UObject* RootOf(const UObject* userWidget)
{
    const std::vector<Sim::ScreenChild> root = IsA(userWidget, L"/Script/UMG.UserWidget") ? Children(userWidget)
                                                                                          : std::vector<Sim::ScreenChild>{};
    return root.empty() ? nullptr : root.front().widget;
}

// The mod's widget: the user widget in the viewport (the game's own screens add none here).
UObject* ModWidget()
{
    for (UObject* widget : Sim::ViewportWidgets())
    {
        if (IsA(widget, L"/Script/UMG.UserWidget"))
        {
            return widget;
        }
    }
    return nullptr;
}

nlohmann::json Offsets(const UObject* canvasSlot)
{
    nlohmann::json offsets = {Number(canvasSlot, L"LayoutData.Offsets.Left"), Number(canvasSlot, L"LayoutData.Offsets.Top"),
                              Number(canvasSlot, L"LayoutData.Offsets.Right"), Number(canvasSlot, L"LayoutData.Offsets.Bottom")};
    return offsets[0].is_null() ? nlohmann::json(nullptr) : offsets;
}

// Depth first through what the screen draws.
UObject* FindWidget(UObject* widget, const std::function<bool(UObject*)>& wanted, int depth = 0)
{
    if (!Live(widget) || depth > 64)
    {
        return nullptr;
    }
    if (wanted(widget))
    {
        return widget;
    }
    for (const Sim::ScreenChild& child : Children(widget))
    {
        if (UObject* found = FindWidget(child.widget, wanted, depth + 1))
        {
            return found;
        }
    }
    return nullptr;
}

// The HUD canvas's children: the first child of the root canvas, and its slot.
std::vector<Sim::ScreenChild> HudChildren(UObject* user, UObject** hudSlot = nullptr)
{
    const std::vector<Sim::ScreenChild> root = Children(RootOf(user));
    if (root.empty())
    {
        return {};
    }
    if (hudSlot != nullptr)
    {
        *hudSlot = root.front().slot;
    }
    return Children(root.front().widget);
}

UObject* FirstChild(const UObject* widget)
{
    const std::vector<Sim::ScreenChild> children = Children(widget);
    return children.empty() ? nullptr : children.front().widget;
}
} // namespace

nlohmann::json DescribeWidget()
{
    nlohmann::json described = {{"in_viewport", false}, {"zorder", nullptr},   {"hud", nullptr},
                                {"map_size", nullptr},  {"circular", false},   {"widgets_constructed", Sim::Observations().widgetsConstructed}};
    UObject* user = ModWidget();
    if (user == nullptr)
    {
        return described;
    }
    described["in_viewport"] = true;
    const std::optional<int32> zOrder = Sim::ViewportZOrder(user);
    described["zorder"] = zOrder ? nlohmann::json(*zOrder) : nlohmann::json(nullptr);
    UObject* hudSlot = nullptr;
    const std::vector<Sim::ScreenChild> hud = HudChildren(user, &hudSlot);
    if (hudSlot == nullptr)
    {
        return described;
    }
    described["hud"] = Offsets(hudSlot);
    for (const Sim::ScreenChild& child : hud)
    {
        if (!IsA(child.widget, L"/Script/UMG.SizeBox"))
        {
            continue;
        }
        const nlohmann::json offsets = Offsets(child.slot);
        described["map_size"] = offsets.is_array() ? offsets[2] : nlohmann::json(nullptr);
        UObject* rim = FirstChild(child.widget);
        described["circular"] = IsA(rim, L"/Script/UMG.Border") && Number(rim, L"Background.DrawAs") == 4;
        break;
    }
    return described;
}

namespace
{
constexpr int kHitTestInvisible = 3;

// The HUD's map size box: the first size box among the HUD canvas's children.
UObject* MapSizeBox(UObject* user)
{
    for (const Sim::ScreenChild& child : HudChildren(user))
    {
        if (IsA(child.widget, L"/Script/UMG.SizeBox"))
        {
            return child.widget;
        }
    }
    return nullptr;
}

// Inside the size box, through the rims (each holding one child), to the map's overlay.
UObject* MapOverlay(UObject* sizeBox)
{
    UObject* widget = sizeBox;
    for (int depth = 0; depth < 8 && Live(widget); ++depth)
    {
        widget = FirstChild(widget);
        if (IsA(widget, L"/Script/UMG.Overlay"))
        {
            return widget;
        }
    }
    return nullptr;
}

bool Shown(UObject* widget) { return Number(widget, L"Visibility") == kHitTestInvisible; }
} // namespace

nlohmann::json DescribeMarkers()
{
    nlohmann::json described = {{"icons_shown", 0}, {"diamonds_shown", 0}, {"arrow_angle", nullptr}, {"arrow_texture", false}};
    const std::vector<Sim::ScreenChild> layers = Children(MapOverlay(MapSizeBox(ModWidget())));
    UObject* canvas = layers.size() > 1 ? layers[1].widget : nullptr;
    if (IsA(canvas, L"/Script/UMG.CanvasPanel"))
    {
        int icons = 0;
        int diamonds = 0;
        for (const Sim::ScreenChild& child : Children(canvas))
        {
            if (!Shown(child.widget))
            {
                continue;
            }
            icons += IsA(child.widget, L"/Script/UMG.Overlay") ? 1 : 0;
            // The compass letters' discs on the same canvas are borders too, but hold text.
            const bool letter = IsA(FirstChild(child.widget), L"/Script/UMG.TextBlock");
            diamonds += IsA(child.widget, L"/Script/UMG.Border") && !letter ? 1 : 0;
        }
        described["icons_shown"] = icons;
        described["diamonds_shown"] = diamonds;
    }
    UObject* arrowBox = layers.size() > 2 ? layers[2].widget : nullptr;
    UObject* arrow = IsA(arrowBox, L"/Script/UMG.SizeBox") ? FirstChild(arrowBox) : nullptr;
    if (IsA(arrow, L"/Script/UMG.Image"))
    {
        described["arrow_angle"] = Number(arrow, L"RenderTransform.Angle");
        described["arrow_texture"] = IsA(Reference(arrow, L"Brush.ResourceObject"), L"/Script/Engine.Texture2D");
    }
    return described;
}

UObject* ModWidgetOnScreen()
{
    return ModWidget();
}

nlohmann::json MapTint()
{
    std::vector<UObject*> targets = Sim::CaptureTargets();
    if (targets.empty())
    {
        targets = Sim::RenderTargets();
    }
    UObject* image = FindWidget(ModWidget(), [&](UObject* widget) {
        if (!IsA(widget, L"/Script/UMG.Image"))
        {
            return false;
        }
        UObject* resource = Reference(widget, L"Brush.ResourceObject");
        return resource != nullptr && std::find(targets.begin(), targets.end(), resource) != targets.end();
    });
    const nlohmann::json r = Number(image, L"ColorAndOpacity.R");
    if (r.is_null())
    {
        return nullptr;
    }
    return {r, Number(image, L"ColorAndOpacity.G"), Number(image, L"ColorAndOpacity.B"), Number(image, L"ColorAndOpacity.A")};
}
} // namespace OrvSim

namespace OrvSim
{
namespace
{
constexpr std::size_t kControlCount = 17;

// A text block's caption. The screen takes a text block's text only through the engine's
// SetText, which stores it in the widget too, so the widget's member is what is drawn.
std::string Caption(UObject* textBlock)
{
    const Sim::MemberRef member = Live(textBlock) ? Sim::FindMemberByPath(textBlock, L"Text") : Sim::MemberRef{};
    if (dynamic_cast<FTextProperty*>(member.property) == nullptr || member.address == nullptr)
    {
        return {};
    }
    return Sim::ToUtf8(Sim::ReadText(member.address));
}

// Where the last layout put a widget, in viewport pixels.
ControlOnScreen Placed(const UObject* widget)
{
    const Sim::WidgetPlacement at = Sim::PlacementOf(widget);
    const double scale = Sim::ViewportScale();
    ControlOnScreen placed;
    placed.visible = at.arranged && at.drawn;
    placed.x = at.rect.x * scale;
    placed.y = at.rect.y * scale;
    placed.width = at.rect.width * scale;
    placed.height = at.rect.height * scale;
    return placed;
}

// A control is a border framing a border fill. The performance panel is built the same way,
// but its captions follow it on the HUD, and the controls follow them.
bool IsFramedBorder(UObject* widget)
{
    return IsA(widget, L"/Script/UMG.Border") && IsA(FirstChild(widget), L"/Script/UMG.Border");
}
} // namespace

std::vector<ControlOnScreen> ControlsOnScreen()
{
    std::vector<UObject*> frames;
    for (const Sim::ScreenChild& child : HudChildren(ModWidget()))
    {
        if (IsA(child.widget, L"/Script/UMG.TextBlock"))
        {
            frames.clear();
        }
        else if (IsFramedBorder(child.widget))
        {
            frames.push_back(child.widget);
        }
    }
    if (frames.size() != kControlCount)
    {
        return {};
    }
    Sim::LayOutScreen();
    std::vector<ControlOnScreen> controls;
    for (UObject* frame : frames)
    {
        ControlOnScreen control = Placed(frame);
        UObject* caption = FirstChild(FirstChild(frame));
        control.label = IsA(caption, L"/Script/UMG.TextBlock") ? Caption(caption) : std::string{};
        controls.push_back(std::move(control));
    }
    return controls;
}

nlohmann::json DescribeControls(const std::vector<ControlOnScreen>& controls)
{
    nlohmann::json described = nlohmann::json::array();
    for (const ControlOnScreen& control : controls)
    {
        described.push_back({{"label", control.label},
                             {"visible", control.visible},
                             {"rect", {control.x, control.y, control.width, control.height}}});
    }
    return described;
}

std::optional<ControlOnScreen> MapOnScreen()
{
    UObject* sizeBox = MapSizeBox(ModWidget());
    if (sizeBox == nullptr)
    {
        return std::nullopt;
    }
    Sim::LayOutScreen();
    const ControlOnScreen map = Placed(sizeBox);
    return map.visible ? std::optional<ControlOnScreen>(map) : std::nullopt;
}
} // namespace OrvSim

namespace OrvSim
{
namespace
{
constexpr double kNorthUpTolerance = 1e-6;
constexpr const char* kCompassLetters[] = {"N", "E", "S", "W"};

UObject* LocalPawn()
{
    UObject* controller = Sim::ObjectReference(Sim::LocalPlayer(), L"PlayerController");
    UObject* pawn = Live(controller) ? Sim::ObjectReference(controller, L"Pawn") : nullptr;
    return Live(pawn) && pawn->GetWorld() != nullptr ? pawn : nullptr;
}

// The capture actor standing in the pawn's world: the game spawns none of its own, so it is the
// mod's. Destroyed actors have left the world's list already.
UObject* CaptureActorBeside(UObject* pawn)
{
    if (pawn == nullptr)
    {
        return nullptr;
    }
    for (UObject* actor : Sim::ActorsOf(pawn->GetWorld()))
    {
        if (IsA(actor, L"/Script/Engine.SceneCapture2D"))
        {
            return actor;
        }
    }
    return nullptr;
}

// The letter discs on the map's marker canvas: borders holding a text block.
std::vector<UObject*> CompassLetterDiscs(UObject* user)
{
    std::vector<UObject*> letters;
    const std::vector<Sim::ScreenChild> layers = Children(MapOverlay(MapSizeBox(user)));
    UObject* canvas = layers.size() > 1 ? layers[1].widget : nullptr;
    for (const Sim::ScreenChild& child : Children(canvas))
    {
        UObject* content = FirstChild(child.widget);
        if (IsA(child.widget, L"/Script/UMG.Border") && IsA(content, L"/Script/UMG.TextBlock"))
        {
            letters.push_back(child.widget);
        }
    }
    return letters;
}

// Drawn off the viewport's edge is not on the screen, whatever the layout reached.
bool InsideViewport(const Sim::WidgetPlacement& at)
{
    const Sim::ViewportSize pixels = Sim::ViewportPixels();
    const double scale = Sim::ViewportScale();
    constexpr double kRounding = 0.01;
    return at.rect.x >= -kRounding && at.rect.y >= -kRounding && at.rect.Right() * scale <= pixels.width + kRounding &&
           at.rect.Bottom() * scale <= pixels.height + kRounding;
}

// The coordinates' text: on the HUD canvas, the border holding a text block (the controls and
// the performance panel frame a border instead).
UObject* CoordinatesText(UObject* user)
{
    for (const Sim::ScreenChild& child : HudChildren(user))
    {
        UObject* content = FirstChild(child.widget);
        if (IsA(child.widget, L"/Script/UMG.Border") && IsA(content, L"/Script/UMG.TextBlock"))
        {
            return content;
        }
    }
    return nullptr;
}

void DescribeLetters(UObject* user, nlohmann::json& described)
{
    nlohmann::json places = nlohmann::json::object();
    for (UObject* disc : CompassLetterDiscs(user))
    {
        UObject* text = FirstChild(disc);
        const std::string letter = Caption(text);
        const Sim::WidgetPlacement at = Sim::PlacementOf(text);
        if (!at.arranged || !at.drawn ||
            std::find(std::begin(kCompassLetters), std::end(kCompassLetters), letter) == std::end(kCompassLetters))
        {
            continue;
        }
        // The disc is what the mod places; the letter is centred in it.
        const ControlOnScreen placed = Placed(disc);
        places[letter] = {placed.x + placed.width / 2, placed.y + placed.height / 2};
    }
    described["compass_letters"] = places.size() == std::size(kCompassLetters);
    described["compass_places"] = places;
}
} // namespace

nlohmann::json DescribeExtras(bool modLoaded)
{
    nlohmann::json described = {{"hidden", false},         {"north_up", nullptr},   {"compass_letters", nullptr},
                                {"compass_places", nullptr}, {"coordinates", nullptr}, {"map_opacity", nullptr}};
    UObject* pawn = LocalPawn();
    UObject* capture = CaptureActorBeside(pawn);
    UObject* user = ModWidget();
    described["hidden"] = modLoaded && pawn != nullptr && user == nullptr && capture == nullptr;
    if (capture != nullptr)
    {
        described["north_up"] = std::abs(std::remainder(Sim::ActorPlacement(capture).yaw, 360.0)) <= kNorthUpTolerance;
    }
    if (user == nullptr)
    {
        return described;
    }
    Sim::LayOutScreen();
    DescribeLetters(user, described);
    UObject* coordinates = CoordinatesText(user);
    const Sim::WidgetPlacement at = Live(coordinates) ? Sim::PlacementOf(coordinates) : Sim::WidgetPlacement{};
    described["coordinates"] = at.drawn && InsideViewport(at) ? nlohmann::json(Caption(coordinates)) : nlohmann::json(false);
    // The picture is the overlay's first child; the markers and the arrow over it stay solid.
    described["map_opacity"] = Number(FirstChild(MapOverlay(MapSizeBox(user))), L"RenderOpacity");
    return described;
}
} // namespace OrvSim
