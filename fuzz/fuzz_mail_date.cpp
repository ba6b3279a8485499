// Date header values in every display style, against a fixed time zone
// with summer time, so the conversion to local time is exercised as well.
#include "fuzz_check.h"
#include "pop3/mail_date.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {

const char* const monthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const dayNames[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

QString clock12(const QTime& t)
{
    const int hour = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    return QStringLiteral("%1:%2 %3")
        .arg(hour)
        .arg(t.minute(), 2, 10, QLatin1Char('0'))
        .arg(t.hour() < 12 ? "AM" : "PM");
}

// The style-5 text of the plainest form of a date, worked out apart from
// the code under test; nullopt when the value is not in that form.
std::optional<QString> expectedStyle5(const QString& value)
{
    static const QRegularExpression plain(
        QStringLiteral("^(?:(?:Mon|Tue|Wed|Thu|Fri|Sat|Sun), )?(\\d{1,2}) "
                       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) (\\d{4}) "
                       "(\\d\\d):(\\d\\d)(?::(\\d\\d))? ([+-])(\\d\\d)(\\d\\d)$"));
    const QRegularExpressionMatch m = plain.match(value);
    if (!m.hasMatch())
        return std::nullopt;
    int month = 0;
    while (m.captured(2) != QLatin1String(monthNames[month]))
        ++month;
    const QDate date(m.captured(3).toInt(), month + 1, m.captured(1).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(),
                     m.captured(6).isEmpty() ? 0 : m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return value; // left as sent
    const int offset = m.captured(8).toInt() * 60 + m.captured(9).toInt();
    const int sign = m.captured(7) == QLatin1String("-") ? 1 : -1;
    const QDateTime local =
        QDateTime(date, time, Qt::UTC).addSecs(qint64(sign) * offset * 60).toLocalTime();
    if (!local.isValid())
        return value;
    const QDate d = local.date();
    return QStringLiteral("%1 %2 %3 ")
               .arg(QLatin1String(monthNames[d.month() - 1]))
               .arg(d.day())
               .arg(d.year(), 4, 10, QLatin1Char('0')) +
           clock12(local.time());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("TZ", "Europe/Berlin", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString value = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    FUZZ_CHECK(displayedMailDate(value, 1) == value);
    FUZZ_CHECK(displayedMailDate(value, -7) == value);

    const QString style5 = formatMailDate(value, DateWithoutDayName);
    const bool read = style5 != value;
    if (read) {
        static const QRegularExpression shape(
            QStringLiteral("^(?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{1,2} \\d{4,} "
                           "\\d{1,2}:\\d\\d [AP]M$"));
        FUZZ_CHECK(shape.match(style5).hasMatch());
    }
    // Whether the value is read does not depend on the style.
    const QString style4 = formatMailDate(value, DateWithDayName);
    bool dayNameFits = false;
    for (const char* day : dayNames)
        dayNameFits = dayNameFits || style4 == QLatin1String(day) + u' ' + style5;
    FUZZ_CHECK(read ? dayNameFits : style4 == value);
    FUZZ_CHECK((formatMailDate(value, DateRegionalShort) != value) == read);
    FUZZ_CHECK((formatMailDate(value, DateRegionalLong) != value) == read);
    FUZZ_CHECK(formatMailDate(value, 6) == (read ? QString() : value));
    FUZZ_CHECK(displayedMailDate(value, DateWithoutDayName) == style5);

    if (const std::optional<QString> expected = expectedStyle5(value))
        FUZZ_CHECK(style5 == *expected);
    return 0;
}
