#pragma once

#include <QDateTime>
#include <QString>

namespace folioset {

// "2026-12-08T10:45:28.123000+01:00": date, time with six fraction digits, then "Z" for UTC or
// the offset as signed hours and minutes, in the system's time zone.
QString isoDateText(const QDateTime &when);

// Reads what isoDateText writes, and the shorter forms people and other programs write (fewer
// fraction digits, none, "+0100"); invalid for anything else.
QDateTime parseIsoDate(const QString &text);

} // namespace folioset
