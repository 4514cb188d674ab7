// The call frame: buffer sizes, the checks on writes and reads, the guarded engine call, and
// that every value a frame constructs or reads is destroyed exactly once.
#include "CallFixture.hpp"

#include "reflection/CallFrame.hpp"
#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"

#include <Sim/Faults.hpp>

#include <algorithm>
#include <csignal>
#include <stdexcept>

namespace
{
using namespace RC::Unreal;
using namespace Orv;
using OrvTest::Field;

class CallFrames : public OrvTest::CallFixture
{
  protected:
    void SetUp() override
    {
        CallFixture::SetUp();
        using namespace Sim;
        std::vector<ParamDef> many;
        for (int i = 0; i < 17; ++i)
        {
            many.push_back(In(L"S" + std::to_wstring(i), Str()));
        }
        auto* cls = DefineClass(
            {.path = L"/Script/Test.Callee",
             .properties = {{L"Seen", Str()}, {L"Calls", Int()}, {L"AllZero", Bool()}},
             .functions = {{L"Ping", {}, [](Call& call) { ++*static_cast<int32*>(Field(call.Self(), L"Calls")); }},
                           {L"Big", {In(L"Block", Fixed(Byte(), 300))}, [](Call& call) {
                                auto* block = static_cast<uint8*>(call.ParamAddress(L"Block"));
                                *static_cast<bool*>(Field(call.Self(), L"AllZero")) =
                                    std::all_of(block, block + 300, [](uint8 b) { return b == 0; });
                            }},
                           {L"Flags",
                            {In(L"bFirst", Bitfield()), In(L"bSecond", Bitfield()), In(L"Ratio", Float()),
                             In(L"bNative", Bool())},
                            {}},
                           {L"Echo", {In(L"InLabel", Str()), Return(Str())}, [](Call& call) {
                                *static_cast<FString*>(Field(call.Self(), L"Seen")) = call.Get<FString>(L"InLabel");
                                call.Get<FString>(L"ReturnValue") = call.Get<FString>(L"InLabel");
                                call.Get<FString>(L"ReturnValue").Append(L"!");
                            }},
                           {L"Many", many, {}},
                           {L"Nested", {}, {}},
                           {L"Throws", {}, [](Call&) { throw std::runtime_error("native failed"); }},
                           {L"Broken", {}, {}}}});
        callee_ = Sim::NewObject(cls, nullptr, L"Callee");
        Sim::ResetCounters();
    }

    UFunction* Function(const wchar_t* name) { return reflection_.LookupFunction(callee_, name); }
    int32 Calls() { return *static_cast<int32*>(Field(callee_, L"Calls")); }

    UObject* callee_ = nullptr;
};

TEST_F(CallFrames, ParameterBuffersAreAtLeastOneByteAndGoToTheHeapAbove256)
{
    CallFrame none(reflection_, Function(L"Ping"));
    EXPECT_TRUE(none.IsBound());
    EXPECT_EQ(none.Size(), 1u);
    EXPECT_TRUE(none.Invoke(callee_));
    EXPECT_EQ(Calls(), 1);

    CallFrame big(reflection_, Function(L"Big"));
    EXPECT_EQ(big.Size(), 300u);
    EXPECT_TRUE(big.Invoke(callee_));
    EXPECT_TRUE(*static_cast<bool*>(Field(callee_, L"AllZero"))) << "a zeroed heap buffer of 300 bytes";

    CallFrame unbound(reflection_, nullptr);
    EXPECT_FALSE(unbound.IsBound());
    std::uint8_t byte = 1;
    EXPECT_FALSE(unbound.WriteRaw(L"bFirst", &byte, 1));
    EXPECT_FALSE(unbound.Invoke(callee_));
}

TEST_F(CallFrames, AFrameCallsOnceAndWritesOnlyBeforeAndReadsOnlyAfter)
{
    CallFrame frame(reflection_, Function(L"Flags"));
    float ratio = 0.5f;
    float out = 0;
    EXPECT_FALSE(frame.Read(L"Ratio", &out, 4)) << "nothing to read before the call";
    EXPECT_EQ(frame.ResultSlot(L"Ratio"), nullptr);
    EXPECT_TRUE(frame.WriteRaw(L"Ratio", &ratio, 4));
    EXPECT_TRUE(frame.Invoke(callee_));
    EXPECT_FALSE(frame.Invoke(callee_));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 1u);
    EXPECT_FALSE(frame.WriteRaw(L"Ratio", &ratio, 4));
    EXPECT_EQ(frame.ParameterSlot(L"Ratio"), nullptr);
    EXPECT_TRUE(frame.Read(L"Ratio", &out, 4));
    EXPECT_EQ(out, 0.5f);
}

TEST_F(CallFrames, WritesLargerThanTheParameterOrIntoMissingOnesFail)
{
    CallFrame frame(reflection_, Function(L"Flags"));
    double wide = 1.0;
    std::uint16_t two = 0x0101;
    EXPECT_FALSE(frame.WriteRaw(L"Ratio", &wide, 8));
    EXPECT_FALSE(frame.WriteRaw(L"bFirst", &two, 2));
    EXPECT_FALSE(frame.WriteRaw(L"NoSuchParameter", &wide, 1));
    EXPECT_FALSE(frame.WriteRaw(L"Ratio", nullptr, 4));
    EXPECT_TRUE(std::all_of(frame.Buffer(), frame.Buffer() + frame.Size(), [](std::uint8_t b) { return b == 0; }));
}

// A bitfield's field and byte masks are one bit; a native bool's field mask is its whole byte
// (0xFF) while true is stored as its byte mask (1). Any non-zero source byte means true.
TEST_F(CallFrames, OneByteBooleansFollowTheBitRule)
{
    CallFrame frame(reflection_, Function(L"Flags"));
    std::uint8_t yes = 0xFF;
    std::uint8_t no = 0;
    EXPECT_TRUE(frame.WriteRaw(L"bSecond", &yes, 1));
    EXPECT_EQ(frame.Buffer()[0], 0x02) << "bit 1 of the shared byte";
    EXPECT_TRUE(frame.WriteRaw(L"bFirst", &yes, 1));
    EXPECT_TRUE(frame.WriteRaw(L"bSecond", &no, 1));
    EXPECT_EQ(frame.Buffer()[0], 0x01);
    FProperty* native = frame.Parameter(L"bNative");
    ASSERT_NE(native, nullptr);
    const auto nativeAt = static_cast<std::size_t>(native->GetOffset_Internal());
    ASSERT_EQ(static_cast<FBoolProperty*>(native)->GetFieldMask(), 0xFF);
    EXPECT_TRUE(frame.WriteRaw(L"bNative", &yes, 1));
    EXPECT_EQ(frame.Buffer()[nativeAt], 0x01) << "the byte mask, not the field mask nor the source byte";
    frame.Buffer()[nativeAt] = 0xFE;
    EXPECT_TRUE(frame.WriteRaw(L"bNative", &no, 1));
    EXPECT_EQ(frame.Buffer()[nativeAt], 0x00) << "false clears the whole field mask";
    frame.Buffer()[nativeAt] = 0x04; // a native bool is true whatever its non-zero bits
    ASSERT_TRUE(frame.Invoke(callee_));
    std::uint8_t nativeRead = 0x55;
    EXPECT_TRUE(frame.Read(L"bNative", &nativeRead, 1));
    EXPECT_EQ(nativeRead, 1);
    std::uint8_t read = 7;
    EXPECT_TRUE(frame.Read(L"bFirst", &read, 1));
    EXPECT_EQ(read, 1);
    EXPECT_TRUE(frame.Read(L"bSecond", &read, 1));
    EXPECT_EQ(read, 0);
}

TEST_F(CallFrames, AMissingReturnValueFailsAndLeavesTheDestination)
{
    UObject* destination = callee_;
    EXPECT_FALSE(InvokeFunction(reflection_, callee_, L"Ping", NoArguments,
                                [&](CallFrame& frame) { return frame.Read(L"ReturnValue", &destination, 8); }));
    EXPECT_EQ(destination, callee_);
    EXPECT_EQ(Calls(), 1) << "the call itself was made";
    EXPECT_EQ(CallAndReadObject(reflection_, callee_, L"Ping"), nullptr);
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"NoSuchFunction"));
}

TEST_F(CallFrames, UnreachableOrDeadTargetsAreNotCalled)
{
    callee_->GetObjectItem()->Flags |= static_cast<int32>(EInternalObjectFlags::Unreachable);
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    callee_->GetObjectItem()->Flags = 0;

    UObject* gone = Sim::NewObject(callee_->GetClassPrivate(), nullptr, L"Gone");
    UFunction* ping = Function(L"Ping");
    Sim::DestroyObject(gone);
    CallFrame frame(reflection_, ping);
    EXPECT_FALSE(frame.Invoke(gone)) << "a freed slot is no target";
    EXPECT_FALSE(CallFrame(reflection_, ping).Invoke(nullptr));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
}

TEST_F(CallFrames, ValuesCopiedInAndReadOutAreDestroyedExactlyOnce)
{
    auto live = LiveBlocks();
    FString label(L"marker");
    {
        CallFrame frame(reflection_, Function(L"Echo"));
        ASSERT_TRUE(frame.WriteByCopy(L"InLabel", &label));
        EXPECT_FALSE(frame.WriteByCopy(L"InLabel", &label)) << "a parameter is constructed once";
        ASSERT_TRUE(frame.Invoke(callee_));
        auto* result = static_cast<FString*>(frame.ResultSlot(L"ReturnValue"));
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(result->View(), L"marker!");
        // The copied-in argument is read back too: it must still be destroyed only once.
        EXPECT_NE(frame.ResultSlot(L"InLabel"), nullptr);
    }
    EXPECT_EQ(Sim::ReadString(Field(callee_, L"Seen")), L"marker");
    EXPECT_EQ(LiveBlocks(), live + 2) << "the caller's string and the callee's copy are left";
    EXPECT_EQ(Sim::Counters().InitializeValue, 1u);
    EXPECT_EQ(Sim::Counters().DestroyValue, 2u) << "the argument and the result, once each";
}

TEST_F(CallFrames, AValueBuiltInPlaceThroughASlotIsDestroyedByTheFrame)
{
    auto live = LiveBlocks();
    {
        CallFrame frame(reflection_, Function(L"Echo"));
        FProperty* property = nullptr;
        auto* slot = static_cast<FString*>(frame.ParameterSlot(L"InLabel", &property));
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(PropertyClassOf(property), PropertyClass::Str);
        slot->Append(L"in place");
        EXPECT_EQ(frame.ParameterSlot(L"InLabel"), slot) << "asking again gives the same slot";
        EXPECT_FALSE(frame.WriteByCopy(L"InLabel", slot)) << "already constructed";
        ASSERT_TRUE(frame.Invoke(callee_));
    }
    EXPECT_EQ(LiveBlocks(), live + 1) << "the callee's copy; the slot's string and the unread result are freed";
    EXPECT_EQ(Sim::Counters().DestroyValue, 2u);
}

TEST_F(CallFrames, ASeventeenthConstructedValueIsRefused)
{
    auto live = LiveBlocks();
    {
        CallFrame frame(reflection_, Function(L"Many"));
        FString value(L"x");
        for (int i = 0; i < 16; ++i)
        {
            EXPECT_TRUE(frame.WriteByCopy(L"S" + std::to_wstring(i), &value)) << i;
        }
        EXPECT_FALSE(frame.WriteByCopy(L"S16", &value));
        EXPECT_EQ(frame.ParameterSlot(L"S16"), nullptr);
    }
    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_EQ(Sim::Counters().DestroyValue, 16u);
}

TEST_F(CallFrames, AFaultInsideTheEngineCallFailsTheCallAndLaterCallsWork)
{
    ORV_SKIP_IF_SANITIZED();
    Sim::MakeFunctionFault(Function(L"Broken"), Sim::FaultKind::NullWrite);
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Broken"));
    Sim::MakeFunctionFault(Function(L"Broken"), Sim::FaultKind::DivideByZero);
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Broken"));
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Broken")) << "contained again, not just once";
    EXPECT_TRUE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    EXPECT_EQ(Calls(), 1);
}

#ifndef _WIN32
// Signal handlers are the guard's tool on POSIX systems only; on Windows it installs none.
void PreviousHandler(int) {}

TEST_F(CallFrames, TheGuardPutsBackWhateverHandlersWereInstalled)
{
    ORV_SKIP_IF_SANITIZED();
    struct sigaction mine{};
    mine.sa_handler = &PreviousHandler;
    sigemptyset(&mine.sa_mask);
    struct sigaction saved[2];
    sigaction(SIGSEGV, &mine, &saved[0]);
    sigaction(SIGFPE, &mine, &saved[1]);

    Sim::MakeFunctionFault(Function(L"Broken"), Sim::FaultKind::NullWrite);
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Broken"));
    EXPECT_TRUE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    // A native that throws leaves the guard by its other door.
    EXPECT_THROW(InvokeFunction(reflection_, callee_, L"Throws", NoArguments, NoResults), std::runtime_error);

    struct sigaction now{};
    sigaction(SIGSEGV, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &PreviousHandler);
    sigaction(SIGFPE, nullptr, &now);
    EXPECT_EQ(now.sa_handler, &PreviousHandler);
    sigaction(SIGSEGV, &saved[0], nullptr);
    sigaction(SIGFPE, &saved[1], nullptr);
}
#endif

TEST_F(CallFrames, AFaultInACallMadeFromInsideAnotherCallIsContainedInnermost)
{
    ORV_SKIP_IF_SANITIZED();
    UFunction* broken = Function(L"Broken");
    Sim::MakeFunctionFault(broken, Sim::FaultKind::NullWrite);
    bool innerResult = true;
    // A hook runs inside the engine's call, and the mod calls the engine again from it.
    Function(L"Nested")->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) {
        innerResult = CallWithoutArguments(reflection_, callee_, L"Broken");
    });
    EXPECT_TRUE(CallWithoutArguments(reflection_, callee_, L"Nested"));
    EXPECT_FALSE(innerResult);
    EXPECT_TRUE(CallWithoutArguments(reflection_, callee_, L"Ping"));
}
} // namespace
