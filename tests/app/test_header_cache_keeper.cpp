// The header cache file behind a run coordinator: read at the start,
// written after a completed check run only when something changed, and
// trouble with the file told once, never a stop.
#include "app/header_cache_keeper.h"
#include "runs/run_rig.h"
#include "storage/header_cache_file.h"
#include "support/common_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const MailboxKey amy{QStringLiteral("pop.example.org"), 995, QStringLiteral("amy")};

} // namespace

class TestHeaderCacheKeeper : public QObject
{
    Q_OBJECT

private slots:
    void savedAfterACompletedCheckThatChangedIt()
    {
        QTemporaryDir data;
        RunRig rig;
        QStringList notes;
        const QString path = data.filePath(HeaderCacheFileName);
        {
            HeaderCacheKeeper keeper(*rig.runs, data.path(),
                                     [&](const QString& note) { notes.append(note); });
            QCOMPARE(keeper.path(), path);
            emit rig.runs->checkRunCompleted(0, 0);
            QVERIFY2(!QFileInfo::exists(path), "written with nothing to keep");

            keeper.cache().store(amy, "1", "From: a\r\n\r\n");
            emit rig.runs->checkRunHalted(QStringLiteral("halted"));
            QVERIFY2(!QFileInfo::exists(path), "written after a halted run");
            emit rig.runs->checkRunCompleted(1, 1);
            QCOMPARE(fileMode(path), mode_t(0600));
        }
        HeaderCacheKeeper again(*rig.runs, data.path(), {});
        QCOMPARE(again.cache().find(amy, "1"), QByteArray("From: a\r\n\r\n"));
        QCOMPARE(notes, QStringList());
    }

    void anUnreadableFileIsToldAndReplaced()
    {
        QTemporaryDir data;
        const QString path = data.filePath(HeaderCacheFileName);
        writeBytes(path, "not a cache");
        RunRig rig;
        QStringList notes;
        HeaderCacheKeeper keeper(*rig.runs, data.path(),
                                 [&](const QString& note) { notes.append(note); });
        // Read in the background: told when the cache is first used.
        QCOMPARE(keeper.cache().blockCount(), 0);
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].startsWith("Header cache thrown away (") && notes[0].endsWith(path),
                 qPrintable(notes[0]));
        QCOMPARE(keeper.cache().blockCount(), 0);
        QCOMPARE(notes.size(), 1);

        emit rig.runs->checkRunCompleted(0, 0);
        const auto decoded = decodeHeaderCacheFile(fileBytes(path));
        QVERIFY(decoded.has_value());
        QVERIFY(decoded->isEmpty());
    }

    void aFailedSaveIsToldAndTheProgramGoesOn()
    {
        QTemporaryDir data;
        const QString path = data.filePath(HeaderCacheFileName);
        QVERIFY(QDir().mkdir(path)); // a folder in the file's place
        RunRig rig;
        QStringList notes;
        HeaderCacheKeeper keeper(*rig.runs, data.path(),
                                 [&](const QString& note) { notes.append(note); });
        keeper.cache().store(amy, "1", "From: a\r\n\r\n");
        QCOMPARE(notes.size(), 1); // not readable either
        emit rig.runs->checkRunCompleted(1, 1);
        QCOMPARE(notes.size(), 2);
        QVERIFY2(notes[1].startsWith("Header cache not saved ("), qPrintable(notes[1]));
        QVERIFY(QFileInfo(path).isDir());
        // Still held in memory for the next check.
        QCOMPARE(keeper.cache().find(amy, "1"), QByteArray("From: a\r\n\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestHeaderCacheKeeper)
#include "test_header_cache_keeper.moc"
