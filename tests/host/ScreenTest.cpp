// The screen the stand-in draws: hand-built widget trees laid out and painted by Slate's rules
// (canvas anchors and alignment, overlay and border rooms, rounded brushes, render transforms,
// visibility, z-order, DPI scale, render targets, texts), checked at the places the rules
// put them against what lies behind. Drawing reads widgets without calling or counting anything.
#include "support/EngineFixture.hpp"

#include <Sim/MapData.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Sim/World.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <cmath>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) { return out << "(" << c.r << ", " << c.g << ", " << c.b << ")"; }

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kGreen{0, 255, 0};

using Member = Sim::MemberRef;

// A member reached by a dotted path ("Brush.OutlineSettings.CornerRadii.X"); the test fails at
// a path the engine does not have.
Member Find(UObject* object, const std::wstring& path)
{
    Member found = Sim::FindMemberByPath(object, path);
    EXPECT_NE(found.property, nullptr) << Sim::ToUtf8(path);
    return found;
}

// Reals in the width the running engine gives the member.
void SetReal(UObject* object, const std::wstring& path, double value)
{
    Member m = Find(object, path);
    if (dynamic_cast<FDoubleProperty*>(m.property) != nullptr)
    {
        *static_cast<double*>(m.address) = value;
    }
    else if (dynamic_cast<FFloatProperty*>(m.property) != nullptr)
    {
        *static_cast<float*>(m.address) = static_cast<float>(value);
    }
    else if (dynamic_cast<FIntProperty*>(m.property) != nullptr)
    {
        *static_cast<int32*>(m.address) = static_cast<int32>(value);
    }
    else
    {
        ADD_FAILURE() << "no real at " << Sim::ToUtf8(path);
    }
}

void SetByte(UObject* object, const std::wstring& path, uint8 value) { *static_cast<uint8*>(Find(object, path).address) = value; }

void SetFlag(UObject* object, const std::wstring& path, bool value)
{
    Member m = Find(object, path);
    static_cast<FBoolProperty*>(m.property)->SetPropertyValue(m.address, value);
}

void SetVec(UObject* object, const std::wstring& path, double x, double y)
{
    SetReal(object, path + L".X", x);
    SetReal(object, path + L".Y", y);
}

void SetMargin(UObject* object, const std::wstring& path, double left, double top, double right, double bottom)
{
    SetReal(object, path + L".Left", left);
    SetReal(object, path + L".Top", top);
    SetReal(object, path + L".Right", right);
    SetReal(object, path + L".Bottom", bottom);
}

void SetColour(UObject* object, const std::wstring& path, double r, double g, double b, double a = 1)
{
    SetReal(object, path + L".R", r);
    SetReal(object, path + L".G", g);
    SetReal(object, path + L".B", b);
    SetReal(object, path + L".A", a);
}

void SetReference(UObject* object, const std::wstring& path, UObject* value)
{
    Member m = Find(object, path);
    static_cast<FObjectPropertyBase*>(m.property)->SetObjectPropertyValue(m.address, value);
}

class Screen : public OrvTest::EngineFixture, public ::testing::WithParamInterface<int>
{
  public:
    static UObject* Make(const std::wstring& name)
    {
        UClass* cls = Sim::FindClass(L"/Script/UMG." + name);
        EXPECT_NE(cls, nullptr) << Sim::ToUtf8(name);
        return Sim::NewObject(cls, Sim::FindObjectByPath(L"/Engine/Transient"));
    }

    // A script function with one object argument and an object result, as the engine runs it.
    static UObject* Call(UObject* self, const std::wstring& function, const wchar_t* argument, UObject* value)
    {
        UFunction* f = Sim::FindFunctionByPath(self->GetClassPrivate()->GetPathName() + L":" + function);
        for (const UStruct* s = self->GetClassPrivate(); f == nullptr && s != nullptr; s = s->GetSuperStruct())
        {
            f = Sim::FindFunctionByPath(s->GetPathName() + L":" + function);
        }
        EXPECT_NE(f, nullptr) << Sim::ToUtf8(function);
        std::vector<uint8> parms(f->GetParmsSize() + 16u, 0);
        if (argument != nullptr)
        {
            std::memcpy(parms.data() + Sim::FindPropertyUncounted(f, argument)->GetOffset_Internal(), &value, sizeof(value));
        }
        self->ProcessEvent(f, parms.data());
        FProperty* result = Sim::FindPropertyUncounted(f, L"ReturnValue");
        UObject* returned = nullptr;
        if (result != nullptr)
        {
            std::memcpy(&returned, parms.data() + result->GetOffset_Internal(), sizeof(returned));
        }
        return returned;
    }

    // A setter with one plain argument, as the engine runs it.
    template <typename T> static void Set(UObject* self, const std::wstring& function, const wchar_t* parameter, const T& value)
    {
        UFunction* f = nullptr;
        for (const UStruct* s = self->GetClassPrivate(); f == nullptr && s != nullptr; s = s->GetSuperStruct())
        {
            f = Sim::FindFunctionByPath(s->GetPathName() + L":" + function);
        }
        ASSERT_NE(f, nullptr) << Sim::ToUtf8(function);
        FProperty* property = Sim::FindPropertyUncounted(f, parameter);
        ASSERT_NE(property, nullptr) << Sim::ToUtf8(parameter);
        ASSERT_EQ(static_cast<std::size_t>(property->GetSize()), sizeof(T)) << Sim::ToUtf8(parameter);
        Sim::CallScriptFunction(self, f, [&](uint8* parms) { std::memcpy(parms + property->GetOffset_Internal(), &value, sizeof(T)); });
    }

    static UObject* Canvas() { return Make(L"CanvasPanel"); }

    // The child on the canvas at (x, y), size (w, h), point-anchored at the top left.
    static UObject* Place(UObject* canvas, UObject* child, double x, double y, double w, double h)
    {
        UObject* slot = Call(canvas, L"AddChildToCanvas", L"Content", child);
        SetMargin(slot, L"LayoutData.Offsets", x, y, w, h);
        return slot;
    }

    static UObject* Content(UObject* parent, UObject* child) { return Call(parent, L"SetContent", L"Content", child); }

    static UObject* Solid(double r, double g, double b, double a = 1)
    {
        UObject* image = Make(L"Image");
        SetColour(image, L"ColorAndOpacity", r, g, b, a);
        return image;
    }

    static UObject* Frame(double r, double g, double b)
    {
        UObject* border = Make(L"Border");
        SetColour(border, L"BrushColor", r, g, b);
        return border;
    }

    // The world the screen's user widgets belong to: a game world whose game instance has the
    // viewport, made on first use.
    static UObject* GameWorld()
    {
        if (UObject* world = Sim::FindObjectByPath(L"/Game/Maps/Screen.Screen"))
        {
            return world;
        }
        UWorld* world = Sim::CreateWorld(L"Screen");
        Sim::CreateGameInstance(world);
        return reinterpret_cast<UObject*>(world);
    }

    static UObject* AddToViewport(UObject* user, int32 zOrder)
    {
        UFunction* add = Sim::FindFunctionByPath(L"/Script/UMG.UserWidget:AddToViewport");
        Sim::CallScriptFunction(user, add, [&](uint8* parms) {
            std::memcpy(parms + Sim::FindPropertyUncounted(add, L"ZOrder")->GetOffset_Internal(), &zOrder, sizeof(zOrder));
        });
        return user;
    }

    // A user widget of the game world whose tree's root is the given widget, not yet shown.
    static UObject* UserWidget(UObject* root)
    {
        UObject* user = Sim::NewObject(Sim::FindClass(L"/Script/UMG.UserWidget"), GameWorld());
        UObject* tree = Sim::NewObject(Sim::FindClass(L"/Script/UMG.WidgetTree"), user);
        SetReference(user, L"WidgetTree", tree);
        SetReference(tree, L"RootWidget", root);
        return user;
    }

    // The user widget showing the root, added to the viewport.
    static UObject* Show(UObject* root, int32 zOrder = 0) { return AddToViewport(UserWidget(root), zOrder); }

    static Rgb At(const Sim::RenderTargetImage& image, double x, double y)
    {
        const auto column = static_cast<std::size_t>(x), row = static_cast<std::size_t>(y);
        const std::size_t at = (row * static_cast<std::size_t>(image.width) + column) * 4;
        return {image.rgba[at], image.rgba[at + 1], image.rgba[at + 2]};
    }

  protected:
    void SetUp() override { StartEngine(GetParam(), GetParam() == 4 ? 27 : 1); }

    // A 32 × 32 render target holding a capture from straight above a house on a field.
    static UObject* CaptureOfAHouse()
    {
        UWorld* world = Sim::CreateWorld(L"Field");
        Sim::AddBuilding(world, {.footprint = {-200, -200, 200, 200}});
        UObject* actor = Sim::SpawnActor(world, L"/Script/Engine.SceneCapture2D", {.z = 3000, .pitch = -90});
        UObject* component = Sim::ObjectReference(actor, L"CaptureComponent2D");
        SetByte(component, L"ProjectionType", 1);
        SetReal(component, L"OrthoWidth", 1600);
        SetFlag(component, L"bCaptureEveryFrame", false);
        SetFlag(component, L"bCaptureOnMovement", false);
        UFunction* create = Sim::FindFunctionByPath(L"/Script/Engine.KismetRenderingLibrary:CreateRenderTarget2D");
        Sim::CallScriptFunction(Sim::FindClass(L"/Script/Engine.KismetRenderingLibrary")->GetClassDefaultObject(), create,
                                [&](uint8* parms) {
                                    const int32 size = 32;
                                    const uint8 rgba = 2;
                                    auto* context = reinterpret_cast<UObject*>(world);
                                    std::memcpy(parms + Sim::FindPropertyUncounted(create, L"WorldContextObject")->GetOffset_Internal(), &context, sizeof(context));
                                    std::memcpy(parms + Sim::FindPropertyUncounted(create, L"Width")->GetOffset_Internal(), &size, sizeof(size));
                                    std::memcpy(parms + Sim::FindPropertyUncounted(create, L"Height")->GetOffset_Internal(), &size, sizeof(size));
                                    std::memcpy(parms + Sim::FindPropertyUncounted(create, L"Format")->GetOffset_Internal(), &rgba, sizeof(rgba));
                                });
        EXPECT_FALSE(Sim::RenderTargets().empty());
        UObject* target = Sim::RenderTargets().empty() ? nullptr : Sim::RenderTargets().back();
        SetReference(component, L"TextureTarget", target);
        Sim::CallScriptFunction(component, L"CaptureScene");
        return target;
    }

    const Sim::RenderTargetImage& Render()
    {
        Sim::RenderScreen(image_);
        return image_;
    }

    // The screen with nothing in the viewport, once.
    const Sim::RenderTargetImage& Empty()
    {
        if (empty_.width == 0)
        {
            std::vector<UObject*> shown = Sim::ViewportWidgets();
            EXPECT_TRUE(shown.empty()) << "the empty screen is drawn before anything is shown";
            Sim::RenderScreen(empty_);
        }
        return empty_;
    }

    Rgb Pixel(double x, double y) const { return At(image_, x, y); }
    Rgb Behind(double x, double y) { return At(Empty(), x, y); }

    static void ExpectRect(const UObject* widget, double x, double y, double w, double h)
    {
        const Sim::WidgetPlacement placed = Sim::PlacementOf(widget);
        EXPECT_TRUE(placed.arranged);
        EXPECT_NEAR(placed.rect.x, x, 1e-3);
        EXPECT_NEAR(placed.rect.y, y, 1e-3);
        EXPECT_NEAR(placed.rect.width, w, 1e-3);
        EXPECT_NEAR(placed.rect.height, h, 1e-3);
    }

    Sim::RenderTargetImage image_;
    Sim::RenderTargetImage empty_;
};

TEST_P(Screen, CanvasSlotsPlaceChildrenByAnchorsOffsetsAndAlignment)
{
    Empty();
    UObject* canvas = Canvas();
    // Hung from the top right corner by its own top right corner.
    UObject* corner = Solid(1, 0, 0);
    UObject* slot = Place(canvas, corner, -20, 30, 100, 50);
    SetVec(slot, L"LayoutData.Anchors.Minimum", 1, 0);
    SetVec(slot, L"LayoutData.Anchors.Maximum", 1, 0);
    SetVec(slot, L"LayoutData.Alignment", 1, 0);
    // Stretched across the right half at the bottom: left and right are margins there.
    UObject* band = Solid(0, 0, 1);
    slot = Place(canvas, band, 10, -60, 30, 40);
    SetVec(slot, L"LayoutData.Anchors.Minimum", 0.5, 1);
    SetVec(slot, L"LayoutData.Anchors.Maximum", 1, 1);
    // Centred on the middle at its own size.
    UObject* middle = Solid(0, 1, 0);
    SetVec(middle, L"Brush.ImageSize", 64, 32);
    slot = Place(canvas, middle, 0, 0, 5, 5);
    SetVec(slot, L"LayoutData.Anchors.Minimum", 0.5, 0.5);
    SetVec(slot, L"LayoutData.Anchors.Maximum", 0.5, 0.5);
    SetVec(slot, L"LayoutData.Alignment", 0.5, 0.5);
    SetFlag(slot, L"bAutoSize", true);
    Show(canvas);
    Render();

    ExpectRect(corner, 1800, 30, 100, 50);
    ExpectRect(band, 970, 1020, 920, 40);
    ExpectRect(middle, 928, 524, 64, 32);
    EXPECT_EQ(Pixel(1800.5, 30.5), kRed);
    EXPECT_EQ(Pixel(1899.5, 79.5), kRed);
    EXPECT_EQ(Pixel(1799.5, 55), Behind(1799.5, 55));
    EXPECT_EQ(Pixel(1900.5, 55), Behind(1900.5, 55));
    EXPECT_EQ(Pixel(970.5, 1040), kBlue);
    EXPECT_EQ(Pixel(969.5, 1040), Behind(969.5, 1040));
    EXPECT_EQ(Pixel(1889.5, 1059.5), kBlue);
    EXPECT_EQ(Pixel(1890.5, 1040), Behind(1890.5, 1040));
    EXPECT_EQ(Pixel(928.5, 524.5), kGreen);
    EXPECT_EQ(Pixel(927.5, 540), Behind(927.5, 540));
}

TEST_P(Screen, CanvasChildrenDrawInSlotOrderUnlessTheirZOrderSaysOtherwise)
{
    UObject* canvas = Canvas();
    Place(canvas, Solid(1, 0, 0), 0, 0, 100, 100);
    UObject* low = Place(canvas, Solid(0, 0, 1), 50, 0, 100, 100);
    Place(canvas, Solid(0, 1, 0), 100, 0, 100, 100);
    Show(canvas);
    Render();
    EXPECT_EQ(Pixel(75, 50), kBlue) << "a later slot over an earlier one";
    EXPECT_EQ(Pixel(125, 50), kGreen);
    Set(low, L"SetZOrder", L"InZOrder", int32{1});
    Render();
    EXPECT_EQ(Pixel(75, 50), kBlue);
    EXPECT_EQ(Pixel(125, 50), kBlue) << "a higher z-order over a later slot";
}

TEST_P(Screen, AnOverlayFillsOrAlignsEachChildInItsPaddedRoom)
{
    UObject* canvas = Canvas();
    UObject* overlay = Make(L"Overlay");
    Place(canvas, overlay, 100, 100, 200, 100);
    UObject* fill = Solid(1, 0, 0);
    UObject* slot = Call(overlay, L"AddChildToOverlay", L"Content", fill);
    SetMargin(slot, L"Padding", 10, 5, 10, 5);
    SetByte(slot, L"HorizontalAlignment", 0);
    SetByte(slot, L"VerticalAlignment", 0);
    UObject* centred = Solid(0, 0, 1);
    SetVec(centred, L"Brush.ImageSize", 20, 10);
    slot = Call(overlay, L"AddChildToOverlay", L"Content", centred);
    SetByte(slot, L"HorizontalAlignment", 2);
    SetByte(slot, L"VerticalAlignment", 2);
    UObject* last = Solid(0, 1, 0);
    SetVec(last, L"Brush.ImageSize", 30, 20);
    slot = Call(overlay, L"AddChildToOverlay", L"Content", last);
    SetByte(slot, L"HorizontalAlignment", 3);
    SetByte(slot, L"VerticalAlignment", 3);
    UObject* first = Solid(0, 1, 1);
    SetVec(first, L"Brush.ImageSize", 40, 400);
    Call(overlay, L"AddChildToOverlay", L"Content", first);
    Show(canvas);
    Render();

    ExpectRect(fill, 110, 105, 180, 90);
    ExpectRect(centred, 190, 145, 20, 10);
    ExpectRect(last, 270, 180, 30, 20);
    ExpectRect(first, 100, 100, 40, 100);
    EXPECT_EQ(Pixel(200, 150), kBlue) << "later children on top";
    EXPECT_EQ(Pixel(150, 150), kRed);
    EXPECT_EQ(Pixel(285, 190), kGreen);
}

TEST_P(Screen, ABorderPaintsItsRimAndPadsItsContentInside)
{
    UObject* canvas = Canvas();
    UObject* border = Frame(1, 0, 0);
    SetMargin(border, L"Padding", 1, 1, 1, 1);
    Place(canvas, border, 100, 100, 20, 20);
    UObject* inner = Solid(0, 0, 1);
    Content(border, inner);
    // A border left at its own padding (4, 2), tinting what it holds.
    UObject* plain = Frame(0, 1, 0);
    SetColour(plain, L"ContentColorAndOpacity", 0, 0, 1);
    Place(canvas, plain, 300, 100, 40, 40);
    UObject* white = Solid(1, 1, 1);
    Content(plain, white);
    Show(canvas);
    Render();

    ExpectRect(inner, 101, 101, 18, 18);
    EXPECT_EQ(Pixel(100.5, 110), kRed);
    EXPECT_EQ(Pixel(119.5, 110), kRed);
    EXPECT_EQ(Pixel(110, 100.5), kRed);
    EXPECT_EQ(Pixel(101.5, 110), kBlue);
    EXPECT_EQ(Pixel(118.5, 118.5), kBlue);
    ExpectRect(white, 304, 102, 32, 36);
    EXPECT_EQ(Pixel(303.5, 120), kGreen);
    EXPECT_EQ(Pixel(304.5, 120), kBlue) << "the content colour tints the white image";
}

TEST_P(Screen, RoundedBoxesClampTheirCornersToHalfTheShorterSide)
{
    Empty();
    UObject* canvas = Canvas();
    auto rounded = [&](double x, double y, double w, double h, double radius, uint8 rounding) {
        UObject* border = Frame(1, 0, 0);
        SetByte(border, L"Background.DrawAs", 4);
        SetByte(border, L"Background.OutlineSettings.RoundingType", rounding);
        for (const wchar_t* corner : {L"X", L"Y", L"Z", L"W"})
        {
            SetReal(border, std::wstring(L"Background.OutlineSettings.CornerRadii.") + corner, radius);
        }
        Place(canvas, border, x, y, w, h);
        return border;
    };
    rounded(300, 300, 100, 100, 1024, 0); // a disc
    rounded(500, 300, 100, 100, 10, 0);
    rounded(700, 300, 200, 100, 0, 1); // a pill
    UObject* nothing = rounded(1000, 300, 100, 100, 0, 0);
    SetByte(nothing, L"Background.DrawAs", 0);
    Show(canvas);
    Render();

    EXPECT_EQ(Pixel(350, 350), kRed);
    EXPECT_EQ(Pixel(301, 350), kRed) << "the disc reaches the box's sides";
    EXPECT_EQ(Pixel(350, 301), kRed);
    EXPECT_EQ(Pixel(301, 301), Behind(301, 301)) << "the disc leaves the corners";
    EXPECT_EQ(Pixel(312, 312), Behind(312, 312));
    EXPECT_EQ(Pixel(318, 318), kRed);

    EXPECT_EQ(Pixel(500.5, 300.5), Behind(500.5, 300.5));
    EXPECT_EQ(Pixel(504, 304), kRed) << "a radius of 10 rounds only the very corner";
    EXPECT_EQ(Pixel(510, 300.5), kRed);

    EXPECT_EQ(Pixel(705, 305), Behind(705, 305));
    EXPECT_EQ(Pixel(705, 350), kRed) << "half the height round at the ends";
    EXPECT_EQ(Pixel(800, 300.5), kRed) << "straight between them";
    EXPECT_EQ(Pixel(896, 304), Behind(896, 304));

    EXPECT_EQ(Pixel(1050, 350), Behind(1050, 350)) << "a brush drawn as nothing";
}

TEST_P(Screen, ARenderTransformTurnsAWidgetAboutItsPivotWithoutMovingItsLayout)
{
    Empty();
    UObject* canvas = Canvas();
    UObject* diamond = Frame(1, 0, 0);
    SetReal(diamond, L"RenderTransform.Angle", 45);
    Place(canvas, diamond, 200, 200, 40, 40);
    UObject* swung = Frame(0, 0, 1);
    SetReal(swung, L"RenderTransform.Angle", 90);
    SetVec(swung, L"RenderTransformPivot", 0, 0);
    Place(canvas, swung, 400, 200, 40, 40);
    UObject* moved = Frame(0, 1, 0);
    SetVec(moved, L"RenderTransform.Translation", 100, 0);
    SetVec(moved, L"RenderTransform.Scale", 2, 1);
    Place(canvas, moved, 600, 200, 40, 40);
    Show(canvas);
    Render();

    ExpectRect(diamond, 200, 200, 40, 40);
    EXPECT_EQ(Pixel(220, 220), kRed);
    EXPECT_EQ(Pixel(220, 193), kRed) << "the diamond's tips reach past the square's sides";
    EXPECT_EQ(Pixel(193, 220), kRed);
    EXPECT_EQ(Pixel(202, 202), Behind(202, 202)) << "the square's corners are left empty";
    EXPECT_EQ(Pixel(237, 237), Behind(237, 237));

    EXPECT_EQ(Pixel(380, 220), kBlue) << "turned clockwise about its top left corner";
    EXPECT_EQ(Pixel(420, 220), Behind(420, 220));

    ExpectRect(moved, 600, 200, 40, 40);
    EXPECT_EQ(Pixel(610, 220), Behind(610, 220));
    EXPECT_EQ(Pixel(678, 220), Behind(678, 220));
    EXPECT_EQ(Pixel(682, 220), kGreen) << "moved right and twice as wide about its centre";
    EXPECT_EQ(Pixel(758, 220), kGreen);
    EXPECT_EQ(Pixel(762, 220), Behind(762, 220));
}

TEST_P(Screen, CollapsedWidgetsTakeNoRoomAndHiddenOnesKeepItUndrawn)
{
    Empty();
    UObject* canvas = Canvas();
    UObject* collapsed = Solid(1, 0, 0);
    SetByte(collapsed, L"Visibility", 1);
    Place(canvas, collapsed, 0, 0, 50, 50);
    UObject* hidden = Frame(1, 0, 0);
    SetByte(hidden, L"Visibility", 2);
    Place(canvas, hidden, 100, 0, 50, 50);
    UObject* underHidden = Solid(0, 0, 1);
    Content(hidden, underHidden);
    UObject* shown = Solid(0, 1, 0);
    SetByte(shown, L"Visibility", 3);
    Place(canvas, shown, 200, 0, 50, 50);
    // Bordered by the default padding (4, 2), around an image that is collapsed and one that is not.
    auto padded = [&](double x, uint8 visibility) {
        UObject* border = Frame(1, 1, 1);
        UObject* slot = Place(canvas, border, x, 100, 0, 0);
        SetFlag(slot, L"bAutoSize", true);
        UObject* image = Solid(0, 0, 0);
        SetByte(image, L"Visibility", visibility);
        Content(border, image);
        return border;
    };
    UObject* aroundCollapsed = padded(300, 1);
    UObject* aroundHidden = padded(400, 2);
    Show(canvas);
    Render();

    EXPECT_FALSE(Sim::PlacementOf(collapsed).arranged);
    EXPECT_EQ(Pixel(25, 25), Behind(25, 25));
    EXPECT_TRUE(Sim::PlacementOf(hidden).arranged);
    EXPECT_FALSE(Sim::PlacementOf(hidden).drawn);
    EXPECT_FALSE(Sim::PlacementOf(underHidden).drawn);
    EXPECT_EQ(Pixel(125, 25), Behind(125, 25));
    EXPECT_TRUE(Sim::PlacementOf(shown).drawn);
    EXPECT_EQ(Pixel(225, 25), kGreen) << "hit-test invisible is still seen";
    ExpectRect(aroundCollapsed, 300, 100, 8, 4);
    ExpectRect(aroundHidden, 400, 100, 40, 36);
}

TEST_P(Screen, UserWidgetsStackByZOrderThenByTheOrderAdded)
{
    auto square = [&](double r, double g, double b) {
        UObject* canvas = Canvas();
        Place(canvas, Solid(r, g, b), 0, 0, 100, 100);
        return canvas;
    };
    Show(square(1, 0, 0), 10);
    Show(square(0, 0, 1), 5);
    UObject* last = Show(square(0, 1, 0), 10);
    Render();
    EXPECT_EQ(Pixel(50, 50), kGreen);
    Sim::CallScriptFunction(last, L"RemoveFromParent");
    Render();
    EXPECT_EQ(Pixel(50, 50), kRed) << "the blue one lies lower";
}

TEST_P(Screen, TheDpiScaleDrawsTheSameLayoutLarger)
{
    Sim::SetViewportPixels(3840, 2160);
    Empty();
    UObject* canvas = Canvas();
    UObject* corner = Solid(1, 0, 0);
    UObject* slot = Place(canvas, corner, -20, 30, 100, 50);
    SetVec(slot, L"LayoutData.Anchors.Minimum", 1, 0);
    SetVec(slot, L"LayoutData.Anchors.Maximum", 1, 0);
    SetVec(slot, L"LayoutData.Alignment", 1, 0);
    Show(canvas);
    const Sim::RenderTargetImage& image = Render();
    EXPECT_EQ(image.width, 3840);
    EXPECT_EQ(image.height, 2160);
    ExpectRect(corner, 1800, 30, 100, 50);
    EXPECT_EQ(Pixel(3600.5, 60.5), kRed);
    EXPECT_EQ(Pixel(3799.5, 159.5), kRed);
    EXPECT_EQ(Pixel(3599.5, 100), Behind(3599.5, 100));
    EXPECT_EQ(Pixel(3800.5, 100), Behind(3800.5, 100));
    EXPECT_EQ(Pixel(3700, 160.5), Behind(3700, 160.5));

    Sim::SetViewportScale(1.5f);
    Render();
    ExpectRect(corner, 3840 / 1.5 - 120, 30, 100, 50);
    EXPECT_EQ(Pixel(3840 - 30.5, 45.5), kRed);
    EXPECT_EQ(Pixel(3840 - 29.5, 100), Behind(3840 - 29.5, 100));
}

TEST_P(Screen, AnImageShowsItsRenderTargetScaledToItsBoxAndTinted)
{
    UObject* target = CaptureOfAHouse();
    Sim::RenderTargetImage captured;
    ASSERT_TRUE(Sim::ReadRenderTarget(target, captured));
    ASSERT_NE(At(captured, 16, 16), At(captured, 1, 1)) << "a roof in the middle, grass around";

    UObject* canvas = Canvas();
    UObject* map = Solid(1, 1, 1);
    SetReference(map, L"Brush.ResourceObject", target);
    Place(canvas, map, 400, 400, 320, 320);
    UObject* tinted = Solid(1, 0.5, 1);
    SetReference(tinted, L"Brush.ResourceObject", target);
    Place(canvas, tinted, 800, 400, 320, 320);
    Show(canvas);
    Render();

    // Ten screen pixels a texel: the middle of a texel's block is the texel.
    EXPECT_EQ(Pixel(400 + 165, 400 + 165), At(captured, 16, 16));
    EXPECT_EQ(Pixel(400 + 15, 400 + 15), At(captured, 1, 1));
    EXPECT_EQ(Pixel(400 + 305, 400 + 15), At(captured, 30, 1));
    const Rgb roof = At(captured, 16, 16);
    ASSERT_GT(roof.g, 30) << "on sRGB's curve, not its straight foot";
    const Rgb halved = Pixel(800 + 165, 400 + 165);
    EXPECT_EQ(halved.r, roof.r);
    EXPECT_EQ(halved.b, roof.b);
    // Half the light of the green channel, in linear light: sRGB's curve puts it near 73%.
    const double linear = std::pow((roof.g / 255.0 + 0.055) / 1.055, 2.4) * 0.5;
    EXPECT_NEAR(halved.g, (1.055 * std::pow(linear, 1 / 2.4) - 0.055) * 255, 1.0);
}

// What a screenshot tells of a picture: its tint as the gain, its alpha as the share of what
// lies behind, whatever widgets cover parts of it, and nothing when the picture is not drawn.
TEST_P(Screen, APicturesTintAndAlphaAreMeasuredFromTheScreen)
{
    UObject* target = CaptureOfAHouse();
    UObject* canvas = Canvas();
    UObject* dimmed = Solid(0.841, 0.841, 0.841);
    SetReference(dimmed, L"Brush.ResourceObject", target);
    Place(canvas, dimmed, 100, 100, 320, 320);
    Place(canvas, Solid(1, 0, 0), 250, 250, 20, 20); // a marker over it
    UObject* bright = Solid(1.682, 1.682, 1.682);
    SetReference(bright, L"Brush.ResourceObject", target);
    Place(canvas, bright, 500, 100, 320, 320);
    UObject* rim = Frame(0.3, 0.2, 0.1);
    UObject* faint = Solid(1, 1, 1, 0.5);
    SetReference(faint, L"Brush.ResourceObject", target);
    Content(rim, faint);
    Place(canvas, rim, 900, 100, 320, 320);
    UObject* unseen = Solid(1, 1, 1);
    Place(canvas, unseen, 1300, 100, 320, 320);
    Show(canvas);
    const Sim::PictureOnScreen tone = Sim::MeasurePictureOnScreen(Render(), dimmed);
    ASSERT_TRUE(tone.found);
    EXPECT_NEAR(tone.gain, 0.841, 0.005);
    for (std::size_t c = 0; c < 3; ++c)
    {
        EXPECT_NEAR(tone.offset[c], 0.0, 0.002) << c;
    }
    EXPECT_NEAR(tone.channelGain[0], 0.841, 0.02);
    const Sim::PictureOnScreen over = Sim::MeasurePictureOnScreen(image_, bright);
    EXPECT_NEAR(over.gain, 1.682, 0.02) << "what the screen clipped at white is left out";
    const Sim::PictureOnScreen half = Sim::MeasurePictureOnScreen(image_, faint);
    EXPECT_NEAR(half.gain, 0.5, 0.005);
    EXPECT_NEAR(half.offset[0], 0.5 * 0.3, 0.005) << "half the rim shows through";
    EXPECT_NEAR(half.offset[2], 0.5 * 0.1, 0.005);
    EXPECT_FALSE(Sim::MeasurePictureOnScreen(image_, unseen).found) << "no picture";
}

// A texture asset is drawn as a render target is: stretched over the box, tinted, and blended
// by its own alpha over what is behind.
TEST_P(Screen, AnImageShowsItsTextureStretchedTintedAndSeeThroughWhereItIsClear)
{
    // Two by two texels: red, green / blue, half-clear white.
    UObject* texture = Sim::MakeTexture(L"T_Test_Quads", 2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128});
    ASSERT_NE(texture, nullptr);
    UObject* canvas = Canvas();
    UObject* plain = Solid(1, 1, 1);
    SetReference(plain, L"Brush.ResourceObject", texture);
    Place(canvas, plain, 400, 400, 200, 200);
    UObject* tinted = Solid(1, 1, 0);
    SetReference(tinted, L"Brush.ResourceObject", texture);
    Place(canvas, tinted, 800, 400, 200, 200);
    UObject* arrow = Solid(1, 1, 1);
    SetReference(arrow, L"Brush.ResourceObject", Sim::GameTexture(L"T_MapIcon_Arrow"));
    Place(canvas, arrow, 1200, 400, 320, 320);
    const Rgb behind = Behind(580, 580);
    const Rgb besideTheTail = Behind(1200 + 20, 400 + 20);
    Show(canvas);
    Render();

    // A hundred screen pixels a texel: away from the texels' seams each quarter is its texel.
    EXPECT_EQ(Pixel(420, 420), kRed);
    EXPECT_EQ(Pixel(580, 420), kGreen);
    EXPECT_EQ(Pixel(420, 580), kBlue);
    const Rgb clear = Pixel(580, 580);
    EXPECT_GT(clear.r, behind.r) << "half of the white over what is behind";
    EXPECT_LT(clear.r, 255);
    EXPECT_EQ(Pixel(820, 420), kRed) << "yellow keeps red";
    EXPECT_EQ(Pixel(980, 420), kGreen);
    EXPECT_EQ(Pixel(820, 580), (Rgb{0, 0, 0})) << "blue tinted yellow is black, drawn fully";
    // The game's arrow: white towards its tip on the right, the screen behind beside its tail.
    EXPECT_EQ(Pixel(1200 + 260, 400 + 160), (Rgb{255, 255, 255}));
    EXPECT_EQ(Pixel(1200 + 20, 400 + 20), besideTheTail);
}

TEST_P(Screen, TextIsDrawnInItsColourInsideTheBoxItsFontSizeMeasures)
{
    if (!Sim::ScreenDrawsText())
    {
        GTEST_SKIP() << "this build draws no text";
    }
    Empty();
    UObject* canvas = Canvas();
    auto label = [&](double y, double size, uint8 justification, bool autoSize) {
        UObject* text = Make(L"TextBlock");
        Sim::WriteText(Find(text, L"Text").address, L"MMMM");
        SetColour(text, L"ColorAndOpacity.SpecifiedColor", 1, 0, 0);
        SetReal(text, L"Font.Size", size);
        SetByte(text, L"Justification", justification);
        UObject* slot = Place(canvas, text, 100, y, 600, 80);
        SetFlag(slot, L"bAutoSize", autoSize);
        return text;
    };
    UObject* small = label(100, 24, 0, true);
    UObject* large = label(200, 48, 0, true);
    UObject* right = label(400, 24, 2, false);
    Show(canvas);
    Render();

    const Sim::LayoutRect box = Sim::PlacementOf(small).rect;
    // Slate's sizes are points at 96 DPI: 24 points are 32 pixels, four capital Ms about 4 × 31.
    EXPECT_NEAR(box.width, 4 * 31.2, 6);
    EXPECT_NEAR(box.height, 32 * 1.16, 3);
    EXPECT_NEAR(Sim::PlacementOf(large).rect.width, 2 * box.width, 1);
    auto redIn = [&](double x0, double y0, double x1, double y1) {
        int count = 0;
        for (int y = static_cast<int>(y0); y < static_cast<int>(y1); ++y)
        {
            for (int x = static_cast<int>(x0); x < static_cast<int>(x1); ++x)
            {
                const Rgb c = Pixel(x, y);
                count += c.r > 150 && c.g < 90 && c.b < 90 ? 1 : 0;
            }
        }
        return count;
    };
    const int inside = redIn(box.x, box.y, box.Right(), box.Bottom());
    EXPECT_GT(inside, box.width * box.height * 0.25) << "capital Ms fill much of their box";
    EXPECT_EQ(redIn(box.x - 10, box.y - 10, box.Right() + 10, box.Bottom() + 10), inside) << "nothing drawn around the box";
    EXPECT_EQ(redIn(100, 400, 500, 480), 0) << "right-justified text keeps off the left";
    EXPECT_GT(redIn(700 - box.width, 400, 700, 400 + box.height), box.width * box.height * 0.25);
    EXPECT_TRUE(Sim::PlacementOf(right).drawn);
}

TEST_P(Screen, DrawingTheScreenCallsNoScriptAndCountsNoLookups)
{
    UObject* canvas = Canvas();
    UObject* border = Frame(1, 0, 0);
    Place(canvas, border, 10, 10, 100, 100);
    Content(border, Make(L"TextBlock"));
    Show(canvas);
    Sim::ResetCounters();
    const uint64 hooksFired = Sim::Stats().ScriptHooksFired;
    Render();
    Sim::LayOutScreen();
    const Sim::HostCounters& counted = Sim::Counters();
    EXPECT_EQ(counted.ProcessEvent, 0u);
    EXPECT_EQ(counted.FindProperty, 0u);
    EXPECT_EQ(counted.NameFind, 0u);
    EXPECT_EQ(counted.FindObject, 0u);
    EXPECT_EQ(counted.GetSuperStruct, 0u);
    EXPECT_EQ(counted.GetChildren, 0u);
    EXPECT_EQ(counted.InitializeValue + counted.CopyValue + counted.DestroyValue, 0u);
    EXPECT_EQ(Sim::Stats().ScriptHooksFired, hooksFired);
}

TEST_P(Screen, AFreedWidgetIsLeftOutAndNeverRead)
{
    Empty();
    UObject* canvas = Canvas();
    UObject* gone = Solid(1, 0, 0);
    Place(canvas, gone, 0, 0, 100, 100);
    UObject* stays = Solid(0, 0, 1);
    Place(canvas, stays, 200, 0, 100, 100);
    Show(canvas);
    // The slot still refers to it: under AddressSanitizer, reading its poisoned memory would stop the test.
    Sim::DestroyObject(gone);
    Render();
    EXPECT_EQ(Pixel(50, 50), Behind(50, 50));
    EXPECT_EQ(Pixel(250, 50), kBlue);
    EXPECT_FALSE(Sim::PlacementOf(gone).arranged);
}

INSTANTIATE_TEST_SUITE_P(Engines, Screen, ::testing::Values(4, 5),
                         [](const auto& version) { return "UE" + std::to_string(version.param); });

// What the screen is built from: the widgets as they are when their user widget enters the
// viewport, then only what the engine's setters and new children bring, brushes read as they
// are painted; and what AddToViewport itself refuses and where it puts a widget. Nothing here
// differs between engine versions; 5.1's two-real vectors are what the setters are given.
class ScreenBuiltOnce : public Screen
{
  protected:
    void SetUp() override { StartEngine(5, 1); }

    static void SetText(UObject* text, const wchar_t* value)
    {
        UFunction* f = Sim::FindFunctionByPath(L"/Script/UMG.TextBlock:SetText");
        Sim::CallScriptFunction(text, f, [&](uint8* parms) {
            Sim::WriteText(parms + Sim::FindPropertyUncounted(f, L"InText")->GetOffset_Internal(), value);
        });
    }

    static double LaidOutWidth(UObject* widget)
    {
        Sim::LayOutScreen();
        return Sim::PlacementOf(widget).rect.width;
    }
};

TEST_F(ScreenBuiltOnce, MembersWrittenAfterAddToViewportAreNotSeenButSettersAndBrushesAre)
{
    Empty();
    UObject* canvas = Canvas();
    UObject* tinted = Solid(1, 0, 0);
    UObject* tintedSlot = Place(canvas, tinted, 100, 100, 100, 100);
    UObject* brushed = Solid(1, 1, 1);
    Place(canvas, brushed, 300, 100, 100, 100);
    UObject* hidden = Solid(0, 0, 1);
    Place(canvas, hidden, 500, 100, 100, 100);
    UObject* label = Make(L"TextBlock");
    Sim::WriteText(Find(label, L"Text").address, L"EDIT");
    SetFlag(Place(canvas, label, 100, 300, 0, 0), L"bAutoSize", true);
    UObject* user = Show(canvas);
    const double shortWidth = LaidOutWidth(label);

    SetColour(tinted, L"ColorAndOpacity", 0, 0, 1);
    SetMargin(tintedSlot, L"LayoutData.Offsets", 700, 100, 100, 100);
    SetByte(hidden, L"Visibility", 1);
    Sim::WriteText(Find(label, L"Text").address, L"RESET DEFAULTS");
    SetColour(brushed, L"Brush.TintColor.SpecifiedColor", 0, 1, 0);
    Render();
    EXPECT_EQ(Pixel(150, 150), kRed) << "the colour the image had when it was shown";
    EXPECT_EQ(Pixel(750, 150), Behind(750, 150)) << "the slot where it was";
    EXPECT_EQ(Pixel(550, 150), kBlue) << "still visible";
    EXPECT_DOUBLE_EQ(LaidOutWidth(label), shortWidth) << "the text it had";
    EXPECT_EQ(Pixel(350, 150), kGreen) << "a brush is read as it is painted";

    Set(tinted, L"SetColorAndOpacity", L"InColorAndOpacity", std::array<float, 4>{0, 1, 0, 1});
    Set(tintedSlot, L"SetPosition", L"InPosition", std::array<double, 2>{700, 100});
    Set(hidden, L"SetVisibility", L"InVisibility", uint8{1});
    SetText(label, L"RESET DEFAULTS");
    Render();
    EXPECT_EQ(Pixel(150, 150), Behind(150, 150));
    EXPECT_EQ(Pixel(750, 150), kGreen) << "moved and recoloured by the setters";
    EXPECT_EQ(Pixel(550, 150), Behind(550, 150)) << "collapsed";
    EXPECT_GT(LaidOutWidth(label), 2 * shortWidth);

    // Taken out of the viewport, its screen goes; added again, it is built from its members.
    SetColour(tinted, L"ColorAndOpacity", 1, 0, 0);
    Sim::CallScriptFunction(user, L"RemoveFromParent");
    AddToViewport(user, 0);
    Render();
    EXPECT_EQ(Pixel(750, 150), kRed);
}

TEST_F(ScreenBuiltOnce, AChildAddedToAShownPanelIsTakenWithItsSlotAsTheyAreAtTheAdd)
{
    Empty();
    UObject* canvas = Canvas();
    Show(canvas);
    UObject* late = Solid(0, 1, 0);
    // Place writes the slot's offsets after the child was added: the screen keeps the
    // engine's default slot, 100 × 30 at the canvas's corner.
    UObject* slot = Place(canvas, late, 300, 300, 50, 50);
    Render();
    ExpectRect(late, 0, 0, 100, 30);
    EXPECT_EQ(Pixel(50, 15), kGreen);
    EXPECT_EQ(Pixel(325, 325), Behind(325, 325));
    Set(slot, L"SetPosition", L"InPosition", std::array<double, 2>{300, 300});
    Set(slot, L"SetSize", L"InSize", std::array<double, 2>{50, 50});
    Render();
    ExpectRect(late, 300, 300, 50, 50);
    EXPECT_EQ(Pixel(325, 325), kGreen);

    // A border's new content takes the border's padding as it is added.
    UObject* border = Frame(1, 0, 0);
    SetMargin(border, L"Padding", 10, 10, 10, 10);
    Set(Call(canvas, L"AddChildToCanvas", L"Content", border), L"SetSize", L"InSize", std::array<double, 2>{60, 60});
    UObject* inner = Solid(0, 0, 1);
    Content(border, inner);
    Render();
    ExpectRect(inner, 10, 10, 40, 40);
    EXPECT_EQ(Pixel(5, 30), kRed);
    EXPECT_EQ(Pixel(30, 30), kBlue);
}

TEST_F(ScreenBuiltOnce, AddToViewportRefusesAWidgetInAPanelAndOneWithoutAGameViewport)
{
    Empty();
    UObject* panel = Canvas();
    UObject* nested = UserWidget(Solid(1, 0, 0));
    Call(panel, L"AddChildToCanvas", L"Content", nested);
    AddToViewport(nested, 0);
    EXPECT_FALSE(Sim::ViewportZOrder(nested).has_value()) << "it already has a parent";

    auto userWidgetOf = [](UObject* outer) {
        UObject* user = Sim::NewObject(Sim::FindClass(L"/Script/UMG.UserWidget"), outer);
        UObject* tree = Sim::NewObject(Sim::FindClass(L"/Script/UMG.WidgetTree"), user);
        SetReference(user, L"WidgetTree", tree);
        SetReference(tree, L"RootWidget", Solid(1, 0, 0));
        return user;
    };
    UObject* loose = userWidgetOf(Sim::FindObjectByPath(L"/Engine/Transient"));
    AddToViewport(loose, 0);
    EXPECT_FALSE(Sim::ViewportZOrder(loose).has_value()) << "no world";
    UObject* unplayed = userWidgetOf(reinterpret_cast<UObject*>(Sim::CreateWorld(L"Unplayed")));
    AddToViewport(unplayed, 0);
    EXPECT_FALSE(Sim::ViewportZOrder(unplayed).has_value()) << "a world no game instance shows";
    Render();
    EXPECT_EQ(Pixel(50, 15), Behind(50, 15));
    EXPECT_EQ(Sim::Observations().addToViewport, 0u);

    // The owning player's world is the widget's, whatever its outers.
    UObject* controller = Sim::CreatePlayerController(reinterpret_cast<UWorld*>(GameWorld()), Sim::ControllerKind::Game);
    Call(loose, L"SetOwningPlayer", L"LocalPlayerController", controller);
    AddToViewport(loose, 0);
    EXPECT_EQ(Sim::ViewportZOrder(loose), 0);
    // Out of its panel, the nested one may go on the screen.
    Sim::CallScriptFunction(nested, L"RemoveFromParent");
    AddToViewport(nested, 0);
    EXPECT_EQ(Sim::ViewportZOrder(nested), 0);
    EXPECT_EQ(Sim::Observations().addToViewport, 2u);
}

TEST_F(ScreenBuiltOnce, AddToViewportPutsAWidgetTenLayersAboveItsZOrder)
{
    auto square = [&](double r, double g, double b) {
        UObject* canvas = Canvas();
        Place(canvas, Solid(r, g, b), 0, 0, 100, 100);
        return UserWidget(canvas);
    };
    UObject* hud = AddToViewport(square(1, 0, 0), 50);
    EXPECT_EQ(Sim::ViewportZOrder(hud), 50) << "the z-order asked for";
    // The game's own screens, put straight among the viewport's layers.
    Sim::AddViewportContent(square(0, 0, 1), 59);
    Render();
    EXPECT_EQ(Pixel(50, 50), kRed);
    UObject* above = square(0, 1, 0);
    Sim::AddViewportContent(above, 61);
    Render();
    EXPECT_EQ(Pixel(50, 50), kGreen);
    Sim::CallScriptFunction(above, L"RemoveFromParent");
    Sim::AddViewportContent(square(1, 1, 1), 60);
    Render();
    EXPECT_EQ(Pixel(50, 50), (Rgb{255, 255, 255})) << "on the same layer, the later one is on top";
}

// Engine builds whose structs lack members: the screen draws what the build has.
class ScreenOnOtherBuilds : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override {}

    void Start(std::vector<std::wstring> missing)
    {
        Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1, .MissingProperties = std::move(missing)});
        Sim::DefineDefaultGame();
    }
};

TEST_F(ScreenOnOtherBuilds, ARoundedBrushWithoutOutlineSettingsIsABox)
{
    Start({L"/Script/SlateCore.SlateBrush:OutlineSettings"});
    UObject* canvas = Sim::NewObject(Sim::FindClass(L"/Script/UMG.CanvasPanel"), nullptr);
    UObject* border = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Border"), nullptr);
    SetColour(border, L"BrushColor", 1, 0, 0);
    SetByte(border, L"Background.DrawAs", 4);
    Screen::Place(canvas, border, 100, 100, 100, 100);
    Screen::Show(canvas);
    Sim::RenderTargetImage image;
    Sim::RenderScreen(image);
    EXPECT_EQ(Screen::At(image, 100.5, 100.5), kRed);
}

TEST_F(ScreenOnOtherBuilds, ATextBlockWithoutFontInfoIsMeasuredAtTheDefaultSize)
{
    auto width = [&](std::vector<std::wstring> missing) {
        Start(std::move(missing));
        UObject* canvas = Sim::NewObject(Sim::FindClass(L"/Script/UMG.CanvasPanel"), nullptr);
        UObject* text = Sim::NewObject(Sim::FindClass(L"/Script/UMG.TextBlock"), nullptr);
        Sim::WriteText(Find(text, L"Text").address, L"Orvanta");
        SetFlag(Screen::Place(canvas, text, 0, 0, 10, 10), L"bAutoSize", true);
        Screen::Show(canvas);
        Sim::LayOutScreen();
        return Sim::PlacementOf(text).rect.width;
    };
    const double withFont = width({});
    EXPECT_GT(withFont, 50);
    EXPECT_DOUBLE_EQ(width({L"/Script/UMG.TextBlock:Font"}), withFont);
}
} // namespace
