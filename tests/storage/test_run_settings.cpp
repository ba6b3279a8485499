#include "platform/codepage.h"
#include "storage/run_settings.h"
#include "storage/scramble.h"

#include <QTest>
#include <limits>

namespace {

const float notANumber = std::numeric_limits<float>::quiet_NaN();

FontFacts commonFonts()
{
    return {{QStringLiteral("Abyssinica"), QStringLiteral("Arial"), QStringLiteral("MS Sans Serif"),
             QStringLiteral("Verdana")},
            QStringLiteral("DejaVu Sans")};
}

RunSettings load(const SettingsRecord& record, std::optional<ScreenFacts> screen = {})
{
    return RunSettings::fromRecord(record, screen, commonFonts());
}

SettingsRecord withTimeoutMs(double ms)
{
    SettingsRecord r = SettingsRecord::templateRecord();
    r.serverTimeoutFixed = qint64(ms * 10000);
    return r;
}

} // namespace

class TestRunSettings : public QObject
{
    Q_OBJECT

private slots:
    void timeout_data();
    void timeout();
    void interval_data();
    void interval();
    void dateStyle_data();
    void dateStyle();
    void windowEdges_data();
    void windowEdges();
    void columnWidths_data();
    void columnWidths();
    void font_data();
    void font();
    void flagsAndTray();
    void secretsAreUnscrambled();
    void saveRecordKeepsReservedAndTakesTrayOnClose();
    void pageDefaultsTouchOnlyTheirPage();
    void firstPlacement();
    void garbageRecordLoadsSafely();
};

void TestRunSettings::timeout_data()
{
    QTest::addColumn<double>("storedMs");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<double>("ms");
    QTest::newRow("default") << 180000.0 << 180 << 180000.0;
    QTest::newRow("2000 -> 5 s, 5000") << 2000.0 << 5 << 5000.0;
    QTest::newRow("700000 -> 600 s") << 700000.0 << 600 << 600000.0;
    QTest::newRow("4500: half to even 4, raised") << 4500.0 << 5 << 5000.0;
    QTest::newRow("6500: half to even 6") << 6500.0 << 6 << 6500.0;
    QTest::newRow("7500: half to even 8") << 7500.0 << 8 << 7500.0;
    QTest::newRow("5499.5 rounds down") << 5499.5 << 5 << 5499.5;
    QTest::newRow("600500: half to even 600, kept") << 600500.0 << 600 << 600500.0;
    QTest::newRow("601500: 602, lowered") << 601500.0 << 600 << 600000.0;
    QTest::newRow("negative") << -3000.0 << 5 << 5000.0;
    QTest::newRow("zero") << 0.0 << 5 << 5000.0;
}

void TestRunSettings::timeout()
{
    QFETCH(double, storedMs);
    QFETCH(int, seconds);
    QFETCH(double, ms);
    const RunSettings s = load(withTimeoutMs(storedMs));
    QCOMPARE(s.serverTimeoutSeconds, seconds);
    QCOMPARE(s.serverTimeout.count(), ms);
    QCOMPARE(s.toRecord().serverTimeoutFixed, qint64(ms * 10000));
}

void TestRunSettings::interval_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("loaded");
    QTest::newRow("0") << 0 << 30;
    QTest::newRow("10000") << 10000 << 30;
    QTest::newRow("negative") << -7 << 30;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("9999") << 9999 << 9999;
}

void TestRunSettings::interval()
{
    QFETCH(int, stored);
    QFETCH(int, loaded);
    SettingsRecord r = SettingsRecord::templateRecord();
    r.recheckIntervalMinutes = stored;
    QCOMPARE(load(r).recheckIntervalMinutes, loaded);
}

void TestRunSettings::dateStyle_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("loaded");
    constexpr int lowest = std::numeric_limits<std::int32_t>::min();
    constexpr int highest = std::numeric_limits<std::int32_t>::max();
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("-4") << -4 << 1;
    QTest::newRow("lowest") << lowest << 1;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("5") << 5 << 5;
    QTest::newRow("9, no such style, kept") << 9 << 9;
    QTest::newRow("highest, kept") << highest << highest;
}

// What the load made of the style is what the save writes.
void TestRunSettings::dateStyle()
{
    QFETCH(int, stored);
    QFETCH(int, loaded);
    SettingsRecord r = SettingsRecord::templateRecord();
    r.dateStyle = stored;
    const RunSettings s = load(r);
    QCOMPARE(s.dateStyle, DateStyle(loaded));
    QCOMPARE(s.toRecord().dateStyle, loaded);
}

void TestRunSettings::windowEdges_data()
{
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("top");
    QTest::addColumn<bool>("hasScreen");
    QTest::addColumn<float>("loadedLeft");
    QTest::addColumn<float>("loadedTop");
    // Screen 20000 x 12000 twips: the edges may lie up to 3000 twips before
    // the far sides.
    QTest::newRow("inside") << 1000.f << 2000.f << true << 1000.f << 2000.f;
    QTest::newRow("negative") << -100.f << -1.f << true << 0.f << 0.f;
    QTest::newRow("not a number") << notANumber << notANumber << true << 0.f << 0.f;
    QTest::newRow("exactly 3000 from far side") << 17000.f << 9000.f << true << 17000.f << 9000.f;
    QTest::newRow("closer than 3000") << 17001.f << 9001.f << true << 0.f << 0.f;
    QTest::newRow("beyond the screen") << 25000.f << 15000.f << true << 0.f << 0.f;
    QTest::newRow("no screen: only sign") << 25000.f << -5.f << false << 25000.f << 0.f;
}

void TestRunSettings::windowEdges()
{
    QFETCH(float, left);
    QFETCH(float, top);
    QFETCH(bool, hasScreen);
    QFETCH(float, loadedLeft);
    QFETCH(float, loadedTop);
    SettingsRecord r = SettingsRecord::templateRecord();
    r.windowLeft = left;
    r.windowTop = top;
    const RunSettings s =
        load(r, hasScreen ? std::optional(ScreenFacts{20000, 12000}) : std::nullopt);
    QCOMPARE(s.windowLeft, loadedLeft);
    QCOMPARE(s.windowTop, loadedTop);
}

void TestRunSettings::columnWidths_data()
{
    QTest::addColumn<float>("stored");
    QTest::addColumn<bool>("keptAsStored");
    QTest::newRow("negative") << -5.f << false;
    QTest::newRow("not a number") << notANumber << false;
    QTest::newRow("zero hides the column") << 0.f << true;
    QTest::newRow("positive") << 777.f << true;
}

void TestRunSettings::columnWidths()
{
    QFETCH(float, stored);
    QFETCH(bool, keptAsStored);
    const std::array<float, 6> mailDefaults{1440, 1440, 2000, 3300, 2200, 1440};
    const std::array<float, 4> accountDefaults{1440, 1440, 1440, 1440};
    SettingsRecord r = SettingsRecord::templateRecord();
    r.mailColumnWidths.fill(stored);
    r.accountColumnWidths.fill(stored);
    const RunSettings s = load(r);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(s.mailColumnWidths[i], keptAsStored ? stored : mailDefaults[i]);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(s.accountColumnWidths[i], keptAsStored ? stored : accountDefaults[i]);
}

void TestRunSettings::font_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<float>("size");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<float>("loadedSize");
    QTest::addColumn<bool>("bold");
    const QStringList all = commonFonts().installedFamilies;
    QTest::newRow("installed, size kept, bold kept")
        << "Verdana" << 10.f << all << "Verdana" << 10.f << true;
    QTest::newRow("padded name is trimmed")
        << "Arial" + QString(123, QChar(' ')) << 9.f << all << "Arial" << 9.f << true;
    QTest::newRow("too small") << "Verdana" << 1.5f << all << "Verdana" << 8.f << true;
    QTest::newRow("too large") << "Verdana" << 13.f << all << "Verdana" << 12.f << true;
    QTest::newRow("size not a number")
        << "Verdana" << notANumber << all << "Verdana" << 8.f << true;
    QTest::newRow("missing: MS Sans Serif")
        << "Gone" << 11.f << all << "MS Sans Serif" << 8.f << false;
    QTest::newRow("missing: Arial next")
        << "Gone" << 11.f << QStringList{"Abyssinica", "Verdana", "Arial"} << "Arial" << 8.f
        << false;
    QTest::newRow("missing: Verdana last")
        << "Gone" << 11.f << QStringList{"Abyssinica", "Verdana"} << "Verdana" << 8.f << false;
    QTest::newRow("none of the three: system font, not the first family")
        << "Gone" << 11.f << QStringList{"Abyssinica", "DejaVu Sans"} << "DejaVu Sans" << 8.f
        << false;
    QTest::newRow("case differs: not the same font")
        << "verdana" << 10.f << QStringList{"Verdana"} << "Verdana" << 8.f << false;
    QTest::newRow("no fonts known: only size-checked")
        << "Gone" << 13.f << QStringList{} << "Gone" << 12.f << true;
}

void TestRunSettings::font()
{
    QFETCH(QString, stored);
    QFETCH(float, size);
    QFETCH(QStringList, installed);
    QFETCH(QString, name);
    QFETCH(float, loadedSize);
    QFETCH(bool, bold);
    SettingsRecord r = SettingsRecord::templateRecord();
    r.textFontName = stored;
    r.textFontSize = size;
    r.textFontBold = -1;
    const RunSettings s =
        RunSettings::fromRecord(r, std::nullopt, {installed, QStringLiteral("DejaVu Sans")});
    QCOMPARE(s.textFontName, name);
    QCOMPARE(s.textFontSize, loadedSize);
    QCOMPARE(s.textFontBold, bold);
    QCOMPARE(s.toRecord().textFontBold, qint16(bold ? -1 : 0));
}

void TestRunSettings::flagsAndTray()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    r.trayOnClose = 1;
    r.playSound = 3; // not a clean flag: reads as off, saved as read
    r.firstRunMarker = 1;
    r.logSplit = -1;
    const RunSettings s = load(r);
    QCOMPARE(s.trayInEffect, true);
    QCOMPARE(s.trayOnClose, true);
    QCOMPARE(s.playSound, false);
    QCOMPARE(s.firstRunMarker, true);
    QCOMPARE(s.logSplit, true);
    const SettingsRecord saved = s.toRecord();
    QCOMPARE(saved.playSound, qint16(3));
    QCOMPARE(saved.logSplit, qint16(-1));
    QCOMPARE(saved.firstRunMarker, 1);
}

void TestRunSettings::secretsAreUnscrambled()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    QCOMPARE(load(r).runPassword, QString());
    QCOMPARE(load(r).apopSecret, QString());
    r.scrambledRunPassword = toAnsi(scramblePassword(QStringLiteral("open sesame")));
    r.scrambledApopSecret = toAnsi(scrambleSecret(QString(100, QChar('q'))));
    QCOMPARE(load(r).runPassword, QStringLiteral("open sesame"));
    QCOMPARE(load(r).apopSecret, QString(100, QChar('q')));
}

void TestRunSettings::saveRecordKeepsReservedAndTakesTrayOnClose()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    r.reserved64 = QByteArray(48, 'z');
    r.reserved378 = QByteArray("abcdefghijkl");
    r.trayOnClose = 1;
    RunSettings s = load(r);
    s.trayOnClose = false; // the user cleared Check7 during this run
    s.runPassword = QStringLiteral("pw");
    s.apopSecret = QString(130, QChar('x'));
    s.textFontName = QStringLiteral("Verdana");
    s.windowLeft = 1234;
    s.firstRunMarker = true;

    const SettingsRecord saved = s.toRecord();
    QCOMPARE(saved.trayOnClose, qint16(0));
    QCOMPARE(saved.reserved64, QByteArray(48, 'z'));
    QCOMPARE(saved.reserved378, QByteArray("abcdefghijkl"));
    QCOMPARE(saved.windowLeft, 1234.f);
    QCOMPARE(saved.firstRunMarker, 1);
    QCOMPARE(unscramblePassword(fromAnsi(saved.scrambledRunPassword)), QStringLiteral("pw"));
    QCOMPARE(unscrambleSecret(fromAnsi(saved.scrambledApopSecret)), QString(130, QChar('x')));

    SettingsRecord reread;
    QVERIFY(reread.decode(saved.encode()));
    QCOMPARE(reread.textFontName, QStringLiteral("Verdana") + QString(121, QChar(' ')));
    QCOMPARE(load(reread).textFontName, QStringLiteral("Verdana"));
}

void TestRunSettings::pageDefaultsTouchOnlyTheirPage()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    r.checkSelectedOnly = r.autoCheckOnOpen = r.useRetr = r.deleteEnabled = 1;
    r.playSound = r.useApop = r.trayOnClose = r.autoStartTimer = r.toolTipsOff = 1;
    r.continuousAlarm = r.idleIfOffline = 1;
    r.recheckIntervalMinutes = 45;
    r.dateStyle = 3;
    r.setServerTimeoutMs(60000);
    r.scrambledRunPassword = toAnsi(scramblePassword(QStringLiteral("run")));
    r.scrambledApopSecret = toAnsi(scrambleSecret(QStringLiteral("apop")));
    const RunSettings before = load(r);

    RunSettings p1 = before;
    p1.restorePage1Defaults();
    QCOMPARE(p1.checkSelectedOnly + p1.autoCheckOnOpen + p1.playSound + p1.continuousAlarm +
                 p1.idleIfOffline + p1.autoStartTimer + p1.deleteEnabled,
             0);
    QCOMPARE(p1.recheckIntervalMinutes, 30);
    QCOMPARE(p1.useRetr + p1.useApop + p1.trayOnClose + p1.toolTipsOff, 4);
    QCOMPARE(p1.dateStyle, DateStyle::RegionalLong);

    RunSettings p2 = before;
    p2.restorePage2Defaults();
    QCOMPARE(p2.trayOnClose + p2.toolTipsOff, 0);
    QCOMPARE(p2.dateStyle, DateStyle::AsSent);
    QCOMPARE(p2.serverTimeoutSeconds, 180);
    QCOMPARE(p2.serverTimeout.count(), 180000.0);
    QCOMPARE(p2.runPassword, QStringLiteral("run"));
    QCOMPARE(p2.trayInEffect, true);
    QCOMPARE(p2.checkSelectedOnly + p2.useRetr + p2.useApop, 3);

    RunSettings p3 = before;
    p3.restorePage3Defaults();
    QCOMPARE(p3.useRetr + p3.useApop, 0);
    QCOMPARE(p3.apopSecret, QString());
    QCOMPARE(p3.runPassword, QStringLiteral("run"));
    QCOMPARE(p3.serverTimeoutSeconds, 60);
    QCOMPARE(p3.trayOnClose + p3.playSound, 2);
}

void TestRunSettings::firstPlacement()
{
    QCOMPARE(RunSettings::firstWindowPlacement(QRectF(0, 0, 20000, 15000)),
             QRectF((20000 - 10230) / 2.0, (15000 - 5265) / 2.0, 10230, 5265));
    QCOMPARE(RunSettings::firstWindowPlacement(QRectF(300, 450, 9000, 5000)),
             QRectF(300 + 900, 450 + 600, 7200, 3800));
    QCOMPARE(RunSettings::firstWindowPlacement(std::nullopt), QRectF(900, 900, 6600, 5400));
}

void TestRunSettings::garbageRecordLoadsSafely()
{
    // All bits set: every float is NaN, every integer -1, text is 0xFF.
    SettingsRecord r;
    QVERIFY(r.decode(QByteArray(614, '\xff')));
    const RunSettings s = load(r, ScreenFacts{20000, 12000});
    QCOMPARE(s.windowLeft, 0.f);
    QCOMPARE(s.windowTop, 0.f);
    QCOMPARE(s.windowWidth, 10230.f);
    QCOMPARE(s.windowHeight, 5265.f);
    QCOMPARE(s.serverTimeoutSeconds, 5);
    QCOMPARE(s.recheckIntervalMinutes, 30);
    QCOMPARE(s.dateStyle, DateStyle::AsSent);
    QCOMPARE(s.mailColumnWidths[3], 3300.f);
    QCOMPARE(s.textFontName, QStringLiteral("MS Sans Serif"));
    QCOMPARE(s.runPassword, QString());
    QCOMPARE(s.toRecord().encode().size(), 614);
}

QTEST_GUILESS_MAIN(TestRunSettings)
#include "test_run_settings.moc"
