// The option boxes, the date style chooser and the "Defaults" buttons of the
// three run-settings pages.
#include "model/list_rows.h"
#include "model/mail_list_model.h"
#include "storage/run_settings.h"
#include "support/common_scripted_prompter.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"
#include "ui/settings_actions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

const QString defaultsQuestion =
    QStringLiteral("Do You Want To Restore The Original, Default Settings For This Page?");
const QString trayKept = QStringLiteral("Your Current Tray Icon Setting Will Remain In Effect.");
const QString trayNext = QStringLiteral("Tray Icon Setting Change Will Be Applied Next App Run.");
const QString defaultsTip = QStringLiteral("Restore The Original, Default Settings For This Page");

bool& flag(RunSettings& s, const QString& name)
{
    static const QMap<QString, bool RunSettings::*> fields{
        {"CheckSelectedOnly", &RunSettings::checkSelectedOnly},
        {"AutoCheckOnOpen", &RunSettings::autoCheckOnOpen},
        {"UseRetr", &RunSettings::useRetr},
        {"UseApop", &RunSettings::useApop},
        {"ToolTipsOff", &RunSettings::toolTipsOff},
    };
    return s.*fields.value(name);
}

MailItem mailRow(const QString& subject, MailImage image, bool checked)
{
    MailItem item;
    item.displayName = QStringLiteral("Home");
    item.userName = QStringLiteral("bob");
    item.subject = subject;
    item.key = {1, QStringLiteral("pw")};
    item.image = image;
    item.checked = checked;
    return item;
}

struct Pages
{
    MainWindow form;
    RunSettings settings;
    MailListModel mail;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsActions> actions;
    int hookCalls = 0;

    Pages()
    {
        actions = std::make_unique<SettingsActions>(form, settings, mail, prompter);
        actions->setPage1RecheckHook([this] { ++hookCalls; });
    }
    template <class T> T* find(const QString& name) { return form.findChild<T*>(name); }
    QCheckBox* box(const QString& name) { return find<QCheckBox>(name); }
    QComboBox* chooser() { return find<QComboBox>(QStringLiteral("ImageCombo1")); }
    QStringList newTexts(int from) const { return prompter.texts().mid(from); }
    void addMailRows()
    {
        mail.appendItem(mailRow(QStringLiteral("new one"), MailImage::New, true));
        mail.appendItem(mailRow(QStringLiteral("seen one"), MailImage::Seen, true));
        mail.appendItem(mailRow(QStringLiteral("new two"), MailImage::New, false));
    }
    QList<int> images() const
    {
        QList<int> all;
        for (int row = 0; row < mail.itemCount(); ++row)
            all.append(int(mail.item(row).image));
        return all;
    }
    QList<int> checks() const
    {
        QList<int> all;
        for (int row = 1; row <= mail.itemCount(); ++row)
            all.append(isRowChecked(mail, row).value() ? 1 : 0);
        return all;
    }

    // Everything the three pages and their actions can change, by name.
    QMap<QString, QString> state()
    {
        const RunSettings& s = settings;
        QMap<QString, QString> m;
        auto n = [](auto value) { return QString::number(value); };
        m["CheckSelectedOnly"] = n(s.checkSelectedOnly);
        m["AutoCheckOnOpen"] = n(s.autoCheckOnOpen);
        m["UseRetr"] = n(s.useRetr);
        m["DeleteEnabled"] = n(s.deleteEnabled);
        m["PlaySound"] = n(s.playSound);
        m["UseApop"] = n(s.useApop);
        m["TrayOnClose"] = n(s.trayOnClose);
        m["TrayInEffect"] = n(s.trayInEffect);
        m["DateStyle"] = n(qToUnderlying(s.dateStyle));
        m["AutoStartTimer"] = n(s.autoStartTimer);
        m["ToolTipsOff"] = n(s.toolTipsOff);
        m["ContinuousAlarm"] = n(s.continuousAlarm);
        m["IdleIfOffline"] = n(s.idleIfOffline);
        m["RecheckIntervalMinutes"] = n(s.recheckIntervalMinutes);
        m["ServerTimeoutSeconds"] = n(s.serverTimeoutSeconds);
        m["ServerTimeoutMs"] = n(s.serverTimeout.count());
        m["ApopSecret"] = s.apopSecret;
        m["RunPassword"] = s.runPassword;
        for (int i = 1; i <= 11; ++i) {
            const QString name = QStringLiteral("Check%1").arg(i);
            m[name] = box(name)->isChecked() ? "on" : "off";
        }
        m["Text6"] = find<QLineEdit>("Text6")->text();
        m["Text9"] = find<QLineEdit>("Text9")->text();
        m["Text8"] = find<QPlainTextEdit>("Text8")->toPlainText();
        m["chooser"] = n(chooser()->currentIndex());
        m["tip"] = find<QPushButton>("Command14")->toolTip();
        m["form.deleteEnabled"] = n(form.deleteEnabled());
        m["form.toolTipsOff"] = n(form.toolTipsOff());
        m["mailCheckBoxes"] = mail.checkBoxesShown() ? "shown" : "hidden";
        QStringList marks;
        // The marks themselves, seen or not.
        for (int row = 0; row < mail.itemCount(); ++row)
            marks.append(mail.item(row).checked ? "1" : "0");
        m["mailChecks"] = marks.join(',');
        m["hook"] = n(hookCalls);
        return m;
    }

    // Every option away from its default, as a loaded window shows it, then
    // the first activation.
    void dirty()
    {
        RunSettings& s = settings;
        s.playSound = s.autoStartTimer = s.continuousAlarm = s.idleIfOffline = 1;
        s.trayInEffect = s.trayOnClose = 1;
        s.deleteEnabled = 1;
        s.dateStyle = DateStyle::WithDayName;
        s.recheckIntervalMinutes = 45;
        s.serverTimeoutSeconds = 20;
        s.serverTimeout = std::chrono::seconds(20);
        s.apopSecret = QStringLiteral("shared");
        s.runPassword = QStringLiteral("run");
        for (int i = 1; i <= 11; ++i)
            box(QStringLiteral("Check%1").arg(i))->setChecked(true);
        form.setToolTipsOff(true);
        form.setDeleteEnabled(true);
        addMailRows();
        form.showMailCheckBoxes(true);
        find<QLineEdit>("Text6")->setText("45");
        find<QLineEdit>("Text9")->setText("20");
        find<QPlainTextEdit>("Text8")->setPlainText("half typed");
        chooser()->setCurrentIndex(3);
        form.handleFirstActivation();
    }
};

} // namespace

class TestSettingsActions : public QObject
{
    Q_OBJECT

private slots:
    void boxSetsItsSetting_data();
    void boxSetsItsSetting();
    void toolTipsBox();
    void trayBox_data();
    void trayBox();
    void deleteFunctionsOn();
    void deleteFunctionsOff();
    void deleteFunctionsWaitForActivation();
    void dateStyleChooser_data();
    void dateStyleChooser();
    void dateStyleEntries();
    void defaults_data();
    void defaults();
};

void TestSettingsActions::boxSetsItsSetting_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("field");
    QTest::newRow("Check1") << "Check1"
                            << "CheckSelectedOnly";
    QTest::newRow("Check2") << "Check2"
                            << "AutoCheckOnOpen";
    QTest::newRow("Check3") << "Check3"
                            << "UseRetr";
    QTest::newRow("Check6") << "Check6"
                            << "UseApop";
    QTest::newRow("Check9") << "Check9"
                            << "ToolTipsOff";
}

void TestSettingsActions::boxSetsItsSetting()
{
    QFETCH(QString, box);
    QFETCH(QString, field);
    Pages pages;
    // The box starts clear; each click sets the setting to the box's state.
    flag(pages.settings, field) = false;
    pages.box(box)->click();
    QCOMPARE(flag(pages.settings, field), true);
    pages.box(box)->click();
    QCOMPARE(flag(pages.settings, field), false);
    QVERIFY(pages.prompter.shown().isEmpty());
}

void TestSettingsActions::toolTipsBox()
{
    Pages pages;
    pages.form.handleFirstActivation();
    auto tip = [&](const char* name) { return pages.find<QWidget>(name)->toolTip(); };
    QCOMPARE(tip("Command14"), defaultsTip);
    const QString passwordTip = tip("Text7");
    QVERIFY(!passwordTip.isEmpty());
    QVERIFY(!tip("Text10").isEmpty());

    pages.box("Check9")->click();
    QCOMPARE(pages.form.toolTipsOff(), true);
    for (const char* name : {"Command14", "Text7", "Text8", "Command1", "Text10"})
        QVERIFY2(tip(name).isEmpty(), name);

    pages.box("Check9")->click();
    QCOMPARE(pages.settings.toolTipsOff, false);
    QCOMPARE(tip("Command14"), defaultsTip);
    QCOMPARE(tip("Text7"), passwordTip);
    QVERIFY(!tip("Text10").isEmpty());
}

void TestSettingsActions::trayBox_data()
{
    QTest::addColumn<int>("inEffect");
    QTest::newRow("tray off at start") << 0;
    QTest::newRow("tray on at start") << 1;
}

void TestSettingsActions::trayBox()
{
    QFETCH(int, inEffect);
    const bool stored = inEffect == 1;
    Pages pages;
    pages.settings.trayInEffect = pages.settings.trayOnClose = stored;
    QCheckBox* check7 = pages.box("Check7");
    // The load sets the box: no action before the first activation.
    check7->setChecked(inEffect != 1);
    check7->setChecked(inEffect == 1);
    QCOMPARE(pages.settings.trayOnClose, stored);
    QVERIFY(pages.prompter.shown().isEmpty());

    pages.form.handleFirstActivation();
    check7->click();
    QCOMPARE(pages.settings.trayOnClose, !stored);
    QCOMPARE(pages.prompter.texts(), QStringList{trayNext});
    check7->click();
    QCOMPARE(pages.prompter.texts(), (QStringList{trayNext, trayKept}));
    // Back where it started; the tray behaviour of this run never moved.
    QCOMPARE(pages.settings.trayOnClose, stored);
    QCOMPARE(pages.settings.trayInEffect, stored);
}

void TestSettingsActions::deleteFunctionsOn()
{
    Pages pages;
    pages.form.selectTab(MainWindow::SettingsTab);
    pages.addMailRows();
    pages.form.handleFirstActivation();
    const QList<int> images = pages.images();
    pages.box("Check4")->click();
    QCOMPARE(pages.settings.deleteEnabled, true);
    QVERIFY(pages.mail.checkBoxesShown());
    QCOMPARE(pages.form.mailListView()->pictureSet(), 2);
    QCOMPARE(pages.images(), images);
    auto* command5 = pages.find<QPushButton>("Command5");
    QVERIFY(!command5->isEnabled());
    pages.form.selectTab(MainWindow::MailTab);
    QVERIFY(command5->isEnabled());
}

void TestSettingsActions::deleteFunctionsOff()
{
    Pages pages;
    pages.addMailRows();
    pages.box("Check4")->setChecked(true);
    pages.form.handleFirstActivation();
    pages.settings.deleteEnabled = true;
    pages.form.setDeleteEnabled(true);
    pages.form.showMailCheckBoxes(true);
    pages.form.selectTab(MainWindow::MailTab);
    auto* command5 = pages.find<QPushButton>("Command5");
    QVERIFY(command5->isEnabled());
    QCOMPARE(pages.checks(), (QList<int>{1, 1, 0}));
    const QList<int> images = pages.images();

    pages.box("Check4")->click();
    QCOMPARE(pages.settings.deleteEnabled, false);
    QCOMPARE(pages.form.deleteEnabled(), false);
    QVERIFY(!command5->isEnabled());
    QVERIFY(!pages.mail.checkBoxesShown());
    QCOMPARE(pages.form.mailListView()->pictureSet(), 1);
    QCOMPARE(pages.images(), images);
    // Each row's check mark is cleared, not merely hidden.
    pages.mail.setCheckBoxesShown(true);
    QCOMPARE(pages.checks(), (QList<int>{0, 0, 0}));
    // "Delete Mail" stays off on the mail tab now.
    pages.form.selectTab(MainWindow::SettingsTab);
    pages.form.selectTab(MainWindow::MailTab);
    QVERIFY(!command5->isEnabled());
}

void TestSettingsActions::deleteFunctionsWaitForActivation()
{
    Pages pages;
    pages.addMailRows();
    pages.box("Check4")->setChecked(true);
    QCOMPARE(pages.settings.deleteEnabled, false);
    QVERIFY(!pages.mail.checkBoxesShown());
    pages.box("Check4")->setChecked(false);
    // Nothing ran: the marks are still there under the hidden boxes.
    pages.mail.setCheckBoxesShown(true);
    QCOMPARE(pages.checks(), (QList<int>{1, 1, 0}));
}

void TestSettingsActions::dateStyleChooser_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("chosen"); // index, -1 for none
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("shownIndex"); // -2: the chooser is not touched
    QTest::newRow("first entry") << 3 << 0 << 1 << -2;
    QTest::newRow("last entry") << 1 << 4 << 5 << -2;
    QTest::newRow("none read keeps the style") << 3 << -1 << 3 << -2;
    QTest::newRow("none read, style below 1") << 0 << -1 << 1 << 0;
    QTest::newRow("none read, negative style") << -7 << -1 << 1 << 0;
}

void TestSettingsActions::dateStyleChooser()
{
    QFETCH(int, before);
    QFETCH(int, chosen);
    QFETCH(int, after);
    QFETCH(int, shownIndex);
    Pages pages;
    pages.settings.dateStyle = DateStyle(before);
    pages.chooser()->setCurrentIndex(chosen >= 0 ? chosen : 2);
    emit pages.chooser()->activated(chosen);
    QCOMPARE(pages.settings.dateStyle, DateStyle(after));
    QCOMPARE(pages.chooser()->currentIndex(),
             shownIndex == -2 ? (chosen >= 0 ? chosen : 2) : shownIndex);
}

void TestSettingsActions::dateStyleEntries()
{
    Pages pages;
    QComboBox* chooser = pages.chooser();
    const QStringList entries{
        "As Sent - No Format (Source Time)", "Reg.Setting-Short Date Time (Local Time)",
        "Reg.Setting-Long Date Time (Local Time)", "ex. Mon Jan 4 2003 9:15 AM (Local Time)",
        "ex. Jan 4 2003 9:15 AM (Local Time)"};
    QCOMPARE(chooser->count(), entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(chooser->itemText(i), entries[i]);
        QVERIFY(!chooser->itemIcon(i).isNull());
    }
    // The chooser shows the stored style; a style with no entry leaves it.
    pages.settings.dateStyle = DateStyle::WithDayName;
    pages.actions->showDateStyle();
    QCOMPARE(chooser->currentIndex(), 3);
    pages.settings.dateStyle = DateStyle(9);
    pages.actions->showDateStyle();
    QCOMPARE(chooser->currentIndex(), 3);
    pages.settings.dateStyle = DateStyle(0);
    pages.actions->showDateStyle();
    QCOMPARE(pages.settings.dateStyle, DateStyle::AsSent);
    QCOMPARE(chooser->currentIndex(), 0);
}

void TestSettingsActions::defaults_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("yes");
    for (const char* button : {"Command14", "Command13", "Command12"}) {
        QTest::addRow("%s yes", button) << QString::fromLatin1(button) << true;
        QTest::addRow("%s no", button) << QString::fromLatin1(button) << false;
    }
}

void TestSettingsActions::defaults()
{
    QFETCH(QString, button);
    QFETCH(bool, yes);
    Pages pages;
    pages.dirty();
    const QMap<QString, QString> before = pages.state();
    const int shownBefore = int(pages.prompter.shown().size());

    pages.prompter.queueYesNo(yes);
    pages.find<QPushButton>(button)->click();

    QMap<QString, QString> expected = before;
    QStringList messages{defaultsQuestion};
    if (button == QLatin1String("Command13"))
        messages[0] += QStringLiteral(" (Except Password)");
    if (yes && button == QLatin1String("Command14")) {
        for (const char* field :
             {"CheckSelectedOnly", "AutoCheckOnOpen", "PlaySound", "ContinuousAlarm",
              "IdleIfOffline", "AutoStartTimer", "DeleteEnabled", "form.deleteEnabled"})
            expected[field] = "0";
        for (const char* box :
             {"Check1", "Check2", "Check5", "Check10", "Check11", "Check8", "Check4"})
            expected[box] = "off";
        expected["RecheckIntervalMinutes"] = expected["Text6"] = "30";
        // Clearing Check4 ran its action: check boxes gone, rows unchecked.
        expected["mailCheckBoxes"] = "hidden";
        expected["mailChecks"] = "0,0,0";
        expected["hook"] = "1";
    }
    if (yes && button == QLatin1String("Command13")) {
        expected["TrayOnClose"] = "0";
        expected["Check7"] = expected["Check9"] = "off";
        expected["DateStyle"] = "1";
        expected["chooser"] = "0";
        expected["ServerTimeoutSeconds"] = expected["Text9"] = "180";
        expected["ServerTimeoutMs"] = "180000";
        expected["ToolTipsOff"] = expected["form.toolTipsOff"] = "0";
        expected["tip"] = defaultsTip;
        // Clearing Check7 ran its action; the run password stays.
        messages.append(trayNext);
    }
    if (yes && button == QLatin1String("Command12")) {
        expected["UseRetr"] = expected["UseApop"] = "0";
        expected["Check3"] = expected["Check6"] = "off";
        expected["Text8"] = expected["ApopSecret"] = "";
    }
    QCOMPARE(pages.newTexts(shownBefore), messages);
    QCOMPARE(pages.prompter.shown().at(shownBefore).kind, ScriptedPrompter::Shown::Question);
    const QMap<QString, QString> after = pages.state();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(after.value(it.key()) == it.value(),
                 qPrintable(it.key() + ": " + after.value(it.key()) + " != " + it.value()));
}

QTEST_MAIN(TestSettingsActions)
#include "test_settings_actions.moc"
