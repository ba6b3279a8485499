// quorvamel-check run as a program: a home folder whose data files are
// written by the storage code, a private Dovecot, and what the program
// prints and returns.
#include "app/check_cli.h"
#include "platform/codepage.h"
#include "storage/header_cache_file.h"
#include "storage/scramble.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/users_file.h"
#include "support/common_check_program.h"
#include "support/common_files.h"
#include "support/servers_dovecot.h"
#include "support/storage_accounts.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

using Result = CheckProgramResult;

struct Account
{
    QString user;
    QString password;
    bool checked;
};

} // namespace

class TestCheckCliDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void tabSeparatedRows();
    void jsonAndCount();
    void settingsAreHonoured_data();
    void settingsAreHonoured();
    void exitStatus_data();
    void exitStatus();
    void controlCharactersStayInert();
    void progressOnATerminalIsErased();
    void unreadableHeaderCacheIsReplaced();

private:
    // A fresh home folder with the settings record and the accounts.
    QString makeHome(const SettingsRecord& settings, const QList<Account>& accounts,
                     bool withSettingsFile = true);
    Result run(const QString& home, const QStringList& arguments);

    DovecotFixture m_dovecot;
    QList<std::shared_ptr<QTemporaryDir>> m_homes;
    QString m_program;
};

void TestCheckCliDovecot::initTestCase()
{
    m_program = QStringLiteral(QUORVAMEL_BIN_DIR) + QStringLiteral("/quorvamel-check");
    QVERIFY2(QFileInfo::exists(m_program),
             "quorvamel-check is not built (cmake --build <dir> --target quorvamel-check)");
    if (DovecotFixture::dovecotBinary().isEmpty())
        QFAIL("Dovecot is not installed (scripts/install-deps.sh installs it)");
    m_dovecot.addUser("alice", "secret1");
    m_dovecot.addUser("bob", "secret2");
    QVERIFY(m_dovecot.writeGeneratedMessages("alice", 3));
    m_dovecot.addUser("carol", "secret3");
    // Terminal escapes raw, as UTF-8 C1, and inside encoded words.
    QVERIFY(!m_dovecot
                 .writeMessage("carol",
                               {"From: \"Mallory\x1b[8m\" <m\x07@example.com>",
                                "Subject: \x1b]0;pwned\x07\x1b[2J \xc2\x9b"
                                "6n =?UTF-8?Q?=1B=5B2J?= =?ISO-8859-1?Q?=9B1m?= end",
                                "Date: Mon, 01 Jan 2024 10:00:00 +0000"},
                               "Hello.\n")
                 .isEmpty());
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
}

QString TestCheckCliDovecot::makeHome(const SettingsRecord& settings,
                                      const QList<Account>& accounts, bool withSettingsFile)
{
    auto dir = std::make_shared<QTemporaryDir>();
    m_homes.append(dir);
    const QString data = dir->path() + QStringLiteral("/Application Data/Quorvamel");
    QDir().mkpath(data);
    if (withSettingsFile)
        writeSettingsFile(data + QStringLiteral("/quorvamel.ini"), settings);
    QList<TestAccount> boxes;
    for (const Account& a : accounts)
        boxes.append({QStringLiteral("Box ") + a.user, a.user, a.password,
                      QStringLiteral("127.0.0.1"), m_dovecot.plainPort(), qint16(a.checked)});
    writeAccounts(data + QLatin1Char('/') + UsersFileName, boxes);
    return dir->path();
}

Result TestCheckCliDovecot::run(const QString& home, const QStringList& arguments)
{
    return runCheckProgram(home, arguments, {}, 60000);
}

void TestCheckCliDovecot::tabSeparatedRows()
{
    const QString home = makeHome(SettingsRecord::templateRecord(),
                                  {{"alice", "secret1", false}, {"bob", "secret2", false}});
    const Result r = run(home, {});
    QCOMPARE(r.exitCode, 0);
    const QString port = QString::number(m_dovecot.plainPort());
    QStringList expected;
    for (int i = 1; i <= 3; ++i) {
        const GeneratedMail m = GeneratedMail::number(i);
        expected.append(
            QStringList{"Box alice", "alice", m.from, m.subject, m.date, "127.0.0.1", port, "new"}
                .join('\t'));
    }
    expected.append("Box bob\tbob\t(no mail)\t(no mail)\t(no mail)\t(no mail)\t(no mail)\tseen");
    QCOMPARE(r.out.split('\n', Qt::SkipEmptyParts), expected);
    // The log on standard error, from the start of the run to its summary.
    const QStringList log = r.err.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(log.contains("..Beginning Process To Check For Mail"), qPrintable(r.err));
    QCOMPARE(log.last(), QStringLiteral("..Check Complete: 3 New Mail Items -Total Items: 3"));
    // Standard error is a pipe here: no progress line, no terminal controls.
    QVERIFY2(!r.err.contains("Checking account"), qPrintable(r.err));
    QVERIFY(!r.err.contains(QLatin1Char('\r')) && !r.err.contains(QLatin1Char('\x1b')));
}

void TestCheckCliDovecot::progressOnATerminalIsErased()
{
    const QString home = makeHome(SettingsRecord::templateRecord(),
                                  {{"alice", "secret1", false}, {"bob", "secret2", false}});
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    CheckCliIo io;
    io.out = &outStream;
    io.err = &errStream;
    io.errIsTerminal = [] { return true; };
    QCOMPARE(runCheckCli({}, home, io), 0);
    errStream.flush();

    const QString erase = QStringLiteral("\r\x1b[K");
    QVERIFY2(err.contains(erase + QStringLiteral("Checking account 1 of 2: message 1 of 3")),
             qPrintable(err));
    QVERIFY(err.contains(erase + QStringLiteral("Checking account 1 of 2: message 3 of 3")));
    // Every progress line is erased before the next log line and at the end:
    // what a terminal shows of each line, the text after its last erase,
    // holds no progress.
    for (const QString& line : err.split(QLatin1Char('\n')))
        QVERIFY2(!line.section(erase, -1).contains(QStringLiteral("Checking account")),
                 qPrintable(line));
    QVERIFY(err.endsWith(QLatin1Char('\n')));
    QCOMPARE(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 4);
}

// A header cache file that cannot be read costs one line on standard
// error; the check lists every row, and its end leaves a good file.
void TestCheckCliDovecot::unreadableHeaderCacheIsReplaced()
{
    const QString home = makeHome(SettingsRecord::templateRecord(), {{"alice", "secret1", false}});
    const QString cachePath = dataFolderOf(home) + QLatin1Char('/') + HeaderCacheFileName;
    QByteArray cut = encodeHeaderCacheFile({{"127.0.0.1", 1, "alice", {{"1", "From: x"}}}});
    cut.chop(1);
    writeBytes(cachePath, cut);

    const Result r = run(home, {"--count"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringLiteral("3\n"));
    const QStringList notes = r.err.split('\n').filter("Header cache");
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].startsWith("quorvamel-check: Header cache thrown away ("), qPrintable(r.err));
    QVERIFY(decodeHeaderCacheFile(fileBytes(cachePath)).has_value());
    QCOMPARE(fileMode(cachePath), mode_t(0600));
}

void TestCheckCliDovecot::jsonAndCount()
{
    const QString home = makeHome(SettingsRecord::templateRecord(),
                                  {{"alice", "secret1", false}, {"bob", "secret2", false}});
    const Result json = run(home, {"--json"});
    QCOMPARE(json.exitCode, 0);
    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8(), &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(rows.size(), 4);
    const QJsonObject first = rows.at(0).toObject();
    QCOMPARE(first.keys(), QStringList({"dateSent", "displayName", "from", "isNew", "port",
                                        "server", "subject", "userName"}));
    QCOMPARE(first.value("from").toString(), GeneratedMail::number(1).from);
    QCOMPARE(first.value("dateSent").toString(), GeneratedMail::number(1).date);
    QCOMPARE(first.value("port").toString(), QString::number(m_dovecot.plainPort()));
    QCOMPARE(first.value("isNew").toBool(), true);
    QCOMPARE(rows.at(3).toObject().value("from").toString(), QStringLiteral("(no mail)"));
    QCOMPARE(rows.at(3).toObject().value("isNew").toBool(), false);

    const Result count = run(home, {"--count"});
    QCOMPARE(count.exitCode, 0);
    QCOMPARE(count.out, QStringLiteral("3\n"));
}

void TestCheckCliDovecot::settingsAreHonoured_data()
{
    QTest::addColumn<int>("checkSelectedOnly");
    QTest::addColumn<int>("useRetr");
    QTest::addColumn<int>("useApop");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("ticked accounts only") << 1 << 0 << 0 << QString() << "0\n"
                                          << "..Beginning Process To Check For Mail (Check-"
                                             "Selected Usernames, Only)";
    QTest::newRow("RETR") << 0 << 1 << 0 << QString() << "3\n"
                          << "..Checking For Mail";
    QTest::newRow("APOP with the stored secret")
        << 0 << 0 << 1 << "secret1"
        << "3\n"
        << "..Check Complete: 3 New Mail Items -Total Items: 3";
    QTest::newRow("APOP without a secret") << 0 << 0 << 1 << QString() << "0\n"
                                           << "APOP Logon Error - No Shared Secret";
}

void TestCheckCliDovecot::settingsAreHonoured()
{
    QFETCH(int, checkSelectedOnly);
    QFETCH(int, useRetr);
    QFETCH(int, useApop);
    QFETCH(QString, secret);
    QFETCH(QString, count);
    QFETCH(QString, logLine);
    SettingsRecord settings = SettingsRecord::templateRecord();
    settings.checkSelectedOnly = qint16(checkSelectedOnly);
    settings.useRetr = qint16(useRetr);
    settings.useApop = qint16(useApop);
    settings.scrambledApopSecret = toAnsi(scrambleSecret(secret));
    // Only bob (no mail) is ticked; APOP cannot log on with a wrong password.
    const QString home = makeHome(
        settings, {{"alice", useApop ? "any" : "secret1", false}, {"bob", "secret2", true}});
    const Result r = run(home, {"--count"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, count);
    QVERIFY2(r.err.split('\n').contains(logLine), qPrintable(r.err));
}

void TestCheckCliDovecot::exitStatus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("setup"); // "accounts", "none", "password", "no settings"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errContains");
    QTest::newRow("help") << QStringList{"--help"} << "accounts" << 0 << QString();
    QTest::newRow("unknown option") << QStringList{"--all"} << "accounts" << 2 << "Usage:";
    QTest::newRow("two formats") << QStringList{"--json", "--count"} << "accounts" << 2 << "Usage:";
    QTest::newRow("halted: no accounts") << QStringList{"--count"} << "none" << 1
                                         << "..Process Halted: No Usernames Are Configured.";
    QTest::newRow("run password without a terminal")
        << QStringList{} << "password" << 2 << "can only be entered on a terminal";
    QTest::newRow("no settings file")
        << QStringList{} << "no settings" << 2 << "Quorvamel Unable To Run: No.. ";
}

void TestCheckCliDovecot::exitStatus()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, setup);
    QFETCH(int, exitCode);
    QFETCH(QString, errContains);
    SettingsRecord settings = SettingsRecord::templateRecord();
    if (setup == QLatin1String("password"))
        settings.scrambledRunPassword = toAnsi(scramblePassword("letmein"));
    QList<Account> accounts;
    if (setup != QLatin1String("none"))
        accounts = {{"alice", "secret1", false}};
    const QString home = makeHome(settings, accounts, setup != QLatin1String("no settings"));
    const Result r = run(home, arguments);
    QCOMPARE(r.exitCode, exitCode);
    if (!errContains.isEmpty())
        QVERIFY2(r.err.contains(errContains), qPrintable(r.err));
    if (exitCode == 0)
        QVERIFY(r.out.startsWith("Usage: quorvamel-check"));
    if (exitCode == 2) {
        QVERIFY(r.out.isEmpty());
        QVERIFY(!r.err.contains("..Beginning Process")); // no run was made
    }
    // Nothing is written into the data folder.
    const QString data = home + QStringLiteral("/Application Data/Quorvamel");
    QCOMPARE(QDir(data).entryList(QDir::Files).contains(UsersFileName), !accounts.isEmpty());
}

// A hostile From and Subject reach the rows only as visible marks; the
// output is UTF-8 throughout, so no byte of it reads as a C1 control.
void TestCheckCliDovecot::controlCharactersStayInert()
{
    const QString home = makeHome(SettingsRecord::templateRecord(), {{"carol", "secret3", false}});
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    process.setProcessEnvironment(env);
    process.start(m_program, QStringList());
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();

    // TAB separates the fields of standard output; the log has none.
    for (const auto& [bytes, tabs] : {std::pair(out, true), std::pair(err, false)}) {
        // Shown escaped: the raw bytes would act on the terminal of the test.
        const QByteArray shown = bytes.toPercentEncoding(" \t\n");
        QVERIFY2(!bytes.contains('\x1b') && !bytes.contains('\x07'), shown.constData());
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(bytes);
        QVERIFY2(!utf8.hasError(), shown.constData());
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            const bool separator = u == '\n' || (u == '\t' && tabs);
            QVERIFY2(separator || !(u < 0x20 || (u >= 0x7f && u <= 0x9f)),
                     qPrintable(QString::number(u, 16)));
        }
    }
    const QStringList rows = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 1);
    const QStringList fields = rows.first().split('\t');
    QCOMPARE(fields.size(), 8);
    QCOMPARE(fields.at(2), QStringLiteral("\"Mallory\u241b[8m\" <m\u2407@example.com>"));
    QCOMPARE(fields.at(3), QStringLiteral("\u241b]0;pwned\u2407\u241b[2J \ufffd6n "
                                          "\u241b[2J\ufffd1m end"));
}

QTEST_GUILESS_MAIN(TestCheckCliDovecot)
#include "test_check_cli_dovecot.moc"
