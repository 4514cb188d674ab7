// Placing the widget tree on screen: the viewport measured in layout units, the map size and
// frame position clamped to it, the edit-mode controls and the performance panel laid out
// around the frame, and the texts of the three value fields.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Calls.hpp"
#include "reflection/Setters.hpp"
#include "settings/ModSettings.hpp"
#include "widget/LayoutMath.hpp"
#include "widget/TextFit.hpp"
#include "widget/WidgetTree.hpp"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <algorithm>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
// A viewport change below this is the engine's rounding, not a new screen.
constexpr double kViewportChangeThreshold = 0.5;
constexpr std::wstring_view kCaret = L"_";
} // namespace

double LiveOrvantaMod::ViewportScale()
{
    UObject* library = reflection.LookupClassDefault(L"/Script/UMG.WidgetLayoutLibrary");
    UObject* pawn = session.discovery.pawn;
    if (!IsLive(library, true) || !IsLive(pawn, false))
    {
        return 1.0;
    }
    float scale = 0.0f;
    const bool read = InvokeFunction(
        reflection, library, L"GetViewportScale",
        [&](CallFrame& frame) { return frame.WriteRaw(L"WorldContextObject", &pawn, sizeof(pawn)); },
        [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &scale, sizeof(scale)); });
    return read && scale > 0.0f ? static_cast<double>(scale) : 1.0;
}

bool LiveOrvantaMod::ViewportSize(double& width, double& height) { return ViewportSize(ViewportScale(), width, height); }

bool LiveOrvantaMod::ViewportSize(double scale, double& width, double& height)
{
    UObject* controller = session.discovery.playerController;
    if (!IsLive(controller, false))
    {
        return false;
    }
    std::int32_t sizeX = 0;
    std::int32_t sizeY = 0;
    const bool read = InvokeFunction(reflection, controller, L"GetViewportSize", NoArguments, [&](CallFrame& frame) {
        return frame.Read(L"SizeX", &sizeX, sizeof(sizeX)) && frame.Read(L"SizeY", &sizeY, sizeof(sizeY));
    });
    if (!read || sizeX <= 0 || sizeY <= 0)
    {
        return false;
    }
    width = sizeX / scale;
    height = sizeY / scale;
    return true;
}

void LiveOrvantaMod::ApplyLayout()
{
    LayoutState& layout = session.layout;
    const double scale = ViewportScale();
    double width = 0.0;
    double height = 0.0;
    if (!ViewportSize(scale, width, height))
    {
        width = layout.viewportWidth > 0.0 ? layout.viewportWidth : kFallbackViewportWidth;
        height = layout.viewportHeight > 0.0 ? layout.viewportHeight : kFallbackViewportHeight;
    }
    layout.viewportWidth = width;
    layout.viewportHeight = height;
    const double controlScale = ControlScale(scale);
    layout.controlScale = controlScale;
    const ModSettings& settings = Settings();
    SetMapSize(settings.Size);
    const FreeSpace free = FrameFreeSpace(width, height, workingSize, controlScale);
    SetFramePosition(StoredPositionX(settings.PositionX, free.width), StoredPositionY(settings.PositionY, free.height));
    if (layout.textScale != controlScale)
    {
        ApplyTextSizes();
    }
}

void LiveOrvantaMod::SetMapSize(double requested)
{
    const LayoutState& layout = session.layout;
    workingSize = ClampMapSize(requested, layout.viewportWidth, layout.viewportHeight, layout.controlScale);
    LayoutControls();
    SetFramePosition(layout.frameX, layout.frameY);
}

FrameLayoutInput LiveOrvantaMod::LayoutInput() const
{
    const LayoutState& layout = session.layout;
    return {workingSize,           layout.frameX,       layout.frameY, layout.viewportWidth,
            layout.viewportHeight, layout.controlScale, session.edit.editMode};
}

void LiveOrvantaMod::SetFramePosition(double x, double y)
{
    LayoutState& layout = session.layout;
    const FreeSpace free = FrameFreeSpace(layout.viewportWidth, layout.viewportHeight, workingSize, layout.controlScale);
    layout.frameX = x > free.width ? free.width : std::max(x, 0.0);
    layout.frameY = y > free.height ? free.height : std::max(y, 0.0);
    SetSlotPosition(reflection, session.widget.hudSlot, {layout.frameX, layout.frameY});
    if (!session.edit.editMode)
    {
        return;
    }
    // The panel changes sides, or rises from the bottom edge, as the frame moves.
    const LayoutBox panel = PanelPlace(LayoutInput());
    if (panel.x != layout.panelX || panel.y != layout.panelY)
    {
        LayoutControls();
    }
}

void LiveOrvantaMod::LayoutControls()
{
    LayoutState& layout = session.layout;
    FrameLayout& placed = layout.placed;
    ComputeFrameLayout(LayoutInput(), placed);
    layout.panelOnLeft = placed.panelOnLeft;
    layout.panelX = placed.panel.x;
    layout.panelY = placed.panel.y;
    LayoutPerformancePanel();
    WidgetState& widget = session.widget;
    SetSlotPositionAndSize(reflection, widget.coordinatesSlot, {placed.coordinates.x, placed.coordinates.y},
                           {placed.coordinates.width, placed.coordinates.height});
    for (std::size_t index = 0; index < kControlCount; ++index)
    {
        const ControlWidget& control = widget.controls[index];
        if (!IsLive(control.frame, false))
        {
            continue;
        }
        const LayoutBox& box = placed.controls[index];
        SetVisibility(reflection, control.frame, placed.visible[index] ? kVisibilityShown : kVisibilityCollapsed);
        SetSlotPositionAndSize(reflection, control.slot, {box.x, box.y}, {box.width, box.height});
    }
    SetSlotPositionAndSize(reflection, widget.mapSlot, {placed.map.x, placed.map.y}, {placed.map.width, placed.map.height});
    SetSlotPositionAndSize(reflection, widget.hudSlot, {layout.frameX, layout.frameY}, {placed.hud.width, placed.hud.height});
}

void LiveOrvantaMod::LayoutPerformancePanel()
{
    const FrameLayout& placed = session.layout.placed;
    WidgetState& widget = session.widget;
    const std::uint8_t visibility = session.edit.editMode ? kVisibilityShown : kVisibilityCollapsed;
    if (IsLive(widget.perfPanel, false))
    {
        SetVisibility(reflection, widget.perfPanel, visibility);
        SetSlotPositionAndSize(reflection, widget.perfPanelSlot, {placed.panel.x, placed.panel.y},
                               {placed.panel.width, placed.panel.height});
    }
    for (std::size_t index = 0; index < kPerfTextCount; ++index)
    {
        const PerfText& caption = widget.perfTexts[index];
        if (!IsLive(caption.text, false))
        {
            continue;
        }
        const LayoutBox& box = placed.captions[index];
        SetVisibility(reflection, caption.text, visibility);
        SetSlotPositionAndSize(reflection, caption.slot, {box.x, box.y}, {box.width, box.height});
    }
}

void LiveOrvantaMod::RefreshValueFields()
{
    struct ValueField
    {
        std::size_t control;
        EditingField field;
        double value;
        bool twoDecimals;
    };
    const ValueField fields[] = {
        {kCaptureRateField, EditingField::CaptureRate, workingCaptureFPS, false},
        {kMarkerRateField, EditingField::MarkerRate, workingMarkerFPS, false},
        {kRenderScaleField, EditingField::RenderScale, workingRenderScale, true},
    };
    const EditState& edit = session.edit;
    const LayoutState& layout = session.layout;
    for (const ValueField& field : fields)
    {
        UObject* text = session.widget.controls[field.control].text;
        if (!IsLive(text, false))
        {
            continue;
        }
        // Formatted the same way whatever locale the game runs in.
        wchar_t buffer[32] = {};
        if (edit.editingField == field.field)
        {
            // Longer than the field, the value shows its last characters before the caret.
            const std::size_t typed = std::min(edit.entryLength, edit.entryText.size() - 1);
            const std::wstring_view entry(edit.entryText.data(), typed);
            const std::size_t shown = CharactersBeforeCaretThatFit(entry, kCaret, layout.captionSizes[field.control],
                                                                   CaptionRoomWidth(layout.placed.controls[field.control], layout.controlScale));
            std::copy_n(entry.end() - static_cast<std::ptrdiff_t>(shown), shown, buffer);
            buffer[shown] = kCaret[0];
        }
        else
        {
            const auto written = fmt::format_to_n(buffer, std::size(buffer) - 1, field.twoDecimals ? L"{:.2f}" : L"{:.0f}",
                                                  field.value);
            *written.out = L'\0';
        }
        SetText(reflection, text, buffer);
    }
}

void LiveOrvantaMod::FollowViewportSize(double scale)
{
    const EditState& edit = session.edit;
    if (edit.moving || edit.resizing)
    {
        return;
    }
    double width = 0.0;
    double height = 0.0;
    if (!ViewportSize(scale, width, height))
    {
        return;
    }
    const LayoutState& layout = session.layout;
    if (std::abs(width - layout.viewportWidth) > kViewportChangeThreshold ||
        std::abs(height - layout.viewportHeight) > kViewportChangeThreshold)
    {
        ApplyLayout();
    }
}
} // namespace Orv
