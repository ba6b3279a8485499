// Page colours and tool tips.
#include "ui/window_look.h"

#include "ui/system_colours.h"
#include "ui/widget_walk.h"
#include "ui/window_controls.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QTimer>

namespace {

// Inside a frame the frame already shows the page colour, as the style
// draws it (often a shade off the plain colour): a control that filled
// itself there would stand out as a patch.
bool insideFrame(const QWidget* widget)
{
    for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (qobject_cast<const QGroupBox*>(up))
            return true;
    }
    return false;
}

void paintBackground(QWidget* widget, const QColor& background, const QColor* text, bool fill)
{
    // Buttons (check boxes among them) fill with their own background role.
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(widget->backgroundRole(), background);
    if (text) {
        palette.setColor(QPalette::WindowText, *text);
        palette.setColor(widget->foregroundRole(), *text);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(fill);
}

} // namespace

WindowLook::WindowLook(QWidget* surface) : m_surface(surface)
{
    decidePageColour();
}

void WindowLook::decidePageColour()
{
    m_pageColour = SystemColour::decidePageColour(2, true);
}

const QStringList& WindowLook::toolTipTexts()
{
    static const QStringList texts{
        QStringLiteral("Check For Mail As Configured"),
        QStringLiteral("Mark New Mail Items As -Seen-"),
        QStringLiteral("Add New Username / (Password) / Server Name (Entered In TextBoxes)"),
        QStringLiteral("Delete Selected User (Disregards CheckBox)"),
        QStringLiteral("Permanently Delete All Mail Items w/CheckBox Ckecked From The Server"),
        QStringLiteral("Off- Timed Re-Check For Mail (dbl-click on/off)"),
        QStringLiteral("Clear Mail Window"),
        QStringLiteral("App Messages & Pop3 Server Replies"),
        QStringLiteral(
            "Type Or Paste Printable Text Secret, Then Press -Enter- Key To Store Secret"),
        QStringLiteral("Restore The Original, Default Settings For This Page"),
        QStringLiteral("To Require A Password To Run Quorvamel, Type Password In Box And Press "
                       "-Enter- Key"),
        QStringLiteral("Click To Stop Alarm Sound"),
        QStringLiteral(
            "Show/Hide Log Messages Box (Right-Click To Split/Full Window Messages Box)"),
    };
    return texts;
}

void WindowLook::setRecheckIndicator(QLineEdit* indicator, const QTimer* recheckTimer)
{
    m_indicator = indicator;
    m_recheckTimer = recheckTimer;
}

void WindowLook::applyToolTips()
{
    const bool off = m_toolTipsOff;
    for (const ToolTipTarget& target : m_tipTargets)
        target.control->setToolTip(off ? QString() : toolTipTexts().at(target.tip - 1));
    for (const OwnToolTip& tip : m_ownTips)
        tip.control->setToolTip(off ? QString() : tip.text);
    QString indicatorTip;
    if (!off && m_recheckTimer->isActive())
        indicatorTip = QStringLiteral("On - Minutes Until Next Timed Re-Check For Mail - "
                                      "Interval Set = %1 (dbl-click on/off)")
                           .arg(m_recheckIntervalMinutes);
    else if (!off)
        indicatorTip = QStringLiteral("Off - Timed Re-Check For Mail (dbl-click on/off)");
    m_indicator->setToolTip(indicatorTip);
}

void WindowLook::applyPageColours()
{
    const QColor background = SystemColour::toColour(m_pageColour);
    const QColor text = SystemColour::toColour(m_pageColour == SystemColour::WindowBackground
                                                   ? SystemColour::WindowText
                                                   : SystemColour::ButtonText);
    for (QLabel* label : descendantsOfType<QLabel>(m_surface))
        paintBackground(label, background, &text, !insideFrame(label));
    for (QGroupBox* frame : descendantsOfType<QGroupBox>(m_surface))
        paintBackground(frame, background, nullptr, true);
    for (QCheckBox* box : descendantsOfType<QCheckBox>(m_surface))
        paintBackground(box, background, &text, !insideFrame(box));
    for (QFrame* box : descendantsOfType<QFrame>(m_surface)) {
        if (box->property(PictureBoxProperty).toBool())
            paintBackground(box, background, nullptr, !insideFrame(box));
    }
}
