#include "storage/settings_record.h"
#include "storage/users_file.h"
#include "support/common_files.h"
#include "support/common_window_process.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The window program under a real X session manager: every save the manager
// asks for writes the settings and the account list, the program keeps
// running through a checkpoint and ends with status 0 when the session does.
class TestSessionManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (m_xvfb.isEmpty())
            QSKIP("Xvfb is not installed");
        if (!QFileInfo::exists(QStringLiteral(QUORVAMEL_BIN_DIR "/quorvamel-test-xsmp")))
            QSKIP("the test session manager was not built (no libSM)");
    }

    void savesAtEverySaveAndEndsWithTheSession()
    {
        QProcess display;
        display.start(m_xvfb,
                      {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x600x24"});
        const QByteArray displayNumber = firstOutputLine(display);
        QVERIFY2(!displayNumber.isEmpty(), "Xvfb did not start");

        QProcess manager;
        manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        manager.start(QStringLiteral(QUORVAMEL_BIN_DIR "/quorvamel-test-xsmp"), {});
        const QByteArray networkIds = firstOutputLine(manager);
        QVERIFY2(!networkIds.isEmpty(), "the session manager did not start");

        QTemporaryDir home, runtime;
        const QString data = home.path() + "/Application Data/Quorvamel";
        QVERIFY(QDir().mkpath(data));
        const QString settings = data + "/quorvamel.ini";
        const QString users = data + '/' + UsersFileName;
        writeBytes(settings, SettingsRecord::templateRecord().encode());
        QVERIFY(writeAccounts(users, {{"Box", "bob", "secret1", "127.0.0.1", 110, 1}}));
        ino_t settingsBefore = fileInode(settings);
        ino_t usersBefore = fileInode(users);

        QProcessEnvironment session;
        session.insert("QT_QPA_PLATFORM", "xcb");
        session.insert("DISPLAY", ':' + QString::fromLatin1(displayNumber));
        session.insert("SESSION_MANAGER", QString::fromLatin1(networkIds));
        session.insert("ICEAUTHORITY", home.filePath(".ICEauthority"));
        WindowProcess program;
        program.start(home.path(), runtime.path(), session);

        // The save a manager asks right after the registration may come
        // before the window is up; it must not end the program.
        QVERIFY(waitForOutputLine(manager, "registered"));
        QVERIFY(waitForOutputLine(manager, "done 1"));
        QVERIFY(program.waitUntilUp());

        // A checkpoint: saved, and the program goes on.
        manager.write("checkpoint\n");
        QVERIFY(waitForOutputLine(manager, "done 1"));
        QVERIFY(fileInode(settings) != settingsBefore);
        QVERIFY(fileInode(users) != usersBefore);
        QTest::qWait(300);
        QCOMPARE(program.process.state(), QProcess::Running);

        // Logout: saved again, then the manager ends the program.
        settingsBefore = fileInode(settings);
        usersBefore = fileInode(users);
        manager.write("shutdown\n");
        QVERIFY(waitForOutputLine(manager, "done 1"));
        QVERIFY(fileInode(settings) != settingsBefore);
        QVERIFY(fileInode(users) != usersBefore);
        QCOMPARE(fileRecords(users).size(), 1);
        QCOMPARE(QFileInfo(settings).size(), qint64(SettingsRecord::Size));
        manager.write("die\n");
        QVERIFY(program.waitForExit());
        QVERIFY(program.exitedCleanly());

        manager.closeWriteChannel();
        manager.waitForFinished(5000);
        display.terminate();
        display.waitForFinished(5000);
    }

private:
    QString m_xvfb;
};

QTEST_MAIN(TestSessionManager)
#include "test_session_manager.moc"
