// What the session does with the server's capabilities: STLS before any
// log-on, UTF8, PIPELINING over TLS from the first byte, and how commands
// are encoded once UTF8 is accepted or not.
#include "session_machine_rig.h"

class TestSessionCapabilities : public QObject
{
    Q_OBJECT

private slots:
    void capabilities_data();
    void capabilities();
    void stlsUpgradeAsksAgain();
    void tlsFromTheFirstBytePipelines();
    void commandEncoding_data();
    void commandEncoding();
};

void TestSessionCapabilities::capabilities_data()
{
    QTest::addColumn<QList<QByteArray>>("capaReply");
    QTest::addColumn<QList<Turn>>("turns");
    QTest::addColumn<QList<SessionReport>>("reports");
    QTest::addColumn<QList<SessionEnd>>("ends");
    QTest::addColumn<int>("tlsStarts");
    const QList<SessionReport> plainLog{greeted, reply("+OK in"), checking, reply("+OK bye")};
    const QList<Turn> plainTurns{{"USER bob", {"+OK\r\n"}},
                                 {"PASS pw", {"+OK in\r\n"}},
                                 {"STAT", {"+OK 0 0\r\n"}},
                                 {"QUIT", {"+OK bye\r\n"}}};
    // An old server: the rest of the session is exactly as without CAPA.
    QTest::newRow("-ERR to CAPA") << QList<QByteArray>{"-ERR unknown\r\n"} << plainTurns << plainLog
                                  << QList<SessionEnd>{SessionEnd::QuitAnswered} << 0;
    QTest::newRow("neither STLS nor UTF8")
        << QList<QByteArray>{"+OK\r\nTOP\r\nUSER\r\nSASL PLAIN\r\n", ".\r\n"} << plainTurns
        << plainLog << QList<SessionEnd>{SessionEnd::QuitAnswered} << 0;
    QTest::newRow("STLS listed, any case, never USER before TLS")
        << QList<QByteArray>{"+OK\r\nuser\r\nstls\r\n.\r\n"}
        << QList<Turn>{{"STLS", {"+OK Begin TLS\r\n"}}} << QList<SessionReport>{greeted}
        << QList<SessionEnd>{} << 1;
    QTest::newRow("-ERR to STLS ends, no plain log-on")
        << QList<QByteArray>{"+OK\r\nSTLS\r\n.\r\n"} << QList<Turn>{{"STLS", {"-ERR not now\r\n"}}}
        << QList<SessionReport>{greeted, noted(SessionNote::StlsRefused, "-ERR not now")}
        << QList<SessionEnd>{SessionEnd::TlsRefused} << 0;
    QTest::newRow("plain text behind the STLS +OK")
        << QList<QByteArray>{"+OK\r\nSTLS\r\n.\r\n"}
        << QList<Turn>{{"STLS", {"+OK Begin TLS\r\n+OK injected\r\n"}}}
        << QList<SessionReport>{greeted} << QList<SessionEnd>{SessionEnd::BrokenReply} << 0;
}

void TestSessionCapabilities::capabilities()
{
    QFETCH(QList<QByteArray>, capaReply);
    QFETCH(QList<Turn>, turns);
    QFETCH(QList<SessionReport>, reports);
    QFETCH(QList<SessionEnd>, ends);
    QFETCH(int, tlsStarts);
    Conversation c;
    c.host.encrypted = false;
    QList<Turn> all{{"CAPA", capaReply}};
    all.append(turns);
    c.play({greeting}, all);
    QVERIFY2(c.unexpected.isEmpty(), qPrintable(c.unexpected.join('\n')));
    QCOMPARE(c.host.reports, reports);
    QCOMPARE(c.host.ends, ends);
    QCOMPARE(c.host.tlsStarts, tlsStarts);
}

void TestSessionCapabilities::stlsUpgradeAsksAgain()
{
    Conversation c;
    c.host.encrypted = false;
    c.host.options.useApop = true;
    c.host.options.apopSecret = QStringLiteral("tanstaaf");
    c.play({greeting}, {{"CAPA", {"+OK\r\nSTLS\r\n.\r\n"}}, {"STLS", {"+OK\r\n"}}});
    QCOMPARE(c.host.tlsStarts, 1);
    QCOMPARE(c.ctx.state, SessionState::StartingTls);
    QCOMPARE(c.host.sent.size(), 2); // nothing more until the handshake is done
    c.host.encrypted = true;
    c.session.tlsStarted();
    QCOMPARE(c.host.sent.last(), QStringLiteral("CAPA"));
    // Over TLS the list is taken afresh; STLS again is not acted on, and
    // the APOP timestamp of the greeting before TLS still serves.
    c.feed({"+OK\r\nSTLS\r\nTOP\r\n.\r\n"});
    QCOMPARE(c.host.sent.last(), QStringLiteral("APOP bob c4c9334bac560ecc979e58001b3e22fb"));
}

void TestSessionCapabilities::tlsFromTheFirstBytePipelines()
{
    // Port 995 asks CAPA too: STLS there is not acted on, PIPELINING is.
    Conversation c;
    c.play({greeting}, {{"CAPA", {"+OK\r\nSTLS\r\nPIPELINING\r\n.\r\n"}},
                        {"USER bob", {"+OK\r\n"}},
                        {"PASS pw", {"+OK\r\n"}},
                        {"STAT", {"+OK 3 300\r\n"}},
                        {"TOP 1 2", {}},
                        {"TOP 2 2", {}},
                        {"TOP 3 2", {topReply(1) + topReply(2), topReply(3)}},
                        {"QUIT", {"+OK\r\n"}}});
    QVERIFY2(c.unexpected.isEmpty(), qPrintable(c.unexpected.join('\n')));
    QCOMPARE(c.host.tlsStarts, 0);
    QCOMPARE(c.host.extracted.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(c.host.extracted[i].second, i + 1);
        QVERIFY(c.host.extracted[i].first.startsWith(
            QStringLiteral("From: a%1@x\r\n").arg(i + 1).toLatin1()));
    }
    QCOMPARE(c.host.ends, QList<SessionEnd>{SessionEnd::QuitAnswered});
}

void TestSessionCapabilities::commandEncoding_data()
{
    QTest::addColumn<QByteArray>("capaList");
    QTest::addColumn<QByteArray>("utf8Reply");
    QTest::addColumn<QByteArray>("pass");
    const QByteArray utf8Pass = "PASS p\xc3\xa4\xe2\x82\xac";
    const QByteArray ansiPass = "PASS p\xe4\x80";
    QTest::newRow("UTF8 accepted") << QByteArray("UTF8\r\n") << QByteArray("+OK\r\n") << utf8Pass;
    QTest::newRow("UTF8 refused") << QByteArray("UTF8\r\n") << QByteArray("-ERR no\r\n")
                                  << ansiPass;
    QTest::newRow("UTF8 not listed") << QByteArray("TOP\r\n") << QByteArray() << ansiPass;
}

void TestSessionCapabilities::commandEncoding()
{
    QFETCH(QByteArray, capaList);
    QFETCH(QByteArray, utf8Reply);
    QFETCH(QByteArray, pass);
    Conversation c;
    c.host.encrypted = false;
    c.ctx.password = QStringLiteral("p\u00e4\u20ac");
    QList<Turn> turns{{"CAPA", {"+OK\r\n" + capaList + ".\r\n"}}};
    if (!utf8Reply.isEmpty())
        turns.append(Turn{"UTF8", {utf8Reply}});
    turns.append(Turn{"USER bob", {"+OK\r\n"}});
    c.play({greeting}, turns);
    // The password follows the last turn's reply.
    QCOMPARE(c.host.sent.size(), turns.size() + 1);
    QCOMPARE(c.host.sentBytes.last(), pass);
}

QTEST_GUILESS_MAIN(TestSessionCapabilities)
#include "test_session_capabilities.moc"
