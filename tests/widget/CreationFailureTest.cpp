// Building the HUD when one engine call it cannot do without fails on its own: whichever call
// it is, the widget never reaches the viewport, the failure is reported once, and the session
// (its capture with it) is dropped for the next try. Calls the tree can do without do not stop it.
#include "widget/WidgetFixture.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace OrvTest
{
namespace
{
class OneCallFails : public WidgetFixture
{
  protected:
    // A fresh engine whose n-th call of the function (counted from the session's start) faults,
    // and a HUD started on it.
    void StartWithFault(const wchar_t* function, int call)
    {
        SCOPED_TRACE(call);
        mod_.reset();
        StartEngine(5, 1);
        Sim::AdvanceClock(7 * Orv::kSecond);
        const FaultOnCall fault(function, call);
        reportsBefore_ = WidgetFailureReports();
        StartHud();
        ASSERT_GE(fault.Calls(), call) << "the build never got that far";
    }

    void ExpectEachFailureAbandons(const wchar_t* function, std::initializer_list<int> calls)
    {
        for (int call : calls)
        {
            StartWithFault(function, call);
            SCOPED_TRACE(call);
            ExpectCreationAbandoned(reportsBefore_);
        }
    }

    int reportsBefore_ = 0;
};

// A diamond's content (the second call, after the arrow box's), the middle rim's in the
// frame's chain (67), the panel's fill (70), and the edit button's caption (71) and fill (72).
TEST_F(OneCallFails, AContentThatCannotBeSet)
{
    ORV_SKIP_IF_SANITIZED();
    ExpectEachFailureAbandons(L"/Script/UMG.ContentWidget:SetContent", {2, 67, 70, 71, 72});
}

// The first icon's backdrop, after the frame's three children.
TEST_F(OneCallFails, AnIconThatCannotTakeItsImages)
{
    ORV_SKIP_IF_SANITIZED();
    ExpectEachFailureAbandons(L"/Script/UMG.Overlay:AddChildToOverlay", {4});
}

// The first icon (1) and diamond (97) on the marker canvas, then on the positioned canvas the
// map (161), the panel (162), the first caption (163) and control (168), and last the
// positioned canvas itself on the root (182).
TEST_F(OneCallFails, ACanvasChildThatCannotBeAdded)
{
    ORV_SKIP_IF_SANITIZED();
    ExpectEachFailureAbandons(L"/Script/UMG.CanvasPanel:AddChildToCanvas", {1, 97, 161, 162, 163, 168, 182});
}

class OptionalCalls : public WidgetFixture
{
};

// Colours, paddings, render transforms, overrides and alignments are dressing: one that fails
// leaves the engine's default and the HUD is still built.
TEST_F(OptionalCalls, ADressingCallThatFailsLeavesTheHudBuilt)
{
    ORV_SKIP_IF_SANITIZED();
    std::vector<std::unique_ptr<FaultOnCall>> faults;
    for (const wchar_t* function :
         {L"/Script/UMG.Border:SetBrushColor", L"/Script/UMG.Border:SetPadding", L"/Script/UMG.Widget:SetRenderTransformPivot",
          L"/Script/UMG.Widget:SetRenderTransformAngle", L"/Script/UMG.SizeBox:SetWidthOverride",
          L"/Script/UMG.OverlaySlot:SetHorizontalAlignment", L"/Script/UMG.TextBlock:SetColorAndOpacity",
          L"/Script/UMG.TextBlock:SetFont"})
    {
        faults.push_back(std::make_unique<FaultOnCall>(function, 1));
    }
    StartHud();
    for (const auto& fault : faults)
    {
        EXPECT_GE(fault->Calls(), 1);
    }
    EXPECT_EQ(Sim::ViewportWidgets().size(), 1u);
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 0u);
    // The one caption whose font could not be set (the first sized: EDIT, at the size LOCK fits
    // its 32 units in, 32 / (2.998 em × 4/3 units a point)) is scaled instead.
    UObject* edit = Widget().controls[Orv::kEditButton].text;
    EXPECT_NEAR(RealMember(edit, L"RenderTransform.Scale.X"), 8.005 / 24.0, 0.001);
    EXPECT_FLOAT_EQ(static_cast<float>(RealMember(Widget().perfTexts[0].text, L"RenderTransform.Scale.X")), 1.0f);
}

// The z-order is written into the call's parameters; an engine whose "AddToViewport" takes
// none cannot be told it, and the HUD is not put up at an order the player cannot rely on.
TEST_F(OptionalCalls, AViewportCallWithoutAZOrderFailsCreation)
{
    ASSERT_TRUE(Sim::RemoveFunction(L"/Script/UMG.UserWidget:AddToViewport"));
    Sim::AddFunction(Sim::FindClass(L"/Script/UMG.UserWidget"), {.name = L"AddToViewport", .native = [](Sim::Call&) {}});
    StartHud();
    EXPECT_EQ(Sim::Observations().captureActorsDestroyed, 1u);
    EXPECT_EQ(Widget().userWidget, nullptr);
}
} // namespace
} // namespace OrvTest
