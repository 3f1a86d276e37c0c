#pragma once

#include <QDateTime>
#include <QString>

namespace folioset {

// Formats a point in time with a Unicode (CLDR) date pattern such as "dd-MMM-yyyy h:mm a", in the
// process's locale and the local time zone. Qt's own format letters differ from the Unicode ones
// ("a" is lower-case there), so every pattern of the program goes through here.
QString formatDate(const QDateTime &when, const QString &unicodePattern);

} // namespace folioset
