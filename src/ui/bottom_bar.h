#pragma once

#include <QList>

class QLineEdit;
class QPushButton;
class QWidget;

// The row along the window's bottom: the re-check indicator and the run,
// "Menu" and "Log" buttons. It knows which of its buttons a run or a tab
// switch enables; what a click does is decided by the controllers.
class BottomBar
{
public:
    // Builds the row on the window's surface, in design place: the top of
    // the row is given in twips.
    BottomBar(QWidget* surface, double rowTop, double rowHeight);

    QLineEdit* recheckIndicator() const { return m_recheckIndicator; } // Text10
    QPushButton* checkMailButton() const { return m_checkMail; }       // Command1
    QPushButton* seenButton() const { return m_seen; }                 // Command2
    QPushButton* cancelButton() const { return m_cancel; }             // Command7
    QPushButton* deleteMailButton() const { return m_deleteMail; }     // Command5
    QPushButton* menuButton() const { return m_menu; }                 // Command8
    QPushButton* logButton() const { return m_log; }                   // Command15
    // Every control of the row, for the layout that moves them together.
    QList<QWidget*> controls() const;

    // Busy: check disabled, "Seen" swapped for "Cancel", "Delete Mail"
    // disabled. Idle: the reverse, "Delete Mail" only when deleting is on.
    void showRunBusy(bool busy, bool deleteEnabled);
    // "Seen" and "Delete Mail" work on the mail tab only, and never while a
    // run is busy.
    void showTab(bool mailTab, bool runBusy, bool deleteEnabled);

private:
    QLineEdit* m_recheckIndicator = nullptr;
    QPushButton* m_checkMail = nullptr;
    QPushButton* m_seen = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_deleteMail = nullptr;
    QPushButton* m_menu = nullptr;
    QPushButton* m_log = nullptr;
};
