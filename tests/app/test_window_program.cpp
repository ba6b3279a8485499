#include "app/startup.h"
#include "app/window_program.h"
#include "model/account_list_model.h"
#include "runs/run_coordinator.h"
#include "storage/header_cache_file.h"
#include "storage/settings_record.h"
#include "support/common_files.h"
#include "support/common_scripted_prompter.h"
#include "ui/message_box_prompter.h"
#include "ui/window_wiring.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The start-up sequence of a first start: the program folder holds the
// template settings, the home nothing yet.
StartupResult startedOnTemplate(const QTemporaryDir& program, const QTemporaryDir& home)
{
    writeBytes(program.filePath("quorvamel.ini"), SettingsRecord::templateRecord().encode());
    ScriptedPrompter startupPrompter;
    return runStartupSequence({programFolderFrom(program.path()), home.path(), &startupPrompter});
}

} // namespace

// The window program opens only on an account list it could read: running
// on an empty list would let the next save erase the user's accounts.
class TestWindowProgram : public QObject
{
    Q_OBJECT

private slots:
    void opensOnlyOnAReadableAccountList_data()
    {
        QTest::addColumn<qint64>("usersFileLength"); // -1: no users file
        QTest::addColumn<bool>("loaded");
        QTest::newRow("first start") << qint64(-1) << true;
        QTest::newRow("two records") << qint64(2 * 454) << true;
        QTest::newRow("sparse 8 GB") << (qint64(8) << 30) << false;
    }

    void opensOnlyOnAReadableAccountList()
    {
        QFETCH(qint64, usersFileLength);
        QFETCH(bool, loaded);
        QTemporaryDir program, home;
        const StartupResult started = startedOnTemplate(program, home);
        QCOMPARE(started.outcome, StartupResult::ShowWindow);
        const QString usersPath = started.dataFolder + "/pop3user.ini";
        if (usersFileLength >= 0) {
            QFile users(usersPath);
            QVERIFY(users.open(QIODevice::WriteOnly));
            QVERIFY(users.resize(usersFileLength));
        }

        MessageBoxPrompter prompter;
        WindowProgram windowProgram(started, program.path(), prompter);

        QCOMPARE(windowProgram.accountsLoaded(), loaded);
        if (loaded) {
            QCOMPARE(windowProgram.window().accountListModel()->rowCount(),
                     int(std::max<qint64>(usersFileLength, 0) / 454));
        }
        QCOMPARE(QFileInfo(usersPath).size(), std::max<qint64>(usersFileLength, 0));
    }

    // The header cache file is only a shortcut: one that cannot be read
    // never keeps the window from opening, and the next completed check
    // writes a good one in its place.
    void opensDespiteAnUnreadableHeaderCache()
    {
        QTemporaryDir program, home;
        const StartupResult started = startedOnTemplate(program, home);
        QCOMPARE(started.outcome, StartupResult::ShowWindow);
        const QString cachePath = started.dataFolder + "/" + HeaderCacheFileName;
        writeBytes(cachePath, QByteArray(4096, '\xff'));

        MessageBoxPrompter prompter;
        WindowProgram windowProgram(started, program.path(), prompter);
        QVERIFY(windowProgram.accountsLoaded());
        emit windowProgram.wiring().runs().checkRunCompleted(0, 0);

        QVERIFY(decodeHeaderCacheFile(fileBytes(cachePath)).has_value());
        QCOMPARE(fileMode(cachePath), mode_t(0600));
    }
};

QTEST_MAIN(TestWindowProgram)
#include "test_window_program.moc"
