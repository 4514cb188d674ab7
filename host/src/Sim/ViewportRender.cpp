// The game's screen: the world behind the HUD, then every user widget in the viewport (lowest
// layer first) filling it, laid out and painted as Slate does for the UMG widgets the
// stand-in knows: canvas panels and their anchors, overlays, size boxes, borders, images,
// text blocks, visibility and render transforms. What is drawn is the screen's own copy of each
// widget (ScreenTree.hpp), read by member name through the engine's reflection at every pass (a
// game build may lay them out differently or lack members); only brushes are read from the
// widgets themselves, as Slate keeps pointers to them. Never through script calls, and only
// while the widgets are live objects.
#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"
#include "Sim/ScreenPaint.hpp"
#include "Sim/ScreenText.hpp"
#include "Sim/ScreenTree.hpp"
#include "Sim/WorldScene.hpp"

#include <Sim/Input.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/FText.hpp>
#include <Unreal/Property/FEnumProperty.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <string_view>
#include <unordered_map>

namespace Sim::Detail
{
float SrgbToLinear(uint8 value)
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i)
        {
            const double c = i / 255.0;
            t[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table[value];
}

uint8 LinearToSrgb(float value)
{
    // Fine enough that every 8-bit value survives the trip through linear light and back.
    constexpr int kSteps = 16384;
    static const std::vector<uint8> table = [] {
        std::vector<uint8> t(kSteps + 1);
        for (int i = 0; i <= kSteps; ++i)
        {
            const double l = static_cast<double>(i) / kSteps;
            const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1.0 / 2.4) - 0.055;
            t[static_cast<std::size_t>(i)] = static_cast<uint8>(std::lround(std::clamp(c, 0.0, 1.0) * 255.0));
        }
        return t;
    }();
    // NaN fails both tests and reads as black.
    const float clamped = value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
    return table[static_cast<std::size_t>(static_cast<int32>(clamped * kSteps + 0.5f))];
}

void Frame::Encode(std::vector<uint8>& rgba) const
{
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    rgba.resize(count * 4);
    for (std::size_t p = 0; p < count; ++p)
    {
        rgba[p * 4 + 0] = LinearToSrgb(rgb[p * 3 + 0]);
        rgba[p * 4 + 1] = LinearToSrgb(rgb[p * 3 + 1]);
        rgba[p * 4 + 2] = LinearToSrgb(rgb[p * 3 + 2]);
        rgba[p * 4 + 3] = 255;
    }
}

namespace
{
enum class Visibility : uint8
{
    Visible = 0,
    Collapsed = 1,
    Hidden = 2,
};

enum class WidgetKind
{
    Other, // a widget the screen knows nothing of: drawn as nothing, its slots filling it
    User,
    Canvas,
    Overlay,
    SizeBox,
    Border,
    Image,
    Text,
};

enum class Align : uint8
{
    Fill = 0,
    Start = 1,
    Centre = 2,
    End = 3,
};

struct Vec2
{
    double x = 0, y = 0;
};

struct Margin
{
    double left = 0, top = 0, right = 0, bottom = 0;
};

// A struct value found in its container, with its layout.
struct StructView
{
    const UStruct* layout = nullptr;
    const void* value = nullptr;
    explicit operator bool() const { return layout != nullptr && value != nullptr; }
};

struct FieldKey
{
    const UStruct* owner;
    const wchar_t* name;
    bool operator==(const FieldKey&) const = default;
};
struct FieldKeyHash
{
    std::size_t operator()(const FieldKey& k) const noexcept
    {
        return std::hash<const void*>()(k.owner) * 31 + std::hash<const void*>()(k.name);
    }
};

// Members by name, found once a pass: names are the literals below, so their addresses key.
class Fields
{
  public:
    FProperty* Find(const UStruct* owner, const wchar_t* name)
    {
        if (owner == nullptr)
        {
            return nullptr;
        }
        auto [at, added] = cache_.try_emplace(FieldKey{owner, name}, nullptr);
        if (added)
        {
            at->second = FindPropertyUncounted(owner, name);
        }
        return at->second;
    }

    double Real(StructView in, const wchar_t* name, double fallback)
    {
        auto* property = dynamic_cast<FNumericProperty*>(Find(in.layout, name));
        if (property == nullptr || in.value == nullptr)
        {
            return fallback;
        }
        const void* value = property->ContainerPtrToValuePtr<void>(in.value);
        return property->IsFloatingPoint() ? property->GetFloatingPointPropertyValue(value)
                                           : static_cast<double>(property->GetSignedIntPropertyValue(value));
    }

    int64 Integer(StructView in, const wchar_t* name, int64 fallback)
    {
        FProperty* property = Find(in.layout, name);
        if (property == nullptr || in.value == nullptr)
        {
            return fallback;
        }
        const void* value = property->ContainerPtrToValuePtr<void>(in.value);
        if (auto* number = dynamic_cast<FNumericProperty*>(property); number != nullptr && number->IsInteger())
        {
            return number->GetSignedIntPropertyValue(value);
        }
        if (auto* enumeration = dynamic_cast<FEnumProperty*>(property))
        {
            return enumeration->GetUnderlyingProperty()->GetSignedIntPropertyValue(value);
        }
        if (auto* flag = dynamic_cast<FBoolProperty*>(property))
        {
            return flag->GetPropertyValue(value) ? 1 : 0;
        }
        return fallback;
    }

    bool Boolean(StructView in, const wchar_t* name) { return Integer(in, name, 0) != 0; }

    // Only a live object: a reference to freed memory is never followed.
    UObject* Reference(StructView in, const wchar_t* name)
    {
        auto* property = dynamic_cast<FObjectPropertyBase*>(Find(in.layout, name));
        if (property == nullptr || in.value == nullptr)
        {
            return nullptr;
        }
        UObject* object = property->GetObjectPropertyValue(property->ContainerPtrToValuePtr<void>(in.value));
        return object != nullptr && IsLiveObject(object) ? object : nullptr;
    }

    StructView Member(StructView in, const wchar_t* name)
    {
        auto* property = dynamic_cast<FStructProperty*>(Find(in.layout, name));
        if (property == nullptr || in.value == nullptr)
        {
            return {};
        }
        return {property->GetStruct(), property->ContainerPtrToValuePtr<void>(in.value)};
    }

    Vec2 Vector(StructView in, const wchar_t* name, Vec2 fallback)
    {
        StructView v = Member(in, name);
        return v ? Vec2{Real(v, L"X", fallback.x), Real(v, L"Y", fallback.y)} : fallback;
    }

    Margin Margins(StructView in, const wchar_t* name, Margin fallback = {})
    {
        StructView m = Member(in, name);
        return m ? Margin{Real(m, L"Left", 0), Real(m, L"Top", 0), Real(m, L"Right", 0), Real(m, L"Bottom", 0)} : fallback;
    }

    Rgba Colour(StructView in, const wchar_t* name, Rgba fallback = {1, 1, 1, 1})
    {
        StructView c = Member(in, name);
        if (!c)
        {
            return fallback;
        }
        return {static_cast<float>(Real(c, L"R", 1)), static_cast<float>(Real(c, L"G", 1)), static_cast<float>(Real(c, L"B", 1)),
                static_cast<float>(Real(c, L"A", 1))};
    }

    // A SlateColor's specified colour.
    Rgba SlateColour(StructView in, const wchar_t* name)
    {
        StructView c = Member(in, name);
        return c ? Colour(c, L"SpecifiedColor") : Rgba{1, 1, 1, 1};
    }

  private:
    std::unordered_map<FieldKey, FProperty*, FieldKeyHash> cache_;
};

// What the screen holds of a widget or slot: nothing for one it does not hold.
StructView Of(const UObject* object)
{
    const ScreenCopy* copy = ScreenCopyOf(object);
    return copy != nullptr ? StructView{object->GetClassPrivate(), copy->values.data()} : StructView{};
}

// The widget itself, for its brushes.
StructView Live(const UObject* object) { return {object->GetClassPrivate(), object}; }

std::unordered_map<const UObject*, WidgetPlacement>& Placements()
{
    static std::unordered_map<const UObject*, WidgetPlacement> placements;
    return placements;
}

// The world behind the HUD, as a player standing in the open sees it: sky over ground, darker
// at night.
void DrawWorld(Frame& frame, bool night)
{
    struct Stop
    {
        double at;
        uint8 r, g, b;
    };
    constexpr double kHorizon = 0.42;
    const Stop stops[] = {{0.0, 66, 116, 190}, {kHorizon, 176, 204, 232}, {kHorizon, 104, 132, 74}, {1.0, 58, 82, 40}};
    const Rgba nightLight{0.10f, 0.12f, 0.22f, 1};
    for (int32 y = 0; y < frame.height; ++y)
    {
        const double t = (y + 0.5) / std::max(frame.height, 1);
        const bool sky = t < kHorizon;
        const Stop& from = sky ? stops[0] : stops[2];
        const Stop& to = sky ? stops[1] : stops[3];
        const double share = std::clamp((t - from.at) / (to.at - from.at), 0.0, 1.0);
        auto mix = [&](uint8 a, uint8 b) {
            return static_cast<float>((1 - share) * static_cast<double>(SrgbToLinear(a)) + share * static_cast<double>(SrgbToLinear(b)));
        };
        Rgba c{mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b), 1};
        if (night)
        {
            c = c * nightLight;
        }
        float* row = &frame.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width) * 3];
        for (int32 x = 0; x < frame.width; ++x)
        {
            row[x * 3 + 0] = c.r;
            row[x * 3 + 1] = c.g;
            row[x * 3 + 2] = c.b;
        }
    }
}

// Asked of the engine's record: Sim::LocalPlayer would make the player if there were none.
bool LocalPlayersNight()
{
    UObject* player = State().play.localPlayer;
    UObject* controller = player != nullptr && IsLiveObject(player) ? ObjectReference(player, L"PlayerController") : nullptr;
    UWorld* world = controller != nullptr && IsLiveObject(controller) ? controller->GetWorld() : nullptr;
    return world != nullptr && IsNight(world);
}

// UGameViewportClient::GetCursor: the first local player's controller decides, through
// ShouldShowMouseCursor (its bShowMouseCursor), whether the viewport shows a cursor at all.
bool CursorShown()
{
    UObject* player = State().play.localPlayer;
    UObject* controller = player != nullptr && IsLiveObject(player) ? ObjectReference(player, L"PlayerController") : nullptr;
    return controller != nullptr && IsLiveObject(controller) && Flag(controller, L"bShowMouseCursor");
}

// The system's default arrow, 16 pixels tall, its hot spot at the top left: 'X' is the dark
// outline, '.' the white inside.
constexpr std::array<std::string_view, 16> kArrow = {
    "X",          "XX",         "X.X",        "X..X",       "X...X",      "X....X",
    "X.....X",    "X......X",   "X.......X",  "X........X", "X.....XXXXX", "X..X..X",
    "X.XX..X",    "XX  X..X",   "    X..X",   "     XX",
};

// The hardware cursor lies over everything Slate drew, in whole pixels where the mouse is.
void DrawCursor(Frame& frame)
{
    const MousePosition mouse = CurrentMousePosition();
    if (!mouse.overViewport || !CursorShown())
    {
        return;
    }
    const auto left = static_cast<int32>(std::floor(mouse.x)), top = static_cast<int32>(std::floor(mouse.y));
    for (std::size_t row = 0; row < kArrow.size(); ++row)
    {
        for (std::size_t column = 0; column < kArrow[row].size(); ++column)
        {
            const char cell = kArrow[row][column];
            const int32 x = left + static_cast<int32>(column), y = top + static_cast<int32>(row);
            if (cell == ' ' || x < 0 || y < 0 || x >= frame.width || y >= frame.height)
            {
                continue;
            }
            const float level = cell == '.' ? 1.0f : 0.0f;
            frame.Blend(x, y, {level, level, level, 1.0f}, 1.0f);
        }
    }
}

// A render target's pixels or a texture asset's, stretched over the brush's box.
const RenderTargetPixels* PixelsOf(const UObject* resource)
{
    if (resource == nullptr)
    {
        return nullptr;
    }
    for (const auto* store : {&State().play.renderTargets, &State().play.textures})
    {
        const auto found = store->find(resource);
        if (found != store->end() && found->second.width > 0 && found->second.height > 0)
        {
            return &found->second;
        }
    }
    return nullptr;
}

// Bilinear, in linear light, texel centres at half steps.
Rgba Sample(const RenderTargetPixels& pixels, double u, double v)
{
    const double fx = std::clamp(u * pixels.width - 0.5, 0.0, pixels.width - 1.0);
    const double fy = std::clamp(v * pixels.height - 0.5, 0.0, pixels.height - 1.0);
    const int32 x0 = static_cast<int32>(fx), y0 = static_cast<int32>(fy);
    const int32 x1 = std::min(x0 + 1, pixels.width - 1), y1 = std::min(y0 + 1, pixels.height - 1);
    const float ax = static_cast<float>(fx - x0), ay = static_cast<float>(fy - y0);
    auto texel = [&](int32 x, int32 y) {
        const uint8* p = &pixels.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(pixels.width) + static_cast<std::size_t>(x)) * 4];
        return Rgba{SrgbToLinear(p[0]), SrgbToLinear(p[1]), SrgbToLinear(p[2]), p[3] / 255.0f};
    };
    auto mix = [](const Rgba& a, const Rgba& b, float t) {
        return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
    };
    return mix(mix(texel(x0, y0), texel(x1, y0), ax), mix(texel(x0, y1), texel(x1, y1), ax), ay);
}

// One layout (and, with a frame, painting) of everything in the viewport.
class ScreenPass
{
  public:
    ScreenPass(Frame* frame, double scale, double width, double height)
        : frame_(frame), scale_(scale), viewport_{0, 0, width, height}
    {
        widget_ = FindClass(L"/Script/UMG.Widget");
        const std::pair<const wchar_t*, WidgetKind> known[] = {
            {L"/Script/UMG.UserWidget", WidgetKind::User}, {L"/Script/UMG.CanvasPanel", WidgetKind::Canvas},
            {L"/Script/UMG.Overlay", WidgetKind::Overlay}, {L"/Script/UMG.SizeBox", WidgetKind::SizeBox},
            {L"/Script/UMG.Border", WidgetKind::Border},   {L"/Script/UMG.Image", WidgetKind::Image},
            {L"/Script/UMG.TextBlock", WidgetKind::Text}};
        for (const auto& [path, kind] : known)
        {
            if (UClass* cls = FindClass(path))
            {
                kinds_.emplace_back(cls, kind);
            }
        }
    }

    void Run()
    {
        Placements().clear();
        struct Entry
        {
            UObject* widget;
            int32 layer;
        };
        std::vector<Entry> entries;
        const auto& layers = State().play.viewportLayers;
        for (UObject* widget : State().play.viewport)
        {
            auto layer = layers.find(widget);
            if (IsLiveObject(widget) && IsWidget(widget) && layer != layers.end())
            {
                entries.push_back({widget, layer->second.layer});
            }
        }
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.layer < b.layer; });
        for (const Entry& entry : entries)
        {
            Visit(entry.widget, viewport_, Affine::Scale(scale_, scale_), Rgba{1, 1, 1, 1}, true);
        }
    }

  private:
    bool IsWidget(const UObject* object) const
    {
        return widget_ != nullptr && object->GetClassPrivate()->IsChildOf(widget_);
    }

    WidgetKind KindOf(const UObject* widget)
    {
        const UClass* cls = widget->GetClassPrivate();
        auto [at, added] = classKinds_.try_emplace(cls, WidgetKind::Other);
        if (added)
        {
            // The nearest known class up the chain decides (a game's subclass of a border
            // is a border).
            int nearest = 1 << 30;
            for (const auto& [known, kind] : kinds_)
            {
                int depth = 0;
                for (const UStruct* s = cls; s != nullptr && s != known; s = EngineAccess::Super(s))
                {
                    ++depth;
                }
                if (cls->IsChildOf(known) && depth < nearest)
                {
                    nearest = depth;
                    at->second = kind;
                }
            }
        }
        return at->second;
    }

    Visibility VisibilityOf(const UObject* widget)
    {
        return static_cast<Visibility>(fields_.Integer(Of(widget), L"Visibility", 0));
    }
    static bool Collapsed(Visibility v) { return v == Visibility::Collapsed; }

    // The live widgets the screen holds in a panel, with their slots, in slot order.
    template <typename Visit> void ForEachChild(const UObject* panel, Visit&& visit)
    {
        const ScreenCopy* copy = ScreenCopyOf(panel);
        if (copy == nullptr)
        {
            return;
        }
        for (const ScreenChild& child : copy->children)
        {
            if (child.slot != nullptr && IsLiveObject(child.widget) && IsWidget(child.widget))
            {
                visit(child.widget, child.slot);
            }
        }
    }

    UObject* RootOf(const UObject* userWidget)
    {
        const ScreenCopy* copy = ScreenCopyOf(userWidget);
        UObject* root = copy != nullptr && !copy->children.empty() ? copy->children.front().widget : nullptr;
        return root != nullptr && IsLiveObject(root) && IsWidget(root) ? root : nullptr;
    }

    UObject* OnlyChild(const UObject* panel, UObject** slotOut = nullptr)
    {
        UObject* found = nullptr;
        ForEachChild(panel, [&](UObject* content, UObject* slot) {
            if (found == nullptr)
            {
                found = content;
                if (slotOut != nullptr)
                {
                    *slotOut = slot;
                }
            }
        });
        return found;
    }

    double FontSize(const UObject* text)
    {
        StructView font = fields_.Member(Of(text), L"Font");
        return font ? fields_.Real(font, L"Size", 24) : 24;
    }

    static const std::wstring& TextOf(const UObject* text)
    {
        static const std::wstring none;
        const ScreenCopy* copy = ScreenCopyOf(text);
        return copy != nullptr ? copy->text : none;
    }

    Vec2 Desired(UObject* widget)
    {
        if (auto found = desired_.find(widget); found != desired_.end())
        {
            return found->second;
        }
        const Vec2 size = Collapsed(VisibilityOf(widget)) ? Vec2{} : ComputeDesired(widget);
        desired_[widget] = size;
        return size;
    }

    Vec2 ComputeDesired(UObject* widget)
    {
        const StructView self = Of(widget);
        switch (KindOf(widget))
        {
        case WidgetKind::Image: return fields_.Vector(fields_.Member(Live(widget), L"Brush"), L"ImageSize", {32, 32});
        case WidgetKind::Text: {
            Vec2 size;
            MeasureText(TextOf(widget), FontSize(widget), size.x, size.y);
            return size;
        }
        case WidgetKind::User: {
            UObject* root = RootOf(widget);
            return root != nullptr ? Desired(root) : Vec2{};
        }
        case WidgetKind::SizeBox: {
            UObject* slot = nullptr;
            UObject* child = OnlyChild(widget, &slot);
            Vec2 size;
            if (child != nullptr)
            {
                const Margin pad = fields_.Margins(Of(slot), L"Padding");
                size = Desired(child);
                size.x += pad.left + pad.right;
                size.y += pad.top + pad.bottom;
            }
            if (fields_.Boolean(self, L"bOverride_WidthOverride"))
            {
                size.x = fields_.Real(self, L"WidthOverride", 0);
            }
            if (fields_.Boolean(self, L"bOverride_HeightOverride"))
            {
                size.y = fields_.Real(self, L"HeightOverride", 0);
            }
            return size;
        }
        case WidgetKind::Border: {
            UObject* child = OnlyChild(widget);
            const Margin pad = fields_.Margins(self, L"Padding");
            const Vec2 content = child != nullptr ? Desired(child) : Vec2{};
            return {content.x + pad.left + pad.right, content.y + pad.top + pad.bottom};
        }
        case WidgetKind::Canvas: {
            Vec2 size;
            ForEachChild(widget, [&](UObject* child, UObject* slot) {
                StructView layout = fields_.Member(Of(slot), L"LayoutData");
                StructView anchors = fields_.Member(layout, L"Anchors");
                const Vec2 min = fields_.Vector(anchors, L"Minimum", {});
                const Vec2 max = fields_.Vector(anchors, L"Maximum", {});
                if (min.x != max.x || min.y != max.y || Collapsed(VisibilityOf(child)))
                {
                    return;
                }
                const Margin offsets = fields_.Margins(layout, L"Offsets", {0, 0, 100, 30});
                const Vec2 extent = fields_.Boolean(Of(slot), L"bAutoSize") ? Desired(child) : Vec2{offsets.right, offsets.bottom};
                size.x = std::max(size.x, offsets.left + extent.x);
                size.y = std::max(size.y, offsets.top + extent.y);
            });
            return size;
        }
        case WidgetKind::Overlay:
        case WidgetKind::Other: {
            Vec2 size;
            ForEachChild(widget, [&](UObject* child, UObject* slot) {
                const Margin pad = fields_.Margins(Of(slot), L"Padding");
                const Vec2 d = Desired(child);
                size.x = std::max(size.x, d.x + pad.left + pad.right);
                size.y = std::max(size.y, d.y + pad.top + pad.bottom);
            });
            return size;
        }
        }
        return {};
    }

    static LayoutRect Shrink(const LayoutRect& r, const Margin& m)
    {
        return {r.x + m.left, r.y + m.top, std::max(0.0, r.width - m.left - m.right), std::max(0.0, r.height - m.top - m.bottom)};
    }

    // Slate's AlignChild along one axis: fill takes the room, the others the desired size
    // (never more than the room) at the start, the middle or the end.
    static void AlignAxis(Align align, double start, double room, double desired, double& at, double& size)
    {
        if (align == Align::Fill)
        {
            at = start;
            size = room;
            return;
        }
        size = std::min(desired, room);
        at = align == Align::Start ? start : align == Align::Centre ? start + (room - size) * 0.5 : start + room - size;
    }

    LayoutRect AlignIn(const LayoutRect& room, Align h, Align v, Vec2 desired)
    {
        LayoutRect r;
        AlignAxis(h, room.x, room.width, desired.x, r.x, r.width);
        AlignAxis(v, room.y, room.height, desired.y, r.y, r.height);
        return r;
    }

    Align AlignOf(StructView in, const wchar_t* name, Align fallback)
    {
        return static_cast<Align>(std::clamp<int64>(fields_.Integer(in, name, static_cast<int64>(fallback)), 0, 3));
    }

    // The widget's render transform about its pivot, in layout units, applied before the
    // transforms above it.
    Affine RenderTransformOf(const UObject* widget, const LayoutRect& r)
    {
        StructView transform = fields_.Member(Of(widget), L"RenderTransform");
        if (!transform)
        {
            return {};
        }
        const Vec2 translation = fields_.Vector(transform, L"Translation", {});
        const Vec2 scale = fields_.Vector(transform, L"Scale", {1, 1});
        const Vec2 shear = fields_.Vector(transform, L"Shear", {});
        const double angle = fields_.Real(transform, L"Angle", 0);
        if (translation.x == 0 && translation.y == 0 && scale.x == 1 && scale.y == 1 && shear.x == 0 && shear.y == 0 && angle == 0)
        {
            return {};
        }
        const Vec2 pivotShare = fields_.Vector(Of(widget), L"RenderTransformPivot", {0.5, 0.5});
        const double px = r.x + pivotShare.x * r.width, py = r.y + pivotShare.y * r.height;
        // Shear is given as angles; Slate keeps them short of a right angle.
        auto slope = [](double degrees) {
            return degrees == 0 ? 0.0 : std::tan(std::clamp(degrees, -89.0, 89.0) * std::numbers::pi / 180.0);
        };
        const Affine scaling = Affine::Scale(scale.x, scale.y);
        const Affine shearing{1, slope(shear.x), 0, slope(shear.y), 1, 0};
        const double radians = angle * std::numbers::pi / 180.0;
        const double cs = std::cos(radians), sn = std::sin(radians);
        const Affine rotation{cs, -sn, 0, sn, cs, 0};
        const Affine local = Affine::Translate(translation.x, translation.y).After(rotation.After(shearing.After(scaling)));
        return Affine::Translate(px, py).After(local.After(Affine::Translate(-px, -py)));
    }

    // shown: nothing above the widget is hidden; tint: what the widgets above multiply its
    // colours by (borders' content colours, render opacities). Only a pass with a frame paints.
    void Visit(UObject* widget, const LayoutRect& rect, const Affine& parentToPixels, Rgba tint, bool shown)
    {
        const Visibility visibility = VisibilityOf(widget);
        if (Collapsed(visibility))
        {
            return;
        }
        shown = shown && visibility != Visibility::Hidden;
        const Vec2 desired = Desired(widget);
        Placements()[widget] = {true, shown, rect, desired.x, desired.y};
        const bool paint = shown && frame_ != nullptr;
        const StructView self = Of(widget);
        tint.a *= static_cast<float>(std::clamp(fields_.Real(self, L"RenderOpacity", 1), 0.0, 1.0));
        const Affine toPixels = parentToPixels.After(RenderTransformOf(widget, rect));
        // Children placed by their slots' padding and alignment; a slot without an alignment
        // member takes the panel's default.
        const auto arrangeBySlots = [&](Align fallback) {
            ForEachChild(widget, [&](UObject* child, UObject* slot) {
                const StructView s = Of(slot);
                const LayoutRect room = Shrink(rect, fields_.Margins(s, L"Padding"));
                Visit(child, AlignIn(room, AlignOf(s, L"HorizontalAlignment", fallback), AlignOf(s, L"VerticalAlignment", fallback), Desired(child)),
                      toPixels, tint, shown);
            });
        };
        switch (KindOf(widget))
        {
        case WidgetKind::User:
            if (UObject* root = RootOf(widget))
            {
                Visit(root, rect, toPixels, tint, shown);
            }
            break;
        case WidgetKind::Canvas: ArrangeCanvas(widget, rect, toPixels, tint, shown); break;
        case WidgetKind::SizeBox: arrangeBySlots(Align::Fill); break;
        case WidgetKind::Border:
            if (paint)
            {
                PaintBrush(fields_.Member(Live(widget), L"Background"), rect, toPixels, tint * fields_.Colour(self, L"BrushColor"));
            }
            ForEachChild(widget, [&](UObject* child, UObject*) {
                const Rgba content = tint * fields_.Colour(self, L"ContentColorAndOpacity");
                const LayoutRect room = Shrink(rect, fields_.Margins(self, L"Padding"));
                Visit(child, AlignIn(room, AlignOf(self, L"HorizontalAlignment", Align::Fill), AlignOf(self, L"VerticalAlignment", Align::Fill), Desired(child)),
                      toPixels, content, shown);
            });
            break;
        case WidgetKind::Image:
            if (paint)
            {
                PaintBrush(fields_.Member(Live(widget), L"Brush"), rect, toPixels, tint * fields_.Colour(self, L"ColorAndOpacity"));
            }
            break;
        case WidgetKind::Text:
            if (paint)
            {
                PaintText(widget, rect, toPixels, tint);
            }
            break;
        case WidgetKind::Overlay: arrangeBySlots(Align::Start); break;
        case WidgetKind::Other:
            ForEachChild(widget, [&](UObject* child, UObject*) { Visit(child, rect, toPixels, tint, shown); });
            break;
        }
    }

    void ArrangeCanvas(UObject* canvas, const LayoutRect& rect, const Affine& toPixels, Rgba tint, bool shown)
    {
        struct Placed
        {
            UObject* child;
            LayoutRect rect;
            int64 zOrder;
        };
        std::vector<Placed> placed;
        ForEachChild(canvas, [&](UObject* child, UObject* slot) {
            const StructView s = Of(slot);
            StructView layout = fields_.Member(s, L"LayoutData");
            StructView anchors = fields_.Member(layout, L"Anchors");
            const Vec2 min = fields_.Vector(anchors, L"Minimum", {});
            const Vec2 max = fields_.Vector(anchors, L"Maximum", {});
            const Margin offsets = fields_.Margins(layout, L"Offsets", {0, 0, 100, 30});
            const Vec2 alignment = fields_.Vector(layout, L"Alignment", {});
            const Vec2 size = fields_.Boolean(s, L"bAutoSize") ? Desired(child) : Vec2{offsets.right, offsets.bottom};
            auto axis = [](double origin, double extent, double anchorMin, double anchorMax, double near, double far,
                           double wanted, double align, double& at, double& length) {
                if (anchorMin != anchorMax)
                {
                    at = origin + anchorMin * extent + near;
                    length = origin + anchorMax * extent - far - at;
                    return;
                }
                at = origin + anchorMin * extent + near - align * wanted;
                length = wanted;
            };
            LayoutRect r;
            axis(rect.x, rect.width, min.x, max.x, offsets.left, offsets.right, size.x, alignment.x, r.x, r.width);
            axis(rect.y, rect.height, min.y, max.y, offsets.top, offsets.bottom, size.y, alignment.y, r.y, r.height);
            placed.push_back({child, r, fields_.Integer(s, L"ZOrder", 0)});
        });
        std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.zOrder < b.zOrder; });
        for (const Placed& p : placed)
        {
            Visit(p.child, p.rect, toPixels, tint, shown);
        }
    }

    void PaintBrush(StructView brush, const LayoutRect& rect, const Affine& toPixels, Rgba tint)
    {
        const int64 drawAs = fields_.Integer(brush, L"DrawAs", 3);
        if (!brush || drawAs == 0)
        {
            return;
        }
        tint = tint * fields_.SlateColour(brush, L"TintColor");
        Shape shape{rect.x, rect.y, rect.width, rect.height};
        StructView outline = fields_.Member(brush, L"OutlineSettings");
        if (drawAs == 4 && outline)
        {
            const double half = std::min(rect.width, rect.height) * 0.5;
            if (fields_.Integer(outline, L"RoundingType", 0) == 1)
            {
                shape.radii = {half, half, half, half};
            }
            else
            {
                StructView radii = fields_.Member(outline, L"CornerRadii");
                const wchar_t* corners[] = {L"X", L"Y", L"Z", L"W"};
                for (int i = 0; i < 4; ++i)
                {
                    shape.radii[static_cast<std::size_t>(i)] = std::clamp(fields_.Real(radii, corners[i], 0), 0.0, half);
                }
            }
        }
        const RenderTargetPixels* pixels = PixelsOf(fields_.Reference(brush, L"ResourceObject"));
        if (pixels == nullptr)
        {
            // A texture the stand-in holds no pixels for shows as its tint, as does no resource.
            FillShape(*frame_, toPixels, shape, [&](double, double) { return tint; });
            return;
        }
        FillShape(*frame_, toPixels, shape, [&](double u, double v) { return tint * Sample(*pixels, u, v); });
    }

    void PaintText(const UObject* text, const LayoutRect& rect, const Affine& toPixels, Rgba tint)
    {
        const std::wstring& content = TextOf(text);
        const TextMask& mask = RasteriseText(content, FontSize(text), scale_);
        if (mask.width <= 0 || mask.height <= 0)
        {
            return;
        }
        const Rgba colour = tint * fields_.SlateColour(Of(text), L"ColorAndOpacity");
        const double width = mask.width / scale_, height = mask.height / scale_;
        const int64 justification = fields_.Integer(Of(text), L"Justification", 0);
        double x = justification == 1 ? rect.x + (rect.width - width) * 0.5 : justification == 2 ? rect.Right() - width : rect.x;
        double y = rect.y;
        // On whole pixels, so the glyphs keep the sharpness they were rasterised with.
        x = std::round(x * scale_) / scale_;
        y = std::round(y * scale_) / scale_;
        const Shape box{x, y, width, height};
        FillShape(*frame_, toPixels, box, [&](double u, double v) {
            const int32 mx = std::min(static_cast<int32>(u * mask.width), mask.width - 1);
            const int32 my = std::min(static_cast<int32>(v * mask.height), mask.height - 1);
            Rgba c = colour;
            c.a *= mask.alpha[static_cast<std::size_t>(my) * static_cast<std::size_t>(mask.width) + static_cast<std::size_t>(mx)] / 255.0f;
            return c;
        });
    }

    Frame* frame_;
    double scale_;
    LayoutRect viewport_;
    UClass* widget_ = nullptr;
    std::vector<std::pair<UClass*, WidgetKind>> kinds_;
    std::unordered_map<const UClass*, WidgetKind> classKinds_;
    std::unordered_map<const UObject*, Vec2> desired_;
    Fields fields_;
};

void Pass(Frame* frame)
{
    const ViewportSize view = ViewportPixels();
    // A broken viewport client's scale of 0 would lay everything out at infinity.
    const double scale = ViewportScale() > 0 ? static_cast<double>(ViewportScale()) : 1.0;
    if (frame != nullptr)
    {
        frame->Reset(view.width, view.height);
        DrawWorld(*frame, LocalPlayersNight());
    }
    ScreenPass(frame, scale, view.width / scale, view.height / scale).Run();
    if (frame != nullptr)
    {
        DrawCursor(*frame);
    }
}
} // namespace
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

void RenderScreen(RenderTargetImage& out)
{
    auto guard = LockEngine();
    // Render targets show what was captured up to now, as the engine's frame would.
    FlushCaptures();
    Frame frame;
    Pass(&frame);
    out.width = frame.width;
    out.height = frame.height;
    frame.Encode(out.rgba);
}

bool WriteScreenPng(const std::filesystem::path& path)
{
    RenderTargetImage image;
    RenderScreen(image);
    return WriteImagePng(image, path);
}

void LayOutScreen()
{
    auto guard = LockEngine();
    Pass(nullptr);
}

bool ScreenDrawsText() { return CanDrawText(); }

namespace
{
// Samples of one channel: the picture's value, the screen's, and whether the fit uses it.
struct ChannelSamples
{
    std::vector<double> source, shown;
    std::vector<bool> keep;
};

struct Means
{
    double n = 0, x = 0, y = 0;
};

Means MeansOf(const ChannelSamples& s)
{
    Means m;
    for (std::size_t i = 0; i < s.source.size(); ++i)
    {
        if (s.keep[i])
        {
            m.n += 1, m.x += s.source[i], m.y += s.shown[i];
        }
    }
    if (m.n > 0)
    {
        m.x /= m.n, m.y /= m.n;
    }
    return m;
}

// Least squares of shown = gain × source + offset per channel, with one gain over the given
// channels; a picture without contrast leaves the ratio of the means.
double FitGain(const std::array<ChannelSamples, 3>& channels, std::size_t first, std::size_t last)
{
    double spread = 0, together = 0, sx = 0, sy = 0;
    for (std::size_t c = first; c <= last; ++c)
    {
        const Means m = MeansOf(channels[c]);
        sx += m.x * m.n, sy += m.y * m.n;
        for (std::size_t i = 0; i < channels[c].source.size(); ++i)
        {
            if (channels[c].keep[i])
            {
                spread += (channels[c].source[i] - m.x) * (channels[c].source[i] - m.x);
                together += (channels[c].source[i] - m.x) * (channels[c].shown[i] - m.y);
            }
        }
    }
    if (spread > 1e-9)
    {
        return together / spread;
    }
    return sx > 0 ? sy / sx : 0.0;
}

double OffsetFor(const ChannelSamples& s, double gain)
{
    const Means m = MeansOf(s);
    return m.y - gain * m.x;
}
} // namespace

PictureOnScreen MeasurePictureOnScreen(const RenderTargetImage& screen, const UObject* image)
{
    auto guard = LockEngine();
    PictureOnScreen result;
    const WidgetPlacement placed = PlacementOf(image);
    const MemberRef resource = FindMemberByPath(const_cast<UObject*>(image), L"Brush.ResourceObject");
    const RenderTargetPixels* pixels =
        resource.address != nullptr ? PixelsOf(*static_cast<UObject* const*>(resource.address)) : nullptr;
    const MemberRef angle = ScreenMember(image, L"RenderTransform.Angle");
    const bool turned = angle.address != nullptr && *static_cast<const float*>(angle.address) != 0.0f;
    if (!placed.drawn || pixels == nullptr || turned || screen.width <= 0 || placed.rect.width <= 0 || placed.rect.height <= 0)
    {
        return result;
    }
    const double scale = ViewportScale() > 0 ? static_cast<double>(ViewportScale()) : 1.0;
    const LayoutRect& r = placed.rect;
    std::array<ChannelSamples, 3> channels;
    for (int32 y = std::max(0, static_cast<int32>(r.y * scale)); y < std::min(screen.height, static_cast<int32>(r.Bottom() * scale) + 1); ++y)
    {
        for (int32 x = std::max(0, static_cast<int32>(r.x * scale)); x < std::min(screen.width, static_cast<int32>(r.Right() * scale) + 1); ++x)
        {
            const double u = ((x + 0.5) / scale - r.x) / r.width;
            const double v = ((y + 0.5) / scale - r.y) / r.height;
            if ((u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5) > 0.46 * 0.46)
            {
                continue;
            }
            const Rgba picture = Sample(*pixels, u, v);
            const uint8* p = &screen.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(screen.width) + static_cast<std::size_t>(x)) * 4];
            const float values[3] = {picture.r, picture.g, picture.b};
            for (std::size_t c = 0; c < 3; ++c)
            {
                channels[c].source.push_back(values[c]);
                channels[c].shown.push_back(SrgbToLinear(p[c]));
                channels[c].keep.push_back(p[c] > 0 && p[c] < 255);
            }
        }
    }
    // Fit, drop what lies far off the lines (widgets over the picture), fit again.
    double gain = FitGain(channels, 0, 2);
    for (auto& s : channels)
    {
        const double offset = OffsetFor(s, gain);
        double squares = 0, kept = 0;
        for (std::size_t i = 0; i < s.source.size(); ++i)
        {
            const double residual = s.shown[i] - (gain * s.source[i] + offset);
            squares += s.keep[i] ? residual * residual : 0.0;
            kept += s.keep[i] ? 1.0 : 0.0;
        }
        const double limit = std::max(2.5 * std::sqrt(kept > 0 ? squares / kept : 0.0), 0.004);
        for (std::size_t i = 0; i < s.source.size(); ++i)
        {
            s.keep[i] = s.keep[i] && std::abs(s.shown[i] - (gain * s.source[i] + offset)) <= limit;
        }
    }
    result.gain = FitGain(channels, 0, 2);
    result.samples = static_cast<int32>(channels[0].source.size());
    for (std::size_t c = 0; c < 3; ++c)
    {
        result.offset[c] = OffsetFor(channels[c], result.gain);
        result.channelGain[c] = FitGain(channels, c, c);
        result.samples = std::min(result.samples, static_cast<int32>(std::count(channels[c].keep.begin(), channels[c].keep.end(), true)));
    }
    result.found = result.samples > 0;
    return result;
}

WidgetPlacement PlacementOf(const UObject* widget)
{
    auto guard = LockEngine();
    const auto& placements = Placements();
    auto found = placements.find(widget);
    return found != placements.end() ? found->second : WidgetPlacement{};
}
} // namespace Sim
