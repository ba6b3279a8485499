// Each stored yes/no value -> its typed reading -> the value saved back.
#include "storage/run_settings.h"

#include <QHash>
#include <QTest>
#include <tuple>

namespace {

// The yes/no settings by name, as stored and as typed.
struct FlagField
{
    std::int16_t SettingsRecord::*stored;
    bool RunSettings::*typed;
};

FlagField flagField(const QString& name)
{
    static const QHash<QString, FlagField> fields{
        {"CheckSelectedOnly",
         {&SettingsRecord::checkSelectedOnly, &RunSettings::checkSelectedOnly}},
        {"AutoCheckOnOpen", {&SettingsRecord::autoCheckOnOpen, &RunSettings::autoCheckOnOpen}},
        {"UseRetr", {&SettingsRecord::useRetr, &RunSettings::useRetr}},
        {"DeleteEnabled", {&SettingsRecord::deleteEnabled, &RunSettings::deleteEnabled}},
        {"PlaySound", {&SettingsRecord::playSound, &RunSettings::playSound}},
        {"UseApop", {&SettingsRecord::useApop, &RunSettings::useApop}},
        {"TrayOnClose", {&SettingsRecord::trayOnClose, &RunSettings::trayOnClose}},
        {"AutoStartTimer", {&SettingsRecord::autoStartTimer, &RunSettings::autoStartTimer}},
        {"ToolTipsOff", {&SettingsRecord::toolTipsOff, &RunSettings::toolTipsOff}},
        {"ContinuousAlarm", {&SettingsRecord::continuousAlarm, &RunSettings::continuousAlarm}},
        {"IdleIfOffline", {&SettingsRecord::idleIfOffline, &RunSettings::idleIfOffline}},
        {"LogSplit", {&SettingsRecord::logSplit, &RunSettings::logSplit}},
        {"TextFontBold", {&SettingsRecord::textFontBold, &RunSettings::textFontBold}},
    };
    return fields.value(name);
}

// The stored font must be installed, or the load clears bold.
const FontFacts fonts{{QStringLiteral("MS Sans Serif")}, QStringLiteral("MS Sans Serif")};

} // namespace

class TestStoredFlags : public QObject
{
    Q_OBJECT

private slots:
    void storedFlags_data();
    void storedFlags();
};

void TestStoredFlags::storedFlags_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("savedFlipped");
    // A check box setting is on only at exactly 1; the program writes 1 and 0.
    // So a stored checkSelectedOnly of 2 means "all accounts" for the whole
    // run, also when it moves on to the next account.
    const QStringList boxes{
        "CheckSelectedOnly", "AutoCheckOnOpen", "UseRetr",     "DeleteEnabled",   "PlaySound",
        "TrayOnClose",       "AutoStartTimer",  "ToolTipsOff", "ContinuousAlarm", "IdleIfOffline"};
    for (const QString& box : boxes) {
        for (auto [stored, typed, flipped] :
             {std::tuple{0, false, 1}, {1, true, 0}, {2, false, 1}, {-1, false, 1}})
            QTest::addRow("%s %d", qPrintable(box), stored) << box << stored << typed << flipped;
    }
    // APOP and the log layout take any non-zero value; written as 1 and 0.
    for (const char* field : {"UseApop", "LogSplit"}) {
        for (auto [stored, typed, flipped] :
             {std::tuple{0, false, 1}, {1, true, 0}, {2, true, 0}, {-1, true, 0}})
            QTest::addRow("%s %d", field, stored) << field << stored << typed << flipped;
    }
    // The font dialog's bold flag is -1.
    for (auto [stored, typed, flipped] : {std::tuple{0, false, -1}, {-1, true, 0}, {1, true, 0}})
        QTest::addRow("TextFontBold %d", stored) << "TextFontBold" << stored << typed << flipped;
}

void TestStoredFlags::storedFlags()
{
    QFETCH(QString, field);
    QFETCH(int, stored);
    QFETCH(bool, typed);
    QFETCH(int, savedFlipped);
    const FlagField f = flagField(field);
    QVERIFY(f.stored);
    SettingsRecord r = SettingsRecord::templateRecord();
    r.*f.stored = std::int16_t(stored);
    RunSettings s = RunSettings::fromRecord(r, std::nullopt, fonts);
    QCOMPARE(s.*f.typed, typed);
    // Untouched, the stored value goes back byte for byte.
    QCOMPARE(s.toRecord().*f.stored, std::int16_t(stored));
    SettingsRecord reread;
    QVERIFY(reread.decode(s.toRecord().encode()));
    QCOMPARE(reread.*f.stored, std::int16_t(stored));
    // Changed, it is written as the program writes that value.
    s.*f.typed = !typed;
    QCOMPARE(s.toRecord().*f.stored, std::int16_t(savedFlipped));
    // Changed and changed back, it reads as it did.
    s.*f.typed = typed;
    QCOMPARE(RunSettings::fromRecord(s.toRecord(), std::nullopt, fonts).*f.typed, typed);
}

QTEST_GUILESS_MAIN(TestStoredFlags)
#include "test_stored_flags.moc"
