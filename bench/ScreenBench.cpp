// What drawing the screen costs at 1920 × 1080: a HUD of 480 widgets, most of them collapsed
// as a minimap's markers and edit controls are, over the world behind it.
#include <Sim/Engine.hpp>
#include <Sim/Game.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Types.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using namespace RC::Unreal;

UObject* Make(const wchar_t* name) { return Sim::NewObject(Sim::FindClass(std::wstring(L"/Script/UMG.") + name), nullptr); }

void* Field(UObject* object, const wchar_t* name)
{
    return Sim::FindPropertyUncounted(object->GetClassPrivate(), name)->ContainerPtrToValuePtr<void>(object);
}

UObject* AddChild(UObject* panel, const wchar_t* function, UObject* child)
{
    UFunction* f = Sim::FindFunctionByPath(panel->GetClassPrivate()->GetPathName() + L":" + function);
    if (f == nullptr)
    {
        f = Sim::FindFunctionByPath(std::wstring(L"/Script/UMG.ContentWidget:") + function);
    }
    std::vector<uint8> parms(f->GetParmsSize() + 16u, 0);
    std::memcpy(parms.data() + Sim::FindPropertyUncounted(f, L"Content")->GetOffset_Internal(), &child, sizeof(child));
    panel->ProcessEvent(f, parms.data());
    UObject* slot = nullptr;
    std::memcpy(&slot, parms.data() + Sim::FindPropertyUncounted(f, L"ReturnValue")->GetOffset_Internal(), sizeof(slot));
    return slot;
}

void Place(UObject* slot, float x, float y, float w, float h)
{
    auto* layout = static_cast<FStructProperty*>(Sim::FindPropertyUncounted(slot->GetClassPrivate(), L"LayoutData"));
    auto* offsets = static_cast<FStructProperty*>(Sim::FindPropertyUncounted(layout->GetStruct(), L"Offsets"));
    const float margin[4] = {x, y, w, h};
    std::memcpy(offsets->ContainerPtrToValuePtr<void>(layout->ContainerPtrToValuePtr<void>(slot)), margin, sizeof(margin));
}

void BM_ScreenWithHud(benchmark::State& state)
{
    Sim::ResetEngine({.VersionMajor = 5, .VersionMinor = 1});
    Sim::DefineDefaultGame();
    UObject* root = Make(L"CanvasPanel");
    UObject* hud = Make(L"CanvasPanel");
    Place(AddChild(root, L"AddChildToCanvas", hud), 1500, 20, 400, 500);
    for (int i = 0; i < 480; ++i)
    {
        UObject* frame = Make(L"Border");
        UObject* label = Make(L"TextBlock");
        Sim::WriteText(Field(label, L"Text"), L"Zoom " + std::to_wstring(i));
        AddChild(frame, L"SetContent", label);
        Place(AddChild(hud, L"AddChildToCanvas", frame), static_cast<float>(i % 4) * 100, static_cast<float>(i / 4 % 20) * 25, 96, 22);
        // One in twenty shown, as a HUD outside its edit mode shows only a few.
        *static_cast<uint8*>(Field(frame, L"Visibility")) = i % 20 == 0 ? 0 : 1;
    }
    UObject* user = Make(L"UserWidget");
    UObject* tree = Sim::NewObject(Sim::FindClass(L"/Script/UMG.WidgetTree"), user);
    *static_cast<UObject**>(Field(user, L"WidgetTree")) = tree;
    *static_cast<UObject**>(Field(tree, L"RootWidget")) = root;
    Sim::CallScriptFunction(user, L"AddToViewport");
    Sim::RenderTargetImage image;
    for (auto _ : state)
    {
        Sim::RenderScreen(image);
        benchmark::DoNotOptimize(image.rgba.data());
    }
}
BENCHMARK(BM_ScreenWithHud)->Unit(benchmark::kMillisecond);
} // namespace
