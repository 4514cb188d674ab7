// The lookup caches: what they remember, what they ask the host again, and the order in
// which a function is searched for. Host call counters show whether a lookup walked.
#include "support/EngineFixture.hpp"

#include "reflection/Lookup.hpp"

#include <Sim/Types.hpp>

namespace
{
using namespace RC::Unreal;
using Orv::Reflection;

class Lookup : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        Sim::DefineClass({.path = L"/Script/Test.Greeter", .functions = {{L"Greet", {}, {}}}, .isInterface = true});
        base_ = Sim::DefineClass({.path = L"/Script/Test.Base",
                                  .properties = {{L"Health", Sim::Float()}},
                                  .functions = {{L"Shared", {}, {}}, {L"BaseOnly", {Sim::In(L"Amount", Sim::Int())}, {}}}});
        derived_ = Sim::DefineClass({.path = L"/Script/Test.Derived",
                                     .super = L"/Script/Test.Base",
                                     .properties = {{L"Speed", Sim::Float()}},
                                     .functions = {{L"Shared", {}, {}}},
                                     .interfaces = {L"/Script/Test.Greeter"}});
        object_ = Sim::NewObject(derived_, nullptr, L"Subject");
        Sim::ResetCounters();
    }

    Reflection reflection_;
    UClass* base_ = nullptr;
    UClass* derived_ = nullptr;
    UObject* object_ = nullptr;
};

TEST_F(Lookup, ObjectPathsAreCachedOnlyWhenFound)
{
    auto* found = reflection_.LookupObject(L"/Script/Engine.Actor");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(reflection_.LookupObject(L"/Script/Engine.Actor"), found);
    EXPECT_EQ(Sim::Counters().FindObject, 1u);

    EXPECT_EQ(reflection_.LookupObject(L"/Script/Test.Later"), nullptr);
    EXPECT_EQ(reflection_.LookupObject(L"/Script/Test.Later"), nullptr);
    EXPECT_EQ(Sim::Counters().FindObject, 3u) << "a miss is asked again";

    auto* later = Sim::DefineClass({.path = L"/Script/Test.Later"});
    EXPECT_EQ(reflection_.LookupObject(L"/Script/Test.Later"), later);
}

TEST_F(Lookup, ClassDefaultsAreFoundThroughTheDefaultPathAndCachedUnderTheGivenOne)
{
    Sim::DefineClass({.path = L"/Script/Engine.KismetSystemLibrary"});
    auto* defaults = reflection_.LookupClassDefault(L"/Script/Engine.KismetSystemLibrary");
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(defaults->GetPathName(), L"/Script/Engine.Default__KismetSystemLibrary");
    EXPECT_EQ(reflection_.LookupClassDefault(L"/Script/Engine.KismetSystemLibrary"), defaults);
    EXPECT_EQ(Sim::Counters().FindObject, 1u);

    EXPECT_EQ(reflection_.LookupClassDefault(L"NoDotAnywhere"), nullptr);
    EXPECT_EQ(reflection_.LookupClassDefault(L""), nullptr);
    EXPECT_EQ(Sim::Counters().FindObject, 1u) << "malformed class paths never reach the host";

    EXPECT_EQ(reflection_.LookupClassDefault(L"/Script/Engine.NoSuchLibrary"), nullptr);
    EXPECT_EQ(reflection_.LookupClassDefault(L"/Script/Engine.NoSuchLibrary"), nullptr);
    EXPECT_EQ(Sim::Counters().FindObject, 3u);
}

TEST_F(Lookup, FunctionsAreSearchedOwnFirstThenInterfacesThenSupers)
{
    auto* own = reflection_.LookupFunction(object_, L"Shared");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->GetOuter(), derived_);

    auto* inherited = reflection_.LookupFunction(object_, L"BaseOnly");
    ASSERT_NE(inherited, nullptr);
    EXPECT_EQ(inherited->GetOuter(), base_);

    auto* declared = reflection_.LookupFunction(object_, L"Greet");
    ASSERT_NE(declared, nullptr);
    EXPECT_EQ(declared->GetPathName(), L"/Script/Test.Greeter:Greet");

    auto* engineLevel = reflection_.LookupFunction(object_, L"ReceiveBeginPlay");
    EXPECT_EQ(engineLevel, nullptr) << "the test classes are not actors";
}

TEST_F(Lookup, FunctionWalksSkipFieldsThatAreNotFunctions)
{
    Sim::AddNonFunctionChild(derived_, L"Lurker");
    EXPECT_EQ(reflection_.LookupFunction(object_, L"Lurker"), nullptr);
    EXPECT_NE(reflection_.LookupFunction(object_, L"Greet"), nullptr);
}

TEST_F(Lookup, AMissingFunctionIsRememberedEvenIfItAppearsLater)
{
    EXPECT_EQ(reflection_.LookupFunction(object_, L"Appears"), nullptr);
    auto walked = Sim::Counters().GetChildren;
    EXPECT_GT(walked, 0u);

    Sim::AddFunction(derived_, {L"Appears", {}, {}});
    EXPECT_EQ(reflection_.LookupFunction(object_, L"Appears"), nullptr);
    EXPECT_EQ(Sim::Counters().GetChildren, walked) << "a remembered miss costs no field walk";

    Reflection fresh;
    EXPECT_NE(fresh.LookupFunction(object_, L"Appears"), nullptr);
}

TEST_F(Lookup, NamesThatDifferOnlyInCaseAreSeparateKeys)
{
    ASSERT_NE(reflection_.LookupFunction(object_, L"Shared"), nullptr);
    EXPECT_EQ(reflection_.LookupFunction(object_, L"shared"), nullptr);
    EXPECT_NE(reflection_.LookupFunction(object_, L"Shared"), nullptr);

    auto finds = Sim::Counters().PropertyWalks;
    reflection_.LookupProperty(object_, L"Speed");
    reflection_.LookupProperty(object_, L"speed");
    EXPECT_EQ(Sim::Counters().PropertyWalks, finds + 2) << "each spelling is its own host lookup";
}

TEST_F(Lookup, PropertiesAndParametersRememberHitsAndMisses)
{
    auto* speed = reflection_.LookupProperty(object_, L"Speed");
    ASSERT_NE(speed, nullptr);
    auto* health = reflection_.LookupProperty(object_, L"Health");
    ASSERT_NE(health, nullptr) << "properties of super classes are found too";
    EXPECT_EQ(reflection_.LookupProperty(object_, L"Mana"), nullptr);
    auto finds = Sim::Counters().PropertyWalks;
    reflection_.LookupProperty(object_, L"Speed");
    reflection_.LookupProperty(object_, L"Mana");
    EXPECT_EQ(Sim::Counters().PropertyWalks, finds);

    auto* function = reflection_.LookupFunction(object_, L"BaseOnly");
    EXPECT_NE(reflection_.LookupParameter(function, L"Amount"), nullptr);
    EXPECT_EQ(reflection_.LookupParameter(function, L"Missing"), nullptr);
    finds = Sim::Counters().PropertyWalks;
    reflection_.LookupParameter(function, L"Amount");
    reflection_.LookupParameter(function, L"Missing");
    EXPECT_EQ(Sim::Counters().PropertyWalks, finds);
    EXPECT_EQ(reflection_.LookupParameter(nullptr, L"Amount"), nullptr);
}

// A blueprint class freed and another made at its address: the mod, told of the death as its
// listener is, asks the new class for its own member, never the freed one's.
TEST_F(Lookup, AClassMadeWhereAFreedOneLayIsAskedForItsOwnMembers)
{
    UClass* gone = Sim::DefineClass(
        {.path = L"/Game/Test/BP_First.BP_First_C", .properties = {{L"Speed", Sim::Float()}}, .blueprint = true});
    UObject* before = Sim::NewObject(gone, nullptr, L"Before");
    ASSERT_EQ(reflection_.LookupProperty(before, L"Speed"), Sim::FindPropertyUncounted(gone, L"Speed"));
    Sim::CollectGarbage(true);
    ASSERT_FALSE(Sim::HoldsObject(gone));
    reflection_.Forget(before);
    reflection_.Forget(gone);

    UClass* next = Sim::DefineClass({.path = L"/Game/Test/BP_Next.BP_Next_C",
                                     .properties = {{L"Health", Sim::Int()}, {L"Speed", Sim::Double()}},
                                     .blueprint = true});
    ASSERT_EQ(static_cast<void*>(next), static_cast<void*>(gone)) << "the engine reused the address";
    UObject* after = Sim::NewObject(next, nullptr, L"After");
    FProperty* speed = reflection_.LookupProperty(after, L"Speed");
    EXPECT_EQ(speed, Sim::FindPropertyUncounted(next, L"Speed"));
    EXPECT_EQ(speed->GetClass().GetName(), L"DoubleProperty");
}

TEST_F(Lookup, ProbingUnknownNamesNeverAddsThemToTheEnginesNameTable)
{
    auto* function = reflection_.LookupFunction(object_, L"BaseOnly");
    EXPECT_EQ(reflection_.LookupProperty(object_, L"NeverHeardOf_9031"), nullptr);
    EXPECT_EQ(Sim::Counters().NameFind, 1u) << "the name is only looked for";
    EXPECT_EQ(reflection_.LookupParameter(function, L"NeverHeardOf_9032"), nullptr);
    EXPECT_EQ(Sim::Counters().NameFind, 2u);
    EXPECT_TRUE(FName(STR("NeverHeardOf_9031"), FNAME_Find).IsNone());
    EXPECT_TRUE(FName(STR("NeverHeardOf_9032"), FNAME_Find).IsNone());
    EXPECT_EQ(Sim::Counters().PropertyWalks, 0u) << "a name the engine never had names no member: nothing is walked";
}

TEST_F(Lookup, NullObjectsAndClearedCachesAreHarmless)
{
    EXPECT_EQ(reflection_.LookupFunction(nullptr, L"Shared"), nullptr);
    EXPECT_EQ(reflection_.LookupProperty(nullptr, L"Speed"), nullptr);
    reflection_.LookupObject(L"/Script/Engine.Actor");
    reflection_.Clear();
    reflection_.LookupObject(L"/Script/Engine.Actor");
    EXPECT_EQ(Sim::Counters().FindObject, 2u);
}

class Liveness : public Lookup
{
};

TEST_F(Liveness, ALiveObjectIsLiveAndADefaultObjectOnlyWhenAllowed)
{
    EXPECT_FALSE(Orv::IsLive(nullptr, true));
    EXPECT_TRUE(Orv::IsLive(object_, false));
    auto* defaults = derived_->GetClassDefaultObject();
    EXPECT_FALSE(Orv::IsLive(defaults, false));
    EXPECT_TRUE(Orv::IsLive(defaults, true));
}

TEST_F(Liveness, EitherDestructionFlagAloneMakesAnObjectDead)
{
    for (EObjectFlags flag : {RF_BeginDestroyed, RF_FinishDestroyed})
    {
        auto* dying = Sim::NewObject(derived_, nullptr, {}, flag);
        EXPECT_FALSE(Orv::IsLive(dying, false)) << flag;
        EXPECT_FALSE(Orv::IsLive(dying, true)) << flag;
    }
    auto* dyingDefault = Sim::NewObject(derived_, nullptr, {}, RF_ClassDefaultObject | RF_FinishDestroyed);
    EXPECT_FALSE(Orv::IsLive(dyingDefault, true));
    EXPECT_TRUE(Orv::IsLive(Sim::NewObject(derived_, nullptr, {}, RF_Public | RF_Transient), false))
        << "other flags do not matter";
}

TEST_F(Liveness, ObjectsOnTheirWayOutAreNotLive)
{
    auto* beingDestroyed = Sim::NewObject(derived_, nullptr, L"BeingDestroyed");
    Sim::BeginDestroy(beingDestroyed);
    EXPECT_FALSE(Orv::IsLive(beingDestroyed, false));
    EXPECT_FALSE(Orv::IsLive(beingDestroyed, true));

    auto* pendingKill = Sim::NewObject(derived_, nullptr, L"PendingKill");
    Sim::MarkPendingKill(pendingKill);
    EXPECT_FALSE(Orv::IsLive(pendingKill, false));

    auto* unreachable = Sim::NewObject(derived_, nullptr, L"Unreachable");
    Sim::CollectGarbage(false);
    EXPECT_FALSE(Orv::IsLive(unreachable, false));
    EXPECT_TRUE(Orv::IsLive(derived_, false)) << "types are rooted";
    Sim::PurgeGarbage();
}

// The validity test can tell a stale pointer only while its memory is not yet another
// object's: an engine that holds freed memory back shows it. The harsh engine hands the
// memory on at once, which is why the mod forgets what the engine frees (its own tests).
TEST(LivenessWithQuarantine, AStalePointerIsNotLiveOnceItsSlotHoldsAnotherObject)
{
    Sim::ResetEngine({.MemoryQuarantine = 8});
    auto* cls = Sim::DefineClass({.path = L"/Script/Test.Kept"});
    auto* stale = Sim::NewObject(cls, nullptr, L"Stale");
    Sim::DestroyObject(stale);
    EXPECT_FALSE(Orv::IsLive(stale, false)) << "its slot is empty";
    auto* successor = Sim::NewObject(cls, nullptr, L"Successor");
    ASSERT_EQ(successor->GetInternalIndex(), stale->GetInternalIndex());
    ASSERT_NE(static_cast<void*>(successor), static_cast<void*>(stale));
    EXPECT_FALSE(Orv::IsLive(stale, false)) << "its slot holds another object";
    EXPECT_TRUE(Orv::IsLive(successor, false));
    Sim::ResetEngine();
}

TEST_F(Lookup, FindAllInstancesReversesTheHostsOrderOfTheClassAndItsSubclasses)
{
    auto* second = Sim::NewObject(derived_, nullptr, L"Second");
    auto* plain = Sim::NewObject(base_, nullptr, L"Plain");
    EXPECT_EQ(Orv::FindAllInstances(L"Derived"), (std::vector<UObject*>{second, object_}));
    EXPECT_EQ(Orv::FindAllInstances(L"Base"), (std::vector<UObject*>{plain, second, object_}));
    EXPECT_TRUE(Orv::FindAllInstances(L"NoSuchClass").empty());
}
// A function may come from anywhere on the class chain: the class's own fields, the
// interfaces it implements, its super class, and that class's interfaces, in that order.
TEST_F(Lookup, EachClassOnTheChainIsSearchedBeforeItsInterfacesAndThoseBeforeItsSuper)
{
    Sim::DefineClass({.path = L"/Script/Test.Waver", .functions = {{L"Wave", {}, {}}, {L"Twice", {}, {}}}, .isInterface = true});
    Sim::DefineClass({.path = L"/Script/Test.Nodder", .functions = {{L"Twice", {}, {}}, {L"Nod", {}, {}}}, .isInterface = true});
    Sim::DefineClass({.path = L"/Script/Test.Keeper",
                      .functions = {{L"Keep", {}, {}}, {L"Mixed", {}, {}}},
                      .isInterface = true});
    auto* elder = Sim::DefineClass({.path = L"/Script/Test.Elder",
                                    .functions = {{L"Mixed", {}, {}}, {L"Wave", {}, {}}},
                                    .interfaces = {L"/Script/Test.Keeper"}});
    auto* younger = Sim::DefineClass({.path = L"/Script/Test.Younger",
                                      .super = L"/Script/Test.Elder",
                                      .interfaces = {L"/Script/Test.Waver", L"/Script/Test.Nodder"}});
    UObject* subject = Sim::NewObject(younger, nullptr, L"Young");

    struct Case
    {
        const wchar_t* name;
        UObject* owner;
        const char* why;
    };
    const Case cases[] = {
        {L"Keep", Sim::FindClass(L"/Script/Test.Keeper"), "declared only on an interface of the super class"},
        {L"Mixed", elder, "a super class's own function before its interface's"},
        {L"Wave", Sim::FindClass(L"/Script/Test.Waver"), "an own interface before the super class"},
        {L"Twice", Sim::FindClass(L"/Script/Test.Waver"), "interfaces in the order the class lists them"},
        {L"Nod", Sim::FindClass(L"/Script/Test.Nodder"), "the second interface too"},
    };
    for (const auto& c : cases)
    {
        UFunction* found = reflection_.LookupFunction(subject, c.name);
        ASSERT_NE(found, nullptr) << c.why;
        EXPECT_EQ(found->GetOuter(), c.owner) << c.why;
    }
    EXPECT_EQ(reflection_.LookupFunction(subject, L"Absent"), nullptr) << "the whole chain and every interface walked";
}

// The engine compares paths without regard to case, but the caches key on the exact text:
// a second spelling is a second host lookup, then a hit of its own.
TEST_F(Lookup, ObjectAndDefaultPathsAreCachedUnderTheirExactSpelling)
{
    Sim::DefineClass({.path = L"/Script/Engine.KismetMathLibrary"});
    auto* actor = reflection_.LookupObject(L"/Script/Engine.Actor");
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(reflection_.LookupObject(L"/script/engine.actor"), actor);
    EXPECT_EQ(Sim::Counters().FindObject, 2u);
    EXPECT_EQ(reflection_.LookupObject(L"/Script/Engine.Actor"), actor);
    EXPECT_EQ(reflection_.LookupObject(L"/script/engine.actor"), actor);
    EXPECT_EQ(Sim::Counters().FindObject, 2u);

    auto* defaults = reflection_.LookupClassDefault(L"/Script/Engine.KismetMathLibrary");
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(reflection_.LookupClassDefault(L"/SCRIPT/ENGINE.KISMETMATHLIBRARY"), defaults);
    EXPECT_EQ(Sim::Counters().FindObject, 4u);
    EXPECT_EQ(reflection_.LookupClassDefault(L"/SCRIPT/ENGINE.KISMETMATHLIBRARY"), defaults);
    EXPECT_EQ(reflection_.LookupClassDefault(L"/Script/Engine.KismetMathLibrary"), defaults);
    EXPECT_EQ(Sim::Counters().FindObject, 4u);
}

// Only the last dot separates the class name from where it lives, so a package whose own
// name holds a dot keeps it whole.
TEST_F(Lookup, ADefaultObjectsNameGoesAfterTheLastDotOfTheClassPath)
{
    UObject* package = Sim::NewObject(UPackage::StaticClass(), nullptr, L"/Game/Mods/Orvanta.v2");
    UObject* defaults = Sim::NewObject(base_, package, L"Default__Library");
    ASSERT_EQ(defaults->GetPathName(), L"/Game/Mods/Orvanta.v2.Default__Library");
    EXPECT_EQ(reflection_.LookupClassDefault(L"/Game/Mods/Orvanta.v2.Library"), defaults);
}

TEST_F(Lookup, ParameterNamesThatDifferOnlyInCaseAreSeparateKeys)
{
    auto* function = reflection_.LookupFunction(object_, L"BaseOnly");
    reflection_.LookupParameter(function, L"Amount");
    auto finds = Sim::Counters().PropertyWalks;
    reflection_.LookupParameter(function, L"amount");
    reflection_.LookupParameter(function, L"AMOUNT");
    EXPECT_EQ(Sim::Counters().PropertyWalks, finds + 2);
    reflection_.LookupParameter(function, L"amount");
    EXPECT_EQ(Sim::Counters().PropertyWalks, finds + 2);
}

// What the engine frees may be followed by something else at its address: every entry keyed
// by it or holding it goes, and nothing else.
TEST_F(Lookup, AForgottenObjectIsAskedForAgainWhileOtherEntriesStay)
{
    auto* library = Sim::DefineClass({.path = L"/Game/Test.Library", .functions = {{L"Run", {Sim::In(L"Steps", Sim::Int())}, {}}}});
    auto* child = Sim::DefineClass({.path = L"/Game/Test.Child", .super = L"/Game/Test.Library"});
    UObject* instance = Sim::NewObject(library, nullptr, L"Instance");
    UObject* heir = Sim::NewObject(child, nullptr, L"Heir");
    UObject* defaults = library->GetClassDefaultObject();

    ASSERT_EQ(reflection_.LookupObject(L"/Game/Test.Library"), library);
    ASSERT_EQ(reflection_.LookupObject(L"/Script/Engine.Actor"), Sim::FindClass(L"/Script/Engine.Actor"));
    ASSERT_EQ(reflection_.LookupClassDefault(L"/Game/Test.Library"), defaults);
    UFunction* run = reflection_.LookupFunction(instance, L"Run");
    ASSERT_NE(run, nullptr);
    ASSERT_EQ(reflection_.LookupFunction(heir, L"Run"), run);
    ASSERT_NE(reflection_.LookupParameter(run, L"Steps"), nullptr);
    ASSERT_NE(reflection_.LookupProperty(object_, L"Speed"), nullptr);

    reflection_.Forget(object_); // held by no entry: changes nothing
    Sim::ResetCounters();
    reflection_.LookupObject(L"/Game/Test.Library");
    reflection_.LookupFunction(heir, L"Run");
    reflection_.LookupParameter(run, L"Steps");
    EXPECT_EQ(Sim::Counters().FindObject + Sim::Counters().GetChildren + Sim::Counters().PropertyWalks, 0u);

    reflection_.Forget(library);
    Sim::ResetCounters();
    EXPECT_EQ(reflection_.LookupObject(L"/Game/Test.Library"), library);
    EXPECT_EQ(Sim::Counters().FindObject, 1u) << "the path that held the class";
    EXPECT_EQ(reflection_.LookupFunction(instance, L"Run"), run);
    EXPECT_GT(Sim::Counters().GetChildren, 0u) << "the class's own member entries";
    Sim::ResetCounters();
    reflection_.LookupClassDefault(L"/Game/Test.Library");
    reflection_.LookupObject(L"/Script/Engine.Actor");
    reflection_.LookupFunction(heir, L"Run");
    reflection_.LookupProperty(object_, L"Speed");
    EXPECT_EQ(Sim::Counters().FindObject + Sim::Counters().GetChildren + Sim::Counters().PropertyWalks, 0u)
        << "entries neither keyed by the class nor holding it";

    reflection_.Forget(run);
    Sim::ResetCounters();
    EXPECT_EQ(reflection_.LookupFunction(heir, L"Run"), run);
    EXPECT_GT(Sim::Counters().GetChildren, 0u) << "another class's entry that held the function";
    EXPECT_NE(reflection_.LookupParameter(run, L"Steps"), nullptr);
    EXPECT_EQ(Sim::Counters().PropertyWalks, 1u) << "the function's own parameter entries";

    reflection_.Forget(defaults);
    Sim::ResetCounters();
    EXPECT_EQ(reflection_.LookupClassDefault(L"/Game/Test.Library"), defaults);
    EXPECT_EQ(Sim::Counters().FindObject, 1u);
}

} // namespace
