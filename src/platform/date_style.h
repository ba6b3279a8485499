#pragma once

#include <cstdint>
#include <optional>

// How the "Date Sent" column shows a message's date. The settings file
// stores it as a 32-bit number; a number with no name here is kept as it
// is (an enum with a fixed underlying type holds any value of it), so a
// file written by a later version round-trips unchanged.
enum class DateStyle : std::int32_t {
    AsSent = 1,
    RegionalShort = 2,
    RegionalLong = 3,
    WithDayName = 4,
    WithoutDayName = 5,
};

// A style below AsSent is read as AsSent: at load, when the chooser shows
// it and when a check run starts.
constexpr bool isBelowAsSent(DateStyle style)
{
    return style < DateStyle::AsSent;
}

// The chooser lists the styles in order, AsSent at index 0.
constexpr DateStyle dateStyleAtChooserIndex(int index)
{
    return DateStyle(index + 1);
}

// The chooser entry showing the style, none when the chooser has no entry
// for it (below AsSent, or beyond its last entry).
constexpr std::optional<int> dateStyleChooserIndex(DateStyle style, int entries)
{
    const auto value = static_cast<std::int32_t>(style);
    if (value < 1 || value > entries)
        return std::nullopt;
    return int(value - 1);
}
