// The window's real message and input boxes: the icon follows the kind of
// message (a question shows the question icon), and the input box masks
// what is typed when asked to.
#include "support/common_modal.h"
#include "ui/message_box_prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

class TestMessageBoxPrompter : public QObject
{
    Q_OBJECT

private slots:
    void iconFollowsTheKind_data()
    {
        QTest::addColumn<MessageKind>("kind");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("notice") << MessageKind::Notice << QMessageBox::Information;
        QTest::newRow("warning") << MessageKind::Warning << QMessageBox::Warning;
        QTest::newRow("error") << MessageKind::Error << QMessageBox::Critical;
    }

    void iconFollowsTheKind()
    {
        QFETCH(MessageKind, kind);
        QFETCH(QMessageBox::Icon, icon);
        MessageBoxPrompter prompter;
        bool seen = false;
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        QString text;
        QString title;
        whenOpen<QMessageBox>(
            [&](QMessageBox* box) {
                shown = box->icon();
                text = box->text();
                title = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
            },
            &seen);

        prompter.showMessage(kind, "Quorvamel", "An Error Occurred Saving App Data");

        QVERIFY(seen);
        QCOMPARE(shown, icon);
        QCOMPARE(text, QStringLiteral("An Error Occurred Saving App Data"));
        QCOMPARE(title, QStringLiteral("Quorvamel"));
    }

    void questionShowsTheQuestionIcon()
    {
        MessageBoxPrompter prompter;
        bool seen = false;
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        whenOpen<QMessageBox>(
            [&](QMessageBox* box) {
                shown = box->icon();
                box->button(QMessageBox::Yes)->click();
            },
            &seen);

        QVERIFY(prompter.askYesNo("Quorvamel", "Delete?"));
        QVERIFY(seen);
        QCOMPARE(shown, QMessageBox::Question);
    }

    void inputBoxMasksWhenAsked_data()
    {
        QTest::addColumn<EntryEcho>("echo");
        QTest::addColumn<QLineEdit::EchoMode>("mode");
        QTest::newRow("masked") << EntryEcho::Masked << QLineEdit::Password;
        QTest::newRow("shown") << EntryEcho::Shown << QLineEdit::Normal;
    }

    void inputBoxMasksWhenAsked()
    {
        QFETCH(EntryEcho, echo);
        QFETCH(QLineEdit::EchoMode, mode);
        MessageBoxPrompter prompter;
        bool seen = false;
        QLineEdit::EchoMode shown = QLineEdit::NoEcho;
        whenOpen<QInputDialog>(
            [&](QInputDialog* box) {
                shown = box->textEchoMode();
                box->setTextValue(QStringLiteral("Open Sesame"));
                box->accept();
            },
            &seen);

        const QString typed =
            prompter.askText("Quorvamel", "Enter Your Password In The Box.", echo);

        QVERIFY(seen);
        QCOMPARE(shown, mode);
        QCOMPARE(typed, QStringLiteral("Open Sesame"));
    }
};

QTEST_MAIN(TestMessageBoxPrompter)
#include "test_message_box_prompter.moc"
