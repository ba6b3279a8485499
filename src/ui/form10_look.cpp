// Page colours and tool tips.
#include "ui/form10.h"
#include "ui/form10_controls.h"
#include "ui/system_colours.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QTimer>

namespace {

// Which controls carry which entry of the tool-tip table (entries counted
// from 1; entry 6 belongs to no control).
const struct
{
    const char* control;
    int tip;
} ToolTipTargets[] = {
    {"Command1", 1},   {"Command2", 2}, {"Command3", 3}, {"Command4", 4},   {"Command5", 5},
    {"Command7", 7},   {"Text1", 8},    {"Text8", 9},    {"Command12", 10}, {"Command13", 10},
    {"Command14", 10}, {"Text7", 11},   {"Label17", 12}, {"Command15", 13},
};

void paintBackground(QWidget* widget, const QColor& background, const QColor* text)
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
    widget->setAutoFillBackground(true);
}

} // namespace

const QStringList& Form10::ToolTipTexts()
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

void Form10::ApplyToolTips()
{
    const bool off = m_toolTipsOff == 1;
    for (const auto& target : ToolTipTargets) {
        if (auto* control = findChild<QWidget*>(QString::fromLatin1(target.control)))
            control->setToolTip(off ? QString() : ToolTipTexts().at(target.tip - 1));
    }
    QString indicatorTip;
    if (!off && m_timer1->isActive())
        indicatorTip = QStringLiteral("On - Minutes Until Next Timed Re-Check For Mail - "
                                      "Interval Set = %1 (dbl-click on/off)")
                           .arg(m_recheckIntervalMinutes);
    else if (!off)
        indicatorTip = QStringLiteral("Off - Timed Re-Check For Mail (dbl-click on/off)");
    m_text10->setToolTip(indicatorTip);
}

void Form10::ApplyPageColours()
{
    const QColor background = SystemColour::toColour(m_pageColour);
    const QColor text = SystemColour::toColour(m_pageColour == SystemColour::WindowBackground
                                                   ? SystemColour::WindowText
                                                   : SystemColour::ButtonText);
    for (QLabel* label : m_surface->findChildren<QLabel*>())
        paintBackground(label, background, &text);
    for (QGroupBox* frame : m_surface->findChildren<QGroupBox*>())
        paintBackground(frame, background, nullptr);
    for (QCheckBox* box : m_surface->findChildren<QCheckBox*>())
        paintBackground(box, background, &text);
    for (QFrame* box : m_surface->findChildren<QFrame*>()) {
        if (box->property(PictureBoxProperty).toBool())
            paintBackground(box, background, nullptr);
    }
}
