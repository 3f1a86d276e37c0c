#include "sizetext.h"

#include <QStringList>

#include <cmath>
#include <cstdio>

namespace folioset {

QString sizeText(qint64 bytes)
{
    static const char *const units[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
    float s = float(bytes);
    int i = 0;
    while (s > 1000.0f && i < 6) {
        s = s / 1000.0f;
        ++i;
    }
    if (i <= 1)
        return QStringLiteral("%1 KB").arg(std::lround(float(bytes) / 1000.0f));

    char field[64];
    std::snprintf(field, sizeof field, "%4.1f", double(s));
    const QString formatted = QString::fromLatin1(field);
    const QString unit = QString::fromLatin1(units[i]);
    const QStringList parts = formatted.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (parts.size() == 2 && parts.at(1).toInt() == 0)
        return parts.at(0) + QLatin1Char(' ') + unit;
    return formatted + QLatin1Char(' ') + unit;
}

} // namespace folioset
