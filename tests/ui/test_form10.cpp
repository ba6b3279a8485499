// The main window's controls, pages, log box, status line and resize rules.
#include "model/mail_list_model.h"
#include "ui/form10.h"
#include "ui/mail_list_view.h"

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
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
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

class TestForm10 : public QObject
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
    void statusBarRightClickClears();
    void resizeRules_data();
    void resizeRules();
    void firstRunPlacement_data();
    void firstRunPlacement();
    void storedPositionCheck_data();
    void storedPositionCheck();
    void startupFontChoice_data();
    void startupFontChoice();
    void fontDialogCapsAtTwelve_data();
    void fontDialogCapsAtTwelve();
    void pageColours_data();
    void pageColours();
    void mailListPictures();
    void columnWidths();
};

void TestForm10::controls_data()
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
        4275, 345);
    row("Check2", "QCheckBox", "Automatically Check Mail  When Window Opens", none, 585, 900, 4035,
        345);
    row("Check5", "QCheckBox", "Play Sound  When New Mail Is Found On Server", none, 585, 1245,
        4185, 345);
    row("Check10", "QCheckBox", "Sound As Continuous Alarm", none, 2010, 1515, 2565, 330);
    row("Text6", "QLineEdit", "30", none, 765, 1830, 705, 330);
    row("Command10", "QPushButton", "<", none, 60, 75, 225, 300);
    row("Command11", "QPushButton", ">", none, 285, 75, 225, 300);
    row("Check11", "QCheckBox", "Idle If Offline", none, 285, 2190, 1320, 330);
    row("Check8", "QCheckBox", "Auto-Start Timer When Mail Is Checked", none, 1590, 2190, 3285,
        330);
    row("Check4", "QCheckBox", "Enable Functions To Delete Messages On POP3 Server", none, 285,
        2535, 4560, 345);
    row("Command14", "QPushButton", "Defaults",
        "Restore The Original, Default Settings For This Page", Unset, Unset, 975, 270);
    row("Label8", "QLabel", ">", none, 3060, 3030, 210, 240);
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
    row("Label10", "QLabel", "<", none, 1725, 3030, 210, 240);
    row("Label11", "QLabel", ">", none, 3060, 3030, 210, 240);
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
    row("Label13", "QLabel", "<", none, 1725, 3030, 210, 240);
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

void TestForm10::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, width);
    QFETCH(double, height);

    Form10 window;
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

void TestForm10::menus_data()
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
    QTest::newRow("account list")
        << "mnuP3Pop2"
        << QStringList{"mnuMoveUp", "mnuMovedown", "mnuToTop", "mnuToBot", "-", "mnuDelete"}
        << QStringList{
               "Move &Up",        "Move &Down", "Move To &Top",
               "Move To &Bottom", "-",          "Delete &Selected User (Disregards CheckBox)"};
    QTest::newRow("tray") << "mnuTrayIconPop1"
                          << QStringList{"mnuTrayIcoShow", "mnuTrayIcoExit", "mnuTrayHideMenu"}
                          << QStringList{"Open", "Close", "Hide Menu"};
    QTest::newRow("menu button") << "mnuP3Pop4" << QStringList{"mnuHelp", "mnuAbout", "mnuFonts"}
                                 << QStringList{"&Help", "&About", "&Text Fonts"};
}

void TestForm10::menus()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, names);
    QFETCH(QStringList, captions);

    Form10 window;
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

void TestForm10::timersAreStoppedWithTheirPeriods()
{
    Form10 window;
    const int periods[] = {60000, 20000, 600, 1000, 5000};
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("Timer%1").arg(i + 1);
        auto* timer = window.findChild<QTimer*>(name);
        QVERIFY2(timer, qPrintable(name));
        QCOMPARE(timer->interval(), periods[i]);
        QVERIFY(!timer->isActive());
    }
}

void TestForm10::windowCaptionAndTabs()
{
    Form10 window;
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

void TestForm10::tabSwitching_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("deleteEnabled");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("seenEnabled");
    QTest::addColumn<bool>("deleteMailEnabled");

    QTest::newRow("mail, delete off") << 0 << 0 << "ListView1" << true << false;
    QTest::newRow("mail, delete on") << 0 << 1 << "ListView1" << true << true;
    QTest::newRow("settings, delete on") << 1 << 1 << "Frame1" << false << false;
    QTest::newRow("accounts, delete on") << 2 << 1 << "Frame3" << false << false;
}

void TestForm10::tabSwitching()
{
    QFETCH(int, tab);
    QFETCH(int, deleteEnabled);
    QFETCH(QString, shown);
    QFETCH(bool, seenEnabled);
    QFETCH(bool, deleteMailEnabled);

    Form10 window;
    window.setDeleteEnabled(std::int16_t(deleteEnabled));
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

void TestForm10::busyRunDisablesAndRestores()
{
    Form10 window;
    window.setDeleteEnabled(1);
    window.selectTab(Form10::AccountsTab);
    window.setRunBusy(true);

    auto widget = [&](const char* name) {
        return window.findChild<QWidget*>(QString::fromLatin1(name));
    };
    QCOMPARE(window.currentTab(), int(Form10::MailTab));
    QVERIFY(!widget("Command1")->isEnabled());
    QVERIFY(widget("Command2")->isHidden());
    QVERIFY(!widget("Command7")->isHidden());
    QVERIFY(!widget("TabStrip1")->isEnabled());
    QVERIFY(!widget("Command5")->isEnabled());
    // Selecting the mail tab during a run enables nothing.
    window.selectTab(Form10::MailTab);
    QVERIFY(!widget("Command5")->isEnabled());

    window.setRunBusy(false);
    QVERIFY(widget("Command1")->isEnabled());
    QVERIFY(!widget("Command2")->isHidden());
    QVERIFY(widget("Command7")->isHidden());
    QVERIFY(widget("TabStrip1")->isEnabled());
    QVERIFY(widget("Command5")->isEnabled());

    window.setDeleteEnabled(0);
    window.setRunBusy(true);
    window.setRunBusy(false);
    QVERIFY(!widget("Command5")->isEnabled());
}

void TestForm10::settingsPageLinks()
{
    Form10 window;
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

void TestForm10::toolTipsOff()
{
    Form10 window;
    window.setToolTipsOff(1);
    window.handleFirstActivation();
    const char* tipped[] = {"Command1",  "Command2", "Command3", "Command4",  "Command5",
                            "Command7",  "Text1",    "Text8",    "Command12", "Command13",
                            "Command14", "Text7",    "Label17",  "Command15", "Text10"};
    for (const char* name : tipped)
        QVERIFY2(window.findChild<QWidget*>(QString::fromLatin1(name))->toolTip().isEmpty(), name);

    window.setToolTipsOff(0);
    window.setRecheckIntervalMinutes(7);
    window.findChild<QTimer*>(QStringLiteral("Timer1"))->start();
    window.ApplyToolTips();
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Command12"))->toolTip(),
             QStringLiteral("Restore The Original, Default Settings For This Page"));
    QCOMPARE(window.findChild<QWidget*>(QStringLiteral("Text10"))->toolTip(),
             QStringLiteral("On - Minutes Until Next Timed Re-Check For Mail - Interval Set = 7 "
                            "(dbl-click on/off)"));
    QCOMPARE(Form10::ToolTipTexts().size(), 13);
    QCOMPARE(Form10::ToolTipTexts().at(5),
             QStringLiteral("Off- Timed Re-Check For Mail (dbl-click on/off)"));
}

void TestForm10::logBoxShowHideAndSplit()
{
    Form10 window;
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
    QCOMPARE(window.logSplit(), std::int16_t(1));
    QVERIFY(!log->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(log->isVisible());
    QCOMPARE(log->geometry(), right);

    // Right-click while shown: placed again at once, still shown.
    QTest::mousePress(button, Qt::RightButton);
    QTest::mouseRelease(button, Qt::RightButton);
    QCOMPARE(window.logSplit(), std::int16_t(0));
    QVERIFY(log->isVisible());
    QCOMPARE(log->geometry(), full);

    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(!log->isVisible());
}

void TestForm10::logAppendAndReplace()
{
    Form10 window;
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

void TestForm10::statusBarRightClickClears()
{
    Form10 window;
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

void TestForm10::resizeRules_data()
{
    // Client sizes asked for; the outer size may not go below 5760 x 5505
    // twips, that is 384 x 367 pixels.
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<bool>("theme");

    QTest::newRow("design, theme") << QSize(600, 450) << true;
    QTest::newRow("odd sizes, no theme") << QSize(701, 513) << false;
    QTest::newRow("odd sizes, theme") << QSize(701, 513) << true;
    QTest::newRow("too small") << QSize(200, 150) << true;
    QTest::newRow("too narrow") << QSize(300, 500) << false;
    QTest::newRow("too low") << QSize(500, 300) << false;
}

void TestForm10::resizeRules()
{
    QFETCH(QSize, requested);
    QFETCH(bool, theme);

    Form10 window;
    window.setPageColour(theme ? 0x80000005 : 0x8000000F);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize frameExtra = window.frameGeometry().size() - window.size();
    window.resize(requested);
    const QSize expected = (requested + frameExtra).expandedTo(QSize(384, 367));
    QTRY_COMPARE(window.frameGeometry().size(), expected);

    const double sw = window.width() * 15.0;
    const double sh = window.height() * 15.0;
    const double e = theme ? 30 : 0;
    auto geometry = [&](const char* name) {
        return window.findChild<QWidget*>(QString::fromLatin1(name))->geometry();
    };
    QCOMPARE(geometry("TabStrip1"), QRect(px(45), px(45), px(sw - 105), px(sh - 810)));
    QCOMPARE(geometry("ListView1"),
             QRect(px(150), px(435), px(sw - (e + 315)), px(sh - (e + 1305))));
    const QRect frame(px(135), px(420), px(sw - (e + 300)), px(sh - (e + 1275)));
    QCOMPARE(geometry("Frame1"), frame);
    QCOMPARE(geometry("Frame3"), frame);
    const QPoint pageAt(px((frame.width() * 15.0 - 4965) / 2),
                        px((frame.height() * 15.0 - 3330) / 2));
    for (const char* page : {"Frame2", "Frame4", "Frame5"})
        QCOMPARE(geometry(page).topLeft(), pageAt);
    const QRect list2 = geometry("ListView2");
    QCOMPARE(list2.size(), QSize(px(frame.width() * 15.0 - 2025), px(frame.height() * 15.0 - 285)));
    for (const char* bottom :
         {"Text10", "Command1", "Command2", "Command5", "Command7", "Command8", "Command15"})
        QCOMPARE(geometry(bottom).y(), px(sh - 690));
    QCOMPARE(geometry("Command8").x(), px(3810));
    QCOMPARE(geometry("Picture7").topLeft(), QPoint(px(sw - 690), px(90)));
    QCOMPARE(geometry("StatusBar1").bottom(), window.height() - 1);

    // The last columns reach across the whole list.
    auto* list1 = window.findChild<QTreeView*>(QStringLiteral("ListView1"));
    QCOMPARE(list1->columnWidth(6), list1->width());
    auto* accounts = window.findChild<QTreeView*>(QStringLiteral("ListView2"));
    QCOMPARE(accounts->columnWidth(4), accounts->width());

    const TwipsRect placed = window.windowPlacement();
    QCOMPARE(placed.width, window.frameGeometry().width() * 15.0);
    QCOMPARE(placed.height, window.frameGeometry().height() * 15.0);
}

void TestForm10::firstRunPlacement_data()
{
    QTest::addColumn<bool>("haveWorkArea");
    QTest::addColumn<QRectF>("workArea");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("large work area")
        << true << QRectF(0, 0, 19200, 15600) << QRectF(4485, 5167.5, 10230, 5265);
    QTest::newRow("offset work area")
        << true << QRectF(300, 450, 12000, 9000) << QRectF(1185, 2317.5, 10230, 5265);
    QTest::newRow("small work area")
        << true << QRectF(0, 0, 9600, 4800) << QRectF(900, 600, 7800, 3600);
    QTest::newRow("no work area") << false << QRectF() << QRectF(900, 900, 6600, 5400);
}

void TestForm10::firstRunPlacement()
{
    QFETCH(bool, haveWorkArea);
    QFETCH(QRectF, workArea);
    QFETCH(QRectF, expected);

    std::optional<TwipsRect> area;
    if (haveWorkArea)
        area = TwipsRect{workArea.x(), workArea.y(), workArea.width(), workArea.height()};
    const TwipsRect placed = Form10::firstRunPlacement(area);
    QCOMPARE(QRectF(placed.left, placed.top, placed.width, placed.height), expected);
}

void TestForm10::storedPositionCheck_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("expectedLeft");
    QTest::addColumn<double>("expectedTop");

    // Screen 19200 x 14400 twips: positions beyond 16200 / 11400 are off it.
    QTest::newRow("inside") << 1500.0 << 900.0 << 1500.0 << 900.0;
    QTest::newRow("negative left") << -200.0 << 900.0 << 0.0 << 900.0;
    QTest::newRow("top too low") << 1500.0 << 11415.0 << 1500.0 << 0.0;
    QTest::newRow("edges kept") << 16200.0 << 11400.0 << 16200.0 << 11400.0;
    QTest::newRow("not a number") << std::nan("") << 900.0 << 0.0 << 900.0;
}

void TestForm10::storedPositionCheck()
{
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, expectedLeft);
    QFETCH(double, expectedTop);

    const TwipsRect checked = Form10::checkStoredPosition({left, top, 9000, 6000}, 19200, 14400);
    QCOMPARE(checked.left, expectedLeft);
    QCOMPARE(checked.top, expectedTop);
    QCOMPARE(checked.width, 9000.0);
}

void TestForm10::startupFontChoice_data()
{
    QTest::addColumn<QString>("storedName");
    QTest::addColumn<float>("storedSize");
    QTest::addColumn<int>("storedBold");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<float>("size");
    QTest::addColumn<int>("bold");

    const QStringList some{"Arial", "DejaVu Sans", "MS Sans Serif", "Verdana"};
    QTest::newRow("installed, small size")
        << "DejaVu Sans" << 1.5f << -1 << some << "DejaVu Sans" << 8.0f << -1;
    QTest::newRow("installed, large size")
        << "DejaVu Sans" << 14.0f << 0 << some << "DejaVu Sans" << 12.0f << 0;
    QTest::newRow("installed, trailing blanks")
        << "Verdana   " << 10.0f << 0 << some << "Verdana" << 10.0f << 0;
    QTest::newRow("missing: first fallback")
        << "Gone Font" << 20.0f << -1 << some << "MS Sans Serif" << 8.0f << 0;
    QTest::newRow("missing: later fallback")
        << "Gone Font" << 10.0f << -1 << QStringList{"Symbol", "Verdana"} << "Verdana" << 8.0f << 0;
    QTest::newRow("missing: system default")
        << "Gone Font" << 10.0f << -1 << QStringList{"Symbol", "Noto Sans"} << "Noto Sans UI"
        << 8.0f << 0;
    QTest::newRow("case differs") << "arial" << 10.0f << 0 << some << "MS Sans Serif" << 8.0f << 0;
    QTest::newRow("no fonts at all")
        << "Gone Font" << 30.0f << -1 << QStringList{} << "Gone Font" << 12.0f << -1;
}

void TestForm10::startupFontChoice()
{
    QFETCH(QString, storedName);
    QFETCH(float, storedSize);
    QFETCH(int, storedBold);
    QFETCH(QStringList, installed);
    QFETCH(QString, name);
    QFETCH(float, size);
    QFETCH(int, bold);

    const Form10::TextFont chosen =
        Form10::chooseStartupFont({storedName, storedSize, std::int16_t(storedBold)}, installed,
                                  QStringLiteral("Noto Sans UI"));
    QCOMPARE(chosen.name, name);
    QCOMPARE(chosen.size, size);
    QCOMPARE(int(chosen.bold), bold);
}

void TestForm10::fontDialogCapsAtTwelve_data()
{
    QTest::addColumn<double>("chosenSize");
    QTest::addColumn<double>("storedSize");

    QTest::newRow("14 becomes 12") << 14.0 << 12.0;
    QTest::newRow("12 stays") << 12.0 << 12.0;
    QTest::newRow("12.5 becomes 12") << 12.5 << 12.0;
    QTest::newRow("9 stays") << 9.0 << 9.0;
}

void TestForm10::fontDialogCapsAtTwelve()
{
    QFETCH(double, chosenSize);
    QFETCH(double, storedSize);

    Form10 window;
    int shown = 0;
    QFont offered;
    window.setFontDialogRunner([&](const QFont& initial, QWidget*) {
        ++shown;
        offered = initial;
        QFont chosen(QStringLiteral("DejaVu Sans"));
        chosen.setPointSizeF(chosenSize);
        chosen.setBold(true);
        return chosen;
    });
    window.setTextFont({QString(), 0, 0});
    // While loading, no dialog.
    window.ApplyTextFont();
    QCOMPARE(shown, 0);

    window.handleFirstActivation();
    window.findChild<QMenu*>(QStringLiteral("mnuP3Pop4"))
        ->findChild<QAction*>(QStringLiteral("mnuFonts"))
        ->trigger();
    QCOMPARE(shown, 1);
    // Empty name and size 0 are offered as Arial at 9 points.
    QCOMPARE(offered.family(), QStringLiteral("Arial"));
    QCOMPARE(offered.pointSizeF(), 9.0);
    QCOMPARE(double(window.textFont().size), storedSize);
    QCOMPARE(window.textFont().name, QStringLiteral("DejaVu Sans"));
    QCOMPARE(int(window.textFont().bold), -1);

    for (const char* name : {"ListView1", "ListView2", "ImageCombo1", "Text1", "Text10", "Text8"}) {
        const QFont font = window.findChild<QWidget*>(QString::fromLatin1(name))->font();
        QCOMPARE(font.pointSizeF(), storedSize);
        QVERIFY2(font.bold(), name);
    }
    // Buttons and check boxes keep their design fonts.
    QVERIFY(!window.findChild<QWidget*>(QStringLiteral("Command1"))->font().bold());
}

void TestForm10::pageColours_data()
{
    QTest::addColumn<uint>("pageColour");
    QTest::addColumn<int>("backgroundRole");
    QTest::addColumn<int>("textRole");

    QTest::newRow("theme") << 0x80000005u << int(QPalette::Base) << int(QPalette::Text);
    QTest::newRow("classic") << 0x8000000Fu << int(QPalette::Button) << int(QPalette::ButtonText);
}

void TestForm10::pageColours()
{
    QFETCH(uint, pageColour);
    QFETCH(int, backgroundRole);
    QFETCH(int, textRole);

    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Base, QColor(250, 250, 240));
    palette.setColor(QPalette::Text, QColor(10, 20, 30));
    palette.setColor(QPalette::Button, QColor(200, 190, 180));
    palette.setColor(QPalette::ButtonText, QColor(40, 50, 60));
    QApplication::setPalette(palette);

    Form10 window;
    window.setPageColour(pageColour);
    window.ApplyPageColours();
    const QColor background = palette.color(QPalette::ColorRole(backgroundRole));
    const QColor text = palette.color(QPalette::ColorRole(textRole));
    for (const char* name : {"Label8", "Check4", "Frame1", "Frame2", "Picture7"}) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
        QCOMPARE(widget->palette().color(widget->backgroundRole()), background);
        QVERIFY(widget->autoFillBackground());
    }
    for (const char* name : {"Label8", "Check4"}) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
        QCOMPARE(widget->palette().color(QPalette::WindowText), text);
        QCOMPARE(widget->palette().color(widget->foregroundRole()), text);
    }
    // Buttons are not recoloured.
    QVERIFY(!window.findChild<QWidget*>(QStringLiteral("Command1"))->autoFillBackground());
    QApplication::setPalette(QPalette());
}

void TestForm10::mailListPictures()
{
    Form10 window;
    MailListModel* model = window.mailListModel();
    MailItem seen;
    seen.image = MailItem::SeenImage;
    MailItem fresh;
    fresh.image = MailItem::NewImage;
    model->appendItems({seen, fresh});
    MailListView* view = window.mailListView();

    auto redPixels = [](const QPixmap& pixmap, int fromX) {
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = fromX; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.alpha() == 255 && c.red() > 150 && c.green() < 80 && c.blue() < 80;
            }
        return count;
    };

    // Without check boxes: 16 x 16 cards; the new one has a red bar two
    // pixels wide at its right edge, the seen one nothing there.
    QCOMPARE(view->rowPicture(0).size(), QSize(16, 16));
    QCOMPARE(redPixels(view->rowPicture(0), 14), 0);
    QCOMPARE(redPixels(view->rowPicture(1), 14), 24);
    QVERIFY(redPixels(view->rowPicture(0), 0) > 0); // the small red mark

    // With check boxes: 2 x 16, seen empty, new a 2 x 12 red bar.
    window.showMailCheckBoxes(true);
    QVERIFY(model->checkBoxesShown());
    QCOMPARE(view->rowPicture(0).size(), QSize(2, 16));
    const QImage empty = view->rowPicture(0).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 2; ++x)
            QCOMPARE(qAlpha(empty.pixel(x, y)), 0);
    QCOMPARE(redPixels(view->rowPicture(1), 0), 24);

    // The picture follows the model's image number.
    model->setImage(1, MailItem::SeenImage);
    QCOMPARE(redPixels(view->rowPicture(1), 0), 0);
    window.showMailCheckBoxes(false);
    QCOMPARE(view->rowPicture(1).size(), QSize(16, 16));
}

void TestForm10::columnWidths()
{
    Form10 window;
    auto* mail = window.findChild<QTreeView*>(QStringLiteral("ListView1"));
    auto* accounts = window.findChild<QTreeView*>(QStringLiteral("ListView2"));
    // Defaults at start: 1440, 1440, 2000, 3300, 2200, 1440 twips.
    const int mailDefaults[] = {96, 96, 133, 220, 147, 96};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(mail->columnWidth(c), mailDefaults[c]);
    for (int c = 0; c < 4; ++c)
        QCOMPARE(accounts->columnWidth(c), 96);

    // Below 0 takes the default; the rest cross at 15 twips per pixel.
    window.setMailColumnWidths({-1, 1500, 0, 3007, 2200, 1440});
    QCOMPARE(mail->columnWidth(0), 96);
    QCOMPARE(mail->columnWidth(1), 100);
    QCOMPARE(mail->columnWidth(2), 0);
    QCOMPARE(mail->columnWidth(3), 200);
    const Form10::MailWidths back = window.mailColumnWidths();
    QCOMPARE(back[0], 1440.0f);
    QCOMPARE(back[3], 3000.0f);
    window.setAccountColumnWidths({900, -30, 1440, 1440});
    const Form10::AccountWidths accountBack = window.accountColumnWidths();
    QCOMPARE(accountBack[0], 900.0f);
    QCOMPARE(accountBack[1], 1440.0f);

    // A model put in later gets the same widths.
    MailListModel other;
    window.setMailListModel(&other);
    QCOMPARE(mail->columnWidth(1), 100);
    window.setMailListModel(nullptr);
}

QTEST_MAIN(TestForm10)
#include "test_form10.moc"
