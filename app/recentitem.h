#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

namespace folioset {

// One folder the user added before: its path exactly as handed in (the entry's identity; no
// two forms of a path are merged) and when it was last added or picked.
class RecentItem
{
public:
    RecentItem() = default;
    static RecentItem initWithItem(const QString &path);

    QString itemPath() const { return m_itemPath; }
    QDateTime lastUsedDate() const { return m_lastUsedDate; }
    void setLastUsedDate(const QDateTime &when) { m_lastUsedDate = when; }

    bool isEqual(const QString &path) const { return m_itemPath == path; }
    bool operator==(const RecentItem &other) const { return m_itemPath == other.m_itemPath; }

    // "itemPath" and "lastUsedDate" (ISO 8601 text), as stored under "RECENTITEMS".
    QVariantMap getData() const;
    // Takes both from a stored map; anything else changes nothing, and a date that cannot be
    // read leaves the entry's own.
    void setData(const QVariant &data);

    // The entries of a stored list, in stored order: a list of maps, or the numbered groups the
    // preferences file keeps them in. Entries without a path are dropped, repeated paths kept
    // once.
    static QList<RecentItem> fromStored(const QVariant &stored);

private:
    QString m_itemPath = QStringLiteral("");
    QDateTime m_lastUsedDate = QDateTime::currentDateTime();
};

} // namespace folioset
