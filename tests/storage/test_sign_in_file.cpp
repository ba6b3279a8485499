#include "storage/sign_in_file.h"
#include "storage/users_file.h"
#include "support/common_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

Q_DECLARE_METATYPE(SignInFileContent::Outcome)

namespace {

SignInFileEntry everyField()
{
    SignInFileEntry entry;
    entry.server = QStringLiteral("pop.exämple.org");
    entry.port = 995;
    entry.userName = QStringLiteral("zoë@例え.jp");
    entry.signIn.method = SignInMethod::OAuth2;
    entry.signIn.secretOrigin = SecretOrigin::Command;
    entry.signIn.secretCommand = {QStringLiteral("/opt/my tools/pass"), QStringLiteral("show"),
                                  QStringLiteral("mail/zoë account"), QStringLiteral(""),
                                  QStringLiteral("$HOME \"quoted\" ;|")};
    entry.signIn.oauth = {
        QStringLiteral("Microsoft"), QStringLiteral("client-Ω"),
        QUrl(QStringLiteral("https://login.example/authorize?x=1")),
        QUrl(QStringLiteral("https://login.example/token")),
        QStringLiteral("offline_access https://outlook.example/POP.AccessAsUser")};
    entry.signIn.oauth.provider = QStringLiteral("Microsoft");
    entry.tokens = OAuthTokens{QStringLiteral("refresh-✓"), QStringLiteral("access-token"),
                               QDateTime(QDate(2026, 12, 11), QTime(10, 5, 7, 123), Qt::UTC)};
    return entry;
}

SignInFileEntry scramFromStore()
{
    SignInFileEntry entry;
    entry.server = QStringLiteral("mail.example.net");
    entry.port = 110;
    entry.userName = QStringLiteral("bob");
    entry.signIn.method = SignInMethod::Scram;
    entry.signIn.secretOrigin = SecretOrigin::SecretStore;
    return entry;
}

} // namespace

// The owner-only sign-in file: what is written is read back exactly, and a
// file that cannot be used is put aside with a reason, never overwritten in
// silence.
class TestSignInFile : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldSurvivesTheRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(SignInFileName);
        SignInFileEntry noExpiry = everyField();
        noExpiry.port = 1;
        noExpiry.tokens->accessExpiry = {};
        const QList<SignInFileEntry> entries{everyField(), scramFromStore(), noExpiry};

        QString error;
        QVERIFY2(writeSignInFile(path, entries, &error), qPrintable(error));
        QCOMPARE(fileMode(path), mode_t(0600));
        const SignInFileContent read = readSignInFile(path);
        QCOMPARE(read.outcome, SignInFileContent::Outcome::Read);
        QVERIFY(read.warning.isEmpty());
        QCOMPARE(read.entries, entries);
        QVERIFY(!read.entries.at(1).tokens.has_value());
    }

    void missingFileIsAnEmptyChoice()
    {
        QTemporaryDir dir;
        const SignInFileContent read = readSignInFile(dir.filePath(SignInFileName));
        QCOMPARE(read.outcome, SignInFileContent::Outcome::Missing);
        QVERIFY(read.entries.isEmpty());
        QVERIFY(read.warning.isEmpty());
    }

    void unusableFileIsPutAsideWithItsReason_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");

        const QByteArray good = encodeSignInFile({everyField()});
        QTest::newRow("cut") << good.left(good.size() / 2) << "not JSON";
        QTest::newRow("empty") << QByteArray() << "not JSON";
        QTest::newRow("binary") << QByteArray("\x00\xff\x01garbage", 10) << "not JSON";
        QTest::newRow("other json") << QByteArray(R"({"accounts":[]})") << "not a sign-in file";
        QByteArray newer = good;
        newer.replace("\"version\": 1", "\"version\": 2");
        QTest::newRow("newer version") << newer << "format version 2";
        QTest::newRow("version as text")
            << QByteArray(R"({"format":"quorvamel-sign-in","version":"1","accounts":[]})")
            << "format version";
        QByteArray badMethod = good;
        badMethod.replace("\"oauth2\"", "\"kerberos\"");
        QTest::newRow("unknown method") << badMethod << "\"method\"";
        QByteArray badPort = good;
        badPort.replace("\"port\": 995", "\"port\": 99.5");
        QTest::newRow("fractional port") << badPort << "\"port\"";
        QByteArray badArgument = good;
        badArgument.replace("\"show\"", "7");
        QTest::newRow("number in command") << badArgument << "\"command\"";
        QByteArray badExpiry = good;
        badExpiry.replace("2026-12-11T10:05:07.123Z", "yesterday");
        QTest::newRow("bad expiry") << badExpiry << "\"accessExpiry\"";
        QByteArray noUser = good;
        noUser.replace("\"user\"", "\"usr\"");
        QTest::newRow("user missing") << noUser << "\"user\"";
        QByteArray oversized = good;
        oversized.insert(oversized.lastIndexOf('}'),
                         ",\"pad\":\"" + QByteArray(SignInFileMaxBytes, 'x') + "\"");
        QTest::newRow("oversized") << oversized << "larger than";
    }

    void unusableFileIsPutAsideWithItsReason()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(SignInFileName);
        writeBytes(path, bytes);

        const SignInFileContent read = readSignInFile(path);
        QCOMPARE(read.outcome, SignInFileContent::Outcome::SetAside);
        QVERIFY(read.entries.isEmpty());
        QVERIFY2(read.warning.contains(reason), qPrintable(read.warning));
        QVERIFY(read.warning.contains(path + SignInFileDamagedSuffix));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(fileBytes(path + SignInFileDamagedSuffix), bytes);
    }

    // A later damaged file replaces the earlier one set aside; the users
    // file beside them keeps its bytes through writes, reads and set-asides.
    void usersFileBesideKeepsItsBytes()
    {
        QTemporaryDir dir;
        const QString users = dir.filePath(UsersFileName);
        QByteArray usersBytes(300, '\0');
        usersBytes.replace(0, 5, "alice");
        writeBytes(users, usersBytes);
        const QString path = dir.filePath(SignInFileName);

        QVERIFY(writeSignInFile(path, {everyField()}));
        QCOMPARE(readSignInFile(path).entries.size(), 1);
        writeBytes(path, "first damage");
        QCOMPARE(readSignInFile(path).outcome, SignInFileContent::Outcome::SetAside);
        writeBytes(path, "second damage");
        QCOMPARE(readSignInFile(path).outcome, SignInFileContent::Outcome::SetAside);
        QCOMPARE(fileBytes(path + SignInFileDamagedSuffix), QByteArray("second damage"));
        QVERIFY(writeSignInFile(path, {}));

        QCOMPARE(fileBytes(users), usersBytes);
        QCOMPARE(fileMode(path), mode_t(0600));
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files, QDir::Name),
            QStringList({UsersFileName, SignInFileName, SignInFileName + SignInFileDamagedSuffix}));
    }

    // A FIFO in the file's place is neither waited on nor taken for content.
    void fifoIsRefusedWithoutWaiting()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(SignInFileName);
        makeFifo(path);
        SignInFileContent read;
        QVERIFY(returnsDespiteFifo(path, [&] { read = readSignInFile(path); }));
        QCOMPARE(read.outcome, SignInFileContent::Outcome::SetAside);
        QVERIFY(read.warning.contains("cannot be read"));
    }
};

QTEST_GUILESS_MAIN(TestSignInFile)
#include "test_sign_in_file.moc"
