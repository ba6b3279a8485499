#include "storage/users_file.h"

#include "storage/atomic_file.h"
#include "storage/file_checks.h"

#include <QFile>
#include <algorithm>
#include <limits>

namespace {

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// The counted records as bytes: whole records as they are, a last record
// the file ends inside completed as decode reads it, bytes past the last
// counted record dropped.
bool readCountedBytes(const QString& path, QByteArray& out, QString* error)
{
    QFile file;
    if (!openRegularFile(file, path, error))
        return false;
    const qint64 length = file.size();
    // A damaged (or sparse) file of gigabytes must not be read into memory.
    if (usersRecordCount(length) > MaxUsersRecords) {
        setError(error, QStringLiteral("The users file is too large (%1 bytes)").arg(length));
        return false;
    }
    const qint64 wanted = qint64(usersRecordCount(length)) * AccountRecord::Size;
    out = file.read(std::min(length, wanted));
    if (file.error() != QFileDevice::NoError) {
        setError(error, file.errorString());
        return false;
    }
    const qsizetype partial = out.size() % AccountRecord::Size;
    if (out.size() < wanted && partial > 0)
        out = out.left(out.size() - partial) + AccountRecord::completeBytes(out.right(partial));
    return true;
}

} // namespace

int usersRecordCount(qint64 fileLength)
{
    if (fileLength <= 0)
        return 0;
    // Whole numbers throughout: a huge length (a sparse or damaged file)
    // must neither lose precision in a double nor overflow the int.
    const qint64 whole = fileLength / AccountRecord::Size;
    const qint64 twiceRest = 2 * (fileLength % AccountRecord::Size);
    qint64 count = whole;
    if (twiceRest > AccountRecord::Size || (twiceRest == AccountRecord::Size && whole % 2 != 0))
        ++count;
    return int(std::min<qint64>(count, std::numeric_limits<int>::max()));
}

bool readUsersFile(const QString& path, QList<AccountRecord>& out, QString* error)
{
    out.clear();
    // Created through the atomic write, so a link that points nowhere is
    // replaced here rather than followed out of the data folder.
    if (pathKind(path) == PathKind::Missing)
        return writeFileAtomically(path, QByteArray(), error);
    QByteArray bytes;
    if (!readCountedBytes(path, bytes, error))
        return false;
    for (qsizetype at = 0; at < bytes.size(); at += AccountRecord::Size)
        out.append(AccountRecord::decode(bytes.mid(at, AccountRecord::Size)));
    return true;
}

bool writeUsersFile(const QString& path, const QList<AccountRecord>& records, QString* error)
{
    if (records.isEmpty()) {
        QFile::remove(path);
        return true;
    }
    QByteArray bytes;
    bytes.reserve(records.size() * AccountRecord::Size);
    for (const AccountRecord& record : records)
        bytes += record.encode();
    return writeFileAtomically(path, bytes, error);
}

bool appendUsersRecord(const QString& path, const AccountRecord& record, QString* error)
{
    QByteArray bytes;
    if (pathKind(path) != PathKind::Missing && !readCountedBytes(path, bytes, error))
        return false;
    return writeFileAtomically(path, bytes + record.encode(), error);
}
