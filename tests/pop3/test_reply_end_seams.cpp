// Where a multi-line reply ends when its closing line is cut across
// arrivals at any point, and what is left over for the next reply.
#include "pop3/session_reader.h"

#include <QTest>

namespace {

const QByteArray kStatus("+OK 120 octets\r\n");
const QByteArray kHeader("From: a@x\r\nSubject: s\r\n\r\n");
// The body holds lines that come close to the end marker but are not it.
const QByteArray kBody("body\r\n..\r\n.x\r\nend\r\n");
const QByteArray kNext("+OK 0 0\r\n");

QByteArray fullReply()
{
    return kStatus + kHeader + kBody + ".\r\n";
}

} // namespace

class TestReplyEndSeams : public QObject
{
    Q_OBJECT
private slots:
    void endMarkerCutAnywhere_data();
    void endMarkerCutAnywhere();
    void emptyMessage_data();
    void emptyMessage();
};

void TestReplyEndSeams::endMarkerCutAnywhere_data()
{
    QTest::addColumn<QList<qsizetype>>("cuts");
    // The reply and the next one's line as one stream, cut at these offsets.
    const qsizetype end = fullReply().size();
    for (qsizetype back = 12; back >= -3; --back)
        QTest::addRow("one cut %lld before the end", qlonglong(back))
            << QList<qsizetype>{end - back};
    for (qsizetype back = 8; back >= 1; --back)
        QTest::addRow("two-byte arrival %lld before the end", qlonglong(back))
            << QList<qsizetype>{end - back, end - back + 2};
    QTest::newRow("cut inside the header") << QList<qsizetype>{kStatus.size() + 5};
}

void TestReplyEndSeams::endMarkerCutAnywhere()
{
    QFETCH(QList<qsizetype>, cuts);
    const QByteArray stream = fullReply() + kNext;
    SessionReader reader;
    std::optional<SessionReader::Reply> reply;
    qsizetype from = 0;
    cuts.append(stream.size());
    for (qsizetype cut : cuts) {
        reader.append(stream.mid(from, cut - from));
        from = cut;
        // Once the reply has ended, later bytes are only collected.
        if (!reply) {
            reply = reader.nextMultiLine();
            QVERIFY2(!reply || from >= fullReply().size(),
                     "the reply ended before its closing line");
        }
    }
    QVERIFY2(reply, "the closing line was missed");
    QCOMPARE(reply->kind, SessionReader::Reply::MultiLine);
    QCOMPARE(reply->text, kStatus);
    QCOMPARE(reply->message, kHeader);
    // The bytes after the closing line stay for the next reply, whole.
    const std::optional<SessionReader::Reply> next = reader.nextLine();
    QVERIFY(next);
    QCOMPARE(next->kind, SessionReader::Reply::Line);
    QCOMPARE(next->text, kNext);
}

void TestReplyEndSeams::emptyMessage_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::newRow("one arrival") << QList<QByteArray>{"+OK\r\n.\r\n"};
    QTest::newRow("dot line alone") << QList<QByteArray>{"+OK\r\n", ".\r\n"};
    QTest::newRow("cut after the CR") << QList<QByteArray>{"+OK\r", "\n.\r\n"};
    QTest::newRow("cut before the last LF") << QList<QByteArray>{"+OK\r\n.\r", "\n"};
}

void TestReplyEndSeams::emptyMessage()
{
    QFETCH(QList<QByteArray>, arrivals);
    SessionReader reader;
    std::optional<SessionReader::Reply> reply;
    for (const QByteArray& a : arrivals) {
        QVERIFY2(!reply, "the reply ended before its last arrival");
        reader.append(a);
        reply = reader.nextMultiLine();
    }
    QVERIFY(reply);
    QCOMPARE(reply->kind, SessionReader::Reply::MultiLine);
    QCOMPARE(reply->text, QByteArray("+OK\r\n"));
    QVERIFY(reply->message.isEmpty());
    QVERIFY(!reader.hasPending());
}

QTEST_GUILESS_MAIN(TestReplyEndSeams)
#include "test_reply_end_seams.moc"
