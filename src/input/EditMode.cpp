// The mouse and the edit mode, polled once a frame as the frame's last step: the left button's
// edges, the control under the mouse, each control's action, the two drags, and the game's
// input taken on entering the edit mode and given back exactly as it was on leaving it.
#include "mod/LiveOrvantaMod.hpp"

#include "capture/CaptureMath.hpp"
#include "input/Hotkeys.hpp"
#include "input/Keys.hpp"
#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"
#include "reflection/Setters.hpp"
#include "settings/HudFile.hpp"
#include "settings/ModSettings.hpp"
#include "widget/LayoutMath.hpp"

namespace Orv
{
using namespace RC::Unreal;

namespace
{
// The values RESET DEFAULTS restores: capture and marker rates, render scale.
constexpr float kDefaultRate = 60.0f;
constexpr float kDefaultRenderScale = 4.0f;
constexpr std::wstring_view kWidgetLibrary = L"/Script/UMG.WidgetBlueprintLibrary";
constexpr std::wstring_view kCursorSwitches[] = {L"bShowMouseCursor", L"bEnableClickEvents", L"bEnableMouseOverEvents"};

std::size_t ValueFieldControl(EditingField field)
{
    switch (field)
    {
    case EditingField::CaptureRate: return kCaptureRateField;
    case EditingField::MarkerRate: return kMarkerRateField;
    case EditingField::RenderScale: return kRenderScaleField;
    default: return kControlCount;
    }
}
} // namespace

void LiveOrvantaMod::UpdateInput()
{
    EditState& edit = session.edit;
    const bool down = IsKeyDown(VK_LBUTTON);
    // The button and the keys are read from the whole desktop: a click or a key meant for
    // another program in front acts on nothing here, as the hotkeys do not. Asked only while
    // the button is down or a value is typed, so an idle frame asks the desktop nothing.
    const bool inFront = (down || edit.editingField != EditingField::None) && GameWindowInFront();
    const bool pressed = down && !edit.leftButtonWasDown && inFront;
    const bool released = !down && edit.leftButtonWasDown;
    if (released && edit.inputRestorePending)
    {
        RestoreGameInputMode();
    }
    // The engine's scale, read once for the frame's layout check and mouse.
    const double scale = ViewportScale();
    FollowViewportSize(scale);
    if (edit.editMode)
    {
        // The game may have hidden the cursor again since the last frame.
        EnterEditInputMode();
        ProcessTextEntryKeys(inFront);
    }

    double x = 0.0;
    double y = 0.0;
    const bool located = ReadMousePosition(scale, x, y);
    const std::size_t hit = located ? ControlAt(x, y) : kControlCount;
    if (hit != edit.hoveredButton)
    {
        edit.hoveredButton = hit;
        RefreshControlColours();
    }
    if (pressed && located)
    {
        PressControl(hit, x, y);
    }
    if (down && located && inFront)
    {
        DragTo(x, y);
    }
    // A drag ends at the release even when the mouse has left the viewport.
    if (released)
    {
        EndDrag();
    }
    edit.leftButtonWasDown = down;
}

bool LiveOrvantaMod::ReadMousePosition(double scale, double& x, double& y)
{
    UObject* controller = session.discovery.playerController;
    if (!IsLive(controller, false))
    {
        return false;
    }
    float locationX = 0.0f;
    float locationY = 0.0f;
    bool overViewport = false;
    const bool read = InvokeFunction(reflection, controller, L"GetMousePosition", NoArguments, [&](CallFrame& frame) {
        return frame.Read(L"LocationX", &locationX, sizeof(locationX)) &&
               frame.Read(L"LocationY", &locationY, sizeof(locationY)) &&
               frame.Read(L"ReturnValue", &overViewport, sizeof(overViewport));
    });
    if (!read || !overViewport)
    {
        return false;
    }
    // The engine reports pixels; the layout works in DPI-scaled units.
    x = static_cast<double>(locationX) / scale;
    y = static_cast<double>(locationY) / scale;
    return true;
}

std::size_t LiveOrvantaMod::ControlAt(double x, double y) const
{
    const LayoutState& layout = session.layout;
    const auto& controls = session.widget.controls;
    return TopmostControlAt(layout.placed, x - layout.frameX, y - layout.frameY,
                            [&](std::size_t index) { return controls[index].frame != nullptr; });
}

void LiveOrvantaMod::PressControl(std::size_t control, double x, double y)
{
    EditState& edit = session.edit;
    if (edit.editingField != EditingField::None && control != ValueFieldControl(edit.editingField))
    {
        EndTextEntry(true);
    }
    ModSettings& settings = Settings();
    switch (control)
    {
    case kEditButton: SetEditMode(!edit.editMode); break;
    case kZoomInButton: StepZoom(-kZoomStep); break;
    case kZoomOutButton: StepZoom(kZoomStep); break;
    case kAiToggle: ToggleAi(); break;
    case kShapeToggle: ToggleFrameShape(); break;
    case kIndoorToggle: ToggleIndoorCamera(); break;
    case kResourcesToggle: ToggleMapCategory(settings.ShowResources); break;
    case kQuestsToggle: ToggleMapCategory(settings.ShowQuests); break;
    case kPoisToggle: ToggleMapCategory(settings.ShowPois); break;
    case kCaptureRateField: StartTextEntry(EditingField::CaptureRate); break;
    case kMarkerRateField: StartTextEntry(EditingField::MarkerRate); break;
    case kRenderScaleField: StartTextEntry(EditingField::RenderScale); break;
    case kResetButton: ApplyPerformanceSettings(kDefaultRate, kDefaultRate, kDefaultRenderScale); break;
    case kNorthUpToggle: ToggleNorthUp(); break;
    case kCoordinatesToggle: ToggleCoordinates(); break;
    case kOpacityButton: CycleMapOpacity(); break;
    case kResizeHandle:
        edit.resizing = true;
        edit.resizeStartMouseX = x;
        edit.resizeStartMouseY = y;
        edit.resizeStartSize = workingSize;
        break;
    default: StartMove(x, y); break;
    }
}

void LiveOrvantaMod::StartMove(double x, double y)
{
    EditState& edit = session.edit;
    const LayoutState& layout = session.layout;
    // Only the picture below the control bar grabs the frame, and not where the performance
    // panel lies over it.
    const double mapTop = layout.frameY + kButtonRowHeight * layout.controlScale;
    if (!edit.editMode || x < layout.frameX || x > layout.frameX + workingSize || y < mapTop || y > mapTop + workingSize ||
        layout.placed.panel.Contains(x - layout.frameX, y - layout.frameY))
    {
        return;
    }
    edit.moving = true;
    edit.grabOffsetX = x - layout.frameX;
    edit.grabOffsetY = y - layout.frameY;
}

void LiveOrvantaMod::DragTo(double x, double y)
{
    const EditState& edit = session.edit;
    if (edit.resizing)
    {
        // A diagonal drag grows the square by the larger of its two movements.
        SetMapSize(edit.resizeStartSize + std::max(y - edit.resizeStartMouseY, x - edit.resizeStartMouseX));
    }
    else if (edit.moving)
    {
        SetFramePosition(x - edit.grabOffsetX, y - edit.grabOffsetY);
    }
}

void LiveOrvantaMod::EndDrag()
{
    EditState& edit = session.edit;
    if (!edit.moving && !edit.resizing)
    {
        return;
    }
    const bool resized = edit.resizing;
    edit.moving = false;
    edit.resizing = false;
    if (resized)
    {
        ResizeRenderTarget();
    }
    CommitLayoutAndSave();
}

void LiveOrvantaMod::ToggleAi()
{
    ModSettings& settings = Settings();
    settings.ShowAi = !settings.ShowAi;
    session.actors = ActorLists{};
    aiSnapshotTaken = false;
    if (settings.ShowAi)
    {
        FullAiScan();
    }
    // Switched off, this collapses every diamond at once.
    UpdateAiMarkers();
    RefreshControlColours();
    CommitLayoutAndSave();
}

void LiveOrvantaMod::ToggleFrameShape()
{
    workingCircular = !workingCircular;
    Settings().Circular = workingCircular;
    session.indoor.roofTraceDone = false;
    ApplyFrameShape();
    LayoutControls();
    UpdateMapIconMarkers();
    if (Settings().ShowAi)
    {
        UpdateAiMarkers();
    }
    RefreshControlColours();
    // The new brushes' shape must reach the screen this frame, not at the next layout pass.
    const WidgetState& widget = session.widget;
    for (UObject* shaped : {widget.userWidget, widget.mapImage, widget.outerRim, widget.middleRim, widget.innerRim})
    {
        if (IsLive(shaped, false))
        {
            CallWithoutArguments(reflection, shaped, L"InvalidateLayoutAndVolatility");
        }
    }
    CommitLayoutAndSave();
}

void LiveOrvantaMod::ToggleIndoorCamera()
{
    ModSettings& settings = Settings();
    settings.IndoorCameraEnabled = !settings.IndoorCameraEnabled;
    ResetIndoorDetection();
    RefreshControlColours();
    CommitLayoutAndSave();
}

void LiveOrvantaMod::ToggleMapCategory(bool& shown)
{
    shown = !shown;
    UpdateMapIconMarkers();
    RefreshControlColours();
    CommitLayoutAndSave();
}

void LiveOrvantaMod::ToggleNorthUp()
{
    HudSettings& hud = Hud();
    hud.NorthUp = !hud.NorthUp;
    SaveHudSettings(hud);
    // The picture, the markers and the letters turn now, not at their next due time.
    if (IsLive(session.capture.captureComponent, false))
    {
        UpdateCamera();
    }
    UpdateMapIconMarkers();
    if (Settings().ShowAi)
    {
        UpdateAiMarkers();
    }
    // The north mark shows only on a turning map.
    ApplyExtrasVisibility();
    UpdateCompassLetters();
    RefreshControlColours();
}

void LiveOrvantaMod::ToggleCoordinates()
{
    HudSettings& hud = Hud();
    hud.Coordinates = !hud.Coordinates;
    SaveHudSettings(hud);
    ApplyExtrasVisibility();
    UpdateCoordinates();
    RefreshControlColours();
}

void LiveOrvantaMod::CycleMapOpacity()
{
    HudSettings& hud = Hud();
    hud.MapOpacity = NextMapOpacity(hud.MapOpacity);
    SaveHudSettings(hud);
    ApplyMapOpacity();
    RefreshOpacityCaption();
    RefreshControlColours();
}

void LiveOrvantaMod::SetEditMode(bool on)
{
    EditState& edit = session.edit;
    if (on == edit.editMode)
    {
        return;
    }
    if (on)
    {
        edit.editMode = true;
        edit.moving = false;
        edit.resizing = false;
        edit.inputRestorePending = false;
        EnterEditInputMode();
        // The click that entered is not a press inside the edit mode.
        edit.leftButtonWasDown = IsKeyDown(VK_LBUTTON);
    }
    else
    {
        EndTextEntry(true);
        const bool dragging = edit.moving || edit.resizing;
        const bool resized = edit.resizing;
        edit.moving = false;
        edit.resizing = false;
        edit.editMode = false;
        if (dragging)
        {
            if (resized)
            {
                ResizeRenderTarget();
            }
            CommitLayoutAndSave();
        }
        // With the button still down its release would reach the game as a click of its own.
        if (IsKeyDown(VK_LBUTTON))
        {
            edit.inputRestorePending = true;
        }
        else
        {
            RestoreGameInputMode();
        }
    }

    UObject* caption = session.widget.controls[kEditButton].text;
    if (IsLive(caption, false))
    {
        SetText(reflection, caption, on ? L"LOCK" : L"EDIT");
    }
    LayoutControls();
    RefreshValueFields();
    if (IsLive(session.widget.userWidget, false))
    {
        CallWithoutArguments(reflection, session.widget.userWidget, L"InvalidateLayoutAndVolatility");
    }
    RefreshControlColours();
}

bool LiveOrvantaMod::SuspendInput(UObject* controller, std::wstring_view isIgnored, std::wstring_view setIgnored,
                                  std::wstring_view parameter)
{
    bool ignored = true;
    const bool asked = InvokeFunction(reflection, controller, isIgnored, NoArguments, [&](CallFrame& frame) {
        return frame.Read(L"ReturnValue", &ignored, sizeof(ignored));
    });
    // Input the game already ignores is the game's to give back, not the mod's.
    if (!asked || ignored)
    {
        return false;
    }
    return SetInputIgnored(controller, setIgnored, parameter, true);
}

bool LiveOrvantaMod::SetInputIgnored(UObject* controller, std::wstring_view setIgnored, std::wstring_view parameter,
                                     bool ignore)
{
    return InvokeFunction(
        reflection, controller, setIgnored,
        [&](CallFrame& frame) { return frame.WriteRaw(parameter, &ignore, sizeof(ignore)); }, NoResults);
}

void LiveOrvantaMod::EnterEditInputMode()
{
    UObject* controller = session.discovery.playerController;
    if (!IsLive(controller, false))
    {
        return;
    }
    SavedControllerInput& saved = session.edit.saved;
    if (saved.controller == nullptr)
    {
        saved = SavedControllerInput{};
        saved.controller = controller;
        saved.showMouseCursorRead = ReadBoolProperty(reflection, controller, kCursorSwitches[0], saved.showMouseCursor);
        saved.clickEventsRead = ReadBoolProperty(reflection, controller, kCursorSwitches[1], saved.clickEvents);
        saved.mouseOverEventsRead = ReadBoolProperty(reflection, controller, kCursorSwitches[2], saved.mouseOverEvents);
        saved.moveIgnoredByMod = SuspendInput(controller, L"IsMoveInputIgnored", L"SetIgnoreMoveInput", L"bNewMoveInput");
        saved.lookIgnoredByMod = SuspendInput(controller, L"IsLookInputIgnored", L"SetIgnoreLookInput", L"bNewLookInput");
    }
    for (std::wstring_view name : kCursorSwitches)
    {
        WriteBoolProperty(reflection, controller, name, true);
    }
}

void LiveOrvantaMod::RestoreGameInputMode()
{
    EditState& edit = session.edit;
    const SavedControllerInput saved = edit.saved;
    edit.saved = SavedControllerInput{};
    edit.inputRestorePending = false;
    UObject* controller = saved.controller;
    // A controller that died meanwhile is forgotten; its memory may be another's by now.
    if (!IsLive(controller, false))
    {
        return;
    }
    if (saved.moveIgnoredByMod)
    {
        SetInputIgnored(controller, L"SetIgnoreMoveInput", L"bNewMoveInput", false);
    }
    if (saved.lookIgnoredByMod)
    {
        SetInputIgnored(controller, L"SetIgnoreLookInput", L"bNewLookInput", false);
    }
    WriteBoolProperty(reflection, controller, kCursorSwitches[0], saved.showMouseCursorRead && saved.showMouseCursor);
    WriteBoolProperty(reflection, controller, kCursorSwitches[1], saved.clickEventsRead && saved.clickEvents);
    WriteBoolProperty(reflection, controller, kCursorSwitches[2], saved.mouseOverEventsRead && saved.mouseOverEvents);

    UObject* library = reflection.LookupClassDefault(kWidgetLibrary);
    if (!IsLive(controller, false) || !IsLive(library, true))
    {
        return;
    }
    const bool flush = true;
    InvokeFunction(
        reflection, library, L"SetInputMode_GameOnly",
        [&](CallFrame& frame) {
            // Engines before 5 have no flush parameter; the mode is still set.
            return frame.WriteRaw(L"PlayerController", &controller, sizeof(controller)) &&
                   (frame.Parameter(L"bFlushInput") == nullptr || frame.WriteRaw(L"bFlushInput", &flush, sizeof(flush)));
        },
        NoResults);
    CallWithoutArguments(reflection, library, L"SetFocusToGameViewport");
}
} // namespace Orv
