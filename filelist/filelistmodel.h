#pragma once

#include "model/fileitem.h"

#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QThread>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

namespace folioset {

// The input list as the file table shows it: one row per item, in list order, one column per
// display key of FileItem. The check box column ("isselected") is the only one edited here.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString identifier; // a FileItem display key
        QString title;
    };

    explicit FileListModel(QObject *parent = nullptr);
    ~FileListModel() override;

    static const QList<Column> &columns();
    // The column of an identifier, letter case included; -1 when there is none.
    static int columnOf(const QString &identifier);

    const QList<FileItemPtr> &files() const { return m_files; }
    FileItemPtr item(int row) const { return m_files.value(row); }
    void append(const QList<FileItemPtr> &items);
    // Appends the items whose file is not in the list yet; returns how many were added.
    int appendNew(const QList<FileItemPtr> &items);
    bool contains(const QUrl &file) const { return m_urls.contains(file); }
    QSet<QUrl> urls() const { return m_urls; }
    // Removes the items `remove` says yes to; returns how many went.
    qsizetype removeIf(const std::function<bool(const FileItem &)> &remove);
    void clear();
    // The items' check marks changed from outside: redraw that column.
    void checkMarksChanged();

    // Moves the items of `rows` one place up (down): a block of adjacent rows moves as a block
    // and the row it passes ends up on its other side; rows with gaps between them each move.
    // Moving down stops at the first item that is already last. Returns the rows the moved
    // items now have.
    QList<int> moveUp(const QList<int> &rows);
    QList<int> moveDown(const QList<int> &rows);

    // Sorts by the column's values, each computed once per sort: names in the natural order of
    // the user's language (img2 before img10), dates by time, sizes by bytes. Equal values keep
    // their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The same, with the sort keys computed on a thread of its own so the window keeps drawing;
    // the new order is applied on this thread, unless the list changed meanwhile. `done` runs
    // after either.
    void sortInBackground(int column, Qt::SortOrder order, const std::function<void()> &done);
    // The rows of `files` in sorted order; safe on any thread.
    static std::vector<int> sortedOrder(const QList<FileItemPtr> &files, int column,
                                        Qt::SortOrder order);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // A check mark was changed by the user in the table.
    void checkMarkEdited(int row);

private:
    void swapRows(int upper);
    void applyOrder(const std::vector<int> &rows);

    QList<FileItemPtr> m_files;
    QSet<QUrl> m_urls;
    std::unique_ptr<QThread> m_sorter;
};

} // namespace folioset
