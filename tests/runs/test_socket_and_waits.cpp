// The platform pieces the runs rely on: the wait that keeps events flowing
// without burning a core, and the socket adapter's event contract.
#include "platform/wait_with_events.h"
#include "platform/winsock1.h"

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
    WaitWithEvents(400);
    const qint64 cpu = cpuMs() - cpuBefore;
    QCOMPARE(fired, 1);
    QVERIFY2(clock.elapsed() >= 395, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(cpu < 40, qPrintable(QStringLiteral("%1 ms of CPU").arg(cpu)));
}

void TestSocketAndWaits::waitBelowOneReturnsAtOnce()
{
    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    WaitWithEvents(0);
    WaitWithEvents(-5);
    QCOMPARE(fired, 0); // not even pending events are processed
}

void TestSocketAndWaits::programCloseRaisesNoCloseEvent()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Winsock1 socket;
    QSignalSpy connected(&socket, &Winsock1::connectEvent);
    QSignalSpy closed(&socket, &Winsock1::closeEvent);
    QSignalSpy errors(&socket, &Winsock1::errorEvent);
    QVERIFY(socket.Connect("127.0.0.1", server.serverPort()));
    QVERIFY(connected.wait(3000));
    QCOMPARE(socket.State(), int(Winsock1::ConnectedState));
    socket.Close();
    QCOMPARE(socket.State(), int(Winsock1::Closed));
    QTest::qWait(200);
    QCOMPARE(closed.size(), 0);
    QCOMPARE(errors.size(), 0);
}

void TestSocketAndWaits::peerCloseRaisesOneCloseEvent()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    Winsock1 socket;
    QSignalSpy closed(&socket, &Winsock1::closeEvent);
    QSignalSpy arrivals(&socket, &Winsock1::dataArrival);
    QSignalSpy errors(&socket, &Winsock1::errorEvent);
    QVERIFY(socket.Connect("127.0.0.1", server.serverPort()));
    QVERIFY(server.waitForNewConnection(3000));
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.State(), int(Winsock1::ConnectedState));
    peer->write("+OK hi\r\n");
    QVERIFY(arrivals.wait(3000));
    QCOMPARE(socket.GetData(), QByteArray("+OK hi\r\n"));
    peer->disconnectFromHost();
    QVERIFY(closed.wait(3000));
    QTest::qWait(100);
    QCOMPARE(closed.size(), 1);
    QCOMPARE(errors.size(), 0);
    QCOMPARE(socket.State(), int(Winsock1::Closed));
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
    Winsock1 socket;
    QString error;
    QVERIFY(!socket.Connect(host, port, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(socket.State(), int(Winsock1::Closed));
}

QTEST_GUILESS_MAIN(TestSocketAndWaits)
#include "test_socket_and_waits.moc"
