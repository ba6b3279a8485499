// Self-check of the delay line the latency benchmark talks through: each
// chunk arrives one delay after it was sent, not one delay after the chunk
// before it; bytes keep their order in both directions; an end of stream
// arrives one delay late; a client whose server refuses is let go.
#include "support/servers_delay_line.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace std::chrono_literals;

namespace {

// Wide enough that a doubled delay cannot pass for the right one, and that
// a busy machine's scheduling slack fits under the upper bound.
constexpr int kDelayMs = 200;
constexpr int kSlackMs = 150;

// The two ends of one connection through the line.
struct Ends
{
    QTcpServer server;
    std::unique_ptr<DelayLine> line;
    QTcpSocket client;
    QTcpSocket* served = nullptr;

    bool open()
    {
        if (!server.listen(QHostAddress::LocalHost))
            return false;
        line = std::make_unique<DelayLine>(server.serverPort());
        line->setOneWayDelay(std::chrono::milliseconds(kDelayMs));
        if (!line->start())
            return false;
        client.connectToHost(QHostAddress::LocalHost, line->port());
        if (!client.waitForConnected(3000) || !server.waitForNewConnection(3000))
            return false;
        served = server.nextPendingConnection();
        return served != nullptr;
    }
};

// Reads from `socket` until `bytes` have come, noting when each piece came.
QByteArray readFor(QTcpSocket* socket, qsizetype bytes, const QElapsedTimer& clock,
                   QList<QPair<qint64, qsizetype>>* arrivals)
{
    QByteArray got;
    while (got.size() < bytes && (socket->bytesAvailable() > 0 || socket->waitForReadyRead(3000))) {
        const QByteArray piece = socket->readAll();
        arrivals->append({clock.elapsed(), got.size() + piece.size()});
        got += piece;
    }
    return got;
}

} // namespace

class TestRigDelayLine : public QObject
{
    Q_OBJECT

private slots:
    void chunksKeepOrderAndTime_data()
    {
        QTest::addColumn<bool>("upstream");
        QTest::newRow("client to server") << true;
        QTest::newRow("server to client") << false;
    }

    // Four chunks sent 50 ms apart, the last a large one: each arrives
    // within the slack of its own send time plus the delay, whole and in
    // order; the large one is not held back by its size.
    void chunksKeepOrderAndTime()
    {
        QFETCH(bool, upstream);
        Ends ends;
        QVERIFY(ends.open());
        QTcpSocket* sender = upstream ? &ends.client : ends.served;
        QTcpSocket* receiver = upstream ? ends.served : &ends.client;

        const QList<QByteArray> chunks{"first\r\n", "second\r\n", "third\r\n",
                                       QByteArray(512 * 1024, 'x') + "\r\nlast\r\n"};
        QByteArray all;
        QElapsedTimer clock;
        clock.start();
        QList<qint64> sentAt;
        for (const QByteArray& chunk : chunks) {
            sentAt.append(clock.elapsed());
            sender->write(chunk);
            sender->flush();
            all += chunk;
            QTest::qSleep(50);
        }
        QList<QPair<qint64, qsizetype>> arrivals;
        QCOMPARE(readFor(receiver, all.size(), clock, &arrivals), all);

        // When the last byte of each chunk arrived.
        qsizetype end = 0;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            end += chunks[i].size();
            const auto at = std::find_if(arrivals.cbegin(), arrivals.cend(),
                                         [&](const auto& a) { return a.second >= end; });
            QVERIFY(at != arrivals.cend());
            const qint64 took = at->first - sentAt[i];
            QVERIFY2(took >= kDelayMs && took < kDelayMs + kSlackMs,
                     qPrintable(QStringLiteral("chunk %1 took %2 ms").arg(i).arg(took)));
        }
    }

    void endOfStreamArrivesLate_data()
    {
        QTest::addColumn<bool>("clientCloses");
        QTest::newRow("client closes") << true;
        QTest::newRow("server closes") << false;
    }

    // The bytes before the end all arrive, then the end itself, one delay
    // after it was sent.
    void endOfStreamArrivesLate()
    {
        QFETCH(bool, clientCloses);
        Ends ends;
        QVERIFY(ends.open());
        QTcpSocket* closer = clientCloses ? &ends.client : ends.served;
        QTcpSocket* other = clientCloses ? ends.served : &ends.client;

        QElapsedTimer clock;
        clock.start();
        closer->write("QUIT\r\n");
        closer->flush();
        closer->disconnectFromHost();
        QByteArray got;
        while (other->state() == QAbstractSocket::ConnectedState && other->waitForReadyRead(3000))
            got += other->readAll();
        got += other->readAll();
        const qint64 took = clock.elapsed();
        QCOMPARE(got, QByteArray("QUIT\r\n"));
        QCOMPARE(other->state(), QAbstractSocket::UnconnectedState);
        QVERIFY2(took >= kDelayMs && took < kDelayMs + kSlackMs,
                 qPrintable(QStringLiteral("end took %1 ms").arg(took)));
    }

    void refusedServerLetsClientGo()
    {
        // A port that was free a moment ago: nobody listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        DelayLine line(port);
        QVERIFY(line.start());
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, line.port());
        QVERIFY(client.waitForConnected(3000));
        QVERIFY(client.state() == QAbstractSocket::UnconnectedState ||
                client.waitForDisconnected(3000));
    }
};

QTEST_GUILESS_MAIN(TestRigDelayLine)
#include "test_rig_delay_line.moc"
