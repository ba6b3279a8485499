#pragma once

#include <QString>

// Display styles of the "Date Sent" column.
enum DateStyleCode : int {
    DateAsSent = 1,
    DateRegionalShort = 2,
    DateRegionalLong = 3,
    DateWithDayName = 4,
    DateWithoutDayName = 5,
};

// Converts an RFC 822 Date header value to local time in style 2..5.
// Whatever it cannot read is returned exactly as passed in.
QString FormatMailDate(const QString& value, int style);

// The date as the list shows it: the value itself below style 2.
QString displayedMailDate(const QString& value, int style);
