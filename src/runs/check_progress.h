#pragma once

#include <QElapsedTimer>
#include <QMetaType>
#include <chrono>

// How far a check run has come while it fetches headers: account k of n
// (among the accounts the run visits), message i of m (by the account's
// message count).
struct CheckProgress
{
    int accountIndex = 0;
    int accountCount = 0;
    int messageIndex = 0;
    int messageCount = 0;

    bool operator==(const CheckProgress&) const = default;
};
Q_DECLARE_METATYPE(CheckProgress)

// Lets through the values worth showing: the first and the last message of
// an account, and otherwise at most one value per interval, so a mailbox of
// 100,000 messages costs one clock reading per message and a few hundred
// updates in all.
class ProgressThrottle
{
public:
    explicit ProgressThrottle(std::chrono::milliseconds interval = std::chrono::milliseconds(100))
        : m_interval(interval)
    {
    }

    bool due(const CheckProgress& progress)
    {
        const bool edge = progress.messageIndex <= 1 ||
                          progress.messageIndex >= progress.messageCount ||
                          progress.accountIndex != m_shown.accountIndex;
        if (!edge && m_clock.isValid() && m_clock.elapsed() < m_interval.count())
            return false;
        m_shown = progress;
        m_clock.start();
        return true;
    }
    void reset() { *this = ProgressThrottle(m_interval); }

private:
    std::chrono::milliseconds m_interval;
    QElapsedTimer m_clock;
    CheckProgress m_shown;
};
