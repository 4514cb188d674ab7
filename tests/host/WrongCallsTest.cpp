// Calls a build with checks stops: a function run on an object that is not of its class, or
// handed an object argument of another class. In native code they write at the wrong offsets;
// here each counts a failed engine check by the function's name and runs nothing at all.
#include "support/EngineFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/MapData.hpp>
#include <Sim/Values.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>
#include <Unreal/Hooks/Hooks.hpp>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

class WrongCalls : public OrvTest::EngineFixture
{
  protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        world_ = Sim::CreateWorld(L"Field");
        capture_ = Sim::ObjectReference(Sim::SpawnActor(world_, L"/Script/Engine.SceneCapture2D"), L"CaptureComponent2D");
        image_ = Sim::NewObject(Sim::FindClass(L"/Script/UMG.Image"), nullptr);
        pawn_ = Sim::SpawnActor(world_, L"/Script/Engine.StaticMeshActor");
    }

    // The object's own bytes, to see that a refused call left every one of them alone.
    static std::vector<uint8> Bytes(const UObject* object)
    {
        const auto size = static_cast<std::size_t>(object->GetClassPrivate()->GetPropertiesSize());
        const auto* start = reinterpret_cast<const uint8*>(object);
        return {start, start + size};
    }

    // Calls the function on the target through ProcessEvent with one object argument, the way a
    // mod's call frame does.
    static void CallWithObject(UObject* target, const wchar_t* functionPath, const wchar_t* parameter, UObject* argument)
    {
        auto* function = Sim::FindFunctionByPath(functionPath);
        ASSERT_NE(function, nullptr);
        std::vector<uint8> parms(function->GetParmsSize() + 8u, 0);
        std::memcpy(parms.data() + Sim::FindPropertyUncounted(function, parameter)->GetOffset_Internal(), &argument,
                    sizeof(argument));
        target->ProcessEvent(function, parms.data());
    }

    static UObject* BrushResource(UObject* image)
    {
        Sim::MemberRef resource = Sim::FindMemberByPath(image, L"Brush.ResourceObject");
        UObject* object = nullptr;
        std::memcpy(&object, resource.address, sizeof(object));
        return object;
    }

    UWorld* world_ = nullptr;
    UObject* capture_ = nullptr;
    UObject* image_ = nullptr;
    UObject* pawn_ = nullptr;
};

TEST_F(WrongCalls, AFunctionOfAnotherClassRunsNothingAndFailsACheckByItsName)
{
    auto* hide = Sim::FindFunctionByPath(L"/Script/Engine.SceneCaptureComponent:HideActorComponents");
    int hooks = 0;
    hide->RegisterPreHook([&](UnrealScriptFunctionCallableContext&, void*) { ++hooks; });
    const std::vector<uint8> before = Bytes(image_);

    CallWithObject(image_, L"/Script/Engine.SceneCaptureComponent:HideActorComponents", L"InActor", pawn_);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 1u);
    EXPECT_EQ(Sim::FailedChecks(), std::vector<std::wstring>{L"HideActorComponents"});
    EXPECT_EQ(Bytes(image_), before) << "not a byte of the widget written";
    EXPECT_EQ(hooks, 0);
    EXPECT_EQ(Sim::CallCount(image_, L"HideActorComponents"), 0u);
    EXPECT_EQ(Sim::Counters().ProcessEvent, 1u) << "the call reached the engine";

    // The engine's own script calls are checked alike.
    Sim::CallScriptFunction(image_, hide);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 2u);
    EXPECT_EQ(hooks, 0);

    // The class's own objects and its subclasses' pass: a 2-D capture is a scene capture.
    CallWithObject(capture_, L"/Script/Engine.SceneCaptureComponent:HideActorComponents", L"InActor", pawn_);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 2u);
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(Sim::CallCount(capture_, L"HideActorComponents"), 1u);
}

TEST_F(WrongCalls, AnObjectArgumentOfAnotherClassRunsNothing)
{
    UObject* texture = Sim::MakeTexture(L"T_Test", 2, 2, std::vector<uint8>(16, 255));
    UObject* renderTarget = Sim::NewObject(Sim::FindClass(L"/Script/Engine.TextureRenderTarget2D"), nullptr);
    ASSERT_NE(texture, nullptr);

    CallWithObject(image_, L"/Script/UMG.Image:SetBrushFromTexture", L"Texture", texture);
    EXPECT_EQ(BrushResource(image_), texture);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u);

    // A render target is a texture, but not a Texture2D: the image would read it as one.
    CallWithObject(image_, L"/Script/UMG.Image:SetBrushFromTexture", L"Texture", renderTarget);
    EXPECT_EQ(Sim::FailedChecks(), std::vector<std::wstring>{L"SetBrushFromTexture"});
    EXPECT_EQ(BrushResource(image_), texture) << "the brush keeps its picture";
    EXPECT_EQ(Sim::CallCount(image_, L"SetBrushFromTexture"), 1u) << "only the sound call is on record";

    // A component where an actor belongs: nothing hidden.
    CallWithObject(capture_, L"/Script/Engine.SceneCaptureComponent:HideActorComponents", L"InActor", image_);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 2u);
    EXPECT_EQ(Sim::FailedChecks().back(), L"HideActorComponents");
    auto* hidden = static_cast<FArrayProperty*>(Sim::FindPropertyUncounted(capture_->GetClassPrivate(), L"HiddenComponents"));
    EXPECT_EQ(Sim::ArrayNum(hidden->ContainerPtrToValuePtr<void>(capture_)), 0);

    // No object at all is no object of the wrong class.
    CallWithObject(image_, L"/Script/UMG.Image:SetBrushFromTexture", L"Texture", nullptr);
    EXPECT_EQ(BrushResource(image_), nullptr);
    EXPECT_EQ(Sim::Stats().ChecksFailed, 2u);
}

TEST_F(WrongCalls, AFreedObjectIsNoArgumentOfAnyClass)
{
    UObject* texture = Sim::MakeTexture(L"T_Gone", 2, 2, std::vector<uint8>(16, 255));
    Sim::DestroyObject(texture);
    CallWithObject(image_, L"/Script/UMG.Image:SetBrushFromTexture", L"Texture", texture);
    EXPECT_EQ(Sim::FailedChecks(), std::vector<std::wstring>{L"SetBrushFromTexture"});
    EXPECT_EQ(BrushResource(image_), nullptr);
}

TEST_F(WrongCalls, InterfaceFunctionsRunOnImplementersAndClassArgumentsFollowTheirMetaClass)
{
    int pings = 0;
    Sim::DefineClass({.path = L"/Script/Test.Pingable",
                      .functions = {{L"Ping", {Sim::In(L"Kind", Sim::ClassRef(L"/Script/Engine.Actor"))},
                                     [&](Sim::Call&) { ++pings; }}},
                      .isInterface = true});
    UClass* pinger = Sim::DefineClass({.path = L"/Script/Test.Pinger", .interfaces = {L"/Script/Test.Pingable"}});
    UClass* deaf = Sim::DefineClass({.path = L"/Script/Test.Deaf"});
    UObject* implementer = Sim::NewObject(pinger, nullptr);
    const wchar_t* ping = L"/Script/Test.Pingable:Ping";

    CallWithObject(implementer, ping, L"Kind", Sim::FindClass(L"/Script/Engine.StaticMeshActor"));
    EXPECT_EQ(pings, 1) << "an actor class is a class of actors";
    EXPECT_EQ(Sim::Stats().ChecksFailed, 0u);

    CallWithObject(Sim::NewObject(deaf, nullptr), ping, L"Kind", nullptr);
    CallWithObject(implementer, ping, L"Kind", Sim::FindClass(L"/Script/UMG.Image"));
    CallWithObject(implementer, ping, L"Kind", pawn_);
    EXPECT_EQ(pings, 1);
    EXPECT_EQ(Sim::FailedChecks(), (std::vector<std::wstring>{L"Ping", L"Ping", L"Ping"}))
        << "a class that does not implement it, a widget class, an actor that is no class";
}
} // namespace
