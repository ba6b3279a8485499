// The "Configure Usernames" page: add, delete, moves, rename in place and the
// port box, each read back from the users file.
#include "model/account_list_model.h"
#include "model/list_rows.h"
#include "runs/account_store.h"
#include "storage/scramble.h"
#include "support/common_files.h"
#include "support/common_scripted_prompter.h"
#include "support/storage_accounts.h"
#include "ui/account_editor.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

namespace {

const QString addFailed = QStringLiteral("An Error Occurred Adding Username Info To List");
const QString duplicate =
    QStringLiteral("Identical Username / Server Name / Port No. Already On List");

QStringList fileDisplayNames(const QString& path)
{
    QStringList names;
    for (const AccountRecord& r : fileRecords(path))
        names.append(r.displayName.trimmed());
    return names;
}

QStringList listDisplayNames(const AccountListModel& list)
{
    QStringList names;
    for (const AccountRow& r : list.rows())
        names.append(r.displayName);
    return names;
}

// One window, one list loaded from a users file in a temporary folder, the
// editor over them and a counted beep.
struct Page
{
    QTemporaryDir dir;
    QString path = dir.filePath(UsersFileName);
    MainWindow form;
    AccountListModel list;
    ScriptedPrompter prompter;
    std::unique_ptr<AccountEditor> editor;
    int beeps = 0;

    explicit Page(const QList<TestAccount>& accounts = {})
    {
        writeAccounts(path, accounts);
        loadAccountList(list, path);
        editor = std::make_unique<AccountEditor>(form, list, prompter);
        editor->setBeep([this] { ++beeps; });
    }

    template <class T> T* find(const char* name)
    {
        return form.findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* box(const char* name) { return find<QLineEdit>(name); }
    void fill(const QString& display, const QString& user, const QString& password,
              const QString& server, const QString& port)
    {
        box("Text11")->setText(display);
        box("Text2")->setText(user);
        box("Text3")->setText(password);
        box("Text4")->setText(server);
        box("Text5")->setText(port);
    }
    void clickAdd() { find<QPushButton>("Command3")->click(); }
    void trigger(const QString& action) { form.findChild<QAction*>(action)->trigger(); }
};

const QList<TestAccount> threeAccounts = {
    {"Alpha", "alice", "pwA", "pop.a.example", 110, 0},
    {"Beta", "bob", "pwB", "pop.b.example", 110, 1},
    {"Gamma", "carol", "pwC", "pop.c.example", 995, 0},
};

} // namespace

class TestAccountEditor : public QObject
{
    Q_OBJECT

private slots:
    void addValidation_data();
    void addValidation();
    void addNormalisesAndAppends();
    void addDuplicateRule_data();
    void addDuplicateRule();
    void addWithUnconvertiblePort();
    void addReusesFreedKeyNumber();
    void deleteAsks_data();
    void deleteAsks();
    void deleteLastRowRemovesFile();
    void nothingSelectedDoesNothing_data();
    void nothingSelectedDoesNothing();
    void moves_data();
    void moves();
    void movesNeedTwoRows();
    void renameSavesIntoItsRecord();
    void cancelledRenameSavesNothing();
    void portBox_data();
    void portBox();
    void portBoxTyped();
    void rightReleaseOpensMenu();
};

void TestAccountEditor::addValidation_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    QTest::newRow("no user") << ""
                             << "pw"
                             << "pop.x"
                             << "110"
                             << "No Username Was Entered In TextBox";
    QTest::newRow("password only spaces") << "u"
                                          << "   "
                                          << "pop.x"
                                          << "110"
                                          << "No Password Was Entered In TextBox";
    QTest::newRow("only server empty") << "u"
                                       << "pw"
                                       << ""
                                       << "110"
                                       << "No Server Name Was Entered In TextBox";
    QTest::newRow("user and port empty: the later wins") << ""
                                                         << "pw"
                                                         << "pop.x"
                                                         << ""
                                                         << "No Port No. Was Entered In TextBox";
    QTest::newRow("user and password empty") << " "
                                             << ""
                                             << "pop.x"
                                             << "110"
                                             << "No Password Was Entered In TextBox";
    QTest::newRow("all empty") << ""
                               << ""
                               << ""
                               << ""
                               << "No Port No. Was Entered In TextBox";
}

void TestAccountEditor::addValidation()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, server);
    QFETCH(QString, port);
    QFETCH(QString, message);
    Page page(threeAccounts);
    const QByteArray before = fileBytes(page.path);
    page.fill(QStringLiteral("Name"), user, password, server, port);
    page.clickAdd();
    QCOMPARE(page.prompter.texts(), QStringList{message});
    QCOMPARE(page.prompter.messageKinds(), QList<MessageKind>{MessageKind::Warning});
    QCOMPARE(page.prompter.shown().first().title, QStringLiteral("Quorvamel"));
    QCOMPARE(page.list.rowCount(), 3);
    QCOMPARE(fileBytes(page.path), before);
    // Nothing was normalised or emptied.
    QCOMPARE(page.box("Text11")->text(), QStringLiteral("Name"));
    QCOMPARE(page.box("Text2")->text(), user);
}

void TestAccountEditor::addNormalisesAndAppends()
{
    Page page(threeAccounts);
    const QByteArray before = fileBytes(page.path);
    page.fill(QStringLiteral("  Work Mail "), QStringLiteral(" Dave@Example.COM "),
              QStringLiteral(" PaSsWoRd "), QStringLiteral(" POP.Example.COM"),
              QStringLiteral("995"));
    page.clickAdd();
    QVERIFY2(page.prompter.shown().isEmpty(), qPrintable(page.prompter.texts().join('|')));

    QCOMPARE(page.list.rowCount(), 4);
    const AccountRow& row = page.list.rowAt(3);
    QCOMPARE(row.displayName, QStringLiteral("Work Mail"));
    QCOMPARE(row.userName, QStringLiteral("dave@example.com"));
    QCOMPARE(row.serverName, QStringLiteral("pop.example.com"));
    QCOMPARE(row.port, QStringLiteral("995"));
    QCOMPARE(row.key, (AccountKey{4, QStringLiteral("PaSsWoRd")}));
    QVERIFY(!row.checked);

    // One record appended; the three before it are untouched bytes.
    const QByteArray after = fileBytes(page.path);
    QCOMPARE(after.size(), 4 * AccountRecord::Size);
    QCOMPARE(after.left(3 * AccountRecord::Size), before);
    const AccountRecord added = fileRecords(page.path).at(3);
    QCOMPARE(added.displayName.trimmed(), QStringLiteral("Work Mail"));
    QCOMPARE(added.userName.trimmed(), QStringLiteral("dave@example.com"));
    QCOMPARE(unscramblePassword(added.scrambledPassword), QStringLiteral("PaSsWoRd"));
    QCOMPARE(added.serverName.trimmed(), QStringLiteral("pop.example.com"));
    QCOMPARE(added.port, 995);
    QCOMPARE(added.checked, qint16(0));

    QVERIFY(page.box("Text11")->text().isEmpty());
    QVERIFY(page.box("Text2")->text().isEmpty());
    QVERIFY(page.box("Text3")->text().isEmpty());
    QCOMPARE(page.box("Text4")->text(), QStringLiteral("pop.example.com"));
    QCOMPARE(page.box("Text5")->text(), QStringLiteral("995"));
}

void TestAccountEditor::addDuplicateRule_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("refused");
    // The list holds bob at pop.b.example, port 110.
    QTest::newRow("same three") << "bob"
                                << "pop.b.example"
                                << "110" << true;
    QTest::newRow("capitals fold to the same") << "BOB"
                                               << "POP.B.example"
                                               << "110" << true;
    QTest::newRow("same user, another port") << "bob"
                                             << "pop.b.example"
                                             << "995" << false;
    QTest::newRow("port typed 0110") << "bob"
                                     << "pop.b.example"
                                     << "0110" << false;
    QTest::newRow("same user, another server") << "bob"
                                               << "pop.a.example"
                                               << "110" << false;
    QTest::newRow("user of one row, server of another") << "alice"
                                                        << "pop.b.example"
                                                        << "110" << false;
}

void TestAccountEditor::addDuplicateRule()
{
    QFETCH(QString, user);
    QFETCH(QString, server);
    QFETCH(QString, port);
    QFETCH(bool, refused);
    Page page(threeAccounts);
    // Display name and password play no part.
    page.fill(QStringLiteral("Other"), user, QStringLiteral("different"), server, port);
    page.clickAdd();
    QCOMPARE(page.prompter.texts(), refused ? QStringList{duplicate} : QStringList{});
    QCOMPARE(page.list.rowCount(), refused ? 3 : 4);
    QCOMPARE(fileRecords(page.path).size(), refused ? 3 : 4);
    if (!refused)
        QCOMPARE(page.list.rowAt(3).port, port);
}

void TestAccountEditor::addWithUnconvertiblePort()
{
    Page page(threeAccounts);
    const QByteArray before = fileBytes(page.path);
    page.fill(QStringLiteral("X"), QStringLiteral("Eve"), QStringLiteral("pw"),
              QStringLiteral("Pop.E"), QStringLiteral("-"));
    QCOMPARE(page.box("Text5")->text(), QStringLiteral("-"));
    page.clickAdd();
    QCOMPARE(page.prompter.texts(), QStringList{addFailed});
    QCOMPARE(page.prompter.messageKinds(), QList<MessageKind>{MessageKind::Error});
    QCOMPARE(page.list.rowCount(), 3);
    QCOMPARE(fileBytes(page.path), before);
    // The boxes stay normalised and filled.
    QCOMPARE(page.box("Text2")->text(), QStringLiteral("eve"));
    QCOMPARE(page.box("Text4")->text(), QStringLiteral("pop.e"));
    QCOMPARE(page.box("Text11")->text(), QStringLiteral("X"));
}

void TestAccountEditor::addReusesFreedKeyNumber()
{
    Page page(threeAccounts);
    page.editor->selectRow(2);
    page.prompter.queueYesNo(true);
    page.trigger(QStringLiteral("mnuDelete"));
    page.fill(QString(), QStringLiteral("dan"), QStringLiteral("pw"), QStringLiteral("pop.d"),
              QStringLiteral("110"));
    page.clickAdd();
    QCOMPARE(page.list.rowAt(2).key, (AccountKey{2, QStringLiteral("pw")}));
    // An empty display name is allowed.
    QCOMPARE(page.list.rowAt(2).displayName, QString());
    QCOMPARE(fileDisplayNames(page.path), (QStringList{"Alpha", "Gamma", ""}));
}

void TestAccountEditor::deleteAsks_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("yes");
    QTest::newRow("button, yes") << "Command4" << true;
    QTest::newRow("button, no") << "Command4" << false;
    QTest::newRow("menu, yes") << "mnuDelete" << true;
    QTest::newRow("menu, no") << "mnuDelete" << false;
}

void TestAccountEditor::deleteAsks()
{
    QFETCH(QString, trigger);
    QFETCH(bool, yes);
    Page page(threeAccounts);
    const QByteArray before = fileBytes(page.path);
    // The checked row is deleted all the same; the other check boxes stay.
    page.editor->selectRow(2);
    page.prompter.queueYesNo(yes);
    if (trigger == QLatin1String("Command4"))
        page.find<QPushButton>("Command4")->click();
    else
        page.trigger(trigger);
    QCOMPARE(page.prompter.texts(), QStringList{"Confirm: Delete Username .. bob"});
    QCOMPARE(page.prompter.shown().first().kind, ScriptedPrompter::Shown::Question);
    if (!yes) {
        QCOMPARE(listDisplayNames(page.list), (QStringList{"Alpha", "Beta", "Gamma"}));
        QCOMPARE(fileBytes(page.path), before);
        return;
    }
    QCOMPARE(listDisplayNames(page.list), (QStringList{"Alpha", "Gamma"}));
    const QList<AccountRecord> records = fileRecords(page.path);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[1].userName.trimmed(), QStringLiteral("carol"));
    QCOMPARE(unscramblePassword(records[1].scrambledPassword), QStringLiteral("pwC"));
    QCOMPARE(records[1].port, 995);
}

void TestAccountEditor::deleteLastRowRemovesFile()
{
    Page page({threeAccounts.first()});
    page.editor->selectRow(1);
    page.prompter.queueYesNo(true);
    page.find<QPushButton>("Command4")->click();
    QCOMPARE(page.list.rowCount(), 0);
    QVERIFY(!QFile::exists(page.path));
    // With no rows left the button does nothing, not even ask.
    page.find<QPushButton>("Command4")->click();
    QCOMPARE(page.prompter.shown().size(), 1);
}

void TestAccountEditor::nothingSelectedDoesNothing_data()
{
    QTest::addColumn<QString>("action");
    for (const char* action : {"mnuDelete", "mnuMoveUp", "mnuMovedown", "mnuToTop", "mnuToBot"})
        QTest::newRow(action) << QString::fromLatin1(action);
}

void TestAccountEditor::nothingSelectedDoesNothing()
{
    QFETCH(QString, action);
    Page page(threeAccounts);
    const QByteArray before = fileBytes(page.path);
    page.form.accountListView()->clearSelection();
    QCOMPARE(page.editor->selectedRow(), 0);
    page.trigger(action);
    QVERIFY(page.prompter.shown().isEmpty());
    QCOMPARE(listDisplayNames(page.list), (QStringList{"Alpha", "Beta", "Gamma"}));
    QCOMPARE(fileBytes(page.path), before);
}

void TestAccountEditor::moves_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("order"); // empty: nothing moves
    QTest::addColumn<int>("selectedAfter");
    const QStringList none;
    QTest::newRow("up from 2") << "mnuMoveUp" << 2 << QStringList{"Beta", "Alpha", "Gamma"} << 1;
    QTest::newRow("up from 1") << "mnuMoveUp" << 1 << none << 1;
    QTest::newRow("down from 2") << "mnuMovedown" << 2 << QStringList{"Alpha", "Gamma", "Beta"}
                                 << 3;
    QTest::newRow("down from last") << "mnuMovedown" << 3 << none << 3;
    QTest::newRow("top from 3") << "mnuToTop" << 3 << QStringList{"Gamma", "Alpha", "Beta"} << 1;
    QTest::newRow("top from 1") << "mnuToTop" << 1 << none << 1;
    QTest::newRow("bottom from 1") << "mnuToBot" << 1 << QStringList{"Beta", "Gamma", "Alpha"} << 3;
    QTest::newRow("bottom from 2") << "mnuToBot" << 2 << QStringList{"Alpha", "Gamma", "Beta"} << 3;
    QTest::newRow("bottom from last") << "mnuToBot" << 3 << none << 3;
}

void TestAccountEditor::moves()
{
    QFETCH(QString, action);
    QFETCH(int, selected);
    QFETCH(QStringList, order);
    QFETCH(int, selectedAfter);
    Page page(threeAccounts); // Beta is the checked row
    const QByteArray before = fileBytes(page.path);
    page.editor->selectRow(selected);
    page.trigger(action);
    QVERIFY(page.prompter.shown().isEmpty());
    QCOMPARE(page.editor->selectedRow(), selectedAfter);
    if (order.isEmpty()) {
        QCOMPARE(listDisplayNames(page.list), (QStringList{"Alpha", "Beta", "Gamma"}));
        // Not even rewritten: a save scrambles the passwords afresh.
        QCOMPARE(fileBytes(page.path), before);
        return;
    }
    QCOMPARE(listDisplayNames(page.list), order);
    QCOMPARE(fileDisplayNames(page.path), order);
    // Each record keeps its own user, password, port and check box; the key
    // travels with the row.
    const QList<AccountRecord> records = fileRecords(page.path);
    for (int i = 0; i < order.size(); ++i) {
        const int original = QStringList{"Alpha", "Beta", "Gamma"}.indexOf(order[i]);
        const TestAccount& account = threeAccounts[original];
        QCOMPARE(records[i].userName.trimmed(), account.user);
        QCOMPARE(unscramblePassword(records[i].scrambledPassword), account.password);
        QCOMPARE(records[i].port, account.port);
        QCOMPARE(records[i].checked, account.checked);
        QCOMPARE(isRowChecked(page.list, i + 1), std::optional<bool>(account.checked == 1));
        QCOMPARE(page.list.rowAt(i).key, (AccountKey{original + 1, account.password}));
    }
}

void TestAccountEditor::movesNeedTwoRows()
{
    Page page({threeAccounts[1]});
    const QByteArray before = fileBytes(page.path);
    page.editor->selectRow(1);
    for (const char* action : {"mnuMoveUp", "mnuMovedown", "mnuToTop", "mnuToBot"})
        page.trigger(QString::fromLatin1(action));
    QCOMPARE(fileBytes(page.path), before);
    QCOMPARE(page.editor->selectedRow(), 1);
}

void TestAccountEditor::renameSavesIntoItsRecord()
{
    QList<TestAccount> four = threeAccounts;
    four.append({"Delta", "dave", "pwD", "pop.d.example", 110, 0});
    Page page(four);
    page.form.show();
    page.form.selectTab(MainWindow::AccountsTab);
    QTreeView* view = page.form.accountListView();
    const QModelIndex index = page.list.index(3, 0);
    view->setCurrentIndex(index);
    view->edit(index);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor && editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("A name longer than the record keeps: ") +
                                 QString(40, QLatin1Char('x')));
    QTest::keyClick(editor, Qt::Key_Return);
    // The view commits an edit on its next turn of the event loop.
    QTRY_VERIFY(page.list.rowAt(3).displayName.startsWith(QStringLiteral("A name")));
    QVERIFY(page.prompter.shown().isEmpty());
    const QList<AccountRecord> records = fileRecords(page.path);
    QCOMPARE(records.size(), 4);
    QCOMPARE(records[3].displayName,
             (QStringLiteral("A name longer than the record keeps: ") + QString(40, 'x')).left(64));
    QCOMPARE(unscramblePassword(records[3].scrambledPassword), QStringLiteral("pwD"));
    QCOMPARE(fileDisplayNames(page.path).mid(0, 3), (QStringList{"Alpha", "Beta", "Gamma"}));
}

void TestAccountEditor::cancelledRenameSavesNothing()
{
    Page page(threeAccounts);
    page.form.show();
    page.form.selectTab(MainWindow::AccountsTab);
    const QByteArray before = fileBytes(page.path);
    QTreeView* view = page.form.accountListView();
    const QModelIndex index = page.list.index(1, 0);
    view->setCurrentIndex(index);
    view->edit(index);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor && editor->isVisible());
    QTest::keyClicks(editor, QStringLiteral("Abandoned"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY(!editor->isVisible());
    QTest::qWait(50);
    QCOMPARE(page.list.rowAt(1).displayName, QStringLiteral("Beta"));
    QCOMPARE(fileBytes(page.path), before);
}

void TestAccountEditor::portBox_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("beeps");
    QTest::newRow("digits") << "8080"
                            << "8080" << 0;
    QTest::newRow("empty") << ""
                           << "" << 0;
    QTest::newRow("1a") << "1a"
                        << "110" << 1;
    QTest::newRow("letter first") << "a1"
                                  << "110" << 1;
    QTest::newRow("lone minus") << "-"
                                << "-" << 0;
    QTest::newRow("minus ends the check") << "-x9"
                                          << "-x9" << 0;
    QTest::newRow("minus later") << "12-"
                                 << "110" << 1;
    QTest::newRow("space") << " 110"
                           << "110" << 1;
    QTest::newRow("dot") << "1.5"
                         << "110" << 1;
    QTest::newRow("largest 32-bit") << "2147483647"
                                    << "2147483647" << 0;
    QTest::newRow("beyond 32 bits") << "2147483648"
                                    << "110" << 1;
    QTest::newRow("leading zeros") << "000000000000110"
                                   << "000000000000110" << 0;
    QTest::newRow("non-Latin digit") << QString::fromUtf8("1\u0663") << "110" << 1;
}

void TestAccountEditor::portBox()
{
    QFETCH(QString, text);
    QFETCH(QString, after);
    QFETCH(int, beeps);
    Page page;
    page.box("Text5")->setText(QStringLiteral("995"));
    page.box("Text5")->setText(text);
    QCOMPARE(page.box("Text5")->text(), after);
    QCOMPARE(page.beeps, beeps);
}

void TestAccountEditor::portBoxTyped()
{
    Page page;
    QLineEdit* text5 = page.box("Text5");
    QCOMPARE(text5->text(), QStringLiteral("110"));
    text5->clear();
    QTest::keyClicks(text5, QStringLiteral("1a"));
    QCOMPARE(text5->text(), QStringLiteral("110"));
    QCOMPARE(page.beeps, 1);
    text5->clear();
    QTest::keyClicks(text5, QStringLiteral("-"));
    QCOMPARE(text5->text(), QStringLiteral("-"));
    QCOMPARE(page.beeps, 1);
}

void TestAccountEditor::rightReleaseOpensMenu()
{
    Page page(threeAccounts);
    page.form.show();
    page.form.selectTab(MainWindow::AccountsTab);
    auto* menu = page.find<QMenu>("mnuP3Pop2");
    QVERIFY(!menu->isVisible());
    QWidget* viewport = page.form.accountListView()->viewport();
    QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(5, 5));
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
    // The left button opens nothing.
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!menu->isVisible());
}

QTEST_MAIN(TestAccountEditor)
#include "test_account_editor.moc"
