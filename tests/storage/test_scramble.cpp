#include "platform/codepage.h"
#include "storage/scramble.h"

#include <QTest>
#include <array>

namespace {

// The stored block order and the forward table, written out here on their
// own so the tests do not lean on the code under test.
constexpr std::array<int, 16> forwardTable{14, 3, 9, 4, 16, 11, 2, 7, 13, 6, 15, 5, 1, 8, 12, 10};

QString scrambleByHand(const QString& plain)
{
    Q_ASSERT(plain.size() == 64);
    QString blocks[4];
    for (int b = 0; b < 4; ++b) {
        for (int k = 0; k < 16; ++k)
            blocks[b] += plain.at(b * 16 + forwardTable[k] - 1);
    }
    return blocks[2] + blocks[0] + blocks[3] + blocks[1];
}

// Filler source giving the codes 32, 33, 34, ... in turn.
RandomUnit countingRandom()
{
    auto next = std::make_shared<int>(0);
    return [next] { return ((*next)++ % 95 + 0.5) / 95.0; };
}

QString countingFiller(int n)
{
    QString filler;
    for (int i = 0; i < n; ++i)
        filler += QChar(32 + i % 95);
    return filler;
}

} // namespace

class TestScramble : public QObject
{
    Q_OBJECT

private slots:
    void knownScrambledText();
    void roundTrip_data();
    void roundTrip();
    void longPasswordKeepsFirst62();
    void fillerIsFreshAndPrintable();
    void fillerStaysInRangeForExtremeRandom();
    void badInputs_data();
    void badInputs();
    void lengthFieldAbove62TakesRestOfBlock();
    void secretRoundTrip_data();
    void secretRoundTrip();
    void secretBadLength();
    void unencodableCharacterStoredAsQuestionMark();
};

void TestScramble::knownScrambledText()
{
    // Worked out by hand from the tables for "hello" with filler 32, 33, ...
    const QString expected =
        QStringLiteral("F;A<HC:?E>G=9@DB&h!e(#5o%l'l0 $\"VKQLXSJOUNWMIPTR6+1,83*/5.7-)042");
    QCOMPARE(scramblePassword(QStringLiteral("hello"), countingRandom()), expected);
    QCOMPARE(unscramblePassword(expected), QStringLiteral("hello"));
    QCOMPARE(scrambleByHand(QStringLiteral("05hello") + countingFiller(57)), expected);
}

void TestScramble::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("one") << QStringLiteral("x");
    QTest::newRow("nine") << QStringLiteral("123456789");
    QTest::newRow("ten") << QStringLiteral("0123456789");
    QTest::newRow("spaces at ends") << QStringLiteral("  pass word  ");
    QTest::newRow("P and digits") << QStringLiteral("P4ssP");
    QTest::newRow("latin-1") << QStringLiteral("gr\u00fc\u00dfe\u20ac");
    QTest::newRow("61") << QString(61, QChar('a'));
    QTest::newRow("62") << QStringLiteral(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
}

void TestScramble::roundTrip()
{
    QFETCH(QString, text);
    const QString scrambled = scramblePassword(text);
    QCOMPARE(scrambled.size(), 64);
    QCOMPARE(unscramblePassword(scrambled), text);
    // The length field is the first two plain characters, which land at
    // stored positions 18 (plain 1, forward[13]) and 23 (plain 2, forward[7]).
    QCOMPARE(QString(scrambled.at(16 + 12)) + scrambled.at(16 + 6),
             QStringLiteral("%1").arg(text.size(), 2, 10, QChar('0')));
}

void TestScramble::longPasswordKeepsFirst62()
{
    const QString text = QString(62, QChar('a')) + QStringLiteral("bcd");
    const QString scrambled = scramblePassword(text);
    QCOMPARE(scrambled.size(), 64);
    QCOMPARE(unscramblePassword(scrambled), text.left(62));
    // 62 characters leave no room for filler: the result is fully fixed.
    QCOMPARE(scrambled, scrambleByHand(QStringLiteral("62") + text.left(62)));
}

void TestScramble::fillerIsFreshAndPrintable()
{
    const QString a = scramblePassword(QStringLiteral("secret"));
    const QString b = scramblePassword(QStringLiteral("secret"));
    QVERIFY(a != b);
    QCOMPARE(unscramblePassword(a), QStringLiteral("secret"));
    QCOMPARE(unscramblePassword(b), QStringLiteral("secret"));
    for (QChar c : a)
        QVERIFY2(c.unicode() >= 32 && c.unicode() <= 126, qPrintable(a));
}

void TestScramble::fillerStaysInRangeForExtremeRandom()
{
    const QString low = scramblePassword(QString(), [] { return 0.0; });
    QCOMPARE(low, scrambleByHand(QStringLiteral("00") + QString(62, QChar(' '))));
    const QString high = scramblePassword(QString(), [] { return 0.9999999; });
    QCOMPARE(high, scrambleByHand(QStringLiteral("00") + QString(62, QChar('~'))));
    // A broken source still yields printable filler, never other codes.
    const QString broken = scramblePassword(QString(), [] { return 5.0; });
    QCOMPARE(broken, high);
}

void TestScramble::badInputs_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString filler = countingFiller(62);
    QTest::newRow("63 characters") << QString(63, QChar('a')) << QStringLiteral("WhatThe");
    QTest::newRow("65 characters") << QString(65, QChar('a')) << QStringLiteral("WhatThe");
    QTest::newRow("empty input") << QString() << QStringLiteral("WhatThe");
    QTest::newRow("letters as length")
        << scrambleByHand(QStringLiteral("ab") + filler) << QString();
    QTest::newRow("length 00") << scrambleByHand(QStringLiteral("00hello") + filler.left(57))
                               << QString();
    QTest::newRow("negative length") << scrambleByHand(QStringLiteral("-5") + filler) << QString();
    QTest::newRow("all spaces") << QString(64, QChar(' ')) << QString();
}

void TestScramble::badInputs()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString result = unscramblePassword(input);
    QCOMPARE(result, expected);
}

void TestScramble::lengthFieldAbove62TakesRestOfBlock()
{
    const QString body = countingFiller(62);
    QCOMPARE(unscramblePassword(scrambleByHand(QStringLiteral("99") + body)), body);
    QCOMPARE(unscramblePassword(scrambleByHand(QStringLiteral("03") + body)), body.left(3));
}

void TestScramble::secretRoundTrip_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("expected");
    QString long249;
    for (int i = 0; i < 249; ++i)
        long249 += QChar('A' + i % 26);
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("100") << long249.left(100) << long249.left(100);
    QTest::newRow("124 (two full parts)") << long249.left(124) << long249.left(124);
    QTest::newRow("248") << long249.left(248) << long249.left(248);
    QTest::newRow("249 keeps 248") << long249 << long249.left(248);
}

void TestScramble::secretRoundTrip()
{
    QFETCH(QString, secret);
    QFETCH(QString, expected);
    const QString scrambled = scrambleSecret(secret);
    QCOMPARE(scrambled.size(), 256);
    QCOMPARE(unscrambleSecret(scrambled), expected);
    // Each 64-character slice holds its own part of at most 62 characters.
    for (int part = 0; part < 4; ++part)
        QCOMPARE(unscramblePassword(scrambled.mid(part * 64, 64)), expected.mid(part * 62, 62));
}

void TestScramble::secretBadLength()
{
    QCOMPARE(unscrambleSecret(QString(255, QChar('a'))), QStringLiteral("WhatThe"));
    QCOMPARE(unscrambleSecret(QString(257, QChar('a'))), QStringLiteral("WhatThe"));
    QCOMPARE(unscrambleSecret(QString(64, QChar('a'))), QStringLiteral("WhatThe"));
    QCOMPARE(unscrambleSecret(QString(256, QChar(' '))), QString());
}

void TestScramble::unencodableCharacterStoredAsQuestionMark()
{
    const QString text = QStringLiteral("a\u4e2d\u20ac") + QString::fromUtf8("\xF0\x9F\x98\x80") +
                         QStringLiteral("z");
    QCOMPARE(toAnsi(text), QByteArray("a?\x80?z"));
    QCOMPARE(toFixedField(text, 8), QByteArray("a?\x80?z   "));
    // A real SUB character is kept; a lone surrogate is one "?".
    QCOMPARE(toAnsi(QStringLiteral("\u001a\u4e2d")), QByteArray("\x1a?"));
    QCOMPARE(toAnsi(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b\u4e2d")),
             QByteArray("a?b?"));
    QCOMPARE(toFixedField(QStringLiteral("abcdef"), 4), QByteArray("abcd"));
    // A scrambled password is stored one byte per character, so what the
    // code page cannot hold is already "?" before scrambling.
    const QString scrambled = scramblePassword(text);
    QCOMPARE(toAnsi(scrambled).size(), 64);
    QCOMPARE(unscramblePassword(fromAnsi(toAnsi(scrambled))), QStringLiteral("a?\u20ac?z"));
}

QTEST_GUILESS_MAIN(TestScramble)
#include "test_scramble.moc"
