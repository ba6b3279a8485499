#include "platform/secret_service.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

// Without a Secret Service every call answers soon, says that none runs
// and why, and the program goes on: no session bus at all, and a bus
// address where something takes the connection and never answers.
class TestSecretService : public QObject
{
    Q_OBJECT

private slots:
    void noServiceAnswersSoon_data()
    {
        QTest::addColumn<bool>("silentListener");
        // The silent listener comes last: its worker stays blocked.
        QTest::newRow("nothing at the address") << false;
        QTest::newRow("listener that never answers") << true;
    }

    void noServiceAnswersSoon()
    {
        QFETCH(bool, silentListener);
        QTemporaryDir dir;
        const QString socketPath = dir.filePath("bus");
        QLocalServer listener;
        QList<QLocalSocket*> held;
        if (silentListener) {
            listener.setSocketOptions(QLocalServer::UserAccessOption);
            QVERIFY(listener.listen(socketPath));
            connect(&listener, &QLocalServer::newConnection, this, [&] {
                while (QLocalSocket* socket = listener.nextPendingConnection())
                    held.append(socket);
            });
        }
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QFile::encodeName(socketPath));

        SecretServiceStore service(1500ms);
        const SecretKey key{"pop.example.org", 995, "alice", SecretKind::Password};
        QElapsedTimer clock;
        clock.start();
        const SecretLookup found = service.lookup(key);
        QVERIFY(!found.serviceRuns);
        QVERIFY(!found.found);
        QVERIFY2(found.error.startsWith("No Secret Service"), qPrintable(found.error));
        QString error;
        QVERIFY(!service.store(key, "label", "secret", &error));
        QVERIFY2(error.startsWith("No Secret Service"), qPrintable(error));
        QVERIFY(!error.contains("secret)"));
        error.clear();
        QVERIFY(!service.remove(key, &error));
        QVERIFY(error.startsWith("No Secret Service"));
        // Three calls, each bounded by the time-out and not by D-Bus's own.
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
        if (silentListener)
            QVERIFY(!held.isEmpty()); // the call did reach the listener
    }
};

QTEST_GUILESS_MAIN(TestSecretService)
#include "test_secret_service.moc"
