// The main window's resize rules, placement, fonts, colours and pictures.
#include "model/mail_list_model.h"
#include "storage/run_settings.h"
#include "ui/mail_list_view.h"
#include "ui/mainwindow.h"

#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>
#include <cmath>
#include <limits>

namespace {

// Twips to pixels at 15 twips per pixel, halves to even.
int px(double twips)
{
    return int(std::nearbyint(twips / 15));
}

} // namespace

class TestMainWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void resizeRules_data();
    void resizeRules();
    void minimisedWindowKeepsItsLayout();
    void firstRunPlacement_data();
    void firstRunPlacement();
    void storedPositionCheck_data();
    void storedPositionCheck();
    void twipsConversionIsClamped_data();
    void twipsConversionIsClamped();
    void outOfRangePlacement_data();
    void outOfRangePlacement();
    void firstShowWithoutActivation();
    void fontDialogCapsAtTwelve_data();
    void fontDialogCapsAtTwelve();
    void pageColours_data();
    void pageColours();
    void mailListPictures();
    void columnWidths();
};

void TestMainWindowLayout::resizeRules_data()
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

void TestMainWindowLayout::resizeRules()
{
    QFETCH(QSize, requested);
    QFETCH(bool, theme);

    MainWindow window;
    window.setPageColour(theme ? 0x80000005 : 0x8000000F);
    window.setLogSplit(theme);
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
    // The log box lies over the settings frame's area: its right half when
    // split, all of it otherwise.
    const QRect log = theme ? QRect(px(135 + frame.width() * 15.0 / 2), px(420 + 15),
                                    px(frame.width() * 15.0 / 2), px(frame.height() * 15.0 - 30))
                            : QRect(px(135), px(420 + 15), px(frame.width() * 15.0),
                                    px(frame.height() * 15.0 - 30));
    QCOMPARE(geometry("Text1"), log);

    // The last columns reach across the whole list.
    auto* list1 = window.findChild<QTreeView*>(QStringLiteral("ListView1"));
    QCOMPARE(list1->columnWidth(6), list1->width());
    auto* accounts = window.findChild<QTreeView*>(QStringLiteral("ListView2"));
    QCOMPARE(accounts->columnWidth(4), accounts->width());

    const TwipsRect placed = window.windowPlacement();
    QCOMPARE(placed.width, window.frameGeometry().width() * 15.0);
    QCOMPARE(placed.height, window.frameGeometry().height() * 15.0);
}

void TestMainWindowLayout::minimisedWindowKeepsItsLayout()
{
    MainWindow window;
    window.resize(600, 450);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* list = window.findChild<QWidget*>(QStringLiteral("ListView1"));
    const QRect before = list->geometry();
    const TwipsRect placed = window.windowPlacement();
    window.setWindowState(Qt::WindowMinimized);
    QVERIFY(window.isMinimized());
    window.resize(700, 500);
    QCoreApplication::processEvents();
    QCOMPARE(list->geometry(), before);
    QCOMPARE(window.windowPlacement().width, placed.width);
}

void TestMainWindowLayout::firstRunPlacement_data()
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

void TestMainWindowLayout::firstRunPlacement()
{
    QFETCH(bool, haveWorkArea);
    QFETCH(QRectF, workArea);
    QFETCH(QRectF, expected);

    std::optional<TwipsRect> area;
    if (haveWorkArea)
        area = TwipsRect{workArea.x(), workArea.y(), workArea.width(), workArea.height()};
    const TwipsRect placed = MainWindow::firstRunPlacement(area);
    QCOMPARE(QRectF(placed.left, placed.top, placed.width, placed.height), expected);
}

void TestMainWindowLayout::storedPositionCheck_data()
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

void TestMainWindowLayout::storedPositionCheck()
{
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, expectedLeft);
    QFETCH(double, expectedTop);

    // The settings own the rule; the window is placed where they say.
    SettingsRecord record;
    record.windowLeft = float(left);
    record.windowTop = float(top);
    record.windowWidth = 9000;
    record.windowHeight = 6000;
    const RunSettings checked =
        RunSettings::fromRecord(record, ScreenFacts{19200, 14400}, FontFacts{});
    QCOMPARE(double(checked.windowLeft), expectedLeft);
    QCOMPARE(double(checked.windowTop), expectedTop);
    QCOMPARE(double(checked.windowWidth), 9000.0);
}

void TestMainWindowLayout::twipsConversionIsClamped_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");

    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("one pixel") << 15.0 << 1;
    QTest::newRow("half rounds to even, up") << 22.5 << 2;
    QTest::newRow("half rounds to even, down") << 37.5 << 2;
    QTest::newRow("negative") << -30.0 << -2;
    QTest::newRow("largest") << 32767.0 * 15 << 32767;
    QTest::newRow("just beyond") << 32768.0 * 15 << 32767;
    QTest::newRow("beyond int") << 1e30 << 32767;
    QTest::newRow("largest float") << double(std::numeric_limits<float>::max()) << 32767;
    QTest::newRow("negative beyond int") << -1e30 << -32767;
    QTest::newRow("infinity") << inf << 32767;
    QTest::newRow("minus infinity") << -inf << -32767;
    QTest::newRow("not a number") << std::nan("") << 0;
}

void TestMainWindowLayout::twipsConversionIsClamped()
{
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips), pixels);
}

void TestMainWindowLayout::outOfRangePlacement_data()
{
    QTest::addColumn<QRectF>("stored");  // twips as read from the file
    QTest::addColumn<QRect>("expected"); // -1: the desktop's size; -2: the minimum

    const double nan = std::nan("");
    QTest::newRow("in range") << QRectF(1500, 1200, 9000, 6000) << QRect(100, 80, 600, 400);
    QTest::newRow("huge width") << QRectF(1500, 1200, 1e30, 6000) << QRect(100, 80, -1, 400);
    QTest::newRow("huge height") << QRectF(1500, 1200, 9000, 3e38) << QRect(100, 80, 600, -1);
    QTest::newRow("negative size") << QRectF(1500, 1200, -9000, -1e30) << QRect(100, 80, -2, -2);
    QTest::newRow("not a number") << QRectF(nan, nan, nan, nan) << QRect(0, 0, -2, -2);
    QTest::newRow("huge left and top")
        << QRectF(1e30, -1e30, 9000, 6000) << QRect(32767, -32767, 600, 400);
}

void TestMainWindowLayout::outOfRangePlacement()
{
    QFETCH(QRectF, stored);
    QFETCH(QRect, expected);

    // The window converts what it is given; no value may overflow on the way.
    MainWindow window;
    window.placeWindow({stored.x(), stored.y(), stored.width(), stored.height()});
    const QSize desktop = QGuiApplication::primaryScreen()->availableVirtualSize();
    const QSize minimum(px(MainWindow::MinimumOuterWidth), px(MainWindow::MinimumOuterHeight));
    const auto size = [](int expectedSize, int desktopSize, int minimumSize) {
        return expectedSize == -1 ? desktopSize : expectedSize == -2 ? minimumSize : expectedSize;
    };
    window.applyLayout();
    const QRect outer = window.frameGeometry();
    QCOMPARE(outer.topLeft(), expected.topLeft());
    QCOMPARE(outer.width(), size(expected.width(), desktop.width(), minimum.width()));
    QCOMPARE(outer.height(), size(expected.height(), desktop.height(), minimum.height()));
}

void TestMainWindowLayout::firstShowWithoutActivation()
{
    // A window manager that never gives the window the focus: no activation
    // reaches it.
    struct NoActivation : QObject
    {
        bool eventFilter(QObject*, QEvent* event) override
        {
            return event->type() == QEvent::ActivationChange ||
                   event->type() == QEvent::WindowActivate;
        }
    } noActivation;
    MainWindow window;
    window.installEventFilter(&noActivation);
    QSignalSpy firstActivated(&window, &MainWindow::firstActivated);
    window.setToolTipsOff(false);
    QVERIFY(window.checkMailButton()->toolTip().isEmpty());

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(firstActivated.count(), 1);
    QVERIFY(window.hasBecomeActive());
    QVERIFY(!window.checkMailButton()->toolTip().isEmpty());

    // Later shows and activations do not run the steps again.
    window.hide();
    window.show();
    window.activateWindow();
    QTest::qWait(50);
    QCOMPARE(firstActivated.count(), 1);
}

void TestMainWindowLayout::fontDialogCapsAtTwelve_data()
{
    QTest::addColumn<double>("chosenSize");
    QTest::addColumn<double>("storedSize");

    QTest::newRow("14 becomes 12") << 14.0 << 12.0;
    QTest::newRow("12 stays") << 12.0 << 12.0;
    QTest::newRow("12.5 becomes 12") << 12.5 << 12.0;
    QTest::newRow("9 stays") << 9.0 << 9.0;
}

void TestMainWindowLayout::fontDialogCapsAtTwelve()
{
    QFETCH(double, chosenSize);
    QFETCH(double, storedSize);

    MainWindow window;
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
    window.setTextFont({QString(), 0, false});
    // While loading, no dialog.
    window.applyTextFont();
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
    QCOMPARE(window.textFont().bold, true);

    for (const char* name : {"ListView1", "ListView2", "ImageCombo1", "Text1", "Text10", "Text8"}) {
        const QFont font = window.findChild<QWidget*>(QString::fromLatin1(name))->font();
        QCOMPARE(font.pointSizeF(), storedSize);
        QVERIFY2(font.bold(), name);
    }
    // Buttons and check boxes keep their design fonts.
    QVERIFY(!window.findChild<QWidget*>(QStringLiteral("Command1"))->font().bold());
}

void TestMainWindowLayout::pageColours_data()
{
    QTest::addColumn<uint>("pageColour");
    QTest::addColumn<int>("backgroundRole");
    QTest::addColumn<int>("textRole");

    QTest::newRow("theme") << 0x80000005u << int(QPalette::Base) << int(QPalette::Text);
    QTest::newRow("classic") << 0x8000000Fu << int(QPalette::Button) << int(QPalette::ButtonText);
}

void TestMainWindowLayout::pageColours()
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

    MainWindow window;
    window.setPageColour(pageColour);
    window.applyPageColours();
    const QColor background = palette.color(QPalette::ColorRole(backgroundRole));
    const QColor text = palette.color(QPalette::ColorRole(textRole));
    for (const char* name : {"Label8", "Check4", "Frame1", "Frame2", "Picture7"}) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
        QCOMPARE(widget->palette().color(widget->backgroundRole()), background);
    }
    // Frames and the alarm box fill themselves; the controls inside a frame
    // show the frame through, so none of them stands out as a patch.
    for (const char* name : {"Frame1", "Frame2", "Picture7", "Label17"})
        QVERIFY2(window.findChild<QWidget*>(QString::fromLatin1(name))->autoFillBackground(), name);
    for (const char* name : {"Label8", "Check4", "Page1Heading", "Page1DefaultsBox"})
        QVERIFY2(!window.findChild<QWidget*>(QString::fromLatin1(name))->autoFillBackground(),
                 name);
    for (const char* name : {"Label8", "Check4"}) {
        auto* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
        QCOMPARE(widget->palette().color(QPalette::WindowText), text);
        QCOMPARE(widget->palette().color(widget->foregroundRole()), text);
    }
    // Buttons are not recoloured.
    QVERIFY(!window.findChild<QWidget*>(QStringLiteral("Command1"))->autoFillBackground());
    QApplication::setPalette(QPalette());
}

void TestMainWindowLayout::mailListPictures()
{
    MainWindow window;
    MailListModel* model = window.mailListModel();
    MailItem seen;
    seen.image = MailImage::Seen;
    MailItem fresh;
    fresh.image = MailImage::New;
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
    model->setImage(1, MailImage::Seen);
    QCOMPARE(redPixels(view->rowPicture(1), 0), 0);
    window.showMailCheckBoxes(false);
    QCOMPARE(view->rowPicture(1).size(), QSize(16, 16));
}

void TestMainWindowLayout::columnWidths()
{
    MainWindow window;
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
    const MainWindow::MailWidths back = window.mailColumnWidths();
    QCOMPARE(back[0], 1440.0f);
    QCOMPARE(back[3], 3000.0f);
    window.setAccountColumnWidths({900, -30, 1440, 1440});
    const MainWindow::AccountWidths accountBack = window.accountColumnWidths();
    QCOMPARE(accountBack[0], 900.0f);
    QCOMPARE(accountBack[1], 1440.0f);

    // A model put in later gets the same widths.
    MailListModel other;
    window.setMailListModel(&other);
    QCOMPARE(mail->columnWidth(1), 100);
    window.setMailListModel(nullptr);
}

QTEST_MAIN(TestMainWindowLayout)
#include "test_mainwindow_layout.moc"
