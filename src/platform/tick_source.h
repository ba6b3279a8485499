#pragma once

#include <cstdint>

// Milliseconds of a steady clock as an unsigned 32-bit count, so the
// wrap-around rules of the tick counter hold. Tests may inject their own.
class TickSource
{
public:
    virtual ~TickSource() = default;
    virtual std::uint32_t tickCount() const = 0;
};

// The steady clock of the machine.
class SteadyTickSource : public TickSource
{
public:
    std::uint32_t tickCount() const override;
};
