#include "ui/log_pane.h"

#include "runs/check_progress.h"
#include "ui/system_colours.h"
#include "ui/window_controls.h"

#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextCursor>
#include <algorithm>

namespace {
constexpr int StatusBarHeight = 300;
} // namespace

LogPane::LogPane(QMainWindow* window, QWidget* surface) : QObject(window)
{
    m_logBox =
        makeControl<QPlainTextEdit>(surface, QStringLiteral("Text1"), {135, 435, 5340, 3690});
    m_logBox->setReadOnly(true);
    m_logBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_logBox->setUndoRedoEnabled(false);
    m_logBox->setAccessibleName(QStringLiteral("Log"));
    m_logBox->hide();

    m_statusBar = new QStatusBar(window);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setFixedHeight(twipsToPixels(StatusBarHeight));
    m_statusLabel = new QLabel(m_statusBar);
    m_statusLabel->setObjectName(QStringLiteral("StatusBar1Text"));
    m_statusLabel->setAccessibleName(QStringLiteral("Status"));
    m_statusBar->addWidget(m_statusLabel, 1);
    // A bar of its own, not status text: the status line keeps the run's
    // own lines, and the bar shows how much of a long mailbox is left.
    m_progress = new QProgressBar(m_statusBar);
    m_progress->setObjectName(QStringLiteral("CheckProgress"));
    m_progress->setAccessibleName(QStringLiteral("Check Progress"));
    m_progress->setFixedWidth(twipsToPixels(3600));
    m_progress->setTextVisible(true);
    m_progress->hide();
    m_statusBar->addPermanentWidget(m_progress);
    window->setStatusBar(m_statusBar);
    m_statusBar->installEventFilter(this);
    m_statusLabel->installEventFilter(this);
}

void LogPane::watchLogButton(QPushButton* button)
{
    m_logButton = button;
    button->installEventFilter(this);
}

QString LogPane::logText() const
{
    return m_logBox->toPlainText();
}

void LogPane::appendLog(const QString& text)
{
    // A line break, then the text, at the very end; the caret follows so the
    // newest line is in view.
    QTextCursor cursor(m_logBox->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n") + text);
    m_logBox->moveCursor(QTextCursor::End);
    m_logBox->ensureCursorVisible();
}

void LogPane::setLogText(const QString& text)
{
    m_logBox->setPlainText(text);
    m_logBox->moveCursor(QTextCursor::End);
}

QString LogPane::statusText() const
{
    return m_statusLabel->text();
}

void LogPane::setStatus(const QString& text)
{
    m_statusLabel->setText(text);
}

void LogPane::showCheckProgress(const CheckProgress& progress)
{
    m_progress->setRange(0, std::max(progress.messageCount, 1));
    m_progress->setValue(std::clamp(progress.messageIndex, 0, m_progress->maximum()));
    m_progress->setFormat(QStringLiteral("Account %1 of %2: %3 of %4")
                              .arg(progress.accountIndex)
                              .arg(progress.accountCount)
                              .arg(progress.messageIndex)
                              .arg(progress.messageCount));
    m_progress->show();
}

void LogPane::clearCheckProgress()
{
    m_progress->hide();
    m_progress->reset();
}

void LogPane::showRunColours(bool runActive)
{
    QPalette palette = m_logBox->palette();
    palette.setColor(QPalette::Base,
                     SystemColour::toColour(runActive ? SystemColour::ToolTipBackground
                                                      : SystemColour::WindowBackground));
    palette.setColor(QPalette::Text, SystemColour::toColour(runActive ? SystemColour::ToolTipText
                                                                      : SystemColour::WindowText));
    m_logBox->setPalette(palette);
}

void LogPane::setSplit(bool split, const TwipsRect& area)
{
    m_split = split;
    place(area);
}

void LogPane::place(const TwipsRect& area)
{
    const TwipsRect place =
        m_split
            ? TwipsRect{area.left + area.width / 2, area.top + 15, area.width / 2, area.height - 30}
            : TwipsRect{area.left, area.top + 15, area.width, area.height - 30};
    m_logBox->setGeometry(twipsRect(place.left, place.top, place.width, place.height));
}

void LogPane::toggle(const TwipsRect& area)
{
    if (m_logBox->isVisible()) {
        m_logBox->hide();
        return;
    }
    place(area);
    m_logBox->show();
    m_logBox->raise();
}

bool LogPane::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (watched == m_statusBar || watched == m_statusLabel) {
            setStatus(QString());
            return true;
        }
        if (watched == m_logButton) {
            emit splitFlipRequested();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
