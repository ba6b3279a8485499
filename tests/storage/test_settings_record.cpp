#include "storage/settings_file.h"
#include "storage/settings_record.h"
#include "support/common_files.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {

// Writes little-endian values at given offsets, the way the record table
// lays them out, without using the record code.
class Bytes
{
public:
    explicit Bytes(int size, char fill = '\0') : m_bytes(size, fill) {}

    template <typename T> Bytes& at(int offset, T value)
    {
        QBuffer buffer(&m_bytes);
        buffer.open(QIODevice::ReadWrite);
        buffer.seek(offset);
        QDataStream out(&buffer);
        out.setByteOrder(QDataStream::LittleEndian);
        out.setFloatingPointPrecision(QDataStream::SinglePrecision);
        out << value;
        return *this;
    }
    Bytes& text(int offset, const QByteArray& text)
    {
        m_bytes.replace(offset, text.size(), text);
        return *this;
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

QByteArray padded(const QByteArray& text, int width)
{
    return text + QByteArray(width - text.size(), ' ');
}

// A record with a different value in every field.
SettingsRecord distinctRecord()
{
    SettingsRecord r;
    r.windowLeft = 101.5f;
    r.windowTop = 202.25f;
    r.windowWidth = 9000;
    r.windowHeight = 4000;
    r.serverTimeoutFixed = 123456789012LL;
    r.mailColumnWidths = {11, 12, 13, 14, 15, 16};
    r.accountColumnWidths = {21, 22, 23, 24};
    r.recheckIntervalMinutes = 77;
    r.checkSelectedOnly = 1;
    r.autoCheckOnOpen = 2;
    r.useRetr = 3;
    r.deleteEnabled = 4;
    r.reserved64 = QByteArray(48, 'r');
    r.playSound = 5;
    r.useApop = 6;
    r.scrambledApopSecret = QByteArray(256, 's');
    r.trayOnClose = 7;
    r.firstRunMarker = 8;
    r.reserved378 = QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12);
    r.textFontName = QStringLiteral("Caf\u00e9 Sans");
    r.textFontBold = -1;
    r.textFontSize = 9.5f;
    r.dateStyle = 4;
    r.autoStartTimer = 9;
    r.toolTipsOff = 10;
    r.scrambledRunPassword = QByteArray(64, 'p');
    r.continuousAlarm = 11;
    r.idleIfOffline = 12;
    r.logSplit = 13;
    return r;
}

QByteArray distinctRecordBytes()
{
    Bytes b(614);
    b.at(0, 101.5f).at(4, 202.25f).at(8, 9000.0f).at(12, 4000.0f);
    b.at(16, qint64(123456789012LL));
    b.at(24, 11.0f).at(28, 12.0f).at(32, 13.0f).at(36, 14.0f);
    b.at(40, 21.0f).at(44, 22.0f).at(48, 23.0f);
    b.at(52, qint32(77));
    b.at(56, qint16(1)).at(58, qint16(2)).at(60, qint16(3)).at(62, qint16(4));
    b.text(64, QByteArray(48, 'r'));
    b.at(112, qint16(5)).at(114, qint16(6));
    b.text(116, QByteArray(256, 's'));
    b.at(372, qint16(7)).at(374, qint32(8));
    b.text(378, QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12));
    b.text(390, padded("Caf\xe9 Sans", 128));
    b.at(518, qint16(-1)).at(520, 9.5f).at(524, qint32(4)).at(528, qint16(9));
    b.at(530, 15.0f).at(534, 16.0f).at(538, 24.0f);
    b.at(542, qint16(10));
    b.text(544, QByteArray(64, 'p'));
    b.at(608, qint16(11)).at(610, qint16(12)).at(612, qint16(13));
    return b.bytes();
}

} // namespace

class TestSettingsRecord : public QObject
{
    Q_OBJECT

private slots:
    void encodesFieldsAtTheirOffsets();
    void decodesFieldsFromTheirOffsets();
    void decodeRejectsWrongSize_data();
    void decodeRejectsWrongSize();
    void templateHoldsTheDefaults();
    void readsFirstRecordOfFile_data();
    void readsFirstRecordOfFile();
    void writesOwnerOnlyAndReplacesWhole();
    void failedWriteKeepsOldFile();
};

void TestSettingsRecord::encodesFieldsAtTheirOffsets()
{
    const QByteArray encoded = distinctRecord().encode();
    const QByteArray expected = distinctRecordBytes();
    QCOMPARE(encoded.size(), 614);
    for (int i = 0; i < 614; ++i)
        QVERIFY2(encoded.at(i) == expected.at(i), qPrintable(QStringLiteral("offset %1").arg(i)));
}

void TestSettingsRecord::decodesFieldsFromTheirOffsets()
{
    SettingsRecord r;
    QVERIFY(r.decode(distinctRecordBytes()));
    QCOMPARE(r.windowTop, 202.25f);
    QCOMPARE(r.serverTimeoutFixed, 123456789012LL);
    QCOMPARE(r.serverTimeoutMs(), 12345678.9012);
    QCOMPARE(r.mailColumnWidths[4], 15.0f);
    QCOMPARE(r.accountColumnWidths[3], 24.0f);
    QCOMPARE(r.trayOnClose, qint16(7));
    QCOMPARE(r.firstRunMarker, 8);
    QCOMPARE(r.textFontName, QStringLiteral("Caf\u00e9 Sans") + QString(119, QChar(' ')));
    QCOMPARE(r.textFontBold, qint16(-1));
    QCOMPARE(r.logSplit, qint16(13));
    // Every field, reserved bytes included, goes back as read.
    QCOMPARE(r.encode(), distinctRecordBytes());
}

void TestSettingsRecord::decodeRejectsWrongSize_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("613") << 613;
    QTest::newRow("615") << 615;
}

void TestSettingsRecord::decodeRejectsWrongSize()
{
    QFETCH(int, size);
    SettingsRecord r = distinctRecord();
    QVERIFY(!r.decode(QByteArray(size, '\x7f')));
    QCOMPARE(r.encode(), distinctRecordBytes());
}

void TestSettingsRecord::templateHoldsTheDefaults()
{
    Bytes b(614);
    b.at(16, qint64(180000LL * 10000));
    b.at(24, 1440.0f).at(28, 1440.0f).at(32, 2000.0f).at(36, 3300.0f);
    b.at(40, 1440.0f).at(44, 1440.0f).at(48, 1440.0f);
    b.at(52, qint32(30));
    b.text(64, QByteArray(48, ' '));
    b.text(116, QByteArray(256, ' '));
    b.text(390, padded("MS Sans Serif", 128));
    b.at(520, 8.0f).at(524, qint32(1));
    b.at(530, 2200.0f).at(534, 1440.0f).at(538, 1440.0f);
    b.text(544, QByteArray(64, ' '));
    QCOMPARE(SettingsRecord::templateRecord().encode(), b.bytes());
}

void TestSettingsRecord::readsFirstRecordOfFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readable");
    QTest::newRow("exact") << distinctRecordBytes() << true;
    QTest::newRow("longer: first record") << distinctRecordBytes() + QByteArray(500, 'x') << true;
    // A short file reads as far as it goes, the rest as zeros.
    QTest::newRow("one byte short") << distinctRecordBytes().left(613) << true;
    QTest::newRow("cut inside the font name") << distinctRecordBytes().left(400) << true;
    QTest::newRow("a short template") << distinctRecordBytes().left(300) << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("a folder") << QByteArray() << false;
}

void TestSettingsRecord::readsFirstRecordOfFile()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, readable);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quorvamel.ini"));
    if (readable)
        writeBytes(path, content);
    else
        QVERIFY(QDir().mkdir(path));

    SettingsRecord r = SettingsRecord::templateRecord();
    QString error;
    QCOMPARE(readSettingsFile(path, r, &error), readable);
    if (!readable) {
        QVERIFY(!error.isEmpty());
        QCOMPARE(r.encode(), SettingsRecord::templateRecord().encode());
        return;
    }
    QByteArray expected = content.left(SettingsRecord::Size);
    expected.append(QByteArray(SettingsRecord::Size - expected.size(), '\0'));
    QCOMPARE(r.encode(), expected);
    // The next save writes the whole record.
    QVERIFY(writeSettingsFile(path, r));
    QCOMPARE(fileBytes(path), expected);
}

void TestSettingsRecord::writesOwnerOnlyAndReplacesWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quorvamel.ini"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(2000, 'o'));
    old.close();
    QVERIFY(old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ReadOther));

    QVERIFY(writeSettingsFile(path, distinctRecord()));
    QCOMPARE(fileMode(path), mode_t(0600));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), distinctRecordBytes());
}

void TestSettingsRecord::failedWriteKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quorvamel.ini"));
    QVERIFY(writeSettingsFile(path, distinctRecord()));

    // Root ignores permissions, but not a file-size limit: the new file
    // cannot be written whole.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 100;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const bool written = writeSettingsFile(path, SettingsRecord::templateRecord());
    setrlimit(RLIMIT_FSIZE, &saved);

    QVERIFY(!written);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), distinctRecordBytes());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("quorvamel.ini")});

    // A folder that cannot exist (its parent is a file) fails cleanly too.
    QVERIFY(!writeSettingsFile(path + QStringLiteral("/sub.ini"), distinctRecord()));
}

QTEST_GUILESS_MAIN(TestSettingsRecord)
#include "test_settings_record.moc"
