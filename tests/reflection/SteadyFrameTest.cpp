// A HUD frame runs the same setters every frame: once names are resolved, a call must not
// allocate. The engine side here has no native bodies, so every allocation counted is the mod's.
#include "CallFixture.hpp"

#include "reflection/Calls.hpp"
#include "reflection/Setters.hpp"

#include "support/CountingNew.hpp"

namespace
{
using namespace Orv;

class SteadyFrame : public OrvTest::CallFixture
{
};

TEST_F(SteadyFrame, RepeatedSettersAndReadsAllocateNothing)
{
#if !ORV_COUNTING_NEW
    GTEST_SKIP() << "the sanitizer owns operator new";
#else
    using namespace Sim;
    auto vector2D = Struct(L"/Script/CoreUObject.Vector2D");
    auto* cls = DefineClass(
        {.path = L"/Script/Test.QuietWidget",
         .properties = {{L"ColorAndOpacity", Struct(L"/Script/SlateCore.SlateColor")}},
         .functions = {{L"SetVisibility", {In(L"InVisibility", Byte())}, {}},
                       {L"SetColorAndOpacity", {In(L"InColorAndOpacity", Struct(L"/Script/SlateCore.SlateColor"))}, {}},
                       {L"SetPosition", {In(L"InPosition", vector2D)}, {}},
                       {L"SetSize", {In(L"InSize", vector2D)}, {}},
                       {L"K2_SetActorRotation", {In(L"NewRotation", Struct(L"/Script/CoreUObject.Rotator")), In(L"bTeleportPhysics", Bool())}, {}},
                       {L"GetVelocity", {Return(Struct(L"/Script/CoreUObject.Vector"))}, {}}}});
    UObject* widget = NewObject(cls, nullptr, L"Quiet");
    Vector3d velocity;
    auto frame = [&] {
        SetVisibility(reflection_, widget, kVisibilityShown);
        SetTextColor(reflection_, widget, {1, 1, 1, 1});
        SetSlotPositionAndSize(reflection_, widget, {10, 20}, {30, 40});
        SetActorRotation(reflection_, widget, {0, 90, 0});
        CallAndReadVector(reflection_, widget, L"GetVelocity", velocity);
    };
    frame();
    long before = OrvTest::allocationCount.load();
    ASSERT_GT(before, 0) << "the counting operator new is not in use";
    for (int i = 0; i < 10; ++i)
    {
        frame();
    }
    EXPECT_EQ(OrvTest::allocationCount.load() - before, 0);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 11u * 6u);
#endif
}
} // namespace
