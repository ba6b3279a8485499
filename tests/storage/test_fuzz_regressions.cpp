// Inputs the fuzzers found that once broke the record code, kept so that
// they run with every build.
#include "storage/users_file.h"

#include <QtTest>
#include <limits>

class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void hugeFileLengthsCountWithoutOverflow_data();
    void hugeFileLengthsCountWithoutOverflow();
};

void TestFuzzRegressions::hugeFileLengthsCountWithoutOverflow_data()
{
    constexpr qint64 size = 454;
    constexpr qint64 intMax = std::numeric_limits<int>::max();
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("count");

    // Counts that an int holds, at the very top of its range.
    QTest::newRow("just under the top, less than half")
        << (intMax - 1) * size + 226 << int(intMax - 1);
    QTest::newRow("a half rounds to the even count")
        << (intMax - 1) * size + 227 << int(intMax - 1);
    QTest::newRow("more than half rounds up") << (intMax - 1) * size + 228 << int(intMax);
    QTest::newRow("the top exactly") << intMax * size << int(intMax);
    // Beyond an int (a sparse or damaged file): the largest count, never a
    // wrapped or negative one. The first of these crashed the fuzzer.
    QTest::newRow("a half past the top") << intMax * size + 227 << int(intMax);
    QTest::newRow("one record past the top") << (intMax + 1) * size << int(intMax);
    QTest::newRow("beyond a double's whole numbers")
        << (qint64(1) << 53) * size + 228 << int(intMax);
    QTest::newRow("largest length") << std::numeric_limits<qint64>::max() << int(intMax);
}

void TestFuzzRegressions::hugeFileLengthsCountWithoutOverflow()
{
    QFETCH(qint64, length);
    QFETCH(int, count);
    QCOMPARE(usersRecordCount(length), count);
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
