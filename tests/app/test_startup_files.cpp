// The data folder and its files as a hostile machine may leave them: a FIFO
// (or any non-regular file) in a data file's place stops both programs at
// start with "Unable To Run" and the file's step, unopened; a link that
// points nowhere never makes the first start write outside the data
// folder; a folder or file left open to others is made owner-only.
#include "app/startup.h"
#include "startup_machine.h"
#include "storage/settings_record.h"
#include "support/common_files.h"
#include "support/common_scripted_prompter.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Machine : StartupMachine
{
    // The template beside the program, and the data folder made by an
    // earlier start.
    void prepare()
    {
        installTemplate(SettingsRecord::templateRecord().encode());
        QVERIFY(QDir().mkpath(dataFolder()));
        QVERIFY(QFile::setPermissions(dataFolder(), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner));
    }
};

struct CheckOutcome
{
    bool finished = false;
    int exitCode = -1;
    QString errors;
};

CheckOutcome runCheckProgram(const QString& home)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUORVAMEL_BIN_DIR "/quorvamel-check"), {});
    CheckOutcome outcome;
    outcome.finished = process.waitForFinished(10000);
    if (!outcome.finished) {
        process.kill();
        process.waitForFinished();
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.errors = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

QString unableToRun(const QString& path)
{
    return "Quorvamel Unable To Run: No.. " + path + " ..Or Error Opening Or Reading It";
}

} // namespace

class TestStartupFiles : public QObject
{
    Q_OBJECT

private slots:
    void fifoInADataFileStopsTheStart_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("window"); // else quorvamel-check
        for (const char* file : {"quorvamel.ini", "pop3user.ini", "trusted-certificates.txt"}) {
            QTest::newRow(qPrintable(QString("window, ") + file)) << file << true;
            QTest::newRow(qPrintable(QString("quorvamel-check, ") + file)) << file << false;
        }
    }

    void fifoInADataFileStopsTheStart()
    {
        QFETCH(QString, file);
        QFETCH(bool, window);
        Machine m;
        m.prepare();
        if (file != "quorvamel.ini")
            writeBytes(m.dataFile("quorvamel.ini"), SettingsRecord::templateRecord().encode());
        const QString fifo = m.dataFile(file);
        makeFifo(fifo);

        if (window) {
            StartupResult r;
            QVERIFY2(returnsDespiteFifo(fifo, [&] { r = m.start(); }), "blocked on the FIFO");
            QCOMPARE(r.outcome, StartupResult::Failed);
            QCOMPARE(m.prompter.texts(), QStringList{unableToRun(fifo)});
            QCOMPARE(m.prompter.messageKinds(), QList<MessageKind>{MessageKind::Error});
        } else {
            const CheckOutcome check = runCheckProgram(m.home.path());
            QVERIFY2(check.finished, "blocked on the FIFO");
            QCOMPARE(check.exitCode, 2);
            QCOMPARE(check.errors.trimmed(), unableToRun(fifo));
        }
        QCOMPARE(entryType(fifo), mode_t(S_IFIFO));
    }

    void linkToNowhereGetsTheTemplateInTheDataFolder()
    {
        Machine m;
        m.prepare();
        QTemporaryDir outside;
        const QString settings = m.dataFile("quorvamel.ini");
        QVERIFY(QFile::link(outside.filePath("planted.ini"), settings));

        QCOMPARE(m.start().outcome, StartupResult::ShowWindow);

        QCOMPARE(entryType(settings), mode_t(S_IFREG));
        QCOMPARE(fileMode(settings), mode_t(0600));
        QCOMPARE(fileBytes(settings), SettingsRecord::templateRecord().encode());
        QVERIFY(
            QDir(outside.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
    }

    void looseModesAreMadeOwnerOnly()
    {
        Machine m;
        m.prepare();
        QTemporaryDir outside;
        const QByteArray record = SettingsRecord::templateRecord().encode();
        writeBytes(m.dataFile("quorvamel.ini"), record);
        writeBytes(m.dataFile("pop3user.ini"), QByteArray());
        const QString elsewhere = outside.filePath("certificates");
        writeBytes(elsewhere, "# Quorvamel trusted certificates 1\n");
        QVERIFY(QFile::link(elsewhere, m.dataFile("trusted-certificates.txt")));
        const auto setMode = [](const QString& path, mode_t mode) {
            return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
        };
        QVERIFY(setMode(m.dataFolder(), 0755));
        QVERIFY(setMode(m.dataFile("quorvamel.ini"), 0644));
        QVERIFY(setMode(m.dataFile("pop3user.ini"), 0666));
        QVERIFY(setMode(elsewhere, 0644));

        QCOMPARE(m.start().outcome, StartupResult::ShowWindow);

        QCOMPARE(fileMode(m.dataFolder()), mode_t(0700));
        QCOMPARE(fileMode(m.dataFile("quorvamel.ini")), mode_t(0600));
        QCOMPARE(fileMode(m.dataFile("pop3user.ini")), mode_t(0600));
        // A link is not followed: what it points to keeps its mode.
        QCOMPARE(entryType(m.dataFile("trusted-certificates.txt")), mode_t(S_IFLNK));
        QCOMPARE(fileMode(elsewhere), mode_t(0644));
        QCOMPARE(fileBytes(m.dataFile("quorvamel.ini")), record);
    }
};

QTEST_GUILESS_MAIN(TestStartupFiles)
#include "test_startup_files.moc"
