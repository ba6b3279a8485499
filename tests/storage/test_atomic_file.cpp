#include "storage/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// What a killed save leaves beside a data file is cleared by the next good
// save; files that only look alike are left alone.
class TestAtomicFile : public QObject
{
    Q_OBJECT

private slots:
    void goodSaveClearsLeftoversOfKilledSaves()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("pop3user.ini");
        const QStringList leftovers{"pop3user.ini.Ab3dE9", "pop3user.ini.zzzzzz"};
        const QStringList others{"pop3user.ini.bak", "pop3user.ini.Ab3dE9x", "quorvamel.ini.Ab3dE9",
                                 "pop3user.ini.Ab-dE9"};
        for (const QString& name : leftovers + others) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }

        QVERIFY(writeFileAtomically(path, "new"));

        QStringList expected = others;
        expected << "pop3user.ini";
        expected.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomic_file.moc"
