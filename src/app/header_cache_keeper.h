#pragma once

#include "runs/header_cache.h"

#include <QMetaObject>
#include <QString>
#include <functional>

class RunCoordinator;

// The header cache of the data folder behind a run coordinator: read from
// its file in the background from now on, written back after each completed
// check run that changed it. Trouble with the file never stops the program (the cache is only a
// shortcut: a message it lacks is fetched); it is told through note.
class HeaderCacheKeeper
{
public:
    HeaderCacheKeeper(RunCoordinator& runs, const QString& dataFolder,
                      std::function<void(const QString&)> note);
    ~HeaderCacheKeeper();
    HeaderCacheKeeper(const HeaderCacheKeeper&) = delete;
    HeaderCacheKeeper& operator=(const HeaderCacheKeeper&) = delete;

    HeaderCache& cache() { return m_cache; }
    const QString& path() const { return m_path; }
    // Writes the file when the cache changed since it was read or written.
    void saveIfModified();

private:
    RunCoordinator& m_runs;
    HeaderCache m_cache;
    QString m_path;
    std::function<void(const QString&)> m_note;
    QMetaObject::Connection m_saveAfterCheck;
};
