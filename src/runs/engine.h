#pragma once

#include "platform/date_style.h"
#include "pop3/snapshot_matcher.h"
#include "runs/delete_plan.h"
#include "runs/run_log.h"
#include "runs/run_texts.h"
#include "runs/session_driver.h"

#include <QObject>
#include <QSet>
#include <QSslCertificate>
#include <QString>
#include <QStringList>

class AccountListModel;
class CertificateTrust;
class Connectivity;
struct MailHeaders;
class MailListModel;
class Prompter;
class TickSource;
struct RunSettings;

// The run state and routines behind both faces of the program: the POP3
// session on the one socket, its connect and close, the check run, the
// watchdog, and the log and status texts. It owns no window: message boxes
// go through the Prompter and everything the window shows leaves through
// signals.
class Engine : public QObject, private SessionClient
{
    Q_OBJECT
public:
    Engine(RunSettings& settings, AccountListModel& accounts, MailListModel& mails,
           Prompter& prompter, Connectivity& connectivity, TickSource& ticks,
           QObject* parent = nullptr);
    ~Engine() override;

    // The routines of the runs. startCheck takes the process for a check
    // run and starts it; CheckRun starts or continues a run whose caller
    // already holds the process.
    void startCheck()
    {
        m_processBusy = 1;
        CheckRun();
    }
    void CheckRun();
    void closeConnection() { m_driver.close(); }
    void watchdogTick() { m_driver.watchdogTick(); }

    // The delete-mail run. startDeleteFromUser is the click on Command5: it
    // asks for confirmation and calls DeleteRun, and is true once it did
    // (runEnded follows when that run ends); false when the click was
    // refused (a run is busy) or answered without a run. DeleteRun starts
    // or continues the run.
    bool startDeleteFromUser();
    void DeleteRun();
    void ReconcileDeletedRows();
    // The plan of the last delete run, one block per visit.
    const std::vector<DeleteBlock>& deletePlan() const { return m_deletePlan; }
    qint32 DeletedInAccount() const { return m_deletedInAccount; }
    qint32 DeleteRowIndex() const { return m_deleteRowIndex; }

    // Log and status line. AppendLog adds CR LF and the text to the log.
    void AppendLog(const QString& text) { m_runLog.append(text); }
    void SetStatus(const QString& text) { m_runLog.setStatus(text); }
    QString logText() const { return m_runLog.text(); }
    QString statusText() const { return m_runLog.status(); }
    RunLog& runLog() { return m_runLog; }

    // Run flags (16- and 32-bit integers as the rest of the program sees them).
    qint32 CheckRunActive() const { return m_checkRunActive; }
    qint32 DeleteRunActive() const { return m_deleteRunActive; }
    void setDeleteRunActive(qint32 value) { m_deleteRunActive = value; }
    qint16 CancelRequested() const { return m_cancelRequested; }
    // Command7, or the window beginning to close.
    void requestCancel() { m_cancelRequested = 1; }
    qint16 ProcessBusy() const { return m_processBusy; }
    void setProcessBusy(qint16 value) { m_processBusy = value; }
    qint16 Closing() const { return m_closing; }
    void setClosing(qint16 value) { m_closing = value; }
    // A check or delete run is under way.
    bool isRunActive() const { return m_checkRunActive > 0 || m_deleteRunActive > 0; }
    // A run, or the window's closing, holds the process.
    bool isBusy() const { return m_processBusy != 0; }
    bool Reconnecting() const { return m_driver.reconnecting(); }
    qint32 MinutesSinceCheck() const { return m_minutesSinceCheck; }
    void setMinutesSinceCheck(qint32 value) { m_minutesSinceCheck = value; }
    qint32 NewMailCount() const { return m_newMailCount; }
    qint32 NoMailRowCount() const { return m_noMailRowCount; }
    DateStyle ListDateStyle() const { return m_listDateStyle; }
    qint32 CurrentAccountRow() const { return m_currentAccountRow; }
    const SessionContext& session() const { return m_driver.context(); }

    // The certificates the user trusts beyond the system's, and whether to
    // ask about one; none when not set.
    void setCertificateTrust(CertificateTrust* trust) { m_driver.setCertificateTrust(trust); }

    // The fixed waits, shortened by tests only.
    void setCloseWaitMs(int ms) { m_driver.waits().closeMs = ms; }
    void setReconnectPauseMs(int ms) { m_driver.waits().reconnectPauseMs = ms; }
    QTimer& watchdogTimer() { return m_driver.watchdogTimer(); }
    MailSocket& socket() { return m_driver.socket(); }
    SessionDriver& sessionDriver() { return m_driver; }

signals:
    void logAppended(const QString& text);
    // The whole log text was replaced (the start of a run).
    void logReplaced(const QString& text);
    void statusChanged(const QString& text);
    // true: the log takes the tool-tip colours of a run; false: the window's.
    void logColoursChanged(bool runColours);
    // A run has started (after the snapshot and the list clear): where the
    // window auto-starts its re-check timer.
    void checkRunStarted();
    // DateStyle was below 1 and became 1: the chooser shows its first entry.
    void dateStyleReset();
    // The run buttons and tabs go back to their idle state.
    void controlsRestored();
    // A user-started run takes the controls: Command1 and Command5 disabled,
    // Command2 hidden, Command7 shown, the first tab selected and the tab
    // strip disabled.
    void controlsBusy();
    // The delete run removed its rows and wrote its summary.
    void deleteRunCompleted(int deletedCount);
    void deleteRunHalted(const QString& haltMessage);
    // The summary was written; sound and alarm are due here.
    void checkRunCompleted(int newMailCount, int totalItems);
    void checkRunHalted(const QString& haltMessage);
    // ProcessBusy is 0 again: the run is over.
    void runEnded();

private:
    // SessionClient
    SessionOptions sessionOptions() const override;
    void extractHeaders(const QByteArray& message, qint32 messageNumber) override;
    void addNoMailRow() override;
    void clearMailList() override;
    bool deleteAccepted() override;
    void settleSession(bool quitAnswered) override { settleDeletions(quitAnswered); }

    // Online (or dialled up) first, then the connection of the account.
    void connectAccount(const QString& server, qint32 port);
    void sessionClosed();

    // Steps of the check run.
    void startCheckRun();
    void continueCheckRun();
    bool openAccount();
    void completeCheckRun();
    void haltCheckRun(RunHalt why, const QString& userName = {});
    void resetRunState();
    void postContinuation();

    // Steps of the delete run.
    void startDeleteRun();
    void continueDeleteRun();
    void startDeleteAccount();
    void completeDeleteRun();
    void haltDeleteRun(RunHalt why);
    void resetDeleteRunState();
    int removeDeletedRows();
    void matchForDelete(const MailHeaders& headers, qint32 messageNumber);
    void abortDeleteAccount();
    void settleDeletions(bool quitAnswered);
    const DeleteBlock* currentDeleteBlock() const;

    bool isOnline(int* flags);

    RunSettings& m_settings;
    AccountListModel& m_accounts;
    MailListModel& m_mails;
    Prompter& m_prompter;
    Connectivity& m_connectivity;
    TickSource& m_ticks;

    RunLog m_runLog;
    SessionDriver m_driver;
    SessionContext& m_ctx;
    SnapshotMatcher m_matcher;

    qint32 m_checkRunActive = 0;
    qint32 m_deleteRunActive = 0;
    qint16 m_cancelRequested = 0;
    qint16 m_processBusy = 0;
    qint16 m_closing = 0;
    qint32 m_firstAccountRow = 0;
    qint32 m_lastAccountRow = 0;
    qint32 m_currentAccountRow = 0;
    qint32 m_noMailRowCount = 0;
    qint32 m_newMailCount = 0;
    qint32 m_minutesSinceCheck = 0;
    DateStyle m_listDateStyle = DateStyle::AsSent;

    bool m_continuationQueued = false;

    std::vector<DeleteBlock> m_deletePlan;
    size_t m_deleteBlockIndex = 0; // the block visited now
    qint32 m_deletedInAccount = 0;
    qint32 m_deleteRowIndex = 0;
    // Rows whose DELE the server accepted in this session: deleted only
    // once the server acknowledges QUIT.
    QList<int> m_acceptedDeleteRows;
};
