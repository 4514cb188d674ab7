// The minimap's widget tree, built once per session: a root canvas filling the viewport, the
// positioned canvas carrying the frame and every control, and inside the three-rim frame an
// overlay stacking the captured picture, the marker canvas and the player arrow.
#include "widget/WidgetTree.hpp"

#include "input/Keys.hpp"
#include "markers/MarkerMath.hpp"
#include "mod/LiveOrvantaMod.hpp"
#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "widget/Palette.hpp"

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr std::uint8_t kAlignFill = 0;
constexpr std::uint8_t kAlignCentre = 2;
constexpr Vector2d kCentrePivot{0.5, 0.5};
// The arrow texture points along +X; turned a quarter back it points up the map.
constexpr float kArrowAngle = 270.0f;
constexpr float kArrowBoxSize = 30.0f;
constexpr Vector2d kIconMarkerSize{20.0, 20.0};
constexpr Vector2d kDiamondMarkerSize{18.0, 18.0};
constexpr float kDiamondEdge = 2.0f;
constexpr float kDiamondAngle = 45.0f;
constexpr std::int32_t kHudZOrder = 50;

UClass* FindClass(Reflection& reflection, std::wstring_view path)
{
    UObject* found = reflection.LookupObject(path);
    return found != nullptr && found->IsA(UClass::StaticClass()) ? static_cast<UClass*>(found) : nullptr;
}

} // namespace

bool FindWidgetClasses(Reflection& reflection, WidgetClasses& classes)
{
    classes.userWidget = FindClass(reflection, L"/Script/UMG.UserWidget");
    classes.widgetTree = FindClass(reflection, L"/Script/UMG.WidgetTree");
    classes.canvasPanel = FindClass(reflection, L"/Script/UMG.CanvasPanel");
    classes.sizeBox = FindClass(reflection, L"/Script/UMG.SizeBox");
    classes.border = FindClass(reflection, L"/Script/UMG.Border");
    classes.overlay = FindClass(reflection, L"/Script/UMG.Overlay");
    classes.image = FindClass(reflection, L"/Script/UMG.Image");
    classes.textBlock = FindClass(reflection, L"/Script/UMG.TextBlock");
    return classes.userWidget != nullptr && classes.widgetTree != nullptr && classes.canvasPanel != nullptr &&
           classes.sizeBox != nullptr && classes.border != nullptr && classes.overlay != nullptr &&
           classes.image != nullptr && classes.textBlock != nullptr;
}

UObject* WidgetBuilder::Make(UClass* cls) const
{
    return UObjectGlobals::StaticConstructObject(FStaticConstructObjectParameters(cls, tree_));
}

void ApplyFontSize(Reflection& reflection, UObject* textBlock, float size)
{
    if (!SetFontSize(reflection, textBlock, size))
    {
        const double scale = static_cast<double>(size / kDefaultFontSize);
        SetRenderScale(reflection, textBlock, {scale, scale});
    }
}

void WidgetBuilder::DressCaption(UObject* textBlock, const wchar_t* text, std::uint8_t visibility) const
{
    SetVisibility(reflection_, textBlock, visibility);
    SetText(reflection_, textBlock, text);
    SetTextColor(reflection_, textBlock, Palette::kCaptionText);
}

bool WidgetBuilder::CreateIconMarkerPool(UObject* markerCanvas, MarkerPools& pools) const
{
    for (IconMarkerSlot& marker : pools.iconSlots)
    {
        UObject* root = Make(classes_.overlay);
        UObject* background = Make(classes_.image);
        UObject* icon = Make(classes_.image);
        if (root == nullptr || background == nullptr || icon == nullptr)
        {
            return false;
        }
        SetVisibility(reflection_, root, kVisibilityCollapsed);
        SetVisibility(reflection_, background, kVisibilityShown);
        SetVisibility(reflection_, icon, kVisibilityShown);
        SetImageColor(reflection_, background, Palette::kIconBackdrop);
        SetImageColor(reflection_, icon, Palette::kWhite);
        SetRenderPivot(reflection_, background, kCentrePivot);
        SetRenderPivot(reflection_, icon, kCentrePivot);
        if (AddChildToOverlay(reflection_, root, background) == nullptr || AddChildToOverlay(reflection_, root, icon) == nullptr)
        {
            return false;
        }
        SetSlotAlignment(reflection_, background, kAlignFill, kAlignFill);
        SetSlotAlignment(reflection_, icon, kAlignFill, kAlignFill);
        UObject* slot = AddChildToCanvas(reflection_, markerCanvas, root);
        if (slot == nullptr)
        {
            return false;
        }
        SetSlotPositionAndSize(reflection_, slot, {}, kIconMarkerSize);
        marker = {root, background, icon, slot};
    }
    return true;
}

bool WidgetBuilder::CreateDiamondMarkerPool(UObject* markerCanvas, MarkerPools& pools) const
{
    for (DiamondMarkerSlot& marker : pools.diamondSlots)
    {
        UObject* outer = Make(classes_.border);
        UObject* inner = Make(classes_.border);
        if (outer == nullptr || inner == nullptr)
        {
            return false;
        }
        SetVisibility(reflection_, outer, kVisibilityCollapsed);
        SetVisibility(reflection_, inner, kVisibilityShown);
        SetBrushColor(reflection_, outer, Palette::kDiamondEdge);
        SetPadding(reflection_, outer, kDiamondEdge);
        SetRenderPivot(reflection_, outer, kCentrePivot);
        SetRenderAngle(reflection_, outer, kDiamondAngle);
        SetPadding(reflection_, inner, 0.0f);
        if (!SetContent(reflection_, outer, inner))
        {
            return false;
        }
        UObject* slot = AddChildToCanvas(reflection_, markerCanvas, outer);
        if (slot == nullptr)
        {
            return false;
        }
        SetSlotPositionAndSize(reflection_, slot, {}, kDiamondMarkerSize);
        SetSlotZOrder(reflection_, slot, kDiamondLayer);
        marker = DiamondMarkerSlot{};
        marker.root = marker.frame = outer;
        marker.fill = inner;
        marker.slot = slot;
    }
    return true;
}

bool WidgetBuilder::CreatePerformancePanel(WidgetState& widget) const
{
    UObject* panel = Make(classes_.border);
    UObject* fill = Make(classes_.border);
    if (panel == nullptr || fill == nullptr)
    {
        return false;
    }
    SetVisibility(reflection_, panel, kVisibilityCollapsed);
    SetVisibility(reflection_, fill, kVisibilityShown);
    SetBrushColor(reflection_, panel, Palette::kBronze);
    SetPadding(reflection_, panel, kRimPadding);
    SetBrushColor(reflection_, fill, Palette::kControlDarkFill);
    SetPadding(reflection_, fill, 0.0f);
    if (!SetContent(reflection_, panel, fill))
    {
        return false;
    }
    UObject* slot = AddChildToCanvas(reflection_, widget.hudCanvas, panel);
    if (slot == nullptr)
    {
        return false;
    }
    widget.perfPanel = panel;
    widget.perfPanelFill = fill;
    widget.perfPanelSlot = slot;
    for (std::size_t index = 0; index < kPerfTextCount; ++index)
    {
        if (!CreatePerfText(widget, index, kPerfCaptions[index].text))
        {
            return false;
        }
    }
    return true;
}

bool WidgetBuilder::CreatePerfText(WidgetState& widget, std::size_t index, const wchar_t* text) const
{
    if (index >= kPerfTextCount)
    {
        return false;
    }
    UObject* caption = Make(classes_.textBlock);
    if (caption == nullptr)
    {
        return false;
    }
    DressCaption(caption, text, kVisibilityCollapsed);
    UObject* slot = AddChildToCanvas(reflection_, widget.hudCanvas, caption);
    if (slot == nullptr)
    {
        return false;
    }
    widget.perfTexts[index] = {caption, slot};
    return true;
}

bool WidgetBuilder::CreateCompassLetters(UObject* markerCanvas, WidgetState& widget) const
{
    constexpr const wchar_t* kLetters[kCompassLetterCount] = {L"N", L"E", L"S", L"W"};
    for (std::size_t index = 0; index < kCompassLetterCount; ++index)
    {
        UObject* backdrop = Make(classes_.border);
        UObject* letter = Make(classes_.textBlock);
        if (backdrop == nullptr || letter == nullptr)
        {
            return false;
        }
        SetVisibility(reflection_, backdrop, kVisibilityShown);
        SetBrushColor(reflection_, backdrop, Palette::kIconBackdrop);
        SetBrushShape(reflection_, backdrop, L"Background", true, kDrawAsBox);
        SetPadding(reflection_, backdrop, 0.0f);
        DressCaption(letter, kLetters[index], kVisibilityShown);
        // North stands out, as on any compass.
        SetTextColor(reflection_, letter, index == 0 ? Palette::kCompassNorth : Palette::kCaptionText);
        if (!SetContent(reflection_, backdrop, letter))
        {
            return false;
        }
        SetSlotAlignment(reflection_, letter, kAlignCentre, kAlignCentre);
        UObject* slot = AddChildToCanvas(reflection_, markerCanvas, backdrop);
        if (slot == nullptr)
        {
            return false;
        }
        // Sized with the texts (ApplyTextSizes), placed by the letters' update.
        SetSlotZOrder(reflection_, slot, kCompassLayer);
        widget.compass[index] = {backdrop, letter, slot, kNoPosition};
    }
    UObject* tick = Make(classes_.border);
    if (tick == nullptr)
    {
        return false;
    }
    SetVisibility(reflection_, tick, kVisibilityCollapsed);
    SetBrushColor(reflection_, tick, Palette::kCompassNorth);
    SetBrushShape(reflection_, tick, L"Background", false, kDrawAsBox);
    SetPadding(reflection_, tick, 0.0f);
    SetRenderPivot(reflection_, tick, kCentrePivot);
    SetRenderAngle(reflection_, tick, kDiamondAngle);
    UObject* tickSlot = AddChildToCanvas(reflection_, markerCanvas, tick);
    if (tickSlot == nullptr)
    {
        return false;
    }
    SetSlotZOrder(reflection_, tickSlot, kCompassLayer);
    widget.northTick = {tick, nullptr, tickSlot, kNoPosition};
    return true;
}

UObject* WidgetBuilder::CreateTextOnBackdrop(UObject* canvas, const LinearColor& fill, UObject*& backdrop, UObject*& text) const
{
    backdrop = Make(classes_.border);
    text = Make(classes_.textBlock);
    if (backdrop == nullptr || text == nullptr)
    {
        return nullptr;
    }
    SetVisibility(reflection_, backdrop, kVisibilityCollapsed);
    SetBrushColor(reflection_, backdrop, fill);
    SetPadding(reflection_, backdrop, 0.0f);
    DressCaption(text, L"", kVisibilityShown);
    if (!SetContent(reflection_, backdrop, text))
    {
        return nullptr;
    }
    SetSlotAlignment(reflection_, text, kAlignCentre, kAlignCentre);
    return AddChildToCanvas(reflection_, canvas, backdrop);
}

bool WidgetBuilder::CreateWaypointDistance(UObject* markerCanvas, MarkerPools& pools) const
{
    DistanceLabel& label = pools.waypointDistance;
    label.slot = CreateTextOnBackdrop(markerCanvas, Palette::kIconBackdrop, label.backdrop, label.text);
    if (label.slot == nullptr)
    {
        return false;
    }
    SetSlotZOrder(reflection_, label.slot, kRimPinLayer);
    return true;
}

bool WidgetBuilder::CreateCoordinates(WidgetState& widget) const
{
    widget.coordinatesSlot =
        CreateTextOnBackdrop(widget.hudCanvas, Palette::kControlDarkFill, widget.coordinatesBackdrop, widget.coordinatesText);
    return widget.coordinatesSlot != nullptr;
}

bool WidgetBuilder::CreateControl(WidgetState& widget, std::size_t index, const wchar_t* text) const
{
    if (index >= kControlCount)
    {
        return false;
    }
    UObject* frame = Make(classes_.border);
    UObject* fill = Make(classes_.border);
    const bool captioned = text != nullptr && text[0] != L'\0';
    UObject* caption = captioned ? Make(classes_.textBlock) : nullptr;
    if (frame == nullptr || fill == nullptr || (captioned && caption == nullptr))
    {
        return false;
    }
    SetVisibility(reflection_, frame, kVisibilityShown);
    SetVisibility(reflection_, fill, kVisibilityShown);
    SetBrushColor(reflection_, frame, Palette::kBronze);
    SetPadding(reflection_, frame, kRimPadding);
    SetBrushColor(reflection_, fill, Palette::kControlDarkFill);
    SetPadding(reflection_, fill, 0.0f);
    if (captioned)
    {
        DressCaption(caption, text, kVisibilityShown);
        if (!SetContent(reflection_, fill, caption))
        {
            return false;
        }
        SetSlotAlignment(reflection_, caption, kAlignCentre, kAlignCentre);
    }
    if (!SetContent(reflection_, frame, fill))
    {
        return false;
    }
    UObject* slot = AddChildToCanvas(reflection_, widget.hudCanvas, frame);
    if (slot == nullptr)
    {
        return false;
    }
    ControlWidget& control = widget.controls[index];
    control.frame = frame;
    control.fill = fill;
    control.text = caption;
    control.slot = slot;
    return true;
}

bool LiveOrvantaMod::CreateMapWidget()
{
    WidgetClasses classes;
    if (!FindWidgetClasses(reflection, classes))
    {
        return false;
    }
    UObject* userWidget = UObjectGlobals::StaticConstructObject(
        FStaticConstructObjectParameters(classes.userWidget, session.discovery.gameInstance));
    if (userWidget == nullptr)
    {
        return false;
    }
    UObject* tree = UObjectGlobals::StaticConstructObject(FStaticConstructObjectParameters(classes.widgetTree, userWidget));
    if (tree == nullptr)
    {
        return false;
    }
    const WidgetBuilder builder(reflection, classes, tree);
    WidgetState built;
    MarkerPools pools;
    built.userWidget = userWidget;
    built.rootCanvas = builder.Make(classes.canvasPanel);
    built.hudCanvas = builder.Make(classes.canvasPanel);
    built.mapSizeBox = builder.Make(classes.sizeBox);
    built.outerRim = builder.Make(classes.border);
    built.middleRim = builder.Make(classes.border);
    built.innerRim = builder.Make(classes.border);
    built.mapOverlay = builder.Make(classes.overlay);
    built.mapImage = builder.Make(classes.image);
    built.markerCanvas = builder.Make(classes.canvasPanel);
    built.arrowSizeBox = builder.Make(classes.sizeBox);
    built.arrowImage = builder.Make(classes.image);
    UObject* const frameWidgets[] = {built.rootCanvas, built.hudCanvas, built.mapSizeBox, built.outerRim,
                                     built.middleRim,  built.innerRim,  built.mapOverlay, built.mapImage,
                                     built.markerCanvas, built.arrowSizeBox, built.arrowImage};
    for (UObject* widget : frameWidgets)
    {
        if (widget == nullptr)
        {
            return false;
        }
    }
    if (!WritePropertyValue(reflection, userWidget, L"WidgetTree", tree) ||
        !WritePropertyValue(reflection, tree, L"RootWidget", built.rootCanvas))
    {
        return false;
    }
    for (UObject* widget : frameWidgets)
    {
        SetVisibility(reflection, widget, kVisibilityShown);
    }

    SetBrushColor(reflection, built.outerRim, Palette::kBronze);
    SetPadding(reflection, built.outerRim, kRimPadding);
    SetBrushColor(reflection, built.middleRim, Palette::kRimDarkFill);
    SetPadding(reflection, built.middleRim, kRimPadding);
    SetBrushColor(reflection, built.innerRim, Palette::kRimLightBronze);
    SetPadding(reflection, built.innerRim, kRimPadding);
    if (!SetBrushResourceObject(reflection, built.mapImage, session.capture.renderTarget))
    {
        return false;
    }
    SetSizeOverrides(reflection, built.arrowSizeBox, kArrowBoxSize, kArrowBoxSize);
    if (!SetContent(reflection, built.arrowSizeBox, built.arrowImage))
    {
        return false;
    }
    SetRenderPivot(reflection, built.arrowImage, kCentrePivot);
    SetRenderAngle(reflection, built.arrowImage, kArrowAngle);

    // Later children draw on top: markers over the picture, the arrow over the markers.
    if (AddChildToOverlay(reflection, built.mapOverlay, built.mapImage) == nullptr ||
        AddChildToOverlay(reflection, built.mapOverlay, built.markerCanvas) == nullptr ||
        AddChildToOverlay(reflection, built.mapOverlay, built.arrowSizeBox) == nullptr)
    {
        return false;
    }
    SetSlotAlignment(reflection, built.mapImage, kAlignFill, kAlignFill);
    SetSlotAlignment(reflection, built.markerCanvas, kAlignFill, kAlignFill);
    // The slots' z-orders set which draws over which (see LayerOf).
    if (!builder.CreateIconMarkerPool(built.markerCanvas, pools) || !builder.CreateDiamondMarkerPool(built.markerCanvas, pools) ||
        !builder.CreateCompassLetters(built.markerCanvas, built) || !builder.CreateWaypointDistance(built.markerCanvas, pools))
    {
        return false;
    }
    SetSlotAlignment(reflection, built.arrowSizeBox, kAlignCentre, kAlignCentre);

    if (!SetContent(reflection, built.innerRim, built.mapOverlay) || !SetContent(reflection, built.middleRim, built.innerRim) ||
        !SetContent(reflection, built.outerRim, built.middleRim) || !SetContent(reflection, built.mapSizeBox, built.outerRim))
    {
        return false;
    }
    built.mapSlot = AddChildToCanvas(reflection, built.hudCanvas, built.mapSizeBox);
    if (built.mapSlot == nullptr || !builder.CreatePerformancePanel(built) || !builder.CreateCoordinates(built))
    {
        return false;
    }
    for (std::size_t index = 0; index < kControlCount; ++index)
    {
        if (!builder.CreateControl(built, index, kControlCaptions[index].text))
        {
            return false;
        }
    }
    built.hudSlot = AddChildToCanvas(reflection, built.rootCanvas, built.hudCanvas);
    if (built.hudSlot == nullptr)
    {
        return false;
    }
    UObject* controller = session.discovery.playerController;
    const std::int32_t zOrder = kHudZOrder;
    if (!CallWithObject(reflection, userWidget, L"SetOwningPlayer", L"LocalPlayerController", controller) ||
        !InvokeFunction(
            reflection, userWidget, L"AddToViewport",
            [&](CallFrame& frame) { return frame.WriteRaw(L"ZOrder", &zOrder, sizeof(zOrder)); }, NoResults))
    {
        return false;
    }

    session.widget = built;
    session.markers = pools;
    session.edit.leftButtonWasDown = IsKeyDown(VK_LBUTTON);
    ApplyLayout();
    ApplyFrameShape();
    RefreshValueFields();
    RefreshOpacityCaption();
    RefreshControlColours();
    ApplyExtrasVisibility();
    ApplyMapOpacity();
    UpdateCompassLetters();
    ApplyBrightness();
    return true;
}
} // namespace Orv
