// What a capture sees and what the game's queries answer, for scenarios and tests: the pixels
// a render target holds, the time of day, and the actors' attachments, velocities and
// control rotations that the capture camera reads.
#pragma once

#include <Sim/Engine.hpp>

#include <vector>

namespace Sim
{
struct RenderTargetImage
{
    int32 width = 0;
    int32 height = 0;
    std::vector<uint8> rgba; // rows from the top, four bytes a pixel
};
// False when the object is no render target the engine made.
UE4SS_API bool ReadRenderTarget(const UObject* renderTarget, RenderTargetImage& out);

// Night falls or day breaks in the world now: its time subsystem notifies the game
// (OnDayOrNightChangedDynamic) when the state changes.
UE4SS_API void SetNight(UWorld* world, bool night);
UE4SS_API bool IsNight(UWorld* world);

UE4SS_API void AttachActor(UObject* child, UObject* parent);
UE4SS_API void SetActorVelocity(UObject* actor, double x, double y, double z);
UE4SS_API void SetControlRotation(UObject* controller, double pitch, double yaw, double roll);
} // namespace Sim
