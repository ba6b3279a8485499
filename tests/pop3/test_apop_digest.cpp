#include "pop3/apop_digest.h"

#include <QTest>

class TestApopDigest : public QObject
{
    Q_OBJECT
private slots:
    void digest_data();
    void digest();
};

void TestApopDigest::digest_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    // The example exchange of RFC 1939.
    QTest::newRow("rfc1939") << QStringLiteral("<1896.697170952@dbc.mtview.ca.us>tanstaaf")
                             << QStringLiteral("c4c9334bac560ecc979e58001b3e22fb");
    // Hashed over single-byte Windows-1252, not UTF-8: e-acute is 0xE9 and
    // the euro sign 0x80.
    QTest::newRow("code page") << QStringLiteral("<1.2@h>caf\u00e9\u20ac")
                               << QStringLiteral("cd1dc70be6395c5f74e450ec0d71d547");
    QTest::newRow("empty") << QString() << QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
}

void TestApopDigest::digest()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(apopDigest(text), expected);
}

QTEST_GUILESS_MAIN(TestApopDigest)
#include "test_apop_digest.moc"
