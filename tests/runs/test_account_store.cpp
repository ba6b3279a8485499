// The users file behind the account list: loading, saving, appending.
#include "model/list_rows.h"
#include "runs/account_store.h"
#include "storage/scramble.h"
#include "support/common_files.h"
#include "support/common_scripted_prompter.h"
#include "support/model_accounts.h"
#include "support/storage_accounts.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QString saveFailed = QStringLiteral("An Error Occurred Saving Changes To Username File");

// Padded, so that loading has to trim it.
const QString server = QStringLiteral("  mail.example.org ");

// Root ignores permissions but not a file-size limit: while one is held,
// no file larger than the limit can be written.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

} // namespace

class TestAccountStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadFillsRows();
    void loadCreatesMissingFile();
    void saveWritesEveryRow();
    void renameSavesIntoItsRecord();
    void saveTrimsOnReloadAndCutsLongValues();
    void unreadablePasswordRowSurvivesSave();
    void deletingLastRowDeletesFile();
    void failedSaveKeepsOldFile();
    void badPortFailsSave();
    void appendAddsOneRecord();

private:
    QString path() const { return m_dir->filePath(UsersFileName); }
    void loadThree(AccountListModel& list);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestAccountStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestAccountStore::loadThree(AccountListModel& list)
{
    QVERIFY(writeAccounts(path(), {{"  Home  ", "ann", "pw1", server, 110, 1},
                                   {"Work", "bob", "pw2", server, 995, 0},
                                   {"Other", "cy", "P3ss", server, 1110, 2}}));
    QVERIFY(loadAccountList(list, path()));
}

void TestAccountStore::loadFillsRows()
{
    AccountListModel list;
    list.appendAccountRow(accountRow(QStringLiteral("K9Pold"), QStringLiteral("old")));
    loadThree(list);
    QCOMPARE(list.usersFilePath(), path());
    QCOMPARE(accountKeys(list), (QStringList{"K1Ppw1", "K2Ppw2", "K3PP3ss"}));
    QCOMPARE(list.rowAt(0).displayName, QStringLiteral("Home"));
    QCOMPARE(list.rowAt(0).serverName, QStringLiteral("mail.example.org"));
    QCOMPARE(list.rowAt(1).port, QStringLiteral("995"));
    QCOMPARE(list.rowAt(2).key.password, QStringLiteral("P3ss"));
    // Only Checked = 1 ticks the box.
    QCOMPARE(isRowChecked(list, 1), std::optional<bool>(true));
    QCOMPARE(isRowChecked(list, 2), std::optional<bool>(false));
    QCOMPARE(isRowChecked(list, 3), std::optional<bool>(false));
}

void TestAccountStore::loadCreatesMissingFile()
{
    AccountListModel list;
    QVERIFY(loadAccountList(list, path()));
    QCOMPARE(list.rowCount(), 0);
    QVERIFY(QFile::exists(path()));
    QCOMPARE(fileMode(path()), mode_t(0600));

    QString error;
    QVERIFY(!loadAccountList(list, path() + QStringLiteral("/below-a-file"), &error));
    QVERIFY(!error.isEmpty());
}

void TestAccountStore::saveWritesEveryRow()
{
    AccountListModel list;
    loadThree(list);
    checkRow(list, 2);
    uncheckRow(list, 1);
    ScriptedPrompter prompter;
    QVERIFY(saveUsersFile(list, QString(), 0, prompter));
    QVERIFY(prompter.shown().isEmpty());

    const QList<AccountRecord> saved = fileRecords(path());
    QCOMPARE(QFile(path()).size(), 3 * 454);
    QCOMPARE(saved.size(), 3);
    QCOMPARE(saved[0].displayName.trimmed(), QStringLiteral("Home"));
    QCOMPARE(saved[1].userName.trimmed(), QStringLiteral("bob"));
    QCOMPARE(saved[1].port, 995);
    QCOMPARE(saved[0].checked, qint16(0));
    QCOMPARE(saved[1].checked, qint16(1));
    QCOMPARE(saved[2].checked, qint16(0));
    QCOMPARE(unscramblePassword(saved[2].scrambledPassword), QStringLiteral("P3ss"));
}

void TestAccountStore::renameSavesIntoItsRecord()
{
    AccountListModel list;
    loadThree(list);
    list.appendAccountRow(accountRow(QStringLiteral("K4Pfour"), QStringLiteral("dee")));
    ScriptedPrompter prompter;
    QVERIFY(saveUsersFile(list, QStringLiteral("Fourth"), 4, prompter));
    QCOMPARE(list.rowAt(3).displayName, QStringLiteral("Name dee")); // list not yet changed
    const QList<AccountRecord> saved = fileRecords(path());
    QCOMPARE(saved.size(), 4);
    QCOMPARE(saved[3].displayName.trimmed(), QStringLiteral("Fourth"));
    QCOMPARE(saved[2].displayName.trimmed(), QStringLiteral("Other"));
}

void TestAccountStore::saveTrimsOnReloadAndCutsLongValues()
{
    AccountListModel list;
    AccountRow r =
        accountRow(QStringLiteral("K1P") + QString(70, QChar('w')), QStringLiteral("ann"));
    r.displayName = QStringLiteral("  spaced  ");
    list.appendAccountRow(r);
    list.setUsersFilePath(path());
    ScriptedPrompter prompter;
    QVERIFY(saveUsersFile(list, QString(70, QChar('n')), 1, prompter));
    QVERIFY(loadAccountList(list, path()));
    QCOMPARE(list.rowAt(0).displayName, QString(64, QChar('n')));
    QCOMPARE(keyText(list.rowAt(0).key), QStringLiteral("K1P") + QString(62, QChar('w')));

    list.setData(list.index(0, 0), QStringLiteral("  spaced  "));
    QVERIFY(saveUsersFile(list, QString(), 0, prompter));
    QVERIFY(loadAccountList(list, path()));
    QCOMPARE(list.rowAt(0).displayName, QStringLiteral("spaced"));
}

void TestAccountStore::unreadablePasswordRowSurvivesSave()
{
    QVERIFY(writeAccounts(path(), {{"A", "ann", "pw1", server, 110, 0},
                                   {"B", "bob", QString(), server, 110, 1},
                                   {"C", "cy", "pw3", server, 110, 0}}));
    AccountListModel list;
    QVERIFY(loadAccountList(list, path()));
    QCOMPARE(keyText(list.rowAt(1).key), QStringLiteral("K2P"));
    ScriptedPrompter prompter;
    QVERIFY(saveUsersFile(list, QString(), 0, prompter));

    const QList<AccountRecord> saved = fileRecords(path());
    QCOMPARE(saved.size(), 3);
    QCOMPARE(saved[1].userName.trimmed(), QStringLiteral("bob"));
    QCOMPARE(saved[1].checked, qint16(1));
    QCOMPARE(unscramblePassword(saved[1].scrambledPassword), QString());
    QCOMPARE(unscramblePassword(saved[2].scrambledPassword), QStringLiteral("pw3"));
}

void TestAccountStore::deletingLastRowDeletesFile()
{
    AccountListModel list;
    loadThree(list);
    ScriptedPrompter prompter;
    while (list.rowCount() > 0) {
        list.removeAccountRow(0);
        QVERIFY(saveUsersFile(list, QString(), 0, prompter));
    }
    QVERIFY(!QFile::exists(path()));
    QVERIFY(prompter.shown().isEmpty());
    QVERIFY(loadAccountList(list, path()));
    QVERIFY(QFile::exists(path()));
}

void TestAccountStore::failedSaveKeepsOldFile()
{
    AccountListModel list;
    loadThree(list);
    const QByteArray before = fileBytes(path());
    list.removeAccountRow(0);
    ScriptedPrompter prompter;
    bool saved = true;
    {
        FileSizeLimit limit(300);
        saved = saveUsersFile(list, QString(), 0, prompter);
    }
    QVERIFY(!saved);
    QCOMPARE(prompter.texts(), QStringList{saveFailed});
    QCOMPARE(prompter.messageKinds(), QList<MessageKind>{MessageKind::Error});
    QCOMPARE(prompter.shown().at(0).title, QStringLiteral("Quorvamel"));
    QCOMPARE(fileBytes(path()), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{UsersFileName});
    QCOMPARE(list.rowCount(), 2);
}

void TestAccountStore::badPortFailsSave()
{
    AccountListModel list;
    loadThree(list);
    const QByteArray before = fileBytes(path());
    AccountRow bad = accountRow(QStringLiteral("K4Px"), QStringLiteral("dee"));
    bad.port = QStringLiteral("-");
    list.appendAccountRow(bad);
    ScriptedPrompter prompter;
    QVERIFY(!saveUsersFile(list, QString(), 0, prompter));
    QCOMPARE(prompter.texts(), QStringList{saveFailed});
    QCOMPARE(fileBytes(path()), before);
}

void TestAccountStore::appendAddsOneRecord()
{
    AccountListModel list;
    loadThree(list);
    const AccountRecord added = accountRecord({"New", "eve", "pw5", server, 143, 0});
    QVERIFY(appendAccountRecord(list, added));
    const QList<AccountRecord> saved = fileRecords(path());
    QCOMPARE(saved.size(), 4);
    QCOMPARE(saved[3].userName.trimmed(), QStringLiteral("eve"));
    QCOMPARE(saved[2].userName.trimmed(), QStringLiteral("cy"));
}

QTEST_GUILESS_MAIN(TestAccountStore)
#include "test_account_store.moc"
