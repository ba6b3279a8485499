#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// Makes a FIFO at the path; fails the calling test when it cannot.
inline void makeFifo(const QString& path)
{
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
}

// True when the call returns within the time although a FIFO stands in a
// file's place. Otherwise the FIFO gets writers that close at once until
// the call returns (a blocked open or read then sees the end), and false.
inline bool returnsDespiteFifo(const QString& fifo, const std::function<void()>& call,
                               int ms = 5000)
{
    std::atomic<bool> done = false;
    std::thread worker([&] {
        call();
        done = true;
    });
    const QDeadlineTimer deadline(ms);
    while (!done && !deadline.hasExpired())
        QTest::qSleep(10);
    const bool inTime = done;
    while (!done) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        QTest::qSleep(10);
    }
    worker.join();
    return inTime;
}

// The kind of the file system object at the path itself (a link is not
// followed): S_IFREG, S_IFLNK, S_IFIFO, ...; 0 when there is none.
inline mode_t entryType(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}
