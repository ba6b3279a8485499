// Inputs the fuzzers found that once broke the reply reader, kept so that
// they run with every build. The reader must give one verdict on a reply
// however the server's bytes are cut into arrivals.
#include "pop3/session_reader.h"

#include <QtTest>

using Reply = SessionReader::Reply;

class TestFuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void lineLimitHoldsForEveryCut_data();
    void lineLimitHoldsForEveryCut();
    void headerLimitHoldsForEveryCut_data();
    void headerLimitHoldsForEveryCut();
};

namespace {

constexpr qsizetype maxLine = SessionReader::MaxLineBytes;
constexpr qsizetype maxHeader = SessionReader::MaxHeaderBytes;

// The positions at which the stream is cut into arrivals.
using Cuts = QList<qsizetype>;

// Feeds the stream in the arrivals the cuts make, reading out after each
// one as the session does, and returns the first reply that comes.
std::optional<Reply> firstReply(const QByteArray& stream, const Cuts& cuts, bool multiLine)
{
    SessionReader reader;
    qsizetype from = 0;
    Cuts ends = cuts;
    ends.append(stream.size());
    for (qsizetype end : ends) {
        reader.append(stream.mid(from, end - from));
        from = end;
        if (auto reply = multiLine ? reader.nextMultiLine() : reader.nextLine())
            return reply;
    }
    return std::nullopt;
}

// The status line "+" and filler, CR LF counted apart: text bytes long.
QByteArray statusLine(qsizetype text)
{
    return "+" + QByteArray(text - 1, 'x') + "\r\n";
}

Cuts everyChunk(qsizetype length, qsizetype chunk)
{
    Cuts cuts;
    for (qsizetype at = chunk; at < length; at += chunk)
        cuts.append(at);
    return cuts;
}

} // namespace

void TestFuzzRegressions::lineLimitHoldsForEveryCut_data()
{
    QTest::addColumn<bool>("multiLine");
    QTest::addColumn<qsizetype>("text");
    QTest::addColumn<int>("cutKind"); // 0 whole, 1 between CR and LF, 2 in 4 KiB pieces
    QTest::addColumn<bool>("broken");

    for (bool multi : {false, true}) {
        for (int cut = 0; cut < 3; ++cut) {
            const char* kind = multi ? "multi-line status" : "one-line reply";
            const char* how = cut == 0   ? "whole"
                              : cut == 1 ? "cut between CR and LF"
                                         : "4 KiB pieces";
            // A status line over the limit sent in one piece with its CR LF
            // was taken whole; cut between CR and LF, a line at the limit
            // was called broken.
            QTest::addRow("%s at the limit, %s", kind, how) << multi << maxLine << cut << false;
            QTest::addRow("%s one past the limit, %s", kind, how)
                << multi << maxLine + 1 << cut << true;
            QTest::addRow("%s far past the limit, %s", kind, how)
                << multi << 3 * maxLine << cut << true;
        }
    }
}

void TestFuzzRegressions::lineLimitHoldsForEveryCut()
{
    QFETCH(bool, multiLine);
    QFETCH(qsizetype, text);
    QFETCH(int, cutKind);
    QFETCH(bool, broken);

    const QByteArray stream = statusLine(text) + (multiLine ? "A: b\r\n\r\n.\r\n" : "");
    const Cuts cuts = cutKind == 0   ? Cuts{}
                      : cutKind == 1 ? Cuts{text + 1}
                                     : everyChunk(stream.size(), 4096);
    const std::optional<Reply> reply = firstReply(stream, cuts, multiLine);
    QVERIFY(reply);
    if (broken) {
        QCOMPARE(reply->kind, Reply::Broken);
        return;
    }
    QCOMPARE(reply->kind, multiLine ? Reply::MultiLine : Reply::Line);
    QCOMPARE(reply->text, statusLine(text));
    if (multiLine)
        QCOMPARE(reply->message, QByteArray("A: b\r\n\r\n"));
}

void TestFuzzRegressions::headerLimitHoldsForEveryCut_data()
{
    QTest::addColumn<qsizetype>("blockBytes"); // before the empty line
    QTest::addColumn<int>("cutKind"); // 0 whole, 1 inside the empty line, 2 in 64 KiB pieces
    QTest::addColumn<bool>("broken");

    for (int cut = 0; cut < 3; ++cut) {
        const char* how = cut == 0   ? "whole"
                          : cut == 1 ? "cut inside the empty line"
                                     : "64 KiB pieces";
        // A block over the limit that came in one piece with its empty
        // line was kept whole, beyond the memory the limit promises.
        QTest::addRow("block at the limit, %s", how) << maxHeader << cut << false;
        QTest::addRow("block one past the limit, %s", how) << maxHeader + 1 << cut << true;
        QTest::addRow("block twice the limit, %s", how) << 2 * maxHeader << cut << true;
    }
}

void TestFuzzRegressions::headerLimitHoldsForEveryCut()
{
    QFETCH(qsizetype, blockBytes);
    QFETCH(int, cutKind);
    QFETCH(bool, broken);

    // Header lines of 1 KiB each, the last one cut to fit.
    QByteArray block;
    while (block.size() < blockBytes) {
        const qsizetype room = blockBytes - block.size();
        block += room > 1024 ? "X: " + QByteArray(1024 - 5, 'h') + "\r\n"
                             : "Y: " + QByteArray(qMax<qsizetype>(room - 3, 0), 'h');
    }
    block.truncate(blockBytes);
    const QByteArray status("+OK\r\n");
    const QByteArray stream = status + block + "\r\n\r\nbody\r\n.\r\n";
    const qsizetype emptyLineAt = status.size() + blockBytes;
    const Cuts cuts = cutKind == 0   ? Cuts{}
                      : cutKind == 1 ? Cuts{emptyLineAt + 3}
                                     : everyChunk(stream.size(), 64 * 1024);
    const std::optional<Reply> reply = firstReply(stream, cuts, true);
    QVERIFY(reply);
    if (broken) {
        QCOMPARE(reply->kind, Reply::Broken);
        return;
    }
    QCOMPARE(reply->kind, Reply::MultiLine);
    QCOMPARE(reply->message.size(), blockBytes + 4);
    QVERIFY(reply->message.endsWith("\r\n\r\n"));
}

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "test_fuzz_regressions.moc"
