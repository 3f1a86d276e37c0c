#include "recentitem.h"

#include <algorithm>

namespace folioset {

RecentItem RecentItem::initWithItem(const QString &path)
{
    RecentItem item;
    item.m_itemPath = path;
    return item;
}

QVariantMap RecentItem::getData() const
{
    return {{QStringLiteral("itemPath"), m_itemPath},
            {QStringLiteral("lastUsedDate"), m_lastUsedDate.toString(Qt::ISODateWithMs)}};
}

void RecentItem::setData(const QVariant &data)
{
    if (data.typeId() != QMetaType::QVariantMap)
        return;
    const QVariantMap map = data.toMap();
    const QVariant path = map.value(QStringLiteral("itemPath"));
    if (path.typeId() == QMetaType::QString)
        m_itemPath = path.toString();
    const QVariant date = map.value(QStringLiteral("lastUsedDate"));
    const QDateTime when = date.typeId() == QMetaType::QDateTime
                               ? date.toDateTime()
                               : QDateTime::fromString(date.toString(), Qt::ISODateWithMs);
    if (when.isValid())
        m_lastUsedDate = when;
}

QList<RecentItem> RecentItem::fromStored(const QVariant &stored)
{
    QVariantList entries;
    if (stored.typeId() == QMetaType::QVariantList) {
        entries = stored.toList();
    } else if (stored.typeId() == QMetaType::QVariantMap) {
        // Numbered groups "1", "2", ... beside a "size": the order is the numbers'.
        const QVariantMap groups = stored.toMap();
        QList<QPair<int, QVariant>> numbered;
        for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
            bool isNumber = false;
            const int number = it.key().toInt(&isNumber);
            if (isNumber)
                numbered.append({number, it.value()});
        }
        std::sort(numbered.begin(), numbered.end(),
                  [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &entry : std::as_const(numbered))
            entries << entry.second;
    }
    QList<RecentItem> items;
    for (const QVariant &entry : std::as_const(entries)) {
        RecentItem item;
        item.setData(entry);
        if (!item.m_itemPath.isEmpty() && !items.contains(item))
            items << item;
    }
    return items;
}

} // namespace folioset
