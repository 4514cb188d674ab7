// FRotator as the loader hands it to a mod: pitch, yaw and roll in degrees, taken and returned
// as double. The engine keeps 32-bit floats below 5.0 and 64-bit reals from 5.0 on.
#pragma once

#include <Unreal/UnrealCoreStructs.hpp>

namespace RC::Unreal
{
class UE4SS_API FRotator
{
  public:
    FRotator() = default;
    FRotator(double pitch, double yaw, double roll) : Pitch(pitch), Yaw(yaw), Roll(roll) {}

    double GetPitch() const { return Pitch; }
    double GetYaw() const { return Yaw; }
    double GetRoll() const { return Roll; }
    void SetPitch(double value) { Pitch = value; }
    void SetYaw(double value) { Yaw = value; }
    void SetRoll(double value) { Roll = value; }

  private:
    double Pitch = 0.0;
    double Yaw = 0.0;
    double Roll = 0.0;
};

// A placement: where, turned how, scaled how.
class UE4SS_API FTransform
{
  public:
    FTransform() = default;
    FTransform(const FRotator& rotation, const FVector& translation, const FVector& scale = FVector(1.0, 1.0, 1.0))
        : Rotation(rotation), Translation(translation), Scale3D(scale)
    {
    }

    const FRotator& GetRotation() const { return Rotation; }
    const FVector& GetTranslation() const { return Translation; }
    const FVector& GetScale3D() const { return Scale3D; }

  private:
    FRotator Rotation;
    FVector Translation;
    FVector Scale3D{1.0, 1.0, 1.0};
};
} // namespace RC::Unreal
