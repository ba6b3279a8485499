// The header cache file: its bytes as laid out field by field here (not by
// the code under test), the round trip, and files that are damaged, cut,
// oversized or of another version, each read as an empty cache.
#include "storage/header_cache_file.h"
#include "support/common_crc32.h"
#include "support/common_files.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

// Little-endian fields appended one by one.
struct Bytes
{
    QByteArray data;

    Bytes& u32(quint32 value)
    {
        char b[4];
        qToLittleEndian(value, b);
        data.append(b, 4);
        return *this;
    }
    Bytes& text(const QByteArray& bytes)
    {
        u32(quint32(bytes.size()));
        data.append(bytes);
        return *this;
    }
    // Closes the file with the CRC-32 of all before it.
    QByteArray sealed() const { return Bytes{data}.u32(bitwiseCrc32(data)).data; }
};

const QByteArray magic("QVHC\r\n\x1a\n", 8);

// Binary ids and blocks (a NUL, CR LF, bytes over 0x7f) and non-ASCII keys.
QList<CachedMailbox> sample()
{
    return {
        {QStringLiteral("pop.example.org"),
         995,
         QStringLiteral("amy"),
         {{"uid-1", QByteArray("From: a@b\r\nSubject: x\0y\r\n\r\n", 28)},
          {"uid-2", "Subject: \xe9t\xe9\r\n\r\n"}}},
        {QStringLiteral("m\u00fcnchen.example"), 110, QStringLiteral("j\u00f6rg"), {}},
    };
}

// The sample as its file must hold it, built field by field.
Bytes sampleBody()
{
    Bytes b;
    b.data = magic;
    b.u32(1).u32(2);
    b.text("pop.example.org").u32(995).text("amy").u32(2);
    b.text("uid-1").text(QByteArray("From: a@b\r\nSubject: x\0y\r\n\r\n", 28));
    b.text("uid-2").text("Subject: \xe9t\xe9\r\n\r\n");
    b.text("m\xc3\xbcnchen.example").u32(110).text("j\xc3\xb6rg").u32(0);
    return b;
}

} // namespace

class TestHeaderCacheFile : public QObject
{
    Q_OBJECT

private slots:
    void bytesAreTheDocumentedLayout()
    {
        QCOMPARE(bitwiseCrc32("123456789"), 0xcbf43926U); // the standard check value
        QCOMPARE(encodeHeaderCacheFile(sample()), sampleBody().sealed());
        QCOMPARE(encodeHeaderCacheFile({}), Bytes{magic}.u32(1).u32(0).sealed());
    }

    void roundTripThroughTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        QString error;
        QVERIFY(writeHeaderCacheFile(path, sample(), &error));
        QCOMPARE(fileMode(path), mode_t(0600));
        QList<CachedMailbox> read;
        QVERIFY2(readHeaderCacheFile(path, 1 << 20, &read, &error), qPrintable(error));
        QCOMPARE(read, sample());
    }

    void missingFileIsAnEmptyCache()
    {
        QTemporaryDir dir;
        QList<CachedMailbox> read = sample();
        QVERIFY(readHeaderCacheFile(dir.filePath("none"), 1 << 20, &read));
        QVERIFY(read.isEmpty());
    }

    void damagedFilesReadAsEmpty_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = sampleBody().sealed();
        QTest::newRow("empty") << QByteArray();
        for (const qsizetype cut : {4, 12, 16, 30, 60, 100})
            QTest::newRow(qPrintable(QStringLiteral("cut at %1").arg(cut))) << good.left(cut);
        QTest::newRow("last byte missing") << good.chopped(1);
        QTest::newRow("a byte more") << good + 'x';
        QByteArray flipped = good;
        flipped[70] = char(flipped[70] ^ 0x20);
        QTest::newRow("a block byte changed") << flipped;
        QByteArray otherMagic = good;
        otherMagic[0] = 'X';
        QTest::newRow("wrong magic") << otherMagic;
        QTest::newRow("text conversion") << QByteArray(good).replace("\r\n", "\n");
        // Each of these carries a correct checksum: only its fields are wrong.
        QTest::newRow("version 2") << Bytes{magic}.u32(2).u32(0).sealed();
        QTest::newRow("version 0") << Bytes{magic}.u32(0).u32(0).sealed();
        QTest::newRow("huge mailbox count") << Bytes{magic}.u32(1).u32(0xffffffff).sealed();
        QTest::newRow("more mailboxes than follow")
            << Bytes{magic}.u32(1).u32(2).text("s").u32(1).text("u").u32(0).sealed();
        QTest::newRow("huge header count")
            << Bytes{magic}.u32(1).u32(1).text("s").u32(1).text("u").u32(0x7fffffff).sealed();
        QTest::newRow("server length past the end")
            << Bytes{magic}.u32(1).u32(1).u32(0xffffffff).u32(1).sealed();
        QTest::newRow("block length past the end") << Bytes{magic}
                                                          .u32(1)
                                                          .u32(1)
                                                          .text("s")
                                                          .u32(1)
                                                          .text("u")
                                                          .u32(1)
                                                          .text("id")
                                                          .u32(100)
                                                          .text("From: x")
                                                          .sealed();
        QTest::newRow("bytes after the last mailbox") << Bytes{magic}.u32(1).u32(0).u32(0).sealed();
        // A file whose checksum is cut off may still parse: it must not count.
        QTest::newRow("no checksum") << sampleBody().data;
    }

    void damagedFilesReadAsEmpty()
    {
        QFETCH(QByteArray, bytes);
        QString error;
        QVERIFY(!decodeHeaderCacheFile(bytes, &error));
        QVERIFY(!error.isEmpty());

        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        writeBytes(path, bytes);
        QList<CachedMailbox> read = sample();
        error.clear();
        QVERIFY(!readHeaderCacheFile(path, 1 << 20, &read, &error));
        QVERIFY(read.isEmpty());
        QVERIFY(!error.isEmpty());
    }

    void fileOverTheLimitIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        const QByteArray bytes = encodeHeaderCacheFile(sample());
        QVERIFY(writeHeaderCacheFile(path, sample()));
        QList<CachedMailbox> read;
        QVERIFY(readHeaderCacheFile(path, bytes.size(), &read));
        QCOMPARE(read, sample());
        QString error;
        QVERIFY(!readHeaderCacheFile(path, bytes.size() - 1, &read, &error));
        QVERIFY(read.isEmpty());
        QVERIFY(error.contains(QStringLiteral("larger")));
    }

    void fileOpenToOthersIsMadeOwnerOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        writeBytes(path, encodeHeaderCacheFile(sample()));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QList<CachedMailbox> read;
        QVERIFY(readHeaderCacheFile(path, 1 << 20, &read));
        QCOMPARE(fileMode(path), mode_t(0600));
        QCOMPARE(read, sample());
    }
};

QTEST_GUILESS_MAIN(TestHeaderCacheFile)
#include "test_header_cache_file.moc"
