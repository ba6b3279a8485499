#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/users_file.h"
#include "support/common_files.h"
#include "support/common_window_process.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

// A termination signal closes the running window program as the close box
// does: settings and account list saved whole, exit status 0, also while a
// check run waits on a silent server.
class TestSessionEnd : public QObject
{
    Q_OBJECT

    struct Home
    {
        QTemporaryDir home, runtime;
        QString data, settings, users;
    };

    // A home whose data folder already holds a settings file and one account.
    static void makeHome(Home& h, bool checkOnOpen, quint16 port)
    {
        h.data = h.home.path() + "/Application Data/Quorvamel";
        QVERIFY(QDir().mkpath(h.data));
        h.settings = h.data + "/quorvamel.ini";
        h.users = h.data + '/' + UsersFileName;
        SettingsRecord record = SettingsRecord::templateRecord();
        record.autoCheckOnOpen = checkOnOpen ? 1 : 0;
        writeBytes(h.settings, record.encode());
        QVERIFY(writeAccounts(h.users, {account(port)}));
    }

    static TestAccount account(quint16 port)
    {
        return {"Box", "bob", "secret1", "127.0.0.1", port, 1};
    }

    // Both files replaced by complete new ones.
    static void verifySavedWhole(const Home& h, ino_t settingsBefore, ino_t usersBefore,
                                 quint16 port)
    {
        QVERIFY(fileInode(h.settings) != settingsBefore);
        QVERIFY(fileInode(h.users) != usersBefore);
        QCOMPARE(QFileInfo(h.settings).size(), qint64(SettingsRecord::Size));
        SettingsRecord saved;
        QVERIFY(readSettingsFile(h.settings, saved));
        const QList<AccountRecord> records = fileRecords(h.users);
        QCOMPARE(records.size(), 1);
        const AccountRecord& r = records.first();
        const TestAccount a = account(port);
        // Fixed-width fields, padded with blanks.
        QCOMPARE(r.displayName.trimmed(), a.display);
        QCOMPARE(r.userName.trimmed(), a.user);
        QCOMPARE(unscramblePassword(r.scrambledPassword), a.password);
        QCOMPARE(r.serverName.trimmed(), a.server);
        QCOMPARE(r.port, a.port);
        QCOMPARE(fileMode(h.settings), mode_t(0600));
        QCOMPARE(fileMode(h.users), mode_t(0600));
    }

private slots:
    void signalClosesWithSaves_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void signalClosesWithSaves()
    {
        QFETCH(int, signalNumber);
        Home h;
        makeHome(h, false, 110);
        const ino_t settingsBefore = fileInode(h.settings);
        const ino_t usersBefore = fileInode(h.users);
        WindowProcess program;
        program.start(h.home.path(), h.runtime.path());
        QVERIFY(program.waitUntilUp());
        QCOMPARE(fileInode(h.settings), settingsBefore); // nothing saved yet
        program.signal(signalNumber);
        QVERIFY(program.waitForExit());
        QVERIFY(program.exitedCleanly());
        verifySavedWhole(h, settingsBefore, usersBefore, 110);
    }

    // The run is cancelled, not waited for: the server's time-out is
    // minutes away.
    void signalDuringACheckStillSaves()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Home h;
        makeHome(h, true, silent.serverPort());
        const ino_t settingsBefore = fileInode(h.settings);
        const ino_t usersBefore = fileInode(h.users);
        WindowProcess program;
        program.start(h.home.path(), h.runtime.path());
        QVERIFY(program.waitUntilUp());
        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 20000);
        QElapsedTimer elapsed;
        elapsed.start();
        program.signal(SIGTERM);
        QVERIFY(program.waitForExit());
        QVERIFY(program.exitedCleanly());
        QVERIFY2(elapsed.elapsed() < 10000, qPrintable(QString::number(elapsed.elapsed())));
        verifySavedWhole(h, settingsBefore, usersBefore, silent.serverPort());
    }
};

QTEST_MAIN(TestSessionEnd)
#include "test_session_end.moc"
