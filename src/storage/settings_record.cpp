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

    WindowLeft = readFloat(b, WindowLeftAt);
    WindowTop = readFloat(b, WindowTopAt);
    WindowWidth = readFloat(b, WindowWidthAt);
    WindowHeight = readFloat(b, WindowHeightAt);
    ServerTimeoutFixed = readInt<std::int64_t>(b, ServerTimeoutAt);
    for (int i = 0; i < 4; ++i)
        MailColumnWidths[i] = readFloat(b, MailWidths1To4At + 4 * i);
    for (int i = 0; i < 3; ++i)
        AccountColumnWidths[i] = readFloat(b, AccountWidths1To3At + 4 * i);
    RecheckIntervalMinutes = readInt<std::int32_t>(b, RecheckIntervalAt);
    CheckSelectedOnly = readInt<std::int16_t>(b, CheckSelectedOnlyAt);
    AutoCheckOnOpen = readInt<std::int16_t>(b, AutoCheckOnOpenAt);
    UseRetr = readInt<std::int16_t>(b, UseRetrAt);
    DeleteEnabled = readInt<std::int16_t>(b, DeleteEnabledAt);
    Reserved64 = b.mid(Reserved64At, reserved64Size);
    PlaySound = readInt<std::int16_t>(b, PlaySoundAt);
    UseApop = readInt<std::int16_t>(b, UseApopAt);
    ScrambledApopSecret = b.mid(ApopSecretAt, apopSecretSize);
    TrayOnClose = readInt<std::int16_t>(b, TrayOnCloseAt);
    FirstRunMarker = readInt<std::int32_t>(b, FirstRunMarkerAt);
    Reserved378 = b.mid(Reserved378At, reserved378Size);
    TextFontName = fromAnsi(b.mid(TextFontNameAt, fontNameSize));
    TextFontBold = readInt<std::int16_t>(b, TextFontBoldAt);
    TextFontSize = readFloat(b, TextFontSizeAt);
    DateStyle = readInt<std::int32_t>(b, DateStyleAt);
    AutoStartTimer = readInt<std::int16_t>(b, AutoStartTimerAt);
    MailColumnWidths[4] = readFloat(b, MailWidths5To6At);
    MailColumnWidths[5] = readFloat(b, MailWidths5To6At + 4);
    AccountColumnWidths[3] = readFloat(b, AccountWidth4At);
    ToolTipsOff = readInt<std::int16_t>(b, ToolTipsOffAt);
    ScrambledRunPassword = b.mid(RunPasswordAt, runPasswordSize);
    ContinuousAlarm = readInt<std::int16_t>(b, ContinuousAlarmAt);
    IdleIfOffline = readInt<std::int16_t>(b, IdleIfOfflineAt);
    LogSplit = readInt<std::int16_t>(b, LogSplitAt);
    return true;
}

QByteArray SettingsRecord::encode() const
{
    QByteArray b(Size, '\0');
    writeFloat(b, WindowLeftAt, WindowLeft);
    writeFloat(b, WindowTopAt, WindowTop);
    writeFloat(b, WindowWidthAt, WindowWidth);
    writeFloat(b, WindowHeightAt, WindowHeight);
    writeInt<std::int64_t>(b, ServerTimeoutAt, ServerTimeoutFixed);
    for (int i = 0; i < 4; ++i)
        writeFloat(b, MailWidths1To4At + 4 * i, MailColumnWidths[i]);
    for (int i = 0; i < 3; ++i)
        writeFloat(b, AccountWidths1To3At + 4 * i, AccountColumnWidths[i]);
    writeInt<std::int32_t>(b, RecheckIntervalAt, RecheckIntervalMinutes);
    writeInt<std::int16_t>(b, CheckSelectedOnlyAt, CheckSelectedOnly);
    writeInt<std::int16_t>(b, AutoCheckOnOpenAt, AutoCheckOnOpen);
    writeInt<std::int16_t>(b, UseRetrAt, UseRetr);
    writeInt<std::int16_t>(b, DeleteEnabledAt, DeleteEnabled);
    writeRaw(b, Reserved64At, Reserved64, reserved64Size);
    writeInt<std::int16_t>(b, PlaySoundAt, PlaySound);
    writeInt<std::int16_t>(b, UseApopAt, UseApop);
    writeRaw(b, ApopSecretAt, ScrambledApopSecret, apopSecretSize);
    writeInt<std::int16_t>(b, TrayOnCloseAt, TrayOnClose);
    writeInt<std::int32_t>(b, FirstRunMarkerAt, FirstRunMarker);
    writeRaw(b, Reserved378At, Reserved378, reserved378Size, '\0');
    writeRaw(b, TextFontNameAt, toFixedField(TextFontName, fontNameSize), fontNameSize);
    writeInt<std::int16_t>(b, TextFontBoldAt, TextFontBold);
    writeFloat(b, TextFontSizeAt, TextFontSize);
    writeInt<std::int32_t>(b, DateStyleAt, DateStyle);
    writeInt<std::int16_t>(b, AutoStartTimerAt, AutoStartTimer);
    writeFloat(b, MailWidths5To6At, MailColumnWidths[4]);
    writeFloat(b, MailWidths5To6At + 4, MailColumnWidths[5]);
    writeFloat(b, AccountWidth4At, AccountColumnWidths[3]);
    writeInt<std::int16_t>(b, ToolTipsOffAt, ToolTipsOff);
    writeRaw(b, RunPasswordAt, ScrambledRunPassword, runPasswordSize);
    writeInt<std::int16_t>(b, ContinuousAlarmAt, ContinuousAlarm);
    writeInt<std::int16_t>(b, IdleIfOfflineAt, IdleIfOffline);
    writeInt<std::int16_t>(b, LogSplitAt, LogSplit);
    return b;
}

SettingsRecord SettingsRecord::templateRecord()
{
    // The member defaults are the values of a fresh installation; the run
    // password and secret fields are all spaces, which read back as empty.
    return SettingsRecord();
}
