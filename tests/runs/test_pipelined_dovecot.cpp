// Pipelined and cached checks against a real POP3 server (a private
// Dovecot, which lists PIPELINING and UIDL), compared with the
// one-at-a-time check of the same mailbox: a relay hides capabilities to
// make the same server one without them.
#include "run_rig.h"
#include "runs/header_cache.h"
#include "support/servers_capability_relay.h"
#include "support/servers_dovecot.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

constexpr int mailCount = 300;

} // namespace

class TestPipelinedDovecot : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pipelinedCachedAndOneAtATimeListTheSameRows();

private:
    // One check through the relay, which hides these capabilities (STLS
    // always, so the relay sees the commands).
    bool check(RunRig& rig, const QList<QByteArray>& hidden);

    DovecotFixture m_dovecot;
    std::unique_ptr<CapabilityRelay> m_relay;
};

void TestPipelinedDovecot::initTestCase()
{
    if (DovecotFixture::dovecotBinary().isEmpty())
        QFAIL("Dovecot is not installed (scripts/install-deps.sh installs it)");
    m_dovecot.addUser("dana", "secret4");
    QVERIFY(m_dovecot.writeGeneratedMessages("dana", mailCount));
    QVERIFY2(m_dovecot.start(), qPrintable(m_dovecot.errorString()));
    m_relay = std::make_unique<CapabilityRelay>(m_dovecot.plainPort());
    QVERIFY(m_relay->listen());
}

bool TestPipelinedDovecot::check(RunRig& rig, const QList<QByteArray>& hidden)
{
    m_relay->setHidden(QList<QByteArray>{"STLS"} + hidden);
    m_relay->resetCounts();
    QElapsedTimer timer;
    timer.start();
    const bool ended = rig.run(60000);
    qInfo("check of %d messages hiding %s: %lld ms, %d TOP sent, at most %d in flight",
          rig.mails.itemCount(), QByteArrayList(hidden).join(' ').constData(), timer.elapsed(),
          m_relay->commandCount("TOP"), m_relay->mostFetchesInFlight());
    return ended;
}

void TestPipelinedDovecot::pipelinedCachedAndOneAtATimeListTheSameRows()
{
    HeaderCache cache;
    RunRig rig;
    rig.runs->setHeaderCache(&cache);
    rig.addAccount("dana", "secret4", m_relay->port());

    // Pipelined, the cache empty: every message fetched, a window in flight.
    QVERIFY(check(rig, {}));
    QCOMPARE(m_relay->commandCount("UIDL"), 1);
    QCOMPARE(m_relay->commandCount("TOP"), mailCount);
    QVERIFY2(m_relay->mostFetchesInFlight() > 1, "no fetches were pipelined");
    const QStringList first = rig.rows();
    QCOMPARE(first.size(), mailCount);
    for (int i : {1, mailCount}) {
        const GeneratedMail m = GeneratedMail::number(i);
        QCOMPARE(first[i - 1].section(QLatin1Char('|'), 0, 6),
                 QStringList({"dana", m.from, m.subject, m.date, "127.0.0.1",
                              QString::number(m_relay->port()), "2"})
                     .join(QLatin1Char('|')));
    }

    // Everything marked seen, one message arrives: the re-check fetches it
    // alone and takes the rest from the cache.
    for (int i = 0; i < rig.mails.itemCount(); ++i)
        rig.mails.setImage(i, MailImage::Seen);
    QVERIFY(m_dovecot.writeGeneratedMessages("dana", 1, mailCount + 1));
    QVERIFY(check(rig, {}));
    QCOMPARE(m_relay->commandCount("TOP"), 1);
    const QStringList cached = rig.rows();
    QCOMPARE(cached.size(), mailCount + 1);
    QVERIFY(cached.first().endsWith("|1|K1Psecret4"));
    QVERIFY(cached.last().contains(GeneratedMail::number(mailCount + 1).subject));
    QVERIFY(cached.last().endsWith(QStringLiteral("|2|K%1Psecret4").arg(mailCount + 1)));

    // The same server without PIPELINING and UIDL: one fetch at a time.
    QVERIFY(check(rig, {"PIPELINING", "UIDL"}));
    QCOMPARE(m_relay->commandCount("UIDL"), 0);
    QCOMPARE(m_relay->commandCount("TOP"), mailCount + 1);
    QCOMPARE(m_relay->mostFetchesInFlight(), 1);
    QCOMPARE(rig.rows(), cached);

    // Pipelined again, no cache: every message fetched, the same rows.
    rig.runs->setHeaderCache(nullptr);
    QVERIFY(check(rig, {}));
    QCOMPARE(m_relay->commandCount("UIDL"), 0);
    QCOMPARE(m_relay->commandCount("TOP"), mailCount + 1);
    QVERIFY(m_relay->mostFetchesInFlight() > 1);
    QCOMPARE(rig.rows(), cached);
    QCOMPARE(rig.logLines().last(), "..Check Complete: 1 New Mail Item -Total Items: 301");
}

QTEST_GUILESS_MAIN(TestPipelinedDovecot)
#include "test_pipelined_dovecot.moc"
