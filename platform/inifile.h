#pragma once

#include <QByteArray>
#include <QVariantMap>

namespace folioset {

// The text of an INI file that QSettings reads back as `root`: scalars at the top under
// [General], each map as a section, nested maps as keys joined with '\', a list of maps as a
// numbered array with its "size", other lists as comma-separated values, dates as ISO 8601.
// Keys and values are escaped the way QSettings escapes them, so hand edits and files written
// by QSettings itself stay interchangeable with ours.
QByteArray iniText(const QVariantMap &root);

// Reads INI text as QSettings writes it (and as people edit it): sections and keys unescaped,
// keys with '\' or '/' as nested maps, values as text (a comma-separated value as a string
// list, "@Invalid()" as an invalid value). Lines it cannot make sense of are skipped, never
// fatal: whatever can be read is kept.
QVariantMap parseIni(const QByteArray &text);

} // namespace folioset
