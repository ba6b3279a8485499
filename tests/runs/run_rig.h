#pragma once

// The run coordinator with in-memory lists, a scripted prompter, scripted
// connectivity and short fixed waits, for tests that drive whole runs.
#include "model/account_list_model.h"
#include "model/mail_list_model.h"
#include "platform/connectivity.h"
#include "platform/tick_source.h"
#include "runs/run_coordinator.h"
#include "storage/run_settings.h"
#include "support/common_scripted_prompter.h"
#include "support/model_text.h"

#include <QQueue>
#include <QSignalSpy>
#include <memory>

// Answers the connectivity test from a queue (on line once it is empty)
// and counts the dial-ups.
class ScriptedConnectivity : public Connectivity
{
public:
    QQueue<OnlineState> answers;
    int tests = 0;
    int dialUps = 0;

    OnlineState onlineState() override
    {
        ++tests;
        return answers.isEmpty() ? OnlineState{} : answers.dequeue();
    }
    void dialUp() override { ++dialUps; }
};

struct RunRig
{
    RunSettings settings;
    AccountListModel accounts;
    MailListModel mails;
    ScriptedPrompter prompter;
    ScriptedConnectivity connectivity;
    SteadyTickSource ticks;
    std::unique_ptr<RunCoordinator> runs;

    explicit RunRig(int fixedWaitMs = 5)
    {
        settings.serverTimeout = std::chrono::seconds(5);
        runs = std::make_unique<RunCoordinator>(settings, accounts, mails, prompter, connectivity,
                                                ticks);
        runs->sessionDriver().waits().closeMs = fixedWaitMs;
        runs->sessionDriver().waits().reconnectPauseMs = fixedWaitMs;
    }

    void addAccount(const QString& user, const QString& password, const QString& server,
                    const QString& port, bool checked = false)
    {
        AccountRow row;
        row.key = {accounts.rowCount() + 1, password};
        row.displayName = QStringLiteral("Name ") + user;
        row.userName = user;
        row.serverName = server;
        row.port = port;
        row.checked = checked;
        accounts.appendAccountRow(row);
    }
    void addAccount(const QString& user, const QString& password, quint16 port)
    {
        addAccount(user, password, QStringLiteral("127.0.0.1"), QString::number(port));
    }

    // One check run as the user starts it; true when it ended in time.
    bool run(int timeoutMs = 30000)
    {
        QSignalSpy ended(runs.get(), &RunCoordinator::runEnded);
        runs->startCheck();
        return !ended.isEmpty() || ended.wait(timeoutMs);
    }

    // The log without its first line (the date and time of the run).
    QStringList logLines() const
    {
        QStringList lines = runs->log().text().split(QStringLiteral("\r\n"));
        lines.removeFirst();
        return lines;
    }

    // "user|from|subject|date|server|port|image|key" per mail-list row.
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < mails.itemCount(); ++i) {
            const MailItem& m = mails.item(i);
            out.append(QStringList{m.userName, m.from, m.subject, m.dateSent, m.server, m.port,
                                   QString::number(int(m.image)), keyText(m)}
                           .join(QLatin1Char('|')));
        }
        return out;
    }
};
