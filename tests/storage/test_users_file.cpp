#include "storage/users_file.h"
#include "support/common_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <memory>

namespace {

// One record laid out by hand at the offsets of the users-file table.
QByteArray recordBytes(const QByteArray& display, const QByteArray& user,
                       const QByteArray& password, const QByteArray& server, qint32 port,
                       qint16 checked)
{
    QByteArray b(454, ' ');
    b.replace(0, display.size(), display);
    b.replace(64, user.size(), user);
    b.replace(128, password.size(), password);
    b.replace(192, server.size(), server);
    qToLittleEndian(port, b.data() + 448);
    qToLittleEndian(checked, b.data() + 452);
    return b;
}

AccountRecord sampleRecord(int n)
{
    AccountRecord r;
    r.displayName = QStringLiteral("Name %1").arg(n);
    r.userName = QStringLiteral("user%1").arg(n);
    r.scrambledPassword = QString(64, QChar('a' + n));
    r.serverName = QStringLiteral("pop%1.example.org").arg(n);
    r.port = 110 + n;
    r.checked = qint16(n % 2);
    return r;
}

} // namespace

class TestUsersFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void recordAtItsOffsets();
    void longFieldsAreCut();
    void recordCount_data();
    void recordCount();
    void shortLastRecordReadsBlanksAndZero();
    void tieLengthDropsTheHalfRecord();
    void garbageFileDoesNotFail();
    void hugeFileIsRefusedUnread_data();
    void hugeFileIsRefusedUnread();
    void missingFileIsCreatedEmptyOwnerOnly();
    void writeReplacesWholeOwnerOnly();
    void emptyListDeletesFile();
    void appendGoesAfterCountedRecords_data();
    void appendGoesAfterCountedRecords();

private:
    QString path() const { return m_dir->filePath(UsersFileName); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestUsersFile::recordAtItsOffsets()
{
    AccountRecord r;
    r.displayName = QStringLiteral("Home \u00e9");
    r.userName = QStringLiteral("bob");
    r.scrambledPassword = QString(64, QChar('#'));
    r.serverName = QStringLiteral("pop.example.org");
    r.port = 995;
    r.checked = 1;
    const QByteArray expected =
        recordBytes("Home \xe9", "bob", QByteArray(64, '#'), "pop.example.org", 995, 1);
    QCOMPARE(r.encode(), expected);

    const AccountRecord back = AccountRecord::decode(expected);
    QCOMPARE(back.displayName, QStringLiteral("Home \u00e9") + QString(58, QChar(' ')));
    QCOMPARE(back.scrambledPassword, QString(64, QChar('#')));
    QCOMPARE(back.serverName.trimmed(), QStringLiteral("pop.example.org"));
    QCOMPARE(back.port, 995);
    QCOMPARE(back.checked, qint16(1));
}

void TestUsersFile::longFieldsAreCut()
{
    AccountRecord r;
    r.displayName = QString(70, QChar('d'));
    r.serverName = QString(300, QChar('s'));
    const QByteArray bytes = r.encode();
    QCOMPARE(bytes.size(), 454);
    QCOMPARE(bytes.mid(0, 64), QByteArray(64, 'd'));
    QCOMPARE(bytes.mid(192, 256), QByteArray(256, 's'));
    QCOMPARE(qFromLittleEndian<qint32>(bytes.constData() + 448), 0);
}

void TestUsersFile::recordCount_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("count");
    QTest::newRow("empty") << qint64(0) << 0;
    QTest::newRow("226") << qint64(226) << 0;
    QTest::newRow("227: half to even 0") << qint64(227) << 0;
    QTest::newRow("228") << qint64(228) << 1;
    QTest::newRow("454") << qint64(454) << 1;
    QTest::newRow("1.5 records: 2") << qint64(681) << 2;
    QTest::newRow("2 x 454 + 227: 2") << qint64(2 * 454 + 227) << 2;
    QTest::newRow("2 x 454 + 300: 3") << qint64(2 * 454 + 300) << 3;
    QTest::newRow("3 x 454") << qint64(3 * 454) << 3;
}

void TestUsersFile::recordCount()
{
    QFETCH(qint64, length);
    QFETCH(int, count);
    QCOMPARE(usersRecordCount(length), count);
}

void TestUsersFile::shortLastRecordReadsBlanksAndZero()
{
    // The file ends 2 bytes into the Port field of its second record.
    const QByteArray second =
        recordBytes("Cut", "carol", QByteArray(64, 'p'), "pop.cut.example", 0x00051234, 1);
    writeBytes(path(), sampleRecord(1).encode() + second.left(450));

    QList<AccountRecord> records;
    QVERIFY(readUsersFile(path(), records));
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].userName.trimmed(), QStringLiteral("user1"));
    QCOMPARE(records[1].userName.trimmed(), QStringLiteral("carol"));
    QCOMPARE(records[1].serverName.trimmed(), QStringLiteral("pop.cut.example"));
    QCOMPARE(records[1].port, 0x1234); // the two missing bytes read as zero
    QCOMPARE(records[1].checked, qint16(0));

    // Cut inside the server name: the rest of the text is blank.
    writeBytes(path(), sampleRecord(1).encode() + second.left(200));
    QVERIFY(readUsersFile(path(), records));
    QCOMPARE(records.size(), 1);
    writeBytes(path(), sampleRecord(1).encode() + second.left(230));
    QVERIFY(readUsersFile(path(), records));
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[1].serverName, QStringLiteral("pop.cut.example") + QString(241, QChar(' ')));
    QCOMPARE(records[1].port, 0);
}

void TestUsersFile::tieLengthDropsTheHalfRecord()
{
    writeBytes(path(), sampleRecord(1).encode() + sampleRecord(2).encode() +
                           sampleRecord(3).encode().left(227));
    QList<AccountRecord> records;
    QVERIFY(readUsersFile(path(), records));
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[1].encode(), sampleRecord(2).encode());
}

void TestUsersFile::garbageFileDoesNotFail()
{
    QByteArray garbage;
    for (int i = 0; i < 10000; ++i)
        garbage.append(char((i * 7919) % 256));
    writeBytes(path(), garbage);
    QList<AccountRecord> records;
    QVERIFY(readUsersFile(path(), records));
    QCOMPARE(records.size(), 22);
    QCOMPARE(records[0].scrambledPassword.size(), 64);
}

void TestUsersFile::hugeFileIsRefusedUnread_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("readable");
    QTest::newRow("at the limit") << qint64(MaxUsersRecords) * AccountRecord::Size << true;
    QTest::newRow("one record more") << qint64(MaxUsersRecords + 1) * AccountRecord::Size << false;
    QTest::newRow("sparse 64 GB") << (qint64(64) << 30) << false;
}

void TestUsersFile::hugeFileIsRefusedUnread()
{
    QFETCH(qint64, length);
    QFETCH(bool, readable);
    {
        QFile f(path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(length)); // sparse: no disk space taken
    }
    QList<AccountRecord> records;
    QString error;
    QCOMPARE(readUsersFile(path(), records, &error), readable);
    QCOMPARE(records.size(), readable ? MaxUsersRecords : 0);
    QCOMPARE(error.isEmpty(), readable);
    QCOMPARE(QFileInfo(path()).size(), length); // never rewritten
}

void TestUsersFile::missingFileIsCreatedEmptyOwnerOnly()
{
    QList<AccountRecord> records{sampleRecord(1)};
    QVERIFY(readUsersFile(path(), records));
    QVERIFY(records.isEmpty());
    QVERIFY(QFile::exists(path()));
    QCOMPARE(QFile(path()).size(), 0);
    QCOMPARE(fileMode(path()), mode_t(0600));

    QString error;
    QVERIFY(!readUsersFile(path() + QStringLiteral("/inside-a-file"), records, &error));
    QVERIFY(!error.isEmpty());
}

void TestUsersFile::writeReplacesWholeOwnerOnly()
{
    writeBytes(path(), QByteArray(5000, 'x'));
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ReadGroup | QFileDevice::ReadOther);
    QVERIFY(writeUsersFile(path(), {sampleRecord(1), sampleRecord(2)}));
    QCOMPARE(fileBytes(path()), sampleRecord(1).encode() + sampleRecord(2).encode());
    QCOMPARE(fileMode(path()), mode_t(0600));
}

void TestUsersFile::emptyListDeletesFile()
{
    writeBytes(path(), sampleRecord(1).encode());
    QVERIFY(writeUsersFile(path(), {}));
    QVERIFY(!QFile::exists(path()));
    QVERIFY(writeUsersFile(path(), {})); // already gone: no failure
}

void TestUsersFile::appendGoesAfterCountedRecords_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray one = sampleRecord(1).encode();
    const QByteArray two = sampleRecord(2).encode();
    const QByteArray added = sampleRecord(9).encode();
    // A counted last record the file ends inside is completed as it reads.
    const QByteArray completed = two.left(300) + QByteArray(148, ' ') + QByteArray(6, '\0');
    QTest::newRow("missing file") << QByteArray() << added;
    QTest::newRow("whole records") << one + two << one + two + added;
    QTest::newRow("2.5 records: third dropped") << one + two + two.left(227) << one + two + added;
    QTest::newRow("2 records + 300 bytes: fourth")
        << one + one + two.left(300) << one + one + completed + added;
}

void TestUsersFile::appendGoesAfterCountedRecords()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        writeBytes(path(), before);
    else
        QFile::remove(path());
    QVERIFY(appendUsersRecord(path(), sampleRecord(9)));
    QCOMPARE(fileBytes(path()), after);
    QCOMPARE(fileMode(path()), mode_t(0600));
}

QTEST_GUILESS_MAIN(TestUsersFile)
#include "test_users_file.moc"
