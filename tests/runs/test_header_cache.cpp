// The header cache in memory and through its file: blocks stay apart by
// mailbox, the byte budget is never passed (a block that does not fit is
// not kept, never shown in part or from an older copy), room is made only
// from mailboxes unused since the load, and the file brings back exactly
// what was held or, when it cannot be read, nothing.
#include "runs/header_cache.h"
#include "storage/header_cache_file.h"
#include "support/common_files.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

const MailboxKey amy{QStringLiteral("pop.example.org"), 995, QStringLiteral("amy")};
const MailboxKey amyOtherPort{QStringLiteral("pop.example.org"), 110, QStringLiteral("amy")};
const MailboxKey bob{QStringLiteral("pop.example.org"), 995, QStringLiteral("bob")};

QByteArray block(int number, qsizetype size = 200)
{
    QByteArray b = "Subject: message " + QByteArray::number(number) + "\r\n";
    b.append(QByteArray(qMax<qsizetype>(0, size - b.size()), 'x'));
    return b;
}

// What a block costs against the budget, measured: the growth of the count.
qint64 costOfOneBlock(const QByteArray& uid, const QByteArray& bytes)
{
    HeaderCache probe;
    probe.store(amy, "first", "x");
    const qint64 before = probe.byteCount();
    probe.store(amy, uid, bytes);
    return probe.byteCount() - before;
}

} // namespace

class TestHeaderCache : public QObject
{
    Q_OBJECT

private slots:
    void mailboxesStayApart()
    {
        HeaderCache cache;
        cache.store(amy, "1", "From: amy's\r\n");
        cache.store(amyOtherPort, "1", "From: other port\r\n");
        cache.store(bob, "1", "From: bob's\r\n");
        QCOMPARE(cache.find(amy, "1"), QByteArray("From: amy's\r\n"));
        QCOMPARE(cache.find(amyOtherPort, "1"), QByteArray("From: other port\r\n"));
        QCOMPARE(cache.find(bob, "1"), QByteArray("From: bob's\r\n"));
        QCOMPARE(cache.find(amy, "2"), std::nullopt);

        cache.retainOnly(amy, {});
        QCOMPARE(cache.find(amy, "1"), std::nullopt);
        QCOMPARE(cache.find(bob, "1"), QByteArray("From: bob's\r\n"));
        QCOMPARE(cache.blockCount(), 2);
    }

    void budgetIsNeverPassed()
    {
        const qint64 cost = costOfOneBlock("u1", block(1));
        QVERIFY(cost > block(1).size());
        // Room for a key and about ten blocks.
        HeaderCache cache(10 * cost + 512);
        int kept = 0;
        for (int i = 1; i <= 30; ++i) {
            cache.store(amy, "u" + QByteArray::number(i), block(i));
            QVERIFY(cache.byteCount() <= cache.byteBudget());
            kept += cache.find(amy, "u" + QByteArray::number(i)).has_value() ? 1 : 0;
        }
        QVERIFY2(kept >= 8 && kept <= 10, qPrintable(QString::number(kept)));
        // The first blocks stay; those that did not fit are simply absent.
        QCOMPARE(cache.find(amy, "u1"), block(1));
        QCOMPARE(cache.find(amy, "u30"), std::nullopt);
        QCOMPARE(cache.blockCount(), kept);

        // Dropped ids give their room back.
        cache.retainOnly(amy, {"u1"});
        cache.store(amy, "u30", block(30));
        QCOMPARE(cache.find(amy, "u30"), block(30));
    }

    void aLargerBlockThatDoesNotFitDropsTheOldOne()
    {
        const qint64 cost = costOfOneBlock("u1", block(1));
        HeaderCache cache(2 * cost + 512);
        cache.store(amy, "u1", block(1));
        cache.store(amy, "u1", block(1, 10 * cost));
        QVERIFY(cache.byteCount() <= cache.byteBudget());
        // Never the block the server no longer sends for that id.
        QCOMPARE(cache.find(amy, "u1"), std::nullopt);
    }

    void roundTripThroughTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        HeaderCache cache;
        QVERIFY(!cache.isModified());
        cache.store(amy, "1", block(1));
        cache.store(amy, "2", QByteArray("Subject: \0binary\xff\r\n", 19));
        cache.store(bob, "1", block(3));
        QVERIFY(cache.isModified());
        QString error;
        QVERIFY2(cache.save(path, &error), qPrintable(error));
        QVERIFY(!cache.isModified());
        QCOMPARE(fileMode(path), mode_t(0600));

        HeaderCache loaded;
        QVERIFY(loaded.load(path, &error));
        QVERIFY(!loaded.isModified());
        QCOMPARE(loaded.blockCount(), 3);
        QCOMPARE(loaded.byteCount(), cache.byteCount());
        QCOMPARE(loaded.find(amy, "1"), block(1));
        QCOMPARE(loaded.find(amy, "2"), QByteArray("Subject: \0binary\xff\r\n", 19));
        QCOMPARE(loaded.find(bob, "1"), block(3));
        // Storing what it already holds changes nothing to save.
        loaded.store(amy, "1", block(1));
        QVERIFY(!loaded.isModified());
    }

    // Read on a worker thread: whatever comes first after it (a lookup, a
    // store, a count) sees the whole file, and nothing done then is lost.
    void aBackgroundLoadIsTakenInBeforeAnyUse()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        HeaderCache saved;
        saved.store(amy, "1", block(1));
        saved.store(bob, "1", block(2));
        QVERIFY(saved.save(path));

        QStringList reasons;
        const auto tell = [&](const QString& reason) { reasons.append(reason); };
        HeaderCache cache;
        cache.store(bob, "9", block(9)); // what it held before goes
        cache.loadInBackground(path, tell);
        cache.store(amy, "2", block(3));
        QCOMPARE(cache.blockCount(), 3);
        QCOMPARE(cache.find(amy, "1"), block(1));
        QCOMPARE(cache.find(amy, "2"), block(3));
        QCOMPARE(cache.find(bob, "9"), std::nullopt);
        QVERIFY(cache.isModified());

        QByteArray bytes = fileBytes(path);
        bytes[bytes.size() / 2] ^= 1;
        writeBytes(path, bytes);
        cache.loadInBackground(path, tell);
        QVERIFY(reasons.isEmpty()); // told on the first use, not before
        QCOMPARE(cache.find(amy, "1"), std::nullopt);
        QCOMPARE(reasons, QStringList{"header cache file damaged"});
        QCOMPARE(cache.blockCount(), 0);
        QVERIFY(cache.isModified());
        QCOMPARE(reasons.size(), 1);
    }

    void aFullCacheWritesAFileItsLoadAccepts()
    {
        // Keys of 3-byte UTF-8 characters, the costliest in the file.
        const MailboxKey wide{QString(40, QChar(0x20ac)), 995, QString(40, QChar(0x20ac))};
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        HeaderCache cache(64 * 1024);
        for (int i = 0; i < 2000; ++i) {
            cache.store(i % 2 ? wide : amy, QByteArray::number(i), block(i, 30 + i % 50));
        }
        QVERIFY(cache.byteCount() > cache.byteBudget() - 300);
        QVERIFY(cache.save(path));

        HeaderCache loaded(64 * 1024);
        QString error;
        QVERIFY2(loaded.load(path, &error), qPrintable(error));
        QCOMPARE(loaded.blockCount(), cache.blockCount());
        QCOMPARE(loaded.byteCount(), cache.byteCount());
    }

    void roomIsMadeFromMailboxesUnusedSinceTheLoad_data()
    {
        QTest::addColumn<bool>("usedAfterLoad");
        QTest::newRow("bob's mailbox unused since the load") << false;
        QTest::newRow("bob's mailbox looked at since the load") << true;
    }

    void roomIsMadeFromMailboxesUnusedSinceTheLoad()
    {
        QFETCH(bool, usedAfterLoad);
        const qint64 cost = costOfOneBlock("u1", block(1));
        const qint64 budget = 6 * cost + 1024;
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        HeaderCache before(budget);
        for (int i = 1; i <= 5; ++i)
            before.store(bob, "u" + QByteArray::number(i), block(i));
        QVERIFY(before.save(path));

        HeaderCache cache(budget);
        QVERIFY(cache.load(path));
        if (usedAfterLoad)
            QCOMPARE(cache.find(bob, "u5"), block(5));
        for (int i = 1; i <= 4; ++i)
            cache.store(amy, "a" + QByteArray::number(i), block(i));

        QVERIFY(cache.byteCount() <= budget);
        // A removed or renamed account's blocks do not hold the room for
        // ever; one in use is never pushed out by another.
        QCOMPARE(cache.find(amy, "a4").has_value(), !usedAfterLoad);
        QCOMPARE(cache.find(bob, "u1").has_value(), usedAfterLoad);
        QCOMPARE(cache.find(amy, "a1"), block(1));
    }

    void anUnreadableFileLeavesAnEmptyCacheToBeReplaced()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        HeaderCache good;
        good.store(amy, "1", block(1));
        QVERIFY(good.save(path));
        QByteArray bytes = fileBytes(path);
        bytes.chop(5);
        writeBytes(path, bytes);

        HeaderCache cache;
        cache.store(bob, "9", block(9)); // what it held before goes too
        QString error;
        QVERIFY(!cache.load(path, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(cache.blockCount(), 0);
        QCOMPARE(cache.byteCount(), 0);
        QCOMPARE(cache.find(amy, "1"), std::nullopt);
        // Marked for the next save, which writes a good (empty) file.
        QVERIFY(cache.isModified());
        QVERIFY(cache.save(path));
        QVERIFY(decodeHeaderCacheFile(fileBytes(path)).has_value());
    }

    void aFileOfALargerBudgetKeepsWhatFits()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(HeaderCacheFileName);
        const qint64 cost = costOfOneBlock("u1", block(1));
        HeaderCache large;
        for (int i = 1; i <= 40; ++i)
            large.store(amy, "u" + QByteArray::number(i), block(i));
        QVERIFY(large.save(path));

        // Within the file-size limit of the smaller budget, not every block fits.
        HeaderCache small(large.byteCount() - 10 * cost);
        QVERIFY(small.load(path));
        QVERIFY(small.byteCount() <= small.byteBudget());
        QVERIFY(small.blockCount() > 0 && small.blockCount() < 40);

        // A file far beyond the budget is not read at all.
        HeaderCache tiny(4 * cost);
        QString error;
        QVERIFY(!tiny.load(path, &error));
        QCOMPARE(tiny.blockCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHeaderCache)
#include "test_header_cache.moc"
