// A date style from the settings file through a check run and back to the
// file: named styles, styles below the first (raised to "as sent") and
// styles beyond the last (kept, and written back unchanged).
#include "run_rig.h"
#include "support/servers_pop3_peer.h"

#include <QTest>
#include <QtEndian>
#include <limits>

namespace {

constexpr int dateStyleOffset = 524;
const QByteArray dateHeader = "Tue, 4 Jun 2024 08:00:00 +0000";

Pop3Script oneMail()
{
    Pop3Script s;
    s.send(Pop3Reply::greeting())
        .expect("USER ann")
        .send(Pop3Reply::ok())
        .expect("PASS pa")
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(1))
        .expect("TOP 1 2")
        .send(Pop3Reply::top(Pop3Reply::headers("bob@x.org", "hello", dateHeader)));
    return s.expect("QUIT").send(Pop3Reply::ok()).expectClientClose();
}

RunSettings loaded(std::int32_t storedStyle)
{
    SettingsRecord record = SettingsRecord::templateRecord();
    record.dateStyle = storedStyle;
    const QString font = QStringLiteral("MS Sans Serif");
    return RunSettings::fromRecord(record, std::nullopt, FontFacts{{font}, font});
}

std::int32_t savedStyle(const RunSettings& settings)
{
    const QByteArray bytes = settings.toRecord().encode();
    return qFromLittleEndian<qint32>(bytes.constData() + dateStyleOffset);
}

} // namespace

class TestDateStyles : public QObject
{
    Q_OBJECT
private slots:
    void fromFileThroughARunAndBack_data();
    void fromFileThroughARunAndBack();
};

void TestDateStyles::fromFileThroughARunAndBack_data()
{
    QTest::addColumn<int>("stored");
    // Set straight into the settings after the load, as the window may.
    QTest::addColumn<bool>("setAfterLoad");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("resetAtStart");
    QTest::addColumn<int>("saved");
    const QString asSent = QString::fromLatin1(dateHeader);
    constexpr int lowest = std::numeric_limits<std::int32_t>::min();
    constexpr int highest = std::numeric_limits<std::int32_t>::max();
    QTest::newRow("as sent") << 1 << false << asSent << false << 1;
    QTest::newRow("regional short") << 2 << false << "4 Jun 2024 08:00:00 UTC" << false << 2;
    QTest::newRow("with day name") << 4 << false << "Tue Jun 4 2024 8:00 AM" << false << 4;
    QTest::newRow("without day name") << 5 << false << "Jun 4 2024 8:00 AM" << false << 5;
    QTest::newRow("0 read as sent") << 0 << false << asSent << false << 1;
    QTest::newRow("-1 read as sent") << -1 << false << asSent << false << 1;
    QTest::newRow("lowest read as sent") << lowest << false << asSent << false << 1;
    // A style with no format shows a readable date as nothing.
    QTest::newRow("9 kept") << 9 << false << "" << false << 9;
    QTest::newRow("highest kept") << highest << false << "" << false << highest;
    QTest::newRow("0 set after load") << 0 << true << asSent << true << 1;
    QTest::newRow("-1 set after load") << -1 << true << asSent << true << 1;
}

void TestDateStyles::fromFileThroughARunAndBack()
{
    QFETCH(int, stored);
    QFETCH(bool, setAfterLoad);
    QFETCH(QString, shown);
    QFETCH(bool, resetAtStart);
    QFETCH(int, saved);
    ScriptedPop3Peer peer;
    peer.addScript(oneMail());
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    RunRig rig;
    rig.settings = loaded(setAfterLoad ? 1 : stored);
    rig.settings.serverTimeout = std::chrono::seconds(5);
    if (setAfterLoad)
        rig.settings.dateStyle = DateStyle(stored);
    rig.addAccount("ann", "pa", peer.port());
    QSignalSpy reset(rig.runs.get(), &RunCoordinator::dateStyleReset);
    QVERIFY(rig.run());
    QVERIFY_PEER_DONE(peer, 5000);

    QCOMPARE(rig.mails.itemCount(), 1);
    QCOMPARE(rig.mails.item(0).dateSent, shown);
    QCOMPARE(reset.count(), resetAtStart ? 1 : 0);
    QCOMPARE(rig.runs->checkRun().listDateStyle(), rig.settings.dateStyle);
    QCOMPARE(savedStyle(rig.settings), saved);
}

QTEST_GUILESS_MAIN(TestDateStyles)
#include "test_date_styles.moc"
