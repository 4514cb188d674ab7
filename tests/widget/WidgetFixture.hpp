// What the widget tests share: a session whose first frame built the HUD, the mod's layout
// steps reachable, reading back what the engine's widgets hold (slot offsets, visibility,
// brushes, texts, colours, render transforms, the children of a panel) and what the setters
// were called with, the HUD's colours as the player should see them, and one engine call made
// to fail on its own.
#pragma once

#include "capture/CaptureFixture.hpp"

#include "reflection/Setters.hpp"
#include "widget/WidgetTree.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Faults.hpp>
#include <Sim/Widgets.hpp>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace OrvTest
{
class WidgetMod : public CaptureMod
{
  public:
    using LiveOrvantaMod::ApplyFrameShape;
    using LiveOrvantaMod::ApplyLayout;
    using LiveOrvantaMod::CommitLayoutAndSave;
    using LiveOrvantaMod::CreateMapWidget;
    using LiveOrvantaMod::FollowViewportSize;
    using LiveOrvantaMod::LayoutControls;
    using LiveOrvantaMod::MutableSession;
    using LiveOrvantaMod::RefreshControlColours;
    using LiveOrvantaMod::RefreshValueFields;
    using LiveOrvantaMod::SetFramePosition;
    using LiveOrvantaMod::SetMapSize;
    using LiveOrvantaMod::ViewportScale;
    using LiveOrvantaMod::ViewportSize;
};

struct Rect
{
    double x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

inline std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << "(" << r.x << ", " << r.y << ", " << r.width << " x " << r.height << ")";
}

// The canvas slot's position and size, as its offsets keep them.
inline Rect SlotRect(UObject* slot)
{
    auto [left, layout] = StructMember(slot, L"LayoutData", L"Offsets");
    auto* offsets = static_cast<RC::Unreal::FStructProperty*>(left)->GetStruct();
    const void* margin = left->ContainerPtrToValuePtr<void>(layout);
    return {RealAt(PropertyNamed(offsets, L"Left"), margin), RealAt(PropertyNamed(offsets, L"Top"), margin),
            RealAt(PropertyNamed(offsets, L"Right"), margin), RealAt(PropertyNamed(offsets, L"Bottom"), margin)};
}

inline std::uint8_t VisibilityOf(UObject* widget) { return ValueField<std::uint8_t>(widget, L"Visibility"); }

inline std::array<float, 4> ColourField(UObject* widget, const wchar_t* name)
{
    return ValueField<std::array<float, 4>>(widget, name);
}

inline std::array<float, 4> Colour(const Orv::LinearColor& c) { return {c.r, c.g, c.b, c.a}; }

// The HUD's colours as the player is meant to see them, written out here rather than taken
// from the mod, so that a changed entry in its palette fails instead of being followed.
namespace Look
{
inline constexpr std::array<float, 4> kBronze{0.576f, 0.294f, 0.067f, 1.0f};
inline constexpr std::array<float, 4> kRimDarkFill{0.045f, 0.027f, 0.017f, 0.99f};
inline constexpr std::array<float, 4> kRimLightBronze{0.365f, 0.205f, 0.065f, 0.96f};
inline constexpr std::array<float, 4> kControlDarkFill{0.045f, 0.027f, 0.017f, 0.97f};
inline constexpr std::array<float, 4> kActive{0.365f, 0.205f, 0.065f, 1.0f};
inline constexpr std::array<float, 4> kHover{0.69f, 0.39f, 0.105f, 1.0f};
inline constexpr std::array<float, 4> kCaptionText{0.92f, 0.78f, 0.5f, 1.0f};
inline constexpr std::array<float, 4> kIconBackdrop{0.015f, 0.01f, 0.006f, 0.92f};
inline constexpr std::array<float, 4> kDiamondEdge{0.01f, 0.006f, 0.003f, 1.0f};
inline constexpr std::array<float, 4> kWhite{1.0f, 1.0f, 1.0f, 1.0f};
} // namespace Look

// The colour a setter was last called with on the widget, as four floats ("InBrushColor",
// "InColorAndOpacity", or a text block's "InColorAndOpacity.SpecifiedColor").
inline std::array<float, 4> CalledColour(const UObject* widget, const wchar_t* function, const std::wstring& parameter)
{
    const Sim::RecordedCall call = Sim::LastCall(widget, function);
    return {static_cast<float>(call.Number(parameter + L".R")), static_cast<float>(call.Number(parameter + L".G")),
            static_cast<float>(call.Number(parameter + L".B")), static_cast<float>(call.Number(parameter + L".A"))};
}

inline std::array<float, 4> BrushColourCalled(const UObject* border)
{
    return CalledColour(border, L"SetBrushColor", L"InBrushColor");
}

// The padding of the last "SetPadding", left, top, right, bottom.
inline std::array<float, 4> PaddingCalled(const UObject* widget)
{
    const Sim::RecordedCall call = Sim::LastCall(widget, L"SetPadding");
    return {static_cast<float>(call.Number(L"InPadding.Left")), static_cast<float>(call.Number(L"InPadding.Top")),
            static_cast<float>(call.Number(L"InPadding.Right")), static_cast<float>(call.Number(L"InPadding.Bottom"))};
}

// The pivot of the last "SetRenderTransformPivot" (the engine's default is the same centre, so
// only the call tells that one was asked for).
inline std::pair<double, double> PivotCalled(const UObject* widget)
{
    const Sim::RecordedCall call = Sim::LastCall(widget, L"SetRenderTransformPivot");
    return {call.Has(L"Pivot.X") ? call.Number(L"Pivot.X") : -1.0, call.Has(L"Pivot.Y") ? call.Number(L"Pivot.Y") : -1.0};
}

// Makes exactly the n-th call (counted from now, 1 the first) of a script function fault inside
// the engine, as a broken game build would for one call; the calls before and after it run.
class FaultOnCall
{
  public:
    FaultOnCall(const wchar_t* path, int n) : counter_(path)
    {
        counter_.Observe([this, n](void*) {
            Sim::MakeFunctionFault(counter_.Function(), counter_.Count() == n ? Sim::FaultKind::NullWrite : Sim::FaultKind::None);
        });
    }
    ~FaultOnCall()
    {
        if (counter_.Function() != nullptr && Sim::HoldsObject(counter_.Function()))
        {
            Sim::MakeFunctionFault(counter_.Function(), Sim::FaultKind::None);
        }
    }
    FaultOnCall(const FaultOnCall&) = delete;
    FaultOnCall& operator=(const FaultOnCall&) = delete;

    int Calls() const { return counter_.Count(); }

  private:
    CallCounter counter_;
};

// A member of a struct property, found by a dotted path ("Brush.OutlineSettings.Width").
inline std::pair<FProperty*, void*> MemberAt(UObject* object, const std::wstring& path)
{
    const Sim::MemberRef member = Sim::FindMemberByPath(object, path);
    return {member.property, member.address};
}

inline double RealMember(UObject* object, const std::wstring& path)
{
    auto [property, value] = MemberAt(object, path);
    if (dynamic_cast<RC::Unreal::FDoubleProperty*>(property) != nullptr)
    {
        return *static_cast<const double*>(value);
    }
    if (dynamic_cast<RC::Unreal::FIntProperty*>(property) != nullptr)
    {
        return *static_cast<const RC::Unreal::int32*>(value);
    }
    return *static_cast<const float*>(value);
}

inline std::uint8_t ByteMember(UObject* object, const std::wstring& path)
{
    return *static_cast<const std::uint8_t*>(MemberAt(object, path).second);
}

inline std::wstring TextOf(UObject* textBlock) { return Sim::ReadText(FieldAddress(textBlock, L"Text")); }

// The four corner radii of a brush, each as the engine keeps it (floats or doubles).
inline std::vector<double> CornerRadii(UObject* widget, const std::wstring& brush)
{
    auto [radii, value] = MemberAt(widget, brush + L".OutlineSettings.CornerRadii");
    auto* layout = static_cast<RC::Unreal::FStructProperty*>(radii)->GetStruct();
    std::vector<double> out;
    for (const wchar_t* name : {L"X", L"Y", L"Z", L"W"})
    {
        out.push_back(RealAt(PropertyNamed(layout, name), value));
    }
    return out;
}

// The widgets a panel holds, in the order they were added (and are drawn).
inline std::vector<UObject*> Children(UObject* panel)
{
    auto* array = static_cast<RC::Unreal::FArrayProperty*>(PropertyNamed(panel->GetClassPrivate(), L"Slots"));
    void* value = array->ContainerPtrToValuePtr<void>(panel);
    std::vector<UObject*> children;
    for (RC::Unreal::int32 i = 0; i < Sim::ArrayNum(value); ++i)
    {
        UObject* slot = *static_cast<UObject**>(Sim::ArrayElement(array, value, i));
        children.push_back(ValueField<UObject*>(slot, L"Content"));
    }
    return children;
}

inline UObject* SlotOf(UObject* widget) { return ValueField<UObject*>(widget, L"Slot"); }

// A player whose session built its capture and widget on the first frame.
class WidgetFixture : public CaptureFixture
{
  protected:
    void StartWidgetMod()
    {
        auto mod = std::make_unique<WidgetMod>();
        widgetMod_ = mod.get();
        capture_ = mod.get();
        mod_ = std::move(mod);
        mod_->on_unreal_init();
        mod_->StartOnGameThread();
    }

    // The viewport set first (at scale 1 unless the engine's DPI curve is asked for with no
    // scale), then the player and one frame.
    void StartHud(int pixelsWide = 1920, int pixelsHigh = 1080, std::optional<float> scale = 1.0f)
    {
        Sim::SetViewportPixels(pixelsWide, pixelsHigh);
        if (scale.has_value())
        {
            Sim::SetViewportScale(*scale);
        }
        world_ = Sim::CreateWorld(L"Valley");
        gameInstance_ = Sim::CreateGameInstance(world_);
        auto local = Sim::EnterLocalPlayer(world_);
        controller_ = local.controller;
        pawn_ = local.pawn;
        const Orv::ModSettings wanted = Orv::Settings();
        const Orv::HudSettings wantedHud = Orv::Hud();
        StartWidgetMod();
        Orv::Settings() = wanted;
        Orv::Hud() = wantedHud;
        Frame();
    }

    const Orv::WidgetState& Widget() const { return Session().widget; }
    const Orv::LayoutState& Layout() const { return Session().layout; }
    Orv::EditState& Edit() { return widgetMod_->MutableSession().edit; }
    Rect Hud() const { return SlotRect(Widget().hudSlot); }
    Rect ControlRect(std::size_t index) const { return SlotRect(Widget().controls[index].slot); }

    // Times the widget's creation failure was logged; the log device outlives the engines of
    // one test.
    int WidgetFailureReports() const
    {
        int reports = 0;
        for (const auto& line : Lines())
        {
            reports += line.text == L"[Orvanta] [error] The minimap widget could not be created for the active session.\n";
        }
        return reports;
    }

    // A creation given up as a failure: nothing in the viewport, the session torn down with its
    // capture, and one more report than before.
    void ExpectCreationAbandoned(int reportsBefore = 0) const
    {
        EXPECT_TRUE(Sim::ViewportWidgets().empty());
        EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u);
        EXPECT_EQ(WidgetFailureReports() - reportsBefore, 1);
        EXPECT_EQ(Widget().userWidget, nullptr);
    }

    WidgetMod* widgetMod_ = nullptr;
};
} // namespace OrvTest
