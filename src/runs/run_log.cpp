#include "runs/run_log.h"

#include <QDateTime>
#include <QLocale>

void RunLog::append(const QString& line)
{
    m_text += QStringLiteral("\r\n") + line;
    emit appended(line);
}

void RunLog::setStatus(const QString& text)
{
    m_status = text;
    emit statusChanged(text);
}

void RunLog::report(const QString& line)
{
    append(line);
    setStatus(line);
}

void RunLog::startRun(const QString& firstLine)
{
    m_text = dateTimeNow();
    emit replaced(m_text);
    report(firstLine);
}

void RunLog::setDatedStatus(const QString& text)
{
    setStatus(dateTimeNow() + text);
}

QString RunLog::dateTimeNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(now.time(), QLocale::LongFormat);
}
