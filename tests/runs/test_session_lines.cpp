// The log lines the run writes for what a session tells it: the prefixes
// of each refusal and the cut of long server replies.
#include "runs/run_texts.h"

#include <QTest>

Q_DECLARE_METATYPE(SessionReport)

class TestSessionLines : public QObject
{
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
};

void TestSessionLines::lines_data()
{
    QTest::addColumn<SessionReport>("report");
    QTest::addColumn<QString>("line");
    const QString longError = QStringLiteral("-ERR ") + QString(295, QLatin1Char('x'));
    QTest::newRow("USER refused, long reply cut to 240")
        << SessionReport{SessionNote::UserRefused, longError, 0}
        << QStringLiteral("Username Logon Error: Chopped To 240 Chrs: ") + longError.left(240);
    const QString exact = QStringLiteral("-ERR ") + QString(235, QLatin1Char('y'));
    QTest::newRow("240 characters are not cut") << SessionReport{SessionNote::UserRefused, exact, 0}
                                                << QStringLiteral("Username Logon Error: ") + exact;
    QTest::newRow("241 characters are cut")
        << SessionReport{SessionNote::ServerReply, exact + QLatin1Char('z'), 0}
        << QStringLiteral("Chopped To 240 Chrs: ") + exact;
    const QString greeting = QStringLiteral("+OK ") + QString(60000, QLatin1Char('g')) +
                             QStringLiteral(" <1896.697170952@dbc.mtview.ca.us>");
    QTest::newRow("60 KB greeting")
        << SessionReport{SessionNote::ServerReply, greeting, 0}
        << QStringLiteral("Chopped To 240 Chrs: +OK ") + QString(236, QLatin1Char('g'));
    QTest::newRow("PASS refused") << SessionReport{SessionNote::PasswordRefused,
                                                   QStringLiteral("-ERR [AUTH] bad password")}
                                  << QStringLiteral(
                                         "Password Logon Error: -ERR [AUTH] bad password");
    QTest::newRow("STLS refused") << SessionReport{SessionNote::StlsRefused,
                                                   QStringLiteral("-ERR not now")}
                                  << QStringLiteral("..TLS Error: STLS Refused: -ERR not now");
    QTest::newRow("empty reply") << SessionReport{SessionNote::ServerReply, QString(), 0}
                                 << QString();
    QTest::newRow("check") << SessionReport{SessionNote::CheckingForMail, {}, 0}
                           << QStringLiteral("..Checking For Mail");
    QTest::newRow("delete") << SessionReport{SessionNote::CheckingForDeletes, {}, 0}
                            << QStringLiteral("..Checking For Delete Mail Items On Server");
    QTest::newRow("capped") << SessionReport{SessionNote::ListingCapped, {}, 1000001}
                            << QStringLiteral("..Listing Only The First 1000000 Of 1000001 Mail "
                                              "Items");
    QTest::newRow("TOP refused") << SessionReport{SessionNote::TopRefused, {}, 0}
                                 << QStringLiteral("Error Using -TOP- Command");
    QTest::newRow("RETR refused, an empty line")
        << SessionReport{SessionNote::RetrRefused, {}, 0} << QString();
    QTest::newRow("APOP without secret") << SessionReport{SessionNote::ApopNoSecret, {}, 0}
                                         << QStringLiteral("APOP Logon Error - No Shared Secret");
    QTest::newRow("APOP without timestamp")
        << SessionReport{SessionNote::ApopNoTimestamp, {}, 0}
        << QStringLiteral("APOP Logon Error - No Server TimeStamp");
}

void TestSessionLines::lines()
{
    QFETCH(SessionReport, report);
    QFETCH(QString, line);
    QCOMPARE(RunText::sessionLine(report), line);
}

QTEST_GUILESS_MAIN(TestSessionLines)
#include "test_session_lines.moc"
