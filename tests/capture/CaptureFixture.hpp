// What the capture tests share: the mod with its capture steps reachable, a player whose session
// has made its capture, the engine clock moved by exact frames, and reading back what the mod
// wrote into the capture component (reals of either width, bits of either bitfield size, the
// show flags and hidden actors it sent), counting the engine calls it made, and how the
// screen shows the map's picture.
#pragma once

#include "mod/ModFixture.hpp"

#include <Sim/Calls.hpp>
#include <Sim/Scene.hpp>
#include <Sim/Screen.hpp>
#include <Sim/Values.hpp>
#include <Sim/Widgets.hpp>
#include <Unreal/CoreUObject/UObject/Class.hpp>
#include <Unreal/CoreUObject/UObject/UnrealType.hpp>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace OrvTest
{
using RC::Unreal::FName;
using RC::Unreal::FProperty;
using RC::Unreal::UFunction;

class CaptureMod : public TestMod
{
  public:
    using LiveOrvantaMod::ApplyBrightness;
    using LiveOrvantaMod::ApplyShowFlags;
    using LiveOrvantaMod::ConfigureCaptureComponent;
    using LiveOrvantaMod::CreateCapture;
    using LiveOrvantaMod::DetectIndoors;
    using LiveOrvantaMod::ExposureValue;
    using LiveOrvantaMod::HidePlayer;
    using LiveOrvantaMod::MovementTest;
    using LiveOrvantaMod::RefreshBrightness;
    using LiveOrvantaMod::ResetIndoorDetection;
    using LiveOrvantaMod::ResizeRenderTarget;
    using LiveOrvantaMod::StepZoom;
    using LiveOrvantaMod::ToggleFrameShape;
    using LiveOrvantaMod::TraceRoof;
    using LiveOrvantaMod::UpdateCamera;
    using LiveOrvantaMod::workingBrightnessTrim;
    using LiveOrvantaMod::workingCaptureFPS;
    using LiveOrvantaMod::workingMarkerFPS;
    using LiveOrvantaMod::workingCircular;
    using LiveOrvantaMod::workingRenderScale;
    using LiveOrvantaMod::workingSize;
    using LiveOrvantaMod::workingZoom;
};

// The exact instant of one 60 Hz frame, to the counter's 100 ns.
inline constexpr Orv::Nanoseconds kFrameNs = 16'666'700;

inline FProperty* PropertyNamed(const RC::Unreal::UStruct* owner, const wchar_t* name)
{
    return owner != nullptr ? const_cast<RC::Unreal::UStruct*>(owner)->FindProperty(FName(name)) : nullptr;
}

inline void* FieldAddress(UObject* object, const wchar_t* name)
{
    FProperty* property = PropertyNamed(object->GetClassPrivate(), name);
    return property != nullptr ? property->ContainerPtrToValuePtr<void>(object) : nullptr;
}

// A float or double value, whichever the property is.
inline double RealAt(FProperty* property, const void* container)
{
    const void* value = property->ContainerPtrToValuePtr<void>(const_cast<void*>(container));
    if (dynamic_cast<RC::Unreal::FDoubleProperty*>(property) != nullptr)
    {
        return *static_cast<const double*>(value);
    }
    return *static_cast<const float*>(value);
}

inline double RealField(UObject* object, const wchar_t* name)
{
    return RealAt(PropertyNamed(object->GetClassPrivate(), name), object);
}

inline bool BoolAt(FProperty* property, const void* container)
{
    auto* flag = static_cast<RC::Unreal::FBoolProperty*>(property);
    return flag->GetPropertyValue(property->ContainerPtrToValuePtr<void>(const_cast<void*>(container)));
}

inline bool BoolField(UObject* object, const wchar_t* name)
{
    return BoolAt(PropertyNamed(object->GetClassPrivate(), name), object);
}

template <typename T> T ValueField(UObject* object, const wchar_t* name)
{
    return *static_cast<T*>(FieldAddress(object, name));
}

// A value in a call's parameters, by the function's layout.
template <typename T> T& ValueAt(UFunction* function, void* parms, const wchar_t* name)
{
    return *PropertyNamed(function, name)->ContainerPtrToValuePtr<T>(parms);
}

// A member of a struct property of the object.
inline std::pair<FProperty*, void*> StructMember(UObject* object, const wchar_t* structName, const wchar_t* member)
{
    auto* property = static_cast<RC::Unreal::FStructProperty*>(PropertyNamed(object->GetClassPrivate(), structName));
    return {PropertyNamed(property->GetStruct(), member), property->ContainerPtrToValuePtr<void>(object)};
}

// The post-process exposure bias the capture renders with.
inline double ExposureBias(UObject* component)
{
    auto [bias, settings] = StructMember(component, L"PostProcessSettings", L"AutoExposureBias");
    return RealAt(bias, settings);
}

struct Vector
{
    double x = 0, y = 0, z = 0;
};

// An engine vector or rotator value (X, Y, Z or Pitch, Yaw, Roll) of either width.
inline Vector VectorAt(FProperty* structProperty, const void* container, bool rotator = false)
{
    auto* layout = static_cast<RC::Unreal::FStructProperty*>(structProperty)->GetStruct();
    const void* value = structProperty->ContainerPtrToValuePtr<void>(const_cast<void*>(container));
    const wchar_t* names[3] = {L"X", L"Y", L"Z"};
    if (rotator)
    {
        names[0] = L"Pitch";
        names[1] = L"Yaw";
        names[2] = L"Roll";
    }
    return {RealAt(PropertyNamed(layout, names[0]), value), RealAt(PropertyNamed(layout, names[1]), value),
            RealAt(PropertyNamed(layout, names[2]), value)};
}

// The show flags the component was last given, in the order sent.
inline std::vector<std::pair<std::wstring, bool>> ShowFlags(UObject* component)
{
    auto* array = static_cast<RC::Unreal::FArrayProperty*>(PropertyNamed(component->GetClassPrivate(), L"ShowFlagSettings"));
    void* value = array->ContainerPtrToValuePtr<void>(component);
    auto* element = static_cast<RC::Unreal::FStructProperty*>(array->GetInner());
    std::vector<std::pair<std::wstring, bool>> flags;
    for (RC::Unreal::int32 i = 0; i < Sim::ArrayNum(value); ++i)
    {
        void* setting = Sim::ArrayElement(array, value, i);
        FProperty* name = PropertyNamed(element->GetStruct(), L"ShowFlagName");
        FProperty* enabled = PropertyNamed(element->GetStruct(), L"Enabled");
        flags.emplace_back(Sim::ReadString(name->ContainerPtrToValuePtr<void>(setting)), BoolAt(enabled, setting));
    }
    return flags;
}

// The actors whose primitives the component hides, each once, in the order first hidden.
inline std::vector<UObject*> HiddenActors(UObject* component)
{
    auto* array = static_cast<RC::Unreal::FArrayProperty*>(PropertyNamed(component->GetClassPrivate(), L"HiddenComponents"));
    auto* entry = static_cast<RC::Unreal::FObjectPropertyBase*>(array->GetInner());
    void* value = array->ContainerPtrToValuePtr<void>(component);
    std::vector<UObject*> actors;
    for (RC::Unreal::int32 i = 0; i < Sim::ArrayNum(value); ++i)
    {
        // Weak pointers: one to a component gone since holds nothing.
        UObject* hidden = entry->GetObjectPropertyValue(Sim::ArrayElement(array, value, i));
        UObject* owner = hidden != nullptr ? hidden->GetOuter() : nullptr;
        if (owner != nullptr && std::find(actors.begin(), actors.end(), owner) == actors.end())
        {
            actors.push_back(owner);
        }
    }
    return actors;
}

// Counts the calls of one script function for as long as it lives, and keeps each call's
// parameters for the test to read.
class CallCounter
{
  public:
    explicit CallCounter(const wchar_t* path) : function_(static_cast<UFunction*>(Sim::FindObjectByPath(path)))
    {
        if (function_ != nullptr)
        {
            id_ = function_->RegisterPreHook([this](RC::Unreal::UnrealScriptFunctionCallableContext& context, void*) {
                ++count_;
                if (observe_)
                {
                    observe_(context.TheStack.Locals());
                }
            });
        }
    }
    ~CallCounter()
    {
        if (function_ != nullptr && Sim::HoldsObject(function_))
        {
            function_->UnregisterHook(id_);
        }
    }
    CallCounter(const CallCounter&) = delete;
    CallCounter& operator=(const CallCounter&) = delete;

    int Count() const { return count_; }
    UFunction* Function() const { return function_; }
    // Runs for each call with the call's parameters.
    void Observe(std::function<void(void* parms)> observe) { observe_ = std::move(observe); }

  private:
    UFunction* function_ = nullptr;
    RC::Unreal::CallbackId id_ = 0;
    int count_ = 0;
    std::function<void(void*)> observe_;
};

// A player in a world with its session and capture made by the mod's first frame.
class CaptureFixture : public ModFixture
{
  protected:
    void SetUp() override
    {
        ModFixture::SetUp();
        // Away from 0, which as a deadline is always due.
        Sim::AdvanceClock(7 * Orv::kSecond);
    }

    void StartCaptureMod()
    {
        auto mod = std::make_unique<CaptureMod>();
        capture_ = mod.get();
        mod_ = std::move(mod);
        mod_->on_unreal_init();
        mod_->StartOnGameThread();
    }

    // The player at the placement, the mod started, and one frame for the session and its
    // capture. Settings changed before this stand, whatever state.ini held; prepare may set the
    // mod's working copies as the edit mode would, before that frame.
    void StartSession(const Sim::Placement& at = {}, const std::function<void(CaptureMod&)>& prepare = {},
                      std::wstring_view map = L"Valley")
    {
        world_ = Sim::CreateWorld(map);
        gameInstance_ = Sim::CreateGameInstance(world_);
        auto local = Sim::EnterLocalPlayer(world_, at);
        controller_ = local.controller;
        pawn_ = local.pawn;
        const Orv::ModSettings wanted = Orv::Settings();
        const Orv::HudSettings wantedHud = Orv::Hud();
        StartCaptureMod();
        Orv::Settings() = wanted;
        Orv::Hud() = wantedHud;
        if (prepare)
        {
            prepare(*capture_);
        }
        Frame();
    }

    // One frame of the engine, the clock moved by exactly its length first.
    static void Frame(Orv::Nanoseconds length = kFrameNs)
    {
        Sim::AdvanceClock(length);
        Sim::TickEngine(0.0f);
    }

    static void FramesFor(Orv::Nanoseconds span, Orv::Nanoseconds length = kFrameNs)
    {
        for (Orv::Nanoseconds done = 0; done < span; done += length)
        {
            Frame(length);
        }
    }

    UObject* CaptureActor() const { return Session().capture.captureActor; }
    UObject* Component() const { return Session().capture.captureComponent; }
    UObject* RenderTarget() const { return Session().capture.renderTarget; }

    Vector CaptureLocation() const { return Located(Sim::ActorPlacement(CaptureActor())); }
    double CaptureYaw() const { return Sim::ActorPlacement(CaptureActor()).yaw; }
    static Vector Located(const Sim::Placement& at) { return {at.x, at.y, at.z}; }

    void MovePawn(double x, double y, double z, double yaw = 0.0) const
    {
        Sim::SetActorPlacement(pawn_, {.x = x, .y = y, .z = z, .yaw = yaw});
    }

    // The capture's height over the pawn as the engine last placed it for a picture.
    static double CaptureHeight() { return Sim::Observations().lastCaptureHeight; }

    // The screen drawn now, and the map's picture on it measured against the render target.
    Sim::PictureOnScreen MapPictureOnScreen() const
    {
        Sim::RenderTargetImage screen;
        Sim::RenderScreen(screen);
        return Sim::MeasurePictureOnScreen(screen, Session().widget.mapImage);
    }

    CaptureMod* capture_ = nullptr;
    UWorld* world_ = nullptr;
    UObject* gameInstance_ = nullptr;
    UObject* controller_ = nullptr;
    UObject* pawn_ = nullptr;
};
} // namespace OrvTest
