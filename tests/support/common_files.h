#pragma once

#include <QFile>
#include <QString>
#include <QTest>
#include <sys/stat.h>

// Whole-file reads and writes for tests that compare a file byte for byte.

// Empty when the file cannot be read, so a missing file compares unequal to
// any content.
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Fails the calling test when the bytes cannot be written.
inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The permission bits with set-id and sticky bits; 0 when there is no file.
inline mode_t fileMode(const QString& path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}
