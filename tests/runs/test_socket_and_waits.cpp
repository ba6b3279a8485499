// The platform pieces the runs rely on: the wait that keeps events flowing
// without burning a core, and the socket adapter's event contract.
#include "platform/mail_socket.h"
#include "platform/wait_with_events.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <ctime>

namespace {

qint64 cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

class TestSocketAndWaits : public QObject
{
    Q_OBJECT
private slots:
    void waitProcessesEventsWithoutSpinning();
    void waitBelowOneReturnsAtOnce();
    void programCloseRaisesNoCloseEvent();
    void peerCloseRaisesOneCloseEvent();
    void connectRefusedAtOnce_data();
    void connectRefusedAtOnce();
};

void TestSocketAndWaits::waitProcessesEventsWithoutSpinning()
{
    int fired = 0;
    QTimer::singleShot(50, [&] { ++fired; });
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuBefore = cpuMs();
    waitWithEvents(400);
    const qint64 cpu = cpuMs() - cpuBefore;
    QCOMPARE(fired, 1);
    QVERIFY2(clock.elapsed() >= 395, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(cpu < 40, qPrintable(QStringLiteral("%1 ms of CPU").arg(cpu)));
}

void TestSocketAndWaits::waitBelowOneReturnsAtOnce()
{
    int fired = 0;
    // The timer dies with this context, so it cannot fire into a later
    // test after `fired` is gone.
    QObject context;
    QTimer::singleShot(0, &context, [&] { ++fired; });
    waitWithEvents(0);
    waitWithEvents(-5);
    QCOMPARE(fired, 0); // not even pending events are processed
}

void TestSocketAndWaits::programCloseRaisesNoCloseEvent()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    MailSocket socket;
    QSignalSpy connected(&socket, &MailSocket::connectedToServer);
    QSignalSpy closed(&socket, &MailSocket::closedByServer);
    QSignalSpy errors(&socket, &MailSocket::errorRaised);
    QVERIFY(socket.connectTo("127.0.0.1", server.serverPort()));
    QVERIFY(connected.wait(3000));
    QCOMPARE(socket.state(), int(MailSocket::ConnectedState));
    socket.close();
    QCOMPARE(socket.state(), int(MailSocket::Closed));
    QTest::qWait(200);
    QCOMPARE(closed.size(), 0);
    QCOMPARE(errors.size(), 0);
}

void TestSocketAndWaits::peerCloseRaisesOneCloseEvent()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    MailSocket socket;
    QSignalSpy closed(&socket, &MailSocket::closedByServer);
    QSignalSpy arrivals(&socket, &MailSocket::dataArrived);
    QSignalSpy errors(&socket, &MailSocket::errorRaised);
    QVERIFY(socket.connectTo("127.0.0.1", server.serverPort()));
    QVERIFY(server.waitForNewConnection(3000));
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(MailSocket::ConnectedState));
    peer->write("+OK hi\r\n");
    QVERIFY(arrivals.wait(3000));
    QCOMPARE(socket.takeData(), QByteArray("+OK hi\r\n"));
    peer->disconnectFromHost();
    QVERIFY(closed.wait(3000));
    QTest::qWait(100);
    QCOMPARE(closed.size(), 1);
    QCOMPARE(errors.size(), 0);
    QCOMPARE(socket.state(), int(MailSocket::Closed));
}

void TestSocketAndWaits::connectRefusedAtOnce_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("port 0") << "127.0.0.1" << 0;
    QTest::newRow("port 65536") << "127.0.0.1" << 65536;
    QTest::newRow("port 65646 (would wrap to 110)") << "127.0.0.1" << 65646;
    QTest::newRow("empty host") << "" << 110;
}

void TestSocketAndWaits::connectRefusedAtOnce()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    MailSocket socket;
    QString error;
    QVERIFY(!socket.connectTo(host, port, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(socket.state(), int(MailSocket::Closed));
}

QTEST_GUILESS_MAIN(TestSocketAndWaits)
#include "test_socket_and_waits.moc"
