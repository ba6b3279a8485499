#include "platform/diagnostics.h"

#include <QLoggingCategory>
#include <QTest>

// The developer categories: each library's name, silent below warnings
// until QT_LOGGING_RULES (or a filter rule) switches it on.
class TestDiagnostics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void categories_data();
    void categories();
};

using CategoryFunction = const QLoggingCategory& (*)();
Q_DECLARE_METATYPE(CategoryFunction)

void TestDiagnostics::initTestCase()
{
    if (qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QSKIP("QT_LOGGING_RULES overrides the rules this test sets");
}

void TestDiagnostics::categories_data()
{
    QTest::addColumn<CategoryFunction>("category");
    QTest::addColumn<QString>("name");
    QTest::newRow("platform") << CategoryFunction(&lcPlatform) << "quorvamel.platform";
    QTest::newRow("storage") << CategoryFunction(&lcStorage) << "quorvamel.storage";
    QTest::newRow("pop3") << CategoryFunction(&lcPop3) << "quorvamel.pop3";
    QTest::newRow("runs") << CategoryFunction(&lcRuns) << "quorvamel.runs";
    QTest::newRow("ui") << CategoryFunction(&lcUi) << "quorvamel.ui";
    QTest::newRow("app") << CategoryFunction(&lcApp) << "quorvamel.app";
}

void TestDiagnostics::categories()
{
    QFETCH(CategoryFunction, category);
    QFETCH(QString, name);
    const QLoggingCategory& c = category();
    QCOMPARE(QString::fromLatin1(c.categoryName()), name);
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(!c.isDebugEnabled());
    QVERIFY(!c.isInfoEnabled());
    QVERIFY(c.isWarningEnabled());
    QLoggingCategory::setFilterRules(QStringLiteral("quorvamel.*.debug=true"));
    QVERIFY(c.isDebugEnabled());
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(!c.isDebugEnabled());
}

QTEST_GUILESS_MAIN(TestDiagnostics)
#include "test_diagnostics.moc"
