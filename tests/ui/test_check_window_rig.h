#pragma once

// The main window joined to the runs, with a scripted prompter, scripted
// connectivity and short fixed waits, for tests that click through runs.
#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "runs/recheck_clock.h"
#include "runs/run_coordinator.h"
#include "runs/run_rig.h"
#include "ui/mainwindow.h"
#include "ui/recheck_controls.h"
#include "ui/window_wiring.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTimer>

struct CheckWindowRig
{
    RunSettings settings;
    ScriptedPrompter prompter;
    ScriptedConnectivity connectivity;
    SteadyTickSource ticks;
    MainWindow window;
    WindowWiring wiring{window, settings, prompter, connectivity, ticks};
    int beeps = 0;

    CheckWindowRig()
    {
        settings.serverTimeout = std::chrono::seconds(5);
        wiring.runs().sessionDriver().waits().closeMs = 5;
        wiring.runs().sessionDriver().waits().reconnectPauseMs = 5;
        wiring.clock().setBeeper([this] { ++beeps; });
    }

    RunCoordinator& runs() { return wiring.runs(); }
    MailListModel& mails() { return *window.mailListModel(); }
    AccountListModel& accounts() { return *window.accountListModel(); }

    template <class T = QWidget> T* find(const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }

    void addAccount(const QString& user, const QString& password, quint16 port)
    {
        AccountRow row;
        row.key = {accounts().rowCount() + 1, password};
        row.displayName = QStringLiteral("Name ") + user;
        row.userName = user;
        row.serverName = QStringLiteral("127.0.0.1");
        row.port = QString::number(port);
        accounts().appendAccountRow(row);
    }

    // Clicks "Check Mail"; true when the run has ended in time.
    bool clickCheckMail(int timeoutMs = 30000)
    {
        QSignalSpy ended(&runs(), &RunCoordinator::runEnded);
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
        return !ended.isEmpty() || ended.wait(timeoutMs);
    }

    // Which run controls are usable: "check" Command1 enabled, "seen"
    // Command2 shown and enabled, "cancel" Command7 shown, "delete" Command5
    // enabled, "tabs" the tab strip enabled; then the selected tab.
    QString controlState()
    {
        QStringList on;
        if (button("Command1")->isEnabled())
            on << "check";
        if (!button("Command2")->isHidden() && button("Command2")->isEnabled())
            on << "seen";
        if (!button("Command7")->isHidden())
            on << "cancel";
        if (button("Command5")->isEnabled())
            on << "delete";
        if (find<QTabBar>("TabStrip1")->isEnabled())
            on << "tabs";
        on << QStringLiteral("tab%1").arg(window.currentTab() + 1);
        return on.join(QLatin1Char(' '));
    }

    // The log box's lines after the first (the run's date and time).
    QStringList logBoxLines() const
    {
        QStringList lines = window.logText().split(QLatin1Char('\n'));
        lines.removeFirst();
        return lines;
    }
};
