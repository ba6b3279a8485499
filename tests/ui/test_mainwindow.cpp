// The main window's controls, tabs and pages, log box and status line.
#include "model/mail_list_model.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"
#include "ui/system_colours.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <cmath>

namespace {

// Twips to pixels at 15 twips per pixel, halves to even.
int px(double twips)
{
    return int(std::nearbyint(twips / 15));
}

QString captionOf(QWidget* widget)
{
    // The caption as shown: a mnemonic mark only underlines the next letter.
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return QString(button->text()).remove(QLatin1Char('&'));
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* frame = qobject_cast<QGroupBox*>(widget))
        return frame->title();
    if (auto* box = qobject_cast<QLineEdit*>(widget))
        return box->text();
    return QString();
}

constexpr double Unset = -1;

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void menus_data();
    void menus();
    void timersAreStoppedWithTheirPeriods();
    void windowCaptionAndTabs();
    void tabSwitching_data();
    void tabSwitching();
    void busyRunDisablesAndRestores();
    void settingsPageLinks();
    void toolTipsOff();
    void logBoxShowHideAndSplit();
    void logAppendAndReplace();
    void logRunColours();
    void statusBarRightClickClears();
};

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");
    // Design rectangle in twips inside the control's container; Unset where
    // the resize rules decide.
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");

    auto row = [](const char* name, const char* kind, const QString& caption, const QString& tip,
                  double l, double t, double w, double h) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind) << caption
                            << tip << l << t << w << h;
    };
    const QString none;
    // Window level; the bottom row's top follows the resize rules.
    row("Command1", "QPushButton", "Check Mail", "Check For Mail As Configured", 855, Unset, 1035,
        330);
    row("Command2", "QPushButton", "Seen", "Mark New Mail Items As -Seen-", 1995, Unset, 600, 330);
    row("Command7", "QPushButton", "Cancel", "Clear Mail Window", 1935, Unset, 720, 330);
    row("Command5", "QPushButton", "Delete Mail",
        "Permanently Delete All Mail Items w/CheckBox Ckecked From The Server", 2700, Unset, 1035,
        330);
    row("Command8", "QPushButton", "Menu", none, 3810, Unset, 645, 330);
    row("Command15", "QPushButton", "Log",
        "Show/Hide Log Messages Box (Right-Click To Split/Full Window Messages Box)", 4530, Unset,
        525, 330);
    row("Text10", "QLineEdit", "", "Off - Timed Re-Check For Mail (dbl-click on/off)", 210, Unset,
        570, Unset);
    row("Text1", "QPlainTextEdit", none, "App Messages & Pop3 Server Replies", Unset, Unset, Unset,
        Unset);
    row("Picture7", "QFrame", none, none, Unset, 90, 585, 225);
    row("Label17", "QLabel", "Alarm", "Click To Stop Alarm Sound", Unset, Unset, Unset, Unset);
    row("TabStrip1", "QTabBar", none, none, 45, 45, Unset, Unset);
    row("ListView1", "QTreeView", none, none, 150, 435, Unset, Unset);
    row("Frame1", "QGroupBox", "Run Settings", none, 135, 420, Unset, Unset);
    row("Frame3", "QGroupBox", "Usernames", none, 135, 420, Unset, Unset);
    row("StatusBar1", "QStatusBar", none, none, Unset, Unset, Unset, 300);
    // Page P. 1
    row("Frame2", "QGroupBox", none, none, Unset, Unset, 4965, 3330);
    row("Check1", "QCheckBox", "Check Mail Only For Usernames With Checked Boxes", none, 585, 555,
        4335, 345);
    row("Check2", "QCheckBox", "Automatically Check Mail  When Window Opens", none, 585, 900, 4035,
        345);
    row("Check5", "QCheckBox", "Play Sound  When New Mail Is Found On Server", none, 585, 1245,
        4185, 345);
    row("Check10", "QCheckBox", "Sound As Continuous Alarm", none, 2010, 1515, 2565, 330);
    row("Text6", "QLineEdit", "30", none, 765, 1830, 705, 330);
    row("Command10", "QPushButton", "<", none, 60, 75, 225, 300);
    row("Command11", "QPushButton", ">", none, 285, 75, 225, 300);
    row("Check11", "QCheckBox", "Idle If Offline", none, 165, 2190, 1380, 330);
    row("Check8", "QCheckBox", "Auto-Start Timer When Mail Is Checked", none, 1560, 2190, 3330,
        330);
    row("Check4", "QCheckBox", "Enable Functions To Delete Messages On POP3 Server", none, 285,
        2535, 4560, 345);
    row("Command14", "QPushButton", "Defaults",
        "Restore The Original, Default Settings For This Page", Unset, Unset, 975, 270);
    row("Label8", "QLabel", ">", none, 3165, 3030, 210, 240);
    // Page P. 2
    row("Frame4", "QGroupBox", none, none, Unset, Unset, 4965, 3330);
    row("Check7", "QCheckBox", "Close With Icon On The Tray (Notification Area)", none, 885, 600,
        3945, 345);
    row("ImageCombo1", "QComboBox", none, none, 1080, 1080, 3600, 330);
    row("Text7", "QLineEdit", "",
        "To Require A Password To Run Quorvamel, Type Password In Box And Press -Enter- Key", 1830,
        1635, 2835, 300);
    row("Text9", "QLineEdit", "180", none, 930, 2145, 570, 330);
    row("Command6", "QPushButton", "<", none, 60, 75, 225, 300);
    row("Command9", "QPushButton", ">", none, 285, 75, 225, 300);
    row("Check9", "QCheckBox", "Disable Tool Tips", none, 2190, 2535, 1980, 345);
    row("Command13", "QPushButton", "Defaults",
        "Restore The Original, Default Settings For This Page", Unset, Unset, 975, 270);
    row("Label10", "QLabel", "<", none, 1635, 3030, 210, 240);
    row("Label11", "QLabel", ">", none, 3165, 3030, 210, 240);
    // Page P. 3
    row("Frame5", "QGroupBox", none, none, Unset, Unset, 4965, 3330);
    row("Check3", "QCheckBox", "Use \"RETR\" Instead Of Default \"TOP\" (See Help File)", none, 255,
        480, 4515, 345);
    row("Check6", "QCheckBox", "Use \"APOP\" Instead Of Default \"USER\\PASS\" (See Help)", none,
        255, 840, 4590, 345);
    row("Text8", "QPlainTextEdit", none,
        "Type Or Paste Printable Text Secret, Then Press -Enter- Key To Store Secret", 360, 1395,
        4230, 1080);
    row("Command12", "QPushButton", "Defaults",
        "Restore The Original, Default Settings For This Page", Unset, Unset, 975, 270);
    row("Label13", "QLabel", "<", none, 1635, 3030, 210, 240);
    // Account page
    row("Text11", "QLineEdit", "", none, Unset, Unset, Unset, Unset);
    row("Text2", "QLineEdit", "", none, Unset, Unset, Unset, Unset);
    row("Text3", "QLineEdit", "", none, Unset, Unset, Unset, Unset);
    row("Text4", "QLineEdit", "", none, Unset, Unset, Unset, Unset);
    row("Text5", "QLineEdit", "110", none, Unset, Unset, Unset, Unset);
    row("Command3", "QPushButton", "Add",
        "Add New Username / (Password) / Server Name (Entered In TextBoxes)", Unset, Unset, Unset,
        Unset);
    row("Command4", "QPushButton", "Delete", "Delete Selected User (Disregards CheckBox)", Unset,
        Unset, Unset, Unset);
    row("ListView2", "QTreeView", none, none, Unset, Unset, Unset, Unset);
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, width);
    QFETCH(double, height);

    MainWindow window;
    window.handleFirstActivation(); // applies the tool tips
    auto* control = window.findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QVERIFY2(control->inherits(kind.toLatin1().constData()), control->metaObject()->className());
    if (!caption.isNull())
        QCOMPARE(captionOf(control), caption);
    QCOMPARE(control->toolTip(), toolTip);
    if (left != Unset)
        QCOMPARE(control->x(), px(left));
    if (top != Unset)
        QCOMPARE(control->y(), px(top));
    if (width != Unset)
        QCOMPARE(control->width(), px(width));
    if (height != Unset)
        QCOMPARE(control->height(), px(height));
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    // "-" stands for a separator.
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("captions");

    QTest::newRow("mail list") << "mnuP3Pop1"
                               << QStringList{"mnuCheckAll", "mnuUnCheckAll", "-",
                                              "mnuCheckAllUser", "mnuUnCheckAllUser"}
                               << QStringList{"Check All", "Un-Check All", "-",
                                              "Check All For User", "Un-Check All For User"};
    QTest::newRow("account list") << "mnuP3Pop2"
                                  << QStringList{"mnuMoveUp", "mnuMovedown", "mnuToTop",
                                                 "mnuToBot",  "-",           "mnuDelete",
                                                 "-",         "mnuSignIn"}
                                  << QStringList{"Move &Up",
                                                 "Move &Down",
                                                 "Move To &Top",
                                                 "Move To &Bottom",
                                                 "-",
                                                 "Delete &Selected User (Disregards CheckBox)",
                                                 "-",
                                                 "Sign-&In..."};
    QTest::newRow("tray") << "mnuTrayIconPop1"
                          << QStringList{"mnuTrayIcoShow", "mnuTrayIcoExit", "mnuTrayHideMenu"}
                          << QStringList{"Open", "Close", "Hide Menu"};
    QTest::newRow("menu button") << "mnuP3Pop4" << QStringList{"mnuHelp", "mnuAbout", "mnuFonts"}
                                 << QStringList{"&Help", "&About", "&Text Fonts"};
}

void TestMainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, names);
    QFETCH(QStringList, captions);

    MainWindow window;
    auto* popup = window.findChild<QMenu*>(menu);
    QVERIFY(popup);
    const QList<QAction*> actions = popup->actions();
    QCOMPARE(actions.size(), names.size());
    for (int i = 0; i < actions.size(); ++i) {
        if (names[i] == QLatin1String("-")) {
            QVERIFY(actions[i]->isSeparator());
            continue;
        }
        QCOMPARE(actions[i]->objectName(), names[i]);
        QCOMPARE(actions[i]->text(), captions[i]);
    }
    QVERIFY(!window.findChild<QMenuBar*>());
}

void TestMainWindow::timersAreStoppedWithTheirPeriods()
{
    MainWindow window;
    const int periods[] = {60000, 20000, 600, 1000, 5000};
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("Timer%1").arg(i + 1);
        auto* timer = window.findChild<QTimer*>(name);
        QVERIFY2(timer, qPrintable(name));
        QCOMPARE(timer->interval(), periods[i]);
        QVERIFY(!timer->isActive());
    }
}

void TestMainWindow::windowCaptionAndTabs()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("Form10"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Quorvamel email"));
    auto* tabs = window.findChild<QTabBar*>(QStringLiteral("TabStrip1"));
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Mail Window"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Run Settings"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Configure Usernames"));
    // Hidden at start: the log box, the "Cancel" button; disabled: "Delete Mail".
    QVERIFY(window.findChild<QWidget*>(QStringLiteral("Text1"))->isHidden());
    QVERIFY(window.findChild<QWidget*>(QStringLiteral("Command7"))->isHidden());
    QVERIFY(!window.findChild<QWidget*>(QStringLiteral("Command5"))->isEnabled());
    QVERIFY(!window.windowIcon().isNull());

    // The mail list's and the account list's column captions.
    QAbstractItemModel* mail = window.mailListView()->model();
    const QStringList mailHeaders{" Display Name", "Username", "From", "Subject",
                                  "Date Sent",     "Server",   "Port"};
    QCOMPARE(mail->columnCount(), mailHeaders.size());
    for (int c = 0; c < mailHeaders.size(); ++c)
        QCOMPARE(mail->headerData(c, Qt::Horizontal).toString(), mailHeaders[c]);
    QAbstractItemModel* accounts = window.accountListView()->model();
    const QStringList accountHeaders{" Display Name", "Username", "Server Name", "Port No.", ""};
    QCOMPARE(accounts->columnCount(), accountHeaders.size());
    for (int c = 0; c < accountHeaders.size(); ++c)
        QCOMPARE(accounts->headerData(c, Qt::Horizontal).toString(), accountHeaders[c]);

    auto* combo = window.findChild<QComboBox*>(QStringLiteral("ImageCombo1"));
    const QStringList styles{
        "As Sent - No Format (Source Time)", "Reg.Setting-Short Date Time (Local Time)",
        "Reg.Setting-Long Date Time (Local Time)", "ex. Mon Jan 4 2003 9:15 AM (Local Time)",
        "ex. Jan 4 2003 9:15 AM (Local Time)"};
    QCOMPARE(combo->count(), styles.size());
    for (int i = 0; i < styles.size(); ++i) {
        QCOMPARE(combo->itemText(i), styles[i]);
        QVERIFY(!combo->itemIcon(i).isNull());
    }
}

void TestMainWindow::tabSwitching_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("deleteEnabled");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("seenEnabled");
    QTest::addColumn<bool>("deleteMailEnabled");

    QTest::newRow("mail, delete off") << 0 << false << "ListView1" << true << false;
    QTest::newRow("mail, delete on") << 0 << true << "ListView1" << true << true;
    QTest::newRow("settings, delete on") << 1 << true << "Frame1" << false << false;
    QTest::newRow("accounts, delete on") << 2 << true << "Frame3" << false << false;
}

void TestMainWindow::tabSwitching()
{
    QFETCH(int, tab);
    QFETCH(bool, deleteEnabled);
    QFETCH(QString, shown);
    QFETCH(bool, seenEnabled);
    QFETCH(bool, deleteMailEnabled);

    MainWindow window;
    window.setDeleteEnabled(deleteEnabled);
    // Start from another tab, then click the wanted one.
    window.selectTab(tab == 1 ? 2 : 1);
    auto* tabs = window.findChild<QTabBar*>(QStringLiteral("TabStrip1"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab).center());
    QCOMPARE(window.currentTab(), tab);

    for (const char* page : {"ListView1", "Frame1", "Frame3"}) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(page));
        QCOMPARE(widget->isVisible(), shown == QLatin1String(page));
    }
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Command2"))->isEnabled(), seenEnabled);
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Command5"))->isEnabled(),
             deleteMailEnabled);
}

void TestMainWindow::busyRunDisablesAndRestores()
{
    MainWindow window;
    window.setDeleteEnabled(true);
    window.selectTab(MainWindow::AccountsTab);
    window.setRunBusy(true);

    auto widget = [&](const char* name) {
        return window.findChild<QWidget*>(QString::fromLatin1(name));
    };
    QCOMPARE(window.currentTab(), int(MainWindow::MailTab));
    QVERIFY(!widget("Command1")->isEnabled());
    QVERIFY(widget("Command2")->isHidden());
    QVERIFY(!widget("Command7")->isHidden());
    QVERIFY(!widget("TabStrip1")->isEnabled());
    QVERIFY(!widget("Command5")->isEnabled());
    // Selecting the mail tab during a run enables nothing.
    window.selectTab(MainWindow::MailTab);
    QVERIFY(!widget("Command5")->isEnabled());

    window.setRunBusy(false);
    QVERIFY(widget("Command1")->isEnabled());
    QVERIFY(!widget("Command2")->isHidden());
    QVERIFY(widget("Command7")->isHidden());
    QVERIFY(widget("TabStrip1")->isEnabled());
    QVERIFY(widget("Command5")->isEnabled());

    window.setDeleteEnabled(false);
    window.setRunBusy(true);
    window.setRunBusy(false);
    QVERIFY(!widget("Command5")->isEnabled());
}

void TestMainWindow::settingsPageLinks()
{
    MainWindow window;
    auto page = [&](const char* name) {
        return !window.findChild<QWidget*>(QString::fromLatin1(name))->isHidden();
    };
    auto click = [&](const char* link) {
        QTest::mouseClick(window.findChild<QWidget*>(QString::fromLatin1(link)), Qt::LeftButton);
    };
    QVERIFY(page("Frame2") && !page("Frame4") && !page("Frame5"));
    click("Label8");
    QVERIFY(!page("Frame2") && page("Frame4") && !page("Frame5"));
    click("Label11");
    QVERIFY(!page("Frame2") && !page("Frame4") && page("Frame5"));
    click("Label13");
    QVERIFY(!page("Frame2") && page("Frame4") && !page("Frame5"));
    click("Label10");
    QVERIFY(page("Frame2") && !page("Frame4") && !page("Frame5"));
    QCOMPARE(window.settingsPage(), 1);
}

void TestMainWindow::toolTipsOff()
{
    MainWindow window;
    window.setToolTipsOff(true);
    window.handleFirstActivation();
    const char* tipped[] = {"Command1",  "Command2", "Command3", "Command4",  "Command5",
                            "Command7",  "Text1",    "Text8",    "Command12", "Command13",
                            "Command14", "Text7",    "Label17",  "Command15", "Text10"};
    for (const char* name : tipped)
        QVERIFY2(window.findChild<QWidget*>(QString::fromLatin1(name))->toolTip().isEmpty(), name);

    window.setToolTipsOff(false);
    window.setRecheckIntervalMinutes(7);
    window.findChild<QTimer*>(QStringLiteral("Timer1"))->start();
    window.applyToolTips();
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Command12"))->toolTip(),
             QStringLiteral("Restore The Original, Default Settings For This Page"));
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Text10"))->toolTip(),
             QStringLiteral("On - Minutes Until Next Timed Re-Check For Mail - Interval Set = 7 "
                            "(dbl-click on/off)"));
    QCOMPARE(MainWindow::toolTipTexts().size(), 13);
    QCOMPARE(MainWindow::toolTipTexts().at(5),
             QStringLiteral("Off- Timed Re-Check For Mail (dbl-click on/off)"));
}

void TestMainWindow::logBoxShowHideAndSplit()
{
    MainWindow window;
    window.resize(500, 420);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    auto* button = window.findChild<QPushButton*>(QStringLiteral("Command15"));
    auto* frame1 = window.findChild<QWidget*>(QStringLiteral("Frame1"));
    const QRect f = frame1->geometry();
    const QRect full(px(f.x() * 15.0), px(f.y() * 15.0 + 15), px(f.width() * 15.0),
                     px(f.height() * 15.0 - 30));
    const QRect right(px(f.x() * 15.0 + f.width() * 15.0 / 2), px(f.y() * 15.0 + 15),
                      px(f.width() * 15.0 / 2), px(f.height() * 15.0 - 30));

    QVERIFY(!log->isVisible());
    // Right-click while hidden: the split changes for the next showing.
    QTest::mousePress(button, Qt::RightButton);
    QTest::mouseRelease(button, Qt::RightButton);
    QCOMPARE(window.logSplit(), true);
    QVERIFY(!log->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(log->isVisible());
    QCOMPARE(log->geometry(), right);

    // Right-click while shown: placed again at once, still shown.
    QTest::mousePress(button, Qt::RightButton);
    QTest::mouseRelease(button, Qt::RightButton);
    QCOMPARE(window.logSplit(), false);
    QVERIFY(log->isVisible());
    QCOMPARE(log->geometry(), full);

    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!log->isVisible());
}

void TestMainWindow::logAppendAndReplace()
{
    MainWindow window;
    auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    window.setLogText(QStringLiteral("..Beginning Process To Check For Mail"));
    window.appendLog(QStringLiteral("..Checking For Mail"));
    window.appendLog(QStringLiteral("+OK ready"));
    QCOMPARE(window.logText(), QStringLiteral("..Beginning Process To Check For Mail\n"
                                              "..Checking For Mail\n+OK ready"));
    QCOMPARE(log->textCursor().position(), log->document()->characterCount() - 1);
    QCOMPARE(log->textCursor().selectedText(), QString());
    // The status line is not touched by the log.
    QCOMPARE(window.statusText(), QString());
    window.setLogText(QString());
    window.appendLog(QStringLiteral("x"));
    QCOMPARE(window.logText(), QStringLiteral("\nx"));
}

void TestMainWindow::logRunColours()
{
    // The log box wears the tool-tip colours while a run is active and goes
    // back to the window colours after it; a second call changes nothing.
    MainWindow window;
    auto* log = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    const struct
    {
        bool runActive;
        std::uint32_t base;
        std::uint32_t text;
    } steps[] = {
        {true, SystemColour::ToolTipBackground, SystemColour::ToolTipText},
        {true, SystemColour::ToolTipBackground, SystemColour::ToolTipText},
        {false, SystemColour::WindowBackground, SystemColour::WindowText},
    };
    for (const auto& step : steps) {
        window.showRunColours(step.runActive);
        QCOMPARE(log->palette().color(QPalette::Base), SystemColour::toColour(step.base));
        QCOMPARE(log->palette().color(QPalette::Text), SystemColour::toColour(step.text));
    }
}

void TestMainWindow::statusBarRightClickClears()
{
    MainWindow window;
    auto* bar = window.findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
    window.setStatus(QStringLiteral("..Check Complete: 3 New, 5 Total"));
    QTest::mouseClick(bar, Qt::LeftButton);
    QCOMPARE(window.statusText(), QStringLiteral("..Check Complete: 3 New, 5 Total"));
    QTest::mouseClick(bar, Qt::RightButton);
    QCOMPARE(window.statusText(), QString());
    window.setStatus(QStringLiteral("again"));
    QTest::mouseClick(bar->findChild<QLabel*>(), Qt::RightButton);
    QCOMPARE(window.statusText(), QString());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
