// What the window looks like and how it is used without a mouse: every
// caption fits its control at the design font and at the largest text font,
// one font per page, no label painting a patch of its own, Tab in reading
// order, mnemonics, names for screen readers, the About box's keys, and the
// progress bar of a check.
#include "support/servers_pop3_peer.h"
#include "test_check_window_rig.h"
#include "ui/about_box.h"
#include "ui/eliding_combo_box.h"
#include "ui/log_pane.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QtTest>

namespace {

// The widgets of the window itself (not of its pop-up menus).
template <class Widget> QList<Widget*> controlsOf(const MainWindow& window)
{
    return window.findChildren<Widget*>();
}

// The rectangle a label's text is painted in, inside the label.
QRect textRectOf(const QLabel* label)
{
    const QRect room = label->contentsRect();
    const QSize text(label->fontMetrics().horizontalAdvance(label->text()),
                     label->fontMetrics().height());
    return QStyle::alignedRect(label->layoutDirection(), label->alignment(), text, room);
}

// The settings pages, the account page and the window surface: each holds
// controls that sit side by side.
QList<QWidget*> pagesOf(const MainWindow& window)
{
    QList<QWidget*> pages;
    for (const char* name : {"Frame2", "Frame4", "Frame5", "Frame3"})
        pages.append(window.findChild<QWidget*>(QString::fromLatin1(name)));
    return pages;
}

void useLargestTextFont(MainWindow& window)
{
    // The largest size the program keeps; the dialog turns 14 into 12.
    TextFont large;
    large.name = QApplication::font().family();
    large.size = 12;
    window.setTextFont(large);
    window.applyTextFont();
}

} // namespace

class TestWindowFace : public QObject
{
    Q_OBJECT

private slots:
    void captionsFit_data();
    void captionsFit();
    void labelTextsLieUnderNoOtherControl_data();
    void labelTextsLieUnderNoOtherControl();
    void onePageOneFont();
    void controlsInFramesPaintNoPatch();
    void tabFollowsReadingOrder_data();
    void tabFollowsReadingOrder();
    void mnemonicsAreDistinct();
    void screenReaderNames();
    void aboutBoxClosesOnEscapeAndEnter_data();
    void aboutBoxClosesOnEscapeAndEnter();
    void progressBarFollowsTheCheck();
};

void TestWindowFace::captionsFit_data()
{
    QTest::addColumn<bool>("largeTextFont");
    QTest::newRow("design font") << false;
    QTest::newRow("text font 12 pt") << true;
}

void TestWindowFace::captionsFit()
{
    QFETCH(bool, largeTextFont);
    MainWindow window;
    if (largeTextFont)
        useLargestTextFont(window);

    for (QLabel* label : controlsOf<QLabel>(window)) {
        if (label->text().isEmpty())
            continue; // pictures
        const QString name = label->objectName();
        if (label->wordWrap()) {
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(name));
            continue;
        }
        QVERIFY2(label->contentsRect().contains(textRectOf(label)), qPrintable(name));
    }
    for (QCheckBox* box : controlsOf<QCheckBox>(window))
        QVERIFY2(box->sizeHint().width() <= box->width(), qPrintable(box->objectName()));
    for (QPushButton* button : controlsOf<QPushButton>(window)) {
        const int text = button->fontMetrics().horizontalAdvance(
            QString(button->text()).remove(QLatin1Char('&')));
        QVERIFY2(text <= button->width(), qPrintable(button->objectName()));
    }
    // The date style chooser's entry whole, or cut at a word's end with an
    // ellipsis, never mid-letter.
    auto* chooser = window.findChild<ElidingComboBox*>(QStringLiteral("ImageCombo1"));
    QVERIFY(chooser);
    const QString shown = chooser->displayedText();
    QVERIFY(chooser->fontMetrics().horizontalAdvance(shown) <= chooser->textRoom());
    QVERIFY(shown == chooser->currentText() ||
            (shown.endsWith(QChar(0x2026)) && chooser->currentText().startsWith(shown.chopped(1))));
    if (!largeTextFont)
        QCOMPARE(shown, chooser->currentText());
    // One line of text in its box, at whatever text font.
    for (QLineEdit* box : controlsOf<QLineEdit>(window)) {
        if (box->parentWidget()->objectName() == QLatin1String("Form3"))
            continue;
        QVERIFY2(box->fontMetrics().height() <= box->height(), qPrintable(box->objectName()));
    }
}

void TestWindowFace::labelTextsLieUnderNoOtherControl_data()
{
    captionsFit_data();
}

void TestWindowFace::labelTextsLieUnderNoOtherControl()
{
    // "(more settings)" once lay half under the "<" link beside it.
    QFETCH(bool, largeTextFont);
    MainWindow window;
    if (largeTextFont)
        useLargestTextFont(window);
    for (QWidget* page : pagesOf(window)) {
        const QList<QWidget*> siblings = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QLabel* label : page->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            const QRect text = textRectOf(label).translated(label->pos());
            for (QWidget* other : siblings) {
                if (other == label || other->isHidden())
                    continue;
                const QString pair =
                    label->objectName() + QStringLiteral(" under ") + other->objectName();
                QVERIFY2(!text.intersects(other->geometry()), qPrintable(pair));
            }
        }
    }
}

void TestWindowFace::onePageOneFont()
{
    // "Idle If Offline" once came out smaller than its neighbours.
    MainWindow window;
    for (QWidget* page : pagesOf(window)) {
        QList<QWidget*> captioned;
        for (QCheckBox* box : page->findChildren<QCheckBox*>())
            captioned.append(box);
        for (QLabel* label : page->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                captioned.append(label);
        }
        QVERIFY(!captioned.isEmpty());
        const QFont first = captioned.first()->font();
        for (QWidget* control : captioned) {
            const QString name = page->objectName() + QLatin1Char('/') + control->objectName();
            QCOMPARE(control->font().family(), first.family());
            QVERIFY2(control->font().pointSizeF() == first.pointSizeF(), qPrintable(name));
        }
    }
    // The design size where the captions allow it.
    QCOMPARE(window.findChild<QCheckBox*>(QStringLiteral("Check11"))->font().pointSizeF(), 8.0);
}

void TestWindowFace::controlsInFramesPaintNoPatch()
{
    for (std::uint32_t colour : {0x80000005u, 0x8000000Fu}) {
        MainWindow window;
        window.setPageColour(colour);
        window.applyPageColours();
        const QColor page =
            window.findChild<QWidget*>(QStringLiteral("Frame2"))->palette().color(QPalette::Window);
        QList<QWidget*> inFrames;
        for (QWidget* frame : pagesOf(window)) {
            for (QLabel* label : frame->findChildren<QLabel*>())
                inFrames.append(label);
            for (QCheckBox* box : frame->findChildren<QCheckBox*>())
                inFrames.append(box);
        }
        QVERIFY(inFrames.size() > 20);
        for (QWidget* control : inFrames) {
            QVERIFY2(!control->autoFillBackground() ||
                         control->palette().color(control->backgroundRole()) == page,
                     qPrintable(control->objectName()));
        }
    }
}

void TestWindowFace::tabFollowsReadingOrder_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("P. 1") << QStringLiteral("Frame2")
                          << QStringList{"Check1",    "Check2",    "Check5",   "Check10",
                                         "Command10", "Command11", "Text6",    "Check11",
                                         "Check8",    "Check4",    "Command14"};
    QTest::newRow("P. 2") << QStringLiteral("Frame4")
                          << QStringList{"Check7",   "ImageCombo1", "Text7",  "Command6",
                                         "Command9", "Text9",       "Check9", "Command13"};
    QTest::newRow("P. 3") << QStringLiteral("Frame5")
                          << QStringList{"Check3", "Check6", "Text8", "Command12"};
    QTest::newRow("accounts") << QStringLiteral("Frame3")
                              << QStringList{"Text11",   "Text2",    "Text3",
                                             "Text4",    "Text5",    "signInButton",
                                             "Command3", "Command4", "ListView2"};
}

void TestWindowFace::tabFollowsReadingOrder()
{
    QFETCH(QString, page);
    QFETCH(QStringList, order);
    MainWindow window;
    auto* container = window.findChild<QWidget*>(page);
    auto* current = container->findChild<QWidget*>(order.first());
    for (qsizetype i = 1; i < order.size(); ++i) {
        // The next control of this page that Tab reaches.
        QWidget* next = current->nextInFocusChain();
        while (next != current &&
               !(container->isAncestorOf(next) && (next->focusPolicy() & Qt::TabFocus) &&
                 !next->objectName().isEmpty()))
            next = next->nextInFocusChain();
        QCOMPARE(next->objectName(), order.at(i));
        current = next;
    }
}

void TestWindowFace::mnemonicsAreDistinct()
{
    // Buttons shown together answer to different Alt keys; the visible
    // captions stay as they are apart from the underline.
    MainWindow window;
    const QList<QStringList> shownTogether{
        {"Command1", "Command2", "Command5", "Command8", "Command15", "Command14"},
        {"Command1", "Command7", "Command5", "Command8", "Command15", "Command13"},
        {"Command1", "Command2", "Command5", "Command8", "Command15", "Command12"},
        {"Command1", "Command2", "Command5", "Command8", "Command15", "Command3", "Command4",
         "signInButton"},
    };
    for (const QStringList& group : shownTogether) {
        QList<QKeySequence> keys;
        for (const QString& name : group) {
            auto* button = window.findChild<QPushButton*>(name);
            const QKeySequence key = QKeySequence::mnemonic(button->text());
            QVERIFY2(!key.isEmpty(), qPrintable(name));
            QVERIFY2(!keys.contains(key), qPrintable(name));
            keys.append(key);
        }
    }
}

void TestWindowFace::screenReaderNames()
{
    MainWindow window;
    const QList<std::pair<const char*, const char*>> expected{
        {"Command1", "Check Mail"},
        {"Command2", "Seen"},
        {"Command7", "Cancel"},
        {"Command5", "Delete Mail"},
        {"Command8", "Menu"},
        {"Command15", "Log"},
        {"ListView1", "Mail"},
        {"ListView2", "Usernames"},
        {"Text1", "Log"},
        {"Text6", "How Often To Re-Check For Mail (Minutes)"},
        {"Text7", "Quorvamel Password"},
        {"Text8", "APOP Shared Secret"},
        {"Text9", "Server Connection Time-Out (Seconds)"},
        {"Text10", "Timed Re-Check"},
        {"Text11", "Display Name"},
        {"Text2", "Username"},
        {"Text3", "Password"},
        {"Text4", "Server Name (pop3)"},
        {"Text5", "Port No."},
        {"ImageCombo1", "Date-Time"},
        {"Label8", "Next Page"},
        {"Label10", "Previous Page"},
        {"Command10", "Decrease"},
        {"Command11", "Increase"},
    };
    for (const auto& [name, accessible] : expected) {
        auto* control = window.findChild<QWidget*>(QString::fromLatin1(name));
        QVERIFY2(control, name);
        QCOMPARE(control->accessibleName(), QString::fromLatin1(accessible));
    }
}

void TestWindowFace::aboutBoxClosesOnEscapeAndEnter_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Escape") << int(Qt::Key_Escape);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestWindowFace::aboutBoxClosesOnEscapeAndEnter()
{
    QFETCH(int, key);
    QWidget owner;
    AboutBox about(&owner);
    about.show();
    QPointer<AboutDialog> dialog = about.dialog();
    QVERIFY(dialog && dialog->isVisible());
    QTest::keyClick(dialog, Qt::Key_A); // other keys leave it open
    QVERIFY(dialog && dialog->isVisible());
    QTest::keyClick(dialog, Qt::Key(key));
    QTRY_VERIFY(!dialog || !dialog->isVisible());
}

void TestWindowFace::progressBarFollowsTheCheck()
{
    Pop3Script script;
    script.send(Pop3Reply::greeting())
        .expect("USER ann")
        .send(Pop3Reply::ok())
        .expect("PASS pw")
        .send(Pop3Reply::ok())
        .expect("STAT")
        .send(Pop3Reply::stat(2));
    for (int i = 1; i <= 2; ++i) {
        script.expect(QStringLiteral("TOP %1 2").arg(i))
            .send(Pop3Reply::top(
                Pop3Reply::headers("bob@x.org", "Hello", "Tue, 4 Jun 2024 08:00:00 +0000")));
    }
    script.expect("QUIT").send(Pop3Reply::ok()).expectClientClose();
    ScriptedPop3Peer peer;
    peer.addScript(script);
    QVERIFY(peer.listen());
    CheckWindowRig rig;
    rig.addAccount("ann", "pw", peer.port());
    QProgressBar* bar = rig.window.logPane().progressBar();
    QVERIFY(bar->isHidden());

    // What the bar shows each time the run reports progress.
    QStringList seen;
    connect(&rig.runs(), &RunCoordinator::checkProgress, this,
            [&] { seen.append(bar->isHidden() ? QStringLiteral("hidden") : bar->text()); });
    QVERIFY(rig.clickCheckMail());
    QVERIFY_PEER_DONE(peer, 5000);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.first(), QStringLiteral("Account 1 of 1: 1 of 2"));
    QCOMPARE(seen.last(), QStringLiteral("Account 1 of 1: 2 of 2"));
    QVERIFY(bar->isHidden());
    // The status line keeps the run's own text.
    QVERIFY(rig.window.statusText().endsWith(
        QStringLiteral("..Check Complete: 2 New Mail Items -Total Items: 2")));
}

QTEST_MAIN(TestWindowFace)
#include "test_window_face.moc"
