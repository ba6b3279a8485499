#pragma once

#include "platform/date_style.h"

#include <QString>

// Converts an RFC 822 Date header value to local time in style
// RegionalShort..WithoutDayName (any other style gives an empty text).
// Whatever it cannot read is returned exactly as passed in.
QString formatMailDate(const QString& value, DateStyle style);

// The date as the list shows it: the value itself below RegionalShort.
QString displayedMailDate(const QString& value, DateStyle style);
