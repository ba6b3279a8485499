#include "pop3/mail_date.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <optional>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// Index of the n-th blank (1-based n), or -1.
qsizetype nthBlank(QStringView text, int n)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isBlank(text[i]) && --n == 0)
            return i;
    }
    return -1;
}

std::optional<int> digitsValue(QStringView text, qsizetype minLength, qsizetype maxLength)
{
    if (text.size() < minLength || text.size() > maxLength)
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

int monthNumber(QStringView name)
{
    static const char* const full[12] = {"january",   "february", "march",    "april",
                                         "may",       "june",     "july",     "august",
                                         "september", "october",  "november", "december"};
    const QString lower = name.toString().toLower();
    for (int m = 0; m < 12; ++m) {
        const QLatin1String fullName(full[m]);
        if (lower == fullName || lower == fullName.left(3))
            return m + 1;
    }
    if (lower == u"sept")
        return 9;
    // Names in the user's own language are read as well.
    const QLocale locale = QLocale::system();
    for (int m = 1; m <= 12; ++m) {
        if (lower == locale.monthName(m, QLocale::ShortFormat).toLower() ||
            lower == locale.monthName(m, QLocale::LongFormat).toLower())
            return m;
    }
    return 0;
}

// "4 Jan 2003". Two-digit years follow the usual desktop window:
// 00-29 are 2000-2029, 30-99 are 1930-1999.
QDate parseDateText(QStringView text)
{
    const qsizetype b1 = text.indexOf(u' ');
    const qsizetype b2 = text.indexOf(u' ', b1 + 1);
    if (b1 < 0 || b2 < 0)
        return {};
    const auto day = digitsValue(text.left(b1), 1, 2);
    const int month = monthNumber(text.mid(b1 + 1, b2 - b1 - 1));
    const QStringView yearText = text.mid(b2 + 1);
    auto year = digitsValue(yearText, 2, 4);
    if (!day || month == 0 || !year)
        return {};
    if (yearText.size() == 2)
        *year += *year < 30 ? 2000 : 1900;
    return QDate(*year, month, *day);
}

std::optional<int> timePart(QStringView text)
{
    return digitsValue(text, 1, 2);
}

// Time token of 4 (hhmm), 5 or 8 (as written) or 6 (hhmmss) characters.
QTime parseTimeToken(QStringView token)
{
    std::optional<int> h, m, s = 0;
    switch (token.size()) {
    case 4:
        h = digitsValue(token.left(2), 2, 2);
        m = digitsValue(token.mid(2), 2, 2);
        break;
    case 6:
        h = digitsValue(token.left(2), 2, 2);
        m = digitsValue(token.mid(2, 2), 2, 2);
        s = digitsValue(token.mid(4), 2, 2);
        break;
    case 5:
    case 8: {
        const auto parts = token.split(u':');
        if (parts.size() < 2 || parts.size() > 3)
            return {};
        h = timePart(parts[0]);
        m = timePart(parts[1]);
        if (parts.size() == 3)
            s = timePart(parts[2]);
        break;
    }
    default:
        return {};
    }
    if (!h || !m || !s)
        return {};
    return QTime(*h, *m, *s);
}

struct ZoneEntry
{
    const char* name;
    int minutes;
};

const ZoneEntry kZoneTable[] = {
    {"Z", 0},     {"UT", 0},    {"GMT", 0},  {"N", 60},    {"O", 120},   {"P", 180},
    {"Q", 240},   {"EDT", 240}, {"R", 300},  {"EST", 300}, {"CDT", 300}, {"S", 360},
    {"CST", 360}, {"MDT", 360}, {"T", 420},  {"MST", 420}, {"PDT", 420}, {"U", 480},
    {"PST", 480}, {"V", 540},   {"W", 600},  {"X", 660},   {"Y", 720},   {"A", -60},
    {"B", -120},  {"C", -180},  {"D", -240}, {"E", -300},  {"F", -360},  {"G", -420},
    {"H", -480},  {"I", -540},  {"K", -600}, {"L", -660},  {"M", -720},
};

// Minutes to add to the sender's local time to reach UTC.
std::optional<int> zoneMinutes(QStringView zone)
{
    if (zone.isEmpty())
        return std::nullopt;
    zone = zone.left(5);
    if (zone.size() == 5) {
        const auto hours = digitsValue(zone.mid(1, 2), 2, 2);
        const auto minutes = digitsValue(zone.mid(3, 2), 2, 2);
        if (!hours || !minutes)
            return std::nullopt;
        const int offset = *hours * 60 + *minutes;
        if (zone[0] == u'-')
            return offset;
        if (zone[0] == u'+')
            return -offset;
        return std::nullopt;
    }
    const QString upper = zone.toString().toUpper();
    for (const ZoneEntry& entry : kZoneTable) {
        if (upper == QLatin1String(entry.name))
            return entry.minutes;
    }
    return 0;
}

// The moment in UTC, or an invalid date-time when the value does not fit.
QDateTime parseMailDate(QStringView value)
{
    QStringView rest = trimBlanks(value);
    const qsizetype comma = rest.indexOf(u',');
    if (comma >= 0) {
        if (comma != 3)
            return {};
        rest = trimBlanks(rest.mid(4));
    }
    const qsizetype b1 = nthBlank(rest, 1);
    const qsizetype b2 = nthBlank(rest, 2);
    const qsizetype b3 = nthBlank(rest, 3);
    if (b1 < 1 || b1 > 2 || b2 < 5 || b2 > 6 || b3 < 8 || b3 > 11)
        return {};
    QString dateText = rest.left(b3).toString();
    dateText.replace(u'\t', u' ');
    const QDate date = parseDateText(dateText);
    if (!date.isValid())
        return {};

    const QStringView after = trimBlanks(rest.mid(b3));
    const qsizetype blank = nthBlank(after, 1);
    if (blank < 4 || blank > 8)
        return {};
    const QTime time = parseTimeToken(after.left(blank));
    const auto minutes = zoneMinutes(trimBlanks(after.mid(blank + 1)));
    if (!time.isValid() || !minutes)
        return {};
    return QDateTime(date, time, Qt::UTC).addSecs(qint64(*minutes) * 60);
}

QString twelveHourClock(const QTime& time)
{
    const int hour = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    return QStringLiteral("%1:%2 %3")
        .arg(hour)
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM"));
}

QString formatLocal(const QDateTime& local, DateStyle style)
{
    const QLocale locale = QLocale::system();
    const QDate date = local.date();
    const QString monthDayYear = QStringLiteral("%1 %2 %3")
                                     .arg(locale.monthName(date.month(), QLocale::ShortFormat))
                                     .arg(date.day())
                                     .arg(date.year(), 4, 10, QLatin1Char('0'));
    switch (style) {
    case DateStyle::RegionalShort:
    case DateStyle::RegionalLong: {
        // Formatted from the whole date-time so that a zone name in the
        // long time is the one in force at the mail's moment.
        const auto dateFormat =
            style == DateStyle::RegionalShort ? QLocale::ShortFormat : QLocale::LongFormat;
        return locale.toString(local, locale.dateFormat(dateFormat) + u' ' +
                                          locale.timeFormat(QLocale::LongFormat));
    }
    case DateStyle::WithDayName:
        return locale.dayName(date.dayOfWeek(), QLocale::ShortFormat) + u' ' + monthDayYear + u' ' +
               twelveHourClock(local.time());
    case DateStyle::WithoutDayName:
        return monthDayYear + u' ' + twelveHourClock(local.time());
    default:
        return {};
    }
}

} // namespace

QString formatMailDate(const QString& value, DateStyle style)
{
    const QDateTime utc = parseMailDate(value);
    if (!utc.isValid())
        return value;
    // toLocalTime applies the offset in force at that moment, summer time
    // included, not the one in force today.
    const QDateTime local = utc.toLocalTime();
    if (!local.isValid())
        return value;
    return formatLocal(local, style);
}

QString displayedMailDate(const QString& value, DateStyle style)
{
    return style < DateStyle::RegionalShort ? value : formatMailDate(value, style);
}
