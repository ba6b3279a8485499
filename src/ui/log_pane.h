#pragma once

#include "ui/twips.h"

#include <QObject>

class QLabel;
class QMainWindow;
class QPlainTextEdit;
class QProgressBar;
struct CheckProgress;
class QPushButton;
class QStatusBar;
class QWidget;

// The log box (run messages and server replies) over the settings frame's
// area, and the status line below the window. A right click on the status
// line clears it; one on the "Log" button splits or widens the log box.
class LogPane : public QObject
{
    Q_OBJECT

public:
    LogPane(QMainWindow* window, QWidget* surface);

    QPlainTextEdit* logBox() const { return m_logBox; } // Text1
    QStatusBar* statusBar() const { return m_statusBar; }
    QLabel* statusLabel() const { return m_statusLabel; }
    // The button whose right click flips the split.
    void watchLogButton(QPushButton* button);

    QString logText() const;
    void appendLog(const QString& text);
    void setLogText(const QString& text);
    QString statusText() const;
    void setStatus(const QString& text);

    // While headers are fetched, a bar beside the status line shows account
    // k of n and message i of m; cleared when the run ends.
    QProgressBar* progressBar() const { return m_progress; }
    void showCheckProgress(const CheckProgress& progress);
    void clearCheckProgress();

    // While a run is active the log box takes the tool-tip colours.
    void showRunColours(bool runActive);

    bool split() const { return m_split; }
    void setSplit(bool split, const TwipsRect& area);
    // Split: the right half of the area; otherwise all of it.
    void place(const TwipsRect& area);
    // Hidden: shown in its place on top; shown: hidden.
    void toggle(const TwipsRect& area);

signals:
    void splitFlipRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* m_logBox = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_statusLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_logButton = nullptr;
    bool m_split = false;
};
