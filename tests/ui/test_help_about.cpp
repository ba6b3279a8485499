// The help page's rules (companion browser, file URL, a program folder at
// the root) and the About box.
#include "ui/about_box.h"
#include "ui/help_opener.h"
#include "ui/help_opener_menu.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Records what would be opened; the browser start can be made to fail.
class RecordingLauncher : public HelpLauncher
{
public:
    bool browserStarts = true;
    QStringList started; // program, then its arguments
    QList<QUrl> urls;

    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started << program << arguments;
        return browserStarts;
    }
    bool openUrl(const QUrl& url) override
    {
        urls << url;
        return true;
    }
};

void makeFile(const QString& path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QList<AboutDialog*> aboutBoxes()
{
    QList<AboutDialog*> boxes;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (auto* box = qobject_cast<AboutDialog*>(widget))
            boxes << box;
    }
    return boxes;
}

QAction* menuItem(MainWindow& form, const char* name)
{
    auto* menu = form.findChild<QMenu*>(QStringLiteral("mnuP3Pop4"));
    return menu ? menu->findChild<QAction*>(QString::fromLatin1(name)) : nullptr;
}

} // namespace

class TestHelpAbout : public QObject
{
    Q_OBJECT

private slots:
    void helpTarget_data();
    void helpTarget();
    void folderAtTheRoot_data();
    void folderAtTheRoot();
    void browserThatWillNotStartFallsBackToTheUrl();
    void helpMenuOpensThePageBesideTheProgram();
    void versionText_data();
    void versionText();
    void aboutBoxContent();
    void aboutShownOnce();
};

void TestHelpAbout::helpTarget_data()
{
    QTest::addColumn<QString>("programFolder"); // below a temporary folder
    QTest::addColumn<QString>("browserMade");   // file made there, "" for none
    QTest::addColumn<QString>("folderMade");    // folder made there, "" for none
    QTest::addColumn<bool>("browserUsed");

    QTest::newRow("browser beside the parent folder") << "Tools/Mail"
                                                      << "Tools/Tamrivoskelder2/Tamrivoskelder2"
                                                      << "" << true;
    QTest::newRow("trailing separator on the program folder")
        << "Tools/Mail/"
        << "Tools/Tamrivoskelder2/Tamrivoskelder2"
        << "" << true;
    QTest::newRow("blanks and capitals, no browser") << "Program Files/Mail Check"
                                                     << ""
                                                     << "" << false;
    QTest::newRow("browser name is a folder") << "Tools/Mail"
                                              << ""
                                              << "Tools/Tamrivoskelder2/Tamrivoskelder2" << false;
    QTest::newRow("browser inside the program folder does not count")
        << "Tools/Mail"
        << "Tools/Mail/Tamrivoskelder2/Tamrivoskelder2"
        << "" << false;
    QTest::newRow("browser name with another case does not count")
        << "Tools/Mail"
        << "Tools/tamrivoskelder2/Tamrivoskelder2"
        << "" << false;
}

void TestHelpAbout::helpTarget()
{
    QFETCH(QString, programFolder);
    QFETCH(QString, browserMade);
    QFETCH(QString, folderMade);
    QFETCH(bool, browserUsed);

    QTemporaryDir base;
    const QString root = base.path() + '/';
    QVERIFY(QDir().mkpath(root + programFolder));
    if (!browserMade.isEmpty())
        makeFile(root + browserMade);
    if (!folderMade.isEmpty())
        QVERIFY(QDir().mkpath(root + folderMade));

    RecordingLauncher launcher;
    HelpPage::openHelp(root + programFolder, launcher);

    const QString folder = HelpPage::normalisedProgramFolder(root + programFolder);
    const QString page = folder + QStringLiteral("/QuorvamelHelp.htm");
    if (browserUsed) {
        QCOMPARE(launcher.started, (QStringList{root + browserMade, page}));
        QVERIFY(launcher.urls.isEmpty());
        return;
    }
    QVERIFY(launcher.started.isEmpty());
    QCOMPARE(launcher.urls.size(), 1);
    const QUrl url = launcher.urls.first();
    // The real path, case and blanks kept, as a file URL.
    QCOMPARE(url.toLocalFile(), page);
    QVERIFY(url.toString(QUrl::FullyEncoded).startsWith(QStringLiteral("file:///")));
    QVERIFY(url.toString(QUrl::FullyEncoded)
                .endsWith(QString(programFolder)
                              .chopped(programFolder.endsWith('/') ? 1 : 0)
                              .replace(' ', QStringLiteral("%20")) +
                          QStringLiteral("/QuorvamelHelp.htm")));
}

void TestHelpAbout::folderAtTheRoot_data()
{
    QTest::addColumn<QString>("programFolder");
    QTest::newRow("root") << "/";
    QTest::newRow("root as found at start-up") << "";
    QTest::newRow("doubled separator") << "//";
}

void TestHelpAbout::folderAtTheRoot()
{
    QFETCH(QString, programFolder);

    const HelpTarget target = HelpPage::findHelpTarget(programFolder);
    QCOMPARE(target.helpFile, QStringLiteral("/QuorvamelHelp.htm"));
    QVERIFY(target.browser.isEmpty());
    QCOMPARE(target.url.toString(QUrl::FullyEncoded), QStringLiteral("file:///QuorvamelHelp.htm"));
}

void TestHelpAbout::browserThatWillNotStartFallsBackToTheUrl()
{
    QTemporaryDir base;
    QVERIFY(QDir().mkpath(base.filePath(QStringLiteral("Tools/Mail"))));
    makeFile(base.filePath(QStringLiteral("Tools/Tamrivoskelder2/Tamrivoskelder2")));
    RecordingLauncher launcher;
    launcher.browserStarts = false;

    HelpPage::openHelp(base.filePath(QStringLiteral("Tools/Mail")), launcher);

    QCOMPARE(launcher.started.size(), 2);
    QCOMPARE(launcher.urls,
             QList<QUrl>{QUrl::fromLocalFile(base.filePath("Tools/Mail/QuorvamelHelp.htm"))});
}

void TestHelpAbout::helpMenuOpensThePageBesideTheProgram()
{
    QTemporaryDir base;
    MainWindow form;
    AboutBox about(&form);
    RecordingLauncher launcher;
    connectHelpMenu(form, about, base.path(), launcher);

    menuItem(form, "mnuHelp")->trigger();

    QCOMPARE(launcher.urls, QList<QUrl>{QUrl::fromLocalFile(base.filePath("QuorvamelHelp.htm"))});
    QVERIFY(aboutBoxes().isEmpty());
}

void TestHelpAbout::versionText_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.0.1005") << 1 << 0 << 1005 << "Vs.1.0.1005";
    QTest::newRow("12.34.0") << 12 << 34 << 0 << "Vs.12.34.0";
}

void TestHelpAbout::versionText()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, text);
    QCOMPARE(AboutDialog::versionText(major, minor, revision), text);
}

void TestHelpAbout::aboutBoxContent()
{
    AboutDialog box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About"));
    QCOMPARE(box.size(), QSize(323, 204)); // 4845 x 3060 twips
    auto* label1 = box.findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(label1);
    QCOMPARE(label1->text(),
             QStringLiteral("With A Single Click, Check The POP3 Servers And List All Of The "
                            "eMail You Have For All Of Your Configured eMail Addresses."));
    QCOMPARE(label1->font().family(), QStringLiteral("Arial"));
    auto* label5 = box.findChild<QLabel*>(QStringLiteral("Label5"));
    QVERIFY(label5);
    QCOMPARE(label5->parent()->objectName(), QStringLiteral("Picture1"));
    const QString version = QCoreApplication::applicationVersion().isEmpty()
                                ? QStringLiteral(QUORVAMEL_VERSION)
                                : QCoreApplication::applicationVersion();
    QCOMPARE(label5->text(), QStringLiteral("Vs.") + version);
    for (const char* name : {"Image1", "Image2"}) {
        auto* image = box.findChild<QLabel*>(QString::fromLatin1(name));
        QVERIFY(image);
        QVERIFY(!image->pixmap().isNull());
    }
    QVERIFY(box.findChild<QWidget*>(QStringLiteral("Text2")));
}

void TestHelpAbout::aboutShownOnce()
{
    MainWindow form;
    AboutBox about(&form);
    RecordingLauncher launcher;
    connectHelpMenu(form, about, QString(), launcher);
    form.show();

    menuItem(form, "mnuAbout")->trigger();
    AboutDialog* first = about.dialog();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(form.isEnabled()); // not modal
    menuItem(form, "mnuAbout")->trigger();
    QCOMPARE(aboutBoxes(), QList<AboutDialog*>{first});

    // Closing it destroys it; the next "About" makes a new one.
    QPointer<AboutDialog> closed = first;
    first->close();
    QTRY_VERIFY(closed.isNull());
    QVERIFY(aboutBoxes().isEmpty());
    menuItem(form, "mnuAbout")->trigger();
    QVERIFY(about.dialog());
    QCOMPARE(aboutBoxes().size(), 1);

    about.unload();
    QVERIFY(aboutBoxes().isEmpty());
}

QTEST_MAIN(TestHelpAbout)
#include "test_help_about.moc"
