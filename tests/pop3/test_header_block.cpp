#include "pop3/header_block.h"

#include <QElapsedTimer>
#include <QtTest>

class TestHeaderBlock : public QObject
{
    Q_OBJECT

private slots:
    void takesFromSubjectAndDate_data();
    void takesFromSubjectAndDate();
    void decodesEncodedWords_data();
    void decodesEncodedWords();
    void needsAnEmptyLine_data();
    void needsAnEmptyLine();
    void hostileInputStaysCheap_data();
    void hostileInputStaysCheap();
};

namespace {

QByteArray message(const QByteArray& headers)
{
    return headers + "\r\n\r\nBody line\r\nFrom: body@example.org\r\n";
}

} // namespace

void TestHeaderBlock::takesFromSubjectAndDate_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("date");

    QTest::newRow("plain") << message("From: a@x.org\r\nSubject: Hello\r\nDate: Sat, 4 Jan 2003")
                           << "a@x.org"
                           << "Hello"
                           << "Sat, 4 Jan 2003";
    QTest::newRow("last one wins, any case")
        << message("FROM: a\r\nsubject: s1\r\nFrom: b\r\nSUBJECT: s2") << "b"
        << "s2"
        << "";
    QTest::newRow("colon in value") << message("Subject: Re: fwd: a:b") << ""
                                    << "Re: fwd: a:b"
                                    << "";
    QTest::newRow("blank before colon is another name")
        << message("Subject : ignored\r\nFrom : ignored") << ""
        << ""
        << "";
    QTest::newRow("blanks and tabs trimmed")
        << message("Subject: \t  spaced out \t \r\nDate:   4 Jan 2003 10:00 GMT  ") << ""
        << "spaced out"
        << "4 Jan 2003 10:00 GMT";
    QTest::newRow("folded subject unfolded")
        << message("Subject: first part\r\n\tsecond part\r\n  third\r\nFrom: a") << "a"
        << "first part second part third"
        << "";
    QTest::newRow("tab or encoded line break inside a value")
        << message("Subject: a\tb =?utf-8?Q?c=09d=0D=0Ae?=\r\nFrom: x\r\n\t\t=?utf-8?Q?y=09?=")
        << "x y"
        << "a b c d  e"
        << "";
    QTest::newRow("continuation with colon stays in value")
        << message("Subject: one\r\n from: not a header") << ""
        << "one from: not a header"
        << "";
    QTest::newRow("continuations of other lines never name a header")
        << message("X-Note: a\r\n From: no\r\nSubject\r\n : no\r\nDate: d\r\nX: y\r\n\tDate: no")
        << ""
        << ""
        << "d";
    QTest::newRow("folded date") << message("Date: Sat, 4 Jan 2003\r\n 10:00:00 +0000") << ""
                                 << ""
                                 << "Sat, 4 Jan 2003 10:00:00 +0000";
    QTest::newRow("continuation as first line") << message("\tstray\r\nFrom: a") << "a"
                                                << ""
                                                << "";
    QTest::newRow("other headers ignored")
        << message("Received: from x\r\nX-From: no\r\nReply-To: r\r\nFrom: yes") << "yes"
        << ""
        << "";
    QTest::newRow("line without colon ignored") << message("garbage line\r\nSubject: s") << ""
                                                << "s"
                                                << "";
    QTest::newRow("empty values") << message("From:\r\nSubject:") << ""
                                  << ""
                                  << "";
    QTest::newRow("only the first block counts")
        << QByteArray("Subject: head\r\n\r\nSubject: body\r\n\r\n") << ""
        << "head"
        << "";
    QTest::newRow("empty header block") << QByteArray("\r\n\r\nFrom: body") << ""
                                        << ""
                                        << "";
    QTest::newRow("Windows-1252 bytes") << message("Subject: Gr\xfc\xdf"
                                                   "e \x80 5")
                                        << ""
                                        << "Grüße € 5"
                                        << "";
    QTest::newRow("UTF-8 bytes") << message("Subject: Gr\xc3\xbc\xc3\x9f"
                                            "e")
                                 << ""
                                 << "Grüße"
                                 << "";
    QTest::newRow("each header decoded on its own")
        << message("From: J\xf6rg\r\nSubject: J\xc3\xb6rg") << "Jörg"
        << "Jörg"
        << "";
    QTest::newRow("NUL bytes") << message(QByteArray("Subject: a\0b", 12)) << ""
                               << QString::fromUtf16(u"a\0b", 3) << "";
}

void TestHeaderBlock::takesFromSubjectAndDate()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, from);
    QFETCH(QString, subject);
    QFETCH(QString, date);
    const auto headers = parseHeaderBlock(text);
    QVERIFY(headers.has_value());
    QCOMPARE(headers->from, from);
    QCOMPARE(headers->subject, subject);
    QCOMPARE(headers->date, date);
}

void TestHeaderBlock::decodesEncodedWords_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("subject");

    auto row = [](const char* name, const QByteArray& value, const QString& subject) {
        QTest::newRow(name) << value << subject;
    };
    row("B", "=?UTF-8?B?w6TDtsO8?=", "äöü");
    row("Q with underscore", "=?iso-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?=", "Grüße aus Köln");
    row("lower-case q and charset", "=?utf-8?q?a_b?=", "a b");
    row("text around", "Re: =?utf-8?Q?caf=C3=A9?= today", "Re: café today");
    row("adjacent words joined", "=?utf-8?Q?a?=   =?utf-8?Q?b?=", "ab");
    row("word split inside a character", "=?utf-8?Q?=C3?= =?UTF-8?Q?=A4?=", "ä");
    row("folded words joined", "=?utf-8?Q?Hello?=\r\n =?utf-8?Q?_World?=", "Hello World");
    row("different charsets", "=?utf-8?Q?=C3=A4?= =?iso-8859-1?Q?=E4?=", "ää");
    row("text between words kept", "=?utf-8?Q?a?= x =?utf-8?Q?b?=", "a x b");
    row("language suffix", "=?utf-8*en?Q?hi?=", "hi");
    row("Windows-1252 charset", "=?windows-1252?Q?=80?=", "€");
    row("unknown charset left", "=?x-no-such-set?Q?abc?=", "=?x-no-such-set?Q?abc?=");
    row("unknown encoding left", "=?utf-8?X?abc?=", "=?utf-8?X?abc?=");
    row("unterminated left", "=?utf-8?Q?abc", "=?utf-8?Q?abc");
    row("blank inside left", "=?utf-8?Q?a b?=", "=?utf-8?Q?a b?=");
    row("bad base64 left", "=?utf-8?B?***?=", "=?utf-8?B?***?=");
    row("short Q escape left", "=?utf-8?Q?a=4?=", "=?utf-8?Q?a=4?=");
    row("bad word then good", "=?utf-8?Q?a=ZZ?= =?utf-8?Q?ok?=", "=?utf-8?Q?a=ZZ?= ok");
    row("empty charset left", "=??Q?a?=", "=??Q?a?=");
    row("lone marker", "=?", "=?");
    row("unknown charset keeps its blank", "=?utf-8?Q?a?= =?x-none?Q?b?=", "a =?x-none?Q?b?=");
}

void TestHeaderBlock::decodesEncodedWords()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, subject);
    const auto headers = parseHeaderBlock(
        message("From: " + value + "\r\nSubject: " + value + "\r\nDate: " + value));
    QVERIFY(headers.has_value());
    QCOMPARE(headers->subject, subject);
    QCOMPARE(headers->from, subject);
    // The date is read by its own parser and keeps what was sent.
    QCOMPARE(headers->date, QString::fromUtf8(value).replace("\r\n", "").trimmed());
}

void TestHeaderBlock::needsAnEmptyLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("headers only") << QByteArray("From: a\r\nSubject: b\r\n");
    QTest::newRow("LF line ends") << QByteArray("From: a\nSubject: b\n\nbody\n");
    QTest::newRow("single CR LF") << QByteArray("\r\n");
    QTest::newRow("CR LF CR") << QByteArray("From: a\r\n\r");
    QTest::newRow("empty") << QByteArray();
}

void TestHeaderBlock::needsAnEmptyLine()
{
    QFETCH(QByteArray, text);
    QVERIFY(!parseHeaderBlock(text).has_value());
}

// Sizes a quadratic scan could not finish in the time allowed.
void TestHeaderBlock::hostileInputStaysCheap_data()
{
    QTest::addColumn<QByteArray>("text");
    const int n = 1 << 20;
    QTest::newRow("markers") << message("Subject: " + QByteArray("=?").repeated(n));
    QTest::newRow("open words") << message("Subject: " + QByteArray("=?a?Q?").repeated(n / 3));
    QTest::newRow("long charset") << message("Subject: =?" + QByteArray(2 * n, 'a') + "?Q?x?=");
    QTest::newRow("many words") << message("From: " +
                                           QByteArray("=?utf-8?Q?=C3=A4?= ").repeated(n / 10));
    QTest::newRow("many folds") << message("Subject: x" + QByteArray("\r\n y").repeated(n / 2));
    QTest::newRow("many headers") << message(QByteArray("From: a\r\n").repeated(n / 4) + "X: y");
    QTest::newRow("binary") << message(QByteArray(n, '\0') + "\xff\xfe:\x80\r\n");
    QTest::newRow("no empty line") << QByteArray("Subject: x\r\n").repeated(n / 6);
}

void TestHeaderBlock::hostileInputStaysCheap()
{
    QFETCH(QByteArray, text);
    QElapsedTimer timer;
    timer.start();
    const auto headers = parseHeaderBlock(text);
    Q_UNUSED(headers);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed()) + " ms"));
}

QTEST_GUILESS_MAIN(TestHeaderBlock)
#include "test_header_block.moc"
