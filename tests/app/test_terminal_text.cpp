// What quorvamel-check lets through to a terminal: control characters
// become visible marks, everything else is kept as it is.
#include "app/terminal_text.h"

#include <QTest>

namespace {

enum Kind { Line, Field, Lines };

QString apply(Kind kind, const QString& text)
{
    switch (kind) {
    case Line:
        return terminalSafe(text);
    case Field:
        return terminalSafeField(text);
    case Lines:
        break;
    }
    return terminalSafeLines(text);
}

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f);
}

} // namespace

class TestTerminalText : public QObject
{
    Q_OBJECT
private slots:
    void replaces_data();
    void replaces();
    void noControlSurvives_data();
    void noControlSurvives();
};

void TestTerminalText::replaces_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    const QString hostile = QStringLiteral("\x1b]0;pwned\x07\x1b[2J");
    const QString shown = QStringLiteral("\u241b]0;pwned\u2407\u241b[2J");
    QTest::newRow("title and clear-screen sequence") << int(Line) << hostile << shown;
    QTest::newRow("same sequence in a field") << int(Field) << hostile << shown;
    QTest::newRow("same sequence in a log") << int(Lines) << hostile << shown;
    QTest::newRow("bell") << int(Line) << QStringLiteral("ring\x07")
                          << QStringLiteral("ring\u2407");
    QTest::newRow("NUL and unit separator, first and last C0")
        << int(Line) << QString(QChar(0)) + QChar(0x1f) + QChar(0x20)
        << QStringLiteral("\u2400\u241f ");
    QTest::newRow("DEL, tilde kept")
        << int(Field) << QStringLiteral("a~\x7f") << QStringLiteral("a~\u2421");
    QTest::newRow("C1 from a decoded header, NBSP kept")
        << int(Field) << QStringLiteral("x\u0080\u009b2J\u009f\u00a0y")
        << QStringLiteral("x\ufffd\ufffd2J\ufffd\u00a0y");
    QTest::newRow("non-ASCII text and emoji kept")
        << int(Field) << QStringLiteral("Grüße 📬 Ἀθῆναι 東京")
        << QStringLiteral("Grüße 📬 Ἀθῆναι 東京");
    QTest::newRow("field: TAB CR LF become blanks")
        << int(Field) << QStringLiteral("a\tb\r\nc\rd\ne") << QStringLiteral("a b  c d e");
    QTest::newRow("field: vertical tab and form feed replaced")
        << int(Field) << QStringLiteral("a\x0b\x0c") << QStringLiteral("a\u240b\u240c");
    QTest::newRow("line: TAB CR LF replaced")
        << int(Line) << QStringLiteral("a\tb\r\nc") << QStringLiteral("a\u2409b\u240d\u240ac");
    QTest::newRow("log: CR LF and LF are line breaks")
        << int(Lines) << QStringLiteral("one\r\ntwo\nthree\r\n")
        << QStringLiteral("one\ntwo\nthree\n");
    QTest::newRow("log: lone CR and ESC replaced")
        << int(Lines) << QStringLiteral("over\rwrite\r\n\x1b[2Jx\r")
        << QStringLiteral("over\u240dwrite\n\u241b[2Jx\u240d");
    QTest::newRow("empty") << int(Lines) << QString() << QString();
}

void TestTerminalText::replaces()
{
    QFETCH(int, kind);
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(apply(Kind(kind), input), expected);
}

void TestTerminalText::noControlSurvives_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("line") << int(Line);
    QTest::newRow("field") << int(Field);
    QTest::newRow("log") << int(Lines);
}

// Every UTF-16 code unit once: controls never come out (save the line
// break of a log), everything else comes out unchanged and in place.
void TestTerminalText::noControlSurvives()
{
    QFETCH(int, kind);
    QString all;
    for (int c = 0; c <= 0xffff; ++c) {
        if (c != '\r') // a CR next to the LF would join it in a log
            all.append(QChar(char16_t(c)));
    }
    const QString out = apply(Kind(kind), all);
    QCOMPARE(out.size(), all.size());
    for (qsizetype i = 0; i < all.size(); ++i) {
        const char16_t in = all[i].unicode();
        const char16_t shown = out[i].unicode();
        if (isControl(in)) {
            const bool keptBreak = kind == Lines && in == '\n' && shown == '\n';
            QVERIFY2(keptBreak || !isControl(shown), qPrintable(QString::number(in, 16)));
            QVERIFY2(shown != in || keptBreak, qPrintable(QString::number(in, 16)));
        } else {
            QVERIFY2(shown == in, qPrintable(QString::number(in, 16)));
        }
    }
}

QTEST_GUILESS_MAIN(TestTerminalText)
#include "test_terminal_text.moc"
