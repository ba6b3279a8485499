#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;

// The About box: a one-sentence description, two pictures and the version.
class AboutDialog : public QWidget
{
    Q_OBJECT

public:
    static inline const QString Description = QStringLiteral(
        "With A Single Click, Check The POP3 Servers And List All Of The eMail You Have For "
        "All Of Your Configured eMail Addresses.");

    explicit AboutDialog(QWidget* parent = nullptr);

    // "Vs." and the three parts of a version, dot separated.
    static QString versionText(int major, int minor, int revision);
    // The running program's version text.
    static QString programVersionText();

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void focusFirstControl();

    QFrame* m_versionBox = nullptr;
    QLabel* m_versionLabel = nullptr;
    QLineEdit* m_focusCatcher = nullptr;
};

// Keeps at most one About box: the first showing creates it, closing it
// destroys it, the next showing creates it afresh.
class AboutBox : public QObject
{
    Q_OBJECT

public:
    explicit AboutBox(QWidget* owner, QObject* parent = nullptr);
    ~AboutBox() override;

    // Shows the box (created when needed), not modal, and gives it the focus.
    void show();
    // Closes and destroys the box if it exists (the main window's final close).
    void unload();
    AboutDialog* dialog() const { return m_dialog; }

private:
    QWidget* m_owner;
    QPointer<AboutDialog> m_dialog;
};
