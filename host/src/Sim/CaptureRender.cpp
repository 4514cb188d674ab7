// Drawing a 2-D capture component's view into its render target: straight down from the
// capture, the highest surface under the camera at every pixel, flat-shaded, the pawns (with
// what hangs on them) as dots, then the show flags' haze and shadows, the light of day, night
// or cave, and the post-process exposure. Captures run many times a second on large targets,
// so the picture is drawn with a depth buffer kept between captures: the ground row by row,
// every roof, floor and wall as a filled quad.
#include "Sim/EngineState.hpp"
#include "Sim/ObjectFields.hpp"
#include "Sim/WorldScene.hpp"

#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace Sim::Detail
{
namespace
{
// What lies below nothing the camera can see: the rock around a cave.
constexpr uint32 kRock = 0x0E1014u; // 20, 16, 14
constexpr float kNothing = -std::numeric_limits<float>::infinity();
constexpr Colour kHaze{200, 210, 225};
constexpr Colour kSky{135, 175, 225};
constexpr double kNightLight = 0.25;
constexpr double kCaveLight = 0.3;
constexpr double kShadowShade = 0.7;
// Pawns' dots: about a character's width across, never less than a few pixels.
constexpr double kDotRadius = 45;

float Lower(float a, float b) { return a < b ? a : b; }

uint32 Pack(Colour c) { return static_cast<uint32>(c.r) | static_cast<uint32>(c.g) << 8 | static_cast<uint32>(c.b) << 16; }

uint32 Darken(uint32 c, double factor)
{
    auto channel = [&](int shift) {
        return static_cast<uint32>(static_cast<double>((c >> shift) & 0xFF) * factor) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

// The camera: pixel centres sit at (i + 0.5, j + 0.5); the view's heading points up.
struct View
{
    int32 width = 0, height = 0;
    double x = 0, y = 0, z = 0;
    double unitsPerPixel = 1;
    double rightX = 0, rightY = 1, forwardX = 1, forwardY = 0;

    void ToPixel(double wx, double wy, double& u, double& v) const
    {
        const double dx = wx - x;
        const double dy = wy - y;
        u = (dx * rightX + dy * rightY) / unitsPerPixel + width * 0.5;
        v = height * 0.5 - (dx * forwardX + dy * forwardY) / unitsPerPixel;
    }
};

// The capture's working buffers, kept from one capture to the next.
struct Canvas
{
    std::vector<uint32> colour;
    std::vector<float> depth;
};

Canvas& SharedCanvas()
{
    static Canvas canvas;
    return canvas;
}

// Calls paint(pixel index) for each pixel whose centre lies in the rectangle.
template <typename Paint> void FillArea(const View& view, const Area& area, Paint&& paint)
{
    double u[4];
    double v[4];
    view.ToPixel(area.minX, area.minY, u[0], v[0]);
    view.ToPixel(area.maxX, area.minY, u[1], v[1]);
    view.ToPixel(area.maxX, area.maxY, u[2], v[2]);
    view.ToPixel(area.minX, area.maxY, u[3], v[3]);
    const double top = std::min({v[0], v[1], v[2], v[3]});
    const double bottom = std::max({v[0], v[1], v[2], v[3]});
    const double left = std::min({u[0], u[1], u[2], u[3]});
    const double right = std::max({u[0], u[1], u[2], u[3]});
    if (bottom < 0 || top > view.height || right < 0 || left > view.width)
    {
        return;
    }
    const int32 firstRow = std::max(0, static_cast<int32>(std::ceil(top - 0.5)));
    const int32 lastRow = std::min(view.height - 1, static_cast<int32>(std::floor(bottom - 0.5)));
    for (int32 row = firstRow; row <= lastRow; ++row)
    {
        const double centre = row + 0.5;
        double from = std::numeric_limits<double>::infinity();
        double to = -std::numeric_limits<double>::infinity();
        for (int edge = 0; edge < 4; ++edge)
        {
            const int next = (edge + 1) % 4;
            // Each edge owns its upper end only, so neighbouring areas share no pixel.
            if ((v[edge] <= centre && v[next] > centre) || (v[next] <= centre && v[edge] > centre))
            {
                const double at = u[edge] + (centre - v[edge]) * (u[next] - u[edge]) / (v[next] - v[edge]);
                from = std::min(from, at);
                to = std::max(to, at);
            }
        }
        if (!(from <= to))
        {
            continue;
        }
        const int32 first = std::max(0, static_cast<int32>(std::ceil(from - 0.5)));
        const int32 last = std::min(view.width - 1, static_cast<int32>(std::floor(to - 0.5)));
        const std::size_t rowStart = static_cast<std::size_t>(row) * static_cast<std::size_t>(view.width);
        for (int32 column = first; column <= last; ++column)
        {
            paint(rowStart + static_cast<std::size_t>(column));
        }
    }
}

void DrawGround(const View& view, const SceneRecord& scene, Canvas& canvas)
{
    const Terrain& terrain = scene.terrain;
    const std::size_t width = static_cast<std::size_t>(view.width);
    uint32* colour = canvas.colour.data();
    float* depth = canvas.depth.data();
    if (!HasGrid(terrain))
    {
        const bool seen = terrain.originZ < view.z;
        const uint32 ground = seen ? Pack(terrain.bands.empty() ? Colour{86, 140, 62} : terrain.bands.front().colour) : kRock;
        std::fill(colour, colour + width * static_cast<std::size_t>(view.height), ground);
        std::fill(depth, depth + width * static_cast<std::size_t>(view.height), seen ? static_cast<float>(terrain.originZ) : kNothing);
        return;
    }
    // In grid units, nearest sample, stepped in 32.32 fixed point along each row: the drawn
    // ground steps where the traced one slopes.
    constexpr double kOne = 4294967296.0;
    const double perCell = 1.0 / terrain.cellSize;
    const auto stepX = static_cast<int64>(view.unitsPerPixel * view.rightX * perCell * kOne);
    const auto stepY = static_cast<int64>(view.unitsPerPixel * view.rightY * perCell * kOne);
    const int64 lastX = static_cast<int64>(terrain.columns - 1) << 32;
    const int64 lastY = static_cast<int64>(terrain.rows - 1) << 32;
    // A view far off the grid clamps to its edge: starting points are kept within reach of it.
    const double reach = static_cast<double>(view.width) * std::abs(view.unitsPerPixel * perCell) + 4.0 * terrain.columns + 4.0 * terrain.rows;
    const SceneRecord::GroundSample* samples = scene.ground.data();
    const float camera = static_cast<float>(view.z - terrain.originZ);
    const float originZ = static_cast<float>(terrain.originZ);
    const std::size_t columns = static_cast<std::size_t>(terrain.columns);
    for (int32 row = 0; row < view.height; ++row)
    {
        const double up = (view.height * 0.5 - (row + 0.5)) * view.unitsPerPixel;
        const double across = (0.5 - view.width * 0.5) * view.unitsPerPixel;
        const double gx = (view.x + up * view.forwardX + across * view.rightX - terrain.originX) * perCell + 0.5;
        const double gy = (view.y + up * view.forwardY + across * view.rightY - terrain.originY) * perCell + 0.5;
        int64 fx = static_cast<int64>(std::clamp(gx, -reach, reach) * kOne);
        int64 fy = static_cast<int64>(std::clamp(gy, -reach, reach) * kOne);
        const std::size_t rowStart = static_cast<std::size_t>(row) * width;
        for (std::size_t column = 0; column < width; ++column, fx += stepX, fy += stepY)
        {
            const auto ix = static_cast<std::size_t>(std::clamp<int64>(fx, 0, lastX) >> 32);
            const auto iy = static_cast<std::size_t>(std::clamp<int64>(fy, 0, lastY) >> 32);
            const SceneRecord::GroundSample sample = samples[iy * columns + ix];
            const float h = sample.height;
            const bool seen = h < camera;
            colour[rowStart + column] = seen ? sample.colour : kRock;
            depth[rowStart + column] = seen ? h + originZ : kNothing;
        }
    }
}

void DrawSurfaces(const View& view, const SceneRecord& scene, Canvas& canvas)
{
    uint32* colour = canvas.colour.data();
    float* depth = canvas.depth.data();
    for (const auto& slab : scene.slabs)
    {
        if (slab.z >= view.z)
        {
            continue;
        }
        const float z = static_cast<float>(slab.z);
        const uint32 c = Pack(slab.colour);
        FillArea(view, slab.area, [&](std::size_t p) {
            if (z > depth[p])
            {
                depth[p] = z;
                colour[p] = c;
            }
        });
    }
    for (const auto& block : scene.blocks)
    {
        if (block.minZ >= view.z)
        {
            continue;
        }
        // A wall the camera stands in is seen cut at the camera.
        const float z = static_cast<float>(std::min(block.maxZ, view.z));
        const uint32 c = Pack(block.colour);
        FillArea(view, block.area, [&](std::size_t p) {
            if (z > depth[p])
            {
                depth[p] = z;
                colour[p] = c;
            }
        });
    }
}

// The sun stands low in the direction of low X and Y: shadows fall toward high X and Y, as
// long as the building is tall.
void DrawShadows(const View& view, const SceneRecord& scene, Canvas& canvas)
{
    uint32* colour = canvas.colour.data();
    const float* depth = canvas.depth.data();
    for (const auto& caster : scene.shadows)
    {
        if (caster.topZ >= view.z)
        {
            continue;
        }
        const double length = caster.height * 0.5;
        Area shadow = caster.footprint;
        shadow.minX += length * 0.6;
        shadow.maxX += length * 0.6;
        shadow.minY += length * 0.8;
        shadow.maxY += length * 0.8;
        const float below = static_cast<float>(caster.topZ - 1);
        FillArea(view, shadow, [&](std::size_t p) {
            if (depth[p] < below && depth[p] != kNothing)
            {
                colour[p] = Darken(colour[p], kShadowShade);
            }
        });
    }
}

// Whether the list holds the object: a hidden actor by reference, a hidden component by weak
// pointer, so a stale one holds nothing.
bool ListedIn(UObject* component, const UObject* object, FArrayProperty* hidden)
{
    auto* entry = hidden != nullptr ? dynamic_cast<FObjectPropertyBase*>(hidden->GetInner()) : nullptr;
    if (entry == nullptr)
    {
        return false;
    }
    void* value = hidden->ContainerPtrToValuePtr(component);
    for (int32 i = 0; i < ArrayNum(value); ++i)
    {
        if (entry->GetObjectPropertyValue(ArrayElement(hidden, value, i)) == object)
        {
            return true;
        }
    }
    return false;
}

// A live actor attached to another, and that other.
struct Attachment
{
    UObject* child = nullptr;
    const UObject* parent = nullptr;
};

// The attachments of the moment, gathered once per picture into a buffer kept between pictures.
const std::vector<Attachment>& Attachments()
{
    static std::vector<Attachment> attachments;
    attachments.clear();
    for (const auto& [actor, record] : State().play.actors)
    {
        if (record.attachParent != nullptr && Holds(actor) && actor->GetObjectItem()->IsValid(false))
        {
            attachments.push_back({const_cast<UObject*>(actor), record.attachParent});
        }
    }
    return attachments;
}

struct HiddenLists
{
    UObject* component = nullptr;
    FArrayProperty* actors = nullptr;
    FArrayProperty* components = nullptr;
    UClass* primitive = nullptr;
    const std::vector<Attachment>* attachments = nullptr;
};

// Whether the capture leaves out every primitive seen in game of the actor and of what hangs on
// it, all the way down: those of an actor it hides, and each one it hides (FSceneView's
// HiddenPrimitives, built from both lists). seen tells whether there was anything to leave out.
bool AllLeftOut(const HiddenLists& hidden, UObject* actor, bool& seen, int depth = 0)
{
    if (ListedIn(hidden.component, actor, hidden.actors))
    {
        seen = true;
    }
    else
    {
        for (UObject* part : ComponentsOf(actor))
        {
            if (hidden.primitive == nullptr || !part->IsA(hidden.primitive) || Flag(part, L"bHiddenInGame"))
            {
                continue;
            }
            seen = true;
            if (!ListedIn(hidden.component, part, hidden.components))
            {
                return false;
            }
        }
    }
    for (const Attachment& attached : *hidden.attachments)
    {
        if (attached.parent == actor && depth < 32 && !AllLeftOut(hidden, attached.child, seen, depth + 1))
        {
            return false;
        }
    }
    return true;
}

// A pawn is drawn as its dot together with what hangs on it: the capture leaves the dot out
// only when it leaves out all of that. A pawn with nothing to leave out is drawn all the same.
bool HiddenFromCapture(const HiddenLists& hidden, UObject* pawn)
{
    bool seen = false;
    return hidden.component != nullptr && AllLeftOut(hidden, pawn, seen) && seen;
}

Colour DotColour(const UObject* pawn)
{
    if (UClass* player = FindClass(L"/Script/Umbrafel.UmbrafelPlayerCharacter"); player != nullptr && pawn->IsA(player))
    {
        return {70, 150, 255};
    }
    if (UClass* creature = FindClass(L"/Script/Umbrafel.UmbrafelAICharacter"); creature != nullptr && pawn->IsA(creature))
    {
        return {225, 55, 45};
    }
    if (UClass* npc = FindClass(L"/Script/Umbrafel.InteractableNPC"); npc != nullptr && pawn->IsA(npc))
    {
        return {245, 205, 60};
    }
    return {235, 235, 235};
}

// Pawns the camera can see: below it, not under a roof it cannot see under, not hidden (by the
// capture component, when there is one).
void DrawPawns(const View& view, UObject* component, const UObject* world, Canvas& canvas)
{
    UClass* pawnClass = FindClass(L"/Script/Engine.Pawn");
    if (pawnClass == nullptr)
    {
        return;
    }
    // The levels streamed into the world are drawn with it.
    std::vector<UObject*> actors;
    for (UObject* level : LevelsOfWorld(world))
    {
        const auto& own = State().play.levels.at(level).actors;
        actors.insert(actors.end(), own.begin(), own.end());
    }
    HiddenLists hidden;
    if (component != nullptr)
    {
        hidden = {component, PropertyOf<FArrayProperty>(component->GetClassPrivate(), L"HiddenActors"),
                  PropertyOf<FArrayProperty>(component->GetClassPrivate(), L"HiddenComponents"),
                  FindClass(L"/Script/Engine.PrimitiveComponent"), &Attachments()};
    }
    const double radius = std::max(kDotRadius / view.unitsPerPixel, 2.0);
    const int32 reach = static_cast<int32>(std::ceil(radius)) + 1;
    for (UObject* actor : actors)
    {
        if (!Holds(actor) || !actor->IsA(pawnClass) || actor->GetObjectItem()->IsPendingKill() || Flag(actor, L"bHidden") ||
            HiddenFromCapture(hidden, actor))
        {
            continue;
        }
        const Placement at = ActorPlacement(actor);
        double u = 0;
        double v = 0;
        view.ToPixel(at.x, at.y, u, v);
        const auto cu = static_cast<int32>(std::floor(u));
        const auto cv = static_cast<int32>(std::floor(v));
        // A character stands about 90 below its middle and is about 180 tall.
        if (at.z - 90 >= view.z || cu < -reach || cv < -reach || cu >= view.width + reach || cv >= view.height + reach)
        {
            continue;
        }
        if (cu >= 0 && cv >= 0 && cu < view.width && cv < view.height &&
            static_cast<double>(canvas.depth[static_cast<std::size_t>(cv) * static_cast<std::size_t>(view.width) +
                                             static_cast<std::size_t>(cu)]) > at.z + 90)
        {
            continue;
        }
        const uint32 fill = Pack(DotColour(actor));
        const uint32 rim = Pack({20, 20, 24});
        for (int32 dy = -reach; dy <= reach; ++dy)
        {
            for (int32 dx = -reach; dx <= reach; ++dx)
            {
                const int32 px = cu + dx;
                const int32 py = cv + dy;
                if (px < 0 || py < 0 || px >= view.width || py >= view.height)
                {
                    continue;
                }
                const double distance = std::hypot(px + 0.5 - u, py + 0.5 - v);
                if (distance <= radius + 1)
                {
                    canvas.colour[static_cast<std::size_t>(py) * static_cast<std::size_t>(view.width) + static_cast<std::size_t>(px)] =
                        distance <= radius ? fill : rim;
                }
            }
        }
    }
}

// 2 to the exposure bias the post-process settings ask for, at their blend weight.
double Exposure(UObject* component)
{
    auto* settings = PropertyOf<FStructProperty>(component->GetClassPrivate(), L"PostProcessSettings");
    if (settings == nullptr)
    {
        return 1;
    }
    const void* value = settings->ContainerPtrToValuePtr(component);
    auto* override = dynamic_cast<FBoolProperty*>(FindPropertyUncounted(settings->GetStruct(), L"bOverride_AutoExposureBias"));
    if (override == nullptr || !override->GetPropertyValue(override->ContainerPtrToValuePtr(value)))
    {
        return 1;
    }
    const float* weight = FieldOf<float>(component, L"PostProcessBlendWeight");
    const double w = weight != nullptr ? std::clamp(static_cast<double>(*weight), 0.0, 1.0) : 1.0;
    const double stops = ReadReal(settings->GetStruct(), value, L"AutoExposureBias") * w;
    return std::isfinite(stops) ? std::exp2(std::clamp(stops, -16.0, 16.0)) : 1.0;
}

// Fog thickens with the depth looked through, the sky's haze more slowly; then the light
// and the exposure scale everything, and the target keeps the channels its format has.
void Finish(const View& view, const Canvas& canvas, const ShowFlags& flags, double light, uint8 format, RenderTargetPixels& out)
{
    const float fog = flags.fog ? 0.3f : 0.0f;
    const float air = flags.atmosphere ? 0.2f : 0.0f;
    // Beyond this every channel is white anyway, and the products stay finite.
    const auto scale = static_cast<float>(std::min(light, 256.0));
    const uint32 keep = format == 0 ? 0xFF0000FFu : format == 1 ? 0xFF00FFFFu : 0xFFFFFFFFu;
    const std::size_t count = static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height);
    const uint32* colour = canvas.colour.data();
    const float* depth = canvas.depth.data();
    uint8* rgba = out.rgba.data();
    const auto camera = static_cast<float>(view.z);
    const float hazeR = kHaze.r;
    const float hazeG = kHaze.g;
    const float hazeB = kHaze.b;
    // Kept free of branches and lookups so the compiler can do several pixels at once.
    for (std::size_t p = 0; p < count; ++p)
    {
        // Nothing seen is infinitely deep: kept finite, and hazed by nothing.
        const float d = Lower(camera - depth[p], 1.0e9f);
        const float seen = depth[p] != kNothing ? 1.0f : 0.0f;
        // fog × d / (d + 8000) + air × d / (d + 20000), over one divisor.
        const float near = d + 8000.0f;
        const float far = d + 20000.0f;
        const float f = d * (fog * far + air * near) / (near * far) * seen;
        const uint32 c = colour[p];
        const auto r = static_cast<float>(static_cast<int32>(c & 0xFF));
        const auto g = static_cast<float>(static_cast<int32>((c >> 8) & 0xFF));
        const auto b = static_cast<float>(static_cast<int32>((c >> 16) & 0xFF));
        // Signed conversions: the unsigned ones have no vector form.
        const auto outR = static_cast<uint32>(static_cast<int32>(Lower((r + (hazeR - r) * f) * scale + 0.5f, 255.0f)));
        const auto outG = static_cast<uint32>(static_cast<int32>(Lower((g + (hazeG - g) * f) * scale + 0.5f, 255.0f)));
        const auto outB = static_cast<uint32>(static_cast<int32>(Lower((b + (hazeB - b) * f) * scale + 0.5f, 255.0f)));
        const uint32 pixel = (outR | outG << 8 | outB << 16 | 0xFF000000u) & keep;
        static_assert(std::endian::native == std::endian::little, "red goes in the lowest byte");
        std::memcpy(rgba + p * 4, &pixel, 4);
    }
}

// Where the component is: an actor's root is where the actor is; another component sits at
// its relative place on its owner.
Placement ComponentPlacement(UObject* component, UObject* owner)
{
    Placement at = ActorPlacement(owner);
    if (ObjectReference(owner, L"RootComponent") == component)
    {
        return at;
    }
    auto* location = PropertyOf<FStructProperty>(component->GetClassPrivate(), L"RelativeLocation");
    auto* rotation = PropertyOf<FStructProperty>(component->GetClassPrivate(), L"RelativeRotation");
    double x = 0, y = 0, z = 0, pitch = 0, yaw = 0, roll = 0;
    if (location != nullptr)
    {
        ReadVectorValue(location->ContainerPtrToValuePtr(component), x, y, z);
    }
    if (rotation != nullptr)
    {
        ReadRotatorValue(rotation->ContainerPtrToValuePtr(component), pitch, yaw, roll);
    }
    const double heading = at.yaw * std::numbers::pi / 180;
    at.x += x * std::cos(heading) - y * std::sin(heading);
    at.y += x * std::sin(heading) + y * std::cos(heading);
    at.z += z;
    at.pitch += pitch;
    at.yaw += yaw;
    at.roll += roll;
    return at;
}
// One picture: from where, how wide, through which show flags, at what exposure.

void Draw(const UObject* world, const Shot& shot, RenderTargetPixels& pixels)
{
    const SceneRecord& scene = SceneOf(world);
    View view;
    view.width = pixels.width;
    view.height = pixels.height;
    view.x = shot.at.x;
    view.y = shot.at.y;
    view.z = shot.at.z;
    const double heading = shot.at.yaw * std::numbers::pi / 180;
    view.forwardX = std::cos(heading);
    view.forwardY = std::sin(heading);
    view.rightX = -view.forwardY;
    view.rightY = view.forwardX;
    view.unitsPerPixel = std::max(std::isfinite(shot.across) ? shot.across : 512.0, 1.0) / view.width;

    const bool underground = view.z < GroundAt(scene.terrain, view.x, view.y);
    const bool night = IsNight(reinterpret_cast<UWorld*>(const_cast<UObject*>(world)));
    const double light = (shot.daylight ? 1.0 : underground ? kCaveLight : night ? kNightLight : 1.0) * shot.exposure;

    Canvas& canvas = SharedCanvas();
    const std::size_t count = static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height);
    if (canvas.colour.size() < count)
    {
        canvas.colour.resize(count);
        canvas.depth.resize(count);
    }
    // Only a camera looking straight down sees the ground; any other looks at the horizon.
    if (std::abs(std::remainder(shot.at.pitch + 90, 360.0)) > 1)
    {
        std::fill(canvas.colour.begin(), canvas.colour.begin() + static_cast<std::ptrdiff_t>(count), Pack(kSky));
        std::fill(canvas.depth.begin(), canvas.depth.begin() + static_cast<std::ptrdiff_t>(count), kNothing);
    }
    else
    {
        DrawGround(view, scene, canvas);
        DrawSurfaces(view, scene, canvas);
        if (shot.flags.shadows)
        {
            DrawShadows(view, scene, canvas);
        }
        DrawPawns(view, shot.component, world, canvas);
    }
    Finish(view, canvas, shot.flags, light, shot.format, pixels);
}

// The view the capture is set up with now, as the game thread hands it to the renderer; false
// when it has nothing to draw into.
bool PrepareShot(UObject* component, PendingCapture& out)
{
    if (!Holds(component))
    {
        return false;
    }
    UObject* target = ObjectReference(component, L"TextureTarget");
    auto found = State().play.renderTargets.find(target);
    UObject* owner = ComponentOwner(component);
    const UObject* world = reinterpret_cast<const UObject*>(component->GetWorld());
    if (found == State().play.renderTargets.end() || !Holds(owner) || world == nullptr || found->second.width <= 0 ||
        found->second.height <= 0)
    {
        return false;
    }
    Shot& shot = out.shot;
    shot = {};
    shot.at = ComponentPlacement(component, owner);
    shot.component = component;
    shot.flags = DrawnShowFlags(component);
    shot.exposure = Exposure(component);
    const uint8* format = FieldOf<uint8>(target, L"RenderTargetFormat");
    shot.format = format != nullptr ? *format : 2;
    const uint8* projection = FieldOf<uint8>(component, L"ProjectionType");
    if (projection != nullptr && *projection == 1)
    {
        const float* orthoWidth = FieldOf<float>(component, L"OrthoWidth");
        shot.across = orthoWidth != nullptr ? static_cast<double>(*orthoWidth) : 512.0;
    }
    else
    {
        // A perspective view straight down, taken as what it shows of the ground under it.
        const float* fov = FieldOf<float>(component, L"FOVAngle");
        const double angle = std::clamp(fov != nullptr ? static_cast<double>(*fov) : 90.0, 1.0, 170.0);
        const double distance = std::max(shot.at.z - GroundAt(SceneOf(world).terrain, shot.at.x, shot.at.y), 1.0);
        shot.across = 2 * distance * std::tan(angle * std::numbers::pi / 360);
    }
    out.target = target;
    out.world = world;
    return true;
}

void DrawPending(const PendingCapture& pending)
{
    auto found = State().play.renderTargets.find(pending.target);
    if (found == State().play.renderTargets.end() || !Holds(pending.target) || !Holds(pending.world))
    {
        return;
    }
    Draw(pending.world, pending.shot, found->second);
}
} // namespace

void RenderCapture(UObject* component)
{
    PendingCapture pending;
    if (PrepareShot(component, pending))
    {
        DrawPending(pending);
    }
}

void QueueCapture(UObject* component)
{
    PendingCapture pending;
    if (!PrepareShot(component, pending))
    {
        return;
    }
    // A later picture into the same target in the same frame is the one that shows.
    auto& queue = State().play.pendingCaptures;
    auto same = std::find_if(queue.begin(), queue.end(), [&](const PendingCapture& p) { return p.target == pending.target; });
    if (same != queue.end())
    {
        *same = pending;
        return;
    }
    queue.push_back(pending);
}

void FlushCaptures()
{
    auto& queue = State().play.pendingCaptures;
    for (const PendingCapture& pending : queue)
    {
        DrawPending(pending);
    }
    queue.clear();
}
} // namespace Sim::Detail

namespace Sim
{
using namespace Detail;

bool DrawOverview(UWorld* world, const Placement& camera, double width, int32 size, RenderTargetImage& out)
{
    const auto* object = reinterpret_cast<const UObject*>(world);
    if (!Holds(object) || State().worldClass == nullptr || !object->IsA(State().worldClass) || size <= 0 || size > 8192)
    {
        return false;
    }
    RenderTargetPixels pixels;
    pixels.width = size;
    pixels.height = size;
    pixels.rgba.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 4);
    Shot shot;
    shot.at = camera;
    shot.at.pitch = -90;
    shot.across = width;
    shot.daylight = true;
    Draw(object, shot, pixels);
    out.width = pixels.width;
    out.height = pixels.height;
    out.rgba = std::move(pixels.rgba);
    return true;
}
} // namespace Sim
