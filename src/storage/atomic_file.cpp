#include "storage/atomic_file.h"

#include "storage/file_checks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// A save killed between naming its temporary file and moving it over the
// data file leaves "<name>.XXXXXX" behind; the next good save clears them.
void removeLeftoverTemporaries(const QString& path)
{
    const QFileInfo target(path);
    const QRegularExpression leftover(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    QDir folder = target.dir();
    const QStringList candidates = folder.entryList({target.fileName() + QStringLiteral(".??????")},
                                                    QDir::Files | QDir::Hidden);
    for (const QString& name : candidates) {
        if (leftover.match(name).hasMatch())
            folder.remove(name);
    }
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error,
                         SaveDurability durability)
{
    // Not QSaveFile: it writes to the target of a link, so a link in the
    // data folder would have a save overwrite (and chmod) a file elsewhere.
    // rename() replaces the name itself: a link there becomes our own file.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open()) {
        setError(error, file.errorString());
        return false;
    }
    // Made owner-only before a byte is written, so the data is never
    // visible to others, not even for a moment. An abandoned temporary file
    // is removed when it goes.
    const bool ownerOnly = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!ownerOnly || file.write(bytes) != bytes.size()) {
        setError(error, file.errorString());
        return false;
    }
    // A failed final flush (a full disk, a file-size limit) must not
    // replace the old file with a cut one.
    const bool written = file.flush() && file.size() == bytes.size();
    if (!written || (durability == SaveDurability::Synced && ::fsync(file.handle()) != 0)) {
        setError(error, file.errorString());
        return false;
    }
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0) {
        setError(error, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    file.setAutoRemove(false);
    removeLeftoverTemporaries(path);
    return true;
}

bool readFileHead(const QString& path, qint64 maxBytes, QByteArray& out, QString* error)
{
    QFile file;
    if (!openRegularFile(file, path, error))
        return false;
    // Bounded by the size too: read() sets aside the whole bound first.
    out = file.read(qMin(maxBytes, file.size()));
    if (file.error() != QFileDevice::NoError) {
        setError(error, file.errorString());
        return false;
    }
    return true;
}
