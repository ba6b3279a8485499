#include "ui/bottom_bar.h"

#include "ui/system_colours.h"
#include "ui/window_controls.h"

#include <QLineEdit>
#include <QPushButton>

BottomBar::BottomBar(QWidget* surface, double rowTop, double rowHeight)
{
    auto bottom = [rowTop, rowHeight](double left, double width) {
        return TwipsRect{left, rowTop, width, rowHeight};
    };
    m_recheckIndicator =
        makeControl<QLineEdit>(surface, QStringLiteral("Text10"), bottom(210, 570));
    m_recheckIndicator->setReadOnly(true);
    m_recheckIndicator->setAlignment(Qt::AlignCenter);
    m_recheckIndicator->setFocusPolicy(Qt::NoFocus);
    m_recheckIndicator->setAccessibleName(QStringLiteral("Timed Re-Check"));
    QPalette indicator = m_recheckIndicator->palette();
    indicator.setColor(QPalette::Base, SystemColour::toColour(SystemColour::ButtonFace));
    m_recheckIndicator->setPalette(indicator);

    m_checkMail = makeButton(surface, QStringLiteral("Command1"), QStringLiteral("&Check Mail"),
                             bottom(855, 1035));
    m_seen =
        makeButton(surface, QStringLiteral("Command2"), QStringLiteral("&Seen"), bottom(1995, 600));
    m_cancel = makeButton(surface, QStringLiteral("Command7"), QStringLiteral("Ca&ncel"),
                          bottom(1935, 720));
    m_cancel->hide();
    m_deleteMail = makeButton(surface, QStringLiteral("Command5"), QStringLiteral("&Delete Mail"),
                              bottom(2700, 1035));
    m_deleteMail->setEnabled(false);
    m_menu =
        makeButton(surface, QStringLiteral("Command8"), QStringLiteral("&Menu"), bottom(3810, 645));
    m_log =
        makeButton(surface, QStringLiteral("Command15"), QStringLiteral("&Log"), bottom(4530, 525));
    // Screen readers announce the caption without its mnemonic mark.
    for (QPushButton* button : {m_checkMail, m_seen, m_cancel, m_deleteMail, m_menu, m_log})
        button->setAccessibleName(QString(button->text()).remove(QLatin1Char('&')));
}

QList<QWidget*> BottomBar::controls() const
{
    return {m_recheckIndicator, m_checkMail, m_seen, m_deleteMail, m_cancel, m_menu, m_log};
}

void BottomBar::showRunBusy(bool busy, bool deleteEnabled)
{
    m_checkMail->setEnabled(!busy);
    m_seen->setVisible(!busy);
    m_cancel->setVisible(busy);
    m_deleteMail->setEnabled(!busy && deleteEnabled);
}

void BottomBar::showTab(bool mailTab, bool runBusy, bool deleteEnabled)
{
    if (mailTab) {
        if (!runBusy) {
            m_seen->setEnabled(true);
            if (deleteEnabled)
                m_deleteMail->setEnabled(true);
        }
    } else {
        m_seen->setEnabled(false);
        m_deleteMail->setEnabled(false);
    }
}
