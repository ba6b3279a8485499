// The session state machine fed byte arrivals directly, without a socket:
// how replies are cut from the stream, what is sent, logged and extracted.
#include "pop3/apop_digest.h"
#include "session_machine_rig.h"

#include <QTest>

class TestSessionMachine : public QObject
{
    Q_OBJECT
private slots:
    void threeMessages_data();
    void threeMessages();
    void emptyMailbox();
    void errorReplies_data();
    void errorReplies();
    void fetchErrors_data();
    void fetchErrors();
    void apop_data();
    void apop();
    void cancelWhileBlockArrives();
    void brokenStreams_data();
    void brokenStreams();
    void retrKeepsOnlyHeaderBlock();
    void implausibleCounts_data();
    void implausibleCounts();
    void longServerTextReachesTheRunWhole();
};

void TestSessionMachine::threeMessages_data()
{
    QTest::addColumn<bool>("retr");
    QTest::addColumn<bool>("byteByByte");
    QTest::newRow("top, whole replies") << false << false;
    QTest::newRow("top, every byte its own arrival") << false << true;
    QTest::newRow("retr, whole replies") << true << false;
    QTest::newRow("retr, every byte its own arrival") << true << true;
}

void TestSessionMachine::threeMessages()
{
    QFETCH(bool, retr);
    QFETCH(bool, byteByByte);
    const auto split = [&](const QByteArray& b) {
        return byteByByte ? bytewise(b) : QList<QByteArray>{b};
    };
    const QString fetch = retr ? QStringLiteral("RETR %1") : QStringLiteral("TOP %1 2");
    Conversation c;
    c.host.options.useRetr = retr;
    c.play(split(greeting), {{"USER bob", split("+OK\r\n")},
                             {"PASS pw", split("+OK logged in\r\n")},
                             {"STAT", split("+OK 3 300\r\n")},
                             {fetch.arg(1), split(topReply(1))},
                             {fetch.arg(2), split(topReply(2))},
                             {fetch.arg(3), split(topReply(3))},
                             {"QUIT", split("+OK bye\r\n")}});
    QVERIFY2(c.unexpected.isEmpty(), qPrintable(c.unexpected.join('\n')));
    QCOMPARE(c.host.closes, 1);
    // Each reply, the greeting and the answer to CAPA too, is announced
    // once, whole, however it was split: the host pairs replies with the
    // commands it sent.
    QCOMPARE(c.host.replies, 9);
    QCOMPARE(c.host.reports,
             QList<SessionReport>({greeted, reply("+OK logged in"), checking, reply("+OK bye")}));
    QCOMPARE(c.host.extracted.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(c.host.extracted[i].second, i + 1);
        QVERIFY(c.host.extracted[i].first.startsWith(
            QStringLiteral("From: a%1@x\r\n").arg(i + 1).toLatin1()));
        QVERIFY(c.host.extracted[i].first.contains("\r\n\r\n"));
    }
    QCOMPARE(c.host.noMailRows, 0);
}

void TestSessionMachine::emptyMailbox()
{
    Conversation c;
    // The greeting and the closing line of the STAT reply come in pieces.
    c.play({"+OK PO", "P3 ready\r", "\n"}, {{"USER bob", {"+OK\r\n"}},
                                            {"PASS pw", {"+OK\r\n"}},
                                            {"STAT", {"+OK 0 0\r", "\n"}},
                                            {"QUIT", {"+OK\r\n"}}});
    QVERIFY2(c.unexpected.isEmpty(), qPrintable(c.unexpected.join('\n')));
    QCOMPARE(c.host.noMailRows, 1);
    QCOMPARE(c.host.closes, 1);
    QCOMPARE(c.host.reports.first(), reply("+OK POP3 ready"));
}

void TestSessionMachine::errorReplies_data()
{
    QTest::addColumn<QList<Turn>>("turns");
    QTest::addColumn<SessionReport>("report");
    // The whole reply goes to the run, which cuts it for the log.
    const QByteArray longReply = "-ERR " + QByteArray(295, 'x') + "\r\n"; // 302 characters
    QTest::newRow("after USER, long")
        << QList<Turn>{{"USER bob", {longReply}}}
        << noted(SessionNote::UserRefused, QString::fromLatin1(longReply.chopped(2)));
    QTest::newRow("after PASS") << QList<Turn>{{"USER bob", {"+OK\r\n"}},
                                               {"PASS pw", {"-ERR [AUTH] bad", " password\r\n"}}}
                                << noted(SessionNote::PasswordRefused,
                                         QStringLiteral("-ERR [AUTH] bad password"));
    QTest::newRow("after STAT, no prefix")
        << QList<Turn>{{"USER bob", {"+OK\r\n"}}, {"PASS pw", {"+OK\r\n"}}, {"STAT", {"-ERR\r\n"}}}
        << reply("-ERR");
    QTest::newRow("STAT count that is no number") << QList<Turn>{{"USER bob", {"+OK\r\n"}},
                                                                 {"PASS pw", {"+OK\r\n"}},
                                                                 {"STAT", {"+OK x 1\r\n"}}}
                                                  << reply("+OK x 1");
}

void TestSessionMachine::errorReplies()
{
    QFETCH(QList<Turn>, turns);
    QFETCH(SessionReport, report);
    Conversation c;
    c.play({greeting}, turns);
    QVERIFY2(c.unexpected.isEmpty(), qPrintable(c.unexpected.join('\n')));
    QCOMPARE(c.host.reports.last(), report);
    QCOMPARE(c.host.closes, 1);
    QVERIFY(!c.host.sent.contains(QStringLiteral("QUIT"))); // closed without QUIT
}

void TestSessionMachine::fetchErrors_data()
{
    QTest::addColumn<bool>("retr");
    QTest::addColumn<QList<QByteArray>>("reply");
    QTest::addColumn<SessionReport>("report");
    QTest::addColumn<int>("extracted");
    QTest::newRow("-ERR to TOP") << false << QList<QByteArray>{"-ERR no such message\r\n"}
                                 << noted(SessionNote::TopRefused) << 0;
    QTest::newRow("-ERR to RETR") << true << QList<QByteArray>{"-ER", "R no\r\n"}
                                  << noted(SessionNote::RetrRefused) << 0;
    // Only the start of a reply is tested for -ERR: an arrival inside a
    // reply that happens to begin with it is mail text.
    QTest::newRow("-ERR inside a reply")
        << false << QList<QByteArray>{"+OK\r\nFrom: a\r\n", "-ERR: odd header\r\n\r\n.\r\n"}
        << checking << 1;
}

void TestSessionMachine::fetchErrors()
{
    QFETCH(bool, retr);
    QFETCH(QList<QByteArray>, reply);
    QFETCH(SessionReport, report);
    QFETCH(int, extracted);
    Conversation c;
    c.host.options.useRetr = retr;
    c.play({greeting}, {{"USER bob", {"+OK\r\n"}},
                        {"PASS pw", {"+OK\r\n"}},
                        {"STAT", {"+OK 1 10\r\n"}},
                        {retr ? "RETR 1" : "TOP 1 2", reply},
                        {"QUIT", {"+OK\r\n"}}});
    QVERIFY2(c.unexpected.isEmpty(), qPrintable(c.unexpected.join('\n')));
    QCOMPARE(c.host.extracted.size(), extracted);
    QCOMPARE(c.host.reports.at(c.host.reports.size() - 2), report);
    QCOMPARE(c.host.closes, 1);
}

void TestSessionMachine::apop_data()
{
    QTest::addColumn<QByteArray>("greetingLine");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("command");
    QTest::addColumn<SessionReport>("report");
    QTest::newRow("digest") << greeting << QStringLiteral("tanstaaf")
                            << QStringLiteral("APOP bob c4c9334bac560ecc979e58001b3e22fb")
                            << reply("+OK");
    QTest::newRow("no secret") << greeting << QString() << QStringLiteral("QUIT")
                               << noted(SessionNote::ApopNoSecret);
    QTest::newRow("no timestamp") << QByteArray("+OK ready <no end\r\n") << QStringLiteral("s")
                                  << QStringLiteral("QUIT") << noted(SessionNote::ApopNoTimestamp);
}

void TestSessionMachine::apop()
{
    QFETCH(QByteArray, greetingLine);
    QFETCH(QString, secret);
    QFETCH(QString, command);
    QFETCH(SessionReport, report);
    Conversation c;
    c.host.options.useApop = true;
    c.host.options.apopSecret = secret;
    const bool refused = command == QLatin1String("QUIT");
    QList<Turn> turns{{command, {"+OK\r\n"}}};
    if (!refused)
        turns.append(Turn{"STAT", {}});
    c.play({greetingLine}, turns);
    QVERIFY2(c.unexpected.isEmpty(), qPrintable(c.unexpected.join('\n')));
    // Logged after the greeting, before any reply to what was sent.
    QCOMPARE(c.host.reports.at(1), report);
    QCOMPARE(c.host.closes, refused ? 1 : 0);
    QVERIFY(!c.host.sent.contains(QStringLiteral("USER bob"))); // never falls back
}

void TestSessionMachine::cancelWhileBlockArrives()
{
    Conversation c;
    c.play({greeting},
           {{"USER bob", {"+OK\r\n"}}, {"PASS pw", {"+OK\r\n"}}, {"STAT", {"+OK 2 10\r\n"}}});
    QCOMPARE(c.host.sent.last(), QStringLiteral("TOP 1 2"));
    c.feed({"+OK\r\nFrom: a\r\n"});
    c.host.options.cancelRequested = true;
    c.feed({"\r\nbody\r\n.\r\n"});
    QCOMPARE(c.host.extracted.size(), 0);
    QCOMPARE(c.host.clears, 1);
    QCOMPARE(c.host.sent.last(), QStringLiteral("QUIT"));
    QCOMPARE(c.ctx.state, SessionState::SentQuit);
}

void TestSessionMachine::brokenStreams_data()
{
    QTest::addColumn<bool>("fetching");
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<SessionEnd>("why");
    QTest::newRow("garbage greeting")
        << false << QList<QByteArray>{"\x01\x02garbage\r\n"} << SessionEnd::BrokenReply;
    QTest::newRow("greeting without CR LF beyond 64 KiB")
        << false << QList<QByteArray>{"+OK " + QByteArray(40000, 'a'), QByteArray(40000, 'b')}
        << SessionEnd::LineTooLong;
    QTest::newRow("garbage instead of a TOP reply")
        << true << QList<QByteArray>{"HTTP/1.1 200\r\n"} << SessionEnd::BrokenReply;
    QTest::newRow("TOP status line beyond 64 KiB")
        << true << QList<QByteArray>{"+OK " + QByteArray(70000, 'c')} << SessionEnd::LineTooLong;
    QTest::newRow("header block beyond 1 MiB")
        << true
        << QList<QByteArray>{"+OK\r\n", QByteArray(600000, 'h') + "\r\n",
                             QByteArray(600000, 'i') + "\r\n"}
        << SessionEnd::HeaderTooLarge;
}

void TestSessionMachine::brokenStreams()
{
    QFETCH(bool, fetching);
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(SessionEnd, why);
    Conversation c;
    if (fetching) {
        c.play({greeting}, {{"USER bob", {"+OK\r\n"}},
                            {"PASS pw", {"+OK\r\n"}},
                            {"STAT", {"+OK 1 99999999\r\n"}}});
        QCOMPARE(c.ctx.state, SessionState::FetchingHeader);
    }
    const int reportsBefore = c.host.reports.size();
    const int sentBefore = c.host.sent.size();
    c.feed(arrivals);
    QCOMPARE(c.host.closes, 1);
    QVERIFY(c.session.hasEnded());
    QCOMPARE(c.host.reports.size(), reportsBefore); // the host logs the reason
    QCOMPARE(c.host.ends, QList<SessionEnd>{why});
    QCOMPARE(c.host.sent.size(), sentBefore);
    QCOMPARE(c.host.extracted.size(), 0);
}

void TestSessionMachine::retrKeepsOnlyHeaderBlock()
{
    Conversation c;
    c.host.options.useRetr = true;
    c.play({greeting},
           {{"USER bob", {"+OK\r\n"}}, {"PASS pw", {"+OK\r\n"}}, {"STAT", {"+OK 1 9000000\r\n"}}});
    c.feed({"+OK 9000000 octets\r\nFrom: big@x\r\nSubject: large\r\n\r\n"});
    // 8 MB of body in 64 KiB arrivals, with lines that look like the end
    // of a reply but are dot-stuffed, and a closing line split at its LF.
    const QByteArray chunk = QByteArray(65530, 'z') + "\r\n..\r\n";
    for (int i = 0; i < 128; ++i)
        c.feed({chunk});
    c.feed({"last line\r\n", ".", "\r\n"});
    QCOMPARE(c.host.extracted.size(), 1);
    QCOMPARE(c.host.extracted[0].first, QByteArray("From: big@x\r\nSubject: large\r\n\r\n"));
    QCOMPARE(c.host.sent.last(), QStringLiteral("QUIT"));
}

void TestSessionMachine::implausibleCounts_data()
{
    QTest::addColumn<QByteArray>("stat");
    QTest::addColumn<QList<SessionEnd>>("ends");
    QTest::addColumn<int>("messageCount");
    QTest::addColumn<SessionReport>("lastReport");
    QTest::newRow("more messages than octets")
        << QByteArray("+OK 2147483647 0\r\n") << QList<SessionEnd>{SessionEnd::ImplausibleCount}
        << 0 << checking;
    QTest::newRow("above the cap, cut with a note")
        << QByteArray("+OK 1000001 99999999999\r\n") << QList<SessionEnd>{} << 1000000
        << SessionReport{SessionNote::ListingCapped, {}, 1000001};
    QTest::newRow("at the cap") << QByteArray("+OK 1000000 99999999999\r\n") << QList<SessionEnd>{}
                                << 1000000 << checking;
    QTest::newRow("no size given")
        << QByteArray("+OK 3\r\n") << QList<SessionEnd>{} << 3 << checking;
}

void TestSessionMachine::implausibleCounts()
{
    QFETCH(QByteArray, stat);
    QFETCH(QList<SessionEnd>, ends);
    QFETCH(int, messageCount);
    QFETCH(SessionReport, lastReport);
    Conversation c;
    c.play({greeting}, {{"USER bob", {"+OK\r\n"}}, {"PASS pw", {"+OK\r\n"}}, {"STAT", {stat}}});
    QCOMPARE(c.host.ends, ends);
    QCOMPARE(c.ctx.messageCount, messageCount);
    QCOMPARE(c.host.reports.last(), lastReport);
    if (ends.isEmpty())
        QCOMPARE(c.host.sent.last(), QStringLiteral("TOP 1 2"));
}

void TestSessionMachine::longServerTextReachesTheRunWhole()
{
    // A 60 KB greeting: it reaches the run whole (the run cuts it for the
    // log), and the session still finds the APOP timestamp at its end.
    const QByteArray stamp = "<1896.697170952@dbc.mtview.ca.us>";
    Conversation c;
    c.host.options.useApop = true;
    c.host.options.apopSecret = QStringLiteral("tanstaaf");
    c.feed({"+OK " + QByteArray(60000, 'g') + ' ' + stamp + "\r\n"});
    QCOMPARE(c.host.sent, QStringList{"CAPA"});
    c.feed({"-ERR\r\n"});
    QCOMPARE(c.host.reports.size(), 1);
    QCOMPARE(c.host.reports.first(),
             reply(QStringLiteral("+OK ") + QString(60000, QLatin1Char('g')) + QLatin1Char(' ') +
                   QString::fromLatin1(stamp)));
    QCOMPARE(c.host.sent.last(), QStringLiteral("APOP bob c4c9334bac560ecc979e58001b3e22fb"));
}

QTEST_GUILESS_MAIN(TestSessionMachine)
#include "test_session_machine.moc"
