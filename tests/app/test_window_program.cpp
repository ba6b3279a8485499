#include "app/startup.h"
#include "app/window_program.h"
#include "model/account_list_model.h"
#include "storage/settings_record.h"
#include "support/common_scripted_prompter.h"
#include "ui/message_box_prompter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
        {
            QFile templ(program.filePath("quorvamel.ini"));
            QVERIFY(templ.open(QIODevice::WriteOnly));
            templ.write(SettingsRecord::templateRecord().encode());
        }
        ScriptedPrompter startupPrompter;
        const StartupResult started =
            runStartupSequence({programFolderFrom(program.path()), home.path(), &startupPrompter});
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
};

QTEST_MAIN(TestWindowProgram)
#include "test_window_program.moc"
