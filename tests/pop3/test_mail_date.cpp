#include "pop3/mail_date.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>
#include <ctime>

namespace {

// POSIX zone rules, so the tests need no time zone database.
const char* const kUtc = "UTC0";
const char* const kUtcPlusOne = "<+01>-1";                       // no summer time
const char* const kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3"; // +1, +2 in summer

void useZone(const char* zone)
{
    qputenv("TZ", zone);
    tzset();
}

} // namespace

class TestMailDate : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { useZone(kUtc); }

    void readsAndConverts_data();
    void readsAndConverts();
    void unreadableValuesComeBackAsPassed_data();
    void unreadableValuesComeBackAsPassed();
    void regionalStyles_data();
    void regionalStyles();
    void displayedDate_data();
    void displayedDate();
    void randomValuesGiveTheValueOrAWholeDate();
};

void TestMailDate::readsAndConverts_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("expected");

    auto row = [](const char* name, const char* zone, const char* value, int style,
                  const char* expected) {
        QTest::newRow(name) << QByteArray(zone) << QString::fromUtf8(value) << style
                            << QString::fromUtf8(expected);
    };
    row("-0500 read at UTC+1", kUtcPlusOne, "Mon, 4 Jan 2003 14:15:00 -0500", 5,
        "Jan 4 2003 8:15 PM");
    row("no day name", kUtcPlusOne, "4 Jan 2003 14:15:00 -0500", 5, "Jan 4 2003 8:15 PM");
    row("zone cut to five", kUtc, "4 Jan 2003 14:15 +0000 (UTC)", 4, "Sat Jan 4 2003 2:15 PM");
    row("plus zone subtracts", kUtc, "Sat, 04 Jan 2003 01:30:00 +0230", 4,
        "Fri Jan 3 2003 11:00 PM");
    row("surrounding blanks", kUtc, "  Sat,   4 Jan 2003 10:00 GMT  ", 5, "Jan 4 2003 10:00 AM");
    row("blanks between time and zone", kUtc, "4 Jan 2003   10:00    GMT", 5,
        "Jan 4 2003 10:00 AM");
    row("no blank after comma", kUtc, "Sat,4 Jan 2003 10:00 GMT", 5, "Jan 4 2003 10:00 AM");
    row("tab between fields", kUtc, "4 Jan 2003\t10:00 GMT", 5, "Jan 4 2003 10:00 AM");
    row("hhmm", kUtc, "4 Jan 2003 0905 GMT", 5, "Jan 4 2003 9:05 AM");
    row("hhmmss", kUtc, "4 Jan 2003 235959 +0000", 5, "Jan 4 2003 11:59 PM");
    row("hh:mm:ss short parts", kUtc, "4 Jan 2003 9:5:7 GMT", 5, "Jan 4 2003 9:05 AM");
    row("midnight is 12 AM", kUtc, "4 Jan 2003 00:07:00 Z", 5, "Jan 4 2003 12:07 AM");
    row("noon is 12 PM", kUtc, "4 Jan 2003 12:00:00 UT", 5, "Jan 4 2003 12:00 PM");
    row("EST adds 300", kUtc, "4 Jan 2003 10:00 EST", 5, "Jan 4 2003 3:00 PM");
    row("EDT adds 240", kUtc, "4 Jan 2003 10:00 EDT", 5, "Jan 4 2003 2:00 PM");
    row("lower-case zone", kUtc, "4 Jan 2003 10:00 pst", 5, "Jan 4 2003 6:00 PM");
    row("A subtracts 60", kUtc, "4 Jan 2003 10:00 A", 5, "Jan 4 2003 9:00 AM");
    row("N adds 60", kUtc, "4 Jan 2003 10:00 N", 5, "Jan 4 2003 11:00 AM");
    row("M crosses the day", kUtc, "4 Jan 2003 10:00 M", 4, "Fri Jan 3 2003 10:00 PM");
    row("Y crosses the day", kUtc, "4 Jan 2003 13:00 Y", 4, "Sun Jan 5 2003 1:00 AM");
    row("J adds nothing", kUtc, "4 Jan 2003 10:00 J", 5, "Jan 4 2003 10:00 AM");
    row("unknown name adds nothing", kUtc, "4 Jan 2003 10:00 CEST", 5, "Jan 4 2003 10:00 AM");
    row("two-digit year 03", kUtc, "04 Jan 03 10:00:00 GMT", 5, "Jan 4 2003 10:00 AM");
    row("two-digit year 29", kUtc, "04 Jan 29 10:00:00 GMT", 5, "Jan 4 2029 10:00 AM");
    row("two-digit year 30", kUtc, "04 Jan 30 10:00:00 GMT", 5, "Jan 4 1930 10:00 AM");
    row("full month name", kUtc, "4 June 2003 10:00 GMT", 5, "Jun 4 2003 10:00 AM");
    row("month in capitals", kUtc, "4 DEC 2003 10:00 GMT", 5, "Dec 4 2003 10:00 AM");
    row("leap day", kUtc, "29 Feb 2004 10:00 GMT", 5, "Feb 29 2004 10:00 AM");
    row("new year crossing", kUtc, "31 Dec 2003 23:30 -0100", 4, "Thu Jan 1 2004 12:30 AM");
    // The offset of the mail's own moment applies, not today's.
    row("July mail in summer time", kCentralEurope, "15 Jul 2003 12:00:00 +0000", 5,
        "Jul 15 2003 2:00 PM");
    row("January mail in winter time", kCentralEurope, "15 Jan 2003 12:00:00 +0000", 5,
        "Jan 15 2003 1:00 PM");
    row("just before the spring change", kCentralEurope, "30 Mar 2003 00:59:00 +0000", 5,
        "Mar 30 2003 1:59 AM");
    row("just after the spring change", kCentralEurope, "30 Mar 2003 01:00:00 +0000", 5,
        "Mar 30 2003 3:00 AM");
}

void TestMailDate::readsAndConverts()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, value);
    QFETCH(int, style);
    QFETCH(QString, expected);
    useZone(zone.constData());
    QCOMPARE(formatMailDate(value, DateStyle(style)), expected);
}

void TestMailDate::unreadableValuesComeBackAsPassed_data()
{
    QTest::addColumn<QString>("value");
    const char* const values[][2] = {
        {"long day name", "Wednesday, 4 Jan 2003 10:00 GMT"},
        {"short day name", "We, 4 Jan 2003 10:00 GMT"},
        {"comma only", ","},
        {"no zone", "4 Jan 2003 10:00:00"},
        {"no zone, blanks kept", "  Sat, 4 Jan 2003 10:00:00  "},
        {"seven-character time", "4 Jan 2003 10:00:0 GMT"},
        {"three-character time", "4 Jan 2003 1:0 GMT"},
        {"time too long", "4 Jan 2003 10:00:00.5 GMT"},
        {"hour 24", "4 Jan 2003 24:00 GMT"},
        {"minute 60", "4 Jan 2003 1060 GMT"},
        {"letters in hhmm", "4 Jan 2003 1o00 GMT"},
        {"five-character zone without sign", "4 Jan 2003 10:00 X0100"},
        {"letters in numeric zone", "4 Jan 2003 10:00 +01a0"},
        {"unknown month", "4 Foo 2003 10:00 GMT"},
        {"numeric month", "4 01 2003 10:00 GMT"},
        {"day 32", "32 Jan 2003 10:00 GMT"},
        {"30 February", "30 Feb 2003 10:00 GMT"},
        {"three-digit day", "104 Jan 2003 10:00 GMT"},
        {"one-digit year", "4 Jan 3 10:00 GMT"},
        {"five-digit year", "4 Jan 20030 10:00 GMT"},
        {"double blank after day", "4  Jan 2003 10:00 GMT"},
        {"ISO form", "2003-01-04T10:00:00Z"},
        {"empty", ""},
        {"blanks only", "   "},
        {"garbage", "=?utf-8?q?\x01\x02?= ::: ,,,"},
    };
    for (const auto& v : values)
        QTest::newRow(v[0]) << QString::fromUtf8(v[1]);
}

void TestMailDate::unreadableValuesComeBackAsPassed()
{
    QFETCH(QString, value);
    for (DateStyle style : {DateStyle::RegionalShort, DateStyle::RegionalLong,
                            DateStyle::WithDayName, DateStyle::WithoutDayName})
        QCOMPARE(formatMailDate(value, style), value);
}

// The C locale's formats: short date "d MMM yyyy", long date
// "dddd, d MMMM yyyy", long time "HH:mm:ss t".
void TestMailDate::regionalStyles_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("expected");
    QTest::newRow("short at UTC") << QByteArray(kUtc) << 2 << "4 Jan 2003 19:15:07 UTC";
    QTest::newRow("long at UTC") << QByteArray(kUtc) << 3
                                 << "Saturday, 4 January 2003 19:15:07 UTC";
    QTest::newRow("short in winter time")
        << QByteArray(kCentralEurope) << 2 << "4 Jan 2003 20:15:07 CET";
    QTest::newRow("style 0") << QByteArray(kUtc) << 0 << "";
    QTest::newRow("style 1") << QByteArray(kUtc) << 1 << "";
    QTest::newRow("style 6") << QByteArray(kUtc) << 6 << "";
}

void TestMailDate::regionalStyles()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, style);
    QFETCH(QString, expected);
    useZone(zone.constData());
    QCOMPARE(formatMailDate("Sat, 4 Jan 2003 14:15:07 -0500", DateStyle(style)), expected);
}

// Below RegionalShort the value is shown as sent; a style beyond the last
// has no format, so a readable date shows as nothing and an unreadable one
// as sent.
void TestMailDate::displayedDate_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("expected");
    const QString date = "Sat, 4 Jan 2003 14:15:07 -0500";
    const QString notADate = "not a date";
    QTest::newRow("as sent") << date << 1 << date;
    QTest::newRow("0") << date << 0 << date;
    QTest::newRow("-1") << date << -1 << date;
    QTest::newRow("-3") << date << -3 << date;
    QTest::newRow("without day name") << date << 5 << "Jan 4 2003 7:15 PM";
    QTest::newRow("with day name, not a date") << notADate << 4 << notADate;
    QTest::newRow("9") << date << 9 << "";
    QTest::newRow("9, not a date") << notADate << 9 << notADate;
}

void TestMailDate::displayedDate()
{
    QFETCH(QString, value);
    QFETCH(int, style);
    QFETCH(QString, expected);
    QCOMPARE(displayedMailDate(value, DateStyle(style)), expected);
}

// Values built from date-like pieces and stray characters reach every step;
// each must come back unchanged or as a complete date, never half-read.
void TestMailDate::randomValuesGiveTheValueOrAWholeDate()
{
    const QStringList pieces{"Mon,",  "Wed",   ",",      " ",     "  ",   "\t",     "4",  "04",
                             "31",    "Jan",   "Feb",    "Sept",  "2003", "03",     "99", "10:00",
                             "1000",  ":",     "235959", "1:2:3", "GMT",  "EST",    "J",  "+0100",
                             "-0530", "(UTC)", "x",      "0",     "+",    "\u00e9", "="};
    const QRegularExpression whole(
        "^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "[1-9][0-9]? [0-9]{4} (1[0-2]|[1-9]):[0-5][0-9] (AM|PM)$");
    QRandomGenerator random(4711);
    int read = 0;
    for (int i = 0; i < 20000; ++i) {
        QString value;
        for (int n = random.bounded(1, 12); n > 0; --n)
            value += pieces[random.bounded(int(pieces.size()))];
        if (random.bounded(2))
            value = (random.bounded(2) ? "4 Jan 2003 10:00 " : "4 Jan 2003 ") + value;
        const QString result = formatMailDate(value, DateStyle::WithDayName);
        if (result != value) {
            QVERIFY2(whole.match(result).hasMatch(), qPrintable(value + " -> " + result));
            ++read;
        }
    }
    QVERIFY2(read > 500, qPrintable(QString::number(read))); // dates do come out
}

int main(int argc, char** argv)
{
    // English names and the C formats, whatever the machine's settings.
    qputenv("LC_ALL", "C");
    useZone(kUtc);
    QCoreApplication app(argc, argv);
    TestMailDate test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_mail_date.moc"
