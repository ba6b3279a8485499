#include "app/single_instance.h"
#include "app/startup.h"
#include "app/window_program.h"
#include "storage/settings_record.h"
#include "support/common_files.h"
#include "support/common_scripted_prompter.h"
#include "support/common_window_process.h"
#include "ui/message_box_prompter.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {
const QString DataPath = QStringLiteral("/Application Data/Quorvamel");
} // namespace

// One window program per user and real home folder: a later start ends at
// once and the running copy shows its window.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void lockLivesInAPrivateFolder_data()
    {
        QTest::addColumn<int>("runtimeMode"); // -1: no runtime folder
        QTest::addColumn<bool>("inRuntimeFolder");
        QTest::newRow("private runtime folder") << 0700 << true;
        QTest::newRow("no runtime folder") << -1 << false;
        QTest::newRow("shared runtime folder") << 0777 << false;
        QTest::newRow("group may enter") << 0750 << false;
    }

    void lockLivesInAPrivateFolder()
    {
        QFETCH(int, runtimeMode);
        QFETCH(bool, inRuntimeFolder);
        QTemporaryDir home, runtime;
        if (runtimeMode >= 0)
            QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), runtimeMode) == 0);
        SingleInstanceGuard guard(home.path(), runtimeMode >= 0 ? runtime.path() : QString());
        QVERIFY(guard.isFirstInstance());
        QVERIFY(guard.isListening());
        const QString folder = QFileInfo(guard.lockPath()).path();
        QCOMPARE(folder, inRuntimeFolder ? runtime.path() : home.path() + DataPath);
        QVERIFY(QFileInfo::exists(guard.lockPath()));
        QCOMPARE(fileMode(home.path() + DataPath) & 077, 0u);
    }

    void runtimeFolderOfAnotherUserIsNotUsed()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to give the folder to another user");
        QTemporaryDir home, runtime;
        QVERIFY(::chown(QFile::encodeName(runtime.path()).constData(), 65534, 65534) == 0);
        SingleInstanceGuard guard(home.path(), runtime.path());
        QVERIFY(guard.isFirstInstance());
        QCOMPARE(QFileInfo(guard.lockPath()).path(), home.path() + DataPath);
    }

    // The first copy here, the later start a real process: its request
    // brings the hidden window back.
    void laterStartShowsTheRunningWindow_data()
    {
        QTest::addColumn<bool>("throughLink");
        QTest::newRow("same home") << false;
        QTest::newRow("home through a symbolic link") << true;
    }

    void laterStartShowsTheRunningWindow()
    {
        QFETCH(bool, throughLink);
        QTemporaryDir program, home, runtime, links;
        {
            QFile templ(program.filePath("quorvamel.ini"));
            QVERIFY(templ.open(QIODevice::WriteOnly));
            templ.write(SettingsRecord::templateRecord().encode());
        }
        SingleInstanceGuard guard(home.path(), runtime.path());
        QVERIFY(guard.isFirstInstance());
        QCOMPARE(QFileInfo(guard.lockPath()).path(), runtime.path());
        ScriptedPrompter startupPrompter;
        const StartupResult started =
            runStartupSequence({programFolderFrom(program.path()), home.path(), &startupPrompter});
        QCOMPARE(started.outcome, StartupResult::ShowWindow);
        MessageBoxPrompter prompter;
        WindowProgram windowProgram(started, program.path(), prompter);
        QVERIFY(windowProgram.accountsLoaded());
        connect(&guard, &SingleInstanceGuard::showRequested, this,
                [&windowProgram] { windowProgram.showWindow(); });
        QSignalSpy requests(&guard, &SingleInstanceGuard::showRequested);
        QVERIFY(!windowProgram.window().isVisible()); // as if hidden in the tray

        QString laterHome = home.path();
        if (throughLink) {
            laterHome = links.filePath("home");
            QVERIFY(QFile::link(home.path(), laterHome));
        }
        WindowProcess later;
        later.start(laterHome, runtime.path());
        QVERIFY(later.waitForExit());
        QVERIFY(later.exitedCleanly());
        QTRY_COMPARE(requests.count(), 1);
        QVERIFY(windowProgram.window().isVisible());
        // It ended silently, before the start-up sequence: no data folder
        // was made for the link's own path.
        QVERIFY(!QFileInfo::exists(links.filePath("Application Data")));
    }

    // Both copies real processes; the first one also after a crash of its
    // predecessor, which left its lock and socket behind.
    void secondProcessEndsWhileTheFirstRuns_data()
    {
        QTest::addColumn<bool>("afterCrash");
        QTest::newRow("clean") << false;
        QTest::newRow("after a crashed copy") << true;
    }

    void secondProcessEndsWhileTheFirstRuns()
    {
        QFETCH(bool, afterCrash);
        QTemporaryDir home, runtime;
        if (afterCrash) {
            WindowProcess crashed;
            crashed.start(home.path(), runtime.path());
            QVERIFY(crashed.waitUntilUp());
            crashed.signal(SIGKILL);
            QVERIFY(crashed.waitForExit());
            QCOMPARE(QDir(runtime.path()).entryList(QDir::System | QDir::Files).size(), 2);
        }
        WindowProcess first, second;
        first.start(home.path(), runtime.path());
        QVERIFY(first.waitUntilUp());
        second.start(home.path(), runtime.path());
        QVERIFY(second.waitForExit());
        QVERIFY(second.exitedCleanly());
        QCOMPARE(first.process.state(), QProcess::Running);
        const QStringList held = QDir(runtime.path()).entryList(QDir::System | QDir::Files);
        QCOMPARE(held.size(), 2); // the lock and the socket
        first.signal(SIGTERM);
        QVERIFY(first.waitForExit());
        QVERIFY(first.exitedCleanly());
        // The socket goes with the first copy and the lock is free again.
        QCOMPARE(QDir(runtime.path()).entryList(QDir::System | QDir::Files).size(), 1);
        SingleInstanceGuard next(home.path(), runtime.path());
        QVERIFY(next.isFirstInstance());
        QCOMPARE(next.lockPath(), runtime.filePath(held.filter(".lock").value(0)));
    }

    // Files of someone else's in a runtime folder that is not this user's
    // alone, at the very names the lock would take: they do not hold the
    // start back, and nothing is written there.
    void foreignRuntimeContentDoesNotBlock()
    {
        QTemporaryDir home, runtime, probe;
        QString lockName, socketName;
        {
            SingleInstanceGuard names(home.path(), probe.path());
            lockName = QFileInfo(names.lockPath()).fileName();
            socketName = lockName.chopped(5) + ".sock";
        }
        QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), 01777) == 0);
        // A lock held by a live process and a socket nobody serves.
        writeBytes(runtime.filePath(lockName), QByteArray::number(::getpid()) + "\nquorvamel\n" +
                                                   QSysInfo::machineHostName().toUtf8() + "\n");
        writeBytes(runtime.filePath(socketName), "not a socket");
        const QByteArray before = fileBytes(runtime.filePath(lockName));

        WindowProcess first;
        first.start(home.path(), runtime.path());
        QVERIFY(first.waitUntilUp());
        QCOMPARE(fileBytes(runtime.filePath(lockName)), before);
        QVERIFY(QFileInfo::exists(home.path() + DataPath + '/' + lockName));
        first.signal(SIGTERM);
        QVERIFY(first.waitForExit());
        QVERIFY(first.exitedCleanly());
    }
};

QTEST_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
