// Sorting the file list: each item's value for the column is computed once per sort, since the
// dates and sizes ask the file system and the names need the language's collation.

#include "filelistmodel.h"

#include <QCollator>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <numeric>
#include <system_error>
#include <thread>
#include <variant>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace folioset {

namespace {

using SortKey = std::variant<qint64, QCollatorSortKey>;

QCollator &naturalOrder()
{
    // One per thread: a sort may run off the main thread.
    thread_local QCollator collator = [] {
        // The C locale has no collation of its own, and would put img10 before img2.
        const QLocale system = QLocale::system();
        QCollator c(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

enum class Time { Modified, Created, Accessed };

// The same times FileItem shows, read with one statx call: sorting 100,000 rows by a date asks
// the file system 100,000 times, so each question should be as cheap as it can be.
qint64 timeKey(const FileItem &item, Time which)
{
    struct statx info
    {};
    const QByteArray &path = item.nativePath();
    const unsigned mask = which == Time::Modified  ? STATX_MTIME
                          : which == Time::Created ? STATX_BTIME
                                                   : STATX_ATIME;
    if (path.isEmpty() || ::statx(AT_FDCWD, path.constData(), 0, mask, &info) != 0 ||
        !(info.stx_mask & mask))
        return std::numeric_limits<qint64>::min();
    const statx_timestamp &time = which == Time::Modified  ? info.stx_mtime
                                  : which == Time::Created ? info.stx_btime
                                                           : info.stx_atime;
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
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
        return timeKey(item, Time::Modified);
    if (column == QLatin1String("dateCreated"))
        return timeKey(item, Time::Created);
    if (column == QLatin1String("dateAccessed"))
        return timeKey(item, Time::Accessed);
    return naturalOrder().sortKey(item.displayField(column).toString());
}

bool less(const SortKey &a, const SortKey &b)
{
    if (const auto *number = std::get_if<qint64>(&a))
        return *number < std::get<qint64>(b);
    return std::get<QCollatorSortKey>(a).compare(std::get<QCollatorSortKey>(b)) < 0;
}

} // namespace

std::vector<int> FileListModel::sortedOrder(const QList<FileItemPtr> &files, int column,
                                            Qt::SortOrder order)
{
    std::vector<int> rows(std::size_t(files.size()));
    std::iota(rows.begin(), rows.end(), 0);
    if (column < 0 || column >= columns().size() || files.size() < 2)
        return rows;
    const QString &identifier = columns().at(column).identifier;
    // Keys ask the file system or the collation, one item at a time: long lists share the work
    // out over the cores, each taking a stretch of its own.
    std::vector<SortKey> keys(std::size_t(files.size()));
    const auto fill = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            keys[i] = keyFor(*files.at(qsizetype(i)), identifier);
    };
    const std::size_t workers =
        files.size() < 4096 ? 1 : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t stretch = (keys.size() + workers - 1) / workers;
    const auto fillStretch = [&](std::size_t w) {
        fill(std::min(keys.size(), w * stretch), std::min(keys.size(), (w + 1) * stretch));
    };
    {
        std::vector<std::jthread> helpers;
        try {
            for (std::size_t w = 1; w < workers; ++w)
                helpers.emplace_back(fillStretch, w);
        } catch (const std::system_error &) {
            // No thread to spare: the stretches of those that could not start are filled here.
        }
        for (std::size_t w = helpers.size() + 1; w < workers; ++w)
            fillStretch(w);
        fillStretch(0);
    }
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        return order == Qt::AscendingOrder ? less(keys[std::size_t(a)], keys[std::size_t(b)])
                                           : less(keys[std::size_t(b)], keys[std::size_t(a)]);
    });
    return rows;
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columns().size() || m_files.size() < 2)
        return;
    applyOrder(sortedOrder(m_files, column, order));
}

void FileListModel::sortInBackground(int column, Qt::SortOrder order,
                                     const std::function<void()> &done)
{
    if (m_sorter)
        m_sorter->wait();
    const QList<FileItemPtr> snapshot = m_files;
    auto result = std::make_shared<std::vector<int>>();
    const auto sort = [snapshot, column, order, result] {
        *result = sortedOrder(snapshot, column, order);
    };
    const auto apply = [this, snapshot, result, done] {
        // Only if nothing changed the list meanwhile; otherwise the order no longer fits it.
        if (m_files == snapshot && result->size() == std::size_t(m_files.size()))
            applyOrder(*result);
        if (done)
            done();
    };
    m_sorter.reset(QThread::create(sort));
    connect(m_sorter.get(), &QThread::finished, this, apply);
    m_sorter->start();
    if (!m_sorter->isRunning() && !m_sorter->isFinished()) {
        // No thread to spare: sorted here, queued, so that it still ends as it would.
        m_sorter.reset();
        QMetaObject::invokeMethod(
            this,
            [sort, apply] {
                sort();
                apply();
            },
            Qt::QueuedConnection);
    }
}

void FileListModel::applyOrder(const std::vector<int> &rows)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<FileItemPtr> sorted;
    sorted.reserve(m_files.size());
    std::vector<int> newRowOf(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        sorted << m_files.at(rows[i]);
        newRowOf[std::size_t(rows[i])] = int(i);
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
