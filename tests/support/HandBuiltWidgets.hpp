// Widget trees built by hand through the engine's own script functions, for tests of what reads
// the screen: a widget of a UMG class, a child added to a panel, and a tree shown in the
// viewport of a game world as the mod's user widget would be.
#pragma once

#include <Sim/Engine.hpp>
#include <Sim/Types.hpp>
#include <Sim/World.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace OrvTest
{
inline RC::Unreal::UObject* MakeWidget(const std::wstring& umgClass)
{
    return Sim::NewObject(Sim::FindClass(L"/Script/UMG." + umgClass), Sim::FindObjectByPath(L"/Engine/Transient"));
}

// The object's script function of that name, from its class or a super.
inline RC::Unreal::UFunction* FunctionOf(RC::Unreal::UObject* self, const std::wstring& name)
{
    RC::Unreal::UFunction* f = nullptr;
    for (const RC::Unreal::UStruct* s = self->GetClassPrivate(); f == nullptr && s != nullptr; s = s->GetSuperStruct())
    {
        f = Sim::FindFunctionByPath(s->GetPathName() + L":" + name);
    }
    EXPECT_NE(f, nullptr) << Sim::ToUtf8(name);
    return f;
}

// A panel's add function ("AddChildToCanvas", "SetContent", ...) given the child; the slot it
// returns.
inline RC::Unreal::UObject* AddToPanel(RC::Unreal::UObject* panel, const wchar_t* function, RC::Unreal::UObject* child)
{
    RC::Unreal::UFunction* f = FunctionOf(panel, function);
    std::vector<RC::Unreal::uint8> parms(f->GetParmsSize() + 16u, 0);
    std::memcpy(parms.data() + Sim::FindPropertyUncounted(f, L"Content")->GetOffset_Internal(), &child, sizeof(child));
    panel->ProcessEvent(f, parms.data());
    RC::Unreal::UObject* slot = nullptr;
    std::memcpy(&slot, parms.data() + Sim::FindPropertyUncounted(f, L"ReturnValue")->GetOffset_Internal(), sizeof(slot));
    return slot;
}

// A user widget of a new game world (whose game instance has the viewport) with the root,
// added to the viewport.
inline RC::Unreal::UObject* ShowInViewport(RC::Unreal::UObject* root)
{
    RC::Unreal::UWorld* world = Sim::CreateWorld(L"Open");
    Sim::CreateGameInstance(world);
    RC::Unreal::UObject* user =
        Sim::NewObject(Sim::FindClass(L"/Script/UMG.UserWidget"), reinterpret_cast<RC::Unreal::UObject*>(world));
    RC::Unreal::UObject* tree = Sim::NewObject(Sim::FindClass(L"/Script/UMG.WidgetTree"), user);
    Sim::SetObjectReference(user, L"WidgetTree", tree);
    Sim::SetObjectReference(tree, L"RootWidget", root);
    Sim::CallScriptFunction(user, L"AddToViewport");
    return user;
}
} // namespace OrvTest
