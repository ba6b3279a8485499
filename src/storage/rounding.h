#pragma once

#include <cmath>

// Rounds to the nearest whole number; a value exactly half-way goes to the
// even neighbour (2.5 -> 2, 3.5 -> 4), as the stored values expect.
inline double roundHalfToEven(double value)
{
    const double down = std::floor(value);
    const double diff = value - down;
    if (diff < 0.5)
        return down;
    if (diff > 0.5)
        return down + 1.0;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}
