// Account records and the users file as read from a damaged or hostile file.
#include "fuzz_check.h"
#include "storage/account_record.h"
#include "storage/users_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace {

constexpr qint64 recordSize = AccountRecord::Size;

// Records in a file of that length, in whole numbers apart from the code
// under test: length / size to the nearest, a half to the even one.
qint64 expectedCount(qint64 length)
{
    if (length <= 0)
        return 0;
    const qint64 whole = length / recordSize;
    const qint64 rest = length % recordSize;
    if (2 * rest < recordSize)
        return whole;
    if (2 * rest > recordSize)
        return whole + 1;
    return whole % 2 == 0 ? whole : whole + 1;
}

bool sameRecord(const AccountRecord& a, const AccountRecord& b)
{
    return a.displayName == b.displayName && a.userName == b.userName &&
           a.scrambledPassword == b.scrambledPassword && a.serverName == b.serverName &&
           a.port == b.port && a.checked == b.checked;
}

QString usersPath()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/quorvamel-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/quorvamel-fuzz-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    return dir.filePath(UsersFileName);
}

void checkOneRecord(const QByteArray& bytes)
{
    const QByteArray full = AccountRecord::completeBytes(bytes);
    FUZZ_CHECK(full.size() == recordSize);
    FUZZ_CHECK(full.startsWith(bytes.left(recordSize)));
    for (qsizetype i = bytes.size(); i < recordSize; ++i)
        FUZZ_CHECK(full.at(i) == (i < 448 ? ' ' : '\0'));

    const AccountRecord record = AccountRecord::decode(bytes);
    FUZZ_CHECK(record.port == qFromLittleEndian<std::int32_t>(full.constData() + 448));
    FUZZ_CHECK(record.checked == qFromLittleEndian<std::int16_t>(full.constData() + 452));
    // What is read is what is written back, byte for byte.
    FUZZ_CHECK(record.encode() == full);
    FUZZ_CHECK(sameRecord(AccountRecord::decode(record.encode()), record));
}

void checkUsersFile(const QByteArray& bytes)
{
    const QString path = usersPath();
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    QList<AccountRecord> records;
    FUZZ_CHECK(readUsersFile(path, records));
    FUZZ_CHECK(records.size() == expectedCount(bytes.size()));
    for (qsizetype i = 0; i < records.size(); ++i)
        FUZZ_CHECK(
            sameRecord(records[i], AccountRecord::decode(bytes.mid(i * recordSize, recordSize))));

    // Written back and read again: the same records.
    FUZZ_CHECK(writeUsersFile(path, records));
    QList<AccountRecord> reread;
    FUZZ_CHECK(readUsersFile(path, reread));
    FUZZ_CHECK(reread.size() == records.size());
    for (qsizetype i = 0; i < records.size(); ++i)
        FUZZ_CHECK(sameRecord(reread[i], records[i]));
    QFile::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkOneRecord(bytes);
    checkOneRecord(bytes.mid(recordSize));

    // The count for any length a file system may report.
    if (size >= 8) {
        const qint64 length = qFromLittleEndian<qint64>(data);
        const qint64 count = usersRecordCount(length);
        const qint64 expected = expectedCount(length);
        FUZZ_CHECK(count == qMin<qint64>(expected, std::numeric_limits<int>::max()));
    }
    FUZZ_CHECK(usersRecordCount(qint64(size)) == expectedCount(qint64(size)));
    checkUsersFile(bytes);
    return 0;
}
