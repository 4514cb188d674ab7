// Conversions between the mod's 64-bit vectors and the running engine's vector layout.
#include "reflection/EngineValues.hpp"

#include "reflection/Host.hpp"

#include <cstring>

namespace Orv
{
namespace
{
bool EngineUsesDoubles() { return !RC::Unreal::Version::IsBelow(5, 0); }

template <std::size_t Count> EngineReals Encode(const double (&values)[Count])
{
    static_assert(Count * sizeof(double) <= sizeof(EngineReals::bytes));
    EngineReals reals{};
    reals.size = Count * EngineRealSize();
    for (std::size_t i = 0; i < Count; ++i)
    {
        if (EngineUsesDoubles())
        {
            std::memcpy(reals.bytes + i * sizeof(double), &values[i], sizeof(double));
        }
        else
        {
            auto narrowed = static_cast<float>(values[i]);
            std::memcpy(reals.bytes + i * sizeof(float), &narrowed, sizeof(float));
        }
    }
    return reals;
}

double RealAt(const void* reals, std::size_t index)
{
    const auto* bytes = static_cast<const unsigned char*>(reals);
    if (EngineUsesDoubles())
    {
        double value = 0.0;
        std::memcpy(&value, bytes + index * sizeof(double), sizeof(double));
        return value;
    }
    float value = 0.0f;
    std::memcpy(&value, bytes + index * sizeof(float), sizeof(float));
    return static_cast<double>(value);
}
} // namespace

std::size_t EngineRealSize() { return EngineUsesDoubles() ? sizeof(double) : sizeof(float); }

EngineReals ToEngine(Vector2d value) { return Encode({value.x, value.y}); }
EngineReals ToEngine(Vector3d value) { return Encode({value.x, value.y, value.z}); }
EngineReals ToEngine(Rotator3d value) { return Encode({value.pitch, value.yaw, value.roll}); }
EngineReals ToEngine(Vector2d first, Vector2d second) { return Encode({first.x, first.y, second.x, second.y}); }

Vector3d Vector3FromEngine(const void* reals) { return {RealAt(reals, 0), RealAt(reals, 1), RealAt(reals, 2)}; }
} // namespace Orv
