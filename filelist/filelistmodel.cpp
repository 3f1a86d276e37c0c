#include "filelistmodel.h"

#include <QImage>

namespace folioset {

namespace {

const QString checkColumn = QStringLiteral("isselected");

} // namespace

FileListModel::FileListModel(QObject *parent) : QAbstractTableModel(parent) {}

FileListModel::~FileListModel()
{
    if (m_sorter)
        m_sorter->wait();
}

const QList<FileListModel::Column> &FileListModel::columns()
{
    static const QList<Column> all{
        {checkColumn, QString()},
        {QStringLiteral("secured"), QString()},
        {QStringLiteral("name"), tr("Name")},
        {QStringLiteral("pages"), tr("Pages")},
        {QStringLiteral("selection"), tr("Page Selection")},
        {QStringLiteral("sizeInKB"), tr("Size")},
        {QStringLiteral("type"), tr("Kind")},
        {QStringLiteral("dateModified"), tr("Date Modified")},
        {QStringLiteral("dateCreated"), tr("Date Created")},
        {QStringLiteral("location"), tr("Where")},
    };
    return all;
}

int FileListModel::columnOf(const QString &identifier)
{
    const QList<Column> &all = columns();
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all.at(i).identifier == identifier)
            return int(i);
    }
    return -1;
}

void FileListModel::append(const QList<FileItemPtr> &items)
{
    if (items.isEmpty())
        return;
    beginInsertRows({}, int(m_files.size()), int(m_files.size() + items.size() - 1));
    m_files += items;
    for (const FileItemPtr &item : items) {
        if (item)
            m_urls.insert(item->filePath());
    }
    endInsertRows();
}

int FileListModel::appendNew(const QList<FileItemPtr> &items)
{
    QList<FileItemPtr> fresh;
    QSet<QUrl> taken;
    for (const FileItemPtr &item : items) {
        if (item && !m_urls.contains(item->filePath()) && !taken.contains(item->filePath())) {
            taken.insert(item->filePath());
            fresh << item;
        }
    }
    append(fresh);
    return int(fresh.size());
}

qsizetype FileListModel::removeIf(const std::function<bool(const FileItem &)> &remove)
{
    qsizetype removed = 0;
    // From the end, one contiguous run at a time, so each removal is one signal to the view.
    for (qsizetype row = m_files.size() - 1; row >= 0;) {
        if (!m_files.at(row) || !remove(*m_files.at(row))) {
            --row;
            continue;
        }
        qsizetype first = row;
        while (first > 0 && m_files.at(first - 1) && remove(*m_files.at(first - 1)))
            --first;
        beginRemoveRows({}, int(first), int(row));
        for (qsizetype i = first; i <= row; ++i)
            m_urls.remove(m_files.at(i)->filePath());
        m_files.remove(first, row - first + 1);
        endRemoveRows();
        removed += row - first + 1;
        row = first - 1;
    }
    return removed;
}

void FileListModel::clear()
{
    if (m_files.isEmpty())
        return;
    beginResetModel();
    m_files.clear();
    m_urls.clear();
    endResetModel();
}

void FileListModel::checkMarksChanged()
{
    if (!m_files.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_files.size()) - 1, 0), {Qt::CheckStateRole});
}

void FileListModel::swapRows(int upper)
{
    // The item below takes the upper place: one row moved past another.
    beginMoveRows({}, upper + 1, upper + 1, {}, upper);
    m_files.swapItemsAt(upper, upper + 1);
    endMoveRows();
}

QList<int> FileListModel::moveUp(const QList<int> &rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    QList<FileItemPtr> moving;
    for (const int row : sorted)
        moving << item(row);
    QList<int> moved;
    for (const FileItemPtr &file : moving) {
        const int at = int(m_files.indexOf(file));
        if (at <= 0)
            continue;
        swapRows(at - 1);
        moved << at - 1;
    }
    return moved;
}

QList<int> FileListModel::moveDown(const QList<int> &rows)
{
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    QList<FileItemPtr> moving;
    for (const int row : sorted)
        moving << item(row);
    QList<int> moved;
    for (const FileItemPtr &file : moving) {
        const int at = int(m_files.indexOf(file));
        if (at < 0 || at >= m_files.size() - 1)
            break;
        swapRows(at);
        moved << at + 1;
    }
    return moved;
}

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_files.size());
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columns().size());
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    const FileItemPtr file = item(index.row());
    if (!index.isValid() || !file)
        return {};
    const QString &key = columns().at(index.column()).identifier;
    if (key == checkColumn) {
        if (role == Qt::CheckStateRole)
            return file->isSelected() ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::AccessibleTextRole)
            return file->isSelected() ? tr("Checked") : tr("Not checked");
        return {};
    }
    const QVariant value = file->displayField(key);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return value.typeId() == QMetaType::QImage ? QVariant() : value;
    case Qt::DecorationRole:
        return value.typeId() == QMetaType::QImage ? value : QVariant();
    case Qt::AccessibleTextRole:
        return value.typeId() == QMetaType::QImage ? tr("Encrypted") : value;
    case Qt::TextAlignmentRole:
        if (key == QLatin1String("sizeInKB") || key == QLatin1String("pages"))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

bool FileListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const FileItemPtr file = item(index.row());
    if (!file || role != Qt::CheckStateRole ||
        columns().at(index.column()).identifier != checkColumn)
        return false;
    file->setIsSelected(value.toInt() == Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit checkMarkEdited(index.row());
    return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (columns().at(index.column()).identifier == checkColumn)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns().size())
        return {};
    if (role == Qt::DisplayRole)
        return columns().at(section).title;
    if (role == Qt::ToolTipRole && section == columnOf(checkColumn))
        return tr("Checked files are converted");
    if (role == Qt::ToolTipRole && section == columnOf(QStringLiteral("secured")))
        return tr("Encrypted PDF");
    return {};
}

} // namespace folioset
