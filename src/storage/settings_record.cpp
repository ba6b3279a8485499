#include "storage/settings_record.h"

#include "platform/codepage.h"
#include "storage/record_bytes.h"

using namespace recordbytes;

namespace {

// Byte offsets of the record fields.
enum Offset : int {
    WindowLeftAt = 0,
    WindowTopAt = 4,
    WindowWidthAt = 8,
    WindowHeightAt = 12,
    ServerTimeoutAt = 16,
    MailWidths1To4At = 24,
    AccountWidths1To3At = 40,
    RecheckIntervalAt = 52,
    CheckSelectedOnlyAt = 56,
    AutoCheckOnOpenAt = 58,
    UseRetrAt = 60,
    DeleteEnabledAt = 62,
    Reserved64At = 64,
    PlaySoundAt = 112,
    UseApopAt = 114,
    ApopSecretAt = 116,
    TrayOnCloseAt = 372,
    FirstRunMarkerAt = 374,
    Reserved378At = 378,
    TextFontNameAt = 390,
    TextFontBoldAt = 518,
    TextFontSizeAt = 520,
    DateStyleAt = 524,
    AutoStartTimerAt = 528,
    MailWidths5To6At = 530,
    AccountWidth4At = 538,
    ToolTipsOffAt = 542,
    RunPasswordAt = 544,
    ContinuousAlarmAt = 608,
    IdleIfOfflineAt = 610,
    LogSplitAt = 612,
};

constexpr int reserved64Size = 48;
constexpr int reserved378Size = 12;
constexpr int apopSecretSize = 256;
constexpr int fontNameSize = 128;
constexpr int runPasswordSize = 64;

} // namespace

bool SettingsRecord::decode(const QByteArray& b)
{
    if (b.size() != Size)
        return false;

    windowLeft = readFloat(b, WindowLeftAt);
    windowTop = readFloat(b, WindowTopAt);
    windowWidth = readFloat(b, WindowWidthAt);
    windowHeight = readFloat(b, WindowHeightAt);
    serverTimeoutFixed = readInt<std::int64_t>(b, ServerTimeoutAt);
    for (int i = 0; i < 4; ++i)
        mailColumnWidths[i] = readFloat(b, MailWidths1To4At + 4 * i);
    for (int i = 0; i < 3; ++i)
        accountColumnWidths[i] = readFloat(b, AccountWidths1To3At + 4 * i);
    recheckIntervalMinutes = readInt<std::int32_t>(b, RecheckIntervalAt);
    checkSelectedOnly = readInt<std::int16_t>(b, CheckSelectedOnlyAt);
    autoCheckOnOpen = readInt<std::int16_t>(b, AutoCheckOnOpenAt);
    useRetr = readInt<std::int16_t>(b, UseRetrAt);
    deleteEnabled = readInt<std::int16_t>(b, DeleteEnabledAt);
    reserved64 = b.mid(Reserved64At, reserved64Size);
    playSound = readInt<std::int16_t>(b, PlaySoundAt);
    useApop = readInt<std::int16_t>(b, UseApopAt);
    scrambledApopSecret = b.mid(ApopSecretAt, apopSecretSize);
    trayOnClose = readInt<std::int16_t>(b, TrayOnCloseAt);
    firstRunMarker = readInt<std::int32_t>(b, FirstRunMarkerAt);
    reserved378 = b.mid(Reserved378At, reserved378Size);
    textFontName = fromAnsi(b.mid(TextFontNameAt, fontNameSize));
    textFontBold = readInt<std::int16_t>(b, TextFontBoldAt);
    textFontSize = readFloat(b, TextFontSizeAt);
    dateStyle = readInt<std::int32_t>(b, DateStyleAt);
    autoStartTimer = readInt<std::int16_t>(b, AutoStartTimerAt);
    mailColumnWidths[4] = readFloat(b, MailWidths5To6At);
    mailColumnWidths[5] = readFloat(b, MailWidths5To6At + 4);
    accountColumnWidths[3] = readFloat(b, AccountWidth4At);
    toolTipsOff = readInt<std::int16_t>(b, ToolTipsOffAt);
    scrambledRunPassword = b.mid(RunPasswordAt, runPasswordSize);
    continuousAlarm = readInt<std::int16_t>(b, ContinuousAlarmAt);
    idleIfOffline = readInt<std::int16_t>(b, IdleIfOfflineAt);
    logSplit = readInt<std::int16_t>(b, LogSplitAt);
    return true;
}

QByteArray SettingsRecord::encode() const
{
    QByteArray b(Size, '\0');
    writeFloat(b, WindowLeftAt, windowLeft);
    writeFloat(b, WindowTopAt, windowTop);
    writeFloat(b, WindowWidthAt, windowWidth);
    writeFloat(b, WindowHeightAt, windowHeight);
    writeInt<std::int64_t>(b, ServerTimeoutAt, serverTimeoutFixed);
    for (int i = 0; i < 4; ++i)
        writeFloat(b, MailWidths1To4At + 4 * i, mailColumnWidths[i]);
    for (int i = 0; i < 3; ++i)
        writeFloat(b, AccountWidths1To3At + 4 * i, accountColumnWidths[i]);
    writeInt<std::int32_t>(b, RecheckIntervalAt, recheckIntervalMinutes);
    writeInt<std::int16_t>(b, CheckSelectedOnlyAt, checkSelectedOnly);
    writeInt<std::int16_t>(b, AutoCheckOnOpenAt, autoCheckOnOpen);
    writeInt<std::int16_t>(b, UseRetrAt, useRetr);
    writeInt<std::int16_t>(b, DeleteEnabledAt, deleteEnabled);
    writeRaw(b, Reserved64At, reserved64, reserved64Size);
    writeInt<std::int16_t>(b, PlaySoundAt, playSound);
    writeInt<std::int16_t>(b, UseApopAt, useApop);
    writeRaw(b, ApopSecretAt, scrambledApopSecret, apopSecretSize);
    writeInt<std::int16_t>(b, TrayOnCloseAt, trayOnClose);
    writeInt<std::int32_t>(b, FirstRunMarkerAt, firstRunMarker);
    writeRaw(b, Reserved378At, reserved378, reserved378Size, '\0');
    writeRaw(b, TextFontNameAt, toFixedField(textFontName, fontNameSize), fontNameSize);
    writeInt<std::int16_t>(b, TextFontBoldAt, textFontBold);
    writeFloat(b, TextFontSizeAt, textFontSize);
    writeInt<std::int32_t>(b, DateStyleAt, dateStyle);
    writeInt<std::int16_t>(b, AutoStartTimerAt, autoStartTimer);
    writeFloat(b, MailWidths5To6At, mailColumnWidths[4]);
    writeFloat(b, MailWidths5To6At + 4, mailColumnWidths[5]);
    writeFloat(b, AccountWidth4At, accountColumnWidths[3]);
    writeInt<std::int16_t>(b, ToolTipsOffAt, toolTipsOff);
    writeRaw(b, RunPasswordAt, scrambledRunPassword, runPasswordSize);
    writeInt<std::int16_t>(b, ContinuousAlarmAt, continuousAlarm);
    writeInt<std::int16_t>(b, IdleIfOfflineAt, idleIfOffline);
    writeInt<std::int16_t>(b, LogSplitAt, logSplit);
    return b;
}

SettingsRecord SettingsRecord::templateRecord()
{
    // The member defaults are the values of a fresh installation; the run
    // password and secret fields are all spaces, which read back as empty.
    return SettingsRecord();
}
