// The log box and the status line.
#include "ui/form10.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>

QString Form10::logText() const
{
    return m_text1->toPlainText();
}

void Form10::appendLog(const QString& text)
{
    // A line break, then the text, at the very end; the caret follows so the
    // newest line is in view.
    QTextCursor cursor(m_text1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n") + text);
    m_text1->moveCursor(QTextCursor::End);
    m_text1->ensureCursorVisible();
}

void Form10::setLogText(const QString& text)
{
    m_text1->setPlainText(text);
    m_text1->moveCursor(QTextCursor::End);
}

QString Form10::statusText() const
{
    return m_statusLabel->text();
}

void Form10::setStatus(const QString& text)
{
    m_statusLabel->setText(text);
}

bool Form10::handleRightPress(QObject* watched)
{
    if (watched == m_statusBar || watched == m_statusLabel) {
        setStatus(QString());
        return true;
    }
    if (watched->objectName() == QLatin1String("Command15")) {
        flipLogSplit();
        return true;
    }
    return false;
}
