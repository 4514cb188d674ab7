// A HUD frame runs the same setters every frame: once names are resolved, a call must not
// allocate. The engine side here has no native bodies, so every allocation counted is the mod's.
#include "CallFixture.hpp"

#include "reflection/Calls.hpp"
#include "reflection/Setters.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

#if !defined(__SANITIZE_ADDRESS__)
namespace
{
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size))
    {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#endif

namespace
{
using namespace Orv;

class SteadyFrame : public OrvTest::CallFixture
{
};

TEST_F(SteadyFrame, RepeatedSettersAndReadsAllocateNothing)
{
#if defined(__SANITIZE_ADDRESS__)
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
    long before = allocations.load();
    ASSERT_GT(before, 0) << "the counting operator new is not in use";
    for (int i = 0; i < 10; ++i)
    {
        frame();
    }
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 11u * 6u);
#endif
}
} // namespace
