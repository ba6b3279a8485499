#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// Refuses a second copy of the program for the same home folder while
// letting tests with homes of their own run side by side.
class SingleInstanceGuard
{
public:
    explicit SingleInstanceGuard(const QString& homeFolder);
    bool isFirstInstance() const { return m_locked; }

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_locked = false;
};
