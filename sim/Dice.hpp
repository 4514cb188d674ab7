// The scenarios' randomness: a seed plays the same game on every standard library.
#pragma once

#include <cstdint>
#include <random>

namespace OrvSim
{
// Draws from the generator's raw output only: the standard distributions differ between
// standard libraries, and a seed must play the same game everywhere.
class Dice
{
  public:
    explicit Dice(std::uint64_t seed) : engine_(seed) {}
    double Between(double low, double high) { return low + (high - low) * static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
    int Below(int count) { return static_cast<int>(engine_() % static_cast<std::uint64_t>(count)); }

  private:
    std::mt19937_64 engine_;
};
} // namespace OrvSim
