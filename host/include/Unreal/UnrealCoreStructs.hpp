// FVector and FVector2D as the loader hands them to a mod: the host's real type (double) for
// every component, whatever the engine keeps. In the engine's own memory a vector is three
// 32-bit floats below engine 5.0 (12 bytes) and three 64-bit reals from 5.0 on (24 bytes), so
// these values are converted, never copied, into engine memory.
#pragma once

#include <Unreal/Common.hpp>

namespace RC::Unreal
{
class UE4SS_API FVector
{
  public:
    FVector() = default;
    FVector(double x, double y, double z) : Components{x, y, z} {}

    double X() const { return Components[0]; }
    double Y() const { return Components[1]; }
    double Z() const { return Components[2]; }
    void SetX(double value) { Components[0] = value; }
    void SetY(double value) { Components[1] = value; }
    void SetZ(double value) { Components[2] = value; }

  private:
    double Components[3] = {0.0, 0.0, 0.0};
};

class UE4SS_API FVector2D
{
  public:
    FVector2D() = default;
    FVector2D(double x, double y) : Components{x, y} {}

    double X() const { return Components[0]; }
    double Y() const { return Components[1]; }
    void SetX(double value) { Components[0] = value; }
    void SetY(double value) { Components[1] = value; }

  private:
    double Components[2] = {0.0, 0.0};
};
} // namespace RC::Unreal
