#include "app/single_instance.h"
#include "app/startup.h"
#include "platform/codepage.h"
#include "startup_machine.h"
#include "storage/scramble.h"
#include "storage/settings_record.h"
#include "support/common_files.h"
#include "support/common_scripted_prompter.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

const QString CopyStep = QStringLiteral("No App Data\\App\\Ini File, Error Copying It");

int unixMode(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QByteArray templateWithRunPassword(const QString& password)
{
    SettingsRecord record = SettingsRecord::templateRecord();
    record.scrambledRunPassword = toAnsi(scramblePassword(password));
    return record.encode();
}

using Machine = StartupMachine;

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartMakesOwnerOnlyFoldersAndCopiesTemplate()
    {
        Machine m;
        const QByteArray templ = SettingsRecord::templateRecord().encode();
        m.installTemplate(templ);

        const StartupResult r = m.start();

        QCOMPARE(r.outcome, StartupResult::ShowWindow);
        QVERIFY(m.prompter.shown().isEmpty());
        QCOMPARE(r.dataFolder, m.dataFolder());
        for (const QString& folder : {m.home.path() + "/Application Data", m.dataFolder()}) {
            QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
            QCOMPARE(unixMode(folder), 0700);
        }
        QCOMPARE(fileBytes(m.settingsPath()), templ);
        QCOMPARE(unixMode(m.settingsPath()), 0600);
        QCOMPARE(r.firstRunMarker, 0);
    }

    void laterStartKeepsTheUsersOwnFile()
    {
        Machine m;
        m.installTemplate(SettingsRecord::templateRecord().encode());
        QCOMPARE(m.start().outcome, StartupResult::ShowWindow);

        SettingsRecord own = SettingsRecord::templateRecord();
        own.firstRunMarker = 1;
        own.recheckIntervalMinutes = 7;
        writeBytes(m.settingsPath(), own.encode());

        const StartupResult r = m.start();
        QCOMPARE(r.outcome, StartupResult::ShowWindow);
        QCOMPARE(fileBytes(m.settingsPath()), own.encode());
        QCOMPARE(r.firstRunMarker, 1);
    }

    void templateIsCheckedBeforeUse_data()
    {
        QTest::addColumn<int>("size"); // -1: no template
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QString>("failedStep");

        QTest::newRow("missing") << -1 << false << CopyStep;
        QTest::newRow("empty") << 0 << false << CopyStep;
        QTest::newRow("299 bytes") << 299 << false << CopyStep;
        // Long enough to be taken, too short to hold a record: read as far
        // as it goes.
        QTest::newRow("300 bytes") << 300 << true << QString();
        QTest::newRow("whole record") << int(SettingsRecord::Size) << true << QString();
    }

    void templateIsCheckedBeforeUse()
    {
        QFETCH(int, size);
        QFETCH(bool, copied);
        QFETCH(QString, failedStep);
        Machine m;
        if (size >= 0)
            m.installTemplate(SettingsRecord::templateRecord().encode().left(size));

        const StartupResult r = m.start();

        QCOMPARE(QFileInfo::exists(m.settingsPath()), copied);
        if (failedStep.isEmpty()) {
            QCOMPARE(r.outcome, StartupResult::ShowWindow);
            return;
        }
        const QString step = failedStep == "read"
                                 ? "No.. " + m.settingsPath() + " ..Or Error Opening Or Reading It"
                                 : failedStep;
        QCOMPARE(r.outcome, StartupResult::Failed);
        QCOMPARE(m.prompter.texts(), QStringList{"Quorvamel Unable To Run: " + step});
        QCOMPARE(m.prompter.shown().first().title, QStringLiteral("Quorvamel"));
        QCOMPARE(m.prompter.messageKinds(), QList<MessageKind>{MessageKind::Error});
    }

    void unusableDataPathsFailWithTheirStep_data()
    {
        QTest::addColumn<QString>("blockedPath"); // relative to home; made a file or folder
        QTest::addColumn<bool>("blockAsFolder");
        QTest::addColumn<QString>("step");

        QTest::newRow("app data is a file")
            << "Application Data" << false << "%1/Application Data Dir, or Error Creating It";
        QTest::newRow("data folder is a file")
            << "Application Data/Quorvamel" << false
            << "%1/Application Data/Quorvamel Dir, or Error Creating It";
        QTest::newRow("settings path is a folder")
            << "Application Data/Quorvamel/quorvamel.ini" << true << CopyStep;
    }

    void unusableDataPathsFailWithTheirStep()
    {
        QFETCH(QString, blockedPath);
        QFETCH(bool, blockAsFolder);
        QFETCH(QString, step);
        Machine m;
        m.installTemplate(SettingsRecord::templateRecord().encode());
        const QString blocked = m.home.path() + '/' + blockedPath;
        QVERIFY(QDir().mkpath(QFileInfo(blocked).path()));
        if (blockAsFolder)
            QVERIFY(QDir().mkdir(blocked));
        else
            writeBytes(blocked, "in the way");

        const StartupResult r = m.start();

        QCOMPARE(r.outcome, StartupResult::Failed);
        const QString expected = step.contains("%1") ? step.arg(m.home.path()) : step;
        QCOMPARE(m.prompter.texts(), QStringList{"Quorvamel Unable To Run: " + expected});
    }

    void runPasswordGetsOneTry_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("entered"); // empty: Cancel
        QTest::addColumn<bool>("asked");
        QTest::addColumn<int>("outcome");

        QTest::newRow("none stored") << ""
                                     << "" << false << int(StartupResult::ShowWindow);
        QTest::newRow("right") << "Open Sesame"
                               << "Open Sesame" << true << int(StartupResult::ShowWindow);
        QTest::newRow("wrong case") << "Open Sesame"
                                    << "open sesame" << true << int(StartupResult::EndSilently);
        QTest::newRow("trailing space")
            << "Open Sesame"
            << "Open Sesame " << true << int(StartupResult::EndSilently);
        QTest::newRow("cancel") << "Open Sesame"
                                << "" << true << int(StartupResult::EndSilently);
    }

    void runPasswordGetsOneTry()
    {
        QFETCH(QString, stored);
        QFETCH(QString, entered);
        QFETCH(bool, asked);
        QFETCH(int, outcome);
        Machine m;
        m.installTemplate(templateWithRunPassword(stored));
        if (asked)
            m.prompter.queueText(entered);

        const StartupResult r = m.start();

        QCOMPARE(int(r.outcome), outcome);
        QCOMPARE(m.prompter.pendingAnswers(), 0);
        if (asked) {
            QCOMPARE(m.prompter.shown().size(), 1); // one try, no message after it
            QCOMPARE(m.prompter.shown().first().kind, ScriptedPrompter::Shown::Input);
            QCOMPARE(m.prompter.shown().first().echo, EntryEcho::Masked);
            QCOMPARE(m.prompter.shown().first().text,
                     QStringLiteral("Enter Your Password In The Box."));
        } else {
            QVERIFY(m.prompter.shown().isEmpty());
        }
    }

    void programFolderDropsTrailingSeparator_data()
    {
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("folder");
        QTest::newRow("root") << "/"
                              << "";
        QTest::newRow("plain") << "/opt/quorvamel"
                               << "/opt/quorvamel";
        QTest::newRow("trailing") << "/opt/quorvamel/"
                                  << "/opt/quorvamel";
    }

    void programFolderDropsTrailingSeparator()
    {
        QFETCH(QString, dir);
        QFETCH(QString, folder);
        QCOMPARE(programFolderFrom(dir), folder);
    }

    void secondCopyForTheSameHomeIsRefused()
    {
        QTemporaryDir home, otherHome;
        SingleInstanceGuard first(home.path());
        SingleInstanceGuard second(home.path());
        SingleInstanceGuard elsewhere(otherHome.path());
        QVERIFY(first.isFirstInstance());
        QVERIFY(!second.isFirstInstance());
        QVERIFY(elsewhere.isFirstInstance());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
