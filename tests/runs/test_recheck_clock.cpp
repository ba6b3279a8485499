// The timed re-check and the alarm without a window: counting, idling while
// off line, switching on and off, the indicator texts, and the alarm's
// beeps from the end of a run until it is stopped.
#include "delete_rig.h"
#include "run_rig.h"
#include "runs/recheck_clock.h"
#include "support/servers_pop3_peer.h"

#include <QTest>
#include <QTimer>

namespace {

struct ClockRig : RunRig
{
    RecheckClock clock{settings, *runs, connectivity, prompter};
    QList<RecheckIndicator> shown;
    QList<bool> lamp;
    QList<bool> panel;
    int beeps = 0;
    int runsEnded = 0;
    int stopAfterRuns = 0; // the timer is switched off as this run ends

    ClockRig()
    {
        clock.setBeeper([this] { ++beeps; });
        QObject::connect(&clock, &RecheckClock::indicatorChanged,
                         [this](const RecheckIndicator& i) { shown.append(i); });
        QObject::connect(&clock, &RecheckClock::alarmLamp, [this](bool lit) { lamp.append(lit); });
        QObject::connect(&clock, &RecheckClock::alarmShown, [this](bool on) { panel.append(on); });
        // The clock follows the runs itself; the test counts their ends.
        QObject::connect(runs.get(), &RunCoordinator::runEnded, &clock, [this] {
            ++runsEnded;
            if (runsEnded == stopAfterRuns)
                clock.toggle();
        });
    }

    QStringList texts() const
    {
        QStringList out;
        for (const RecheckIndicator& i : shown)
            out.append(i.text);
        return out;
    }
};

const QString haltNoUsers = QStringLiteral("Process Halted: No Usernames Are Configured.");

} // namespace

class TestRecheckClock : public QObject
{
    Q_OBJECT

private slots:
    void minuteTicks_data();
    void minuteTicks();
    void switchingOnAndOff_data();
    void switchingOnAndOff();
    void shortenedIntervalFallsDueAtOnce();
    void onlyChecksRestartTheCount_data();
    void onlyChecksRestartTheCount();
    void soundAndAlarmAtRunEnd_data();
    void soundAndAlarmAtRunEnd();
    void alarmBeepsUntilStopped();
    void timedRunAgainstServer();
};

void TestRecheckClock::minuteTicks_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("idleIfOffline");
    QTest::addColumn<int>("offlineAnswers");
    QTest::addColumn<int>("processHeld"); // 0 free, 1 held by a run, 2 and the window closing
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("texts"); // after the "on" text
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("minutesAfter");
    QTest::addColumn<int>("connectivityTests");

    // With no accounts a started run halts at once, which shows that it started.
    QTest::newRow("interval 5: 4 3 2 1 then a run")
        << 5 << 0 << 0 << 0 << 5 << QStringList{"4", "3", "2", "1", "0", "5"} << 1 << 0 << 0;
    QTest::newRow("interval 1: the first tick runs")
        << 1 << 0 << 0 << 0 << 1 << QStringList{"0", "1"} << 1 << 0 << 0;
    QTest::newRow("counting goes on after a run")
        << 2 << 0 << 0 << 0 << 3 << QStringList{"1", "0", "2", "1"} << 1 << 1 << 0;
    QTest::newRow("a delete run holds the count")
        << 3 << 0 << 0 << 1 << 4 << QStringList{} << 0 << 0 << 0;
    QTest::newRow("a closing window holds the count")
        << 3 << 0 << 0 << 2 << 4 << QStringList{} << 0 << 0 << 0;
    QTest::newRow("idle while off line, run once on line")
        << 2 << 1 << 2 << 0 << 4 << QStringList{"1", "Idle", "Idle", "0", "2"} << 1 << 0 << 3;
    QTest::newRow("still off line: one minute short of due")
        << 2 << 1 << 3 << 0 << 3 << QStringList{"1", "Idle", "Idle"} << 0 << 1 << 2;
    QTest::newRow("off line without idling: the run starts untested")
        << 1 << 0 << 1 << 0 << 1 << QStringList{"0", "1"} << 1 << 0 << 0;
    QTest::newRow("idling tests only when due")
        << 3 << 1 << 5 << 0 << 2 << QStringList{"2", "1"} << 0 << 2 << 0;
}

void TestRecheckClock::minuteTicks()
{
    QFETCH(int, interval);
    QFETCH(int, idleIfOffline);
    QFETCH(int, offlineAnswers);
    QFETCH(int, processHeld);
    QFETCH(int, ticks);
    QFETCH(QStringList, texts);
    QFETCH(int, runs);
    QFETCH(int, minutesAfter);
    QFETCH(int, connectivityTests);

    ClockRig rig;
    rig.settings.recheckIntervalMinutes = interval;
    rig.settings.idleIfOffline = qint16(idleIfOffline);
    for (int i = 0; i < offlineAnswers; ++i)
        rig.connectivity.answers.enqueue({false, false});
    rig.clock.toggle();
    QVERIFY(rig.clock.isRunning());
    if (processHeld >= 1)
        rig.runs->reserve();
    if (processHeld == 2)
        rig.runs->beginClosing();
    for (int i = 0; i < ticks; ++i)
        rig.clock.timedRecheckTick();

    QCOMPARE(rig.texts().mid(1), texts);
    QCOMPARE(rig.runsEnded, runs);
    QCOMPARE(rig.prompter.texts().count(haltNoUsers), runs);
    QCOMPARE(rig.clock.minutesSinceCheck(), minutesAfter);
    QCOMPARE(rig.connectivity.tests, connectivityTests);
    const int idle = int(rig.texts().indexOf(QStringLiteral("Idle")));
    if (idle >= 0) // the idle tip shows even with tool tips off
        QCOMPARE(rig.shown[idle].toolTip, std::optional<QString>(RecheckClock::IdleTip));
}

void TestRecheckClock::switchingOnAndOff_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("toolTipsOff");
    QTest::addColumn<bool>("turnsOn");
    QTest::addColumn<QString>("onTip");
    QTest::addColumn<QString>("offTip");

    const QString on15 = QStringLiteral(
        "On - Minutes Until Next Timed Re-Check For Mail - Interval Set = 15 (dbl-click on/off)");
    QTest::newRow("on and off") << 15 << 0 << true << on15
                                << "Off - Timed Re-Check For Mail (dbl-click on/off)";
    QTest::newRow("tool tips off") << 15 << 1 << true << ""
                                   << "";
    QTest::newRow("interval 0 refuses") << 0 << 0 << false << ""
                                        << "";
}

void TestRecheckClock::switchingOnAndOff()
{
    QFETCH(int, interval);
    QFETCH(int, toolTipsOff);
    QFETCH(bool, turnsOn);
    QFETCH(QString, onTip);
    QFETCH(QString, offTip);

    ClockRig rig;
    rig.settings.recheckIntervalMinutes = interval;
    rig.settings.toolTipsOff = qint16(toolTipsOff);
    rig.clock.setMinutesSinceCheck(7);
    rig.clock.toggle();
    QCOMPARE(rig.clock.isRunning(), turnsOn);
    if (!turnsOn) {
        QCOMPARE(rig.prompter.texts(),
                 QStringList{"Your Timer Setting Should Be Set Greater\nThan 0 Min. To Use Timed "
                             "Re-Check For Mail."});
        QCOMPARE(rig.prompter.messageKinds(), QList<MessageKind>{MessageKind::Warning});
        QVERIFY(rig.shown.isEmpty());
        return;
    }
    QCOMPARE(rig.clock.minutesSinceCheck(), 0);
    QCOMPARE(rig.shown.size(), 1);
    QCOMPARE(rig.shown[0], (RecheckIndicator{QString::number(interval), TimerLook::On, onTip}));
    QCOMPARE(rig.clock.recheckTimer().interval(), 60000);

    rig.clock.setMinutesSinceCheck(3);
    rig.clock.toggle();
    QVERIFY(!rig.clock.isRunning());
    QCOMPARE(rig.clock.minutesSinceCheck(), 0);
    QCOMPARE(rig.shown.last(), (RecheckIndicator{QString(), TimerLook::Off, offTip}));
    QVERIFY(rig.prompter.texts().isEmpty());
}

void TestRecheckClock::shortenedIntervalFallsDueAtOnce()
{
    ClockRig rig;
    rig.settings.recheckIntervalMinutes = 10;
    rig.clock.toggle();
    for (int i = 0; i < 4; ++i)
        rig.clock.timedRecheckTick();
    QCOMPARE(rig.texts().last(), QStringLiteral("6"));

    // Lengthening never starts a run; the indicator follows the new interval.
    rig.settings.recheckIntervalMinutes = 12;
    rig.clock.intervalReleased(false);
    QCOMPARE(rig.texts().last(), QStringLiteral("8"));
    QCOMPARE(rig.runsEnded, 0);

    // Shortened to the minutes already counted: the tick comes at once.
    rig.settings.recheckIntervalMinutes = 4;
    rig.clock.intervalReleased(true);
    QCOMPARE(rig.runsEnded, 1);
    QCOMPARE(rig.texts().mid(rig.texts().size() - 3), (QStringList{"0", "4", "4"}));
}

void TestRecheckClock::onlyChecksRestartTheCount_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("minutesAfter");
    QTest::addColumn<QStringList>("texts"); // shown by the action, then by one more tick

    QTest::newRow("Delete Mail answered No") << "declined" << 3 << QStringList{"1"};
    QTest::newRow("Delete Mail with nothing marked") << "unmarked" << 3 << QStringList{"1"};
    QTest::newRow("delete run halted") << "delete halted" << 3 << QStringList{"1"};
    QTest::newRow("delete run completed") << "delete completed" << 3 << QStringList{"1"};
    QTest::newRow("check run halted") << "check halted" << 0 << QStringList{"5", "4"};
}

void TestRecheckClock::onlyChecksRestartTheCount()
{
    using namespace deleterig;
    QFETCH(QString, action);
    QFETCH(int, minutesAfter);
    QFETCH(QStringList, texts);

    ScriptedPop3Peer peer;
    peer.addScript(session("ann", "pw1", {"Alpha"}, {"TOP 1 2", "DELE 1", "QUIT"}));
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));
    ClockRig rig;
    prepare(rig);
    rig.settings.recheckIntervalMinutes = 5;
    rig.clock.toggle();
    rig.clock.setMinutesSinceCheck(3);
    rig.shown.clear();
    QSignalSpy ended(rig.runs.get(), &RunCoordinator::runEnded);

    if (action == "declined" || action == "delete completed") {
        addRow(rig, "ann", "pw1", peer.port(), "Alpha", true);
        rig.prompter.queueYesNo(action == "delete completed");
        rig.runs->startDeleteFromUser();
    } else if (action == "unmarked") {
        addRow(rig, "ann", "pw1", peer.port(), "Alpha", false);
        rig.runs->startDeleteFromUser();
    } else if (action == "delete halted") {
        rig.runs->startDelete(); // the list is empty
    } else {
        rig.runs->startCheck(); // no accounts
    }
    QVERIFY(!ended.isEmpty() || ended.wait(10000));
    if (action == "delete completed")
        QCOMPARE(rig.logLines().last(), QStringLiteral("..Delete Complete: Deleted 1 Mail Item"));

    QCOMPARE(rig.clock.minutesSinceCheck(), minutesAfter);
    rig.clock.timedRecheckTick();
    QCOMPARE(rig.texts(), texts);
    QCOMPARE(rig.runsEnded, 1);
}

void TestRecheckClock::soundAndAlarmAtRunEnd_data()
{
    QTest::addColumn<int>("playSound");
    QTest::addColumn<int>("continuousAlarm");
    QTest::addColumn<int>("newMail");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<bool>("alarm");

    QTest::newRow("sound and alarm, new mail") << 1 << 1 << 2 << 1 << true;
    QTest::newRow("sound only") << 1 << 0 << 1 << 1 << false;
    QTest::newRow("no new mail: silence") << 1 << 1 << 0 << 0 << false;
    QTest::newRow("alarm without sound: silence") << 0 << 1 << 3 << 0 << false;
}

void TestRecheckClock::soundAndAlarmAtRunEnd()
{
    QFETCH(int, playSound);
    QFETCH(int, continuousAlarm);
    QFETCH(int, newMail);
    QFETCH(int, beeps);
    QFETCH(bool, alarm);

    ClockRig rig;
    rig.settings.playSound = qint16(playSound);
    rig.settings.continuousAlarm = qint16(continuousAlarm);
    rig.clock.checkRunCompleted(newMail);
    QCOMPARE(rig.beeps, beeps);
    QCOMPARE(rig.clock.alarmActive(), alarm);
    QCOMPARE(rig.panel, alarm ? QList<bool>{true} : QList<bool>{});
    QCOMPARE(rig.clock.alarmTimer().interval(), 5000);
}

void TestRecheckClock::alarmBeepsUntilStopped()
{
    ClockRig rig;
    rig.settings.playSound = 1;
    rig.settings.continuousAlarm = 1;
    rig.clock.alarmTimer().setInterval(40);
    rig.clock.setAlarmFlashMs(10);
    rig.clock.checkRunCompleted(1);
    QVERIFY(QTest::qWaitFor([&] { return rig.beeps >= 4; }, 3000));

    rig.clock.stopAlarm();
    QVERIFY(!rig.clock.alarmActive());
    QCOMPARE(rig.panel, (QList<bool>{true, false}));
    // Let a tick already inside its flash finish, then nothing more sounds.
    QTest::qWait(50);
    const int beepsAtStop = rig.beeps;
    QTest::qWait(200);
    QCOMPARE(rig.beeps, beepsAtStop);
    // Every flash lit the lamp and put it out again.
    QVERIFY(rig.lamp.size() >= 6);
    QCOMPARE(rig.lamp.size() % 2, 0);
    for (int i = 0; i < rig.lamp.size(); ++i)
        QCOMPARE(rig.lamp[i], i % 2 == 0);
}

void TestRecheckClock::timedRunAgainstServer()
{
    // Two timed runs on a short minute, against a server holding one message:
    // the counter restarts after each run and the message stays new (nobody
    // marked it seen), so each run ends with the sound.
    ScriptedPop3Peer peer;
    for (int run = 0; run < 2; ++run) {
        peer.addScript(Pop3Script()
                           .send(Pop3Reply::greeting())
                           .expect("USER amy")
                           .send(Pop3Reply::ok())
                           .expect("PASS pw")
                           .send(Pop3Reply::ok())
                           .expect("STAT")
                           .send(Pop3Reply::stat(1, 120))
                           .expect("TOP 1 2")
                           .send(Pop3Reply::top(Pop3Reply::headers(
                               "Ann <ann@example.org>", "Lunch", "Mon, 6 Jan 2003 09:15:00 +0000")))
                           .expect("QUIT")
                           .send(Pop3Reply::ok("bye"))
                           .close());
    }
    QVERIFY2(peer.listen(), qPrintable(peer.errorString()));

    ClockRig rig;
    rig.addAccount(QStringLiteral("amy"), QStringLiteral("pw"), peer.port());
    rig.settings.recheckIntervalMinutes = 2;
    rig.settings.playSound = 1;
    rig.clock.setMinuteMs(30);
    rig.stopAfterRuns = 2;
    rig.clock.toggle();
    QVERIFY(QTest::qWaitFor([&] { return rig.runsEnded == 2; }, 15000));
    QVERIFY(!rig.clock.isRunning());
    QVERIFY_PEER_DONE(peer, 5000);

    QCOMPARE(rig.texts(), (QStringList{"2", "1", "0", "2", "1", "0", "2", ""}));
    QCOMPARE(rig.beeps, 2);
    QVERIFY(!rig.clock.alarmActive());
    QVERIFY(!rig.runs->isBusy());
    QCOMPARE(rig.logLines().last(),
             QStringLiteral("..Check Complete: 1 New Mail Item -Total Items: 1"));
    QCOMPARE(rig.mails.itemCount(), 1);
    QCOMPARE(rig.mails.item(0).image, MailImage::New);
    QVERIFY(rig.prompter.texts().isEmpty());
}

QTEST_GUILESS_MAIN(TestRecheckClock)
#include "test_recheck_clock.moc"
