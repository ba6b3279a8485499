#pragma once

#include "runs/account_secrets.h"
#include "runs/check_run.h"
#include "runs/delete_run.h"
#include "runs/header_cache.h"
#include "runs/run_log.h"
#include "runs/run_state.h"
#include "runs/session_driver.h"

#include <QObject>
#include <QString>
#include <optional>

class AccountListModel;
class CertificateTrust;
class Connectivity;
class MailListModel;
class Prompter;
class TickSource;
struct RunSettings;

// One run at a time, behind both faces of the program: who holds the
// process (RunState), the check and the delete run, the one session
// driver they share, and the log. It owns no window: message boxes go
// through the Prompter and everything the window shows leaves through
// signals.
class RunCoordinator : public QObject, private SessionClient
{
    Q_OBJECT
public:
    RunCoordinator(RunSettings& settings, AccountListModel& accounts, MailListModel& mails,
                   Prompter& prompter, Connectivity& connectivity, TickSource& ticks,
                   QObject* parent = nullptr);
    ~RunCoordinator() override;

    RunState state() const { return m_state; }
    // A run, or a user's action, holds the process.
    bool isBusy() const { return m_state != RunState::Idle; }
    // A check or delete run is under way.
    bool isRunActive() const
    {
        return m_state == RunState::Checking || m_state == RunState::Deleting;
    }
    bool cancelRequested() const { return m_cancelRequested; }
    bool isClosing() const { return m_closing; }

    // A user's action takes the process now; the run it starts follows.
    void reserve();
    // A check run: takes the process unless the caller reserved it. Refused
    // with a halt while a delete run is under way.
    void startCheck();
    // The click on the delete button: asks for confirmation and starts the
    // delete run; true once it did (runEnded follows when that run ends),
    // false when refused (the process is held) or answered without a run.
    bool startDeleteFromUser();
    // A delete run of the marked rows, without asking. Refused with a halt
    // while a check run is under way.
    void startDelete();
    // The cancel button: the run stops at its next step.
    void requestCancel() { m_cancelRequested = true; }
    // The window waits for the run to end before it closes: the run is
    // canceled and shows no more message boxes.
    void beginClosing();
    void closeConnection() { m_driver.close(); }
    void watchdogTick() { m_driver.watchdogTick(); }

    RunLog& log() { return m_log; }
    const RunLog& log() const { return m_log; }
    const CheckRun& checkRun() const { return m_check; }
    const DeleteRun& deleteRun() const { return m_delete; }
    const SessionContext& session() const { return m_driver.context(); }
    SessionDriver& sessionDriver() { return m_driver; }
    // The certificates the user trusts beyond the system's; none when not set.
    void setCertificateTrust(CertificateTrust* trust) { m_driver.setCertificateTrust(trust); }
    // Header blocks of messages fetched before, by unique id; none when not set.
    void setHeaderCache(HeaderCache* cache) { m_headerCache = cache; }
    // Where each account's secret comes from; each may be null: without a
    // book every account takes its users file password, without a store or
    // an OAuth2 access the accounts that need one are skipped with a line
    // in the log.
    void setSignInBook(const SignInBook* book) { m_secrets.setSignInBook(book); }
    void setSecretStore(SecretStore* store) { m_secrets.setSecretStore(store); }
    void setOAuthAccess(OAuthAccess* oauth) { m_secrets.setOAuthAccess(oauth); }

signals:
    void stateChanged(RunState state);
    // The connection failed: the log takes the window's colours again.
    void linkFailed();
    // A check run has started (after the snapshot and the list clear).
    void checkRunStarted();
    // The stored date style was below 1 and became 1.
    void dateStyleReset();
    // The run's buttons and tabs go back to their idle state.
    void controlsRestored();
    // A user-started delete takes the controls.
    void controlsBusy();
    void deleteRunCompleted(int deletedCount);
    void deleteRunHalted(const QString& haltMessage);
    // The summary was written; sound and alarm are due here.
    void checkRunCompleted(int newMailCount, int totalItems);
    void checkRunHalted(const QString& haltMessage);
    // Headers are being fetched: how far the check has come (throttled).
    void checkProgress(const CheckProgress& progress);
    // The check run is over: any progress shown goes away.
    void checkProgressEnded();
    // The process is free again: the run is over.
    void runEnded();

private:
    // SessionClient
    SessionOptions sessionOptions() const override;
    void extractHeaders(const QByteArray& message, qint32 messageNumber) override;
    void addNoMailRow() override { m_check.addNoMailRow(); }
    void clearMailList() override;
    std::optional<QByteArray> cachedHeaderBlock(const QByteArray& uid) override;
    void storeHeaderBlock(const QByteArray& uid, const QByteArray& block) override;
    void keepOnlyHeaderBlocks(const QSet<QByteArray>& uids) override;
    // The account of the session, as the header cache knows it.
    MailboxKey mailboxKey() const;
    bool deleteAccepted() override { return m_delete.deleteAccepted(); }
    void settleSession(bool quitAnswered) override { m_delete.settle(quitAnswered); }

    void setState(RunState state);
    bool isOnline();
    // Online (or dialled up) first, then the connection of the account.
    void connectAccount(const QString& server, qint32 port);
    // The secret of the account about to be visited, into the session; false
    // (with a line in the log) when there is none, and the next account
    // follows.
    bool fetchSecret();
    void sessionClosed();
    void postContinuation();
    void continueAfterSession();
    // The run ends: its account and cancel are forgotten, the controls come
    // back and the process is free.
    void release();
    void showHaltBox(const QString& haltMessage);

    // The check run's flow.
    void checkStep();
    void beginCheck();
    void performCheck(const RunStep& step);
    void completeCheck();
    void haltCheck(RunHalt why, const QString& userName = {});

    // The delete run's flow.
    void deleteStep();
    void beginDelete();
    void performDelete(const RunStep& step);
    void completeDelete();
    void haltDelete(RunHalt why);

    RunSettings& m_settings;
    MailListModel& m_mails;
    Prompter& m_prompter;
    Connectivity& m_connectivity;
    RunLog m_log;
    AccountSecrets m_secrets; // before the runs that hold it
    // What the account just visited signed in with, while it is visited
    // again after its certificate was trusted.
    std::optional<AccountSecret> m_secretForRetry;
    SessionDriver m_driver;
    CheckRun m_check;
    DeleteRun m_delete;
    RunState m_state = RunState::Idle;
    bool m_cancelRequested = false;
    bool m_closing = false;
    bool m_continuationQueued = false;
    ProgressThrottle m_progressThrottle;
    HeaderCache* m_headerCache = nullptr;
};
