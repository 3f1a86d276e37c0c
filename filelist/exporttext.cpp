#include "exporttext.h"

#include <QDateTime>
#include <QTimeZone>

namespace folioset {

namespace {

QString dateField(const QDateTime &when)
{
    if (!when.isValid())
        return QStringLiteral("(null)");
    return when.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

} // namespace

QByteArray exportText(const QList<FileItemPtr> &files)
{
    QString text = QStringLiteral(
        "Name\tPages\tSize\tType\tModified Date\tAccessed Date\tCreated Date\tLocation\n");
    for (const FileItemPtr &item : files) {
        if (!item)
            continue;
        text += QStringList{item->name(),
                            QString::number(item->pages()),
                            item->sizeInKB(),
                            item->type(),
                            dateField(item->dateModified()),
                            dateField(item->dateAccessed()),
                            dateField(item->dateCreated()),
                            item->location()}
                    .join(QLatin1Char('\t'));
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

} // namespace folioset
