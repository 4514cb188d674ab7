// The stand-in engine's object system: what a mod's validity and lookup code relies on must
// hold here as it does in the engine, or the mod's tests prove nothing.
#include "support/EngineFixture.hpp"

#include <Unreal/Hooks.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UnrealVersion.hpp>
#include <Unreal/UObjectGlobals.hpp>

#include <Sim/Types.hpp>

#include <cstring>

namespace
{
using namespace RC::Unreal;

class ObjectSystem : public OrvTest::EngineFixture
{
};

TEST_F(ObjectSystem, FindsClassesFunctionsAndDefaultObjectsByFullPath)
{
    auto* actor = UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.Actor"), false, nullptr);
    ASSERT_NE(actor, nullptr);
    EXPECT_TRUE(actor->IsA(UClass::StaticClass()));

    auto* function =
        UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.Actor:ReceiveBeginPlay"), false, nullptr);
    ASSERT_NE(function, nullptr);
    EXPECT_TRUE(function->GetClassPrivate()->HasAllCastFlags(CASTCLASS_UFunction));
    EXPECT_EQ(function->GetPathName(), L"/Script/Engine.Actor:ReceiveBeginPlay");

    auto* defaults = UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.Default__Actor"), false, nullptr);
    ASSERT_NE(defaults, nullptr);
    EXPECT_TRUE(defaults->HasAnyFlags(RF_ClassDefaultObject));
    EXPECT_EQ(static_cast<UClass*>(actor)->GetClassDefaultObject(), defaults);

    EXPECT_EQ(UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.NoSuchThing"), false, nullptr), nullptr);
    EXPECT_EQ(Sim::Counters().FindObject, 4u);
}

TEST_F(ObjectSystem, FindAllOfListsLiveInstancesOfTheExactClassInSlotOrder)
{
    auto* actorClass = Sim::FindClass(L"/Script/Engine.Actor");
    auto* pawnClass = Sim::FindClass(L"/Script/Engine.Pawn");
    auto* first = Sim::NewObject(actorClass, nullptr, L"First");
    Sim::NewObject(pawnClass, nullptr, L"APawn");
    auto* second = Sim::NewObject(actorClass, nullptr, L"Second");
    auto* dying = Sim::NewObject(actorClass, nullptr, L"Dying");
    Sim::MarkPendingKill(dying);

    std::vector<UObject*> found;
    UObjectGlobals::FindAllOf(STR("Actor"), found);
    EXPECT_EQ(found, (std::vector<UObject*>{first, second}));
}

TEST_F(ObjectSystem, ADestroyedObjectsSlotIsReusedButItsMemoryStaysReadable)
{
    auto* actorClass = Sim::FindClass(L"/Script/Engine.Actor");
    auto* old = Sim::NewObject(actorClass, nullptr, L"Old");
    int32 index = old->GetInternalIndex();
    Sim::DestroyObject(old);

    EXPECT_TRUE(old->HasAnyFlags(RF_BeginDestroyed));
    EXPECT_TRUE(old->HasAnyFlags(RF_FinishDestroyed));
    EXPECT_EQ(FUObjectArray::IndexToObject(index)->GetUObject(), nullptr);

    auto* replacement = Sim::NewObject(actorClass, nullptr, L"New");
    EXPECT_EQ(replacement->GetInternalIndex(), index);
    EXPECT_NE(replacement, old) << "dead memory is quarantined before it is handed out again";
    EXPECT_EQ(old->GetObjectItem()->GetUObject(), replacement);
}

TEST_F(ObjectSystem, GarbageCollectionKeepsRootedAndReferencedObjectsOnly)
{
    auto* actorClass = Sim::FindClass(L"/Script/Engine.Actor");
    auto* worldClass = Sim::FindClass(L"/Script/Engine.World");
    auto* world = Sim::NewObject(worldClass, nullptr, L"World");
    Sim::AddGarbageRoot(world);
    auto* inWorld = Sim::NewObject(actorClass, world, L"InWorld");
    auto* rooted = Sim::NewObject(actorClass, nullptr, L"Rooted");
    rooted->GetObjectItem()->SetRootSet();
    auto* owned = Sim::NewObject(actorClass, nullptr, L"Owned");
    *Sim::FindPropertyUncounted(actorClass, L"Owner")->ContainerPtrToValuePtr<UObject*>(rooted) = owned;
    auto* loose = Sim::NewObject(actorClass, nullptr, L"Loose");
    int32 looseIndex = loose->GetInternalIndex();

    // An outer does not keep its inner alive; an object does keep its outer.
    Sim::CollectGarbage(false);
    EXPECT_TRUE(loose->GetObjectItem()->IsUnreachable());
    EXPECT_TRUE(inWorld->GetObjectItem()->IsUnreachable());
    EXPECT_FALSE(owned->GetObjectItem()->IsUnreachable());
    EXPECT_FALSE(rooted->GetObjectItem()->IsUnreachable());
    EXPECT_FALSE(world->GetObjectItem()->IsUnreachable());

    Sim::PurgeGarbage();
    EXPECT_EQ(FUObjectArray::IndexToObject(looseIndex)->GetUObject(), nullptr);

    rooted->GetObjectItem()->UnsetRootSet();
    EXPECT_EQ(Sim::CollectGarbage(true), 2u);
}

TEST_F(ObjectSystem, FindOnlyNamesNeverGrowTheNameTable)
{
    FName probe(STR("SurelyNotANameYet_4711"), FNAME_Find);
    EXPECT_TRUE(probe.IsNone());
    EXPECT_TRUE(FName(STR("SurelyNotANameYet_4711"), FNAME_Find).IsNone());
    FName added(STR("SurelyNotANameYet_4711"), FNAME_Add);
    EXPECT_FALSE(added.IsNone());
    EXPECT_EQ(FName(STR("surelynotanameyet_4711"), FNAME_Find), added) << "names compare without case";
    EXPECT_EQ(FName(STR("surelynotanameyet_4711"), FNAME_Find).ToString(), L"SurelyNotANameYet_4711");
}

TEST_F(ObjectSystem, ProcessEventRunsPreHooksTheBodyAndPostHooksWithTheParameterBlock)
{
    std::vector<std::wstring> order;
    auto* cls = Sim::DefineClass({.path = L"/Script/Test.Echo",
                                  .functions = {{L"Twice", {Sim::In(L"Value", Sim::Int()), Sim::Return(Sim::Int())},
                                                 [&](Sim::Call& call) {
                                                     order.push_back(L"body");
                                                     call.Get<int32>(L"ReturnValue") = 2 * call.Get<int32>(L"Value");
                                                 }}}});
    auto* echo = Sim::NewObject(cls, nullptr, L"Echo");
    auto* twice = Sim::FindFunctionByPath(L"/Script/Test.Echo:Twice");
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice->GetParmsSize(), 8);

    int32 seenByPre = 0;
    int32 seenByPost = 0;
    auto pre = twice->RegisterPreHook([&](UnrealScriptFunctionCallableContext& context, void*) {
        order.push_back(L"pre");
        EXPECT_EQ(context.Context, echo);
        std::memcpy(&seenByPre, context.TheStack.Locals(), 4);
    });
    auto post = twice->RegisterPostHook([&](UnrealScriptFunctionCallableContext& context, void*) {
        order.push_back(L"post");
        std::memcpy(&seenByPost, static_cast<uint8*>(context.RESULT_DECL), 4);
    });
    EXPECT_GT(pre, 0);
    EXPECT_GT(post, 0);

    int32 parms[2] = {21, 0};
    echo->ProcessEvent(twice, parms);
    EXPECT_EQ(parms[1], 42);
    EXPECT_EQ(seenByPre, 21);
    EXPECT_EQ(seenByPost, 42);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"pre", L"body", L"post"}));

    EXPECT_TRUE(twice->UnregisterHook(pre));
    EXPECT_FALSE(twice->UnregisterHook(pre));
    Sim::RefuseHooksOn(twice);
    EXPECT_LE(twice->RegisterPreHook([](UnrealScriptFunctionCallableContext&, void*) {}), 0);
}

TEST_F(ObjectSystem, TickCallbacksRunOncePerFrameAndMayUnregisterThemselves)
{
    int calls = 0;
    Hook::GlobalCallbackId self = 0;
    self = Hook::RegisterEngineTickPostCallback(
        [&](Hook::TCallbackIterationData<void>&, UEngine*, float, bool) {
            ++calls;
            Hook::UnregisterCallback(self);
        },
        {false, false, STR("Test"), STR("Once")});
    ASSERT_NE(self, Hook::ERROR_ID);
    Sim::TickEngine(0.016f);
    Sim::TickEngine(0.016f);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Sim::TickCallbackCount(), 0u);

    Sim::RefuseTickCallbacks(true);
    EXPECT_EQ(Hook::RegisterEngineTickPostCallback([](auto&, UEngine*, float, bool) {}), Hook::ERROR_ID);
}

TEST_F(ObjectSystem, AnArrayThatBreaksItsInvariantsThrowsTheEnginesErrors)
{
    auto* actorClass = Sim::FindClass(L"/Script/Engine.Actor");
    auto& interfaces = actorClass->GetInterfaces();
    try
    {
        (void)interfaces[0];
        FAIL() << "index 0 of an empty array must throw";
    }
    catch (const std::runtime_error& error)
    {
        EXPECT_STREQ(error.what(), "Array index out of bounds: 0 from an array of size 0");
    }
}

TEST(EngineVersions, VectorsHoldFloatsBeforeFiveAndDoublesFromFiveOn)
{
    Sim::ResetEngine({.VersionMajor = 4, .VersionMinor = 27});
    auto* vector4 = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/CoreUObject.Vector"));
    EXPECT_EQ(vector4->GetPropertiesSize(), 12);
    EXPECT_TRUE(Version::IsBelow(5, 0));

    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    auto* vector5 = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/CoreUObject.Vector"));
    EXPECT_EQ(vector5->GetPropertiesSize(), 24);
    EXPECT_FALSE(Version::IsBelow(5, 0));
}
} // namespace
