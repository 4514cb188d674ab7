// The call frame: buffer sizes, the checks on writes and reads, the guarded engine call, and
// that every value a frame constructs or reads is destroyed exactly once.
#include "CallFixture.hpp"

#include "reflection/CallFrame.hpp"
#include "reflection/FaultGuard.hpp"
#include "reflection/Calls.hpp"
#include "reflection/PropertyAccess.hpp"

#include <Sim/Faults.hpp>

#include <algorithm>
#include <cstdlib>
#include <csetjmp>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace
{
using namespace RC::Unreal;
using namespace Orv;
using OrvTest::Field;

// Counts the bytes of "Block" that hold the marker 0xAB into the callee's "Calls".
void CountMarked(Sim::Call& call)
{
    auto* block = static_cast<uint8*>(call.ParamAddress(L"Block"));
    auto size = static_cast<std::size_t>(call.Param(L"Block")->GetElementSize() * call.Param(L"Block")->GetArrayDim());
    *static_cast<int32*>(Field(call.Self(), L"Calls")) =
        static_cast<int32>(std::count(block, block + size, static_cast<uint8>(0xAB)));
}

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
        DefineStruct({L"/Script/Test.Nothing", {}, {}});
        auto* cls = DefineClass(
            {.path = L"/Script/Test.Callee",
             .properties = {{L"Seen", Str()}, {L"Calls", Int()}, {L"AllZero", Bool()}, {L"Ready", Bool()},
                            {L"Partner", Object()}},
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
                           {L"Fits", {In(L"Block", Fixed(Byte(), 256))}, CountMarked},
                           {L"Spills", {In(L"Block", Fixed(Byte(), 257))}, CountMarked},
                           {L"Oversized", {In(L"Block", Fixed(Byte(), 65552))}, {}},
                           {L"Hollow", {In(L"Nothing", Struct(L"/Script/Test.Nothing")), In(L"After", Int())}, {}},
                           {L"Grid", {In(L"Cells", Fixed(Int(), 3)), In(L"After", Int())}, {}},
                           {L"Switches",
                            {In(L"bNative", Bool()), In(L"bLow", Bitfield32()), In(L"b1", Bitfield32()),
                             In(L"b2", Bitfield32()), In(L"b3", Bitfield32()), In(L"b4", Bitfield32()),
                             In(L"b5", Bitfield32()), In(L"b6", Bitfield32()), In(L"b7", Bitfield32()),
                             In(L"bHigh", Bitfield32())},
                            {}},
                           {L"Produce", {Return(Str()), Out(L"Extra", Str())}, [](Call& call) {
                                call.Get<FString>(L"ReturnValue").Append(L"made");
                                call.Get<FString>(L"Extra").Append(L"made as well");
                            }},
                           {L"Trio", {In(L"A", Str()), In(L"B", Str()), In(L"C", Str()), Return(Str())}, [](Call& call) {
                                call.Get<FString>(L"ReturnValue") = call.Get<FString>(L"A");
                            }},
                           {L"IsReady", {Return(Bool())}, [](Call& call) {
                                call.SetBool(L"ReturnValue", *static_cast<bool*>(Field(call.Self(), L"Ready")));
                            }},
                           {L"GetPartner", {Return(Object())}, [](Call& call) {
                                call.Get<UObject*>(L"ReturnValue") = *static_cast<UObject**>(Field(call.Self(), L"Partner"));
                            }},
                           {L"SetPartner", {In(L"Content", Object())}, OrvTest::Keep(L"Content", L"Partner")},
                           {L"SwapPartner", {In(L"Content", Object()), Return(Object())}, [](Call& call) {
                                auto* partner = static_cast<UObject**>(Field(call.Self(), L"Partner"));
                                call.Get<UObject*>(L"ReturnValue") = *partner;
                                *partner = call.Get<UObject*>(L"Content");
                            }},
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
    EXPECT_FALSE(frame.WriteByCopy(L"Ratio", &ratio));
    EXPECT_EQ(frame.ParameterSlot(L"Ratio"), nullptr);
    EXPECT_EQ(Sim::Counters().InitializeValue, 0u) << "nothing is constructed after the call";
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

// A value that only repeats the engine's default may go without its parameter where the
// function lacks it; where it has it, the write is an ordinary one with all its checks.
TEST_F(CallFrames, AWriteOfADefaultIsLeftOutWhereTheFunctionLacksTheParameter)
{
    CallFrame frame(reflection_, Function(L"Flags"));
    const std::uint8_t yes = 1;
    const float ratio = 0.25f;
    const double wide = 1.0;
    EXPECT_TRUE(frame.WriteRawIfDeclared(L"bUnheardOf", &yes, 1));
    EXPECT_TRUE(std::all_of(frame.Buffer(), frame.Buffer() + frame.Size(), [](std::uint8_t b) { return b == 0; }))
        << "nothing written for it";
    EXPECT_FALSE(frame.WriteRawIfDeclared(L"Ratio", &wide, 8)) << "too long for the parameter it has";
    EXPECT_FALSE(frame.WriteRawIfDeclared(L"bUnheardOf", nullptr, 1));
    EXPECT_TRUE(frame.WriteRawIfDeclared(L"Ratio", &ratio, 4));
    EXPECT_TRUE(frame.WriteRawIfDeclared(L"bSecond", &yes, 1));
    EXPECT_TRUE(frame.Invoke(callee_));
    float out = 0;
    ASSERT_TRUE(frame.Read(L"Ratio", &out, 4));
    EXPECT_EQ(out, 0.25f);
    EXPECT_TRUE(ReadBoolBit(frame.Parameter(L"bSecond"), frame.Buffer() + frame.Parameter(L"bSecond")->GetOffset_Internal()));
    EXPECT_FALSE(frame.WriteRawIfDeclared(L"bUnheardOf", &yes, 1)) << "no writes after the call";

    CallFrame unbound(reflection_, nullptr);
    EXPECT_FALSE(unbound.WriteRawIfDeclared(L"bUnheardOf", &yes, 1));
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

TEST_F(CallFrames, UnreachableOrMissingTargetsAreNotCalled)
{
    callee_->GetObjectItem()->Flags |= static_cast<int32>(EInternalObjectFlags::Unreachable);
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    callee_->GetObjectItem()->Flags = 0;
    EXPECT_FALSE(CallFrame(reflection_, Function(L"Ping")).Invoke(nullptr));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
}

// A freed object's memory may hold the next object at once; only where the engine holds freed
// memory back can a call to it be refused by looking at it.
TEST(CallFramesWithQuarantine, AFreedSlotIsNoTarget)
{
    Sim::ResetEngine({.MemoryQuarantine = 8});
    auto* cls = Sim::DefineClass({.path = L"/Script/Test.Gone", .functions = {{L"Ping", {}, [](Sim::Call&) {}}}});
    UObject* gone = Sim::NewObject(cls, nullptr, L"Gone");
    Orv::Reflection reflection;
    UFunction* ping = reflection.LookupFunction(gone, L"Ping");
    ASSERT_NE(ping, nullptr);
    Sim::DestroyObject(gone);
    Sim::ResetCounters();
    EXPECT_FALSE(CallFrame(reflection, ping).Invoke(gone));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
    Sim::ResetEngine();
}

TEST_F(CallFrames, ValuesCopiedInAndReadOutAreDestroyedExactlyOnce)
{
    auto live = LiveBlocks();
    FString label(L"marker");
    {
        CallFrame frame(reflection_, Function(L"Echo"));
        EXPECT_FALSE(frame.WriteByCopy(L"InLabel", nullptr)) << "no source, nothing to copy";
        EXPECT_FALSE(frame.WriteByCopy(L"NoSuchParameter", &label));
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
// The handler "someone else" (the game, a crash reporter) had installed: it records what
// reached it and jumps back to where the test faulted.
struct Reached
{
    int count = 0;
    int signal = 0;
    int code = 0;
    void* address = nullptr;
    std::thread::id thread;
};
Reached reached;
thread_local sigjmp_buf* landing = nullptr;
std::mutex reachedLock;

void Record(int signal, siginfo_t* info)
{
    std::lock_guard lock(reachedLock);
    ++reached.count;
    reached.signal = signal;
    reached.code = info != nullptr ? info->si_code : 0;
    reached.address = info != nullptr ? info->si_addr : nullptr;
    reached.thread = std::this_thread::get_id();
}

void PreviousWithInfo(int signal, siginfo_t* info, void*)
{
    Record(signal, info);
    if (landing != nullptr)
    {
        siglongjmp(*landing, 1);
    }
}

void PreviousPlain(int signal)
{
    Record(signal, nullptr);
    if (landing != nullptr)
    {
        siglongjmp(*landing, 1);
    }
}

void NullWrite()
{
    volatile int* volatile target = nullptr;
    *target = 1;
}

// Faults outside every guarded call; true when the fault came back through the handler.
bool FaultOutside(void (*fault)())
{
    sigjmp_buf here;
    landing = &here;
    if (sigsetjmp(here, 1) != 0)
    {
        landing = nullptr;
        return true;
    }
    fault();
    landing = nullptr;
    return false;
}

class FaultHandlers : public CallFrames
{
  protected:
    static constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

    void SetUp() override
    {
        CallFrames::SetUp();
        RestoreFaultHandlers();
        for (int i = 0; i < 4; ++i)
        {
            sigaction(kSignals[i], nullptr, &original_[i]);
        }
        reached = {};
    }

    void TearDown() override
    {
        RestoreFaultHandlers();
        for (int i = 0; i < 4; ++i)
        {
            sigaction(kSignals[i], &original_[i], nullptr);
        }
        CallFrames::TearDown();
    }

    static void InstallPrevious(int signal, bool withInfo, int flags = 0)
    {
        struct sigaction mine{};
        if (withInfo)
        {
            mine.sa_sigaction = &PreviousWithInfo;
            mine.sa_flags = SA_SIGINFO | flags;
        }
        else
        {
            mine.sa_handler = &PreviousPlain;
            mine.sa_flags = flags;
        }
        sigemptyset(&mine.sa_mask);
        sigaction(signal, &mine, nullptr);
    }

    static struct sigaction Current(int signal)
    {
        struct sigaction now{};
        sigaction(signal, nullptr, &now);
        return now;
    }

    static bool IsPrevious(const struct sigaction& action)
    {
        return (action.sa_flags & SA_SIGINFO) != 0 ? action.sa_sigaction == &PreviousWithInfo
                                                    : action.sa_handler == &PreviousPlain;
    }

    struct sigaction original_[4];
};

TEST_F(FaultHandlers, StayInstalledBetweenGuardedCallsAndPassOnFaultsOutsideThem)
{
    ORV_SKIP_IF_SANITIZED();
    InstallPrevious(SIGSEGV, true);
    InstallPrevious(SIGFPE, false);
    Sim::MakeFunctionFault(Function(L"Broken"), Sim::FaultKind::NullWrite);
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Broken"));
    EXPECT_TRUE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    EXPECT_EQ(Calls(), 1);
    EXPECT_EQ(reached.count, 0) << "a contained fault is not passed on";
    EXPECT_FALSE(IsPrevious(Current(SIGSEGV))) << "the guard's handler stays in between calls";
    EXPECT_FALSE(IsPrevious(Current(SIGFPE)));

    // A hardware fault, with its own address and code.
    EXPECT_TRUE(FaultOutside(&NullWrite));
    EXPECT_EQ(reached.count, 1);
    EXPECT_EQ(reached.signal, SIGSEGV);
    EXPECT_EQ(reached.code, SEGV_MAPERR);
    EXPECT_EQ(reached.address, nullptr);
    // A sent signal, to a handler without the signal's details.
    EXPECT_TRUE(FaultOutside([] { raise(SIGFPE); }));
    EXPECT_EQ(reached.count, 2);
    EXPECT_EQ(reached.signal, SIGFPE);

    // A native that throws leaves the guard by its other door: the next fault is outside again.
    EXPECT_THROW(InvokeFunction(reflection_, callee_, L"Throws", NoArguments, NoResults), std::runtime_error);
    EXPECT_TRUE(FaultOutside(&NullWrite));
    EXPECT_EQ(reached.count, 3);
}

TEST_F(FaultHandlers, AnotherThreadsFaultGoesToThePreviousHandlerWhileThisThreadIsGuarded)
{
    ORV_SKIP_IF_SANITIZED();
    InstallPrevious(SIGSEGV, true);
    std::thread::id other;
    bool otherLanded = false;
    // Inside the engine's call on this thread, another thread faults.
    Function(L"Nested")->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) {
        std::thread thread([&] {
            other = std::this_thread::get_id();
            otherLanded = FaultOutside(&NullWrite);
        });
        thread.join();
    });
    EXPECT_TRUE(CallWithoutArguments(reflection_, callee_, L"Nested")) << "the guarded call was not ended by it";
    EXPECT_TRUE(otherLanded);
    EXPECT_EQ(reached.count, 1);
    EXPECT_EQ(reached.thread, other);
}

TEST_F(FaultHandlers, NestedGuardsEachContainTheirOwnFaultAndLeaveNoneBehind)
{
    ORV_SKIP_IF_SANITIZED();
    InstallPrevious(SIGSEGV, true);
    InstallPrevious(SIGFPE, true);
    Sim::MakeFunctionFault(Function(L"Broken"), Sim::FaultKind::NullWrite);
    Sim::MakeFunctionFault(Function(L"Nested"), Sim::FaultKind::DivideByZero);
    bool inner = true;
    // The hook's call faults inside the outer call; then the outer's own body faults.
    Function(L"Nested")->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) {
        inner = CallWithoutArguments(reflection_, callee_, L"Broken");
        Record(0, nullptr);
    });
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Nested"));
    EXPECT_FALSE(inner);
    EXPECT_EQ(reached.count, 1) << "only the hook's own mark: both faults were contained";
    EXPECT_TRUE(FaultOutside(&NullWrite)) << "after both guards, a fault is nobody's";
    EXPECT_EQ(reached.count, 2);
}

TEST_F(FaultHandlers, ComeOffAtUnloadUnlessAnotherLibraryReplacedThemSince)
{
    ORV_SKIP_IF_SANITIZED();
    InstallPrevious(SIGSEGV, true);
    InstallPrevious(SIGBUS, false);
    ASSERT_TRUE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    const struct sigaction ours = Current(SIGSEGV);
    ASSERT_FALSE(IsPrevious(ours));

    // Someone installs over the guard's SIGFPE handler after it.
    struct sigaction later{};
    later.sa_handler = SIG_IGN;
    sigemptyset(&later.sa_mask);
    sigaction(SIGFPE, &later, nullptr);

    RestoreFaultHandlers();
    EXPECT_TRUE(IsPrevious(Current(SIGSEGV)));
    EXPECT_TRUE(IsPrevious(Current(SIGBUS)));
    EXPECT_EQ(Current(SIGILL).sa_handler, original_[3].sa_handler);
    EXPECT_EQ(Current(SIGFPE).sa_handler, SIG_IGN) << "the later handler is left in place";

    // A guarded call after that installs them afresh.
    ASSERT_TRUE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    EXPECT_EQ(Current(SIGSEGV).sa_sigaction, ours.sa_sigaction);
}

// The defaults, as the kernel applies them: a hardware fault under a default or ignored
// handler ends the process with its signal; a sent signal that is ignored stays ignored.
TEST_F(FaultHandlers, DefaultAndIgnoredPreviousHandlersActAsTheKernelWould)
{
    ORV_SKIP_IF_SANITIZED();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto underGuard = [](void (*handler)(int), void (*fault)()) {
        RestoreFaultHandlers();
        std::signal(SIGSEGV, handler);
        InstallFaultHandlers();
        fault();
        std::exit(0);
    };
    EXPECT_EXIT(underGuard(SIG_DFL, &NullWrite), testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT(underGuard(SIG_IGN, &NullWrite), testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT(underGuard(SIG_DFL, [] { raise(SIGSEGV); }), testing::KilledBySignal(SIGSEGV), "");
    EXPECT_EXIT(underGuard(SIG_IGN, [] { raise(SIGSEGV); }), testing::ExitedWithCode(0), "");
    // Each signal goes to its own default: a sent SIGFPE ends the process as SIGFPE.
    auto fpeUnderGuard = [] {
        RestoreFaultHandlers();
        std::signal(SIGFPE, SIG_DFL);
        InstallFaultHandlers();
        raise(SIGFPE);
        std::exit(0);
    };
    EXPECT_EXIT(fpeUnderGuard(), testing::KilledBySignal(SIGFPE), "");
}

// A one-shot handler is one-shot behind the guard as well.
TEST_F(FaultHandlers, AOneShotPreviousHandlerRunsOnceThenTheDefault)
{
    ORV_SKIP_IF_SANITIZED();
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    InstallPrevious(SIGSEGV, true, SA_RESETHAND);
    ASSERT_TRUE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    EXPECT_TRUE(FaultOutside(&NullWrite));
    EXPECT_EQ(reached.count, 1);
    EXPECT_EXIT(NullWrite(), testing::KilledBySignal(SIGSEGV), "");
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
TEST_F(CallFrames, ParameterBuffersOfUpTo256BytesLiveInsideTheFrame)
{
    auto insideFrame = [](CallFrame& frame) {
        auto* begin = reinterpret_cast<std::uint8_t*>(&frame);
        return frame.Buffer() >= begin && frame.Buffer() < begin + sizeof(CallFrame);
    };
    for (int size : {256, 257})
    {
        SCOPED_TRACE(size);
        CallFrame frame(reflection_, Function(size == 256 ? L"Fits" : L"Spills"));
        ASSERT_EQ(frame.Size(), static_cast<std::size_t>(size));
        EXPECT_EQ(insideFrame(frame), size == 256);
        EXPECT_TRUE(std::all_of(frame.Buffer(), frame.Buffer() + size, [](std::uint8_t b) { return b == 0; }));
        std::vector<std::uint8_t> block(static_cast<std::size_t>(size), 0xAB);
        EXPECT_TRUE(frame.WriteRaw(L"Block", block.data(), block.size())) << "every byte of the buffer is usable";
        EXPECT_FALSE(frame.WriteRaw(L"Block", block.data(), block.size() + 1));
        ASSERT_TRUE(frame.Invoke(callee_));
        EXPECT_EQ(*static_cast<int32*>(Field(callee_, L"Calls")), size) << "the engine saw the last byte";
        *static_cast<int32*>(Field(callee_, L"Calls")) = 0;
    }
}

// A fixed-size array parameter takes element size times dimension bytes and not one more,
// even where the buffer would have room.
TEST_F(CallFrames, FixedArrayParametersTakeTheirWholeLengthAndNoMore)
{
    CallFrame frame(reflection_, Function(L"Grid"));
    const std::uint8_t bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_FALSE(frame.WriteRaw(L"Cells", bytes, 13));
    EXPECT_TRUE(std::all_of(frame.Buffer(), frame.Buffer() + frame.Size(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(frame.WriteRaw(L"Cells", bytes, 12));
    EXPECT_EQ(frame.Buffer()[11], 12);
    EXPECT_EQ(frame.Buffer()[12], 0) << "the parameter after the array is untouched";
    ASSERT_TRUE(frame.Invoke(callee_));
    std::uint8_t out[16] = {};
    EXPECT_FALSE(frame.Read(L"Cells", out, 13));
    EXPECT_EQ(out[0], 0) << "a refused read copies nothing";
    EXPECT_TRUE(frame.Read(L"Cells", out, 12));
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 12), std::vector<std::uint8_t>(bytes, bytes + 12));
}

// A 32-bit bitfield keeps its upper bits in the later bytes of its field: the byte offset
// says which byte a bit lives in.
TEST_F(CallFrames, BitsOfWideBitfieldsAreWrittenAndReadInTheirOwnByte)
{
    CallFrame frame(reflection_, Function(L"Switches"));
    const std::uint8_t anyTrue = 0x80;
    const std::uint8_t no = 0;
    const auto field = static_cast<std::size_t>(frame.Parameter(L"bHigh")->GetOffset_Internal());
    ASSERT_TRUE(frame.WriteRaw(L"bHigh", &anyTrue, 1));
    EXPECT_EQ(frame.Buffer()[field], 0x00);
    EXPECT_EQ(frame.Buffer()[field + 1], 0x01) << "bit 8 of the field is bit 0 of its second byte";
    ASSERT_TRUE(frame.WriteRaw(L"bLow", &anyTrue, 1));
    EXPECT_EQ(frame.Buffer()[field], 0x01);
    ASSERT_TRUE(frame.WriteRaw(L"bHigh", &no, 1));
    EXPECT_EQ(frame.Buffer()[field + 1], 0x00);
    EXPECT_EQ(frame.Buffer()[field], 0x01) << "clearing one bit keeps the others";

    frame.Buffer()[field + 1] = 0xFE; // every bit of the second byte but bHigh's
    ASSERT_TRUE(frame.Invoke(callee_));
    struct Expected
    {
        const wchar_t* name;
        std::uint8_t value;
    };
    for (auto [name, value] : {Expected{L"bLow", 1}, Expected{L"b1", 0}, Expected{L"bHigh", 0}})
    {
        std::uint8_t read = 0x55;
        EXPECT_TRUE(frame.Read(name, &read, 1)) << name;
        EXPECT_EQ(read, value) << name;
    }
}

TEST_F(CallFrames, AFunctionThatIsNoLongerReachableIsNotCalled)
{
    UFunction* ping = Function(L"Ping");
    ping->GetObjectItem()->Flags |= static_cast<int32>(EInternalObjectFlags::Unreachable);
    CallFrame frame(reflection_, ping);
    EXPECT_FALSE(frame.Invoke(callee_));
    EXPECT_FALSE(CallWithoutArguments(reflection_, callee_, L"Ping"));
    ping->GetObjectItem()->Flags &= ~static_cast<int32>(EInternalObjectFlags::Unreachable);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 0u);
    EXPECT_EQ(Calls(), 0);
}

TEST_F(CallFrames, ARefusedCallLeavesTheFrameOpenForAnother)
{
    CallFrame frame(reflection_, Function(L"Flags"));
    EXPECT_FALSE(frame.Invoke(nullptr));
    EXPECT_FALSE(frame.Called());
    float ratio = 2.0f;
    EXPECT_TRUE(frame.WriteRaw(L"Ratio", &ratio, 4)) << "still before the call";
    EXPECT_TRUE(frame.Invoke(callee_));
    EXPECT_TRUE(frame.Called());
}

// A read list of 16 is full: later reads and result slots still work, they are just not
// remembered, and what was remembered is destroyed once each.
TEST_F(CallFrames, ReadsBeyondTheSixteenthStillSucceed)
{
    auto live = LiveBlocks();
    {
        CallFrame frame(reflection_, Function(L"Many"));
        FString value(L"x");
        for (int i = 0; i < 16; ++i)
        {
            ASSERT_TRUE(frame.WriteByCopy(L"S" + std::to_wstring(i), &value)) << i;
        }
        ASSERT_TRUE(frame.Invoke(callee_));
        for (int i = 0; i < 17; ++i)
        {
            EXPECT_NE(frame.ResultSlot(L"S" + std::to_wstring(i)), nullptr) << i;
        }
        std::uint8_t bytes[sizeof(FString)];
        EXPECT_TRUE(frame.Read(L"S16", bytes, sizeof(bytes)));
    }
    EXPECT_EQ(LiveBlocks(), live) << "every copy is freed";
    EXPECT_EQ(Sim::Counters().DestroyValue, 16u);
}

// A result or out parameter nobody read still owns what the engine put there; only a call
// that completed has built such values.
TEST_F(CallFrames, UnreadResultsAreDestroyedOnlyAfterACompletedCall)
{
    auto live = LiveBlocks();
    {
        CallFrame frame(reflection_, Function(L"Produce"));
        ASSERT_TRUE(frame.Invoke(callee_));
    }
    EXPECT_EQ(LiveBlocks(), live) << "a result at the start of the buffer and an out value after it";
    EXPECT_EQ(Sim::Counters().DestroyValue, 2u);

    Sim::ResetCounters();
    {
        CallFrame frame(reflection_, Function(L"Produce"));
        EXPECT_FALSE(frame.Invoke(nullptr));
    }
    {
        CallFrame frame(reflection_, Function(L"Produce"));
        std::uint8_t none = 0;
        EXPECT_FALSE(frame.WriteRaw(L"NoSuch", &none, 1));
    }
    EXPECT_EQ(Sim::Counters().DestroyValue, 0u) << "no call, nothing the engine built";
}

// The frame frees what it read, last read first, then what it constructed and did not read,
// last constructed first.
TEST_F(CallFrames, ReadValuesAreDestroyedLastFirstThenUnreadConstructedOnesLastFirst)
{
    const FString text(std::wstring(40, L'x'));
    UFunction* trio = Function(L"Trio");
    std::vector<const void*> slots; // A, B, C, result
    {
        CallFrame frame(reflection_, trio);
        for (const wchar_t* name : {L"A", L"B", L"C"})
        {
            ASSERT_TRUE(frame.WriteByCopy(name, &text));
            slots.push_back(frame.Buffer() + reflection_.LookupParameter(trio, name)->GetOffset_Internal());
        }
        ASSERT_TRUE(frame.Invoke(callee_));
        ASSERT_NE(frame.ResultSlot(L"C"), nullptr);
        auto* result = static_cast<FString*>(frame.ResultSlot(L"ReturnValue"));
        ASSERT_NE(result, nullptr);
        ASSERT_EQ(result->Len(), 40);
        slots.push_back(result);
        Sim::ResetCounters();
    }
    EXPECT_EQ(Sim::DestroyedValues(), (std::vector<const void*>{slots[3], slots[2], slots[1], slots[0]}))
        << "freed in the order result, C, B, A";
}

TEST_F(CallFrames, CallAndReadHelpersGiveWhatTheEngineAnswered)
{
    UObject* partner = Sim::NewObject(callee_->GetClassPrivate(), nullptr, L"Partner");
    UObject* next = Sim::NewObject(callee_->GetClassPrivate(), nullptr, L"Next");
    EXPECT_TRUE(CallWithObject(reflection_, callee_, L"SetPartner", L"Content", partner));
    EXPECT_EQ(OrvTest::FieldAs<UObject*>(callee_, L"Partner"), partner);
    EXPECT_EQ(CallAndReadObject(reflection_, callee_, L"GetPartner"), partner);
    EXPECT_EQ(CallWithObjectAndReadObject(reflection_, callee_, L"SwapPartner", L"Content", next), partner);
    EXPECT_EQ(OrvTest::FieldAs<UObject*>(callee_, L"Partner"), next);

    *static_cast<bool*>(Field(callee_, L"Ready")) = true;
    EXPECT_TRUE(CallAndReadBool(reflection_, callee_, L"IsReady"));
    *static_cast<bool*>(Field(callee_, L"Ready")) = false;
    EXPECT_FALSE(CallAndReadBool(reflection_, callee_, L"IsReady"));
    EXPECT_EQ(Sim::Counters().ProcessEvent, 5u);

    // A parameter the function lacks stops the helper before the call.
    EXPECT_FALSE(CallWithObject(reflection_, callee_, L"SetPartner", L"Contents", partner));
    EXPECT_EQ(CallWithObjectAndReadObject(reflection_, callee_, L"SwapPartner", L"Contents", partner), nullptr);
    EXPECT_FALSE(CallAndReadBool(reflection_, callee_, L"NoSuchFunction"));
    EXPECT_FALSE(CallAndReadBool(reflection_, nullptr, L"IsReady"));
    EXPECT_EQ(OrvTest::FieldAs<UObject*>(callee_, L"Partner"), next);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 5u);
}

TEST_F(CallFrames, LibraryFunctionsAreFoundByPathAndCalledOnTheClassDefault)
{
    UFunction* ping = LookupFunctionByPath(reflection_, L"/Script/Test.Callee:Ping");
    ASSERT_NE(ping, nullptr);
    EXPECT_EQ(ping, Function(L"Ping"));
    EXPECT_EQ(LookupFunctionByPath(reflection_, L"/Script/Test.Callee"), nullptr) << "a class is no function";
    EXPECT_EQ(LookupFunctionByPath(reflection_, L"/Script/Test.Callee:Pong"), nullptr);

    UObject* defaults = reflection_.LookupClassDefault(L"/Script/Test.Callee");
    ASSERT_NE(defaults, nullptr);
    EXPECT_TRUE(InvokeFunction(reflection_, defaults, ping, NoArguments, NoResults));
    EXPECT_EQ(*static_cast<int32*>(Field(defaults, L"Calls")), 1);

    bool readRan = false;
    EXPECT_FALSE(InvokeFunction(reflection_, nullptr, ping, NoArguments, [&](CallFrame&) { return readRan = true; }));
    EXPECT_FALSE(readRan) << "results are read only after a call";
}

// A parameter that occupies no bytes takes none, whatever lies after it in the buffer.
TEST_F(CallFrames, AParameterWithoutBytesTakesNoWrite)
{
    CallFrame frame(reflection_, Function(L"Hollow"));
    const std::uint8_t byte = 0x7F;
    EXPECT_FALSE(frame.WriteRaw(L"Nothing", &byte, 1));
    EXPECT_TRUE(std::all_of(frame.Buffer(), frame.Buffer() + frame.Size(), [](std::uint8_t b) { return b == 0; }));
    ASSERT_TRUE(frame.Invoke(callee_));
    std::uint8_t out = 0x11;
    EXPECT_FALSE(frame.Read(L"Nothing", &out, 1));
    EXPECT_EQ(out, 0x11);
}

// A result read twice is still one value: it is remembered, and destroyed, once.
TEST_F(CallFrames, AResultReadTwiceIsDestroyedOnce)
{
    auto live = LiveBlocks();
    {
        CallFrame frame(reflection_, Function(L"Produce"));
        ASSERT_TRUE(frame.Invoke(callee_));
        void* first = frame.ResultSlot(L"ReturnValue");
        EXPECT_EQ(frame.ResultSlot(L"ReturnValue"), first);
        std::uint8_t bytes[sizeof(FString)];
        EXPECT_TRUE(frame.Read(L"Extra", bytes, sizeof(bytes)));
        EXPECT_TRUE(frame.Read(L"Extra", bytes, sizeof(bytes)));
    }
    EXPECT_EQ(LiveBlocks(), live);
    EXPECT_EQ(Sim::Counters().DestroyValue, 2u);
}

// The engine's parameter size is 16 bits wide: a parameter that reaches past what it says
// is not written or read past the buffer, whatever its own size claims.
TEST_F(CallFrames, NoAccessReachesPastTheParameterSize)
{
    CallFrame frame(reflection_, Function(L"Oversized"));
    ASSERT_EQ(frame.Size(), 16u) << "65552 bytes of parameters, as 16 bits tell it";
    std::vector<std::uint8_t> bytes(17, 0x5A);
    EXPECT_TRUE(frame.WriteRaw(L"Block", bytes.data(), 16));
    EXPECT_FALSE(frame.WriteRaw(L"Block", bytes.data(), 17));
    EXPECT_FALSE(frame.WriteByCopy(L"Block", bytes.data())) << "a whole copy would not fit";
    EXPECT_EQ(frame.ParameterSlot(L"Block"), nullptr);
    ASSERT_TRUE(frame.Invoke(callee_));
    EXPECT_TRUE(frame.Read(L"Block", bytes.data(), 16));
    EXPECT_FALSE(frame.Read(L"Block", bytes.data(), 17));
    EXPECT_EQ(frame.ResultSlot(L"Block"), nullptr);
    EXPECT_EQ(Sim::Counters().InitializeValue, 0u);
}
} // namespace
