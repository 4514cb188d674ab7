// What the edit-mode tests share: a player with the HUD built, the mouse and keys of the
// stand-in driven one engine frame at a time as a player would, the controls found where the
// screen draws them, and the controller's input as the engine holds it.
#pragma once

#include "widget/WidgetFixture.hpp"

#include <Sim/Input.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Widgets.hpp>

#include "settings/HudFile.hpp"

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

namespace OrvTest
{
struct Point
{
    double x = 0, y = 0;
};

class InputFixture : public WidgetFixture
{
  protected:
    void SetUp() override
    {
        WidgetFixture::SetUp();
        ORV_SKIP_WITHOUT_SIMULATED_KEYS();
    }

    void TearDown() override
    {
        WidgetFixture::TearDown();
    }

    // Where the screen draws a control, in viewport pixels.
    static Sim::LayoutRect OnScreen(UObject* widget)
    {
        Sim::LayOutScreen();
        const Sim::LayoutRect rect = Sim::PlacementOf(widget).rect;
        const double scale = Sim::ViewportScale();
        return {rect.x * scale, rect.y * scale, rect.width * scale, rect.height * scale};
    }
    Sim::LayoutRect ControlOnScreen(std::size_t control) const
    {
        return OnScreen(Widget().controls[control].frame);
    }
    bool ControlShown(std::size_t control) const
    {
        Sim::LayOutScreen();
        return Sim::PlacementOf(Widget().controls[control].frame).drawn;
    }
    Point Centre(std::size_t control) const
    {
        const Sim::LayoutRect rect = ControlOnScreen(control);
        return {rect.x + rect.width / 2, rect.y + rect.height / 2};
    }
    // A point on the map area below the control bar, in viewport pixels.
    Point OnMap(double fractionX = 0.5, double fractionY = 0.5) const
    {
        const Sim::LayoutRect map = OnScreen(Widget().mapSizeBox);
        return {map.x + map.width * fractionX, map.y + map.height * fractionY};
    }

    static void MouseTo(Point at) { Sim::SetMousePosition(at.x, at.y); }
    static void Press()
    {
        Sim::SetKeyDown(VK_LBUTTON, true);
        Frame();
    }
    static void Release()
    {
        Sim::SetKeyDown(VK_LBUTTON, false);
        Frame();
    }
    static void ClickAt(Point at)
    {
        MouseTo(at);
        Press();
        Release();
    }
    void Click(std::size_t control) const { ClickAt(Centre(control)); }
    // Down for one frame, up the next: one press as the key's edge.
    static void Tap(int key)
    {
        Sim::SetKeyDown(key, true);
        Frame();
        Sim::SetKeyDown(key, false);
        Frame();
    }
    // Digits on the main row and "." as the period key, one per tap.
    static void Type(std::string_view keys)
    {
        for (char c : keys)
        {
            Tap(c == '.' ? VK_OEM_PERIOD : static_cast<int>(c));
        }
    }
    void EnterEditMode() const { Click(Orv::kEditButton); }
    // The key tapped while the modifiers are held; all released after.
    static void PressChord(std::initializer_list<int> modifiers, int key)
    {
        for (int modifier : modifiers)
        {
            Sim::SetKeyDown(modifier, true);
        }
        Tap(key);
        for (int modifier : modifiers)
        {
            Sim::SetKeyDown(modifier, false);
        }
        Frame();
    }
    // The default key that hides and shows the map.
    static void CtrlM() { PressChord({VK_LCONTROL}, 'M'); }

    // The game's own code switching one of the controller's bitfield flags.
    static void GameSets(UObject* controller, const wchar_t* name, bool value)
    {
        FProperty* property = PropertyNamed(controller->GetClassPrivate(), name);
        static_cast<RC::Unreal::FBoolProperty*>(property)->SetPropertyValue(property->ContainerPtrToValuePtr<void>(controller), value);
    }

    Sim::ControllerInput Input() const { return Sim::InputStateOf(controller_); }
    std::wstring Caption(std::size_t control) const { return TextOf(Widget().controls[control].text); }

    // state.ini removed, so a test can tell whether the next step saved.
    void ForgetSavedFile() const { std::filesystem::remove(std::filesystem::path(Orv::SettingsFilePath())); }
    static bool Saved() { return std::filesystem::exists(std::filesystem::path(Orv::SettingsFilePath())); }
    static std::string HudFileText()
    {
        std::ifstream file(std::filesystem::path(Orv::HudFilePath()), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
};
} // namespace OrvTest
