// The stand-in engine's object system: what a mod's validity and lookup code relies on must
// hold here as it does in the engine, harsh parts included, or the mod's tests prove nothing.
#include "support/EngineFixture.hpp"

#include <Unreal/FMemory.hpp>
#include <Unreal/FText.hpp>
#include <Unreal/Property/FEnumProperty.hpp>
#include <Unreal/Hooks/Hooks.hpp>
#include <Unreal/UObjectArray.hpp>
#include <Unreal/UObjectGlobals.hpp>
#include <Unreal/UnrealVersion.hpp>

#include <Sim/Types.hpp>
#include <Sim/Values.hpp>

#include <cstring>
#include <stdexcept>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace
{
using namespace RC::Unreal;

class ObjectSystem : public OrvTest::EngineFixture
{
  protected:
    UClass* ActorClass() { return Sim::FindClass(L"/Script/Engine.Actor"); }
};

struct DeletionLog final : FUObjectDeleteListener
{
    struct Told
    {
        const UObjectBase* object;
        int32 index;
        UObject* slotHeld; // what the slot held while the listener was told
    };
    void NotifyUObjectDeleted(const UObjectBase* object, int32 index) override
    {
        told.push_back({object, index, FUObjectArray::IndexToObject(index)->GetUObject()});
    }
    void OnUObjectArrayShutdown() override { ++shutdowns; }

    std::vector<Told> told;
    int shutdowns = 0;
};

TEST_F(ObjectSystem, FindsClassesFunctionsAndDefaultObjectsByFullPathWithoutRegardToCase)
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

    EXPECT_EQ(UObjectGlobals::FindObject(nullptr, nullptr, STR("/script/engine.ACTOR"), false, nullptr), actor);
    EXPECT_EQ(UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.NoSuchThing"), false, nullptr), nullptr);
    EXPECT_EQ(Sim::Counters().FindObject, 5u);
}

TEST_F(ObjectSystem, EveryLookupWalksTheWholeObjectArray)
{
    const auto slots = static_cast<uint64>(FUObjectArray::GetObjectArrayNum());
    UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.Actor"), false, nullptr);
    EXPECT_EQ(Sim::Counters().ObjectsWalked, slots);
    std::vector<UObject*> found;
    UObjectGlobals::FindAllOf(STR("Actor"), found);
    EXPECT_EQ(Sim::Counters().ObjectsWalked, 2 * slots);

    Sim::PadObjectArray(5000);
    EXPECT_GE(Sim::LiveObjectCount(), 5000u);
    EXPECT_EQ(Sim::CollectGarbage(true), 0u) << "padding stands for a game's kept assets";
    UObjectGlobals::FindObject(nullptr, nullptr, STR("/Script/Engine.Actor"), false, nullptr);
    EXPECT_GE(Sim::Counters().ObjectsWalked, 2 * slots + 5000);
}

TEST_F(ObjectSystem, FindAllOfListsInstancesOfTheClassAndItsSubclassesPendingKillIncluded)
{
    auto* pawnClass = Sim::FindClass(L"/Script/Engine.Pawn");
    auto* first = Sim::NewObject(ActorClass(), nullptr, L"First");
    auto* pawn = Sim::NewObject(pawnClass, nullptr, L"APawn");
    auto* dying = Sim::NewObject(ActorClass(), nullptr, L"Dying");
    Sim::MarkPendingKill(dying);

    std::vector<UObject*> found;
    UObjectGlobals::FindAllOf(STR("Actor"), found);
    EXPECT_EQ(found, (std::vector<UObject*>{first, pawn, dying}));

    found.clear();
    UObjectGlobals::FindAllOf(STR("pawn"), found);
    EXPECT_EQ(found, (std::vector<UObject*>{pawn})) << "class names compare without case; no default objects";

    found.clear();
    UObjectGlobals::FindAllOf(STR("NoSuchClassAnywhere"), found);
    EXPECT_TRUE(found.empty());
}

TEST_F(ObjectSystem, AFreedObjectsMemoryAndSlotGoToTheNextObjectAtOnce)
{
    auto* old = Sim::NewObject(ActorClass(), nullptr, L"Old");
    const int32 index = old->GetInternalIndex();
    const auto statsBefore = Sim::Stats();
    Sim::DestroyObject(old);
    EXPECT_FALSE(Sim::HoldsObject(old));
    EXPECT_EQ(FUObjectArray::IndexToObject(index)->GetUObject(), nullptr);
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_TRUE(__asan_address_is_poisoned(old)) << "no object owns the memory now";
#endif

    auto* replacement = Sim::NewObject(ActorClass(), nullptr, L"New");
    EXPECT_EQ(static_cast<void*>(replacement), static_cast<void*>(old)) << "same size, same address";
    EXPECT_EQ(replacement->GetInternalIndex(), index) << "last freed slot first";
    EXPECT_EQ(old->GetName(), L"New") << "a stale pointer reads the new owner";
    EXPECT_EQ(Sim::Stats().AddressesReused, statsBefore.AddressesReused + 1);
    EXPECT_EQ(Sim::Stats().SlotsReused, statsBefore.SlotsReused + 1);
    EXPECT_EQ(Sim::Stats().ObjectsFreed, statsBefore.ObjectsFreed + 1);
}

// The engine's record of live addresses must answer for every object whatever the order of
// deaths: thousands of objects die scattered, and exactly the survivors are still held.
TEST_F(ObjectSystem, ScatteredDeathsAmongThousandsLeaveExactlyTheSurvivorsHeld)
{
    constexpr int kObjects = 4000;
    const std::size_t liveBefore = Sim::LiveObjectCount();
    std::vector<UObject*> objects;
    for (int i = 0; i < kObjects; ++i)
    {
        objects.push_back(Sim::NewObject(ActorClass(), nullptr));
    }
    std::vector<bool> dead(kObjects, false);
    int deaths = 0;
    for (int step = 0; step < kObjects; ++step)
    {
        const int i = (step * 2749) % kObjects; // every object once, in a scattered order
        if (i % 3 != 1)
        {
            Sim::DestroyObject(objects[static_cast<std::size_t>(i)]);
            dead[static_cast<std::size_t>(i)] = true;
            ++deaths;
        }
    }
    EXPECT_EQ(Sim::LiveObjectCount(), liveBefore + static_cast<std::size_t>(kObjects - deaths));
    int wrong = 0;
    for (int i = 0; i < kObjects; ++i)
    {
        wrong += Sim::HoldsObject(objects[static_cast<std::size_t>(i)]) == dead[static_cast<std::size_t>(i)] ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(Sim::HoldsObject(nullptr));
}

// The engine heap's registry of live blocks, likewise: blocks freed in any order are gone, a
// second free of any of them is caught, and the rest stay live.
TEST(EngineHeap, BlocksFreedInAnyOrderAreGoneAndASecondFreeIsCaught)
{
    constexpr int kBlocks = 3000;
    const Sim::HeapStats before = Sim::Heap();
    std::vector<void*> blocks;
    for (int i = 0; i < kBlocks; ++i)
    {
        blocks.push_back(FMemory::Malloc(16 + static_cast<std::size_t>(i % 7) * 8));
    }
    for (int step = 0; step < kBlocks; ++step)
    {
        const int i = (step * 1871) % kBlocks;
        if (i % 2 == 0)
        {
            FMemory::Free(blocks[static_cast<std::size_t>(i)]);
        }
    }
    EXPECT_EQ(Sim::Heap().LiveBlocks, before.LiveBlocks + kBlocks / 2);
    for (int i = 0; i < 40; i += 2)
    {
        FMemory::Free(blocks[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(Sim::Heap().InvalidFrees, before.InvalidFrees + 20);
    for (int i = 1; i < kBlocks; i += 2)
    {
        blocks[static_cast<std::size_t>(i)] = FMemory::Realloc(blocks[static_cast<std::size_t>(i)], 400);
    }
    for (int i = 1; i < kBlocks; i += 2)
    {
        FMemory::Free(blocks[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(Sim::Heap().InvalidFrees, before.InvalidFrees + 20) << "every reallocated block was still live";
    EXPECT_EQ(Sim::Heap().LiveBlocks, before.LiveBlocks);
}

// An enum property holds its enumeration only when the path names one: a missing path or a
// path to a class leaves it without one, as a build that lacks the enum would.
TEST_F(ObjectSystem, AnEnumPropertyHoldsOnlyAnEnumerationItsPathNames)
{
    UClass* cls = Sim::DefineClass({.path = L"/Script/Umbrafel.EnumHolder",
                                    .super = L"/Script/CoreUObject.Object",
                                    .properties = {{L"Missing", Sim::Enum(L"/Script/Nowhere.Gone")},
                                                   {L"NotAnEnum", Sim::Enum(L"/Script/Engine.Actor")}}});
    for (const wchar_t* name : {L"Missing", L"NotAnEnum"})
    {
        auto* property = static_cast<FEnumProperty*>(Sim::FindPropertyUncounted(cls, name));
        ASSERT_NE(property, nullptr) << name;
        EXPECT_EQ(property->GetEnum(), nullptr) << name;
        EXPECT_NE(property->GetUnderlyingProperty(), nullptr) << name;
    }
}

TEST(ObjectMemory, AQuarantineHoldsFreedMemoryBackForTheDeathsAsked)
{
    Sim::ResetEngine({.MemoryQuarantine = 2});
    Sim::DefineDefaultGame();
    auto* actorClass = Sim::FindClass(L"/Script/Engine.Actor");
    std::vector<UObject*> dead;
    for (int i = 0; i < 3; ++i)
    {
        dead.push_back(Sim::NewObject(actorClass, nullptr));
    }
    for (auto* object : dead)
    {
        Sim::DestroyObject(object);
    }
    auto* next = Sim::NewObject(actorClass, nullptr);
    EXPECT_EQ(static_cast<void*>(next), static_cast<void*>(dead[0])) << "the oldest death past the quarantine";
    EXPECT_NE(static_cast<void*>(next), static_cast<void*>(dead[2]));
    Sim::ResetEngine();
}

TEST_F(ObjectSystem, SerialNumbersAreGivenOnDemandAndGoWithTheSlot)
{
    auto* object = Sim::NewObject(ActorClass(), nullptr);
    const int32 index = object->GetInternalIndex();
    EXPECT_EQ(FUObjectArray::IndexToObject(index)->GetSerialNumber(), 0);
    const int32 serial = FUObjectArray::AllocateSerialNumber(index);
    EXPECT_GT(serial, 0);
    EXPECT_EQ(FUObjectArray::AllocateSerialNumber(index), serial);
    EXPECT_EQ(FUObjectArray::IndexToObject(index)->GetSerialNumber(), serial);

    Sim::DestroyObject(object);
    EXPECT_EQ(FUObjectArray::IndexToObject(index)->GetSerialNumber(), 0);
    auto* next = Sim::NewObject(ActorClass(), nullptr);
    ASSERT_EQ(next->GetInternalIndex(), index);
    EXPECT_EQ(FUObjectArray::IndexToObject(index)->GetSerialNumber(), 0);
    EXPECT_NE(FUObjectArray::AllocateSerialNumber(index), serial);
}

TEST_F(ObjectSystem, DeleteListenersAreToldOfEachFreedSlotAndOfTheArraysEnd)
{
    DeletionLog log;
    DeletionLog removed;
    FUObjectArray::AddUObjectDeleteListener(&log);
    EXPECT_THROW(FUObjectArray::AddUObjectDeleteListener(&log), std::runtime_error) << "the loader refuses a listener twice";
    FUObjectArray::AddUObjectDeleteListener(&removed);
    FUObjectArray::RemoveUObjectDeleteListener(&removed);

    auto* first = Sim::NewObject(ActorClass(), nullptr);
    auto* second = Sim::NewObject(ActorClass(), nullptr);
    const int32 secondIndex = second->GetInternalIndex();
    Sim::DestroyObject(second);
    EXPECT_TRUE(first->GetObjectItem()->IsValid(false));
    Sim::CollectGarbage(true);

    ASSERT_EQ(log.told.size(), 2u) << "once per object";
    EXPECT_EQ(log.told[0].object, second);
    EXPECT_EQ(log.told[0].index, secondIndex);
    EXPECT_EQ(log.told[0].slotHeld, second) << "told before the slot is freed";
    EXPECT_TRUE(std::any_of(log.told.begin(), log.told.end(), [&](const auto& t) { return t.object == first; }));
    EXPECT_TRUE(removed.told.empty());

    Sim::ResetEngine();
    EXPECT_EQ(log.shutdowns, 1);
    EXPECT_EQ(removed.shutdowns, 0);
    Sim::DefineDefaultGame();
    Sim::DestroyObject(Sim::NewObject(Sim::FindClass(L"/Script/Engine.Actor"), nullptr));
    EXPECT_EQ(log.told.size(), 2u) << "the array's end drops every listener";
}

// FUObjectArray::ShutdownUObjectArray: the listeners hear of the end newest first, and one that
// stays registered through it is the engine's fatal error, here a failed check.
TEST_F(ObjectSystem, AtTheArraysEndEveryListenerMustLeaveOrTheEngineStops)
{
    struct Leaving final : FUObjectDeleteListener
    {
        explicit Leaving(std::vector<const void*>& log) : heard(log) {}
        void NotifyUObjectDeleted(const UObjectBase*, int32) override {}
        void OnUObjectArrayShutdown() override
        {
            heard.push_back(this);
            FUObjectArray::RemoveUObjectDeleteListener(this);
        }
        std::vector<const void*>& heard;
    };
    std::vector<const void*> heard;
    Leaving older(heard);
    Leaving newer(heard);
    FUObjectArray::AddUObjectDeleteListener(&older);
    FUObjectArray::AddUObjectDeleteListener(&newer);
    Sim::ShutdownObjectArray();
    EXPECT_EQ(heard, (std::vector<const void*>{&newer, &older}));
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u);

    Sim::ResetEngine();
    DeletionLog staying;
    FUObjectArray::AddUObjectDeleteListener(&staying);
    Sim::ShutdownObjectArray();
    EXPECT_EQ(staying.shutdowns, 1);
    EXPECT_EQ(Sim::FailedChecks(),
              std::vector<std::wstring>{L"All UObject delete listeners should be unregistered when shutting down the UObject array"});
}

TEST_F(ObjectSystem, GarbageCollectionKeepsRootedAndReferencedObjectsOnly)
{
    auto* worldClass = Sim::FindClass(L"/Script/Engine.World");
    auto* world = Sim::NewObject(worldClass, nullptr, L"World");
    Sim::AddGarbageRoot(world);
    auto* inWorld = Sim::NewObject(ActorClass(), world, L"InWorld");
    auto* rooted = Sim::NewObject(ActorClass(), nullptr, L"Rooted");
    rooted->GetObjectItem()->SetRootSet();
    auto* owned = Sim::NewObject(ActorClass(), nullptr, L"Owned");
    *Sim::FindPropertyUncounted(ActorClass(), L"Owner")->ContainerPtrToValuePtr<UObject*>(rooted) = owned;
    auto* loose = Sim::NewObject(ActorClass(), nullptr, L"Loose");
    int32 looseIndex = loose->GetInternalIndex();

    // An outer does not keep its inner alive; an object does keep its outer.
    const auto collections = Sim::Stats().Collections;
    Sim::CollectGarbage(false);
    EXPECT_EQ(Sim::Stats().Collections, collections + 1);
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

TEST_F(ObjectSystem, ABlueprintClassLivesOnlyWhileSomethingUsesIt)
{
    UClass* blueprint = Sim::DefineClass({.path = L"/Game/Creatures/BP_Crawler.BP_Crawler_C",
                                          .super = L"/Script/Engine.Actor",
                                          .functions = {{L"Crawl", {}, [](Sim::Call&) {}}},
                                          .blueprint = true});
    ASSERT_NE(blueprint, nullptr);
    auto* crawl = Sim::FindFunctionByPath(L"/Game/Creatures/BP_Crawler.BP_Crawler_C:Crawl");
    ASSERT_NE(crawl, nullptr);
    auto* instance = Sim::NewObject(blueprint, nullptr);
    instance->GetObjectItem()->SetRootSet();
    Sim::CollectGarbage(true);
    EXPECT_TRUE(Sim::HoldsObject(blueprint)) << "its instance keeps it";
    EXPECT_TRUE(Sim::HoldsObject(crawl)) << "and it keeps its functions";

    DeletionLog log;
    FUObjectArray::AddUObjectDeleteListener(&log);
    instance->GetObjectItem()->UnsetRootSet();
    Sim::CollectGarbage(true);
    FUObjectArray::RemoveUObjectDeleteListener(&log);
    EXPECT_FALSE(Sim::HoldsObject(blueprint));
    EXPECT_FALSE(Sim::HoldsObject(crawl));
    EXPECT_EQ(Sim::FindClass(L"/Game/Creatures/BP_Crawler.BP_Crawler_C"), nullptr);
    ASSERT_FALSE(log.told.empty());
    EXPECT_EQ(log.told.back().object, blueprint) << "the class goes after everything it describes";
}

// UStruct::FindProperty as the loader has it: a hit is remembered by the struct's address and
// the name for good, so a class made where a freed one lay is answered with the freed one's
// member. Misses are asked again, and the engine's own lookup remembers nothing.
TEST_F(ObjectSystem, FindPropertyRemembersItsHitsByAddressPastTheStructsDeath)
{
    UClass* gone = Sim::DefineClass(
        {.path = L"/Game/Test/BP_First.BP_First_C", .properties = {{L"Speed", Sim::Float()}}, .blueprint = true});
    FProperty* old = gone->FindProperty(FName(STR("Speed"), FNAME_Find));
    ASSERT_EQ(old, Sim::FindPropertyUncounted(gone, L"Speed"));
    EXPECT_EQ(gone->FindProperty(FName(STR("Health"), FNAME_Add)), nullptr);
    Sim::CollectGarbage(true);
    ASSERT_FALSE(Sim::HoldsObject(gone));

    UClass* next = Sim::DefineClass({.path = L"/Game/Test/BP_Next.BP_Next_C",
                                     .properties = {{L"Health", Sim::Int()}, {L"Speed", Sim::Double()}},
                                     .blueprint = true});
    ASSERT_EQ(static_cast<void*>(next), static_cast<void*>(gone)) << "the engine reused the address";
    FProperty* own = Sim::FindPropertyUncounted(next, L"Speed");
    ASSERT_NE(own, old);
    EXPECT_EQ(next->FindProperty(FName(STR("Speed"), FNAME_Find)), old);
    EXPECT_EQ(next->FindProperty(FName(STR("Health"), FNAME_Find)), Sim::FindPropertyUncounted(next, L"Health"))
        << "the miss was not remembered";
    EXPECT_EQ(next->CustomFindProperty(FName(STR("Speed"), FNAME_Find)), own);
}

// What tests count as one resolution of a member name: a walk of a struct's property chain
// counts once however many supers it crosses, a walk after a function walk counts again, and
// the engine's own walks count nothing.
TEST_F(ObjectSystem, APropertyWalkCountsOnceAcrossItsSuperStructs)
{
    UClass* actor = ActorClass();
    const auto walk = [](UStruct* start) {
        for (UStruct* layout = start; layout != nullptr; layout = layout->GetSuperStruct())
        {
            for (FField* field = layout->GetChildProperties(); field != nullptr; field = field->GetNextFieldAsProperty())
            {
            }
        }
    };
    Sim::ResetCounters();
    walk(actor);
    EXPECT_EQ(Sim::Counters().PropertyWalks, 1u);
    EXPECT_GE(Sim::Counters().GetSuperStruct, 2u) << "the walk went through the supers";
    actor->GetChildren();
    walk(actor);
    walk(UObject::StaticClass());
    EXPECT_EQ(Sim::Counters().PropertyWalks, 3u);
    Sim::FindPropertyUncounted(actor, L"Owner");
    Sim::CollectGarbage(true);
    EXPECT_EQ(Sim::Counters().PropertyWalks, 3u);
}

TEST_F(ObjectSystem, NamesSplitANumberOffTheirEndAsTheEngineDoes)
{
    FName probe(STR("SurelyNotANameYet_4711"), FNAME_Find);
    EXPECT_TRUE(probe.IsNone());
    FName added(STR("SurelyNotANameYet_4711"), FNAME_Add);
    EXPECT_FALSE(added.IsNone());
    EXPECT_EQ(added.GetNumber(), 4712);
    EXPECT_EQ(added.ToString(), L"SurelyNotANameYet_4711");
    EXPECT_EQ(FName(STR("surelynotanameyet_4711"), FNAME_Find), added) << "names compare without case";
    EXPECT_EQ(FName(STR("SurelyNotANameYet"), FNAME_Find).GetComparisonIndex(), added.GetComparisonIndex());
    EXPECT_NE(FName(STR("SurelyNotANameYet_4712"), FNAME_Find), added) << "the number counts";

    struct Case
    {
        const wchar_t* text;
        int32 number;
    };
    for (const Case& c : {Case{L"Slot_0", 1}, Case{L"Slot_01", 0}, Case{L"Slot_", 0}, Case{L"_7", 0},
                          Case{L"Slot_2147483646", 2147483647}, Case{L"Slot_2147483647", 0}, Case{L"Slot7", 0}})
    {
        FName name(c.text);
        EXPECT_EQ(name.GetNumber(), c.number) << c.text;
        EXPECT_EQ(name.ToString(), c.text);
    }
    auto* object = Sim::NewObject(ActorClass(), nullptr);
    EXPECT_NE(object->GetNamePrivate().GetNumber(), 0) << "objects are named <Class>_<n>";
}

TEST_F(ObjectSystem, ClassesCarryTheEnginesCastFlagsAndNoOthers)
{
    struct Case
    {
        const wchar_t* path;
        uint64 flags;
    };
    for (const Case& c : {Case{L"/Script/Engine.Actor", CASTCLASS_AActor},
                          Case{L"/Script/Engine.Pawn", CASTCLASS_AActor | CASTCLASS_APawn},
                          Case{L"/Script/Engine.PlayerController", CASTCLASS_AActor | CASTCLASS_APlayerController},
                          Case{L"/Script/Engine.SceneComponent", CASTCLASS_USceneComponent},
                          Case{L"/Script/Engine.World", CASTCLASS_None}, Case{L"/Script/Engine.Level", CASTCLASS_ULevel}})
    {
        UClass* cls = Sim::FindClass(c.path);
        ASSERT_NE(cls, nullptr) << c.path;
        EXPECT_TRUE(cls->HasAllCastFlags(static_cast<EClassCastFlags>(c.flags))) << c.path;
        EXPECT_FALSE(cls->HasAnyCastFlags(static_cast<EClassCastFlags>(~c.flags))) << c.path;
    }
    EXPECT_EQ(CASTCLASS_AActor, 0x0000001000000000u);
    EXPECT_EQ(CASTCLASS_UPackage, 0x0000000400000000u);
    EXPECT_TRUE(UPackage::StaticClass()->HasAllCastFlags(CASTCLASS_UPackage));
    FProperty* hidden = Sim::FindPropertyUncounted(ActorClass(), L"bHidden");
    EXPECT_EQ(hidden->GetClass().GetClassCastFlags(), CASTCLASS_FBoolProperty | CASTCLASS_FProperty);
}

TEST_F(ObjectSystem, ProcessEventRunsHooksAroundTheBodyOnTheEnginesCopyOfTheParameters)
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

    int32 parms[2] = {21, 0};
    int32 seenByPre = 0;
    int32 resultSeenByPost = 0;
    auto pre = twice->RegisterPreHook([&](UnrealScriptFunctionCallableContext& context, void*) {
        order.push_back(L"pre");
        EXPECT_EQ(context.Context, echo);
        EXPECT_NE(context.TheStack.Locals(), reinterpret_cast<uint8*>(parms)) << "the engine's own copy";
        std::memcpy(&seenByPre, context.TheStack.Locals(), 4);
        const int32 changed = 5;
        std::memcpy(context.TheStack.Locals(), &changed, 4); // the body reads the copy
    });
    auto post = twice->RegisterPostHook([&](UnrealScriptFunctionCallableContext& context, void*) {
        order.push_back(L"post");
        EXPECT_EQ(context.RESULT_DECL, static_cast<void*>(&parms[1])) << "the result is the caller's";
        std::memcpy(&resultSeenByPost, context.RESULT_DECL, 4);
    });
    EXPECT_EQ(pre, 1) << "ids count from 1 for each function";
    EXPECT_EQ(post, 2);

    echo->ProcessEvent(twice, parms);
    EXPECT_EQ(parms[0], 21) << "the caller's arguments stay as they were";
    EXPECT_EQ(parms[1], 10);
    EXPECT_EQ(seenByPre, 21);
    EXPECT_EQ(resultSeenByPost, 10);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"pre", L"body", L"post"}));
    EXPECT_EQ(Sim::Stats().ScriptHooksFired, 2u);

    EXPECT_TRUE(twice->UnregisterHook(pre));
    EXPECT_FALSE(twice->UnregisterHook(pre));
    Sim::RefuseHooksOn(twice);
    EXPECT_LE(twice->RegisterPreHook([](UnrealScriptFunctionCallableContext&, void*) {}), 0);
}

TEST_F(ObjectSystem, AHookRemovedWhileItsFunctionRunsStaysInForceUntilTheCallEnds)
{
    auto* cls = Sim::DefineClass({.path = L"/Script/Test.Once", .functions = {{L"Go", {}, [](Sim::Call&) {}}}});
    auto* target = Sim::NewObject(cls, nullptr);
    auto* go = Sim::FindFunctionByPath(L"/Script/Test.Once:Go");
    int postRuns = 0;
    CallbackId post = go->RegisterPostHook([&](UnrealScriptFunctionCallableContext&, void*) { ++postRuns; });
    go->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) { go->UnregisterHook(post); });
    uint8 parms[1] = {};
    target->ProcessEvent(go, parms);
    EXPECT_EQ(postRuns, 1);
    target->ProcessEvent(go, parms);
    EXPECT_EQ(postRuns, 1);
}

TEST_F(ObjectSystem, ProcessEventRunsNothingForUnreachableObjectsAndBodilessEvents)
{
    int bodies = 0;
    int hooks = 0;
    auto* cls = Sim::DefineClass({.path = L"/Script/Test.Ghost",
                                  .functions = {{L"Touch", {Sim::Return(Sim::Int())},
                                                 [&](Sim::Call& call) {
                                                     ++bodies;
                                                     call.Get<int32>(L"ReturnValue") = 7;
                                                 }},
                                                {L"Imagined", {}, {}, FUNC_Event | FUNC_BlueprintEvent}}});
    auto* touch = Sim::FindFunctionByPath(L"/Script/Test.Ghost:Touch");
    auto* imagined = Sim::FindFunctionByPath(L"/Script/Test.Ghost:Imagined");
    for (UFunction* function : {touch, imagined})
    {
        function->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) { ++hooks; });
    }
    auto* ghost = Sim::NewObject(cls, nullptr);

    uint8 none[1] = {};
    ghost->ProcessEvent(imagined, none);
    EXPECT_EQ(hooks, 0) << "no native body and no script: no hooks";
    EXPECT_FALSE(Sim::SetFunctionScript(imagined, [](Sim::Call&) {})) << "a native class's declaration has no script";

    // A blueprint implementing the event does so in a function of its own, which the engine
    // runs for its objects; the declaration's hooks never hear of it.
    int scripts = 0;
    auto* haunting = Sim::DefineClass({.path = L"/Game/Test/BP_Haunting.BP_Haunting_C",
                                       .super = L"/Script/Test.Ghost",
                                       .blueprint = true,
                                       .overrides = {{L"Imagined", [&](Sim::Call&) { ++scripts; }}}});
    auto* own = Sim::FindFunctionByPath(L"/Game/Test/BP_Haunting.BP_Haunting_C:Imagined");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->GetFunctionFlags() & FUNC_Native, 0u);
    EXPECT_NE(own->GetFunctionFlags() & FUNC_BlueprintEvent, 0u);
    int ownHooks = 0;
    own->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) { ++ownHooks; });
    auto* haunt = Sim::NewObject(haunting, nullptr);
    Sim::CallScriptFunction(haunt, L"Imagined");
    EXPECT_EQ(scripts, 1);
    EXPECT_EQ(ownHooks, 1);
    EXPECT_EQ(hooks, 0);
    EXPECT_TRUE(Sim::SetFunctionScript(own, {})) << "the blueprint's own function takes its script away";
    Sim::CallScriptFunction(haunt, L"Imagined");
    EXPECT_EQ(ownHooks, 1) << "nothing runs once it has neither";

    Sim::ResetCounters();
    Sim::CollectGarbage(false);
    ASSERT_TRUE(ghost->GetObjectItem()->IsUnreachable());
    int32 result = -1;
    ghost->ProcessEvent(touch, &result);
    EXPECT_EQ(result, -1) << "the caller's buffer keeps what it held";
    EXPECT_EQ(bodies, 0);
    EXPECT_EQ(hooks, 0);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 1u) << "the call still reaches the engine";
}

TEST_F(ObjectSystem, SilentEventsRunBodiesButNoHooks)
{
    int bodies = 0;
    int hooks = 0;
    auto* cls = Sim::DefineClass({.path = L"/Script/Test.Quiet", .functions = {{L"Go", {}, [&](Sim::Call&) { ++bodies; }}}});
    auto* go = Sim::FindFunctionByPath(L"/Script/Test.Quiet:Go");
    go->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) { ++hooks; });
    auto* target = Sim::NewObject(cls, nullptr);
    uint8 parms[1] = {};
    Sim::SetSilentEvents(true);
    target->ProcessEvent(go, parms);
    Sim::SetSilentEvents(false);
    EXPECT_EQ(bodies, 1);
    EXPECT_EQ(hooks, 0);
    target->ProcessEvent(go, parms);
    EXPECT_EQ(hooks, 1);
}

TEST_F(ObjectSystem, TickCallbacksGetTheEngineRunOncePerFrameAndMayRemoveThemselves)
{
    int calls = 0;
    UEngine* engineSeen = nullptr;
    Hook::GlobalCallbackId self = Hook::RegisterEngineTickPostCallback(
        [&](Hook::TCallbackIterationData<void>& run, UEngine* engine, float, bool) {
            ++calls;
            engineSeen = engine;
            run.RemoveSelf();
        },
        {false, false, STR("Test"), STR("Self")});
    ASSERT_NE(self, Hook::ERROR_ID);
    Sim::TickEngine(0.016f);
    Sim::TickEngine(0.016f);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Sim::TickCallbackCount(), 0u);
    ASSERT_NE(engineSeen, nullptr);
    EXPECT_EQ(reinterpret_cast<UObject*>(engineSeen)->GetClassPrivate(), Sim::FindClass(L"/Script/Engine.GameEngine"));

    Sim::RefuseTickCallbacks(true);
    EXPECT_EQ(Hook::RegisterEngineTickPostCallback([](auto&, UEngine*, float, bool) {}, {}), Hook::ERROR_ID);
}

TEST_F(ObjectSystem, AnArrayThatBreaksItsInvariantsThrowsTheEnginesErrors)
{
    auto& interfaces = ActorClass()->GetInterfaces();
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

// What the layouts of engine 4.27 and 5.1 differ in, as the mod meets them.
struct Layout
{
    int major;
    int minor;
    int32 vectorSize;
    int32 textSize;
    const wchar_t* memberObjectClass;
};

class EngineLayouts : public ::testing::TestWithParam<Layout>
{
};

TEST_P(EngineLayouts, VectorsTextsAndObjectMembersAreLaidOutAsTheEngineDoes)
{
    const Layout& layout = GetParam();
    Sim::ResetEngine({.VersionMajor = layout.major, .VersionMinor = layout.minor});
    Sim::DefineDefaultGame();
    auto* vector = static_cast<UStruct*>(Sim::FindObjectByPath(L"/Script/CoreUObject.Vector"));
    EXPECT_EQ(vector->GetPropertiesSize(), layout.vectorSize);

    auto* textHolder = Sim::DefineClass({.path = L"/Script/Test.Caption", .properties = {{L"Caption", Sim::Text()}}});
    FProperty* caption = Sim::FindPropertyUncounted(textHolder, L"Caption");
    EXPECT_EQ(caption->GetElementSize(), layout.textSize);
    EXPECT_EQ(sizeof(FText), 24u) << "the loader's text has the larger layout";

    FProperty* owner = Sim::FindPropertyUncounted(Sim::FindClass(L"/Script/Engine.Actor"), L"Owner");
    EXPECT_EQ(owner->GetClass().GetName(), layout.memberObjectClass);
    FProperty* returned = Sim::FindPropertyUncounted(Sim::FindFunctionByPath(L"/Script/Engine.Controller:K2_GetPawn"), L"ReturnValue");
    ASSERT_NE(returned, nullptr) << "the pawn getter goes by its blueprint name";
    EXPECT_EQ(returned->GetClass().GetName(), L"ObjectProperty") << "parameters stay raw pointers";
    EXPECT_EQ(Sim::FindFunctionByPath(L"/Script/Engine.Controller:GetPawn"), nullptr);
    Sim::ResetEngine();
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineLayouts,
                         ::testing::Values(Layout{4, 27, 12, 24, L"ObjectProperty"}, Layout{5, 1, 24, 16, L"ObjectPtrProperty"}),
                         [](const auto& instance) { return instance.param.major == 4 ? "UE4_27" : "UE5_1"; });

TEST_F(ObjectSystem, ThirtyTwoBitBitfieldsShareFourBytesAndAddressTheirBitByByte)
{
    std::vector<Sim::PropertyDef> bits;
    for (int i = 0; i < 33; ++i)
    {
        bits.push_back({L"bFlag" + std::to_wstring(i), Sim::Bitfield32()});
    }
    auto* cls = Sim::DefineClass({.path = L"/Script/Test.Flags", .properties = bits});
    auto* first = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(cls, L"bFlag0"));
    auto* ninth = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(cls, L"bFlag9"));
    auto* last = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(cls, L"bFlag31"));
    auto* spill = static_cast<FBoolProperty*>(Sim::FindPropertyUncounted(cls, L"bFlag32"));
    EXPECT_EQ(first->GetElementSize(), 4);
    EXPECT_EQ(first->GetFieldSize(), 4);
    EXPECT_EQ(ninth->GetOffset_Internal(), first->GetOffset_Internal());
    EXPECT_EQ(ninth->GetByteOffset(), 1);
    EXPECT_EQ(ninth->GetByteMask(), 0x02);
    EXPECT_EQ(ninth->GetFieldMask(), 0x02);
    EXPECT_EQ(last->GetByteOffset(), 3);
    EXPECT_EQ(last->GetFieldMask(), 0x80);
    EXPECT_EQ(spill->GetOffset_Internal(), first->GetOffset_Internal() + 4);
    EXPECT_EQ(spill->GetByteOffset(), 0);
}
TEST_F(ObjectSystem, AStructLaysItsMembersOutAfterItsSuperStructs)
{
    auto* base = Sim::DefineStruct({L"/Script/Test.Base", {}, {{L"Id", Sim::Int64()}}});
    auto* derived = Sim::DefineStruct({L"/Script/Test.Derived", L"/Script/Test.Base", {{L"Extra", Sim::Int()}}});
    EXPECT_EQ(derived->GetSuperStruct(), base);
    EXPECT_EQ(Sim::FindPropertyUncounted(derived, L"Extra")->GetOffset_Internal(), 8);
    EXPECT_EQ(derived->GetPropertiesSize(), 16);
    EXPECT_THROW(Sim::DefineStruct({L"/Script/Test.Orphan", L"/Script/Test.NoSuchStruct", {}}), std::runtime_error);
}
} // namespace
