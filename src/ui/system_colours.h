#pragma once

#include <QColor>
#include <cstdint>

// The system colour numbers the window logic speaks of, and the palette
// colours that stand for them.
namespace SystemColour {
constexpr std::uint32_t WindowBackground = 0x80000005;
constexpr std::uint32_t WindowText = 0x80000008;
constexpr std::uint32_t ButtonFace = 0x8000000F;
constexpr std::uint32_t ButtonText = 0x80000012;
constexpr std::uint32_t ToolTipText = 0x80000017;
constexpr std::uint32_t ToolTipBackground = 0x80000018;

// The application palette's colour for a system colour number; an unknown
// number gives an invalid colour.
QColor toColour(std::uint32_t number);

// The page colour: window background when the platform is the NT family
// (2) and its visual theme is active, button face otherwise.
std::uint32_t decidePageColour(int platform, bool themeActive);
} // namespace SystemColour
