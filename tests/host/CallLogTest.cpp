// The engine's record of a mod's script calls: counts and latest arguments per object and per
// function, members by path in either engine width, strings copied before the engine frees
// them, and records that die with their object so reused memory starts clean.
#include "support/EngineFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Values.hpp>
#include <Sim/World.hpp>
#include <Unreal/AActor.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

#include <gtest/gtest.h>

namespace
{
using namespace OrvTest;
using namespace Sim;
using RC::Unreal::FName;
using RC::Unreal::UFunction;

class CallLog : public EngineFixture, public ::testing::WithParamInterface<int>
{
  protected:
    void SetUp() override
    {
        StartEngine(GetParam(), GetParam() == 4 ? 27 : 1);
        DefineClass({.path = L"/Script/Test.Recorder",
                     .functions = {{L"Take",
                                    {In(L"Count", Int()), In(L"bFlag", Bool()), In(L"Label", Str()), In(L"Caption", Text()),
                                     In(L"Profile", Name()), In(L"Where", Struct(L"/Script/CoreUObject.Vector")),
                                     In(L"Who", Object())},
                                    [](Call&) {}},
                                   {L"Other", {In(L"Count", Int())}, [](Call&) {}}}});
        recorder_ = NewObject(FindClass(L"/Script/Test.Recorder"), nullptr);
        take_ = static_cast<UFunction*>(FindObjectByPath(L"/Script/Test.Recorder:Take"));
    }

    // Calls Take as a mod would, through ProcessEvent with its own parameter block.
    void Take(UObject* target, int32 count, bool flag, const wchar_t* label, double x, UObject* who)
    {
        std::vector<uint8> parms(take_->GetParmsSize(), 0);
        for (FField* f = take_->GetChildProperties(); f != nullptr;)
        {
            auto* p = static_cast<FProperty*>(f);
            p->InitializeValue(p->ContainerPtrToValuePtr<void>(parms.data()));
            f = p->GetNextFieldAsProperty();
        }
        auto at = [&](const wchar_t* name) {
            return FindPropertyUncounted(take_, name)->ContainerPtrToValuePtr<void>(parms.data());
        };
        *static_cast<int32*>(at(L"Count")) = count;
        static_cast<FBoolProperty*>(FindPropertyUncounted(take_, L"bFlag"))->SetPropertyValue(at(L"bFlag"), flag);
        WriteString(at(L"Label"), label);
        WriteText(at(L"Caption"), L"a caption");
        FName profile(L"BlockAll");
        std::memcpy(at(L"Profile"), static_cast<const void*>(&profile), sizeof(profile));
        WriteEngineVector(at(L"Where"), x, -2.5, 3.0);
        std::memcpy(at(L"Who"), &who, sizeof(who));
        target->ProcessEvent(take_, parms.data());
        for (FField* f = take_->GetChildProperties(); f != nullptr;)
        {
            auto* p = static_cast<FProperty*>(f);
            p->DestroyValue(p->ContainerPtrToValuePtr<void>(parms.data()));
            f = p->GetNextFieldAsProperty();
        }
    }

    UObject* recorder_ = nullptr;
    UFunction* take_ = nullptr;
};

TEST_P(CallLog, KeepsTheLatestArgumentsAsPassedAndCountsPerObjectAndPerFunction)
{
    UObject* other = NewObject(FindClass(L"/Script/Test.Recorder"), nullptr);
    EXPECT_FALSE(LastCall(recorder_, L"Take")) << "nothing called yet";

    Take(recorder_, 7, true, L"first", 1.5, other);
    Take(recorder_, 9, false, L"second", 4.25, nullptr);
    Take(other, 11, true, L"third", -8.0, recorder_);

    const RecordedCall mine = LastCall(recorder_, L"Take");
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine.Count(), 2u);
    EXPECT_EQ(mine.Target(), recorder_);
    EXPECT_EQ(mine.Number(L"Count"), 9.0);
    EXPECT_FALSE(mine.Bool(L"bFlag"));
    EXPECT_EQ(mine.Text(L"Label"), L"second") << "copied, though the caller freed it after the call";
    EXPECT_EQ(mine.Text(L"Caption"), L"a caption");
    EXPECT_EQ(mine.Text(L"Profile"), L"BlockAll");
    EXPECT_EQ(mine.Number(L"Where.X"), 4.25) << "in the engine's width, whichever it is";
    EXPECT_EQ(mine.Number(L"Where.Y"), -2.5);
    EXPECT_EQ(mine.Object(L"Who"), nullptr);
    EXPECT_TRUE(mine.Has(L"Where.Z"));
    EXPECT_FALSE(mine.Has(L"Where.W"));
    EXPECT_FALSE(mine.Has(L"Missing"));
    EXPECT_EQ(mine.Number(L"Label"), 0.0) << "a text is no number";

    EXPECT_EQ(LastCall(other, L"/Script/Test.Recorder:Take").Object(L"Who"), recorder_) << "by path too";
    const RecordedCall any = LastCallOf(L"Take");
    EXPECT_EQ(any.Count(), 3u);
    EXPECT_EQ(any.Target(), other);
    EXPECT_EQ(CallCount(recorder_, L"Other"), 0u);
    EXPECT_EQ(CallCount(L"Take"), 3u);
}

TEST_P(CallLog, AnObjectsRecordsDieWithItAndForgettingStartsAfresh)
{
    Take(recorder_, 1, true, L"x", 0.0, nullptr);
    DestroyObject(recorder_);
    UObject* successor = NewObject(FindClass(L"/Script/Test.Recorder"), nullptr);
    ASSERT_EQ(successor, recorder_) << "the harsh engine reuses the memory at once";
    EXPECT_FALSE(LastCall(successor, L"Take"));
    EXPECT_EQ(CallCount(L"Take"), 1u) << "the function's own count stays";

    Take(successor, 2, false, L"y", 0.0, nullptr);
    ForgetCalls();
    EXPECT_EQ(CallCount(L"Take"), 0u);
    EXPECT_FALSE(LastCall(successor, L"Take"));
}

TEST_P(CallLog, TheEngineWrappersCallsShowTheirSweepAndTeleport)
{
    UWorld* world = CreateWorld(L"Calls");
    auto* actor = static_cast<RC::Unreal::AActor*>(SpawnActor(world, L"/Script/Engine.Actor"));
    RC::Unreal::FHitResult hit{};
    actor->K2_SetActorLocation(RC::Unreal::FVector(10.0, 20.0, 30.0), false, hit, true);
    const RecordedCall moved = LastCall(actor, L"K2_SetActorLocation");
    EXPECT_FALSE(moved.Bool(L"bSweep"));
    EXPECT_TRUE(moved.Bool(L"bTeleport"));
    EXPECT_EQ(moved.Number(L"NewLocation.Z"), 30.0);
}

INSTANTIATE_TEST_SUITE_P(Engines, CallLog, ::testing::Values(4, 5),
                         [](const auto& engine) { return "UE" + std::to_string(engine.param); });
} // namespace
