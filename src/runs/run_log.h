#pragma once

#include <QObject>
#include <QString>

// The log text and the status line of the runs. Each line of the log
// starts with CR LF; a run starts the log afresh with the date and time.
class RunLog : public QObject
{
    Q_OBJECT
public:
    explicit RunLog(QObject* parent = nullptr) : QObject(parent) {}

    void append(const QString& line);
    void setStatus(const QString& text);
    // The line goes to the log and to the status line.
    void report(const QString& line);
    // The log restarts with the date and time; the line follows it and
    // shows on the status line.
    void startRun(const QString& firstLine);
    // The status line shows the date and time before the text.
    void setDatedStatus(const QString& text);

    QString text() const { return m_text; }
    QString status() const { return m_status; }

    // The local date and time as the log and the status line show them.
    static QString dateTimeNow();

signals:
    void appended(const QString& line);
    // The whole log text was replaced (the start of a run).
    void replaced(const QString& text);
    void statusChanged(const QString& text);

private:
    QString m_text;
    QString m_status;
};
