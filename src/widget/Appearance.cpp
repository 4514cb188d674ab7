// How the frame looks: round or square (written straight into the engine's brushes, since no
// setter reaches their outline settings), the fill colours that show each edit-mode control's
// state, and the size of every text.
#include "mod/LiveOrvantaMod.hpp"

#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudSettings.hpp"
#include "settings/ModSettings.hpp"
#include "widget/Palette.hpp"
#include "widget/TextFit.hpp"
#include "widget/WidgetTree.hpp"

#include <cstring>

namespace Orv
{
using namespace RC::Unreal;

namespace
{
constexpr std::uint8_t kDrawAsImage = 3;
constexpr std::uint8_t kDrawAsRoundedBox = 4;
constexpr std::uint8_t kRoundingFixedRadius = 0;
constexpr std::uint8_t kRoundingHalfHeight = 1;
// Far beyond half of the largest map, so every rounded box is a disc.
constexpr double kDiscRadius = 1024.0;

std::size_t ValueSize(const FProperty* property)
{
    return static_cast<std::size_t>(property->GetElementSize()) * static_cast<std::size_t>(property->GetArrayDim());
}

// The four corner radii, as floats on engines that keep them so and as 64-bit reals on the
// others; a smaller member is not a radius set this code knows and is left alone.
void WriteCornerRadii(void* address, std::size_t size, double radius)
{
    if (size >= 32)
    {
        const double radii[4] = {radius, radius, radius, radius};
        std::memcpy(address, radii, sizeof(radii));
    }
    else if (size >= 16)
    {
        const auto r = static_cast<float>(radius);
        const float radii[4] = {r, r, r, r};
        std::memcpy(address, radii, sizeof(radii));
    }
}

// A control's caption must fit every text it can show: EDIT and LOCK alike.
double FittedCaptionSize(std::size_t index, double nominal, double roomWidth, double roomHeight)
{
    double size = FittedFontSize(kControlCaptions[index].text, nominal, roomWidth, roomHeight);
    if (index == kEditButton)
    {
        size = FittedFontSize(L"LOCK", size, roomWidth, roomHeight);
    }
    return size;
}
} // namespace

double CaptionRoomWidth(const LayoutBox& box, double controlScale)
{
    return box.width - 2.0 * static_cast<double>(kRimPadding) - 2.0 * kCaptionSideMargin * controlScale;
}

bool SetBrushShape(Reflection& reflection, UObject* widget, std::wstring_view brushName, bool round,
                   std::uint8_t squareDrawType)
{
    FProperty* brush = reflection.LookupProperty(widget, brushName);
    void* brushValue = PropertyAddress(reflection, widget, brushName);
    if (PropertyClassOf(brush) != PropertyClass::Struct || brushValue == nullptr)
    {
        return false;
    }
    FProperty* member = nullptr;
    void* drawAs = StructMemberAddress(brush, brushValue, L"DrawAs", &member);
    if (drawAs == nullptr || member->GetElementSize() == 0)
    {
        return false;
    }
    *static_cast<std::uint8_t*>(drawAs) = round ? kDrawAsRoundedBox : squareDrawType;

    FProperty* outline = nullptr;
    void* outlineValue = StructMemberAddress(brush, brushValue, L"OutlineSettings", &outline);
    if (outlineValue == nullptr)
    {
        // Without outline settings a rounded box has square corners: only a square succeeds.
        return !round;
    }
    if (void* radii = StructMemberAddress(outline, outlineValue, L"CornerRadii", &member))
    {
        WriteCornerRadii(radii, ValueSize(member), round ? kDiscRadius : 0.0);
    }
    void* rounding = StructMemberAddress(outline, outlineValue, L"RoundingType", &member);
    if (rounding != nullptr && member->GetElementSize() != 0)
    {
        *static_cast<std::uint8_t*>(rounding) = round ? kRoundingHalfHeight : kRoundingFixedRadius;
    }
    if (void* width = StructMemberAddress(outline, outlineValue, L"Width", &member))
    {
        const float noLine = 0.0f;
        std::memcpy(width, &noLine, sizeof(noLine));
    }
    return true;
}

void LiveOrvantaMod::ApplyFrameShape()
{
    WidgetState& widget = session.widget;
    if (!IsLive(widget.mapImage, false) || !IsLive(widget.outerRim, false) || !IsLive(widget.middleRim, false) ||
        !IsLive(widget.innerRim, false))
    {
        return;
    }
    auto shape = [&](bool round) {
        const bool pictureShaped = SetBrushShape(reflection, widget.mapImage, L"Brush", round, kDrawAsImage);
        for (UObject* rim : {widget.outerRim, widget.middleRim, widget.innerRim})
        {
            SetBrushShape(reflection, rim, L"Background", round, kDrawAsBox);
        }
        return pictureShaped;
    };
    if (!shape(workingCircular) && workingCircular)
    {
        // The engine's brushes cannot round: the frame stays square, and so does the setting
        // (in memory; the next save keeps it).
        workingCircular = false;
        Settings().Circular = false;
        shape(false);
    }
}

bool LiveOrvantaMod::IsControlActive(std::size_t index) const
{
    const ModSettings& settings = Settings();
    const EditingField field = session.edit.editingField;
    switch (index)
    {
    case kEditButton: return session.edit.editMode;
    case kAiToggle: return settings.ShowAi;
    case kShapeToggle: return workingCircular;
    case kIndoorToggle: return settings.IndoorCameraEnabled;
    case kResourcesToggle: return settings.ShowResources;
    case kQuestsToggle: return settings.ShowQuests;
    case kPoisToggle: return settings.ShowPois;
    case kNorthUpToggle: return Hud().NorthUp;
    case kCoordinatesToggle: return Hud().Coordinates;
    case kOpacityButton: return Hud().MapOpacity < 1.0f;
    case kCaptureRateField: return field == EditingField::CaptureRate;
    case kMarkerRateField: return field == EditingField::MarkerRate;
    case kRenderScaleField: return field == EditingField::RenderScale;
    default: return false;
    }
}

void LiveOrvantaMod::RefreshControlColours()
{
    for (std::size_t index = 0; index < kControlCount; ++index)
    {
        UObject* fill = session.widget.controls[index].fill;
        if (!IsLive(fill, false))
        {
            continue;
        }
        const bool hovered = session.edit.hoveredButton == index;
        LinearColor colour = Palette::kControlDarkFill;
        if (hovered)
        {
            colour = Palette::kHover;
        }
        else if (index == kResizeHandle || IsControlActive(index))
        {
            // The handle always shows as active, so it can be found.
            colour = Palette::kActive;
        }
        SetBrushColor(reflection, fill, colour);
    }
}

void LiveOrvantaMod::ApplyTextSizes()
{
    LayoutState& layout = session.layout;
    const double k = layout.controlScale;
    const FrameLayout& placed = layout.placed;
    WidgetState& widget = session.widget;
    layout.textScale = k;
    constexpr double kEdges = 2.0 * static_cast<double>(kRimPadding);
    for (std::size_t index = 0; index < kControlCount; ++index)
    {
        const LayoutBox& box = placed.controls[index];
        const double size =
            FittedCaptionSize(index, static_cast<double>(kControlCaptions[index].fontSize) * k, CaptionRoomWidth(box, k), box.height - kEdges);
        layout.captionSizes[index] = size;
        if (IsLive(widget.controls[index].text, false))
        {
            ApplyFontSize(reflection, widget.controls[index].text, static_cast<float>(size));
        }
    }
    for (std::size_t index = 0; index < kPerfTextCount; ++index)
    {
        const LayoutBox& box = placed.captions[index];
        if (IsLive(widget.perfTexts[index].text, false))
        {
            const double size = FittedFontSize(kPerfCaptions[index].text, static_cast<double>(kPerfCaptions[index].fontSize) * k, box.width, box.height);
            ApplyFontSize(reflection, widget.perfTexts[index].text, static_cast<float>(size));
        }
    }
    if (IsLive(widget.coordinatesText, false))
    {
        ApplyFontSize(reflection, widget.coordinatesText,
                      static_cast<float>(FittedFontSize(L"", static_cast<double>(kCoordinatesFontSize) * k, placed.coordinates.width,
                                                        placed.coordinates.height)));
    }
    if (IsLive(session.markers.waypointDistance.text, false))
    {
        ApplyFontSize(reflection, session.markers.waypointDistance.text, static_cast<float>(static_cast<double>(kDistanceFontSize) * k));
        // Its box is sized anew with the next text.
        session.markers.waypointDistance.metres = -1;
        session.markers.waypointDistance.nextText = 0;
    }
    const double tick = kNorthTickSize * k;
    SetSlotPositionAndSize(reflection, widget.northTick.slot, {0.0, 0.0}, {tick, tick});
    widget.northTick.sentPosition = kNoPosition;
    const double disc = kCompassLetterBoxSize * k;
    for (CompassLetter& letter : widget.compass)
    {
        if (!IsLive(letter.backdrop, false))
        {
            continue;
        }
        // The discs grow with the letters: they are placed again at the next update.
        SetSlotPositionAndSize(reflection, letter.slot, {0.0, 0.0}, {disc, disc});
        letter.sentPosition = kNoPosition;
        if (IsLive(letter.text, false))
        {
            ApplyFontSize(reflection, letter.text, static_cast<float>(FittedFontSize(L"W", static_cast<double>(kCompassLetterFontSize) * k, disc, disc)));
        }
    }
}
} // namespace Orv
