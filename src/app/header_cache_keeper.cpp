#include "app/header_cache_keeper.h"

#include "runs/run_coordinator.h"
#include "storage/header_cache_file.h"

HeaderCacheKeeper::HeaderCacheKeeper(RunCoordinator& runs, const QString& dataFolder,
                                     std::function<void(const QString&)> note)
    : m_runs(runs), m_path(dataFolder + QLatin1Char('/') + HeaderCacheFileName),
      m_note(std::move(note))
{
    // Read while the program starts and connects: the first check to use
    // the cache waits for it, and hears then if it was thrown away.
    m_cache.loadInBackground(m_path, [this](const QString& error) {
        if (m_note)
            m_note(QStringLiteral("Header cache thrown away (") + error + QStringLiteral("): ") +
                   m_path);
    });
    m_runs.setHeaderCache(&m_cache);
    m_saveAfterCheck = QObject::connect(&m_runs, &RunCoordinator::checkRunCompleted, &m_runs,
                                        [this] { saveIfModified(); });
}

HeaderCacheKeeper::~HeaderCacheKeeper()
{
    QObject::disconnect(m_saveAfterCheck);
    m_runs.setHeaderCache(nullptr);
}

void HeaderCacheKeeper::saveIfModified()
{
    if (!m_cache.isModified())
        return;
    QString error;
    if (!m_cache.save(m_path, &error) && m_note)
        m_note(QStringLiteral("Header cache not saved (") + error + QStringLiteral("): ") + m_path);
}
