// The one text font rule, used when the window opens and when the settings
// load.
#include "storage/text_font.h"

#include <QTest>
#include <limits>

class TestTextFont : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
};

void TestTextFont::choice_data()
{
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<float>("storedSize");
    QTest::addColumn<bool>("storedBold");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("name");
    QTest::addColumn<float>("size");
    QTest::addColumn<bool>("bold");

    const QStringList some{"Arial", "DejaVu Sans", "MS Sans Serif", "Verdana"};
    const QString ui = QStringLiteral("Noto Sans UI");
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("installed, small size")
        << "DejaVu Sans" << 1.5f << true << some << ui << "DejaVu Sans" << 8.0f << true;
    QTest::newRow("installed, large size")
        << "DejaVu Sans" << 14.0f << false << some << ui << "DejaVu Sans" << 12.0f << false;
    QTest::newRow("installed, size not a number")
        << "Verdana" << notANumber << true << some << ui << "Verdana" << 8.0f << true;
    QTest::newRow("installed, trailing blanks")
        << "Verdana   " << 10.0f << false << some << ui << "Verdana" << 10.0f << false;
    QTest::newRow("missing: first fallback")
        << "Gone Font" << 20.0f << true << some << ui << "MS Sans Serif" << 8.0f << false;
    QTest::newRow("missing: later fallback")
        << "Gone Font" << 10.0f << true << QStringList{"Symbol", "Verdana"} << ui << "Verdana"
        << 8.0f << false;
    QTest::newRow("missing: system default")
        << "Gone Font" << 10.0f << true << QStringList{"Symbol", "Noto Sans"} << ui
        << "Noto Sans UI" << 8.0f << false;
    QTest::newRow("missing, no system font: first installed family")
        << "Gone Font" << 10.0f << true << QStringList{"Symbol", "Noto Sans"} << QString()
        << "Symbol" << 8.0f << false;
    QTest::newRow("case differs") << "arial" << 10.0f << false << some << ui << "MS Sans Serif"
                                  << 8.0f << false;
    QTest::newRow("no fonts at all: only size-checked")
        << "Gone Font" << 30.0f << true << QStringList{} << ui << "Gone Font" << 12.0f << true;
    QTest::newRow("no fonts at all, size not a number")
        << "Gone Font" << notANumber << false << QStringList{} << QString() << "Gone Font" << 8.0f
        << false;
}

void TestTextFont::choice()
{
    QFETCH(QString, storedName);
    QFETCH(float, storedSize);
    QFETCH(bool, storedBold);
    QFETCH(QStringList, installed);
    QFETCH(QString, system);
    QFETCH(QString, name);
    QFETCH(float, size);
    QFETCH(bool, bold);

    const TextFont chosen =
        chooseTextFont({storedName, storedSize, storedBold}, {installed, system});
    QCOMPARE(chosen.name, name);
    QCOMPARE(chosen.size, size);
    QCOMPARE(chosen.bold, bold);
}

QTEST_GUILESS_MAIN(TestTextFont)
#include "test_text_font.moc"
