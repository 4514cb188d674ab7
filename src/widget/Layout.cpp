// Placing the widget tree on screen: the viewport measured in layout units, the map size and
// frame position clamped to it, the edit-mode controls and the performance panel laid out
// around the frame, and the texts of the three value fields.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/Calls.hpp"
#include "reflection/Setters.hpp"
#include "settings/ModSettings.hpp"
#include "widget/LayoutMath.hpp"

#include <fmt/format.h>
#include <fmt/xchar.h>

#include <algorithm>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr double kPanelWidth = 196.0;
constexpr double kPanelHeight = 199.0;
constexpr double kPanelGap = 6.0;
// At or beyond this x the panel fits left of the frame: its width and the gap.
constexpr double kPanelLeftRoom = kPanelWidth + kPanelGap;
constexpr double kPanelInset = 8.0;
constexpr double kValueFieldWidth = 96.0;
constexpr double kToggleStride = 45.75;
constexpr double kRowSpacing = 3.0;
// A viewport change below this is the engine's rounding, not a new screen.
constexpr double kViewportChangeThreshold = 0.5;

struct CaptionPlace
{
    double dx, dy, width, height;
};
constexpr CaptionPlace kCaptionPlaces[kPerfTextCount] = {
    {8, 5, 180, 18}, {8, 32, 70, 20}, {8, 59, 70, 20}, {8, 86, 70, 20}, {8, 111, 180, 14},
};

void Place(ControlWidget& control, double x, double y, double width, double height, bool visible)
{
    control.x = x;
    control.y = y;
    control.width = width;
    control.height = height;
    control.visible = visible;
}

// Width and height, leaving x alone: a hidden control keeps where it last was.
void Size(ControlWidget& control, double width, double height, bool visible)
{
    control.y = 0.0;
    control.width = width;
    control.height = height;
    control.visible = visible;
}
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
    double width = 0.0;
    double height = 0.0;
    if (!ViewportSize(width, height))
    {
        width = layout.viewportWidth > 0.0 ? layout.viewportWidth : kFallbackViewportWidth;
        height = layout.viewportHeight > 0.0 ? layout.viewportHeight : kFallbackViewportHeight;
    }
    layout.viewportWidth = width;
    layout.viewportHeight = height;
    const ModSettings& settings = Settings();
    SetMapSize(settings.Size);
    const FreeSpace free = FrameFreeSpace(width, height, workingSize);
    SetFramePosition(StoredPositionX(settings.PositionX, free.width), StoredPositionY(settings.PositionY, free.height));
}

void LiveOrvantaMod::SetMapSize(double requested)
{
    const LayoutState& layout = session.layout;
    workingSize = ClampMapSize(requested, layout.viewportWidth, layout.viewportHeight);
    LayoutControls();
    SetFramePosition(layout.frameX, layout.frameY);
}

void LiveOrvantaMod::SetFramePosition(double x, double y)
{
    LayoutState& layout = session.layout;
    const FreeSpace free = FrameFreeSpace(layout.viewportWidth, layout.viewportHeight, workingSize);
    layout.frameX = x > free.width ? free.width : std::max(x, 0.0);
    layout.frameY = y > free.height ? free.height : std::max(y, 0.0);
    SetSlotPosition(reflection, session.widget.hudSlot, {layout.frameX, layout.frameY});
    if (session.edit.editMode && (layout.frameX >= kPanelLeftRoom) != layout.panelOnLeft)
    {
        LayoutControls();
    }
}

void LiveOrvantaMod::LayoutControls()
{
    const double size = workingSize;
    const bool edit = session.edit.editMode;
    auto& controls = session.widget.controls;
    constexpr double kRowHeight = 20.0;
    Place(controls[kEditButton], size - 38.0, 0.0, 38.0, kRowHeight, true);
    Size(controls[kZoomInButton], 20.0, kRowHeight, edit);
    Size(controls[kZoomOutButton], 20.0, kRowHeight, edit);
    Size(controls[kIndoorToggle], 22.0, kRowHeight, edit);
    Size(controls[kShapeToggle], 22.0, kRowHeight, edit);
    if (edit)
    {
        // The row runs leftwards from the map's right edge, 3 units apart.
        controls[kZoomInButton].x = controls[kEditButton].x - kRowSpacing - 20.0;
        controls[kZoomOutButton].x = controls[kZoomInButton].x - kRowSpacing - 20.0;
        controls[kIndoorToggle].x = controls[kZoomOutButton].x - kRowSpacing - 22.0;
        controls[kShapeToggle].x = controls[kIndoorToggle].x - kRowSpacing - 22.0;
    }
    LayoutPerformancePanel();
    // Under the map, at the handle's height: the locked layout keeps every place it had.
    const double underMap = size + kButtonRowHeight + kHandleGap;
    Place(controls[kResizeHandle], size + kHandleGap, underMap, kHandleSize, kHandleSize, edit);
    Place(controls[kNorthUpToggle], 0.0, underMap, 38.0, kHandleSize, edit);
    Place(controls[kCoordinatesToggle], 38.0 + kRowSpacing, underMap, 26.0, kHandleSize, edit);
    Place(controls[kOpacityButton], 38.0 + kRowSpacing + 26.0 + kRowSpacing, underMap, 40.0, kHandleSize, edit);
    // The coordinates sit under the map, and under the second row while it is shown.
    const double coordinatesY = edit ? underMap + kHandleSize + kRowSpacing : underMap;
    SetSlotPositionAndSize(reflection, session.widget.coordinatesSlot, {0.0, coordinatesY}, {size, kHandleSize});

    for (ControlWidget& control : controls)
    {
        if (!IsLive(control.frame, false))
        {
            continue;
        }
        SetVisibility(reflection, control.frame, control.visible ? kVisibilityShown : kVisibilityCollapsed);
        SetSlotPositionAndSize(reflection, control.slot, {control.x, control.y}, {control.width, control.height});
    }
    SetSlotPositionAndSize(reflection, session.widget.mapSlot, {0.0, kButtonRowHeight}, {size, size});
    const LayoutState& layout = session.layout;
    SetSlotPositionAndSize(reflection, session.widget.hudSlot, {layout.frameX, layout.frameY},
                           {size + kFrameExtraWidth, size + kFrameExtraHeight});
}

void LiveOrvantaMod::LayoutPerformancePanel()
{
    LayoutState& layout = session.layout;
    WidgetState& widget = session.widget;
    const bool edit = session.edit.editMode;
    const std::uint8_t visibility = edit ? kVisibilityShown : kVisibilityCollapsed;
    layout.panelOnLeft = layout.frameX >= kPanelLeftRoom;
    layout.panelX = layout.panelOnLeft ? -kPanelLeftRoom : workingSize + kPanelGap;
    layout.panelY = kButtonRowHeight;
    const double x = layout.panelX;
    const double y = layout.panelY;

    if (IsLive(widget.perfPanel, false))
    {
        SetVisibility(reflection, widget.perfPanel, visibility);
        SetSlotPositionAndSize(reflection, widget.perfPanelSlot, {x, y}, {kPanelWidth, kPanelHeight});
    }
    for (std::size_t index = 0; index < kPerfTextCount; ++index)
    {
        const PerfText& caption = widget.perfTexts[index];
        if (!IsLive(caption.text, false))
        {
            continue;
        }
        const CaptionPlace& place = kCaptionPlaces[index];
        SetVisibility(reflection, caption.text, visibility);
        SetSlotPositionAndSize(reflection, caption.slot, {x + place.dx, y + place.dy}, {place.width, place.height});
    }

    auto& controls = widget.controls;
    const double valueX = x + kPanelWidth - kPanelInset - kValueFieldWidth;
    Place(controls[kCaptureRateField], valueX, y + 29.0, kValueFieldWidth, 20.0, edit);
    Place(controls[kMarkerRateField], valueX, y + 56.0, kValueFieldWidth, 20.0, edit);
    Place(controls[kRenderScaleField], valueX, y + 83.0, kValueFieldWidth, 20.0, edit);
    Place(controls[kResetButton], x + kPanelInset, y + 133.0, 180.0, 22.0, edit);
    const std::size_t toggles[] = {kAiToggle, kResourcesToggle, kQuestsToggle, kPoisToggle};
    for (std::size_t k = 0; k < std::size(toggles); ++k)
    {
        Place(controls[toggles[k]], x + kPanelInset + static_cast<double>(k) * kToggleStride, y + 165.0, 42.75, 22.0, edit);
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
            const std::size_t typed = std::min(edit.entryLength, edit.entryText.size() - 1);
            std::copy_n(edit.entryText.begin(), typed, buffer);
            buffer[typed] = L'_';
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
