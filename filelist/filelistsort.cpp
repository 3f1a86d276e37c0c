// Sorting the file list: each item's value for the column is computed once per sort, since the
// dates and sizes ask the file system and the names need the language's collation.

#include "filelistmodel.h"

#include <QCollator>

#include <algorithm>
#include <numeric>
#include <variant>
#include <vector>

namespace folioset {

namespace {

using SortKey = std::variant<qint64, QCollatorSortKey>;

QCollator &naturalOrder()
{
    static QCollator collator = [] {
        // The C locale has no collation of its own, and would put img10 before img2.
        const QLocale system = QLocale::system();
        QCollator c(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

qint64 timeKey(const QDateTime &when)
{
    return when.isValid() ? when.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

SortKey keyFor(const FileItem &item, const QString &column)
{
    if (column == QLatin1String("isselected"))
        return qint64(item.isSelected());
    if (column == QLatin1String("secured"))
        return qint64(item.isEncrypted());
    if (column == QLatin1String("pages"))
        return qint64(item.pages());
    if (column == QLatin1String("sizeInKB"))
        return item.size();
    if (column == QLatin1String("dateModified"))
        return timeKey(item.dateModified());
    if (column == QLatin1String("dateCreated"))
        return timeKey(item.dateCreated());
    if (column == QLatin1String("dateAccessed"))
        return timeKey(item.dateAccessed());
    return naturalOrder().sortKey(item.displayField(column).toString());
}

bool less(const SortKey &a, const SortKey &b)
{
    if (const auto *number = std::get_if<qint64>(&a))
        return *number < std::get<qint64>(b);
    return std::get<QCollatorSortKey>(a).compare(std::get<QCollatorSortKey>(b)) < 0;
}

} // namespace

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columns().size() || m_files.size() < 2)
        return;
    const QString &identifier = columns().at(column).identifier;
    std::vector<SortKey> keys;
    keys.reserve(std::size_t(m_files.size()));
    for (const FileItemPtr &file : std::as_const(m_files))
        keys.push_back(keyFor(*file, identifier));
    std::vector<int> order_(std::size_t(m_files.size()));
    std::iota(order_.begin(), order_.end(), 0);
    std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) {
        return order == Qt::AscendingOrder ? less(keys[std::size_t(a)], keys[std::size_t(b)])
                                           : less(keys[std::size_t(b)], keys[std::size_t(a)]);
    });

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<FileItemPtr> sorted;
    sorted.reserve(m_files.size());
    std::vector<int> newRowOf(order_.size());
    for (std::size_t i = 0; i < order_.size(); ++i) {
        sorted << m_files.at(order_[i]);
        newRowOf[std::size_t(order_[i])] = int(i);
    }
    m_files = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex &index : before)
        after << this->index(newRowOf[std::size_t(index.row())], index.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace folioset
