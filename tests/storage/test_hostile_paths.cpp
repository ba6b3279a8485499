// The data files under hostile local conditions: something other than a
// regular file in a data file's place is refused without blocking, and a
// save never writes through a link: the link becomes the program's own
// regular file, owner-only, and whatever it pointed to stays as it was.
#include "storage/account_record.h"
#include "storage/header_cache_file.h"
#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "storage/trusted_certificates.h"
#include "storage/users_file.h"
#include "support/common_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <sys/sysmacros.h>

namespace {

AccountRecord someAccount()
{
    AccountRecord r;
    r.displayName = QStringLiteral("Amy");
    r.userName = QStringLiteral("amy");
    r.scrambledPassword = QString(64, QLatin1Char('p'));
    r.serverName = QStringLiteral("pop.example.org");
    r.port = 995;
    return r;
}

QList<CachedMailbox> someHeaders()
{
    return {
        {QStringLiteral("pop.example.org"), 995, QStringLiteral("amy"), {{"1", "From: a\r\n"}}}};
}

TrustedCertificates::Entry someCertificate()
{
    return {QStringLiteral("pop.example.org"), 995, QByteArray(32, '\x5a')};
}

// Calls the file function named and tells whether it succeeded; the bytes
// it should leave in the file when it writes.
bool callFileFunction(const QString& name, const QString& path, QByteArray* written = nullptr)
{
    QString error;
    bool ok = false;
    QByteArray expected;
    if (name == "read settings") {
        SettingsRecord record;
        ok = readSettingsFile(path, record, &error);
    } else if (name == "write settings") {
        ok = writeSettingsFile(path, SettingsRecord::templateRecord(), &error);
        expected = SettingsRecord::templateRecord().encode();
    } else if (name == "read users") {
        QList<AccountRecord> records;
        ok = readUsersFile(path, records, &error);
    } else if (name == "write users") {
        ok = writeUsersFile(path, {someAccount()}, &error);
        expected = someAccount().encode();
    } else if (name == "append user") {
        ok = appendUsersRecord(path, someAccount(), &error);
        expected = someAccount().encode();
    } else if (name == "load certificates") {
        TrustedCertificates trusted;
        ok = trusted.load(path, &error);
    } else if (name == "store certificate") {
        TrustedCertificates trusted;
        ok = trusted.store(path, someCertificate(), &error);
        expected = TrustedCertificates::encode({someCertificate()});
    } else if (name == "read header cache") {
        QList<CachedMailbox> mailboxes;
        ok = readHeaderCacheFile(path, 1 << 20, &mailboxes, &error);
    } else if (name == "write header cache") {
        ok = writeHeaderCacheFile(path, someHeaders(), &error);
        expected = encodeHeaderCacheFile(someHeaders());
    }
    if (!ok && error.isEmpty())
        qWarning("%s failed without a reason", qPrintable(name));
    if (written)
        *written = expected;
    return ok;
}

const QStringList readers{"read settings", "read users", "append user", "load certificates",
                          "read header cache"};
const QStringList writers{"write settings", "write users", "append user", "store certificate",
                          "write header cache"};

} // namespace

class TestHostilePaths : public QObject
{
    Q_OBJECT

private slots:
    void readersRefuseWhatIsNoRegularFile_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("object");
        for (const QString& reader : readers) {
            for (const char* object : {"FIFO", "link to a FIFO", "link to a device", "folder"})
                QTest::newRow(qPrintable(reader + ", " + object)) << reader << object;
        }
    }

    void readersRefuseWhatIsNoRegularFile()
    {
        QFETCH(QString, function);
        QFETCH(QString, object);
        QTemporaryDir dir;
        const QString path = dir.filePath("data-file");
        const QString fifo = dir.filePath("fifo");
        makeFifo(fifo);
        bool makeDevice = false;
        if (object == "FIFO")
            QCOMPARE(::rename(QFile::encodeName(fifo), QFile::encodeName(path)), 0);
        else if (object == "link to a FIFO")
            QVERIFY(QFile::link(fifo, path));
        else if (object == "link to a device")
            makeDevice = true;
        else
            QVERIFY(QDir().mkdir(path));
        if (makeDevice) {
            // Like /dev/zero, but in the test's own folder: a faulty save
            // through the link must not replace a system file.
            const QString device = dir.filePath("zero");
            if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 5)) != 0)
                QSKIP("making a device node needs root");
            QVERIFY(QFile::link(device, path));
        }
        const QString blocking = object == "FIFO" ? path : fifo;
        const mode_t typeBefore = entryType(path);

        bool ok = true;
        QVERIFY2(returnsDespiteFifo(blocking, [&] { ok = callFileFunction(function, path); }),
                 "blocked on the FIFO");
        QVERIFY(!ok);
        QCOMPARE(entryType(path), typeBefore);
    }

    void savesReplaceALinkAndLeaveItsTarget_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<bool>("targetExists");
        for (const QString& writer : writers) {
            QTest::newRow(qPrintable(writer + ", link to a file")) << writer << true;
            QTest::newRow(qPrintable(writer + ", link to nothing")) << writer << false;
        }
        // A missing users file is created empty on reading.
        QTest::newRow("read users, link to nothing") << "read users" << false;
    }

    void savesReplaceALinkAndLeaveItsTarget()
    {
        QFETCH(QString, function);
        QFETCH(bool, targetExists);
        QTemporaryDir data, outside;
        const QString path = data.filePath("data-file");
        const QString target = outside.filePath("elsewhere");
        const QByteArray outsideBytes = "not the program's";
        if (targetExists) {
            writeBytes(target, outsideBytes);
            QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ReadGroup |
                                                      QFileDevice::ReadOther));
        }
        QVERIFY(QFile::link(target, path));

        QByteArray written;
        QVERIFY(callFileFunction(function, path, &written));

        QCOMPARE(entryType(path), mode_t(S_IFREG));
        QCOMPARE(fileMode(path), mode_t(0600));
        QCOMPARE(fileBytes(path), written);
        if (targetExists) {
            QCOMPARE(fileBytes(target), outsideBytes);
            QCOMPARE(fileMode(target), mode_t(0644));
        } else {
            QCOMPARE(entryType(target), mode_t(0));
        }
        QCOMPARE(
            QDir(outside.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            targetExists ? QStringList{"elsewhere"} : QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestHostilePaths)
#include "test_hostile_paths.moc"
