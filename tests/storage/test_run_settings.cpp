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
    r.ServerTimeoutFixed = qint64(ms * 10000);
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
    QCOMPARE(s.ServerTimeoutSeconds, seconds);
    QCOMPARE(s.ServerTimeout.count(), ms);
    QCOMPARE(s.toRecord().ServerTimeoutFixed, qint64(ms * 10000));
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
    r.RecheckIntervalMinutes = stored;
    QCOMPARE(load(r).RecheckIntervalMinutes, loaded);
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
    r.DateStyle = stored;
    const RunSettings s = load(r);
    QCOMPARE(s.DateStyle, DateStyle(loaded));
    QCOMPARE(s.toRecord().DateStyle, loaded);
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
    r.WindowLeft = left;
    r.WindowTop = top;
    const RunSettings s =
        load(r, hasScreen ? std::optional(ScreenFacts{20000, 12000}) : std::nullopt);
    QCOMPARE(s.WindowLeft, loadedLeft);
    QCOMPARE(s.WindowTop, loadedTop);
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
    r.MailColumnWidths.fill(stored);
    r.AccountColumnWidths.fill(stored);
    const RunSettings s = load(r);
    for (int i = 0; i < 6; ++i)
        QCOMPARE(s.MailColumnWidths[i], keptAsStored ? stored : mailDefaults[i]);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(s.AccountColumnWidths[i], keptAsStored ? stored : accountDefaults[i]);
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
    r.TextFontName = stored;
    r.TextFontSize = size;
    r.TextFontBold = -1;
    const RunSettings s =
        RunSettings::fromRecord(r, std::nullopt, {installed, QStringLiteral("DejaVu Sans")});
    QCOMPARE(s.TextFontName, name);
    QCOMPARE(s.TextFontSize, loadedSize);
    QCOMPARE(s.TextFontBold, bold);
    QCOMPARE(s.toRecord().TextFontBold, qint16(bold ? -1 : 0));
}

void TestRunSettings::flagsAndTray()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    r.TrayOnClose = 1;
    r.PlaySound = 3; // not a clean flag: reads as off, saved as read
    r.FirstRunMarker = 1;
    r.LogSplit = -1;
    const RunSettings s = load(r);
    QCOMPARE(s.TrayInEffect, true);
    QCOMPARE(s.TrayOnClose, true);
    QCOMPARE(s.PlaySound, false);
    QCOMPARE(s.FirstRunMarker, true);
    QCOMPARE(s.LogSplit, true);
    const SettingsRecord saved = s.toRecord();
    QCOMPARE(saved.PlaySound, qint16(3));
    QCOMPARE(saved.LogSplit, qint16(-1));
    QCOMPARE(saved.FirstRunMarker, 1);
}

void TestRunSettings::secretsAreUnscrambled()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    QCOMPARE(load(r).RunPassword, QString());
    QCOMPARE(load(r).ApopSecret, QString());
    r.ScrambledRunPassword = toAnsi(scramblePassword(QStringLiteral("open sesame")));
    r.ScrambledApopSecret = toAnsi(scrambleSecret(QString(100, QChar('q'))));
    QCOMPARE(load(r).RunPassword, QStringLiteral("open sesame"));
    QCOMPARE(load(r).ApopSecret, QString(100, QChar('q')));
}

void TestRunSettings::saveRecordKeepsReservedAndTakesTrayOnClose()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    r.Reserved64 = QByteArray(48, 'z');
    r.Reserved378 = QByteArray("abcdefghijkl");
    r.TrayOnClose = 1;
    RunSettings s = load(r);
    s.TrayOnClose = false; // the user cleared Check7 during this run
    s.RunPassword = QStringLiteral("pw");
    s.ApopSecret = QString(130, QChar('x'));
    s.TextFontName = QStringLiteral("Verdana");
    s.WindowLeft = 1234;
    s.FirstRunMarker = true;

    const SettingsRecord saved = s.toRecord();
    QCOMPARE(saved.TrayOnClose, qint16(0));
    QCOMPARE(saved.Reserved64, QByteArray(48, 'z'));
    QCOMPARE(saved.Reserved378, QByteArray("abcdefghijkl"));
    QCOMPARE(saved.WindowLeft, 1234.f);
    QCOMPARE(saved.FirstRunMarker, 1);
    QCOMPARE(unscramblePassword(fromAnsi(saved.ScrambledRunPassword)), QStringLiteral("pw"));
    QCOMPARE(unscrambleSecret(fromAnsi(saved.ScrambledApopSecret)), QString(130, QChar('x')));

    SettingsRecord reread;
    QVERIFY(reread.decode(saved.encode()));
    QCOMPARE(reread.TextFontName, QStringLiteral("Verdana") + QString(121, QChar(' ')));
    QCOMPARE(load(reread).TextFontName, QStringLiteral("Verdana"));
}

void TestRunSettings::pageDefaultsTouchOnlyTheirPage()
{
    SettingsRecord r = SettingsRecord::templateRecord();
    r.CheckSelectedOnly = r.AutoCheckOnOpen = r.UseRetr = r.DeleteEnabled = 1;
    r.PlaySound = r.UseApop = r.TrayOnClose = r.AutoStartTimer = r.ToolTipsOff = 1;
    r.ContinuousAlarm = r.IdleIfOffline = 1;
    r.RecheckIntervalMinutes = 45;
    r.DateStyle = 3;
    r.setServerTimeoutMs(60000);
    r.ScrambledRunPassword = toAnsi(scramblePassword(QStringLiteral("run")));
    r.ScrambledApopSecret = toAnsi(scrambleSecret(QStringLiteral("apop")));
    const RunSettings before = load(r);

    RunSettings p1 = before;
    p1.restorePage1Defaults();
    QCOMPARE(p1.CheckSelectedOnly + p1.AutoCheckOnOpen + p1.PlaySound + p1.ContinuousAlarm +
                 p1.IdleIfOffline + p1.AutoStartTimer + p1.DeleteEnabled,
             0);
    QCOMPARE(p1.RecheckIntervalMinutes, 30);
    QCOMPARE(p1.UseRetr + p1.UseApop + p1.TrayOnClose + p1.ToolTipsOff, 4);
    QCOMPARE(p1.DateStyle, DateStyle::RegionalLong);

    RunSettings p2 = before;
    p2.restorePage2Defaults();
    QCOMPARE(p2.TrayOnClose + p2.ToolTipsOff, 0);
    QCOMPARE(p2.DateStyle, DateStyle::AsSent);
    QCOMPARE(p2.ServerTimeoutSeconds, 180);
    QCOMPARE(p2.ServerTimeout.count(), 180000.0);
    QCOMPARE(p2.RunPassword, QStringLiteral("run"));
    QCOMPARE(p2.TrayInEffect, true);
    QCOMPARE(p2.CheckSelectedOnly + p2.UseRetr + p2.UseApop, 3);

    RunSettings p3 = before;
    p3.restorePage3Defaults();
    QCOMPARE(p3.UseRetr + p3.UseApop, 0);
    QCOMPARE(p3.ApopSecret, QString());
    QCOMPARE(p3.RunPassword, QStringLiteral("run"));
    QCOMPARE(p3.ServerTimeoutSeconds, 60);
    QCOMPARE(p3.TrayOnClose + p3.PlaySound, 2);
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
    QCOMPARE(s.WindowLeft, 0.f);
    QCOMPARE(s.WindowTop, 0.f);
    QCOMPARE(s.WindowWidth, 10230.f);
    QCOMPARE(s.WindowHeight, 5265.f);
    QCOMPARE(s.ServerTimeoutSeconds, 5);
    QCOMPARE(s.RecheckIntervalMinutes, 30);
    QCOMPARE(s.DateStyle, DateStyle::AsSent);
    QCOMPARE(s.MailColumnWidths[3], 3300.f);
    QCOMPARE(s.TextFontName, QStringLiteral("MS Sans Serif"));
    QCOMPARE(s.RunPassword, QString());
    QCOMPARE(s.toRecord().encode().size(), 614);
}

QTEST_GUILESS_MAIN(TestRunSettings)
#include "test_run_settings.moc"
