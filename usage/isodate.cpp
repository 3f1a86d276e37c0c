#include "isodate.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <cstdlib>

namespace folioset {

QString isoDateText(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    const int offset = local.offsetFromUtc() / 60;
    QString zone = QStringLiteral("Z");
    if (offset != 0) {
        // Hours and the remaining minutes each carry the sign, as a C "%+.2d:%.2d" gives them.
        const int hours = offset / 60;
        const int minutes = offset % 60;
        zone = QString::asprintf("%+.2d:%.2d", hours, minutes);
    }
    return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + QStringLiteral("000") +
           zone;
}

QDateTime parseIsoDate(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*(\d{4})-(\d\d)-(\d\d)[T ](\d\d):(\d\d):(\d\d)(?:\.(\d{1,9}))?\s*)"
                       R"((Z|[+-]\d\d(?::?-?\d\d)?)?\s*$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    const QDate date(match.captured(1).toInt(), match.captured(2).toInt(),
                     match.captured(3).toInt());
    const int milliseconds = match.captured(7).leftJustified(3, QLatin1Char('0')).left(3).toInt();
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).toInt(), milliseconds);
    if (!date.isValid() || !time.isValid())
        return {};
    const QString zone = match.captured(8);
    if (zone.isEmpty())
        return QDateTime(date, time); // local time, as nothing else was said
    int offset = 0;
    if (zone != QLatin1String("Z")) {
        const int sign = zone.startsWith(QLatin1Char('-')) ? -1 : 1;
        const int hours = zone.mid(1, 2).toInt();
        QString rest = zone.mid(3);
        rest.remove(QLatin1Char(':'));
        const int minutes = std::abs(rest.toInt());
        offset = sign * (hours * 3600 + minutes * 60);
    }
    return QDateTime(date, time, QTimeZone(offset));
}

} // namespace folioset
