// orvanta-sim's "markers" report read off a hand-built minimap tree: the marker canvas is the
// map overlay's second child, icon markers are its overlays and diamonds its borders that hold
// no text (the compass letters' discs do), shown when hit-test invisible; the arrow is the image in the overlay's third child.
#ifdef ORVANTA_WITH_SIM
#include "WidgetReport.hpp"

#include "support/EngineFixture.hpp"
#include "support/HandBuiltWidgets.hpp"

#include <Sim/MapData.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

constexpr uint8 kShown = 3;
constexpr uint8 kCollapsed = 1;

UObject* Make(const std::wstring& name) { return OrvTest::MakeWidget(name); }

// The child, for adding along a chain.
UObject* Add(UObject* panel, const wchar_t* function, UObject* child)
{
    OrvTest::AddToPanel(panel, function, child);
    return child;
}

UObject* Shown(UObject* widget, uint8 visibility)
{
    *static_cast<uint8*>(Sim::FindMemberByPath(widget, L"Visibility").address) = visibility;
    return widget;
}

class MarkerReport : public OrvTest::EngineFixture
{
  protected:
    // The mod's tree: root canvas, HUD canvas, map size box, three rims, the map overlay.
    UObject* BuildMap()
    {
        UObject* root = Make(L"CanvasPanel");
        UObject* hud = Add(root, L"AddChildToCanvas", Make(L"CanvasPanel"));
        Add(hud, L"AddChildToCanvas", Make(L"TextBlock"));
        UObject* sizeBox = Add(hud, L"AddChildToCanvas", Make(L"SizeBox"));
        UObject* rim = Add(sizeBox, L"SetContent", Make(L"Border"));
        rim = Add(rim, L"SetContent", Make(L"Border"));
        rim = Add(rim, L"SetContent", Make(L"Border"));
        UObject* overlay = Add(rim, L"SetContent", Make(L"Overlay"));
        // Of a game world, whose game instance has the viewport.
        UObject* user = OrvTest::ShowInViewport(root);
        EXPECT_EQ(Sim::ViewportWidgets(), std::vector<UObject*>{user});
        return overlay;
    }
};

TEST_F(MarkerReport, CountsTheShownIconsAndDiamondsAndReadsTheArrow)
{
    UObject* overlay = BuildMap();
    EXPECT_EQ(OrvSim::DescribeMarkers(),
              (nlohmann::json{{"icons_shown", 0}, {"diamonds_shown", 0}, {"arrow_angle", nullptr}, {"arrow_texture", false}}))
        << "an overlay without its layers";
    Add(overlay, L"AddChildToOverlay", Make(L"Image"));
    UObject* markers = Add(overlay, L"AddChildToOverlay", Make(L"CanvasPanel"));
    UObject* arrowBox = Add(overlay, L"AddChildToOverlay", Make(L"SizeBox"));
    UObject* arrow = Add(arrowBox, L"SetContent", Make(L"Image"));
    // Added to the shown tree, each is taken as it is then.
    std::vector<UObject*> icons;
    for (uint8 visibility : {kShown, kShown, kCollapsed, uint8{4}})
    {
        icons.push_back(Add(markers, L"AddChildToCanvas", Shown(Make(L"Overlay"), visibility)));
    }
    for (uint8 visibility : {kShown, kCollapsed, kShown, kShown, uint8{0}})
    {
        Add(markers, L"AddChildToCanvas", Shown(Make(L"Border"), visibility));
    }
    Add(markers, L"AddChildToCanvas", Shown(Make(L"Image"), kShown));
    // A compass letter's disc: a shown border, but holding its letter.
    Add(Add(markers, L"AddChildToCanvas", Shown(Make(L"Border"), kShown)), L"SetContent", Make(L"TextBlock"));
    Sim::CallScriptFunction(arrow, Sim::FindFunctionByPath(L"/Script/UMG.Widget:SetRenderTransformAngle"),
                            [](uint8* parms) { *reinterpret_cast<float*>(parms) = 37.5f; });

    nlohmann::json described = OrvSim::DescribeMarkers();
    EXPECT_EQ(described["icons_shown"], 2);
    EXPECT_EQ(described["diamonds_shown"], 3);
    EXPECT_EQ(described["arrow_angle"], 37.5);
    EXPECT_EQ(described["arrow_texture"], false);

    // Members written once the tree is on screen are not what the screen shows.
    Shown(icons[2], kShown);
    *static_cast<float*>(Sim::FindMemberByPath(arrow, L"RenderTransform.Angle").address) = 90.0f;
    EXPECT_EQ(OrvSim::DescribeMarkers()["icons_shown"], 2);
    EXPECT_EQ(OrvSim::DescribeMarkers()["arrow_angle"], 37.5);

    auto resource = Sim::FindMemberByPath(arrow, L"Brush.ResourceObject");
    UObject* texture = Sim::GameTexture(L"T_MapIcon_Arrow");
    static_cast<FObjectPropertyBase*>(resource.property)->SetObjectPropertyValue(resource.address, texture);
    EXPECT_EQ(OrvSim::DescribeMarkers()["arrow_texture"], true);
    static_cast<FObjectPropertyBase*>(resource.property)->SetObjectPropertyValue(resource.address, Make(L"Image"));
    EXPECT_EQ(OrvSim::DescribeMarkers()["arrow_texture"], false) << "a resource that is no texture";
}

TEST_F(MarkerReport, MarkersOutsideTheSecondLayerAreNotCounted)
{
    UObject* overlay = BuildMap();
    UObject* first = Add(overlay, L"AddChildToOverlay", Make(L"CanvasPanel"));
    Shown(Add(first, L"AddChildToCanvas", Make(L"Overlay")), kShown);
    Add(overlay, L"AddChildToOverlay", Make(L"Image"));
    EXPECT_EQ(OrvSim::DescribeMarkers()["icons_shown"], 0) << "the second layer is an image, not the marker canvas";
    EXPECT_EQ(OrvSim::DescribeMarkers()["arrow_angle"], nullptr);
}
} // namespace
#endif
