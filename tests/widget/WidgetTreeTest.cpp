// The HUD's widget tree as the engine holds it after a session's first frame: every widget in
// its place and order, dressed and shown or collapsed as built; the round and square frame on
// engines with and without rounded brushes; the font fallback; the controls' colours; and a
// creation that fails cleanly, is reported once and is retried.
#include "widget/WidgetFixture.hpp"

#include "widget/Controls.hpp"

#include <Sim/Game.hpp>
#include <Sim/Input.hpp>

#include <gtest/gtest.h>

#include <functional>

namespace OrvTest
{
namespace
{
using Orv::kVisibilityCollapsed;
using Orv::kVisibilityShown;

struct Flavour
{
    int major;
    int minor;
};

class WidgetTree : public WidgetFixture, public ::testing::WithParamInterface<Flavour>
{
  protected:
    Orv::Reflection reflection_;

    void SetUp() override
    {
        WidgetFixture::SetUp();
        StartEngine(GetParam().major, GetParam().minor);
        Sim::AdvanceClock(7 * Orv::kSecond);
    }
};

TEST_P(WidgetTree, TheTreeIsBuiltInItsOrderAndShownInTheViewport)
{
    StartHud();
    const Orv::WidgetState& w = Widget();
    ASSERT_NE(w.userWidget, nullptr);
    ASSERT_NE(w.arrowImage, nullptr);
    EXPECT_EQ(Sim::ViewportZOrder(w.userWidget), 50);
    EXPECT_EQ(Sim::OwningPlayerOf(w.userWidget), controller_);
    EXPECT_EQ(w.userWidget->GetOuterPrivate(), gameInstance_);
    UObject* tree = ValueField<UObject*>(w.userWidget, L"WidgetTree");
    EXPECT_EQ(tree->GetOuterPrivate(), w.userWidget);
    EXPECT_EQ(ValueField<UObject*>(tree, L"RootWidget"), w.rootCanvas);
    EXPECT_EQ(w.hudCanvas->GetOuterPrivate(), tree);

    EXPECT_EQ(Children(w.rootCanvas), std::vector<UObject*>{w.hudCanvas});
    EXPECT_EQ(SlotOf(w.hudCanvas), w.hudSlot);
    EXPECT_EQ(Children(w.mapSizeBox), std::vector<UObject*>{w.outerRim});
    EXPECT_EQ(Children(w.outerRim), std::vector<UObject*>{w.middleRim});
    EXPECT_EQ(Children(w.middleRim), std::vector<UObject*>{w.innerRim});
    EXPECT_EQ(Children(w.innerRim), std::vector<UObject*>{w.mapOverlay});
    EXPECT_EQ((Children(w.mapOverlay)), (std::vector<UObject*>{w.mapImage, w.markerCanvas, w.arrowSizeBox}));
    EXPECT_EQ(Children(w.arrowSizeBox), std::vector<UObject*>{w.arrowImage});

    // The map, then the panel and its captions, then the controls: later ones draw on top.
    std::vector<UObject*> hud = {w.mapSizeBox, w.perfPanel};
    for (const auto& caption : w.perfTexts)
    {
        hud.push_back(caption.text);
    }
    hud.push_back(w.coordinatesBackdrop);
    EXPECT_EQ(Children(w.coordinatesBackdrop), std::vector<UObject*>{w.coordinatesText});
    for (const auto& control : w.controls)
    {
        hud.push_back(control.frame);
    }
    EXPECT_EQ(Children(w.hudCanvas), hud);
    EXPECT_EQ(SlotOf(w.mapSizeBox), w.mapSlot);
    EXPECT_EQ(SlotOf(w.perfPanel), w.perfPanelSlot);

    // Icons first, diamonds above them.
    std::vector<UObject*> markers;
    for (const auto& icon : Session().markers.iconSlots)
    {
        markers.push_back(icon.root);
        EXPECT_EQ((Children(icon.root)), (std::vector<UObject*>{icon.background, icon.icon}));
    }
    for (const auto& diamond : Session().markers.diamondSlots)
    {
        markers.push_back(diamond.root);
        EXPECT_EQ(diamond.frame, diamond.root);
        EXPECT_EQ(Children(diamond.frame), std::vector<UObject*>{diamond.fill});
        EXPECT_EQ(diamond.kind, Orv::kNoMarkerKind);
        EXPECT_FALSE(diamond.shown);
    }
    // The compass letters above every marker.
    for (const auto& letter : w.compass)
    {
        markers.push_back(letter.backdrop);
        EXPECT_EQ(SlotOf(letter.backdrop), letter.slot);
        EXPECT_EQ(Children(letter.backdrop).size(), 1u);
    }
    // The north mark, holding nothing; last the waypoint's distance, holding its text.
    markers.push_back(w.northTick.backdrop);
    EXPECT_TRUE(Children(w.northTick.backdrop).empty());
    const Orv::DistanceLabel& distance = Session().markers.waypointDistance;
    markers.push_back(distance.backdrop);
    EXPECT_EQ(Children(distance.backdrop), std::vector<UObject*>{distance.text});
    EXPECT_EQ(Children(w.markerCanvas), markers);
    EXPECT_EQ(Sim::Observations().widgetsConstructed, 498u);
}

TEST_P(WidgetTree, TheFrameIsDressedAsBuilt)
{
    StartHud();
    const Orv::WidgetState& w = Widget();
    UObject* const shown[] = {w.rootCanvas, w.hudCanvas,  w.mapSizeBox,   w.outerRim,     w.middleRim, w.innerRim,
                              w.mapOverlay, w.mapImage, w.markerCanvas, w.arrowSizeBox, w.arrowImage};
    for (UObject* widget : shown)
    {
        EXPECT_EQ(VisibilityOf(widget), kVisibilityShown) << widget->GetName();
    }
    EXPECT_EQ(ColourField(w.outerRim, L"BrushColor"), Look::kBronze);
    EXPECT_EQ(ColourField(w.middleRim, L"BrushColor"), Look::kRimDarkFill);
    EXPECT_EQ(ColourField(w.innerRim, L"BrushColor"), Look::kRimLightBronze);
    for (UObject* rim : {w.outerRim, w.middleRim, w.innerRim})
    {
        EXPECT_EQ(ColourField(rim, L"Padding"), (std::array<float, 4>{1, 1, 1, 1}));
        EXPECT_EQ(PaddingCalled(rim), (std::array<float, 4>{1, 1, 1, 1}));
    }
    EXPECT_EQ(*static_cast<UObject**>(MemberAt(w.mapImage, L"Brush.ResourceObject").second), RenderTarget());

    EXPECT_EQ(RealMember(w.arrowSizeBox, L"WidthOverride"), 30);
    EXPECT_EQ(RealMember(w.arrowSizeBox, L"HeightOverride"), 30);
    EXPECT_EQ(Sim::LastCall(w.arrowSizeBox, L"SetWidthOverride").Number(L"InWidthOverride"), 30);
    EXPECT_EQ(Sim::LastCall(w.arrowSizeBox, L"SetHeightOverride").Number(L"InHeightOverride"), 30);
    EXPECT_TRUE(BoolField(w.arrowSizeBox, L"bOverride_WidthOverride"));
    EXPECT_TRUE(BoolField(w.arrowSizeBox, L"bOverride_HeightOverride"));
    EXPECT_EQ(RealMember(w.arrowImage, L"RenderTransform.Angle"), 270);
    EXPECT_EQ(PivotCalled(w.arrowImage), std::make_pair(0.5, 0.5));
    // Picture and markers fill the overlay; the arrow box sits in its centre.
    for (UObject* filling : {w.mapImage, w.markerCanvas})
    {
        EXPECT_EQ(ByteMember(SlotOf(filling), L"HorizontalAlignment"), 0);
        EXPECT_EQ(ByteMember(SlotOf(filling), L"VerticalAlignment"), 0);
    }
    EXPECT_EQ(ByteMember(SlotOf(w.arrowSizeBox), L"HorizontalAlignment"), 2);
    EXPECT_EQ(ByteMember(SlotOf(w.arrowSizeBox), L"VerticalAlignment"), 2);
    // Anchored top-left with a top-left alignment.
    EXPECT_EQ(RealMember(w.hudSlot, L"LayoutData.Alignment.X"), 0);
    EXPECT_EQ(RealMember(w.hudSlot, L"LayoutData.Anchors.Maximum.Y"), 0);
}

TEST_P(WidgetTree, MarkersPanelAndCaptionsStartCollapsed)
{
    StartHud();
    for (const auto& icon : Session().markers.iconSlots)
    {
        EXPECT_EQ(VisibilityOf(icon.root), kVisibilityCollapsed);
        EXPECT_EQ(VisibilityOf(icon.background), kVisibilityShown);
        EXPECT_EQ(VisibilityOf(icon.icon), kVisibilityShown);
        EXPECT_EQ(SlotRect(icon.slot), (Rect{0, 0, 20, 20}));
        EXPECT_EQ(ColourField(icon.background, L"ColorAndOpacity"), Look::kIconBackdrop);
        // White is the engine's default too: only the call shows it was asked for.
        EXPECT_EQ(CalledColour(icon.icon, L"SetColorAndOpacity", L"InColorAndOpacity"), Look::kWhite);
        for (UObject* image : {icon.background, icon.icon})
        {
            EXPECT_EQ(ByteMember(SlotOf(image), L"HorizontalAlignment"), 0);
            EXPECT_EQ(ByteMember(SlotOf(image), L"VerticalAlignment"), 0);
            EXPECT_EQ(PivotCalled(image), std::make_pair(0.5, 0.5));
        }
    }
    for (const auto& diamond : Session().markers.diamondSlots)
    {
        EXPECT_EQ(VisibilityOf(diamond.frame), kVisibilityCollapsed);
        EXPECT_EQ(VisibilityOf(diamond.fill), kVisibilityShown);
        EXPECT_EQ(SlotRect(diamond.slot), (Rect{0, 0, 18, 18}));
        EXPECT_EQ(RealMember(diamond.frame, L"RenderTransform.Angle"), 45);
        EXPECT_EQ(PivotCalled(diamond.frame), std::make_pair(0.5, 0.5));
        EXPECT_EQ(ColourField(diamond.frame, L"Padding"), (std::array<float, 4>{2, 2, 2, 2}));
        EXPECT_EQ(ColourField(diamond.fill, L"Padding"), (std::array<float, 4>{0, 0, 0, 0}));
        EXPECT_EQ(ColourField(diamond.frame, L"BrushColor"), Look::kDiamondEdge);
    }
    EXPECT_EQ(VisibilityOf(Widget().perfPanel), kVisibilityCollapsed);
    EXPECT_EQ(VisibilityOf(Widget().perfPanelFill), kVisibilityShown);
    EXPECT_EQ(ColourField(Widget().perfPanel, L"BrushColor"), Look::kBronze);
    EXPECT_EQ(ColourField(Widget().perfPanel, L"Padding"), (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_EQ(ColourField(Widget().perfPanelFill, L"BrushColor"), Look::kControlDarkFill);
    EXPECT_EQ(ColourField(Widget().perfPanelFill, L"Padding"), (std::array<float, 4>{0, 0, 0, 0}));
    EXPECT_EQ(Children(Widget().perfPanel), std::vector<UObject*>{Widget().perfPanelFill});
    const wchar_t* captions[] = {L"PERFORMANCE", L"MAP FPS", L"ICON FPS", L"QUALITY", L"TYPE + ENTER  FPS 1-240  Q .25-4"};
    const double sizes[] = {10, 9, 9, 9, 7};
    for (std::size_t i = 0; i < Orv::kPerfTextCount; ++i)
    {
        UObject* text = Widget().perfTexts[i].text;
        EXPECT_EQ(VisibilityOf(text), kVisibilityCollapsed);
        EXPECT_EQ(TextOf(text), captions[i]);
        EXPECT_EQ(RealMember(text, L"Font.Size"), sizes[i]);
        EXPECT_EQ(ColourField(text, L"ColorAndOpacity"), Look::kCaptionText);
    }
}

TEST_P(WidgetTree, EveryControlHasFrameFillAndItsCaption)
{
    StartHud();
    const wchar_t* texts[] = {L"EDIT", L"+",  L"-",  L"AI",   L"O",    L"IN",   L"RES",
                              L"QUEST", L"POI", L"60", L"60", L"4.00", L"RESET DEFAULTS", L"",
                              L"N-UP", L"XY", L"100%"};
    // Each caption's own size where it fits its control, else the size at which it does (one
    // point less where the engine keeps whole points): LOCK in EDIT's 38, a 20-unit row's height
    // for + - O, QUEST in its 42.75.
    const double sizes[] = {8, 11.5, 11.5, 9, 11.5, 9, 9, 7.35, 9, 9, 9, 9, 9, 0, 8, 8, 8};
    static_assert(std::size(texts) == Orv::kControlCount && std::size(sizes) == Orv::kControlCount);
    for (std::size_t i = 0; i < Orv::kControlCount; ++i)
    {
        const Orv::ControlWidget& control = Widget().controls[i];
        ASSERT_NE(control.frame, nullptr);
        EXPECT_EQ(Children(control.frame), std::vector<UObject*>{control.fill});
        EXPECT_EQ(ColourField(control.frame, L"BrushColor"), Look::kBronze);
        EXPECT_EQ(ColourField(control.frame, L"Padding"), (std::array<float, 4>{1, 1, 1, 1}));
        EXPECT_EQ(VisibilityOf(control.fill), kVisibilityShown) << i;
        EXPECT_EQ(SlotOf(control.frame), control.slot);
        if (i == Orv::kResizeHandle)
        {
            EXPECT_EQ(control.text, nullptr);
            EXPECT_TRUE(Children(control.fill).empty());
            continue;
        }
        EXPECT_EQ(Children(control.fill), std::vector<UObject*>{control.text});
        EXPECT_EQ(TextOf(control.text), texts[i]) << i;
        EXPECT_NEAR(RealMember(control.text, L"Font.Size"), sizes[i], 0.6) << i;
        EXPECT_EQ(VisibilityOf(control.text), kVisibilityShown);
        EXPECT_EQ(ColourField(control.text, L"ColorAndOpacity"), Look::kCaptionText) << i;
        EXPECT_EQ(ByteMember(SlotOf(control.text), L"HorizontalAlignment"), 2);
        EXPECT_EQ(ByteMember(SlotOf(control.text), L"VerticalAlignment"), 2);
        // The fill's own padding and alignment, which the engine lays the caption out by.
        EXPECT_EQ(ByteMember(control.fill, L"HorizontalAlignment"), 2);
        EXPECT_EQ(ColourField(control.fill, L"Padding"), (std::array<float, 4>{0, 0, 0, 0}));
    }
}

TEST_P(WidgetTree, ARoundFrameIsMadeOfDiscsAndASquareOneOfBoxes)
{
    StartHud();
    const Orv::WidgetState& w = Widget();
    EXPECT_EQ(ByteMember(w.mapImage, L"Brush.DrawAs"), 4);
    EXPECT_EQ(CornerRadii(w.mapImage, L"Brush"), (std::vector<double>{1024, 1024, 1024, 1024}));
    EXPECT_EQ(ByteMember(w.mapImage, L"Brush.OutlineSettings.RoundingType"), 1);
    for (UObject* rim : {w.outerRim, w.middleRim, w.innerRim})
    {
        EXPECT_EQ(ByteMember(rim, L"Background.DrawAs"), 4);
        EXPECT_EQ(CornerRadii(rim, L"Background")[3], 1024);
        EXPECT_EQ(ByteMember(rim, L"Background.OutlineSettings.RoundingType"), 1);
    }
    // The engine's four radii are floats before 5.0 and doubles after.
    const auto radiiSize = MemberAt(w.mapImage, L"Brush.OutlineSettings.CornerRadii").first->GetElementSize();
    EXPECT_EQ(radiiSize, GetParam().major < 5 ? 16 : 32);

    widgetMod_->workingCircular = false;
    widgetMod_->ApplyFrameShape();
    EXPECT_EQ(ByteMember(w.mapImage, L"Brush.DrawAs"), 3);
    EXPECT_EQ(CornerRadii(w.mapImage, L"Brush"), (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(ByteMember(w.mapImage, L"Brush.OutlineSettings.RoundingType"), 0);
    for (UObject* rim : {w.outerRim, w.middleRim, w.innerRim})
    {
        EXPECT_EQ(ByteMember(rim, L"Background.DrawAs"), 1);
        EXPECT_EQ(CornerRadii(rim, L"Background")[0], 0);
    }
    EXPECT_TRUE(Orv::Settings().Circular);
}

TEST_P(WidgetTree, TheOutlineLineIsAlwaysOff)
{
    StartHud();
    auto [width, value] = MemberAt(Widget().innerRim, L"Background.OutlineSettings.Width");
    *static_cast<float*>(value) = 3.0f;
    widgetMod_->ApplyFrameShape();
    EXPECT_EQ(*static_cast<float*>(value), 0.0f);
}

class FrameShape : public WidgetFixture
{
};

// Rounding needs the outline settings, not each of their members: whichever one an engine
// lacks, the rest are still written and the frame comes up round.
TEST_F(FrameShape, AnOutlineMissingOneMemberStillRounds)
{
    for (const wchar_t* member : {L"CornerRadii", L"RoundingType", L"Width"})
    {
        SCOPED_TRACE(std::wstring(member).size());
        mod_.reset();
        Sim::ResetEngine({.MissingProperties = {std::wstring(L"/Script/SlateCore.SlateBrushOutlineSettings:") + member}});
        Sim::DefineDefaultGame();
        Sim::AdvanceClock(7 * Orv::kSecond);
        Orv::Settings() = Orv::DefaultSettings();
        StartHud();
        const Orv::WidgetState& w = Widget();
        ASSERT_NE(w.arrowImage, nullptr);
        EXPECT_TRUE(Orv::Settings().Circular);
        EXPECT_EQ(BrushColourCalled(w.controls[Orv::kShapeToggle].fill), Look::kActive);
        for (auto [widget, brush] : {std::pair{w.mapImage, L"Brush"}, std::pair{w.outerRim, L"Background"}})
        {
            const std::wstring outline = std::wstring(brush) + L".OutlineSettings.";
            EXPECT_EQ(ByteMember(widget, std::wstring(brush) + L".DrawAs"), 4);
            if (MemberAt(widget, outline + L"CornerRadii").first != nullptr)
            {
                EXPECT_EQ(CornerRadii(widget, brush), (std::vector<double>{1024, 1024, 1024, 1024}));
            }
            if (MemberAt(widget, outline + L"RoundingType").first != nullptr)
            {
                EXPECT_EQ(ByteMember(widget, outline + L"RoundingType"), 1);
            }
        }
    }
}

// The frame is shaped as one: while any of the picture and its three rims is gone, a shape
// change touches none of the others.
TEST_P(WidgetTree, AShapeChangeWaitsForThePictureAndAllThreeRims)
{
    StartHud();
    Orv::WidgetState& w = widgetMod_->MutableSession().widget;
    UObject* dead = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Border"), nullptr);
    Sim::BeginDestroy(dead);
    widgetMod_->workingCircular = false;
    for (UObject* Orv::WidgetState::*handle :
         {&Orv::WidgetState::mapImage, &Orv::WidgetState::outerRim, &Orv::WidgetState::middleRim, &Orv::WidgetState::innerRim})
    {
        UObject* live = w.*handle;
        w.*handle = dead;
        widgetMod_->ApplyFrameShape();
        w.*handle = live;
        EXPECT_EQ(ByteMember(w.mapImage, L"Brush.DrawAs"), 4);
        for (UObject* rim : {w.outerRim, w.middleRim, w.innerRim})
        {
            EXPECT_EQ(ByteMember(rim, L"Background.DrawAs"), 4);
        }
    }
    widgetMod_->ApplyFrameShape();
    EXPECT_EQ(ByteMember(w.mapImage, L"Brush.DrawAs"), 3);
    EXPECT_EQ(ByteMember(w.innerRim, L"Background.DrawAs"), 1);
}

TEST_P(WidgetTree, BrushesWithoutOutlineSettingsLeaveTheFrameSquareAndTheSettingOff)
{
    Sim::ResetEngine({.VersionMajor = GetParam().major,
                      .VersionMinor = GetParam().minor,
                      .MissingProperties = {L"/Script/SlateCore.SlateBrush:OutlineSettings"}});
    Sim::DefineDefaultGame();
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartHud();
    EXPECT_FALSE(widgetMod_->WorkingCircular());
    EXPECT_FALSE(Orv::Settings().Circular);
    // The shape toggle shows the frame as it is: square.
    EXPECT_EQ(BrushColourCalled(Widget().controls[Orv::kShapeToggle].fill), Look::kControlDarkFill);
    EXPECT_EQ(ByteMember(Widget().mapImage, L"Brush.DrawAs"), 3);
    EXPECT_EQ(ByteMember(Widget().outerRim, L"Background.DrawAs"), 1);
    // Nothing was saved for it.
    Orv::ModSettings onDisk = Orv::DefaultSettings();
    Orv::LoadSettings(onDisk);
    EXPECT_TRUE(onDisk.Circular);

    // A square frame asked for needs no outline settings.
    widgetMod_->ApplyFrameShape();
    EXPECT_EQ(ByteMember(Widget().middleRim, L"Background.DrawAs"), 1);
}

TEST_P(WidgetTree, AnImageWithoutABrushLeavesTheFrameSquare)
{
    Sim::ResetEngine({.VersionMajor = GetParam().major,
                      .VersionMinor = GetParam().minor,
                      .MissingProperties = {L"/Script/UMG.Image:Brush"}});
    Sim::DefineDefaultGame();
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartHud();
    ASSERT_NE(Widget().arrowImage, nullptr);
    EXPECT_FALSE(widgetMod_->WorkingCircular());
    EXPECT_EQ(ByteMember(Widget().outerRim, L"Background.DrawAs"), 1);
    EXPECT_FALSE(Orv::SetBrushShape(reflection_, Widget().mapImage, L"Brush", false, 3));
    EXPECT_FALSE(Orv::SetBrushShape(reflection_, Widget().outerRim, L"Brush", false, 1));
    EXPECT_TRUE(Orv::SetBrushShape(reflection_, Widget().outerRim, L"Background", false, 1));
}

TEST_P(WidgetTree, BrushesWithoutADrawTypeCannotBeShaped)
{
    Sim::ResetEngine({.VersionMajor = GetParam().major,
                      .VersionMinor = GetParam().minor,
                      .MissingProperties = {L"/Script/SlateCore.SlateBrush:DrawAs"}});
    Sim::DefineDefaultGame();
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartHud();
    ASSERT_NE(Widget().arrowImage, nullptr);
    EXPECT_FALSE(widgetMod_->WorkingCircular());
    EXPECT_FALSE(Orv::SetBrushShape(reflection_, Widget().outerRim, L"Background", false, 1));
    EXPECT_EQ(CornerRadii(Widget().mapImage, L"Brush")[0], 0);
}

TEST_P(WidgetTree, TextBlocksWithoutAFontAreScaledFromTheDefaultSize)
{
    Sim::ResetEngine({.VersionMajor = GetParam().major,
                      .VersionMinor = GetParam().minor,
                      .MissingProperties = {L"/Script/UMG.TextBlock:Font"}});
    Sim::DefineDefaultGame();
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartHud();
    UObject* edit = Widget().controls[Orv::kEditButton].text;
    EXPECT_EQ(TextOf(edit), L"EDIT");
    // LOCK's size in EDIT's 38 units, and a 20-unit row's height for +, over the default 24.
    EXPECT_NEAR(RealMember(edit, L"RenderTransform.Scale.X"), 8.005 / 24, 0.001);
    EXPECT_NEAR(RealMember(edit, L"RenderTransform.Scale.Y"), 8.005 / 24, 0.001);
    EXPECT_NEAR(RealMember(Widget().controls[Orv::kZoomInButton].text, L"RenderTransform.Scale.X"), 11.538 / 24, 0.001);
    EXPECT_FLOAT_EQ(static_cast<float>(RealMember(Widget().perfTexts[4].text, L"RenderTransform.Scale.X")), 7.0f / 24.0f);
}

TEST_P(WidgetTree, WithAFontTheTextKeepsItsNaturalScale)
{
    StartHud();
    EXPECT_EQ(RealMember(Widget().controls[Orv::kEditButton].text, L"RenderTransform.Scale.X"), 1.0);
}

TEST_P(WidgetTree, ControlFillsShowHoverOverActiveOverIdle)
{
    StartHud();
    const auto fill = [&](std::size_t index) { return ColourField(Widget().controls[index].fill, L"BrushColor"); };
    const auto dark = Look::kControlDarkFill;
    const auto active = Look::kActive;
    const auto hover = Look::kHover;
    // Default settings: AI, shape, indoor and the three categories are on.
    EXPECT_EQ(fill(Orv::kEditButton), dark);
    EXPECT_EQ(fill(Orv::kZoomInButton), dark);
    for (std::size_t index : {Orv::kAiToggle, Orv::kShapeToggle, Orv::kIndoorToggle, Orv::kResourcesToggle,
                              Orv::kQuestsToggle, Orv::kPoisToggle, Orv::kResizeHandle})
    {
        EXPECT_EQ(fill(index), active) << index;
    }
    EXPECT_EQ(fill(Orv::kCaptureRateField), dark);
    EXPECT_EQ(fill(Orv::kResetButton), dark);

    Orv::Settings().ShowAi = false;
    Orv::Settings().ShowQuests = false;
    Orv::Settings().IndoorCameraEnabled = false;
    widgetMod_->workingCircular = false;
    Edit().editMode = true;
    Edit().editingField = Orv::EditingField{2};
    Edit().hoveredButton = Orv::kPoisToggle;
    widgetMod_->RefreshControlColours();
    EXPECT_EQ(fill(Orv::kEditButton), active);
    EXPECT_EQ(fill(Orv::kAiToggle), dark);
    EXPECT_EQ(fill(Orv::kShapeToggle), dark);
    EXPECT_EQ(fill(Orv::kIndoorToggle), dark);
    EXPECT_EQ(fill(Orv::kResourcesToggle), active);
    EXPECT_EQ(fill(Orv::kQuestsToggle), dark);
    EXPECT_EQ(fill(Orv::kPoisToggle), hover);
    EXPECT_EQ(fill(Orv::kCaptureRateField), dark);
    EXPECT_EQ(fill(Orv::kMarkerRateField), active);
    EXPECT_EQ(fill(Orv::kRenderScaleField), dark);

    Edit().editingField = Orv::EditingField{3};
    Edit().hoveredButton = Orv::kResizeHandle;
    widgetMod_->RefreshControlColours();
    EXPECT_EQ(fill(Orv::kResizeHandle), hover);
    EXPECT_EQ(fill(Orv::kPoisToggle), active);
    EXPECT_EQ(fill(Orv::kRenderScaleField), active);
    EXPECT_EQ(fill(Orv::kMarkerRateField), dark);
    Edit().editingField = Orv::EditingField{1};
    Edit().hoveredButton = Orv::kCaptureRateField;
    widgetMod_->RefreshControlColours();
    EXPECT_EQ(fill(Orv::kCaptureRateField), hover);
    EXPECT_EQ(fill(Orv::kResizeHandle), active);
}

// Each toggle follows its own flag and no other; each value field lights while it is typed into.
TEST_P(WidgetTree, EachControlLightsForItsOwnStateAlone)
{
    StartHud();
    Orv::ModSettings& settings = Orv::Settings();
    struct Toggle
    {
        std::size_t control;
        std::function<void(bool)> set;
    };
    const Toggle toggles[] = {
        {Orv::kEditButton, [&](bool on) { Edit().editMode = on; }},
        {Orv::kAiToggle, [&](bool on) { settings.ShowAi = on; }},
        {Orv::kShapeToggle, [&](bool on) { widgetMod_->workingCircular = on; }},
        {Orv::kIndoorToggle, [&](bool on) { settings.IndoorCameraEnabled = on; }},
        {Orv::kResourcesToggle, [&](bool on) { settings.ShowResources = on; }},
        {Orv::kQuestsToggle, [&](bool on) { settings.ShowQuests = on; }},
        {Orv::kPoisToggle, [&](bool on) { settings.ShowPois = on; }},
        {Orv::kCaptureRateField, [&](bool on) { Edit().editingField = on ? Orv::EditingField::CaptureRate : Orv::EditingField::None; }},
        {Orv::kMarkerRateField, [&](bool on) { Edit().editingField = on ? Orv::EditingField::MarkerRate : Orv::EditingField::None; }},
        {Orv::kRenderScaleField, [&](bool on) { Edit().editingField = on ? Orv::EditingField::RenderScale : Orv::EditingField::None; }},
        {Orv::kNorthUpToggle, [&](bool on) { Orv::Hud().NorthUp = on; }},
        {Orv::kCoordinatesToggle, [&](bool on) { Orv::Hud().Coordinates = on; }},
        // The opacity button lights while the map is see-through at all.
        {Orv::kOpacityButton, [&](bool on) { Orv::Hud().MapOpacity = on ? 0.99f : 1.0f; }},
    };
    const auto fills = [&] {
        std::vector<std::array<float, 4>> colours;
        for (const auto& control : Widget().controls)
        {
            colours.push_back(BrushColourCalled(control.fill));
        }
        return colours;
    };
    for (const Toggle& toggle : toggles)
    {
        toggle.set(false);
    }
    widgetMod_->RefreshControlColours();
    const auto idle = fills();
    for (std::size_t index = 0; index < Orv::kResizeHandle; ++index)
    {
        EXPECT_EQ(idle[index], Look::kControlDarkFill) << index;
    }
    // The handle shows as active so that it can be found.
    EXPECT_EQ(idle[Orv::kResizeHandle], Look::kActive);
    for (const Toggle& toggle : toggles)
    {
        toggle.set(true);
        widgetMod_->RefreshControlColours();
        auto expected = idle;
        expected[toggle.control] = Look::kActive;
        EXPECT_EQ(fills(), expected) << toggle.control;
        toggle.set(false);
    }
    // Any control under the mouse shows hover, the plain buttons too; the handle as well.
    for (std::size_t index = 0; index < Orv::kControlCount; ++index)
    {
        Edit().hoveredButton = index;
        widgetMod_->RefreshControlColours();
        auto expected = idle;
        expected[index] = Look::kHover;
        EXPECT_EQ(fills(), expected) << index;
    }
    EXPECT_EQ(Sim::CallCount(Widget().controls[Orv::kResetButton].fill, L"SetBrushColor"), 1u + 1u + 1u + 13u + 17u);
}

TEST_P(WidgetTree, TheLeftButtonHeldAtCreationIsNotAPress)
{
    ORV_SKIP_WITHOUT_SIMULATED_KEYS();
    Sim::SetKeyDown(VK_LBUTTON, true);
    StartHud();
    EXPECT_TRUE(Session().edit.leftButtonWasDown);
    Sim::SetKeyDown(VK_LBUTTON, false);
}

TEST_P(WidgetTree, APerformanceCaptionBeyondTheFiveFails)
{
    StartHud();
    Orv::WidgetClasses classes;
    ASSERT_TRUE(Orv::FindWidgetClasses(reflection_, classes));
    UObject* tree = ValueField<UObject*>(Widget().userWidget, L"WidgetTree");
    const Orv::WidgetBuilder builder(reflection_, classes, tree);
    Orv::WidgetState spare;
    spare.hudCanvas = Widget().hudCanvas;
    const auto made = Sim::Observations().widgetsConstructed;
    EXPECT_FALSE(builder.CreatePerfText(spare, 5, L"SIXTH"));
    EXPECT_EQ(Sim::Observations().widgetsConstructed, made);
    EXPECT_TRUE(builder.CreatePerfText(spare, 4, L"FIFTH"));
    EXPECT_EQ(TextOf(spare.perfTexts[4].text), L"FIFTH");
    EXPECT_EQ(Children(Widget().hudCanvas).back(), spare.perfTexts[4].text);
}

TEST_P(WidgetTree, AControlBeyondTheFourteenFails)
{
    StartHud();
    Orv::WidgetClasses classes;
    ASSERT_TRUE(Orv::FindWidgetClasses(reflection_, classes));
    const Orv::WidgetBuilder builder(reflection_, classes, ValueField<UObject*>(Widget().userWidget, L"WidgetTree"));
    Orv::WidgetState spare;
    spare.hudCanvas = Widget().hudCanvas;
    const auto made = Sim::Observations().widgetsConstructed;
    EXPECT_FALSE(builder.CreateControl(spare, Orv::kControlCount, L"X"));
    EXPECT_EQ(Sim::Observations().widgetsConstructed, made);
    EXPECT_TRUE(builder.CreateControl(spare, Orv::kResizeHandle, L""));
    EXPECT_EQ(Sim::Observations().widgetsConstructed, made + 2);
}

TEST_P(WidgetTree, TeardownTakesTheWidgetOutOfTheViewportAndForgetsIt)
{
    StartHud();
    UObject* userWidget = Widget().userWidget;
    widgetMod_->MutableSession().edit.editMode = true;
    Sim::DestroyActor(pawn_);
    Frame();
    EXPECT_FALSE(Sim::ViewportZOrder(userWidget).has_value());
    EXPECT_EQ(Widget().userWidget, nullptr);
    EXPECT_EQ(Widget().controls[0].frame, nullptr);
    EXPECT_EQ(Session().markers.iconSlots[95].root, nullptr);
    EXPECT_FALSE(Session().edit.editMode);
    EXPECT_EQ(Session().edit.hoveredButton, Orv::kControlCount);
    EXPECT_EQ(Layout().viewportWidth, 0);
    EXPECT_TRUE(Layout().panelOnLeft);
    // Nothing of the old tree stays alive once the collector has run.
    Sim::CollectGarbage();
    EXPECT_FALSE(Sim::HoldsObject(userWidget));
}

TEST_P(WidgetTree, TheViewportKeepsTheWholeTreeAliveThroughCollections)
{
    StartHud();
    Sim::CollectGarbage();
    Frame();
    EXPECT_TRUE(Sim::HoldsObject(Widget().userWidget));
    EXPECT_TRUE(Sim::HoldsObject(Widget().arrowImage));
    EXPECT_TRUE(Sim::HoldsObject(Session().markers.diamondSlots[63].fill));
    EXPECT_TRUE(Sim::HoldsObject(Widget().controls[12].text));
    EXPECT_EQ(Sim::Counters().CallsOnFreedObjects, 0u);
}

INSTANTIATE_TEST_SUITE_P(Engines, WidgetTree, ::testing::Values(Flavour{4, 27}, Flavour{5, 1}),
                         [](const auto& flavour) { return "UE" + std::to_string(flavour.param.major); });

// Creation failing at each kind of step: nothing is left in the viewport, the failure is
// reported once per world, the capture goes with the session, and the next try is a second later.
class WidgetCreation : public WidgetFixture
{
};

TEST_F(WidgetCreation, AMissingClassFailsBeforeAnythingIsConstructed)
{
    StartEngine(5, 1, {.missingClasses = {L"/Script/UMG.Overlay"}});
    Sim::AdvanceClock(7 * Orv::kSecond);
    const auto constructed = Sim::Counters().StaticConstructObject;
    StartHud();
    EXPECT_EQ(Sim::Counters().StaticConstructObject, constructed);
    EXPECT_EQ(Sim::Observations().widgetsConstructed, 0u);
    EXPECT_EQ(Widget().userWidget, nullptr);
    EXPECT_EQ(Session().capture.captureActor, nullptr);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u);
}

TEST_F(WidgetCreation, AFailureIsReportedOnceAndRetriedEverySecond)
{
    ORV_SKIP_WITHOUT_ENGINE_CLOCK();
    StartEngine(5, 1, {.missingFunctions = {L"/Script/UMG.UserWidget:AddToViewport"}});
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartHud();
    const auto tries = [] { return Sim::Observations().captureActorsSpawned; };
    EXPECT_EQ(tries(), 1u);
    EXPECT_TRUE(Sim::ViewportWidgets().empty());
    FramesFor(Orv::kSecond - 2 * kFrameNs);
    EXPECT_EQ(tries(), 1u);
    FramesFor(3 * kFrameNs);
    EXPECT_EQ(tries(), 2u);
    int reports = 0;
    for (const auto& line : Lines())
    {
        reports += line.text == L"[Orvanta] [error] The minimap widget could not be created for the active session.\n";
    }
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 2u);
}

TEST_F(WidgetCreation, AWidgetTheEngineCannotMakeFailsCreationWhereverItComes)
{
    // The user widget, the tree, the frame, an icon, a diamond, a compass letter, the waypoint's
    // distance, the panel, the coordinates, a control, and the opacity button's caption, the
    // last widget of all.
    for (int made : {0, 1, 5, 13, 200, 420, 430, 438, 439, 447, 472, 497})
    {
        SCOPED_TRACE(made);
        mod_.reset();
        const int reports = WidgetFailureReports();
        StartEngine(5, 1);
        Sim::AdvanceClock(7 * Orv::kSecond);
        Sim::SetViewportPixels(1920, 1080);
        world_ = Sim::CreateWorld(L"Valley");
        gameInstance_ = Sim::CreateGameInstance(world_);
        auto local = Sim::EnterLocalPlayer(world_);
        pawn_ = local.pawn;
        StartWidgetMod();
        Sim::AdvanceClock(kFrameNs);
        Sim::RefuseConstructionAfter(made);
        // The capture's own objects come from spawning, which is no construction of the mod's.
        Sim::TickEngine(0.0f);
        EXPECT_EQ(Widget().userWidget, nullptr);
        EXPECT_EQ(Widget().arrowImage, nullptr);
        EXPECT_TRUE(Sim::ViewportWidgets().empty());
        // Every object but the widget tree is a widget.
        EXPECT_EQ(Sim::Observations().widgetsConstructed, static_cast<Sim::uint64>(made <= 1 ? made : made - 1));
        ExpectCreationAbandoned(reports);
        // Nothing is built past the widget that could not be made: the arrow box is centred
        // (the step after the marker pools, the letters and the distance) only when those
        // were whole.
        EXPECT_EQ(Sim::LastCallOf(L"/Script/UMG.OverlaySlot:SetHorizontalAlignment").Number(L"InHorizontalAlignment") == 2,
                  made >= 440);
        Sim::RefuseConstructionAfter(-1);
    }
}

TEST_F(WidgetCreation, AnOverlayThatTakesNoChildStopsBeforeThePools)
{
    StartEngine(5, 1, {.missingFunctions = {L"/Script/UMG.Overlay:AddChildToOverlay"}});
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartHud();
    ExpectCreationAbandoned();
    // The user widget and the eleven of the frame.
    EXPECT_EQ(Sim::Observations().widgetsConstructed, 12u);
}

TEST_F(WidgetCreation, TheRenderTargetTheImageCannotShowFailsCreation)
{
    StartEngine(5, 1, {.missingFunctions = {L"/Script/UMG.Image:SetBrushResourceObject"}});
    Sim::AdvanceClock(7 * Orv::kSecond);
    StartHud();
    ExpectCreationAbandoned();
}

TEST_F(WidgetCreation, EachRequiredStepFailsCreation)
{
    for (const wchar_t* missing : {L"/Script/UMG.ContentWidget:SetContent", L"/Script/UMG.Overlay:AddChildToOverlay",
                                   L"/Script/UMG.CanvasPanel:AddChildToCanvas", L"/Script/UMG.UserWidget:SetOwningPlayer"})
    {
        SCOPED_TRACE(std::wstring(missing).size());
        mod_.reset();
        const int reports = WidgetFailureReports();
        StartEngine(5, 1, {.missingFunctions = {missing}});
        Sim::AdvanceClock(7 * Orv::kSecond);
        StartHud();
        ExpectCreationAbandoned(reports);
        EXPECT_EQ(Widget().arrowImage, nullptr);
    }
}

TEST_F(WidgetCreation, AWidgetTreeWithoutItsRootPropertyFailsCreation)
{
    for (const wchar_t* missing : {L"/Script/UMG.WidgetTree:RootWidget", L"/Script/UMG.UserWidget:WidgetTree"})
    {
        SCOPED_TRACE(std::wstring(missing).size());
        mod_.reset();
        const int reports = WidgetFailureReports();
        Sim::ResetEngine({.MissingProperties = {missing}});
        Sim::DefineDefaultGame();
        Sim::AdvanceClock(7 * Orv::kSecond);
        StartHud();
        ExpectCreationAbandoned(reports);
    }
}
} // namespace
} // namespace OrvTest
