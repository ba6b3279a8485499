// A save killed at any moment leaves the data file whole: exactly the old
// or the new content, never a mix or a cut, and owner-only. A child process
// (this program started again with --save-loop) saves two contents by
// turns as fast as it can and is killed with SIGKILL at random moments.
#include "storage/account_record.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/users_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>

namespace {

const char* const saveLoopFlag = "--save-loop";
constexpr int killsPerFile = 200;

// The two settings records differ in fields spread over the record; the
// record has one fixed size, so only the users file changes its length.
SettingsRecord settingsVariant(int which)
{
    SettingsRecord record = SettingsRecord::templateRecord();
    if (which == 1) {
        record.textFontName = QStringLiteral("Courier New");
        record.textFontSize = 12;
        record.scrambledApopSecret = QByteArray(256, 'S');
        record.scrambledRunPassword = QByteArray(64, 'R');
    }
    return record;
}

QList<AccountRecord> usersVariant(int which)
{
    QList<AccountRecord> records;
    const int count = which == 0 ? 1 : 3;
    for (int i = 0; i < count; ++i) {
        AccountRecord r;
        r.displayName = QStringLiteral("Account %1 of variant %2").arg(i).arg(which);
        r.userName = QStringLiteral("user%1").arg(i);
        r.scrambledPassword = QString(64, QLatin1Char(char('a' + which)));
        r.serverName = QStringLiteral("pop%1.example.org").arg(i);
        records.append(r);
    }
    return records;
}

bool saveVariant(const QString& kind, const QString& path, int which)
{
    if (kind == QLatin1String("settings"))
        return writeSettingsFile(path, settingsVariant(which));
    return writeUsersFile(path, usersVariant(which));
}

// The bytes each variant leaves in the file, as a completed save writes them.
QByteArray savedBytes(const QString& kind, int which)
{
    if (kind == QLatin1String("settings"))
        return settingsVariant(which).encode();
    QByteArray bytes;
    for (const AccountRecord& r : usersVariant(which))
        bytes += r.encode();
    return bytes;
}

// The child: saves the two variants by turns until it is killed. "ready"
// goes out once the first save is done, so every kill lands in the loop.
int saveLoop(const QString& kind, const QString& path)
{
    for (int which = 1, n = 0;; which = 1 - which, ++n) {
        if (!saveVariant(kind, path, which))
            return 3;
        if (n == 0) {
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
}

// Names in the folder other than the data file.
QStringList strayFiles(const QString& folder, const QString& fileName)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(fileName);
    return names;
}

} // namespace

class TestCrashSafety : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileSaving_data();
    void killedWhileSaving();
};

void TestCrashSafety::killedWhileSaving_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("settings file") << "settings"
                                   << "quorvamel.ini";
    QTest::newRow("users file") << "users" << UsersFileName;
}

void TestCrashSafety::killedWhileSaving()
{
    QFETCH(QString, kind);
    QFETCH(QString, fileName);
    const QByteArray contents[2] = {savedBytes(kind, 0), savedBytes(kind, 1)};
    QVERIFY(contents[0] != contents[1]);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(fileName);
    QVERIFY(saveVariant(kind, path, 0));
    QFile check(path);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), contents[0]); // the expected bytes are what a save writes
    check.close();

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    const QString why = QStringLiteral("seed %1, kill %2");
    int seen[2] = {0, 0};
    QSet<QString> strays;
    QElapsedTimer clock;
    clock.start();
    for (int kill = 0; kill < killsPerFile; ++kill) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(saveLoopFlag), kind, path});
        QVERIFY2(child.waitForStarted(10000), qPrintable(why.arg(seed).arg(kill)));
        QVERIFY2(child.waitForReadyRead(10000), qPrintable(child.readAllStandardError()));
        // Random moments within a few save cycles.
        QThread::usleep(random.bounded(8000));
        child.kill(); // SIGKILL: no handler, no clean-up of any kind
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(why.arg(seed).arg(kill)));
        const QByteArray now = file.readAll();
        const int which = now == contents[0] ? 0 : now == contents[1] ? 1 : -1;
        QVERIFY2(which >= 0,
                 qPrintable(why.arg(seed).arg(kill) +
                            QStringLiteral(": %1 bytes, neither old nor new").arg(now.size())));
        ++seen[which];
        QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther |
                                       QFile::WriteOther | QFile::ExeOwner),
                 QFile::Permissions());
        // A kill between naming the finished temporary file and moving it
        // over the data file leaves that name behind: it must be complete
        // and owner-only, never a cut file.
        for (const QString& name : strayFiles(dir.path(), fileName)) {
            strays.insert(name);
            QFile stray(dir.filePath(name));
            QVERIFY(stray.open(QIODevice::ReadOnly));
            const QByteArray bytes = stray.readAll();
            QVERIFY2(bytes == contents[0] || bytes == contents[1], qPrintable(name));
            QCOMPARE(stray.permissions() & (QFile::ReadGroup | QFile::ReadOther),
                     QFile::Permissions());
        }
    }
    // The kills fell on both sides of the switch, so both outcomes were met.
    QVERIFY2(seen[0] > 0 && seen[1] > 0,
             qPrintable(QStringLiteral("old %1, new %2").arg(seen[0]).arg(seen[1])));

    qInfo("%s: %d kills in %lld ms, first content found %d times, second %d, %d stray files "
          "met",
          qPrintable(kind), killsPerFile, clock.elapsed(), seen[0], seen[1], int(strays.size()));
    // Only a kill inside that short window leaves a name, so most do not; a
    // save that left one every time would leave about one per kill. How
    // many land in the window depends on the disk and the load (up to 12 of
    // 200 seen under a sanitizer on a busy machine): the bound is loose.
    QVERIFY2(strays.size() <= killsPerFile / 4, qPrintable(QStringList(strays.values()).join(' ')));
    // The next save still replaces the file whole and clears what killed
    // saves left behind.
    QVERIFY(saveVariant(kind, path, 0));
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), contents[0]);
    QCOMPARE(strayFiles(dir.path(), fileName), QStringList());
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], saveLoopFlag) == 0) {
        QCoreApplication app(argc, argv);
        return saveLoop(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestCrashSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_crash_safety.moc"
