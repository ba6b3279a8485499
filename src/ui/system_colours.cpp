#include "ui/system_colours.h"

#include <QApplication>
#include <QPalette>

namespace SystemColour {

QColor toColour(std::uint32_t number)
{
    const QPalette palette = QApplication::palette();
    switch (number) {
    case WindowBackground:
        return palette.color(QPalette::Base);
    case WindowText:
        return palette.color(QPalette::Text);
    case ButtonFace:
        return palette.color(QPalette::Button);
    case ButtonText:
        return palette.color(QPalette::ButtonText);
    case ToolTipText:
        return palette.color(QPalette::ToolTipText);
    case ToolTipBackground:
        return palette.color(QPalette::ToolTipBase);
    default:
        return {};
    }
}

std::uint32_t decidePageColour(int platform, bool themeActive)
{
    if (platform == 2 && themeActive)
        return WindowBackground;
    return ButtonFace;
}

} // namespace SystemColour
