// Reads the input state from the engine's side: the edit mode and the typed value from what the
// screen draws of the HUD's controls, the rest from the local player's controller.
#include "InputReport.hpp"
#include "WidgetReport.hpp"

#include <Sim/Engine.hpp>
#include <Sim/Input.hpp>
#include <Sim/World.hpp>

namespace OrvSim
{
namespace
{
// The zoom-in control shows only in the edit mode; the three value fields follow it.
constexpr std::size_t kZoomInControl = 1;
constexpr std::size_t kFirstValueField = 9;
constexpr std::size_t kValueFields = 3;

// The value field whose caption ends in the text cursor, 1 to 3; 0 for none.
int TypedField(const std::vector<ControlOnScreen>& controls)
{
    for (std::size_t field = 0; field < kValueFields && kFirstValueField + field < controls.size(); ++field)
    {
        const ControlOnScreen& control = controls[kFirstValueField + field];
        if (control.visible && !control.label.empty() && control.label.back() == '_')
        {
            return static_cast<int>(field) + 1;
        }
    }
    return 0;
}
} // namespace

nlohmann::json DescribeInput()
{
    const std::vector<ControlOnScreen> controls = ControlsOnScreen();
    nlohmann::json described = {{"edit_mode", controls.size() > kZoomInControl && controls[kZoomInControl].visible},
                                {"typing", TypedField(controls)},
                                {"cursor_shown", nullptr},
                                {"click_events", nullptr},
                                {"mouse_over_events", nullptr},
                                {"move_ignored", nullptr},
                                {"look_ignored", nullptr}};
    RC::Unreal::UObject* controller = Sim::ObjectReference(Sim::LocalPlayer(), L"PlayerController");
    if (controller == nullptr || !Sim::HoldsObject(controller))
    {
        return described;
    }
    const Sim::ControllerInput input = Sim::InputStateOf(controller);
    described["cursor_shown"] = input.showMouseCursor;
    described["click_events"] = input.clickEvents;
    described["mouse_over_events"] = input.mouseOverEvents;
    described["move_ignored"] = input.ignoreMove > 0;
    described["look_ignored"] = input.ignoreLook > 0;
    return described;
}
} // namespace OrvSim
